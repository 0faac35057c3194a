// A traffic graph window after a simulated day of 1 s samples of 8 ports: the process's
// resident memory before the window, with the day in it, and the time to redraw it (all of the
// day shown, the same with a new sample, and the live view); then the time to open a window on
// a year of 5-minute history of 8 ports from RRD files made here with librrd, and to export a
// day's CSV. Usage: graph-bench [year] (offscreen platform; nothing is polled); with "year" only
// the year's window is opened, 20 times rather than 5, as a profiler wants it.
#include "graphs/ratechart.h"
#include "graphs/rrdread.h"
#include "graphs/trafficgraph.h"
#include "snmp/params.h"
#include "tests/common/rrdfiles.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace graphs;

namespace {

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// The process's processor time: on a machine shared with other work the wall clock says more
// about the others than about the window. Opening a window is timed on both.
struct Stopwatch {
    timespec from{};
    QElapsedTimer wall;
    static double cpu() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
    }
    double start0 = 0;
    void start() {
        start0 = cpu();
        wall.start();
    }
    void restart() { start(); }
    double nsecsElapsed() const { return cpu() - start0; }
    double wallMs() const { return double(wall.nsecsElapsed()) / 1e6; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median milliseconds of a redraw: the chart decimates the view again and paints.
double redraw(CTrafficGraphWnd& window) {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        Stopwatch t;
        t.start();
        window.chart()->refresh();
        (void)window.chart()->grab();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

bool day(QApplication& app, const QList<GraphPort>& ports);
bool year(const QList<GraphPort>& ports, int times);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Nobody answers on the discard port: the window's own polls go nowhere.
    g_strAgentAddress = QStringLiteral("127.0.0.1");
    SetSnmpAgentPort(9);
    QList<GraphPort> ports;
    for (int i = 0; i < kMaxGraphPorts; ++i)
        ports << GraphPort{i + 1, QStringLiteral("GigabitEthernet 2/%1").arg(i + 1)};
    {
        // Qt Charts' own start-up is not the samples' cost.
        CTrafficGraphWnd warm({ports[0]});
        warm.show();
        app.processEvents();
    }
    const bool yearOnly = argc > 1 && QByteArray(argv[1]) == "year";
    if (!yearOnly && !day(app, ports)) return 1;
    return year(ports, yearOnly ? 20 : 5) ? 0 : 1;
}

namespace {

// A simulated day of 1 s samples of 8 ports in a window: memory, redraws, the CSV.
bool day(QApplication& app, const QList<GraphPort>& ports) {
    const double before = residentMiB();
    CTrafficGraphWnd window(ports);
    window.interval()->setValue(kMaxIntervalS);
    window.show();
    app.processEvents();

    SampleStore& store = window.store();
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - 86400ll * 1000;
    std::vector<double> values(size_t(store.series()));
    for (int s = 0; s < 86400; ++s) {
        for (int p = 0; p < kMaxGraphPorts; ++p) {
            double* v = values.data() + p * kPortSeries;
            const double load =
                4e8 + 3e8 * std::sin(s / 3600.0 + p) + double((s * 7919 + p * 104729) % 1000) * 1e5;
            v[InBits] = load;
            v[OutBits] = load / 3;
            v[Errors] = (s + p) % 600 == 0 ? 12 : 0;
            v[Discards] = 0;
            v[Utilisation] = load / 1e7;
            if (s % 20000 == 19999) // a restart now and then
                for (int k = 0; k < kPortSeries; ++k)
                    v[k] = kGap;
        }
        store.append(start + qint64(s) * 1000, values.data());
    }
    const double filled = residentMiB();
    window.chart()->setSpan(86400ll * 1000);
    const double dayMs = redraw(window);
    std::vector<double> decimations;
    for (int i = 0; i < 5; ++i) {
        Stopwatch t;
        t.start();
        for (int s = 0; s < store.series(); ++s)
            (void)Decimate(store, s, start, start + 86400ll * 1000, window.chart()->width());
        decimations.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double after = residentMiB();
    malloc_trim(0);
    const double trimmed = residentMiB();
    int points = 0;
    for (int s = 0; s < store.series(); ++s)
        points += window.chart()->drawnPoints(s);
    // A poll with the whole day in view: the columns drawn before stay.
    std::vector<double> newSample;
    for (int i = 0; i < 15; ++i) {
        Stopwatch t;
        t.start();
        store.append(QDateTime::currentMSecsSinceEpoch(), values.data());
        window.chart()->refresh();
        (void)window.chart()->grab();
        newSample.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    // A day's CSV, written in pieces: the memory it takes beyond the window's.
    QTemporaryDir csvDir;
    const double beforeCsv = residentMiB();
    Stopwatch csvTime;
    csvTime.start();
    (void)window.exportCsv(csvDir.filePath(QStringLiteral("day.csv")));
    const double csvMs = double(csvTime.nsecsElapsed()) / 1e6;
    const double csvMiB = residentMiB() - beforeCsv;
    const qint64 csvBytes = QFileInfo(csvDir.filePath(QStringLiteral("day.csv"))).size();
    window.chart()->setSpan(qint64(kDefaultIntervalS) * 120 * 1000);
    const double liveMs = redraw(window);

    std::printf("graph window, 8 ports, a day of 1 s samples (%zu samples x %d series); times are "
                "processor time\n",
                store.size(), store.series());
    std::printf("  samples held             %8.1f MiB\n", double(store.bytes()) / (1024 * 1024));
    std::printf("  resident before window   %8.1f MiB\n", before);
    std::printf("  resident, samples stored %8.1f MiB (+%.1f MiB)\n", filled, filled - before);
    std::printf("  resident with the day    %8.1f MiB (+%.1f MiB)\n", after, after - before);
    std::printf("  ... after malloc_trim    %8.1f MiB (+%.1f MiB)\n", trimmed, trimmed - before);
    std::printf("  points drawn             %8d (whole day, %d series, %d px wide)\n", points,
                store.series(), window.chart()->width());
    std::printf("  redraw, whole day        %8.1f ms (median of 15)\n", dayMs);
    std::printf("  of which decimation      %8.1f ms\n", median(decimations));
    std::printf("  new sample, day in view  %8.1f ms (median of 15)\n", median(newSample));
    std::printf("  redraw, live 10 minutes  %8.1f ms (median of 15)\n", liveMs);
    std::printf("  CSV of the day           %8.1f ms, %.1f MB, +%.1f MiB resident\n", csvMs,
                double(csvBytes) / 1e6, csvMiB);
    return true;
}

// A window opened on a year of 5-minute history of 8 ports, times times.
bool year(const QList<GraphPort>& ports, int times) {

    // A year of 5-minute averages a port, as a collector at a 5-minute step would keep them.
    QTemporaryDir rrd;
    const QString conf = rrd.filePath(QStringLiteral("collect.conf"));
    QFile confFile(conf);
    if (!confFile.open(QIODevice::WriteOnly)) return false;
    confFile.write("rrd-dir " + rrd.filePath(QStringLiteral("rrd")).toUtf8() + "\n");
    confFile.close();
    qputenv("TALVEX_COLLECT_CONF", conf.toUtf8());
    const size_t rows = 365 * 288;
    const time_t now = time(nullptr);
    Stopwatch making;
    making.start();
    for (int p = 0; p < kMaxGraphPorts; ++p) {
        std::string why;
        const std::string file = RrdFile(rrd.filePath(QStringLiteral("rrd")).toStdString(),
                                         g_strAgentAddress.toStdString(), 9, p + 1);
        if (!MakePortRrd(
                file, 300, now, rows, {"RRA:AVERAGE:0.5:1:" + std::to_string(rows)},
                [p](time_t t) {
                    const double load = 4e8 + 3e8 * std::sin(double(t) / 86400 + p);
                    return RrdRow{load, load / 3, 0.01, 0, 0, 0.02};
                },
                &why)) {
            std::fprintf(stderr, "graph-bench: %s\n", why.c_str());
            return false;
        }
    }
    const double makingS = double(making.nsecsElapsed()) / 1e9;
    std::vector<double> opens, openWall, reads, builds, legends;
    size_t history = 0;
    for (int i = 0; i < times; ++i) {
        Stopwatch t;
        t.start();
        for (int p = 0; p < kMaxGraphPorts; ++p) {
            RrdHistory h;
            std::string why;
            (void)ReadRrdHistory(RrdFile(rrd.filePath(QStringLiteral("rrd")).toStdString(),
                                         g_strAgentAddress.toStdString(), 9, p + 1),
                                 now - kHistorySeconds, now, kMaxHistoryRows, &h, &why);
        }
        reads.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        CTrafficGraphWnd year(ports);
        builds.push_back(double(t.nsecsElapsed()) / 1e6);
        year.presets().last()->click();
        year.show();
        (void)year.grab();
        opens.push_back(double(t.nsecsElapsed()) / 1e6);
        openWall.push_back(t.wallMs());
        history = year.historySamples();
        t.restart();
        year.legend()->refresh();
        legends.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("graph window on a year of 5-minute history, 8 ports (%zu samples; files made in "
                "%.1f s)\n",
                history, makingS);
    std::printf(
        "  open, a year in view     %8.1f ms processor time, %.1f ms wall (medians of %d)\n",
        median(opens), median(openWall), times);
    std::printf("  of which the window made %8.1f ms, the files alone read in %.1f ms\n",
                median(builds), median(reads));
    std::printf("  legend's figures, a year %8.1f ms (after the first paint)\n", median(legends));
    return true;
}

} // namespace
