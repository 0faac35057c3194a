#include "qvsnmp/transport.h"

#include "qvsnmp/v3session.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>

namespace {

// The most rows one GETBULK asks for. Past about 50 rows a request the walk gains little (the
// agent's work per row dominates), and a lost answer costs more.
constexpr int kMostRepetitions = 50;
// The rows of the first GETBULK toward an agent that has never answered: its answer tells what
// the agent's rows cost before a block large enough to outlast the time-out goes out.
constexpr int kFirstRepetitions = 5;
// Late answers kept for: fewer rows are asked at most a few times before get-next.
constexpr size_t kMostLate = 8;

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// TALVEX_LOOPBACK_ONLY (set for every test run): a session toward anything outside 127.0.0.0/8
// and ::1 ends the process at once, so a test can never send a datagram that leaves this machine.
void refuseOutsideLoopback(const QString& address, const sockaddr_storage& a) {
    static const bool loopbackOnly = qEnvironmentVariableIntValue("TALVEX_LOOPBACK_ONLY") != 0;
    if (!loopbackOnly)
        return;
    if (a.ss_family == AF_INET) {
        if ((ntohl(reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr) >> 24) == 127)
            return;
    } else if (a.ss_family == AF_INET6) {
        if (IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr))
            return;
    }
    qFatal("qvsnmp: session toward %s refused: TALVEX_LOOPBACK_ONLY allows 127.0.0.0/8 and ::1 "
           "only",
           qPrintable(address));
}

// The agent's socket address from a dotted IPv4 address or an IPv6 literal; false for
// anything else (a host name is resolved before a session is built, see qvsnmp/address.h).
bool agentSocketAddress(const QString& address, quint16 port, sockaddr_storage& out,
                        socklen_t& length) {
    std::memset(&out, 0, sizeof out);
    const QByteArray text = address.toLatin1();
    auto& v4 = reinterpret_cast<sockaddr_in&>(out);
    if (inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        length = sizeof v4;
        return true;
    }
    auto& v6 = reinterpret_cast<sockaddr_in6&>(out);
    if (inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
        return true;
    }
    return false;
}

bool sameAddress(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in&>(b);
        return x.sin_addr.s_addr == y.sin_addr.s_addr && x.sin_port == y.sin_port;
    }
    if (a.ss_family == AF_INET6) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
        const auto& y = reinterpret_cast<const sockaddr_in6&>(b);
        return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 &&
               x.sin6_port == y.sin6_port;
    }
    return false;
}

} // namespace

uint32_t NextRequestId() {
    // Unique across the sessions of one process and, starting from a random point, unlikely to
    // repeat those of an earlier run that an agent may still be answering.
    static std::atomic<uint32_t> counter{[] {
        std::random_device rd;
        return uint32_t(rd() & 0x3FFFFFFF);
    }()};
    uint32_t id;
    do {
        id = counter.fetch_add(1) & 0x7FFFFFFF;
    } while (id == 0);
    return id;
}

// An address that is no literal, or a socket that cannot be had, leaves the transport without
// a socket: its requests are sent nowhere and fail at the time-out, as requests to an agent that
// does not answer do.
SnmpTransport::SnmpTransport(CSnmpClass* session, const QString& address, quint16 port)
    : m_session(session) {
    m_state = qvsnmp::AgentState::of(address.toStdString() + '/' + std::to_string(port));
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, this, [this] { expire(); });
    if (!agentSocketAddress(address, port, m_agent, m_agentLength))
        return;
    refuseOutsideLoopback(address, m_agent);
    m_fd = ::socket(m_agent.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    // Connected, so that the kernel already drops datagrams from anyone but the agent.
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&m_agent), m_agentLength) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { readAll(); });
}

SnmpTransport::~SnmpTransport() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void SnmpTransport::transmit(uint32_t id, Request req) {
    const qint64 now = nowMs();
    const int timeout = SnmpTimeout();
    req.interval = m_state->retransmitAfter(timeout, req.asked);
    req.firstSent = now;
    req.nextSend = now + req.interval;
    req.deadline = now + m_state->giveUpAfter(timeout, req.asked);
    sendBytes(req.bytes);
    m_outstanding[id] = std::move(req);
    schedule();
}

