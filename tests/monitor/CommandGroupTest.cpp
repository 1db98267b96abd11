// SPDX-License-Identifier: MIT
// The command groups each state of the window leaves enabled, applied in
// the order a session goes through them.
#include <window/CommandGroup.h>

#include <QTest>

#include <array>
#include <set>

using namespace vexal::monitor;
using G = CommandGroup;

namespace {

class Groups {
public:
    Groups() { enabled_.fill(true); }  // whatever the design had: start-up decides

    Groups &apply(const GroupChanges &changes)
    {
        for (const auto &[group, on] : changes)
            enabled_[static_cast<std::size_t>(group)] = on;
        return *this;
    }

    std::set<int> enabled() const
    {
        std::set<int> on;
        for (int g = 0; g < kCommandGroupCount; ++g) {
            if (enabled_[static_cast<std::size_t>(g)])
                on.insert(g);
        }
        return on;
    }

private:
    std::array<bool, kCommandGroupCount> enabled_{};
};

} // namespace

class CommandGroupTest : public QObject {
    Q_OBJECT

private slots:
    void aSessionPassesThroughEveryState()
    {
        Groups groups;
        QCOMPARE(groups.apply(groups::atStartUp()).enabled(), (std::set<int>{0, 9, 10}));
        QCOMPARE(groups.apply(groups::whenConnected(false)).enabled(), (std::set<int>{1, 2, 3, 5, 9, 10, 11}));
        QCOMPARE(groups.apply(groups::whenPaused(true)).enabled(), (std::set<int>{1, 2, 3, 5, 9, 10, 12}));

        groups.apply(groups::atSingleSummaryStart());
        QCOMPARE(groups.enabled(), (std::set<int>{1, 3, 5, 9, 10, 12}));
        QCOMPARE(groups.apply(groups::atSingleSummaryEnd({true, false})).enabled(),
                 (std::set<int>{1, 2, 3, 5, 6, 8, 9, 10, 12}));

        QCOMPARE(groups.apply(groups::whenPaused(false)).enabled(), (std::set<int>{1, 2, 3, 5, 6, 8, 9, 10, 11}));
        QCOMPARE(groups.apply(groups::atContinuousStart()).enabled(), (std::set<int>{4, 9, 11}));
        QCOMPARE(groups.apply(groups::atContinuousEnd({true, false})).enabled(),
                 (std::set<int>{1, 2, 3, 5, 6, 8, 9, 10, 11}));

        // The application's report call while no continuous summary runs.
        QCOMPARE(groups.apply(groups::atReportCall()).enabled(), (std::set<int>{1, 2, 3, 5, 6, 8, 9, 10, 11}));

        // Lost while continuous summary ran: Show Full Path comes back too.
        groups.apply(groups::atContinuousStart());
        QCOMPARE(groups.apply(groups::whenDisconnected()).enabled(), (std::set<int>{0, 9, 10}));

        // A paused flag left from before decides Pause or Release at Connect.
        QCOMPARE(groups.apply(groups::whenConnected(true)).enabled(), (std::set<int>{1, 2, 3, 5, 9, 10, 12}));
    }

    void aListFetchLeavesOnlyDisconnectOnTimeOutAndEverythingBackAtItsEnd()
    {
        Groups groups;
        groups.apply(groups::atStartUp()).apply(groups::whenConnected(false));
        QCOMPARE(groups.apply(groups::atListFetchStart()).enabled(), (std::set<int>{9, 10}));
        QCOMPARE(Groups(groups).apply(groups::atListTimeOut()).enabled(), (std::set<int>{1, 9, 10}));
        QCOMPARE(groups.apply(groups::atListFetchEnd(true, {true, true})).enabled(),
                 (std::set<int>{1, 2, 3, 5, 6, 7, 8, 9, 10, 12, 13}));
        // A summary takes list and code away.
        groups.apply({{G::SaveCode, true}});
        QCOMPARE(Groups(groups).apply(groups::atListCleared(false, true)).enabled(),
                 (std::set<int>{1, 2, 3, 5, 6, 8, 9, 10, 11}));
        QCOMPARE(groups.apply(groups::atListCleared(false, false)).enabled(), (std::set<int>{1, 2, 3, 5, 6, 9, 10, 11}));
    }

    void savingFollowsWhatTheViewsHold()
    {
        for (const ViewContents views : {ViewContents{false, false}, ViewContents{false, true}, ViewContents{true, true}}) {
            Groups groups;
            groups.apply(groups::atStartUp()).apply(groups::atContinuousEnd(views));
            const std::set<int> on = groups.enabled();
            QCOMPARE(on.count(6) == 1, views.summaryRows);
            QCOMPARE(on.count(7) == 1, views.listRows);
            QCOMPARE(on.count(8) == 1, views.summaryRows || views.listRows);
        }
    }
};

QTEST_APPLESS_MAIN(CommandGroupTest)
#include "CommandGroupTest.moc"
