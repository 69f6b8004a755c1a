// Searching the content pane: the search command with its dialog (its
// 99-byte box, pasting, texts code page 932 cannot hold), find next
// (Ctrl+Right) and find previous (Ctrl+Left) with its overlapping 500-byte
// windows, also through long runs of lead-range bytes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

#include "core/viewer/cp932.h"
#include "ui/viewer/CFindTextDlg.h"
#include "ui/viewer/CREdit_File.h"

namespace {

void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, QString());
    QApplication::sendEvent(w, &press);
}

// Dots with "abc" at the given positions.
QByteArray textWith(qint64 size, std::initializer_list<qint64> at)
{
    QByteArray t(size, '.');
    for (qint64 p : at)
        t.replace(p, 3, "abc");
    return t;
}

struct Sel {
    qint64 start = -1;
    qint64 end = -1;
    bool operator==(const Sel&) const = default;
};
Sel sel(const CREdit_File& pane)
{
    Sel s;
    pane.getSel(&s.start, &s.end);
    return s;
}
void PrintTo(const Sel& s, std::ostream* os) { *os << "(" << s.start << ", " << s.end << ")"; }

// Stands in for the modal run: shows the dialog, records what it offered,
// types a text and ends with OK or cancel.
struct FakeUser {
    explicit FakeUser(QString text, bool pressOk = true) : type(std::move(text)), ok(pressOk) {}
    QString type;
    bool ok;
    QString offered;
    bool operator()(CFindTextDlg& dialog)
    {
        dialog.show();
        offered = dialog.comboBox()->currentText();
        dialog.comboBox()->setEditText(type);
        if (ok)
            dialog.accept();
        else
            dialog.reject();
        return dialog.result() == QDialog::Accepted;
    }
};

struct View {
    QString searchText;
    QByteArray searchTextBuffer;
    CREdit_File pane;
    bool find(FakeUser& user)
    {
        return FindInContent(nullptr, searchText, searchTextBuffer, &pane, std::ref(user));
    }
};

}  // namespace

TEST(PaneFind, SearchCommandIgnoresCaseAndOffersThePreviousText)
{
    View view;
    view.pane.setText(textWith(40, {10, 25}).replace(10, 3, "ABC"));
    view.pane.setSel(30, 30);  // the search starts at the top anyway
    FakeUser user{QStringLiteral("abc")};
    EXPECT_TRUE(view.find(user));
    EXPECT_EQ(user.offered, QString());
    EXPECT_EQ(sel(view.pane), Sel({10, 13}));
    EXPECT_EQ(view.searchText, QStringLiteral("abc"));
    EXPECT_EQ(view.searchTextBuffer, QByteArray("abc"));
    EXPECT_EQ(view.pane.findRecord.text, &view.searchTextBuffer);

    FakeUser again{QStringLiteral("abc")};
    EXPECT_TRUE(view.find(again));
    EXPECT_EQ(again.offered, QStringLiteral("abc"));

    // Cancel changes nothing, not even the remembered text.
    view.pane.setSel(2, 3);
    FakeUser cancel{QStringLiteral("zzz"), false};
    EXPECT_FALSE(view.find(cancel));
    EXPECT_EQ(view.searchText, QStringLiteral("abc"));
    EXPECT_EQ(view.searchTextBuffer, QByteArray("abc"));
    EXPECT_EQ(sel(view.pane), Sel({2, 3}));

    // Nothing found: the selection stays.
    FakeUser missing{QStringLiteral("xyz")};
    EXPECT_FALSE(view.find(missing));
    EXPECT_EQ(sel(view.pane), Sel({2, 3}));
    EXPECT_EQ(view.searchTextBuffer, QByteArray("xyz"));
}

TEST(PaneFind, SearchTextIsKeptToNinetyNineBytes)
{
    View view;
    QString longText;
    for (int i = 0; i < 60; ++i)
        longText += QChar(0x3042);  // 120 bytes in code page 932
    view.pane.setText(cp932::fromUnicode(longText));
    // The dialog's box refuses such a text; it arrives as the previous one.
    view.searchText = longText;
    auto runner = [&](CFindTextDlg& d) {
        d.show();
        d.accept();
        return true;
    };
    EXPECT_TRUE(FindInContent(nullptr, view.searchText, view.searchTextBuffer, &view.pane, runner));
    // 99 bytes would cut the 50th character: 98 bytes of whole characters.
    EXPECT_EQ(view.searchTextBuffer.size(), 98);
    EXPECT_EQ(sel(view.pane), Sel({0, 98}));
}

TEST(PaneFind, DialogLimitsTheBoxToNinetyNineBytes)
{
    CFindTextDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("文字検索"));
    QStringList buttons;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        buttons << b->text();
    EXPECT_EQ(buttons, QStringList({QStringLiteral("OK"), QStringLiteral("ｷｬﾝｾﾙ")}));
    dialog.text = QStringLiteral("start");
    dialog.show();
    EXPECT_EQ(dialog.comboBox()->currentText(), QStringLiteral("start"));
    QWidget* focus = dialog.focusWidget();
    EXPECT_TRUE(focus == dialog.comboBox() || focus == dialog.comboBox()->lineEdit());

    QLineEdit* edit = dialog.comboBox()->lineEdit();
    edit->clear();
    edit->insert(QString(49, QChar(0x3042)));  // 98 bytes
    edit->insert(QString(QChar(0x3044)));      // would make 100: refused
    EXPECT_EQ(cp932::fromUnicode(edit->text()).size(), 98);
    edit->insert(QStringLiteral("x"));  // 99 fits
    EXPECT_EQ(cp932::fromUnicode(edit->text()).size(), 99);
    dialog.accept();
    EXPECT_EQ(dialog.text.size(), 50);
    EXPECT_EQ(dialog.comboBox()->count(), 0);  // no history list
}

TEST(PaneFind, FindNextMovesOnAndStaysOnTheLast)
{
    View view;
    view.pane.setText(textWith(100, {5, 50}));
    FakeUser user{QStringLiteral("ABC")};
    ASSERT_TRUE(view.find(user));
    EXPECT_EQ(sel(view.pane), Sel({5, 8}));
    key(&view.pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({50, 53}));
    key(&view.pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({50, 53}));
}

TEST(PaneFind, FindPreviousPicksTheLastMatchBeforeTheSelection)
{
    View view;
    view.pane.setText(textWith(1300, {100, 900, 950}));
    FakeUser user{QStringLiteral("abc")};
    ASSERT_TRUE(view.find(user));
    view.pane.setSel(1200, 1200);
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({950, 953}));
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({900, 903}));
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({100, 103}));
    // No earlier occurrence: the selection stays.
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({100, 103}));
}

TEST(PaneFind, FindPreviousWalksBackInWindowsOfFiveHundred)
{
    View view;
    view.pane.setText(textWith(2100, {10}));
    FakeUser user{QStringLiteral("abc")};
    ASSERT_TRUE(view.find(user));
    view.pane.setSel(2000, 2000);
    EXPECT_TRUE(view.pane.FindPrevious());
    EXPECT_EQ(sel(view.pane), Sel({10, 13}));

    // A match across a window edge (1499..1502) is in neither window, but
    // once a window holds a match the search steps on up to the selection.
    view.pane.setText(textWith(2100, {10, 1499}));
    view.pane.setSel(2000, 2000);
    EXPECT_TRUE(view.pane.FindPrevious());
    EXPECT_EQ(sel(view.pane), Sel({1499, 1502}));
}

TEST(PaneFind, NothingHappensBeforeASearchTextIsSet)
{
    CREdit_File pane;
    pane.setText(textWith(100, {5, 50}));
    pane.setSel(20, 20);
    key(&pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(sel(pane), Sel({20, 20}));
    key(&pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(pane), Sel({20, 20}));
    EXPECT_FALSE(pane.FindNext());
}

TEST(PaneFind, NeverMatchesTheSecondByteOfACharacter)
{
    View view;
    view.pane.setText("\x83\x41\x83\x41 or A");  // アア or A
    FakeUser user{QStringLiteral("a")};
    ASSERT_TRUE(view.find(user));
    EXPECT_EQ(sel(view.pane), Sel({8, 9}));
    FakeUser kana{QStringLiteral("ア")};
    ASSERT_TRUE(view.find(kana));
    EXPECT_EQ(sel(view.pane), Sel({0, 2}));
    key(&view.pane, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({2, 4}));
}

// "abc" at 699-702 straddles the edge between the windows (700, 1200) and
// (200, 700): each window reaches into the next by the pattern's length - 1.
TEST(PaneFind, FindPreviousFindsAMatchAcrossAWindowEdge)
{
    View view;
    view.pane.setText(textWith(1300, {699}));
    FakeUser user{QStringLiteral("abc")};
    ASSERT_TRUE(view.find(user));
    view.pane.setSel(1200, 1200);
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({699, 702}));
    // The same across (0, 500) and (500, 1000), with the selection at 1000.
    view.pane.setText(textWith(1300, {498}));
    view.pane.setSel(1000, 1000);
    EXPECT_TRUE(view.pane.FindPrevious());
    EXPECT_EQ(sel(view.pane), Sel({498, 501}));
    // A match that ends right at the selection counts; one reaching past it does not.
    view.pane.setText(textWith(1300, {497, 1198}));
    view.pane.setSel(1200, 1200);
    EXPECT_TRUE(view.pane.FindPrevious());
    EXPECT_EQ(sel(view.pane), Sel({497, 500}));
}

