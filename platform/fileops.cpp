#include "platform/fileops.h"

#include "platform/fileops_internal.h"
#include "platform/fileops_testhook.h"
#include "platform/trash.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

namespace fileops_detail {

QByteArray parentOf(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    qsizetype cut = slash;
    while (cut > 1 && path[cut - 1] == '/') --cut;
    return path.left(cut);
}

QByteArray nameOf(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == '/') --end;
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

QByteArray joinPath(const QByteArray& folder, const QByteArray& name) {
    if (folder.endsWith('/')) return folder + name;
    return folder + '/' + name;
}

QByteArray canonicalFolder(const QByteArray& folder) {
    char* resolved = ::realpath(folder.constData(), nullptr);
    if (!resolved) return {};
    QByteArray out(resolved);
    std::free(resolved);
    return out;
}

QByteArray canonicalItem(const QByteArray& path) {
    const QByteArray name = nameOf(path);
    QByteArray folder = canonicalFolder(parentOf(path));
    if (folder.isEmpty()) return {};
    const QByteArray item = joinPath(folder, name);
    struct stat st;
    if (::lstat(item.constData(), &st) != 0) return {};
    return item;
}

QString shown(const QByteArray& path) { return QString::fromUtf8(path); }

QString errorReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return QStringLiteral("アクセスが拒否されました");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("ディスクの空き容量が不足しています");
    case ENAMETOOLONG: return QStringLiteral("名前が長すぎます");
    case EROFS: return QStringLiteral("書き込みできないメディアです");
    case ENOENT: return QStringLiteral("ファイルまたはフォルダが見つかりません");
    case EEXIST:
    case ENOTEMPTY: return QStringLiteral("同じ名前の項目が既にあります");
    case ENOTDIR: return QStringLiteral("フォルダではありません");
    case EISDIR: return QStringLiteral("フォルダです");
    case EIO: return QStringLiteral("読み書きのエラーが起きました");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("使用中です");
    case ELOOP: return QStringLiteral("シンボリックリンクが多すぎます");
    case EFBIG: return QStringLiteral("ファイルが大きすぎます");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているファイルが多すぎます");
    case ENOMEM: return QStringLiteral("メモリが不足しています");
    case ESTALE: return QStringLiteral("処理中にファイルが変更されました");
    case EINVAL: return QStringLiteral("この操作はできません");
    default: return QStringLiteral("エラーが起きました（%1）").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

}  // namespace fileops_detail

namespace testhook {
const std::size_t copyPieceBytes = std::size_t(4) << 20;
namespace {
WriteFault& writeFault() {
    static WriteFault fault;
    return fault;
}
}  // namespace
void setWriteFault(WriteFault fault) { writeFault() = std::move(fault); }
}  // namespace testhook

using namespace fileops_detail;

