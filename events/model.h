// The device's events as a list model: every row the journal holds for the device, newest
// first, filtered by severity and text, following the journal as it grows and as operators
// acknowledge. Rows are plain records read in one query, so that 100 000 of them open in well
// under a second; a view shows only what is on the screen. A journal replaced at its path is
// opened again; one deleted closes the model (isOpen() false, no rows).
#pragma once

#include "events/journal.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QSocketNotifier>
#include <QString>

#include <sys/types.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Which file stands at a journal's path, so that a reader notices when it is replaced or
// deleted (an administrator's rotation, a restore) and does not go on reading the old one. A
// server's journal has no file; what it has is a connection that may fail, and each attempt at
// one may take the connection's timeout, so attempts after a failure are spaced.
class JournalFile {
public:
    // Notes the file at path now, before it is opened.
    void note(const std::string& path);
    // Whether the file noted is still the one at the path (a link there is never taken for it).
    bool stillThere() const;
    const std::string& path() const { return m_path; }

    // Whether to try to open the journal now: always for a file; for a server, at once the
    // first time and again kServerRetryMs after a failed attempt.
    bool due() const;
    void opened(bool ok);
    static constexpr int64_t kServerRetryMs = 5000;

private:
    std::string m_path;
    bool m_server = false;
    bool m_present = false;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    int64_t m_retryAtMs = 0;
};

// Wakes a reader of a server's journal when the server notifies the journal's channel, instead
// of a timer: a notifier on the connection's socket, made when the journal opens and dropped
// when it closes or its connection goes. A file's journal has none.
class JournalWake {
public:
    ~JournalWake() { stop(); }
    void start(const events::Journal& journal, QObject* owner, const std::function<void()>& wake);
    void stop();

private:
    QSocketNotifier* m_notifier = nullptr;
};

class EventListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The sender stands beside the event: a notification that names this device but came from
    // elsewhere, or one this device sent for another, shows as such.
    enum Column { kTime, kSender, kSeverity, kEvent, kPort, kSummary, kAcknowledged, kColumns };

    explicit EventListModel(QObject* parent = nullptr);

    // Opens the journal at path for the device (its address); false with *why when it cannot
    // be read (the model is empty and closed then).
    bool open(const QString& path, const QString& device, QString* why);
    bool isOpen() const { return m_journal.isOpen(); }
    // Reads what the journal gained since the last call: new rows and acknowledgements; opens
    // the file again when another stands at the path, and closes when none does.
    void follow();

    // Rows of this severity or above (Critical 1 ... Information 4, which shows all) whose
    // sender, event, port or summary contains text (any case).
    void setFilter(int worstShown, const QString& text);

    const events::Event& event(int row) const {
        return m_all[size_t(m_visible[m_visible.size() - 1 - size_t(row)] - m_dropped)];
    }
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
    void clear();
    // Rows read since m_lastId, oldest first, taken in; the oldest beyond the bound dropped.
    void take(std::vector<events::Event>& added);
    void applyAcks(const std::vector<events::Journal::Ack>& acks);
    int indexOfId(int64_t id) const;

    events::Journal m_journal;
    JournalFile m_file;
    JournalWake m_wake;
    std::string m_device;
    std::deque<events::Event> m_all; // oldest first
    // Rows dropped from m_all's front since the journal was opened: a position counts them, so
    // that dropping old rows leaves the positions of the others as they were.
    int64_t m_dropped = 0;
    std::deque<int64_t> m_visible; // positions of the rows shown, oldest first (the view's last)
    int64_t m_lastId = 0;
    int64_t m_ackSeq = 0;
    int64_t m_version = -1;
    int64_t m_max = events::kDefaultMaxPerDevice;
    int m_unacked = 0; // of m_all, kept as rows come, go and are acknowledged
    int m_worstShown = 4;
    QString m_text;
    QString m_lastProblem; // why the journal did not open, while no new attempt is due
    QFont m_bold;          // an unacknowledged row's, made once rather than for each cell painted
};

// The operator's login name, as acknowledgements record it.
QString OperatorName();
