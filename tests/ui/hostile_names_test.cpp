// Names a Linux folder may hold and a Windows one never did: folders and
// files beginning with "." or "<", control characters in names, folders that
// open but cannot be read, and the focus staying where the keys belong.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include "support/uiharness.h"

namespace {

void choose(CTrovik32View* v, const QByteArray& text)
{
    const int i = itemIndex(v, text);
    ASSERT_GE(i, 0) << text.constData();
    QTest::mouseClick(v->fileList->viewport(), Qt::LeftButton, {}, v->fileList->itemRect(i).center());
    ASSERT_EQ(v->fileList->curSel(), i);
}

void key(QWidget* w, Qt::Key k)
{
    QTest::keyClick(w, k);
    QCoreApplication::processEvents();
}

// Whether any pixel of the rectangle has the colour.
bool painted(const QImage& img, const QRect& r, QRgb colour)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

// Writes a file whose name is given as raw bytes.
void writeRaw(const QString& folder, const QByteArray& name, const QByteArray& bytes)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
}

class HostileNames : public ::testing::Test {
protected:
    CTrovik32View* openHere()
    {
        h.setStartPath(h.prog());
        return h.open(QSize(800, 600))->view();
    }
    UiHarness h;
};

}  // namespace

TEST_F(HostileNames, DotFoldersAreEnteredAndOnlyTheExactParentItemGoesUp)
{
    QDir(h.dir.path()).mkpath(".config/inner");
    QDir(h.dir.path()).mkpath("..more/deep");
    CTrovik32View* v = openHere();
    const int depth = v->depth;
    choose(v, "<.config>");
    // The preview lists the folder's entries, not the parent's.
    EXPECT_EQ(h.frame->paneText(0), QString::fromUtf8(h.prog(".config")));
    EXPECT_NE(std::find(v->subList->model().items().begin(), v->subList->model().items().end(), "<inner>"),
              v->subList->model().items().end());
    key(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->currentFolder, h.prog(".config"));
    EXPECT_EQ(v->depth, depth + 1);
    EXPECT_GE(itemIndex(v, "<inner>"), 0);
    choose(v, "<..>");
    key(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->currentFolder, h.prog());
    // A folder named "..more" is a folder too.
    choose(v, "<..more>");
    key(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->currentFolder, h.prog("..more"));
    EXPECT_GE(itemIndex(v, "<deep>"), 0);
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(HostileNames, FilesNamedLikeFoldersOrDrivesAreFiles)
{
    testsupport::writeFile(h.dir.filePath("<note.txt"), "a note");
    testsupport::writeFile(h.dir.filePath("<-evil"), "not a drive");
    QDir(h.dir.path()).mkpath("-dash/in");
    CTrovik32View* v = openHere();
    const QImage img = v->fileList->viewport()->grab().toImage();
    const QRect note = v->fileList->itemRect(itemIndex(v, "<note.txt"));
    const QRect evil = v->fileList->itemRect(itemIndex(v, "<-evil"));
    const QRect dash = v->fileList->itemRect(itemIndex(v, "<-dash>"));
    EXPECT_TRUE(painted(img, note, qRgb(0, 0, 0)));
    EXPECT_FALSE(painted(img, note, CListBox_File::kFolderColour));
    EXPECT_TRUE(painted(img, evil, qRgb(0, 0, 0)));
    EXPECT_FALSE(painted(img, evil, CListBox_File::kDriveColour));
    EXPECT_TRUE(painted(img, dash, CListBox_File::kFolderColour));
    EXPECT_FALSE(painted(img, dash, CListBox_File::kDriveColour));

    // The preview shows the whole path and the file's bytes.
    choose(v, "<note.txt");
    EXPECT_EQ(h.frame->paneText(0), QString::fromUtf8(h.prog("<note.txt")));
    EXPECT_EQ(h.frame->paneText(1), "6");
    EXPECT_EQ(v->contentPane->text(), "a note");
    // Enter opens it in the full view.
    key(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), "a note");
    key(v->contentPane, Qt::Key_Escape);
    choose(v, "<-evil");
    key(v->fileList, Qt::Key_Return);
    EXPECT_FALSE(v->listMode);
    EXPECT_EQ(v->contentPane->text(), "not a drive");
    key(v->contentPane, Qt::Key_Return);
    // A folder "-dash" is entered, not taken for drive d:.
    choose(v, "<-dash>");
    key(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->currentFolder, h.prog("-dash"));
    EXPECT_GE(itemIndex(v, "<in>"), 0);
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(HostileNames, ControlCharactersShowAsPlaceholdersAndTheFileStillOpens)
{
    const QByteArray name("line\nbreak\x1b[31m\x07.txt");
    writeRaw(h.dir.path(), name, "bell");
    CTrovik32View* v = openHere();
    choose(v, name);
    const QString path = h.frame->paneText(0);
    const QString caption = h.frame->windowTitle();
    for (const QString& shown : {path, caption}) {
        for (QChar c : shown)
            EXPECT_GE(c.unicode(), 0x20) << "a control character reached the window: " << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x240A))) << shown.toStdString();  // ␊
        EXPECT_TRUE(shown.contains(QChar(0x241B))) << shown.toStdString();  // ␛
    }
    EXPECT_EQ(v->contentPane->text(), "bell");
    key(v->fileList, Qt::Key_Return);
    EXPECT_EQ(v->contentPane->text(), "bell");
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST_F(HostileNames, StatusPanesAreOneLinePlainTextClippedToThemselves)
{
    const QByteArray name = "<b>bold<i>" + QByteArray(200, 'x') + ".txt";
    writeRaw(h.dir.path(), name, "12345");
    CTrovik32View* v = openHere();
    h.frame->resize(300, 300);
    QCoreApplication::processEvents();
    choose(v, name);
    const auto labels = h.frame->statusBar()->findChildren<QLabel*>();
    QLabel* path = nullptr;
    QLabel* size = nullptr;
    for (QLabel* l : labels) {
        if (l->text().contains("bold"))
            path = l;
        if (l->text() == "5")
            size = l;
    }
    ASSERT_TRUE(path && size);
    EXPECT_EQ(path->textFormat(), Qt::PlainText);
    EXPECT_FALSE(path->wordWrap());
    // The long path is cut at its own pane, which ends before the size pane begins.
    EXPECT_LE(path->geometry().right(), size->geometry().left());
    EXPECT_LE(h.frame->statusBar()->width(), h.frame->width());
}

