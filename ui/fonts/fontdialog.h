#pragma once
// Qt's font dialog as the font commands use it: started from a pane's LOGFONT,
// its choice read back as face, size in tenths of a point, weight and slant.
#include <QFont>

#include "core/settings/fontchoice.h"
#include "core/settings/logfont.h"

class QFontDialog;

// Sets the dialog up: our own (not the desktop's) dialog, the record's font
// at its size in points on a display of dpiY, no vertical ("@") faces, and no
// effects: underline and strike-out are not offered.
void prepareFontDialog(QFontDialog& dlg, const LOGFONT& lf, int dpiY);

// What the dialog holds now; underline and strike-out are never part of it.
FontChoice fontChoiceOf(const QFontDialog& dlg);
