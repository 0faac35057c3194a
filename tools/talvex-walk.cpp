// talvex-walk: gets, walks and sets OIDs through qvsnmp and prints each binding the way the
// module shows it.
#include "qvsnmp/address.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/snmpconf.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxOidText = sizeof(_QvOidTable::oid) - 1;

void usage(std::FILE* out = stderr) {
    std::fputs(
        "usage: talvex-walk [-1] [-v 1|2c|3] [-c READ] [-w WRITE] [-p PORT] [-t MS] [-r N] [-q]\n"
        "                   [-u USER] [-l LEVEL] [-a AUTH] [-A PASS] [-x PRIV] [-X PASS]\n"
        "                   [-n CONTEXT] AGENT get OID...\n"
        "       talvex-walk ... AGENT walk OID...  (get-next walk of the columns together)\n"
        "       talvex-walk ... AGENT bulk OID...  (GETBULK walk of the columns together, v2c, "
        "v3)\n"
        "       talvex-walk ... AGENT set OID TYPE VALUE ...\n"
        "AGENT: a dotted IPv4 address, an IPv6 address or a host name (looked up once).\n"
        "  TYPE: i INTEGER, s OCTET STRING, o OID, a IpAddress, c Counter32, g Gauge32,\n"
        "        t TimeTicks, m physical address (type code 79)\n"
        "  -1 SNMPv1 (default v2c)        -c read community (public)\n"
        "  -w write community (private)   -p agent port, 1 to 65535 (161, TALVEX_AGENT_PORT)\n"
        "  -t time-out, 1 to 600000 ms (4000)\n"
        "  -r rows a GETBULK asks for, 1 to 2147483647 (10)\n"
        "  -q print only the count and the time\n"
        "  -v 3 SNMPv3 with the user-based security model:\n"
        "     -u security name, -l noAuthNoPriv|authNoPriv|authPriv, -a MD5|SHA|SHA-224|SHA-256|\n"
        "     SHA-384|SHA-512, -A authentication passphrase, -x AES|AES-192|AES-256|DES, -X "
        "privacy\n"
        "     passphrase, -n context. What is not given comes from the agent's block in\n"
        "     ${XDG_CONFIG_HOME:-~/.config}/talvex/snmp.conf; an agent with a block there is\n"
        "     managed with its version without -v.\n"
        "  --help, -h print this and end\n"
        "  --version print the program's name and version\n"
        "Exit status: 0 done, 1 no answer or an error from the agent, 2 bad arguments.\n",
        out);
}

[[noreturn]] void refuse(const std::string& why, bool withUsage = false) {
    std::fprintf(stderr, "talvex-walk: %s\n", why.c_str());
    if (withUsage) usage();
    std::exit(2);
}

long long number(const char* option, const char* text, long long lo, long long hi) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (!*text || *end || errno == ERANGE || v < lo || v > hi)
        refuse(std::string(option) + " wants a number from " + std::to_string(lo) + " to " +
               std::to_string(hi) + ", not \"" + text + "\"");
    return v;
}

uint16_t typeCode(const char* t) {
    if (!t[0] || t[1]) return 0;
    switch (t[0]) {
    case 'i':
        return ber::Integer;
    case 's':
        return ber::OctetString;
    case 'o':
        return ber::ObjectId;
    case 'a':
        return ber::IpAddress;
    case 'c':
        return ber::Counter32;
    case 'g':
        return ber::Gauge32;
    case 't':
        return ber::TimeTicks;
    case 'm':
        return QV_TYPE_PHYSADDRESS;
    default:
        return 0;
    }
}

// A record for one OID of the command line; an OID the record cannot hold whole, or that is
// no OID, is refused rather than cut or sent.
_QvOidTable record(const char* oid, uint16_t type, uint16_t flags) {
    const size_t len = std::strlen(oid);
    if (len > kMaxOidText)
        refuse("an OID of " + std::to_string(len) + " characters is longer than " +
               std::to_string(kMaxOidText));
    ber::Oid parsed;
    if (!ber::parseOid(oid, parsed)) refuse(std::string("\"") + oid + "\" is not an OID");
    _QvOidTable r{};
    r.typeCode = type;
    r.flags = flags;
    std::memcpy(r.oid, oid, len);
    std::memcpy(r.name, oid, len);
    return r;
}

