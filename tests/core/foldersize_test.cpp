// The folder-size walk on real trees, and the texts it ends in.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/fileops/foldersize.h"
#include "platform/foldersize.h"
#include "support/testsupport.h"

namespace {

uint64_t sizeOf(const QString& folder, unsigned threads = 0)
{
    platform::FolderSizeProgress progress;
    const uint64_t total = platform::folderSize(QFile::encodeName(folder), progress, threads);
    EXPECT_EQ(progress.bytes.load(), total);  // the progress ends on the total
    return total;
}

void makeSparse(const QString& path, off_t size)
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

void makeLink(const QString& target, const QString& link)
{
    ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

// Runs fn in a child process and returns the numbers it reports; nothing
// when the child could not set itself up (fn returns an empty vector) or died.
std::optional<std::vector<uint64_t>> inChild(const std::function<std::vector<uint64_t>()>& fn)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        const std::vector<uint64_t> values = fn();
        const ssize_t n = static_cast<ssize_t>(values.size() * sizeof(uint64_t));
        const bool ok = values.empty() || write(pipefd[1], values.data(), static_cast<size_t>(n)) == n;
        _exit(ok ? 0 : 1);
    }
    close(pipefd[1]);
    std::vector<uint64_t> values;
    uint64_t v;
    while (read(pipefd[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v))
        values.push_back(v);
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || values.empty())
        return std::nullopt;
    return values;
}

class FolderSizeWalk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }
    void write(const QString& relative, qsizetype bytes)
    {
        testsupport::writeFile(path(relative), QByteArray(bytes, 'x'));
    }
    QTemporaryDir dir;
};

}  // namespace

