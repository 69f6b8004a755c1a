// EUC-JP to Shift-JIS conversion, byte for byte, including the results for
// bytes that are not valid EUC-JP.
#include <gtest/gtest.h>

#include "core/viewer/euc.h"
#include "support/testsupport.h"

namespace {
QByteArray B(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}
}  // namespace

TEST(EucToSjis, AsciiAndEmptyTextStayAsTheyAre)
{
    const QByteArray ascii("line one\r\n\tTAB ~\\ 0123\x7F\r\n");
    EXPECT_EQ(ConvertEucToSjisBytes(ascii), ascii);
    EXPECT_EQ(ConvertEucToSjisBytes(QByteArray()), QByteArray());
}

TEST(EucToSjis, PairsAndHalfWidthKatakana)
{
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xA4, 0xA2, 0xA4, 0xA4})), B({0x82, 0xA0, 0x82, 0xA2}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xB0, 0xA1})), B({0x88, 0x9F}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xA5, 0xA2})), B({0x83, 0x41}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8E, 0xB1, 0x8E, 0xB2})), B({0xB1, 0xB2}));
    // Last row of JIS X 0208 (0xF4A6) and an even row whose trail crosses 0x7F.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xF4, 0xA6})), B({0xEA, 0xA4}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xA1, 0xE0})), B({0x81, 0x80}));
}

TEST(EucToSjis, BytesThatAreNotEucConvertWithoutChecks)
{
    // A cut pair at the end pairs with the terminating 0.
    EXPECT_EQ(ConvertEucToSjisBytes(B({'a', 0xA4})), B({'a', 0x82, 0x7D}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xA5})), B({0x83, 0x1F}));
    // Below row 0x21 the lead byte wraps round.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xA0, 0xA1})), B({0x80, 0x9F}));
    // Single shift 3 is just another pair; its third byte goes on its own.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0xB0, 0x41})), B({0x78, 0x4F, 0x41}));
    // A pair takes whatever byte follows, even a line feed.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0xB0, '\n', 'x'})), B({0x88, 0x88, 'x'}));
    // A trailing single shift 2 yields a 0 byte, where the text ends.
    EXPECT_EQ(ConvertEucToSjisBytes(B({'a', 'b', 0x8E})), QByteArray("ab"));
}

TEST(EucToSjis, ShiftJisTextIsGarbledAndNotRestoredByASecondRun)
{
    const QByteArray sjis = B({0x82, 0xA0, 0x88, 0x9F, 'x'});  // あ亜x
    const QByteArray once = ConvertEucToSjisBytes(sjis);
    EXPECT_NE(once, sjis);
    EXPECT_EQ(once.right(1), QByteArray("x"));
    EXPECT_NE(ConvertEucToSjisBytes(once), sjis);
}

TEST(EucToSjis, SampleTextMatchesNkf)
{
    const QByteArray euc = testsupport::readFile(testsupport::fixture("text/sample.eucjp.txt"));
    const QByteArray nkf = testsupport::readFile(testsupport::fixture("text/sample.eucjp-to-sjis.nkf.txt"));
    ASSERT_FALSE(euc.isEmpty());
    EXPECT_EQ(ConvertEucToSjisBytes(euc), nkf);
}
