#include "qvsnmp/qvsnmp.h"

#include "qvsnmp/transport.h"
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

// ---- session -----------------------------------------------------------------------------

struct CSnmpClass::Shared {
    QMutex mutex;
    qvsnmp::WalkCursor cursor; // where the walk stands, when one is under way
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
    std::shared_ptr<const std::vector<qvsnmp::WalkRecord>> walkRecords; // as parsed
};

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
    m_v3 = std::make_unique<v3::ManagerSession>(user, m_transport->agentKey().toStdString());
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

bool CSnmpClass::LastFailureIsSecurity() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->lastFailureSecurity;
}

void CSnmpClass::SetFailureObserver(FailureObserver observer) {
    m_failureObserver = std::move(observer);
}

void CSnmpClass::failed(const std::string& reason) {
    const QString text = QString::fromStdString(reason);
    const bool security = m_v3 && m_v3->lastFailureSecurity();
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->lastFailure = text;
        m_shared->lastFailureSecurity = security;
    }
    if (m_failureObserver)
        m_failureObserver(text, security);
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

    const uint32_t id = NextRequestId();
    SnmpTransport* t = m_transport;
    auto onTransportThread = [t](auto work) {
        if (QThread::currentThread() == t->thread())
            work();
        else
            QMetaObject::invokeMethod(t, std::move(work), Qt::QueuedConnection);
    };
    SnmpTransport::Request req;
    const bool walk = pduType == SNMP_PDU_GETNEXT || pduType == SNMP_PDU_GETBULK;
    if (walk) {
        QString why;
        req.records = walkRecords(&why);
        if (!req.records)
            return refuse(why);
        if (pduType == SNMP_PDU_GETNEXT && m_readAhead && m_version == ber::V2c) {
            m_shared->lastError.clear();
            lock.unlock();
            onTransportThread([t, id, records = req.records] { t->nextRow(id, records); });
            return id;
        }
        req.from = m_shared->cursor;
        req.walk = qvsnmp::nextWalkRequest(*req.records, req.from);
        if (!encodeWalk(pduType, id, m_maxRepetitions, req))
            return refuse(QStringLiteral("request of %1 bytes does not fit a datagram").arg(req.bytes.size()));
    } else {
        ber::Message msg;
        msg.version = m_version;
        msg.community = pduType == SNMP_PDU_SET ? m_writeCommunity : m_readCommunity;
        msg.pdu.type = uint8_t(pduType);
        msg.pdu.requestId = int32_t(id);
        msg.pdu.bindings.resize(size_t(m_count));
        for (int i = 0; i < m_count; ++i) {
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
        if (!encode(msg, req))
            return refuse(QStringLiteral("request of %1 bytes does not fit a datagram").arg(req.bytes.size()));
    }
    m_shared->lastError.clear();
    lock.unlock();
    onTransportThread([t, id, req = std::move(req)]() mutable { t->transmit(id, std::move(req)); });
    return id;
}

bool CSnmpClass::encode(const ber::Message& msg, SnmpTransport::Request& out) const {
    out.bytes = m_v3 ? m_v3->encode(msg.pdu.requestId, msg.pdu, nullptr) : ber::encode(msg);
    out.community = msg.community;
    out.kind = msg.pdu.type;
    out.asked = msg.pdu.bindings.size();
    return !out.bytes.empty() && out.bytes.size() <= ber::MaxMessage;
}

bool CSnmpClass::encodeWalk(unsigned short kind, uint32_t id, int repetitions,
                            SnmpTransport::Request& out) const {
    ber::Message msg;
    msg.version = m_version;
    msg.community = m_readCommunity;
    msg.pdu.type = uint8_t(kind);
    msg.pdu.requestId = int32_t(id);
    if (kind == SNMP_PDU_GETBULK)
        msg.pdu.errorIndex = repetitions; // no non-repeaters: every record is walked
    // Lent to the message for its encoding, and taken back: a walk sends one request a row.
    std::vector<ber::Oid>& oids = out.walk.oids;
    msg.pdu.bindings.resize(oids.size());
    for (size_t i = 0; i < oids.size(); ++i)
        msg.pdu.bindings[i].oid = std::move(oids[i]);
    const bool fits = encode(msg, out);
    for (size_t i = 0; i < oids.size(); ++i)
        oids[i] = std::move(msg.pdu.bindings[i].oid);
    if (kind == SNMP_PDU_GETBULK)
        out.asked = oids.size() * size_t(std::max(repetitions, 1));
    return fits;
}

void CSnmpClass::SetReadAhead(bool on) {
    QMutexLocker lock(&m_shared->mutex);
    m_readAhead = on;
}

void CSnmpClass::RestartWalk() {
    QMutexLocker lock(&m_shared->mutex);
    m_shared->cursor = {};
    SnmpTransport* t = m_transport;
    if (QThread::currentThread() == t->thread())
        t->restartWalk();
    else
        QMetaObject::invokeMethod(t, [t] { t->restartWalk(); }, Qt::QueuedConnection);
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
