// The device's physical ports: the selected port's administrative state, link and speed, and
// enabling or disabling it when the operator has the right. Each listed port is read and written
// at the ifIndex its description came with.
#pragma once

#include "snmp/session.h"

#include <QDialog>
#include <QStringList>

class CPortConfigDlg : public QDialog {
    Q_OBJECT
public:
    CPortConfigDlg();

    // The port to select once the list is in (a port clicked on the panel); 0 or an interface
    // not listed selects the first.
    void selectInterface(int ifIndex) { m_selectInterface = ifIndex; }

    void OnSet();
    void OnRefresh() { readStatus(); }
    const QStringList& portNames() const { return m_names; }
    // The ifIndex of the port shown; 0 before one is.
    int selectedInterface() const { return m_interface; }
    // The port list walk and the set share one session and pending id; the status get has its own.
    const SnmpChannel& listChannel() const { return m_list; }
    const SnmpChannel& statusChannel() const { return m_status; }

private:
    void readStatus();
    void OnListResponse(unsigned short status, CSnmpMsg* msg);
    void OnStatusResponse(unsigned short status, CSnmpMsg* msg);

    QStringList m_names;
    QList<int> m_interfaces; // the ifIndex of each name
    int m_selectInterface = 0;
    int m_interface = 0;
    SnmpChannel m_list;
    SnmpChannel m_status;
    // Whether the box shows the selected port's state as read, or as the operator clicked it:
    // Set writes nothing else, so that a port whose state never arrived is not switched off.
    bool m_stateKnown = false;
};
