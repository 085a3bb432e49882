#include "ui/PlotModel.h"

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
    if (FBuckets.size() >= FCapacity) MergeOlderHalf();
    FBuckets.push_back({timeMs, timeMs, value, value, 1});
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
