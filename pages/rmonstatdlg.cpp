#include "pages/rmonstatdlg.h"

#include "pages/rmoncounterdlgs.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "res/stringtable.h"
#include "snmp/params.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

// Interface indexes need not run from 1 to ifNumber: the title's port is looked up among them.
QvTable<1> g_interfaceIndexTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.1", "ifIndex"),
}};

QvTable<2> g_statWalkTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.1.1.1.1", "PortIndex"),
    QvRecord(ber::ObjectId, QV_COLUMN_WRITE, "1.3.6.1.2.1.16.1.1.1.2", "PortIndex"),
}};

constexpr const char* kStatusColumn = "1.3.6.1.2.1.16.1.1.1.21";
constexpr const char* kSourceColumn = "1.3.6.1.2.1.16.1.1.1.2";
constexpr const char* kOwnerColumn = "1.3.6.1.2.1.16.1.1.1.20";

QvTable<3> g_statCreateTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kStatusColumn, "etherStatsStatus"),
    QvRecord(ber::ObjectId, QV_SCALAR_WRITE, kSourceColumn, "etherStatsDataSource"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, kOwnerColumn, "etherStatsOwner"),
}};

QvTable<1> g_statDeleteTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kStatusColumn, "etherStatsStatus"),
}};

using namespace res::rmonStat;
using res::kClose;

enum : int { kSourceRecord = 1 };

} // namespace

CRmonStatDlg::CRmonStatDlg() {
    InitPage(this, 471, QString());
    // Refresh during a walk empties the list, and the walk goes on filling it; any answer
    // ends the walk's wait, even one to another request.
    m_walk = new ListWalk(this, g_statWalkTable, kList, {194, 195}, kCount,
                          {.stale = StaleResponse::EndsWalk});
    m_walk->mapColumn(kSourceRecord, RmonSourceText);
    connect(m_walk, &ListWalk::rowAdded, this, &CRmonStatDlg::OnRowAdded);
    m_sets = new RmonEntrySets(this, g_statCreateTable,
                               {kStatusColumn, kSourceColumn, kOwnerColumn}, g_statDeleteTable);

    OnClicked(this, kAdd, [this] { OnAdd(); });
    OnClicked(this, kDelete, [this] { OnDelete(); });
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    OnClicked(this, kParameter, [this] { OnParameter(); });
    OnClicked(this, kInterface, [this] { OnInterface(); });
    OnClicked(this, kClose, [this] { reject(); });
    OnListSelection(
        list(), [this] { OnClick(); }, [this] { OnDoubleClick(); });

    {
        platform::WaitCursor wait;
        m_interfaces.request(this, g_interfaceIndexTable, &CRmonStatDlg::OnInterfaceResponse,
                             SNMP_PDU_GETNEXT);
    }
    setPortTitle(1);
    startWalk();
    EnableItem(this, kDelete, false);
    if (!g_bUserRight) EnableItem(this, kAdd, false);
}

QString CRmonStatDlg::recordedIndex(int slot) const {
    return slot >= 1 && slot <= m_recorded ? m_slots[size_t(slot)].index : QString();
}

QString CRmonStatDlg::recordedSource(int slot) const {
    return slot >= 1 && slot <= m_recorded ? m_slots[size_t(slot)].source : QString();
}

void CRmonStatDlg::setPortTitle(int port) {
    setWindowTitle(QString::fromUtf8(res::String(196)) + QString::fromUtf8(res::String(197)) +
                   QString::number(port));
}

void CRmonStatDlg::OnInterfaceResponse(unsigned short status, CSnmpMsg* msg) {
    if (m_interfaces.walkStep(status, msg) != WalkStep::Row) return;
    if (!m_interfaces.values().isEmpty()) m_ifIndexes.insert(m_interfaces.values()[0].toInt());
    m_interfaces.send(SNMP_PDU_GETNEXT);
}

void CRmonStatDlg::startWalk() {
    m_recorded = 0;
    m_walk->start();
}

void CRmonStatDlg::OnRowAdded(int row) {
    if (m_recorded >= kSlots) return;
    m_slots[size_t(++m_recorded)] = {list()->text(row, 0), list()->text(row, kSourceRecord)};
}

void CRmonStatDlg::OnClick() {
    const int row = SelectedRow(list());
    if (row < 0) {
        EnableItem(this, kDelete, false);
        return;
    }
    // A source that names no interface has no port: the title shows port 1, as for an
    // interface the device does not have.
    int port = RmonSourceInterface(list()->text(row, kSourceRecord));
    if (!m_ifIndexes.contains(port)) port = 1;
    setPortTitle(port);
    EnableItem(this, kDelete, g_bUserRight != 0);
}

void CRmonStatDlg::OnDoubleClick() {
    if (SelectedRow(list()) < 0)
        EnableItem(this, kDelete, false);
    else
        OnInterface();
}

void CRmonStatDlg::OnAdd() {
    CRmonAddDlg add(this);
    if (platform::RunModal(&add) != QDialog::Accepted) return;
    m_sets->create(add.m_index, {RmonInterfaceSource(add.m_sourcePort), add.m_property});
    startWalk();
}

void CRmonStatDlg::OnDelete() {
    if (platform::MessageBox(this, QStringLiteral("Do you want to delete this item?"), true) !=
        platform::Answer::Ok)
        return;
    const int row = SelectedRow(list());
    if (row < 0) return;
    m_sets->remove(list()->text(row, 0));
    startWalk();
    EnableItem(this, kDelete, false);
}

void CRmonStatDlg::OnRefresh() {
    startWalk();
    if (!g_bUserRight) EnableItem(this, kAdd, false);
    EnableItem(this, kDelete, false);
}

void CRmonStatDlg::OnParameter() {
    CRmonParamDlg display(this, groupCount());
    platform::RunModal(&display);
}

void CRmonStatDlg::OnInterface() {
    CRmonIntfDlg display(this, std::max(0, SelectedRow(list())));
    platform::RunModal(&display);
}

CRmonAddDlg::CRmonAddDlg(QWidget* parent) : QDialog(parent) {
    InitPage(this, 472, QStringLiteral("  RMON 1 Group"));
    SetItemText(this, kAddProperty, m_property);
    OnClicked(this, 1, [this] {
        m_index = ItemText(this, kAddIndex);
        m_sourcePort = ItemText(this, kAddSource);
        m_property = ItemText(this, kAddProperty);
        accept();
    });
    OnClicked(this, 2, [this] { reject(); });
}
