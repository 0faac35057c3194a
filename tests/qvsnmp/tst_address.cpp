// Which datagrams the transport takes for its agent's. Its socket is connected, so the kernel
// already drops what comes from elsewhere once the connection stands; the library's own check
// covers what reached the port before it did, and must tell ports and families apart as the
// kernel does.
#include "qvsnmp/address.h"

#include <QTest>

class TestAddress : public QObject {
    Q_OBJECT

private slots:
    void answersComeFromTheAgentOnly_data() {
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("fromPort");
        QTest::addColumn<bool>("taken");
        QTest::newRow("IPv6, the agent") << "::1"
                                         << "0:0::1" << 1161 << true;
        QTest::newRow("IPv6, another port") << "::1"
                                            << "::1" << 1162 << false;
        QTest::newRow("IPv6, another address") << "::1"
                                               << "::2" << 1161 << false;
        QTest::newRow("IPv4, the agent") << "127.0.0.1"
                                         << "127.0.0.1" << 1161 << true;
        QTest::newRow("IPv4, another port") << "127.0.0.1"
                                            << "127.0.0.1" << 1162 << false;
        QTest::newRow("IPv4, another address") << "127.0.0.1"
                                               << "127.0.0.2" << 1161 << false;
        QTest::newRow("IPv4 agent, mapped IPv6 sender") << "127.0.0.1"
                                                        << "::ffff:127.0.0.1" << 1161 << false;
    }
    void answersComeFromTheAgentOnly() {
        QFETCH(QString, agent);
        QFETCH(QString, from);
        QFETCH(int, fromPort);
        QFETCH(bool, taken);
        const qvsnmp::AgentAddress a = qvsnmp::agentAt(agent, 1161);
        const qvsnmp::AgentAddress sender = qvsnmp::agentAt(from, quint16(fromPort));
        QVERIFY(a.valid() && sender.valid());
        QCOMPARE(a.is(sender.socket, sender.length), taken);
    }
};

QTEST_MAIN(TestAddress)
#include "tst_address.moc"
