// Character boundaries (also in long runs of lead-range bytes, with the work
// they cost), line ends, wrapping with tab stops, rows of long lines, and the
// lazy line index, checked against straightforward walks over the text.
#include <gtest/gtest.h>

#include <algorithm>
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

// Random text with long runs of lead-range bytes that cross checkpoints.
QByteArray leadRunText(std::mt19937& rng, int n)
{
    static const char leads[] = {'\x81', '\x83', '\x9F', '\xE0', '\xF6', '\xFC'};
    QByteArray s;
    while (s.size() < n) {
        const int r = rng() % 10;
        if (r < 3)
            s.append(QByteArray(1 + int(rng() % (3 * CharIndex::kCheckpoint)), leads[rng() % 6]));
        else if (r < 6)
            s.append(char(0x40 + rng() % 0xBC));  // a trail byte, lead or not
        else if (r < 8)
            s.append(rng() % 2 ? "\r\n" : "a");
        else
            s.append(char(rng() % 256));
    }
    return s;
}

void expectAgreesWithReference(const QByteArray& t, const std::vector<qsizetype>& order)
{
    const auto ref = referenceBoundaries(t);
    CharIndex chars;
    chars.setText(t.constData(), t.size());
    for (qsizetype p : order)
        ASSERT_EQ(chars.isCharBoundary(p), ref[p]) << p;
}

}  // namespace

TEST(TextLayout, BoundariesAndStepsNeverSplitACharacter)
{
    std::mt19937 rng(31);
    for (int round = 0; round < 50; ++round) {
        const QByteArray t = randomText(rng, 300, 20);
        const char* d = t.constData();
        const auto ref = referenceBoundaries(t);
        CharIndex chars;
        chars.setText(d, t.size());
        for (qsizetype p = 0; p <= t.size(); ++p) {
            ASSERT_EQ(chars.isCharBoundary(p), ref[p]) << p << " " << t.toHex().constData();
            ASSERT_EQ(isCharBoundaryAfter(d, t.size(), 0, p), ref[p]) << p;
        }
        // Stepping forward and back visits the same stops; CR LF is one step.
        std::vector<qsizetype> forward{0};
        while (forward.back() < t.size())
            forward.push_back(chars.nextChar(forward.back()));
        for (size_t i = forward.size() - 1; i > 0; --i)
            ASSERT_EQ(chars.prevChar(forward[i]), forward[i - 1]);
        for (qsizetype p : forward) {
            ASSERT_TRUE(ref[p]);
            ASSERT_FALSE(p > 0 && p < t.size() && t[p] == '\n' && t[p - 1] == '\r');
        }
    }
    const QByteArray crlf("a\r\nb");
    CharIndex chars;
    chars.setText(crlf.constData(), 4);
    EXPECT_EQ(chars.nextChar(1), 3);
    EXPECT_EQ(chars.charStart(2), 1);
}

TEST(TextLayout, BoundariesInLongLeadRunsInAnyOrder)
{
    std::mt19937 rng(77);
    for (int round = 0; round < 6; ++round) {
        const QByteArray t = leadRunText(rng, 8 * int(CharIndex::kCheckpoint));
        std::vector<qsizetype> up(t.size() + 1);
        for (qsizetype p = 0; p <= t.size(); ++p)
            up[p] = p;
        expectAgreesWithReference(t, up);
        expectAgreesWithReference(t, std::vector<qsizetype>(up.rbegin(), up.rend()));
        std::vector<qsizetype> shuffled = up;
        std::shuffle(shuffled.begin(), shuffled.end(), rng);
        shuffled.resize(3000);
        expectAgreesWithReference(t, shuffled);
    }
    // A run that starts one byte in pairs off from there, checkpoints or not.
    const QByteArray odd = "x" + QByteArray(5 * CharIndex::kCheckpoint, '\xF6');
    CharIndex chars;
    chars.setText(odd.constData(), odd.size());
    EXPECT_TRUE(chars.isCharBoundary(4 * CharIndex::kCheckpoint + 1));
    EXPECT_FALSE(chars.isCharBoundary(4 * CharIndex::kCheckpoint));
}

