// An RMON history control's buckets as a chart: utilisation, packets and errors a second over
// the buckets' interval starts on the agent's uptime. The buckets come from the page's own walk:
// the chart reads nothing itself. What the interface cannot have carried (a rate above its
// probe's bounds, a utilisation above 100 %) is a gap with its reason, as a missing value is.
#pragma once

#include "graphs/counters.h"
#include "graphs/ratechart.h"

#include <memory>
#include <optional>
#include <vector>

namespace graphs {

struct HistoryBucket {
    uint32_t start = 0; // etherHistoryIntervalStart, hundredths of a second
    std::optional<uint64_t> packets, errors;
    std::optional<int64_t> utilisation; // hundredths of a percent
};

class HistoryChart : public RateChart {
public:
    explicit HistoryChart(QWidget* parent = nullptr);
    // The buckets in sample order, each intervalSeconds long, of an interface that counts at
    // most bounds (ProbeLineBounds; none: unknown); the view shows them all.
    void setBuckets(std::vector<HistoryBucket> buckets, int intervalSeconds,
                    LineBounds bounds = {});
    const SampleStore& samples() const { return *m_store; }

private:
    HistoryChart(std::unique_ptr<SampleStore> store, QWidget* parent);

    std::unique_ptr<SampleStore> m_store;
};

} // namespace graphs