// What the options before AGENT ask for.
struct Options {
    QString readCommunity = QStringLiteral("public"), writeCommunity = QStringLiteral("private");
    int version = ber::V2c, timeout = 4000, repetitions = 10;
    bool quiet = false, versionGiven = false;
    // SNMPv3 settings of the command line, over those of the credentials file
    std::optional<std::string> user, level, auth, priv, context;
    std::optional<crypto::Secret> authPass, privPass;
    int first = 1; // where AGENT stands in argv
};

// Reads the options into o. Answers the exit status where the program ends with them
// (--help, --version); a bad option ends it with status 2.
std::optional<int> parseOptions(int argc, char** argv, Options& o) {
    int& i = o.first;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) refuse(a + " needs a value");
            return argv[++i];
        };
        // A passphrase is taken into memory kept out of core dumps, and wiped from the
        // arguments, which other users could read while the process runs.
        auto secret = [&] {
            char* text = const_cast<char*>(next());
            crypto::Secret s(text);
            std::memset(text, 0, std::strlen(text));
            return s;
        };
        if (a == "-1")
            o.version = ber::V1, o.versionGiven = true;
        else if (a == "-v") {
            const std::string v = next();
            if (v != "1" && v != "2c" && v != "3") refuse("-v wants 1, 2c or 3, not \"" + v + "\"");
            o.version = v == "1" ? ber::V1 : v == "2c" ? ber::V2c : 3;
            o.versionGiven = true;
        } else if (a == "-u")
            o.user = next();
        else if (a == "-l")
            o.level = next();
        else if (a == "-a")
            o.auth = next();
        else if (a == "-x")
            o.priv = next();
        else if (a == "-n")
            o.context = next();
        else if (a == "-A")
            o.authPass = secret();
        else if (a == "-X")
            o.privPass = secret();
        else if (a == "-c")
            o.readCommunity = QString::fromLocal8Bit(next());
        else if (a == "-w")
            o.writeCommunity = QString::fromLocal8Bit(next());
        else if (a == "-p")
            SetSnmpAgentPort(quint16(number("-p", next(), 1, 65535)));
        else if (a == "-t")
            o.timeout = int(number("-t", next(), 1, 600000));
        else if (a == "-r")
            o.repetitions = int(number("-r", next(), 1, 2147483647));
        else if (a == "-q")
            o.quiet = true;
        else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("talvex-walk %s\n", TALVEX_VERSION);
            return 0;
        } else if (a.size() > 2 && (a.compare(0, 2, "-A") == 0 || a.compare(0, 2, "-X") == 0)) {
            // net-snmp's tools take "-Apassphrase"; here the rest is a passphrase, never shown.
            std::memset(argv[i] + 2, 0, a.size() - 2);
            refuse(a.substr(0, 2) + " takes its passphrase as the next argument", true);
        } else
            refuse("unknown option " + snmpconf::printable(a), true);
    }
    return std::nullopt;
}

// Settles o.version and answers the SNMPv3 user: the agent's block in the credentials file
// (which names agents by address, as the module looks its agent up), under the options.
usm::User security(Options& o, const QString& agent) {
    snmpconf::Entry entry;
    std::string confWhy;
    const snmpconf::Status conf = snmpconf::lookup(snmpconf::defaultPath(), agent.toStdString(),
                                                   SnmpAgentPort(), entry, confWhy);
    if (conf == snmpconf::Status::Refused) refuse(confWhy);
    if (!o.versionGiven && conf == snmpconf::Status::Found) o.version = entry.version;
    usm::User v3user;
    if (o.version == 3) {
        if (conf == snmpconf::Status::Found && entry.version == 3) v3user = std::move(entry.user);
        if (o.user) v3user.name = *o.user;
        if (o.authPass) v3user.authPassphrase = std::move(*o.authPass);
        if (o.privPass) v3user.privPassphrase = std::move(*o.privPass);
        if (o.context) v3user.context = *o.context;
        if (o.auth && !usm::parseAuth(*o.auth, v3user.auth))
            refuse("-a wants MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512, not \"" +
                   snmpconf::printable(*o.auth) + "\"");
        if (o.priv && !usm::parsePriv(*o.priv, v3user.priv))
            refuse("-x wants AES, AES-192, AES-256 or DES, not \"" + snmpconf::printable(*o.priv) +
                   "\"");
        if (o.level && !usm::parseLevel(*o.level, v3user.level))
            refuse("-l wants noAuthNoPriv, authNoPriv or authPriv, not \"" + *o.level + "\"");
        if (const std::string problem = v3user.check(); !problem.empty()) refuse(problem);
    } else if (o.user || o.level || o.auth || o.priv || o.context || o.authPass || o.privPass) {
        refuse("-u, -l, -a, -A, -x, -X and -n are SNMPv3 options (-v 3)");
    }
    return v3user;
}

