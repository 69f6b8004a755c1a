#pragma once
// What a choice in the font dialog becomes: the LOGFONT record kept for a
// pane, and the file list's item height.
#include <string>

#include "core/settings/logfont.h"

// Item height in pixels for a font of pointTenths tenths of a point on a
// display of dpiY logical pixels per inch, truncated: 9 pt at 96 dpi is 12.
int itemHeightFor(int dpiY, int pointTenths);

struct FontChoice {
    std::string family;  // UTF-8
    int pointTenths = 100;
    int weight = 400;
    bool italic = false;
};

// The record after the dialog: the chosen face, size (as a character height
// in pixels at dpiY, negative), weight and slant; every other field, the
// underline and strike-out among them, stays as it was. A face name longer
// than the record holds is cut at a character boundary.
LOGFONT applyFontChoice(const LOGFONT& before, const FontChoice& choice, int dpiY);
