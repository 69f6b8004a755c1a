// Drive items from recorded mount tables, letters that stay, and the path map.
#include <gtest/gtest.h>

#include "core/view/drives.h"
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
    std::map<char, QByteArray> remembered;
    const auto drives = buildDriveTable(desktopFacts(), remembered);
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
    std::map<char, QByteArray> remembered;
    buildDriveTable(desktopFacts(), remembered);
    const auto firstRun = remembered;
    // Next run: the stick is gone, a new disk appears. Nobody takes the stick's letter.
    SystemFacts f = desktopFacts();
    std::erase_if(f.mounts, [](const MountRecord& m) { return m.source == "/dev/sdb1"; });
    f.mounts.push_back({"/", "/media/me/NEW", "ext4", "/dev/sdd1"});
    const auto second = buildDriveTable(f, remembered);
    EXPECT_EQ(itemTexts(second).back(), "<-j->");
    for (const auto& [letter, id] : firstRun)
        EXPECT_EQ(remembered.at(letter), id);
    // Third run: the stick is back under its old letter.
    const auto third = buildDriveTable(desktopFacts(), remembered);
    EXPECT_EQ(driveItemText(third[3]), "<-f->Removable:USB STICK");
}

TEST(DriveTable, OpticalDriveKeepsItsLetterWithAndWithoutADisc)
{
    std::map<char, QByteArray> remembered;
    const auto withDisc = buildDriveTable(desktopFacts(), remembered);
    SystemFacts f = desktopFacts();
    std::erase_if(f.mounts, [](const MountRecord& m) { return m.source == "/dev/sr0"; });
    const auto without = buildDriveTable(f, remembered);
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
