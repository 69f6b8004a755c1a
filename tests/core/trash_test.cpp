// The trash: where items go, what the .trashinfo says, and that nothing is
// deleted when no trash can be used.
#include "platform/fileops.h"
#include "platform/trash.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::FailureChoice;
using platform::FileOpFailure;
using platform::FileOpProgress;

struct QuietObserver : platform::FileOpObserver {
    int failures = 0;
    bool cancelled() override { return false; }
    void progress(const FileOpProgress&) override {}
    FailureChoice failed(const FileOpFailure&) override {
        ++failures;
        return FailureChoice::Skip;
    }
    void skipped(const QByteArray&, const QString&) override {}
};

void put(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray slurp(const QByteArray& path) {
    QByteArray out;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0) return "<missing>";
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, n);
    ::close(fd);
    return out;
}

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray infoKey(const QByteArray& info, const QByteArray& key) {
    for (const QByteArray& line : info.split('\n'))
        if (line.startsWith(key + "=")) return line.mid(key.size() + 1);
    return {};
}

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = QFile::encodeName(dir.path());
        char* real = ::realpath(root.constData(), nullptr);
        root = real;
        std::free(real);
        const char* old = std::getenv("XDG_DATA_HOME");
        hadData = old != nullptr;
        if (old) oldData = old;
        // The data folder is missing on purpose: it must be made.
        data = root + "/data";
        ::setenv("XDG_DATA_HOME", data.constData(), 1);
        ASSERT_EQ(::mkdir((root + "/work").constData(), 0755), 0);
    }
    void TearDown() override {
        if (hadData) ::setenv("XDG_DATA_HOME", oldData.constData(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }

    QTemporaryDir dir;
    QByteArray root, data, oldData;
    bool hadData = false;
};

TEST_F(TrashTest, PathIsPercentEncodedAndTheItemComesBackByRenamingIt) {
    const char* oldTz = std::getenv("TZ");
    const QByteArray savedTz = oldTz ? oldTz : "";
    // A zone away from UTC shows that the date is local time.
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();

    const QByteArray name = "a b%c 日本語.txt";
    const QByteArray item = root + "/work/" + name;
    put(item, "keep me");
    QuietObserver observer;
    const platform::FileOpResult result = platform::trashItem(item, observer);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_FALSE(exists(item));

    const QByteArray trashed = data + "/Trash/files/" + name;
    const QByteArray info = slurp(data + "/Trash/info/" + name + ".trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\n")) << info.constData();
    const QByteArray path = infoKey(info, "Path");
    EXPECT_EQ(path, platform::trashPathEncode(root) + "/work/a%20b%25c%20%E6%97%A5%E6%9C%AC%E8%AA%9E.txt");
    const QByteArray date = infoKey(info, "DeletionDate");
    ASSERT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$").match(QString::fromLatin1(date)).hasMatch())
        << date.constData();
    std::time_t now = std::time(nullptr);
    std::tm tokyo{};
    localtime_r(&now, &tokyo);
    // Same local day and hour as now, give or take the turn of an hour.
    char expectHour[32];
    std::strftime(expectHour, sizeof expectHour, "%Y-%m-%dT%H", &tokyo);
    now -= 60;
    localtime_r(&now, &tokyo);
    char earlierHour[32];
    std::strftime(earlierHour, sizeof earlierHour, "%Y-%m-%dT%H", &tokyo);
    EXPECT_TRUE(date.startsWith(expectHour) || date.startsWith(earlierHour)) << date.constData();

    if (oldTz) ::setenv("TZ", savedTz.constData(), 1);
    else ::unsetenv("TZ");
    ::tzset();

    // Restoring is a rename back to the decoded Path.
    const QByteArray back = platform::trashPathDecode(path);
    EXPECT_EQ(back, item);
    ASSERT_EQ(::rename(trashed.constData(), back.constData()), 0);
    EXPECT_EQ(slurp(item), "keep me");
}

