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
#include <map>

namespace sim {

// Checks a proposed value (commit false) or stores it (commit true); returns an error status
// in v2c terms, 0 when the value is acceptable.
using Writer = std::function<int32_t(const ber::Value&, bool commit)>;
using Reader = std::function<ber::Value()>;

struct Node {
    Reader read;
    Writer write; // empty: not writable
};

class Mib {
public:
    void add(const ber::Oid& oid, Reader read, Writer write = {});
    void remove(const ber::Oid& oid);
    // Removes every instance below prefix.
    void removeBelow(const ber::Oid& prefix);

    const Node* find(const ber::Oid& oid) const;
    // The first instance after oid, with its OID; null at the end of the tree.
    const Node* next(const ber::Oid& oid, ber::Oid& found) const;
    // Whether oid is or lies below an object with an instance: a get of it answers
    // noSuchInstance, not noSuchObject.
    bool objectExists(const ber::Oid& oid) const;
    // Whether oid is or lies below an object with a writable instance: a set of it answers
    // noCreation, not notWritable.
    bool writableObjectExists(const ber::Oid& oid) const;
    size_t size() const { return m_nodes.size(); }

private:
    struct Object {
        size_t instances = 0;
        size_t writable = 0;
    };
    void count(const ber::Oid& instance, const Node& node, int step);
    bool anyObjectAbove(const ber::Oid& oid, bool writable) const;

    std::map<ber::Oid, Node> m_nodes;
    std::map<ber::Oid, Object> m_objects;
};

// Writers for the common cases.
Writer octetWriter(std::string& target, size_t maxLen);
Writer integerWriter(int32_t& target, int32_t min, int32_t max);

} // namespace sim
