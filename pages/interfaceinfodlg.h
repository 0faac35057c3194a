// The interfaces table, one row per interface: index, link status, description, type, speed
// and physical address. Read only; the walk starts when the page is shown. Graph opens a
// traffic graph of the selected interfaces, which stays open when the page closes.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"
#include "snmp/valuetext.h"

namespace platform {
class ListView;
}

class CInterfaceInfoDlg : public QDialog {
    Q_OBJECT
public:
    CInterfaceInfoDlg();
    ~CInterfaceInfoDlg() override;

    void OnRefresh();
    // A live traffic graph of the selected rows (1 to 8 of them; Graph is disabled otherwise).
    void OnGraph();
    // The row of interface ifIndex is selected and scrolled into view as the first walk lists
    // it (0: none).
    void selectInterface(int ifIndex);
    platform::ListView* list() const { return m_walk->list(); }
    const SnmpChannel& channel() const { return m_walk->channel(); }

private:
    // The graphs it opened outlive it, as windows of its own parent.
    void releaseGraphs();

    ListWalk* m_walk;
    int m_select = 0;
};

// The name of an ifType value text ("6" gives "ethernet-csmacd"); "other" for anything else.
QString IfTypeName(const QString& value);
