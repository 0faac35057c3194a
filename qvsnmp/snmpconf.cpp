#include "qvsnmp/snmpconf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace snmpconf {

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

// Whether a block's "ADDRESS" or "ADDRESS:PORT" names agent at port; exact is set for a
// block that names the port.
bool names(std::string_view block, const std::string& agent, uint16_t port, bool& exact) {
    const size_t colon = block.rfind(':');
    if (colon != std::string_view::npos && block.find(':') == colon) {
        exact = true;
        return block.substr(0, colon) == agent && block.substr(colon + 1) == std::to_string(port);
    }
    exact = false;
    return block == agent;
}

// The file's contents, read into memory kept out of core dumps.
Status readFile(const std::string& path, crypto::Secret& text, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Status::NoEntry;
        why = path + ": " + std::strerror(errno);
        return Status::Refused;
    }
    struct stat st {};
    Status status = Status::Found;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = path + ": not a regular file";
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
        const std::string_view value = gap == std::string_view::npos
                                           ? std::string_view()
                                           : unquoted(trimmed(line.substr(gap)));
        auto bad = [&](const std::string& what) {
            why = path + ":" + std::to_string(lineNo) + ": " + what;
            return Status::Refused;
        };
        if (token == "agent") {
            close();
            if (value.empty()) return bad("agent needs an address");
            inBlock = true;
            ours = names(value, agent, port, oursExact);
            continue;
        }
        if (!inBlock) return bad(std::string(token) + " before the first agent line");
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
            return bad("unknown token " + std::string(token));
        }
    }
    close();
    if (!found) return Status::NoEntry;
    if (entry.version != 3) return Status::Found;
    if (std::string problem = entry.user.check(); !problem.empty()) {
        why = path + ": agent " + agent + ": " + problem;
        return Status::Refused;
    }
    return Status::Found;
}

} // namespace snmpconf
