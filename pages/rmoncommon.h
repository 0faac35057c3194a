// What the RMON pages share: the text of a data source, the operator's clicks on a list, and
// the sets that create, validate and delete an entry through its status column (EntryStatus:
// 1 valid, 2 createRequest, 3 underCreation, 4 invalid).
#pragma once

#include "graphs/counters.h"
#include "pages/pagecommon.h"
#include "snmp/session.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <list>
#include <string>
#include <vector>

class QLabel;
namespace graphs {
class RateChart;
}
namespace platform {
class ListView;
}

// A data source as the lists show it: "Interface #" and the text after the first "2.2.1.1." of
// the OID (ifIndex.5 gives "Interface #5"); a source that names no interface shows as its OID.
QString RmonSourceText(const QString& oid);
inline constexpr const char* kInterfaceSourcePrefix = "Interface #";
// The interface a source text names ("Interface #5" gives 5); 0 where it names none.
int RmonSourceInterface(const QString& sourceText);
// The ifIndex instance of an interface number, the data source a new entry is given.
QString RmonInterfaceSource(const QString& port);

// The speed of an interface a source text names, read by one get: what the RMON charts bound
// their rates by. Unknown (no bounds) until it is answered, and for a source that names none.
class InterfaceSpeed : public QObject {
    Q_OBJECT
public:
    explicit InterfaceSpeed(QObject* parent);
    // Forgets the speed known and asks the one of the interface sourceText names.
    void read(const QString& sourceText);
    const graphs::LineBounds& bounds() const { return m_bounds; }

signals:
    void known();

private:
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    QvTable<2> m_table;
    SnmpChannel m_snmp;
    graphs::LineBounds m_bounds;
};

// A chart with a status line under it, for the status line to name the chart's gaps.
QWidget* WithStatusLine(graphs::RateChart* chart, QLabel*& status);

// Runs changed once per change of list's selection, as the list reports it, and doubleClick
// after a double-click on a row. A click beside the rows empties the selection, as the
// desktop's list does.
void OnListSelection(platform::ListView* list, std::function<void()> changed,
                     std::function<void()> doubleClick = {});

// One set of an entry's status, awaited on a new session of channel: table's one record becomes
// column.index, carrying value; a refusal is told in owner's name. False, with nothing sent, when
// that is no OID or no value.
bool SendEntryStatus(QWidget* owner, SnmpChannel& channel, QvTable<1>& table, const char* column,
                     const QString& index, const char* value,
                     std::function<void(bool accepted)> done = {});

// Creation and deletion of a page's entries. An entry is created by one set that carries
// createRequest in its status and the page's other writable columns. An agent that follows the
// RMON MIB keeps such an entry underCreation, where it does nothing, until it is set valid: so
// once the creation set is answered without error, a second set makes that entry valid. Every
// creation is awaited on sessions of its own, however many the operator starts, and a refused
// set is told.
class RmonEntrySets : public QObject {
    Q_OBJECT
public:
    // creation: the page's creation table; columns: its records' bare column OIDs in order,
    // the status column first. deletion: the page's one-record table for invalid.
    RmonEntrySets(QWidget* owner, QvTableRef creation, std::initializer_list<const char*> columns,
                  QvTable<1>& deletion);

    // Sends createRequest ("2") and texts, one per further column, for the entry index. False,
    // with nothing sent, when an OID or a value cannot be formed.
    bool create(const QString& index, const QStringList& texts);
    // Sends invalid ("4") to the entry's status.
    bool remove(const QString& index);

    // Whether a creation, or the set that makes it valid, is still out.
    bool creating() const;
    const SnmpChannel& deletion() const { return m_delete; }

private:
    struct Creation {
        SnmpChannel create, valid;
    };

    QWidget* m_owner;
    QvTableRef m_creationTable;
    std::vector<std::string> m_columns;
    QvTable<1>& m_deletionTable;
    QvTable<1> m_validTable;
    std::list<Creation> m_creations;
    SnmpChannel m_delete;
};
