// Sessions of the library against talvex-sim and against a scripted agent in this process.
#include "qvsnmp/qvsnmp.h"
#include "tests/common/peers.h"

#include <QEventLoop>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

namespace {

_QvOidTable rec(const char* oid, uint16_t type, uint16_t flags = 0x1,
                const _QvValueText* map = nullptr) {
    _QvOidTable r{};
    r.typeCode = type;
    r.flags = flags;
    std::strncpy(r.oid, oid, sizeof r.oid - 1);
    r.valueText = map;
    return r;
}

// What one callback brought.
struct Delivery {
    unsigned short status = 0;
    quint32 requestId = 0;
    quint32 errorStatus = 0;
    QStringList values;
    QStringList instances;
    bool endOfTable = false;
    bool onOwnerThread = false;
    int bulkRows = 0;
    CSnmpPdu::WalkStop stop = CSnmpPdu::WalkStop::None;
};

// An agent scripted per test: it answers each request datagram with whatever reply() returns,
// sent from the listening socket, or from a second socket for "foreign" datagrams.
class ScriptedAgent {
public:
    using Reply =
        std::function<void(ScriptedAgent&, const ber::Message& req, const sockaddr_in& from)>;
    explicit ScriptedAgent(Reply reply) : m_reply(std::move(reply)) {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        m_other = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        timeval tv{0, 50000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        m_thread = std::thread([this] { loop(); });
    }
    ~ScriptedAgent() {
        m_stop = true;
        m_thread.join();
        close(m_fd);
        close(m_other);
    }
    void send(const ber::Message& m, const sockaddr_in& to, bool foreign = false) {
        auto b = ber::encode(m);
        sendRaw(std::string(b.begin(), b.end()), to, foreign);
    }
    void sendRaw(const std::string& bytes, const sockaddr_in& to, bool foreign = false) {
        sendto(foreign ? m_other : m_fd, bytes.data(), bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    static ber::Message response(const ber::Message& req) {
        ber::Message r = req;
        r.pdu.type = ber::Response;
        for (auto& vb : r.pdu.bindings)
            vb.value = ber::Value::makeOctets("answer");
        return r;
    }
    quint16 port = 0;
    std::atomic<int> requests{0};

private:
    void loop() {
        uint8_t buf[65536];
        while (!m_stop) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n =
                recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0) continue;
            auto req = ber::decode(buf, size_t(n));
            if (!req) continue;
            ++requests;
            m_reply(*this, *req, from);
        }
    }
    Reply m_reply;
    int m_fd, m_other;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// An agent's answer from one column of `rows` rows (1.3.6.1.2.1.2.2.1.2.N, the value N) and the
// next column after it: one row to a get-next, as many as asked to a GETBULK.
ber::Message columnAnswer(const ber::Message& req, uint32_t rows) {
    ber::Message r = req;
    r.pdu.type = ber::Response;
    r.pdu.errorStatus = r.pdu.errorIndex = 0;
    r.pdu.bindings.clear();
    const int repetitions = req.pdu.type == ber::GetBulkRequest ? req.pdu.errorIndex : 1;
    uint32_t last = req.pdu.bindings[0].oid.size() > 10 ? req.pdu.bindings[0].oid.back() : 0;
    for (int i = 0; i < repetitions; ++i) {
        ++last;
        ber::VarBind vb{{1, 3, 6, 1, 2, 1, 2, 2, 1, 2, last},
                        ber::Value::makeInteger(int32_t(last))};
        if (last > rows) vb = {{1, 3, 6, 1, 2, 1, 2, 2, 1, 3, 1}, ber::Value::makeInteger(0)};
        r.pdu.bindings.push_back(vb);
    }
    return r;
}

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT
public:
    // the owner's response handler
    void onResponse(unsigned short status, CSnmpMsg* msg) {
        Delivery d;
        d.status = status;
        d.onOwnerThread = QThread::currentThread() == thread();
        if (msg) {
            CSnmpPdu* pdu = msg->GetPdu();
            d.requestId = pdu->RequestId();
            d.errorStatus = pdu->ErrorStatus();
            d.endOfTable = m_session->IsEndOfTable(pdu);
            d.bulkRows = pdu->BulkRows();
            d.stop = pdu->Stop();
            const QList<CSnmpOid*>& entries = m_session->GetOidList();
            for (qsizetype i = 0; i < pdu->VarBinds().size(); ++i) {
                // a GETBULK answer holds rows of one binding per record
                CSnmpOid* entry =
                    d.bulkRows > 0 ? entries.value(i % entries.size()) : entries.value(i);
                d.values << m_session->FormatValue(pdu->VarBinds()[i], entry);
                d.instances << m_session->m_strInstance;
            }
            msg->Release();
        }
        m_got.append(d);
        if (m_waiting) m_waiting->quit();
        if (m_deleteInCallback) {
            delete m_session;
            m_session = nullptr;
        }
    }

private:
    std::unique_ptr<SimProcess> m_sim;
    CSnmpClass* m_session = nullptr;
    QList<Delivery> m_got;
    QStringList m_rows;
    bool m_deleteInCallback = false;
    QEventLoop* m_waiting = nullptr;

    // Waits until n deliveries have come, without the polling steps of QTRY (a walk of a few
    // hundred requests would spend seconds in them).
    bool waitForDeliveries(qsizetype n, int timeoutMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (m_got.size() < n && clock.elapsed() < timeoutMs) {
            QEventLoop loop;
            QTimer::singleShot(timeoutMs - int(clock.elapsed()), &loop, &QEventLoop::quit);
            m_waiting = &loop;
            loop.exec();
            m_waiting = nullptr;
        }
        return m_got.size() >= n;
    }

    CSnmpClass* open(std::vector<_QvOidTable>& table, quint16 port,
                     const QString& read = "orchid") {
        delete m_session;
        SetSnmpAgentPort(port);
        m_session =
            new CSnmpClass(this, "127.0.0.1", read, "saffron", int(table.size()), table.data(), "");
        m_session->SetSnmpCallback(&TestSession::onResponse);
        return m_session;
    }

    // The values of a walk of the open session, of at most `most` rows; ends with "no answer"
    // where a get-next was not answered.
    QStringList walked(int most = 1000) {
        m_got.clear();
        QStringList values;
        for (int i = 0; i < most; ++i) {
            if (!m_session->SendSnmp(SNMP_PDU_GETNEXT) || !waitForDeliveries(i + 1) ||
                m_got.last().status != SNMP_STATUS_OK)
                return values << QStringLiteral("no answer");
            if (m_got.last().endOfTable) break;
            values << m_got.last().values.join(' ');
        }
        return values;
    }

private slots:
    void initTestCase() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
    }
    void init() {
        m_got.clear();
        m_deleteInCallback = false;
        SetSnmpTimeout(4000);
        QCOMPARE(m_sim->command("faults"), QString("ok"));
    }
    void cleanup() {
        delete m_session;
        m_session = nullptr;
    }

