// Traffic history written as rrdlayout.h lays it out: one file a port, GAUGE data sources
// bounded by what the port can carry (unknown where it cannot be said), unknown for a gap, and
// archives of averages and maxima at the step for two days, 5 minutes for two weeks, 30 minutes
// for two months and a day for two years. Through librrd, or through rrdcached when it has an
// address (RRDCACHED_ADDRESS, as RRDtool reads it): then the files may lie on its machine,
// and the paths are the daemon's. Plain C++.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

namespace graphs {

// What a port's file bounds each data source by: its line rate in bits per second (0:
// unknown, no bound).
std::vector<std::string> RrdCreateArgs(int step, int heartbeat, double lineBits);

class RrdWriter {
public:
    // daemon: rrdcached's address; empty, the files are written directly.
    explicit RrdWriter(std::string daemon = {});
    ~RrdWriter();
    RrdWriter(const RrdWriter&) = delete;
    RrdWriter& operator=(const RrdWriter&) = delete;

    // Values for the file at path at time t (seconds since the epoch, later than the last),
    // in kRrdSources order, NaN for unknown; the file is made first where there is none
    // (directly: its folder too), with step and heartbeat in seconds and the port's line rate.
    // False with why when it cannot be written.
    bool write(const std::string& path, double t, const std::array<double, 6>& values, int step,
               int heartbeat, double lineBits, std::string& why);
    // Has rrdcached write out what it holds of every file written (nothing to do when writing
    // directly).
    bool flush(std::string& why);

private:
    bool create(const std::string& path, double t, int step, int heartbeat, double lineBits,
                std::string& why);

    std::string m_daemon;
    std::unordered_map<std::string, double> m_last; // the last time written, by file
};

} // namespace graphs
