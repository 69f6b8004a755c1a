#pragma once
// The one view: owns the four panes and all browsing state. Handlers work on
// the fields directly.
#include <QByteArray>
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "core/browse/selectionstack.h"
#include "core/settings/logfont.h"
#include "core/settings/profile.h"
#include "core/settings/settings.h"

class CListBox_Dv;
class CListBox_File;
class CListBox_Sub;
class CREdit_File;
class ListBox;
class CFindTextDlg;
class FolderSizeRun;
namespace platform { struct FolderSizeProgress; }

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

    // Preview and loading
    void PreviewSelectedItem();
    void LoadFileContent(const QByteArray& path);
    void LoadMemberContent(const QByteArray& archivePath, const QByteArray& member);

    // Archives
    bool IsLzhArchive(const QByteArray& path);
    bool EnterArchive(const QByteArray& path);
    bool ListArchivePreview(const QByteArray& path);

    // Settings
    void LoadSettings();
    void SaveSettings();

    // Commands
    void ConvertEucToSjis();
    void FindInContent();
    void CopySelection();
    void ShowFolderSize();
    bool handlesCommand(int id) const;
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
    // The folder-size walk under way; every other key and command waits for it.
    FolderSizeRun* folderSizeRun = nullptr;
    // Sums a native folder for the folder size; replaced by tests.
    std::function<uint64_t(const QByteArray&, platform::FolderSizeProgress&)> walkFolderSize;

signals:
    void paneText(int pane, const QString& text);
    void captionText(const QString& text);
    // Escape in the file list: the window that owns the view is destroyed.
    void closeRequested();

protected:
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;

private:
    void applyFonts();
    void showSubList();
    void showContentPane();
    void setContentMessage(const QString& text);
    QByteArray memberCommand(const QByteArray& archivePath, const QByteArray& member) const;
    Profile& profile_;
    bool destroyed_ = false;
};
