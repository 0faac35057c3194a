#include "events/model.h"

#include "events/decode.h"

#include <QDateTime>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// However large the journal's bound is set, the list holds no more than this.
constexpr int64_t kMaxRows = 1000000;

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

QString OperatorName() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER", QStringLiteral("uid %1").arg(getuid()));
}

EventListModel::EventListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_bold.setBold(true);
}

void JournalFile::note(const std::string& path) {
    if (path != m_path) m_retryAtMs = 0;
    m_path = path;
    m_server = events::IsServerTarget(path);
    struct stat st {};
    m_present = !m_server && ::lstat(path.c_str(), &st) == 0;
    m_dev = m_present ? st.st_dev : 0;
    m_ino = m_present ? st.st_ino : 0;
}

bool JournalFile::stillThere() const {
    if (m_server) return true;
    struct stat st {};
    const bool present = ::lstat(m_path.c_str(), &st) == 0;
    return present == m_present && (!present || (st.st_dev == m_dev && st.st_ino == m_ino));
}

bool JournalFile::due() const {
    return !m_server || QDateTime::currentMSecsSinceEpoch() >= m_retryAtMs;
}

void JournalFile::opened(bool ok) {
    m_retryAtMs = ok ? 0 : QDateTime::currentMSecsSinceEpoch() + kServerRetryMs;
}

void JournalWake::start(const events::Journal& journal, QObject* owner,
                        const std::function<void()>& wake) {
    stop();
    const int fd = journal.changeDescriptor();
    if (fd < 0) return;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
    QObject::connect(m_notifier, &QSocketNotifier::activated, owner, wake);
}

void JournalWake::stop() {
    if (!m_notifier) return;
    // It may be the notifier whose signal is being handled.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
}

bool EventListModel::open(const QString& path, const QString& device, QString* why) {
    clear();
    m_device = events::CanonicalAddress(device.toStdString());
    m_file.note(path.toStdString());
    if (!m_file.due()) {
        if (why) *why = m_lastProblem;
        emit changed();
        return false;
    }
    std::string err;
    const bool ok = m_journal.open(m_file.path(), false, &err);
    m_file.opened(ok);
    if (!ok) {
        m_lastProblem = Text(err);
        if (why) *why = m_lastProblem;
        emit changed();
        return false;
    }
    m_journal.setBusyTimeout(500);
    m_wake.start(m_journal, this, [this] { follow(); });
    m_max = std::clamp<int64_t>(m_journal.maxPerDevice(), 1, kMaxRows);
    m_ackSeq = m_journal.ackSeq();
    follow();
    return true;
}

void EventListModel::clear() {
    beginResetModel();
    m_wake.stop();
    m_journal.close();
    m_all.clear();
    m_visible.clear();
    m_dropped = 0;
    m_lastId = 0;
    m_version = -1;
    m_unacked = 0;
    endResetModel();
}

void EventListModel::follow() {
    if (!m_journal.isOpen()) {
        m_wake.stop();
        return;
    }
    if (!m_file.stillThere()) {
        open(Text(m_file.path()), Text(m_device), nullptr);
        return;
    }
    const int64_t version = m_journal.dataVersion();
    if (!m_journal.isOpen()) {
        // The server went away; the page opens again and says so meanwhile.
        m_wake.stop();
        emit changed();
        return;
    }
    if (version == m_version) return;
    m_version = version;
    std::vector<events::Journal::Ack> acks;
    m_journal.acksSince(m_device, m_ackSeq, acks);
    // More than the bound may have come since the last look; what the journal still holds of
    // it is read to the end, a bound's worth at a time.
    for (;;) {
        std::vector<events::Event> added;
        m_journal.readSince(m_device, m_lastId, size_t(m_max), added);
        if (added.empty()) break;
        const bool more = added.size() >= size_t(m_max);
        take(added);
        if (!more) break;
    }
    applyAcks(acks);
    emit changed();
}

void EventListModel::take(std::vector<events::Event>& added) {
    m_lastId = added.back().id;
    // The journal dropped its oldest rows as it took these; the list drops those beyond the
    // bound, from the view's end, and leaves the rest of the view as it was.
    const size_t keep = size_t(m_max);
    const size_t drop = std::min(m_all.size(), m_all.size() + added.size() > keep
                                                   ? m_all.size() + added.size() - keep
                                                   : size_t(0));
    if (drop > 0) {
        const int64_t firstKept = m_dropped + int64_t(drop);
        const auto gone = std::lower_bound(m_visible.begin(), m_visible.end(), firstKept);
        const int n = int(gone - m_visible.begin());
        if (n > 0) {
            const int rows = int(m_visible.size());
            beginRemoveRows({}, rows - n, rows - 1);
            m_visible.erase(m_visible.begin(), gone);
            endRemoveRows();
        }
        const auto end = m_all.begin() + std::ptrdiff_t(drop);
        m_unacked -= int(std::count_if(m_all.begin(), end,
                                       [](const events::Event& e) { return e.ackedMs == 0; }));
        m_all.erase(m_all.begin(), end);
        m_dropped = firstKept;
    }
    std::vector<int64_t> fresh;
    for (events::Event& e : added) {
        for (std::string* text : {&e.sender, &e.port, &e.event, &e.summary, &e.ackedBy})
            *text = events::CleanText(*text);
        m_unacked += e.ackedMs == 0;
        m_all.push_back(std::move(e));
        if (shown(m_all.back())) fresh.push_back(m_dropped + int64_t(m_all.size()) - 1);
    }
    if (!fresh.empty()) {
        beginInsertRows({}, 0, int(fresh.size()) - 1);
        m_visible.insert(m_visible.end(), fresh.begin(), fresh.end());
        endInsertRows();
    }
}

