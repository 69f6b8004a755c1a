// Benchmarks of the folder size (Ctrl+S), measured on the real window: the
// main frame with its view on the offscreen platform, the folder item
// selected in the file list, then the command.
//
// stdout carries only result lines, "name value unit baseline=V ratio=R",
// ratio = ours / baseline. Both sides run on the same machine, in the same
// run, on the same data, the same number of times, interleaved run by run;
// the value is the median. Progress and the two totals go to stderr.
//
//  folder_size_usr   the total of /usr on a warm cache: from the command to
//                    the result text set in pane 0 (the walk, its threads,
//                    the queued result). Baseline: the wall time of a whole
//                    "du -sbx /usr" process.
//  folder_size_100k  the same on a generated tree of 100,000 files in 5,000
//                    folders; baseline du -sbx on the same tree.
//
// The totals differ in what du counts besides files: du adds the sizes of
// the folders and of the symbolic links themselves, and counts a file with
// several hard links once, where the folder size counts files once per name
// and links not at all. A plain single-threaded walk (nftw, untimed) works
// out those three amounts, so stderr shows whether the two totals agree.
//
// RUNS (default 5) sets the number of runs. Test data is generated under
// $TMPDIR/trovik-bench (default /tmp) and reused by later runs.
#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/res/resources.h"
#include "core/view/drives.h"
#include "platform/profile_qsettings.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "loadavg.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void report(const char* name, double value, double baseline)
{
    std::printf("%s %.3f ms baseline=%.3f ratio=%.2f\n", name, value, baseline, baseline > 0 ? value / baseline : 0.0);
    std::fflush(stdout);
}

template <class... A>
void progress(const char* fmt, A... args)
{
    std::fprintf(stderr, "foldersize_bench: ");
    std::fprintf(stderr, fmt, args...);
    std::fprintf(stderr, "\n");
}


// --- the baseline ------------------------------------------------------------

struct DuRun {
    double ms = -1;
    double cpuMs = 0;  // user and system time of the process
    unsigned long long total = 0;
};

double cpuMs(const rusage& r)
{
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
}

