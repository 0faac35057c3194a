// What goes on the wire for fixed walks, request by request: a page reading a table ahead (with
// one answer the agent cut short), talvex-walk's get-next walk and its SNMPv3 walk. A relay on
// loopback stands between the client and talvex-sim, records every request and passes the
// agent's answers back. Request ids, message ids and what SNMPv3 varies by the clock (engine
// time, digests) are left out; everything else must stay as it is.
#include "app/paneldlg.h"
#include "platform/platform.h"
#include "qvsnmp/ber.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/v3msg.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QDialog>
#include <QMutex>
#include <QtTest>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString oids(const ber::Pdu& pdu) {
    QStringList out;
    for (const ber::VarBind& vb : pdu.bindings)
        out << QString::fromStdString(ber::oidToString(vb.oid))
                   .replace(QLatin1String("1.3.6.1.2.1."), QLatin1String("mib-2."));
    return out.join(QLatin1Char(' '));
}

// The interface page's columns, each followed by the row index the request asks from.
QString interfaceColumns(int from) {
    QStringList out;
    for (const char* column :
         {"2.2.1.1", "2.2.1.8", "2.2.1.2", "2.2.1.3", "2.2.1.5", "2.2.1.6", "31.1.1.1.15"})
        out << QStringLiteral("mib-2.%1%2")
                   .arg(QLatin1String(column), from ? QStringLiteral(".%1").arg(from) : QString());
    return out.join(QLatin1Char(' '));
}

QString kind(const ber::Pdu& pdu) {
    switch (pdu.type) {
    case SNMP_PDU_GET:
        return QStringLiteral("get");
    case SNMP_PDU_GETNEXT:
        return QStringLiteral("getnext");
    case SNMP_PDU_GETBULK:
        return QStringLiteral("getbulk/%1").arg(pdu.errorIndex);
    default:
        return QStringLiteral("type %1").arg(pdu.type);
    }
}

// One request as the transcript shows it.
QString describe(const std::vector<uint8_t>& d) {
    if (v3::messageVersion(d.data(), d.size()) == v3::Version3) {
        std::optional<v3::Incoming> in = v3::parse(d.data(), d.size());
        if (!in || v3::open(*in, nullptr) != v3::Error::None)
            return QStringLiteral("v3 unreadable");
        const v3::Message& m = in->msg;
        return QStringLiteral("v3 %1 flags %2 engine %3 context %4 %5 %6")
            .arg(QString::fromStdString(m.userName))
            .arg(m.flags)
            .arg(QString::fromLatin1(QByteArray::fromStdString(m.engineId).toHex()),
                 QString::fromLatin1(QByteArray::fromStdString(m.contextEngineId).toHex()),
                 kind(m.pdu), oids(m.pdu));
    }
    std::optional<ber::Message> m = ber::decode(d.data(), d.size());
    if (!m) return QStringLiteral("unreadable");
    return QStringLiteral("v%1 %2 %3 %4")
        .arg(m->version == ber::V1 ? QStringLiteral("1") : QStringLiteral("2c"),
             QString::fromStdString(m->community), kind(m->pdu), oids(m->pdu));
}

// Between a client and talvex-sim: records each request, forwards it, passes the answer on;
// the first GETBULK answer of more than cutTo bindings is cut to cutTo when cutTo is set.
class Relay {
public:
    Relay(quint16 agentPort, size_t cutTo = 0)
        : m_cutTo(cutTo), m_peer([this](ScriptedPeer& p, const std::vector<uint8_t>& d,
                                        const sockaddr_in& from) { relay(p, d, from); }) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in agent{};
        agent.sin_family = AF_INET;
        agent.sin_port = htons(agentPort);
        agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&agent), sizeof agent) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Relay() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool started() const { return m_fd >= 0 && m_peer.started(); }
    quint16 port() const { return m_peer.port(); }
    QStringList requests() const {
        QMutexLocker lock(&m_mutex);
        return m_log;
    }
    // Waits until no request came for quietMs (at most maxMs).
    void settle(int quietMs, int maxMs) {
        QElapsedTimer total;
        total.start();
        qsizetype seen = -1;
        while (total.elapsed() < maxMs) {
            const qsizetype now = requests().size();
            if (now == seen) break;
            seen = now;
            QTest::qWait(quietMs);
        }
    }

