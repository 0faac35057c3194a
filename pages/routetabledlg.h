// The IP routing table (ipRouteTable), one row per route: destination, next hop, mask,
// interface, type, protocol, age and four metrics. Read only; the walk starts as the page opens.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"

class CRouteTableDlg : public QDialog {
    Q_OBJECT
public:
    CRouteTableDlg();

    void OnRefresh();
    platform::ListView* list() const { return m_walk->list(); }
    const SnmpChannel& channel() const { return m_walk->channel(); }

private:
    ListWalk* m_walk;
};

// The name of an ipRouteProto value text ("13" gives "ospf"); "other" for 1 and anything unknown.
QString RouteProtocolName(const QString& value);
