// A port's traffic history as talvex-collect keeps it (rrdlayout.h), read back through librrd:
// each archive of averages at its own resolution, the finest where archives overlap, in time
// order. Plain C++: the graph window, the tests and the benchmark read it alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace graphs {

struct RrdHistory {
    std::vector<std::string> sources; // the file's data sources, in its order
    std::vector<int64_t> timesMs;     // each row's end, oldest first
    // sources.size() a row; NaN: unknown. Floats, as the chart keeps them: a year of 8 ports
    // is then 20 MB less memory to touch while a window opens.
    std::vector<float> values;
    double at(size_t row, size_t source) const { return values[row * sources.size() + source]; }
};

// The file's rows from startS to endS (seconds since the epoch), at most maxRows of them (the
// newest). The file must be a regular file reached without a symbolic link; with
// RRDCACHED_ADDRESS set, rrdcached first writes what it holds of the file. False, with *why,
// when it cannot be read.
bool ReadRrdHistory(const std::string& path, int64_t startS, int64_t endS, size_t maxRows,
                    RrdHistory* out, std::string* why);

} // namespace graphs
