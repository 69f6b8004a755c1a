#pragma once
// Pieces shared by the file operations and the trash: path bytes and the
// Japanese reasons of system errors.
#include <QByteArray>
#include <QString>

namespace platform::fileops_detail {

// The folder part of a native path ("/a/b" → "/a", "/a" → "/", "b" → ".").
QByteArray parentOf(const QByteArray& path);
// The last component, trailing slashes ignored ("/a/b/" → "b", "/" → "").
QByteArray nameOf(const QByteArray& path);
// path joined to name with exactly one slash.
QByteArray joinPath(const QByteArray& folder, const QByteArray& name);
// The canonical (symbolic links resolved) form of an existing folder;
// empty with errno set when it cannot be resolved.
QByteArray canonicalFolder(const QByteArray& folder);
// The absolute path of the item itself: its folder resolved, its own name
// kept (a link stays the link). Empty with errno set when the folder is gone.
QByteArray canonicalItem(const QByteArray& path);
// For messages only: the bytes shown as text, invalid UTF-8 replaced.
QString shown(const QByteArray& path);
// The reason of an errno in Japanese.
QString errorReason(int error);

}  // namespace platform::fileops_detail
