// SPDX-License-Identifier: MIT
// The leak sites over time: every fetched sample's live bytes per site (and
// the latest live blocks), and what is derived from them per site: the
// change since the mark, the growth and the verdict (Verdict.h). Not
// locked: its owner guards it.
#pragma once

#include "Sites.h"
#include "Verdict.h"

#include <QList>
#include <QPointF>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace vexal::monitor {

struct SiteRow {
    Site site;  // as in the last sample
    int64_t changeBlocks = 0;  // since the mark
    int64_t changeBytes = 0;
    double growthBytesPerSecond = 0;
    Verdict verdict = Verdict::New;
};

// What the last sample shows: a row per site in it.
struct SitesFrame {
    std::vector<SiteRow> rows;
    int64_t totalBlocks = 0;
    int64_t totalBytes = 0;
    int64_t nextIndex = 0;
    std::size_t samples = 0;  // kept
    double elapsed = 0;       // seconds from the first sample to the last
};

class SiteHistory {
public:
    // Samples kept per site by default: growth and verdict are about these.
    // At a refresh every second, the last two minutes.
    static constexpr std::size_t kSamplesKept = 120;

    explicit SiteHistory(std::size_t kept = kSamplesKept) : kept_(std::max<std::size_t>(kept, 1)) {}

    // Forgets every sample. Without `markIndex` the mark goes too, and
    // change counts from the first sample to come; with it, the history is
    // marked at that index and change counts from nothing (when only blocks
    // made since the mark are fetched, there were none at the mark).
    void reset(std::optional<int64_t> markIndex = std::nullopt);

    // Adds the sample taken at `seconds` (a steady clock, ascending) and
    // gives the frame it makes.
    SitesFrame add(const SitesSnapshot &snapshot, double seconds);
    SitesFrame frame() const;

    // The last sample becomes the baseline of the change, and its next index
    // the mark's index.
    void mark();
    bool marked() const { return marked_; }
    int64_t markIndex() const { return markIndex_; }

    std::size_t samples() const { return std::min(times_.size(), kept_); }
    // The site's live bytes at each kept sample since it appeared: seconds
    // since the first sample of the history, bytes.
    QList<QPointF> bytesOverTime(const SiteKey &key) const;

private:
    struct Value {
        int64_t blocks = 0;
        int64_t bytes = 0;
    };
    // `bytes` is appended to at every sample; the last kept_ entries count.
    // Trimmed only when twice that long, so that an append costs no shift.
    struct Track {
        std::vector<int64_t> bytes;
        int64_t blocks = 0;             // at the last sample
        std::size_t emptySamples = 0;   // the latest samples in a row without blocks or bytes
        Value baseline;
    };

    template <class T>
    void trim(std::vector<T> &values) const;
    template <class T>
    std::span<const T> kept(const std::vector<T> &values, std::size_t count) const;
    SiteRow row(const Site &site) const;

    std::size_t kept_;
    std::unordered_map<SiteKey, Track, SiteKeyHash> tracks_;
    std::vector<double> times_;
    SitesSnapshot last_;
    double origin_ = 0;
    bool zeroBaseline_ = false;
    bool marked_ = false;
    int64_t markIndex_ = 0;
};

} // namespace vexal::monitor