TEST(PaneFind, TextWithACharacterCodePage932LacksFindsNothing)
{
    View view;
    view.pane.setText("a? and a?");
    view.pane.setSel(3, 4);
    FakeUser user{QStringLiteral("a\u00E9")};  // aé
    EXPECT_FALSE(view.find(user));
    EXPECT_EQ(sel(view.pane), Sel({3, 4}));
    EXPECT_EQ(view.searchText, QStringLiteral("a\u00E9"));  // offered again next time
    key(&view.pane, Qt::Key_Right, Qt::ControlModifier);
    key(&view.pane, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(sel(view.pane), Sel({3, 4}));
    // A character outside the basic plane (a surrogate pair) as well.
    FakeUser emoji{QString::fromUtf8("a\xF0\x9F\x98\x80")};
    EXPECT_FALSE(view.find(emoji));
    // A real question mark is still found.
    FakeUser question{QStringLiteral("a?")};
    EXPECT_TRUE(view.find(question));
    EXPECT_EQ(sel(view.pane), Sel({0, 2}));
}

// Pasting keeps what the box holds and as much of the pasted text as fits in
// 99 bytes, cut between two characters, as typing it would.
TEST(PaneFind, PastedTextIsCutToNinetyNineBytes)
{
    CFindTextDlg dialog;
    dialog.show();
    QLineEdit* edit = dialog.comboBox()->lineEdit();
    auto bytes = [&] { return cp932::fromUnicode(edit->text()).size(); };

    edit->setText(QStringLiteral("ab"));
    edit->setCursorPosition(2);
    QGuiApplication::clipboard()->setText(QString(60, QChar(0x3042)));  // 120 bytes of あ
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("ab") + QString(48, QChar(0x3042)));  // 98: one more would be 100
    EXPECT_EQ(edit->cursorPosition(), 50);

    // Into the middle: the text around the cursor stays.
    edit->setText(QStringLiteral("[]"));
    edit->setCursorPosition(1);
    QGuiApplication::clipboard()->setText(QString(200, QLatin1Char('x')));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("[") + QString(97, QLatin1Char('x')) + QStringLiteral("]"));
    EXPECT_EQ(bytes(), 99);

    // Over a selection, in place of it.
    edit->setText(QStringLiteral("keep-this"));
    edit->setSelection(0, 4);
    QGuiApplication::clipboard()->setText(QStringLiteral("x") + QString(60, QChar(0x3044)));
    edit->paste();
    EXPECT_EQ(edit->text(), QStringLiteral("x") + QString(46, QChar(0x3044)) + QStringLiteral("-this"));
    EXPECT_LE(bytes(), 99);

    // A full box takes nothing more.
    edit->setText(QString(99, QLatin1Char('y')));
    edit->setCursorPosition(99);
    edit->paste();
    EXPECT_EQ(edit->text(), QString(99, QLatin1Char('y')));
    dialog.accept();
    EXPECT_EQ(dialog.text, QString(99, QLatin1Char('y')));
}

// Find next through a run of "メ" looking for "＜", which is only at the end.
TEST(PaneFind, FindNextThroughALeadRunDoesLinearWork)
{
    const qint64 n = 100000;
    QByteArray text;
    for (qint64 i = 0; i < n / 2; ++i)
        text += "\x83\x81";
    text += "\x81\x83";
    View view;
    view.pane.setText(text);
    FakeUser user{QStringLiteral("＜")};
    ASSERT_TRUE(view.find(user));
    EXPECT_EQ(sel(view.pane), Sel({n, n + 2}));
    view.pane.setSel(n, n);
    EXPECT_FALSE(view.pane.FindPrevious());  // back through the whole run, window by window
    EXPECT_LE(view.pane.chars().bytesExamined(), 4 * n);
}
