// What every MIB page shares: its dialog from the template with icon 447, buttons wired by id,
// texts set by id, the list-view column convention and the uptime text.
#pragma once

#include "snmp/session.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <initializer_list>

class QTreeView;
namespace platform {
class ListView;
}

// Builds the page from its template, sets icon 447 and the caption.
void InitPage(QDialog* page, int templateId, const QString& caption);
// Runs action when the push button id is clicked.
void OnClicked(QDialog* page, int id, std::function<void()> action);
// Posts the page a click of the push button id once the page is first on the screen: the
// pages that read only when they are shown.
void ClickWhenFirstShown(QDialog* page, int id);
// Enables or disables the control with id.
void EnableItem(QWidget* page, int id, bool enabled);
// The row of list that is selected, -1 when none.
int SelectedRow(platform::ListView* list);
// The text of a static text or edit control.
void SetItemText(QWidget* page, int id, const QString& text);
QString ItemText(QWidget* page, int id);

// The column convention of every list: headings from the string table, left-aligned, each
// column as wide as its heading plus 15 pixels; report view, headers not clickable, full-row
// selection. Ctrl+C in the list copies SelectedRowsText.
void SetupListColumns(platform::ListView* list, std::initializer_list<int> headingIds);
void SetupListColumns(platform::ListView* list, const QStringList& headings);
// The same convention for a list on a model of its own, which gives the headings.
void SetupListColumns(QTreeView* list);
// The selected rows in list order as spreadsheets take them: the headings, then one line per
// row, cells separated by tabs (the blanks that widen a heading or pad a value dropped; a tab
// or line break inside a value read as a blank).
QString SelectedRowsText(QTreeView* list);

// sysUpTime's hundredths of seconds as hours and minutes: "34 Hours 17 Minutes " for 12345678.
// Negative values show as their absolute value; days are not split off, seconds dropped.
QString UptimeText(qint64 ticks);

// A page that reads its table with a get when it opens, on Refresh (103) under the wait cursor
// and on every tick of a 5000 ms timer, and shows the values in record order in its fields.
// Fewer values than fields change nothing; the pending id is cleared after every response, so
// the next tick tries again.
class CTimedGetPage : public QDialog {
    Q_OBJECT
public:
    CTimedGetPage(int templateId, const QString& caption, QvTableRef table, std::initializer_list<int> fields);

    void OnRefresh();
    // A timer message, whatever its id.
    void OnTimer();
    const SnmpChannel& channel() const { return m_snmp; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void request();
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    QvTableRef m_table;
    QList<int> m_fields;
    SnmpChannel m_snmp;
};

// Period of the pages' timers (7001 CPU, 7002 memory; Qt numbers its timers itself).
inline constexpr int kPageTimerMs = 5000;
