// The outside peers tests talk to: talvex-sim and net-snmp's snmpd, each on a free loopback
// port, each stopped when the test object goes away (and by itself if the test dies).
#pragma once

#include <QFileDevice>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class SimProcess {
public:
    // Extra talvex-sim options, e.g. {"--static"}; the build tree's talvex-sim unless a program
    // is named (an installed one).
    explicit SimProcess(const QStringList& options = {}, const QString& program = {});
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
    // Without services, sysServices is left out of the configuration, and snmpd then has no
    // such object, as it comes out of the box.
    // extraConfig (createUser, rouser ...) takes the place of the sysContact line, which would
    // make snmpd refuse to set the contact. What snmpd keeps between runs goes to its
    // temporary directory.
    explicit SnmpdProcess(bool services = true, const QByteArray& extraConfig = {});
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

// An agent a test plays itself, on a free port of 127.0.0.1: a thread of its own hands each
// datagram to answer, which replies through send (or does not). Stops with the object.
class ScriptedPeer {
public:
    using Answer = std::function<void(ScriptedPeer&, const std::vector<uint8_t>& datagram,
                                      const sockaddr_in& from)>;
    explicit ScriptedPeer(Answer answer);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    bool started() const { return m_fd >= 0; }
    quint16 port() const { return m_port; }
    void send(const std::vector<uint8_t>& bytes, const sockaddr_in& to);

private:
    Answer m_answer;
    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

quint16 FreeUdpPort();
// A UDP socket bound to a free port of 127.0.0.1 (or ::1) (the port in *port), for an agent a
// test plays itself; -1 when none could be had.
int LoopbackUdpSocket(quint16* port, bool ipv6 = false);
// Writes the credentials file below xdgHome (as XDG_CONFIG_HOME names it) with the given
// permissions; its path, or an empty text when it could not be written.
QString WriteCredentialsFile(const QString& xdgHome, const QByteArray& text,
                             QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                                    QFileDevice::WriteOwner);
QString BuildPath(const QString& relative); // a path in the build tree
// Runs a program, returns its standard output; fails the caller's QVERIFY through ok.
QString RunTool(const QString& program, const QStringList& args, bool* ok = nullptr, int timeoutMs = 15000);

// What a program run to its end left: exit code (-1 when it crashed or ran past its time, and
// was killed), standard output and standard error.
struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};
// As RunTool, in the given environment (the test's own when empty) and working directory.
ToolRun RunToolIn(const QString& program, const QStringList& args,
                  const QProcessEnvironment& env = {}, const QString& workDir = {},
                  int timeoutMs = 15000);
