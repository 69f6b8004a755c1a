#include "platform/trash.h"

#include "platform/fileops_internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

using namespace fileops_detail;

namespace {

// Makes a folder (and its missing parents) with the given mode.
bool makeFolders(const QByteArray& path, mode_t mode) {
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) return false;
    const QByteArray parent = parentOf(path);
    if (parent != path && !makeFolders(parent, 0700)) return false;
    if (::mkdir(path.constData(), mode) == 0 || errno == EEXIST) {
        if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
        if (errno == 0) errno = ENOTDIR;
    }
    return false;
}

// A folder, made with mode when missing; a link to one counts only when
// links are allowed.
bool realFolder(const QByteArray& path, mode_t mode, bool links = false) {
    struct stat st;
    if ((links ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) return false;
    if (::mkdir(path.constData(), mode) != 0 && errno != EEXIST) return false;
    if ((links ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) == 0 && S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
}

// files/ and info/ inside a trash folder, and the folder itself. The user's
// own home trash may be a link (moved elsewhere on purpose); a volume's may not.
bool prepareTrash(const QByteArray& dir, bool links = false) {
    return realFolder(dir, 0700, links) && realFolder(joinPath(dir, "files"), 0700, links) &&
           realFolder(joinPath(dir, "info"), 0700, links);
}

QByteArray dataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return QByteArray(xdg);
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    return joinPath(QByteArray(home), ".local/share");
}

QString noTrashMessage(const QByteArray& item, const QString& why) {
    return QStringLiteral("「%1」を削除できません。ごみ箱を使えないためです（%2）。何も削除していません。")
        .arg(shown(item), why);
}

QByteArray deletionDate() {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return QByteArray(text);
}

// The candidate names in files/: the item's own, then "NAME 2", "NAME 3" …
// A name that leaves no room for ".trashinfo" is cut on a character boundary.
QByteArray candidateName(const QByteArray& name, unsigned n) {
    QByteArray suffix = n < 2 ? QByteArray() : " " + QByteArray::number(n);
    const qsizetype room = 255 - qsizetype(sizeof ".trashinfo" - 1) - suffix.size();
    QByteArray base = name;
    if (base.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (uchar(base[cut]) & 0xC0) == 0x80) --cut;
        base.truncate(cut);
    }
    return base + suffix;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

QByteArray mountTopOf(const QByteArray& path) {
    QByteArray current = canonicalFolder(path);
    if (current.isEmpty()) return {};
    struct stat st;
    if (::stat(current.constData(), &st) != 0) return {};
    const dev_t dev = st.st_dev;
    while (current != "/") {
        const QByteArray up = parentOf(current);
        struct stat upSt;
        if (::stat(up.constData(), &upSt) != 0 || upSt.st_dev != dev) break;
        current = up;
    }
    return current;
}

TrashFolder volumeTrashFolder(const QByteArray& topdir, uid_t uid) {
    TrashFolder out;
    out.topdir = topdir;
    const QByteArray uidText = QByteArray::number(qulonglong(uid));
    // The shared folder counts only when it is a real sticky folder.
    const QByteArray shared = joinPath(topdir, ".Trash");
    struct stat st;
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QByteArray mine = joinPath(shared, uidText);
        if (prepareTrash(mine)) {
            out.dir = mine;
            return out;
        }
    }
    const QByteArray own = joinPath(topdir, ".Trash-" + uidText);
    if (::lstat(own.constData(), &st) == 0) {
        if (!S_ISDIR(st.st_mode) || st.st_uid != uid) {
            out.code = ENOTDIR;
            out.error = QStringLiteral("ごみ箱のフォルダ「%1」が正しくありません").arg(shown(own));
            return out;
        }
    }
    if (!prepareTrash(own)) {
        out.code = errno;
        out.error = errorReason(errno);
        return out;
    }
    out.dir = own;
    return out;
}

TrashFolder trashFolderFor(const QByteArray& path) {
    TrashFolder out;
    struct stat item;
    if (::lstat(path.constData(), &item) != 0) {
        out.code = errno;
        out.error = errorReason(errno);
        return out;
    }
    const QByteArray data = dataHome();
    if (!data.isEmpty()) {
        // A missing data folder is made when it would lie on the item's file
        // system; otherwise the volume's own trash serves.
        struct stat dataSt;
        bool present = ::stat(data.constData(), &dataSt) == 0;
        if (!present) {
            QByteArray probe = parentOf(data);
            while (::stat(probe.constData(), &dataSt) != 0 && probe != "/") probe = parentOf(probe);
            if (::stat(probe.constData(), &dataSt) == 0 && dataSt.st_dev == item.st_dev) {
                if (!makeFolders(data, 0700) || ::stat(data.constData(), &dataSt) != 0) {
                    out.code = errno;
                    out.error = errorReason(errno);
                    return out;
                }
                present = true;
            }
        }
        if (present && dataSt.st_dev == item.st_dev) {
            out.home = true;
            const QByteArray dir = joinPath(data, "Trash");
            if (!prepareTrash(dir, true)) {
                out.code = errno;
                out.error = errorReason(errno);
                return out;
            }
            out.dir = dir;
            return out;
        }
    }
    const QByteArray top = mountTopOf(parentOf(path));
    if (top.isEmpty()) {
        out.code = errno;
        out.error = errorReason(errno);
        return out;
    }
    return volumeTrashFolder(top, ::getuid());
}