// The records of the OIDs after the command, and for set the values to write.
struct Request {
    std::vector<_QvOidTable> table;
    QStringList values;
};

Request request(int argc, char** argv, int first, const std::string& verb, bool walking) {
    Request r;
    for (int k = first; k < argc; ++k) {
        if (verb == "set") {
            if (k + 2 >= argc || !typeCode(argv[k + 1]))
                refuse("set wants OID TYPE VALUE triples", true);
            r.table.push_back(record(argv[k], typeCode(argv[k + 1]), 0x2));
            r.values << QString::fromLocal8Bit(argv[k + 2]);
            k += 2;
        } else {
            r.table.push_back(record(argv[k], 0, walking ? 0x11 : 0x1));
        }
    }
    return r;
}

// One command's requests and answers: sends the next request of a walk, prints the rows and
// ends the event loop with the exit status.
class Run {
public:
    Run(QCoreApplication& app, CSnmpClass& session, const QString& agentText, const Options& o,
        unsigned short kind)
        : m_app(app), m_session(session), m_agentText(agentText), m_timeout(o.timeout),
          m_version(o.version), m_quiet(o.quiet), m_kind(kind),
          m_walking(kind == SNMP_PDU_GETNEXT || kind == SNMP_PDU_GETBULK) {}

    // False where the first request could not be sent.
    bool start() {
        m_pending = m_session.SendSnmp(m_kind);
        return m_pending != 0;
    }

    void onAnswer(unsigned short status, CSnmpMsg* msg) {
        if (status == SNMP_STATUS_TIMEOUT && m_version != 3) {
            std::fprintf(stderr, "talvex-walk: no response from %s within %d ms\n",
                         qPrintable(m_agentText), m_timeout);
            return finish(1);
        }
        if (status != 0) {
            std::fprintf(stderr, "talvex-walk: %s: %s\n", qPrintable(m_agentText),
                         qPrintable(m_session.LastFailure()));
            return finish(1);
        }
        CSnmpPdu* pdu = msg->GetPdu();
        if (pdu->RequestId() != m_pending) {
            msg->Release();
            return;
        }
        if (const quint32 error = pdu->ErrorStatus()) {
            const quint32 index = pdu->ErrorIndex();
            msg->Release();
            return onErrorStatus(error, index);
        }
        const bool ends = m_walking && m_session.IsEndOfTable(pdu);
        printRows(pdu, ends);
        if (!m_walking) {
            msg->Release();
            return finish(0);
        }
        if (ends) {
            // An agent that answers short or backwards would make the walk loop: it ends there.
            const CSnmpPdu::WalkStop stop = pdu->Stop();
            msg->Release();
            if (stop == CSnmpPdu::WalkStop::Short)
                std::fprintf(stderr, "talvex-walk: the agent answered fewer bindings than asked\n");
            else if (stop == CSnmpPdu::WalkStop::NotIncreasing)
                std::fprintf(stderr, "talvex-walk: OID not increasing\n");
            return finish(stop == CSnmpPdu::WalkStop::None ? 0 : 1);
        }
        msg->Release();
        m_pending = m_session.SendSnmp(m_kind);
    }

    void flush() {
        std::fwrite(m_out.data(), 1, m_out.size(), stdout);
        m_out.clear();
    }

    long rows() const { return m_rows; }
    int exitStatus() const { return m_rc; }

private:
    void finish(int code) {
        m_rc = code;
        m_app.exit(code);
    }

    void onErrorStatus(quint32 error, quint32 index) {
        // noSuchName past the last object is how an SNMPv1 walk ends
        if (m_kind == SNMP_PDU_GETNEXT && m_version == ber::V1 && error == ber::NoSuchName)
            return finish(0);
        std::fprintf(stderr, "talvex-walk: error status %u (%s) at binding %u\n", error,
                     ber::errorStatusName(int32_t(error)), index);
        finish(1);
    }

