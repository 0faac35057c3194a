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
                                       << "snmp.conf:2: expected a token (agent, defVersion,";
        QTest::newRow("token outside a block")
            << QByteArray("defSecurityName ops\n") << owner
            << "snmp.conf:1: expected an agent line before the first token";
        QTest::newRow("unknown protocol") << QByteArray("agent 127.0.0.1\n defAuthType SHA-1024\n")
                                          << owner << "snmp.conf:2: defAuthType: expected MD5, SHA";
        QTest::newRow("level without its passphrase")
            << QByteArray("agent 127.0.0.1\n defSecurityName ops\n defSecurityLevel authPriv\n"
                          " defAuthType SHA\n defAuthPassphrase maplesyrup\n defPrivType AES\n")
            << owner
            << "snmp.conf:1: the user of this agent's block cannot be used: the privacy "
               "passphrase must have at least 8 characters";
        // The file is refused whole for a user that cannot be used, whichever agent is asked.
        QTest::newRow("another agent's name too long")
            << QByteArray("agent 127.0.0.1\n defSecurityName ops\n"
                          "agent 127.0.0.9\n defSecurityName " +
                          QByteArray(33, 'n') + "\n")
            << owner
            << "snmp.conf:3: the user of this agent's block cannot be used: a security name has "
               "at most 32 characters";
        QTest::newRow("another agent's passphrase too short")
            << QByteArray("agent 127.0.0.9\n defSecurityName ops\n defSecurityLevel authNoPriv\n"
                          " defAuthType MD5\n defAuthPassphrase short\n"
                          "agent 127.0.0.1\n defSecurityName ops\n")
            << owner
            << "snmp.conf:1: the user of this agent's block cannot be used: the authentication "
               "passphrase must have at least 8 characters";
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
            << "snmp.conf:1: agent: an IPv6 address whose last group may be a port: expected "
               "[IPV6-ADDRESS]:PORT for a port, or [IPV6-ADDRESS] for the address alone";
        QTest::newRow("bracket not closed")
            << QByteArray("[::1:1161") << "::1" << 1161 << refused
            << "snmp.conf:1: agent: expected ADDRESS, ADDRESS:PORT or [IPV6-ADDRESS]:PORT";
        QTest::newRow("port out of range") << QByteArray("127.0.0.1:65536") << "127.0.0.1" << 161
                                           << refused << "snmp.conf:1: agent: expected";
        QTest::newRow("port zero")
            << QByteArray("[::1]:0") << "::1" << 161 << refused << "snmp.conf:1:";
        QTest::newRow("host name") << QByteArray("switch.example") << "127.0.0.1" << 161 << refused
                                   << "snmp.conf:1: agent: expected ADDRESS";
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

    // A line that cannot be read may hold a passphrase: what is said of it is its number and
    // what was expected, never any of its text.
    void unreadLineNotShown_data() {
        QTest::addColumn<QByteArray>("lines"); // after "agent 127.0.0.1" on line 1
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected");
        const QString token = "expected a token (agent, defVersion, defSecurityName, "
                              "defSecurityLevel, defAuthType, defAuthPassphrase, defPrivType, "
                              "defPrivPassphrase, defContext), a comment or a blank line";
        QTest::newRow("token glued to its value")
            << QByteArray("defAuthPassphrase=s3cretphrase") << 2 << token;
        QTest::newRow("token in another case")
            << QByteArray("defAuthPassPhrase s3cretphrase") << 2 << token;
        QTest::newRow("token misspelt, glued")
            << QByteArray("defAuthPasphrase=s3cretphrase") << 2 << token;
        QTest::newRow("token cut short, glued")
            << QByteArray("defAuthPhrase=s3cretphrase") << 2 << token;
        QTest::newRow("quote not closed")
            << QByteArray("defPrivPassphrase \"s3cretphrase") << 2
            << "defPrivPassphrase: expected the closing quote of the passphrase";
        QTest::newRow("wrapped onto a line of its own")
            << QByteArray("defAuthPassphrase\n    s3cretvalue123") << 3 << token;
        QTest::newRow("wrapped, quoted")
            << QByteArray("defAuthPassphrase\n\"s3cret value 123\"") << 3 << token;
        QTest::newRow("wrapped, words")
            << QByteArray("defPrivPassphrase\ns3cret value 123") << 3 << token;
        QTest::newRow("control characters") << QByteArray("def\x1b[2Jx\x7f s3cret") << 2 << token;
        QTest::newRow("very long token") << QByteArray(100000, 's') << 2 << token;
    }
    void unreadLineNotShown() {
        QFETCH(QByteArray, lines);
        QFETCH(int, line);
        QFETCH(QString, expected);
        snmpconf::Entry e;
        QString got;
        const QString path = write("agent 127.0.0.1\n" + lines + "\n");
        QCOMPARE(lookup(path, 161, e, got), snmpconf::Status::Refused);
        QCOMPARE(got, path + ":" + QString::number(line) + ": " + expected);
    }

    // Whoever may rename entries in a folder above the file can take it away, and the module
    // would talk SNMPv2c instead: such a folder refuses the file, and "absent" means no file
    // only where the folder passes.
    void folders_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("why"); // after the folder's path
        const int found = int(snmpconf::Status::Found), none = int(snmpconf::Status::NoEntry),
                  refused = int(snmpconf::Status::Refused);
        const QString open = ": permissions %1: others could take the credentials file away from "
                             "this folder; it must be writable by its owner only";
        const QString other = ": the folder belongs to another user";
        QTest::newRow("the user's own") << "own" << true << found << "";
        QTest::newRow("the user's own, no file") << "own" << false << none << "";
        QTest::newRow("writable by the group") << "group" << true << refused << open.arg("0770");
        QTest::newRow("writable by the group, file taken away")
            << "group" << false << refused << open.arg("0770");
        QTest::newRow("folder above writable by others")
            << "above" << true << refused << open.arg("0777");
        QTest::newRow("folder above writable by others, folder gone")
            << "above gone" << false << refused << open.arg("0777");
        QTest::newRow("file a link into a folder others may write")
            << "file link" << true << refused << open.arg("0777");
        if (::geteuid() == 0) {
            QTest::newRow("another user's") << "other" << true << refused << other;
            QTest::newRow("a link to another user's folder, file taken away")
                << "link" << false << refused << other;
            QTest::newRow("a sticky folder of root's above") << "sticky" << true << found << "";
        }
    }
    void folders() {
        QFETCH(QString, layout);
        QFETCH(bool, fileThere);
        QFETCH(int, status);
        QFETCH(QString, why);
        QTemporaryDir home;
        const QString above = home.filePath("config"), elsewhere = home.filePath("elsewhere");
        QString folder = above + "/talvex";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QDir().mkpath(elsewhere + "/talvex"));
        QString bad = folder; // the folder the refusal names
        auto mode = [](const QString& at, mode_t m) {
            QCOMPARE(::chmod(at.toLocal8Bit().constData(), m), 0);
        };
        if (layout == "group") mode(folder, 0770);
        if (layout == "above" || layout == "above gone") {
            mode(above, 0777);
            bad = above;
        }
        if (layout == "above gone") QVERIFY(QDir(folder).removeRecursively());
        if (layout == "other") QCOMPARE(::chown(folder.toLocal8Bit().constData(), 4242, 4242), 0);
        if (layout == "link") {
            bad = elsewhere + "/talvex";
            QCOMPARE(::chown(bad.toLocal8Bit().constData(), 4242, 4242), 0);
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QFile::link(bad, folder));
        }
        if (layout == "sticky") mode(above, 01777);
        const QString path = folder + "/snmp.conf";
        if (fileThere) {
            const QString real = layout == "file link" ? elsewhere + "/snmp.conf" : path;
            QFile f(real);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("agent 127.0.0.1\n defVersion 2c\n");
            f.close();
            QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
            if (layout == "file link") {
                mode(elsewhere, 0777);
                bad = elsewhere;
                QVERIFY(QFile::link(real, path));
            }
        }
        snmpconf::Entry e;
        QString got;
        QCOMPARE(int(lookup(path, 161, e, got)), status);
        QCOMPARE(got.isEmpty(), why.isEmpty());
        if (!why.isEmpty()) QVERIFY2(got.startsWith(bad + why), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TestSnmpConf)
#include "tst_snmpconf.moc"
