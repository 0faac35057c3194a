#include "qvsnmp/qvsnmp.h"

#include "qvsnmp/v3session.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <random>

namespace {

std::atomic<int> g_timeoutMs{4000};
std::atomic<int> g_portOverride{0};

quint16 agentPort() {
    if (int p = g_portOverride.load())
        return quint16(p);
    bool ok = false;
    uint v = qEnvironmentVariable("TALVEX_AGENT_PORT").toUInt(&ok);
    return ok && v > 0 && v < 65536 ? quint16(v) : quint16(161);
}

// Request ids are unique across the sessions of one process and, starting from a random point,
// unlikely to repeat those of an earlier run that an agent may still be answering.
uint32_t nextRequestId() {
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

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// TALVEX_LOOPBACK_ONLY (set for every test run): a session toward anything outside 127.0.0.0/8
// ends the process at once, so a test can never send a datagram that leaves this machine.
void refuseOutsideLoopback(const QString& address, in_addr a) {
    static const bool loopbackOnly = qEnvironmentVariableIntValue("TALVEX_LOOPBACK_ONLY") != 0;
    if (loopbackOnly && (ntohl(a.s_addr) >> 24) != 127)
        qFatal("qvsnmp: session toward %s refused: TALVEX_LOOPBACK_ONLY allows 127.0.0.0/8 only",
               qPrintable(address));
}

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

} // namespace

bool SnmpInit(QCoreApplication*) {
    return true;
}

void SetSnmpTimeout(int milliseconds) {
    g_timeoutMs = milliseconds > 0 ? milliseconds : 1;
}

int SnmpTimeout() {
    return g_timeoutMs;
}

void SetSnmpAgentPort(quint16 port) {
    g_portOverride = port;
}

quint16 SnmpAgentPort() {
    return agentPort();
}

// ---- PDU ---------------------------------------------------------------------------------

CSnmpPdu::CSnmpPdu(ber::Pdu pdu, const std::vector<char>& holes)
    : m_requestId(pdu.requestId), m_errorStatus(pdu.errorStatus), m_errorIndex(pdu.errorIndex) {
    m_bindings.reserve(qsizetype(pdu.bindings.size()));
    for (size_t i = 0; i < pdu.bindings.size(); ++i)
        m_bindings.append(new CSnmpVarBind(std::move(pdu.bindings[i]), i < holes.size() && holes[i]));
}

CSnmpPdu::~CSnmpPdu() {
    qDeleteAll(m_bindings);
}

// ---- transport ---------------------------------------------------------------------------

// Lives on the owner's thread: the socket, the outstanding requests and their timers.
class SnmpTransport : public QObject {
public:
    SnmpTransport(CSnmpClass* session, const QString& address, quint16 port)
        : m_session(session) {
        std::memset(&m_agent, 0, sizeof m_agent);
        m_agent.sin_family = AF_INET;
        m_agent.sin_port = htons(port);
        if (inet_pton(AF_INET, address.toLatin1().constData(), &m_agent.sin_addr) != 1)
            return;
        refuseOutsideLoopback(address, m_agent.sin_addr);
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return;
        // Connected, so that the kernel already drops datagrams from anyone but the agent.
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&m_agent), sizeof m_agent) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { readAll(); });
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { expire(); });
    }

    ~SnmpTransport() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool valid() const { return m_fd >= 0; }
    // The agent's address and port, which SNMPv3 sessions toward it share what they learn by.
    QString agentKey() const {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &m_agent.sin_addr, text, sizeof text);
        return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(m_agent.sin_port));
    }

    struct Request {
        std::vector<uint8_t> bytes;
        std::string community;
        unsigned short kind;
        // A walk's step: the records and where the walk stood when it was asked
        std::shared_ptr<const std::vector<qvsnmp::WalkRecord>> records;
        qvsnmp::WalkCursor from;
        qvsnmp::WalkRequest walk;
        qint64 nextSend;
        qint64 deadline;
        qint64 interval;
    };

    void transmit(uint32_t id, Request req) {
        qint64 now = nowMs();
        int timeout = g_timeoutMs;
        req.interval = std::max<qint64>(timeout / 4, 1);
        req.nextSend = now + req.interval;
        req.deadline = now + timeout;
        sendBytes(req.bytes);
        m_outstanding[id] = std::move(req);
        schedule();
    }

    CSnmpClass::Callback callback;

