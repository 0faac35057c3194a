#include "pages/alarmeventdlg.h"

#include "pages/tablereport.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "res/stringtable.h"
#include "snmp/params.h"

#include <QPushButton>

namespace {

QvTable<11> g_alarmWalkTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.1", "Index"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.2", "Interval"),
    QvRecord(ber::ObjectId, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.3", "OID"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.4", "Type"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.5", "Value"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.6", "Startup"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.7", "UpThreshhold"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.8", "DownThreshhold"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.9", "Upevent"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.10", "DownEvent"),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.16.3.1.1.11", "Owner"),
}};

QvTable<6> g_eventWalkTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.1", "Index"),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.2", "Description"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.3", "Type"),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.4", "Community"),
    QvRecord(ber::TimeTicks, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.5", "LastTime"),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.16.9.1.1.6", "Owner"),
}};

// Its one record names eventStatus or alarmStatus of the entry to delete.
QvTable<1> g_deleteTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.2.1.16.9.1.1.7", "Status"),
}};

using namespace res::alarmEvent;

enum : int { kEventType = 2, kAlarmSampleType = 3, kAlarmStartup = 5 };

QStringList AlarmHeadings() {
    QStringList headings;
    for (int id : {173, 174})
        headings << QString::fromUtf8(res::String(id));
    headings << QStringLiteral("  OID  ");
    for (int id = 175; id <= 182; ++id)
        headings << QString::fromUtf8(res::String(id));
    return headings;
}

} // namespace

QString EventTypeText(const QString& value) {
    if (value == QLatin1String("2"))
        return QStringLiteral("Log");
    if (value == QLatin1String("3"))
        return QStringLiteral("Snmp_Trap");
    if (value == QLatin1String("4"))
        return QStringLiteral("Log And Snmp_Trap");
    return QStringLiteral("Nothing");
}

QString SampleTypeText(const QString& value) {
    return value == QLatin1String("1") ? QStringLiteral("absoluteValue") : QStringLiteral("deltaValue");
}

QString StartupText(const QString& value) {
    if (value == QLatin1String("1"))
        return QStringLiteral("Rising");
    if (value == QLatin1String("2"))
        return QStringLiteral("Falling");
    return QStringLiteral("Rising/Falling");
}

CAlarmEventDlg::CAlarmEventDlg() {
    InitPage(this, res::kDlgAlarmEvent, QString::fromUtf8(res::String(172)));
    m_events = new ListWalk(this, g_eventWalkTable, kEventList, {183, 184, 185, 186, 187, 188}, kEventCount);
    m_events->mapColumn(kEventType, EventTypeText);
    m_alarms = new ListWalk(this, g_alarmWalkTable, kAlarmList, AlarmHeadings(), kAlarmCount);
    m_alarms->mapColumn(kAlarmSampleType, SampleTypeText);
    m_alarms->mapColumn(kAlarmStartup, StartupText);
    m_eventPane = {m_events, kEventDelete, "1.3.6.1.2.1.16.9.1.1.7", "Do you want to delete this event item?"};
    m_alarmPane = {m_alarms, kAlarmDelete, "1.3.6.1.2.1.16.3.1.1.12", "Do you want to delete this control item?"};

    OnClicked(this, kEventRefresh, [this] { walkEvents(); });
    OnClicked(this, kAlarmRefresh, [this] { walkAlarms(); });
    OnClicked(this, kEventDelete, [this] { OnDelete(m_eventPane); });
    OnClicked(this, kAlarmDelete, [this] { OnDelete(m_alarmPane); });
    OnClicked(this, kEventPrint, [this] { PrintEventReport(this, events()); });
    OnClicked(this, kAlarmPrint, [this] { PrintAlarmReport(this, alarms()); });
    OnClicked(this, res::kClose, [this] { reject(); });
    InstallPrintShortcut(this, [this] { PrintAlarmOrEventReport(this, alarms(), events()); });
    for (const Pane* pane : {&m_eventPane, &m_alarmPane})
        OnListSelection(pane->walk->list(), [this, pane] { OnClick(*pane); }, [this, pane] { OnDoubleClick(*pane); });

    EnableItem(this, kEventDelete, false);
    EnableItem(this, kAlarmDelete, false);
    walkEvents();
    walkAlarms();
}

void CAlarmEventDlg::walkEvents() {
    EnableItem(this, kAlarmDelete, false);
    m_events->start();
}

void CAlarmEventDlg::walkAlarms() {
    m_alarms->start();
}

void CAlarmEventDlg::OnClick(const Pane& pane) {
    EnableItem(this, pane.deleteId, SelectedRow(pane.walk->list()) >= 0 && g_bUserRight);
}

void CAlarmEventDlg::OnDoubleClick(const Pane& pane) {
    if (!g_bUserRight)
        return;
    const bool selected = SelectedRow(pane.walk->list()) >= 0;
    EnableItem(this, pane.deleteId, selected);
    if (selected) platform::DialogItem(this, res::kClose)->setFocus();
}

void CAlarmEventDlg::OnDelete(const Pane& pane) {
    if (platform::MessageBox(this, QString::fromLatin1(pane.question), true) != platform::Answer::Ok)
        return;
    const int row = SelectedRow(pane.walk->list());
    if (row < 0) return;
    SendEntryStatus(this, m_delete, g_deleteTable, pane.statusColumn,
                    pane.walk->list()->text(row, 0), "4");
    if (pane.walk == m_events)
        walkEvents();
    else
        walkAlarms();
    EnableItem(this, pane.deleteId, false);
}
