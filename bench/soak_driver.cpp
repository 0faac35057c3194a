// Soak driver: the module's interface page and CPU page open against talvex-sim --full for a
// given time, while the simulator's fault switches turn every three seconds (drop, delay, error
// status, wrong request id, truncated answers, answers that do not advance, links going down
// and up) and the interface page is refreshed through its button. At the end the faults are
// cleared and both pages must show fresh values again; the resident memory of this process and
// of the simulator, taken after the first minute (a third of the run when shorter) and at the
// end, must not have grown by more than 10 %. Prints its figures; exit status 0 when all held.
// Usage: soak-driver SECONDS   (run through bench/soak)
#include "pages/cpuutildlg.h"
#include "platform/listview.h"
#include "pages/interfaceinfodlg.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/peers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <random>

namespace {

// Resident set of a process in KiB, from /proc; 0 when it cannot be read.
long residentKiB(qint64 pid) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void click(QWidget* page, int id) {
    if (QPushButton* b = platform::Item<QPushButton>(page, id))
        b->click();
}

int rows(QWidget* page) {
    platform::ListView* list = page->findChild<platform::ListView*>(QString::number(res::interface::kList));
    return list ? list->rowCount() : -1;
}

double growth(long from, long to) {
    return from > 0 ? 100.0 * double(to - from) / double(from) : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 0;
    if (seconds < 10 || seconds > 86400) {
        std::fprintf(stderr, "usage: soak-driver SECONDS (10 to 86400)\n");
        return 2;
    }
    SimProcess sim({"--full", "--lifetime", QString::number(seconds + 120)});
    if (!sim.started()) {
        std::fprintf(stderr, "soak: talvex-sim did not start\n");
        return 1;
    }
    bool read = false;
    const QString agent = QStringLiteral("127.0.0.1:%1").arg(sim.port());
    const QStringList get{"-v2c", "-corchid", "-Oqv", agent, "1.3.6.1.2.1.2.1.0"};
    const QString ifNumber = RunTool(QStringLiteral("snmpget"), get, &read);
    const int interfaces = ifNumber.trimmed().toInt();
    if (!read || interfaces <= 0) {
        std::fprintf(stderr, "soak: cannot read ifNumber from talvex-sim\n");
        return 1;
    }
    SetSnmpTimeout(4000); // the module's time-out
    SetSnmpAgentPort(sim.port());
    g_strAgentAddress = QStringLiteral("127.0.0.1");
    g_strProxyAddress = QStringLiteral("0.0.0.0");
    g_strReadCommunity = QStringLiteral("orchid");
    g_strWriteCommunity = QStringLiteral("saffron");
    g_bUserRight = 1;

    CInterfaceInfoDlg interfacePage;
    CCpuUtilDlg cpuPage;
    interfacePage.show();
    cpuPage.show();

    const QStringList faults{"drop 1",     "delay 1500", "error 5",  "wrongid 1",
                             "truncate 2", "stuck 1",    "delay 300"};
    std::mt19937 rng(7);
    const int baselineAt = std::min(60, seconds / 3);
    long moduleBase = 0, simBase = 0, modulePeak = 0, simPeak = 0;
    int switches = 0, refreshes = 0, fullWalks = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 nextFault = 0, nextRefresh = 2000, nextSample = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QTest::qWait(100);
        const qint64 now = clock.elapsed();
        if (now >= nextFault) {
            // A fault, then a spell without: walks that complete as well as walks cut short.
            sim.command(QStringLiteral("faults"));
            if (switches % 2)
                sim.command(faults[(switches / 2) % faults.size()]);
            const int port = 3 + int(rng() % 380);
            sim.command(QStringLiteral("link %1 %2").arg(port).arg(switches % 2 ? "up" : "down"));
            ++switches;
            nextFault = now + 3000;
        }
        if (now >= nextRefresh) {
            fullWalks += rows(&interfacePage) == interfaces;
            click(&interfacePage, 3);
            ++refreshes;
            nextRefresh = now + 4000;
        }
        if (now >= nextSample) {
            const long module = residentKiB(0), simulator = residentKiB(sim.pid());
            if (!moduleBase && now >= baselineAt * 1000) {
                moduleBase = module;
                simBase = simulator;
            }
            if (moduleBase) {
                modulePeak = std::max(modulePeak, module);
                simPeak = std::max(simPeak, simulator);
            }
            nextSample = now + 5000;
        }
    }

    // The faults end: both pages must come back with what the device says now.
    sim.command(QStringLiteral("faults"));
    sim.command(QStringLiteral("put 1.3.6.1.4.1.58213.10.97.2.36.1.1.1.0 i 77"));
    bool cpuAnswers = QTest::qWaitFor(
        [&] {
            click(&cpuPage, 103);
            QTest::qWait(500);
            return ItemText(&cpuPage, 1310) == QStringLiteral("77");
        },
        20000);
    bool interfacesAnswer = QTest::qWaitFor(
        [&] {
            click(&interfacePage, 3);
            QTest::qWait(1000);
            return rows(&interfacePage) == interfaces;
        },
        30000);
    const long moduleEnd = residentKiB(0), simEnd = residentKiB(sim.pid());
    modulePeak = std::max(modulePeak, moduleEnd);
    simPeak = std::max(simPeak, simEnd);

    std::printf("soak: %d s against talvex-sim --full, %d fault switches, %d refreshes "
                "(%d found a whole table), %s requests served\n",
                seconds, switches, refreshes, fullWalks,
                qPrintable(sim.command(QStringLiteral("served"))));
    std::printf("soak: module answers after the faults: CPU page %s, interface page %s "
                "(%d of %d rows)\n",
                cpuAnswers ? "yes" : "NO", interfacesAnswer ? "yes" : "NO", rows(&interfacePage),
                interfaces);
    std::printf("soak: module RSS %ld KiB at %d s, %ld KiB at the end (%+.1f %%), peak %ld KiB\n",
                moduleBase, baselineAt, moduleEnd, growth(moduleBase, moduleEnd), modulePeak);
    std::printf("soak: talvex-sim RSS %ld KiB at %d s, %ld KiB at the end (%+.1f %%), "
                "peak %ld KiB\n",
                simBase, baselineAt, simEnd, growth(simBase, simEnd), simPeak);
    const bool memoryHeld = moduleBase > 0 && simBase > 0 &&
                            growth(moduleBase, moduleEnd) <= 10.0 &&
                            growth(simBase, simEnd) <= 10.0;
    const bool ok = cpuAnswers && interfacesAnswer && memoryHeld;
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
