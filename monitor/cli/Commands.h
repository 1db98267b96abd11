// SPDX-License-Identifier: MIT
// vxl's commands, each run on an open session; each returns the exit status.
#pragma once

#include "Options.h"
#include "Session.h"

#include <files/SavedFiles.h>
#include <list/RecordTable.h>
#include <summary/SummaryState.h>

#include <optional>

namespace vexal::cli {

int runSummary(const Options &options, Session &session);
int runWatch(const Options &options, Session &session);
int runPause(const Options &options, Session &session);
int runFollow(const Options &options, Session &session);
int runList(const Options &options, Session &session);
int runCode(const Options &options, Session &session);
int runCheck(const Options &options, Session &session);
int runSites(const Options &options, Session &session);
int runGrowthCheck(const Options &options, Session &session);

// Prints the counters of the last status reply as the summary table of
// `summary` shows them.
int printSummary(const Options &options, Session &session, monitor::SummaryState &summary,
                 const std::optional<monitor::CallSite> &origin);

// Fetches the application's list into `table`, with progress on a terminal.
int fetchList(Session &session, monitor::RecordTable &table);
// Prints the fetched list's rows that the options ask for.
int printList(const Options &options, monitor::RecordTable &table, const std::optional<monitor::CallSite> &origin);
// Checks them against the limits: prints them and gives kCheckFailed when
// they exceed one; says the verdict on standard error either way.
int checkList(const Options &options, Session &session, monitor::RecordTable &table,
              const std::optional<monitor::CallSite> &origin);

} // namespace vexal::cli
