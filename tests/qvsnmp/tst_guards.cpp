// Checks of the library that hold quietly: answers that must not count (below the security
// level asked, under another community, an unauthenticated report that would move the engine's
// clock), keys and the time window of SNMPv3, the credentials file's owner, the round trip it
// learns, and walks that read ahead or run into the end of the agent's tree. Each case is one
// an agent, an attacker or a slip in the code could bring about.
#include "fuzz/fuzzpeers.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/snmpconf.h"
#include "qvsnmp/v3msg.h"
#include "qvsnmp/v3session.h"
#include "tests/common/loopbacksession.h"
#include "tests/common/peers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cstring>

namespace {

_QvOidTable record(const char* oid, uint16_t type = ber::OctetString, uint16_t flags = 0x1) {
    _QvOidTable r{};
    r.typeCode = type;
    r.flags = flags;
    std::strncpy(r.oid, oid, sizeof r.oid - 1);
    return r;
}

const char* const kSysName = "1.3.6.1.2.1.1.5.0";

struct Delivery {
    unsigned short status = 0;
    QStringList values;
    QStringList instances;
    bool ends = false;
    int bulkRows = 0;
    CSnmpPdu::WalkStop stop = CSnmpPdu::WalkStop::None;
};

// One session toward a loopback agent, with what its callbacks brought.
class Client : public QObject {
public:
    Client(quint16 port, std::vector<_QvOidTable> table, const usm::User* user = nullptr)
        : m_table(std::move(table)) {
        session = LoopbackSession(this, port, m_table, user);
        session->SetSnmpCallback([this](unsigned short status, CSnmpMsg* msg) {
            Delivery d;
            d.status = status;
            if (msg) {
                CSnmpPdu* pdu = msg->GetPdu();
                d.ends = session->IsEndOfTable(pdu);
                d.stop = pdu->Stop();
                d.bulkRows = pdu->BulkRows();
                const QList<CSnmpOid*>& entries = session->GetOidList();
                const int n = pdu->BulkRows() ? pdu->BulkRows() * int(entries.size())
                                              : int(pdu->VarBinds().size());
                for (int i = 0; i < n; ++i) {
                    d.values << session->FormatValue(pdu->VarBinds()[i],
                                                     entries[i % entries.size()]);
                    d.instances << session->m_strInstance;
                }
                msg->Release();
            }
            got << d;
        });
    }
    bool waitFor(qsizetype n, int timeoutMs = 5000) {
        QElapsedTimer t;
        t.start();
        while (got.size() < n && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return got.size() >= n;
    }
    // One request and its callback; the delivery, or one with status kNone when none came.
    static constexpr unsigned short kNone = 0xFFFF;
    Delivery request(unsigned short kind, int timeoutMs = 5000) {
        const qsizetype before = got.size();
        if (!session->SendSnmp(kind) || !waitFor(before + 1, timeoutMs)) {
            Delivery none;
            none.status = kNone;
            return none;
        }
        return got.last();
    }

    std::unique_ptr<CSnmpClass> session;
    QList<Delivery> got;

private:
    std::vector<_QvOidTable> m_table;
};

usm::User v3User(const char* name, usm::Level level, const char* privPass = "pancakemix") {
    usm::User u;
    u.name = name;
    u.level = level;
    u.auth = crypto::Auth::SHA1;
    u.priv = crypto::Priv::AES128;
    u.authPassphrase = crypto::Secret("maplesyrup");
    u.privPassphrase = crypto::Secret(privPass);
    return u;
}

uint8_t levelFlags(usm::Level level) {
    return level == usm::Level::AuthPriv     ? v3::FlagAuth | v3::FlagPriv
           : level == usm::Level::AuthNoPriv ? v3::FlagAuth
                                             : 0;
}

// The SNMPv3 agent a test plays: the discovery probe gets this engine, boots 5 and time 1000;
// every other request, checked and opened with the user's keys, goes to answer, which returns
// what to send (nothing when empty).
class ScriptedEngine {
public:
    static inline const std::string kEngine = std::string("\x80\x00\xE3\x65\x04", 5) + "scripted";
    using Answer =
        std::function<std::vector<uint8_t>(const v3::Message& request, const usm::Keys* keys)>;

