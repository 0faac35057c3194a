// Port traffic as the tests set it, and every port's counters as an agent with 64-bit counters
// keeps them. A port given traffic has counters that follow from the agent's uptime at each
// read, so that they grow at the set rates between polls and a rate over an uptime delta comes
// out exact; the other ports add up what the chassis draws each second. ifXTable's
// high-capacity counters and ifCounterDiscontinuityTime come from here unless it is left out.
#pragma once

#include "sim/chassis.h"
#include "sim/mib.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TrafficOptions {
    bool ifXTable = true; // false: no ifXTable at all (32-bit counters, no ifHighSpeed)
};

class PortTraffic {
public:
    PortTraffic(Chassis& chassis, Mib& mib, const TrafficOptions& opt);

    // "traffic IFINDEX IN_BPS OUT_BPS [ERRORS_PER_S]" (the port's counters go on from where
    // they are, at these rates; frames of 1000 octets), "restart [SECONDS]" (every counter from
    // zero, the uptime from SECONDS), "freeze 0|1" (sysUpTime.0 stands still) and "bump"
    // (below); nullopt for any other verb.
    std::optional<std::string> command(const std::string& verb, std::istream& in);

    // Rates beyond this are refused: a day of them still fits the 64-bit counters.
    static constexpr uint64_t kMaxBps = 400'000'000'000ull;

private:
    struct Count {
        uint64_t inOctets = 0, outOctets = 0, inPkts = 0, outPkts = 0, inErrors = 0;
    };
    struct Line {
        Port* port;
        Count base;         // the counters at since
        uint32_t since = 0; // uptime, when the rates were set
        uint64_t inBps = 0, outBps = 0, errorsPerS = 0;
        uint32_t seen[4] = {}; // the chassis' own counters at the last tick
    };

    Count at(const Line& line, uint32_t now) const;
    std::string bump(std::istream& in);
    void publish(Line& line);
    void tick(uint32_t now);
    void remember(Line& line);

    Chassis& m_chassis;
    Mib& m_mib;
    TrafficOptions m_opt;
    std::vector<Line> m_lines; // by port, in the chassis' order
};

} // namespace sim
