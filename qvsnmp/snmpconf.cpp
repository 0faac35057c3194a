#include "qvsnmp/snmpconf.h"

#include <fcntl.h>
#include <pwd.h>
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
#include <vector>

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

// Permissions as chmod takes them: "0640".
std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

// path with its links resolved; empty, with errno, when it cannot be.
std::string resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    std::free(real);
    return out;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

// Why open() found nothing at path: NoEntry when the path is plainly absent (the file, and
// perhaps folders above it, do not exist), with the nearest folder that is there in *folder;
// Refused when something on the way is there but cannot lead to a file: a symbolic link to
// nothing, or a file where a folder should be.
Status whyAbsent(const std::string& path, std::string& folder, std::string& why) {
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
            folder = at;
            return Status::NoEntry;
        }
        if (errno != ENOENT && errno != ENOTDIR) {
            why = at + ": " + std::strerror(errno);
            return Status::Refused;
        }
        const size_t slash = at.find_last_not_of('/', at.rfind('/'));
        if (at.rfind('/') == std::string::npos) {
            folder = ".";
            return Status::NoEntry;
        }
        at.resize(slash == std::string::npos ? 1 : slash + 1);
    }
    folder = ".";
    return Status::NoEntry;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The user's home as the system knows it, links resolved; empty when there is none.
std::string homeFolder() {
    struct passwd pw {};
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found || !pw.pw_dir)
        return {};
    return resolved(pw.pw_dir);
}

// The owner root's files show inside a user namespace that does not map root (as a user who is
// not root gets one from unshare -r): the overflow id, taken there for root's, since nothing
// inside can tell root from others. (uid_t)-1 where root is mapped, as outside any namespace.
uid_t unmappedRoot() {
    static const uid_t id = [] {
        std::FILE* map = std::fopen("/proc/self/uid_map", "re");
        if (!map) return uid_t(-1);
        unsigned long inside = 0, outside = 0, count = 0;
        bool rootMapped = false;
        while (std::fscanf(map, "%lu %lu %lu", &inside, &outside, &count) == 3)
            rootMapped = rootMapped || (outside == 0 && count > 0);
        std::fclose(map);
        if (rootMapped) return uid_t(-1);
        unsigned long overflow = 65534;
        if (std::FILE* f = std::fopen("/proc/sys/kernel/overflowuid", "re")) {
            if (std::fscanf(f, "%lu", &overflow) != 1) overflow = 65534;
            std::fclose(f);
        }
        return uid_t(overflow);
    }();
    return id;
}

// The folders above the file, from folder up to the home folder (up to / outside the home),
// checked as ssh checks those of a private key: whoever may rename entries in one of them can
// take the file away, and the module would then talk SNMPv2c with the community in clear.
// Each must belong to the user or root and be writable by nobody else; a folder of root's with
// the sticky bit (/tmp) lets nobody rename what is not theirs, and passes. Links are resolved
// first, so that a folder that is a link to another user's is judged by where it leads.
bool foldersSafe(const std::string& folder, std::string& why) {
    std::string at = resolved(folder);
    if (at.empty()) {
        why = folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string home = homeFolder();
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) != 0) {
            why = at + ": " + std::strerror(errno);
            return false;
        }
        const bool root = st.st_uid == 0 || st.st_uid == unmappedRoot();
        const bool stickyRoot = root && (st.st_mode & S_ISVTX);
        if (!root && st.st_uid != ::geteuid()) {
            why = at + ": the folder belongs to another user, who could take the credentials "
                       "file away; it must be the user's own or root's";
            return false;
        }
        if ((st.st_mode & 022) && !stickyRoot) {
            why = at + ": permissions " + modeText(st.st_mode) +
                  ": others could take the credentials file away from this folder; it must be "
                  "writable by its owner only (chmod go-w " +
                  at + ")";
            return false;
        }
        if (at == home || at == "/") return true;
        at = folderOf(at);
    }
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
// why says what was expected when the text is none of them.
bool parseAgent(std::string_view text, AgentName& out, std::string& why) {
    why = "agent: expected ADDRESS, ADDRESS:PORT or [IPV6-ADDRESS]:PORT";
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
            why = "agent: an IPv6 address whose last group may be a port: expected "
                  "[IPV6-ADDRESS]:PORT for a port, or [IPV6-ADDRESS] for the address alone";
            return false;
        }
        return true;
    }
    return parseAddress(std::string(text.substr(0, colon)), out) && out.family == AF_INET &&
           parsePort(text.substr(colon + 1), out.port);
}

bool isToken(std::string_view token) {
    for (const char* t : {"defVersion", "defSecurityName", "defSecurityLevel", "defAuthType",
                          "defAuthPassphrase", "defPrivType", "defPrivPassphrase", "defContext"})
        if (token == t) return true;
    return false;
}

