#include "qvsnmp/v3session.h"

#include "qvsnmp/snmpconf.h"

#include <chrono>

namespace v3 {

namespace {

int64_t nowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}

// What is known of an agent's engine: its id, the boots and time requests carry, and the clock
// authentic messages from it set. Reports, which nothing authenticates, may move what requests
// carry, never the clock that answers are judged by.
struct Engine {
    std::string id;
    bool discovered = false; // false: the next request is the discovery probe again
    v3::EngineClock sending;
    bool clockSet = false; // an authentic message from this engine id came
    v3::EngineClock clock;
};

std::mutex g_enginesMutex;
std::map<std::string, Engine> g_engines;

bool knownEngine(const std::string& agent, Engine& out) {
    std::lock_guard lock(g_enginesMutex);
    auto it = g_engines.find(agent);
    if (it == g_engines.end() || !it->second.discovered) return false;
    out = it->second;
    return true;
}

// The engine id the agent is known by, also while it is being discovered once more.
std::string engineIdOf(const std::string& agent) {
    std::lock_guard lock(g_enginesMutex);
    auto it = g_engines.find(agent);
    return it == g_engines.end() ? std::string() : it->second.id;
}

// The engine id, boots and time of a report: what requests carry from now on.
void learnEngine(const std::string& agent, const Message& m) {
    std::lock_guard lock(g_enginesMutex);
    Engine& e = g_engines[agent];
    if (e.id != m.engineId) {
        e = Engine{};
        e.id = m.engineId;
    }
    e.discovered = true;
    e.sending = {m.boots, m.time, nowSeconds()};
}

void rediscoverEngine(const std::string& agent) {
    std::lock_guard lock(g_enginesMutex);
    if (auto it = g_engines.find(agent); it != g_engines.end()) it->second.discovered = false;
}

// RFC 3414 3.2.7 b for an authentic message: false when it lies outside the time window.
bool timelyEngine(const std::string& agent, const Message& m) {
    std::lock_guard lock(g_enginesMutex);
    auto it = g_engines.find(agent);
    if (it == g_engines.end() || it->second.id != m.engineId) return false;
    Engine& e = it->second;
    const int64_t now = nowSeconds();
    if (!e.clockSet) {
        e.clock = {m.boots, m.time, now};
        e.clockSet = true;
    }
    const v3::EngineClock before = e.clock;
    if (!v3::timely(e.clock, m.boots, m.time, now)) return false;
    if (e.clock.boots != before.boots || e.clock.latest != before.latest) e.sending = e.clock;
    return true;
}

// An OID an agent sent, for a person: its first 32 arcs.
std::string shownOid(ber::Oid oid) {
    const bool cut = oid.size() > 32;
    if (cut) oid.resize(32);
    return ber::oidToString(oid) + (cut ? "..." : "");
}

uint8_t levelFlags(usm::Level level) {
    switch (level) {
    case usm::Level::AuthPriv:
        return FlagAuth | FlagPriv;
    case usm::Level::AuthNoPriv:
        return FlagAuth;
    case usm::Level::NoAuthNoPriv:
        break;
    }
    return 0;
}

} // namespace

ManagerSession::ManagerSession(usm::User user, std::string agentKey)
    : m_user(std::move(user)), m_agentKey(std::move(agentKey)) {}

void ManagerSession::forgetEngines() {
    std::lock_guard lock(g_enginesMutex);
    g_engines.clear();
}

std::vector<uint8_t> ManagerSession::encode(int32_t msgId, const ber::Pdu& pdu, std::string* why) {
    std::lock_guard lock(m_mutex);
    Pending& p = m_pending[msgId];
    p.pdu = pdu;
    std::vector<uint8_t> bytes = encodeLocked(msgId, p, why);
    if (bytes.empty()) m_pending.erase(msgId);
    return bytes;
}

