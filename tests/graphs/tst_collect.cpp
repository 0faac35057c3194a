// talvex-collect against talvex-sim: known traffic, the counter hazards switched on the
// simulator while the collector polls every second, and the RRD files read back with rrdtool:
// every value the set rate or unknown, none above the line rate. Then the configuration's
// faults, each told with its line.
#include "graphs/collectconf.h"
#include "tests/common/peers.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>

using namespace graphs;

namespace {

constexpr int kGigabitPort = 51;    // GigabitEthernet 2/1
constexpr int kTenGigabitPort = 99; // TenGigabit 4/1

struct Fetched {
    QStringList sources;
    QList<QList<double>> rows; // by time, NaN for unknown
};

// rrdtool fetch of the file's averages at its step over [start, end].
Fetched Fetch(const QString& file, qint64 start, qint64 end) {
    Fetched f;
    const QStringList lines =
        RunTool(QStringLiteral("rrdtool"), {"fetch", file, "AVERAGE", "-r", "1", "-s",
                                            QString::number(start), "-e", QString::number(end)})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty()) return f;
    f.sources = lines[0].simplified().split(QLatin1Char(' '));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines[i].simplified().split(QLatin1Char(' '));
        QList<double> row;
        for (qsizetype c = 1; c < cells.size(); ++c) {
            bool ok = false;
            const double v = cells[c].toDouble(&ok);
            row << (ok ? v : std::nan(""));
        }
        f.rows << row;
    }
    return f;
}

class Collector {
public:
    Collector(const QString& conf, const QString& rrdDir) {
        m_proc.setProcessChannelMode(QProcess::ForwardedChannels);
        m_proc.start(BuildPath(QStringLiteral("tools/talvex-collect")),
                     {"--config", conf, "--rrd-dir", rrdDir, "--step", "1"});
        m_proc.waitForStarted(5000);
    }
    ~Collector() { stop(); }
    bool running() const { return m_proc.state() == QProcess::Running; }
    int stop() {
        if (m_proc.state() == QProcess::NotRunning) return m_proc.exitCode();
        ::kill(pid_t(m_proc.processId()), SIGTERM);
        if (!m_proc.waitForFinished(5000)) m_proc.kill();
        return m_proc.exitCode();
    }

private:
    QProcess m_proc;
};

} // namespace

class TestCollect : public QObject {
    Q_OBJECT

    // What each port carries while the hazards come, and what its line can carry.
    struct Traffic {
        int port;
        double in, out, errors, line;
    };

    // Every value of each file is the set rate within 1 % or unknown, never above the line
    // rate; at least minKnown seconds of each octet source are known.
    static void checkFiles(const QString& rrdDir, quint16 simPort, const QList<Traffic>& ports,
                           qint64 start, qint64 end, int minKnown) {
        for (const Traffic& t : ports) {
            const QString file =
                QStringLiteral("%1/127.0.0.1_%2/if%3.rrd").arg(rrdDir).arg(simPort).arg(t.port);
            QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
            const Fetched f = Fetch(file, start, end);
            QCOMPARE(f.sources, QStringList({"in", "out", "inerr", "outerr", "indisc", "outdisc"}));
            const double expected[] = {t.in, t.out, t.errors, 0, 0, 0};
            int known[2] = {0, 0};
            QStringList shown;
            for (const QList<double>& row : f.rows) {
                QCOMPARE(row.size(), 6);
                shown << (std::isnan(row[0]) ? QStringLiteral("-")
                                             : QString::number(row[0], 'g', 4));
                for (int s = 0; s < 6; ++s) {
                    if (std::isnan(row[s])) continue;
                    if (s < 2) {
                        ++known[s];
                        QVERIFY2(row[s] <= t.line, qPrintable(QString::number(row[s])));
                    }
                    QVERIFY2(std::abs(row[s] - expected[s]) <= expected[s] * 0.01 + 1e-9,
                             qPrintable(QStringLiteral("port %1 %2: %3 for %4 in %5")
                                            .arg(t.port)
                                            .arg(f.sources[s])
                                            .arg(row[s])
                                            .arg(expected[s])
                                            .arg(shown.join(QLatin1Char(' ')))));
                }
            }
            qInfo("port %d, in-bits a second: %s", t.port,
                  qPrintable(shown.join(QLatin1Char(' '))));
            QVERIFY2(known[0] >= minKnown && known[1] >= minKnown,
                     qPrintable(QStringLiteral("port %1: %2 and %3 known")
                                    .arg(t.port)
                                    .arg(known[0])
                                    .arg(known[1])));
        }
    }

