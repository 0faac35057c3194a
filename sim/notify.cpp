#include "sim/notify.h"

#include "qvsnmp/v3msg.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>

namespace sim {

namespace {

Notifier* g_notifier = nullptr;

// Informs waiting for an answer at most; beyond, the oldest is given up.
constexpr size_t kMaxPending = 256;

uint64_t steadyMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

ber::Oid oid(std::initializer_list<uint32_t> arcs, std::initializer_list<uint32_t> more = {}) {
    ber::Oid o(arcs);
    o.insert(o.end(), more);
    return o;
}

const ber::Oid kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const ber::Oid kTrapOid = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const ber::Oid kColdStart = {1, 3, 6, 1, 6, 3, 1, 1, 5, 1};
const ber::Oid kWarmStart = {1, 3, 6, 1, 6, 3, 1, 1, 5, 2};
const ber::Oid kLinkDown = {1, 3, 6, 1, 6, 3, 1, 1, 5, 3};
const ber::Oid kLinkUp = {1, 3, 6, 1, 6, 3, 1, 1, 5, 4};
const ber::Oid kAuthFailure = {1, 3, 6, 1, 6, 3, 1, 1, 5, 5};
const ber::Oid kRising = {1, 3, 6, 1, 2, 1, 16, 0, 1};
const ber::Oid kFalling = {1, 3, 6, 1, 2, 1, 16, 0, 2};
const ber::Oid kNewRoot = {1, 3, 6, 1, 2, 1, 17, 0, 1};
const ber::Oid kTopologyChange = {1, 3, 6, 1, 2, 1, 17, 0, 2};

} // namespace

void SetNotifier(Notifier* notifier) {
    g_notifier = notifier;
}

Notifier* CurrentNotifier() {
    return g_notifier;
}

Notifier::Notifier(NotifyOptions opt, Chassis& chassis, std::string engineId, int32_t boots)
    : m_opt(std::move(opt)), m_chassis(chassis), m_engineId(std::move(engineId)), m_boots(boots),
      m_startMs(steadyMs()) {}

Notifier::~Notifier() {
    if (g_notifier == this) g_notifier = nullptr;
    if (m_fd >= 0) ::close(m_fd);
}

bool Notifier::open(std::string* why) {
    const size_t colon = m_opt.address.rfind(':');
    std::string host = colon == std::string::npos ? "" : m_opt.address.substr(0, colon);
    const std::string portText = colon == std::string::npos ? "" : m_opt.address.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    char* end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end || port < 1 || port > 65535) {
        *why = "--notify wants ADDRESS:PORT, not " + m_opt.address;
        return false;
    }
    auto* v4 = reinterpret_cast<sockaddr_in*>(&m_to);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&m_to);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(uint16_t(port));
        m_toLen = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(uint16_t(port));
        m_toLen = sizeof(sockaddr_in6);
    } else {
        *why = "--notify wants a numeric address, not " + host;
        return false;
    }
    m_fd = ::socket(m_to.ss_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // Connected, so that answers come only from the receiver.
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr*>(&m_to), m_toLen) != 0) {
        *why = std::string("cannot send to ") + m_opt.address + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int32_t Notifier::engineTime() const {
    return int32_t((steadyMs() - m_startMs) / 1000);
}

std::vector<uint8_t> Notifier::encode(const ber::Pdu& pdu) {
    if (!m_opt.user) {
        ber::Message m;
        m.version = ber::V2c;
        m.community = m_opt.community;
        m.pdu = pdu;
        return ber::encode(m);
    }
    const usm::User& user = *m_opt.user;
    v3::Message m;
    m.msgId = pdu.requestId;
    m.userName = user.name;
    m.pdu = pdu;
    const uint8_t level = user.level == usm::Level::AuthPriv     ? v3::FlagAuth | v3::FlagPriv
                          : user.level == usm::Level::AuthNoPriv ? v3::FlagAuth
                                                                 : 0;
    std::shared_ptr<const usm::Keys> keys;
    if (pdu.type == ber::SNMPv2Trap) {
        m.engineId = m_engineId;
        m.boots = m_boots;
        m.time = engineTime();
        keys = usm::localizedKeys(user, m_engineId);
    } else if (m_remoteEngine.empty()) {
        // Discovery: the receiver's report names its engine.
        m.flags = v3::FlagReportable;
        m.userName.clear();
        m.pdu = ber::Pdu{};
        m.pdu.requestId = pdu.requestId;
        return v3::encode(m, nullptr);
    } else {
        m.engineId = m_remoteEngine;
        m.boots = m_remoteBoots;
        m.time = m_remoteTime + int32_t((steadyMs() - m_remoteTimeAtMs) / 1000);
        keys = m_keys;
        m.flags = v3::FlagReportable;
    }
    m.flags |= level;
    m.contextEngineId = m.engineId;
    return v3::encode(m, keys.get());
}

void Notifier::transmit(Pending& p) {
    const std::vector<uint8_t> bytes = encode(p.pdu);
    if (!bytes.empty()) ::send(m_fd, bytes.data(), bytes.size(), 0);
    ++p.sent;
    p.dueMs = steadyMs() + uint64_t(m_opt.timeoutMs);
}

void Notifier::send(const ber::Oid& trapOid, std::vector<ber::VarBind> bindings) {
    if (m_fd < 0) return;
    ber::Pdu pdu;
    pdu.type = m_opt.inform ? ber::InformRequest : ber::SNMPv2Trap;
    pdu.requestId = m_nextId++;
    if (m_nextId == INT32_MAX) m_nextId = 1;
    pdu.bindings.push_back(
        {kSysUpTime, ber::Value::makeUnsigned(ber::TimeTicks, m_chassis.uptime())});
    pdu.bindings.push_back({kTrapOid, ber::Value::makeOid(trapOid)});
    for (ber::VarBind& b : bindings)
        pdu.bindings.push_back(std::move(b));
    Pending p{std::move(pdu), 0, 0};
    transmit(p);
    if (!m_opt.inform) return;
    if (m_pending.size() >= kMaxPending) {
        m_pending.erase(m_pending.begin());
        ++m_givenUp;
    }
    m_pending.emplace(p.pdu.requestId, std::move(p));
}

void Notifier::linkChanged(const Port& port) {
    const uint32_t i = uint32_t(port.ifIndex);
    send(port.oper == 1 ? kLinkUp : kLinkDown,
         {{oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 1}, {i}), ber::Value::makeInteger(port.ifIndex)},
          {oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 7}, {i}), ber::Value::makeInteger(port.admin)},
          {oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 8}, {i}), ber::Value::makeInteger(port.oper)},
          {oid({1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, {i}), ber::Value::makeOctets(port.descr)}});
}

