// List pages against agents that make walks hard: a busy one that works one request at a time
// and takes its time over every object, and tables whose columns do not line up. Each page is
// opened through the window's menu, with no panel polling beside it.
#include "app/paneldlg.h"
#include "pages/interfaceinfodlg.h"
#include "pages/listwalk.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/columns.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kHighSpeed = QStringLiteral("1.3.6.1.2.1.31.1.1.1.15");

struct ListPage {
    int command, list, count;
    const char* keyOid; // the column that keys the rows
    int keyColumn;
};

const ListPage kInterfaces{res::kCmdInterfaceInfo, res::interface::kList, res::interface::kCount,
                           "1.3.6.1.2.1.2.2.1.1", 0};
const ListPage kArp{res::kCmdArp, res::arp::kList, res::arp::kCount, "1.3.6.1.2.1.4.22.1.3", 1};
const ListPage kForwarding{res::kCmdForwarding, res::forwarding::kList, res::forwarding::kCount,
                           "1.3.6.1.2.1.17.4.3.1.1", 0};

} // namespace

Q_DECLARE_METATYPE(ListPage)

class TestWalks : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;
    QTemporaryDir m_noPanel; // a system directory without the panel file: nothing polls

    QString sim(const QString& line) { return m_sim->command(line); }

    // Opens the page through the menu, waits for its walk to end (within waitMs) and returns
    // its rows, with its count label's text in *label.
    QList<QStringList> listed(const ListPage& p, int waitMs, QString* label) {
        QList<QStringList> out;
        platform::SetRunModalHook([&](QDialog* page) {
            page->show();
            platform::ListView* list = platform::Item<platform::ListView>(page, p.list);
            for (ListWalk* walk : page->findChildren<ListWalk*>())
                if (walk->list() == list) {
                    QSignalSpy ended(walk, &ListWalk::finished);
                    if (!QTest::qWaitFor([&] { return !ended.isEmpty() && !walk->busy(); }, waitMs))
                        qWarning("the walk did not end");
                }
            QTest::qWait(100); // rows of the last moment are listed with the end of the walk
            out = rows(list);
            *label = ItemText(page, p.count);
            return int(QDialog::Rejected);
        });
        CPanelDlg panel;
        panel.OnCommand(p.command);
        platform::SetRunModalHook({});
        return out;
    }

