#include "core/browse/listing.h"

#include <algorithm>

#include "core/browse/itemtext.h"

QByteArray itemTextFor(const DirEntry& e)
{
    if (!e.isDir)
        return e.name;
    QByteArray t;
    t.reserve(e.name.size() + 2);
    t.append('<').append(e.name).append('>');
    return t;
}

int columnWidthFor(int itemHeight, int longest)
{
    return (itemHeight * 100 / 164) * longest;
}

Listing buildFolderListing(const std::vector<DirEntry>& entries, const std::vector<QByteArray>& driveItems,
                           int itemHeight)
{
    Listing out;
    std::vector<QByteArray> folders, files;
    folders.reserve(entries.size() / 8 + 4);
    files.reserve(entries.size());
    for (const DirEntry& e : entries) {
        QByteArray t = itemTextFor(e);
        out.longest = std::max(out.longest, items::sjisWidth(t));
        // Folder items move to the front; a "<-name>" reads as a drive item and stays behind.
        (items::isFolderItem(t) ? folders : files).push_back(std::move(t));
    }
    items::sortItems(folders);
    items::sortItems(files);
    out.items.reserve(folders.size() + files.size() + driveItems.size());
    for (auto& f : folders)
        out.items.push_back(std::move(f));
    for (auto& f : files)
        out.items.push_back(std::move(f));
    if (out.items.size() > 1 && out.items[1] == "<.>")
        out.items.erase(out.items.begin() + 1);
    for (const QByteArray& d : driveItems) {
        out.longest = std::max(out.longest, items::sjisWidth(d));
        out.items.push_back(d);
    }
    out.columnWidth = columnWidthFor(itemHeight, out.longest);
    return out;
}

std::vector<QByteArray> buildPreviewListing(const std::vector<DirEntry>& entries)
{
    std::vector<QByteArray> v;
    v.reserve(entries.size());
    for (const DirEntry& e : entries)
        v.push_back(itemTextFor(e));
    items::sortItems(v);
    return v;
}
