#include "qvsnmp/snmpconf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace snmpconf {

std::string printable(std::string_view text) {
    constexpr size_t kShown = 40;
    std::string out;
    for (size_t i = 0; i < text.size() && i < kShown; ++i) {
        const uint8_t c = uint8_t(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += char(c);
        } else {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    if (text.size() > kShown) out += "...";
    return out;
}

namespace {

constexpr size_t kMaxFile = 1 << 20;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A value in double quotes stands without them, so that blanks at its ends can be kept.
std::string_view unquoted(std::string_view s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// A line that looks like it carries a passphrase, whatever else is wrong with it: its value
// is never shown.
bool passphraseLine(std::string_view token) {
    for (size_t i = 0; i + 4 <= token.size(); ++i)
        if (std::tolower(uint8_t(token[i])) == 'p' && std::tolower(uint8_t(token[i + 1])) == 'a' &&
            std::tolower(uint8_t(token[i + 2])) == 's' &&
            std::tolower(uint8_t(token[i + 3])) == 's')
            return true;
    return false;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

// Why open() found nothing at path: NoEntry when the path is plainly absent (the file, and
// perhaps folders above it, do not exist), Refused when something on the way is there but
// cannot lead to a file: a symbolic link to nothing, or a file where a folder should be.
Status whyAbsent(const std::string& path, std::string& why) {
    std::string at = path;
    while (!at.empty()) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode) && ::stat(at.c_str(), &st) != 0) {
                why = at + ": a symbolic link to nothing";
                return Status::Refused;
            }
            if (at == path) {
                why = path + ": " + std::strerror(ENOENT);
                return Status::Refused;
            }
            if (!S_ISDIR(st.st_mode)) {
                why = at + ": not a folder, and " + path + " lies below it";
                return Status::Refused;
            }
            return Status::NoEntry;
        }
        if (errno != ENOENT && errno != ENOTDIR) {
            why = at + ": " + std::strerror(errno);
            return Status::Refused;
        }
        const size_t slash = at.find_last_not_of('/', at.rfind('/'));
        if (at.rfind('/') == std::string::npos) return Status::NoEntry;
        at.resize(slash == std::string::npos ? 1 : slash + 1);
    }
    return Status::NoEntry;
}

// What an agent line names: an address (IPv4, or IPv6 in binary form), and a port or 0.
struct AgentName {
    int family = 0;
    in6_addr address{};
    uint16_t port = 0;
};

bool parseAddress(const std::string& text, AgentName& out) {
    if (::inet_pton(AF_INET, text.c_str(), &out.address) == 1) {
        out.family = AF_INET;
        return true;
    }
    if (::inet_pton(AF_INET6, text.c_str(), &out.address) == 1) {
        out.family = AF_INET6;
        return true;
    }
    return false;
}

bool parsePort(std::string_view text, uint16_t& port) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v == 0 || v > 65535) return false;
    port = uint16_t(v);
    return true;
}

// "[ADDRESS]:PORT", "[ADDRESS]", "ADDRESS" and IPv4 "ADDRESS:PORT", as net-snmp writes them;
// why is set when the text is none of them.
bool parseAgent(std::string_view text, AgentName& out, std::string& why) {
    const std::string shown = printable(text);
    why = "agent " + shown + " is not ADDRESS, ADDRESS:PORT or [IPV6-ADDRESS]:PORT";
    if (text.size() > 64) return false;
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view rest = text.substr(close + 1);
        if (!parseAddress(std::string(text.substr(1, close - 1)), out) || out.family != AF_INET6)
            return false;
        return rest.empty() || (rest.front() == ':' && parsePort(rest.substr(1), out.port));
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || text.find(':') != colon) {
        if (!parseAddress(std::string(text), out)) return false;
        // net-snmp reads "::1:1161" as one address; an operator may well have meant a port.
        AgentName head;
        uint16_t port = 0;
        if (out.family == AF_INET6 && colon != std::string_view::npos &&
            parsePort(text.substr(colon + 1), port) && text.substr(0, colon) != "::" &&
            parseAddress(std::string(text.substr(0, colon)), head)) {
            const std::string a(text.substr(0, colon)), p(text.substr(colon + 1));
            why = "agent " + shown + " is ambiguous: write [" + a + "]:" + p + " for port " + p +
                  " of " + a + ", or [" + shown + "] for that address";
            return false;
        }
        return true;
    }
    return parseAddress(std::string(text.substr(0, colon)), out) && out.family == AF_INET &&
           parsePort(text.substr(colon + 1), out.port);
}

bool sameAddress(const AgentName& a, const AgentName& b) {
    return a.family == b.family &&
           std::memcmp(&a.address, &b.address, a.family == AF_INET ? 4 : 16) == 0;
}

