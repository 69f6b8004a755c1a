// The menu and accelerator commands the view answers.
#include "core/res/resources.h"
#include "core/viewer/euc.h"
#include "ui/view/CTrovik32View.h"
#include "ui/viewer/CFindTextDlg.h"
#include "ui/viewer/CREdit_File.h"

void CTrovik32View::ConvertEucToSjis()
{
    contentPane->setText(ConvertEucToSjisBytes(contentPane->text()));
}

void CTrovik32View::FindInContent()
{
    ::FindInContent(this, searchText, searchTextBuffer, contentPane, runFindDialog ? runFindDialog : FindDialogRunner(execFindDialog));
}

void CTrovik32View::CopySelection()
{
    contentPane->copySelection();
}

bool CTrovik32View::handlesCommand(int id) const
{
    switch (id) {
    case res::ID_EDIT_COPY:
    case res::ID_EDIT_FIND:
    case res::ID_EUC_SJIS:
    case res::ID_FOLDER_SIZE:
    case res::ID_FILE_EDIT:
    case res::ID_FILE_COPY:
    case res::ID_FILE_DELETE:
    case res::ID_FILE_RENAME:
    case res::ID_FILE_MOVE:
    case res::ID_FILE_MENU:
    case res::ID_DRIVE_CHANGE:
    case res::ID_EDITOR_SETTING:
    case res::ID_FILE_PRINT: case res::ID_FILE_PRINT_PREVIEW: case res::ID_FILE_PRINT_SETUP: case res::ID_PAGE_SETUP:
    case res::ID_LIST_FONT: case res::ID_EDIT_FONT: case res::ID_HELP_CONTENTS:
        return true;
    default:
        return isDriveCommand(id);
    }
}

void CTrovik32View::onCommand(int id)
{
    switch (id) {
    case res::ID_EDIT_COPY: CopySelection(); break;
    case res::ID_EDIT_FIND: FindInContent(); break;
    case res::ID_EUC_SJIS: ConvertEucToSjis(); break;
    case res::ID_FILE_PRINT: FilePrint(); break;
    case res::ID_FILE_PRINT_PREVIEW: FilePrintPreview(); break;
    case res::ID_FILE_PRINT_SETUP: PrinterSetup(); break;
    case res::ID_PAGE_SETUP: SetUpPage(); break;
    case res::ID_LIST_FONT: ChooseListFont(); break;
    case res::ID_EDIT_FONT: ChooseEditFont(); break;
    case res::ID_HELP_CONTENTS: ShowHelp(); break;
    case res::ID_FILE_EDIT: OnFileEdit(); break;
    case res::ID_FILE_COPY: OnFileCopy(); break;
    case res::ID_FILE_DELETE: OnFileDelete(); break;
    case res::ID_FILE_RENAME: OnFileRename(); break;
    case res::ID_FILE_MOVE: OnFileMove(); break;
    case res::ID_FILE_MENU: OnFileMenu(); break;
    case res::ID_DRIVE_CHANGE: OnDriveChange(); break;
    case res::ID_EDITOR_SETTING: OnEditorSetting(); break;
    case res::ID_FOLDER_SIZE: ShowFolderSize(); break;
    default:
        if (isDriveCommand(id))
            OnDriveCommand(id);
        break;
    }
}
