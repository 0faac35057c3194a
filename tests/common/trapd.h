// The notification receiver as the package wires it, for tests and benchmarks:
// scripts/trap-receiver on a free loopback port (snmptrapd with the Perl hand-over, and
// talvex-eventd writing journal), stopped with the object.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class TrapdProcess {
public:
    // snmptrapd's access lines: community "public" for v1 and v2c, and accessConfig
    // (createUser, authUser ...). With logEach, snmptrapd also logs each notification it takes
    // (logged() counts them), which the package's configuration does not.
    explicit TrapdProcess(const QString& journal, const QByteArray& accessConfig = {},
                          bool logEach = true);
    ~TrapdProcess();
    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString error() const { return m_error; }
    // Notifications snmptrapd has logged so far.
    int logged() const;
    QString log() const;
    // What talvex-eventd has said (its standard error and the receiver's).
    QString said();
    // The running talvex-eventd's process id; 0 when none runs.
    qint64 consumerPid() const;
    // The spool folder snmptrapd's hand-over writes.
    QString spoolDir() const;

private:
    QString receiverDir() const;

    QProcess m_proc;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_error;
    QString m_said;
};

// The SNMPv3 lines of a configuration: user "trapuser" (SHA, AES) for traps from the engine
// engineIdHex, and "informuser" (the same keys) for informs, which use snmptrapd's own engine.
QByteArray TrapdV3Users(const QString& engineIdHex);
// The engine id talvex-sim has unless told otherwise, in hex.
inline constexpr const char* kSimEngineIdHex = "8000e3650474616c7665782d73696d";
