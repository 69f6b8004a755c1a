#pragma once
// The view's persistent settings with their defaults, and the order in which
// they are read from and written to the profile.
#include <QByteArray>

#include <vector>

#include "core/settings/logfont.h"
#include "core/settings/profile.h"

struct WindowRect {
    int left = 0, top = 0, right = 200, bottom = 150;
    bool operator==(const WindowRect&) const = default;
};

struct Settings {
    LOGFONT listLogFont;
    int listItemHeight = 18;
    LOGFONT editLogFont;
    int editPointSize = 10;  // tenths of a point
    int marginTop = 10, marginBottom = 10, marginLeft = 10, marginRight = 10;  // millimetres
    QByteArray startPath = "c:";
    QByteArray editorPath = "c:\\windows\\notepad.exe";
};

void loadSettings(Profile& p, Settings& s);
// Writes every setting (defaults too). rect is the main window's restored rectangle.
void saveSettings(Profile& p, const Settings& s, const WindowRect& rect);

// The saved rectangle as it is: no check against the screens (see placeWindow).
WindowRect loadWindowRect(Profile& p);
void saveWindowRect(Profile& p, const WindowRect& r);

// The height of the strip at a window's top edge that must reach a screen.
inline constexpr int kTitleStrip = 32;
// Qt's own limit on a window's width and height.
inline constexpr int kMaxWindowExtent = 16777215;

// Where the window opens: the saved rectangle, unless it has no positive
// width or height, is larger than any window can be, or puts no part of its
// title strip on any of the screens; then the first-run rectangle, 200 x 150
// at the top left.
WindowRect placeWindow(const WindowRect& saved, const std::vector<WindowRect>& screens);
