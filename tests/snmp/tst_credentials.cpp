// The module's start-up reading of the credentials file into the session parameters, and the
// sessions NewSnmpSession builds from them.
#include "qvsnmp/usm.h"
#include "qvsnmp/v3msg.h"
#include "snmp/params.h"
#include "snmp/session.h"
#include "tests/common/peers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What reached an agent the test plays: datagrams by kind, and the communities they carried.
struct Heard {
    int v3 = 0;
    QStringList communities;
};

Heard drain(int fd) {
    Heard h;
    uint8_t buf[65536];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0;) {
        if (v3::messageVersion(buf, size_t(n)) == 3) {
            ++h.v3;
        } else {
            std::optional<ber::Message> m = ber::decode(buf, size_t(n));
            h.communities << (m ? QString::fromStdString(m->community) : QStringLiteral("?"));
        }
    }
    return h;
}

const QByteArray kV3Block = " defSecurityName ops\n defSecurityLevel authNoPriv\n"
                            " defAuthType SHA\n defAuthPassphrase maplesyrup\n";

} // namespace

class TestCredentials : public QObject {
    Q_OBJECT
    QTemporaryDir m_xdg;

    void write(const QByteArray& text, QFile::Permissions perms) {
        QVERIFY(!WriteCredentialsFile(m_xdg.path(), text, perms).isEmpty());
    }

private slots:
    void init() {
        qputenv("XDG_CONFIG_HOME", m_xdg.path().toUtf8());
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        SetSnmpAgentPort(16161);
    }
    void cleanup() {
        g_snmpV3User.reset();
        g_snmpVersion = ber::V2c;
        SetSnmpAgentPort(0);
    }

