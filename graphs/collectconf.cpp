#include "graphs/collectconf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

namespace graphs {

namespace {

std::string_view Trim(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

// The next blank-separated word of v, taken off it.
std::string_view Word(std::string_view& v) {
    v = Trim(v);
    const size_t end = std::min(v.find_first_of(" \t"), v.size());
    const std::string_view w = v.substr(0, end);
    v = Trim(v.substr(end));
    return w;
}

// A word as a message may quote it: printable ASCII only, at most 40 characters.
std::string Shown(std::string_view w) {
    std::string out = "\"";
    for (size_t i = 0; i < w.size() && i < 40; ++i)
        out += (w[i] > 32 && w[i] < 127) ? w[i] : '?';
    if (w.size() > 40) out += "...";
    return out + "\"";
}

bool Number(std::string_view w, long long lo, long long hi, long long& out) {
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out);
    return ec == std::errc{} && end == w.data() + w.size() && out >= lo && out <= hi;
}

bool IsIPv4(const std::string& a) {
    in_addr v4;
    return inet_pton(AF_INET, a.c_str(), &v4) == 1;
}

bool IsIPv6(const std::string& a) {
    in6_addr v6;
    return inet_pton(AF_INET6, a.c_str(), &v6) == 1;
}

// "192.0.2.10", "192.0.2.10:1161", "2001:db8::a", "[2001:db8::a]:1161", or a host name with an
// optional port; empty on success, else what is wrong.
std::string Address(std::string_view w, CollectDevice& d) {
    if (w.size() > 255) return "an address of more than 255 characters";
    std::string_view host = w, port;
    if (w.starts_with('[')) {
        const size_t close = w.find(']');
        if (close == std::string_view::npos) return "no ] after [ in " + Shown(w);
        host = w.substr(1, close - 1);
        const std::string_view rest = w.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return "expected :PORT after ] in " + Shown(w);
            port = rest.substr(1);
        }
        if (!IsIPv6(std::string(host))) return Shown(host) + " is no IPv6 address";
    } else if (const size_t colon = w.find(':'); colon != std::string_view::npos) {
        if (w.find(':', colon + 1) == std::string_view::npos) {
            host = w.substr(0, colon);
            port = w.substr(colon + 1);
        } else if (!IsIPv6(std::string(w))) {
            return Shown(w) + " is no address (an IPv6 address with a port is [ADDRESS]:PORT)";
        }
    }
    if (host.empty()) return "no address";
    const std::string h(host);
    if (!IsIPv4(h) && !IsIPv6(h))
        for (char c : host)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-'))
                return Shown(host) + " is no address or host name";
    long long p = 161;
    if (!port.empty() && !Number(port, 1, 65535, p))
        return "the port " + Shown(port) + " is not from 1 to 65535";
    d.address = h;
    d.port = uint16_t(p);
    return {};
}

} // namespace

bool ParseCollectConf(std::string_view text, CollectConf& conf, std::string& why) {
    conf = {};
    if (text.size() > kMaxConfBytes) {
        why = "more than " + std::to_string(kMaxConfBytes) + " bytes";
        return false;
    }
    int number = 0;
    auto fail = [&](const std::string& what) {
        why = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.size() > kMaxConfLine)
            return fail("longer than " + std::to_string(kMaxConfLine) + " characters");
        if (line.find('\0') != std::string_view::npos) return fail("a NUL character");
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::string_view key = Word(line);
        if (key.empty()) continue;
        CollectDevice* device = conf.devices.empty() ? nullptr : &conf.devices.back();
        auto single = [&]() -> std::optional<std::string_view> {
            const std::string_view value = Word(line);
            if (value.empty() || !line.empty()) return std::nullopt;
            return value;
        };
        if (key == "rrd-dir") {
            if (device) return fail("rrd-dir comes before the first device");
            if (!conf.rrdDir.empty()) return fail("a second rrd-dir");
            const std::string_view dir = Trim(line);
            if (dir.empty() || dir.front() != '/') return fail("rrd-dir wants an absolute path");
            conf.rrdDir = dir;
        } else if (key == "device") {
            if (conf.devices.size() >= kMaxDevices)
                return fail("more than " + std::to_string(kMaxDevices) + " devices");
            const auto a = single();
            if (!a) return fail("device wants one ADDRESS[:PORT]");
            CollectDevice d;
            d.line = number;
            if (const std::string problem = Address(*a, d); !problem.empty()) return fail(problem);
            for (const CollectDevice& other : conf.devices)
                if (other.address == d.address && other.port == d.port)
                    return fail("device " + Shown(*a) + " again (first on line " +
                                std::to_string(other.line) + ")");
            conf.devices.push_back(std::move(d));
        } else if (!device) {
            return fail(Shown(key) + " before the first device");
        } else if (key == "community") {
            const auto c = single();
            if (!c) return fail("community wants one word");
            if (c->size() > kMaxCommunity)
                return fail("a community of more than " + std::to_string(kMaxCommunity) +
                            " characters");
            if (device->community) return fail("a second community for this device");
            device->community = std::string(*c);
        } else if (key == "interval") {
            const auto v = single();
            long long s = 0;
            if (!v || !Number(*v, 1, kMaxCollectInterval, s))
                return fail("interval wants seconds from 1 to " +
                            std::to_string(kMaxCollectInterval));
            device->interval = int(s);
        } else if (key == "ports") {
            for (std::string_view w = Word(line); !w.empty(); w = Word(line)) {
                long long index = 0;
                if (!Number(w, 1, 2147483647, index))
                    return fail("ports wants ifIndexes, not " + Shown(w));
                if (device->ports.size() >= kMaxDevicePorts)
                    return fail("more than " + std::to_string(kMaxDevicePorts) + " ports");
                device->ports.push_back(int(index));
            }
            if (device->ports.empty()) return fail("ports wants at least one ifIndex");
        } else {
            return fail("unknown keyword " + Shown(key));
        }
    }
    return true;
}

bool ReadCollectConf(const std::string& path, CollectConf& conf, std::string& why) {
    // No link followed, nothing waited on: a FIFO opened non-blocking is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    std::string text;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!ok) why = path + ": not a regular file";
    if (ok && size_t(st.st_size) > kMaxConfBytes) {
        why = path + ": more than " + std::to_string(kMaxConfBytes) + " bytes";
        ok = false;
    }
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = path + ": " + std::strerror(errno);
            ok = false;
        }
        if (n <= 0) break;
        text.append(buffer, size_t(n));
        if (text.size() > kMaxConfBytes) {
            why = path + ": more than " + std::to_string(kMaxConfBytes) + " bytes";
            ok = false;
        }
    }
    ::close(fd);
    if (ok && !ParseCollectConf(text, conf, why)) {
        why = path + ": " + why;
        ok = false;
    }
    return ok;
}

std::string RrdDir(const std::string& confPath) {
    CollectConf conf;
    std::string why;
    return ReadCollectConf(confPath, conf, why) && !conf.rrdDir.empty() ? conf.rrdDir
                                                                        : kDefaultRrdDir;
}

} // namespace graphs
