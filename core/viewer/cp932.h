#pragma once
// Code page 932 (Windows-31J): the byte form of every text the content pane
// shows, searches and prints.
#include <QByteArray>
#include <QString>

namespace cp932 {

// True when b starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True when b can be the second byte of a double-byte character.
inline bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// What a byte that does not decode is shown as: one placeholder per byte.
// (the pane draws it as a small box one half-width cell wide)
inline constexpr char16_t kPlaceholder = u'\uFFFD';

// Length in bytes (1 or 2) of the character that starts at p, given that
// avail bytes (at least 1) are readable there. A lead byte whose next byte is
// missing or cannot be a trail byte is a character of its own.
inline int charLength(const char* p, qsizetype avail)
{
    return (avail >= 2 && isLeadByte(static_cast<unsigned char>(p[0])) && isTrailByte(static_cast<unsigned char>(p[1])))
        ? 2
        : 1;
}

// The UTF-16 code of a single byte, or 0 when the byte is no character
// (0x80, 0xA0, 0xFD-0xFF and lone lead bytes). 0x00 itself decodes to 0.
char16_t decodeSingle(unsigned char b);

// The UTF-16 code of a double-byte character, or 0 when the pair is unassigned.
char16_t decodePair(unsigned char lead, unsigned char trail);

// Decodes bytes for display. A byte or pair that does not decode becomes one
// visible placeholder per byte and never swallows the byte after it.
QString toUnicode(const QByteArray& bytes);
QString toUnicode(const char* bytes, qsizetype size);

// Encodes a program text (messages, typed search text). Characters code page
// 932 lacks become "?"; *complete (when given) tells whether there were none.
QByteArray fromUnicode(const QString& text, bool* complete = nullptr);

}  // namespace cp932
