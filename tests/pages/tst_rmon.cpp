// The RMON pages and the counter displays, real dialogs under the offscreen platform, against
// talvex-sim's RMON groups, reached through the menu commands and the buttons.
#include "app/paneldlg.h"
#include "pages/alarmeventdlg.h"
#include "pages/rmoncounterdlgs.h"
#include "pages/rmonhistorydlg.h"
#include "pages/rmonstatdlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QtTest>

namespace {

namespace rmonStat = res::rmonStat;
namespace rmonHistory = res::rmonHistory;
namespace alarmEvent = res::alarmEvent;
namespace rmonParameter = res::rmonParameter;
namespace rmonInterface = res::rmonInterface;

constexpr int kTimeoutMs = 2000; // retries every 500 ms
constexpr const char* kStats = "1.3.6.1.2.1.16.1.1.1";

QString label(QWidget* page, int id) {
    return ItemText(page, id);
}

} // namespace

class TestRmon : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;
    SimProcess* m_agent = nullptr; // the simulator the pages talk to
    // Modal runs by class name; each driver shows its dialog, works it and leaves it.
    QHash<QString, std::function<void(QDialog*)>> m_drivers;
    QStringList m_modalRuns;
    QStringList m_messages;
    platform::Answer m_answer = platform::Answer::Ok;

    QString sim(const QString& line) { return m_agent->command(line); }
    int served() { return sim(QStringLiteral("served")).toInt(); }
    void use(SimProcess& agent) {
        m_agent = &agent;
        SetSnmpAgentPort(agent.port());
    }
    QString snmpget(const QString& oid) {
        return RunTool(QStringLiteral("snmpget"),
                       {"-v2c", "-c", "orchid", "-Oqv",
                        "127.0.0.1:" + QString::number(m_agent->port()), oid})
            .trimmed()
            .remove(QLatin1Char('"'));
    }
    // An interface of the simulated chassis with its link up: traffic flows on it.
    QString portWithLink() {
        const QStringList states =
            RunTool(QStringLiteral("snmpwalk"),
                    {"-v2c", "-c", "orchid", "-Oqv",
                     "127.0.0.1:" + QString::number(m_agent->port()), "1.3.6.1.2.1.2.2.1.8"})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (int i = 2; i < states.size(); ++i) // past the management ports
            if (states[i].trimmed() == QLatin1String("up") ||
                states[i].trimmed() == QLatin1String("1"))
                return QString::number(i + 1);
        return {};
    }
    void driver(const char* className, std::function<void(QDialog*)> drive) {
        m_drivers[QLatin1String(className)] = std::move(drive);
    }

