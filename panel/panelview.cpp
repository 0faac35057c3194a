#include "panel/panelview.h"

#include "platform/platform.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

PanelView::PanelView(PanelModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_model.invalidate = [this](const QRect& r) { update(r); };
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // An enlarged window stretches the pictures; smoothing keeps them from turning blocky.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    m_model.setClientSize(size());
    m_model.paint(p);
}

void PanelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_model.setClientSize(size());
}

void PanelView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (m_model.hitTest(event->position().toPoint()) != PanelModel::Hit::None)
        setCursor(platform::HandCursor());
    else
        setCursor(Qt::ArrowCursor);
}

void PanelView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const Port* port = nullptr;
    const PanelModel::Hit hit = m_model.hitTest(event->position().toPoint(), &port);
    if (hit != PanelModel::Hit::None)
        emit clicked(hit, port ? port->ifIndex : 0);
}

void PanelView::contextMenuEvent(QContextMenuEvent* event) {
    const Port* port = nullptr;
    if (m_model.hitTest(event->pos(), &port) != PanelModel::Hit::ModulePort) {
        event->ignore();
        return;
    }
    emit portMenuRequested(port ? port->ifIndex : 0, event->globalPos());
}
