// The spanning-tree page with its bridge and port dialogs, real dialogs under the offscreen
// platform, against talvex-sim (a fresh one for every test), and the simulator's bridge as
// net-snmp's tools see it.
#include "app/paneldlg.h"
#include "pages/portstpdlg.h"
#include "pages/stpconfigdlg.h"
#include "pages/stptabledlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr int kTimeoutMs = 2000;
const QString kStp = QStringLiteral("1.3.6.1.2.1.17.2");
const QString kPortEntry = QStringLiteral("1.3.6.1.2.1.17.2.15.1");

namespace table = res::stpTable;
namespace bridge = res::stpConfig;
namespace port = res::portStp;

void setText(QWidget* page, int id, const QString& text) {
    platform::Item<QLineEdit>(page, id)->setText(text);
}

// Runs each dialog the code runs modally through drive, for as long as the object lives.
class ModalDriver {
public:
    explicit ModalDriver(std::function<int(QDialog*)> drive) {
        platform::SetRunModalHook(std::move(drive));
    }
    ~ModalDriver() { platform::SetRunModalHook({}); }
};

// Every prompt shown, answered OK.
class Prompts {
public:
    Prompts() {
        platform::SetMessageBoxHook([this](QWidget*, const QString& text, bool) {
            texts << text;
            return platform::Answer::Ok;
        });
    }
    ~Prompts() { platform::SetMessageBoxHook({}); }
    QStringList texts;
};

} // namespace

