// The file commands with the real widgets on real folders: what each command
// does to the list, the rename dialog, the destination chooser, the editor,
// the two popups and the drive commands. The dialogs are answered by the test.
#include <sys/stat.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QProgressDialog>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cerrno>

#include <gtest/gtest.h>

#include "core/res/resources.h"
#include "platform/fileops.h"
#include "platform/fileops_testhook.h"
#include "support/uiharness.h"
#include "ui/view/CFilePathDialog.h"

namespace {

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The trash of these tests lives in their own folder.
        oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    }
    void TearDown() override
    {
        if (oldDataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldDataHome);
    }
    CTrovik32View* openHere()
    {
        h.setStartPath(h.prog());
        CTrovik32View* v = h.open(QSize(800, 600))->view();
        v->runFolderDialog = [this](const QByteArray& start, QByteArray& chosen) {
            starts.push_back(start);
            if (destination.isEmpty())
                return false;
            chosen = destination;
            return true;
        };
        v->runRenameDialog = [this](CFilePathDialog& d) {
            shownNames.push_back(d.pathText);
            if (answer.isNull())
                return false;
            d.pathText = answer;
            return true;
        };
        return v;
    }
    void selectRow(CTrovik32View* v, int i)
    {
        ASSERT_GE(i, 0);
        v->fileList->setCurSel(i);
        v->selectionStack[v->depth] = i;
    }
    QString trashed(const QString& name) const { return data.filePath("Trash/files/" + name); }

    QTemporaryDir data;
    QByteArray oldDataHome;
    UiHarness h;
    QByteArray destination;  // native folder the chooser answers; empty: cancel
    std::vector<QByteArray> starts;
    QString answer;  // the rename dialog's answer; null: cancel
    QStringList shownNames;
};

}  // namespace

TEST_F(FileCommands, DeleteGoesToTheTrashAndTheRowAboveIsSelected)
{
    for (const char* n : {"a1", "a2", "a3", "a4", "a5", "a6", "a7"})
        testsupport::writeFile(h.dir.filePath(n), n);
    CTrovik32View* v = openHere();
    ASSERT_EQ(itemIndex(v, "a5"), 5);  // "<..>" leads
    selectRow(v, 5);
    h.frame->command(res::ID_FILE_DELETE);
    EXPECT_FALSE(QFile::exists(h.dir.filePath("a5")));
    EXPECT_EQ(testsupport::readFile(trashed("a5")), "a5");
    EXPECT_EQ(v->fileList->curSel(), 4);
    EXPECT_EQ(itemIndex(v, "a5"), -1);
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(FileCommands, DeleteOnTheFirstRowOfADriveRootLeavesNoSelection)
{
    QDir(h.dir.path()).mkdir("first");
    testsupport::writeFile(h.dir.filePath("second.txt"), "x");
    CTrovik32View* v = openHere();
    // The temporary folder as the root of a drive of its own: no parent item.
    std::vector<Drive> drives = pathMap().drives();
    Drive e;
    e.letter = 'q';
    e.mountPoint = QFile::encodeName(h.dir.path());
    e.identity = e.mountPoint;
    drives.push_back(e);
    pathMap().setDrives(drives);
    v->currentFolder = v->previewFolder = "q:";
    v->depth = 0;
    v->selectionStack[0] = 0;
    ASSERT_TRUE(v->ListFolder("q:"));
    ASSERT_EQ(v->fileList->text(0), "<first>");
    h.frame->command(res::ID_FILE_DELETE);
    EXPECT_FALSE(QDir(h.dir.filePath("first")).exists());
    EXPECT_TRUE(QDir(trashed("first")).exists());
    EXPECT_EQ(v->fileList->curSel(), -1);
}

TEST_F(FileCommands, CopyIntoItsOwnFolderMakesADuplicateAndDoesNotRelist)
{
    testsupport::writeFile(h.dir.filePath("memo.txt"), "original");
    CTrovik32View* v = openHere();
    selectRow(v, itemIndex(v, "memo.txt"));
    const int count = v->fileList->count();
    destination = QFile::encodeName(h.dir.path());
    h.frame->command(res::ID_FILE_COPY);
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("memo - コピー.txt")), "original");
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("memo.txt")), "original");
    EXPECT_EQ(v->fileList->count(), count);  // not listed again
    // The second copy opens the chooser on the folder chosen before.
    h.frame->command(res::ID_FILE_COPY);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_TRUE(starts[0].isEmpty());
    EXPECT_EQ(starts[1], destination);
    EXPECT_EQ(v->lastDestFolder, h.prog());
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("memo - コピー (2).txt")), "original");
}

