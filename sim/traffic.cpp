#include "sim/traffic.h"

namespace sim {

namespace {

const ber::Oid kIfEntry{1, 3, 6, 1, 2, 1, 2, 2, 1};
const ber::Oid kIfXEntry{1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
const ber::Oid kIfXTable{1, 3, 6, 1, 2, 1, 31, 1, 1};
constexpr uint64_t kFrameOctets = 1000;

// rate per second over ticks hundredths of a second, without overflow for any allowed rate.
uint64_t grown(uint64_t perSecond, uint32_t ticks) {
    return perSecond / 100 * ticks + perSecond % 100 * ticks / 100;
}

} // namespace

PortTraffic::PortTraffic(Chassis& chassis, Mib& mib, const TrafficOptions& opt)
    : m_chassis(chassis), m_mib(mib), m_opt(opt) {
    if (!m_opt.ifXTable) m_mib.removeBelow(kIfXTable);
    m_lines.reserve(chassis.ports().size());
    for (Port& p : chassis.ports()) {
        m_lines.push_back(Line{&p, {}, 0, 0, 0, 0, {}});
        remember(m_lines.back());
        publish(m_lines.back());
    }
    chassis.onTick([this](uint32_t now) { tick(now); });
}

void PortTraffic::remember(Line& line) {
    const Port& p = *line.port;
    line.seen[0] = p.inOctets;
    line.seen[1] = p.outOctets;
    line.seen[2] = p.inPkts;
    line.seen[3] = p.outPkts;
}

PortTraffic::Count PortTraffic::at(const Line& line, uint32_t now) const {
    if (!line.port->driven) return line.base;
    const uint32_t ticks = now - line.since;
    Count c = line.base;
    const uint64_t in = grown(line.inBps / 8, ticks), out = grown(line.outBps / 8, ticks);
    c.inOctets += in;
    c.outOctets += out;
    c.inPkts += in / kFrameOctets;
    c.outPkts += out / kFrameOctets;
    c.inErrors += grown(line.errorsPerS, ticks);
    return c;
}

void PortTraffic::tick(uint32_t now) {
    for (Line& line : m_lines) {
        Port& p = *line.port;
        if (p.driven) {
            // The RMON probes follow the chassis' 32-bit counters.
            const Count c = at(line, now);
            p.inOctets = uint32_t(c.inOctets);
            p.outOctets = uint32_t(c.outOctets);
            p.inPkts = uint32_t(c.inPkts);
            p.outPkts = uint32_t(c.outPkts);
        } else {
            line.base.inOctets += uint32_t(p.inOctets - line.seen[0]);
            line.base.outOctets += uint32_t(p.outOctets - line.seen[1]);
            line.base.inPkts += uint32_t(p.inPkts - line.seen[2]);
            line.base.outPkts += uint32_t(p.outPkts - line.seen[3]);
        }
        remember(line);
    }
}

void PortTraffic::publish(Line& line) {
    const uint32_t i = uint32_t(line.port->ifIndex);
    auto reader = [this, &line](uint64_t Count::*field, uint8_t type) {
        return [this, &line, field, type] {
            const uint64_t v = at(line, m_chassis.uptime()).*field;
            return ber::Value::makeUnsigned(type, type == ber::Counter64 ? v : uint32_t(v));
        };
    };
    m_mib.add(child(kIfEntry, {10, i}), reader(&Count::inOctets, ber::Counter32));
    m_mib.add(child(kIfEntry, {11, i}), reader(&Count::inPkts, ber::Counter32));
    m_mib.add(child(kIfEntry, {14, i}), reader(&Count::inErrors, ber::Counter32));
    m_mib.add(child(kIfEntry, {16, i}), reader(&Count::outOctets, ber::Counter32));
    m_mib.add(child(kIfEntry, {17, i}), reader(&Count::outPkts, ber::Counter32));
    if (!m_opt.ifXTable) return;
    m_mib.add(child(kIfXEntry, {1, i}),
              [&line] { return ber::Value::makeOctets(line.port->descr); });
    m_mib.add(child(kIfXEntry, {6, i}), reader(&Count::inOctets, ber::Counter64));
    m_mib.add(child(kIfXEntry, {7, i}), reader(&Count::inPkts, ber::Counter64));
    m_mib.add(child(kIfXEntry, {10, i}), reader(&Count::outOctets, ber::Counter64));
    m_mib.add(child(kIfXEntry, {11, i}), reader(&Count::outPkts, ber::Counter64));
    m_mib.add(child(kIfXEntry, {19, i}),
              [] { return ber::Value::makeUnsigned(ber::TimeTicks, 0); });
}

std::optional<std::string> PortTraffic::command(const std::string& verb, std::istream& in) {
    if (verb == "restart") {
        // "restart S": the agent comes back already S seconds up.
        long long seconds = 0;
        if (!(in >> seconds)) seconds = 0;
        if (seconds < 0 || seconds > 400'000'000) return std::string("error: restart [SECONDS]");
        m_chassis.restart(uint32_t(seconds * 100));
        for (Line& line : m_lines) {
            line.base = {};
            line.since = m_chassis.uptime();
            remember(line);
        }
        return "ok";
    }
    if (verb == "freeze") {
        int frozen = -1;
        if (!(in >> frozen) || (frozen != 0 && frozen != 1))
            return std::string("error: freeze 0|1");
        m_chassis.freezeClock(frozen == 1);
        return "ok";
    }
    if (verb == "bump") return bump(in);
    if (verb != "traffic") return std::nullopt;
    const char* usage = "error: traffic IFINDEX IN_BPS OUT_BPS [ERRORS_PER_S]";
    long long index = 0;
    unsigned long long inBps = 0, outBps = 0, errors = 0;
    if (!(in >> index >> inBps >> outBps) || inBps > kMaxBps || outBps > kMaxBps) return usage;
    std::string rest;
    if (in >> rest) {
        try {
            size_t used = 0;
            errors = std::stoull(rest, &used);
            if (used != rest.size() || errors > kMaxBps / 512 || (in >> rest)) return usage;
        } catch (const std::exception&) {
            return usage;
        }
    }
    for (Line& line : m_lines) {
        if (line.port->ifIndex != index) continue;
        const uint32_t now = m_chassis.uptime();
        line.base = at(line, now);
        line.since = now;
        line.inBps = inBps;
        line.outBps = outBps;
        line.errorsPerS = errors;
        line.port->driven = true;
        // Also brings back a counter a test deleted.
        publish(line);
        return "ok";
    }
    return "error: no interface " + std::to_string(index);
}

// "bump IFINDEX in|out|errors DELTA": the counter jumps by DELTA (negative: it goes back), as a
// faulty agent's does, without a restart; the 32-bit counters see the same jump modulo 2^32.
std::string PortTraffic::bump(std::istream& in) {
    const char* usage = "error: bump IFINDEX in|out|errors DELTA";
    long long index = 0, delta = 0;
    std::string which;
    if (!(in >> index >> which >> delta)) return usage;
    uint64_t Count::*field = which == "in"       ? &Count::inOctets
                             : which == "out"    ? &Count::outOctets
                             : which == "errors" ? &Count::inErrors
                                                 : nullptr;
    if (!field) return usage;
    for (Line& line : m_lines) {
        if (line.port->ifIndex != index) continue;
        if (!line.port->driven) return "error: bump needs traffic on the port first";
        line.base.*field += uint64_t(delta);
        return "ok";
    }
    return "error: no interface " + std::to_string(index);
}

} // namespace sim