void SnmpTransport::sendBytes(const std::vector<uint8_t>& bytes) {
    if (m_fd < 0)
        return;
    // A failed send (no route, refused) is retried with the request and ends in the time-out
    // like a lost datagram.
    (void)::send(m_fd, bytes.data(), bytes.size(), 0);
}

// The timer stays armed for the earliest moment a request needs attention, or sooner: a walk
// sends a request for every answer, and arming the timer anew for each would cost more than the
// request. Firing early only re-arms it.
void SnmpTransport::schedule() {
    if (m_outstanding.empty())
        return;
    qint64 next = std::numeric_limits<qint64>::max();
    for (const auto& [id, r] : m_outstanding)
        next = std::min(next, std::min(r.nextSend, r.deadline));
    if (m_timer->isActive() && m_timerDue <= next)
        return;
    m_timerDue = next;
    m_timer->start(int(std::max<qint64>(next - nowMs(), 0)));
}

void SnmpTransport::expire() {
    const qint64 now = nowMs();
    std::vector<std::pair<uint32_t, Request>> failed;
    for (auto it = m_outstanding.begin(); it != m_outstanding.end();) {
        Request& r = it->second;
        if (now >= r.deadline) {
            failed.emplace_back(it->first, std::move(r));
            it = m_outstanding.erase(it);
            continue;
        }
        if (now >= r.nextSend) {
            // Each copy waits twice as long as the one before: an agent that is merely slow
            // gets few of them.
            sendBytes(r.bytes);
            r.sentAgain = true;
            r.interval *= 2;
            r.nextSend = now + r.interval;
        }
        ++it;
    }
    schedule();
    QPointer<SnmpTransport> alive(this);
    for (auto& [id, r] : failed) {
        if (r.ahead) {
            failAhead(id, std::move(r));
        } else {
            if (m_session->m_v3)
                m_session->m_v3->forget(int32_t(id));
            fail(r, SNMP_STATUS_TIMEOUT,
                 m_session->m_v3 ? m_session->m_v3->timeoutReason() : "no answer from the agent");
        }
        if (!alive)
            return;
    }
}

// One datagram a call: the notifier calls again while more wait, and a walk, whose answer
// brings the next request, is spared a read that finds nothing.
void SnmpTransport::readAll() {
    uint8_t buf[65536];
    sockaddr_storage from;
    socklen_t fromLen = sizeof from;
    ssize_t n;
    do
        n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return; // EAGAIN, or an ICMP error: the retries and time-out take care of it
    if (fromLen != m_agentLength || !sameAddress(from, m_agent))
        return;
    std::optional<ber::Message> msg =
        m_session->m_v3 ? v3Answer(buf, size_t(n)) : ber::decode(buf, size_t(n));
    if (!msg || msg->pdu.type != ber::Response || msg->version != m_session->m_version)
        return;
    const uint32_t id = uint32_t(msg->pdu.requestId);
    auto it = m_outstanding.find(id);
    Request req;
    if (it != m_outstanding.end() && it->second.community == msg->community) {
        req = std::move(it->second);
        m_outstanding.erase(it);
    } else if (!takeLate(id, msg->community, req)) {
        return;
    }
    // Only a request sent once times the agent: an answer after a copy may answer either.
    if (!req.sentAgain)
        m_state->measured(nowMs() - req.firstSent, msg->pdu.bindings.size());
    if (req.ahead)
        return takeAhead(id, req, msg->pdu);
    CSnmpMsg* out;
    if (req.kind == SNMP_PDU_GETNEXT || req.kind == SNMP_PDU_GETBULK) {
        const bool bulk = req.kind == SNMP_PDU_GETBULK;
        qvsnmp::WalkRows rows = qvsnmp::takeWalkAnswer(*req.records, req.from, req.walk, msg->pdu, bulk);
        m_session->walkGoesOn(rows.ends ? qvsnmp::WalkCursor{} : std::move(rows.cursor));
        if (rows.rows > 0) {
            ber::Pdu pdu;
            pdu.type = msg->pdu.type;
            pdu.requestId = msg->pdu.requestId;
            pdu.bindings = std::move(rows.bindings);
            out = new CSnmpMsg(std::move(pdu), rows.holes);
        } else {
            out = new CSnmpMsg(std::move(msg->pdu));
        }
        CSnmpPdu* pdu = out->GetPdu();
        pdu->m_stop = rows.stop;
        pdu->m_walk = true;
        pdu->m_walkEnds = rows.ends;
        pdu->m_bulkRows = bulk ? rows.rows : 0;
    } else {
        out = new CSnmpMsg(std::move(msg->pdu));
    }
    deliver(out);
}