private slots:
    void initTestCase() {
        QVERIFY(StartStaticSimulator(m_sim, kTimeoutMs));
        platform::SetRunModalHook([this](QDialog* d) {
            const QString name = QString::fromLatin1(d->metaObject()->className());
            m_modalRuns << name;
            if (auto drive = m_drivers.value(name)) drive(d);
            return d->result();
        });
        platform::SetMessageBoxHook([this](QWidget*, const QString& text, bool) {
            m_messages << text;
            return m_answer;
        });
    }

    void cleanupTestCase() {
        platform::SetRunModalHook({});
        platform::SetMessageBoxHook({});
        SetSnmpAgentPort(0);
    }

    void init() {
        use(*m_sim);
        QCOMPARE(sim("faults"), QString("ok"));
        g_strProxyAddress = QStringLiteral("0.0.0.0");
        g_bUserRight = 1;
        m_drivers.clear();
        m_modalRuns.clear();
        m_messages.clear();
        m_answer = platform::Answer::Ok;
    }

    // The menu opens each page modally; each walks its tables as it opens.
    void pagesThroughMenu() {
        driver("CRmonStatDlg", [this](QDialog* d) {
            auto* page = qobject_cast<CRmonStatDlg*>(d);
            page->show();
            QCOMPARE(page->windowTitle(),
                     QStringLiteral(" RMON 1 Group Statistic Info： Port - 1"));
            QCOMPARE(page->list()->heading(1), QStringLiteral("      Source       "));
            const QFontMetrics fm(page->list()->header()->font());
            QCOMPARE(page->list()->header()->sectionSize(1),
                     fm.horizontalAdvance("      Source       ") + 15);
            QTRY_VERIFY(!page->walk().busy() && page->list()->rowCount() > 0);
            const QList<QStringList> r = rows(page->list());
            QCOMPARE(r.size(), 8);
            QCOMPARE(r[0][0], QStringLiteral("1"));
            QCOMPARE(r[0][1], QStringLiteral("Interface #") +
                                  snmpget("1.3.6.1.2.1.16.1.1.1.2.1").section('.', -1));
            QCOMPARE(label(page, rmonStat::kCount), QStringLiteral("8"));
            QCOMPARE(page->recordedRows(), 8);
            QCOMPARE(page->recordedIndex(8), QStringLiteral("8"));
            QCOMPARE(page->recordedIndex(9), QString());
            QVERIFY(enabled(page, rmonStat::kAdd));
            QVERIFY(!enabled(page, rmonStat::kDelete));
            saveShot(page, "rmon-statistics-page.png");
            page->reject();
        });
        driver("CRmonHistoryDlg", [this](QDialog* d) {
            auto* page = qobject_cast<CRmonHistoryDlg*>(d);
            page->show();
            QCOMPARE(page->windowTitle(), QStringLiteral(" RMON 2 History Group Information"));
            QCOMPARE(page->samples()->heading(0), QStringLiteral("   Time                "));
            // The samples of the first control entry follow the control walk by themselves.
            QTRY_COMPARE(page->samples()->rowCount(), 8);
            QTRY_VERIFY(!page->controlWalk().busy() && !page->sampleWalk().busy());
            const QList<QStringList> controls = rows(page->controls());
            QCOMPARE(controls.size(), 2);
            QCOMPARE(controls[0].mid(2), (QStringList{"monitor", "50", "30"}));
            QVERIFY(controls[0][1].startsWith(QStringLiteral("Interface #")));
            QCOMPARE(rows(page->samples())[0][0], QStringLiteral("0 Hours 0 Minutes "));
            QVERIFY(!platform::DialogItem(page, rmonHistory::kPrint)->isVisible());
            saveShot(page, "rmon-history-page.png");
            page->reject();
        });
        driver("CAlarmEventDlg", [this](QDialog* d) {
            auto* page = qobject_cast<CAlarmEventDlg*>(d);
            page->show();
            QCOMPARE(page->windowTitle(), QStringLiteral(" Alarm & Event Information"));
            QCOMPARE(page->alarms()->heading(2), QStringLiteral("  OID  "));
            QCOMPARE(page->alarms()->columnCount(), 11);
            QTRY_VERIFY(!page->eventWalk().busy() && !page->alarmWalk().busy());
            QCOMPARE(label(page, alarmEvent::kEventCount), QStringLiteral("4"));
            QCOMPARE(label(page, alarmEvent::kAlarmCount), QStringLiteral("3"));
            QCOMPARE(column(page->events(), 2),
                     (QStringList{"Nothing", "Log", "Snmp_Trap", "Log And Snmp_Trap"}));
            QCOMPARE(column(page->alarms(), 3),
                     (QStringList{"deltaValue", "absoluteValue", "deltaValue"}));
            QCOMPARE(column(page->alarms(), 5),
                     (QStringList{"Rising", "Falling", "Rising/Falling"}));
            QCOMPARE(rows(page->alarms())[0][2], QStringLiteral("1.3.6.1.2.1.16.1.1.1.5.1"));
            for (int id : {alarmEvent::kEventDelete, alarmEvent::kAlarmDelete})
                QVERIFY(!enabled(page, id));
            for (int id : {alarmEvent::kEventPrint, alarmEvent::kAlarmPrint})
                QVERIFY(!platform::DialogItem(page, id)->isVisible());
            saveShot(page, "rmon-alarm-event-page.png");
            page->reject();
        });
        CPanelDlg panel;
        for (int id : {res::kCmdRmonStat, res::kCmdRmonHistory, res::kCmdAlarmEvent})
            QVERIFY(panel.OnCommand(id));
        QCOMPARE(m_modalRuns, (QStringList{"CRmonStatDlg", "CRmonHistoryDlg", "CAlarmEventDlg"}));
    }

    // Through a proxy every row keeps its columns: the proxy binding has none. (The simulator
    // answers the proxy binding as any other OID, and its walk of that binding reaches the end
    // of the simulator's tree after a few rows.)
    void proxiedWalks() {
        g_strProxyAddress = QStringLiteral("127.0.0.1");
        CRmonStatDlg stat;
        CAlarmEventDlg alarms;
        QTRY_VERIFY(!stat.walk().busy() && !alarms.alarmWalk().busy() &&
                    !alarms.eventWalk().busy());
        for (platform::ListView* list : {stat.list(), alarms.alarms(), alarms.events()}) {
            QVERIFY(list->rowCount() > 0);
            for (const QStringList& row : rows(list))
                QVERIFY(!row.last().isEmpty() && !row.first().isEmpty());
        }
        QCOMPARE(
            rows(stat.list())[0],
            (QStringList{"1", "Interface #" +
                                  snmpget(QStringLiteral("%1.2.1").arg(kStats)).section('.', -1)}));
    }

    // The port in the title comes from the selected row's source; an interface the device does
    // not have, or a source that is no interface, shows port 1. Interface indexes need not run
    // from 1 to ifNumber.
    void statPageSelectedPort_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("port");
        QTest::newRow("Interface #12, ifNumber 8") << "1.3.6.1.2.1.2.2.1.1.12"
                                                   << "Interface #12" << 12;
        QTest::newRow("Interface #5") << "1.3.6.1.2.1.2.2.1.1.5"
                                      << "Interface #5" << 5;
        QTest::newRow("Interface #10101, sparse") << "1.3.6.1.2.1.2.2.1.1.10101"
                                                  << "Interface #10101" << 10101;
        QTest::newRow("Interface #10102, none") << "1.3.6.1.2.1.2.2.1.1.10102"
                                                << "Interface #10102" << 1;
        QTest::newRow("no interface") << "1.3.6.1.2.1.31.1.1.1.1.3"
                                      << "1.3.6.1.2.1.31.1.1.1.1.3" << 1;
    }
    void statPageSelectedPort() {
        QFETCH(QString, source);
        QFETCH(QString, shown);
        QFETCH(int, port);
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        sim("put 1.3.6.1.2.1.2.1.0 i 8");
        sim("put 1.3.6.1.2.1.2.2.1.1.10101 i 10101");
        sim(QStringLiteral("put %1.2.3 o %2").arg(kStats, source));
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.list()->rowCount() == 8 && page.interfacesRead());
        QVERIFY(page.interfaceIndexes().contains(10101));
        QCOMPARE(page.list()->text(2, 1), shown);
        clickRow(page.list(), 2);
        QCOMPARE(page.windowTitle(),
                 QStringLiteral(" RMON 1 Group Statistic Info： Port - %1").arg(port));
        QVERIFY(enabled(&page, rmonStat::kDelete));
        // Without the right to change the device the row is shown, never deleted.
        g_bUserRight = 0;
        clickRow(page.list(), 1);
        QVERIFY(!enabled(&page, rmonStat::kDelete));
    }

    // Refresh while the walk is out empties the list; the walk goes on filling it, and the
    // recorded rows follow the list.
    void statPageRefreshDuringWalk() {
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.interfacesRead());
        sim("delay 150");
        sim("truncate 2"); // answers of one row: the walk takes a round trip a row
        const int before = served();
        click(&page, rmonStat::kRefresh);
        QTRY_COMPARE(page.list()->rowCount(), 2);
        click(&page, rmonStat::kRefresh);
        QCOMPARE(page.list()->rowCount(), 0);
        QCOMPARE(label(&page, rmonStat::kCount), QStringLiteral("0"));
        QCOMPARE(page.recordedRows(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!page.walk().busy(), 5000);
        QCOMPARE(served(), before + 9); // one walk: 8 rows and the end
        const QStringList indexes = column(page.list(), 0);
        QCOMPARE(indexes, (QStringList{"3", "4", "5", "6", "7", "8"}));
        QCOMPARE(page.recordedRows(), 6);
        QCOMPARE(page.recordedIndex(1), QStringLiteral("3"));
        QCOMPARE(label(&page, rmonStat::kCount), QStringLiteral("6"));
    }

    // 30 probes make two groups: group 2 has items 1 to 6, and Next wraps to group 1.
    void groupDisplaySteps() {
        SimProcess agent({"--static", "--rmon-probes", "30"});
        QVERIFY(agent.started());
        use(agent);
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 30);
        QCOMPARE(page.groupCount(), 2);
        driver("CRmonParamDlg", [this, &page](QDialog* d) {
            auto* display = qobject_cast<CRmonParamDlg*>(d);
            display->show();
            QCOMPARE(display->windowTitle(), QStringLiteral(" RMON 1 Group Parameter Information"));
            QVERIFY(enabled(display, rmonParameter::kPrev) &&
                    enabled(display, rmonParameter::kNext));
            QCOMPARE(label(display, rmonParameter::kFirstItem), QStringLiteral("Item 1"));
            QCOMPARE(label(display, rmonParameter::kFirstItem + 23), QStringLiteral("Item 24"));
            QTRY_COMPARE(label(display, rmonParameter::kFirstValue + 23),
                         snmpget(QStringLiteral("%1.4.24").arg(kStats)));
            click(display, rmonParameter::kNext);
            QCOMPARE(display->group(), 2);
            QCOMPARE(label(display, rmonParameter::kFirstItem), QStringLiteral("Item 25"));
            QCOMPARE(label(display, rmonParameter::kFirstItem + 5), QStringLiteral("Item 30"));
            QTRY_COMPARE(label(display, rmonParameter::kFirstValue + 5),
                         snmpget(QStringLiteral("%1.4.30").arg(kStats)));
            for (int i = 7; i <= 24; ++i) {
                QCOMPARE(label(display, 1100 + i), QString());
                QCOMPARE(label(display, 1200 + i), QString());
                QVERIFY(!enabled(display, 1100 + i) && !enabled(display, 1200 + i));
            }
            QVERIFY(enabled(display, rmonParameter::kFirstItem + 5) &&
                    enabled(display, rmonParameter::kFirstValue + 5));
            click(display, rmonParameter::kNext);
            QCOMPARE(display->group(), 1);
            QCOMPARE(label(display, rmonParameter::kFirstItem + 23), QStringLiteral("Item 24"));
            QVERIFY(enabled(display, rmonParameter::kFirstItem + 23) &&
                    enabled(display, rmonParameter::kFirstValue + 23));
            click(display, rmonParameter::kPrev); // below group 1: the last group, blanked again
            QCOMPARE(display->group(), 2);
            QVERIFY(!enabled(display, rmonParameter::kFirstItem + 6));
            click(display, rmonParameter::kPrev);
            QCOMPARE(display->group(), 1);
            QVERIFY(enabled(display, rmonParameter::kFirstItem + 6));
            QTRY_VERIFY(!label(display, rmonParameter::kFirstValue + 23).isEmpty());
            saveShot(display, "rmon-group-display.png");
            click(display, 2);
        });
        click(&page, rmonStat::kParameter);
        QCOMPARE(m_modalRuns, QStringList{"CRmonParamDlg"});
    }

    // Each counter name reads its own column of etherStatsTable: "Collisions" reads 13, not 12.
    void groupDisplayCounters() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        for (int c = 3; c <= 19; ++c)
            sim(QStringLiteral("put %1.%2.1 c %3").arg(kStats).arg(c).arg(c * 1000 + 1));
        CRmonStatDlg page;
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8);
        CRmonParamDlg display(&page, page.groupCount());
        QVERIFY(!enabled(&display, rmonParameter::kPrev) &&
                !enabled(&display, rmonParameter::kNext)); // 24 rows or fewer
        auto* combo = platform::Item<QComboBox>(&display, rmonParameter::kCounterCombo);
        QCOMPARE(combo->count(), 15);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i) {
            QTRY_VERIFY(!display.items()[0]->busy());
            combo->setCurrentIndex(i);
            QTRY_VERIFY(!display.items()[0]->busy());
            shown << combo->currentText() + '=' + label(&display, rmonParameter::kFirstValue);
        }
        QCOMPARE(shown,
                 (QStringList{"Octets=4001", "Pkts=5001", "BroadcastPkts=6001",
                              "MulticastPkts=7001", "CRCAlignErrors=8001", "UndersizePkts=9001",
                              "OversizePkts=10001", "Fragments=11001", "Collisions=13001",
                              "Pkts64Octets=14001", "Pkts65to127Octets=15001",
                              "Pkts128to255Octets=16001", "Pkts256to511Octets=17001",
                              "Pkts512to1023Octets=18001", "Pkts1024to1518Octets=19001"}));
        // An item whose get was out when the counter changed shows the new counter by the
        // next tick at the latest. Items 9 to 24 have no probe: blank, never asked.
        QTRY_COMPARE_WITH_TIMEOUT(label(&display, rmonParameter::kFirstValue + 7),
                                  snmpget(QStringLiteral("%1.19.8").arg(kStats)),
                                  kCounterTimerMs + 1000);
        QCOMPARE(label(&display, rmonParameter::kFirstValue + 8), QString());
        QVERIFY(!display.items()[8]->busy());
    }

    // Each row of the interface display reads its counter from the probe chosen in that row;
    // the page's selected row is every row's first choice.
    void interfaceDisplayRows() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        sim(QStringLiteral("put %1.3.4 c 304").arg(kStats));
        sim(QStringLiteral("put %1.4.4 c 404").arg(kStats));
        sim(QStringLiteral("put %1.4.7 c 407").arg(kStats));
        sim(QStringLiteral("put %1.13.4 c 1304").arg(kStats));
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8);
        driver("CRmonIntfDlg", [this](QDialog* d) {
            auto* display = qobject_cast<CRmonIntfDlg*>(d);
            display->show();
            QCOMPARE(display->windowTitle(), QStringLiteral(" RMON 1 Group Interface Information"));
            for (int r = 0; r < 17; ++r)
                QCOMPARE(platform::Item<QComboBox>(display, 1301 + r)->currentText(),
                         QStringLiteral("4"));
            // Each row's counter is a get of its own, and their answers are taken in any order.
            QTRY_COMPARE(label(display, rmonInterface::kFirstValue), QStringLiteral("304"));
            QTRY_COMPARE(label(display, rmonInterface::kFirstValue + 1), QStringLiteral("404"));
            QTRY_COMPARE(label(display, rmonInterface::kFirstValue + 10),
                         QStringLiteral("1304")); // Collisions
            platform::Item<QComboBox>(display, rmonInterface::kFirstProbe + 1)
                ->setCurrentIndex(6); // Octets of probe 7
            QTRY_COMPARE(label(display, rmonInterface::kFirstValue + 1), QStringLiteral("407"));
            QCOMPARE(label(display, rmonInterface::kFirstValue), QStringLiteral("304"));
            saveShot(display, "rmon-interface-display.png");
            click(display, 2);
        });
        clickRow(page.list(), 3, true); // a double-click on probe 4
        QCOMPARE(m_modalRuns, QStringList{"CRmonIntfDlg"});
        // The Interface button without a selection starts every row at the first probe.
        page.list()->clearSelection();
        driver("CRmonIntfDlg", [](QDialog* d) {
            QCOMPARE(platform::Item<QComboBox>(d, rmonInterface::kFirstProbe + 16)->currentText(),
                     QStringLiteral("1"));
        });
        click(&page, rmonStat::kInterface);
        QCOMPARE(m_modalRuns.size(), 2);
    }

    // A display asks again every 2 seconds, by its own timer, but never for an object whose get
    // is still out.
    void displaysSkipOutstandingGets() {
        CRmonStatDlg page;
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8 && page.interfacesRead());
        sim("delay 300");
        int before = served();
        {
            CRmonIntfDlg display(&page, 0);
            QCOMPARE(served(), before + 17);
            click(&display,
                  rmonInterface::kRefresh); // every get is still out: nothing more is sent
            QTRY_VERIFY(std::none_of(display.items().begin(), display.items().end(),
                                     [](const CounterGet* g) { return g->busy(); }));
            QCOMPARE(served(), before + 17);
            sim("delay 0");
            sim(QStringLiteral("put %1.5.1 c 777").arg(kStats));
            QTRY_COMPARE_WITH_TIMEOUT(label(&display, rmonInterface::kFirstValue + 2),
                                      QStringLiteral("777"), kCounterTimerMs + 2000);
            QVERIFY(served() >= before + 34);
        }
        sim("delay 300");
        before = served();
        CRmonParamDlg display(&page, page.groupCount());
        QCOMPARE(served(), before + 8); // one get per probe, none for the blank items
        click(&display, rmonParameter::kRefresh);
        QCOMPARE(served(), before + 8);
        // A get that goes unanswered is given up after the time-out and asked again.
        sim("delay 0");
        sim("drop 1");
        QTest::qWait(kCounterTimerMs + 600);
        const int dropping = served();
        sim("drop 0");
        sim(QStringLiteral("put %1.4.2 c 4242").arg(kStats));
        QTRY_COMPARE_WITH_TIMEOUT(label(&display, rmonParameter::kFirstValue + 1),
                                  QStringLiteral("4242"), kTimeoutMs + 2 * kCounterTimerMs + 1000);
        QVERIFY(served() > dropping);
    }

    // With no counter chosen there is nothing to read: the operator is told, on every try.
    void groupDisplayWithoutCounter() {
        CRmonStatDlg page;
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8 && page.interfacesRead());
        CRmonParamDlg display(&page, page.groupCount());
        QTRY_VERIFY(!display.items()[0]->busy());
        platform::Item<QComboBox>(&display, rmonParameter::kCounterCombo)->setCurrentIndex(-1);
        QCOMPARE(m_messages, QStringList{"Please input parameter!"});
        const int before = served();
        QTRY_COMPARE_WITH_TIMEOUT(m_messages.size(), 2, kCounterTimerMs + 1000); // the timer's try
        QCOMPARE(served(), before);
    }

    // No probes: the displays show nothing and ask nothing. 257 probes: the 257th is listed,
    // but no display reaches past the 256 recorded.
    void displaysAtTheEdgesOfTheTable() {
        {
            SimProcess agent({"--static"});
            QVERIFY(agent.started());
            use(agent);
            sim(QStringLiteral("delbelow %1").arg(kStats));
            CRmonStatDlg page;
            QTRY_VERIFY(!page.walk().busy() && page.interfacesRead());
            QCOMPARE(page.groupCount(), 0);
            const int before = served();
            CRmonParamDlg group(&page, page.groupCount());
            CRmonIntfDlg probes(&page, 0);
            for (int i = 1; i <= 24; ++i)
                QVERIFY(label(&group, 1100 + i).isEmpty() && !enabled(&group, 1200 + i));
            QVERIFY(!enabled(&group, rmonParameter::kPrev) &&
                    !enabled(&group, rmonParameter::kNext));
            QTest::qWait(kCounterTimerMs + 300);
            QCOMPARE(served(), before);
        }
        SimProcess agent({"--static", "--rmon-probes", "257"});
        QVERIFY(agent.started());
        use(agent);
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY_WITH_TIMEOUT(
            !page.walk().busy() && page.list()->rowCount() == 257 && page.interfacesRead(), 15000);
        QCOMPARE(label(&page, rmonStat::kCount), QStringLiteral("257"));
        QCOMPARE(page.recordedRows(), 256);
        QCOMPARE(page.recordedIndex(256), QStringLiteral("256"));
        QCOMPARE(page.recordedIndex(257), QString());
        QCOMPARE(page.groupCount(), 11);
        driver("CRmonParamDlg", [this](QDialog* d) {
            auto* display = qobject_cast<CRmonParamDlg*>(d);
            QTRY_VERIFY(std::none_of(display->items().begin(), display->items().end(),
                                     [](const CounterGet* g) { return g->busy(); }));
            const int before = served();
            click(display,
                  rmonParameter::kPrev); // to the last group: rows 241 to 256, then nothing
            QCOMPARE(display->group(), 11);
            QCOMPARE(served(), before + 16);
            QCOMPARE(label(display, rmonParameter::kFirstItem + 15), QStringLiteral("Item 256"));
            QCOMPARE(label(display, rmonParameter::kFirstItem + 16), QString());
            QVERIFY(!enabled(display, rmonParameter::kFirstValue + 16));
            QTRY_VERIFY(!display->items()[15]->busy());
        });
        click(&page, rmonStat::kParameter);
        // The unrecorded row opens the interface display with no probe chosen: nothing is read.
        driver("CRmonIntfDlg", [this](QDialog* d) {
            auto* display = qobject_cast<CRmonIntfDlg*>(d);
            QCOMPARE(platform::Item<QComboBox>(display, rmonInterface::kFirstProbe)->count(), 256);
            QCOMPARE(platform::Item<QComboBox>(display, rmonInterface::kFirstProbe)->currentText(),
                     QString());
            QVERIFY(std::none_of(display->items().begin(), display->items().end(),
                                 [](const CounterGet* g) { return g->busy(); }));
        });
        clickRow(page.list(), 256, true);
        QCOMPARE(m_modalRuns, (QStringList{"CRmonParamDlg", "CRmonIntfDlg"}));
    }

    // The added probe is created and then made valid, so it counts; a refused creation
    // leaves nothing behind.
    void addedProbeCounts() {
        SimProcess agent; // live: links carry traffic
        QVERIFY(agent.started());
        use(agent);
        const QString port = portWithLink();
        QVERIFY(!port.isEmpty());
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8);
        auto fill = [this](const QString& index, const QString& source) {
            driver("CRmonAddDlg", [index, source](QDialog* d) {
                QCOMPARE(ItemText(d, rmonStat::kAddProperty), QStringLiteral("Orvane"));
                QCOMPARE(ItemText(d, rmonStat::kAddIndex), QString());
                platform::Item<QLineEdit>(d, rmonStat::kAddIndex)->setText(index);
                platform::Item<QLineEdit>(d, rmonStat::kAddSource)->setText(source);
                click(d, 1);
            });
        };
        fill("40", port);
        click(&page, rmonStat::kAdd);
        QTRY_COMPARE(snmpget(QStringLiteral("%1.21.40").arg(kStats)), QStringLiteral("1"));
        QTRY_VERIFY(!page.entrySets().creating());
        QVERIFY(m_messages.isEmpty()); // an accepted set says nothing
        QCOMPARE(snmpget(QStringLiteral("%1.20.40").arg(kStats)), QStringLiteral("Orvane"));
        QTRY_VERIFY(!page.walk().busy());
        QCOMPARE(column(page.list(), 0).last(), QStringLiteral("40"));
        QCOMPARE(column(page.list(), 1).last(), QStringLiteral("Interface #") + port);
        const quint64 first = snmpget(QStringLiteral("%1.4.40").arg(kStats)).toULongLong();
        QTRY_VERIFY_WITH_TIMEOUT(
            snmpget(QStringLiteral("%1.4.40").arg(kStats)).toULongLong() > first, 5000);

        // A source the device does not have, an index that exists and an index that cannot be
        // are refused, and the operator is told which object and why; nothing is made valid,
        // and the list shows what the device holds.
        const struct {
            QString index, source, refusal;
        } refused[] = {
            {"41", "999", "etherStatsDataSource.41: inconsistentValue"},
            {"3", port, "etherStatsStatus.3: inconsistentValue"},
            {"0", port, "etherStatsStatus.0: noCreation"},
        };
        for (const auto& r : refused) {
            const QString status = snmpget(QStringLiteral("%1.21.%2").arg(kStats, r.index));
            m_messages.clear();
            fill(r.index, r.source);
            click(&page, rmonStat::kAdd);
            QTRY_VERIFY(!page.entrySets().creating() && !page.walk().busy());
            QCOMPARE(m_messages, QStringList{"The device refused the change of " + r.refusal});
            QCOMPARE(snmpget(QStringLiteral("%1.21.%2").arg(kStats, r.index)), status);
        }
        QCOMPARE(page.list()->rowCount(), 9);
        m_messages.clear();

        // Delete asks first; Cancel keeps the probe, OK deletes it.
        clickRow(page.list(), 8);
        QVERIFY(enabled(&page, rmonStat::kDelete));
        m_answer = platform::Answer::Cancel;
        click(&page, rmonStat::kDelete);
        QCOMPARE(m_messages, QStringList{"Do you want to delete this item?"});
        QCOMPARE(snmpget(QStringLiteral("%1.21.40").arg(kStats)), QStringLiteral("1"));
        m_answer = platform::Answer::Ok;
        click(&page, rmonStat::kDelete);
        QTRY_VERIFY(snmpget(QStringLiteral("%1.21.40").arg(kStats))
                        .contains(QStringLiteral("No Such Instance")));
        QTRY_VERIFY(!page.walk().busy());
        QCOMPARE(page.list()->rowCount(), 8);
        QVERIFY(!enabled(&page, rmonStat::kDelete));
    }

    // Two Adds before the first creation is answered: each creation is awaited, and both
    // entries end valid. An Add the device does not answer is told.
    void quickAddsBothCreated() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        CRmonStatDlg page;
        page.show();
        QTRY_VERIFY(!page.walk().busy() && page.recordedRows() == 8);
        sim("delay 400");
        for (const char* index : {"81", "82"}) {
            driver("CRmonAddDlg", [index](QDialog* d) {
                platform::Item<QLineEdit>(d, rmonStat::kAddIndex)
                    ->setText(QString::fromLatin1(index));
                platform::Item<QLineEdit>(d, rmonStat::kAddSource)->setText(QStringLiteral("3"));
                click(d, 1);
            });
            click(&page, rmonStat::kAdd);
        }
        QVERIFY(page.entrySets().creating());
        QTRY_VERIFY_WITH_TIMEOUT(!page.entrySets().creating(), 5000);
        sim("delay 0");
        QCOMPARE(snmpget(QStringLiteral("%1.21.81").arg(kStats)), QStringLiteral("1"));
        QCOMPARE(snmpget(QStringLiteral("%1.21.82").arg(kStats)), QStringLiteral("1"));
        QVERIFY(m_messages.isEmpty());

        sim("drop 1");
        driver("CRmonAddDlg", [](QDialog* d) {
            platform::Item<QLineEdit>(d, rmonStat::kAddIndex)->setText(QStringLiteral("83"));
            platform::Item<QLineEdit>(d, rmonStat::kAddSource)->setText(QStringLiteral("3"));
            click(d, 1);
        });
        click(&page, rmonStat::kAdd);
        QTRY_VERIFY_WITH_TIMEOUT(!page.entrySets().creating(), kTimeoutMs + 2000);
        QCOMPARE(m_messages,
                 QStringList{"The device did not answer the change of etherStatsStatus.83, "
                             "etherStatsDataSource.83, etherStatsOwner.83."});
    }

    // A createRequest checked in a set the device then refuses leaves nothing behind: a later
    // set of another column of that entry alone creates nothing.
    void refusedCreationLeavesNoRow() {
        const QString agent = "127.0.0.1:" + QString::number(m_agent->port());
        bool ok = true;
        const QString refused =
            RunTool(QStringLiteral("snmpset"),
                    {"-v2c", "-c", "saffron", "-t", "1", "-r", "0", agent,
                     QStringLiteral("%1.21.44").arg(kStats), "i", "2",
                     QStringLiteral("%1.2.44").arg(kStats), "o", "1.3.6.1.2.1.2.2.1.1.9999"},
                    &ok);
        QVERIFY(!ok);
        const QString owner = RunTool(QStringLiteral("snmpset"),
                                      {"-v2c", "-c", "saffron", "-t", "1", "-r", "0", agent,
                                       QStringLiteral("%1.20.44").arg(kStats), "s", "late"},
                                      &ok);
        QVERIFY(!ok);
        QVERIFY(snmpget(QStringLiteral("%1.21.44").arg(kStats))
                    .contains(QStringLiteral("No Such Instance")));
    }

    // A click beside the rows empties the selection, and Delete follows it: nothing selected,
    // nothing to delete.
    void clickBesideRowsDisablesDelete_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("listId");
        QTest::addColumn<int>("deleteId");
        QTest::newRow("probe") << 0 << 1001 << 1004;
        QTest::newRow("history control") << 1 << 1020 << 1023;
        QTest::newRow("event") << 2 << 1040 << 1042;
        QTest::newRow("alarm") << 2 << 1050 << 1052;
    }
    void clickBesideRowsDisablesDelete() {
        QFETCH(int, page);
        QFETCH(int, listId);
        QFETCH(int, deleteId);
        std::unique_ptr<QDialog> dialog;
        if (page == 0)
            dialog = std::make_unique<CRmonStatDlg>();
        else if (page == 1)
            dialog = std::make_unique<CRmonHistoryDlg>();
        else
            dialog = std::make_unique<CAlarmEventDlg>();
        dialog->show();
        auto* list = platform::Item<platform::ListView>(dialog.get(), listId);
        QTRY_VERIFY(list->rowCount() > 1);
        clickRow(list, 1);
        QVERIFY(enabled(dialog.get(), deleteId));
        const QPoint below(10, list->viewport()->height() - 3);
        QVERIFY(list->rowAt(below) < 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QVERIFY(list->selectedRows().isEmpty());
        QVERIFY(!enabled(dialog.get(), deleteId));
    }

    void sampleTime_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("359999") << "359999"
                                << "0 Hours 59 Minutes ";
        QTest::newRow("3723 s") << "372300"
                                << "1 Hours 2 Minutes ";
        QTest::newRow("0") << "0"
                           << "0 Hours 0 Minutes ";
        QTest::newRow("empty") << ""
                               << "";
    }
    void sampleTime() {
        QFETCH(QString, value);
        QFETCH(QString, text);
        QCOMPARE(SampleTimeText(value), text);
    }

    // The samples of the selected control entry; a sample taken at 359 999 hundredths reads
    // 0 hours and 59 minutes. The totals of an interval of 1800 s show per second, the
    // utilisation (hundredths of a percent) with two decimals.
    void historyPageSamples() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        // A sample of entry 2, which has none: every column the page reads.
        auto putSample = [this](int sample, int ticks, int octets) {
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.3.2.%1 t %2").arg(sample).arg(ticks));
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.5.2.%1 c %2").arg(sample).arg(octets));
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.6.2.%1 c 9000").arg(sample));
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.9.2.%1 c 1800").arg(sample));
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.15.2.%1 i 286").arg(sample));
        };
        putSample(7, 359999, 123456);
        sim("put 1.3.6.1.2.1.16.2.2.1.3.1.3 t 4567800");
        CRmonHistoryDlg page;
        page.show();
        QTRY_COMPARE(page.samples()->rowCount(), 8);
        QTRY_VERIFY(!page.controlWalk().busy() && !page.sampleWalk().busy());
        QCOMPARE(rows(page.samples())[2][0], QStringLiteral("12 Hours 41 Minutes "));
        QVERIFY(!enabled(&page, rmonHistory::kDelete));
        clickRow(page.controls(), 1);
        QVERIFY(enabled(&page, rmonHistory::kDelete));
        QTRY_VERIFY(!page.sampleWalk().busy());
        // Control entry 2 has the one sample put there, not entry 1's.
        QCOMPARE(rows(page.samples()).size(), 1);
        QCOMPARE(rows(page.samples())[0],
                 (QStringList{"0 Hours 59 Minutes ", "69", "5", "2.86", "1.00"}));
        // The 20 s timer reads the samples again.
        putSample(8, 720000, 1);
        QTRY_COMPARE_WITH_TIMEOUT(page.samples()->rowCount(), 2, 23000);
        QCOMPARE(rows(page.samples())[1][0], QStringLiteral("2 Hours 0 Minutes "));
        clickRow(page.controls(), 0);
        QTRY_COMPARE(page.samples()->rowCount(), 8);
    }

    void sampleRates_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("perSecond");
        QTest::addColumn<QString>("utilization");
        QTest::addColumn<QString>("errorsPerSecond");
        QTest::newRow("286 over 30 s") << "286" << 30 << "10"
                                       << "2.86"
                                       << "9.53";
        QTest::newRow("rounded up") << "45" << 30 << "2"
                                    << "0.45"
                                    << "1.50";
        QTest::newRow("1 error in 30 s") << "1" << 30 << "0"
                                         << "0.01"
                                         << "0.03";
        QTest::newRow("3 errors in 30 s") << "3" << 30 << "0"
                                          << "0.03"
                                          << "0.10";
        QTest::newRow("10000, 1 s") << "10000" << 1 << "10000"
                                    << "100.00"
                                    << "10000.00";
        QTest::newRow("0") << "0" << 1800 << "0"
                           << "0.00"
                           << "0.00";
        QTest::newRow("largest counter") << "4294967295" << 3600 << "1193046"
                                         << "42949672.95"
                                         << "1193046.47";
        QTest::newRow("no interval") << "77" << 0 << "77"
                                     << "0.77"
                                     << "77";
        QTest::newRow("no number") << "" << 30 << ""
                                   << ""
                                   << "";
    }
    void sampleRates() {
        QFETCH(QString, value);
        QFETCH(int, interval);
        QFETCH(QString, perSecond);
        QFETCH(QString, utilization);
        QFETCH(QString, errorsPerSecond);
        QCOMPARE(PerSecondText(value, interval), perSecond);
        QCOMPARE(UtilizationText(value), utilization);
        QCOMPARE(PerSecondText(value, interval, 2), errorsPerSecond);
    }

    // The samples shown are the selected control's: a click on another control while a walk
    // of samples is out drops that walk, and a double-click walks once.
    void historySamplesFollowSelection() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        sim("put 1.3.6.1.2.1.16.2.2.1.3.2.1 t 100"); // entry 2's one sample
        for (int c : {5, 6, 9})
            sim(QStringLiteral("put 1.3.6.1.2.1.16.2.2.1.%1.2.1 c 1").arg(c));
        sim("put 1.3.6.1.2.1.16.2.2.1.15.2.1 i 1");
        CRmonHistoryDlg page;
        page.show();
        QTRY_VERIFY(page.samples()->rowCount() == 8 && !page.controlWalk().busy() &&
                    !page.sampleWalk().busy());
        sim("delay 150");
        click(&page, rmonHistory::kRefresh); // the samples of the first control again, slowly
        QVERIFY(page.sampleWalk().busy());
        clickRow(page.controls(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!page.sampleWalk().busy(), 5000);
        QTest::qWait(400); // answers of the dropped walk, were any still to come
        QCOMPARE(column(page.samples(), 0), QStringList{"0 Hours 0 Minutes "});

        sim("delay 60");
        page.controls()->clearSelection();
        clickRow(page.controls(), 0);
        clickRow(page.controls(), 0, true);
        QTRY_VERIFY_WITH_TIMEOUT(!page.sampleWalk().busy(), 5000);
        QCOMPARE(page.samples()->rowCount(), 8);
    }

    // With no control row selected the samples are the first control's, whether the device
    // has one control or more; the second control's one sample is never shown instead.
    void historyFirstControlWhenNoneSelected_data() {
        QTest::addColumn<bool>("single");
        QTest::newRow("two controls") << false;
        QTest::newRow("one control") << true;
    }
    void historyFirstControlWhenNoneSelected() {
        QFETCH(bool, single);
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        if (single)
            for (int c = 1; c <= 7; ++c)
                sim(QStringLiteral("del 1.3.6.1.2.1.16.2.1.1.%1.2").arg(c));
        else
            sim("put 1.3.6.1.2.1.16.2.2.1.3.2.1 t 100");
        CRmonHistoryDlg page;
        page.show();
        QTRY_VERIFY(!page.controlWalk().busy() && page.controls()->rowCount() == (single ? 1 : 2));
        QTRY_VERIFY(!page.sampleWalk().busy() && page.samples()->rowCount() > 0);
        QCOMPARE(page.controls()->selectedRows(), QList<int>{});
        QCOMPARE(page.samples()->rowCount(), 8);
    }

    // The add dialog's integer fields and their inclusive ranges.
    void historyAddBounds_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        // Each box names its field as the dialog does.
        const QString index = "Index: Please enter an integer between 1 and 200.";
        const QString source = "Source Port: Please enter an integer between 1 and 200.";
        const QString bucket = "Bucket: Please enter an integer between 1 and 50.";
        const QString interval = "Interval(S): Please enter an integer between 1 and 3600.";
        QTest::newRow("index 0") << 1030 << "0" << index;
        QTest::newRow("index 1") << 1030 << "1"
                                 << "";
        QTest::newRow("index 200") << 1030 << "200"
                                   << "";
        QTest::newRow("index 201") << 1030 << "201" << index;
        QTest::newRow("source 0") << 1031 << "0" << source;
        QTest::newRow("source 201") << 1031 << "201" << source;
        QTest::newRow("bucket 50") << 1033 << "50"
                                   << "";
        QTest::newRow("bucket 51") << 1033 << "51" << bucket;
        QTest::newRow("bucket 0") << 1033 << "0" << bucket;
        QTest::newRow("interval 3600") << 1034 << "3600"
                                       << "";
        QTest::newRow("interval 3601") << 1034 << "3601" << interval;
        QTest::newRow("interval text") << 1034 << "ten" << interval;
    }
    void historyAddBounds() {
        QFETCH(int, edit);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        CRmonHistoryAddDlg add;
        add.show();
        for (int id : {rmonHistory::kAddIndex, rmonHistory::kAddSource, rmonHistory::kAddBuckets,
                       rmonHistory::kAddInterval})
            QCOMPARE(ItemText(&add, id), QStringLiteral("0"));
        QCOMPARE(ItemText(&add, rmonHistory::kAddProperty), QStringLiteral("Orvane"));
        for (int id : {rmonHistory::kAddIndex, rmonHistory::kAddSource, rmonHistory::kAddBuckets,
                       rmonHistory::kAddInterval})
            platform::Item<QLineEdit>(&add, id)->setText(QStringLiteral("7"));
        platform::Item<QLineEdit>(&add, edit)->setText(text);
        click(&add, 1);
        if (refusal.isEmpty()) {
            QCOMPARE(add.result(), int(QDialog::Accepted));
            QVERIFY(m_messages.isEmpty());
        } else {
            QCOMPARE(m_messages, QStringList{refusal});
            QVERIFY(add.isVisible());
            QCOMPARE(add.focusWidget(), platform::DialogItem(&add, edit));
        }
    }

    // The added control entry is made valid, so the probe samples it; deleting it removes it.
    void addedHistoryEntrySamples() {
        SimProcess agent;
        QVERIFY(agent.started());
        use(agent);
        const QString port = portWithLink();
        CRmonHistoryDlg page;
        page.show();
        QTRY_VERIFY(page.controls()->rowCount() == 2 && !page.controlWalk().busy());
        driver("CRmonHistoryAddDlg", [port](QDialog* d) {
            for (auto [id, text] : {std::pair{rmonHistory::kAddIndex, "9"},
                                    {rmonHistory::kAddBuckets, "5"},
                                    {rmonHistory::kAddInterval, "1"}})
                platform::Item<QLineEdit>(d, id)->setText(QString::fromLatin1(text));
            platform::Item<QLineEdit>(d, rmonHistory::kAddSource)->setText(port);
            click(d, 1);
        });
        click(&page, rmonHistory::kAdd);
        QTRY_COMPARE(snmpget("1.3.6.1.2.1.16.2.1.1.7.9"), QStringLiteral("1"));
        QTRY_VERIFY(!page.controlWalk().busy() && page.controls()->rowCount() == 3);
        QCOMPARE(rows(page.controls())[2],
                 (QStringList{"9", "Interface #" + port, "Orvane", "5", "1"}));
        // One sample a second, each with the port's traffic.
        QTRY_VERIFY_WITH_TIMEOUT(!snmpget("1.3.6.1.2.1.16.2.2.1.5.9.2").contains("No Such"), 5000);
        clickRow(page.controls(), 2);
        QTRY_VERIFY(!page.sampleWalk().busy() && page.samples()->rowCount() >= 2);
        QVERIFY(rows(page.samples())[1][1].toULongLong() > 0);

        click(&page, rmonHistory::kDelete);
        QCOMPARE(m_messages, QStringList{"Do you want to delete this item?"});
        QTRY_VERIFY(snmpget("1.3.6.1.2.1.16.2.1.1.7.9").contains("No Such"));
        QTRY_VERIFY(!page.controlWalk().busy() && page.controls()->rowCount() == 2);
        QVERIFY(!enabled(&page, rmonHistory::kDelete));

        // A source the device does not have is refused, and the operator is told.
        m_messages.clear();
        driver("CRmonHistoryAddDlg", [](QDialog* d) {
            for (auto [id, text] : {std::pair{rmonHistory::kAddIndex, "10"},
                                    {rmonHistory::kAddSource, "199"},
                                    {rmonHistory::kAddBuckets, "5"},
                                    {rmonHistory::kAddInterval, "1"}})
                platform::Item<QLineEdit>(d, id)->setText(QString::fromLatin1(text));
            click(d, 1);
        });
        click(&page, rmonHistory::kAdd);
        QTRY_VERIFY(!page.entrySets().creating());
        QCOMPARE(m_messages,
                 QStringList{"The device refused the change of PortSource.10: inconsistentValue"});
        QVERIFY(snmpget("1.3.6.1.2.1.16.2.1.1.7.10").contains("No Such"));
    }

    void historyPageWithoutRight() {
        g_bUserRight = 0;
        CRmonHistoryDlg page;
        page.show();
        QTRY_VERIFY(page.controls()->rowCount() == 2 && !page.controlWalk().busy());
        clickRow(page.controls(), 0);
        QVERIFY(!enabled(&page, rmonHistory::kAdd) && !enabled(&page, rmonHistory::kDelete));
    }

    void valueMappings_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("event 1") << "event"
                                 << "1"
                                 << "Nothing";
        QTest::newRow("event 2") << "event"
                                 << "2"
                                 << "Log";
        QTest::newRow("event 3") << "event"
                                 << "3"
                                 << "Snmp_Trap";
        QTest::newRow("event 4") << "event"
                                 << "4"
                                 << "Log And Snmp_Trap";
        QTest::newRow("event 9") << "event"
                                 << "9"
                                 << "Nothing";
        QTest::newRow("sample 1") << "sample"
                                  << "1"
                                  << "absoluteValue";
        QTest::newRow("sample 2") << "sample"
                                  << "2"
                                  << "deltaValue";
        QTest::newRow("startup 1") << "startup"
                                   << "1"
                                   << "Rising";
        QTest::newRow("startup 2") << "startup"
                                   << "2"
                                   << "Falling";
        QTest::newRow("startup 3") << "startup"
                                   << "3"
                                   << "Rising/Falling";
    }
    void valueMappings() {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(QString, text);
        const QString shown = kind == "event"    ? EventTypeText(value)
                              : kind == "sample" ? SampleTypeText(value)
                                                 : StartupText(value);
        QCOMPARE(shown, text);
    }

    // An event of a type no agent should hold shows "Nothing"; an event Refresh disables the
    // alarm pane's Delete, though an alarm stays selected; deletions reach the device.
    void alarmEventPage() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        sim("put 1.3.6.1.2.1.16.9.1.1.3.2 i 9");
        CAlarmEventDlg page;
        page.show();
        QTRY_VERIFY(page.alarms()->rowCount() == 3 && !page.alarmWalk().busy() &&
                    !page.eventWalk().busy());
        QCOMPARE(column(page.events(), 2),
                 (QStringList{"Nothing", "Nothing", "Snmp_Trap", "Log And Snmp_Trap"}));
        QCOMPARE(rows(page.events())[0][4], QStringLiteral("0"));

        clickRow(page.alarms(), 1);
        QVERIFY(enabled(&page, alarmEvent::kAlarmDelete));
        QVERIFY(!enabled(&page, alarmEvent::kEventDelete));
        click(&page, alarmEvent::kEventRefresh);
        QVERIFY(!enabled(&page, alarmEvent::kAlarmDelete));
        QCOMPARE(page.alarms()->selectedRows().size(), 1);
        QTRY_VERIFY(!page.eventWalk().busy());
        // A click on the selected row enables it again; a double-click gives Close the focus.
        clickRow(page.alarms(), 1, true);
        QVERIFY(enabled(&page, alarmEvent::kAlarmDelete));
        QCOMPARE(page.focusWidget(), platform::DialogItem(&page, 2));

        click(&page, alarmEvent::kAlarmDelete);
        QCOMPARE(m_messages, QStringList{"Do you want to delete this control item?"});
        QTRY_VERIFY(snmpget("1.3.6.1.2.1.16.3.1.1.12.2").contains("No Such"));
        QTRY_VERIFY(!page.alarmWalk().busy());
        QCOMPARE(column(page.alarms(), 0), (QStringList{"1", "3"}));
        QCOMPARE(label(&page, alarmEvent::kAlarmCount), QStringLiteral("2"));
        QVERIFY(!enabled(&page, alarmEvent::kAlarmDelete));

        clickRow(page.events(), 3);
        click(&page, alarmEvent::kEventDelete);
        QTRY_VERIFY(snmpget("1.3.6.1.2.1.16.9.1.1.7.4").contains("No Such"));
        QTRY_VERIFY(!page.eventWalk().busy());
        QCOMPARE(column(page.events(), 0), (QStringList{"1", "2", "3"}));

        // Without the right, rows are selected but never deleted.
        g_bUserRight = 0;
        clickRow(page.events(), 0);
        clickRow(page.events(), 0, true);
        QVERIFY(!enabled(&page, alarmEvent::kEventDelete));
    }

    // A deletion the device refuses is told, naming the entry; the list shows what it holds.
    void refusedDeletionIsTold() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        CAlarmEventDlg page;
        page.show();
        QTRY_VERIFY(page.events()->rowCount() == 4 && !page.alarmWalk().busy() &&
                    !page.eventWalk().busy());
        clickRow(page.events(), 1);
        sim("error 17");
        click(&page, alarmEvent::kEventDelete);
        QTRY_COMPARE(m_messages,
                     (QStringList{"Do you want to delete this event item?",
                                  "The device refused the change of Status.2: notWritable"}));
        sim("faults");
        QCOMPARE(snmpget("1.3.6.1.2.1.16.9.1.1.7.2"), QStringLiteral("1"));
    }

    void emptyAlarmAndEventTables() {
        SimProcess agent({"--static"});
        QVERIFY(agent.started());
        use(agent);
        sim("delbelow 1.3.6.1.2.1.16.3");
        sim("delbelow 1.3.6.1.2.1.16.9");
        CAlarmEventDlg page;
        QTRY_VERIFY(!page.alarmWalk().busy() && !page.eventWalk().busy());
        QCOMPARE(page.alarms()->rowCount() + page.events()->rowCount(), 0);
        QCOMPARE(label(&page, alarmEvent::kEventCount), QStringLiteral("0"));
        QCOMPARE(label(&page, alarmEvent::kAlarmCount), QStringLiteral("0"));
    }

    // The hidden Print commands reach the reports: the print dialog is asked for.
    void printCommands() {
        int dialogs = 0;
        platform::SetPrintDialogHook([&](QPrintDialog*) {
            ++dialogs;
            return false;
        });
        CRmonHistoryDlg history;
        CAlarmEventDlg alarms;
        history.show();
        QTRY_VERIFY(!history.sampleWalk().busy() && history.samples()->rowCount() > 0);
        QTRY_VERIFY(!alarms.alarmWalk().busy() && alarms.alarms()->rowCount() > 0);
        platform::Item<QPushButton>(&history, rmonHistory::kPrint)->click();
        QCOMPARE(dialogs, 1);
        alarms.show();
        QVERIFY(QTest::qWaitForWindowActive(&alarms));
        alarms.alarms()->setFocus();
        QTest::keyClick(alarms.alarms(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(dialogs, 2);
        platform::SetPrintDialogHook({});
    }
};

QTEST_MAIN(TestRmon)
#include "tst_rmon.moc"
