// Counter sampling, as the agent counts: rates are counter deltas over the agent's own uptime
// delta, never over the local clock, and never more than the port can carry. What cannot be
// known comes out as a gap (NaN) with its reason (graphs/gap.h), never as a spike or a zero:
//   - a counter missing from either poll (a hole, an exception), or the poll unanswered,
//   - the agent restarted: its uptime went back, ifCounterDiscontinuityTime changed, or its
//     uptime moved by other than the local clock did, beyond what the polls' round trips allow
//     (a restarted agent's new uptime may have passed the old one by the next poll),
//   - the agent's uptime stood still while the local clock moved,
//   - a counter that went back (a 32-bit one only wraps where the port's speed is known and the
//     interval too short for two wraps at that speed),
//   - a rate above the port's line rate,
//   - a 32-bit counter over an interval long enough for more than one wrap at the port's speed,
//     or on a port faster than ifSpeed can say (capped) whose ifHighSpeed is unknown.
// An agent that answers from a cache it refreshes every few seconds repeats its counters between
// refreshes. An answer in which no counter of any port moved may be such a repeat: for up to
// kCacheHoldS of the agent's time the base stays where the counters last moved, so that the
// next answer that moves is measured over the whole time its growth took; meanwhile the rates
// stand as they were where traffic was seen, and are zero where none was. Past kCacheHoldS,
// still counters are what they say: no traffic.
// Plain C++: the chart windows, the collector, the tests and the benchmark drive it alike.
#pragma once

#include "graphs/gap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace graphs {

// The speed of a port known only to be faster than ifSpeed can say.
inline constexpr double kFasterThanKnown = std::numeric_limits<double>::infinity();
inline constexpr double kCacheHoldS = 10;

// One counter as one poll read it.
struct Reading {
    bool present = false; // answered with a value (not a hole, not an exception)
    uint64_t value = 0;
    bool wide = false; // Counter64
};

// A rate, or the reason there is none.
struct Rate {
    double value = kGap;
    Gap gap = Gap::None;
    explicit operator bool() const { return gap == Gap::None; }
};

// The counter's growth per second between two readings seconds apart (by the agent's uptime).
// maxPerSecond bounds how fast it can count: 0 when the port's speed is unknown (no wrap is
// then taken, and nothing bounds the rate), kFasterThanKnown for a capped speed (no 32-bit
// delta can be trusted). A rate above the bound by more than the uptime's resolution (one
// hundredth of a second of counting) is a gap; one within it is the bound.
Rate CounterRate(const Reading& before, const Reading& after, double seconds, double maxPerSecond);
// A count taken over seconds (an RMON bucket's) as a rate, bounded as CounterRate bounds a delta.
Rate CountRate(double count, double seconds, double maxPerSecond);

// What a port of a speed (IfLineRate's) can count a second, as CounterRate's maxPerSecond: octets
// at the line rate, frames as the shortest (64 octets and 20 of preamble and gap, 672 bit
// times). A speed of 0 bounds nothing; a capped one trusts no 32-bit octet delta.
struct LineBounds {
    double octets = 0, frames = 0;
};
LineBounds PortLineBounds(uint64_t speed, bool capped);
// An RMON probe counts both directions of its interface: a full-duplex port carries its line
// rate each way.
LineBounds ProbeLineBounds(uint64_t speed, bool capped);

// What a poll read of one port. The octets come from the 64-bit counters where both polls
// have them, else from the 32-bit ones.
struct PortReading {
    Reading inOctets, outOctets;     // ifHCInOctets, ifHCOutOctets
    Reading inOctets32, outOctets32; // ifInOctets, ifOutOctets
    Reading inErrors, outErrors, inDiscards, outDiscards;
    std::optional<uint32_t> discontinuity; // ifCounterDiscontinuityTime, when the agent has it
    uint64_t speed = 0;                    // bits per second, 0: unknown
    bool speedCapped = false;              // faster than ifSpeed says, ifHighSpeed unknown
};

// The interface columns a port reading is made of, in this order: the graph's get and the
// collector's walk ask these.
enum PortColumn {
    ColHCInOctets,
    ColHCOutOctets,
    ColInOctets,
    ColOutOctets,
    ColInErrors,
    ColOutErrors,
    ColInDiscards,
    ColOutDiscards,
    ColDiscontinuity,
    ColSpeed,
    ColHighSpeed,
    kPortColumns
};
inline constexpr std::array<const char*, kPortColumns> kPortColumnOids = {
    "1.3.6.1.2.1.31.1.1.1.6", "1.3.6.1.2.1.31.1.1.1.10", "1.3.6.1.2.1.2.2.1.10",
    "1.3.6.1.2.1.2.2.1.16",   "1.3.6.1.2.1.2.2.1.14",    "1.3.6.1.2.1.2.2.1.20",
    "1.3.6.1.2.1.2.2.1.13",   "1.3.6.1.2.1.2.2.1.19",    "1.3.6.1.2.1.31.1.1.1.19",
    "1.3.6.1.2.1.2.2.1.5",    "1.3.6.1.2.1.31.1.1.1.15",
};
inline constexpr const char* kSysUpTimeOid = "1.3.6.1.2.1.1.3.0";

// The ports' readings from their columns' typed values, kPortColumns a port in the order of
// kPortColumnOids, one port after another (nullopt: the agent did not give it).
void ReadPorts(const std::optional<uint64_t>* values, std::vector<PortReading>& ports);

struct Poll {
    bool answered = false; // false: the request failed (time-out)
    uint32_t uptime = 0;   // sysUpTime.0, hundredths of a second
    // The local clock (seconds, any steady origin) when the request left and its answer came:
    // the agent read its uptime somewhere between. Unset, the agent's clock is not checked.
    std::optional<double> sent, received;
    std::vector<PortReading> ports;
};

// The local clock Poll::sent and received are read by: seconds from a steady origin.
double SteadySeconds();

// The agent's seconds between two answered polls, by their uptimes, or why they cannot be
// known: Gap::Restart (the uptime went back, or moved by other than the local clock did beyond
// the polls' slack; the later poll is the new base), Gap::ClockFrozen (the uptime stood still;
// the earlier poll stays the base).
Gap AgentSeconds(const Poll& before, const Poll& after, double& seconds);

// The series of one port, in this order in a sample.
enum PortSeries { InBits, OutBits, Errors, Discards, Utilisation, kPortSeries };
// Each counter's own rate, in the order of the RRD files' data sources (kRrdSources): bits
// per second in and out, then errors and discards per second in and out.
enum PortCounter {
    CInBits,
    COutBits,
    CInErrors,
    COutErrors,
    CInDiscards,
    COutDiscards,
    kPortCounters
};

// Rates from successive polls of the same ports.
class RateTracker {
public:
    // The port's series for this poll (kPortSeries values a port; kGap where unknown). The
    // first poll, and the one after a restart, give gaps: there is nothing to subtract.
    std::vector<double> add(const Poll& poll);
    // Why each value of the last add is a gap (Gap::None for a rate), in the same order.
    const std::vector<Gap>& gaps() const { return m_gaps; }
    // The last add's rates counter by counter (kPortCounters a port; kGap where unknown): what
    // the collector stores.
    const std::vector<double>& counters() const { return m_counters; }

private:
    const std::vector<double>& all(size_t ports, Gap why);
    void rates(const Poll& poll, double seconds);
    void series(const Poll& poll);
    bool repeatsBase(const Poll& poll) const;

    std::optional<Poll> m_last; // the base the next rates are measured from
    std::vector<double> m_values, m_counters;
    std::vector<Gap> m_gaps, m_counterGaps;
};

} // namespace graphs
