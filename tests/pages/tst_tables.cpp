// The ARP, routing and forwarding table pages: real dialogs under the offscreen platform,
// against talvex-sim (its tables, fault switches and delays) and against net-snmp's snmpd.
#include "app/paneldlg.h"
#include "pages/alarmeventdlg.h"
#include "pages/arptabledlg.h"
#include "pages/forwardingtabledlg.h"
#include "pages/routetabledlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/columns.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr int kTimeoutMs = 2000; // retries every 500 ms

enum Kind { Arp, Route, Forwarding };

// What the tests need to know of each page: its controls and the column that keys its rows.
struct PageInfo {
    int command;
    const char* className;
    const char* title;
    int list, count, refresh, close;
    int columns;
    int closeResult;
    int keyColumn;
    const char* keyOid; // the column that keys the rows, to walk with snmpwalk
    const char* shot;
};

const PageInfo kPages[] = {
    {res::kCmdArp, "CArpTableDlg", "ARP Information", res::arp::kList, res::arp::kCount,
     res::arp::kRefresh, res::kClose, 4, QDialog::Accepted, 1, "1.3.6.1.2.1.4.22.1.3",
     "arp-page.png"},
    {res::kCmdRoute, "CRouteTableDlg", "Router Table", res::route::kList, res::route::kCount,
     res::route::kRefresh, res::kClose, 11, QDialog::Rejected, 0, "1.3.6.1.2.1.4.21.1.1",
     "route-page.png"},
    {res::kCmdForwarding, "CForwardingTableDlg", "Forwarding Table", res::forwarding::kList,
     res::forwarding::kCount, res::forwarding::kRefresh, res::forwarding::kClose, 3,
     QDialog::Accepted, 0, "1.3.6.1.2.1.17.4.3.1.1", "forwarding-page.png"},
};

QDialog* newPage(int kind) {
    switch (kind) {
    case Arp:
        return new CArpTableDlg;
    case Route:
        return new CRouteTableDlg;
    default:
        return new CForwardingTableDlg;
    }
}

const SnmpChannel& walkChannel(QDialog* page) {
    if (auto* p = qobject_cast<CArpTableDlg*>(page)) return p->channel();
    if (auto* p = qobject_cast<CRouteTableDlg*>(page)) return p->channel();
    return qobject_cast<CForwardingTableDlg*>(page)->channel();
}

platform::ListView* listOf(QDialog* page, int kind) {
    return platform::Item<platform::ListView>(page, kPages[kind].list);
}

// One column as net-snmp's snmpwalk reads it, in the page's texts for addresses: a physical
// address "00 1A 2B 3C 00 03" as 00:1A:2B:3C:00:03. An empty table gives no line.
QStringList Snmpwalk(quint16 port, const QString& community, const QString& oid) {
    QStringList out;
    const QString text =
        RunTool(QStringLiteral("snmpwalk"),
                {"-v2c", "-c", community, "-Oqv", "127.0.0.1:" + QString::number(port), oid});
    static const QRegularExpression hex(QStringLiteral("^([0-9A-F]{2} )+[0-9A-F]{2}$"));
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.remove(QLatin1Char('"')).trimmed();
        if (line.startsWith(QLatin1String("No Such")) || line.startsWith(QLatin1String("No more")))
            continue;
        out << (hex.match(line).hasMatch() ? line.replace(QLatin1Char(' '), QLatin1Char(':'))
                                           : line);
    }
    return out;
}

} // namespace

