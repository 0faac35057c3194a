// qvsnmp: the SNMP class library the Talvex module talks through.
//
// A session (CSnmpClass) is built over a table of OID records that the caller owns and may
// rewrite between requests. SendSnmp sends one get (160), get-next (161) or set (163) carrying
// every record in table order and returns the request id; the response, or the failure once the
// time-out has passed, reaches the registered callback on the owner's thread, exactly once per
// request, and never after the session was deleted. Tools may also send GETBULK (165, SNMPv2c
// only): SetBulk's count of rows of every record at once, continued as get-next is.
//
// Wire: SNMPv2c over UDP by default (SetVersion(0) for SNMPv1), toward a dotted IPv4 address or
// an IPv6 literal (a session toward anything else has no socket: each request fails at the
// time-out, as one the agent never answers; names are resolved by ResolveAgentAddress in
// qvsnmp/address.h before a session is built), agent port from TALVEX_AGENT_PORT (default 161)
// or SetSnmpAgentPort. What a request costs an agent is learned from its answers, as a fixed
// part and a part per binding (qvsnmp/agentstate.h). An unanswered request is sent again, with
// the same request id, when its answer is overdue by what a request of its size should cost
// that agent (as TCP times its retransmissions; each copy waits twice as long as the one
// before), and fails once the time-out, plus what its bindings beyond one should cost, has
// passed since its first sending. Until an agent has answered once, the first copy waits seven
// eighths of the time-out. A response counts only when it comes from
// the agent's address and port, carries the community of its request and a request id
// outstanding on this session. Everything else is dropped.
//
// Reading ahead (SetReadAhead, SNMPv2c): the first get-next of a walk sends a GETBULK of the
// same records instead, and each get-next is answered with the next row received, under its
// own request id and through the event loop, never from inside SendSnmp; the next GETBULK goes
// out while half a block is left, one request of a walk at a time. Rows per GETBULK start at 10
// (5 toward an agent that never answered), grow while answers come whole (up to 50), never
// past what the agent should answer within half the time-out, and halve on tooBig or an answer
// the agent cut to its message size. A GETBULK larger than any answer of the agent that goes
// unanswered is asked again with fewer rows (a quarter, down to one); its answer, should it
// still come, is taken as long as the walk stands where it asked. An agent that leaves a one-row
// GETBULK (or one no larger than it has answered) unanswered or answers it with an error is
// walked with get-next for the rest of the session (and, once it has answered get-next, by
// every session of the process). A row read ahead waits at most as long as a copy of a request
// would; RestartWalk, a new session and a deleted one drop what was read ahead, and nothing is
// read for a walk nobody asks rows of.
//
// SetSecurity switches a session to SNMPv3 with the user-based security model (see
// qvsnmp/v3session.h): the agent's engine is discovered once per agent for the process, a
// response counts only when it answers an outstanding message id at the level asked and passes
// its digest, and a report from the agent ends the request with SNMP_STATUS_REFUSED and a
// reason in LastFailure(). The request id is the message id; such a session does not read
// ahead.
//
// Display texts of FormatValue, the module's display convention:
//   INTEGER            the text of the record's value-text map for that value, else decimal
//   OCTET STRING       the text itself when it is printable (UTF-8 without control characters
//                      other than tab, CR and LF, without C1 controls and without the marks that
//                      reorder text (U+200E/F, U+202A..E, U+2066..9, U+061C); trailing NUL octets
//                      ignored), else the octets in upper-case hex separated by blanks: "00 1A FF";
//                      always hex for a record of type 68 (octets that are no text, as a
//                      bridge port identifier)
//   OBJECT IDENTIFIER  dotted, no leading dot: "1.3.6.1.4.1.58213"
//   IpAddress          dotted quad: "10.0.0.1"
//   Counter32, Gauge32, TimeTicks, Counter64   unsigned decimal
//   Opaque             hex octets as for OCTET STRING
//   type code 79       six octets as a MAC address "00:1A:2B:3C:4D:5E"; eight octets as a
//                      bridge identifier, priority in decimal, a slash, the address:
//                      "32768/00:1A:2B:3C:4D:5E"; any other length as hex octets joined by ':'
//   a number too large for its type, an IpAddress not of 4 octets: hex octets
//   any other type     its tag and hex octets: "<type 0x47> 0A 0B"
//   NULL and the v2c exceptions  "<null>", "<noSuchObject>", "<noSuchInstance>",
//                      "<endOfMibView>": the angle brackets never start a value of the kinds above
//                      (the pages never show these: the collector and the walk take an
//                      exception for no value)
//
// Values for a set come from each OID list entry's m_strValue, converted by the record's type
// code: 2 decimal (or a text of the record's value-text map), 4 the UTF-8 text, 6 dotted OID,
// 64 dotted quad (empty text: 0.0.0.0), 65/66/67 unsigned 32-bit decimal, 70 unsigned 64-bit
// decimal, 68 hex octets, 79 a MAC address (hex pairs joined by ':', '-' or nothing) or a
// bridge identifier as FormatValue writes it. When any value cannot be converted, or a record's
// OID text is not a valid OID, SendSnmp sends nothing and returns 0; LastError() then says which
// record and why.
//
// Record flags (qvsnmp/format.h): QV_FLAG_COLUMN marks a table column (all records are columns when
// none is marked). A get-next or GETBULK walk follows the row rules of qvsnmp/walk.h: the columns
// advance together by row index, a cell a column lacks arrives as a hole (a binding with no value,
// IsHole(), formatted as an empty text, its OID the column's with the row's index), a column
// past its end gives holes from then on and is no longer asked, and the walk ends when every
// column has ended. A get-next answer then holds one binding per record: one row. IsEndOfTable
// is true when the answer holds no row: every column has ended, the answer was short, an OID
// did not increase within its column, or it carried an error status. A walk that ends so (or
// whose request failed) starts again from the records at its next get-next.
//
// A GETBULK answer is handed on as rows of one binding per record, in record order: BulkRows()
// of them, as many as the answer decides (a row is decided once every column that has not ended
// answered at or beyond its index). IsEndOfTable is true when the walk ends with this answer;
// its BulkRows() rows are still the table's. The next GETBULK continues from the last row.
#pragma once

