#include "graphs/legend.h"

#include "graphs/ratechart.h"

#include <QHeaderView>
#include <QPainter>

#include <cmath>

namespace graphs {

namespace {

// The series' stroke as the chart draws it, a little thicker so its colour reads.
QIcon strokeIcon(QPen pen) {
    QPixmap picture(28, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    pen.setWidthF(2);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawLine(1, 6, 27, 6);
    return QIcon(picture);
}

} // namespace

SeriesLegend::SeriesLegend(RateChart* chart, QWidget* parent)
    : QTableWidget(int(chart->lines().size()), kColumns, parent), m_chart(chart) {
    setHorizontalHeaderLabels(
        {tr("Series"), tr("Current"), tr("Average"), tr("Maximum"), tr("95th %ile"), tr("Total")});
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    for (int c = Current; c < kColumns; ++c)
        horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(28, 12));
    setToolTip(tr("Click a series to hide or show it"));
    for (int s = 0; s < chart->lines().size(); ++s) {
        auto* name = new QTableWidgetItem(strokeIcon(chart->pen(s)), chart->lines()[s].name);
        setItem(s, Name, name);
        for (int c = Current; c < kColumns; ++c) {
            auto* figure = new QTableWidgetItem;
            figure->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(s, c, figure);
        }
    }
    connect(this, &QTableWidget::cellClicked, this, [this](int row, int) { toggle(row); });
    m_later.setSingleShot(true);
    m_later.setInterval(500);
    connect(&m_later, &QTimer::timeout, this, &SeriesLegend::refresh);
    connect(chart, &RateChart::drawn, this, [this] {
        if (!m_later.isActive()) m_later.start();
    });
    refresh();
}

void SeriesLegend::toggle(int row) {
    m_chart->setSeriesVisible(row, !m_chart->seriesVisible(row));
    const bool shown = m_chart->seriesVisible(row);
    for (int c = 0; c < kColumns; ++c) {
        QTableWidgetItem* cell = item(row, c);
        QFont font = cell->font();
        font.setStrikeOut(!shown);
        cell->setFont(font);
        cell->setForeground(shown ? palette().text() : palette().placeholderText());
    }
}

void SeriesLegend::refresh() {
    for (int s = 0; s < rowCount(); ++s) {
        const Scale scale = m_chart->lines()[s].scale;
        const SeriesStats st = m_chart->stats(s);
        item(s, Name)->setText(m_chart->lines()[s].name);
        auto text = [scale](double v) {
            return std::isnan(v) ? QStringLiteral("-") : RateChart::valueText(v, scale);
        };
        item(s, Current)->setText(text(st.current));
        item(s, Average)->setText(text(st.average));
        item(s, Maximum)->setText(text(st.maximum));
        item(s, P95)->setText(text(st.p95));
        item(s, Total)->setText(RateChart::totalText(st.total, scale));
    }
}

} // namespace graphs
