#include "qvsnmp/readahead.h"

#include <QPointer>

#include <algorithm>

namespace qvsnmp {

namespace {

// The most rows one GETBULK asks for. Past about 50 rows a request the walk gains little (the
// agent's work per row dominates), and a lost answer costs more.
constexpr int kMostRepetitions = 50;
// The rows of the first GETBULK toward an agent that has never answered: its answer tells what
// the agent's rows cost before a block large enough to outlast the time-out goes out.
constexpr int kFirstRepetitions = 5;
// Late answers kept for: fewer rows are asked at most a few times before the walk gives up.
constexpr size_t kMostLate = 8;

} // namespace

void ReadAhead::nextRow(uint32_t id, Records records) {
    State& a = m_state;
    if (!a.walking) {
        restart();
        a.walking = true;
        a.records = std::move(records);
        a.getNextOnly = a.getNextOnly || m_wire.state().bulk() == AgentState::Bulk::Refused;
    } else if (a.onItsWay) {
        // Asked before the last row reached the caller: from where that row was asked, as a
        // get-next sent then would have been, so it gets that row too.
        deliverRow(id, a.lastRow, false);
        return;
    }
    a.waiting.push_back(id);
    serve(true);
}

void ReadAhead::restart() {
    if (m_state.inFlight) m_wire.cancel(m_state.inFlight); // its answer, should it come, is dropped
    ++m_generation; // rows on their way to the caller still arrive, but count for no walk
    State next;
    // What the session learned of the agent holds for its next walk too; whether it answers
    // GETBULK at all is the agent's state, not one walk's error.
    next.repetitions = m_state.repetitions;
    next.cutAt = m_state.cutAt;
    m_state = std::move(next);
}

void ReadAhead::serve(bool asked) {
    State& a = m_state;
    // A row read ahead is handed on only while it is younger than the time a copy of a request
    // would wait: a page that asks late gets what the agent has then, not an old row.
    if (!a.rows.empty() &&
        nowMs() - a.fetchedAt > m_wire.state().retransmitAfter(timeoutMs(), a.records->size())) {
        a.rows.clear();
        a.ends = false;
        a.late.clear();
        if (a.inFlight) m_wire.cancel(std::exchange(a.inFlight, 0u));
        // From the last row handed on: a hole's OID is its column's at the row's index.
        a.fetch = {};
        for (const ber::VarBind& vb : a.lastRow.bindings)
            a.fetch.next.push_back(vb.oid);
        a.fetch.ended.assign(a.fetch.next.size(), 0);
    }
    while (!a.waiting.empty()) {
        if (!a.rows.empty()) {
            // Get-nexts waiting together were asked from the same place: one row for all.
            const std::deque<uint32_t> waiting = std::move(a.waiting);
            a.waiting.clear();
            Row row = std::move(a.rows.front());
            a.rows.pop_front();
            for (size_t i = 0; i < waiting.size(); ++i)
                deliverRow(waiting[i], i + 1 < waiting.size() ? row : std::move(row), i == 0);
        } else if (a.ends) {
            const WalkStop stop = a.stop;
            const std::deque<uint32_t> waiting = std::move(a.waiting);
            restart();
            for (uint32_t id : waiting)
                deliverEnd(id, stop);
            return;
        } else {
            break;
        }
    }
    if (!a.walking || a.ends || a.inFlight) return;
    // Nothing is read for a walk nobody asks rows of; for one that asks, the next block goes
    // out before the rows run out.
    if ((asked || !a.waiting.empty()) && a.rows.size() <= size_t(a.repetitions / 2)) fetch();
}

void ReadAhead::failWaiting(size_t count, bool queued) {
    // The site may delete the transport, and this walk with it.
    QPointer<QObject> alive(&m_context);
    for (size_t i = 0; i < count; ++i) {
        if (queued) {
            QMetaObject::invokeMethod(
                &m_context,
                [&site = m_site] { site.failedRequest(TransportSite::Failure::Timeout); },
                Qt::QueuedConnection);
        } else {
            if (!alive) return;
            m_site.failedRequest(TransportSite::Failure::Timeout);
        }
    }
}

void ReadAhead::fetch() {
    State& a = m_state;
    const uint8_t kind = a.getNextOnly ? ber::GetNextRequest : ber::GetBulkRequest;
    const uint32_t id = nextRequestId();
    Request req;
    req.walk = nextWalkRequest(*a.records, a.fetch);
    AgentState& agent = m_wire.state();
    // As many rows as the agent should answer within half the time-out, so that a slow agent's
    // block is answered before any copy of it goes out.
    int repetitions =
        std::min(a.repetitions, agent.rowsWithin(timeoutMs() / 2, req.walk.oids.size()));
    if (!agent.hasAnswered()) repetitions = std::min(repetitions, kFirstRepetitions);
    if (!encodeWalk(m_wire.security(), kind, id, repetitions, req)) {
        // Nothing that fits a datagram can be asked: the walk fails as an unanswered one does.
        const size_t waiting = a.waiting.size();
        restart();
        failWaiting(waiting, true);
        return;
    }
    req.records = a.records;
    req.from.ended = a.fetch.ended; // all an answer is read with
    req.repetitions = repetitions;
    req.ahead = true;
    a.inFlight = id;
    m_wire.transmit(id, std::move(req));
}

bool ReadAhead::takeLate(uint32_t id, const std::string& tag, Request& out) {
    for (auto& [lateId, req] : m_state.late)
        if (lateId == id && req.tag == tag) {
            out = std::move(req);
            m_state.late.clear(); // the walk moves on from where they all asked
            // What the walk asked since from the same place: its answer only repeats this one.
            if (m_state.inFlight) m_wire.cancel(std::exchange(m_state.inFlight, 0u));
            m_state.inFlight = id;
            return true;
        }
    return false;
}

void ReadAhead::answered(uint32_t id, const Request& req, ber::Pdu& pdu) {
    State& a = m_state;
    AgentState& agent = m_wire.state();
    if (id != a.inFlight) return; // the walk was restarted since
    a.inFlight = 0;
    a.late.clear();
    const bool bulk = req.kind == ber::GetBulkRequest;
    if (bulk && a.getNextOnly && agent.bulk() != AgentState::Bulk::Refused) {
        // A GETBULK answered late, after get-next was asked instead: the agent answers it.
        a.getNextOnly = false;
        a.bulkUnanswered = false;
    }
    if (bulk && pdu.errorStatus == ber::TooBig) {
        a.cutAt = req.repetitions;
        a.repetitions = std::max(1, req.repetitions / 2);
        return fetch();
    }
    if (bulk && pdu.errorStatus != 0) {
        // An agent that refuses GETBULK is walked with get-next; the get-next answers for
        // itself if the fault was not GETBULK's.
        if (agent.bulk() != AgentState::Bulk::Works) agent.setBulk(AgentState::Bulk::Refused);
        a.getNextOnly = true;
        return fetch();
    }
    if (bulk)
        agent.setBulk(AgentState::Bulk::Works);
    else if (std::exchange(a.bulkUnanswered, false))
        agent.setBulk(AgentState::Bulk::Refused); // it answers, only not GETBULK
    if (pdu.errorStatus != 0) {
        const std::deque<uint32_t> waiting = std::move(a.waiting);
        restart();
        for (uint32_t w : waiting)
            deliverEnd(w, WalkStop::None, pdu);
        return;
    }
    WalkRows rows = takeWalkAnswer(*req.records, req.from, req.walk, pdu, bulk);
    const size_t width = req.records->size();
    for (int r = 0; r < rows.rows; ++r) {
        Row row;
        const auto first = std::ptrdiff_t(size_t(r) * width), last = first + std::ptrdiff_t(width);
        row.bindings.assign(std::make_move_iterator(rows.bindings.begin() + first),
                            std::make_move_iterator(rows.bindings.begin() + last));
        row.holes.assign(rows.holes.begin() + first, rows.holes.begin() + last);
        a.rows.push_back(std::move(row));
    }
    a.fetchedAt = nowMs();
    if (rows.ends) {
        a.ends = true;
        a.stop = rows.stop;
    } else {
        a.fetch = std::move(rows.cursor);
    }
    if (bulk) {
        // Grow while answers come whole; an answer the agent cut to its message size halves
        // the rows, and they do not grow back to where they were cut.
        const size_t asked = req.walk.records.size() * size_t(req.repetitions);
        if (pdu.bindings.size() < asked && !rows.ends) {
            a.cutAt = req.repetitions;
            a.repetitions = std::max(1, req.repetitions / 2);
        } else if (pdu.bindings.size() >= asked) {
            // As many as the agent answers in time (fetch asks no more than that), short of
            // where an answer was cut or a request timed out.
            a.repetitions =
                a.cutAt ? std::max(1, std::min(kMostRepetitions, a.cutAt - 1)) : kMostRepetitions;
        }
    }
    serve(false);
}

void ReadAhead::failed(uint32_t id, Request req) {
    State& a = m_state;
    AgentState& agent = m_wire.state();
    if (id != a.inFlight) return;
    a.inFlight = 0;
    const bool bulk = req.kind == ber::GetBulkRequest;
    const int rows = bulk ? req.repetitions : 1;
    const size_t columns = std::max<size_t>(req.walk.oids.size(), 1), asked = req.asked;
    if (a.late.size() < kMostLate) a.late.emplace_back(id, std::move(req));
    if (rows > 1) {
        // Larger than any answer the agent has given: too slow to answer, so a quarter of the
        // rows at most. A size it has answered: this one was lost, or the agent was slower than
        // before; one row goes on from here, and the next whole answer brings the rows back.
        a.cutAt = rows;
        a.repetitions = asked > agent.mostAnswered()
                            ? std::max(1, std::min(rows / 4, int(agent.mostAnswered() / columns)))
                            : 1;
        return fetch();
    }
    // A one-row GETBULK that an agent not known to answer it leaves unanswered is asked again
    // as get-next; should that be answered, the agent is walked with get-next from then on.
    if (bulk && agent.bulk() != AgentState::Bulk::Works) {
        a.getNextOnly = true;
        a.bulkUnanswered = true;
        return fetch();
    }
    // Otherwise the walk gives up where a get-next walk gives up: a request of one row went
    // unanswered for its whole time-out, sent again as every request is. A second one-row try
    // would double the time a silent agent takes to be told, past the panel's polling cycle.
    const size_t waiting = a.waiting.size();
    restart();
    failWaiting(waiting, false);
}

void ReadAhead::deliverRow(uint32_t id, Row row, bool first) {
    if (first) {
        m_state.lastRow = row;
        m_state.onItsWay = true;
    }
    auto shared = std::make_shared<Row>(std::move(row));
    QMetaObject::invokeMethod(
        &m_context,
        [this, id, shared, first, generation = m_generation] {
            if (first && generation == m_generation) m_state.onItsWay = false;
            Answer answer;
            answer.pdu.type = ber::Response;
            answer.pdu.requestId = int32_t(id);
            answer.pdu.bindings = std::move(shared->bindings);
            answer.holes = std::move(shared->holes);
            answer.walk = true;
            m_site.answered(std::move(answer));
        },
        Qt::QueuedConnection);
}

void ReadAhead::deliverEnd(uint32_t id, WalkStop stop, ber::Pdu pdu) {
    auto shared = std::make_shared<ber::Pdu>(std::move(pdu));
    QMetaObject::invokeMethod(
        &m_context,
        [this, id, stop, shared] {
            Answer answer;
            answer.pdu = std::move(*shared);
            answer.pdu.type = ber::Response;
            answer.pdu.requestId = int32_t(id);
            answer.walk = true;
            answer.ends = true;
            answer.stop = stop;
            m_site.answered(std::move(answer));
        },
        Qt::QueuedConnection);
}

} // namespace qvsnmp
