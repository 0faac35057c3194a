// The module's side of the journal, against real journals: what the decoder makes of a
// notification's words, the Device Events page following the journal (the device's own events
// and those it sent for another, the bound, a journal replaced or deleted) and the count the
// ALM lamp and the title follow. Run twice: on journal files, and with TALVEX_TEST_JOURNAL=server
// on a PostgreSQL server of the test's own, each test on a database of its own.
#include "events/alarmwatch.h"
#include "events/decode.h"
#include "events/journal.h"
#include "events/model.h"
#include "pages/deviceeventsdlg.h"
#include "tests/common/pagetest.h"
#include "tests/common/pgserver.h"

#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace {

const std::string kLinkDown = "1.3.6.1.6.3.1.1.5.3";
const std::string kColdStart = "1.3.6.1.6.3.1.1.5.1";
const std::string kTrapAddress = "1.3.6.1.6.3.18.1.3.0";

// A notification as the hand-off gives it: from sender, its uptime and OID, then bindings.
events::HandlerInput Notification(const std::string& sender, const std::string& oid,
                                  std::vector<events::Binding> bindings = {}, int uptime = 100) {
    events::HandlerInput in;
    in.host = sender;
    in.sender = sender;
    in.hasTransport = true;
    in.bindings = {{"1.3.6.1.2.1.1.3.0", std::to_string(uptime)},
                   {"1.3.6.1.6.3.1.1.4.1.0", "." + oid}};
    for (events::Binding& b : bindings)
        in.bindings.push_back(std::move(b));
    return in;
}

