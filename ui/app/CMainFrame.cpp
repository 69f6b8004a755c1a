#include "ui/app/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include "core/res/resources.h"
#include "ui/app/appicon.h"
#include "ui/view/CTrovik32View.h"

CMainFrame::CMainFrame(Profile& profile, const QString& documentTitle) : profile_(profile)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(documentTitle + QStringLiteral(" - ") + res::kAppTitle);
    setWindowIcon(appIcon());
    view_ = new CTrovik32View(profile_, this);
    view_->windowRect = [this] { return restoredRect(); };
    setCentralWidget(view_);
    view_->createView();
    buildStatusBar();
    buildMenu();
    buildAccelerators();
    connect(view_, &CTrovik32View::paneText, this, [this](int i, const QString& t) {
        if (i >= 0 && i < 4)
            panes_[static_cast<size_t>(i)]->setText(t);
    });
    connect(view_, &CTrovik32View::captionText, this, &QWidget::setWindowTitle);
    connect(view_, &CTrovik32View::closeRequested, this, &QWidget::close, Qt::QueuedConnection);
    // A saved rectangle that would hide the window (empty, or on a monitor
    // that is gone) gives way to the first-run placement.
    std::vector<WindowRect> screens;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        screens.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    }
    const WindowRect r = placeWindow(loadWindowRect(profile_), screens);
    setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

CMainFrame::~CMainFrame()
{
    if (!saved_) {
        saved_ = true;
        saveWindowRect(profile_, restoredRect());
        view_->destroyView();
        profile_.sync();
    }
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    // A file operation is given up first: the window closes once it has
    // stopped at its next file, never under it.
    if (view_->fileOperationRunning()) {
        view_->cancelFileOperation();
        e->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    // Placement first, then the view's settings, while every pane is alive;
    // then they go to disk together.
    if (!saved_) {
        saved_ = true;
        saveWindowRect(profile_, restoredRect());
        view_->destroyView();
        profile_.sync();
    }
    e->accept();
}

void CMainFrame::fillScreen()
{
    keptPlacement_ = restoredRect();
    placementKept_ = true;
    if (QScreen* s = screen())
        setGeometry(s->availableGeometry());
    // Nobody else gives the window the keyboard there: without it being the
    // active window its accelerators would never fire.
    raise();
    activateWindow();
}

WindowRect CMainFrame::restoredRect() const
{
    if (placementKept_)
        return keptPlacement_;
    const QRect g = (isMaximized() || isMinimized() || isFullScreen()) ? normalGeometry() : geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void CMainFrame::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("59393"));
    bar->setSizeGripEnabled(false);
    static const int widths[4] = {100, 60, 50, 28};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(bar);
        label->setMinimumWidth(widths[i]);
        // Names are plain text on one line: "<b>" in a name is no markup, and a
        // text wider than its pane is cut at the pane's edge.
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(false);
        if (i == 0)
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        if (i == 0) {
            label->setText(res::kIdleText);
            bar->addWidget(label, 1);  // the message line: menu prompts cover it
        } else {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            bar->addPermanentWidget(label);
        }
        panes_[static_cast<size_t>(i)] = label;
    }
}

QString CMainFrame::paneText(int index) const
{
    return panes_[static_cast<size_t>(index)]->text();
}

bool CMainFrame::isHandled(int id) const
{
    switch (id) {
    case res::ID_APP_ABOUT:
    case res::ID_APP_EXIT:
    case res::ID_VIEW_STATUS_BAR:
        return true;
    default:
        return view_->handlesCommand(id);
    }
}

void CMainFrame::buildMenu()
{
    for (const res::Menu& m : res::mainMenu()) {
        QMenu* menu = menuBar()->addMenu(m.title);
        QMenu* target = menu;
        for (const res::MenuEntry& e : m.entries) {
            switch (e.kind) {
            case res::MenuEntry::Separator: target->addSeparator(); break;
            case res::MenuEntry::SubmenuBegin: target = menu->addMenu(e.text); break;
            case res::MenuEntry::SubmenuEnd: target = menu; break;
            case res::MenuEntry::Command: {
                // The text after the TAB is only a hint: the accelerator table decides the keys.
                QAction* a = target->addAction(e.text);
                a->setStatusTip(res::prompt(e.id));
                a->setEnabled(isHandled(e.id));  // a command without a handler stays greyed
                const int id = e.id;
                connect(a, &QAction::triggered, this, [this, id] { command(id); });
                actions_[id] = a;
                break;
            }
            }
        }
        // Pane 0 shows the idle text again once the menu closes.
        connect(menu, &QMenu::aboutToHide, this, [this] { panes_[0]->setText(res::kIdleText); });
    }
    QAction* status = actions_.at(res::ID_VIEW_STATUS_BAR);
    status->setCheckable(true);
    status->setChecked(true);
}

void CMainFrame::buildAccelerators()
{
    for (const res::Accelerator& a : res::accelerators()) {
        const Qt::KeyboardModifiers mods = a.shift ? (Qt::ControlModifier | Qt::ShiftModifier) : Qt::ControlModifier;
        const QKeySequence keys(QKeyCombination(mods, static_cast<Qt::Key>(Qt::Key_A + (a.key - 'A'))));
        auto* sc = new QShortcut(keys, this);
        sc->setContext(Qt::WindowShortcut);
        const int id = a.id;
        connect(sc, &QShortcut::activated, this, [this, id] { command(id); });
    }
}

QAction* CMainFrame::action(int id) const
{
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::command(int id)
{
    if (view_->isBusy())
        return false;  // long work runs: every command is refused until it ends
    switch (id) {
    case res::ID_APP_ABOUT: {
        CVersionInfoDlg dlg(this);
        dlg.exec();
        return true;
    }
    case res::ID_APP_EXIT:
        close();
        return true;
    case res::ID_VIEW_STATUS_BAR: {
        statusBar()->setVisible(!statusBar()->isVisible());
        actions_.at(res::ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisible());
        return true;
    }
    default:
        if (!view_->handlesCommand(id))
            return false;
        view_->onCommand(id);
        return true;
    }
}

CVersionInfoDlg::CVersionInfoDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(res::kVersionCaption);
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(appIcon().pixmap(32, 32));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(res::kVersionText, this);
    layout->addWidget(text, 1, Qt::AlignTop);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
    setFixedSize(sizeHint().expandedTo(QSize(326, 90)));
}
