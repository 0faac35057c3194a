// The Device Events page at the journal's per-device bound: what one arriving event costs the
// shown page (the oldest row dropped, the new one on top), against a rebuild of the whole list
// (what a change of filter does). Prints the medians in microseconds and their ratio.
#include "events/journal.h"
#include "events/model.h"
#include "pages/deviceeventsdlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100000;
    const int arrivals = 50;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("events.sqlite")).toStdString();
    events::Journal writer;
    if (!writer.open(path, true, nullptr)) return 1;
    writer.setMaxPerDevice(rows);
    auto append = [&](int i) {
        events::Event e;
        e.receivedMs = 1700000000000 + i;
        e.sender = e.device = "127.0.0.1";
        e.uptime = i;
        e.oid = "1.3.6.1.6.3.1.1.5.3";
        e.severity = events::Severity::Major;
        e.ifIndex = i % 48 + 1;
        e.event = "linkDown";
        e.summary = "Link down on port " + std::to_string(i % 48 + 1);
        e.bindings = "1.3.6.1.2.1.2.2.1.1." + std::to_string(i % 48 + 1);
        writer.append(e, nullptr);
    };
    for (int i = 0; i < rows; ++i)
        append(i);
    CDeviceEventsDlg page(dir.filePath(QStringLiteral("events.sqlite")),
                          QStringLiteral("127.0.0.1"));
    page.resize(1100, 500);
    page.show();
    QApplication::processEvents();
    std::vector<double> arriving, rebuilt;
    for (int i = 0; i < arrivals; ++i) {
        append(rows + i);
        QElapsedTimer t;
        t.start();
        page.model()->follow();
        QApplication::processEvents();
        arriving.push_back(double(t.nsecsElapsed()) / 1000.0);
        t.restart();
        page.model()->setFilter(4, {});
        QApplication::processEvents();
        rebuilt.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    // The model's share, with no view.
    EventListModel model;
    model.open(dir.filePath(QStringLiteral("events.sqlite")), QStringLiteral("127.0.0.1"), nullptr);
    std::vector<double> alone;
    for (int i = 0; i < arrivals; ++i) {
        append(rows + arrivals + i);
        QElapsedTimer t;
        t.start();
        model.follow();
        alone.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    std::printf("the list model alone, one arriving: %.0f us (median)\n", Median(alone));
    // The journal's share: the read of what arrived, through a connection of its own.
    events::Journal reader;
    reader.open(path, false, nullptr);
    std::vector<double> read;
    for (int i = 0; i < arrivals; ++i) {
        std::vector<events::Event> out;
        QElapsedTimer t;
        t.start();
        reader.readSince("127.0.0.1", int64_t(rows) + 2 * arrivals - 1, size_t(rows), out);
        read.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    std::printf("the journal's read of the last arrival: %.0f us (median)\n", Median(read));
    const double a = Median(arriving), r = Median(rebuilt);
    std::printf(
        "page of %d rows at its bound, %d arrivals: one arriving %.0f us, whole list rebuilt "
        "%.0f us (median), ratio %.3f; %d rows listed\n",
        rows, arrivals, a, r, r > 0 ? a / r : 0.0, page.list()->model()->rowCount());
    return 0;
}
