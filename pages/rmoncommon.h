// What the RMON pages share: the text of a data source, the operator's clicks on a list, and
// the sets that create, validate and delete an entry through its status column (EntryStatus:
// 1 valid, 2 createRequest, 3 underCreation, 4 invalid).
#pragma once

#include "pages/pagecommon.h"
#include "snmp/session.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QTreeWidget;

// A data source as the lists show it: "Interface #" and the text after the first "2.2.1.1." of
// the OID (ifIndex.5 gives "Interface #5"); a source that names no interface shows as its OID.
QString RmonSourceText(const QString& oid);
inline constexpr const char* kInterfaceSourcePrefix = "Interface #";
// The ifIndex instance of an interface number, the data source a new entry is given.
QString RmonInterfaceSource(const QString& port);

// Runs click after every click of the operator on list (on a row or beside the rows), and
// doubleClick after every double-click, each once the list has taken its new selection.
void OnListClicks(QTreeWidget* list, std::function<void()> click, std::function<void()> doubleClick = {});

// One set of an entry's status that is not awaited: table's one record becomes column.index on
// a new session of channel, carrying value. False, with nothing sent, when that is no OID.
bool SendEntryStatus(QObject* owner, SnmpChannel& channel, QvTable<1>& table, const char* column,
                     const QString& index, const char* value);

// Creation and deletion of a page's entries. An entry is created by one set that carries
// createRequest in its status and the page's other writable columns. An agent that follows the
// RMON MIB keeps such an entry underCreation, where it does nothing, until it is set valid: so
// once the creation set is answered without error, a second set makes that entry valid. A
// refused set is not reported; the page's next walk shows what the device holds.
class RmonEntrySets : public QObject {
    Q_OBJECT
public:
    // creation: the page's creation table; columns: its records' bare column OIDs in order,
    // the status column first. deletion: the page's one-record table for invalid.
    RmonEntrySets(QObject* owner, QvTableRef creation, std::initializer_list<const char*> columns,
                  QvTable<1>& deletion);

    // Sends createRequest ("2") and texts, one per further column, for the entry index. False,
    // with nothing sent, when an OID or a value cannot be formed.
    bool create(const QString& index, const QStringList& texts);
    // Sends invalid ("4") to the entry's status; the answer is not awaited.
    bool remove(const QString& index);

    const SnmpChannel& creation() const { return m_create; }
    const SnmpChannel& validation() const { return m_valid; }

private:
    void OnCreated(unsigned short status, CSnmpMsg* msg);

    QObject* m_owner;
    QvTableRef m_creationTable;
    std::vector<std::string> m_columns;
    QvTable<1>& m_deletionTable;
    QvTable<1> m_validTable;
    SnmpChannel m_create, m_valid, m_delete;
    QString m_index; // the entry the outstanding creation set creates
};
