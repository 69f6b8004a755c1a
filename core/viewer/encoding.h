#pragma once
// The encodings the content pane tells apart: code page 932 (Shift-JIS, the
// default), UTF-8 and UTF-16 in either byte order. The pane always keeps a
// text's bytes as they are; these helpers find its characters and decode them.
//
// Every character question here is answered from at most four bytes around
// the position asked about: UTF-8 sequences synchronise themselves, and
// UTF-16 characters are the 2-byte units from the text's start, with a
// surrogate pair taken as one.
#include <QByteArray>
#include <QString>

namespace textenc {

enum class Encoding : unsigned char { Cp932, Utf8, Utf16LE, Utf16BE };

inline bool isUtf16(Encoding e) { return e == Encoding::Utf16LE || e == Encoding::Utf16BE; }

// How many bytes decide: the first 64 KiB.
inline constexpr qsizetype kDetectLimit = 65536;

// UTF-16 by its byte order mark; UTF-8 by its mark, or when the first 64 KiB
// are valid UTF-8 with at least one multi-byte sequence (a sequence cut off
// by the end of the given bytes still counts as valid); code page 932
// otherwise, which includes pure ASCII.
Encoding detect(const char* text, qsizetype size);
inline Encoding detect(const QByteArray& text) { return detect(text.constData(), text.size()); }

// Length of the byte order mark a text of this encoding starts with (0 when none).
int bomLength(Encoding e, const char* text, qsizetype size);

// Length (2-4) of the well-formed UTF-8 sequence at p, or 0 when none starts
// there (a continuation byte, a bad or missing continuation, an overlong
// form, a surrogate or a value past U+10FFFF).
int utf8SequenceLength(const unsigned char* p, qsizetype avail);

// The 2-byte unit at pos of a UTF-16 text (pos + 2 <= size).
inline char16_t unitAt(const char* text, qsizetype pos, Encoding e)
{
    const auto a = static_cast<unsigned char>(text[pos]);
    const auto b = static_cast<unsigned char>(text[pos + 1]);
    return e == Encoding::Utf16LE ? char16_t(a | (b << 8)) : char16_t((a << 8) | b);
}

// True when pos (0..size) does not fall inside a character of a Unicode text.
bool isBoundary(Encoding e, const char* text, qsizetype size, qsizetype pos);

// Length in bytes of the character at the boundary pos (pos < size). A byte
// that starts no valid UTF-8 character is a character of its own; in UTF-16
// a lone surrogate is a 2-byte character that decodes to nothing, and an odd
// last byte a character of its own. In code page 932 this is cp932::charLength.
int charLength(Encoding e, const char* text, qsizetype size, qsizetype pos);

// The character of length len at pos as a code point, or 0 when the bytes
// are no character (each of them is then shown as a placeholder). A NUL
// decodes to 0 as well.
char32_t decodeAt(Encoding e, const char* text, qsizetype pos, int len);

// The text's bytes as Unicode; bytes that are no character become one
// U+FFFD each.
QString toUnicode(Encoding e, const char* text, qsizetype size);

// A program text (a typed search text) in the encoding; characters code page
// 932 lacks become "?", and *complete (when given) tells whether there were none.
QByteArray fromUnicode(Encoding e, const QString& text, bool* complete = nullptr);

// True for a character drawn in a full-width cell: East Asian wide and
// full-width forms, and emoji.
bool isWide(char32_t c);

// Keeps TAB, LF and CR and turns every other control character and DEL into
// "^", as the display filter does with bytes, but by the 2-byte units of a
// UTF-16 text (whose bytes are often 0). from is the offset of piece within
// the whole text; a unit split by a piece boundary is filtered with the
// piece that holds its second byte, reading its first byte at piece[-1].
void filterUtf16(Encoding e, char* piece, qsizetype length, qsizetype from);

}  // namespace textenc
