// Character boundaries, wrapping with tab stops, rows of long lines, and the
// lazy line index, checked against straightforward walks over the text.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"

using namespace textlayout;

namespace {

std::vector<bool> referenceBoundaries(const QByteArray& t)
{
    std::vector<bool> b(t.size() + 1, false);
    for (qsizetype i = 0; i < t.size(); i += cp932::charLength(t.constData() + i, t.size() - i))
        b[i] = true;
    b[t.size()] = true;
    return b;
}

QByteArray randomText(std::mt19937& rng, int n, int lineFeedOneIn)
{
    QByteArray s;
    for (int i = 0; i < n; ++i) {
        const int r = rng() % 100;
        if (r < 100 / lineFeedOneIn)
            s.append(rng() % 2 ? "\r\n" : "\n");
        else if (r < 40)
            s.append(char(0x81 + rng() % 0x1F)).append(char(0x40 + rng() % 0xBC));
        else if (r < 45)
            s.append(char(0x81 + rng() % 0x1F));  // lone or pairing lead byte
        else if (r < 50)
            s.append('\t');
        else
            s.append(char(0x20 + rng() % 0x5F));
    }
    return s;
}

}  // namespace

TEST(TextLayout, BoundariesAndStepsNeverSplitACharacter)
{
    std::mt19937 rng(31);
    for (int round = 0; round < 50; ++round) {
        const QByteArray t = randomText(rng, 300, 20);
        const char* d = t.constData();
        const auto ref = referenceBoundaries(t);
        for (qsizetype p = 0; p <= t.size(); ++p)
            ASSERT_EQ(isCharBoundary(d, t.size(), p), ref[p]) << p << " " << t.toHex().constData();
        // Stepping forward and back visits the same stops; CR LF is one step.
        std::vector<qsizetype> forward{0};
        while (forward.back() < t.size())
            forward.push_back(nextChar(d, t.size(), forward.back()));
        for (size_t i = forward.size() - 1; i > 0; --i)
            ASSERT_EQ(prevChar(d, t.size(), forward[i]), forward[i - 1]);
        for (qsizetype p : forward) {
            ASSERT_TRUE(ref[p]);
            ASSERT_FALSE(p > 0 && p < t.size() && t[p] == '\n' && t[p - 1] == '\r');
        }
    }
    const QByteArray crlf("a\r\nb");
    EXPECT_EQ(nextChar(crlf.constData(), 4, 1), 3);
    EXPECT_EQ(charStart(crlf.constData(), 4, 2), 1);
}

TEST(TextLayout, WrapsByCellsAndTabStops)
{
    const Metrics m{1, 2, 8};
    auto rows = [&](const QByteArray& t, int width) {
        return wrapRows(t.constData(), t.size(), 0, t.size(), m, width);
    };
    using V = std::vector<qsizetype>;
    EXPECT_EQ(rows("ab\tc", 10), V({0}));                 // the TAB reaches column 8
    EXPECT_EQ(rows("abcdefghi\tX", 10), V({0, 9}));       // the TAB would pass the edge
    EXPECT_EQ(rows("abcd\x82\xA0", 5), V({0, 4}));         // a full-width cell does not fit
    EXPECT_EQ(rows("abcd\x82\xA0", 6), V({0}));
    EXPECT_EQ(rows("\x82\xA0\x82\xA0", 1), V({0, 2}));     // one character per row at least
    EXPECT_EQ(rows("", 10), V({0}));
    EXPECT_EQ(nextTabStop(0, m), 8);
    EXPECT_EQ(nextTabStop(8, m), 16);
    // Positions and x agree within a row; x snaps to the nearer boundary.
    const QByteArray t("a\x82\xA0\tb");
    EXPECT_EQ(xOfPos(t.constData(), t.size(), 0, 3, m), 3);
    EXPECT_EQ(xOfPos(t.constData(), t.size(), 0, 4, m), 8);
    EXPECT_EQ(posAtX(t.constData(), t.size(), 0, t.size(), 1, m), 1);
    EXPECT_EQ(posAtX(t.constData(), t.size(), 0, t.size(), 7, m), 4);
    EXPECT_EQ(posAtX(t.constData(), t.size(), 0, t.size(), 3, m), 3);
    EXPECT_EQ(posAtX(t.constData(), t.size(), 0, t.size(), 100, m), 5);
}

TEST(TextLayout, RowsWalkTheSameWayForwardAndBackAcrossLongLines)
{
    std::mt19937 rng(7);
    // Short lines, then a line of several segments, then short lines again.
    QByteArray t = randomText(rng, 2000, 15);
    t += "\n" + randomText(rng, int(Layout::kSegment) * 3, 1000000) + "\r\n";
    t += randomText(rng, 2000, 15);
    const Metrics m{7, 14, 56};
    Layout layout;
    layout.setText(t.constData(), t.size());
    layout.setMetrics(m, 300);
    const auto ref = referenceBoundaries(t);

    std::vector<qsizetype> rows{0};
    while (true) {
        const qsizetype next = layout.nextRowStart(rows.back());
        if (next < 0)
            break;
        ASSERT_GT(next, rows.back());
        rows.push_back(next);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        const qsizetype r = rows[i];
        ASSERT_TRUE(ref[r]) << r;
        const qsizetype end = layout.rowEnd(r);
        // Every row fits the width unless it holds a single character.
        const int width = xOfPos(t.constData(), t.size(), r, end, m);
        ASSERT_TRUE(width <= 300 || nextChar(t.constData(), t.size(), r) >= end) << r;
        ASSERT_EQ(layout.rowStartAt(r), r);
        if (end > r) {
            ASSERT_EQ(layout.rowStartAt(end - 1), r);
        }
        if (i > 0) {
            ASSERT_EQ(layout.prevRowStart(r), rows[i - 1]);
        }
    }
    EXPECT_EQ(layout.prevRowStart(0), -1);
    EXPECT_EQ(layout.rowStartAt(t.size()), rows.back());
    // The long line is cut into segments that each start a row.
    EXPECT_GT(rows.size(), size_t(3 * Layout::kSegment / 40));
}

TEST(TextLayout, LineIndexCountsLineFeedsLazily)
{
    std::mt19937 rng(5);
    QByteArray t = randomText(rng, 150000, 50);  // several 64 KiB chunks
    t.append('\n');
    std::vector<qsizetype> starts{0};
    for (qsizetype i = 0; i < t.size(); ++i)
        if (t[i] == '\n')
            starts.push_back(i + 1);

    LineIndex index;
    index.setText(t.constData(), t.size());
    // Ask about the end first, then the start: the index grows on demand.
    EXPECT_EQ(index.lineOf(t.size()), qsizetype(starts.size()) - 1);
    EXPECT_EQ(index.lineOf(0), 0);
    for (size_t line = 0; line < starts.size(); line += 97) {
        ASSERT_EQ(index.lineStartOf(line), starts[line]);
        ASSERT_EQ(index.lineOf(starts[line]), qsizetype(line));
        if (starts[line] > 0) {
            ASSERT_EQ(index.lineOf(starts[line] - 1), qsizetype(line) - 1);
        }
    }
    EXPECT_EQ(index.lineCount(), qsizetype(starts.size()));
    EXPECT_EQ(index.lineStartOf(starts.size()), -1);

    LineIndex empty;
    empty.setText("", 0);
    EXPECT_EQ(empty.lineCount(), 1);
    EXPECT_EQ(empty.lineStartOf(0), 0);
}
