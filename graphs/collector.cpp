#include "graphs/collector.h"

#include "graphs/rrdlayout.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/usm.h"
#include "snmp/oidtable.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>

namespace graphs {

namespace {

constexpr const char* kIfIndexColumn = "1.3.6.1.2.1.2.2.1.1";
// Which ports the agent has is asked again after this long.
constexpr int kRediscoverS = 3600;

} // namespace

DeviceCollector::DeviceCollector(const CollectDevice& device, const QString& address,
                                 const usm::User* v3user, RrdWriter& writer,
                                 const std::string& rrdDir, int step, QObject* parent)
    : QObject(parent), m_device(device), m_address(address), m_v3user(v3user), m_rrdDir(rrdDir),
      m_writer(writer), m_step(step > 0 ? step : device.interval) {
    const std::string a = address.toStdString(), port = std::to_string(device.port);
    m_name = address.contains(QLatin1Char(':')) ? "[" + a + "]:" + port : a + ":" + port;
    m_indexTable = {QvRecord(0, QV_FLAG_COLUMN | QV_FLAG_READ, kIfIndexColumn, "collect")};
    m_walk = newSession(m_indexTable);
    m_walk->SetBulk(kBulkRows);
    m_walk->SetSnmpCallback(
        [this](unsigned short status, CSnmpMsg* msg) { onIndexes(status, msg); });
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DeviceCollector::poll);
}

DeviceCollector::~DeviceCollector() = default;

std::unique_ptr<CSnmpClass> DeviceCollector::newSession(std::vector<_QvOidTable>& table) {
    // Sessions take the agent port current when they are made.
    const quint16 port = SnmpAgentPort();
    SetSnmpAgentPort(m_device.port);
    auto session = std::make_unique<CSnmpClass>(
        this, m_address, QString::fromStdString(m_device.community.value_or("")), QString(),
        int(table.size()), table.data(), QString());
    SetSnmpAgentPort(port);
    if (m_v3user) session->SetSecurity(*m_v3user);
    return session;
}

void DeviceCollector::start() {
    if (!m_device.ports.empty()) setPorts(m_device.ports);
    m_timer.start(m_device.interval * 1000);
    poll();
}

void DeviceCollector::tell(const std::string& what) {
    if (what == m_told) return;
    m_told = what;
    if (!what.empty())
        std::fprintf(stderr, "talvex-collect: %s: %s\n", m_name.c_str(), what.c_str());
}

void DeviceCollector::poll() {
    if (m_device.ports.empty() && !m_walkPending &&
        (m_chunks.empty() || m_pollsSinceWalk * m_device.interval >= kRediscoverS))
        discover();
    ++m_pollsSinceWalk;
    for (auto& chunk : m_chunks) {
        if (chunk->pending) continue; // the last get is still out: this one is skipped
        chunk->sent = SteadySeconds();
        chunk->pending = chunk->session->SendSnmp(SNMP_PDU_GET);
        if (!chunk->pending) tell("cannot send: " + chunk->session->LastError().toStdString());
    }
}

void DeviceCollector::discover() {
    m_found.clear();
    m_walk->RestartWalk();
    m_walkPending = m_walk->SendSnmp(SNMP_PDU_GETBULK);
    if (!m_walkPending) tell("cannot send: " + m_walk->LastError().toStdString());
}

void DeviceCollector::onIndexes(unsigned short status, CSnmpMsg* msg) {
    if (status != 0 || !msg) {
        m_walkPending = 0;
        return tell("no answer: " + m_walk->LastFailure().toStdString());
    }
    CSnmpPdu* pdu = msg->GetPdu();
    if (pdu->RequestId() != m_walkPending) return msg->Release();
    m_walkPending = 0;
    const bool ends = pdu->ErrorStatus() != 0 || m_walk->IsEndOfTable(pdu);
    const auto& binds = pdu->VarBinds();
    for (qsizetype k = 0; k < std::min<qsizetype>(pdu->BulkRows(), binds.size()); ++k) {
        const auto index = binds[k]->Value().number();
        // A table longer than any chassis has is cut: what the walk keeps is bounded.
        if (index && *index > 0 && *index <= 2147483647u && m_found.size() < kMaxDevicePorts)
            m_found.push_back(int(*index));
    }
    const bool stopped = ends && pdu->Stop() != CSnmpPdu::WalkStop::None;
    msg->Release();
    if (stopped) return tell("its ifTable cannot be walked (it answers short or out of order)");
    if (!ends && m_found.size() < kMaxDevicePorts) {
        m_walkPending = m_walk->SendSnmp(SNMP_PDU_GETBULK);
        if (!m_walkPending) tell("cannot send: " + m_walk->LastError().toStdString());
        return;
    }
    m_pollsSinceWalk = 0;
    std::sort(m_found.begin(), m_found.end());
    m_found.erase(std::unique(m_found.begin(), m_found.end()), m_found.end());
    const bool first = m_chunks.empty();
    setPorts(m_found);
    if (first) poll();
}

