#pragma once
// SIGTERM and SIGHUP (a logout, a kill) as an ordinary event: the handler only
// writes the signal's number into a pipe, and a socket notifier on the other
// end emits received() from the event loop.
#include <QObject>

class QSocketNotifier;

namespace platform {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; only one watcher lives at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts back the handlers that were there before.
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform
