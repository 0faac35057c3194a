// Traffic graphs: the counter rules as tables, then live graphs against talvex-sim traffic set
// to known rates (wraps, restarts, dropped answers, holes), against snmpd beside snmpget, and
// the openings and exports through the real controls.
#include "app/paneldlg.h"
#include "graphs/counters.h"
#include "graphs/historychart.h"
#include "graphs/samples.h"
#include "graphs/trafficgraph.h"
#include "pages/interfaceinfodlg.h"
#include "pages/rmoncommon.h"
#include "pages/rmoncounterdlgs.h"
#include "pages/rmonhistorydlg.h"
#include "pages/rmonstatdlg.h"
#include "panel/panelpoller.h"
#include "panel/panelview.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/paneltest.h"
#include "tests/common/peers.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>

using namespace graphs;

namespace {

constexpr int kGigabitPort = 51;    // GigabitEthernet 2/1
constexpr int kTenGigabitPort = 99; // TenGigabit 4/1
constexpr double k32 = 4294967296.0;

Reading r32(uint64_t v) {
    return {true, v, false};
}
Reading r64(uint64_t v) {
    return {true, v, true};
}

// One port's poll: the agent's uptime (hundredths), the local clock (the answer came at once),
// the in-octet counters (nullopt: not given); the other counters stand still.
Poll poll(uint32_t uptime, double local, std::optional<uint64_t> hcIn,
          std::optional<uint64_t> in32 = {}, uint64_t speed = 1'000'000'000, bool capped = false) {
    PortReading port;
    port.inOctets = {hcIn.has_value(), hcIn.value_or(0), true};
    port.outOctets = {hcIn.has_value(), 0, true};
    port.inOctets32 = {in32.has_value(), in32.value_or(0), false};
    port.outOctets32 = {in32.has_value(), 0, false};
    port.inErrors = port.outErrors = port.inDiscards = port.outDiscards = r32(0);
    port.speed = speed;
    port.speedCapped = capped;
    Poll p;
    p.answered = true;
    p.uptime = uptime;
    p.sent = p.received = local;
    p.ports = {port};
    return p;
}
Poll unanswered(double local) {
    Poll p = poll(0, local, {});
    p.answered = false;
    return p;
}

// The point of a chart's plot at time t, half way up.
QPoint pointAt(const RateChart& chart, qint64 t) {
    const QRectF plot = chart.chart()->plotArea();
    const double x = plot.left() + double(t - chart.viewStart()) /
                                       double(chart.viewEnd() - chart.viewStart()) * plot.width();
    return chart.mapFromScene(chart.chart()->mapToScene(QPointF(x, plot.center().y())));
}

bool near(double value, double expected, double tolerance) {
    return std::abs(value - expected) <= expected * tolerance;
}

// Series s of the store as values, NaN for gaps.
QList<double> seriesOf(const SampleStore& store, int s) {
    QList<double> out;
    for (size_t i = 0; i < store.size(); ++i)
        out << store.value(i, s);
    return out;
}

QString show(const QList<double>& values) {
    QStringList texts;
    for (double v : values)
        texts << (std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'g', 6));
    return texts.join(QLatin1Char(' '));
}

} // namespace

class TestGraphs : public QObject {
    Q_OBJECT

    QString m_dir = QStringLiteral(TALVEX_SOURCE_DIR "/res/panel");
    QPointer<CTrafficGraphWnd> m_window;
    QTemporaryDir* m_saveDir = nullptr;

    // The simulator, once it runs, as the agent of everything opened from here on.
    static bool agent(SimProcess& sim) {
        if (!sim.started()) return false;
        SetSnmpAgentPort(sim.port());
        g_strReadCommunity = QStringLiteral("orchid");
        return true;
    }

