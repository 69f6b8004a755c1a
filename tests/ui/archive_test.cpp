// Archives browsed like folders, through our own archive library, on archives
// written by an independent LHA implementation.
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include "core/viewer/display.h"
#include "platform/archivelib.h"
#include "support/uiharness.h"

namespace {

std::vector<QByteArray> listTexts(const ListBox* l)
{
    std::vector<QByteArray> v;
    for (int i = 0; i < l->count(); ++i)
        v.push_back(l->text(i));
    return v;
}

class Archives : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DynamicLibrary::searchFolder().clear();  // the library beside the tests
        for (const char* f : {"h0_lh5.lzh", "h1_lh6.lzh", "h2_lh7.lzh", "names.lzh", "mixed.lzh", "UPPER.LZH",
                              "renamed.lha", "truncated.lzh", "notanarchive.lzh", "sfx.exe", "plain.exe", "stored.lzh",
                              "nested.lzh"})
            ASSERT_TRUE(QFile::copy(testsupport::fixture(QString("lzh/") + f), h.dir.filePath(f))) << f;
        h.setStartPath(h.prog());
        v = h.open(QSize(800, 600))->view();
        ASSERT_TRUE(v->archiveLibraryLoaded) << "libunlha32.so not found beside the tests";
    }
    void TearDown() override { platform::DynamicLibrary::searchFolder().clear(); }
    int indexOf(const QByteArray& t)
    {
        for (int i = 0; i < v->fileList->count(); ++i)
            if (v->fileList->text(i) == t)
                return i;
        return -1;
    }
    void select(const QByteArray& t)
    {
        const int i = indexOf(t);
        ASSERT_GE(i, 0) << t.constData();
        v->fileList->setCurSel(i);
        v->PreviewSelectedItem();
    }
    void open(const QByteArray& t)
    {
        select(t);
        QTest::keyClick(v->fileList, Qt::Key_Return);
    }
    QByteArray src(const char* name) { return testsupport::readFile(testsupport::fixture(QString("src/") + name)); }
    QString pane(int i) { return h.frame->paneText(i); }

    UiHarness h;
    CTrovik32View* v = nullptr;
};

}  // namespace

TEST_F(Archives, SelectingAnArchiveListsItsMembersInTheSubList)
{
    select("h1_lh6.lzh");
    EXPECT_TRUE(v->subList->isVisible());
    EXPECT_FALSE(v->contentPane->isVisible());
    EXPECT_EQ(listTexts(v->subList), (std::vector<QByteArray>{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("h1_lh6.lzh")));
    EXPECT_FALSE(v->archiveMode);
}

TEST_F(Archives, EnteringPreviewingOpeningAndLeavingAnArchive)
{
    const int archiveIndex = indexOf("h2_lh7.lzh");
    const int depth = v->depth;
    open("h2_lh7.lzh");
    EXPECT_TRUE(v->archiveMode);
    EXPECT_EQ(v->currentFolder, h.prog("h2_lh7.lzh"));
    EXPECT_EQ(v->previewFolder, v->currentFolder);
    EXPECT_EQ(v->depth, depth + 1);
    EXPECT_EQ(v->fileList->curSel(), 0);
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_TRUE(v->listMode);

    select("a.txt");
    EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("h2_lh7.lzh") + "(a.txt)"));
    EXPECT_EQ(pane(1), "26");
    EXPECT_EQ(pane(2), "2001.3.7");
    EXPECT_EQ(v->contentPane->text(), "hello world\r\nsecond line\r\n");
    EXPECT_TRUE(v->contentPane->isVisible());

    select("big.txt");
    EXPECT_EQ(pane(1), "199,298");
    EXPECT_EQ(v->contentPane->text(), src("big.txt").left(2000));
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), src("big.txt"));
    QTest::keyClick(v->contentPane, Qt::Key_Return);
    EXPECT_EQ(v->fileList->curSel(), indexOf("big.txt"));

    open("<..>");
    EXPECT_FALSE(v->archiveMode);
    EXPECT_EQ(v->currentFolder, h.prog());
    EXPECT_EQ(v->depth, depth);
    EXPECT_EQ(v->fileList->curSel(), archiveIndex);

    // Backspace leaves as well.
    open("h0_lh5.lzh");
    EXPECT_TRUE(v->archiveMode);
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    EXPECT_FALSE(v->archiveMode);
    EXPECT_EQ(v->currentFolder, h.prog());
    EXPECT_EQ(v->fileList->curSel(), indexOf("h0_lh5.lzh"));
}

