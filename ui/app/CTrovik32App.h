#pragma once
// Start-up: the profile, the recently-used list, the command-line file and
// the main frame; the end of the run: the recently-used list and the profile
// written once, after the frame has saved its settings.
#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include "ui/app/CMainFrame.h"
class QSettingsProfile;
namespace platform {
class TerminationSignals;
}

class CTrovik32App {
public:
    CTrovik32App();
    ~CTrovik32App();

    // Runs start-up on the arguments (without the program name); false ends
    // the program at once (a command-line file that cannot be opened).
    // From here on SIGTERM and SIGHUP close the frame as the exit command does.
    bool InitInstance(const QStringList& arguments);
    // Closes what is still open and writes the profile; runs once.
    void ExitInstance();
    CMainFrame* frame() const { return frame_; }

    // The whole program: start-up, then the message loop.
    static int run(int argc, char** argv);

private:
    void closeOnSignal();
    std::unique_ptr<QSettingsProfile> profile_;
    std::unique_ptr<platform::TerminationSignals> signals_;
    QPointer<CMainFrame> frame_;
    QList<QByteArray> recentFiles_;  // newest first, at most 4
    bool startingUp_ = false;
    bool exited_ = false;
};
