#include "pages/portstpdlg.h"

#include "pages/stptabledlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace res::portStp;

namespace {

const char* const kColumns[] = {"1.3.6.1.2.1.17.2.15.1.2", "1.3.6.1.2.1.17.2.15.1.5",
                                "1.3.6.1.2.1.17.2.15.1.4"};

QvTable<3> g_portGetTable{{
    QvRecord(ber::Integer, QV_COLUMN_WRITE, kColumns[0], "dot1dStpPortPriority"),
    QvRecord(ber::Integer, QV_COLUMN_WRITE, kColumns[1], "dot1dStpPortPathCost"),
    QvRecord(ber::Integer, QV_COLUMN_WRITE, kColumns[2], "dot1dStpPortEnable"),
}};

QvTable<3> g_portSetTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kColumns[0], "dot1dStpPortPriority"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kColumns[1], "dot1dStpPortPathCost"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kColumns[2], "dot1dStpPortEnable"),
}};

// Status, designated root, cost, bridge and port, forward transitions: columns 4 to 9.
constexpr int kRowLabels[] = {kState,          kDesignatedRoot,
                              kDesignatedCost, kDesignatedBridge,
                              kDesignatedPort, kForwardTransitions};

// Points the table's records at the port's instance; false for a text that names no port.
template <int N> bool setPort(QvTable<N>& table, const QString& port) {
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok) return false;
    for (int i = 0; i < N; ++i)
        table.setInstance(i, kColumns[i], std::to_string(number));
    return true;
}

} // namespace

CPortStpDlg::CPortStpDlg(CStpTableDlg* page) : QDialog(page), m_page(page) {
    InitPage(this, res::kDlgPortStp, QStringLiteral("Port STP Configuration"));
    OnClicked(this, kPrev, [this] { OnPrev(); });
    OnClicked(this, kNext, [this] { OnNext(); });
    OnClicked(this, kApply, [this] { OnApply(); });
    OnClicked(this, res::kOk, [this] { OnOK(); });
    OnClicked(this, res::kCancel, [this] { reject(); });
    m_row = std::max(0, SelectedRow(m_page->list()));
    loadRow();
    updateButtons();
    // Opened while the page is still walking (or on a table that has no row yet), the dialog
    // shows the first row once it is listed, and steps as far as rows have come.
    connect(m_page->list()->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_port.isEmpty()) loadRow();
        updateButtons();
    });
}

int CPortStpDlg::rowCount() const {
    return m_page->list()->rowCount();
}

void CPortStpDlg::updateButtons() {
    // Both ends at once: a list of one row (or none) has nowhere to step.
    platform::Item<QPushButton>(this, kPrev)->setEnabled(m_row > 0);
    platform::Item<QPushButton>(this, kNext)->setEnabled(m_row < rowCount() - 1);
    // Nothing can be written before a port is shown: until the page has listed one, only
    // Cancel is offered.
    const bool writable = g_bUserRight == 1 && !m_port.isEmpty();
    for (int id : std::initializer_list<int>{kEnable, kPriority, kPathCost, kApply, res::kOk})
        platform::DialogItem(this, id)->setEnabled(writable);
}

bool CPortStpDlg::readEdits() {
    return platform::ReadInteger(platform::Item<QLineEdit>(this, kPriority), m_priority) &&
           platform::ReadInteger(platform::Item<QLineEdit>(this, kPathCost), m_pathCost);
}

void CPortStpDlg::step(int delta) {
    // Boxes that hold what was read are checked as OK checks them; empty ones hold nothing.
    if (!m_loadedPort.isEmpty() && m_loadedPort == m_port && !readEdits()) return;
    const int row = m_row + delta;
    if (row < 0 || row >= rowCount()) return;
    m_row = row;
    loadRow();
    updateButtons();
}

void CPortStpDlg::loadRow() {
    const platform::ListView* list = m_page->list();
    if (m_row >= list->rowCount()) return; // an empty list: no port to show
    m_port = list->text(m_row, kStpPortColumn);
    SetItemText(this, kPortLabel, m_port);
    // Until this port's values are in, the boxes show nothing rather than another port's.
    SetItemText(this, kPriority, QString());
    SetItemText(this, kPathCost, QString());
    m_loadedPort.clear();
    for (int c = kStpStateColumn; c <= kStpTransitionsColumn; ++c)
        SetItemText(this, kRowLabels[c - kStpStateColumn], list->text(m_row, c));
    readPort();
}

void CPortStpDlg::readPort() {
    // One get at a time: the answer for an earlier port asks again for the one shown.
    if (m_get.busy() || !setPort(g_portGetTable, m_port)) return;
    platform::WaitCursor wait;
    m_readPort = m_port;
    m_get.open(this, g_portGetTable, &CPortStpDlg::OnGetResponse);
    m_get.send(SNMP_PDU_GET);
}

void CPortStpDlg::OnGetResponse(unsigned short status, CSnmpMsg* msg) {
    if (m_get.takeResponse(status, msg, StaleResponse::Ignored) == CollectResult::Stale) return;
    if (m_readPort != m_port) {
        readPort();
        return;
    }
    const QStringList& v = m_get.values();
    // A port lacking one of the three leaves the boxes empty and is not loaded, so Apply
    // writes nothing to it.
    if (v.size() < 3 || !m_get.arrived(0) || !m_get.arrived(1) || !m_get.arrived(2)) return;
    m_priority = v[0].toInt();
    m_pathCost = v[1].toInt();
    platform::Item<QCheckBox>(this, kEnable)->setChecked(v[2] == QLatin1String("1"));
    SetItemText(this, kPriority, QString::number(m_priority));
    SetItemText(this, kPathCost, QString::number(m_pathCost));
    m_loadedPort = m_port;
}

bool CPortStpDlg::OnApply() {
    if (g_bUserRight != 1) return true;
    if (m_port.isEmpty()) {
        platform::MessageBox(this, QStringLiteral("No port is listed yet; nothing was written."));
        return false;
    }
    // Values read for another port (or none yet) are not written to this one: the enable
    // box is hidden, and the operator could not see what it would write.
    if (m_loadedPort != m_port) {
        platform::MessageBox(
            this, QStringLiteral("The settings of port %1 %2 from the device; nothing was written.")
                      .arg(m_port, QLatin1String(m_get.busy() ? "are still being read"
                                                              : "could not be read")));
        return false;
    }
    if (!readEdits()) return false;
    if (!setPort(g_portSetTable, m_port)) return true;
    m_page->setChannel().sendSetAwaited(
        m_page, g_portSetTable,
        {QString::number(m_priority), QString::number(m_pathCost),
         QLatin1String(platform::Item<QCheckBox>(this, kEnable)->isChecked() ? "1" : "2")});
    return true;
}

void CPortStpDlg::OnOK() {
    if (OnApply()) accept();
}
