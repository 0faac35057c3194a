#include "graphs/trafficgraph.h"

#include "graphs/collectconf.h"
#include "graphs/ratechart.h"
#include "graphs/rrdlayout.h"
#include "graphs/rrdread.h"
#include "platform/platform.h"
#include "snmp/params.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <limits>

namespace graphs {

QList<SeriesLine> PortSeriesLines(const QList<GraphPort>& ports) {
    // A hue a port (the grey one left out: it reads as a grid line). In and out are its dark
    // and light shade, so a pair is seen as one port's; errors and discards take the same
    // shades dashed, utilisation the dark one dotted: no two of 40 lines look alike.
    static constexpr int kHues[kMaxGraphPorts] = {0, 1, 2, 3, 4, 5, 6, 9};
    QList<SeriesLine> lines;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const QString& name = ports[i].name;
        const int dark = kHues[i % kMaxGraphPorts], light = dark + 10;
        lines << SeriesLine{name + QStringLiteral(" in"), Scale::Bits, dark}
              << SeriesLine{name + QStringLiteral(" out"), Scale::Bits, light}
              << SeriesLine{name + QStringLiteral(" errors"), Scale::PerSecond, dark}
              << SeriesLine{name + QStringLiteral(" discards"), Scale::PerSecond, light}
              << SeriesLine{name + QStringLiteral(" utilisation"), Scale::Percent, dark};
    }
    return lines;
}

CounterPoller::CounterPoller(QObject* parent, const QList<GraphPort>& ports)
    : QObject(parent), m_ports(ports.mid(0, kMaxGraphPorts)) {
    buildTable();
}

namespace {

// The column's type as the agent gives it: the graph asks by get, so the records' types only
// name what the values are.
uint16_t ColumnType(int column) {
    switch (column) {
    case ColHCInOctets:
    case ColHCOutOctets:
        return ber::Counter64;
    case ColDiscontinuity:
        return ber::TimeTicks;
    case ColSpeed:
    case ColHighSpeed:
        return ber::Gauge32;
    default:
        return ber::Counter32;
    }
}

} // namespace

void CounterPoller::buildTable() {
    std::vector<_QvOidTable> records(size_t(1 + kPortColumns * m_ports.size()));
    records[0] = QvRecord(ber::TimeTicks, 0, kSysUpTimeOid, "sysUpTime");
    for (int i = 0; i < m_ports.size(); ++i) {
        const std::string index = "." + std::to_string(m_ports[i].ifIndex);
        _QvOidTable* port = &records[size_t(1 + kPortColumns * i)];
        for (int k = 0; k < kPortColumns; ++k)
            port[k] = QvRecord(ColumnType(k), 0, std::string(kPortColumnOids[size_t(k)]) + index,
                               "Counter");
    }
    m_table.assign(records);
}

bool CounterPoller::wide(int i) const {
    return size_t(i) < m_lastPoll.ports.size() && m_lastPoll.ports[size_t(i)].inOctets.present;
}

void CounterPoller::poll() {
    if (busy()) return;
    m_sent = SteadySeconds();
    m_snmp.request(this, m_table, &CounterPoller::OnSnmpResponse, SNMP_PDU_GET);
}

void CounterPoller::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    std::vector<std::optional<uint64_t>> numbers;
    const CollectResult collected = m_snmp.takeNumbers(status, msg, numbers);
    if (collected == CollectResult::Stale)
        return; // an answer to another request: ours is still to come
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Poll poll;
    poll.ports.resize(size_t(m_ports.size()));
    poll.answered = collected == CollectResult::Collected &&
                    numbers.size() >= size_t(m_table.count()) && numbers[0];
    poll.sent = m_sent;
    poll.received = SteadySeconds();
    if (poll.answered) {
        poll.uptime = uint32_t(*numbers[0]);
        ReadPorts(numbers.data() + 1, poll.ports);
    }
    m_lastPoll = poll;
    const std::vector<double> values = m_rates.add(poll);
    emit sampled(now, values);
}