private:
    void sendBytes(const std::vector<uint8_t>& bytes) {
        // A failed send (no route, refused) is retried with the request and ends in the
        // time-out like a lost datagram.
        (void)::send(m_fd, bytes.data(), bytes.size(), 0);
    }

    // The timer stays armed for the earliest moment a request needs attention, or sooner: a
    // walk sends a request for every answer, and arming the timer anew for each would cost more
    // than the request. Firing early only re-arms it.
    void schedule() {
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

    void expire() {
        qint64 now = nowMs();
        std::vector<std::pair<uint32_t, unsigned short>> failed;
        for (auto it = m_outstanding.begin(); it != m_outstanding.end();) {
            Request& r = it->second;
            if (now >= r.deadline) {
                failed.emplace_back(it->first, r.kind);
                it = m_outstanding.erase(it);
                continue;
            }
            if (now >= r.nextSend) {
                sendBytes(r.bytes);
                r.nextSend = now + r.interval;
            }
            ++it;
        }
        schedule();
        QPointer<SnmpTransport> alive(this);
        for (auto [id, kind] : failed) {
            if (m_session->m_v3)
                m_session->m_v3->forget(int32_t(id));
            fail(kind, SNMP_STATUS_TIMEOUT,
                 m_session->m_v3 ? m_session->m_v3->timeoutReason() : "no answer from the agent");
            if (!alive)
                return;
        }
    }

    // The callback may delete the session and this transport with it.
    void fail(unsigned short kind, unsigned short status, const std::string& reason);

    // An SNMPv3 answer: the response it holds, as a v2c one would come; or nothing, when it
    // only moved the exchange on (discovery, time window) or ended the request.
    std::optional<ber::Message> v3Answer(const uint8_t* data, size_t size) {
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
            const unsigned short kind = it->second.kind;
            m_outstanding.erase(it);
            fail(kind, SNMP_STATUS_REFUSED, o.reason);
            return std::nullopt;
        }
        ber::Message m;
        m.version = m_session->m_version;
        m.community = it->second.community;
        m.pdu = std::move(o.pdu);
        return m;
    }

    // One datagram a call: the notifier calls again while more wait, and a walk, whose answer
    // brings the next request, is spared a read that finds nothing.
    void readAll() {
        uint8_t buf[65536];
        sockaddr_in from;
        socklen_t fromLen = sizeof from;
        ssize_t n;
        do
            n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return; // EAGAIN, or an ICMP error: the retries and time-out take care of it
        if (fromLen != sizeof from || from.sin_family != AF_INET || !sameAddress(from, m_agent))
            return;
        std::optional<ber::Message> msg =
            m_session->m_v3 ? v3Answer(buf, size_t(n)) : ber::decode(buf, size_t(n));
        if (!msg || msg->pdu.type != ber::Response || msg->version != m_session->m_version)
            return;
        auto it = m_outstanding.find(uint32_t(msg->pdu.requestId));
        if (it == m_outstanding.end() || it->second.community != msg->community)
            return;
        const Request req = std::move(it->second);
        m_outstanding.erase(it);
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
        if (callback)
            callback(SNMP_STATUS_OK, out);
        else
            out->Release();
    }

    CSnmpClass* m_session;
    sockaddr_in m_agent;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    qint64 m_timerDue = 0;
    std::map<uint32_t, Request> m_outstanding;
};

// ---- session -----------------------------------------------------------------------------

