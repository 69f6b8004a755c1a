// The content pane with UTF-8 and UTF-16 texts: they are drawn as the same
// characters as their Shift-JIS form, copy as the right Unicode, the caret
// steps over whole characters, searches from the dialog find across case,
// and Ctrl+U's conversion of EUC-JP still ends in Shift-JIS.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>

#include "core/viewer/cp932.h"
#include "core/viewer/encoding.h"
#include "core/viewer/euc.h"
#include "support/testsupport.h"
#include "ui/viewer/CFindTextDlg.h"
#include "ui/viewer/CREdit_File.h"

using textenc::Encoding;

namespace {

void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, QString());
    QApplication::sendEvent(w, &press);
}

struct Pane : CREdit_File {
    Pane()
    {
        setLogFont(LOGFONT{});
        resize(400, 200);
        show();
    }
};

std::pair<qint64, qint64> sel(const CREdit_File& pane)
{
    qint64 s = 0;
    qint64 e = 0;
    pane.getSel(&s, &e);
    return {s, e};
}

QByteArray withBom(const QString& s, Encoding e)
{
    const QByteArray bom = e == Encoding::Utf16LE ? QByteArray("\xFF\xFE")
                           : e == Encoding::Utf16BE ? QByteArray("\xFE\xFF")
                                                    : QByteArray("\xEF\xBB\xBF");
    return bom + textenc::fromUnicode(e, s);
}

QImage shot(CREdit_File& pane, const QByteArray& bytes)
{
    pane.setText(bytes);
    pane.clearFocus();
    return pane.viewport()->grab().toImage();
}

}  // namespace

TEST(PaneUnicode, FixturesShowAndCopyTheirCharacters)
{
    const QString expected = QString::fromUtf8("日本語のテキスト\tcafé straße 😀\r\nａｂｃ Ｎｏ.1 ｶﾀｶﾅ\r\n最後の行\n");
    const struct {
        const char* file;
        Encoding enc;
    } cases[] = {{"text/unicode.utf8.txt", Encoding::Utf8},
                 {"text/unicode.utf8bom.txt", Encoding::Utf8},
                 {"text/unicode.utf16le.txt", Encoding::Utf16LE},
                 {"text/unicode.utf16be.txt", Encoding::Utf16BE}};
    Pane pane;
    for (const auto& c : cases) {
        const QByteArray bytes = testsupport::readFile(testsupport::fixture(QString::fromLatin1(c.file)));
        pane.setText(bytes);
        EXPECT_EQ(pane.encoding(), c.enc) << c.file;
        EXPECT_EQ(pane.text(), bytes) << c.file;  // the bytes stay as they are
        pane.setSel(0, -1);
        key(&pane, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), expected) << c.file;
        EXPECT_EQ(pane.lineCount(), 4) << c.file;
    }
}

TEST(PaneUnicode, DrawnLikeTheSameTextInShiftJis)
{
    // Characters code page 932 has, with TAB, CR LF, LF and a lone CR: every
    // encoding draws the same pixels; the byte order marks draw nothing.
    const QString s = QString::fromUtf8("日本語のテキスト\tabc\r\nｶﾀｶﾅ ＡＢＣ 髙﨑\r終わり\n次");
    Pane pane;
    const QImage sjis = shot(pane, cp932::fromUnicode(s));
    ASSERT_EQ(pane.encoding(), Encoding::Cp932);
    EXPECT_EQ(shot(pane, s.toUtf8()), sjis);
    EXPECT_EQ(pane.encoding(), Encoding::Utf8);
    for (const Encoding e : {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE}) {
        EXPECT_EQ(shot(pane, withBom(s, e)), sjis);
        EXPECT_EQ(pane.encoding(), e);
    }
    // Shown as code page 932, the UTF-8 bytes would not look the same.
    EXPECT_NE(shot(pane, cp932::fromUnicode(cp932::toUnicode(s.toUtf8()))), sjis);
}

