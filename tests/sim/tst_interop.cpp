// Outside peers: net-snmp's tools against talvex-sim, and talvex-walk against net-snmp's snmpd.
#include "tests/common/peers.h"

#include <QMap>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList snmpArgs(const QString& version, const QString& community, quint16 port) {
    return {"-" + version, "-c", community, "-t", "1", "-r", "1", "-On", "-Oe", "-Ot", "-Oq",
            QStringLiteral("127.0.0.1:%1").arg(port)};
}

// "OID value" lines of snmpwalk -On -Oq, or "OID = value" lines of talvex-walk, by OID without
// the leading dot.
QMap<QString, QString> bindings(const QString& out, bool netsnmp) {
    QMap<QString, QString> map;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        int sep = netsnmp ? line.indexOf(' ') : line.indexOf(" = ");
        QString oid = line.left(sep);
        QString value = line.mid(sep + (netsnmp ? 1 : 3));
        if (oid.startsWith('.'))
            oid.remove(0, 1);
        if (netsnmp) {
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2).trimmed();
            if (value.startsWith('.'))
                value.remove(0, 1);
        }
        map.insert(oid, value);
    }
    return map;
}

QString hexOf(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toHex(' ').toUpper());
}

} // namespace

class TestInterop : public QObject {
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<SnmpdProcess> m_snmpd;

