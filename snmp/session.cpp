#include "snmp/session.h"

#include "platform/platform.h"
#include "snmp/params.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>
#include <cstring>

bool SetRecordOid(_QvOidTable& rec, std::string_view text) {
    if (text.size() > sizeof rec.oid - 1) return false;
    std::memcpy(rec.oid, text.data(), text.size());
    rec.oid[text.size()] = '\0';
    return true;
}

bool QvTableRef::setOid(int i, std::string_view text) const {
    if (i < 0 || i >= count || text.size() > sizeof direct[0].oid - 1) return false;
    return SetRecordOid(direct[i], text) && SetRecordOid(proxied[i], text);
}

bool QvTableRef::setInstance(int i, std::string_view column, std::string_view instance) const {
    std::string text(column);
    text += '.';
    text += instance;
    return setOid(i, text);
}

namespace {

bool g_securityFailureTold = false;

// The first request of the run that fails for a security reason is told, once: a page drops
// failed answers silently, and the operator would otherwise see empty pages and dark lamps
// with no word why. The box waits for the event loop: the library is in the middle of the
// failure when it calls.
void TellSecurityFailure(const QString& reason, bool security) {
    if (!security || g_securityFailureTold) return;
    g_securityFailureTold = true;
    QMetaObject::invokeMethod(
        qApp,
        [reason] {
            platform::MessageBox(
                nullptr, QStringLiteral("SNMPv3 requests to the device fail: %1").arg(reason));
        },
        Qt::QueuedConnection);
}

} // namespace

CSnmpClass* NewSnmpSession(CSnmpClass*& session, QObject* owner, QvTableRef table) {
    delete session;
    session = nullptr;
    if (g_strProxyAddress == QLatin1String("0.0.0.0")) {
        session = new CSnmpClass(owner, g_strAgentAddress, g_strReadCommunity, g_strWriteCommunity,
                                 table.count, table.direct, QString());
        // The credentials file names agents; the proxied form talks to the proxy instead,
        // with the communities.
        if (g_snmpV3User)
            session->SetSecurity(*g_snmpV3User);
        else if (g_snmpVersion != ber::V2c)
            session->SetVersion(g_snmpVersion);
    } else {
        std::string proxyOid = std::string(kProxyOidPrefix) + g_strAgentAddress.toStdString();
        // An agent address too long for the record cannot be named; the record keeps the
        // bare prefix, which the proxy refuses.
        if (!SetRecordOid(table.proxied[table.count], proxyOid))
            SetRecordOid(table.proxied[table.count], kProxyOidPrefix);
        session = new CSnmpClass(owner, g_strProxyAddress, g_strReadCommunity, g_strWriteCommunity,
                                 table.count + 1, table.proxied, QString());
    }
    // A page walks row by row; the library reads the rows ahead in blocks.
    session->SetReadAhead(true);
    session->SetFailureObserver(TellSecurityFailure);
    return session;
}

namespace {

// Whether a response answers the request pending (a response to another is released here);
// for one that does, its PDU in pdu.
CollectResult Answers(unsigned short status, CSnmpMsg* msg, unsigned long pending, CSnmpPdu*& pdu) {
    if (status != 0 || !msg) return CollectResult::Failed;
    pdu = msg->GetPdu();
    if (pdu->RequestId() == pending) return CollectResult::Collected;
    msg->Release();
    return CollectResult::Stale;
}

} // namespace

CollectResult CollectSnmpValues(unsigned short status, CSnmpMsg* msg, unsigned long pending,
                                CSnmpClass* session, QStringList& values, QList<bool>* missing) {
    CSnmpPdu* pdu = nullptr;
    if (const CollectResult answers = Answers(status, msg, pending, pdu);
        answers != CollectResult::Collected)
        return answers;
    values.clear();
    if (missing) missing->clear();
    if (pdu->ErrorStatus() == 0 && session) {
        const QList<CSnmpOid*>& oids = session->GetOidList();
        const QList<CSnmpVarBind*>& binds = pdu->VarBinds();
        for (qsizetype i = 0; i < oids.size() && i < binds.size(); ++i) {
            // Never the exception's own text: the operator sees an empty field.
            const bool absent = binds[i]->Value().isException();
            values.append(absent ? QString() : session->FormatValue(binds[i], oids[i]));
            if (missing) missing->append(absent);
        }
    }
    msg->Release();
    return CollectResult::Collected;
}

QvTableRef SnmpChannel::chooseRecords(QvTableRef table, const QStringList& texts,
                                      const QList<bool>& write, QStringList& chosen) {
    destroy();
    std::vector<_QvOidTable> records;
    for (int i = 0; i < table.count && i < texts.size(); ++i)
        if (write.value(i)) {
            records.push_back(table.direct[i]);
            chosen << texts[i];
        }
    m_chosen.assign(records);
    return m_chosen;
}

CollectResult SnmpChannel::takeResponse(unsigned short status, CSnmpMsg* msg, StaleResponse stale) {
    m_values.clear();
    m_missing.clear();
    const CollectResult result = collect(status, msg);
    if (result != CollectResult::Stale || stale == StaleResponse::EndsWalk) m_pending = 0;
    return result;
}

CollectResult SnmpChannel::takeNumbers(unsigned short status, CSnmpMsg* msg,
                                       std::vector<std::optional<uint64_t>>& numbers) {
    numbers.clear();
    CSnmpPdu* pdu = nullptr;
    const CollectResult answers = Answers(status, msg, m_pending, pdu);
    if (answers != CollectResult::Stale) m_pending = 0;
    if (answers != CollectResult::Collected) return answers;
    if (pdu->ErrorStatus() == 0 && m_session) {
        const qsizetype count = std::min(m_session->GetOidList().size(), pdu->VarBinds().size());
        for (qsizetype i = 0; i < count; ++i)
            numbers.push_back(pdu->VarBinds()[i]->Value().number());
    }
    msg->Release();
    return CollectResult::Collected;
}

