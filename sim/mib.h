// The simulated agent's object tree: every instance the agent serves, in OID order, each with
// a reader and, when writable, a writer that first checks and then commits.
//
// An instance's object is its OID without the last arc (sysContact for sysContact.0, ifDescr
// for ifDescr.5): what a missing OID answers depends on whether it lies at or below an object
// of which some instance exists. Objects indexed by more than one arc are therefore seen
// narrower than they are: a missing row of another first index reads as a missing object.
#pragma once

#include "qvsnmp/ber.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

// Checks a proposed value (commit false) or stores it (commit true); returns an error status
// in v2c terms, 0 when the value is acceptable.
using Writer = std::function<int32_t(const ber::Value&, bool commit)>;
using Reader = std::function<ber::Value()>;

struct Node {
    Reader read;
    Writer write; // empty: not writable
};

// A rule across the bindings of one set (a relation between objects), checked once every
// writer has accepted its own value and before any commits: an error status, 0 to let the set
// through; index names the binding to blame.
using SetCheck = std::function<int32_t(const std::vector<ber::VarBind>& bindings, size_t& index)>;

class Mib {
public:
    void add(const ber::Oid& oid, Reader read, Writer write = {});
    void remove(const ber::Oid& oid);
    // Removes every instance below prefix.
    void removeBelow(const ber::Oid& prefix);

    // Instances below prefix that do not exist but that a set may create (a row of a table
    // with a status column): find() answers such an OID with the node make builds for it, or
    // with none when make declines. The node's writer creates the row; its reader answers
    // noSuchInstance, as the instance does not exist.
    using Maker = std::function<std::optional<Node>(const ber::Oid& oid)>;
    void addCreatable(const ber::Oid& prefix, Maker make);
    // A set holds the nodes it writes until its last binding is stored, and a row may delete
    // itself through its status on the way: removed and replaced nodes, and those find()
    // made, stay alive until settle(), which the agent's owner calls between requests.
    void settle();

    const Node* find(const ber::Oid& oid) const;
    // The first instance after oid, with its OID; null at the end of the tree.
    const Node* next(const ber::Oid& oid, ber::Oid& found) const;
    // Whether oid is or lies below an object with an instance: a get of it answers
    // noSuchInstance, not noSuchObject.
    bool objectExists(const ber::Oid& oid) const;
    void addSetCheck(SetCheck check);
    // What a writer noted while checking a set (a row it may create) is forgotten by end once
    // the set is over, committed or refused.
    void addSetEnd(std::function<void()> end);
    void endSet() const;
    // The first error status a set check gives, 0 when all let the set through.
    int32_t checkSet(const std::vector<ber::VarBind>& bindings, size_t& index) const;
    // Whether oid is or lies below an object with a writable instance: a set of it answers
    // noCreation, not notWritable.
    bool writableObjectExists(const ber::Oid& oid) const;
    size_t size() const { return m_nodes.size(); }

private:
    // The instances of one object (an instance's OID less its last arc).
    struct Object {
        size_t instances = 0;
        size_t writable = 0;
    };
    void count(const ber::Oid& instance, const Node& node, int step);
    bool anyObjectAbove(const ber::Oid& oid, bool writable) const;
    void retire(std::unique_ptr<Node> node) const;

    std::map<ber::Oid, std::unique_ptr<Node>> m_nodes;
    std::map<ber::Oid, Object> m_objects;
    std::vector<std::pair<ber::Oid, Maker>> m_makers;
    std::vector<SetCheck> m_setChecks;
    std::vector<std::function<void()>> m_setEnds;
    mutable std::vector<std::unique_ptr<Node>> m_spent;
};

// base followed by rest: an instance below a table entry or a scalar group.
inline ber::Oid child(ber::Oid base, std::initializer_list<uint32_t> rest) {
    base.insert(base.end(), rest);
    return base;
}

// Writers for the common cases.
Writer octetWriter(std::string& target, size_t maxLen);
Writer integerWriter(int32_t& target, int32_t min, int32_t max);

} // namespace sim
