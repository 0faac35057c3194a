// The wire side of one session, on the owner's thread: its socket, the requests outstanding and
// their retransmission. Private to the library. It knows nothing of the session: it encodes
// and decodes through the session's MessageSecurity and reports through TransportSite.
#pragma once

#include "qvsnmp/address.h"
#include "qvsnmp/agentstate.h"
#include "qvsnmp/walk.h"

#include <QObject>

#include <memory>
#include <mutex>
#include <string>

class QSocketNotifier;
class QTimer;
namespace usm {
struct User;
}

namespace qvsnmp {

class ReadAhead;

uint32_t nextRequestId();
int64_t nowMs();
// The time-out of every request (SetSnmpTimeout).
int timeoutMs();
void setTimeoutMs(int ms);

using Records = std::shared_ptr<const std::vector<WalkRecord>>;

// How a PDU becomes the octets of a message and a message a PDU: SNMPv1/v2c's community, or
// SNMPv3's user-based security model.
class MessageSecurity {
public:
    virtual ~MessageSecurity() = default;
    // The message for pdu under its request id into out (whatever it held replaced, its
    // storage kept), and in *tag what its answer must carry (the community); out is empty when
    // it cannot be made. pdu is lent, and left as it came.
    virtual void encode(ber::Pdu& pdu, std::vector<uint8_t>& out, std::string* tag) = 0;

    struct Received {
        enum class Verdict {
            Ignore,   // not an answer of this agent to this session
            Response, // pdu holds the answer; tag what it carried
            Resend,   // bytes replace the request's, sent at once (SNMPv3 discovery)
            Fail,     // the request ends; reason says why
        } verdict = Verdict::Ignore;
        int32_t id = 0;
        ber::Pdu pdu;
        std::string tag;
        std::vector<uint8_t> bytes;
        std::string reason;
    };
    virtual Received decode(const uint8_t* data, size_t size) = 0;
    // The request under id timed out.
    virtual void forget(int32_t id) { (void)id; }
    // Why a request that timed out did.
    virtual std::string timeoutReason() { return "no answer from the agent"; }
    // Whether the last failure was for a security reason.
    virtual bool failureIsSecurity() const { return false; }
    // Whether a walk may be read ahead by GETBULK.
    virtual bool readsAhead() const = 0;
};

// A community's security: SNMPv1 or SNMPv2c (ber::V1, ber::V2c); sets go with write.
std::unique_ptr<MessageSecurity> communitySecurity(int version, std::string read,
                                                   std::string write);
// The user-based security model toward the agent of agentKey (SNMPv3).
std::unique_ptr<MessageSecurity> usmSecurity(const usm::User& user, const std::string& agentKey);

// An answer as the transport hands it on.
struct Answer {
    ber::Pdu pdu;
    std::vector<char> holes; // which bindings are holes; empty for none
    bool walk = false;       // an answer to get-next or GETBULK: ends decided on arrival
    bool ends = false;
    WalkStop stop = WalkStop::None;
    int bulkRows = 0;
};

// What the transport needs of whoever owns it.
class TransportSite {
public:
    enum class Failure { Timeout, Refused };
    // A request failed for reason (before failedRequest is called for it).
    virtual void failureSeen(const std::string& reason) = 0;
    // An answer, on the owner's thread; the site takes it.
    virtual void answered(Answer&& answer) = 0;
    // A request ended without an answer. The site may delete the transport.
    virtual void failedRequest(Failure failure) = 0;

protected:
    ~TransportSite() = default;
};

// One request on the wire, kept until its answer or its time-out.
struct Request {
    std::vector<uint8_t> bytes;
    std::string tag; // what its answer must carry
    uint8_t kind = 0;
    size_t asked = 0; // bindings the agent is asked for: what the request costs it
    // A walk's step: the records, which columns had ended when it was asked, what it asked
    Records records;
    WalkCursor from;
    WalkRequest walk;
    int repetitions = 0;
    bool ahead = false; // fetched for a session that reads ahead
    // A copy went out: the answer may answer any copy, and times no round trip.
    bool sentAgain = false;
    int64_t firstSent = 0;
    int64_t nextSend = 0;
    int64_t deadline = 0;
    int64_t interval = 0;
};

// A request's message into out (with its tag, kind and cost); false when it cannot be made or
// does not fit a datagram.
bool encodeRequest(MessageSecurity& security, ber::Pdu& pdu, Request& out);
// out.walk's OIDs as a get-next or GETBULK request (see encodeRequest).
bool encodeWalk(MessageSecurity& security, uint8_t kind, uint32_t id, int repetitions,
                Request& out);

// Where a walk that is not read ahead stands between two requests: written as answers come,
// read by the session's sends on any thread.
class WalkPlace {
public:
    void set(WalkCursor cursor) {
        std::lock_guard lock(m_mutex);
        m_cursor = std::move(cursor);
    }
    // The walk goes on from cursor, which gets the storage of where it stood.
    void swap(WalkCursor& cursor) {
        std::lock_guard lock(m_mutex);
        std::swap(m_cursor, cursor);
    }
    // The next request of a walk over records from here into req: its walk, and in from.ended
    // which columns had ended (what an answer to it is read with), without a copy of the
    // cursor, in the storage the last request answered left (see keep).
    void request(const std::vector<WalkRecord>& records, Request& req) {
        std::lock_guard lock(m_mutex);
        req.walk = std::move(m_spare.walk);
        req.bytes = std::move(m_spare.bytes);
        req.from.ended = std::move(m_spare.ended);
        // Read with the answer only when it was made for these records, as the request is.
        req.from.ended = m_cursor.ended;
        nextWalkRequest(records, m_cursor, req.walk);
    }
    // A request of the walk that was answered: the next one is written in its storage.
    void keep(Request&& req) {
        std::lock_guard lock(m_mutex);
        m_spare.walk = std::move(req.walk);
        m_spare.bytes = std::move(req.bytes);
        m_spare.ended = std::move(req.from.ended);
    }

private:
    mutable std::mutex m_mutex;
    WalkCursor m_cursor;
    struct {
        WalkRequest walk;
        std::vector<uint8_t> bytes;
        std::vector<char> ended;
    } m_spare;
};

// What a walk read ahead needs of the wire it runs on.
class WalkWire {
public:
    virtual AgentState& state() const = 0;
    virtual MessageSecurity& security() const = 0;
    virtual void transmit(uint32_t id, Request req) = 0;
    // Drops the request under id: its answer, should it come, is ignored.
    virtual void cancel(uint32_t id) = 0;

protected:
    ~WalkWire() = default;
};

class Transport : public QObject, public WalkWire {
public:
    Transport(TransportSite& site, const QString& address, quint16 port);
    ~Transport() override;

