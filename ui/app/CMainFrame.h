#pragma once
// The program's only top-level window: the view, the menu, the accelerators,
// the four-pane status bar, and the placement remembered between runs.
#include <QMainWindow>

#include <QDialog>

#include <array>
#include <map>

#include "core/settings/profile.h"
#include "core/settings/settings.h"

class QLabel;
class CTrovik32View;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(Profile& profile, const QString& documentTitle);
    ~CMainFrame() override;

    CTrovik32View* view() const { return view_; }
    QLabel* pane(int index) const { return panes_[static_cast<size_t>(index)]; }
    QString paneText(int index) const;
    QAction* action(int id) const;
    // Runs a command as the menu or an accelerator would; false when nothing handles it.
    bool command(int id);
    bool isHandled(int id) const;
    // The restored rectangle, also while maximised or minimised.
    WindowRect restoredRect() const;
    // Covers the whole screen for this run only: the placement saved stays
    // the one the window had before.
    void fillScreen();

protected:
    void closeEvent(QCloseEvent*) override;

private:
    void buildMenu();
    void buildAccelerators();
    void buildStatusBar();
    Profile& profile_;
    CTrovik32View* view_ = nullptr;
    std::array<QLabel*, 4> panes_{};
    std::map<int, QAction*> actions_;
    bool saved_ = false;
    bool placementKept_ = false;
    WindowRect keptPlacement_{};
};

// The version information box.
class CVersionInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CVersionInfoDlg(QWidget* parent = nullptr);
};
