#include "graphs/ratechart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsItem>
#include <QLineSeries>
#include <QMap>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace graphs {

namespace {

constexpr qint64 kMinWidthMs = 10 * 1000;
constexpr qint64 kMaxWidthMs = 2 * 366ll * 24 * 3600 * 1000;

// Uptimes are laid on a local midnight, so the time axis writes them as hours, minutes and
// seconds since the agent started.
qint64 uptimeOrigin() {
    return QDateTime(QDate(2000, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
}

struct Unit {
    double divisor;
    const char* name;
};

Unit bitUnit(double max) {
    if (max >= 1e9) return {1e9, "Gbit/s"};
    if (max >= 1e6) return {1e6, "Mbit/s"};
    if (max >= 1e3) return {1e3, "kbit/s"};
    return {1, "bit/s"};
}

// The first of 1, 2, 2.5, 5 times a power of ten at or above v: axis ends a reader takes in.
double niceCeiling(double v) {
    if (!(v > 0)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(v)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= v * (1 - 1e-9)) return m * power;
    return 10 * power;
}

const char* unitName(Scale scale) {
    switch (scale) {
    case Scale::Bits:
        return "bit/s";
    case Scale::PerSecond:
        return "per second";
    case Scale::Percent:
        return "%";
    }
    return "";
}

QString csvField(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Ten hues, then their lighter kin: twenty lines before a colour comes again.
const QColor kPalette[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0xae, 0xc7, 0xe8), QColor(0xff, 0x98, 0x96),
    QColor(0x98, 0xdf, 0x8a), QColor(0xff, 0xbb, 0x78), QColor(0xc5, 0xb0, 0xd5),
    QColor(0xc4, 0x9c, 0x94), QColor(0xf7, 0xb6, 0xd2), QColor(0xc7, 0xc7, 0xc7),
    QColor(0xdb, 0xdb, 0x8d), QColor(0x9e, 0xda, 0xe5),
};

} // namespace

// The series' lines, painted over the plot area. A line series of the chart would keep, beside
// its points, an outline of itself for hit-testing (about 330 bytes a point) and an item and a
// legend entry of some 37 KiB for every line between two gaps: a day of 8 ports spent more on
// that than on its samples. The chart keeps one empty series a line for the legend and the
// axes; hovering is the view's own.
class PlotLines : public QGraphicsItem {
public:
    struct Line {
        QPen pen;
        const QValueAxis* axis = nullptr;     // its values' axis, the unit's divisor applied
        std::vector<std::vector<Point>> runs; // between gaps: (milliseconds, value)
    };

    explicit PlotLines(QGraphicsItem* chart) : QGraphicsItem(chart) {
        setAcceptedMouseButtons(Qt::NoButton);
        setZValue(5); // over the grid, as the chart's own series
    }
    QRectF boundingRect() const override { return m_area; }
    void setArea(const QRectF& area) {
        prepareGeometryChange();
        m_area = area;
    }
    // The times at the plot's left and right edges.
    void setTimes(qint64 t0, qint64 t1) {
        m_t0 = t0;
        m_t1 = t1;
        update();
    }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        if (m_area.isEmpty() || m_t1 <= m_t0) return;
        painter->save();
        // A line along the bottom or right edge (a rate of 0, a full scale) stays in.
        painter->setClipRect(m_area.adjusted(0, 0, 1, 1));
        const double sx = m_area.width() / double(m_t1 - m_t0);
        QPolygonF polyline;
        for (const Line& line : lines) {
            const double low = line.axis->min(), high = line.axis->max();
            if (!(high > low)) continue;
            const double sy = m_area.height() / (high - low);
            painter->setPen(line.pen);
            for (const std::vector<Point>& run : line.runs) {
                polyline.resize(qsizetype(run.size()));
                for (size_t i = 0; i < run.size(); ++i)
                    polyline[qsizetype(i)] = QPointF(m_area.left() + (run[i].t - double(m_t0)) * sx,
                                                     m_area.bottom() - (run[i].v - low) * sy);
                // A sample alone between two gaps is still seen.
                if (run.size() == 1)
                    painter->drawPoint(polyline[0]);
                else
                    painter->drawPolyline(polyline);
            }
        }
        painter->restore();
    }

    std::vector<Line> lines; // by series

private:
    QRectF m_area;
    qint64 m_t0 = 0, m_t1 = 0;
};

RateChart::RateChart(const SampleStore* store, const QList<SeriesLine>& lines, TimeKind time,
                     QWidget* parent)
    : QChartView(parent), m_store(store), m_lines(lines), m_time(time) {
    auto* c = new QChart;
    c->setMargins(QMargins(4, 4, 4, 4));
    c->legend()->setAlignment(Qt::AlignBottom);
    setChart(c);
    setRenderHint(QPainter::Antialiasing, false);
    setMouseTracking(true);

    m_x = new QDateTimeAxis;
    m_x->setFormat(QStringLiteral("hh:mm:ss"));
    m_x->setTitleText(time == TimeKind::Clock ? tr("Time") : tr("Agent uptime"));
    c->addAxis(m_x, Qt::AlignBottom);
    const Qt::Alignment sides[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight};
    for (int a = 0; a < 3; ++a) {
        m_axes[a] = nullptr;
        const bool used = std::any_of(lines.begin(), lines.end(),
                                      [a](const SeriesLine& s) { return int(s.scale) == a; });
        if (!used) continue;
        m_axes[a] = new QValueAxis;
        m_axes[a]->setTitleText(QString::fromLatin1(unitName(Scale(a))));
        m_axes[a]->setLabelFormat(QStringLiteral("%.4g"));
        m_axes[a]->setTickCount(6); // fifths of the 1, 2, 2.5 and 5 the ranges end at
        m_axes[a]->setRange(0, a == 2 ? 100 : 1);
        c->addAxis(m_axes[a], sides[a]);
    }
    m_plot = new PlotLines(c);
    m_plot->setArea(c->plotArea());
    connect(c, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        m_plot->setArea(area);
        m_plot->update();
    });
    // Beside bit rates the other kinds are told apart by their strokes.
    const bool mixed = m_axes[int(Scale::Bits)] != nullptr;
    for (int s = 0; s < lines.size(); ++s) {
        const int colour = lines[s].colour >= 0 ? lines[s].colour : s;
        QPen pen(kPalette[size_t(colour) % std::size(kPalette)]);
        pen.setWidthF(1);
        pen.setCosmetic(true);
        if (mixed && lines[s].scale != Scale::Bits)
            pen.setStyle(lines[s].scale == Scale::Percent ? Qt::DotLine : Qt::DashLine);
        m_plot->lines.push_back({pen, m_axes[int(lines[s].scale)], {}});
        m_hidden << false;
        auto* legend = new QLineSeries;
        legend->setName(lines[s].name);
        legend->setPen(pen);
        c->addSeries(legend);
        legend->attachAxis(m_x);
        legend->attachAxis(m_axes[int(lines[s].scale)]);
    }

    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->hide();
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int seconds) {
        if (m_scrolling) return;
        setLive(false);
        setView(qint64(seconds) * 1000, m_width);
    });
    live();
}

