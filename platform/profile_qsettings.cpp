#include "platform/profile_qsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/settings/profiletext.h"

namespace {

QString reasonFor(int err)
{
    switch (err) {
    case EACCES:
    case EPERM: return QStringLiteral("読み取りの許可がありません");
    case ENOENT: return QStringLiteral("リンク先のファイルがありません");
    case EISDIR: return QStringLiteral("通常のファイルではありません");
    default: return QStringLiteral("読み込みに失敗しました: ") + QString::fromLocal8Bit(std::strerror(err));
    }
}

// Reads at most limit bytes; errno is kept on failure.
bool readStart(const QByteArray& path, qint64 limit, QByteArray& out, int& err)
{
    // Non-blocking: a FIFO put there since the check must not hang the start.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        err = errno;
        return false;
    }
    out.clear();
    char buf[65536];
    while (out.size() < limit) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, n);
    }
    ::close(fd);
    return true;
}

}  // namespace

QString QSettingsProfile::userProfilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Ostrel/Trovik32.conf");
}

QSettingsProfile::QSettingsProfile() : file_(userProfilePath())
{
    open();
}

QSettingsProfile::QSettingsProfile(const QString& file) : file_(file)
{
    open();
}

QSettingsProfile::~QSettingsProfile()
{
    sync();
}

void QSettingsProfile::leaveAlone(const QString& why)
{
    state_ = State::LeftAlone;
    entries_.clear();
    notice_ = QStringLiteral("%1\n設定ファイルを読み込めません（%2）。\n"
                             "このファイルは削除も上書きもせずに残し、既定の設定で起動します。"
                             "終了しても設定は保存しません。")
                  .arg(file_, why);
}

void QSettingsProfile::open()
{
    const QByteArray native = QFile::encodeName(file_);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            leaveAlone(reasonFor(errno));
        return;  // no profile yet: the first run
    }
    // A link is followed; one that leads nowhere (a volume not mounted) is left as it is.
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0) {
        leaveAlone(reasonFor(errno));
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        leaveAlone(reasonFor(EISDIR));
        return;
    }
    QByteArray bytes;
    int err = 0;
    if (!readStart(native, kMaxProfileBytes + 1, bytes, err)) {
        leaveAlone(reasonFor(err));
        return;
    }
    bool damaged = checkProfileText(bytes, st.st_size) != ProfileShape::Good;
    if (!damaged) {
        QSettings settings(file_, QSettings::IniFormat);
        damaged = settings.status() != QSettings::NoError;
        if (!damaged) {
            for (const QString& k : settings.allKeys())
                entries_[k.toLower()] = Entry{k, settings.value(k)};
        }
    }
    if (!damaged)
        return;
    entries_.clear();
    if (!makeBackup()) {
        leaveAlone(QStringLiteral("内容が壊れていて、控えのファイルも作れません"));
        return;
    }
    state_ = State::Damaged;
    notice_ = QStringLiteral("%1\n設定ファイルが壊れていたため、%2 に控えを残し、既定の設定で起動します。")
                  .arg(file_, backup_);
}

bool QSettingsProfile::makeBackup()
{
    // Never over an older copy: the first free name of .bak, .bak.1, .bak.2, ...
    for (int n = 0; n < 10000; ++n) {
        const QString name = file_ + (n == 0 ? QStringLiteral(".bak") : QStringLiteral(".bak.%1").arg(n));
        struct stat st {};
        if (::lstat(QFile::encodeName(name).constData(), &st) == 0)
            continue;
        if (errno != ENOENT || !QFile::copy(file_, name))
            return false;
        backup_ = name;
        return true;
    }
    return false;
}

const QSettingsProfile::Entry* QSettingsProfile::find(const QString& section, const QString& key) const
{
    auto it = entries_.find((section + QLatin1Char('/') + key).toLower());
    return it == entries_.end() ? nullptr : &it->second;
}

void QSettingsProfile::put(const QString& section, const QString& key, QVariant value)
{
    // Stored in the program's spelling, whatever spelling the file had.
    const QString k = section + QLatin1Char('/') + key;
    Entry& e = entries_[k.toLower()];
    if (e.key == k && e.value == value)
        return;
    e.key = k;
    e.value = std::move(value);
    dirty_ = true;
}

int QSettingsProfile::readInt(const QString& section, const QString& key, int defaultValue)
{
    const Entry* e = find(section, key);
    if (!e || e->value.typeId() == QMetaType::QStringList)
        return defaultValue;
    return parseProfileInt(e->value.toString()).value_or(defaultValue);
}

QByteArray QSettingsProfile::readString(const QString& section, const QString& key, const QByteArray& defaultValue)
{
    const Entry* e = find(section, key);
    if (!e)
        return defaultValue;
    if (e->value.typeId() == QMetaType::QByteArray)
        return e->value.toByteArray();
    // An unquoted comma made a list of the text: put it back together.
    if (e->value.typeId() == QMetaType::QStringList)
        return e->value.toStringList().join(QLatin1Char(',')).toUtf8();
    return e->value.toString().toUtf8();
}

void QSettingsProfile::writeInt(const QString& section, const QString& key, int value)
{
    put(section, key, QString::number(value));
}

void QSettingsProfile::writeString(const QString& section, const QString& key, const QByteArray& value)
{
    // Names are native bytes: text when they are valid UTF-8, raw bytes otherwise.
    const QString text = QString::fromUtf8(value);
    if (text.toUtf8() == value)
        put(section, key, text);
    else
        put(section, key, value);
}

void QSettingsProfile::sync()
{
    if (state_ == State::LeftAlone || !dirty_)
        return;
    // A linked profile is written where the link points.
    const QFileInfo info(file_);
    const QString target = info.isSymLink() ? info.symLinkTarget() : file_;
    // A profile the user made read-only stays as it is.
    if (::access(QFile::encodeName(target).constData(), F_OK) == 0
        && ::access(QFile::encodeName(target).constData(), W_OK) != 0)
        return;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // The new contents go to a file of their own, which then replaces the
    // profile in one step: a crash never leaves half a profile.
    static int counter = 0;
    const QString temp = target + QStringLiteral(".%1.%2.new").arg(::getpid()).arg(++counter);
    QFile::remove(temp);
    bool ok;
    {
        QSettings out(temp, QSettings::IniFormat);
        out.setAtomicSyncRequired(false);
        for (const auto& [lower, e] : entries_)
            out.setValue(e.key, e.value);
        out.sync();
        ok = out.status() == QSettings::NoError;
    }
    if (ok && QFile::exists(target))
        QFile::setPermissions(temp, QFile::permissions(target));
    if (ok)
        ok = std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) == 0;
    if (!ok) {
        QFile::remove(temp);
        return;
    }
    dirty_ = false;
}
