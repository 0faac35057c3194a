// The widget the front panel is painted in: the client area of the main panel window.
#pragma once

#include "panel/panelmodel.h"

#include <QWidget>

class PanelView : public QWidget {
    Q_OBJECT
public:
    explicit PanelView(PanelModel& model, QWidget* parent = nullptr);

signals:
    // A left click on the console, a chassis port or a module port; ifIndex is the interface
    // the device reported the clicked port as (0 when it has not, or for the console).
    void clicked(PanelModel::Hit hit, int ifIndex);
    // A right click on a module port, at globalPos; a right click anywhere else is left to
    // the window.
    void portMenuRequested(int ifIndex, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    PanelModel& m_model;
};
