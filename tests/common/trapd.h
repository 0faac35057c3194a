// net-snmp's snmptrapd as the tests' notification receiver: on a free loopback port, with a
// generated configuration whose traphandle is the built talvex-traphandle writing to journal.
// It logs one line "notification FROM" for each notification it takes.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TrapdProcess {
public:
    // Community "public" for v1 and v2c; extraConfig adds lines (createUser, authUser ...).
    explicit TrapdProcess(const QString& journal, const QByteArray& extraConfig = {});
    ~TrapdProcess();
    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString error() const { return m_error; }
    // Notifications snmptrapd has logged so far.
    int logged() const;
    QString log() const;

private:
    QProcess m_proc;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_error;
};

// The SNMPv3 lines of a configuration: user "trapuser" (SHA, AES) for traps from the engine
// engineIdHex, and "informuser" (the same keys) for informs, which use snmptrapd's own engine.
QByteArray TrapdV3Users(const QString& engineIdHex);
// The engine id talvex-sim has unless told otherwise, in hex.
inline constexpr const char* kSimEngineIdHex = "8000e3650474616c7665782d73696d";
