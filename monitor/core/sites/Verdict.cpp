// SPDX-License-Identifier: MIT
#include "Verdict.h"

#include <algorithm>

namespace vexal::monitor {

namespace {

struct Line {
    double slope = 0;
    double offset = 0;
};

// Least squares, with the times and values taken relative to the first, so
// that large byte counts and clock readings keep their precision.
Line fit(std::span<const double> t, std::span<const int64_t> y)
{
    const std::size_t n = t.size();
    double meanT = 0;
    double meanY = 0;
    for (std::size_t i = 0; i < n; ++i) {
        meanT += t[i] - t[0];
        meanY += double(y[i] - y[0]);
    }
    meanT /= double(n);
    meanY /= double(n);
    double sxx = 0;
    double sxy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double dt = t[i] - t[0] - meanT;
        sxx += dt * dt;
        sxy += dt * (double(y[i] - y[0]) - meanY);
    }
    Line line;
    line.slope = sxx > 0 ? sxy / sxx : 0;
    line.offset = meanY - line.slope * meanT;
    return line;
}

// +1 rising, -1 falling, 0 neither: the fitted rise across the run against
// the spread of the samples about the line.
int direction(std::span<const double> t, std::span<const int64_t> y)
{
    const Line line = fit(t, y);
    double low = 0;
    double high = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double off = double(y[i] - y[0]) - (line.offset + line.slope * (t[i] - t[0]));
        low = std::min(low, off);
        high = std::max(high, off);
    }
    const double rise = line.slope * (t.back() - t.front());
    const double spread = high - low;
    if (rise > spread)
        return 1;
    if (-rise > spread)
        return -1;
    return 0;
}

} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::New:
        return QStringLiteral("new");
    case Verdict::Steady:
        return QStringLiteral("steady");
    case Verdict::Shrinking:
        return QStringLiteral("shrinking");
    case Verdict::Growing:
        break;
    }
    return QStringLiteral("growing");
}

Trend judge(std::span<const double> seconds, std::span<const int64_t> bytes)
{
    Trend trend;
    const std::size_t n = std::min(seconds.size(), bytes.size());
    if (n == 0)
        return trend;
    seconds = seconds.first(n);
    bytes = bytes.first(n);
    trend.bytesPerSecond = fit(seconds, bytes).slope;
    if (n < kMinSamples)
        return trend;
    const std::size_t recent = (n + 1) / 2;
    const int whole = direction(seconds, bytes);
    const int lately = direction(seconds.last(recent), bytes.last(recent));
    if (whole == 1 && lately == 1)
        trend.verdict = Verdict::Growing;
    else if (whole == -1 && lately == -1)
        trend.verdict = Verdict::Shrinking;
    else
        trend.verdict = Verdict::Steady;
    return trend;
}

} // namespace vexal::monitor