    // The interface page as the menu runs it: selecting rows, Graph, and the window it opens.
    void driveInterfacePage(CInterfaceInfoDlg* page) {
        page->show();
        platform::ListView* list = page->list();
        (void)QTest::qWaitFor([&] { return list->rowCount() > 60 && !page->channel().busy(); },
                              10000);
        QVERIFY(!enabled(page, res::interface::kGraph));
        list->selectAll();
        QVERIFY(!enabled(page, res::interface::kGraph)); // more than eight
        list->clearSelection();
        list->setRowSelected(kGigabitPort - 1);
        list->setRowSelected(kGigabitPort);
        click(page, res::interface::kGraph);
        m_window = page->findChild<CTrafficGraphWnd*>();
        QVERIFY(m_window);
        CTrafficGraphWnd* window = m_window;
        QCOMPARE(window->poller()->ports().size(), 2);
        QCOMPARE(window->poller()->ports()[0].ifIndex, kGigabitPort);
        QCOMPARE(window->poller()->ports()[1].name, list->text(kGigabitPort, 2));
        QCOMPARE(window->interval()->value(), 5);
        window->interval()->setValue(1);
        QTRY_VERIFY_WITH_TIMEOUT(window->store().size() >= 3, 8000);

        // Ctrl+C and the CSV file say the same: ISO 8601 times, one column a series.
        QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
        const QString csv = QApplication::clipboard()->text();
        const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), int(window->store().size()) + 1);
        QCOMPARE(lines[0].count(QLatin1Char(',')), 2 * kPortSeries);
        QVERIFY2(lines[0].startsWith(QLatin1String("time,\"GigabitEthernet 2/1 in (bit/s)\"")),
                 qPrintable(lines[0]));
        static const QRegularExpression iso(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,"));
        QVERIFY2(iso.match(lines.last()).hasMatch(), qPrintable(lines.last()));
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->text().remove(QLatin1Char('&')).contains(QLatin1String("CSV")) ||
                b->text().remove(QLatin1Char('&')).contains(QLatin1String("PNG")))
                QTest::mouseClick(b, Qt::LeftButton);
        QTRY_VERIFY(!window->csvExportBusy());
        QFile file(m_saveDir->filePath("out.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll()).startsWith(lines[0]));
        QImage png(m_saveDir->filePath("out.png"));
        QVERIFY(!png.isNull() && png.width() > 300);

        // The wheel leaves live; the button comes back to it.
        QVERIFY(!window->liveButton()->isEnabled());
        const QPoint middle = window->chart()->rect().center();
        QWheelEvent wheel(middle, window->chart()->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton,
                          {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window->chart()->viewport(), &wheel);
        QVERIFY(!window->chart()->isLive());
        QVERIFY(window->chart()->hoverText(middle).contains(
            QLatin1String("GigabitEthernet 2/1 out: ")));
        QTest::mouseClick(window->liveButton(), Qt::LeftButton);
        QVERIFY(window->chart()->isLive());
    }

private slots:
    void initTestCase() {
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        g_strWriteCommunity = QStringLiteral("saffron");
        g_strProxyAddress = QStringLiteral("0.0.0.0");
        g_bUserRight = 1;
        SetSnmpTimeout(1500);
    }

    void cleanupTestCase() { SetSnmpAgentPort(0); }

    // One counter between two readings: the rate, or the reason there is none. maxPerSecond 0
    // is a port of unknown speed; kFasterThanKnown one whose ifSpeed is capped with no
    // ifHighSpeed beside it.
    void counterRate_data() {
        QTest::addColumn<Reading>("before");
        QTest::addColumn<Reading>("after");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("maxPerSecond");
        QTest::addColumn<double>("rate"); // NaN: a gap
        QTest::addColumn<Gap>("why");
        const double gap = kGap, gigabit = 125e6, tenGigabit = 1.25e9;
        QTest::newRow("64-bit") << r64(1000) << r64(11000) << 2.0 << 0.0 << 5000.0 << Gap::None;
        QTest::newRow("64-bit past 2^32")
            << r64(4294967000u) << r64(4294967296ull + 9704) << 1.0 << 0.0 << 10000.0 << Gap::None;
        QTest::newRow("64-bit went back")
            << r64(5000) << r64(4000) << 1.0 << 0.0 << gap << Gap::WentBack;
        QTest::newRow("32-bit") << r32(100) << r32(300) << 2.0 << gigabit << 100.0 << Gap::None;
        QTest::newRow("32-bit one wrap")
            << r32(4294967000u) << r32(704) << 1.0 << gigabit << 1000.0 << Gap::None;
        // 10 Gbit/s counts 2^32 octets in 3.4 s: at 4 s a delta may hide a whole wrap.
        QTest::newRow("32-bit, interval too long for one wrap")
            << r32(100) << r32(300) << 4.0 << tenGigabit << gap << Gap::Slow32;
        // Without a speed nothing says a lower value is one wrap rather than a counter that
        // went back (this took one wrap at any interval before).
        QTest::newRow("32-bit, unknown speed, lower")
            << r32(4294967295u) << r32(9) << 10.0 << 0.0 << gap << Gap::WentBack;
        QTest::newRow("32-bit, unknown speed, higher")
            << r32(100) << r32(1100) << 10.0 << 0.0 << 100.0 << Gap::None;
        // A 10G port without ifXTable: its capped ifSpeed says only "faster", so any interval
        // may hide a wrap (drew 3.0 Gbit/s for 9.9).
        QTest::newRow("32-bit, capped speed, higher")
            << r32(100) << r32(1'890'000'000) << 5.0 << kFasterThanKnown << gap << Gap::Slow32;
        QTest::newRow("32-bit, capped speed, lower")
            << r32(4'000'000'000u) << r32(100) << 1.0 << kFasterThanKnown << gap << Gap::Slow32;
        // A Counter32 set lower without a restart: as a wrap it would be 6.9 Gbit/s on a
        // gigabit port.
        QTest::newRow("32-bit went back, gigabit")
            << r32(1'000'000'000) << r32(999'000'000) << 5.0 << gigabit << gap << Gap::WentBack;
        // ifInErrors set lower: a wrap would be 4.3e9 errors/s, past one minimum frame per 672
        // bit times.
        QTest::newRow("errors went back")
            << r32(1000) << r32(900) << 1.0 << 1e9 / 672 << gap << Gap::WentBack;
        QTest::newRow("64-bit jumps forward")
            << r64(1000) << r64(1'000'001'000) << 1.0 << gigabit << gap << Gap::OverLineRate;
        // The uptime counts hundredths: a saturated port may read a tick's worth over.
        QTest::newRow("64-bit a tick over the line rate")
            << r64(0) << r64(126'000'000) << 1.0 << gigabit << gigabit << Gap::None;
        QTest::newRow("hole before") << Reading{} << r32(10) << 1.0 << 0.0 << gap << Gap::Missing;
        QTest::newRow("hole after") << r64(10) << Reading{} << 1.0 << 0.0 << gap << Gap::Missing;
        QTest::newRow("64-bit, then 32-bit")
            << r64(10) << r32(20) << 1.0 << 0.0 << gap << Gap::Missing;
        QTest::newRow("no time between")
            << r64(10) << r64(20) << 0.0 << 0.0 << gap << Gap::ClockFrozen;
    }
    void counterRate() {
        QFETCH(Reading, before);
        QFETCH(Reading, after);
        QFETCH(double, seconds);
        QFETCH(double, maxPerSecond);
        QFETCH(double, rate);
        QFETCH(Gap, why);
        const Rate got = CounterRate(before, after, seconds, maxPerSecond);
        QCOMPARE(got.gap, why);
        if (std::isnan(rate))
            QVERIFY2(std::isnan(got.value), qPrintable(QString::number(got.value)));
        else
            QCOMPARE(got.value, rate);
    }

    // Successive polls of one port through the tracker: in-bits of each poll, and why each
    // gap is one. Polls are a second apart by the local clock unless a case says otherwise.
    void tracker_data() {
        QTest::addColumn<QList<Poll>>("polls");
        QTest::addColumn<QList<double>>("inBits");
        QTest::addColumn<QList<Gap>>("why");
        const double gap = kGap;
        // Agent up 10 s, restarted, polled again 30 s later at uptime 28 s: by the agent's
        // clock 18 s passed, by ours 30. Its 32-bit counter, lower, would pass for one wrap.
        QTest::newRow("restart, new uptime past the old")
            << QList<Poll>{poll(1000, 10, {}, 4'000'000'000u), poll(2800, 40, {}, 350'000'000)}
            << QList<double>{gap, gap} << QList<Gap>{Gap::First, Gap::Restart};
        QTest::newRow("uptime went back")
            << QList<Poll>{poll(1000, 10, 5000), poll(500, 11, 9000)} << QList<double>{gap, gap}
            << QList<Gap>{Gap::First, Gap::Restart};
        // A frozen sysUpTime: no rate while it stands, and the base stays, so the first poll
        // after it is measured from the last good one.
        QTest::newRow("agent clock frozen")
            << QList<Poll>{poll(1000, 10, 0), poll(1100, 11, 10'000'000),
                           poll(1100, 12, 20'000'000), poll(1300, 13, 30'000'000)}
            << QList<double>{gap, 80e6, gap, 80e6}
            << QList<Gap>{Gap::First, Gap::None, Gap::ClockFrozen, Gap::None};
        QTest::newRow("time-out keeps the base")
            << QList<Poll>{poll(1000, 10, 0), unanswered(11), poll(1200, 12, 20'000'000)}
            << QList<double>{gap, gap, 80e6} << QList<Gap>{Gap::First, Gap::Timeout, Gap::None};
        // One answer without the 64-bit counters: the 32-bit ones stand in, and the next poll
        // is back on the 64-bit ones.
        QTest::newRow("64-bit counters missing once")
            << QList<Poll>{poll(100, 1, 0, 0), poll(200, 2, {}, 10'000'000),
                           poll(300, 3, 20'000'000, 20'000'000),
                           poll(400, 4, 30'000'000, 30'000'000)}
            << QList<double>{gap, 80e6, 80e6, 80e6}
            << QList<Gap>{Gap::First, Gap::None, Gap::None, Gap::None};
        // A gigabit port without ifXTable polled every 60 s: 2^32 octets in 34 s.
        QTest::newRow("32-bit, gigabit, every 60 s")
            << QList<Poll>{poll(0, 0, {}, 0), poll(6000, 60, {}, 600'000'000)}
            << QList<double>{gap, gap} << QList<Gap>{Gap::First, Gap::Slow32};
        QTest::newRow("capped speed, 32-bit")
            << QList<Poll>{poll(0, 0, {}, 0, 0, true), poll(100, 1, {}, 1'000'000, 0, true)}
            << QList<double>{gap, gap} << QList<Gap>{Gap::First, Gap::Slow32};
        QTest::newRow("64-bit jumps forward")
            << QList<Poll>{poll(0, 0, 0), poll(100, 1, 1'000'000'000'000)}
            << QList<double>{gap, gap} << QList<Gap>{Gap::First, Gap::OverLineRate};
        // An agent that refreshes its counters every 3 s, polled every second (drew 0, 0, 601,
        // 0 Mbit/s): each refresh is measured from the one before, and the repeats between hold
        // the rate.
        QTest::newRow("agent refreshing every 3 s")
            << QList<Poll>{poll(100, 1, 0),          poll(200, 2, 0),
                           poll(300, 3, 75'000'000), poll(400, 4, 75'000'000),
                           poll(500, 5, 75'000'000), poll(600, 6, 150'000'000),
                           poll(700, 7, 150'000'000)}
            << QList<double>{gap, 0, 300e6, 300e6, 300e6, 200e6, 200e6}
            << QList<Gap>{Gap::First, Gap::None, Gap::None, Gap::None,
                          Gap::None,  Gap::None, Gap::None};
        // An idle port's counters stand still: that is no traffic, not a cache.
        QTest::newRow("idle") << QList<Poll>{poll(100, 1, 500), poll(200, 2, 500),
                                             poll(300, 3, 500)}
                              << QList<double>{gap, 0, 0}
                              << QList<Gap>{Gap::First, Gap::None, Gap::None};
        // The cache holds for a few seconds, no longer: a device gone quiet shows zero.
        QTest::newRow("gone quiet")
            << QList<Poll>{poll(100, 1, 0), poll(200, 2, 10'000'000), poll(700, 7, 10'000'000),
                           poll(1300, 13, 10'000'000)}
            << QList<double>{gap, 80e6, 80e6, 0}
            << QList<Gap>{Gap::First, Gap::None, Gap::None, Gap::None};
    }
    void tracker() {
        QFETCH(QList<Poll>, polls);
        QFETCH(QList<double>, inBits);
        QFETCH(QList<Gap>, why);
        RateTracker tracker;
        QList<double> got;
        QList<Gap> reasons;
        for (const Poll& p : polls) {
            const std::vector<double> values = tracker.add(p);
            QCOMPARE(values.size(), size_t(kPortSeries));
            QCOMPARE(tracker.gaps().size(), values.size());
            got << values[InBits];
            reasons << tracker.gaps()[InBits];
        }
        QCOMPARE(reasons, why);
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(std::isnan(got[i]) ? std::isnan(inBits[i]) : near(got[i], inBits[i], 1e-9),
                     qPrintable(show(got)));
    }

    // A day of 1 s samples drawn on 800 columns: at most two points a column, the one-second
    // spike and the gap both still there.
    void decimation() {
        SampleStore store(1, 86400);
        const qint64 t0 = 1'700'000'000'000;
        for (int i = 0; i < 86400; ++i) {
            double v = 1000 + i % 7;
            if (i == 40000) v = 1e6;
            if (i >= 60000 && i < 60003) v = kGap;
            store.append(t0 + qint64(i) * 1000, &v);
        }
        const std::vector<Point> points = Decimate(store, 0, t0, t0 + 86399 * 1000ll, 800);
        QVERIFY2(points.size() <= 2 * 800 + 4, qPrintable(QString::number(points.size())));
        const auto spike =
            std::find_if(points.begin(), points.end(), [](const Point& p) { return p.v == 1e6; });
        QVERIFY(spike != points.end());
        QCOMPARE(spike->t, double(t0 + 40000 * 1000ll));
        QCOMPARE(Segments(points).size(), size_t(2));
        for (const Point& p : points)
            QVERIFY(std::isnan(p.v) || p.v >= 1000);
        // The ring keeps the newest day.
        double v = 5;
        store.append(t0 + 86400 * 1000ll, &v);
        QCOMPARE(store.size(), size_t(86400));
        QCOMPARE(store.time(0), t0 + 1000);
        QCOMPARE(store.value(86399, 0), 5.0);
    }

    // The painted picture: a line at its value's height, broken at each of 30 gaps (more lines
    // than a series once had room for), drawn on between them.
    void linesBreakAtGaps() {
        SampleStore store(1, 1000);
        const qint64 t0 = 1'700'000'000'000;
        for (int i = 0; i < 600; ++i) {
            const double v = i % 20 >= 8 && i % 20 <= 10 ? kGap : 500;
            store.append(t0 + i * 1000ll, &v);
        }
        RateChart chart(&store, {{QStringLiteral("line"), Scale::PerSecond}}, TimeKind::Clock);
        chart.resize(800, 400);
        chart.setSpan(599 * 1000);
        chart.live();
        const QImage image = chart.grab().toImage();
        const QRectF plot = QRectF(
            chart.mapFromScene(chart.chart()->mapToScene(chart.chart()->plotArea().topLeft())),
            chart.chart()->plotArea().size());
        const QRgb colour = qRgb(0x1f, 0x77, 0xb4);
        auto rowsAt = [&](qint64 t) {
            const int x =
                int(plot.left() + double(t - chart.viewStart()) /
                                      double(chart.viewEnd() - chart.viewStart()) * plot.width());
            QList<int> rows;
            for (int y = int(plot.top()); y <= int(plot.bottom()); ++y)
                if (image.pixel(x, y) == colour) rows << y;
            return rows;
        };
        const int middle = int(plot.top() + plot.height() / 2); // 500 on an axis to 1000
        for (int k = 0; k < 30; ++k) {
            const qint64 run = t0 + (k * 20 + 3) * 1000ll, gap = t0 + (k * 20 + 9) * 1000ll;
            const QList<int> rows = rowsAt(run);
            QVERIFY2(rows.size() == 1 && std::abs(rows[0] - middle) <= 1,
                     qPrintable(QStringLiteral("run %1").arg(k)));
            QVERIFY2(rowsAt(gap).isEmpty(), qPrintable(QStringLiteral("gap %1").arg(k)));
        }
    }

    // Known traffic on the simulator, read by a live graph: every rate within 1 %, across the
    // 32-bit wraps of a ten-gigabit port without ifXTable.
    void ratesAgainstSim_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("port");
        QTest::addColumn<double>("in");
        QTest::addColumn<double>("out");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("polls");
        QTest::addColumn<bool>("wide");
        QTest::newRow("gigabit, 64-bit counters, every second")
            << QStringList{} << kGigabitPort << 80e6 << 20e6 << 600 << 1 << 20 << true;
        // A gigabit port without ifXTable: 32-bit counters, one wrap every 34 s at line rate.
        QTest::newRow("gigabit, 32-bit counters only, every 2 s")
            << QStringList{"--no-ifxtable"} << kGigabitPort << 900e6 << 300e6 << 0 << 2 << 9
            << false;
    }
    void ratesAgainstSim() {
        QFETCH(QStringList, options);
        QFETCH(int, port);
        QFETCH(double, in);
        QFETCH(double, out);
        QFETCH(int, errors);
        QFETCH(int, interval);
        QFETCH(int, polls);
        QFETCH(bool, wide);
        SimProcess sim(options << "--static");
        QVERIFY(agent(sim));
        QCOMPARE(sim.command(QStringLiteral("traffic %1 %2 %3 %4")
                                 .arg(port)
                                 .arg(qint64(in))
                                 .arg(qint64(out))
                                 .arg(errors)),
                 QStringLiteral("ok"));
        auto* window = new CTrafficGraphWnd({{port, QStringLiteral("port")}});
        window->interval()->setValue(interval);
        window->show();
        const SampleStore& store = window->store();
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= size_t(polls + 1), (polls + 4) * interval * 1000);
        const QList<double> inRates = seriesOf(store, InBits), outRates = seriesOf(store, OutBits);
        // The first poll has nothing to subtract.
        const qsizetype first = 1;
        int valid = 0;
        double worst = 0;
        for (qsizetype i = first; i < inRates.size(); ++i) {
            worst =
                std::max({worst, std::abs(inRates[i] / in - 1), std::abs(outRates[i] / out - 1)});
            QVERIFY2(near(inRates[i], in, 0.01) && near(outRates[i], out, 0.01),
                     qPrintable(show(inRates) + " / " + show(outRates)));
            QVERIFY(near(store.value(size_t(i), Errors), errors, 0.01));
            ++valid;
        }
        QVERIFY(valid >= polls - 1);
        qInfo("%d rates, at most %.4f %% off the set rate", valid, worst * 100);
        QCOMPARE(window->poller()->wide(0), wide);
        QVERIFY(near(store.value(store.size() - 1, Utilisation), wide ? 8.0 : 90.0, 0.01));
        if (wide) saveShot(window, "traffic-graph.png");
        window->close();
    }

    // Each event that leaves a rate unknown is a gap in the line, never a spike or a zero, and
    // the line goes on after it.
    void gaps_data() {
        QTest::addColumn<QString>("event");  // commands separated by ';'
        QTest::addColumn<QString>("after");  // the command that ends it, if any
        QTest::addColumn<bool>("outGoesOn"); // the other series keeps its value meanwhile
        QTest::addColumn<Gap>("why");        // one of the gaps' reasons
        QTest::newRow("restart") << "restart"
                                 << "" << false << Gap::Restart;
        // Restarted and already up longer than before, by the next poll.
        QTest::newRow("restart, new uptime past the old") << "restart 60"
                                                          << "" << false << Gap::Restart;
        QTest::newRow("dropped answers") << "drop 1"
                                         << "drop 0" << false << Gap::Timeout;
        QTest::newRow("hole") << "del 1.3.6.1.2.1.31.1.1.1.6.51;del 1.3.6.1.2.1.2.2.1.10.51"
                              << "traffic 51 80000000 20000000" << true << Gap::Missing;
        QTest::newRow("discontinuity") << "put 1.3.6.1.2.1.31.1.1.1.19.51 t 4242"
                                       << "" << false << Gap::Restart;
        QTest::newRow("clock frozen") << "freeze 1"
                                      << "freeze 0" << false << Gap::ClockFrozen;
        QTest::newRow("64-bit counter jumps") << "bump 51 in 1000000000000"
                                              << "" << true << Gap::OverLineRate;
        QTest::newRow("64-bit counter goes back") << "bump 51 in -20000000"
                                                  << "" << true << Gap::WentBack;
    }
    void gaps() {
        QFETCH(QString, event);
        QFETCH(QString, after);
        QFETCH(bool, outGoesOn);
        QFETCH(Gap, why);
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        QCOMPARE(sim.command(QStringLiteral("traffic 51 80000000 20000000")), QStringLiteral("ok"));
        auto* window = new CTrafficGraphWnd({{kGigabitPort, QStringLiteral("port")}});
        window->interval()->setValue(1);
        const auto closer = qScopeGuard([w = QPointer(window)] { delete w.data(); });
        QList<Gap> reasons;
        connect(window->poller(), &CounterPoller::sampled, this,
                [&] { reasons << window->poller()->gaps().at(InBits); });
        const SampleStore& store = window->store();
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= 3, 8000);
        const size_t before = store.size();
        for (const QString& command : event.split(QLatin1Char(';')))
            QCOMPARE(sim.command(command), QStringLiteral("ok"));
        if (event.startsWith(QLatin1String("freeze"))) QTest::qWait(2500);
        auto gapSince = [&] {
            for (size_t i = before; i < store.size(); ++i)
                if (std::isnan(store.value(i, InBits))) return int(i);
            return -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(gapSince() >= 0, 8000);
        const int gap = gapSince();
        if (!after.isEmpty()) QCOMPARE(sim.command(after), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= size_t(gap) + 4 &&
                                     !std::isnan(store.value(store.size() - 1, InBits)),
                                 10000);
        const QList<double> inRates = seriesOf(store, InBits), outRates = seriesOf(store, OutBits);
        for (qsizetype i = 0; i < inRates.size(); ++i)
            QVERIFY2(std::isnan(inRates[i]) || near(inRates[i], 80e6, 0.01),
                     qPrintable(show(inRates)));
        for (qsizetype i = 0; i < outRates.size(); ++i)
            QVERIFY2(std::isnan(outRates[i]) || near(outRates[i], 20e6, 0.01),
                     qPrintable(show(outRates)));
        QCOMPARE(!std::isnan(outRates[gap]), outGoesOn);
        QVERIFY2(reasons.contains(why), qPrintable(QString::number(reasons.size())));
        window->close();
    }

    // A ten-gigabit port without ifXTable: its ifSpeed is capped and no ifHighSpeed says more,
    // so no 32-bit delta can be trusted at any interval (at 4 s it drew 2.4 Gbit/s for 9.9).
    void cappedSpeed() {
        SimProcess sim({"--static", "--no-ifxtable"});
        QVERIFY(agent(sim));
        QCOMPARE(sim.command(QStringLiteral("traffic 99 9900000000 5000000000")),
                 QStringLiteral("ok"));
        auto* window = new CTrafficGraphWnd({{kTenGigabitPort, QStringLiteral("port")}});
        window->interval()->setValue(4);
        const SampleStore& store = window->store();
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= 3, 15000);
        const QList<double> inRates = seriesOf(store, InBits);
        for (double r : inRates)
            QVERIFY2(std::isnan(r), qPrintable(show(inRates)));
        QCOMPARE(window->poller()->gaps().at(InBits), Gap::Slow32);
        window->close();
    }

    // One answer without a port's 64-bit counters: the 32-bit ones stand in, and the next
    // poll that has them reads them again (the port used to stay on 32-bit counters for good,
    // all gaps at ten gigabits past 3.4 s).
    void keepsAskingWide() {
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        QCOMPARE(sim.command(QStringLiteral("traffic 51 80000000 20000000")), QStringLiteral("ok"));
        auto* window = new CTrafficGraphWnd({{kGigabitPort, QStringLiteral("port")}});
        window->interval()->setValue(1);
        const SampleStore& store = window->store();
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= 2 && window->poller()->wide(0), 8000);
        for (const char* column : {"6", "10"})
            QCOMPARE(sim.command(QStringLiteral("del 1.3.6.1.2.1.31.1.1.1.%1.51").arg(column)),
                     QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->poller()->wide(0), 8000);
        const size_t without = store.size();
        QCOMPARE(sim.command(QStringLiteral("traffic 51 80000000 20000000")), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(window->poller()->wide(0), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= without + 3, 8000);
        QVERIFY(near(store.value(store.size() - 1, InBits), 80e6, 0.01));
        QVERIFY(near(store.value(without - 1, InBits), 80e6, 0.01)); // the 32-bit ones stood in
        window->close();
    }

    // snmpd's loopback and veth interfaces, graphed while the test sends a steady stream on
    // loopback: the graph reads what snmpget reads of the same counters.
    void inStepWithSnmpget() {
        if (qEnvironmentVariable("TALVEX_PEER_TABLES") != QLatin1String("1"))
            QSKIP("run under scripts/loopback-only, whose namespace has the veth pair");
        SnmpdProcess snmpd;
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        SetSnmpAgentPort(snmpd.port());
        g_strReadCommunity = QStringLiteral("public");
        const QString at = QStringLiteral("127.0.0.1:%1").arg(snmpd.port());
        QList<GraphPort> ports;
        const QStringList descrs =
            RunTool(QStringLiteral("snmpwalk"),
                    {"-v2c", "-c", "public", "-On", "-Oq", at, "1.3.6.1.2.1.2.2.1.2"})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        int lo = 0, loPort = 0;
        for (const QString& line : descrs) {
            const QString index =
                line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('.'), -1);
            const QString name = line.section(QLatin1Char(' '), 1).remove(QLatin1Char('"'));
            if (name == QLatin1String("lo")) {
                lo = index.toInt();
                loPort = int(ports.size());
            }
            ports << GraphPort{index.toInt(), name}; // loopback and the namespace's veth pair
        }
        QVERIFY2(lo > 0 && ports.size() >= 3 && ports.size() <= kMaxGraphPorts,
                 qPrintable(descrs.join(QLatin1Char('|'))));

        // A steady stream to the discard port on loopback, nobody listening.
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in discard{};
        discard.sin_family = AF_INET;
        discard.sin_port = htons(9);
        discard.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const QByteArray datagram(1000, 'x');
        QTimer stream;
        connect(&stream, &QTimer::timeout, this, [&] {
            for (int i = 0; i < 10; ++i)
                (void)::sendto(fd, datagram.constData(), size_t(datagram.size()), 0,
                               reinterpret_cast<const sockaddr*>(&discard), sizeof discard);
        });
        stream.start(20);
        auto* window = new CTrafficGraphWnd(ports);
        window->interval()->setValue(1);
        const SampleStore& store = window->store();
        QTRY_VERIFY_WITH_TIMEOUT(store.size() >= 3, 8000);
        // Right after each poll, snmpget of the same objects: the agent's counters have moved
        // on by no more than the stream since (snmpd refreshes its interface data every few
        // seconds, so often not at all).
        const QString index = QString::number(lo);
        for (int round = 0; round < 3; ++round) {
            QSignalSpy polled(window->poller(), &CounterPoller::sampled);
            QVERIFY(polled.wait(3000));
            const QStringList v =
                RunTool(QStringLiteral("snmpget"),
                        {"-v2c", "-c", "public", "-Oqvt", at, "1.3.6.1.2.1.1.3.0",
                         "1.3.6.1.2.1.31.1.1.1.6." + index, "1.3.6.1.2.1.31.1.1.1.10." + index})
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(v.size(), 3);
            const Poll& poll = window->poller()->lastPoll();
            QCOMPARE(poll.ports.size(), size_t(ports.size()));
            const PortReading& graphed = poll.ports[size_t(loPort)];
            QVERIFY(poll.answered && graphed.inOctets.wide);
            const qint64 ticks = qint64(v[0].toULongLong()) - qint64(poll.uptime);
            QVERIFY2(ticks >= 0 && ticks < 300, qPrintable(QString::number(ticks)));
            for (const auto& [text, reading] :
                 {std::pair{v[1], graphed.inOctets}, std::pair{v[2], graphed.outOctets}}) {
                const qint64 ahead = qint64(text.toULongLong()) - qint64(reading.value);
                QVERIFY2(ahead >= 0 && ahead <= 8'000'000,
                         qPrintable(QStringLiteral("%1 against %2").arg(text).arg(reading.value)));
            }
        }
        stream.stop();
        ::close(fd);
        // The stream's 4 Mbit/s shows on loopback.
        const QList<double> loRates = seriesOf(store, loPort * kPortSeries + InBits);
        QVERIFY2(std::any_of(loRates.begin(), loRates.end(), [](double r) { return r > 1e6; }),
                 qPrintable(show(loRates)));
        // Every port is read: the veth ones have rates too, not gaps.
        for (int p = 0; p < ports.size(); ++p)
            QVERIFY(!std::isnan(store.value(store.size() - 1, p * kPortSeries + InBits)));
        window->close();
    }

    // The interface page's Graph button, through the menu: one to eight selected rows, a window
    // of those ports; its interval, zoom, live button and exports.
    void fromInterfacePage() {
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        qputenv("TALVEX_SYSTEM_DIR", m_dir.toUtf8());
        QTemporaryDir dir;
        m_saveDir = &dir;
        platform::SetSaveFileHook([&](const QString& caption, const QString&) {
            return dir.filePath(caption.contains(QLatin1String("CSV")) ? "out.csv" : "out.png");
        });
        platform::SetRunModalHook([this](QDialog* d) {
            if (auto* page = qobject_cast<CInterfaceInfoDlg*>(d)) driveInterfacePage(page);
            return 0;
        });
        {
            CPanelDlg panel;
            QVERIFY(panel.OnCommand(32788));
            // The graph outlives the page, a window of its own that still polls.
            QVERIFY(m_window);
            QVERIFY(m_window->isWindow() && m_window->isVisible());
            QVERIFY(QApplication::topLevelWidgets().contains(m_window.data()));
            const size_t polled = m_window->store().size();
            QTRY_VERIFY_WITH_TIMEOUT(m_window->store().size() > polled, 5000);
            m_window->close();
            QTRY_VERIFY(!m_window);
        }
        platform::SetRunModalHook({});
        platform::SetSaveFileHook({});
        qunsetenv("TALVEX_SYSTEM_DIR");
    }

    // A right click on a panel port: "Traffic Graph..." opens the port's graph.
    void fromPanelPort() {
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        qputenv("TALVEX_SYSTEM_DIR", m_dir.toUtf8());
        CPanelDlg dlg;
        QVERIFY(ShowPanelWalked(dlg));
        const Module* card = nullptr;
        const Port* port = nullptr;
        for (const Module& mod : dlg.panelModel().pictures)
            for (const Port& p : mod.ports)
                if (!port && p.ifIndex > 2) {
                    card = &mod;
                    port = &p;
                }
        QVERIFY(port);
        const QStringList items =
            RightClickPanel(dlg, PortCentre(dlg, *card, *port), QStringLiteral("Traffic Graph..."));
        QVERIFY2(items.contains(QStringLiteral("Traffic Graph...")),
                 qPrintable(items.join(QLatin1Char('|'))));
        auto* window = dlg.findChild<CTrafficGraphWnd*>();
        QVERIFY(window);
        QCOMPARE(window->poller()->ports()[0].ifIndex, port->ifIndex);
        QTRY_VERIFY_WITH_TIMEOUT(window->store().size() >= 1, 8000);
        qunsetenv("TALVEX_SYSTEM_DIR");
    }

    // The history page charts the samples its own walk read: the simulator's first control
    // has eight buckets of known utilisation.
    void historyChart() {
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        CRmonHistoryDlg page;
        page.show();
        QTRY_VERIFY_WITH_TIMEOUT(page.samples()->rowCount() == 8 && !page.sampleWalk().busy(),
                                 10000);
        const SampleStore& chart = page.chart()->samples();
        QTRY_COMPARE(chart.size(), size_t(8));
        for (int r = 0; r < 8; ++r) {
            const double listed = page.samples()->text(r, 3).toDouble();
            QVERIFY2(
                std::abs(chart.value(size_t(r), 0) - listed) < 0.006,
                qPrintable(
                    QStringLiteral("%1 against %2").arg(chart.value(size_t(r), 0)).arg(listed)));
        }
        QVERIFY(page.chart()->drawnPoints(0) > 0);
        saveShot(&page, "rmon-history-chart.png");
    }

    // A bucket the interface cannot have carried, or that lacks a value, is a gap in the
    // history chart with its reason, on hover and under the chart; the other buckets are drawn.
    void historyChartGaps_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("bucket"); // 0 the oldest
        QTest::addColumn<int>("series"); // utilisation, packets, errors
        QTest::addColumn<Gap>("why");
        QTest::addColumn<QString>("status");
        // Control 1 samples a fast Ethernet port every 30 s.
        QTest::newRow("packets above the line")
            << "put 1.3.6.1.2.1.16.2.2.1.6.1.3 c 4000000000" << 2 << 1 << Gap::OverLineRate
            << "over line rate: packets";
        QTest::newRow("utilisation above 100 %")
            << "put 1.3.6.1.2.1.16.2.2.1.15.1.4 i 20000" << 3 << 0 << Gap::OverLineRate
            << "over line rate: utilisation";
        QTest::newRow("errors missing") << "del 1.3.6.1.2.1.16.2.2.1.9.1.5" << 4 << 2
                                        << Gap::Missing << "counter missing: errors";
    }
    void historyChartGaps() {
        QFETCH(QString, command);
        QFETCH(int, bucket);
        QFETCH(int, series);
        QFETCH(Gap, why);
        QFETCH(QString, status);
        SimProcess sim({"--static"});
        QVERIFY(agent(sim));
        QCOMPARE(sim.command(command), QStringLiteral("ok"));
        CRmonHistoryDlg page;
        page.show();
        const SampleStore& chart = page.chart()->samples();
        QTRY_VERIFY_WITH_TIMEOUT(chart.size() == 8 && page.chartStatus()->text().contains(status),
                                 10000);
        for (int b = 0; b < 8; ++b) {
            QCOMPARE(std::isnan(chart.value(size_t(b), series)), b == bucket);
            QCOMPARE(chart.gap(size_t(b), series), b == bucket ? why : Gap::None);
        }
        QVERIFY2(page.chartStatus()->text().startsWith(QStringLiteral("Gaps in 1 of 8 samples")),
                 qPrintable(page.chartStatus()->text()));
        const QString hover =
            page.chart()->hoverText(pointAt(*page.chart(), chart.time(size_t(bucket))));
        QVERIFY2(hover.contains(QStringLiteral("(%1)").arg(QString::fromUtf8(GapText(why)))),
                 qPrintable(hover));
        if (bucket == 2) saveShot(&page, "rmon-history-gap.png");
    }

    // The counter displays' rates follow the traffic graphs' rule: a counter that jumps beyond
    // what the probe's interface can carry, or an agent that restarted, is a gap with its
    // reason, never a spike; the status line under the chart names it.
    void counterDisplayGaps_data() {
        QTest::addColumn<QString>("event"); // %1: the probe's interface
        QTest::addColumn<Gap>("why");
        QTest::newRow("counter jumps") << "bump %1 in 1000000000" << Gap::OverLineRate;
        QTest::newRow("agent restarted") << "restart 0" << Gap::Restart;
    }
    void counterDisplayGaps() {
        QFETCH(QString, event);
        QFETCH(Gap, why);
        SimProcess sim;
        QVERIFY(agent(sim));
        CRmonStatDlg stat;
        stat.show();
        QTRY_VERIFY_WITH_TIMEOUT(!stat.walk().busy() && stat.recordedRows() > 0, 10000);
        const int port = RmonSourceInterface(stat.recordedSource(1));
        QVERIFY(port > 0);
        QCOMPARE(sim.command(QStringLiteral("traffic %1 2000000 1000000").arg(port)),
                 QStringLiteral("ok"));
        CRmonIntfDlg display(&stat, 0);
        display.show();
        // The display's tick, sooner than its timer: the rates read so far are plotted and read
        // again, once every get is answered and the agent's clock has moved.
        auto tick = [&] {
            QTest::qWait(300);
            (void)QTest::qWaitFor(
                [&] {
                    return std::none_of(display.items().begin(), display.items().end(),
                                        [](const CounterGet* g) { return g->busy(); });
                },
                5000);
            QTimerEvent timer(0);
            QApplication::sendEvent(&display, &timer);
        };
        constexpr int kOctets = 1;
        const SampleStore& rates = *display.rates();
        for (int i = 0; i < 3; ++i)
            tick();
        QVERIFY(!std::isnan(rates.value(rates.size() - 1, kOctets)));
        const size_t before = rates.size();
        QCOMPARE(sim.command(event.contains(QLatin1String("%1")) ? event.arg(port) : event),
                 QStringLiteral("ok"));
        auto reason = [&] {
            for (size_t i = before; i < rates.size(); ++i)
                if (rates.gap(i, kOctets) != Gap::None) return rates.gap(i, kOctets);
            return Gap::None;
        };
        QStringList said;
        for (int i = 0; i < 8 && reason() == Gap::None; ++i) {
            tick();
            said << display.chartStatus()->text();
        }
        QCOMPARE(reason(), why);
        // Never more than a full-duplex gigabit port carries: the jump is never drawn.
        for (size_t i = 0; i < rates.size(); ++i)
            QVERIFY2(!(rates.value(i, kOctets) > 2 * 125e6),
                     qPrintable(QString::number(rates.value(i, kOctets))));
        const QString line = QStringLiteral("%1: ").arg(QString::fromUtf8(GapText(why)));
        QVERIFY2(said.last().contains(line) && said.last().contains(QStringLiteral("Octets")),
                 qPrintable(said.join(QLatin1Char('\n'))));
    }

    // The interface counter display plots its counters' rates beside the numbers.
    void counterDisplayPlot() {
        SimProcess sim;
        QVERIFY(agent(sim));
        CRmonStatDlg stat;
        stat.show();
        QTRY_VERIFY_WITH_TIMEOUT(!stat.walk().busy() && stat.recordedRows() > 0, 10000);
        CRmonIntfDlg display(&stat, 0);
        display.show();
        QVERIFY(display.chart()->mapTo(&display, QPoint(0, 0)).x() >=
                platform::DialogItem(&display, 1401)->geometry().right());
        // Octets: the second counter; the simulator's probes count as the chassis' ports do.
        QTRY_VERIFY_WITH_TIMEOUT(display.rates()->size() >= 6 &&
                                     display.rates()->value(display.rates()->size() - 1, 1) > 0,
                                 20000);
        saveShot(&display, "rmon-counter-plot.png");
    }
};

QTEST_MAIN(TestGraphs)
#include "tst_graphs.moc"
