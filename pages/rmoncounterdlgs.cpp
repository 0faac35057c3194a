#include "pages/rmoncounterdlgs.h"

#include "graphs/ratechart.h"
#include "pages/rmonstatdlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "platform/stretch.h"
#include "res/stringtable.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimerEvent>

namespace {

constexpr const char* kStatsEntry = "1.3.6.1.2.1.16.1.1.1";

// The group display's counters (combo positions 0 to 14, string resources 202 to 216):
// columns 3 (drop events) and 12 (jabbers) are not offered.
constexpr int kGroupColumns[] = {4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19};
constexpr int kFirstIntfColumn = 3;
constexpr int kIntfRows = 17;
// The interface display's counters, etherStatsEntry columns 3 to 19.
constexpr const char* kIntfNames[kIntfRows] = {
    "DropEvents",
    "Octets",
    "Pkts",
    "BroadcastPkts",
    "MulticastPkts",
    "CRCAlignErrors",
    "UndersizePkts",
    "OversizePkts",
    "Fragments",
    "Jabbers",
    "Collisions",
    "Pkts64Octets",
    "Pkts65to127Octets",
    "Pkts128to255Octets",
    "Pkts256to511Octets",
    "Pkts512to1023Octets",
    "Pkts1024to1518Octets",
};
constexpr int kChartWidth = 520;
// An hour of the displays' 2 s reads.
constexpr size_t kRateCapacity = 1800;

enum : int {
    kCounterCombo = 1060,
    kPrev = 1061,
    kNext = 1062,
    kParamRefresh = 1063,
    kFirstItem = 1101,
    kFirstValue = 1201,
    kIntfRefresh = 1070,
    kFirstProbe = 1301,
    kFirstIntfValue = 1401,
    kClose = 2,
};

QString CounterOid(int column, const QString& index) {
    return QStringLiteral("%1.%2.%3").arg(QLatin1String(kStatsEntry)).arg(column).arg(index);
}

} // namespace

CounterGet::CounterGet(QObject* parent, QLabel* value, const char* name)
    : QObject(parent),
      m_value(value), m_table{{QvRecord(ber::Integer, QV_COLUMN_READ, kStatsEntry, name)}} {}

void CounterGet::read(const QString& oid) {
    if (oid != m_wanted) {
        m_last = {};
        m_rate = graphs::kGap;
    }
    m_wanted = oid;
    if (oid.isEmpty() || busy() || !m_table.setOid(0, oid.toStdString()))
        return;
    m_asked = oid;
    m_snmp.request(this, m_table, &CounterGet::OnSnmpResponse, SNMP_PDU_GET);
}

void CounterGet::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    m_snmp.takeResponse(status, msg);
    if (m_snmp.values().isEmpty() || m_asked != m_wanted) return;
    m_value->setText(m_snmp.values()[0]);
    if (!m_clock.isValid()) m_clock.start();
    graphs::Reading now;
    now.value = m_snmp.values()[0].toULongLong(&now.present);
    const qint64 ms = m_clock.elapsed();
    if (const graphs::Rate rate =
            graphs::CounterRate(m_last, now, double(ms - m_lastMs) / 1000, 0))
        m_rate = rate.value;
    m_last = now;
    m_lastMs = ms;
}

double CounterGet::takeRate() {
    return std::exchange(m_rate, graphs::kGap);
}

CCounterDisplay::CCounterDisplay(CRmonStatDlg* page, int templateId, int titleId, int refreshId)
    : QDialog(page), m_page(page) {
    InitPage(this, templateId, QString::fromUtf8(res::String(titleId)));
    OnClicked(this, refreshId, [this] { readValues(); });
    OnClicked(this, kClose, [this] { reject(); });
}

void CCounterDisplay::start(const QStringList& names) {
    QList<graphs::SeriesLine> lines;
    for (const QString& name : names)
        lines << graphs::SeriesLine{name, graphs::Scale::PerSecond};
    m_rates = std::make_unique<graphs::SampleStore>(int(lines.size()), kRateCapacity);
    m_chart = new graphs::RateChart(m_rates.get(), lines, graphs::TimeKind::Clock);
    m_chart->setSpan(5 * 60 * 1000);
    // A name beside each line: the series are many and the chart is narrow.
    m_chart->chart()->legend()->setAlignment(Qt::AlignRight);
    platform::ExtendDialog(this, m_chart, Qt::RightEdge, kChartWidth);
    readValues();
    m_timer = startTimer(kCounterTimerMs);
}

// Each tick plots the rates the last reads gave, then reads again.
void CCounterDisplay::plotRates() {
    std::vector<double> values;
    for (CounterGet* item : m_items)
        values.push_back(item->takeRate());
    m_rates->append(QDateTime::currentMSecsSinceEpoch(), values.data());
    m_chart->refresh();
}

