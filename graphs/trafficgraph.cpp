#include "graphs/trafficgraph.h"

#include "graphs/ratechart.h"
#include "platform/platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace graphs {

QList<SeriesLine> PortSeriesLines(const QList<GraphPort>& ports) {
    QList<SeriesLine> lines;
    for (const GraphPort& p : ports) {
        lines << SeriesLine{p.name + QStringLiteral(" in"), Scale::Bits}
              << SeriesLine{p.name + QStringLiteral(" out"), Scale::Bits}
              << SeriesLine{p.name + QStringLiteral(" errors"), Scale::PerSecond}
              << SeriesLine{p.name + QStringLiteral(" discards"), Scale::PerSecond}
              << SeriesLine{p.name + QStringLiteral(" utilisation"), Scale::Percent};
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

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void CounterPoller::buildTable() {
    m_direct.assign(size_t(1 + kPortColumns * m_ports.size()), _QvOidTable{});
    m_direct[0] = QvRecord(ber::TimeTicks, 0, kSysUpTimeOid, "sysUpTime");
    for (int i = 0; i < m_ports.size(); ++i) {
        const std::string index = "." + std::to_string(m_ports[i].ifIndex);
        _QvOidTable* port = &m_direct[size_t(1 + kPortColumns * i)];
        for (int k = 0; k < kPortColumns; ++k)
            port[k] = QvRecord(ColumnType(k), 0, std::string(kPortColumnOids[size_t(k)]) + index,
                               "Counter");
    }
    m_proxied = m_direct;
    m_proxied.push_back(kProxyRecord);
}

bool CounterPoller::wide(int i) const {
    return size_t(i) < m_lastPoll.ports.size() && m_lastPoll.ports[size_t(i)].inOctets.present;
}

void CounterPoller::poll() {
    if (busy()) return;
    m_sent = SteadySeconds();
    m_snmp.request(this, QvTableRef{m_direct.data(), m_proxied.data(), int(m_direct.size())},
                   &CounterPoller::OnSnmpResponse, SNMP_PDU_GET);
}

void CounterPoller::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    std::vector<std::optional<uint64_t>> numbers;
    const int collected = m_snmp.takeNumbers(status, msg, numbers);
    if (collected == 0) return; // an answer to another request: ours is still to come
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Poll poll;
    poll.ports.resize(size_t(m_ports.size()));
    poll.answered = collected == 1 && numbers.size() >= m_direct.size() && numbers[0];
    poll.sent = m_sent;
    poll.received = SteadySeconds();
    if (poll.answered) {
        poll.uptime = uint32_t(*numbers[0]);
        for (int i = 0; i < m_ports.size(); ++i) {
            std::array<std::optional<uint64_t>, kPortColumns> columns;
            std::copy_n(numbers.begin() + 1 + kPortColumns * i, kPortColumns, columns.begin());
            poll.ports[size_t(i)] = ReadPort(columns);
        }
    }
    m_lastPoll = poll;
    const std::vector<double> values = m_rates.add(poll);
    emit sampled(now, values);
}

CTrafficGraphWnd::CTrafficGraphWnd(const QList<GraphPort>& ports, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_poller = new CounterPoller(this, ports);
    const QList<GraphPort>& taken = m_poller->ports();
    QStringList names;
    for (const GraphPort& p : taken)
        names << p.name;
    setWindowTitle(tr("Traffic Graph - %1").arg(names.join(QStringLiteral(", "))));
    setWindowIcon(platform::Icon(447));

    m_store = std::make_unique<SampleStore>(int(taken.size()) * kPortSeries, kGraphCapacity);
    m_chart = new RateChart(m_store.get(), PortSeriesLines(taken), TimeKind::Clock, this);

    m_interval = new QSpinBox(this);
    m_interval->setRange(kMinIntervalS, kMaxIntervalS);
    m_interval->setValue(kDefaultIntervalS);
    m_interval->setSuffix(tr(" s"));
    m_live = new QPushButton(tr("&Live"), this);
    m_live->setEnabled(false);
    auto* csv = new QPushButton(tr("Export &CSV..."), this);
    auto* png = new QPushButton(tr("Export &PNG..."), this);
    auto* close = new QPushButton(tr("&Close"), this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("&Interval:"), this));
    static_cast<QLabel*>(bar->itemAt(0)->widget())->setBuddy(m_interval);
    bar->addWidget(m_interval);
    bar->addWidget(m_live);
    bar->addStretch();
    bar->addWidget(csv);
    bar->addWidget(png);
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_chart->scrollBar());
    m_chart->scrollBar()->show();
    layout->addLayout(bar);
    resize(900, 520);

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
    connect(m_poller, &CounterPoller::sampled, this, &CTrafficGraphWnd::onSample);
    connect(&m_timer, &QTimer::timeout, m_poller, &CounterPoller::poll);
    setInterval(kDefaultIntervalS);
    m_poller->poll();
}

CTrafficGraphWnd::~CTrafficGraphWnd() = default;

void CTrafficGraphWnd::onSample(qint64 timeMs, const std::vector<double>& values) {
    if (values.size() != size_t(m_store->series())) return;
    m_store->append(timeMs, values.data());
    m_chart->refresh();
}

bool CTrafficGraphWnd::exportCsv(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(m_chart->csv().toUtf8());
    return file.commit();
}

bool CTrafficGraphWnd::exportPng(const QString& path) {
    return m_chart->grab().save(path, "PNG");
}

void CTrafficGraphWnd::copy() const {
    QApplication::clipboard()->setText(m_chart->csv());
}

void CTrafficGraphWnd::askCsv() {
    const QString path = platform::SaveFileName(
        this, tr("Export CSV"), QStringLiteral("traffic.csv"), tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        platform::MessageBox(this, tr("Cannot write %1.").arg(path));
}

void CTrafficGraphWnd::askPng() {
    const QString path = platform::SaveFileName(
        this, tr("Export PNG"), QStringLiteral("traffic.png"), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        platform::MessageBox(this, tr("Cannot write %1.").arg(path));
}

} // namespace graphs
