// SPDX-License-Identifier: MIT
// How a site's live bytes move over the samples kept: the growth, a
// least-squares fit over all of them, and the verdict a person would give
// looking at the chart.
//
// A trend holds over a run of samples when the rise (or fall) of the fitted
// line across the run exceeds how far the samples stray from that line, top
// to bottom: noise and the teeth of a sawtooth stray as far as they move,
// a leak rises further than its own ups and downs. A site is
//   "growing"   when its bytes rise that way over all the samples kept and
//               over the most recent half of them: a cache that filled and
//               has stayed as it is for the recent half is not;
//   "shrinking" the same, falling;
//   "new"       with fewer than kMinSamples samples since it appeared;
//   "steady"    otherwise: level, or moving without a trend.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace vexal::monitor {

enum class Verdict { New, Steady, Shrinking, Growing };

// "new", "steady", "shrinking", "growing".
QString verdictText(Verdict verdict);

struct Trend {
    double bytesPerSecond = 0;  // the slope of the fit over every sample given
    Verdict verdict = Verdict::New;
};

// Fewer samples than this make no verdict: by chance, noise alone looks
// like a trend in a handful of samples (in one of a hundred with ten).
inline constexpr std::size_t kMinSamples = 10;

// `seconds` ascending, one per sample, and the site's bytes at each.
Trend judge(std::span<const double> seconds, std::span<const int64_t> bytes);

} // namespace vexal::monitor
