// What the fuzz targets and their seed maker share: talvex-sim's engine id and the SNMPv3 users
// the seeds are made for, and a simulated agent over a chassis that stands still.
#pragma once

#include "qvsnmp/usm.h"
#include "sim/agent.h"

#include <string>

inline const std::string kFuzzEngine = std::string("\x80\x00\xE3\x65\x04", 5) + "talvex-sim";

inline usm::User FuzzUser(const char* name, crypto::Auth auth, crypto::Priv priv) {
    usm::User u;
    u.name = name;
    u.level = usm::Level::AuthPriv;
    u.auth = auth;
    u.priv = priv;
    u.authPassphrase = crypto::Secret("maplesyrup");
    u.privPassphrase = crypto::Secret("pancakemix");
    return u;
}

// One agent for the process, keeping its state across inputs as it does across requests.
inline sim::Agent& FuzzAgent(sim::AgentOptions (*options)()) {
    static sim::Chassis chassis([] {
        sim::ChassisOptions o;
        o.live = false;
        return o;
    }());
    static sim::Mib mib;
    static sim::Agent a = [options] {
        chassis.publish(mib);
        return sim::Agent(options(), chassis, mib);
    }();
    return a;
}