struct CSnmpClass::Shared {
    QMutex mutex;
    qvsnmp::WalkCursor cursor; // where the walk stands, when one is under way
    QString lastError;
    QString lastFailure;
    // Each record's OID as last parsed, with the text it was parsed from: a walk compares
    // every binding with its record, and the text changes only when the owner rewrites it.
    struct Parsed {
        char text[sizeof(_QvOidTable::oid)] = {};
        bool valid = false;
        ber::Oid oid;
    };
    QMutex parsedMutex; // taken alone, or inside mutex
    std::vector<Parsed> parsed;
    std::shared_ptr<const std::vector<qvsnmp::WalkRecord>> walkRecords; // as parsed
};

void SnmpTransport::fail(unsigned short kind, unsigned short status, const std::string& reason) {
    {
        QMutexLocker lock(&m_session->m_shared->mutex);
        m_session->m_shared->lastFailure = QString::fromStdString(reason);
    }
    if (kind == SNMP_PDU_GETNEXT || kind == SNMP_PDU_GETBULK)
        m_session->walkGoesOn({}); // a failed walk starts over next time
    if (callback)
        callback(status, nullptr);
}

CSnmpClass::CSnmpClass(QObject* owner, const QString& agentAddress, const QString& readCommunity,
                       const QString& writeCommunity, int count, _QvOidTable* table,
                       const QString& suffix)
    : m_owner(owner), m_table(table), m_count(table ? std::max(count, 0) : 0),
      m_suffix(suffix.toStdString()), m_readCommunity(readCommunity.toStdString()),
      m_writeCommunity(writeCommunity.toStdString()), m_shared(std::make_unique<Shared>()) {
    for (int i = 0; i < m_count; ++i)
        m_oids.append(new CSnmpOid(&m_table[i]));
    m_transport = new SnmpTransport(this, agentAddress, agentPort());
}

CSnmpClass::~CSnmpClass() {
    delete m_transport;
    qDeleteAll(m_oids);
}

void CSnmpClass::SetSnmpCallback(Callback callback) {
    m_transport->callback = std::move(callback);
}

void CSnmpClass::SetVersion(int version) {
    m_version = version == ber::V1 ? ber::V1 : ber::V2c;
    m_v3.reset();
}

void CSnmpClass::SetSecurity(const usm::User& user) {
    const QString agent = m_transport->agentKey();
    m_v3 = std::make_unique<v3::ManagerSession>(user, agent.toStdString());
    m_version = v3::Version3;
}

void CSnmpClass::SetBulk(int maxRepetitions) {
    m_maxRepetitions = std::max(maxRepetitions, 1);
}

QString CSnmpClass::LastError() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->lastError;
}

QString CSnmpClass::LastFailure() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->lastFailure;
}

bool CSnmpClass::recordOid(int index, ber::Oid& out, QString* why) const {
    const _QvOidTable& rec = m_table[index];
    std::string text(rec.oid, strnlen(rec.oid, sizeof rec.oid));
    text += m_suffix;
    if (ber::parseOid(text, out))
        return true;
    if (why)
        *why = QStringLiteral("record %1 (%2): \"%3\" is not an OID")
                   .arg(index + 1)
                   .arg(QString::fromLatin1(rec.name, int(strnlen(rec.name, sizeof rec.name))),
                        QString::fromStdString(text));
    return false;
}

