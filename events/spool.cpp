#include "events/spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace events {

namespace {

const char kMagic[] = "talvex-spool 1 ";
constexpr size_t kMaxId = 64;
constexpr size_t kMaxHeaderLine = 512;
// What one read takes from the file at most: records beyond wait for the next read.
constexpr size_t kChunk = 4u << 20;

int64_t Number(const std::string& text, int64_t fallback) {
    if (text.empty() || text.size() > 19 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return fallback;
    return std::strtoll(text.c_str(), nullptr, 10);
}

// The header lines of a record body into record; the offset of the bindings, or npos when the
// body is no record.
size_t ReadHeader(std::string_view body, SpoolRecord& r) {
    size_t at = 0;
    bool typed = false;
    while (at < body.size()) {
        const size_t end = body.find('\n', at);
        if (end == std::string_view::npos || end - at > kMaxHeaderLine) return std::string::npos;
        const std::string_view line = body.substr(at, end - at);
        at = end + 1;
        if (line.empty()) return typed ? at : std::string::npos;
        const size_t space = line.find(' ');
        const std::string name(line.substr(0, space));
        const std::string value(space == std::string_view::npos ? std::string_view()
                                                                : line.substr(space + 1));
        if (name == "type") {
            if (value != "TRAP" && value != "INFORM") return std::string::npos;
            r.type = value == "INFORM" ? PduType::Inform : PduType::Trap;
            typed = true;
        } else if (name == "request") {
            r.requestId = Number(value, -1);
        } else if (name == "version") {
            r.version = value.substr(0, 8);
        } else if (name == "transport") {
            r.transport = value;
        } else if (name == "security") {
            r.securityName = SanitizeText(value.substr(0, 64));
        } else if (name == "engine") {
            r.engineId = value.size() <= 64 && value.find_first_not_of("0123456789abcdefABCDEF") ==
                                                   std::string::npos
                             ? value
                             : std::string();
        } else if (name == "received") {
            r.receivedMs = Number(value, 0);
        }
    }
    return std::string::npos;
}

} // namespace

HandlerInput InputOf(const SpoolRecord& r) {
    HandlerInputReader reader;
    reader.feed(r.transport.empty() ? "\n\n" : "\n" + r.transport + "\n");
    reader.feed(r.bindings);
    HandlerInput in = reader.finish();
    in.type = r.type;
    in.requestId = r.requestId;
    in.version = r.version;
    in.securityName = r.securityName;
    in.engineId = r.engineId;
    return in;
}

std::string FormatRecord(const SpoolRecord& r) {
    const std::string body =
        std::string("type ") + (r.type == PduType::Inform ? "INFORM" : "TRAP") + "\nrequest " +
        std::to_string(r.requestId) + "\nversion " + r.version + "\ntransport " + r.transport +
        "\nsecurity " + r.securityName + "\nengine " + r.engineId + "\nreceived " +
        std::to_string(r.receivedMs) + "\n\n" + r.bindings;
    return "@" + std::to_string(body.size()) + "\n" + body;
}

std::string SpoolFileHeader(const std::string& id) {
    return kMagic + id + "\n";
}

SpoolReader::~SpoolReader() {
    closeFile(m_current);
    closeFile(m_old);
}

void SpoolReader::closeFile(File& f) {
    if (f.fd >= 0) ::close(f.fd);
    f = File();
}

bool SpoolReader::openFile(const std::string& path, File& f, std::string* why) {
    if (f.fd >= 0) {
        // The writer starts a new file once this one is renamed: follow the name.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && uint64_t(st.st_dev) == f.dev &&
            uint64_t(st.st_ino) == f.ino && !f.id.empty())
            return true;
        closeFile(f);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        if (why) *why = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (st.st_uid != ::geteuid() && st.st_uid != 0)) {
        ::close(fd);
        if (why) *why = path + " is not a regular file of this user or of root";
        return false;
    }
    char head[sizeof kMagic + kMaxId + 1];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    const std::string_view text(head, n > 0 ? size_t(n) : 0);
    const size_t eol = text.find('\n');
    if (eol == std::string_view::npos) {
        ::close(fd);
        if (text.size() < sizeof head) return true; // not yet begun
        if (why) *why = path + " is not a spool (no header line)";
        return false;
    }
    if (text.substr(0, sizeof kMagic - 1) != kMagic) {
        ::close(fd);
        if (why) *why = path + " is not a spool (its first line is not talvex-spool 1)";
        return false;
    }
    f.fd = fd;
    f.id = std::string(text.substr(sizeof kMagic - 1, eol - (sizeof kMagic - 1)));
    f.dataStart = int64_t(eol + 1);
    f.dev = uint64_t(st.st_dev);
    f.ino = uint64_t(st.st_ino);
    return true;
}

