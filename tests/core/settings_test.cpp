// The settings in the profile: defaults, round trips, names without case,
// damaged and unreadable profiles, integers and their bounds.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/settings/settings.h"
#include "platform/profile_qsettings.h"
#include "support/testsupport.h"

namespace {

class ProfileFile : public ::testing::Test {
protected:
    QString file() const { return dir.filePath("Trovik32.conf"); }
    QStringList folder() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot); }
    QTemporaryDir dir;
};

// Runs check as an ordinary user: the administrator reads and writes
// everything, so then it runs as nobody, in a child process.
int asUser(const std::function<int()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A settings file as the user might have edited it, under one section.
QByteArray section(const char* name, const QByteArray& lines)
{
    return QByteArray("[") + name + "]\n" + lines;
}

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

TEST_F(ProfileFile, EveryKindOfDamageIsCopiedAsideBeforeAnythingIsWritten)
{
    QByteArray random;
    quint32 x = 12345;
    for (int i = 0; i < 4096; ++i) {
        x = x * 1103515245u + 12345u;
        random.append(static_cast<char>(x >> 24));
    }
    QByteArray big = "[Path]\n";
    while (big.size() <= (1 << 20))
        big += "Filler=" + QByteArray(100, 'x') + "\n";
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"random bytes", random},
        {"a line without =", section("ListFont", "ListlfHeight=30\nthis line has no equals sign\n")},
        {"a key of blanks", section("ListFont", "  =30\n")},
        {"an unclosed section", "[ListFont\nListlfHeight=30\n"},
        {"invalid UTF-8", section("Path", "StartPath=c:\\\xff\xfe\n")},
        {"a NUL byte", QByteArray("[Path]\nStartPath=c:\0x\n", 22)},
        {"over 1 MiB of good lines", big},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        QTemporaryDir d;
        const QString f = d.filePath("Trovik32.conf");
        testsupport::writeFile(f, bytes);
        QSettingsProfile p(f);
        EXPECT_EQ(p.state(), QSettingsProfile::State::Damaged);
        EXPECT_EQ(p.backupFile(), f + ".bak");
        EXPECT_TRUE(p.notice().contains(f + ".bak"));
        EXPECT_EQ(testsupport::readFile(f + ".bak"), bytes);
        // Read as empty: every setting is its default.
        Settings s;
        loadSettings(p, s);
        EXPECT_EQ(s.listItemHeight, 18);
        EXPECT_EQ(s.startPath, "c:");
        // Nothing is written until the settings are saved; then the file is sound.
        EXPECT_EQ(testsupport::readFile(f), bytes);
        p.writeInt("ListFont", "ListlfHeight", 22);
        p.sync();
        QSettingsProfile again(f);
        EXPECT_EQ(again.state(), QSettingsProfile::State::Ok);
        EXPECT_EQ(again.readInt("ListFont", "ListlfHeight", 0), 22);
    }
}

TEST_F(ProfileFile, SoundProfilesWithCommentsBlanksAndCarriageReturnsAreNotDamaged)
{
    testsupport::writeFile(file(), "; written by hand\r\n\r\n# another comment\n  [ListFont]  \nListlfHeight = 30\r\n"
                                   "\t\n[Path]\nStartPath=c:\\\\tmp\n");
    QSettingsProfile p(file());
    EXPECT_EQ(p.state(), QSettingsProfile::State::Ok);
    EXPECT_TRUE(p.notice().isEmpty());
    EXPECT_EQ(p.readInt("ListFont", "ListlfHeight", 0), 30);
    EXPECT_FALSE(QFile::exists(file() + ".bak"));
}

TEST_F(ProfileFile, OlderBackupsAreNeverOverwritten)
{
    testsupport::writeFile(file() + ".bak", "first");
    testsupport::writeFile(file() + ".bak.1", "second");
    testsupport::writeFile(file(), "third damage\n");
    {
        QSettingsProfile p(file());
        EXPECT_EQ(p.backupFile(), file() + ".bak.2");
        p.writeInt("WinPos", "left", 1);
    }
    EXPECT_EQ(testsupport::readFile(file() + ".bak"), "first");
    EXPECT_EQ(testsupport::readFile(file() + ".bak.1"), "second");
    EXPECT_EQ(testsupport::readFile(file() + ".bak.2"), "third damage\n");
    // The next damage goes to the next free name.
    testsupport::writeFile(file(), "fourth damage\n");
    EXPECT_EQ(QSettingsProfile(file()).backupFile(), file() + ".bak.3");
    EXPECT_EQ(testsupport::readFile(file() + ".bak.2"), "third damage\n");
}

