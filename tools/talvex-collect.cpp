// talvex-collect: polls the interface counters of the devices in its configuration and keeps
// each port's rates in RRD files (graphs/collector.h), until SIGTERM or SIGINT.
#include "graphs/collectconf.h"
#include "graphs/collector.h"
#include "graphs/rrdlayout.h"
#include "graphs/rrdwrite.h"
#include "qvsnmp/address.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/snmpconf.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void usage(std::FILE* out = stderr) {
    std::fputs("usage: talvex-collect [--config FILE] [--rrd-dir DIR] [--step S] "
               "[--daemon ADDRESS]\n"
               "  --config FILE     the devices to poll (TALVEX_COLLECT_CONF, else "
               "/etc/talvex/collect.conf)\n"
               "  --rrd-dir DIR     where the RRD files go (the configuration's rrd-dir, else "
               "/var/lib/talvex/rrd)\n"
               "  --step S          the RRD files' step in seconds, 1 to 86400 (each device's "
               "interval)\n"
               "  --daemon ADDRESS  write through rrdcached there (RRDCACHED_ADDRESS)\n",
               out);
}

[[noreturn]] void refuse(const std::string& why, bool withUsage = false) {
    std::fprintf(stderr, "talvex-collect: %s\n", why.c_str());
    if (withUsage) usage();
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    std::string configPath = graphs::CollectConfPath(), rrdDir, daemon;
    int step = 0;
    if (const char* env = std::getenv("RRDCACHED_ADDRESS")) daemon = env;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) refuse(a + " wants a value", true);
            return argv[++i];
        };
        if (a == "--config") {
            configPath = value();
        } else if (a == "--rrd-dir") {
            rrdDir = value();
        } else if (a == "--step") {
            const std::string v = value();
            char* end = nullptr;
            const long s = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || s < 1 || s > graphs::kMaxCollectInterval)
                refuse("--step wants seconds from 1 to 86400, not \"" + snmpconf::printable(v) +
                       "\"");
            step = int(s);
        } else if (a == "--daemon") {
            daemon = value();
        } else if (a == "--version") {
            std::printf("talvex-collect %s\n", TALVEX_VERSION);
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else {
            refuse("unknown option " + snmpconf::printable(a), true);
        }
    }
    graphs::CollectConf conf;
    std::string why;
    if (!graphs::ReadCollectConf(configPath, conf, why)) refuse(why);
    if (rrdDir.empty()) rrdDir = conf.rrdDir.empty() ? graphs::kDefaultRrdDir : conf.rrdDir;
    if (conf.devices.empty()) refuse(configPath + ": no device");

    QCoreApplication app(argc, argv);
    SnmpInit(&app);
    graphs::RrdWriter writer(daemon);
    std::deque<usm::User> users; // the sessions the collectors make refer to them
    std::vector<std::unique_ptr<graphs::DeviceCollector>> devices;
    for (const graphs::CollectDevice& d : conf.devices) {
        const std::string at = configPath + ": line " + std::to_string(d.line) + ": ";
        // A name is looked up once, here, as the module looks its agent up.
        QString whyNot;
        const QString address = ResolveAgentAddress(QString::fromStdString(d.address), &whyNot);
        if (address.isEmpty()) refuse(at + whyNot.toStdString());
        const usm::User* user = nullptr;
        if (!d.community) {
            // No community: the agent's SNMPv3 block, and nothing else.
            snmpconf::Entry entry;
            std::string confWhy;
            const auto found = snmpconf::lookup(snmpconf::defaultPath(), address.toStdString(),
                                                d.port, entry, confWhy);
            if (found == snmpconf::Status::Refused) refuse(confWhy);
            if (found != snmpconf::Status::Found || entry.version != 3)
                refuse(at + "no community, and no SNMPv3 block for " + d.address +
                       " in the credentials file");
            user = &users.emplace_back(std::move(entry.user));
        }
        devices.push_back(
            std::make_unique<graphs::DeviceCollector>(d, address, user, writer, rrdDir, step));
    }
    for (auto& d : devices)
        d->start();

    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::signal(SIGINT, [](int) { g_stop = 1; });
    QTimer stop;
    QObject::connect(&stop, &QTimer::timeout, &app, [&app] {
        if (g_stop) app.quit();
    });
    stop.start(200);
    const int rc = app.exec();
    if (!writer.flush(why)) std::fprintf(stderr, "talvex-collect: %s\n", why.c_str());
    return rc;
}
