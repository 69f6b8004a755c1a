// The content pane keeps its bytes exactly, never puts the caret inside a
// double-byte character, wraps at its width with quarter-inch tab stops and
// moves over huge texts without laying all of them out.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QImage>
#include <QScrollBar>

#include <random>

#include "core/viewer/cp932.h"
#include "core/viewer/textlayout.h"
#include "ui/viewer/CREdit_File.h"

namespace {

void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, QString(), autoRepeat);
    QApplication::sendEvent(w, &press);
}

void click(CREdit_File& pane, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, pane.viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.viewport(), &press);
}

qint64 caret(const CREdit_File& pane)
{
    qint64 s = 0;
    qint64 e = 0;
    pane.getSel(&s, &e);
    return e;
}

struct Pane : CREdit_File {
    Pane()
    {
        setLogFont(LOGFONT{});
        resize(400, 300);
        show();
    }
};

}  // namespace

TEST(PaneText, BytesComeBackExactlyAfterDisplayAndMoves)
{
    QByteArray binary;  // every byte but NUL, in both orders
    for (int i = 1; i < 256; ++i)
        binary.append(char(i));
    for (int i = 255; i > 0; --i)
        binary.append(char(i));
    const QByteArray cases[] = {
        binary,
        QByteArray("\x81\x0A\x85\x40\xFF\x80\xA0 bad\r\r\n"),  // invalid code page 932
        QByteArray("text then a cut character \x82"),
        QByteArray(),
    };
    Pane pane;
    for (const QByteArray& bytes : cases) {
        pane.setText(bytes);
        pane.grab();
        key(&pane, Qt::Key_End, Qt::ControlModifier);
        key(&pane, Qt::Key_PageUp);
        pane.setSel(0, -1);
        pane.grab();
        EXPECT_EQ(pane.text(), bytes);
        qint64 s = -1;
        qint64 e = -1;
        pane.getSel(&s, &e);
        EXPECT_EQ(s, 0);
        EXPECT_EQ(e, bytes.size());
    }
}

TEST(PaneText, TakesTheBufferOverWithoutCopying)
{
    QByteArray bytes(1 << 20, 'x');
    const char* before = bytes.constData();
    Pane pane;
    pane.setText(std::move(bytes));
    EXPECT_EQ(pane.text().constData(), before);
    pane.grab();
    EXPECT_EQ(pane.text().constData(), before);
}

TEST(PaneText, CaretAndSelectionNeverSplitACharacter)
{
    std::mt19937 rng(4);
    QByteArray t;
    for (int i = 0; i < 3000; ++i) {
        const int r = rng() % 10;
        if (r < 4)
            t.append(char(0x81 + rng() % 0x1F)).append(char(0x40 + rng() % 0xBC));
        else if (r == 4)
            t.append(rng() % 2 ? "\r\n" : "\n");
        else
            t.append(char(0x20 + rng() % 0x5F));
    }
    Pane pane;
    pane.setText(t);
    auto boundary = [&](qint64 p) { return textlayout::isCharBoundaryAfter(t.constData(), t.size(), 0, p); };
    qint64 last = -1;
    for (int i = 0; i < 5000 && caret(pane) != last; ++i) {
        last = caret(pane);
        key(&pane, Qt::Key_Right);
        ASSERT_TRUE(boundary(caret(pane))) << caret(pane);
    }
    EXPECT_EQ(caret(pane), t.size());
    for (int i = 0; i < 500; ++i) {
        key(&pane, Qt::Key_Up);
        ASSERT_TRUE(boundary(caret(pane))) << caret(pane);
    }
    for (int i = 0; i < 200; ++i) {
        key(&pane, (i % 3) ? Qt::Key_Down : Qt::Key_PageDown, Qt::ShiftModifier);
        ASSERT_TRUE(boundary(caret(pane))) << caret(pane);
    }
    // A selection asked for inside a character moves to its start.
    pane.setText("\x82\xA0\x82\xA2");
    pane.setSel(1, 3);
    qint64 s = -1;
    qint64 e = -1;
    pane.getSel(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 2);
}

TEST(PaneText, LinesAreCountedBetweenLineFeeds)
{
    Pane pane;
    pane.resize(60, 300);  // narrow: the long line wraps into several rows
    pane.setText("a\r\n" + QByteArray(200, 'b') + "\nc");
    EXPECT_EQ(pane.lineCount(), 3);
    EXPECT_EQ(pane.lineIndex(1), 3);
    EXPECT_EQ(pane.lineIndex(2), 204);
    EXPECT_EQ(pane.lineIndex(3), -1);
    EXPECT_EQ(pane.lineFromChar(150), 1);
    EXPECT_EQ(pane.lineFromChar(204), 2);
    pane.setSel(100, 100);
    EXPECT_EQ(pane.lineFromChar(-1), 1);
}

TEST(PaneText, WrapsAtThePaneWidthInHalfWidthCells)
{
    Pane pane;
    pane.setText(QByteArray(500, 'a'));
    const int half = QFontMetrics(pane.font()).horizontalAdvance(QLatin1Char('0'));
    const int columns = (pane.viewport()->width() - 4) / half;  // 2-pixel margins
    ASSERT_GT(columns, 5);
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), columns);
    key(&pane, Qt::Key_End);
    EXPECT_EQ(caret(pane), 2 * columns);
    // Full-width characters take two cells each.
    QByteArray wide;
    for (int i = 0; i < 200; ++i)
        wide.append("\x82\xA0");
    pane.setText(wide);
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), 2 * (columns / 2));
}

