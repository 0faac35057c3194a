#include "tests/common/pgserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace {

// The server's programs: pg_config's, else the newest of Debian's.
QString ServerBin() {
    QProcess config;
    config.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (config.waitForFinished(5000) && config.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed();
        if (QFileInfo::exists(dir + QStringLiteral("/pg_ctl"))) return dir;
    }
    QDir debian(QStringLiteral("/usr/lib/postgresql"));
    const QStringList versions = debian.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        const QString dir = debian.filePath(*it + QStringLiteral("/bin"));
        if (QFileInfo::exists(dir + QStringLiteral("/pg_ctl"))) return dir;
    }
    return {};
}

} // namespace

PgServer::PgServer(bool durable) : m_bin(ServerBin()) {
    if (m_bin.isEmpty() || !QFileInfo::exists(m_bin + QStringLiteral("/initdb"))) {
        m_error = QStringLiteral("no PostgreSQL server is installed (scripts/install-deps "
                                 "installs postgresql)");
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres) {
        const passwd* pw = getpwnam("postgres");
        if (!pw) {
            m_error = QStringLiteral("running as root, and there is no user postgres to run the "
                                     "server as");
            return;
        }
        if (::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_error = QStringLiteral("the temporary folder cannot be given to postgres");
            return;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QString out;
    if (!run(m_bin + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QString::fromLatin1(kOwner),
              QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--no-sync")},
             &out)) {
        m_error = QStringLiteral("initdb failed: ") + out;
        return;
    }
    QFile conf(data + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::Append)) {
        m_error = QStringLiteral("postgresql.conf cannot be written");
        return;
    }
    // No TCP port at all; nothing but the test's folder.
    conf.write(QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\n")
                   .arg(m_dir.path())
                   .toUtf8());
    if (!durable) conf.write("fsync = off\nfull_page_writes = off\n");
    conf.close();
    if (!start()) return;
    QString why;
    if (!sql(QStringLiteral("CREATE DATABASE talvex"), &why, QString::fromLatin1(kOwner),
             QStringLiteral("postgres"))) {
        m_error = QStringLiteral("the database could not be made: ") + why;
        return;
    }
    for (const char* file : {"schema.sql", "roles.sql"})
        if (!run(m_bin + QStringLiteral("/psql"),
                 {QStringLiteral("-h"), m_dir.path(), QStringLiteral("-U"),
                  QString::fromLatin1(kOwner), QStringLiteral("-d"), QStringLiteral("talvex"),
                  QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-q"),
                  QStringLiteral("-f"),
                  QStringLiteral(TALVEX_SOURCE_DIR "/res/postgresql/") + QLatin1String(file)},
                 &why)) {
            m_error = QStringLiteral("%1 failed: %2").arg(QLatin1String(file), why);
            return;
        }
    if (!sql(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE talvex_writer; "
                            "CREATE ROLE %2 LOGIN IN ROLE talvex_reader;")
                 .arg(QLatin1String(kWriter), QLatin1String(kReader)),
             &why)) {
        m_error = QStringLiteral("the login roles could not be made: ") + why;
        m_started = false;
    }
}

PgServer::~PgServer() {
    if (m_started)
        run(m_bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgServer::run(const QString& program, const QStringList& args, QString* out) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    // The server's own programs run as postgres under root; psql, a client, as the test.
    const bool server = !program.endsWith(QStringLiteral("/psql"));
    if (m_asPostgres && server)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            program} +
                    args);
    else
        p.start(program, args);
    const bool done = p.waitForFinished(60000);
    if (out) *out = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (!done) p.kill();
    return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString PgServer::uri(const QString& role, const QString& database) const {
    return QStringLiteral("postgresql:///%1?host=%2&user=%3").arg(database, m_dir.path(), role);
}

QString PgServer::freshDatabase() {
    const QString name = QStringLiteral("journal%1").arg(++m_serial);
    QString why;
    if (!sql(QStringLiteral("CREATE DATABASE %1 TEMPLATE talvex").arg(name), &why,
             QString::fromLatin1(kOwner), QStringLiteral("postgres"))) {
        qWarning("a journal could not be made: %s", qPrintable(why));
        return {};
    }
    return name;
}

bool PgServer::sql(const QString& statements, QString* out, const QString& role,
                   const QString& database) const {
    return run(m_bin + QStringLiteral("/psql"),
               {QStringLiteral("-h"), m_dir.path(), QStringLiteral("-U"), role,
                QStringLiteral("-d"), database, QStringLiteral("-v"),
                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-qAt"), QStringLiteral("-c"),
                statements},
               out);
}

bool PgServer::stop() {
    QString out;
    const bool ok =
        run(m_bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
            &out);
    if (ok) m_started = false;
    if (!ok) m_error = QStringLiteral("pg_ctl stop failed: ") + out;
    return ok;
}

bool PgServer::start() {
    QString out;
    m_started =
        run(m_bin + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-l"),
             m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
             QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
            &out);
    if (!m_started) m_error = QStringLiteral("pg_ctl start failed: ") + out;
    return m_started;
}
