// SPDX-License-Identifier: MIT
// sites (one snapshot, or --watch) and check --growth.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "SitesFormats.h"

#include <sites/SitesFetch.h>

#include <QStringList>

#include <algorithm>

namespace vexal::cli {

using monitor::SiteHistory;
using monitor::SitesFetch;
using monitor::SitesFrame;
using monitor::Verdict;

namespace {

int print(const QByteArray &bytes) { return writeOut(bytes) ? kDone : kReaderGone; }

// Fetches the sites and takes them into the history as a sample.
class Sampler {
public:
    Sampler(const Options &options, Session &session, std::size_t kept = SiteHistory::kSamplesKept)
        : options_(options), session_(session), history_(kept),
          fetch_(session.connection(), [](const QString &notice) { say(notice); }, session.target().timeout)
    {
    }

    // The next sample, after the period unless it is the first; a failed
    // or interrupted one gives its outcome.
    Outcome next(SitesFrame &frame)
    {
        if (started_ && !session_.sleep(options_.period))
            return session_.failure();
        started_ = true;
        session_.setActivity("fetching the leak sites");
        const SitesFetch::Result result = fetch_.run(options_.sinceIndex);
        if (result.outcome != SitesFetch::Outcome::Done)
            return session_.failure();
        const double seconds = std::chrono::duration<double>(Clock::now() - origin_).count();
        frame = history_.add(result.snapshot, seconds);
        return Outcome::Done;
    }

private:
    const Options &options_;
    Session &session_;
    SiteHistory history_;
    SitesFetch fetch_;
    const Clock::time_point origin_ = Clock::now();
    bool started_ = false;
};

int watchSites(const Options &options, Session &session)
{
    Sampler sampler(options, session);
    SitesOutput output(options.format, options.fullPath, true);
    for (long long n = 0; options.count == 0 || n < options.count; ++n) {
        SitesFrame frame;
        const Outcome outcome = sampler.next(frame);
        // An interruption is how watching usually ends.
        if (outcome == Outcome::Interrupted)
            return kDone;
        if (outcome != Outcome::Done)
            return session.fail(outcome);
        if (!writeOut(output.sample(frame, shownSites(frame, options.siteOrder, options.top))))
            return kReaderGone;
    }
    return kDone;
}

} // namespace

int runSites(const Options &options, Session &session)
{
    if (options.watch)
        return watchSites(options, session);
    Sampler sampler(options, session);
    SitesFrame frame;
    const Outcome outcome = sampler.next(frame);
    if (outcome != Outcome::Done)
        return session.fail(outcome);
    return print(SitesOutput(options.format, options.fullPath, false)
                     .sample(frame, shownSites(frame, options.siteOrder, options.top)));
}

int runGrowthCheck(const Options &options, Session &session)
{
    // Every sample of the check counts towards the verdict.
    const auto expected = std::size_t(*options.growth / options.period) + 1;
    Sampler sampler(options, session, std::max(expected, SiteHistory::kSamplesKept));
    SitesFrame frame;
    do {
        const Outcome outcome = sampler.next(frame);
        if (outcome != Outcome::Done)
            return session.fail(outcome);
    } while (frame.elapsed * 1000 < double(options.growth->count()));

    std::vector<int> growing;
    for (int position : shownSites(frame, monitor::SiteColumn::Growth, 0)) {
        if (frame.rows[std::size_t(position)].verdict == Verdict::Growing)
            growing.push_back(position);
    }
    const QString over = QStringLiteral("over %1 s (%2 samples) at %3")
                             .arg(frame.elapsed, 0, 'f', 1).arg(frame.samples).arg(session.where());
    if (growing.empty()) {
        say(QStringLiteral("check passed: no site growing ") + over);
        return kDone;
    }
    const int printed = print(SitesOutput(options.format, options.fullPath, true).sample(frame, growing));
    QStringList names;
    for (int position : growing)
        names << monitor::siteName(frame.rows[std::size_t(position)].site.key, options.fullPath);
    say(QStringLiteral("check failed: %1 growing %2: %3")
            .arg(growing.size() == 1 ? QStringLiteral("1 site") : QStringLiteral("%1 sites").arg(growing.size()), over,
                 names.join(QStringLiteral(", "))));
    return printed == kDone ? kCheckFailed : printed;
}

} // namespace vexal::cli
