// The manager's side of SNMPv3 for one session: its user, and what the session knows of the
// agent's engine (id, boots, time), learned by discovery and shared by every session of the
// process toward the same agent, so that a page opening its session does not discover again.
//
// A request is encoded while the engine is unknown as the discovery probe (RFC 3414 4: no
// engine id, no user, noAuthNoPriv, reportable); the agent's usmStatsUnknownEngineIDs report
// brings the engine, and the request itself is sent in its place under the same message id. A
// notInTimeWindow report (authenticated) brings the agent's boots and time, and the request
// is sent once more; a second one ends it. An unsigned one has the engine discovered once
// more, and is otherwise ignored. Every other report ends the request with a reason.
// Answers that fail their digest, do not match a request's message id, come at a lower
// security level than asked, or are authentic but older than the agent's clock as authentic
// messages set it (RFC 3414 3.2.7 b) are dropped as if never received. Safe from any thread.
//
// Keys are localised only for the engine the session's agent is known by. An engine learned
// from a report, which nothing authenticates, gets keys held apart until an authentic answer
// from it comes; only then do they join the few engines a session keeps keys for. A flood of
// reports naming new engines therefore costs one set of keys, not one per report.
#pragma once

#include "qvsnmp/v3msg.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace v3 {

class ManagerSession {
public:
    // agentKey names the agent for the shared engine knowledge ("[127.0.0.1]:161").
    ManagerSession(usm::User user, std::string agentKey);

    const usm::User& user() const { return m_user; }

    // The bytes to send for pdu under msgId; empty with *why when they cannot be made.
    std::vector<uint8_t> encode(int32_t msgId, const ber::Pdu& pdu, std::string* why);

    enum class Verdict {
        Ignore,   // not an answer to an outstanding request
        Response, // pdu holds the answer
        Resend,   // bytes replace the request's, sent at once
        Fail,     // the request ends; reason says why
    };
    struct Outcome {
        Verdict verdict = Verdict::Ignore;
        int32_t msgId = 0;
        ber::Pdu pdu;
        std::vector<uint8_t> bytes;
        std::string reason;
    };
    // An answer that came from the agent.
    Outcome receive(const uint8_t* data, size_t size);
    // The request under msgId timed out.
    void forget(int32_t msgId);
    // What the request forgotten last saw: nothing at all, or answers that failed
    // authentication, could not be decrypted or came below the level asked (counted), and
    // what that suggests (snmpd answers nothing to a message it cannot decrypt, nor for a
    // context it does not have).
    std::string timeoutReason();
    // Whether the last request that failed did for a security reason: a report of
    // authentication, user, engine, level or decryption, or answers that failed authentication
    // or decryption before its time-out.
    bool lastFailureSecurity() const { return m_securityFailure; }

    // Forgets every agent's engine (tests).
    static void forgetEngines();

private:
    struct Pending {
        ber::Pdu pdu;
        bool probe = false; // the bytes out are the discovery probe
        bool rediscovered = false;
        bool resynced = false; // sent again once after notInTimeWindow
        // answers dropped for it: a digest that failed (or an engine not known to sign
        // them), a scoped PDU that could not be decrypted, a level below the one asked, an
        // authentic one outside the time window, an unsigned notInTimeWindow report
        int unauthentic = 0, undecryptable = 0, belowLevel = 0, outsideWindow = 0,
            unsignedReports = 0;
    };
    std::vector<uint8_t> encodeLocked(int32_t msgId, Pending& p, std::string* why);
    // The keys for engineId: kept ones first, then the candidate, else new ones as candidate.
    std::shared_ptr<const usm::Keys> keysFor(const std::string& engineId);
    // An authentic message from engineId: its keys are kept (the least recently used go).
    void confirmKeys(const std::string& engineId);

    struct EngineKeys {
        std::string engineId;
        std::shared_ptr<const usm::Keys> keys;
    };
    static constexpr size_t kKeptEngines = 4;

    usm::User m_user;
    std::string m_agentKey;
    std::mutex m_mutex;
    std::map<int32_t, Pending> m_pending;
    std::list<EngineKeys> m_keys; // most recently used first
    EngineKeys m_candidate;
    int m_unreadable = 0; // datagrams from the agent that were no SNMPv3 message
    Pending m_timedOut;   // the last request forgotten
    bool m_securityFailure = false;
};

} // namespace v3
