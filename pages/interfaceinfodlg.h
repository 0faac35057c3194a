// The interfaces table, one row per interface: index, link status, description, type, speed
// and physical address. Read only; the walk starts when the page is shown.
#pragma once

#include "pages/pagecommon.h"
#include "snmp/valuetext.h"

class QTreeWidget;

class CInterfaceInfoDlg : public QDialog {
    Q_OBJECT
public:
    CInterfaceInfoDlg();

    void OnRefresh();
    QTreeWidget* list() const { return m_list; }
    const SnmpChannel& channel() const { return m_snmp; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    SnmpChannel m_snmp;
    QTreeWidget* m_list = nullptr;
    int m_rows = 0;
};

// The name of an ifType value text ("6" gives "ethernet-csmacd"); "other" for anything else.
QString IfTypeName(const QString& value);
