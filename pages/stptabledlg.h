// The spanning-tree port table, one row per bridge port, and the way to the bridge's settings
// (Bridge Config) and a port's (Port Config, or a double-click on its row).
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"

namespace platform {
class ListView;
}

class CStpTableDlg : public QDialog {
    Q_OBJECT
public:
    CStpTableDlg();

    void OnRefresh();
    void OnPortConfig();
    void OnBridgeConfig();
    // The port dialog reads its rows here.
    platform::ListView* list() const { return m_walk->list(); }
    const SnmpChannel& channel() const { return m_walk->channel(); }
    // The port dialog's sets: the page outlives the dialog that OK closes, and tells what the
    // device refused.
    SnmpChannel& setChannel() { return m_set; }

private:
    ListWalk* m_walk;
    SnmpChannel m_set;
};

// The word for a dot1dStpPortState value text ("5" gives "Forwarding"); an unknown state shows
// as it came.
QString StpPortStateText(const QString& value);

// The list's columns, as the port dialog reads them.
enum StpColumn : int { kStpPortColumn = 0, kStpStateColumn = 4, kStpTransitionsColumn = 9 };