TEST_F(TrashTest, EncodingCoversEveryByteAndDecodesBack) {
    QByteArray all;
    for (int b = 1; b < 256; ++b) all.append(char(b));
    const QByteArray encoded = platform::trashPathEncode(all);
    for (const char c : encoded) {
        const bool allowed = std::isalnum(uchar(c)) || QByteArray("-_.~/%").contains(c);
        EXPECT_TRUE(allowed) << int(uchar(c));
    }
    EXPECT_EQ(platform::trashPathDecode(encoded), all);
    EXPECT_EQ(platform::trashPathEncode("/x y/%"), "/x%20y/%25");
    // Broken escapes are kept as they are.
    EXPECT_EQ(platform::trashPathDecode("%zz%4"), "%zz%4");
}

TEST_F(TrashTest, TwoDeletesOfTheSameNameDoNotCollide) {
    ASSERT_EQ(::mkdir((root + "/work/one").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/work/two").constData(), 0755), 0);
    put(root + "/work/one/same.txt", "first");
    put(root + "/work/two/same.txt", "second");
    ASSERT_EQ(::mkdir((root + "/work/three").constData(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "/work/three/same.txt").constData(), 0755), 0);
    QuietObserver observer;
    EXPECT_TRUE(platform::trashItem(root + "/work/one/same.txt", observer).ok);
    EXPECT_TRUE(platform::trashItem(root + "/work/two/same.txt", observer).ok);
    EXPECT_TRUE(platform::trashItem(root + "/work/three/same.txt", observer).ok);
    const QByteArray files = data + "/Trash/files/";
    const QByteArray info = data + "/Trash/info/";
    EXPECT_EQ(slurp(files + "same.txt"), "first");
    EXPECT_EQ(slurp(files + "same.txt 2"), "second");
    struct stat st;
    ASSERT_EQ(::lstat((files + "same.txt 3").constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(infoKey(slurp(info + "same.txt 2.trashinfo"), "Path").endsWith("/work/two/same.txt"));
    EXPECT_TRUE(infoKey(slurp(info + "same.txt 3.trashinfo"), "Path").endsWith("/work/three/same.txt"));
    EXPECT_EQ(observer.failures, 0);
}

TEST_F(TrashTest, AnItemOnDevShmGoesToTheVolumeTrash) {
    struct stat shm, here;
    if (::stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode)) GTEST_SKIP() << "no /dev/shm on this machine";
    ASSERT_EQ(::stat(root.constData(), &here), 0);
    if (shm.st_dev == here.st_dev) GTEST_SKIP() << "/dev/shm and the temporary folder share one file system";
    char pattern[] = "/dev/shm/trovik-trash-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const QByteArray folder = pattern;
    const QByteArray item = folder + "/on volume.txt";
    put(item, "volume");

    QuietObserver observer;
    const platform::TrashFolder chosen = platform::trashFolderFor(item);
    EXPECT_FALSE(chosen.home);
    EXPECT_EQ(chosen.topdir, "/dev/shm");
    const platform::TrashOutcome out = platform::moveToTrash(item);
    ASSERT_TRUE(out.ok) << out.message.toStdString();
    EXPECT_TRUE(out.trashedAs.startsWith("/dev/shm/.Trash")) << out.trashedAs.constData();
    EXPECT_EQ(slurp(out.trashedAs), "volume");
    EXPECT_FALSE(exists(item));
    // Relative to the top folder of the volume.
    EXPECT_EQ(infoKey(slurp(out.infoFile), "Path"), platform::trashPathEncode(folder.mid(9) + "/on volume.txt"));
    EXPECT_FALSE(exists(data + "/Trash/files/on volume.txt"));

    ::unlink(out.trashedAs.constData());
    ::unlink(out.infoFile.constData());
    ::rmdir(folder.constData());
}

TEST_F(TrashTest, VolumeTrashIsTheSharedStickyFolderOnlyWhenItIsSafe) {
    const uid_t uid = ::getuid();
    const QByteArray uidText = QByteArray::number(qulonglong(uid));
    auto volume = [&](const char* name) {
        const QByteArray top = root + "/" + name;
        ::mkdir(top.constData(), 0755);
        return top;
    };

    const QByteArray plain = volume("plain");
    EXPECT_EQ(platform::volumeTrashFolder(plain, uid).dir, plain + "/.Trash-" + uidText);
    EXPECT_TRUE(exists(plain + "/.Trash-" + uidText + "/files"));
    EXPECT_TRUE(exists(plain + "/.Trash-" + uidText + "/info"));

    const QByteArray sticky = volume("sticky");
    ASSERT_EQ(::mkdir((sticky + "/.Trash").constData(), 0777), 0);
    ASSERT_EQ(::chmod((sticky + "/.Trash").constData(), 01777), 0);
    EXPECT_EQ(platform::volumeTrashFolder(sticky, uid).dir, sticky + "/.Trash/" + uidText);
    EXPECT_TRUE(exists(sticky + "/.Trash/" + uidText + "/info"));

    const QByteArray loose = volume("loose");
    ASSERT_EQ(::mkdir((loose + "/.Trash").constData(), 0777), 0);
    ASSERT_EQ(::chmod((loose + "/.Trash").constData(), 0777), 0);
    EXPECT_EQ(platform::volumeTrashFolder(loose, uid).dir, loose + "/.Trash-" + uidText);

    const QByteArray linked = volume("linked");
    ASSERT_EQ(::symlink((sticky + "/.Trash").constData(), (linked + "/.Trash").constData()), 0);
    EXPECT_EQ(platform::volumeTrashFolder(linked, uid).dir, linked + "/.Trash-" + uidText);

    // A .Trash-$uid that is not a folder is never used.
    const QByteArray bogus = volume("bogus");
    put(bogus + "/.Trash-" + uidText, "");
    const platform::TrashFolder refused = platform::volumeTrashFolder(bogus, uid);
    EXPECT_TRUE(refused.dir.isEmpty());
    EXPECT_FALSE(refused.error.isEmpty());
}

TEST_F(TrashTest, AnUnusableTrashDeletesNothing) {
    const QByteArray item = root + "/work/precious.txt";
    put(item, "precious");
    QuietObserver observer;

    // The trash folder is a file.
    ASSERT_EQ(::mkdir(data.constData(), 0700), 0);
    put(data + "/Trash", "not a folder");
    platform::FileOpResult result = platform::trashItem(item, observer);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(slurp(item), "precious");

    // Its info folder is a file.
    ASSERT_EQ(::unlink((data + "/Trash").constData()), 0);
    ASSERT_EQ(::mkdir((data + "/Trash").constData(), 0700), 0);
    put(data + "/Trash/info", "");
    result = platform::trashItem(item, observer);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(QStringLiteral("ごみ箱"))) << result.message.toStdString();
    EXPECT_EQ(slurp(item), "precious");
    EXPECT_FALSE(exists(data + "/Trash/files/precious.txt"));
    EXPECT_EQ(observer.failures, 0);
}

TEST_F(TrashTest, AReadOnlyVolumeDeletesNothing) {
    const QByteArray mnt = root + "/ro";
    ASSERT_EQ(::mkdir(mnt.constData(), 0755), 0);
    if (::mount("tmpfs", mnt.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    put(mnt + "/precious.txt", "precious");
    ASSERT_EQ(::mount("tmpfs", mnt.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    QuietObserver observer;
    const platform::FileOpResult result = platform::trashItem(mnt + "/precious.txt", observer);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(slurp(mnt + "/precious.txt"), "precious");
    EXPECT_FALSE(exists(mnt + "/.Trash-" + QByteArray::number(qulonglong(::getuid()))));
    ::umount2(mnt.constData(), MNT_DETACH);
}

}  // namespace
