// events-bench: the notification path's figures.
//  1. A burst of traps through snmptrapd and talvex-traphandle: sent at a steady rate on
//     loopback, counted as snmptrapd logged them and as the journal holds them.
//  2. The handler's cost per notification, its process start included, and its peak memory on
//     ordinary and hostile input.
//  3. The Device Events page opening on a journal of 100 000 events of the device.
// Run inside scripts/loopback-only: events-bench [TRAPS] [RATE per second; 0: as fast as
// snmptrapd journals them, a few at a time]
#include "events/journal.h"
#include "pages/deviceeventsdlg.h"
#include "pages/eventlist.h"
#include "qvsnmp/ber.h"
#include "tests/common/peers.h"
#include "tests/common/trapd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>

#include <arpa/inet.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

QByteArray linkDownInput(int i, const QByteArray& extra = {}) {
    return "localhost\nUDP: [127.0.0.1]:40000->[127.0.0.1]:162\n.1.3.6.1.2.1.1.3.0 " +
           QByteArray::number(i) +
           "\n.1.3.6.1.6.3.1.1.4.1.0 .1.3.6.1.6.3.1.1.5.3\n.1.3.6.1.2.1.2.2.1.1.3 "
           "3\n.1.3.6.1.2.1.2.2.1.7.3 1\n"
           ".1.3.6.1.2.1.2.2.1.8.3 2\n.1.3.6.1.2.1.2.2.1.2.3 \"FE 1/3\"\n" +
           extra;
}

// Runs the handler once on input; its wall time in microseconds, and with peakFile its peak
// resident kB written there.
bool runHandler(const QByteArray& input, const QString& journal, double& us,
                const char* peakFile = nullptr) {
    static const QByteArray program =
        BuildPath(QStringLiteral("tools/talvex-traphandle")).toLocal8Bit();
    const QByteArray journalPath = journal.toLocal8Bit();
    int in[2];
    if (pipe(in) != 0) return false;
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[0]);
        close(in[1]);
        setenv("TALVEX_EVENTS", journalPath.constData(), 1);
        // The handler's own peak: GNU time forks it from a small process, where a fork of this
        // one would count our pages as the child's.
        if (peakFile)
            execl("/usr/bin/time", "time", "-f", "%M", "-o", peakFile, program.constData(),
                  nullptr);
        execl(program.constData(), "talvex-traphandle", nullptr);
        _exit(127);
    }
    close(in[0]);
    for (qsizetype at = 0; at < input.size();) {
        const ssize_t n = write(in[1], input.constData() + at, size_t(input.size() - at));
        if (n <= 0) break;
        at += n;
    }
    close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    us = double(t.nsecsElapsed()) / 1000.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long peakKb(const QByteArray& file) {
    QFile f(QString::fromLocal8Bit(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().split('\n').last().toLong() : -1;
}

int64_t journalCount(const QString& path, const char* device = "127.0.0.1") {
    static events::Journal j;
    static std::string open;
    if (open != path.toStdString()) {
        if (!j.open(path.toStdString(), false, nullptr)) return 0;
        open = path.toStdString();
    }
    return j.count(device);
}

// Traps on their way at once when the burst goes at snmptrapd's own pace.
constexpr int kInFlight = 8;

void burst(const QString& dir, int traps, int rate) {
    const QString journal = dir + QStringLiteral("/burst.sqlite");
    TrapdProcess trapd(journal);
    if (!trapd.started()) {
        std::printf("burst: snmptrapd did not start: %s\n", qPrintable(trapd.error()));
        return;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(trapd.port());
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < traps; ++i) {
        ber::Message m;
        m.community = "public";
        m.pdu.type = 0xA7;
        m.pdu.requestId = i + 1;
        m.pdu.bindings = {
            {{1, 3, 6, 1, 2, 1, 1, 3, 0}, ber::Value::makeUnsigned(ber::TimeTicks, uint64_t(i))},
            {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0},
             ber::Value::makeOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})},
            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, uint32_t(i % 48 + 1)},
             ber::Value::makeInteger(i % 48 + 1)}};
        const std::vector<uint8_t> bytes = ber::encode(m);
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
        if (rate > 0) {
            const qint64 due = qint64(i + 1) * 1000000000LL / rate;
            while (t.nsecsElapsed() < due)
                QThread::usleep(200);
        } else {
            // As fast as snmptrapd takes them: no more than a few waiting for their handler.
            while (i + 1 - journalCount(journal) > kInFlight)
                QThread::usleep(500);
        }
    }
    const double sendS = double(t.nsecsElapsed()) / 1e9;
    close(fd);
    // snmptrapd runs one handler at a time: wait until the journal stops growing.
    int64_t last = -1, now = journalCount(journal);
    QElapsedTimer settle;
    settle.start();
    while (now != last && settle.elapsed() < 120000) {
        last = now;
        QThread::msleep(1500);
        now = journalCount(journal);
    }
    const double allS = double(t.nsecsElapsed()) / 1e9 - 1.5;
    std::printf(
        "burst: %d v2c traps sent in %.2f s (%s); snmptrapd logged %d, the journal holds %lld; "
        "all journaled after %.2f s (%.0f/s)\n",
        traps, sendS, rate ? qPrintable(QStringLiteral("%1/s").arg(rate)) : "at snmptrapd's pace",
        trapd.logged(), (long long)now, allS, double(now) / allS);
}

