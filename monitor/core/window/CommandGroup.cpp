// SPDX-License-Identifier: MIT
#include "CommandGroup.h"

namespace vexal::monitor::groups {

namespace {

using G = CommandGroup;

GroupChanges set(std::initializer_list<G> list, bool enabled, GroupChanges changes = {})
{
    for (G group : list)
        changes.emplace_back(group, enabled);
    return changes;
}

GroupChanges savingGroups(ViewContents views, GroupChanges changes)
{
    if (views.summaryRows)
        changes.emplace_back(G::SaveSummary, true);
    if (views.listRows)
        changes.emplace_back(G::SaveList, true);
    if (views.summaryRows || views.listRows)
        changes.emplace_back(G::SaveAll, true);
    return changes;
}

} // namespace

GroupChanges atStartUp()
{
    GroupChanges changes = set({G::Disconnect, G::SingleSummary, G::StartContinuous, G::StopContinuous, G::GetList,
                                G::SaveSummary, G::SaveList, G::SaveAll, G::Pause, G::Release, G::GenerateCode,
                                G::SaveCode},
                               false);
    return set({G::Connect, G::Quit, G::ShowFullPath}, true, std::move(changes));
}

GroupChanges whenConnected(bool paused)
{
    GroupChanges changes = set({G::Connect}, false);
    changes = set({G::Disconnect, G::SingleSummary, G::StartContinuous, G::GetList}, true, std::move(changes));
    changes = set({G::StopContinuous}, false, std::move(changes));
    changes.emplace_back(G::Pause, !paused);
    changes.emplace_back(G::Release, paused);
    return changes;
}

GroupChanges whenDisconnected()
{
    GroupChanges changes = set({G::Connect}, true);
    changes = set({G::Disconnect, G::SingleSummary, G::StartContinuous, G::StopContinuous, G::GetList, G::Pause,
                   G::Release},
                  false, std::move(changes));
    // Show Full Path is enabled in every state but continuous summary, which
    // a lost connection or Quit may end without Stop.
    return set({G::Quit, G::ShowFullPath}, true, std::move(changes));
}

GroupChanges whenPaused(bool paused)
{
    return {{G::Pause, !paused}, {G::Release, paused}};
}

GroupChanges atSingleSummaryStart()
{
    return set({G::SingleSummary, G::SaveSummary, G::SaveList, G::SaveAll}, false);
}

GroupChanges atSingleSummaryEnd(ViewContents views)
{
    GroupChanges changes = savingGroups(views, {});
    changes.emplace_back(G::SingleSummary, true);
    return changes;
}

GroupChanges atContinuousStart()
{
    GroupChanges changes = set({G::Disconnect, G::SaveSummary, G::SaveList, G::SaveAll, G::SingleSummary,
                                G::StartContinuous, G::GetList, G::ShowFullPath},
                               false);
    changes.emplace_back(G::StopContinuous, true);
    return changes;
}

GroupChanges atContinuousEnd(ViewContents views)
{
    GroupChanges changes = savingGroups(views, {{G::Disconnect, true}});
    changes = set({G::SingleSummary, G::StartContinuous}, true, std::move(changes));
    changes.emplace_back(G::StopContinuous, false);
    return set({G::GetList, G::ShowFullPath}, true, std::move(changes));
}

GroupChanges atReportCall()
{
    GroupChanges changes = set({G::SingleSummary, G::StartContinuous}, true);
    changes.emplace_back(G::StopContinuous, false);
    return changes;
}

GroupChanges atListFetchStart()
{
    return set({G::GetList, G::Disconnect, G::SingleSummary, G::StartContinuous, G::SaveSummary, G::SaveList,
                G::SaveAll, G::Pause, G::Release, G::GenerateCode, G::SaveCode},
               false);
}

GroupChanges atListTimeOut() { return {{G::Disconnect, true}}; }

GroupChanges atListFetchEnd(bool paused, ViewContents views)
{
    GroupChanges changes = set({G::Disconnect, G::SingleSummary, G::StartContinuous}, true);
    changes.emplace_back(G::Pause, !paused);
    changes.emplace_back(G::Release, paused);
    changes = savingGroups(views, std::move(changes));
    return set({G::GetList, G::GenerateCode}, true, std::move(changes));
}

GroupChanges atListCleared(bool paused, bool summaryRows)
{
    GroupChanges changes = set({G::GenerateCode, G::SaveCode, G::SaveList}, false);
    if (!summaryRows)
        changes.emplace_back(G::SaveAll, false);
    changes.emplace_back(G::Pause, !paused);
    changes.emplace_back(G::Release, paused);
    return changes;
}

} // namespace vexal::monitor::groups
