#pragma once
// Starting other programs, never through a shell: the path reaches the
// program as one argument, whatever it holds.
#include <QByteArray>

#include <vector>

namespace platform {

// Starts a program (a path, or a bare name looked up in PATH) with the
// arguments exactly as given, byte for byte, detached from this process: it
// outlives it and leaves no zombie. False when it cannot be started.
bool spawnDetached(const QByteArray& program, const std::vector<QByteArray>& args);

// A regular file this user may run.
bool isExecutableFile(const QByteArray& nativePath);
// Runs an executable file; false when it is not one or cannot be started.
bool runProgram(const QByteArray& path);
// Hands a file to the desktop's default opener (xdg-open).
bool openWithDesktop(const QByteArray& path);
// Native path, or the program path when it has no drive (so nothing is lost).
QByteArray nativePath(const QByteArray& path);

}  // namespace platform
