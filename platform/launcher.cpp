#include "platform/launcher.h"

#include <unistd.h>

#include <QFile>
#include <QProcess>

#include "core/view/drives.h"

namespace platform {

QByteArray nativePath(const QByteArray& path)
{
    QByteArray n = pathMap().toNative(path);
    return n.isEmpty() ? path : n;
}

bool runProgram(const QByteArray& path)
{
    const QByteArray n = nativePath(path);
    if (access(n.constData(), X_OK) != 0)
        return false;
    return QProcess::startDetached(QFile::decodeName(n), {});
}

bool openWithDesktop(const QByteArray& path)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QFile::decodeName(nativePath(path))});
}

}  // namespace platform
