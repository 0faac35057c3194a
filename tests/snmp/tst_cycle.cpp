// The request cycle pages share: the response collector, walk steps, the proxy rule and the
// record rewrites, against talvex-sim.
#include "snmp/params.h"
#include "snmp/session.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QTest>

namespace {

QvTable<3> s_system{{
    QvRecord(4, 0x1, "1.3.6.1.2.1.1.5.0", "System Name"),
    QvRecord(2, 0x1, "1.3.6.1.2.1.1.7.0", "System Service"),
    QvRecord(4, 0x1, "1.3.6.1.2.1.1.6.0", "System Location"),
}};

QvTable<2> s_columns{{
    QvRecord(4, 0x11, "1.3.6.1.2.1.2.2.1.2", "Describe"),
    QvRecord(2, 0x11, "1.3.6.1.2.1.2.2.1.8", "OperateState"),
}};

} // namespace

Q_DECLARE_METATYPE(StaleResponse)

class TestCycle : public QObject {
    Q_OBJECT
public:
    void onResponse(unsigned short status, CSnmpMsg* msg) {
        m_status.append(status);
        m_msg.append(msg);
    }

private:
    std::unique_ptr<SimProcess> m_sim;
    SnmpChannel m_channel;
    QList<unsigned short> m_status;
    QList<CSnmpMsg*> m_msg;

    // Runs one request; true when its response came.
    bool answered() {
        m_status.clear();
        m_msg.clear();
        return m_channel.send(SNMP_PDU_GET) &&
               QTest::qWaitFor([&] { return !m_msg.isEmpty(); }, 6000);
    }
    // Runs one request and returns the collector's result for the channel's pending id (failed
    // when nothing came back at all).
    CollectResult collectOne() {
        if (!answered()) return CollectResult::Failed;
        return m_channel.collect(m_status[0], m_msg[0]);
    }

    // Walks the channel's table to its end; returns the rows.
    QList<QStringList> walk(QList<QStringList>* instances = nullptr) {
        QList<QStringList> rows;
        m_channel.send(SNMP_PDU_GETNEXT);
        for (int guard = 0; guard < 5000; ++guard) {
            m_status.clear();
            m_msg.clear();
            if (!QTest::qWaitFor([&] { return !m_status.isEmpty(); }, 6000)) break;
            QStringList inst;
            WalkStep step = m_channel.walkStep(m_status[0], m_msg[0], &inst);
            if (step != WalkStep::Row) break;
            rows.append(m_channel.values());
            if (instances) instances->append(inst);
            m_channel.send(SNMP_PDU_GETNEXT);
        }
        return rows;
    }

private slots:
    void initTestCase() { QVERIFY(StartStaticSimulator(m_sim, 500)); }
    void init() { QCOMPARE(m_sim->command("faults"), QString("ok")); }
    void cleanup() {
        m_channel.destroy();
        m_channel.forgetRequest();
        g_strProxyAddress = "0.0.0.0";
    }

    void collectorResults() {
        m_channel.open(this, s_system, &TestCycle::onResponse);
        QCOMPARE(m_channel.session()->GetOidList().size(), 3);
        QCOMPARE(collectOne(), CollectResult::Collected);
        QCOMPARE(m_channel.values(), (QStringList{"talvex-sim", "78", "Lab rack 4"}));

        // An object the agent lacks is a value with an empty text, in its place: the values
        // after it stay with their records.
        QCOMPARE(m_sim->command("del 1.3.6.1.2.1.1.7.0"), QString("ok"));
        QCOMPARE(collectOne(), CollectResult::Collected);
        QCOMPARE(m_channel.values(), (QStringList{"talvex-sim", "", "Lab rack 4"}));
        QCOMPARE(m_channel.missing(), (QList<bool>{false, true, false}));
        QCOMPARE(m_sim->command("put 1.3.6.1.2.1.1.7.0 i 78"), QString("ok"));

        // A response to another request: stale, the list is left alone.
        QStringList values{"kept"};
        QVERIFY(answered());
        QCOMPARE(CollectSnmpValues(m_status[0], m_msg[0], 12345, m_channel.session(), values),
                 CollectResult::Stale);
        QCOMPARE(values, QStringList{"kept"});

        // An error status empties the list.
        QCOMPARE(m_sim->command("error 2"), QString("ok"));
        QCOMPARE(collectOne(), CollectResult::Collected);
        QVERIFY(m_channel.values().isEmpty());

        // No answer: failed, the list as it was.
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        QCOMPARE(collectOne(), CollectResult::Collected);
        QCOMPARE(m_sim->command("drop 1"), QString("ok"));
        QCOMPARE(collectOne(), CollectResult::Failed);
        QCOMPARE(m_channel.values(), (QStringList{"talvex-sim", "78", "Lab rack 4"}));
    }

    // The answer sequence: a response to an earlier request on the session leaves the request
    // pending waiting under StaleResponse::Ignored (its own answer is taken next) and ends it
    // under StaleResponse::EndsWalk (then its own answer is one to another request too).
    void takeResponseStale_data() {
        QTest::addColumn<StaleResponse>("rule");
        QTest::newRow("ignored") << StaleResponse::Ignored;
        QTest::newRow("ends") << StaleResponse::EndsWalk;
    }

