#pragma once
// Item texts of the lists:
//   folder item  "<" name ">"     (the parent item is "<..>", the folder itself "<.>")
//   drive item   "<-x->" label
//   file item    the bare name
// A text alone cannot tell the kind on Linux: a file may be named "<note.txt"
// or "<-x->", and a folder "-x". So each item carries its kind beside its text.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace items {

enum class Kind : std::uint8_t {
    File,    // a file, or an archive member
    Folder,  // "<" name ">"
    Parent,  // "<..>": the folder above
    Self,    // "<.>": the folder itself (only the sub list keeps it)
    Drive,   // "<-x->" label
};

inline bool isFolderLike(Kind k) { return k == Kind::Folder || k == Kind::Parent || k == Kind::Self; }

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
// The order the collation gives: the indices of the texts, sorted.
std::vector<size_t> sortOrder(const std::vector<QByteArray>& items);

// A name or path as it is drawn in lists, captions, the status bar and
// messages: bytes that do not decode become U+FFFD, and control characters
// (LF, ESC, BEL, DEL, C1 controls …) visible placeholders, so a name can never
// break a line or reach a terminal-like widget raw. The name itself is unchanged.
QString displayText(const QByteArray& utf8);

// Width of a text as its Shift-JIS form would count it: 1 for ASCII and
// half-width katakana, 2 for any other character. Undecodable UTF-8 bytes count 1.
int sjisWidth(const QByteArray& utf8);

}  // namespace items