int64_t SpoolReader::readRecords(File& f, int64_t offset, size_t max, std::vector<SpoolRecord>& out,
                                 bool& atEnd) {
    struct stat st {};
    const int64_t waiting = ::fstat(f.fd, &st) == 0 ? int64_t(st.st_size) - offset : 0;
    if (waiting <= 0) {
        atEnd = true;
        return offset;
    }
    // One byte more than the file holds tells that the read reached its end.
    std::string buf(std::min<size_t>(size_t(waiting) + 1, kChunk), '\0');
    const ssize_t n = ::pread(f.fd, buf.data(), buf.size(), offset);
    // Whether buf holds the file to its end; a record cut at the end is then being written.
    const bool whole = n >= 0 && size_t(n) < buf.size();
    buf.resize(n > 0 ? size_t(n) : 0);
    size_t at = 0;
    // Bytes that are no record, up to the next place that looks like the start of one ("@",
    // digits, a line end and a type line): a record cut short may run into the next.
    auto skip = [&] {
        size_t next = at;
        while ((next = buf.find('@', next + 1)) != std::string::npos) {
            const size_t eol = buf.find('\n', next);
            if (eol != std::string::npos && eol - next > 1 && eol - next <= 12 &&
                Number(buf.substr(next + 1, eol - next - 1), -1) > 0 &&
                buf.compare(eol + 1, 5, "type ") == 0)
                break;
        }
        // Without a start in sight, the last bytes wait for the read that has the rest.
        const size_t to = next != std::string::npos ? next
                          : whole                   ? buf.size()
                                                    : std::max(at, buf.size() - 32);
        if (to == at) return false;
        m_skipped += to - at;
        at = to;
        return true;
    };
    while (at < buf.size() && out.size() < max) {
        const size_t eol = buf[at] == '@' ? buf.find('\n', at) : std::string::npos;
        if (buf[at] == '@' && eol == std::string::npos && buf.size() - at <= 12) break;
        const int64_t len =
            eol == std::string::npos ? -1 : Number(buf.substr(at + 1, eol - at - 1), -1);
        if (len <= 0 || len > int64_t(kMaxRecord)) {
            if (!skip()) break;
            continue;
        }
        const size_t bodyAt = eol + 1;
        if (bodyAt + size_t(len) > buf.size()) break; // being written, or in the next read
        const std::string_view body(buf.data() + bodyAt, size_t(len));
        SpoolRecord r;
        const size_t bindings = ReadHeader(body, r);
        // A record ends with a line end and the next begins with '@': anything else is a
        // record cut short, whose bytes are skipped.
        const size_t after = bodyAt + size_t(len);
        if (bindings == std::string::npos || body.back() != '\n' ||
            (after < buf.size() && buf[after] != '@')) {
            if (!skip()) break;
            continue;
        }
        r.bindings = std::string(body.substr(bindings));
        out.push_back(std::move(r));
        at = after;
    }
    atEnd = whole && at == buf.size();
    return offset + int64_t(at);
}

bool SpoolReader::read(const SpoolPosition& from, size_t max, std::vector<SpoolRecord>& out,
                       SpoolPosition& next, std::string* why) {
    next = from;
    // A file is read from the committed position when that is in it, else from its start.
    auto startOf = [&from](const File& f) {
        return from.file == f.id ? std::max(from.offset, f.dataStart) : f.dataStart;
    };
    const std::string oldPath = m_dir + "/spool.old";
    if (!openFile(oldPath, m_old, why)) return false;
    if (m_old.fd >= 0) {
        if (!m_oldLocked) {
            // A writer that held the file when it was renamed has finished its record once the
            // lock is had; later ones write into the new file.
            flock(m_old.fd, LOCK_EX);
            flock(m_old.fd, LOCK_UN);
            m_oldLocked = true;
        }
        bool atEnd = false;
        const int64_t end = readRecords(m_old, startOf(m_old), max, out, atEnd);
        next = {m_old.id, end};
        if (!out.empty() || !atEnd || end != from.offset || from.file != m_old.id) return true;
        // Wholly in the journal: the current file follows.
    }
    if (!openFile(m_dir + "/spool", m_current, why)) return false;
    if (m_current.fd < 0 || m_current.id == m_old.id) return true;
    bool atEnd = false;
    const int64_t end = readRecords(m_current, startOf(m_current), max, out, atEnd);
    next = {m_current.id, end};
    return true;
}

void SpoolReader::committed(const SpoolPosition& at) {
    if (m_old.fd >= 0 && at.file != m_old.id && !at.file.empty()) {
        ::unlink((m_dir + "/spool.old").c_str());
        closeFile(m_old);
        m_oldLocked = false;
        return;
    }
    if (m_old.fd >= 0 || m_current.fd < 0 || at.file != m_current.id || at.offset < m_rotateBytes)
        return;
    struct stat st {};
    if (::fstat(m_current.fd, &st) != 0 || st.st_size != at.offset) return;
    const std::string path = m_dir + "/spool";
    if (::rename(path.c_str(), (m_dir + "/spool.old").c_str()) == 0) {
        m_old = m_current;
        m_current = File();
        m_oldLocked = false;
    }
}

uint64_t SpoolReader::takeSkipped() {
    const uint64_t n = m_skipped;
    m_skipped = 0;
    return n;
}

} // namespace events
