// Browsing with the real widgets: the file list's painting, navigation and
// keys, launching, and the preview and full load of files.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include <gtest/gtest.h>

#include "core/viewer/cp932.h"
#include "support/uiharness.h"

namespace {

// Selects an item the way the user does: a click, which previews it.
void select(CTrovik32View* v, const QByteArray& text)
{
    const int i = itemIndex(v, text);
    ASSERT_GE(i, 0) << text.constData();
    v->fileList->setCurSel(i);
    QTest::mouseClick(v->fileList->viewport(), Qt::LeftButton, {}, v->fileList->itemRect(i).center());
    ASSERT_EQ(v->fileList->curSel(), i);
}

void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {})
{
    QTest::keyClick(w, key, mods);
    QCoreApplication::processEvents();
}

bool hasColour(const QImage& img, const QRect& r, QRgb colour)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

class Browse : public ::testing::Test {
protected:
    CTrovik32View* openAt(const QString& relative = QString())
    {
        h.setStartPath(h.prog(relative));
        return h.open(QSize(800, 600))->view();
    }
    QString pane(int i) const { return h.frame->paneText(i); }
    UiHarness h;
};

}  // namespace

TEST_F(Browse, ItemsArePaintedInTheColourOfTheirKind)
{
    QDir(h.dir.path()).mkdir("folder");
    testsupport::writeFile(h.dir.filePath("file.txt"), "x");
    CTrovik32View* v = openAt();
    v->fileList->setCurSel(itemIndex(v, "<folder>"));
    const QImage img = v->fileList->viewport()->grab().toImage();
    const QRect parent = v->fileList->itemRect(itemIndex(v, "<..>"));
    const QRect folder = v->fileList->itemRect(itemIndex(v, "<folder>"));
    const QRect file = v->fileList->itemRect(itemIndex(v, "file.txt"));
    const QRect drive = v->fileList->itemRect(v->fileList->count() - 1);
    // The selected item is on yellow, its text keeps its kind's colour.
    EXPECT_EQ(img.pixel(folder.right() - 1, folder.center().y()) & 0xFFFFFF, qRgb(227, 227, 0) & 0xFFFFFF);
    EXPECT_TRUE(hasColour(img, folder, qRgb(0, 127, 0)));
    EXPECT_TRUE(hasColour(img, parent, qRgb(0, 127, 0)));
    EXPECT_EQ(img.pixel(parent.right() - 1, parent.center().y()) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(hasColour(img, file, qRgb(0, 0, 0)));
    EXPECT_FALSE(hasColour(img, file, qRgb(0, 127, 0)));
    EXPECT_TRUE(hasColour(img, drive, qRgb(222, 0, 0)));
    EXPECT_FALSE(hasColour(img, drive, qRgb(0, 127, 0)));
}

TEST_F(Browse, EmptyListPaintsNoTextButTheFocusRectangle)
{
    CTrovik32View* v = openAt();
    v->fileList->model().resetContent();
    v->fileList->clearFocus();
    QImage img = v->fileList->viewport()->grab().toImage();
    const QRect first = v->fileList->itemRect(0);
    EXPECT_FALSE(hasColour(img, img.rect(), qRgb(0, 0, 0)));
    v->fileList->setFocus();
    QCoreApplication::processEvents();
    if (!v->fileList->hasFocus())
        GTEST_SKIP() << "the offscreen window did not take the focus";
    img = v->fileList->viewport()->grab().toImage();
    EXPECT_TRUE(hasColour(img, first, qRgb(0, 0, 0)));  // the dotted focus rectangle
}

TEST_F(Browse, DescendingAndComingBackRestoresTheSelection)
{
    for (const char* n : {"a", "b", "c", "d", "e", "target"})
        QDir(h.dir.path()).mkpath(QString(n) + "/inner");
    CTrovik32View* v = openAt();
    const int depth0 = v->depth;
    ASSERT_EQ(itemIndex(v, "<target>"), 6);
    select(v, "<target>");
    press(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->currentFolder, h.prog("target"));
    EXPECT_EQ(v->depth, depth0 + 1);
    EXPECT_EQ(v->previewFolder, v->currentFolder);
    EXPECT_EQ(v->fileList->curSel(), 0);
    EXPECT_EQ(v->fileList->text(1), "<inner>");
    // The parent item leads back with the item selected that was opened.
    select(v, "<..>");
    QTest::mouseDClick(v->fileList->viewport(), Qt::LeftButton, {}, v->fileList->itemRect(0).center());
    EXPECT_EQ(v->currentFolder, h.prog());
    EXPECT_EQ(v->depth, depth0);
    EXPECT_EQ(v->fileList->curSel(), 6);
    // Backspace goes up as well, keeping every level's selection.
    select(v, "<target>");
    press(v->fileList, Qt::Key_Return);
    select(v, "<inner>");
    press(v->fileList, Qt::Key_Return);
    press(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->fileList->curSel(), 1);
    press(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->fileList->curSel(), 6);
    EXPECT_EQ(v->depth, depth0);
}

TEST_F(Browse, BackspaceAtADriveRootDoesNothing)
{
    h.setStartPath("c:");
    CTrovik32View* v = h.open()->view();
    v->fileList->setCurSel(2);
    press(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->currentFolder, "c:");
    EXPECT_EQ(v->depth, 0);
}

TEST_F(Browse, UnreadableDriveShowsTheMessageAndRollsBack)
{
    testsupport::writeFile(h.dir.filePath("one.txt"), "first");
    testsupport::writeFile(h.dir.filePath("two.txt"), "second file");
    CTrovik32View* v = openAt();
    // A drive whose volume has gone away since the drive list was made.
    std::vector<Drive> drives = pathMap().drives();
    Drive gone;
    gone.letter = 'x';
    gone.mountPoint = QFile::encodeName(h.dir.filePath("unplugged"));
    drives.push_back(gone);
    pathMap().setDrives(drives);
    v->driveList->model().insertString(-1, "<-x->Removable:");
    v->ListFolder(v->currentFolder);
    select(v, "two.txt");
    const int depth = v->depth;
    const QByteArray folder = v->currentFolder;
    v->fileList->setCurSel(v->fileList->count() - 1);
    press(v->fileList, Qt::Key_Return);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], "x: //ファイルが無い、または媒体が入っていません");
    EXPECT_EQ(v->currentFolder, folder);
    EXPECT_EQ(v->previewFolder, folder);
    EXPECT_EQ(v->depth, depth);
    EXPECT_EQ(v->fileList->curSel(), itemIndex(v, "two.txt"));
    EXPECT_FALSE(v->archiveMode);
    // The preview follows the restored selection.
    EXPECT_EQ(v->contentPane->text(), "second file");
    EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("two.txt")));
}