    void takeResponseStale() {
        QFETCH(StaleResponse, rule);
        const bool waits = rule == StaleResponse::Ignored;
        m_channel.open(this, s_system, &TestCycle::onResponse);
        m_status.clear();
        m_msg.clear();
        QVERIFY(m_channel.send(SNMP_PDU_GET));
        QVERIFY(m_channel.send(SNMP_PDU_GET));
        QVERIFY(QTest::qWaitFor([&] { return m_msg.size() == 2; }, 6000));
        QCOMPARE(m_channel.takeResponse(m_status[0], m_msg[0], rule), CollectResult::Stale);
        QVERIFY(m_channel.values().isEmpty());
        QCOMPARE(m_channel.busy(), waits);
        QCOMPARE(m_channel.takeResponse(m_status[1], m_msg[1], rule),
                 waits ? CollectResult::Collected : CollectResult::Stale);
        const QStringList own{"talvex-sim", "78", "Lab rack 4"};
        QCOMPARE(m_channel.values(), waits ? own : QStringList());
        QVERIFY(!m_channel.busy());
    }

    void fewerBindingsThanRecords() {
        // A session over the first two records only; the collector pairs what it has.
        QvTableRef ref = s_system;
        ref.count = 2;
        m_channel.open(this, ref, &TestCycle::onResponse);
        QCOMPARE(collectOne(), CollectResult::Collected);
        QCOMPARE(m_channel.values().size(), 2);
    }

    void busyRuleAndSendFailure() {
        m_channel.open(this, s_system, &TestCycle::onResponse);
        QVERIFY(!m_channel.busy());
        QVERIFY(m_channel.send(SNMP_PDU_GET));
        QVERIFY(m_channel.busy());
        // A request the library refuses leaves the page idle, not waiting forever.
        QVERIFY(s_system.setOid(0, "1.3.6.1.2.1.1.5."));
        QVERIFY(!m_channel.send(SNMP_PDU_GET));
        QVERIFY(!m_channel.busy());
        QVERIFY(s_system.setOid(0, "1.3.6.1.2.1.1.5.0"));
    }

    void walkWholeTable() {
        m_channel.open(this, s_columns, &TestCycle::onResponse);
        QList<QStringList> instances;
        QList<QStringList> rows = walk(&instances);
        QCOMPARE(rows.size(), 130);
        QCOMPARE(rows[2].value(0), QString("FastEthernet 1/1"));
        QVERIFY(rows[2].value(1) == "1" || rows[2].value(1) == "2");
        QCOMPARE(instances[2], (QStringList{".3", ".3"}));
        QCOMPARE(m_channel.session()->GetOidList()[0]->m_strValue, QString("Vlan1"));
        QVERIFY(!m_channel.busy());
    }

    void walkEmptyAndShortTables() {
        // A column without rows: the first answer already lies beyond it.
        QVERIFY(s_columns.setOid(0, "1.3.6.1.2.1.2.2.1.23"));
        QVERIFY(s_columns.setOid(1, "1.3.6.1.2.1.2.2.1.24"));
        m_channel.open(this, s_columns, &TestCycle::onResponse);
        QCOMPARE(walk().size(), 0);
        // Columns of one row.
        QVERIFY(s_columns.setOid(0, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.2"));
        QVERIFY(s_columns.setOid(1, "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.5"));
        m_channel.open(this, s_columns, &TestCycle::onResponse);
        QCOMPARE(walk().size(), 1);
        s_columns.setOid(0, "1.3.6.1.2.1.2.2.1.2");
        s_columns.setOid(1, "1.3.6.1.2.1.2.2.1.8");

        // An error status ends a walk.
        QCOMPARE(m_sim->command("error 5"), QString("ok"));
        m_channel.open(this, s_columns, &TestCycle::onResponse);
        QCOMPARE(walk().size(), 0);
    }

    void proxyRule() {
        // Direct: n records toward the agent, the proxy record never sent.
        m_channel.open(this, s_system, &TestCycle::onResponse);
        QCOMPARE(m_channel.session()->GetOidList().size(), 3);

        // A proxy: the proxy record follows, naming the agent, and the session talks to the
        // proxy address (here the simulator itself, on another loopback address it doesn't
        // serve, so nothing answers).
        g_strProxyAddress = "127.0.0.2";
        g_strAgentAddress = "127.1.2.3";
        m_channel.open(this, s_system, &TestCycle::onResponse);
        QCOMPARE(m_channel.session()->GetOidList().size(), 4);
        QCOMPARE(QString(s_system.proxied[3].oid), QString("1.3.6.1.4.1.58213.7777.1.127.1.2.3"));
        QCOMPARE(s_system.proxied[3].typeCode, uint16_t(64));
        QCOMPARE(s_system.proxied[3].flags, uint16_t(0x2));
        QCOMPARE(QString(s_system.proxied[3].name), QString("snmp_proxy_ip"));
        QCOMPARE(m_channel.session()->GetOidList()[3]->Record(), &s_system.proxied[3]);
        g_strAgentAddress = "127.0.0.1";
    }

    void recordRewriteLimits() {
        QvTable<1> t{{QvRecord(2, 0x11, "1.3.6.1.2.1.2.2.1.7", "x")}};
        QVERIFY(t.setInstance(0, "1.3.6.1.2.1.2.2.1.7", "12"));
        QCOMPARE(QString(t.direct[0].oid), QString("1.3.6.1.2.1.2.2.1.7.12"));
        QCOMPARE(QString(t.proxied[0].oid), QString("1.3.6.1.2.1.2.2.1.7.12"));
        std::string exact(127, '1');
        QVERIFY(t.setOid(0, exact));
        QCOMPARE(strlen(t.direct[0].oid), size_t(127));
        QVERIFY(!t.setOid(0, exact + "1"));
        QCOMPARE(strlen(t.direct[0].oid), size_t(127)); // unchanged, nothing overflowed
        QVERIFY(!t.setOid(1, "1.3"));
    }
};

QTEST_GUILESS_MAIN(TestCycle)
#include "tst_cycle.moc"