TEST_F(Archives, MemberNamesWithJapaneseSpacesAndFoldersReachTheLibraryIntact)
{
    open("names.lzh");
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "sub/inner.txt", "with space.txt", "日本語.txt"}));
    for (const char* member : {"with space.txt", "日本語.txt"}) {
        select(member);
        EXPECT_EQ(v->contentPane->text(), src(member)) << member;
    }
    select("sub/inner.txt");
    EXPECT_EQ(v->contentPane->text(), src("sub/inner.txt"));
}

TEST_F(Archives, BinaryAndEmptyMembersAreShownThroughTheFilter)
{
    open("mixed.lzh");
    select("binary.bin");
    QByteArray expected = src("binary.bin");
    SanitizeForDisplay(expected);
    EXPECT_EQ(v->contentPane->text(), expected);
    EXPECT_EQ(pane(1), "1,024");
    select("empty.txt");
    EXPECT_EQ(v->contentPane->text(), "");
    EXPECT_EQ(pane(1), "0");
}

TEST_F(Archives, WhatCountsAsAnArchive)
{
    EXPECT_TRUE(v->IsLzhArchive(h.prog("UPPER.LZH")));
    EXPECT_TRUE(v->IsLzhArchive(h.prog("notanarchive.lzh")));  // by name alone
    EXPECT_FALSE(v->IsLzhArchive(h.prog("renamed.lha")));
    EXPECT_TRUE(v->IsLzhArchive(h.prog("sfx.exe")));
    EXPECT_FALSE(v->IsLzhArchive(h.prog("plain.exe")));
    open("UPPER.LZH");
    EXPECT_TRUE(v->archiveMode);
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt"}));
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    open("sfx.exe");
    EXPECT_TRUE(v->archiveMode);
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt", "big.txt", "small_sjis.txt"}));
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    // A .lha and a plain executable are files: shown whole.
    open("renamed.lha");
    EXPECT_FALSE(v->archiveMode);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text().size(), QFileInfo(h.dir.filePath("renamed.lha")).size());
}

TEST_F(Archives, AnArchiveWithoutMembersIsAPlainFileAndPreviewsAsAnEmptyList)
{
    testsupport::writeFile(h.dir.filePath("empty.lzh"), QByteArray(1, '\0'));  // the end mark alone
    v->ListFolder(v->currentFolder);
    const auto folderItems = listTexts(v->fileList);
    const int depth = v->depth;
    for (const char* name : {"notanarchive.lzh", "empty.lzh"}) {
        SCOPED_TRACE(name);
        // The preview after a real archive's does not keep its members.
        select("h1_lh6.lzh");
        ASSERT_EQ(v->subList->count(), 3);
        select(name);
        EXPECT_EQ(v->subList->count(), 0);
        EXPECT_TRUE(v->subList->isVisible());
        // Enter shows the file's bytes and stays in the folder.
        open(name);
        EXPECT_FALSE(v->archiveMode);
        EXPECT_FALSE(v->listMode);
        EXPECT_EQ(v->currentFolder, h.prog());
        EXPECT_EQ(v->depth, depth);
        QByteArray bytes = testsupport::readFile(h.dir.filePath(name));
        SanitizeForDisplay(bytes);
        EXPECT_EQ(v->contentPane->text(), bytes);
        QTest::keyClick(v->contentPane, Qt::Key_Return);
        EXPECT_EQ(listTexts(v->fileList), folderItems);
        EXPECT_EQ(v->fileList->curSel(), indexOf(name));
        QTest::keyClick(v->fileList, Qt::Key_Down);
        QTest::keyClick(v->fileList, Qt::Key_Up);
    }
    EXPECT_TRUE(h.messages.isEmpty()) << h.messages.join('\n').toStdString();
}

