// The file commands: edit, copy, move, delete and rename of the selected
// item, the file-operation and drive-change popups, and the editor setting.
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/browse/itemtext.h"
#include "core/res/resources.h"
#include "core/view/drives.h"
#include "core/viewer/display.h"
#include "platform/fileops.h"
#include "platform/launcher.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/view/CFilePathDialog.h"
#include "ui/view/CTrovik32View.h"
#include "ui/view/busy.h"

namespace {

const QByteArray kDefaultEditor = "c:\\windows\\notepad.exe";
const QString kDestinationTitle = QStringLiteral("複写、移動先のフォルダを指定して下さい｡");

QString operationName(int id)
{
    switch (id) {
    case res::ID_FILE_COPY: return QStringLiteral("複写");
    case res::ID_FILE_MOVE: return QStringLiteral("移動");
    case res::ID_FILE_DELETE: return QStringLiteral("削除");
    default: return QStringLiteral("名前変更");
    }
}

// Hands the worker's questions to the window's thread and keeps the latest
// progress for the dialog.
class WindowObserver : public platform::FileOpObserver {
public:
    WindowObserver(QObject* window, std::function<platform::FailureChoice(const platform::FileOpFailure&)> ask)
        : window_(window), ask_(std::move(ask))
    {
    }
    bool cancelled() override { return cancel.load(std::memory_order_relaxed); }
    void progress(const platform::FileOpProgress& p) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = p;
    }
    platform::FailureChoice failed(const platform::FileOpFailure& f) override
    {
        platform::FailureChoice choice = platform::FailureChoice::Cancel;
        QMetaObject::invokeMethod(window_, [&] { choice = ask_(f); }, Qt::BlockingQueuedConnection);
        if (choice == platform::FailureChoice::Cancel)
            cancel.store(true);
        return choice;
    }
    void skipped(const QByteArray& item, const QString& why) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        skippedItems_.append(items::displayText(item) + QStringLiteral(" //") + why);
    }
    platform::FileOpProgress latest()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return latest_;
    }
    QStringList skippedItems()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return skippedItems_;
    }
    std::atomic<bool> cancel{false};

private:
    QObject* window_;
    std::function<platform::FailureChoice(const platform::FileOpFailure&)> ask_;
    std::mutex mutex_;
    platform::FileOpProgress latest_;
    QStringList skippedItems_;
};

platform::FailureChoice askRetrySkipCancel(QWidget* owner, const platform::FileOpFailure& f)
{
    QMessageBox box(QMessageBox::Warning, res::kAppTitle,
                    items::displayText(f.item) + QStringLiteral(" //") + f.reason, QMessageBox::NoButton, owner);
    QPushButton* retry = box.addButton(QStringLiteral("再試行(&R)"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QStringLiteral("スキップ(&S)"), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QStringLiteral("中止(&C)"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == retry)
        return platform::FailureChoice::Retry;
    if (box.clickedButton() == skip)
        return platform::FailureChoice::Skip;
    return platform::FailureChoice::Cancel;
}

// The executables the first filter of the editor dialog shows, by permission.
class ExecutableFilter : public QSortFilterProxyModel {
public:
    bool executablesOnly = true;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        if (!executablesOnly)
            return true;
        const QModelIndex i = sourceModel()->index(row, 0, parent);
        auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!fs)
            return true;
        const QFileInfo info = fs->fileInfo(i);
        return info.isDir() || info.isExecutable();
    }
};

}  // namespace

bool CTrovik32View::GetSelectedItemPath(QByteArray& out)
{
    const int s = fileList->curSel();
    if (s < 0)
        return false;
    const QByteArray t = fileList->text(s);
    switch (fileList->model().kind(s)) {
    case items::Kind::Folder:
        out = currentFolder + '\\' + items::folderName(t);
        return true;
    case items::Kind::File:
        if (archiveMode)
            return false;
        out = currentFolder + '\\' + t;
        return true;
    default:  // the parent item, the folder itself, a drive
        return false;
    }
}

bool CTrovik32View::BrowseForDestination(QByteArray& out)
{
    QByteArray native;
    const QByteArray start = lastDestNative_;
    if (runFolderDialog) {
        if (!runFolderDialog(start, native))
            return false;
    } else {
        // Qt's own chooser, so it works without a desktop session.
        QFileDialog dialog(this, kDestinationTitle);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setFileMode(QFileDialog::Directory);
        // The folder chosen last, else the folder shown.
        dialog.setDirectory(QFile::decodeName(start.isEmpty() ? platform::nativePath(currentFolder) : start));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        native = QFile::encodeName(dialog.selectedFiles().first());
    }
    if (native.isEmpty())
        return false;
    lastDestNative_ = native;
    // A folder outside every drive is still a destination: its native path stands.
    const QByteArray program = pathMap().fromNative(native);
    lastDestFolder = program.isEmpty() ? native : program;
    out = lastDestFolder;
    return true;
}