unsigned long CSnmpClass::SendSnmp(unsigned short pduType) {
    QMutexLocker lock(&m_shared->mutex);
    auto refuse = [&](const QString& why) {
        m_shared->lastError = why;
        return 0ul;
    };
    if (pduType != SNMP_PDU_GET && pduType != SNMP_PDU_GETNEXT && pduType != SNMP_PDU_SET &&
        pduType != SNMP_PDU_GETBULK)
        return refuse(
            QStringLiteral("PDU type %1 is not get, get-next, set or GETBULK").arg(pduType));
    if (pduType == SNMP_PDU_GETBULK && m_version == ber::V1)
        return refuse(QStringLiteral("GETBULK needs SNMPv2c"));
    if (!m_transport->valid())
        return refuse(QStringLiteral("no socket to the agent (is the address a dotted IPv4 address?)"));

    ber::Message msg;
    msg.version = m_version;
    msg.community = pduType == SNMP_PDU_SET ? m_writeCommunity : m_readCommunity;
    msg.pdu.type = uint8_t(pduType);
    if (pduType == SNMP_PDU_GETBULK)
        msg.pdu.errorIndex = m_maxRepetitions; // no non-repeaters: every record is walked
    SnmpTransport::Request req;
    const bool walk = pduType == SNMP_PDU_GETNEXT || pduType == SNMP_PDU_GETBULK;
    if (walk) {
        QString why;
        req.records = walkRecords(&why);
        if (!req.records)
            return refuse(why);
        req.from = m_shared->cursor;
        req.walk = qvsnmp::nextWalkRequest(*req.records, req.from);
        for (const ber::Oid& oid : req.walk.oids)
            msg.pdu.bindings.push_back({oid, {}});
    } else {
        msg.pdu.bindings.resize(size_t(m_count));
    }
    for (int i = 0; i < m_count && !walk; ++i) {
        ber::VarBind& vb = msg.pdu.bindings[size_t(i)];
        QString why;
        if (!recordOid(i, vb.oid, &why))
            return refuse(why);
        if (pduType == SNMP_PDU_SET) {
            const _QvOidTable& rec = m_table[i];
            if (!ConvertSnmpValue(m_oids[i]->m_strValue, rec.typeCode, rec.valueText, vb.value, &why))
                return refuse(QStringLiteral("record %1: %2").arg(i + 1).arg(why));
        }
    }
    uint32_t id = nextRequestId();
    msg.pdu.requestId = int32_t(id);
    std::string why;
    req.bytes = m_v3 ? m_v3->encode(int32_t(id), msg.pdu, &why) : ber::encode(msg);
    if (req.bytes.empty())
        return refuse(QString::fromStdString(why));
    if (req.bytes.size() > ber::MaxMessage)
        return refuse(QStringLiteral("request of %1 bytes does not fit a datagram").arg(req.bytes.size()));
    req.community = msg.community;
    req.kind = pduType;
    m_shared->lastError.clear();
    lock.unlock();

    if (QThread::currentThread() == m_transport->thread()) {
        m_transport->transmit(id, std::move(req));
    } else {
        SnmpTransport* t = m_transport;
        QMetaObject::invokeMethod(
            t, [t, id, req = std::move(req)]() mutable { t->transmit(id, std::move(req)); },
            Qt::QueuedConnection);
    }
    return id;
}

void CSnmpClass::walkGoesOn(qvsnmp::WalkCursor cursor) {
    QMutexLocker lock(&m_shared->mutex);
    m_shared->cursor = std::move(cursor);
}

std::shared_ptr<const std::vector<qvsnmp::WalkRecord>> CSnmpClass::walkRecords(QString* why) const {
    QMutexLocker lock(&m_shared->parsedMutex);
    std::shared_ptr<const std::vector<qvsnmp::WalkRecord>>& cached = m_shared->walkRecords;
    if (m_shared->parsed.size() != size_t(m_count))
        m_shared->parsed.resize(size_t(m_count));
    bool changed = !cached;
    for (int i = 0; i < m_count; ++i) {
        Shared::Parsed& p = m_shared->parsed[size_t(i)];
        if (!p.valid || std::memcmp(p.text, m_table[i].oid, sizeof p.text) != 0) {
            std::memcpy(p.text, m_table[i].oid, sizeof p.text);
            ber::Oid parsed;
            p.valid = recordOid(i, parsed, why);
            p.oid = std::move(parsed);
            if (!p.valid)
                return nullptr;
            changed = true;
        }
    }
    if (changed) {
        auto records = std::make_shared<std::vector<qvsnmp::WalkRecord>>(size_t(m_count));
        for (int i = 0; i < m_count; ++i)
            (*records)[size_t(i)] = {m_shared->parsed[size_t(i)].oid, (m_table[i].flags & QV_FLAG_COLUMN) != 0};
        cached = std::move(records);
    }
    return cached;
}

