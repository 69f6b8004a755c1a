#pragma once
// Starting other programs, never through a shell: the path reaches the
// program as one argument, whatever it holds.
#include <QByteArray>

namespace platform {

// Runs an executable file; false when it is not one or cannot be started.
bool runProgram(const QByteArray& path);
// Hands a file to the desktop's default opener (xdg-open).
bool openWithDesktop(const QByteArray& path);
// Native path, or the program path when it has no drive (so nothing is lost).
QByteArray nativePath(const QByteArray& path);

}  // namespace platform
