#pragma once
// The program's icon (a green folder holding a page of text), built into the
// executable: the main window, the version box and the desktop entry show it.
#include <QIcon>

// The icon at 16, 32, 48 and 128 pixels; Qt picks or scales the nearest.
QIcon appIcon();
