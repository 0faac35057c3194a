// The agent: one UDP socket on loopback, a command channel on standard input, and the fault
// switches tests use.
#pragma once

#include "sim/chassis.h"
#include "sim/mib.h"
#include "qvsnmp/usm.h"

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

class AgentCompanion;

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
    int bindingDelayMs = 0; // each binding of an answer makes it this much later still, as a
                            // device that looks up every object slowly answers
    int bindingDelayMaxMs = 0; // above bindingDelayMs: what a binding costs is drawn for each
                               // answer from the two, as a device whose load comes and goes
};

inline constexpr int kMaxDelayMs = 600000;
inline constexpr size_t kMaxDelayed = 1024;
inline constexpr size_t kMaxDelayedBytes = 4u << 20;

// A user of the SNMPv3 user-based security model. One with keys must use them (at least
// authNoPriv), as snmpd's rouser and rwuser lines without a level ask; one without uses none.
struct SimUser {
    usm::User user;
    bool write = false;
};

// The default engine id: enterprise 58213, format 4 (text).
inline const std::string kDefaultEngineId = std::string("\x80\x00\xE3\x65\x04", 5) + "talvex-sim";

struct AgentOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 16161;
    std::string readCommunity = "orchid";
    std::string writeCommunity = "saffron";
    Faults faults;
    int lifetimeSec = 0; // 0: until signalled
    std::string engineId = kDefaultEngineId;
    int32_t engineBoots = 1;
    int32_t engineTime = 0; // at start; it grows by one a second
    std::vector<SimUser> users;
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
    // Commands of another part of the simulator: given the verb and the rest of the line, the
    // reply, or nullopt for a verb it does not know.
    using Commands =
        std::function<std::optional<std::string>(const std::string& verb, std::istream& rest)>;
    void addCommands(Commands commands) { m_commands.push_back(std::move(commands)); }

    uint64_t requestsServed() const { return m_served; }
    // Runs companion in the loop beside the agent (sim/notify.h).
    void setCompanion(AgentCompanion* companion) { m_companion = companion; }

private:
    // The answer to a request as the fault switches make it; nullopt when none goes out.
    std::optional<ber::Pdu> respond(const ber::Message& req, bool canWrite);
    bool handleV3(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
    int32_t engineTime() const;
    ber::Pdu answer(const ber::Message& req, bool canWrite);
    // The binding a get-next of oid answers: the next instance, or oid with endOfMibView (v2c).
    bool next(const ber::Oid& oid, ber::VarBind& out) const;
    void bulk(const ber::Message& req, ber::Pdu& r) const;
    void queue(const std::vector<uint8_t>& bytes, const sockaddr_storage& to, socklen_t toLen);
    bool holdsAnswerFor(const sockaddr_storage& to, socklen_t toLen) const;

    AgentOptions m_opt;
    Chassis& m_chassis;
    Mib& m_mib;
    int m_fd = -1;
    uint16_t m_boundPort = 0;
    uint64_t m_served = 0;
    uint64_t m_overlapped = 0; // requests that came while an answer to their sender was held back
    size_t m_answerBindings = 0; // of the last answer respond() made
    uint64_t m_engineStartMs = 0; // when the engine's time was engineTime
    uint32_t m_reported[9] = {};  // the USM counters a report carries, by v3::Error
    struct Keyed {
        const SimUser* user;
        std::shared_ptr<const usm::Keys> keys;
    };
    std::vector<Keyed> m_keyed; // the users' keys for the engine id

    struct Delayed {
        uint64_t dueMs;
        std::vector<uint8_t> bytes;
        sockaddr_storage to;
        socklen_t toLen;
    };
    std::deque<Delayed> m_delayed;
    std::mt19937 m_spread{1}; // draws binding delays: the same run each time
    AgentCompanion* m_companion = nullptr;
    size_t m_delayedBytes = 0;
    std::vector<Commands> m_commands;
};

// "MS" or "MIN-MAX" (a binding delay), each from 0 to kMaxDelayMs, MIN not above MAX; false for
// anything else.
bool ParseDelayRange(const std::string& text, int& least, int& most);

// "0A1b..." (pairs of hex digits, nothing else) as octets; false for anything else.
bool ParseHexOctets(const std::string& text, std::string& out);

} // namespace sim