bool sameAddress(const AgentName& a, const AgentName& b) {
    return a.family == b.family &&
           std::memcmp(&a.address, &b.address, a.family == AF_INET ? 4 : 16) == 0;
}

// The folders of the file; one reached through a link lies in its target's folder as well.
bool fileFoldersSafe(const std::string& path, std::string& why) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !foldersSafe(folderOf(path), why))
        return false;
    const std::string target = resolved(path);
    if (target.empty()) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    return foldersSafe(folderOf(target), why);
}

// The file's contents, read into memory kept out of core dumps.
Status readFile(const std::string& path, crypto::Secret& text, std::string& why) {
    // Non-blocking, so that a FIFO or a device at the file's place is found out, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            why = path + ": " + std::strerror(errno);
            return Status::Refused;
        }
        std::string folder;
        const Status absent = whyAbsent(path, folder, why);
        if (absent == Status::NoEntry && !foldersSafe(folder, why)) return Status::Refused;
        return absent;
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
        why = path + ": permissions " + modeText(st.st_mode) +
              " are too open: it holds passphrases and must be readable by its owner only "
              "(chmod 600 " +
              path + ")";
        status = Status::Refused;
    } else if (size_t(st.st_size) > kMaxFile) {
        why = path + ": larger than 1 MiB";
        status = Status::Refused;
    } else if (!fileFoldersSafe(path, why)) {
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
    // address alone. Every block's user must be one that can be used, chosen or not.
    bool inBlock = false, ours = false, oursExact = false, found = false, foundExact = false;
    size_t lineNo = 0, blockLine = 0;
    Entry current;
    auto close = [&] {
        if (inBlock && current.version == 3)
            if (const std::string problem = current.user.check(); !problem.empty()) {
                why = path + ":" + std::to_string(blockLine) + ": the user of this agent's block " +
                      "cannot be used: " + problem;
                return false;
            }
        if (ours && (!found || (oursExact && !foundExact))) {
            entry = std::move(current);
            found = true;
            foundExact = oursExact;
        }
        current = Entry{};
        return true;
    };
    const std::string_view all = text.view();
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
        // A line that cannot be read may be a passphrase cut from its token, or a token
        // misspelt before one: what is said of it is its number and what was expected, never
        // any of its text.
        auto bad = [&](const std::string& expected) {
            why = path + ":" + std::to_string(lineNo) + ": " + expected;
            return Status::Refused;
        };
        const bool secret = token == "defAuthPassphrase" || token == "defPrivPassphrase";
        if (secret && !raw.empty() && raw.front() == '"' && (raw.size() < 2 || raw.back() != '"'))
            return bad(std::string(token) + ": expected the closing quote of the passphrase");
        if (token == "agent") {
            if (!close()) return Status::Refused;
            if (value.empty()) return bad("agent: expected an address");
            AgentName named;
            std::string problem;
            if (!parseAgent(value, named, problem)) return bad(problem);
            inBlock = true;
            blockLine = lineNo;
            ours = sameAddress(named, wanted) && (!named.port || named.port == port);
            oursExact = named.port != 0;
            continue;
        }
        if (!isToken(token))
            return bad("expected a token (agent, defVersion, defSecurityName, defSecurityLevel, "
                       "defAuthType, defAuthPassphrase, defPrivType, defPrivPassphrase, "
                       "defContext), a comment or a blank line");
        if (!inBlock) return bad("expected an agent line before the first token");
        usm::User& u = current.user;
        if (token == "defVersion") {
            if (value == "3")
                current.version = 3;
            else if (value == "2c")
                current.version = 1;
            else if (value == "1")
                current.version = 0;
            else
                return bad("defVersion: expected 1, 2c or 3");
        } else if (token == "defSecurityName") {
            u.name = std::string(value);
        } else if (token == "defSecurityLevel") {
            if (!usm::parseLevel(value, u.level))
                return bad("defSecurityLevel: expected noAuthNoPriv, authNoPriv or authPriv");
        } else if (token == "defAuthType") {
            if (!usm::parseAuth(value, u.auth))
                return bad("defAuthType: expected MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512");
        } else if (token == "defPrivType") {
            if (!usm::parsePriv(value, u.priv))
                return bad("defPrivType: expected AES, AES-192, AES-256 or DES");
        } else if (token == "defAuthPassphrase") {
            u.authPassphrase = crypto::Secret(value);
        } else if (token == "defPrivPassphrase") {
            u.privPassphrase = crypto::Secret(value);
        } else {
            u.context = std::string(value);
        }
    }
    if (!close()) return Status::Refused;
    return found ? Status::Found : Status::NoEntry;
}

} // namespace snmpconf