TEST_F(Browse, FolderThatCannotBeReadLeavesTheEmptyListAtTheNewDepth)
{
    QDir(h.dir.path()).mkdir("vanishing");
    CTrovik32View* v = openAt();
    const int depth = v->depth;
    select(v, "<vanishing>");
    QDir(h.dir.filePath("vanishing")).removeRecursively();
    press(v->fileList, Qt::Key_Return);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], QString::fromUtf8(h.prog("vanishing")) + " //ファイルが無い、または媒体が入っていません");
    EXPECT_EQ(v->fileList->count(), 0);
    EXPECT_EQ(v->depth, depth + 1);
    // Enter on the empty list does nothing; Backspace leads back up.
    press(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->depth, depth + 1);
    press(v->fileList, Qt::Key_Backspace);
    EXPECT_EQ(v->currentFolder, h.prog());
}

TEST_F(Browse, OpeningAFileFillsTheWindowAndEnterOrEscapeComeBack)
{
    QByteArray five;
    for (int i = 0; i < 5000; ++i)
        five.append(static_cast<char>('a' + i % 26));
    testsupport::writeFile(h.dir.filePath("five.txt"), five);
    testsupport::writeFile(h.dir.filePath("other.txt"), "o");
    CTrovik32View* v = openAt();
    select(v, "five.txt");
    EXPECT_EQ(v->contentPane->text(), five.left(2000));
    EXPECT_TRUE(v->contentPane->isVisible());
    EXPECT_FALSE(v->subList->isVisible());
    const int index = v->fileList->curSel();
    press(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), five);
    EXPECT_FALSE(v->fileList->isVisible());
    EXPECT_EQ(v->contentPane->geometry(), v->rect());
    press(v->contentPane, Qt::Key_Return);
    EXPECT_TRUE(v->listMode);
    EXPECT_EQ(v->fileList->curSel(), index);
    EXPECT_TRUE(v->fileList->isVisible());
    // Escape in the content pane only returns; the window stays.
    press(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    press(v->contentPane, Qt::Key_Escape);
    EXPECT_TRUE(v->listMode);
    EXPECT_TRUE(h.frame->isVisible());
    EXPECT_EQ(v->fileList->curSel(), index);
}