struct CTrafficGraphWnd::CsvExport {
    QSaveFile file;
    uint64_t next, end; // samples by their number in the store (SampleStore::appended)
    QTimer pieces;
    explicit CsvExport(const QString& path) : file(path) {}
};

CTrafficGraphWnd::CTrafficGraphWnd(const QList<GraphPort>& ports, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_poller = new CounterPoller(this, ports);
    m_ports = m_poller->ports();
    for (qsizetype i = 0; i < m_ports.size(); ++i)
        if (m_ports[i].name.isEmpty()) {
            m_unnamed << int(i);
            m_ports[i].name = tr("Interface %1").arg(m_ports[i].ifIndex);
        }
    setWindowIcon(platform::Icon(447));

    loadHistory();
    m_chart = new RateChart(m_store.get(), PortSeriesLines(m_ports), TimeKind::Clock, this);
    // The table below names every series, however many.
    m_chart->chart()->legend()->hide();
    m_legend = new SeriesLegend(m_chart, this);

    m_interval = new QSpinBox(this);
    m_interval->setRange(kMinIntervalS, kMaxIntervalS);
    m_interval->setValue(kDefaultIntervalS);
    m_interval->setSuffix(tr(" s"));
    m_live = new QPushButton(tr("&Live"), this);
    m_live->setEnabled(false);
    auto* csv = new QPushButton(tr("Export CS&V..."), this);
    auto* png = new QPushButton(tr("Export &PNG..."), this);
    auto* close = new QPushButton(tr("&Close"), this);
    m_status = new QLabel(this);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long message is cut rather than widening the window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("&Interval:"), this));
    static_cast<QLabel*>(bar->itemAt(0)->widget())->setBuddy(m_interval);
    bar->addWidget(m_interval);
    bar->addSpacing(8);
    const std::pair<const char*, qint64> presets[] = {{"1 hour", 3600},
                                                      {"1 day", 86400},
                                                      {"1 week", 7 * 86400},
                                                      {"1 month", 31 * 86400},
                                                      {"1 year", 366 * 86400}};
    for (const auto& [text, seconds] : presets) {
        // Tool buttons: five of them beside the others still fit 900 pixels.
        auto* b = new QToolButton(this);
        b->setText(tr(text));
        b->setToolTip(tr("Show the last %1, following new samples").arg(tr(text)));
        connect(b, &QToolButton::clicked, this, [this, ms = seconds * 1000] {
            m_chart->setSpan(ms);
            m_chart->live();
        });
        bar->addWidget(b);
        m_presets << b;
    }
    bar->addWidget(m_live);
    bar->addStretch();
    bar->addWidget(csv);
    bar->addWidget(png);
    bar->addWidget(close);
    auto* top = new QWidget(this);
    auto* chartBox = new QVBoxLayout(top);
    chartBox->setContentsMargins(0, 0, 0, 0);
    chartBox->addWidget(m_chart, 1);
    chartBox->addWidget(m_chart->scrollBar());
    m_chart->scrollBar()->show();
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(m_legend);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    layout->addLayout(bar);
    resize(900, 520);
    // The legend shows a port's five lines without scrolling; more scroll.
    split->setSizes({520 - 2 * kPortSeries * m_legend->verticalHeader()->defaultSectionSize(),
                     (kPortSeries + 2) * m_legend->verticalHeader()->defaultSectionSize()});

    // The view shows 120 intervals while live.
    auto setInterval = [this](int seconds) {
        m_timer.start(seconds * 1000);
        m_chart->setSpan(qint64(seconds) * 120 * 1000);
    };
    connect(m_interval, &QSpinBox::valueChanged, this, setInterval);
    connect(m_chart, &RateChart::liveChanged, this,
            [this](bool live) { m_live->setEnabled(!live); });
    connect(m_live, &QPushButton::clicked, m_chart, &RateChart::live);
    connect(csv, &QPushButton::clicked, this, &CTrafficGraphWnd::askCsv);
    connect(png, &QPushButton::clicked, this, &CTrafficGraphWnd::askPng);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Copy, this), &QShortcut::activated, this,
            &CTrafficGraphWnd::copy);
    connect(m_poller, &CounterPoller::sampled, this,
            [this](qint64 timeMs, const std::vector<double>& values) {
                addSample(timeMs, values, m_poller->gaps());
            });
    connect(&m_timer, &QTimer::timeout, m_poller, &CounterPoller::poll);
    m_timer.start(kDefaultIntervalS * 1000);
    // With history the window opens on its last day, else on the live interval's view.
    m_chart->setSpan(m_historySamples ? 86400 * 1000ll : qint64(kDefaultIntervalS) * 120 * 1000);
    m_status->setText(m_historyText);
    updateTitle();
    askNames();
    m_poller->poll();
}