void RateChart::setSpan(qint64 ms) {
    m_span = std::clamp(ms, kMinWidthMs, kMaxWidthMs);
    if (m_live) live();
}

void RateChart::live() {
    setLive(true);
    refresh();
}

void RateChart::showRange(qint64 start, qint64 width) {
    setLive(false);
    setView(start, width);
}

void RateChart::setLive(bool live) {
    if (m_live == live) return;
    m_live = live;
    emit liveChanged(live);
}

void RateChart::refresh() {
    if (m_live) {
        qint64 newest = m_store->size() ? m_store->time(m_store->size() - 1) : 0;
        if (!m_store->size() && m_time == TimeKind::Clock)
            newest = QDateTime::currentMSecsSinceEpoch();
        // Until the samples cover the span, they fill the width.
        const qint64 oldest = m_store->size() ? m_store->time(0) : newest;
        m_width = std::min(m_span, std::max(newest - oldest, kMinWidthMs));
        m_start = newest - m_width;
    }
    setView(m_start, m_width);
}

void RateChart::setView(qint64 start, qint64 width) {
    m_width = std::clamp(width, kMinWidthMs, kMaxWidthMs);
    m_start = start;
    draw();
    updateScrollBar();
}

void RateChart::updateScrollBar() {
    if (!m_store->size()) return;
    const qint64 first = m_store->time(0), last = m_store->time(m_store->size() - 1);
    m_scrolling = true;
    m_scroll->setRange(int(std::min(first, m_start) / 1000),
                       int(std::max(last - m_width, m_start) / 1000));
    m_scroll->setPageStep(int(std::max<qint64>(1, m_width / 1000)));
    m_scroll->setValue(int(m_start / 1000));
    m_scrolling = false;
}