platform::FileOpResult CTrovik32View::runFileOperation(int id, const std::function<platform::FileOpResult(platform::FileOpObserver&)>& op)
{
    WindowObserver observer(this, [this](const platform::FileOpFailure& f) {
        return askFailure ? askFailure(f) : askRetrySkipCancel(this, f);
    });
    platform::FileOpResult result;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        result = op(observer);
        done.store(true);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    fileOpCancel_ = &observer.cancel;
    {
        // The window keeps painting; keys and commands wait, Escape cancels.
        // Escape arrives as a queued call, perhaps after the operation ended:
        // it goes through the view, which knows whether one still runs.
        busy_ = std::make_unique<BusyGuard>(this, [this] { cancelFileOperation(); });
        QProgressDialog progress(this);
        progress.setWindowTitle(res::kAppTitle);
        progress.setCancelButtonText(QStringLiteral("キャンセル"));
        progress.setMinimumDuration(0);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setRange(0, 1000);
        progress.setWindowModality(Qt::WindowModal);
        progress.hide();
        connect(&progress, &QProgressDialog::canceled, this, [&observer] { observer.cancel.store(true); });
        QElapsedTimer clock;
        clock.start();
        QTimer tick;
        tick.setInterval(100);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (progress.wasCanceled())
                observer.cancel.store(true);
            if (done.load() || clock.elapsed() < 500)
                return;  // quick operations show no dialog
            const platform::FileOpProgress p = observer.latest();
            progress.setLabelText(operationName(id) + QStringLiteral("中… ") + items::displayText(p.currentItem)
                                  + QStringLiteral("\n") + FormatGroupedNumber(p.filesDone) + QStringLiteral(" / ")
                                  + FormatGroupedNumber(p.filesTotal) + QStringLiteral(" ﾌｧｲﾙ　")
                                  + FormatGroupedNumber(p.bytesDone) + QStringLiteral(" / ")
                                  + FormatGroupedNumber(p.bytesTotal) + QStringLiteral(" ﾊﾞｲﾄ"));
            progress.setValue(p.bytesTotal ? static_cast<int>(p.bytesDone * 1000 / p.bytesTotal) : 0);
            if (!progress.isVisible())
                progress.show();
        });
        tick.start();
        if (!done.load())
            loop.exec();
        worker.join();
        busy_.reset();
    }
    fileOpCancel_ = nullptr;
    if (!result.message.isEmpty())
        showMessage(this, result.message);
    const QStringList skipped = observer.skippedItems();
    if (!skipped.isEmpty())
        showMessage(this, QStringLiteral("次の項目は複写されませんでした:\n") + skipped.mid(0, 20).join(QLatin1Char('\n'))
                              + (skipped.size() > 20 ? QStringLiteral("\n…") : QString()));
    return result;
}

void CTrovik32View::OnFileCopy()
{
    QByteArray path, dest;
    if (!GetSelectedItemPath(path) || !BrowseForDestination(dest))
        return;
    const QByteArray source = platform::nativePath(path), folder = lastDestNative_;
    runFileOperation(res::ID_FILE_COPY, [&](platform::FileOpObserver& o) { return platform::copyItem(source, folder, o); });
    // The list is not listed again, even when the copy went into it.
}

void CTrovik32View::OnFileMove()
{
    QByteArray path, dest;
    if (!GetSelectedItemPath(path) || !BrowseForDestination(dest))
        return;
    const QByteArray source = platform::nativePath(path), folder = lastDestNative_;
    runFileOperation(res::ID_FILE_MOVE, [&](platform::FileOpObserver& o) { return platform::moveItem(source, folder, o); });
    selectionStack[depth] -= 1;
    ListFolder(currentFolder);
}

void CTrovik32View::OnFileDelete()
{
    QByteArray path;
    if (!GetSelectedItemPath(path))
        return;
    const QByteArray source = platform::nativePath(path);
    runFileOperation(res::ID_FILE_DELETE, [&](platform::FileOpObserver& o) { return platform::trashItem(source, o); });
    selectionStack[depth] -= 1;
    ListFolder(currentFolder);
}

