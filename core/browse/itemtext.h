#pragma once
// Item texts of the file list. An item's kind is known from its text alone:
//   folder item  "<" name ">"     (the parent item is "<..>")
//   drive item   "<-x->" label    (also a folder named "-..." — its text reads the same)
//   file item    the bare name
#include <QByteArray>

#include <vector>

namespace items {

inline bool isDriveItem(const QByteArray& t) { return t.size() >= 2 && t[0] == '<' && t[1] == '-'; }
inline bool isFolderItem(const QByteArray& t) { return t.size() >= 1 && t[0] == '<' && !isDriveItem(t); }
inline bool isParentItem(const QByteArray& t) { return t.size() >= 2 && t[0] == '<' && t[1] == '.'; }

// The letter of a drive item ("<-c->..." gives 'c'); 0 when there is none.
inline char driveLetter(const QByteArray& t) { return t.size() >= 3 ? t[2] : 0; }

// The name between the brackets of a folder item.
inline QByteArray folderName(const QByteArray& t) { return t.size() >= 2 ? t.mid(1, t.size() - 2) : QByteArray(); }

// Collation of the sorted lists: the folder's own entries "<..>" and "<.>"
// come first (in that order), letters compare without case, runs of digits
// compare by value ("file2" before "file10"), and ties are broken by the raw
// bytes so the order is total. Returns <0, 0, >0.
int compare(const QByteArray& a, const QByteArray& b);
// The key the collation compares byte by byte (ties are then broken by the raw bytes).
QByteArray sortKey(const QByteArray& text);
// Sorts by the collation, each key built once.
void sortItems(std::vector<QByteArray>& items);

// Width of a text as its Shift-JIS form would count it: 1 for ASCII and
// half-width katakana, 2 for any other character. Undecodable UTF-8 bytes count 1.
int sjisWidth(const QByteArray& utf8);

}  // namespace items
