// Unicode files through the preview and the full load: a preview that cuts a
// UTF-8 character is still UTF-8, and a UTF-16 file keeps its zero bytes
// while its control characters show as "^".
#include <QTest>

#include <gtest/gtest.h>

#include "core/viewer/encoding.h"
#include "support/testsupport.h"
#include "support/uiharness.h"

using textenc::Encoding;

namespace {

class UnicodeLoad : public ::testing::Test {
protected:
    CTrovik32View* openWith(const QString& name)
    {
        CTrovik32View* v = h.openOn(name.toUtf8());
        EXPECT_EQ(v->fileList->text(v->fileList->curSel()), name.toUtf8());
        return v;
    }
    UiHarness h;
};

}  // namespace

TEST_F(UnicodeLoad, PreviewCutInsideACharacterStaysUtf8AndTheFullLoadToo)
{
    QByteArray text;
    while (text.size() < 3000)
        text += QString::fromUtf8("日本語の文章。").toUtf8();
    ASSERT_EQ(text.size() % 3, 0);
    text.prepend('x');  // byte 2000 now falls inside a character
    testsupport::writeFile(h.dir.filePath("cut.txt"), text);
    CTrovik32View* v = openWith("cut.txt");
    EXPECT_EQ(v->contentPane->text(), text.left(2000));
    EXPECT_EQ(v->contentPane->encoding(), Encoding::Utf8);
    EXPECT_EQ(v->contentPane->decodedText(0, 7), QString::fromUtf8("x日本"));
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->contentPane->text(), text);
    EXPECT_EQ(v->contentPane->encoding(), Encoding::Utf8);
}

TEST_F(UnicodeLoad, Utf16KeepsItsZeroBytesAndShowsControlCharactersAsCarets)
{
    QString s = QString::fromUtf8("表示\t");
    s += QChar(0x1B);
    s += QStringLiteral("A\r\n");
    QString shown = s;
    shown[3] = QLatin1Char('^');
    const QByteArray bytes = QByteArray("\xFF\xFE") + textenc::fromUnicode(Encoding::Utf16LE, s);
    const QByteArray expected = QByteArray("\xFF\xFE") + textenc::fromUnicode(Encoding::Utf16LE, shown);
    testsupport::writeFile(h.dir.filePath("notepad.txt"), bytes);
    CTrovik32View* v = openWith("notepad.txt");
    EXPECT_EQ(v->contentPane->text(), expected);
    EXPECT_EQ(v->contentPane->encoding(), Encoding::Utf16LE);
    EXPECT_EQ(v->contentPane->decodedText(0, expected.size()), shown);
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->contentPane->text(), expected);
}
