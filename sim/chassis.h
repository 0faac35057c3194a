// The simulated Talvex chassis: what sits in which slot, its ports and their links, the system
// group and the private objects, and how they change over time.
#pragma once

#include "sim/mib.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

struct Port {
    int ifIndex = 0;
    std::string descr;
    int32_t type = 6;      // ethernetCsmacd
    uint32_t speed = 0;    // bit/s
    std::string mac;       // 6 octets
    int32_t admin = 1;     // 1 up, 2 down, 3 testing
    int32_t oper = 2;      // 1 up, 2 down
    uint32_t lastChange = 0;
    uint32_t inOctets = 0, outOctets = 0, inPkts = 0, outPkts = 0;
    bool driven = false;   // its traffic is set from outside (sim/traffic.h), not drawn at random
};

struct Module {
    int rowIndex;       // index of the module-type row (0 and 9: the supervisors)
    std::string type;   // "SUP-1", "LC-A48", ...
};

struct ChassisOptions {
    bool live = true;        // links flap, counters grow, load moves
    uint32_t seed = 1;
    int extraRows = 0;       // interface rows beyond the chassis ports, for benchmarks
    bool full = false;       // every line-card slot populated
    bool physicalDescr = false; // port descriptions "Physical port FE 1/3" instead of "FastEthernet 1/3"
};

class Chassis {
public:
    explicit Chassis(const ChassisOptions& opt);

    // Registers every object in mib; the nodes refer to this chassis.
    void publish(Mib& mib);
    // One second of life.
    void tick(uint32_t nowTicks);
    // Groups that follow the chassis (their counters grow with its traffic) see every tick,
    // before the chassis' own, whether the chassis is live or static.
    void onTick(std::function<void(uint32_t nowTicks)> follower) { m_followers.push_back(std::move(follower)); }
    uint32_t uptime() const; // hundredths of a second since start
    // The agent starts again: its uptime from upTicks (a restart the poller saw nothing of, its
    // new uptime already past the old).
    void restart(uint32_t upTicks = 0);
    // sysUpTime.0 stands still (the counters go on), or moves again.
    void freezeClock(bool frozen);
    // While held, uptime() stays at what it was when the hold began.
    void holdClock(bool held);

    std::vector<Port>& ports() { return m_ports; }
    void setLink(int ifIndex, bool up, uint32_t nowTicks);

private:
    void addCard(int slot, const std::string& type);
    void addPort(const std::string& descr, int32_t type, uint32_t speed);

    ChassisOptions m_opt;
    std::mt19937 m_rng;
    uint64_t m_startMs;
    std::optional<uint32_t> m_frozenUptime; // what sysUpTime.0 says while frozen
    std::optional<uint32_t> m_heldUptime;   // uptime() during one answer
    std::vector<Port> m_ports;
    std::vector<Module> m_modules;
    std::vector<std::pair<int, int32_t>> m_power; // {index, type}
    std::vector<std::function<void(uint32_t)>> m_followers;

    std::string m_sysDescr = "Talvex 8010 modular Ethernet switch, firmware 3.2.7";
    std::string m_sysContact = "noc@example.net";
    std::string m_sysName = "talvex-sim";
    std::string m_sysLocation = "Lab rack 4";
    int32_t m_sysServices = 78;
    int32_t m_cpu[3] = {12, 10, 9};
    int32_t m_memCurrent = 41, m_memLowest = 35, m_memLargest = 58;
};

} // namespace sim
