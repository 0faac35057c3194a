#include "app/paneldlg.h"

#include "app/aboutdlg.h"
#include "app/tools.h"
#include "events/alarmwatch.h"
#include "events/journal.h"
#include "graphs/trafficgraph.h"
#include "pages/alarmeventdlg.h"
#include "pages/arptabledlg.h"
#include "pages/cpuutildlg.h"
#include "pages/deviceeventsdlg.h"
#include "pages/deviceinfodlg.h"
#include "pages/forwardingtabledlg.h"
#include "pages/interfaceinfodlg.h"
#include "pages/memoryinfodlg.h"
#include "pages/rmonhistorydlg.h"
#include "pages/rmonstatdlg.h"
#include "pages/routetabledlg.h"
#include "pages/stptabledlg.h"
#include "pages/systeminfodlg.h"
#include "panel/panelpoller.h"
#include "panel/panelview.h"
#include "panel/portconfigdlg.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "res/menus.h"
#include "res/stringtable.h"
#include "snmp/params.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// A module port's right-click menu: each item runs its command as the menu bar would, on the
// port clicked.
struct PortMenuItem {
    const char* text;
    int command;
};
constexpr PortMenuItem kPortMenu[] = {
    {"Port Configuration...", res::kCmdPortConfig},
    {"Traffic Graph...", res::kCmdTrafficGraph},
};

// "1 sample", "2 samples".
QString counted(qint64 n, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(noun),
                                                QLatin1String(n == 1 ? "" : "s"));
}

// The agent's address, and the count of events nobody has acknowledged yet where there are any.
QString panelTitle(qint64 unacknowledged) {
    QString title = QStringLiteral("Talvex: ") + g_strAgentAddress;
    if (unacknowledged > 0)
        title += QStringLiteral(" (%1)").arg(counted(unacknowledged, "unacknowledged event"));
    return title;
}

} // namespace

CPanelDlg::CPanelDlg(QWidget* parent) : QDialog(parent) {
    platform::BuildDialog(this, res::kDlgPanel);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    m_hiddenDefault = platform::Item<QPushButton>(this, res::panel::kHiddenDefault);
    buildMenuBar();

    // The system menu's About item; on this desktop it lives in the window's context menu.
    setWindowIcon(platform::Icon(447));
    setWindowTitle(panelTitle(0));
    watchEvents();

    // Placed centred on the mouse pointer, kept on the screen.
    QPoint c = QCursor::pos();
    QRect r(QPoint(0, 0), size());
    r.moveCenter(c);
    if (QScreen* s = QGuiApplication::screenAt(c)) {
        QRect avail = s->availableGeometry();
        r.moveLeft(
            std::clamp(r.left(), avail.left(), std::max(avail.left(), avail.right() - r.width())));
        r.moveTop(
            std::clamp(r.top(), avail.top(), std::max(avail.top(), avail.bottom() - r.height())));
    }
    move(r.topLeft());

    startPanel();
}

CPanelDlg::~CPanelDlg() {
    // The worker stops before the window it drives goes; then the sessions, then the model.
    if (m_thread) m_thread->stop();
    m_thread.reset();
    m_poller.reset();
    // The view paints the model: it goes before the model does.
    delete m_view;
    m_view = nullptr;
}

void CPanelDlg::startPanel() {
    m_snapshot = qEnvironmentVariable("TALVEX_SNAPSHOT");
    // A run that writes a snapshot is unattended: what it has to say goes to standard error.
    if (!m_snapshot.isEmpty()) platform::SetUnattended(true);
    const QString path =
        QDir(platform::SystemDirectory()).filePath(QString::fromLatin1(kPanelFileName));
    if (!LoadPanel(path, m_model, *this)) {
        // There is no live panel to picture: the unattended run ends unsuccessfully.
        if (!m_snapshot.isEmpty()) {
            m_snapshot.clear();
            m_exitCode = 1;
            QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
        }
        return;
    }
    // The window may be enlarged; the panel stretches with it.
    setMinimumSize(160, 60);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_poller = std::make_unique<PanelPoller>(m_model);
    m_poller->start();
    if (!m_snapshot.isEmpty()) {
        // After the first port walk, paint what it found and write the picture.
        connect(
            m_poller.get(), &PanelPoller::portWalkEnded, this,
            [this] {
                m_model.refresh();
                QTimer::singleShot(0, this, &CPanelDlg::writeSnapshot);
            },
            Qt::SingleShotConnection);
        QTimer::singleShot(30000, this, &CPanelDlg::writeSnapshot);
    }
    m_thread = std::make_unique<CPanelDeviceThread>(m_poller.get());
    m_thread->start();
}

