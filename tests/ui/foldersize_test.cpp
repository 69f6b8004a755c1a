// The folder-size command in the window: which items it sums, the text in
// pane 0, and a walk in progress with its Escape.
#include <QDir>
#include <QStatusBar>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "core/res/resources.h"
#include "platform/foldersize.h"
#include "support/uiharness.h"

namespace {

const QString kIdle = QStringLiteral("ﾚﾃﾞｨ");

QString result(const char* number)
{
    return QStringLiteral("ﾌｫﾙﾀﾞ配下のﾌｧｲﾙｻｲｽﾞ合計：　") + QLatin1String(number) + QStringLiteral(" ﾊﾞｲﾄ");
}

class FolderSizeCommand : public ::testing::Test {
protected:
    CTrovik32View* openAt(const QString& relative = QString())
    {
        h.setStartPath(h.prog(relative));
        CMainFrame* f = h.open(QSize(800, 600));
        f->activateWindow();
        QCoreApplication::processEvents();
        return f->view();
    }
    int indexOf(const QByteArray& text) const
    {
        for (int i = 0; i < h.view()->fileList->count(); ++i)
            if (h.view()->fileList->text(i) == text)
                return i;
        return -1;
    }
    // Selects an item as the arrow keys would: the preview writes pane 0.
    void select(const QByteArray& text)
    {
        const int i = indexOf(text);
        ASSERT_GE(i, 0) << text.constData();
        h.view()->fileList->setCurSel(i);
        h.view()->PreviewSelectedItem();
    }
    void ctrlS() { QTest::keyClick(h.view()->fileList, Qt::Key_S, Qt::ControlModifier); }
    // Runs the command and waits for the walk to end; the text in pane 0 then.
    QString sum()
    {
        ctrlS();
        EXPECT_TRUE(QTest::qWaitFor([this] { return h.view()->folderSizeRun == nullptr; }, 20000));
        QCoreApplication::processEvents();
        return pane0();
    }
    QString pane0() const { return h.frame->paneText(0); }
    void write(const QString& relative, qsizetype bytes)
    {
        testsupport::writeFile(h.dir.filePath(relative), QByteArray(bytes, 'x'));
    }
    UiHarness h;
};

// A walk that holds on until it is cancelled, with some progress to show.
struct HeldWalk {
    std::atomic<bool> started{false}, cancelled{false};
    std::function<uint64_t(const QByteArray&, platform::FolderSizeProgress&)> fn()
    {
        return [this](const QByteArray&, platform::FolderSizeProgress& p) -> uint64_t {
            p.files = 12345;
            p.bytes = 1234567890;
            started = true;
            while (!p.cancel)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            cancelled = true;
            return 1234567890;
        };
    }
};

}  // namespace

TEST_F(FolderSizeCommand, SumsTheSelectedFolderIntoPaneZero)
{
    write("tree/a.bin", 1000);
    write("tree/b.bin", 1233567);
    write("tree/sub/c.bin", 1000);
    write("tree/.cache/d.bin", 1);  // a dot folder is counted
    QDir(h.dir.path()).mkpath("empty");
    write(".config/settings", 42);
    write("file.txt", 5);
    openAt();

    select("<tree>");
    EXPECT_EQ(sum(), result("1,235,568"));
    // The text stays until something else replaces it.
    QTest::qWait(50);
    EXPECT_EQ(pane0(), result("1,235,568"));

    select("<empty>");
    EXPECT_EQ(sum(), result("0"));

    // A folder whose name begins with "." is a folder like any other.
    select("<.config>");
    EXPECT_EQ(sum(), result("42"));

    // The folder's own entry, where a list shows it, stands for the folder shown.
    h.view()->fileList->model().insertString(1, "<.>", items::Kind::Self);
    select("<.>");
    EXPECT_EQ(sum(), result("1,235,615"));

    // The menu entry is live and does the same.
    QAction* entry = h.frame->action(res::ID_FOLDER_SIZE);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_EQ(entry->text(), QStringLiteral("ﾌｫﾙﾀﾞｻｲｽﾞ(&S)\tCtrl+S"));
    EXPECT_EQ(entry->statusTip(), QStringLiteral("フォルダのサイズを表示します"));
    select("<tree>");
    entry->trigger();
    EXPECT_TRUE(QTest::qWaitFor([this] { return pane0() == result("1,235,568"); }, 20000));
}

