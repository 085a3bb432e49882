#pragma once
// TPlotModel: the readings of parameters 1..3 over time, in bounded memory, for the plot.
//
// A series keeps at most `capacity` buckets, oldest first. A bucket is one reading or, once
// old readings are merged, the span of several with their least and greatest value, so that a
// peak survives the decimation. When a series is full, neighbouring buckets are merged while
// the merged bucket spans no more than its age (time from its last reading to the newest
// reading) divided by the series' resolution, about a twelfth of the capacity. A bucket is
// thus never wider than a resolution-th of any time window it shows in, from a minute to a
// day: the newest readings stay whole and the old ones grow coarser the older they are, but
// evenly, without one bucket swallowing the past. Should that free too little (readings many
// times a second), the pass is repeated at half the resolution. Readings older than the
// longest time window are dropped. Plain C++, main thread only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TPlotBucket {
    int64_t first = 0;  // ms since the epoch of the first and the last reading in it
    int64_t last = 0;
    double min = 0;
    double max = 0;
    int count = 0;  // readings merged into it
};

class TPlotSeries {
public:
    explicit TPlotSeries(size_t capacity) : FCapacity(capacity < 4 ? 4 : capacity) {}

    // Readings come in time order; a non-finite value is left out.
    void Add(int64_t timeMs, double value);
    void DropBefore(int64_t timeMs);
    void Clear() { FBuckets.clear(); }
    const std::vector<TPlotBucket>& Buckets() const { return FBuckets; }
    size_t Capacity() const { return FCapacity; }
    // How many buckets a bucket's age at least holds its span: a window of any length shows
    // buckets no wider than the window divided by this.
    int64_t Resolution() const { return int64_t(FCapacity / 12 ? FCapacity / 12 : 1); }

private:
    void Decimate();
    void MergeByAge(int64_t resolution);
    void MergeOlderHalf();

    size_t FCapacity;
    std::vector<TPlotBucket> FBuckets;
};

class TPlotModel {
public:
    static constexpr int SeriesCount = 3;
    static constexpr int64_t KeepMs = 24LL * 3600 * 1000;  // the longest time window

    explicit TPlotModel(size_t capacity = 4000);

    // A reading of parameter 1..3 at `timeMs` (ms since the epoch) in `unit`.
    void Add(int parameter, int64_t timeMs, double value, const std::string& unit);
    void Clear();

    const TPlotSeries& Series(int parameter) const { return FSeries[size_t(parameter - 1)]; }
    const std::string& Unit(int parameter) const { return FUnits[size_t(parameter - 1)]; }
    // Least and greatest value of the parameter's buckets that overlap [fromMs, toMs]; none
    // when there are none.
    std::optional<std::pair<double, double>> ValueRange(int parameter, int64_t fromMs,
                                                        int64_t toMs) const;
    int64_t LastTime() const { return FLastTime; }

private:
    std::vector<TPlotSeries> FSeries;
    std::vector<std::string> FUnits;
    int64_t FLastTime = 0;
};
