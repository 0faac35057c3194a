#include "tests/common/peers.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef TALVEX_BUILD_DIR
#error "TALVEX_BUILD_DIR must name the build tree"
#endif

QString BuildPath(const QString& relative) {
    return QStringLiteral(TALVEX_BUILD_DIR) + QLatin1Char('/') + relative;
}

int LoopbackUdpSocket(quint16* port, bool ipv6) {
    int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
    sockaddr_storage s{};
    auto* a4 = reinterpret_cast<sockaddr_in*>(&s);
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&s);
    if (ipv6) {
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
    } else {
        a4->sin_family = AF_INET;
        a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    socklen_t len = ipv6 ? sizeof *a6 : sizeof *a4;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&s), len) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&s), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(ipv6 ? a6->sin6_port : a4->sin_port);
    return fd;
}

quint16 FreeUdpPort() {
    quint16 port = 0;
    const int fd = LoopbackUdpSocket(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

ScriptedPeer::ScriptedPeer(Answer answer) : m_answer(std::move(answer)) {
    m_fd = LoopbackUdpSocket(&m_port);
    if (m_fd < 0) return;
    m_thread = std::thread([this] {
        std::vector<uint8_t> buf(65536);
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buf.data(), buf.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (n > 0) m_answer(*this, std::vector<uint8_t>(buf.begin(), buf.begin() + n), from);
        }
    });
}

ScriptedPeer::~ScriptedPeer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_fd >= 0) ::close(m_fd);
}

void ScriptedPeer::send(const std::vector<uint8_t>& bytes, const sockaddr_in& to) {
    ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

QString WriteCredentialsFile(const QString& xdgHome, const QByteArray& text,
                             QFileDevice::Permissions permissions) {
    QDir(xdgHome).mkpath(QStringLiteral("talvex"));
    QFile f(xdgHome + QStringLiteral("/talvex/snmp.conf"));
    f.remove();
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return {};
    f.close();
    return f.setPermissions(permissions) ? f.fileName() : QString();
}

SimProcess::SimProcess(const QStringList& options, const QString& program) {
    m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_proc.start(program.isEmpty() ? BuildPath(QStringLiteral("sim/talvex-sim")) : program,
                 QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--commands"),
                             QStringLiteral("--lifetime"), QStringLiteral("300")} + options);
    if (!m_proc.waitForStarted(5000) || !m_proc.waitForReadyRead(5000))
        return;
    QString line = QString::fromUtf8(m_proc.readLine());
    QRegularExpressionMatch m = QRegularExpression(QStringLiteral(":(\\d+)\\s*$")).match(line);
    if (m.hasMatch())
        m_port = quint16(m.captured(1).toUInt());
}

SimProcess::~SimProcess() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.closeWriteChannel(); // the simulator ends when its command channel does
        if (!m_proc.waitForFinished(3000)) {
            m_proc.kill();
            m_proc.waitForFinished(1000);
        }
    }
}

QString SimProcess::command(const QString& line) {
    m_proc.write(line.toUtf8() + '\n');
    m_proc.waitForBytesWritten(1000);
    QElapsedTimer t;
    t.start();
    while (!m_proc.canReadLine() && t.elapsed() < 5000)
        m_proc.waitForReadyRead(100);
    return QString::fromUtf8(m_proc.readLine()).trimmed();
}

SnmpdProcess::SnmpdProcess(bool services, const QByteArray& extraConfig) {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return;
    }
    quint16 port = FreeUdpPort();
    QFile conf(m_dir.filePath(QStringLiteral("snmpd.conf")));
    conf.open(QIODevice::WriteOnly);
    // Reads everywhere; writes only the system group's contact, name and location, and the
    // simulated chassis' enterprise, which snmpd does not serve: a set there writes nothing
    // and shows how snmpd refuses an object it does not have.
    conf.write("view all included .1\n"
               "view sysrw included .1.3.6.1.2.1.1.4\n"
               "view sysrw included .1.3.6.1.2.1.1.5\n"
               "view sysrw included .1.3.6.1.2.1.1.6\n"
               "view sysrw included .1.3.6.1.4.1.58213\n"
               "rocommunity public 127.0.0.1 -V all\n"
               "rwcommunity private 127.0.0.1 -V sysrw\n"
               "sysLocation Test bench\n");
    conf.write(extraConfig.isEmpty() ? QByteArray("sysContact tester@localhost\n") : extraConfig);
    if (services)
        conf.write("sysServices 72\n");
    conf.close();
    QString snmpd = QStringLiteral("/usr/sbin/snmpd");
    if (!QFile::exists(snmpd)) {
        m_error = QStringLiteral("snmpd is not installed");
        return;
    }
    m_proc.setProcessChannelMode(QProcess::MergedChannels);
    m_proc.start(snmpd, {QStringLiteral("-f"), QStringLiteral("-Lf"), m_dir.filePath(QStringLiteral("log")),
                         QStringLiteral("-C"), QStringLiteral("-c"), conf.fileName(),
                         QStringLiteral("-p"), m_dir.filePath(QStringLiteral("pid")),
                         QStringLiteral("--persistentDir=") + m_dir.filePath(QStringLiteral("persist")),
                         QStringLiteral("udp:127.0.0.1:%1").arg(port)});
    if (!m_proc.waitForStarted(5000)) {
        m_error = QStringLiteral("snmpd did not start");
        return;
    }
    // Ready once it answers.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        bool ok = false;
        QString out = RunTool(QStringLiteral("snmpget"),
                              {QStringLiteral("-v2c"), QStringLiteral("-cpublic"), QStringLiteral("-t1"), QStringLiteral("-r0"),
                               QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("1.3.6.1.2.1.1.5.0")},
                              &ok, 3000);
        if (ok && out.contains(QLatin1String("1.5.0"))) {
            m_port = port;
            return;
        }
        if (m_proc.state() == QProcess::NotRunning)
            break;
        QThread::msleep(100);
    }
    m_error = QStringLiteral("snmpd did not answer: ") + QString::fromUtf8(m_proc.readAll());
}

SnmpdProcess::~SnmpdProcess() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.terminate();
        if (!m_proc.waitForFinished(3000))
            m_proc.kill();
        m_proc.waitForFinished(1000);
    }
}

QString RunTool(const QString& program, const QStringList& args, bool* ok, int timeoutMs) {
    ToolRun r = RunToolIn(program, args, {}, {}, timeoutMs);
    if (ok)
        *ok = r.exitCode == 0;
    return QString::fromUtf8(r.out);
}

ToolRun RunToolIn(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                  const QString& workDir, int timeoutMs) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    bool done = p.waitForStarted(5000) && p.waitForFinished(timeoutMs);
    if (!done)
        p.kill(), p.waitForFinished(1000);
    ToolRun r;
    if (done && p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
