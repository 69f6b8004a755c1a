#pragma once
// The one view: owns the four panes and all browsing state. Handlers work on
// the fields directly.
#include <QByteArray>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "core/browse/selectionstack.h"
#include "core/settings/logfont.h"
#include "core/settings/profile.h"
#include "core/settings/settings.h"
#include "ui/print/printer.h"

class CListBox_Dv;
class CListBox_File;
class CListBox_Sub;
class CREdit_File;
class ListBox;
class CFindTextDlg;
class CFilePathDialog;
class QMenu;
class QAction;
class BusyGuard;
class QTimer;
class FolderSizeRun;
class QFontDialog;
class QPageSetupDialog;
class QPainter;
class QPrintDialog;
class QPrintPreviewDialog;
class QPrinter;
class CPrinterSetupDlg;
namespace platform {
class BackgroundRead;
class FileOpObserver;
struct FileOpResult;
struct FileOpFailure;
enum class FailureChoice;
struct FolderSizeProgress;
}

class CTrovik32View : public QWidget {
    Q_OBJECT
public:
    explicit CTrovik32View(Profile& profile, QWidget* parent = nullptr);
    ~CTrovik32View() override;

    // Creation: the panes, the drives, the archive library, the settings and
    // the start folder. Destruction: the settings saved, the panes and the
    // library released. The frame calls destroyView while everything is alive.
    void createView();
    void destroyView();

    // Layout
    void EnterFullView(int index);
    void EnterListLayout();
    void layoutPanes();

    // Listing
    bool ListFolder(const QByteArray& path);
    bool ListFolderPreview(const QByteArray& path);
    void FillDriveList();

    // Navigation and keys
    void OpenSelectedItem();
    int HandleListKey(int key, ListBox* sender);
    // Lists the root of a drive at depth 0; a drive that cannot be listed
    // leaves the folder, depth and selection as they were (from previousFolder).
    void SwitchDrive(char letter);

    // Preview and loading
    void PreviewSelectedItem();
    // False when the file is large and goes on loading in the background:
    // the full view follows when it has arrived (Escape gives it up).
    bool LoadFileContent(const QByteArray& path);
    // occurrence: which member of a repeated name (0 the first in archive order).
    void LoadMemberContent(const QByteArray& archivePath, const QByteArray& member, int occurrence = 0);

    // Archives
    bool IsLzhArchive(const QByteArray& path);
    bool EnterArchive(const QByteArray& path);
    bool ListArchivePreview(const QByteArray& path);
    // Backspace in a member list: to the folder holding the outermost archive,
    // that archive selected. False outside an archive.
    bool LeaveArchive();

    // Settings
    void LoadSettings();
    void SaveSettings();

    // File operations and the popups
    bool GetSelectedItemPath(QByteArray& out);
    bool BrowseForDestination(QByteArray& out);
    void OnFileEdit();
    void OnFileCopy();
    void OnFileMove();
    void OnFileDelete();
    void OnFileRename();
    void OnEditorSetting();
    void ShowFileMenu(const QPoint& globalPos);
    void OnFileMenu();
    void OnDriveChange();
    bool isDriveCommand(int id) const;
    bool fileOperationRunning() const { return fileOpCancel_ != nullptr; }
    void cancelFileOperation()
    {
        if (fileOpCancel_)
            fileOpCancel_->store(true);
    }
    void OnDriveCommand(int id);

    // Commands
    void ConvertEucToSjis();
    void FindInContent();
    void CopySelection();
    void ShowFolderSize();
    bool handlesCommand(int id) const;
    // Long work is running: the window takes no commands or keys but Escape.
    bool isBusy() const { return busy_ != nullptr || folderSizeRun != nullptr; }
    void onCommand(int id);

    // Fields
    int savedSelection = 0;
    int savedDepth = 0;
    int driveMenuCount = 0;
    int editPointSize = 10;
    int listItemHeight = 18;
    int marginRight = 10, marginLeft = 10, marginBottom = 10, marginTop = 10;
    LOGFONT editLogFont;
    LOGFONT listLogFont;
    QFont subListFont, editFont, listFont;
    bool archiveMode = false;
    bool archiveLibraryLoaded = false;
    QString searchText;
    QByteArray searchTextBuffer;
    QByteArray lastDestFolder;
    QByteArray editorPath;
    QByteArray startPath;
    QByteArray previousFolder;
    QByteArray previewFolder;
    QByteArray currentFolder;
    QByteArray itemPath;
    SelectionStack selectionStack;
    int depth = 0;
    bool listMode = true;
    int driveCount = 0;
    CListBox_Dv* driveList = nullptr;
    CListBox_File* fileList = nullptr;
    CListBox_Sub* subList = nullptr;
    CREdit_File* contentPane = nullptr;

