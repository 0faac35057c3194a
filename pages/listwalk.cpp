#include "pages/listwalk.h"

#include "pages/pagecommon.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/stringtable.h"

#include <QDialog>

namespace {

// The least time between two listings: short enough that rows seem to come as they arrive,
// long enough that a list of thousands is not laid out again for every row.
constexpr int kListingMs = 50;
// The view lays out all its rows again after each listing: a long list waits a little longer
// between listings (a millisecond more for every so many rows), so that laying out costs each
// row the same however many there are.
constexpr int kRowsPerLaterMs = 500;

QStringList headingTexts(std::initializer_list<int> ids) {
    QStringList headings;
    for (int id : ids)
        headings << QString::fromUtf8(res::String(id));
    return headings;
}

} // namespace

ListWalk::ListWalk(QDialog* page, QvTableRef table, int listId, std::initializer_list<int> headingIds, int countId,
                   ListWalkRules rules)
    : ListWalk(page, table, listId, headingTexts(headingIds), countId, rules) {}

ListWalk::ListWalk(QDialog* page, QvTableRef table, int listId, const QStringList& headings,
                   int countId, ListWalkRules rules)
    : QObject(page), m_page(page), m_table(table),
      m_list(platform::Item<platform::ListView>(page, listId)), m_countId(countId), m_rules(rules),
      m_columns(std::min(int(headings.size()), table.count)) {
    Q_ASSERT(m_list);
    SetupListColumns(m_list, headings);
    m_mappings.resize(table.count);
    m_listing.setSingleShot(true);
    connect(&m_listing, &QTimer::timeout, this, &ListWalk::showRows);
    // Rows are appended in steps; a complete list gives back what the steps left over.
    connect(this, &ListWalk::finished, m_list, &platform::ListView::squeeze);
}

ListWalk::~ListWalk() = default;

void ListWalk::mapColumn(int column, Mapping mapping) {
    mapColumn(column, [mapping = std::move(mapping)](const QString& value, const QStringList&) {
        return mapping(value);
    });
}

void ListWalk::mapColumn(int column, RowMapping mapping) {
    if (column >= 0 && column < m_mappings.size())
        m_mappings[column] = std::move(mapping);
}

void ListWalk::setRowFilter(std::function<bool(const QStringList& row)> keep) {
    m_keep = std::move(keep);
}

int ListWalk::rows() const {
    return m_list->rowCount();
}

void ListWalk::showCount() {
    if (m_countId)
        SetItemText(m_page, m_countId, QString::number(rows()));
}

void ListWalk::showEmptyCount() {
    if (m_countId && m_rules.emptyCount)
        SetItemText(m_page, m_countId, QString::fromLatin1(m_rules.emptyCount));
}

void ListWalk::showUnread() {
    if (m_countId && rows() == 0)
        SetItemText(m_page, m_countId, QString());
}

void ListWalk::showRows() {
    if (m_arrived == 0)
        return;
    const int first = rows();
    m_list->appendRows(m_unshown);
    m_unshown.clear();
    m_arrived = 0;
    showCount();
    for (int row = first; row < rows(); ++row)
        emit rowAdded(row);
    m_listing.start(kListingMs + rows() / kRowsPerLaterMs);
}

void ListWalk::dropUnshownRows() {
    m_unshown.clear();
    m_arrived = 0;
    m_listing.stop();
}

void ListWalk::clear() {
    dropUnshownRows();
    m_list->clear();
    showEmptyCount();
}

bool ListWalk::start(const std::function<void()>& prepare) {
    if (m_rules.restartWhileBusy)
        m_snmp.forgetRequest(); // the new walk's session replaces the one its answers would reach
    if (busy() && !m_rules.emptyWhileBusy)
        return false;
    dropUnshownRows();
    m_list->clear();
    if (m_started || m_rules.emptyCountAtFirst)
        showEmptyCount();
    m_started = true;
    if (busy())
        return false;
    if (prepare)
        prepare();
    platform::WaitCursor wait;
    m_snmp.request(this, m_table, &ListWalk::OnSnmpResponse, SNMP_PDU_GETNEXT);
    return true;
}

void ListWalk::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    QStringList instances;
    switch (m_snmp.walkStep(status, msg, &instances, m_rules.stale)) {
    case WalkStep::Failed:
        showRows();
        showUnread();
        emit finished();
        return;
    case WalkStep::Dropped:
        if (!busy()) { // an error status, or a stale answer that ends the walk
            showRows();
            showUnread();
            emit finished();
        }
        return;
    case WalkStep::End:
        showRows();
        if (m_rules.countAtEnd)
            showCount();
        emit finished();
        return;
    case WalkStep::Row:
        break;
    }
    // A row none of the listed columns has (an index only a column read along for a mapping
    // has) is none of the table's.
    bool listed = false;
    for (int c = 0; c < m_columns; ++c)
        listed = listed || !m_snmp.missing().value(c);
    if (listed)
        listRow(instances);
    m_snmp.send(SNMP_PDU_GETNEXT);
    ++m_arrived;
    if (!m_listing.isActive())
        showRows();
}

void ListWalk::listRow(const QStringList& instances) {
    // With the proxied table the proxy record's text has no column.
    QStringList values = m_snmp.values().mid(0, m_table.count);
    for (qsizetype c = m_columns; c < values.size(); ++c)
        if (instances.value(c) != instances.value(0))
            values[c].clear();
    QStringList row = values;
    QList<CSnmpOid*>& oids = m_snmp.session()->GetOidList();
    // A cell the agent lacks stays empty: a mapping would give it a word ("N", "other") that
    // the device never said.
    for (qsizetype c = 0; c < row.size(); ++c)
        if (m_mappings[c] && !values[c].isEmpty())
            oids[c]->m_strValue = row[c] = m_mappings[c](values[c], values);
    if (!m_keep || m_keep(row)) m_unshown.append(row);
}
