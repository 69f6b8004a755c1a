// The file list's item sequence, on real folders.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/browse/itemtext.h"
#include "core/browse/listing.h"
#include "core/view/drives.h"
#include "platform/filesystem.h"
#include "support/testsupport.h"

namespace {

std::vector<QByteArray> texts(std::initializer_list<const char*> l)
{
    std::vector<QByteArray> v;
    for (const char* s : l)
        v.emplace_back(s);
    return v;
}

// The program path of a native folder (c: is the root file system).
QByteArray prog(const QString& native)
{
    return pathMap().fromNative(QFile::encodeName(native));
}

class ListingOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pathMap().setDrives({Drive::root()});  // only c:, the root file system
    }
    Listing list(const QByteArray& folder, const std::vector<QByteArray>& drives = {})
    {
        auto entries = platform::enumerate(folder);
        EXPECT_TRUE(entries.has_value());
        return buildFolderListing(entries.value_or(std::vector<DirEntry>{}), drives, 18);
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ListingOnDisk, FolderWithOnlyItsOwnEntriesListsParentThenDrives)
{
    const Listing l = list(prog(dir.path()), texts({"<-c->", "<-d->CD-ROM:"}));
    EXPECT_EQ(l.items, texts({"<..>", "<-c->", "<-d->CD-ROM:"}));
}

TEST_F(ListingOnDisk, FoldersFirstThenFilesThenDrivesWithHiddenEntriesListed)
{
    QDir(dir.path()).mkdir("beta");
    QDir(dir.path()).mkdir("Alpha");
    QDir(dir.path()).mkdir(".hidden_dir");
    testsupport::writeFile(dir.filePath("zeta.txt"), "z");
    testsupport::writeFile(dir.filePath("a.txt"), "a");
    testsupport::writeFile(dir.filePath(".profile"), "p");
    const Listing l = list(prog(dir.path()), texts({"<-c->"}));
    EXPECT_EQ(l.items, texts({"<..>", "<.hidden_dir>", "<Alpha>", "<beta>", ".profile", "a.txt", "zeta.txt", "<-c->"}));
}

TEST_F(ListingOnDisk, EachItemKnowsItsKindWhateverItsName)
{
    // Names that read like other kinds: a folder "-dash" looks like a drive
    // item, files "<note.txt", "<-evil" and "<..>" look like folders, drives
    // and the parent item. "." names are ordinary folders and files.
    QDir(dir.path()).mkdir("-dash");
    QDir(dir.path()).mkdir("zfolder");
    QDir(dir.path()).mkdir(".config");
    testsupport::writeFile(dir.filePath("b.txt"), "b");
    testsupport::writeFile(dir.filePath("<note.txt"), "n");
    testsupport::writeFile(dir.filePath("<-evil"), "e");
    testsupport::writeFile(dir.filePath("<..>"), "p");
    const Listing l = list(prog(dir.path()), texts({"<-c->"}));
    using K = items::Kind;
    EXPECT_EQ(l.items, texts({"<..>", "<-dash>", "<.config>", "<zfolder>", "<..>", "<-evil", "<note.txt", "b.txt", "<-c->"}));
    EXPECT_EQ(l.kinds, (std::vector<K>{K::Parent, K::Folder, K::Folder, K::Folder, K::File, K::File, K::File, K::File,
                                       K::Drive}));
}

TEST_F(ListingOnDisk, DriveRootHasNoParentItem)
{
    // A drive mounted at the temporary folder: its root lists without "." and "..".
    Drive d;
    d.letter = 'e';
    d.mountPoint = QFile::encodeName(dir.path());
    d.identity = d.mountPoint;
    pathMap().setDrives({Drive::root(), d});
    QDir(dir.path()).mkdir("sub");
    testsupport::writeFile(dir.filePath("f.txt"), "f");
    const Listing l = list("e:");
    EXPECT_EQ(l.items, texts({"<sub>", "f.txt"}));
    // Below the root the parent item is back.
    EXPECT_EQ(list("e:\\sub").items, texts({"<..>"}));
}

