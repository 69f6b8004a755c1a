#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>

#include "core/view/drives.h"

namespace platform {

namespace {

QByteArray programName(const char* native)
{
    QByteArray n(native);
    for (char& c : n)
        if (c == '\\')
            c = '/';  // a backslash in a native name shows as "/"
    return n;
}

bool isDriveRoot(const QByteArray& folder) { return folder.size() == 2 && folder[1] == ':'; }

}  // namespace

std::optional<std::vector<DirEntry>> enumerate(const QByteArray& folder)
{
    const QByteArray native = pathMap().toNative(folder);
    if (native.isEmpty())
        return std::nullopt;
    DIR* dir = opendir(native.constData());
    if (!dir)
        return std::nullopt;
    const bool root = isDriveRoot(folder);
    const int dfd = dirfd(dir);
    std::vector<DirEntry> out;
    for (;;) {
        errno = 0;
        dirent* e = readdir(dir);
        if (!e) {
            // A folder that opens but cannot be read is a failed listing, not an empty one.
            const int err = errno;
            closedir(dir);
            if (err != 0)
                return std::nullopt;
            return out;
        }
        const bool dot = e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0));
        if (dot && root)
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            isDir = fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        out.push_back({programName(e->d_name), isDir});
    }
}

bool canList(const QByteArray& folder)
{
    const QByteArray native = pathMap().toNative(folder);
    DIR* dir = native.isEmpty() ? nullptr : opendir(native.constData());
    if (dir)
        closedir(dir);
    return dir != nullptr;
}

std::optional<FileStatus> fileStatus(const QByteArray& path)
{
    const QByteArray native = pathMap().toNative(path);
    struct stat st;
    if (native.isEmpty() || stat(native.constData(), &st) != 0)
        return std::nullopt;
    FileStatus s;
    s.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    s.mtime = st.st_mtime;
    s.isDir = S_ISDIR(st.st_mode);
    struct statvfs vfs;
    const bool readOnlyVolume = statvfs(native.constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY);
    if (!(st.st_mode & S_IWUSR) || readOnlyVolume)
        s.attributes |= 0x01;
    const qsizetype slash = native.lastIndexOf('/');
    if (native.size() > slash + 1 && native[slash + 1] == '.')
        s.attributes |= 0x02;
    if (s.isDir)
        s.attributes |= 0x10;
    else if (S_ISREG(st.st_mode))
        s.attributes |= 0x20;
    else
        s.attributes |= 0x04;
    return s;
}

ReadFile::ReadFile(const QByteArray& path)
{
    const QByteArray native = pathMap().toNative(path);
    if (!native.isEmpty())
        fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
}

ReadFile::~ReadFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

uint64_t ReadFile::read(char* buf, uint64_t n)
{
    uint64_t done = 0;
    while (done < n) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n - done, 1u << 30));
        ssize_t r = ::read(fd_, buf + done, chunk);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        done += static_cast<uint64_t>(r);
    }
    return done;
}

void adviseLargeBuffer(void* data, uint64_t size)
{
    const uintptr_t page = 2u << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

uint64_t availableMemory()
{
    uint64_t best = std::numeric_limits<uint64_t>::max();
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t value = 0;
    std::string unit;
    while (meminfo >> key >> value >> unit) {
        if (key == "MemAvailable:") {
            best = std::min(best, value * 1024);
            break;
        }
    }
    struct rlimit rl;
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        best = std::min<uint64_t>(best, rl.rlim_cur);
    std::ifstream max("/sys/fs/cgroup/memory.max"), cur("/sys/fs/cgroup/memory.current");
    std::string maxText;
    uint64_t current = 0;
    if (max >> maxText && maxText != "max" && cur >> current) {
        const uint64_t limit = std::strtoull(maxText.c_str(), nullptr, 10);
        best = std::min<uint64_t>(best, limit > current ? limit - current : 0);
    }
    return best;
}

}  // namespace platform
