// The live counter displays of the RMON statistics probes, re-read every 2 seconds: one counter
// for a group of up to 24 probes, or all 17 counters each for a probe chosen row by row. They
// take the probes from the statistics page's recorded rows and never walk the table. Every
// value is one get on its own session, so one slow object never holds up the others, and an
// object whose get is still out is not asked again.
#pragma once

#include "graphs/counters.h"
#include "graphs/samples.h"
#include "pages/pagecommon.h"

#include <QDialog>
#include <QList>

#include <memory>
#include <optional>
#include <vector>

class CRmonStatDlg;
class QComboBox;
class QLabel;
namespace graphs {
class RateChart;
}

// One counter shown in a label: a get of the object with sysUpTime.0 and the speed of the
// interface its probe watches, on its own session, so that its rate follows the rule the
// traffic graphs follow: over the agent's uptime, bounded by what the interface can carry.
class CounterGet : public QObject {
    Q_OBJECT
public:
    // name: the record's name, for the library only.
    CounterGet(QObject* parent, QLabel* value, const char* name);
    // The object the label shows from now on (empty: none), an octet counter or one that counts
    // frames, of a probe whose data source is source (as the lists show it), and a get of it,
    // unless the previous get is still out; an answer for an object the label no longer shows
    // is dropped.
    void read(const QString& oid, const QString& source, bool octets);
    bool busy() const { return m_snmp.busy(); }
    // The counter's growth a second between its last two values, or why there is none (a gap
    // without a reason when nothing was read since the last call); a new object starts afresh.
    graphs::Rate takeRate();

private:
    void OnSnmpResponse(unsigned short status, CSnmpMsg* msg);

    QLabel* m_value;
    const char* m_name;
    QvRecordTable m_table;
    SnmpChannel m_snmp;
    QString m_wanted, m_source; // what the label shows
    QString m_asked;            // what the outstanding get asks for
    bool m_octets = false;
    std::optional<graphs::Poll> m_base; // the answer the next rate is measured from
    graphs::Reading m_last;
    graphs::Rate m_rate;
    double m_sent = 0; // SteadySeconds when the get left
};

// What both displays share: the page they read the probes from, Refresh, Close, a read of
// every value when they open and every 2 seconds until they close, and beside the values a
// chart of their rates while the display is open.
class CCounterDisplay : public QDialog {
    Q_OBJECT
public:
    const QList<CounterGet*>& items() const { return m_items; }
    graphs::RateChart* chart() const { return m_chart; }
    const graphs::SampleStore* rates() const { return m_rates.get(); }
    // Under the chart: why the newest rates are gaps.
    QLabel* chartStatus() const { return m_chartStatus; }
    void done(int result) override;

protected:
    CCounterDisplay(CRmonStatDlg* page, int templateId, int titleId, int refreshId);
    // Reads the values now and starts the timer; the last step of a display's construction.
    // names: a chart series for each item.
    void start(const QStringList& names);
    virtual void readValues() = 0;
    void timerEvent(QTimerEvent* event) override;

    CRmonStatDlg* m_page;
    QList<CounterGet*> m_items;

private:
    void plotRates();

    int m_timer = 0;
    std::unique_ptr<graphs::SampleStore> m_rates;
    graphs::RateChart* m_chart = nullptr;
    QLabel* m_chartStatus = nullptr;
};

// One chosen counter for the probes of a group of 24, stepping from group to group.
class CRmonParamDlg : public CCounterDisplay {
    Q_OBJECT
public:
    CRmonParamDlg(CRmonStatDlg* page, int groups);

    int group() const { return m_group; }

private:
    void label();
    void blank();
    void readValues() override;
    void step(int by);
    void enableItems();

    int m_groups;
    int m_group = 1;
    QComboBox* m_counter;
    bool m_asking = false; // "Please input parameter!" is on the screen
};

// All 17 counters, each for the probe chosen in its own row.
class CRmonIntfDlg : public CCounterDisplay {
    Q_OBJECT
public:
    // position: the probe every row starts with, a position among the recorded rows.
    CRmonIntfDlg(CRmonStatDlg* page, int position);

private:
    void readValues() override;

    QList<QComboBox*> m_probes;
};

// Period of the displays' re-reads (timers 1020 and 1021; Qt numbers its timers itself).
inline constexpr int kCounterTimerMs = 2000;
