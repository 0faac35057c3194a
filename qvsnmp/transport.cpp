#include "qvsnmp/transport.h"

#include "qvsnmp/readahead.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>

namespace qvsnmp {

namespace {

std::atomic<int> g_timeoutMs{4000};

} // namespace

int timeoutMs() {
    return g_timeoutMs;
}

void setTimeoutMs(int ms) {
    g_timeoutMs = ms > 0 ? ms : 1;
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

uint32_t nextRequestId() {
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

bool encodeRequest(MessageSecurity& security, ber::Pdu& pdu, Request& out) {
    security.encode(pdu, out.bytes, &out.tag);
    out.kind = pdu.type;
    out.asked = pdu.bindings.size();
    return !out.bytes.empty() && out.bytes.size() <= ber::MaxMessage;
}

bool encodeWalk(MessageSecurity& security, uint8_t kind, uint32_t id, int repetitions,
                Request& out) {
    // Kept between requests, its bindings without their OIDs: a walk sends one request a row.
    thread_local ber::Pdu pdu;
    pdu.type = kind;
    pdu.requestId = int32_t(id);
    pdu.errorIndex = kind == ber::GetBulkRequest ? repetitions : 0; // no non-repeaters
    // Lent to the PDU for its encoding, and taken back.
    std::vector<ber::Oid>& oids = out.walk.oids;
    pdu.bindings.resize(oids.size());
    for (size_t i = 0; i < oids.size(); ++i)
        pdu.bindings[i].oid = std::move(oids[i]);
    const bool fits = encodeRequest(security, pdu, out);
    for (size_t i = 0; i < oids.size(); ++i)
        oids[i] = std::move(pdu.bindings[i].oid);
    if (kind == ber::GetBulkRequest) out.asked = oids.size() * size_t(std::max(repetitions, 1));
    return fits;
}

// An address that is no literal, or a socket that cannot be had, leaves the transport without
// a socket: its requests are sent nowhere and fail at the time-out, as requests to an agent that
// does not answer do.
Transport::Transport(TransportSite& site, const QString& address, quint16 port)
    : m_site(site), m_agent(agentAt(address, port)),
      m_ahead(std::make_unique<ReadAhead>(*this, site)) {
    m_state = AgentState::of(m_agent.key);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, this, [this] { expire(); });
    if (!m_agent.valid()) return;
    refuseOutsideLoopback(address, m_agent);
    m_fd = ::socket(m_agent.socket.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return;
    // Connected, so that the kernel already drops datagrams from anyone but the agent.
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&m_agent.socket), m_agent.length) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { readOne(); });
}

Transport::~Transport() {
    if (m_fd >= 0) ::close(m_fd);
}

void Transport::transmit(uint32_t id, Request req) {
    const int64_t now = nowMs();
    const int timeout = timeoutMs();
    const AgentState::Waits waits = m_state->waits(timeout, req.asked);
    req.interval = waits.retransmit;
    req.firstSent = now;
    req.nextSend = now + req.interval;
    req.deadline = now + waits.giveUp;
    sendBytes(req.bytes);
    if (auto it = outstanding(id); it != m_outstanding.end())
        it->second = std::move(req);
    else
        m_outstanding.emplace_back(id, std::move(req));
    schedule();
}

std::vector<std::pair<uint32_t, Request>>::iterator Transport::outstanding(uint32_t id) {
    return std::find_if(m_outstanding.begin(), m_outstanding.end(),
                        [id](const auto& entry) { return entry.first == id; });
}

void Transport::cancel(uint32_t id) {
    if (auto it = outstanding(id); it != m_outstanding.end()) m_outstanding.erase(it);
}

void Transport::sendBytes(const std::vector<uint8_t>& bytes) {
    if (m_fd < 0) return;
    // A failed send (no route, refused) is retried with the request and ends in the time-out
    // like a lost datagram.
    (void)::send(m_fd, bytes.data(), bytes.size(), 0);
}