namespace {

// A changed source is told by this errno, which has no other use here.
constexpr int kChanged = ESTALE;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// The names in an open folder, "." and ".." left out.
bool listNames(int dirFd, std::vector<QByteArray>& names) {
    const int copy = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return false;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names.emplace_back(n);
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    return error == 0;
}

bool sameTimes(const struct stat& a, const struct stat& b) {
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// A fault of one item: an errno, a reason when it is not the errno's own,
// or the user's cancel.
struct Fault {
    int error = 0;
    QString reason;
    bool cancel = false;
    bool failed() const { return error != 0 || cancel; }
};

enum class Step { Done, NotDone, Cancelled };

// A source item copied across file systems, removed once everything is copied.
struct Removal {
    QByteArray path;
    struct stat st;
};

class Runner {
public:
    explicit Runner(FileOpObserver& observer) : obs_(observer) {}

    FileOpResult copy(const QByteArray& source, const QByteArray& destFolder);
    FileOpResult move(const QByteArray& source, const QByteArray& destFolder);
    FileOpResult trash(const QByteArray& path);
    FileOpResult rename(const QByteArray& source, const QByteArray& target);

private:
    struct Plan {
        QByteArray source;  // canonical folder, own name
        QByteArray name;
        QByteArray destFolder;  // canonical
        struct stat st {};
        bool sameFolder = false;
        QString refusal;
    };
    Plan plan(const QByteArray& source, const QByteArray& destFolder, const QString& verb);

    bool cancelled() {
        if (!cancelled_ && obs_.cancelled()) cancelled_ = true;
        return cancelled_;
    }
    // Asks the user about a failed item; true means try again.
    bool retry(const QByteArray& item, const Fault& fault) {
        if (fault.cancel) {
            cancelled_ = true;
            return false;
        }
        FileOpFailure failure;
        failure.item = item;
        failure.error = fault.error;
        failure.reason = fault.reason.isEmpty() ? errorReason(fault.error) : fault.reason;
        const FailureChoice choice = obs_.failed(failure);
        if (choice == FailureChoice::Retry) return true;
        if (choice == FailureChoice::Cancel) cancelled_ = true;
        incomplete_ = true;
        return false;
    }
    void report(const QByteArray& item) {
        progress_.currentItem = item;
        // Files that changed since the totals were counted never push the
        // figures past them.
        FileOpProgress told = progress_;
        told.filesTotal = std::max(told.filesTotal, told.filesDone);
        told.bytesTotal = std::max(told.bytesTotal, told.bytesDone);
        obs_.progress(told);
    }
    FileOpResult finish(Step step) {
        FileOpResult result;
        result.cancelled = cancelled_;
        result.ok = step == Step::Done && !incomplete_ && !cancelled_;
        return result;
    }

    void countTree(int dirFd, const QByteArray& name, const struct stat& st, uint64_t& files, uint64_t& bytes);
    void addTotals(const QByteArray& path, const struct stat& st);

    Step copyNode(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                  const QByteArray& dstName, const QByteArray& dstPath);
    Step copyFolder(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                    const QByteArray& dstName, const QByteArray& dstPath);
    Fault copyFileOnce(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                       const QByteArray& dstName, const QByteArray& dstPath, struct stat& copied);
    Fault copyLinkOnce(int srcDir, const QByteArray& srcName, int dstDir, const QByteArray& dstName,
                       const QByteArray& dstPath, struct stat& copied);
    Fault place(int dstDir, const QByteArray& temp, const QByteArray& dstName, const QByteArray& dstPath);
    Fault trashReplaced(const QByteArray& path);
    int makeTemp(int dstDir, QByteArray& temp);

    Step moveNode(const QByteArray& srcPath, const QByteArray& dstFolder, const QByteArray& dstName);
    Step moveAcross(const QByteArray& srcPath, const QByteArray& dstFolder, const QByteArray& dstName);

    FileOpObserver& obs_;
    FileOpProgress progress_;
    bool cancelled_ = false;
    bool incomplete_ = false;
    std::vector<Removal>* removals_ = nullptr;
    unsigned tempCounter_ = 0;
};

QByteArray duplicateName(int dstDir, const QByteArray& name, bool folder) {
    QByteArray base = name, ext;
    const qsizetype dot = name.lastIndexOf('.');
    if (!folder && dot > 0) {
        base = name.left(dot);
        ext = name.mid(dot);
    }
    for (unsigned n = 1;; ++n) {
        const QByteArray candidate =
            base + " - コピー" + (n == 1 ? QByteArray() : " (" + QByteArray::number(n) + ")") + ext;
        struct stat st;
        if (::fstatat(dstDir, candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
            return candidate;
        if (n > 1000000) return candidate;  // let the copy report why
    }
}

Runner::Plan Runner::plan(const QByteArray& source, const QByteArray& destFolder, const QString& verb) {
    Plan p;
    p.name = nameOf(source);
    if (p.name.isEmpty() || p.name == "." || p.name == "..") {
        p.refusal = QStringLiteral("「%1」は%2できません。").arg(shown(source), verb);
        return p;
    }
    p.source = canonicalItem(source);
    if (p.source.isEmpty() || ::lstat(p.source.constData(), &p.st) != 0) {
        p.refusal = QStringLiteral("「%1」を%2できません（%3）。").arg(shown(source), verb, errorReason(errno));
        return p;
    }
    p.destFolder = canonicalFolder(destFolder);
    struct stat dst;
    if (p.destFolder.isEmpty() || ::stat(p.destFolder.constData(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        const int error = p.destFolder.isEmpty() ? errno : ENOTDIR;
        p.refusal = QStringLiteral("%1先のフォルダ「%2」を使えません（%3）。").arg(verb, shown(destFolder), errorReason(error));
        return p;
    }
    if (S_ISDIR(p.st.st_mode) && (p.destFolder == p.source || p.destFolder.startsWith(p.source + "/"))) {
        p.refusal = QStringLiteral("フォルダ「%1」をそれ自身の中、またはその下には%2できません。").arg(shown(source), verb);
        return p;
    }
    p.sameFolder = p.destFolder == parentOf(p.source);
    return p;
}

void Runner::countTree(int dirFd, const QByteArray& name, const struct stat& st, uint64_t& files, uint64_t& bytes) {
    if (!S_ISDIR(st.st_mode)) {
        ++files;
        if (S_ISREG(st.st_mode)) bytes += uint64_t(st.st_size);
        return;
    }
    Fd folder(::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.ok()) return;
    std::vector<QByteArray> names;
    listNames(folder.get(), names);
    for (const QByteArray& child : names) {
        if (cancelled()) return;
        struct stat childSt;
        if (::fstatat(folder.get(), child.constData(), &childSt, AT_SYMLINK_NOFOLLOW) == 0)
            countTree(folder.get(), child, childSt, files, bytes);
    }
}

void Runner::addTotals(const QByteArray& path, const struct stat& st) {
    uint64_t files = 0, bytes = 0;
    countTree(AT_FDCWD, path, st, files, bytes);
    progress_.filesTotal += files;
    progress_.bytesTotal += bytes;
}

int Runner::makeTemp(int dstDir, QByteArray& temp) {
    for (int tries = 0; tries < 1000; ++tries) {
        temp = ".~trovik-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(++tempCounter_) + ".tmp";
        const int fd = ::openat(dstDir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

Fault Runner::trashReplaced(const QByteArray& path) {
    const TrashOutcome out = moveToTrash(path);
    if (out.ok) return {};
    Fault fault;
    fault.error = out.error ? out.error : EIO;
    fault.reason = QStringLiteral("置き換える「%1」をごみ箱に移せません").arg(shown(path));
    return fault;
}

// Gives the finished temporary item its real name. An item of that name
// goes to the trash first; it is never overwritten in place.
Fault Runner::place(int dstDir, const QByteArray& temp, const QByteArray& dstName, const QByteArray& dstPath) {
    for (int tries = 0; tries < 10; ++tries) {
        if (::renameat2(dstDir, temp.constData(), dstDir, dstName.constData(), RENAME_NOREPLACE) == 0) return {};
        int error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // No no-replace rename on this file system: look, then rename.
            struct stat st;
            if (::fstatat(dstDir, dstName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                error = EEXIST;
            } else {
                if (::renameat(dstDir, temp.constData(), dstDir, dstName.constData()) == 0) return {};
                error = errno;
            }
        }
        if (error != EEXIST) return Fault{error, {}, false};
        const Fault trashed = trashReplaced(dstPath);
        if (trashed.failed()) return trashed;
    }
    return Fault{EEXIST, {}, false};
}

Fault Runner::copyFileOnce(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                           const QByteArray& dstName, const QByteArray& dstPath, struct stat& before) {
    Fd src(::openat(srcDir, srcName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!src.ok()) return Fault{errno == ELOOP ? kChanged : errno, {}, false};
    if (::fstat(src.get(), &before) != 0) return Fault{errno, {}, false};
    if (!S_ISREG(before.st_mode)) return Fault{kChanged, {}, false};

    QByteArray temp;
    Fd dst(makeTemp(dstDir, temp));
    if (!dst.ok()) return Fault{errno, {}, false};
    uint64_t written = 0;
    // Progress counts no more than the size the totals were made with, even
    // of a file that grows meanwhile.
    uint64_t counted = 0;
    const uint64_t expected = uint64_t(before.st_size);
    auto abandon = [&](Fault fault) {
        dst.reset();
        ::unlinkat(dstDir, temp.constData(), 0);
        progress_.bytesDone -= counted;
        return fault;
    };

    report(srcPath);
    const auto& fault = testhook::writeFault();
    const std::size_t piece = testhook::copyPieceBytes;
    bool inKernel = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
        if (written > 0 && cancelled()) return abandon(Fault{0, {}, true});
        if (fault) {
            if (const int error = fault(dstPath, written)) return abandon(Fault{error, {}, false});
        }
        ssize_t n = -1;
        if (inKernel) {
            n = ::copy_file_range(src.get(), nullptr, dst.get(), nullptr, piece, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                          errno == EBADF || errno == ETXTBSY)) {
                inKernel = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return abandon(Fault{errno, {}, false});
        } else {
            if (!buffer) buffer.reset(new char[piece]);
            n = ::read(src.get(), buffer.get(), piece);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return abandon(Fault{errno, {}, false});
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(dst.get(), buffer.get() + done, size_t(n - done));
                if (w < 0 && errno == EINTR) continue;
                if (w < 0) return abandon(Fault{errno, {}, false});
                done += w;
            }
        }
        if (n == 0) break;
        written += uint64_t(n);
        const uint64_t add = std::min<uint64_t>(uint64_t(n), expected - counted);
        counted += add;
        progress_.bytesDone += add;
        if (uint64_t(before.st_size) > piece) report(srcPath);
    }

    // The source must be the file that was opened, as it was.
    struct stat after;
    if (::fstat(src.get(), &after) != 0) return abandon(Fault{errno, {}, false});
    if (after.st_size != before.st_size || !sameTimes(before, after) || written != uint64_t(before.st_size))
        return abandon(Fault{kChanged, {}, false});

    if (::fchmod(dst.get(), before.st_mode & 07777) != 0) return abandon(Fault{errno, {}, false});
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::futimens(dst.get(), times) != 0) return abandon(Fault{errno, {}, false});
    if (::close(dst.release()) != 0) return abandon(Fault{errno, {}, false});
    const Fault placed = place(dstDir, temp, dstName, dstPath);
    if (placed.failed()) return abandon(placed);
    return {};
}

Fault Runner::copyLinkOnce(int srcDir, const QByteArray& srcName, int dstDir, const QByteArray& dstName,
                           const QByteArray& dstPath, struct stat& before) {
    if (::fstatat(srcDir, srcName.constData(), &before, AT_SYMLINK_NOFOLLOW) != 0) return Fault{errno, {}, false};
    if (!S_ISLNK(before.st_mode)) return Fault{kChanged, {}, false};
    QByteArray target(qsizetype(before.st_size > 0 ? before.st_size : 64) + 1, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(srcDir, srcName.constData(), target.data(), size_t(target.size()));
        if (n < 0) return Fault{errno, {}, false};
        if (n < target.size()) {
            target.truncate(n);
            break;
        }
        target.resize(target.size() * 2);
    }
    QByteArray temp;
    for (int tries = 0;; ++tries) {
        temp = ".~trovik-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(++tempCounter_) + ".tmp";
        if (::symlinkat(target.constData(), dstDir, temp.constData()) == 0) break;
        if (errno != EEXIST || tries > 1000) return Fault{errno, {}, false};
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(dstDir, temp.constData(), times, AT_SYMLINK_NOFOLLOW);
    const Fault placed = place(dstDir, temp, dstName, dstPath);
    if (placed.failed()) ::unlinkat(dstDir, temp.constData(), 0);
    return placed;
}

Step Runner::copyNode(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                      const QByteArray& dstName, const QByteArray& dstPath) {
    if (cancelled()) return Step::Cancelled;
    for (;;) {
        struct stat st;
        Fault fault;
        if (::fstatat(srcDir, srcName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            fault.error = errno;
        } else if (S_ISDIR(st.st_mode)) {
            return copyFolder(srcDir, srcName, srcPath, dstDir, dstName, dstPath);
        } else if (S_ISREG(st.st_mode)) {
            fault = copyFileOnce(srcDir, srcName, srcPath, dstDir, dstName, dstPath, st);
        } else if (S_ISLNK(st.st_mode)) {
            report(srcPath);
            fault = copyLinkOnce(srcDir, srcName, dstDir, dstName, dstPath, st);
        } else {
            obs_.skipped(srcPath, QStringLiteral("ソケット、FIFO、デバイスはコピーしません"));
            incomplete_ = true;
            ++progress_.filesDone;
            return Step::NotDone;
        }
        if (!fault.failed()) {
            ++progress_.filesDone;
            if (removals_) removals_->push_back(Removal{srcPath, st});
            return Step::Done;
        }
        if (!retry(srcPath, fault)) {
            if (!cancelled_) {
                ++progress_.filesDone;
                if (S_ISREG(st.st_mode)) progress_.bytesDone += uint64_t(st.st_size);
            }
            return cancelled_ ? Step::Cancelled : Step::NotDone;
        }
    }
}

Step Runner::copyFolder(int srcDir, const QByteArray& srcName, const QByteArray& srcPath, int dstDir,
                        const QByteArray& dstName, const QByteArray& dstPath) {
    Fd src, dst;
    struct stat st;
    bool made = false;
    std::vector<QByteArray> names;
    for (;;) {
        Fault fault;
        names.clear();
        src.reset(::openat(srcDir, srcName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!src.ok() || ::fstat(src.get(), &st) != 0 || !listNames(src.get(), names)) {
            fault.error = errno ? errno : EIO;
        } else {
            struct stat existing;
            bool merge = false;
            if (::fstatat(dstDir, dstName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                // A folder of the same name takes the copy in; anything else
                // of that name goes to the trash first.
                if (S_ISDIR(existing.st_mode)) merge = true;
                else fault = trashReplaced(dstPath);
            }
            if (!fault.failed() && !merge) {
                if (::mkdirat(dstDir, dstName.constData(), 0700) == 0) made = true;
                else fault.error = errno;
            }
            if (!fault.failed()) {
                dst.reset(::openat(dstDir, dstName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!dst.ok()) fault.error = errno;
            }
        }
        if (!fault.failed()) break;
        if (!retry(srcPath, fault)) {
            if (!cancelled_) {
                uint64_t files = 0, bytes = 0;
                if (src.ok() && ::fstat(src.get(), &st) == 0) countTree(srcDir, srcName, st, files, bytes);
                progress_.filesDone += files;
                progress_.bytesDone += bytes;
            }
            return cancelled_ ? Step::Cancelled : Step::NotDone;
        }
    }

    bool all = true;
    for (const QByteArray& name : names) {
        const Step step = copyNode(src.get(), name, joinPath(srcPath, name), dst.get(), name, joinPath(dstPath, name));
        if (step == Step::Cancelled) return step;
        if (step != Step::Done) all = false;
    }
    if (made) {
        // Filling the folder changed its times; its mode may forbid writing.
        ::fchmod(dst.get(), st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(dst.get(), times);
    }
    if (!all) return Step::NotDone;
    if (removals_) removals_->push_back(Removal{srcPath, st});
    return Step::Done;
}

FileOpResult Runner::copy(const QByteArray& source, const QByteArray& destFolder) {
    const Plan p = plan(source, destFolder, QStringLiteral("コピー"));
    if (!p.refusal.isEmpty()) {
        FileOpResult result;
        result.message = p.refusal;
        return result;
    }
    Fd srcParent(::open(parentOf(p.source).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Fd dst(::open(p.destFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!srcParent.ok() || !dst.ok()) {
        FileOpResult result;
        result.message = QStringLiteral("「%1」をコピーできません（%2）。").arg(shown(source), errorReason(errno));
        return result;
    }
    const QByteArray dstName = p.sameFolder ? duplicateName(dst.get(), p.name, S_ISDIR(p.st.st_mode)) : p.name;
    addTotals(p.source, p.st);
    report(p.source);
    const Step step = copyNode(srcParent.get(), p.name, p.source, dst.get(), dstName, joinPath(p.destFolder, dstName));
    report(p.source);
    return finish(step);
}

// Across file systems: a full copy, then the source items that copied are
// removed, deepest first; anything that failed stays where it was. A
// cancelled move removes nothing.
Step Runner::moveAcross(const QByteArray& srcPath, const QByteArray& dstFolder, const QByteArray& dstName) {
    struct stat st;
    if (::lstat(srcPath.constData(), &st) != 0) {
        retry(srcPath, Fault{errno, {}, false});
        return cancelled_ ? Step::Cancelled : Step::NotDone;
    }
    // The item was counted as one; now its whole tree counts.
    if (progress_.filesTotal > 0) --progress_.filesTotal;
    addTotals(srcPath, st);
    Fd srcParent(::open(parentOf(srcPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Fd dst(::open(dstFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!srcParent.ok() || !dst.ok()) {
        retry(srcPath, Fault{errno, {}, false});
        return cancelled_ ? Step::Cancelled : Step::NotDone;
    }
    std::vector<Removal> removals;
    std::vector<Removal>* outer = removals_;
    removals_ = &removals;
    Step step = copyNode(srcParent.get(), nameOf(srcPath), srcPath, dst.get(), dstName, joinPath(dstFolder, dstName));
    removals_ = outer;
    if (step == Step::Cancelled) return step;

    for (const Removal& r : removals) {
        for (;;) {
            struct stat now;
            Fault fault;
            if (::lstat(r.path.constData(), &now) != 0) {
                fault.error = errno;
            } else if (now.st_dev != r.st.st_dev || now.st_ino != r.st.st_ino ||
                       (!S_ISDIR(now.st_mode) && (now.st_size != r.st.st_size || !sameTimes(now, r.st)))) {
                fault.error = kChanged;
            } else if (S_ISDIR(now.st_mode)) {
                // A folder that still holds something (an item that failed,
                // or one added meanwhile) stays.
                if (::rmdir(r.path.constData()) != 0) {
                    if (errno == ENOTEMPTY || errno == EEXIST) step = Step::NotDone;
                    else fault.error = errno;
                }
            } else if (::unlink(r.path.constData()) != 0) {
                fault.error = errno;
            }
            if (!fault.failed()) break;
            if (!retry(r.path, fault)) {
                step = Step::NotDone;
                break;
            }
        }
        if (cancelled_) return Step::Cancelled;
    }
    return step;
}

Step Runner::moveNode(const QByteArray& srcPath, const QByteArray& dstFolder, const QByteArray& dstName) {
    const QByteArray dstPath = joinPath(dstFolder, dstName);
    for (;;) {
        if (cancelled()) return Step::Cancelled;
        report(srcPath);
        int error = 0;
        if (::renameat2(AT_FDCWD, srcPath.constData(), AT_FDCWD, dstPath.constData(), RENAME_NOREPLACE) != 0) {
            error = errno;
            if (error == EINVAL || error == ENOSYS) {
                struct stat st;
                if (::lstat(dstPath.constData(), &st) == 0) error = EEXIST;
                else error = ::rename(srcPath.constData(), dstPath.constData()) == 0 ? 0 : errno;
            }
        }
        if (error == 0) {
            ++progress_.filesDone;
            return Step::Done;
        }
        if (error == EXDEV) return moveAcross(srcPath, dstFolder, dstName);
        Fault fault{error, {}, false};
        if (error == EEXIST || error == ENOTEMPTY) {
            struct stat from, to;
            if (::lstat(srcPath.constData(), &from) == 0 && ::lstat(dstPath.constData(), &to) == 0 &&
                S_ISDIR(from.st_mode) && S_ISDIR(to.st_mode)) {
                // Folder onto folder: merged item by item.
                Fd folder(::open(srcPath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                std::vector<QByteArray> names;
                if (folder.ok() && listNames(folder.get(), names)) {
                    folder.reset();
                    // The folder, counted as one item, counts as its items.
                    progress_.filesTotal += names.size();
                    --progress_.filesTotal;
                    bool all = true;
                    for (const QByteArray& name : names) {
                        const Step step = moveNode(joinPath(srcPath, name), dstPath, name);
                        if (step == Step::Cancelled) return step;
                        if (step != Step::Done) all = false;
                    }
                    if (all && ::rmdir(srcPath.constData()) == 0) return Step::Done;
                    return Step::NotDone;
                }
                fault.error = errno;
            } else {
                fault = trashReplaced(dstPath);
                if (!fault.failed()) continue;
            }
        }
        if (!retry(srcPath, fault)) {
            if (cancelled_) return Step::Cancelled;
            ++progress_.filesDone;
            return Step::NotDone;
        }
    }
}

FileOpResult Runner::move(const QByteArray& source, const QByteArray& destFolder) {
    const Plan p = plan(source, destFolder, QStringLiteral("移動"));
    FileOpResult result;
    if (!p.refusal.isEmpty()) {
        result.message = p.refusal;
        return result;
    }
    if (p.sameFolder) {
        result.ok = true;
        return result;
    }
    progress_.filesTotal = 1;
    const Step step = moveNode(p.source, p.destFolder, p.name);
    report(p.source);
    return finish(step);
}

FileOpResult Runner::trash(const QByteArray& path) {
    progress_.filesTotal = 1;
    report(path);
    for (;;) {
        const TrashOutcome out = moveToTrash(path);
        if (out.ok) {
            progress_.filesDone = 1;
            report(path);
            return finish(Step::Done);
        }
        if (out.noTrash) {
            FileOpResult result;
            result.message = out.message;
            return result;
        }
        if (!retry(path, Fault{out.error ? out.error : EIO, {}, false})) return finish(Step::NotDone);
    }
}

FileOpResult Runner::rename(const QByteArray& source, const QByteArray& target) {
    FileOpResult result;
    auto refuse = [&](const QString& why) {
        result.message = why;
        return result;
    };
    const QByteArray name = nameOf(target);
    if (target.isEmpty() || target.endsWith('/') || name.isEmpty())
        return refuse(QStringLiteral("名前が空です。名前を変更しませんでした。"));
    if (name == "." || name == "..")
        return refuse(QStringLiteral("「%1」という名前は使えません。名前を変更しませんでした。").arg(shown(name)));
    if (target.contains('\0'))
        return refuse(QStringLiteral("名前に使えない文字が含まれています。名前を変更しませんでした。"));
    const QString cannot = QStringLiteral("「%1」の名前を変更できません（%2）。");
    const QByteArray srcName = nameOf(source);
    if (srcName.isEmpty() || srcName == "." || srcName == "..") return refuse(cannot.arg(shown(source), errorReason(EINVAL)));
    const QByteArray from = canonicalItem(source);
    struct stat st;
    if (from.isEmpty() || ::lstat(from.constData(), &st) != 0) return refuse(cannot.arg(shown(source), errorReason(errno)));
    const QByteArray folder = canonicalFolder(parentOf(target));
    struct stat folderSt;
    if (folder.isEmpty() || ::stat(folder.constData(), &folderSt) != 0 || !S_ISDIR(folderSt.st_mode))
        return refuse(QStringLiteral("フォルダ「%1」がありません。名前を変更しませんでした。").arg(shown(parentOf(target))));
    const long nameMax = ::pathconf(folder.constData(), _PC_NAME_MAX);
    if (name.size() > (nameMax > 0 ? nameMax : NAME_MAX))
        return refuse(QStringLiteral("名前が長すぎます。名前を変更しませんでした。"));
    const QByteArray to = joinPath(folder, name);
    if (to == from) {
        result.ok = true;
        return result;
    }
    if (S_ISDIR(st.st_mode) && (folder == from || folder.startsWith(from + "/")))
        return refuse(QStringLiteral("フォルダ「%1」をそれ自身の中、またはその下には移動できません。").arg(shown(source)));
    const QString exists = QStringLiteral("「%1」は既にあります。名前を変更しませんでした。").arg(shown(name));
    struct stat there;
    // The same item under another spelling (a case-blind file system) is no clash.
    if (::lstat(to.constData(), &there) == 0 && !(there.st_dev == st.st_dev && there.st_ino == st.st_ino))
        return refuse(exists);

    progress_.filesTotal = 1;
    for (;;) {
        report(from);
        int error = 0;
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
            error = errno;
            if (error == EINVAL || error == ENOSYS || (error == EEXIST && ::lstat(to.constData(), &there) == 0 &&
                                                         there.st_dev == st.st_dev && there.st_ino == st.st_ino)) {
                if (::lstat(to.constData(), &there) == 0 && !(there.st_dev == st.st_dev && there.st_ino == st.st_ino))
                    error = EEXIST;
                else
                    error = ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
            }
        }
        if (error == 0) {
            progress_.filesDone = 1;
            return finish(Step::Done);
        }
        if (error == EEXIST || error == ENOTEMPTY) return refuse(exists);
        if (error == ENAMETOOLONG) return refuse(QStringLiteral("名前が長すぎます。名前を変更しませんでした。"));
        if (error == EXDEV) return finish(moveAcross(from, folder, name));
        if (!retry(from, Fault{error, {}, false})) return finish(Step::NotDone);
    }
}

}  // namespace

FileOpResult copyItem(const QByteArray& source, const QByteArray& destFolder, FileOpObserver& observer) {
    return Runner(observer).copy(source, destFolder);
}

FileOpResult moveItem(const QByteArray& source, const QByteArray& destFolder, FileOpObserver& observer) {
    return Runner(observer).move(source, destFolder);
}

FileOpResult trashItem(const QByteArray& path, FileOpObserver& observer) { return Runner(observer).trash(path); }

FileOpResult renameItem(const QByteArray& source, const QByteArray& target, FileOpObserver& observer) {
    return Runner(observer).rename(source, target);
}

}  // namespace platform
