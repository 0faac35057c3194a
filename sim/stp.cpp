#include "sim/stp.h"

#include "sim/notify.h"

#include <algorithm>
#include <memory>

namespace sim {

namespace {

// An object of the bridge MIB's dot1dStp group (1.3.6.1.2.1.17.2).
ber::Oid stpOid(std::initializer_list<uint32_t> rest) {
    ber::Oid oid{1, 3, 6, 1, 2, 1, 17, 2};
    oid.insert(oid.end(), rest);
    return oid;
}

enum : int32_t { Disabled = 1, Blocking = 2, Listening = 3, Learning = 4, Forwarding = 5 };
enum class Role { Disabled, Root, Designated, Alternate };

// A bridge identifier: priority (big-endian) and MAC address, compared as octets.
std::string bridgeId(uint16_t priority, const std::string& mac) {
    return std::string{char(priority >> 8), char(priority & 0xFF)} + mac;
}

std::string portId(uint16_t id) {
    return std::string{char(id >> 8), char(id & 0xFF)};
}

const std::string kOwnMac{char(0x00), char(0x1A), char(0x2B), char(0x3C), char(0x00), char(0x01)};
const std::string kRootId = bridgeId(4096, {char(0x00), char(0x1A), char(0x2B), char(0x5D), char(0x00), char(0x01)});
const std::string kNeighbourId =
    bridgeId(32768, {char(0x00), char(0x1A), char(0x2B), char(0x5D), char(0x00), char(0x02)});
constexpr int32_t kRootMaxAge = 2000, kRootHello = 200, kRootForwardDelay = 1500;
constexpr int32_t kNeighbourCost = 4;

// The 802.1D-1998 recommended path cost for a link speed.
int32_t pathCost(uint32_t speed) {
    if (speed >= 4000000000u)
        return 2;
    if (speed >= 1000000000u)
        return 4;
    if (speed >= 100000000u)
        return 19;
    return 100;
}

struct StpPort {
    Port* port; // its ifIndex is the bridge port number
    int32_t priority = 128;
    int32_t enable = 1;
    int32_t pathCost = 19;
    uint32_t enabledAt = 0; // ticks of the last enabling; 0: enabled since start
    uint32_t transitions = 0;
    uint32_t countedSince = ~0u; // the start of the last way to forwarding counted in transitions
};

class Bridge {
public:
    explicit Bridge(Chassis& chassis) : m_chassis(chassis) {
        for (Port& p : chassis.ports())
            if (p.type == 6 && p.descr.find('/') != std::string::npos) // not the supervisors' ports
                m_ports.push_back({&p, 128, 1, pathCost(p.speed)});
    }

    void publish(Mib& mib);
    int32_t checkTimers(const std::vector<ber::VarBind>& bindings, size_t& index) const;

private:
    uint32_t now() const { return std::max(m_chassis.uptime(), 1u); }
    std::string ownId() const { return bridgeId(uint16_t(m_priority), kOwnMac); }
    bool active(const StpPort& p) const { return p.enable == 1 && p.port->oper == 1; }
    const StpPort* rootPort() const {
        if (ownId() < kRootId)
            return nullptr;
        for (const StpPort& p : m_ports)
            if (active(p))
                return &p;
        return nullptr;
    }
    std::string rootId() const { return rootPort() ? kRootId : ownId(); }
    int32_t rootCost() const {
        const StpPort* root = rootPort();
        return root ? root->pathCost : 0;
    }
    Role role(const StpPort& p) const {
        if (!active(p))
            return Role::Disabled;
        const StpPort* root = rootPort();
        if (&p == root)
            return Role::Root;
        return root && p.port->ifIndex % 7 == 3 ? Role::Alternate : Role::Designated;
    }
    int32_t forwardDelay() const { return rootPort() ? kRootForwardDelay : m_forwardDelay; }
    int32_t maxAge() const { return rootPort() ? kRootMaxAge : m_maxAge; }
    int32_t helloTime() const { return rootPort() ? kRootHello : m_helloTime; }

    // Where the port's way to forwarding started: its enabling or its link coming up.
    uint32_t since(const StpPort& p) const { return std::max(p.enabledAt, p.port->lastChange); }
    int32_t state(StpPort& p) {
        switch (role(p)) {
        case Role::Disabled:
            return Disabled;
        case Role::Alternate:
            return Blocking;
        default:
            break;
        }
        const uint32_t start = since(p);
        const uint32_t delay = uint32_t(forwardDelay());
        int32_t s = start == 0 || now() - start >= 2 * delay ? Forwarding
                    : now() - start >= delay                 ? Learning
                                                             : Listening;
        if (s == Forwarding && p.countedSince != start) {
            p.countedSince = start;
            ++p.transitions;
            if (start != 0)
                topologyChange(start + 2 * delay);
        }
        return s;
    }
    void settle() {
        for (StpPort& p : m_ports)
            state(p);
    }
    void topologyChange(uint32_t at) {
        ++m_topChanges;
        m_lastChange = std::max(m_lastChange, at);
        if (Notifier* n = CurrentNotifier()) n->topologyChanged();
    }

    int32_t setEnable(StpPort& p, const ber::Value& v, bool commit);

