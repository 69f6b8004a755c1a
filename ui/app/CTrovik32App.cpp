#include "ui/app/CTrovik32App.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include "core/res/resources.h"
#include "platform/profile_qsettings.h"
#include "platform/session.h"
#include "platform/signals.h"
#include "ui/app/appicon.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/messagebox.h"
#include "ui/qtjapanese.h"

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");
constexpr int kRecentCount = 4;

}  // namespace

CTrovik32App::CTrovik32App() = default;

CTrovik32App::~CTrovik32App()
{
    ExitInstance();
}

bool CTrovik32App::InitInstance(const QStringList& arguments)
{
    startingUp_ = true;
    profile_ = std::make_unique<QSettingsProfile>();
    signals_ = std::make_unique<platform::TerminationSignals>();
    QObject::connect(signals_.get(), &platform::TerminationSignals::received, signals_.get(),
                     [this](int) { closeOnSignal(); });
    // The recently-used list is read now and written when the program ends.
    for (int i = 1; i <= kRecentCount; ++i) {
        const QByteArray f = profile_->readString(kRecentSection, QStringLiteral("File%1").arg(i), QByteArray());
        if (!f.isEmpty())
            recentFiles_.append(f);
    }
    // The first argument that is not empty names the file; "" names none.
    QString path;
    for (const QString& a : arguments) {
        if (!a.isEmpty()) {
            path = a;
            break;
        }
    }
    QString title = res::kUntitled;
    if (!path.isEmpty()) {
        // The document only takes the file's name: it must be readable.
        QFile f(path);
        if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
            showMessage(nullptr, path + QStringLiteral("\nファイルを開くことができません。"));
            startingUp_ = false;
            return false;
        }
        title = QFileInfo(path).fileName();
        const QByteArray entry = QFile::encodeName(QFileInfo(path).absoluteFilePath());
        recentFiles_.removeAll(entry);
        recentFiles_.prepend(entry);
        while (recentFiles_.size() > kRecentCount)
            recentFiles_.removeLast();
    }
    frame_ = new CMainFrame(*profile_, title);
    frame_->show();
    if (platform::headlessSession())
        frame_->fillScreen();
    // A profile that was damaged or cannot be read is reported once.
    if (!profile_->notice().isEmpty())
        showMessage(frame_, profile_->notice());
    startingUp_ = false;
    return true;
}

void CTrovik32App::closeOnSignal()
{
    // A box or menu open inside some handler is ended first; the frame is
    // closed from the main loop only, once that handler has returned, so no
    // handler finds its panes gone.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (startingUp_ || QThread::currentThread()->loopLevel() > 1 || QApplication::activeModalWidget()
        || QApplication::activePopupWidget()) {
        QTimer::singleShot(50, signals_.get(), [this] { closeOnSignal(); });
        return;
    }
    if (frame_)
        frame_->close();
}

void CTrovik32App::ExitInstance()
{
    if (exited_)
        return;
    exited_ = true;
    // The frame writes the placement and the view's settings as it goes.
    delete frame_.data();
    signals_.reset();
    if (!profile_)
        return;
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= recentFiles_.size())
            profile_->writeString(kRecentSection, key, recentFiles_[i - 1]);
        else if (!profile_->readString(kRecentSection, key, QByteArray()).isEmpty())
            profile_->writeString(kRecentSection, key, QByteArray());
    }
    profile_->sync();
}

int CTrovik32App::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QApplication::setApplicationName(res::kAppTitle);
    // Ties the window to trovik32.desktop (its icon and name) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik32"));
    QApplication::setWindowIcon(appIcon());
    const QtJapanese japanese;
    CTrovik32App trovik;
    if (!trovik.InitInstance(QApplication::arguments().mid(1)))
        return 1;
    const int code = QApplication::exec();
    trovik.ExitInstance();
    return code;
}
