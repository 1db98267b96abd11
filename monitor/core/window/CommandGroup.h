// SPDX-License-Identifier: MIT
// The sets of window controls that are enabled and disabled together, and
// what each state of the connection does to them.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

namespace vexal::monitor {

enum class CommandGroup : int {
    Connect = 0,
    Disconnect = 1,
    SingleSummary = 2,
    StartContinuous = 3,
    StopContinuous = 4,
    GetList = 5,
    SaveSummary = 6,
    SaveList = 7,
    SaveAll = 8,
    Quit = 9,
    ShowFullPath = 10,
    Pause = 11,
    Release = 12,
    GenerateCode = 13,
    SaveCode = 14,
};

constexpr int kCommandGroupCount = 15;

// One change a state asks for, in the order it is to be made.
using GroupChange = std::pair<CommandGroup, bool>;
using GroupChanges = std::vector<GroupChange>;

// What the views hold when the saving groups are decided.
struct ViewContents {
    bool summaryRows = false;
    bool listRows = false;
};

namespace groups {

GroupChanges atStartUp();
GroupChanges whenConnected(bool paused);
GroupChanges whenDisconnected();
GroupChanges whenPaused(bool paused);  // paused: after a pause; else after a release
GroupChanges atSingleSummaryStart();
GroupChanges atSingleSummaryEnd(ViewContents views);
GroupChanges atContinuousStart();
// Leaving continuous summary, by Stop or because the application's own
// report call ended it.
GroupChanges atContinuousEnd(ViewContents views);
// A report call of the application while no continuous summary ran.
GroupChanges atReportCall();
// A list fetch: at its start, after a time-out (only Disconnect leads on),
// and at its end, with the list's rows in `views`.
GroupChanges atListFetchStart();
GroupChanges atListTimeOut();
GroupChanges atListFetchEnd(bool paused, ViewContents views);
// The list was cleared for a summary: what saved or used it goes.
GroupChanges atListCleared(bool paused, bool summaryRows);

} // namespace groups

} // namespace vexal::monitor
