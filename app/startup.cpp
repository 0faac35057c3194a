#include "app/startup.h"

#include "app/cmdline.h"
#include "platform/platform.h"
#include "qvsnmp/address.h"
#include "snmp/params.h"

bool SetupSession(const QString& parameterString) {
    SessionParams params;
    params.agentAddress = QString::fromLatin1(kDefaultAgentAddress);
    params.readCommunity = QStringLiteral("orchid");
    params.writeCommunity = QStringLiteral("saffron");
    params.userRight = 1;
    ParseCommandLine(parameterString, params);

    for (const auto& [letter, name] : {std::pair{'R', "read"}, std::pair{'W', "write"}})
        if (params.overlong.contains(QLatin1Char(letter))) {
            platform::MessageBox(nullptr, QStringLiteral("The %1 community given on the command line "
                                                         "is longer than %2 characters. The module "
                                                         "does not start.")
                                              .arg(QLatin1String(name))
                                              .arg(kCapacity[letter == 'R' ? 2 : 3]));
            return false;
        }

    g_strNValue = params.nValue;
    g_strReadCommunity = params.readCommunity;
    g_strWriteCommunity = params.writeCommunity;
    g_bUserRight = params.userRight;
    g_strAgentAddress = params.agentAddress;

    QString why;
    if (params.overlong.contains(QLatin1Char('I')))
        why = QStringLiteral("the agent address given on the command line is longer than %1 "
                             "characters")
                  .arg(kCapacity[1]);
    else if (const QString resolved = ResolveAgentAddress(params.agentAddress, &why);
             !resolved.isEmpty())
        // Every session from now on is built from the address the name had at start.
        g_strAgentAddress = resolved;
    if (!why.isEmpty())
        platform::MessageBox(nullptr, QStringLiteral("The device cannot be reached: %1. The module "
                                                     "runs on, but every request to the device "
                                                     "fails.")
                                          .arg(why));
    return true;
}