TEST_F(FileCommands, CopyOverAnExistingFileKeepsTheOldOneInTheTrash)
{
    testsupport::writeFile(h.dir.filePath("src/report.txt"), "new text");
    testsupport::writeFile(h.dir.filePath("dst/report.txt"), "old text");
    h.setStartPath(h.prog("src"));
    h.open(QSize(800, 600));
    CTrovik32View* v = h.view();
    v->runFolderDialog = [this](const QByteArray&, QByteArray& chosen) {
        chosen = QFile::encodeName(h.dir.filePath("dst"));
        return true;
    };
    selectRow(v, itemIndex(v, "report.txt"));
    h.frame->command(res::ID_FILE_COPY);
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("dst/report.txt")), "new text");
    EXPECT_EQ(testsupport::readFile(trashed("report.txt")), "old text");
    EXPECT_EQ(QDir(h.dir.filePath("dst")).entryList(QDir::Files | QDir::Hidden), QStringList{"report.txt"});
}

TEST_F(FileCommands, MoveRelistsAndAFolderIntoItselfIsRefused)
{
    QDir(h.dir.path()).mkpath("box/inner");
    testsupport::writeFile(h.dir.filePath("box/in.txt"), "i");
    testsupport::writeFile(h.dir.filePath("loose.txt"), "l");
    CTrovik32View* v = openHere();
    selectRow(v, itemIndex(v, "<box>"));
    destination = QFile::encodeName(h.dir.filePath("box/inner"));
    h.frame->command(res::ID_FILE_MOVE);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_TRUE(QFile::exists(h.dir.filePath("box/in.txt")));
    EXPECT_FALSE(QDir(h.dir.filePath("box/inner/box")).exists());
    h.messages.clear();
    selectRow(v, itemIndex(v, "loose.txt"));
    destination = QFile::encodeName(h.dir.filePath("box"));
    h.frame->command(res::ID_FILE_MOVE);
    EXPECT_TRUE(h.messages.isEmpty());
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("box/loose.txt")), "l");
    EXPECT_EQ(itemIndex(v, "loose.txt"), -1);
}

TEST_F(FileCommands, RenameRelistsAlsoOnCancelMovesIntoASubfolderAndNeverReplaces)
{
    testsupport::writeFile(h.dir.filePath("a.txt"), "a");
    testsupport::writeFile(h.dir.filePath("taken.txt"), "keep me");
    QDir(h.dir.path()).mkdir("sub");
    CTrovik32View* v = openHere();
    selectRow(v, itemIndex(v, "a.txt"));
    testsupport::writeFile(h.dir.filePath("late.txt"), "arrived after the listing");
    QTest::keyClick(v->fileList, Qt::Key_F2);  // F2 in the list asks too
    ASSERT_EQ(shownNames, QStringList{"a.txt"});
    EXPECT_GE(itemIndex(v, "late.txt"), 0);  // cancelled, and listed again
    // Onto an existing name: a message, nothing changes.
    answer = "taken.txt";
    selectRow(v, itemIndex(v, "a.txt"));
    h.frame->command(res::ID_FILE_RENAME);
    EXPECT_EQ(h.messages.size(), 1);
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("taken.txt")), "keep me");
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("a.txt")), "a");
    // A path relative to the folder moves the item there.
    answer = "sub\\b.txt";
    selectRow(v, itemIndex(v, "a.txt"));
    h.frame->command(res::ID_FILE_RENAME);
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("sub/b.txt")), "a");
    EXPECT_FALSE(QFile::exists(h.dir.filePath("a.txt")));
    EXPECT_EQ(itemIndex(v, "a.txt"), -1);
}

