#include "pages/rmoncommon.h"

#include <QMouseEvent>
#include <QTreeWidget>

namespace {

constexpr const char* kIfIndexColumn = "1.3.6.1.2.1.2.2.1.1";

// Mouse releases and double-clicks on a list's viewport. The view takes its selection on the
// press, so the selection is current when they arrive.
class ListClicks : public QObject {
public:
    ListClicks(QObject* parent, std::function<void()> click, std::function<void()> doubleClick)
        : QObject(parent), m_click(std::move(click)), m_doubleClick(std::move(doubleClick)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) ||
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        if (type == QEvent::MouseButtonRelease && m_click)
            m_click();
        else if (type == QEvent::MouseButtonDblClick && m_doubleClick)
            m_doubleClick();
        return false;
    }

private:
    std::function<void()> m_click, m_doubleClick;
};

} // namespace

QString RmonSourceText(const QString& oid) {
    const QLatin1String marker("2.2.1.1.");
    const qsizetype at = oid.indexOf(marker);
    if (at < 0)
        return oid;
    return QLatin1String(kInterfaceSourcePrefix) + oid.mid(at + marker.size());
}

QString RmonInterfaceSource(const QString& port) {
    return QLatin1String(kIfIndexColumn) + QLatin1Char('.') + port;
}

void OnListClicks(QTreeWidget* list, std::function<void()> click, std::function<void()> doubleClick) {
    list->viewport()->installEventFilter(new ListClicks(list, std::move(click), std::move(doubleClick)));
}

bool SendEntryStatus(QObject* owner, SnmpChannel& channel, QvTable<1>& table, const char* column,
                     const QString& index, const char* value) {
    if (!table.setInstance(0, column, index.toStdString()))
        return false;
    NewSnmpSession(channel.session, owner, table);
    return channel.sendSet({QString::fromLatin1(value)});
}

RmonEntrySets::RmonEntrySets(QObject* owner, QvTableRef creation, std::initializer_list<const char*> columns,
                             QvTable<1>& deletion)
    : QObject(owner), m_owner(owner), m_creationTable(creation), m_columns(columns.begin(), columns.end()),
      m_deletionTable(deletion),
      m_validTable{{QvRecord(ber::Integer, 0x2, m_columns.front(), "EntryStatus")}} {
    Q_ASSERT(int(m_columns.size()) == creation.count);
}

bool RmonEntrySets::create(const QString& index, const QStringList& texts) {
    for (int i = 0; i < m_creationTable.count; ++i)
        if (!m_creationTable.setInstance(i, m_columns[size_t(i)], index.toStdString()))
            return false;
    m_index = index;
    m_create.open(this, m_creationTable, &RmonEntrySets::OnCreated);
    return m_create.sendSet(QStringList{QStringLiteral("2")} + texts);
}

bool RmonEntrySets::remove(const QString& index) {
    return SendEntryStatus(m_owner, m_delete, m_deletionTable, m_columns.front().c_str(), index, "4");
}

void RmonEntrySets::OnCreated(unsigned short status, CSnmpMsg* msg) {
    if (m_create.takeResponse(status, msg) == 0)
        return; // no answer, another request's, or refused
    SendEntryStatus(m_owner, m_valid, m_validTable, m_columns.front().c_str(), m_index, "1");
}
