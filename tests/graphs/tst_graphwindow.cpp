// The traffic graph window as an operator sees it: what decimation keeps, each line at its own
// unit and height (zoomed in as well), gaps with their reasons on hover, in the status line and
// as empty CSV cells, the legend's figures and hiding, the lines of 8 ports told apart, and the
// port's history read from RRD files made with librrd, live samples on top.
#include "graphs/counters.h"
#include "graphs/rrdread.h"
#include "graphs/samples.h"
#include "graphs/trafficgraph.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/rrdfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QValueAxis>
#include <QtTest>

#include <unistd.h>

extern "C" {
#include <rrd_client.h>
}

#include <cmath>

using namespace graphs;

namespace {

constexpr qint64 kT0 = 1'700'000'000'000; // a whole minute

// Rows of the plot's pixels where the picture has this colour, at time t.
struct Picture {
    QImage image;
    QRectF plot;
    qint64 start, end;
    explicit Picture(RateChart& chart)
        : image(chart.grab().toImage()),
          plot(chart.mapFromScene(chart.chart()->mapToScene(chart.chart()->plotArea().topLeft())),
               chart.chart()->plotArea().size()),
          start(chart.viewStart()), end(chart.viewEnd()) {}
    int x(qint64 t) const {
        return int(plot.left() + double(t - start) / double(end - start) * plot.width());
    }
    // Where a value lies on an axis from 0 to top.
    int y(double v, double top) const { return int(plot.bottom() - v / top * plot.height()); }
    QList<int> rows(int x, QRgb colour) const {
        QList<int> out;
        for (int y = int(plot.top()); y <= int(plot.bottom()) + 1; ++y)
            if (image.pixel(x, y) == colour) out << y;
        return out;
    }
    // Whether the colour lies within 2 pixels of row y in most of the columns from t0 to t1
    // (a dashed stroke leaves some out).
    bool lineAt(qint64 t0, qint64 t1, int y, QRgb colour) const {
        int hit = 0, all = 0;
        for (int x0 = x(t0) + 2; x0 < x(t1) - 2; ++x0, ++all)
            for (int r : rows(x0, colour))
                if (std::abs(r - y) <= 2) {
                    ++hit;
                    break;
                }
        return all > 0 && hit * 2 >= all;
    }
};

QRgb colourOf(const RateChart& chart, int s) {
    return chart.pen(s).color().rgb();
}

const QValueAxis* axis(const RateChart& chart, Qt::Alignment side) {
    for (QAbstractAxis* a : chart.chart()->axes(Qt::Vertical))
        if (a->alignment() == side) return static_cast<QValueAxis*>(a);
    return nullptr;
}

PortReading port(uint64_t inErrors, bool inErrorsThere, bool outErrorsThere, bool inDiscThere,
                 bool outDiscThere) {
    PortReading p;
    p.inOctets = {true, inErrors * 1000, true};
    p.outOctets = {true, inErrors * 500, true};
    p.inErrors = {inErrorsThere, inErrors, false};
    p.outErrors = {outErrorsThere, inErrors, false};
    p.inDiscards = {inDiscThere, inErrors, false};
    p.outDiscards = {outDiscThere, inErrors, false};
    p.speed = 1'000'000'000;
    return p;
}

} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT

    // The collector's configuration, naming dir's "rrd" as where it keeps its files, as the one
    // the windows read.
    static bool useRrdDir(const QTemporaryDir& dir) {
        QFile c(dir.filePath("collect.conf"));
        if (!c.open(QIODevice::WriteOnly)) return false;
        c.write("# as the collector reads it\nrrd-dir " + dir.filePath("rrd").toUtf8() + "\n");
        c.close();
        qputenv("TALVEX_COLLECT_CONF", c.fileName().toUtf8());
        return true;
    }