std::vector<Point> RateChart::decimated(int s, qint64 t0, qint64 t1, int columns) {
    const size_t first = m_store->lowerBound(t0), last = m_store->lowerBound(t1 + 1);
    // Widths in steps of a quarter octave: a view that grows by a sample (live, before the
    // samples fill the span) keeps its columns.
    const double width = std::exp2(std::ceil(4 * std::log2(double(t1 - t0) / columns)) / 4);
    // Few samples a column are drawn as they are; nothing to keep.
    if (last - first <= size_t(columns) * 2) return Decimate(*m_store, s, t0, t1, columns);
    Columns& kept = m_columns;
    if (s == 0 && (kept.width != width || kept.generation != m_store->generation() ||
                   double(t0) < kept.from || double(t1) < kept.until ||
                   kept.points.size() != size_t(m_lines.size())))
        kept = {width, double(t0), 0, m_store->generation(),
                std::vector<std::vector<Point>>(size_t(m_lines.size()))};
    std::vector<Point>& points = kept.points[size_t(s)];
    // The sample before the view, so the line reaches the left edge.
    const size_t before = first > 0 ? first - 1 : 0;
    size_t from = before;
    if (kept.until > 0) {
        from = std::max(before, m_store->lowerBound(qint64(kept.until)));
        // Points left of the view go, but the last one before it, which the line starts from.
        size_t keep = 0;
        for (size_t i = 0; i < points.size(); ++i)
            if (!std::isnan(points[i].v) && points[i].t < double(t0)) keep = i;
        points.erase(points.begin(), points.begin() + qsizetype(keep));
    } else {
        points.clear();
    }
    const qint64 newest = m_store->size() ? m_store->time(m_store->size() - 1) : 0;
    // The newest column may still grow: it is reduced again next time.
    const double until = std::floor(double(newest) / width) * width;
    const size_t complete = m_store->lowerBound(qint64(std::ceil(until)));
    if (from < complete) DecimateColumns(*m_store, s, from, complete, width, points);
    std::vector<Point> out = points;
    DecimateColumns(*m_store, s, std::max(from, complete), std::min(last + 1, m_store->size()),
                    width, out);
    if (s == int(m_lines.size()) - 1) kept.until = until;
    while (!out.empty() && std::isnan(out.back().v))
        out.pop_back();
    return out;
}

void RateChart::draw() {
    const qint64 origin = m_time == TimeKind::Uptime ? uptimeOrigin() : 0;
    const int columns = std::max(1, int(chart()->plotArea().width()));
    const qint64 t0 = m_start, t1 = m_start + m_width;
    m_x->setRange(QDateTime::fromMSecsSinceEpoch(origin + t0),
                  QDateTime::fromMSecsSinceEpoch(origin + t1));
    // As many time labels as the plot has room for.
    m_x->setTickCount(std::clamp(columns / 110 + 1, 2, 6));
    const qint64 day = 24 * 3600 * 1000ll;
    m_x->setFormat(m_width > 60 * day  ? QStringLiteral("yyyy-MM-dd")
                   : m_width > 2 * day ? QStringLiteral("dd.MM hh:mm")
                                       : QStringLiteral("hh:mm:ss"));

    QList<std::vector<Point>> points;
    double max[3] = {0, 0, 0};
    for (int s = 0; s < m_lines.size(); ++s) {
        points << decimated(s, t0, t1, columns);
        if (m_hidden[s]) continue;
        // What the view shows of each line: its points inside, and where a line that crosses
        // an edge meets it (a level stretch is kept as its two ends, both outside a close view).
        double& top = max[int(m_lines[s].scale)];
        const std::vector<Point>& line = points.back();
        for (size_t i = 0; i < line.size(); ++i) {
            const Point& p = line[i];
            if (std::isnan(p.v)) continue;
            if (p.t >= double(t0) && p.t <= double(t1)) top = std::max(top, p.v);
            if (i + 1 == line.size() || std::isnan(line[i + 1].v)) continue;
            const Point& q = line[i + 1];
            for (const double edge : {double(t0), double(t1)})
                if (p.t < edge && q.t > edge)
                    top = std::max(top, p.v + (q.v - p.v) * (edge - p.t) / (q.t - p.t));
        }
    }
    const Unit unit = bitUnit(max[0]);
    if (m_axes[0]) {
        m_axes[0]->setTitleText(QString::fromLatin1(unit.name));
        m_axes[0]->setRange(0, niceCeiling(max[0] * 1.05 / unit.divisor));
    }
    if (m_axes[1]) {
        m_axes[1]->setRange(0, niceCeiling(max[1] * 1.05));
        m_axes[1]->setLabelFormat(max[1] >= 20 ? QStringLiteral("%.0f") : QStringLiteral("%.2f"));
    }
    if (m_axes[2]) m_axes[2]->setRange(0, std::max(100.0, niceCeiling(max[2] * 1.05)));

    for (int s = 0; s < m_lines.size(); ++s) {
        const double divisor = m_lines[s].scale == Scale::Bits ? unit.divisor : 1;
        std::vector<std::vector<Point>>& runs = m_plot->lines[size_t(s)].runs;
        runs = m_hidden[s] ? std::vector<std::vector<Point>>{} : Segments(points[s]);
        for (std::vector<Point>& run : runs)
            for (Point& p : run)
                p.v /= divisor;
    }
    m_plot->setTimes(t0, t1);
    emit drawn();
}

