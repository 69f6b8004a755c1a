// The program as a whole: start-up with damaged, unreadable and hostile
// profiles, the command line, what is written when, and the end of a run by
// SIGTERM and SIGHUP.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>

#include "core/res/resources.h"
#include "core/settings/settings.h"
#include "support/uiharness.h"
#include "ui/app/CTrovik32App.h"

namespace {

// A private XDG_CONFIG_HOME, the profile in it, and the message boxes recorded.
class Config {
public:
    Config() : old_(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        QDir(dir.path()).mkpath("Ostrel");
        messageHook() = [this](QWidget*, const QString& t) { messages << t; };
    }
    ~Config()
    {
        messageHook() = nullptr;
        qputenv("XDG_CONFIG_HOME", old_);
    }
    QString profile() const { return dir.filePath("Ostrel/Trovik32.conf"); }
    // A folder below the configuration folder, as the program names it.
    QByteArray programPath(const QString& relative) const
    {
        QDir(dir.path()).mkpath(relative);
        return "c:" + QFile::encodeName(dir.filePath(relative)).replace('/', '\\');
    }
    void write(const QByteArray& text) const { testsupport::writeFile(profile(), text); }

    QTemporaryDir dir;
    QStringList messages;

private:
    QByteArray old_;
};

// Runs the event loop until the condition holds or a generous time has passed.
template <class F>
bool waitFor(F condition)
{
    const QDateTime end = QDateTime::currentDateTime().addSecs(20);
    while (!condition() && QDateTime::currentDateTime() < end)
        QTest::qWait(10);
    return condition();
}

// 200 x 150 at the top left (the window system may move the window inside
// its frame, so the frame's corner is what is at the top left).
void expectFirstRunPlacement(QWidget* w)
{
    EXPECT_EQ(w->size(), QSize(200, 150));
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(0, 0));
}

QRect screen()
{
    return QGuiApplication::primaryScreen()->geometry();
}

}  // namespace

TEST(StartUp, AProfileThatCannotBeReadIsReportedOnceAndNeverTouched)
{
    // The profile is a link to a volume that is not there now.
    Config c;
    QDir(c.dir.path()).mkpath("stick");
    const QString target = c.dir.filePath("stick/Trovik32.conf");
    ASSERT_TRUE(QFile::link(target, c.profile()));
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({}));
        ASSERT_EQ(c.messages.size(), 1);
        EXPECT_TRUE(c.messages[0].startsWith(c.profile())) << c.messages[0].toStdString();
        EXPECT_TRUE(c.messages[0].contains("保存しません"));
        // The defaults: first-run placement, start at c:.
        expectFirstRunPlacement(app.frame());
        EXPECT_EQ(app.frame()->view()->currentFolder, "c:");
        app.frame()->setGeometry(40, 50, 300, 200);
        app.frame()->command(res::ID_APP_EXIT);
    }
    EXPECT_EQ(c.messages.size(), 1);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QFileInfo(c.profile()).isSymLink());
    EXPECT_EQ(QDir(c.dir.filePath("Ostrel")).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Trovik32.conf"});
}

TEST(StartUp, ADamagedProfileIsKeptAsBakReportedOnceAndReplacedAtTheEnd)
{
    Config c;
    const QByteArray damaged = "[WinPos]\nleft=300\ngarbage without equals\n";
    c.write(damaged);
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({}));
        ASSERT_EQ(c.messages.size(), 1);
        EXPECT_TRUE(c.messages[0].contains(c.profile() + ".bak"));
        expectFirstRunPlacement(app.frame());
        EXPECT_EQ(testsupport::readFile(c.profile() + ".bak"), damaged);
        app.frame()->setGeometry(40, 50, 300, 200);
        app.frame()->command(res::ID_APP_EXIT);
    }
    EXPECT_EQ(testsupport::readFile(c.profile() + ".bak"), damaged);
    QSettingsProfile p(c.profile());
    EXPECT_EQ(p.state(), QSettingsProfile::State::Ok);
    EXPECT_EQ(loadWindowRect(p), (WindowRect{40, 50, 340, 250}));
}

