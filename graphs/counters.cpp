#include "graphs/counters.h"

#include <algorithm>
#include <cmath>

namespace graphs {

namespace {

constexpr double kWrap32 = 4294967296.0;

} // namespace

std::optional<double> CounterRate(const Reading& before, const Reading& after, double seconds,
                                  double maxPerSecond) {
    if (!before.present || !after.present || before.wide != after.wide || !(seconds > 0))
        return std::nullopt;
    if (after.wide) {
        if (after.value < before.value) return std::nullopt;
        return double(after.value - before.value) / seconds;
    }
    // Past one wrap's worth of counting, a 32-bit delta says nothing, even a positive one.
    if (maxPerSecond > 0 && maxPerSecond * seconds >= kWrap32) return std::nullopt;
    const uint32_t delta = uint32_t(after.value) - uint32_t(before.value);
    return double(delta) / seconds;
}

std::vector<double> RateTracker::add(const Poll& poll) {
    std::vector<double> out(poll.ports.size() * kPortSeries, kGap);
    if (!poll.answered)
        return out; // the last good poll stays the base: the next rate spans the time-out
    if (!m_last || m_last->ports.size() != poll.ports.size() || poll.uptime <= m_last->uptime) {
        m_last = poll;
        return out;
    }
    const double seconds = double(poll.uptime - m_last->uptime) / 100.0;
    for (size_t i = 0; i < poll.ports.size(); ++i) {
        const PortReading& a = m_last->ports[i];
        const PortReading& b = poll.ports[i];
        if (a.discontinuity != b.discontinuity) continue;
        // An octet counter counts at most the line rate; a frame counter at most one minimum
        // frame (64 octets and 20 of preamble and gap) per 672 bit times.
        const double octets = double(b.speed) / 8, frames = double(b.speed) / 672;
        double* port = out.data() + i * kPortSeries;
        auto sum = [&](const Reading& a1, const Reading& b1, const Reading& a2, const Reading& b2) {
            const auto r1 = CounterRate(a1, b1, seconds, frames),
                       r2 = CounterRate(a2, b2, seconds, frames);
            return r1 && r2 ? *r1 + *r2 : kGap;
        };
        if (auto r = CounterRate(a.inOctets, b.inOctets, seconds, octets)) port[InBits] = *r * 8;
        if (auto r = CounterRate(a.outOctets, b.outOctets, seconds, octets)) port[OutBits] = *r * 8;
        port[Errors] = sum(a.inErrors, b.inErrors, a.outErrors, b.outErrors);
        port[Discards] = sum(a.inDiscards, b.inDiscards, a.outDiscards, b.outDiscards);
        if (b.speed && !std::isnan(port[InBits]) && !std::isnan(port[OutBits]))
            port[Utilisation] = std::max(port[InBits], port[OutBits]) * 100.0 / double(b.speed);
    }
    m_last = poll;
    return out;
}

} // namespace graphs