void CPanelDlg::watchEvents() {
    m_events =
        new EventAlarmWatch(QString::fromStdString(events::JournalPath()), g_strAgentAddress, this);
    auto* blink = new QTimer(this);
    connect(blink, &QTimer::timeout, this, [this] { m_model.blinkAlarm(); });
    connect(m_events, &EventAlarmWatch::changed, this,
            [this, blink](qint64 unacknowledged, qint64 serious) {
                setWindowTitle(panelTitle(unacknowledged));
                m_model.setAlarm(serious > 0);
                if (serious > 0 && !blink->isActive())
                    blink->start(kAlarmBlinkMs);
                else if (serious == 0)
                    blink->stop();
            });
    // The lamp cannot light for a journal that cannot be read; the panel says why.
    connect(m_events, &EventAlarmWatch::problemChanged, this, [this](const QString& problem) {
        m_view->setToolTip(problem.isEmpty() ? QString()
                                             : QStringLiteral("ALM: the event journal cannot be "
                                                              "read: %1")
                                                   .arg(problem));
    });
    m_events->check();
}

void CPanelDlg::writeSnapshot() {
    if (m_snapshot.isEmpty()) return;
    // A picture that could not be written is a failed run, not a successful one.
    if (!m_view->grab().save(m_snapshot, "PNG")) {
        std::fprintf(stderr, "talvex: the snapshot could not be written to %s\n",
                     qPrintable(m_snapshot));
        m_exitCode = 1;
    }
    m_snapshot.clear();
    done(m_exitCode ? QDialog::Rejected : QDialog::Accepted);
}

void CPanelDlg::placePanel(int x, int y, int width, int height) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setGeometry(x, y, width, height);
    setFixedSize(width, height);
}

QSize CPanelDlg::panelClientSize() const {
    // The client area is the window less its menu bar, as a Windows client area is.
    return QSize(width(), std::max(0, height() - m_menuBar->sizeHint().height()));
}

void CPanelDlg::onPanelClick(PanelModel::Hit hit, int ifIndex) {
    switch (hit) {
    case PanelModel::Hit::Console:
        // The panel's own question ends with "!", the menu's with "?".
        if (haveRight() && confirm("Do you want to TELNET this device!")) LaunchTelnet(this);
        break;
    case PanelModel::Hit::ChassisPort:
        haveRight();
        break;
    case PanelModel::Hit::ModulePort:
        m_clickedInterface = ifIndex;
        OnCommand(res::kCmdInterfaceInfo);
        break;
    case PanelModel::Hit::None:
        break;
    }
}

void CPanelDlg::onPortMenu(int ifIndex, const QPoint& globalPos) {
    QMenu menu(this);
    for (const PortMenuItem& item : kPortMenu)
        menu.addAction(QString::fromUtf8(item.text))->setData(item.command);
    const QAction* chosen = menu.exec(globalPos);
    if (!chosen) return;
    m_clickedInterface = ifIndex;
    OnCommand(chosen->data().toInt());
    m_clickedInterface = 0;
}

void CPanelDlg::openTrafficGraph(int ifIndex) {
    // No name: the window asks the agent for the port's own.
    auto* window = new graphs::CTrafficGraphWnd({graphs::GraphPort{ifIndex, QString()}}, this);
    window->show();
}

void CPanelDlg::buildMenuBar() {
    m_menuBar = new QMenuBar(this);
    // The dialog's fixed size is its client area: the menu bar takes its height from it as a
    // Windows menu bar does.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(m_menuBar);
    m_view = new PanelView(m_model, this);
    layout->addWidget(m_view, 1);
    connect(m_view, &PanelView::clicked, this, &CPanelDlg::onPanelClick);
    connect(m_view, &PanelView::portMenuRequested, this, &CPanelDlg::onPortMenu);
    QList<QMenu*> stack;
    for (const res::MenuItem* it = res::kMenu175; !(it->kind == res::Item::End && stack.isEmpty());
         ++it) {
        const QString text = QString::fromUtf8(it->text);
        switch (it->kind) {
        case res::Item::Popup:
            stack.append(stack.isEmpty() ? m_menuBar->addMenu(text) : stack.last()->addMenu(text));
            break;
        case res::Item::End:
            stack.removeLast();
            break;
        case res::Item::Separator:
            stack.last()->addSeparator();
            break;
        case res::Item::Command: {
            QAction* a =
                stack.isEmpty() ? m_menuBar->addAction(text) : stack.last()->addAction(text);
            a->setData(it->id);
            int id = it->id;
            connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
            break;
        }
        }
    }
}

template <class Page> void CPanelDlg::runPage(const std::function<void(Page*)>& setup) {
    auto* page = new Page();
    if (setup) setup(page);
    platform::RunModal(page);
    delete page;
}

template <class Page> void CPanelDlg::runPortPage() {
    const int ifIndex = std::exchange(m_clickedInterface, 0);
    runPage<Page>([ifIndex](Page* page) { page->selectInterface(ifIndex); });
}