TEST_F(Browse, PreviewOfParentDriveAndFolderItems)
{
    QDir(h.dir.path()).mkpath("docs/deeper");
    testsupport::writeFile(h.dir.filePath("docs/note.txt"), "n");
    CTrovik32View* v = openAt();
    select(v, "<docs>");
    EXPECT_EQ(h.frame->windowTitle(), "<docs>");
    EXPECT_TRUE(v->subList->isVisible());
    EXPECT_FALSE(v->contentPane->isVisible());
    std::vector<QByteArray> sub;
    for (int i = 0; i < v->subList->count(); ++i)
        sub.push_back(v->subList->text(i));
    EXPECT_EQ(sub, (std::vector<QByteArray>{"<..>", "<.>", "<deeper>", "note.txt"}));
    EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("docs")));
    EXPECT_EQ(pane(1), "");
    EXPECT_EQ(v->previewFolder, v->currentFolder);
    select(v, "<..>");
    EXPECT_EQ(v->subList->count(), 0);
    EXPECT_EQ(pane(0), QString::fromUtf8(v->currentFolder));
    v->fileList->setCurSel(v->fileList->count() - 1);
    press(v->fileList, Qt::Key_End);
    EXPECT_TRUE(h.frame->windowTitle().startsWith("<-c->"));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pane(i), "") << i;
    EXPECT_TRUE(v->subList->isVisible());
}

TEST_F(Browse, FilePreviewTextsAndFilter)
{
    testsupport::writeFile(h.dir.filePath("ctrl.bin"), QByteArray("a\x00" "b\x1b" "c\x7f" "d\te\r\nf", 12));
    testsupport::writeFile(h.dir.filePath("empty.txt"), "");
    testsupport::writeFile(h.dir.filePath("million.txt"), QByteArray(1234567, 'm'));
    testsupport::writeFile(h.dir.filePath(".secret"), "s");
    ASSERT_EQ(chmod(QFile::encodeName(h.dir.filePath(".secret")).constData(), 0444), 0);
    testsupport::setModified(h.dir.filePath("million.txt"), testsupport::localNoon(2001, 3, 7));
    CTrovik32View* v = openAt();
    select(v, "ctrl.bin");
    EXPECT_EQ(v->contentPane->text(), QByteArray("a^b^c^d\te\r\nf"));
    EXPECT_EQ(h.frame->windowTitle(), "ctrl.bin");
    EXPECT_EQ(pane(3), "A");
    select(v, "empty.txt");
    EXPECT_EQ(v->contentPane->text(), "");
    EXPECT_EQ(pane(1), "0");
    select(v, "million.txt");
    EXPECT_EQ(pane(0), QString::fromUtf8(h.prog("million.txt")));
    EXPECT_EQ(pane(1), "1,234,567");
    EXPECT_EQ(pane(2), "2001.3.7");
    EXPECT_EQ(v->contentPane->text().size(), 2000);
    select(v, ".secret");
    EXPECT_EQ(pane(3), "RHA");
}

TEST_F(Browse, HugeSparseFileShowsItsRealSizeAndIsRefusedWhenMemoryIsShort)
{
    {
        QFile f(h.dir.filePath("huge.bin"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(5000000000LL));
        QFile g(h.dir.filePath("enormous.bin"));
        ASSERT_TRUE(g.open(QIODevice::WriteOnly));
        ASSERT_TRUE(g.resize(1LL << 42));  // 4 TiB, more than any memory here
    }
    CTrovik32View* v = openAt();
    select(v, "huge.bin");
    EXPECT_EQ(pane(1), "5,000,000,000");
    EXPECT_EQ(v->contentPane->text(), QByteArray(2000, '^'));
    select(v, "enormous.bin");
    const QByteArray before = v->contentPane->text();
    press(v->fileList, Qt::Key_Return);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], "メモリの確保に失敗");
    EXPECT_EQ(v->contentPane->text(), before);
    EXPECT_FALSE(v->listMode);  // the full view comes whatever the load did
}

