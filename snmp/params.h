// Session parameters: process-wide, written only while the program starts.
#pragma once

#include <QString>

extern QString g_strNValue;
extern QString g_strAgentAddress;
extern QString g_strReadCommunity;
extern QString g_strWriteCommunity;
extern int g_bUserRight;
extern QString g_strProxyAddress;

// The agent a module started without an address talks to.
inline constexpr const char* kDefaultAgentAddress = "127.0.0.1";