TEST_F(ListingOnDisk, MissingFolderCannotBeEnumerated)
{
    EXPECT_FALSE(platform::enumerate(prog(dir.filePath("missing"))).has_value());
    EXPECT_FALSE(platform::enumerate("q:\\nowhere").has_value());
}

TEST_F(ListingOnDisk, LinkToFolderCountsAsFolder)
{
    QDir(dir.path()).mkdir("real");
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("linked")));
    const Listing l = list(prog(dir.path()));
    EXPECT_EQ(l.items, texts({"<..>", "<linked>", "<real>"}));
}

TEST_F(ListingOnDisk, BackslashInNativeNameShowsAsSlashAndMapsBack)
{
    testsupport::writeFile(dir.filePath("a\\b.txt"), "x");
    const Listing l = list(prog(dir.path()));
    ASSERT_EQ(l.items.size(), 2u);
    EXPECT_EQ(l.items[1], "a/b.txt");
    const QByteArray native = pathMap().toNative(prog(dir.path()) + "\\a/b.txt");
    EXPECT_EQ(native, QFile::encodeName(dir.filePath("a\\b.txt")));
    EXPECT_TRUE(platform::fileStatus(prog(dir.path()) + "\\a/b.txt").has_value());
}

TEST(Listing, ColumnWidthIsScaledItemHeightTimesLongestItem)
{
    EXPECT_EQ(columnWidthFor(18, 20), 200);  // ⌊18 × 100 / 164⌋ × 20 = 10 × 20
    std::vector<DirEntry> e = {{"..", true}, {"12345678901234567890", false}};
    EXPECT_EQ(buildFolderListing(e, {}, 18).columnWidth, 200);
    // Drive items count in the longest width too.
    EXPECT_EQ(buildFolderListing({{"a", false}}, texts({"<-c->LONGLABEL"}), 18).longest, 14);
}

TEST(Listing, DoubleByteCharactersCountTwoAndHalfWidthKatakanaOne)
{
    EXPECT_EQ(items::sjisWidth("日本語.txt"), 10);
    EXPECT_EQ(items::sjisWidth("ｱｲｳ"), 3);
    EXPECT_EQ(items::sjisWidth("abc"), 3);
    EXPECT_EQ(items::sjisWidth(QByteArray("a\xff" "b")), 3);  // a stray byte is one placeholder
    EXPECT_EQ(buildFolderListing({{"日本語", true}}, {}, 18).longest, 8);  // "<" + 6 + ">"
}

TEST(Listing, PreviewListingKeepsEverythingSortedTogether)
{
    std::vector<DirEntry> e = {{".", true}, {"..", true}, {"b.txt", false}, {"a", true}, {"-x", true}};
    const Listing l = buildPreviewListing(e);
    EXPECT_EQ(l.items, texts({"<..>", "<.>", "<-x>", "<a>", "b.txt"}));
    using K = items::Kind;
    EXPECT_EQ(l.kinds, (std::vector<K>{K::Parent, K::Self, K::Folder, K::Folder, K::File}));
}

TEST(Collation, CaseInsensitiveNaturalAndTotal)
{
    auto less = [](const char* a, const char* b) { return items::compare(a, b) < 0; };
    EXPECT_TRUE(less("file2", "file10"));
    EXPECT_TRUE(less("File2", "file10"));
    EXPECT_TRUE(less("apple", "Banana"));
    EXPECT_TRUE(less("<..>", "<.>"));
    EXPECT_TRUE(less("<.>", "<!bang>"));
    EXPECT_TRUE(less("<..>", "<!bang>"));
    // Equal without case, still a fixed order between them.
    EXPECT_NE(items::compare("a.txt", "A.TXT"), 0);
    EXPECT_EQ(items::compare("a.txt", "A.TXT"), -items::compare("A.TXT", "a.txt"));
    EXPECT_EQ(items::compare("x", "x"), 0);
    EXPECT_TRUE(less("a01", "a1") || less("a1", "a01"));
}
