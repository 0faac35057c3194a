#include "dialogs.h"

#include <iterator>

namespace res {

namespace {

constexpr int S = -1; // unaddressed label

const DlgItem kAbout[] = {
    {Ctl::Static, S, "The information for development:", 40, 12, 180, 10, None},
    {Ctl::Static, S, "Firmware version: 3.2.7", 40, 28, 180, 10, None},
    {Ctl::Static, S, "Hardware version: B.04", 40, 42, 180, 10, None},
    {Ctl::DefButton, 1, "OK", 178, 62, 50, 14, None},
};

const DlgItem kPanel[] = {
    {Ctl::DefButton, 1025, "", 0, 0, 1, 1, Hidden},
};

const DlgItem kSmartTrunk[] = {
    {Ctl::Static, S, "Smart Trunk", 10, 10, 150, 10, None},
    {Ctl::DefButton, 1, "OK", 60, 40, 50, 14, None},
    {Ctl::Button, 2, "Cancel", 116, 40, 50, 14, None},
};

#define TEMPLATE(id, caption, w, h, items) {id, caption, w, h, "Arial", 9, items, int(std::size(items))}

const DlgTemplate kTemplates[] = {
    TEMPLATE(100, "About Talvex Module", 240, 84, kAbout),
    TEMPLATE(102, "Talvex", 320, 91, kPanel),
    TEMPLATE(131, "Smart Trunk", 176, 62, kSmartTrunk),
};

} // namespace

const DlgTemplate* Dialog(int id) {
    for (const DlgTemplate& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}

} // namespace res
