#include "pages/rmoncommon.h"

#include "platform/listview.h"

#include <QMouseEvent>

#include <algorithm>

namespace {

constexpr const char* kIfIndexColumn = "1.3.6.1.2.1.2.2.1.1";

// A press beside the rows of a list's viewport.
class EmptyAreaClicks : public QObject {
public:
    explicit EmptyAreaClicks(platform::ListView* list) : QObject(list), m_list(list) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            m_list->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint()) < 0)
            m_list->clearSelection();
        return false;
    }

private:
    platform::ListView* m_list;
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

void OnListSelection(platform::ListView* list, std::function<void()> changed,
                     std::function<void()> doubleClick) {
    list->viewport()->installEventFilter(new EmptyAreaClicks(list));
    QObject::connect(list, &platform::ListView::rowSelectionChanged, list, std::move(changed));
    if (doubleClick)
        QObject::connect(list, &platform::ListView::rowDoubleClicked, list,
                         [doubleClick] { doubleClick(); });
}

bool SendEntryStatus(QWidget* owner, SnmpChannel& channel, QvTable<1>& table, const char* column,
                     const QString& index, const char* value, std::function<void(bool accepted)> done) {
    if (!table.setInstance(0, column, index.toStdString()))
        return false;
    return channel.sendSetAwaited(owner, table, {QString::fromLatin1(value)}, std::move(done));
}

RmonEntrySets::RmonEntrySets(QWidget* owner, QvTableRef creation,
                             std::initializer_list<const char*> columns, QvTable<1>& deletion)
    : QObject(owner), m_owner(owner), m_creationTable(creation),
      m_columns(columns.begin(), columns.end()),
      m_deletionTable(deletion), m_validTable{{QvRecord(ber::Integer, QV_SCALAR_WRITE,
                                                        m_columns.front(), "EntryStatus")}} {
    Q_ASSERT(int(m_columns.size()) == creation.count);
}

bool RmonEntrySets::create(const QString& index, const QStringList& texts) {
    // Creations whose sets are all answered are done with; none of them is in its callback now.
    m_creations.remove_if([](const Creation& c) { return !c.create.busy() && !c.valid.busy(); });
    for (int i = 0; i < m_creationTable.count; ++i)
        if (!m_creationTable.setInstance(i, m_columns[size_t(i)], index.toStdString()))
            return false;
    Creation& c = m_creations.emplace_back();
    auto validate = [this, &c, index](bool accepted) {
        if (accepted)
            SendEntryStatus(m_owner, c.valid, m_validTable, m_columns.front().c_str(), index, "1");
    };
    return c.create.sendSetAwaited(m_owner, m_creationTable, QStringList{QStringLiteral("2")} + texts,
                                   validate);
}

bool RmonEntrySets::remove(const QString& index) {
    return SendEntryStatus(m_owner, m_delete, m_deletionTable, m_columns.front().c_str(), index, "4");
}

bool RmonEntrySets::creating() const {
    return std::any_of(m_creations.begin(), m_creations.end(),
                       [](const Creation& c) { return c.create.busy() || c.valid.busy(); });
}
