// Where the traffic history lies, as talvex-collect writes it and the graph window reads it:
// one RRD file a port, RRD_DIR/<address>_<port>/if<ifIndex>.rrd, with the data sources below.
// RRD_DIR is the collector's configuration's "rrd-dir" line, else kDefaultRrdDir (RrdDir in
// graphs/collectconf.h); the module finds the configuration where the collector does
// (TALVEX_COLLECT_CONF overrides it, for tests).
// Plain C++: the collector, the module and the tests share it.
#pragma once

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

namespace graphs {

inline constexpr const char* kDefaultCollectConf = "/etc/talvex/collect.conf";
inline constexpr const char* kDefaultRrdDir = "/var/lib/talvex/rrd";

// Data sources of a port's file: bits per second in and out, then errors and discards per second.
inline constexpr std::array<const char*, 6> kRrdSources = {"in",     "out",    "inerr",
                                                           "outerr", "indisc", "outdisc"};

inline std::string CollectConfPath() {
    const char* env = std::getenv("TALVEX_COLLECT_CONF");
    return env && *env ? env : kDefaultCollectConf;
}

// The folder of one agent: the address as the agent's key writes it, without brackets, then the
// port ("192.0.2.10_161", "::1_1161").
inline std::string RrdAgentDir(const std::string& rrdDir, std::string_view address, int port) {
    std::string a(address);
    if (a.size() >= 2 && a.front() == '[' && a.back() == ']') a = a.substr(1, a.size() - 2);
    return rrdDir + "/" + a + "_" + std::to_string(port);
}

inline std::string RrdFile(const std::string& rrdDir, std::string_view address, int port,
                           int ifIndex) {
    return RrdAgentDir(rrdDir, address, port) + "/if" + std::to_string(ifIndex) + ".rrd";
}

} // namespace graphs
