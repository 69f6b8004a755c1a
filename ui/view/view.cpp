// The view's creation, destruction, layout, focus, settings and drive list.
#include <QFocusEvent>
#include <QResizeEvent>

#include "core/browse/itemtext.h"
#include "core/view/drives.h"
#include "core/view/layout.h"
#include "core/viewer/cp932.h"
#include "platform/archivelib.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "ui/app/messagebox.h"
#include "ui/browse/panes.h"
#include "ui/fontmap.h"
#include "ui/view/CTrovik32View.h"
#include "platform/backgroundread.h"
#include "ui/view/busy.h"
#include "ui/viewer/CREdit_File.h"

CTrovik32View::CTrovik32View(Profile& profile, QWidget* parent) : QWidget(parent), profile_(profile)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &CTrovik32View::paneText, this, [this](int pane, const QString& text) {
        if (pane == 0)
            pane0Shown_ = text;
    });
}

CTrovik32View::~CTrovik32View()
{
    destroyView();
}

void CTrovik32View::createView()
{
    // The four panes: drive list, file list, sub list, content pane.
    driveList = new CListBox_Dv(this);
    fileList = new CListBox_File(this);
    subList = new CListBox_Sub(this);
    contentPane = new CREdit_File(this);
    for (QWidget* w : {static_cast<QWidget*>(driveList), static_cast<QWidget*>(fileList),
                       static_cast<QWidget*>(subList), static_cast<QWidget*>(contentPane)})
        w->setGeometry(0, 0, 300, 200);
    driveList->hide();
    contentPane->hide();
    connect(fileList, &ListBox::selChange, this, &CTrovik32View::PreviewSelectedItem);
    connect(fileList, &ListBox::dblClk, this, &CTrovik32View::OpenSelectedItem);
    connect(fileList, &ListBox::vkeyToItem, this, [this](int key) { HandleListKey(key, fileList); });
    connect(contentPane, &CREdit_File::keyToItem, this, [this](int key) { HandleListKey(key, nullptr); });

    archiveMode = false;
    depth = 0;
    selectionStack[0] = 0;
    currentFolder = previewFolder = "c:";

    FillDriveList();

    archiveLibraryLoaded = platform::archiveLibrary().load();

    LoadSettings();

    // A start path naming a file starts in the folder that holds it.
    if (startPath.size() > 2) {
        const auto st = platform::fileStatus(startPath);
        if (st && !st->isDir)
            startPath = cutAtLastBackslash(startPath);
    }
    depth = countBackslashes(startPath);
    for (int i = 0; i <= depth; ++i)
        selectionStack[i] = 0;
    currentFolder = previewFolder = startPath;
    if (!platform::canList(currentFolder)) {
        showMessage(this, items::displayText(currentFolder)
                              + QStringLiteral(" //媒体が入っていません。Cドライブから起動します。"));
        depth = 0;
        selectionStack[0] = 0;
        currentFolder = previewFolder = "c:";
    }
    ListFolder(currentFolder);
    listMode = true;
    // Tab stops every quarter inch are the content pane's own.
    lastDestFolder.clear();
    layoutPanes();
}

void CTrovik32View::destroyView()
{
    if (destroyed_ || !fileList)
        return;
    destroyed_ = true;
    cancelBackgroundLoad();
    SaveSettings();
    delete driveList;
    delete fileList;
    delete subList;
    delete contentPane;
    driveList = nullptr;
    fileList = nullptr;
    subList = nullptr;
    contentPane = nullptr;
    delete helpWindow.data();
    if (archiveLibraryLoaded)
        platform::archiveLibrary().unload();
}

void CTrovik32View::layoutPanes()
{
    if (!fileList)
        return;
    if (listMode) {
        const ListLayout l = listLayout(width(), height());
        fileList->setGeometry(l.fileList);
        subList->setGeometry(l.bottom);
        contentPane->setGeometry(l.bottom);
        fileList->setFocus();
        fileList->setCurSel(selectionStack[depth]);
    } else {
        contentPane->setGeometry(rect());
    }
}

void CTrovik32View::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutPanes();
}

