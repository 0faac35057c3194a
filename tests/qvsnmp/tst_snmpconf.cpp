// The credentials file: its blocks per agent, its tokens, and the files it refuses.
#include "qvsnmp/snmpconf.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

class TestSnmpConf : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QByteArray& text,
                  QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner) {
        const QString path = m_dir.filePath("snmp.conf");
        QFile f(path);
        f.remove();
        f.open(QIODevice::WriteOnly);
        f.write(text);
        f.close();
        f.setPermissions(perms);
        return path;
    }

    // A lookup that blocks (on a FIFO nobody writes) is let go by a writer and fails the test.
    snmpconf::Status lookup(const QString& path, uint16_t port, snmpconf::Entry& e, QString& why,
                            const char* agent = "127.0.0.1") {
        std::string w;
        const std::string p = path.toStdString();
        auto run =
            std::async(std::launch::async, [&] { return snmpconf::lookup(p, agent, port, e, w); });
        if (run.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            const int writer = ::open(p.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
            run.wait();
            why = QStringLiteral("blocked");
            return snmpconf::Status(-1);
        }
        why = QString::fromStdString(w);
        return run.get();
    }

private slots:
    void defaultPath() {
        qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
        QCOMPARE(QString::fromStdString(snmpconf::defaultPath()),
                 QStringLiteral("/tmp/xdg-test/talvex/snmp.conf"));
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("HOME", "/home/ops");
        QCOMPARE(QString::fromStdString(snmpconf::defaultPath()),
                 QStringLiteral("/home/ops/.config/talvex/snmp.conf"));
    }

    void block() {
        const QString path = write("# lab switches\n"
                                   "agent 127.0.0.9\n"
                                   "    defSecurityName other\n"
                                   "\n"
                                   "agent 127.0.0.1\n"
                                   "    defVersion 3\n"
                                   "    defSecurityName ops\n"
                                   "    defSecurityLevel authPriv\n"
                                   "    defAuthType SHA-256\n"
                                   "    defAuthPassphrase maple syrup on toast\n"
                                   "    defPrivType AES\n"
                                   "    defPrivPassphrase \" pancake mix \"\r\n"
                                   "    defContext vlan7\n");
        snmpconf::Entry e;
        QString why;
        QCOMPARE(lookup(path, 161, e, why), snmpconf::Status::Found);
        QCOMPARE(e.version, 3);
        QCOMPARE(e.user.name, std::string("ops"));
        QCOMPARE(e.user.level, usm::Level::AuthPriv);
        QCOMPARE(e.user.auth, crypto::Auth::SHA256);
        QCOMPARE(e.user.priv, crypto::Priv::AES128);
        QCOMPARE(e.user.authPassphrase.view(), std::string_view("maple syrup on toast"));
        QCOMPARE(e.user.privPassphrase.view(), std::string_view(" pancake mix "));
        QCOMPARE(e.user.context, std::string("vlan7"));
        // an agent without a block: v2c and the communities
        QCOMPARE(lookup(path, 161, e, why, "127.0.0.2"), snmpconf::Status::NoEntry);
        QCOMPARE(lookup(m_dir.filePath("missing"), 161, e, why), snmpconf::Status::NoEntry);
    }

    void portBlockWins() {
        const QString path = write("agent 127.0.0.1\n defSecurityName any\n"
                                   "agent 127.0.0.1:1161\n defSecurityName sim\n");
        snmpconf::Entry e;
        QString why;
        QCOMPARE(lookup(path, 1161, e, why), snmpconf::Status::Found);
        QCOMPARE(e.user.name, std::string("sim"));
        QCOMPARE(lookup(path, 161, e, why), snmpconf::Status::Found);
        QCOMPARE(e.user.name, std::string("any"));
    }

    void olderVersion() {
        snmpconf::Entry e;
        QString why;
        QCOMPARE(lookup(write("agent 127.0.0.1\n defVersion 2c\n"), 161, e, why),
                 snmpconf::Status::Found);
        QCOMPARE(e.version, 1);
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("perms");
        QTest::addColumn<QString>("why");
        const int owner = int(QFile::ReadOwner | QFile::WriteOwner);
        QTest::newRow("readable by the group")
            << QByteArray("agent 127.0.0.1\n") << int(owner | QFile::ReadGroup)
            << "permissions 0640 are too open: it holds passphrases and must be readable by its "
               "owner only";
        QTest::newRow("readable by others")
            << QByteArray("agent 127.0.0.1\n") << int(owner | QFile::ReadOther)
            << "permissions 0604 are too open";
        QTest::newRow("unknown token") << QByteArray("agent 127.0.0.1\n defSecName x\n") << owner
                                       << "snmp.conf:2: unknown token defSecName";
        QTest::newRow("token outside a block")
            << QByteArray("defSecurityName ops\n") << owner
            << "snmp.conf:1: defSecurityName before the first agent line";
        QTest::newRow("unknown protocol") << QByteArray("agent 127.0.0.1\n defAuthType SHA-1024\n")
                                          << owner << "snmp.conf:2: defAuthType is MD5, SHA";
        QTest::newRow("level without its passphrase")
            << QByteArray("agent 127.0.0.1\n defSecurityName ops\n defSecurityLevel authPriv\n"
                          " defAuthType SHA\n defAuthPassphrase maplesyrup\n defPrivType AES\n")
            << owner << "agent 127.0.0.1: the privacy passphrase must have at least 8 characters";
        QTest::newRow("short passphrase")
            << QByteArray("agent 127.0.0.1\n defSecurityName ops\n defSecurityLevel authNoPriv\n"
                          " defAuthType MD5\n defAuthPassphrase short\n")
            << owner << "the authentication passphrase must have at least 8 characters";
    }
    void refused() {
        QFETCH(QByteArray, text);
        QFETCH(int, perms);
        QFETCH(QString, why);
        snmpconf::Entry e;
        QString got;
        QCOMPARE(lookup(write(text, QFile::Permissions(perms)), 161, e, got),
                 snmpconf::Status::Refused);
        QVERIFY2(got.contains(why), qPrintable(got));
    }

    // What lies at the file's place, or on the way to it. Only a path that is plainly absent
    // means "no file"; anything else there that cannot be used is refused at once.
    void fileKinds_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("why");
        const int found = int(snmpconf::Status::Found), none = int(snmpconf::Status::NoEntry),
                  refused = int(snmpconf::Status::Refused);
        QTest::newRow("regular file") << "file" << found << "";
        QTest::newRow("link to a regular file") << "link" << found << "";
        QTest::newRow("absent") << "absent" << none << "";
        QTest::newRow("folder absent") << "no folder" << none << "";
        QTest::newRow("FIFO") << "fifo" << refused << "snmp.conf: a FIFO, not a regular file";
        QTest::newRow("folder") << "folder" << refused << "snmp.conf: a folder, not a regular file";
        QTest::newRow("device") << "device" << refused << "snmp.conf: a device, not a regular file";
        QTest::newRow("dangling link")
            << "dangling" << refused << "snmp.conf: a symbolic link to nothing";
        QTest::newRow("folder is a file") << "folder file" << refused << "talvex: not a folder";
        QTest::newRow("folder is a dangling link")
            << "folder dangling" << refused << "talvex: a symbolic link to nothing";
    }
    void fileKinds() {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(QString, why);
        QTemporaryDir home;
        const QString folder = home.filePath("talvex"), path = folder + "/snmp.conf";
        const QByteArray text = "agent 127.0.0.1\n defVersion 2c\n";
        auto writeAt = [&](const QString& at) {
            QFile f(at);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        };
        if (kind != "no folder" && kind != "folder file" && kind != "folder dangling")
            QVERIFY(QDir().mkpath(folder));
        const QByteArray p = path.toLocal8Bit();
        if (kind == "file") writeAt(path);
        if (kind == "link") {
            writeAt(home.filePath("real.conf"));
            QVERIFY(QFile::link(home.filePath("real.conf"), path));
        }
        if (kind == "fifo") QCOMPARE(::mkfifo(p.constData(), 0600), 0);
        if (kind == "folder") QVERIFY(QDir().mkpath(path));
        if (kind == "device") QVERIFY(QFile::link("/dev/null", path));
        if (kind == "dangling") QVERIFY(QFile::link(home.filePath("gone.conf"), path));
        if (kind == "folder file") writeAt(folder);
        if (kind == "folder dangling") QVERIFY(QFile::link(home.filePath("gone"), folder));
        snmpconf::Entry e;
        QString got;
        QCOMPARE(int(lookup(path, 161, e, got)), status);
        QVERIFY2(got.contains(why), qPrintable(got));
        QCOMPARE(got.isEmpty(), why.isEmpty());
    }

    // Agent blocks name an address, IPv6 in brackets when a port follows, as net-snmp writes
    // them; a block that cannot be read as one is refused with its line.
    void agentBlocks_data() {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("agent");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("why");
        const int found = int(snmpconf::Status::Found), none = int(snmpconf::Status::NoEntry),
                  refused = int(snmpconf::Status::Refused);
        QTest::newRow("IPv6 in brackets with its port")
            << QByteArray("[::1]:1161") << "::1" << 1161 << found << "";
        QTest::newRow("IPv6 in brackets, another port")
            << QByteArray("[::1]:1161") << "::1" << 161 << none << "";
        QTest::newRow("IPv6 in brackets") << QByteArray("[::1]") << "::1" << 1161 << found << "";
        QTest::newRow("IPv6") << QByteArray("::1") << "::1" << 1161 << found << "";
        QTest::newRow("IPv6 written longer")
            << QByteArray("0:0:0:0:0:0:0:1") << "::1" << 161 << found << "";
        QTest::newRow("IPv6 agent written longer")
            << QByteArray("[::1]:161") << "0::1" << 161 << found << "";
        QTest::newRow("IPv4 with its port")
            << QByteArray("127.0.0.1:1161") << "127.0.0.1" << 1161 << found << "";
        QTest::newRow("IPv4 is not IPv6")
            << QByteArray("127.0.0.1") << "::ffff:127.0.0.1" << 161 << none << "";
        QTest::newRow("IPv6 with a port, unbracketed")
            << QByteArray("::1:1161") << "::1" << 1161 << refused
            << "snmp.conf:1: agent ::1:1161 is ambiguous: write [::1]:1161 for port 1161 of ::1, "
               "or [::1:1161] for that address";
        QTest::newRow("bracket not closed") << QByteArray("[::1:1161") << "::1" << 1161 << refused
                                            << "snmp.conf:1: agent [::1:1161 is not ADDRESS";
        QTest::newRow("port out of range")
            << QByteArray("127.0.0.1:65536") << "127.0.0.1" << 161 << refused
            << "snmp.conf:1: agent 127.0.0.1:65536 is not";
        QTest::newRow("port zero")
            << QByteArray("[::1]:0") << "::1" << 161 << refused << "snmp.conf:1:";
        QTest::newRow("host name") << QByteArray("switch.example") << "127.0.0.1" << 161 << refused
                                   << "snmp.conf:1: agent switch.example is not ADDRESS";
    }
    void agentBlocks() {
        QFETCH(QByteArray, block);
        QFETCH(QString, agent);
        QFETCH(int, port);
        QFETCH(int, status);
        QFETCH(QString, why);
        snmpconf::Entry e;
        QString got;
        const QByteArray a = agent.toLatin1();
        QCOMPARE(int(lookup(write("agent " + block + "\n defSecurityName ops\n"), uint16_t(port), e,
                            got, a.constData())),
                 status);
        QVERIFY2(got.contains(why), qPrintable(got));
        if (status == int(snmpconf::Status::Found)) QCOMPARE(e.user.name, std::string("ops"));
    }

    // Errors never show a passphrase, and show other bad bytes escaped and cut.
    void errorsShowNoSecret_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("why");
        QTest::newRow("passphrase token glued to its value")
            << QByteArray("defAuthPassphrase=s3cretphrase")
            << "snmp.conf:2: a passphrase line that cannot be read";
        QTest::newRow("misspelt passphrase token")
            << QByteArray("defAuthPassPhrase s3cretphrase")
            << "snmp.conf:2: a passphrase line that cannot be read";
        QTest::newRow("privacy passphrase, quote unclosed")
            << QByteArray("defPrivPassphrase \"s3cretphrase")
            << "snmp.conf:2: a passphrase line that cannot be read";
        QTest::newRow("control characters")
            << QByteArray("def\x1b[2Jx\x7f") << "snmp.conf:2: unknown token def\\x1b[2Jx\\x7f";
        QTest::newRow("very long token")
            << QByteArray(100000, 'k') << "snmp.conf:2: unknown token " + QString(40, 'k') + "...";
    }
    void errorsShowNoSecret() {
        QFETCH(QByteArray, line);
        QFETCH(QString, why);
        snmpconf::Entry e;
        QString got;
        QCOMPARE(lookup(write("agent 127.0.0.1\n" + line + "\n"), 161, e, got),
                 snmpconf::Status::Refused);
        QVERIFY2(got.endsWith(why), qPrintable(got.left(300)));
        QVERIFY(!got.contains("s3cret"));
    }
};

QTEST_GUILESS_MAIN(TestSnmpConf)
#include "tst_snmpconf.moc"
