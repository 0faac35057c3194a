// The device's physical ports: the selected port's administrative state, link and speed, and
// enabling or disabling it when the operator has the right.
#pragma once

#include "snmp/session.h"

#include <QDialog>
#include <QStringList>

class CPortConfigDlg : public QDialog {
    Q_OBJECT
public:
    CPortConfigDlg();

    void OnSet();
    void OnRefresh() { readStatus(); }
    const QStringList& portNames() const { return m_names; }
    int selectedPosition() const { return m_position; }
    // The port list walk and the set share one session and pending id; the status get has its own.
    const SnmpChannel& listChannel() const { return m_list; }
    const SnmpChannel& statusChannel() const { return m_status; }

private:
    void readStatus();
    void OnListResponse(unsigned short status, CSnmpMsg* msg);
    void OnStatusResponse(unsigned short status, CSnmpMsg* msg);

    QStringList m_names;
    int m_selectIndex = 0;
    int m_position = 0;
    SnmpChannel m_list;
    SnmpChannel m_status;
    // Whether the box shows the selected port's state as read, or as the operator clicked it:
    // Set writes nothing else, so that a port whose state never arrived is not switched off.
    bool m_stateKnown = false;
};

inline constexpr int kPortConfigTemplate = 156;
