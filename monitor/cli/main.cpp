// SPDX-License-Identifier: MIT
// vxl: the Vexal monitor without a window, for terminals and CI.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "Options.h"
#include "Session.h"
#include "SignalWatcher.h"

#include <ProjectVersion.h>

#include <QCoreApplication>

#include <cstdio>

using namespace vexal::cli;

namespace {

int run(const Options &options, Session &session)
{
    switch (options.command) {
    case Command::Summary:
        return runSummary(options, session);
    case Command::Watch:
        return runWatch(options, session);
    case Command::Pause:
        return runPause(options, session);
    case Command::Follow:
        return runFollow(options, session);
    case Command::List:
        return runList(options, session);
    case Command::Code:
        return runCode(options, session);
    case Command::Check:
        return options.growth ? runGrowthCheck(options, session) : runCheck(options, session);
    case Command::Sites:
        return runSites(options, session);
    }
    return kBadUsage;
}

} // namespace

int main(int argc, char **argv)
{
    // Before any other thread starts: they all inherit its blocked signals.
    SignalWatcher watcher;
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vxl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEXAL_VERSION_TEXT));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed.options) {
        const QByteArray text = parsed.text.toLocal8Bit();
        if (parsed.status == kDone)
            writeOut(text);
        else
            std::fprintf(stderr, "%s\n", text.constData());
        return parsed.status;
    }

    Session session(parsed.options->target, watcher);
    const Outcome opened = session.open();
    if (opened != Outcome::Done)
        return session.fail(opened);
    const int status = run(*parsed.options, session);
    session.close();
    return status;
}