    QString tool(const QString& name, QStringList args, const QStringList& tail, bool* ok = nullptr) {
        return RunTool(name, args + tail, ok);
    }

private slots:
    void initTestCase() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
    }

    void netsnmpReadsTheSimulator_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("v1") << "v1";
        QTest::newRow("v2c") << "v2c";
    }
    void netsnmpReadsTheSimulator() {
        QFETCH(QString, version);
        bool ok = false;
        QString out = tool("snmpget", snmpArgs(version, "orchid", m_sim->port()),
                           {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0", "1.3.6.1.2.1.2.1.0"}, &ok);
        QVERIFY2(ok, qPrintable(out));
        auto got = bindings(out, true);
        QCOMPARE(got.value("1.3.6.1.2.1.1.5.0"), QString("talvex-sim"));
        QCOMPARE(got.value("1.3.6.1.2.1.1.7.0"), QString("78"));
        QCOMPARE(got.value("1.3.6.1.2.1.2.1.0"), QString("130"));

        out = tool("snmpwalk", snmpArgs(version, "orchid", m_sim->port()), {"1.3.6.1.2.1.2.2.1.2"}, &ok);
        QVERIFY(ok);
        got = bindings(out, true);
        QCOMPARE(got.size(), 130);
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.2.3"), QString("FastEthernet 1/1"));

        // The whole tree walks to its end without a loop or a gap.
        out = tool("snmpwalk", snmpArgs(version, "orchid", m_sim->port()), {"1.3.6.1"}, &ok);
        QVERIFY(ok);
        QVERIFY(bindings(out, true).size() > 130 * 22);
    }

    void netsnmpWritesTheSimulator_data() {
        netsnmpReadsTheSimulator_data();
    }
    void netsnmpWritesTheSimulator() {
        QFETCH(QString, version);
        bool ok = false;
        QString contact = "ops-" + version + "@example.net";
        QString out = tool("snmpset", snmpArgs(version, "saffron", m_sim->port()),
                           {"1.3.6.1.2.1.1.4.0", "s", contact, "1.3.6.1.2.1.2.2.1.7.5", "i", "2"}, &ok);
        QVERIFY2(ok, qPrintable(out));
        out = tool("snmpget", snmpArgs(version, "orchid", m_sim->port()),
                   {"1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.2.2.1.7.5", "1.3.6.1.2.1.2.2.1.8.5"}, &ok);
        auto got = bindings(out, true);
        QCOMPARE(got.value("1.3.6.1.2.1.1.4.0"), contact);
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.7.5"), QString("2"));
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.8.5"), QString("2"));
        tool("snmpset", snmpArgs(version, "saffron", m_sim->port()), {"1.3.6.1.2.1.2.2.1.7.5", "i", "1"});
    }

    void refusedWrites_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("community");
        QTest::addColumn<QStringList>("set");
        QTest::addColumn<QString>("reason");
        QTest::newRow("v2c read-only object") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.1.0", "s", "x"} << "notWritable";
        QTest::newRow("v1 read-only object") << "v1" << "saffron" << QStringList{"1.3.6.1.2.1.1.1.0", "s", "x"} << "noSuchName";
        QTest::newRow("v2c wrong type") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << "wrongType";
        QTest::newRow("v1 wrong type") << "v1" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << "badValue";
        QTest::newRow("v2c wrong value") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.2.2.1.7.3", "i", "9"} << "wrongValue";
        QTest::newRow("v2c no such object") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.99.0", "i", "1"} << "notWritable";
        QTest::newRow("v2c no such instance") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.1", "s", "x"} << "noCreation";
        QTest::newRow("v2c read community") << "v2c" << "orchid" << QStringList{"1.3.6.1.2.1.1.5.0", "s", "x"} << "noAccess";
    }
    void refusedWrites() {
        QFETCH(QString, version);
        QFETCH(QString, community);
        QFETCH(QStringList, set);
        QFETCH(QString, reason);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("snmpset", snmpArgs(version, community, m_sim->port()) + set);
        QVERIFY(p.waitForFinished(10000));
        QString out = QString::fromUtf8(p.readAll());
        QVERIFY2(out.contains(reason), qPrintable(out));
        // and nothing changed
        QString after = tool("snmpget", snmpArgs("v2c", "orchid", m_sim->port()), {"1.3.6.1.2.1.1.5.0"});
        QCOMPARE(bindings(after, true).value("1.3.6.1.2.1.1.5.0"), QString("talvex-sim"));
    }

    void wrongCommunityGetsNoAnswer() {
        bool ok = true;
        QString before = m_sim->command("served");
        tool("snmpget", {"-v2c", "-c", "guess", "-t", "1", "-r", "0", QStringLiteral("127.0.0.1:%1").arg(m_sim->port()),
                         "1.3.6.1.2.1.1.5.0"}, {}, &ok);
        QVERIFY(!ok);
        QCOMPARE(m_sim->command("served"), before);
    }

    void talvexWalkMatchesSnmpwalkOnSnmpd_data() {
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("system") << QStringList{"1.3.6.1.2.1.1"};
        QStringList ifColumns;
        for (int c = 1; c <= 8; ++c)
            ifColumns << QStringLiteral("1.3.6.1.2.1.2.2.1.%1").arg(c);
        QTest::newRow("ifTable") << ifColumns;
    }
    void talvexWalkMatchesSnmpwalkOnSnmpd() {
        QFETCH(QStringList, columns);
        if (!m_snmpd)
            m_snmpd = std::make_unique<SnmpdProcess>();
        QVERIFY2(m_snmpd->started(), qPrintable(m_snmpd->error()));
        QMap<QString, QString> theirs;
        for (const QString& column : columns) {
            bool ok = false;
            QString out = tool("snmpwalk", snmpArgs("v2c", "public", m_snmpd->port()), {column}, &ok);
            QVERIFY(ok);
            theirs.insert(bindings(out, true));
        }
        bool ok = false;
        QString mine = RunTool(BuildPath("tools/talvex-walk"),
                               QStringList{"-c", "public", "-p", QString::number(m_snmpd->port()), "127.0.0.1", "walk"} + columns, &ok);
        QVERIFY2(ok, qPrintable(mine));
        QMap<QString, QString> ours = bindings(mine, false);
        theirs.remove("1.3.6.1.2.1.1.3.0"); // uptime moves between the two walks
        ours.remove("1.3.6.1.2.1.1.3.0");
        QVERIFY(theirs.size() >= 8);
        QCOMPARE(ours.keys(), theirs.keys());
        for (auto it = theirs.cbegin(); it != theirs.cend(); ++it) {
            QString v = ours.value(it.key());
            QVERIFY2(v == it.value() || hexOf(v) == it.value(),
                     qPrintable(it.key() + ": ours " + v + ", snmpwalk " + it.value()));
        }
    }

    // An agent that answers a two-column get-next with one binding, or with the instance it was
    // asked for, would make a walk loop: talvex-walk stops at once and says why.
    void walkStopsOnAnswersThatGoNowhere_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("message");
        QTest::newRow("short answer") << "truncate 1" << 0 << "fewer bindings than asked";
        QTest::newRow("OID not increasing") << "stuck 1" << 2 << "OID not increasing";
    }
    void walkStopsOnAnswersThatGoNowhere() {
        QFETCH(QString, fault);
        QFETCH(int, lines);
        QFETCH(QString, message);
        QCOMPARE(m_sim->command(fault), QString("ok"));
        const int before = m_sim->command("served").toInt();
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), {"-c", "orchid", "-p", QString::number(m_sim->port()), "-t", "1000",
                                                    "127.0.0.1", "walk", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.8"});
        QVERIFY(walk.waitForFinished(10000));
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        QCOMPARE(walk.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(walk.readAllStandardOutput()).count('\n'), lines);
        QVERIFY(QString::fromUtf8(walk.readAllStandardError()).contains(message));
        QCOMPARE(m_sim->command("served").toInt() - before, lines / 2 + 1);
    }

    // Tests run with TALVEX_LOOPBACK_ONLY: a session toward an address outside 127.0.0.0/8 ends
    // the program before any socket exists. 0.0.0.0 stands for such an address because, should
    // the guard ever fail, a datagram to it stays on this machine.
    void sessionsOutsideLoopbackAreRefused() {
        QCOMPARE(qEnvironmentVariable("TALVEX_LOOPBACK_ONLY"), QStringLiteral("1"));
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), {"-p", QString::number(m_sim->port()), "0.0.0.0", "get", "1.3.6.1.2.1.1.5.0"});
        QVERIFY(walk.waitForFinished(10000));
        QVERIFY(walk.exitStatus() == QProcess::CrashExit || walk.exitCode() != 0);
        QVERIFY(QString::fromUtf8(walk.readAllStandardError()).contains("127.0.0.0/8 only"));
    }
};

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