void RateChart::setSeriesVisible(int s, bool visible) {
    if (s < 0 || s >= m_lines.size() || m_hidden[s] == !visible) return;
    m_hidden[s] = !visible;
    if (auto* legend = chart()->series().value(s)) legend->setVisible(visible);
    draw();
}

void RateChart::setSeriesName(int s, const QString& name) {
    if (s < 0 || s >= m_lines.size()) return;
    m_lines[s].name = name;
    if (auto* legend = chart()->series().value(s)) legend->setName(name);
}

QPen RateChart::pen(int s) const {
    return s >= 0 && s < m_lines.size() ? m_plot->lines[size_t(s)].pen : QPen();
}

SeriesStats RateChart::stats(int s) const {
    SeriesStats out{kGap, kGap, kGap, kGap, kGap};
    if (s < 0 || s >= m_lines.size()) return out;
    const size_t first = m_store->lowerBound(m_start),
                 last = m_store->lowerBound(m_start + m_width + 1);
    std::vector<float> values;
    values.reserve(last - first);
    double total = 0, covered = 0;
    for (size_t i = first; i < last; ++i) {
        const double v = m_store->value(i, s);
        if (std::isnan(v)) continue;
        values.push_back(float(v));
        out.current = v;
        // A rate holds over the interval it was measured on: back to the sample before.
        if (i > 0) {
            const double seconds = double(m_store->time(i) - m_store->time(i - 1)) / 1000;
            total += v * seconds;
            covered += seconds;
        }
    }
    if (values.empty()) return out;
    out.maximum = *std::max_element(values.begin(), values.end());
    out.average = covered > 0 ? total / covered : out.current;
    out.total = total;
    // The sample at or below which 95 % of the samples lie, as the nearest rank.
    const size_t rank = size_t(std::ceil(0.95 * double(values.size()))) - 1;
    std::nth_element(values.begin(), values.begin() + qsizetype(rank), values.end());
    out.p95 = values[rank];
    return out;
}

int RateChart::drawnPoints(int s) const {
    size_t n = 0;
    if (s >= 0 && s < m_lines.size())
        for (const std::vector<Point>& run : m_plot->lines[size_t(s)].runs)
            n += run.size();
    return int(n);
}

qint64 RateChart::timeAt(const QPoint& at) const {
    const QPointF inChart = chart()->mapFromScene(mapToScene(at));
    const QRectF plot = chart()->plotArea();
    const double f = plot.width() > 0 ? (inChart.x() - plot.left()) / plot.width() : 0;
    return m_start + qint64(f * double(m_width));
}