CTrafficGraphWnd::~CTrafficGraphWnd() = default;

namespace {

// A file's columns of in, out, then errors and discards in and out (-1: it lacks one).
std::array<int, kRrdSources.size()> SourceColumns(const RrdHistory& h) {
    std::array<int, kRrdSources.size()> columns{};
    for (size_t k = 0; k < kRrdSources.size(); ++k) {
        const auto at = std::find(h.sources.begin(), h.sources.end(), kRrdSources[k]);
        columns[k] = at == h.sources.end() ? -1 : int(at - h.sources.begin());
    }
    return columns;
}

// A row of a port's file as the port's series (its utilisation stays as it is).
void PortHistory(const RrdHistory& h, const std::array<int, kRrdSources.size()>& columns,
                 size_t row, double* out) {
    auto value = [&](int k) {
        const int c = columns[size_t(k)];
        return c < 0 ? kGap : h.at(row, size_t(c));
    };
    out[InBits] = value(0);
    out[OutBits] = value(1);
    // A sum with an unknown half is unknown, as in the live rates.
    out[Errors] = value(2) + value(3);
    out[Discards] = value(4) + value(5);
}

} // namespace

void CTrafficGraphWnd::loadHistory() {
    const std::string dir = RrdDir();
    const int64_t now = QDateTime::currentSecsSinceEpoch();
    const size_t n = size_t(m_ports.size());
    QStringList missing, unreadable;
    // One file after another: read side by side, each file's fresh memory faulted in by
    // several threads at once cost ten times the processor time on a two-core machine.
    auto read = [&](size_t i, RrdHistory* h, bool tell) {
        const std::string path = RrdFile(dir, g_strAgentAddress.toStdString(), SnmpAgentPort(),
                                         m_ports[qsizetype(i)].ifIndex);
        std::string why;
        if (!QFileInfo::exists(QString::fromStdString(path))) {
            if (tell) missing << m_ports[qsizetype(i)].name;
            *h = {};
        } else if (!ReadRrdHistory(path, now - kHistorySeconds, now, kMaxHistoryRows, h, &why)) {
            if (tell)
                unreadable << QStringLiteral("%1 (%2)").arg(m_ports[qsizetype(i)].name,
                                                            QString::fromStdString(why));
            *h = {};
        }
    };
    std::vector<double> sample(n * kPortSeries, kGap);
    // One collector's files share their rows' times: the first file with rows makes the
    // samples, and each further one is read into the same memory and written into them.
    size_t first = n;
    RrdHistory base, next;
    bool shared = true;
    size_t told = 0; // the files whose absence or fault is in the lists
    for (size_t i = 0; i < n && shared; ++i) {
        RrdHistory& h = first == n ? base : next;
        read(i, &h, true);
        told = i + 1;
        if (h.timesMs.empty()) continue;
        const auto columns = SourceColumns(h);
        if (first == n) {
            first = i;
            m_store = std::make_unique<SampleStore>(int(n) * kPortSeries,
                                                    kGraphCapacity + h.timesMs.size());
            for (size_t row = 0; row < h.timesMs.size(); ++row) {
                PortHistory(h, columns, row, sample.data() + i * kPortSeries);
                m_store->append(h.timesMs[row], sample.data());
            }
        } else if (h.timesMs == base.timesMs) {
            double port[kPortSeries];
            for (size_t row = 0; row < h.timesMs.size(); ++row) {
                PortHistory(h, columns, row, port);
                for (int s : {InBits, OutBits, Errors, Discards})
                    m_store->set(row, int(i) * kPortSeries + s, port[s]);
            }
        } else {
            shared = false;
        }
    }
    if (!shared) {
        // Files of other times: all of them read again and merged by time, a sample for each
        // time any of them has.
        base = next = {};
        std::vector<RrdHistory> files(n);
        std::vector<std::array<int, kRrdSources.size()>> columns(n);
        size_t rows = 0;
        for (size_t i = 0; i < n; ++i) {
            read(i, &files[i], i >= told);
            columns[i] = SourceColumns(files[i]);
            rows += files[i].timesMs.size();
        }
        m_store = std::make_unique<SampleStore>(int(n) * kPortSeries, kGraphCapacity + rows);
        std::vector<size_t> at(n, 0);
        for (;;) {
            int64_t t = std::numeric_limits<int64_t>::max();
            for (size_t i = 0; i < n; ++i)
                if (at[i] < files[i].timesMs.size()) t = std::min(t, files[i].timesMs[at[i]]);
            if (t == std::numeric_limits<int64_t>::max()) break;
            std::fill(sample.begin(), sample.end(), kGap);
            for (size_t i = 0; i < n; ++i)
                if (at[i] < files[i].timesMs.size() && files[i].timesMs[at[i]] == t)
                    PortHistory(files[i], columns[i], at[i]++, sample.data() + i * kPortSeries);
            m_store->append(t, sample.data());
        }
    }
    if (!m_store) m_store = std::make_unique<SampleStore>(int(n) * kPortSeries, kGraphCapacity);
    m_historySamples = m_store->size();
    QStringList text;
    if (m_historySamples)
        text << tr("History since %1 from %2.")
                    .arg(QDateTime::fromMSecsSinceEpoch(m_store->time(0))
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                         QString::fromStdString(dir));
    if (!missing.isEmpty())
        text << tr("No history of %1 in %2: live samples only.")
                    .arg(missing.join(QStringLiteral(", ")), QString::fromStdString(dir));
    if (!unreadable.isEmpty())
        text << tr("History unreadable: %1.").arg(unreadable.join(QStringLiteral(", ")));
    m_historyText = text.join(QLatin1Char(' '));
}

