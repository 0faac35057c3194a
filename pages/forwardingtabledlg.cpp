#include "pages/forwardingtabledlg.h"

#include "platform/platform.h"
#include "res/ids.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

const _QvValueText kFdbStatus[] = {{1, "Other"},  {2, "Invalid"}, {3, "Learned"},
                                   {4, "Inborn"}, {5, "Manage"},  {0, nullptr}};

QvTable<3> g_fdbTable{{
    QvRecord(QV_TYPE_PHYSADDRESS, QV_COLUMN_ADDRESS, "1.3.6.1.2.1.17.4.3.1.1", "MACAddress"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.4.3.1.3", "Status", kFdbStatus),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.4.3.1.2", "DestPort"),
}};

QvTable<1> g_agingTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.4.2.0", "AgingTime"),
}};

using namespace res::forwarding;

} // namespace

CForwardingTableDlg::CForwardingTableDlg() {
    InitPage(this, res::kDlgForwarding, QStringLiteral("Forwarding Table"));
    // " 0" while a walk starts; the count follows every answer and the end of the table.
    m_walk = new ListWalk(this, g_fdbTable, kList, {148, 149, 150}, kCount,
                          {.stale = StaleResponse::Ignored, .emptyCount = " 0"});
    auto* filter = platform::Item<QLineEdit>(this, kFilter);
    // The filter hides a row whose port (or status) text is the filter's text exactly; it is
    // read as each row comes, so a walk already running filters its remaining rows by what
    // the operator typed since.
    m_walk->setRowFilter([filter](const QStringList& row) {
        const QString port = filter->text();
        return port.isEmpty() || !row.mid(1).contains(port);
    });
    auto* refresh = platform::Item<QPushButton>(this, kRefresh);
    filter->setEnabled(true);
    refresh->setEnabled(true);
    refresh->setFocus();
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    OnClicked(this, kClose, [this] { accept(); });
    connect(filter, &QLineEdit::textChanged, this, [this] { m_walk->start(); });
    OnRefresh();
}

void CForwardingTableDlg::OnRefresh() {
    platform::WaitCursor wait;
    m_walk->start();
    readAgingTime();
}

void CForwardingTableDlg::readAgingTime() {
    m_aging.request(this, g_agingTable, &CForwardingTableDlg::OnAgingResponse, SNMP_PDU_GET);
}

void CForwardingTableDlg::OnAgingResponse(unsigned short status, CSnmpMsg* msg) {
    m_aging.takeResponse(status, msg, StaleResponse::Ignored);
    if (!m_aging.values().isEmpty()) SetItemText(this, kAging, m_aging.values().first());
}