// The timer stays armed for the earliest moment a request needs attention, or sooner: a walk
// sends a request for every answer, and arming the timer anew for each would cost more than the
// request. Firing early only re-arms it.
void Transport::schedule() {
    if (m_outstanding.empty()) return;
    int64_t next = std::numeric_limits<int64_t>::max();
    for (const auto& [id, r] : m_outstanding)
        next = std::min(next, std::min(r.nextSend, r.deadline));
    if (m_timer->isActive() && m_timerDue <= next) return;
    m_timerDue = next;
    m_timer->start(int(std::max<int64_t>(next - nowMs(), 0)));
}

void Transport::expire() {
    const int64_t now = nowMs();
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
    QPointer<Transport> alive(this);
    for (auto& [id, r] : failed) {
        if (r.ahead) {
            m_ahead->failed(id, std::move(r));
        } else {
            m_security->forget(int32_t(id));
            fail(r, TransportSite::Failure::Timeout, m_security->timeoutReason());
        }
        if (!alive) return;
    }
}

// One datagram a call: the notifier calls again while more wait, and a walk, whose answer
// brings the next request, is spared a read that finds nothing.
void Transport::readOne() {
    uint8_t buf[65536];
    sockaddr_storage from;
    socklen_t fromLen = sizeof from;
    ssize_t n;
    do
        n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    while (n < 0 && errno == EINTR);
    if (n < 0) return; // EAGAIN, or an ICMP error: the retries and time-out take care of it
    if (!m_agent.is(from, fromLen)) return;
    MessageSecurity::Received in = m_security->decode(buf, size_t(n));
    using Verdict = MessageSecurity::Received::Verdict;
    auto it = outstanding(uint32_t(in.id));
    if (in.verdict == Verdict::Resend) {
        if (it != m_outstanding.end()) {
            it->second.bytes = std::move(in.bytes);
            sendBytes(it->second.bytes);
        }
        return;
    }
    if (in.verdict == Verdict::Fail) {
        if (it != m_outstanding.end()) {
            const Request req = std::move(it->second);
            m_outstanding.erase(it);
            fail(req, TransportSite::Failure::Refused, in.reason); // may delete this transport
        }
        return;
    }
    if (in.verdict != Verdict::Response || in.pdu.type != ber::Response) return;
    const uint32_t id = uint32_t(in.id);
    Request req;
    if (it != m_outstanding.end() && it->second.tag == in.tag) {
        req = std::move(it->second);
        m_outstanding.erase(it);
    } else if (!m_ahead->takeLate(id, in.tag, req)) {
        return;
    }
    // Only a request sent once times the agent: an answer after a copy may answer either.
    if (!req.sentAgain) m_state->measured(nowMs() - req.firstSent, in.pdu.bindings.size());
    if (req.ahead) return m_ahead->answered(id, req, in.pdu);
    Answer out;
    if (req.kind == ber::GetNextRequest || req.kind == ber::GetBulkRequest) {
        const bool bulk = req.kind == ber::GetBulkRequest;
        WalkRows& rows = m_rows;
        takeWalkAnswer(*req.records, req.from, req.walk, in.pdu, bulk, rows);
        if (rows.ends)
            m_place.set({});
        else
            m_place.swap(rows.cursor);
        m_place.keep(std::move(req)); // before the answer, which may ask the next
        if (rows.rows > 0) {
            out.pdu.type = in.pdu.type;
            out.pdu.requestId = in.pdu.requestId;
            out.pdu.bindings = std::move(rows.bindings);
            if (std::find(rows.holes.begin(), rows.holes.end(), 1) != rows.holes.end())
                out.holes = rows.holes; // else none, as a full row has
        } else {
            out.pdu = std::move(in.pdu);
        }
        out.walk = true;
        out.stop = rows.stop;
        out.ends = rows.ends;
        out.bulkRows = bulk ? rows.rows : 0;
    } else {
        out.pdu = std::move(in.pdu);
    }
    m_site.answered(std::move(out));
}

void Transport::fail(const Request& req, TransportSite::Failure failure,
                     const std::string& reason) {
    m_site.failureSeen(reason);
    if (req.kind == ber::GetNextRequest || req.kind == ber::GetBulkRequest)
        m_place.set({}); // a failed walk starts over next time
    m_site.failedRequest(failure);
}

void Transport::nextRow(uint32_t id, Records records) {
    m_ahead->nextRow(id, std::move(records));
}

void Transport::restartWalk() {
    m_ahead->restart();
}

} // namespace qvsnmp
