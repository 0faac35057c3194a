// The wire side of one session, on the owner's thread: its socket, the requests outstanding and
// their retransmission, and the rows a walk reads ahead. Private to the library.
#pragma once

#include "qvsnmp/agentstate.h"
#include "qvsnmp/qvsnmp.h"
#include "qvsnmp/walk.h"

#include <QObject>

#include <netinet/in.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>

class QSocketNotifier;
class QTimer;

uint32_t NextRequestId();

using Records = std::shared_ptr<const std::vector<qvsnmp::WalkRecord>>;

// One request on the wire, kept until its answer or its time-out.
struct SnmpRequest {
    std::vector<uint8_t> bytes;
    std::string community;
    unsigned short kind = 0;
    size_t asked = 0; // bindings the agent is asked for: what the request costs it
    // A walk's step: the records, where the walk stood when it was asked, what it asked
    Records records;
    qvsnmp::WalkCursor from;
    qvsnmp::WalkRequest walk;
    int repetitions = 0;
    bool ahead = false; // fetched for a session that reads ahead
    // A copy went out: the answer may answer any copy, and times no round trip.
    bool sentAgain = false;
    qint64 firstSent = 0;
    qint64 nextSend = 0;
    qint64 deadline = 0;
    qint64 interval = 0;
};

class SnmpTransport : public QObject {
public:
    SnmpTransport(CSnmpClass* session, const QString& address, quint16 port);
    ~SnmpTransport() override;

    bool valid() const { return m_fd >= 0; }
    // The agent's address and port, by which SNMPv3 sessions toward it share what they learn.
    QString agentKey() const;

    using Request = SnmpRequest;

    void transmit(uint32_t id, Request req);

    // A get-next of a session that reads ahead: answered, through the event loop and under id,
    // with the next row of the walk, read ahead by GETBULK (or get-next, from an agent that
    // does not answer GETBULK).
    void nextRow(uint32_t id, Records records);
    // Forgets the walk under way and whatever was read ahead for it.
    void restartWalk();

    CSnmpClass::Callback callback;

private:
    struct Row {
        std::vector<ber::VarBind> bindings;
        std::vector<char> holes;
    };
    // The walk of a session that reads ahead.
    struct Ahead {
        bool walking = false;
        Records records;
        qvsnmp::WalkCursor fetch; // where the next request continues
        std::deque<Row> rows;     // read, not handed on yet
        qint64 fetchedAt = 0;
        bool ends = false; // the walk ends after rows
        qvsnmp::WalkStop stop = qvsnmp::WalkStop::None;
        std::deque<uint32_t> waiting; // get-nexts waiting for a row
        uint32_t inFlight = 0;
        int repetitions = 10;
        int cutAt = 0; // rows an answer was cut short at, or a request timed out at (0: none)
        bool getNextOnly = false;
        bool bulkUnanswered = false; // a GETBULK went unanswered; get-next asked instead
        Row lastRow;                 // the last row handed on (none yet: empty),
        bool onItsWay = false;       // and not yet in the caller's hands
        // GETBULKs from where the walk stands that timed out: a slow agent's answer to one of
        // them still serves, whenever it comes.
        std::vector<std::pair<uint32_t, SnmpRequest>> late;
    };

    void sendBytes(const std::vector<uint8_t>& bytes);
    void schedule();
    void expire();
    void readAll();
    void deliver(CSnmpMsg* msg);
    // A request that ends without an answer: the walk starts over, the callback hears status.
    void fail(const Request& req, unsigned short status, const std::string& reason);
    // An SNMPv3 answer: the response it holds, as a v2c one would come; or nothing, when it
    // only moved the exchange on (discovery, time window) or ended the request.
    std::optional<ber::Message> v3Answer(const uint8_t* data, size_t size);

    void fetchAhead();
    void serveRows(bool asked);
    // An answer to a request of the walk: the one in flight, or one that timed out from where
    // the walk still stands.
    void takeAhead(uint32_t id, const Request& req, ber::Pdu& pdu);
    void failAhead(uint32_t id, Request req);
    // The late request under id with community, taken out of the walk's; false when none.
    bool takeLate(uint32_t id, const std::string& community, Request& out);
    // first: the row's first delivery (others are copies for get-nexts asked at the same place)
    void deliverRow(uint32_t id, Row row, bool first);
    void deliverEnd(uint32_t id, qvsnmp::WalkStop stop, ber::Pdu pdu = {});

    CSnmpClass* m_session;
    sockaddr_storage m_agent;
    socklen_t m_agentLength = 0;
    std::shared_ptr<qvsnmp::AgentState> m_state;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    qint64 m_timerDue = 0;
    std::map<uint32_t, Request> m_outstanding;
    Ahead m_ahead;
    uint64_t m_generation = 0; // counts restarts of the walk
};
