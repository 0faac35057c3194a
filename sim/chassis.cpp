#include "sim/chassis.h"

#include "sim/notify.h"

#include "sim/stp.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace sim {

namespace {

ber::Oid O(const char* text) {
    ber::Oid oid;
    if (!ber::parseOid(text, oid))
        throw std::logic_error(text);
    return oid;
}

uint64_t steadyMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Reader octets(const std::string& s) {
    return [&s] { return ber::Value::makeOctets(s); };
}
Reader integer(const int32_t& v) {
    return [&v] { return ber::Value::makeInteger(v); };
}
Reader counter(const uint32_t& v) {
    return [&v] { return ber::Value::makeUnsigned(ber::Counter32, v); };
}

struct CardKind {
    const char* type;
    int ports;
    uint32_t speed;
    const char* media; // prefix of the port description
    const char* abbreviation;
};

// The nine module types the panel knows, with their port count and speed.
const CardKind kCards[] = {
    {"SUP-1", 2, 1000000000u, "Management", "MG"},    {"SUP-2", 2, 1000000000u, "Management", "MG"},
    {"LC-A48", 48, 100000000u, "FastEthernet", "FE"}, {"LC-A48E", 48, 1000000000u, "GigabitEthernet", "GE"},
    {"LC-A24", 24, 100000000u, "FastEthernet", "FE"}, {"LC-A24E", 24, 1000000000u, "GigabitEthernet", "GE"},
    {"LC-F24", 24, 1000000000u, "GigabitFiber", "GF"}, {"LC-X2", 2, 4294967295u, "TenGigabit", "XE"},
    {"LC-X4", 4, 4294967295u, "TenGigabit", "XE"},
};

const CardKind* card(const std::string& type) {
    for (const CardKind& c : kCards)
        if (type == c.type)
            return &c;
    return nullptr;
}

} // namespace

Chassis::Chassis(const ChassisOptions& opt) : m_opt(opt), m_rng(opt.seed), m_startMs(steadyMs()) {
    // Supervisors sit in module rows 0 and 9; their ports carry no slot/port number.
    m_modules.push_back({0, "SUP-1"});
    m_modules.push_back({9, "SUP-2"});
    addPort("Management port A", 6, 1000000000u);
    addPort("Management port B", 6, 1000000000u);
    if (opt.full) {
        const char* fill[] = {"LC-A48E", "LC-A48", "LC-A48E", "LC-A48", "LC-A48E", "LC-A48", "LC-A48E", "LC-A48"};
        for (int slot = 1; slot <= 8; ++slot)
            addCard(slot, fill[slot - 1]);
    } else {
        addCard(1, "LC-A48");
        addCard(2, "LC-A24E");
        addCard(3, "LC-F24");
        addCard(4, "LC-X4");
        // slot 5 empty
        addCard(6, "LC-A24");
        addCard(7, "LC-X2");
        // slot 8 empty
    }
    addPort("Loopback", 24, 0);
    addPort("Vlan1", 136, 1000000000u);
    for (int i = 0; i < opt.extraRows; ++i)
        addPort("Virtual interface " + std::to_string(i + 1), 53, 0);
    m_power = {{1, 1}, {2, 2}};

    // A few ports start administratively down, most have a cable.
    for (Port& p : m_ports) {
        if (p.ifIndex % 11 == 5)
            p.admin = 2;
        bool cable = (m_rng() % 4) != 0 || p.type != 6;
        p.oper = p.admin == 1 && cable ? 1 : 2;
    }
}

void Chassis::addCard(int slot, const std::string& type) {
    const CardKind* k = card(type);
    if (!k)
        return;
    m_modules.push_back({slot, type});
    // The panel splits a description at its first blank and then at "/"; the port
    // configuration dialog lists the descriptions that say "Physical port".
    const std::string prefix =
        m_opt.physicalDescr ? std::string("Physical port ") + k->abbreviation + " " : std::string(k->media) + " ";
    for (int n = 1; n <= k->ports; ++n)
        addPort(prefix + std::to_string(slot) + "/" + std::to_string(n), 6, k->speed);
}

