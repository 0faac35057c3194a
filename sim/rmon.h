// The RMON groups of the simulated chassis, as an RFC 2819 agent keeps them: Ethernet
// statistics probes, history control entries with their samples, alarms and events. Entries are
// created by createRequest into underCreation, count once valid and go by invalid; the counters
// follow the chassis' traffic.
#pragma once

#include "sim/chassis.h"
#include "sim/mib.h"

#include <memory>

namespace sim {

struct RmonOptions {
    int probes = 8;   // statistics probes at start, spread over the front-panel ports
    bool live = true; // counters grow, samples are taken, alarms sample their variables
};

class Rmon {
public:
    // Publishes the groups in mib and follows the chassis' ticks.
    Rmon(Chassis& chassis, Mib& mib, const RmonOptions& opt);
    ~Rmon();
    Rmon(const Rmon&) = delete;
    Rmon& operator=(const Rmon&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sim
