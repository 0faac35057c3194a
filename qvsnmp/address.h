// Agent addresses as an operator writes them: a dotted IPv4 address, an IPv6 literal or a host
// name. A program resolves the name once, when it starts, and builds every session from the
// numeric address it got, so that a name that stops resolving later changes nothing.
#pragma once

#include "qvsnmp/qvsnmp.h"

#include <QString>

// Whether text is a dotted IPv4 address or an IPv6 literal, the two forms a session takes.
QVSNMP_EXPORT bool IsAgentLiteral(const QString& text);

// The numeric address text names: a literal as it is, a host name looked up (its first IPv4
// address, else its first IPv6 address). Empty when nothing usable comes of it, and why says
// what was wrong in words an operator reads. Under TALVEX_LOOPBACK_ONLY names are looked up in
// the hosts file only, never asked of a name server, which lies outside loopback.
QVSNMP_EXPORT QString ResolveAgentAddress(const QString& text, QString* why = nullptr);
