#include "qvsnmp/qvsnmp.h"

#include "qvsnmp/transport.h"
#include "qvsnmp/v3msg.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <charconv>
#include <cstring>

namespace {

std::atomic<int> g_portOverride{0};

quint16 agentPort() {
    if (int p = g_portOverride.load()) return quint16(p);
    bool ok = false;
    uint v = qEnvironmentVariable("TALVEX_AGENT_PORT").toUInt(&ok);
    return ok && v > 0 && v < 65536 ? quint16(v) : quint16(161);
}

} // namespace

bool SnmpInit(QCoreApplication*) {
    return true;
}

void SetSnmpTimeout(int milliseconds) {
    qvsnmp::setTimeoutMs(milliseconds);
}

int SnmpTimeout() {
    return qvsnmp::timeoutMs();
}

void SetSnmpAgentPort(quint16 port) {
    g_portOverride = port;
}

quint16 SnmpAgentPort() {
    return agentPort();
}

// ---- PDU ---------------------------------------------------------------------------------

CSnmpPdu::CSnmpPdu(ber::Pdu pdu, const std::vector<char>& holes, const WalkAnswer& walk) {
    Assign(std::move(pdu), holes, walk);
}

CSnmpPdu::~CSnmpPdu() = default;

void CSnmpPdu::Assign(ber::Pdu&& pdu, const std::vector<char>& holes, const WalkAnswer& walk) {
    m_requestId = pdu.requestId;
    m_errorStatus = pdu.errorStatus;
    m_errorIndex = pdu.errorIndex;
    m_walk = walk;
    const size_t n = pdu.bindings.size();
    m_storage.clear();
    m_storage.reserve(n);
    for (size_t i = 0; i < n; ++i)
        m_storage.emplace_back(std::move(pdu.bindings[i]), i < holes.size() && holes[i]);
    m_bindings.resize(qsizetype(n));
    for (size_t i = 0; i < n; ++i)
        m_bindings[qsizetype(i)] = &m_storage[i];
}

// One message kept per thread for the next answer, up to this many bindings: a walk's answers
// come one at a time, and a large one is not worth holding on to.
struct CSnmpMsg::Spare {
    static constexpr size_t kMostBindings = 64;
    CSnmpMsg* msg = nullptr;
    ~Spare() { delete msg; }
};

CSnmpMsg::Spare& CSnmpMsg::spare() {
    thread_local Spare kept;
    return kept;
}

void CSnmpMsg::Release() {
    Spare& kept = spare();
    // A message is kept only while it holds few bindings, so the storage kept stays small.
    if (kept.msg || size_t(m_pdu.VarBinds().size()) > Spare::kMostBindings) {
        delete this;
        return;
    }
    kept.msg = this;
}

CSnmpMsg* CSnmpMsg::Make(ber::Pdu&& pdu, const std::vector<char>& holes,
                         const CSnmpPdu::WalkAnswer& walk) {
    CSnmpMsg* msg = std::exchange(spare().msg, nullptr);
    if (!msg) return new CSnmpMsg(std::move(pdu), holes, walk);
    msg->m_pdu.Assign(std::move(pdu), holes, walk);
    return msg;
}

// ---- session -----------------------------------------------------------------------------

// What a session keeps beyond its records: its wire, its message security, and what other
// threads read.
struct CSnmpClass::Impl final : qvsnmp::TransportSite {
    Impl(const _QvOidTable* table, int count, std::string suffix)
        : table(table), count(count), suffix(std::move(suffix)) {}

    const _QvOidTable* table;
    int count;
    std::string suffix;
    std::string readCommunity;
    std::string writeCommunity;
    int version = ber::V2c;
    int maxRepetitions = 10;
    bool readAhead = false;
    std::unique_ptr<qvsnmp::MessageSecurity> security;
    std::unique_ptr<qvsnmp::Transport> transport; // goes before the security it uses
    Callback callback;
    FailureObserver failureObserver;

    QMutex mutex;
    QString lastError;
    QString lastFailure;
    bool lastFailureSecurity = false;
    // Each record's OID as last parsed, with the text it was parsed from: a walk compares
    // every binding with its record, and the text changes only when the owner rewrites it.
    struct Parsed {
        char text[sizeof(_QvOidTable::oid)] = {};
        bool valid = false;
        ber::Oid oid;
    };
    QMutex parsedMutex; // taken alone, or inside mutex
    std::vector<Parsed> parsed;
    qvsnmp::Records walkRecords; // as parsed

    void useSecurity(std::unique_ptr<qvsnmp::MessageSecurity> s) {
        transport->setSecurity(s.get());
        security = std::move(s);
    }
    bool recordOid(int index, ber::Oid& out, QString* why) const;
    // Record index's parse, brought up to date; false when its text is no OID.
    bool parse(int index, QString* why);
    // The records as a walk sees them; null (with *why) when one is no OID.
    qvsnmp::Records records(QString* why);
    // The length of record index's OID when oid starts with it, else -1.
    int matchRecord(int index, const ber::Oid& oid);

