#include "pages/arptabledlg.h"

#include "pages/tablereport.h"
#include "res/ids.h"

namespace {

using namespace res::arp;

const _QvValueText kArpType[] = {
    {1, "Unknown"}, {2, "Unnormal"}, {3, "Dynamic"}, {4, "Static"}, {0, nullptr}};

QvTable<4> g_arpTable{{
    QvRecord(ber::Integer, QV_COLUMN_ADDRESS, "1.3.6.1.2.1.4.22.1.1", "PortIndex"),
    QvRecord(ber::IpAddress, QV_COLUMN_READ, "1.3.6.1.2.1.4.22.1.3", "IPAddress"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_COLUMN_ADDRESS, "1.3.6.1.2.1.4.22.1.2", "MACAddress"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.22.1.4", "Type", kArpType),
}};

} // namespace

CArpTableDlg::CArpTableDlg() {
    InitPage(this, res::kDlgArp, QStringLiteral("ARP Information"));
    // The count is written with each row only. The opening walk leaves the label empty until a
    // row comes; a Refresh writes "0" as it empties the list, so that a table read again as
    // empty does not show the rows of the walk before.
    m_walk = new ListWalk(
        this, g_arpTable, kList, {105, 106, 107, 108}, kCount,
        {.stale = StaleResponse::Ignored, .emptyCountAtFirst = false, .countAtEnd = false});
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    OnClicked(this, kPrint, [this] { OnPrint(); });
    OnClicked(this, res::kClose, [this] { accept(); });
    InstallPrintShortcut(this, [this] { OnPrint(); });
    m_walk->start();
}

void CArpTableDlg::OnRefresh() {
    m_walk->start();
}

void CArpTableDlg::OnPrint() {
    PrintArpReport(this, list());
}
