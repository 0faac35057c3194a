// talvex-sim: a simulated Talvex chassis answering SNMP v1, v2c and v3 on loopback.
#include "sim/agent.h"
#include "sim/fdb.h"
#include "sim/iptables.h"
#include "sim/notify.h"
#include "sim/rmon.h"
#include "sim/traffic.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

namespace {

// Interface indexes stay below 65536, so that every port's MAC address is its own.
constexpr long long kMaxExtraRows = 65000;

void usage() {
    std::puts(
        "usage: talvex-sim [options]\n"
        "  --address A          address to serve on, IPv4 or IPv6 (127.0.0.1; ::1 for IPv6)\n"
        "  --port P             UDP port, 0 to 65535 (16161; 0 picks a free one)\n"
        "  --read-community C   (orchid)\n"
        "  --write-community C  (saffron)\n"
        "  --full               every line-card slot populated\n"
        "  --if-rows N          N more interface rows, for benchmarks (0 to 65000)\n"
        "  --fdb-rows N         N forwarding-table rows, for benchmarks (about 40; 0 to 1000000)\n"
        "  --physical-descr     port descriptions \"Physical port FE 1/3\", as the port\n"
        "                       configuration dialog lists them\n"
        "  --static             links, counters and load stay as they start\n"
        "  --seed N             seed of the chassis' behaviour (1)\n"
        "  --rmon-probes N      RMON statistics probes at start (8)\n"
        "  --drop               answer nothing\n"
        "  --delay MS           answer MS milliseconds late (0 to 600000); past 1024 answers\n"
        "                       or 4 MiB waiting, further ones are dropped\n"
        "  --serial             with --delay, one request at a time: each answer goes out\n"
        "                       MS after the one before it, as a busy device answers\n"
        "  --binding-delay MS   each binding of an answer adds MS milliseconds to --delay\n"
        "                       (0 to 600000), as a device that looks objects up slowly;\n"
        "                       MIN-MAX: drawn for each answer between the two, as a device\n"
        "                       whose load comes and goes\n"
        "  --error N            answer every request with error status N (0 to 2147483647)\n"
        "  --wrong-id           answer with a wrong request id\n"
        "  --commands           read commands on standard input, end at its end:\n"
        "                       drop 0|1, delay MS, error N, wrongid 0|1, truncate N,\n"
        "                       stuck 0|1 (get-next answers the asked instance), serial 0|1,\n"
        "                       bindingdelay MS|MIN-MAX, overlapped (requests that came while an\n"
        "                       answer to their sender was held back),\n"
        "                       faults,\n"
        "                       link IFINDEX up|down, put OID TYPE VALUE (TYPE i, u or g,\n"
        "                       c, t, s, x hex, o, a; a value that does not fit is refused),\n"
        "                       del OID, delbelow OID, served, waiting (answers held\n"
        "                       back by the delay),\n"
        "                       engine BOOTS TIME (the SNMPv3 engine's clock),\n"
        "                       traffic IFINDEX IN_BPS OUT_BPS [ERRORS_PER_S] (the port's\n"
        "                       counters grow at these rates, frames of 1000 octets),\n"
        "                       bump IFINDEX in|out|errors DELTA (a counter jumps, or goes\n"
        "                       back, without a restart), freeze 0|1 (sysUpTime.0 stands\n"
        "                       still), restart [S] (counters from zero, uptime from S\n"
        "                       seconds), quit\n"
        "  --no-ifxtable        no ifXTable: 32-bit counters only, no ifHighSpeed\n"
        "  --lifetime S         stop after S seconds (0: never)\n"
        "  --user \"NAME [AUTH AUTHPASS [PRIV PRIVPASS]]\"\n"
        "                       an SNMPv3 user that reads, as snmpd's createUser and rouser\n"
        "                       give it (one with keys must use them, authNoPriv at least):\n"
        "                       AUTH MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512; PRIV AES,\n"
        "                       AES-192, AES-256 or DES; passphrases of at least 8 characters\n"
        "                       (repeatable)\n"
        "  --rwuser \"...\"       an SNMPv3 user that reads and writes\n"
        "  --engine-id HEX      the SNMPv3 engine id, 5 to 32 octets (8000e36504 and\n"
        "                       \"talvex-sim\")\n"
        "  --engine-boots N     (1)\n"
        "  --engine-time S      the engine's time at start, in seconds (0)\n"
        "  --notify ADDR:PORT   send notifications there: coldStart at start, linkDown and\n"
        "                       linkUp, RMON alarms whose event sends traps, topologyChange;\n"
        "                       command notify KIND [IFINDEX] sends one on demand\n"
        "  --notify-community C SNMPv2c traps with community C (public)\n"
        "  --notify-inform      informs, sent again until answered (--notify-retries times,\n"
        "                       every --notify-timeout)\n"
        "  --notify-user \"...\"  SNMPv3, as --user takes the user\n"
        "  --notify-timeout MS  before an inform is sent again (1000)\n"
        "  --notify-retries N   times an unanswered inform is sent again, 0 to 100 (5)\n"
        "  --version            print the program's name and version\n"
        "Answers get, get-next, set (SNMPv1, v2c and v3) and GETBULK (v2c and v3).");
}

// One --user option: NAME [AUTH AUTHPASS [PRIV PRIVPASS]]; the reason when it is no user.
std::string parseUser(const std::string& option, bool write, sim::SimUser& out) {
    std::istringstream in(option);
    std::string name, auth, authPass, priv, privPass, extra;
    in >> name >> auth >> authPass >> priv >> privPass >> extra;
    out.write = write;
    out.user.name = name;
    out.user.level = usm::Level::NoAuthNoPriv;
    if (!extra.empty() || (!auth.empty() && authPass.empty()) ||
        (!priv.empty() && privPass.empty()))
        return "\"NAME [AUTH AUTHPASS [PRIV PRIVPASS]]\"";
    if (!auth.empty()) {
        if (!usm::parseAuth(auth, out.user.auth)) return "unknown authentication protocol " + auth;
        out.user.authPassphrase = crypto::Secret(authPass);
        out.user.level = usm::Level::AuthNoPriv;
    }
    if (!priv.empty()) {
        if (!usm::parsePriv(priv, out.user.priv)) return "unknown privacy protocol " + priv;
        out.user.privPassphrase = crypto::Secret(privPass);
        out.user.level = usm::Level::AuthPriv;
    }
    return out.user.check();
}

// Everything the command line sets.
struct Options {
    sim::AgentOptions agent;
    sim::ChassisOptions chassis;
    sim::RmonOptions rmon;
    sim::TrafficOptions traffic;
    sim::NotifyOptions notify;
    bool commands = false;
    int fdbRows = -1;
};

// The command line, an option at a time. A value that is missing, out of range or no user ends
// the program with status 2 and one line that says why.
class Args {
public:
    Args(int argc, char** argv) : m_argc(argc), m_argv(argv) {}

