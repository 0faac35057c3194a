// The address translation table (ipNetToMediaTable), one row per entry: interface, IP address,
// MAC address and type. Read only; the walk starts as the page opens. Its list prints as the
// ARP report.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"

class CArpTableDlg : public QDialog {
    Q_OBJECT
public:
    CArpTableDlg();

    void OnRefresh();
    void OnPrint();
    platform::ListView* list() const { return m_walk->list(); }
    const SnmpChannel& channel() const { return m_walk->channel(); }

private:
    ListWalk* m_walk;
};
