// SPDX-License-Identifier: MIT
// The leak sites as vxl prints them: an aligned table, CSV or JSON, for one
// snapshot or for each sample of a watch (then with the change since the
// first sample, the growth and the verdict).
#pragma once

#include "Options.h"

#include <sites/SiteHistory.h>

#include <QByteArray>

#include <vector>

namespace vexal::cli {

// The rows of `frame` to print: in the order asked for, at most `top` (0:
// all).
std::vector<int> shownSites(const monitor::SitesFrame &frame, monitor::SiteColumn order, long long top);

class SitesOutput {
public:
    // `watched`: a sample of a watch, with change, growth and verdict.
    SitesOutput(Format format, bool fullPath, bool watched) : format_(format), fullPath_(fullPath), watched_(watched) {}

    // One document (JSON), one table (text) or its rows (CSV, the head
    // line once before the first).
    QByteArray sample(const monitor::SitesFrame &frame, const std::vector<int> &rows);

private:
    QByteArray text(const monitor::SitesFrame &frame, const std::vector<int> &rows) const;
    QByteArray csv(const monitor::SitesFrame &frame, const std::vector<int> &rows);
    QByteArray json(const monitor::SitesFrame &frame, const std::vector<int> &rows) const;

    Format format_;
    bool fullPath_;
    bool watched_;
    bool headWritten_ = false;
};

} // namespace vexal::cli