std::vector<uint8_t> ManagerSession::encodeLocked(int32_t msgId, Pending& p, std::string* why) {
    Message m;
    m.msgId = msgId;
    m.flags = FlagReportable;
    Engine engine;
    p.probe = !knownEngine(m_agentKey, engine);
    if (p.probe) {
        m.pdu.type = ber::GetRequest;
        m.pdu.requestId = p.pdu.requestId;
        return v3::encode(m, nullptr, why);
    }
    m.flags |= levelFlags(m_user.level);
    m.engineId = engine.id;
    m.boots = engine.sending.boots;
    m.time = engine.sending.timeAt(nowSeconds());
    m.userName = m_user.name;
    m.contextEngineId = engine.id;
    m.contextName = m_user.context;
    m.pdu = p.pdu;
    const auto keys = keysFor(engine.id);
    return v3::encode(m, keys.get(), why);
}

std::shared_ptr<const usm::Keys> ManagerSession::keysFor(const std::string& engineId) {
    for (auto it = m_keys.begin(); it != m_keys.end(); ++it)
        if (it->engineId == engineId) {
            m_keys.splice(m_keys.begin(), m_keys, it);
            return it->keys;
        }
    if (!m_candidate.keys || m_candidate.engineId != engineId)
        m_candidate = {engineId, usm::localizedKeys(m_user, engineId)};
    return m_candidate.keys;
}

void ManagerSession::confirmKeys(const std::string& engineId) {
    if (!m_candidate.keys || m_candidate.engineId != engineId) return;
    m_keys.push_front(std::move(m_candidate));
    m_candidate = {};
    if (m_keys.size() > kKeptEngines) m_keys.pop_back();
}

ManagerSession::Outcome ManagerSession::receive(const uint8_t* data, size_t size) {
    Outcome out;
    std::optional<Incoming> in = parse(data, size);
    std::lock_guard lock(m_mutex);
    if (!in) {
        ++m_unreadable;
        return out;
    }
    auto it = m_pending.find(in->msg.msgId);
    if (it == m_pending.end()) return out;
    Pending& p = it->second;
    out.msgId = in->msg.msgId;
    const bool authentic = in->msg.flags & FlagAuth;
    // Only the engine discovered has keys here: a signed message from any other is not checked
    // (and localises no keys for an engine id an agent could vary without end).
    if (authentic && (in->msg.engineId.empty() || engineIdOf(m_agentKey) != in->msg.engineId)) {
        ++p.unauthentic;
        return out;
    }
    const auto keys = authentic ? keysFor(in->msg.engineId) : nullptr;
    if (authentic && authenticate(*in, keys.get()) != Error::None) {
        ++p.unauthentic;
        return out;
    }
    if (authentic) confirmKeys(in->msg.engineId);
    // An authentic message older than what the agent said before is a replay, or an agent that
    // lost its count of boots; either way not taken.
    if (authentic && !timelyEngine(m_agentKey, in->msg)) {
        ++p.outsideWindow;
        return out;
    }
    if (open(*in, keys.get()) != Error::None) {
        ++p.undecryptable;
        return out;
    }
    const ber::Pdu& pdu = in->msg.pdu;

    auto fail = [&](std::string reason, bool security = false) {
        out.verdict = Verdict::Fail;
        out.reason = std::move(reason);
        m_securityFailure = security;
        m_pending.erase(it);
        return out;
    };
    auto resend = [&] {
        std::string why;
        out.bytes = encodeLocked(in->msg.msgId, p, &why);
        if (out.bytes.empty()) return fail(why);
        out.verdict = Verdict::Resend;
        return out;
    };

    if (pdu.type == ber::Report) {
        const Error e = pdu.bindings.empty() ? Error::Parse : reportError(pdu.bindings[0].oid);
        if (e == Error::UnknownEngineId && (p.probe || !p.rediscovered)) {
            // the probe's answer, or an agent that came back with another engine id
            if (in->msg.engineId.empty()) return fail("the agent's report names no engine id");
            p.rediscovered = p.rediscovered || !p.probe;
            learnEngine(m_agentKey, in->msg);
            return resend();
        }
        if (e == Error::NotInTimeWindow && authentic && !p.resynced) {
            p.resynced = true;
            learnEngine(m_agentKey, in->msg);
            return resend();
        }
        // Anyone may send an unsigned report: it may have the engine discovered once more, but
        // it does not end a request on its own word.
        if (e == Error::NotInTimeWindow && !authentic) {
            if (p.rediscovered || p.probe) {
                ++p.unsignedReports;
                return out;
            }
            p.rediscovered = true;
            rediscoverEngine(m_agentKey);
            return resend();
        }
        // A counter this library does not know is named by its OID, not taken for garbage.
        if (e == Error::Parse)
            return fail(pdu.bindings.empty()
                            ? "the agent sent a report that names no counter"
                            : "the agent reports " + shownOid(pdu.bindings[0].oid));
        std::string reason = v3::reason(e);
        if (e == Error::UnknownUserName)
            reason += " \"" + snmpconf::printable(m_user.name) + "\"";
        else if (e == Error::UnknownContext)
            reason += " \"" + snmpconf::printable(m_user.context) + "\"";
        const bool security = e == Error::WrongDigest || e == Error::UnknownUserName ||
                              e == Error::UnknownEngineId || e == Error::UnsupportedSecLevel ||
                              e == Error::DecryptionError;
        return fail("the agent reports " + reason, security);
    }
    // An answer below the level asked (a forged or downgraded one) is not the answer.
    if (pdu.type != ber::Response || p.probe) return out;
    if ((in->msg.flags & (FlagAuth | FlagPriv)) != levelFlags(m_user.level)) {
        ++p.belowLevel;
        return out;
    }
    out.verdict = Verdict::Response;
    out.pdu = std::move(in->msg.pdu);
    m_pending.erase(it);
    return out;
}

