// The first MIB pages, real dialogs under the offscreen platform, against talvex-sim (with its
// fault switches) and against net-snmp's snmpd.
#include "app/paneldlg.h"
#include "pages/cpuutildlg.h"
#include "pages/deviceinfodlg.h"
#include "pages/interfaceinfodlg.h"
#include "pages/memoryinfodlg.h"
#include "pages/systeminfodlg.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kTimeoutMs = 2000; // retries every 500 ms

QStringList checkedServices(QWidget* page) {
    QStringList out;
    for (int id : {res::system::kPhysical, res::system::kLink, res::system::kNetwork,
                   res::system::kTransport, res::system::kApplication})
        if (platform::Item<QCheckBox>(page, id)->isChecked())
            out << platform::Item<QCheckBox>(page, id)->text();
    return out;
}

// Loads, as the module does at start, a credentials file in the folder xdg: a block for the
// agent at 127.0.0.1:port with these lines. Empty when it loaded, else why not.
QString loadCredentials(const QTemporaryDir& xdg, quint16 port, const char* lines) {
    const QByteArray text = QStringLiteral("agent 127.0.0.1:%1\n").arg(port).toUtf8() + lines;
    if (WriteCredentialsFile(xdg.path(), text).isEmpty()) return QStringLiteral("not written");
    qputenv("XDG_CONFIG_HOME", xdg.path().toUtf8());
    QString why;
    const bool loaded = LoadSnmpCredentials(&why);
    qunsetenv("XDG_CONFIG_HOME");
    return loaded ? QString() : why.isEmpty() ? QStringLiteral("not loaded") : why;
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> m_sim;
    QStringList m_messages; // every message box's text, answered OK

    QString sim(const QString& line) { return m_sim->command(line); }
    int served() { return sim(QStringLiteral("served")).toInt(); }
    void useSim() { UseSimulator(m_sim->port()); }
    // The value the simulator holds, as net-snmp's snmpget reads it.
    QString snmpget(const QString& oid) {
        bool ok = false;
        QString out = RunTool(
            QStringLiteral("snmpget"),
            {"-v2c", "-c", "orchid", "-Oqv", "127.0.0.1:" + QString::number(m_sim->port()), oid},
            &ok);
        return out.trimmed().remove(QLatin1Char('"'));
    }

private slots:
    void initTestCase() {
        QVERIFY(StartStaticSimulator(m_sim, kTimeoutMs));
        platform::SetMessageBoxHook([this](QWidget*, const QString& text, bool) {
            m_messages << text;
            return platform::Answer::Ok;
        });
    }

    void init() {
        QCOMPARE(sim("faults"), QString("ok"));
        useSim();
        g_bUserRight = 1;
        m_messages.clear();
    }

    void cpuPage() {
        for (auto [k, v] : {std::pair{1, 42}, {2, 37}, {3, 20}})
            sim(QStringLiteral("put 1.3.6.1.4.1.58213.10.97.2.36.1.1.%1.0 i %2").arg(k).arg(v));
        CCpuUtilDlg page;
        QCOMPARE(page.windowTitle(), QStringLiteral("CPU Utilization"));
        QTRY_COMPARE(texts(&page, {res::cpu::k5Sec, res::cpu::k1Min, res::cpu::k5Min}),
                     (QStringList{"42", "37", "20"}));
        saveShot(&page, "cpu-page.png");
        QVERIFY(!page.channel().busy());

        // A tick, a Refresh and another tick within one outstanding get make one request.
        sim("delay 300");
        const int before = served();
        page.OnTimer();
        QVERIFY(page.channel().busy());
        click(&page, res::cpu::kRefresh);
        page.OnTimer();
        QTRY_VERIFY(!page.channel().busy());
        QCOMPARE(served(), before + 1);

        // Too few bindings, an error status, no answer: the fields stay, the next tick retries.
        sim("delay 0");
        sim("put 1.3.6.1.4.1.58213.10.97.2.36.1.1.1.0 i 99");
        for (const char* fault : {"truncate 2", "error 5", "wrongid 1", "drop 1"}) {
            sim(QString::fromLatin1(fault));
            page.OnTimer();
            QVERIFY(page.channel().busy());
            QTRY_VERIFY_WITH_TIMEOUT(!page.channel().busy(), kTimeoutMs + 2000);
            QVERIFY2(ItemText(&page, res::cpu::k5Sec) == QStringLiteral("42"), fault);
            sim("faults");
        }
        page.OnTimer();
        QTRY_COMPARE(ItemText(&page, res::cpu::k5Sec), QStringLiteral("99"));

        // An object the agent lacks empties its own field only, never shows the exception.
        sim("del 1.3.6.1.4.1.58213.10.97.2.36.1.1.2.0");
        sim("put 1.3.6.1.4.1.58213.10.97.2.36.1.1.3.0 i 21");
        const int asked = served();
        click(&page, res::cpu::kRefresh);
        QTRY_VERIFY(!page.channel().busy());
        QCOMPARE(served(), asked + 1);
        QCOMPARE(texts(&page, {res::cpu::k5Sec, res::cpu::k1Min, res::cpu::k5Min}),
                 (QStringList{"99", "", "21"}));
        sim("put 1.3.6.1.4.1.58213.10.97.2.36.1.1.2.0 i 38");

        // The page's own timer re-reads without anyone asking.
        QTRY_COMPARE_WITH_TIMEOUT(ItemText(&page, res::cpu::k1Min), QStringLiteral("38"),
                                  kPageTimerMs + 3000);

        // Close ends the page.
        page.show();
        click(&page, res::cpu::kClose);
        QVERIFY(!page.isVisible());
    }

    void memoryPage() {
        sim("put 1.3.6.1.4.1.58213.10.97.2.35.1.1.1.3.0 i 61");
        CMemoryInfoDlg page;
        QCOMPARE(page.windowTitle(), QStringLiteral("Memory Information"));
        QTRY_VERIFY(!ItemText(&page, res::memory::kLargest).isEmpty());
        QCOMPARE(ItemText(&page, res::memory::kIndex), QStringLiteral("1"));
        QCOMPARE(ItemText(&page, res::memory::kName), QStringLiteral("DRAM"));
        QCOMPARE(ItemText(&page, res::memory::kCurrent), QStringLiteral("61"));
        saveShot(&page, "memory-page.png");
        sim("put 1.3.6.1.4.1.58213.10.97.2.35.1.1.1.3.0 i 62");
        sim("truncate 4");
        click(&page, res::memory::kRefresh);
        QTRY_VERIFY(!page.channel().busy());
        QCOMPARE(ItemText(&page, res::memory::kCurrent), QStringLiteral("61"));
    }

    void devicePage_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("shown"); // type, address, MAC, firmware, hardware
        QTest::newRow("answer") << ""
                                << QStringList{"Talvex 8010 chassis switch", "127.0.0.1",
                                               "00:1A:2B:3C:00:01", "3.2.7", "B.04"};
        QTest::newRow("error status") << "error 2" << QStringList{"", "127.0.0.1", "", "", ""};
        QTest::newRow("three bindings") << "truncate 3" << QStringList{"", "127.0.0.1", "", "", ""};
    }

    void devicePage() {
        QFETCH(QString, fault);
        QFETCH(QStringList, shown);
        if (!fault.isEmpty()) sim(fault);
        const int before = served();
        CDeviceInfoDlg page;
        QCOMPARE(page.windowTitle(), QStringLiteral("Device Information"));
        QVERIFY(platform::Item<QPushButton>(&page, res::device::kRefresh)->isHidden());
        QTRY_COMPARE(served(), before + 1);
        QTest::qWait(200);
        QCOMPARE(texts(&page, {res::device::kType, res::device::kAddress, res::device::kMac,
                               res::device::kFirmware, res::device::kHardware}),
                 shown);
        if (fault.isEmpty()) saveShot(&page, "device-page.png");
        // The page reads once: the pending id is never cleared.
        QVERIFY(page.channel().busy());
    }

    void uptimeText_data() {
        QTest::addColumn<qint64>("ticks");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "0 Hours 0 Minutes ";
        QTest::newRow("one day") << qint64(8640000) << "24 Hours 0 Minutes ";
        QTest::newRow("359999") << qint64(359999) << "0 Hours 59 Minutes ";
        QTest::newRow("12345678") << qint64(12345678) << "34 Hours 17 Minutes ";
        QTest::newRow("negative") << qint64(-12345678) << "34 Hours 17 Minutes ";
        QTest::newRow("largest TimeTicks") << qint64(4294967295) << "11930 Hours 27 Minutes ";
    }

    void uptimeText() {
        QFETCH(qint64, ticks);
        QFETCH(QString, text);
        QCOMPARE(UptimeText(ticks), text);
    }

    void systemPageServices_data() {
        QTest::addColumn<int>("services");
        QTest::addColumn<QStringList>("checked");
        QTest::newRow("72") << 72 << QStringList{"Transport", "Application"};
        QTest::newRow("78") << 78 << QStringList{"Link", "Network", "Transport", "Application"};
        QTest::newRow("4") << 4 << QStringList{"Network"};
        QTest::newRow("0") << 0 << QStringList{};
        QTest::newRow("48") << 48 << QStringList{};
        QTest::newRow("127") << 127
                             << QStringList{"Physical", "Link", "Network", "Transport",
                                            "Application"};
    }

    void systemPageServices() {
        QFETCH(int, services);
        QFETCH(QStringList, checked);
        sim("put 1.3.6.1.2.1.1.7.0 i 127");
        CSystemInfoDlg page;
        QTRY_COMPARE(checkedServices(&page).size(), 5);
        // A later answer shows its own services alone.
        sim(QStringLiteral("put 1.3.6.1.2.1.1.7.0 i %1").arg(services));
        sim("put 1.3.6.1.2.1.1.3.0 t 12345678");
        click(&page, res::system::kRefresh);
        QTRY_VERIFY(!page.getChannel().busy());
        QCOMPARE(ItemText(&page, res::system::kUptime), QStringLiteral("34 Hours 17 Minutes "));
        QCOMPARE(checkedServices(&page), checked);
        for (int id : {res::system::kPhysical, res::system::kLink, res::system::kNetwork,
                       res::system::kTransport, res::system::kApplication})
            QVERIFY(!platform::Item<QCheckBox>(&page, id)->isEnabled());
    }

    void systemPageShowsAndApplies() {
        sim("put 1.3.6.1.2.1.1.3.0 t 8640000");
        CSystemInfoDlg page;
        QCOMPARE(page.windowTitle(), QStringLiteral("System Information"));
        auto* apply = platform::Item<QPushButton>(&page, res::system::kApply);
        QVERIFY(!apply->isEnabled());
        QTRY_COMPARE(ItemText(&page, res::system::kName), snmpget("1.3.6.1.2.1.1.5.0"));
        QCOMPARE(ItemText(&page, res::system::kUptime), QStringLiteral("24 Hours 0 Minutes "));
        QCOMPARE(ItemText(&page, res::system::kObjectId),
                 QStringLiteral("1.3.6.1.4.1.58213.10.97.1"));
        QCOMPARE(ItemText(&page, res::system::kDescr), snmpget("1.3.6.1.2.1.1.1.0"));
        QVERIFY(apply->isEnabled()); // the answer filled the edit boxes

        // A Refresh while the get is outstanding sends nothing.
        sim("delay 300");
        int before = served();
        click(&page, res::system::kRefresh);
        click(&page, res::system::kRefresh);
        QTRY_VERIFY(!page.getChannel().busy());
        QCOMPARE(served(), before + 1);
        sim("delay 0");

        // Two applies in one opening both reach the device, the second while a get is out.
        auto* name = platform::Item<QLineEdit>(&page, res::system::kName);
        name->setText(QStringLiteral("core-1"));
        click(&page, res::system::kApply);
        QTRY_COMPARE(snmpget("1.3.6.1.2.1.1.5.0"), QStringLiteral("core-1"));
        QTRY_VERIFY(!page.setChannel().busy() && !page.getChannel().busy());
        sim("delay 300");
        click(&page, res::system::kRefresh);
        platform::Item<QLineEdit>(&page, res::system::kLocation)
            ->setText(QStringLiteral("Hall B, row 7"));
        click(&page, res::system::kApply);
        QTRY_VERIFY(!page.setChannel().busy() && !page.getChannel().busy());
        QCOMPARE(snmpget("1.3.6.1.2.1.1.6.0"), QStringLiteral("Hall B, row 7"));
        QCOMPARE(ItemText(&page, res::system::kLocation), QStringLiteral("Hall B, row 7"));
        QCOMPARE(ItemText(&page, res::system::kName), QStringLiteral("core-1"));

        QVERIFY(m_messages.isEmpty()); // accepted sets say nothing

        // A refused set is told, and keeps what the operator typed, ready to apply again; so
        // does a set the device does not answer.
        sim("delay 0");
        sim("error 17");
        name->setText(QStringLiteral("refused"));
        click(&page, res::system::kApply);
        QTRY_VERIFY(!page.setChannel().busy());
        QCOMPARE(m_messages,
                 QStringList{"The device refused the change of System Contact.0: notWritable"});
        QCOMPARE(name->text(), QStringLiteral("refused"));
        QVERIFY(apply->isEnabled());
        sim("faults");
        sim("drop 1");
        click(&page, res::system::kApply);
        QTRY_VERIFY_WITH_TIMEOUT(!page.setChannel().busy(), kTimeoutMs + 2000);
        QCOMPARE(m_messages.last(),
                 QStringLiteral("The device did not answer the change of System Contact.0, "
                                "System Name.0, System Location.0."));
        QCOMPARE(name->text(), QStringLiteral("refused"));
        QVERIFY(apply->isEnabled());
        sim("faults");
        m_messages.clear();

        // Typing is limited; a longer value from the device is shown and written back whole,
        // and may be shortened but never lengthened by typing.
        const QString longContact(40, QLatin1Char('c'));
        bool set = false;
        RunTool(QStringLiteral("snmpset"),
                {"-v2c", "-c", "saffron", "127.0.0.1:" + QString::number(m_sim->port()),
                 "1.3.6.1.2.1.1.4.0", "s", longContact},
                &set);
        QVERIFY(set);
        click(&page, res::system::kRefresh);
        QTRY_COMPARE(ItemText(&page, res::system::kContact), longContact);
        name->setText(QStringLiteral("core-2"));
        click(&page, res::system::kApply);
        QTRY_COMPARE(snmpget("1.3.6.1.2.1.1.5.0"), QStringLiteral("core-2"));
        QCOMPARE(snmpget("1.3.6.1.2.1.1.4.0"), longContact);
        QTRY_VERIFY(!page.setChannel().busy() && !page.getChannel().busy());
        auto* contact = platform::Item<QLineEdit>(&page, res::system::kContact);
        contact->setFocus();
        contact->end(false);
        QTest::keyClicks(contact, QStringLiteral("xy"));
        QCOMPARE(contact->text(), longContact);
        QTest::keyClick(contact, Qt::Key_Backspace);
        QTest::keyClicks(contact, QStringLiteral("z"));
        QCOMPARE(contact->text(), longContact.left(39));
        contact->clear();
        QTest::keyClicks(contact, QString(40, QLatin1Char('k')));
        QCOMPARE(contact->text().size(), 32);
        name->clear();
        QTest::keyClicks(name, QString(40, QLatin1Char('n')));
        QCOMPARE(name->text().size(), 32);
        sim("put 1.3.6.1.2.1.1.5.0 s talvex-sim");

        // A description of several lines is there whole, and its box scrolls.
        const QString descr =
            QStringLiteral("Talvex 8010 Software, Version 3.2.7, RELEASE SOFTWARE (fc1)\n"
                           "Technical Support: https://support.example.net/talvex\n"
                           "Copyright (c) 2019-2026 by the Talvex team.\n"
                           "Compiled Tue 03-Nov-26 11:42 by release-builder");
        sim("put 1.3.6.1.2.1.1.1.0 x " + QString::fromLatin1(descr.toUtf8().toHex()));
        click(&page, res::system::kRefresh);
        QTRY_COMPARE(ItemText(&page, res::system::kDescr), descr);
        auto* label = platform::Item<QLabel>(&page, res::system::kDescr);
        page.show();
        auto* box = qobject_cast<QScrollArea*>(label->parentWidget()->parentWidget());
        QVERIFY(box);
        QTRY_VERIFY(box->verticalScrollBar()->maximum() > 0);
        sim("put 1.3.6.1.2.1.1.1.0 s Talvex 8010 modular Ethernet switch, firmware 3.2.7");
    }

    void systemPageWithoutRight() {
        g_bUserRight = 0;
        const QString name = snmpget("1.3.6.1.2.1.1.5.0");
        CSystemInfoDlg page;
        QTRY_COMPARE(ItemText(&page, res::system::kName), name);
        for (int id : {res::system::kName, res::system::kContact, res::system::kLocation})
            QVERIFY(platform::Item<QLineEdit>(&page, id)->isReadOnly());
        auto* apply = platform::Item<QPushButton>(&page, res::system::kApply);
        QVERIFY(!apply->isEnabled());
        const int before = served();
        platform::Item<QLineEdit>(&page, res::system::kName)->setText(QStringLiteral("intruder"));
        QVERIFY(!apply->isEnabled());
        page.OnApply(); // the button is disabled: only a direct call can reach the handler
        QTest::qWait(300);
        QCOMPARE(served(), before);
        QCOMPARE(snmpget("1.3.6.1.2.1.1.5.0"), name);
    }

    void ifTypeAndSpeed_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("6") << "6"
                           << "ethernet-csmacd";
        QTest::newRow("1") << "1"
                           << "other";
        QTest::newRow("2") << "2"
                           << "regular1822";
        QTest::newRow("27") << "27"
                            << "other";
        QTest::newRow("37") << "37"
                            << "atm";
        QTest::newRow("56") << "56"
                            << "fibre-channel";
        QTest::newRow("57") << "57"
                            << "other";
        QTest::newRow("empty") << ""
                               << "other";
        QTest::newRow("text") << "<noSuchInstance>"
                              << "other";
    }

    void ifTypeAndSpeed() {
        QFETCH(QString, type);
        QFETCH(QString, name);
        QCOMPARE(IfTypeName(type), name);
        QCOMPARE(IfSpeedText("10000000"), QStringLiteral("10M"));
        QCOMPARE(IfSpeedText("0"), QStringLiteral("0M"));
        QCOMPARE(IfSpeedText("999999"), QStringLiteral("0M"));
        QCOMPARE(IfSpeedText("4294967295"), QStringLiteral("4294M"));
    }

    // Where ifSpeed stops at 4294967295, ifHighSpeed (Mbit/s) gives the speed; elsewhere, or
    // without an ifHighSpeed value, ifSpeed in millions.
    void speedWithHighSpeed_data() {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ten gigabit") << "4294967295"
                                     << "10000"
                                     << "10000M";
        QTest::newRow("hundred gigabit") << "4294967295"
                                         << "100000"
                                         << "100000M";
        QTest::newRow("no ifHighSpeed") << "4294967295"
                                        << ""
                                        << "4294M";
        QTest::newRow("ifHighSpeed not a number") << "4294967295"
                                                  << "<noSuchInstance>"
                                                  << "4294M";
        QTest::newRow("below the cap") << "4294967294"
                                       << "10000"
                                       << "4294M";
        QTest::newRow("gigabit") << "1000000000"
                                 << "1000"
                                 << "1000M";
        QTest::newRow("ifHighSpeed disagrees below the cap") << "100000000"
                                                             << "1000"
                                                             << "100M";
    }

    void speedWithHighSpeed() {
        QFETCH(QString, speed);
        QFETCH(QString, high);
        QFETCH(QString, shown);
        QCOMPARE(IfSpeedText(speed, high), shown);
    }

    // The simulator's ten-gigabit card: the list shows what ifHighSpeed says, and an agent
    // without ifXTable still has every interface listed.
    void tenGigabitPortsShowIfHighSpeed() {
        auto speedOf = [](CInterfaceInfoDlg& page, const char* port) {
            for (const QStringList& r : rows(page.list()))
                if (r[2].endsWith(QLatin1String(port))) return r[4];
            return QStringLiteral("(no row)");
        };
        CInterfaceInfoDlg page;
        page.show();
        const int count = snmpget("1.3.6.1.2.1.2.1.0").toInt();
        QTRY_COMPARE_WITH_TIMEOUT(page.list()->rowCount(), count, 10000);
        QTRY_VERIFY(!page.channel().busy());
        QCOMPARE(snmpget("1.3.6.1.2.1.2.2.1.5.99"), QStringLiteral("4294967295"));
        QCOMPARE(speedOf(page, "TenGigabit 4/1"), QStringLiteral("10000M"));
        QCOMPARE(speedOf(page, "TenGigabit 7/2"), QStringLiteral("10000M"));
        QCOMPARE(speedOf(page, "FastEthernet 1/1"), QStringLiteral("100M"));
        QCOMPARE(page.list()->columnCount(), 6);
        QCOMPARE(rows(page.list())[0].size(), 6);

        SimProcess plain({"--static"});
        QVERIFY(plain.started());
        QCOMPARE(plain.command("delbelow 1.3.6.1.2.1.31"), QString("ok"));
        SetSnmpAgentPort(plain.port());
        CInterfaceInfoDlg withoutX;
        withoutX.show();
        QTRY_VERIFY_WITH_TIMEOUT(withoutX.list()->rowCount() > 0 && !withoutX.channel().busy(),
                                 10000);
        QCOMPARE(withoutX.list()->rowCount(), count);
        QCOMPARE(speedOf(withoutX, "TenGigabit 4/1"), QStringLiteral("4294M"));
        QCOMPARE(speedOf(withoutX, "FastEthernet 1/1"), QStringLiteral("100M"));
    }

    void interfacePage() {
        CInterfaceInfoDlg page;
        QCOMPARE(page.windowTitle(), QStringLiteral("Interface Information"));
        platform::ListView* list = page.list();
        QCOMPARE(list->columnCount(), 6);
        QCOMPARE(list->heading(2), QStringLiteral("Description             "));
        const QFontMetrics fm(list->header()->font());
        QCOMPARE(list->header()->sectionSize(3), fm.horizontalAdvance(list->heading(3)) + 15);
        QVERIFY(!list->header()->sectionsClickable());

        const int count = snmpget("1.3.6.1.2.1.2.1.0").toInt();
        QVERIFY(count > 0);
        page.show(); // the walk starts when the page is shown
        QTRY_COMPARE_WITH_TIMEOUT(ItemText(&page, res::interface::kCount), QString::number(count),
                                  10000);
        QTRY_VERIFY(!page.channel().busy());
        const QList<QStringList> r = rows(list);
        QCOMPARE(r.size(), count);
        QCOMPARE(r[0][0], QStringLiteral("1"));
        QCOMPARE(r[0][4], QStringLiteral("1000M"));
        QVERIFY(QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"))
                    .match(r[0][5])
                    .hasMatch());
        // The first port of the copper card in slot 1.
        auto port = std::find_if(r.begin(), r.end(),
                                 [](const QStringList& row) { return row[2].endsWith(" 1/1"); });
        QVERIFY(port != r.end());
        QCOMPARE((*port)[3], QStringLiteral("ethernet-csmacd"));
        QCOMPARE((*port)[4], QStringLiteral("100M"));
        QStringList states;
        for (const QStringList& row : r)
            states << row[1];
        QVERIFY(states.contains(QStringLiteral("Connect")));
        QVERIFY(states.contains(QStringLiteral("Disconnect")));
        saveShot(&page, "interface-page.png");

        // Refresh twice quickly: one walk. The list starts again from empty. Answers of one row
        // make the walk take a round trip a row.
        sim("delay 200");
        sim("truncate 7"); // six columns and ifHighSpeed
        const int before = served();
        click(&page, res::interface::kRefresh);
        click(&page, res::interface::kRefresh);
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(ItemText(&page, res::interface::kCount), QStringLiteral("0"));
        QTRY_COMPARE(list->rowCount(), 2);
        sim("delay 0");
        // A walk cut off by an error keeps the rows it has.
        sim("error 5");
        QTRY_VERIFY(!page.channel().busy());
        const int kept = list->rowCount();
        QVERIFY(kept >= 2 && kept < count);
        QCOMPARE(ItemText(&page, res::interface::kCount), QString::number(kept));
        QVERIFY(served() >= before + 2);
    }

    // A short answer or one that does not advance ends the walk: the list does not grow
    // without end and the agent is not flooded.
    void interfacePageWalkEndsOnAnswersThatGoNowhere_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("rows");
        QTest::newRow("short answer") << "truncate 5" << 0;
        QTest::newRow("OID not increasing") << "stuck 1" << 1;
    }
    void interfacePageWalkEndsOnAnswersThatGoNowhere() {
        QFETCH(QString, fault);
        QFETCH(int, rows);
        sim(fault);
        const int before = served();
        CInterfaceInfoDlg page;
        page.show();
        QTRY_VERIFY(served() > before);
        QTRY_VERIFY(!page.channel().busy());
        QTest::qWait(300);
        QCOMPARE(page.list()->rowCount(), rows);
        QVERIFY(served() - before <= rows + 1);
    }

    void interfacePageWithoutInterfaces() {
        SimProcess empty({"--static"});
        QVERIFY(empty.started());
        QCOMPARE(empty.command("delbelow 1.3.6.1.2.1.2.2"), QString("ok"));
        SetSnmpAgentPort(empty.port());
        CInterfaceInfoDlg page;
        page.show();
        QTRY_COMPARE(empty.command("served"), QStringLiteral("1"));
        QTRY_VERIFY(!page.channel().busy());
        QCOMPARE(page.list()->rowCount(), 0);
        QCOMPARE(ItemText(&page, res::interface::kCount), QStringLiteral("0"));
    }

    void systemPageShot() {
        sim("put 1.3.6.1.2.1.1.3.0 t 31415926");
        CSystemInfoDlg page;
        QTRY_VERIFY(!ItemText(&page, res::system::kUptime).isEmpty());
        saveShot(&page, "system-page.png");
    }

    // The host's own values through net-snmp's agent.
    void pagesAgainstSnmpd() {
        SnmpdProcess snmpd;
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        SetSnmpAgentPort(snmpd.port());
        g_strReadCommunity = QStringLiteral("public");
        g_strWriteCommunity = QStringLiteral("private");
        auto get = [&](const QString& oid) {
            return RunTool(QStringLiteral("snmpget"),
                           {"-v2c", "-c", "public", "-Oqv",
                            "127.0.0.1:" + QString::number(snmpd.port()), oid})
                .trimmed()
                .remove(QLatin1Char('"'));
        };
        // snmpd has none of the private objects: each comes back as an exception, whose field
        // stays empty.
        {
            CCpuUtilDlg cpu;
            CMemoryInfoDlg memory;
            CDeviceInfoDlg device;
            QTRY_VERIFY_WITH_TIMEOUT(!cpu.channel().busy() && !memory.channel().busy(), 5000);
            QTest::qWait(200);
            QCOMPARE(texts(&cpu, {res::cpu::k5Sec, res::cpu::k1Min, res::cpu::k5Min}),
                     (QStringList{"", "", ""}));
            QCOMPARE(texts(&memory, {res::memory::kIndex, res::memory::kName, res::memory::kCurrent,
                                     res::memory::kLowest, res::memory::kLargest}),
                     (QStringList{"", "", "", "", ""}));
            QCOMPARE(texts(&device, {res::device::kType, res::device::kAddress, res::device::kMac,
                                     res::device::kFirmware, res::device::kHardware}),
                     (QStringList{"", "127.0.0.1", "", "", ""}));
        }
        {
            CSystemInfoDlg page;
            QTRY_VERIFY_WITH_TIMEOUT(!ItemText(&page, res::system::kUptime).isEmpty(), 5000);
            QCOMPARE(ItemText(&page, res::system::kName), get("1.3.6.1.2.1.1.5.0"));
            QCOMPARE(ItemText(&page, res::system::kDescr), get("1.3.6.1.2.1.1.1.0"));
            QCOMPARE(checkedServices(&page).isEmpty(), get("1.3.6.1.2.1.1.7.0").toInt() == 0);
        }
        {
            const QStringList indexes =
                RunTool(QStringLiteral("snmpwalk"),
                        {"-v2c", "-c", "public", "-Oqv",
                         "127.0.0.1:" + QString::number(snmpd.port()), "1.3.6.1.2.1.2.2.1.1"})
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QVERIFY(!indexes.isEmpty());
            CInterfaceInfoDlg page;
            page.show();
            QTRY_VERIFY_WITH_TIMEOUT(!page.channel().busy() && page.list()->rowCount() > 0, 5000);
            QTRY_VERIFY(!page.channel().busy());
            QCOMPARE(page.list()->rowCount(), indexes.size());
            for (int i = 0; i < indexes.size(); ++i)
                QCOMPARE(page.list()->text(i, 0), indexes[i].trimmed());
            // The loopback interface is there with its type name.
            bool loopback = false;
            for (const QStringList& row : rows(page.list()))
                loopback |= row[3] == QStringLiteral("softwareLoopback");
            QVERIFY(loopback);
            // Each speed as snmpd serves it: ifSpeed in millions, or at its cap ifHighSpeed
            // from ifXTable (the namespace's veth pair runs at 10 Gbit/s).
            auto walk = [&](const char* oid) {
                return RunTool(QStringLiteral("snmpwalk"),
                               {"-v2c", "-c", "public", "-Oqv",
                                "127.0.0.1:" + QString::number(snmpd.port()), oid})
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            };
            const QStringList speeds = walk("1.3.6.1.2.1.2.2.1.5");
            const QStringList high = walk("1.3.6.1.2.1.31.1.1.1.15");
            QCOMPARE(speeds.size(), indexes.size());
            for (int i = 0; i < speeds.size(); ++i) {
                const QString speed = speeds[i].trimmed();
                const QString expected =
                    speed == QLatin1String("4294967295") && i < high.size()
                        ? high[i].trimmed() + QLatin1Char('M')
                        : QString::number(speed.toULongLong() / 1000000) + QLatin1Char('M');
                QCOMPARE(page.list()->text(i, 4), expected);
            }
        }
    }

    // The system and interface pages against snmpd over authPriv, with the user from the
    // operator's credentials file, show what they show over v2c.
    void pagesOverAuthPriv() {
        SnmpdProcess snmpd(
            true, "createUser pages SHA-256 maplesyrup AES pancakemix\nrouser pages priv\n");
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        SetSnmpAgentPort(snmpd.port());
        g_strReadCommunity = QStringLiteral("public");
        // QTRY_* return from the function they are in: the lists come back through seen.
        auto shown = [](QList<QStringList>& seen) {
            {
                CSystemInfoDlg page;
                QTRY_VERIFY_WITH_TIMEOUT(!ItemText(&page, res::system::kUptime).isEmpty(), 5000);
                seen << texts(&page,
                              {res::system::kName, res::system::kContact, res::system::kLocation,
                               res::system::kDescr, res::system::kObjectId})
                     << checkedServices(&page);
            }
            CInterfaceInfoDlg page;
            page.show();
            QTRY_VERIFY_WITH_TIMEOUT(!page.channel().busy() && page.list()->rowCount() > 0, 5000);
            QTRY_VERIFY(!page.channel().busy());
            seen << rows(page.list());
        };
        QList<QStringList> overV2c, overV3;
        shown(overV2c);

        QTemporaryDir xdg;
        const QString why = loadCredentials(xdg, snmpd.port(),
                                            "  defVersion 3\n  defSecurityName pages\n"
                                            "  defSecurityLevel authPriv\n  defAuthType SHA-256\n"
                                            "  defAuthPassphrase maplesyrup\n  defPrivType AES\n"
                                            "  defPrivPassphrase pancakemix\n");
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY(g_snmpV3User);
        g_strReadCommunity = QStringLiteral("no community over v3");
        shown(overV3);
        g_snmpV3User.reset();
        QVERIFY(overV3.size() >= 3); // the system page's two lists and an interface at least
        QCOMPARE(overV3, overV2c);
    }

    // A wrong passphrase: reads stay silent but for one box, the first time a request fails
    // for it; a write's refusal says the library's reason.
    void v3SecurityFailureIsTold() {
        SnmpdProcess snmpd(
            true, "createUser pages SHA-256 maplesyrup AES pancakemix\nrouser pages priv\n");
        QVERIFY2(snmpd.started(), qPrintable(snmpd.error()));
        SetSnmpAgentPort(snmpd.port());
        QTemporaryDir xdg;
        const QString why = loadCredentials(xdg, snmpd.port(),
                                            "  defSecurityName pages\n"
                                            "  defSecurityLevel authPriv\n  defAuthType SHA-256\n"
                                            "  defAuthPassphrase maplesyrupX\n  defPrivType AES\n"
                                            "  defPrivPassphrase pancakemix\n");
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QString reason =
            QStringLiteral("the agent reports authentication failed, check the passphrase");
        {
            CSystemInfoDlg page;
            QTRY_COMPARE(m_messages, QStringList{"SNMPv3 requests to the device fail: " + reason});
            QTRY_VERIFY(!page.getChannel().busy());
            CInterfaceInfoDlg interfaces;
            interfaces.show();
            QTRY_VERIFY(!interfaces.channel().busy());
            QTest::qWait(100);
            QCOMPARE(m_messages.size(), 1);

            m_messages.clear();
            QTest::keyClicks(platform::Item<QLineEdit>(&page, res::system::kContact),
                             QStringLiteral("noc desk"));
            click(&page, res::system::kApply);
            QTRY_VERIFY(!page.setChannel().busy());
            QTest::qWait(100);
            QCOMPARE(m_messages,
                     QStringList{"The device refused the change of System Contact.0: " + reason});
        }
        g_snmpV3User.reset();
        useSim();
    }

    // The window dispatches the five commands to their pages.
    void panelOpensPages() {
        QStringList titles;
        platform::SetRunModalHook([&](QDialog* d) {
            titles << QString::fromLatin1(d->metaObject()->className()) + QLatin1Char(':') +
                          d->windowTitle();
            return 0;
        });
        CPanelDlg panel;
        for (int id : {res::kCmdCpu, res::kCmdMemory, res::kCmdDeviceInfo, res::kCmdSystemInfo,
                       res::kCmdInterfaceInfo})
            QVERIFY(panel.OnCommand(id));
        platform::SetRunModalHook({});
        QCOMPARE(
            titles,
            (QStringList{"CCpuUtilDlg:CPU Utilization", "CMemoryInfoDlg:Memory Information",
                         "CDeviceInfoDlg:Device Information", "CSystemInfoDlg:System Information",
                         "CInterfaceInfoDlg:Interface Information"}));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
