// A PostgreSQL server of the test's own, for the journal on a server: the installed server's
// initdb and pg_ctl in a temporary folder, listening on a Unix socket in that folder and on no
// TCP port, with the database "talvex" made from the shipped schema and roles. Run as the
// postgres user when the test runs as root (initdb refuses root), as the invoking user
// otherwise. Stopped, and its folder removed, with the object.
#pragma once

#include <QString>
#include <QTemporaryDir>

class PgServer {
public:
    // The journal's owner (the server's superuser), and two login roles of the shipped roles:
    // one in talvex_writer, one in talvex_reader.
    static constexpr const char* kOwner = "talvex";
    static constexpr const char* kWriter = "eventd";
    static constexpr const char* kReader = "operator";

    // Durable: the server syncs its log as it would in service (benchmarks); otherwise it
    // skips that, as a test's server may.
    explicit PgServer(bool durable = false);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool started() const { return m_started; }
    // Why it did not start: the server's programs missing (a test skips then), or what failed.
    QString error() const { return m_error; }

    // The journal's connection string for the role, in the database "talvex" or another.
    QString uri(const QString& role = QString::fromLatin1(kOwner),
                const QString& database = QStringLiteral("talvex")) const;
    // A journal of its own for one test: a database made from "talvex" (its schema and grants,
    // no rows); its name, empty when it could not be made.
    QString freshDatabase();
    // Runs SQL in a database as the role through psql; false with *out holding psql's error
    // when it failed, else psql's unaligned output.
    bool sql(const QString& statements, QString* out = nullptr,
             const QString& role = QString::fromLatin1(kOwner),
             const QString& database = QStringLiteral("talvex")) const;

    // Stops the server (fast: connections are cut) and starts it again, as an administrator's
    // restart does.
    bool stop();
    bool start();

private:
    bool run(const QString& program, const QStringList& args, QString* out = nullptr) const;

    QTemporaryDir m_dir;
    QString m_bin;
    bool m_asPostgres = false;
    bool m_started = false;
    int m_serial = 0;
    QString m_error;
};
