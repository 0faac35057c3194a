#include "sim/mib.h"

namespace sim {

void Mib::add(const ber::Oid& oid, Reader read, Writer write) {
    std::unique_ptr<Node>& slot = m_nodes[oid];
    retire(std::move(slot));
    slot = std::make_unique<Node>(Node{std::move(read), std::move(write)});
}

void Mib::remove(const ber::Oid& oid) {
    auto it = m_nodes.find(oid);
    if (it == m_nodes.end())
        return;
    retire(std::move(it->second));
    m_nodes.erase(it);
}

void Mib::removeBelow(const ber::Oid& prefix) {
    auto it = m_nodes.lower_bound(prefix);
    while (it != m_nodes.end() && ber::oidStartsWith(it->first, prefix)) {
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

bool Mib::objectExists(const ber::Oid& oid) const {
    if (oid.size() < 2)
        return false;
    ber::Oid parent(oid.begin(), oid.end() - 1);
    auto it = m_nodes.upper_bound(parent);
    return it != m_nodes.end() && ber::oidStartsWith(it->first, parent);
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