void CTrovik32View::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    if (!fileList)
        return;
    if (listMode) {
        fileList->setFocus();
        fileList->setCurSel(selectionStack[depth]);
    } else {
        contentPane->setFocus();
    }
}

void CTrovik32View::EnterListLayout()
{
    listMode = true;
    const ListLayout l = listLayout(width(), height());
    subList->setGeometry(l.bottom);
    contentPane->setGeometry(l.bottom);
    fileList->setGeometry(l.fileList);
    subList->hide();
    fileList->show();
    contentPane->show();
    fileList->setFocus();
    fileList->setCurSel(selectionStack[depth]);
}

void CTrovik32View::EnterFullView(int index)
{
    listMode = false;
    selectionStack[depth] = index;
    fileList->hide();
    contentPane->setGeometry(rect());
    contentPane->show();
    contentPane->setFocus();
}

void CTrovik32View::showSubList()
{
    contentPane->hide();
    subList->show();
}

void CTrovik32View::showContentPane()
{
    subList->hide();
    contentPane->show();
}

void CTrovik32View::setContentMessage(const QString& text)
{
    contentPane->setText(cp932::fromUnicode(text));
}

void CTrovik32View::FillDriveList()
{
    std::vector<Drive> drives = platform::detectDrives(profile_);
    pathMap().setDrives(drives);
    std::vector<QByteArray> texts;
    for (const Drive& d : drives)
        texts.push_back(driveItemText(d));
    // Drive items stand in letter order.
    driveList->model().setItems(std::move(texts), std::vector<items::Kind>(drives.size(), items::Kind::Drive));
    driveCount = driveList->count();
}

bool CTrovik32View::ListFolder(const QByteArray& path)
{
    fileList->model().resetContent();
    const auto entries = platform::enumerate(path);
    if (!entries) {
        showMessage(this, items::displayText(path) + QStringLiteral(" //ファイルが無い、または媒体が入っていません"));
        return false;
    }
    const Listing listing = buildFolderListing(*entries, driveList->model().items(), fileList->itemHeight());
    fileList->model().setItems(listing.items, listing.kinds);
    fileList->setColumnWidth(listing.columnWidth);
    fileList->setFocus();
    fileList->setCurSel(selectionStack[depth]);
    return true;
}

bool CTrovik32View::ListFolderPreview(const QByteArray& path)
{
    subList->model().resetContent();
    if (const auto entries = platform::enumerate(path)) {
        Listing l = buildPreviewListing(*entries);
        subList->model().setItems(std::move(l.items), std::move(l.kinds));
    }
    return true;
}

void CTrovik32View::applyFonts()
{
    listFont = fontFromLogFont(listLogFont);
    subListFont = fontFromLogFont(listLogFont);
    editFont = fontFromLogFont(editLogFont);
    fileList->setFont(listFont);
    subList->setFont(subListFont);
    contentPane->setLogFont(editLogFont);
    fileList->setItemHeight(listItemHeight & 0xFFFF);
}

void CTrovik32View::LoadSettings()
{
    Settings s;
    loadSettings(profile_, s);
    listLogFont = s.listLogFont;
    listItemHeight = s.listItemHeight;
    editLogFont = s.editLogFont;
    editPointSize = s.editPointSize;
    applyFonts();
    marginTop = s.marginTop;
    marginBottom = s.marginBottom;
    marginRight = s.marginRight;
    marginLeft = s.marginLeft;
    startPath = s.startPath;
    editorPath = s.editorPath;
}

void CTrovik32View::SaveSettings()
{
    Settings s;
    s.listLogFont = listLogFont;
    s.listItemHeight = listItemHeight;
    s.editLogFont = editLogFont;
    s.editPointSize = editPointSize;
    s.marginTop = marginTop;
    s.marginBottom = marginBottom;
    s.marginRight = marginRight;
    s.marginLeft = marginLeft;
    // The folder shown last is where the next run starts.
    startPath = currentFolder;
    s.startPath = startPath;
    s.editorPath = editorPath;
    saveSettings(profile_, s, windowRect ? windowRect() : WindowRect{});
}