#include "qvsnmp/ber.h"
#include "qvsnmp/format.h"
#include "qvsnmp/walk.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QCoreApplication;

// Callback status values; 0 means the message holds a response. SNMP_STATUS_REFUSED: an
// SNMPv3 agent's report ended the request (LastFailure says why).
enum : unsigned short { SNMP_STATUS_OK = 0, SNMP_STATUS_TIMEOUT = 1, SNMP_STATUS_REFUSED = 2 };

enum : unsigned short {
    SNMP_PDU_GET = 160,
    SNMP_PDU_GETNEXT = 161,
    SNMP_PDU_SET = 163,
    SNMP_PDU_GETBULK = 165
};

QVSNMP_EXPORT bool SnmpInit(QCoreApplication* app);
QVSNMP_EXPORT void SetSnmpTimeout(int milliseconds);
QVSNMP_EXPORT int SnmpTimeout();
// Overrides TALVEX_AGENT_PORT for sessions created afterwards; 0 goes back to it.
QVSNMP_EXPORT void SetSnmpAgentPort(quint16 port);
// The agent port sessions created now use.
QVSNMP_EXPORT quint16 SnmpAgentPort();

namespace usm {
struct User;
}

class QVSNMP_EXPORT CSnmpOid {
public:
    QString m_strValue; // value text a set sends; table pages may keep display text here

    explicit CSnmpOid(_QvOidTable* rec) : m_record(rec) {}
    const _QvOidTable* Record() const { return m_record; }

private:
    _QvOidTable* m_record;
};

class QVSNMP_EXPORT CSnmpVarBind {
public:
    explicit CSnmpVarBind(ber::VarBind vb, bool hole = false) : m_vb(std::move(vb)), m_hole(hole) {}
    QString OidText() const { return QString::fromStdString(ber::oidToString(m_vb.oid)); }
    const ber::Oid& Oid() const { return m_vb.oid; }
    const ber::Value& Value() const { return m_vb.value; }
    // A cell the agent's table lacks, within a walk's row: no value at all.
    bool IsHole() const { return m_hole; }

private:
    ber::VarBind m_vb;
    bool m_hole;
};

class QVSNMP_EXPORT CSnmpPdu {
public:
    using WalkStop = qvsnmp::WalkStop;
    using WalkAnswer = qvsnmp::WalkAnswer;
    // holes, when not empty, marks each binding that is a hole.
    explicit CSnmpPdu(ber::Pdu pdu, const std::vector<char>& holes = {},
                      const WalkAnswer& walk = {});
    ~CSnmpPdu();
    CSnmpPdu(const CSnmpPdu&) = delete;
    CSnmpPdu& operator=(const CSnmpPdu&) = delete;

    quint32 RequestId() const { return quint32(m_requestId); }
    quint32 ErrorStatus() const { return quint32(m_errorStatus); }
    quint32 ErrorIndex() const { return quint32(m_errorIndex); }
    const QList<CSnmpVarBind*>& VarBinds() const { return m_bindings; }
    // Why a get-next or GETBULK answer cannot continue a walk (IsEndOfTable is then true).
    WalkStop Stop() const { return m_walk.stop; }
    // An answer to GETBULK: how many rows of it belong to the walk (see above); 0 otherwise.
    int BulkRows() const { return m_walk.bulkRows; }
    const WalkAnswer& Walk() const { return m_walk; }
    // Holds pdu instead, in the storage it has: what a message reused for the next answer does.
    void Assign(ber::Pdu&& pdu, const std::vector<char>& holes, const WalkAnswer& walk);

private:
    int32_t m_requestId;
    int32_t m_errorStatus;
    int32_t m_errorIndex;
    std::vector<CSnmpVarBind> m_storage; // what m_bindings points into
    QList<CSnmpVarBind*> m_bindings;
    WalkAnswer m_walk;
};