    bool valid() const { return m_fd >= 0; }
    // The agent's one key, by which sessions toward it share what they learn.
    const std::string& agentKey() const { return m_agent.key; }
    void setSecurity(MessageSecurity* security) { m_security = security; }
    MessageSecurity& security() const override { return *m_security; }
    WalkPlace& place() { return m_place; }
    AgentState& state() const override { return *m_state; }
    TransportSite& site() const { return m_site; }

    void transmit(uint32_t id, Request req) override;
    void cancel(uint32_t id) override;

    // A get-next of a session that reads ahead (see ReadAhead::nextRow).
    void nextRow(uint32_t id, Records records);
    void restartWalk();

private:
    void sendBytes(const std::vector<uint8_t>& bytes);
    void schedule();
    void expire();
    void readOne();
    // A request that ends without an answer: the walk starts over, the site hears of it.
    void fail(const Request& req, TransportSite::Failure failure, const std::string& reason);

    TransportSite& m_site;
    MessageSecurity* m_security = nullptr;
    AgentAddress m_agent;
    std::shared_ptr<AgentState> m_state;
    WalkPlace m_place;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    int64_t m_timerDue = 0;
    // A session has a request or two out at a time: a short list, searched in order.
    std::vector<std::pair<uint32_t, Request>> m_outstanding;
    std::vector<std::pair<uint32_t, Request>>::iterator outstanding(uint32_t id);
    std::unique_ptr<ReadAhead> m_ahead;
    WalkRows m_rows; // the last answer's rows, kept for the storage of the next
};

} // namespace qvsnmp
