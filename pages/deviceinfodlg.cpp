#include "pages/deviceinfodlg.h"

#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

namespace {

using namespace res::device;

QvTable<4> g_deviceTable{{
    QvRecord(ber::OctetString, QV_SCALAR_READ, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.2.1", "Descr"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_SCALAR_READ, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.5.1",
             "MACAddress"),
    QvRecord(ber::OctetString, QV_SCALAR_READ, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.8.1",
             "SoftVersion"),
    QvRecord(ber::OctetString, QV_SCALAR_READ, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.9.1",
             "HardVersion"),
}};

} // namespace

CDeviceInfoDlg::CDeviceInfoDlg() {
    InitPage(this, res::kDlgDevice, QStringLiteral("Device Information"));
    // The hidden Refresh button (3) has no handler: the page reads once.
    OnClicked(this, res::kClose, [this] { reject(); });
    SetItemText(this, kAddress, g_strAgentAddress);
    platform::WaitCursor wait;
    request();
}

void CDeviceInfoDlg::request() {
    m_snmp.destroy();
    if (m_snmp.busy())
        return;
    m_snmp.open(this, g_deviceTable, &CDeviceInfoDlg::OnSnmpResponse);
    m_snmp.send(SNMP_PDU_GET);
}

void CDeviceInfoDlg::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    // The pending id stays: the page sends no second request.
    if (m_snmp.collect(status, msg) != CollectResult::Collected || m_snmp.values().size() != 4)
        return;
    const int fields[] = {kType, kMac, kFirmware, kHardware};
    for (int i = 0; i < 4; ++i)
        SetItemText(this, fields[i], m_snmp.values()[i]);
}