void SnmpTransport::fail(const Request& req, unsigned short status, const std::string& reason) {
    m_session->failed(reason);
    if (req.kind == SNMP_PDU_GETNEXT || req.kind == SNMP_PDU_GETBULK)
        m_session->walkGoesOn({}); // a failed walk starts over next time
    if (callback)
        callback(status, nullptr);
}

std::optional<ber::Message> SnmpTransport::v3Answer(const uint8_t* data, size_t size) {
    v3::ManagerSession::Outcome o = m_session->m_v3->receive(data, size);
    auto it = m_outstanding.find(uint32_t(o.msgId));
    if (o.verdict == v3::ManagerSession::Verdict::Ignore || it == m_outstanding.end())
        return std::nullopt;
    if (o.verdict == v3::ManagerSession::Verdict::Resend) {
        it->second.bytes = std::move(o.bytes);
        sendBytes(it->second.bytes);
        return std::nullopt;
    }
    if (o.verdict == v3::ManagerSession::Verdict::Fail) {
        const Request req = std::move(it->second);
        m_outstanding.erase(it);
        fail(req, SNMP_STATUS_REFUSED, o.reason); // may delete this transport
        return std::nullopt;
    }
    ber::Message m;
    m.version = m_session->m_version;
    m.community = it->second.community;
    m.pdu = std::move(o.pdu);
    return m;
}

QString SnmpTransport::agentKey() const {
    char host[NI_MAXHOST] = {}, port[NI_MAXSERV] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&m_agent), m_agentLength, host, sizeof host,
                    port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return {};
    return QStringLiteral("[%1]:%2").arg(QLatin1String(host), QLatin1String(port));
}

void SnmpTransport::deliver(CSnmpMsg* msg) {
    if (callback)
        callback(SNMP_STATUS_OK, msg);
    else
        msg->Release();
}

// ---- reading ahead -----------------------------------------------------------------------

void SnmpTransport::nextRow(uint32_t id, Records records) {
    if (!m_ahead.walking) {
        restartWalk();
        m_ahead.walking = true;
        m_ahead.records = std::move(records);
        m_ahead.getNextOnly = m_ahead.getNextOnly || m_state->bulk() == qvsnmp::AgentState::Bulk::Refused;
    } else if (m_ahead.onItsWay) {
        // Asked before the last row reached the caller: from where that row was asked, as a
        // get-next sent then would have been, so it gets that row too.
        deliverRow(id, m_ahead.lastRow, false);
        return;
    }
    m_ahead.waiting.push_back(id);
    serveRows(true);
}

void SnmpTransport::restartWalk() {
    if (m_ahead.inFlight)
        m_outstanding.erase(m_ahead.inFlight); // its answer, should it come, is dropped
    ++m_generation; // rows on their way to the caller still arrive, but count for no walk
    Ahead next;
    // What the session learned of the agent holds for its next walk too.
    next.repetitions = m_ahead.repetitions;
    next.cutAt = m_ahead.cutAt;
    next.getNextOnly = m_ahead.getNextOnly;
    m_ahead = std::move(next);
}

