// SPDX-License-Identifier: MIT
// A window for the monitor core's tests: it records every request in the
// order it arrives, from any thread, and answers questions as told.
#pragma once

#include <window/MonitorView.h>

#include <QStringList>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vexal::monitor::test {

class RecordingView : public MonitorView {
public:
    RecordingView() { groups.fill(false); }

    void setStatus(const QString &text) override { record([&] { statuses.append(text); }); }
    void setGroupEnabled(CommandGroup group, bool enabled) override
    {
        record([&] { groups[static_cast<std::size_t>(group)] = enabled; });
    }
    void setCursor(Cursor c) override { record([&] { cursor = c; }); }
    void setPausedMark(const QString &text) override { record([&] { pausedMark = text; }); }
    void setOrigin(const Origin &o) override { record([&] { origin = o; }); }
    void resetSummary(const QString &title) override
    {
        record([&] {
            chartTitle = title;
            summaries.clear();
        });
    }
    void showSummary(const SummaryUpdate &update) override { record([&] { summaries.push_back(update); }); }
    void setListCounters(const QString &text) override { record([&] { listCounters = text; }); }
    void setRecordCount(qsizetype records) override { record([&] { recordCount = records; }); }
    void setListCounts(const RecordCounts &counts) override { record([&] { listCounts = counts; }); }
    void setListLoadingText(const QString &text) override { record([&] { loadingText = text; }); }
    void showList(std::shared_ptr<RecordTable> table) override { record([&] { list = std::move(table); }); }
    void showCode(std::shared_ptr<const GeneratedCode> shown) override { record([&] { code = std::move(shown); }); }
    void markRate(int periodMs) override { record([&] { markedRate = periodMs; }); }
    void showMessage(const MessageBox &box) override { record([&] { messages.push_back(box); }); }
    bool askYesNo(const MessageBox &box) override
    {
        record([&] { messages.push_back(box); });
        return answerYes;
    }
    std::optional<QString> chooseSaveFile(const SaveFileDialog &dialog) override
    {
        record([&] { dialogs.push_back(dialog); });
        return chosenFile;
    }
    void letEventsRun() override {}

    // Waits until `holds` is true of the recorded state; false after `limit`,
    // with a warning that shows the last statuses seen.
    bool waitFor(const std::function<bool()> &holds, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, limit, holds))
            return true;
        qWarning("not within %lld ms; the last statuses: \"%s\"", static_cast<long long>(limit.count()),
                 qPrintable(statuses.mid(std::max<qsizetype>(0, statuses.size() - 3)).join(QStringLiteral("\", \""))));
        return false;
    }

    bool statusSeen(const QString &text)
    {
        return waitFor([&] { return statuses.contains(text); });
    }

    template <class T>
    T read(const std::function<T()> &get)
    {
        std::lock_guard lock(mutex_);
        return get();
    }

    bool enabled(CommandGroup group)
    {
        std::lock_guard lock(mutex_);
        return groups[static_cast<std::size_t>(group)];
    }

    // Recorded state; read through read() or waitFor() while threads run.
    QStringList statuses;
    std::array<bool, kCommandGroupCount> groups{};
    Cursor cursor = Cursor::Default;
    QString pausedMark;
    Origin origin;
    QString chartTitle;
    std::vector<SummaryUpdate> summaries;
    QString listCounters;
    qsizetype recordCount = -1;
    RecordCounts listCounts;
    QString loadingText;
    std::shared_ptr<RecordTable> list;
    std::shared_ptr<const GeneratedCode> code;
    std::vector<SaveFileDialog> dialogs;
    std::optional<QString> chosenFile;  // the answer to every file dialog
    std::optional<int> markedRate;
    std::vector<MessageBox> messages;
    bool answerYes = false;

private:
    void record(const std::function<void()> &change)
    {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace vexal::monitor::test