TEST_F(FileCommands, RenameDialogTakesAtMost255Characters)
{
    CFilePathDialog d;
    EXPECT_EQ(d.windowTitle(), "ファイルパスを指定");
    EXPECT_EQ(d.okButton()->text(), "OK");
    EXPECT_EQ(d.cancelButton()->text(), "ｷｬﾝｾﾙ");
    d.pathText = "old.txt";
    d.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(d.edit()->text(), "old.txt");
    d.edit()->clear();
    QTest::keyClicks(d.edit(), QString(300, QLatin1Char('x')));
    EXPECT_EQ(d.edit()->text().size(), 255);
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.pathText, QString(255, QLatin1Char('x')));
}

TEST_F(FileCommands, NothingHappensOnTheParentItemOnDrivesAndInArchives)
{
    testsupport::writeFile(h.dir.filePath("f.txt"), "f");
    QFile::copy(testsupport::fixture("lzh/h1_lh5.lzh"), h.dir.filePath("arc.lzh"));
    CTrovik32View* v = openHere();
    answer = "renamed";
    destination = QFile::encodeName(h.dir.path());
    bool opened = false;
    v->runEditorDialog = [&](QByteArray&) { return opened = true, false; };
    auto everyCommand = [&] {
        for (int id : {res::ID_FILE_COPY, res::ID_FILE_MOVE, res::ID_FILE_DELETE, res::ID_FILE_RENAME, res::ID_FILE_EDIT})
            h.frame->command(id);
    };
    const QStringList before = QDir(h.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    selectRow(v, itemIndex(v, "<..>"));
    everyCommand();
    selectRow(v, v->fileList->count() - 1);  // a drive item
    ASSERT_EQ(v->fileList->model().kind(v->fileList->curSel()), items::Kind::Drive);
    everyCommand();
    if (v->archiveLibraryLoaded) {
        selectRow(v, itemIndex(v, "arc.lzh"));
        QTest::keyClick(v->fileList, Qt::Key_Return);
        ASSERT_TRUE(v->archiveMode);
        selectRow(v, 1);  // a member
        everyCommand();
    }
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(shownNames.isEmpty());
    EXPECT_EQ(QDir(h.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_TRUE(h.messages.isEmpty());
}

// Stand-ins for the editor and the desktop's opener record their arguments.
class EditCommand : public FileCommands {
protected:
    void SetUp() override
    {
        FileCommands::SetUp();
        log = h.dir.filePath("args.log");
        QDir(h.dir.path()).mkdir("bin");
        writeStub(h.dir.filePath("bin/xdg-open"), "opener");
        writeStub(h.dir.filePath("bin/editor"), "editor");
        oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(h.dir.filePath("bin")) + ":" + oldPath);
    }
    void TearDown() override
    {
        qputenv("PATH", oldPath);
        FileCommands::TearDown();
    }
    void writeStub(const QString& path, const char* who)
    {
        testsupport::writeFile(path, QByteArray("#!/bin/sh\n{ echo ") + who + " $#; for a in \"$@\"; do echo \"$a\"; done; } > '"
                                         + QFile::encodeName(log) + "'\n");
        ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0755), 0);
    }
    QStringList waitForLog()
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QFile f(log);
            if (f.open(QIODevice::ReadOnly)) {
                const QStringList l = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
                if (l.size() >= 2)
                    return l;
            }
            QTest::qWait(20);
        }
        return {};
    }
    QString log;
    QByteArray oldPath;
};

