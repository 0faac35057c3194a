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

namespace graphs {

namespace {

// Per port, in this order after sysUpTime.0.
enum : int {
    kInOctets,
    kOutOctets,
    kInErrors,
    kOutErrors,
    kInDiscards,
    kOutDiscards,
    kDiscontinuity,
    kSpeed,
    kHighSpeed,
    kPortRecords
};

const char* const kColumns32[] = {"1.3.6.1.2.1.2.2.1.10", "1.3.6.1.2.1.2.2.1.16"};
const char* const kColumns64[] = {"1.3.6.1.2.1.31.1.1.1.6", "1.3.6.1.2.1.31.1.1.1.10"};
const char* const kOtherColumns[] = {
    "1.3.6.1.2.1.2.2.1.14",    "1.3.6.1.2.1.2.2.1.20",    "1.3.6.1.2.1.2.2.1.13",
    "1.3.6.1.2.1.2.2.1.19",    "1.3.6.1.2.1.31.1.1.1.19", "1.3.6.1.2.1.2.2.1.5",
    "1.3.6.1.2.1.31.1.1.1.15",
};
constexpr uint16_t kOtherTypes[] = {ber::Counter32, ber::Counter32, ber::Counter32, ber::Counter32,
                                    ber::TimeTicks, ber::Gauge32,   ber::Gauge32};

constexpr uint32_t kCappedSpeed = 4294967295u;

} // namespace

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
    : QObject(parent), m_ports(ports.mid(0, kMaxGraphPorts)), m_wide(size_t(m_ports.size()), true) {
    buildTable();
}

void CounterPoller::buildTable() {
    m_direct.assign(size_t(1 + kPortRecords * m_ports.size()), _QvOidTable{});
    m_direct[0] = QvRecord(ber::TimeTicks, 0, "1.3.6.1.2.1.1.3.0", "sysUpTime");
    for (int i = 0; i < m_ports.size(); ++i) {
        const std::string index = "." + std::to_string(m_ports[i].ifIndex);
        _QvOidTable* port = &m_direct[size_t(1 + kPortRecords * i)];
        const char* const* octets = m_wide[size_t(i)] ? kColumns64 : kColumns32;
        const uint16_t octetType = m_wide[size_t(i)] ? ber::Counter64 : ber::Counter32;
        port[kInOctets] = QvRecord(octetType, 0, std::string(octets[0]) + index, "InOctets");
        port[kOutOctets] = QvRecord(octetType, 0, std::string(octets[1]) + index, "OutOctets");
        for (int k = kInErrors; k < kPortRecords; ++k)
            port[k] = QvRecord(kOtherTypes[k - kInErrors], 0,
                               std::string(kOtherColumns[k - kInErrors]) + index, "Counter");
    }
    m_proxied = m_direct;
    m_proxied.push_back(kProxyRecord);
}

void CounterPoller::poll() {
    if (busy()) return;
    m_snmp.request(this, QvTableRef{m_direct.data(), m_proxied.data(), int(m_direct.size())},
                   &CounterPoller::OnSnmpResponse, SNMP_PDU_GET);
}

void CounterPoller::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    m_snmp.values.clear();
    const int collected = m_snmp.collect(status, msg);
    if (collected == 0) return; // an answer to another request: ours is still to come
    m_snmp.pending = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Poll poll;
    poll.ports.resize(size_t(m_ports.size()));
    poll.answered =
        collected == 1 && m_snmp.values.size() >= qsizetype(m_direct.size()) && m_snmp.arrived(0);
    bool lostWide = false;
    if (poll.answered) {
        auto number = [this](int k, bool* ok) {
            return m_snmp.arrived(k) ? m_snmp.values[k].toULongLong(ok) : 0;
        };
        bool ok = false;
        poll.uptime = uint32_t(number(0, &ok));
        poll.answered = ok;
        for (int i = 0; i < m_ports.size(); ++i) {
            const int base = 1 + kPortRecords * i;
            PortReading& p = poll.ports[size_t(i)];
            auto read = [&](int k, bool wide) {
                Reading r;
                r.value = number(base + k, &r.present);
                r.wide = wide;
                return r;
            };
            p.inOctets = read(kInOctets, m_wide[size_t(i)]);
            p.outOctets = read(kOutOctets, m_wide[size_t(i)]);
            p.inErrors = read(kInErrors, false);
            p.outErrors = read(kOutErrors, false);
            p.inDiscards = read(kInDiscards, false);
            p.outDiscards = read(kOutDiscards, false);
            const Reading discontinuity = read(kDiscontinuity, false);
            if (discontinuity.present) p.discontinuity = uint32_t(discontinuity.value);
            const Reading high = read(kHighSpeed, false), speed = read(kSpeed, false);
            // Past what ifSpeed can carry, only ifHighSpeed knows the speed.
            if (high.present && high.value > 0)
                p.speed = high.value * 1000000;
            else if (speed.present && speed.value < kCappedSpeed)
                p.speed = speed.value;
            // An agent without ifXTable is read from the 32-bit counters from now on.
            if (m_wide[size_t(i)] && !p.inOctets.present && !p.outOctets.present) {
                m_wide[size_t(i)] = false;
                lostWide = true;
            }
        }
    }
    if (lostWide) buildTable();
    m_lastPoll = poll;
    emit sampled(now, m_rates.add(poll));
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
