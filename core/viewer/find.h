#pragma once
// Text search in the bytes of a code page 932, UTF-8 or UTF-16 text.
#include <QByteArray>

namespace textlayout {
class CharIndex;
}

// Finds pattern in text[start, end) (end -1 = the end of the text) and returns
// the position of the first match, or -1; *foundEnd (when given) receives the
// end of the match. Letters compare without case: ASCII, full-width Latin
// (8260-8279 with 8281-829A), Greek (839F-83B6 with 83BF-83D6), Cyrillic
// (8440-8460 with 8470-8491) and the Roman numerals, whose upper case is at
// 8754-875D and FA4A-FA53 and lower case at EEEF-EEF8 and FA40-FA49 (a
// numeral finds all four of its codes). Half-width and full-width forms stay
// distinct. A match starts only on a character boundary, never on the second
// byte of a double-byte character, and does not end inside one. An empty
// pattern matches nothing.
//
// In a UTF-8 or UTF-16 text (told by chars' encoding; the pattern is then in
// the same encoding) characters compare by their simple Unicode case folding,
// so every letter with a simple case mapping matches its other case, and
// full-width and half-width forms stay distinct. A match starts and ends on
// character boundaries only. The work is linear in end - start for any bytes.
//
// chars, when given, is the character index of the same text; searches that
// share one (find previous asks for many small windows) never work out a
// boundary twice. Besides what the index looks at to place start among the
// characters, the work is linear in end - start for any bytes.
qint64 findText(const QByteArray& text, qint64 start, qint64 end, const QByteArray& pattern, qint64* foundEnd,
                const textlayout::CharIndex* chars = nullptr);
