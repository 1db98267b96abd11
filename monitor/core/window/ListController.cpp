// SPDX-License-Identifier: MIT
#include "ListController.h"

#include "SummaryController.h"
#include "list/ListFetch.h"

#include <QElapsedTimer>

namespace vexal::monitor {

namespace {

// While a list arrives or is shown, the window's pending events run at most
// this often: every 100 records of a million would be ten thousand stops.
constexpr qint64 kEventsIntervalMs = 20;

class EventPacer {
public:
    explicit EventPacer(MonitorView &view) : view_(view) { clock_.start(); }
    void tick()
    {
        if (clock_.hasExpired(kEventsIntervalMs)) {
            view_.letEventsRun();
            clock_.restart();
        }
    }

private:
    MonitorView &view_;
    QElapsedTimer clock_;
};

} // namespace

ListController::ListController(MonitorState &state, SummaryController &summary)
    : state_(state), summary_(summary), listCallSite_(state.connection.listCallEvent(), state.stopping)
{
}

void ListController::showLoading(const QString &text)
{
    state_.view.setListLoadingText(text);
    state_.view.setStatus(text);
}

void ListController::getList()
{
    // A fetch for the application's own VexalShowList call is bringing a
    // fresh list already.
    std::unique_lock fetching(fetchMutex_, std::try_to_lock);
    if (!fetching)
        return;
    state_.markRequestedByThisProgram();
    fetch();
}

void ListController::startCallSite()
{
    listCallSite_.start([this] { answerListCall(); });
}

void ListController::answerListCall()
{
    std::lock_guard fetching(fetchMutex_);
    const CallSite site = state_.connection.locked([](ReceivedState &state) { return state.listCall; });
    state_.setOrigin({OriginKind::Application, QString::fromLocal8Bit(site.file), site.line});
    state_.view.letEventsRun();
    // Only a list that arrived was sent: after a time-out or a lost
    // connection the window says what happened instead.
    if (!fetch())
        return;
    state_.apply({{CommandGroup::ShowFullPath, true}});
    state_.view.setStatus(QStringLiteral("The application sent a detailed list using a VexalShowList call."));
}

// Runs under fetchMutex_. True when the whole list arrived and is shown.
bool ListController::fetch()
{
    MonitorView &view = state_.view;
    view.setCursor(Cursor::Wait);
    showLoading(QStringLiteral("Getting data..."));
    view.setListCounters(QStringLiteral("..."));
    state_.apply(groups::atListFetchStart());
    view.letEventsRun();

    // The view goes on showing the previous list until this one is whole.
    auto table = std::make_shared<RecordTable>();
    EventPacer pacer(view);
    ListFetch::Progress progress;
    progress.received = [&](qsizetype n) {
        view.setStatus(RecordTable::receivingProgressText(n));
        pacer.tick();
    };
    const ListFetch::Result result = ListFetch(state_.connection).run(*table, progress);
    if (result.outcome == ListFetch::Outcome::ConnectionLost) {
        // The loss of the connection resets the window; a click that came
        // after that must not leave the hourglass behind.
        view.setCursor(Cursor::Default);
        return false;
    }
    if (result.outcome == ListFetch::Outcome::TimedOut) {
        // Left as it stands (the previous list, the counters at "..."):
        // Disconnect is the way on.
        state_.apply(groups::atListTimeOut());
        view.setCursor(Cursor::Default);
        return false;
    }

    // Counted before the view has the table: from then on it is the GUI
    // thread's, which sorts it.
    const RecordCounts counts = table->counts();
    state_.connection.locked([&](ReceivedState &) { state_.posixApplication = table->posixApplication(); });
    summary_.display(result.status);
    load(std::move(table));
    view.setListCounts(counts);
    view.setStatus(QStringLiteral("Got list of outstanding memory allocations"));
    view.setCursor(Cursor::Default);
    state_.apply(groups::atListFetchEnd(state_.paused, state_.lockedViewContents()));
    return true;
}

// Shows `table` afresh: after a fetch, and after sorting it.
void ListController::load(std::shared_ptr<RecordTable> table)
{
    MonitorView &view = state_.view;
    const qsizetype rows = table->size();
    showLoading(QStringLiteral("Unloading data..."));
    view.letEventsRun();
    view.showList(nullptr);
    view.showCode(nullptr);
    showLoading(QStringLiteral("Loading data..."));
    view.setRecordCount(rows);
    view.letEventsRun();
    view.showList(std::move(table));
    state_.listRows = rows;
    // The view shows every row at once; the texts still tell the count.
    EventPacer pacer(view);
    for (qsizetype n = 0; n < rows; n += RecordTable::ProgressStep) {
        view.setStatus(RecordTable::loadingProgressText(n));
        pacer.tick();
    }
}

void ListController::clearForSummary()
{
    if (state_.listRows == 0)
        return;
    MonitorView &view = state_.view;
    state_.apply({{CommandGroup::Pause, false}, {CommandGroup::Release, false}});
    showLoading(QStringLiteral("Unloading data..."));
    view.setListCounters(QStringLiteral("..."));
    view.showList(nullptr);
    view.showCode(nullptr);
    view.letEventsRun();
    state_.listRows = 0;
    state_.apply(groups::atListCleared(
        state_.paused, state_.connection.locked([this](ReceivedState &) { return !state_.summary.rows().empty(); })));
    // An empty list counts nothing, whoever asked for the summary.
    view.setListCounters(QStringLiteral("0"));
}

void ListController::sort(std::shared_ptr<RecordTable> table, ListColumn column)
{
    MonitorView &view = state_.view;
    if (!table || table->isEmpty()) {
        view.setStatus(QStringLiteral("Nothing to sort!"));
        return;
    }
    const QString caption = RecordTable::columnCaption(column);
    view.setCursor(Cursor::Wait);
    view.setStatus(QStringLiteral("Sorting 'Detailed List' after '%1'...").arg(caption));
    table->sortBy(column);
    load(table);
    view.setStatus(QStringLiteral("Sorted 'Detailed List' after '%1'").arg(caption));
    view.setCursor(Cursor::Default);
}

} // namespace vexal::monitor
