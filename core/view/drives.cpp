#include "core/view/drives.h"

#include <QList>

#include <algorithm>

namespace {

QByteArray unescapeOctal(const QByteArray& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        auto oct = [](char c) { return c >= '0' && c <= '7'; };
        if (s[i] == '\\' && i + 3 < s.size() && oct(s[i + 1]) && oct(s[i + 2]) && oct(s[i + 3])) {
            out.append(static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.append(s[i]);
    }
    return out;
}

bool under(const QByteArray& path, const char* top)
{
    QByteArray t(top);
    return path == t || path.startsWith(t + '/');
}

const std::set<QByteArray>& hiddenTypes()
{
    static const std::set<QByteArray> t = {
        "proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "overlay", "squashfs", "autofs",
        "mqueue", "debugfs", "tracefs", "securityfs", "pstore", "bpf", "configfs", "fusectl", "hugetlbfs",
        "binfmt_misc", "efivarfs", "ramfs", "nsfs", "rpc_pipefs", "fuse.portal", "fuse.gvfsd-fuse",
        "fuse.snapfuse", "fuse.lxcfs", "selinuxfs", "nfsd", "none"};
    return t;
}

bool isNetworkType(const QByteArray& t)
{
    static const std::set<QByteArray> net = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "fuse.sshfs",
                                             "sshfs", "davfs", "fuse.davfs", "davfs2", "ceph", "fuse.ceph",
                                             "glusterfs", "fuse.glusterfs", "afs", "ncpfs", "fuse.rclone"};
    return net.count(t) != 0;
}

// "sdb1" → "sdb", "mmcblk0p1" → "mmcblk0", "nvme0n1p2" → "nvme0n1".
QByteArray diskOf(QByteArray dev)
{
    if (dev.startsWith("/dev/"))
        dev = dev.mid(5);
    if (dev.startsWith("mmcblk") || dev.startsWith("nvme") || dev.startsWith("loop")) {
        qsizetype p = dev.lastIndexOf('p');
        if (p > 0 && p + 1 < dev.size() && dev.at(p - 1) >= '0' && dev.at(p - 1) <= '9')
            return dev.left(p);
        return dev;
    }
    while (!dev.isEmpty() && dev.back() >= '0' && dev.back() <= '9')
        dev.chop(1);
    return dev;
}

}  // namespace

std::vector<MountRecord> parseMountInfo(const QByteArray& text)
{
    std::vector<MountRecord> out;
    for (const QByteArray& line : text.split('\n')) {
        QList<QByteArray> f = line.split(' ');
        qsizetype dash = f.indexOf(QByteArray("-"));
        if (dash < 6 || dash + 2 >= f.size())
            continue;
        MountRecord m;
        m.root = unescapeOctal(f[3]);
        m.mountPoint = unescapeOctal(f[4]);
        m.fsType = f[dash + 1];
        m.source = unescapeOctal(f[dash + 2]);
        out.push_back(std::move(m));
    }
    return out;
}

QByteArray decodeLabelEscapes(const QByteArray& name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            int v = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(static_cast<char>(v));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return out;
}

