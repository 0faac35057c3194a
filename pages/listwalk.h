// The walk of a table into a list view, which every list page is built on. A page declares its
// OID table (both forms), its list, its column headings, its count label, its value mappings
// and the few rules in which list pages differ; the walk owns the session, the pending id, the
// busy rule, one appended row per response and the count text.
#pragma once

#include "snmp/session.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <initializer_list>

class QDialog;
namespace platform {
class ListView;
}

struct ListWalkRules {
    // A response to another request: ignored while the walk waits for its own, or the end of
    // the walk.
    StaleResponse stale = StaleResponse::Ignored;
    // A new walk asked for while one is outstanding: empties the list, and the outstanding walk
    // goes on appending to it (true); or changes nothing at all (false).
    bool emptyWhileBusy = true;
    // A new walk asked for while one is outstanding forgets that one, whose answers are never
    // seen, and starts afresh (emptyWhileBusy then does not apply).
    bool restartWhileBusy = false;
    // The count text written when the list is emptied for a new walk; null leaves the text.
    const char* emptyCount = "0";
    // Whether the page's first walk writes emptyCount too; false leaves the label as the
    // template has it until the walk writes a count.
    bool emptyCountAtFirst = true;
    // Whether reaching the end of the table writes the count once more (it is written after
    // every row, listed or filtered out). An error status or a failed request leaves the count
    // of the rows listed, or an empty text when there are none.
    bool countAtEnd = true;
};

class ListWalk : public QObject {
    Q_OBJECT
public:
    // listId and countId name controls of page (countId 0: the list has no count). The columns
    // show the table's records in order, under headings from the string table (or as given);
    // with the proxied table the proxy record has no column. Records beyond the headings have
    // no column either (their texts stay in the row, for list()->text): they are read along for the
    // mappings, such as a column of ifXTable beside ifTable, and count for a row only when their
    // instance is the row's; otherwise the row holds an empty text for them. A row that only
    // they have a cell in is not listed.
    ListWalk(QDialog* page, QvTableRef table, int listId, std::initializer_list<int> headingIds, int countId,
             ListWalkRules rules = {});
    ListWalk(QDialog* page, QvTableRef table, int listId, const QStringList& headings, int countId,
             ListWalkRules rules = {});
    ~ListWalk() override;

    // The text a column shows for a formatted value; the OID list entry keeps it too.
    using Mapping = std::function<QString(const QString& value)>;
    void mapColumn(int column, Mapping mapping);
    // The same, from the value and the whole row as it came (every record's text, unmapped).
    using RowMapping = std::function<QString(const QString& value, const QStringList& row)>;
    void mapColumn(int column, RowMapping mapping);
    // A row for which keep is false is not listed; the walk goes on.
    void setRowFilter(std::function<bool(const QStringList& row)> keep);

    // Starts a walk under the wait cursor: empties the list and sends the first get-next on a
    // new session. While a walk is outstanding, only empties the list (or, by the rules, does
    // nothing) and returns false. prepare runs just before the session is built, when no walk
    // is out: the place to rewrite the table's OIDs.
    bool start(const std::function<void()>& prepare = {});
    // Empties the list (rows not listed yet included) and writes the count of an empty list.
    void clear();

    bool busy() const { return m_snmp.busy(); }
    platform::ListView* list() const { return m_list; }
    const SnmpChannel& channel() const { return m_snmp; }
    int rows() const; // rows listed

signals:
    // The row is listed and the count written. A row that comes within a moment of the last
    // listing waits for the next, so that a fast agent's rows are laid out and painted
    // together a few times a second rather than one by one.
    void rowAdded(int row);
    void finished(); // end of the table, an error status or a failed request; its rows are listed

private:
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);
    void showCount();
    void showEmptyCount();
    // A walk that ended without reading the table: an empty list's count would say the device
    // has no rows, so it says nothing.
    void showUnread();
    // The row of the response just collected, mapped, into the rows not listed yet (unless
    // the filter drops it).
    void listRow(const QStringList& instances);
    // Lists the rows that have come since the last listing and writes the count; nothing when
    // no row has come.
    void showRows();
    void dropUnshownRows();

    QDialog* m_page;
    QvTableRef m_table;
    platform::ListView* m_list;
    int m_countId;
    ListWalkRules m_rules;
    int m_columns; // records with a column
    QList<RowMapping> m_mappings; // by record
    std::function<bool(const QStringList&)> m_keep;
    SnmpChannel m_snmp;
    bool m_started = false; // a walk has been started
    // Rows that came but are not listed yet, and how many rows came (listed or filtered out)
    // since the last listing.
    QList<QStringList> m_unshown;
    int m_arrived = 0;
    QTimer m_listing; // running: rows were listed a moment ago
};
