// The outside peers tests talk to: talvex-sim and net-snmp's snmpd, each on a free loopback
// port, each stopped when the test object goes away (and by itself if the test dies).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SimProcess {
public:
    // Extra talvex-sim options, e.g. {"--static"}.
    explicit SimProcess(const QStringList& options = {});
    ~SimProcess();
    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_proc.processId(); }
    // Sends one command on the simulator's standard input and waits for its one-line reply.
    QString command(const QString& line);

private:
    QProcess m_proc;
    quint16 m_port = 0;
};

class SnmpdProcess {
public:
    // Read-only community "public"; write community "private" for the system group only.
    // extraConfig adds lines to its configuration (createUser, rouser ...); what snmpd keeps
    // between runs goes to its temporary directory.
    explicit SnmpdProcess(const QByteArray& extraConfig = {});
    ~SnmpdProcess();
    bool started() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }

private:
    QProcess m_proc;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_error;
};

quint16 FreeUdpPort();
QString BuildPath(const QString& relative); // a path in the build tree
// Runs a program, returns its standard output; fails the caller's QVERIFY through ok.
QString RunTool(const QString& program, const QStringList& args, bool* ok = nullptr, int timeoutMs = 15000);
// The same with its exit status (-1 when it did not end normally) and standard error.
struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};
ToolRun RunToolFull(const QString& program, const QStringList& args, int timeoutMs = 15000);