void CCounterDisplay::done(int result) {
    killTimer(m_timer);
    QDialog::done(result);
}

void CCounterDisplay::timerEvent(QTimerEvent*) {
    plotRates();
    readValues();
}

CRmonParamDlg::CRmonParamDlg(CRmonStatDlg* page, int groups)
    : CCounterDisplay(page, 476, 198, kParamRefresh), m_groups(groups) {
    m_counter = platform::Item<QComboBox>(this, kCounterCombo);
    for (int i = 0; i < CRmonStatDlg::kGroupSize; ++i)
        m_items << new CounterGet(this, platform::Item<QLabel>(this, kFirstValue + i), "Rmon1CntInfo");
    if (m_groups <= 1) {
        platform::Item<QPushButton>(this, kPrev)->setEnabled(false);
        platform::Item<QPushButton>(this, kNext)->setEnabled(false);
    }
    for (int id = 202; id <= 216; ++id)
        m_counter->addItem(QString::fromUtf8(res::String(id)));
    label();
    blank();
    m_counter->setCurrentIndex(0);
    connect(m_counter, &QComboBox::currentIndexChanged, this, [this] { readValues(); });
    OnClicked(this, kPrev, [this] { step(-1); });
    OnClicked(this, kNext, [this] { step(+1); });
    QStringList names;
    for (int i = 0; i < m_items.size(); ++i)
        names << QStringLiteral("Item %1").arg(i + 1);
    start(names);
}

void CRmonParamDlg::label() {
    platform::ListView* list = m_page->list();
    const QString item = QString::fromUtf8(res::String(200));
    for (int i = 0; i < m_items.size(); ++i)
        SetItemText(this, kFirstItem + i,
                    item + list->text((m_group - 1) * CRmonStatDlg::kGroupSize + i, 0));
}

// Only the last group (the first, when there are none) has items without a probe.
void CRmonParamDlg::blank() {
    if (m_group < m_groups)
        return;
    for (int i = 0; i < m_items.size(); ++i) {
        if ((m_group - 1) * CRmonStatDlg::kGroupSize + i < m_page->recordedRows())
            continue;
        for (int id : {kFirstItem + i, kFirstValue + i}) {
            SetItemText(this, id, QString());
            platform::DialogItem(this, id)->setEnabled(false);
        }
    }
}

void CRmonParamDlg::enableItems() {
    for (int i = 0; i < m_items.size(); ++i)
        for (int id : {kFirstItem + i, kFirstValue + i})
            platform::DialogItem(this, id)->setEnabled(true);
}

void CRmonParamDlg::readValues() {
    const int position = m_counter->findText(m_counter->currentText(), Qt::MatchExactly);
    if (position < 0) {
        // Ticks go on while the message is up; one message at a time.
        if (!m_asking) {
            m_asking = true;
            platform::MessageBox(this, QStringLiteral("Please input parameter!"));
            m_asking = false;
        }
        return;
    }
    // Never past the recorded rows: in the last group fewer than 24, with none nothing.
    const int first = (m_group - 1) * CRmonStatDlg::kGroupSize;
    const int count = std::clamp(m_page->recordedRows() - first, 0, int(m_items.size()));
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i]->read(i < count ? CounterOid(kGroupColumns[position], m_page->recordedIndex(first + i + 1))
                                   : QString());
}

void CRmonParamDlg::step(int by) {
    m_group += by;
    if (m_group > m_groups) {
        m_group = 1;
        enableItems();
    } else if (m_group < 1) {
        m_group = m_groups;
    } else if (by < 0 && m_groups == m_group + 1) {
        enableItems();
    }
    label();
    blank();
    readValues();
}

CRmonIntfDlg::CRmonIntfDlg(CRmonStatDlg* page, int position) : CCounterDisplay(page, 477, 199, kIntfRefresh) {
    QStringList probes;
    for (int slot = 1; slot <= page->recordedRows(); ++slot)
        probes << page->recordedIndex(slot);
    for (int r = 0; r < kIntfRows; ++r) {
        auto* combo = platform::Item<QComboBox>(this, kFirstProbe + r);
        combo->addItems(probes);
        combo->setCurrentIndex(position < probes.size() ? position : -1);
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { readValues(); });
        m_probes << combo;
        m_items << new CounterGet(this, platform::Item<QLabel>(this, kFirstIntfValue + r), "Rmon1IntfInfo");
    }
    QStringList names;
    for (const char* name : kIntfNames)
        names << QString::fromLatin1(name);
    start(names);
}

void CRmonIntfDlg::readValues() {
    for (int r = 0; r < kIntfRows; ++r) {
        const QString probe = m_probes[r]->currentText();
        m_items[r]->read(probe.isEmpty() ? QString() : CounterOid(kFirstIntfColumn + r, probe));
    }
}
