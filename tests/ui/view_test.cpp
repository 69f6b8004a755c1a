// The window: creation of the view, its layouts, the settings it keeps, the
// frame's placement, menus, status bar and closing.
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include "core/res/resources.h"
#include "core/settings/settings.h"
#include "support/uiharness.h"
#include "ui/app/CTrovik32App.h"

namespace {

QStringList fileListTexts(CTrovik32View* v)
{
    QStringList l;
    for (int i = 0; i < v->fileList->count(); ++i)
        l << QString::fromUtf8(v->fileList->text(i));
    return l;
}

}  // namespace

TEST(ViewCreation, StartsInTheSavedFolderWithTheFirstItemSelected)
{
    UiHarness h;
    QDir(h.dir.path()).mkpath("a/b/inner");
    testsupport::writeFile(h.dir.filePath("a/b/x.txt"), "x");
    h.setStartPath(h.prog("a/b"));
    CTrovik32View* v = h.open()->view();
    EXPECT_TRUE(h.messages.isEmpty());
    EXPECT_EQ(v->currentFolder, h.prog("a/b"));
    EXPECT_EQ(v->depth, h.prog("a/b").count('\\'));
    for (int i = 0; i <= v->depth; ++i)
        EXPECT_EQ(v->selectionStack[i], 0);
    EXPECT_EQ(v->fileList->curSel(), 0);
    const QStringList items = fileListTexts(v);
    ASSERT_GE(items.size(), 4);
    EXPECT_EQ(items.mid(0, 3), (QStringList{"<..>", "<inner>", "x.txt"}));
    EXPECT_TRUE(items[3].startsWith("<-c->"));
    EXPECT_EQ(v->driveCount, items.size() - 3);
    EXPECT_TRUE(v->listMode);
    EXPECT_FALSE(v->archiveMode);
    EXPECT_TRUE(v->subList->isVisible());
    EXPECT_FALSE(v->contentPane->isVisible());
    EXPECT_TRUE(v->lastDestFolder.isEmpty());
}

TEST(ViewCreation, DriveRootStartPathIsUsedUnchanged)
{
    UiHarness h;
    h.setStartPath("c:");
    CTrovik32View* v = h.open()->view();
    EXPECT_EQ(v->currentFolder, "c:");
    EXPECT_EQ(v->depth, 0);
    EXPECT_NE(fileListTexts(v).first(), "<..>");  // a drive root has no parent item
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST(ViewCreation, StartPathNamingAFileStartsInItsFolder)
{
    UiHarness h;
    testsupport::writeFile(h.dir.filePath("docs/readme.txt"), "hello");
    h.setStartPath(h.prog("docs/readme.txt"));
    CTrovik32View* v = h.open()->view();
    EXPECT_EQ(v->currentFolder, h.prog("docs"));
    EXPECT_EQ(v->depth, h.prog("docs").count('\\'));
}

TEST(ViewCreation, MissingStartFolderSaysSoAndStartsAtDriveC)
{
    UiHarness h;
    const QByteArray missing = h.prog("gone/away");
    h.setStartPath(missing);
    CTrovik32View* v = h.open()->view();
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], QString::fromUtf8(missing) + " //媒体が入っていません。Cドライブから起動します。");
    EXPECT_EQ(v->currentFolder, "c:");
    EXPECT_EQ(v->previewFolder, "c:");
    EXPECT_EQ(v->depth, 0);
    EXPECT_EQ(v->selectionStack[0], 0);
}

TEST(ViewLayout, TopThirdForTheListAndOneUncoveredRow)
{
    UiHarness h;
    h.setStartPath(h.prog());
    CTrovik32View* v = h.open()->view();
    v->resize(300, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->fileList->geometry(), QRect(0, 0, 300, 33));
    EXPECT_EQ(v->subList->geometry(), QRect(0, 34, 300, 66));
    EXPECT_EQ(v->contentPane->geometry(), QRect(0, 34, 300, 66));
    v->resize(300, 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->fileList->geometry().height(), 0);
    EXPECT_EQ(v->subList->geometry(), QRect(0, 1, 300, 1));
}