    void getDeliversFormattedValuesOnOwnerThread() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4), rec("1.3.6.1.2.1.1.7.0", 2),
                                   rec("1.3.6.1.2.1.1.2.0", 6)};
        open(t, m_sim->port());
        unsigned long a = m_session->SendSnmp(SNMP_PDU_GET);
        QVERIFY(a != 0);
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].status, SNMP_STATUS_OK);
        QCOMPARE(m_got[0].requestId, quint32(a));
        QVERIFY(m_got[0].onOwnerThread);
        QCOMPARE(m_got[0].values, (QStringList{"talvex-sim", "78", "1.3.6.1.4.1.58213.10.97.1"}));
        unsigned long b = m_session->SendSnmp(SNMP_PDU_GET);
        QVERIFY(b != 0 && b != a);
        QTRY_COMPARE(m_got.size(), 2);
    }

    void setWritesAndUnconvertibleValueIsRefused() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.6.0", 4, 0x2)};
        open(t, m_sim->port());
        m_session->GetOidList()[0]->m_strValue = "Row 7, shelf 2";
        QVERIFY(m_session->SendSnmp(SNMP_PDU_SET));
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].errorStatus, 0u);

        std::vector<_QvOidTable> bad{rec("1.3.6.1.2.1.1.6.0", 4, 0x2),
                                     rec("1.3.6.1.2.1.2.2.1.7.3", 2, 0x2)};
        open(bad, m_sim->port());
        m_session->GetOidList()[0]->m_strValue = "elsewhere";
        m_session->GetOidList()[1]->m_strValue = "up";
        QString before = m_sim->command("served");
        QCOMPARE(m_session->SendSnmp(SNMP_PDU_SET), 0ul);
        QVERIFY2(m_session->LastError().startsWith("record 2"), qPrintable(m_session->LastError()));
        QTest::qWait(200);
        QCOMPARE(m_sim->command("served"), before);
        QVERIFY(m_got.size() == 1);

        std::vector<_QvOidTable> get{rec("1.3.6.1.2.1.1.6.0", 4)};
        open(get, m_sim->port());
        m_session->SendSnmp(SNMP_PDU_GET);
        QTRY_COMPARE(m_got.size(), 2);
        QCOMPARE(m_got[1].values, QStringList{"Row 7, shelf 2"});
    }

    void badOidTextSendsNothing() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.", 4)};
        open(t, m_sim->port());
        QCOMPARE(m_session->SendSnmp(SNMP_PDU_GET), 0ul);
        QVERIFY(m_session->LastError().contains("not an OID"));
        QCOMPARE(m_session->SendSnmp(162), 0ul); // a response is no request
    }

    void timeoutReportsOnceAfterRetries() {
        SetSnmpTimeout(600);
        QCOMPARE(m_sim->command("drop 1"), QString("ok"));
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        int before = m_sim->command("served").toInt();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        QTRY_COMPARE_WITH_TIMEOUT(m_got.size(), 1, 3000);
        qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 590, qPrintable(QString::number(elapsed)));
        QCOMPARE(m_got[0].status, SNMP_STATUS_TIMEOUT);
        QTest::qWait(700);
        QCOMPARE(m_got.size(), 1);
        // The agent answered earlier tests within a few milliseconds: copies go out after the
        // least wait, a quarter of this short time-out, then twice that: at 0, 150 and 450 ms.
        QCOMPARE(m_sim->command("served").toInt() - before, 3);
    }

    void lateResponseWithinTimeoutIsDeliveredOnce() {
        SetSnmpTimeout(1000);
        QCOMPARE(m_sim->command("delay 400"), QString("ok"));
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        QTRY_COMPARE_WITH_TIMEOUT(m_got.size(), 1, 2000);
        QCOMPARE(m_got[0].status, SNMP_STATUS_OK);
        QTest::qWait(1200); // the retransmissions' answers arrive too, and are dropped
        QCOMPARE(m_got.size(), 1);
    }

    void wrongRequestIdIsDropped() {
        SetSnmpTimeout(400);
        QCOMPARE(m_sim->command("wrongid 1"), QString("ok"));
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        QTRY_COMPARE_WITH_TIMEOUT(m_got.size(), 1, 2000);
        QCOMPARE(m_got[0].status, SNMP_STATUS_TIMEOUT);
    }

    void errorStatusArrivesAsResponse() {
        QCOMPARE(m_sim->command("error 5"), QString("ok"));
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].status, SNMP_STATUS_OK);
        QCOMPARE(m_got[0].errorStatus, 5u);
    }

    void wrongCommunityGetsNothing() {
        SetSnmpTimeout(300);
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port(), "wrong");
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        QTRY_COMPARE_WITH_TIMEOUT(m_got.size(), 1, 2000);
        QCOMPARE(m_got[0].status, SNMP_STATUS_TIMEOUT);
    }

    void deletedSessionDeliversNothing() {
        SetSnmpTimeout(300);
        QCOMPARE(m_sim->command("delay 100"), QString("ok"));
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GET));
        delete m_session;
        m_session = nullptr;
        QTest::qWait(600);
        QCOMPARE(m_got.size(), 0);

        // Deleting the session inside its own callback is safe as well.
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        open(t, m_sim->port());
        m_deleteInCallback = true;
        m_session->SendSnmp(SNMP_PDU_GET);
        m_session->SendSnmp(SNMP_PDU_GET);
        QTRY_COMPARE(m_got.size(), 1);
        QTest::qWait(300);
        QCOMPARE(m_got.size(), 1);
    }

    void sendFromSecondThread() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, m_sim->port());
        std::atomic<unsigned long> ids[8];
        std::thread worker([&] {
            for (auto& id : ids)
                id = m_session->SendSnmp(SNMP_PDU_GET);
        });
        worker.join();
        QTRY_COMPARE(m_got.size(), 8);
        QSet<quint32> seen;
        for (const Delivery& d : m_got) {
            QVERIFY(d.onOwnerThread);
            QCOMPARE(d.status, SNMP_STATUS_OK);
            seen.insert(d.requestId);
        }
        for (auto& id : ids)
            QVERIFY(seen.contains(quint32(id.load())));
    }

    void strayForeignDuplicateAndMalformedDatagramsAreDropped() {
        ScriptedAgent agent([](ScriptedAgent& a, const ber::Message& req, const sockaddr_in& from) {
            a.sendRaw(std::string("\x30\x03\x02\x01", 4), from); // malformed
            a.sendRaw(std::string(1000, '\xff'), from);          // garbage
            ber::Message r = ScriptedAgent::response(req);
            a.send(r, from, true); // right id, wrong port
            ber::Message other = r;
            other.community = "someone-else";
            a.send(other, from); // wrong community
            other = r;
            other.pdu.requestId ^= 0x40;
            a.send(other, from); // stray id
            other = r;
            other.pdu.type = ber::GetRequest;
            a.send(other, from); // not a response
            other = r;
            other.version = ber::V1;
            a.send(other, from); // other version
            a.send(r, from);     // the answer
            a.send(r, from);     // and its duplicate
        });
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, agent.port);
        unsigned long id = m_session->SendSnmp(SNMP_PDU_GET);
        QTRY_COMPARE(m_got.size(), 1);
        QTest::qWait(200);
        QCOMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].requestId, quint32(id));
        QCOMPARE(m_got[0].values, QStringList{"answer"});
    }

    // Bindings a real agent may send that the codec once refused: the answer reaches the
    // owner with every binding, instead of ending as a time-out.
    void oddBindingsDoNotLoseTheAnswer() {
        ScriptedAgent agent([](ScriptedAgent& a, const ber::Message& req, const sockaddr_in& from) {
            ber::Message r = ScriptedAgent::response(req);
            r.pdu.bindings[0].value = ber::Value::makeOctets(std::string("\x0a\x0b", 2), 0x47);
            a.send(r, from);
        });
        std::vector<_QvOidTable> t{rec("1.3.6.1.4.1.1.1.0", 4), rec("1.3.6.1.2.1.1.5.0", 4)};
        open(t, agent.port);
        m_session->SendSnmp(SNMP_PDU_GET);
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].status, SNMP_STATUS_OK);
        QCOMPARE(m_got[0].values, (QStringList{"<type 0x47> 0A 0B", "answer"}));
    }

    void walkInstancesEndAndRestart() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 4, 0x11),
                                   rec("1.3.6.1.2.1.2.2.1.5", 66, 0x11)};
        open(t, m_sim->port());
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GETNEXT));
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].values, (QStringList{"Management port A", "1000000000"}));
        QCOMPARE(m_got[0].instances, (QStringList{".1", ".1"}));
        QVERIFY(!m_got[0].endOfTable);
        int rows = 1;
        while (!m_got.last().endOfTable && rows < 1000) {
            m_session->SendSnmp(SNMP_PDU_GETNEXT);
            QTRY_COMPARE(m_got.size(), rows + 1);
            ++rows;
        }
        QVERIFY(m_got.last().endOfTable);
        QCOMPARE(m_got[m_got.size() - 2].values.value(0), QString("Vlan1"));
        // After the end, the next get-next starts from the records again.
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QTRY_COMPARE(m_got.size(), rows + 1);
        QCOMPARE(m_got.last().instances.value(0), QString(".1"));
    }

    void endOfMibViewAndV1NoSuchName() {
        const char* last = "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.9.1";
        std::vector<_QvOidTable> t{rec(last, 4, 0x11)};
        open(t, m_sim->port());
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].values, QStringList{"<endOfMibView>"});
        QVERIFY(m_got[0].endOfTable);

        open(t, m_sim->port());
        m_session->SetVersion(ber::V1);
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QTRY_COMPARE(m_got.size(), 2);
        QCOMPARE(m_got[1].errorStatus, quint32(ber::NoSuchName));
    }

    // A GETBULK walk brings the rows a get-next walk brings, whatever the rows per request, and
    // ends at the same place; the next GETBULK after the end starts from the records again.
    void bulkWalkMatchesGetNextWalk_data() {
        QTest::addColumn<int>("repetitions");
        QTest::newRow("1 row") << 1;
        QTest::newRow("7 rows") << 7;
        QTest::newRow("exactly the table") << 130;
        QTest::newRow("more than a datagram holds") << 100000;
    }
    void bulkWalkMatchesGetNextWalk() {
        QFETCH(int, repetitions);
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 4, 0x11),
                                   rec("1.3.6.1.2.1.2.2.1.5", 66, 0x11)};
        auto walk = [&](unsigned short kind) {
            m_got.clear();
            QStringList rows;
            for (int requests = 0; requests < 1000; ++requests) {
                QVERIFY(m_session->SendSnmp(kind));
                QVERIFY(waitForDeliveries(requests + 1));
                const Delivery& d = m_got.last();
                const int n = kind == SNMP_PDU_GETBULK ? d.bulkRows * 2 : (d.endOfTable ? 0 : 2);
                for (int i = 0; i < n; ++i)
                    rows << d.instances[i] + " " + d.values[i];
                if (d.endOfTable) break;
            }
            QVERIFY(m_got.last().endOfTable);
            QCOMPARE(m_got.last().stop, CSnmpPdu::WalkStop::None);
            m_rows = rows;
        };
        static QStringList byGetNext;
        if (byGetNext.isEmpty()) {
            open(t, m_sim->port());
            walk(SNMP_PDU_GETNEXT);
            byGetNext = m_rows;
        }
        QCOMPARE(byGetNext.size(), 260);
        open(t, m_sim->port());
        m_session->SetBulk(repetitions);
        walk(SNMP_PDU_GETBULK);
        QCOMPARE(m_rows, byGetNext);
        QVERIFY(m_got.size() <= 130 / repetitions + 2);

        m_got.clear();
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GETBULK));
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].instances.value(0), QString(".1"));
    }

    // Answers from an agent that cuts, repeats or ends a GETBULK answer: the rows before the
    // fault count, nothing after it, and the walk goes on only where it can make progress.
    void bulkAnswersThatStopTheWalk_data() {
        QTest::addColumn<QString>("answer"); // per row: "+" next instance, "=" same, "x" past the
                                             // column, "!" endOfMibView
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<int>("stop");
        QTest::addColumn<QString>("next"); // what the next GETBULK asks, after 1.3.6.1.2.1.2.2.1
        const QString start = "2 5";
        QTest::newRow("three whole rows") << "++ ++ ++" << 3 << false << 0 << "2.3 5.3";
        QTest::newRow("last row cut short") << "++ ++ +" << 2 << false << 0 << "2.2 5.2";
        QTest::newRow("less than a row")
            << "+" << 0 << true << int(CSnmpPdu::WalkStop::Short) << start;
        // a column that ends gives holes and is no longer asked; the walk ends with the last
        QTest::newRow("past a column") << "++ +x ++" << 3 << false << 0 << "2.3";
        QTest::newRow("end of the tree") << "++ !+" << 2 << false << 0 << "5.2";
        QTest::newRow("both columns end") << "++ xx" << 1 << true << 0 << start;
        QTest::newRow("not increasing")
            << "++ +=" << 1 << true << int(CSnmpPdu::WalkStop::NotIncreasing) << start;
        QTest::newRow("error status") << "E" << 0 << true << 0 << start;
    }
    void bulkAnswersThatStopTheWalk() {
        QFETCH(QString, answer);
        QFETCH(int, rows);
        QFETCH(bool, ends);
        QFETCH(int, stop);
        QFETCH(QString, next);
        QList<ber::Message> asked;
        QMutex lock;
        ScriptedAgent agent(
            [&](ScriptedAgent& a, const ber::Message& req, const sockaddr_in& from) {
                {
                    QMutexLocker l(&lock);
                    asked.append(req);
                    if (asked.size() > 1) return; // only the first answer is scripted
                }
                ber::Message r = req;
                r.pdu.type = ber::Response;
                r.pdu.errorStatus = r.pdu.errorIndex = 0;
                r.pdu.bindings.clear();
                if (answer == "E") {
                    r.pdu.errorStatus = ber::GenErr;
                    r.pdu.errorIndex = 1;
                    r.pdu.bindings = req.pdu.bindings;
                }
                std::vector<ber::Oid> last{req.pdu.bindings[0].oid, req.pdu.bindings[1].oid};
                for (const QString& row : answer.split(' ')) {
                    for (qsizetype c = 0; c < row.size() && answer != "E"; ++c) {
                        ber::Oid oid = last[size_t(c)];
                        ber::Value v = ber::Value::makeInteger(7);
                        if (row[c] == '+' && oid.size() == 10)
                            oid.push_back(1);
                        else if (row[c] == '+')
                            ++oid.back();
                        else if (row[c] == 'x')
                            oid = {1, 3, 6, 1, 2, 1, 2, 2, 1, 9, 1};
                        else if (row[c] == '!')
                            v = ber::Value::exception(ber::EndOfMibView);
                        last[size_t(c)] = oid;
                        r.pdu.bindings.push_back({oid, v});
                    }
                }
                a.send(r, from);
            });
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 2, 0x11),
                                   rec("1.3.6.1.2.1.2.2.1.5", 2, 0x11)};
        open(t, agent.port);
        m_session->SetBulk(3);
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GETBULK));
        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].bulkRows, rows);
        QCOMPARE(m_got[0].endOfTable, ends);
        QCOMPARE(int(m_got[0].stop), stop);
        QCOMPARE(asked[0].pdu.errorStatus, 0); // no non-repeaters
        QCOMPARE(asked[0].pdu.errorIndex, 3);  // max-repetitions

        // The next GETBULK continues from the last whole row, or starts again after the end.
        QVERIFY(m_session->SendSnmp(SNMP_PDU_GETBULK));
        QTRY_COMPARE(asked.size(), 2);
        QMutexLocker l(&lock);
        QStringList nextAsked;
        for (const ber::VarBind& vb : asked[1].pdu.bindings)
            nextAsked << QString::fromStdString(ber::oidToString(vb.oid))
                             .mid(QString("1.3.6.1.2.1.2.2.1.").size());
        QCOMPARE(nextAsked.join(' '), next);
    }

    // Sparse tables as real agents have them: every walk, get-next or GETBULK of any size,
    // lists every row once with each cell under its own row and a hole where the agent has no
    // cell, and a get-next walk costs one request a row and one for the end.
    void sparseTableRows_data() {
        QTest::addColumn<QStringList>("columns"); // per column, per row index: x a cell, . none
        QTest::newRow("whole") << QStringList{"xxxxx", "xxxxx", "xxxxx"};
        QTest::newRow("a missing column") << QStringList{"xxxxx", ".....", "xxxxx"};
        QTest::newRow("a hole in the middle") << QStringList{"xxxxx", "xx.xx", "xxxxx"};
        QTest::newRow("first and last cell missing") << QStringList{".xxx.", "xxxxx", "xxxxx"};
        QTest::newRow("a column that ends early") << QStringList{"xxxxx", "xx...", "xxxxx"};
        QTest::newRow("a column that starts late") << QStringList{"xxxxx", "...xx", "xxxxx"};
        QTest::newRow("rows only one column has") << QStringList{"x...x", ".x.x.", "..x.."};
        QTest::newRow("only the last column") << QStringList{".....", ".....", "x.x.x"};
        QTest::newRow("no rows") << QStringList{".....", ".....", "....."};
    }
    void sparseTableRows() {
        QFETCH(QStringList, columns);
        const std::vector<ber::Oid> indexes{{1}, {2}, {3, 4}, {10}, {10, 1, 7}};
        std::map<ber::Oid, ber::Value> objects;
        QStringList expected;
        for (size_t r = 0; r < indexes.size(); ++r) {
            QStringList cells;
            for (qsizetype c = 0; c < columns.size(); ++c) {
                const bool present = columns[c][qsizetype(r)] == 'x';
                const QString text = QString("c%1r%2").arg(c + 1).arg(r);
                if (present) {
                    ber::Oid oid{1, 3, 6, 1, 4, 1, 99, 1, 1, uint32_t(c + 1)};
                    oid.insert(oid.end(), indexes[r].begin(), indexes[r].end());
                    objects[oid] = ber::Value::makeOctets(text.toStdString());
                }
                cells << (present ? text : QString());
            }
            if (std::any_of(columns.begin(), columns.end(),
                            [&](const QString& col) { return col[qsizetype(r)] == 'x'; }))
                expected << cells.join('|');
        }
        objects[{1, 3, 6, 1, 4, 1, 99, 1, 1, 4, 1}] =
            ber::Value::makeInteger(4); // a column not walked
        objects[{1, 3, 6, 1, 4, 1, 99, 2, 0}] =
            ber::Value::makeInteger(5); // what follows the table
        auto next = [&](const ber::Oid& oid) -> ber::VarBind {
            auto it = objects.upper_bound(oid);
            if (it == objects.end()) return {oid, ber::Value::exception(ber::EndOfMibView)};
            return {it->first, it->second};
        };
        std::atomic<int> most{
            1000}; // repetitions an answer holds at most, as a message size would cut
        ScriptedAgent agent([&](ScriptedAgent& a, const ber::Message& req,
                                const sockaddr_in& from) {
            ber::Message r = req;
            r.pdu.type = ber::Response;
            r.pdu.errorStatus = r.pdu.errorIndex = 0;
            r.pdu.bindings.clear();
            const int repetitions =
                req.pdu.type == ber::GetBulkRequest ? std::min(req.pdu.errorIndex, most.load()) : 1;
            std::vector<ber::Oid> last;
            for (const ber::VarBind& vb : req.pdu.bindings)
                last.push_back(vb.oid);
            for (int rep = 0; rep < repetitions; ++rep)
                for (ber::Oid& oid : last) {
                    r.pdu.bindings.push_back(next(oid));
                    oid = r.pdu.bindings.back().oid;
                }
            a.send(r, from);
        });
        std::vector<_QvOidTable> t{rec("1.3.6.1.4.1.99.1.1.1", 4, 0x11),
                                   rec("1.3.6.1.4.1.99.1.1.2", 4, 0x11),
                                   rec("1.3.6.1.4.1.99.1.1.3", 4, 0x11)};
        // get-next; GETBULK of 1, 2, 3 and 50 rows; get-next read ahead, whole and cut to 2 rows
        for (int repetitions : {0, 1, 2, 3, 50, -1000, -2}) {
            const unsigned short kind = repetitions > 0 ? SNMP_PDU_GETBULK : SNMP_PDU_GETNEXT;
            open(t, agent.port);
            m_session->SetBulk(std::max(repetitions, 1));
            m_session->SetReadAhead(repetitions < 0);
            most = repetitions < 0 ? -repetitions : 1000;
            m_got.clear();
            QStringList rows;
            const int before = agent.requests;
            for (int requests = 0; requests < 20; ++requests) {
                QVERIFY(m_session->SendSnmp(kind));
                QVERIFY(waitForDeliveries(requests + 1));
                const Delivery& d = m_got.last();
                const qsizetype n = kind == SNMP_PDU_GETBULK ? d.bulkRows : (d.endOfTable ? 0 : 1);
                for (qsizetype k = 0; k < n; ++k)
                    rows << d.values.mid(k * 3, 3).join('|');
                if (d.endOfTable) break;
            }
            QVERIFY2(m_got.last().endOfTable, "the walk ended");
            QCOMPARE(m_got.last().stop, CSnmpPdu::WalkStop::None);
            QCOMPARE(rows, expected);
            if (repetitions == 0) QCOMPARE(agent.requests - before, int(expected.size()) + 1);
            if (repetitions == -1000) QCOMPARE(agent.requests - before, 1);
        }
    }

    // Reading ahead keeps the get-next contract: one row per get-next, under the id SendSnmp
    // returned, never delivered inside SendSnmp; the rows are those of a plain walk, with far
    // fewer requests; a restarted or new walk starts from the first row.
    void readAheadKeepsTheWalk() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 4, 0x11),
                                   rec("1.3.6.1.2.1.2.2.1.5", 66, 0x11)};
        auto walk = [&](bool ahead) {
            open(t, m_sim->port());
            m_session->SetReadAhead(ahead);
            m_got.clear();
            QStringList rows;
            for (int i = 0; i < 1000; ++i) {
                const unsigned long id = m_session->SendSnmp(SNMP_PDU_GETNEXT);
                if (!id || m_got.size() != i) return QStringList{"delivered inside SendSnmp"};
                if (!waitForDeliveries(i + 1) || m_got.last().requestId != id)
                    return QStringList{"wrong or no answer"};
                if (m_got.last().endOfTable) break;
                rows << m_got.last().instances.join(' ') + " " + m_got.last().values.join(' ');
            }
            return rows;
        };
        const QStringList plain = walk(false);
        QCOMPARE(plain.size(), 130);
        const int before = m_sim->command("served").toInt();
        QCOMPARE(walk(true), plain);
        const int requests = m_sim->command("served").toInt() - before;
        QVERIFY2(requests <= 8, qPrintable(QString::number(requests))); // 10, 20, 40, 50, 50 rows

        // Two rows in, a restart: the walk starts again from the first row.
        m_got.clear();
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QVERIFY(waitForDeliveries(1));
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QVERIFY(waitForDeliveries(2));
        QCOMPARE(m_got[1].instances.value(0), QString(".2"));
        m_session->RestartWalk();
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        QVERIFY(waitForDeliveries(3));
        QCOMPARE(m_got[2].instances.value(0), QString(".1"));

        // A row already read and on its way when the session is deleted is never delivered.
        m_session->SendSnmp(SNMP_PDU_GETNEXT);
        delete m_session;
        m_session = nullptr;
        QTest::qWait(100);
        QCOMPARE(m_got.size(), 3);
    }

    // An agent that drops GETBULK costs one time-out: that walk goes on with get-next, and so
    // does every later walk toward it. One that answers tooBig gets fewer rows a request.
    void readAheadFromAgentsWithoutBulk_data() {
        QTest::addColumn<QString>("bulk"); // what the agent does with a GETBULK
        QTest::newRow("drops it") << "drop";
        QTest::newRow("answers an error") << "genErr";
        QTest::newRow("too big past 3 rows") << "tooBig";
    }
    void readAheadFromAgentsWithoutBulk() {
        QFETCH(QString, bulk);
        std::atomic<int> bulks{0}, getNexts{0};
        ScriptedAgent agent([&](ScriptedAgent& a, const ber::Message& req,
                                const sockaddr_in& from) {
            const int repetitions = req.pdu.type == ber::GetBulkRequest ? req.pdu.errorIndex : 1;
            (req.pdu.type == ber::GetBulkRequest ? bulks : getNexts)++;
            if (req.pdu.type == ber::GetBulkRequest &&
                (bulk == "drop" || bulk == "genErr" || repetitions > 3)) {
                if (bulk == "drop") return;
                ber::Message r = req;
                r.pdu.type = ber::Response;
                r.pdu.errorStatus = bulk == "genErr" ? ber::GenErr : ber::TooBig;
                r.pdu.errorIndex = bulk == "genErr" ? 1 : 0;
                return a.send(r, from);
            }
            a.send(columnAnswer(req, 12), from);
        });
        SetSnmpTimeout(400);
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 2, 0x11)};
        int bulksOfFirstWalk = 0;
        for (int walkNo = 0; walkNo < 2; ++walkNo) {
            bulksOfFirstWalk = bulks;
            open(t, agent.port);
            m_session->SetReadAhead(true);
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(walked(20), numbers(1, 12));
            if (walkNo == 1 && bulk != "tooBig")
                QVERIFY2(clock.elapsed() < 350, "no second time-out");
        }
        if (bulk == "tooBig")
            QCOMPARE(getNexts.load(), 0);
        else
            QCOMPARE(bulks.load(), bulksOfFirstWalk); // the second walk sent none
    }

    // One error answered to a GETBULK by an agent that answers GETBULK: that walk goes on with
    // get-next, and the next reads ahead by GETBULK again.
    void oneBulkErrorKeepsBulk() {
        std::atomic<int> bulks{0};
        ScriptedAgent agent(
            [&](ScriptedAgent& a, const ber::Message& req, const sockaddr_in& from) {
                if (req.pdu.type == ber::GetBulkRequest && ++bulks == 2) {
                    ber::Message r = req;
                    r.pdu.type = ber::Response;
                    r.pdu.errorStatus = ber::GenErr;
                    r.pdu.errorIndex = 1;
                    return a.send(r, from);
                }
                a.send(columnAnswer(req, 30), from);
            });
        SetSnmpTimeout(400);
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 2, 0x11)};
        open(t, agent.port);
        m_session->SetReadAhead(true);
        QCOMPARE(walked(), numbers(1, 30));
        QCOMPARE(bulks.load(), 2);
        QCOMPARE(walked(), numbers(1, 30));
        QVERIFY2(bulks > 2, "the second walk sent no GETBULK");
    }

    // A busy agent that spends 320 ms on any request and 4 ms on each binding. With the
    // time-out at 4 s it answers blocks of 50 rows within half of it; with the time-out at
    // 800 ms, a block asks no more rows than it answers within 400 ms, its fixed cost counted:
    // 20, not the 38 that its cost per binding in the large blocks would allow.
    void blocksFitHalfTheTimeoutWithTheFixedCost() {
        std::atomic<int> mostRows{0};
        ScriptedAgent agent([&](ScriptedAgent& a, const ber::Message& req,
                                const sockaddr_in& from) {
            if (req.pdu.type == ber::GetBulkRequest)
                mostRows = std::max(mostRows.load(), int(req.pdu.errorIndex));
            const ber::Message r = columnAnswer(req, 120);
            std::this_thread::sleep_for(std::chrono::milliseconds(320 + 4 * r.pdu.bindings.size()));
            a.send(r, from);
        });
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 2, 0x11)};
        open(t, agent.port);
        m_session->SetReadAhead(true);
        QCOMPARE(walked().size(), 120);
        QVERIFY2(mostRows > 40, qPrintable(QString::number(mostRows)));
        SetSnmpTimeout(800);
        mostRows = 0;
        open(t, agent.port);
        m_session->SetReadAhead(true);
        QCOMPARE(walked(60), numbers(1, 60));
        QVERIFY2(mostRows >= 10 && mostRows <= 24, qPrintable(QString::number(mostRows)));
    }

    // An agent that works one request at a time, slowly: a request is sent again only when
    // overdue by the round trips measured, so every row arrives and few copies go out.
    void slowSerialAgentGetsFewCopies() {
        SimProcess slow({"--static", "--serial", "--delay", "1000"});
        QVERIFY(slow.started());
        std::vector<_QvOidTable> t{rec("1.3.6.1.4.1.58213.10.97.2.21.1.5.1.3", 2, 0x11)};
        open(t, slow.port());
        int rows = 0;
        for (int i = 0; i < 20; ++i) {
            QVERIFY(m_session->SendSnmp(SNMP_PDU_GETNEXT));
            QVERIFY(waitForDeliveries(i + 1, 9000));
            QCOMPARE(m_got.last().status, SNMP_STATUS_OK);
            if (m_got.last().endOfTable) break;
            ++rows;
        }
        QVERIFY(rows >= 2);
        // one request a row and one for the end, and no copy at all
        QCOMPARE(slow.command("served").toInt(), rows + 1);
    }

    void bulkNeedsV2c() {
        std::vector<_QvOidTable> t{rec("1.3.6.1.2.1.2.2.1.2", 4, 0x11)};
        open(t, m_sim->port());
        m_session->SetVersion(ber::V1);
        QCOMPARE(m_session->SendSnmp(SNMP_PDU_GETBULK), 0ul);
        QCOMPARE(m_session->LastError(), QString("GETBULK needs SNMPv2c"));
    }

    void formatValue_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<qlonglong>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("mapped integer") << 2 << 2 << QByteArray() << 2ll << "Disconnect";
        QTest::newRow("unmapped integer") << 2 << 2 << QByteArray() << -7ll << "-7";
        QTest::newRow("printable") << 4 << 4 << QByteArray("Lab rack 4") << 0ll << "Lab rack 4";
        QTest::newRow("utf-8") << 4 << 4 << QByteArray("机房 4") << 0ll << "机房 4";
        QTest::newRow("trailing nul") << 4 << 4 << QByteArray("ab\0\0", 4) << 0ll << "ab";
        QTest::newRow("binary") << 4 << 4 << QByteArray("\x00\x1a\xff", 3) << 0ll << "00 1A FF";
        QTest::newRow("bad utf-8") << 4 << 4 << QByteArray("\xc3\x28") << 0ll << "C3 28";
        QTest::newRow("empty") << 4 << 4 << QByteArray() << 0ll << "";
        QTest::newRow("mac") << 4 << 79 << QByteArray("\x00\x1a\x2b\x3c\x4d\x5e", 6) << 0ll
                             << "00:1A:2B:3C:4D:5E";
        QTest::newRow("bridge id") << 4 << 79 << QByteArray("\x80\x00\x00\x1a\x2b\x3c\x4d\x5e", 8)
                                   << 0ll << "32768/00:1A:2B:3C:4D:5E";
        QTest::newRow("empty mac") << 4 << 79 << QByteArray() << 0ll << "";
        QTest::newRow("ip") << 0x40 << 64 << QByteArray("\x0a\x00\x00\xfe", 4) << 0ll
                            << "10.0.0.254";
        QTest::newRow("counter") << 0x41 << 65 << QByteArray() << 4294967295ll << "4294967295";
        QTest::newRow("timeticks") << 0x43 << 67 << QByteArray() << 12345678ll << "12345678";
        QTest::newRow("counter64") << 0x46 << 70 << QByteArray() << -1ll << "18446744073709551615";
        QTest::newRow("opaque") << 0x44 << 68 << QByteArray("\x9f\x78", 2) << 0ll << "9F 78";
        QTest::newRow("ip of 3 octets")
            << 0x40 << 64 << QByteArray("\x0a\x00\x01", 3) << 0ll << "0A 00 01";
        QTest::newRow("unknown type")
            << 0x47 << 4 << QByteArray("\x0a\x0b", 2) << 0ll << "<type 0x47> 0A 0B";
        QTest::newRow("integer over 64 bits")
            << 2 << 2 << QByteArray("\x01\x00\x00\x00\x00\x00\x00\x00\x00", 9) << 0ll
            << "01 00 00 00 00 00 00 00 00";
        QTest::newRow("integer of 5 octets")
            << 2 << 2 << QByteArray() << 4294967295ll << "4294967295";
        QTest::newRow("C1 control") << 4 << 4
                                    << QByteArray("a\xc2\x9b"
                                                  "31mb")
                                    << 0ll << "61 C2 9B 33 31 6D 62";
        QTest::newRow("right-to-left override") << 4 << 4 << QByteArray("txt\xe2\x80\xaegpj.exe")
                                                << 0ll << "74 78 74 E2 80 AE 67 70 6A 2E 65 78 65";
        QTest::newRow("escape") << 4 << 4 << QByteArray("\x1b[31mred") << 0ll
                                << "1B 5B 33 31 6D 72 65 64";
        QTest::newRow("noSuchObject") << 0x80 << 4 << QByteArray() << 0ll << "<noSuchObject>";
        QTest::newRow("noSuchInstance") << 0x81 << 2 << QByteArray() << 0ll << "<noSuchInstance>";
        QTest::newRow("endOfMibView") << 0x82 << 2 << QByteArray() << 0ll << "<endOfMibView>";
        QTest::newRow("byte-order mark") << 4 << 4
                                         << QByteArray("\xef\xbb\xbf"
                                                       "caf\xc3\xa9")
                                         << 0ll << "café";
        QTest::newRow("two byte-order marks") << 4 << 4
                                              << QByteArray("\xef\xbb\xbf\xef\xbb\xbf"
                                                            "caf\xc3\xa9")
                                              << 0ll << QChar(0xFEFF) + QString("café");
    }
    void formatValue() {
        QFETCH(int, type);
        QFETCH(int, typeCode);
        QFETCH(QByteArray, raw);
        QFETCH(qlonglong, number);
        QFETCH(QString, text);
        static const _QvValueText map[] = {
            {1, "Connect"}, {2, "Disconnect"}, {3, "Testing"}, {0, nullptr}};
        ber::Value v{uint8_t(type), number, raw.toStdString(), {}};
        QCOMPARE(FormatSnmpValue(v, uint16_t(typeCode), map), text);
        // talvex-walk's output: the same text in UTF-8
        std::string utf8 = "x";
        AppendSnmpValue(utf8, v, uint16_t(typeCode), map);
        QCOMPARE(QByteArray::fromStdString(utf8), "x" + text.toUtf8());
    }

    void convertValue_data() {
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("formatted"); // what FormatValue makes of the converted value
        QTest::newRow("integer") << 2 << "4" << true << "4";
        QTest::newRow("integer from map") << 2 << "Testing" << true << "Testing";
        QTest::newRow("integer junk") << 2 << "4x" << false << "";
        QTest::newRow("integer empty") << 2 << "" << false << "";
        QTest::newRow("string") << 4 << "a b" << true << "a b";
        QTest::newRow("empty string") << 4 << "" << true << "";
        QTest::newRow("oid") << 6 << "1.3.6.1.4" << true << "1.3.6.1.4";
        QTest::newRow("bad oid") << 6 << "1..3" << false << "";
        QTest::newRow("ip") << 64 << "192.168.1.20" << true << "192.168.1.20";
        QTest::newRow("ip range") << 64 << "192.168.1.256" << false << "";
        QTest::newRow("ip short") << 64 << "192.168.1" << false << "";
        QTest::newRow("gauge") << 66 << "4294967295" << true << "4294967295";
        QTest::newRow("gauge overflow") << 66 << "4294967296" << false << "";
        QTest::newRow("gauge negative") << 66 << "-1" << false << "";
        QTest::newRow("mac colons") << 79 << "00:1a:2b:3c:4d:5e" << true << "00:1A:2B:3C:4D:5E";
        QTest::newRow("mac bare") << 79 << "001A2B3C4D5E" << true << "00:1A:2B:3C:4D:5E";
        QTest::newRow("mac bad digit") << 79 << "00:1g:2b:3c:4d:5e" << false << "";
        QTest::newRow("bridge id")
            << 79 << "4096/00:1A:2B:3C:4D:5E" << true << "4096/00:1A:2B:3C:4D:5E";
        QTest::newRow("bridge id bad priority") << 79 << "70000/00:1A:2B:3C:4D:5E" << false << "";
        QTest::newRow("unsupported type") << 99 << "1" << false << "";
    }
    void convertValue() {
        QFETCH(int, typeCode);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, formatted);
        static const _QvValueText map[] = {{3, "Testing"}, {0, nullptr}};
        ber::Value v;
        QString why;
        QCOMPARE(ConvertSnmpValue(text, uint16_t(typeCode), map, v, &why), ok);
        if (ok)
            QCOMPARE(FormatSnmpValue(v, uint16_t(typeCode), map), formatted);
        else
            QVERIFY(why.contains(text) || why.contains("cannot be set"));
    }

    void recordLayout() {
        QCOMPARE(offsetof(_QvOidTable, typeCode), size_t(0));
        QCOMPARE(offsetof(_QvOidTable, flags), size_t(2));
        QCOMPARE(offsetof(_QvOidTable, oid), size_t(4));
        QCOMPARE(offsetof(_QvOidTable, name), size_t(132));
        QCOMPARE(sizeof(((_QvOidTable*)nullptr)->oid), size_t(128));
        if (sizeof(void*) == 8) {
            QCOMPARE(offsetof(_QvOidTable, valueText), size_t(264));
            QCOMPARE(sizeof(_QvOidTable), size_t(280));
        }
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
