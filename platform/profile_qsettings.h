#pragma once
// The profile on this machine: QSettings with organisation "Ostrel" and
// application "Trovik32" (~/.config/Ostrel/Trovik32.conf). Names are looked
// up without regard to case and written in the program's spelling. A profile
// that cannot be parsed is kept as Trovik32.conf.bak and read as empty.
#include <QSettings>

#include <map>
#include <memory>

#include "core/settings/profile.h"

class QSettingsProfile : public Profile {
public:
    QSettingsProfile();                              // the user's profile
    explicit QSettingsProfile(const QString& file);  // a profile file of its own (tests)
    ~QSettingsProfile() override;

    int readInt(const QString& section, const QString& key, int defaultValue) override;
    QByteArray readString(const QString& section, const QString& key, const QByteArray& defaultValue) override;
    void writeInt(const QString& section, const QString& key, int value) override;
    void writeString(const QString& section, const QString& key, const QByteArray& value) override;
    void sync();
    QString fileName() const;

private:
    void open(const QString& file);
    QString existingKey(const QString& section, const QString& key) const;
    std::unique_ptr<QSettings> settings_;
    std::map<QString, QString> keys_;  // lower-case "section/key" → the key as stored
};
