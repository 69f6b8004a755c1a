#pragma once
// Texts of the preview: the display filter, grouped numbers, dates and
// attribute letters.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <ctime>

// Keeps TAB, LF, CR, 0x20–0x7E and 0x80–0xFF; every other byte becomes "^".
// Rewrites the first length bytes in place and stores a NUL just behind them
// (the caller guarantees length + 1 bytes of room). Returns buf.
char* SanitizeForDisplay(char* buf, size_t length);
// The filter of a text handed over in pieces, in order from its first byte.
// A UTF-16 text (its byte order mark starts the first piece) is filtered by
// its 2-byte units instead of its bytes: the bytes of its characters are
// often 0 or control values and must stay, while a control character is
// shown as "^" as in any text. Every other text is filtered byte by byte,
// which leaves UTF-8 intact (its multi-byte sequences hold no byte below 0x80).
// The pieces lie one after the other in one buffer, with one byte of room
// behind the last.
class DisplayFilter {
public:
    void operator()(char* piece, uint64_t length);

private:
    uint64_t m_done = 0;
    bool m_utf16 = false;
    bool m_littleEndian = true;
};

// The same filter on a whole text, in place.
void SanitizeForDisplay(QByteArray& bytes);

// "1,234,567": groups of three digits from the right. Sizes are 64-bit.
QString FormatGroupedNumber(uint64_t value);

// "2001.3.7" from a time stamp, in local time.
QString localDateText(std::time_t t);
// "2001.3.7" from an MS-DOS date (bits 15–9 year − 1980, 8–5 month, 4–0 day).
QString dosDateText(uint16_t d);

enum : uint8_t { AttrReadOnly = 0x01, AttrHidden = 0x02, AttrSystem = 0x04, AttrDirectory = 0x10, AttrArchive = 0x20 };
// "R", "H", "S", "A" in this order, for the bits that are set.
QString attributeLetters(unsigned attributes);
