// Samples of rates over time and their reduction to what a plot can show: a ring of bounded
// size, and per pixel column the column's minimum and maximum in the order they came, so a peak
// never vanishes from a zoomed-out view. Plain C++: the chart windows, the tests and the
// benchmark drive it alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace graphs {

inline constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

// Samples of a fixed set of series over time, the oldest dropped beyond capacity. Values are
// floats: a rate needs no more, and a day of 1 s samples of 40 series stays near 14 MB. The
// samples lie in blocks of 4096 taken as they fill, so memory grows with the samples, never by
// doubling, and is never copied.
class SampleStore {
public:
    SampleStore(int series, size_t capacity);

    int series() const { return m_series; }
    size_t capacity() const { return m_capacity; }
    size_t size() const { return m_size; }
    // time in milliseconds since the epoch, not before the last one; values: series() of them.
    void append(int64_t timeMs, const double* values);
    void clear();
    // i from 0, the oldest kept.
    int64_t time(size_t i) const {
        const size_t at = slot(i);
        return m_blocks[at >> kBlockBits].times[at & kBlockMask];
    }
    double value(size_t i, int s) const {
        const size_t at = slot(i);
        return m_blocks[at >> kBlockBits].values[(at & kBlockMask) * size_t(m_series) + size_t(s)];
    }
    // The first sample at or after t.
    size_t lowerBound(int64_t t) const;
    size_t bytes() const {
        return m_blocks.size() * kBlock * (sizeof(int64_t) + sizeof(float) * size_t(m_series));
    }

private:
    static constexpr size_t kBlockBits = 12, kBlock = size_t(1) << kBlockBits,
                            kBlockMask = kBlock - 1;
    struct Block {
        std::unique_ptr<int64_t[]> times;
        std::unique_ptr<float[]> values;
    };
    size_t slot(size_t i) const {
        const size_t at = m_head + i;
        return at >= m_capacity ? at - m_capacity : at;
    }

    int m_series;
    size_t m_capacity;
    size_t m_size = 0;
    size_t m_head = 0; // the oldest, once the ring is full
    std::vector<Block> m_blocks;
};

struct Point {
    double t; // milliseconds since the epoch
    double v; // kGap: the line breaks here
};

// Series s between t0 and t1 (and one sample either side, so the line reaches the edges) for a
// plot of columns pixel columns: every sample when there are at most two a column, else each
// column's minimum and maximum in their order; a gap anywhere in a column breaks the line there.
// A run of equal values keeps only its ends, which draw the same line.
std::vector<Point> Decimate(const SampleStore& store, int s, int64_t t0, int64_t t1, int columns);

// The lines between the breaks.
std::vector<std::vector<Point>> Segments(const std::vector<Point>& points);

} // namespace graphs