TEST_F(Browse, FileGoneBeforeItsStatusIsReadReportsTheFailure)
{
    testsupport::writeFile(h.dir.filePath("brief.txt"), "here");
    testsupport::writeFile(h.dir.filePath("stay.txt"), "stay");
    CTrovik32View* v = openAt();
    select(v, "stay.txt");
    QFile::remove(h.dir.filePath("brief.txt"));
    select(v, "brief.txt");
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], "ファイルのステータス取得に失敗");
    EXPECT_EQ(v->contentPane->text(), cp932::fromUnicode("ファイルのステータス取得に失敗"));
    press(v->fileList, Qt::Key_Return);
    EXPECT_EQ(h.messages.size(), 2);
    EXPECT_EQ(h.messages[1], "ファイルのステータス取得に失敗");
}

TEST_F(Browse, FileThatCannotBeOpenedReportsBothWordings)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root opens every file";
    testsupport::writeFile(h.dir.filePath("locked.txt"), "secret");
    ASSERT_EQ(chmod(QFile::encodeName(h.dir.filePath("locked.txt")).constData(), 0), 0);
    CTrovik32View* v = openAt();
    select(v, "locked.txt");
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], "ファイルのオープンに失敗");
    EXPECT_EQ(v->contentPane->text(), cp932::fromUnicode("ファイルオープンに失敗"));
}

TEST_F(Browse, KeysOfTheListMoveTheSelectionAndPreview)
{
    for (const char* n : {"apple.txt", "banana.txt", "cherry.txt"})
        testsupport::writeFile(h.dir.filePath(n), n);
    CTrovik32View* v = openAt();
    v->fileList->setFocus();
    select(v, "apple.txt");
    press(v->fileList, Qt::Key_Down);
    EXPECT_EQ(v->fileList->text(v->fileList->curSel()), "banana.txt");
    EXPECT_EQ(v->contentPane->text(), "banana.txt");
    EXPECT_EQ(v->selectionStack[v->depth], v->fileList->curSel());
    press(v->fileList, Qt::Key_C);
    EXPECT_EQ(v->fileList->text(v->fileList->curSel()), "cherry.txt");
    press(v->fileList, Qt::Key_Home);
    EXPECT_EQ(v->fileList->curSel(), 0);
    // Setting the selection from the program does not preview.
    v->fileList->setCurSel(itemIndex(v, "apple.txt"));
    EXPECT_EQ(v->contentPane->text(), "cherry.txt");
    v->fileList->setCurSel(999);
    EXPECT_EQ(v->fileList->curSel(), -1);
}

namespace {

// A stand-in for the desktop's opener and for programs: each writes its
// arguments, one per line, to a log.
class Launching : public Browse {
protected:
    void SetUp() override
    {
        log = h.dir.filePath("launch.log");
        QDir(h.dir.path()).mkdir("bin");
        writeScript(h.dir.filePath("bin/xdg-open"), "opener");
        oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(h.dir.filePath("bin")) + ":" + oldPath);
    }
    void TearDown() override { qputenv("PATH", oldPath); }
    void writeScript(const QString& path, const char* who)
    {
        testsupport::writeFile(path, QByteArray("#!/bin/sh\n{ echo ") + who + "; for a in \"$@\"; do echo \"$a\"; done; } >> '"
                                         + QFile::encodeName(log) + "'\n");
        ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0755), 0);
    }
    QStringList waitForLog(int lines)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QFile f(log);
            if (f.open(QIODevice::ReadOnly)) {
                const QStringList l = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
                if (l.size() >= lines)
                    return l;
            }
            QTest::qWait(20);
        }
        return {};
    }
    void launch(CTrovik32View* v, const QByteArray& item)
    {
        QFile::remove(log);
        v->fileList->setCurSel(itemIndex(v, item));
        press(v->fileList, Qt::Key_Return, Qt::ControlModifier);
    }
    QString log;
    QByteArray oldPath;
};

}  // namespace

