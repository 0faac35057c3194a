#include "tests/common/trapd.h"

#include "tests/common/peers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

TrapdProcess::TrapdProcess(const QString& journal, const QByteArray& accessConfig, bool logEach) {
    const QString access = m_dir.filePath(QStringLiteral("access.conf"));
    QFile f(access);
    if (!f.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write %1").arg(access);
        return;
    }
    f.write(QByteArray(logEach ? "authCommunity log,execute public\n"
                               : "authCommunity execute public\n") +
            accessConfig + "\n");
    f.close();
    const quint16 port = FreeUdpPort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The receiver's own folder (snmptrapd's log, the spool) lands in the test's.
    env.insert(QStringLiteral("TMPDIR"), m_dir.path());
    env.insert(QStringLiteral("TALVEX_BUILD_DIR"), BuildPath(QString()));
    m_proc.setProcessEnvironment(env);
    m_proc.start(QStringLiteral(TALVEX_SOURCE_DIR "/scripts/trap-receiver"),
                 {QString::number(port), journal, access});
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000 && !m_proc.canReadLine() && m_proc.state() != QProcess::NotRunning)
        m_proc.waitForReadyRead(100);
    const QByteArray line = m_proc.readLine().trimmed();
    if (line != "listening 127.0.0.1:" + QByteArray::number(port)) {
        m_error = QStringLiteral("trap-receiver did not come up: %1 %2")
                      .arg(QString::fromUtf8(line), said());
        return;
    }
    m_port = port;
}

TrapdProcess::~TrapdProcess() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000)) {
            m_proc.kill();
            m_proc.waitForFinished(1000);
        }
    }
}

QString TrapdProcess::receiverDir() const {
    const QStringList dirs =
        QDir(m_dir.path()).entryList({QStringLiteral("tmp.*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    return dirs.isEmpty() ? QString() : m_dir.filePath(dirs.first());
}

QString TrapdProcess::spoolDir() const {
    return receiverDir() + QStringLiteral("/spool");
}

QString TrapdProcess::log() const {
    QFile f(receiverDir() + QStringLiteral("/snmptrapd.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int TrapdProcess::logged() const {
    const QString text = log();
    return int(text.count(QLatin1String("[UDP: [")) + text.count(QLatin1String("(via UDP: [")));
}

QString TrapdProcess::said() {
    m_said += QString::fromUtf8(m_proc.readAllStandardError());
    return m_said;
}

qint64 TrapdProcess::consumerPid() const {
    const qint64 me = m_proc.processId();
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(me));
    if (!children.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& pid : children.readAll().split(' ')) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid.trimmed())));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "talvex-eventd")
            return pid.trimmed().toLongLong();
    }
    return 0;
}

QByteArray TrapdV3Users(const QString& engineIdHex) {
    return "createUser -e 0x" + engineIdHex.toLatin1() +
           " trapuser SHA trappass123 AES trappass123\n"
           "createUser informuser SHA trappass123 AES trappass123\n"
           "authUser log,execute trapuser\n"
           "authUser log,execute informuser\n";
}
