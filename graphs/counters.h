// Counter sampling, as the agent counts: rates are counter deltas over the agent's own uptime
// delta, never over the local clock. What cannot be known comes out as a gap (NaN), never as a
// spike or a zero:
//   - a counter missing from either poll (a hole, an exception, a time-out),
//   - the agent restarted (its uptime went back) or ifCounterDiscontinuityTime changed,
//   - a 64-bit counter that went back,
//   - a 32-bit counter over an interval long enough for more than one wrap at the port's speed
//     (within a shorter one, a value lower than before is one wrap).
// Plain C++: the chart windows, the tests and the benchmark drive it alike.
#pragma once

#include "graphs/samples.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace graphs {

// One counter as one poll read it.
struct Reading {
    bool present = false; // answered with a value (not a hole, not an exception)
    uint64_t value = 0;
    bool wide = false; // Counter64
};

// The counter's growth per second between two readings seconds apart (by the agent's uptime);
// nullopt for a gap. maxPerSecond bounds how fast it can count (0: unknown, taken as slow enough
// for one wrap).
std::optional<double> CounterRate(const Reading& before, const Reading& after, double seconds,
                                  double maxPerSecond);

// What a poll read of one port.
struct PortReading {
    Reading inOctets, outOctets, inErrors, outErrors, inDiscards, outDiscards;
    std::optional<uint32_t> discontinuity; // ifCounterDiscontinuityTime, when the agent has it
    uint64_t speed = 0;                    // bits per second, 0: unknown
};

struct Poll {
    bool answered = false; // false: the request failed (time-out)
    uint32_t uptime = 0;   // sysUpTime.0, hundredths of a second
    std::vector<PortReading> ports;
};

// The series of one port, in this order in a sample.
enum PortSeries { InBits, OutBits, Errors, Discards, Utilisation, kPortSeries };

// Rates from successive polls of the same ports.
class RateTracker {
public:
    // The port's series for this poll (kPortSeries values a port; kGap where unknown). The
    // first poll, and the one after a restart, give gaps: there is nothing to subtract.
    std::vector<double> add(const Poll& poll);

private:
    std::optional<Poll> m_last;
};

} // namespace graphs
