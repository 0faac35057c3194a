// A sender of numbered notifications at a fixed rate, for the tests and the benchmark of the
// notification path: notification n is a linkDown whose sysUpTime.0 is n, so that the journal's
// uptime column names each one. SNMPv2c with a community, or SNMPv3 traps from an engine of our
// own with authentication and privacy; informs as snmptrapd answers them are not waited for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace usm {
struct Keys;
}

class TrapSender {
public:
    // v2c traps (or informs) to 127.0.0.1:port.
    TrapSender(uint16_t port, std::string community = "public");
    // SNMPv3 authPriv traps from engineIdHex as user, keys from the two passphrases, auth
    // "SHA-256" and priv "AES" as net-snmp names them.
    TrapSender(uint16_t port, const std::string& engineIdHex, const std::string& user,
               const std::string& auth, const std::string& authPass, const std::string& priv,
               const std::string& privPass);
    ~TrapSender();
    TrapSender(const TrapSender&) = delete;
    TrapSender& operator=(const TrapSender&) = delete;
    bool ok() const { return m_fd >= 0; }

    // Sends numbers first .. first + count - 1, rate a second (0: as fast as the socket takes
    // them); the wall time it took, in seconds.
    double send(int64_t first, int64_t count, double rate, bool informs = false);
    // One notification: n as its number, requestId as its request id.
    void sendOne(int64_t n, int32_t requestId, bool inform = false);

private:
    int m_fd = -1;
    uint16_t m_port = 0;
    std::string m_community;
    bool m_v3 = false;
    std::string m_engineId, m_user;
    std::shared_ptr<const usm::Keys> m_keys;
};