QByteArray trashPathEncode(const QByteArray& path) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(path.size());
    for (const char c : path) {
        const uchar u = uchar(c);
        const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                           u == '-' || u == '_' || u == '.' || u == '~' || u == '/';
        if (plain) {
            out.append(c);
        } else {
            out.append('%');
            out.append(hex[u >> 4]);
            out.append(hex[u & 15]);
        }
    }
    return out;
}

QByteArray trashPathDecode(const QByteArray& encoded) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    QByteArray out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size() && digit(encoded[i + 1]) >= 0 &&
            digit(encoded[i + 2]) >= 0) {
            out.append(char(digit(encoded[i + 1]) * 16 + digit(encoded[i + 2])));
            i += 2;
        } else {
            out.append(encoded[i]);
        }
    }
    return out;
}

TrashOutcome moveToTrash(const QByteArray& given) {
    TrashOutcome out;
    const QByteArray name = nameOf(given);
    if (name.isEmpty() || name == "." || name == "..") {
        out.noTrash = true;
        out.error = EINVAL;
        out.message = QStringLiteral("「%1」はごみ箱に移せません。").arg(shown(given));
        return out;
    }
    const QByteArray path = canonicalItem(given);
    if (path.isEmpty()) {
        out.error = errno;
        out.message = QStringLiteral("「%1」を削除できません（%2）。").arg(shown(given), errorReason(errno));
        return out;
    }
    const TrashFolder trash = trashFolderFor(path);
    if (trash.dir.isEmpty()) {
        out.noTrash = true;
        out.error = trash.code;
        out.message = noTrashMessage(given, trash.error);
        return out;
    }
    // An item that holds its own trash cannot go into it.
    if ((trash.dir + "/").startsWith(path + "/")) {
        out.noTrash = true;
        out.error = EINVAL;
        out.message = noTrashMessage(given, QStringLiteral("ごみ箱がこの項目の中にあります"));
        return out;
    }

    QByteArray location = path;
    if (!trash.home) {
        const QByteArray top = trash.topdir == "/" ? QByteArray("/") : trash.topdir + "/";
        location = path.startsWith(top) ? path.mid(top.size()) : path;
    }
    const QByteArray info = "[Trash Info]\nPath=" + trashPathEncode(location) + "\nDeletionDate=" + deletionDate() + "\n";

    const QByteArray infoDir = joinPath(trash.dir, "info");
    const QByteArray filesDir = joinPath(trash.dir, "files");
    for (unsigned n = 1;; ++n) {
        if (n > 100000) {
            out.error = EEXIST;
            out.message = noTrashMessage(given, errorReason(EEXIST));
            return out;
        }
        const QByteArray candidate = candidateName(name, n);
        const QByteArray infoPath = joinPath(infoDir, candidate + ".trashinfo");
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            out.noTrash = true;
            out.error = errno;
            out.message = noTrashMessage(given, errorReason(errno));
            return out;
        }
        const bool written = writeAll(fd, info);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            const int error = written ? errno : writeError;
            ::unlink(infoPath.constData());
            out.noTrash = true;
            out.error = error;
            out.message = noTrashMessage(given, errorReason(error));
            return out;
        }
        const QByteArray target = joinPath(filesDir, candidate);
        int moved = ::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
        if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without the no-replace flag: look first.
            struct stat st;
            if (::lstat(target.constData(), &st) == 0) {
                errno = EEXIST;
            } else {
                moved = ::rename(path.constData(), target.constData());
            }
        }
        if (moved != 0) {
            const int error = errno;
            ::unlink(infoPath.constData());
            if (error == EEXIST || error == ENOTEMPTY) continue;  // a stray item without its info
            out.error = error;
            out.message = QStringLiteral("「%1」をごみ箱に移せません（%2）。").arg(shown(given), errorReason(error));
            return out;
        }
        out.ok = true;
        out.trashedAs = target;
        out.infoFile = infoPath;
        return out;
    }
}

}  // namespace platform
