#pragma once
// Turns a LOGFONT record into the Qt font the panes draw with.
#include <QFont>

#include "core/settings/logfont.h"

// Height follows the Win32 sign convention: negative is the character height
// in pixels, positive the cell height (character height plus internal leading).
// The face "System" (and any face this machine lacks) becomes a font with the
// Japanese glyphs.
QFont fontFromLogFont(const LOGFONT& lf);