    bool next() {
        if (++m_i >= m_argc) return false;
        m_option = m_argv[m_i];
        return true;
    }
    const std::string& option() const { return m_option; }

    const char* value() {
        if (m_i + 1 >= m_argc) {
            std::fprintf(stderr, "talvex-sim: %s needs a value\n", m_option.c_str());
            std::exit(2);
        }
        return m_argv[++m_i];
    }
    long long number(long long lo, long long hi) {
        const char* v = value();
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(v, &end, 10);
        if (!*v || *end || errno == ERANGE || n < lo || n > hi) {
            std::fprintf(stderr, "talvex-sim: %s wants a number from %lld to %lld, not %s\n",
                         m_option.c_str(), lo, hi, v);
            std::exit(2);
        }
        return n;
    }
    sim::SimUser user(bool readWrite) {
        sim::SimUser u;
        const std::string why = parseUser(value(), readWrite, u);
        if (!why.empty()) {
            std::fprintf(stderr, "talvex-sim: %s: %s\n", m_option.c_str(), why.c_str());
            std::exit(2);
        }
        return u;
    }

private:
    int m_argc;
    char** m_argv;
    int m_i = 0;
    std::string m_option;
};

// Reads the command line into o: -1 to go on, otherwise the status to end with (what it has to
// say printed).
int parseOptions(int argc, char** argv, Options& o) {
    Args args(argc, argv);
    while (args.next()) {
        const std::string& a = args.option();
        if (a == "--address")
            o.agent.address = args.value();
        else if (a == "--port")
            o.agent.port = uint16_t(args.number(0, 65535));
        else if (a == "--read-community")
            o.agent.readCommunity = args.value();
        else if (a == "--write-community")
            o.agent.writeCommunity = args.value();
        else if (a == "--full")
            o.chassis.full = true;
        else if (a == "--physical-descr")
            o.chassis.physicalDescr = true;
        else if (a == "--if-rows")
            o.chassis.extraRows = int(args.number(0, kMaxExtraRows));
        else if (a == "--fdb-rows")
            o.fdbRows = int(args.number(0, 1000000));
        else if (a == "--static")
            o.chassis.live = false;
        else if (a == "--seed")
            o.chassis.seed = uint32_t(args.number(0, UINT32_MAX));
        else if (a == "--rmon-probes")
            o.rmon.probes = int(args.number(0, 65535));
        else if (a == "--serial")
            o.agent.faults.serial = true;
        else if (a == "--drop")
            o.agent.faults.drop = true;
        else if (a == "--binding-delay") {
            const char* v = args.value();
            if (!sim::ParseDelayRange(v, o.agent.faults.bindingDelayMs,
                                      o.agent.faults.bindingDelayMaxMs)) {
                std::fprintf(stderr,
                             "talvex-sim: --binding-delay wants milliseconds, or MIN-MAX, from 0 "
                             "to %d, not %s\n",
                             sim::kMaxDelayMs, v);
                return 2;
            }
        } else if (a == "--delay")
            o.agent.faults.delayMs = int(args.number(0, sim::kMaxDelayMs));
        else if (a == "--error")
            o.agent.faults.errorStatus = int32_t(args.number(0, INT32_MAX));
        else if (a == "--wrong-id")
            o.agent.faults.wrongId = true;
        else if (a == "--no-ifxtable")
            o.traffic.ifXTable = false;
        else if (a == "--commands")
            o.commands = true;
        else if (a == "--lifetime")
            o.agent.lifetimeSec = int(args.number(0, INT32_MAX));
        else if (a == "--user" || a == "--rwuser")
            o.agent.users.push_back(args.user(a == "--rwuser"));
        else if (a == "--engine-id") {
            const char* v = args.value();
            if (!sim::ParseHexOctets(v, o.agent.engineId) || o.agent.engineId.size() < 5 ||
                o.agent.engineId.size() > 32) {
                std::fprintf(stderr,
                             "talvex-sim: --engine-id wants 5 to 32 octets in hex, not %s\n", v);
                return 2;
            }
        } else if (a == "--engine-boots")
            o.agent.engineBoots = int32_t(args.number(0, INT32_MAX - 1));
        else if (a == "--engine-time")
            o.agent.engineTime = int32_t(args.number(0, INT32_MAX));
        else if (a == "--notify")
            o.notify.address = args.value();
        else if (a == "--notify-community")
            o.notify.community = args.value();
        else if (a == "--notify-inform")
            o.notify.inform = true;
        else if (a == "--notify-timeout")
            o.notify.timeoutMs = int(args.number(1, 600000));
        else if (a == "--notify-retries")
            o.notify.retries = int(args.number(0, 100));
        else if (a == "--notify-user")
            o.notify.user = args.user(false).user;
        else if (a == "--version") {
            std::printf("talvex-sim %s\n", TALVEX_VERSION);
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "talvex-sim: unknown option %s\n", a.c_str());
            usage();
            return 2;
        }
    }
    return -1;
}

