#include "ui/view/busy.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

BusyGuard::BusyGuard(QWidget* w, std::function<void()> onEscape)
    : window_(w->window()), onEscape_(std::move(onEscape))
{
    qApp->installEventFilter(this);
}

BusyGuard::~BusyGuard()
{
    qApp->removeEventFilter(this);
}

bool BusyGuard::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || !window_ || w->window() != window_)
        return false;
    if (e->type() == QEvent::ShortcutOverride) {
        // Claimed here, so no accelerator fires; the key press itself is dropped below.
        e->accept();
        return true;
    }
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && onEscape_) {
        // Run after the event is done with: giving up may destroy this guard.
        auto escape = onEscape_;
        QTimer::singleShot(0, window_, escape);
    }
    return true;
}
