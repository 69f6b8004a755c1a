// Keys the content pane gives a meaning of its own: Enter and Escape go to the
// view, held Ctrl+Down/Ctrl+Up jump four lines per repetition.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <vector>

#include "ui/viewer/CREdit_File.h"

namespace {

void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, QString(), autoRepeat);
    QApplication::sendEvent(w, &press);
}

struct SixLines : CREdit_File {
    SixLines()
    {
        resize(400, 300);
        show();
        setText("line 0\nline 1\nline 2\nline 3\nline 4\nline 5");
    }
    void caretToLine(qint64 line)
    {
        const qint64 p = lineIndex(line);
        setSel(p, p);
    }
};

}  // namespace

TEST(PaneKeys, EnterAndEscapeBothAskForTheListAsEnter)
{
    SixLines pane;
    std::vector<int> keys;
    QObject::connect(&pane, &CREdit_File::keyToItem, [&](int vk) { keys.push_back(vk); });
    key(&pane, Qt::Key_Return);
    key(&pane, Qt::Key_Escape);
    key(&pane, Qt::Key_Enter, Qt::KeypadModifier);
    key(&pane, Qt::Key_Space);
    EXPECT_EQ(keys, std::vector<int>({13, 13, 13}));
    // The text itself does not change.
    EXPECT_EQ(pane.text(), QByteArray("line 0\nline 1\nline 2\nline 3\nline 4\nline 5"));
}

TEST(PaneKeys, HeldCtrlDownJumpsFourLinesWhenFiveFit)
{
    SixLines pane;
    pane.caretToLine(0);
    key(&pane, Qt::Key_Down, Qt::ControlModifier, true);  // 0 + 5 <= 6: to line 4, then on
    EXPECT_EQ(pane.lineFromChar(-1), 5);
    pane.caretToLine(2);
    key(&pane, Qt::Key_Down, Qt::ControlModifier, true);  // 2 + 5 > 6: the usual move only
    EXPECT_EQ(pane.lineFromChar(-1), 3);
    pane.caretToLine(0);
    key(&pane, Qt::Key_Down, Qt::ControlModifier, false);  // first press: the usual move
    EXPECT_EQ(pane.lineFromChar(-1), 1);
}

TEST(PaneKeys, HeldCtrlUpJumpsFourLinesAboveLineThree)
{
    SixLines pane;
    pane.caretToLine(3);
    key(&pane, Qt::Key_Up, Qt::ControlModifier, true);  // 3 > 3 fails: the usual move only
    EXPECT_EQ(pane.lineFromChar(-1), 2);
    pane.caretToLine(4);
    key(&pane, Qt::Key_Up, Qt::ControlModifier, true);  // to line 0 first
    EXPECT_EQ(pane.lineFromChar(-1), 0);
    pane.caretToLine(5);
    key(&pane, Qt::Key_Up, Qt::ControlModifier, false);
    EXPECT_EQ(pane.lineFromChar(-1), 4);
}

TEST(PaneKeys, ShiftExtendsAndArrowsCollapseTheSelection)
{
    SixLines pane;
    pane.setSel(0, 0);
    key(&pane, Qt::Key_Right, Qt::ShiftModifier);
    key(&pane, Qt::Key_End, Qt::ShiftModifier);
    qint64 s = -1;
    qint64 e = -1;
    pane.getSel(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 6);
    key(&pane, Qt::Key_Left);  // collapses to the start
    pane.getSel(&s, &e);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(e, 0);
    key(&pane, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    pane.getSel(&s, &e);
    EXPECT_EQ(e, pane.text().size());
}