bool CPanelDlg::OnCommand(int id) {
    switch (id) {
    case res::kCmdSystemInfo:
        runPage<CSystemInfoDlg>();
        return true;
    case res::kCmdInterfaceInfo:
        // Opened by a click on a port, the page shows that port's row; from the menu, none.
        runPortPage<CInterfaceInfoDlg>();
        return true;
    case res::kCmdStpInfo:
        runPage<CStpTableDlg>();
        return true;
    case res::kCmdArp:
        runPage<CArpTableDlg>();
        return true;
    case res::kCmdRoute:
        runPage<CRouteTableDlg>();
        return true;
    case res::kCmdForwarding:
        runPage<CForwardingTableDlg>();
        return true;
    case res::kCmdRmonStat:
        runPage<CRmonStatDlg>();
        return true;
    case res::kCmdRmonHistory:
        runPage<CRmonHistoryDlg>();
        return true;
    case res::kCmdAlarmEvent:
        runPage<CAlarmEventDlg>();
        return true;
    case res::kCmdCpu:
        runPage<CCpuUtilDlg>();
        return true;
    case res::kCmdMemory:
        runPage<CMemoryInfoDlg>();
        return true;
    case res::kCmdDeviceInfo:
        runPage<CDeviceInfoDlg>();
        return true;
    case res::kCmdDeviceEvents:
        runPage<CDeviceEventsDlg>();
        // What was acknowledged there shows at once, not at the next look.
        m_events->check();
        return true;
    case res::kCmdPanelRefresh:
        if (m_poller) m_poller->panelRefresh();
        return true;
    case res::kCmdPortConfig:
        // From a port's menu the dialog shows that port; from the command, the first.
        runPortPage<CPortConfigDlg>();
        return true;
    case res::kCmdTrafficGraph:
        // A port the device has not reported yet has no counters to read.
        if (const int ifIndex = std::exchange(m_clickedInterface, 0); ifIndex > 0)
            openTrafficGraph(ifIndex);
        return true;
    case res::kCmdTelnet:
        onTelnet();
        return true;
    case res::kCmdWeb:
        onWeb();
        return true;
    case res::kCmdOspf:
        LaunchOspf(this);
        return true;
    case res::kCmdAbout:
        runPage<CAboutDlg>();
        return true;
    case res::kCmdSmartTrunk: {
        QDialog trunk;
        platform::BuildDialog(&trunk, 131);
        trunk.setWindowIcon(platform::Icon(447));
        connect(platform::Item<QPushButton>(&trunk, 1), &QPushButton::clicked, &trunk,
                &QDialog::accept);
        connect(platform::Item<QPushButton>(&trunk, 2), &QPushButton::clicked, &trunk,
                &QDialog::reject);
        platform::RunModal(&trunk);
        return true;
    }
    case res::kCmdNothing1:
    case res::kCmdNothing2:
        return true;
    default:
        return false;
    }
}

bool CPanelDlg::OnSysCommand(int id) {
    if (!IsAboutSysCommand(id)) return false;
    runPage<CAboutDlg>();
    return true;
}

bool CPanelDlg::haveRight() {
    if (!g_bUserRight) platform::MessageBox(this, QString::fromUtf8(kNoRightText));
    return g_bUserRight != 0;
}

bool CPanelDlg::confirm(const char* question) {
    return platform::MessageBox(this, QString::fromUtf8(question), true) == platform::Answer::Ok;
}

void CPanelDlg::onTelnet() {
    if (haveRight() && confirm("Do you want to TELNET this device?")) LaunchTelnet(this);
}

void CPanelDlg::onWeb() {
    if (haveRight() && confirm("Do you want to access this device with browser?"))
        LaunchBrowser(this);
}

void CPanelDlg::reject() {
    // Graph windows may outlive the page that opened them: they are found wherever they are.
    QStringList graphs;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const auto* graph = qobject_cast<graphs::CTrafficGraphWnd*>(w);
        if (graph && graph->isVisible())
            graphs << QStringLiteral("%1 (%2)").arg(graph->windowTitle(),
                                                    counted(graph->store().size(), "sample"));
    }
    if (!graphs.isEmpty()) {
        graphs.sort();
        constexpr qsizetype kNamed = 8;
        const qsizetype count = graphs.size();
        if (count > kNamed) {
            graphs.resize(kNamed);
            graphs << QStringLiteral("and %1 more").arg(count - kNamed);
        }
        const QString question =
            QStringLiteral("Closing the module also closes %1, and the "
                           "samples they hold are lost:\n%2\nClose the module?")
                .arg(counted(count, "traffic graph window"), graphs.join(QLatin1Char('\n')));
        if (platform::MessageBox(this, question, true) != platform::Answer::Ok) return;
    }
    QDialog::reject();
}

void CPanelDlg::keyPressEvent(QKeyEvent* event) {
    // Enter goes to the hidden default button, which does nothing; Escape ends the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_hiddenDefault->click();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
        showSystemMenu(mapToGlobal(QPoint(0, 0)));
        return;
    }
    QDialog::keyPressEvent(event);
}

void CPanelDlg::contextMenuEvent(QContextMenuEvent* event) {
    showSystemMenu(event->globalPos());
}

void CPanelDlg::showSystemMenu(const QPoint& globalPos) {
    const QString about = QString::fromUtf8(res::String(101));
    if (about.isEmpty()) return;
    QMenu menu(this);
    QAction* a = menu.addAction(about);
    if (menu.exec(globalPos) == a) OnSysCommand(16);
}
