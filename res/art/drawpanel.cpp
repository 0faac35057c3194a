// Draws the shipped chassis: the background, the module and power pictures, the five state
// pictures of each port kind, and writes the panel description file that lays them out.
#include "res/art/drawpanel.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

// The panel's size, which the file gives as its width and height: the client area the
// coordinates are drawn for. The window adds its menu bar, whatever its height.
constexpr int kWidth = 960;
constexpr int kHeight = 596;

constexpr int kSlotLeft = 32, kSlotTop = 58, kSlotWidth = 808, kSlotHeight = 40, kSlotPitch = 42;
constexpr int kPowerTop = 486, kPowerWidth = 400, kPowerHeight = 96;
constexpr int kBoardLeft = 852, kBoardTop = 58, kBoardWidth = 76;

const QColor kMetal(58, 63, 70);
const QColor kMetalLight(86, 92, 100);
const QColor kMetalDark(34, 37, 42);
const QColor kFace(44, 48, 54);
const QColor kText(214, 218, 224);
const QColor kCage(150, 156, 162);
const QColor kHole(16, 17, 19);
const QColor kGreen(70, 230, 90);
const QColor kAmber(250, 176, 30);
const QColor kRed(220, 50, 40);
const QColor kOff(60, 56, 40);

QString g_dir;
QStringList g_lines;

void line(const QString& key, const QVariant& value) {
    g_lines << key + QLatin1Char('=') + value.toString();
}

void rect(const QString& object, int left, int top, int width, int height) {
    line(object + QStringLiteral(".left"), left);
    line(object + QStringLiteral(".top"), top);
    line(object + QStringLiteral(".width"), width);
    line(object + QStringLiteral(".height"), height);
}

// Pictures go out with 8 bits per pixel and their own palette; they are drawn in flat colours.
void saveBmp(const QImage& img, const QString& name) {
    const QString path = g_dir + QStringLiteral("/bmp/") + name;
    QImage out = img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    if (!out.save(path, "BMP"))
        std::fprintf(stderr, "drawpanel: cannot write %s\n", qPrintable(path));
}

QString bmpRef(const QString& name) {
    return QStringLiteral("bmp\\") + name; // written as files for Windows have them
}

