#pragma once
// The per-user profile: integers and strings by section and key. Section and
// key names compare without regard to case. Writes are kept until sync().
#include <QByteArray>
#include <QString>

class Profile {
public:
    virtual ~Profile() = default;
    virtual int readInt(const QString& section, const QString& key, int defaultValue) = 0;
    virtual QByteArray readString(const QString& section, const QString& key, const QByteArray& defaultValue) = 0;
    virtual void writeInt(const QString& section, const QString& key, int value) = 0;
    virtual void writeString(const QString& section, const QString& key, const QByteArray& value) = 0;
    // Puts what was written so far on disk.
    virtual void sync() {}
};