TEST_F(Archives, TruncatedArchiveListsWhatItHasAndABrokenMemberShowsNothing)
{
    open("truncated.lzh");
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt", "big.txt"}));
    select("a.txt");
    EXPECT_EQ(v->contentPane->text(), "hello world\r\nsecond line\r\n");
    select("big.txt");
    EXPECT_EQ(v->contentPane->text(), "");
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->contentPane->text(), "");
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(Archives, BackspaceFromAMemberListReturnsToTheFolderWithTheArchiveSelected)
{
    const int depth = v->depth;
    open("nested.lzh");
    ASSERT_TRUE(v->archiveMode);
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt", "inner.lzh"}));
    // The archive inside is a member: it cannot be entered and shows as text.
    open("inner.lzh");
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->currentFolder, h.prog("nested.lzh"));
    QByteArray inner = testsupport::readFile(h.dir.filePath("UPPER.LZH"));
    SanitizeForDisplay(inner);
    EXPECT_EQ(v->contentPane->text(), inner);
    QTest::keyClick(v->contentPane, Qt::Key_Return);
    // A file that sorts first appears meanwhile: the archive is still the one selected.
    testsupport::writeFile(h.dir.filePath("0first.txt"), "new");
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    EXPECT_FALSE(v->archiveMode);
    EXPECT_EQ(v->currentFolder, h.prog());
    EXPECT_EQ(v->previewFolder, v->currentFolder);
    EXPECT_EQ(v->depth, depth);
    EXPECT_EQ(v->fileList->text(v->fileList->curSel()), "nested.lzh");
    EXPECT_EQ(v->selectionStack[v->depth], v->fileList->curSel());
    EXPECT_TRUE(h.messages.isEmpty()) << h.messages.join('\n').toStdString();
}

namespace {

uint16_t crc16(const QByteArray& data)
{
    uint16_t crc = 0;
    for (char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// A stored member with a level 0 header (dated 2001-03-07) and its data.
QByteArray storedMember(const QByteArray& name, const QByteArray& data, const char* method = "-lh0-")
{
    auto le = [](uint32_t v, int n) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b += static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    QByteArray h = QByteArray(method) + le(static_cast<uint32_t>(data.size()), 4) + le(static_cast<uint32_t>(data.size()), 4)
                 + le(0x6000, 2) + le(0x2A67, 2) + '\x20' + '\0' + static_cast<char>(name.size()) + name
                 + le(crc16(data), 2);
    unsigned sum = 0;
    for (char c : h)
        sum += static_cast<unsigned char>(c);
    return static_cast<char>(h.size()) + QByteArray(1, static_cast<char>(sum & 0xFF)) + h + data;
}

}  // namespace

TEST_F(Archives, MembersAreFoundByTheirOwnNamesAndRepeatedNamesByPlace)
{
    QByteArray arc;
    for (const auto& [name, data] : std::vector<std::pair<QByteArray, QByteArray>>{
             {"src/abc.txt", "abc"},
             {"src/a?c.txt", "question mark"},
             {"README", "upper"},
             {"readme", "lower case"},
             {"q\"uote.txt", "quoted"},
             {"dup.txt", "first"},
             {"dup.txt", "second one"},
             {"*.*", "stars"}})
        arc += storedMember(name, data);
    arc += '\0';
    testsupport::writeFile(h.dir.filePath("lookup.lzh"), arc);
    v->ListFolder(v->currentFolder);
    open("lookup.lzh");
    ASSERT_TRUE(v->archiveMode);
    EXPECT_EQ(v->fileList->count(), 9);
    for (const auto& [name, text] : std::vector<std::pair<QByteArray, QByteArray>>{
             {"src/a?c.txt", "question mark"}, {"src/abc.txt", "abc"}, {"readme", "lower case"}, {"README", "upper"},
             {"q\"uote.txt", "quoted"}, {"*.*", "stars"}}) {
        select(name);
        EXPECT_EQ(v->contentPane->text(), text) << name.constData();
        EXPECT_EQ(pane(1), QString::number(text.size())) << name.constData();
        EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("lookup.lzh") + '(' + name + ')'));
    }
    // The two dup.txt items: the first is the first in the archive, the second the second.
    const int first = indexOf("dup.txt");
    ASSERT_EQ(v->fileList->text(first + 1), "dup.txt");
    v->fileList->setCurSel(first);
    v->PreviewSelectedItem();
    EXPECT_EQ(v->contentPane->text(), "first");
    EXPECT_EQ(pane(1), "5");
    v->fileList->setCurSel(first + 1);
    v->PreviewSelectedItem();
    EXPECT_EQ(v->contentPane->text(), "second one");
    EXPECT_EQ(pane(1), "10");
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), "second one");
    QTest::keyClick(v->contentPane, Qt::Key_Return);
    EXPECT_EQ(v->fileList->curSel(), first + 1);
}