QFont font(int pixels, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void screw(QPainter& p, int cx, int cy) {
    p.setPen(kMetalDark);
    p.setBrush(kCage);
    p.drawEllipse(QPoint(cx, cy), 4, 4);
    p.drawLine(cx - 3, cy, cx + 3, cy);
}

void faceplate(QPainter& p, const QRect& r) {
    p.fillRect(r, kFace);
    p.setPen(kMetalLight);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(kMetalDark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// ---- ports -------------------------------------------------------------------------------

struct PortKind {
    const char* name;
    int width, height;
};
const PortKind kRj45{"rj45", 22, 14};
const PortKind kSfp{"sfp", 24, 12};
const PortKind kXfp{"xfp", 40, 18};

const char* const kStateNames[5] = {"link100", "link10", "disabled", "enable", "empty"};

QImage portPicture(const PortKind& k, int state) {
    QImage img(k.width, k.height, QImage::Format_RGB32);
    img.fill(kFace);
    QPainter p(&img);
    const QRect body(0, 0, k.width, k.height);
    p.fillRect(body, kCage);
    p.setPen(kMetalDark);
    p.drawRect(body.adjusted(0, 0, -1, -1));
    QRect hole = body.adjusted(2, 2, -3, -3);
    if (state == 4) {
        // A dust plug fills the empty cage.
        p.fillRect(hole, QColor(120, 124, 128));
        p.setPen(QColor(90, 94, 98));
        p.drawLine(hole.left() + 2, hole.center().y(), hole.right() - 2, hole.center().y());
        return img;
    }
    p.fillRect(hole, kHole);
    if (QLatin1String(k.name) == QLatin1String("rj45")) {
        // The latch notch and the contacts.
        p.fillRect(QRect(hole.center().x() - 3, hole.bottom() - 2, 7, 3), kCage);
        p.setPen(QColor(190, 160, 60));
        for (int x = hole.left() + 3; x < hole.right() - 2; x += 2)
            p.drawPoint(x, hole.top() + 1);
    } else {
        p.fillRect(QRect(hole.left() + 2, hole.center().y() - 1, hole.width() - 4, 2), QColor(40, 42, 46));
    }
    // The two LEDs in the top corners: link and activity.
    QColor led = state == 0 ? kGreen : state == 1 ? kAmber : state == 2 ? kRed : kOff;
    const int s = k.height >= 16 ? 4 : 3;
    p.fillRect(QRect(1, 1, s, s - 1), led);
    p.fillRect(QRect(k.width - 1 - s, 1, s, s - 1), state <= 1 ? led : kOff);
    if (state == 2) {
        p.setPen(kRed);
        p.drawLine(hole.topLeft() + QPoint(2, 2), hole.bottomRight() - QPoint(2, 2));
        p.drawLine(hole.bottomLeft() + QPoint(2, -2), hole.topRight() + QPoint(-2, 2));
    }
    return img;
}

void drawPortKinds() {
    for (const PortKind* k : {&kRj45, &kSfp, &kXfp})
        for (int s = 0; s < 5; ++s)
            saveBmp(portPicture(*k, s), QStringLiteral("%1_%2.bmp").arg(QLatin1String(k->name), QLatin1String(kStateNames[s])));
}

// ---- modules -----------------------------------------------------------------------------

struct PortPlace {
    const PortKind* kind;
    int left, top;
};

struct ModuleType {
    int number;          // template number
    const char* id;      // ID of the file
    const char* label;   // printed on the faceplate
    const char* caption; // the second line
    std::vector<PortPlace> ports;
};

// 2 rows of copper or fibre ports in groups of 12, odd numbers on top.
std::vector<PortPlace> twoRows(int count, const PortKind& k, int left) {
    std::vector<PortPlace> out{size_t(count)};
    const int pitch = k.width + 3;
    for (int n = 0; n < count; ++n) {
        const int column = n / 2;
        const int group = column / 6;
        out[size_t(n)] = {&k, left + column * pitch + group * 8, n % 2 == 0 ? 5 : 21};
    }
    return out;
}

std::vector<PortPlace> oneRow(int count, const PortKind& k, int left, int gap) {
    std::vector<PortPlace> out;
    for (int n = 0; n < count; ++n)
        out.push_back({&k, left + n * (k.width + gap), (kSlotHeight - k.height) / 2});
    return out;
}

std::vector<PortPlace> supervisorPorts() {
    std::vector<PortPlace> out = {{&kRj45, 300, 13}, {&kRj45, 328, 13}};
    for (PortPlace p : oneRow(8, kSfp, 400, 6))
        out.push_back(p);
    return out;
}

std::vector<ModuleType> moduleTypes() {
    return {
        {2, "SUP-1", "SUP-1", "Supervisor", supervisorPorts()},
        {3, "SUP-2", "SUP-2", "Supervisor II", supervisorPorts()},
        {4, "LC-A48", "LC-A48", "48 x 10/100 BASE-T", twoRows(48, kRj45, 140)},
        {5, "LC-A48E", "LC-A48E", "48 x 10/100/1000 BASE-T", twoRows(48, kRj45, 140)},
        {6, "LC-A24", "LC-A24", "24 x 10/100 BASE-T", twoRows(24, kRj45, 140)},
        {7, "LC-A24E", "LC-A24E", "24 x 10/100/1000 BASE-T", twoRows(24, kRj45, 140)},
        {8, "LC-F24", "LC-F24", "24 x 1000 BASE-X SFP", twoRows(24, kSfp, 140)},
        {9, "LC-X2", "LC-X2", "2 x 10GBASE XFP", oneRow(2, kXfp, 150, 20)},
        {10, "LC-X4", "LC-X4", "4 x 10GBASE XFP", oneRow(4, kXfp, 150, 20)},
    };
}

QImage modulePicture(const ModuleType& m) {
    QImage img(kSlotWidth, kSlotHeight, QImage::Format_RGB32);
    QPainter p(&img);
    faceplate(p, img.rect());
    screw(p, 8, kSlotHeight / 2);
    screw(p, kSlotWidth - 9, kSlotHeight / 2);
    // Ejector handles and the status lamp. Nothing polls the lamp: it is drawn unlit, so that a
    // card of a device that does not answer shows no "OK".
    p.fillRect(QRect(18, 4, 6, kSlotHeight - 8), kMetalLight);
    p.fillRect(QRect(kSlotWidth - 25, 4, 6, kSlotHeight - 8), kMetalLight);
    p.setPen(kText);
    p.setFont(font(11, true));
    p.drawText(QRect(32, 4, 110, 16), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(m.label));
    p.setFont(font(7));
    p.drawText(QRect(32, 22, 104, 12), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(m.caption));
    p.fillRect(QRect(110, 8, 6, 4), kOff);
    p.drawText(QRect(118, 4, 16, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("OK"));
    if (m.number <= 3) {
        p.drawText(QRect(296, 2, 60, 10), Qt::AlignCenter, QStringLiteral("MGMT"));
        p.drawText(QRect(400, 2, 240, 10), Qt::AlignCenter, QStringLiteral("UPLINK 1-8"));
    }
    // The cages themselves come from the port pictures; the plate shows their frames.
    p.setPen(kMetalDark);
    for (const PortPlace& pp : m.ports)
        p.drawRect(QRect(pp.left - 1, pp.top - 1, pp.kind->width + 1, pp.kind->height + 1));
    return img;
}

QImage emptyCover() {
    QImage img(kSlotWidth, kSlotHeight, QImage::Format_RGB32);
    QPainter p(&img);
    faceplate(p, img.rect());
    screw(p, 8, kSlotHeight / 2);
    screw(p, kSlotWidth - 9, kSlotHeight / 2);
    p.setPen(kMetalDark);
    for (int x = 60; x < kSlotWidth - 60; x += 8)
        for (int y = 10; y < kSlotHeight - 8; y += 8)
            p.drawRect(QRect(x + (y / 8 % 2) * 4, y, 2, 2));
    return img;
}

QImage powerPicture(bool ac) {
    QImage img(kPowerWidth, kPowerHeight, QImage::Format_RGB32);
    QPainter p(&img);
    faceplate(p, img.rect());
    screw(p, 10, 10);
    screw(p, kPowerWidth - 11, 10);
    screw(p, 10, kPowerHeight - 11);
    screw(p, kPowerWidth - 11, kPowerHeight - 11);
    // Fan grille.
    p.setPen(kMetalDark);
    p.setBrush(kHole);
    p.drawEllipse(QRect(30, 14, 68, 68));
    p.setPen(kMetalLight);
    for (int r = 8; r < 34; r += 6)
        p.drawEllipse(QPoint(64, 48), r, r);
    p.drawLine(30, 48, 98, 48);
    p.drawLine(64, 14, 64, 82);
    p.setPen(kText);
    p.setFont(font(12, true));
    p.drawText(QRect(120, 14, 200, 18), Qt::AlignLeft, ac ? QStringLiteral("PWR-AC 1600W") : QStringLiteral("PWR-DC 1200W"));
    p.setFont(font(9));
    p.drawText(QRect(120, 34, 200, 14), Qt::AlignLeft,
               ac ? QStringLiteral("100-240 V~  16 A  50/60 Hz") : QStringLiteral("-48 / -60 V DC  32 A"));
    // Unpolled lamps, unlit: template 11 is also the picture before anything is known.
    p.fillRect(QRect(122, 58, 8, 5), kOff);
    p.drawText(QRect(134, 54, 40, 12), Qt::AlignLeft, QStringLiteral("IN OK"));
    p.fillRect(QRect(186, 58, 8, 5), kOff);
    p.drawText(QRect(198, 54, 50, 12), Qt::AlignLeft, QStringLiteral("OUT OK"));
    // The inlet and its switch.
    p.fillRect(QRect(300, 24, 60, 44), kHole);
    p.setPen(kCage);
    p.drawRect(QRect(300, 24, 60, 44));
    if (ac) {
        for (int x : {314, 328, 342})
            p.fillRect(QRect(x, 40, 5, 12), kCage);
    } else {
        p.fillRect(QRect(308, 34, 16, 24), kRed);
        p.fillRect(QRect(336, 34, 16, 24), kMetalLight);
    }
    return img;
}

// ---- the chassis -------------------------------------------------------------------------

struct LampSpot {
    const char* name;
    int left, top;
};
const LampSpot kChassisLamps[] = {{"PWR", 330, 22}, {"SYS", 380, 22}, {"FAN", 430, 22}, {"ALM", 480, 22}};
constexpr int kConsoleLeft = 600, kConsoleTop = 16, kConsoleWidth = 28, kConsoleHeight = 22;
constexpr int kMgmtLeft = 660, kMgmtTop = 20;

QImage background(const std::vector<ModuleType>& types) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), kMetal);
    // Rack ears. The holes sit where two slots meet (and beside the top band and the power
    // supplies), clear of the slot numbers printed on the left ear.
    std::vector<int> holes{20};
    for (int k = 0; k < 10; k += 2)
        holes.push_back(kSlotTop + k * kSlotPitch - 1);
    holes.push_back(kPowerTop + 30);
    holes.push_back(kPowerTop + kPowerHeight - 16);
    for (int x : {0, kWidth - 24}) {
        p.fillRect(QRect(x, 0, 24, kHeight), kMetalLight);
        p.setPen(kMetalDark);
        p.drawRect(QRect(x, 0, 23, kHeight - 1));
        for (int y : holes) {
            p.setBrush(kHole);
            p.drawRoundedRect(QRect(x + 6, y - 3, 12, 7), 3, 3);
        }
    }
    p.setPen(kMetalDark);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(24, 0, kWidth - 49, kHeight - 1));
    // Top band: the name, the chassis lamps, the console and management ports.
    p.setPen(kText);
    p.setFont(font(20, true));
    p.drawText(QRect(40, 10, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TALVEX"));
    p.setFont(font(11));
    p.drawText(QRect(150, 14, 150, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("8010 Chassis Switch"));
    p.setFont(font(8));
    for (const LampSpot& l : kChassisLamps) {
        p.fillRect(QRect(l.left - 2, l.top - 2, 14, 10), kHole);
        p.drawText(QRect(l.left - 10, l.top + 9, 30, 12), Qt::AlignCenter, QString::fromLatin1(l.name));
    }
    p.fillRect(QRect(kConsoleLeft, kConsoleTop, kConsoleWidth, kConsoleHeight), kCage);
    p.fillRect(QRect(kConsoleLeft + 3, kConsoleTop + 3, kConsoleWidth - 6, kConsoleHeight - 6), kHole);
    p.fillRect(QRect(kConsoleLeft + 10, kConsoleTop + kConsoleHeight - 6, 8, 3), kCage);
    p.drawText(QRect(kConsoleLeft - 10, kConsoleTop + kConsoleHeight + 1, kConsoleWidth + 20, 12), Qt::AlignCenter,
               QStringLiteral("CONSOLE"));
    p.drawText(QRect(kMgmtLeft - 10, kMgmtTop + 15, kRj45.width + 20, 12), Qt::AlignCenter, QStringLiteral("OOB"));
    // Slot guides.
    for (int k = 0; k < 10; ++k) {
        const QRect r(kSlotLeft - 2, kSlotTop + k * kSlotPitch - 1, kSlotWidth + 4, kSlotHeight + 2);
        p.fillRect(r, kMetalDark);
        p.setPen(kText);
        p.drawText(QRect(4, r.top(), 24, r.height()), Qt::AlignCenter,
                   k == 4 ? QStringLiteral("A") : k == 5 ? QStringLiteral("B") : QString::number(k < 4 ? k + 1 : k - 1));
    }
    for (int k = 0; k < 2; ++k)
        p.fillRect(QRect(kSlotLeft - 2 + k * (kPowerWidth + 8), kPowerTop - 1, kPowerWidth + 4, kPowerHeight + 2), kMetalDark);
    // The link board: one lamp per port of each card type, lit at 1 Gbit/s and more.
    p.fillRect(QRect(kBoardLeft - 4, kBoardTop - 1, kBoardWidth + 8, kSlotPitch * 10), kFace);
    p.setPen(kText);
    int y = kBoardTop + 2;
    for (const ModuleType& m : types) {
        p.setFont(font(8));
        p.drawText(QRect(kBoardLeft, y, kBoardWidth, 10), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(m.id));
        y += 11;
        const int rows = int(m.ports.size() + 11) / 12;
        for (size_t i = 0; i < m.ports.size(); ++i)
            p.fillRect(QRect(kBoardLeft + int(i % 12) * 6 - 1, y + int(i / 12) * 6 - 1, 6, 5), kHole);
        y += rows * 6 + 6;
    }
    // Unsmoothed glyphs this small run together ("LI" reads as "U"): a pixel between letters.
    QFont legend = font(9);
    legend.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(legend);
    p.drawText(QRect(kBoardLeft, kBoardTop + kSlotPitch * 10 - 15, kBoardWidth, 12),
               Qt::AlignCenter, QStringLiteral("LINK >= 1G"));
    // Fan tray beside the power supplies.
    const QRect fan(kBoardLeft - 4, kPowerTop, kBoardWidth + 8, kPowerHeight);
    faceplate(p, fan);
    p.setPen(kHole);
    for (int gy = fan.top() + 8; gy < fan.bottom() - 6; gy += 5)
        p.drawLine(fan.left() + 8, gy, fan.right() - 8, gy);
    p.setPen(kText);
    p.drawText(fan.adjusted(0, 0, 0, -2), Qt::AlignBottom | Qt::AlignHCenter, QStringLiteral("FAN"));
    return img;
}

} // namespace

void DrawPanel(const QString& dir) {
    g_dir = dir;
    g_lines.clear();
    QDir().mkpath(dir + QStringLiteral("/bmp"));
    drawPortKinds();
    const std::vector<ModuleType> types = moduleTypes();
    saveBmp(background(types), QStringLiteral("chassis.bmp"));
    saveBmp(emptyCover(), QStringLiteral("cover.bmp"));
    saveBmp(powerPicture(true), QStringLiteral("power_ac.bmp"));
    saveBmp(powerPicture(false), QStringLiteral("power_dc.bmp"));

    line(QStringLiteral("Panel.Panel1.background"), bmpRef(QStringLiteral("chassis.bmp")));
    line(QStringLiteral("Panel.Panel1.width"), kWidth);
    line(QStringLiteral("Panel.Panel1.height"), kHeight);
    line(QStringLiteral("Panel.Panel1.left"), 0);
    line(QStringLiteral("Panel.Panel1.top"), 0);
    rect(QStringLiteral("Panel1.Console"), kConsoleLeft, kConsoleTop, kConsoleWidth, kConsoleHeight);
    int n = 1;
    for (const LampSpot& l : kChassisLamps) {
        const QString o = QStringLiteral("Panel1.Lamp%1").arg(n++);
        line(o + QStringLiteral(".Name"), QString::fromLatin1(l.name));
        line(o + QStringLiteral(".Status"), QStringLiteral("LAMPON"));
        rect(o, l.left, l.top, 10, 6);
    }
    auto portLines = [](const QString& object, const PortKind& k, const QString& id, int left, int top) {
        line(object + QStringLiteral(".PortID"), id);
        const char* keys[5] = {"BmpLink100", "BmpLink10", "BmpDisable", "BmpEnable", "BmpEmpty"};
        for (int s = 0; s < 5; ++s)
            line(object + QLatin1Char('.') + QLatin1String(keys[s]),
                 bmpRef(QStringLiteral("%1_%2.bmp").arg(QLatin1String(k.name), QLatin1String(kStateNames[s]))));
        line(object + QStringLiteral(".Status"), QStringLiteral("PORTENABLE"));
        rect(object, left, top, k.width, k.height);
    };
    // The out-of-band management port of the chassis itself.
    portLines(QStringLiteral("Panel1.Port1"), kRj45, QStringLiteral("1"), kMgmtLeft, kMgmtTop);
    line(QStringLiteral("Port1.Lamp1.Name"), QStringLiteral("LNK"));
    rect(QStringLiteral("Port1.Lamp1"), kMgmtLeft + kRj45.width + 4, kMgmtTop + 4, 5, 4);

    // Templates: 1 the empty-slot cover, 2 to 10 the cards, 11 and 12 the power supplies.
    line(QStringLiteral("Module.Module1.ID"), QStringLiteral("empty"));
    line(QStringLiteral("Module.Module1.BmpModule"), bmpRef(QStringLiteral("cover.bmp")));
    int boardY = kBoardTop + 2;
    for (const ModuleType& m : types) {
        const QString mod = QStringLiteral("Module.Module%1").arg(m.number);
        const QString file = QStringLiteral("module_%1.bmp").arg(QString::fromLatin1(m.id).toLower());
        saveBmp(modulePicture(m), file);
        line(mod + QStringLiteral(".ID"), QString::fromLatin1(m.id));
        line(mod + QStringLiteral(".BmpModule"), bmpRef(file));
        rect(mod, 0, 0, kSlotWidth, kSlotHeight);
        boardY += 11;
        for (size_t i = 0; i < m.ports.size(); ++i) {
            const PortPlace& pp = m.ports[i];
            const int number = int(i) + 1;
            portLines(QStringLiteral("Module%1.Port%2").arg(m.number).arg(number), *pp.kind, QString::number(number), pp.left,
                      pp.top);
            const QString lamp = QStringLiteral("M%1Port%2.Lamp1").arg(m.number).arg(number);
            line(lamp + QStringLiteral(".Name"), QStringLiteral("100M"));
            rect(lamp, kBoardLeft + int(i % 12) * 6, boardY + int(i / 12) * 6, 4, 3);
        }
        boardY += int(m.ports.size() + 11) / 12 * 6 + 6;
    }
    line(QStringLiteral("Module.Module11.ID"), QStringLiteral("PWR-AC"));
    line(QStringLiteral("Module.Module11.BmpModule"), bmpRef(QStringLiteral("power_ac.bmp")));
    line(QStringLiteral("Module.Module12.ID"), QStringLiteral("PWR-DC"));
    line(QStringLiteral("Module.Module12.BmpModule"), bmpRef(QStringLiteral("power_dc.bmp")));

    // Slots 1 to 10 top to bottom: line cards 1 to 4, supervisors A and B, line cards 5 to 8;
    // slots 11 and 12 the power supplies.
    for (int k = 0; k < 10; ++k)
        rect(QStringLiteral("Slot.Slot%1").arg(k + 1), kSlotLeft, kSlotTop + k * kSlotPitch, kSlotWidth, kSlotHeight);
    for (int k = 0; k < 2; ++k)
        rect(QStringLiteral("Slot.Slot%1").arg(k + 11), kSlotLeft + k * (kPowerWidth + 8), kPowerTop, kPowerWidth,
             kPowerHeight);

    QFile f(dir + QStringLiteral("/Talvex.properties"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "drawpanel: cannot write %s\n", qPrintable(f.fileName()));
        return;
    }
    // Windows line ends, as the file was written for that desktop.
    f.write(g_lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
}