// A whole "du -sbx FOLDER" process, its output captured; the time is from
// just before the spawn to just after the wait.
DuRun runDu(const std::string& folder)
{
    DuRun r;
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    const char* argv[] = {"du", "-sbx", folder.c_str(), nullptr};
    const Clock::time_point t0 = Clock::now();
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, "du", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    std::string out;
    if (err == 0) {
        char buf[256];
        ssize_t n;
        while ((n = read(pipefd[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                out.append(buf, static_cast<size_t>(n));
        int status = 0;
        rusage usage{};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        r.ms = msSince(t0);
        r.cpuMs = cpuMs(usage);
        r.total = std::strtoull(out.c_str(), nullptr, 10);
    }
    close(pipefd[0]);
    return r;
}

// What du counts besides the files, worked out by a plain walk.
struct DuExtras {
    unsigned long long folders = 0, links = 0, repeatedHardLinks = 0;
};
DuExtras* extras = nullptr;
std::set<std::pair<dev_t, ino_t>>* seenInodes = nullptr;

int countExtras(const char*, const struct stat* st, int type, FTW*)
{
    if (type == FTW_D || type == FTW_DNR || type == FTW_DP)
        extras->folders += static_cast<unsigned long long>(st->st_size);
    else if (type == FTW_SL || type == FTW_SLN)
        extras->links += static_cast<unsigned long long>(st->st_size);
    else if (type == FTW_F && st->st_nlink > 1 && !seenInodes->insert({st->st_dev, st->st_ino}).second)
        extras->repeatedHardLinks += static_cast<unsigned long long>(st->st_size);
    return 0;
}

DuExtras duExtras(const std::string& folder)
{
    DuExtras e;
    std::set<std::pair<dev_t, ino_t>> seen;
    extras = &e;
    seenInodes = &seen;
    nftw(folder.c_str(), countExtras, 64, FTW_PHYS | FTW_MOUNT);
    return e;
}

// --- test data ---------------------------------------------------------------

std::string dataRoot()
{
    const char* t = std::getenv("TMPDIR");
    std::string root = (t && *t) ? t : "/tmp";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root + "/trovik-bench";
}

bool exists(const std::string& p)
{
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

// 100,000 files in 5,000 folders: 50 folders of 99 subfolders each, 20
// files in every one of them, of 0 to 8,191 bytes (sparse: made quickly).
// A marker beside the tree says it is complete.
std::string ensureTree()
{
    const std::string root = dataRoot();
    const std::string tree = root + "/size100k";
    const std::string ready = root + "/size100k.ready";
    if (exists(ready))
        return tree;
    progress("generating %s (100,000 files in 5,000 folders)", tree.c_str());
    mkdir(root.c_str(), 0755);
    mkdir(tree.c_str(), 0755);
    unsigned seed = 2024;
    auto files = [&seed](const std::string& folder) {
        for (int f = 0; f < 20; ++f) {
            const std::string name = folder + "/file" + std::to_string(f) + ".dat";
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            seed = seed * 1664525u + 1013904223u;
            if (fd < 0 || ftruncate(fd, static_cast<off_t>((seed >> 8) % 8192)) != 0) {
                progress("cannot write %s", name.c_str());
                std::exit(1);
            }
            close(fd);
        }
    };
    for (int a = 0; a < 50; ++a) {
        const std::string top = tree + "/group" + std::to_string(a);
        mkdir(top.c_str(), 0755);
        files(top);
        for (int b = 0; b < 99; ++b) {
            const std::string sub = top + "/folder" + std::to_string(b);
            mkdir(sub.c_str(), 0755);
            files(sub);
        }
    }
    const int fd = open(ready.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        close(fd);
    return tree;
}

// --- the program under test --------------------------------------------------

// The main frame on a private profile file, with message boxes reported.
class Session {
public:
    Session()
    {
        messageHook() = [](QWidget*, const QString& text) { progress("message box: %s", qPrintable(text)); };
        profile_ = std::make_unique<QSettingsProfile>(profileDir_.filePath(QStringLiteral("Trovik32.conf")));
        frame_ = new CMainFrame(*profile_, QStringLiteral("bench"));
        frame_->setGeometry(0, 0, 1024, 768);
        frame_->show();
        QCoreApplication::processEvents();
    }
    ~Session() { delete frame_; }

    // Lists the folder holding native and selects native's folder item.
    bool standOn(const std::string& native)
    {
        CTrovik32View* v = frame_->view();
        const size_t slash = native.rfind('/');
        const QByteArray parent = pathMap().fromNative(QByteArray::fromStdString(slash ? native.substr(0, slash) : "/"));
        const QByteArray item = '<' + QByteArray::fromStdString(native.substr(slash + 1)) + '>';
        v->currentFolder = v->previewFolder = parent;
        v->depth = static_cast<int>(parent.count('\\'));
        v->selectionStack[v->depth] = 0;
        v->archiveMode = false;
        if (!v->ListFolder(parent))
            return false;
        for (int i = 0; i < v->fileList->count(); ++i)
            if (v->fileList->text(i) == item) {
                v->fileList->setCurSel(i);
                v->PreviewSelectedItem();
                QCoreApplication::processEvents();
                return true;
            }
        return false;
    }

    struct Run {
        double ms = 0;
        double cpuMs = 0;  // user and system time of this process meanwhile, every thread
        unsigned long long total = 0;
    };
    // The command until its result is in pane 0; the total read back from it.
    Run folderSize()
    {
        CTrovik32View* v = frame_->view();
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const Clock::time_point t0 = Clock::now();
        frame_->command(res::ID_FOLDER_SIZE);
        while (v->folderSizeRun)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        Run r;
        r.ms = msSince(t0);
        getrusage(RUSAGE_SELF, &after);
        r.cpuMs = cpuMs(after) - cpuMs(before);
        QString digits = frame_->paneText(0);
        digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        r.total = digits.toULongLong();
        return r;
    }

private:
    QTemporaryDir profileDir_;
    std::unique_ptr<QSettingsProfile> profile_;
    CMainFrame* frame_ = nullptr;
};

int runs()
{
    const char* r = std::getenv("RUNS");
    const int n = r ? std::atoi(r) : 5;
    return n > 0 ? n : 5;
}

bool bench(Session& s, const char* name, const std::string& folder)
{
    if (!s.standOn(folder)) {
        progress("%s: the folder item of %s is not in the list", name, folder.c_str());
        return false;
    }
    // One untimed round of each side: a warm cache for both.
    runDu(folder);
    s.folderSize();
    std::vector<double> ours, base, ourCpu, baseCpu;
    unsigned long long ourTotal = 0, duTotal = 0;
    for (int r = 0; r < runs(); ++r) {
        const DuRun du = runDu(folder);
        const Session::Run run = s.folderSize();
        if (du.ms < 0) {
            progress("%s: du did not run", name);
            return false;
        }
        base.push_back(du.ms);
        baseCpu.push_back(du.cpuMs);
        ours.push_back(run.ms);
        ourCpu.push_back(run.cpuMs);
        ourTotal = run.total;
        duTotal = du.total;
    }
    // The machine is shared: with every core busy the wall times follow the
    // processor time each side needs rather than the threads it runs on.
    progress("%s: processor time (user + system, median) %.1f ms (folder size), %.1f ms (du); load average %s", name,
             median(ourCpu), median(baseCpu), loadAverage().c_str());
    const DuExtras e = duExtras(folder);
    const unsigned long long expectedDu = ourTotal + e.folders + e.links - e.repeatedHardLinks;
    progress("%s: total %llu (folder size), %llu (du -sbx)", name, ourTotal, duTotal);
    progress("%s: du adds folders %llu and links %llu and counts repeated hard links %llu once: "
             "expected du %llu, %s",
             name, e.folders, e.links, e.repeatedHardLinks, expectedDu,
             expectedDu == duTotal ? "the totals agree" : "the totals differ (is the tree changing?)");
    report(name, median(ours), median(base));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Session s;
    bool ok = true;
    ok = bench(s, "folder_size_usr", "/usr") && ok;
    ok = bench(s, "folder_size_100k", ensureTree()) && ok;
    return ok ? 0 : 1;
}
