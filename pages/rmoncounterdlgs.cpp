#include "pages/rmoncounterdlgs.h"

#include "graphs/ratechart.h"
#include "pages/rmoncommon.h"
#include "pages/rmonstatdlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "platform/stretch.h"
#include "res/ids.h"
#include "res/stringtable.h"
#include "snmp/valuetext.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimerEvent>

namespace param = res::rmonParameter;
namespace intf = res::rmonInterface;

namespace {

constexpr const char* kStatsEntry = "1.3.6.1.2.1.16.1.1.1";

// The group display's counters (combo positions 0 to 14, string resources 202 to 216):
// columns 3 (drop events) and 12 (jabbers) are not offered.
constexpr int kGroupColumns[] = {4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19};
constexpr int kFirstIntfColumn = 3;
constexpr int kOctetsColumn = 4; // etherStatsOctets: the one counter of octets, not frames
constexpr int kIntfRows = intf::kRows;
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

QString CounterOid(int column, const QString& index) {
    return QStringLiteral("%1.%2.%3").arg(QLatin1String(kStatsEntry)).arg(column).arg(index);
}

} // namespace

CounterGet::CounterGet(QObject* parent, QLabel* value, const char* name)
    : QObject(parent), m_value(value), m_name(name) {}

void CounterGet::read(const QString& oid, const QString& source, bool octets) {
    if (oid != m_wanted || source != m_source) {
        m_base.reset();
        m_rate = {};
    }
    m_wanted = oid;
    m_source = source;
    m_octets = octets;
    if (oid.isEmpty() || busy()) return;
    using graphs::kPortColumnOids;
    std::vector<_QvOidTable> records{
        QvRecord(ber::TimeTicks, QV_SCALAR_READ, graphs::kSysUpTimeOid, "sysUpTime"),
        QvRecord(ber::Counter32, QV_COLUMN_READ, kStatsEntry, m_name)};
    if (!SetRecordOid(records[1], oid.toStdString())) return;
    if (const int port = RmonSourceInterface(source); port > 0) {
        const std::string instance = "." + std::to_string(port);
        records.push_back(QvRecord(ber::Gauge32, QV_COLUMN_READ,
                                   kPortColumnOids[graphs::ColSpeed] + instance, "ifSpeed"));
        records.push_back(QvRecord(ber::Gauge32, QV_COLUMN_READ,
                                   kPortColumnOids[graphs::ColHighSpeed] + instance,
                                   "ifHighSpeed"));
    }
    m_table.assign(records);
    m_asked = oid;
    m_sent = graphs::SteadySeconds();
    m_snmp.request(this, m_table, &CounterGet::OnSnmpResponse, SNMP_PDU_GET);
}

void CounterGet::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    std::vector<std::optional<uint64_t>> numbers;
    const CollectResult collected = m_snmp.takeNumbers(status, msg, numbers);
    if (collected == CollectResult::Stale || m_asked != m_wanted) return;
    if (collected == CollectResult::Failed || numbers.size() < 2 || !numbers[0]) {
        m_rate = {graphs::kGap,
                  collected == CollectResult::Failed ? graphs::Gap::Timeout : graphs::Gap::Missing};
        return;
    }
    graphs::Poll now;
    now.answered = true;
    now.uptime = uint32_t(*numbers[0]);
    now.sent = m_sent;
    now.received = graphs::SteadySeconds();
    const graphs::Reading reading{numbers[1].has_value(), numbers[1].value_or(0), false};
    m_value->setText(reading.present ? QString::number(reading.value) : QString());
    const IfSpeed speed = numbers.size() >= 4 ? IfLineRate(numbers[2], numbers[3]) : IfSpeed{};
    const graphs::LineBounds bounds = graphs::ProbeLineBounds(speed.bps, speed.capped);
    double seconds = 0;
    const graphs::Gap interval =
        m_base ? graphs::AgentSeconds(*m_base, now, seconds) : graphs::Gap::First;
    if (interval == graphs::Gap::None)
        m_rate =
            graphs::CounterRate(m_last, reading, seconds, m_octets ? bounds.octets : bounds.frames);
    else
        m_rate = {graphs::kGap, interval};
    // A frozen uptime measures nothing: the next rate spans it from the answer before.
    if (interval == graphs::Gap::ClockFrozen) return;
    m_base = now;
    m_last = reading;
}

graphs::Rate CounterGet::takeRate() {
    return std::exchange(m_rate, graphs::Rate{});
}

CCounterDisplay::CCounterDisplay(CRmonStatDlg* page, int templateId, int titleId, int refreshId)
    : QDialog(page), m_page(page) {
    InitPage(this, templateId, QString::fromUtf8(res::String(titleId)));
    OnClicked(this, refreshId, [this] { readValues(); });
    OnClicked(this, res::kClose, [this] { reject(); });
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
    platform::ExtendDialog(this, WithStatusLine(m_chart, m_chartStatus), Qt::RightEdge,
                           kChartWidth);
    readValues();
    m_timer = startTimer(kCounterTimerMs);
}

