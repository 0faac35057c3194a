#include "pages/rmoncommon.h"

#include "graphs/ratechart.h"
#include "platform/listview.h"
#include "snmp/valuetext.h"

#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kIfIndexColumn = "1.3.6.1.2.1.2.2.1.1";
constexpr const char* kIfSpeedColumn = "1.3.6.1.2.1.2.2.1.5";
constexpr const char* kIfHighSpeedColumn = "1.3.6.1.2.1.31.1.1.1.15";

// The number at the start of text, as the C library reads one ("12.0" gives 12); 0 for none.
int LeadingNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?\\d+"));
    return number.match(text).captured().trimmed().toInt();
}

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
    if (at < 0) return oid;
    return QLatin1String(kInterfaceSourcePrefix) + oid.mid(at + marker.size());
}

int RmonSourceInterface(const QString& sourceText) {
    const QLatin1String prefix(kInterfaceSourcePrefix);
    return sourceText.startsWith(prefix) ? LeadingNumber(sourceText.mid(prefix.size())) : 0;
}

InterfaceSpeed::InterfaceSpeed(QObject* parent)
    : QObject(parent), m_table{{QvRecord(ber::Gauge32, QV_COLUMN_READ, kIfSpeedColumn, "ifSpeed"),
                                QvRecord(ber::Gauge32, QV_COLUMN_READ, kIfHighSpeedColumn,
                                         "ifHighSpeed")}} {}

void InterfaceSpeed::read(const QString& sourceText) {
    m_bounds = {};
    const int port = RmonSourceInterface(sourceText);
    if (port <= 0) {
        m_snmp.destroy();
        return;
    }
    const std::string instance = std::to_string(port);
    m_table.setInstance(0, kIfSpeedColumn, instance);
    m_table.setInstance(1, kIfHighSpeedColumn, instance);
    // A new session each time: the answer to a get for another interface never comes.
    m_snmp.open(this, m_table, &InterfaceSpeed::OnSnmpResponse);
    m_snmp.send(SNMP_PDU_GET);
}

void InterfaceSpeed::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    std::vector<std::optional<uint64_t>> numbers;
    if (m_snmp.takeNumbers(status, msg, numbers) != CollectResult::Collected || numbers.size() < 2)
        return;
    const IfSpeed speed = IfLineRate(numbers[0], numbers[1]);
    m_bounds = graphs::ProbeLineBounds(speed.bps, speed.capped);
    emit known();
}

QWidget* WithStatusLine(graphs::RateChart* chart, QLabel*& status) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(chart, 1);
    status = new QLabel(box);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long message is cut rather than widening the page.
    status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(status);
    return box;
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
                     const QString& index, const char* value,
                     std::function<void(bool accepted)> done) {
    if (!table.setInstance(0, column, index.toStdString())) return false;
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
    return c.create.sendSetAwaited(m_owner, m_creationTable,
                                   QStringList{QStringLiteral("2")} + texts, validate);
}

bool RmonEntrySets::remove(const QString& index) {
    return SendEntryStatus(m_owner, m_delete, m_deletionTable, m_columns.front().c_str(), index,
                           "4");
}

bool RmonEntrySets::creating() const {
    return std::any_of(m_creations.begin(), m_creations.end(),
                       [](const Creation& c) { return c.create.busy() || c.valid.busy(); });
}