void handlerCost(const QString& dir) {
    const QString journal = dir + QStringLiteral("/cost.sqlite");
    const QByteArray peak = (dir + QStringLiteral("/peak")).toLocal8Bit();
    double us = 0, total = 0, worst = 0;
    const int runs = 300;
    runHandler(linkDownInput(0), journal, us); // creates the journal
    for (int i = 1; i <= runs; ++i) {
        runHandler(linkDownInput(i), journal, us);
        total += us;
        worst = std::max(worst, us);
    }
    runHandler(linkDownInput(runs + 1), journal, us, peak.constData());
    std::printf(
        "handler: %.2f ms per notification (mean of %d, process start included; worst %.2f ms), "
        "peak %ld kB\n",
        total / runs / 1000.0, runs, worst / 1000.0, peakKb(peak));
    struct Case {
        const char* name;
        QByteArray input;
    };
    QByteArray many;
    for (int i = 0; i < 10000; ++i)
        many +=
            ".1.3.6.1.2.1.2.2.1.10." + QByteArray::number(i) + " " + QByteArray::number(i) + "\n";
    const Case cases[] = {
        {"1 MB binding",
         linkDownInput(1, ".1.3.6.1.2.1.1.5.0 \"" + QByteArray(1 << 20, 'A') + "\"\n")},
        {"10 000 bindings", linkDownInput(2, many)},
        {"32 MB in one line",
         "localhost\nUDP: [127.0.0.1]:1->[127.0.0.1]:162\n.1.3.6.1.2.1.1.5.0 " +
             QByteArray(32 << 20, 'B')},
    };
    for (const Case& c : cases) {
        const bool ok = runHandler(c.input, journal, us, peak.constData());
        std::printf("handler: %-18s %s in %.1f ms, peak %ld kB\n", c.name,
                    ok ? "journaled" : "refused", us / 1000.0, peakKb(peak));
    }
}

void pageOpen(const QString& dir, int rows) {
    const QString journal = dir + QStringLiteral("/page.sqlite");
    {
        events::Journal j;
        std::string why;
        if (!j.open(journal.toStdString(), true, &why)) {
            std::printf("page: %s\n", why.c_str());
            return;
        }
    }
    sqlite3* db = nullptr;
    sqlite3_open(journal.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO events(received, sender, device, uptime, oid, severity, ifindex, port, event, "
        "summary, bindings) VALUES (?1, '127.0.0.1', '127.0.0.1', ?2, '1.3.6.1.6.3.1.1.5.3', ?3, "
        "?4, "
        "'FE 1/3', 'linkDown', ?5, '1.3.6.1.2.1.2.2.1.1.3 3')",
        -1, &s, nullptr);
    const int64_t start = QDateTime::currentMSecsSinceEpoch() - rows * 1000LL;
    for (int i = 0; i < rows; ++i) {
        sqlite3_bind_int64(s, 1, start + i * 1000LL);
        sqlite3_bind_int64(s, 2, i);
        sqlite3_bind_int(s, 3, i % 4 + 1);
        sqlite3_bind_int(s, 4, i % 48 + 1);
        const QByteArray summary = "Link down on port FE 1/" + QByteArray::number(i % 48 + 1) +
                                   " (ifIndex " + QByteArray::number(i % 48 + 1) +
                                   ") (admin up, oper down)";
        sqlite3_bind_text(s, 5, summary.constData(), int(summary.size()), SQLITE_TRANSIENT);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);

    {
        QElapsedTimer t;
        t.start();
        EventListModel model;
        model.open(journal, QStringLiteral("127.0.0.1"), nullptr);
        std::printf("page: the list model alone reads %d events in %lld ms\n", model.rowCount(),
                    (long long)t.elapsed());
    }
    for (int attempt = 1; attempt <= 3; ++attempt) {
        QElapsedTimer t;
        t.start();
        CDeviceEventsDlg page(journal, QStringLiteral("127.0.0.1"));
        page.show();
        QApplication::processEvents();
        const qint64 shown = t.elapsed();
        const int listed = page.list()->model()->rowCount();
        std::printf("page: %d events open and shown in %lld ms (%d listed)\n", rows,
                    (long long)shown, listed);
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The handler stops reading past its bound; what we still write then goes nowhere.
    std::signal(SIGPIPE, SIG_IGN);
    const int traps = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int rate = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
    QTemporaryDir dir;
    const QByteArray only = qgetenv("EVENTS_BENCH_ONLY");
    if (only.isEmpty() || only == "handler") handlerCost(dir.path());
    if (only.isEmpty() || only == "burst") burst(dir.path(), traps, rate);
    if (only.isEmpty() || only == "page") pageOpen(dir.path(), 100000);
    return 0;
}
