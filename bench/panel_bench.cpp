// The front panel's figures: loading the shipped chassis, start to the first fully polled
// picture, and one polling cycle, against talvex-sim --full on loopback. Usage:
// panel-bench [--delay MS]: with a delay, the agent holds each answer MS milliseconds, as a
// distant one does, and the cycle's figure says whether the port walk fits the 10 s polling cycle.
#include "panel/panelloader.h"
#include "panel/panelpoller.h"
#include "snmp/params.h"
#include "tests/common/peers.h"
#include "qvsnmp/qvsnmp.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>

namespace {

class Site : public PanelSite {
public:
    void placePanel(int, int, int, int) override {}
    QSize panelClientSize() const override { return {960, 596}; }
    QWidget* panelOwner() override { return nullptr; }
};

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void paint(const PanelModel& model) {
    QImage img(model.clientSize(), QImage::Format_RGB32);
    QPainter p(&img);
    model.paint(p);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    SnmpInit(&app);
    SetSnmpTimeout(4000);
    const QString file = QStringLiteral(TALVEX_SOURCE_DIR "/res/panel/Talvex.properties");
    const int delay = argc > 2 && QByteArray(argv[1]) == "--delay" ? std::atoi(argv[2]) : 0;
    SimProcess sim({QStringLiteral("--full"), QStringLiteral("--static"), QStringLiteral("--delay"),
                    QString::number(delay)});
    if (!sim.started()) {
        std::fprintf(stderr, "panel-bench: talvex-sim did not start\n");
        return 1;
    }
    SetSnmpAgentPort(sim.port());
    g_strAgentAddress = QStringLiteral("127.0.0.1");
    g_strReadCommunity = QStringLiteral("orchid");
    g_strWriteCommunity = QStringLiteral("saffron");

    std::vector<double> loads;
    for (int i = 0; i < 7; ++i) {
        PanelModel model;
        Site site;
        QElapsedTimer t;
        t.start();
        LoadPanel(file, model, site);
        loads.push_back(ms(t));
    }

    std::vector<double> firsts, cycles;
    size_t ports = 0, polled = 0;
    int cycleRequests = 0;
    const int runs = delay > 0 ? 1 : 5;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        PanelModel model;
        Site site;
        LoadPanel(file, model, site);
        model.setClientSize(site.panelClientSize());
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        if (!walked.wait(60000))
            return 1;
        model.refresh();
        paint(model);
        firsts.push_back(ms(t));
        ports = model.chassisPorts.size();
        polled = 0;
        for (const Module& m : model.pictures) {
            ports += m.ports.size();
            for (const Port& p : m.ports)
                polled += p.current != Enabled;
        }
        for (int c = 0; c < 3; ++c) {
            QElapsedTimer ct;
            ct.start();
            walked.clear();
            const int before = sim.command(QStringLiteral("served")).toInt();
            poller.pollingCycle();
            if (!walked.wait(60000))
                return 1;
            cycleRequests = sim.command(QStringLiteral("served")).toInt() - before;
            paint(model);
            cycles.push_back(ms(ct));
        }
    }
    std::printf("panel: %zu ports on the picture, %zu of them reported linked or disabled\n", ports, polled);
    std::printf("load of the shipped description file: median %.1f ms (of %zu)\n", median(loads), loads.size());
    std::printf("start to the first fully polled picture: median %.1f ms (of %zu)\n", median(firsts), firsts.size());
    std::printf("one polling cycle (refresh, port walk, paint): median %.1f ms (of %zu), %d requests, "
                "answers held %d ms\n",
                median(cycles), cycles.size(), cycleRequests, delay);
    return 0;
}
