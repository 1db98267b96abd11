// SPDX-License-Identifier: MIT
// The leak sites window's rules: a refresh now or at a chosen period on a
// worker thread of its own, the history of the samples, the mark, and the
// code that frees the selected sites, which goes to the main window's
// synthesis panel. Connected when the main window is; the end of the
// connection ends the automatic refresh and empties the window.
#pragma once

#include "MonitorState.h"
#include "SitesView.h"
#include "connection/AutoResetEvent.h"
#include "sites/SiteHistory.h"

#include <QList>
#include <QPointF>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vexal::monitor {

class SitesController {
public:
    static constexpr int kDefaultPeriodMs = 2000;

    SitesController(MonitorState &state, SitesView &view);
    ~SitesController();
    SitesController(const SitesController &) = delete;
    SitesController &operator=(const SitesController &) = delete;

    // The worker runs from the window's set-up until Quit.
    void start();
    void stop();

    // The main window's connection began or ended.
    void connected();
    void disconnected();

    // GUI thread; none of them waits for the library.
    void refresh();
    // Refreshes now and then every `periodMs` from the end of one refresh to
    // the start of the next, while connected.
    void setAutomatic(bool on, int periodMs);
    // For the refreshes after the next.
    void setPeriod(int periodMs);
    void mark();
    // Fetches only blocks made since the mark; the samples start afresh,
    // as they count something else.
    void setSinceMark(bool on);
    void generate(const std::vector<SiteKey> &sites);

    // For the chart: the site's live bytes over time.
    QList<QPointF> bytesOverTime(const SiteKey &key);
    std::size_t samples();

private:
    void work();
    void refreshOnce();
    double now() const;

    MonitorState &state_;
    SitesView &view_;
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();

    std::mutex mutex_;  // the members below, up to the thread
    SiteHistory history_;
    bool connected_ = false;
    bool automatic_ = false;
    int periodMs_ = kDefaultPeriodMs;
    bool sinceMark_ = false;
    bool stopping_ = false;
    // Changes with every start afresh: a fetch that began before brings a
    // sample that is not this history's.
    unsigned long long generation_ = 0;

    AutoResetEvent wake_;
    std::thread worker_;
};

} // namespace vexal::monitor
