#include "snmp/params.h"

QString g_strNValue;
QString g_strAgentAddress;
QString g_strReadCommunity;
QString g_strWriteCommunity;
int g_bUserRight = 1;
QString g_strProxyAddress = QStringLiteral("0.0.0.0");