private slots:
    void initTestCase() {
        QVERIFY(UsePagesAlone(m_noPanel));
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
        SetSnmpAgentPort(m_sim->port());
    }

    void init() {
        QCOMPARE(sim("faults"), QStringLiteral("ok"));
        SetSnmpTimeout(4000);
    }

    // A busy device that works one request at a time and spends 60 ms on every object it
    // answers: ten rows of a table cost it seconds, and blocks the size a fast agent gets
    // outlast the module's time-out. Every row is listed, and no request of the walk reaches the
    // agent while it is still on another. Tables of 40 rows, so that the test stays short.
    void slowAgentListsEveryRow_data() {
        QTest::addColumn<ListPage>("page");
        QTest::newRow("interfaces") << kInterfaces;
        QTest::newRow("ARP") << kArp;
        QTest::newRow("forwarding") << kForwarding;
    }
    void slowAgentListsEveryRow() {
        QFETCH(ListPage, page);
        // A new agent each time: nothing learned of it yet.
        SimProcess slow({"--static"});
        QVERIFY(slow.started());
        const QString community = QStringLiteral("orchid");
        constexpr int kRows = 40;
        if (page.command == kInterfaces.command) {
            // The page's seven columns of the interfaces past the fortieth go.
            for (const ColumnCell& c :
                 SnmpwalkColumn(slow.port(), community, "1.3.6.1.2.1.2.2.1.1"))
                if (c.value.toInt() > kRows)
                    for (const char* column : {"2.2.1.1", "2.2.1.8", "2.2.1.2", "2.2.1.3",
                                               "2.2.1.5", "2.2.1.6", "31.1.1.1.15"})
                        QCOMPARE(
                            slow.command(
                                QStringLiteral("del 1.3.6.1.2.1.%1%2").arg(column, c.instance)),
                            QStringLiteral("ok"));
        } else if (page.command == kArp.command) {
            // Neighbours enough on the first interface that has any.
            const QList<ColumnCell> arp =
                SnmpwalkColumn(slow.port(), community, "1.3.6.1.2.1.4.22.1.1");
            QVERIFY(!arp.isEmpty());
            const QString ifIndex = arp[0].value;
            for (qsizetype i = arp.size(); i < kRows; ++i) {
                const QString at = QStringLiteral(".%1.192.168.101.%2").arg(ifIndex).arg(i);
                for (const QString& put :
                     {"1" + at + " i " + ifIndex,
                      "2" + at + QStringLiteral(" x 02000000%1").arg(i, 4, 16, QLatin1Char('0')),
                      "3" + at + " a 192.168.101." + QString::number(i), "4" + at + " i 3"})
                    QCOMPARE(slow.command("put 1.3.6.1.2.1.4.22.1." + put), QStringLiteral("ok"));
            }
        }
        QStringList expected;
        for (const ColumnCell& cell :
             SnmpwalkColumn(slow.port(), community, QString::fromLatin1(page.keyOid)))
            expected << cell.value;
        QCOMPARE(expected.size(), kRows);
        for (const char* command : {"serial 1", "delay 50", "bindingdelay 60"})
            QCOMPARE(slow.command(QString::fromLatin1(command)), QStringLiteral("ok"));
        const int before = slow.command("served").toInt();
        SetSnmpAgentPort(slow.port());
        QString label;
        const QList<QStringList> got = listed(page, 120000, &label);
        SetSnmpAgentPort(m_sim->port());
        QStringList listedKeys;
        for (const QStringList& r : got)
            listedKeys << r[page.keyColumn];
        QCOMPARE(listedKeys, expected);
        QCOMPARE(label.trimmed(), QString::number(kRows));
        QCOMPARE(slow.command("overlapped"), QStringLiteral("0"));
        // Blocks of several rows: far fewer requests than a row each.
        const int requests = slow.command("served").toInt() - before;
        QVERIFY2(requests <= kRows / 3, qPrintable(QString::number(requests)));
    }

    // A busy device whose load comes and goes: it has answered large blocks at 2 ms a binding,
    // and now each binding costs it 2 to 6 ms, drawn anew for each answer, against a time-out of
    // 160 ms. A block of a size it answered before outlasts the time-out when it is slow;
    // the walk steps down and goes on, as a get-next walk would, and lists every row.
    void agentOfVaryingCostListsEveryRow() {
        SimProcess busy({"--static", "--fdb-rows", "80"});
        QVERIFY(busy.started());
        QStringList expected;
        for (const ColumnCell& cell :
             SnmpwalkColumn(busy.port(), QStringLiteral("orchid"), kForwarding.keyOid))
            expected << cell.value;
        QCOMPARE(expected.size(), 80);
        SetSnmpTimeout(160);
        SetSnmpAgentPort(busy.port());
        for (const char* cost : {"2", "2-6"}) {
            for (const QString& command : {QStringLiteral("serial 1"), QStringLiteral("delay 4"),
                                           QStringLiteral("bindingdelay ") + cost})
                QCOMPARE(busy.command(command), QStringLiteral("ok"));
            QString label;
            QStringList listedKeys;
            for (const QStringList& r : listed(kForwarding, 60000, &label))
                listedKeys << r[kForwarding.keyColumn];
            QCOMPARE(listedKeys, expected);
            QCOMPARE(label.trimmed(), QString::number(expected.size()));
        }
        SetSnmpAgentPort(m_sim->port());
    }

    // ifHighSpeed is a column of the walk: a port whose cell is missing shows its ifSpeed, and
    // the ports after it their own ifHighSpeed; an index only ifXTable has is no interface.
    void interfaceSpeedsStayOnTheirRows_data() {
        QTest::addColumn<QString>("change"); // a simulator command
        QTest::newRow("one ifHighSpeed missing") << "del " + kHighSpeed + ".%1";
        QTest::newRow("an index only ifXTable has") << "put " + kHighSpeed + ".%1.5 g 10";
        QTest::newRow("ifHighSpeed past the last interface") << "put " + kHighSpeed + ".%2 g 10";
    }
    void interfaceSpeedsStayOnTheirRows() {
        QFETCH(QString, change);
        const QString community = QStringLiteral("orchid");
        const QList<ColumnCell> speeds =
            SnmpwalkColumn(m_sim->port(), community, "1.3.6.1.2.1.2.2.1.5");
        QList<ColumnCell> high = SnmpwalkColumn(m_sim->port(), community, kHighSpeed);
        // The first ten-gigabit port, and an index past every interface.
        QString tenGigabit;
        for (const ColumnCell& s : speeds)
            if (tenGigabit.isEmpty() && s.value == QLatin1String("4294967295"))
                tenGigabit = s.instance.mid(1);
        const QString past = QString::number(speeds.last().instance.mid(1).toInt() + 1);
        QVERIFY(!tenGigabit.isEmpty());
        QString tenGigabitHigh;
        for (const ColumnCell& c : high)
            if (c.instance.mid(1) == tenGigabit) tenGigabitHigh = c.value;
        QCOMPARE(sim(QString(change)
                         .replace(QLatin1String("%1"), tenGigabit)
                         .replace(QLatin1String("%2"), past)),
                 QStringLiteral("ok"));
        high = SnmpwalkColumn(m_sim->port(), community, kHighSpeed);

        QStringList expected;
        for (const ColumnCell& s : speeds) {
            QString h;
            for (const ColumnCell& c : high)
                if (c.instance == s.instance) h = c.value;
            expected << IfSpeedText(s.value, h);
        }
        QString label;
        const QList<QStringList> got = listed(kInterfaces, 10000, &label);
        QStringList shown;
        for (const QStringList& r : got)
            shown << r[4];
        QCOMPARE(shown, expected);
        QVERIFY(shown.contains(QStringLiteral("10000M")));
        QCOMPARE(label, QString::number(speeds.size()));
        sim(QStringLiteral("put %1.%2 g %3").arg(kHighSpeed, tenGigabit, tenGigabitHigh));
        sim(QStringLiteral("del %1.%2.5").arg(kHighSpeed, tenGigabit));
        sim(QStringLiteral("del %1.%2").arg(kHighSpeed, past));
    }

    // A walk that reads nothing says no count: "0" would tell the operator the device has no
    // rows.
    void unreadTableShowsNoCount_data() {
        QTest::addColumn<ListPage>("page");
        QTest::addColumn<QString>("fault");
        QTest::newRow("interfaces, no answer") << kInterfaces << "drop 1";
        QTest::newRow("interfaces, an error") << kInterfaces << "error 5";
        QTest::newRow("ARP, no answer") << kArp << "drop 1";
    }
    void unreadTableShowsNoCount() {
        QFETCH(ListPage, page);
        QFETCH(QString, fault);
        SetSnmpTimeout(300);
        QCOMPARE(sim(fault), QStringLiteral("ok"));
        QString label;
        QVERIFY(listed(page, 10000, &label).isEmpty());
        QCOMPARE(label, QString());
    }
};

QTEST_MAIN(TestWalks)
#include "tst_walks.moc"
