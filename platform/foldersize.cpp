#include "platform/foldersize.h"

#include <dirent.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {

// An open folder. Its subfolders are opened relative to it, so it stays open
// until the last of them waiting in the walk has been opened.
struct OpenFolder {
    explicit OpenFolder(int f) : fd(f) {}
    ~OpenFolder() { close(fd); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    int fd;
};

// A folder waiting to be read: its name in its parent, or for the target
// itself no parent and the whole path.
struct Waiting {
    std::shared_ptr<OpenFolder> parent;
    std::string name;
};

// Entries are read in batches of this many bytes, one system call each.
constexpr size_t kBatchBytes = 64 * 1024;

bool isDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// Each walking thread keeps one folder open per level of the tree that still
// has folders waiting. Deep trees need more descriptors than the usual soft
// limit of 1024, so the limit is raised to what the system allows, once.
void raiseDescriptorLimit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit rl{};
        if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
            rl.rlim_cur = rl.rlim_max;
            setrlimit(RLIMIT_NOFILE, &rl);
        }
    });
}

// The cores this process may run on (a container may allow fewer than the machine has).
unsigned usableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

class Walk {
public:
    explicit Walk(FolderSizeProgress& progress) : progress_(progress) {}

    void start(const QByteArray& nativeFolder)
    {
        waiting_.push_back({nullptr, nativeFolder.toStdString()});
    }

    // One walking thread: takes the folder added last (depth first, which
    // keeps few folders open), reads it, and hands its subfolders back to
    // whichever thread is free.
    void work()
    {
        std::vector<uint64_t> buffer(kBatchBytes / sizeof(uint64_t));
        std::vector<std::string> subfolders;
        for (;;) {
            Waiting item;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !waiting_.empty() || busy_ == 0 || cancelled(); });
                if (waiting_.empty() || cancelled())
                    return;
                item = std::move(waiting_.back());
                waiting_.pop_back();
                ++busy_;
            }
            subfolders.clear();
            std::shared_ptr<OpenFolder> self = read(std::move(item), buffer, subfolders);
            bool wakeAll = false;
            {
                std::lock_guard lock(mutex_);
                --busy_;
                if (self && !cancelled())
                    for (std::string& name : subfolders)
                        waiting_.push_back({self, std::move(name)});
                wakeAll = busy_ == 0 || cancelled() || subfolders.size() > 1;
            }
            self.reset();
            if (wakeAll)
                wake_.notify_all();
            else if (!subfolders.empty())
                wake_.notify_one();
        }
    }

private:
    bool cancelled() const { return progress_.cancel.load(std::memory_order_relaxed); }

    // Opens the folder, sums its files and lists its subfolders. Nothing when
    // it cannot be opened or lies on another file system than the target.
    std::shared_ptr<OpenFolder> read(Waiting item, std::vector<uint64_t>& buffer, std::vector<std::string>& subfolders)
    {
        const bool target = !item.parent;
        // The target is opened as selected, a link included; below it links are never followed.
        const int fd = target ? open(item.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                              : openat(item.parent->fd, item.name.c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        item.parent.reset();
        if (fd < 0)
            return nullptr;
        auto self = std::make_shared<OpenFolder>(fd);
        struct stat st;
        if (fstat(fd, &st) != 0)
            return nullptr;
        if (target)
            device_ = st.st_dev;  // read by the other threads only after this folder's subfolders are handed out
        else if (st.st_dev != device_)
            return nullptr;  // a mount point: another file system

        char* bytes = reinterpret_cast<char*>(buffer.data());
        while (!cancelled()) {
            const ssize_t n = getdents64(fd, bytes, kBatchBytes);
            if (n <= 0)
                break;  // the end, or a folder that stopped being readable: what was read counts
            uint64_t files = 0, sum = 0;
            for (ssize_t off = 0; off < n;) {
                const auto* e = reinterpret_cast<const dirent64*>(bytes + off);
                off += e->d_reclen;
                const char* name = e->d_name;
                if (isDotOrDotDot(name) || e->d_type == DT_LNK)
                    continue;
                if (e->d_type == DT_DIR) {
                    subfolders.emplace_back(name);
                    continue;
                }
                // Files, and entries whose kind the file system does not tell.
                // Only the kind and the size are asked for; a network file
                // system may answer from what it has cached.
                struct statx s;
                if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &s) != 0 ||
                    S_ISLNK(s.stx_mode))
                    continue;
                if (S_ISDIR(s.stx_mode)) {
                    subfolders.emplace_back(name);
                    continue;
                }
                ++files;
                sum += s.stx_size;
            }
            progress_.files.fetch_add(files, std::memory_order_relaxed);
            progress_.bytes.fetch_add(sum, std::memory_order_relaxed);
        }
        return subfolders.empty() ? nullptr : self;
    }

    FolderSizeProgress& progress_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Waiting> waiting_;
    unsigned busy_ = 0;
    dev_t device_ = 0;
};

}  // namespace

uint64_t folderSize(const QByteArray& nativeFolder, FolderSizeProgress& progress, unsigned threads)
{
    const uint64_t before = progress.bytes.load();
    if (nativeFolder.isEmpty())
        return 0;
    raiseDescriptorLimit();
    if (threads == 0)
        threads = usableCores();
    Walk walk(progress);
    walk.start(nativeFolder);
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([&walk] { walk.work(); });
        } catch (const std::system_error&) {
            break;  // fewer threads walk just as correctly
        }
    }
    walk.work();
    for (std::thread& t : helpers)
        t.join();
    return progress.bytes.load() - before;
}

}  // namespace platform