TEST_F(HostileNames, FolderThatOpensButCannotBeReadIsAFailedListing)
{
    // /proc/1/map_files opens, then reading it fails with EACCES for anyone
    // without the right to trace process 1.
    DIR* d = opendir("/proc/1/map_files");
    if (!d)
        GTEST_SKIP() << "/proc/1/map_files cannot be opened here";
    errno = 0;
    while (readdir(d)) {
    }
    const bool readable = errno == 0;
    closedir(d);
    if (readable)
        GTEST_SKIP() << "/proc/1/map_files can be read here, so it cannot show the failure";
    CTrovik32View* v = openHere();
    EXPECT_FALSE(v->ListFolder("c:\\proc\\1\\map_files"));
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0], QStringLiteral("c:\\proc\\1\\map_files //ファイルが無い、または媒体が入っていません"));
    EXPECT_EQ(v->fileList->count(), 0);
}

TEST_F(HostileNames, TabLeavesTheFocusWhereItIs)
{
    testsupport::writeFile(h.dir.filePath("a.txt"), "line one\nline two\n");
    CTrovik32View* v = openHere();
    h.frame->activateWindow();
    v->fileList->setFocus();
    QCoreApplication::processEvents();
    if (!v->fileList->hasFocus())
        GTEST_SKIP() << "the offscreen window did not take the focus";
    choose(v, "a.txt");
    key(v->fileList, Qt::Key_Tab);
    EXPECT_TRUE(v->fileList->hasFocus());
    key(v->fileList, Qt::Key_Backtab);
    EXPECT_TRUE(v->fileList->hasFocus());
    // Down still moves the list's selection, not a hidden caret.
    const int before = v->fileList->curSel();
    key(v->fileList, Qt::Key_Up);
    EXPECT_NE(v->fileList->curSel(), before);
    choose(v, "a.txt");
    key(v->fileList, Qt::Key_Return);
    ASSERT_FALSE(v->listMode);
    EXPECT_TRUE(v->contentPane->hasFocus());
    key(v->contentPane, Qt::Key_Tab);
    EXPECT_TRUE(v->contentPane->hasFocus());
}

TEST_F(HostileNames, AccentsAboveCapitalsAreDrawnInsideTheirItem)
{
    testsupport::writeFile(h.dir.filePath("ÜÖÅ.txt"), "");
    CTrovik32View* v = openHere();
    v->fileList->setCurSel(0);
    const QImage img = v->fileList->viewport()->grab().toImage();
    const QRect item = v->fileList->itemRect(itemIndex(v, "ÜÖÅ.txt"));
    // The same text drawn with room all around: the item must show all of its ink.
    QImage free(item.width(), item.height() * 3, QImage::Format_RGB32);
    free.fill(Qt::white);
    {
        QPainter p(&free);
        p.setFont(v->fileList->font());
        p.setPen(Qt::black);
        p.drawText(0, item.height() * 2, QStringLiteral("ÜÖÅ.txt"));
    }
    auto ink = [](const QImage& im, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qGray(im.pixel(x, y)) < 128;
        return n;
    };
    const int whole = ink(free, free.rect());
    ASSERT_GT(whole, 0);
    EXPECT_EQ(ink(img, item), whole);
}
