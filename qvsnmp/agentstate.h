// What the library learns of an agent, kept for the life of the process and shared by every
// session toward it: what a request costs it, which times retransmissions and time-outs and
// sizes GETBULK blocks, and whether it answers GETBULK. Plain C++; any thread.
//
// A request's cost is modelled as a fixed part (the round trip and whatever the agent spends
// on any request) and a part per binding the agent has to produce: a busy switch that takes
// 400 ms a row answers a one-row get in half a second and a GETBULK of ten rows in four. The
// two parts are told apart once answers of different sizes have come; until then the cost of a
// larger request is only bounded from above (as though all of it were per binding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qvsnmp {

class AgentState {
public:
    // The state of the agent at key (its address and port), made on first use.
    static std::shared_ptr<AgentState> of(const std::string& key);

    // How long an unanswered request asking for `bindings` bindings waits before it is sent
    // again: what it should cost this agent, with a margin for the variation measured (as TCP
    // estimates its retransmission time-out, RFC 6298). Until the agent has answered once,
    // nearly the whole time-out: a slow agent that works one request at a time must not get a
    // copy of a request while it is still on it.
    int64_t retransmitAfter(int64_t timeoutMs, size_t bindings) const;
    // Both waits at once, as a request going out needs them. giveUp: how long after its first
    // sending such a request is given up: the time-out, plus what the bindings beyond one
    // should cost (at most a second time-out).
    struct Waits {
        int64_t retransmit;
        int64_t giveUp;
    };
    Waits waits(int64_t timeoutMs, size_t bindings) const;
    // The most rows of `columns` bindings each a GETBULK may ask so that it should be answered
    // within budgetMs (at least 1); unlimited (INT32_MAX) while nothing is known.
    int rowsWithin(int64_t budgetMs, size_t columns) const;
    // An answer holding `bindings` bindings, ms after its request was sent; only for a request
    // sent once (Karn's rule): an answer that came after a copy went out may answer either.
    void measured(int64_t ms, size_t bindings);
    bool hasAnswered() const;
    // The most bindings one answer of this agent has held: a request no larger that goes
    // unanswered was lost, not too slow.
    size_t mostAnswered() const;

    enum class Bulk { Unknown, Works, Refused };
    Bulk bulk() const;
    void setBulk(Bulk bulk);

    static constexpr int64_t kLeastRetransmitMs = 1000;

private:
    struct Sample {
        double bindings = 0;
        double ms = 0;
    };
    // The expected cost of a request of b bindings, by the samples (the upper bound while the
    // two parts are not told apart), never below the cheapest cost per binding seen times b;
    // -1 before any sample.
    double cost(double b) const;
    int64_t retransmitLocked(int64_t timeoutMs, size_t bindings, int64_t giveUp) const;
    int64_t giveUpLocked(int64_t timeoutMs, size_t bindings) const;
    void add(Sample s);
    void fit();

    static constexpr int kSamples = 16;
    mutable std::mutex m_mutex;
    Sample m_samples[kSamples];
    int m_count = 0; // samples held
    int m_next = 0;  // where the next sample goes
    // The fit of the samples: cost = m_fixed + m_perBinding * bindings when m_split; else
    // at most m_mean (the mean cost) or m_mostPerBinding per binding, whichever is more.
    bool m_split = false;
    double m_fixed = 0, m_perBinding = 0, m_mean = 0, m_mostPerBinding = 0;
    double m_var = 0; // smoothed deviation of answers from the fit
    size_t m_mostAnswered = 0;
    Bulk m_bulk = Bulk::Unknown;
};

} // namespace qvsnmp
