// Display texts built from formatted values, shared by the pages and the panel.
#pragma once

#include <QString>

// A speed in bits per second as whole millions with "M": "100000000" gives "100M", anything
// under one million (or not a number) "0M".
inline QString IfSpeedText(const QString& value) {
    return QString::number(value.toULongLong() / 1000000) + QLatin1Char('M');
}

// ifSpeed's text where ifSpeed stops: at 4294967295 (RFC 2863) the interface is faster than a
// Gauge32 of bits per second holds, and ifHighSpeed, already in Mbit/s, gives its speed. Without
// an ifHighSpeed value (an agent without ifXTable) the capped ifSpeed shows as it is.
inline QString IfSpeedText(const QString& speed, const QString& highSpeed) {
    bool ok = false;
    const qulonglong mbits = highSpeed.toULongLong(&ok);
    if (speed == QLatin1String("4294967295") && ok)
        return QString::number(mbits) + QLatin1Char('M');
    return IfSpeedText(speed);
}
