#pragma once
// The view's persistent settings with their defaults, and the order in which
// they are read from and written to the profile.
#include <QByteArray>

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

WindowRect loadWindowRect(Profile& p);
void saveWindowRect(Profile& p, const WindowRect& r);
