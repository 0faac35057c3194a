// The agent: one UDP socket on loopback, a command channel on standard input, and the fault
// switches tests use.
#pragma once

#include "sim/chassis.h"
#include "sim/mib.h"

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace sim {

struct Faults {
    bool drop = false;      // answer nothing
    int delayMs = 0;        // answer this late (at most kMaxDelayMs); beyond kMaxDelayed answers
                            // or kMaxDelayedBytes waiting, further ones are dropped
    int32_t errorStatus = 0; // answer every request with this error status
    bool wrongId = false;   // answer with a request id one higher
    int truncate = -1;      // answer with at most this many bindings (-1: all)
    bool stuck = false;     // get-next answers the asked instance itself: OIDs that never increase
    bool serial = false;    // with a delay, one request at a time, as a busy device works: each
                            // answer goes out the delay after the one before it
};

inline constexpr int kMaxDelayMs = 600000;
inline constexpr size_t kMaxDelayed = 1024;
inline constexpr size_t kMaxDelayedBytes = 4u << 20;

struct AgentOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 16161;
    std::string readCommunity = "orchid";
    std::string writeCommunity = "saffron";
    Faults faults;
    int lifetimeSec = 0; // 0: until signalled
};

class Agent {
public:
    Agent(AgentOptions opt, Chassis& chassis, Mib& mib);
    ~Agent();
    // Binds the socket; false with a message on stderr when it cannot.
    bool open();
    uint16_t boundPort() const { return m_boundPort; }
    // Serves until SIGINT/SIGTERM or "quit" on standard input. Returns the exit code.
    int run(bool readCommands);

    // Handles one datagram; the answer (if any) goes into out. Public for the benchmarks.
    bool handle(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
    // One command line; returns the reply text.
    std::string command(const std::string& line);

    uint64_t requestsServed() const { return m_served; }

private:
    ber::Pdu answer(const ber::Message& req, bool canWrite);
    // The binding a get-next of oid answers: the next instance, or oid with endOfMibView (v2c).
    bool next(const ber::Oid& oid, ber::VarBind& out) const;
    void bulk(const ber::Message& req, ber::Pdu& r) const;
    void queue(const std::vector<uint8_t>& bytes, const sockaddr_storage& to, socklen_t toLen);

    AgentOptions m_opt;
    Chassis& m_chassis;
    Mib& m_mib;
    int m_fd = -1;
    uint16_t m_boundPort = 0;
    uint64_t m_served = 0;

    struct Delayed {
        uint64_t dueMs;
        std::vector<uint8_t> bytes;
        sockaddr_storage to;
        socklen_t toLen;
    };
    std::deque<Delayed> m_delayed;
    size_t m_delayedBytes = 0;
};

} // namespace sim