void Chassis::addPort(const std::string& descr, int32_t type, uint32_t speed) {
    Port p;
    p.ifIndex = int(m_ports.size()) + 1;
    p.descr = descr;
    p.type = type;
    p.speed = speed;
    uint32_t i = uint32_t(p.ifIndex);
    p.mac = std::string{char(0x00), char(0x1A), char(0x2B), char(0x3C), char(i >> 8), char(i & 0xFF)};
    if (type == 24)
        p.mac.clear();
    m_ports.push_back(std::move(p));
}

uint32_t Chassis::uptime() const {
    if (m_heldUptime) return *m_heldUptime;
    return uint32_t((steadyMs() - m_startMs) / 10);
}

void Chassis::restart(uint32_t upTicks) {
    m_startMs = steadyMs() - uint64_t(upTicks) * 10;
    for (Port& p : m_ports)
        p.lastChange = 0;
}

void Chassis::holdClock(bool held) {
    m_heldUptime.reset();
    if (held) m_heldUptime = uptime();
}

void Chassis::freezeClock(bool frozen) {
    m_frozenUptime = frozen ? std::optional<uint32_t>(uptime()) : std::nullopt;
}

void Chassis::setLink(int ifIndex, bool up, uint32_t nowTicks) {
    for (Port& p : m_ports)
        if (p.ifIndex == ifIndex) {
            int32_t oper = up && p.admin == 1 ? 1 : 2;
            const bool changed = oper != p.oper;
            if (changed) p.lastChange = nowTicks;
            p.oper = oper;
            if (Notifier* n = CurrentNotifier(); n && changed) n->linkChanged(p);
        }
}

void Chassis::tick(uint32_t nowTicks) {
    for (auto& follow : m_followers)
        follow(nowTicks);
    if (!m_opt.live)
        return;
    auto walk = [this](int32_t& v, int lo, int hi) {
        v += int32_t(m_rng() % 7) - 3;
        v = std::clamp(v, lo, hi);
    };
    walk(m_cpu[0], 1, 99);
    m_cpu[1] += (m_cpu[0] - m_cpu[1]) / 4;
    m_cpu[2] += (m_cpu[1] - m_cpu[2]) / 8;
    walk(m_memCurrent, 20, 90);
    m_memLowest = std::min(m_memLowest, m_memCurrent);
    m_memLargest = std::max(m_memLargest, m_memCurrent);
    for (Port& p : m_ports) {
        if (p.type == 6 && p.admin == 1 && m_rng() % 200 == 0)
            setLink(p.ifIndex, p.oper != 1, nowTicks);
        if (p.oper == 1 && !p.driven) {
            uint32_t octets = p.speed / 8 / 200 * (1 + m_rng() % 50) / 50;
            p.inOctets += octets;
            p.outOctets += octets / 2;
            p.inPkts += octets / 700 + 1;
            p.outPkts += octets / 1400 + 1;
        }
    }
}

