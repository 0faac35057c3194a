// A chart of rates over time on Qt Charts, over a SampleStore it does not own: lines break at
// gaps, each series is decimated to the plot's pixel columns, hovering shows the time and
// every series' value there, the wheel zooms around the pointer, dragging or the scroll bar
// moves along the time axis, and live() follows the newest samples again.
#pragma once

#include "graphs/samples.h"

#include <QChartView>
#include <QList>
#include <QString>

class QDateTimeAxis;
class QScrollBar;
class QValueAxis;

namespace graphs {

class PlotLines;

enum class Scale { Bits, PerSecond, Percent };

struct SeriesLine {
    QString name;
    Scale scale;
};

// The times of a chart: wall-clock time, or the agent's uptime (times from 0 upwards, shown as
// hours, minutes and seconds since the agent started).
enum class TimeKind { Clock, Uptime };

class RateChart : public QChartView {
    Q_OBJECT
public:
    RateChart(const SampleStore* store, const QList<SeriesLine>& lines, TimeKind time,
              QWidget* parent = nullptr);

    // The width of the view while it follows the newest samples, in milliseconds.
    void setSpan(qint64 ms);
    qint64 span() const { return m_span; }
    // Follows the newest samples again.
    void live();
    bool isLive() const { return m_live; }
    // The store changed: draws again (and, when live, moves along with it).
    void refresh();
    // The scroll bar that moves along the time axis; its owner places it.
    QScrollBar* scrollBar() const { return m_scroll; }

    // The view's time range, milliseconds.
    qint64 viewStart() const { return m_start; }
    qint64 viewEnd() const { return m_start + m_width; }
    // What hovering at a point of the view shows: the nearest sample's time and every value.
    QString hoverText(const QPoint& at) const;
    // The store as CSV: a time column (ISO 8601; seconds since the agent started for uptimes)
    // and one column a series, an empty cell for a gap.
    QString csv() const;
    // Points drawn now of series s, over all its lines (the decimation's result).
    int drawnPoints(int s) const;

    static QString valueText(double v, Scale scale);
    QString timeText(qint64 t) const;

signals:
    void liveChanged(bool live);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setLive(bool live);
    void setView(qint64 start, qint64 width);
    void draw();
    void updateScrollBar();
    qint64 timeAt(const QPoint& at) const;

    const SampleStore* m_store;
    QList<SeriesLine> m_lines;
    TimeKind m_time;
    QDateTimeAxis* m_x;
    QValueAxis* m_axes[3];
    PlotLines* m_plot;
    QScrollBar* m_scroll;
    qint64 m_span = 10 * 60 * 1000;
    qint64 m_start = 0, m_width = 10 * 60 * 1000;
    bool m_live = true;
    bool m_dragging = false;
    int m_dragX = 0;
    qint64 m_dragStart = 0;
    bool m_scrolling = false; // the scroll bar is being set, not moved by the operator
};

} // namespace graphs
