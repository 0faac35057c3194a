// What agents leave out: objects a scalar page reads that the agent lacks, and holes in the
// tables every list page and the panel walk (a missing column, a missing cell, a column that
// ends early). Real dialogs under the offscreen platform, opened through the window's menu,
// against talvex-sim with holes made on demand and against net-snmp's snmpd.
#include "app/paneldlg.h"
#include "pages/listwalk.h"
#include "pages/stpconfigdlg.h"
#include "pages/stptabledlg.h"
#include "pages/systeminfodlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/columns.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

namespace {

constexpr int kTimeoutMs = 2000;
const QString kSystem = QStringLiteral("1.3.6.1.2.1.1");
const QString kStp = QStringLiteral("1.3.6.1.2.1.17.2");

namespace sys = res::system;
namespace stp = res::stpConfig;
constexpr int kServiceBoxes[] = {sys::kPhysical, sys::kLink, sys::kNetwork, sys::kTransport,
                                 sys::kApplication};

// A list page, and the column of its table in which the holes are made (a column the page
// maps to words where it has one, so that a hole shows that it stays empty).
struct ListPage {
    const char* name;
    int command;        // of the window's menu
    int list, count;    // count 0: the list has no count label
    const char* column; // as walked: below the instance prefix the walk starts from
    int listColumn;
};

const ListPage kListPages[] = {
    {"ARP", res::kCmdArp, res::arp::kList, res::arp::kCount, "1.3.6.1.2.1.4.22.1.4", 3},
    {"routing", res::kCmdRoute, res::route::kList, res::route::kCount, "1.3.6.1.2.1.4.21.1.7", 1},
    {"forwarding", res::kCmdForwarding, res::forwarding::kList, res::forwarding::kCount,
     "1.3.6.1.2.1.17.4.3.1.3", 1},
    {"interfaces", res::kCmdInterfaceInfo, res::interface::kList, res::interface::kCount,
     "1.3.6.1.2.1.2.2.1.3", 3},
    {"spanning tree", res::kCmdStpInfo, res::stpTable::kList, res::stpTable::kCount,
     "1.3.6.1.2.1.17.2.15.1.10", 9},
    {"RMON statistics", res::kCmdRmonStat, res::rmonStat::kList, res::rmonStat::kCount,
     "1.3.6.1.2.1.16.1.1.1.2", 1},
    {"history controls", res::kCmdRmonHistory, res::rmonHistory::kControlList, 0,
     "1.3.6.1.2.1.16.2.1.1.2", 1},
    {"history samples", res::kCmdRmonHistory, res::rmonHistory::kSampleList, 0,
     "1.3.6.1.2.1.16.2.2.1.15.1", 3},
    {"alarms", res::kCmdAlarmEvent, res::alarmEvent::kAlarmList, res::alarmEvent::kAlarmCount,
     "1.3.6.1.2.1.16.3.1.1.11", 10},
    {"events", res::kCmdAlarmEvent, res::alarmEvent::kEventList, res::alarmEvent::kEventCount,
     "1.3.6.1.2.1.16.9.1.1.3", 2},
};

const struct {
    Hole kind;
    const char* name;
} kHoles[] = {
    {Hole::Column, "missing column"},
    {Hole::Middle, "missing cell in the middle"},
    {Hole::FirstAndLast, "missing first and last cell"},
    {Hole::EndsEarly, "column ends early"},
};

// Runs each dialog the code runs modally through drive, for as long as the object lives.
class ModalDriver {
public:
    explicit ModalDriver(std::function<int(QDialog*)> drive) {
        platform::SetRunModalHook(std::move(drive));
    }
    ~ModalDriver() { platform::SetRunModalHook({}); }
};

bool showsException(QWidget* page) {
    for (QLabel* label : page->findChildren<QLabel*>())
        if (label->text().contains(QLatin1String("noSuch")) ||
            label->text().contains(QLatin1String("endOfMib")))
            return true;
    for (QLineEdit* edit : page->findChildren<QLineEdit*>())
        if (edit->text().contains(QLatin1String("noSuch")) ||
            edit->text().contains(QLatin1String("endOfMib")))
            return true;
    return false;
}

// Replaces an edit box's text as a person does, by typing.
void type(QWidget* page, int id, const QString& text) {
    auto* edit = platform::Item<QLineEdit>(page, id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestHoles : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;
    quint16 m_port = 0;
    QString m_community;

    QString sim(const QString& line) { return m_sim->command(line); }
    QString snmpget(const QString& oid, const QStringList& options = {}) {
        return RunTool(QStringLiteral("snmpget"),
                       QStringList{"-v2c", "-c", m_community, "-Oqv"} + options +
                           QStringList{"127.0.0.1:" + QString::number(m_port), oid})
            .trimmed()
            .remove(QLatin1Char('"'));
    }
    void useSim() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
        m_port = m_sim->port();
        m_community = QStringLiteral("orchid");
        UseSimulator(m_port);
    }

    // Opens the page behind command from the window's menu, runs drive on it once it is on the
    // screen, and closes it.
    void throughMenu(int command, const std::function<void(QDialog*)>& drive) {
        int runs = 0;
        ModalDriver driver([&](QDialog* page) {
            ++runs;
            page->show();
            drive(page);
            return int(QDialog::Rejected);
        });
        CPanelDlg panel;
        QVERIFY(panel.OnCommand(command));
        QCOMPARE(runs, 1);
    }

    // What a list page shows once its walk has ended, with its count when it has one.
    QList<QStringList> listed(const ListPage& p, QString* count) {
        QList<QStringList> out;
        bool walked = false;
        throughMenu(p.command, [&](QDialog* page) {
            platform::ListView* list = platform::Item<platform::ListView>(page, p.list);
            ListWalk* walk = nullptr;
            for (ListWalk* w : page->findChildren<ListWalk*>())
                if (w->list() == list) walk = w;
            if (!walk) return;
            QSignalSpy ended(walk, &ListWalk::finished);
            walked = QTest::qWaitFor([&] { return !ended.isEmpty() && !walk->busy(); }, 20000);
            out = rows(list);
            if (p.count) *count = ItemText(page, p.count);
        });
        if (!walked) qWarning("%s: the walk did not end", p.name);
        return out;
    }

private slots:
    void initTestCase() {
        SetSnmpTimeout(kTimeoutMs);
        UseSimulator();
    }

    void init() { g_bUserRight = 1; }

    void cleanup() {
        platform::SetRunModalHook({});
        m_sim.reset();
    }

    // snmpd as it comes has no sysServices: the page shows the six values it has, leaves the
    // service boxes clear and, as when the value comes, closed to the operator, and never shows
    // the exception.
    void systemPageAgainstSnmpd() {
        SnmpdProcess snmpd(false);
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        m_port = snmpd.port();
        m_community = QStringLiteral("public");
        SetSnmpAgentPort(m_port);
        g_strReadCommunity = QStringLiteral("public");
        g_strWriteCommunity = QStringLiteral("private");
        QVERIFY(snmpget(kSystem + ".7.0").startsWith(QLatin1String("No Such")));
        throughMenu(res::kCmdSystemInfo, [&](QDialog* page) {
            for (int round = 0; round < 2; ++round) { // the opening's get, then Refresh
                if (round == 1) click(page, sys::kRefresh);
                QTRY_VERIFY_WITH_TIMEOUT(!ItemText(page, sys::kUptime).isEmpty(), 5000);
                QTRY_COMPARE(ItemText(page, sys::kContact), QStringLiteral("tester@localhost"));
                QCOMPARE(ItemText(page, sys::kDescr), snmpget(kSystem + ".1.0"));
                QCOMPARE(QLatin1Char('.') + ItemText(page, sys::kObjectId),
                         snmpget(kSystem + ".2.0", {"-On"}));
                QVERIFY2(QRegularExpression(QStringLiteral("^\\d+ Hours \\d+ Minutes $"))
                             .match(ItemText(page, sys::kUptime))
                             .hasMatch(),
                         qPrintable(ItemText(page, sys::kUptime)));
                QCOMPARE(ItemText(page, sys::kName), snmpget(kSystem + ".5.0"));
                QCOMPARE(ItemText(page, sys::kLocation), QStringLiteral("Test bench"));
                for (int id : kServiceBoxes) {
                    QVERIFY(!platform::Item<QCheckBox>(page, id)->isChecked());
                    QVERIFY(!platform::Item<QCheckBox>(page, id)->isEnabled());
                }
                QVERIFY(!showsException(page));
            }
        });
    }

    // An object the agent lacks: its box is empty, and Apply leaves it out, so that what the
    // operator typed elsewhere is written (a set naming the missing object would be refused
    // whole).
    void systemApplyLeavesOutWhatTheAgentLacks() {
        useSim();
        const QString contact = snmpget(kSystem + ".4.0");
        QCOMPARE(sim("del " + kSystem + ".6.0"), QStringLiteral("ok"));
        throughMenu(res::kCmdSystemInfo, [&](QDialog* page) {
            QTRY_COMPARE(ItemText(page, sys::kContact), contact);
            QCOMPARE(ItemText(page, sys::kLocation), QString());
            QVERIFY(!showsException(page));
            type(page, sys::kName, QStringLiteral("edge-3"));
            click(page, sys::kApply);
            QTRY_COMPARE(snmpget(kSystem + ".5.0"), QStringLiteral("edge-3"));
            QCOMPARE(snmpget(kSystem + ".4.0"), contact);
        });
    }

    // A get that never answered leaves the boxes empty; Apply writes only what was typed and
    // erases nothing.
    void systemApplyWritesOnlyWhatWasTyped() {
        useSim();
        const QString contact = snmpget(kSystem + ".4.0");
        const QString location = snmpget(kSystem + ".6.0");
        QVERIFY(!contact.isEmpty() && !location.isEmpty());
        QCOMPARE(sim("drop 1"), QStringLiteral("ok"));
        throughMenu(res::kCmdSystemInfo, [&](QDialog* page) {
            auto* system = qobject_cast<CSystemInfoDlg*>(page);
            QVERIFY(system);
            QTRY_VERIFY_WITH_TIMEOUT(!system->getChannel().busy(), kTimeoutMs + 3000); // given up
            QCOMPARE(sim("drop 0"), QStringLiteral("ok"));
            QCOMPARE(texts(page, {sys::kName, sys::kContact, sys::kLocation}),
                     (QStringList{"", "", ""}));
            type(page, sys::kName, QStringLiteral("edge-4"));
            click(page, sys::kApply);
            QTRY_COMPARE(snmpget(kSystem + ".5.0"), QStringLiteral("edge-4"));
            QCOMPARE(snmpget(kSystem + ".4.0"), contact);
            QCOMPARE(snmpget(kSystem + ".6.0"), location);
            // The set's answer reads the page again: the device's values fill the boxes.
            QTRY_COMPARE(ItemText(page, sys::kLocation), location);
        });
    }

    // The bridge dialog with one object absent shows the ten that are there; one of its four
    // edited values absent leaves that box empty, and OK writes the other three.
    void bridgeDialogWithAbsentObjects() {
        useSim();
        QCOMPARE(sim("del " + kStp + ".10.0"), QStringLiteral("ok")); // hold time
        const QString rootPort = snmpget(kStp + ".7.0");
        const QString topChanges = snmpget(kStp + ".4.0");
        const QString forwardDelay = snmpget(kStp + ".11.0");
        const QString helloTime = snmpget(kStp + ".9.0");
        CStpTableDlg page;
        int runs = 0;
        std::function<void(QDialog*)> drive;
        ModalDriver driver([&](QDialog* d) {
            ++runs;
            d->show();
            drive(d);
            return d->result();
        });
        drive = [&](QDialog* d) {
            QTRY_COMPARE(ItemText(d, stp::kMaxAge), QStringLiteral("2000"));
            QCOMPARE(texts(d, {stp::kPriority, stp::kForwardDelay, stp::kHelloTime}),
                     (QStringList{"32768", "1500", "200"}));
            QCOMPARE(texts(d, {stp::kRootPort, stp::kTopChanges, stp::kCurrentForwardDelay,
                               stp::kCurrentHelloTime, stp::kHoldTime}),
                     (QStringList{rootPort, topChanges, forwardDelay, helloTime, ""}));
            QCOMPARE(ItemText(d, stp::kDesignatedRoot), QStringLiteral("4096/00:1A:2B:5D:00:01"));
            QVERIFY(!ItemText(d, stp::kTimeSinceChange).isEmpty());
            QVERIFY(!showsException(d));
            d->reject();
        };
        click(&page, res::stpTable::kBridgeConfig);
        QCOMPARE(runs, 1);

        QCOMPARE(sim("del " + kStp + ".12.0"), QStringLiteral("ok")); // the bridge's max age
        drive = [&](QDialog* d) {
            QTRY_COMPARE(ItemText(d, stp::kPriority), QStringLiteral("32768"));
            QCOMPARE(texts(d, {stp::kMaxAge, stp::kForwardDelay, stp::kHelloTime}),
                     (QStringList{"", "1500", "200"}));
            type(d, stp::kPriority, QStringLiteral("8192"));
            click(d, res::kOk); // the empty box is not checked: it is not written
            QTRY_COMPARE(d->result(), int(QDialog::Accepted)); // once the device took it
        };
        click(&page, res::stpTable::kBridgeConfig);
        QCOMPARE(runs, 2);
        QTRY_COMPARE(snmpget(kStp + ".2.0"), QStringLiteral("8192"));
        QCOMPARE(snmpget(kStp + ".13.0"), QStringLiteral("200"));
        QCOMPARE(snmpget(kStp + ".14.0"), QStringLiteral("1500"));
    }

    // Every list page lists every row over a hole, the hole empty and every other cell under
    // its own row: the rows before the holes were made, with the lost cells blanked.
    void listPages_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("hole");
        for (int p = 0; p < int(std::size(kListPages)); ++p)
            for (int h = 0; h < int(std::size(kHoles)); ++h)
                QTest::addRow("%s, %s", kListPages[p].name, kHoles[h].name) << p << h;
    }