void Notifier::alarmCrossed(bool rising, uint32_t alarm, const ber::Oid& variable,
                            int32_t sampleType, int32_t value, int32_t threshold) {
    auto column = [alarm](uint32_t c) { return oid({1, 3, 6, 1, 2, 1, 16, 3, 1, 1}, {c, alarm}); };
    send(rising ? kRising : kFalling,
         {{column(1), ber::Value::makeInteger(int32_t(alarm))},
          {column(3), ber::Value::makeOid(variable)},
          {column(4), ber::Value::makeInteger(sampleType)},
          {column(5), ber::Value::makeInteger(value)},
          {column(rising ? 7 : 8), ber::Value::makeInteger(threshold)}});
}

void Notifier::topologyChanged() {
    send(kTopologyChange, {});
}

uint64_t Notifier::nextDueMs() const {
    uint64_t due = 0;
    for (const auto& [id, p] : m_pending)
        if (!due || p.dueMs < due) due = p.dueMs;
    return due;
}

void Notifier::onTime(uint64_t) {
    const uint64_t now = steadyMs();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->second.dueMs > now) {
            ++it;
        } else if (it->second.sent > m_opt.retries) {
            it = m_pending.erase(it);
            ++m_givenUp;
        } else {
            transmit(it->second);
            ++it;
        }
    }
}

void Notifier::onReadable() {
    uint8_t buf[65536];
    for (int burst = 0; burst < 64; ++burst) {
        const ssize_t got = ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
        if (got <= 0) return;
        if (!m_opt.user) {
            std::optional<ber::Message> m = ber::decode(buf, size_t(got));
            if (m && m->pdu.type == ber::Response && m->community == m_opt.community)
                m_pending.erase(m->pdu.requestId);
            continue;
        }
        std::optional<v3::Incoming> in = v3::parse(buf, size_t(got));
        if (!in || in->msg.engineId.empty()) continue;
        if (in->msg.engineId != m_remoteEngine) {
            m_remoteEngine = in->msg.engineId;
            m_keys = usm::localizedKeys(*m_opt.user, m_remoteEngine);
        }
        if (v3::authenticate(*in, m_keys.get()) != v3::Error::None) continue;
        // A report, unsigned in discovery or signed out of the time window, and every answer,
        // carry the receiver's clock.
        m_remoteBoots = in->msg.boots;
        m_remoteTime = in->msg.time;
        m_remoteTimeAtMs = steadyMs();
        if (v3::open(*in, m_keys.get()) != v3::Error::None) continue;
        if (in->msg.pdu.type == ber::Response) {
            m_pending.erase(in->msg.pdu.requestId);
        } else if (in->msg.pdu.type == ber::Report) {
            for (auto& [id, p] : m_pending)
                if (p.sent <= m_opt.retries) transmit(p);
        }
    }
}

std::optional<std::string> Notifier::command(const std::string& verb, std::istream& in) {
    if (verb != "notify") return std::nullopt;
    std::string what;
    in >> what;
    long long ifIndex = 0;
    auto port = [&]() -> const Port* {
        if (!(in >> ifIndex)) return nullptr;
        for (const Port& p : m_chassis.ports())
            if (p.ifIndex == ifIndex) return &p;
        return nullptr;
    };
    if (what == "coldstart")
        send(kColdStart, {});
    else if (what == "warmstart")
        send(kWarmStart, {});
    else if (what == "authfail")
        send(kAuthFailure, {});
    else if (what == "newroot")
        send(kNewRoot, {});
    else if (what == "topology")
        topologyChanged();
    else if (what == "rising" || what == "falling")
        alarmCrossed(what == "rising", 1, oid({1, 3, 6, 1, 2, 1, 16, 1, 1, 1, 5, 1}), 2,
                     what == "rising" ? 1200 : 50, what == "rising" ? 1000 : 100);
    else if (what == "linkdown" || what == "linkup") {
        const Port* p = port();
        if (!p) {
            return "error: notify linkdown|linkup IFINDEX";
        }
        Port copy = *p;
        copy.oper = what == "linkup" ? 1 : 2;
        linkChanged(copy);
    } else if (what == "pending") {
        return std::to_string(m_pending.size()) + " pending, " + std::to_string(m_givenUp) +
               " given up";
    } else {
        return "error: notify coldstart|warmstart|linkdown N|linkup "
               "N|authfail|rising|falling|newroot|topology|"
               "pending";
    }
    return m_fd < 0 ? "error: no --notify address" : "ok";
}

} // namespace sim