// The chassis with its tables and behaviour, the agent over them and, when asked for, the
// notifier; serves until the agent stops and returns the status to end with.
int serve(Options& o) {
    // Declared before the models that report to it, so that it outlives them.
    std::unique_ptr<sim::Notifier> notifier;
    sim::Chassis model(o.chassis);
    sim::Mib mib;
    model.publish(mib);
    sim::PublishIpTables(mib, model.ports());
    sim::ForwardingDb fdb(model.ports(), o.fdbRows);
    fdb.publish(mib);
    o.rmon.live = o.chassis.live;
    sim::Rmon rmonGroups(model, mib, o.rmon);
    sim::PortTraffic portTraffic(model, mib, o.traffic);
    sim::Agent server(o.agent, model, mib);
    server.addCommands([&portTraffic](const std::string& verb, std::istream& in) {
        return portTraffic.command(verb, in);
    });
    if (!server.open()) return 1;
    if (!o.notify.address.empty()) {
        notifier =
            std::make_unique<sim::Notifier>(o.notify, model, o.agent.engineId, o.agent.engineBoots);
        std::string why;
        if (!notifier->open(&why)) {
            std::fprintf(stderr, "talvex-sim: %s\n", why.c_str());
            return 2;
        }
        sim::SetNotifier(notifier.get());
        server.setCompanion(notifier.get());
        server.addCommands([n = notifier.get()](const std::string& verb, std::istream& in) {
            return n->command(verb, in);
        });
        notifier->send({1, 3, 6, 1, 6, 3, 1, 1, 5, 1}, {}); // coldStart
    }
    std::printf("talvex-sim listening on %s:%u\n", o.agent.address.c_str(),
                unsigned(server.boundPort()));
    std::fflush(stdout);
    return server.run(o.commands);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = parseOptions(argc, argv, options); status >= 0) return status;
    return serve(options);
}
