// The credentials file: its blocks per agent, its tokens, and the files it refuses.
#include "qvsnmp/snmpconf.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    snmpconf::Status lookup(const QString& path, uint16_t port, snmpconf::Entry& e, QString& why,
                            const char* agent = "127.0.0.1") {
        std::string w;
        auto s = snmpconf::lookup(path.toStdString(), agent, port, e, w);
        why = QString::fromStdString(w);
        return s;
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
        QTest::newRow("unknown token") << QByteArray("agent 127.0.0.1\n defPassword x\n") << owner
                                       << "snmp.conf:2: unknown token defPassword";
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

    void directoryRefused() {
        snmpconf::Entry e;
        QString why;
        QCOMPARE(lookup(m_dir.path(), 161, e, why), snmpconf::Status::Refused);
        QVERIFY(why.contains("not a regular file"));
    }
};

QTEST_GUILESS_MAIN(TestSnmpConf)
#include "tst_snmpconf.moc"
