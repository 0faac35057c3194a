// The chassis as a router: its address translation table (ipNetToMediaTable) and its routing
// table (ipRouteTable), on the management port, the VLAN interface and one routed front-panel
// port of the chassis.
#pragma once

#include "sim/chassis.h"

namespace sim {

// Registers both tables in mib; the values are fixed when published.
void PublishIpTables(Mib& mib, const std::vector<Port>& ports);

} // namespace sim