TEST(ViewLayout, FullViewCoversTheViewAndFollowsResizes)
{
    UiHarness h;
    testsupport::writeFile(h.dir.filePath("f.txt"), "text");
    h.setStartPath(h.prog());
    CTrovik32View* v = h.open()->view();
    v->EnterFullView(1);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->selectionStack[v->depth], 1);
    EXPECT_FALSE(v->fileList->isVisible());
    EXPECT_EQ(v->contentPane->geometry(), v->rect());
    EXPECT_TRUE(v->contentPane->hasFocus() || !v->window()->isActiveWindow());
    v->resize(400, 250);
    QCoreApplication::processEvents();
    EXPECT_EQ(v->contentPane->geometry(), QRect(0, 0, 400, 250));
    EXPECT_FALSE(v->fileList->isVisible());
    v->EnterListLayout();
    EXPECT_TRUE(v->listMode);
    EXPECT_TRUE(v->fileList->isVisible());
    EXPECT_TRUE(v->contentPane->isVisible());
    EXPECT_FALSE(v->subList->isVisible());
    EXPECT_EQ(v->fileList->curSel(), 1);
    EXPECT_EQ(v->fileList->geometry(), QRect(0, 0, 400, 83));
}

TEST(ViewSettings, SavedOnCloseWithTheFolderShownLastAsStartPath)
{
    UiHarness h;
    QDir(h.dir.path()).mkpath("work/src");
    h.setStartPath(h.prog("work"));
    CTrovik32View* v = h.open()->view();
    EXPECT_EQ(v->listItemHeight, 18);
    EXPECT_EQ(v->fileList->itemHeight(), 18);
    EXPECT_EQ(v->editorPath, "c:\\windows\\notepad.exe");
    v->currentFolder = h.prog("work/src");
    v->listLogFont.lfHeight = -20;
    v->marginTop = 33;
    h.close();
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(p.readString("Path", "StartPath", ""), h.prog("work/src"));
    EXPECT_EQ(p.readInt("ListFont", "lfHeight", 0), -20);
    EXPECT_EQ(p.readInt("P_Margin", "top", 0), 33);
    EXPECT_EQ(p.readString("EditFont", "lfFaceName", ""), "System");
    EXPECT_EQ(p.readString("Path", "EditorPath", ""), "c:\\windows\\notepad.exe");
}

TEST(FramePlacement, FirstRunIs200By150AtTheTopLeft)
{
    UiHarness h;
    h.setStartPath(h.prog());
    h.profile = std::make_unique<QSettingsProfile>(h.profileFile());
    h.frame = new CMainFrame(*h.profile, "無題");
    EXPECT_EQ(h.frame->geometry(), QRect(0, 0, 200, 150));
    EXPECT_EQ(h.frame->windowTitle(), "無題 - Trovik32");
}

TEST(FramePlacement, MovedAndResizedWindowReopensThere)
{
    UiHarness h;
    h.setStartPath(h.prog());
    h.open();
    h.frame->setGeometry(300, 200, 640, 480);
    h.close();
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(loadWindowRect(p), (WindowRect{300, 200, 940, 680}));
    h.profile = std::make_unique<QSettingsProfile>(h.profileFile());
    h.frame = new CMainFrame(*h.profile, "無題");
    EXPECT_EQ(h.frame->geometry(), QRect(300, 200, 640, 480));
}

TEST(FramePlacement, ClosedMaximisedStoresTheRestoredRectangle)
{
    UiHarness h;
    h.setStartPath(h.prog());
    h.open();
    h.frame->setGeometry(50, 60, 500, 400);
    QCoreApplication::processEvents();
    h.frame->showMaximized();
    QCoreApplication::processEvents();
    h.close();
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(loadWindowRect(p), (WindowRect{50, 60, 550, 460}));
}

TEST(FrameMenus, ExactTextsPromptsAndGreyedCommands)
{
    UiHarness h;
    h.setStartPath(h.prog());
    CMainFrame* f = h.open();
    QStringList titles;
    for (QAction* a : f->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "設定(&S)", "ﾍﾙﾌﾟ(&H)"}));
    QMenu* file = f->menuBar()->actions()[0]->menu();
    QStringList entries;
    for (QAction* a : file->actions())
        entries << (a->isSeparator() ? QStringLiteral("---") : a->text());
    EXPECT_EQ(entries, (QStringList{"印刷(&P)...\tCtrl+P", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)\tCtrl+V", "ﾌﾟﾘﾝﾀの設定(&R)\tCtrl+R",
                                    "ページ設定(&G)\tCtrl+G", "---", "ﾌｧｲﾙ操作(&M)\tCtrl+M",
                                    "ドライブ変更(&L)\tCtrl+L", "---", "Trovik32の終了"}));
    QMenu* settings = f->menuBar()->actions()[2]->menu();
    ASSERT_EQ(settings->actions().size(), 3);
    EXPECT_EQ(settings->actions()[1]->text(), "フォントの設定(&T)\tCtrl+T");
    QMenu* fonts = settings->actions()[1]->menu();
    ASSERT_NE(fonts, nullptr);
    EXPECT_EQ(fonts->actions()[0]->text(), "ファイルリストのフォント(&L)\tCtrl+L");
    EXPECT_EQ(fonts->actions()[1]->text(), "内容表示のフォント(&E)\tCtrl+E");
    // Prompts: the part before the newline.
    EXPECT_EQ(f->action(res::ID_EDIT_FIND)->statusTip(), "指定した文字列の検索");
    EXPECT_EQ(f->action(res::ID_EDITOR_SETTING)->statusTip(), "");
    // What has no handler yet stays in the menu, greyed.
    EXPECT_TRUE(f->action(res::ID_DRIVE_CHANGE)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_EDITOR_SETTING)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_FOLDER_SIZE)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_EDIT_FIND)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_APP_ABOUT)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_EUC_SJIS)->isEnabled());
    EXPECT_TRUE(f->action(res::ID_FILE_PRINT)->isEnabled());
}

