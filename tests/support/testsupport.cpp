#include "support/testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace testsupport {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file " + path.toStdString());
}

QString fixture(const QString& relative)
{
    const QString path = QStringLiteral(TROVIK_FIXTURES) + QLatin1Char('/') + relative;
    // Stop the test here, naming the file, rather than later on an empty
    // buffer or a null handle that says nothing about the cause.
    if (!QFileInfo::exists(path))
        throw std::runtime_error("missing test fixture: " + path.toStdString()
                                 + " (fixtures live in tests/data/fixtures; see tests/data/README.md)");
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read test file " + path.toStdString());
    return f.readAll();
}

std::time_t localNoon(int year, int month, int day)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

void setModified(const QString& path, std::time_t when)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)
        || !f.setFileTime(QDateTime::fromSecsSinceEpoch(when), QFileDevice::FileModificationTime))
        throw std::runtime_error("cannot set the time of " + path.toStdString());
}

}  // namespace testsupport
