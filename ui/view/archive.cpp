// LZH archives browsed like folders, through the archive library.
#include <algorithm>

#include "core/browse/itemtext.h"
#include "platform/archivelib.h"
#include "platform/launcher.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

bool CTrovik32View::IsLzhArchive(const QByteArray& path)
{
    const QByteArray lower = path.toLower();
    if (lower.endsWith(".lzh"))
        return true;
    auto& lib = platform::archiveLibrary();
    return lower.endsWith(".exe") && lib.loaded() && lib.UnlhaCheckArchive(platform::nativePath(path).constData(), 0) != 0;
}

namespace {

// Opens the archive and runs fill for the members when the first search finds one.
template <typename Fill>
void listMembers(const QByteArray& path, Fill fill)
{
    auto& lib = platform::archiveLibrary();
    platform::HARC h = lib.UnlhaOpenArchive(nullptr, platform::nativePath(path).constData(), 0x08000000);
    platform::ArchiveMemberInfo record{};
    if (lib.UnlhaFindFirst(h, "*.*", &record) != -1) {
        std::vector<QByteArray> names;
        do {
            names.emplace_back(record.name());
        } while (lib.UnlhaFindNext(h, &record) != -1);
        fill(std::move(names));
    }
    lib.UnlhaCloseArchive(h);
}

std::vector<QByteArray> sortedItems(std::vector<QByteArray> v)
{
    items::sortItems(v);
    return v;
}

bool archivesAvailable(bool loaded)
{
    auto& lib = platform::archiveLibrary();
    return loaded && lib.loaded() && lib.UnlhaQueryFunctionList(23) != 0;
}

}  // namespace

bool CTrovik32View::EnterArchive(const QByteArray& path)
{
    if (!archivesAvailable(archiveLibraryLoaded) || !IsLzhArchive(path))
        return false;
    listMembers(path, [this](std::vector<QByteArray> names) {
        archiveMode = true;
        contentPane->hide();
        subList->show();
        // The parent item leads the sorted members.
        std::vector<QByteArray> texts = sortedItems(std::move(names));
        texts.insert(texts.begin(), QByteArray("<..>"));
        std::vector<items::Kind> kinds(texts.size(), items::Kind::File);
        kinds[0] = items::Kind::Parent;
        fileList->model().setItems(std::move(texts), std::move(kinds));
    });
    currentFolder = previewFolder = path;
    return true;
}

bool CTrovik32View::ListArchivePreview(const QByteArray& path)
{
    if (!archivesAvailable(archiveLibraryLoaded) || !IsLzhArchive(path))
        return false;
    listMembers(path, [this](std::vector<QByteArray> names) {
        contentPane->hide();
        subList->show();
        subList->model().setItems(sortedItems(std::move(names)));
    });
    return true;
}
