// Print pagination without a printer: the font height and lines-per-page
// formulas, the segment rule against a byte-at-a-time reference, tab stops,
// and the page table on texts of every shape; item heights and the record a
// font choice makes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/print/pagination.h"
#include "core/settings/fontchoice.h"
#include "core/viewer/cp932.h"

using namespace print;

namespace {

// At 254 dpi one device pixel is 0.1 mm, so every width below reads in
// tenths of a millimetre: a single-byte character is 1 mm, a double-byte one
// 2 mm, a placeholder 1 mm.
constexpr int kDpi = 254;
constexpr int kUnit = 64;  // one 0.1 mm in the walk's units

Measure makeMeasure(int marginLeft, int printableWidth)
{
    return Measure([](char16_t c) { return (c < 0x100 || (c >= 0xFF61 && c <= 0xFF9F) ? 10 : 20) * kUnit; },
                   10 * kUnit, kDpi, marginLeft, printableWidth);
}

// The segment rule as written for the original: measure the whole segment,
// and when it is too wide, shorten it one byte at a time (a cut after a lead
// byte drops that byte too), keeping at least one character.
struct RefSegment {
    qsizetype start, end, next;
    bool operator==(const RefSegment&) const = default;
};

qint64 refWidth(const QByteArray& t, qsizetype from, qsizetype to, int marginLeft)
{
    const qint64 left = qint64(marginLeft) * 10 * kUnit;
    const qint64 period = 64 * kUnit;
    qint64 x = 0;
    for (qsizetype p = from; p < to;) {
        const Cell c = cellAt(t.constData() + p, to - p);
        if (c.kind == Cell::Tab)
            x = ((left + x) / period + 1) * period - left;
        else if (c.kind == Cell::Placeholder)
            x += 10 * kUnit * c.len;
        else
            x += (c.ch < 0x100 || (c.ch >= 0xFF61 && c.ch <= 0xFF9F) ? 10 : 20) * kUnit;
        p += c.len;
    }
    return x;
}

bool refIsLeadAt(const QByteArray& t, qsizetype from, qsizetype pos)
{
    qsizetype p = from;
    while (p < pos)
        p += cp932::charLength(t.constData() + p, t.size() - p);
    return p > pos;  // pos falls inside a double-byte character
}

std::vector<RefSegment> refWalk(const QByteArray& t, int marginLeft, int width)
{
    std::vector<RefSegment> out;
    for (qsizetype pos = 0; pos < t.size();) {
        qsizetype lf = t.indexOf('\n', pos);
        if (lf < 0)
            lf = t.size();
        qsizetype end = lf;
        if (lf < t.size() && lf > pos && t[lf - 1] == '\r')
            end = lf - 1;
        auto fits = [&](qsizetype e) { return refWidth(t, pos, e, marginLeft) * 254 / (qint64(kDpi) * kUnit) <= width; };
        if (fits(end)) {
            out.push_back({pos, end, lf < t.size() ? lf + 1 : t.size()});
            pos = out.back().next;
            continue;
        }
        qsizetype e = end;
        while (e > pos && !fits(e))
            --e;
        if (e > pos && refIsLeadAt(t, pos, e))
            --e;
        if (e == pos)
            e = pos + cp932::charLength(t.constData() + pos, end - pos);
        if (e >= end) {
            out.push_back({pos, end, lf < t.size() ? lf + 1 : t.size()});
            pos = out.back().next;
            continue;
        }
        out.push_back({pos, e, e});
        pos = e;
    }
    return out;
}

std::vector<RefSegment> walkAll(const QByteArray& t, SegmentWalker& w)
{
    std::vector<RefSegment> out;
    for (qsizetype pos = 0; pos < t.size();) {
        const Segment s = w.segmentAt(pos);
        out.push_back({s.start, s.end, s.next});
        pos = s.next;
    }
    return out;
}

QByteArray randomText(std::mt19937& rng, int n)
{
    static const QByteArray kana = cp932::fromUnicode(QStringLiteral("あいう漢字ｶﾅ"));
    QByteArray s;
    for (int i = 0; i < n; ++i) {
        const int r = rng() % 100;
        if (r < 6)
            s += rng() % 2 ? "\r\n" : "\n";
        else if (r < 10)
            s += '\t';
        else if (r < 14)
            s += char(0x80 + rng() % 0x80);  // lone or odd bytes
        else if (r < 50)
            s += kana.mid(rng() % 5 * 2, 2);
        else
            s += char('a' + rng() % 26);
    }
    return s;
}

}  // namespace

TEST(PrintFormulas, FontHeightAndLinesPerPage)
{
    EXPECT_EQ(fontHeight(600, 100), -35);  // 10 pt: 3.5 mm
    EXPECT_EQ(fontHeight(600, 10), -3);    // the first-run size, one point
    EXPECT_EQ(fontHeight(300, 120), -42);
    EXPECT_EQ(linesPerPage(2880, 10, 10, 35), 76);
    // Margins that leave no room, or no line height, still give one line.
    EXPECT_EQ(linesPerPage(2880, 200, 200, 35), 1);
    EXPECT_EQ(linesPerPage(2880, 10, 10, 0), 1);
}

