// The notifications the simulated chassis sends: coldStart at start, linkDown and linkUp when a
// port's operational state changes, the RMON rising and falling alarms when an alarm crosses a
// threshold and its event's type sends traps, topologyChange when the spanning tree changes,
// and any of them on command. As SNMPv2c traps, as informs (sent again until answered, a bounded
// number of times) or as SNMPv3 traps and informs of one user.
#pragma once

#include "qvsnmp/ber.h"
#include "qvsnmp/usm.h"
#include "sim/chassis.h"

#include <netinet/in.h>

#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace sim {

struct NotifyOptions {
    std::string address; // ADDR:PORT; empty: nothing is sent
    std::string community = "public";
    bool inform = false;
    std::optional<usm::User> user; // SNMPv3 when given
    int timeoutMs = 1000;          // before an unanswered inform is sent again
    int retries = 5;               // times an inform is sent again
};

// Something that runs in the agent's loop beside it: its socket watched, its time kept
// (sim/agent.h calls it; nothing else does).
class AgentCompanion {
public:
    virtual ~AgentCompanion() = default;
    virtual int fd() const = 0;
    virtual uint64_t nextDueMs() const = 0; // 0: nothing due
    virtual void onReadable() = 0;
    virtual void onTime(uint64_t nowMs) = 0;
};

class Notifier : public AgentCompanion {
public:
    // engineId, boots and engineTime are the agent's, for SNMPv3 traps (the sender's engine is
    // the authoritative one).
    Notifier(NotifyOptions opt, Chassis& chassis, std::string engineId, int32_t boots);
    ~Notifier() override;
    // False, with *why, when the address does not do.
    bool open(std::string* why);

    void send(const ber::Oid& trapOid, std::vector<ber::VarBind> bindings);
    void linkChanged(const Port& port);
    void alarmCrossed(bool rising, uint32_t alarm, const ber::Oid& variable, int32_t sampleType,
                      int32_t value, int32_t threshold);
    void topologyChanged();

    // Informs sent and not yet answered; informs given up.
    size_t pending() const { return m_pending.size(); }
    uint64_t givenUp() const { return m_givenUp; }

    int fd() const override { return m_fd; }
    uint64_t nextDueMs() const override;
    void onReadable() override;
    void onTime(uint64_t nowMs) override;
    // The notify command (Agent::Commands): the reply, or nullopt for another verb.
    std::optional<std::string> command(const std::string& verb, std::istream& in);

private:
    struct Pending {
        ber::Pdu pdu;
        uint64_t dueMs = 0;
        int sent = 0;
    };
    void transmit(Pending& p);
    std::vector<uint8_t> encode(const ber::Pdu& pdu);
    int32_t engineTime() const;

    NotifyOptions m_opt;
    Chassis& m_chassis;
    std::string m_engineId;
    int32_t m_boots;
    uint64_t m_startMs;
    int m_fd = -1;
    sockaddr_storage m_to{};
    socklen_t m_toLen = 0;
    int32_t m_nextId = 1;
    std::map<int32_t, Pending> m_pending; // by request id
    uint64_t m_givenUp = 0;
    // SNMPv3 informs: the receiver's engine as its reports tell it.
    std::string m_remoteEngine;
    int32_t m_remoteBoots = 0, m_remoteTime = 0;
    uint64_t m_remoteTimeAtMs = 0;
    std::shared_ptr<const usm::Keys> m_keys;
};

// The notifier the chassis, RMON and spanning-tree models report to; null: none.
void SetNotifier(Notifier* notifier);
Notifier* CurrentNotifier();

} // namespace sim