TEST_F(ProfileFile, AProfileThatCannotBeReadIsLeftAloneAndNothingIsWritten)
{
    // A link to a volume that is not mounted, and a folder in the profile's place.
    QDir(dir.path()).mkpath("elsewhere");
    const QString target = dir.filePath("elsewhere/Trovik32.conf");
    for (const char* kind : {"dangling link", "folder"}) {
        SCOPED_TRACE(kind);
        QFile::remove(file());
        QDir(dir.path()).rmdir("Trovik32.conf");
        if (kind[0] == 'd')
            ASSERT_TRUE(QFile::link(target, file()));
        else
            ASSERT_TRUE(QDir(dir.path()).mkdir("Trovik32.conf"));
        const QStringList before = folder();
        {
            QSettingsProfile p(file());
            EXPECT_EQ(p.state(), QSettingsProfile::State::LeftAlone);
            EXPECT_TRUE(p.notice().startsWith(file()));
            EXPECT_TRUE(p.notice().contains("既定の設定"));
            Settings s;
            loadSettings(p, s);
            EXPECT_EQ(s.startPath, "c:");
            saveSettings(p, s, WindowRect{});
            p.sync();
        }
        EXPECT_EQ(folder(), before);
        EXPECT_FALSE(QFile::exists(target));
    }
    EXPECT_TRUE(QFileInfo(file()).isDir());
}

TEST_F(ProfileFile, AProfileWithoutReadPermissionIsLeftAlone)
{
    // Mode 000 and a folder anyone may write to: removing and rewriting would succeed.
    testsupport::writeFile(file(), section("WinPos", "left=5\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QStringList before = folder();
    auto check = [&]() -> int {
        QSettingsProfile p(file());
        if (p.state() != QSettingsProfile::State::LeftAlone || !p.notice().contains("読み取りの許可がありません"))
            return 1;
        if (p.readInt("WinPos", "left", 0) != 0)
            return 2;
        p.writeInt("WinPos", "left", 9);
        p.sync();
        return 0;
    };
    EXPECT_EQ(asUser(check), 0);
    EXPECT_EQ(folder(), before);
    ::chmod(QFile::encodeName(file()).constData(), 0600);
    EXPECT_EQ(testsupport::readFile(file()), section("WinPos", "left=5\n"));
}

TEST_F(ProfileFile, AProfileMadeReadOnlyIsReadButNotWritten)
{
    testsupport::writeFile(file(), section("WinPos", "left=5\n"));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(file()).constData(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(file()).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    EXPECT_EQ(asUser([&] {
                  QSettingsProfile p(file());
                  if (p.state() != QSettingsProfile::State::Ok || p.readInt("WinPos", "left", 0) != 5)
                      return 1;
                  p.writeInt("WinPos", "left", 9);
                  p.sync();
                  return 0;
              }),
              0);
    EXPECT_EQ(testsupport::readFile(file()), section("WinPos", "left=5\n"));
}

TEST_F(ProfileFile, IntegersAreDecimalOnly)
{
    testsupport::writeFile(file(), section("T", "octal=010\nhex=0x1F\nblanks=  42  \nneg=-7\nplus=+5\n"
                                                "dword=4294967295\nmin=-2147483648\nhuge=99999999999\n"
                                                "tiny=-2147483649\nexp=1e3\ntail=12abc\nempty=\nword=ten\n"));
    QSettingsProfile p(file());
    EXPECT_EQ(p.readInt("T", "octal", -1), 10);
    EXPECT_EQ(p.readInt("T", "hex", -1), -1);
    EXPECT_EQ(p.readInt("T", "blanks", -1), 42);
    EXPECT_EQ(p.readInt("T", "neg", -1), -7);
    EXPECT_EQ(p.readInt("T", "plus", -1), 5);
    EXPECT_EQ(p.readInt("T", "dword", 0), -1);  // written unsigned, read as the 32-bit value
    EXPECT_EQ(p.readInt("T", "min", 0), INT32_MIN);
    for (const char* key : {"huge", "tiny", "exp", "tail", "empty", "word"})
        EXPECT_EQ(p.readInt("T", key, 77), 77) << key;
}

TEST_F(ProfileFile, ItemAndFontHeightsOutsideTheirBoundsTakeTheDefault)
{
    struct Case {
        const char* itemHeight;
        const char* fontHeight;
        int expectItem, expectFont;
    };
    const Case cases[] = {
        {"0", "2147483647", 18, 18},   {"-5", "-2147483648", 18, 18}, {"100000", "1001", 18, 18},
        {"256", "-1001", 18, 18},      {"1", "1000", 1, 1000},        {"255", "-1000", 255, -1000},
        {"65537", "0", 18, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.itemHeight);
        const QString f = dir.filePath(QString("case%1.conf").arg(++n));
        testsupport::writeFile(f, section("ListFont", QByteArray("ListlfHeight=") + c.itemHeight + "\nlfHeight="
                                                               + c.fontHeight + "\n")
                                           + section("EditFont", QByteArray("lfHeight=") + c.fontHeight + "\n"));
        QSettingsProfile p(f);
        Settings s;
        loadSettings(p, s);
        EXPECT_EQ(s.listItemHeight, c.expectItem);
        EXPECT_EQ(s.listLogFont.lfHeight, c.expectFont);
        EXPECT_EQ(s.editLogFont.lfHeight, c.expectFont);
    }
}
