#include "core/viewer/textlayout.h"

#include "core/viewer/cp932.h"

#include <algorithm>
#include <cstring>

namespace textlayout {
namespace {

inline unsigned char byteAt(const char* text, qsizetype pos) { return static_cast<unsigned char>(text[pos]); }

// Last LF in [0, pos), or -1.
qsizetype lastLineFeedBefore(const char* text, qsizetype pos)
{
    if (pos <= 0)
        return -1;
    const void* hit = memrchr(text, '\n', static_cast<size_t>(pos));
    return hit ? static_cast<const char*>(hit) - text : -1;
}

// First LF in [pos, size), or size.
qsizetype firstLineFeedFrom(const char* text, qsizetype size, qsizetype pos)
{
    if (pos >= size)
        return size;
    const void* hit = std::memchr(text + pos, '\n', static_cast<size_t>(size - pos));
    return hit ? static_cast<const char*>(hit) - text : size;
}

}  // namespace

bool isCharBoundary(const char* text, qsizetype size, qsizetype pos)
{
    if (pos <= 0 || pos >= size)
        return true;
    // Every byte that cannot start a pair ends a character, so the characters
    // of a run of possible lead bytes pair off from the run's start.
    qsizetype run = 0;
    while (pos - run - 1 >= 0 && cp932::isLeadByte(byteAt(text, pos - run - 1)))
        ++run;
    return run % 2 == 0 || !cp932::isTrailByte(byteAt(text, pos));
}

qsizetype charStart(const char* text, qsizetype size, qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, size);
    if (pos > 0 && pos < size && text[pos] == '\n' && text[pos - 1] == '\r')
        return pos - 1;
    return isCharBoundary(text, size, pos) ? pos : pos - 1;
}

qsizetype nextChar(const char* text, qsizetype size, qsizetype pos)
{
    pos = charStart(text, size, pos);
    if (pos >= size)
        return size;
    if (text[pos] == '\r' && pos + 1 < size && text[pos + 1] == '\n')
        return pos + 2;
    return pos + cp932::charLength(text + pos, size - pos);
}

qsizetype prevChar(const char* text, qsizetype size, qsizetype pos)
{
    pos = charStart(text, size, pos);
    if (pos <= 0)
        return 0;
    return charStart(text, size, pos - 1);
}

qsizetype lineStart(const char* text, qsizetype size, qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, size);
    return lastLineFeedBefore(text, pos) + 1;
}

qsizetype lineFeedAt(const char* text, qsizetype size, qsizetype pos)
{
    return firstLineFeedFrom(text, size, std::clamp<qsizetype>(pos, 0, size));
}

std::vector<qsizetype> wrapRows(const char* text, qsizetype size, qsizetype from, qsizetype to, const Metrics& m,
                                int width)
{
    std::vector<qsizetype> rows{from};
    int x = 0;
    qsizetype pos = from;
    while (pos < to) {
        const int len = cp932::charLength(text + pos, std::min(size, to) - pos);
        const int advance = charAdvance(text, pos, len, x, m);
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

int xOfPos(const char* text, qsizetype size, qsizetype rowStart, qsizetype pos, const Metrics& m)
{
    int x = 0;
    qsizetype p = rowStart;
    while (p < pos && p < size) {
        const int len = cp932::charLength(text + p, size - p);
        x += charAdvance(text, p, len, x, m);
        p += len;
    }
    return x;
}

qsizetype posAtX(const char* text, qsizetype size, qsizetype rowStart, qsizetype rowEnd, int x, const Metrics& m)
{
    int left = 0;
    qsizetype p = rowStart;
    while (p < rowEnd) {
        const int len = cp932::charLength(text + p, std::min(size, rowEnd) - p);
        const int advance = charAdvance(text, p, len, left, m);
        if (x < left + (advance + 1) / 2)
            return p;
        left += advance;
        p += len;
    }
    return rowEnd;
}

// ---------------------------------------------------------------------------

void Layout::setText(const char* text, qsizetype size)
{
    m_text = text;
    m_size = size;
    m_lineStart = m_lineFeed = -1;
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

void Layout::lineAround(qsizetype pos, qsizetype* start, qsizetype* lf) const
{
    if (m_lineStart >= 0 && pos >= m_lineStart && pos <= m_lineFeed) {
        *start = m_lineStart;
        *lf = m_lineFeed;
        return;
    }
    *start = lineStart(m_text, m_size, pos);
    *lf = lineFeedAt(m_text, m_size, pos);
    if (*lf - *start > kSegment) {
        m_lineStart = *start;
        m_lineFeed = *lf;
    }
}

qsizetype Layout::segmentStart(qsizetype lineStart, qsizetype k) const
{
    qsizetype p = lineStart + k * kSegment;
    if (p > lineStart && !isCharBoundary(m_text, m_size, p))
        ++p;
    return p;
}

Layout::Block Layout::blockAt(qsizetype pos) const
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    qsizetype start = 0;
    qsizetype lf = 0;
    lineAround(pos, &start, &lf);
    // The CR of a CR LF pair is not drawn.
    const qsizetype contentEnd = (lf < m_size && lf > start && m_text[lf - 1] == '\r') ? lf - 1 : lf;
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
        b.next = lf < m_size ? lf + 1 : -1;
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
    slot.rows = wrapRows(m_text, m_size, b.start, b.end, m_metrics, m_width);
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
    return b.next < 0 || m_text[b.next - 1] == '\n';
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

void LineIndex::setText(const char* text, qsizetype size)
{
    m_text = text;
    m_size = size;
    m_before.assign(1, 0);
}

void LineIndex::buildTo(qsizetype chunks)
{
    chunks = std::min(chunks, chunkTotal());
    while (qsizetype(m_before.size()) <= chunks) {
        const qsizetype k = m_before.size() - 1;
        const qsizetype from = k * kChunk;
        const qsizetype to = std::min(m_size, from + kChunk);
        m_before.push_back(m_before.back() + std::count(m_text + from, m_text + to, '\n'));
    }
}

qsizetype LineIndex::lineOf(qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, m_size);
    const qsizetype k = pos / kChunk;
    buildTo(k);
    return m_before[k] + std::count(m_text + k * kChunk, m_text + pos, '\n');
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
    while (true) {
        p = firstLineFeedFrom(m_text, m_size, p);
        if (++seen == line)
            return p + 1;
        ++p;
    }
}

qsizetype LineIndex::lineCount()
{
    buildTo(chunkTotal());
    return m_before.back() + 1;
}

}  // namespace textlayout
