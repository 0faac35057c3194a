// SNMPv3 sessions of the library against talvex-sim's users: every level, walks, the time
// window, the failures a person must be able to read, and answers that must not count.
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/v3session.h"
#include "tests/common/loopbacksession.h"
#include "tests/common/peers.h"

#include <QRegularExpression>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

namespace {

usm::User user(const char* name, usm::Level level, crypto::Auth auth = crypto::Auth::None,
               crypto::Priv priv = crypto::Priv::None, const char* authPass = "maplesyrup",
               const char* privPass = "pancakemix") {
    usm::User u;
    u.name = name;
    u.level = level;
    u.auth = auth;
    u.priv = priv;
    u.authPassphrase = crypto::Secret(authPass);
    u.privPassphrase = crypto::Secret(privPass);
    return u;
}

_QvOidTable record(const char* oid, uint16_t flags, uint16_t type = ber::OctetString) {
    _QvOidTable r{};
    r.typeCode = type;
    r.flags = flags;
    std::strncpy(r.oid, oid, sizeof r.oid - 1);
    return r;
}

// One session over a table, with what its callbacks brought.
class Client : public QObject {
public:
    Client(quint16 port, const usm::User* u, std::vector<_QvOidTable> table)
        : m_table(std::move(table)) {
        session = LoopbackSession(this, port, m_table, u);
        session->SetSnmpCallback([this](unsigned short s, CSnmpMsg* msg) {
            status = s;
            ++answers;
            if (!msg) return;
            CSnmpPdu* pdu = msg->GetPdu();
            ends = m_kind != SNMP_PDU_GET && m_kind != SNMP_PDU_SET && session->IsEndOfTable(pdu);
            const int n = pdu->BulkRows() ? pdu->BulkRows() * int(m_table.size())
                          : ends          ? 0
                                          : int(pdu->VarBinds().size());
            for (int i = 0; i < n; ++i)
                values << session->FormatValue(pdu->VarBinds()[i],
                                               session->GetOidList()[i % m_table.size()]);
            msg->Release();
        });
    }
    // One request, and its callback.
    bool request(unsigned short kind, int timeoutMs = 5000) {
        const int before = answers;
        m_kind = kind;
        if (!session->SendSnmp(kind)) return false;
        QElapsedTimer t;
        t.start();
        while (answers == before && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return answers > before;
    }
    // A whole walk; the rows' values in order.
    QStringList walk(unsigned short kind) {
        values.clear();
        ends = false;
        while (!ends && request(kind) && status == 0) {
        }
        return values;
    }

    std::unique_ptr<CSnmpClass> session;
    unsigned short status = 0;
    int answers = 0;
    bool ends = false;
    QStringList values;

private:
    std::vector<_QvOidTable> m_table;
    unsigned short m_kind = 0;
};

// An agent a test plays: discovery is answered as an agent does, every other request as
// script says (no answer when it returns false).
class ScriptedAgent {
public:
    using Script = std::function<bool(const v3::Incoming& in, v3::Message& reply,
                                      std::shared_ptr<const usm::Keys>& keys)>;
    explicit ScriptedAgent(Script script) : m_script(std::move(script)) {
        m_fd = LoopbackUdpSocket(&port);
        m_thread = std::thread([this] { run(); });
    }
    ~ScriptedAgent() {
        m_stop = true;
        m_thread.join();
        if (m_fd >= 0) ::close(m_fd);
    }
    quint16 port = 0;
    std::atomic<int> scripted{0};
    static inline const std::string kEngine = std::string("\x80\x00\xE3\x65\x04scripted", 13);

private:
    void run() {
        uint8_t buf[65536];
        while (!m_stop && m_fd >= 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t fl = sizeof from;
            ssize_t n =
                ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            auto in = n > 0 ? v3::parse(buf, size_t(n)) : std::nullopt;
            if (!in) continue;
            v3::Message r;
            r.msgId = in->msg.msgId;
            r.engineId = kEngine;
            r.boots = 1;
            r.time = 10;
            r.userName = in->msg.userName;
            r.pdu.requestId = in->msg.pdu.requestId;
            std::shared_ptr<const usm::Keys> keys;
            if (in->msg.engineId.empty()) {
                r.pdu.type = ber::Report;
                r.pdu.bindings.push_back({v3::reportOid(v3::Error::UnknownEngineId),
                                          ber::Value::makeUnsigned(ber::Counter32, 1)});
            } else if (!m_script(*in, r, keys)) {
                continue;
            } else {
                ++scripted;
            }
            std::vector<uint8_t> out = v3::encode(r, keys.get());
            ::sendto(m_fd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), fl);
        }
    }
    Script m_script;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

class TestV3Session : public QObject {
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;

private slots:
    void initTestCase() {
        SetSnmpTimeout(2000);
        m_sim = std::make_unique<SimProcess>(
            QStringList{"--static", "--user", "ann", "--user", "bob SHA maplesyrup", "--user",
                        "cid SHA-512 maplesyrup AES pancakemix", "--rwuser",
                        "dan MD5 maplesyrup DES pancakemix", "--rwuser",
                        "eve SHA-256 maplesyrup AES pancakemix"});
        QVERIFY(m_sim->started());
    }
    void init() { v3::ManagerSession::forgetEngines(); }

