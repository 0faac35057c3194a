// Live traffic graphs of up to 8 ports: each poll is one get of every counter the chart needs
// and sysUpTime.0, read as typed values (counters.h turns successive polls into rates or gaps
// with their reasons), every interval seconds while the window is open.
#pragma once

#include "graphs/counters.h"
#include "graphs/ratechart.h"
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
    std::vector<_QvOidTable> m_direct, m_proxied;
    SnmpChannel m_snmp;
    RateTracker m_rates;
    Poll m_lastPoll;
    double m_sent = 0; // the local clock when the last get left
};

// The window: the chart, the interval, back to live, and the exports.
class CTrafficGraphWnd : public QWidget {
    Q_OBJECT
public:
    // At most kMaxGraphPorts ports are taken. Deletes itself when closed.
    explicit CTrafficGraphWnd(const QList<GraphPort>& ports, QWidget* parent = nullptr);
    ~CTrafficGraphWnd() override;

    RateChart* chart() const { return m_chart; }
    CounterPoller* poller() const { return m_poller; }
    const SampleStore& store() const { return *m_store; }
    SampleStore& store() { return *m_store; }
    QSpinBox* interval() const { return m_interval; }
    QPushButton* liveButton() const { return m_live; }
    // Writes the samples as CSV, or the chart as PNG; false when the file cannot be written.
    bool exportCsv(const QString& path) const;
    bool exportPng(const QString& path);
    // The samples as CSV on the clipboard (Ctrl+C).
    void copy() const;

private:
    void onSample(qint64 timeMs, const std::vector<double>& values);
    void askCsv();
    void askPng();

    std::unique_ptr<SampleStore> m_store;
    CounterPoller* m_poller;
    RateChart* m_chart;
    QSpinBox* m_interval;
    QPushButton* m_live;
    QTimer m_timer;
};

// The series' names for the ports, kPortSeries a port, in sample order.
QList<SeriesLine> PortSeriesLines(const QList<GraphPort>& ports);

} // namespace graphs
