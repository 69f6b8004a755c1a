#include "platform/drives.h"

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
    std::map<char, QByteArray> remembered;
    for (char l = 'd'; l <= 'z'; ++l) {
        const QByteArray id = profile.readString(kLetters, QString(QLatin1Char(l)), QByteArray());
        if (!id.isEmpty())
            remembered[l] = id;
    }
    const auto before = remembered;
    std::vector<Drive> drives = buildDriveTable(readSystemFacts(), remembered);
    for (const auto& [letter, id] : remembered)
        if (!before.count(letter))
            profile.writeString(kLetters, QString(QLatin1Char(letter)), id);
    return drives;
}

}  // namespace platform
