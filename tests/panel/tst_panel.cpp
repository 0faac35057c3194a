// The front panel: the description file reader and loader, PanelDib, the model's states,
// drawing and hit tests, and polling against talvex-sim.
#include "app/paneldlg.h"
#include "pages/interfaceinfodlg.h"
#include "panel/paneldib.h"
#include "panel/panelloader.h"
#include "panel/panelpoller.h"
#include "panel/panelview.h"
#include "panel/portconfigdlg.h"
#include "panel/sectionreader.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"
#include "tests/common/columns.h"
#include "tests/common/paneltest.h"
#include "tests/common/peers.h"
#include "tests/common/simsession.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <climits>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The window as the loader sees it: a fixed client area, and where it was placed.
class TestSite : public PanelSite {
public:
    explicit TestSite(QSize client = {700, 140}) : client(client) {}
    void placePanel(int x, int y, int w, int h) override { placed = QRect(x, y, w, h); }
    QSize panelClientSize() const override { return client; }
    QWidget* panelOwner() override { return nullptr; }
    QSize client;
    QRect placed;
};

// A BMP file in memory: header size, bit count, width, height and colours as given. A table
// shorter than the bit count allows is written as the colours used, and the pixels use them
// all.
QByteArray bmp(int bits, int width, int height, int headerSize = 40, int colors = -1) {
    if (colors < 0) colors = bits <= 8 ? 1 << bits : 0;
    const bool fewColors = bits <= 8 && colors > 0 && colors < 1 << bits;
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray b(14 + headerSize + colors * 4 + stride * height, '\0');
    auto* p = reinterpret_cast<uchar*>(b.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<uint32_t>(uint32_t(b.size()), p + 2);
    qToLittleEndian<uint32_t>(uint32_t(14 + headerSize + colors * 4), p + 10);
    qToLittleEndian<uint32_t>(uint32_t(headerSize), p + 14);
    if (headerSize == 40) {
        qToLittleEndian<int32_t>(width, p + 18);
        qToLittleEndian<int32_t>(height, p + 22);
        qToLittleEndian<uint16_t>(1, p + 26);
        qToLittleEndian<uint16_t>(uint16_t(bits), p + 28);
    }
    for (int i = 0; i < colors; ++i)
        qToLittleEndian<uint32_t>(uint32_t(0x00102030 * i) & 0xFFFFFF, p + 54 + 4 * i);
    uchar* rows = p + 14 + headerSize + colors * 4;
    if (!fewColors) {
        for (int i = 0; i < stride * height; ++i)
            rows[i] = uchar(i * 7);
        return b;
    }
    qToLittleEndian<uint32_t>(uint32_t(colors), p + 46);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - bits * (x % (8 / bits) + 1);
            rows[y * stride + x * bits / 8] |= uchar(((x + y) % colors) << shift);
        }
    return b;
}

// The picture as drawn at its natural size.
QImage drawn(const PanelDib& dib) {
    QImage img(dib.width(), dib.height(), QImage::Format_RGB32);
    img.fill(Qt::magenta);
    QPainter p(&img);
    dib.drawAt(p, 0, 0);
    return img;
}

// Releases whoever waits in open() on a FIFO, once a grace time has passed, and counts how
// often that was needed: a loader that opens a FIFO would otherwise hang the test for ever.
class FifoRescuer {
public:
    explicit FifoRescuer(QStringList fifos)
        : m_fifos(std::move(fifos)), m_thread([this] { run(); }) {}
    ~FifoRescuer() {
        m_done = true;
        m_thread.join();
    }
    int released() const { return m_released; }

private:
    void run() {
        for (int waited = 0; waited < 3000 && !m_done; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!m_done) {
            for (const QString& f : m_fifos) {
                const int fd = ::open(QFile::encodeName(f).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++m_released;
                    ::close(fd);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    QStringList m_fifos;
    std::atomic<bool> m_done{false};
    std::atomic<int> m_released{0};
    std::thread m_thread;
};

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// A small chassis: console, lamps, one template with two ports (one id twice), one slot.
const char* const kSmallPanel =
    "Panel.Panel1.background=bg.bmp\n"
    "Panel.Panel1.width=200\n"
    "Panel.Panel1.height=100\n"
    "Panel1.Console.left=10\nPanel1.Console.top=10\nPanel1.Console.width=20\nPanel1.Console.height="
    "10\n"
    "Panel1.Lamp1.Name=PWR\nPanel1.Lamp1.Status=lampon\n"
    "Panel1.Lamp1.left=40\nPanel1.Lamp1.top=5\nPanel1.Lamp1.width=4\nPanel1.Lamp1.height=4\n"
    "Panel1.Port1.PortID=1\nPanel1.Port1.left=60\nPanel1.Port1.top=5\n"
    "Panel1.Port1.width=10\nPanel1.Port1.height=10\n"
    "Module.Module1.ID=empty\nModule.Module1.BmpModule=mod.bmp\n"
    "Module.Module2.ID=card\nModule.Module2.BmpModule=mod.bmp\nModule.Module2.width=999\n"
    "Module2.Port1.PortID=1\nModule2.Port1.Status=PORTENABLE\n"
    "Module2.Port1.BmpLink10=sub\\p10.bmp\nModule2.Port1.BmpEnable=sub\\pen.bmp\n"
    "Module2.Port1.left=10\nModule2.Port1.top=5\nModule2.Port1.width=20\nModule2.Port1.height=10\n"
    "Module2.Port2.PortID=1\nModule2.Port2.Status=portempty\n"
    "Module2.Port2.left=40\nModule2.Port2.top=5\nModule2.Port2.width=20\nModule2.Port2.height=10\n"
    "Module2.Port3.PortID=3\nModule2.Port3.Status=PORTLINK100\n"
    "M2Port1.Lamp1.Name=100M\nM2Port1.Lamp1.left=150\nM2Port1.Lamp1.top=80\n"
    "M2Port1.Lamp1.width=4\nM2Port1.Lamp1.height=4\n"
    "M2Port1.Lamp2.Name=100m\nM2Port1.Lamp2.left=160\nM2Port1.Lamp2.top=80\n"
    "M2Port1.Lamp2.width=4\nM2Port1.Lamp2.height=4\n"
    "Slot.Slot1.left=0\nSlot.Slot1.top=40\nSlot.Slot1.width=100\nSlot.Slot1.height=30\n"
    "Slot.Slot2.left=100\nSlot.Slot2.top=40\nSlot.Slot2.width=100\nSlot.Slot2.height=30\n";

QRgb pixel(const PanelModel& m, QSize size, QPoint at) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    const_cast<PanelModel&>(m).setClientSize(size);
    m.paint(p);
    p.end();
    return img.pixel(at) | 0xFF000000;
}

// The ifIndex of the interface whose ifDescr is descr, as snmpwalk reads the agent; 0 if none.
int interfaceOf(const QString& agent, const QString& descr) {
    const QString walk =
        RunTool("snmpwalk", {"-v2c", "-c", "orchid", "-On", "-Oq", agent, "1.3.6.1.2.1.2.2.1.2"});
    for (const QString& line : walk.split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0 && line.mid(blank + 1).remove('"') == descr)
            return line.left(blank).section('.', -1).toInt();
    }
    return 0;
}

} // namespace

class TestPanel : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_asked;
    QStringList m_modal;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The small chassis with its pictures, loaded at its reference size 200 x 100.
    void loadSmall(PanelModel& model, const QByteArray& extra = {}) {
        QDir().mkpath(path("sub"));
        writeFile(path("bg.bmp"), bmp(24, 200, 100));
        writeFile(path("mod.bmp"), bmp(8, 100, 30));
        writeFile(path("sub/p10.bmp"), bmp(4, 20, 10));
        writeFile(path("sub/pen.bmp"), bmp(24, 20, 10));
        writeFile(path("small.properties"), QByteArray(kSmallPanel) + extra);
        TestSite site({200, 100});
        QVERIFY(LoadPanel(path("small.properties"), model, site));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        platform::SetMessageBoxHook([this](QWidget*, const QString& text, bool) {
            m_asked << text;
            return platform::Answer::Cancel;
        });
        platform::SetRunModalHook([this](QDialog* d) {
            m_modal << d->windowTitle();
            return 0;
        });
        UseSimulator();
    }

    void init() {
        m_asked.clear();
        m_modal.clear();
        g_bUserRight = 1;
    }

