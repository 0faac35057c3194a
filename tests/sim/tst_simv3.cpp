// net-snmp's tools against talvex-sim over SNMPv3: every protocol pair, the reports for wrong
// keys compared with what snmpd answers to the same mistakes, and the longer AES keys both ways.
#include "tests/common/peers.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const kAuths[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};

// net-snmp's options for a user named after its protocols, with the test's passphrases.
QStringList userArgs(const QString& auth, const QString& priv,
                     const QString& authPass = "maplesyrup",
                     const QString& privPass = "pancakemix") {
    QString name = auth.isEmpty() ? "plain" : auth + (priv.isEmpty() ? "" : "_" + priv);
    QStringList args{"-v3", "-u", name};
    if (auth.isEmpty())
        return args << "-l"
                    << "noAuthNoPriv";
    args << "-a" << auth << "-A" << authPass;
    if (priv.isEmpty())
        return args << "-l"
                    << "authNoPriv";
    return args << "-l"
                << "authPriv"
                << "-x" << priv << "-X" << privPass;
}

QString agent(quint16 port) {
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

} // namespace

class TestSimV3 : public QObject {
    Q_OBJECT
    QTemporaryDir m_persist;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<SnmpdProcess> m_levels;
    std::unique_ptr<SimProcess> m_levelSim;
    std::unique_ptr<SnmpdProcess> m_longKeys;
    bool m_des = false;

private slots:
    void initTestCase() {
        // net-snmp's tools keep what they learn of engines here, and read no configuration
        // of the machine's; no MIBs, so that standard error holds only what went wrong.
        qputenv("SNMP_PERSISTENT_DIR", m_persist.path().toUtf8());
        qputenv("SNMPCONFPATH", m_persist.path().toUtf8());
        qputenv("MIBS", "");
        qputenv("MIBDIRS", m_persist.filePath("none").toUtf8());
        QStringList options{"--static", "--user", "plain"};
        for (const char* a : kAuths) {
            options << "--user" << QStringLiteral("%1 %1 maplesyrup").arg(a);
            options << "--user" << QStringLiteral("%1_AES %1 maplesyrup AES pancakemix").arg(a);
            options << "--user" << QStringLiteral("%1_DES %1 maplesyrup DES pancakemix").arg(a);
            for (const char* p : {"AES-192", "AES-256"})
                options << "--user"
                        << QStringLiteral("%1_%2 %1 maplesyrup %2 pancakemix").arg(a, p);
        }
        m_sim = std::make_unique<SimProcess>(options);
        QVERIFY(m_sim->started());
        // net-snmp does DES through the same library: where it cannot, neither can we
        ToolRun probe = RunToolIn("snmpget", userArgs("MD5", "DES") << "-t"
                                                                    << "1"
                                                                    << "-r"
                                                                    << "1" << agent(m_sim->port())
                                                                    << "1.3.6.1.2.1.1.5.0");
        m_des = probe.exitCode == 0;
    }

    void everyProtocolPair_data() {
        QTest::addColumn<QString>("auth");
        QTest::addColumn<QString>("priv");
        QTest::newRow("noAuthNoPriv") << ""
                                      << "";
        for (const char* a : kAuths) {
            QTest::newRow(a) << a << "";
            QTest::newRow(QByteArray(a) + "/AES") << a << "AES";
            QTest::newRow(QByteArray(a) + "/DES") << a << "DES";
            QTest::newRow(QByteArray(a) + "/AES-192") << a << "AES-192";
            QTest::newRow(QByteArray(a) + "/AES-256") << a << "AES-256";
        }
    }
    void everyProtocolPair() {
        QFETCH(QString, auth);
        QFETCH(QString, priv);
        if (priv == "DES" && !m_des) QSKIP("net-snmp cannot use DES with the installed OpenSSL");
        const QStringList args = userArgs(auth, priv) << "-t"
                                                      << "1"
                                                      << "-r"
                                                      << "1"
                                                      << "-On"
                                                      << "-Oq";
        ToolRun get =
            RunToolIn("snmpget", args + QStringList{agent(m_sim->port()), "1.3.6.1.2.1.1.5.0"});
        QCOMPARE(get.errText(), QString());
        QCOMPARE(get.outText().trimmed(), QStringLiteral(".1.3.6.1.2.1.1.5.0 \"talvex-sim\""));
        ToolRun walk =
            RunToolIn("snmpwalk", args + QStringList{agent(m_sim->port()), "1.3.6.1.2.1.2.2.1.2"});
        QCOMPARE(walk.exitCode, 0);
        QVERIFY2(walk.outText().count('\n') >= 10, qPrintable(walk.outText()));
        QVERIFY(walk.outText().startsWith(".1.3.6.1.2.1.2.2.1.2.1 "));
    }

