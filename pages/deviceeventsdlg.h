// The Device Events page: the notifications the journal holds for the managed device, newest
// first, following the journal live; filter by severity and text, acknowledge, details of a
// row, Ctrl+C and Ctrl+P as on the other list pages. Where there is no journal it can read, it
// says where it looked and why, and keeps looking.
#pragma once

#include <QDialog>
#include <QString>

class EventListModel;
class QTimer;
class QTreeView;

class CDeviceEventsDlg : public QDialog {
    Q_OBJECT
public:
    // The journal at path (by default where TALVEX_EVENTS or the installed default says), for
    // the device at address (by default the agent the module was started with).
    explicit CDeviceEventsDlg(const QString& path = {}, const QString& device = {});

    EventListModel* model() const { return m_model; }
    QTreeView* list() const;
    QString path() const { return m_path; }
    // The text shown in place of the list while the journal cannot be used; empty while it can.
    QString problem() const { return m_problem; }

    void OnAcknowledge();
    void OnAcknowledgeAll();
    // Every particular and binding of the list's row, in a window of its own.
    void OnDetails(int row);
    void OnPrint();

private:
    void tryOpen();
    void applyFilter();
    void showState();
    // An acknowledgement the journal refused (changed -1) is told to the operator.
    void tellIfRefused(int changed);

    EventListModel* m_model;
    QTimer* m_timer;
    QString m_path;
    QString m_device;
    QString m_problem;
};

// How often the page looks for what the journal gained; a new event shows within 2 s.
inline constexpr int kEventFollowMs = 500;