void DeviceCollector::setPorts(const std::vector<int>& ports) {
    std::vector<int> now;
    for (const auto& chunk : m_chunks)
        now.insert(now.end(), chunk->ports.begin(), chunk->ports.end());
    if (now == ports) return;
    m_chunks.clear();
    for (size_t at = 0; at < ports.size(); at += kGetPorts) {
        auto chunk = std::make_unique<Chunk>();
        chunk->ports.assign(ports.begin() + long(at),
                            ports.begin() + long(std::min(ports.size(), at + kGetPorts)));
        chunk->table.push_back(QvRecord(0, QV_FLAG_READ, kSysUpTimeOid, "collect"));
        for (int index : chunk->ports)
            for (const char* column : kPortColumnOids)
                chunk->table.push_back(QvRecord(
                    0, QV_FLAG_READ, std::string(column) + "." + std::to_string(index), "collect"));
        chunk->session = newSession(chunk->table);
        Chunk* c = chunk.get();
        chunk->session->SetSnmpCallback(
            [this, c](unsigned short status, CSnmpMsg* msg) { onCounters(*c, status, msg); });
        m_chunks.push_back(std::move(chunk));
    }
}

void DeviceCollector::onCounters(Chunk& chunk, unsigned short status, CSnmpMsg* msg) {
    Poll poll;
    poll.ports.resize(chunk.ports.size());
    poll.sent = chunk.sent;
    if (status != 0 || !msg) {
        chunk.pending = 0;
        tell("no answer: " + chunk.session->LastFailure().toStdString());
        chunk.rates.add(poll);
        return;
    }
    CSnmpPdu* pdu = msg->GetPdu();
    if (pdu->RequestId() != chunk.pending) return msg->Release();
    chunk.pending = 0;
    poll.received = SteadySeconds();
    const double wallTime = double(QDateTime::currentMSecsSinceEpoch()) / 1000;
    const auto& binds = pdu->VarBinds();
    std::optional<uint64_t> uptime;
    if (pdu->ErrorStatus() == 0 && binds.size() >= qsizetype(chunk.table.size())) {
        std::vector<std::optional<uint64_t>> numbers;
        numbers.reserve(size_t(binds.size()));
        for (const CSnmpVarBind* b : binds)
            numbers.push_back(b->Value().number());
        uptime = numbers[0];
        ReadPorts(numbers.data() + 1, poll.ports);
    }
    msg->Release();
    if (!uptime || *uptime > 0xFFFFFFFFu) {
        tell("an answer with an error status, or without sysUpTime.0");
        chunk.rates.add(poll);
        return;
    }
    tell({});
    ++m_polls;
    poll.answered = true;
    poll.uptime = uint32_t(*uptime);
    chunk.rates.add(poll);
    write(chunk, poll, wallTime);
}

void DeviceCollector::write(const Chunk& chunk, const Poll& poll, double wallTime) {
    const std::vector<double>& rates = chunk.rates.counters();
    const int heartbeat = 2 * std::max(m_device.interval, m_step);
    for (size_t i = 0; i < chunk.ports.size(); ++i) {
        std::array<double, 6> values;
        std::copy_n(rates.begin() + long(i * kPortCounters), kPortCounters, values.begin());
        std::string why;
        const double line = double(poll.ports[i].speed);
        if (m_writer.write(
                RrdFile(m_rrdDir, m_address.toStdString(), m_device.port, chunk.ports[i]), wallTime,
                values, m_step, heartbeat, line, why))
            ++m_writes;
        else if (why != m_writeTold)
            std::fprintf(stderr, "talvex-collect: %s\n", (m_writeTold = why).c_str());
    }
}

} // namespace graphs
