// SPDX-License-Identifier: MIT
#include "SettingsStore.h"

#include <QSettings>
#include <QVariant>

namespace vexal::monitor {

namespace {

const char *const kOrganisation = "Quillon";
const char *const kApplication = "Vexal";

QString key(const QString &subKey, const QString &name) { return subKey + QLatin1Char('/') + name; }

QSettings open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                     QString::fromLatin1(kApplication));
}

} // namespace

int SettingsStore::readInt(const QString &subKey, const QString &name, int defaultValue) const
{
    const QVariant value = open().value(key(subKey, name));
    bool ok = false;
    const int number = value.toInt(&ok);
    return value.isValid() && ok ? number : defaultValue;
}

bool SettingsStore::readBool(const QString &subKey, const QString &name, bool defaultValue) const
{
    const QVariant value = open().value(key(subKey, name));
    bool ok = false;
    const int number = value.toInt(&ok);
    return value.isValid() && ok ? number != 0 : defaultValue;
}

QString SettingsStore::readString(const QString &subKey, const QString &name, const QString &defaultValue) const
{
    const QVariant value = open().value(key(subKey, name));
    return value.isValid() && value.canConvert<QString>() ? value.toString() : defaultValue;
}

void SettingsStore::writeInt(const QString &subKey, const QString &name, int value)
{
    open().setValue(key(subKey, name), value);
}

void SettingsStore::writeBool(const QString &subKey, const QString &name, bool value)
{
    open().setValue(key(subKey, name), value ? 1 : 0);
}

void SettingsStore::writeString(const QString &subKey, const QString &name, const QString &value)
{
    open().setValue(key(subKey, name), value);
}

void SettingsStore::deleteSubKey(const QString &subKey) { open().remove(subKey); }

} // namespace vexal::monitor
