#include "commissioning/PlotModel.h"

#include <algorithm>
#include <cmath>

namespace {

TPlotBucket Merged(const TPlotBucket& a, const TPlotBucket& b) {
    TPlotBucket m;
    m.first = a.first;
    m.last = b.last;
    m.min = std::min(a.min, b.min);
    m.max = std::max(a.max, b.max);
    m.count = a.count + b.count;
    return m;
}

}  // namespace

void TPlotSeries::Add(int64_t timeMs, double value) {
    if (!std::isfinite(value)) return;
    if (FBuckets.size() >= FCapacity) Decimate();
    FBuckets.push_back({timeMs, timeMs, value, value, 1});
}

// Frees an eighth of the series at least, so that a full series is not merged again at every
// reading.
void TPlotSeries::Decimate() {
    const size_t target = FCapacity - FCapacity / 8;
    for (int64_t resolution = Resolution(); resolution >= 1 && FBuckets.size() > target;
         resolution /= 2)
        MergeByAge(resolution);
    // Only readings whose time went backwards (the system clock set back) leave it full.
    if (FBuckets.size() > target) MergeOlderHalf();
}

// Neighbours merge, oldest first, while the merged bucket spans at most its age divided by
// `resolution`. Readings from before the clock was set back do not merge with later ones.
void TPlotSeries::MergeByAge(int64_t resolution) {
    const int64_t newest = FBuckets.back().last;
    std::vector<TPlotBucket> kept;
    kept.reserve(FCapacity);
    for (const TPlotBucket& b : FBuckets) {
        const int64_t span = kept.empty() ? -1 : b.last - kept.back().first;
        if (span >= 0 && span * resolution <= newest - b.last)
            kept.back() = Merged(kept.back(), b);
        else
            kept.push_back(b);
    }
    FBuckets.swap(kept);
}

// Pairs of the older half become one bucket each: a full series shrinks to three quarters.
void TPlotSeries::MergeOlderHalf() {
    const size_t half = FBuckets.size() / 2 & ~size_t(1);
    std::vector<TPlotBucket> kept;
    kept.reserve(FCapacity);
    for (size_t i = 0; i < half; i += 2) kept.push_back(Merged(FBuckets[i], FBuckets[i + 1]));
    kept.insert(kept.end(), FBuckets.begin() + std::ptrdiff_t(half), FBuckets.end());
    FBuckets.swap(kept);
}

void TPlotSeries::DropBefore(int64_t timeMs) {
    const auto firstKept =
        std::find_if(FBuckets.begin(), FBuckets.end(),
                     [timeMs](const TPlotBucket& b) { return b.last >= timeMs; });
    FBuckets.erase(FBuckets.begin(), firstKept);
}

TPlotModel::TPlotModel(size_t capacity)
    : FSeries(SeriesCount, TPlotSeries(capacity)), FUnits(SeriesCount) {}

void TPlotModel::Add(int parameter, int64_t timeMs, double value, const std::string& unit) {
    if (parameter < 1 || parameter > SeriesCount) return;
    TPlotSeries& series = FSeries[size_t(parameter - 1)];
    if (!series.Buckets().empty() && series.Buckets().front().last < timeMs - KeepMs)
        series.DropBefore(timeMs - KeepMs);
    series.Add(timeMs, value);
    FUnits[size_t(parameter - 1)] = unit;
    FLastTime = std::max(FLastTime, timeMs);
}

void TPlotModel::Clear() {
    for (TPlotSeries& s : FSeries) s.Clear();
    FLastTime = 0;
}

std::optional<std::pair<double, double>> TPlotModel::ValueRange(int parameter, int64_t fromMs,
                                                                int64_t toMs) const {
    std::optional<std::pair<double, double>> range;
    for (const TPlotBucket& b : Series(parameter).Buckets()) {
        if (b.last < fromMs || b.first > toMs) continue;
        if (!range) range = std::make_pair(b.min, b.max);
        range->first = std::min(range->first, b.min);
        range->second = std::max(range->second, b.max);
    }
    return range;
}
