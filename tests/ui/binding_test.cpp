// Binding the archive library at run time, with and without it.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/archivelib.h"
#include "support/uiharness.h"

namespace {

class Binding : public ::testing::Test {
protected:
    void TearDown() override
    {
        platform::archiveLibrary().unload();
        platform::DynamicLibrary::searchFolder().clear();
    }
};

}  // namespace

TEST_F(Binding, WindowsNameMapsToTheSharedLibrary)
{
    EXPECT_EQ(platform::DynamicLibrary::nativeName("unlha32.dll"), "libunlha32.so");
    EXPECT_EQ(platform::DynamicLibrary::nativeName("UNLHA32.DLL"), "libunlha32.so");
}

TEST_F(Binding, LibraryBesideTheProgramIsLoadedAndEveryEntryPointResolved)
{
    platform::DynamicLibrary::searchFolder() = TROVIK_FAKE_UNLHA "/complete";
    auto& lib = platform::archiveLibrary();
    ASSERT_TRUE(lib.load());
    EXPECT_EQ(lib.UnlhaQueryFunctionList(23), 77);
    EXPECT_EQ(lib.UnlhaFindFirst(lib.UnlhaOpenArchive(nullptr, "x", 0x08000000), "*.*", nullptr), -1);
    EXPECT_NE(lib.UnlhaCheckArchive, nullptr);
    lib.unload();
    EXPECT_FALSE(lib.loaded());
    EXPECT_EQ(lib.UnlhaFindFirst, nullptr);
}

TEST_F(Binding, LibraryMissingAnEntryPointIsNotUsed)
{
    platform::DynamicLibrary::searchFolder() = TROVIK_FAKE_UNLHA "/incomplete";
    EXPECT_FALSE(platform::archiveLibrary().load());
    EXPECT_FALSE(platform::archiveLibrary().loaded());
}

TEST_F(Binding, WithoutTheLibraryTheProgramRunsAndArchivesAreFiles)
{
    QTemporaryDir nowhere;
    platform::DynamicLibrary::searchFolder() = nowhere.path();
    UiHarness h;
    testsupport::writeFile(h.dir.filePath("a.lzh"), QByteArray("not read as an archive"));
    h.setStartPath(h.prog());
    CTrovik32View* v = h.open()->view();
    EXPECT_FALSE(v->archiveLibraryLoaded);
    EXPECT_TRUE(h.messages.isEmpty());
    v->fileList->setCurSel(1);
    v->PreviewSelectedItem();
    EXPECT_EQ(v->contentPane->text(), "not read as an archive");
    v->OpenSelectedItem();
    EXPECT_FALSE(v->archiveMode);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), "not read as an archive");
}

TEST_F(Binding, ViewBindsAtCreationAndReleasesAtDestruction)
{
    platform::DynamicLibrary::searchFolder() = TROVIK_FAKE_UNLHA "/complete";
    UiHarness h;
    h.setStartPath(h.prog());
    CTrovik32View* v = h.open()->view();
    EXPECT_TRUE(v->archiveLibraryLoaded);
    EXPECT_TRUE(platform::archiveLibrary().loaded());
    h.close();
    EXPECT_FALSE(platform::archiveLibrary().loaded());
}