    // The same mistakes against snmpd and talvex-sim end with the same message.
    void sameReportsAsSnmpd_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong authentication passphrase")
            << userArgs("SHA", "AES", "maplesyrupX")
            << "Authentication failure (incorrect password, community or key)";
        // snmpd cannot report what it cannot decrypt: there is no answer
        QTest::newRow("wrong privacy passphrase")
            << userArgs("SHA", "AES", "maplesyrup", "pancakemixX") << "Timeout: No Response from";
        QTest::newRow("unknown user") << (QStringList{"-v3", "-u", "nobody", "-l", "authNoPriv",
                                                      "-a", "SHA", "-A", "maplesyrup"})
                                      << "Unknown user name";
        QTest::newRow("level the keys lack")
            << (QStringList{"-v3", "-u", "SHA", "-l", "authPriv", "-a", "SHA", "-A", "maplesyrup",
                            "-x", "AES", "-X", "pancakemix"})
            << "Unsupported security level";
        QTest::newRow("unknown context") << (userArgs("SHA", "AES") << "-n"
                                                                    << "vlan7")
                                         << "Timeout: No Response from";
        QTest::newRow("wrong authentication protocol")
            << (QStringList{"-v3", "-u", "SHA", "-l", "authNoPriv", "-a", "MD5", "-A",
                            "maplesyrup"})
            << "Authentication failure (incorrect password, community or key)";
    }
    void sameReportsAsSnmpd() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        SnmpdProcess snmpd(true, "createUser SHA_AES SHA maplesyrup AES pancakemix\n"
                                 "createUser SHA SHA maplesyrup\n"
                                 "rouser SHA_AES authpriv\nrouser SHA auth\n");
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        args << "-t"
             << "1"
             << "-r"
             << "0";
        ToolRun theirs =
            RunToolIn("snmpget", args + QStringList{agent(snmpd.port()), "1.3.6.1.2.1.1.5.0"});
        ToolRun ours =
            RunToolIn("snmpget", args + QStringList{agent(m_sim->port()), "1.3.6.1.2.1.1.5.0"});
        const QString port = QStringLiteral(":%1").arg(snmpd.port());
        QVERIFY2(theirs.errText().startsWith("snmpget: " + message) ||
                     theirs.errText().startsWith(message),
                 qPrintable(theirs.errText()));
        QCOMPARE(ours.errText().trimmed().replace(QStringLiteral(":%1").arg(m_sim->port()), port),
                 theirs.errText().trimmed());
        QCOMPARE(ours.exitCode, theirs.exitCode);
    }

    // Each user's level is enforced as snmpd's rouser and rwuser lines without a level do: a
    // user with keys must use them, for reads and for writes.
    void levelsAsSnmpd_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("level");
        for (const char* tool : {"snmpget", "snmpgetnext", "snmpbulkget", "snmpset"})
            for (const char* name : {"ro", "rw", "plain", "rwplain"})
                for (const char* level : {"noAuthNoPriv", "authNoPriv", "authPriv"}) {
                    if (QByteArray(name).contains("plain") && QByteArray(level) != "noAuthNoPriv")
                        continue;
                    QTest::addRow("%s %s %s", tool, name, level) << tool << name << level;
                }
    }
    void levelsAsSnmpd() {
        QFETCH(QString, tool);
        QFETCH(QString, name);
        QFETCH(QString, level);
        if (!m_levels) {
            m_levels = std::make_unique<SnmpdProcess>(
                true, "createUser ro SHA maplesyrup AES pancakemix\nrouser ro\n"
                      "createUser rw SHA maplesyrup AES pancakemix\nrwuser rw\n"
                      "createUser plain\nrouser plain noauth\n"
                      "createUser rwplain\nrwuser rwplain noauth\n");
            m_levelSim = std::make_unique<SimProcess>(QStringList{
                "--static", "--user", "ro SHA maplesyrup AES pancakemix", "--rwuser",
                "rw SHA maplesyrup AES pancakemix", "--user", "plain", "--rwuser", "rwplain"});
        }
        QVERIFY2(m_levels->started(), qPrintable(m_levels->error()));
        QVERIFY(m_levelSim->started());
        QStringList args{"-v3", "-u", name, "-l", level, "-t", "1", "-r", "0", "-On"};
        if (level != "noAuthNoPriv")
            args << "-a"
                 << "SHA"
                 << "-A"
                 << "maplesyrup";
        if (level == "authPriv")
            args << "-x"
                 << "AES"
                 << "-X"
                 << "pancakemix";
        const QStringList what =
            tool == "snmpset"
                ? QStringList{"1.3.6.1.2.1.1.4.0", "s", "ops desk"}
                : QStringList{tool == "snmpget" ? "1.3.6.1.2.1.1.5.0" : "1.3.6.1.2.1.1.5"};
        ToolRun theirs = RunToolIn(tool, args + QStringList{agent(m_levels->port())} + what);
        ToolRun ours = RunToolIn(tool, args + QStringList{agent(m_levelSim->port())} + what);
        QCOMPARE(ours.errText(), theirs.errText());
        QCOMPARE(ours.exitCode, theirs.exitCode);
        QCOMPARE(ours.out.isEmpty(), theirs.out.isEmpty());
    }

    // AES-192 and AES-256 read what AES-128 reads, byte for byte, both ways: net-snmp's
    // snmpwalk from talvex-sim, and talvex-walk from snmpd. Under MD5 and SHA the privacy key
    // is lengthened, and only the same lengthening as snmpd's lets the two talk at all.
    void longerKeys_data() {
        QTest::addColumn<QString>("auth");
        QTest::addColumn<QString>("priv");
        for (const char* a : {"SHA-256", "SHA-512"})
            for (const char* p : {"AES-192", "AES-256"})
                QTest::addRow("%s/%s", a, p) << a << p;
        // digests shorter than the key
        QTest::newRow("MD5/AES-192") << "MD5"
                                     << "AES-192";
        QTest::newRow("SHA/AES-256") << "SHA"
                                     << "AES-256";
    }
    void longerKeys() {
        QFETCH(QString, auth);
        QFETCH(QString, priv);
        if (!m_longKeys) {
            QByteArray users;
            for (const char* a : kAuths)
                for (const char* p : {"AES", "AES-192", "AES-256"})
                    users += QStringLiteral("createUser %1_%2 %1 maplesyrup %2 pancakemix\n"
                                            "rouser %1_%2 priv\n")
                                 .arg(a, p)
                                 .toUtf8();
            m_longKeys = std::make_unique<SnmpdProcess>(true, users);
        }
        QVERIFY2(m_longKeys->started(), qPrintable(m_longKeys->error()));
        const QString column = QStringLiteral("1.3.6.1.2.1.2.2.1.2");
        const QStringList net{"-t", "1", "-r", "1", "-On", agent(m_sim->port()), column};
        const ToolRun sim128 = RunToolIn("snmpwalk", userArgs(auth, "AES") + net);
        const ToolRun sim = RunToolIn("snmpwalk", userArgs(auth, priv) + net);
        QCOMPARE(sim.errText(), QString());
        QVERIFY2(sim128.out.count('\n') >= 10, sim128.err.constData());
        QCOMPARE(sim.out, sim128.out);
        for (const char* verb : {"walk", "bulk"}) {
            auto walk = [&](const QString& p) {
                QStringList args = userArgs(auth, p);
                args.replaceInStrings(QRegularExpression("^-v3$"), "3").prepend("-v");
                return RunToolIn(BuildPath("tools/talvex-walk"),
                                 args << "-p" << QString::number(m_longKeys->port()) << "-t"
                                      << "2000"
                                      << "127.0.0.1" << verb << column);
            };
            const ToolRun snmpd128 = walk("AES"), snmpd = walk(priv);
            QVERIFY2(snmpd.exitCode == 0, snmpd.err.constData());
            QVERIFY2(!snmpd128.out.isEmpty(), snmpd128.err.constData());
            QCOMPARE(snmpd.out, snmpd128.out);
        }
    }

    void readOnlyUserCannotSet() {
        ToolRun set = RunToolIn("snmpset", userArgs("SHA-256", "AES")
                                               << "-t"
                                               << "1"
                                               << "-r"
                                               << "1" << agent(m_sim->port()) << "1.3.6.1.2.1.1.4.0"
                                               << "s"
                                               << "x");
        QCOMPARE(set.exitCode, 2);
        QVERIFY2(set.errText().contains("Reason: noAccess"), qPrintable(set.errText()));
    }

    void readWriteUserSets() {
        SimProcess sim({"--static", "--rwuser", "admin SHA-384 maplesyrup AES pancakemix"});
        QVERIFY(sim.started());
        QStringList args{"-v3", "-u",      "admin",      "-l",         "authPriv",
                         "-a",  "SHA-384", "-A",         "maplesyrup", "-x",
                         "AES", "-X",      "pancakemix", "-t",         "1",
                         "-r",  "1",       "-On",        "-Oq",        agent(sim.port())};
        ToolRun set =
            RunToolIn("snmpset", args + QStringList{"1.3.6.1.2.1.1.4.0", "s", "ops desk"});
        QCOMPARE(set.errText(), QString());
        ToolRun get = RunToolIn("snmpget", args + QStringList{"1.3.6.1.2.1.1.4.0"});
        QCOMPARE(get.outText().trimmed(), QStringLiteral(".1.3.6.1.2.1.1.4.0 \"ops desk\""));
        // its communities still work beside the users
        ToolRun v2c = RunToolIn("snmpget", {"-v2c", "-c", "orchid", "-On", "-Oq", agent(sim.port()),
                                            "1.3.6.1.2.1.1.4.0"});
        QCOMPARE(v2c.outText().trimmed(), QStringLiteral(".1.3.6.1.2.1.1.4.0 \"ops desk\""));
    }
};

QTEST_GUILESS_MAIN(TestSimV3)
#include "tst_simv3.moc"
