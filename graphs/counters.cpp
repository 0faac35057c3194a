#include "graphs/counters.h"

#include "snmp/valuetext.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace graphs {

namespace {

constexpr double kWrap32 = 4294967296.0;
// The uptime's resolution: a counter read a hundredth of a second later than its uptime says
// has counted that much more.
constexpr double kTick = 0.01;
// What an agent's clock may drift from ours over an interval, beyond the round trips.
constexpr double kDrift = 0.01;

Rate gap(Gap why) {
    return {kGap, why};
}

// The line rate's bound on a counter's delta, with one tick of slack; the rate is cut to the
// bound within it.
Rate bounded(double delta, double seconds, double maxPerSecond) {
    const bool bound = maxPerSecond > 0 && maxPerSecond < kFasterThanKnown;
    if (bound && delta > maxPerSecond * (seconds + kTick) + 1) return gap(Gap::OverLineRate);
    const double rate = delta / seconds;
    return {bound ? std::min(rate, maxPerSecond) : rate, Gap::None};
}

} // namespace

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Rate CountRate(double count, double seconds, double maxPerSecond) {
    if (!(seconds > 0)) return gap(Gap::ClockFrozen);
    return bounded(count, seconds, maxPerSecond);
}

LineBounds PortLineBounds(uint64_t speed, bool capped) {
    if (capped) return {kFasterThanKnown, 0};
    return {double(speed) / 8, double(speed) / 672};
}

LineBounds ProbeLineBounds(uint64_t speed, bool capped) {
    const LineBounds one = PortLineBounds(speed, capped);
    return {2 * one.octets, 2 * one.frames};
}

Rate CounterRate(const Reading& before, const Reading& after, double seconds, double maxPerSecond) {
    if (!before.present || !after.present || before.wide != after.wide) return gap(Gap::Missing);
    if (!(seconds > 0)) return gap(Gap::ClockFrozen);
    if (after.wide || after.value >= before.value) {
        if (after.value < before.value) return gap(Gap::WentBack);
        // A 32-bit delta that may hide a whole wrap says nothing, even a forward one.
        if (!after.wide && maxPerSecond > 0 && maxPerSecond * seconds >= kWrap32)
            return gap(Gap::Slow32);
        return bounded(double(after.value - before.value), seconds, maxPerSecond);
    }
    // A 32-bit counter lower than before: one wrap, where the speed says at most one fits.
    if (maxPerSecond == 0) return gap(Gap::WentBack);
    if (maxPerSecond * seconds >= kWrap32) return gap(Gap::Slow32);
    const uint32_t delta = uint32_t(after.value) - uint32_t(before.value);
    const Rate rate = bounded(double(delta), seconds, maxPerSecond);
    // A wrap the port could not have counted is a counter that went back.
    return rate.gap == Gap::OverLineRate ? gap(Gap::WentBack) : rate;
}

namespace {

PortReading ReadPort(const std::optional<uint64_t>* v) {
    auto reading = [v](int column, bool wide) {
        Reading r;
        r.present = v[column].has_value();
        r.value = v[column].value_or(0);
        r.wide = wide;
        return r;
    };
    PortReading p;
    p.inOctets = reading(ColHCInOctets, true);
    p.outOctets = reading(ColHCOutOctets, true);
    p.inOctets32 = reading(ColInOctets, false);
    p.outOctets32 = reading(ColOutOctets, false);
    p.inErrors = reading(ColInErrors, false);
    p.outErrors = reading(ColOutErrors, false);
    p.inDiscards = reading(ColInDiscards, false);
    p.outDiscards = reading(ColOutDiscards, false);
    if (v[ColDiscontinuity]) p.discontinuity = uint32_t(*v[ColDiscontinuity]);
    const IfSpeed speed = IfLineRate(v[ColSpeed], v[ColHighSpeed]);
    p.speed = speed.bps;
    p.speedCapped = speed.capped;
    return p;
}

} // namespace

void ReadPorts(const std::optional<uint64_t>* values, std::vector<PortReading>& ports) {
    for (PortReading& p : ports) {
        p = ReadPort(values);
        values += kPortColumns;
    }
}

namespace {

// A port's counters between two readings seconds apart.
void PortRates(const PortReading& a, const PortReading& b, double seconds, Rate* r) {
    const auto [octets, frames] = PortLineBounds(b.speed, b.speedCapped);
    auto octetRate = [&](const Reading& a64, const Reading& b64, const Reading& a32,
                         const Reading& b32) {
        Rate rate = a64.present && b64.present ? CounterRate(a64, b64, seconds, octets)
                                               : CounterRate(a32, b32, seconds, octets);
        if (rate) rate.value *= 8;
        return rate;
    };
    r[CInBits] = octetRate(a.inOctets, b.inOctets, a.inOctets32, b.inOctets32);
    r[COutBits] = octetRate(a.outOctets, b.outOctets, a.outOctets32, b.outOctets32);
    r[CInErrors] = CounterRate(a.inErrors, b.inErrors, seconds, frames);
    r[COutErrors] = CounterRate(a.outErrors, b.outErrors, seconds, frames);
    r[CInDiscards] = CounterRate(a.inDiscards, b.inDiscards, seconds, frames);
    r[COutDiscards] = CounterRate(a.outDiscards, b.outDiscards, seconds, frames);
}

bool SameReading(const Reading& a, const Reading& b) {
    return a.present == b.present && a.value == b.value;
}

} // namespace

