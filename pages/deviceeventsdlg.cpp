#include "pages/deviceeventsdlg.h"

#include "events/journal.h"
#include "events/model.h"
#include "pages/pagecommon.h"
#include "pages/tablereport.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

using namespace res::deviceEvents;

CDeviceEventsDlg::CDeviceEventsDlg(const QString& path, const QString& device)
    : m_model(new EventListModel(this)), m_timer(new QTimer(this)),
      m_path(path.isEmpty() ? QString::fromStdString(events::JournalPath()) : path),
      m_device(device.isEmpty() ? g_strAgentAddress : device) {
    InitPage(this, res::kDlgDeviceEvents, QStringLiteral("Device Events"));
    // Texts from the network are shown as they are, never as markup.
    if (auto* problem = platform::Item<QLabel>(this, kProblem))
        problem->setTextFormat(Qt::PlainText);
    platform::Item<QLabel>(this, kStatus)->setTextFormat(Qt::PlainText);
    auto* combo = platform::Item<QComboBox>(this, kSeverityCombo);
    combo->addItems({QStringLiteral("All"), QStringLiteral("Critical"),
                     QStringLiteral("Major and above"), QStringLiteral("Minor and above")});
    QTreeView* view = list();
    view->setModel(m_model);
    SetupListColumns(view);
    connect(combo, &QComboBox::currentIndexChanged, this, [this] { applyFilter(); });
    connect(platform::Item<QLineEdit>(this, kTextEdit), &QLineEdit::textChanged, this,
            [this] { applyFilter(); });
    connect(view, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OnDetails(index.row()); });
    connect(m_model, &EventListModel::changed, this, &CDeviceEventsDlg::showState);
    OnClicked(this, kAcknowledge, [this] { OnAcknowledge(); });
    OnClicked(this, kAcknowledgeAll, [this] { OnAcknowledgeAll(); });
    OnClicked(this, kDetails, [this] {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        if (!rows.isEmpty()) OnDetails(rows.first().row());
    });
    OnClicked(this, res::kClose, [this] { reject(); });
    InstallPrintShortcut(this, [this] { OnPrint(); });
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_model->isOpen()) m_model->follow();
        // Not open, or closed just now because the journal went from its path.
        if (!m_model->isOpen()) tryOpen();
    });
    m_timer->start(kEventFollowMs);
    tryOpen();
}

QTreeView* CDeviceEventsDlg::list() const {
    return platform::Item<QTreeView>(const_cast<CDeviceEventsDlg*>(this), kList);
}

void CDeviceEventsDlg::tryOpen() {
    QString why;
    if (m_model->open(m_path, m_device, &why)) {
        m_problem.clear();
        applyFilter();
    } else if (events::IsServerTarget(m_path.toStdString())) {
        m_problem = QStringLiteral("No device events can be shown.\n\n"
                                   "The event journal's server, %1, cannot be read: %2.\n\n"
                                   "Meanwhile talvex-eventd keeps the notifications in its spool "
                                   "and writes them once the server takes them again.\n\n"
                                   "This page keeps trying; the rest of the module works as "
                                   "before.")
                        .arg(m_path, why);
    } else {
        m_problem =
            QStringLiteral(
                "No device events can be shown.\n\n"
                "The event journal was looked for at %1: %2.\n\n"
                "Notifications reach the journal through snmptrapd, which hands each one to "
                "talvex-eventd; the section NOTIFICATIONS of talvex(1) says what to add to "
                "snmptrapd.conf. Operators read the journal as members of the group talvex; "
                "TALVEX_EVENTS names another journal.\n\n"
                "This page keeps looking; the rest of the module works as before.")
                .arg(m_path, why);
    }
    showState();
}

void CDeviceEventsDlg::applyFilter() {
    const int worst[] = {4, 1, 2, 3};
    const int i = platform::Item<QComboBox>(this, kSeverityCombo)->currentIndex();
    m_model->setFilter(worst[std::clamp(i, 0, 3)],
                       platform::Item<QLineEdit>(this, kTextEdit)->text());
}

void CDeviceEventsDlg::showState() {
    const bool usable = m_problem.isEmpty();
    list()->setVisible(usable);
    // The text stands in a scroll area of its own: that is what shows or hides.
    QWidget* problem = platform::DialogItem(this, kProblem);
    while (problem->parentWidget() && problem->parentWidget() != this)
        problem = problem->parentWidget();
    problem->setVisible(!usable);
    SetItemText(this, kProblem, m_problem);
    for (int id : {kAcknowledge, kAcknowledgeAll, kDetails, kSeverityCombo, kTextEdit})
        EnableItem(this, id, usable);
    SetItemText(this, kStatus,
                usable ? QStringLiteral("%1 of %2 shown, %3 unacknowledged")
                             .arg(m_model->rowCount())
                             .arg(m_model->total())
                             .arg(m_model->unacknowledged())
                       : QString());
}

void CDeviceEventsDlg::OnAcknowledge() {
    QList<int> rows;
    for (const QModelIndex& index : list()->selectionModel()->selectedRows())
        rows << index.row();
    tellIfRefused(m_model->acknowledge(rows));
}

void CDeviceEventsDlg::OnAcknowledgeAll() {
    tellIfRefused(m_model->acknowledgeAll());
}

void CDeviceEventsDlg::tellIfRefused(int changed) {
    if (changed < 0)
        platform::MessageBox(this,
                             QStringLiteral("The events could not be acknowledged: the journal %1 "
                                            "is read-only or busy.")
                                 .arg(m_path));
}

void CDeviceEventsDlg::OnDetails(int row) {
    if (row < 0 || row >= m_model->rowCount()) return;
    QDialog details(this);
    details.setWindowTitle(QStringLiteral("Device Event"));
    details.setWindowIcon(platform::Icon(447));
    auto* layout = new QVBoxLayout(&details);
    auto* text = new QPlainTextEdit(&details);
    text->setObjectName(QStringLiteral("details"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The bindings' names, OIDs and values stand in columns.
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setPlainText(m_model->details(row));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &details);
    connect(buttons, &QDialogButtonBox::rejected, &details, &QDialog::reject);
    layout->addWidget(buttons);
    details.resize(640, 420);
    platform::RunModal(&details);
}

void CDeviceEventsDlg::OnPrint() {
    if (!m_model->isOpen()) return;
    TableReport report;
    report.title = windowTitle();
    report.headerX = 90;
    report.rowX = 90;
    report.headerArgs = {QStringLiteral("Time"),     QStringLiteral("Sender"),
                         QStringLiteral("Severity"), QStringLiteral("Event"),
                         QStringLiteral("Port"),     QStringLiteral("Summary")};
    report.columns = {EventListModel::kTime,  EventListModel::kSender, EventListModel::kSeverity,
                      EventListModel::kEvent, EventListModel::kPort,   EventListModel::kSummary};
    report.tabulated = true;
    report.leftAligned = {true, true, true, true, true, true};
    // In twips: an IPv6 sender or an unknown notification's OID must not push the summary off
    // the page; what is cut is whole on the screen and in the details.
    report.maxWidths = {0, 1800, 0, 1400, 1300, 0};
    report.footerFormat = QStringLiteral(" %d Page");
    report.reportFailures = true;
    report.model = m_model;
    Print(this, report);
}
