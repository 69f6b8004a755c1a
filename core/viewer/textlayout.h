#pragma once
// Layout of a code page 932 byte text that needs no window: character
// boundaries, lines, and wrapping lines into rows of a given pixel width.
//
// A line is the bytes between two line feeds; a CR right before the LF is not
// drawn. Rows are the wrapped pieces of a line. Nothing here walks the whole
// text: every answer looks only at the neighbourhood of the position asked
// about, so a 100 MB text costs nothing up front.
#include <QtGlobal>

#include <array>
#include <vector>

namespace textlayout {

// True when pos (0..size) does not fall between the two bytes of a
// double-byte character. Looks back only over the run of possible lead bytes
// before pos.
bool isCharBoundary(const char* text, qsizetype size, qsizetype pos);

// The start of the character that holds the byte at pos (pos itself when it
// is a boundary). A CR LF pair counts as one character.
qsizetype charStart(const char* text, qsizetype size, qsizetype pos);

// The next and the previous character boundary; CR LF is stepped over as one.
qsizetype nextChar(const char* text, qsizetype size, qsizetype pos);
qsizetype prevChar(const char* text, qsizetype size, qsizetype pos);

// First byte of the line that holds pos, and the position of its LF (size for
// the last line).
qsizetype lineStart(const char* text, qsizetype size, qsizetype pos);
qsizetype lineFeedAt(const char* text, qsizetype size, qsizetype pos);

// Pixel advances: a single-byte character is one half-width cell, a
// double-byte one a full-width cell, and a TAB goes to the next tab stop.
struct Metrics {
    int half = 1;
    int full = 2;
    int tab = 8;  // distance between tab stops
};

inline int nextTabStop(int x, const Metrics& m) { return m.tab > 0 ? (x / m.tab + 1) * m.tab : x + m.half; }

// Advance of the character at pos (length len) drawn at x.
inline int charAdvance(const char* text, qsizetype pos, int len, int x, const Metrics& m)
{
    if (len == 2)
        return m.full;
    return text[pos] == '\t' ? nextTabStop(x, m) - x : m.half;
}

// Wraps the bytes [from, to) (no LF inside) into rows no wider than width
// pixels; a row holds at least one character. Returns the row starts, the
// first being from.
std::vector<qsizetype> wrapRows(const char* text, qsizetype size, qsizetype from, qsizetype to, const Metrics& m,
                                int width);

// The x of position pos in the row starting at rowStart, and the boundary in
// [rowStart, rowEnd] nearest to x.
int xOfPos(const char* text, qsizetype size, qsizetype rowStart, qsizetype pos, const Metrics& m);
qsizetype posAtX(const char* text, qsizetype size, qsizetype rowStart, qsizetype rowEnd, int x, const Metrics& m);

// Rows of a whole text, found lazily around the positions asked about. Lines
// longer than kSegment bytes are cut into segments of about that size, each
// starting a row of its own, so no answer costs more than a few segments.
class Layout {
public:
    static constexpr qsizetype kSegment = 16384;

    void setText(const char* text, qsizetype size);
    void setMetrics(const Metrics& m, int width);
    const Metrics& metrics() const { return m_metrics; }
    int width() const { return m_width; }

    struct Block {
        qsizetype start = 0;
        qsizetype end = 0;   // end of the drawn bytes (before CR LF)
        qsizetype next = -1;  // start of the following block, -1 after the last
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
    // True when the row ends at a line feed (or the end of the text), false
    // when the line continues on the next row.
    bool rowEndsLine(qsizetype rowStart) const;

private:
    qsizetype segmentStart(qsizetype lineStart, qsizetype k) const;
    void lineAround(qsizetype pos, qsizetype* start, qsizetype* lf) const;

    const char* m_text = nullptr;
    qsizetype m_size = 0;
    Metrics m_metrics;
    int m_width = 80;

    // The last long line looked up: memrchr/memchr over a 100 MB line is done once.
    mutable qsizetype m_lineStart = -1;
    mutable qsizetype m_lineFeed = -1;

    struct CachedRows {
        qsizetype start = -1;
        qsizetype end = -1;
        std::vector<qsizetype> rows;
    };
    mutable std::array<CachedRows, 8> m_cache;
    mutable unsigned m_cacheNext = 0;
};

// Lines counted between line feeds (wrapped rows are not lines), indexed
// lazily: one LF count per 64 KiB chunk, built only as far as asked.
class LineIndex {
public:
    void setText(const char* text, qsizetype size);
    qsizetype lineOf(qsizetype pos);        // line number holding pos
    qsizetype lineStartOf(qsizetype line);  // first byte of the line, -1 past the last line
    qsizetype lineCount();                  // LF count + 1

private:
    static constexpr qsizetype kChunk = 65536;
    void buildTo(qsizetype chunks);
    qsizetype chunkTotal() const { return (m_size + kChunk - 1) / kChunk; }

    const char* m_text = nullptr;
    qsizetype m_size = 0;
    std::vector<qsizetype> m_before;  // m_before[k] = LFs in [0, k * kChunk)
};

}  // namespace textlayout