bool RateTracker::repeatsBase(const Poll& poll) const {
    for (size_t i = 0; i < poll.ports.size(); ++i) {
        const PortReading &a = m_last->ports[i], &b = poll.ports[i];
        for (auto r : {&PortReading::inOctets, &PortReading::outOctets, &PortReading::inOctets32,
                       &PortReading::outOctets32, &PortReading::inErrors, &PortReading::outErrors,
                       &PortReading::inDiscards, &PortReading::outDiscards})
            if (!SameReading(a.*r, b.*r)) return false;
    }
    return true;
}

void RateTracker::rates(const Poll& poll, double seconds) {
    for (size_t i = 0; i < poll.ports.size(); ++i) {
        const PortReading &a = m_last->ports[i], &b = poll.ports[i];
        Rate r[kPortCounters];
        if (a.discontinuity != b.discontinuity)
            std::fill(r, r + kPortCounters, Rate{kGap, Gap::Restart});
        else
            PortRates(a, b, seconds, r);
        for (int c = 0; c < kPortCounters; ++c) {
            m_counters[i * kPortCounters + size_t(c)] = r[c].value;
            m_counterGaps[i * kPortCounters + size_t(c)] = r[c].gap;
        }
    }
}

// The chart's series from the counters: errors and discards in and out summed (the first
// reason of the two for a gap), and the busier direction's share of the line.
void RateTracker::series(const Poll& poll) {
    const size_t n = poll.ports.size();
    m_values.assign(n * kPortSeries, kGap);
    m_gaps.assign(n * kPortSeries, Gap::None);
    for (size_t i = 0; i < n; ++i) {
        const double* c = m_counters.data() + i * kPortCounters;
        const Gap* cg = m_counterGaps.data() + i * kPortCounters;
        double* v = m_values.data() + i * kPortSeries;
        Gap* g = m_gaps.data() + i * kPortSeries;
        auto pair = [&](int s, int a, int b) {
            g[s] = cg[a] != Gap::None ? cg[a] : cg[b];
            v[s] = g[s] == Gap::None ? c[a] + c[b] : kGap;
        };
        v[InBits] = c[CInBits];
        g[InBits] = cg[CInBits];
        v[OutBits] = c[COutBits];
        g[OutBits] = cg[COutBits];
        pair(Errors, CInErrors, COutErrors);
        pair(Discards, CInDiscards, COutDiscards);
        pair(Utilisation, CInBits, COutBits);
        // No speed, no share of it: a gap with no reason to give.
        const uint64_t speed = poll.ports[i].speed;
        if (g[Utilisation] == Gap::None)
            v[Utilisation] =
                speed ? std::max(c[CInBits], c[COutBits]) * 100.0 / double(speed) : kGap;
    }
}

const std::vector<double>& RateTracker::all(size_t ports, Gap why) {
    m_counters.assign(ports * kPortCounters, kGap);
    m_counterGaps.assign(ports * kPortCounters, why);
    m_values.assign(ports * kPortSeries, kGap);
    m_gaps.assign(ports * kPortSeries, why);
    return m_values;
}

Gap AgentSeconds(const Poll& before, const Poll& after, double& seconds) {
    seconds = double(int64_t(after.uptime) - int64_t(before.uptime)) / 100.0;
    if (after.uptime < before.uptime) return Gap::Restart;
    if (after.sent && after.received && before.sent && before.received) {
        // The agent read its uptime between sending and answering, both times.
        const double shortest = *after.sent - *before.received,
                     longest = *after.received - *before.sent;
        const double slack = 2 * kTick + kDrift * longest;
        if (seconds == 0 && longest > slack) return Gap::ClockFrozen;
        if (seconds < shortest - slack || seconds > longest + slack) return Gap::Restart;
    }
    return seconds == 0 ? Gap::ClockFrozen : Gap::None;
}

std::vector<double> RateTracker::add(const Poll& poll) {
    const size_t ports = poll.ports.size();
    // An unanswered poll leaves the base as it was: the next rate spans the time-out.
    if (!poll.answered) return all(ports, Gap::Timeout);
    if (!m_last || m_last->ports.size() != ports) {
        m_last = poll;
        return all(ports, Gap::First);
    }
    double seconds = 0;
    switch (AgentSeconds(*m_last, poll, seconds)) {
    case Gap::Restart:
        m_last = poll;
        return all(ports, Gap::Restart);
    case Gap::ClockFrozen:
        return all(ports, Gap::ClockFrozen); // base kept
    default:
        break;
    }
    // Maybe a repeat of the agent's cache: the base stays, so that the answer that moves is
    // measured from the last one that did; after traffic, the rates stand meanwhile.
    const bool repeat = seconds < kCacheHoldS && repeatsBase(poll);
    if (repeat && std::any_of(m_counters.begin(), m_counters.end(), [](double v) { return v > 0; }))
        return m_values;
    m_counters.assign(ports * kPortCounters, kGap);
    m_counterGaps.assign(ports * kPortCounters, Gap::None);
    rates(poll, seconds);
    series(poll);
    if (!repeat) m_last = poll;
    return m_values;
}

} // namespace graphs