TEST(FramePlacement, RectanglesThatWouldHideTheWindowGiveWayToTheFirstRun)
{
    const QRect s = screen();
    const QRect firstRun(0, 0, 200, 150);
    struct Case {
        const char* what;
        WindowRect saved;
        bool kept;
    };
    const Case cases[] = {
        {"no width", {100, 100, 100, 300}, false},
        {"no height", {100, 300, 400, 300}, false},
        {"right left of left", {300, 200, 100, 400}, false},
        {"bottom above top", {100, 400, 300, 200}, false},
        {"on a monitor that is gone", {s.right() + 5000, s.bottom() + 5000, s.right() + 5640, s.bottom() + 5480}, false},
        {"far to the left", {-3000, 100, -2000, 400}, false},
        {"wholly above", {100, -400, 400, -100}, false},
        {"widest possible", {INT_MIN, 0, INT_MAX, 300}, false},
        {"tallest possible", {0, INT_MIN, 300, INT_MAX}, false},
        {"title bar just above the top", {100, -20, 400, 300}, true},
        {"partly off the left", {-100, 10, 300, 300}, true},
        {"bottom right corner", {s.right() - 10, s.bottom() - 10, s.right() + 490, s.bottom() + 390}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UiHarness h;
        {
            QSettingsProfile p(h.profileFile());
            saveWindowRect(p, c.saved);
        }
        h.profile = std::make_unique<QSettingsProfile>(h.profileFile());
        h.frame = new CMainFrame(*h.profile, "無題");
        const WindowRect& r = c.saved;
        if (c.kept)
            EXPECT_EQ(h.frame->geometry(), QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
        else
            EXPECT_EQ(h.frame->geometry(), firstRun);
    }
}

TEST(ViewSettings, ItemAndFontHeightsFromTheProfileAreBounded)
{
    UiHarness h;
    testsupport::writeFile(h.profileFile(), "[ListFont]\nListlfHeight=0\nlfHeight=2147483647\n"
                                            "[EditFont]\nlfHeight=-2147483648\n[Path]\nStartPath=c:\n");
    CTrovik32View* v = h.open()->view();
    EXPECT_EQ(v->listItemHeight, 18);
    EXPECT_EQ(v->fileList->itemHeight(), 18);
    EXPECT_EQ(v->listLogFont.lfHeight, 18);
    EXPECT_EQ(v->editLogFont.lfHeight, 18);
    EXPECT_EQ(v->fileList->font().pixelSize(), 16);  // seven eighths of 18
    h.close();
    testsupport::writeFile(h.profileFile(), "[ListFont]\nListlfHeight=100000\n[Path]\nStartPath=c:\n");
    v = h.open()->view();
    EXPECT_EQ(v->fileList->itemHeight(), 18);
}

TEST(StartUp, AnEmptyArgumentIsNoFile)
{
    Config c;
    const QString doc = c.dir.filePath("doc.txt");
    testsupport::writeFile(doc, "d");
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({""}));
        EXPECT_EQ(app.frame()->windowTitle(), res::kUntitled + " - Trovik32");
    }
    {
        // As the framework's parser does: the first argument that names something.
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({"", doc}));
        EXPECT_EQ(app.frame()->windowTitle(), "doc.txt - Trovik32");
    }
    EXPECT_TRUE(c.messages.isEmpty());
}

