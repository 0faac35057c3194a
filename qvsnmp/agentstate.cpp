#include "qvsnmp/agentstate.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace qvsnmp {

std::shared_ptr<AgentState> AgentState::of(const std::string& key) {
    static std::mutex mutex;
    // Never forgotten: what was learned outlives the sessions that learned it.
    static std::map<std::string, std::shared_ptr<AgentState>> agents;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<AgentState>& state = agents[key];
    if (!state) state = std::make_shared<AgentState>();
    return state;
}

double AgentState::cost(double b) const {
    if (m_count == 0) return -1;
    // Never below the cheapest answer's cost per binding: other sessions' requests that a busy
    // agent works through first make a small request look dear and the fit's slope too flat.
    const double bound = m_mostPerBinding * b;
    return std::max(m_split ? m_fixed + m_perBinding * b : m_mean, bound);
}

void AgentState::fit() {
    double sumB = 0, sumMs = 0, leastB = 0, mostB = 0;
    for (int i = 0; i < m_count; ++i) {
        const Sample& s = m_samples[i];
        sumB += s.bindings;
        sumMs += s.ms;
        const double perBinding = s.ms / s.bindings;
        m_mostPerBinding = i == 0 ? perBinding : std::min(m_mostPerBinding, perBinding);
        leastB = i == 0 ? s.bindings : std::min(leastB, s.bindings);
        mostB = std::max(mostB, s.bindings);
    }
    const double meanB = sumB / m_count;
    m_mean = sumMs / m_count;
    // Sizes too alike say nothing of what a binding costs.
    m_split = mostB >= 2 * leastB;
    if (!m_split) return;
    double sxy = 0, sxx = 0;
    for (int i = 0; i < m_count; ++i) {
        const Sample& s = m_samples[i];
        sxy += (s.bindings - meanB) * (s.ms - m_mean);
        sxx += (s.bindings - meanB) * (s.bindings - meanB);
    }
    // No binding costs more than the cheapest answer per binding: a late answer or two of a
    // large request must not make every binding dearer than the agent has shown it to be.
    m_perBinding = std::clamp(sxy / sxx, 0.0, m_mostPerBinding);
    m_fixed = std::max(0.0, m_mean - m_perBinding * meanB);
}

void AgentState::add(Sample s) {
    // A walk on a quiet agent measures the same few values over and over: a sample that only
    // replaces its equal leaves the samples, and so the fit, as they were.
    const Sample& replaced = m_samples[m_next];
    const bool same = m_count == kSamples && replaced.bindings == s.bindings && replaced.ms == s.ms;
    m_samples[m_next] = s;
    m_next = (m_next + 1) % kSamples;
    m_count = std::min(m_count + 1, kSamples);
    if (!same) fit();
}

int64_t AgentState::retransmitLocked(int64_t timeoutMs, size_t bindings, int64_t giveUp) const {
    if (m_count == 0) return std::max<int64_t>(timeoutMs - timeoutMs / 8, 1);
    const double expected = cost(double(std::max<size_t>(bindings, 1)));
    // A quarter of the cost beside the measured deviation: an agent that takes seconds varies
    // by more than its last few answers showed.
    const double rto = expected + std::max({10.0, 4 * m_var, expected / 4});
    // Never sooner than a second (a quarter of a shorter time-out): a copy sent because this
    // process was slow to read the answer only loads the agent.
    const int64_t least =
        std::min<int64_t>(kLeastRetransmitMs, std::max<int64_t>(timeoutMs / 4, 1));
    return std::clamp<int64_t>(int64_t(std::ceil(rto)), least, std::max(giveUp, least));
}

int64_t AgentState::giveUpLocked(int64_t timeoutMs, size_t bindings) const {
    if (m_count == 0 || bindings <= 1) return timeoutMs;
    const double b = double(bindings);
    const double extra = std::max(0.0, cost(b) - cost(1));
    return timeoutMs + int64_t(std::ceil(std::min(extra, double(timeoutMs))));
}

int64_t AgentState::retransmitAfter(int64_t timeoutMs, size_t bindings) const {
    return waits(timeoutMs, bindings).retransmit;
}

AgentState::Waits AgentState::waits(int64_t timeoutMs, size_t bindings) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int64_t giveUp = giveUpLocked(timeoutMs, bindings);
    return {retransmitLocked(timeoutMs, bindings, giveUp), giveUp};
}

int AgentState::rowsWithin(int64_t budgetMs, size_t columns) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count == 0 || columns == 0) return INT_MAX;
    const double budget = double(budgetMs), perRow = double(columns);
    double rows = m_mostPerBinding > 0 ? budget / (m_mostPerBinding * perRow) : double(INT_MAX);
    if (m_split && m_perBinding > 0)
        rows = std::min(rows, (budget - m_fixed) / (m_perBinding * perRow));
    else if (!m_split && m_mean > budget)
        rows = 1;
    return int(std::clamp(rows, 1.0, double(INT_MAX)));
}

void AgentState::measured(int64_t ms, size_t bindings) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Sample s{double(std::max<size_t>(bindings, 1)), double(std::max<int64_t>(ms, 0))};
    if (m_count == 0)
        m_var = s.ms / 2;
    else
        m_var = 0.75 * m_var + 0.25 * std::fabs(s.ms - cost(s.bindings));
    m_mostAnswered = std::max(m_mostAnswered, bindings);
    add(s);
}

bool AgentState::hasAnswered() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count > 0;
}

size_t AgentState::mostAnswered() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mostAnswered;
}

AgentState::Bulk AgentState::bulk() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bulk;
}

void AgentState::setBulk(Bulk bulk) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bulk = bulk;
}

} // namespace qvsnmp
