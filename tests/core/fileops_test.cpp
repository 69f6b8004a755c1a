// Copy, move and rename on real folders: what arrives, what stays, and that
// nothing is lost when an operation fails or is cancelled part-way.
#include "platform/fileops.h"
#include "platform/fileops_testhook.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::FailureChoice;
using platform::FileOpFailure;
using platform::FileOpProgress;

// Records every call; answers failures and cancel as the test says.
struct Recorder : platform::FileOpObserver {
    std::vector<FileOpFailure> failures;
    std::vector<QByteArray> skips;
    FileOpProgress last;
    int progressCalls = 0;
    std::function<FailureChoice(const FileOpFailure&)> answer = [](const FileOpFailure&) { return FailureChoice::Skip; };
    std::function<bool(const FileOpProgress&)> cancelWhen;

    bool cancelled() override { return cancelWhen && cancelWhen(last); }
    void progress(const FileOpProgress& p) override {
        EXPECT_LE(p.filesDone, p.filesTotal);
        EXPECT_LE(p.bytesDone, p.bytesTotal);
        last = p;
        ++progressCalls;
    }
    FailureChoice failed(const FileOpFailure& f) override {
        failures.push_back(f);
        return answer(f);
    }
    void skipped(const QByteArray& item, const QString& why) override {
        EXPECT_FALSE(why.isEmpty());
        skips.push_back(item);
    }
};

void put(const QByteArray& path, const QByteArray& bytes, mode_t mode = 0644) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << path.constData() << ": " << std::strerror(errno);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
    ::chmod(path.constData(), mode);
}

QByteArray slurp(const QByteArray& path) {
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return "<missing>";
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, n);
    ::close(fd);
    return out;
}

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void makeDir(const QByteArray& path) { ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData(); }

QByteArray pattern(qsizetype size, char seed) {
    QByteArray out(size, '\0');
    for (qsizetype i = 0; i < size; ++i) out[i] = char(seed + i * 7 + (i >> 12));
    return out;
}

