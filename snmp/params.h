// Session parameters: process-wide, written only while the program starts.
#pragma once

#include <QString>

#include <memory>

namespace usm {
struct User;
}

extern QString g_strNValue;
extern QString g_strAgentAddress;
extern QString g_strReadCommunity;
extern QString g_strWriteCommunity;
extern int g_bUserRight;
extern QString g_strProxyAddress;

// The agent a module started without an address talks to.
inline constexpr const char* kDefaultAgentAddress = "127.0.0.1";

// The SNMPv3 user the sessions toward the agent use, from the operator's credentials file
// (qvsnmp/snmpconf.h); null: SNMPv2c (or v1) with the communities.
extern std::shared_ptr<const usm::User> g_snmpV3User;
// SNMPv1 (0) or v2c (1) for an agent whose block in the credentials file says so.
extern int g_snmpVersion;

// Reads the credentials file's block for g_strAgentAddress into g_snmpV3User and
// g_snmpVersion. False, with *why, when the file is refused (permissions, a bad line, a user
// that cannot be used): the module must not fall back to communities in clear text then.
bool LoadSnmpCredentials(QString* why);