private slots:
    void initTestCase() {
        // Nobody answers there: the windows' own polls are time-outs.
        g_strAgentAddress = QStringLiteral("127.0.0.5");
        g_strReadCommunity = QStringLiteral("orchid");
        g_strProxyAddress = QStringLiteral("0.0.0.0");
        SetSnmpAgentPort(1161);
        SetSnmpTimeout(500);
        qputenv("TALVEX_COLLECT_CONF", "/nonexistent/collect.conf");
    }

    // Many samples a column: a gap that opens a column still breaks the line, and each
    // column's lowest value is kept beside its highest.
    void decimationKeepsGapsAndLows() {
        SampleStore store(1, 10000);
        // 10 columns of 100 samples; column 3 dips to 7 after its high, column 5 starts on a gap.
        for (int i = 0; i < 1000; ++i) {
            double v = 500 + i % 10;
            if (i == 350) v = 900;
            if (i == 370) v = 7;
            if (i == 500) v = kGap;
            store.append(kT0 + i * 1000ll, &v);
        }
        const std::vector<Point> points = Decimate(store, 0, kT0, kT0 + 1000 * 1000ll, 10);
        QVERIFY(points.size() <= 2 * 10 + 4);
        QCOMPARE(Segments(points).size(), size_t(2));
        QVERIFY(std::any_of(points.begin(), points.end(), [](const Point& p) { return p.v == 7; }));
        QVERIFY(
            std::any_of(points.begin(), points.end(), [](const Point& p) { return p.v == 900; }));
        // Every column keeps its own low (500), not only its high.
        int lows = 0;
        for (const Point& p : points)
            lows += p.v == 500;
        QVERIFY2(lows >= 8, qPrintable(QString::number(lows)));
    }

    // Errors and discards a second are the sum of both directions: either one unknown makes
    // the sum unknown, never the other half alone.
    void sumsNeedBothDirections_data() {
        QTest::addColumn<bool>("inErrors");
        QTest::addColumn<bool>("outErrors");
        QTest::addColumn<bool>("inDiscards");
        QTest::addColumn<bool>("outDiscards");
        QTest::newRow("all there") << true << true << true << true;
        QTest::newRow("in errors missing") << false << true << true << true;
        QTest::newRow("out errors missing") << true << false << true << true;
        QTest::newRow("in discards missing") << true << true << false << true;
        QTest::newRow("out discards missing") << true << true << true << false;
    }
    void sumsNeedBothDirections() {
        QFETCH(bool, inErrors);
        QFETCH(bool, outErrors);
        QFETCH(bool, inDiscards);
        QFETCH(bool, outDiscards);
        RateTracker rates;
        Poll first, second;
        first.answered = second.answered = true;
        first.uptime = 1000;
        second.uptime = 2000;
        first.ports = {port(100, true, true, true, true)};
        second.ports = {port(600, inErrors, outErrors, inDiscards, outDiscards)};
        (void)rates.add(first);
        const std::vector<double> v = rates.add(second);
        QCOMPARE(v[InBits], 500.0 * 1000 * 8 / 10);
        if (inErrors && outErrors)
            QCOMPARE(v[Errors], 100.0);
        else
            QVERIFY2(std::isnan(v[Errors]), qPrintable(QString::number(v[Errors])));
        if (inDiscards && outDiscards)
            QCOMPARE(v[Discards], 100.0);
        else
            QVERIFY2(std::isnan(v[Discards]), qPrintable(QString::number(v[Discards])));
    }

    // Bits on the left axis in their unit, errors a second on the right in theirs: 5 Mbit/s
    // halfway up an axis to 10 Mbit/s, 3 errors a second at three fifths of an axis to 5.
    void eachLineAtItsOwnUnit() {
        SampleStore store(2, 1000);
        for (int i = 0; i < 300; ++i) {
            const double v[] = {5e6, 3};
            store.append(kT0 + i * 1000ll, v);
        }
        RateChart chart(&store, {{"in", Scale::Bits}, {"errors", Scale::PerSecond}},
                        TimeKind::Clock);
        chart.resize(800, 400);
        chart.setSpan(299 * 1000);
        chart.live();
        QCOMPARE(axis(chart, Qt::AlignLeft)->max(), 10.0);
        QCOMPARE(axis(chart, Qt::AlignLeft)->titleText(), QStringLiteral("Mbit/s"));
        QCOMPARE(axis(chart, Qt::AlignRight)->max(), 5.0);
        const Picture p(chart);
        QVERIFY(p.lineAt(kT0, kT0 + 299 * 1000, p.y(5, 10), colourOf(chart, 0)));
        QVERIFY(p.lineAt(kT0, kT0 + 299 * 1000, p.y(3, 5), colourOf(chart, 1)));
    }

    // Zoomed into an hour of a day of 5-minute history: the flat 40 and 90 Mbit/s lines are
    // drawn at their heights and the axis counts them, though none of their kept points (the
    // ends of each level stretch) lies in the view; a small varying line does not set the axis.
    void zoomedFlatLines() {
        SampleStore store(3, 1000);
        for (int i = 0; i < 288; ++i) {
            const double v[] = {40e6, 90e6, 100e3 + 400e3 * (i % 2)};
            store.append(kT0 + i * 300'000ll, v);
        }
        RateChart chart(&store, {{"a", Scale::Bits}, {"b", Scale::Bits}, {"c", Scale::Bits}},
                        TimeKind::Clock);
        chart.resize(800, 400);
        const qint64 from = kT0 + 12 * 3600'000ll, width = 3600'000;
        chart.showRange(from, width);
        const QValueAxis* left = axis(chart, Qt::AlignLeft);
        QCOMPARE(left->titleText(), QStringLiteral("Mbit/s"));
        QCOMPARE(left->max(), 100.0);
        const Picture p(chart);
        QVERIFY(p.lineAt(from, from + width, p.y(40, 100), colourOf(chart, 0)));
        QVERIFY(p.lineAt(from, from + width, p.y(90, 100), colourOf(chart, 1)));
    }

    // With a day in view, a new sample reduces only the newest column: the picture is the one a
    // chart drawing the same view afresh makes.
    void newSampleKeepsDrawnColumns() {
        SampleStore store(2, 200000);
        auto add = [&](int i) {
            const double v[] = {1e6 + 1e5 * std::sin(i / 500.0) + (i * 7919 % 1000) * 100,
                                i % 5000 < 3 ? kGap : 2e5 + (i % 300) * 1000.0};
            store.append(kT0 + i * 1000ll, v);
        };
        for (int i = 0; i < 86400; ++i)
            add(i);
        RateChart live(&store, {{"in", Scale::Bits}, {"out", Scale::Bits}}, TimeKind::Clock);
        live.resize(900, 400);
        live.setSpan(86400 * 1000ll);
        live.live();
        (void)live.grab(); // laid out: the plot has its pixel columns before the samples come
        for (int i = 86400; i < 86400 + 600; ++i) {
            add(i);
            live.refresh();
        }
        RateChart fresh(&store, {{"in", Scale::Bits}, {"out", Scale::Bits}}, TimeKind::Clock);
        fresh.resize(900, 400);
        fresh.showRange(live.viewStart(), live.viewEnd() - live.viewStart());
        const Picture a(live), b(fresh);
        QCOMPARE(a.image.size(), b.image.size());
        // The line entering from the left edge may start from another point before the view.
        int differ = 0;
        for (int x = int(a.plot.left()) + 3; x <= int(a.plot.right()); ++x)
            for (int y = int(a.plot.top()); y <= int(a.plot.bottom()); ++y)
                differ += a.image.pixel(x, y) != b.image.pixel(x, y);
        QCOMPARE(differ, 0);
        QVERIFY(live.drawnPoints(0) <= 2 * 900 + 8);
    }

    // Eight ports: forty lines, no two drawn alike, a port's in and out the same hue.
    void eightPortsToldApart() {
        QList<GraphPort> ports;
        for (int i = 0; i < kMaxGraphPorts; ++i)
            ports << GraphPort{i + 1, QStringLiteral("GigabitEthernet 2/%1").arg(i + 1)};
        SampleStore store(kMaxGraphPorts * kPortSeries, 10);
        RateChart chart(&store, PortSeriesLines(ports), TimeKind::Clock);
        QSet<QString> looks;
        for (int s = 0; s < kMaxGraphPorts * kPortSeries; ++s)
            looks << QStringLiteral("%1 %2")
                         .arg(chart.pen(s).color().name())
                         .arg(int(chart.pen(s).style()));
        QCOMPARE(looks.size(), kMaxGraphPorts * kPortSeries);
        QSet<int> hues;
        for (int p = 0; p < kMaxGraphPorts; ++p) {
            const QColor in = chart.pen(p * kPortSeries + InBits).color(),
                         out = chart.pen(p * kPortSeries + OutBits).color();
            const int apart = std::abs(in.hslHue() - out.hslHue());
            QVERIFY2(std::min(apart, 360 - apart) <= 20, qPrintable(in.name() + " " + out.name()));
            QVERIFY(out.lightness() > in.lightness());
            hues << in.hslHue() / 10;
        }
        QCOMPARE(hues.size(), kMaxGraphPorts);
    }

    // What the window shows of its samples: gap reasons on hover and in the status line, empty
    // CSV cells with units in the header, the same CSV written in pieces while the window goes
    // on, the legend's figures over the view, and a series hidden by a click on its row.
    void windowShowsSamples() {
        auto* window = new CTrafficGraphWnd({{51, QStringLiteral("GigabitEthernet 2/1")}});
        window->show();
        const qint64 now = QDateTime::currentMSecsSinceEpoch() - 1000 * 1000;
        // In: 100 Mbit/s for 60 s, then 300 Mbit/s for 40 s; out a gap from the restart on.
        for (int i = 0; i <= 100; ++i) {
            std::vector<double> v{i <= 60 ? 100e6 : 300e6, 20e6, 0.5, 0, 10};
            std::vector<Gap> why(kPortSeries, Gap::None);
            if (i >= 90) {
                v[OutBits] = kGap;
                why[OutBits] = Gap::Restart;
            }
            window->addSample(now + i * 1000ll, v, why);
        }
        QVERIFY2(window->status()->text().contains(QLatin1String("agent restarted")) &&
                     window->status()->text().contains(QLatin1String("GigabitEthernet 2/1 out")),
                 qPrintable(window->status()->text()));
        RateChart* chart = window->chart();
        chart->showRange(now, 100 * 1000);
        const QRectF plot = chart->chart()->plotArea();
        const QPoint end = chart->mapFromScene(
            chart->chart()->mapToScene(QPointF(plot.right() - 1, plot.center().y())));
        QVERIFY2(chart->hoverText(end).contains(
                     QLatin1String("GigabitEthernet 2/1 out: no value (agent restarted)")),
                 qPrintable(chart->hoverText(end)));

        // The legend: 60 s at 100 and 40 s at 300 Mbit/s average 180 and carry 2.25 GB.
        window->legend()->refresh();
        auto cell = [&](int s, int c) { return window->legend()->item(s, c)->text(); };
        QCOMPARE(cell(InBits, SeriesLegend::Current), QStringLiteral("300.00 Mbit/s"));
        QCOMPARE(cell(InBits, SeriesLegend::Average), QStringLiteral("180.00 Mbit/s"));
        QCOMPARE(cell(InBits, SeriesLegend::Maximum), QStringLiteral("300.00 Mbit/s"));
        QCOMPARE(cell(InBits, SeriesLegend::P95), QStringLiteral("300.00 Mbit/s"));
        QCOMPARE(cell(InBits, SeriesLegend::Total), QStringLiteral("2.25 GB"));
        QCOMPARE(cell(Errors, SeriesLegend::Total), QStringLiteral("50"));

        // The CSV: units in the header, an empty cell for each gap; written in pieces it is
        // the same text as Ctrl+C copies.
        QTemporaryDir dir;
        window->copy();
        const QString copied = QApplication::clipboard()->text();
        const QStringList lines = copied.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY2(lines[0].startsWith(
                     QLatin1String("time,\"GigabitEthernet 2/1 in (bit/s)\",\"GigabitEthernet "
                                   "2/1 out (bit/s)\",\"GigabitEthernet 2/1 errors (per second)")),
                 qPrintable(lines[0]));
        QVERIFY2(lines.last().endsWith(QLatin1String(",300000000,,0.500,0.000,10.000")),
                 qPrintable(lines.last()));
        QSignalSpy done(window, &CTrafficGraphWnd::csvExported);
        window->startCsvExport(dir.filePath("a.csv"));
        QVERIFY(window->csvExportBusy());
        QVERIFY(done.wait(5000));
        QCOMPARE(done[0][0].toBool(), true);
        QFile file(dir.filePath("a.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), copied);

        // A click on a row hides its line; another shows it again.
        QVERIFY(chart->drawnPoints(InBits) > 0);
        QTableWidget* legend = window->legend();
        QTest::mouseClick(legend->viewport(), Qt::LeftButton, {},
                          legend->visualItemRect(legend->item(InBits, 0)).center());
        QVERIFY(!chart->seriesVisible(InBits));
        QCOMPARE(chart->drawnPoints(InBits), 0);
        // The axis now follows out alone: 20 Mbit/s.
        QCOMPARE(axis(*chart, Qt::AlignLeft)->max(), 25.0);
        QTest::mouseClick(legend->viewport(), Qt::LeftButton, {},
                          legend->visualItemRect(legend->item(InBits, 0)).center());
        QVERIFY(chart->seriesVisible(InBits));
        QVERIFY(chart->drawnPoints(InBits) > 0);

        // No two buttons share an Alt key.
        QSet<QChar> keys;
        for (QPushButton* b : window->findChildren<QPushButton*>()) {
            const qsizetype amp = b->text().indexOf(QLatin1Char('&'));
            if (amp < 0) continue;
            const QChar key = b->text().at(amp + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(b->text()));
            keys << key;
        }
        window->close();
    }

    // A port's history as the collector keeps it, a week of 5-minute averages (with an hour
    // unknown), read back into the window: every row where it was, the presets, the legend over
    // the week, a port without a file that starts live, and the simulator's live samples on top.
    void historyFromRrd() {
        QTemporaryDir dir;
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        SetSnmpAgentPort(sim.port());
        QCOMPARE(sim.command(QStringLiteral("traffic 51 80000000 20000000")), QStringLiteral("ok"));
        QVERIFY(useRrdDir(dir));
        const time_t now = time(nullptr);
        const size_t rows = 7 * 288;
        // A working week: busy days, quiet nights; errors now and then.
        auto traffic = [now](time_t t) {
            const double hour = double(t % 86400) / 3600;
            const double day = hour > 7 && hour < 19 ? 1 : 0.2;
            RrdRow r{400e6 * day + 5e6 * double(t / 300 % 7),
                     120e6 * day,
                     t / 300 % 288 == 100 ? 2.0 : 0.0,
                     0,
                     0.1,
                     0.2};
            if ((now - t) / 3600 == 100) r.fill(kGap);
            return r;
        };
        std::string why;
        const std::string file =
            RrdFile(dir.filePath("rrd").toStdString(), "127.0.0.1", sim.port(), 51);
        QVERIFY2(
            MakePortRrd(file, 300, now, rows,
                        {"RRA:AVERAGE:0.5:1:2016", "RRA:MAX:0.5:1:2016", "RRA:AVERAGE:0.5:6:1488"},
                        traffic, &why),
            why.c_str());

        auto* window = new CTrafficGraphWnd({{51, QStringLiteral("GigabitEthernet 2/1")},
                                             {52, QStringLiteral("GigabitEthernet 2/2")}});
        window->show();
        QVERIFY2(window->historySamples() >= rows - 3,
                 qPrintable(QString::number(window->historySamples()) + window->status()->text()));
        QVERIFY2(
            window->status()->text().contains(QLatin1String("No history of GigabitEthernet 2/2")),
            qPrintable(window->status()->text()));
        const SampleStore& store = window->store();
        for (size_t i = 0; i < window->historySamples(); ++i) {
            const time_t t = time_t(store.time(i) / 1000);
            const RrdRow r = traffic(t);
            const double in = store.value(i, InBits), errors = store.value(i, Errors);
            QVERIFY2(std::isnan(r[0]) ? std::isnan(in) : std::abs(in - r[0]) < 1,
                     qPrintable(QStringLiteral("%1: %2 against %3").arg(t).arg(in).arg(r[0])));
            QVERIFY(std::isnan(r[0]) ? std::isnan(errors) : std::abs(errors - r[2]) < 1e-3);
            QVERIFY(std::isnan(store.value(i, kPortSeries + InBits)));
        }
        // The window opens on the last day; "1 week" shows all of it.
        QVERIFY(std::abs(window->chart()->viewEnd() - window->chart()->viewStart() - 86400'000ll) <
                60'000);
        // Live samples follow the history.
        const size_t history = window->historySamples();
        window->interval()->setValue(1);
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= history + 3, 8000);
        QVERIFY(store.time(history) > store.time(history - 1));
        QVERIFY(std::abs(store.value(store.size() - 1, InBits) - 80e6) < 0.8e6);
        QTest::mouseClick(window->presets()[2], Qt::LeftButton);
        QCOMPARE(window->chart()->viewEnd() - window->chart()->viewStart(),
                 std::min<qint64>(7 * 86400'000ll, store.time(store.size() - 1) - store.time(0)));
        QVERIFY(window->chart()->isLive());
        window->legend()->refresh();
        QVERIFY(window->chart()->stats(InBits).p95 >= 400e6);
        QVERIFY(window->chart()->stats(InBits).average < 400e6);
        QTest::qWait(100); // the axes lay out their new labels
        saveShot(window, "traffic-graph-week.png");
        window->close();
        qputenv("TALVEX_COLLECT_CONF", "/nonexistent/collect.conf");
        g_strAgentAddress = QStringLiteral("127.0.0.5");
        SetSnmpAgentPort(1161);
    }

    // Several ports' files: each row of each file in its port's series at its own time, gaps
    // where a file has no row, whether the files share their times (as one collector's do) or
    // one of them is younger; a port without a file is still named.
    void historyOfSeveralPorts_data() {
        QTest::addColumn<size_t>("youngerRows"); // rows of the second port's file (0: as many)
        QTest::newRow("files of the same times") << size_t(0);
        QTest::newRow("a younger file") << size_t(40);
    }
    void historyOfSeveralPorts() {
        QFETCH(size_t, youngerRows);
        g_strAgentAddress = QStringLiteral("127.0.0.5"); // nobody answers its polls
        SetSnmpAgentPort(1161);
        QTemporaryDir dir;
        QVERIFY(useRrdDir(dir));
        const auto restore =
            qScopeGuard([] { qputenv("TALVEX_COLLECT_CONF", "/nonexistent/collect.conf"); });
        const time_t now = time(nullptr);
        const size_t rows = 100;
        auto traffic = [](int port) {
            return [port](time_t t) {
                return RrdRow{1e6 * port + double(t / 300 % 50), 1e5 * port, 0.5 * port, 0, 0, 0};
            };
        };
        std::string why;
        for (int port : {1, 2}) {
            const size_t made = port == 2 && youngerRows ? youngerRows : rows;
            QVERIFY2(
                MakePortRrd(RrdFile(dir.filePath("rrd").toStdString(), "127.0.0.5", 1161, port),
                            300, now, made, {"RRA:AVERAGE:0.5:1:200"}, traffic(port), &why),
                why.c_str());
        }
        CTrafficGraphWnd window(
            {{1, QStringLiteral("p1")}, {2, QStringLiteral("p2")}, {3, QStringLiteral("p3")}});
        QVERIFY2(window.status()->text().contains(QLatin1String("No history of p3")),
                 qPrintable(window.status()->text()));
        const SampleStore& store = window.store();
        QVERIFY(window.historySamples() >= rows - 2);
        size_t second = 0;
        for (size_t i = 0; i < window.historySamples(); ++i) {
            const time_t t = time_t(store.time(i) / 1000);
            for (int port : {1, 2}) {
                const double in = store.value(i, (port - 1) * kPortSeries + InBits);
                const double errors = store.value(i, (port - 1) * kPortSeries + Errors);
                if (std::isnan(in)) continue;
                second += port == 2;
                QVERIFY2(std::abs(in - traffic(port)(t)[0]) < 1,
                         qPrintable(QStringLiteral("port %1 at %2: %3").arg(port).arg(t).arg(in)));
                QVERIFY(std::abs(errors - 0.5 * port) < 1e-6);
            }
            QVERIFY(std::isnan(store.value(i, 2 * kPortSeries + InBits)));
        }
        QVERIFY2(second + 2 >= (youngerRows ? youngerRows : rows) && second <= rows,
                 qPrintable(QString::number(second)));
    }

    // With rrdcached between the collector and the files, what it still holds is read too: the
    // reader has it write the file out first.
    void historyThroughRrdcached() {
        QTemporaryDir dir;
        std::string why;
        const time_t now = time(nullptr) / 60 * 60;
        const std::string file = dir.filePath("if1.rrd").toStdString();
        QVERIFY2(MakePortRrd(
                     file, 60, now - 600, 50, {"RRA:AVERAGE:0.5:1:1000"},
                     [](time_t) { return RrdRow{1, 2, 3, 4, 5, 6}; }, &why),
                 why.c_str());
        const QString socket = dir.filePath("rrdcached.sock");
        QProcess daemon;
        // Foreground, writes held for an hour: only a flush puts them in the file.
        daemon.start(QStringLiteral("rrdcached"), {"-g", "-l", "unix:" + socket, "-w", "3600", "-f",
                                                   "7200", "-p", dir.filePath("rrdcached.pid")});
        QVERIFY(daemon.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 5000);
        const QByteArray address = "unix:" + socket.toUtf8();
        QCOMPARE(rrdc_connect(address.constData()), 0);
        std::vector<std::string> updates;
        for (int m = 1; m <= 5; ++m)
            updates.push_back(std::to_string(now - 600 + m * 60) + ":7:7:7:7:7:7");
        std::vector<const char*> values;
        for (const std::string& u : updates)
            values.push_back(u.c_str());
        QCOMPARE(rrdc_update(file.c_str(), int(values.size()), values.data()), 0);
        rrdc_disconnect();
        RrdHistory h;
        QVERIFY(ReadRrdHistory(file, now - 3600, now, 1000, &h, &why));
        const int64_t newestWithout = h.timesMs.empty() ? 0 : h.timesMs.back();
        qputenv("RRDCACHED_ADDRESS", address);
        const bool read = ReadRrdHistory(file, now - 3600, now, 1000, &h, &why);
        qunsetenv("RRDCACHED_ADDRESS");
        rrdc_disconnect();
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(5000));
        QVERIFY2(read, why.c_str());
        QVERIFY(h.timesMs.back() > newestWithout);
        QCOMPARE(h.timesMs.back(), int64_t(now - 600 + 5 * 60) * 1000);
        QCOMPARE(h.at(h.timesMs.size() - 1, 0), 7.0);
    }

    // A history file is read only as a regular file reached without a link.
    void historyThroughLinkRefused() {
        QTemporaryDir dir;
        std::string why;
        const std::string file = dir.filePath("if1.rrd").toStdString();
        QVERIFY2(MakePortRrd(
                     file, 60, time(nullptr), 10, {"RRA:AVERAGE:0.5:1:100"},
                     [](time_t) { return RrdRow{1, 2, 3, 4, 5, 6}; }, &why),
                 why.c_str());
        RrdHistory h;
        QVERIFY2(ReadRrdHistory(file, time(nullptr) - 3600, time(nullptr), 1000, &h, &why),
                 why.c_str());
        QCOMPARE(h.sources.size(), size_t(6));
        QVERIFY(h.timesMs.size() >= 9);
        QCOMPARE(h.at(h.timesMs.size() - 1, 1), 2.0);
        const std::string link = dir.filePath("if2.rrd").toStdString();
        QCOMPARE(::symlink(file.c_str(), link.c_str()), 0);
        QVERIFY(!ReadRrdHistory(link, time(nullptr) - 3600, time(nullptr), 1000, &h, &why));
        QCOMPARE(why, std::string("not a regular file"));
    }

    // A graph opened without a name (the panel's port) is named as the agent names the port.
    void titleNamesThePort() {
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        SetSnmpAgentPort(sim.port());
        auto* window = new CTrafficGraphWnd({{51, QString()}});
        window->show();
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(),
                                  QStringLiteral("Traffic Graph - GigabitEthernet 2/1"), 5000);
        QCOMPARE(window->legend()->item(0, 0)->text(), QStringLiteral("GigabitEthernet 2/1 in"));
        window->close();
        g_strAgentAddress = QStringLiteral("127.0.0.5");
        SetSnmpAgentPort(1161);
    }
};

QTEST_MAIN(TestGraphWindow)
#include "tst_graphwindow.moc"
