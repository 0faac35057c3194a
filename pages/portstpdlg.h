// One row of the spanning-tree page in detail: the port's state and designated bridge as the
// page lists them, its priority, path cost and enable read afresh from the device, stepping to
// the previous or next row, and writing the three with Apply or OK.
#pragma once

#include "pages/pagecommon.h"

class CStpTableDlg;

class CPortStpDlg : public QDialog {
    Q_OBJECT
public:
    // Starts on the page's selected row, or its first.
    explicit CPortStpDlg(CStpTableDlg* page);

    void OnPrev() { step(-1); }
    void OnNext() { step(+1); }
    bool OnApply();
    void OnOK();

    int row() const { return m_row; }
    const SnmpChannel& getChannel() const { return m_get; }

private:
    void step(int delta);
    void loadRow();
    void updateButtons();
    void readPort();
    void OnGetResponse(unsigned short status, CSnmpMsg* msg);
    bool readEdits();
    int rowCount() const;

    CStpTableDlg* m_page;
    int m_row = 0;
    QString m_port;       // the port number as the list shows it
    QString m_readPort;   // the port the outstanding get asks about
    QString m_loadedPort; // the port whose values the edit boxes and the enable box hold
    int m_priority = 0;
    int m_pathCost = 0;
    SnmpChannel m_get;
};
