// Outside peers: net-snmp's tools against talvex-sim, and talvex-walk against net-snmp's snmpd.
#include "tests/common/columns.h"
#include "tests/common/peers.h"
#include "qvsnmp/ber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

namespace {

// One request to an agent on loopback and its answer; nothing after two tries of a second.
std::optional<ber::Message> exchange(quint16 port, const ber::Message& request) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const std::vector<uint8_t> bytes = ber::encode(request);
    std::optional<ber::Message> answer;
    std::vector<uint8_t> buf(65536);
    for (int attempt = 0; attempt < 2 && !answer; ++attempt) {
        ::send(fd, bytes.data(), bytes.size(), 0);
        pollfd p{fd, POLLIN, 0};
        while (!answer && ::poll(&p, 1, 1000) > 0) {
            ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
            auto m = n > 0 ? ber::decode(buf.data(), size_t(n)) : std::nullopt;
            if (m && m->pdu.requestId == request.pdu.requestId)
                answer = std::move(m);
        }
    }
    ::close(fd);
    return answer;
}

ber::Oid oid(const QString& text) {
    ber::Oid o;
    if (!ber::parseOid(text.toStdString(), o))
        qFatal("not an OID: %s", qPrintable(text));
    return o;
}

QString text(const ber::Oid& o) {
    return QString::fromStdString(ber::oidToString(o));
}

ber::Message request(int version, const QString& community, uint8_t type, const QStringList& oids) {
    static int32_t id = 1000;
    ber::Message m;
    m.version = version;
    m.community = community.toStdString();
    m.pdu.type = type;
    m.pdu.requestId = ++id;
    for (const QString& o : oids)
        m.pdu.bindings.push_back({oid(o), ber::Value::null()});
    return m;
}

// A binding as a line to compare: OID, type and value (the value left out where it moves).
QString describe(const ber::VarBind& vb, const QStringList& moving = {}) {
    const QString name = text(vb.oid);
    QString value = QString::fromLatin1(QByteArray::fromStdString(vb.value.octets).toHex()) +
                    QString::number(vb.value.integer) + text(vb.value.oid);
    if (moving.contains(name))
        value = QStringLiteral("(moves)");
    return QStringLiteral("%1 %2 %3").arg(name, QString::number(vb.value.type, 16), value);
}

QStringList snmpArgs(const QString& version, const QString& community, quint16 port) {
    return {"-" + version, "-c", community, "-t", "1", "-r", "1", "-On", "-Oe", "-Ot", "-Oq",
            QStringLiteral("127.0.0.1:%1").arg(port)};
}

// "OID value" lines of snmpwalk -On -Oq, or "OID = value" lines of talvex-walk, in their order,
// OIDs without the leading dot.
QList<std::pair<QString, QString>> orderedBindings(const QString& out, bool netsnmp) {
    QStringList lines;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        // net-snmp wraps long hex strings onto more lines, and ends a walk at the end of the
        // tree with a line of its own
        if (netsnmp && !line.startsWith('.') && !lines.isEmpty())
            lines.last() += line;
        else if (!(netsnmp && line.contains(" No more variables left")))
            lines << line;
    }
    QList<std::pair<QString, QString>> list;
    for (const QString& line : std::as_const(lines)) {
        int sep = netsnmp ? line.indexOf(' ') : line.indexOf(" = ");
        QString oid = line.left(sep);
        QString value = line.mid(sep + (netsnmp ? 1 : 3));
        if (oid.startsWith('.'))
            oid.remove(0, 1);
        if (netsnmp) {
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2).trimmed();
            if (value.startsWith('.'))
                value.remove(0, 1);
        }
        list.append({oid, value});
    }
    return list;
}

QMap<QString, QString> bindings(const QString& out, bool netsnmp) {
    QMap<QString, QString> map;
    for (const auto& [oid, value] : orderedBindings(out, netsnmp))
        map.insert(oid, value);
    return map;
}

QString hexOf(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toHex(' ').toUpper());
}

// snmpd's SNMPv3 users: one read-only user per authentication protocol with AES, one without
// privacy, one without authentication, and a read-write user for the system group.
const char* const kV3Auths[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};

QByteArray snmpdUsers() {
    QByteArray conf;
    for (const char* a : kV3Auths)
        conf += QByteArray("createUser ro_") + a + " " + a + " maplesyrup AES pancakemix\n" +
                "rouser ro_" + a + " priv\n";
    conf += "createUser ro_auth SHA-256 maplesyrup\nrouser ro_auth auth\n"
            "createUser ro_none\nrouser ro_none noauth\n"
            "createUser rw_sys SHA-512 maplesyrup AES pancakemix\n"
            "rwuser rw_sys priv -V sysrw\n";
    return conf;
}

// The options of both tools for a user of snmpdUsers().
QStringList v3Args(const QString& name, const QString& level, const QString& auth = {},
                   const QString& priv = {}, const QString& authPass = "maplesyrup") {
    QStringList args{"-v", "3", "-u", name, "-l", level};
    if (!auth.isEmpty())
        args << "-a" << auth << "-A" << authPass;
    if (!priv.isEmpty())
        args << "-x" << priv << "-X" << "pancakemix";
    return args;
}

} // namespace

class TestInterop : public QObject {
    Q_OBJECT
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<SnmpdProcess> m_snmpd;
    std::unique_ptr<SimProcess> m_mirror;
    QString m_last; // the last OID snmpd serves

    std::unique_ptr<SnmpdProcess> m_snmpdV3;
    QTemporaryDir m_netsnmpHome;

    SnmpdProcess* snmpd() {
        if (!m_snmpd)
            m_snmpd = std::make_unique<SnmpdProcess>();
        return m_snmpd.get();
    }

    SnmpdProcess* snmpdV3() {
        if (!m_snmpdV3) {
            // net-snmp's tools keep what they learn of engines in a directory of this test's
            m_netsnmpHome.setAutoRemove(true);
            qputenv("SNMP_PERSISTENT_DIR", m_netsnmpHome.path().toUtf8());
            m_snmpdV3 = std::make_unique<SnmpdProcess>(true, snmpdUsers());
        }
        return m_snmpdV3.get();
    }

    ToolRun walkV3(const QStringList& args, const QString& verb, const QStringList& oids) {
        return RunToolIn(BuildPath("tools/talvex-walk"),
                           args + QStringList{"-p", QString::number(snmpdV3()->port()), "-t", "2000",
                                              "127.0.0.1", verb} + oids);
    }

