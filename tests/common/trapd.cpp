#include "tests/common/trapd.h"

#include "tests/common/peers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

TrapdProcess::TrapdProcess(const QString& journal, const QByteArray& extraConfig) {
    const QString conf = m_dir.filePath(QStringLiteral("snmptrapd.conf"));
    QFile f(conf);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write %1").arg(conf);
        return;
    }
    f.write("authCommunity log,execute public\n"
            "outputOption n\n"
            "format1 notification %a\\n\n"
            "format2 notification %a\\n\n"
            "traphandle default " +
            BuildPath(QStringLiteral("tools/talvex-traphandle")).toUtf8() + "\n" + extraConfig +
            "\n");
    f.close();
    const quint16 port = FreeUdpPort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TALVEX_EVENTS"), journal);
    // What snmptrapd keeps between runs (its engine's boots, users' keys) stays in the test's
    // directory; no MIB files are read.
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), m_dir.path());
    env.insert(QStringLiteral("SNMPCONFPATH"), m_dir.path());
    env.insert(QStringLiteral("MIBS"), QString());
    m_proc.setProcessEnvironment(env);
    m_proc.setProcessChannelMode(QProcess::MergedChannels);
    m_proc.start(QStringLiteral("snmptrapd"),
                 {QStringLiteral("-f"), QStringLiteral("-C"), QStringLiteral("-c"), conf,
                  QStringLiteral("-m"), QString(), QStringLiteral("-Lf"),
                  m_dir.filePath(QStringLiteral("log")),
                  QStringLiteral("udp:127.0.0.1:%1").arg(port)});
    if (!m_proc.waitForStarted(5000)) {
        m_error = QStringLiteral("snmptrapd does not start: %1").arg(m_proc.errorString());
        return;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && !log().contains(QLatin1String("NET-SNMP version"))) {
        if (m_proc.state() == QProcess::NotRunning) break;
        QThread::msleep(20);
    }
    if (!log().contains(QLatin1String("NET-SNMP version"))) {
        m_error = QStringLiteral("snmptrapd did not come up: %1 %2")
                      .arg(log(), QString::fromUtf8(m_proc.readAll()));
        return;
    }
    m_port = port;
}

TrapdProcess::~TrapdProcess() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.terminate();
        if (!m_proc.waitForFinished(3000)) {
            m_proc.kill();
            m_proc.waitForFinished(1000);
        }
    }
}

QString TrapdProcess::log() const {
    QFile f(m_dir.filePath(QStringLiteral("log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int TrapdProcess::logged() const {
    return int(log().count(QLatin1String("notification ")));
}

QByteArray TrapdV3Users(const QString& engineIdHex) {
    return "createUser -e 0x" + engineIdHex.toLatin1() +
           " trapuser SHA trappass123 AES trappass123\n"
           "createUser informuser SHA trappass123 AES trappass123\n"
           "authUser log,execute trapuser\n"
           "authUser log,execute informuser\n";
}
