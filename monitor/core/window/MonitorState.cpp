// SPDX-License-Identifier: MIT
#include "MonitorState.h"

namespace vexal::monitor {

void MonitorState::apply(const GroupChanges &changes)
{
    for (const auto &[group, enabled] : changes)
        view.setGroupEnabled(group, enabled);
}

void MonitorState::setOrigin(const Origin &shown)
{
    connection.locked([&](ReceivedState &) { origin = shown; });
    view.setOrigin(shown);
}

void MonitorState::markRequestedByThisProgram()
{
    setOrigin({OriginKind::ThisProgram, QString(), 0});
    connection.locked([](ReceivedState &state) {
        state.statusCall = {};
        state.listCall = {};
    });
    view.letEventsRun();
}

ViewContents MonitorState::lockedViewContents()
{
    return connection.locked([this](ReceivedState &) { return viewContents(); });
}

} // namespace vexal::monitor
