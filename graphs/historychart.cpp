#include "graphs/historychart.h"

#include <algorithm>

namespace graphs {

// RMON keeps at most 65535 buckets a control.
HistoryChart::HistoryChart(QWidget* parent)
    : HistoryChart(std::make_unique<SampleStore>(3, 65535), parent) {}

HistoryChart::HistoryChart(std::unique_ptr<SampleStore> store, QWidget* parent)
    : RateChart(store.get(),
                {{tr("utilisation"), Scale::Percent},
                 {tr("packets"), Scale::PerSecond},
                 {tr("errors"), Scale::PerSecond}},
                TimeKind::Uptime, parent),
      m_store(std::move(store)) {}

void HistoryChart::setBuckets(std::vector<HistoryBucket> buckets, int intervalSeconds) {
    std::stable_sort(
        buckets.begin(), buckets.end(),
        [](const HistoryBucket& a, const HistoryBucket& b) { return a.start < b.start; });
    m_store->clear();
    const double seconds = std::max(intervalSeconds, 1);
    auto rate = [seconds](const std::optional<uint64_t>& total) {
        return total ? double(*total) / seconds : kGap;
    };
    for (const HistoryBucket& b : buckets) {
        const double values[] = {b.utilisation ? double(*b.utilisation) / 100 : kGap,
                                 rate(b.packets), rate(b.errors)};
        m_store->append(qint64(b.start) * 10, values);
    }
    const qint64 first = buckets.empty() ? 0 : qint64(buckets.front().start) * 10;
    const qint64 last = buckets.empty() ? 0 : qint64(buckets.back().start) * 10;
    // A bucket's line reaches the end of its interval.
    setSpan(last - first + qint64(seconds * 1000) * 2);
    live();
}

} // namespace graphs
