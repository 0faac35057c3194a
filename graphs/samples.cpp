#include "graphs/samples.h"

#include <algorithm>
#include <cmath>

namespace graphs {

SampleStore::SampleStore(int series, size_t capacity)
    : m_series(std::max(series, 1)), m_capacity(std::max<size_t>(capacity, 1)) {}

void SampleStore::append(int64_t timeMs, const double* values, const Gap* gaps) {
    if (m_size) timeMs = std::max(timeMs, time(m_size - 1));
    size_t at;
    if (m_size < m_capacity) {
        at = m_size++;
        if ((at >> kBlockBits) >= m_blocks.size())
            // Every slot is written before it is read: no zeroing first.
            m_blocks.push_back({std::make_unique_for_overwrite<int64_t[]>(kBlock),
                                std::make_unique_for_overwrite<float[]>(kBlock * size_t(m_series)),
                                std::make_unique_for_overwrite<Gap[]>(kBlock * size_t(m_series))});
    } else {
        at = m_head;
        m_head = m_head + 1 == m_capacity ? 0 : m_head + 1;
    }
    ++m_appended;
    Block& block = m_blocks[at >> kBlockBits];
    block.times[at & kBlockMask] = timeMs;
    const size_t base = (at & kBlockMask) * size_t(m_series);
    for (int s = 0; s < m_series; ++s) {
        block.values[base + size_t(s)] = float(values[s]);
        block.gaps[base + size_t(s)] = gaps && std::isnan(values[s]) ? gaps[s] : Gap::None;
    }
}

void SampleStore::clear() {
    m_blocks.clear();
    m_size = 0;
    m_head = 0;
    m_appended = 0;
    ++m_generation;
}

size_t SampleStore::lowerBound(int64_t t) const {
    size_t lo = 0, hi = size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (time(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

namespace {

void push(std::vector<Point>& out, double t, double v) {
    // One break is enough between two lines.
    if (std::isnan(v) && (out.empty() || std::isnan(out.back().v))) return;
    // A level stretch is drawn from its ends alone: an idle counter costs two points.
    const size_t n = out.size();
    if (n >= 2 && out[n - 1].v == v && out[n - 2].v == v) {
        out[n - 1].t = t;
        return;
    }
    out.push_back({t, v});
}

} // namespace

void DecimateColumns(const SampleStore& store, int s, size_t first, size_t last, double width,
                     std::vector<Point>& out) {
    last = std::min(last, store.size());
    if (s < 0 || s >= store.series() || !(width > 0)) return;
    size_t i = first;
    while (i < last) {
        // The column of sample i, and the time its next column starts.
        const double column = std::floor(double(store.time(i)) / width);
        const double end = (column + 1) * width;
        size_t lo = last, hi = last;
        double low = 0, high = 0;
        bool gapBefore = false, gapAfter = false;
        // The column's first sample is its own whatever the rounding: the walk always moves.
        for (const size_t start = i; i < last && (i == start || double(store.time(i)) < end); ++i) {
            const double v = store.value(i, s);
            if (std::isnan(v)) {
                (lo == last ? gapBefore : gapAfter) = true;
                continue;
            }
            if (lo == last || v < low) {
                lo = i;
                low = v;
            }
            if (hi == last || v > high) {
                hi = i;
                high = v;
            }
        }
        if (gapBefore) push(out, kGap, kGap);
        if (lo != last) {
            const size_t a = std::min(lo, hi), b = std::max(lo, hi);
            push(out, double(store.time(a)), store.value(a, s));
            if (b != a) push(out, double(store.time(b)), store.value(b, s));
        }
        if (gapAfter) push(out, kGap, kGap);
    }
}

std::vector<Point> Decimate(const SampleStore& store, int s, int64_t t0, int64_t t1, int columns) {
    std::vector<Point> out;
    if (store.size() == 0 || t1 <= t0 || s < 0 || s >= store.series()) return out;
    columns = std::max(columns, 1);
    size_t first = store.lowerBound(t0), last = store.lowerBound(t1 + 1);
    first = first > 0 ? first - 1 : 0;
    last = std::min(last + 1, store.size());
    if (last - first <= size_t(columns) * 2) {
        for (size_t i = first; i < last; ++i)
            push(out, double(store.time(i)), store.value(i, s));
    } else {
        DecimateColumns(store, s, first, last, double(t1 - t0) / columns, out);
    }
    while (!out.empty() && std::isnan(out.back().v))
        out.pop_back();
    return out;
}

std::vector<std::vector<Point>> Segments(const std::vector<Point>& points) {
    std::vector<std::vector<Point>> out;
    bool open = false;
    for (const Point& p : points) {
        if (std::isnan(p.v)) {
            open = false;
            continue;
        }
        if (!open) out.emplace_back();
        open = true;
        out.back().push_back(p);
    }
    return out;
}

} // namespace graphs