// The notification decoded and appended; its id.
int64_t Append(events::Journal& journal, const events::HandlerInput& in) {
    static int64_t received = 1700000000000;
    events::Event e = events::Decode(in, received += 1000, &journal);
    std::string why;
    if (!journal.append(e, &why)) qWarning("append: %s", why.c_str());
    return e.id;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The journal's files moved away or out of the way: the database with its log and index.
void RemoveJournal(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((path + QLatin1String(suffix)).toLocal8Bit().constData());
}

// Everything in the journal's log written into the database, so that the file alone is the
// journal and may be moved as one.
bool Checkpoint(const QString& path) {
    sqlite3* db = nullptr;
    const bool ok =
        sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

class TestEventPage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PgServer> m_server; // the server's run; none on files
    int m_serial = 0;
    QString freshPath() {
        if (m_server)
            return m_server->uri(QString::fromLatin1(PgServer::kOwner), m_server->freshDatabase());
        return m_dir.filePath(QStringLiteral("journal-%1.sqlite").arg(++m_serial));
    }
    // A new journal at a fresh path, open for writing.
    QString create(events::Journal& journal) {
        const QString path = freshPath();
        std::string why;
        if (!journal.open(path.toStdString(), true, &why)) qWarning("open: %s", why.c_str());
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        if (qEnvironmentVariable("TALVEX_TEST_JOURNAL") != QLatin1String("server")) return;
        m_server = std::make_unique<PgServer>();
        if (!m_server->started()) QSKIP(qPrintable(m_server->error()));
    }

    // A link's summary says which status is which: the administrative one first, then the
    // operational one, whichever way round they differ.
    void linkSummary_data() {
        QTest::addColumn<QString>("oid");
        QTest::addColumn<QString>("admin");
        QTest::addColumn<QString>("oper");
        QTest::addColumn<QString>("summary");
        QTest::newRow("down: admin up, oper down")
            << Q(kLinkDown) << "1"
            << "2"
            << "Link down on port FE 1/5 (ifIndex 5) (admin up, oper down)";
        QTest::newRow("up: admin down, oper up")
            << "1.3.6.1.6.3.1.1.5.4"
            << "2"
            << "1"
            << "Link up on port FE 1/5 (ifIndex 5) (admin down, oper up)";
        QTest::newRow("down: admin testing, oper down")
            << Q(kLinkDown) << "3"
            << "2"
            << "Link down on port FE 1/5 (ifIndex 5) (admin testing, oper down)";
        QTest::newRow("named values: admin up, oper down")
            << Q(kLinkDown) << "up"
            << "down"
            << "Link down on port FE 1/5 (ifIndex 5) (admin up, oper down)";
    }
    void linkSummary() {
        QFETCH(QString, oid);
        QFETCH(QString, admin);
        QFETCH(QString, oper);
        const events::Event e =
            events::Decode(Notification("127.0.0.1", oid.toStdString(),
                                        {{"1.3.6.1.2.1.2.2.1.1.5", "5"},
                                         {"1.3.6.1.2.1.2.2.1.7.5", admin.toStdString()},
                                         {"1.3.6.1.2.1.2.2.1.8.5", oper.toStdString()},
                                         {"1.3.6.1.2.1.2.2.1.2.5", "FE 1/5"}}),
                           0);
        QTEST(Q(e.summary), "summary");
    }

    // What a value holds reaches the journal, and from it the page and the details, as text that
    // does nothing to the screen: C0 and C1 controls replaced, format characters written out.
    void hostileCharacters_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("kept"); // a part of what is kept
        // What stands for a control is the replacement's business; that none is left is checked
        // on every character below.
        QTest::newRow("C1 CSI") << QByteArray("a\xC2\x9B"
                                              "31mb")
                                << "31mb";
        QTest::newRow("C1 NEL and APC") << QByteArray("a\xC2\x85z\xC2\x9F") << "z";
        QTest::newRow("C0 ESC") << QByteArray("\x1B[2Jx") << QString::fromUtf8("\uFFFD[2Jx");
        QTest::newRow("right-to-left override") << QByteArray("fan \xE2\x80\xAE"
                                                              "dekcol")
                                                << "fan <U+202E>dekcol";
        QTest::newRow("isolate and zero width") << QByteArray("a\xE2\x81\xA6"
                                                              "b\xE2\x80\x8B"
                                                              "c\xE2\x81\xA9")
                                                << "a<U+2066>b<U+200B>c<U+2069>";
        QTest::newRow("byte order mark and tag")
            << QByteArray("\xEF\xBB\xBFx\xF3\xA0\x80\x81") << "<U+FEFF>x<U+E0001>";
        QTest::newRow("ordinary text stays")
            << QByteArray("Tür 3 \xE6\xA9\x9F") << QString::fromUtf8("Tür 3 \xE6\xA9\x9F");
    }
    void hostileCharacters() {
        QFETCH(QByteArray, value);
        QFETCH(QString, kept);
        events::Journal journal;
        const QString path = create(journal);
        // An unknown notification: its summary shows the first binding's value.
        const int64_t id =
            Append(journal, Notification("127.0.0.1", "1.3.6.1.4.1.58213.99",
                                         {{"1.3.6.1.2.1.1.5.0", value.toStdString()}}));
        events::Event stored;
        QVERIFY(journal.read(id, stored));
        for (const std::string* text : {&stored.summary, &stored.bindings}) {
            const QString t = Q(*text);
            QVERIFY2(t.contains(kept), qPrintable(t));
            for (QChar c : t)
                QVERIFY2(c == QLatin1Char('\n') || (c.category() != QChar::Other_Control &&
                                                    c.category() != QChar::Other_Format),
                         qPrintable(QStringLiteral("U+%1 in %2").arg(c.unicode(), 4, 16).arg(t)));
        }
        EventListModel model;
        QVERIFY(model.open(path, QStringLiteral("127.0.0.1"), nullptr));
        QCOMPARE(model.rowCount(), 1);
        QVERIFY(model.index(0, EventListModel::kSummary).data().toString().contains(kept));
        QVERIFY(model.details(0).contains(kept));
    }

    // A row written by another hand (the journal is the group's) is shown with its format
    // characters written out too.
    void foreignRowShownEscaped() {
        events::Journal journal;
        const QString path = create(journal);
        events::Event e;
        e.receivedMs = 1700000000000;
        e.sender = e.device = "127.0.0.1";
        e.oid = kLinkDown;
        e.event = "link\u202EDown";
        e.summary = "port \u2067 3";
        e.bindings = "1.3.6.1.2.1.1.5.0 \u202E\n";
        QVERIFY(journal.append(e, nullptr));
        EventListModel model;
        QVERIFY(model.open(path, QStringLiteral("127.0.0.1"), nullptr));
        QCOMPARE(model.index(0, EventListModel::kEvent).data().toString(),
                 QStringLiteral("link<U+202E>Down"));
        QCOMPARE(model.index(0, EventListModel::kSummary).data().toString(),
                 QStringLiteral("port <U+2067> 3"));
        QVERIFY2(model.details(0).contains(QLatin1String("1.3.6.1.2.1.1.5.0 <U+202E>")),
                 qPrintable(model.details(0)));
    }

    // The details name the objects this module knows beside their OIDs, and a value that is a
    // known OID or status beside it; an unknown object keeps its OID alone.
    void namedDetails_data() {
        QTest::addColumn<QString>("oid");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("line"); // blanks between the name and the OID collapsed
        QTest::newRow("ifIndex") << "1.3.6.1.2.1.2.2.1.1.5"
                                 << "5"
                                 << "ifIndex.5 1.3.6.1.2.1.2.2.1.1.5 5";
        QTest::newRow("ifInOctets, not ifIndex") << "1.3.6.1.2.1.2.2.1.10.5"
                                                 << "7"
                                                 << "ifInOctets.5 1.3.6.1.2.1.2.2.1.10.5 7";
        QTest::newRow("ifDescr") << "1.3.6.1.2.1.2.2.1.2.5"
                                 << "FE 1/5"
                                 << "ifDescr.5 1.3.6.1.2.1.2.2.1.2.5 FE 1/5";
        QTest::newRow("ifAdminStatus") << "1.3.6.1.2.1.2.2.1.7.5"
                                       << "1"
                                       << "ifAdminStatus.5 1.3.6.1.2.1.2.2.1.7.5 1 (up)";
        QTest::newRow("ifOperStatus") << "1.3.6.1.2.1.2.2.1.8.5"
                                      << "2"
                                      << "ifOperStatus.5 1.3.6.1.2.1.2.2.1.8.5 2 (down)";
        QTest::newRow("ifName") << "1.3.6.1.2.1.31.1.1.1.1.5"
                                << "fe1/5"
                                << "ifName.5 1.3.6.1.2.1.31.1.1.1.1.5 fe1/5";
        QTest::newRow("snmpTrapAddress") << "1.3.6.1.6.3.18.1.3.0"
                                         << "127.0.0.9"
                                         << "snmpTrapAddress.0 1.3.6.1.6.3.18.1.3.0 127.0.0.9";
        QTest::newRow("alarmVariable names its variable")
            << "1.3.6.1.2.1.16.3.1.1.3.4"
            << ".1.3.6.1.2.1.16.1.1.1.5.1"
            << "alarmVariable.4 1.3.6.1.2.1.16.3.1.1.3.4 .1.3.6.1.2.1.16.1.1.1.5.1 "
               "(etherStatsPkts.1)";
        QTest::newRow("alarmRisingThreshold")
            << "1.3.6.1.2.1.16.3.1.1.7.4"
            << "1000"
            << "alarmRisingThreshold.4 1.3.6.1.2.1.16.3.1.1.7.4 1000";
        QTest::newRow("bridge root")
            << "1.3.6.1.2.1.17.2.5.0"
            << "80 00 00 11 22 33 44 55"
            << "dot1dStpDesignatedRoot.0 1.3.6.1.2.1.17.2.5.0 80 00 00 11 22 33 44 55";
        QTest::newRow("unknown") << "1.3.6.1.4.1.58213.1.1.0"
                                 << "fan tray"
                                 << "1.3.6.1.4.1.58213.1.1.0 fan tray";
        QTest::newRow("a column without instance") << "1.3.6.1.2.1.2.2.1.7"
                                                   << "1"
                                                   << "1.3.6.1.2.1.2.2.1.7 1";
    }
    void namedDetails() {
        QFETCH(QString, oid);
        QFETCH(QString, value);
        QFETCH(QString, line);
        events::Journal journal;
        const QString path = create(journal);
        Append(journal,
               Notification("127.0.0.1", kLinkDown, {{oid.toStdString(), value.toStdString()}}));
        EventListModel model;
        QVERIFY(model.open(path, QStringLiteral("127.0.0.1"), nullptr));
        const QStringList lines = model.details(0).split(QLatin1Char('\n'));
        QStringList simplified;
        for (const QString& l : lines)
            simplified << l.simplified();
        QVERIFY2(simplified.contains(line), qPrintable(simplified.join(QLatin1Char('\n'))));
        QVERIFY(simplified.contains(
            QStringLiteral("snmpTrapOID.0 1.3.6.1.6.3.1.1.4.1.0 .1.3.6.1.6.3.1.1.5.3 (linkDown)")));
        QVERIFY(simplified.contains(QStringLiteral("sysUpTime.0 1.3.6.1.2.1.1.3.0 100")));
    }

    // The details window: the names in a column of their own, the OIDs after them at one
    // place on every line, in a font of fixed pitch.
    void detailsWindow() {
        events::Journal journal;
        const QString path = create(journal);
        Append(journal, Notification("127.0.0.1", kLinkDown,
                                     {{"1.3.6.1.2.1.2.2.1.1.5", "5"},
                                      {"1.3.6.1.2.1.2.2.1.7.5", "1"},
                                      {"1.3.6.1.2.1.2.2.1.8.5", "2"},
                                      {"1.3.6.1.2.1.2.2.1.2.5", "FE 1/5"},
                                      {"1.3.6.1.4.1.58213.1.1.0", "fan tray"}}));
        CDeviceEventsDlg page(path, QStringLiteral("127.0.0.1"));
        QString text;
        bool fixed = false;
        platform::SetRunModalHook([&](QDialog* d) {
            auto* edit = d->findChild<QPlainTextEdit*>();
            if (!edit) return 0;
            text = edit->toPlainText();
            fixed = QFontInfo(edit->font()).fixedPitch();
            d->show();
            if (QTest::qWaitForWindowExposed(d)) saveShot(d, "event-details.png");
            return 0;
        });
        page.OnDetails(0);
        platform::SetRunModalHook({});
        QVERIFY(fixed);
        const QStringList lines = text.section(QStringLiteral("Bindings:\n"), 1).split('\n');
        QCOMPARE(lines.size(), 8); // seven bindings and the end
        for (int i = 0; i < 7; ++i)
            QCOMPARE(lines[i].indexOf(QLatin1String(" 1.3.6.1.")) + 1,
                     lines[0].indexOf(QLatin1String("1.3.6.1.")));
        QVERIFY(lines[3].startsWith(QLatin1String("ifAdminStatus.5 ")));
        QVERIFY(lines[6].startsWith(QLatin1String(" ")));
    }

    // The page of a device lists its own events and those it sent for another device (named by
    // snmpTrapAddress.0) in the order received, each with its sender; it counts them all, and
    // acknowledging all acknowledges them all. Events of other devices stay out.
    void ownAndSentForAnother() {
        events::Journal journal;
        const QString path = create(journal);
        const std::vector<int64_t> ids = {
            Append(journal, Notification("127.0.0.1", kColdStart, {}, 1)),
            Append(journal, Notification("127.0.0.1", kLinkDown, {{kTrapAddress, "127.0.0.9"}}, 2)),
            Append(journal, Notification("127.0.0.8", kLinkDown, {}, 3)),
            Append(journal, Notification("127.0.0.7", kLinkDown, {{kTrapAddress, "127.0.0.1"}}, 4)),
            Append(journal, Notification("127.0.0.1", kLinkDown, {}, 5)),
            Append(journal, Notification("127.0.0.1", kLinkDown, {{kTrapAddress, "127.0.0.9"}}, 6)),
        };
        CDeviceEventsDlg page(path, QStringLiteral("127.0.0.1"));
        EventListModel* model = page.model();
        QList<int64_t> listed;
        for (int r = 0; r < model->rowCount(); ++r)
            listed << model->event(r).id;
        QCOMPARE(listed, QList<int64_t>({ids[5], ids[4], ids[3], ids[1], ids[0]}));
        QCOMPARE(model->unacknowledged(), 5);
        QCOMPARE(ItemText(&page, 2003), QStringLiteral("5 of 5 shown, 5 unacknowledged"));
        EventAlarmWatch watch(path, QStringLiteral("127.0.0.1"));
        QSignalSpy told(&watch, &EventAlarmWatch::changed);
        watch.check();
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.last(), QVariantList({qint64(5), qint64(4)}));

        click(&page, 2007);
        QCOMPARE(model->unacknowledged(), 0);
        for (int r = 0; r < model->rowCount(); ++r)
            QVERIFY(model->event(r).ackedMs != 0);
        events::Journal::Unacked left;
        QVERIFY(journal.unacknowledged("127.0.0.1", left));
        QCOMPARE(left.count, int64_t(0));
        QVERIFY(journal.unacknowledged("127.0.0.8", left));
        QCOMPARE(left.count, int64_t(1));
        watch.check();
        // A server's notification comes as the page's acknowledgement commits, not before.
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QVariantList({qint64(0), qint64(0)}), 2000);

        // The one that claims the device from elsewhere shows where it came from.
        QCOMPARE(model->index(2, EventListModel::kSender).data().toString(),
                 QStringLiteral("127.0.0.7"));
        QCOMPARE(model->index(1, EventListModel::kSender).data().toString(),
                 QStringLiteral("127.0.0.1"));
    }

    // At the journal's bound the page drops the rows beyond it, oldest first, and only those:
    // the rows it keeps stay where they were, the view is never rebuilt.
    void boundDropsOnlyBeyond_data() {
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("arriving");
        QTest::newRow("4 + 3 at 5") << 5 << 4 << 3;
        QTest::newRow("5 + 1 at 5") << 5 << 5 << 1;
        QTest::newRow("2 + 2 at 5") << 5 << 2 << 2;
        QTest::newRow("3 + 12 at 5") << 5 << 3 << 12;
        QTest::newRow("1 + 1 at 1") << 1 << 1 << 1;
    }
    void boundDropsOnlyBeyond() {
        QFETCH(int, bound);
        QFETCH(int, before);
        QFETCH(int, arriving);
        events::Journal journal;
        const QString path = create(journal);
        QVERIFY(journal.setMaxPerDevice(bound));
        std::vector<int64_t> ids;
        for (int i = 0; i < before; ++i)
            ids.push_back(Append(journal, Notification("127.0.0.1", kLinkDown, {}, 10 + i)));
        EventListModel model;
        QVERIFY(model.open(path, QStringLiteral("127.0.0.1"), nullptr));
        QCOMPARE(model.rowCount(), before);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        for (int i = 0; i < arriving; ++i)
            ids.push_back(Append(journal, Notification("127.0.0.1", kLinkDown, {}, 100 + i)));
        model.follow();
        const int shown = std::min(bound, before + arriving);
        QTRY_VERIFY_WITH_TIMEOUT(model.rowCount() > 0 && model.event(0).id == ids.back(), 2000);
        QCOMPARE(model.rowCount(), shown);
        QCOMPARE(model.total(), shown);
        QCOMPARE(model.unacknowledged(), shown);
        for (int r = 0; r < shown; ++r)
            QCOMPARE(model.event(r).id, ids[ids.size() - 1 - size_t(r)]);
        QCOMPARE(reset.size(), 0);
        int gone = 0;
        for (const QList<QVariant>& args : removed)
            gone += args[2].toInt() - args[1].toInt() + 1;
        QCOMPARE(gone, std::max(0, before - std::max(0, bound - arriving)));
    }

    // The lamp follows the count of serious events even when the count of all stays: one major
    // acknowledged and a minor arriving between two looks.
    void seriousAloneIsTold() {
        events::Journal journal;
        const QString path = create(journal);
        const int64_t major = Append(journal, Notification("127.0.0.1", kLinkDown, {}, 1));
        Append(journal, Notification("127.0.0.1", kColdStart, {}, 2));
        EventAlarmWatch watch(path, QStringLiteral("127.0.0.1"));
        QSignalSpy told(&watch, &EventAlarmWatch::changed);
        watch.check();
        QCOMPARE(told.last(), QVariantList({qint64(2), qint64(1)}));
        {
            // Another operator's module and the hand-off write through connections of their own.
            events::Journal other;
            QVERIFY(other.open(path.toStdString(), false, nullptr));
            QCOMPARE(other.acknowledge({major}, "other", 1700000000000), 1);
            Append(other, Notification("127.0.0.1", kColdStart, {}, 3));
        }
        watch.check();
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 2000);
        QCOMPARE(told.last(), QVariantList({qint64(2), qint64(0)}));
    }

    // Three operators' modules on one server's journal, each with its events page and its ALM
    // lamp's watch: an event reaches all three, and an acknowledgement made in one clears the
    // bold row and the lamp's count in the other two, each within a second of the write (the
    // server notifies; nothing waits for a timer).
    void threeModulesFollowOneServer() {
        if (!m_server) QSKIP("a file's readers look on their timers");
        events::Journal writer;
        const QString uri = create(writer);
        std::vector<std::unique_ptr<CDeviceEventsDlg>> pages;
        std::vector<std::unique_ptr<EventAlarmWatch>> watches;
        std::vector<std::unique_ptr<QSignalSpy>> lamps;
        for (int i = 0; i < 3; ++i) {
            pages.push_back(std::make_unique<CDeviceEventsDlg>(uri, QStringLiteral("127.0.0.1")));
            pages.back()->show();
            watches.push_back(std::make_unique<EventAlarmWatch>(uri, QStringLiteral("127.0.0.1")));
            lamps.push_back(
                std::make_unique<QSignalSpy>(watches.back().get(), &EventAlarmWatch::changed));
            watches.back()->check();
            QVERIFY2(pages.back()->problem().isEmpty(), qPrintable(pages.back()->problem()));
        }
        auto lampSays = [&](int i, qint64 count, qint64 serious) {
            return !lamps[size_t(i)]->isEmpty() &&
                   lamps[size_t(i)]->last() == QVariantList({count, serious});
        };
        QElapsedTimer clock;
        clock.start();
        Append(writer, Notification("127.0.0.1", kLinkDown));
        auto allSeeIt = [&] {
            for (int i = 0; i < 3; ++i)
                if (pages[size_t(i)]->model()->rowCount() != 1 || !lampSays(i, 1, 1)) return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allSeeIt(), 1000);
        qInfo("the event on three pages and lamps after %lld ms", clock.elapsed());

        clock.restart();
        QCOMPARE(pages[0]->model()->acknowledge({0}), 1);
        auto othersCleared = [&] {
            for (int i = 1; i < 3; ++i) {
                const EventListModel* model = pages[size_t(i)]->model();
                if (model->event(0).ackedMs == 0 ||
                    model->index(0, 0).data(Qt::FontRole).isValid() || !lampSays(i, 0, 0))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(othersCleared(), 1000);
        qInfo("the acknowledgement on the other two after %lld ms", clock.elapsed());
        // Who acknowledged it, as every operator sees it.
        for (int i = 1; i < 3; ++i)
            QVERIFY(pages[size_t(i)]
                        ->model()
                        ->index(0, EventListModel::kAcknowledged)
                        .data()
                        .toString()
                        .startsWith(OperatorName() + QLatin1Char(' ')));
    }

    // The modules' role reads and acknowledges, and nothing else: it adds no event, deletes
    // none, changes no event's text, no bound, and no acknowledgement once made. The writer's
    // role adds, but acknowledges nothing.
    void rolesAsShipped() {
        if (!m_server) QSKIP("a file's rights are its mode");
        const QString db = m_server->freshDatabase();
        const QString reader = QString::fromLatin1(PgServer::kReader);
        const QString writerRole = QString::fromLatin1(PgServer::kWriter);
        events::Journal writer;
        std::string why;
        QVERIFY2(writer.open(m_server->uri(writerRole, db).toStdString(), true, &why), why.c_str());
        const int64_t id = Append(writer, Notification("127.0.0.1", kLinkDown));
        QVERIFY(id > 0);
        QVERIFY(!writer.setMaxPerDevice(5));
        QCOMPARE(writer.acknowledge({id}, "eventd", 1700000000000), -1);

        const QStringList refused = {
            QStringLiteral("INSERT INTO events(received, sender, device, oid, severity, event, "
                           "summary, bindings) VALUES (1, 'x', 'x', 'x', 1, 'x', 'x', 'x')"),
            QStringLiteral("DELETE FROM events"),
            QStringLiteral("UPDATE events SET summary = 'all is well'"),
            QStringLiteral("UPDATE settings SET value = 1"),
            QStringLiteral("UPDATE spool SET \"offset\" = 0"),
            QStringLiteral("DELETE FROM unacked"),
        };
        for (const QString& statement : refused) {
            QString out;
            QVERIFY2(!m_server->sql(statement, &out, reader, db), qPrintable(statement));
            QVERIFY2(out.contains(QLatin1String("permission denied")), qPrintable(out));
        }
        events::Journal module;
        QVERIFY2(module.open(m_server->uri(reader, db).toStdString(), false, &why), why.c_str());
        QCOMPARE(module.acknowledge({id}, "alice", 1700000001000), 1);
        QString out;
        QVERIFY(!m_server->sql(QStringLiteral("UPDATE events SET acked_by = 'mallory'"), &out,
                               reader, db));
        QVERIFY2(out.contains(QLatin1String("acknowledged already")), qPrintable(out));
        events::Event stored;
        QVERIFY(module.read(id, stored));
        QCOMPARE(stored.ackedBy, std::string("alice"));
        QVERIFY(stored.summary.starts_with("Link down"));
        QCOMPARE(module.total(), int64_t(1));
    }

    // What the server's journal refuses, and a server that goes away: a password in the
    // connection string, a schema newer than this program's; the page says the server cannot
    // be reached, the lamp's watch too, and both take the journal up again once it is back.
    void serverRefusedOrGone() {
        if (!m_server) QSKIP("a server's own");
        const QString db = m_server->freshDatabase();
        const QString uri = m_server->uri(QString::fromLatin1(PgServer::kOwner), db);
        events::Journal journal;
        std::string why;
        QVERIFY(
            !journal.open((uri + QStringLiteral("&password=secret")).toStdString(), false, &why));
        QVERIFY2(why.find("~/.pgpass") != std::string::npos, why.c_str());
        QVERIFY(m_server->sql(QStringLiteral("UPDATE talvex_schema SET version = 3"), nullptr,
                              QString::fromLatin1(PgServer::kOwner), db));
        QVERIFY(!journal.open(uri.toStdString(), false, &why));
        QVERIFY2(why.find("newer version (3)") != std::string::npos, why.c_str());
        QVERIFY(m_server->sql(QStringLiteral("UPDATE talvex_schema SET version = 2"), nullptr,
                              QString::fromLatin1(PgServer::kOwner), db));

        QVERIFY2(journal.open(uri.toStdString(), true, &why), why.c_str());
        Append(journal, Notification("127.0.0.1", kLinkDown));
        journal.close();
        CDeviceEventsDlg page(uri, QStringLiteral("127.0.0.1"));
        page.show();
        EventAlarmWatch watch(uri, QStringLiteral("127.0.0.1"));
        QSignalSpy told(&watch, &EventAlarmWatch::changed);
        watch.check();
        QCOMPARE(page.model()->rowCount(), 1);
        QCOMPARE(told.last(), QVariantList({qint64(1), qint64(1)}));

        QVERIFY(m_server->stop());
        QTRY_VERIFY_WITH_TIMEOUT(page.problem().contains(QLatin1String("cannot be read")), 3000);
        QVERIFY(!page.list()->isVisible());
        saveShot(&page, "events-server-gone.png");
        QTRY_VERIFY_WITH_TIMEOUT(!watch.problem().isEmpty(), 3000);
        QVERIFY(m_server->start());
        // Tried again within JournalFile::kServerRetryMs.
        QTRY_VERIFY_WITH_TIMEOUT(page.problem().isEmpty(), 8000);
        QCOMPARE(page.model()->rowCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(watch.problem().isEmpty(), 8000);
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QVariantList({qint64(1), qint64(1)}), 2000);
    }

    // A journal replaced at its path is read from the new file by the page and the watch; one
    // deleted shows as none; a new one at the path is taken up.
    void journalReplacedOrDeleted() {
        if (m_server) QSKIP("a server's journal is no file to replace");
        events::Journal journal;
        const QString path = create(journal);
        Append(journal, Notification("127.0.0.1", kColdStart));
        journal.close();
        CDeviceEventsDlg page(path, QStringLiteral("127.0.0.1"));
        page.show();
        EventAlarmWatch watch(path, QStringLiteral("127.0.0.1"));
        QSignalSpy told(&watch, &EventAlarmWatch::changed);
        watch.check();
        QCOMPARE(page.model()->rowCount(), 1);
        QCOMPARE(told.last(), QVariantList({qint64(1), qint64(0)}));

        events::Journal next;
        const QString nextPath = create(next);
        for (int i = 0; i < 3; ++i)
            Append(next, Notification("127.0.0.1", kLinkDown, {}, 10 + i));
        next.close();
        QVERIFY(Checkpoint(nextPath));
        QVERIFY(Checkpoint(path));
        RemoveJournal(path);
        QCOMPARE(std::rename(nextPath.toLocal8Bit().constData(), path.toLocal8Bit().constData()),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(page.model()->rowCount(), 3, 2000);
        QVERIFY(page.list()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QVariantList({qint64(3), qint64(3)}), 2500);

        RemoveJournal(path);
        QTRY_VERIFY_WITH_TIMEOUT(!page.model()->isOpen(), 2000);
        QCOMPARE(page.model()->rowCount(), 0);
        QVERIFY(!page.list()->isVisible());
        QVERIFY(page.problem().contains(QLatin1String("there is no journal there")));
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QVariantList({qint64(0), qint64(0)}), 2500);

        events::Journal fresh;
        QVERIFY(fresh.open(path.toStdString(), true, nullptr));
        Append(fresh, Notification("127.0.0.1", kColdStart, {}, 20));
        QTRY_COMPARE_WITH_TIMEOUT(page.model()->rowCount(), 1, 2000);
        QVERIFY(page.problem().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(told.last(), QVariantList({qint64(1), qint64(0)}), 2500);
    }
};

QTEST_MAIN(TestEventPage)
#include "tst_eventpage.moc"
