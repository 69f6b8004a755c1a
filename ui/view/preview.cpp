// What the selected item is: the preview on every selection change, and the
// full load of an opened file or archive member.
#include <algorithm>
#include <limits>
#include <new>

#include "core/browse/itemtext.h"
#include "core/viewer/cp932.h"
#include "core/viewer/display.h"
#include "platform/archivelib.h"
#include "platform/filesystem.h"
#include "platform/launcher.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

namespace {

constexpr uint32_t kPreviewLimit = 2000;
constexpr uint32_t kMemberLimit = 500000;

const QString kStatusFailed = QStringLiteral("ファイルのステータス取得に失敗");
const QString kOpenFailedBox = QStringLiteral("ファイルのオープンに失敗");
const QString kOpenFailedPane = QStringLiteral("ファイルオープンに失敗");
const QString kNoMemory = QStringLiteral("メモリの確保に失敗");

// Extracts at most limit bytes of a member; a failed extraction gives nothing.
QByteArray extractMember(const QByteArray& command, uint32_t limit)
{
    auto& lib = platform::archiveLibrary();
    QByteArray buf(static_cast<qsizetype>(limit) + 1, '\0');
    uint32_t written = 0;
    if (!lib.loaded() || lib.UnlhaExtractMem(nullptr, command.constData(), reinterpret_cast<unsigned char*>(buf.data()),
                                             limit, nullptr, nullptr, &written) != 0)
        written = 0;
    buf.truncate(written <= limit ? written : 0);
    return buf;
}

}  // namespace

void CTrovik32View::PreviewSelectedItem()
{
    const int index = fileList->curSel();
    if (index < 0)
        return;
    const QByteArray t = fileList->text(index);
    selectionStack[depth] = index;
    emit captionText(QString::fromUtf8(t));

    if (!t.isEmpty() && t[0] == '<') {
        if (t == "<..>") {
            subList->model().resetContent();
            showSubList();
            emit paneText(0, QString::fromUtf8(currentFolder));
        } else if (items::isDriveItem(t)) {
            subList->model().resetContent();
            showSubList();
            emit paneText(0, QString());
        } else {
            const QByteArray folder = previewFolder + '\\' + items::folderName(t);
            ListFolderPreview(folder);
            showSubList();
            emit paneText(0, QString::fromUtf8(folder));
        }
        for (int pane = 1; pane <= 3; ++pane)
            emit paneText(pane, QString());
        previewFolder = currentFolder;
        return;
    }

    itemPath = currentFolder;
    if (archiveMode && archiveLibraryLoaded) {
        auto& lib = platform::archiveLibrary();
        const QByteArray command = memberCommand(itemPath, t, memberOccurrence(index));
        platform::HARC h = lib.UnlhaOpenArchive(nullptr, platform::nativePath(itemPath).constData(), 0x08000000);
        platform::ArchiveMemberInfo info{};
        if (platform::findMember(h, t, memberOccurrence(index), info)) {
            emit paneText(0, QString::fromUtf8(itemPath + '(' + t + ')'));
            emit paneText(1, FormatGroupedNumber(info.originalSize()));
            emit paneText(2, dosDateText(info.dosDate()));
            emit paneText(3, attributeLetters(static_cast<unsigned>(lib.UnlhaGetAttribute(h))));
        }
        lib.UnlhaCloseArchive(h);
        QByteArray bytes = extractMember(command, kPreviewLimit);
        SanitizeForDisplay(bytes);
        contentPane->setText(std::move(bytes));
        showContentPane();
        return;
    }

    itemPath += '\\' + t;
    const auto st = platform::fileStatus(itemPath);
    if (!st) {
        showMessage(this, kStatusFailed);
        setContentMessage(kStatusFailed);
    } else {
        emit paneText(0, QString::fromUtf8(itemPath));
        emit paneText(1, FormatGroupedNumber(st->size));
        emit paneText(2, localDateText(st->mtime));
        emit paneText(3, attributeLetters(st->attributes));
    }
    if (ListArchivePreview(itemPath))
        return;
    if (st) {  // without a status the failure text stays in the pane
        if (st->size != 0) {
            platform::ReadFile file(itemPath);
            if (!file.isOpen()) {
                showMessage(this, kOpenFailedBox);
                setContentMessage(kOpenFailedPane);
            } else {
                QByteArray bytes(kPreviewLimit, Qt::Uninitialized);
                bytes.truncate(static_cast<qsizetype>(file.read(bytes.data(), kPreviewLimit)));
                SanitizeForDisplay(bytes);
                contentPane->setText(std::move(bytes));
            }
        } else {
            contentPane->setText(QByteArray());
        }
    }
    showContentPane();
}

void CTrovik32View::LoadFileContent(const QByteArray& path)
{
    const auto st = platform::fileStatus(path);
    if (!st) {
        showMessage(this, kStatusFailed);
        setContentMessage(kStatusFailed);
        return;
    }
    if (st->size == 0) {
        contentPane->setText(QByteArray());
        return;
    }
    platform::ReadFile file(path);
    if (!file.isOpen()) {
        showMessage(this, kOpenFailedBox);
        setContentMessage(kOpenFailedPane);
        return;
    }
    // Only as much as the program can really get: a file beyond that is refused
    // before anything is allocated, so the load can never be killed for memory.
    QByteArray bytes;
    const uint64_t needed = st->size + 1;
    bool allocated = needed <= platform::availableMemory() && st->size < static_cast<uint64_t>(std::numeric_limits<qsizetype>::max() / 2);
    if (allocated) {
        try {
            bytes = QByteArray(static_cast<qsizetype>(st->size), Qt::Uninitialized);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        showMessage(this, kNoMemory);
        return;
    }
    platform::adviseLargeBuffer(bytes.data(), st->size);
    // Read and filter a piece at a time, so each piece is filtered while it is still in the cache.
    constexpr uint64_t kPiece = 1u << 20;
    uint64_t done = 0;
    while (done < st->size) {
        const uint64_t want = std::min(kPiece, st->size - done);
        const uint64_t got = file.read(bytes.data() + done, want);
        SanitizeForDisplay(bytes.data() + done, got);
        done += got;
        if (got < want)
            break;  // the file became shorter while it was read
    }
    bytes.truncate(static_cast<qsizetype>(done));
    // The pane takes the buffer over; nothing is copied.
    contentPane->setText(std::move(bytes));
}

void CTrovik32View::LoadMemberContent(const QByteArray& archivePath, const QByteArray& member, int occurrence)
{
    QByteArray bytes = extractMember(memberCommand(archivePath, member, occurrence), kMemberLimit);
    SanitizeForDisplay(bytes);
    contentPane->setText(std::move(bytes));
}
