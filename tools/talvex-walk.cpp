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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SnmpInit(&app);
    QString readCommunity = QStringLiteral("public"), writeCommunity = QStringLiteral("private");
    int version = ber::V2c, timeout = 4000, repetitions = 10;
    bool quiet = false, versionGiven = false;
    // SNMPv3 settings of the command line, over those of the credentials file
    std::optional<std::string> user, level, auth, priv, context;
    std::optional<crypto::Secret> authPass, privPass;
    int i = 1;
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
            version = ber::V1, versionGiven = true;
        else if (a == "-v") {
            const std::string v = next();
            if (v != "1" && v != "2c" && v != "3") refuse("-v wants 1, 2c or 3, not \"" + v + "\"");
            version = v == "1" ? ber::V1 : v == "2c" ? ber::V2c : 3;
            versionGiven = true;
        } else if (a == "-u")
            user = next();
        else if (a == "-l")
            level = next();
        else if (a == "-a")
            auth = next();
        else if (a == "-x")
            priv = next();
        else if (a == "-n")
            context = next();
        else if (a == "-A")
            authPass = secret();
        else if (a == "-X")
            privPass = secret();
        else if (a == "-c")
            readCommunity = QString::fromLocal8Bit(next());
        else if (a == "-w")
            writeCommunity = QString::fromLocal8Bit(next());
        else if (a == "-p")
            SetSnmpAgentPort(quint16(number("-p", next(), 1, 65535)));
        else if (a == "-t")
            timeout = int(number("-t", next(), 1, 600000));
        else if (a == "-r")
            repetitions = int(number("-r", next(), 1, 2147483647));
        else if (a == "-q")
            quiet = true;
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
    if (argc - i < 3) refuse("expected AGENT, a command and at least one OID", true);
    SetSnmpTimeout(timeout);
    const QString agentText = QString::fromLocal8Bit(argv[i]);
    const std::string verb = argv[i + 1];
    if (verb != "get" && verb != "walk" && verb != "bulk" && verb != "set")
        refuse("unknown command " + verb, true);
    // A host name is looked up once, here; the session is built from the address it gave.
    QString why;
    const QString agent = ResolveAgentAddress(agentText, &why);
    if (agent.isEmpty()) refuse(why.toStdString());
    // The credentials file names agents by address, as the module looks its agent up.
    snmpconf::Entry entry;
    std::string confWhy;
    const snmpconf::Status conf = snmpconf::lookup(snmpconf::defaultPath(), agent.toStdString(),
                                                   SnmpAgentPort(), entry, confWhy);
    if (conf == snmpconf::Status::Refused) refuse(confWhy);
    if (!versionGiven && conf == snmpconf::Status::Found) version = entry.version;
    usm::User v3user;
    if (version == 3) {
        if (conf == snmpconf::Status::Found && entry.version == 3) v3user = std::move(entry.user);
        if (user) v3user.name = *user;
        if (authPass) v3user.authPassphrase = std::move(*authPass);
        if (privPass) v3user.privPassphrase = std::move(*privPass);
        if (context) v3user.context = *context;
        if (auth && !usm::parseAuth(*auth, v3user.auth))
            refuse("-a wants MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512, not \"" +
                   snmpconf::printable(*auth) + "\"");
        if (priv && !usm::parsePriv(*priv, v3user.priv))
            refuse("-x wants AES, AES-192, AES-256 or DES, not \"" + snmpconf::printable(*priv) +
                   "\"");
        if (level && !usm::parseLevel(*level, v3user.level))
            refuse("-l wants noAuthNoPriv, authNoPriv or authPriv, not \"" + *level + "\"");
        if (const std::string problem = v3user.check(); !problem.empty()) refuse(problem);
    } else if (user || level || auth || priv || context || authPass || privPass) {
        refuse("-u, -l, -a, -A, -x, -X and -n are SNMPv3 options (-v 3)");
    }
    if (verb == "bulk" && version == ber::V1)
        refuse("bulk needs SNMPv2c or SNMPv3 (GETBULK does not exist in SNMPv1)");
    const bool walking = verb == "walk" || verb == "bulk";
    std::vector<_QvOidTable> table;
    QStringList values;
    for (int k = i + 2; k < argc; ++k) {
        if (verb == "set") {
            if (k + 2 >= argc || !typeCode(argv[k + 1]))
                refuse("set wants OID TYPE VALUE triples", true);
            table.push_back(record(argv[k], typeCode(argv[k + 1]), 0x2));
            values << QString::fromLocal8Bit(argv[k + 2]);
            k += 2;
        } else {
            table.push_back(record(argv[k], 0, walking ? 0x11 : 0x1));
        }
    }

    CSnmpClass session(nullptr, agent, readCommunity, writeCommunity, int(table.size()),
                       table.data(), {});
    if (version == 3)
        session.SetSecurity(v3user);
    else
        session.SetVersion(version);
    session.SetBulk(repetitions);
    for (qsizetype k = 0; k < values.size(); ++k)
        session.GetOidList()[k]->m_strValue = values[k];
    const unsigned short kind = verb == "get"    ? SNMP_PDU_GET
                                : verb == "walk" ? SNMP_PDU_GETNEXT
                                : verb == "bulk" ? SNMP_PDU_GETBULK
                                                 : SNMP_PDU_SET;
    const QList<CSnmpOid*>& entries = session.GetOidList();
    unsigned long pending = 0;
    long rows = 0;
    int rc = 0;
    std::string out;
    auto flush = [&] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    };
    auto print = [&](CSnmpVarBind* binding, CSnmpOid* entry) {
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
        out.append(oid, size_t(end - oid));
        // What FormatValue shows, written straight into the output as UTF-8.
        const _QvOidTable* rec = entry->Record();
        AppendSnmpValue(out, binding->Value(), rec->typeCode, rec->valueText);
        out += '\n';
        if (out.size() > 64 * 1024) flush();
    };
    auto finish = [&](int code) {
        rc = code;
        app.exit(code);
    };
    session.SetSnmpCallback([&](unsigned short status, CSnmpMsg* msg) {
        if (status == SNMP_STATUS_TIMEOUT && version != 3) {
            std::fprintf(stderr, "talvex-walk: no response from %s within %d ms\n",
                         qPrintable(agentText), timeout);
            return finish(1);
        }
        if (status != 0) {
            std::fprintf(stderr, "talvex-walk: %s: %s\n", qPrintable(agentText),
                         qPrintable(session.LastFailure()));
            return finish(1);
        }
        CSnmpPdu* pdu = msg->GetPdu();
        if (pdu->RequestId() != pending) {
            msg->Release();
            return;
        }
        if (const quint32 error = pdu->ErrorStatus()) {
            const quint32 index = pdu->ErrorIndex();
            msg->Release();
            // noSuchName past the last object is how an SNMPv1 walk ends
            if (kind == SNMP_PDU_GETNEXT && version == ber::V1 && error == ber::NoSuchName)
                return finish(0);
            std::fprintf(stderr, "talvex-walk: error status %u (%s) at binding %u\n", error,
                         ber::errorStatusName(int32_t(error)), index);
            return finish(1);
        }
        const auto& binds = pdu->VarBinds();
        const qsizetype count = entries.size();
        const bool ends = walking && session.IsEndOfTable(pdu);
        // A get-next answer at the end is no row; a GETBULK answer may end after some.
        const qsizetype usable = kind == SNMP_PDU_GETBULK ? pdu->BulkRows() * count
                                 : ends                   ? 0
                                                          : std::min(binds.size(), count);
        if (kind == SNMP_PDU_GETBULK)
            rows += pdu->BulkRows();
        else if (usable > 0)
            ++rows;
        if (!quiet) // a hole is a cell the agent lacks: nothing to print, as snmpwalk of its column
            for (qsizetype k = 0; k < usable; ++k)
                if (!binds[k]->IsHole()) print(binds[k], entries[k % count]);
        if (!walking) {
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
        pending = session.SendSnmp(kind);
    });
    QElapsedTimer clock;
    clock.start();
    pending = session.SendSnmp(kind);
    if (!pending) refuse(session.LastError().toStdString());
    app.exec();
    flush();
    std::fflush(stdout);
    double ms = double(clock.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "%ld rows in %.1f ms (%.0f rows/s)\n", rows, ms,
                 ms > 0 ? rows * 1000.0 / ms : 0.0);
    return rc;
}
