// What the main window shows of the journal: how many of the device's events are
// unacknowledged and how many of those are major or worse, looked at every second and told
// when either changes. A journal that is not there (yet, or any more) counts as none and is
// looked for again each time; one replaced at its path is opened again. On a server, the watch
// wakes when the server notifies; a server that cannot be reached is said (problem()) and tried
// again.
#pragma once

#include "events/journal.h"
#include "events/model.h"

#include <QObject>
#include <QString>

#include <string>

class EventAlarmWatch : public QObject {
    Q_OBJECT
public:
    EventAlarmWatch(const QString& path, const QString& device, QObject* parent = nullptr);
    // Looks now; the timer does so every kIntervalMs.
    void check();
    static constexpr int kIntervalMs = 1000;

    // Why the journal cannot be read now; empty while it can.
    const QString& problem() const { return m_problem; }

signals:
    void changed(qint64 unacknowledged, qint64 serious);
    void problemChanged(const QString& problem);

private:
    void tell(events::Journal::Unacked now);
    void setProblem(const QString& problem);

    events::Journal m_journal;
    JournalFile m_file;
    JournalWake m_wake;
    QString m_problem;
    std::string m_path;
    std::string m_device;
    int64_t m_version = -1;
    events::Journal::Unacked m_last{-1, -1};
};