// The work counted in bytes looked at: a run of lead-range bytes is looked at
// about once, however the questions about it come.
TEST(TextLayout, BoundaryQuestionsOnALeadRunCostConstantWork)
{
    const qsizetype n = 40000;
    const QByteArray t = "x" + QByteArray(n, '\xF6') + "y";
    CharIndex chars;
    chars.setText(t.constData(), t.size());
    for (qsizetype p = 0; p <= t.size(); ++p)
        ASSERT_EQ(chars.isCharBoundary(p), p == 0 || p % 2 == 1 || p == t.size()) << p;
    EXPECT_LE(chars.bytesExamined(), 2 * t.size());
    for (qsizetype p = t.size(); p >= 0; --p)
        chars.charStart(p);
    EXPECT_LE(chars.bytesExamined(), 3 * t.size());
    // Questions in any order: none looks further back than one checkpoint.
    std::mt19937 rng(3);
    for (int i = 0; i < 200; ++i) {
        const qsizetype before = chars.bytesExamined();
        chars.isCharBoundary(rng() % t.size());
        ASSERT_LE(chars.bytesExamined() - before, CharIndex::kCheckpoint);
    }
    // From the far end first: the whole run is looked at once, then no more.
    CharIndex fresh;
    fresh.setText(t.constData(), t.size());
    EXPECT_TRUE(fresh.isCharBoundary(n - 1));
    EXPECT_FALSE(fresh.isCharBoundary(n - 2));
    EXPECT_LE(fresh.bytesExamined(), t.size() + CharIndex::kCheckpoint);
    // A layout over the run: walking all its rows back from the end.
    Layout layout;
    layout.setText(t.constData(), t.size());
    layout.setMetrics(Metrics{1, 2, 8}, 64);
    qsizetype rows = 0;
    for (qsizetype r = layout.rowStartAt(t.size()); r >= 0; r = layout.prevRowStart(r))
        ++rows;
    EXPECT_GT(rows, n / 64);
    EXPECT_LE(layout.chars().bytesExamined(), 4 * t.size());
}

TEST(TextLayout, LinesEndAtLineFeedsCrLfAndLoneCrs)
{
    const QByteArray t("one\rtwo\r\nthree\nfour\r\r\nlast\r");
    const char* d = t.constData();
    EXPECT_EQ(lineStart(d, t.size(), 2), 0);
    EXPECT_EQ(lineEndAt(d, t.size(), 2), 3);
    EXPECT_EQ(lineStart(d, t.size(), 4), 4);  // after the lone CR
    EXPECT_EQ(lineEndAt(d, t.size(), 4), 7);
    EXPECT_EQ(lineStart(d, t.size(), 8), 4);  // the LF of a CR LF is in its line
    EXPECT_EQ(lineEndAt(d, t.size(), 8), 7);
    EXPECT_EQ(afterLineEnd(d, t.size(), 7), 9);
    EXPECT_EQ(afterLineEnd(d, t.size(), 3), 4);

    Layout layout;
    layout.setText(d, t.size());
    layout.setMetrics(Metrics{1, 2, 8}, 100);
    std::vector<qsizetype> starts;
    std::vector<qsizetype> ends;
    for (qsizetype r = 0; r >= 0; r = layout.nextRowStart(r)) {
        starts.push_back(r);
        ends.push_back(layout.rowEnd(r));
        EXPECT_TRUE(layout.rowEndsLine(r));
    }
    using V = std::vector<qsizetype>;
    // one | two | three | four | (empty, between CR and CR LF) | last | (empty)
    EXPECT_EQ(starts, V({0, 4, 9, 15, 20, 22, 27}));
    EXPECT_EQ(ends, V({3, 7, 14, 19, 20, 26, 27}));
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_EQ(layout.prevRowStart(starts[i]), starts[i - 1]);
    EXPECT_EQ(layout.rowStartAt(8), 4);
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
        ASSERT_TRUE(width <= 300 || layout.chars().nextChar(r) >= end) << r;
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
