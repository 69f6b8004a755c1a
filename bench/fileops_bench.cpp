// The file operations benchmark. Prints, one line each:
//   copy_tree VALUE ms baseline=V ratio=R
//       copying a tree of 10,000 small files and 20 large ones (about 300 MB)
//       into an empty folder on the same file system; baseline `cp -a`.
//   move_cross_device VALUE ms baseline=V ratio=R
//       moving the same tree from $TMPDIR to /dev/shm; baseline `mv`.
//   trash_10k_folder VALUE ms
//       putting a folder of 10,000 files into the trash (a single rename).
// ratio = ours / baseline. Each side runs RUNS times (default 3), the two
// interleaved, dirty pages written out (sync) before every run and not
// waited for after it; the best run
// of each side counts. The tree is made once under $TMPDIR/trovik-bench and
// reused; the trash used is a private XDG_DATA_HOME there, emptied afterwards.
#include "platform/fileops.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Silent : platform::FileOpObserver {
    bool cancelled() override { return false; }
    void progress(const platform::FileOpProgress&) override {}
    platform::FailureChoice failed(const platform::FileOpFailure& f) override {
        std::fprintf(stderr, "fileops_bench: failed: %s: %s\n", f.item.constData(), f.reason.toUtf8().constData());
        return platform::FailureChoice::Cancel;
    }
    void skipped(const QByteArray&, const QString&) override {}
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "fileops_bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void makeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + path);
}

void writeFile(const std::string& path, size_t size, unsigned seed) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) die("create " + path);
    std::vector<char> block(std::min<size_t>(size, 1 << 20));
    for (size_t i = 0; i < block.size(); ++i) block[i] = char((i * 131 + seed * 7) >> 3);
    for (size_t done = 0; done < size;) {
        const size_t n = std::min(block.size(), size - done);
        if (::write(fd, block.data(), n) != ssize_t(n)) die("write " + path);
        block[0] = char(block[0] + 1);
        done += n;
    }
    ::close(fd);
}