    static QString writeConf(const QTemporaryDir& dir, quint16 simPort, const QString& ports) {
        QFile conf(dir.filePath(QStringLiteral("collect.conf")));
        if (!conf.open(QIODevice::WriteOnly)) return {};
        conf.write(QStringLiteral("device 127.0.0.1:%1\n    community orchid\n    interval 1\n"
                                  "    ports %2\n")
                       .arg(simPort)
                       .arg(ports)
                       .toUtf8());
        return conf.fileName();
    }

    static void command(SimProcess& sim, const QString& line, int thenMs) {
        QCOMPARE(sim.command(line), QStringLiteral("ok"));
        QTest::qWait(thenMs);
    }

private slots:
    // An agent with 64-bit counters: one jumps forward, errors go back, the 64-bit octets go
    // missing for an answer, the clock freezes, and the agent restarts with its new uptime
    // already past the old.
    void hazardsWide() {
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        QTemporaryDir dir;
        const QString rrdDir = dir.filePath(QStringLiteral("rrd"));
        const QList<Traffic> ports = {{kGigabitPort, 80e6, 20e6, 600, 1e9},
                                      {kTenGigabitPort, 9.9e9, 5e9, 0, 10e9}};
        for (const Traffic& t : ports)
            command(sim,
                    QStringLiteral("traffic %1 %2 %3 %4")
                        .arg(t.port)
                        .arg(qint64(t.in))
                        .arg(qint64(t.out))
                        .arg(qint64(t.errors)),
                    0);
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        Collector collector(writeConf(dir, sim.port(), QStringLiteral("51 99")), rrdDir);
        QVERIFY(collector.running());
        QTest::qWait(4000);
        command(sim, QStringLiteral("bump 51 in 1000000000000"), 2000);
        command(sim, QStringLiteral("bump 51 errors -100000"), 2000);
        command(sim, QStringLiteral("del 1.3.6.1.2.1.31.1.1.1.6.99"), 0);
        command(sim, QStringLiteral("del 1.3.6.1.2.1.31.1.1.1.10.99"), 1200);
        command(sim, QStringLiteral("traffic 99 9900000000 5000000000"), 2000);
        command(sim, QStringLiteral("freeze 1"), 3000);
        command(sim, QStringLiteral("freeze 0"), 2000);
        command(sim, QStringLiteral("restart 60"), 3000);
        QCOMPARE(collector.stop(), 0);
        checkFiles(rrdDir, sim.port(), ports, start, QDateTime::currentSecsSinceEpoch(), 8);
        // The files bound the octet sources by the line rate.
        const QString info = RunTool(
            QStringLiteral("rrdtool"),
            {"info", QStringLiteral("%1/127.0.0.1_%2/if51.rrd").arg(rrdDir).arg(sim.port())});
        QVERIFY2(info.contains(QLatin1String("ds[in].max = 1.0000000000e+09")), qPrintable(info));
    }

    // An agent without ifXTable: a Counter32 set lower, a restart whose new uptime has passed
    // the old within one wrap's time, and a ten-gigabit port whose capped ifSpeed leaves its
    // 32-bit counters unknown rather than wrong.
    void hazardsNarrow() {
        SimProcess sim({"--static", "--no-ifxtable"});
        QVERIFY(sim.started());
        QTemporaryDir dir;
        const QString rrdDir = dir.filePath(QStringLiteral("rrd"));
        const QList<Traffic> ports = {{kGigabitPort, 80e6, 20e6, 0, 1e9}};
        command(sim, QStringLiteral("traffic 51 80000000 20000000"), 0);
        command(sim, QStringLiteral("traffic 99 9900000000 5000000000"), 0);
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        Collector collector(writeConf(dir, sim.port(), QStringLiteral("51 99")), rrdDir);
        QVERIFY(collector.running());
        QTest::qWait(3000);
        command(sim, QStringLiteral("bump 51 in -1000000000"), 2500);
        command(sim, QStringLiteral("restart 20"), 3000);
        QCOMPARE(collector.stop(), 0);
        const qint64 end = QDateTime::currentSecsSinceEpoch();
        checkFiles(rrdDir, sim.port(), ports, start, end, 4);
        const Fetched tenG = Fetch(
            QStringLiteral("%1/127.0.0.1_%2/if99.rrd").arg(rrdDir).arg(sim.port()), start, end);
        QVERIFY(!tenG.rows.isEmpty());
        for (const QList<double>& row : tenG.rows)
            QVERIFY2(std::isnan(row[0]) && std::isnan(row[1]), qPrintable(QString::number(row[0])));
    }

