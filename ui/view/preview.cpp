// What the selected item is: the preview on every selection change, and the
// full load of an opened file or archive member.
#include <algorithm>
#include <limits>
#include <new>

#include "core/browse/itemtext.h"
#include "core/viewer/cp932.h"
#include "core/viewer/display.h"
#include "core/view/progress.h"
#include "platform/archivelib.h"
#include "platform/backgroundread.h"
#include "platform/filesystem.h"
#include "platform/launcher.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"
#include "ui/view/busy.h"
#include "ui/viewer/CREdit_File.h"

#include <QTimer>

namespace {

constexpr uint32_t kPreviewLimit = 2000;
constexpr uint32_t kMemberLimit = 500000;
// Files above this size load in the background.
constexpr uint64_t kBackgroundLoad = 64u << 20;

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
    const items::Kind kind = fileList->model().kind(index);
    selectionStack[depth] = index;
    emit captionText(items::displayText(t));

    if (kind != items::Kind::File) {
        if (kind == items::Kind::Parent) {
            subList->model().resetContent();
            showSubList();
            emit paneText(0, items::displayText(currentFolder));
        } else if (kind == items::Kind::Drive) {
            subList->model().resetContent();
            showSubList();
            emit paneText(0, QString());
        } else {
            const QByteArray folder = previewFolder + '\\' + items::folderName(t);
            ListFolderPreview(folder);
            showSubList();
            emit paneText(0, items::displayText(folder));
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
            emit paneText(0, items::displayText(itemPath + '(' + t + ')'));
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
        emit paneText(0, items::displayText(itemPath));
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

bool CTrovik32View::LoadFileContent(const QByteArray& path)
{
    const auto st = platform::fileStatus(path);
    if (!st) {
        showMessage(this, kStatusFailed);
        setContentMessage(kStatusFailed);
        return true;
    }
    if (st->size == 0) {
        contentPane->setText(QByteArray());
        return true;
    }
    auto file = std::make_unique<platform::ReadFile>(path);
    if (!file->isOpen()) {
        showMessage(this, kOpenFailedBox);
        setContentMessage(kOpenFailedPane);
        return true;
    }
    // At most half of the memory the program can still get, so the machine
    // stays usable: a file beyond that is refused before anything is allocated.
    QByteArray bytes;
    bool allocated = st->size <= platform::availableMemory() / 2
                     && st->size < static_cast<uint64_t>(std::numeric_limits<qsizetype>::max() / 2);
    if (allocated) {
        try {
            bytes = QByteArray(static_cast<qsizetype>(st->size), Qt::Uninitialized);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        showMessage(this, kNoMemory);
        return true;
    }
    platform::adviseLargeBuffer(bytes.data(), st->size);
    DisplayFilter filter;  // a UTF-16 text is filtered by its 2-byte units
    if (st->size > kBackgroundLoad) {
        // A large file arrives on a thread of its own: the window keeps
        // painting, shows the progress and gives the load up on Escape.
        loadPane0_ = pane0Shown_;
        // The end of the read is told to the window's thread at once; the
        // timer only shows the progress.
        auto arrived = [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (loadJob_ && loadJob_->finished())
                        finishBackgroundLoad();
                },
                Qt::QueuedConnection);
        };
        loadJob_ = std::make_unique<platform::BackgroundRead>(std::move(file), std::move(bytes), filter, arrived);
        busy_ = std::make_unique<BusyGuard>(this, [this] { cancelBackgroundLoad(); });
        if (!loadTimer_) {
            loadTimer_ = new QTimer(this);
            loadTimer_->setInterval(100);
            connect(loadTimer_, &QTimer::timeout, this, [this] {
                if (loadJob_ && loadJob_->finished())
                    finishBackgroundLoad();
                else if (loadJob_)
                    emit paneText(0, loadProgressText(loadJob_->done(), loadJob_->total()));
            });
        }
        emit paneText(0, loadProgressText(0, st->size));
        loadTimer_->start();
        return false;
    }
    // Read and filter a piece at a time, so each piece is filtered while it is still in the cache.
    constexpr uint64_t kPiece = 1u << 20;
    uint64_t done = 0;
    while (done < st->size) {
        const uint64_t want = std::min(kPiece, st->size - done);
        const uint64_t got = file->read(bytes.data() + done, want);
        filter(bytes.data() + done, got);
        done += got;
        if (got < want)
            break;  // the file became shorter while it was read
    }
    bytes.truncate(static_cast<qsizetype>(done));
    // The pane takes the buffer over; nothing is copied.
    contentPane->setText(std::move(bytes));
    return true;
}

void CTrovik32View::finishBackgroundLoad()
{
    loadTimer_->stop();
    QByteArray bytes = loadJob_->take();
    loadJob_.reset();
    busy_.reset();
    emit paneText(0, loadPane0_);
    contentPane->setText(std::move(bytes));
    EnterFullView(loadIndex_);
}

void CTrovik32View::cancelBackgroundLoad()
{
    if (!loadJob_)
        return;
    loadTimer_->stop();
    loadJob_.reset();  // waits for the reader and frees its buffer
    busy_.reset();
    emit paneText(0, loadPane0_);
}

void CTrovik32View::LoadMemberContent(const QByteArray& archivePath, const QByteArray& member, int occurrence)
{
    QByteArray bytes = extractMember(memberCommand(archivePath, member, occurrence), kMemberLimit);
    SanitizeForDisplay(bytes);
    contentPane->setText(std::move(bytes));
}