    Chassis& m_chassis;
    std::vector<StpPort> m_ports; // never resized: the nodes refer to its elements
    int32_t m_priority = 32768;
    int32_t m_maxAge = 2000, m_helloTime = 200, m_forwardDelay = 1500;
    uint32_t m_topChanges = 0;
    uint32_t m_lastChange = 0;
};

int32_t Bridge::setEnable(StpPort& p, const ber::Value& v, bool commit) {
    if (int32_t err = integerWriter(p.enable, 1, 2)(v, false))
        return err;
    if (!commit || v.integer == p.enable)
        return ber::NoError;
    if (v.integer == 2 && state(p) == Forwarding)
        topologyChange(now());
    p.enable = int32_t(v.integer);
    if (p.enable == 1)
        p.enabledAt = now();
    return ber::NoError;
}

int32_t Bridge::checkTimers(const std::vector<ber::VarBind>& bindings, size_t& index) const {
    int32_t maxAge = m_maxAge, hello = m_helloTime, delay = m_forwardDelay;
    int32_t* targets[] = {&maxAge, &hello, &delay}; // columns 12, 13, 14
    bool any = false;
    for (size_t i = 0; i < bindings.size(); ++i)
        for (uint32_t c = 12; c <= 14; ++c)
            if (bindings[i].oid == stpOid({c, 0})) {
                if (!any)
                    index = i;
                any = true;
                *targets[c - 12] = int32_t(bindings[i].value.integer);
            }
    if (any && !(2 * (delay - 100) >= maxAge && maxAge >= 2 * (hello + 100)))
        return ber::InconsistentValue;
    return ber::NoError;
}

void Bridge::publish(Mib& mib) {
    auto integer = [](auto get) { return [get] { return ber::Value::makeInteger(get()); }; };
    auto scalar = [&](uint32_t c) { return stpOid({c, 0}); };
    mib.add(scalar(1), [] { return ber::Value::makeInteger(3); }); // ieee8021d
    Writer priority = integerWriter(m_priority, 0, 65535);
    mib.add(scalar(2), integer([this] { return m_priority; }), [this, priority](const ber::Value& v, bool commit) {
        const bool wasRoot = !rootPort();
        int32_t err = priority(v, commit);
        if (commit && wasRoot != !rootPort())
            topologyChange(now());
        return err;
    });
    mib.add(scalar(3), [this] {
        settle();
        return ber::Value::makeUnsigned(ber::TimeTicks, now() - std::min(m_lastChange, now()));
    });
    mib.add(scalar(4), [this] {
        settle();
        return ber::Value::makeUnsigned(ber::Counter32, m_topChanges);
    });
    mib.add(scalar(5), [this] { return ber::Value::makeOctets(rootId()); });
    mib.add(scalar(6), integer([this] { return rootCost(); }));
    mib.add(scalar(7), integer([this] { return rootPort() ? rootPort()->port->ifIndex : 0; }));
    mib.add(scalar(8), integer([this] { return maxAge(); }));
    mib.add(scalar(9), integer([this] { return helloTime(); }));
    mib.add(scalar(10), [] { return ber::Value::makeInteger(100); });
    mib.add(scalar(11), integer([this] { return forwardDelay(); }));
    mib.add(scalar(12), integer([this] { return m_maxAge; }), integerWriter(m_maxAge, 600, 4000));
    mib.add(scalar(13), integer([this] { return m_helloTime; }), integerWriter(m_helloTime, 100, 1000));
    mib.add(scalar(14), integer([this] { return m_forwardDelay; }), integerWriter(m_forwardDelay, 400, 3000));

    for (StpPort& p : m_ports) {
        auto col = [&](uint32_t c) { return stpOid({15, 1, c, uint32_t(p.port->ifIndex)}); };
        mib.add(col(1), integer([&p] { return p.port->ifIndex; }));
        mib.add(col(2), integer([&p] { return p.priority; }), integerWriter(p.priority, 0, 255));
        mib.add(col(3), integer([this, &p] { return state(p); }));
        mib.add(col(4), integer([&p] { return p.enable; }),
                [this, &p](const ber::Value& v, bool commit) { return setEnable(p, v, commit); });
        mib.add(col(5), integer([&p] { return p.pathCost; }), integerWriter(p.pathCost, 1, 65535));
        mib.add(col(6), [this] { return ber::Value::makeOctets(rootId()); });
        mib.add(col(7), integer([this, &p] {
                    const Role r = role(p);
                    return r == Role::Root ? 0 : r == Role::Alternate ? kNeighbourCost : rootCost();
                }));
        mib.add(col(8), [this, &p] {
            const Role r = role(p);
            return ber::Value::makeOctets(r == Role::Root ? kRootId : r == Role::Alternate ? kNeighbourId : ownId());
        });
        mib.add(col(9), [this, &p] {
            const Role r = role(p);
            const uint16_t own = uint16_t((p.priority >> 4) << 12 | (p.port->ifIndex & 0xFFF));
            return ber::Value::makeOctets(portId(r == Role::Root || r == Role::Alternate ? 0x8001 : own));
        });
        mib.add(col(10), [this, &p] {
            state(p);
            return ber::Value::makeUnsigned(ber::Counter32, p.transitions);
        });
    }
}

} // namespace

void PublishStp(Chassis& chassis, Mib& mib) {
    // The set check owns the bridge: the mib keeps it as long as it lives, and with it the
    // bridge its nodes refer to.
    auto bridge = std::make_shared<Bridge>(chassis);
    bridge->publish(mib);
    mib.addSetCheck(
        [bridge](const std::vector<ber::VarBind>& b, size_t& index) { return bridge->checkTimers(b, index); });
}

} // namespace sim