TEST(PaneText, TabStopsEveryQuarterInch)
{
    Pane pane;
    pane.setText("a\tb\n");
    const int tab = (pane.logicalDpiX() + 2) / 4;
    const int half = QFontMetrics(pane.font()).horizontalAdvance(QLatin1Char('0'));
    const int y = 3;
    // The b sits on the first tab stop: clicks on its left and right half.
    click(pane, QPoint(2 + tab + half / 4, y));
    EXPECT_EQ(caret(pane), 2);
    click(pane, QPoint(2 + tab + half - 1, y));
    EXPECT_EQ(caret(pane), 3);
    click(pane, QPoint(2 + tab - half, y));
    EXPECT_EQ(caret(pane), 2);
}

TEST(PaneText, CtrlEndThenPageUpOnALongText)
{
    QByteArray t;
    for (int i = 0; i < 1000; ++i)
        t += "line " + QByteArray::number(i) + "\n";
    Pane pane;
    pane.setText(t);
    const int rows = pane.visibleRows();
    key(&pane, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(caret(pane), t.size());
    // The empty last line is the bottom row.
    EXPECT_EQ(pane.lineFromChar(pane.topPosition()), 1000 - (rows - 1));
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
    key(&pane, Qt::Key_PageUp);
    EXPECT_EQ(pane.lineFromChar(pane.topPosition()), 1000 - 2 * (rows - 1));
    EXPECT_EQ(pane.lineFromChar(-1), 1000 - (rows - 1));
    key(&pane, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(pane.topPosition(), 0);
}

TEST(PaneText, HugeLineWithoutLineFeedsScrollsInPieces)
{
    // One 3 MB line of mixed text: rows are found around the view only.
    QByteArray t;
    while (t.size() < 3'000'000)
        t += "abc \x82\xA0\x82\xA2\x83\x41\t";
    Pane pane;
    pane.setText(t);
    key(&pane, Qt::Key_End, Qt::ControlModifier);
    pane.grab();
    const qint64 top = pane.topPosition();
    EXPECT_GT(top, t.size() - 2000);
    key(&pane, Qt::Key_PageUp);
    EXPECT_LT(pane.topPosition(), top);
    EXPECT_TRUE(textlayout::isCharBoundaryAfter(t.constData(), t.size(), 0, caret(pane)));
    // Dragging the scroll bar to the middle lands on a row start there.
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum() / 2);
    EXPECT_NEAR(double(pane.topPosition()), t.size() / 2.0, 20000.0);
    EXPECT_TRUE(textlayout::isCharBoundaryAfter(t.constData(), t.size(), 0, pane.topPosition()));
    EXPECT_EQ(pane.text(), t);
}

TEST(PaneText, CopiesTheSelectionAsUnicode)
{
    Pane pane;
    pane.setText("x\x82\xA0\x82\xA2\xB1y");  // xあいｱy
    pane.setSel(1, 6);
    pane.copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("あいｱ"));
    // Double-click selects a word of one kind of characters.
    pane.setText("abc \x82\xA0\x82\xA2\x88\x9F def");  // abc あい亜 def
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), pane.viewport()->mapToGlobal(QPointF(3, 3)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.viewport(), &dbl);
    qint64 s = -1;
    qint64 e = -1;
    pane.getSel(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 3);
}

// A CR alone ends a line on screen just as LF and CR LF do; the line counts
// of Ctrl+Up/Down stay those between line feeds.
TEST(PaneText, LoneCrEndsALineOnScreen)
{
    Pane pane;
    pane.setText("one\rtwo\r\nthree\nfour\r");
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), 4);
    key(&pane, Qt::Key_End);
    EXPECT_EQ(caret(pane), 7);  // before the CR LF
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), 12);  // the same column of "three"
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), 18);
    key(&pane, Qt::Key_Down);
    EXPECT_EQ(caret(pane), 20);  // the empty line after the last CR
    key(&pane, Qt::Key_Up);
    key(&pane, Qt::Key_Home);
    EXPECT_EQ(caret(pane), 15);
    EXPECT_EQ(pane.lineCount(), 3);

    // Drawn exactly as the same text with line feeds: no box for the CR.
    pane.resize(200, 100);
    pane.setText("one\rtwo\rthree");
    const QImage withCr = pane.grab().toImage();
    pane.setText("one\ntwo\nthree");
    EXPECT_EQ(pane.grab().toImage(), withCr);
    pane.setText("one two three");
    EXPECT_NE(pane.grab().toImage(), withCr);
}

// 0xF6, the filler of disk images, is a lead byte: a text of nothing else is
// one run that pairs off from its start. Opening it, jumping to its end,
// paging and stepping back look at each byte a few times at most.
TEST(PaneText, LeadByteFillerCostsLinearWork)
{
    const qint64 n = 200000;
    Pane pane;
    pane.setText(QByteArray(n, '\xF6'));
    pane.grab();
    key(&pane, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(caret(pane), n);
    key(&pane, Qt::Key_PageUp);
    key(&pane, Qt::Key_Left);
    pane.grab();
    EXPECT_EQ(caret(pane) % 2, 0);
    key(&pane, Qt::Key_Home, Qt::ControlModifier);
    key(&pane, Qt::Key_Right);
    EXPECT_EQ(caret(pane), 2);
    EXPECT_LE(pane.chars().bytesExamined(), 3 * n);
}
