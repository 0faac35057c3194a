// Traffic graphs of up to 8 ports: their history as talvex-collect keeps it, then live polls,
// each one get of every counter the chart needs and sysUpTime.0, read as typed values
// (counters.h turns successive polls into rates or gaps with their reasons), every interval
// seconds while the window is open.
#pragma once

#include "graphs/counters.h"
#include "graphs/gap.h"
#include "graphs/legend.h"
#include "graphs/ratechart.h"
#include "graphs/samples.h"
#include "snmp/session.h"

#include <QList>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace graphs {

struct GraphPort {
    int ifIndex = 0;
    QString name; // as the legend and the CSV name it
};

inline constexpr int kMaxGraphPorts = 8;
inline constexpr int kDefaultIntervalS = 5;
inline constexpr int kMinIntervalS = 1, kMaxIntervalS = 300;
// A day of samples at 1 s, whatever the interval.
inline constexpr size_t kGraphCapacity = 86400;

// The counters of the ports, read with one get a poll on the module's request cycle.
class CounterPoller : public QObject {
    Q_OBJECT
public:
    CounterPoller(QObject* parent, const QList<GraphPort>& ports);
    // One get, unless the last one is still out.
    void poll();
    bool busy() const { return m_snmp.busy(); }
    const QList<GraphPort>& ports() const { return m_ports; }
    // Whether the last poll read port i's 64-bit counters (every poll asks them, and the 32-bit
    // ones beside, for an agent that lacks them or gives them not this time).
    bool wide(int i) const;
    // What the last poll read, as it read it.
    const Poll& lastPoll() const { return m_lastPoll; }
    // Why each value of the last sample is a gap, in its order (Gap::None for a rate).
    const std::vector<Gap>& gaps() const { return m_rates.gaps(); }

signals:
    // Every poll, answered or not: kPortSeries values a port, kGap where unknown.
    void sampled(qint64 timeMs, const std::vector<double>& values);

private:
    void buildTable();
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    QList<GraphPort> m_ports;
    QvRecordTable m_table;
    SnmpChannel m_snmp;
    RateTracker m_rates;
    Poll m_lastPoll;
    double m_sent = 0; // the local clock when the last get left
};

// How far back a window looks in the port's history, and at most how many rows a port it takes
// from it (a year at 5 minutes and some).
inline constexpr int64_t kHistorySeconds = 2 * 366 * 24 * 3600;
inline constexpr size_t kMaxHistoryRows = size_t(1) << 18;

// The window: the port's history from talvex-collect's RRD files with live polling on top, the
// view's presets, the legend, the interval, back to live, and the exports. Ports without a name
// are named by the agent (their ifDescr).
class CTrafficGraphWnd : public QWidget {
    Q_OBJECT
public:
    // At most kMaxGraphPorts ports are taken. Deletes itself when closed.
    explicit CTrafficGraphWnd(const QList<GraphPort>& ports, QWidget* parent = nullptr);
    ~CTrafficGraphWnd() override;

    RateChart* chart() const { return m_chart; }
    SeriesLegend* legend() const { return m_legend; }
    CounterPoller* poller() const { return m_poller; }
    const SampleStore& store() const { return *m_store; }
    SampleStore& store() { return *m_store; }
    QSpinBox* interval() const { return m_interval; }
    QPushButton* liveButton() const { return m_live; }
    // The view presets' buttons, 1 hour to 1 year.
    const QList<QToolButton*>& presets() const { return m_presets; }
    QLabel* status() const { return m_status; }
    // Samples taken from the RRD files when the window opened.
    size_t historySamples() const { return m_historySamples; }
    // A poll's rates, and why each gap is one (kPortSeries a port; empty: no reasons known).
    void addSample(qint64 timeMs, const std::vector<double>& values, const std::vector<Gap>& gaps);
    // Writes the samples as CSV (in pieces: memory stays flat), or the chart as PNG; false
    // when the file cannot be written.
    bool exportCsv(const QString& path);
    bool exportPng(const QString& path);
    // The same CSV written while the window goes on; csvExported tells how it ended.
    void startCsvExport(const QString& path);
    bool csvExportBusy() const { return m_csv != nullptr; }
    // The samples as CSV on the clipboard (Ctrl+C).
    void copy() const;

signals:
    void csvExported(bool ok);

private:
    struct CsvExport;

    // Makes the store, with the ports' history in it.
    void loadHistory();
    void askNames();
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);
    void updateTitle();
    void showGaps();
    bool writeCsvPiece(CsvExport& e);
    void askCsv();
    void askPng();

    QList<GraphPort> m_ports;
    std::unique_ptr<SampleStore> m_store;
    CounterPoller* m_poller;
    RateChart* m_chart;
    SeriesLegend* m_legend;
    QSpinBox* m_interval;
    QPushButton* m_live;
    QList<QToolButton*> m_presets;
    QLabel* m_status;
    QString m_historyText;
    size_t m_historySamples = 0;
    QTimer m_timer;
    std::unique_ptr<CsvExport> m_csv;
    // ifDescr of the ports the opener gave no name.
    SnmpChannel m_names;
    QvRecordTable m_nameTable;
    QList<int> m_unnamed;
};

// The series' names for the ports, kPortSeries a port, in sample order.
QList<SeriesLine> PortSeriesLines(const QList<GraphPort>& ports);

} // namespace graphs
