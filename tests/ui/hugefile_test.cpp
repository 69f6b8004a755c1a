// Huge files: refused beyond half of the free memory, loaded in the
// background above 64 MiB with the window still answering, given up with
// Escape, and their memory returned.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/filesystem.h"
#include "support/uiharness.h"

namespace {

// Resident memory of this process, in bytes.
uint64_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// All the memory of the machine, in bytes.
uint64_t totalMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key, unit;
    uint64_t kib = 0;
    while (meminfo >> key >> kib >> unit)
        if (key == "MemTotal:")
            return kib * 1024;
    return 0;
}

// A file of the given size that takes no room on disk: it reads as zeros.
bool makeSparse(const QString& path, uint64_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
}

class HugeFile : public ::testing::Test {
protected:
    CTrovik32View* openWith(const QString& name)
    {
        CTrovik32View* v = h.openOn(name.toUtf8());
        EXPECT_EQ(v->fileList->text(v->fileList->curSel()), name.toUtf8());
        return v;
    }
    // Runs the event loop until the view is no longer busy, at most a minute.
    bool waitUntilIdle(CTrovik32View* v)
    {
        QElapsedTimer t;
        t.start();
        while (v->isBusy() && t.elapsed() < 60000)
            QTest::qWait(10);
        return !v->isBusy();
    }
    UiHarness h;
};

}  // namespace

TEST_F(HugeFile, BeyondHalfTheFreeMemoryIsRefusedAndNothingChanges)
{
    // More than the machine has at all, so no change in what is free can let it in.
    const uint64_t size = std::max(totalMemory(), platform::availableMemory()) + (uint64_t(1) << 30);
    ASSERT_TRUE(makeSparse(h.dir.filePath("huge.img"), size));
    CTrovik32View* v = openWith("huge.img");
    const QByteArray preview = v->contentPane->text();
    const uint64_t before = residentBytes();
    QTest::keyClick(v->fileList, Qt::Key_Return);
    QCoreApplication::processEvents();
    ASSERT_EQ(h.messages, QStringList{QStringLiteral("メモリの確保に失敗")});
    EXPECT_FALSE(v->isBusy());
    EXPECT_EQ(v->contentPane->text(), preview);
    EXPECT_LT(residentBytes(), before + (64u << 20));
}

TEST_F(HugeFile, LargeFileArrivesInTheBackgroundExactly)
{
    // 80 MiB of a pattern with a control byte in every kilobyte, which the
    // display filter turns into "^".
    QByteArray block(1024, 'a');
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>('a' + i % 26);
    block[100] = '\x01';
    block[1023] = '\n';
    {
        QFile f(h.dir.filePath("big.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 80 * 1024; ++i)
            f.write(block);
    }
    CTrovik32View* v = openWith("big.txt");
    QTest::keyClick(v->fileList, Qt::Key_Return);
    EXPECT_TRUE(v->listMode);  // the full view waits for the whole text
    ASSERT_TRUE(waitUntilIdle(v));
    EXPECT_FALSE(v->listMode);
    const QByteArray text = v->contentPane->text();
    ASSERT_EQ(text.size(), 80 * 1024 * 1024);
    QByteArray expected = block;
    expected[100] = '^';
    for (qsizetype at : {qsizetype(0), qsizetype(40) << 20, text.size() - 1024})
        EXPECT_EQ(text.mid(at, 1024), expected) << "at " << at;
    EXPECT_EQ(h.frame->paneText(0), QString::fromUtf8(h.prog("big.txt")));
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(HugeFile, WindowAnswersDuringTheLoadAndEscapeGivesItUpAndFreesTheMemory)
{
    constexpr uint64_t size = uint64_t(6) << 30;
    if (platform::availableMemory() / 2 < size)
        GTEST_SKIP() << "less than 12 GiB of free memory: a 6 GiB load would be refused";
    ASSERT_TRUE(makeSparse(h.dir.filePath("disk.img"), size));
    CTrovik32View* v = openWith("disk.img");
    const QByteArray preview = v->contentPane->text();
    const QString path = h.frame->paneText(0);
    const int selected = v->fileList->curSel();
    const uint64_t before = residentBytes();

    QTest::keyClick(v->fileList, Qt::Key_Return);
    ASSERT_TRUE(v->isBusy());
    // The event loop runs while the file is read: a timer fires, the window
    // paints, and pane 0 shows how far the load has come.
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QTest::qWait(300);
    EXPECT_TRUE(timerRan);
    ASSERT_TRUE(v->isBusy()) << "the load finished before it could be given up";
    EXPECT_TRUE(h.frame->paneText(0).startsWith(QStringLiteral("読込中… "))) << h.frame->paneText(0).toStdString();
    EXPECT_TRUE(h.frame->paneText(0).endsWith(QStringLiteral(" / 6,442,450,944 ﾊﾞｲﾄ (Escで中止)")));
    // Other keys are refused meanwhile.
    QTest::keyClick(v->fileList, Qt::Key_Home);
    EXPECT_EQ(v->fileList->curSel(), selected);

    QTest::keyClick(v->fileList, Qt::Key_Escape);
    ASSERT_TRUE(waitUntilIdle(v));
    EXPECT_TRUE(h.frame);  // Escape gave the load up, it did not close the window
    EXPECT_TRUE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), preview);
    EXPECT_EQ(h.frame->paneText(0), path);
    EXPECT_EQ(v->fileList->curSel(), selected);
    EXPECT_LT(residentBytes(), before + (64u << 20));
    EXPECT_TRUE(h.messages.isEmpty());
}
