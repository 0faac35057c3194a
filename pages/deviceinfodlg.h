// The device's type, IP and MAC address, firmware and hardware version, read once on opening.
#pragma once

#include "pages/pagecommon.h"

class CDeviceInfoDlg : public QDialog {
    Q_OBJECT
public:
    CDeviceInfoDlg();
    const SnmpChannel& channel() const { return m_snmp; }

private:
    void request();
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    SnmpChannel m_snmp;
};
