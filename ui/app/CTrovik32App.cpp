#include "ui/app/CTrovik32App.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "core/res/resources.h"
#include "platform/profile_qsettings.h"
#include "ui/app/appicon.h"
#include "ui/app/CMainFrame.h"
#include "ui/app/messagebox.h"

namespace {

// The recently-used list keeps 4 entries, newest first.
void addRecentFile(Profile& profile, const QByteArray& path)
{
    const QString section = QStringLiteral("Recent File List");
    QList<QByteArray> files{path};
    for (int i = 1; i <= 4; ++i) {
        const QByteArray f = profile.readString(section, QStringLiteral("File%1").arg(i), QByteArray());
        if (!f.isEmpty() && f != path)
            files.append(f);
    }
    for (int i = 1; i <= 4; ++i)
        profile.writeString(section, QStringLiteral("File%1").arg(i), i <= files.size() ? files[i - 1] : QByteArray());
}

}  // namespace

CTrovik32App::CTrovik32App() = default;

CTrovik32App::~CTrovik32App()
{
    delete frame_.data();
}

bool CTrovik32App::InitInstance(const QStringList& arguments)
{
    profile_ = std::make_unique<QSettingsProfile>();
    QString title = res::kUntitled;
    if (!arguments.isEmpty()) {
        // The document only takes the file's name: it must be readable.
        const QString path = arguments.first();
        QFile f(path);
        if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
            showMessage(nullptr, path + QStringLiteral("\nファイルを開くことができません。"));
            return false;
        }
        title = QFileInfo(path).fileName();
        addRecentFile(*profile_, QFileInfo(path).absoluteFilePath().toUtf8());
    }
    frame_ = new CMainFrame(*profile_, title);
    frame_->show();
    return true;
}

int CTrovik32App::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QApplication::setApplicationName(res::kAppTitle);
    // Ties the window to trovik32.desktop (its icon and name) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik32"));
    QApplication::setWindowIcon(appIcon());
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    CTrovik32App trovik;
    if (!trovik.InitInstance(QApplication::arguments().mid(1)))
        return 1;
    return QApplication::exec();
}
