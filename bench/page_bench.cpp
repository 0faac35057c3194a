// The forwarding page's figure: from opening CForwardingTableDlg (shown, offscreen) until its
// count reaches the table's rows, against talvex-walk walking the same three columns of the
// same simulator, run for run. Both wall time and the processor time each side spent (the
// machine may be shared: processor time is what the module adds, wall time what the operator
// waits). Usage: page-bench [--delay MS] [--binding-delay MS] [ROWS [RUNS]] (10000, 3),
// or page-bench --scale [RUNS].
//
// With --delay the agent holds each answer MS milliseconds, as a distant one would: the page is
// then timed against snmpbulkwalk -Cr50 of the same three columns and against talvex-walk's
// get-next walk (one round trip a row, as the pages walked before they read ahead), each with
// the requests the agent answered for it.
//
// With --binding-delay the agent is a busy one: it works one request at a time (--serial) and
// each binding of an answer costs it MS milliseconds more on top of --delay (with MIN-MAX, drawn
// for each answer: an agent whose cost varies from request to request). The page is then
// timed against snmpwalk -t 4 -r 1 of the same columns, the median of the runs printed with
// their ratio; the first run meets an agent the process knows nothing of yet.
//
// With --scale the page lists tables of 1 000, 10 000 and 100 000 rows (RUNS times each, 2
// unless given): processor time a row, resident bytes a row while the page shows the table,
// and the page's wall time against snmpbulkwalk -Cr50 of the same three columns on loopback,
// the best run of each. A list whose cost grows with its length shows as a processor time a
// row that grows from line to line.
#include "pages/forwardingtabledlg.h"
#include "qvsnmp/qvsnmp.h"
#include "snmp/params.h"
#include "tests/common/peers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

struct Figure {
    double wallMs = -1; // negative: the walk fell short
    double cpuMs = 0;
    double residentBytes = 0; // what the page added to the process while it showed the table
};

double residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

double cpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// talvex-walk formats every value as the page does and writes them where nobody reads them.
// Wall time: its own measure of the walk; processor time: the whole process, less what the
// same program spends on a single get (its start and end).
Figure walk(quint16 port, const QStringList& what, int rows) {
    QProcess walk;
    walk.setStandardOutputFile(QProcess::nullDevice());
    const double before = cpuMs(RUSAGE_CHILDREN);
    walk.start(BuildPath(QStringLiteral("tools/talvex-walk")),
               QStringList{"-c", "orchid", "-p", QString::number(port), "-t", "4000", "127.0.0.1"} +
                   what);
    if (!walk.waitForFinished(120000) || walk.exitCode() != 0) return {};
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d+) rows in ([0-9.]+) ms"))
            .match(QString::fromLocal8Bit(walk.readAllStandardError()));
    if (!m.hasMatch() || m.captured(1).toInt() != rows) return {};
    return {m.captured(2).toDouble(), cpuMs(RUSAGE_CHILDREN) - before};
}

// An outside peer's walk of the table entry (the three columns), by wall time: program with
// its options, given limitMs to end.
Figure peerWalk(const QString& program, QStringList options, int limitMs, quint16 port, int rows) {
    QProcess walk;
    QElapsedTimer clock;
    clock.start();
    walk.start(program, options << QStringLiteral("127.0.0.1:%1").arg(port)
                                << QStringLiteral("1.3.6.1.2.1.17.4.3.1"));
    if (!walk.waitForFinished(limitMs) || walk.exitCode() != 0) return {};
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (walk.readAllStandardOutput().count('\n') != 3 * rows) return {};
    return {ms, 0};
}

Figure bulkWalk(quint16 port, int rows) {
    return peerWalk(QStringLiteral("snmpbulkwalk"), {"-v2c", "-c", "orchid", "-Cr50", "-t", "4"},
                    300000, port, rows);
}

