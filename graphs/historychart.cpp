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

void HistoryChart::setBuckets(std::vector<HistoryBucket> buckets, int intervalSeconds,
                              LineBounds bounds) {
    m_store->clear();
    const double seconds = std::max(intervalSeconds, 1);
    auto rate = [seconds, &bounds](const std::optional<uint64_t>& total) {
        return total ? CountRate(double(*total), seconds, bounds.frames) : Rate{kGap, Gap::Missing};
    };
    auto share = [](const std::optional<int64_t>& hundredths) -> Rate {
        if (!hundredths) return {kGap, Gap::Missing};
        if (*hundredths > 10000) return {kGap, Gap::OverLineRate};
        return {double(*hundredths) / 100, Gap::None};
    };
    // In sample order; buckets whose starts cannot be told apart (those an agent kept from
    // before its clock started read 0) follow one another an interval apart.
    qint64 first = 0, last = 0;
    for (size_t k = 0; k < buckets.size(); ++k) {
        const HistoryBucket& b = buckets[k];
        qint64 t = qint64(b.start) * 10;
        if (k > 0 && t <= last) t = last + qint64(seconds * 1000);
        if (k == 0) first = t;
        last = t;
        const Rate rates[] = {share(b.utilisation), rate(b.packets), rate(b.errors)};
        const double values[] = {rates[0].value, rates[1].value, rates[2].value};
        const Gap gaps[] = {rates[0].gap, rates[1].gap, rates[2].gap};
        m_store->append(t, values, gaps);
    }
    // A bucket's line reaches the end of its interval.
    setSpan(last - first + qint64(seconds * 1000) * 2);
    live();
}

} // namespace graphs
