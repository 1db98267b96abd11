// SPDX-License-Identifier: MIT
#include "SummaryState.h"

#include <TransferRecord.h>

namespace vexal::monitor {

const char *const kSummaryCaption = "Summary of Allocations";

namespace {

const char *const kFunctionNames[kFunctionCount] = {"malloc",      "calloc",     "realloc",   "strdup",
                                                    "wcsdup",      "mbsdup",     "GlobalAlloc", "LocalAlloc",
                                                    "HeapAlloc",   "HeapRealloc", "valloc",    "memalign"};

QString number(int64_t value) { return QString::number(static_cast<qlonglong>(value)); }

float scaled(int64_t bytes, int64_t divisor)
{
    return static_cast<float>(static_cast<double>(bytes) / static_cast<double>(divisor));
}

} // namespace

int64_t divisorFor(int64_t largestTotal)
{
    if (kUnitThresholdFactor * kMegabyte < largestTotal)
        return kMegabyte;
    if (kUnitThresholdFactor * kKilobyte < largestTotal)
        return kKilobyte;
    return 1;
}

QString unitSuffix(int64_t divisor)
{
    return divisor == kMegabyte ? QStringLiteral(" (MB)") : divisor == kKilobyte ? QStringLiteral(" (KB)") : QStringLiteral(" (B)");
}

QString functionName(int function) { return QString::fromLatin1(kFunctionNames[function]); }

StatusValues StatusValues::from(const TransferRecord &received)
{
    StatusValues values;
    for (int k = 0; k < kFunctionCount; ++k) {
        values.calls[k] = received.calls[k];
        values.bytes[k] = received.stillAllocated[k];
    }
    values.freeFailed = received.freeFailed;
    values.notStored = received.addressNotStored;
    values.internalUse = received.internalUse;
    return values;
}

void SummaryState::reset() { *this = SummaryState(); }

SummaryUpdate SummaryState::display(const StatusValues &values, int64_t nowMs)
{
    int64_t totalCalls = 0;
    int64_t totalBytes = 0;
    std::size_t needed = 2;  // the blank row and "Total"
    for (int k = 0; k < kFunctionCount; ++k) {
        totalCalls += values.calls[k];
        totalBytes += values.bytes[k];
        needed += values.calls[k] > 0 ? 1 : 0;
    }
    needed += (values.freeFailed > 0 ? 1 : 0) + (values.notStored > 0 ? 1 : 0) + (values.internalUse > 0 ? 1 : 0);
    while (rows_.size() < needed)
        rows_.push_back({QString::number(rows_.size()), QString(), QString()});

    // Rows are filled from the top; the table never shrinks within a
    // connection, as the counters that add rows only grow.
    std::size_t row = 0;
    Sample sample;
    sample.total = totalBytes;
    for (int k = 0; k < kFunctionCount; ++k) {
        if (values.calls[k] <= 0)
            continue;
        rows_[row++] = {functionName(k), number(values.calls[k]), number(values.bytes[k])};
        sample.bytes[k] = values.bytes[k];
    }
    rows_[row++] = {QString(), QString(), QString()};
    rows_[row++] = {QStringLiteral("Total"), number(totalCalls), number(totalBytes)};
    if (values.freeFailed > 0)
        rows_[row++] = {QStringLiteral("Free Failed"), QString(), number(values.freeFailed)};
    if (values.notStored > 0)
        rows_[row++] = {QStringLiteral("Not Stored"), number(values.notStored), QString()};
    if (values.internalUse > 0)
        rows_[row++] = {QStringLiteral("Internal Use"), QString(), number(values.internalUse)};

    if (totalBytes > largestTotal_)
        largestTotal_ = totalBytes;
    const int64_t divisor = divisorFor(largestTotal_);

    SummaryUpdate update;
    update.chartTitle = QString::fromLatin1(kSummaryCaption) + unitSuffix(divisor);
    if (!startMs_)
        startMs_ = nowMs;

    // Only a new unit redraws the chart from the history; otherwise each
    // summary adds one point per shown series, whatever the history's length.
    if (divisor != divisor_) {
        divisor_ = divisor;
        update.redraw = true;
        for (const Sample &earlier : history_) {
            if (totalCalls > 0)
                update.redrawn[0].append(QPointF(earlier.elapsed, scaled(earlier.total, divisor)));
            for (int k = 0; k < kFunctionCount; ++k) {
                if (values.calls[k] > 0)
                    update.redrawn[k + 1].append(QPointF(earlier.elapsed, scaled(earlier.bytes[k], divisor)));
            }
        }
    }

    sample.elapsed = static_cast<float>(static_cast<double>(nowMs - *startMs_) / 1000.0);
    history_.push_back(sample);

    if (totalCalls > 0)
        update.added[0] = QPointF(sample.elapsed, scaled(totalBytes, divisor));
    for (int k = 0; k < kFunctionCount; ++k) {
        if (values.calls[k] > 0)
            update.added[k + 1] = QPointF(sample.elapsed, scaled(values.bytes[k], divisor));
    }
    update.rows = rows_;
    return update;
}

} // namespace vexal::monitor
