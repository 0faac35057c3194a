// The bridge's spanning tree as the bridge MIB shows it (dot1dStp): the bridge scalars and one
// port-table row per front-panel Ethernet port, numbered by its ifIndex.
//
// The simulated bridge (priority 32768, 00:1A:2B:3C:00:01) reaches a root bridge (priority
// 4096) through its lowest-numbered active port; every seventh port from port 3 on hears a
// better bridge and blocks; the rest are designated and forward. A port that is disabled or
// has no link is in the disabled state; one enabled (or linked) again listens and learns for a
// forward delay each before it forwards, which counts a forward transition and a topology
// change. With a priority below the root's, the bridge becomes the root itself. Timer writes
// that break 802.1D's relation 2 * (forward delay - 1 s) >= max age >= 2 * (hello time + 1 s)
// are refused with inconsistentValue, judged on the values the whole set would leave.
#pragma once

#include "sim/chassis.h"

namespace sim {

// Registers the objects in mib; they refer to chassis' ports.
void PublishStp(Chassis& chassis, Mib& mib);

} // namespace sim