TEST(FolderSizeTexts, ResultAndProgressReadAsShownInThePane)
{
    EXPECT_EQ(folderSizeResultText(1235567), QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　1,235,567 ﾊﾞｲﾄ"));
    EXPECT_EQ(folderSizeResultText(0), QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　0 ﾊﾞｲﾄ"));
    // The total is 64-bit: nothing wraps at 4 GiB.
    EXPECT_EQ(folderSizeResultText(5000000000ull), QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　5,000,000,000 ﾊﾞｲﾄ"));
    EXPECT_EQ(folderSizeResultText(4294967296ull), QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　4,294,967,296 ﾊﾞｲﾄ"));
    EXPECT_EQ(folderSizeProgressText(12345, 1234567890),
              QStringLiteral("ﾌｫﾙﾀﾞｻｲｽﾞ計算中… 12,345 ﾌｧｲﾙ　1,234,567,890 ﾊﾞｲﾄ (Escで中止)"));
}

TEST_F(FolderSizeWalk, SumsEveryFileBelowTheFolder)
{
    EXPECT_EQ(sizeOf(path()), 0u);  // an empty folder
    write("a.bin", 1000);
    write("b.bin", 1233567);
    write("sub/c.bin", 1000);
    EXPECT_EQ(sizeOf(path()), 1235567u);
    EXPECT_EQ(sizeOf(path("sub")), 1000u);
    EXPECT_EQ(sizeOf(path("missing")), 0u);  // a target that cannot be read at all
    EXPECT_EQ(sizeOf(path("a.bin")), 0u);    // nor a file as the target
}

TEST_F(FolderSizeWalk, DotFoldersAndHiddenFilesCount)
{
    write(".profile", 10);
    write(".cache/thumb/x.png", 300);
    write(".git/objects/pack", 2000);
    write("..odd/y", 4);  // only "." and ".." themselves are skipped
    write("visible/.hidden", 7);
    EXPECT_EQ(sizeOf(path()), 10u + 300 + 2000 + 4 + 7);
}

TEST_F(FolderSizeWalk, TotalIsSixtyFourBit)
{
    makeSparse(path("big/one"), 2500000000);
    makeSparse(path("big/two"), 2500000000);
    makeSparse(path("exact/four_gib"), 4294967296);
    EXPECT_EQ(sizeOf(path("big")), 5000000000u);
    EXPECT_EQ(sizeOf(path("exact")), 4294967296u);
}

TEST_F(FolderSizeWalk, LinksAreNotFollowedAndAddNothing)
{
    write("real/data", 500);
    write("real/deeper/more", 20);
    write("walk/own", 3);
    makeLink(path("real"), path("walk/to_real"));     // a link to a folder
    makeLink(path("real/data"), path("walk/to_file"));  // a link to a file
    makeLink(path("walk"), path("walk/loop"));         // a link loop
    makeLink(path("nowhere"), path("walk/dangling"));
    EXPECT_EQ(sizeOf(path("walk")), 3u);
    // The target itself is opened as selected: a folder item that is a link sums its folder.
    EXPECT_EQ(sizeOf(path("walk/to_real")), 520u);
}

TEST_F(FolderSizeWalk, HardLinksCountOncePerName)
{
    write("a/file", 4096);
    ASSERT_EQ(link(QFile::encodeName(path("a/file")).constData(), QFile::encodeName(path("a/again")).constData()), 0);
    ASSERT_EQ(link(QFile::encodeName(path("a/file")).constData(), QFile::encodeName(path("third")).constData()), 0);
    EXPECT_EQ(sizeOf(path()), 3u * 4096);
}

TEST_F(FolderSizeWalk, SpecialFilesCountWithTheirOwnSize)
{
    write("plain", 11);
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe")).constData(), 0644), 0);  // must not block the walk
    platform::FolderSizeProgress progress;
    EXPECT_EQ(platform::folderSize(QFile::encodeName(path()), progress), 11u);
    EXPECT_EQ(progress.files.load(), 2u);
}

TEST_F(FolderSizeWalk, PathsLongerThanThePathLimit)
{
    // 80 levels of 100-byte names: about 8,000 bytes, twice PATH_MAX.
    const std::string name(100, 'd');
    int fd = open(QFile::encodeName(path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 80; ++level) {
        const int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        ASSERT_EQ(::write(file, "abc", 3), 3);
        close(file);
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    close(fd);
    EXPECT_EQ(sizeOf(path()), 80u * 3);
    // Removed level by level from the bottom: the whole path is too long to name.
    const std::string top = QFile::encodeName(path()).toStdString();
    std::vector<int> levels{open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    for (int level = 0; level < 80 && levels.back() >= 0; ++level)
        levels.push_back(openat(levels.back(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (size_t i = levels.size() - 1; i-- > 0;) {
        unlinkat(levels[i + 1], "f", 0);
        close(levels[i + 1]);
        EXPECT_EQ(unlinkat(levels[i], name.c_str(), AT_REMOVEDIR), 0);
    }
    close(levels[0]);
}

TEST_F(FolderSizeWalk, AnyNumberOfThreadsGivesTheSameTotal)
{
    // A bushy tree, so folders are handed between threads all the time.
    uint64_t expected = 0;
    for (int a = 0; a < 12; ++a)
        for (int b = 0; b < 12; ++b)
            for (int c = 0; c < 3; ++c) {
                const qsizetype n = (a * 131 + b * 17 + c * 5) % 97;
                write(QStringLiteral("a%1/b%2/f%3").arg(a).arg(b).arg(c), n);
                expected += static_cast<uint64_t>(n);
            }
    for (unsigned threads : {1u, 2u, 3u, 8u})
        EXPECT_EQ(sizeOf(path(), threads), expected) << threads << " threads";
}

TEST_F(FolderSizeWalk, CancelledWalkStops)
{
    write("a/b/c", 100);
    platform::FolderSizeProgress progress;
    progress.cancel = true;
    EXPECT_EQ(platform::folderSize(QFile::encodeName(path()), progress), 0u);
}

TEST_F(FolderSizeWalk, UnreadableFolderAddsZeroAndTheWalkGoesOn)
{
    write("a.txt", 10);
    write("locked/b.txt", 1000);         // no rights at all
    write("listonly/c.txt", 100);        // may be listed, not entered
    write("listonly/inner/d.txt", 100);
    write("open/e.txt", 5);
    ASSERT_EQ(chmod(QFile::encodeName(path("locked")).constData(), 0), 0);
    ASSERT_EQ(chmod(QFile::encodeName(path("listonly")).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(path()).constData(), 0755), 0);
    const QByteArray root = QFile::encodeName(path());
    // Root reads everything, so the walk runs as the user "nobody" then.
    auto walk = [&root]() -> std::vector<uint64_t> {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            return {};
        platform::FolderSizeProgress progress;
        return {platform::folderSize(root, progress)};
    };
    const auto total = inChild(walk);
    chmod(QFile::encodeName(path("locked")).constData(), 0755);
    chmod(QFile::encodeName(path("listonly")).constData(), 0755);
    ASSERT_TRUE(total.has_value()) << "the walk could not run as a user without the rights";
    EXPECT_EQ(total->at(0), 15u);
}

TEST_F(FolderSizeWalk, MountBelowTheTargetIsNotEntered)
{
    write("own.txt", 7);
    write("mnt/hidden_by_the_mount", 1);
    const QByteArray root = QFile::encodeName(path());
    const QByteArray mnt = QFile::encodeName(path("mnt"));
    // A private mount namespace in a child, so the mount never shows outside the test.
    auto walk = [&]() -> std::vector<uint64_t> {
        if (geteuid() != 0) {
            // Without root, a user namespace of our own, in which we are root.
            const std::string uid = "0 " + std::to_string(geteuid()) + " 1", gid = "0 " + std::to_string(getegid()) + " 1";
            auto put = [](const char* file, const std::string& text) {
                const int fd = open(file, O_WRONLY | O_CLOEXEC);
                const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
                if (fd >= 0)
                    close(fd);
                return ok;
            };
            if (unshare(CLONE_NEWUSER) != 0 || !put("/proc/self/setgroups", "deny") ||
                !put("/proc/self/uid_map", uid) || !put("/proc/self/gid_map", gid))
                return {};
        }
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mnt.constData(), "tmpfs", 0, "size=1m") != 0)
            return {};
        const int fd = open((mnt + "/inside").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "0123456789", 10) != 10)
            return {};
        close(fd);
        platform::FolderSizeProgress a, b;
        return {platform::folderSize(root, a), platform::folderSize(mnt, b)};
    };
    const auto totals = inChild(walk);
    if (!totals)
        GTEST_SKIP() << "no mount can be made here (needs root or user namespaces)";
    EXPECT_EQ(totals->at(0), 7u);   // the mount is not entered, nor what it covers
    EXPECT_EQ(totals->at(1), 10u);  // the mount itself as the target is walked
}

TEST(FolderSizeOtherFileSystem, DevShmBelowDevIsNotEntered)
{
    struct stat dev, shm;
    if (stat("/dev", &dev) != 0 || stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    QTemporaryDir inShm(QStringLiteral("/dev/shm/foldersize-XXXXXX"));
    if (!inShm.isValid())
        GTEST_SKIP() << "/dev/shm cannot be written here";
    const off_t huge = off_t(1) << 40;  // sparse: takes no memory
    makeSparse(inShm.filePath("huge"), huge);
    platform::FolderSizeProgress a, b;
    EXPECT_LT(platform::folderSize("/dev", a), uint64_t(huge));
    EXPECT_EQ(platform::folderSize(QFile::encodeName(inShm.path()), b), uint64_t(huge));
}
