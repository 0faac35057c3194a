#include "panel/panelmodel.h"

#include <QFileInfo>
#include <QPainter>

namespace {

// Farther out than any window reaches, and near enough that a sum of two stays within int.
constexpr qint64 kFar = qint64(1) << 28;

int pulledIn(qint64 v) {
    return int(std::clamp(v, -kFar, kFar));
}

} // namespace

Picture PictureStore::load(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const QString key = info.canonicalFilePath();
    auto it = m_entries.find(key);
    if (it != m_entries.end()) {
        if (it->size == info.size() && it->modified == info.lastModified())
            return it->picture;
        if (it->picture)
            m_bytes -= it->picture->rows().size();
        m_entries.erase(it);
    }
    Entry entry{info.size(), info.lastModified(), {}};
    auto dib = std::make_shared<PanelDib>();
    if (dib->loadFile(key)) {
        const qint64 bytes = dib->rows().size();
        if (m_bytes + bytes > m_budget)
            dropUnused();
        // Over the budget the file counts as one that does not decode, until it changes.
        if (m_bytes + bytes <= m_budget) {
            m_bytes += bytes;
            entry.picture = std::move(dib);
        }
    }
    m_entries.insert(key, entry);
    return entry.picture;
}

void PictureStore::dropUnused() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->picture && it->picture.use_count() == 1) {
            m_bytes -= it->picture->rows().size();
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

Port Port::copy() const {
    Port p;
    p.shown = shown;
    p.id = id;
    p.left = left;
    p.top = top;
    p.width = width;
    p.height = height;
    p.current = current;
    p.lamps = lamps;
    p.bitmaps = bitmaps;
    return p;
}

bool PanelModel::loadPicture(Picture& picture, const QString& path) {
    Picture loaded = store.load(path);
    if (!loaded)
        return false;
    picture = std::move(loaded);
    return true;
}

bool PanelModel::applyPortState(Port& port) {
    if (port.current < Link100 || port.current > Empty)
        return false;
    for (Lamp& l : port.lamps) {
        if (port.current == Link100)
            l.state = 0;
        else if (port.current == Link10)
            l.state = l.name == QLatin1String("100M") ? 1 : 0;
        else
            l.state = 1;
    }
    return loadPicture(port.picture, (*port.bitmaps)[size_t(port.current)]);
}

bool PanelModel::loadModule(Module& module) {
    if (!loadPicture(module.picture, module.bitmapPath))
        return false;
    for (Port& p : module.ports)
        applyPortState(p);
    return true;
}

void PanelModel::placeInSlot(Module& module, int k) const {
    if (k < 0 || size_t(k) >= slotRects.size())
        return;
    const Slot& s = slotRects[size_t(k)];
    module.left = s.left;
    module.top = s.top;
    module.width = SaturatedSum(s.right, -qint64(s.left));
    module.height = SaturatedSum(s.bottom, -qint64(s.top));
}

Module PanelModel::buildModulePicture(int k, int t) {
    Module m;
    m.id = QString::number(t);
    placeInSlot(m, k);
    if (t >= 1 && size_t(t) <= templates.size()) {
        const Module& tmpl = templates[size_t(t - 1)];
        m.bitmapPath = tmpl.bitmapPath;
        for (const Port& p : tmpl.ports) {
            m.ports.push_back(p.copy());
            applyPortState(m.ports.back());
        }
    }
    return m;
}

void PanelModel::replaceModule(int k, int t) {
    if (k < 0 || size_t(k) >= slotRects.size() || size_t(k) >= pictures.size() || t < 1 || size_t(t) > templates.size())
        return;
    pictures[size_t(k)] = buildModulePicture(k, t);
    Module& m = pictures[size_t(k)];
    loadModule(m);
    update(scaled(m.left, m.top, m.width, m.height));
}

void PanelModel::setPortState(int k, int portNumber, int state, int ifIndex) {
    if (k < 0 || size_t(k) >= pictures.size())
        return;
    const QString id = QString::number(portNumber);
    for (Port& p : pictures[size_t(k)].ports) {
        if (p.id != id)
            continue;
        if (p.current == Empty)
            return;
        if (ifIndex)
            p.ifIndex = ifIndex;
        p.current = state;
        applyPortState(p);
    }
}

void PanelModel::refresh() {
    auto refreshPort = [this](Port& p, const Module* m) {
        if (p.shown == p.current)
            return;
        update(portRect(p, m));
        for (const Lamp& l : p.lamps)
            update(lampRect(l));
        p.shown = p.current;
        applyPortState(p);
    };
    for (Port& p : chassisPorts)
        refreshPort(p, nullptr);
    for (Module& m : pictures)
        for (Port& p : m.ports)
            refreshPort(p, &m);
}

void PanelModel::pollingFailureReset() {
    for (Lamp& l : lamps) {
        l.state = 1;
        update(lampRect(l));
    }
    auto reset = [this](Port& p) {
        p.current = Enabled;
        applyPortState(p);
        for (Lamp& l : p.lamps) {
            l.state = 1;
            update(lampRect(l));
        }
    };
    for (Port& p : chassisPorts)
        reset(p);
    for (Module& m : pictures)
        for (Port& p : m.ports)
            reset(p);
}

void PanelModel::restoreLamps() {
    for (Lamp& l : lamps)
        if (l.state != l.fileState) {
            l.state = l.fileState;
            update(lampRect(l));
        }
}

QRect PanelModel::scaled(qint64 x, qint64 y, qint64 w, qint64 h) const {
    if (!scalable())
        return {};
    const qint64 W = m_client.width(), H = m_client.height();
    return QRect(pulledIn(x * W / refWidth), pulledIn(y * H / refHeight), pulledIn(w * W / refWidth),
                 pulledIn(h * H / refHeight));
}

QRect PanelModel::portRect(const Port& port, const Module* module) const {
    if (!module)
        return scaled(port.left, port.top, port.width, port.height);
    return scaled(qint64(module->left) + port.left, qint64(module->top) + port.top, port.width, port.height);
}

void PanelModel::fillLamp(QPainter& p, const Lamp& lamp) const {
    if (lamp.state != 0 && lamp.state != 1) return;
    const QRect r = lampRect(lamp);
    if (!r.isEmpty()) p.fillRect(r, QColor::fromRgb(lamp.state == 0 ? kLampLit : kLampDark));
}

const Lamp* PanelModel::alarmLamp() const {
    for (const Lamp& l : lamps)
        if (l.name == QLatin1String("ALM")) return &l;
    return nullptr;
}

QRect PanelModel::alarmLampRect() const {
    const Lamp* l = alarmLamp();
    return l ? lampRect(*l) : QRect();
}

void PanelModel::setAlarm(bool alarm) {
    if (alarm == m_alarm) return;
    m_alarm = alarm;
    m_alarmLit = alarm;
    update(alarmLampRect());
}

void PanelModel::blinkAlarm() {
    if (!m_alarm) return;
    m_alarmLit = !m_alarmLit;
    update(alarmLampRect());
}

void PanelModel::drawPicture(QPainter& p, const Picture& picture, const QRect& r) {
    if (picture)
        picture->drawStretched(p, r.x(), r.y(), r.width(), r.height());
}

void PanelModel::fillLamps(QPainter& p, const Port& port) const {
    for (const Lamp& l : port.lamps)
        fillLamp(p, l);
}

void PanelModel::paint(QPainter& p) const {
    if (!background.isLoaded() || !scalable())
        return;
    background.drawStretched(p, 0, 0, m_client.width(), m_client.height());
    for (const Module& m : pictures) {
        drawPicture(p, m.picture, scaled(m.left, m.top, m.width, m.height));
        for (const Port& port : m.ports) {
            drawPicture(p, port.picture, portRect(port, &m));
            fillLamps(p, port);
        }
    }
    for (const Port& port : chassisPorts) {
        drawPicture(p, port.picture, portRect(port, nullptr));
        fillLamps(p, port);
    }
    // Only a stand-alone lamp can be the ALM lamp: it is looked up once a paint, not a lamp.
    const Lamp* alarm = m_alarm ? alarmLamp() : nullptr;
    for (const Lamp& l : lamps) {
        if (&l != alarm) {
            fillLamp(p, l);
        } else if (const QRect r = lampRect(l); !r.isEmpty()) {
            p.fillRect(r, QColor::fromRgb(m_alarmLit ? kLampAlarm : kLampDark));
        }
    }
}

bool PanelModel::portHit(const QRect& r, QPoint pt) const {
    const qint64 x = r.x(), y = r.y();
    return x + 2 < pt.x() && pt.x() < x + r.width() - 2 && y + 2 < pt.y() && pt.y() < y + r.height() - 2;
}

PanelModel::Hit PanelModel::hitTest(QPoint pt, const Port** hitPort) const {
    if (!scalable())
        return Hit::None;
    const qint64 W = m_client.width(), H = m_client.height();
    const qint64 left = consoleLeft, top = consoleTop;
    if ((left + 2) * W / refWidth < pt.x() && pt.x() < (left + consoleWidth - 2) * W / refWidth &&
        (top + 2) * H / refHeight < pt.y() && pt.y() < (top + consoleHeight - 2) * H / refHeight)
        return Hit::Console;
    for (const Port& port : chassisPorts)
        if (portHit(portRect(port, nullptr), pt)) {
            if (hitPort)
                *hitPort = &port;
            return Hit::ChassisPort;
        }
    for (const Module& m : pictures)
        for (const Port& port : m.ports)
            if (portHit(portRect(port, &m), pt)) {
                if (hitPort)
                    *hitPort = &port;
                return Hit::ModulePort;
            }
    return Hit::None;
}