    void everyLevel_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("auth");
        QTest::addColumn<int>("priv");
        QTest::newRow("noAuthNoPriv") << "ann" << int(usm::Level::NoAuthNoPriv) << 0 << 0;
        QTest::newRow("authNoPriv SHA")
            << "bob" << int(usm::Level::AuthNoPriv) << int(crypto::Auth::SHA1) << 0;
        QTest::newRow("authPriv SHA-512/AES")
            << "cid" << int(usm::Level::AuthPriv) << int(crypto::Auth::SHA512)
            << int(crypto::Priv::AES128);
        if (crypto::desAvailable())
            QTest::newRow("authPriv MD5/DES") << "dan" << int(usm::Level::AuthPriv)
                                              << int(crypto::Auth::MD5) << int(crypto::Priv::DES);
        QTest::newRow("authNoPriv with keys for more")
            << "cid" << int(usm::Level::AuthNoPriv) << int(crypto::Auth::SHA512) << 0;
    }
    void everyLevel() {
        QFETCH(QString, name);
        QFETCH(int, level);
        QFETCH(int, auth);
        QFETCH(int, priv);
        const QByteArray n = name.toUtf8();
        usm::User u =
            user(n.constData(), usm::Level(level), crypto::Auth(auth), crypto::Priv(priv));
        Client c(m_sim->port(), &u,
                 {record("1.3.6.1.2.1.1.5.0", 1), record("1.3.6.1.2.1.1.7.0", 1)});
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        QCOMPARE(c.values, (QStringList{"talvex-sim", "78"}));
    }

    // A walk over authPriv finds what the same walk over v2c finds, by get-next and GETBULK.
    void walkAsV2c() {
        usm::User u = user("eve", usm::Level::AuthPriv, crypto::Auth::SHA256, crypto::Priv::AES128);
        std::vector<_QvOidTable> columns{record("1.3.6.1.2.1.2.2.1.2", 0x11),
                                         record("1.3.6.1.2.1.2.2.1.7", 0x11)};
        Client plain(m_sim->port(), nullptr, columns);
        const QStringList expected = plain.walk(SNMP_PDU_GETNEXT);
        QVERIFY(expected.size() >= 20);
        Client secure(m_sim->port(), &u, columns);
        QCOMPARE(secure.walk(SNMP_PDU_GETNEXT), expected);
        secure.session->SetBulk(7);
        QCOMPARE(secure.walk(SNMP_PDU_GETBULK), expected);
    }

    void set() {
        usm::User u = user("eve", usm::Level::AuthPriv, crypto::Auth::SHA256, crypto::Priv::AES128);
        Client c(m_sim->port(), &u, {record("1.3.6.1.2.1.1.4.0", 2, ber::OctetString)});
        c.session->GetOidList()[0]->m_strValue = QStringLiteral("noc@example.org");
        QVERIFY(c.request(SNMP_PDU_SET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        c.values.clear();
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.values, QStringList{"noc@example.org"});
    }

    // The agent's clock moves under a session that knows it: the request is sent once more
    // with the boots and time of the agent's report, and succeeds.
    void timeWindow_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("time jumped") << "engine 1 500000";
        QTest::newRow("rebooted") << "engine 2 3";
    }
    void timeWindow() {
        QFETCH(QString, command);
        usm::User u = user("bob", usm::Level::AuthNoPriv, crypto::Auth::SHA1);
        Client c(m_sim->port(), &u, {record("1.3.6.1.2.1.1.5.0", 1)});
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        QCOMPARE(m_sim->command(command), QStringLiteral("ok"));
        c.values.clear();
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        QCOMPARE(c.values, QStringList{"talvex-sim"});
        QCOMPARE(m_sim->command("engine 1 0"), QStringLiteral("ok"));
    }