void SnmpTransport::serveRows(bool asked) {
    Ahead& a = m_ahead;
    // A row read ahead is handed on only while it is younger than the time a copy of a request
    // would wait: a page that asks late gets what the agent has then, not an old row.
    if (!a.rows.empty() &&
        nowMs() - a.fetchedAt > m_state->retransmitAfter(SnmpTimeout(), a.records->size())) {
        a.rows.clear();
        a.ends = false;
        a.late.clear();
        if (a.inFlight)
            m_outstanding.erase(std::exchange(a.inFlight, 0u));
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
                deliverRow(waiting[i], row, i == 0);
        } else if (a.ends) {
            const qvsnmp::WalkStop stop = a.stop;
            const std::deque<uint32_t> waiting = std::move(a.waiting);
            restartWalk();
            for (uint32_t id : waiting)
                deliverEnd(id, stop);
            return;
        } else {
            break;
        }
    }
    if (!a.walking || a.ends || a.inFlight)
        return;
    // Nothing is read for a walk nobody asks rows of; for one that asks, the next block goes
    // out before the rows run out.
    if ((asked || !a.waiting.empty()) && a.rows.size() <= size_t(a.repetitions / 2))
        fetchAhead();
}

void SnmpTransport::fetchAhead() {
    Ahead& a = m_ahead;
    const unsigned short kind = a.getNextOnly ? SNMP_PDU_GETNEXT : SNMP_PDU_GETBULK;
    const uint32_t id = NextRequestId();
    Request req;
    req.walk = qvsnmp::nextWalkRequest(*a.records, a.fetch);
    // As many rows as the agent should answer within half the time-out, so that a slow agent's
    // block is answered before any copy of it goes out.
    int repetitions =
        std::min(a.repetitions, m_state->rowsWithin(SnmpTimeout() / 2, req.walk.oids.size()));
    if (!m_state->hasAnswered())
        repetitions = std::min(repetitions, kFirstRepetitions);
    if (!m_session->encodeWalk(kind, id, repetitions, req)) {
        // Nothing that fits a datagram can be asked: the walk fails as an unanswered one does.
        const size_t waiting = a.waiting.size();
        restartWalk();
        for (size_t i = 0; i < waiting; ++i)
            QMetaObject::invokeMethod(
                this, [this] { if (callback) callback(SNMP_STATUS_TIMEOUT, nullptr); }, Qt::QueuedConnection);
        return;
    }
    req.records = a.records;
    req.from = a.fetch;
    req.repetitions = repetitions;
    req.ahead = true;
    a.inFlight = id;
    transmit(id, std::move(req));
}

bool SnmpTransport::takeLate(uint32_t id, const std::string& community, Request& out) {
    for (auto& [lateId, req] : m_ahead.late)
        if (lateId == id && req.community == community) {
            out = std::move(req);
            m_ahead.late.clear(); // the walk moves on from where they all asked
            // What the walk asked since from the same place: its answer only repeats this one.
            if (m_ahead.inFlight)
                m_outstanding.erase(std::exchange(m_ahead.inFlight, 0u));
            m_ahead.inFlight = id;
            return true;
        }
    return false;
}

