#pragma once
// Start-up: the profile, the recently-used list, the command-line file and
// the main frame.
#include <QString>
#include <QStringList>

#include <QPointer>

#include <memory>

#include "ui/app/CMainFrame.h"
class QSettingsProfile;

class CTrovik32App {
public:
    CTrovik32App();
    ~CTrovik32App();

    // Runs start-up on the arguments (without the program name); false ends
    // the program at once (a command-line file that cannot be opened).
    bool InitInstance(const QStringList& arguments);
    CMainFrame* frame() const { return frame_; }

    // The whole program: start-up, then the message loop.
    static int run(int argc, char** argv);

private:
    std::unique_ptr<QSettingsProfile> profile_;
    QPointer<CMainFrame> frame_;
};
