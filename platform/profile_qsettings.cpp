#include "platform/profile_qsettings.h"

#include <QFile>
#include <QStandardPaths>

QSettingsProfile::QSettingsProfile()
{
    QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ostrel"), QStringLiteral("Trovik32"));
    open(probe.fileName());
}

QSettingsProfile::QSettingsProfile(const QString& file)
{
    open(file);
}

QSettingsProfile::~QSettingsProfile()
{
    if (settings_)
        settings_->sync();
}

void QSettingsProfile::open(const QString& file)
{
    settings_ = std::make_unique<QSettings>(file, QSettings::NativeFormat);
    if (settings_->status() != QSettings::NoError) {
        // Keep the damaged file before anything is written over it, then start empty.
        settings_.reset();
        const QString backup = file + QStringLiteral(".bak");
        QFile::remove(backup);
        QFile::copy(file, backup);
        QFile::remove(file);
        settings_ = std::make_unique<QSettings>(file, QSettings::NativeFormat);
    }
    settings_->setAtomicSyncRequired(true);
    for (const QString& k : settings_->allKeys())
        keys_.emplace(k.toLower(), k);
}

QString QSettingsProfile::fileName() const
{
    return settings_->fileName();
}

QString QSettingsProfile::existingKey(const QString& section, const QString& key) const
{
    auto it = keys_.find((section + QLatin1Char('/') + key).toLower());
    return it == keys_.end() ? QString() : it->second;
}

int QSettingsProfile::readInt(const QString& section, const QString& key, int defaultValue)
{
    const QString k = existingKey(section, key);
    if (k.isEmpty())
        return defaultValue;
    bool ok = false;
    const QVariant v = settings_->value(k);
    const qlonglong n = v.toString().trimmed().toLongLong(&ok, 0);
    // Values beyond 32 bits wrap as the profile's 32-bit integers do.
    return ok ? static_cast<int>(static_cast<uint32_t>(n)) : defaultValue;
}

QByteArray QSettingsProfile::readString(const QString& section, const QString& key, const QByteArray& defaultValue)
{
    const QString k = existingKey(section, key);
    if (k.isEmpty())
        return defaultValue;
    const QVariant v = settings_->value(k);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return v.toString().toUtf8();
}

void QSettingsProfile::writeInt(const QString& section, const QString& key, int value)
{
    QString k = existingKey(section, key);
    if (!k.isEmpty() && k != section + QLatin1Char('/') + key)
        settings_->remove(k);  // rewrite in the program's spelling
    k = section + QLatin1Char('/') + key;
    settings_->setValue(k, value);
    keys_[k.toLower()] = k;
}

void QSettingsProfile::writeString(const QString& section, const QString& key, const QByteArray& value)
{
    QString k = existingKey(section, key);
    if (!k.isEmpty() && k != section + QLatin1Char('/') + key)
        settings_->remove(k);
    k = section + QLatin1Char('/') + key;
    // Names are native bytes: text when they are valid UTF-8, raw bytes otherwise.
    QString text = QString::fromUtf8(value);
    if (text.toUtf8() == value)
        settings_->setValue(k, text);
    else
        settings_->setValue(k, value);
    keys_[k.toLower()] = k;
}

void QSettingsProfile::sync()
{
    settings_->sync();
}