// Every item below folder: relative path → content ("<dir>", "-> target", "<special>").
std::map<QByteArray, QByteArray> tree(const QByteArray& folder, const QByteArray& prefix = {}) {
    std::map<QByteArray, QByteArray> out;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return out;
    std::vector<QByteArray> names;
    while (dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.emplace_back(e->d_name);
    ::closedir(dir);
    for (const QByteArray& name : names) {
        const QByteArray path = folder + "/" + name;
        const QByteArray rel = prefix + name;
        struct stat st;
        ::lstat(path.constData(), &st);
        if (S_ISDIR(st.st_mode)) {
            out[rel] = "<dir>";
            for (auto& [k, v] : tree(path, rel + "/")) out[k] = v;
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(path.constData(), target, sizeof target);
            out[rel] = "-> " + QByteArray(target, n > 0 ? n : 0);
        } else if (S_ISREG(st.st_mode)) {
            out[rel] = slurp(path);
        } else {
            out[rel] = "<special>";
        }
    }
    return out;
}

bool hasTemp(const std::map<QByteArray, QByteArray>& items) {
    for (const auto& [path, content] : items)
        if (path.contains(".~trovik-")) return true;
    return false;
}

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        char* real = ::realpath(QFile::encodeName(dir.path()).constData(), nullptr);
        root = real;
        std::free(real);
        const char* old = std::getenv("XDG_DATA_HOME");
        hadData = old != nullptr;
        if (old) oldData = old;
        ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
        makeDir(root + "/src");
        makeDir(root + "/dst");
    }
    void TearDown() override {
        platform::testhook::setWriteFault({});
        if (hadData) ::setenv("XDG_DATA_HOME", oldData.constData(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }
    QByteArray trashed(const QByteArray& name) { return slurp(root + "/data/Trash/files/" + name); }

    QTemporaryDir dir;
    QByteArray root, oldData;
    bool hadData = false;
};

TEST_F(FileOpsTest, CopyKeepsDataModesTimesAndLinksAndSkipsSpecialFiles) {
    const QByteArray src = root + "/src/tree";
    makeDir(src);
    makeDir(src + "/sub");
    put(src + "/plain.txt", "plain", 0640);
    put(src + "/sub/empty", "", 0600);
    put(src + "/sub/script.sh", "#!/bin/sh\n", 0755);
    const QByteArray big = pattern(qsizetype(platform::testhook::copyPieceBytes) * 2 + 1234, 3);
    put(src + "/big.bin", big);
    put(src + "/\xff\xfe raw.bin", "not utf-8 name");
    ASSERT_EQ(::symlink("plain.txt", (src + "/link").constData()), 0);
    ASSERT_EQ(::symlink("/nowhere/at/all", (src + "/dangling").constData()), 0);
    ASSERT_EQ(::symlink("..", (src + "/sub/up").constData()), 0);  // followed, it would never end
    ASSERT_EQ(::mkfifo((src + "/fifo").constData(), 0644), 0);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (src + "/plain.txt").constData(), old, 0), 0);
    ASSERT_EQ(::chmod((src + "/sub").constData(), 0750), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, (src + "/sub").constData(), old, 0), 0);

    Recorder observer;
    const platform::FileOpResult result = platform::copyItem(src, root + "/dst", observer);
    EXPECT_TRUE(result.message.isEmpty());
    EXPECT_FALSE(result.cancelled);

    auto expected = tree(src);
    expected.erase("fifo");
    EXPECT_EQ(tree(root + "/dst/tree"), expected);
    ASSERT_EQ(observer.skips.size(), 1u);
    EXPECT_EQ(observer.skips[0], src + "/fifo");
    EXPECT_TRUE(observer.failures.empty());

    struct stat st;
    ASSERT_EQ(::stat((root + "/dst/tree/plain.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    ASSERT_EQ(::stat((root + "/dst/tree/sub/script.sh").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat((root + "/dst/tree/sub").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    ASSERT_EQ(::lstat((root + "/dst/tree/link").constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // The last progress counts everything, the skipped FIFO included.
    EXPECT_EQ(observer.last.filesDone, observer.last.filesTotal);
    EXPECT_EQ(observer.last.filesTotal, 9u);
    EXPECT_EQ(observer.last.bytesDone, observer.last.bytesTotal);
    EXPECT_EQ(observer.last.bytesTotal, uint64_t(big.size()) + 5 + 10 + 14);
}

TEST_F(FileOpsTest, CopyOverAnExistingItemPutsTheOldOneInTheTrash) {
    put(root + "/src/a.txt", "new");
    put(root + "/dst/a.txt", "old");
    makeDir(root + "/src/d");
    put(root + "/src/d/x", "new x");
    put(root + "/src/d/z", "new z");
    makeDir(root + "/dst/d");
    put(root + "/dst/d/x", "old x");
    put(root + "/dst/d/y", "kept y");

    Recorder observer;
    EXPECT_TRUE(platform::copyItem(root + "/src/a.txt", root + "/dst", observer).ok);
    EXPECT_EQ(slurp(root + "/dst/a.txt"), "new");
    EXPECT_EQ(trashed("a.txt"), "old");

    // Folder onto folder merges, file by file.
    EXPECT_TRUE(platform::copyItem(root + "/src/d", root + "/dst", observer).ok);
    const std::map<QByteArray, QByteArray> merged{{"x", "new x"}, {"y", "kept y"}, {"z", "new z"}};
    EXPECT_EQ(tree(root + "/dst/d"), merged);
    EXPECT_EQ(trashed("x"), "old x");
    EXPECT_FALSE(hasTemp(tree(root + "/dst")));
    EXPECT_TRUE(observer.failures.empty());
}

TEST_F(FileOpsTest, CopyIntoItsOwnFolderMakesNumberedDuplicates) {
    put(root + "/src/a.txt", "A");
    makeDir(root + "/src/d.x");
    put(root + "/src/d.x/in", "in");
    Recorder observer;
    EXPECT_TRUE(platform::copyItem(root + "/src/a.txt", root + "/src", observer).ok);
    EXPECT_TRUE(platform::copyItem(root + "/src/a.txt", root + "/src", observer).ok);
    EXPECT_TRUE(platform::copyItem(root + "/src/d.x", root + "/src", observer).ok);
    EXPECT_EQ(slurp(root + "/src/a - コピー.txt"), "A");
    EXPECT_EQ(slurp(root + "/src/a - コピー (2).txt"), "A");
    EXPECT_EQ(slurp(root + "/src/d.x - コピー/in"), "in");
    EXPECT_EQ(slurp(root + "/src/a.txt"), "A");

    // A move into its own folder does nothing.
    const auto before = tree(root + "/src");
    const platform::FileOpResult moved = platform::moveItem(root + "/src/a.txt", root + "/src", observer);
    EXPECT_TRUE(moved.ok);
    EXPECT_TRUE(moved.message.isEmpty());
    EXPECT_EQ(tree(root + "/src"), before);
}

TEST_F(FileOpsTest, AFolderIntoItselfIsRefusedAndNothingChanges) {
    makeDir(root + "/src/d");
    makeDir(root + "/src/d/sub");
    put(root + "/src/d/sub/f", "f");
    const auto before = tree(root + "/src");
    Recorder observer;
    for (const QByteArray& into : {root + "/src/d", root + "/src/d/sub", root + "/src/d/sub/"}) {
        const platform::FileOpResult copy = platform::copyItem(root + "/src/d", into, observer);
        EXPECT_FALSE(copy.ok);
        EXPECT_TRUE(copy.message.contains(QStringLiteral("それ自身"))) << copy.message.toStdString();
        const platform::FileOpResult move = platform::moveItem(root + "/src/d", into, observer);
        EXPECT_FALSE(move.ok);
        EXPECT_FALSE(move.message.isEmpty());
    }
    // Reached through a link to it, too.
    ASSERT_EQ(::symlink((root + "/src/d").constData(), (root + "/alias").constData()), 0);
    EXPECT_FALSE(platform::copyItem(root + "/src/d", root + "/alias/sub", observer).message.isEmpty());
    EXPECT_FALSE(platform::renameItem(root + "/src/d", root + "/src/d/sub/d", observer).message.isEmpty());
    EXPECT_EQ(tree(root + "/src"), before);
    EXPECT_TRUE(observer.failures.empty());
}

TEST_F(FileOpsTest, ACopyFailingHalfWayLeavesTheOldFileAndNoTemporaryFile) {
    const qsizetype size = qsizetype(platform::testhook::copyPieceBytes) + 1000;
    put(root + "/src/big", pattern(size, 1));
    put(root + "/dst/big", "old content");
    int faults = 0;
    platform::testhook::setWriteFault([&](const QByteArray& dest, uint64_t offset) {
        if (dest == root + "/dst/big" && offset > 0 && faults < 1) {
            ++faults;
            return ENOSPC;
        }
        return 0;
    });

    Recorder skipping;
    const platform::FileOpResult skipped = platform::copyItem(root + "/src/big", root + "/dst", skipping);
    EXPECT_FALSE(skipped.ok);
    ASSERT_EQ(skipping.failures.size(), 1u);
    EXPECT_EQ(skipping.failures[0].item, root + "/src/big");
    EXPECT_EQ(skipping.failures[0].error, ENOSPC);
    EXPECT_EQ(skipping.failures[0].reason, QStringLiteral("ディスクの空き容量が不足しています"));
    EXPECT_EQ(slurp(root + "/dst/big"), "old content");
    EXPECT_EQ(tree(root + "/dst").size(), 1u);
    EXPECT_FALSE(exists(root + "/data/Trash/files/big"));

    // The same failure answered with Retry: the second attempt lands.
    faults = 0;
    Recorder retrying;
    retrying.answer = [](const FileOpFailure&) { return FailureChoice::Retry; };
    EXPECT_TRUE(platform::copyItem(root + "/src/big", root + "/dst", retrying).ok);
    EXPECT_EQ(retrying.failures.size(), 1u);
    EXPECT_EQ(slurp(root + "/dst/big").size(), size);
    EXPECT_EQ(trashed("big"), "old content");
    EXPECT_FALSE(hasTemp(tree(root + "/dst")));
    EXPECT_EQ(retrying.last.bytesDone, uint64_t(size));
}

TEST_F(FileOpsTest, ASourceChangedDuringTheCopyIsReportedAndNotPlaced) {
    const qsizetype size = qsizetype(platform::testhook::copyPieceBytes) + 10;
    put(root + "/src/growing.log", pattern(size, 2));
    put(root + "/dst/growing.log", "old");
    // Another program appends to the file while the copy is half-way.
    bool appended = false;
    platform::testhook::setWriteFault([&](const QByteArray&, uint64_t offset) {
        if (offset > 0 && !appended) {
            appended = true;
            const int fd = ::open((root + "/src/growing.log").constData(), O_WRONLY | O_APPEND);
            EXPECT_EQ(::write(fd, "more", 4), 4);
            ::close(fd);
        }
        return 0;
    });
    Recorder observer;
    EXPECT_FALSE(platform::copyItem(root + "/src/growing.log", root + "/dst", observer).ok);
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_EQ(observer.failures[0].reason, QStringLiteral("処理中にファイルが変更されました"));
    EXPECT_EQ(slurp(root + "/dst/growing.log"), "old");
    EXPECT_FALSE(hasTemp(tree(root + "/dst")));
}

TEST_F(FileOpsTest, ACopyOntoAFullFileSystemLeavesTheOldFileAndNoTemporaryFile) {
    const QByteArray mnt = root + "/small";
    makeDir(mnt);
    if (::mount("tmpfs", mnt.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); the simulated write error covers this case";
    put(mnt + "/f", "old");
    put(root + "/src/f", pattern(2 << 20, 5));
    Recorder observer;
    const platform::FileOpResult result = platform::copyItem(root + "/src/f", mnt, observer);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_EQ(observer.failures[0].error, ENOSPC);
    EXPECT_EQ(slurp(mnt + "/f"), "old");
    const std::map<QByteArray, QByteArray> only{{"f", "old"}};
    EXPECT_EQ(tree(mnt), only);
    ::umount2(mnt.constData(), MNT_DETACH);
}

TEST_F(FileOpsTest, ACancelledCopyOfALargeTreeLeavesNoPartialFile) {
    const QByteArray src = root + "/src/tree";
    makeDir(src);
    for (int i = 0; i < 3; ++i) {
        makeDir(src + "/d" + QByteArray::number(i));
        for (int j = 0; j < 20; ++j)
            put(src + "/d" + QByteArray::number(i) + "/small" + QByteArray::number(j), pattern(100 + j, char(j)));
        put(src + "/big" + QByteArray::number(i),
            pattern(qsizetype(platform::testhook::copyPieceBytes) * 2 + 777, char(i)));
    }
    const uint64_t piece = platform::testhook::copyPieceBytes;
    Recorder observer;
    // Cancel in the middle of the first large file.
    observer.cancelWhen = [piece](const FileOpProgress& p) { return p.bytesDone >= piece; };
    const platform::FileOpResult result = platform::copyItem(src, root + "/dst", observer);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.ok);

    const auto source = tree(src);
    const auto copied = tree(root + "/dst/tree");
    EXPECT_FALSE(hasTemp(copied));
    EXPECT_LT(copied.size(), source.size());
    for (const auto& [path, content] : copied) {
        ASSERT_TRUE(source.count(path)) << path.constData();
        EXPECT_EQ(content, source.at(path)) << path.constData();
    }
}

TEST_F(FileOpsTest, MoveOnOneFileSystemIsARenameAndReplacesThroughTheTrash) {
    makeDir(root + "/src/d");
    put(root + "/src/d/f", "f");
    struct stat before;
    ASSERT_EQ(::stat((root + "/src/d").constData(), &before), 0);
    Recorder observer;
    EXPECT_TRUE(platform::moveItem(root + "/src/d", root + "/dst", observer).ok);
    struct stat after;
    ASSERT_EQ(::stat((root + "/dst/d").constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_FALSE(exists(root + "/src/d"));

    put(root + "/src/a", "new");
    put(root + "/dst/a", "old");
    EXPECT_TRUE(platform::moveItem(root + "/src/a", root + "/dst", observer).ok);
    EXPECT_EQ(slurp(root + "/dst/a"), "new");
    EXPECT_EQ(trashed("a"), "old");

    // Folder onto folder merges and the emptied source goes away.
    makeDir(root + "/src/d");
    put(root + "/src/d/f", "f2");
    put(root + "/src/d/g", "g");
    EXPECT_TRUE(platform::moveItem(root + "/src/d", root + "/dst", observer).ok);
    const std::map<QByteArray, QByteArray> merged{{"f", "f2"}, {"g", "g"}};
    EXPECT_EQ(tree(root + "/dst/d"), merged);
    EXPECT_EQ(trashed("f"), "f");
    EXPECT_FALSE(exists(root + "/src/d"));
}

class CrossDeviceTest : public FileOpsTest {
protected:
    void SetUp() override {
        FileOpsTest::SetUp();
        struct stat shm, here;
        if (::stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode)) GTEST_SKIP() << "no /dev/shm on this machine";
        ASSERT_EQ(::stat(root.constData(), &here), 0);
        if (shm.st_dev == here.st_dev)
            GTEST_SKIP() << "/dev/shm and the temporary folder share one file system: no cross-device move to test";
        char name[] = "/dev/shm/trovik-move-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        other = name;
    }
    void TearDown() override {
        if (!other.isEmpty()) {
            // Deepest first: a folder's items sort after it.
            const auto items = tree(other);
            for (auto i = items.rbegin(); i != items.rend(); ++i) {
                const QByteArray path = other + "/" + i->first;
                if (::unlink(path.constData()) != 0) ::rmdir(path.constData());
            }
            ::rmdir(other.constData());
        }
        FileOpsTest::TearDown();
    }
    QByteArray other;
};

TEST_F(CrossDeviceTest, AMoveAcrossDevicesCopiesEverythingThenRemovesTheSource) {
    makeDir(root + "/src/d");
    makeDir(root + "/src/d/sub");
    put(root + "/src/d/a", "a", 0600);
    put(root + "/src/d/sub/b", "b");
    ASSERT_EQ(::symlink("a", (root + "/src/d/l").constData()), 0);
    const auto before = tree(root + "/src/d");
    Recorder observer;
    EXPECT_TRUE(platform::moveItem(root + "/src/d", other, observer).ok);
    EXPECT_EQ(tree(other + "/d"), before);
    EXPECT_FALSE(exists(root + "/src/d"));
    struct stat st;
    ASSERT_EQ(::stat((other + "/d/a").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(observer.last.filesDone, observer.last.filesTotal);
}

TEST_F(CrossDeviceTest, AnItemThatFailsStaysAtTheSource) {
    makeDir(root + "/src/d");
    put(root + "/src/d/good", "good");
    put(root + "/src/d/bad", "bad");
    platform::testhook::setWriteFault([&](const QByteArray& dest, uint64_t) {
        return dest == other + "/d/bad" ? EIO : 0;
    });
    Recorder observer;
    const platform::FileOpResult result = platform::moveItem(root + "/src/d", other, observer);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_EQ(observer.failures[0].item, root + "/src/d/bad");
    EXPECT_EQ(slurp(root + "/src/d/bad"), "bad");
    EXPECT_FALSE(exists(root + "/src/d/good"));
    EXPECT_EQ(slurp(other + "/d/good"), "good");
    EXPECT_FALSE(exists(other + "/d/bad"));
    EXPECT_FALSE(hasTemp(tree(other)));

    // A cancelled cross-device move removes nothing from the source.
    put(root + "/src/d/more", "more");
    platform::testhook::setWriteFault({});
    Recorder cancelling;
    cancelling.answer = [](const FileOpFailure&) { return FailureChoice::Cancel; };
    platform::testhook::setWriteFault([&](const QByteArray& dest, uint64_t) {
        return dest == other + "/d/more" ? EIO : 0;
    });
    EXPECT_TRUE(platform::moveItem(root + "/src/d", other, cancelling).cancelled);
    EXPECT_EQ(slurp(root + "/src/d/bad"), "bad");
    EXPECT_EQ(slurp(root + "/src/d/more"), "more");
}

TEST_F(FileOpsTest, RenameNeverClobbersAndRefusesBadNames) {
    put(root + "/src/a.txt", "a");
    put(root + "/src/b.txt", "b");
    makeDir(root + "/src/sub");
    const auto before = tree(root + "/src");
    Recorder observer;
    const std::vector<QByteArray> refused{
        root + "/src/b.txt", root + "/src/", root + "/src/.", root + "/src/..",
        root + "/src/" + QByteArray(300, 'n'), root + "/src/missing/x.txt", root + "/src/sub",
    };
    for (const QByteArray& target : refused) {
        const platform::FileOpResult result = platform::renameItem(root + "/src/a.txt", target, observer);
        EXPECT_FALSE(result.ok) << target.constData();
        EXPECT_FALSE(result.message.isEmpty()) << target.constData();
    }
    EXPECT_FALSE(platform::renameItem(root + "/src/a.txt", "", observer).ok);
    EXPECT_EQ(tree(root + "/src"), before);
    EXPECT_TRUE(observer.failures.empty());

    // A plain rename, a raw byte name, then into another existing folder.
    EXPECT_TRUE(platform::renameItem(root + "/src/a.txt", root + "/src/c.txt", observer).ok);
    EXPECT_EQ(slurp(root + "/src/c.txt"), "a");
    EXPECT_TRUE(platform::renameItem(root + "/src/c.txt", root + "/src/\x81\x40.txt", observer).ok);
    EXPECT_EQ(slurp(root + "/src/\x81\x40.txt"), "a");
    EXPECT_TRUE(platform::renameItem(root + "/src/\x81\x40.txt", root + "/src/sub/b.txt", observer).ok);
    EXPECT_EQ(slurp(root + "/src/sub/b.txt"), "a");
    EXPECT_EQ(slurp(root + "/src/b.txt"), "b");
    EXPECT_FALSE(platform::renameItem(root + "/src/b.txt", root + "/src/sub/b.txt", observer).ok);
    EXPECT_EQ(slurp(root + "/src/b.txt"), "b");
    EXPECT_EQ(slurp(root + "/src/sub/b.txt"), "a");
}

TEST_F(FileOpsTest, ALinkIsCopiedAsALinkNeverFollowed) {
    makeDir(root + "/src/target");
    put(root + "/src/target/inside", "x");
    ASSERT_EQ(::symlink((root + "/src/target").constData(), (root + "/src/alias").constData()), 0);
    Recorder observer;
    EXPECT_TRUE(platform::copyItem(root + "/src/alias", root + "/dst", observer).ok);
    struct stat st;
    ASSERT_EQ(::lstat((root + "/dst/alias").constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(exists(root + "/dst/inside"));
    // A trashed link goes alone; what it points to stays.
    EXPECT_TRUE(platform::trashItem(root + "/src/alias", observer).ok);
    EXPECT_EQ(slurp(root + "/src/target/inside"), "x");
}

}  // namespace
