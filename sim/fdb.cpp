#include "sim/fdb.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int kOwnRows = 40;

std::string mac(uint32_t high, uint32_t low) {
    return std::string{char(high >> 16), char(high >> 8), char(high),
                       char(low >> 16),  char(low >> 8),  char(low)};
}

} // namespace

ForwardingDb::ForwardingDb(const std::vector<Port>& ports, int rows) {
    std::vector<const Port*> front, up;
    for (const Port& p : ports)
        if (p.descr.find('/') != std::string::npos) { // a front-panel port: "Media slot/port"
            front.push_back(&p);
            if (p.oper == 1) up.push_back(&p);
        }
    if (front.empty()) return;
    if (up.empty()) up = front;
    const size_t want = rows < 0 ? size_t(kOwnRows) : size_t(rows);
    auto add = [&](std::string address, int32_t port, int32_t status) {
        if (m_entries.size() < want) m_entries.push_back({std::move(address), port, status});
    };
    auto ifIndexOr = [&](int ifIndex) { // the port with this ifIndex when it is on the front panel
        for (const Port* p : front)
            if (p->ifIndex == ifIndex) return ifIndex;
        return front.back()->ifIndex;
    };
    // The bridge's own addresses on the first ports of the first two cards.
    const Port* second = front[std::min<size_t>(48, front.size() - 1)];
    add(front[0]->mac, front[0]->ifIndex, 4);
    add(second->mac, second->ifIndex, 4);
    // Configured addresses: two on port 5 (which starts administratively down), one on 50.
    add(mac(0x001B21, 0x0A0501), ifIndexOr(5), 5);
    add(mac(0x001B21, 0x0A0502), ifIndexOr(5), 5);
    add(mac(0x001B21, 0x0A3201), ifIndexOr(50), 5);
    // Learned on ports 15 and 50, whose numbers hold a 5 without being port 5.
    add(mac(0x3C5282, 0x150001), ifIndexOr(15), 3);
    add(mac(0x3C5282, 0x150002), ifIndexOr(15), 3);
    add(mac(0xF48E38, 0x500001), ifIndexOr(50), 3);
    // The rest learned on the ports that have a link; an odd factor keeps the addresses apart.
    for (uint32_t i = 0; m_entries.size() < want; ++i)
        add(mac(0x005056, (i * 0x9E3779u) & 0xFFFFFFu), up[(i * 7) % up.size()]->ifIndex, 3);
}

void ForwardingDb::publish(Mib& mib) {
    ber::Oid entry;
    ber::parseOid("1.3.6.1.2.1.17.4.3.1", entry);
    for (const Entry& e : m_entries) {
        auto column = [&](uint32_t c) {
            ber::Oid oid = entry;
            oid.push_back(c);
            for (char octet : e.mac)
                oid.push_back(uint8_t(octet));
            return oid;
        };
        mib.add(column(1), [v = ber::Value::makeOctets(e.mac)] { return v; });
        mib.add(column(2), [v = ber::Value::makeInteger(e.port)] { return v; });
        mib.add(column(3), [v = ber::Value::makeInteger(e.status)] { return v; });
    }
    ber::Oid aging;
    ber::parseOid("1.3.6.1.2.1.17.4.2.0", aging);
    mib.add(
        aging, [this] { return ber::Value::makeInteger(m_agingTime); },
        integerWriter(m_agingTime, 10, 1000000));
}

} // namespace sim
