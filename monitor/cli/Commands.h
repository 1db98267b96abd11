// SPDX-License-Identifier: MIT
// vxl's commands, each run on an open session; each returns the exit status.
#pragma once

#include "Options.h"
#include "Session.h"

#include <SavedFiles.h>
#include <SummaryState.h>

#include <optional>

namespace vexal::cli {

int runSummary(const Options &options, Session &session);
int runWatch(const Options &options, Session &session);
int runPause(const Options &options, Session &session);
int runFollow(const Options &options, Session &session);

// Prints the counters of the last status reply as the summary table of
// `summary` shows them.
int printSummary(const Options &options, Session &session, monitor::SummaryState &summary,
                 const std::optional<::CallSite> &origin);

} // namespace vexal::cli
