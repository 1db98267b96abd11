// SPDX-License-Identifier: MIT
// Every value the monitor keeps between runs, with its first-run default:
// read at start-up, written at Quit, removed by Reset and Quit.
#pragma once

#include "SettingsStore.h"
#include "synthesis/CodeSynthesis.h"

#include <Protocol.h>

#include <QString>

#include <array>

namespace vexal::monitor {

// The five sub-keys.
namespace subkey {
inline const QString kPosition = QStringLiteral("Position");
inline const QString kConnection = QStringLiteral("Connection");
inline const QString kAnalysis = QStringLiteral("Analysis");
inline const QString kSynthesis = QStringLiteral("Synthesis");
inline const QString kPaths = QStringLiteral("Paths");
} // namespace subkey

// The continuous-summary periods, milliseconds.
constexpr int kPeriodSlow = 10000;
constexpr int kPeriodNormal = 2500;
constexpr int kPeriodFast = 1000;
constexpr int kPeriodUltra = 200;

struct MonitorSettings {
    // Position
    int mainTop = 50;
    int mainLeft = 100;
    // Connection
    std::array<QString, 4> ipAddress{QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("0"),
                                     QStringLiteral("1")};
    QString portNumber = QString::number(protocol::kDefaultPort);
    bool autoStart = false;
    // Analysis
    int videoSpeed = kPeriodFast;
    bool fullPath = false;
    // Synthesis
    int lineCheck = int(FilterChoice::Exact);
    int sizeCheck = int(FilterChoice::Exact);
    int indexCheck = int(FilterChoice::All);
    QString minLine = QStringLiteral("0");
    QString maxLine = QStringLiteral("0");
    QString minSize = QStringLiteral("0");
    QString maxSize = QStringLiteral("0");
    QString minIndex = QStringLiteral("0");
    QString maxIndex = QStringLiteral("0");
    bool skipFileName = false;
    bool callingThread = false;
    bool spaces = true;
    bool tabs = false;
    int indentation = 2;

    bool operator==(const MonitorSettings &) const = default;

    // Reads every value but the paths, in the order the window applies them.
    static MonitorSettings load(const SettingsStore &store);
    // Writes every value but the paths.
    void save(SettingsStore &store) const;
};

// Removes all five sub-keys, so that the next start is a first run.
void resetSettings(SettingsStore &store);

} // namespace vexal::monitor
