#pragma once
// Turning a folder's entries into the item sequence of the file list and of
// the sub list.
#include <QByteArray>

#include <vector>

#include "core/browse/itemtext.h"

struct DirEntry {
    QByteArray name;  // native bytes
    bool isDir = false;
};

struct Listing {
    std::vector<QByteArray> items;
    std::vector<items::Kind> kinds;  // one per item
    int longest = 0;      // L: the widest item text, counted as its Shift-JIS form
    int columnWidth = 0;  // ⌊h × 100 / 164⌋ × L
};

// The file list: folder items first in sorted order ("<..>" leading), then
// file items in sorted order, the folder's own "<.>" entry dropped, then the
// drive items in their own order.
Listing buildFolderListing(const std::vector<DirEntry>& entries, const std::vector<QByteArray>& driveItems,
                           int itemHeight);

// The sub list: every entry sorted, folders among the files, nothing removed or added.
Listing buildPreviewListing(const std::vector<DirEntry>& entries);

int columnWidthFor(int itemHeight, int longest);

QByteArray itemTextFor(const DirEntry& e);
items::Kind kindFor(const DirEntry& e);