TEST_F(Launching, ProgramsRunDirectlyAndEverythingElseGoesToTheOpener)
{
    writeScript(h.dir.filePath("tool.exe"), "tool");
    writeScript(h.dir.filePath("run.com"), "com");
    writeScript(h.dir.filePath("LOUD.EXE"), "loud");
    testsupport::writeFile(h.dir.filePath("notes.txt"), "n");
    testsupport::writeFile(h.dir.filePath("plain.exe"), "not executable");
    QDir(h.dir.path()).mkdir("folder");
    CTrovik32View* v = openAt();
    launch(v, "tool.exe");
    EXPECT_EQ(waitForLog(1), (QStringList{"tool"}));
    EXPECT_TRUE(v->listMode);  // launching does not open the item
    launch(v, "run.com");
    EXPECT_EQ(waitForLog(1), (QStringList{"com"}));
    launch(v, "LOUD.EXE");
    EXPECT_EQ(waitForLog(2), (QStringList{"opener", h.dir.filePath("LOUD.EXE")}));
    launch(v, "notes.txt");
    EXPECT_EQ(waitForLog(2), (QStringList{"opener", h.dir.filePath("notes.txt")}));
    launch(v, "plain.exe");
    EXPECT_EQ(waitForLog(2), (QStringList{"opener", h.dir.filePath("plain.exe")}));
    launch(v, "<folder>");
    EXPECT_EQ(waitForLog(2), (QStringList{"opener", h.dir.filePath("<folder>")}));
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(Launching, NamesReachTheOpenerIntactAsOneArgument)
{
    const QString nasty = "-rf $(touch pwned) \"quoted\" 'single'; & spaced.txt";
    testsupport::writeFile(h.dir.filePath(nasty), "x");
    CTrovik32View* v = openAt();
    launch(v, nasty.toUtf8());
    EXPECT_EQ(waitForLog(2), (QStringList{"opener", h.dir.filePath(nasty)}));
    EXPECT_FALSE(QFile::exists(h.dir.filePath("pwned")));
    EXPECT_FALSE(QFile::exists("pwned"));
}

TEST_F(Launching, NamesThatAreNotUtf8ReachTheProgramByteForByteAndLeaveNoZombie)
{
    // Shift-JIS and Latin-1 names: the bytes must survive, not become U+FFFD.
    const QByteArray sjisName("\x93\xfa\x96\x7b\x8c\xea.txt");  // 日本語.txt in Shift-JIS
    const QByteArray programName("pr\xf6gram.exe");             // Latin-1 ö
    const QByteArray dir = QFile::encodeName(h.dir.path());
    for (const QByteArray& n : {sjisName, programName}) {
        const QByteArray path = dir + '/' + n;
        const QByteArray script = "#!/bin/sh\nprintf '%s\\n%s\\n' \"$0\" \"$1\" >> '" + QFile::encodeName(log) + "'\n";
        FILE* f = fopen(path.constData(), "wb");
        ASSERT_TRUE(f);
        fwrite(script.constData(), 1, static_cast<size_t>(script.size()), f);
        fclose(f);
        ASSERT_EQ(chmod(path.constData(), 0755), 0);
    }
    // The opener records its argument raw.
    testsupport::writeFile(h.dir.filePath("bin/xdg-open"),
                           "#!/bin/sh\nprintf 'opener\\n%s\\n' \"$1\" >> '" + QFile::encodeName(log) + "'\n");
    CTrovik32View* v = openAt();
    auto rawLog = [this](int lines) {
        QElapsedTimer t;
        t.start();
        QByteArray bytes;
        while (t.elapsed() < 10000 && bytes.count('\n') < lines) {
            QTest::qWait(20);
            QFile f(log);
            if (f.open(QIODevice::ReadOnly))
                bytes = f.readAll();
        }
        return bytes;
    };
    launch(v, sjisName);
    EXPECT_EQ(rawLog(2), "opener\n" + dir + '/' + sjisName + '\n');
    launch(v, programName);
    EXPECT_EQ(rawLog(2), dir + '/' + programName + "\n\n");
    // The launched programs are not our children: nothing is left to reap.
    int status = 0;
    errno = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}
