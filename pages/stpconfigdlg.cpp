#include "pages/stpconfigdlg.h"

#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

#include <QLineEdit>
#include <QPushButton>

using namespace res::stpConfig;

namespace {

QvTable<11> g_bridgeReadTable{{
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.2.0", "dot1dStpPriority"),
    QvRecord(ber::TimeTicks, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.3.0",
             "dot1dStpTimeSinceTopologyChange"),
    QvRecord(ber::Counter32, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.4.0", "dot1dStpTopChanges"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.5.0", "dot1dStpDesignatedRoot"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.7.0", "dot1dStpRootPort"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.12.0", "dot1dStpBridgeMaxAge"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.13.0", "dot1dStpBridgeHelloTime"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.14.0", "dot1dStpBridgeForwardDelay"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.9.0", "dot1dStpHelloTime"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.10.0", "dot1dStpHoldTime"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.17.2.11.0", "dot1dStpForwardDelay"),
}};

// In the order the values are written.
QvTable<4> g_bridgeSetTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.2.1.17.2.12.0", "dot1dStpBridgeMaxAge"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.2.1.17.2.13.0", "dot1dStpBridgeHelloTime"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.2.1.17.2.14.0", "dot1dStpBridgeForwardDelay"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.2.1.17.2.2.0", "dot1dStpPriority"),
}};

// The labels for the read table's records, 0 for the four edited values.
constexpr int kLabels[] = {0, kTimeSinceChange,  kTopChanges, kDesignatedRoot,     kRootPort, 0, 0,
                           0, kCurrentHelloTime, kHoldTime,   kCurrentForwardDelay};

// The edit boxes as OK checks them, with the bridge MIB's ranges.
struct Edit {
    int id;
    int min, max;
    int StpBridgeValues::*value;
    bool StpBridgeValues::*write;
    int record; // in the read table
};
constexpr Edit kEdits[] = {
    {kMaxAge, 600, 4000, &StpBridgeValues::maxAge, &StpBridgeValues::writeMaxAge, 5},
    {kPriority, 0, 65535, &StpBridgeValues::priority, &StpBridgeValues::writePriority, 0},
    {kForwardDelay, 400, 3000, &StpBridgeValues::forwardDelay, &StpBridgeValues::writeForwardDelay,
     7},
    {kHelloTime, 100, 1000, &StpBridgeValues::helloTime, &StpBridgeValues::writeHelloTime, 6},
};

} // namespace

CStpConfigDlg::CStpConfigDlg(QWidget* parent) : QDialog(parent) {
    InitPage(this, res::kDlgStpConfig, QStringLiteral("STP Configuration"));
    OnClicked(this, res::kOk, [this] { OnOK(); });
    OnClicked(this, res::kCancel, [this] { reject(); });
    showValues();
    for (size_t k = 0; k < std::size(kEdits); ++k)
        connect(platform::Item<QLineEdit>(this, kEdits[k].id), &QLineEdit::textEdited, this,
                [this, k] { m_typed[k] = true; });
    {
        platform::WaitCursor wait;
        m_snmp.open(this, g_bridgeReadTable, &CStpConfigDlg::OnSnmpResponse);
        m_snmp.send(SNMP_PDU_GET);
    }
    if (g_bUserRight != 1) {
        for (const Edit& e : kEdits)
            platform::Item<QLineEdit>(this, e.id)->setEnabled(false);
        platform::Item<QPushButton>(this, res::kOk)->setEnabled(false);
    }
}

void CStpConfigDlg::showValues() {
    for (const Edit& e : kEdits)
        SetItemText(this, e.id, QString::number(m_values.*e.value));
}

void CStpConfigDlg::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    if (m_snmp.takeResponse(status, msg, StaleResponse::Ignored) == CollectResult::Stale) return;
    // The dialog reads once: a later OK does not read again.
    m_snmp.destroy();
    const QStringList& v = m_snmp.values();
    if (v.size() < int(std::size(kLabels))) return;
    for (qsizetype i = 0; i < v.size() && i < qsizetype(std::size(kLabels)); ++i)
        if (kLabels[i]) SetItemText(this, kLabels[i], v[i]);
    // An object the bridge lacks leaves its box empty, for the operator to fill or leave out.
    for (size_t k = 0; k < std::size(kEdits); ++k) {
        const Edit& e = kEdits[k];
        m_values.*e.write = m_snmp.arrived(e.record);
        m_values.*e.value = m_values.*e.write ? v[e.record].toInt() : 0;
        SetItemText(this, e.id, m_values.*e.write ? QString::number(m_values.*e.value) : QString());
        m_typed[k] = false;
    }
}

void CStpConfigDlg::OnOK() {
    if (g_bUserRight != 1 || m_setting) return;
    StpBridgeValues values;
    for (size_t k = 0; k < std::size(kEdits); ++k) {
        const Edit& e = kEdits[k];
        // A box neither read nor typed in is not written, so it is not checked either.
        values.*e.write = m_values.*e.write || m_typed[k];
        if (values.*e.write && !platform::ReadInteger(platform::Item<QLineEdit>(this, e.id), e.min,
                                                      e.max, values.*e.value))
            return;
    }
    m_values = values;
    const StpBridgeValues& v = m_values;
    auto* ok = platform::Item<QPushButton>(this, res::kOk);
    // Once the device has taken the values the dialog closes; a refusal has been told, and the
    // boxes keep what was typed.
    const bool sent = m_snmp.sendSetAwaited(
        this, g_bridgeSetTable,
        {QString::number(v.maxAge), QString::number(v.helloTime), QString::number(v.forwardDelay),
         QString::number(v.priority)},
        [this, ok](bool accepted) {
            m_setting = false;
            ok->setEnabled(true);
            if (accepted) accept();
        },
        {v.writeMaxAge, v.writeHelloTime, v.writeForwardDelay, v.writePriority});
    if (sent) {
        m_setting = true;
        ok->setEnabled(false);
    } else if (!(v.writeMaxAge || v.writeHelloTime || v.writeForwardDelay || v.writePriority)) {
        accept(); // nothing to write
    }
}
