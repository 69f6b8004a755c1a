#pragma once
// EUC-JP to Shift-JIS conversion of the text the content pane holds.
#include <QByteArray>

// Converts EUC-JP bytes to Shift-JIS with the plain JIS-to-Shift-JIS
// arithmetic, without any validation: every byte >= 0x80 other than 0x8E and
// 0x8F starts a pair, 0x8E takes the next byte as a half-width katakana, and
// a lead byte at the very end pairs with the text's terminating 0. 0x8F and
// the two bytes after it are one JIS X 0212 character: its code page 932 code
// where it has one (as nkf -x -E -s gives it), else the geta mark 81 AC. The
// result is cut at its first NUL byte, where the pane's text ends.
QByteArray ConvertEucToSjisBytes(const QByteArray& in);