QString RateChart::timeText(qint64 t) const {
    if (m_time == TimeKind::Clock)
        return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const qint64 s = t / 1000;
    return tr("uptime %1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString RateChart::valueText(double v, Scale scale) {
    if (std::isnan(v)) return tr("no value");
    switch (scale) {
    case Scale::Bits: {
        const Unit u = bitUnit(v);
        return QStringLiteral("%1 %2")
            .arg(v / u.divisor, 0, 'f', u.divisor > 1 ? 2 : 0)
            .arg(QLatin1String(u.name));
    }
    case Scale::PerSecond:
        return QStringLiteral("%1/s").arg(v, 0, 'f', 2);
    case Scale::Percent:
        return QStringLiteral("%1 %").arg(v, 0, 'f', 2);
    }
    return {};
}

QString RateChart::totalText(double v, Scale scale) {
    if (std::isnan(v) || scale == Scale::Percent) return QStringLiteral("-");
    if (scale == Scale::PerSecond) return QString::number(v, 'f', 0);
    const double bytes = v / 8;
    const char* const units[] = {"B", "kB", "MB", "GB", "TB", "PB"};
    int u = 0;
    double shown = bytes;
    while (shown >= 1000 && u + 1 < int(std::size(units))) {
        shown /= 1000;
        ++u;
    }
    return QStringLiteral("%1 %2").arg(shown, 0, 'f', u ? 2 : 0).arg(QLatin1String(units[u]));
}

QString RateChart::hoverText(const QPoint& at) const {
    if (!m_store->size() || !chart()->plotArea().contains(chart()->mapFromScene(mapToScene(at))))
        return {};
    const qint64 t = timeAt(at);
    size_t i = m_store->lowerBound(t);
    if (i == m_store->size() || (i > 0 && t - m_store->time(i - 1) < m_store->time(i) - t))
        i = i > 0 ? i - 1 : 0;
    QStringList lines{timeText(m_store->time(i))};
    for (int s = 0; s < m_lines.size(); ++s) {
        if (m_hidden[s]) continue;
        QString text = valueText(m_store->value(i, s), m_lines[s].scale);
        if (const Gap why = m_store->gap(i, s); why != Gap::None)
            text += QStringLiteral(" (%1)").arg(QString::fromUtf8(GapText(why)));
        lines << QStringLiteral("%1: %2").arg(m_lines[s].name, text);
    }
    return lines.join(QLatin1Char('\n'));
}

QString RateChart::gapsText(size_t first, size_t last) const {
    last = std::min(last, m_store->size());
    QMap<Gap, QStringList> why;
    size_t broken = 0;
    for (size_t i = first; i < last; ++i) {
        bool any = false;
        for (int s = 0; s < m_store->series(); ++s)
            if (const Gap g = m_store->gap(i, s); g != Gap::None) {
                any = true;
                if (!why[g].contains(m_lines[s].name)) why[g] << m_lines[s].name;
            }
        broken += any;
    }
    if (why.isEmpty()) return {};
    QStringList text;
    for (auto it = why.begin(); it != why.end(); ++it) {
        QStringList names = it.value();
        if (names.size() > 3) names = names.mid(0, 3) << tr("%1 more").arg(it.value().size() - 3);
        text << QStringLiteral("%1: %2").arg(QString::fromUtf8(GapText(it.key())),
                                             names.join(QStringLiteral(", ")));
    }
    const QString where = last - first == 1
                              ? tr("Gaps at %1").arg(timeText(m_store->time(first)))
                              : tr("Gaps in %1 of %2 samples").arg(broken).arg(last - first);
    return QStringLiteral("%1 - %2").arg(where, text.join(QStringLiteral("; ")));
}

QByteArray RateChart::csvHeader() const {
    QStringList header{m_time == TimeKind::Clock ? QStringLiteral("time")
                                                 : QStringLiteral("uptime_s")};
    for (const SeriesLine& line : m_lines)
        header << csvField(
            QStringLiteral("%1 (%2)").arg(line.name, QLatin1String(unitName(line.scale))));
    return header.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray RateChart::csvRows(size_t from, size_t to) const {
    QByteArray out;
    to = std::min(to, m_store->size());
    for (size_t i = from; i < to; ++i) {
        const qint64 t = m_store->time(i);
        out +=
            m_time == TimeKind::Clock
                ? QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1()
                : QByteArray::number(double(t) / 1000, 'f', 2);
        for (int s = 0; s < m_lines.size(); ++s) {
            out += ',';
            const double v = m_store->value(i, s);
            if (!std::isnan(v))
                out += QByteArray::number(v, 'f', m_lines[s].scale == Scale::Bits ? 0 : 3);
        }
        out += "\r\n";
    }
    return out;
}

QString RateChart::csv() const {
    return QString::fromUtf8(csvHeader() + csvRows(0, m_store->size()));
}

void RateChart::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (!steps) return;
    const qint64 anchor = timeAt(event->position().toPoint());
    const double factor = std::pow(0.8, steps);
    const qint64 width = std::clamp(qint64(double(m_width) * factor), kMinWidthMs, kMaxWidthMs);
    const double f = m_width ? double(anchor - m_start) / double(m_width) : 0.5;
    setLive(false);
    setView(anchor - qint64(f * double(width)), width);
    event->accept();
}

void RateChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragX = event->position().toPoint().x();
        m_dragStart = m_start;
    }
    QChartView::mousePressEvent(event);
}

void RateChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_dragging) {
        const double plotWidth = std::max(1.0, chart()->plotArea().width());
        const qint64 moved = qint64(double(at.x() - m_dragX) / plotWidth * double(m_width));
        if (moved) {
            setLive(false);
            setView(m_dragStart - moved, m_width);
        }
    }
    const QString text = hoverText(at);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    QChartView::mouseMoveEvent(event);
}

void RateChart::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QChartView::mouseReleaseEvent(event);
}

void RateChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    draw();
}

} // namespace graphs
