#include "sim/mib.h"

namespace sim {

void Mib::count(const ber::Oid& instance, const Node& node, int step) {
    if (instance.empty())
        return;
    ber::Oid object(instance.begin(), instance.end() - 1);
    Object& o = m_objects[object];
    o.instances += size_t(step);
    if (node.write)
        o.writable += size_t(step);
    if (o.instances == 0)
        m_objects.erase(object);
}

void Mib::add(const ber::Oid& oid, Reader read, Writer write) {
    std::unique_ptr<Node>& slot = m_nodes[oid];
    if (slot)
        count(oid, *slot, -1);
    retire(std::move(slot));
    slot = std::make_unique<Node>(Node{std::move(read), std::move(write)});
    count(oid, *slot, +1);
}

void Mib::remove(const ber::Oid& oid) {
    auto it = m_nodes.find(oid);
    if (it == m_nodes.end())
        return;
    count(oid, *it->second, -1);
    retire(std::move(it->second));
    m_nodes.erase(it);
}

void Mib::removeBelow(const ber::Oid& prefix) {
    auto it = m_nodes.lower_bound(prefix);
    while (it != m_nodes.end() && ber::oidStartsWith(it->first, prefix)) {
        count(it->first, *it->second, -1);
        retire(std::move(it->second));
        it = m_nodes.erase(it);
    }
}

void Mib::addCreatable(const ber::Oid& prefix, Maker make) {
    m_makers.emplace_back(prefix, std::move(make));
}

void Mib::retire(std::unique_ptr<Node> node) const {
    if (node)
        m_spent.push_back(std::move(node));
}

void Mib::addSetEnd(std::function<void()> end) {
    m_setEnds.push_back(std::move(end));
}

void Mib::endSet() const {
    for (const auto& end : m_setEnds)
        end();
}

void Mib::settle() {
    m_spent.clear();
}

const Node* Mib::find(const ber::Oid& oid) const {
    auto it = m_nodes.find(oid);
    if (it != m_nodes.end())
        return it->second.get();
    for (const auto& [prefix, make] : m_makers) {
        if (!ber::oidStartsWith(oid, prefix))
            continue;
        if (std::optional<Node> made = make(oid)) {
            m_spent.push_back(std::make_unique<Node>(std::move(*made)));
            return m_spent.back().get();
        }
    }
    return nullptr;
}

const Node* Mib::next(const ber::Oid& oid, ber::Oid& found) const {
    auto it = m_nodes.upper_bound(oid);
    if (it == m_nodes.end())
        return nullptr;
    found = it->first;
    return it->second.get();
}

// Objects do not nest in a MIB, but instances put by hand may: any object above oid counts.
bool Mib::anyObjectAbove(const ber::Oid& oid, bool writable) const {
    ber::Oid prefix;
    prefix.reserve(oid.size());
    for (uint32_t arc : oid) {
        prefix.push_back(arc);
        auto it = m_objects.find(prefix);
        if (it != m_objects.end() && (!writable || it->second.writable > 0))
            return true;
    }
    return false;
}

bool Mib::objectExists(const ber::Oid& oid) const {
    return anyObjectAbove(oid, false);
}

bool Mib::writableObjectExists(const ber::Oid& oid) const {
    return anyObjectAbove(oid, true);
}

void Mib::addSetCheck(SetCheck check) {
    m_setChecks.push_back(std::move(check));
}

int32_t Mib::checkSet(const std::vector<ber::VarBind>& bindings, size_t& index) const {
    for (const SetCheck& check : m_setChecks)
        if (int32_t err = check(bindings, index))
            return err;
    return ber::NoError;
}

Writer octetWriter(std::string& target, size_t maxLen) {
    return [&target, maxLen](const ber::Value& v, bool commit) -> int32_t {
        if (v.type != ber::OctetString)
            return ber::WrongType;
        if (v.octets.size() > maxLen)
            return ber::WrongLength;
        if (commit)
            target = v.octets;
        return ber::NoError;
    };
}

Writer integerWriter(int32_t& target, int32_t min, int32_t max) {
    return [&target, min, max](const ber::Value& v, bool commit) -> int32_t {
        if (v.type != ber::Integer)
            return ber::WrongType;
        if (v.integer < min || v.integer > max)
            return ber::WrongValue;
        if (commit)
            target = int32_t(v.integer);
        return ber::NoError;
    };
}

} // namespace sim