    ScriptedEngine(const usm::User& user, Answer answer)
        : m_keys(usm::localizedKeys(user, kEngine)),
          m_peer([this, answer = std::move(answer)](
                     ScriptedPeer& peer, const std::vector<uint8_t>& d, const sockaddr_in& from) {
              std::optional<v3::Incoming> in = v3::parse(d.data(), d.size());
              if (!in) return;
              std::vector<uint8_t> out;
              if (in->msg.engineId.empty()) {
                  v3::Message r = reply(in->msg);
                  r.pdu.type = ber::Report;
                  r.pdu.bindings.push_back({v3::reportOid(v3::Error::UnknownEngineId),
                                            ber::Value::makeUnsigned(ber::Counter32, 1)});
                  out = v3::encode(r, nullptr);
              } else if (v3::authenticate(*in, m_keys.get()) == v3::Error::None &&
                         v3::open(*in, m_keys.get()) == v3::Error::None) {
                  out = answer(in->msg, m_keys.get());
              }
              if (!out.empty()) peer.send(out, from);
          }) {}
    quint16 port() const { return m_peer.port(); }

    // The start of an answer to request: its ids, this engine, the clock it had at discovery.
    static v3::Message reply(const v3::Message& request) {
        v3::Message r;
        r.msgId = request.msgId;
        r.engineId = kEngine;
        r.boots = 5;
        r.time = 1000;
        r.userName = request.userName;
        r.contextEngineId = kEngine;
        r.pdu.requestId = request.pdu.requestId;
        return r;
    }

private:
    std::shared_ptr<const usm::Keys> m_keys;
    ScriptedPeer m_peer;
};

} // namespace

class TestGuards : public QObject {
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;

private slots:
    void initTestCase() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
    }
    void init() {
        SetSnmpTimeout(2000);
        v3::ManagerSession::forgetEngines();
        QCOMPARE(m_sim->command("faults"), QStringLiteral("ok"));
    }

    // ---- SNMPv3 and credentials --------------------------------------------------------------

    // An answer that is signed and sealed as far as the agent chose, not as far as the request
    // asked, is no answer: an attacker who cannot forge the level asked must not be believed at
    // a lower one. The answers at the level asked show the agent's messages are sound.
    void answerBelowTheLevelAsked_data() {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("answered");
        QTest::addColumn<bool>("taken");
        const int priv = int(usm::Level::AuthPriv), auth = int(usm::Level::AuthNoPriv),
                  none = int(usm::Level::NoAuthNoPriv);
        QTest::newRow("authPriv answered unauthenticated") << priv << none << false;
        QTest::newRow("authPriv answered signed, not encrypted") << priv << auth << false;
        QTest::newRow("authNoPriv answered unauthenticated") << auth << none << false;
        QTest::newRow("authPriv answered authPriv") << priv << priv << true;
        QTest::newRow("authNoPriv answered authNoPriv") << auth << auth << true;
    }
    void answerBelowTheLevelAsked() {
        QFETCH(int, asked);
        QFETCH(int, answered);
        QFETCH(bool, taken);
        const usm::User u = v3User("cid", usm::Level(asked));
        ScriptedEngine agent(v3User("cid", usm::Level::AuthPriv),
                             [answered](const v3::Message& req, const usm::Keys* keys) {
                                 v3::Message r = ScriptedEngine::reply(req);
                                 r.flags = levelFlags(usm::Level(answered));
                                 r.pdu.type = ber::Response;
                                 r.pdu.bindings = req.pdu.bindings;
                                 r.pdu.bindings[0].value = ber::Value::makeOctets("forged");
                                 return v3::encode(r, keys);
                             });
        SetSnmpTimeout(600);
        Client c(agent.port(), {record(kSysName)}, &u);
        const Delivery d = c.request(SNMP_PDU_GET);
        QCOMPARE(d.status, taken ? SNMP_STATUS_OK : SNMP_STATUS_TIMEOUT);
        QCOMPARE(d.values, taken ? QStringList{"forged"} : QStringList{});
    }