    void printRows(CSnmpPdu* pdu, bool ends) {
        const QList<CSnmpOid*>& entries = m_session.GetOidList();
        const auto& binds = pdu->VarBinds();
        const qsizetype count = entries.size();
        // A get-next answer at the end is no row; a GETBULK answer may end after some.
        const qsizetype usable = m_kind == SNMP_PDU_GETBULK ? pdu->BulkRows() * count
                                 : ends                     ? 0
                                                            : std::min(binds.size(), count);
        if (m_kind == SNMP_PDU_GETBULK)
            m_rows += pdu->BulkRows();
        else if (usable > 0)
            ++m_rows;
        if (!m_quiet) // a hole is a cell the agent lacks: nothing to print, as snmpwalk of its
                      // column
            for (qsizetype k = 0; k < usable; ++k)
                if (!binds[k]->IsHole()) print(binds[k], entries[k % count]);
    }

    void print(CSnmpVarBind* binding, CSnmpOid* entry) {
        // The OID into one buffer, appended once.
        char oid[12 * ber::MaxOidLength + 4];
        char* end = oid;
        for (uint32_t v : binding->Oid()) {
            if (end != oid) *end++ = '.';
            end = std::to_chars(end, oid + sizeof oid, v).ptr;
        }
        *end++ = ' ';
        *end++ = '=';
        *end++ = ' ';
        m_out.append(oid, size_t(end - oid));
        // What FormatValue shows, written straight into the output as UTF-8.
        const _QvOidTable* rec = entry->Record();
        AppendSnmpValue(m_out, binding->Value(), rec->typeCode, rec->valueText);
        m_out += '\n';
        if (m_out.size() > 64 * 1024) flush();
    }

    QCoreApplication& m_app;
    CSnmpClass& m_session;
    const QString m_agentText;
    const int m_timeout, m_version;
    const bool m_quiet;
    const unsigned short m_kind;
    const bool m_walking;
    unsigned long m_pending = 0;
    long m_rows = 0;
    int m_rc = 0;
    std::string m_out;
};

unsigned short pduKind(const std::string& verb) {
    return verb == "get"    ? SNMP_PDU_GET
           : verb == "walk" ? SNMP_PDU_GETNEXT
           : verb == "bulk" ? SNMP_PDU_GETBULK
                            : SNMP_PDU_SET;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SnmpInit(&app);
    Options o;
    if (const std::optional<int> done = parseOptions(argc, argv, o)) return *done;
    const int i = o.first;
    if (argc - i < 3) refuse("expected AGENT, a command and at least one OID", true);
    SetSnmpTimeout(o.timeout);
    const QString agentText = QString::fromLocal8Bit(argv[i]);
    const std::string verb = argv[i + 1];
    if (verb != "get" && verb != "walk" && verb != "bulk" && verb != "set")
        refuse("unknown command " + verb, true);
    // A host name is looked up once, here; the session is built from the address it gave.
    QString why;
    const QString agent = ResolveAgentAddress(agentText, &why);
    if (agent.isEmpty()) refuse(why.toStdString());
    usm::User v3user = security(o, agent);
    if (verb == "bulk" && o.version == ber::V1)
        refuse("bulk needs SNMPv2c or SNMPv3 (GETBULK does not exist in SNMPv1)");
    Request req = request(argc, argv, i + 2, verb, verb == "walk" || verb == "bulk");

    CSnmpClass session(nullptr, agent, o.readCommunity, o.writeCommunity, int(req.table.size()),
                       req.table.data(), {});
    if (o.version == 3)
        session.SetSecurity(v3user);
    else
        session.SetVersion(o.version);
    session.SetBulk(o.repetitions);
    for (qsizetype k = 0; k < req.values.size(); ++k)
        session.GetOidList()[k]->m_strValue = req.values[k];
    Run run(app, session, agentText, o, pduKind(verb));
    session.SetSnmpCallback(
        [&run](unsigned short status, CSnmpMsg* msg) { run.onAnswer(status, msg); });
    QElapsedTimer clock;
    clock.start();
    if (!run.start()) refuse(session.LastError().toStdString());
    app.exec();
    run.flush();
    std::fflush(stdout);
    double ms = double(clock.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "%ld rows in %.1f ms (%.0f rows/s)\n", run.rows(), ms,
                 ms > 0 ? run.rows() * 1000.0 / ms : 0.0);
    return run.exitStatus();
}
