// Dialog templates: each dialog's caption, size and controls in dialog units, with the control
// ids the code and the tests address them by. The platform layer builds widgets from them.
#pragma once

namespace res {

enum class Ctl {
    Static, // text label
    Value,  // static text that shows a value (sunken)
    Edit,
    Button,
    DefButton, // the default push button
    Check,
    Group,
    List,      // list view in report mode
    ModelList, // the same list as a view on a model the page sets: for lists of many rows
    Combo,     // drop-down list
};

enum CtlFlags : unsigned {
    None = 0,
    Hidden = 1,
    ReadOnly = 2,
    Disabled = 4,
    Large = 8, // a multi-line static text
    Digits = 16, // an edit that takes digits only
    MultiSelect = 32, // a list in which several rows can be selected (else one)
};

struct DlgItem {
    Ctl kind;
    int id; // -1 for labels nobody addresses
    const char* text;
    int x, y, w, h;
    unsigned flags;
};

struct DlgTemplate {
    int id;
    const char* caption;
    int w, h;
    const char* font;
    int pointSize;
    const DlgItem* items;
    int count;
};

// The template of dialog id, or null.
const DlgTemplate* Dialog(int id);

} // namespace res
