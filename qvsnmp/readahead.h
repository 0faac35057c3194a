// Reading a walk ahead by GETBULK: each get-next is answered with the next row received.
// Private to the library; see "Reading ahead" in qvsnmp.h.
#pragma once

#include "qvsnmp/transport.h"

#include <QObject>

#include <deque>

namespace qvsnmp {

// The walk of a session that reads ahead, on the transport's thread.
class ReadAhead {
public:
    // The walk runs on wire and answers site; both outlive it.
    ReadAhead(WalkWire& wire, TransportSite& site) : m_wire(wire), m_site(site) {}

    // A get-next: answered, through the event loop and under id, with the next row of the
    // walk, read ahead by GETBULK (or get-next, from an agent that does not answer GETBULK).
    void nextRow(uint32_t id, Records records);
    // Forgets the walk under way and whatever was read ahead for it.
    void restart();
    // An answer to a request of the walk: the one in flight, or one that timed out from where
    // the walk still stands.
    void answered(uint32_t id, const Request& req, ber::Pdu& pdu);
    void failed(uint32_t id, Request req);
    // The late request under id with tag, taken out of the walk's; false when none.
    bool takeLate(uint32_t id, const std::string& tag, Request& out);

private:
    struct Row {
        std::vector<ber::VarBind> bindings;
        std::vector<char> holes;
    };
    struct State {
        bool walking = false;
        Records records;
        WalkCursor fetch;     // where the next request continues
        std::deque<Row> rows; // read, not handed on yet
        int64_t fetchedAt = 0;
        bool ends = false; // the walk ends after rows
        WalkStop stop = WalkStop::None;
        std::deque<uint32_t> waiting; // get-nexts waiting for a row
        uint32_t inFlight = 0;
        int repetitions = 10;
        int cutAt = 0; // rows an answer was cut short at, or a request timed out at (0: none)
        bool getNextOnly = false;
        bool bulkUnanswered = false; // a GETBULK went unanswered; get-next asked instead
        Row lastRow;                 // the last row handed on (none yet: empty),
        bool onItsWay = false;       // and not yet in the caller's hands
        // Requests from where the walk stands that timed out: a slow agent's answer to one of
        // them still serves, whenever it comes.
        std::vector<std::pair<uint32_t, Request>> late;
    };

    void fetch();
    void serve(bool asked);
    // first: the row's first delivery (others are copies for get-nexts asked at the same place)
    void deliverRow(uint32_t id, Row row, bool first);
    void deliverEnd(uint32_t id, WalkStop stop, ber::Pdu pdu = {});
    void failWaiting(size_t count, bool queued);

    WalkWire& m_wire;
    TransportSite& m_site;
    // What rows and failures are posted through: gone with the walk, so that nothing posted
    // reaches a walk that is no more.
    QObject m_context;
    State m_state;
    uint64_t m_generation = 0; // counts restarts of the walk
};

} // namespace qvsnmp
