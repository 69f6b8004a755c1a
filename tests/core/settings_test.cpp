// The settings in the profile: defaults, round trips, names without case, damage.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/settings/settings.h"
#include "platform/profile_qsettings.h"
#include "support/testsupport.h"

namespace {

class ProfileFile : public ::testing::Test {
protected:
    QString file() const { return dir.filePath("Trovik32.conf"); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ProfileFile, FirstRunGivesEveryDefault)
{
    QSettingsProfile p(file());
    Settings s;
    s.startPath = "junk";
    s.listItemHeight = 99;
    loadSettings(p, s);
    for (const LOGFONT* lf : {&s.listLogFont, &s.editLogFont}) {
        EXPECT_EQ(lf->faceName(), "System");
        EXPECT_EQ(lf->lfHeight, 18);
        EXPECT_EQ(lf->lfWidth, 8);
        EXPECT_EQ(lf->lfEscapement, 0);
        EXPECT_EQ(lf->lfOrientation, 0);
        EXPECT_EQ(lf->lfWeight, 400);
        EXPECT_EQ(lf->lfItalic, 0);
        EXPECT_EQ(lf->lfUnderline, 0);
        EXPECT_EQ(lf->lfStrikeOut, 0);
        EXPECT_EQ(lf->lfCharSet, 128);
        EXPECT_EQ(lf->lfOutPrecision, 1);
        EXPECT_EQ(lf->lfClipPrecision, 2);
        EXPECT_EQ(lf->lfQuality, 2);
        EXPECT_EQ(lf->lfPitchAndFamily, 2);
    }
    EXPECT_EQ(s.listItemHeight, 18);
    EXPECT_EQ(s.editPointSize, 10);
    EXPECT_EQ(s.marginTop, 10);
    EXPECT_EQ(s.marginBottom, 10);
    EXPECT_EQ(s.marginLeft, 10);
    EXPECT_EQ(s.marginRight, 10);
    EXPECT_EQ(s.startPath, "c:");
    EXPECT_EQ(s.editorPath, "c:\\windows\\notepad.exe");
    EXPECT_EQ(loadWindowRect(p), (WindowRect{0, 0, 200, 150}));
}

TEST_F(ProfileFile, RoundTripKeepsEveryFieldIncludingNegativeHeightAndByte255)
{
    Settings s;
    s.listLogFont.lfHeight = -24;
    s.listLogFont.lfItalic = 255;
    s.listLogFont.setFaceName("IPAGothic");
    s.editLogFont.lfWeight = 700;
    s.editLogFont.lfUnderline = 1;
    s.editPointSize = 120;
    s.listItemHeight = 22;
    s.marginTop = 5;
    s.marginLeft = 25;
    s.startPath = "c:\\work\\日本語";
    s.editorPath = "c:\\usr\\bin\\mousepad";
    {
        QSettingsProfile p(file());
        saveSettings(p, s, WindowRect{300, 200, 940, 680});
    }
    // Byte fields are written as their unsigned value.
    const QByteArray raw = testsupport::readFile(file());
    EXPECT_TRUE(raw.contains("lfItalic=255")) << raw.constData();
    EXPECT_TRUE(raw.contains("lfHeight=-24"));
    QSettingsProfile p(file());
    Settings back;
    loadSettings(p, back);
    EXPECT_EQ(back.listLogFont, s.listLogFont);
    EXPECT_EQ(back.editLogFont, s.editLogFont);
    EXPECT_EQ(back.editPointSize, 120);
    EXPECT_EQ(back.listItemHeight, 22);
    EXPECT_EQ(back.marginTop, 5);
    EXPECT_EQ(back.marginLeft, 25);
    EXPECT_EQ(back.startPath, s.startPath);
    EXPECT_EQ(back.editorPath, s.editorPath);
    EXPECT_EQ(loadWindowRect(p), (WindowRect{300, 200, 940, 680}));
}

TEST_F(ProfileFile, NamesCompareWithoutCaseAndAreRewrittenInTheProgramsSpelling)
{
    testsupport::writeFile(file(), "[listfont]\nLISTLFHEIGHT=31\nLfItalic=1\n[PATH]\nstartpath=c:\\\\tmp\n");
    {
        QSettingsProfile p(file());
        EXPECT_EQ(p.readInt("ListFont", "ListlfHeight", 18), 31);
        EXPECT_EQ(p.readInt("ListFont", "lfItalic", 0), 1);
        EXPECT_EQ(p.readString("Path", "StartPath", "c:"), "c:\\tmp");
        p.writeInt("ListFont", "ListlfHeight", 40);
        EXPECT_EQ(p.readInt("LISTFONT", "listlfheight", 18), 40);
    }
    const QByteArray raw = testsupport::readFile(file());
    EXPECT_TRUE(raw.contains("[ListFont]"));
    EXPECT_TRUE(raw.contains("ListlfHeight=40"));
    EXPECT_FALSE(raw.contains("LISTLFHEIGHT"));
}

TEST_F(ProfileFile, DamagedValuesAndProfilesFallBackToDefaultsAndKeepACopy)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(static_cast<char>((i * 7919) & 0xFF));
    garbage.prepend("[ListFont]\nListlfHeight=notanumber\n");
    testsupport::writeFile(file(), garbage);
    {
        QSettingsProfile p(file());
        Settings s;
        loadSettings(p, s);
        EXPECT_EQ(s.listItemHeight, 18);
        EXPECT_EQ(s.startPath, "c:");
        saveSettings(p, s, WindowRect{});
    }
    QSettingsProfile again(file());
    EXPECT_EQ(again.readInt("ListFont", "ListlfHeight", 0), 18);
}

TEST_F(ProfileFile, UnreadableProfileIsBackedUpBeforeItIsReplaced)
{
    // A profile QSettings refuses to parse: invalid UTF-8 inside a section name with a
    // broken escape, as a disk error can leave it.
    testsupport::writeFile(file(), QByteArray("[WinPos\nleft=5\n\x00\x01\xff", 17));
    QSettingsProfile p(file());
    EXPECT_EQ(loadWindowRect(p), (WindowRect{0, 0, 200, 150}));
    p.writeInt("WinPos", "left", 7);
    p.sync();
    ASSERT_TRUE(QFile::exists(file() + ".bak"));
    EXPECT_EQ(testsupport::readFile(file() + ".bak").size(), 17);
    EXPECT_EQ(QSettingsProfile(file()).readInt("WinPos", "left", 0), 7);
}
