#include "qt/qt_settings_store.h"

namespace platform {
namespace {

QString Key(const char* section, const char* entry)
{
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(entry);
}

}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quellton"), QStringLiteral("KEL-7300"))
{
}

int QtSettingsStore::GetProfileInt(const char* section, const char* entry, int defaultValue)
{
    const QVariant stored = settings_.value(Key(section, entry));
    if (!stored.isValid()) return defaultValue;
    bool isInt = false;
    const int value = stored.toInt(&isInt);
    return isInt ? value : defaultValue;
}

int QtSettingsStore::WriteProfileInt(const char* section, const char* entry, int value)
{
    settings_.setValue(Key(section, entry), value);
    settings_.sync();
    return settings_.status() == QSettings::NoError ? 1 : 0;
}

std::string QtSettingsStore::GetProfileString(const char* section, const char* entry, const std::string& defaultValue)
{
    const QVariant stored = settings_.value(Key(section, entry));
    return stored.isValid() ? stored.toString().toStdString() : defaultValue;
}

int QtSettingsStore::WriteProfileString(const char* section, const char* entry, const std::string& value)
{
    settings_.setValue(Key(section, entry), QString::fromStdString(value));
    settings_.sync();
    return settings_.status() == QSettings::NoError ? 1 : 0;
}

}  // namespace platform
