// The collector's configuration, /etc/talvex/collect.conf (graphs/rrdlayout.h says where):
//
//     rrd-dir /var/lib/talvex/rrd   # where the RRD files go (once, before the first device)
//     device 192.0.2.10             # [address]:port for IPv6, address:port for another port
//         community orchid          # or none: the agent's SNMPv3 block of the credentials file
//         interval 60               # seconds between polls (60)
//         ports 1 2 51              # the ifIndexes to keep (every port of the agent)
//
// A comment starts with '#'; blank lines are skipped. Every length and count is bounded; the
// first line that cannot be read refuses the whole file, its number and what is wrong in the
// message. Plain C++.
#pragma once

#include "graphs/rrdlayout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace graphs {

inline constexpr size_t kMaxConfBytes = 1 << 20;
inline constexpr size_t kMaxConfLine = 1024;
inline constexpr size_t kMaxDevices = 10000;
inline constexpr size_t kMaxDevicePorts = 4096;
inline constexpr size_t kMaxCommunity = 255;
inline constexpr int kDefaultCollectInterval = 60;
inline constexpr int kMaxCollectInterval = 86400;

struct CollectDevice {
    std::string address; // as written, without the brackets of an IPv6 literal with a port
    uint16_t port = 161;
    std::optional<std::string> community; // none: SNMPv3 from the credentials file
    int interval = kDefaultCollectInterval;
    std::vector<int> ports; // ifIndexes to keep; empty: all
    int line = 0;           // the device line, for messages
};

struct CollectConf {
    std::string rrdDir; // empty: not given
    std::vector<CollectDevice> devices;
};

// The configuration in text; false with why ("line 12: ...") for the first fault.
bool ParseCollectConf(std::string_view text, CollectConf& conf, std::string& why);

// The file at path: a regular file (no FIFO, no folder, not through a symbolic link), at most
// kMaxConfBytes, never waited on; false with why naming the path.
bool ReadCollectConf(const std::string& path, CollectConf& conf, std::string& why);

// Where the history lies for the module: the rrd-dir of the configuration at confPath, else
// kDefaultRrdDir, also when the file cannot be read (the collector, which reads it whole, says
// what is wrong with it).
std::string RrdDir(const std::string& confPath = CollectConfPath());

} // namespace graphs
