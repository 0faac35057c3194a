// The main panel window: the chassis picture, the menu bar and the command dispatcher.
#pragma once

#include "panel/panelloader.h"
#include "panel/panelmodel.h"

#include <QDialog>

#include <functional>

#include <memory>

class CPanelDeviceThread;
class EventAlarmWatch;
class PanelPoller;
class PanelView;
class QMenuBar;
class QPushButton;

class CPanelDlg : public QDialog, public PanelSite {
    Q_OBJECT
public:
    explicit CPanelDlg(QWidget* parent = nullptr);
    ~CPanelDlg() override;

    // Runs the command with this id, as its menu item or the panel does. False for an id the
    // window does not dispatch.
    bool OnCommand(int id);
    // A system command: the About box for ids whose low four bits cleared give 16.
    bool OnSysCommand(int id);
    static bool IsAboutSysCommand(int id) { return (id & 0xFFF0) == 16; }

    QMenuBar* menuBar() const { return m_menuBar; }
    PanelModel& panelModel() { return m_model; }
    PanelView* panelView() const { return m_view; }
    // Null when the panel description file did not load.
    PanelPoller* poller() const { return m_poller.get(); }
    bool panelLoaded() const { return m_poller != nullptr; }
    // The program's exit status once the window has closed: 1 when an unattended snapshot run
    // found no panel to picture.
    int exitCode() const { return m_exitCode; }

    // A live traffic graph of the interface, a window of its own beside the panel.
    void openTrafficGraph(int ifIndex);

    // PanelSite
    void placePanel(int x, int y, int width, int height) override;
    QSize panelClientSize() const override;
    QWidget* panelOwner() override { return this; }

    // Escape and the close box end the program; while traffic graph windows are open, which end
    // with it, the operator is asked first.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildMenuBar();
    void showSystemMenu(const QPoint& globalPos);
    // Runs a page (or any dialog) without parent, modally, and destroys it.
    template <class Page> void runPage(const std::function<void(Page*)>& setup = {});
    // runPage for a page that shows one port: the one a click or a port's menu chose, if any.
    template <class Page> void runPortPage();
    // Shows the refusal when the operator has no right; true when he has it.
    bool haveRight();
    bool confirm(const char* question);
    void onTelnet();
    void onWeb();
    void onPanelClick(PanelModel::Hit hit, int ifIndex);
    void onPortMenu(int ifIndex, const QPoint& globalPos);
    void startPanel();
    // The journal's unacknowledged events: their count in the title, the ALM lamp while any is
    // major or worse.
    void watchEvents();
    // TALVEX_SNAPSHOT: the client area into that PNG, then the end of the run.
    void writeSnapshot();

    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_hiddenDefault = nullptr;
    PanelModel m_model;
    PanelView* m_view = nullptr;
    std::unique_ptr<PanelPoller> m_poller;
    std::unique_ptr<CPanelDeviceThread> m_thread;
    QString m_snapshot;
    int m_exitCode = 0;
    EventAlarmWatch* m_events = nullptr;
    int m_clickedInterface = 0; // the interface the page opened from a port selects
};

// Half the ALM lamp's blink: lit, then dark, as long.
inline constexpr int kAlarmBlinkMs = 500;

// Refusal every command that changes the device or starts a tool shows without the right.
inline constexpr const char* kNoRightText = "You have no the right to do the operation!";