TEST(PaneUnicode, CaretStepsOverWholeCharacters)
{
    Pane pane;
    const QString s = QString::fromUtf8("a😀é\r\nb");
    // UTF-8: a 0, 😀 1-4, é 5-6, CR LF 7-8, b 9.
    pane.setText(s.toUtf8());
    pane.setSel(1, 1);
    key(&pane, Qt::Key_Right);
    EXPECT_EQ(sel(pane), std::make_pair(qint64(5), qint64(5)));  // the emoji in one press
    key(&pane, Qt::Key_Right);
    EXPECT_EQ(sel(pane).second, 7);
    key(&pane, Qt::Key_Right);
    EXPECT_EQ(sel(pane).second, 9);  // CR LF in one press
    key(&pane, Qt::Key_Left);
    key(&pane, Qt::Key_Left, Qt::ShiftModifier);
    key(&pane, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(sel(pane), std::make_pair(qint64(1), qint64(7)));
    pane.setSel(2, 3);  // both ends inside the emoji
    EXPECT_EQ(sel(pane), std::make_pair(qint64(1), qint64(1)));

    // UTF-16 LE: BOM 0, a 2, 😀 4-7, é 8, CR LF 10-13, b 14.
    pane.setText(withBom(s, Encoding::Utf16LE));
    pane.setSel(4, 4);
    key(&pane, Qt::Key_Right);
    EXPECT_EQ(sel(pane).second, 8);
    key(&pane, Qt::Key_Left);
    EXPECT_EQ(sel(pane).second, 4);
    pane.setSel(5, 7);
    EXPECT_EQ(sel(pane), std::make_pair(qint64(4), qint64(4)));
    key(&pane, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(sel(pane).second, pane.text().size());
    key(&pane, Qt::Key_Up);
    EXPECT_EQ(pane.lineFromChar(-1), 0);
}

TEST(PaneUnicode, SearchCommandEncodesTheTextTheWayThePaneDoes)
{
    QString searchText;
    QByteArray buffer;
    Pane pane;
    auto typing = [](const QString& text) {
        return [text](CFindTextDlg& dialog) {
            dialog.show();
            dialog.comboBox()->setEditText(text);
            dialog.accept();
            return true;
        };
    };
    const QString s = QString::fromUtf8("x é ａｂｃ café É");
    for (const Encoding e : {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE}) {
        const QByteArray bytes = withBom(s, e);
        pane.setText(bytes);
        const qint64 e1 = bytes.indexOf(textenc::fromUnicode(e, QString::fromUtf8("é")));
        ASSERT_TRUE(FindInContent(nullptr, searchText, buffer, &pane, typing(QString::fromUtf8("É"))));
        EXPECT_EQ(sel(pane), std::make_pair(e1, e1 + 2));  // é is 2 bytes in both
        // Find next and previous go on through the other forms.
        key(&pane, Qt::Key_Right, Qt::ControlModifier);
        const qint64 e2 = bytes.indexOf(textenc::fromUnicode(e, QString::fromUtf8("é")), e1 + 1);
        EXPECT_EQ(sel(pane).first, e2);
        key(&pane, Qt::Key_Right, Qt::ControlModifier);
        const qint64 e3 = bytes.indexOf(textenc::fromUnicode(e, QString::fromUtf8("É")));
        EXPECT_EQ(sel(pane).first, e3);
        key(&pane, Qt::Key_Left, Qt::ControlModifier);
        EXPECT_EQ(sel(pane).first, e2);

        const qint64 abc = bytes.indexOf(textenc::fromUnicode(e, QString::fromUtf8("ａｂｃ")));
        ASSERT_TRUE(FindInContent(nullptr, searchText, buffer, &pane, typing(QString::fromUtf8("ＡＢＣ"))));
        EXPECT_EQ(sel(pane).first, abc);
        EXPECT_FALSE(FindInContent(nullptr, searchText, buffer, &pane, typing(QStringLiteral("abc"))));
    }
    // A search text set on a UTF-8 text still finds in a Shift-JIS text
    // loaded afterwards, and the other way round.
    pane.setText(QString::fromUtf8("日本").toUtf8());
    ASSERT_TRUE(FindInContent(nullptr, searchText, buffer, &pane, typing(QString::fromUtf8("本"))));
    pane.setText(cp932::fromUnicode(QString::fromUtf8("本と日本")));
    ASSERT_EQ(pane.encoding(), Encoding::Cp932);
    pane.setSel(0, 2);
    EXPECT_TRUE(pane.FindNext());
    EXPECT_EQ(sel(pane), std::make_pair(qint64(6), qint64(8)));
}

TEST(PaneUnicode, EucConversionStillEndsInShiftJis)
{
    Pane pane;
    const QByteArray euc = testsupport::readFile(testsupport::fixture("text/sample.eucjp.txt"));
    pane.setText(euc);
    ASSERT_EQ(pane.encoding(), Encoding::Cp932);
    pane.setText(ConvertEucToSjisBytes(pane.text()));
    EXPECT_EQ(pane.text(), testsupport::readFile(testsupport::fixture("text/sample.eucjp-to-sjis.nkf.txt")));
    EXPECT_EQ(pane.encoding(), Encoding::Cp932);
    // On a Unicode text the same byte arithmetic runs, and the result is
    // detected again.
    pane.setText(QString::fromUtf8("日本語").toUtf8());
    const QByteArray converted = ConvertEucToSjisBytes(pane.text());
    pane.setText(converted);
    EXPECT_EQ(pane.text(), converted);
    EXPECT_EQ(pane.encoding(), textenc::detect(converted));
}
