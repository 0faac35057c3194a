// Why a rate is a gap: the rate rule decides it, the chart shows it on hover and in its status
// line, the CSV keeps the gap as an empty cell, and the collector stores it as unknown.
#pragma once

#include <cstdint>
#include <limits>

namespace graphs {

// A value that is not known: the line breaks there, the CSV leaves the cell empty.
inline constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

enum class Gap : uint8_t {
    None = 0,     // a rate, not a gap
    First,        // the first poll: nothing to subtract yet
    Timeout,      // the poll went unanswered
    Restart,      // the agent restarted, or its counters were reset
    WentBack,     // a counter went back without a restart
    OverLineRate, // more than the port can carry
    Missing,      // the agent did not give the counter
    ClockFrozen,  // the agent's uptime did not move while the local clock did
    Slow32,       // a 32-bit counter could wrap more than once in this interval at this speed
};

inline const char* GapText(Gap g) {
    switch (g) {
    case Gap::None:
        return "";
    case Gap::First:
        return "first poll";
    case Gap::Timeout:
        return "no answer (time-out)";
    case Gap::Restart:
        return "agent restarted";
    case Gap::WentBack:
        return "counter went back";
    case Gap::OverLineRate:
        return "over line rate";
    case Gap::Missing:
        return "counter missing";
    case Gap::ClockFrozen:
        return "agent clock frozen";
    case Gap::Slow32:
        return "32-bit counter too slow for this interval";
    }
    return "";
}

} // namespace graphs
