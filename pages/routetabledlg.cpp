#include "pages/routetabledlg.h"

#include "res/ids.h"
#include "res/stringtable.h"

#include <iterator>

namespace {

using namespace res::route;

const _QvValueText kRouteType[] = {
    {1, "Unknown"}, {2, "Unnormal"}, {3, "Direct"}, {4, "Indirect"}, {0, nullptr}};

QvTable<11> g_routeTable{{
    QvRecord(ber::IpAddress, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.1", "ipRouteDest"),
    QvRecord(ber::IpAddress, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.7", "ipRouteNextHop"),
    QvRecord(ber::IpAddress, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.11", "ipRouteMask"),
    QvRecord(ber::Integer, QV_COLUMN_ADDRESS, "1.3.6.1.2.1.4.21.1.2", "ipRouteIfIndex"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.8", "ipRouteType", kRouteType),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.9", "ipRouteProto"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.10", "ipRouteAge"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.3", "ipRouteMetric1"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.4", "ipRouteMetric2"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.5", "ipRouteMetric3"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.4.21.1.6", "ipRouteMetric4"),
}};

enum : int { kProtocolRecord = 5 };

// ipRouteProto 2 to 14.
const char* const kProtocolNames[] = {
    "local", "netmgmt", "icmp",      "egp",       "ggp",  "hello", "rip",
    "is-is", "es-is",   "ciscoIgrp", "bbnSpfIgp", "ospf", "bgp",
};

// The headings of the first seven columns stand between blanks.
QStringList headings() {
    QStringList out;
    for (int id = 135; id <= 145; ++id) {
        const QString text = QString::fromUtf8(res::String(id));
        out << (id <= 141 ? QLatin1Char(' ') + text + QLatin1Char(' ') : text);
    }
    return out;
}

} // namespace

QString RouteProtocolName(const QString& value) {
    bool ok = false;
    const int proto = value.toInt(&ok);
    const int first = 2;
    if (ok && proto >= first && proto < first + int(std::size(kProtocolNames)))
        return QString::fromLatin1(kProtocolNames[proto - first]);
    return QStringLiteral("other");
}

CRouteTableDlg::CRouteTableDlg() {
    InitPage(this, res::kDlgRoute, QStringLiteral("Router Table"));
    // The count follows every row and the end of the table; an error leaves it.
    m_walk = new ListWalk(this, g_routeTable, kList, headings(), kCount,
                          {.stale = StaleResponse::Ignored, .emptyCount = nullptr});
    m_walk->mapColumn(kProtocolRecord, RouteProtocolName);
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    OnClicked(this, res::kClose, [this] { reject(); });
    m_walk->start();
}

void CRouteTableDlg::OnRefresh() {
    m_walk->start();
}
