// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include <ProjectVersion.h>
#include <window/NumericEdit.h>

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace vexal::monitor {

namespace {

const char *const kTitle = "Vexal - Monitor";
constexpr int kBadUsage = 2;

[[noreturn]] void refuse(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
    std::exit(kBadUsage);
}

} // namespace

void describeApplication()
{
    QApplication::setApplicationName(QStringLiteral("vexal-monitor"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kTitle));
    QApplication::setApplicationVersion(QStringLiteral(VEXAL_VERSION_TEXT));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setDesktopFileName(QStringLiteral("vexal-monitor"));
}

StartOptions parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches a running program linked with libVexal: its summary of allocations over time, "
                       "pausing and releasing it."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Connect to this IPv4 address instead of the stored one."),
                                     QStringLiteral("A.B.C.D"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Connect to this port instead of the stored one."),
                                  QStringLiteral("N"));
    const QCommandLineOption connect(QStringLiteral("connect"), QStringLiteral("Connect once the window is up."));
    parser.addOptions({address, port, connect});
    parser.process(arguments);

    StartOptions options;
    options.connect = parser.isSet(connect);
    if (parser.isSet(address)) {
        const QStringList parts = parser.value(address).split(u'.');
        if (parts.size() != 4)
            refuse(QStringLiteral("--address takes four numbers from 0 to 255, as in 127.0.0.1"));
        std::array<QString, 4> texts;
        for (int i = 0; i < 4; ++i) {
            if (!isAcceptableNumber(parts[i], kAddressPartMaximum))
                refuse(QStringLiteral("--address takes four numbers from 0 to 255, as in 127.0.0.1"));
            texts[static_cast<std::size_t>(i)] = parts[i];
        }
        options.address = texts;
    }
    if (parser.isSet(port)) {
        if (!isAcceptableNumber(parser.value(port), kPortMaximum))
            refuse(QStringLiteral("--port takes a number from 0 to 999999"));
        options.port = parser.value(port);
    }
    return options;
}

} // namespace vexal::monitor
