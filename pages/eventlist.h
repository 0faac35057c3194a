// The device's events as a list model: every row the journal holds for the device, newest
// first, filtered by severity and text, following the journal as it grows and as operators
// acknowledge. Rows are plain records read in one query, so that 100 000 of them open in well
// under a second; a view shows only what is on the screen.
#pragma once

#include "events/journal.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QString>

#include <vector>

class EventListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kTime, kSeverity, kEvent, kPort, kSummary, kAcknowledged, kColumns };

    explicit EventListModel(QObject* parent = nullptr);

    // Opens the journal at path for the device (its address); false with *why when it cannot
    // be read.
    bool open(const QString& path, const QString& device, QString* why);
    bool isOpen() const { return m_journal.isOpen(); }
    // Reads what the journal gained since the last call: new rows and acknowledgements.
    void follow();

    // Rows of this severity or above (Critical 1 ... Information 4, which shows all) whose
    // event, port or summary contains text (any case).
    void setFilter(int worstShown, const QString& text);

    const events::Event& event(int row) const { return m_all[size_t(m_visible[size_t(row)])]; }
    // The row's bindings and particulars as lines of plain text.
    QString details(int row);
    // Acknowledges the rows (view rows) or every row of the device, as the operator who runs
    // the module; how many changed, -1 when the journal refused.
    int acknowledge(const QList<int>& rows);
    int acknowledgeAll();

    int total() const { return int(m_all.size()); }
    int unacknowledged() const { return m_unacked; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QString TimeText(int64_t ms);
    static QString SeverityText(events::Severity s);
    static QString PortText(const events::Event& e);

signals:
    void changed();

private:
    bool shown(const events::Event& e) const;
    void rebuild();
    void applyAcks(const std::vector<events::Journal::Ack>& acks);
    int indexOfId(int64_t id) const;

    events::Journal m_journal;
    std::string m_device;
    std::vector<events::Event> m_all; // oldest first
    std::vector<int> m_visible;       // indexes into m_all, newest first
    int64_t m_lastId = 0;
    int64_t m_ackSeq = 0;
    int64_t m_version = -1;
    int64_t m_max = events::kDefaultMaxPerDevice;
    int m_unacked = 0;
    int m_worstShown = 4;
    QString m_text;
    QFont m_bold; // an unacknowledged row's, made once rather than for each cell painted
};

// The operator's login name, as acknowledgements record it.
QString OperatorName();

// What the main window shows of the journal: how many of the device's events are
// unacknowledged and how many of those are major or worse, looked at every second and told
// when it changes. A journal that is not there yet is looked for again each time.
class EventAlarmWatch : public QObject {
    Q_OBJECT
public:
    EventAlarmWatch(const QString& path, const QString& device, QObject* parent = nullptr);
    // Looks now; the timer does so every kIntervalMs.
    void check();
    static constexpr int kIntervalMs = 1000;

signals:
    void changed(qint64 unacknowledged, qint64 serious);

private:
    events::Journal m_journal;
    std::string m_path;
    std::string m_device;
    int64_t m_version = -1;
    events::Journal::Unacked m_last{-1, -1};
};