void SnmpTransport::takeAhead(uint32_t id, const Request& req, ber::Pdu& pdu) {
    Ahead& a = m_ahead;
    if (id != a.inFlight)
        return; // the walk was restarted since
    a.inFlight = 0;
    a.late.clear();
    const bool bulk = req.kind == SNMP_PDU_GETBULK;
    if (bulk && a.getNextOnly && m_state->bulk() != qvsnmp::AgentState::Bulk::Refused) {
        // A GETBULK answered late, after get-next was asked instead: the agent answers it.
        a.getNextOnly = false;
        a.bulkUnanswered = false;
    }
    if (bulk && pdu.errorStatus == ber::TooBig) {
        a.cutAt = req.repetitions;
        a.repetitions = std::max(1, req.repetitions / 2);
        return fetchAhead();
    }
    if (bulk && pdu.errorStatus != 0) {
        // An agent that refuses GETBULK is walked with get-next; the get-next answers for
        // itself if the fault was not GETBULK's.
        if (m_state->bulk() != qvsnmp::AgentState::Bulk::Works)
            m_state->setBulk(qvsnmp::AgentState::Bulk::Refused);
        a.getNextOnly = true;
        return fetchAhead();
    }
    if (bulk)
        m_state->setBulk(qvsnmp::AgentState::Bulk::Works);
    else if (std::exchange(a.bulkUnanswered, false))
        m_state->setBulk(qvsnmp::AgentState::Bulk::Refused); // it answers, only not GETBULK
    if (pdu.errorStatus != 0) {
        const std::deque<uint32_t> waiting = std::move(a.waiting);
        restartWalk();
        for (uint32_t id : waiting)
            deliverEnd(id, qvsnmp::WalkStop::None, pdu);
        return;
    }
    qvsnmp::WalkRows rows = qvsnmp::takeWalkAnswer(*req.records, req.from, req.walk, pdu, bulk);
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
            // As many as the agent answers in time (fetchAhead asks no more than that), short
            // of where an answer was cut or a request timed out.
            a.repetitions =
                a.cutAt ? std::max(1, std::min(kMostRepetitions, a.cutAt - 1)) : kMostRepetitions;
        }
    }
    serveRows(false);
}

void SnmpTransport::failAhead(uint32_t id, Request req) {
    Ahead& a = m_ahead;
    if (id != a.inFlight)
        return;
    a.inFlight = 0;
    if (req.kind == SNMP_PDU_GETBULK) {
        const int rows = req.repetitions;
        const size_t columns = std::max<size_t>(req.walk.oids.size(), 1), asked = req.asked;
        if (a.late.size() < kMostLate)
            a.late.emplace_back(id, std::move(req));
        // Larger than any answer the agent has given: too slow to answer, rather than lost.
        // Fewer rows are asked, down to one.
        if (rows > 1 && asked > m_state->mostAnswered()) {
            a.cutAt = rows;
            a.repetitions = std::max(1, std::min(rows / 4, int(m_state->mostAnswered() / columns)));
            return fetchAhead();
        }
        // A one-row GETBULK that an agent not known to answer it leaves unanswered is asked
        // again as get-next; should that be answered, the agent is walked with get-next from
        // then on.
        if (m_state->bulk() != qvsnmp::AgentState::Bulk::Works) {
            a.getNextOnly = true;
            a.bulkUnanswered = true;
            return fetchAhead();
        }
    }
    const std::deque<uint32_t> waiting = std::move(a.waiting);
    restartWalk();
    QPointer<SnmpTransport> alive(this);
    for (size_t i = 0; i < waiting.size() && alive && callback; ++i)
        callback(SNMP_STATUS_TIMEOUT, nullptr);
}

void SnmpTransport::deliverRow(uint32_t id, Row row, bool first) {
    if (first) {
        m_ahead.lastRow = row;
        m_ahead.onItsWay = true;
    }
    auto shared = std::make_shared<Row>(std::move(row));
    QMetaObject::invokeMethod(
        this,
        [this, id, shared, first, generation = m_generation] {
            if (first && generation == m_generation)
                m_ahead.onItsWay = false;
            ber::Pdu pdu;
            pdu.type = ber::Response;
            pdu.requestId = int32_t(id);
            pdu.bindings = std::move(shared->bindings);
            auto* msg = new CSnmpMsg(std::move(pdu), shared->holes);
            msg->GetPdu()->m_walk = true;
            deliver(msg);
        },
        Qt::QueuedConnection);
}

void SnmpTransport::deliverEnd(uint32_t id, qvsnmp::WalkStop stop, ber::Pdu pdu) {
    auto shared = std::make_shared<ber::Pdu>(std::move(pdu));
    QMetaObject::invokeMethod(
        this,
        [this, id, stop, shared] {
            shared->type = ber::Response;
            shared->requestId = int32_t(id);
            auto* msg = new CSnmpMsg(std::move(*shared));
            CSnmpPdu* p = msg->GetPdu();
            p->m_walk = true;
            p->m_walkEnds = true;
            p->m_stop = stop;
            deliver(msg);
        },
        Qt::QueuedConnection);
}