TEST_F(FolderSizeCommand, DriveItemSumsTheDriveFromItsRoot)
{
    write("volume/one", 300);
    write("volume/deep/two", 20);
    CTrovik32View* v = openAt();
    std::vector<Drive> drives = pathMap().drives();
    Drive stick;
    stick.letter = 'x';
    stick.type = DriveType::Removable;
    stick.mountPoint = QFile::encodeName(h.dir.filePath("volume"));
    Drive cd;
    cd.letter = 'y';
    cd.type = DriveType::CdRom;  // no medium: no mount point
    drives.push_back(stick);
    drives.push_back(cd);
    pathMap().setDrives(drives);
    v->driveList->model().insertString(-1, "<-x->Removable:");
    v->driveList->model().insertString(-1, "<-y->CD-ROM:");
    v->ListFolder(v->currentFolder);

    select("<-x->Removable:");
    EXPECT_EQ(sum(), result("320"));
    select("<-y->CD-ROM:");
    EXPECT_EQ(sum(), result("0"));
}

TEST_F(FolderSizeCommand, NothingHappensOnFilesTheParentItemOrInFullView)
{
    write("in/file.txt", 5);
    write("in/sub/x", 9);
    CTrovik32View* v = openAt("in");
    ASSERT_EQ(v->fileList->text(0), "<..>");

    for (const char* item : {"<..>", "file.txt"}) {
        select(item);
        const QString before = pane0();
        ctrlS();
        EXPECT_EQ(v->folderSizeRun, nullptr) << item;
        QTest::qWait(20);
        EXPECT_EQ(pane0(), before) << item;
    }

    // The full view keeps a selection in the hidden list, a folder here.
    select("file.txt");
    QTest::keyClick(v->fileList, Qt::Key_Return);
    ASSERT_FALSE(v->listMode);
    v->fileList->setCurSel(indexOf("<sub>"));
    const QString before = pane0();
    QTest::keyClick(v->contentPane, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(v->folderSizeRun, nullptr);
    QTest::qWait(20);
    EXPECT_EQ(pane0(), before);
}

TEST_F(FolderSizeCommand, WalkInProgressShowsHowFarItHasComeAndEscapeCancels)
{
    QDir(h.dir.path()).mkpath("big");
    QDir(h.dir.path()).mkpath("other");
    CTrovik32View* v = openAt();
    HeldWalk walk;
    v->walkFolderSize = walk.fn();
    select("<big>");
    const int selected = v->fileList->curSel();
    ctrlS();
    ASSERT_NE(v->folderSizeRun, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return walk.started.load(); }, 5000));

    // The window goes on handling its events: the progress comes after a moment.
    const QString progress = QStringLiteral("ﾌｫﾙﾀﾞｻｲｽﾞ計算中… 12,345 ﾌｧｲﾙ　1,234,567,890 ﾊﾞｲﾄ (Escで中止)");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane0() == progress; }, 5000));

    // A highlighted menu entry still shows its prompt.
    QStatusTipEvent tip(res::prompt(res::ID_EDIT_FIND));
    QCoreApplication::sendEvent(h.frame, &tip);
    EXPECT_EQ(h.frame->statusBar()->currentMessage(), QStringLiteral("指定した文字列の検索"));
    h.frame->statusBar()->clearMessage();

    // Everything else is refused meanwhile: keys, clicks, commands, accelerators.
    QTest::keyClick(v->fileList, Qt::Key_Down);
    QTest::keyClick(v->fileList, Qt::Key_O);  // the jump to a letter
    QTest::mouseClick(v->fileList->viewport(), Qt::LeftButton, {}, v->fileList->itemRect(indexOf("<other>")).center());
    EXPECT_EQ(v->fileList->curSel(), selected);
    v->contentPane->setText(QByteArray("\xa4\xa2"));
    QTest::keyClick(v->fileList, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(h.frame->command(res::ID_EUC_SJIS), false);
    EXPECT_EQ(v->contentPane->text(), QByteArray("\xa4\xa2"));
    EXPECT_EQ(h.frame->command(res::ID_FOLDER_SIZE), false);
    EXPECT_FALSE(walk.cancelled.load());

    // Escape cancels the walk, and does not close the window.
    QTest::keyClick(v->fileList, Qt::Key_Escape);
    EXPECT_EQ(pane0(), kIdle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return walk.cancelled.load(); }, 5000));
    QTest::qWait(50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.frame->isVisible());
    EXPECT_EQ(pane0(), kIdle);  // the cancelled total never shows

    // The view is free again.
    EXPECT_EQ(v->folderSizeRun, nullptr);
    QTest::keyClick(v->fileList, Qt::Key_Down);
    EXPECT_EQ(v->fileList->curSel(), selected + 1);
}

TEST_F(FolderSizeCommand, ClosingTheWindowDuringAWalkStopsIt)
{
    QDir(h.dir.path()).mkpath("big");
    CTrovik32View* v = openAt();
    HeldWalk walk;
    v->walkFolderSize = walk.fn();
    select("<big>");
    ctrlS();
    ASSERT_TRUE(QTest::qWaitFor([&] { return walk.started.load(); }, 5000));
    h.close();
    EXPECT_TRUE(walk.cancelled.load());
}
