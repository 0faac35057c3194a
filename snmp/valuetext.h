// Display texts built from formatted values, shared by the pages and the panel.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// ifSpeed stops at 4294967295 (RFC 2863): an interface faster than a Gauge32 of bits per second
// holds says so, and ifHighSpeed, in Mbit/s, gives its speed.
inline constexpr uint64_t kCappedIfSpeed = 4294967295u;

struct IfSpeed {
    uint64_t bps = 0;    // 0: unknown
    bool capped = false; // faster than ifSpeed can say, and no ifHighSpeed to say how fast
};

// The one rule for a port's speed: ifSpeed, unless it is capped, then ifHighSpeed.
inline IfSpeed IfLineRate(std::optional<uint64_t> speed, std::optional<uint64_t> highSpeedMbits) {
    if (speed != kCappedIfSpeed) return {speed.value_or(0), false};
    if (highSpeedMbits && *highSpeedMbits > 0) return {*highSpeedMbits * 1000000, false};
    return {0, true};
}

// A speed in bits per second as whole millions with "M": "100000000" gives "100M", anything
// under one million (or not a number) "0M".
inline QString IfSpeedText(const QString& value) {
    return QString::number(value.toULongLong() / 1000000) + QLatin1Char('M');
}

// A port's speed by IfLineRate from the texts of ifSpeed and ifHighSpeed. Without an
// ifHighSpeed value (an agent without ifXTable) the capped ifSpeed shows as it is.
inline QString IfSpeedText(const QString& speed, const QString& highSpeed) {
    bool ok = false, highOk = false;
    const qulonglong bps = speed.toULongLong(&ok), mbits = highSpeed.toULongLong(&highOk);
    const IfSpeed line = IfLineRate(ok ? std::optional<uint64_t>(bps) : std::nullopt,
                                    highOk ? std::optional<uint64_t>(mbits) : std::nullopt);
    if (line.capped) return IfSpeedText(speed);
    return QString::number(line.bps / 1000000) + QLatin1Char('M');
}
