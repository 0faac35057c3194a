#include "snmp/params.h"

#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/snmpconf.h"

QString g_strNValue;
QString g_strAgentAddress;
QString g_strReadCommunity;
QString g_strWriteCommunity;
int g_bUserRight = 1;
QString g_strProxyAddress = QStringLiteral("0.0.0.0");
std::shared_ptr<const usm::User> g_snmpV3User;
int g_snmpVersion = ber::V2c;

bool LoadSnmpCredentials(QString* why) {
    g_snmpV3User.reset();
    g_snmpVersion = ber::V2c;
    snmpconf::Entry entry;
    std::string problem;
    switch (snmpconf::lookup(snmpconf::defaultPath(), g_strAgentAddress.toStdString(),
                             SnmpAgentPort(), entry, problem)) {
    case snmpconf::Status::Refused:
        if (why)
            *why = QString::fromStdString(problem);
        return false;
    case snmpconf::Status::Found:
        if (entry.version == 3)
            g_snmpV3User = std::make_shared<const usm::User>(std::move(entry.user));
        else
            g_snmpVersion = entry.version;
        return true;
    case snmpconf::Status::NoEntry:
        break;
    }
    return true;
}
