// What the tests of the panel window share: the shipped panel as the system directory's, the
// window up with its ports read, where a port lies on the view, and a port's right-click menu
// answered as a person does.
#pragma once

#include "app/paneldlg.h"
#include "panel/panelpoller.h"
#include "panel/panelview.h"
#include "snmp/params.h"
#include "tests/common/peers.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The panel file the module ships.
inline QString ShippedPanelFile() {
    return QStringLiteral(TALVEX_SOURCE_DIR "/res/panel/Talvex.properties");
}

// While it lives, the shipped panel is what a window loads: the system directory is the one
// it lies in, put back to none however the test ends.
class ShippedPanelDir {
public:
    ShippedPanelDir() {
        qputenv("TALVEX_SYSTEM_DIR", QFileInfo(ShippedPanelFile()).absolutePath().toUtf8());
    }
    ~ShippedPanelDir() { qunsetenv("TALVEX_SYSTEM_DIR"); }
    ShippedPanelDir(const ShippedPanelDir&) = delete;
    ShippedPanelDir& operator=(const ShippedPanelDir&) = delete;
};

// The simulated chassis a panel test runs against: the simulator started with options, the
// session's port at it.
class PanelSim : public SimProcess {
public:
    explicit PanelSim(const QStringList& options = {"--static"}) : SimProcess(options) {
        if (started()) SetSnmpAgentPort(port());
    }
};

// The panel window shown, its panel loaded and the first walk of its ports done.
inline bool ShowPanelWalked(CPanelDlg& dlg) {
    if (!dlg.panelLoaded()) return false;
    QSignalSpy walked(dlg.poller(), &PanelPoller::portWalkEnded);
    dlg.show();
    return QTest::qWaitForWindowExposed(&dlg) && walked.wait(10000);
}

// The centre of port p of module mod on the panel's view, scaled as the view is.
inline QPoint PortCentre(CPanelDlg& dlg, const Module& mod, const Port& p) {
    const PanelModel& m = dlg.panelModel();
    const PanelView* view = dlg.panelView();
    return QPoint(int(qint64(mod.left + p.left + p.width / 2) * view->width() / m.refWidth),
                  int(qint64(mod.top + p.top + p.height / 2) * view->height() / m.refHeight));
}

// A right-click at `at` on the panel's view. The menu that opens runs its own loop: once it is
// up, its items are read and the one reading `choose` is clicked, or the menu is closed when
// none does. Returns the items' texts.
inline QStringList RightClickPanel(CPanelDlg& dlg, QPoint at, const QString& choose) {
    QStringList items;
    QTimer::singleShot(0, [&items, choose] {
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* wanted = nullptr;
        for (QAction* a : menu->actions()) {
            items << a->text();
            if (a->text() == choose) wanted = a;
        }
        if (wanted)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wanted).center());
        else
            menu->close();
    });
    PanelView* view = dlg.panelView();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->mapToGlobal(at));
    QApplication::sendEvent(view, &event);
    return items;
}