class TestStp : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;
    QStringList m_ports; // the bridge ports, as the simulator numbers them

    QString sim(const QString& line) { return m_sim->command(line); }
    int served() { return sim(QStringLiteral("served")).toInt(); }
    QString agent() const { return QStringLiteral("127.0.0.1:") + QString::number(m_sim->port()); }
    QString snmpget(const QString& oid) {
        return RunTool(QStringLiteral("snmpget"), {"-v2c", "-c", "orchid", "-Oqv", agent(), oid})
            .trimmed();
    }
    QStringList snmpget(const QStringList& oids) {
        return RunTool(QStringLiteral("snmpget"),
                       QStringList{"-v2c", "-c", "orchid", "-Oqv", agent()} + oids)
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // snmpset's output and errors together; bindings as snmpset takes them (OID TYPE VALUE ...).
    QString snmpset(const QStringList& bindings) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("snmpset"),
                QStringList{"-v2c", "-c", "saffron", "-t1", "-r0", agent()} + bindings);
        p.waitForFinished(5000);
        return QString::fromUtf8(p.readAll());
    }
    QStringList bridgeTimers() {
        return snmpget({kStp + ".12.0", kStp + ".13.0", kStp + ".14.0", kStp + ".2.0"});
    }
    QStringList column(const QString& number) {
        return RunTool(QStringLiteral("snmpwalk"),
                       {"-v2c", "-c", "orchid", "-Oqv", agent(), kPortEntry + '.' + number})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString port(const QString& column, const QString& portNumber) {
        return snmpget(kPortEntry + '.' + column + '.' + portNumber);
    }

    // A page on the screen with its first walk done.
    std::unique_ptr<CStpTableDlg> shownPage() {
        auto page = std::make_unique<CStpTableDlg>();
        page->show();
        if (!QTest::qWaitFor(
                [&] {
                    return page->list()->rowCount() == m_ports.size() && !page->channel().busy();
                },
                10000))
            qWarning("the first walk did not list every port");
        return page;
    }
    QList<QStringList> rows(platform::ListView* list) {
        QList<QStringList> out;
        for (int r = 0; r < list->rowCount(); ++r)
            out << row(list, r);
        return out;
    }

private slots:
    void initTestCase() {
        SetSnmpTimeout(kTimeoutMs);
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        g_strReadCommunity = QStringLiteral("orchid");
        g_strWriteCommunity = QStringLiteral("saffron");
    }

    void init() {
        m_sim = std::make_unique<SimProcess>(QStringList{"--static"});
        QVERIFY(m_sim->started());
        SetSnmpAgentPort(m_sim->port());
        g_strProxyAddress = QStringLiteral("0.0.0.0");
        g_bUserRight = 1;
        m_ports = column("1");
        QVERIFY(m_ports.size() > 10);
    }

    void cleanup() {
        platform::SetRunModalHook({});
        platform::SetMessageBoxHook({});
    }

    // The simulator's bridge refuses what a real one refuses, a set at a time.
    void simBridgeWrites_data() {
        QTest::addColumn<QStringList>("bindings");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::addColumn<QStringList>(
            "timers"); // max age, hello, forward delay, priority afterwards
        const QStringList defaults{"2000", "200", "1500", "32768"};
        QTest::newRow("max age 4001")
            << QStringList{kStp + ".12.0", "i", "4001"} << "wrongValue" << defaults;
        QTest::newRow("hello 99") << QStringList{kStp + ".13.0", "i", "99"} << "wrongValue"
                                  << defaults;
        QTest::newRow("forward delay 3001")
            << QStringList{kStp + ".14.0", "i", "3001"} << "wrongValue" << defaults;
        QTest::newRow("priority 65536")
            << QStringList{kStp + ".2.0", "i", "65536"} << "wrongValue" << defaults;
        QTest::newRow("max age 4000 alone")
            << QStringList{kStp + ".12.0", "i", "4000"} << "inconsistentValue" << defaults;
        QTest::newRow("hello 1000 alone")
            << QStringList{kStp + ".13.0", "i", "1000"} << "inconsistentValue" << defaults;
        QTest::newRow("the three together")
            << QStringList{kStp + ".12.0", "i", "4000", kStp + ".13.0", "i", "1000",
                           kStp + ".14.0", "i", "3000"}
            << "" << QStringList{"4000", "1000", "3000", "32768"};
        QTest::newRow("the relation's bounds")
            << QStringList{kStp + ".12.0", "i", "600", kStp + ".13.0", "i", "200",
                           kStp + ".14.0", "i", "400"}
            << "" << QStringList{"600", "200", "400", "32768"};
        QTest::newRow("priority with a broken relation")
            << QStringList{kStp + ".2.0", "i", "4096", kStp + ".14.0", "i", "900"}
            << "inconsistentValue" << defaults;
        QTest::newRow("priority 0") << QStringList{kStp + ".2.0", "i", "0"} << ""
                                    << QStringList{"2000", "200", "1500", "0"};
    }

    void simBridgeWrites() {
        QFETCH(QStringList, bindings);
        QFETCH(QString, error);
        QFETCH(QStringList, timers);
        const QString out = snmpset(bindings);
        if (error.isEmpty())
            QVERIFY2(!out.contains(QLatin1String("Error")), qPrintable(out));
        else
            QVERIFY2(out.contains(QLatin1String("Reason: ") + error), qPrintable(out));
        QCOMPARE(bridgeTimers(), timers);
    }

    void simPortWrites() {
        const QString p = m_ports[3];
        QVERIFY(
            snmpset({kPortEntry + ".2." + p, "i", "256"}).contains(QLatin1String("wrongValue")));
        QVERIFY(snmpset({kPortEntry + ".5." + p, "i", "0"}).contains(QLatin1String("wrongValue")));
        QVERIFY(snmpset({kPortEntry + ".4." + p, "i", "3"}).contains(QLatin1String("wrongValue")));
        // A refused binding leaves the accepted one of the same set unwritten.
        QVERIFY(snmpset({kPortEntry + ".2." + p, "i", "16", kPortEntry + ".5." + p, "i", "0"})
                    .contains(QLatin1String("wrongValue")));
        QCOMPARE(port("2", p), QStringLiteral("128"));
        // Some ports block, some forward; one disabled leaves the tree and counts a topology
        // change, enabled again it listens before it forwards.
        const QStringList states = column("3");
        QCOMPARE(states.size(), m_ports.size());
        QVERIFY2(states.contains("2") && states.contains("5"), qPrintable(states.join(' ')));
        const QString forwarding = m_ports[states.lastIndexOf("5")];
        const int changes = snmpget(kStp + ".4.0").toInt();
        QVERIFY(
            !snmpset({kPortEntry + ".4." + forwarding, "i", "2"}).contains(QLatin1String("Error")));
        QCOMPARE(port("3", forwarding), QStringLiteral("1"));
        QCOMPARE(snmpget(kStp + ".4.0").toInt(), changes + 1);
        QVERIFY(
            !snmpset({kPortEntry + ".4." + forwarding, "i", "1"}).contains(QLatin1String("Error")));
        QCOMPARE(port("3", forwarding), QStringLiteral("3"));
        QCOMPARE(port("4", forwarding), QStringLiteral("1"));
    }

    // The menu command opens the page without a parent; the walk lists every bridge port.
    void pageThroughMenu() {
        QString opened;
        QList<QStringList> listed;
        QString count;
        QStringList headings;
        ModalDriver driver([&](QDialog* d) {
            opened = QString::fromLatin1(d->metaObject()->className()) + ':' + d->windowTitle();
            auto* page = qobject_cast<CStpTableDlg*>(d);
            if (!page || d->parent()) return 0;
            page->show();
            [&] {
                QVERIFY(QTest::qWaitFor(
                    [&] {
                        return !page->channel().busy() &&
                               page->list()->rowCount() == m_ports.size();
                    },
                    10000));
            }();
            listed = rows(page->list());
            for (int c = 0; c < page->list()->columnCount(); ++c)
                headings << page->list()->heading(c);
            count = ItemText(page, table::kCount);
            saveShot(page, "stp-page.png");
            return 0;
        });
        CPanelDlg panel;
        QVERIFY(panel.OnCommand(res::kCmdStpInfo));
        QCOMPARE(opened, QStringLiteral("CStpTableDlg:Spanning Tree Table"));
        QCOMPARE(headings,
                 (QStringList{"Port", "Priority", "Cost ", "Enable", "Status  ",
                              " ==Designated Root== ", "DesignatedCost",
                              " ==DesignatedBridge== ", "DesignatedPort", "Transitions"}));
        QCOMPARE(listed.size(), m_ports.size());
        QCOMPARE(count, QString::number(m_ports.size()));
        const QSet<QString> bridges{"32768/00:1A:2B:3C:00:01", "4096/00:1A:2B:5D:00:01",
                                    "32768/00:1A:2B:5D:00:02"};
        QSet<QString> states;
        const QStringList costs = column("5");
        for (int r = 0; r < listed.size(); ++r) {
            const QStringList& x = listed[r];
            QCOMPARE(x[0], m_ports[r]);
            QCOMPARE(x[1], QStringLiteral("128"));
            QCOMPARE(x[2], costs[r]);
            QCOMPARE(x[3], QStringLiteral("Y"));
            QCOMPARE(x[5], QStringLiteral("4096/00:1A:2B:5D:00:01"));
            QVERIFY2(bridges.contains(x[7]), qPrintable(x[7]));
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{2} [0-9A-F]{2}$"))
                         .match(x[8])
                         .hasMatch(),
                     qPrintable(x[8]));
            states << x[4];
        }
        QCOMPARE(states, (QSet<QString>{"Disable", "Blocking", "Forwarding"}));
    }

    // Nothing is asked before the page is on the screen.
    void firstWalkWhenShown() {
        const int before = served();
        CStpTableDlg page;
        QTest::qWait(200);
        QCOMPARE(served(), before);
        QCOMPARE(ItemText(&page, table::kCount), QStringLiteral("0"));
        page.show();
        QTRY_COMPARE(ItemText(&page, table::kCount), QString::number(m_ports.size()));
        QTRY_VERIFY(!page.channel().busy());
        // One walk, read ahead in blocks of 10, 20, 40 and 50 rows.
        QVERIFY2(served() - before <= 6, qPrintable(QString::number(served() - before)));
    }

    // Through a proxy the rows are the same. The simulator answers the proxy binding like any
    // other, so the walk moves it along the few objects after it and ends with them.
    void proxiedWalk() {
        const QList<QStringList> direct = rows(shownPage()->list());
        g_strProxyAddress = QStringLiteral("127.0.0.1");
        CStpTableDlg page;
        page.show();
        QTRY_VERIFY(page.list()->rowCount() > 0 && !page.channel().busy());
        const QList<QStringList> proxied = rows(page.list());
        QCOMPARE(proxied, direct.mid(0, proxied.size()));
    }

    void pageMapsValues_data() {
        QTest::addColumn<QString>("column"); // of the port entry
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("listColumn");
        QTest::addColumn<QString>("shown");
        QTest::newRow("state 6") << "3"
                                 << "6" << 4 << "Other";
        QTest::newRow("state 7") << "3"
                                 << "7" << 4 << "7";
        QTest::newRow("state 0") << "3"
                                 << "0" << 4 << "0";
        QTest::newRow("state 3") << "3"
                                 << "3" << 4 << "Monitor";
        QTest::newRow("state 4") << "3"
                                 << "4" << 4 << "Learning";
        QTest::newRow("enable 2") << "4"
                                  << "2" << 3 << "N";
        QTest::newRow("enable 0") << "4"
                                  << "0" << 3 << "N";
    }

    void pageMapsValues() {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(int, listColumn);
        QFETCH(QString, shown);
        QCOMPARE(
            sim(QStringLiteral("put %1.%2.%3 i %4").arg(kPortEntry, column, m_ports[2], value)),
            QStringLiteral("ok"));
        auto page = shownPage();
        QCOMPARE(page->list()->text(2, listColumn), shown);
    }

    // An empty table leaves an empty list and the count "0"; the port dialog then has no port
    // to show, to step to or to write: only Cancel is offered, and nothing is sent.
    void emptyPortTable() {
        QCOMPARE(sim("delbelow " + kPortEntry), QStringLiteral("ok"));
        m_ports.clear();
        const int before = served();
        auto page = shownPage();
        QTRY_COMPARE(served(), before + 1);
        QTRY_VERIFY(!page->channel().busy());
        QCOMPARE(page->list()->rowCount(), 0);
        QCOMPARE(ItemText(page.get(), table::kCount), QStringLiteral("0"));

        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                QVERIFY(!enabled(d, port::kPrev) && !enabled(d, port::kNext));
                QCOMPARE(ItemText(d, port::kPortLabel), QString());
                // Nothing was read, so nothing shows as if it had been.
                QCOMPARE(ItemText(d, port::kPriority), QString());
                QCOMPARE(ItemText(d, port::kPathCost), QString());
                for (int id : QList<int>{port::kPriority, port::kPathCost, port::kEnable,
                                         port::kApply, res::kOk})
                    QVERIFY2(!enabled(d, id), qPrintable(QString::number(id)));
                click(d, res::kCancel);
            }();
            return d->result();
        });
        click(page.get(), table::kPortConfig);
        QTest::qWait(200);
        QCOMPARE(served(), before + 1);
    }

    // Opened before the page has listed a port, the dialog offers nothing to write (a forced
    // Apply says why nothing was written); once the walk lists the first port it shows it, and
    // Apply writes it.
    void portDialogOnUnreadTable() {
        Prompts prompts;
        CStpTableDlg page; // not shown yet: its first walk has not started
        bool wrote = false;
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                auto* dialog = qobject_cast<CPortStpDlg*>(d);
                for (int id : QList<int>{port::kPriority, port::kPathCost, port::kEnable,
                                         port::kApply, res::kOk, port::kPrev, port::kNext})
                    QVERIFY2(!enabled(d, id), qPrintable(QString::number(id)));
                QVERIFY(enabled(d, res::kCancel));
                QVERIFY(!dialog->OnApply());
                QCOMPARE(prompts.texts, QStringList{"No port is listed yet; nothing was written."});
                page.show();
                QTRY_COMPARE(ItemText(d, port::kPortLabel), m_ports[0]);
                QTRY_COMPARE(ItemText(d, port::kPriority), QStringLiteral("128"));
                QVERIFY(enabled(d, port::kApply) && enabled(d, res::kOk) &&
                        !enabled(d, port::kPrev));
                QTRY_VERIFY(enabled(d, port::kNext));
                setText(d, port::kPriority, QStringLiteral("64"));
                click(d, port::kApply);
                QTRY_COMPARE(port("2", m_ports[0]), QStringLiteral("64"));
                wrote = true;
                click(d, res::kCancel);
            }();
            return d->result();
        });
        page.OnPortConfig();
        QVERIFY(wrote);
        QCOMPARE(prompts.texts.size(), 1);
    }

    // A second Refresh while the walk is out neither empties the list nor starts another walk.
    void refreshTwice() {
        auto page = shownPage();
        const int before = served();
        // Long enough that the walk is surely still out at the second Refresh, however busy
        // the machine: a block may bring the rest of the table at once.
        sim("delay 300");
        click(page.get(), table::kRefresh);
        QCOMPARE(ItemText(page.get(), table::kCount), QStringLiteral("0"));
        QTRY_VERIFY(page->list()->rowCount() >= 3);
        const int listed = page->list()->rowCount();
        click(page.get(), table::kRefresh);
        QVERIFY(page->list()->rowCount() >= listed);
        sim("delay 0");
        QTRY_VERIFY_WITH_TIMEOUT(!page->channel().busy(), 10000);
        QCOMPARE(page->list()->rowCount(), m_ports.size());
        QCOMPARE(ItemText(page.get(), table::kCount), QString::number(m_ports.size()));
        QVERIFY2(served() - before <= 6,
                 qPrintable(QString::number(served() - before))); // one walk
    }

    // The bridge dialog reads the device once and writes the four values in one set, closing
    // once the device has taken them.
    void bridgeDialog() {
        QVERIFY(!snmpset({kStp + ".12.0", "i", "2400", kStp + ".13.0", "i", "300", kStp + ".14.0",
                          "i", "1800", kStp + ".2.0", "i", "36864"})
                     .contains(QLatin1String("Error")));
        const QString rootPort = snmpget(kStp + ".7.0");
        const QString topChanges = snmpget(kStp + ".4.0");
        auto page = shownPage();
        const int before = served();
        ModalDriver driver([&](QDialog* d) {
            [&] {
                QCOMPARE(d->windowTitle(), QStringLiteral("STP Configuration"));
                d->show();
                QTRY_COMPARE(ItemText(d, bridge::kMaxAge), QStringLiteral("2400"));
                QCOMPARE(ItemText(d, bridge::kPriority), QStringLiteral("36864"));
                QCOMPARE(ItemText(d, bridge::kForwardDelay), QStringLiteral("1800"));
                QCOMPARE(ItemText(d, bridge::kHelloTime), QStringLiteral("300"));
                QCOMPARE(ItemText(d, bridge::kRootPort), rootPort);
                QCOMPARE(ItemText(d, bridge::kDesignatedRoot),
                         QStringLiteral("4096/00:1A:2B:5D:00:01"));
                bool ticks = false;
                ItemText(d, bridge::kTimeSinceChange).toUInt(&ticks);
                QVERIFY(ticks);
                QCOMPARE(ItemText(d, bridge::kTopChanges), topChanges);
                // The times the bridge runs with are the root's.
                QCOMPARE(ItemText(d, bridge::kCurrentForwardDelay), QStringLiteral("1500"));
                QCOMPARE(ItemText(d, bridge::kCurrentHelloTime), QStringLiteral("200"));
                QCOMPARE(ItemText(d, bridge::kHoldTime), QStringLiteral("100"));
                bool unit = false;
                for (QLabel* label : d->findChildren<QLabel*>())
                    unit |= label->text() == QStringLiteral("Time Unit：1/100s");
                QVERIFY(unit);
                saveShot(d, "stp-bridge.png");
                setText(d, bridge::kMaxAge, QStringLiteral("3000"));
                setText(d, bridge::kPriority, QStringLiteral("8192"));
                setText(d, bridge::kForwardDelay, QStringLiteral("2000"));
                setText(d, bridge::kHelloTime, QStringLiteral("400"));
                click(d, res::kOk);
                QVERIFY(!enabled(d, res::kOk)); // while the set is out
                QTRY_COMPARE(d->result(), int(QDialog::Accepted));
            }();
            return d->result();
        });
        click(page.get(), table::kBridgeConfig);
        QTest::qWait(300);
        QCOMPARE(served(), before + 2); // the dialog's get and its set; no walk
        QCOMPARE(bridgeTimers(), (QStringList{"3000", "400", "2000", "8192"}));
    }

    void bridgeValidation_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("prompt"); // empty: accepted
        QTest::addColumn<bool>("refused");   // by the device: the timers break 802.1D's relation
        const struct {
            const char* name;
            int edit, min, max;
        } edits[] = {{"MaxAgingTime", bridge::kMaxAge, 600, 4000},
                     {"Priority", bridge::kPriority, 0, 65535},
                     {"BridgeFwdDelay", bridge::kForwardDelay, 400, 3000},
                     {"BridgeHelloTime", bridge::kHelloTime, 100, 1000}};
        for (const auto& e : edits) {
            // The framework's sentence, after the name the field has in the dialog.
            const QString prompt = QStringLiteral("%1: Please enter an integer between %2 and %3.")
                                       .arg(QLatin1String(e.name))
                                       .arg(e.min)
                                       .arg(e.max);
            for (int v : {e.min - 1, e.min, e.max, e.max + 1}) {
                // Against the others' 2000, 1500 and 200.
                const bool refused = (e.edit == bridge::kMaxAge && v == 4000) ||
                                     (e.edit == bridge::kForwardDelay && v == 400) ||
                                     (e.edit == bridge::kHelloTime && v == 1000);
                QTest::addRow("%s %d", e.name, v)
                    << e.edit << QString::number(v) << (v < e.min || v > e.max ? prompt : QString())
                    << refused;
            }
            QTest::addRow("%s not a number", e.name) << e.edit << "12a" << prompt << false;
        }
    }

    // OK checks each edit's range, bounds included; a refusal keeps the dialog open and sends
    // nothing. Values in range that the device refuses are told, and the dialog stays open.
    void bridgeValidation() {
        QFETCH(int, edit);
        QFETCH(QString, value);
        QFETCH(QString, prompt);
        QFETCH(bool, refused);
        auto page = shownPage();
        Prompts prompts;
        bool open = false;
        ModalDriver driver([&](QDialog* d) {
            d->show();
            [&] { QTRY_VERIFY(!qobject_cast<CStpConfigDlg*>(d)->channel().busy()); }();
            setText(d, edit, value);
            click(d, res::kOk);
            [&] { QTRY_VERIFY(!qobject_cast<CStpConfigDlg*>(d)->channel().busy()); }();
            open = d->isVisible();
            d->reject();
            return d->result();
        });
        const int before = served();
        click(page.get(), table::kBridgeConfig);
        QTest::qWait(200);
        QCOMPARE(open, !prompt.isEmpty() || refused);
        const QString refusal = QStringLiteral(
            "The device refused the change of dot1dStpBridgeMaxAge.0: inconsistentValue");
        QCOMPARE(prompts.texts, !prompt.isEmpty() ? QStringList{prompt}
                                : refused         ? QStringList{refusal}
                                                  : QStringList{});
        QCOMPARE(served() - before, prompt.isEmpty() ? 2 : 1);
    }

    // The device refuses the whole set: the operator is told, the dialog stays open with what
    // was typed, and a corrected OK writes it; the next opening shows what the device holds.
    void bridgeSetRefused() {
        Prompts prompts;
        auto page = shownPage();
        QStringList shown, kept;
        bool openAfterRefusal = false;
        ModalDriver driver([&](QDialog* d) {
            d->show();
            [&] { QTRY_COMPARE(ItemText(d, bridge::kMaxAge), QStringLiteral("2000")); }();
            shown =
                QStringList{ItemText(d, bridge::kMaxAge), ItemText(d, bridge::kPriority),
                            ItemText(d, bridge::kForwardDelay), ItemText(d, bridge::kHelloTime)};
            if (!prompts.texts.isEmpty()) return int(QDialog::Rejected);
            setText(d, bridge::kPriority, QStringLiteral("4096"));
            setText(d, bridge::kHelloTime, QStringLiteral("1000")); // 2000 < 2 * (1000 + 100)
            click(d, res::kOk);
            [&] { QTRY_COMPARE(prompts.texts.size(), 1); }();
            openAfterRefusal =
                d->isVisible() && d->result() != QDialog::Accepted && enabled(d, res::kOk);
            kept = QStringList{ItemText(d, bridge::kMaxAge), ItemText(d, bridge::kPriority),
                               ItemText(d, bridge::kForwardDelay), ItemText(d, bridge::kHelloTime)};
            setText(d, bridge::kHelloTime, QStringLiteral("300"));
            click(d, res::kOk);
            [&] { QTRY_COMPARE(d->result(), int(QDialog::Accepted)); }();
            return d->result();
        });
        click(page.get(), table::kBridgeConfig);
        QCOMPARE(prompts.texts,
                 QStringList{
                     "The device refused the change of dot1dStpBridgeMaxAge.0: inconsistentValue"});
        QVERIFY(openAfterRefusal);
        QCOMPARE(kept, (QStringList{"2000", "4096", "1500", "1000"}));
        QCOMPARE(bridgeTimers(), (QStringList{"2000", "300", "1500", "4096"}));
        shown.clear();
        click(page.get(), table::kBridgeConfig);
        QCOMPARE(shown, (QStringList{"2000", "4096", "1500", "300"}));
    }

    // Without the right nothing can be edited, and OK from either dialog writes nothing.
    void withoutRight() {
        g_bUserRight = 0;
        auto page = shownPage();
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                const bool bridge = qobject_cast<CStpConfigDlg*>(d);
                for (int id : bridge
                                  ? QList<int>{bridge::kMaxAge, bridge::kPriority,
                                               bridge::kForwardDelay, bridge::kHelloTime, res::kOk}
                                  : QList<int>{port::kPriority, port::kPathCost, port::kEnable,
                                               port::kApply, res::kOk})
                    QVERIFY2(!enabled(d, id), qPrintable(QString::number(id)));
                QTRY_COMPARE(ItemText(d, bridge ? int(bridge::kMaxAge) : int(port::kPriority)),
                             QString::fromLatin1(bridge ? "2000" : "128"));
                setText(d, bridge ? int(bridge::kPriority) : int(port::kPriority),
                        QStringLiteral("16"));
                // A click on the disabled button, as a person might try.
                QTest::mouseClick(
                    platform::Item<QPushButton>(d, bridge ? int(res::kOk) : int(port::kApply)),
                    Qt::LeftButton);
            }();
            return int(QDialog::Accepted); // as though OK had been pressed
        });
        const int before = served();
        click(page.get(), table::kBridgeConfig);
        click(page.get(), table::kPortConfig);
        QTest::qWait(300);
        QCOMPARE(served(), before + 2); // the dialogs' gets: no set, no walk
        QCOMPARE(bridgeTimers(), (QStringList{"2000", "200", "1500", "32768"}));
        QCOMPARE(port("2", m_ports[0]), QStringLiteral("128"));
    }

    // With no row selected the dialog starts on the first; the three values are the device's
    // for the port the row shows, and stepping reads the next port's.
    void portDialogSteps() {
        snmpset({kPortEntry + ".2." + m_ports[0], "i", "16", kPortEntry + ".2." + m_ports[1], "i",
                 "32"});
        auto page = shownPage();
        page->list()->clearSelection();
        ModalDriver driver([&](QDialog* d) {
            [&] {
                QCOMPARE(d->windowTitle(), QStringLiteral("Port STP Configuration"));
                d->show();
                QCOMPARE(ItemText(d, port::kPortLabel), m_ports[0]);
                QVERIFY(!enabled(d, port::kPrev) && enabled(d, port::kNext));
                QTRY_COMPARE(ItemText(d, port::kPriority), QStringLiteral("16"));
                QCOMPARE(ItemText(d, port::kPathCost), port("5", m_ports[0]));
                auto* box = platform::Item<QCheckBox>(d, port::kEnable);
                QVERIFY(box->isHidden() && box->isChecked());
                const QStringList listed = row(page->list(), 0);
                for (int c = 4; c <= 9; ++c)
                    QCOMPARE(ItemText(d, port::kState + c - 4), listed[c]);
                saveShot(d, "stp-port.png");
                click(d, port::kNext);
                QCOMPARE(ItemText(d, port::kPortLabel), m_ports[1]);
                QVERIFY(enabled(d, port::kPrev) && enabled(d, port::kNext));
                QTRY_COMPARE(ItemText(d, port::kPriority), QStringLiteral("32"));
                QCOMPARE(ItemText(d, port::kState), page->list()->text(1, 4));
                click(d, port::kPrev);
                QVERIFY(!enabled(d, port::kPrev) && enabled(d, port::kNext));
                QTRY_COMPARE(ItemText(d, port::kPriority), QStringLiteral("16"));
                click(d, res::kCancel);
            }();
            return d->result();
        });
        const int before = served();
        click(page.get(), table::kPortConfig);
        QCOMPARE(served(), before + 3 + 1); // three gets and the snmpget
    }

    // On the last row Next is disabled and does nothing. An answer for a port no longer shown
    // is not shown: the port shown is read then, and nothing is written before its answer.
    void portDialogLastRowAndQuickSteps() {
        Prompts prompts;
        const int last = int(m_ports.size()) - 1;
        snmpset({kPortEntry + ".2." + m_ports[last - 1], "i", "32",
                 kPortEntry + ".2." + m_ports[last - 2], "i", "48"});
        auto page = shownPage();
        page->list()->setRowSelected(last);
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                auto* dialog = qobject_cast<CPortStpDlg*>(d);
                QCOMPARE(ItemText(d, port::kPortLabel), m_ports[last]);
                QVERIFY(enabled(d, port::kPrev) && !enabled(d, port::kNext));
                QTRY_VERIFY(!dialog->getChannel().busy());
                const int before = served();
                QTest::mouseClick(platform::Item<QPushButton>(d, port::kNext),
                                  Qt::LeftButton); // disabled
                QCOMPARE(dialog->row(), last);
                QTest::qWait(100);
                QCOMPARE(served(), before);
                sim("delay 300");
                click(d, port::kPrev); // reads the port before the last
                QVERIFY(enabled(d, port::kPrev) && enabled(d, port::kNext));
                click(d, port::kPrev);
                QCOMPARE(ItemText(d, port::kPortLabel), m_ports[last - 2]);
                click(d, port::kApply);
                QCOMPARE(
                    prompts.texts,
                    QStringList{QStringLiteral("The settings of port %1 are still being read from "
                                               "the device; nothing was written.")
                                    .arg(m_ports[last - 2])});
                QTRY_COMPARE_WITH_TIMEOUT(ItemText(d, port::kPriority), QStringLiteral("48"), 3000);
                QTRY_VERIFY(!dialog->getChannel().busy());
                QCOMPARE(served(), before + 2); // two gets, no set
                sim("delay 0");
                click(d, res::kCancel);
            }();
            return d->result();
        });
        click(page.get(), table::kPortConfig);
    }

    // A double-click opens the row's port; an enable of 2 goes back as "2", the OIDs carry the
    // port number, and OK walks the list again.
    void portDialogWrites() {
        const QString p = m_ports[1];
        QVERIFY(!snmpset({kPortEntry + ".4." + p, "i", "2"}).contains(QLatin1String("Error")));
        auto page = shownPage();
        platform::ListView* list = page->list();
        QCOMPARE(list->text(1, 3), QStringLiteral("N"));
        QCOMPARE(list->text(1, 4), QStringLiteral("Disable"));
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                QCOMPARE(ItemText(d, port::kPortLabel), p);
                QTRY_VERIFY(!qobject_cast<CPortStpDlg*>(d)->getChannel().busy());
                QVERIFY(!platform::Item<QCheckBox>(d, port::kEnable)->isChecked());
                setText(d, port::kPriority, QStringLiteral("64"));
                setText(d, port::kPathCost, QStringLiteral("100"));
                click(d, port::kApply);
                QTRY_COMPARE(port("2", p), QStringLiteral("64"));
                QCOMPARE(port("5", p), QStringLiteral("100"));
                QCOMPARE(port("4", p), QStringLiteral("2"));
                setText(d, port::kPriority, QStringLiteral("80"));
                click(d, res::kOk);
            }();
            return d->result();
        });
        // A person's double-click: the first press selects the row.
        const QPoint at = list->rowRect(1).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(list->rowCount(), m_ports.size());
        QTRY_VERIFY(!page->channel().busy());
        QCOMPARE(row(list, 1).mid(0, 4), (QStringList{p, "80", "100", "N"}));
        QCOMPARE(port("2", m_ports[0]), QStringLiteral("128"));
    }

    // A value the device refuses is told, naming the object and the reason, with Apply and
    // with OK (the list is walked again after OK all the same); an accepted one says nothing.
    void portDialogRefusedWrite() {
        Prompts prompts;
        const QString p = m_ports[2];
        auto page = shownPage();
        page->list()->setRowSelected(2);
        const QString refusal =
            "The device refused the change of dot1dStpPortPriority." + p + ": wrongValue";
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                QTRY_VERIFY(!qobject_cast<CPortStpDlg*>(d)->getChannel().busy());
                setText(d, port::kPriority, QStringLiteral("300"));
                click(d, port::kApply);
                QTRY_COMPARE(prompts.texts, QStringList{refusal});
                QVERIFY(d->isVisible());
                setText(d, port::kPriority, QStringLiteral("255"));
                click(d, port::kApply);
                QTRY_COMPARE(port("2", p), QStringLiteral("255"));
                QTRY_VERIFY(!page->setChannel().busy());
                setText(d, port::kPriority, QStringLiteral("256"));
                click(d, res::kOk);
            }();
            return d->result();
        });
        click(page.get(), table::kPortConfig);
        QTRY_VERIFY(!page->setChannel().busy() && !page->channel().busy());
        QCOMPARE(prompts.texts, (QStringList{refusal, refusal}));
        QCOMPARE(port("2", p), QStringLiteral("255"));
        QCOMPARE(page->list()->text(2, 1), QStringLiteral("255"));
    }

    // When the port's values never came, Apply and OK write nothing, say so, and the dialog
    // stays open.
    void portDialogUnreadValues() {
        Prompts prompts;
        auto page = shownPage();
        sim("drop 1");
        ModalDriver driver([&](QDialog* d) {
            [&] {
                d->show();
                auto* dialog = qobject_cast<CPortStpDlg*>(d);
                QTRY_VERIFY_WITH_TIMEOUT(!dialog->getChannel().busy(), kTimeoutMs + 2000);
                sim("drop 0");
                QCOMPARE(ItemText(d, port::kPriority), QString());
                QCOMPARE(ItemText(d, port::kPathCost), QString());
                const int before = served();
                setText(d, port::kPriority, QStringLiteral("16"));
                click(d, port::kApply);
                click(d, res::kOk);
                const QString text =
                    QStringLiteral("The settings of port %1 could not be read from the device; "
                                   "nothing was written.")
                        .arg(m_ports[0]);
                QCOMPARE(prompts.texts, (QStringList{text, text}));
                QVERIFY(d->isVisible() && d->result() != QDialog::Accepted);
                QTest::qWait(200);
                QCOMPARE(served(), before);
                click(d, res::kCancel);
            }();
            return d->result();
        });
        page->list()->clearSelection();
        click(page.get(), table::kPortConfig);
        QCOMPARE(port("2", m_ports[0]), QStringLiteral("128"));
    }

    // A designated port is two octets, shown in hex even where they would read as text.
    void designatedPortInHex_data() {
        QTest::addColumn<QString>("octets");
        QTest::addColumn<QString>("shown");
        QTest::newRow("priority 64, reads as text") << "400A"
                                                    << "40 0A";
        QTest::newRow("letters") << "4142"
                                 << "41 42";
        QTest::newRow("priority 128") << "8003"
                                      << "80 03";
        QTest::newRow("trailing NUL") << "4100"
                                      << "41 00";
    }
    void designatedPortInHex() {
        QFETCH(QString, octets);
        QFETCH(QString, shown);
        QCOMPARE(sim(QStringLiteral("put %1.9.%2 x %3").arg(kPortEntry, m_ports[1], octets)),
                 QStringLiteral("ok"));
        auto page = shownPage();
        QCOMPARE(page->list()->text(1, 8), shown);
    }
};

QTEST_MAIN(TestStp)
#include "tst_stp.moc"