private:
    void relay(ScriptedPeer& p, const std::vector<uint8_t>& d, const sockaddr_in& from) {
        const QString line = describe(d);
        {
            QMutexLocker lock(&m_mutex);
            m_log << line;
        }
        if (m_fd < 0 || ::send(m_fd, d.data(), d.size(), 0) < 0) return;
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 3000) != 1) return;
        std::vector<uint8_t> answer(65536);
        const ssize_t n = ::recv(m_fd, answer.data(), answer.size(), 0);
        if (n <= 0) return;
        answer.resize(size_t(n));
        if (m_cutTo && line.contains(QLatin1String(" getbulk/"))) {
            std::optional<ber::Message> m = ber::decode(answer.data(), answer.size());
            if (m && m->pdu.bindings.size() > m_cutTo) {
                m->pdu.bindings.resize(m_cutTo);
                answer = ber::encode(*m);
                m_cutTo = 0;
            }
        }
        p.send(answer, from);
    }

    size_t m_cutTo;
    int m_fd = -1;
    mutable QMutex m_mutex;
    QStringList m_log;
    ScriptedPeer m_peer; // last: its thread stops before the rest goes
};

const QString kV3User = QStringLiteral("wire SHA wirepass12");
const QString kEngine = QStringLiteral("80001f8880776972650001");

} // namespace

class TestRequests : public QObject {
    Q_OBJECT

    QTemporaryDir m_noPanel; // a system directory without the panel file: nothing polls

private slots:
    void initTestCase() {
        QVERIFY(UsePagesAlone(m_noPanel));
        SetSnmpTimeout(4000);
    }

    // The interface page reads its table ahead; the agent cuts its second block short.
    void pageReadsAhead() {
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        Relay relay(sim.port(), 7);
        QVERIFY(relay.started());
        SetSnmpAgentPort(relay.port());
        platform::SetRunModalHook([&](QDialog* page) {
            page->show();
            relay.settle(700, 10000);
            return int(QDialog::Rejected);
        });
        {
            CPanelDlg panel;
            panel.OnCommand(32788);
        }
        platform::SetRunModalHook({});
        SetSnmpAgentPort(0);
        const QStringList got = relay.requests();
        // Five rows first, toward an agent not heard yet; the cut answer halves the block, and
        // blocks stay below the size that was cut.
        QStringList want = {QStringLiteral("v2c orchid getbulk/5 ") + interfaceColumns(0),
                            QStringLiteral("v2c orchid getbulk/2 ") + interfaceColumns(1)};
        for (int row = 3; row <= 127; row += 4)
            want << QStringLiteral("v2c orchid getbulk/4 ") + interfaceColumns(row);
        if (got != want) qWarning().noquote() << got.join(QLatin1Char('\n'));
        QCOMPARE(got, want);
    }

    void toolWalks_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("want");
        QTest::newRow("get-next")
            << QStringList{"-c", "orchid", "127.0.0.1", "walk", "1.3.6.1.2.1.1"}
            << QStringList{
                   "v2c orchid getnext mib-2.1",     "v2c orchid getnext mib-2.1.1.0",
                   "v2c orchid getnext mib-2.1.2.0", "v2c orchid getnext mib-2.1.3.0",
                   "v2c orchid getnext mib-2.1.4.0", "v2c orchid getnext mib-2.1.5.0",
                   "v2c orchid getnext mib-2.1.6.0", "v2c orchid getnext mib-2.1.7.0",
               };
        QTest::newRow("SNMPv3 get-next")
            << QStringList{"-v",  "3",  "-u",         "wire",      "-l",   "authNoPriv",   "-a",
                           "SHA", "-A", "wirepass12", "127.0.0.1", "walk", "1.3.6.1.2.1.1"}
            << QStringList{
                   // the engine's discovery, then the walk under the engine it names
                   "v3  flags 4 engine  context  get ",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.1.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.2.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.3.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.4.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.5.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.6.0",
                   "v3 wire flags 5 engine 80001f8880776972650001 context 80001f8880776972650001 "
                   "getnext mib-2.1.7.0",
               };
    }
    void toolWalks() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, want);
        SimProcess sim({"--static", "--user", kV3User, "--engine-id", kEngine});
        QVERIFY(sim.started());
        Relay relay(sim.port());
        QVERIFY(relay.started());
        bool ok = false;
        RunTool(BuildPath("tools/talvex-walk"),
                QStringList{"-p", QString::number(relay.port())} + args, &ok);
        QVERIFY(ok);
        const QStringList got = relay.requests();
        if (got != want) qWarning().noquote() << got.join(QLatin1Char('\n'));
        QCOMPARE(got, want);
    }
};

QTEST_MAIN(TestRequests)
#include "tst_requests.moc"