void Chassis::publish(Mib& mib) {
    // MIB-II system group
    const ber::Oid sys = O("1.3.6.1.2.1.1");
    mib.add(child(sys, {1, 0}), octets(m_sysDescr));
    mib.add(child(sys, {2, 0}), [] { return ber::Value::makeOid(O("1.3.6.1.4.1.58213.10.97.1")); });
    mib.add(child(sys, {3, 0}),
            [this] { return ber::Value::makeUnsigned(ber::TimeTicks, m_frozenUptime.value_or(uptime())); });
    mib.add(child(sys, {4, 0}), octets(m_sysContact), octetWriter(m_sysContact, 255));
    mib.add(child(sys, {5, 0}), octets(m_sysName), octetWriter(m_sysName, 255));
    mib.add(child(sys, {6, 0}), octets(m_sysLocation), octetWriter(m_sysLocation, 255));
    mib.add(child(sys, {7, 0}), integer(m_sysServices));

    // interfaces
    mib.add(O("1.3.6.1.2.1.2.1.0"), [this] { return ber::Value::makeInteger(int32_t(m_ports.size())); });
    const ber::Oid entry = O("1.3.6.1.2.1.2.2.1");
    for (Port& p : m_ports) {
        uint32_t i = uint32_t(p.ifIndex);
        auto col = [&](uint32_t c) { return child(entry, {c, i}); };
        mib.add(col(1), [&p] { return ber::Value::makeInteger(p.ifIndex); });
        mib.add(col(2), octets(p.descr));
        mib.add(col(3), integer(p.type));
        mib.add(col(4), [&p] { return ber::Value::makeInteger(p.type == 24 ? 65535 : 1500); });
        mib.add(col(5), [&p] { return ber::Value::makeUnsigned(ber::Gauge32, p.speed); });
        mib.add(col(6), octets(p.mac));
        mib.add(col(7), integer(p.admin), [this, &p](const ber::Value& v, bool commit) -> int32_t {
            if (v.type != ber::Integer)
                return ber::WrongType;
            if (v.integer < 1 || v.integer > 3)
                return ber::WrongValue;
            if (commit) {
                p.admin = int32_t(v.integer);
                int32_t oper = p.admin == 1 ? (p.type == 6 ? 1 : p.oper) : 2;
                const bool changed = oper != p.oper;
                if (changed) p.lastChange = uptime();
                p.oper = oper;
                if (Notifier* n = CurrentNotifier(); n && changed) n->linkChanged(p);
            }
            return ber::NoError;
        });
        mib.add(col(8), integer(p.oper));
        mib.add(col(9), [&p] { return ber::Value::makeUnsigned(ber::TimeTicks, p.lastChange); });
        mib.add(col(10), counter(p.inOctets));
        mib.add(col(11), counter(p.inPkts));
        for (uint32_t c : {12u, 13u, 14u, 15u, 18u, 19u, 20u})
            mib.add(col(c), [] { return ber::Value::makeUnsigned(ber::Counter32, 0); });
        mib.add(col(16), counter(p.outOctets));
        mib.add(col(17), counter(p.outPkts));
        mib.add(col(21), [] { return ber::Value::makeUnsigned(ber::Gauge32, 0); });
        mib.add(col(22), [] { return ber::Value::makeOid({0, 0}); });
    }

    // ifXTable's ifHighSpeed (RFC 2863), in Mbit/s: it carries what ifSpeed cannot past
    // 4294967295 bit/s, where the ten-gigabit ports stop.
    const ber::Oid xEntry = O("1.3.6.1.2.1.31.1.1.1");
    for (Port& p : m_ports)
        mib.add(child(xEntry, {15, uint32_t(p.ifIndex)}), [&p] {
            const uint32_t mbits = p.speed == 4294967295u ? 10000u : p.speed / 1000000u;
            return ber::Value::makeUnsigned(ber::Gauge32, mbits);
        });

    // Private: CPU load over 5 s, 1 min, 5 min
    const ber::Oid cpu = O("1.3.6.1.4.1.58213.10.97.2.36.1.1");
    for (uint32_t k = 0; k < 3; ++k)
        mib.add(child(cpu, {k + 1, 0}), integer(m_cpu[k]));

    // Private: memory pool 1
    const ber::Oid mem = O("1.3.6.1.4.1.58213.10.97.2.35.1.1.1");
    mib.add(child(mem, {1, 0}), [] { return ber::Value::makeInteger(1); });
    mib.add(child(mem, {2, 0}), [] { return ber::Value::makeOctets("DRAM"); });
    mib.add(child(mem, {3, 0}), integer(m_memCurrent));
    mib.add(child(mem, {4, 0}), integer(m_memLowest));
    mib.add(child(mem, {5, 0}), integer(m_memLargest));

    // Private: device information
    const ber::Oid dev = O("1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1");
    mib.add(child(dev, {2, 1}), [] { return ber::Value::makeOctets("Talvex 8010 chassis switch"); });
    mib.add(child(dev, {5, 1}), [] {
        return ber::Value::makeOctets(std::string{char(0x00), char(0x1A), char(0x2B), char(0x3C), char(0x00), char(0x01)});
    });
    mib.add(child(dev, {8, 1}), [] { return ber::Value::makeOctets("3.2.7"); });
    mib.add(child(dev, {9, 1}), [] { return ber::Value::makeOctets("B.04"); });

    // Private: module types, instance 1.<row index>; power supplies, instance 1.<index>
    const ber::Oid modType = O("1.3.6.1.4.1.58213.10.97.2.21.1.3.1.3");
    for (Module& m : m_modules)
        mib.add(child(modType, {1, uint32_t(m.rowIndex)}), octets(m.type));
    const ber::Oid power = O("1.3.6.1.4.1.58213.10.97.2.21.1.5.1.3");
    for (auto& [index, type] : m_power)
        mib.add(child(power, {1, uint32_t(index)}), integer(type));

    PublishStp(*this, mib);
}

} // namespace sim
