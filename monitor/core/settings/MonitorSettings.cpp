// SPDX-License-Identifier: MIT
#include "MonitorSettings.h"

namespace vexal::monitor {

namespace {

QString ipName(int part) { return QStringLiteral("IPAddress_%1").arg(part); }

} // namespace

MonitorSettings MonitorSettings::load(const SettingsStore &store)
{
    const MonitorSettings d;
    MonitorSettings s;
    s.mainTop = store.readInt(subkey::kPosition, QStringLiteral("mainTop"), d.mainTop);
    s.mainLeft = store.readInt(subkey::kPosition, QStringLiteral("mainLeft"), d.mainLeft);
    for (int part = 0; part < 4; ++part)
        s.ipAddress[part] = store.readString(subkey::kConnection, ipName(part), d.ipAddress[part]);
    s.portNumber = store.readString(subkey::kConnection, QStringLiteral("PortNumber"), d.portNumber);
    s.autoStart = store.readBool(subkey::kConnection, QStringLiteral("AutoStart"), d.autoStart);
    s.videoSpeed = store.readInt(subkey::kAnalysis, QStringLiteral("VideoSpeed"), d.videoSpeed);
    s.fullPath = store.readBool(subkey::kAnalysis, QStringLiteral("FullPath"), d.fullPath);
    s.lineCheck = store.readInt(subkey::kSynthesis, QStringLiteral("LineCheck"), d.lineCheck);
    s.sizeCheck = store.readInt(subkey::kSynthesis, QStringLiteral("SizeCheck"), d.sizeCheck);
    s.indexCheck = store.readInt(subkey::kSynthesis, QStringLiteral("IndexCheck"), d.indexCheck);
    s.minLine = store.readString(subkey::kSynthesis, QStringLiteral("MinLine"), d.minLine);
    s.maxLine = store.readString(subkey::kSynthesis, QStringLiteral("MaxLine"), d.maxLine);
    s.minSize = store.readString(subkey::kSynthesis, QStringLiteral("MinSize"), d.minSize);
    s.maxSize = store.readString(subkey::kSynthesis, QStringLiteral("MaxSize"), d.maxSize);
    s.minIndex = store.readString(subkey::kSynthesis, QStringLiteral("MinIndex"), d.minIndex);
    s.maxIndex = store.readString(subkey::kSynthesis, QStringLiteral("MaxIndex"), d.maxIndex);
    s.skipFileName = store.readBool(subkey::kSynthesis, QStringLiteral("SkipFileName"), d.skipFileName);
    s.callingThread = store.readBool(subkey::kSynthesis, QStringLiteral("CallingThread"), d.callingThread);
    s.spaces = store.readBool(subkey::kSynthesis, QStringLiteral("Spaces"), d.spaces);
    s.tabs = store.readBool(subkey::kSynthesis, QStringLiteral("Tabs"), d.tabs);
    s.indentation = store.readInt(subkey::kSynthesis, QStringLiteral("Indentation"), d.indentation);
    return s;
}

void MonitorSettings::save(SettingsStore &store) const
{
    store.writeInt(subkey::kPosition, QStringLiteral("mainTop"), mainTop);
    store.writeInt(subkey::kPosition, QStringLiteral("mainLeft"), mainLeft);
    for (int part = 0; part < 4; ++part)
        store.writeString(subkey::kConnection, ipName(part), ipAddress[part]);
    store.writeString(subkey::kConnection, QStringLiteral("PortNumber"), portNumber);
    store.writeBool(subkey::kConnection, QStringLiteral("AutoStart"), autoStart);
    store.writeInt(subkey::kAnalysis, QStringLiteral("VideoSpeed"), videoSpeed);
    store.writeBool(subkey::kAnalysis, QStringLiteral("FullPath"), fullPath);
    store.writeInt(subkey::kSynthesis, QStringLiteral("LineCheck"), lineCheck);
    store.writeInt(subkey::kSynthesis, QStringLiteral("SizeCheck"), sizeCheck);
    store.writeInt(subkey::kSynthesis, QStringLiteral("IndexCheck"), indexCheck);
    store.writeString(subkey::kSynthesis, QStringLiteral("MinLine"), minLine);
    store.writeString(subkey::kSynthesis, QStringLiteral("MaxLine"), maxLine);
    store.writeString(subkey::kSynthesis, QStringLiteral("MinSize"), minSize);
    store.writeString(subkey::kSynthesis, QStringLiteral("MaxSize"), maxSize);
    store.writeString(subkey::kSynthesis, QStringLiteral("MinIndex"), minIndex);
    store.writeString(subkey::kSynthesis, QStringLiteral("MaxIndex"), maxIndex);
    store.writeBool(subkey::kSynthesis, QStringLiteral("SkipFileName"), skipFileName);
    store.writeBool(subkey::kSynthesis, QStringLiteral("CallingThread"), callingThread);
    store.writeBool(subkey::kSynthesis, QStringLiteral("Spaces"), spaces);
    store.writeBool(subkey::kSynthesis, QStringLiteral("Tabs"), tabs);
    store.writeInt(subkey::kSynthesis, QStringLiteral("Indentation"), indentation);
}

void resetSettings(SettingsStore &store)
{
    for (const QString &sub : {subkey::kPosition, subkey::kConnection, subkey::kAnalysis, subkey::kSynthesis,
                               subkey::kPaths})
        store.deleteSubKey(sub);
}

} // namespace vexal::monitor
