#include "platform/drives.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

QByteArray readSmall(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.read(1 << 20);
}

const QString kLetters = QStringLiteral("DriveLetters");
const QString kSeen = QStringLiteral("_LastSeen");

}  // namespace

SystemFacts readSystemFacts()
{
    SystemFacts facts;
    facts.mounts = parseMountInfo(readSmall(QStringLiteral("/proc/self/mountinfo")));
    const QDir block(QStringLiteral("/sys/block"));
    for (const QString& name : block.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        const QString dev = block.filePath(name);
        const QByteArray removable = readSmall(dev + QStringLiteral("/removable")).trimmed();
        const QString target = QFileInfo(dev).symLinkTarget();
        if (name.startsWith(QLatin1String("sr"))) {
            facts.opticalDevices.push_back("/dev/" + name.toUtf8());
            continue;
        }
        if (removable == "1" || target.contains(QLatin1String("/usb")) || name.startsWith(QLatin1String("mmcblk")))
            facts.removableDisks.insert(name.toUtf8());
    }
    const QDir labels(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo& fi : labels.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString dev = fi.canonicalFilePath();
        if (!dev.isEmpty())
            facts.labels[dev.toUtf8()] = decodeLabelEscapes(QFile::encodeName(fi.fileName()));
    }
    return facts;
}

std::vector<Drive> detectDrives(Profile& profile)
{
    return detectDrives(profile, readSystemFacts(), QDateTime::currentSecsSinceEpoch());
}

std::vector<Drive> detectDrives(Profile& profile, const SystemFacts& facts, qint64 now)
{
    // "d=/media/me/STICK" names the volume, "d_LastSeen=2026-12-07T09:30:00Z"
    // says when it was last there (absent in older profiles: long ago).
    RememberedLetters remembered;
    for (char l = 'd'; l <= 'z'; ++l) {
        const QString key{QLatin1Char(l)};
        const QByteArray id = profile.readString(kLetters, key, QByteArray());
        if (id.isEmpty())
            continue;
        const QDateTime seen = QDateTime::fromString(
            QString::fromLatin1(profile.readString(kLetters, key + kSeen, QByteArray())), Qt::ISODate);
        remembered[l] = RememberedLetter{id, seen.isValid() ? seen.toSecsSinceEpoch() : 0};
    }
    const RememberedLetters before = remembered;
    std::vector<Drive> drives = buildDriveTable(facts, remembered, now);
    bool newLetter = false;
    for (const auto& [letter, r] : remembered) {
        auto old = before.find(letter);
        if (old != before.end() && old->second == r)
            continue;
        const QString key{QLatin1Char(letter)};
        if (old == before.end() || old->second.identity != r.identity) {
            profile.writeString(kLetters, key, r.identity);
            newLetter = true;
        }
        profile.writeString(kLetters, key + kSeen,
                            QDateTime::fromSecsSinceEpoch(r.lastSeen, Qt::UTC).toString(Qt::ISODate).toLatin1());
    }
    // A letter given out is kept at once; the times seen go with the other
    // settings when the program ends.
    if (newLetter)
        profile.sync();
    return drives;
}

}  // namespace platform
