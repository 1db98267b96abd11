// SPDX-License-Identifier: MIT
#include "SitesController.h"

#include "sites/SitesFetch.h"

namespace vexal::monitor {

SitesController::SitesController(MonitorState &state, SitesView &view) : state_(state), view_(view) {}

SitesController::~SitesController() { stop(); }

void SitesController::start()
{
    if (worker_.joinable())
        return;
    worker_ = std::thread([this] { work(); });
}

void SitesController::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.set();
    if (worker_.joinable())
        worker_.join();
}

double SitesController::now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void SitesController::connected()
{
    {
        std::lock_guard lock(mutex_);
        connected_ = true;
        sinceMark_ = false;
        history_.reset();
        ++generation_;
    }
    view_.showSites(nullptr);
    view_.setSitesNotice(QString());
    view_.setMarked(false, 0);
    view_.setSitesConnected(true);
    view_.setSitesStatus(QStringLiteral("Connected: Refresh gets the leak sites."));
}

void SitesController::disconnected()
{
    bool wasAutomatic = false;
    {
        std::lock_guard lock(mutex_);
        if (!connected_)
            return;
        connected_ = false;
        wasAutomatic = std::exchange(automatic_, false);
        history_.reset();
        ++generation_;
    }
    wake_.set();  // out of its wait for the next period
    if (wasAutomatic)
        view_.setAutoRefreshChecked(false);
    view_.setSitesConnected(false);
    view_.showSites(nullptr);
    view_.setMarked(false, 0);
    view_.setSitesStatus(QStringLiteral("Not connected"));
}

void SitesController::refresh() { wake_.set(); }

void SitesController::setAutomatic(bool on, int periodMs)
{
    {
        std::lock_guard lock(mutex_);
        automatic_ = on && connected_;
        periodMs_ = periodMs;
    }
    // Turned on: the first refresh now; off: the wait ends without one.
    if (on)
        wake_.set();
}

void SitesController::setPeriod(int periodMs)
{
    std::lock_guard lock(mutex_);
    periodMs_ = periodMs;
}

void SitesController::mark()
{
    std::shared_ptr<SitesFrame> frame;
    int64_t index = 0;
    {
        std::lock_guard lock(mutex_);
        if (!connected_)
            return;
        history_.mark();
        index = history_.markIndex();
        if (sinceMark_) {
            // The bound moves: the samples so far counted from the old one.
            history_.reset(index);
            ++generation_;
        }
        frame = std::make_shared<SitesFrame>(history_.frame());
    }
    // The table shows the change from the mark at once.
    view_.showSites(std::move(frame));
    view_.setMarked(true, index);
    view_.setSitesStatus(QStringLiteral("Marked at index %1").arg(index));
}

void SitesController::setSinceMark(bool on)
{
    int64_t index = 0;
    {
        std::lock_guard lock(mutex_);
        if (on == sinceMark_ || !history_.marked())
            return;
        sinceMark_ = on;
        index = history_.markIndex();
        // Off, the change counts from the next sample: the mark's own was
        // of the blocks since the mark only.
        history_.reset(on ? std::optional<int64_t>(index) : std::nullopt);
        ++generation_;
    }
    view_.showSites(nullptr);
    view_.setMarked(on, index);
    wake_.set();
}

void SitesController::generate(const std::vector<SiteKey> &sites)
{
    MonitorView &view = state_.view;
    view.setCursor(Cursor::Wait);
    view.setStatus(QStringLiteral("Creating Vexal Code..."));
    auto code = std::make_shared<GeneratedCode>(freeingCode(sites));
    // Saving the code writes the line ending of the sites' platform.
    state_.connection.locked([&](ReceivedState &) { state_.posixApplication = posixFileNames(sites); });
    view.showCode(code);
    if (!code->isEmpty())
        state_.apply({{CommandGroup::SaveCode, true}});
    view.setCursor(Cursor::Default);
    view.setStatus(QStringLiteral("Vexal Code created."));
}

QList<QPointF> SitesController::bytesOverTime(const SiteKey &key)
{
    std::lock_guard lock(mutex_);
    return history_.bytesOverTime(key);
}

std::size_t SitesController::samples()
{
    std::lock_guard lock(mutex_);
    return history_.samples();
}

void SitesController::work()
{
    for (;;) {
        bool automatic = false;
        int periodMs = 0;
        {
            std::lock_guard lock(mutex_);
            automatic = automatic_;
            periodMs = periodMs_;
        }
        if (automatic)
            wake_.wait(std::chrono::milliseconds(periodMs));
        else
            wake_.wait();
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (!connected_)
                continue;
        }
        refreshOnce();
    }
}

void SitesController::refreshOnce()
{
    unsigned long long generation = 0;
    int64_t since = 0;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
        since = sinceMark_ ? history_.markIndex() : 0;
    }
    view_.setSitesStatus(QStringLiteral("Getting the leak sites..."));
    SitesFetch fetch(state_.connection, [this](const QString &notice) { view_.setSitesNotice(notice); });
    const SitesFetch::Result result = fetch.run(since);
    if (result.outcome == SitesFetch::Outcome::ConnectionLost)
        return;  // the end of the connection empties the window
    if (result.outcome == SitesFetch::Outcome::TimedOut) {
        view_.setSitesStatus(QStringLiteral("The application did not answer in time; the sites shown are older."));
        return;
    }
    std::shared_ptr<SitesFrame> frame;
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_)
            return;
        frame = std::make_shared<SitesFrame>(history_.add(result.snapshot, now()));
    }
    const QString text = QStringLiteral("%1 sites, %2 blocks, %3 bytes").arg(frame->rows.size()).arg(frame->totalBlocks).arg(frame->totalBytes);
    view_.showSites(std::move(frame));
    view_.setSitesStatus(text);
}

} // namespace vexal::monitor