TEST_F(EditCommand, TheEditorGetsTheItemAsOneArgument)
{
    testsupport::writeFile(h.dir.filePath("My Documents/a.txt"), "a");
    CTrovik32View* v = openHere();
    v->runEditorDialog = [this](QByteArray& chosen) {
        chosen = QFile::encodeName(h.dir.filePath("bin/editor"));
        return true;
    };
    h.frame->command(res::ID_EDITOR_SETTING);
    EXPECT_EQ(v->editorPath, h.prog("bin/editor"));
    v->currentFolder = h.prog("My Documents");
    ASSERT_TRUE(v->ListFolder(v->currentFolder));
    selectRow(v, itemIndex(v, "a.txt"));
    h.frame->command(res::ID_FILE_EDIT);
    EXPECT_EQ(waitForLog(), (QStringList{"editor 1", h.dir.filePath("My Documents/a.txt")}));
    // A folder item gives the folder.
    QFile::remove(log);
    v->currentFolder = h.prog();
    ASSERT_TRUE(v->ListFolder(v->currentFolder));
    selectRow(v, itemIndex(v, "<My Documents>"));
    h.frame->command(res::ID_FILE_EDIT);
    EXPECT_EQ(waitForLog(), (QStringList{"editor 1", h.dir.filePath("My Documents")}));
    // Cancelling the chooser keeps the editor.
    v->runEditorDialog = [](QByteArray&) { return false; };
    h.frame->command(res::ID_EDITOR_SETTING);
    EXPECT_EQ(v->editorPath, h.prog("bin/editor"));
}

TEST_F(EditCommand, TheDefaultEditorIsTheDesktopsOpener)
{
    testsupport::writeFile(h.dir.filePath("note.txt"), "n");
    CTrovik32View* v = openHere();
    v->editorPath = "c:\\windows\\notepad.exe";
    selectRow(v, itemIndex(v, "note.txt"));
    h.frame->command(res::ID_FILE_EDIT);
    EXPECT_EQ(waitForLog(), (QStringList{"opener 1", h.dir.filePath("note.txt")}));
}

TEST_F(FileCommands, FileMenuOffersTheFiveCommandsInItsOrder)
{
    testsupport::writeFile(h.dir.filePath("x.txt"), "x");
    CTrovik32View* v = openHere();
    QStringList texts;
    QPoint at;
    v->runPopup = [&](QMenu& m, const QPoint& p) -> QAction* {
        texts.clear();
        for (QAction* a : m.actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        at = p;
        return nullptr;
    };
    h.frame->command(res::ID_FILE_MENU);
    EXPECT_EQ(texts, (QStringList{"編集(&E)\tCtrl+E", "-", "複写(&C)\tCtrl+Shift+C", "削除(&D)\tCtrl+Shift+D",
                                  "名変(&N)\tCtrl+Shift+N", "移動(&M)\tCtrl+Shift+M"}));
    EXPECT_EQ(at, v->mapToGlobal(QPoint(v->width() / 2, v->height() / 2)));
    // A right-click in the file list shows it at the mouse.
    texts.clear();
    const QPoint click = v->fileList->itemRect(1).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, click, v->fileList->viewport()->mapToGlobal(click));
    QCoreApplication::sendEvent(v->fileList->viewport(), &e);
    EXPECT_EQ(texts.size(), 6);
    EXPECT_EQ(at, v->fileList->viewport()->mapToGlobal(click));
}

TEST_F(FileCommands, DriveMenuOffersEachDriveAndRollsBackWhenOneCannotBeListed)
{
    testsupport::writeFile(h.dir.filePath("one.txt"), "1");
    CTrovik32View* v = openHere();
    std::vector<Drive> drives = pathMap().drives();
    Drive gone;
    gone.letter = 'x';
    gone.mountPoint = QFile::encodeName(h.dir.filePath("unplugged"));
    drives.push_back(gone);
    pathMap().setDrives(drives);
    std::vector<QByteArray> texts{"<-c->", "<-d->CD-ROM:", "<-e->Removable:", "<-x->Removable:"};
    v->driveList->model().setItems(texts, std::vector<items::Kind>(4, items::Kind::Drive));
    EXPECT_FALSE(v->handlesCommand(res::ID_DRIVE_FIRST));  // no drive menu yet
    std::vector<int> ids;
    QAction* pick = nullptr;
    v->runPopup = [&](QMenu& m, const QPoint&) {
        ids.clear();
        for (QAction* a : m.actions())
            ids.push_back(a->data().toInt());
        return pick ? pick : m.actions().last();
    };
    selectRow(v, itemIndex(v, "one.txt"));
    const QByteArray folder = v->currentFolder;
    const int depth = v->depth;
    h.frame->command(res::ID_DRIVE_CHANGE);
    EXPECT_EQ(ids, (std::vector<int>{61451, 61452, 61453, 61454}));
    EXPECT_TRUE(v->handlesCommand(61454));
    EXPECT_FALSE(v->handlesCommand(61455));
    EXPECT_EQ(res::prompt(61451), "DV_00");
    // Drive x: cannot be listed: its message, then the folder as it was.
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], "x: //ファイルが無い、または媒体が入っていません");
    EXPECT_EQ(v->currentFolder, folder);
    EXPECT_EQ(v->depth, depth);
    EXPECT_EQ(v->fileList->curSel(), itemIndex(v, "one.txt"));
    // Drive c: switches to the root at depth 0, row 0.
    v->archiveMode = true;
    v->runPopup = [](QMenu& m, const QPoint&) { return m.actions().first(); };
    h.frame->command(res::ID_DRIVE_CHANGE);
    EXPECT_EQ(v->currentFolder, "c:");
    EXPECT_EQ(v->depth, 0);
    EXPECT_EQ(v->fileList->curSel(), 0);
    EXPECT_FALSE(v->archiveMode);
}

