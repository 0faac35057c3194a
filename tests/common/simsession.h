// The module's session parameters as the tests set them: toward the simulator on loopback,
// with the communities it is started with and no proxy; the simulator started for them.
#pragma once

#include "snmp/params.h"
#include "tests/common/peers.h"

#include <memory>

// The agent at agent (no proxy) answering the read community orchid and the write community
// saffron; at port when one is given, the port left as it is otherwise.
inline void UseSimulator(quint16 port = 0, const QString& agent = QStringLiteral("127.0.0.1")) {
    g_strAgentAddress = agent;
    g_strProxyAddress = QStringLiteral("0.0.0.0");
    g_strReadCommunity = QStringLiteral("orchid");
    g_strWriteCommunity = QStringLiteral("saffron");
    if (port) SetSnmpAgentPort(port);
}

// The simulator with its static tables started into sim, every request's time-out timeoutMs,
// the session toward it. False when it did not start.
inline bool StartStaticSimulator(std::unique_ptr<SimProcess>& sim, int timeoutMs) {
    sim = std::make_unique<SimProcess>(QStringList{"--static"});
    if (!sim->started()) return false;
    SetSnmpTimeout(timeoutMs);
    UseSimulator(sim->port());
    return true;
}
