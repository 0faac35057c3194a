// The RMON history control entries (which interface is sampled, how often, how many buckets)
// and the samples recorded under the selected one; entries are added and deleted, the samples
// re-read every 20 seconds, charted and printed.
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"
#include "pages/rmoncommon.h"

#include <QDialog>

class QLabel;

namespace graphs {
class HistoryChart;
}
namespace platform {
class ListView;
}

class CRmonHistoryDlg : public QDialog {
    Q_OBJECT
public:
    CRmonHistoryDlg();

    platform::ListView* controls() const { return m_controls->list(); }
    platform::ListView* samples() const { return m_samples->list(); }
    const ListWalk& controlWalk() const { return *m_controls; }
    const ListWalk& sampleWalk() const { return *m_samples; }
    const RmonEntrySets& entrySets() const { return *m_sets; }
    graphs::HistoryChart* chart() const { return m_chart; }
    // Under the chart: why its gaps are gaps.
    QLabel* chartStatus() const { return m_chartStatus; }
    void done(int result) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void walkControls();
    void walkSamples();
    void OnControlAdded(int row);
    void OnClick();
    void OnAdd();
    void OnDelete();
    void OnRefresh();
    void OnPrint();
    void showChart();

    ListWalk* m_controls;
    ListWalk* m_samples;
    RmonEntrySets* m_sets;
    bool m_samplesWaiting = false; // a sample walk found no control row yet
    int m_sampleInterval = 0;      // seconds, of the control whose samples are walked
    int m_timer = 0;
    graphs::HistoryChart* m_chart;
    QLabel* m_chartStatus = nullptr;
    InterfaceSpeed* m_speed;         // of the control's source, which bounds the chart's rates
    QList<QStringList> m_sampleRows; // each sample row of the walk as it came, for the chart
};

// The history control entry to add; OK refuses integers out of their ranges.
class CRmonHistoryAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRmonHistoryAddDlg(QWidget* parent = nullptr);

    int m_index = 0;      // 1 to 200
    int m_sourcePort = 0; // 1 to 200
    QString m_property = QStringLiteral("Orvane");
    int m_buckets = 0;  // 1 to 50
    int m_interval = 0; // seconds, 1 to 3600

private:
    void OnOk();
};

// A sample's interval start (hundredths of a second) in hours and minutes, seconds dropped;
// an empty value stays empty.
QString SampleTimeText(const QString& value);

// A sample's total over its interval as a rate per second, rounded to whole numbers or given
// decimals; a value that is no number, or an interval of no seconds, stays as it came.
QString PerSecondText(const QString& total, int intervalSeconds, int decimals = 0);
// etherHistoryUtilization (hundredths of a percent) as a percentage with two decimals.
QString UtilizationText(const QString& hundredths);