    void sectionLines() {
        PanelFile f;
        f.parse("panel.Panel1.width=800\n"       // section names ignore case
                "Panel.panel1.width=801\n"       // object names do not
                " Panel.Panel1.height=5\n"       // a leading blank: no section
                "Panel1.Lamp1.Name = PWR \t\r\n" // trailing blanks go, leading ones stay
                "Panel1.Lamp1.Name2=a=b\n"       // further "=" belong to the value
                "Panel1.Lamp1.x.y=dotted\n"      // a property name with a dot
                "Panel1.Lamp2=nodot\nPanel1=none\nno equals sign\n"
                "Panel1.Lamp3.Status=first\nPanel1.Lamp3.Status=second\n");
        const PanelSection panel = f.section("PANEL");
        QCOMPARE(panel.value("Panel1").value("width"), QString("800"));
        QCOMPARE(panel.value("panel1").value("width"), QString("801"));
        QVERIFY(!panel.value("Panel1").contains("height"));
        const PanelSection chassis = f.section("Panel1");
        QCOMPARE(chassis.size(), 2);
        QCOMPARE(chassis.value("Lamp1").value("Name"), QString(" PWR"));
        QCOMPARE(chassis.value("Lamp1").value("Name2"), QString("a=b"));
        QCOMPARE(chassis.value("Lamp1").value("x.y"), QString("dotted"));
        QCOMPARE(chassis.value("Lamp3").value("Status"), QString("second"));
    }

    void longLineIsReadInPieces() {
        // 199 bytes make one piece; the rest of the line is a line of its own.
        const QByteArray first = "Panel1.Lamp1.Name=" + QByteArray(199 - 18, 'x');
        PanelFile f;
        f.parse(first + "Panel1.Lamp2.Name=B\n");
        const PanelSection s = f.section("Panel1");
        QCOMPARE(s.value("Lamp1").value("Name").size(), 199 - 18);
        QCOMPARE(s.value("Lamp2").value("Name"), QString("B"));
        QVERIFY(ReadPanelSection(path("missing.properties"), "Panel").isEmpty());
    }

    // Reading stops after the limit: a file of any size is read in bounded time and memory.
    void readingStopsAtTheLimit() {
        const QByteArray filler(PanelFile::kMaxBytes / 2, '\n');
        writeFile(path("long.properties"), "Panel.Panel1.width=1\n" + filler +
                                               "Panel.Panel1.height=2\n" + filler +
                                               "Panel.Panel1.left=3\n");
        const QMap<QString, QString> panel1 =
            ReadPanelSection(path("long.properties"), "Panel").value("Panel1");
        QCOMPARE(panel1.value("width"), QString("1"));
        QCOMPARE(panel1.value("height"), QString("2"));
        QVERIFY(!panel1.contains("left"));
    }