class QVSNMP_EXPORT CSnmpMsg {
public:
    explicit CSnmpMsg(ber::Pdu pdu, const std::vector<char>& holes = {},
                      const CSnmpPdu::WalkAnswer& walk = {})
        : m_pdu(std::move(pdu), holes, walk) {}
    CSnmpPdu* GetPdu() { return &m_pdu; }
    // The receiver of a status-0 message calls this once, when it is done with it.
    void Release();
    // A message holding pdu: the last one released on this thread, when there is one, with the
    // storage it had (a walk releases each answer before the next comes), else a new one.
    static CSnmpMsg* Make(ber::Pdu&& pdu, const std::vector<char>& holes,
                          const CSnmpPdu::WalkAnswer& walk);

private:
    struct Spare;
    static Spare& spare();
    ~CSnmpMsg() = default;
    CSnmpPdu m_pdu;
};

class QVSNMP_EXPORT CSnmpClass {
public:
    using Callback = std::function<void(unsigned short, CSnmpMsg*)>;

    // The table's records stay valid and writable for the session's life: the session reads
    // them at every send. The suffix is appended to every record's OID.
    CSnmpClass(QObject* owner, const QString& agentAddress, const QString& readCommunity,
               const QString& writeCommunity, int count, _QvOidTable* table, const QString& suffix);
    virtual ~CSnmpClass();
    CSnmpClass(const CSnmpClass&) = delete;
    CSnmpClass& operator=(const CSnmpClass&) = delete;

    // A member function of the owner's class, called on the owner's thread with (status,
    // message). With status 0 the receiver owns the message and releases it; otherwise the
    // message is null.
    template <class Owner> void SetSnmpCallback(void (Owner::*handler)(unsigned short, CSnmpMsg*)) {
        QPointer<QObject> owner = m_owner;
        SetSnmpCallback(Callback([owner, handler](unsigned short status, CSnmpMsg* msg) {
            if (Owner* o = qobject_cast<Owner*>(owner.data()))
                (o->*handler)(status, msg);
            else if (msg)
                msg->Release();
        }));
    }
    void SetSnmpCallback(Callback callback);

    // Any thread. Returns the request id, or 0 when nothing was sent (LastError says why).
    unsigned long SendSnmp(unsigned short pduType);

    QList<CSnmpOid*>& GetOidList() { return m_oids; }
    QString FormatValue(CSnmpVarBind* binding, CSnmpOid* entry);
    int IsEndOfTable(CSnmpPdu* pdu);

    void SetVersion(int version); // ber::V1 or ber::V2c
    // SNMPv3 with the user-based security model as user (its level, protocols, passphrases
    // and context); the communities are no longer used. Call before the first send.
    void SetSecurity(const usm::User& user);
    // Rows a GETBULK asks for (its max-repetitions; 10 until set; at least 1).
    void SetBulk(int maxRepetitions);
    // SNMPv2c: a get-next walk is read ahead by GETBULK (off until set). The caller still sends
    // get-next and gets one row per answer under the id SendSnmp returned, delivered through
    // the event loop, with the same holes, end and stops; see "Reading ahead" above.
    void SetReadAhead(bool on);
    // Forgets the walk under way (and what was read ahead for it): the next get-next starts
    // from the records.
    void RestartWalk();
    QString LastError() const;
    // Why the last request that failed did: no answer (and, for SNMPv3, what came instead), or
    // the reason of an SNMPv3 report ("the agent reports authentication failed, check the
    // passphrase").
    QString LastFailure() const;
    // Whether it failed for a security reason: an SNMPv3 report of authentication, an unknown
    // user or engine, a level the user lacks or decryption, or answers that failed
    // authentication or decryption until the time-out.
    bool LastFailureIsSecurity() const;
    // Called on the owner's thread when a request fails, before the callback hears of it, with
    // LastFailure and LastFailureIsSecurity: whoever builds sessions learns of every failure
    // in one place, whatever callback a page gives. It must not delete the session.
    using FailureObserver = std::function<void(const QString& reason, bool security)>;
    void SetFailureObserver(FailureObserver observer);

    QString m_strInstance; // set by FormatValue: the binding's OID beyond the record's, ".1.5"

private:
    QPointer<QObject> m_owner;
    QList<CSnmpOid*> m_oids;
    _QvOidTable* m_table;
    int m_count;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
