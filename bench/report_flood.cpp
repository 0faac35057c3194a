// What a flood of SNMPv3 reports costs the manager: a hostile agent on loopback answers every
// request of an authPriv session with an unauthenticated usmStatsUnknownEngineIDs report that
// names a new engine id, until it has sent COUNT reports (20 000 by default). Prints the
// process's resident and locked memory after a warm-up and at the end.
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/v3msg.h"
#include "tests/common/peers.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

// A line of /proc/self/status ("VmRSS", "VmLck") in kB.
long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SnmpInit(&app);
    const long count = argc > 1 ? std::atol(argv[1]) : 20000;
    if (count < 1 || count > 10000000) {
        std::fprintf(stderr, "usage: report-flood [COUNT]\n");
        return 2;
    }
    quint16 port = 0;
    const int fd = LoopbackUdpSocket(&port);
    if (fd < 0) return 1;
    std::atomic<long> reports{0};
    std::atomic<bool> stop{false};
    std::thread agent([&] {
        uint8_t buf[65536];
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            sockaddr_storage from{};
            socklen_t fl = sizeof from;
            const ssize_t n =
                ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            auto in = n > 0 ? v3::parse(buf, size_t(n)) : std::nullopt;
            if (!in) continue;
            v3::Message r;
            r.msgId = in->msg.msgId;
            char id[32];
            std::snprintf(id, sizeof id, "flood%016lx", reports.load());
            r.engineId = std::string("\x80\x00\xE3\x65\x04", 5) + id;
            r.boots = 1;
            r.time = 10;
            r.pdu.type = ber::Report;
            r.pdu.requestId = in->msg.pdu.requestId;
            r.pdu.bindings.push_back({v3::reportOid(v3::Error::UnknownEngineId),
                                      ber::Value::makeUnsigned(ber::Counter32, 1)});
            const std::vector<uint8_t> out = v3::encode(r, nullptr);
            ::sendto(fd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), fl);
            ++reports;
        }
    });

    usm::User user;
    user.name = "ops";
    user.level = usm::Level::AuthPriv;
    user.auth = crypto::Auth::SHA256;
    user.priv = crypto::Priv::AES128;
    user.authPassphrase = crypto::Secret("maplesyrup");
    user.privPassphrase = crypto::Secret("pancakemix");
    _QvOidTable table[1] = {{0, 0x1, "1.3.6.1.2.1.1.5.0", "sysName", nullptr, 0}};
    SetSnmpAgentPort(port);
    SetSnmpTimeout(2000);
    CSnmpClass session(nullptr, QStringLiteral("127.0.0.1"), QStringLiteral("public"),
                       QStringLiteral("private"), 1, table, QString());
    session.SetSecurity(user);
    bool answered = false;
    session.SetSnmpCallback([&](unsigned short, CSnmpMsg* msg) {
        if (msg) msg->Release();
        answered = true;
    });
    auto flood = [&](long until) {
        while (reports < until) {
            answered = false;
            if (!session.SendSnmp(SNMP_PDU_GET)) return false;
            while (!answered)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        return true;
    };
    const long warmUp = std::min(count, 300L);
    bool ok = flood(warmUp);
    const long rssBefore = statusKb("VmRSS"), lckBefore = statusKb("VmLck");
    QElapsedTimer clock;
    clock.start();
    ok = ok && flood(warmUp + count);
    const long rssAfter = statusKb("VmRSS"), lckAfter = statusKb("VmLck");
    stop = true;
    agent.join();
    ::close(fd);
    std::printf("%ld unauthenticated reports with new engine ids in %.1f s\n",
                reports.load() - warmUp, double(clock.elapsed()) / 1000);
    std::printf("resident %.1f MB before, %.1f MB after: %+.1f MB (goal: within 5 MB)\n",
                rssBefore / 1024.0, rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);
    std::printf("locked %.1f MB before, %.1f MB after\n", lckBefore / 1024.0, lckAfter / 1024.0);
    return ok ? 0 : 1;
}
