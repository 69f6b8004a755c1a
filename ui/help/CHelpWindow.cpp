#include "ui/help/CHelpWindow.h"

#include <QDir>
#include <QKeyEvent>

static void initHelpResources()
{
    // The pages live in the static ui library: their registration must be
    // pulled in by name.
    Q_INIT_RESOURCE(help);
}

CHelpWindow::CHelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    initHelpResources();
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Trovik32 ヘルプ"));
    setOpenLinks(true);
    setOpenExternalLinks(false);
    resize(640, 520);
    connect(this, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Trovik32 ヘルプ") : QStringLiteral("Trovik32 ヘルプ - ") + title);
    });
    showContents();
}

QUrl CHelpWindow::contentsUrl()
{
    return QUrl(QStringLiteral("qrc:/help/index.html"));
}

QStringList CHelpWindow::pages()
{
    initHelpResources();
    QStringList out;
    for (const QString& name : QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name))
        out << QStringLiteral("qrc:/help/") + name;
    return out;
}

void CHelpWindow::showContents()
{
    setSource(contentsUrl());
}

void CHelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Backspace) {
        backward();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}