    // Copies what snmpd serves from start on, while it lies below within, into m_mirror.
    void mirror(const QString& start, const QString& within) {
        ber::Oid at = oid(start);
        const ber::Oid below = oid(within);
        for (int n = 0; n < 10000; ++n) {
            auto answer = exchange(snmpd()->port(), request(ber::V2c, "public", ber::GetNextRequest, {text(at)}));
            QVERIFY(answer && answer->pdu.bindings.size() == 1);
            const ber::VarBind& vb = answer->pdu.bindings[0];
            if (vb.value.isException() || !ber::oidStartsWith(vb.oid, below))
                return;
            const ber::Value& v = vb.value;
            QString put;
            switch (v.type) {
            case ber::Integer: put = "i " + QString::number(v.integer); break;
            case ber::OctetString: put = "x " + QString::fromLatin1(QByteArray::fromStdString(v.octets).toHex()); break;
            case ber::ObjectId: put = "o " + text(v.oid); break;
            case ber::TimeTicks: put = "t " + QString::number(v.integer); break;
            case ber::Counter32: put = "c " + QString::number(v.integer); break;
            case ber::Gauge32: put = "u " + QString::number(v.integer); break;
            default: QFAIL(qPrintable(QStringLiteral("cannot mirror type %1 of %2").arg(v.type).arg(text(vb.oid))));
            }
            QCOMPARE(m_mirror->command("put " + text(vb.oid) + " " + put), QString("ok"));
            at = vb.oid;
            m_last = text(at);
        }
    }

