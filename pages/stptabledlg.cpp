#include "pages/stptabledlg.h"

#include "pages/portstpdlg.h"
#include "pages/stpconfigdlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

namespace {

// The list's column order, not the MIB's.
QvTable<10> g_stpPortTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.1", "dot1dStpPort"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.2", "dot1dStpPortPriority"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.5", "dot1dStpPortPathCost"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.4", "dot1dStpPortEnable"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.3", "dot1dStpPortState"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.6",
             "dot1dStpPortDesignatedRoot"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.7", "dot1dStpPortDesignatedCost"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.8",
             "dot1dStpPortDesignatedBridge"),
    // Two octets, priority and port number: hex, even where they would read as text.
    QvRecord(ber::Opaque, QV_COLUMN_ADDRESS, "1.3.6.1.2.1.17.2.15.1.9",
             "dot1dStpPortDesignatedPort"),
    QvRecord(ber::Counter32, QV_COLUMN_READ, "1.3.6.1.2.1.17.2.15.1.10",
             "dot1dStpPortForwardTransitions"),
}};

using namespace res::stpTable;
enum : int { kEnableColumn = 3 };

const char* const kStates[] = {"Disable", "Blocking", "Monitor", "Learning", "Forwarding", "Other"};

} // namespace

QString StpPortStateText(const QString& value) {
    bool ok = false;
    const int state = value.toInt(&ok);
    if (ok && state >= 1 && state <= int(std::size(kStates)))
        return QString::fromLatin1(kStates[state - 1]);
    return value;
}

CStpTableDlg::CStpTableDlg() {
    InitPage(this, res::kDlgStpTable, QStringLiteral("Spanning Tree Table"));
    // Refresh while walking is ignored, and so is an answer to another request; the end of the
    // table leaves the count as the last row wrote it.
    m_walk = new ListWalk(this, g_stpPortTable, kList, {151, 152, 153, 154, 155, 156, 157, 158, 159, 160}, kCount,
                          {.stale = StaleResponse::Ignored, .emptyWhileBusy = false, .countAtEnd = false});
    m_walk->mapColumn(kEnableColumn,
                      [](const QString& v) { return QString::fromLatin1(v == QLatin1String("1") ? "Y" : "N"); });
    m_walk->mapColumn(kStpStateColumn, StpPortStateText);
    OnClicked(this, kPortConfig, [this] { OnPortConfig(); });
    OnClicked(this, kBridgeConfig, [this] { OnBridgeConfig(); });
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    // The first walk starts once the page is on the screen, as a click of Refresh.
    ClickWhenFirstShown(this, kRefresh);
    OnClicked(this, res::kClose, [this] { reject(); });
    connect(list(), &platform::ListView::rowDoubleClicked, this, [this] {
        if (SelectedRow(list()) >= 0) OnPortConfig();
    });
}

void CStpTableDlg::OnRefresh() {
    m_walk->start();
}

void CStpTableDlg::OnPortConfig() {
    CPortStpDlg dialog(this);
    if (platform::RunModal(&dialog) == QDialog::Accepted && g_bUserRight == 1)
        OnRefresh();
}

void CStpTableDlg::OnBridgeConfig() {
    // The dialog writes the bridge's settings itself; the list shows ports and is not walked
    // again.
    CStpConfigDlg dialog(this);
    platform::RunModal(&dialog);
}
