// A chart of rates over time on Qt Charts, over a SampleStore it does not own: lines break at
// gaps, each series is decimated to the plot's pixel columns, hovering shows the time and
// every series' value there (or why it is a gap), the wheel zooms around the pointer, dragging
// or the scroll bar moves along the time axis, and live() follows the newest samples again.
// Series can be hidden; each one's figures over the view are at hand for a legend.
#pragma once

#include "graphs/samples.h"

#include <QChartView>
#include <QList>
#include <QPen>
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
    // Its colour: one of 20, the second ten lighter kin of the first (c + 10 pairs with c);
    // -1: the series' own place in that list.
    int colour = -1;
};

// A series' figures over the chart's view; NaN where the view holds no value of it.
struct SeriesStats {
    double current = 0; // the newest value in the view
    double average = 0; // over the time the values cover
    double maximum = 0; // of the samples
    double p95 = 0;     // the 95th percentile of the samples
    double total = 0;   // the rate carried over its time: bits, or events
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
    // Shows start to start + width (milliseconds) and stops following the newest samples.
    void showRange(qint64 start, qint64 width);
    bool isLive() const { return m_live; }
    // The store changed: draws again (and, when live, moves along with it).
    void refresh();
    // Hidden series are neither drawn nor counted by the value axes.
    void setSeriesVisible(int s, bool visible);
    bool seriesVisible(int s) const { return !m_hidden.value(s); }
    const QList<SeriesLine>& lines() const { return m_lines; }
    void setSeriesName(int s, const QString& name);
    QPen pen(int s) const;
    SeriesStats stats(int s) const;
    // The scroll bar that moves along the time axis; its owner places it.
    QScrollBar* scrollBar() const { return m_scroll; }

    // The view's time range, milliseconds.
    qint64 viewStart() const { return m_start; }
    qint64 viewEnd() const { return m_start + m_width; }
    // What hovering at a point of the view shows: the nearest sample's time and every value.
    QString hoverText(const QPoint& at) const;
    // The status line's account of the gaps in samples first to last (exclusive): each reason
    // with the series it broke ("Gaps at 12:00:05 - over line rate: a, b"); empty without gaps.
    QString gapsText(size_t first, size_t last) const;
    // The store as CSV: a time column (ISO 8601; seconds since the agent started for uptimes)
    // and one column a series named with its unit, an empty cell for a gap. The header, and
    // the rows of samples from to to (exclusive), so a long export goes in pieces.
    QString csv() const;
    QByteArray csvHeader() const;
    QByteArray csvRows(size_t from, size_t to) const;
    // Points drawn now of series s, over all its lines (the decimation's result).
    int drawnPoints(int s) const;

    static QString valueText(double v, Scale scale);
    // A total as valueText writes it: bytes for bits, a count for events.
    static QString totalText(double v, Scale scale);
    QString timeText(qint64 t) const;

signals:
    void liveChanged(bool live);
    // Drawn again over another view or with other samples.
    void drawn();

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
    // Series s decimated over the view, keeping the columns drawn before where the column
    // width is the same (a new sample with a day in view reduces only the newest column).
    std::vector<Point> decimated(int s, qint64 t0, qint64 t1, int columns);
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
    QList<bool> m_hidden;
    // What decimated() keeps: each series' columns from `from` to `until` on a grid of `width`.
    struct Columns {
        double width = 0, from = 0, until = 0;
        uint64_t generation = 0;
        std::vector<std::vector<Point>> points;
    } m_columns;
};

} // namespace graphs