// As an operator reads a slow device: get-next, one try.
Figure plainWalk(quint16 port, int rows) {
    return peerWalk(QStringLiteral("snmpwalk"), {"-v2c", "-c", "orchid", "-t", "4", "-r", "1"},
                    600000, port, rows);
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

Figure page(int rows) {
    QElapsedTimer clock;
    malloc_trim(0); // what an earlier page freed does not count as this one's
    const double residentBefore = residentBytes();
    const double before = cpuMs(RUSAGE_SELF);
    clock.start();
    CForwardingTableDlg page;
    page.show();
    const QString done = QString::number(rows);
    QTimer wake; // so that a stalled walk is noticed
    wake.start(100);
    while (ItemText(&page, 1220) != done || page.channel().busy()) {
        // A walk that ended has written its last count.
        if (clock.elapsed() > 600000 || !page.channel().busy()) return {};
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return {double(clock.nsecsElapsed()) / 1e6, cpuMs(RUSAGE_SELF) - before,
            residentBytes() - residentBefore};
}

// The page at growing table sizes, one simulator each.
int scale(int runs) {
    std::printf(
        "forwarding page at scale, talvex-sim --static --fdb-rows N, best of %d runs; against "
        "snmpbulkwalk -Cr50 of the same three columns\n",
        runs);
    std::printf("%8s %12s %14s %14s %16s %8s\n", "rows", "page ms", "processor/row", "resident/row",
                "snmpbulkwalk ms", "ratio");
    for (int rows : {1000, 10000, 100000}) {
        SimProcess sim(
            {QStringLiteral("--static"), QStringLiteral("--fdb-rows"), QString::number(rows)});
        if (!sim.started()) {
            std::fprintf(stderr, "page-bench: talvex-sim did not start\n");
            return 1;
        }
        SetSnmpAgentPort(sim.port());
        // The first page of the process also loads fonts and styles: not the list's cost.
        if (rows == 1000 && page(rows).wallMs < 0) {
            std::fprintf(stderr, "page-bench: the page fell short\n");
            return 1;
        }
        Figure best, bestBulk;
        for (int run = 1; run <= runs; ++run) {
            const Figure p = page(rows);
            const Figure b = bulkWalk(sim.port(), rows);
            if (p.wallMs < 0 || b.wallMs < 0) {
                std::fprintf(stderr, "page-bench: %d rows: %s fell short\n", rows,
                             p.wallMs < 0 ? "the page" : "snmpbulkwalk");
                return 1;
            }
            if (run == 1 || p.wallMs < best.wallMs) best.wallMs = p.wallMs;
            if (run == 1 || p.cpuMs < best.cpuMs) best.cpuMs = p.cpuMs;
            // The first run's figure: later runs reuse what the allocator kept from it.
            if (run == 1) best.residentBytes = p.residentBytes;
            if (run == 1 || b.wallMs < bestBulk.wallMs) bestBulk.wallMs = b.wallMs;
        }
        std::printf("%8d %12.1f %11.2f us %12.0f B %16.1f %8.2f\n", rows, best.wallMs,
                    best.cpuMs * 1000 / rows, best.residentBytes / rows, bestBulk.wallMs,
                    best.wallMs / bestBulk.wallMs);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int arg = 1, delay = 0;
    QString bindingDelay; // MS or MIN-MAX, as talvex-sim takes it
    bool atScale = false;
    for (; argc > arg; ++arg) {
        if (QByteArray(argv[arg]) == "--scale")
            atScale = true;
        else if (argc == arg + 1)
            break;
        else if (QByteArray(argv[arg]) == "--delay")
            delay = std::atoi(argv[++arg]);
        else if (QByteArray(argv[arg]) == "--binding-delay")
            bindingDelay = QString::fromLocal8Bit(argv[++arg]);
        else
            break;
    }
    const int rows = argc > arg ? std::atoi(argv[arg]) : 10000;
    const int runs = argc > arg + 1 ? std::atoi(argv[arg + 1]) : 3;
    SnmpInit(&app);
    SetSnmpTimeout(4000);
    g_strAgentAddress = QStringLiteral("127.0.0.1");
    g_strReadCommunity = QStringLiteral("orchid");
    g_strWriteCommunity = QStringLiteral("saffron");
    if (atScale) return scale(argc > arg ? std::atoi(argv[arg]) : 2);
    QStringList options{QStringLiteral("--static"), QStringLiteral("--fdb-rows"),
                        QString::number(rows), QStringLiteral("--delay"), QString::number(delay)};
    if (!bindingDelay.isEmpty())
        options << QStringLiteral("--serial") << QStringLiteral("--binding-delay") << bindingDelay;
    SimProcess sim(options);
    if (!sim.started()) {
        std::fprintf(stderr, "page-bench: talvex-sim did not start\n");
        return 1;
    }
    SetSnmpAgentPort(sim.port());
    const QStringList columns{"walk", "1.3.6.1.2.1.17.4.3.1.1", "1.3.6.1.2.1.17.4.3.1.3",
                              "1.3.6.1.2.1.17.4.3.1.2"};
    auto served = [&] { return sim.command(QStringLiteral("served")).toInt(); };
    if (!bindingDelay.isEmpty()) {
        std::printf(
            "forwarding page, %d rows of talvex-sim --static --fdb-rows %d --delay %d --serial "
            "--binding-delay %s, against snmpwalk -t 4 -r 1\n",
            rows, rows, delay, qPrintable(bindingDelay));
        QList<double> pages, walks;
        for (int run = 1; run <= runs; ++run) {
            int before = served();
            const int overlappedBefore = sim.command(QStringLiteral("overlapped")).toInt();
            const Figure p = page(rows);
            const int pageRequests = served() - before;
            const int overlapped =
                sim.command(QStringLiteral("overlapped")).toInt() - overlappedBefore;
            before = served();
            const Figure w = plainWalk(sim.port(), rows);
            const int walkRequests = served() - before;
            if (p.wallMs < 0 || w.wallMs < 0) {
                std::fprintf(stderr, "page-bench: run %d: %s fell short\n", run,
                             p.wallMs < 0 ? "the page" : "snmpwalk");
                return 1;
            }
            std::printf(
                "run %d: page %8.1f ms (%d requests, %d overlapping) | snmpwalk %8.1f ms (%d) | "
                "page/snmpwalk %.2f\n",
                run, p.wallMs, pageRequests, overlapped, w.wallMs, walkRequests,
                p.wallMs / w.wallMs);
            std::fflush(stdout);
            pages << p.wallMs;
            walks << w.wallMs;
        }
        std::printf("median of %d: page %.1f ms, snmpwalk %.1f ms, ratio %.2f\n", runs,
                    median(pages), median(walks), median(pages) / median(walks));
        return 0;
    }
    if (delay > 0) {
        std::printf("forwarding page, %d rows of talvex-sim --static --fdb-rows %d --delay %d\n",
                    rows, rows, delay);
        QList<double> ratios;
        for (int run = 1; run <= runs; ++run) {
            int before = served();
            const Figure p = page(rows);
            const int pageRequests = served() - before;
            before = served();
            const Figure b = bulkWalk(sim.port(), rows);
            const int bulkRequests = served() - before;
            before = served();
            const Figure w = walk(sim.port(), columns, rows);
            const int walkRequests = served() - before;
            if (p.wallMs < 0 || b.wallMs < 0 || w.wallMs < 0) {
                std::fprintf(stderr, "page-bench: run %d: a walk fell short\n", run);
                return 1;
            }
            std::printf(
                "run %d: page %8.1f ms (%d requests) | snmpbulkwalk -Cr50 %8.1f ms (%d) | "
                "get-next walk %8.1f ms (%d) | page/snmpbulkwalk %.2f, get-next/page %.1f\n",
                run, p.wallMs, pageRequests, b.wallMs, bulkRequests, w.wallMs, walkRequests,
                p.wallMs / b.wallMs, w.wallMs / p.wallMs);
            std::fflush(stdout);
            ratios << p.wallMs / b.wallMs;
        }
        std::printf("median page/snmpbulkwalk of %d: %.2f\n", runs, median(ratios));
        return 0;
    }
    std::printf(
        "forwarding page against talvex-walk, %d rows of talvex-sim --static --fdb-rows %d\n", rows,
        rows);
    double bestPage = 0, bestWalk = 0;
    for (int run = 1; run <= runs; ++run) {
        const Figure start = walk(sim.port(), {"get", "1.3.6.1.2.1.17.4.2.0"}, 1);
        const Figure w = walk(sim.port(), columns, rows);
        const Figure p = page(rows);
        if (start.wallMs < 0 || w.wallMs < 0 || p.wallMs < 0) {
            std::fprintf(stderr, "page-bench: run %d: %s fell short\n", run,
                         p.wallMs < 0 ? "the page" : "talvex-walk");
            return 1;
        }
        const double walkCpu = w.cpuMs - start.cpuMs;
        std::printf("run %d: wall: page %7.1f ms, talvex-walk %7.1f ms, ratio %.2f | processor: "
                    "page %7.1f ms "
                    "(%4.1f us/row), talvex-walk %7.1f ms (%4.1f us/row), ratio %.2f\n",
                    run, p.wallMs, w.wallMs, p.wallMs / w.wallMs, p.cpuMs, p.cpuMs * 1000 / rows,
                    walkCpu, walkCpu * 1000 / rows, p.cpuMs / walkCpu);
        std::fflush(stdout);
        bestPage = run == 1 ? p.wallMs : std::min(bestPage, p.wallMs);
        bestWalk = run == 1 ? w.wallMs : std::min(bestWalk, w.wallMs);
    }
    // On a shared machine the fastest run of each is the least disturbed.
    std::printf("best of %d: page %.1f ms, talvex-walk %.1f ms, ratio %.2f\n", runs, bestPage,
                bestWalk, bestPage / bestWalk);
    return 0;
}
