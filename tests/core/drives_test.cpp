// Drive items from recorded mount tables, letters that stay, and the path map.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/view/drives.h"
#include "platform/drives.h"
#include "platform/profile_qsettings.h"
#include "support/testsupport.h"

namespace {

SystemFacts desktopFacts()
{
    SystemFacts f;
    f.mounts = parseMountInfo(testsupport::readFile(QStringLiteral(TROVIK_TEST_DATA "/mountinfo-desktop.txt")));
    f.removableDisks = {"sdb"};
    f.labels = {{"/dev/sda2", "SYSTEM"}, {"/dev/sdb1", "USB STICK"}, {"/dev/sr0", "DISC1"}, {"/dev/sdc1", ""}};
    f.opticalDevices = {"/dev/sr0", "/dev/sr1"};
    return f;
}

std::vector<QByteArray> itemTexts(const std::vector<Drive>& drives)
{
    std::vector<QByteArray> v;
    for (const Drive& d : drives)
        v.push_back(driveItemText(d));
    return v;
}

// Facts with one volume mounted under /media, named by its mount point.
SystemFacts oneVolume(const QByteArray& name)
{
    SystemFacts f;
    f.mounts = {{"/", "/", "ext4", "/dev/sda2"}, {"/", "/media/me/" + name, "vfat", "/dev/sdb1"}};
    f.removableDisks = {"sdb"};
    return f;
}

// Every letter d to z remembered for a volume that is not mounted; z was
// seen longest ago, d most recently.
RememberedLetters allLettersTaken()
{
    RememberedLetters r;
    for (char l = 'd'; l <= 'z'; ++l)
        r[l] = RememberedLetter{"/media/me/OLD" + QByteArray(1, l), 1000 + ('z' - l) * 10};
    return r;
}

}  // namespace

TEST(MountInfo, EscapedPathsAndFieldsAfterTheSeparator)
{
    const auto m = parseMountInfo("70 28 8:17 / /media/me/USB\\040STICK rw shared:4 master:2 - vfat /dev/sdb1 rw\n"
                                  "garbage line\n");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].mountPoint, "/media/me/USB STICK");
    EXPECT_EQ(m[0].fsType, "vfat");
    EXPECT_EQ(m[0].source, "/dev/sdb1");
    EXPECT_EQ(m[0].root, "/");
    EXPECT_EQ(decodeLabelEscapes("USB\\x20STICK"), "USB STICK");
    EXPECT_EQ(decodeLabelEscapes("\\xe6\\x97\\xa5"), "日");
}

TEST(DriveTable, ItemTextsForEveryKindOfVolume)
{
    RememberedLetters remembered;
    const auto drives = buildDriveTable(desktopFacts(), remembered, 1000);
    // c: is the root; system, virtual and bind mounts are hidden; letters go by identity order.
    EXPECT_EQ(itemTexts(drives), (std::vector<QByteArray>{
                                     "<-c->SYSTEM",
                                     "<-d->CD-ROM:DISC1",        // /dev/sr0 with a disc
                                     "<-e->CD-ROM:",             // /dev/sr1, no medium
                                     "<-f->Removable:USB STICK", // /media/me/USB STICK
                                     "<-g->",                    // /mnt/data, unlabelled partition
                                     "<-h->N/W:",                // /mnt/share, nfs4
                                     "<-i->N/W:",                // /srv/remote, cifs
                                 }));
    EXPECT_TRUE(drives[2].mountPoint.isEmpty());  // an empty drive cannot be listed
    EXPECT_EQ(drives[3].mountPoint, "/media/me/USB STICK");
}

TEST(DriveTable, LettersStayWhenVolumesComeAndGo)
{
    RememberedLetters remembered;
    buildDriveTable(desktopFacts(), remembered, 1000);
    const auto firstRun = remembered;
    // Next run: the stick is gone, a new disk appears. Nobody takes the stick's letter.
    SystemFacts f = desktopFacts();
    std::erase_if(f.mounts, [](const MountRecord& m) { return m.source == "/dev/sdb1"; });
    f.mounts.push_back({"/", "/media/me/NEW", "ext4", "/dev/sdd1"});
    const auto second = buildDriveTable(f, remembered, 2000);
    EXPECT_EQ(itemTexts(second).back(), "<-j->");
    for (const auto& [letter, id] : firstRun)
        EXPECT_EQ(remembered.at(letter).identity, id.identity);
    // Third run: the stick is back under its old letter.
    const auto third = buildDriveTable(desktopFacts(), remembered, 3000);
    EXPECT_EQ(driveItemText(third[3]), "<-f->Removable:USB STICK");
}

TEST(DriveTable, OpticalDriveKeepsItsLetterWithAndWithoutADisc)
{
    RememberedLetters remembered;
    const auto withDisc = buildDriveTable(desktopFacts(), remembered, 1000);
    SystemFacts f = desktopFacts();
    std::erase_if(f.mounts, [](const MountRecord& m) { return m.source == "/dev/sr0"; });
    const auto without = buildDriveTable(f, remembered, 2000);
    EXPECT_EQ(driveItemText(without[1]), "<-d->CD-ROM:");
    EXPECT_EQ(withDisc[1].letter, without[1].letter);
}

TEST(DriveTable, ItemTextIsCutAt255BytesAndDrivesAAndBGetNoLabels)
{
    Drive d;
    d.letter = 'd';
    d.type = DriveType::Remote;
    d.label = QByteArray(400, 'x');
    EXPECT_EQ(driveItemText(d).size(), 255);
    d.letter = 'a';
    EXPECT_EQ(driveItemText(d), "<-a->");
}

