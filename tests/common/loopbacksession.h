// A library session toward an agent a test runs on loopback.
#pragma once

#include "qvsnmp/qvsnmp.h"

#include <memory>
#include <vector>

// A session of owner toward 127.0.0.1 at port over table (which outlives it), with the read
// community orchid and the write community saffron; SNMPv3 as user when one is given.
inline std::unique_ptr<CSnmpClass> LoopbackSession(QObject* owner, quint16 port,
                                                   std::vector<_QvOidTable>& table,
                                                   const usm::User* user = nullptr) {
    SetSnmpAgentPort(port);
    auto session = std::make_unique<CSnmpClass>(owner, QStringLiteral("127.0.0.1"),
                                                QStringLiteral("orchid"), QStringLiteral("saffron"),
                                                int(table.size()), table.data(), QString());
    SetSnmpAgentPort(0);
    if (user) session->SetSecurity(*user);
    return session;
}
