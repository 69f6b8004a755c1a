#pragma once
// Layout of a byte text that needs no window: character boundaries, lines,
// and wrapping lines into rows of a given pixel width. The text is code page
// 932 unless told otherwise; UTF-8 and UTF-16 texts (see encoding.h) are laid
// out by the same rules, their characters found around each position asked
// about, and in UTF-16 the line ends and TABs are 2-byte units.
//
// A line ends at a line feed, at a CR LF pair or at a CR alone; the line end
// is not drawn. Rows are the wrapped pieces of a line.
//
// Every answer looks only at the neighbourhood of the position asked about,
// helped by work done once and kept: a character boundary depends on where a
// run of lead-range bytes starts, which may be far back, so the pairing state
// is kept every few KiB (each stretch worked out once, when first asked) and
// no boundary question looks back further than one such checkpoint; and the
// two ends of a long line are found by one scan and kept. So a 100 MB text
// costs nothing up front, and its far end costs one pass over the bytes at
// most, once, whatever the bytes are.
#include <QtGlobal>

#include <array>
#include <vector>

#include "core/viewer/encoding.h"

namespace textlayout {

using textenc::Encoding;

// True when pos does not fall between the two bytes of a double-byte
// character, given a position known (at or before pos) to be a character
// boundary; looks back no further than that position. For short texts, with
// known = 0.
bool isCharBoundaryAfter(const char* text, qsizetype size, qsizetype known, qsizetype pos);

// Character boundaries of one text. Each byte that cannot start a pair ends a
// character, so the characters of a run of possible lead bytes pair off from
// the run's start. The index keeps the pairing state every kCheckpoint bytes
// (worked out when first needed, each stretch of the text once) and the last
// run of lead bytes it looked at, so no question walks back further than the
// last checkpoint, and questions about neighbouring positions cost next to
// nothing.
class CharIndex {
public:
    static constexpr qsizetype kCheckpoint = 4096;

    void setText(const char* text, qsizetype size, Encoding enc = Encoding::Cp932);
    Encoding encoding() const { return m_enc; }

    // True when pos (0..size) does not fall inside a character (between the
    // two bytes of a double-byte one).
    bool isCharBoundary(qsizetype pos) const;
    // The start of the character that holds the byte at pos (pos itself when
    // it is a boundary). A CR LF pair counts as one character.
    qsizetype charStart(qsizetype pos) const;
    // The next and the previous character boundary; CR LF is stepped over as one.
    qsizetype nextChar(qsizetype pos) const;
    qsizetype prevChar(qsizetype pos) const;

    // The first byte at or after pos that is no lead byte (or limit); the
    // bytes in between are remembered as one run, so questions about them
    // are answered without looking again. Code page 932 only (pos otherwise).
    qsizetype leadRunEnd(qsizetype pos, qsizetype limit) const;

    // Bytes looked at so far to answer the questions above (the work done).
    qsizetype bytesExamined() const { return m_examined; }

private:
    bool oddRunBefore(qsizetype pos) const;
    bool oddAtCheckpoint(qsizetype k) const;