TEST(PathMap, ProgramAndNativePathsBothWays)
{
    PathMap map;
    Drive stick;
    stick.letter = 'f';
    stick.mountPoint = "/media/me/USB STICK";
    map.setDrives({Drive::root(), stick});
    EXPECT_EQ(map.toNative("c:"), "/");
    EXPECT_EQ(map.toNative("c:\\home\\me"), "/home/me");
    EXPECT_EQ(map.toNative("C:\\home"), "/home");
    EXPECT_EQ(map.toNative("f:"), "/media/me/USB STICK");
    EXPECT_EQ(map.toNative("f:\\docs\\a.txt"), "/media/me/USB STICK/docs/a.txt");
    EXPECT_EQ(map.toNative("c:\\odd/name"), "/odd\\name");
    EXPECT_TRUE(map.toNative("z:\\x").isEmpty());
    EXPECT_TRUE(map.toNative("relative").isEmpty());
    EXPECT_EQ(map.fromNative("/"), "c:");
    EXPECT_EQ(map.fromNative("/home/me"), "c:\\home\\me");
    EXPECT_EQ(map.fromNative("/media/me/USB STICK/docs"), "f:\\docs");
    EXPECT_EQ(map.fromNative("/odd\\name"), "c:\\odd/name");
    for (const char* p : {"c:\\a\\b", "f:\\x\\y z", "c:\\odd/name\\deeper"})
        EXPECT_EQ(map.fromNative(map.toNative(p)), p);
}

TEST(DriveTable, WhenNoLetterIsFreeTheVolumeSeenLongestAgoGivesUpItsLetter)
{
    RememberedLetters remembered = allLettersTaken();
    auto drives = buildDriveTable(oneVolume("NEW1"), remembered, 5000);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[1].letter, 'z');
    EXPECT_EQ(remembered.at('z'), (RememberedLetter{"/media/me/NEW1", 5000}));
    // The next newcomer takes y, the oldest now; NEW1, seen at 5000, keeps z.
    drives = buildDriveTable(oneVolume("NEW2"), remembered, 6000);
    EXPECT_EQ(drives[1].letter, 'y');
    // A volume that is mounted keeps its letter however long ago it was seen:
    // with OLDx mounted (seen longest ago of those left), the newcomer takes w.
    SystemFacts both = oneVolume("NEW3");
    both.mounts.push_back({"/", "/media/me/OLDx", "vfat", "/dev/sdc1"});
    drives = buildDriveTable(both, remembered, 7000);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].letter, 'w');
    EXPECT_EQ(driveItemText(drives[1]), "<-w->Removable:");
    EXPECT_EQ(drives[2].letter, 'x');
    EXPECT_EQ(remembered.at('x').lastSeen, 7000);
    // Letters without a time (an older profile) count as seen longest ago.
    remembered.at('e').lastSeen = 0;
    drives = buildDriveTable(oneVolume("NEW4"), remembered, 8000);
    EXPECT_EQ(drives[1].letter, 'e');
}

TEST(DriveLetters, KeptInTheProfileAndWrittenOnlyWhenAVolumeGetsItsLetter)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Trovik32.conf");
    // The older format: letters without times, and other settings around them.
    QByteArray text = "[DriveLetters]\n";
    for (char l = 'd'; l <= 'z'; ++l)
        text += QByteArray(1, l) + "=/media/me/OLD" + QByteArray(1, l) + "\n";
    text += "[Path]\nStartPath=c:\\\\tmp\n";
    testsupport::writeFile(file, text);
    const qint64 now = 1796000000;  // 2026-11-30
    {
        QSettingsProfile p(file);
        const auto drives = platform::detectDrives(p, oneVolume("STICK"), now);
        ASSERT_EQ(drives.size(), 2u);
        EXPECT_EQ(drives[1].letter, 'd');  // all equally old: the first letter
        // Written at once, before the program ends.
        QSettingsProfile onDisk(file);
        EXPECT_EQ(onDisk.readString("DriveLetters", "d", ""), "/media/me/STICK");
        EXPECT_EQ(onDisk.readString("DriveLetters", "d_LastSeen", ""), "2026-11-30T00:53:20Z");
        EXPECT_EQ(onDisk.readString("DriveLetters", "e", ""), "/media/me/OLDe");
        EXPECT_EQ(onDisk.readString("Path", "StartPath", ""), "c:\\tmp");
    }
    // A later start with the same volume gives no new letter: the file is not
    // touched, and the time seen goes out with the next save.
    const QByteArray before = testsupport::readFile(file);
    const QDateTime modified = QFileInfo(file).lastModified();
    {
        QSettingsProfile p(file);
        const auto drives = platform::detectDrives(p, oneVolume("STICK"), now + 3600);
        EXPECT_EQ(drives[1].letter, 'd');
        EXPECT_EQ(testsupport::readFile(file), before);
        EXPECT_EQ(QFileInfo(file).lastModified(), modified);
    }
    QSettingsProfile after(file);
    EXPECT_EQ(after.readString("DriveLetters", "d_LastSeen", ""), "2026-11-30T01:53:20Z");
    // The next newcomer takes the letter of a volume never seen by time: e.
    const auto drives = platform::detectDrives(after, oneVolume("CARD"), now + 7200);
    EXPECT_EQ(drives[1].letter, 'e');
}
