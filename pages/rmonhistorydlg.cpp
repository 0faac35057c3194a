#include "pages/rmonhistorydlg.h"

#include "graphs/historychart.h"

#include "pages/tablereport.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "platform/stretch.h"
#include "res/ids.h"
#include "res/stringtable.h"
#include "snmp/params.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace res::rmonHistory;

namespace {

QvTable<5> g_controlWalkTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.2.1.1.1", "Index"),
    QvRecord(ber::ObjectId, QV_COLUMN_WRITE, "1.3.6.1.2.1.16.2.1.1.2", "PortSource"),
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.16.2.1.1.6", "Owner"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.16.2.1.1.4", "Buckets"),
    QvRecord(ber::Integer, QV_COLUMN_WRITE, "1.3.6.1.2.1.16.2.1.1.5", "Interval"),
}};

// The sample columns; each walk starts below the selected control entry's index.
constexpr const char* kSampleColumns[] = {
    "1.3.6.1.2.1.16.2.2.1.3",  "1.3.6.1.2.1.16.2.2.1.5", "1.3.6.1.2.1.16.2.2.1.6",
    "1.3.6.1.2.1.16.2.2.1.15", "1.3.6.1.2.1.16.2.2.1.9",
};

QvTable<5> g_sampleWalkTable{{
    QvRecord(ber::TimeTicks, QV_COLUMN_WRITE, kSampleColumns[0], "Time"),
    QvRecord(ber::Counter32, QV_COLUMN_READ, kSampleColumns[1], "Byte/Interval"),
    QvRecord(ber::Counter32, QV_COLUMN_READ, kSampleColumns[2], "Packet/Interval"),
    QvRecord(ber::Integer, QV_COLUMN_WRITE, kSampleColumns[3], "Utility"),
    QvRecord(ber::Counter32, QV_COLUMN_WRITE, kSampleColumns[4], "Error/Interval"),
}};

constexpr const char* kStatusColumn = "1.3.6.1.2.1.16.2.1.1.7";
constexpr const char* kSourceColumn = "1.3.6.1.2.1.16.2.1.1.2";
constexpr const char* kOwnerColumn = "1.3.6.1.2.1.16.2.1.1.6";
constexpr const char* kIntervalColumn = "1.3.6.1.2.1.16.2.1.1.5";
constexpr const char* kRequestedColumn = "1.3.6.1.2.1.16.2.1.1.3";

QvTable<5> g_historyCreateTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kStatusColumn, "Rmon2Status"),
    QvRecord(ber::ObjectId, QV_SCALAR_WRITE, kSourceColumn, "PortSource"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, kOwnerColumn, "Owner"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kIntervalColumn, "Interval"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kRequestedColumn, "Buckets"),
}};

QvTable<1> g_historyDeleteTable{{
    QvRecord(ber::Integer, QV_SCALAR_WRITE, kStatusColumn, "Rmon2StatsStatus"),
}};

enum : int { kSourceRecord = 1, kTimeRecord = 0, kPacketsRecord = 2, kUtilizationRecord = 3 };
enum : int { kIntervalListColumn = 4 };
constexpr int kPerSecondRecords[] = {1, 2};
// Errors come a few an interval: per second they need the decimals utilisation shows.
constexpr int kErrorsRecord = 4;

constexpr int kSampleTimerMs = 20000; // timer 1017

} // namespace

QString PerSecondText(const QString& total, int intervalSeconds, int decimals) {
    bool ok = false;
    const quint64 value = total.toULongLong(&ok);
    if (!ok || intervalSeconds <= 0) return total;
    if (decimals > 0) return QString::number(double(value) / intervalSeconds, 'f', decimals);
    return QString::number((value + quint64(intervalSeconds) / 2) / quint64(intervalSeconds));
}

QString UtilizationText(const QString& hundredths) {
    bool ok = false;
    const qint64 value = hundredths.toLongLong(&ok);
    if (!ok) return hundredths;
    return QString::number(double(value) / 100, 'f', 2);
}

