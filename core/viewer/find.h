#pragma once
// Text search in code page 932 bytes.
#include <QByteArray>

// Finds pattern in text[start, end) (end -1 = the end of the text) and returns
// the position of the first match, or -1; *foundEnd (when given) receives the
// end of the match. Letters compare without case: ASCII A-Z/a-z and the
// full-width Latin letters (0x8260-0x8279 against 0x8281-0x829A). A match
// starts only on a character boundary, never on the second byte of a
// double-byte character, and does not end inside one. An empty pattern
// matches nothing.
qint64 findText(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd);
