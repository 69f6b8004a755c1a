#pragma once
// The profile on this machine: an INI file kept by QSettings,
// $XDG_CONFIG_HOME/Ostrel/Trovik32.conf (~/.config/Ostrel/Trovik32.conf).
// Names are looked up without regard to case and written in the program's
// spelling. Values live in memory; the file is written only by sync() (and
// the destructor), all at once, by replacing the file.
//
// A profile that exists but cannot be read (no permission, a folder, a link
// to a volume that is gone) is left alone: the run works on defaults and
// nothing is ever written. A damaged profile (see checkProfileText) is first
// copied to Trovik32.conf.bak (.bak.1, .bak.2, ... when those exist) and then
// read as empty; when no copy can be made it is left alone too.
#include <QString>
#include <QVariant>

#include <map>

#include "core/settings/profile.h"

class QSettingsProfile : public Profile {
public:
    enum class State { Ok, Damaged, LeftAlone };

    QSettingsProfile();                              // the user's profile
    explicit QSettingsProfile(const QString& file);  // a profile file of its own (tests)
    ~QSettingsProfile() override;

    int readInt(const QString& section, const QString& key, int defaultValue) override;
    QByteArray readString(const QString& section, const QString& key, const QByteArray& defaultValue) override;
    void writeInt(const QString& section, const QString& key, int value) override;
    void writeString(const QString& section, const QString& key, const QByteArray& value) override;
    // Writes the file when something changed, unless the profile is left alone.
    void sync() override;

    QString fileName() const { return file_; }
    State state() const { return state_; }
    // Where a damaged profile was copied (State::Damaged).
    QString backupFile() const { return backup_; }
    // What the user is told once: empty for a sound profile.
    QString notice() const { return notice_; }

    // $XDG_CONFIG_HOME/Ostrel/Trovik32.conf, read from the environment now.
    static QString userProfilePath();

private:
    struct Entry {
        QString key;  // "Section/key" as it is written
        QVariant value;
    };
    void open();
    void leaveAlone(const QString& why);
    bool makeBackup();
    const Entry* find(const QString& section, const QString& key) const;
    void put(const QString& section, const QString& key, QVariant value);

    QString file_;
    State state_ = State::Ok;
    QString backup_;
    QString notice_;
    bool dirty_ = false;
    std::map<QString, Entry> entries_;  // lower-case "section/key" → entry
};