QString SampleTimeText(const QString& value) {
    bool ok = false;
    const qint64 ticks = value.toLongLong(&ok);
    return ok ? UptimeText(ticks) : value;
}

CRmonHistoryDlg::CRmonHistoryDlg() {
    InitPage(this, res::kDlgRmonHistory, QString::fromUtf8(res::String(122)));
    m_controls = new ListWalk(this, g_controlWalkTable, kControlList, {112, 113, 114, 115, 116}, 0);
    m_controls->mapColumn(kSourceRecord, RmonSourceText);
    // The samples shown are always the selected control's: a walk for another is forgotten.
    m_samples = new ListWalk(this, g_sampleWalkTable, kSampleList, {117, 118, 119, 120, 121}, 0,
                             {.restartWhileBusy = true});
    // The chart takes each row as it came, before the list's texts round it.
    m_samples->mapColumn(kTimeRecord,
                         ListWalk::RowMapping([this](const QString& value, const QStringList& row) {
                             m_sampleRows << row;
                             return SampleTimeText(value);
                         }));
    connect(m_samples, &ListWalk::finished, this, &CRmonHistoryDlg::showChart);
    m_chart = new graphs::HistoryChart;
    platform::ExtendDialog(this, WithStatusLine(m_chart, m_chartStatus), Qt::BottomEdge, 220);
    m_speed = new InterfaceSpeed(this);
    connect(m_speed, &InterfaceSpeed::known, this, [this] {
        if (!m_samples->busy()) showChart();
    });
    m_samples->mapColumn(kUtilizationRecord, UtilizationText);
    for (int record : kPerSecondRecords)
        m_samples->mapColumn(
            record, [this](const QString& v) { return PerSecondText(v, m_sampleInterval); });
    m_samples->mapColumn(
        kErrorsRecord, [this](const QString& v) { return PerSecondText(v, m_sampleInterval, 2); });
    connect(m_controls, &ListWalk::rowAdded, this, &CRmonHistoryDlg::OnControlAdded);
    m_sets = new RmonEntrySets(
        this, g_historyCreateTable,
        {kStatusColumn, kSourceColumn, kOwnerColumn, kIntervalColumn, kRequestedColumn},
        g_historyDeleteTable);

    OnClicked(this, kAdd, [this] { OnAdd(); });
    OnClicked(this, kDelete, [this] { OnDelete(); });
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    // The first walk starts once the page is on the screen, as a click of Refresh.
    ClickWhenFirstShown(this, kRefresh);
    OnClicked(this, kPrint, [this] { OnPrint(); });
    OnClicked(this, res::kClose, [this] { reject(); });
    OnListSelection(controls(), [this] { OnClick(); });
    InstallPrintShortcut(this, [this] { OnPrint(); });

    if (!g_bUserRight) {
        EnableItem(this, kAdd, false);
        EnableItem(this, kDelete, false);
    }
    walkControls();
    m_timer = startTimer(kSampleTimerMs);
}

// The samples grow by one every interval: each tick reads them again, unless a walk of them
// is still out.
void CRmonHistoryDlg::timerEvent(QTimerEvent*) {
    if (!m_samples->busy()) walkSamples();
}

void CRmonHistoryDlg::done(int result) {
    killTimer(m_timer);
    QDialog::done(result);
}

void CRmonHistoryDlg::walkControls() {
    m_samples->clear();
    EnableItem(this, kDelete, false);
    m_controls->start();
}

void CRmonHistoryDlg::walkSamples() {
    const int selected = SelectedRow(controls());
    const int control = std::max(0, selected);
    if (g_bUserRight) EnableItem(this, kAdd, true);
    EnableItem(this, kRefresh, true);
    // With no control row yet (the control walk is under way) the samples follow its first row.
    m_samplesWaiting = control >= controls()->rowCount();
    m_sampleRows.clear();
    if (m_samplesWaiting) {
        m_samples->clear();
        showChart();
        return;
    }
    const std::string index = controls()->text(control, 0).toStdString();
    m_sampleInterval = controls()->text(control, kIntervalListColumn).toInt();
    m_speed->read(controls()->text(control, kSourceRecord));
    m_samples->start([&index] {
        for (int i = 0; i < g_sampleWalkTable.count; ++i)
            g_sampleWalkTable.setInstance(i, kSampleColumns[i], index);
    });
}

