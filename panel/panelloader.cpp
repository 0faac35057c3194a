#include "panel/panelloader.h"

#include "platform/platform.h"
#include "panel/sectionreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>


namespace {

constexpr int kMaxPath = 99;
constexpr int kDefaultWidth = 700;
constexpr int kDefaultHeight = 140;

struct Context {
    PanelFile file;
    QString dir;
    PanelSection read(const QString& section) const { return file.section(section); }
    QString bitmap(const QMap<QString, QString>& props, const char* key) const {
        return PanelBitmapPath(dir, props.value(QLatin1String(key)));
    }
};

int number(const QMap<QString, QString>& props, const char* key) {
    return PanelNumber(props.value(QLatin1String(key)));
}

Lamp buildLamp(const QMap<QString, QString>& props) {
    Lamp l;
    l.name = props.value(QStringLiteral("Name"));
    l.state = props.value(QStringLiteral("Status")).compare(QLatin1String("LAMPON"), Qt::CaseInsensitive) == 0 ? 0 : 1;
    l.fileState = l.state;
    l.left = number(props, "left");
    l.top = number(props, "top");
    l.width = number(props, "width");
    l.height = number(props, "height");
    return l;
}

int portStateKeyword(const QString& s) {
    if (s.compare(QLatin1String("PORTLINK10"), Qt::CaseInsensitive) == 0)
        return Link10;
    if (s.compare(QLatin1String("PORTDISABLED"), Qt::CaseInsensitive) == 0)
        return Disabled;
    if (s.compare(QLatin1String("PORTENABLE"), Qt::CaseInsensitive) == 0)
        return Enabled;
    if (s.compare(QLatin1String("PORTEMPTY"), Qt::CaseInsensitive) == 0)
        return Empty;
    return Link100;
}

// A port from its properties; without a Status it starts (and shows) Enabled.
Port buildPort(const Context& c, const QMap<QString, QString>& props) {
    Port p;
    p.id = props.value(QStringLiteral("PortID"));
    if (props.contains(QStringLiteral("Status"))) {
        p.current = portStateKeyword(props.value(QStringLiteral("Status")));
        p.shown = Enabled;
    }
    auto paths = std::make_shared<PortBitmaps>();
    (*paths)[Link100] = c.bitmap(props, "BmpLink100");
    (*paths)[Link10] = c.bitmap(props, "BmpLink10");
    (*paths)[Disabled] = c.bitmap(props, "BmpDisable");
    (*paths)[Enabled] = c.bitmap(props, "BmpEnable");
    (*paths)[Empty] = c.bitmap(props, "BmpEmpty");
    p.bitmaps = paths;
    p.left = number(props, "left");
    p.top = number(props, "top");
    p.width = number(props, "width");
    p.height = number(props, "height");
    return p;
}

// Lamp1 ... LampN of a section (N its object count), those with a name.
void appendNamedLamps(const PanelSection& s, std::vector<Lamp>& lamps) {
    for (int k = 1; k <= s.size(); ++k) {
        auto it = s.find(QStringLiteral("Lamp%1").arg(k));
        if (it == s.end())
            continue;
        Lamp l = buildLamp(*it);
        if (!l.name.isEmpty())
            lamps.push_back(l);
    }
}

// A side of the panel from the file: the default for a missing, zero or negative value, at most
// limit.
int panelSide(const QMap<QString, QString>& props, const char* key, int fallback, int limit) {
    const int v = props.contains(QLatin1String(key)) ? number(props, key) : fallback;
    return std::min(v > 0 ? v : fallback, limit);
}

// The built-in background over the client area, for a file that cannot be used.
bool failWithDefaultBackground(PanelModel& model, const PanelSite& site) {
    model.background.loadResource(1);
    model.refWidth = site.panelClientSize().width();
    model.refHeight = site.panelClientSize().height();
    return false;
}

// Panel1 of the Panel section: the background and the window's size, the window centred on
// the screen. False for an entry that names no background.
bool placeWindow(const Context& c, const QMap<QString, QString>& panel1, PanelModel& model,
                 PanelSite& site) {
    if (!panel1.contains(QStringLiteral("background"))) return false;
    model.background.loadFile(c.bitmap(panel1, "background"));
    // No larger than a picture PanelDib would take: the window's backing store is one.
    const int width = panelSide(panel1, "width", kDefaultWidth, PanelDib::kMaxSide);
    const int height = panelSide(panel1, "height", kDefaultHeight, PanelDib::maxHeight(width, 24));
    (void)number(panel1, "left"); // read, and of no effect: the window is centred
    (void)number(panel1, "top");
    const QSize extra = site.panelFrameExtra();
    const QSize window(width + extra.width(), height + extra.height());
    QSize screen = window;
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    site.placePanel((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2,
                    window.width(), window.height());
    return true;
}

// The Panel1 section: the console, the chassis's lamps and its ports with their lamps.
void readChassis(const Context& c, PanelModel& model) {
    const PanelSection chassis = c.read(QStringLiteral("Panel1"));
    if (auto console = chassis.find(QStringLiteral("Console")); console != chassis.end()) {
        model.consoleLeft = number(*console, "left");
        model.consoleTop = number(*console, "top");
        model.consoleWidth = number(*console, "width");
        model.consoleHeight = number(*console, "height");
    }
    appendNamedLamps(chassis, model.lamps);
    for (int n = 1; n <= chassis.size(); ++n) {
        auto it = chassis.find(QStringLiteral("Port%1").arg(n));
        if (it == chassis.end())
            continue;
        Port p = buildPort(c, *it);
        appendNamedLamps(c.read(QStringLiteral("Port%1").arg(n)), p.lamps);
        model.applyPortState(p);
        model.chassisPorts.push_back(std::move(p));
    }
}

// The module templates: the Module section's entries, each with its ports and their lamps.
void readModules(const Context& c, PanelModel& model) {
    const PanelSection modules = c.read(QStringLiteral("Module"));
    for (int m = 1; m <= modules.size(); ++m) {
        Module t;
        if (auto it = modules.find(QStringLiteral("Module%1").arg(m)); it != modules.end()) {
            t.id = it->value(QStringLiteral("ID"));
            t.bitmapPath = c.bitmap(*it, "BmpModule");
            t.left = number(*it, "left");
            t.top = number(*it, "top");
            t.width = number(*it, "width");
            t.height = number(*it, "height");
        }
        const PanelSection ports = c.read(QStringLiteral("Module%1").arg(m));
        for (int p = 1; p <= ports.size(); ++p) {
            auto it = ports.find(QStringLiteral("Port%1").arg(p));
            Port port = it != ports.end() ? buildPort(c, *it) : Port();
            appendNamedLamps(c.read(QStringLiteral("M%1Port%2").arg(m).arg(p)), port.lamps);
            model.applyPortState(port);
            t.ports.push_back(std::move(port));
        }
        model.loadModule(t);
        model.templates.push_back(std::move(t));
    }
    for (Module& t : model.templates)
        model.loadModule(t);
}

// The slots' rectangles, and the covers they show until polling reports the modules: template 1
// in positions 0 to 9, 11 beyond. A position whose template the file lacks starts without a
// picture.
void readSlots(const Context& c, PanelModel& model) {
    const PanelSection slotSection = c.read(QStringLiteral("Slot"));
    for (int s = 1; s <= slotSection.size(); ++s) {
        auto it = slotSection.find(QStringLiteral("Slot%1").arg(s));
        if (it == slotSection.end())
            continue;
        const int left = number(*it, "left"), top = number(*it, "top");
        model.slotRects.push_back(
            {left, top, SaturatedSum(left, number(*it, "width")), SaturatedSum(top, number(*it, "height"))});
    }
    for (size_t k = 0; k < model.slotRects.size(); ++k) {
        const size_t t = k < 10 ? 1 : 11;
        Module m;
        model.placeInSlot(m, int(k));
        if (t <= model.templates.size()) {
            m.id = model.templates[t - 1].id;
            m.bitmapPath = model.templates[t - 1].bitmapPath;
            model.loadPicture(m.picture, m.bitmapPath);
        }
        model.pictures.push_back(std::move(m));
    }
}

} // namespace

QSize PanelSite::panelFrameExtra() {
    const QWidget* window = panelOwner();
    if (!window) return QSize(0, 0);
    const QSize client = panelClientSize();
    return QSize(std::max(0, window->width() - client.width()),
                 std::max(0, window->height() - client.height()));
}

QString PanelBitmapPath(const QString& panelDir, const QString& value) {
    if (value.isEmpty() || value.size() > kMaxPath) return {};
    QString path = value;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isRelativePath(path)) path = QDir(panelDir).filePath(path);
    return path;
}

bool LoadPanel(const QString& path, PanelModel& model, PanelSite& site) {
    // The file is read once; every section below is taken from that reading.
    Context c;
    if (!c.file.read(path)) {
        platform::MessageBox(site.panelOwner(),
                             QStringLiteral("Can't open the panel file : ") + path);
        return failWithDefaultBackground(model, site);
    }
    c.dir = QFileInfo(path).absolutePath();

    const PanelSection panel = c.read(QStringLiteral("Panel"));
    if (auto panel1 = panel.find(QStringLiteral("Panel1")); panel1 != panel.end())
        if (!placeWindow(c, *panel1, model, site)) return failWithDefaultBackground(model, site);

    const QSize client = site.panelClientSize();
    model.refWidth = client.width();
    model.refHeight = client.height();
    readChassis(c, model);
    readModules(c, model);
    readSlots(c, model);
    return true;
}
