// LZH archives browsed like folders, through the archive library.
#include <algorithm>

#include "core/browse/itemtext.h"
#include "platform/archivelib.h"
#include "platform/filesystem.h"
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

// Opens the archive and runs fill for the members when the first search finds
// one; false when it finds none (an empty or unreadable archive).
template <typename Fill>
bool listMembers(const QByteArray& path, Fill fill)
{
    auto& lib = platform::archiveLibrary();
    platform::HARC h = lib.UnlhaOpenArchive(nullptr, platform::nativePath(path).constData(), 0x08000000);
    platform::ArchiveMemberInfo record{};
    const bool found = lib.UnlhaFindFirst(h, "*.*", &record) != -1;
    if (found) {
        std::vector<QByteArray> names;
        do {
            names.emplace_back(record.name());
        } while (lib.UnlhaFindNext(h, &record) != -1);
        fill(std::move(names));
    }
    lib.UnlhaCloseArchive(h);
    return found;
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
    // An archive without members is not entered: it opens as a plain file.
    const bool entered = listMembers(path, [this](std::vector<QByteArray> names) {
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
    if (entered)
        currentFolder = previewFolder = path;
    return entered;
}

bool CTrovik32View::ListArchivePreview(const QByteArray& path)
{
    if (!archivesAvailable(archiveLibraryLoaded) || !IsLzhArchive(path))
        return false;
    const bool found = listMembers(path, [this](std::vector<QByteArray> names) {
        subList->model().setItems(sortedItems(std::move(names)));
    });
    // An archive without members previews as an empty list, not as the last one shown.
    if (!found)
        subList->model().resetContent();
    contentPane->hide();
    subList->show();
    return true;
}

int CTrovik32View::memberOccurrence(int index) const
{
    if (index < 0 || index >= fileList->count())
        return 0;
    const QByteArray t = fileList->text(index);
    int before = 0;
    for (int i = 0; i < index; ++i)
        before += fileList->text(i) == t;
    return before;
}

QByteArray CTrovik32View::memberCommand(const QByteArray& archivePath, const QByteArray& member, int occurrence) const
{
    return platform::memberCommand(platform::nativePath(archivePath), member, occurrence);
}

bool CTrovik32View::LeaveArchive()
{
    if (!archiveMode)
        return false;
    // currentFolder runs through the archive; the outermost archive is the
    // first part of it that is no folder on disk.
    QByteArray archivePath;
    for (qsizetype end = currentFolder.indexOf('\\'); end >= 0 && archivePath.isEmpty();) {
        end = currentFolder.indexOf('\\', end + 1);
        const QByteArray prefix = end < 0 ? currentFolder : currentFolder.left(end);
        const auto st = platform::fileStatus(prefix);
        if (!st || !st->isDir)
            archivePath = prefix;
        if (end < 0)
            break;
    }
    const qsizetype cut = archivePath.lastIndexOf('\\');
    if (cut <= 0)
        return false;
    // One level for the archive and one for every level inside it.
    const qsizetype levels = 1 + currentFolder.mid(archivePath.size()).count('\\');
    for (qsizetype i = 0; i < levels; ++i)
        selectionStack.ascend(depth);
    currentFolder = archivePath.left(cut);
    archiveMode = false;
    ListFolder(currentFolder);
    previewFolder = currentFolder;
    // The archive comes back selected, even when the folder has changed meanwhile.
    const QByteArray name = archivePath.mid(cut + 1);
    if (fileList->curSel() < 0 || fileList->text(fileList->curSel()) != name) {
        for (int i = 0; i < fileList->count(); ++i) {
            if (fileList->text(i) == name) {
                fileList->setCurSel(i);
                selectionStack[depth] = i;
                break;
            }
        }
    }
    return true;
}
