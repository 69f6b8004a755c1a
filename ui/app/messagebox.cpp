#include "ui/app/messagebox.h"

#include <QMessageBox>

MessageHook& messageHook()
{
    static MessageHook hook;
    return hook;
}

void showMessage(QWidget* owner, const QString& text)
{
    if (messageHook()) {
        messageHook()(owner, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Trovik32"), text, QMessageBox::Ok, owner);
    box.exec();
}
