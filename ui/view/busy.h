#pragma once
// While long work runs off the window's thread, the window keeps painting
// but takes no input: keys, clicks and wheel turns for it are dropped, so
// nothing can change the state the work depends on. Escape gives the work up.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class BusyGuard : public QObject {
public:
    // Blocks input to the window of w until the guard is destroyed.
    BusyGuard(QWidget* w, std::function<void()> onEscape);
    ~BusyGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QPointer<QWidget> window_;
    std::function<void()> onEscape_;
};
