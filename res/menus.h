// Menu resources. A menu is a flat list: popups open a level, End closes it.
#pragma once

namespace res {

enum class Item { Command, Popup, Separator, End };

struct MenuItem {
    Item kind;
    const char* text;
    int id; // command id for Command items
};

// Menu 175, the main panel window's menu bar, ended by an End at level 0.
extern const MenuItem kMenu175[];

} // namespace res
