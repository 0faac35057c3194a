// talvex-walk: gets, walks and sets OIDs through qvsnmp and prints each binding the way the
// module shows it.
#include "qvsnmp/qvsnmp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void usage() {
    std::fputs("usage: talvex-walk [-1] [-c READ] [-w WRITE] [-p PORT] [-t MS] [-q] AGENT get OID...\n"
               "       talvex-walk ... AGENT walk OID...     (get-next walk of the columns together)\n"
               "       talvex-walk ... AGENT set OID TYPE VALUE ...\n"
               "  TYPE: i INTEGER, s OCTET STRING, o OID, a IpAddress, c Counter32, g Gauge32,\n"
               "        t TimeTicks, m physical address (type code 79)\n"
               "  -1 SNMPv1 (default v2c), -q print only the count and the time\n",
               stderr);
}

uint16_t typeCode(const char* t) {
    switch (t[0]) {
    case 'i': return ber::Integer;
    case 's': return ber::OctetString;
    case 'o': return ber::ObjectId;
    case 'a': return ber::IpAddress;
    case 'c': return ber::Counter32;
    case 'g': return ber::Gauge32;
    case 't': return ber::TimeTicks;
    case 'm': return QV_TYPE_PHYSADDRESS;
    default: return 0;
    }
}

_QvOidTable record(const char* oid, uint16_t type, uint16_t flags) {
    _QvOidTable r{};
    r.typeCode = type;
    r.flags = flags;
    std::strncpy(r.oid, oid, sizeof r.oid - 1);
    std::strncpy(r.name, oid, sizeof r.name - 1);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SnmpInit(&app);
    QString readCommunity = QStringLiteral("public"), writeCommunity = QStringLiteral("private");
    int version = ber::V2c, timeout = 4000;
    bool quiet = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "-1")
            version = ber::V1;
        else if (a == "-c")
            readCommunity = QString::fromLocal8Bit(next());
        else if (a == "-w")
            writeCommunity = QString::fromLocal8Bit(next());
        else if (a == "-p")
            SetSnmpAgentPort(quint16(std::atoi(next())));
        else if (a == "-t")
            timeout = std::atoi(next());
        else if (a == "-q")
            quiet = true;
        else {
            usage();
            return 2;
        }
    }
    if (argc - i < 3) {
        usage();
        return 2;
    }
    SetSnmpTimeout(timeout);
    QString agent = QString::fromLocal8Bit(argv[i]);
    std::string verb = argv[i + 1];
    std::vector<_QvOidTable> table;
    QStringList values;
    for (int k = i + 2; k < argc; ++k) {
        if (verb == "set") {
            if (k + 2 >= argc || !typeCode(argv[k + 1])) {
                usage();
                return 2;
            }
            table.push_back(record(argv[k], typeCode(argv[k + 1]), 0x2));
            values << QString::fromLocal8Bit(argv[k + 2]);
            k += 2;
        } else {
            table.push_back(record(argv[k], 0, verb == "walk" ? 0x11 : 0x1));
        }
    }
    if (verb != "get" && verb != "walk" && verb != "set") {
        usage();
        return 2;
    }

    QTextStream out(stdout);
    CSnmpClass session(nullptr, agent, readCommunity, writeCommunity, int(table.size()), table.data(), {});
    session.SetVersion(version);
    for (qsizetype k = 0; k < values.size(); ++k)
        session.GetOidList()[k]->m_strValue = values[k];
    unsigned short kind = verb == "get" ? SNMP_PDU_GET : verb == "walk" ? SNMP_PDU_GETNEXT : SNMP_PDU_SET;
    unsigned long pending = 0;
    long rows = 0;
    int rc = 0;
    QElapsedTimer clock;
    auto finish = [&](int code) {
        rc = code;
        app.exit(code);
    };
    session.SetSnmpCallback([&](unsigned short status, CSnmpMsg* msg) {
        if (status != 0) {
            std::fprintf(stderr, "talvex-walk: no response from %s within %d ms\n", qPrintable(agent), timeout);
            return finish(1);
        }
        CSnmpPdu* pdu = msg->GetPdu();
        if (pdu->RequestId() != pending) {
            msg->Release();
            return;
        }
        if (quint32 error = pdu->ErrorStatus()) {
            std::fprintf(stderr, "talvex-walk: error status %u (%s) at binding %u\n", error,
                         ber::errorStatusName(int32_t(error)), pdu->ErrorIndex());
            msg->Release();
            // noSuchName is how an SNMPv1 walk ends
            return finish(kind == SNMP_PDU_GETNEXT && error == ber::NoSuchName ? 0 : 1);
        }
        if (kind == SNMP_PDU_GETNEXT && session.IsEndOfTable(pdu)) {
            // An agent that answers short or backwards would make the walk loop: it ends there.
            const CSnmpPdu::WalkStop stop = pdu->Stop();
            msg->Release();
            if (stop == CSnmpPdu::WalkStop::Short)
                std::fprintf(stderr, "talvex-walk: the agent answered fewer bindings than asked\n");
            else if (stop == CSnmpPdu::WalkStop::NotIncreasing)
                std::fprintf(stderr, "talvex-walk: OID not increasing\n");
            return finish(stop == CSnmpPdu::WalkStop::None ? 0 : 1);
        }
        ++rows;
        if (!quiet) {
            const auto& binds = pdu->VarBinds();
            for (qsizetype k = 0; k < binds.size() && k < session.GetOidList().size(); ++k)
                out << binds[k]->OidText() << " = " << session.FormatValue(binds[k], session.GetOidList()[k]) << '\n';
        }
        msg->Release();
        if (kind != SNMP_PDU_GETNEXT)
            return finish(0);
        pending = session.SendSnmp(SNMP_PDU_GETNEXT);
    });
    clock.start();
    pending = session.SendSnmp(kind);
    if (!pending) {
        std::fprintf(stderr, "talvex-walk: %s\n", qPrintable(session.LastError()));
        return 2;
    }
    app.exec();
    out.flush();
    double ms = double(clock.nsecsElapsed()) / 1e6;
    std::fprintf(stderr, "%ld rows in %.1f ms (%.0f rows/s)\n", rows, ms, ms > 0 ? rows * 1000.0 / ms : 0.0);
    return rc;
}
