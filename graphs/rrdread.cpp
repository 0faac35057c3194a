#include "graphs/rrdread.h"

#include <rrd.h>
// The client header, unlike rrd.h, does not say its names are C names.
extern "C" {
#include <rrd_client.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace graphs {

namespace {

// A file of ours has six sources; a file with more is not one.
constexpr unsigned long kMaxSources = 64;

struct Archive {
    unsigned long resolution = 0; // seconds a row
    unsigned long rows = 0;
};

std::string rrdError() {
    std::string text = rrd_test_error() ? rrd_get_error() : "unreadable";
    rrd_clear_error();
    return text;
}

// The archives of averages, finest first, and the time of the file's last update.
bool averageArchives(const std::string& path, std::vector<Archive>* out, int64_t* lastUpdate,
                     std::string* why) {
    rrd_info_t* info = rrd_info_r(path.c_str());
    if (!info) {
        *why = rrdError();
        return false;
    }
    unsigned long step = 0;
    std::vector<Archive> archives;
    std::vector<bool> average;
    for (const rrd_info_t* i = info; i; i = i->next) {
        const std::string key = i->key ? i->key : "";
        if (key == "step" && i->type == RD_I_CNT) step = i->value.u_cnt;
        if (key == "last_update" && i->type == RD_I_CNT) *lastUpdate = int64_t(i->value.u_cnt);
        if (!key.starts_with("rra[")) continue;
        const size_t close = key.find(']');
        if (close == std::string::npos) continue;
        const unsigned long n = std::strtoul(key.c_str() + 4, nullptr, 10);
        if (n >= 256) continue;
        if (archives.size() <= n) {
            archives.resize(n + 1);
            average.resize(n + 1);
        }
        const std::string field = key.substr(close + 1);
        if (field == ".cf" && i->type == RD_I_STR && i->value.u_str)
            average[n] = std::strcmp(i->value.u_str, "AVERAGE") == 0;
        else if (field == ".rows" && i->type == RD_I_CNT)
            archives[n].rows = i->value.u_cnt;
        else if (field == ".pdp_per_row" && i->type == RD_I_CNT)
            archives[n].resolution = i->value.u_cnt;
    }
    rrd_info_free(info);
    for (size_t n = 0; n < archives.size(); ++n)
        if (average[n] && archives[n].rows && archives[n].resolution && step)
            out->push_back({archives[n].resolution * step, archives[n].rows});
    std::sort(out->begin(), out->end(),
              [](const Archive& a, const Archive& b) { return a.resolution < b.resolution; });
    if (out->empty()) *why = "no archive of averages";
    return !out->empty();
}

} // namespace

bool ReadRrdHistory(const std::string& path, int64_t startS, int64_t endS, size_t maxRows,
                    RrdHistory* out, std::string* why) {
    *out = {};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        return false;
    }
    if (const char* daemon = std::getenv("RRDCACHED_ADDRESS"); daemon && *daemon) {
        // What the daemon still holds is the newest history: it is written out before reading.
        if (rrdc_flush_if_daemon(nullptr, path.c_str()) != 0) {
            *why = "rrdcached: " + rrdError();
            return false;
        }
    }
    std::vector<Archive> archives;
    int64_t lastUpdate = endS;
    if (!averageArchives(path, &archives, &lastUpdate, why)) return false;
    // Rows past the last update are not known yet, which is not a gap.
    endS = std::min(endS, lastUpdate);

    // Pieces from the newest back, each from the finest archive that still holds its time.
    struct Piece {
        time_t start;
        unsigned long step, skip, rows; // the oldest skip rows are cut by maxRows
        int64_t until;                  // a finer piece holds what comes after
        rrd_value_t* data;
    };
    std::vector<Piece> pieces;
    size_t rows = 0;
    int64_t until = endS;
    bool ok = true;
    for (const Archive& a : archives) {
        if (until <= startS || rows >= maxRows) break;
        // The archive's oldest row ends a row after this: asking from here on is what it holds
        // whole, so librrd takes this archive rather than a coarser one.
        const int64_t reach = endS - int64_t(a.resolution * a.rows) + int64_t(a.resolution);
        if (reach >= until) continue;
        const int64_t asked = until;
        time_t start = time_t(std::max(reach, startS)), end = time_t(until);
        unsigned long step = a.resolution, count = 0;
        char** names = nullptr;
        rrd_value_t* data = nullptr;
        if (rrd_fetch_r(path.c_str(), "AVERAGE", &start, &end, &step, &count, &names, &data) != 0) {
            *why = rrdError();
            ok = false;
            break;
        }
        if (out->sources.empty()) {
            for (unsigned long k = 0; k < count && k < kMaxSources; ++k)
                out->sources.emplace_back(names[k]);
        }
        for (unsigned long k = 0; k < count; ++k)
            rrd_freemem(names[k]);
        rrd_freemem(names);
        if (count != out->sources.size() || step == 0 || end <= start) {
            rrd_freemem(data);
            if (count != out->sources.size()) {
                *why = "data sources differ between archives";
                ok = false;
                break;
            }
            continue;
        }
        const unsigned long all = (end - start) / step,
                            n = std::min<unsigned long>(all, maxRows - rows);
        pieces.push_back({start, step, all - n, n, asked, data});
        rows += n;
        until = int64_t(start);
    }
    if (ok) {
        out->timesMs.reserve(rows);
        out->values.reserve(rows * out->sources.size());
        const size_t width = out->sources.size();
        for (auto p = pieces.rbegin(); p != pieces.rend(); ++p) {
            for (unsigned long r = p->skip; r < p->skip + p->rows; ++r) {
                const int64_t t = int64_t(p->start) + int64_t((r + 1) * p->step);
                // librrd rounds the end up to a whole row, into the finer piece's time.
                if (t <= startS || t > p->until) continue;
                if (!out->timesMs.empty() && t * 1000 <= out->timesMs.back()) continue;
                const rrd_value_t* row = p->data + r * width;
                // An archive reaches further back than the file's first update: no history.
                if (out->timesMs.empty() &&
                    std::all_of(row, row + width, [](double v) { return std::isnan(v); }))
                    continue;
                out->timesMs.push_back(t * 1000);
                const size_t at = out->values.size();
                out->values.resize(at + width);
                std::copy(row, row + width, out->values.begin() + std::ptrdiff_t(at));
            }
        }
    }
    for (const Piece& p : pieces)
        rrd_freemem(p.data);
    return ok;
}

} // namespace graphs
