// The folder-size command: the total of every file below the selected folder
// or drive, summed on worker threads while the window stays alive.
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <system_error>
#include <thread>

#include "core/browse/itemtext.h"
#include "core/fileops/foldersize.h"
#include "core/res/resources.h"
#include "core/view/drives.h"
#include "platform/foldersize.h"
#include "ui/browse/panes.h"
#include "ui/view/CTrovik32View.h"

namespace {

// Which folder the command sums for the item at index of the file list, as a
// program path; empty when it sums nothing (a file item, the parent item).
QByteArray folderSizeTarget(const CTrovik32View& view, int index)
{
    const QByteArray text = view.fileList->text(index);
    switch (view.fileList->model().kind(index)) {
    case items::Kind::Drive: {
        const char letter = items::driveLetter(text);
        return letter ? QByteArray(1, letter) + ':' : QByteArray();
    }
    case items::Kind::Self:
        return view.currentFolder;  // the folder's own entry: the folder shown
    case items::Kind::Folder:
        return view.currentFolder + '\\' + items::folderName(text);
    default:  // the parent item, a file or an archive member
        return QByteArray();
    }
}

constexpr int kFirstProgressMs = 300;
constexpr int kProgressEveryMs = 250;

}  // namespace

// One walk: its thread, its progress in pane 0, and the keys and clicks it
// holds back from the view until it ends or Escape cancels it.
class FolderSizeRun : public QObject {
public:
    FolderSizeRun(CTrovik32View* view, QByteArray nativeFolder) : QObject(view), view_(view)
    {
        qApp->installEventFilter(this);
        progressTimer_.setSingleShot(false);
        connect(&progressTimer_, &QTimer::timeout, this, [this] { showProgress(); });
        progressTimer_.start(kFirstProgressMs);
        WalkFolderSize walk = view->walkFolderSize;
        if (!walk)
            walk = [](const QByteArray& folder, platform::FolderSizeProgress& p) { return platform::folderSize(folder, p); };
        try {
            thread_ = std::thread([this, walk, nativeFolder] {
                const uint64_t total = walk(nativeFolder, progress_);
                QMetaObject::invokeMethod(this, [this, total] { finish(total); }, Qt::QueuedConnection);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the walk runs here, and the window waits for it.
            const uint64_t total = walk(nativeFolder, progress_);
            QMetaObject::invokeMethod(this, [this, total] { finish(total); }, Qt::QueuedConnection);
        }
    }

    // Also when the view goes away during the walk: then the view is half
    // destroyed already and is not touched.
    ~FolderSizeRun() override
    {
        progress_.cancel = true;
        if (thread_.joinable())
            thread_.join();
        qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (!holding())
                return false;
            // An open menu keeps its keys; a command chosen in it is refused by the frame.
            if (QApplication::activePopupWidget())
                return false;
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
                cancel();
            e->accept();  // an accepted shortcut override keeps the accelerators from firing
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu: {
            if (!holding())
                return false;
            // Clicks in the view would change the selection under the walk; the
            // menu bar and the status bar stay live, so their prompts still show.
            auto* w = qobject_cast<QWidget*>(watched);
            return w && (w == view_ || view_->isAncestorOf(w));
        }
        default:
            return false;
        }
    }

private:
    bool holding() const { return view_ && view_->folderSizeRun == this; }

    using WalkFolderSize = std::function<uint64_t(const QByteArray&, platform::FolderSizeProgress&)>;

    void showProgress()
    {
        progressTimer_.setInterval(kProgressEveryMs);
        if (holding())
            emit view_->paneText(0, folderSizeProgressText(progress_.files.load(), progress_.bytes.load()));
    }

    // Escape: pane 0 is idle again at once and the view is free; the thread
    // stops at its next batch of entries and then this run goes away.
    void cancel()
    {
        progress_.cancel = true;
        if (holding())
            emit view_->paneText(0, res::kIdleText);
        // The key being filtered must not reach the view, so the filter goes
        // only after it has been handled.
        QTimer::singleShot(0, this, [this] { release(); });
    }

    void finish(uint64_t total)
    {
        if (thread_.joinable())
            thread_.join();
        if (!progress_.cancel && holding())
            emit view_->paneText(0, folderSizeResultText(total));
        release();
        deleteLater();
    }

    // The view takes keys and commands again.
    void release()
    {
        progressTimer_.stop();
        qApp->removeEventFilter(this);
        if (holding())
            view_->folderSizeRun = nullptr;
    }

    QPointer<CTrovik32View> view_;
    platform::FolderSizeProgress progress_;
    QTimer progressTimer_;
    std::thread thread_;
};

void CTrovik32View::ShowFolderSize()
{
    if (!listMode || folderSizeRun)
        return;
    const int index = fileList->curSel();
    if (index < 0)
        return;
    const QByteArray target = folderSizeTarget(*this, index);
    if (target.isEmpty())
        return;
    const QByteArray native = pathMap().toNative(target);
    if (native.isEmpty()) {
        emit paneText(0, folderSizeResultText(0));  // a drive without its medium
        return;
    }
    folderSizeRun = new FolderSizeRun(this, native);
}
