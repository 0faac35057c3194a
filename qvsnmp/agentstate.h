// What the library learns of an agent, kept for the life of the process and shared by every
// session toward it: the round-trip estimate that times retransmissions, and whether it answers
// GETBULK. Plain C++; any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qvsnmp {

class AgentState {
public:
    // The state of the agent at key (its address and port), made on first use.
    static std::shared_ptr<AgentState> of(const std::string& key);

    // How long an unanswered request waits before it is sent again, as TCP estimates its
    // retransmission time-out (RFC 6298) from the round trips measured on this agent. Until
    // the agent has answered once, nearly the whole time-out: a slow agent that works one
    // request at a time must not get a copy of the first request while it is still on it.
    int64_t retransmitAfter(int64_t timeoutMs) const;
    // One round trip, from the sending of a request to its answer; only for a request sent
    // once (Karn's rule): an answer that came after a copy went out may answer either.
    void measured(int64_t ms);
    int64_t smoothedRoundTrip() const; // -1 until measured

    enum class Bulk { Unknown, Works, Refused };
    Bulk bulk() const;
    void setBulk(Bulk bulk);

    static constexpr int64_t kLeastRetransmitMs = 1000;

private:
    mutable std::mutex m_mutex;
    bool m_measured = false;
    double m_srtt = 0;
    double m_rttvar = 0;
    Bulk m_bulk = Bulk::Unknown;
};

} // namespace qvsnmp