void CTrafficGraphWnd::askNames() {
    if (m_unnamed.isEmpty()) return;
    std::vector<_QvOidTable> records;
    for (int i : m_unnamed)
        records.push_back(QvRecord(ber::OctetString, 0,
                                   "1.3.6.1.2.1.2.2.1.2." + std::to_string(m_ports[i].ifIndex),
                                   "ifDescr"));
    m_nameTable.assign(records);
    m_names.request(this, m_nameTable, &CTrafficGraphWnd::OnSnmpResponse, SNMP_PDU_GET);
}

void CTrafficGraphWnd::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    m_names.takeResponse(status, msg);
    if (m_names.values().isEmpty()) return;
    for (qsizetype k = 0; k < m_unnamed.size(); ++k) {
        const QString name = m_names.arrived(k) ? m_names.values()[k].trimmed() : QString();
        if (name.isEmpty()) continue;
        const int port = m_unnamed[k];
        m_ports[port].name = name;
        const QList<SeriesLine> lines = PortSeriesLines({m_ports[port]});
        for (int s = 0; s < kPortSeries; ++s)
            m_chart->setSeriesName(port * kPortSeries + s, lines[s].name);
    }
    m_unnamed.clear();
    m_legend->refresh();
    updateTitle();
}

void CTrafficGraphWnd::updateTitle() {
    QStringList names;
    for (const GraphPort& p : m_ports)
        names << p.name;
    setWindowTitle(tr("Traffic Graph - %1").arg(names.join(QStringLiteral(", "))));
}