    void numbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("abc") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("leading blanks") << "  42" << 42;
        QTest::newRow("stops at a letter") << "12px" << 12;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("huge") << "99999999999" << INT_MAX;
    }

    void numbers() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(PanelNumber(text), value);
    }

    void loaderNumberingAndDefaults() {
        PanelModel model;
        // Panel1 holds 4 objects with it: Lamp5 is never looked up.
        loadSmall(model, "Panel1.Lamp5.Name=A\n");
        QCOMPARE(model.refWidth, 200);
        QCOMPARE(int(model.lamps.size()), 1);
        QCOMPARE(model.lamps[0].state, 0);
        QCOMPARE(model.consoleWidth, 20);
        QCOMPARE(int(model.chassisPorts.size()), 1);
        QCOMPARE(model.chassisPorts[0].current, int(Enabled)); // no Status
        QCOMPARE(int(model.templates.size()), 2);
        const Module& card = model.templates[1];
        QCOMPARE(int(card.ports.size()), 3);
        QCOMPARE(card.ports[0].current, int(Enabled));
        QCOMPARE(card.ports[1].current, int(Empty));
        QCOMPARE(card.ports[2].current, int(Link100));
        QCOMPARE(card.ports[2].shown, int(Enabled));
        QCOMPARE(int(card.ports[0].lamps.size()), 2);
        // Backslashes are separators, relative paths start at the file's directory.
        QCOMPARE((*card.ports[0].bitmaps)[Link10], path("sub/p10.bmp"));
        QVERIFY(card.ports[0].picture && card.ports[0].picture->isLoaded());
        QCOMPARE(int(model.slotRects.size()), 2);
        QCOMPARE(int(model.pictures.size()), 2);
        QCOMPARE(model.pictures[1].id, QString("empty"));
        QCOMPARE(model.pictures[1].left, 100);
        QCOMPARE(model.pictures[1].width, 100); // the template's width changes nothing
        QVERIFY(model.pictures[0].ports.empty());
        QCOMPARE(PanelBitmapPath("/d", QString(100, 'a')), QString());
        QCOMPARE(PanelBitmapPath("/d", "/abs\\x.bmp"), QString("/abs/x.bmp"));
    }

    void loaderFailures() {
        TestSite site;
        PanelModel missing;
        QVERIFY(!LoadPanel(path("nothing.properties"), missing, site));
        QCOMPARE(m_asked, QStringList{"Can't open the panel file : " + path("nothing.properties")});
        QVERIFY(missing.background.isLoaded()); // the built-in background
        QVERIFY(missing.pictures.empty());

        m_asked.clear();
        writeFile(path("nobg.properties"), "Panel.Panel1.width=300\nSlot.Slot1.width=10\n");
        PanelModel noBackground;
        QVERIFY(!LoadPanel(path("nobg.properties"), noBackground, site));
        QVERIFY(m_asked.isEmpty());
        QVERIFY(noBackground.background.isLoaded());
        QVERIFY(noBackground.slotRects.empty());

        // Without Panel1 the window stays where it is and nothing is loaded as background.
        writeFile(path("nopanel.properties"), "Slot.Slot1.width=10\nSlot.Slot1.height=10\n");
        PanelModel noPanel;
        QVERIFY(LoadPanel(path("nopanel.properties"), noPanel, site));
        QVERIFY(site.placed.isNull());
        QVERIFY(!noPanel.background.isLoaded());
        QCOMPARE(int(noPanel.pictures.size()), 1);
        QVERIFY(!noPanel.pictures[0].picture); // no template 1

        // A width of abc is 0, and a window of no width takes the default.
        writeFile(path("abc.properties"),
                  "Panel.Panel1.background=bg.bmp\nPanel.Panel1.width=abc\n");
        PanelModel abc;
        QVERIFY(LoadPanel(path("abc.properties"), abc, site));
        QCOMPARE(site.placed.size(), QSize(700, 140));
    }

    // The window's size from the file, in the real window: at most what PanelDib takes as a
    // picture, the default for 0 or less.
    void windowSize_data() {
        QTest::addColumn<QByteArray>("width");
        QTest::addColumn<QByteArray>("height");
        QTest::addColumn<QSize>("panel");
        const QSize largest(PanelDib::kMaxSide, PanelDib::maxHeight(PanelDib::kMaxSide, 24));
        QTest::newRow("as given") << QByteArray("300") << QByteArray("120") << QSize(300, 120);
        QTest::newRow("40000 square") << QByteArray("40000") << QByteArray("40000") << largest;
        QTest::newRow("int limit")
            << QByteArray("2147483647") << QByteArray("2147483647") << largest;
        QTest::newRow("narrow and tall")
            << QByteArray("200") << QByteArray("100000") << QSize(200, PanelDib::kMaxSide);
        QTest::newRow("negative") << QByteArray("-50") << QByteArray("-50") << QSize(700, 140);
        QTest::newRow("int minimum")
            << QByteArray("-2147483648") << QByteArray("90") << QSize(700, 90);
        QTest::newRow("zero and text") << QByteArray("0") << QByteArray("abc") << QSize(700, 140);
    }

    void windowSize() {
        QFETCH(QByteArray, width);
        QFETCH(QByteArray, height);
        QFETCH(QSize, panel);
        QTemporaryDir dir;
        writeFile(dir.filePath("bg.bmp"), bmp(24, 64, 32));
        writeFile(dir.filePath("Talvex.properties"),
                  "Panel.Panel1.background=bg.bmp\nPanel.Panel1.width=" + width +
                      "\nPanel.Panel1.height=" + height + "\n");
        qputenv("TALVEX_SYSTEM_DIR", dir.path().toUtf8());
        SetSnmpAgentPort(FreeUdpPort());
        {
            CPanelDlg dlg;
            QVERIFY(dlg.panelLoaded());
            QCOMPARE(dlg.panelClientSize(), panel);
            QCOMPARE(QSize(dlg.panelModel().refWidth, dlg.panelModel().refHeight), panel);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            QCOMPARE(dlg.panelView()->size(), panel);
            const QImage shot = dlg.panelView()->grab().toImage();
            QCOMPARE(shot.size(), panel);
            QCOMPARE(shot.pixel(panel.width() - 1, panel.height() - 1) | 0xFF000000,
                     drawn(dlg.panelModel().background).pixel(63, 31));
        }
        qunsetenv("TALVEX_SYSTEM_DIR");
    }

    // Coordinates anywhere in int. The sanitizer build ends the test at any overflow; the sums
    // the model keeps stop at the limit.
    void coordinatesAtTheLimits() {
        const QByteArray max = QByteArray::number(INT_MAX), min = QByteArray::number(INT_MIN);
        QByteArray file =
            "Panel.Panel1.background=bg.bmp\nPanel.Panel1.width=200\nPanel.Panel1.height=100\n";
        auto rect = [&](const QByteArray& object, const QByteArray& l, const QByteArray& t,
                        const QByteArray& w, const QByteArray& h) {
            file += object + ".left=" + l + "\n" + object + ".top=" + t + "\n" + object +
                    ".width=" + w + "\n" + object + ".height=" + h + "\n";
        };
        rect("Panel1.Console", max, max, max, max);
        file += "Panel1.Lamp1.Name=A\nPanel1.Lamp1.Status=LAMPON\nPanel1.Lamp2.Name=B\n";
        rect("Panel1.Lamp1", max, min, max, min);
        rect("Panel1.Lamp2", min, max, min, max);
        file += "Panel1.Port1.PortID=1\nPanel1.Port1.BmpEnable=p.bmp\nPanel1.Port2.PortID="
                "2\nPanel1.Port2.BmpEnable=p.bmp\n";
        rect("Panel1.Port1", max, max, max, max);
        rect("Panel1.Port2", min, min, max, max);
        file += "Port1.Lamp1.Name=100M\n";
        rect("Port1.Lamp1", max, max, max, max);
        file += "Module.Module1.BmpModule=p.bmp\nModule.Module2.BmpModule=p.bmp\n";
        file += "Module2.Port1.PortID=1\nModule2.Port1.Status=PORTLINK10\nModule2.Port1.BmpLink10="
                "p.bmp\n"
                "Module2.Port2.PortID=1\nModule2.Port2.BmpLink10=p.bmp\n";
        rect("Module2.Port1", max, max, max, max);
        rect("Module2.Port2", min, min, min, min);
        file += "M2Port1.Lamp1.Name=100M\n";
        rect("M2Port1.Lamp1", min, min, max, max);
        rect("Slot.Slot1", max, max, max, max);
        rect("Slot.Slot2", min, min, min, min);
        rect("Slot.Slot3", min, min, max, max);
        rect("Slot.Slot4", "2147483600", "-2147483600", "100", "-100");
        writeFile(path("bg.bmp"), bmp(24, 20, 10));
        writeFile(path("p.bmp"), bmp(8, 8, 4));
        writeFile(path("limits.properties"), file);

        PanelModel model;
        TestSite site({200, 100});
        QVERIFY(LoadPanel(path("limits.properties"), model, site));
        QCOMPARE(int(model.slotRects.size()), 4);
        QCOMPARE(model.slotRects[0].right, INT_MAX);
        QCOMPARE(model.slotRects[1].bottom, INT_MIN);
        QCOMPARE(model.slotRects[2].right, -1);
        QCOMPARE(model.pictures[2].width, INT_MAX);
        QCOMPARE(model.pictures[3].width, INT_MAX - 2147483600);
        QCOMPARE(model.pictures[3].height, INT_MIN + 2147483600);

        QList<QRect> repainted;
        model.invalidate = [&](const QRect& r) { repainted << r; };
        for (int k = 0; k < 4; ++k) {
            model.replaceModule(k, 2);
            model.setPortState(k, 1, Link100);
        }
        model.refresh();
        model.pollingFailureReset();
        model.refresh();
        QVERIFY(!repainted.isEmpty());
        for (QSize size : {QSize(200, 100), QSize(401, 37), QSize(1, 1)}) {
            QImage img(size, QImage::Format_RGB32);
            QPainter p(&img);
            model.setClientSize(size);
            model.paint(p);
            for (QPoint pt : {QPoint(0, 0), QPoint(100, 50), QPoint(INT_MAX, INT_MAX),
                              QPoint(INT_MIN, INT_MIN), QPoint(INT_MAX, INT_MIN)})
                model.hitTest(pt);
        }
        // The card in slot 3 reaches from INT_MIN to -1, its first port INT_MAX beyond: from
        // (-1, -1) over the whole window.
        model.setClientSize({200, 100});
        QCOMPARE(model.hitTest({100, 50}), PanelModel::Hit::ModulePort);
        QCOMPARE(model.hitTest({1, 1}), PanelModel::Hit::None); // its 2-pixel margin
    }

    // Only regular files are opened: a FIFO named as the file or as a picture would block the
    // window's thread in open() for ever.
    void fifosAreNotOpened() {
        const QStringList fifos{path("fifo.bmp"), path("fifo.properties")};
        for (const QString& f : fifos) {
            QFile::remove(f);
            QCOMPARE(::mkfifo(QFile::encodeName(f).constData(), 0600), 0);
        }
        writeFile(path("names-fifo.properties"),
                  "Panel.Panel1.background=fifo.bmp\n"
                  "Panel1.Port1.PortID=1\nPanel1.Port1.BmpEnable=fifo.bmp\n"
                  "Module.Module1.BmpModule=fifo.bmp\n"
                  "Module1.Port1.PortID=1\nModule1.Port1.BmpEnable=fifo.bmp\n"
                  "Slot.Slot1.width=10\nSlot.Slot1.height=10\n");
        FifoRescuer rescuer(fifos);
        TestSite site;
        PanelModel model;
        QVERIFY(LoadPanel(path("names-fifo.properties"), model, site));
        QVERIFY(!model.background.isLoaded());
        QVERIFY(!model.chassisPorts[0].picture);
        QVERIFY(!model.pictures[0].picture);
        PanelDib dib;
        QVERIFY(!dib.loadFile(path("fifo.bmp")));
        QVERIFY(!dib.loadBmpFile(path("fifo.bmp")));
        PanelModel fromFifo;
        QVERIFY(!LoadPanel(path("fifo.properties"), fromFifo, site));
        QCOMPARE(m_asked, QStringList{"Can't open the panel file : " + path("fifo.properties")});
        QCOMPARE(rescuer.released(), 0);
    }

    // Every port and module naming one file, by any path, holds one decoded picture; a file
    // replaced on disk shows at the next state change.
    void picturesAreShared() {
        QDir().mkpath(path("sub"));
        writeFile(path("shared.bmp"), bmp(24, 300, 200));
        writeFile(path("bg.bmp"), bmp(24, 20, 10));
        QByteArray file =
            "Panel.Panel1.background=bg.bmp\n"
            "Module.Module1.BmpModule=shared.bmp\nModule.Module2.BmpModule=.\\shared.bmp\n"
            "Module2.Port1.PortID=1\nModule2.Port1.BmpEnable=sub/../shared.bmp\n"
            "Slot.Slot1.width=10\nSlot.Slot2.width=10\n";
        for (int n = 1; n <= 60; ++n)
            file += QStringLiteral("Panel1.Port%1.PortID=%1\nPanel1.Port%1.BmpEnable=shared.bmp\n")
                        .arg(n)
                        .toUtf8();
        writeFile(path("shared.properties"), file);
        PanelModel model;
        TestSite site;
        QVERIFY(LoadPanel(path("shared.properties"), model, site));
        model.replaceModule(1, 2);
        const PanelDib* one = model.chassisPorts[0].picture.get();
        QVERIFY(one && one->width() == 300);
        for (const Port& p : model.chassisPorts)
            QCOMPARE(p.picture.get(), one);
        for (const Module& m : model.templates)
            QCOMPARE(m.picture.get(), one);
        QCOMPARE(model.pictures[0].picture.get(), one);
        QCOMPARE(model.pictures[1].picture.get(), one);
        QCOMPARE(model.pictures[1].ports[0].picture.get(), one);
        QCOMPARE(model.store.bytes(), qint64(one->rows().size()));

        writeFile(path("shared.bmp"), bmp(24, 30, 20));
        model.chassisPorts[0].current = Disabled; // no picture for it: the one it has stays
        QVERIFY(!model.applyPortState(model.chassisPorts[0]));
        QCOMPARE(model.chassisPorts[0].picture.get(), one);
        model.chassisPorts[0].current = Enabled;
        QVERIFY(model.applyPortState(model.chassisPorts[0]));
        QCOMPARE(model.chassisPorts[0].picture->width(), 30);
        QCOMPARE(model.chassisPorts[1].picture.get(), one); // until its own state is applied
    }

    // Decoded pictures stop at the store's budget, so that a file naming many large pictures
    // cannot take all memory; what no object holds any more makes room. A refused file is tried
    // again once it changes.
    void pictureBudget() {
        for (int i = 0; i < 3; ++i)
            writeFile(path(QStringLiteral("budget%1.bmp").arg(i)),
                      bmp(8, 100, 100)); // 10000 bytes of rows
        PictureStore store(25000);
        Picture a = store.load(path("budget0.bmp"));
        Picture b = store.load(path("budget1.bmp"));
        QVERIFY(a && b);
        QVERIFY(!store.load(path("budget2.bmp")));
        QCOMPARE(store.bytes(), 20000);
        b.reset();
        QVERIFY(!store.load(path("budget2.bmp")));
        writeFile(path("budget2.bmp"), bmp(8, 100, 99));
        QVERIFY(store.load(path("budget2.bmp")));
        QCOMPARE(store.bytes(), 10000 + 9900);
        QCOMPARE(store.load(path("budget0.bmp")), a);
    }

    void dibReading() {
        PanelDib dib;
        QByteArray four = bmp(4, 5, 3);
        QBuffer b(&four);
        b.open(QIODevice::ReadOnly);
        QVERIFY(dib.readBmp(b));
        QCOMPARE(dib.bitCount(), 4);
        QCOMPARE(dib.palette().size(), 16);
        QVERIFY(dib.rowsFromBmpFile());

        // Through the image loader a 4-bit picture keeps its 4 bits and 16 colours.
        writeFile(path("four.bmp"), four);
        PanelDib loaded;
        QVERIFY(loaded.loadFile(path("four.bmp")));
        QCOMPARE(loaded.bitCount(), 4);
        QCOMPARE(loaded.palette().size(), 16);
        QVERIFY(!loaded.rowsFromBmpFile());

        writeFile(path("rgb.bmp"), bmp(24, 7, 2));
        QVERIFY(loaded.loadFile(path("rgb.bmp")));
        QCOMPARE(loaded.bitCount(), 24);
        QVERIFY(loaded.palette().isEmpty());
        // A missing file keeps the picture.
        QVERIFY(!loaded.loadFile(path("absent.bmp")));
        QVERIFY(loaded.isLoaded());
        QCOMPARE(loaded.width(), 7);
    }

    // The file's own bit count, whatever number of colours the picture uses.
    void fileBitCountKept_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("colors");
        QTest::newRow("8 bits, 16 colours") << 8 << 16;
        QTest::newRow("8 bits, 2 colours") << 8 << 2;
        QTest::newRow("8 bits, 256 colours") << 8 << 256;
        QTest::newRow("4 bits, 2 colours") << 4 << 2;
        QTest::newRow("4 bits, 16 colours") << 4 << 16;
        QTest::newRow("1 bit") << 1 << 2;
        QTest::newRow("24 bits") << 24 << 0;
    }

    void fileBitCountKept() {
        QFETCH(int, bits);
        QFETCH(int, colors);
        writeFile(path("bits.bmp"), bmp(bits, 9, 5, 40, colors));
        PanelDib dib;
        QVERIFY(dib.loadFile(path("bits.bmp")));
        QCOMPARE(dib.bitCount(), bits);
        QCOMPARE(int(dib.palette().size()), bits <= 8 ? 1 << bits : 0);
        QCOMPARE(dib.header().sizeImage, uint32_t(PanelDib::rowBytes(9, bits) * 5));
        // The pixels are those Qt's reader sees in the file.
        QCOMPARE(drawn(dib), QImage(path("bits.bmp")).convertToFormat(QImage::Format_RGB32));
    }

    void dibRefusals_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error");
        QByteArray notBm = bmp(8, 4, 4);
        notBm[0] = 'X';
        QTest::newRow("not BM") << notBm << "Error:Unexpected file type, not a DIB\n";
        QTest::newRow("core header")
            << bmp(8, 4, 4, 12, 0) << "Error:OS2 PM BMP Format not supported\n";
        QTest::newRow("absurd width")
            << bmp(8, 4, 4).replace(18, 4, QByteArray("\xff\xff\xff\x7f", 4))
            << "could not allocate data storage\n";
        QTest::newRow("rows missing") << bmp(24, 40, 40).left(200) << "Error:BMP file ends early\n";
        QTest::newRow("empty") << QByteArray() << "Error:Unexpected file type, not a DIB\n";
    }

    void dibRefusals() {
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        PanelDib dib;
        QBuffer b(&data);
        b.open(QIODevice::ReadOnly);
        QVERIFY(!dib.readBmp(b));
        QCOMPARE(dib.lastError(), error);
        QVERIFY(!dib.isLoaded());
    }

    void dibWriteReadsBack() {
        for (int bits : {1, 4, 8, 24}) {
            PanelDib dib;
            QByteArray src = bmp(bits, 9, 5);
            QBuffer in(&src);
            in.open(QIODevice::ReadOnly);
            QVERIFY(dib.readBmp(in));
            QVERIFY(dib.saveBmpFile(path("copy.bmp")));
            PanelDib back;
            QVERIFY(back.loadBmpFile(path("copy.bmp")));
            QCOMPARE(back.rows(), dib.rows());
            QCOMPARE(back.colorTable(), dib.colorTable());
            // Qt's reader sees the same picture.
            QCOMPARE(QImage(path("copy.bmp")).size(), QSize(9, 5));
        }
    }

    void portStates() {
        PanelModel model;
        loadSmall(model);
        model.replaceModule(0, 2);
        Module& card = model.pictures[0];
        QCOMPARE(card.id, QString("2"));
        QCOMPARE(int(card.ports.size()), 3);
        // Port id 1 is carried twice; the Empty one keeps its state, and so stops the search.
        model.setPortState(0, 1, Link10);
        QCOMPARE(card.ports[0].current, int(Link10));
        QCOMPARE(card.ports[1].current, int(Empty));
        QCOMPARE(card.ports[0].lamps[0].state, 1); // "100M" dark below 1 Gbit/s
        QCOMPARE(card.ports[0].lamps[1].state, 0); // "100m" is another name
        model.setPortState(0, 3, Disabled);
        model.setPortState(0, 7, Disabled); // no such port: nothing
        QCOMPARE(card.ports[2].current, int(Disabled));
        // Positions without a slot, and unknown templates, are ignored.
        model.replaceModule(5, 2);
        model.replaceModule(1, 99);
        model.setPortState(9, 1, Disabled);
        QCOMPARE(model.pictures[1].id, QString("empty"));

        QList<QRect> repainted;
        model.invalidate = [&](const QRect& r) { repainted << r; };
        model.setClientSize({200, 100});
        model.refresh();
        QVERIFY(repainted.contains(QRect(10, 45, 20, 10))); // the port inside slot 0
        QCOMPARE(card.ports[0].shown, int(Link10));
        repainted.clear();
        model.refresh();
        QVERIFY(repainted.isEmpty()); // nothing changed since

        model.pollingFailureReset();
        QCOMPARE(model.lamps[0].state, 1);
        QCOMPARE(card.ports[0].current, int(Enabled));
        QCOMPARE(card.ports[1].current, int(Enabled)); // the reset moves even Empty ports
        QCOMPARE(card.ports[0].lamps[1].state, 1);
        model.setPortState(0, 3, Link100);
        QCOMPARE(model.lamps[0].state, 1); // stand-alone lamps stay dark
    }

    void drawingAndHitsScale() {
        PanelModel model;
        loadSmall(model);
        model.replaceModule(0, 2);
        model.setPortState(0, 1, Link100);
        // The stand-alone lamp at (40, 5, 4, 4), lit.
        QCOMPARE(pixel(model, {200, 100}, {41, 6}), kLampLit);
        QCOMPARE(pixel(model, {400, 100}, {82, 6}), kLampLit);
        QVERIFY(pixel(model, {400, 100}, {90, 6}) != kLampLit);
        // The template's lamp is drawn where the file puts it, whatever the slot.
        model.replaceModule(1, 2);
        model.setPortState(1, 1, Disabled);
        QCOMPARE(pixel(model, {200, 100}, {151, 81}), kLampDark); // slot 1's copy, drawn last

        // Module port at (0 + 10, 40 + 5, 20, 10): two pixels inside miss, three hit.
        model.setClientSize({200, 100});
        QCOMPARE(model.hitTest({12, 50}), PanelModel::Hit::None);
        QCOMPARE(model.hitTest({13, 50}), PanelModel::Hit::ModulePort);
        QCOMPARE(model.hitTest({27, 50}), PanelModel::Hit::ModulePort);
        QCOMPARE(model.hitTest({28, 50}), PanelModel::Hit::None);
        model.setClientSize({400, 100});
        QCOMPARE(model.hitTest({22, 50}), PanelModel::Hit::None);
        QCOMPARE(model.hitTest({23, 50}), PanelModel::Hit::ModulePort);
        // Console (10, 10, 20, 10): its margin is applied before scaling.
        QCOMPARE(model.hitTest({24, 15}), PanelModel::Hit::None);
        QCOMPARE(model.hitTest({25, 15}), PanelModel::Hit::Console);
        QCOMPARE(model.hitTest({125, 10}), PanelModel::Hit::ChassisPort);

        // No reference size: nothing drawn, nothing hit.
        model.refWidth = 0;
        QCOMPARE(model.hitTest({25, 15}), PanelModel::Hit::None);
        QCOMPARE(pixel(model, {200, 100}, {41, 6}), qRgb(0, 0, 0));
    }

    void rowParsing_data() {
        QTest::addColumn<QString>("descr");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("admin");
        QTest::addColumn<QString>("oper");
        QTest::addColumn<QList<int>>("expected"); // valid, slot, port, state
        QTest::newRow("one word") << "FastEthernet 3/12"
                                  << "100000000"
                                  << "1"
                                  << "1" << QList<int>{1, 3, 12, Link10};
        QTest::newRow("two words") << "Fast Ethernet 3/12"
                                   << "100000000"
                                   << "1"
                                   << "1" << QList<int>{1, 0, 12, Link10};
        QTest::newRow("1G") << "Gi 2/1"
                            << "1000000000"
                            << "1"
                            << "1" << QList<int>{1, 2, 1, Link100};
        QTest::newRow("10G unsigned") << "Te 4/1"
                                      << "4294967295"
                                      << "1"
                                      << "1" << QList<int>{1, 4, 1, Link100};
        QTest::newRow("no link") << "Fa 1/1"
                                 << "100000000"
                                 << "1"
                                 << "2" << QList<int>{1, 1, 1, Enabled};
        QTest::newRow("admin down") << "Fa 1/1"
                                    << "100000000"
                                    << "2"
                                    << "1" << QList<int>{1, 1, 1, Disabled};
        QTest::newRow("testing") << "Fa 1/1"
                                 << "0"
                                 << "3"
                                 << "3" << QList<int>{1, 1, 1, Enabled};
        QTest::newRow("no slash") << "Management port A"
                                  << "0"
                                  << "1"
                                  << "1" << QList<int>{0, 0, 0, Enabled};
        // Cells the agent left out: the port keeps its state, unless what is there decides it.
        QTest::newRow("no admin") << "Fa 1/1"
                                  << "100000000"
                                  << ""
                                  << "1" << QList<int>{0, 0, 0, Enabled};
        QTest::newRow("no oper") << "Fa 1/1"
                                 << "100000000"
                                 << "1"
                                 << "" << QList<int>{0, 0, 0, Enabled};
        QTest::newRow("no speed, link") << "Fa 1/1"
                                        << ""
                                        << "1"
                                        << "1" << QList<int>{0, 0, 0, Enabled};
        QTest::newRow("no speed, no link") << "Fa 1/1"
                                           << ""
                                           << "1"
                                           << "2" << QList<int>{1, 1, 1, Enabled};
        QTest::newRow("no speed, admin down") << "Fa 1/1"
                                              << ""
                                              << "2"
                                              << "2" << QList<int>{1, 1, 1, Disabled};
    }

    void rowParsing() {
        QFETCH(QString, descr);
        QFETCH(QString, speed);
        QFETCH(QString, admin);
        QFETCH(QString, oper);
        QFETCH(QList<int>, expected);
        const PortRow r = ParsePortRow(descr, speed, admin, oper);
        QCOMPARE((QList<int>{r.valid, r.slotNumber, r.portNumber, r.state}), expected);
    }

    void slotMaps() {
        QCOMPARE(ModuleRowSlot(InstanceIndex(".1.0")), 4);
        QCOMPARE(ModuleRowSlot(InstanceIndex(".1.9")), 5);
        QCOMPARE(ModuleRowSlot(InstanceIndex(".1.5")), 6);
        QCOMPARE(ModuleRowSlot(InstanceIndex(".1.12")), 0);
        QCOMPARE(InstanceIndex(""), -1);
        QCOMPARE(InterfaceSlot(5), 6);
        QCOMPARE(InterfaceSlot(9), 0);
        QCOMPARE(PowerSlot(2), 11);
        QCOMPARE(PowerSlot(3), 0);
        QCOMPARE(ModuleTemplate("LC-X4"), 10);
        QCOMPARE(ModuleTemplate("lc-x4"), 0);
    }

    // The shipped chassis against the simulated one.
    void pollingAgainstSim() {
        PanelSim sim;
        QVERIFY(sim.started());
        SetSnmpTimeout(1000);
        // ifIndex 3 is FastEthernet 1/1, 4 is 1/2, 5 (1/3) starts administratively down, 51 is
        // GigabitEthernet 2/1.
        QCOMPARE(sim.command("link 3 up"), QString("ok"));
        QCOMPARE(sim.command("link 4 down"), QString("ok"));
        QCOMPARE(sim.command("link 51 up"), QString("ok"));
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        QCOMPARE(int(model.pictures.size()), 12);
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        QVERIFY(walked.wait(10000));
        QStringList ids;
        for (const Module& m : model.pictures)
            ids << m.id;
        QCOMPARE(ids, (QStringList{"4", "7", "8", "10", "2", "3", "empty", "6", "9", "empty", "11",
                                   "12"}));
        const Module& a48 = model.pictures[0];
        QCOMPARE(a48.ports[0].current, int(Link10));
        QCOMPARE(a48.ports[1].current, int(Enabled));
        QCOMPARE(a48.ports[2].current, int(Disabled));
        QCOMPARE(model.pictures[1].ports[0].current, int(Link100));
        QCOMPARE(a48.ports[0].shown, int(Enabled)); // repainted by the next cycle
        QVERIFY(!poller.portChannel().busy());

        poller.pollingCycle();
        QCOMPARE(model.pictures[0].ports[0].shown, int(Link10));
        QVERIFY(walked.wait(10000));

        // A failed walk: every port Enabled, lamps dark; the next walk that answers lights the
        // chassis lamps again.
        QCOMPARE(sim.command("drop 1"), QString("ok"));
        poller.pollingCycle();
        QVERIFY(walked.wait(5000));
        QCOMPARE(model.pictures[0].ports[0].current, int(Enabled));
        QCOMPARE(model.lamps[0].state, 1);
        QCOMPARE(sim.command("drop 0"), QString("ok"));
        poller.pollingCycle();
        QVERIFY(walked.wait(10000));
        QCOMPARE(model.pictures[0].ports[0].current, int(Link10));
        QCOMPARE(model.lamps[0].state, 0);

        // Panel Refresh rebuilds the pictures from their templates: what the screen showed
        // starts over from the template, what the device reports comes back with the port walk.
        model.refresh();
        QCOMPARE(model.pictures[0].ports[0].shown, int(Link10));
        const qsizetype walks = walked.count();
        poller.panelRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(walked.count() > walks,
                                 10000); // the port walk after the module walk
        QCOMPARE(model.pictures[0].ports[0].shown, int(Enabled));
        QCOMPARE(model.pictures[0].ports[0].current, int(Link10));
        QCOMPARE(model.pictures[0].ports[2].current, int(Disabled));
    }

    // Holes in the port walk's state column: each port the walk reads keeps to its own row,
    // and a port whose row lacks its state keeps what it showed (here Enabled, after a failed
    // walk) rather than taking another port's.
    void portWalkOverHoles_data() {
        QTest::addColumn<int>("hole");
        QTest::newRow("missing column") << int(Hole::Column);
        QTest::newRow("missing cell in the middle") << int(Hole::Middle);
        QTest::newRow("missing first and last cell") << int(Hole::FirstAndLast);
        QTest::newRow("column ends early") << int(Hole::EndsEarly);
    }

    void portWalkOverHoles() {
        QFETCH(int, hole);
        PanelSim sim;
        QVERIFY(sim.started());
        SetSnmpTimeout(1000);
        const QString operColumn = QStringLiteral("1.3.6.1.2.1.2.2.1.8");
        const QList<ColumnCell> descrs =
            SnmpwalkColumn(sim.port(), "orchid", "1.3.6.1.2.1.2.2.1.2");
        QVERIFY(descrs.size() > 10);
        // Links alternate, so that a state taken from the next row shows.
        for (qsizetype i = 0; i < descrs.size(); ++i)
            if (descrs[i].value.contains(QLatin1Char('/')))
                QCOMPARE(sim.command(QStringLiteral("link %1 %2")
                                         .arg(descrs[i].instance.mid(1), i % 2 ? "up" : "down")),
                         QString("ok"));
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        QVERIFY(walked.wait(10000));
        auto states = [&] {
            QList<int> out;
            for (const Module& m : model.pictures)
                for (const Port& p : m.ports)
                    out << p.current;
            return out;
        };
        const QList<int> before = states();
        QVERIFY(before.count(int(Link10)) + before.count(int(Link100)) > 5);

        QCOMPARE(sim.command("drop 1"), QString("ok"));
        poller.pollingCycle();
        QVERIFY(walked.wait(5000));
        QCOMPARE(sim.command("drop 0"), QString("ok"));
        bool made = false;
        const QList<int> holed = MakeHoles(sim, Hole(hole), operColumn, "orchid", &made);
        QVERIFY(made);
        // The ports of the holed rows show Disabled now, which they keep; every other port the
        // walk reads shows what it did before; a port no row names stays as the failure left it.
        QList<int> expected = states();
        for (qsizetype r = 0; r < descrs.size(); ++r) {
            const PortRow row = ParsePortRow(descrs[r].value, "1000000000", "1", "2");
            const int k = InterfaceSlot(row.slotNumber);
            if (!row.valid || k >= int(model.pictures.size())) continue;
            if (holed.contains(int(r))) model.setPortState(k, row.portNumber, Disabled);
            qsizetype i = 0;
            for (int m = 0; m < k; ++m)
                i += qsizetype(model.pictures[size_t(m)].ports.size());
            for (const Port& p : model.pictures[size_t(k)].ports) {
                if (p.id == QString::number(row.portNumber))
                    expected[i] = holed.contains(int(r)) ? p.current : before[i];
                ++i;
            }
        }
        poller.pollingCycle();
        QVERIFY(walked.wait(10000));
        QCOMPARE(states(), expected);
    }

    // The chassis lamps under the real worker thread: dark while the device does not answer,
    // as the panel file has them once it answers again, by the next cycle or by Panel Refresh.
    void standAloneLampsFollowTheDevice() {
        PanelSim sim;
        QVERIFY(sim.started());
        SetSnmpTimeout(300);
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        auto lampStates = [&] {
            QList<int> states;
            for (const Lamp& l : model.lamps)
                states << l.state;
            return states;
        };
        const QList<int> fromFile{0, 0, 0, 0}; // PWR, SYS, FAN, ALM: LAMPON
        const QList<int> dark{1, 1, 1, 1};
        QCOMPARE(lampStates(), fromFile);
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        {
            // A cycle a second outlasts a walk's giving up on a silent agent (a block, then one
            // row, a time-out each), as the ten-second cycle outlasts two four-second ones.
            CPanelDeviceThread thread(&poller, 100);
            thread.start();
            for (int round = 0; round < 2; ++round) {
                QCOMPARE(sim.command("drop 1"), QString("ok"));
                QTRY_COMPARE_WITH_TIMEOUT(lampStates(), dark, 10000);
                QCOMPARE(sim.command("drop 0"), QString("ok"));
                QTRY_COMPARE_WITH_TIMEOUT(lampStates(), fromFile, 10000);
            }
            thread.stop();
        }
        QCOMPARE(sim.command("drop 1"), QString("ok"));
        poller.pollingCycle();
        QTRY_COMPARE_WITH_TIMEOUT(lampStates(), dark, 5000);
        QCOMPARE(sim.command("drop 0"), QString("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!poller.portChannel().busy(), 5000);
        poller.panelRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(lampStates(), fromFile, 10000);
        SetSnmpTimeout(4000);
    }

    // An agent address that is no address: the window runs, every request fails as one the
    // device does not answer, and the lamps go dark.
    void unusableAgentFailsLikeATimeOut() {
        SetSnmpAgentPort(FreeUdpPort());
        SetSnmpTimeout(300);
        g_strAgentAddress = QStringLiteral("notanaddress");
        const ShippedPanelDir panelDir;
        {
            CPanelDlg dlg;
            QVERIFY(dlg.panelLoaded());
            QSignalSpy walked(dlg.poller(), &PanelPoller::portWalkEnded);
            QVERIFY(walked.wait(5000));
            for (const Lamp& l : dlg.panelModel().lamps)
                QCOMPARE(l.state, 1);
        }
        g_strAgentAddress = QStringLiteral("127.0.0.1");
        SetSnmpTimeout(4000);
    }

    // A click on a port the device reported opens the interface page with that port's row
    // selected and in view, though it lies far down the list.
    void portClickSelectsItsRow() {
        PanelSim sim;
        QVERIFY(sim.started());
        const ShippedPanelDir panelDir;
        CPanelDlg dlg;
        QVERIFY(ShowPanelWalked(dlg));
        const Module* card = nullptr;
        const Port* port = nullptr;
        for (const Module& mod : dlg.panelModel().pictures)
            for (const Port& p : mod.ports)
                if (p.ifIndex > (port ? port->ifIndex : 60)) {
                    card = &mod;
                    port = &p;
                }
        QVERIFY2(port, "no port the device reported beyond interface 60");
        const int ifIndex = port->ifIndex;
        PanelView* view = dlg.panelView();
        const QPoint at = PortCentre(dlg, *card, *port);
        QStringList selected;
        bool inView = false;
        platform::SetRunModalHook([&](QDialog* d) {
            auto* page = qobject_cast<CInterfaceInfoDlg*>(d);
            if (!page) return 0;
            page->show();
            platform::ListView* list = page->list();
            (void)QTest::qWaitFor(
                [&] {
                    return !list->selectedRows().isEmpty() ||
                           (list->rowCount() && !page->channel().busy());
                },
                10000);
            if (const int item = list->currentRow(); item >= 0 && list->isRowSelected(item)) {
                for (int c = 0; c < list->columnCount(); ++c)
                    selected << list->text(item, c);
                // The view scrolls once it has laid the rows out.
                inView = QTest::qWaitFor(
                    [&] {
                        const QRect r = list->rowRect(item);
                        return r.top() >= 0 && r.bottom() < list->viewport()->height();
                    },
                    2000);
            }
            if (const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR"); !dir.isEmpty())
                page->grab().save(dir + "/interface-page-port.png");
            return 0;
        });
        QTest::mouseClick(view, Qt::LeftButton, {}, at);
        platform::SetRunModalHook([this](QDialog* d) {
            m_modal << d->windowTitle();
            return 0;
        });
        QVERIFY2(!selected.isEmpty(), "no row selected");
        QCOMPARE(selected[0], QString::number(ifIndex));
        QVERIFY2(selected[2].endsWith("/" + port->id), qPrintable(selected.join('|')));
        QVERIFY(inView);

        // From the menu the page selects nothing.
        selected.clear();
        platform::SetRunModalHook([&](QDialog* d) {
            auto* page = qobject_cast<CInterfaceInfoDlg*>(d);
            page->show();
            (void)QTest::qWaitFor(
                [&] { return page->list()->rowCount() > 0 && !page->channel().busy(); }, 10000);
            for (int item : page->list()->selectedRows())
                selected << page->list()->text(item, 0);
            return 0;
        });
        QVERIFY(dlg.OnCommand(res::kCmdInterfaceInfo));
        platform::SetRunModalHook([this](QDialog* d) {
            m_modal << d->windowTitle();
            return 0;
        });
        QCOMPARE(selected, QStringList{});
    }

    // An agent that answers the four-column port walk short, or with the instance it was asked
    // for, ends the walk instead of flooding it with requests.
    void portWalkEndsOnAnswersThatGoNowhere() {
        PanelSim sim;
        QVERIFY(sim.started());
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        QVERIFY(walked.wait(10000));
        for (const char* fault : {"truncate 3", "stuck 1"}) {
            QCOMPARE(sim.command(fault), QString("ok"));
            const int before = sim.command("served").toInt();
            poller.pollingCycle();
            QVERIFY2(walked.wait(5000), fault);
            QTest::qWait(300);
            QVERIFY2(sim.command("served").toInt() - before <= 2, fault);
            QCOMPARE(sim.command("faults"), QString("ok"));
        }
    }

    void workerThreadCyclesAndStops() {
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        PanelSim sim;
        QVERIFY(sim.started());
        PanelPoller poller(model);
        QSignalSpy walked(&poller, &PanelPoller::portWalkEnded);
        poller.start();
        {
            CPanelDeviceThread thread(&poller, 20);
            thread.start();
            QTRY_VERIFY_WITH_TIMEOUT(walked.count() >= 2, 10000); // cycles every ten steps
            thread.stop();
            QVERIFY(thread.isFinished());
        }
    }

    void windowClicks() {
        SetSnmpAgentPort(FreeUdpPort());
        const ShippedPanelDir panelDir;
        CPanelDlg dlg;
        QVERIFY(dlg.panelLoaded());
        QCOMPARE(dlg.panelModel().refWidth, dlg.panelClientSize().width());
        dlg.show();
        PanelView* view = dlg.panelView();
        QTRY_VERIFY(view->width() > 0);
        PanelModel& m = dlg.panelModel();
        auto at = [&](int x, int y) {
            return QPoint(int(qint64(x) * view->width() / m.refWidth),
                          int(qint64(y) * view->height() / m.refHeight));
        };
        const QPoint console =
            at(m.consoleLeft + m.consoleWidth / 2, m.consoleTop + m.consoleHeight / 2);
        const Port& chassisPort = m.chassisPorts[0];
        const QPoint port =
            at(chassisPort.left + chassisPort.width / 2, chassisPort.top + chassisPort.height / 2);

        g_bUserRight = 0;
        QTest::mouseClick(view, Qt::LeftButton, {}, console);
        QTest::mouseClick(view, Qt::LeftButton, {}, port);
        QCOMPARE(m_asked, (QStringList{kNoRightText, kNoRightText}));
        g_bUserRight = 1;
        m_asked.clear();
        QTest::mouseClick(view, Qt::LeftButton, {}, console);
        QTest::mouseClick(view, Qt::LeftButton, {}, port);
        QCOMPARE(m_asked, QStringList{"Do you want to TELNET this device!"});

        // A module port opens the interface page.
        m.replaceModule(0, 4);
        const Module& card = m.pictures[0];
        QTest::mouseClick(view, Qt::LeftButton, {},
                          at(card.left + card.ports[0].left + card.ports[0].width / 2,
                             card.top + card.ports[0].top + card.ports[0].height / 2));
        QCOMPARE(m_modal, QStringList{"Interface Information"});
    }

    // A right click on a module port offers its menu; Port Configuration opens the dialog on
    // that port, and its Set writes that interface. Elsewhere the window's own menu comes.
    void portMenuOpensPortConfig() {
        PanelSim sim;
        QVERIFY(sim.started());
        const QString agent = "127.0.0.1:" + QString::number(sim.port());
        const int ifIndex = interfaceOf(agent, "TenGigabit 4/1");
        QVERIFY(ifIndex > 0);
        const ShippedPanelDir panelDir;
        CPanelDlg dlg;
        QVERIFY(ShowPanelWalked(dlg));
        QPoint at;
        for (const Module& mod : dlg.panelModel().pictures)
            for (const Port& p : mod.ports)
                if (p.ifIndex == ifIndex) at = PortCentre(dlg, mod, p);
        QVERIFY2(!at.isNull(), "the panel shows no port for the ten-gigabit interface");

        QString shown, speed, label;
        bool checked = false;
        int selected = 0;
        platform::SetRunModalHook([&](QDialog* d) {
            auto* page = qobject_cast<CPortConfigDlg*>(d);
            if (!page) return 0;
            page->show();
            (void)QTest::qWaitFor(
                [&] {
                    return !page->listChannel().busy() && !page->statusChannel().busy() &&
                           page->selectedInterface();
                },
                10000);
            (void)QTest::qWaitFor([&] { return !page->statusChannel().busy(); }, 5000);
            shown = platform::Item<QComboBox>(page, res::portConfig::kCombo)->currentText();
            label = platform::Item<QLabel>(page, res::portConfig::kPortLabel)->text();
            speed = platform::Item<QLabel>(page, res::portConfig::kSpeed)->text();
            selected = page->selectedInterface();
            checked = platform::Item<QCheckBox>(page, res::portConfig::kEnabled)->isChecked();
            if (const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR"); !dir.isEmpty())
                page->grab().save(dir + "/port-config.png");
            platform::Item<QCheckBox>(page, res::portConfig::kEnabled)->click();
            platform::Item<QPushButton>(page, 3)->click();
            (void)QTest::qWaitFor(
                [&] { return !page->listChannel().busy() && !page->statusChannel().busy(); }, 5000);
            return 0;
        });
        const QString before =
            RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent, "1.3.6.1.2.1.2.2.1.7.97"})
                .trimmed();
        QStringList items = RightClickPanel(dlg, at, QStringLiteral("Port Configuration..."));
        platform::SetRunModalHook([this](QDialog* d) {
            m_modal << d->windowTitle();
            return 0;
        });
        QCOMPARE(items, (QStringList{"Port Configuration...", "Traffic Graph..."}));
        QCOMPARE(shown, QStringLiteral("TenGigabit 4/1"));
        QCOMPARE(label, QStringLiteral("4/1"));
        QCOMPARE(selected, ifIndex);
        QCOMPARE(speed, QStringLiteral("10000M"));
        QVERIFY(checked);
        QCOMPARE(RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent,
                                     QStringLiteral("1.3.6.1.2.1.2.2.1.7.%1").arg(ifIndex)})
                     .trimmed(),
                 QStringLiteral("2"));
        QCOMPARE(
            RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent, "1.3.6.1.2.1.2.2.1.7.97"})
                .trimmed(),
            before);
        QVERIFY(m_asked.isEmpty());

        // Off the ports the window's own menu (About) comes, not the port's.
        items = RightClickPanel(dlg, QPoint(2, 2), QString());
        QVERIFY(!items.contains("Port Configuration..."));
        QCOMPARE(items.size(), 1);
    }

    // Each listed port is read and written at the ifIndex its description came with, as
    // snmpwalk finds it, whatever its place in the list.
    void portConfigurationWritesItsPort_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("speed");
        QTest::newRow("first listed") << "FE 1/1"
                                      << "100M";
        QTest::newRow("fibre") << "GF 3/23"
                               << "1000M";
        QTest::newRow("ten-gigabit, past the fibre card") << "XE 4/1"
                                                          << "10000M";
        QTest::newRow("last card") << "XE 7/2"
                                   << "10000M";
    }

    void portConfigurationWritesItsPort() {
        QFETCH(QString, name);
        QFETCH(QString, speed);
        PanelSim sim({"--static", "--physical-descr"});
        QVERIFY(sim.started());
        const QString agent = "127.0.0.1:" + QString::number(sim.port());
        const int ifIndex = interfaceOf(agent, "Physical port " + name);
        QVERIFY(ifIndex > 0);
        auto admin = [&](int i) {
            return RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent,
                                       QStringLiteral("1.3.6.1.2.1.2.2.1.7.%1").arg(i)})
                .trimmed();
        };
        CPortConfigDlg dlg;
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.listChannel().busy() && !dlg.statusChannel().busy() &&
                                     !dlg.portNames().isEmpty(),
                                 10000);
        auto* combo = platform::Item<QComboBox>(&dlg, res::portConfig::kCombo);
        const int row = combo->findText(name);
        QVERIFY(row >= 0);
        // Its place in the list names another interface, which must stay as it is.
        const int other = row + 1;
        QVERIFY(other != ifIndex);
        const QString otherBefore = admin(other);
        combo->setCurrentIndex(row);
        QTRY_VERIFY(!dlg.statusChannel().busy());
        QCOMPARE(dlg.selectedInterface(), ifIndex);
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kPortLabel)->text(), name.mid(3));
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kSpeed)->text(), speed);
        QCOMPARE(platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->isChecked(),
                 admin(ifIndex) == "1");
        platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)
            ->setChecked(admin(ifIndex) != "1");
        const QString wanted = admin(ifIndex) == "1" ? "2" : "1";
        dlg.OnSet();
        QTRY_COMPARE(admin(ifIndex), wanted);
        QTRY_VERIFY(!dlg.listChannel().busy() && !dlg.statusChannel().busy());
        QCOMPARE(admin(other), otherBefore);
        QVERIFY(m_asked.isEmpty());
    }

    void portConfiguration() {
        PanelSim sim({"--static", "--physical-descr"});
        QVERIFY(sim.started());
        const QString agent = "127.0.0.1:" + QString::number(sim.port());
        const int first = interfaceOf(agent, "Physical port FE 1/1");
        auto adminOfFirst = [&] {
            return RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent,
                                       QStringLiteral("1.3.6.1.2.1.2.2.1.7.%1").arg(first)})
                .trimmed();
        };
        CPortConfigDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral(" Port Configuration"));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.listChannel().busy() && !dlg.statusChannel().busy() &&
                                     !dlg.portNames().isEmpty(),
                                 10000);
        QCOMPARE(dlg.portNames().size(), 48 + 24 + 24 + 4 + 24 + 2);
        QCOMPARE(dlg.portNames()[0], QStringLiteral("FE 1/1"));
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kPortLabel)->text(),
                 QStringLiteral("1/1"));
        QCOMPARE(dlg.selectedInterface(), first);
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kSpeed)->text(),
                 QStringLiteral("100M"));
        const QString oper =
            RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent,
                                QStringLiteral("1.3.6.1.2.1.2.2.1.8.%1").arg(first)})
                .trimmed();
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kLink)->text(),
                 oper == "1" ? QStringLiteral("连通") : QStringLiteral("断开"));
        QVERIFY(platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->isChecked());

        m_asked.clear();
        platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->setChecked(false);
        dlg.OnSet();
        QTRY_COMPARE(adminOfFirst(), QStringLiteral("2"));
        QTRY_VERIFY(!dlg.listChannel().busy());
        QVERIFY(m_asked.isEmpty()); // an accepted set says nothing
        QTRY_VERIFY(!dlg.statusChannel().busy());
        QVERIFY(!platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->isChecked());
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kLink)->text(),
                 QStringLiteral("断开"));

        // The first port of the ten-gigabit card: ifSpeed stops at 4294967295, ifHighSpeed
        // says 10000 Mbit/s.
        auto* combo = platform::Item<QComboBox>(&dlg, res::portConfig::kCombo);
        combo->setCurrentIndex(combo->findText(QStringLiteral("XE 4/1")));
        QTRY_VERIFY(!dlg.statusChannel().busy());
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kSpeed)->text(),
                 QStringLiteral("10000M"));
        // Without ifXTable the three other values still show, the speed as ifSpeed has it.
        QCOMPARE(sim.command("delbelow 1.3.6.1.2.1.31"), QString("ok"));
        dlg.OnRefresh();
        QTRY_VERIFY(!dlg.statusChannel().busy());
        QCOMPARE(platform::Item<QLabel>(&dlg, res::portConfig::kSpeed)->text(),
                 QStringLiteral("4294M"));
        QVERIFY(!platform::Item<QLabel>(&dlg, res::portConfig::kLink)->text().isEmpty());

        // A set the device refuses is told.
        sim.command("error 5");
        dlg.OnSet();
        QTRY_VERIFY(!dlg.listChannel().busy());
        QCOMPARE(m_asked, QStringList{QStringLiteral("The device refused the change of "
                                                     "swPortCtrlAdminState.%1: genErr")
                                          .arg(dlg.selectedInterface())});
        sim.command("error 0");

        // A failed get empties the texts and the box.
        sim.command("drop 1");
        dlg.OnRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(
            platform::Item<QLabel>(&dlg, res::portConfig::kSpeed)->text().isEmpty(), 5000);
        QVERIFY(!platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->isChecked());
        sim.command("drop 0");
        // The port's state never arrived: Set does not write the empty box (it would switch
        // the port off). A click on the box is the operator's own choice, which Set writes.
        auto adminOfShown = [&] {
            const QString agent = "127.0.0.1:" + QString::number(sim.port());
            const QString admin =
                QStringLiteral("1.3.6.1.2.1.2.2.1.7.%1").arg(dlg.selectedInterface());
            return RunTool("snmpget", {"-v2c", "-c", "orchid", "-Oqv", agent, admin}).trimmed();
        };
        QCOMPARE(adminOfShown(), QStringLiteral("1"));
        const int served = sim.command("served").toInt();
        dlg.OnSet();
        QTest::qWait(200);
        QCOMPARE(sim.command("served").toInt(), served);
        QCOMPARE(adminOfShown(), QStringLiteral("1"));
        platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->click();
        platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->click();
        QVERIFY(!platform::Item<QCheckBox>(&dlg, res::portConfig::kEnabled)->isChecked());
        dlg.OnSet();
        QTRY_COMPARE(adminOfShown(), QStringLiteral("2"));
        QTRY_VERIFY(!dlg.statusChannel().busy());

        g_bUserRight = 0;
        CPortConfigDlg readOnly;
        QVERIFY(!platform::Item<QCheckBox>(&readOnly, res::portConfig::kEnabled)->isEnabled());
        QVERIFY(!platform::Item<QPushButton>(&readOnly, 3)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!readOnly.portNames().isEmpty() && !readOnly.listChannel().busy(),
                                 10000);
        const int before = sim.command("served").toInt();
        readOnly.OnSet();
        QCOMPARE(sim.command("served").toInt(), before);
    }

    // The shipped panel in the real window, with the desktop's menu font and with a much larger
    // one: the client area is the size the pictures are drawn for, whatever the menu bar takes,
    // so the background is not stretched and slots, ports and lamps stand where it shows them.
    void shippedPanelRegisters() {
        PanelSim sim;
        QVERIFY(sim.started());
        const ShippedPanelDir panelDir;
        QList<int> menuHeights;
        for (int pixels : {0, 31}) {
            if (pixels)
                qApp->setStyleSheet(QStringLiteral("QMenuBar { font-size: %1px; }").arg(pixels));
            CPanelDlg dlg;
            QVERIFY(dlg.panelLoaded());
            menuHeights << dlg.menuBar()->sizeHint().height();
            const PanelModel& m = dlg.panelModel();
            const QSize art(m.background.width(), m.background.height());
            QCOMPARE(art, QSize(960, 596));
            QCOMPARE(QSize(m.refWidth, m.refHeight), art);
            QSignalSpy walked(dlg.poller(), &PanelPoller::portWalkEnded);
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            QCOMPARE(dlg.panelView()->size(), art);
            // The rack ears, where nothing is drawn over the background, show it row for row.
            const QImage shot =
                dlg.panelView()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage background = drawn(m.background);
            QCOMPARE(shot.copy(0, 0, 24, art.height()), background.copy(0, 0, 24, art.height()));
            QCOMPARE(shot.copy(art.width() - 24, 0, 24, art.height()),
                     background.copy(art.width() - 24, 0, 24, art.height()));
            const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR");
            if (!pixels && !dir.isEmpty()) {
                QVERIFY(walked.wait(10000));
                dlg.panelModel().refresh();
                dlg.grab().save(dir + "/main-window.png");
            }
        }
        qApp->setStyleSheet({});
        QVERIFY2(menuHeights[0] != menuHeights[1], "the larger font did not change the menu bar");
    }

    // The link board's legend "LINK >= 1G" reads whole: its eight glyphs stand apart (an "L"
    // run into the "I" reads as "U"), and none is cut at the board's edges.
    void shippedLegendReadsWhole() {
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        const QImage img = drawn(model.background);
        const QRect board(848, 458, 84, 20); // below the last card type's lamps
        QList<bool> ink;
        for (int x = board.left(); x <= board.right(); ++x) {
            bool any = false;
            for (int y = board.top(); y <= board.bottom(); ++y)
                any = any || qGray(img.pixel(x, y)) > 150;
            ink << any;
        }
        int glyphs = 0;
        for (int i = 0; i < ink.size(); ++i)
            glyphs += ink[i] && (i == 0 || !ink[i - 1]);
        QCOMPARE(glyphs, 8);
        QVERIFY(!ink.first() && !ink.last());
    }

    // Nothing polls the cards' and supplies' own lamps: the shipped pictures show them unlit, so
    // that a device that does not answer shows no green "OK".
    void shippedModulesShowNoLitLamp() {
        PanelModel model;
        TestSite site({960, 596});
        QVERIFY(LoadPanel(ShippedPanelFile(), model, site));
        QCOMPARE(int(model.templates.size()), 12);
        for (const Module& t : model.templates) {
            QVERIFY2(t.picture, qPrintable(t.id));
            const QImage img = drawn(*t.picture);
            int lit = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    lit += c.green() > 160 && c.green() > c.red() + 80 && c.green() > c.blue() + 80;
                }
            QVERIFY2(lit == 0, qPrintable(t.id + ": " + QString::number(lit) + " lit pixels"));
        }
    }

    // An unattended run has nobody to answer a message box: without the panel file it says so
    // on standard error and ends unsuccessfully.
    void snapshotWithoutPanelFile() {
        QTemporaryDir empty;
        QProcess talvex;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TALVEX_AGENT_PORT", QString::number(FreeUdpPort()));
        env.insert("TALVEX_SYSTEM_DIR", empty.path());
        env.insert("TALVEX_SNAPSHOT", path("never.png"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        talvex.setProcessEnvironment(env);
        talvex.start(BuildPath("app/talvex"), {"/Ntest", "/I127.0.0.1"});
        const bool ended = talvex.waitForFinished(20000);
        if (!ended) {
            talvex.kill();
            talvex.waitForFinished();
        }
        QVERIFY(ended);
        QCOMPARE(talvex.exitStatus(), QProcess::NormalExit);
        QCOMPARE(talvex.exitCode(), 1);
        QVERIFY(
            QString::fromLocal8Bit(talvex.readAllStandardError())
                .contains("Can't open the panel file : " + empty.filePath("Talvex.properties")));
        QVERIFY(!QFile::exists(path("never.png")));
    }

    // The whole program against the simulator, as the README's picture is made.
    void snapshot() {
        SimProcess sim;
        QVERIFY(sim.started());
        QProcess talvex;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TALVEX_AGENT_PORT", QString::number(sim.port()));
        env.insert("TALVEX_SNAPSHOT", path("panel.png"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        talvex.setProcessEnvironment(env);
        talvex.start(BuildPath("app/talvex"),
                     {"/Ntest", "/I127.0.0.1", "/Rorchid", "/Wsaffron", "/UTRUE"});
        QVERIFY(talvex.waitForFinished(40000));
        QCOMPARE(talvex.exitCode(), 0);
        QImage shot(path("panel.png"));
        QCOMPARE(shot.size(), QSize(960, 596));

        // A picture that cannot be written ends the run unsuccessfully, and says where.
        env.insert("TALVEX_SNAPSHOT", path("no-such-folder/panel.png"));
        talvex.setProcessEnvironment(env);
        talvex.start(BuildPath("app/talvex"),
                     {"/Ntest", "/I127.0.0.1", "/Rorchid", "/Wsaffron", "/UTRUE"});
        QVERIFY(talvex.waitForFinished(40000));
        QCOMPARE(talvex.exitCode(), 1);
        QVERIFY(talvex.readAllStandardError().contains("could not be written to"));
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
