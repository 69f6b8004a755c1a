#pragma once
// Code page 932 (Windows-31J): the byte form of every text the content pane
// shows, searches and prints.
#include <QByteArray>
#include <QString>

namespace cp932 {

// True when b starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Decodes bytes for display. A byte or pair that does not decode becomes one
// visible placeholder per byte and never swallows the byte after it.
QString toUnicode(const QByteArray& bytes);

// Encodes a program text (messages, typed search text). Characters code page
// 932 lacks become "?".
QByteArray fromUnicode(const QString& text);

}  // namespace cp932
