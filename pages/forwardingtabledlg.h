// The bridge's forwarding database (dot1dTpFdbTable), one row per MAC address with its status
// and port, beside the address aging time. A port typed in the filter hides that port's
// entries; every change of the filter walks again. Read only.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"

class CForwardingTableDlg : public QDialog {
    Q_OBJECT
public:
    CForwardingTableDlg();

    // Walks the table again and re-reads the aging time.
    void OnRefresh();
    platform::ListView* list() const { return m_walk->list(); }
    const SnmpChannel& channel() const { return m_walk->channel(); }
    const SnmpChannel& agingChannel() const { return m_aging; }

private:
    void readAgingTime();
    void OnAgingResponse(unsigned short status, CSnmpMsg* msg);

    ListWalk* m_walk;
    SnmpChannel m_aging;
};
