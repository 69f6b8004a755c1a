// Benchmarks of the file list and the preview, measured on the real widgets:
// the main frame with its view, shown on the offscreen platform, driven by
// real key events sent to the file list.
//
// stdout carries only result lines, "name value unit", and where a baseline
// is measured " baseline=V ratio=R" with ratio = ours / baseline. Baseline
// and ours run on the same machine, in the same run, on the same data, with
// the same number of runs, interleaved run by run so that load from other
// work on the machine falls on both sides alike. Progress goes to stderr.
//
// What is compared, exactly:
//
//  listing_100k              CTrovik32View::ListFolder on a folder of 100,000
//                            files and 2,000 folders: enumerate, sort, build
//                            the item sequence, model ready. Timed inside a
//                            fresh process of this program per run ("list"
//                            mode below), so Qt start-up, the frame's creation
//                            and the exit are left out of ours. The baseline
//                            is the wall time of a whole "ls -1 FOLDER >
//                            /dev/null" process, its exec and exit included
//                            (about a millisecond, which favours ours). ls
//                            sorts in the caller's locale; ours sorts by the
//                            list's own order (folders first, digits by value).
//  listing_100k_process      the same "list" processes timed from outside as a
//                            whole (Qt start-up, frame, the listing, its first
//                            paint, saving the settings, exit), against the
//                            same ls processes: process against process.
//  listing_100k_repeat       ListFolder again inside the running frame, which
//                            frees the 102,000 items shown before; same ls
//                            baseline.
//  listing_100k_first_paint  after the model is ready, a forced synchronous
//                            repaint of the file list (fileList->repaint()),
//                            measured in the "list" processes.
//  preview_step_median/_p99  one step down through a folder of 10,000 small
//                            text files: a Key_Down QKeyEvent sent to the file
//                            list (its key handling, the selection change, the
//                            preview: status, read, status bar texts) until the
//                            content pane has repainted (contentPane->repaint()).
//  preview_step_settled_*    the same step until every event it posted is
//                            handled as well (the file list's and the status
//                            bar's repaints): what the user waits for.
//  full_load_100mb           Enter (a Key_Return QKeyEvent) on a 100 MiB text
//                            file in the file list until the full view is
//                            painted (contentPane->repaint()): status, the
//                            buffer's allocation, read, the display filter,
//                            the pane's set-up. The baseline is the wall time
//                            of a "dd if=FILE of=/dev/null bs=100M" process:
//                            reading the file into a fresh 100 MB buffer pays
//                            the page faults and zero-filling that any loader
//                            holding the whole file pays. (A "cat" process,
//                            which reuses one small buffer, is timed too and
//                            shown on stderr.) The page cache is warm for all.
//  startup_first_paint       the program started as a process (startup_probe:
//                            CTrovik32App::run itself) on a private profile
//                            whose start folder holds 1,000 entries, from just
//                            before the spawn to the end of the file list's
//                            first paint; warm cache, one untimed run first.
//                            On the X display named by TROVIK_BENCH_DISPLAY
//                            (bench/run starts an Xvfb when there is one),
//                            else on the offscreen platform. The baseline is
//                            the same probe as a bare QApplication showing a
//                            QListWidget of 1,000 items: Qt's own start-up.
//
// Test data is generated under $TMPDIR/trovik-bench (default /tmp) and reused
// by later runs; nothing is committed.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/view/drives.h"
#include "platform/profile_qsettings.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"
#include "loadavg.h"

extern char** environ;