    void listPages() {
        QFETCH(int, page);
        QFETCH(int, hole);
        const ListPage& p = kListPages[page];
        useSim();
        QString count;
        const QList<QStringList> before = listed(p, &count);
        QVERIFY2(before.size() >= 2, p.name);
        if (p.count) QCOMPARE(count, QString::number(before.size()));

        bool made = false;
        const QList<int> holed =
            MakeHoles(*m_sim, kHoles[hole].kind, QLatin1String(p.column), m_community, &made);
        QVERIFY(made);
        QList<QStringList> expected = before;
        for (int r : holed) {
            QVERIFY2(r < expected.size() && !expected[r][p.listColumn].isEmpty(),
                     "the column was whole before");
            expected[r][p.listColumn].clear();
        }
        const QList<QStringList> after = listed(p, &count);
        QCOMPARE(after.size(), expected.size());
        for (qsizetype r = 0; r < after.size(); ++r)
            QVERIFY2(after[r] == expected[r],
                     qPrintable(QStringLiteral("row %1: %2, expected %3")
                                    .arg(r)
                                    .arg(after[r].join(QLatin1Char('|')),
                                         expected[r].join(QLatin1Char('|')))));
        if (p.count) QCOMPARE(count, QString::number(expected.size()));
    }
};

QTEST_MAIN(TestHoles)
#include "tst_holes.moc"