TEST(StartUp, NothingIsWrittenWhileStartingTheRecentListGoesOutAtTheEnd)
{
    Config c;
    const QString doc = c.dir.filePath("doc.txt");
    testsupport::writeFile(doc, "d");
    c.write("[Recent File List]\nFile1=/old/one.txt\n"
            "[DriveLetters]\nz=/media/me/GONE\nz_LastSeen=2025-01-01T00:00:00Z\n");
    // One run first, so every volume of this machine has its letter already.
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({}));
    }
    const QByteArray before = testsupport::readFile(c.profile());
    const QDateTime modified = QFileInfo(c.profile()).lastModified();
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({doc}));
        QTest::qWait(50);  // let any write the start-up queued take place
        EXPECT_EQ(testsupport::readFile(c.profile()), before);
        EXPECT_EQ(QFileInfo(c.profile()).lastModified(), modified);
        app.frame()->command(res::ID_APP_EXIT);
    }
    QSettingsProfile p(c.profile());
    EXPECT_EQ(p.readString("Recent File List", "File1", ""), QFile::encodeName(doc));
    EXPECT_EQ(p.readString("Recent File List", "File2", ""), "/old/one.txt");
    EXPECT_EQ(p.readString("DriveLetters", "z", ""), "/media/me/GONE");
    EXPECT_EQ(p.readString("DriveLetters", "z_LastSeen", ""), "2025-01-01T00:00:00Z");
}

TEST(Signals, TermAndHupCloseTheWindowAndSaveAsEscapeDoes)
{
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        Config c;
        const QByteArray place = c.programPath("place");
        c.write("[Path]\nStartPath=" + QByteArray(place).replace('\\', "\\\\") + "\n");
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({}));
        app.frame()->setGeometry(30, 40, 300, 200);
        std::raise(sig);
        EXPECT_TRUE(waitFor([&] { return app.frame() == nullptr; }));
        app.ExitInstance();
        QSettingsProfile p(c.profile());
        EXPECT_EQ(loadWindowRect(p), (WindowRect{30, 40, 330, 240}));
        EXPECT_EQ(p.readString("Path", "StartPath", ""), place);
    }
}

TEST(Signals, ASignalWhileADialogIsOpenEndsTheDialogFirst)
{
    Config c;
    CTrovik32App app;
    ASSERT_TRUE(app.InitInstance({}));
    bool dialogSeen = false, rescued = false;
    QTimer::singleShot(0, [&] {
        dialogSeen = QApplication::activeModalWidget() != nullptr;
        std::raise(SIGHUP);
    });
    // Should the signal not end the box, this ends it, so the test cannot hang.
    QTimer::singleShot(15000, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            rescued = true;
            w->close();
        }
    });
    app.frame()->command(res::ID_APP_ABOUT);  // the version box, modal
    EXPECT_TRUE(dialogSeen);
    EXPECT_FALSE(rescued);
    // The window closes once the command that opened the box has returned.
    EXPECT_TRUE(waitFor([&] { return app.frame() == nullptr; }));
    app.ExitInstance();
    QSettingsProfile p(c.profile());
    EXPECT_EQ(p.readString("Path", "StartPath", ""), "c:");
}

TEST(Signals, TheProgramItselfSavesItsSettingsOnTermAndHup)
{
    const QString program = QCoreApplication::applicationDirPath() + "/trovik32";
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << "build trovik32 first";
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        Config c;
        const QByteArray place = c.programPath("place");
        c.write("[Path]\nStartPath=" + QByteArray(place).replace('\\', "\\\\") + "\n");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", c.dir.path());
        child.setProcessEnvironment(env);
        child.start(program, {});
        ASSERT_TRUE(child.waitForStarted());
        const qint64 pid = child.processId();
        // Ready once the handler is in place (the signal's bit in SigCgt).
        auto handles = [&] {
            const QByteArray status = testsupport::readFile(QString("/proc/%1/status").arg(pid));
            const qsizetype at = status.indexOf("SigCgt:");
            const quint64 mask = at < 0 ? 0 : status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16);
            return (mask >> (sig - 1)) & 1;
        };
        EXPECT_TRUE(waitFor(handles));
        ::kill(static_cast<pid_t>(pid), sig);
        const bool finished = child.waitForFinished(30000);
        EXPECT_TRUE(finished);
        if (!finished) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            child.waitForFinished();
            continue;
        }
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        QSettingsProfile p(c.profile());
        EXPECT_EQ(p.readString("Path", "StartPath", ""), place);
        const WindowRect r = loadWindowRect(p);
        EXPECT_EQ(r.right - r.left, 200);
        EXPECT_EQ(r.bottom - r.top, 150);
        EXPECT_NE(p.readString("EditFont", "lfFaceName", ""), "");
    }
}
