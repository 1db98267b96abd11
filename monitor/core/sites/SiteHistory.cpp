// SPDX-License-Identifier: MIT
#include "SiteHistory.h"

#include <algorithm>

namespace vexal::monitor {

template <class T>
void SiteHistory::trim(std::vector<T> &values) const
{
    if (values.size() >= 2 * kept_)
        values.erase(values.begin(), values.end() - std::ptrdiff_t(kept_));
}

template <class T>
std::span<const T> SiteHistory::kept(const std::vector<T> &values, std::size_t count) const
{
    return std::span<const T>(values).last(std::min({values.size(), count, kept_}));
}

void SiteHistory::reset(std::optional<int64_t> markIndex)
{
    tracks_.clear();
    times_.clear();
    last_ = {};
    zeroBaseline_ = markIndex.has_value();
    marked_ = markIndex.has_value();
    markIndex_ = markIndex.value_or(0);
}

SitesFrame SiteHistory::add(const SitesSnapshot &snapshot, double seconds)
{
    const bool first = times_.empty();
    if (first)
        origin_ = seconds;
    times_.push_back(seconds);
    trim(times_);

    for (auto &[key, track] : tracks_) {
        track.bytes.push_back(0);
        track.blocks = 0;
    }
    for (const Site &site : snapshot.sites) {
        auto [at, isNew] = tracks_.try_emplace(site.key);
        Track &track = at->second;
        if (isNew) {
            track.bytes.push_back(0);
            if (first && !zeroBaseline_)
                track.baseline = {site.blocks, site.bytes};
        }
        track.bytes.back() = site.bytes;
        track.blocks = site.blocks;
    }
    // A site whose blocks are all gone for every kept sample is forgotten.
    for (auto &[key, track] : tracks_)
        track.emptySamples = track.bytes.back() == 0 && track.blocks == 0 ? track.emptySamples + 1 : 0;
    std::erase_if(tracks_, [this](const auto &entry) {
        return entry.second.emptySamples >= kept(entry.second.bytes, kept_).size();
    });
    for (auto &[key, track] : tracks_)
        trim(track.bytes);
    last_ = snapshot;
    return frame();
}

SiteRow SiteHistory::row(const Site &site) const
{
    SiteRow row;
    row.site = site;
    const auto at = tracks_.find(site.key);
    if (at == tracks_.end())
        return row;
    const Track &track = at->second;
    const auto bytes = kept(track.bytes, kept_);
    const Trend trend = judge(kept(times_, bytes.size()), bytes);
    row.growthBytesPerSecond = trend.bytesPerSecond;
    row.verdict = trend.verdict;
    row.changeBlocks = track.blocks - track.baseline.blocks;
    row.changeBytes = track.bytes.back() - track.baseline.bytes;
    return row;
}

SitesFrame SiteHistory::frame() const
{
    SitesFrame frame;
    frame.rows.reserve(last_.sites.size());
    for (const Site &site : last_.sites)
        frame.rows.push_back(row(site));
    frame.totalBlocks = last_.totalBlocks;
    frame.totalBytes = last_.totalBytes;
    frame.nextIndex = last_.nextIndex;
    frame.samples = samples();
    frame.elapsed = times_.empty() ? 0 : times_.back() - origin_;
    return frame;
}

void SiteHistory::mark()
{
    for (auto &[key, track] : tracks_)
        track.baseline = {track.blocks, track.bytes.back()};
    marked_ = true;
    markIndex_ = last_.nextIndex;
}

QList<QPointF> SiteHistory::bytesOverTime(const SiteKey &key) const
{
    QList<QPointF> points;
    const auto at = tracks_.find(key);
    if (at == tracks_.end())
        return points;
    const auto bytes = kept(at->second.bytes, kept_);
    const auto times = kept(times_, bytes.size());
    points.reserve(qsizetype(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        points.append(QPointF(times[i] - origin_, double(bytes[i])));
    return points;
}

} // namespace vexal::monitor