int removeOne(const char* path, const struct stat*, int type, struct FTW*) {
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

void removeTree(const std::string& path) {
    if (exists(path) && ::nftw(path.c_str(), removeOne, 64, FTW_DEPTH | FTW_PHYS) != 0) die("remove " + path);
}

// Runs a program with its arguments, no shell; true when it exits with 0.
bool run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename F>
double timed(F&& work) {
    ::sync();
    const auto t0 = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void line(const char* name, double value, const char* unit, const double* baseline = nullptr) {
    std::printf("%s %.1f %s", name, value, unit);
    if (baseline) std::printf(" baseline=%.1f ratio=%.2f", *baseline, *baseline > 0 ? value / *baseline : 0.0);
    std::printf("\n");
    std::fflush(stdout);
}

// 10,000 small files in 100 folders and 20 large ones: about 300 MB.
void makeTree(const std::string& tree, size_t largeBytes) {
    const std::string done = tree + ".complete";
    if (exists(done)) return;
    std::fprintf(stderr, "fileops_bench: making the tree %s\n", tree.c_str());
    removeTree(tree);
    makeDir(tree);
    for (int d = 0; d < 100; ++d) {
        const std::string folder = tree + "/folder" + std::to_string(d);
        makeDir(folder);
        for (int f = 0; f < 100; ++f)
            writeFile(folder + "/note" + std::to_string(f) + ".txt", 512 + size_t((d * 100 + f) * 37 % 3584), unsigned(f));
    }
    makeDir(tree + "/large");
    for (int i = 0; i < 20; ++i) writeFile(tree + "/large/part" + std::to_string(i) + ".bin", largeBytes, unsigned(i));
    writeFile(done, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    if (const char* r = std::getenv("RUNS")) runs = std::max(1, std::atoi(r));
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/trovik-bench";
    const std::string work = base + "/fileops";
    makeDir(base);
    makeDir(work);
    ::setenv("XDG_DATA_HOME", (work + "/data").c_str(), 1);
    const std::string tree = work + "/tree";

    // 15 MB each by default; less when /dev/shm has no room for the moved tree.
    size_t largeBytes = size_t(15) << 20;
    struct statvfs shm;
    const bool haveShm = ::statvfs("/dev/shm", &shm) == 0;
    if (haveShm) {
        const double room = double(shm.f_bavail) * double(shm.f_frsize);
        if (room < 2.0 * 330e6) {
            largeBytes = size_t(std::max(1.0, (room / 2 - 40e6) / 20));
            std::fprintf(stderr, "fileops_bench: /dev/shm has %.0f MB free: large files scaled down to %zu bytes\n",
                         room / 1e6, largeBytes);
        }
    }
    makeTree(tree, largeBytes);

    const bool all = argc < 2;
    auto wanted = [&](const char* name) {
        if (all) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], name) == 0) return true;
        return false;
    };
    Silent observer;
    int status = 0;

    if (wanted("copy_tree")) {
        const std::string theirs = work + "/copy-cp", ours = work + "/copy-ours";
        double best = 1e300, bestBase = 1e300;
        for (int r = 0; r < runs; ++r) {
            removeTree(theirs);
            removeTree(ours);
            makeDir(theirs);
            makeDir(ours);
            bool ok = true;
            bestBase = std::min(bestBase, timed([&] { ok = run({"cp", "-a", tree, theirs + "/"}); }));
            if (!ok) die("cp -a");
            platform::FileOpResult result;
            best = std::min(best, timed([&] { result = platform::copyItem(QByteArray::fromStdString(tree), QByteArray::fromStdString(ours), observer); }));
            if (!result.ok) {
                std::fprintf(stderr, "fileops_bench: copy failed\n");
                status = 1;
            }
        }
        removeTree(theirs);
        removeTree(ours);
        line("copy_tree", best, "ms", &bestBase);
    }

    if (wanted("move_cross_device")) {
        struct stat a, b;
        if (!haveShm || ::stat("/dev/shm", &a) != 0 || ::stat(work.c_str(), &b) != 0 || a.st_dev == b.st_dev) {
            std::fprintf(stderr, "fileops_bench: move_cross_device skipped: /dev/shm is missing or on the same file system as %s\n",
                         work.c_str());
        } else {
            char name[] = "/dev/shm/trovik-bench-XXXXXX";
            if (!::mkdtemp(name)) die("mkdtemp /dev/shm");
            const std::string target = name;
            const std::string source = work + "/move-src";
            double best = 1e300, bestBase = 1e300;
            for (int r = 0; r < runs; ++r) {
                for (int side = 0; side < 2; ++side) {
                    removeTree(source);
                    removeTree(target + "/move-src");
                    makeDir(source);
                    if (!run({"cp", "-a", tree, source + "/"})) die("cp -a (preparing the move)");
                    const std::string item = source + "/tree";
                    if (side == 0) {
                        bool ok = true;
                        bestBase = std::min(bestBase, timed([&] { ok = run({"mv", item, target + "/"}); }));
                        if (!ok) die("mv");
                    } else {
                        platform::FileOpResult result;
                        best = std::min(best, timed([&] { result = platform::moveItem(QByteArray::fromStdString(item), QByteArray::fromStdString(target), observer); }));
                        if (!result.ok || exists(item)) {
                            std::fprintf(stderr, "fileops_bench: move failed\n");
                            status = 1;
                        }
                    }
                    removeTree(target + "/tree");
                }
            }
            removeTree(source);
            removeTree(target);
            line("move_cross_device", best, "ms", &bestBase);
        }
    }

    if (wanted("trash_10k_folder")) {
        const std::string folder = work + "/doomed";
        double best = 1e300;
        for (int r = 0; r < runs; ++r) {
            removeTree(folder);
            makeDir(folder);
            for (int f = 0; f < 10000; ++f) writeFile(folder + "/item" + std::to_string(f), 64, unsigned(f));
            platform::FileOpResult result;
            best = std::min(best, timed([&] { result = platform::trashItem(QByteArray::fromStdString(folder), observer); }));
            if (!result.ok) {
                std::fprintf(stderr, "fileops_bench: trash failed: %s\n", result.message.toUtf8().constData());
                status = 1;
            }
            removeTree(work + "/data/Trash");
        }
        removeTree(folder);
        line("trash_10k_folder", best, "ms");
    }
    return status;
}
