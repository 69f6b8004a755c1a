// Moving through folders, drives and archives, and the keys the panes hand over.
#include "core/browse/itemtext.h"
#include "platform/launcher.h"
#include "ui/browse/panes.h"
#include "ui/browse/vkeys.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CREdit_File.h"

namespace {

QByteArray cutAtLastBackslashFull(const QByteArray& path)
{
    const qsizetype i = path.lastIndexOf('\\');
    return i >= 0 ? path.left(i) : path;
}

}  // namespace

void CTrovik32View::OpenSelectedItem()
{
    const int s = fileList->curSel();
    if (s < 0)
        return;  // an empty list: nothing to open
    const QByteArray t = fileList->text(s);
    const items::Kind kind = fileList->model().kind(s);
    previousFolder = currentFolder;
    if (kind == items::Kind::Self)
        return;  // the folder shown already
    if (kind != items::Kind::File) {
        if (kind == items::Kind::Parent) {
            currentFolder = cutAtLastBackslashFull(currentFolder);
            selectionStack.ascend(depth);
            ListFolder(currentFolder);
            archiveMode = false;
        } else if (kind == items::Kind::Drive) {
            SwitchDrive(items::driveLetter(t));
            PreviewSelectedItem();
        } else {
            currentFolder += '\\' + items::folderName(t);
            selectionStack.descend(depth, s);
            ListFolder(currentFolder);  // an unreadable folder leaves the empty list at the new depth
        }
        previewFolder = currentFolder;
        return;
    }
    itemPath = currentFolder + '\\' + t;
    if (EnterArchive(itemPath)) {
        selectionStack.descend(depth, s);
        fileList->setCurSel(0);
        return;
    }
    if (archiveMode && archiveLibraryLoaded) {
        LoadMemberContent(currentFolder, t, memberOccurrence(s));
    } else if (!LoadFileContent(itemPath)) {
        loadIndex_ = s;  // the full view follows when the load has arrived
        return;
    }
    EnterFullView(s);
}

void CTrovik32View::SwitchDrive(char letter)
{
    currentFolder = QByteArray(1, letter) + ':';
    previewFolder = currentFolder;
    savedDepth = depth;
    savedSelection = selectionStack[depth];
    depth = 0;
    selectionStack[0] = 0;
    if (!ListFolder(currentFolder)) {
        // The drive cannot be read: back to where we were.
        currentFolder = previewFolder = previousFolder;
        depth = savedDepth;
        selectionStack[depth] = savedSelection;
        ListFolder(currentFolder);
    }
    archiveMode = false;
}

int CTrovik32View::HandleListKey(int key, ListBox* sender)
{
    const bool fromFileList = sender == fileList;
    switch (key) {
    case VK_RETURN:
        if (!fromFileList) {
            EnterListLayout();
        } else if (fileList->keyModifiers() & Qt::ControlModifier) {
            const int s = fileList->curSel();
            if (s >= 0) {
                const QByteArray t = fileList->text(s);
                itemPath = currentFolder + '\\' + t;
                // Names ending in exactly "exe" or "com" run as programs; the rest go to the desktop.
                if ((t.endsWith("exe") || t.endsWith("com")) && platform::runProgram(itemPath))
                    break;
                platform::openWithDesktop(itemPath);
            }
        } else {
            OpenSelectedItem();
        }
        break;
    case VK_BACK: {
        if (LeaveArchive())
            break;
        const qsizetype i = currentFolder.lastIndexOf('\\');
        if (i > 0) {
            currentFolder.truncate(i);
            selectionStack.ascend(depth);
            archiveMode = false;
            ListFolder(currentFolder);
            previewFolder = currentFolder;
        }
        break;
    }
    case VK_ESCAPE:
        if (fromFileList)
            emit closeRequested();
        break;
    case VK_F2:
        if (fromFileList)
            OnFileRename();
        break;
    default:
        break;
    }
    return -1;
}
