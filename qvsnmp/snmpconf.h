// The operator's SNMPv3 credentials file, ${XDG_CONFIG_HOME:-~/.config}/talvex/snmp.conf:
// net-snmp's snmp.conf tokens, in blocks per agent.
//
//     agent 192.0.2.10            (192.0.2.10:1161 for one port only; IPv6 as 2001:db8::a,
//                                  or [2001:db8::a]:1161 with a port)
//         defVersion 3
//         defSecurityName ops
//         defSecurityLevel authPriv
//         defAuthType SHA-256
//         defAuthPassphrase the rest of the line, blanks included
//         defPrivType AES
//         defPrivPassphrase another phrase
//         defContext
//
// Blank lines and lines starting with '#' are skipped. An agent without a block is managed
// with SNMPv2c and its communities, as is one whose block says defVersion 1 or 2c, and so is
// every agent when the file is plainly absent from a folder that passes the check below.
// Anything else at its place that cannot be read (a FIFO, a folder, a symbolic link to
// nothing, a file where a folder should be) is refused, never taken for "no file", and nothing
// is waited on to find out. The file holds passphrases: one that others may read, or that
// belongs to another user, is refused whole, as ssh refuses a private key file; so is one whose
// folders, from its own up to the home folder (links resolved), belong to another user or
// are writable by others, who could otherwise take it away and leave SNMPv2c in its place.
// Every block's user must be one that can be used, whichever agent is looked up. A line that
// cannot be read is named by its number and what was expected, never by its text: it may be
// a passphrase. Passphrases go from the file into pages kept out of core dumps and are never
// written anywhere, error texts included. No Qt.
#pragma once

#include "qvsnmp/usm.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace snmpconf {

// ${XDG_CONFIG_HOME}/talvex/snmp.conf, or ~/.config/talvex/snmp.conf; empty when neither
// XDG_CONFIG_HOME nor HOME is set.
std::string defaultPath();

enum class Status {
    NoEntry, // no file, or no block for the agent: SNMPv2c with the communities
    Found,   // user holds the agent's credentials; version says which SNMP version
    Refused, // why says what is wrong with the file (permissions, a line, a user)
};

struct Entry {
    int version = 3; // 0 (SNMPv1), 1 (SNMPv2c) or 3
    usm::User user;
};

// Text as an error may show it (an argument, a user or context name): control characters and
// bytes beyond ASCII escaped, at most 40 of them.
std::string printable(std::string_view text);

// The block for agent (an IPv4 or IPv6 address) at port in the file at path.
Status lookup(const std::string& path, const std::string& agent, uint16_t port, Entry& entry,
              std::string& why);

} // namespace snmpconf
