// SPDX-License-Identifier: MIT
// pause: the application is held until Enter, a signal or the given time,
// then released. The library also gives its hold back whenever the
// connection ends, so nothing is ever left paused.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"

namespace vexal::cli {

int runPause(const Options &options, Session &session)
{
    Outcome outcome = session.pause();
    if (outcome != Outcome::Done)
        return outcome == Outcome::Interrupted ? kDone : session.fail(outcome);
    QString until = QStringLiteral("Enter or Ctrl+C");
    if (options.holdFor)
        until = QStringLiteral("Enter, Ctrl+C or %1 s").arg(double(options.holdFor->count()) / 1000.0);
    say(QStringLiteral("paused the application at %1 until %2").arg(session.where(), until));

    if (session.hold(options.holdFor) == Session::HoldEnd::Lost)
        return session.fail(Outcome::Lost);
    outcome = session.release();
    if (outcome != Outcome::Done && outcome != Outcome::Interrupted)
        return session.fail(outcome);
    return kDone;
}

} // namespace vexal::cli
