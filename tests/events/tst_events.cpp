// Device notifications end to end: snmptrapd (fed by net-snmp's snmptrap and snmpinform) hands
// them to the spool and talvex-eventd journals each once and decoded; hostile spool input;
// the journal's bound; the Device Events page and the ALM lamp of the main window reading it.
#include "app/paneldlg.h"
#include "events/journal.h"
#include "events/model.h"
#include "events/spool.h"
#include "pages/deviceeventsdlg.h"
#include "panel/panelpoller.h"
#include "panel/panelview.h"
#include "platform/platform.h"
#include "snmp/params.h"
#include "snmp/session.h"
#include "tests/common/pagetest.h"
#include "tests/common/peers.h"
#include "tests/common/pgserver.h"
#include "tests/common/trapd.h"
#include "tests/common/trapsender.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <memory>
#include <thread>

namespace {

const QString kLinkDown = QStringLiteral("1.3.6.1.6.3.1.1.5.3");

QString eventd() {
    return BuildPath(QStringLiteral("tools/talvex-eventd"));
}

// Journals records through talvex-eventd as the hand-over inside snmptrapd leaves them in a
// spool: raw holds the spool file's bytes after its first line.
ToolRun journalSpool(const QString& journal, const QByteArray& raw) {
    QTemporaryDir spool;
    QFile f(spool.filePath(QStringLiteral("spool")));
    if (!f.open(QIODevice::WriteOnly)) return {};
    // Each spool file has an id of its own, as the hand-over gives it.
    static int files = 0;
    f.write(QByteArray::fromStdString(events::SpoolFileHeader("test-" + std::to_string(++files))) +
            raw);
    f.close();
    return RunToolIn(eventd(), {"--once", "--spool", spool.path(), "--journal", journal});
}

// One spool record: a handler input as snmptrapd writes it for a traphandle program (host,
// transport, bindings), with the PDU details the hand-over adds.
QByteArray spoolRecord(const QByteArray& input, events::PduType type = events::PduType::Trap,
                       int64_t requestId = 1) {
    events::SpoolRecord r;
    const QList<QByteArray> lines = input.split('\n');
    r.transport = lines.value(1).toStdString();
    r.bindings = lines.size() > 2 ? input.mid(lines[0].size() + lines[1].size() + 2).toStdString()
                                  : std::string();
    r.type = type;
    r.requestId = requestId;
    r.version.push_back('1'); // v2c
    return QByteArray::fromStdString(events::FormatRecord(r));
}

ToolRun handle(const QString& journal, const QByteArray& input) {
    return journalSpool(journal, spoolRecord(input));
}

// Handler input as snmptrapd writes it: host, transport, uptime, notification OID, bindings.
QByteArray notification(const QString& oid, const QByteArray& bindings = {},
                        const QByteArray& from = "127.0.0.1") {
    return "localhost\nUDP: [" + from +
           "]:40000->[127.0.0.1]:162\n.1.3.6.1.2.1.1.3.0 0:0:01:02.03\n"
           ".1.3.6.1.6.3.1.1.4.1.0 ." +
           oid.toLatin1() + "\n" + bindings;
}

std::vector<events::Event> journalRows(const QString& path,
                                       const QString& device = QStringLiteral("127.0.0.1")) {
    events::Journal j;
    std::vector<events::Event> rows;
    if (j.open(path.toStdString(), false, nullptr))
        j.readSince(device.toStdString(), 0, 1000000, rows);
    return rows;
}

// The sysUpTime.0 of every row, in the order journaled: the numbers of numbered notifications.
// A server's journal is read on the server that holds it.
QList<qint64> uptimes(const QString& path, const PgServer* server = nullptr) {
    QList<qint64> out;
    if (events::IsServerTarget(path.toStdString())) {
        const QString database = path.section(QLatin1Char('/'), 3).section(QLatin1Char('?'), 0, 0);
        QString text;
        if (server)
            server->sql(QStringLiteral("SELECT uptime FROM events ORDER BY id"), &text,
                        QString::fromLatin1(PgServer::kOwner), database);
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << line.toLongLong();
        return out;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT uptime FROM events ORDER BY id", -1, &s, nullptr) ==
            SQLITE_OK)
            while (sqlite3_step(s) == SQLITE_ROW)
                out << sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A database of someone else's at path, for a link to point at; its bytes, which nothing
// may change.
QByteArray othersDatabase(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE secrets(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return fileBytes(path);
}

// The columns kind and why, and the rows of what placeNoJournal places, with the reason an
// opener gives for each.
void noJournalRows() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    QTest::newRow("link") << "link"
                          << "it is a symbolic link, which is not followed";
    QTest::newRow("FIFO") << "fifo"
                          << "it is not a regular file";
    QTest::newRow("folder") << "dir"
                            << "it is not a regular file";
}

// Puts what is no journal at path, as kind says: a link to other, a FIFO or a folder; false
// for any other kind.
bool placeNoJournal(const QString& kind, const QString& path, const QString& other) {
    if (kind == QLatin1String("link")) return QFile::link(other, path);
    if (kind == QLatin1String("fifo")) return mkfifo(path.toLocal8Bit().constData(), 0600) == 0;
    if (kind == QLatin1String("dir")) return QDir().mkpath(path);
    return false;
}

QString bindingsOf(const QString& path, int64_t id) {
    events::Journal j;
    return j.open(path.toStdString(), false, nullptr) ? QString::fromStdString(j.bindings(id))
                                                      : QString();
}

QStringList viewRow(QTreeView* view, int r) {
    QStringList out;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        out << view->model()->index(r, c).data().toString();
    return out;
}

} // namespace

class TestEvents : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString freshJournal() {
        return m_dir.filePath(QStringLiteral("events-%1.sqlite").arg(++m_serial));
    }
    QString m_trapdJournal;
    std::unique_ptr<TrapdProcess> m_trapd;
    // The server the tests that run on both stores use; started on the first that needs it.
    std::unique_ptr<PgServer> m_server;

