// Turns the panel description file into the panel model.
#pragma once

#include "panel/panelmodel.h"

#include <QString>

class QWidget;

// What the loader needs of the window: moving and sizing it, its client size afterwards, and
// an owner for the message box.
class PanelSite {
public:
    virtual ~PanelSite() = default;
    // Moves the window to x, y and gives it width by height screen pixels.
    virtual void placePanel(int x, int y, int width, int height) = 0;
    virtual QSize panelClientSize() const = 0;
    virtual QWidget* panelOwner() = 0;
    // What the window takes beyond its client area (its menu bar): by default the owner's size
    // less the client size; nothing without an owner.
    virtual QSize panelFrameExtra();
};

// Fills model from the file at path; false when the file cannot be opened (after saying so)
// or names no background. Bitmap paths are used as written; a relative one is taken from the
// file's directory, and backslashes are read as separators.
//
// The file's width and height are those of the panel, the client area its pictures are drawn
// for: the window is made larger by what its menu bar takes, whatever the desktop's menu font,
// so that the pictures and the coordinates meet. Both are held to 1 ... the largest picture
// PanelDib takes (a size of 0 or less takes the default). Under TALVEX_SNAPSHOT a file that
// cannot be opened ends the program with status 1 after saying so on standard error: an
// unattended run has nobody to answer a message box.
bool LoadPanel(const QString& path, PanelModel& model, PanelSite& site);

// The file's name in the system directory.
inline constexpr const char* kPanelFileName = "Talvex.properties";

// A bitmap path of the file as the loader uses it: empty when longer than 99 characters.
QString PanelBitmapPath(const QString& panelDir, const QString& value);
