#include "sim/iptables.h"

#include <array>

namespace sim {

namespace {

using Ip = std::array<uint8_t, 4>;

// entry.column, then the instance: the prefix (an ifIndex, or nothing) and the address.
ber::Oid instance(const char* entry, uint32_t column, std::initializer_list<uint32_t> prefix,
                  const Ip& ip) {
    ber::Oid oid;
    ber::parseOid(entry, oid);
    oid.push_back(column);
    oid.insert(oid.end(), prefix);
    oid.insert(oid.end(), ip.begin(), ip.end());
    return oid;
}

ber::Value ipValue(const Ip& ip) {
    return ber::Value::makeIp(ip[0], ip[1], ip[2], ip[3]);
}

void add(Mib& mib, ber::Oid oid, ber::Value value) {
    mib.add(oid, [value = std::move(value)] { return value; });
}

// The interfaces the chassis routes on: management port A, the VLAN interface and the first
// 10G port (the last front-panel port when no 10G card is fitted).
struct Interfaces {
    int management = 1, vlan = 1, uplink = 1;
};

Interfaces interfaces(const std::vector<Port>& ports) {
    Interfaces i;
    const Port* uplink = nullptr;
    for (const Port& p : ports) {
        if (p.descr == "Vlan1") i.vlan = p.ifIndex;
        if (p.descr.find('/') == std::string::npos) continue; // not a front-panel port
        if (!uplink || uplink->speed != 4294967295u) uplink = &p;
    }
    if (!ports.empty()) i.management = ports.front().ifIndex;
    if (uplink) i.uplink = uplink->ifIndex;
    return i;
}

std::string mac(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f) {
    return std::string{char(a), char(b), char(c), char(d), char(e), char(f)};
}

} // namespace

void PublishIpTables(Mib& mib, const std::vector<Port>& ports) {
    const Interfaces at = interfaces(ports);

    // ipNetToMediaTable, instance ifIndex.address; types 1 other, 2 invalid, 3 dynamic, 4 static.
    struct Neighbour {
        int ifIndex;
        Ip ip;
        std::string mac;
        int32_t type;
    };
    const Neighbour neighbours[] = {
        {at.management, {192, 168, 100, 10}, mac(0x00, 0x0C, 0x29, 0x4F, 0x8E, 0x35), 3},
        {at.management, {192, 168, 100, 254}, mac(0x00, 0x1B, 0x21, 0x0A, 0x11, 0xFE), 4},
        {at.vlan, {10, 20, 0, 5}, mac(0x3C, 0x52, 0x82, 0x10, 0x00, 0x05), 3},
        {at.vlan, {10, 20, 0, 17}, mac(0x3C, 0x52, 0x82, 0x10, 0x00, 0x11), 3},
        {at.vlan, {10, 20, 0, 99}, mac(0x3C, 0x52, 0x82, 0x10, 0x00, 0x63), 2},
        {at.vlan, {10, 20, 1, 40}, mac(0xF4, 0x8E, 0x38, 0x21, 0x01, 0x28), 3},
        {at.vlan, {10, 20, 0, 250}, mac(0x00, 0x00, 0x5E, 0x00, 0x01, 0x01), 1},
        {at.vlan, {10, 20, 0, 254}, mac(0x00, 0x1B, 0x21, 0x0A, 0x14, 0xFE), 4},
        {at.uplink, {172, 16, 4, 2}, mac(0x00, 0x25, 0x90, 0xA1, 0x04, 0x02), 3},
    };
    for (const Neighbour& n : neighbours) {
        auto column = [&](uint32_t c) {
            return instance("1.3.6.1.2.1.4.22.1", c, {uint32_t(n.ifIndex)}, n.ip);
        };
        add(mib, column(1), ber::Value::makeInteger(n.ifIndex));
        add(mib, column(2), ber::Value::makeOctets(n.mac));
        add(mib, column(3), ipValue(n.ip));
        add(mib, column(4), ber::Value::makeInteger(n.type));
    }

    // ipRouteTable, instance the destination; types 3 direct, 4 indirect; protocols 2 local,
    // 3 netmgmt, 8 rip, 13 ospf, and two the page calls "other": 1 and 15, a number newer
    // than the table's enumeration.
    struct Route {
        Ip dest, mask, nextHop;
        int ifIndex;
        int32_t type, proto, age, metric1;
    };
    const Ip uplinkPeer{172, 16, 4, 2};
    const Route routes[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}, uplinkPeer, at.uplink, 4, 3, 86400, 1},
        {{10, 20, 0, 0}, {255, 255, 0, 0}, {10, 20, 0, 1}, at.vlan, 3, 2, 0, 0},
        {{10, 30, 0, 0}, {255, 255, 0, 0}, uplinkPeer, at.uplink, 4, 13, 3720, 20},
        {{10, 31, 8, 0}, {255, 255, 248, 0}, uplinkPeer, at.uplink, 4, 13, 3720, 30},
        {{10, 40, 0, 0}, {255, 255, 0, 0}, uplinkPeer, at.uplink, 4, 15, 600, 2},
        {{10, 50, 0, 0}, {255, 255, 0, 0}, {10, 20, 0, 254}, at.vlan, 4, 1, 1200, 1},
        {{10, 60, 0, 0}, {255, 255, 0, 0}, {10, 20, 0, 254}, at.vlan, 4, 8, 25, 3},
        {{172, 16, 4, 0}, {255, 255, 255, 252}, {172, 16, 4, 1}, at.uplink, 3, 2, 0, 0},
        {{192, 168, 100, 0}, {255, 255, 255, 0}, {192, 168, 100, 1}, at.management, 3, 2, 0, 0},
    };
    for (const Route& r : routes) {
        auto column = [&](uint32_t c) { return instance("1.3.6.1.2.1.4.21.1", c, {}, r.dest); };
        add(mib, column(1), ipValue(r.dest));
        add(mib, column(2), ber::Value::makeInteger(r.ifIndex));
        add(mib, column(3), ber::Value::makeInteger(r.metric1));
        for (uint32_t c : {4u, 5u, 6u, 12u}) // metrics 2 to 5: not used by the protocol
            add(mib, column(c), ber::Value::makeInteger(-1));
        add(mib, column(7), ipValue(r.nextHop));
        add(mib, column(8), ber::Value::makeInteger(r.type));
        add(mib, column(9), ber::Value::makeInteger(r.proto));
        add(mib, column(10), ber::Value::makeInteger(r.age));
        add(mib, column(11), ipValue(r.mask));
        add(mib, column(13), ber::Value::makeOid({0, 0}));
    }
}

} // namespace sim
