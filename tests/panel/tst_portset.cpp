// The port configuration dialog writes only an administrative state it read: once a read of
// the selected port failed, whatever way, Set sends nothing, though the box then shows the
// port as disabled.
#include "panel/portconfigdlg.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

class TestPortSet : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        platform::SetMessageBoxHook(
            [](QWidget*, const QString&, bool) { return platform::Answer::Cancel; });
        platform::SetRunModalHook([](QDialog*) { return 0; });
        UseSimulator();
        g_bUserRight = 1;
        SetSnmpTimeout(500);
    }

    void noWriteAfterFailedRead_data() {
        QTest::addColumn<QString>("fault");  // what makes the read fail
        QTest::addColumn<QString>("lifted"); // what ends it before Set
        QTest::newRow("no answer") << "drop 1"
                                   << "drop 0";
        QTest::newRow("error status") << "error 5"
                                      << "error 0";
        QTest::newRow("no such instance") << "delbelow 1.3.6.1.2.1.2.2.1.7"
                                          << "";
    }
    void noWriteAfterFailedRead() {
        QFETCH(QString, fault);
        QFETCH(QString, lifted);
        SimProcess sim({"--static", "--physical-descr"});
        QVERIFY(sim.started());
        SetSnmpAgentPort(sim.port());
        const QStringList adminStates{"-v2c", "-corchid", "-Oqn",
                                      "127.0.0.1:" + QString::number(sim.port()),
                                      "1.3.6.1.2.1.2.2.1.7"};
        CPortConfigDlg dlg;
        dlg.show();
        auto* enabled = platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled);
        auto idle = [&] { return !dlg.listChannel().busy() && !dlg.statusChannel().busy(); };
        QTRY_VERIFY_WITH_TIMEOUT(idle() && !dlg.portNames().isEmpty(), 10000);
        QVERIFY(enabled->isChecked()); // the port is up, as read

        QCOMPARE(sim.command(fault), QStringLiteral("ok"));
        const int asked = sim.command("served").toInt();
        QTest::mouseClick(platform::Item<QPushButton>(&dlg, res::portConfig::kRefresh),
                          Qt::LeftButton);
        QTRY_VERIFY(sim.command("served").toInt() > asked);
        QTest::qWait(SnmpTimeout() + 200); // whatever the read brings, or its time-out, is in
        if (!lifted.isEmpty()) QCOMPARE(sim.command(lifted), QStringLiteral("ok"));

        const QString before = RunTool("snmpwalk", adminStates);
        const int served = sim.command("served").toInt();
        QTest::mouseClick(platform::Item<QPushButton>(&dlg, res::portConfig::kSet), Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(sim.command("served").toInt(), served);
        QCOMPARE(RunTool("snmpwalk", adminStates), before);
        SetSnmpAgentPort(0);
    }
};

QTEST_MAIN(TestPortSet)
#include "tst_portset.moc"