TEST_F(Archives, AMemberPackedWithAMethodNotDecodedListsButShowsNothing)
{
    // An -lh5- member relabelled -pm2-, kept with the library's regression inputs.
    const QString crafted = QDir(testsupport::fixture("../../../unlha32/tests/regress")).filePath("lh5-relabelled-pm2.lzh");
    ASSERT_TRUE(QFile::copy(crafted, h.dir.filePath("pm2.lzh"))) << crafted.toStdString();
    QByteArray pm0 = storedMember("stored.txt", "stored bytes", "-pm0-") + storedMember("plain.txt", "plain") + '\0';
    testsupport::writeFile(h.dir.filePath("pm0.lzh"), pm0);
    v->ListFolder(v->currentFolder);
    open("pm2.lzh");
    ASSERT_TRUE(v->archiveMode);
    select("text.txt");
    EXPECT_EQ(pane(1), "3,957");
    EXPECT_EQ(v->contentPane->text(), "");
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->contentPane->text(), "");
    QTest::keyClick(v->contentPane, Qt::Key_Return);
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    open("pm0.lzh");
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "plain.txt", "stored.txt"}));
    select("stored.txt");
    EXPECT_EQ(v->contentPane->text(), "");
    select("plain.txt");
    EXPECT_EQ(v->contentPane->text(), "plain");
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(Archives, ASelfExtractingFileWhoseArchiveStartsPast64KiBIsEntered)
{
    QByteArray exe(66532, '\x90');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe += testsupport::readFile(testsupport::fixture("lzh/h1_lh5.lzh"));
    testsupport::writeFile(h.dir.filePath("real.exe"), exe);
    v->ListFolder(v->currentFolder);
    open("real.exe");
    ASSERT_TRUE(v->archiveMode);
    EXPECT_EQ(listTexts(v->fileList), (std::vector<QByteArray>{"<..>", "a.txt", "big.txt", "small_sjis.txt"}));
    select("big.txt");
    EXPECT_EQ(v->contentPane->text(), src("big.txt").left(2000));
}

TEST_F(Archives, ExtractionCommandQuotesBothParts)
{
    // A member in an archive whose path has a space: both reach the library whole.
    QDir(h.dir.path()).mkdir("with space");
    QFile::copy(h.dir.filePath("stored.lzh"), h.dir.filePath("with space/st ored.lzh"));
    v->LoadMemberContent(h.prog("with space/st ored.lzh"), "small_sjis.txt");
    EXPECT_EQ(v->contentPane->text(), src("small_sjis.txt"));
    // A '"' in the archive's name as well.
    QFile::copy(h.dir.filePath("stored.lzh"), h.dir.filePath("with space/say \"hi\".lzh"));
    v->LoadMemberContent(h.prog("with space/say \"hi\".lzh"), "a.txt");
    EXPECT_EQ(v->contentPane->text(), "hello world\r\nsecond line\r\n");
}