    // The column "server" of a test that runs on both stores.
    static void bothStores() {
        QTest::addColumn<bool>("server");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }
    // A fresh journal on the store the row names; empty (the test skips) with no server.
    QString journalOn(bool server) {
        if (!server) return freshJournal();
        if (!m_server) m_server = std::make_unique<PgServer>();
        if (!m_server->started()) return {};
        return m_server->uri(QString::fromLatin1(PgServer::kOwner), m_server->freshDatabase());
    }
#define JOURNAL_ON_STORE(journal)                                                                  \
    QFETCH(bool, server);                                                                          \
    const QString journal = journalOn(server);                                                     \
    if (journal.isEmpty()) QSKIP(qPrintable(m_server->error()))

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("TALVEX_EVENTS", m_dir.filePath(QStringLiteral("none.sqlite")).toUtf8());
    }
    void cleanupTestCase() {
        m_trapd.reset();
    }

    // Each notification kind, sent by net-snmp's tools through snmptrapd, is journaled once and
    // shown in words.
    void throughSnmptrapd_data() {
        QTest::addColumn<QStringList>("tool"); // program and arguments; PORT: snmptrapd's address
        QTest::addColumn<QString>("device");   // the device the event belongs to
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("summary");
        const QStringList v2 = {"-v", "2c", "-c", "public", "PORT", ""};
        const QStringList keys = {"-l",          "authPriv", "-a",  "SHA", "-A",
                                  "trappass123", "-x",       "AES", "-X",  "trappass123"};
        const QStringList v3trap = QStringList{"-v", "3", "-e", kSimEngineIdHex, "-u", "trapuser"} +
                                   keys + QStringList{"PORT", ""};
        const QStringList v3inform =
            QStringList{"-v", "3", "-u", "informuser"} + keys + QStringList{"PORT", ""};
        const QStringList link = {
            "1.3.6.1.2.1.2.2.1.1.3", "i", "3", "1.3.6.1.2.1.2.2.1.7.3", "i", "2",
            "1.3.6.1.2.1.2.2.1.8.3", "i", "2", "1.3.6.1.2.1.2.2.1.2.3", "s", "FE 1/3"};
        const QStringList alarm = {"1.3.6.1.2.1.16.3.1.1.1.4", "i", "4",
                                   "1.3.6.1.2.1.16.3.1.1.3.4", "o", "1.3.6.1.2.1.16.1.1.1.5.1",
                                   "1.3.6.1.2.1.16.3.1.1.4.4", "i", "2",
                                   "1.3.6.1.2.1.16.3.1.1.5.4", "i", "1200",
                                   "1.3.6.1.2.1.16.3.1.1.7.4", "i", "1000",
                                   "1.3.6.1.2.1.16.3.1.1.8.4", "i", "100"};
        auto row = [](const char* name, const QStringList& tool, const char* device,
                      const char* event, const char* sev, const char* port, const char* summary) {
            QTest::newRow(name) << tool << device << event << sev << port << summary;
        };
        const QStringList trap = {"snmptrap"}, inform = {"snmpinform"};
        row("v2c coldStart", trap + v2 + QStringList{"1.3.6.1.6.3.1.1.5.1"}, "127.0.0.1",
            "coldStart", "Minor", "", "The device restarted (cold start)");
        row("v2c warmStart", trap + v2 + QStringList{"1.3.6.1.6.3.1.1.5.2"}, "127.0.0.1",
            "warmStart", "Minor", "", "The device restarted (warm start)");
        row("v2c linkDown", trap + v2 + QStringList{kLinkDown} + link, "127.0.0.1", "linkDown",
            "Major", "3 FE 1/3", "Link down on port FE 1/3 (ifIndex 3) (admin down, oper down)");
        row("v2c inform linkUp", inform + v2 + QStringList{"1.3.6.1.6.3.1.1.5.4"} + link,
            "127.0.0.1", "linkUp", "Information", "3 FE 1/3",
            "Link up on port FE 1/3 (ifIndex 3) (admin down, oper down)");
        row("v3 trap authenticationFailure", trap + v3trap + QStringList{"1.3.6.1.6.3.1.1.5.5"},
            "127.0.0.1", "authenticationFailure", "Minor", "",
            "A request with a wrong community or user reached the device");
        row("v3 inform risingAlarm", inform + v3inform + QStringList{"1.3.6.1.2.1.16.0.1"} + alarm,
            "127.0.0.1", "risingAlarm", "Major", "",
            "Rising alarm 4: 1.3.6.1.2.1.16.1.1.1.5.1 sampled 1200 (delta), rising threshold 1000");
        row("v2c fallingAlarm", trap + v2 + QStringList{"1.3.6.1.2.1.16.0.2"} + alarm, "127.0.0.1",
            "fallingAlarm", "Information", "",
            "Falling alarm 4: 1.3.6.1.2.1.16.1.1.1.5.1 sampled 1200 (delta), falling threshold "
            "100");
        row("v2c newRoot", trap + v2 + QStringList{"1.3.6.1.2.1.17.0.1"}, "127.0.0.1", "newRoot",
            "Minor", "", "The device became the new root of the spanning tree");
        row("v3 trap topologyChange", trap + v3trap + QStringList{"1.3.6.1.2.1.17.0.2"},
            "127.0.0.1", "topologyChange", "Information", "", "The spanning-tree topology changed");
        // SNMPv1: snmptrapd translates the generic trap and adds the agent address, which names
        // the device though the trap comes from another address.
        row("v1 linkDown from another interface",
            trap + QStringList{"-v", "1", "-c", "public", "PORT", "1.3.6.1.4.1.58213", "127.0.0.5",
                               "2", "0", "", "1.3.6.1.2.1.2.2.1.1.7", "i", "7"},
            "127.0.0.5", "linkDown", "Major", "7", "Link down on port 7");
        row("v1 enterprise-specific",
            trap + QStringList{"-v", "1", "-c", "public", "PORT", "1.3.6.1.4.1.58213", "127.0.0.1",
                               "6", "17", "", "1.3.6.1.4.1.58213.1.1.0", "s", "fan tray"},
            "127.0.0.1", "1.3.6.1.4.1.58213.0.17", "Information", "",
            "Enterprise-specific trap 17 of 1.3.6.1.4.1.58213: 1.3.6.1.4.1.58213.1.1.0 fan tray");
        row("v2c unknown",
            trap + v2 + QStringList{"1.3.6.1.4.1.58213.99", "1.3.6.1.2.1.1.5.0", "s", "x"},
            "127.0.0.1", "1.3.6.1.4.1.58213.99", "Information", "",
            "Notification 1.3.6.1.4.1.58213.99: 1.3.6.1.2.1.1.5.0 x");
    }
    void throughSnmptrapd() {
        QFETCH(QStringList, tool);
        QFETCH(QString, device);
        if (!m_trapd) {
            m_trapdJournal = freshJournal();
            m_trapd = std::make_unique<TrapdProcess>(
                m_trapdJournal, TrapdV3Users(QString::fromLatin1(kSimEngineIdHex)));
        }
        QVERIFY2(m_trapd->started(), qPrintable(m_trapd->error()));
        const size_t before = journalRows(m_trapdJournal, device).size();
        const int loggedBefore = m_trapd->logged();
        tool.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), m_trapd->address());
        bool ok = false;
        const QString program = tool.takeFirst();
        RunTool(program, tool, &ok);
        QVERIFY(ok);
        QTRY_COMPARE_WITH_TIMEOUT(journalRows(m_trapdJournal, device).size(), before + 1, 5000);
        QTest::qWait(200);
        QCOMPARE(m_trapd->logged(), loggedBefore + 1);
        QCOMPARE(journalRows(m_trapdJournal, device).size(), before + 1);
        // What the page shows of it: the newest row.
        CDeviceEventsDlg page(m_trapdJournal, device);
        QVERIFY(page.problem().isEmpty());
        const QStringList shown = viewRow(page.list(), 0);
        QTEST(shown[EventListModel::kEvent], "event");
        QTEST(shown[EventListModel::kSeverity], "severity");
        QTEST(shown[EventListModel::kPort], "port");
        QTEST(shown[EventListModel::kSummary], "summary");
    }

    // An inform sent again is the same inform: the same sender, request id (and engine), one
    // row however often it comes. A trap is never merged, however like another it is: three
    // restarts of a device are three coldStarts.
    void informsOnceTrapsEach_data() {
        bothStores();
    }
    void informsOnceTrapsEach() {
        JOURNAL_ON_STORE(journal);
        TrapdProcess trapd(journal);
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        TrapSender sender(trapd.port());
        QVERIFY(sender.ok());
        for (int copy = 0; copy < 3; ++copy)
            sender.sendOne(100007, 4242, true);
        // Another inform with the same content is another event.
        sender.sendOne(100007, 4243, true);
        for (int copy = 0; copy < 3; ++copy)
            sender.sendOne(100008, 99, false);
        QTRY_COMPARE_WITH_TIMEOUT(uptimes(journal, m_server.get()).size(), 5, 5000);
        for (int restart = 0; restart < 3; ++restart) {
            SimProcess sim({"--static", "--notify", trapd.address()});
            QVERIFY(sim.started());
            QTRY_COMPARE_WITH_TIMEOUT(uptimes(journal, m_server.get()).size(), 6 + restart, 5000);
        }
        QTest::qWait(300);
        QCOMPARE(trapd.logged(), 10);
        const QList<qint64> all = uptimes(journal, m_server.get());
        QCOMPARE(all.count(100007), 2);
        QCOMPARE(all.count(100008), 3);
        QStringList names;
        for (const events::Event& e : journalRows(journal))
            names << QString::fromStdString(e.event);
        QCOMPARE(names.count(QStringLiteral("coldStart")), 3);
    }

    // Informs at 50 a second, each sent once with a 1 s time-out: every one is answered (the
    // hand-over never waits on the journal), and each is journaled once.
    void informsAnsweredAtOnce() {
        const QString journal = freshJournal();
        TrapdProcess trapd(journal);
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        std::vector<std::unique_ptr<QProcess>> informs;
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= 100; ++i) {
            while (clock.elapsed() < (i - 1) * 20)
                QTest::qWait(2);
            auto& p = informs.emplace_back(std::make_unique<QProcess>());
            p->start(QStringLiteral("snmpinform"),
                     {"-v", "2c", "-c", "public", "-t", "1", "-r", "0", trapd.address(),
                      QString::number(i), "1.3.6.1.6.3.1.1.5.3"});
        }
        int answered = 0;
        for (auto& p : informs) {
            // waitForFinished says false for a process that has already ended.
            if (p->state() != QProcess::NotRunning) p->waitForFinished(5000);
            if (p->state() == QProcess::NotRunning && p->exitStatus() == QProcess::NormalExit &&
                p->exitCode() == 0)
                ++answered;
        }
        QCOMPARE(answered, 100);
        QList<qint64> want;
        for (int i = 1; i <= 100; ++i)
            want << i;
        auto sorted = [&] {
            QList<qint64> all = uptimes(journal);
            std::sort(all.begin(), all.end());
            return all;
        };
        QTRY_COMPARE_WITH_TIMEOUT(sorted(), want, 5000);
    }

    // The consumer killed in the middle of a burst and started again (as its unit restarts it):
    // the spool position is committed with the events, so every number is there exactly once.
    // The spool is set aside every 20 kB here, so that the kills also land while the writer
    // moves to a new file.
    void killedConsumerLosesNothing() {
        const QString journal = freshJournal();
        qputenv("TRAP_RECEIVER_ROTATE", "20000");
        TrapdProcess trapd(journal);
        qunsetenv("TRAP_RECEIVER_ROTATE");
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        TrapSender sender(trapd.port());
        std::thread burst([&] { sender.send(1, 2000, 1000); });
        QList<qint64> want;
        for (int i = 1; i <= 2000; ++i)
            want << i;
        for (int kill = 0; kill < 3; ++kill) {
            QTest::qWait(400);
            const qint64 pid = trapd.consumerPid();
            QVERIFY(pid > 0);
            ::kill(pid_t(pid), SIGKILL);
            QTRY_VERIFY_WITH_TIMEOUT(trapd.consumerPid() > 0 && trapd.consumerPid() != pid, 3000);
        }
        burst.join();
        QTRY_COMPARE_WITH_TIMEOUT(uptimes(journal), want, 10000);
        // Whatever was set aside and taken is gone: the current file and at most one more.
        // How far the current file grew depends on how long the consumer lagged behind the
        // kills; the next notification begins a new file if it was set aside, and once that is
        // taken the old one goes.
        sender.send(2001, 1, 1000);
        QString left;
        auto cleared = [&] {
            const QFileInfoList files = QDir(trapd.spoolDir()).entryInfoList(QDir::Files);
            qint64 bytes = 0;
            for (const QFileInfo& f : files)
                bytes += f.size();
            left = QStringLiteral("%1 files, %2 bytes").arg(files.size()).arg(bytes);
            return files.size() <= 2 && bytes < 60000;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(cleared(), qPrintable(left), 5000);
    }

    // Into a server's journal through trap-receiver, as its writer's role: the server stopped
    // for a few seconds in the middle of a burst and started again. The consumer keeps what it
    // cannot write in the spool, says so, and tries again; every number is journaled once.
    void serverRestartLosesNothing() {
        PgServer server;
        if (!server.started()) QSKIP(qPrintable(server.error()));
        TrapdProcess trapd(server.uri(QString::fromLatin1(PgServer::kWriter)));
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        TrapSender sender(trapd.port());
        constexpr int kCount = 3000;
        std::thread burst([&] { sender.send(1, kCount, 1000); });
        QTest::qWait(800);
        const bool stopped = server.stop();
        QTest::qWait(2000);
        const bool started = server.start();
        burst.join();
        QVERIFY2(stopped && started, qPrintable(server.error()));
        QList<qint64> want;
        for (int i = 1; i <= kCount; ++i)
            want << i;
        auto journaled = [&] {
            QString out;
            server.sql(QStringLiteral("SELECT uptime FROM events ORDER BY id"), &out);
            QList<qint64> got;
            for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                got << line.toLongLong();
            return got;
        };
        QTRY_COMPARE_WITH_TIMEOUT(journaled(), want, 30000);
        QVERIFY2(trapd.said().contains(QLatin1String("stay in the spool")),
                 qPrintable(trapd.said()));
    }

    // A spool taken whole and past its bound is set aside; once the writer has begun a new file
    // and that is taken too, the old one is deleted. Nothing is taken twice across the change.
    void spoolSetAside() {
        const QString journal = freshJournal();
        QTemporaryDir spool;
        auto write = [&](const char* id, int first) {
            QFile f(spool.filePath(QStringLiteral("spool")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromStdString(events::SpoolFileHeader(id)));
            for (int i = first; i < first + 10; ++i)
                f.write(spoolRecord(
                    notification(kLinkDown, {}).replace("0:0:01:02.03", QByteArray::number(i))));
        };
        auto take = [&] {
            return RunToolIn(eventd(), {"--once", "--rotate", "1000", "--spool", spool.path(),
                                        "--journal", journal})
                .exitCode;
        };
        write("first", 1);
        QCOMPARE(take(), 0);
        QVERIFY(QFile::exists(spool.filePath(QStringLiteral("spool.old"))));
        QVERIFY(!QFile::exists(spool.filePath(QStringLiteral("spool"))));
        QCOMPARE(take(), 0);
        write("second", 11);
        QCOMPARE(take(), 0);
        // The first file is gone; the second, taken whole, is set aside in its turn.
        QVERIFY(fileBytes(spool.filePath(QStringLiteral("spool.old")))
                    .startsWith("talvex-spool 1 second\n"));
        QList<qint64> want;
        for (int i = 1; i <= 20; ++i)
            want << i;
        QCOMPARE(uptimes(journal), want);
    }

    // talvex-sim sends: coldStart at start, linkDown and linkUp when a set of ifAdminStatus
    // changes a port, and any kind on command; as v2c or v3 traps or informs, an inform sent
    // again before its answer still one event.
    void fromSimulator_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("v2c traps") << QStringList{"--notify-community", "public"};
        QTest::newRow("v2c informs, sent again at once")
            << QStringList{"--notify-inform", "--notify-timeout", "1"};
        QTest::newRow("v3 traps") << QStringList{"--notify-user",
                                                 "trapuser SHA trappass123 AES trappass123"};
        QTest::newRow("v3 informs") << QStringList{"--notify-inform", "--notify-user",
                                                   "informuser SHA trappass123 AES trappass123"};
    }
    void fromSimulator() {
        QFETCH(QStringList, options);
        const QString journal = freshJournal();
        TrapdProcess trapd(journal, TrapdV3Users(QString::fromLatin1(kSimEngineIdHex)));
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        SimProcess sim(QStringList{"--static", "--notify", trapd.address()} + options);
        QVERIFY(sim.started());
        auto events = [&] {
            QStringList names;
            for (const events::Event& e : journalRows(journal))
                names << QString::fromStdString(e.event);
            return names;
        };
        QTRY_COMPARE_WITH_TIMEOUT(events(), QStringList{"coldStart"}, 5000);
        const QString agent = QStringLiteral("127.0.0.1:%1").arg(sim.port());
        const QString admin = QStringLiteral("1.3.6.1.2.1.2.2.1.7.1");
        bool ok = false;
        RunTool(QStringLiteral("snmpset"), {"-v", "2c", "-c", "saffron", agent, admin, "i", "1"},
                &ok);
        QVERIFY(ok);
        QTest::qWait(300);
        const QStringList before = events();
        RunTool(QStringLiteral("snmpset"), {"-v", "2c", "-c", "saffron", agent, admin, "i", "2"},
                &ok);
        QVERIFY(ok);
        QTRY_COMPARE_WITH_TIMEOUT(events(), before + QStringList{"linkDown"}, 5000);
        QCOMPARE(journalRows(journal).back().ifIndex, 1);
        QCOMPARE(sim.command(QStringLiteral("notify topology")), QStringLiteral("ok"));
        QCOMPARE(sim.command(QStringLiteral("notify rising")), QStringLiteral("ok"));
        const QStringList all = before + QStringList{"linkDown", "topologyChange", "risingAlarm"};
        QTRY_COMPARE_WITH_TIMEOUT(events(), all, 5000);
        // Whatever was sent again has had its answer by now.
        QTest::qWait(500);
        QCOMPARE(events(), all);
        if (options.contains(QLatin1String("--notify-inform")))
            QTRY_VERIFY_WITH_TIMEOUT(sim.command(QStringLiteral("notify pending"))
                                         .startsWith(QLatin1String("0 pending")),
                                     3000);
    }

    // Hostile handler input: nothing crashes, every length stays bounded, and the event is kept
    // or the handler says clearly why not.
    void hostileInput_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("contains"); // in its bindings
        const QByteArray big(1 << 19, 'A');
        QTest::newRow("512 kB binding")
            << notification(kLinkDown, ".1.3.6.1.2.1.1.5.0 \"" + big + "\"\n") << 0 << "linkDown"
            << "[520192 more bytes cut]";
        QTest::newRow("NUL and invalid UTF-8")
            << notification(kLinkDown, QByteArray(".1.3.6.1.2.1.1.5.0 a\0b\xff\xfe\xc0\x80z\n", 28))
            << 0 << "linkDown" << QString::fromUtf8("a\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFDz");
        QTest::newRow("SQL in values")
            << notification(kLinkDown, ".1.3.6.1.2.1.1.5.0 \"'); DROP TABLE events; --\"\n") << 0
            << "linkDown"
            << "'); DROP TABLE events; --";
        QTest::newRow("markup in values")
            << notification(kLinkDown, ".1.3.6.1.2.1.1.5.0 \"<b>x</b><img src=y>\"\n") << 0
            << "linkDown"
            << "<b>x</b><img src=y>";
        QTest::newRow("a line inside a quoted value")
            << notification(
                   kLinkDown,
                   ".1.3.6.1.2.1.1.5.0 \"x\n.1.3.6.1.6.3.1.1.4.1.0 .1.3.6.1.6.3.1.1.5.1\"\n")
            << 0 << "linkDown"
            << "x .1.3.6.1.6.3.1.1.4.1.0";
        QByteArray many;
        for (int i = 0; i < 10000; ++i)
            many += ".1.3.6.1.2.1.2.2.1.10." + QByteArray::number(i) + " " + QByteArray::number(i) +
                    "\n";
        QTest::newRow("10 000 bindings") << notification(kLinkDown, many) << 0 << "linkDown"
                                         << "[9002 more bindings not kept]";
        QTest::newRow("no notification OID")
            << QByteArray("localhost\nUDP: [127.0.0.1]:1->[127.0.0.1]:162\n.1.3.6.1.2.1.1.5.0 x\n")
            << 0 << "(no notification OID)"
            << "1.3.6.1.2.1.1.5.0 x";
        QTest::newRow("no bindings")
            << QByteArray("localhost\nUDP: [127.0.0.1]:1->[127.0.0.1]:162\n") << 0
            << "(no notification OID)"
            << "";
    }
    void hostileInput() {
        QFETCH(QByteArray, input);
        QFETCH(QString, event);
        QFETCH(QString, contains);
        const QString journal = freshJournal();
        const ToolRun run = handle(journal, input);
        QTEST(run.exitCode, "exitCode");
        const std::vector<events::Event> rows = journalRows(journal);
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(QString::fromStdString(rows[0].event), event);
        const QString bindings = bindingsOf(journal, rows[0].id);
        QVERIFY2(bindings.contains(contains), qPrintable(bindings.left(300)));
        QVERIFY(bindings.size() < 1000 * 4200);
        QVERIFY(!bindings.contains(QChar(0)));
    }

    // Bytes in the spool that are no record (a record cut short, a length past the bound,
    // garbage) are skipped and said; the records around them are journaled.
    void hostileSpool() {
        const QString journal = freshJournal();
        const QByteArray first = spoolRecord(notification(kLinkDown, ".1.3.6.1.2.1.2.2.1.1.1 1\n"));
        const QByteArray second =
            spoolRecord(notification(kLinkDown, ".1.3.6.1.2.1.2.2.1.1.2 2\n"));
        const QByteArray third = spoolRecord(notification(kLinkDown, ".1.3.6.1.2.1.2.2.1.1.3 3\n"));
        const ToolRun run =
            journalSpool(journal, "garbage\n" + first + "@99999999999\n" + second.left(40) + third +
                                      "@7\nno type" + QByteArray(1 << 16, '@'));
        QCOMPARE(run.exitCode, 0);
        QList<int> ports;
        for (const events::Event& e : journalRows(journal))
            ports << e.ifIndex;
        QCOMPARE(ports, (QList<int>{1, 3}));
        QVERIFY2(run.errText().contains(QLatin1String("of the spool were no record; skipped")),
                 qPrintable(run.errText()));
    }

    // A journal that cannot be written keeps the notifications in the spool, says why, and
    // holds up nothing: an inform sent meanwhile is answered at once. Once the journal can be
    // written, the spool's notifications go into it.
    void unusableJournalKeepsSpool_data() {
        noJournalRows();
        QTest::newRow("newer schema") << "newer"
                                      << "it is of a newer version (99)";
        QTest::newRow("locked") << "locked"
                                << "cannot write 1 events to the journal";
        QTest::newRow("full") << "full"
                              << "cannot write 1 events to the journal";
    }
    void unusableJournalKeepsSpool() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString journal = freshJournal();
        const QString other = journal + QStringLiteral(".other");
        const QByteArray otherBefore = othersDatabase(other);
        sqlite3* lock = nullptr;
        size_t before = 0;
        if (placeNoJournal(kind, journal, other)) {
            // nothing more to it
        } else if (kind == QLatin1String("full")) {
            QCOMPARE(handle(journal, notification(kLinkDown)).exitCode, 0);
            before = 1;
        } else {
            QCOMPARE(handle(journal, notification(kLinkDown)).exitCode, 0);
            before = 1;
            QCOMPARE(sqlite3_open(journal.toUtf8().constData(), &lock), SQLITE_OK);
            const char* sql = kind == QLatin1String("newer")
                                  ? "PRAGMA user_version=99"
                                  : "BEGIN EXCLUSIVE; UPDATE settings SET value = value "
                                    "WHERE name = 'ack_seq'";
            QCOMPARE(sqlite3_exec(lock, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        }
        TrapdProcess trapd(journal);
        QVERIFY2(trapd.started(), qPrintable(trapd.error()));
        // A full disk as the writer meets it: no write beyond the first byte of any file.
        rlimit fsize{};
        const pid_t consumer = pid_t(trapd.consumerPid());
        if (kind == QLatin1String("full")) {
            QCOMPARE(prlimit(consumer, RLIMIT_FSIZE, nullptr, &fsize), 0);
            const rlimit full{1, fsize.rlim_max};
            QCOMPARE(prlimit(consumer, RLIMIT_FSIZE, &full, nullptr), 0);
        }
        TrapSender(trapd.port()).sendOne(1, 1);
        QTRY_VERIFY2_WITH_TIMEOUT(trapd.said().contains(why), qPrintable(trapd.said()), 5000);
        bool ok = false;
        RunTool(QStringLiteral("snmpinform"),
                {"-v", "2c", "-c", "public", "-t", "1", "-r", "0", trapd.address(), "2",
                 "1.3.6.1.6.3.1.1.5.3"},
                &ok);
        QVERIFY2(ok, "the inform was not answered");
        QVERIFY(trapd.said().contains(QLatin1String("stay in the spool")));
        QCOMPARE(fileBytes(other), otherBefore);
        // Mended: what the spool kept is journaled.
        if (lock) {
            if (kind == QLatin1String("newer"))
                sqlite3_exec(lock, "PRAGMA user_version=2", nullptr, nullptr, nullptr);
            else
                sqlite3_exec(lock, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(lock);
        } else if (kind == QLatin1String("full")) {
            QCOMPARE(prlimit(consumer, RLIMIT_FSIZE, &fsize, nullptr), 0);
        } else {
            QVERIFY(QFile::remove(journal) || QDir(journal).removeRecursively());
        }
        QTRY_COMPARE_WITH_TIMEOUT(journalRows(journal).size(), before + 2, 15000);
    }

    // Each device keeps the journal's bound of rows, dropping its oldest; other devices keep
    // theirs.
    void boundPerDevice_data() {
        bothStores();
    }
    void boundPerDevice() {
        JOURNAL_ON_STORE(journal);
        QCOMPARE(handle(journal, notification(kLinkDown, {}, "127.0.0.2")).exitCode, 0);
        {
            events::Journal j;
            QVERIFY(j.open(journal.toStdString(), false, nullptr));
            QCOMPARE(j.maxPerDevice(), events::kDefaultMaxPerDevice);
            QVERIFY(j.setMaxPerDevice(5));
        }
        for (int i = 1; i <= 8; ++i) {
            const QByteArray n = QByteArray::number(i);
            QCOMPARE(handle(journal,
                            notification(kLinkDown, ".1.3.6.1.2.1.2.2.1.1." + n + " " + n + "\n"))
                         .exitCode,
                     0);
        }
        const std::vector<events::Event> rows = journalRows(journal);
        QCOMPARE(rows.size(), size_t(5));
        QCOMPARE(rows.front().ifIndex, 4);
        QCOMPARE(rows.back().ifIndex, 8);
        QCOMPARE(journalRows(journal, QStringLiteral("127.0.0.2")).size(), size_t(1));
    }

    // Besides each device's bound, the journal's: a flood of made-up sender addresses keeps
    // the newest rows and forgets the devices it no longer holds.
    void boundInAll_data() {
        bothStores();
    }
    void boundInAll() {
        JOURNAL_ON_STORE(journal);
        QCOMPARE(handle(journal, notification(kLinkDown)).exitCode, 0);
        {
            events::Journal j;
            QVERIFY(j.open(journal.toStdString(), false, nullptr));
            QCOMPARE(j.maxTotal(), events::kDefaultMaxTotal);
            QVERIFY(j.setMaxTotal(50));
        }
        QByteArray flood;
        for (int i = 0; i < 300; ++i)
            flood += spoolRecord(notification(kLinkDown, {},
                                              "127.1." + QByteArray::number(i / 250) + "." +
                                                  QByteArray::number(i % 250 + 1)));
        QCOMPARE(journalSpool(journal, flood).exitCode, 0);
        events::Journal j;
        QVERIFY(j.open(journal.toStdString(), false, nullptr));
        QCOMPARE(j.total(), int64_t(50));
        QCOMPARE(j.devices(), int64_t(50));
        QCOMPARE(j.count("127.1.1.50"), int64_t(1));
        QCOMPARE(j.count("127.0.0.1"), int64_t(0));
        events::Journal::Unacked u;
        QVERIFY(j.unacknowledged("127.1.0.1", u));
        QCOMPARE(u.count, int64_t(0));
    }

    // What the journal's opener refuses, without waiting and without touching what a link
    // points at.
    void journalRefused_data() {
        noJournalRows();
        QTest::newRow("another's") << "owner"
                                   << "it belongs to user 65534";
        QTest::newRow("newer schema") << "newer"
                                      << "it is of a newer version (3)";
        QTest::newRow("another database") << "foreign"
                                          << "it is not an event journal";
    }
    void journalRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString path = freshJournal();
        const QString other = path + QStringLiteral(".other");
        const QByteArray otherBefore = othersDatabase(other);
        if (placeNoJournal(kind, path, other)) {
            // nothing more to it
        } else if (kind == QLatin1String("foreign")) {
            QVERIFY(QFile::copy(other, path));
        } else {
            events::Journal j;
            QVERIFY(j.open(path.toStdString(), true, nullptr));
            j.close();
            if (kind == QLatin1String("owner")) {
                if (::geteuid() != 0) QSKIP("giving a file away takes root");
                QCOMPARE(::chown(path.toLocal8Bit().constData(), 65534, 65534), 0);
            } else {
                sqlite3* db = nullptr;
                QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
                QCOMPARE(sqlite3_exec(db, "PRAGMA user_version=3", nullptr, nullptr, nullptr),
                         SQLITE_OK);
                sqlite3_close(db);
            }
        }
        for (const bool writer : {true, false}) {
            events::Journal j;
            std::string reason;
            QVERIFY(!j.open(path.toStdString(), writer, &reason));
            QVERIFY2(QString::fromStdString(reason).contains(why), reason.c_str());
            QVERIFY(!j.isOpen());
        }
        QCOMPARE(fileBytes(other), otherBefore);
    }

    // A journal made by the module's first version (no schema version in it) is brought up
    // to date on open: its rows, acknowledgements and counts kept, the new columns there.
    void migratesFirstVersion() {
        const QString path = freshJournal();
        QVERIFY(
            QFile::copy(QStringLiteral(TALVEX_SOURCE_DIR "/tests/events/journal-v1.sqlite"), path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            events::Journal j;
            std::string why;
            QVERIFY2(j.open(path.toStdString(), false, &why), why.c_str());
            QCOMPARE(j.total(), int64_t(4));
            QCOMPARE(j.maxTotal(), events::kDefaultMaxTotal);
            events::Journal::Unacked u;
            QVERIFY(j.unacknowledged("127.0.0.1", u));
            QCOMPARE(u.count, int64_t(3));
            QCOMPARE(u.serious, int64_t(3));
            QVERIFY(j.unacknowledged("127.0.0.7", u));
            QCOMPARE(u.count, int64_t(1));
            QCOMPARE(j.acknowledgeAll("127.0.0.1", "ops", 1), 3);
            QVERIFY(j.unacknowledged("127.0.0.7", u));
            QCOMPARE(u.count, int64_t(0));
        }
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_step(s), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(s, 0), events::kSchemaVersion);
        sqlite3_finalize(s);
        sqlite3_close(db);
        // The rows read as before, with the sender beside the device.
        const std::vector<events::Event> rows = journalRows(path);
        QCOMPARE(rows.size(), size_t(4));
        QCOMPARE(rows.back().sender, std::string("127.0.0.7"));
        QCOMPARE(rows.front().ackedBy, std::string("ops"));
        QCOMPARE(handle(path, notification(kLinkDown)).exitCode, 0);
        QCOMPARE(journalRows(path).size(), size_t(5));
    }

    // An event belongs to the device that sent it and to the one its snmpTrapAddress.0 names.
    void eventsBelongToTheirDevice_data() {
        bothStores();
    }
    void eventsBelongToTheirDevice() {
        JOURNAL_ON_STORE(journal);
        const QByteArray named = ".1.3.6.1.6.3.18.1.3.0 ";
        QCOMPARE(
            handle(journal, notification(kLinkDown, named + "127.0.0.9\n", "127.0.0.1")).exitCode,
            0);
        QCOMPARE(
            handle(journal, notification(kLinkDown, named + "127.0.0.1\n", "127.0.0.7")).exitCode,
            0);
        QCOMPARE(handle(journal, notification(kLinkDown, {}, "127.0.0.8")).exitCode, 0);
        QCOMPARE(journalRows(journal, QStringLiteral("127.0.0.1")).size(), size_t(2));
        QCOMPARE(journalRows(journal, QStringLiteral("127.0.0.9")).size(), size_t(1));
        QCOMPARE(journalRows(journal, QStringLiteral("127.0.0.7")).size(), size_t(1));
        QCOMPARE(journalRows(journal, QStringLiteral("127.0.0.8")).size(), size_t(1));
    }

    // The page: filters, copy, print, details as plain text, live following, acknowledging.
    void eventsPage() {
        const QString journal = freshJournal();
        QCOMPARE(handle(journal, notification(QStringLiteral("1.3.6.1.6.3.1.1.5.1"))).exitCode, 0);
        QCOMPARE(handle(journal,
                        notification(kLinkDown,
                                     ".1.3.6.1.2.1.2.2.1.1.2 2\n.1.3.6.1.2.1.1.5.0 \"<b>x</b>\"\n"))
                     .exitCode,
                 0);
        CDeviceEventsDlg page(journal, QStringLiteral("127.0.0.1"));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTreeView* view = page.list();
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(viewRow(view, 0)[EventListModel::kEvent], QStringLiteral("linkDown"));

        auto* combo = platform::Item<QComboBox>(&page, 2001);
        combo->setCurrentIndex(2); // major and above
        QCOMPARE(view->model()->rowCount(), 1);
        combo->setCurrentIndex(0);
        QTest::keyClicks(platform::Item<QLineEdit>(&page, 2002), QStringLiteral("COLD"));
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(viewRow(view, 0)[EventListModel::kEvent], QStringLiteral("coldStart"));
        platform::Item<QLineEdit>(&page, 2002)->clear();

        // A new event shows within 2 s, on top.
        QCOMPARE(handle(journal, notification(QStringLiteral("1.3.6.1.6.3.1.1.5.4"),
                                              ".1.3.6.1.2.1.2.2.1.1.2 2\n"))
                     .exitCode,
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(view->model()->rowCount(), 3, 2000);
        QCOMPARE(viewRow(view, 0)[EventListModel::kEvent], QStringLiteral("linkUp"));

        // Ctrl+C: the selected rows under the headings, as the list pages copy them.
        view->setFocus();
        view->selectionModel()->select(view->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        const QStringList copied = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(copied.value(0),
                 QStringLiteral("Time\tSender\tSeverity\tEvent\tPort\tSummary\tAcknowledged"));
        QCOMPARE(copied.value(1).section(QLatin1Char('\t'), 2, 5),
                 QStringLiteral("Major\tlinkDown\t2\tLink down on port 2"));

        // Details: every binding, as plain text.
        QString details;
        platform::SetRunModalHook([&](QDialog* d) {
            if (auto* text = d->findChild<QPlainTextEdit*>()) details = text->toPlainText();
            return 0;
        });
        const QRect r = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, r.center());
        platform::SetRunModalHook({});
        QVERIFY2(details.contains(QLatin1String("1.3.6.1.2.1.1.5.0 <b>x</b>")),
                 qPrintable(details));
        QVERIFY(details.contains(QLatin1String("1.3.6.1.6.3.1.1.4.1.0 .1.3.6.1.6.3.1.1.5.3")));

        // Ctrl+P: the list as a report, to PDF.
        const QString pdf = m_dir.filePath(QStringLiteral("events.pdf"));
        platform::SetPrintDialogHook([&](QPrintDialog* d) {
            d->printer()->setOutputFormat(QPrinter::PdfFormat);
            d->printer()->setOutputFileName(pdf);
            return true;
        });
        // Where no printer is installed, a box says that the report goes to a PDF file.
        platform::SetMessageBoxHook(
            [](QWidget*, const QString&, bool) { return platform::Answer::Ok; });
        QTest::keyClick(&page, Qt::Key_P, Qt::ControlModifier);
        platform::SetMessageBoxHook({});
        platform::SetPrintDialogHook({});
        bool ok = false;
        const QString text = RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}, &ok);
        QVERIFY(ok);
        QVERIFY2(text.contains(QLatin1String("Link down on port 2")), qPrintable(text));
        QVERIFY(text.contains(QLatin1String("coldStart")));

        // Acknowledged rows carry the operator's name and no longer count.
        QCOMPARE(page.model()->unacknowledged(), 3);
        click(&page, 2006);
        QCOMPARE(page.model()->unacknowledged(), 2);
        QVERIFY(viewRow(view, 1)[EventListModel::kAcknowledged].startsWith(OperatorName()));
        click(&page, 2007);
        QCOMPARE(page.model()->unacknowledged(), 0);
        events::Journal j;
        QVERIFY(j.open(journal.toStdString(), false, nullptr));
        events::Journal::Unacked u;
        QVERIFY(j.unacknowledged("127.0.0.1", u));
        QCOMPARE(u.count, int64_t(0));
    }

    // Without a journal it can read, the page says where it looked, why, and where to read on;
    // once one appears it shows it.
    void pageWithoutJournal_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "missing"
                                 << "there is no journal there";
        QTest::newRow("not a journal") << "text"
                                       << "it is not an event journal";
        QTest::newRow("a directory") << "dir"
                                     << "it is not a regular file";
    }
    void pageWithoutJournal() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString path = freshJournal() + QStringLiteral("<b>");
        if (kind == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<b>not</b> a journal\n");
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir().mkpath(path));
        }
        CDeviceEventsDlg page(path, QStringLiteral("127.0.0.1"));
        page.show();
        auto* label = platform::Item<QLabel>(&page, 2004);
        QVERIFY(label->isVisible());
        QVERIFY(!page.list()->isVisible());
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->text().contains(path));
        QVERIFY2(label->text().contains(why), qPrintable(label->text()));
        QVERIFY(label->text().contains(QLatin1String("talvex(1)")));
        QVERIFY(!enabled(&page, 2006));
        if (kind == QLatin1String("missing")) {
            QCOMPARE(handle(path, notification(kLinkDown)).exitCode, 0);
            QTRY_VERIFY_WITH_TIMEOUT(page.list()->isVisible(), 2000);
            QCOMPARE(page.list()->model()->rowCount(), 1);
        }
    }

    // A server's journal that cannot be reached: the lamp cannot light, and the panel's tooltip
    // says why instead.
    void lampSaysServerGone() {
        qputenv("TALVEX_EVENTS",
                ("postgresql:///talvex?host=" + m_dir.path() + "&user=nobody").toUtf8());
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        SetSnmpAgentPort(sim.port());
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        qputenv("TALVEX_SYSTEM_DIR", QByteArray(TALVEX_SOURCE_DIR "/res/panel"));
        CPanelDlg dlg;
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.panelView()->toolTip().isEmpty(), 3000);
        const QString tip = dlg.panelView()->toolTip();
        QVERIFY2(tip.startsWith(QLatin1String("ALM: the event journal cannot be read: the "
                                              "database server cannot be reached")),
                 qPrintable(tip));
        QVERIFY(!dlg.panelModel().alarm());
        qunsetenv("TALVEX_SYSTEM_DIR");
        qputenv("TALVEX_EVENTS", m_dir.filePath(QStringLiteral("none.sqlite")).toUtf8());
    }

    // The main window: the count of unacknowledged events in its title, the ALM lamp blinking
    // in the alarm colour while one is major or worse; acknowledged on the page reached through
    // the menu, both go back.
    void almLampAndTitle() {
        const QString journal = freshJournal();
        qputenv("TALVEX_EVENTS", journal.toUtf8());
        QCOMPARE(handle(journal, notification(QStringLiteral("1.3.6.1.6.3.1.1.5.1"))).exitCode, 0);
        SimProcess sim({"--static"});
        QVERIFY(sim.started());
        SetSnmpAgentPort(sim.port());
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        g_strReadCommunity = QStringLiteral("orchid");
        g_strWriteCommunity = QStringLiteral("saffron");
        qputenv("TALVEX_SYSTEM_DIR", QByteArray(TALVEX_SOURCE_DIR "/res/panel"));
        CPanelDlg dlg;
        QVERIFY(dlg.panelLoaded());
        QSignalSpy walked(dlg.poller(), &PanelPoller::portWalkEnded);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Talvex: 127.0.0.1 (1 unacknowledged event)"));
        QTRY_VERIFY_WITH_TIMEOUT(!walked.isEmpty(), 40000);
        PanelModel& model = dlg.panelModel();
        QVERIFY(!model.alarm());
        auto lampColour = [&] {
            const QRect r = model.alarmLampRect();
            return dlg.panelView()->grab().toImage().pixel(r.center()) | 0xFF000000;
        };
        QVERIFY(lampColour() != kLampAlarm);

        QCOMPARE(
            handle(journal,
                   notification(kLinkDown,
                                ".1.3.6.1.2.1.2.2.1.1.5 5\n.1.3.6.1.2.1.2.2.1.7.5 1\n"
                                ".1.3.6.1.2.1.2.2.1.8.5 2\n.1.3.6.1.2.1.2.2.1.2.5 \"FE 1/3\"\n"))
                .exitCode,
            0);
        QTRY_COMPARE_WITH_TIMEOUT(
            dlg.windowTitle(), QStringLiteral("Talvex: 127.0.0.1 (2 unacknowledged events)"), 3000);
        QVERIFY(model.alarm());
        // It blinks: the alarm colour, dark, the alarm colour again.
        QTRY_COMPARE_WITH_TIMEOUT(lampColour(), kLampAlarm, 2000);
        saveShot(&dlg, "alarm-lamp.png");
        QTRY_COMPARE_WITH_TIMEOUT(lampColour(), kLampDark, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(lampColour(), kLampAlarm, 2000);

        // More kinds for the page's picture.
        QCOMPARE(handle(journal,
                        notification(
                            QStringLiteral("1.3.6.1.2.1.16.0.1"),
                            ".1.3.6.1.2.1.16.3.1.1.1.2 2\n.1.3.6.1.2.1.16.3.1.1.3.2 "
                            ".1.3.6.1.2.1.2.2.1.10.5\n.1.3.6.1.2.1.16.3.1.1.4.2 2\n"
                            ".1.3.6.1.2.1.16.3.1.1.5.2 812345\n.1.3.6.1.2.1.16.3.1.1.7.2 500000\n"))
                     .exitCode,
                 0);
        QCOMPARE(handle(journal, notification(QStringLiteral("1.3.6.1.2.1.17.0.2"))).exitCode, 0);
        QAction* item = nullptr;
        for (QAction* menu : dlg.menuBar()->actions())
            if (menu->menu())
                for (QAction* a : menu->menu()->actions())
                    if (a->text() == QLatin1String("Device Events...")) item = a;
        QVERIFY(item);
        int shownRows = -1;
        platform::SetRunModalHook([&](QDialog* d) {
            auto* page = qobject_cast<CDeviceEventsDlg*>(d);
            if (!page) return 0;
            page->resize(1100, 300);
            // One acknowledged, as an operator leaves them.
            page->list()->selectionModel()->select(page->list()->model()->index(3, 0),
                                                   QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
            click(page, 2006);
            page->show();
            if (!QTest::qWaitForWindowExposed(page)) return 0;
            shownRows = page->list()->model()->rowCount();
            saveShot(page, "events-page.png");
            click(page, 2007);
            return 0;
        });
        item->trigger();
        platform::SetRunModalHook({});
        QCOMPARE(shownRows, 4);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.windowTitle(), QStringLiteral("Talvex: 127.0.0.1"), 3000);
        QVERIFY(!model.alarm());
        QTRY_VERIFY_WITH_TIMEOUT(lampColour() != kLampAlarm, 2000);
        qunsetenv("TALVEX_SYSTEM_DIR");
    }
};

QTEST_MAIN(TestEvents)
#include "tst_events.moc"