    // RFC 3414 3.2.7 b: an authentic answer older than what the agent sent before (a replay, or
    // an agent that lost its count of boots) is not taken, even as a report of the time window.
    void olderClockRefused_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("older boots") << "engine 3 1000"
                                     << "engine 2 1000";
        QTest::newRow("time far behind") << "engine 3 5000"
                                         << "engine 3 4000";
    }
    void olderClockRefused() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        usm::User u = user("bob", usm::Level::AuthNoPriv, crypto::Auth::SHA1);
        QCOMPARE(m_sim->command(before), QStringLiteral("ok"));
        Client c(m_sim->port(), &u, {record("1.3.6.1.2.1.1.5.0", 1)});
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        QCOMPARE(m_sim->command(after), QStringLiteral("ok"));
        c.values.clear();
        SetSnmpTimeout(600);
        const bool answered = c.request(SNMP_PDU_GET);
        SetSnmpTimeout(2000);
        QCOMPARE(m_sim->command("engine 1 0"), QStringLiteral("ok"));
        QVERIFY(answered);
        QCOMPARE(c.status, SNMP_STATUS_TIMEOUT);
        QVERIFY2(c.session->LastFailure().contains("came outside the agent's time window"),
                 qPrintable(c.session->LastFailure()));
        QVERIFY(c.session->LastFailureIsSecurity());
        QVERIFY(c.values.isEmpty());
    }

    // An agent that came back with another engine id reports the one the session knew as
    // unknown: the session learns the new one and sends the request again.
    void agentWithNewEngine() {
        const QStringList users{"--static", "--user", "bob SHA maplesyrup"};
        auto first = std::make_unique<SimProcess>(users);
        QVERIFY(first->started());
        const quint16 port = first->port();
        usm::User u = user("bob", usm::Level::AuthNoPriv, crypto::Auth::SHA1);
        Client c(port, &u, {record("1.3.6.1.2.1.1.5.0", 1)});
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        first.reset();
        SimProcess second(users + QStringList{"--port", QString::number(port), "--engine-id",
                                              "8000e365047365636f6e64"});
        QVERIFY(second.started());
        c.values.clear();
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(c.status, SNMP_STATUS_OK);
        QCOMPARE(c.values, QStringList{"talvex-sim"});
    }

    void failures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("authPass");
        QTest::addColumn<QString>("context");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("security");
        const int authPriv = int(usm::Level::AuthPriv);
        QTest::newRow("wrong passphrase")
            << "cid" << authPriv << "maplesyrupX"
            << "" << int(SNMP_STATUS_REFUSED)
            << "the agent reports authentication failed, check the passphrase" << true;
        QTest::newRow("unknown user") << "zed" << authPriv << "maplesyrup"
                                      << "" << int(SNMP_STATUS_REFUSED)
                                      << "the agent reports unknown user name \"zed\"" << true;
        QTest::newRow("unknown user with a terminal's escape")
            << "z\x1b]0;owned\x07" << authPriv << "maplesyrup"
            << "" << int(SNMP_STATUS_REFUSED)
            << "the agent reports unknown user name \"z\\x1b]0;owned\\x07\"" << true;
        QTest::newRow("level the user lacks")
            << "bob" << authPriv << "maplesyrup"
            << "" << int(SNMP_STATUS_REFUSED)
            << "the agent reports unsupported security level for this user" << true;
        // talvex-sim, like snmpd, answers nothing for a context it lacks
        QTest::newRow("unknown context")
            << "cid" << authPriv << "maplesyrup"
            << "vlan7" << int(SNMP_STATUS_TIMEOUT)
            << "no answer from the agent: nothing came back (check the address and port, the "
               "privacy passphrase and protocol, and the context)"
            << false;
    }
    void failures() {
        QFETCH(QString, name);
        QFETCH(int, level);
        QFETCH(QString, authPass);
        QFETCH(QString, context);
        QFETCH(int, status);
        QFETCH(QString, reason);
        QFETCH(bool, security);
        const QByteArray n = name.toUtf8(), p = authPass.toUtf8();
        usm::User u = user(n.constData(), usm::Level(level), crypto::Auth::SHA512,
                           crypto::Priv::AES128, p.constData());
        u.context = context.toStdString();
        Client c(m_sim->port(), &u, {record("1.3.6.1.2.1.1.5.0", 1)});
        QVERIFY(c.request(SNMP_PDU_GET));
        QCOMPARE(int(c.status), status);
        QCOMPARE(c.session->LastFailure(), reason);
        QCOMPARE(c.session->LastFailureIsSecurity(), security);
        QVERIFY(c.values.isEmpty());
    }

    // A failure says what was seen: nothing at all, answers that failed authentication
    // (counted), a report naming a counter this library does not know.
    void whatWasSeen_data() {
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QString>("reason"); // a pattern
        QTest::addColumn<bool>("security");
        QTest::newRow("nothing listens")
            << "none"
            << "^no answer from the agent: nothing came back \\(check the address and port, "
               "the privacy passphrase and protocol, and the context\\)$"
            << false;
        QTest::newRow("answers signed with another key")
            << "other key"
            << "^no answer from the agent: [1-9][0-9]* answers? failed authentication \\(check "
               "the authentication passphrase and protocol\\)$"
            << true;
        QTest::newRow("report of an unknown counter")
            << "unknown report"
            << "^the agent reports 1\\.3\\.6\\.1\\.6\\.3\\.15\\.1\\.1\\.99\\.0$" << false;
        QTest::newRow("answers below the level asked")
            << "downgraded"
            << "^no answer from the agent: [1-9][0-9]* answers? came below the security level "
               "asked$"
            << false;
        // an unsigned notInTimeWindow report has the engine discovered once more, and is then
        // ignored: the request waits for its answer
        QTest::newRow("unsigned time window reports")
            << "unsigned window"
            << "^no answer from the agent: [1-9][0-9]* unsigned reports? of the time window "
               "ignored$"
            << false;
        QTest::newRow("unknown context with a terminal's escape")
            << "unknown context"
            << QRegularExpression::escape("the agent reports unknown context \"vlan\\x1b[2J\"")
            << false;
    }
    void whatWasSeen() {
        QFETCH(QString, agent);
        QFETCH(QString, reason);
        QFETCH(bool, security);
        usm::User u = user("cid", usm::Level::AuthPriv, crypto::Auth::SHA512, crypto::Priv::AES128);
        if (agent == "unknown context") u.context = "vlan\x1b[2J";
        usm::User other = u;
        other.authPassphrase = crypto::Secret("not the same phrase");
        std::unique_ptr<ScriptedAgent> scripted;
        quint16 port = FreeUdpPort();
        if (agent != "none") {
            scripted = std::make_unique<ScriptedAgent>(
                [&](const v3::Incoming&, v3::Message& r, std::shared_ptr<const usm::Keys>& keys) {
                    r.pdu.type = ber::Response;
                    r.pdu.bindings.push_back(
                        {{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::makeOctets("forged")});
                    if (agent == "other key") {
                        r.flags = v3::FlagAuth | v3::FlagPriv;
                        keys = usm::localizedKeys(other, ScriptedAgent::kEngine);
                    } else if (agent == "unknown report") {
                        r.pdu.type = ber::Report;
                        r.pdu.bindings = {{{1, 3, 6, 1, 6, 3, 15, 1, 1, 99, 0},
                                           ber::Value::makeUnsigned(ber::Counter32, 1)}};
                    } else if (agent == "unsigned window" || agent == "unknown context") {
                        r.pdu.type = ber::Report;
                        r.pdu.bindings = {
                            {v3::reportOid(agent == "unknown context" ? v3::Error::UnknownContext
                                                                      : v3::Error::NotInTimeWindow),
                             ber::Value::makeUnsigned(ber::Counter32, 1)}};
                    }
                    return true;
                });
            port = scripted->port;
        }
        SetSnmpTimeout(600);
        Client c(port, &u, {record("1.3.6.1.2.1.1.5.0", 1)});
        const bool answered = c.request(SNMP_PDU_GET);
        SetSnmpTimeout(2000);
        QVERIFY(answered);
        QVERIFY(c.status != SNMP_STATUS_OK);
        QVERIFY2(QRegularExpression(reason).match(c.session->LastFailure()).hasMatch(),
                 qPrintable(c.session->LastFailure()));
        QCOMPARE(c.session->LastFailureIsSecurity(), security);
        QVERIFY(c.values.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestV3Session)
#include "tst_v3session.moc"
