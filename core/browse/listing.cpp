#include "core/browse/listing.h"

#include <algorithm>

QByteArray itemTextFor(const DirEntry& e)
{
    if (!e.isDir)
        return e.name;
    QByteArray t;
    t.reserve(e.name.size() + 2);
    t.append('<').append(e.name).append('>');
    return t;
}

items::Kind kindFor(const DirEntry& e)
{
    if (!e.isDir)
        return items::Kind::File;
    if (e.name == "..")
        return items::Kind::Parent;
    if (e.name == ".")
        return items::Kind::Self;
    return items::Kind::Folder;
}

int columnWidthFor(int itemHeight, int longest)
{
    return (itemHeight * 100 / 164) * longest;
}

namespace {

// Appends the texts in collation order, with their kinds.
void appendSorted(Listing& out, std::vector<QByteArray>& texts, const std::vector<items::Kind>& kinds)
{
    for (size_t i : items::sortOrder(texts)) {
        if (kinds[i] == items::Kind::Self)
            continue;  // the file list has no entry for the folder itself
        out.items.push_back(std::move(texts[i]));
        out.kinds.push_back(kinds[i]);
    }
}

}  // namespace

Listing buildFolderListing(const std::vector<DirEntry>& entries, const std::vector<QByteArray>& driveItems,
                           int itemHeight)
{
    Listing out;
    std::vector<QByteArray> folders, files;
    std::vector<items::Kind> folderKinds;
    folders.reserve(entries.size() / 8 + 4);
    files.reserve(entries.size());
    for (const DirEntry& e : entries) {
        QByteArray t = itemTextFor(e);
        out.longest = std::max(out.longest, items::sjisWidth(t));
        if (e.isDir) {
            folders.push_back(std::move(t));
            folderKinds.push_back(kindFor(e));
        } else {
            files.push_back(std::move(t));
        }
    }
    out.items.reserve(folders.size() + files.size() + driveItems.size());
    out.kinds.reserve(out.items.capacity());
    appendSorted(out, folders, folderKinds);
    appendSorted(out, files, std::vector<items::Kind>(files.size(), items::Kind::File));
    for (const QByteArray& d : driveItems) {
        out.longest = std::max(out.longest, items::sjisWidth(d));
        out.items.push_back(d);
        out.kinds.push_back(items::Kind::Drive);
    }
    out.columnWidth = columnWidthFor(itemHeight, out.longest);
    return out;
}

Listing buildPreviewListing(const std::vector<DirEntry>& entries)
{
    std::vector<QByteArray> texts;
    std::vector<items::Kind> kinds;
    texts.reserve(entries.size());
    kinds.reserve(entries.size());
    for (const DirEntry& e : entries) {
        texts.push_back(itemTextFor(e));
        kinds.push_back(kindFor(e));
    }
    Listing out;
    out.items.reserve(texts.size());
    out.kinds.reserve(texts.size());
    for (size_t i : items::sortOrder(texts)) {
        out.items.push_back(std::move(texts[i]));
        out.kinds.push_back(kinds[i]);
    }
    return out;
}
