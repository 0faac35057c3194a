// The bridge's forwarding database (dot1dTpFdbTable) and its address aging time
// (dot1dTpAgingTime). Bridge ports are numbered as the interfaces: dot1dBasePort = ifIndex.
#pragma once

#include "sim/chassis.h"

namespace sim {

class ForwardingDb {
public:
    // rows < 0: the chassis' own few dozen entries; otherwise exactly rows entries, for
    // benchmarks (the same entries first, then learned addresses spread over the ports).
    ForwardingDb(const std::vector<Port>& ports, int rows);

    // Registers the table and the aging time; the nodes refer to this object.
    void publish(Mib& mib);

private:
    struct Entry {
        std::string mac; // 6 octets, also the instance
        int32_t port;
        int32_t status; // 3 learned, 4 self, 5 mgmt
    };
    std::vector<Entry> m_entries;
    int32_t m_agingTime = 300;
};

} // namespace sim
