#include "core/viewer/textlayout.h"

#include "core/viewer/bytescan.h"
#include "core/viewer/cp932.h"

#include <algorithm>
#include <cstring>

namespace textlayout {
namespace {

inline unsigned char byteAt(const char* text, qsizetype pos) { return static_cast<unsigned char>(text[pos]); }

// A CR right before an LF is part of the line end that the LF completes.
inline bool isLoneLineEnd(const char* text, qsizetype size, qsizetype pos)
{
    return text[pos] == '\n' || pos + 1 >= size || text[pos + 1] != '\n';
}

// UTF-16: true when a whole unit at pos (even) is the character c.
inline bool unitIs(const char* text, qsizetype size, qsizetype pos, Encoding enc, char16_t c)
{
    return pos >= 0 && pos % 2 == 0 && pos + 2 <= size && textenc::unitAt(text, pos, enc) == c;
}

inline bool isLineEndUnit(char16_t c, bool lfOnly) { return c == u'\n' || (!lfOnly && c == u'\r'); }

#ifdef __SSE2__
// One bit per unit of the 16 bytes at p (at an even offset), on the unit's
// first byte, set where the unit is an LF (or a CR, unless lfOnly).
inline unsigned lineEndUnits(const unsigned char* p, Encoding enc, bool lfOnly)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i low = _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'));
    if (!lfOnly)
        low = _mm_or_si128(low, _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    const unsigned l = unsigned(_mm_movemask_epi8(low));
    const unsigned z = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
    return (enc == Encoding::Utf16LE ? l & (z >> 1) : z & (l >> 1)) & 0x5555u;
}
#endif

// UTF-16: the first whole unit in [from, to) (from even) that is a line end
// (an LF only when lfOnly), or to. Sixteen bytes at a time where the
// processor allows.
qsizetype firstLineEndUnit(const char* text, qsizetype from, qsizetype to, Encoding enc, bool lfOnly = false)
{
    qsizetype u = from;
#ifdef __SSE2__
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (; to - u >= 16; u += 16) {
        if (const unsigned m = lineEndUnits(p + u, enc, lfOnly))
            return u + __builtin_ctz(m);
    }
#endif
    for (; u + 2 <= to; u += 2) {
        if (isLineEndUnit(textenc::unitAt(text, u, enc), lfOnly))
            return u;
    }
    return to;
}

// UTF-16: the last whole unit that is a line end and ends at or before pos, or -1.
qsizetype lastLineEndUnit(const char* text, qsizetype pos, Encoding enc)
{
    qsizetype u = pos - pos % 2;  // the end of the units looked at
#ifdef __SSE2__
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (; u >= 16; u -= 16) {
        if (const unsigned m = lineEndUnits(p + u - 16, enc, false))
            return u - 16 + (31 - __builtin_clz(m));
    }
#endif
    for (; u >= 2; u -= 2) {
        if (isLineEndUnit(textenc::unitAt(text, u - 2, enc), false))
            return u - 2;
    }
    return -1;
}

qsizetype lineStartUtf16(const char* text, qsizetype size, qsizetype pos, Encoding enc)
{
    qsizetype j = lastLineEndUnit(text, pos, enc);
    // Only the CR of a CR LF whose LF is at pos can be found here.
    while (j >= 0 && unitIs(text, size, j, enc, u'\r') && unitIs(text, size, j + 2, enc, u'\n'))
        j = lastLineEndUnit(text, j, enc);
    return j < 0 ? 0 : j + 2;
}

qsizetype lineEndAtUtf16(const char* text, qsizetype size, qsizetype pos, Encoding enc)
{
    pos -= pos % 2;
    if (unitIs(text, size, pos, enc, u'\n') && unitIs(text, size, pos - 2, enc, u'\r'))
        return pos - 2;
    return firstLineEndUnit(text, pos, size, enc);
}

}  // namespace

qsizetype afterLineEndUtf16(const char* text, qsizetype size, qsizetype end, Encoding enc)
{
    if (unitIs(text, size, end, enc, u'\r') && unitIs(text, size, end + 2, enc, u'\n'))
        return end + 4;
    return std::min(end + 2, size);
}

int unicodeAdvance(const char* text, qsizetype pos, int len, int x, const Metrics& m, Encoding enc)
{
    const char32_t c = textenc::decodeAt(enc, text, pos, len);
    if (c == '\t')
        return nextTabStop(x, m) - x;
    if (c == 0)
        return len * m.half;  // a NUL, or one placeholder per byte
    if (c == 0xFEFF && pos == 0)
        return 0;  // the byte order mark is not shown
    return textenc::isWide(c) ? m.full : m.half;
}

bool isCharBoundaryAfter(const char* text, qsizetype size, qsizetype known, qsizetype pos)
{
    if (pos <= known || pos >= size)
        return true;
    // Past the last byte that cannot start a pair the lead bytes pair off; if
    // there is none, they pair off from the known boundary.
    const qsizetype j = bytescan::lastNonLead(text, known, pos);
    const qsizetype run = j >= known ? pos - j - 1 : pos - known;
    return run % 2 == 0 || !cp932::isTrailByte(byteAt(text, pos));
}

// ---------------------------------------------------------------------------

void CharIndex::setText(const char* text, qsizetype size, Encoding enc)
{
    m_text = text;
    m_size = size;
    m_enc = enc;
    m_checkpoints.assign(size / kCheckpoint + 1, -1);
    m_checkpoints[0] = 0;
    m_runFrom = m_runTo = 0;
    m_runOdd = false;
}

bool CharIndex::oddAtCheckpoint(qsizetype k) const
{
    if (m_checkpoints[k] >= 0)
        return m_checkpoints[k];
    // Go back to the nearest checkpoint whose state is known, or that follows
    // a byte which cannot start a pair; a stretch of lead bytes in between
    // keeps the state (the stretch is of even length).
    qsizetype m = k;
    bool odd = false;
    while (true) {
        if (m_checkpoints[m] >= 0) {
            odd = m_checkpoints[m];
            break;
        }
        const qsizetype to = m * kCheckpoint;
        const qsizetype j = bytescan::lastNonLead(m_text, to - kCheckpoint, to);
        m_examined += j >= to - kCheckpoint ? to - j : kCheckpoint;
        if (j >= to - kCheckpoint) {
            odd = (to - j - 1) % 2;
            break;
        }
        --m;
    }
    for (; m <= k; ++m)
        m_checkpoints[m] = odd;
    return odd;
}

bool CharIndex::oddRunBefore(qsizetype pos) const
{
    if (pos >= m_runFrom && pos <= m_runTo)
        return m_runOdd != ((pos - m_runFrom) % 2 == 1);
    const qsizetype base = pos / kCheckpoint * kCheckpoint;
    // Look back to the checkpoint, or only to the end of the remembered run
    // when that is nearer.
    const bool extend = m_runTo < pos && m_runTo > base;
    const qsizetype from = extend ? m_runTo : base;
    const qsizetype j = bytescan::lastNonLead(m_text, from, pos);
    m_examined += j >= from ? pos - j : pos - from;
    if (j >= from) {
        m_runFrom = j + 1;
        m_runOdd = false;
    } else if (!extend) {
        m_runFrom = base;
        m_runOdd = oddAtCheckpoint(pos / kCheckpoint);
    }
    m_runTo = pos;
    return m_runOdd != ((pos - m_runFrom) % 2 == 1);
}

bool CharIndex::isCharBoundary(qsizetype pos) const
{
    if (pos <= 0 || pos >= m_size)
        return true;
    if (m_enc != Encoding::Cp932)
        return textenc::isBoundary(m_enc, m_text, m_size, pos);
    return !oddRunBefore(pos) || !cp932::isTrailByte(byteAt(m_text, pos));
}

qsizetype CharIndex::leadRunEnd(qsizetype pos, qsizetype limit) const
{
    limit = std::min(limit, m_size);
    if (pos >= limit || m_enc != Encoding::Cp932)
        return pos;
    oddRunBefore(pos);  // pos now lies in the remembered run
    if (m_runTo >= limit)
        return limit;
    const qsizetype end = bytescan::firstNonLead(m_text, m_runTo, limit);
    m_examined += end - m_runTo;
    m_runTo = end;
    return end;
}

qsizetype CharIndex::charStart(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    if (m_enc != Encoding::Cp932) {
        // At most three steps back: no character is longer than four bytes.
        while (!textenc::isBoundary(m_enc, m_text, m_size, pos))
            --pos;
        if (textenc::isUtf16(m_enc)) {
            if (unitIs(m_text, m_size, pos, m_enc, u'\n') && unitIs(m_text, m_size, pos - 2, m_enc, u'\r'))
                return pos - 2;
            return pos;
        }
    }
    if (pos > 0 && pos < m_size && m_text[pos] == '\n' && m_text[pos - 1] == '\r')
        return pos - 1;
    return isCharBoundary(pos) ? pos : pos - 1;
}

qsizetype CharIndex::nextChar(qsizetype pos) const
{
    pos = charStart(pos);
    if (pos >= m_size)
        return m_size;
    if (textenc::isUtf16(m_enc)) {
        if (unitIs(m_text, m_size, pos, m_enc, u'\r') && unitIs(m_text, m_size, pos + 2, m_enc, u'\n'))
            return pos + 4;
    } else if (m_text[pos] == '\r' && pos + 1 < m_size && m_text[pos + 1] == '\n') {
        return pos + 2;
    }
    return pos + textenc::charLength(m_enc, m_text, m_size, pos);
}

qsizetype CharIndex::prevChar(qsizetype pos) const
{
    pos = charStart(pos);
    if (pos <= 0)
        return 0;
    return charStart(pos - 1);
}

// ---------------------------------------------------------------------------

qsizetype lineStart(const char* text, qsizetype size, qsizetype pos, Encoding enc)
{
    pos = std::clamp<qsizetype>(pos, 0, size);
    if (textenc::isUtf16(enc))
        return lineStartUtf16(text, size, pos, enc);
    qsizetype j = bytescan::lastLineEndByte(text, 0, pos);
    // Only the CR of a CR LF whose LF is at pos can be found here.
    while (j >= 0 && !isLoneLineEnd(text, size, j))
        j = bytescan::lastLineEndByte(text, 0, j);
    return j + 1;
}

qsizetype lineEndAt(const char* text, qsizetype size, qsizetype pos, Encoding enc)
{
    pos = std::clamp<qsizetype>(pos, 0, size);
    if (textenc::isUtf16(enc))
        return lineEndAtUtf16(text, size, pos, enc);
    // The LF of a CR LF: the line end starts at the CR.
    if (pos > 0 && pos < size && text[pos] == '\n' && text[pos - 1] == '\r')
        return pos - 1;
    return bytescan::firstLineEndByte(text, pos, size);
}

std::vector<qsizetype> wrapRows(const char* text, qsizetype size, qsizetype from, qsizetype to, const Metrics& m,
                                int width, Encoding enc)
{
    std::vector<qsizetype> rows{from};
    int x = 0;
    qsizetype pos = from;
    while (pos < to) {
        const int len = textenc::charLength(enc, text, std::min(size, to), pos);
        const int advance = charAdvance(text, pos, len, x, m, enc);
        if (x > 0 && x + advance > width) {
            rows.push_back(pos);
            x = 0;
            continue;  // a TAB measures again from the row's left edge
        }
        x += advance;
        pos += len;
    }
    return rows;
}

int xOfPos(const char* text, qsizetype size, qsizetype rowStart, qsizetype pos, const Metrics& m, Encoding enc)
{
    int x = 0;
    qsizetype p = rowStart;
    while (p < pos && p < size) {
        const int len = textenc::charLength(enc, text, size, p);
        x += charAdvance(text, p, len, x, m, enc);
        p += len;
    }
    return x;
}

qsizetype posAtX(const char* text, qsizetype size, qsizetype rowStart, qsizetype rowEnd, int x, const Metrics& m,
                 Encoding enc)
{
    int left = 0;
    qsizetype p = rowStart;
    while (p < rowEnd) {
        const int len = textenc::charLength(enc, text, std::min(size, rowEnd), p);
        const int advance = charAdvance(text, p, len, left, m, enc);
        if (x < left + (advance + 1) / 2)
            return p;
        left += advance;
        p += len;
    }
    return rowEnd;
}

// ---------------------------------------------------------------------------

void Layout::setText(const char* text, qsizetype size, Encoding enc)
{
    m_text = text;
    m_size = size;
    m_chars.setText(text, size, enc);
    m_longLines.fill(LongLine{});
    for (auto& c : m_cache)
        c = CachedRows{};
}

void Layout::setMetrics(const Metrics& m, int width)
{
    m_metrics = m;
    m_width = std::max(1, width);
    for (auto& c : m_cache)
        c = CachedRows{};
}

void Layout::lineAround(qsizetype pos, qsizetype* start, qsizetype* end) const
{
    for (const LongLine& l : m_longLines) {
        if (l.start >= 0 && pos >= l.start
            && pos < (l.end < m_size ? afterLineEnd(m_text, m_size, l.end, encoding()) : m_size + 1)) {
            *start = l.start;
            *end = l.end;
            return;
        }
    }
    *start = lineStart(m_text, m_size, pos, encoding());
    *end = lineEndAt(m_text, m_size, pos, encoding());
    if (*end - *start > kSegment)
        m_longLines[m_longLineNext++ % m_longLines.size()] = LongLine{*start, *end};
}

qsizetype Layout::segmentStart(qsizetype lineStart, qsizetype k) const
{
    qsizetype p = lineStart + k * kSegment;
    while (p > lineStart && !m_chars.isCharBoundary(p))
        ++p;  // at most three bytes on
    return p;
}

Layout::Block Layout::blockAt(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    qsizetype start = 0;
    qsizetype contentEnd = 0;
    lineAround(pos, &start, &contentEnd);
    qsizetype k = (pos - start) / kSegment;
    while (k > 0) {
        const qsizetype s = segmentStart(start, k);
        if (s <= pos && s < contentEnd)
            break;
        --k;
    }
    Block b;
    b.start = segmentStart(start, k);
    const qsizetype following = segmentStart(start, k + 1);
    if (following < contentEnd) {
        b.end = following;
        b.next = following;
    } else {
        b.end = contentEnd;
        b.next = contentEnd < m_size ? afterLineEnd(m_text, m_size, contentEnd, encoding()) : -1;
    }
    return b;
}

const std::vector<qsizetype>& Layout::rowsOf(const Block& b) const
{
    for (const auto& c : m_cache) {
        if (c.start == b.start && c.end == b.end)
            return c.rows;
    }
    CachedRows& slot = m_cache[m_cacheNext++ % m_cache.size()];
    slot.start = b.start;
    slot.end = b.end;
    slot.rows = wrapRows(m_text, m_size, b.start, b.end, m_metrics, m_width, encoding());
    return slot.rows;
}

qsizetype Layout::rowStartAt(qsizetype pos) const
{
    const Block b = blockAt(pos);
    const auto& rows = rowsOf(b);
    auto it = std::upper_bound(rows.begin(), rows.end(), pos);
    return it == rows.begin() ? b.start : *(it - 1);
}

qsizetype Layout::rowEnd(qsizetype rowStart) const
{
    const Block b = blockAt(rowStart);
    const auto& rows = rowsOf(b);
    auto it = std::upper_bound(rows.begin(), rows.end(), rowStart);
    return it == rows.end() ? b.end : *it;
}

bool Layout::rowEndsLine(qsizetype rowStart) const
{
    const Block b = blockAt(rowStart);
    const auto& rows = rowsOf(b);
    if (std::upper_bound(rows.begin(), rows.end(), rowStart) != rows.end())
        return false;
    return b.endsLine();
}

qsizetype Layout::nextRowStart(qsizetype rowStart) const
{
    const Block b = blockAt(rowStart);
    const auto& rows = rowsOf(b);
    auto it = std::upper_bound(rows.begin(), rows.end(), rowStart);
    if (it != rows.end())
        return *it;
    return b.next;
}

qsizetype Layout::prevRowStart(qsizetype rowStart) const
{
    const Block b = blockAt(rowStart);
    const auto& rows = rowsOf(b);
    auto it = std::lower_bound(rows.begin(), rows.end(), rowStart);
    if (it != rows.begin())
        return *(it - 1);
    if (b.start == 0)
        return -1;
    const Block before = blockAt(b.start - 1);
    return rowsOf(before).back();
}

// ---------------------------------------------------------------------------

void LineIndex::setText(const char* text, qsizetype size, Encoding enc)
{
    m_text = text;
    m_size = size;
    m_enc = enc;
    m_before.assign(1, 0);
}

qsizetype LineIndex::countLf(qsizetype from, qsizetype to) const
{
    if (!textenc::isUtf16(m_enc))
        return std::count(m_text + from, m_text + to, '\n');
    qsizetype n = 0;
    for (qsizetype p = nextLf(from, to); p >= 0; p = nextLf(p + 2, to))
        ++n;
    return n;
}

qsizetype LineIndex::nextLf(qsizetype from, qsizetype limit) const
{
    if (from >= limit)
        return -1;
    if (!textenc::isUtf16(m_enc)) {
        const void* hit = std::memchr(m_text + from, '\n', static_cast<size_t>(limit - from));
        return hit ? static_cast<const char*>(hit) - m_text : -1;
    }
    from += from % 2;
    // The LF unit must start before limit; its second byte may lie at limit.
    const qsizetype to = std::min(limit + 1, m_size);
    const qsizetype u = firstLineEndUnit(m_text, from, to, m_enc, true);
    return u < to ? u : -1;
}

void LineIndex::buildTo(qsizetype chunks)
{
    chunks = std::min(chunks, chunkTotal());
    while (qsizetype(m_before.size()) <= chunks) {
        const qsizetype k = m_before.size() - 1;
        const qsizetype from = k * kChunk;
        const qsizetype to = std::min(m_size, from + kChunk);
        m_before.push_back(m_before.back() + countLf(from, to));
    }
}

qsizetype LineIndex::lineOf(qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    const qsizetype k = pos / kChunk;
    buildTo(k);
    return m_before[k] + countLf(k * kChunk, pos);
}

qsizetype LineIndex::lineStartOf(qsizetype line)
{
    if (line <= 0)
        return line == 0 ? 0 : -1;
    // Line n starts after the n-th LF: find the chunk holding that LF.
    while (m_before.back() < line && qsizetype(m_before.size()) <= chunkTotal())
        buildTo(m_before.size());
    if (m_before.back() < line)
        return -1;
    const auto it = std::lower_bound(m_before.begin(), m_before.end(), line);
    const qsizetype k = (it - m_before.begin()) - 1;  // m_before[k] < line <= m_before[k + 1]
    qsizetype seen = m_before[k];
    qsizetype p = k * kChunk;
    const qsizetype lfLength = textenc::isUtf16(m_enc) ? 2 : 1;
    while (true) {
        p = nextLf(p, m_size);  // the line exists: its LF does
        if (++seen == line)
            return p + lfLength;
        p += lfLength;
    }
}

qsizetype LineIndex::lineCount()
{
    buildTo(chunkTotal());
    return m_before.back() + 1;
}

}  // namespace textlayout
