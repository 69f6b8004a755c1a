#pragma once
// The freedesktop.org trash, written by the program itself.
//
// An item on the file system of $XDG_DATA_HOME goes to $XDG_DATA_HOME/Trash
// (~/.local/share/Trash when the variable is unset), made when missing. An
// item on another mount goes to $topdir/.Trash/$uid when $topdir/.Trash is a
// real sticky folder, else to $topdir/.Trash-$uid. The .trashinfo is made
// first, exclusively, and the item then takes its place by one rename: a
// folder of any size goes to the trash at the cost of a single file.
//
// Names are bytes: nothing here goes through QString but the messages.
#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace platform {

// A trash folder: the one that holds files/ and info/.
struct TrashFolder {
    QByteArray dir;     // e.g. /home/me/.local/share/Trash or /media/usb/.Trash-1000
    QByteArray topdir;  // the mount's top folder; empty for the home trash
    bool home = false;
    QString error;      // why no trash can be used; empty when dir is usable
    int code = 0;       // and its errno
};

// The trash that would take path (an absolute native path), with its
// folders made when missing. Nothing is moved.
TrashFolder trashFolderFor(const QByteArray& path);

// The trash of a volume whose top folder is topdir, for user uid: the
// shared $topdir/.Trash/$uid when allowed, else $topdir/.Trash-$uid.
TrashFolder volumeTrashFolder(const QByteArray& topdir, uid_t uid);

// The top folder of the mount that holds path (which must exist).
QByteArray mountTopOf(const QByteArray& path);

// Percent-encodes a path for the Path key: every byte but unreserved
// characters and '/' becomes %XX.
QByteArray trashPathEncode(const QByteArray& path);
// The reverse; malformed escapes stay as they are.
QByteArray trashPathDecode(const QByteArray& encoded);

struct TrashOutcome {
    bool ok = false;
    bool noTrash = false;   // no usable trash: nothing was touched
    int error = 0;          // errno of the failure
    QString message;        // Japanese, for the user
    QByteArray trashedAs;   // path of the item inside files/
    QByteArray infoFile;    // path of its .trashinfo
};

// Moves the item at path into its trash. On any failure the item stays
// where it was and no .trashinfo is left behind.
TrashOutcome moveToTrash(const QByteArray& path);

}  // namespace platform
