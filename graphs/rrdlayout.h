// Where the traffic history lies, as talvex-collect writes it and the graph window reads it:
// one RRD file a port, RRD_DIR/<address>_<port>/if<ifIndex>.rrd, with the data sources below.
// RRD_DIR is the collector's configuration's "rrd-dir" line, else kDefaultRrdDir; the module finds
// the configuration where the collector does (TALVEX_COLLECT_CONF overrides it, for tests).
// Plain C++: the collector, the module and the tests share it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
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

// The configuration's "rrd-dir PATH" line (the first one; a comment starts with #), else the
// default. A configuration that cannot be read gives the default too: the collector, which
// reads it whole, is the one that says what is wrong with it.
inline std::string RrdDir(const std::string& confPath = CollectConfPath()) {
    std::ifstream in(confPath);
    std::string line;
    for (int n = 0; n < 10000 && std::getline(in, line); ++n) {
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::string_view v(line);
        const auto first = v.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        v.remove_prefix(first);
        if (!v.starts_with("rrd-dir") || v.size() < 8 || (v[7] != ' ' && v[7] != '\t'))
            continue;
        v.remove_prefix(7);
        v.remove_prefix(std::min(v.find_first_not_of(" \t"), v.size()));
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
            v.remove_suffix(1);
        if (!v.empty())
            return std::string(v);
    }
    return kDefaultRrdDir;
}

// The folder of one agent: the address as the agent's key writes it, without brackets, then the
// port ("192.0.2.10_161", "::1_1161").
inline std::string RrdAgentDir(const std::string& rrdDir, std::string_view address, int port) {
    std::string a(address);
    if (a.size() >= 2 && a.front() == '[' && a.back() == ']')
        a = a.substr(1, a.size() - 2);
    return rrdDir + "/" + a + "_" + std::to_string(port);
}

inline std::string RrdFile(const std::string& rrdDir, std::string_view address, int port,
                           int ifIndex) {
    return RrdAgentDir(rrdDir, address, port) + "/if" + std::to_string(ifIndex) + ".rrd";
}

} // namespace graphs