    // Each fault of the configuration refuses it, naming the line.
    void configuration_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why"); // empty: accepted
        QTest::newRow("whole") << QByteArray("rrd-dir /srv/rrd\n# core\ndevice 192.0.2.10\n"
                                             "  community orchid\n  interval 300\n"
                                             "device [2001:db8::a]:1161  # v3\n  ports 1 2 3\n")
                               << QString();
        QTest::newRow("unknown keyword")
            << QByteArray("device 192.0.2.10\n  comunity orchid\n") << "line 2: unknown keyword";
        QTest::newRow("before a device")
            << QByteArray("\ninterval 60\n") << "line 2: \"interval\" before";
        QTest::newRow("interval zero")
            << QByteArray("device 192.0.2.10\n interval 0\n") << "line 2: interval wants seconds";
        QTest::newRow("interval not a number")
            << QByteArray("device 192.0.2.10\n interval 60s\n") << "line 2: interval wants";
        QTest::newRow("port too large")
            << QByteArray("device 192.0.2.10:70000\n") << "line 1: the port \"70000\"";
        QTest::newRow("IPv6 with a port unbracketed")
            << QByteArray("device 2001:db8::zz\n") << "line 1: \"2001:db8::zz\" is no address";
        QTest::newRow("device twice")
            << QByteArray("device 192.0.2.10\ndevice 192.0.2.10:161\n") << "line 2: device";
        QTest::newRow("two words")
            << QByteArray("device 192.0.2.10\n community a b\n") << "line 2: community wants one";
        QTest::newRow("relative rrd-dir") << QByteArray("rrd-dir rrd\n") << "line 1: rrd-dir wants";
        QTest::newRow("long line") << QByteArray(2000, 'x') << "line 1: longer than 1024";
        QTest::newRow("long community")
            << QByteArray("device 192.0.2.10\n community " + QByteArray(300, 'c') + "\n")
            << "line 2: a community of more than 255";
        QTest::newRow("ports not numbers")
            << QByteArray("device 192.0.2.10\n ports 1 x\n") << "line 2: ports wants ifIndexes";
    }
    void configuration() {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        CollectConf conf;
        std::string got;
        const bool ok =
            ParseCollectConf(std::string_view(text.constData(), size_t(text.size())), conf, got);
        if (why.isEmpty()) {
            QVERIFY2(ok, got.c_str());
            QCOMPARE(conf.rrdDir, std::string("/srv/rrd"));
            QCOMPARE(conf.devices.size(), size_t(2));
            QCOMPARE(conf.devices[0].interval, 300);
            QCOMPARE(conf.devices[0].community.value_or(""), std::string("orchid"));
            QCOMPARE(conf.devices[1].address, std::string("2001:db8::a"));
            QCOMPARE(conf.devices[1].port, uint16_t(1161));
            QVERIFY(!conf.devices[1].community);
            QCOMPARE(conf.devices[1].interval, kDefaultCollectInterval);
            QCOMPARE(conf.devices[1].ports, std::vector<int>({1, 2, 3}));
        } else {
            QVERIFY(!ok);
            QVERIFY2(QString::fromStdString(got).startsWith(why), got.c_str());
        }
    }

    // The service refuses what it cannot use, in one line, before it polls anything: a
    // configuration through a link, a device with neither community nor SNMPv3 block.
    void refusals() {
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("real.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("device 127.0.0.5\n");
        conf.close();
        QVERIFY(QFile::link(conf.fileName(), dir.filePath(QStringLiteral("link.conf"))));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("none")));
        const QString program = BuildPath(QStringLiteral("tools/talvex-collect"));
        ToolRun run =
            RunToolIn(program, {"--config", dir.filePath(QStringLiteral("link.conf"))}, env);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errText().contains(QLatin1String("link.conf")), qPrintable(run.errText()));
        run = RunToolIn(program, {"--config", conf.fileName(), "--rrd-dir", dir.path()}, env);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.errText().contains(QLatin1String("line 1: no community, and no SNMPv3 block")),
                 qPrintable(run.errText()));
    }
};

QTEST_GUILESS_MAIN(TestCollect)
#include "tst_collect.moc"
