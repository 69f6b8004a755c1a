#pragma once
// Drives on a machine without drive letters: the root file system is c:, and
// removable media, optical drives, network mounts and disk partitions mounted
// under /media, /run/media and /mnt get the letters d: upward. Letters are
// remembered (letter → identity, and when it was last seen) so a volume keeps
// its letter across runs; when all are taken, a new volume gets the letter of
// the volume seen longest ago that is not mounted now.
#include <QByteArray>

#include <map>
#include <set>
#include <vector>

enum class DriveType { Fixed, Removable, CdRom, Remote };

struct Drive {
    char letter = 'c';
    QByteArray mountPoint;  // native; empty for an optical drive without a medium
    DriveType type = DriveType::Fixed;
    QByteArray label;       // volume label, empty when there is none
    QByteArray identity;    // what the letter is remembered by: device for optical drives, else mount point

    // c:, the root file system.
    static Drive root() { return Drive{'c', "/", DriveType::Fixed, {}, "/"}; }
};

struct MountRecord {
    QByteArray root;        // the part of the file system mounted (not "/" for bind mounts)
    QByteArray mountPoint;
    QByteArray fsType;
    QByteArray source;
};

// What the platform layer reads off the machine.
struct SystemFacts {
    std::vector<MountRecord> mounts;
    std::set<QByteArray> removableDisks;           // block device names such as "sdb", "mmcblk0"
    std::map<QByteArray, QByteArray> labels;       // device path ("/dev/sdb1") → volume label
    std::vector<QByteArray> opticalDevices;        // "/dev/sr0", with or without a medium
};

// /proc/self/mountinfo, with the octal escapes of paths decoded.
std::vector<MountRecord> parseMountInfo(const QByteArray& text);
// "\x20" escapes of /dev/disk/by-label names.
QByteArray decodeLabelEscapes(const QByteArray& name);

struct RememberedLetter {
    QByteArray identity;
    qint64 lastSeen = 0;  // seconds since 1970 (UTC); 0 when not known
    bool operator==(const RememberedLetter&) const = default;
};
using RememberedLetters = std::map<char, RememberedLetter>;

// Drives in letter order. remembered is read and updated: every volume present
// is marked seen at now, and a new volume's letter is added (or taken over).
std::vector<Drive> buildDriveTable(const SystemFacts& facts, RememberedLetters& remembered, qint64 now);

// "<-c->", then the type label, then the volume label; at most 255 bytes.
QByteArray driveItemText(const Drive& d);

// Program paths ("c:\home\me") and native paths ("/home/me"). "\" inside the
// program is "/" on disk and the other way round, so a native name holding a
// backslash shows with "/" and the mapping is lossless both ways.
class PathMap {
public:
    PathMap();
    void setDrives(std::vector<Drive> drives);
    const std::vector<Drive>& drives() const { return drives_; }
    // Empty when the path names no drive that has a mount point.
    QByteArray toNative(const QByteArray& programPath) const;
    QByteArray fromNative(const QByteArray& nativePath) const;

private:
    std::vector<Drive> drives_;
};

// The map the platform layer resolves program paths with.
PathMap& pathMap();
