// SPDX-License-Identifier: MIT
// A summary as vxl prints it: text is the window's saved summary file, CSV
// the summary table, JSON the counters; and one line per watched sample.
#pragma once

#include "Options.h"

#include <files/SavedFiles.h>
#include <summary/SummaryState.h>

#include <QByteArray>

#include <optional>
#include <vector>

namespace vexal::cli {

// `rows` as the window's summary table shows them; `origin` is the
// application's report call that asked for it, if any.
QByteArray summaryOutput(Format format, const std::optional<monitor::CallSite> &origin,
                         const std::vector<monitor::SummaryRow> &rows, const monitor::StatusValues &values);

// The lines of `vxl watch`: CSV starts with its head line.
class SampleLines {
public:
    explicit SampleLines(Format format) : format_(format) {}
    QByteArray line(double elapsedSeconds, const monitor::StatusValues &values);

private:
    Format format_;
    bool headWritten_ = false;
};

} // namespace vexal::cli