    void failureSeen(const std::string& reason) override {
        const QString text = QString::fromStdString(reason);
        const bool isSecurity = security->failureIsSecurity();
        {
            QMutexLocker lock(&mutex);
            lastFailure = text;
            lastFailureSecurity = isSecurity;
        }
        if (failureObserver) failureObserver(text, isSecurity);
    }
    void answered(qvsnmp::Answer&& a) override {
        CSnmpPdu::WalkAnswer walk{a.walk, a.ends, a.stop, a.bulkRows};
        CSnmpMsg* msg = CSnmpMsg::Make(std::move(a.pdu), a.holes, walk);
        if (callback)
            callback(SNMP_STATUS_OK, msg);
        else
            msg->Release();
    }
    void failedRequest(Failure failure) override {
        if (callback)
            callback(failure == Failure::Refused ? SNMP_STATUS_REFUSED : SNMP_STATUS_TIMEOUT,
                     nullptr);
    }
};

CSnmpClass::CSnmpClass(QObject* owner, const QString& agentAddress, const QString& readCommunity,
                       const QString& writeCommunity, int count, _QvOidTable* table,
                       const QString& suffix)
    : m_owner(owner), m_table(table), m_count(table ? std::max(count, 0) : 0),
      m_impl(std::make_unique<Impl>(table, m_count, suffix.toStdString())) {
    for (int i = 0; i < m_count; ++i)
        m_oids.append(new CSnmpOid(&m_table[i]));
    m_impl->readCommunity = readCommunity.toStdString();
    m_impl->writeCommunity = writeCommunity.toStdString();
    m_impl->transport = std::make_unique<qvsnmp::Transport>(*m_impl, agentAddress, agentPort());
    m_impl->useSecurity(
        qvsnmp::communitySecurity(ber::V2c, m_impl->readCommunity, m_impl->writeCommunity));
}

CSnmpClass::~CSnmpClass() {
    m_impl->transport.reset();
    qDeleteAll(m_oids);
}

void CSnmpClass::SetSnmpCallback(Callback callback) {
    m_impl->callback = std::move(callback);
}

void CSnmpClass::SetVersion(int version) {
    m_impl->version = version == ber::V1 ? ber::V1 : ber::V2c;
    m_impl->useSecurity(
        qvsnmp::communitySecurity(m_impl->version, m_impl->readCommunity, m_impl->writeCommunity));
}

void CSnmpClass::SetSecurity(const usm::User& user) {
    m_impl->useSecurity(qvsnmp::usmSecurity(user, m_impl->transport->agentKey()));
    m_impl->version = v3::Version3;
}

void CSnmpClass::SetBulk(int maxRepetitions) {
    m_impl->maxRepetitions = std::max(maxRepetitions, 1);
}

QString CSnmpClass::LastError() const {
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->lastError;
}

QString CSnmpClass::LastFailure() const {
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->lastFailure;
}

bool CSnmpClass::LastFailureIsSecurity() const {
    QMutexLocker lock(&m_impl->mutex);
    return m_impl->lastFailureSecurity;
}

void CSnmpClass::SetFailureObserver(FailureObserver observer) {
    m_impl->failureObserver = std::move(observer);
}

bool CSnmpClass::Impl::recordOid(int index, ber::Oid& out, QString* why) const {
    const _QvOidTable& rec = table[index];
    std::string text(rec.oid, strnlen(rec.oid, sizeof rec.oid));
    text += suffix;
    if (ber::parseOid(text, out)) return true;
    if (why)
        *why = QStringLiteral("record %1 (%2): \"%3\" is not an OID")
                   .arg(index + 1)
                   .arg(QString::fromLatin1(rec.name, int(strnlen(rec.name, sizeof rec.name))),
                        QString::fromStdString(text));
    return false;
}