    const char* m_text = nullptr;
    qsizetype m_size = 0;
    Encoding m_enc = Encoding::Cp932;
    // Per checkpoint k: the length mod 2 of the run of lead bytes before
    // k * kCheckpoint, or -1 while unknown.
    mutable std::vector<signed char> m_checkpoints;
    // [m_runFrom, m_runTo) holds only lead bytes, with m_runOdd the length
    // mod 2 of the run before m_runFrom.
    mutable qsizetype m_runFrom = 0;
    mutable qsizetype m_runTo = 0;
    mutable bool m_runOdd = false;
    mutable qsizetype m_examined = 0;
};

// First byte of the line that holds pos, and the end of its drawn bytes (the
// position of its CR, LF or CR LF; size for the last line). The bytes of a
// line end belong to the line they end.
qsizetype lineStart(const char* text, qsizetype size, qsizetype pos, Encoding enc = Encoding::Cp932);
qsizetype lineEndAt(const char* text, qsizetype size, qsizetype pos, Encoding enc = Encoding::Cp932);
// The start of the line after the line end at end (end < size).
qsizetype afterLineEndUtf16(const char* text, qsizetype size, qsizetype end, Encoding enc);
inline qsizetype afterLineEnd(const char* text, qsizetype size, qsizetype end, Encoding enc = Encoding::Cp932)
{
    if (textenc::isUtf16(enc))
        return afterLineEndUtf16(text, size, end, enc);
    return (text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') ? end + 2 : end + 1;
}

// Pixel advances: a single-byte character is one half-width cell, a
// double-byte one a full-width cell, and a TAB goes to the next tab stop. In
// a Unicode text, wide characters take a full-width cell, the others a
// half-width one, a byte that is no character one half-width cell (its
// placeholder) and the byte order mark none.
struct Metrics {
    int half = 1;
    int full = 2;
    int tab = 8;  // distance between tab stops
};

inline int nextTabStop(int x, const Metrics& m) { return m.tab > 0 ? (x / m.tab + 1) * m.tab : x + m.half; }

int unicodeAdvance(const char* text, qsizetype pos, int len, int x, const Metrics& m, Encoding enc);

// Advance of the character at pos (length len) drawn at x.
inline int charAdvance(const char* text, qsizetype pos, int len, int x, const Metrics& m,
                       Encoding enc = Encoding::Cp932)
{
    if (enc != Encoding::Cp932)
        return unicodeAdvance(text, pos, len, x, m, enc);
    if (len == 2)
        return m.full;
    return text[pos] == '\t' ? nextTabStop(x, m) - x : m.half;
}

// Wraps the bytes [from, to) (no line end inside) into rows no wider than width
// pixels; a row holds at least one character. Returns the row starts, the
// first being from.
std::vector<qsizetype> wrapRows(const char* text, qsizetype size, qsizetype from, qsizetype to, const Metrics& m,
                                int width, Encoding enc = Encoding::Cp932);

// The x of position pos in the row starting at rowStart, and the boundary in
// [rowStart, rowEnd] nearest to x.
int xOfPos(const char* text, qsizetype size, qsizetype rowStart, qsizetype pos, const Metrics& m,
           Encoding enc = Encoding::Cp932);
qsizetype posAtX(const char* text, qsizetype size, qsizetype rowStart, qsizetype rowEnd, int x, const Metrics& m,
                 Encoding enc = Encoding::Cp932);

// Rows of a whole text, found lazily around the positions asked about. Lines
// longer than kSegment bytes are cut into segments of about that size, each
// starting a row of its own, so no answer costs more than a few segments.
class Layout {
public:
    static constexpr qsizetype kSegment = 16384;

    void setText(const char* text, qsizetype size, Encoding enc = Encoding::Cp932);
    Encoding encoding() const { return m_chars.encoding(); }
    void setMetrics(const Metrics& m, int width);
    const Metrics& metrics() const { return m_metrics; }
    const CharIndex& chars() const { return m_chars; }
    int width() const { return m_width; }

    struct Block {
        qsizetype start = 0;
        qsizetype end = 0;    // end of the drawn bytes (before the line end)
        qsizetype next = -1;  // start of the following block, -1 after the last
        bool endsLine() const { return next < 0 || next > end; }
    };
    // The block (line or segment of a long line) holding pos; pos = size is
    // in the last block.
    Block blockAt(qsizetype pos) const;
    const std::vector<qsizetype>& rowsOf(const Block& b) const;

    // Start and end (before CR LF or the next row) of the row holding pos.
    qsizetype rowStartAt(qsizetype pos) const;
    qsizetype rowEnd(qsizetype rowStart) const;
    // The row starts around a row start; -1 when there is none.
    qsizetype nextRowStart(qsizetype rowStart) const;
    qsizetype prevRowStart(qsizetype rowStart) const;
    // True when the row ends at a line end (or the end of the text), false
    // when the line continues on the next row.
    bool rowEndsLine(qsizetype rowStart) const;

private:
    qsizetype segmentStart(qsizetype lineStart, qsizetype k) const;
    void lineAround(qsizetype pos, qsizetype* start, qsizetype* end) const;

    const char* m_text = nullptr;
    qsizetype m_size = 0;
    Metrics m_metrics;
    int m_width = 80;

    CharIndex m_chars;
    // The last long lines looked up, so the scan to the ends of a 100 MB line
    // is done once, also where two long lines meet on screen.
    struct LongLine {
        qsizetype start = -1;
        qsizetype end = -1;  // the line end, or the text's size
    };
    mutable std::array<LongLine, 4> m_longLines;
    mutable unsigned m_longLineNext = 0;

    struct CachedRows {
        qsizetype start = -1;
        qsizetype end = -1;
        std::vector<qsizetype> rows;
    };
    mutable std::array<CachedRows, 8> m_cache;
    mutable unsigned m_cacheNext = 0;
};

// Lines counted between line feeds only (wrapped rows and CRs alone do not
// start lines here), indexed lazily: one LF count per 64 KiB chunk, built only as far as asked.
// In UTF-16 a line feed is the 2-byte unit.
class LineIndex {
public:
    void setText(const char* text, qsizetype size, Encoding enc = Encoding::Cp932);
    qsizetype lineOf(qsizetype pos);        // line number holding pos
    qsizetype lineStartOf(qsizetype line);  // first byte of the line, -1 past the last line
    qsizetype lineCount();                  // LF count + 1

private:
    static constexpr qsizetype kChunk = 65536;
    void buildTo(qsizetype chunks);
    qsizetype chunkTotal() const { return (m_size + kChunk - 1) / kChunk; }
    qsizetype countLf(qsizetype from, qsizetype to) const;
    // The first line feed in [from, limit), or -1.
    qsizetype nextLf(qsizetype from, qsizetype limit) const;

    const char* m_text = nullptr;
    qsizetype m_size = 0;
    Encoding m_enc = Encoding::Cp932;
    std::vector<qsizetype> m_before;  // m_before[k] = LFs in [0, k * kChunk)
};

}  // namespace textlayout
