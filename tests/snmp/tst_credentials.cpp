// The module's start-up reading of the credentials file into the session parameters, and the
// sessions NewSnmpSession builds from them.
#include "qvsnmp/usm.h"
#include "snmp/params.h"
#include "snmp/session.h"
#include "tests/common/peers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
