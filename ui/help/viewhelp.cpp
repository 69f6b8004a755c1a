// The help command: the help window opens at its contents page; the view
// closes it when it is destroyed.
#include "ui/help/CHelpWindow.h"
#include "ui/view/CTrovik32View.h"

void CTrovik32View::ShowHelp()
{
    auto* window = qobject_cast<CHelpWindow*>(helpWindow.data());
    if (!window) {
        window = new CHelpWindow(this);
        helpWindow = window;
    } else {
        window->showContents();
    }
    window->show();
    window->raise();
    window->activateWindow();
}
