// A traffic graph window after a simulated day of 1 s samples of 8 ports: the process's
// resident memory before the window, with the day in it, and the time to redraw it (all of the
// day shown, and the live view). Usage: graph-bench (offscreen platform; nothing is polled).
#include "graphs/ratechart.h"
#include "graphs/trafficgraph.h"
#include "snmp/params.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSpinBox>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median milliseconds of a redraw: the chart decimates the view again and paints.
double redraw(CTrafficGraphWnd& window) {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        window.chart()->refresh();
        (void)window.chart()->grab();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

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
        QElapsedTimer t;
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
    window.chart()->setSpan(qint64(kDefaultIntervalS) * 120 * 1000);
    const double liveMs = redraw(window);

    std::printf("graph window, 8 ports, a day of 1 s samples (%zu samples x %d series)\n",
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
    std::printf("  redraw, live 10 minutes  %8.1f ms (median of 15)\n", liveMs);
    return 0;
}
