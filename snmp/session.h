// The request cycle every page and the panel share: building a session from the session
// parameters and a table, sending with the pending id, collecting a response into display
// strings, one step of a table walk, and a set.
#pragma once

#include "snmp/oidtable.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

// Deletes session (when any) and builds a new one over table: the direct form toward the agent
// when the proxy address is "0.0.0.0", otherwise the proxied form toward the proxy, with the
// proxy record naming the agent. Registers no handler. The direct form speaks SNMPv3 as
// g_snmpV3User when the credentials file gave one (or the version it names), else SNMPv2c.
// The first request of the run that fails for a security reason (SNMPv3 authentication, user,
// engine, level, decryption) is told in one box, once; other failures stay silent.
CSnmpClass* NewSnmpSession(CSnmpClass*& session, QObject* owner, QvTableRef table);

// What became of a response, as the shared collector found it.
enum class CollectResult {
    Failed,   // the request failed; the message is null
    Stale,    // a response to another request: released, nothing taken from it
    Collected // released; values holds its bindings (none when the error status is not 0)
};

// The shared response collector. For a response to the request pending, values holds one text
// per binding paired with an OID list entry, none when the error status is not 0; otherwise
// values is left as it was. A binding that carries a v2c exception (noSuchObject,
// noSuchInstance, endOfMibView) is a value whose text is empty, so that one object an agent
// lacks costs a page that one field, not all of them; missing, when given, is true at the index
// of each such value.
CollectResult CollectSnmpValues(unsigned short status, CSnmpMsg* msg, unsigned long pending,
                                CSnmpClass* session, QStringList& values,
                                QList<bool>* missing = nullptr);

// One response of a get-next walk.
enum class WalkStep {
    Failed,  // the request failed; the message is null
    Dropped, // a response to another request, or an error status: released
    End, // beyond the table (or an answer that cannot continue it): released, the walk is complete
    Row, // a row: formatted and released; the caller sends the next get-next
};

// What a response to another request does to a walk (or a get): end it (the pending id is
// cleared), or nothing (the pending id stays, and the walk goes on with the answer it waits for).
enum class StaleResponse { EndsWalk, Ignored };

// One role of a page: its session, the pending id and the response value list. The channel
// alone writes them; a page asks through its calls.
class SnmpChannel {
public:
    SnmpChannel() = default;
    SnmpChannel(const SnmpChannel&) = delete;
    SnmpChannel& operator=(const SnmpChannel&) = delete;
    ~SnmpChannel() { destroy(); }

    // Session creation with the page's response handler.
    template <class Owner>
    void open(Owner* owner, QvTableRef table, void (Owner::*handler)(unsigned short, CSnmpMsg*)) {
        NewSnmpSession(m_session, owner, table)->SetSnmpCallback(handler);
    }
    void destroy();

    bool busy() const { return m_pending != 0; }
    // Forgets the request in flight: its answer, when it comes, is one to another request. For
    // a page that sends anew while it waits (a walk started again, a read after a set).
    void forgetRequest() { m_pending = 0; }
    // Forgets a walk under way: the next get-next starts from the table's first row.
    void restartWalk() {
        if (m_session) m_session->RestartWalk();
    }
    // Pending id 0, then the request; the returned id becomes the pending id. False when the
    // library sent nothing (then the pending id stays 0).
    bool send(unsigned short kind);
    // Gives the OID list entries their value texts in order (records beyond values keep
    // theirs, so a proxy record gets none) and sends a set.
    bool sendSet(const QStringList& texts);
    // A set the operator started, awaited on a new session of this channel over table (any set
    // still out on the channel is forgotten). When the device refuses it or does not answer,
    // or it cannot be sent, a plain OK box owned by owner says so once, naming the object and
    // the reason ("The device refused the change of dot1dStpPortPriority.3: wrongValue", or the
    // library's: "...: the agent reports authentication failed, check the passphrase"); an
    // accepted set says nothing. done, when given, learns whether the device took the set once
    // its answer (or the time-out) is in; false returned means nothing was sent, and done is
    // not called.
    // With write given, only the records for which it is true are set, on a session over just
    // those records: a value the page never read and the operator never typed is left out
    // rather than sent as whatever its field happened to hold; nothing is sent (false returned,
    // no box) when none is chosen.
    bool sendSetAwaited(QWidget* owner, QvTableRef table, const QStringList& texts,
                        std::function<void(bool accepted)> done = {},
                        const QList<bool>& write = {});

    // The response collected into values (see CollectSnmpValues); the pending id stays, for a
    // page that reads once and sends nothing more.
    CollectResult collect(unsigned short status, CSnmpMsg* msg) {
        return CollectSnmpValues(status, msg, m_pending, m_session, m_values, &m_missing);
    }
    // Whether value i of the last collected response came: false for one the agent lacks (its
    // text is empty) and for one beyond the values.
    bool arrived(qsizetype i) const { return i >= 0 && i < m_values.size() && !m_missing.value(i); }

    // The usual get cycle: unless busy, a new session over table with handler, then a send.
    template <class Owner>
    bool request(Owner* owner, QvTableRef table, void (Owner::*handler)(unsigned short, CSnmpMsg*),
                 unsigned short kind) {
        if (busy()) return false;
        open(owner, table, handler);
        return send(kind);
    }
    // Its response: values emptied and collected, the pending id cleared whatever came (but a
    // response to another request under StaleResponse::Ignored).
    CollectResult takeResponse(unsigned short status, CSnmpMsg* msg,
                               StaleResponse stale = StaleResponse::EndsWalk);

    // A get's response for code that computes: numbers gets each binding's typed value
    // (ber::Value::number: nullopt for one the agent lacks or that is no number), one per OID
    // list entry, none when the error status is not 0; no text is made. The pending id is
    // cleared as by takeResponse under StaleResponse::Ignored.
    CollectResult takeNumbers(unsigned short status, CSnmpMsg* msg,
                              std::vector<std::optional<uint64_t>>& numbers);

    // Handles one walk response: clears the pending id in every case but a response to another
    // request under StaleResponse::Ignored; for a row, values gets one text per binding (also
    // kept in the OID list entry's m_strValue), missing whether the row lacks that cell, and
    // instances the instance suffix of each (".5").
    WalkStep walkStep(unsigned short status, CSnmpMsg* msg, QStringList* instances = nullptr,
                      StaleResponse stale = StaleResponse::EndsWalk);

    CSnmpClass* session() const { return m_session; }
    // The texts of the last response collected or walk row taken, and by value whether the
    // agent lacked it.
    const QStringList& values() const { return m_values; }
    const QList<bool>& missing() const { return m_missing; }

private:
    // Deletes the session (it points into the records), then copies the chosen records of
    // table into both forms, and their texts into chosen.
    QvTableRef chooseRecords(QvTableRef table, const QStringList& texts, const QList<bool>& write,
                             QStringList& chosen);

    CSnmpClass* m_session = nullptr;
    unsigned long m_pending = 0;
    QStringList m_values;
    QList<bool> m_missing;
    QvRecordTable m_chosen; // the records of a set of chosen records
};
