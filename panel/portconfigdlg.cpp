#include "panel/portconfigdlg.h"

#include "snmp/params.h"
#include "platform/platform.h"
#include "snmp/valuetext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr const char* kAdminState = "1.3.6.1.2.1.2.2.1.7";

QvTable<1> g_portListTable{{QvRecord(ber::OctetString, 0x11, "1.3.6.1.2.1.2.2.1.2", "ifDescr")}};

// ifHighSpeed last: an agent without it answers noSuchInstance there, which ends the values
// after the three the dialog always shows.
QvTable<4> g_portStatusTable{{
    QvRecord(ber::Integer, 0x1, "1.3.6.1.2.1.2.2.1.7", "swPortCtrlAdminState"),
    QvRecord(ber::Integer, 0x1, "1.3.6.1.2.1.2.2.1.8", "swPortInfoLinkStatus"),
    QvRecord(ber::Gauge32, 0x1, "1.3.6.1.2.1.2.2.1.5", "swPortInfoNwayStatus"),
    QvRecord(ber::Gauge32, 0x1, "1.3.6.1.2.1.31.1.1.1.15", "ifHighSpeed"),
}};
const char* const kStatusColumns[] = {"1.3.6.1.2.1.2.2.1.7", "1.3.6.1.2.1.2.2.1.8",
                                      "1.3.6.1.2.1.2.2.1.5", "1.3.6.1.2.1.31.1.1.1.15"};

QvTable<1> g_portSetTable{{QvRecord(ber::Integer, 0x2, kAdminState, "swPortCtrlAdminState")}};

enum : int { kCombo = 1036, kPortLabel = 1223, kEnabled = 1224, kLink = 1226, kSpeed = 1227 };

} // namespace

CPortConfigDlg::CPortConfigDlg() {
    platform::BuildDialog(this, kPortConfigTemplate);
    setWindowIcon(platform::Icon(447));
    setWindowTitle(QStringLiteral(" Port Configuration"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (!g_bUserRight) {
        platform::Item<QCheckBox>(this, kEnabled)->setEnabled(false);
        platform::Item<QPushButton>(this, 3)->setEnabled(false);
    }
    auto* combo = platform::Item<QComboBox>(this, kCombo);
    combo->clear();
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { readStatus(); });
    const std::pair<int, int> icons[] = {{3, 153}, {4, 145}, {2, 147}};
    for (auto [id, icon] : icons) {
        auto* b = platform::Item<QPushButton>(this, id);
        b->setIcon(platform::Icon(icon));
        b->setIconSize(QSize(16, 16));
    }
    connect(platform::Item<QPushButton>(this, 3), &QPushButton::clicked, this, [this] { OnSet(); });
    connect(platform::Item<QCheckBox>(this, kEnabled), &QCheckBox::clicked, this,
            [this] { m_stateKnown = true; });
    connect(platform::Item<QPushButton>(this, 4), &QPushButton::clicked, this, [this] { readStatus(); });
    connect(platform::Item<QPushButton>(this, 2), &QPushButton::clicked, this, &QDialog::reject);
    m_list.open(this, g_portListTable, &CPortConfigDlg::OnListResponse);
    m_list.send(SNMP_PDU_GETNEXT);
}

void CPortConfigDlg::OnListResponse(unsigned short status, CSnmpMsg* msg) {
    auto* combo = platform::Item<QComboBox>(this, kCombo);
    switch (m_list.walkStep(status, msg)) {
    case WalkStep::Failed:
    case WalkStep::Dropped:
        return;
    case WalkStep::End:
        if (m_selectIndex < combo->count()) {
            // Selecting reads the status through the selection change; a list of one entry
            // is already selected, so read it here.
            const bool changes = combo->currentIndex() != m_selectIndex;
            combo->setCurrentIndex(m_selectIndex);
            if (!changes)
                readStatus();
        }
        return;
    case WalkStep::Row:
        break;
    }
    for (const QString& descr : m_list.values)
        if (descr.contains(QLatin1String("Physical port"))) {
            const QString name = descr.mid(14).trimmed();
            m_names.append(name);
            const QSignalBlocker block(combo);
            combo->addItem(name);
        }
    m_list.send(SNMP_PDU_GETNEXT);
}

void CPortConfigDlg::readStatus() {
    const QString text = platform::Item<QComboBox>(this, kCombo)->currentText();
    if (text.isEmpty())
        return;
    m_position = int(m_names.indexOf(text)) + 1;
    m_stateKnown = false;
    platform::Item<QLabel>(this, kPortLabel)->setText(text.mid(3));
    const std::string instance = std::to_string(m_position);
    for (int i = 0; i < int(std::size(kStatusColumns)); ++i)
        g_portStatusTable.setInstance(i, kStatusColumns[i], instance);
    m_status.open(this, g_portStatusTable, &CPortConfigDlg::OnStatusResponse);
    platform::WaitCursor wait;
    m_status.send(SNMP_PDU_GET);
}

void CPortConfigDlg::OnStatusResponse(unsigned short status, CSnmpMsg* msg) {
    m_status.values.clear();
    const int r = m_status.collect(status, msg);
    if (r == -1) {
        m_status.pending = 0;
        platform::Item<QCheckBox>(this, kEnabled)->setChecked(false);
        platform::Item<QLabel>(this, kLink)->clear();
        platform::Item<QLabel>(this, kSpeed)->clear();
        return;
    }
    if (r == 0 || m_status.values.isEmpty())
        return;
    m_status.pending = 0;
    const QStringList& v = m_status.values;
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
    if (!g_bUserRight || m_list.busy() || m_position < 1 || !m_stateKnown)
        return;
    g_portSetTable.setInstance(0, kAdminState, std::to_string(m_position));
    const bool enabled = platform::Item<QCheckBox>(this, kEnabled)->isChecked();
    m_list.sendSetAwaited(this, g_portSetTable, {QLatin1String(enabled ? "1" : "2")});
    readStatus();
}