    QString tool(const QString& name, QStringList args, const QStringList& tail, bool* ok = nullptr) {
        return RunTool(name, args + tail, ok);
    }

private slots:
    void initTestCase() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
    }

    void netsnmpReadsTheSimulator_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("walker");
        QTest::newRow("v1") << "v1" << "snmpwalk";
        QTest::newRow("v2c") << "v2c" << "snmpwalk";
        QTest::newRow("v2c GETBULK") << "v2c" << "snmpbulkwalk";
    }
    void netsnmpReadsTheSimulator() {
        QFETCH(QString, version);
        QFETCH(QString, walker);
        bool ok = false;
        QString out = tool("snmpget", snmpArgs(version, "orchid", m_sim->port()),
                           {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0", "1.3.6.1.2.1.2.1.0"}, &ok);
        QVERIFY2(ok, qPrintable(out));
        auto got = bindings(out, true);
        QCOMPARE(got.value("1.3.6.1.2.1.1.5.0"), QString("talvex-sim"));
        QCOMPARE(got.value("1.3.6.1.2.1.1.7.0"), QString("78"));
        QCOMPARE(got.value("1.3.6.1.2.1.2.1.0"), QString("130"));

        out = tool(walker, snmpArgs(version, "orchid", m_sim->port()), {"1.3.6.1.2.1.2.2.1.2"}, &ok);
        QVERIFY(ok);
        got = bindings(out, true);
        QCOMPARE(got.size(), 130);
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.2.3"), QString("FastEthernet 1/1"));

        // The whole tree walks to its end without a loop or a gap.
        out = tool(walker, snmpArgs(version, "orchid", m_sim->port()), {"1.3.6.1"}, &ok);
        QVERIFY(ok);
        QVERIFY(bindings(out, true).size() > 130 * 22);
    }

    void netsnmpWritesTheSimulator_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("v1") << "v1";
        QTest::newRow("v2c") << "v2c";
    }
    void netsnmpWritesTheSimulator() {
        QFETCH(QString, version);
        bool ok = false;
        QString contact = "ops-" + version + "@example.net";
        QString out = tool("snmpset", snmpArgs(version, "saffron", m_sim->port()),
                           {"1.3.6.1.2.1.1.4.0", "s", contact, "1.3.6.1.2.1.2.2.1.7.5", "i", "2"}, &ok);
        QVERIFY2(ok, qPrintable(out));
        out = tool("snmpget", snmpArgs(version, "orchid", m_sim->port()),
                   {"1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.2.2.1.7.5", "1.3.6.1.2.1.2.2.1.8.5"}, &ok);
        auto got = bindings(out, true);
        QCOMPARE(got.value("1.3.6.1.2.1.1.4.0"), contact);
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.7.5"), QString("2"));
        QCOMPARE(got.value("1.3.6.1.2.1.2.2.1.8.5"), QString("2"));
        tool("snmpset", snmpArgs(version, "saffron", m_sim->port()), {"1.3.6.1.2.1.2.2.1.7.5", "i", "1"});
    }

    void refusedWrites_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("community");
        QTest::addColumn<QStringList>("set");
        QTest::addColumn<QString>("reason");
        QTest::newRow("v2c read-only object") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.1.0", "s", "x"} << "notWritable";
        QTest::newRow("v1 read-only object") << "v1" << "saffron" << QStringList{"1.3.6.1.2.1.1.1.0", "s", "x"} << "noSuchName";
        QTest::newRow("v2c wrong type") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << "wrongType";
        QTest::newRow("v1 wrong type") << "v1" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << "badValue";
        QTest::newRow("v2c wrong value") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.2.2.1.7.3", "i", "9"} << "wrongValue";
        QTest::newRow("v2c no such object") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.99.0", "i", "1"} << "notWritable";
        QTest::newRow("v2c no such instance") << "v2c" << "saffron" << QStringList{"1.3.6.1.2.1.1.5.1", "s", "x"} << "noCreation";
        QTest::newRow("v2c read community") << "v2c" << "orchid" << QStringList{"1.3.6.1.2.1.1.5.0", "s", "x"} << "noAccess";
    }
    void refusedWrites() {
        QFETCH(QString, version);
        QFETCH(QString, community);
        QFETCH(QStringList, set);
        QFETCH(QString, reason);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("snmpset", snmpArgs(version, community, m_sim->port()) + set);
        QVERIFY(p.waitForFinished(10000));
        QString out = QString::fromUtf8(p.readAll());
        QVERIFY2(out.contains(reason), qPrintable(out));
        // and nothing changed
        QString after = tool("snmpget", snmpArgs("v2c", "orchid", m_sim->port()), {"1.3.6.1.2.1.1.5.0"});
        QCOMPARE(bindings(after, true).value("1.3.6.1.2.1.1.5.0"), QString("talvex-sim"));
    }

    // The exception a get answers for a missing OID, and the error status and index a set is
    // refused with, are those of snmpd, asked the same on both.
    void getExceptionsMatchSnmpd_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("exception");
        QTest::newRow("a group") << "1.3.6.1.2.1.1" << int(ber::NoSuchObject);
        QTest::newRow("a scalar's own OID") << "1.3.6.1.2.1.1.4" << int(ber::NoSuchInstance);
        QTest::newRow("a missing instance") << "1.3.6.1.2.1.1.4.1" << int(ber::NoSuchInstance);
        QTest::newRow("an instance below an instance") << "1.3.6.1.2.1.1.4.0.0" << int(ber::NoSuchInstance);
        QTest::newRow("a missing object") << "1.3.6.1.2.1.1.99.0" << int(ber::NoSuchObject);
        QTest::newRow("the table") << "1.3.6.1.2.1.2.2" << int(ber::NoSuchObject);
        QTest::newRow("the entry") << "1.3.6.1.2.1.2.2.1" << int(ber::NoSuchObject);
        QTest::newRow("a column") << "1.3.6.1.2.1.2.2.1.2" << int(ber::NoSuchInstance);
        QTest::newRow("a missing row") << "1.3.6.1.2.1.2.2.1.2.99999" << int(ber::NoSuchInstance);
        QTest::newRow("a missing column") << "1.3.6.1.2.1.2.2.1.99.1" << int(ber::NoSuchObject);
        QTest::newRow("an enterprise") << "1.3.6.1.4.1.58213.99.0" << int(ber::NoSuchObject);
    }
    void getExceptionsMatchSnmpd() {
        QFETCH(QString, name);
        QFETCH(int, exception);
        QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
        auto ours = exchange(m_sim->port(), request(ber::V2c, "orchid", ber::GetRequest, {name}));
        auto theirs = exchange(snmpd()->port(), request(ber::V2c, "public", ber::GetRequest, {name}));
        QVERIFY(ours && theirs);
        QCOMPARE(int(theirs->pdu.bindings.at(0).value.type), exception);
        QCOMPARE(int(ours->pdu.bindings.at(0).value.type), exception);
    }

    void setErrorsMatchSnmpd_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QStringList>("set"); // OID TYPE VALUE ...; TYPE s or i
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("index");
        const int v1 = ber::V1, v2 = ber::V2c;
        QTest::newRow("missing instance of a writable object") << v2 << true << QStringList{"1.3.6.1.2.1.1.4.1", "s", "x"} << int(ber::NoCreation) << 1;
        QTest::newRow("... with a value of the wrong type") << v2 << true << QStringList{"1.3.6.1.2.1.1.4.1", "i", "3"} << int(ber::NoCreation) << 1;
        QTest::newRow("instance below an instance") << v2 << true << QStringList{"1.3.6.1.2.1.1.4.0.0", "s", "x"} << int(ber::NoCreation) << 1;
        QTest::newRow("the object's own OID") << v2 << true << QStringList{"1.3.6.1.2.1.1.4", "s", "x"} << int(ber::NoCreation) << 1;
        QTest::newRow("missing object") << v2 << true << QStringList{"1.3.6.1.4.1.58213.99.0", "s", "x"} << int(ber::NotWritable) << 1;
        QTest::newRow("wrong type") << v2 << true << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << int(ber::WrongType) << 1;
        QTest::newRow("second binding refused") << v2 << true << QStringList{"1.3.6.1.2.1.1.5.0", "s", "x", "1.3.6.1.2.1.1.4.1", "s", "x"} << int(ber::NoCreation) << 2;
        QTest::newRow("read community") << v2 << false << QStringList{"1.3.6.1.2.1.1.5.0", "s", "x"} << int(ber::NoAccess) << 1;
        QTest::newRow("read community, nothing asked") << v2 << false << QStringList{} << 0 << 0;
        QTest::newRow("nothing asked") << v2 << true << QStringList{} << 0 << 0;
        QTest::newRow("v1 missing instance") << v1 << true << QStringList{"1.3.6.1.2.1.1.4.1", "s", "x"} << int(ber::NoSuchName) << 1;
        QTest::newRow("v1 missing object") << v1 << true << QStringList{"1.3.6.1.4.1.58213.99.0", "s", "x"} << int(ber::NoSuchName) << 1;
        QTest::newRow("v1 wrong type") << v1 << true << QStringList{"1.3.6.1.2.1.1.5.0", "i", "3"} << int(ber::BadValue) << 1;
        QTest::newRow("v1 read community") << v1 << false << QStringList{"1.3.6.1.2.1.1.5.0", "s", "x"} << int(ber::NoSuchName) << 1;
        QTest::newRow("v1 read community, nothing asked") << v1 << false << QStringList{} << 0 << 0;
    }
    void setErrorsMatchSnmpd() {
        QFETCH(int, version);
        QFETCH(bool, write);
        QFETCH(QStringList, set);
        QFETCH(int, status);
        QFETCH(int, index);
        QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
        auto ask = [&](quint16 port, const QString& community) {
            ber::Message m = request(version, community, ber::SetRequest, {});
            for (qsizetype i = 0; i + 2 < set.size(); i += 3)
                m.pdu.bindings.push_back({oid(set[i]), set[i + 1] == "i" ? ber::Value::makeInteger(set[i + 2].toInt())
                                                                          : ber::Value::makeOctets(set[i + 2].toStdString())});
            return exchange(port, m);
        };
        auto theirs = ask(snmpd()->port(), write ? "private" : "public");
        auto ours = ask(m_sim->port(), write ? "saffron" : "orchid");
        QVERIFY(ours && theirs);
        QCOMPARE(theirs->pdu.errorStatus, status);
        QCOMPARE(theirs->pdu.errorIndex, index);
        QCOMPARE(ours->pdu.errorStatus, status);
        QCOMPARE(ours->pdu.errorIndex, index);
        QCOMPARE(ours->pdu.bindings.size(), theirs->pdu.bindings.size());
        QCOMPARE(bindings(tool("snmpget", snmpArgs("v2c", "orchid", m_sim->port()), {"1.3.6.1.2.1.1.5.0"}), true)
                     .value("1.3.6.1.2.1.1.5.0"),
                 QString("talvex-sim"));
    }

    // GETBULK against a simulator that holds what snmpd holds in the system group and in the
    // SNMP framework tables at the end of its tree: the same answer, binding for binding.
    void getBulkMatchesSnmpd_data() {
        QTest::addColumn<int>("nonRepeaters");
        QTest::addColumn<int>("maxRepetitions");
        QTest::addColumn<QStringList>("oids"); // "last": the last OID snmpd serves
        QTest::newRow("repeaters only") << 0 << 5 << QStringList{"1.3.6.1.2.1.1"};
        QTest::newRow("a non-repeater and two repeaters") << 1 << 3
            << QStringList{"1.3.6.1.2.1.1.4.0", "1.3.6.1.2.1.1.9.1.2", "1.3.6.1.2.1.1.9.1.3"};
        QTest::newRow("more non-repeaters than bindings") << 5 << 3 << QStringList{"1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.9.1.4"};
        QTest::newRow("negative counts") << -3 << -2 << QStringList{"1.3.6.1.2.1.1", "1.3.6.1.2.1.1.4"};
        QTest::newRow("negative non-repeaters") << -1 << 2 << QStringList{"1.3.6.1.2.1.1.2.0"};
        QTest::newRow("no repetitions") << 1 << 0 << QStringList{"1.3.6.1.2.1.1", "1.3.6.1.2.1.1.4"};
        QTest::newRow("to the end of the tree") << 0 << 200 << QStringList{"1.3.6.1.6.3.16.1.5.2.1.6"};
        QTest::newRow("one repeater at the end before the other") << 0 << 4 << QStringList{"1.3.6.1.6.3.16.1.5.2.1.6", "last"};
        QTest::newRow("a non-repeater past the end") << 1 << 2 << QStringList{"last", "1.3.6.1.6.3.16.1.5.2.1.6"};
        QTest::newRow("everything past the end") << 0 << 10 << QStringList{"1.3.6.1.9", "1.3.6.1.8"};
        QTest::newRow("nothing asked") << 0 << 10 << QStringList{};
    }
    void getBulkMatchesSnmpd() {
        QFETCH(int, nonRepeaters);
        QFETCH(int, maxRepetitions);
        QFETCH(QStringList, oids);
        QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
        if (!m_mirror) {
            m_mirror = std::make_unique<SimProcess>(QStringList{"--static"});
            QVERIFY(m_mirror->started());
            QCOMPARE(m_mirror->command("delbelow 1.3"), QString("ok"));
            mirror("1.3.6.1.2.1.1", "1.3.6.1.2.1.1");
            mirror("1.3.6.1.6.3", "1.3");
        }
        QVERIFY(!m_last.isEmpty());
        oids.replaceInStrings(QRegularExpression("^last$"), m_last);
        auto ask = [&](quint16 port, const QString& community) {
            ber::Message m = request(ber::V2c, community, ber::GetBulkRequest, oids);
            m.pdu.errorStatus = nonRepeaters;
            m.pdu.errorIndex = maxRepetitions;
            return exchange(port, m);
        };
        auto theirs = ask(snmpd()->port(), "public");
        auto ours = ask(m_mirror->port(), "orchid");
        QVERIFY(ours && theirs);
        QCOMPARE(ours->pdu.errorStatus, theirs->pdu.errorStatus);
        QCOMPARE(ours->pdu.errorIndex, theirs->pdu.errorIndex);
        const QStringList moving{"1.3.6.1.2.1.1.3.0", "1.3.6.1.6.3.10.2.1.3.0"}; // sysUpTime, snmpEngineTime
        QStringList a, b;
        for (const ber::VarBind& vb : ours->pdu.bindings)
            a << describe(vb, moving);
        for (const ber::VarBind& vb : theirs->pdu.bindings)
            b << describe(vb, moving);
        QCOMPARE(a, b);
    }

    void getBulkInV1GetsNoAnswer() {
        const QString before = m_sim->command("served");
        ber::Message m = request(ber::V1, "orchid", ber::GetBulkRequest, {"1.3.6.1.2.1.1"});
        m.pdu.errorIndex = 5;
        QVERIFY(!exchange(m_sim->port(), m));
        QCOMPARE(m_sim->command("served"), before);
    }

    // Asked for more than a datagram holds, the agent answers what fits, in order.
    void getBulkAnswerIsCutToTheLargestMessage() {
        QStringList columns;
        for (int c = 1; c <= 22; ++c)
            columns << QStringLiteral("1.3.6.1.2.1.2.2.1.%1").arg(c);
        ber::Message m = request(ber::V2c, "orchid", ber::GetBulkRequest, columns);
        m.pdu.errorIndex = 100000;
        auto answer = exchange(m_sim->port(), m);
        QVERIFY(answer);
        QCOMPARE(answer->pdu.errorStatus, 0);
        QVERIFY(ber::encode(*answer).size() <= ber::MaxMessage);
        const auto& b = answer->pdu.bindings;
        QVERIFY2(b.size() >= 22 * 130 && b.size() < 22 * 100000, qPrintable(QString::number(b.size())));
        for (size_t k = 0; k < 22 * 130; ++k)
            QCOMPARE(text(b[k].oid), QStringLiteral("1.3.6.1.2.1.2.2.1.%1.%2").arg(k % 22 + 1).arg(k / 22 + 1));
    }

    // With answers held back, the agent keeps at most a bounded number of them, as a busy agent
    // would, and drops the rest.
    void delayedAnswersAreBounded() {
        QCOMPARE(m_sim->command("delay 600000"), QString("ok"));
        const int before = m_sim->command("served").toInt();
        const int held = m_sim->command("waiting").toInt();
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_sim->port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        const std::vector<uint8_t> get = ber::encode(request(ber::V2c, "orchid", ber::GetRequest, {"1.3.6.1.2.1.1.5.0"}));
        for (int i = 0; i < 1300; ++i) {
            ::send(fd, get.data(), get.size(), 0);
            if (i % 20 == 19)
                QThread::msleep(2); // let the agent drain its socket
        }
        ::close(fd);
        QTRY_VERIFY(m_sim->command("served").toInt() - before > 1024);
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        QCOMPARE(held, 0);
        QCOMPARE(m_sim->command("waiting"), QString("1024"));
    }

    void simulatorRefusesOptionsOutOfRange_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("port above 65535") << QStringList{"--port", "70000"} << "--port wants a number from 0 to 65535, not 70000";
        QTest::newRow("port not a number") << QStringList{"--port", "abc"} << "--port wants a number";
        QTest::newRow("too many rows") << QStringList{"--if-rows", "99999999999"} << "--if-rows wants a number from 0 to 65000";
        QTest::newRow("negative delay") << QStringList{"--delay", "-1"} << "--delay wants a number from 0 to 600000";
        QTest::newRow("binding delays the wrong way round")
            << QStringList{"--binding-delay", "20-10"}
            << "--binding-delay wants milliseconds, or MIN-MAX, from 0 to 600000";
        QTest::newRow("too many inform retries") << QStringList{"--notify-retries", "101"}
                                                 << "--notify-retries wants a number from 0 to 100";
        QTest::newRow("seed over 32 bits") << QStringList{"--seed", "4294967296"} << "--seed wants a number";
        QTest::newRow("no value") << QStringList{"--lifetime"} << "--lifetime needs a value";
        QTest::newRow("unknown option") << QStringList{"--frob"} << "unknown option --frob";
    }
    void simulatorRefusesOptionsOutOfRange() {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        QProcess sim;
        sim.start(BuildPath("sim/talvex-sim"), options);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY2(QString::fromUtf8(sim.readAllStandardError()).contains(message), qPrintable(message));
    }

    // put refuses a value that does not fit its type rather than cut it; so do the fault switches.
    void commandsRefuseValuesOutOfRange_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qlonglong>("stored");
        const QString at = "put 1.3.6.1.4.1.58213.99.1.0 ";
        QTest::newRow("integer over 32 bits") << at + "i 99999999999" << false << 0ll;
        QTest::newRow("integer just over") << at + "i 2147483648" << false << 0ll;
        QTest::newRow("smallest integer") << at + "i -2147483648" << true << -2147483648ll;
        QTest::newRow("gauge over 32 bits") << at + "u 4294967296" << false << 0ll;
        QTest::newRow("largest gauge") << at + "u 4294967295" << true << 4294967295ll;
        QTest::newRow("negative counter") << at + "c -1" << false << 0ll;
        QTest::newRow("number with junk") << at + "t 12abc" << false << 0ll;
        QTest::newRow("odd hex") << at + "x abc" << false << 0ll;
        QTest::newRow("bad hex digit") << at + "x 0g" << false << 0ll;
        QTest::newRow("bad address") << at + "a 256.1.1.1" << false << 0ll;
        QTest::newRow("bad OID") << at + "o 1..3" << false << 0ll;
        QTest::newRow("unknown type") << at + "q 1" << false << 0ll;
        QTest::newRow("negative delay") << "delay -5" << false << 0ll;
        QTest::newRow("binding delays the wrong way round") << "bindingdelay 9-3" << false << 0ll;
        QTest::newRow("binding delay range") << "bindingdelay 3-9" << true << 0ll;
        QTest::newRow("flag of 2") << "drop 2" << false << 0ll;
        QTest::newRow("count with junk") << "truncate 3x" << false << 0ll;
    }
    void commandsRefuseValuesOutOfRange() {
        QFETCH(QString, line);
        QFETCH(bool, ok);
        QFETCH(qlonglong, stored);
        QCOMPARE(m_sim->command("del 1.3.6.1.4.1.58213.99.1.0"), QString("ok"));
        const QString reply = m_sim->command(line);
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        QVERIFY2(ok ? reply == "ok" : reply.startsWith("error: "), qPrintable(reply));
        auto answer = exchange(m_sim->port(), request(ber::V2c, "orchid", ber::GetRequest, {"1.3.6.1.4.1.58213.99.1.0"}));
        QVERIFY(answer);
        const ber::Value& v = answer->pdu.bindings.at(0).value;
        QCOMPARE(v.isException(), !ok || !line.startsWith("put"));
        if (ok && line.startsWith("put"))
            QCOMPARE(qlonglong(v.integer), stored);
    }

    // An inform nobody answers is sent once, then again as often as --notify-retries says, and
    // then given up.
    void unansweredInformIsSentAgainAsOftenAsAsked_data() {
        QTest::addColumn<int>("retries");
        QTest::newRow("no retry") << 0;
        QTest::newRow("two retries") << 2;
    }
    void unansweredInformIsSentAgainAsOftenAsAsked() {
        QFETCH(int, retries);
        quint16 port = 0;
        const int fd = LoopbackUdpSocket(&port);
        QVERIFY(fd >= 0);
        int copies = 0;
        QSet<QByteArray> sent;
        {
            SimProcess sim({"--static", "--notify", QStringLiteral("127.0.0.1:%1").arg(port),
                            "--notify-inform", "--notify-timeout", "50", "--notify-retries",
                            QString::number(retries)});
            // The coldStart sent at start, until it is given up.
            QTRY_COMPARE_WITH_TIMEOUT(sim.command("notify pending"),
                                      QStringLiteral("0 pending, 1 given up"), 5000);
            // Copies of one inform are the same datagram.
            std::vector<char> buf(65536);
            for (ssize_t n; (n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT)) > 0; ++copies)
                sent.insert(QByteArray(buf.data(), n));
        }
        ::close(fd);
        QCOMPARE(copies, retries + 1);
        QCOMPARE(sent.size(), 1);
    }

    // A new traffic rate goes on from where the port's counters stand: they never go back.
    void newTrafficRateContinuesTheCounters() {
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        auto inOctets = [&] {
            return bindings(tool("snmpget", snmpArgs("v2c", "orchid", sim.port()),
                                 {"1.3.6.1.2.1.31.1.1.1.6.3"}),
                            true)
                .value("1.3.6.1.2.1.31.1.1.1.6.3")
                .toULongLong();
        };
        QCOMPARE(sim.command("traffic 3 80000000 0"), QStringLiteral("ok"));
        QTest::qWait(300); // megabytes on the counter
        const quint64 before = inOctets();
        QVERIFY(before > 1000000);
        QCOMPARE(sim.command("traffic 3 8000 0"), QStringLiteral("ok"));
        const quint64 after = inOctets();
        QVERIFY2(after >= before, qPrintable(QStringLiteral("%1 after %2").arg(after).arg(before)));
    }

    // talvex-walk bulk prints what snmpbulkwalk -On prints, in the same order, for the same
    // rows per request.
    void talvexWalkBulkMatchesSnmpbulkwalk_data() {
        QTest::addColumn<QString>("subtree");
        QTest::addColumn<int>("rows"); // 0: both tools' default
        QTest::newRow("system") << "1.3.6.1.2.1.1" << 0;
        QTest::newRow("system, 3 rows a request") << "1.3.6.1.2.1.1" << 3;
        QTest::newRow("ifDescr, 1 row a request") << "1.3.6.1.2.1.2.2.1.2" << 1;
        QTest::newRow("ifType") << "1.3.6.1.2.1.2.2.1.3" << 0;
        QTest::newRow("framework tables to the end of the tree") << "1.3.6.1.6.3" << 0;
    }
    void talvexWalkBulkMatchesSnmpbulkwalk() {
        QFETCH(QString, subtree);
        QFETCH(int, rows);
        QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
        QStringList theirArgs = snmpArgs("v2c", "public", snmpd()->port());
        QStringList ourArgs{"-c", "public", "-p", QString::number(snmpd()->port())};
        if (rows) {
            theirArgs.prepend(QStringLiteral("-Cr%1").arg(rows));
            ourArgs << "-r" << QString::number(rows);
        }
        bool ok = false;
        auto theirs = orderedBindings(tool("snmpbulkwalk", theirArgs, {subtree}, &ok), true);
        QVERIFY(ok);
        auto ours = orderedBindings(RunTool(BuildPath("tools/talvex-walk"), ourArgs + QStringList{"127.0.0.1", "bulk", subtree}, &ok), false);
        QVERIFY(ok);
        QVERIFY(!theirs.isEmpty());
        QCOMPARE(ours.size(), theirs.size());
        for (qsizetype i = 0; i < ours.size(); ++i) {
            QCOMPARE(ours[i].first, theirs[i].first);
            if (ours[i].first == "1.3.6.1.2.1.1.3.0" || ours[i].first == "1.3.6.1.6.3.10.2.1.3.0")
                continue; // uptime and engine time move between the two walks
            QVERIFY2(ours[i].second == theirs[i].second || hexOf(ours[i].second) == theirs[i].second ||
                         ours[i].second.remove(' ') == QString(theirs[i].second).remove(' '),
                     qPrintable(ours[i].first + ": ours " + ours[i].second + ", snmpbulkwalk " + theirs[i].second));
        }
    }

    // A table with holes walked with its columns together: talvex-walk walk and bulk print the
    // bindings snmpwalk of each column prints (a hole prints nothing) and end where the last of
    // those walks ends. snmpd lacks five of the routing table's columns; the simulator's
    // routing table gets holes of every kind.
    void talvexWalkOfSparseTableMatchesSnmpwalk_data() {
        QTest::addColumn<bool>("fromSnmpd");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("rows"); // a GETBULK's rows a request, empty for the default
        for (const char* verb : {"walk", "bulk"}) {
            QTest::addRow("snmpd, %s", verb) << true << verb << "";
            QTest::addRow("simulator, %s", verb) << false << verb << "";
        }
        QTest::newRow("simulator, bulk, 3 rows a request") << false << "bulk" << "3";
    }
    void talvexWalkOfSparseTableMatchesSnmpwalk() {
        QFETCH(bool, fromSnmpd);
        QFETCH(QString, verb);
        QFETCH(QString, rows);
        const QString entry = QStringLiteral("1.3.6.1.2.1.4.21.1.");
        QStringList columns;
        for (int c = 1; c <= 13; ++c)
            columns << entry + QString::number(c);
        std::unique_ptr<SimProcess> sim;
        quint16 port = 0;
        QString community;
        if (fromSnmpd) {
            if (qEnvironmentVariable("TALVEX_PEER_TABLES") != QLatin1String("1"))
                QSKIP("snmpd has no routes here: scripts/loopback-only gives its namespace some");
            QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
            port = snmpd()->port();
            community = QStringLiteral("public");
        } else {
            sim = std::make_unique<SimProcess>(QStringList{"--static"});
            QVERIFY(sim->started());
            port = sim->port();
            community = QStringLiteral("orchid");
            const std::pair<int, Hole> holes[] = {{7, Hole::Middle}, {8, Hole::FirstAndLast},
                                                  {10, Hole::EndsEarly}, {12, Hole::Column},
                                                  {1, Hole::EndsEarly}};
            for (const auto& [column, kind] : holes) {
                bool made = false;
                MakeHoles(*sim, kind, entry + QString::number(column), community, &made);
                QVERIFY(made);
            }
        }
        QMap<QString, QString> theirs;
        for (const QString& column : std::as_const(columns)) {
            bool ok = false;
            const QString out = tool("snmpwalk", snmpArgs("v2c", community, port), {column}, &ok);
            QVERIFY(ok);
            for (const auto& [oid, value] : orderedBindings(out, true))
                if (oid.startsWith(column + '.'))
                    theirs.insert(oid, value);
        }
        QVERIFY(theirs.size() > 10);
        QStringList args{"-c", community, "-p", QString::number(port)};
        if (!rows.isEmpty())
            args << "-r" << rows;
        bool ok = false;
        args << "127.0.0.1" << verb << columns;
        const QString out = RunTool(BuildPath("tools/talvex-walk"), args, &ok);
        const QMap<QString, QString> ours = bindings(out, false);
        QVERIFY(ok);
        QCOMPARE(ours.keys(), theirs.keys());
        for (auto it = ours.begin(); it != ours.end(); ++it) {
            QString value = it.value();
            const QString& their = theirs[it.key()];
            QVERIFY2(value == their || value.remove(':') == QString(their).remove(' '),
                     qPrintable(it.key() + ": ours " + it.value() + ", snmpwalk " + their));
        }
    }

    // Each refused before anything is sent, with one line that says why, and status 2.
    void talvexWalkRefusesBadArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString agent = "127.0.0.1";
        QTest::newRow("port above 65535") << QStringList{"-p", "83736", agent, "get", "1.3.6.1.2.1.1.5.0"} << "-p wants a number from 1 to 65535";
        QTest::newRow("port not a number") << QStringList{"-p", "abc", agent, "get", "1.3.6.1.2.1.1.5.0"} << "-p wants a number";
        QTest::newRow("time-out not a number") << QStringList{"-t", "abc", agent, "get", "1.3.6.1.2.1.1.5.0"} << "-t wants a number from 1 to 600000";
        QTest::newRow("negative time-out") << QStringList{"-t", "-5", agent, "get", "1.3.6.1.2.1.1.5.0"} << "-t wants a number";
        QTest::newRow("time-out over 32 bits") << QStringList{"-t", "99999999999", agent, "get", "1.3.6.1.2.1.1.5.0"} << "-t wants a number";
        QTest::newRow("no rows") << QStringList{"-r", "0", agent, "bulk", "1.3.6.1.2.1.1"} << "-r wants a number from 1";
        QTest::newRow("OID of 128 characters") << QStringList{agent, "get", "1.3" + QString(".1").repeated(62) + "1"} << "longer than 127";
        QTest::newRow("not an OID") << QStringList{agent, "get", "1.3..6"} << "is not an OID";
        QTest::newRow("second arc too large") << QStringList{agent, "get", "2.4294967295"} << "is not an OID";
        QTest::newRow("GETBULK in v1") << QStringList{"-1", agent, "bulk", "1.3.6.1.2.1.1"} << "bulk needs SNMPv2c";
        QTest::newRow("unknown command") << QStringList{agent, "fetch", "1.3.6.1.2.1.1"} << "unknown command fetch";
        QTest::newRow("option without its value") << QStringList{agent, "get", "1.3.6.1.2.1.1.5.0", "-p"} << "is not an OID";
        QTest::newRow("set without a value") << QStringList{agent, "set", "1.3.6.1.2.1.1.5.0", "s"} << "OID TYPE VALUE";
        QTest::newRow("no such host") << QStringList{"notanaddress", "get", "1.3.6.1.2.1.1.5.0"} << "could not be resolved";
        QTest::newRow("no host name") << QStringList{"127.0.0.1:161", "get", "1.3.6.1.2.1.1.5.0"}
                                      << "neither an IP address nor a host name";
        QTest::newRow("passphrase glued to its option")
            << QStringList{"-v", "3", "-u", "ops", "-l", "authNoPriv", "-a", "SHA", "-Amaplesyrup",
                           agent, "get", "1.3.6.1.2.1.1.5.0"}
            << "-A takes its passphrase as the next argument";
        QTest::newRow("unknown option with control characters")
            << QStringList{"-\x1b[2J" + QString(100, 'o'), agent, "get", "1.3.6.1.2.1.1.5.0"}
            << "unknown option -\\x1b[2J" + QString(35, 'o') + "...\n";
    }
    void talvexWalkRefusesBadArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString before = m_sim->command("served");
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), QStringList{"-c", "orchid"} + args);
        QVERIFY(walk.waitForFinished(10000));
        QCOMPARE(walk.exitCode(), 2);
        QCOMPARE(walk.readAllStandardOutput(), QByteArray());
        const QString err = QString::fromUtf8(walk.readAllStandardError());
        QVERIFY2(err.startsWith("talvex-walk: ") && err.contains(message), qPrintable(err));
        QVERIFY(!err.contains("maplesyrup"));
        QCOMPARE(m_sim->command("served"), before);
    }

    // The longest OID a record holds goes out whole.
    void talvexWalkSendsAnOidOf127Characters() {
        const QString longest = "1.3" + QString(".1").repeated(62);
        QCOMPARE(longest.size(), 127);
        bool ok = false;
        const QString out = RunTool(BuildPath("tools/talvex-walk"), {"-c", "orchid", "-p", QString::number(m_sim->port()),
                                                                     "127.0.0.1", "get", longest}, &ok);
        QVERIFY(ok);
        QCOMPARE(out, longest + " = <noSuchObject>\n");
    }

    // noSuchName past the last object is how an SNMPv1 walk ends: nothing on standard error
    // but the count, and status 0.
    void v1WalkEndsQuietly() {
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), {"-1", "-c", "orchid", "-p", QString::number(m_sim->port()), "127.0.0.1",
                                                    "walk", "1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.9"});
        QVERIFY(walk.waitForFinished(10000));
        QCOMPARE(walk.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(walk.readAllStandardOutput()), QString("1.3.6.1.4.1.62740.1.1.10.2.21.1.2.1.9.1 = B.04\n"));
        const QString err = QString::fromUtf8(walk.readAllStandardError());
        QVERIFY2(QRegularExpression("^1 rows in [0-9.]+ ms \\([0-9]+ rows/s\\)\n$").match(err).hasMatch(), qPrintable(err));
    }

    void wrongCommunityGetsNoAnswer() {
        bool ok = true;
        QString before = m_sim->command("served");
        tool("snmpget", {"-v2c", "-c", "guess", "-t", "1", "-r", "0", QStringLiteral("127.0.0.1:%1").arg(m_sim->port()),
                         "1.3.6.1.2.1.1.5.0"}, {}, &ok);
        QVERIFY(!ok);
        QCOMPARE(m_sim->command("served"), before);
    }

    void talvexWalkMatchesSnmpwalkOnSnmpd_data() {
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("system") << QStringList{"1.3.6.1.2.1.1"};
        QStringList ifColumns;
        for (int c = 1; c <= 8; ++c)
            ifColumns << QStringLiteral("1.3.6.1.2.1.2.2.1.%1").arg(c);
        QTest::newRow("ifTable") << ifColumns;
    }
    void talvexWalkMatchesSnmpwalkOnSnmpd() {
        QFETCH(QStringList, columns);
        QVERIFY2(snmpd()->started(), qPrintable(snmpd()->error()));
        QMap<QString, QString> theirs;
        for (const QString& column : columns) {
            bool ok = false;
            QString out = tool("snmpwalk", snmpArgs("v2c", "public", m_snmpd->port()), {column}, &ok);
            QVERIFY(ok);
            theirs.insert(bindings(out, true));
        }
        bool ok = false;
        QString mine = RunTool(BuildPath("tools/talvex-walk"),
                               QStringList{"-c", "public", "-p", QString::number(m_snmpd->port()), "127.0.0.1", "walk"} + columns, &ok);
        QVERIFY2(ok, qPrintable(mine));
        QMap<QString, QString> ours = bindings(mine, false);
        theirs.remove("1.3.6.1.2.1.1.3.0"); // uptime moves between the two walks
        ours.remove("1.3.6.1.2.1.1.3.0");
        QVERIFY(theirs.size() >= 8);
        QCOMPARE(ours.keys(), theirs.keys());
        for (auto it = theirs.cbegin(); it != theirs.cend(); ++it) {
            QString v = ours.value(it.key());
            QVERIFY2(v == it.value() || hexOf(v) == it.value(),
                     qPrintable(it.key() + ": ours " + v + ", snmpwalk " + it.value()));
        }
    }

    // talvex-walk over SNMPv3 prints what net-snmp's tools print for the same user of snmpd,
    // by get, get-next walk and GETBULK walk.
    void v3MatchesNetSnmpOnSnmpd_data() {
        QTest::addColumn<QStringList>("args");
        for (const char* a : kV3Auths)
            QTest::newRow(QByteArray("authPriv ") + a + "/AES")
                << v3Args(QStringLiteral("ro_") + a, "authPriv", a, "AES");
        QTest::newRow("authNoPriv SHA-256") << v3Args("ro_auth", "authNoPriv", "SHA-256");
        QTest::newRow("noAuthNoPriv") << v3Args("ro_none", "noAuthNoPriv");
    }
    void v3MatchesNetSnmpOnSnmpd() {
        QFETCH(QStringList, args);
        QVERIFY2(snmpdV3()->started(), qPrintable(snmpdV3()->error()));
        const QString agent = QStringLiteral("127.0.0.1:%1").arg(m_snmpdV3->port());
        const QStringList net = args + QStringList{"-t", "2", "-r", "1", "-On", "-Oe", "-Ot", "-Oq", agent};
        ToolRun get = RunToolIn("snmpget", net + QStringList{"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.1.0"});
        QCOMPARE(get.exitCode, 0);
        ToolRun ourGet = walkV3(args, "get", {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.1.0"});
        QCOMPARE(ourGet.exitCode, 0);
        QCOMPARE(bindings(ourGet.outText(), false), bindings(get.outText(), true));

        ToolRun walk = RunToolIn("snmpwalk", net + QStringList{"1.3.6.1.2.1.2.2.1.2"});
        QCOMPARE(walk.exitCode, 0);
        const auto theirs = orderedBindings(walk.outText(), true);
        QVERIFY(!theirs.isEmpty());
        for (const char* verb : {"walk", "bulk"}) {
            ToolRun ours = walkV3(args, verb, {"1.3.6.1.2.1.2.2.1.2"});
            QVERIFY2(ours.exitCode == 0, qPrintable(ours.errText()));
            auto mine = orderedBindings(ours.outText(), false);
            QCOMPARE(mine.size(), theirs.size());
            for (qsizetype k = 0; k < mine.size(); ++k) {
                QCOMPARE(mine[k].first, theirs[k].first);
                QVERIFY(mine[k].second == theirs[k].second || hexOf(mine[k].second) == theirs[k].second);
            }
        }
    }

    // The read-write user sets the system contact; net-snmp reads it back.
    void v3SetOnSnmpd() {
        QVERIFY2(snmpdV3()->started(), qPrintable(snmpdV3()->error()));
        const QStringList args = v3Args("rw_sys", "authPriv", "SHA-512", "AES");
        ToolRun set = walkV3(args, "set", {"1.3.6.1.2.1.1.4.0", "s", "noc desk, ext 4711"});
        QVERIFY2(set.exitCode == 0, qPrintable(set.errText()));
        QCOMPARE(set.outText(), QStringLiteral("1.3.6.1.2.1.1.4.0 = noc desk, ext 4711\n"));
        ToolRun get = RunToolIn("snmpget", args + QStringList{"-Oqv", QStringLiteral("127.0.0.1:%1").arg(m_snmpdV3->port()),
                                                                "1.3.6.1.2.1.1.4.0"});
        QCOMPARE(get.outText().trimmed(), QStringLiteral("\"noc desk, ext 4711\""));
    }

    // Each mistake ends talvex-walk with status 1 and says what went wrong.
    void v3FailuresOnSnmpd_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong passphrase")
            << v3Args("ro_SHA", "authPriv", "SHA", "AES", "maplesyrupX") << "get"
            << "talvex-walk: 127.0.0.1: the agent reports authentication failed, check the passphrase\n";
        QTest::newRow("unknown user") << v3Args("nobody", "authNoPriv", "SHA", {}) << "get"
                                      << "talvex-walk: 127.0.0.1: the agent reports unknown user name \"nobody\"\n";
        QTest::newRow("level the user's keys lack")
            << v3Args("ro_auth", "authPriv", "SHA-256", "AES") << "get"
            << "talvex-walk: 127.0.0.1: the agent reports unsupported security level for this user\n";
        QTest::newRow("level the access rule lacks")
            << v3Args("ro_SHA", "authNoPriv", "SHA") << "get"
            << "talvex-walk: error status 16 (authorizationError) at binding 0\n";
        QTest::newRow("read-only user sets")
            << v3Args("ro_SHA", "authPriv", "SHA", "AES") << "set"
            << "talvex-walk: error status 6 (noAccess) at binding 1\n";
    }
    void v3FailuresOnSnmpd() {
        QFETCH(QStringList, args);
        QFETCH(QString, verb);
        QFETCH(QString, message);
        QVERIFY2(snmpdV3()->started(), qPrintable(snmpdV3()->error()));
        QStringList oids{"1.3.6.1.2.1.1.5.0"};
        if (verb == "set")
            oids << "s" << "not written";
        ToolRun run = walkV3(args, verb, oids);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.outText(), QString());
        QCOMPARE(run.errText().section('\n', 0, 0) + '\n', message);
    }

    // talvex-walk takes the user from the credentials file when the command line names none,
    // and refuses a file others may read before it sends anything.
    void v3FromCredentialsFile() {
        QVERIFY2(snmpdV3()->started(), qPrintable(snmpdV3()->error()));
        QTemporaryDir xdg;
        QFile conf(WriteCredentialsFile(
            xdg.path(), QStringLiteral("agent 127.0.0.1:%1\n defSecurityName ro_SHA-384\n"
                                       " defSecurityLevel authPriv\n defAuthType SHA-384\n"
                                       " defAuthPassphrase maplesyrup\n defPrivType AES\n"
                                       " defPrivPassphrase pancakemix\n")
                            .arg(m_snmpdV3->port())
                            .toUtf8()));
        QVERIFY(conf.exists());
        qputenv("XDG_CONFIG_HOME", xdg.path().toUtf8());
        ToolRun fromFile = walkV3({}, "get", {"1.3.6.1.2.1.1.5.0"});
        QVERIFY(conf.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        ToolRun refused = walkV3({}, "get", {"1.3.6.1.2.1.1.5.0"});
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY2(fromFile.exitCode == 0, qPrintable(fromFile.errText()));
        QVERIFY(fromFile.outText().startsWith("1.3.6.1.2.1.1.5.0 = "));
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.errText().contains("permissions 0640 are too open"), qPrintable(refused.errText()));
    }

    // An agent that answers a two-column get-next with one binding, or with the instance it was
    // asked for, would make a walk loop: talvex-walk stops at once and says why.
    void walkStopsOnAnswersThatGoNowhere_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("message");
        QTest::newRow("short answer") << "truncate 1" << 0 << "fewer bindings than asked";
        QTest::newRow("OID not increasing") << "stuck 1" << 2 << "OID not increasing";
    }
    void walkStopsOnAnswersThatGoNowhere() {
        QFETCH(QString, fault);
        QFETCH(int, lines);
        QFETCH(QString, message);
        QCOMPARE(m_sim->command(fault), QString("ok"));
        const int before = m_sim->command("served").toInt();
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), {"-c", "orchid", "-p", QString::number(m_sim->port()), "-t", "1000",
                                                    "127.0.0.1", "walk", "1.3.6.1.2.1.2.2.1.2", "1.3.6.1.2.1.2.2.1.8"});
        QVERIFY(walk.waitForFinished(10000));
        QCOMPARE(m_sim->command("faults"), QString("ok"));
        QCOMPARE(walk.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(walk.readAllStandardOutput()).count('\n'), lines);
        QVERIFY(QString::fromUtf8(walk.readAllStandardError()).contains(message));
        QCOMPARE(m_sim->command("served").toInt() - before, lines / 2 + 1);
    }

    // Tests run with TALVEX_LOOPBACK_ONLY: a session toward an address outside 127.0.0.0/8 ends
    // the program before any socket exists. 0.0.0.0 stands for such an address because, should
    // the guard ever fail, a datagram to it stays on this machine.
    // The same holds for IPv6, where only ::1 is loopback; :: stands for an outside address.
    void sessionsOutsideLoopbackAreRefused_data() {
        QTest::addColumn<QString>("agent");
        QTest::newRow("IPv4") << "0.0.0.0";
        QTest::newRow("IPv6") << "::";
    }
    void sessionsOutsideLoopbackAreRefused() {
        QFETCH(QString, agent);
        QCOMPARE(qEnvironmentVariable("TALVEX_LOOPBACK_ONLY"), QStringLiteral("1"));
        QProcess walk;
        walk.start(BuildPath("tools/talvex-walk"), {"-p", QString::number(m_sim->port()), agent, "get", "1.3.6.1.2.1.1.5.0"});
        QVERIFY(walk.waitForFinished(10000));
        QVERIFY(walk.exitStatus() == QProcess::CrashExit || walk.exitCode() != 0);
        QVERIFY(QString::fromUtf8(walk.readAllStandardError()).contains("127.0.0.0/8 and ::1 only"));
    }

    // Agents as an operator writes them: a host name, looked up once, and an IPv6 address.
    void talvexWalkReachesNamedAndIpv6Agents_data() {
        QTest::addColumn<QString>("listen"); // the simulator's address
        QTest::addColumn<QString>("agent");
        QTest::newRow("host name") << "127.0.0.1" << "localhost";
        QTest::newRow("IPv6") << "::1" << "::1";
    }
    void talvexWalkReachesNamedAndIpv6Agents() {
        QFETCH(QString, listen);
        QFETCH(QString, agent);
        SimProcess sim({"--address", listen, "--static"});
        if (!sim.started() && listen == "::1")
            QSKIP("this machine has no IPv6 loopback");
        QVERIFY(sim.started());
        bool ok = false;
        const QString out = RunTool(BuildPath("tools/talvex-walk"),
                                    {"-c", "orchid", "-p", QString::number(sim.port()), agent, "walk", "1.3.6.1.2.1.1.5"}, &ok);
        QVERIFY(ok);
        QCOMPARE(out.count('\n'), 1);
        QVERIFY2(out.startsWith("1.3.6.1.2.1.1.5.0 = "), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
