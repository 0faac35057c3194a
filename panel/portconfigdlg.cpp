#include "panel/portconfigdlg.h"

#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "snmp/valuetext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

namespace {

constexpr const char* kAdminState = "1.3.6.1.2.1.2.2.1.7";

QvTable<1> g_portListTable{
    {QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.2", "ifDescr")}};

// ifHighSpeed last: an agent without it answers noSuchInstance there, which ends the values
// after the three the dialog always shows.
QvTable<4> g_portStatusTable{{
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.2.2.1.7", "swPortCtrlAdminState"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.2.2.1.8", "swPortInfoLinkStatus"),
    QvRecord(ber::Gauge32, QV_SCALAR_READ, "1.3.6.1.2.1.2.2.1.5", "swPortInfoNwayStatus"),
    QvRecord(ber::Gauge32, QV_SCALAR_READ, "1.3.6.1.2.1.31.1.1.1.15", "ifHighSpeed"),
}};
const char* const kStatusColumns[] = {"1.3.6.1.2.1.2.2.1.7", "1.3.6.1.2.1.2.2.1.8",
                                      "1.3.6.1.2.1.2.2.1.5", "1.3.6.1.2.1.31.1.1.1.15"};

QvTable<1> g_portSetTable{
    {QvRecord(ber::Integer, QV_SCALAR_WRITE, kAdminState, "swPortCtrlAdminState")}};

using namespace res::portConfig;

// The name a port is listed by: what follows "Physical port", or, on a device whose descriptions
// do not say it, a description the front panel places on a module ("TenGigabit 4/1"). Empty
// for anything else (management ports, loopback, VLANs).
QString PortName(const QString& descr) {
    static const QRegularExpression modulePort(QStringLiteral("^\\S+ \\d+/\\d+$"));
    if (descr.contains(QLatin1String("Physical port"))) return descr.mid(14).trimmed();
    return modulePort.match(descr).hasMatch() ? descr : QString();
}

} // namespace

CPortConfigDlg::CPortConfigDlg() {
    platform::BuildDialog(this, res::kDlgPortConfig);
    setWindowIcon(platform::Icon(447));
    setWindowTitle(QStringLiteral(" Port Configuration"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (!g_bUserRight) {
        platform::Item<QCheckBox>(this, kEnabled)->setEnabled(false);
        platform::Item<QPushButton>(this, kSet)->setEnabled(false);
    }
    auto* combo = platform::Item<QComboBox>(this, kCombo);
    combo->clear();
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { readStatus(); });
    const std::pair<int, int> icons[] = {{kSet, 153}, {kRefresh, 145}, {res::kClose, 147}};
    for (auto [id, icon] : icons) {
        auto* b = platform::Item<QPushButton>(this, id);
        b->setIcon(platform::Icon(icon));
        b->setIconSize(QSize(16, 16));
    }
    connect(platform::Item<QPushButton>(this, kSet), &QPushButton::clicked, this,
            [this] { OnSet(); });
    connect(platform::Item<QCheckBox>(this, kEnabled), &QCheckBox::clicked, this,
            [this] { m_stateKnown = true; });
    connect(platform::Item<QPushButton>(this, kRefresh), &QPushButton::clicked, this,
            [this] { readStatus(); });
    connect(platform::Item<QPushButton>(this, res::kClose), &QPushButton::clicked, this,
            &QDialog::reject);
    m_list.open(this, g_portListTable, &CPortConfigDlg::OnListResponse);
    m_list.send(SNMP_PDU_GETNEXT);
}

void CPortConfigDlg::OnListResponse(unsigned short status, CSnmpMsg* msg) {
    auto* combo = platform::Item<QComboBox>(this, kCombo);
    QStringList instances;
    switch (m_list.walkStep(status, msg, &instances)) {
    case WalkStep::Failed:
    case WalkStep::Dropped:
        return;
    case WalkStep::End:
        if (combo->count() > 0) {
            const int select = std::max(0, int(m_interfaces.indexOf(m_selectInterface)));
            // Selecting reads the status through the selection change; a list of one entry
            // is already selected, so read it here.
            const bool changes = combo->currentIndex() != select;
            combo->setCurrentIndex(select);
            if (!changes)
                readStatus();
        }
        return;
    case WalkStep::Row:
        break;
    }
    // The instance is the port's ifIndex (".99"): its state is read and set there.
    const int ifIndex = instances.value(0).mid(1).toInt();
    const QString name = PortName(m_list.values().value(0));
    if (!name.isEmpty() && ifIndex > 0) {
        m_names.append(name);
        m_interfaces.append(ifIndex);
        const QSignalBlocker block(combo);
        combo->addItem(name);
    }
    m_list.send(SNMP_PDU_GETNEXT);
}

void CPortConfigDlg::readStatus() {
    const int row = platform::Item<QComboBox>(this, kCombo)->currentIndex();
    if (row < 0 || row >= m_interfaces.size()) return;
    m_interface = m_interfaces[row];
    m_stateKnown = false;
    const QString& name = m_names[row];
    platform::Item<QLabel>(this, kPortLabel)
        ->setText(name.mid(name.lastIndexOf(QLatin1Char(' ')) + 1));
    const std::string instance = std::to_string(m_interface);
    for (int i = 0; i < int(std::size(kStatusColumns)); ++i)
        g_portStatusTable.setInstance(i, kStatusColumns[i], instance);
    m_status.open(this, g_portStatusTable, &CPortConfigDlg::OnStatusResponse);
    platform::WaitCursor wait;
    m_status.send(SNMP_PDU_GET);
}

void CPortConfigDlg::OnStatusResponse(unsigned short status, CSnmpMsg* msg) {
    const CollectResult r = m_status.takeResponse(status, msg, StaleResponse::Ignored);
    if (r == CollectResult::Failed) {
        platform::Item<QCheckBox>(this, kEnabled)->setChecked(false);
        platform::Item<QLabel>(this, kLink)->clear();
        platform::Item<QLabel>(this, kSpeed)->clear();
        return;
    }
    // An answer to another request, or an error status, changes nothing on screen.
    const QStringList& v = m_status.values();
    if (v.isEmpty()) return;
    platform::Item<QCheckBox>(this, kEnabled)->setChecked(v[0] == QLatin1String("1"));
    m_stateKnown = m_status.arrived(0);
    if (v.size() > 1)
        platform::Item<QLabel>(this, kLink)
            ->setText(v[1] == QLatin1String("1")   ? QStringLiteral("连通")
                      : v[1] == QLatin1String("2") ? QStringLiteral("断开")
                                                   : QStringLiteral("未知"));
    if (v.size() > 2)
        platform::Item<QLabel>(this, kSpeed)->setText(IfSpeedText(v[2], v.value(3)));
}

void CPortConfigDlg::OnSet() {
    if (!g_bUserRight || m_list.busy() || m_interface < 1 || !m_stateKnown) return;
    g_portSetTable.setInstance(0, kAdminState, std::to_string(m_interface));
    const bool enabled = platform::Item<QCheckBox>(this, kEnabled)->isChecked();
    m_list.sendSetAwaited(this, g_portSetTable, {QLatin1String(enabled ? "1" : "2")});
    readStatus();
}
