// events-bench: the notification path's figures, run inside scripts/loopback-only.
//  storm   numbered notifications sent at a fixed rate through scripts/trap-receiver (snmptrapd
//          with the Perl hand-over and talvex-eventd, nothing else holding the journal): sent,
//          journaled, the numbers missing, and the consumer's CPU per 1 000 events.
//  drain   talvex-eventd --once on a spool of 100 000 notifications: the events a second the
//          consumer sustains, and its CPU per 1 000 events.
//  queries the alarm lamp's check and the page's reads on a journal of 1 000 000 rows.
//  page    the Device Events page opening on 100 000 events of the device among 1 000 000,
//          and acknowledging all of them.
// Each part runs on a journal file and on a PostgreSQL server of its own (durable, as in
// service), through the same consumer and the same page. EVENTS_BENCH_ONLY=storm|drain|queries|
// page runs one part; storm:TEXT the storms whose name holds TEXT. EVENTS_BENCH_STORE=file or
// server runs one store.
#include "events/journal.h"
#include "events/model.h"
#include "events/spool.h"
#include "pages/deviceeventsdlg.h"
#include "tests/common/peers.h"
#include "tests/common/pgserver.h"
#include "tests/common/trapd.h"
#include "tests/common/trapsender.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Where a part's journal is: a file in the benchmark's folder, or a database of its own on the
// server (as the writer's role for the consumer, as the owner for the rest).
struct Store {
    QString dir;
    PgServer* server = nullptr;
    const char* name() const { return server ? "server" : "file"; }
    // A new journal's target and database (empty for a file).
    QString fresh(const QString& file, bool writer, QString* database = nullptr) const {
        if (!server) return dir + QLatin1Char('/') + file;
        const QString db = server->freshDatabase();
        if (database) *database = db;
        return server->uri(QString::fromLatin1(writer ? PgServer::kWriter : PgServer::kOwner), db);
    }
};

