// Archives browsed like folders, through our own archive library, on archives
// written by an independent LHA implementation.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
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
                              "renamed.lha", "truncated.lzh", "notanarchive.lzh", "sfx.exe", "plain.exe", "stored.lzh"})
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

TEST_F(Archives, AnArchiveWithoutMembersKeepsTheListButBecomesTheCurrentFolder)
{
    select("notanarchive.lzh");
    const auto before = listTexts(v->fileList);
    const int depth = v->depth;
    open("notanarchive.lzh");
    EXPECT_EQ(v->currentFolder, h.prog("notanarchive.lzh"));
    EXPECT_FALSE(v->archiveMode);
    EXPECT_EQ(listTexts(v->fileList), before);
    EXPECT_EQ(v->depth, depth + 1);
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->currentFolder, h.prog());
    EXPECT_EQ(v->depth, depth);
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

TEST_F(Archives, AnArchiveInsideAnArchiveCannotBeEnteredAndTheWayBackStays)
{
    const QString jlha = QStandardPaths::findExecutable("jlha");
    if (jlha.isEmpty())
        GTEST_SKIP() << "jlha (jlha-utils) is needed to write the nested archive";
    QDir(h.dir.path()).mkdir("nest");
    QFile::copy(h.dir.filePath("UPPER.LZH"), h.dir.filePath("nest/inner.lzh"));
    QProcess p;
    p.setWorkingDirectory(h.dir.filePath("nest"));
    p.start(jlha, {"a", "outer.lzh", "inner.lzh"});
    ASSERT_TRUE(p.waitForFinished(30000));
    v->ListFolder(v->currentFolder);
    open("<nest>");
    open("outer.lzh");
    ASSERT_TRUE(v->archiveMode);
    const auto members = listTexts(v->fileList);
    const int depth = v->depth;
    open("inner.lzh");
    EXPECT_EQ(v->currentFolder, h.prog("nest/outer.lzh") + "\\inner.lzh");
    EXPECT_EQ(listTexts(v->fileList), members);
    EXPECT_EQ(v->depth, depth + 1);
    // Up one level is the outer archive's path, which lists as a folder no more than before.
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->currentFolder, h.prog("nest/outer.lzh"));
    EXPECT_FALSE(v->archiveMode);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], QString::fromUtf8(h.prog("nest/outer.lzh")) + " //ファイルが無い、または媒体が入っていません");
    QTest::keyClick(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->currentFolder, h.prog("nest"));
    EXPECT_GE(indexOf("outer.lzh"), 0);
}

TEST_F(Archives, ExtractionCommandQuotesBothParts)
{
    // A member in an archive whose path has a space: both reach the library whole.
    QDir(h.dir.path()).mkdir("with space");
    QFile::copy(h.dir.filePath("stored.lzh"), h.dir.filePath("with space/st ored.lzh"));
    v->LoadMemberContent(h.prog("with space/st ored.lzh"), "small_sjis.txt");
    EXPECT_EQ(v->contentPane->text(), src("small_sjis.txt"));
}