void ManagerSession::forget(int32_t msgId) {
    std::lock_guard lock(m_mutex);
    auto it = m_pending.find(msgId);
    m_timedOut = it == m_pending.end() ? Pending{} : std::move(it->second);
    if (it != m_pending.end()) m_pending.erase(it);
}

std::string ManagerSession::timeoutReason() {
    std::lock_guard lock(m_mutex);
    const Pending& p = m_timedOut;
    auto counted = [](int n, const char* what) {
        return std::to_string(n) + (n == 1 ? " answer " : " answers ") + what;
    };
    std::string seen;
    auto add = [&](std::string text) { seen += (seen.empty() ? "" : "; ") + std::move(text); };
    if (p.unauthentic)
        add(counted(p.unauthentic, "failed authentication (check the authentication "
                                   "passphrase and protocol)"));
    if (p.undecryptable)
        add(counted(p.undecryptable,
                    "could not be decrypted (check the privacy passphrase and protocol)"));
    if (p.belowLevel) add(counted(p.belowLevel, "came below the security level asked"));
    if (p.outsideWindow)
        add(counted(p.outsideWindow, "came outside the agent's time window, older than what it "
                                     "sent before (replayed, or the agent lost its count of "
                                     "boots)"));
    if (p.unsignedReports)
        add(std::to_string(p.unsignedReports) +
            (p.unsignedReports == 1 ? " unsigned report" : " unsigned reports") +
            " of the time window ignored");
    if (m_unreadable)
        add(std::to_string(m_unreadable) +
            (m_unreadable == 1 ? " datagram was" : " datagrams were") + " no SNMPv3 message");
    m_unreadable = 0;
    m_securityFailure = p.unauthentic || p.undecryptable || p.outsideWindow;
    if (!seen.empty()) return "no answer from the agent: " + seen;
    // snmpd answers nothing to a request it cannot decrypt, nor for a context it lacks
    if (m_user.level == usm::Level::AuthPriv)
        return "no answer from the agent: nothing came back (check the address and port, the "
               "privacy passphrase and protocol, and the context)";
    return "no answer from the agent: nothing came back (check the address and port, and the "
           "context)";
}

} // namespace v3
