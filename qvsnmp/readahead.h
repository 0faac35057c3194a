// Where a session's walk stands, and reading a walk ahead by GETBULK: each get-next is answered
// with the next row received. Private to the library; see "Reading ahead" in qvsnmp.h.
#pragma once

#include "qvsnmp/transport.h"

#include <deque>
#include <mutex>

namespace qvsnmp {

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

// The walk of a session that reads ahead, on the transport's thread.
class ReadAhead {
public:
    explicit ReadAhead(Transport& wire) : m_wire(wire) {}

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
        int oneRowUnanswered = 0;    // requests of one row from where the walk stands
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

    Transport& m_wire;
    State m_state;
    uint64_t m_generation = 0; // counts restarts of the walk
};

} // namespace qvsnmp
