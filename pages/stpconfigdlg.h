// The bridge's spanning-tree settings: read once when the dialog opens; the four an operator may
// change are checked against the bridge MIB's ranges on OK and written, the dialog staying open
// until the device has answered: a refusal is told and leaves what was typed for another try.
#pragma once

#include "pages/pagecommon.h"

// Hundredths of a second, but the priority. A value is written only when the device gave it
// or the operator typed it (its flag): a zero in a box that was never filled is not a setting.
struct StpBridgeValues {
    int maxAge = 0;
    int priority = 0;
    int forwardDelay = 0;
    int helloTime = 0;
    bool writeMaxAge = false;
    bool writePriority = false;
    bool writeForwardDelay = false;
    bool writeHelloTime = false;
};

class CStpConfigDlg : public QDialog {
    Q_OBJECT
public:
    explicit CStpConfigDlg(QWidget* parent = nullptr);

    void OnOK();
    // What the edit boxes held when OK last accepted them.
    const StpBridgeValues& values() const { return m_values; }
    // The read, then the set OK sends.
    const SnmpChannel& channel() const { return m_snmp; }

private:
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);
    void showValues();

    StpBridgeValues m_values;
    SnmpChannel m_snmp;
    bool m_typed[4] = {}; // by edit box, in the order OK checks them
    bool m_setting = false; // OK's set is out
};
