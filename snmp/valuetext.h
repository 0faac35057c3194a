// Display texts built from formatted values, shared by the pages and the panel.
#pragma once

#include <QString>

// A speed in bits per second as whole millions with "M": "100000000" gives "100M", anything
// under one million (or not a number) "0M".
inline QString IfSpeedText(const QString& value) {
    return QString::number(value.toULongLong() / 1000000) + QLatin1Char('M');
}