// A failing item is put to the user, whose answer decides: retry, skip, or
// cancel the rest. A long operation shows its progress and can be cancelled.
class FailingCopy : public FileCommands {
protected:
    void TearDown() override
    {
        platform::testhook::setWriteFault({});
        FileCommands::TearDown();
    }
    CTrovik32View* openWithTree()
    {
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            testsupport::writeFile(h.dir.filePath(QStringLiteral("tree/") + n), QByteArray(n) + " data");
        QDir(h.dir.path()).mkdir("dest");
        CTrovik32View* v = openHere();
        destination = QFile::encodeName(h.dir.filePath("dest"));
        selectRow(v, itemIndex(v, "<tree>"));
        return v;
    }
    QStringList left() const
    {
        return QDir(h.dir.filePath("dest/tree")).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
};

TEST_F(FailingCopy, TheUserRetriesSkipsOrCancelsAFailedItem)
{
    CTrovik32View* v = openWithTree();
    QStringList asked;
    platform::FailureChoice answer = platform::FailureChoice::Retry;
    v->askFailure = [&](const platform::FileOpFailure& f) {
        asked << QString::fromUtf8(f.item) + " " + f.reason;
        return answer;
    };
    int faults = 1;
    platform::testhook::setWriteFault([&](const QByteArray& dest, uint64_t) {
        return dest.endsWith("b.txt") && faults-- > 0 ? ENOSPC : 0;
    });
    h.frame->command(res::ID_FILE_COPY);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("b.txt")) << asked[0].toStdString();
    EXPECT_EQ(left(), (QStringList{"a.txt", "b.txt", "c.txt"}));  // retried, and it went through
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("dest/tree/b.txt")), "b.txt data");

    QDir(h.dir.filePath("dest/tree")).removeRecursively();
    asked.clear();
    answer = platform::FailureChoice::Skip;
    faults = 1;
    h.frame->command(res::ID_FILE_COPY);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(left(), (QStringList{"a.txt", "c.txt"}));

    QDir(h.dir.filePath("dest/tree")).removeRecursively();
    answer = platform::FailureChoice::Cancel;
    faults = 1;
    h.frame->command(res::ID_FILE_COPY);
    for (const QString& f : left())
        EXPECT_FALSE(f.startsWith(".")) << "a temporary file was left: " << f.toStdString();
    EXPECT_FALSE(left().contains("b.txt"));
    EXPECT_FALSE(left().contains("c.txt"));
    // The source is untouched whatever happened.
    EXPECT_EQ(testsupport::readFile(h.dir.filePath("tree/b.txt")), "b.txt data");
}

