// Agent addresses as an operator writes them: a dotted IPv4 address, an IPv6 literal or a host
// name. A program resolves the name once, when it starts, and builds every session from the
// numeric address it got, so that a name that stops resolving later changes nothing.
#pragma once

#include "qvsnmp/format.h"

#include <QString>

#include <netinet/in.h>

#include <string>

// Whether text is a dotted IPv4 address or an IPv6 literal, the two forms a session takes.
QVSNMP_EXPORT bool IsAgentLiteral(const QString& text);

// The numeric address text names: a literal as it is, a host name looked up (its first IPv4
// address, else its first IPv6 address). Empty when nothing usable comes of it, and why says
// what was wrong in words an operator reads. Under TALVEX_LOOPBACK_ONLY names are looked up in
// the hosts file only, never asked of a name server, which lies outside loopback.
QVSNMP_EXPORT QString ResolveAgentAddress(const QString& text, QString* why = nullptr);

namespace qvsnmp {

// An agent's socket address and its key, "[address]:port", the one name by which the
// sessions toward an agent share what they learn of it. Private to the library.
struct AgentAddress {
    sockaddr_storage socket{};
    socklen_t length = 0; // 0: the text was no literal
    std::string key;
    bool valid() const { return length != 0; }
    // Whether a datagram from `from` comes from this agent.
    bool is(const sockaddr_storage& from, socklen_t fromLength) const;
};

// The agent at a dotted IPv4 address or an IPv6 literal and port; not valid for anything else.
AgentAddress agentAt(const QString& address, quint16 port);
// TALVEX_LOOPBACK_ONLY (set for every test run): nothing is addressed outside 127.0.0.0/8 and
// ::1.
bool loopbackOnly();
// Under loopbackOnly(), a session toward anything else ends the process at once, so that a test
// can never send a datagram that leaves this machine.
void refuseOutsideLoopback(const QString& address, const AgentAddress& agent);

} // namespace qvsnmp