std::vector<Drive> buildDriveTable(const SystemFacts& facts, RememberedLetters& remembered, qint64 now)
{
    std::vector<Drive> found;
    Drive root = Drive::root();
    std::set<QByteArray> seenMounts;
    std::set<QByteArray> opticalWithMedium;
    // Later lines of mountinfo override earlier mounts on the same point.
    for (auto it = facts.mounts.rbegin(); it != facts.mounts.rend(); ++it) {
        const MountRecord& m = *it;
        if (!seenMounts.insert(m.mountPoint).second)
            continue;
        if (m.mountPoint == "/") {
            auto l = facts.labels.find(m.source);
            if (l != facts.labels.end())
                root.label = l->second;
            continue;
        }
        if (hiddenTypes().count(m.fsType) || m.root != "/")
            continue;
        if (under(m.mountPoint, "/proc") || under(m.mountPoint, "/sys") || under(m.mountPoint, "/dev")
            || (under(m.mountPoint, "/run") && !under(m.mountPoint, "/run/media")))
            continue;
        Drive d;
        d.mountPoint = m.mountPoint;
        d.identity = m.mountPoint;
        const bool optical = m.source.startsWith("/dev/sr") || m.fsType == "iso9660" || m.fsType == "udf";
        if (optical) {
            d.type = DriveType::CdRom;
            if (m.source.startsWith("/dev/")) {
                d.identity = m.source;
                opticalWithMedium.insert(m.source);
            }
        } else if (isNetworkType(m.fsType)) {
            d.type = DriveType::Remote;
        } else if (m.source.startsWith("/dev/") && facts.removableDisks.count(diskOf(m.source))) {
            d.type = DriveType::Removable;
        } else if (under(m.mountPoint, "/media") || under(m.mountPoint, "/run/media") || under(m.mountPoint, "/mnt")) {
            if (!m.source.startsWith("/dev/"))
                continue;  // only real disk partitions
            d.type = DriveType::Fixed;
        } else {
            continue;
        }
        auto l = facts.labels.find(m.source);
        if (l != facts.labels.end())
            d.label = l->second;
        found.push_back(std::move(d));
    }
    for (const QByteArray& dev : facts.opticalDevices) {
        if (opticalWithMedium.count(dev))
            continue;
        Drive d;
        d.type = DriveType::CdRom;
        d.identity = dev;
        found.push_back(std::move(d));
    }
    // Stable order before letters are handed out: by identity.
    std::sort(found.begin(), found.end(), [](const Drive& a, const Drive& b) { return a.identity < b.identity; });

    std::vector<Drive> out{root};
    std::set<char> used{'c'};
    std::vector<Drive*> unassigned;
    for (Drive& d : found) {
        char letter = 0;
        for (const auto& [l, r] : remembered)
            if (r.identity == d.identity && l >= 'd' && l <= 'z' && !used.count(l))
                letter = l;
        if (letter) {
            d.letter = letter;
            used.insert(letter);
            remembered[letter].lastSeen = now;
            out.push_back(d);
        } else {
            unassigned.push_back(&d);
        }
    }
    for (Drive* d : unassigned) {
        char letter = 0;
        for (char l = 'd'; l <= 'z' && !letter; ++l)
            if (!used.count(l) && !remembered.count(l))
                letter = l;
        if (!letter) {
            // None free: take over the letter of the absent volume seen longest ago.
            for (const auto& [l, r] : remembered)
                if (l >= 'd' && l <= 'z' && !used.count(l) && (!letter || r.lastSeen < remembered.at(letter).lastSeen))
                    letter = l;
        }
        if (!letter)
            continue;  // more volumes present than letters
        d->letter = letter;
        used.insert(letter);
        remembered[letter] = RememberedLetter{d->identity, now};
        out.push_back(*d);
    }
    std::sort(out.begin(), out.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return out;
}

QByteArray driveItemText(const Drive& d)
{
    QByteArray t = "<-";
    t.append(d.letter).append("->");
    if (d.letter != 'a' && d.letter != 'b') {
        switch (d.type) {
        case DriveType::CdRom: t.append("CD-ROM:"); break;
        case DriveType::Removable: t.append("Removable:"); break;
        case DriveType::Remote: t.append("N/W:"); break;
        case DriveType::Fixed: break;
        }
        t.append(d.label);
    }
    if (t.size() > 255)
        t.truncate(255);
    return t;
}

PathMap::PathMap() : drives_{Drive::root()} {}

void PathMap::setDrives(std::vector<Drive> drives)
{
    drives_ = std::move(drives);
}

static QByteArray swapSeparators(QByteArray s)
{
    for (char& c : s) {
        if (c == '\\')
            c = '/';
        else if (c == '/')
            c = '\\';
    }
    return s;
}

QByteArray PathMap::toNative(const QByteArray& p) const
{
    if (p.size() < 2 || p[1] != ':')
        return QByteArray();
    char letter = static_cast<char>(p[0] >= 'A' && p[0] <= 'Z' ? p[0] + 32 : p[0]);
    for (const Drive& d : drives_) {
        if (d.letter != letter || d.mountPoint.isEmpty())
            continue;
        QByteArray rest = swapSeparators(p.mid(2));
        if (rest.isEmpty())
            return d.mountPoint;
        if (d.mountPoint == "/")
            return rest.startsWith('/') ? rest : "/" + rest;
        return d.mountPoint + (rest.startsWith('/') ? rest : "/" + rest);
    }
    return QByteArray();
}

QByteArray PathMap::fromNative(const QByteArray& n) const
{
    const Drive* best = nullptr;
    for (const Drive& d : drives_) {
        if (d.mountPoint.isEmpty())
            continue;
        bool inside = d.mountPoint == "/" ? n.startsWith('/')
                                          : (n == d.mountPoint || n.startsWith(d.mountPoint + '/'));
        if (inside && (!best || d.mountPoint.size() > best->mountPoint.size()))
            best = &d;
    }
    if (!best)
        return QByteArray();
    QByteArray rest = best->mountPoint == "/" ? n : n.mid(best->mountPoint.size());
    while (rest.endsWith('/'))
        rest.chop(1);
    QByteArray out;
    out.append(best->letter).append(':');
    return out + swapSeparators(rest);
}

PathMap& pathMap()
{
    static PathMap map;
    return map;
}