int EventListModel::indexOfId(int64_t id) const {
    const auto it = std::lower_bound(m_all.begin(), m_all.end(), id,
                                     [](const events::Event& e, int64_t v) { return e.id < v; });
    return it != m_all.end() && it->id == id ? int(it - m_all.begin()) : -1;
}

void EventListModel::applyAcks(const std::vector<events::Journal::Ack>& acks) {
    if (acks.empty()) return;
    for (const events::Journal::Ack& a : acks)
        if (const int i = indexOfId(a.id); i >= 0) {
            m_unacked += (a.ackedMs == 0) - (m_all[size_t(i)].ackedMs == 0);
            m_all[size_t(i)].ackedMs = a.ackedMs;
            m_all[size_t(i)].ackedBy = a.by;
        }
    // Acknowledgements touch few rows or all of them; either way the view repaints what shows.
    if (!m_visible.empty())
        emit dataChanged(index(0, 0), index(int(m_visible.size()) - 1, kColumns - 1));
}

bool EventListModel::shown(const events::Event& e) const {
    if (int(e.severity) > m_worstShown) return false;
    if (m_text.isEmpty()) return true;
    for (const std::string* s : {&e.sender, &e.event, &e.port, &e.summary})
        if (Text(*s).contains(m_text, Qt::CaseInsensitive)) return true;
    return false;
}

void EventListModel::rebuild() {
    m_visible.clear();
    for (size_t i = 0; i < m_all.size(); ++i)
        if (shown(m_all[i])) m_visible.push_back(m_dropped + int64_t(i));
}

void EventListModel::setFilter(int worstShown, const QString& text) {
    beginResetModel();
    m_worstShown = std::clamp(worstShown, 1, 4);
    m_text = text;
    rebuild();
    endResetModel();
    emit changed();
}

QString EventListModel::details(int row) {
    events::Event e;
    if (!m_journal.read(event(row).id, e))
        return QStringLiteral("The event is no longer in the journal.\n");
    for (std::string* text :
         {&e.sender, &e.device, &e.oid, &e.port, &e.event, &e.summary, &e.ackedBy, &e.bindings})
        *text = events::CleanText(*text);
    QString out;
    out += QStringLiteral("Time: %1\n").arg(TimeText(e.receivedMs));
    out += QStringLiteral("From: %1\n").arg(Text(e.sender));
    if (e.device != e.sender)
        out += QStringLiteral("Device: %1 (snmpTrapAddress.0)\n").arg(Text(e.device));
    if (e.uptime >= 0)
        out += QStringLiteral("Device uptime: %1 s\n").arg(double(e.uptime) / 100.0, 0, 'f', 2);
    out += QStringLiteral("Event: %1 (%2)\n").arg(Text(e.event), Text(e.oid));
    out += QStringLiteral("Severity: %1\n").arg(SeverityText(e.severity));
    if (e.ifIndex) out += QStringLiteral("Port: %1\n").arg(PortText(e));
    out += QStringLiteral("Summary: %1\n").arg(Text(e.summary));
    if (e.ackedMs)
        out += QStringLiteral("Acknowledged: %1 by %2\n").arg(TimeText(e.ackedMs), Text(e.ackedBy));
    out += QStringLiteral("\nBindings:\n") + Text(events::NamedBindings(e.bindings));
    return out;
}

int EventListModel::acknowledge(const QList<int>& rows) {
    std::vector<int64_t> ids;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && event(r).ackedMs == 0) ids.push_back(event(r).id);
    if (ids.empty()) return 0;
    const int n = m_journal.acknowledge(ids, OperatorName().toStdString(),
                                        QDateTime::currentMSecsSinceEpoch());
    m_version = -1; // our own write does not move data_version
    follow();
    return n;
}

int EventListModel::acknowledgeAll() {
    const int n = m_journal.acknowledgeAll(m_device, OperatorName().toStdString(),
                                           QDateTime::currentMSecsSinceEpoch());
    m_version = -1;
    follow();
    return n;
}

int EventListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_visible.size());
}

int EventListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString EventListModel::TimeText(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString EventListModel::SeverityText(events::Severity s) {
    QString name = QString::fromLatin1(events::SeverityName(s));
    name[0] = name[0].toUpper();
    return name;
}

QString EventListModel::PortText(const events::Event& e) {
    if (!e.ifIndex) return {};
    // The interface page's Group (the ifIndex) and Describe (ifDescr, the panel's slot/port).
    return e.port.empty() ? QString::number(e.ifIndex)
                          : QStringLiteral("%1 %2").arg(e.ifIndex).arg(Text(e.port));
}

QVariant EventListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const events::Event& e = event(index.row());
    if (role == Qt::FontRole && e.ackedMs == 0) return m_bold;
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case kTime:
        return TimeText(e.receivedMs);
    case kSender:
        return Text(e.sender);
    case kSeverity:
        return SeverityText(e.severity);
    case kEvent:
        return Text(e.event);
    case kPort:
        return PortText(e);
    case kSummary:
        return Text(e.summary);
    case kAcknowledged:
        return e.ackedMs ? QStringLiteral("%1 %2").arg(Text(e.ackedBy), TimeText(e.ackedMs))
                         : QString();
    }
    return {};
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // Trailing blanks widen a column, as on the other list pages: a time, a summary in full.
    static const char* const kHeadings[] = {
        "Time                                  ",
        "Sender                  ",
        "Severity          ",
        "Event                   ",
        "Port              ",
        "Summary                                                                                   "
        "     ",
        "Acknowledged                            ",
    };
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(kHeadings[section]);
}
