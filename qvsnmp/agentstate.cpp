#include "qvsnmp/agentstate.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace qvsnmp {

std::shared_ptr<AgentState> AgentState::of(const std::string& key) {
    static std::mutex mutex;
    // Never forgotten: what was learned outlives the sessions that learned it.
    static std::map<std::string, std::shared_ptr<AgentState>> agents;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<AgentState>& state = agents[key];
    if (!state)
        state = std::make_shared<AgentState>();
    return state;
}

int64_t AgentState::retransmitAfter(int64_t timeoutMs) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_measured)
        return std::max<int64_t>(timeoutMs - timeoutMs / 8, 1);
    const double rto = m_srtt + std::max(10.0, 4 * m_rttvar);
    // Never sooner than a second (a quarter of a shorter time-out): a copy sent because this
    // process was slow to read the answer only loads the agent.
    const int64_t least = std::min<int64_t>(kLeastRetransmitMs, std::max<int64_t>(timeoutMs / 4, 1));
    return std::clamp<int64_t>(int64_t(std::ceil(rto)), least, std::max<int64_t>(timeoutMs, least));
}

void AgentState::measured(int64_t ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const double r = double(std::max<int64_t>(ms, 0));
    if (!m_measured) {
        m_srtt = r;
        m_rttvar = r / 2;
        m_measured = true;
        return;
    }
    m_rttvar = 0.75 * m_rttvar + 0.25 * std::fabs(m_srtt - r);
    m_srtt = 0.875 * m_srtt + 0.125 * r;
}

int64_t AgentState::smoothedRoundTrip() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_measured ? int64_t(std::lround(m_srtt)) : -1;
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
