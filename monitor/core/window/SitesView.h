// SPDX-License-Identifier: MIT
// What the leak sites' rules ask of their window. Any thread may call these;
// an implementation carries every call out on the GUI thread, in the order
// each thread asked, and never blocks a worker thread on the GUI thread.
#pragma once

#include "sites/SiteHistory.h"

#include <QString>

#include <memory>

namespace vexal::monitor {

class SitesView {
public:
    virtual ~SitesView() = default;

    // The sites to show; none: the table and chart empty.
    virtual void showSites(std::shared_ptr<const SitesFrame> frame) = 0;
    virtual void setSitesStatus(const QString &text) = 0;
    // A notice that stays until the next connection (empty: none).
    virtual void setSitesNotice(const QString &text) = 0;
    // Refresh, automatic refresh and Mark work while connected.
    virtual void setSitesConnected(bool connected) = 0;
    // The automatic refresh ended without the user (the connection ended).
    virtual void setAutoRefreshChecked(bool on) = 0;
    // The mark and its index; "only since the mark" is cleared without one.
    virtual void setMarked(bool marked, int64_t index) = 0;
};

// For a window without the leak sites.
class NoSitesView : public SitesView {
public:
    void showSites(std::shared_ptr<const SitesFrame>) override {}
    void setSitesStatus(const QString &) override {}
    void setSitesNotice(const QString &) override {}
    void setSitesConnected(bool) override {}
    void setAutoRefreshChecked(bool) override {}
    void setMarked(bool, int64_t) override {}
};

} // namespace vexal::monitor
