#include "events/alarmwatch.h"

#include <QTimer>

EventAlarmWatch::EventAlarmWatch(const QString& path, const QString& device, QObject* parent)
    : QObject(parent), m_path(path.toStdString()),
      m_device(events::CanonicalAddress(device.toStdString())) {
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &EventAlarmWatch::check);
    timer->start(kIntervalMs);
}

void EventAlarmWatch::check() {
    if (m_journal.isOpen() && !m_file.stillThere()) m_journal.close();
    if (!m_journal.isOpen()) {
        m_wake.stop();
        m_file.note(m_path);
        if (!m_file.due()) return;
        std::string why;
        const bool ok = m_journal.open(m_path, false, &why);
        m_file.opened(ok);
        if (!ok) {
            setProblem(QString::fromStdString(why));
            tell({0, 0});
            return;
        }
        m_journal.setBusyTimeout(200);
        m_wake.start(m_journal, this, [this] { check(); });
        m_version = -1;
    }
    // Every connection's write but our own moves the version; we write nothing.
    const int64_t version = m_journal.dataVersion();
    if (!m_journal.isOpen()) {
        // The server went away: the next look connects again.
        m_wake.stop();
        setProblem(QStringLiteral("the connection to the journal's server was lost"));
        return;
    }
    setProblem({});
    if (version == m_version) return;
    events::Journal::Unacked now;
    if (!m_journal.unacknowledged(m_device, now)) return;
    m_version = version;
    tell(now);
}

void EventAlarmWatch::tell(events::Journal::Unacked now) {
    if (now.count == m_last.count && now.serious == m_last.serious) return;
    m_last = now;
    emit changed(now.count, now.serious);
}

void EventAlarmWatch::setProblem(const QString& problem) {
    if (problem == m_problem) return;
    m_problem = problem;
    emit problemChanged(m_problem);
}