TEST(FrameStatusBar, FourPanesIdleTextAndToggle)
{
    UiHarness h;
    h.setStartPath(h.prog());
    CMainFrame* f = h.open();
    EXPECT_EQ(f->paneText(0), "ﾚﾃﾞｨ");
    EXPECT_GE(f->pane(0)->minimumWidth(), 100);
    EXPECT_GE(f->pane(1)->minimumWidth(), 60);
    EXPECT_GE(f->pane(2)->minimumWidth(), 50);
    EXPECT_GE(f->pane(3)->minimumWidth(), 28);
    // A highlighted entry's prompt covers pane 0 through the status tip.
    QStatusTipEvent tip(res::prompt(res::ID_FILE_PRINT));
    QCoreApplication::sendEvent(f, &tip);
    EXPECT_EQ(f->statusBar()->currentMessage(), "ﾌｧｲﾙを印刷");
    QAction* toggle = f->action(res::ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(f->statusBar()->isVisible());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(f->statusBar()->isVisible());
}

TEST(FrameClosing, EscapeInTheFileListClosesAndSaves)
{
    UiHarness h;
    QDir(h.dir.path()).mkpath("place");
    h.setStartPath(h.prog("place"));
    h.open();
    h.frame->setGeometry(10, 20, 400, 300);
    QTest::keyClick(h.view()->fileList, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(h.frame->isVisible());
    QSettingsProfile p(h.profileFile());
    EXPECT_EQ(loadWindowRect(p), (WindowRect{10, 20, 410, 320}));
    EXPECT_EQ(p.readString("Path", "StartPath", ""), h.prog("place"));
}

TEST(FrameAccelerators, CtrlUConvertsWhereverTheFocusIs)
{
    UiHarness h;
    h.setStartPath(h.prog());
    CMainFrame* f = h.open();
    f->activateWindow();
    QCoreApplication::processEvents();
    h.view()->contentPane->setText(QByteArray("\xa4\xa2", 2));
    QTest::keyClick(h.view()->fileList, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(h.view()->contentPane->text(), QByteArray("\x82\xa0", 2));
}

TEST(StartUp, CommandLineFileTitlesTheWindowAndEntersTheRecentList)
{
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    testsupport::writeFile(config.filePath("doc.txt"), "d");
    {
        CTrovik32App app;
        ASSERT_TRUE(app.InitInstance({config.filePath("doc.txt")}));
        EXPECT_EQ(app.frame()->windowTitle(), "doc.txt - Trovik32");
        EXPECT_EQ(app.frame()->view()->currentFolder, "c:");  // browsing starts at the saved folder
    }
    QSettingsProfile p(config.filePath("Ostrel/Trovik32.conf"));
    EXPECT_EQ(p.readString("Recent File List", "File1", ""), QFile::encodeName(config.filePath("doc.txt")));
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(StartUp, UnreadableCommandLineFileEndsTheProgramWithAMessage)
{
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QStringList messages;
    messageHook() = [&](QWidget*, const QString& t) { messages << t; };
    CTrovik32App app;
    EXPECT_FALSE(app.InitInstance({config.filePath("missing.txt")}));
    EXPECT_EQ(app.frame(), nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(config.filePath("missing.txt")));
    messageHook() = nullptr;
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(VersionBox, CaptionAndText)
{
    CVersionInfoDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "ﾊﾞｰｼﾞｮﾝ情報(Trovik32.exe)");
    QStringList texts;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        texts << l->text();
    EXPECT_TRUE(texts.contains("Trovik32 Version 3.1.0"));
}
