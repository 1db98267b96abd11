// SPDX-License-Identifier: MIT
// The per-user settings store: organisation "Quillon", application "Vexal",
// the platform's native format (on Linux ~/.config/Quillon/Vexal.conf, which
// follows XDG_CONFIG_HOME). Each operation opens the store, works on one value
// or sub-key and closes it again; nothing is cached in between.
#pragma once

#include <QString>

namespace vexal::monitor {

class SettingsStore {
public:
    // A sub-key or value that is missing, or holds something of another
    // type, reads as the default.
    int readInt(const QString &subKey, const QString &name, int defaultValue) const;
    bool readBool(const QString &subKey, const QString &name, bool defaultValue) const;
    QString readString(const QString &subKey, const QString &name, const QString &defaultValue) const;

    void writeInt(const QString &subKey, const QString &name, int value);
    void writeBool(const QString &subKey, const QString &name, bool value);  // stored as 0 or 1
    void writeString(const QString &subKey, const QString &name, const QString &value);

    // Removes the sub-key with all its values.
    void deleteSubKey(const QString &subKey);
};

} // namespace vexal::monitor