// Each tick plots the rates the last reads gave, then reads again.
void CCounterDisplay::plotRates() {
    std::vector<double> values;
    std::vector<graphs::Gap> gaps;
    for (CounterGet* item : m_items) {
        const graphs::Rate rate = item->takeRate();
        values.push_back(rate.value);
        gaps.push_back(rate.gap);
    }
    m_rates->append(QDateTime::currentMSecsSinceEpoch(), values.data(), gaps.data());
    m_chart->refresh();
    m_chartStatus->setText(m_chart->gapsText(m_rates->size() - 1, m_rates->size()));
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
    : CCounterDisplay(page, res::kDlgRmonParameter, 198, param::kRefresh), m_groups(groups) {
    m_counter = platform::Item<QComboBox>(this, param::kCounterCombo);
    for (int i = 0; i < CRmonStatDlg::kGroupSize; ++i)
        m_items << new CounterGet(this, platform::Item<QLabel>(this, param::kFirstValue + i),
                                  "Rmon1CntInfo");
    if (m_groups <= 1) {
        platform::Item<QPushButton>(this, param::kPrev)->setEnabled(false);
        platform::Item<QPushButton>(this, param::kNext)->setEnabled(false);
    }
    for (int id = 202; id <= 216; ++id)
        m_counter->addItem(QString::fromUtf8(res::String(id)));
    label();
    blank();
    m_counter->setCurrentIndex(0);
    connect(m_counter, &QComboBox::currentIndexChanged, this, [this] { readValues(); });
    OnClicked(this, param::kPrev, [this] { step(-1); });
    OnClicked(this, param::kNext, [this] { step(+1); });
    QStringList names;
    for (int i = 0; i < m_items.size(); ++i)
        names << QStringLiteral("Item %1").arg(i + 1);
    start(names);
}

void CRmonParamDlg::label() {
    platform::ListView* list = m_page->list();
    const QString item = QString::fromUtf8(res::String(200));
    for (int i = 0; i < m_items.size(); ++i)
        SetItemText(this, param::kFirstItem + i,
                    item + list->text((m_group - 1) * CRmonStatDlg::kGroupSize + i, 0));
}

// Only the last group (the first, when there are none) has items without a probe.
void CRmonParamDlg::blank() {
    if (m_group < m_groups) return;
    for (int i = 0; i < m_items.size(); ++i) {
        if ((m_group - 1) * CRmonStatDlg::kGroupSize + i < m_page->recordedRows()) continue;
        for (int id : {param::kFirstItem + i, param::kFirstValue + i}) {
            SetItemText(this, id, QString());
            platform::DialogItem(this, id)->setEnabled(false);
        }
    }
}

void CRmonParamDlg::enableItems() {
    for (int i = 0; i < m_items.size(); ++i)
        for (int id : {param::kFirstItem + i, param::kFirstValue + i})
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
    const int column = kGroupColumns[position];
    const int count = std::clamp(m_page->recordedRows() - first, 0, int(m_items.size()));
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i]->read(i < count ? CounterOid(column, m_page->recordedIndex(first + i + 1))
                                   : QString(),
                         m_page->recordedSource(first + i + 1), column == kOctetsColumn);
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

CRmonIntfDlg::CRmonIntfDlg(CRmonStatDlg* page, int position)
    : CCounterDisplay(page, res::kDlgRmonInterface, 199, intf::kRefresh) {
    QStringList probes;
    for (int slot = 1; slot <= page->recordedRows(); ++slot)
        probes << page->recordedIndex(slot);
    for (int r = 0; r < kIntfRows; ++r) {
        auto* combo = platform::Item<QComboBox>(this, intf::kFirstProbe + r);
        combo->addItems(probes);
        combo->setCurrentIndex(position < probes.size() ? position : -1);
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { readValues(); });
        m_probes << combo;
        m_items << new CounterGet(this, platform::Item<QLabel>(this, intf::kFirstValue + r),
                                  "Rmon1IntfInfo");
    }
    QStringList names;
    for (const char* name : kIntfNames)
        names << QString::fromLatin1(name);
    start(names);
}

void CRmonIntfDlg::readValues() {
    for (int r = 0; r < kIntfRows; ++r) {
        const QString probe = m_probes[r]->currentText();
        m_items[r]->read(probe.isEmpty() ? QString() : CounterOid(kFirstIntfColumn + r, probe),
                         m_page->recordedSource(m_probes[r]->currentIndex() + 1),
                         kFirstIntfColumn + r == kOctetsColumn);
    }
}