class TestTables : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;

    QString sim(const QString& line) { return m_sim->command(line); }
    int served() { return sim(QStringLiteral("served")).toInt(); }
    QStringList keys(int kind) { return Snmpwalk(m_sim->port(), "orchid", kPages[kind].keyOid); }

    // Waits for the walk to end; the page's list then holds what it will show.
    void walked(QDialog* page, int timeoutMs = 5000) {
        QTRY_VERIFY_WITH_TIMEOUT(!walkChannel(page).busy(), timeoutMs);
        QTest::qWait(100); // rows of the last moment are listed with the end of the walk
    }

    // The window's menu runs each page: it walks the table, shows it and closes.
    void drive(QDialog* page, int kind) {
        const PageInfo& p = kPages[kind];
        QCOMPARE(page->metaObject()->className(), p.className);
        QCOMPARE(page->windowTitle(), QString::fromLatin1(p.title));
        QVERIFY(!page->parent());
        page->show();
        walked(page);
        platform::ListView* list = listOf(page, kind);
        QCOMPARE(list->columnCount(), p.columns);
        QCOMPARE(column(list, p.keyColumn), keys(kind));
        QCOMPARE(ItemText(page, p.count), QString::number(list->rowCount()));
        saveShot(page, p.shot);
        click(page, p.close);
        QVERIFY(!page->isVisible());
    }

