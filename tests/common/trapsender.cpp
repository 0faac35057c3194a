#include "tests/common/trapsender.h"

#include "qvsnmp/ber.h"
#include "qvsnmp/usm.h"
#include "qvsnmp/v3msg.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>

namespace {

int LoopbackSender() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A burst must not be held back by the sender's own buffer.
    const int size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    return fd;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

} // namespace

TrapSender::TrapSender(uint16_t port, std::string community)
    : m_fd(LoopbackSender()), m_port(port), m_community(std::move(community)) {}

TrapSender::TrapSender(uint16_t port, const std::string& engineIdHex, const std::string& user,
                       const std::string& auth, const std::string& authPass,
                       const std::string& priv, const std::string& privPass)
    : m_fd(LoopbackSender()), m_port(port), m_v3(true), m_engineId(FromHex(engineIdHex)),
      m_user(user) {
    usm::User u;
    u.name = user;
    u.level = usm::Level::AuthPriv;
    u.authPassphrase = crypto::Secret(authPass);
    u.privPassphrase = crypto::Secret(privPass);
    if (!usm::parseAuth(auth, u.auth) || !usm::parsePriv(priv, u.priv) || !u.check().empty()) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_keys = usm::localizedKeys(u, m_engineId);
}

TrapSender::~TrapSender() {
    if (m_fd >= 0) ::close(m_fd);
}

void TrapSender::sendOne(int64_t n, int32_t requestId, bool inform) {
    ber::Pdu pdu;
    pdu.type = inform ? ber::InformRequest : ber::SNMPv2Trap;
    pdu.requestId = requestId;
    pdu.bindings = {
        {{1, 3, 6, 1, 2, 1, 1, 3, 0}, ber::Value::makeUnsigned(ber::TimeTicks, uint64_t(n))},
        {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, ber::Value::makeOid({1, 3, 6, 1, 6, 3, 1, 1, 5, 3})},
        {{1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 3}, ber::Value::makeInteger(3)}};
    std::vector<uint8_t> bytes;
    if (m_v3) {
        v3::Message m;
        m.msgId = requestId;
        m.userName = m_user;
        m.engineId = m_engineId;
        m.contextEngineId = m_engineId;
        m.boots = 1;
        m.time = 1;
        m.flags = v3::FlagAuth | v3::FlagPriv;
        m.pdu = pdu;
        bytes = v3::encode(m, m_keys.get());
    } else {
        ber::Message m;
        m.version = ber::V2c;
        m.community = m_community;
        m.pdu = pdu;
        bytes = ber::encode(m);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

double TrapSender::send(int64_t first, int64_t count, double rate, bool informs) {
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const auto t0 = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < count; ++i) {
        if (rate > 0) {
            // Each one at its own time from the start, so that the rate holds over the run
            // whatever one sleep overshoots.
            const int64_t due = int64_t(double(i) * 1e9 / rate);
            timespec at = start;
            at.tv_sec += time_t(due / 1000000000);
            at.tv_nsec += long(due % 1000000000);
            if (at.tv_nsec >= 1000000000) {
                at.tv_nsec -= 1000000000;
                ++at.tv_sec;
            }
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
            }
        }
        sendOne(first + i, int32_t((first + i) & 0x7FFFFFFF), informs);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
