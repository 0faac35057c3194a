// The RMON event table (what the agent does when a threshold is crossed) and alarm table
// (sampled variables with rising and falling thresholds) in two panes; entries of either are
// deleted, and either list is printed.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"
#include "pages/rmoncommon.h"

#include <QDialog>

namespace platform {
class ListView;
}

class CAlarmEventDlg : public QDialog {
    Q_OBJECT
public:
    CAlarmEventDlg();

    platform::ListView* events() const { return m_events->list(); }
    platform::ListView* alarms() const { return m_alarms->list(); }
    const ListWalk& eventWalk() const { return *m_events; }
    const ListWalk& alarmWalk() const { return *m_alarms; }

private:
    // One of the two panes: its walk, its Delete button, its entries' status column and the
    // question before a deletion.
    struct Pane {
        ListWalk* walk;
        int deleteId;
        const char* statusColumn;
        const char* question;
    };
    void walkEvents();
    void walkAlarms();
    void OnClick(const Pane& pane);
    void OnDoubleClick(const Pane& pane);
    void OnDelete(const Pane& pane);

    ListWalk* m_events;
    ListWalk* m_alarms;
    Pane m_eventPane;
    Pane m_alarmPane;
    SnmpChannel m_delete;
};

// The value mappings of the two lists, by the formatted value.
QString EventTypeText(const QString& value);
QString SampleTypeText(const QString& value);
QString StartupText(const QString& value);
