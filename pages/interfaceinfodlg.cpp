#include "pages/interfaceinfodlg.h"

#include "graphs/trafficgraph.h"
#include "platform/listview.h"
#include "res/ids.h"

namespace {

using namespace res::interface;

const _QvValueText kOperStatus[] = {{1, "Connect"}, {2, "Disconnect"}, {3, "Testing"}, {0, nullptr}};

QvTable<7> g_interfaceTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.1", "Group"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.8", "OperateState", kOperStatus),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.2", "Describe"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.3", "Type"),
    QvRecord(ber::Gauge32, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.5", "Speed"),
    QvRecord(QV_TYPE_PHYSADDRESS, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.6", "MacAddress"),
    // ifHighSpeed, for the speed column: a column of the walk, so that each cell lands on its own
    // interface; it has no heading, so an interface only ifXTable has is no row of the list, and
    // an agent without ifXTable lists its interfaces all the same.
    QvRecord(ber::Gauge32, QV_COLUMN_READ, "1.3.6.1.2.1.31.1.1.1.15", "HighSpeed"),
}};

enum : int { kTypeRecord = 3, kSpeedRecord = 4, kHighSpeedRecord = 6 };
enum : int { kDescrColumn = 2 };

// ifType 2 to 56; 27 has no name.
const char* const kIfTypeNames[] = {
    "regular1822", "hdh1822", "ddn-x25", "rfc877-x25", "ethernet-csmacd", "iso88023-csmacd",
    "iso88024-tokenBus", "iso88025-tokenRing", "iso88026-man", "starLan", "proteon-10Mbit",
    "proteon-80Mbit", "hyperchannel", "fddi", "lapb", "sdlc", "ds1", "e1", "basicISDN", "primaryISDN",
    "propPointToPointSerial", "ppp", "softwareLoopback", "eon", "ethernet-3Mbit", nullptr, "slip",
    "ultra", "ds3", "sip", "frame-relay", "rs-232", "parallel", "arcnet", "arcnet-plus", "atm",
    "miox25", "sonet", "x25ple", "iso88022llc", "localTalk", "smds-dxi", "frame-relay-service",
    "v35", "hssi", "hippi", "modem", "aal5", "sonetPath", "sonetVT", "smds-icip", "propVirtual",
    "propMultiLink", "ieee80212", "fibre-channel",
};

} // namespace

QString IfTypeName(const QString& value) {
    bool ok = false;
    const int type = value.toInt(&ok);
    const int first = 2;
    const int last = first + int(std::size(kIfTypeNames)) - 1;
    if (ok && type >= first && type <= last && kIfTypeNames[type - first])
        return QString::fromLatin1(kIfTypeNames[type - first]);
    return QStringLiteral("other");
}

CInterfaceInfoDlg::CInterfaceInfoDlg() {
    InitPage(this, res::kDlgInterface, QStringLiteral("Interface Information"));
    // Refresh while walking is ignored; an answer to another request ends the walk.
    m_walk = new ListWalk(this, g_interfaceTable, kList, {105, 129, 130, 131, 132, 133}, kCount,
                          {.stale = StaleResponse::EndsWalk, .emptyWhileBusy = false});
    m_walk->mapColumn(kTypeRecord, IfTypeName);
    m_walk->mapColumn(kSpeedRecord,
                      ListWalk::RowMapping([](const QString& speed, const QStringList& row) {
                          return IfSpeedText(speed, row.value(kHighSpeedRecord));
                      }));
    connect(m_walk, &ListWalk::rowAdded, this, [this](int row) {
        if (!m_select || list()->text(row, 0) != QString::number(m_select)) return;
        m_select = 0;
        list()->setCurrentRow(row);
    });
    // A walk that ends without the row leaves nothing to select in later walks.
    connect(m_walk, &ListWalk::finished, this, [this] { m_select = 0; });
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    // The first walk starts once the page is on the screen, as a click of Refresh.
    ClickWhenFirstShown(this, kRefresh);
    OnClicked(this, res::kClose, [this] { reject(); });
    OnClicked(this, kGraph, [this] { OnGraph(); });
    auto enableGraph = [this] {
        const qsizetype n = list()->selectedRows().size();
        EnableItem(this, kGraph, n >= 1 && n <= graphs::kMaxGraphPorts);
    };
    connect(list(), &platform::ListView::rowSelectionChanged, this, enableGraph);
    enableGraph();
    connect(this, &QDialog::finished, this, &CInterfaceInfoDlg::releaseGraphs);
}

CInterfaceInfoDlg::~CInterfaceInfoDlg() {
    releaseGraphs();
}

void CInterfaceInfoDlg::releaseGraphs() {
    for (auto* window : findChildren<graphs::CTrafficGraphWnd*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = window->geometry();
        window->setParent(parentWidget(), Qt::Window);
        window->setGeometry(at);
        window->show();
    }
}

void CInterfaceInfoDlg::OnGraph() {
    QList<graphs::GraphPort> ports;
    for (int r : list()->selectedRows()) {
        bool ok = false;
        const int ifIndex = list()->text(r, 0).toInt(&ok);
        if (ok && ifIndex > 0 && ports.size() < graphs::kMaxGraphPorts)
            ports << graphs::GraphPort{ifIndex, list()->text(r, kDescrColumn).isEmpty()
                                                    ? list()->text(r, 0)
                                                    : list()->text(r, kDescrColumn)};
    }
    if (ports.isEmpty()) return;
    // The page runs modally: the window is its child so that it takes input while the page is
    // open; releaseGraphs() hands it on when the page closes.
    auto* window = new graphs::CTrafficGraphWnd(ports, this);
    window->show();
}

void CInterfaceInfoDlg::selectInterface(int ifIndex) {
    m_select = ifIndex;
}

void CInterfaceInfoDlg::OnRefresh() {
    m_walk->start();
}