unsigned long CSnmpClass::SendSnmp(unsigned short pduType) {
    Impl& s = *m_impl;
    QMutexLocker lock(&s.mutex);
    auto refuse = [&](const QString& why) {
        s.lastError = why;
        return 0ul;
    };
    if (pduType != SNMP_PDU_GET && pduType != SNMP_PDU_GETNEXT && pduType != SNMP_PDU_SET &&
        pduType != SNMP_PDU_GETBULK)
        return refuse(
            QStringLiteral("PDU type %1 is not get, get-next, set or GETBULK").arg(pduType));
    if (pduType == SNMP_PDU_GETBULK && s.version == ber::V1)
        return refuse(QStringLiteral("GETBULK needs SNMPv2c"));

    const uint32_t id = qvsnmp::nextRequestId();
    qvsnmp::Transport* t = s.transport.get();
    auto onTransportThread = [t](auto work) {
        if (QThread::currentThread() == t->thread())
            work();
        else
            QMetaObject::invokeMethod(t, std::move(work), Qt::QueuedConnection);
    };
    qvsnmp::Request req;
    const bool walk = pduType == SNMP_PDU_GETNEXT || pduType == SNMP_PDU_GETBULK;
    if (walk) {
        QString why;
        req.records = s.records(&why);
        if (!req.records) return refuse(why);
        if (pduType == SNMP_PDU_GETNEXT && s.readAhead && s.security->readsAhead()) {
            s.lastError.clear();
            lock.unlock();
            onTransportThread([t, id, records = req.records] { t->nextRow(id, records); });
            return id;
        }
        t->place().request(*req.records, req);
        if (!qvsnmp::encodeWalk(*s.security, uint8_t(pduType), id, s.maxRepetitions, req))
            return refuse(QStringLiteral("request of %1 bytes does not fit a datagram")
                              .arg(req.bytes.size()));
    } else {
        ber::Pdu pdu;
        pdu.type = uint8_t(pduType);
        pdu.requestId = int32_t(id);
        pdu.bindings.resize(size_t(m_count));
        for (int i = 0; i < m_count; ++i) {
            ber::VarBind& vb = pdu.bindings[size_t(i)];
            QString why;
            if (!s.recordOid(i, vb.oid, &why)) return refuse(why);
            if (pduType == SNMP_PDU_SET) {
                const _QvOidTable& rec = m_table[i];
                if (!ConvertSnmpValue(m_oids[i]->m_strValue, rec.typeCode, rec.valueText, vb.value,
                                      &why))
                    return refuse(QStringLiteral("record %1: %2").arg(i + 1).arg(why));
            }
        }
        if (!qvsnmp::encodeRequest(*s.security, pdu, req))
            return refuse(QStringLiteral("request of %1 bytes does not fit a datagram")
                              .arg(req.bytes.size()));
    }
    s.lastError.clear();
    lock.unlock();
    onTransportThread([t, id, req = std::move(req)]() mutable { t->transmit(id, std::move(req)); });
    return id;
}

void CSnmpClass::SetReadAhead(bool on) {
    QMutexLocker lock(&m_impl->mutex);
    m_impl->readAhead = on;
}

void CSnmpClass::RestartWalk() {
    QMutexLocker lock(&m_impl->mutex);
    qvsnmp::Transport* t = m_impl->transport.get();
    t->place().set({});
    if (QThread::currentThread() == t->thread())
        t->restartWalk();
    else
        QMetaObject::invokeMethod(
            t, [t] { t->restartWalk(); }, Qt::QueuedConnection);
}

bool CSnmpClass::Impl::parse(int index, QString* why) {
    Parsed& p = parsed[size_t(index)];
    if (p.valid && std::memcmp(p.text, table[index].oid, sizeof p.text) == 0) return true;
    std::memcpy(p.text, table[index].oid, sizeof p.text);
    ber::Oid oid;
    p.valid = recordOid(index, oid, why);
    p.oid = std::move(oid);
    walkRecords.reset();
    return p.valid;
}

qvsnmp::Records CSnmpClass::Impl::records(QString* why) {
    QMutexLocker lock(&parsedMutex);
    if (parsed.size() != size_t(count)) parsed.resize(size_t(count));
    for (int i = 0; i < count; ++i)
        if (!parse(i, why)) return nullptr;
    if (!walkRecords) {
        auto r = std::make_shared<std::vector<qvsnmp::WalkRecord>>(size_t(count));
        for (int i = 0; i < count; ++i)
            (*r)[size_t(i)] = {parsed[size_t(i)].oid, (table[i].flags & QV_FLAG_COLUMN) != 0};
        walkRecords = std::move(r);
    }
    return walkRecords;
}

int CSnmpClass::Impl::matchRecord(int index, const ber::Oid& oid) {
    QMutexLocker lock(&parsedMutex);
    if (parsed.size() != size_t(count)) parsed.resize(size_t(count));
    if (!parse(index, nullptr) || !ber::oidStartsWith(oid, parsed[size_t(index)].oid)) return -1;
    return int(parsed[size_t(index)].oid.size());
}

int CSnmpClass::IsEndOfTable(CSnmpPdu* pdu) {
    if (!pdu || pdu->Stop() != CSnmpPdu::WalkStop::None) return 1;
    if (pdu->Walk().answered) // decided when the answer came, by the same rule
        return pdu->Walk().ends ? 1 : 0;
    const qvsnmp::Records records = m_impl->records(nullptr);
    if (!records) return 1;
    std::vector<ber::VarBind> bindings;
    bindings.reserve(size_t(pdu->VarBinds().size()));
    for (CSnmpVarBind* vb : pdu->VarBinds())
        bindings.push_back({vb->Oid(), vb->Value()});
    return qvsnmp::leavesTable(*records, bindings) ? 1 : 0;
}

QString CSnmpClass::FormatValue(CSnmpVarBind* binding, CSnmpOid* entry) {
    m_strInstance.clear();
    if (!binding) return {};
    const _QvOidTable* rec = entry ? entry->Record() : nullptr;
    if (rec) {
        const int index = int(rec - m_table);
        const ber::Oid& oid = binding->Oid();
        const int column = index >= 0 && index < m_count ? m_impl->matchRecord(index, oid) : -1;
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
    if (binding->IsHole()) return {};
    return FormatSnmpValue(binding->Value(), rec ? rec->typeCode : 0,
                           rec ? rec->valueText : nullptr);
}