void CTrovik32View::OnFileRename()
{
    QByteArray path;
    if (!GetSelectedItemPath(path))
        return;
    const qsizetype cut = path.lastIndexOf('\\');
    const QByteArray folder = path.left(cut), oldName = path.mid(cut + 1);
    CFilePathDialog dialog(this);
    dialog.pathText = items::displayText(oldName);
    const QString shown = dialog.pathText;
    const bool ok = runRenameDialog ? runRenameDialog(dialog) : dialog.exec() == QDialog::Accepted;
    // A name left as shown keeps its own bytes, even where they are no UTF-8.
    if (ok && dialog.pathText != shown) {
        const QByteArray target = platform::nativePath(folder + '\\' + dialog.pathText.toUtf8());
        const QByteArray source = platform::nativePath(path);
        runFileOperation(res::ID_FILE_RENAME,
                         [&](platform::FileOpObserver& o) { return platform::renameItem(source, target, o); });
    }
    ListFolder(currentFolder);
}

void CTrovik32View::OnFileEdit()
{
    QByteArray path;
    if (!GetSelectedItemPath(path))
        return;
    const QByteArray item = platform::nativePath(path);
    // The editor gets the item as one argument; the default editor, or a path
    // that names no program, means the desktop's own application for it.
    const QByteArray editor = platform::nativePath(editorPath);
    if (editorPath.compare(kDefaultEditor, Qt::CaseInsensitive) == 0 || !platform::isExecutableFile(editor)
        || !platform::spawnDetached(editor, {item}))
        platform::openWithDesktop(path);
}

void CTrovik32View::OnEditorSetting()
{
    QByteArray chosen;
    if (runEditorDialog) {
        if (!runEditorDialog(chosen))
            return;
    } else {
        QFileDialog dialog(this);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        const QStringList filters{QStringLiteral("EXEﾌｧｲﾙ(*.EXE)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")};
        dialog.setNameFilters(filters);
        // On Linux a program is a file one may run, whatever its name.
        auto* proxy = new ExecutableFilter;
        dialog.setProxyModel(proxy);
        auto apply = [&dialog, proxy, filters](const QString& f) {
            proxy->executablesOnly = f == filters[0];
            if (auto* fs = qobject_cast<QFileSystemModel*>(proxy->sourceModel()))
                fs->setNameFilters({QStringLiteral("*")});
            proxy->invalidate();
        };
        connect(&dialog, &QFileDialog::filterSelected, &dialog, apply);
        apply(filters[0]);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        chosen = QFile::encodeName(dialog.selectedFiles().first());
    }
    const QByteArray program = pathMap().fromNative(chosen);
    editorPath = program.isEmpty() ? chosen : program;
}

void CTrovik32View::ShowFileMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    for (const res::MenuEntry& e : res::fileMenu().entries) {
        if (e.kind == res::MenuEntry::Separator) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(e.text);
        a->setData(e.id);
        a->setStatusTip(res::prompt(e.id));
    }
    QAction* chosen = runPopup ? runPopup(menu, globalPos) : menu.exec(globalPos);
    if (chosen)
        onCommand(chosen->data().toInt());
}

void CTrovik32View::OnFileMenu()
{
    ShowFileMenu(mapToGlobal(QPoint(width() / 2, height() / 2)));
}

void CTrovik32View::OnDriveChange()
{
    QMenu menu(this);
    const int n = driveList->count();
    driveMenuCount = n;
    for (int i = 0; i < n; ++i) {
        QAction* a = menu.addAction(items::displayText(driveList->text(i)));
        a->setData(res::ID_DRIVE_FIRST + i);
        a->setStatusTip(res::prompt(res::ID_DRIVE_FIRST + i));
    }
    const QPoint centre = mapToGlobal(QPoint(width() / 2, height() / 2));
    QAction* chosen = runPopup ? runPopup(menu, centre) : menu.exec(centre);
    if (chosen)
        onCommand(chosen->data().toInt());
}

bool CTrovik32View::isDriveCommand(int id) const
{
    return id >= res::ID_DRIVE_FIRST && id < res::ID_DRIVE_FIRST + driveMenuCount;
}

void CTrovik32View::OnDriveCommand(int id)
{
    previousFolder = currentFolder;
    SwitchDrive(items::driveLetter(driveList->text(id - res::ID_DRIVE_FIRST)));
}

void CTrovik32View::contextMenuEvent(QContextMenuEvent* e)
{
    ShowFileMenu(e->globalPos());
}
