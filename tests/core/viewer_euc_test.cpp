// EUC-JP to Shift-JIS conversion, byte for byte, including the results for
// bytes that are not valid EUC-JP.
#include <gtest/gtest.h>

#include <QProcess>

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

// Single shift 3 (0x8F) and the two bytes after it are one character.
TEST(EucToSjis, ThreeByteCharactersAreOneCharacter)
{
    // 髙 and 﨑 (IBM extensions) between ordinary characters and line ends.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0xF4, 0xFB, 0xB6, 0xB6, '\n', 0xBB, 0xB3, 0x8F, 0xF4, 0xBD, '\n'})),
              B({0xFB, 0xFC, 0x8B, 0xB4, '\n', 0x8E, 0x52, 0xFA, 0xB1, '\n'}));
    // A character without a code page 932 code (丂) becomes the geta mark;
    // the byte after it is untouched.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0xB0, 0xA1, 'a', 0x8F, 0xA2, 0xAF, '\n'})),
              B({0x81, 0xAC, 'a', 0x81, 0xAC, '\n'}));
    // User-defined rows map in order onto F540-F9FC.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0xF5, 0xA1, 0x8F, 0xFE, 0xFE})), B({0xF5, 0x40, 0xF9, 0xFC}));
    // Bytes that are not JIS X 0212 after 0x8F still make one character.
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0xB0, 0x41, 'x'})), B({0x81, 0xAC, 'x'}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({0x8F, 0x74, 0x7B, 'x'})), B({0x81, 0xAC, 'x'}));
    // Cut at the end of the text, like a cut pair: one character, then the end.
    EXPECT_EQ(ConvertEucToSjisBytes(B({'a', 0x8F, 0xF4})), B({'a', 0x81, 0xAC}));
    EXPECT_EQ(ConvertEucToSjisBytes(B({'a', 0x8F})), B({'a', 0x81, 0xAC}));
}

TEST(EucToSjis, NamesWithThreeByteCharactersMatchNkf)
{
    const QByteArray euc = testsupport::readFile(testsupport::fixture("text/names.eucjp-ms.txt"));
    const QByteArray nkf = testsupport::readFile(testsupport::fixture("text/names.eucjp-ms-to-sjis.nkf.txt"));
    ASSERT_TRUE(euc.contains('\x8F'));
    EXPECT_EQ(ConvertEucToSjisBytes(euc), nkf);
}

namespace {
// Runs a converter on the bytes; false when it cannot be run.
bool runTool(const QString& program, const QStringList& args, const QByteArray& in, QByteArray* out)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    p.write(in);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return false;
    *out = p.readAllStandardOutput();
    return true;
}
}  // namespace

// Every three-byte code, one per line: where EUC-JP-MS (glibc's iconv) defines
// the character, the result is nkf's, or the geta mark where nkf drops it;
// codes EUC-JP-MS leaves undefined become the geta mark.
TEST(EucToSjis, EveryThreeByteCodeAgreesWithNkf)
{
    QByteArray in;
    for (int b2 = 0xA1; b2 <= 0xFE; ++b2)
        for (int b3 = 0xA1; b3 <= 0xFE; ++b3)
            in.append(B({0x8F, b2, b3, '\n'}));
    QByteArray nkfOut;
    QByteArray defined;
    if (!runTool(QStringLiteral("nkf"), {QStringLiteral("-x"), QStringLiteral("-E"), QStringLiteral("-s")}, in, &nkfOut)
        || !runTool(QStringLiteral("iconv"), {QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("EUC-JP-MS"),
                                               QStringLiteral("-t"), QStringLiteral("UTF-8")},
                    in, &defined))
        GTEST_SKIP() << "nkf or iconv is missing (scripts/setup.sh installs them)";
    const QList<QByteArray> nkfLines = nkfOut.split('\n');
    const QList<QByteArray> definedLines = defined.split('\n');
    const QList<QByteArray> ours = ConvertEucToSjisBytes(in).split('\n');
    ASSERT_EQ(ours.size(), 94 * 94 + 1);
    ASSERT_EQ(nkfLines.size(), ours.size());
    ASSERT_EQ(definedLines.size(), ours.size());
    int mapped = 0;
    for (int i = 0; i < 94 * 94; ++i) {
        const bool isDefined = !definedLines[i].isEmpty();
        const QByteArray want = isDefined && !nkfLines[i].isEmpty() ? nkfLines[i] : QByteArray("\x81\xAC");
        ASSERT_EQ(ours[i], want) << "8F " << QByteArray(in.mid(i * 4 + 1, 2)).toHex(' ').constData();
        mapped += want != "\x81\xAC";
    }
    EXPECT_GT(mapped, 1000);  // the IBM extensions and the user-defined rows
}
