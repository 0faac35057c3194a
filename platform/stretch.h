// The list pages' room to grow: built at their template's size, they may be enlarged and
// maximised, and their lists take the room. Used by BuildDialog; nothing else needs it.
#pragma once

#include <QList>
#include <QRect>
#include <Qt>

class QDialog;
class QWidget;

namespace platform {

struct PlacedControl {
    QWidget* widget;
    QRect geometry; // as built from the template
    bool list;
};

// Makes dialog resizable from its present size up, with a maximise button, when any control is
// a list. Along each axis the room beyond the template size is shared out among the lists
// (lists side by side or one above the other get a share each; lists over the same span share
// one): a list, and a control that encloses it (its group box), grows by its share; a control
// beyond a list, or under it starting in its right half, moves by it; anything else keeps
// its place and size. Column widths are left as they are.
void StretchWithLists(QDialog* dialog, const QList<PlacedControl>& controls);

// Gives a built dialog extent more pixels on side (Qt::RightEdge or Qt::BottomEdge) and puts
// control there, as if the template had it: in a dialog with lists it takes a share of the
// room as a list does; a dialog without lists stays of fixed size.
void ExtendDialog(QDialog* dialog, QWidget* control, Qt::Edge side, int extent);

} // namespace platform