TEST_F(FailingCopy, ALongOperationShowsItsProgressAndCanBeCancelled)
{
    // Two files of several pieces each, every piece written slowly: each file
    // takes longer than the wait before the cancel.
    for (const char* n : {"tree/big1.bin", "tree/big2.bin"})
        testsupport::writeFile(h.dir.filePath(n), QByteArray(int(platform::testhook::copyPieceBytes) * 6, 'x'));
    CTrovik32View* v = openWithTree();
    platform::testhook::setWriteFault([](const QByteArray&, uint64_t) {
        QThread::msleep(200);
        return 0;
    });
    QString label;
    bool busy = false;
    QTimer::singleShot(900, [&] {
        for (QProgressDialog* d : v->findChildren<QProgressDialog*>())
            if (d->isVisible()) {
                label = d->labelText();
                busy = v->isBusy();
                for (QPushButton* b : d->findChildren<QPushButton*>())
                    b->click();  // its only button: キャンセル
            }
    });
    h.frame->command(res::ID_FILE_COPY);
    EXPECT_TRUE(label.startsWith(QStringLiteral("複写中… "))) << label.toStdString();
    EXPECT_TRUE(label.contains(QStringLiteral(" ﾌｧｲﾙ　"))) << label.toStdString();
    EXPECT_TRUE(busy);
    EXPECT_FALSE(v->isBusy());
    // Cancelled: the copy stopped, with no partial file left behind.
    EXPECT_FALSE(left().contains("big1.bin") && left().contains("big2.bin"));
    for (const QString& f : left()) {
        EXPECT_FALSE(f.startsWith(".")) << "a temporary file was left: " << f.toStdString();
        EXPECT_EQ(QFileInfo(h.dir.filePath("dest/tree/" + f)).size(), QFileInfo(h.dir.filePath("tree/" + f)).size());
    }
}

TEST_F(FailingCopy, ClosingTheWindowDuringAMoveStopsItFirst)
{
    // A move to another file system copies, then relists the folder: the
    // window must not go away under it.
    QTemporaryDir shm(QStringLiteral("/dev/shm/trovik-close-XXXXXX"));
    struct stat a {}, b {};
    if (!shm.isValid() || stat("/dev/shm", &a) != 0 || stat(QFile::encodeName(h.dir.path()).constData(), &b) != 0
        || a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm is not another file system here";
    for (const char* n : {"tree/big1.bin", "tree/big2.bin"})
        testsupport::writeFile(h.dir.filePath(n), QByteArray(int(platform::testhook::copyPieceBytes) * 4, 'x'));
    CTrovik32View* v = openWithTree();
    destination = QFile::encodeName(shm.path());
    platform::testhook::setWriteFault([](const QByteArray&, uint64_t) {
        QThread::msleep(150);
        return 0;
    });
    // The close arrives while the move runs, as SIGTERM's would.
    QTimer::singleShot(300, h.frame, &QWidget::close);
    h.frame->command(res::ID_FILE_MOVE);
    EXPECT_FALSE(v->isBusy());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !h.frame || !h.frame->isVisible(); }, 5000));
    // Given up: everything is still at the source.
    for (const char* n : {"tree/a.txt", "tree/b.txt", "tree/c.txt", "tree/big1.bin", "tree/big2.bin"})
        EXPECT_TRUE(QFile::exists(h.dir.filePath(n))) << n;
}

TEST_F(FailingCopy, EscapeGivesALongCopyUp)
{
    for (const char* n : {"tree/big1.bin", "tree/big2.bin"})
        testsupport::writeFile(h.dir.filePath(n), QByteArray(int(platform::testhook::copyPieceBytes) * 4, 'x'));
    CTrovik32View* v = openWithTree();
    platform::testhook::setWriteFault([](const QByteArray&, uint64_t) {
        QThread::msleep(150);
        return 0;
    });
    int selected = -1;
    QTimer::singleShot(300, [&] {
        selected = v->fileList->curSel();
        QTest::keyClick(v->fileList, Qt::Key_Down);  // refused while the copy runs
        QTest::keyClick(v->fileList, Qt::Key_Escape);
    });
    h.frame->command(res::ID_FILE_COPY);
    EXPECT_EQ(v->fileList->curSel(), selected);
    EXPECT_TRUE(h.frame->isVisible());  // Escape gave the copy up, not the window
    EXPECT_FALSE(left().contains("big1.bin") && left().contains("big2.bin"));
    // A late Escape, after the copy, finds nothing to give up.
    QTest::keyClick(v->contentPane, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(v->fileOperationRunning());
}