private slots:
    void initTestCase() { QVERIFY(StartStaticSimulator(m_sim, kTimeoutMs)); }

    void init() {
        QCOMPARE(sim("faults"), QString("ok"));
        UseSimulator(m_sim->port());
    }

    void menuOpensPage_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("ARP Info...") << int(Arp);
        QTest::newRow("Router Info...") << int(Route);
        QTest::newRow("Forwarding Table...") << int(Forwarding);
    }

    void menuOpensPage() {
        QFETCH(int, kind);
        int runs = 0, result = -1;
        platform::SetRunModalHook([&](QDialog* page) {
            ++runs;
            drive(page, kind);
            result = page->result();
            return result;
        });
        CPanelDlg panel;
        QVERIFY(panel.OnCommand(kPages[kind].command));
        platform::SetRunModalHook({});
        QCOMPARE(runs, 1);
        QCOMPARE(result, kPages[kind].closeResult);
    }

    // Ctrl+C in a list copies its selected rows under the headings, tab-separated; the page
    // grows as the operator pulls it, the list taking the room and keeping its column widths.
    void listsCopyAndGrow_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("ARP") << int(Arp);
        QTest::newRow("routes") << int(Route);
        QTest::newRow("forwarding") << int(Forwarding);
    }

    void listsCopyAndGrow() {
        QFETCH(int, kind);
        const PageInfo& p = kPages[kind];
        std::unique_ptr<QDialog> page(newPage(kind));
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        walked(page.get());
        platform::ListView* list = listOf(page.get(), kind);
        const int n = list->rowCount();
        QVERIFY(n >= 2);
        clickRow(list, 0);
        const bool multi = list->selectionMode() == QAbstractItemView::ExtendedSelection;
        if (multi) {
            list->scrollToRow(n - 1);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              list->rowRect(n - 1).center());
        }
        QStringList expected;
        QStringList headings;
        for (int c = 0; c < list->columnCount(); ++c)
            headings << list->heading(c).trimmed();
        expected << headings.join('\t');
        for (int r : multi ? QList<int>{0, n - 1} : QList<int>{0}) {
            QStringList cells = row(list, r);
            for (QString& c : cells)
                c = c.trimmed();
            expected << cells.join('\t');
        }
        QGuiApplication::clipboard()->clear();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected.join('\n') + '\n');

        QVERIFY(page->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QSize base = page->size();
        QCOMPARE(page->minimumSize(), base);
        QList<int> widths;
        for (int c = 0; c < list->columnCount(); ++c)
            widths << list->header()->sectionSize(c);
        const QRect listAt = list->geometry();
        const QRect closeAt = platform::DialogItem(page.get(), p.close)->geometry();
        page->resize(base + QSize(300, 200));
        QTRY_COMPARE(list->geometry(), listAt.adjusted(0, 0, 300, 200));
        // Close, under the list at its right, keeps to the right edge.
        QCOMPARE(platform::DialogItem(page.get(), p.close)->geometry(),
                 closeAt.translated(300, 200));
        for (int c = 0; c < list->columnCount(); ++c)
            QCOMPARE(list->header()->sectionSize(c), widths[c]);
        if (kind == Arp) {
            // What the room is for: the operator widens the MAC address column.
            list->header()->resizeSection(2, list->header()->sectionSize(2) + 60);
            saveShot(page.get(), "arp-page-enlarged.png");
        }
        page->resize(base);
        QTRY_COMPARE(list->geometry(), listAt);
    }

    // Two lists one above the other share the height they are given; their group boxes and
    // the controls under each come along.
    void twoListsShareTheRoom() {
        CAlarmEventDlg page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto at = [&](int id) { return platform::DialogItem(&page, id)->geometry(); };
        const QRect events = at(res::alarmEvent::kEventList),
                    alarms = at(res::alarmEvent::kAlarmList),
                    eventCount = at(res::alarmEvent::kEventCount), close = at(res::kClose);
        const QRect eventDelete = at(res::alarmEvent::kEventDelete);
        page.resize(page.size() + QSize(100, 200));
        QTRY_COMPARE(at(res::alarmEvent::kEventList), events.adjusted(0, 0, 100, 100));
        QCOMPARE(at(res::alarmEvent::kAlarmList), alarms.adjusted(0, 100, 100, 200));
        QCOMPARE(at(res::alarmEvent::kEventCount), eventCount.translated(0, 100));
        QCOMPARE(at(res::kClose), close.translated(100, 200));
        QCOMPARE(at(res::alarmEvent::kEventDelete),
                 eventDelete.translated(100, 100)); // under the event list, at its right
    }

    // The routing headings: blanks around the first seven.
    void routeHeadings() {
        CRouteTableDlg route;
        platform::ListView* list = route.list();
        QCOMPARE(list->heading(0), QStringLiteral("  Dest IP     "));
        QCOMPARE(list->heading(3), QStringLiteral(" Interface "));
        QCOMPARE(list->heading(7), QStringLiteral(" Metric1 "));
        const QFontMetrics fm(list->header()->font());
        for (int c = 0; c < 11; ++c)
            QCOMPARE(list->header()->sectionSize(c), fm.horizontalAdvance(list->heading(c)) + 15);
    }

    // What each page shows for the simulator's rows: the value texts of types, protocols and
    // statuses, and the library's address texts.
    void shown_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("row");
        QTest::newRow("ARP static")
            << int(Arp) << "192.168.100.254"
            << QStringList{"1", "192.168.100.254", "00:1B:21:0A:11:FE", "Static"};
        QTest::newRow("ARP dynamic")
            << int(Arp) << "10.20.0.5"
            << QStringList{"130", "10.20.0.5", "3C:52:82:10:00:05", "Dynamic"};
        QTest::newRow("ARP invalid")
            << int(Arp) << "10.20.0.99"
            << QStringList{"130", "10.20.0.99", "3C:52:82:10:00:63", "Unnormal"};
        QTest::newRow("ARP other")
            << int(Arp) << "10.20.0.250"
            << QStringList{"130", "10.20.0.250", "00:00:5E:00:01:01", "Unknown"};
        QTest::newRow("route netmgmt")
            << int(Route) << "0.0.0.0"
            << QStringList{"0.0.0.0", "172.16.4.2", "0.0.0.0", "99", "Indirect", "netmgmt",
                           "86400",   "1",          "-1",      "-1", "-1"};
        QTest::newRow("route local")
            << int(Route) << "10.20.0.0"
            << QStringList{"10.20.0.0", "10.20.0.1", "255.255.0.0", "130", "Direct", "local",
                           "0",         "0",         "-1",          "-1",  "-1"};
        QTest::newRow("route ospf")
            << int(Route) << "10.31.8.0" << QStringList{"10.31.8.0", "172.16.4.2", "255.255.248.0",
                                                        "99",        "Indirect",   "ospf",
                                                        "3720",      "30",         "-1",
                                                        "-1",        "-1"};
        QTest::newRow("route protocol 15")
            << int(Route) << "10.40.0.0"
            << QStringList{"10.40.0.0", "172.16.4.2", "255.255.0.0", "99", "Indirect", "other",
                           "600",       "2",          "-1",          "-1", "-1"};
        QTest::newRow("route protocol 1")
            << int(Route) << "10.50.0.0"
            << QStringList{"10.50.0.0", "10.20.0.254", "255.255.0.0", "130", "Indirect", "other",
                           "1200",      "1",           "-1",          "-1",  "-1"};
        QTest::newRow("route rip")
            << int(Route) << "10.60.0.0"
            << QStringList{"10.60.0.0", "10.20.0.254", "255.255.0.0", "130", "Indirect", "rip",
                           "25",        "3",           "-1",          "-1",  "-1"};
        QTest::newRow("forwarding self") << int(Forwarding) << "00:1A:2B:3C:00:03"
                                         << QStringList{"00:1A:2B:3C:00:03", "Inborn", "3"};
        QTest::newRow("forwarding mgmt") << int(Forwarding) << "00:1B:21:0A:05:01"
                                         << QStringList{"00:1B:21:0A:05:01", "Manage", "5"};
        QTest::newRow("forwarding learned") << int(Forwarding) << "3C:52:82:15:00:01"
                                            << QStringList{"3C:52:82:15:00:01", "Learned", "15"};
    }

    void shown() {
        QFETCH(int, kind);
        QFETCH(QString, key);
        QFETCH(QStringList, row);
        std::unique_ptr<QDialog> page(newPage(kind));
        walked(page.get());
        const QList<QStringList> all = rows(listOf(page.get(), kind));
        auto it = std::find_if(all.begin(), all.end(), [&](const QStringList& r) {
            return r[kPages[kind].keyColumn] == key;
        });
        QVERIFY2(it != all.end(), qPrintable(key));
        QCOMPARE(*it, row);
    }

    void protocolNames_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("name");
        const char* names[] = {"other",     "local",     "netmgmt", "icmp",  "egp",
                               "ggp",       "hello",     "rip",     "is-is", "es-is",
                               "ciscoIgrp", "bbnSpfIgp", "ospf",    "bgp",   "other"};
        for (int v = 1; v <= 15; ++v)
            QTest::newRow(qPrintable(QString::number(v))) << QString::number(v) << names[v - 1];
        QTest::newRow("0") << "0"
                           << "other";
        QTest::newRow("empty") << ""
                               << "other";
        QTest::newRow("exception text") << "<noSuchInstance>"
                                        << "other";
    }

    void protocolNames() {
        QFETCH(QString, value);
        QFETCH(QString, name);
        QCOMPARE(RouteProtocolName(value), name);
    }

    // The count after the opening walk and after a Refresh, over a table with no rows.
    void emptyTable_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("refreshed");
        QTest::addColumn<QStringList>("oneRow"); // simulator commands
        const QString arp = QStringLiteral("put 1.3.6.1.2.1.4.22.1.%1.1.192.168.100.7 ");
        QTest::newRow("ARP") << int(Arp) << "1.3.6.1.2.1.4.22"
                             << ""
                             << "0"
                             << QStringList{arp.arg(1) + "i 1", arp.arg(2) + "x 000102030405",
                                            arp.arg(3) + "a 192.168.100.7", arp.arg(4) + "i 3"};
        QStringList route;
        for (int c = 1; c <= 11; ++c)
            route << QStringLiteral("put 1.3.6.1.2.1.4.21.1.%1.10.0.0.0 ").arg(c) +
                         (c == 1 || c == 7 || c == 11 ? "a 10.0.0.0" : "i 2");
        QTest::newRow("route") << int(Route) << "1.3.6.1.2.1.4.21"
                               << "0"
                               << "0" << route;
        const QString fdb = QStringLiteral("put 1.3.6.1.2.1.17.4.3.1.%1.0.1.2.3.4.5 ");
        QTest::newRow("forwarding")
            << int(Forwarding) << "1.3.6.1.2.1.17.4.3"
            << "0"
            << "0"
            << QStringList{fdb.arg(1) + "x 000102030405", fdb.arg(2) + "i 7", fdb.arg(3) + "i 3"};
    }

    void emptyTable() {
        QFETCH(int, kind);
        QFETCH(QString, table);
        QFETCH(QString, opened);
        QFETCH(QString, refreshed);
        SimProcess empty({"--static"});
        QVERIFY(empty.started());
        QCOMPARE(empty.command("delbelow " + table), QString("ok"));
        UseSimulator(empty.port());
        std::unique_ptr<QDialog> page(newPage(kind));
        if (kind == Forwarding)
            QCOMPARE(ItemText(page.get(), kPages[kind].count), QStringLiteral(" 0"));
        walked(page.get());
        QCOMPARE(listOf(page.get(), kind)->rowCount(), 0);
        QCOMPARE(ItemText(page.get(), kPages[kind].count), opened);
        const int before = empty.command("served").toInt();
        click(page.get(), kPages[kind].refresh);
        walked(page.get());
        QCOMPARE(ItemText(page.get(), kPages[kind].count), refreshed);

        // A table that had rows and has none when read again shows none, and says so.
        QFETCH(QStringList, oneRow);
        for (const QString& put : oneRow)
            QCOMPARE(empty.command(put), QString("ok"));
        click(page.get(), kPages[kind].refresh);
        walked(page.get());
        QCOMPARE(listOf(page.get(), kind)->rowCount(), 1);
        QCOMPARE(ItemText(page.get(), kPages[kind].count), QStringLiteral("1"));
        empty.command("delbelow " + table);
        click(page.get(), kPages[kind].refresh);
        walked(page.get());
        QCOMPARE(listOf(page.get(), kind)->rowCount(), 0);
        QCOMPARE(ItemText(page.get(), kPages[kind].count), QStringLiteral("0"));
        QVERIFY(empty.command("served").toInt() >= before + 3); // three walks
    }

    // Refresh while a walk runs empties the list; that walk goes on into it, and no second
    // Answers of one row each, so that a walk takes a round trip a row and a test can act in
    // the middle of it (a walk is otherwise read ahead in blocks).
    void oneRowAnswers(int kind) { sim(QStringLiteral("truncate %1").arg(kPages[kind].columns)); }

    // walk starts.
    void refreshDuringWalk_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("emptied"); // the count right after the click
        QTest::newRow("ARP") << int(Arp) << "0";
        QTest::newRow("route") << int(Route) << "2";
        QTest::newRow("forwarding") << int(Forwarding) << " 0";
    }

    void refreshDuringWalk() {
        QFETCH(int, kind);
        QFETCH(QString, emptied);
        const QStringList all = keys(kind);
        sim("delay 150");
        oneRowAnswers(kind);
        const int before = served();
        std::unique_ptr<QDialog> page(newPage(kind));
        platform::ListView* list = listOf(page.get(), kind);
        QTRY_COMPARE(list->rowCount(), 2);
        click(page.get(), kPages[kind].refresh);
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(ItemText(page.get(), kPages[kind].count), emptied);
        sim("delay 0");
        walked(page.get());
        const QStringList rest = column(list, kPages[kind].keyColumn);
        QVERIFY(!rest.isEmpty());
        QCOMPARE(rest, all.mid(all.size() - rest.size()));
        QCOMPARE(ItemText(page.get(), kPages[kind].count), QString::number(rest.size()));
        // One walk: a get-next per row and one past the end (and two reads of the aging time).
        QCOMPARE(served() - before, all.size() + 1 + (kind == Forwarding ? 2 : 0));
    }

    // An error status or a lost answer ends the walk with the rows it has; Refresh walks again.
    void faultMidWalk_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fault");
        for (int kind : {Arp, Route, Forwarding})
            for (const char* fault : {"error 5", "drop 1"})
                QTest::newRow(
                    qPrintable(QStringLiteral("%1, %2").arg(kPages[kind].className, fault)))
                    << kind << QString::fromLatin1(fault);
    }

    void faultMidWalk() {
        QFETCH(int, kind);
        QFETCH(QString, fault);
        const QStringList all = keys(kind);
        sim("delay 100");
        oneRowAnswers(kind);
        std::unique_ptr<QDialog> page(newPage(kind));
        platform::ListView* list = listOf(page.get(), kind);
        QTRY_VERIFY(list->rowCount() >= 2);
        sim(fault);
        walked(page.get(), kTimeoutMs + 3000);
        const QStringList kept = column(list, kPages[kind].keyColumn);
        QVERIFY(kept.size() >= 2 && kept.size() < all.size());
        QCOMPARE(kept, all.mid(0, kept.size()));
        QCOMPARE(ItemText(page.get(), kPages[kind].count), QString::number(kept.size()));
        sim("faults");
        click(page.get(), kPages[kind].refresh);
        walked(page.get());
        QCOMPARE(column(list, kPages[kind].keyColumn), all);
    }

    // An answer to another request of the walk's session neither ends the walk nor adds a row.
    void staleAnswerKeepsWalking_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("ARP") << int(Arp);
        QTest::newRow("route") << int(Route);
        QTest::newRow("forwarding") << int(Forwarding);
    }

    void staleAnswerKeepsWalking() {
        QFETCH(int, kind);
        const QStringList all = keys(kind);
        sim("delay 50");
        std::unique_ptr<QDialog> page(newPage(kind));
        platform::ListView* list = listOf(page.get(), kind);
        QTRY_VERIFY(list->rowCount() >= 1);
        // Asked while the walk's own request is out, answered right after it, in order.
        QVERIFY(walkChannel(page.get()).session()->SendSnmp(SNMP_PDU_GETNEXT) != 0);
        walked(page.get(), 10000);
        QCOMPARE(column(list, kPages[kind].keyColumn), all);
    }

    // The port filter removes the rows whose port is the filter's text, whole.
    void forwardingFilter() {
        const QStringList macs = keys(Forwarding);
        const QStringList ports = Snmpwalk(m_sim->port(), "orchid", "1.3.6.1.2.1.17.4.3.1.2");
        QCOMPARE(ports.size(), macs.size());
        QVERIFY(ports.contains("5") && ports.contains("15") && ports.contains("50"));
        CForwardingTableDlg page;
        walked(&page);
        QCOMPARE(ItemText(&page, res::forwarding::kAging), QStringLiteral("300"));
        auto* filter = platform::Item<QLineEdit>(&page, res::forwarding::kFilter);
        auto expect = [&](const QString& hidden) {
            QStringList out;
            for (int i = 0; i < macs.size(); ++i)
                if (ports[i] != hidden) out << macs[i];
            return out;
        };
        QTest::keyClicks(filter, QStringLiteral("5"));
        QCOMPARE(filter->text(), QStringLiteral("5"));
        walked(&page);
        QCOMPARE(column(page.list(), 0), expect("5"));
        QVERIFY(column(page.list(), 2).contains("15") && column(page.list(), 2).contains("50"));
        QCOMPARE(ItemText(&page, res::forwarding::kCount),
                 QString::number(page.list()->rowCount()));

        // Letters do not go in; an empty filter shows all.
        QTest::keyClicks(filter, QStringLiteral("x"));
        QCOMPARE(filter->text(), QStringLiteral("5"));
        QTest::keyClick(filter, Qt::Key_Backspace);
        walked(&page);
        QCOMPARE(column(page.list(), 0), macs);

        // A second digit typed while the walk runs empties the list; the running walk goes on
        // with the rows still to come, filtered by both digits.
        sim("delay 40");
        oneRowAnswers(Forwarding);
        const int before = served();
        QTest::keyClicks(filter, QStringLiteral("1"));
        QTRY_VERIFY(page.list()->rowCount() >= 2);
        QTest::keyClicks(filter, QStringLiteral("5"));
        QCOMPARE(page.list()->rowCount(), 0);
        QCOMPARE(ItemText(&page, res::forwarding::kCount), QStringLiteral(" 0"));
        sim("delay 0");
        walked(&page);
        const QStringList rest = column(page.list(), 0);
        const QStringList tail = expect("15").mid(expect("15").size() - rest.size());
        QCOMPARE(rest, tail);
        QVERIFY(!column(page.list(), 2).contains("15"));
        QCOMPARE(served() - before, macs.size() + 1);

        // The aging time is read again with Refresh, beside the walk.
        sim("put 1.3.6.1.2.1.17.4.2.0 i 600");
        click(&page, res::forwarding::kRefresh);
        QTRY_COMPARE(ItemText(&page, res::forwarding::kAging), QStringLiteral("600"));
        sim("put 1.3.6.1.2.1.17.4.2.0 i 300");
    }

    // The aging time and the walk run on sessions of their own: a lost aging answer leaves
    // the text as it was and the next Refresh reads it again.
    void forwardingAgingTime() {
        sim("drop 1");
        CForwardingTableDlg page;
        QVERIFY(page.agingChannel().busy() && page.channel().busy());
        // A silent agent's walk ends after a block, one row and a get-next, a time-out each.
        QTRY_VERIFY_WITH_TIMEOUT(!page.agingChannel().busy() && !page.channel().busy(),
                                 3 * kTimeoutMs + 1000);
        QCOMPARE(ItemText(&page, res::forwarding::kAging), QString());
        sim("faults");
        click(&page, res::forwarding::kRefresh);
        QTRY_COMPARE(ItemText(&page, res::forwarding::kAging), QStringLiteral("300"));
        walked(&page);
        QCOMPARE(page.list()->rowCount(), keys(Forwarding).size());
    }

    // The proxied form: the proxy record's answer has no column. (The proxy binding walks on
    // through the simulator's objects beside the columns, and its end of the MIB ends the walk
    // after a few rows.)
    void proxied_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("ARP") << int(Arp);
        QTest::newRow("route") << int(Route);
        QTest::newRow("forwarding") << int(Forwarding);
    }

    void proxied() {
        QFETCH(int, kind);
        g_strProxyAddress = QStringLiteral("127.0.0.1");
        std::unique_ptr<QDialog> page(newPage(kind));
        walked(page.get());
        platform::ListView* list = listOf(page.get(), kind);
        QCOMPARE(list->columnCount(), kPages[kind].columns);
        QCOMPARE(walkChannel(page.get()).session()->GetOidList().size(), kPages[kind].columns + 1);
        const QStringList shown = column(list, kPages[kind].keyColumn);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown, keys(kind).mid(0, shown.size()));
        for (const QStringList& row : rows(list))
            QVERIFY(!row.last().isEmpty());
    }

    // Ctrl+P prints the listed rows as the ARP report.
    void arpPrints() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("arp.pdf"));
        int asked = 0;
        platform::SetPrintDialogHook([&](QPrintDialog* d) {
            ++asked;
            d->printer()->setOutputFormat(QPrinter::PdfFormat);
            d->printer()->setOutputFileName(pdf);
            return true;
        });
        // Where no printer is installed, a box says that the report goes to a PDF file.
        platform::SetMessageBoxHook(
            [](QWidget*, const QString&, bool) { return platform::Answer::Ok; });
        CArpTableDlg page;
        QVERIFY(platform::Item<QPushButton>(&page, res::arp::kPrint)->isHidden());
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        walked(&page);
        QTest::keyClick(page.list(), Qt::Key_P, Qt::ControlModifier);
        platform::SetPrintDialogHook({});
        platform::SetMessageBoxHook({});
        QCOMPARE(asked, 1);
        const QString text =
            RunTool(QStringLiteral("pdftotext"), {"-layout", pdf, "-"}).simplified();
        QVERIFY2(text.contains(QStringLiteral("1 192.168.100.254 00:1B:21:0A:11:FE Static")),
                 qPrintable(text));
    }

    // The namespace's routes and neighbours through net-snmp's agent, which lacks some of the
    // routing table's columns: each page lists what snmpwalk reads of each column, row for
    // row and cell for cell, with a blank where snmpd has no column.
    void againstSnmpd_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("absent"); // list columns snmpd does not serve
        QTest::addColumn<QStringList>("row");   // one row the namespace's tables give
        QTest::newRow("ARP") << int(Arp) << QList<int>{}
                             << QStringList{"", "192.0.2.254", "02:00:5E:00:02:FE", "Static"};
        QTest::newRow("routing") << int(Route) << QList<int>{6, 8, 9, 10}
                                 << QStringList{"198.51.100.0",
                                                "192.0.2.254",
                                                "255.255.255.0",
                                                "",
                                                "Indirect",
                                                "local",
                                                "",
                                                "",
                                                "",
                                                "",
                                                ""};
    }

    void againstSnmpd() {
        QFETCH(int, kind);
        QFETCH(QList<int>, absent);
        QFETCH(QStringList, row);
        if (qEnvironmentVariable("TALVEX_PEER_TABLES") != QLatin1String("1"))
            QSKIP("no routes or neighbours for snmpd to serve: run under scripts/loopback-only, "
                  "which "
                  "gives its network namespace a veth pair with documentation-range routes");
        SnmpdProcess snmpd;
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        SetSnmpAgentPort(snmpd.port());
        g_strReadCommunity = QStringLiteral("public");
        auto map = [](std::initializer_list<const char*> words) {
            QStringList texts;
            for (const char* w : words)
                texts << QString::fromLatin1(w);
            return [texts](const QString& v) {
                const int i = v.toInt() - 1;
                return i >= 0 && i < texts.size() ? texts[i] : v;
            };
        };
        const QString route = QStringLiteral("1.3.6.1.2.1.4.21.1.");
        const QString arp = QStringLiteral("1.3.6.1.2.1.4.22.1.");
        QList<TableColumn> columns;
        if (kind == Arp)
            columns = {{arp + "1"},
                       {arp + "3"},
                       {arp + "2"},
                       {arp + "4", map({"Unknown", "Unnormal", "Dynamic", "Static"})}};
        else
            columns = {{route + "1"},
                       {route + "7"},
                       {route + "11"},
                       {route + "2"},
                       {route + "8", map({"Unknown", "Unnormal", "Direct", "Indirect"})},
                       {route + "9", RouteProtocolName},
                       {route + "10"},
                       {route + "3"},
                       {route + "4"},
                       {route + "5"},
                       {route + "6"}};
        const QList<QStringList> expected =
            SnmpwalkTable(snmpd.port(), QStringLiteral("public"), columns);
        // The namespace's own: at least its three routes, or its three neighbours.
        QVERIFY2(expected.size() >= 3, qPrintable(QString::number(expected.size())));
        bool found = false;
        for (const QStringList& r : expected) {
            for (int c : absent)
                QVERIFY2(r[c].isEmpty(), qPrintable(r.join(QLatin1Char('|'))));
            QStringList masked = r;
            for (int c = 0; c < row.size(); ++c)
                if (row[c].isEmpty())
                    masked[c].clear(); // the interface index and metric are the host's to choose
            found |= masked == row;
        }
        QVERIFY2(found, qPrintable(row.join(QLatin1Char('|'))));

        std::unique_ptr<QDialog> page(newPage(kind));
        walked(page.get());
        QCOMPARE(rows(listOf(page.get(), kind)), expected);
        QCOMPARE(ItemText(page.get(), kPages[kind].count), QString::number(expected.size()));
    }
};

QTEST_MAIN(TestTables)
#include "tst_tables.moc"