namespace {

// --- measuring -------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    // Nearest rank.
    const size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

double median(const std::vector<double>& v)
{
    if (v.empty())
        return 0;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    const size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

void report(const char* name, double value, const char* unit, std::optional<double> baseline = std::nullopt)
{
    std::printf("%s %.3f %s", name, value, unit);
    if (baseline)
        std::printf(" baseline=%.3f ratio=%.2f", *baseline, *baseline > 0 ? value / *baseline : 0.0);
    std::printf("\n");
    std::fflush(stdout);
}

void progress(const char* fmt, const std::string& arg = std::string())
{
    std::fprintf(stderr, "browse_bench: ");
    std::fprintf(stderr, fmt, arg.c_str());
    std::fprintf(stderr, "\n");
}


// --- processes -------------------------------------------------------------

struct ProcessRun {
    double ms = 0;
    bool ok = false;
    std::string out;
};

// Runs a program with stdout to /dev/null (or captured) and stderr inherited;
// the time is from just before the spawn to just after the wait.
ProcessRun runProcess(const std::vector<std::string>& args, bool capture)
{
    ProcessRun r;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipefd[2] = {-1, -1};
    if (capture && pipe2(pipefd, O_CLOEXEC) != 0)
        return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture)
        posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    const Clock::time_point t0 = Clock::now();
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture)
        close(pipefd[1]);
    if (err == 0) {
        if (capture) {
            char buf[4096];
            ssize_t n;
            while ((n = read(pipefd[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
                if (n > 0)
                    r.out.append(buf, static_cast<size_t>(n));
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        r.ms = msSince(t0);
        r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (capture)
        close(pipefd[0]);
    return r;
}

std::string selfExe()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("browse_bench");
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

void makeDir(const std::string& p)
{
    mkdir(p.c_str(), 0755);
}

bool writeWhole(const std::string& path, const char* data, size_t n)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = write(fd, data + done, n - done);
        if (w <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return close(fd) == 0;
}

// A small deterministic generator, so every run builds the same data.
struct Lcg {
    uint32_t s;
    uint32_t next() { return s = s * 1664525u + 1013904223u; }
};

// Shift-JIS-ish text: ASCII words, hiragana and kanji pairs, CR LF line ends.
std::string sjisText(Lcg& rng, size_t bytes)
{
    static const char* const words[] = {"Trovik", "memo", "2024", "file", "lzh", "data", "text", "README"};
    std::string s;
    s.reserve(bytes + 128);
    size_t line = 0;
    while (s.size() < bytes) {
        const uint32_t r = rng.next() >> 8;
        switch (r % 4) {
        case 0: s += words[(r >> 4) % 8]; s += ' '; break;
        case 1: s += char(0x82); s += char(0x9F + (r >> 4) % 83); break;  // hiragana
        case 2: s += char(0x88 + (r >> 4) % 8); s += char(0x9F + (r >> 8) % 94); break;  // kanji
        default: s += char(0x83); s += char(0x40 + (r >> 4) % 62); break;  // katakana
        }
        if (++line % 24 == 0)
            s += "\r\n";
    }
    s.resize(bytes - 2);
    s += "\r\n";
    return s;
}

const int kListFiles = 100000;
const int kListFolders = 2000;
const int kPreviewFiles = 10000;
const size_t kBigSize = size_t(100) << 20;

// 100,000 empty files and 2,000 folders with names of mixed case, digits and
// extensions. A marker beside the folder says it is complete.
std::string ensureListFolder()
{
    const std::string root = dataRoot();
    const std::string dir = root + "/list100k";
    const std::string ready = root + "/list100k.ready";
    if (exists(ready))
        return dir;
    progress("generating %s (100,000 files, 2,000 folders)", dir);
    makeDir(root);
    makeDir(dir);
    static const char* const words[] = {"photo", "IMG", "report", "Data", "log", "memo",
                                        "Backup", "draft", "track", "scan", "Invoice", "note"};
    static const char* const exts[] = {".jpg", ".txt", ".doc", ".png", ".csv", ".mp3", ".pdf", ".c"};
    Lcg rng{12345};
    char name[128];
    for (int i = 0; i < kListFolders; ++i) {
        const uint32_t r = rng.next() >> 8;
        std::snprintf(name, sizeof name, "/%s %d", words[r % 12], i);
        makeDir(dir + name);
    }
    for (int i = 0; i < kListFiles; ++i) {
        const uint32_t r = rng.next() >> 8;
        std::snprintf(name, sizeof name, "/%s_%d%s", words[r % 12], i, exts[(r >> 4) % 8]);
        if (!writeWhole(dir + name, "", 0)) {
            progress("cannot write in %s", dir);
            std::exit(1);
        }
    }
    writeWhole(ready, "", 0);
    return dir;
}

// 10,000 text files of 200 to 700 bytes.
std::string ensurePreviewFolder()
{
    const std::string root = dataRoot();
    const std::string dir = root + "/preview10k";
    const std::string ready = root + "/preview10k.ready";
    if (exists(ready))
        return dir;
    progress("generating %s (10,000 small text files)", dir);
    makeDir(root);
    makeDir(dir);
    Lcg rng{777};
    char name[64];
    for (int i = 0; i < kPreviewFiles; ++i) {
        std::snprintf(name, sizeof name, "/memo%05d.txt", i);
        const std::string text = sjisText(rng, 200 + (rng.next() >> 8) % 500);
        if (!writeWhole(dir + name, text.data(), text.size())) {
            progress("cannot write in %s", dir);
            std::exit(1);
        }
    }
    writeWhole(ready, "", 0);
    return dir;
}

// One 100 MiB Shift-JIS-ish text file alone in its folder.
std::string ensureBigFile()
{
    const std::string root = dataRoot();
    const std::string dir = root + "/big";
    const std::string file = dir + "/text100m.txt";
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && static_cast<size_t>(st.st_size) == kBigSize)
        return file;
    progress("generating %s (100 MiB)", file);
    makeDir(root);
    makeDir(dir);
    Lcg rng{4242};
    const std::string chunk = sjisText(rng, size_t(1) << 20);
    std::string all;
    all.reserve(kBigSize);
    while (all.size() < kBigSize)
        all += chunk;
    all.resize(kBigSize);
    if (!writeWhole(file, all.data(), all.size())) {
        progress("cannot write %s", file);
        std::exit(1);
    }
    return file;
}

// Reads a file once so the page cache holds it.
void warmFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    std::vector<char> buf(size_t(1) << 20);
    while (read(fd, buf.data(), buf.size()) > 0) {
    }
    close(fd);
}

// --- the program under test --------------------------------------------------

int messageCount = 0;

// The main frame on a private profile file, shown at 1024×768, with message
// boxes recorded instead of shown.
class Session {
public:
    Session()
    {
        messageHook() = [](QWidget*, const QString& text) {
            ++messageCount;
            std::fprintf(stderr, "browse_bench: message box: %s\n", qPrintable(text));
        };
        profile_ = std::make_unique<QSettingsProfile>(profileDir_.filePath(QStringLiteral("Trovik32.conf")));
        frame_ = new CMainFrame(*profile_, QStringLiteral("bench"));
        frame_->setGeometry(0, 0, 1024, 768);
        frame_->show();
        settle();
    }
    ~Session() { delete frame_; }

    CTrovik32View* view() const { return frame_->view(); }

    // Every posted event handled, the pending paints among them.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    static QByteArray programPath(const std::string& native)
    {
        return pathMap().fromNative(QByteArray::fromStdString(native));
    }

    // The view's state as opening the folder from its parent leaves it, up to
    // the listing itself.
    void prepareFolder(const QByteArray& folder)
    {
        CTrovik32View* v = view();
        v->currentFolder = v->previewFolder = folder;
        v->depth = static_cast<int>(folder.count('\\'));
        v->selectionStack[v->depth] = 0;
        v->archiveMode = false;
    }

private:
    QTemporaryDir profileDir_;
    std::unique_ptr<QSettingsProfile> profile_;
    CMainFrame* frame_ = nullptr;
};

// --- listing ---------------------------------------------------------------

struct ListingTimes {
    double listMs = 0;
    double paintMs = 0;
};

ListingTimes listOnce(Session& s, const QByteArray& folder)
{
    CTrovik32View* v = s.view();
    s.prepareFolder(folder);
    ListingTimes t;
    Clock::time_point t0 = Clock::now();
    const bool ok = v->ListFolder(folder);
    t.listMs = msSince(t0);
    if (!ok)
        progress("ListFolder failed on %s", folder.toStdString());
    t0 = Clock::now();
    v->fileList->repaint();
    t.paintMs = msSince(t0);
    Session::settle();
    return t;
}

// "browse_bench list FOLDER": start, list the folder once, print the listing
// and first-paint times in ms, exit.
int listMode(const char* nativeFolder)
{
    Session s;
    const QByteArray folder = Session::programPath(nativeFolder);
    const ListingTimes t = listOnce(s, folder);
    if (s.view()->fileList->count() < kListFiles)
        return 1;
    std::printf("%.3f %.3f\n", t.listMs, t.paintMs);
    return 0;
}

void benchListing(Session& s, int runs)
{
    const std::string dir = ensureListFolder();
    const std::string self = selfExe();
    // Warm the directory in the cache for both sides.
    runProcess({"ls", "-1", dir}, false);
    runProcess({self, "list", dir}, true);

    std::vector<double> lsMs, listMs, paintMs, processMs;
    for (int r = 0; r < runs; ++r) {
        const ProcessRun ls = runProcess({"ls", "-1", dir}, false);
        const ProcessRun ours = runProcess({self, "list", dir}, true);
        double l = 0, p = 0;
        if (!ls.ok || !ours.ok || std::sscanf(ours.out.c_str(), "%lf %lf", &l, &p) != 2) {
            progress("listing run failed");
            return;
        }
        lsMs.push_back(ls.ms);
        processMs.push_back(ours.ms);
        listMs.push_back(l);
        paintMs.push_back(p);
        progress("listing run %s done", std::to_string(r + 1));
    }
    const double base = median(lsMs);
    report("listing_100k", median(listMs), "ms", base);
    report("listing_100k_process", median(processMs), "ms", base);
    report("listing_100k_first_paint", median(paintMs), "ms");

    // Again and again in the running frame.
    const QByteArray folder = Session::programPath(dir);
    listOnce(s, folder);
    std::vector<double> repeatMs, repeatLs;
    for (int r = 0; r < runs; ++r) {
        repeatLs.push_back(runProcess({"ls", "-1", dir}, false).ms);
        repeatMs.push_back(listOnce(s, folder).listMs);
    }
    report("listing_100k_repeat", median(repeatMs), "ms", median(repeatLs));
}

// --- preview -----------------------------------------------------------------

void benchPreview(Session& s)
{
    const std::string dir = ensurePreviewFolder();
    const QByteArray folder = Session::programPath(dir);
    CTrovik32View* v = s.view();
    // Read every file once: warm cache, as for a folder just looked at.
    for (int i = 0; i < kPreviewFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/memo%05d.txt", i);
        warmFile(dir + name);
    }
    s.prepareFolder(folder);
    v->ListFolder(folder);
    v->EnterListLayout();
    Session::settle();
    if (v->fileList->curSel() != 0 || v->fileList->text(0) != "<..>") {
        progress("unexpected start of the list in %s", dir);
        return;
    }

    // Every step lands on the next file: "<..>" is item 0, the files follow.
    std::vector<double> paneMs, settledMs;
    const int messagesBefore = messageCount;
    for (int i = 0; i < kPreviewFiles; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        const Clock::time_point t0 = Clock::now();
        QApplication::sendEvent(v->fileList, &down);
        v->contentPane->repaint();
        paneMs.push_back(msSince(t0));
        Session::settle();
        settledMs.push_back(msSince(t0));
    }
    const QByteArray expected = "memo" + QByteArray::number(kPreviewFiles - 1).rightJustified(5, '0') + ".txt";
    if (v->fileList->text(v->fileList->curSel()) != expected || v->contentPane->text().isEmpty())
        progress("the preview did not end on the last file");
    if (messageCount != messagesBefore)
        progress("message boxes came up during the preview steps");
    report("preview_step_median", median(paneMs), "ms");
    report("preview_step_p99", percentile(paneMs, 99), "ms");
    report("preview_step_settled_median", median(settledMs), "ms");
    report("preview_step_settled_p99", percentile(settledMs, 99), "ms");
}

// --- full load -------------------------------------------------------------

void benchFullLoad(Session& s, int runs)
{
    const std::string file = ensureBigFile();
    const std::string dir = file.substr(0, file.rfind('/'));
    const QByteArray folder = Session::programPath(dir);
    CTrovik32View* v = s.view();
    s.prepareFolder(folder);
    v->ListFolder(folder);
    int index = -1;
    for (int i = 0; i < v->fileList->count(); ++i)
        if (v->fileList->text(i) == "text100m.txt")
            index = i;
    if (index < 0) {
        progress("the big file is not in the list");
        return;
    }
    warmFile(file);

    // Back to the list with the file selected and previewed, as the user
    // stands on it before pressing Enter.
    auto standOnFile = [&] {
        if (!v->listMode)
            v->EnterListLayout();
        v->fileList->setCurSel(index);
        v->PreviewSelectedItem();
        Session::settle();
    };
    auto loadOnce = [&] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        const Clock::time_point t0 = Clock::now();
        QApplication::sendEvent(v->fileList, &enter);
        // A large file arrives in the background: the load ends with the full view.
        while (v->isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        v->contentPane->repaint();
        const double ms = msSince(t0);
        if (v->listMode || static_cast<size_t>(v->contentPane->text().size()) != kBigSize)
            progress("the full view did not open with the whole file");
        Session::settle();
        return ms;
    };

    const std::vector<std::string> dd = {"dd", "if=" + file, "of=/dev/null", "bs=100M", "status=none"};
    const std::vector<std::string> cat = {"cat", file};

    // One untimed round of each side first.
    runProcess(dd, false);
    runProcess(cat, false);
    standOnFile();
    loadOnce();

    std::vector<double> ddMs, catMs, loadMs;
    for (int r = 0; r < runs; ++r) {
        ddMs.push_back(runProcess(dd, false).ms);
        catMs.push_back(runProcess(cat, false).ms);
        standOnFile();
        loadMs.push_back(loadOnce());
    }
    standOnFile();  // the 100 MiB buffer freed
    std::fprintf(stderr, "browse_bench: full_load_100mb against cat (one small buffer): cat=%.3f ms ratio=%.2f\n",
                 median(catMs), median(catMs) > 0 ? median(loadMs) / median(catMs) : 0.0);
    report("full_load_100mb", median(loadMs), "ms", median(ddMs));
}

// --- start-up --------------------------------------------------------------

const int kStartEntries = 1000;

// 100 folders and 900 files, some with Japanese names, for the start folder.
std::string ensureStartFolder()
{
    const std::string root = dataRoot();
    const std::string dir = root + "/start1k";
    const std::string ready = root + "/start1k.ready";
    if (exists(ready))
        return dir;
    progress("generating %s (1,000 entries)", dir);
    makeDir(root);
    makeDir(dir);
    static const char* const words[] = {"memo", "\xe8\xb3\x87\xe6\x96\x99", "report", "\xe5\x86\x99\xe7\x9c\x9f",
                                        "Data", "\xe8\xa6\x8b\xe7\xa9\x8d", "log", "\xe8\xad\xb0\xe4\xba\x8b\xe9\x8c\xb2"};
    char name[128];
    for (int i = 0; i < kStartEntries; ++i) {
        std::snprintf(name, sizeof name, i < 100 ? "/%s %03d" : "/%s_%03d.txt", words[i % 8], i);
        if (i < 100) {
            makeDir(dir + name);
        } else if (!writeWhole(dir + name, "text\r\n", 6)) {
            progress("cannot write in %s", dir);
            std::exit(1);
        }
    }
    writeWhole(ready, "", 0);
    return dir;
}

long long monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

struct Phases {
    double qapp = 0, shown = 0, painted = 0;
    bool ok = false;
};

// One start of the probe; its clock starts just before the spawn.
Phases startOnce(const std::string& probe, const std::vector<std::string>& extra)
{
    std::vector<std::string> args{probe};
    args.insert(args.end(), extra.begin(), extra.end());
    setenv("TROVIK_PROBE_T0_NS", std::to_string(monotonicNs()).c_str(), 1);
    const ProcessRun r = runProcess(args, true);
    Phases p;
    p.ok = r.ok && std::sscanf(r.out.c_str(), "phases %lf %lf %lf", &p.qapp, &p.shown, &p.painted) == 3;
    return p;
}

void benchStartup(int runs)
{
    const std::string exe = selfExe();
    const std::string probe = exe.substr(0, exe.rfind('/') + 1) + "startup_probe";
    if (!exists(probe)) {
        progress("%s not built: startup_first_paint skipped", probe);
        return;
    }
    const std::string folder = ensureStartFolder();

    // A private profile whose start folder is the one above (backslashes are
    // doubled in the file).
    const std::string config = dataRoot() + "/startup-config";
    makeDir(config);
    makeDir(config + "/Ostrel");
    const QByteArray start = Session::programPath(folder).replace("\\", "\\\\");
    const std::string conf = "[Path]\nStartPath=" + start.toStdString() + "\n";

    // The probe's environment: the profile, and the display.
    const std::string display = qEnvironmentVariable("TROVIK_BENCH_DISPLAY").toStdString();
    const QByteArray oldPlatform = qgetenv("QT_QPA_PLATFORM"), oldDisplay = qgetenv("DISPLAY"),
                     oldConfig = qgetenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (!display.empty()) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("DISPLAY", display.c_str(), 1);
    } else {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    progress("startup_first_paint on %s", display.empty() ? std::string("the offscreen platform")
                                                             : "the X display " + display);

    const std::vector<std::string> bareArgs{"bare", std::to_string(kStartEntries)};
    auto ours = [&] {
        writeWhole(config + "/Ostrel/Trovik32.conf", conf.data(), conf.size());
        return startOnce(probe, {});
    };
    ours();  // untimed: caches warm
    startOnce(probe, bareArgs);

    std::vector<double> oursMs, bareMs, qappMs, shownMs;
    bool failed = false;
    for (int r = 0; r < runs; ++r) {
        const Phases b = startOnce(probe, bareArgs);
        const Phases o = ours();
        failed = failed || !b.ok || !o.ok;
        bareMs.push_back(b.painted);
        oursMs.push_back(o.painted);
        qappMs.push_back(o.qapp);
        shownMs.push_back(o.shown);
    }

    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            unsetenv(name);
        else
            setenv(name, value.constData(), 1);
    };
    restore("QT_QPA_PLATFORM", oldPlatform);
    restore("DISPLAY", oldDisplay);
    restore("XDG_CONFIG_HOME", oldConfig);
    unsetenv("TROVIK_PROBE_T0_NS");

    if (failed) {
        progress("a start of the probe failed: startup_first_paint not reported");
        return;
    }
    std::fprintf(stderr,
                 "browse_bench: startup phases (median ms from exec): QApplication %.1f, window shown %.1f, "
                 "first paint of the file list %.1f\n",
                 median(qappMs), median(shownMs), median(oursMs));
    report("startup_first_paint", median(oursMs), "ms", median(bareMs));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (argc == 3 && std::strcmp(argv[1], "list") == 0)
        return listMode(argv[2]);
    // Without arguments every measurement runs; names pick some of them.
    bool listing = argc == 1, preview = argc == 1, load = argc == 1, startup = argc == 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "listing") == 0) {
            listing = true;
        } else if (std::strcmp(argv[i], "preview") == 0) {
            preview = true;
        } else if (std::strcmp(argv[i], "load") == 0) {
            load = true;
        } else if (std::strcmp(argv[i], "startup") == 0) {
            startup = true;
        } else {
            std::fprintf(stderr, "usage: browse_bench [listing] [preview] [load] [startup]   the measurements (default: all)\n"
                                 "       browse_bench list FOLDER  list FOLDER once, print its times in ms\n");
            return 2;
        }
    }

    progress("data under %s", dataRoot());
    progress("load average at start: %s", loadAverage());
    {
        Session s;
        if (listing)
            benchListing(s, 11);
        if (preview)
            benchPreview(s);
        if (load)
            benchFullLoad(s, 9);
    }
    if (startup)
        benchStartup(11);
    progress("load average at end: %s", loadAverage());
    return 0;
}