// The file's contents, read into memory kept out of core dumps.
Status readFile(const std::string& path, crypto::Secret& text, std::string& why) {
    // Non-blocking, so that a FIFO or a device at the file's place is found out, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return whyAbsent(path, why);
        why = path + ": " + std::strerror(errno);
        return Status::Refused;
    }
    struct stat st {};
    Status status = Status::Found;
    if (::fstat(fd, &st) != 0) {
        why = path + ": " + std::strerror(errno);
        status = Status::Refused;
    } else if (!S_ISREG(st.st_mode)) {
        why = path + ": " + kindOf(st.st_mode) + ", not a regular file";
        status = Status::Refused;
    } else if (st.st_uid != ::geteuid()) {
        why = path + ": belongs to another user; it holds passphrases and must be the user's own";
        status = Status::Refused;
    } else if (st.st_mode & 077) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        why = path + ": permissions " + mode +
              " are too open: it holds passphrases and must be readable by its owner only "
              "(chmod 600 " +
              path + ")";
        status = Status::Refused;
    } else if (size_t(st.st_size) > kMaxFile) {
        why = path + ": larger than 1 MiB";
        status = Status::Refused;
    } else {
        text = crypto::Secret::ofSize(size_t(st.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        if (done != text.size()) {
            why = path + ": could not be read whole";
            status = Status::Refused;
        }
    }
    ::close(fd);
    return status;
}

} // namespace

std::string defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/talvex/snmp.conf";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/talvex/snmp.conf";
    return {};
}

Status lookup(const std::string& path, const std::string& agent, uint16_t port, Entry& entry,
              std::string& why) {
    crypto::Secret text;
    if (path.empty()) return Status::NoEntry;
    if (Status s = readFile(path, text, why); s != Status::Found) return s;

    AgentName wanted;
    wanted.port = port;
    if (!parseAddress(agent, wanted)) {
        why = "agent " + printable(agent) + " is not an IP address";
        return Status::Refused;
    }
    // The first block that names the agent's port wins over the first that names the
    // address alone.
    bool inBlock = false, ours = false, oursExact = false, found = false, foundExact = false;
    Entry current;
    auto close = [&] {
        if (ours && (!found || (oursExact && !foundExact))) {
            entry = std::move(current);
            found = true;
            foundExact = oursExact;
        }
        current = Entry{};
    };
    const std::string_view all = text.view();
    size_t lineNo = 0;
    for (size_t pos = 0; pos < all.size();) {
        size_t end = all.find('\n', pos);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = trimmed(all.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == '#') continue;
        const size_t gap = line.find_first_of(" \t");
        const std::string_view token = line.substr(0, gap);
        const std::string_view raw =
            gap == std::string_view::npos ? std::string_view() : trimmed(line.substr(gap));
        const std::string_view value = unquoted(raw);
        auto bad = [&](const std::string& what) {
            why = path + ":" + std::to_string(lineNo) + ": " + what;
            return Status::Refused;
        };
        const bool secret = token == "defAuthPassphrase" || token == "defPrivPassphrase";
        if ((!secret && passphraseLine(token)) ||
            (secret && !raw.empty() && raw.front() == '"' && (raw.size() < 2 || raw.back() != '"')))
            return bad("a passphrase line that cannot be read");
        if (token == "agent") {
            close();
            if (value.empty()) return bad("agent needs an address");
            AgentName named;
            std::string problem;
            if (!parseAgent(value, named, problem)) return bad(problem);
            inBlock = true;
            ours = sameAddress(named, wanted) && (!named.port || named.port == port);
            oursExact = named.port != 0;
            continue;
        }
        if (!inBlock) return bad(printable(token) + " before the first agent line");
        usm::User& u = current.user;
        if (token == "defVersion") {
            if (value == "3")
                current.version = 3;
            else if (value == "2c")
                current.version = 1;
            else if (value == "1")
                current.version = 0;
            else
                return bad("defVersion is 1, 2c or 3");
        } else if (token == "defSecurityName") {
            u.name = std::string(value);
        } else if (token == "defSecurityLevel") {
            if (!usm::parseLevel(value, u.level))
                return bad("defSecurityLevel is noAuthNoPriv, authNoPriv or authPriv");
        } else if (token == "defAuthType") {
            if (!usm::parseAuth(value, u.auth))
                return bad("defAuthType is MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512");
        } else if (token == "defPrivType") {
            if (!usm::parsePriv(value, u.priv)) return bad("defPrivType is AES or DES");
        } else if (token == "defAuthPassphrase") {
            u.authPassphrase = crypto::Secret(value);
        } else if (token == "defPrivPassphrase") {
            u.privPassphrase = crypto::Secret(value);
        } else if (token == "defContext") {
            u.context = std::string(value);
        } else {
            return bad("unknown token " + printable(token));
        }
    }
    close();
    if (!found) return Status::NoEntry;
    if (entry.version != 3) return Status::Found;
    if (std::string problem = entry.user.check(); !problem.empty()) {
        why = path + ": agent " + printable(agent) + ": " + problem;
        return Status::Refused;
    }
    return Status::Found;
}

} // namespace snmpconf
