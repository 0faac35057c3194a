// The simulated chassis' RMON alarms, driven second by second on the agent's own objects: what
// RFC 2819 says of the startup alarm and of the hysteresis between the thresholds.
#include "sim/chassis.h"
#include "sim/mib.h"
#include "sim/rmon.h"

#include <QTest>

namespace {

const ber::Oid kAlarmEntry{1, 3, 6, 1, 2, 1, 16, 3, 1, 1};
const ber::Oid kEventEntry{1, 3, 6, 1, 2, 1, 16, 9, 1, 1};

int64_t integer(const sim::Mib& mib, const ber::Oid& oid) {
    const sim::Node* node = mib.find(oid);
    return node ? node->read().integer : -1;
}

} // namespace

class TestSimRmon : public QObject {
    Q_OBJECT

private slots:
    // Alarm 2 samples etherStatsCRCAlignErrors.2 absolutely every 60 s, startup falling,
    // rising at 500 (event 3), falling at 50 (event 4). samples: the value of each sample;
    // fired: for each, which event the sample raises (0 none).
    void alarmThresholds_data() {
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<QList<int>>("fired");
        QTest::newRow("first sample quiet, then a rising crossing") << QList<int>{100, 600} << QList<int>{0, 3};
        QTest::newRow("first sample rising, startup falling") << QList<int>{600, 600, 40, 600} << QList<int>{0, 3, 4, 3};
        QTest::newRow("first sample falling") << QList<int>{10, 20, 600} << QList<int>{4, 0, 3};
        QTest::newRow("no second rising before a falling") << QList<int>{100, 600, 300, 700, 50, 500}
                                                            << QList<int>{0, 3, 0, 0, 4, 3};
    }
    void alarmThresholds() {
        QFETCH(QList<int>, samples);
        QFETCH(QList<int>, fired);
        sim::Chassis chassis({.live = false});
        sim::Mib mib;
        chassis.publish(mib);
        int32_t value = 0;
        const ber::Oid crc{1, 3, 6, 1, 2, 1, 16, 1, 1, 1, 8, 2};
        sim::Rmon rmon(chassis, mib, {});
        mib.add(crc, [&value] { return ber::Value::makeUnsigned(ber::Counter32, uint32_t(value)); });
        QCOMPARE(integer(mib, sim::child(kAlarmEntry, {6, 2})), 2); // startup falling
        // Alarm 3 raises event 4 too: it goes, as an invalid status makes it go.
        const sim::Node* status3 = mib.find(sim::child(kAlarmEntry, {12, 3}));
        QVERIFY(status3 && status3->write);
        QCOMPARE(status3->write(ber::Value::makeInteger(4), true), 0);
        QCOMPARE(mib.find(sim::child(kAlarmEntry, {1, 3})), nullptr);
        uint32_t now = 0;
        for (qsizetype i = 0; i < samples.size(); ++i) {
            value = samples[i];
            const int64_t sent[] = {integer(mib, sim::child(kEventEntry, {5, 3})),
                                    integer(mib, sim::child(kEventEntry, {5, 4}))};
            for (int s = 0; s < 60; ++s)
                chassis.tick(now += 100);
            QCOMPARE(integer(mib, sim::child(kAlarmEntry, {5, 2})), samples[i]);
            const bool rose = integer(mib, sim::child(kEventEntry, {5, 3})) != sent[0];
            const bool fell = integer(mib, sim::child(kEventEntry, {5, 4})) != sent[1];
            QCOMPARE(rose ? 3 : fell ? 4 : 0, fired[i]);
            QVERIFY(!(rose && fell));
        }
    }
};

QTEST_GUILESS_MAIN(TestSimRmon)
#include "tst_simrmon.moc"
