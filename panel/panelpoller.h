// Status polling of the front panel: the module-type, power-module and port-status walks, and
// the worker thread that starts a polling cycle every ten seconds.
#pragma once

#include "panel/panelmodel.h"
#include "snmp/session.h"

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <mutex>

// Slot positions of a module-type row index, an interface description's slot number and a
// power supply index.
int ModuleRowSlot(int index);
int InterfaceSlot(int slotNumber);
int PowerSlot(int index);
// The template of a module type text, 0 for an unknown one.
int ModuleTemplate(const QString& type);
// The row index at the end of an instance (".1.5" gives 5): its first three characters dropped,
// the last two of the rest read as a number; -1 when the instance is empty.
int InstanceIndex(const QString& instance);

// An interface row as the panel reads it.
struct PortRow {
    bool valid = false; // the description holds a "/", and the row the cells its state needs
    int slotNumber = 0;
    int portNumber = 0;
    int state = Enabled;
};
PortRow ParsePortRow(const QString& descr, const QString& speed, const QString& admin, const QString& oper);

class PanelPoller : public QObject {
    Q_OBJECT
public:
    explicit PanelPoller(PanelModel& model, QObject* parent = nullptr);
    ~PanelPoller() override;

    // The three sessions; the module and power walks start, the port walk waits for the end of
    // the module walk.
    void start();
    // The model's refresh, then a new port walk.
    void pollingCycle();
    // "Panel Refresh": the module and power walks again.
    void panelRefresh();

    const SnmpChannel& portChannel() const { return m_port; }
    const SnmpChannel& moduleChannel() const { return m_module; }
    const SnmpChannel& powerChannel() const { return m_power; }

signals:
    // A port walk ended: at the end of the table, on an error or a failure.
    void portWalkEnded();

private:
    void startPortWalk();
    void OnPortResponse(unsigned short status, CSnmpMsg* msg);
    void OnModuleResponse(unsigned short status, CSnmpMsg* msg);
    void OnPowerResponse(unsigned short status, CSnmpMsg* msg);

    PanelModel& m_model;
    SnmpChannel m_port;
    SnmpChannel m_module;
    SnmpChannel m_power;
};

// Sleeps in steps of one second, checking its stop flag before each, and every ten steps has
// its owner run a polling cycle on the owner's thread.
class CPanelDeviceThread : public QThread {
    Q_OBJECT
public:
    explicit CPanelDeviceThread(PanelPoller* owner, int stepMs = 1000);
    ~CPanelDeviceThread() override;
    // Sets the stop flag, wakes the sleep and waits for the run loop to end.
    void stop();

protected:
    void run() override;

private:
    PanelPoller* m_owner;
    int m_stepMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_stop = 0; // guarded by m_mutex
};