    void load_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("v3");
        QTest::addColumn<int>("version");
        QTest::newRow("no block for the agent")
            << QByteArray("agent 127.0.0.2\n defSecurityName x\n") << true << false
            << int(ber::V2c);
        QTest::newRow("a v3 block") << QByteArray("agent 127.0.0.1:16161\n defSecurityName ops\n"
                                                  " defSecurityLevel authNoPriv\n defAuthType SHA\n"
                                                  " defAuthPassphrase maplesyrup\n")
                                    << true << true << int(ber::V2c);
        QTest::newRow("a block for another port")
            << QByteArray("agent 127.0.0.1:161\n defSecurityName ops\n") << true << false
            << int(ber::V2c);
        QTest::newRow("SNMPv1 by the file")
            << QByteArray("agent 127.0.0.1\n defVersion 1\n") << true << false << int(ber::V1);
        QTest::newRow("a user that cannot be used")
            << QByteArray("agent 127.0.0.1\n defSecurityName ops\n defSecurityLevel authPriv\n")
            << false << false << int(ber::V2c);
    }
    void load() {
        QFETCH(QByteArray, text);
        QFETCH(bool, loaded);
        QFETCH(bool, v3);
        QFETCH(int, version);
        write(text, QFile::ReadOwner | QFile::WriteOwner);
        QString why;
        QCOMPARE(LoadSnmpCredentials(&why), loaded);
        QCOMPARE(why.isEmpty(), loaded);
        QCOMPARE(bool(g_snmpV3User), v3);
        QCOMPARE(g_snmpVersion, version);
        if (v3) QCOMPARE(g_snmpV3User->name, std::string("ops"));
    }

    // Every kind of credentials file that is there but cannot be used ends both the module's
    // start and talvex-walk before anything is sent; nothing ever goes out with a community the
    // operator did not give ("opsread" is the one given).
    void noCommunityNotGiven_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ipv6");
        QTest::addColumn<QString>("expect"); // v3, v2c or refused
        const QByteArray v4 = "agent 127.0.0.1:PORT\n" + kV3Block;
        QTest::newRow("no file") << "none" << QByteArray() << false << "v2c";
        QTest::newRow("no block for the agent")
            << "file" << QByteArray("agent 127.0.0.2\n" + kV3Block) << false << "v2c";
        QTest::newRow("v3 block") << "file" << v4 << false << "v3";
        QTest::newRow("IPv6 block with its port")
            << "file" << QByteArray("agent [::1]:PORT\n" + kV3Block) << true << "v3";
        QTest::newRow("IPv6 block with its port, unbracketed")
            << "file" << QByteArray("agent ::1:PORT\n" + kV3Block) << true << "refused";
        QTest::newRow("link to the file") << "link" << v4 << false << "v3";
        QTest::newRow("dangling link") << "dangling" << v4 << false << "refused";
        QTest::newRow("FIFO") << "fifo" << v4 << false << "refused";
        QTest::newRow("folder") << "folder" << v4 << false << "refused";
        QTest::newRow("config folder is a file") << "config file" << v4 << false << "refused";
        QTest::newRow("readable by others") << "0644" << v4 << false << "refused";
        // whoever may write the folder could have taken the file away: no fall back to v2c
        QTest::newRow("file gone from a folder others may write")
            << "open folder" << v4 << false << "refused";
        QTest::newRow("unknown token")
            << "file" << QByteArray(v4 + " defPasword x\n") << false << "refused";
        QTest::newRow("host name block")
            << "file" << QByteArray("agent localhost\n" + kV3Block) << false << "refused";
        QTest::newRow("short passphrase")
            << "file" << QByteArray(v4).replace("maplesyrup", "maple") << false << "refused";
    }
    void noCommunityNotGiven() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, text);
        QFETCH(bool, ipv6);
        QFETCH(QString, expect);
        quint16 port = 0;
        const int fd = LoopbackUdpSocket(&port, ipv6);
        QVERIFY(fd >= 0);
        text.replace("PORT", QByteArray::number(port));
        QTemporaryDir home;
        const QString folder = home.filePath("talvex"), path = folder + "/snmp.conf";
        const auto owner = QFile::ReadOwner | QFile::WriteOwner;
        if (kind == "file" || kind == "0644")
            WriteCredentialsFile(home.path(), text,
                                 kind == "file" ? owner
                                                : owner | QFile::ReadGroup | QFile::ReadOther);
        if (kind == "link" || kind == "dangling") {
            QVERIFY(QDir().mkpath(folder));
            if (kind == "link") WriteCredentialsFile(home.filePath("real"), text);
            QVERIFY(QFile::link(home.filePath("real/talvex/snmp.conf"), path));
        }
        if (kind == "fifo") {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        }
        if (kind == "folder") QVERIFY(QDir().mkpath(path));
        if (kind == "open folder") {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::chmod(folder.toLocal8Bit().constData(), 0777), 0);
        }
        if (kind == "config file") {
            QFile f(folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const QString agent = ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1");

        // The module: its start reads the file, then its sessions talk.
        g_strAgentAddress = agent;
        g_strReadCommunity = QStringLiteral("opsread");
        g_strWriteCommunity = QStringLiteral("opswrite");
        SetSnmpAgentPort(port);
        QString why;
        const bool loaded = LoadSnmpCredentials(&why);
        QCOMPARE(loaded, expect != "refused");
        if (loaded) {
            SetSnmpTimeout(300);
            static _QvOidTable direct[1] = {{0, 0x1, "1.3.6.1.2.1.1.5.0", "sysName", nullptr, 0}};
            static _QvOidTable proxied[2] = {direct[0], {}};
            CSnmpClass* session = nullptr;
            QObject owner;
            NewSnmpSession(session, &owner, {direct, proxied, 1});
            bool done = false;
            session->SetSnmpCallback([&](unsigned short, CSnmpMsg* msg) {
                if (msg) msg->Release();
                done = true;
            });
            QVERIFY(session->SendSnmp(SNMP_PDU_GET));
            QTRY_VERIFY_WITH_TIMEOUT(done, 3000);
            delete session;
            SetSnmpTimeout(4000);
        }
        Heard module = drain(fd);

        // talvex-walk, with the same file.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        ToolRun walk = RunToolIn(BuildPath("tools/talvex-walk"),
                                 {"-c", "opsread", "-t", "300", "-p", QString::number(port), agent,
                                  "get", "1.3.6.1.2.1.1.5.0"},
                                 env);
        Heard tool = drain(fd);
        ::close(fd);
        QCOMPARE(walk.exitCode, expect == "refused" ? 2 : 1);
        if (expect == "refused") QVERIFY2(walk.errText().startsWith("talvex-walk: "), walk.err);

        for (const Heard& h : {module, tool}) {
            for (const QString& c : h.communities)
                QCOMPARE(c, QStringLiteral("opsread"));
            if (expect == "v3") QVERIFY(h.v3 > 0 && h.communities.isEmpty());
            if (expect == "v2c") QVERIFY(!h.communities.isEmpty() && h.v3 == 0);
            if (expect == "refused") QVERIFY(h.communities.isEmpty() && h.v3 == 0);
        }
    }

    // A file others may read holds passphrases they may have read: it is refused, and the
    // module must not go on with communities in clear text.
    void openFileRefused() {
        write("agent 127.0.0.1\n defSecurityName ops\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QString why;
        QVERIFY(!LoadSnmpCredentials(&why));
        QVERIFY2(
            why.endsWith("permissions 0604 are too open: it holds passphrases and must be readable "
                         "by its owner only (chmod 600 " +
                         m_xdg.filePath("talvex/snmp.conf") + ")"),
            qPrintable(why));
        QVERIFY(!g_snmpV3User);
    }
};

QTEST_GUILESS_MAIN(TestCredentials)
#include "tst_credentials.moc"