// The numbers (sysUpTime.0) the journal holds, each as often as it holds it.
std::vector<int64_t> journaledNumbers(const Store& store, const QString& target,
                                      const QString& database) {
    std::vector<int64_t> out;
    if (store.server) {
        QString text;
        store.server->sql(QStringLiteral("SELECT uptime FROM events"), &text,
                          QString::fromLatin1(PgServer::kOwner), database);
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out.push_back(line.toLongLong());
        return out;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(target.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT uptime FROM events", -1, &s, nullptr) == SQLITE_OK)
            while (sqlite3_step(s) == SQLITE_ROW)
                out.push_back(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

int64_t journalRows(const QString& target) {
    events::Journal j;
    return j.open(target.toStdString(), false, nullptr) ? std::max<int64_t>(j.total(), 0) : 0;
}

// User and system CPU a process has used, in seconds.
double cpuOf(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = f.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

struct Run {
    const char* name;
    int64_t count;
    double rate; // a second; 0: unpaced
    bool v3;
    int serverStopS = 0; // the server stopped this long, 3 s into the burst (a server's only)
};

void storm(const Store& store, const Run& run) {
    static int serial = 0;
    QString database;
    const QString journal =
        store.fresh(QStringLiteral("storm-%1.sqlite").arg(++serial), true, &database);
    QTemporaryDir access;
    TrapdProcess trapd(journal,
                       "createUser -e 0x8000e36504626e6368 benchuser SHA-256 "
                       "benchpass123 AES benchpass123\nauthUser execute benchuser priv\n",
                       false);
    if (!trapd.started()) {
        std::printf("storm: the receiver did not start: %s\n", qPrintable(trapd.error()));
        return;
    }
    TrapSender sender = run.v3 ? TrapSender(trapd.port(), "8000e36504626e6368", "benchuser",
                                            "SHA-256", "benchpass123", "AES", "benchpass123")
                               : TrapSender(trapd.port());
    const qint64 consumer = trapd.consumerPid();
    const double cpuBefore = cpuOf(consumer);
    std::thread restart;
    if (run.serverStopS > 0)
        restart = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::seconds(3));
            store.server->stop();
            std::this_thread::sleep_for(std::chrono::seconds(run.serverStopS));
            store.server->start();
        });
    const double sendS = sender.send(1, run.count, run.rate);
    if (restart.joinable()) restart.join();
    // Done when every number is in, or when nothing more has come for a while.
    QElapsedTimer settle;
    settle.start();
    int64_t last = -1;
    qint64 lastChange = 0;
    // A consumer that waited out a stopped server tries again at most 10 s later.
    const qint64 quiet = run.serverStopS ? 15000 : 3000;
    while (settle.elapsed() - lastChange < quiet) {
        const int64_t now = journalRows(journal);
        if (now != last) {
            last = now;
            lastChange = settle.elapsed();
        }
        if (now >= run.count) break;
        QThread::msleep(20);
    }
    const double allS = sendS + double(settle.elapsed()) / 1000.0;
    const double cpu = cpuOf(consumer) - cpuBefore;
    std::vector<int64_t> got = journaledNumbers(store, journal, database);
    std::sort(got.begin(), got.end());
    std::vector<int64_t> missing, twice;
    size_t at = 0;
    for (int64_t n = 1; n <= run.count; ++n) {
        size_t seen = 0;
        while (at < got.size() && got[at] == n) {
            ++seen;
            ++at;
        }
        if (seen == 0) missing.push_back(n);
        if (seen > 1) twice.push_back(n);
    }
    QString list;
    for (size_t i = 0; i < std::min<size_t>(missing.size(), 10); ++i)
        list += QStringLiteral(" %1").arg(missing[i]);
    if (missing.size() > 10) list += QStringLiteral(" ...");
    std::printf("storm (%s): %-28s sent %lld in %.2f s (%.0f/s), journaled %zu, missing %zu%s%s, "
                "twice %zu; all in after %.2f s; consumer CPU %.1f ms per 1 000 events\n",
                store.name(), run.name, (long long)run.count, sendS, double(run.count) / sendS,
                got.size(), missing.size(), missing.empty() ? "" : ":", qPrintable(list),
                twice.size(), allS, got.empty() ? 0.0 : cpu * 1000.0 / double(got.size()) * 1000.0);
    std::fflush(stdout);
}

void drain(const Store& store, int count) {
    static int serial = 0;
    const QString spool = store.dir + QStringLiteral("/drain-%1").arg(++serial);
    QDir().mkpath(spool);
    QFile f(spool + QStringLiteral("/spool"));
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(QByteArray::fromStdString(events::SpoolFileHeader("drain")));
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 1; i <= count; ++i) {
        events::SpoolRecord r;
        r.requestId = i;
        r.version.push_back('1');
        r.transport = "UDP: [127.0.0.1]:40000->[127.0.0.1]:162";
        r.receivedMs = now + i;
        r.bindings = ".1.3.6.1.2.1.1.3.0 (" + std::to_string(i) +
                     ") 0:0:00:00.00\n"
                     ".1.3.6.1.6.3.1.1.4.1.0 .1.3.6.1.6.3.1.1.5.3\n"
                     ".1.3.6.1.2.1.2.2.1.1.3 3\n.1.3.6.1.2.1.2.2.1.7.3 1\n"
                     ".1.3.6.1.2.1.2.2.1.8.3 2\n.1.3.6.1.2.1.2.2.1.2.3 \"FE 1/3\"\n";
        f.write(QByteArray::fromStdString(events::FormatRecord(r)));
    }
    f.close();
    const QString journal = store.fresh(QStringLiteral("drain.sqlite"), true);
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    QElapsedTimer t;
    t.start();
    const ToolRun result =
        RunToolIn(BuildPath(QStringLiteral("tools/talvex-eventd")),
                  {"--once", "--spool", spool, "--journal", journal}, {}, {}, 600000);
    const double wall = double(t.nsecsElapsed()) / 1e9;
    getrusage(RUSAGE_CHILDREN, &after);
    auto secs = [](const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; };
    const double cpu =
        secs(after.ru_utime) - secs(before.ru_utime) + secs(after.ru_stime) - secs(before.ru_stime);
    const int64_t rows = journalRows(journal);
    std::printf("drain (%s): talvex-eventd took %lld of %d spooled notifications in %.2f s: %.0f "
                "events/s; CPU %.1f ms per 1 000 events (status %d)\n",
                store.name(), (long long)rows, count, wall, double(rows) / wall,
                cpu * 1e6 / double(rows), result.exitCode);
    std::fflush(stdout);
}

// Median of runs of f, in microseconds.
template <typename F> double medianUs(int runs, F f) {
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

// A journal of rows rows, device rows of them from 127.0.0.1, the rest from 1 000 others, one in
// four unacknowledged; written in one statement, the tallies the triggers keep made after it.
bool fillJournal(const Store& store, const QString& journal, const QString& database, int rows,
                 int device) {
    {
        events::Journal j;
        std::string why;
        if (!j.open(journal.toStdString(), true, &why)) {
            std::printf("%s\n", why.c_str());
            return false;
        }
        j.setMaxTotal(rows);
        j.setMaxPerDevice(rows);
    }
    const QByteArray address = "CASE WHEN i % " + QByteArray::number(rows / device) +
                               " = 0 THEN '127.0.0.1' ELSE '127.2.' || (i % 1000 / 250) || '.' || "
                               "(i % 250 + 1) END";
    const QByteArray columns =
        "INSERT INTO events(received, sender, device, uptime, oid, severity, ifindex, port, "
        "event, summary, bindings, acked) SELECT " +
        QByteArray::number(QDateTime::currentMSecsSinceEpoch() - rows * 1000LL) + " + i * 1000, " +
        address + ", " + address +
        ", i, '1.3.6.1.6.3.1.1.5.3', i % 4 + 1, i % 48 + 1, 'FE 1/3', 'linkDown', "
        "'Link down on port FE 1/' || (i % 48 + 1) || ' (admin up, oper down)', "
        "'1.3.6.1.2.1.2.2.1.1.3 3', CASE WHEN i % 4 = 0 THEN NULL ELSE 1 END";
    if (store.server) {
        QString out;
        const bool ok = store.server->sql(
            QString::fromLatin1("SET session_replication_role = replica; " + columns +
                                " FROM generate_series(1, " + QByteArray::number(rows) +
                                ") i; SET session_replication_role = origin; "
                                "INSERT INTO devices SELECT device, count(*) FROM events GROUP BY "
                                "device; UPDATE settings SET value = (SELECT count(*) FROM events) "
                                "WHERE name = 'rows'; INSERT INTO unacked SELECT device, count(*), "
                                "count(*) FILTER (WHERE severity <= 2) FROM events WHERE acked IS "
                                "NULL GROUP BY device; ANALYZE;"),
            &out, QString::fromLatin1(PgServer::kOwner), database);
        if (!ok) std::printf("fill: %s\n", qPrintable(out));
        return ok;
    }
    sqlite3* db = nullptr;
    sqlite3_open(journal.toUtf8().constData(), &db);
    const QByteArray sql = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < " +
                           QByteArray::number(rows) + ") " + columns + " FROM n";
    char* err = nullptr;
    const bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) == SQLITE_OK;
    if (!ok) std::printf("fill: %s\n", err);
    sqlite3_free(err);
    sqlite3_close(db);
    return ok;
}

void queries(const Store& store) {
    QString database;
    const QString journal = store.fresh(QStringLiteral("queries.sqlite"), false, &database);
    QElapsedTimer t;
    t.start();
    if (!fillJournal(store, journal, database, 1000000, 100000)) return;
    std::printf("queries (%s): 1 000 000 rows (100 000 of the device) written in %.1f s\n",
                store.name(), double(t.elapsed()) / 1000.0);
    events::Journal j;
    j.open(journal.toStdString(), false, nullptr);
    events::Journal::Unacked u;
    const double lamp = medianUs(200, [&] { j.unacknowledged("127.0.0.1", u); });
    std::vector<events::Event> rows;
    j.readSince("127.0.0.1", 0, 1000000, rows);
    const int64_t last = rows.empty() ? 0 : rows.back().id;
    const int64_t tenBack = rows.size() > 10 ? rows[rows.size() - 11].id : 0;
    std::vector<events::Event> fresh;
    const double incremental = medianUs(200, [&] {
        fresh.clear();
        j.readSince("127.0.0.1", tenBack, 100000, fresh);
    });
    const double nothingNew = medianUs(200, [&] {
        fresh.clear();
        j.readSince("127.0.0.1", last, 100000, fresh);
    });
    int64_t seq = 0;
    std::vector<events::Journal::Ack> acks;
    const double ackCheck = medianUs(200, [&] {
        seq = j.ackSeq();
        j.acksSince("127.0.0.1", seq, acks);
    });
    const double whole = medianUs(5, [&] {
        fresh.clear();
        j.readSince("127.0.0.1", 0, 100000, fresh);
    });
    std::printf(
        "queries (%s) at 1 000 000 rows (medians): lamp's check %.3f ms (%lld unacknowledged, "
        "%lld serious); page's read of 10 new rows %.3f ms, of none %.3f ms; "
        "acknowledgements' check %.3f ms; all %zu of the device %.1f ms\n",
        store.name(), lamp / 1000, (long long)u.count, (long long)u.serious, incremental / 1000,
        nothingNew / 1000, ackCheck / 1000, rows.size(), whole / 1000);
    std::fflush(stdout);
}

// The page on 100 000 events of the device among 1 000 000, then all of them acknowledged.
void pageOpen(const Store& store) {
    constexpr int kRows = 1000000, kDevice = 100000;
    QString database;
    const QString journal = store.fresh(QStringLiteral("page.sqlite"), false, &database);
    if (!fillJournal(store, journal, database, kRows, kDevice)) return;
    {
        QElapsedTimer t;
        t.start();
        EventListModel model;
        model.open(journal, QStringLiteral("127.0.0.1"), nullptr);
        std::printf("page (%s): the list model alone reads %d events in %lld ms\n", store.name(),
                    model.rowCount(), (long long)t.elapsed());
    }
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QElapsedTimer t;
        t.start();
        CDeviceEventsDlg page(journal, QStringLiteral("127.0.0.1"));
        page.show();
        QApplication::processEvents();
        const qint64 shown = t.elapsed();
        const int listed = page.list()->model()->rowCount();
        std::printf("page (%s): %d events of the device among %d open and shown in %lld ms (%d "
                    "listed)\n",
                    store.name(), kDevice, kRows, (long long)shown, listed);
        if (attempt < 3) continue;
        const int before = page.model()->unacknowledged();
        t.restart();
        const int acked = page.model()->acknowledgeAll();
        QApplication::processEvents();
        std::printf("page (%s): acknowledge all: %d of %d unacknowledged in %lld ms, %d left\n",
                    store.name(), acked, before, (long long)t.elapsed(),
                    page.model()->unacknowledged());
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray only = qgetenv("EVENTS_BENCH_ONLY");
    const QByteArray which = qgetenv("EVENTS_BENCH_STORE");
    std::unique_ptr<PgServer> server;
    std::vector<Store> stores;
    if (which != "server") stores.push_back({dir.path(), nullptr});
    if (which != "file") {
        server = std::make_unique<PgServer>(true);
        if (server->started())
            stores.push_back({dir.path(), server.get()});
        else
            std::printf("no server: %s\n", qPrintable(server->error()));
    }
    // "storm:3 000" runs the storms whose name holds "3 000".
    if (only.isEmpty() || only.startsWith("storm")) {
        const Run runs[] = {
            {"v2c 1 000/s for 10 s", 10000, 1000, false},
            {"v2c 3 000/s for 5 s", 15000, 3000, false},
            {"v2c 300/s for 60 s", 18000, 300, false},
            {"v2c 2 000 unpaced", 2000, 0, false},
            {"v3 authPriv 1 000/s for 10 s", 10000, 1000, true},
            {"v2c 1 000/s, server stopped 10 s", 10000, 1000, false, 10},
        };
        for (const Store& store : stores)
            for (const Run& r : runs)
                if ((!only.startsWith("storm:") || QByteArray(r.name).contains(only.mid(6))) &&
                    (!r.serverStopS || store.server))
                    storm(store, r);
    }
    for (const Store& store : stores) {
        if (only.isEmpty() || only == "drain") drain(store, argc > 1 ? std::atoi(argv[1]) : 100000);
        if (only.isEmpty() || only == "queries") queries(store);
        if (only.isEmpty() || only == "page") pageOpen(store);
    }
    return 0;
}