    // The agent's time window holds both ways: a message from a manager whose clock runs too
    // far ahead is refused as one too far behind is, with the report that lets it catch up.
    void timeWindowBothWays_data() {
        QTest::addColumn<int>("bootsOff");
        QTest::addColumn<int>("timeOff");
        QTest::addColumn<bool>("inWindow");
        QTest::newRow("behind, within") << 0 << -100 << true;
        QTest::newRow("ahead, within") << 0 << 100 << true;
        QTest::newRow("too far behind") << 0 << -300 << false;
        QTest::newRow("too far ahead") << 0 << 300 << false;
        QTest::newRow("other boots") << 1 << 0 << false;
    }
    void timeWindowBothWays() {
        QFETCH(int, bootsOff);
        QFETCH(int, timeOff);
        QFETCH(bool, inWindow);
        sim::Agent& agent = FuzzAgent([] {
            sim::AgentOptions o;
            o.engineTime = 100000;
            o.users.push_back({FuzzUser("cid", crypto::Auth::SHA1, crypto::Priv::AES128), false});
            return o;
        });
        const auto keys = usm::localizedKeys(
            FuzzUser("cid", crypto::Auth::SHA1, crypto::Priv::AES128), kFuzzEngine);
        // The agent's answer to m, opened.
        auto exchange = [&](const v3::Message& m,
                            const usm::Keys* k) -> std::optional<v3::Message> {
            const std::vector<uint8_t> request = v3::encode(m, k);
            std::vector<uint8_t> answer;
            if (!agent.handle(request.data(), request.size(), answer)) return std::nullopt;
            std::optional<v3::Incoming> in = v3::parse(answer.data(), answer.size());
            if (!in || v3::open(*in, keys.get()) != v3::Error::None) return std::nullopt;
            return in->msg;
        };
        // The agent's clock, as its report to a discovery probe gives it.
        v3::Message probe;
        probe.msgId = 1;
        probe.flags = v3::FlagReportable;
        const std::optional<v3::Message> discovered = exchange(probe, nullptr);
        QVERIFY(discovered);
        QCOMPARE(discovered->engineId, kFuzzEngine);

        v3::Message m;
        m.msgId = 2;
        m.flags = v3::FlagAuth | v3::FlagReportable;
        m.engineId = kFuzzEngine;
        m.boots = discovered->boots + bootsOff;
        m.time = discovered->time + timeOff;
        m.userName = "cid";
        m.pdu.requestId = 2;
        m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::null()});
        const std::optional<v3::Message> answer = exchange(m, keys.get());
        QVERIFY(answer);
        const ber::Pdu& pdu = answer->pdu;
        if (inWindow) {
            QCOMPARE(int(pdu.type), int(ber::Response));
            return;
        }
        QCOMPARE(int(pdu.type), int(ber::Report));
        QVERIFY(!pdu.bindings.empty());
        QCOMPARE(v3::reportError(pdu.bindings[0].oid), v3::Error::NotInTimeWindow);
    }

    // Keys are localised per user, engine and both passphrases: a second user that shares the
    // first one's authentication passphrase, or the same user with another privacy passphrase,
    // never encrypts with the privacy key of the first. snmpd holds the users.
    void privacyKeyOfItsOwn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("privPass");
        QTest::addColumn<bool>("answered");
        QTest::newRow("another user, its own privacy passphrase") << "dee"
                                                                  << "waffleiron" << true;
        QTest::newRow("the same user, a wrong privacy passphrase") << "cid"
                                                                   << "waffleiron" << false;
    }
    void privacyKeyOfItsOwn() {
        QFETCH(QString, name);
        QFETCH(QString, privPass);
        QFETCH(bool, answered);
        SnmpdProcess snmpd(true, "createUser cid SHA maplesyrup AES pancakemix\n"
                                 "createUser dee SHA maplesyrup AES waffleiron\n"
                                 "rouser cid priv\nrouser dee priv\n");
        if (!snmpd.started()) QSKIP(qPrintable(snmpd.error()));
        SetSnmpTimeout(1000);
        const usm::User first = v3User("cid", usm::Level::AuthPriv);
        Client c(snmpd.port(), {record(kSysName)}, &first);
        QCOMPARE(c.request(SNMP_PDU_GET).status, SNMP_STATUS_OK);

        const QByteArray n = name.toUtf8(), p = privPass.toUtf8();
        const usm::User second = v3User(n.constData(), usm::Level::AuthPriv, p.constData());
        Client other(snmpd.port(), {record(kSysName)}, &second);
        const Delivery d = other.request(SNMP_PDU_GET);
        QCOMPARE(d.status == SNMP_STATUS_OK, answered);
        QCOMPARE(d.values.size(), answered ? 1 : 0);
    }

    // A report that is not signed may come from anyone: it may end the request it names, but
    // the boots and time it carries never become what later requests are sent with.
    void unauthenticatedReportKeepsTheClock_data() {
        QTest::addColumn<int>("boots");
        QTest::addColumn<int>("time");
        QTest::newRow("later boots") << 9 << 50;
        QTest::newRow("same boots, later time") << 5 << 900000;
    }
    void unauthenticatedReportKeepsTheClock() {
        QFETCH(int, boots);
        QFETCH(int, time);
        QMutex lock;
        QList<std::pair<int, int>> clocks; // of every authenticated request
        ScriptedEngine agent(v3User("bob", usm::Level::AuthNoPriv), [&](const v3::Message& req,
                                                                        const usm::Keys* keys) {
            QMutexLocker l(&lock);
            clocks.append({req.boots, req.time});
            v3::Message r = ScriptedEngine::reply(req);
            if (clocks.size() == 1) {
                r.boots = boots;
                r.time = time;
                r.pdu.type = ber::Report;
                r.pdu.bindings.push_back({v3::reportOid(v3::Error::NotInTimeWindow),
                                          ber::Value::makeUnsigned(ber::Counter32, 1)});
                return v3::encode(r, nullptr);
            }
            r.flags = v3::FlagAuth;
            r.pdu.type = ber::Response;
            r.pdu.bindings = req.pdu.bindings;
            r.pdu.bindings[0].value = ber::Value::makeOctets("scripted");
            return v3::encode(r, keys);
        });
        SetSnmpTimeout(800);
        const usm::User u = v3User("bob", usm::Level::AuthNoPriv);
        Client c(agent.port(), {record(kSysName)}, &u);
        QVERIFY(c.request(SNMP_PDU_GET).status != Client::kNone);
        const Delivery d = c.request(SNMP_PDU_GET);
        QCOMPARE(d.status, SNMP_STATUS_OK);
        QCOMPARE(d.values, QStringList{"scripted"});
        QMutexLocker l(&lock);
        QVERIFY(clocks.size() >= 2);
        for (const auto& [b, t] : clocks) {
            QCOMPARE(b, 5);
            QVERIFY2(t >= 1000 && t < 1030, qPrintable(QString::number(t)));
        }
    }

    // A credentials file that belongs to someone else is refused whole, even when its
    // permissions are the owner's only: its owner can change what this user's module believes.
    void credentialsOfAnotherUser() {
        QTemporaryDir dir;
        const QString path =
            WriteCredentialsFile(dir.path(), "agent 127.0.0.1\n defSecurityName ops\n");
        QVERIFY(!path.isEmpty());
        snmpconf::Entry entry;
        std::string why;
        QCOMPARE(snmpconf::lookup(path.toStdString(), "127.0.0.1", 161, entry, why),
                 snmpconf::Status::Found);
        if (::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
            QSKIP("no other user can be given the file (not run as root)");
        QCOMPARE(snmpconf::lookup(path.toStdString(), "127.0.0.1", 161, entry, why),
                 snmpconf::Status::Refused);
        QVERIFY2(QString::fromStdString(why).contains("belongs to another user"), why.c_str());
    }

    // Answers under another community than the request's (the read one for a get, the write
    // one for a set) are not its answer, though they carry its request id.
    void answerUnderAnotherCommunity_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("forgedUnder");
        QTest::newRow("v2c get") << int(ber::V2c) << int(SNMP_PDU_GET) << "someone-else";
        QTest::newRow("v1 get") << int(ber::V1) << int(SNMP_PDU_GET) << "someone-else";
        QTest::newRow("v2c set, answered under the read community")
            << int(ber::V2c) << int(SNMP_PDU_SET) << "orchid";
    }
    void answerUnderAnotherCommunity() {
        QFETCH(int, version);
        QFETCH(int, kind);
        QFETCH(QString, forgedUnder);
        const std::string forged = forgedUnder.toStdString();
        ScriptedPeer agent(
            [&forged](ScriptedPeer& peer, const std::vector<uint8_t>& d, const sockaddr_in& from) {
                std::optional<ber::Message> req = ber::decode(d.data(), d.size());
                if (!req) return;
                ber::Message r = *req;
                r.pdu.type = ber::Response;
                r.community = forged;
                r.pdu.bindings[0].value = ber::Value::makeOctets("forged");
                peer.send(ber::encode(r), from);
                r.community = req->community;
                r.pdu.bindings[0].value = ber::Value::makeOctets("answer");
                peer.send(ber::encode(r), from);
            });
        Client c(agent.port(), {record(kSysName)});
        c.session->SetVersion(version);
        c.session->GetOidList()[0]->m_strValue = QStringLiteral("answer");
        QCOMPARE(c.request(kind).values, QStringList{"answer"});
    }

    // ---- Transport and walks -----------------------------------------------------------------

    // An answer that came after a copy of its request went out may answer any copy: it times no
    // round trip. So an agent that lost two datagrams is not thought slower for it, and a request
    // it leaves unanswered afterwards gets as many copies as before.
    void roundTripFromRequestsSentOnce() {
        QMutex lock;
        // per request, in order: the copy answered (0: none)
        const QList<int> plan{1, 1, 1, 0, 3, 0};
        QList<quint32> ids;
        QList<int> copies;
        ScriptedPeer agent(
            [&](ScriptedPeer& peer, const std::vector<uint8_t>& d, const sockaddr_in& from) {
                std::optional<ber::Message> req = ber::decode(d.data(), d.size());
                if (!req) return;
                QMutexLocker l(&lock);
                qsizetype i = ids.indexOf(quint32(req->pdu.requestId));
                if (i < 0) {
                    i = ids.size();
                    ids << quint32(req->pdu.requestId);
                    copies << 0;
                }
                if (++copies[i] != plan.value(i)) return;
                ber::Message r = *req;
                r.pdu.type = ber::Response;
                r.pdu.bindings[0].value = ber::Value::makeOctets("answer");
                peer.send(ber::encode(r), from);
            });
        SetSnmpTimeout(1000);
        Client c(agent.port(), {record(kSysName)});
        for (int expected : plan) {
            const Delivery d = c.request(SNMP_PDU_GET);
            QCOMPARE(d.status, expected ? SNMP_STATUS_OK : SNMP_STATUS_TIMEOUT);
        }
        QMutexLocker l(&lock);
        QCOMPARE(copies.size(), plan.size());
        QCOMPARE(copies[4], 3);
        QVERIFY(copies[3] >= 2);
        QCOMPARE(copies[5], copies[3]);
    }

    // Two get-nexts asked together, at the start or before the last row reached the page, both
    // get the row a get-next from that place gets: reading ahead skips no row, and hands out
    // what a session that does not read ahead hands out.
    void readAheadSkipsNoRow_data() {
        QTest::addColumn<QList<int>>("script"); // get-nexts sent at once, then waited for
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("at the start") << QList<int>{2, 1} << QStringList{".1", ".1", ".2"};
        QTest::newRow("mid-walk") << QList<int>{1, 2, 1} << QStringList{".1", ".2", ".2", ".3"};
        QTest::newRow("twice running")
            << QList<int>{1, 3, 2, 1} << QStringList{".1", ".2", ".2", ".2", ".3", ".3", ".4"};
    }
    void readAheadSkipsNoRow() {
        QFETCH(QList<int>, script);
        QFETCH(QStringList, rows);
        for (bool ahead : {false, true}) {
            Client c(m_sim->port(), {record("1.3.6.1.2.1.2.2.1.2", ber::OctetString, 0x11),
                                     record("1.3.6.1.2.1.2.2.1.3", ber::Integer, 0x11)});
            c.session->SetReadAhead(ahead);
            for (int together : script) {
                for (int i = 0; i < together; ++i)
                    QVERIFY(c.session->SendSnmp(SNMP_PDU_GETNEXT));
                QVERIFY(c.waitFor(c.got.size() + together));
            }
            QStringList delivered;
            for (const Delivery& d : c.got)
                delivered << d.instances.value(0);
            QCOMPARE(delivered, rows);
        }
    }

    // The agent's tree ends inside the walked column: the walk takes every row snmpwalk lists
    // and ends there, on endOfMibView, without a stop and without asking again, by get-next
    // (read ahead or not) and by GETBULK of any size.
    void walkToTheEndOfTheTree_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("repetitions"); // GETBULK's; for get-next, 1 reads ahead
        QTest::newRow("get-next") << int(SNMP_PDU_GETNEXT) << 0;
        QTest::newRow("get-next read ahead") << int(SNMP_PDU_GETNEXT) << 1;
        QTest::newRow("GETBULK of 1") << int(SNMP_PDU_GETBULK) << 1;
        QTest::newRow("GETBULK of 2") << int(SNMP_PDU_GETBULK) << 2;
        QTest::newRow("GETBULK of 50") << int(SNMP_PDU_GETBULK) << 50;
    }
    void walkToTheEndOfTheTree() {
        QFETCH(int, kind);
        QFETCH(int, repetitions);
        const QString column = "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.9";
        for (const char* more : {".2 s C.01", ".3 s C.02"})
            QCOMPARE(m_sim->command("put " + column + more), QStringLiteral("ok"));
        const QString agent = "127.0.0.1:" + QString::number(m_sim->port());
        bool ok = false;
        QStringList expected;
        for (const QString& line :
             RunTool("snmpwalk", {"-v2c", "-corchid", "-On", agent, column}, &ok)
                 .split('\n', Qt::SkipEmptyParts)) {
            if (line.contains("No more variables")) continue;
            const QString instance = line.section(' ', 0, 0).mid(column.size() + 2); // ".COLUMN."
            expected << instance + " " + line.section("STRING: ", 1).remove('"');
        }
        QVERIFY(ok);
        QCOMPARE(expected.size(), 3);
        QCOMPARE(RunTool("snmpgetnext", {"-v2c", "-corchid", agent, column + ".3"})
                     .contains("No more variables"),
                 true);

        Client c(m_sim->port(), {record(column.toLatin1().constData(), ber::OctetString, 0x11)});
        c.session->SetReadAhead(kind == SNMP_PDU_GETNEXT && repetitions == 1);
        c.session->SetBulk(std::max(repetitions, 1));
        QStringList walked;
        for (int requests = 0; requests < 10; ++requests) {
            const Delivery d = c.request(kind);
            QCOMPARE(d.status, SNMP_STATUS_OK);
            QCOMPARE(d.stop, CSnmpPdu::WalkStop::None);
            const int n = kind == SNMP_PDU_GETBULK ? d.bulkRows : (d.ends ? 0 : 1);
            for (int i = 0; i < n; ++i)
                walked << d.instances[i].mid(1) + " " + d.values[i];
            if (d.ends) break;
        }
        QVERIFY2(c.got.last().ends, "the walk ended");
        QCOMPARE(walked, expected);
        // no more requests than rows and one for the end
        QVERIFY(c.got.size() <= expected.size() + 1);
        for (const char* more : {".2", ".3"})
            QCOMPARE(m_sim->command("del " + column + more), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(TestGuards)
#include "tst_guards.moc"