    // The main window's restored rectangle, for the settings save.
    std::function<WindowRect()> windowRect;
    // Runs the search dialog; replaced by tests.
    std::function<bool(CFindTextDlg&)> runFindDialog;
    // The other dialogs and popups, replaced by tests: the rename dialog, the
    // destination chooser (native start folder, native choice), the editor
    // chooser (native choice), popup tracking and the question after a failed item.
    std::function<bool(CFilePathDialog&)> runRenameDialog;
    std::function<bool(const QByteArray& start, QByteArray& chosen)> runFolderDialog;
    std::function<bool(QByteArray& chosen)> runEditorDialog;
    std::function<QAction*(QMenu&, const QPoint&)> runPopup;
    std::function<platform::FailureChoice(const platform::FileOpFailure&)> askFailure;
    // The folder-size walk under way; every other key and command waits for it.
    FolderSizeRun* folderSizeRun = nullptr;
    // Sums a native folder for the folder size; replaced by tests.
    std::function<uint64_t(const QByteArray&, platform::FolderSizeProgress&)> walkFolderSize;

    // Printing, page and printer setup, fonts and help.
    bool PreparePrinting();
    void PrintPage(QPainter& painter, QPrinter& printer, int page);
    void FilePrint();
    void FilePrintPreview();
    void PrinterSetup();
    void SetUpPage();
    void ChooseListFont();
    void ChooseEditFont();
    void ShowHelp();
    int printableWidth = 0, pageWidth = 0, pageHeight = 0;  // 0.1 mm
    std::vector<qsizetype> pageStarts{0};
    int pageCount = 0;
    int linesPerPage = 1;
    qsizetype printTextLength = 0;
    QByteArray printText;
    print::TextForm printForm = print::TextForm::Cp932;
    QFont printFont;
    PrinterChoice printerChoice;  // from printer setup; not saved
    QPointer<QWidget> helpWindow;
    // The dialogs run through these when set (tests answer them); true is OK.
    std::function<bool(QPrintDialog&)> runPrintDialog;
    std::function<bool(QPrintPreviewDialog&)> runPreviewDialog;
    std::function<bool(QPageSetupDialog&)> runPageSetupDialog;
    std::function<bool(CPrinterSetupDlg&)> runPrinterSetupDialog;
    std::function<bool(QFontDialog&)> runFontDialog;

signals:
    void paneText(int pane, const QString& text);
    void captionText(const QString& text);
    // Escape in the file list: the window that owns the view is destroyed.
    void closeRequested();

protected:
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    // Tab never moves the focus between the panes: the file list keeps it in
    // the list layout, the content pane in the full view.
    bool focusNextPrevChild(bool) override { return true; }

private:
    void applyFonts();
    void showSubList();
    void showContentPane();
    void setContentMessage(const QString& text);
    QByteArray memberCommand(const QByteArray& archivePath, const QByteArray& member, int occurrence) const;
    // How many items above the file list's item index carry the same text.
    int memberOccurrence(int index) const;
    // Runs one file operation on a worker thread while the window waits,
    // paints and shows the progress; the user answers failures.
    platform::FileOpResult runFileOperation(int id, const std::function<platform::FileOpResult(platform::FileOpObserver&)>& op);
    void finishBackgroundLoad();
    void cancelBackgroundLoad();
    Profile& profile_;
    bool destroyed_ = false;
    // The background load of a large file, the input it blocks, its progress
    // ticks, the item it opens and pane 0's text before it began.
    std::unique_ptr<platform::BackgroundRead> loadJob_;
    std::unique_ptr<BusyGuard> busy_;
    QTimer* loadTimer_ = nullptr;
    int loadIndex_ = -1;
    QString loadPane0_;
    QString pane0Shown_;  // what the view last wrote into pane 0
    QByteArray lastDestNative_;
    std::atomic<bool>* fileOpCancel_ = nullptr;  // the running file operation's cancel flag  // the destination chosen last, as the file system names it
};