void CRmonHistoryDlg::showChart() {
    std::vector<graphs::HistoryBucket> buckets;
    for (const QStringList& row : m_sampleRows) {
        bool ok = false;
        graphs::HistoryBucket b;
        b.start = row.value(kTimeRecord).toUInt(&ok);
        if (!ok) continue;
        auto count = [&row](int record, auto& out) {
            bool present = false;
            const qint64 v = row.value(record).toLongLong(&present);
            if (present && v >= 0) out = v;
        };
        count(kPacketsRecord, b.packets);
        count(kErrorsRecord, b.errors);
        count(kUtilizationRecord, b.utilisation);
        buckets.push_back(b);
    }
    m_chart->setBuckets(std::move(buckets), m_sampleInterval, m_speed->bounds());
    m_chartStatus->setText(m_chart->gapsText(0, m_chart->samples().size()));
}

void CRmonHistoryDlg::OnControlAdded(int row) {
    if (row == 0 && m_samplesWaiting) walkSamples();
}

void CRmonHistoryDlg::OnClick() {
    if (SelectedRow(controls()) < 0) {
        EnableItem(this, kDelete, false);
        return;
    }
    walkSamples();
    EnableItem(this, kDelete, g_bUserRight != 0);
}

void CRmonHistoryDlg::OnRefresh() {
    walkSamples();
    killTimer(m_timer);
    m_timer = startTimer(kSampleTimerMs);
}

void CRmonHistoryDlg::OnAdd() {
    CRmonHistoryAddDlg add(this);
    if (platform::RunModal(&add) != QDialog::Accepted) return;
    m_sets->create(QString::number(add.m_index),
                   {RmonInterfaceSource(QString::number(add.m_sourcePort)), add.m_property,
                    QString::number(add.m_interval), QString::number(add.m_buckets)});
    walkControls();
    walkSamples();
}

void CRmonHistoryDlg::OnDelete() {
    if (platform::MessageBox(this, QStringLiteral("Do you want to delete this item?"), true) !=
        platform::Answer::Ok)
        return;
    const int row = SelectedRow(controls());
    if (row < 0) return;
    m_sets->remove(controls()->text(row, 0));
    walkControls();
    walkSamples();
    EnableItem(this, kDelete, false);
}

void CRmonHistoryDlg::OnPrint() {
    PrintHistoryReport(this, samples(), controls());
}

CRmonHistoryAddDlg::CRmonHistoryAddDlg(QWidget* parent) : QDialog(parent) {
    InitPage(this, res::kDlgRmonHistoryAdd, QStringLiteral("  RMON 2 Group"));
    for (int id : {kAddIndex, kAddSource, kAddBuckets, kAddInterval})
        SetItemText(this, id, QStringLiteral("0"));
    SetItemText(this, kAddProperty, m_property);
    OnClicked(this, res::kOk, [this] { OnOk(); });
    OnClicked(this, res::kCancel, [this] { reject(); });
}

void CRmonHistoryAddDlg::OnOk() {
    auto edit = [this](int id) { return platform::Item<QLineEdit>(this, id); };
    if (!platform::ReadInteger(edit(kAddIndex), 1, 200, m_index) ||
        !platform::ReadInteger(edit(kAddSource), 1, 200, m_sourcePort))
        return;
    m_property = edit(kAddProperty)->text();
    if (!platform::ReadInteger(edit(kAddBuckets), 1, 50, m_buckets) ||
        !platform::ReadInteger(edit(kAddInterval), 1, 3600, m_interval))
        return;
    accept();
}
