#pragma once
// The help window: our own Japanese pages, compiled into the program, in a
// browser of their own. Links move between the pages; Backspace goes back,
// Escape closes the window.
#include <QTextBrowser>
#include <QUrl>

class CHelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);
    // The contents page, where the window opens.
    static QUrl contentsUrl();
    // Every page of the help.
    static QStringList pages();
    void showContents();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