void SnmpChannel::destroy() {
    delete m_session;
    m_session = nullptr;
}

bool SnmpChannel::send(unsigned short kind) {
    m_pending = 0;
    if (!m_session) return false;
    m_pending = m_session->SendSnmp(kind);
    return m_pending != 0;
}

bool SnmpChannel::sendSet(const QStringList& texts) {
    if (!m_session) return false;
    QList<CSnmpOid*>& oids = m_session->GetOidList();
    for (qsizetype i = 0; i < oids.size() && i < texts.size(); ++i)
        oids[i]->m_strValue = texts[i];
    return send(SNMP_PDU_SET);
}

namespace {

// The objects of a set as the operator knows them: each record's name and instance. Every
// object the module writes is a scalar or a column of a table with one index, so the instance
// is the last arc. Taken when the set is sent: a page may point the records elsewhere before
// the answer comes.
QStringList SetObjects(CSnmpClass* session, int count) {
    QStringList objects;
    const QList<CSnmpOid*>& oids = session->GetOidList();
    for (qsizetype i = 0; i < count && i < oids.size(); ++i) {
        const QString oid = QString::fromLatin1(oids[i]->Record()->oid);
        objects << QString::fromLatin1(oids[i]->Record()->name) +
                       oid.mid(oid.lastIndexOf(QLatin1Char('.')));
    }
    return objects;
}

// The object the device blames (errorIndex 1 is the first binding); all of them when it names
// none of them.
QString BlamedObject(const QStringList& objects, quint32 errorIndex) {
    if (errorIndex >= 1 && errorIndex <= quint32(objects.size())) return objects[errorIndex - 1];
    return objects.join(QLatin1String(", "));
}

} // namespace

bool SnmpChannel::sendSetAwaited(QWidget* owner, QvTableRef table, const QStringList& texts,
                                 std::function<void(bool accepted)> done,
                                 const QList<bool>& write) {
    QStringList chosen = texts;
    if (!write.isEmpty()) {
        chosen.clear();
        table = chooseRecords(table, texts, write, chosen);
        if (table.count == 0) return false;
    }
    NewSnmpSession(m_session, owner, table);
    // The refusal's box says why, security included: no second box for it.
    m_session->SetFailureObserver([](const QString&, bool security) {
        if (security) g_securityFailureTold = true;
    });
    const QStringList objects = SetObjects(m_session, table.count);
    const QPointer<QWidget> guard(owner);
    m_session->SetSnmpCallback([this, guard, objects, done](unsigned short status, CSnmpMsg* msg) {
        QString refusal;
        if (status == SNMP_STATUS_REFUSED) {
            refusal = QStringLiteral("The device refused the change of %1: %2")
                          .arg(BlamedObject(objects, 0), m_session->LastFailure());
        } else if (status != 0 || !msg) {
            // What the library saw instead of an answer, when it saw more than silence
            QString seen = m_session->LastFailure();
            seen.remove(QRegularExpression(QStringLiteral("^no answer from the agent(: )?")));
            refusal = seen.isEmpty()
                          ? QStringLiteral("The device did not answer the change of %1.")
                                .arg(BlamedObject(objects, 0))
                          : QStringLiteral("The device did not answer the change of %1: %2")
                                .arg(BlamedObject(objects, 0), seen);
        } else {
            CSnmpPdu* pdu = msg->GetPdu();
            const bool ours = pdu->RequestId() == m_pending;
            const quint32 error = pdu->ErrorStatus(), index = pdu->ErrorIndex();
            msg->Release();
            if (!ours) return;
            if (error != 0)
                refusal = QStringLiteral("The device refused the change of %1: %2")
                              .arg(BlamedObject(objects, index),
                                   QLatin1String(ber::errorStatusName(int32_t(error))));
        }
        // Busy while the operator reads the box, so that nothing retires this channel then.
        if (!refusal.isEmpty() && guard) platform::MessageBox(guard, refusal);
        m_pending = 0;
        if (done) done(refusal.isEmpty());
    });
    if (sendSet(chosen)) return true;
    platform::MessageBox(owner, QStringLiteral("The change of %1 could not be sent: %2")
                                    .arg(BlamedObject(objects, 0), m_session->LastError()));
    return false;
}

WalkStep SnmpChannel::walkStep(unsigned short status, CSnmpMsg* msg, QStringList* instances,
                               StaleResponse stale) {
    if (status != 0 || !msg) {
        m_pending = 0;
        return WalkStep::Failed;
    }
    CSnmpPdu* pdu = msg->GetPdu();
    bool ours = pdu->RequestId() == m_pending && m_session;
    if (ours || stale == StaleResponse::EndsWalk) m_pending = 0;
    if (!ours || pdu->ErrorStatus() != 0) {
        msg->Release();
        return WalkStep::Dropped;
    }
    if (m_session->IsEndOfTable(pdu)) {
        msg->Release();
        return WalkStep::End;
    }
    m_values.clear();
    m_missing.clear();
    if (instances) instances->clear();
    QList<CSnmpOid*>& oids = m_session->GetOidList();
    const QList<CSnmpVarBind*>& binds = pdu->VarBinds();
    for (qsizetype i = 0; i < oids.size() && i < binds.size(); ++i) {
        oids[i]->m_strValue = m_session->FormatValue(binds[i], oids[i]);
        m_values.append(oids[i]->m_strValue);
        m_missing.append(binds[i]->IsHole() || binds[i]->Value().isException());
        if (instances) instances->append(m_session->m_strInstance);
    }
    msg->Release();
    return WalkStep::Row;
}