void CTrafficGraphWnd::addSample(qint64 timeMs, const std::vector<double>& values,
                                 const std::vector<Gap>& gaps) {
    if (values.size() != size_t(m_store->series())) return;
    m_store->append(timeMs, values.data(), gaps.size() == values.size() ? gaps.data() : nullptr);
    m_chart->refresh();
    showGaps();
}

// The newest poll's gaps and why, so that an empty stretch is never left unexplained.
void CTrafficGraphWnd::showGaps() {
    const QString gaps = m_chart->gapsText(m_store->size() - 1, m_store->size());
    m_status->setText(gaps.isEmpty() ? m_historyText : gaps);
}

bool CTrafficGraphWnd::writeCsvPiece(CsvExport& e) {
    // Rows a piece: some 2 MB of text with 8 ports.
    constexpr uint64_t kRows = 4096;
    const uint64_t oldest = m_store->appended() - m_store->size();
    e.next = std::max(e.next, oldest); // what the ring dropped meanwhile is gone
    const uint64_t to = std::min(e.end, e.next + kRows);
    if (e.next < to &&
        e.file.write(m_chart->csvRows(size_t(e.next - oldest), size_t(to - oldest))) < 0)
        return false;
    e.next = to;
    return true;
}

bool CTrafficGraphWnd::exportCsv(const QString& path) {
    CsvExport e(path);
    if (!e.file.open(QIODevice::WriteOnly) || e.file.write(m_chart->csvHeader()) < 0) return false;
    e.next = m_store->appended() - m_store->size();
    e.end = m_store->appended();
    while (e.next < e.end)
        if (!writeCsvPiece(e)) return false;
    return e.file.commit();
}

void CTrafficGraphWnd::startCsvExport(const QString& path) {
    if (m_csv) return;
    m_csv = std::make_unique<CsvExport>(path);
    CsvExport& e = *m_csv;
    e.next = m_store->appended() - m_store->size();
    e.end = m_store->appended();
    auto finish = [this](bool ok) {
        if (ok) ok = m_csv->file.commit();
        const QString path = m_csv->file.fileName();
        m_csv.reset();
        if (!ok) platform::MessageBox(this, tr("Cannot write %1.").arg(path));
        emit csvExported(ok);
    };
    if (!e.file.open(QIODevice::WriteOnly) || e.file.write(m_chart->csvHeader()) < 0) {
        finish(false);
        return;
    }
    // A piece a turn of the event loop: the window keeps drawing and polling meanwhile.
    connect(&e.pieces, &QTimer::timeout, this, [this, finish] {
        if (!writeCsvPiece(*m_csv)) return finish(false);
        if (m_csv->next >= m_csv->end) finish(true);
    });
    e.pieces.start(0);
}

bool CTrafficGraphWnd::exportPng(const QString& path) {
    return grab().save(path, "PNG");
}

void CTrafficGraphWnd::copy() const {
    QApplication::clipboard()->setText(m_chart->csv());
}

void CTrafficGraphWnd::askCsv() {
    const QString path = platform::SaveFileName(
        this, tr("Export CSV"), QStringLiteral("traffic.csv"), tr("CSV files (*.csv)"));
    if (!path.isEmpty()) startCsvExport(path);
}

void CTrafficGraphWnd::askPng() {
    const QString path = platform::SaveFileName(
        this, tr("Export PNG"), QStringLiteral("traffic.png"), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        platform::MessageBox(this, tr("Cannot write %1.").arg(path));
}

} // namespace graphs