int CSnmpClass::matchRecord(int index, const ber::Oid& oid) const {
    QMutexLocker lock(&m_shared->parsedMutex);
    if (m_shared->parsed.size() != size_t(m_count))
        m_shared->parsed.resize(size_t(m_count));
    Shared::Parsed& p = m_shared->parsed[size_t(index)];
    const char* text = m_table[index].oid;
    if (!p.valid || std::memcmp(p.text, text, sizeof p.text) != 0) {
        std::memcpy(p.text, text, sizeof p.text);
        p.valid = false;
        ber::Oid parsed;
        p.valid = recordOid(index, parsed, nullptr);
        p.oid = std::move(parsed);
        m_shared->walkRecords.reset();
    }
    if (!p.valid || !ber::oidStartsWith(oid, p.oid))
        return -1;
    return int(p.oid.size());
}

bool CSnmpClass::beyondColumn(int index, const ber::Oid& oid) const {
    const int length = matchRecord(index, oid);
    return length < 0 || size_t(length) == oid.size();
}

bool CSnmpClass::beyondTable(const ber::Pdu& pdu) const {
    if (pdu.bindings.empty())
        return true;
    bool anyColumn = false;
    for (int i = 0; i < m_count; ++i)
        anyColumn = anyColumn || (m_table[i].flags & QV_FLAG_COLUMN);
    for (size_t i = 0; i < pdu.bindings.size(); ++i) {
        const ber::VarBind& vb = pdu.bindings[i];
        // Only the columns say where the table ends: the proxy record's binding (not a column)
        // may run off the end of the agent's view while the columns go on.
        if (i >= size_t(m_count) || (anyColumn && !(m_table[i].flags & QV_FLAG_COLUMN)))
            continue;
        if (vb.value.isException() || beyondColumn(int(i), vb.oid))
            return true;
    }
    return false;
}

int CSnmpClass::IsEndOfTable(CSnmpPdu* pdu) {
    if (!pdu || pdu->m_stop != CSnmpPdu::WalkStop::None)
        return 1;
    if (pdu->m_walk) // decided when the answer came, by the same rules
        return pdu->m_walkEnds ? 1 : 0;
    ber::Pdu plain;
    for (CSnmpVarBind* vb : pdu->VarBinds())
        plain.bindings.push_back({vb->Oid(), vb->Value()});
    return beyondTable(plain) ? 1 : 0;
}

QString CSnmpClass::FormatValue(CSnmpVarBind* binding, CSnmpOid* entry) {
    m_strInstance.clear();
    if (!binding)
        return {};
    const _QvOidTable* rec = entry ? entry->Record() : nullptr;
    if (rec) {
        const int index = int(rec - m_table);
        const ber::Oid& oid = binding->Oid();
        const int column = index >= 0 && index < m_count ? matchRecord(index, oid) : -1;
        if (column >= 0 && oid.size() > size_t(column)) {
            char text[12 * ber::MaxOidLength];
            char* end = text;
            for (size_t i = size_t(column); i < oid.size(); ++i) {
                *end++ = '.';
                end = std::to_chars(end, text + sizeof text, oid[i]).ptr;
            }
            m_strInstance = QString::fromLatin1(text, end - text);
        }
    }
    if (binding->IsHole())
        return {};
    return FormatSnmpValue(binding->Value(), rec ? rec->typeCode : 0, rec ? rec->valueText : nullptr);
}
