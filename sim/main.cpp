// talvex-sim: a simulated Talvex chassis answering SNMP v1/v2c on loopback.
#include "sim/agent.h"
#include "sim/fdb.h"
#include "sim/iptables.h"
#include "sim/rmon.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void usage() {
    std::puts(
        "usage: talvex-sim [options]\n"
        "  --address A          address to serve on (127.0.0.1)\n"
        "  --port P             UDP port (16161; 0 picks a free one)\n"
        "  --read-community C   (orchid)\n"
        "  --write-community C  (saffron)\n"
        "  --full               every line-card slot populated\n"
        "  --if-rows N          N more interface rows, for benchmarks\n"
        "  --fdb-rows N         N forwarding-table rows, for benchmarks (about 40)\n"
        "  --physical-descr     port descriptions \"Physical port FE 1/3\", as the port\n"
        "                       configuration dialog lists them\n"
        "  --static             links, counters and load stay as they start\n"
        "  --seed N             seed of the chassis' behaviour (1)\n"
        "  --rmon-probes N      RMON statistics probes at start (8)\n"
        "  --drop               answer nothing\n"
        "  --delay MS           answer MS milliseconds late\n"
        "  --error N            answer every request with error status N\n"
        "  --wrong-id           answer with a wrong request id\n"
        "  --commands           read commands on standard input, end at its end:\n"
        "                       drop 0|1, delay MS, error N, wrongid 0|1, truncate N,\n"
        "                       stuck 0|1 (get-next answers the asked instance), faults,\n"
        "                       link IFINDEX up|down, put OID TYPE VALUE, del OID,\n"
        "                       delbelow OID, served, quit\n"
        "  --lifetime S         stop after S seconds");
}

} // namespace

int main(int argc, char** argv) {
    sim::AgentOptions agent;
    sim::ChassisOptions chassis;
    sim::RmonOptions rmon;
    bool commands = false;
    int fdbRows = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "talvex-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&]() {
            const char* v = value();
            char* end = nullptr;
            long n = std::strtol(v, &end, 10);
            if (!*v || *end || n < 0) {
                std::fprintf(stderr, "talvex-sim: %s wants a number, not %s\n", a.c_str(), v);
                std::exit(2);
            }
            return n;
        };
        if (a == "--address")
            agent.address = value();
        else if (a == "--port")
            agent.port = uint16_t(number());
        else if (a == "--read-community")
            agent.readCommunity = value();
        else if (a == "--write-community")
            agent.writeCommunity = value();
        else if (a == "--full")
            chassis.full = true;
        else if (a == "--physical-descr")
            chassis.physicalDescr = true;
        else if (a == "--if-rows")
            chassis.extraRows = int(number());
        else if (a == "--fdb-rows")
            fdbRows = int(number());
        else if (a == "--static")
            chassis.live = false;
        else if (a == "--seed")
            chassis.seed = uint32_t(number());
        else if (a == "--rmon-probes")
            rmon.probes = int(number());
        else if (a == "--drop")
            agent.faults.drop = true;
        else if (a == "--delay")
            agent.faults.delayMs = int(number());
        else if (a == "--error")
            agent.faults.errorStatus = int32_t(number());
        else if (a == "--wrong-id")
            agent.faults.wrongId = true;
        else if (a == "--commands")
            commands = true;
        else if (a == "--lifetime")
            agent.lifetimeSec = int(number());
        else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "talvex-sim: unknown option %s\n", a.c_str());
            usage();
            return 2;
        }
    }
    sim::Chassis model(chassis);
    sim::Mib mib;
    model.publish(mib);
    sim::PublishIpTables(mib, model.ports());
    sim::ForwardingDb fdb(model.ports(), fdbRows);
    fdb.publish(mib);
    rmon.live = chassis.live;
    sim::Rmon rmonGroups(model, mib, rmon);
    sim::Agent server(agent, model, mib);
    if (!server.open())
        return 1;
    std::printf("talvex-sim listening on %s:%u\n", agent.address.c_str(), unsigned(server.boundPort()));
    std::fflush(stdout);
    return server.run(commands);
}
