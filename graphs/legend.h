// A chart's legend as a table: each series' stroke and name, then its current, average, maximum
// and 95th percentile over the chart's view and the total it carried there. A click on a
// series' row hides it, another shows it again. Rows stay readable however many series there
// are: the table scrolls, the names never shrink away.
#pragma once

#include <QTableWidget>
#include <QTimer>

namespace graphs {

class RateChart;

class SeriesLegend : public QTableWidget {
    Q_OBJECT
public:
    enum Column { Name, Current, Average, Maximum, P95, Total, kColumns };

    explicit SeriesLegend(RateChart* chart, QWidget* parent = nullptr);
    // Figures again. The chart's drawing asks for them at most twice a second: over a day of
    // samples they cost more than the drawing.
    void refresh();
    void toggle(int row);

private:
    RateChart* m_chart;
    QTimer m_later;
};

} // namespace graphs