TEST(PrintFormulas, ItemHeightAndFontChoice)
{
    EXPECT_EQ(itemHeightFor(96, 90), 12);
    EXPECT_EQ(itemHeightFor(96, 105), 14);
    EXPECT_EQ(itemHeightFor(96, 110), 14);

    LOGFONT before;
    before.lfUnderline = 1;
    const LOGFONT lf = applyFontChoice(before, {"IPAGothic", 120, 700, true}, 96);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_NE(lf.lfItalic, 0);
    EXPECT_EQ(lf.faceName(), "IPAGothic");
    EXPECT_EQ(lf.lfUnderline, 1);  // not the dialog's to change
    EXPECT_EQ(lf.lfCharSet, before.lfCharSet);
    // A long face name is cut before a character that does not fit whole.
    const std::string longFace = std::string(30, 'x') + "ゴシック";
    EXPECT_EQ(applyFontChoice(before, {longFace, 100, 400, false}, 96).faceName(), std::string(30, 'x'));
}

TEST(PrintSegments, SameCutsAsShorteningByteByByte)
{
    std::mt19937 rng(12);
    for (int round = 0; round < 300; ++round) {
        const QByteArray t = randomText(rng, 1 + rng() % 300);
        const int margin = rng() % 3 * 7;
        const int width = int(rng() % 140) - 20;  // some rounds leave no room at all
        Measure m = makeMeasure(margin, width);
        SegmentWalker w(t, m);
        ASSERT_EQ(walkAll(t, w), refWalk(t, margin, width)) << "round " << round << " width " << width;
    }
}

TEST(PrintSegments, WrapsWholeCharactersAndStopsAtLineEnds)
{
    const QByteArray kana = cp932::fromUnicode(QStringLiteral("あいうえお"));
    Measure m = makeMeasure(10, 50);  // 5 mm: two double-byte characters and a half
    const QByteArray t = "a" + kana + "\r\n" + "xyz";
    SegmentWalker w(t, m);
    const Segment s1 = w.segmentAt(0);
    EXPECT_EQ(s1.end, 5);  // "a" and two kana: the third would cross 5 mm
    EXPECT_EQ(s1.mark, 5);
    EXPECT_EQ(w.segmentAt(5).end, 9);
    const Segment last = w.segmentAt(9);
    EXPECT_EQ(last.end, 11);       // the CR is not printed
    EXPECT_EQ(last.mark, 12);      // a page opened here starts at the line feed
    EXPECT_EQ(last.next, 13);
    const Segment tail = w.segmentAt(13);
    EXPECT_EQ(tail.end, t.size());  // a last line without a line feed is a segment
    EXPECT_EQ(tail.next, t.size());
}

TEST(PrintSegments, TabStopsFromThePrintableEdge)
{
    const QByteArray t = "\tA\tB";
    Measure noMargin = makeMeasure(0, 2000);
    SegmentWalker w0(t, noMargin);
    auto cells = w0.place(w0.segmentAt(0));
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[1].x, 64 * kUnit);   // 6.4 mm
    EXPECT_EQ(cells[3].x, 128 * kUnit);  // the next stop after 7.4 mm
    // With a 10 mm margin the stops stay where they were on the paper: the
    // first one after the margin is at 12.8 mm.
    Measure margin = makeMeasure(10, 2000);
    SegmentWalker w1(t, margin);
    cells = w1.place(w1.segmentAt(0));
    EXPECT_EQ(margin.left() + cells[1].x, 128 * kUnit);
}

TEST(PrintPages, LastLineWithoutLineFeedOpensNoEmptyPage)
{
    // (A text ending in a line feed after linesPerPage + 1 lines does get
    // its page 2 with one empty line; the PDF tests show both.)
    Measure m = makeMeasure(10, 1000);
    const QByteArray t = "a\nb\nc";
    SegmentWalker w(t, m);
    const auto starts = paginate(t, w, 1);
    ASSERT_EQ(starts, (std::vector<qsizetype>{0, 3}));
    const auto p2 = pageSegments(t, w, starts, 2, 1);
    ASSERT_EQ(p2.size(), 2u);
    EXPECT_EQ(t.mid(p2[1].start, p2[1].end - p2[1].start), "c");
}

TEST(PrintPages, EveryLinePrintedOnceOnAnyNumberOfPages)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        const QByteArray t = randomText(rng, 1 + rng() % 2000);
        const int width = int(rng() % 80) - 5;
        const int lpp = 1 + rng() % 6;
        Measure m = makeMeasure(5, width);
        SegmentWalker w(t, m);
        const std::vector<RefSegment> all = walkAll(t, w);
        const auto starts = paginate(t, w, lpp);
        std::vector<RefSegment> printed;
        for (int page = 1; page <= int(starts.size()); ++page) {
            const auto segs = pageSegments(t, w, starts, page, lpp);
            ASSERT_LE(segs.size(), size_t(lpp) + 1);
            for (size_t i = 0; i < segs.size(); ++i) {
                // A page opened at a line feed begins with that empty line.
                if (page > 1 && i == 0 && segs[i].start < t.size() && t[segs[i].start] == '\n')
                    continue;
                printed.push_back({segs[i].start, segs[i].end, segs[i].next});
            }
        }
        ASSERT_EQ(printed, all) << "round " << round;
    }
}
