// SPDX-License-Identifier: MIT
// The summary of a connection: the rows of the summary table, the history of
// every displayed summary and the chart drawn from it, with its unit divisor.
// Each display turns the library's counters into one SummaryUpdate that the
// window applies as it stands.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct TransferRecord;

namespace vexal::monitor {

constexpr int kFunctionCount = 12;            // memory functions malloc to memalign
constexpr int kSeriesCount = kFunctionCount + 1;  // the total, then one per function
// The chart switches to KB, then MB, once the largest total exceeds five of
// the unit.
constexpr int64_t kKilobyte = 1024;
constexpr int64_t kMegabyte = 1048576;
constexpr int64_t kUnitThresholdFactor = 5;
int64_t divisorFor(int64_t largest);  // the unit's bytes: kMegabyte, kKilobyte or 1
QString unitSuffix(int64_t divisor);  // " (MB)", " (KB)" or " (B)"

extern const char *const kSummaryCaption;  // the summary group's caption, the chart's title

// Row captions and series titles, by memory function.
QString functionName(int function);

struct StatusValues {
    std::array<int64_t, kFunctionCount> calls{};
    std::array<int64_t, kFunctionCount> bytes{};
    int64_t freeFailed = 0;
    int64_t notStored = 0;
    int64_t internalUse = 0;

    static StatusValues from(const TransferRecord &received);
};

struct SummaryRow {
    QString caption;
    QString calls;
    QString bytes;

    bool operator==(const SummaryRow &) const = default;
};

struct SummaryUpdate {
    std::vector<SummaryRow> rows;  // the whole table, top to bottom
    QString chartTitle;
    // Set when the divisor changed: every series is to be replaced by its
    // points in `redrawn` before the new points are added.
    bool redraw = false;
    std::array<QList<QPointF>, kSeriesCount> redrawn;
    // The new point of each series the summary shows; a series with a point
    // is shown, with its title.
    std::array<std::optional<QPointF>, kSeriesCount> added;
};

class SummaryState {
public:
    // Empties the table, the history and the chart state, as at Connect.
    void reset();

    // Displays one summary taken at `nowMs` (wall clock, milliseconds).
    SummaryUpdate display(const StatusValues &values, int64_t nowMs);

    const std::vector<SummaryRow> &rows() const { return rows_; }
    int64_t divisor() const { return divisor_; }
    std::size_t samples() const { return history_.size(); }

private:
    struct Sample {
        float elapsed = 0;  // seconds since the first summary of the connection
        int64_t total = 0;
        std::array<int64_t, kFunctionCount> bytes{};  // 0 for a function without calls
    };

    std::vector<SummaryRow> rows_;
    std::vector<Sample> history_;
    std::optional<int64_t> startMs_;
    int64_t largestTotal_ = 0;
    int64_t divisor_ = 1;
};

} // namespace vexal::monitor
