#pragma once
// Shared helpers for the tests: temporary folders with real files.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <ctime>
#include <string>

namespace testsupport {

// Writes bytes to a file below dir, creating folders on the way.
void writeFile(const QString& path, const QByteArray& bytes);

// A file or folder of the fixtures (archives and texts written by other
// tools), by its path below tests/data/fixtures. A missing one ends the test
// with an exception that names it.
QString fixture(const QString& relative);

QByteArray readFile(const QString& path);

// Noon of a local calendar day.
std::time_t localNoon(int year, int month, int day);
// Sets a file's last-write time.
void setModified(const QString& path, std::time_t when);

}  // namespace testsupport
