// The preview's texts: the display filter, grouped numbers, dates, attribute letters.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ctime>

#include <gtest/gtest.h>

#include "core/view/drives.h"
#include "core/viewer/display.h"
#include "platform/filesystem.h"
#include "support/testsupport.h"

TEST(DisplayFilter, ControlBytesBecomeCaretsAndTextBytesStay)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    QByteArray filtered = all;
    SanitizeForDisplay(filtered);
    ASSERT_EQ(filtered.size(), 256);
    for (int b = 0; b < 256; ++b) {
        const bool kept = b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b != 0x7F);
        EXPECT_EQ(static_cast<unsigned char>(filtered[b]), kept ? b : '^') << "byte " << b;
    }
    char buf[4] = {'\x00', '\x1b', '\x7f', 'x'};
    SanitizeForDisplay(buf, 3);
    EXPECT_STREQ(buf, "^^^");
    char empty[1] = {'x'};
    SanitizeForDisplay(empty, 0);
    EXPECT_EQ(empty[0], '\0');
}

TEST(GroupedNumber, GroupsOfThreeFromTheRightIncludingBeyond32Bits)
{
    EXPECT_EQ(FormatGroupedNumber(0), "0");
    EXPECT_EQ(FormatGroupedNumber(999), "999");
    EXPECT_EQ(FormatGroupedNumber(1000), "1,000");
    EXPECT_EQ(FormatGroupedNumber(1005), "1,005");
    EXPECT_EQ(FormatGroupedNumber(12345), "12,345");
    EXPECT_EQ(FormatGroupedNumber(1234567), "1,234,567");
    EXPECT_EQ(FormatGroupedNumber(4294967295u), "4,294,967,295");
    EXPECT_EQ(FormatGroupedNumber(5000000000ull), "5,000,000,000");
    EXPECT_EQ(FormatGroupedNumber(18446744073709551615ull), "18,446,744,073,709,551,615");
}

TEST(DateText, LocalDateAndDosDateReadTheSame)
{
    EXPECT_EQ(localDateText(testsupport::localNoon(2001, 3, 7)), "2001.3.7");
    EXPECT_EQ(dosDateText(0x2A67), "2001.3.7");
    EXPECT_EQ(dosDateText(0), "1980.0.0");
}

TEST(Attributes, LettersInTheirOrder)
{
    EXPECT_EQ(attributeLetters(0), "");
    EXPECT_EQ(attributeLetters(0x20), "A");
    EXPECT_EQ(attributeLetters(0x01 | 0x20), "RA");
    EXPECT_EQ(attributeLetters(0x01 | 0x02), "RH");
    EXPECT_EQ(attributeLetters(0xFF), "RHSA");
}

class FileStatusOnDisk : public ::testing::Test {
protected:
    void SetUp() override { pathMap().setDrives({Drive::root()}); }
    QByteArray prog(const QString& name) { return pathMap().fromNative(QFile::encodeName(dir.filePath(name))); }
    QTemporaryDir dir;
};

TEST_F(FileStatusOnDisk, AttributeLettersFollowPermissionsNamesAndKinds)
{
    testsupport::writeFile(dir.filePath("plain.txt"), "x");
    testsupport::writeFile(dir.filePath(".hidden"), "x");
    testsupport::writeFile(dir.filePath(".locked"), "x");
    ASSERT_EQ(chmod(QFile::encodeName(dir.filePath(".locked")).constData(), 0444), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0644), 0);
    QDir(dir.path()).mkdir("folder");
    auto letters = [&](const char* n) { return attributeLetters(platform::fileStatus(prog(n))->attributes); };
    EXPECT_EQ(letters("plain.txt"), "A");
    EXPECT_EQ(letters(".hidden"), "HA");
    EXPECT_EQ(letters(".locked"), "RHA");
    EXPECT_EQ(letters("pipe"), "S");
    EXPECT_EQ(letters("folder"), "");
    EXPECT_TRUE(platform::fileStatus(prog("folder"))->isDir);
    EXPECT_FALSE(platform::fileStatus(prog("missing")).has_value());
}

TEST_F(FileStatusOnDisk, SizesAreSixtyFourBitAndDatesAreTheLastWrite)
{
    const QString big = dir.filePath("sparse.bin");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(5000000000LL));  // sparse: no disk space used
    }
    const auto st = platform::fileStatus(prog("sparse.bin"));
    ASSERT_TRUE(st.has_value());
    EXPECT_EQ(st->size, 5000000000ull);
    EXPECT_EQ(FormatGroupedNumber(st->size), "5,000,000,000");
    testsupport::setModified(big, testsupport::localNoon(2001, 3, 7));
    EXPECT_EQ(localDateText(platform::fileStatus(prog("sparse.bin"))->mtime), "2001.3.7");
}

TEST_F(FileStatusOnDisk, ReadFileReadsWhatIsThereAndStopsAtTheEnd)
{
    testsupport::writeFile(dir.filePath("five.txt"), "12345");
    platform::ReadFile f(prog("five.txt"));
    ASSERT_TRUE(f.isOpen());
    char buf[16] = {};
    EXPECT_EQ(f.read(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "12345");
    EXPECT_FALSE(platform::ReadFile(prog("missing")).isOpen());
    EXPECT_GT(platform::availableMemory(), 1u << 20);
}
