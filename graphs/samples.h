// Samples of rates over time and their reduction to what a plot can show: a ring of bounded
// size, and per pixel column the column's minimum and maximum in the order they came, so a peak
// never vanishes from a zoomed-out view. Plain C++: the chart windows, the tests and the
// benchmark drive it alike.
#pragma once

#include "graphs/gap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace graphs {

// Samples of a fixed set of series over time, the oldest dropped beyond capacity. Values are
// floats: a rate needs no more, and a day of 1 s samples of 40 series stays near 17 MB with a
// byte a value for why it is a gap. The
// samples lie in blocks of 4096 taken as they fill, so memory grows with the samples, never by
// doubling, and is never copied.
class SampleStore {
public:
    SampleStore(int series, size_t capacity);

    int series() const { return m_series; }
    size_t capacity() const { return m_capacity; }
    size_t size() const { return m_size; }
    // time in milliseconds since the epoch, not before the last one; values: series() of them,
    // and gaps as many reasons (none given: a gap without a known reason).
    void append(int64_t timeMs, const double* values, const Gap* gaps = nullptr);
    void clear();
    // Sample i's value of series s, given after the sample was appended (as history is read, a
    // port at a time); a gap without a known reason where it is NaN.
    void set(size_t i, int s, double value) {
        const size_t at = slot(i);
        Block& block = m_blocks[at >> kBlockBits];
        block.values[(at & kBlockMask) * size_t(m_series) + size_t(s)] = float(value);
        block.gaps[(at & kBlockMask) * size_t(m_series) + size_t(s)] = Gap::None;
    }
    // Samples appended since the store was made (or cleared): sample n of them is at index
    // n - (appended() - size()) while it is kept.
    uint64_t appended() const { return m_appended; }
    // Changes with clear(), so that what was derived from the samples can tell it is stale.
    uint64_t generation() const { return m_generation; }
    // i from 0, the oldest kept.
    int64_t time(size_t i) const {
        const size_t at = slot(i);
        return m_blocks[at >> kBlockBits].times[at & kBlockMask];
    }
    double value(size_t i, int s) const {
        const size_t at = slot(i);
        return m_blocks[at >> kBlockBits].values[(at & kBlockMask) * size_t(m_series) + size_t(s)];
    }
    // Why value(i, s) is a gap; Gap::None for a value, and for a gap without a known reason.
    Gap gap(size_t i, int s) const {
        const size_t at = slot(i);
        return m_blocks[at >> kBlockBits].gaps[(at & kBlockMask) * size_t(m_series) + size_t(s)];
    }
    // The first sample at or after t.
    size_t lowerBound(int64_t t) const;
    size_t bytes() const {
        return m_blocks.size() * kBlock *
               (sizeof(int64_t) + (sizeof(float) + sizeof(Gap)) * size_t(m_series));
    }

private:
    static constexpr size_t kBlockBits = 12, kBlock = size_t(1) << kBlockBits,
                            kBlockMask = kBlock - 1;
    struct Block {
        std::unique_ptr<int64_t[]> times;
        std::unique_ptr<float[]> values;
        std::unique_ptr<Gap[]> gaps;
    };
    size_t slot(size_t i) const {
        const size_t at = m_head + i;
        return at >= m_capacity ? at - m_capacity : at;
    }

    int m_series;
    size_t m_capacity;
    size_t m_size = 0;
    size_t m_head = 0; // the oldest, once the ring is full
    uint64_t m_appended = 0, m_generation = 0;
    std::vector<Block> m_blocks;
};

struct Point {
    double t; // milliseconds since the epoch
    double v; // kGap: the line breaks here
};

// Series s between t0 and t1 (and one sample either side, so the line reaches the edges) for a
// plot of columns pixel columns: every sample when there are at most two a column, else each
// column's minimum and maximum in their order; a gap anywhere in a column breaks the line there.
// A run of equal values keeps only its ends, which draw the same line. The columns lie on a grid
// of their width from the epoch, so a view moved along shares its columns with the one before.
std::vector<Point> Decimate(const SampleStore& store, int s, int64_t t0, int64_t t1, int columns);

// Samples first to last (exclusive) of series s as Decimate reduces them in columns of width
// milliseconds, appended to out: a chart keeps the columns it has and reduces only what came
// since. A gap at the end stays, so that the next samples do not join the line before it.
void DecimateColumns(const SampleStore& store, int s, size_t first, size_t last, double width,
                     std::vector<Point>& out);

// The lines between the breaks.
std::vector<std::vector<Point>> Segments(const std::vector<Point>& points);

} // namespace graphs
