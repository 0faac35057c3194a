// The chassis as the panel description file lays it out: background, console area, lamps,
// chassis ports, module templates, slotRects and one module picture per slot; how port states pick
// lamps and pictures, how the model paints at any size, and what a point hits.
#pragma once

#include "panel/paneldib.h"

#include <QDateTime>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

enum PortState : int { Link100 = 0, Link10 = 1, Disabled = 2, Enabled = 3, Empty = 4 };

struct Lamp {
    QString name;
    int state = 1; // 0 lit, 1 dark; other values are not drawn
    int fileState = 1; // the state the panel description file gives it
    int width = 0, height = 0, top = 0, left = 0;
};

// The five state pictures' paths, shared between a template's port and its copies.
using PortBitmaps = std::array<QString, 5>;

// A decoded picture, shared by every port and module that names its file; null when none.
using Picture = std::shared_ptr<const PanelDib>;

// The pictures of one panel by file. A file is decoded once and shared for as long as its size
// and modification time stay the same, so that many ports naming one large picture hold one
// copy, and a picture replaced on disk still shows at the next state change.
class PictureStore {
public:
    // Decoded rows all pictures together may hold (two of the largest PanelDib takes); beyond
    // it a further picture is not loaded.
    static constexpr qint64 kBudget = 512ll * 1024 * 1024;

    explicit PictureStore(qint64 budget = kBudget) : m_budget(budget) {}

    // The picture in path; null when path names no regular file, the file does not decode, or
    // the budget is spent.
    Picture load(const QString& path);
    qint64 bytes() const { return m_bytes; }

private:
    struct Entry {
        qint64 size = -1;
        QDateTime modified;
        Picture picture; // null: the file did not decode
    };
    void dropUnused();

    QHash<QString, Entry> m_entries; // by canonical path
    qint64 m_budget;
    qint64 m_bytes = 0;
};

// a + b, held within int: coordinates of the file may stand anywhere in int.
inline int SaturatedSum(qint64 a, qint64 b) {
    return int(std::clamp<qint64>(a + b, INT_MIN, INT_MAX));
}

struct Port {
    int shown = Enabled; // what the screen last showed
    QString id;
    int left = 0, top = 0, width = 0, height = 0; // inside a module: relative to the module
    int current = Enabled; // what the device last reported
    int ifIndex = 0; // the interface the device reported it as; 0 while none has
    std::vector<Lamp> lamps;
    std::shared_ptr<const PortBitmaps> bitmaps = std::make_shared<PortBitmaps>();
    Picture picture;

    Port() = default;
    Port(Port&&) = default;
    Port& operator=(Port&&) = default;
    // A copy shares the bitmap paths and has no picture until its state is applied.
    Port copy() const;
};

struct Module {
    QString id;
    int left = 0, top = 0, width = 0, height = 0;
    QString bitmapPath;
    Picture picture;
    std::vector<Port> ports;
};

struct Slot {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class PanelModel {
public:
    PanelDib background;
    int refWidth = 0;
    int refHeight = 0;
    int consoleLeft = 0, consoleTop = 0, consoleWidth = 0, consoleHeight = 0;
    std::vector<Lamp> lamps;
    std::vector<Port> chassisPorts;
    std::vector<Module> templates; // template m at m - 1
    std::vector<Slot> slotRects;
    std::vector<Module> pictures; // picture k drawn in slot k

    // Where the window wants repainting, in client pixels of the current size.
    std::function<void(const QRect&)> invalidate;
    void setClientSize(QSize size) { m_client = size; }
    QSize clientSize() const { return m_client; }

    PictureStore store;

    // Lamps and picture by the port's current state; whether the picture loaded (when it does
    // not, the port keeps its previous picture). A state outside 0 to 4 changes nothing.
    bool applyPortState(Port& port);
    // The module's bitmap, then its ports' states; false (and nothing applied) when the
    // bitmap does not load.
    bool loadModule(Module& module);
    // The picture of path into picture; false, and picture kept, when it does not load.
    bool loadPicture(Picture& picture, const QString& path);
    // Gives module the rectangle of slot k (when there is one).
    void placeInSlot(Module& module, int k) const;
    // A picture of template t (from 1) in slot k, with copies of the template's ports.
    Module buildModulePicture(int k, int t);
    // Polling's operations; slot positions without a slot and unknown templates are ignored.
    void replaceModule(int k, int t);
    // ifIndex (when not 0) names the interface of the row that reported the state.
    void setPortState(int k, int portNumber, int state, int ifIndex = 0);
    // Repaints and reapplies every port whose shown state differs from its current state.
    void refresh();
    // After a failed status request: lamps dark, every port Enabled.
    void pollingFailureReset();
    // Once the device answers again: the stand-alone lamps as the panel description file has
    // them (the ports' lamps follow their states).
    void restoreLamps();
    // While unacknowledged events of severity major or above exist, the stand-alone lamp named
    // ALM is drawn in kLampAlarm, blinking (blinkAlarm turns it on and off); otherwise it shows
    // as the file and the polls have it.
    void setAlarm(bool alarm);
    void blinkAlarm();
    bool alarm() const { return m_alarm; }
    // The ALM lamp's rectangle at the current size; empty when the panel has none.
    QRect alarmLampRect() const;

    // Scales a reference rectangle to the client size (products first, then divisions). What
    // lies farther out than any screen reaches is pulled in, so that no sum overflows.
    QRect scaled(qint64 x, qint64 y, qint64 w, qint64 h) const;
    void paint(QPainter& p) const;

    enum class Hit { None, Console, ChassisPort, ModulePort };
    // What point hits; for a port, port (when given) points to it.
    Hit hitTest(QPoint point, const Port** port = nullptr) const;

private:
    bool scalable() const { return refWidth > 0 && refHeight > 0; }
    bool portHit(const QRect& r, QPoint pt) const;
    QRect portRect(const Port& port, const Module* module) const;
    QRect lampRect(const Lamp& lamp) const { return scaled(lamp.left, lamp.top, lamp.width, lamp.height); }
    static void drawPicture(QPainter& p, const Picture& picture, const QRect& r);
    void fillLamps(QPainter& p, const Port& port) const;
    void fillLamp(QPainter& p, const Lamp& lamp) const;
    void update(const QRect& r) const {
        if (invalidate && !r.isEmpty())
            invalidate(r);
    }

    const Lamp* alarmLamp() const;

    QSize m_client;
    bool m_alarm = false;
    bool m_alarmLit = false; // the blink's phase
};

inline constexpr QRgb kLampLit = 0xFF61F86C;  // RGB(97, 248, 108)
inline constexpr QRgb kLampDark = 0xFF804000; // RGB(128, 64, 0)
inline constexpr QRgb kLampAlarm = 0xFFFF2020; // RGB(255, 32, 32)
