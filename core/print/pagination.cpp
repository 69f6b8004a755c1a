#include "core/print/pagination.h"

#include <algorithm>
#include <cstring>

#include "core/viewer/cp932.h"
#include "core/viewer/encoding.h"

namespace print {

int fontHeight(int logPixelsY, int pointTenths)
{
    if (logPixelsY <= 0)
        return 0;
    // Integer steps, each quotient truncated toward zero, as the printer's
    // pixels round the size.
    const qint64 pixels = qint64(logPixelsY) * pointTenths / -720;
    return static_cast<int>(pixels * 254 / logPixelsY);
}

int linesPerPage(int pageHeight, int marginTop, int marginBottom, int lineHeight)
{
    if (lineHeight <= 0)
        return 1;
    const qint64 lines = (qint64(pageHeight) - (qint64(marginTop) + marginBottom) * 10) / lineHeight;
    return static_cast<int>(std::clamp<qint64>(lines, 1, 1 << 24));
}

Measure::Measure(std::function<int(char32_t)> advance, int placeholder, int dpiX, int marginLeft, int printableWidth)
    : advance_(std::move(advance)), cache_(0x10000, -1), placeholder_(std::max(0, placeholder)), dpiX_(std::max(1, dpiX))
{
    left_ = fixedFromTenthMm(qint64(marginLeft) * 10, dpiX_);
    // A width fits when it is at most printableWidth in whole 0.1 mm.
    const qint64 unit = qint64(64) * dpiX_;
    limit_ = printableWidth < 0 ? -1 : ((qint64(printableWidth) + 1) * unit + 253) / 254 - 1;
}

qint64 Measure::nextTab(qint64 x) const
{
    // Stops every 64 tenths of a millimetre from the printable area's edge.
    const qint64 period = qint64(64) * 64 * dpiX_;  // times 254
    const qint64 a = left_ + x;
    const qint64 k = (a >= 0 ? a * 254 / period : (a * 254 - period + 1) / period) + 1;
    const qint64 stop = (k * period + 253) / 254;
    return stop - left_;
}

Cell cellAt(const char* p, qsizetype avail, TextForm form)
{
    Cell c;
    if (form == TextForm::Utf8) {
        const auto b = static_cast<unsigned char>(p[0]);
        if (b == '\t') {
            c.kind = Cell::Tab;
            return c;
        }
        // A broken sequence is one placeholder per byte, as in the content pane.
        const int len = b < 0x80 ? 1 : textenc::utf8SequenceLength(reinterpret_cast<const unsigned char*>(p), avail);
        c.len = len > 0 ? len : 1;
        c.ch = len == 1 ? b : len > 1 ? textenc::decodeAt(textenc::Encoding::Utf8, p, 0, len) : 0;
        if (c.ch < 0x20 || (c.ch >= 0x7F && c.ch < 0xA0) || c.ch == 0xFEFF)
            c.ch = 0;
        if (!c.ch)
            c.kind = Cell::Placeholder;
        return c;
    }
    c.len = cp932::charLength(p, avail);
    const auto b = static_cast<unsigned char>(p[0]);
    if (c.len == 2) {
        c.ch = cp932::decodePair(b, static_cast<unsigned char>(p[1]));
    } else if (b == '\t') {
        c.kind = Cell::Tab;
        return c;
    } else if (const char16_t single = cp932::decodeSingle(b); single >= 0x20 && single != 0x7F) {
        c.ch = single;
    }
    // Control bytes and bytes that are no character show as placeholders, as
    // in the content pane.
    if (!c.ch)
        c.kind = Cell::Placeholder;
    return c;
}

SegmentWalker::SegmentWalker(const QByteArray& text, Measure& measure, TextForm form)
    : text_(text.constData()), size_(text.size()), measure_(measure), form_(form)
{
}

qint64 SegmentWalker::advance(const Cell& c, qint64 x)
{
    switch (c.kind) {
    case Cell::Tab: return measure_.nextTab(x) - x;
    case Cell::Placeholder: return qint64(measure_.placeholder()) * c.len;
    case Cell::Char: break;
    }
    return measure_.advanceOf(c.ch);
}

Segment SegmentWalker::segmentAt(qsizetype pos)
{
    if (!(pos >= lineFrom_ && pos <= lineFeed_)) {
        const void* lf = std::memchr(text_ + pos, '\n', size_t(size_ - pos));
        lineFrom_ = pos;
        lineFeed_ = lf ? static_cast<const char*>(lf) - text_ : size_;
    }
    const qsizetype lf = lineFeed_;
    qsizetype contentEnd = lf;
    if (lf < size_ && lf > pos && text_[lf - 1] == '\r')
        contentEnd = lf - 1;

    Segment s;
    s.start = pos;
    const qint64 limit = measure_.limit();
    qint64 x = 0;
    qsizetype p = pos;
    while (p < contentEnd) {
        const Cell c = cellAt(text_ + p, contentEnd - p, form_);
        x += advance(c, x);
        // The prefix widths only grow, so the first character that overflows
        // marks the longest prefix that fits; a segment keeps at least one
        // character, so no margin can stop the walk.
        if (x > limit) {
            const qsizetype cut = p > pos ? p : p + c.len;
            if (cut < contentEnd) {
                s.end = s.next = s.mark = cut;
                return s;
            }
            p = cut;
            break;
        }
        p += c.len;
    }
    s.end = contentEnd;
    s.mark = lf;
    s.next = lf < size_ ? lf + 1 : size_;
    return s;
}

std::vector<SegmentWalker::Placed> SegmentWalker::place(const Segment& s)
{
    std::vector<Placed> out;
    qint64 x = 0;
    for (qsizetype p = s.start; p < s.end;) {
        Placed pl;
        pl.cell = cellAt(text_ + p, s.end - p, form_);
        pl.pos = p;
        pl.x = x;
        pl.advance = advance(pl.cell, x);
        x += pl.advance;
        p += pl.cell.len;
        out.push_back(pl);
    }
    return out;
}

std::vector<qsizetype> paginate(const QByteArray& text, SegmentWalker& walker, int linesPerPage)
{
    std::vector<qsizetype> starts{0};
    const qsizetype size = text.size();
    int lineOnPage = 0;
    for (qsizetype pos = 0; pos < size;) {
        const Segment s = walker.segmentAt(pos);
        if (++lineOnPage > linesPerPage) {
            lineOnPage = 1;
            // A last line without a line feed opens no empty page after it.
            if (s.mark < size)
                starts.push_back(s.mark);
        }
        pos = s.next;
    }
    return starts;
}

std::vector<Segment> pageSegments(const QByteArray& text, SegmentWalker& walker, const std::vector<qsizetype>& pageStarts,
                                  int page, int linesPerPage)
{
    std::vector<Segment> out;
    if (page < 1 || size_t(page) > pageStarts.size())
        return out;
    const qsizetype size = text.size();
    const qsizetype nextStart = size_t(page) < pageStarts.size() ? pageStarts[size_t(page)] : size + 1;
    qsizetype pos = pageStarts[size_t(page - 1)];
    while (pos < size && out.size() < size_t(linesPerPage) + 1) {
        const Segment s = walker.segmentAt(pos);
        out.push_back(s);
        // The segment that opened the next page ends this one; a page opened
        // by a wrapped line would otherwise print its last line twice.
        if (s.mark >= nextStart)
            break;
        pos = s.next;
    }
    return out;
}

}  // namespace print
