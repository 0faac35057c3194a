#include "graphs/rrdwrite.h"

#include "graphs/rrdlayout.h"

#include <rrd.h>
// The client's header declares C functions without saying so.
extern "C" {
#include <rrd_client.h>
}

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace graphs {

namespace {

// A frame counter counts at most one minimum frame (64 octets and 20 of preamble and gap) per
// 672 bit times.
constexpr double kBitsPerFrame = 672;

std::string RrdError() {
    std::string why = rrd_test_error() ? rrd_get_error() : "unknown error";
    rrd_clear_error();
    return why;
}

// Each folder of path below the last, made owner-only where missing; false with why.
bool MakeFolders(const std::string& path, std::string& why) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string folder = path.substr(0, at);
        if (::mkdir(folder.c_str(), 0750) == 0 || errno == EEXIST) continue;
        why = folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> RrdCreateArgs(int step, int heartbeat, double lineBits) {
    std::vector<std::string> args;
    auto bound = [](double v) { return v > 0 ? std::to_string(uint64_t(v)) : std::string("U"); };
    for (size_t i = 0; i < kRrdSources.size(); ++i)
        args.push_back(std::string("DS:") + kRrdSources[i] + ":GAUGE:" + std::to_string(heartbeat) +
                       ":0:" + bound(i < 2 ? lineBits : lineBits / kBitsPerFrame));
    // {seconds a row, seconds kept}
    constexpr std::pair<long, long> kArchives[] = {
        {0, 2 * 86400}, {300, 14 * 86400}, {1800, 61 * 86400}, {86400, 731 * 86400}};
    for (const auto& [row, kept] : kArchives) {
        const long steps = std::max(1L, row / step);
        const long rows = std::max(1L, kept / (steps * step));
        for (const char* cf : {"AVERAGE", "MAX"})
            args.push_back(std::string("RRA:") + cf + ":0.5:" + std::to_string(steps) + ":" +
                           std::to_string(rows));
    }
    return args;
}

RrdWriter::RrdWriter(std::string daemon) : m_daemon(std::move(daemon)) {}

RrdWriter::~RrdWriter() {
    if (!m_daemon.empty()) rrdc_disconnect();
}

bool RrdWriter::create(const std::string& path, double t, int step, int heartbeat, double lineBits,
                       std::string& why) {
    const std::vector<std::string> args = RrdCreateArgs(step, heartbeat, lineBits);
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    const time_t start = time_t(t) - 1;
    int rc;
    if (m_daemon.empty()) {
        if (!MakeFolders(path, why)) return false;
        rc = rrd_create_r2(path.c_str(), unsigned(step), start, 1, nullptr, nullptr,
                           int(argv.size()), argv.data());
    } else {
        // rrdcached makes no folders: where its files lie on this machine (a local socket),
        // they are made here; elsewhere that is the daemon's side's to do.
        std::string ignored;
        MakeFolders(path, ignored);
        rc = rrdc_create(path.c_str(), unsigned(step), start, 1, int(argv.size()), argv.data());
    }
    if (rc != 0) {
        why = path + ": " + RrdError();
        return false;
    }
    return true;
}

bool RrdWriter::write(const std::string& path, double t, const std::array<double, 6>& values,
                      int step, int heartbeat, double lineBits, std::string& why) {
    auto last = m_last.find(path);
    if (last == m_last.end()) {
        if (!m_daemon.empty() && rrdc_connect(m_daemon.c_str()) != 0) {
            why = "rrdcached at " + m_daemon + ": " + RrdError();
            return false;
        }
        struct stat st {};
        const bool exists =
            m_daemon.empty() ? ::lstat(path.c_str(), &st) == 0 : rrdc_last(path.c_str()) > 0;
        rrd_clear_error();
        if (exists && m_daemon.empty() && !S_ISREG(st.st_mode)) {
            why = path + ": not a regular file";
            return false;
        }
        if (!exists && !create(path, t, step, heartbeat, lineBits, why)) return false;
        last = m_last.emplace(path, 0.0).first;
    }
    // Whole seconds: RRDtool counts a step's unknown part in whole seconds, so that a fraction
    // of a second of a known rate beside an unknown one would pass for the whole step's average.
    // It takes no two updates in one second: the later of two is dropped.
    t = std::round(t);
    if (t <= last->second) return true;
    char update[512];
    int n = std::snprintf(update, sizeof update, "%.0f", t);
    for (double v : values)
        n += std::isnan(v) ? std::snprintf(update + n, sizeof update - size_t(n), ":U")
                           : std::snprintf(update + n, sizeof update - size_t(n), ":%.10g", v);
    const char* argv[] = {update};
    const int rc = m_daemon.empty() ? rrd_update_r(path.c_str(), nullptr, 1, argv)
                                    : rrdc_update(path.c_str(), 1, argv);
    if (rc != 0) {
        why = path + ": " + RrdError();
        m_last.erase(path); // looked at afresh next time: it may have been removed
        return false;
    }
    last->second = t;
    return true;
}

bool RrdWriter::flush(std::string& why) {
    if (m_daemon.empty()) return true;
    if (rrdc_connect(m_daemon.c_str()) != 0) {
        why = "rrdcached at " + m_daemon + ": " + RrdError();
        return false;
    }
    for (const auto& [path, t] : m_last)
        if (rrdc_flush(path.c_str()) != 0) {
            why = path + ": " + RrdError();
            return false;
        }
    return true;
}

} // namespace graphs
