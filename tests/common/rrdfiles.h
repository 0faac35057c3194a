// RRD files as talvex-collect lays them out (graphs/rrdlayout.h), made with librrd for the graph
// window's tests and benchmark: GAUGE data sources in the layout's order, the archives asked
// for, rows filled from a function of time (NaN: unknown).
#pragma once

#include "graphs/rrdlayout.h"

#include <rrd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using RrdRow = std::array<double, graphs::kRrdSources.size()>;

// rows rows of step seconds ending at or before last; archives as "RRA:AVERAGE:0.5:1:2016".
inline bool MakePortRrd(const std::string& path, unsigned long step, time_t last, size_t rows,
                        const std::vector<std::string>& archives,
                        const std::function<RrdRow(time_t)>& row, std::string* why) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const time_t first = (last / time_t(step) - time_t(rows) + 1) * time_t(step);
    std::vector<std::string> args;
    for (const char* source : graphs::kRrdSources)
        args.push_back(std::string("DS:") + source + ":GAUGE:" + std::to_string(2 * step) + ":0:U");
    args.insert(args.end(), archives.begin(), archives.end());
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    rrd_clear_error();
    if (rrd_create_r(path.c_str(), step, first - time_t(step), int(argv.size()), argv.data()) !=
        0) {
        *why = rrd_get_error();
        return false;
    }
    std::vector<std::string> updates;
    auto flush = [&] {
        std::vector<const char*> u;
        for (const std::string& s : updates)
            u.push_back(s.c_str());
        const bool ok =
            u.empty() || rrd_update_r(path.c_str(), nullptr, int(u.size()), u.data()) == 0;
        updates.clear();
        if (!ok) *why = rrd_get_error();
        return ok;
    };
    for (size_t r = 0; r < rows; ++r) {
        const time_t t = first + time_t(r * step);
        std::string line = std::to_string(t);
        for (double v : row(t)) {
            char text[32];
            std::snprintf(text, sizeof text, std::isnan(v) ? ":U" : ":%.3f", v);
            line += text;
        }
        updates.push_back(std::move(line));
        if (updates.size() == 2000 && !flush()) return false;
    }
    return flush();
}
