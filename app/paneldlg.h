// The main panel window: the chassis picture, the menu bar and the command dispatcher.
#pragma once

#include <QDialog>

class QMenuBar;
class QPushButton;

class CPanelDlg : public QDialog {
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildMenuBar();
    void showSystemMenu(const QPoint& globalPos);
    // Runs a page (or any dialog) without parent, modally, and destroys it.
    template <class Page> void runPage();
    void onTelnet();
    void onWeb();

    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_hiddenDefault = nullptr;
};

// Refusal every command that changes the device or starts a tool shows without the right.
inline constexpr const char* kNoRightText = "You have no the right to do the operation!";
