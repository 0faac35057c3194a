#include "platform/stretch.h"

#include <QDialog>
#include <QEvent>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

struct Span {
    int begin, end; // [begin, end)
};

// The lists' spans along one axis, overlapping ones merged, in order.
std::vector<Span> listSpans(const QList<PlacedControl>& controls, bool horizontal) {
    std::vector<Span> spans;
    for (const PlacedControl& c : controls) {
        if (!c.list)
            continue;
        Span s = horizontal ? Span{c.geometry.left(), c.geometry.left() + c.geometry.width()}
                            : Span{c.geometry.top(), c.geometry.top() + c.geometry.height()};
        spans.push_back(s);
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.begin < b.begin; });
    std::vector<Span> merged;
    for (const Span& s : spans)
        if (!merged.empty() && s.begin < merged.back().end)
            merged.back().end = std::max(merged.back().end, s.end);
        else
            merged.push_back(s);
    return merged;
}

// Which spans lie before a control and which within it: it moves by the shares of the first,
// grows by those of the second. Across, a control that starts inside a span's right half (the
// buttons under a list, at its right) follows the right edge, as if the span lay before it;
// down, buttons beside a list stay at its top.
struct AxisRule {
    std::vector<bool> before, within;
};

AxisRule axisRule(const std::vector<Span>& spans, int begin, int end, bool across) {
    AxisRule r;
    for (const Span& s : spans) {
        const bool farHalf = across && 2 * begin >= s.begin + s.end && begin < s.end;
        r.before.push_back(s.end <= begin || farHalf);
        r.within.push_back(begin <= s.begin && s.end <= end);
    }
    return r;
}

class ListStretch : public QObject {
public:
    ListStretch(QDialog* dialog, const QList<PlacedControl>& controls)
        : QObject(dialog), m_dialog(dialog), m_base(dialog->size()) {
        setObjectName(QString::fromLatin1(kName));
        place(controls);
        dialog->installEventFilter(this);
    }

    static constexpr const char* kName = "talvex-list-stretch";

    void extend(const PlacedControl& control, QSize base) {
        const QSize room = (m_dialog->size() - m_base).expandedTo(QSize(0, 0));
        m_placed << control;
        m_base = base;
        m_controls.clear();
        place(m_placed);
        m_dialog->setMinimumSize(base);
        m_dialog->resize(base + room);
        relayout();
    }

    QSize base() const { return m_base; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_dialog && event->type() == QEvent::Resize)
            relayout();
        return false;
    }

private:
    void place(const QList<PlacedControl>& controls) {
        m_placed = controls;
        m_columns = listSpans(controls, true);
        m_rows = listSpans(controls, false);
        for (const PlacedControl& c : controls) {
            const QRect& g = c.geometry;
            m_controls.push_back({c.widget, g,
                                  axisRule(m_columns, g.left(), g.left() + g.width(), true),
                                  axisRule(m_rows, g.top(), g.top() + g.height(), false)});
        }
    }

    struct Control {
        QPointer<QWidget> widget;
        QRect geometry;
        AxisRule x, y;
    };

    // The room beyond the template size in shares that add up to it exactly.
    static std::vector<int> shares(int room, size_t count) {
        std::vector<int> out;
        for (size_t i = 0; i < count; ++i)
            out.push_back(int(room * qint64(i + 1) / qint64(count) -
                              room * qint64(i) / qint64(count)));
        return out;
    }

    static std::pair<int, int> moveAndGrow(const AxisRule& rule, const std::vector<int>& share) {
        int move = 0, grow = 0;
        for (size_t i = 0; i < share.size(); ++i) {
            move += rule.before[i] ? share[i] : 0;
            grow += rule.within[i] ? share[i] : 0;
        }
        return {move, grow};
    }

    void relayout() {
        const int roomX = std::max(0, m_dialog->width() - m_base.width());
        const int roomY = std::max(0, m_dialog->height() - m_base.height());
        const std::vector<int> dx = shares(roomX, m_columns.size());
        const std::vector<int> dy = shares(roomY, m_rows.size());
        for (const Control& c : m_controls) {
            if (!c.widget)
                continue;
            const auto [moveX, growX] = moveAndGrow(c.x, dx);
            const auto [moveY, growY] = moveAndGrow(c.y, dy);
            c.widget->setGeometry(c.geometry.x() + moveX, c.geometry.y() + moveY,
                                  c.geometry.width() + growX, c.geometry.height() + growY);
        }
    }

    QDialog* m_dialog;
    QSize m_base;
    QList<PlacedControl> m_placed;
    std::vector<Span> m_columns, m_rows;
    std::vector<Control> m_controls;
};

} // namespace

void StretchWithLists(QDialog* dialog, const QList<PlacedControl>& controls) {
    bool anyList = false;
    for (const PlacedControl& c : controls)
        anyList = anyList || c.list;
    if (!anyList)
        return;
    dialog->setMinimumSize(dialog->size());
    dialog->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    dialog->setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    dialog->setSizeGripEnabled(true);
    new ListStretch(dialog, controls);
}

void ExtendDialog(QDialog* dialog, QWidget* control, Qt::Edge side, int extent) {
    auto* stretch = dynamic_cast<ListStretch*>(dialog->findChild<QObject*>(
        QString::fromLatin1(ListStretch::kName), Qt::FindDirectChildrenOnly));
    const QSize base = stretch ? stretch->base() : dialog->size();
    const bool right = side == Qt::RightEdge;
    const QRect geometry = right ? QRect(base.width(), 0, extent, base.height())
                                 : QRect(0, base.height(), base.width(), extent);
    const QSize grown = right ? QSize(base.width() + extent, base.height())
                              : QSize(base.width(), base.height() + extent);
    control->setParent(dialog);
    control->setGeometry(geometry);
    control->show();
    if (stretch)
        stretch->extend({control, geometry, true}, grown);
    else
        dialog->setFixedSize(grown);
}

} // namespace platform
