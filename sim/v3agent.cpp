// The agent's SNMPv3 side: the user-based security model's checks in the order RFC 3414 gives
// them, each failure answered with the report snmpd sends, and requests served as v2c ones.
#include "sim/agent.h"

#include "qvsnmp/v3msg.h"

#include <chrono>

namespace sim {

namespace {

uint64_t steadyMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Room in a GETBULK answer for what SNMPv3 puts around the PDU (header, security parameters
// with the longest digest, context, encryption's padding and wrapping), taken from the
// community's place in the v2c message the answer is sized by.
constexpr size_t kV3Overhead = 320;

} // namespace

int32_t Agent::engineTime() const {
    const uint64_t elapsed = (steadyMs() - m_engineStartMs) / 1000;
    return int32_t(std::min<uint64_t>(uint64_t(m_opt.engineTime) + elapsed, INT32_MAX));
}

bool Agent::handleV3(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    std::optional<v3::Incoming> in = v3::parse(data, size);
    if (!in) return false; // snmpInvalidMsgs: no answer
    const v3::Message& req = in->msg;
    const Keyed* keyed = nullptr;
    for (const Keyed& k : m_keyed)
        if (k.user->user.name == req.userName) keyed = &k;

    v3::Message resp;
    resp.msgId = req.msgId;
    resp.maxSize = int32_t(ber::MaxMessage);
    resp.engineId = m_opt.engineId;
    resp.boots = m_opt.engineBoots;
    resp.time = engineTime();
    resp.userName = req.userName;
    resp.contextEngineId = m_opt.engineId;

    // A report says which check failed; it carries the counter of that failure, and is signed
    // only for a message out of the time window, as RFC 3414 asks.
    auto report = [&](v3::Error error) {
        if (!(req.flags & v3::FlagReportable)) return false;
        uint32_t& counter = m_reported[size_t(error)];
        ++counter;
        resp.flags = error == v3::Error::NotInTimeWindow ? v3::FlagAuth : 0;
        resp.contextName = req.contextName;
        resp.pdu = {};
        resp.pdu.type = ber::Report;
        resp.pdu.requestId = in->msg.pdu.requestId;
        resp.pdu.bindings.push_back(
            {v3::reportOid(error), ber::Value::makeUnsigned(ber::Counter32, counter)});
        out = v3::encode(resp, keyed ? keyed->keys.get() : nullptr);
        return !out.empty();
    };

    if (req.engineId != m_opt.engineId) return report(v3::Error::UnknownEngineId);
    if (!keyed) return report(v3::Error::UnknownUserName);
    const usm::Level has = keyed->user->user.level;
    if (((req.flags & v3::FlagAuth) && has == usm::Level::NoAuthNoPriv) ||
        ((req.flags & v3::FlagPriv) && has != usm::Level::AuthPriv))
        return report(v3::Error::UnsupportedSecLevel);
    if (v3::Error e = v3::authenticate(*in, keyed->keys.get()); e != v3::Error::None)
        return report(e);
    if ((req.flags & v3::FlagAuth) &&
        !v3::inTimeWindow(req.boots, req.time, m_opt.engineBoots, engineTime()))
        return report(v3::Error::NotInTimeWindow);
    // snmpd answers a scoped PDU it cannot decrypt with nothing: it has no request id to
    // report to, and the manager sees a time-out.
    if (v3::open(*in, keyed->keys.get()) != v3::Error::None) return false;
    // Only the default context is served; snmpd too answers nothing for a context it lacks.
    if (!req.contextName.empty() ||
        (!req.contextEngineId.empty() && req.contextEngineId != m_opt.engineId))
        return false;
    if (req.pdu.type == ber::Response || req.pdu.type == ber::Report) return false;

    resp.flags = req.flags & (v3::FlagAuth | v3::FlagPriv);
    resp.contextEngineId = req.contextEngineId.empty() ? m_opt.engineId : req.contextEngineId;
    resp.contextName = req.contextName;
    // A user with keys must use them, as snmpd's rouser and rwuser lines without a level ask:
    // snmpd answers with the request itself and authorizationError, whatever the request was.
    if (has != usm::Level::NoAuthNoPriv && !(req.flags & v3::FlagAuth)) {
        resp.pdu = std::move(in->msg.pdu);
        resp.pdu.type = ber::Response;
        resp.pdu.errorStatus = ber::AuthorizationError;
        out = v3::encode(resp, keyed->keys.get());
        return !out.empty();
    }

    ber::Message asV2c;
    asV2c.version = ber::V2c;
    asV2c.community.assign(kV3Overhead, ' ');
    asV2c.pdu = std::move(in->msg.pdu);
    std::optional<ber::Pdu> pdu = respond(asV2c, keyed->user->write);
    if (!pdu) return false;
    resp.pdu = std::move(*pdu);
    out = v3::encode(resp, keyed->keys.get());
    const size_t limit = std::min(size_t(req.maxSize), ber::MaxMessage);
    if (out.size() > limit) {
        resp.pdu.errorStatus = ber::TooBig;
        resp.pdu.errorIndex = 0;
        resp.pdu.bindings.clear();
        out = v3::encode(resp, keyed->keys.get());
    }
    return !out.empty();
}

} // namespace sim
