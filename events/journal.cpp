#include "events/journal.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace events {

namespace {

// A stored severity or ifIndex as the journal's readers take it: the file may have been written
// by anyone in the group, so a value out of range reads as the harmless one.
Severity SeverityOf(int64_t stored) {
    return stored >= 1 && stored <= 4 ? Severity(stored) : Severity::Information;
}
int IfIndexOf(int64_t stored) {
    return int(std::clamp<int64_t>(stored, 0, INT32_MAX));
}

const char* const kSeverityNames[] = {"critical", "major", "minor", "information"};

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT OR IGNORE INTO settings VALUES ('max_per_device', 100000), ('ack_seq', 0);
CREATE TABLE IF NOT EXISTS severities(
    oid TEXT PRIMARY KEY,
    severity INTEGER NOT NULL CHECK (severity BETWEEN 1 AND 4));
CREATE TABLE IF NOT EXISTS events(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received INTEGER NOT NULL,
    sender TEXT NOT NULL,
    device TEXT NOT NULL,
    uptime INTEGER,
    oid TEXT NOT NULL,
    severity INTEGER NOT NULL,
    ifindex INTEGER NOT NULL DEFAULT 0,
    port TEXT NOT NULL DEFAULT '',
    event TEXT NOT NULL,
    summary TEXT NOT NULL,
    bindings TEXT NOT NULL,
    acked INTEGER,
    acked_by TEXT,
    ack_seq INTEGER);
CREATE INDEX IF NOT EXISTS events_device ON events(device, id);
CREATE INDEX IF NOT EXISTS events_sender ON events(sender, device, id);
CREATE INDEX IF NOT EXISTS events_uptime ON events(device, uptime);
CREATE INDEX IF NOT EXISTS events_ack_seq ON events(ack_seq) WHERE ack_seq IS NOT NULL;
CREATE TABLE IF NOT EXISTS devices(device TEXT PRIMARY KEY, rows INTEGER NOT NULL);
CREATE TRIGGER IF NOT EXISTS events_counted AFTER INSERT ON events BEGIN
    INSERT INTO devices VALUES (new.device, 1)
        ON CONFLICT(device) DO UPDATE SET rows = rows + 1;
END;
CREATE TRIGGER IF NOT EXISTS events_uncounted AFTER DELETE ON events BEGIN
    UPDATE devices SET rows = rows - 1 WHERE device = old.device;
END;
)sql";

// How long after an inform a copy of it is taken for one sent again.
constexpr int64_t kResentWithinMs = 120000;

// A row belongs to a device when the device is the agent it speaks for (snmpTrapAddress.0 when
// the agent named itself, else the sender) or when the device sent it.
const char* const kMatch = "(device = ?1 OR sender = ?1)";

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) {
        if (db) sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &m_s, nullptr);
    }
    ~Stmt() { sqlite3_finalize(m_s); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    explicit operator bool() const { return m_s != nullptr; }
    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_text(m_s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, int64_t v) {
        sqlite3_bind_int64(m_s, i, v);
        return *this;
    }
    Stmt& bindNull(int i) {
        sqlite3_bind_null(m_s, i);
        return *this;
    }
    int step() { return m_s ? sqlite3_step(m_s) : SQLITE_ERROR; }
    void reset() {
        sqlite3_reset(m_s);
        sqlite3_clear_bindings(m_s);
    }
    int64_t integer(int c) const { return sqlite3_column_int64(m_s, c); }
    bool isNull(int c) const { return sqlite3_column_type(m_s, c) == SQLITE_NULL; }
    std::string text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_s, c));
        return p ? std::string(p, size_t(sqlite3_column_bytes(m_s, c))) : std::string();
    }

private:
    sqlite3_stmt* m_s = nullptr;
};

// What a list shows of a row, as the first columns of a query: readSince reads these, read()
// these and the rest.
const char* const kListColumns =
    "SELECT id, received, severity, ifindex, port, event, summary, acked, acked_by";
void ReadListColumns(const Stmt& s, Event& e) {
    e.id = s.integer(0);
    e.receivedMs = s.integer(1);
    e.severity = SeverityOf(s.integer(2));
    e.ifIndex = IfIndexOf(s.integer(3));
    e.port = s.text(4);
    e.event = s.text(5);
    e.summary = s.text(6);
    e.ackedMs = s.integer(7);
    e.ackedBy = s.text(8);
}

int64_t Setting(sqlite3* db, const char* name, int64_t fallback) {
    Stmt s(db, "SELECT value FROM settings WHERE name = ?1");
    s.bind(1, std::string(name));
    return s.step() == SQLITE_ROW ? s.integer(0) : fallback;
}

} // namespace

const char* SeverityName(Severity s) {
    const int i = int(s);
    return i >= 1 && i <= 4 ? kSeverityNames[i - 1] : kSeverityNames[3];
}

bool ParseSeverity(const std::string& name, Severity& out) {
    for (int i = 0; i < 4; ++i)
        if (strcasecmp(name.c_str(), kSeverityNames[i]) == 0) {
            out = Severity(i + 1);
            return true;
        }
    return false;
}

std::string JournalPath() {
    const char* env = std::getenv("TALVEX_EVENTS");
    return env && *env ? env : kDefaultPath;
}

std::string CanonicalAddress(const std::string& text) {
    unsigned char buf[sizeof(in6_addr)];
    char out[INET6_ADDRSTRLEN];
    if (text.size() < INET6_ADDRSTRLEN) {
        if (inet_pton(AF_INET, text.c_str(), buf) == 1 && inet_ntop(AF_INET, buf, out, sizeof out))
            return out;
        if (inet_pton(AF_INET6, text.c_str(), buf) == 1 &&
            inet_ntop(AF_INET6, buf, out, sizeof out))
            return out;
    }
    return text;
}

bool IsAddress(const std::string& text) {
    unsigned char buf[sizeof(in6_addr)];
    return text.size() < INET6_ADDRSTRLEN && (inet_pton(AF_INET, text.c_str(), buf) == 1 ||
                                              inet_pton(AF_INET6, text.c_str(), buf) == 1);
}

Journal::~Journal() {
    close();
}

void Journal::close() {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

std::string Journal::lastError() const {
    return m_db ? sqlite3_errmsg(m_db) : "no journal open";
}

bool Journal::exec(const char* sql, std::string* why) {
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
    if (why) *why = err ? err : lastError();
    sqlite3_free(err);
    return false;
}

bool Journal::open(const std::string& path, bool create, std::string* why) {
    close();
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        close();
        return false;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT || !create)
            return fail(errno == ENOENT ? "there is no journal there" : std::strerror(errno));
        // A journal the talvex group reads and acknowledges in, whatever the writer's umask.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
        if (fd >= 0) {
            fchmod(fd, 0660);
            ::close(fd);
        } else if (errno != EEXIST) {
            return fail(std::strerror(errno));
        }
        if (::stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
    }
    // A FIFO or a device would block or never end.
    if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
    if (::access(path.c_str(), R_OK) != 0)
        return fail(std::string("it cannot be read: ") + std::strerror(errno));
    int rc =
        sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK && !create) {
        // An operator outside the group that writes may still look.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) return fail(lastError());
    sqlite3_extended_result_codes(m_db, 1);
    // Each notification is a process that opens, writes and closes: a checkpoint at every close
    // would write the file through each time. SQLite checkpoints as the log grows instead.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    setBusyTimeout(2000);
    // Anything else SQLite opens (an empty or foreign file) is no journal.
    auto isJournal = [this] {
        Stmt probe(m_db, "SELECT id, received, sender, device, acked, ack_seq FROM events LIMIT 0");
        return probe && probe.step() == SQLITE_DONE;
    };
    if (isJournal()) {
        exec("PRAGMA synchronous=NORMAL");
        exec("PRAGMA temp_store=MEMORY");
        return true;
    }
    std::string err;
    if (!create) return fail(std::string("it is not an event journal (") + lastError() + ")");
    if (!exec("PRAGMA journal_mode=WAL", &err) || !exec("PRAGMA synchronous=NORMAL", &err) ||
        !exec(kSchema, &err))
        return fail(err);
    if (!isJournal()) return fail(std::string("it is not an event journal (") + lastError() + ")");
    return true;
}

void Journal::setBusyTimeout(int ms) {
    if (m_db) sqlite3_busy_timeout(m_db, ms);
}

bool Journal::append(Event& e, std::string* why) {
    if (!exec("BEGIN IMMEDIATE", why)) return false;
    // An inform sent again because its answer was late arrives again: the same device, uptime
    // and bindings, shortly after. It is the event already there.
    if (e.uptime >= 0) {
        Stmt same(m_db, "SELECT id FROM events WHERE device = ?1 AND uptime = ?2 AND oid = ?3 AND "
                        "bindings = ?4 "
                        "AND received >= ?5 LIMIT 1");
        same.bind(1, e.device)
            .bind(2, e.uptime)
            .bind(3, e.oid)
            .bind(4, e.bindings)
            .bind(5, e.receivedMs - kResentWithinMs);
        if (same.step() == SQLITE_ROW) {
            e.id = same.integer(0);
            return exec("COMMIT", why);
        }
    }
    Stmt ins(m_db,
             "INSERT INTO events(received, sender, device, uptime, oid, severity, ifindex, port, "
             "event, summary, bindings) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    ins.bind(1, e.receivedMs).bind(2, e.sender).bind(3, e.device);
    if (e.uptime >= 0)
        ins.bind(4, e.uptime);
    else
        ins.bindNull(4);
    ins.bind(5, e.oid).bind(6, int64_t(e.severity)).bind(7, int64_t(e.ifIndex)).bind(8, e.port);
    ins.bind(9, e.event).bind(10, e.summary).bind(11, e.bindings);
    bool ok = ins.step() == SQLITE_DONE;
    if (ok) {
        e.id = sqlite3_last_insert_rowid(m_db);
        Stmt rows(m_db, "SELECT rows FROM devices WHERE device = ?1");
        rows.bind(1, e.device);
        const int64_t n = rows.step() == SQLITE_ROW ? rows.integer(0) : 0;
        const int64_t max =
            std::max<int64_t>(1, Setting(m_db, "max_per_device", kDefaultMaxPerDevice));
        if (n > max) {
            Stmt trim(m_db, "DELETE FROM events WHERE id IN "
                            "(SELECT id FROM events WHERE device = ?1 ORDER BY id LIMIT ?2)");
            trim.bind(1, e.device).bind(2, n - max);
            ok = trim.step() == SQLITE_DONE;
        }
    }
    if (ok && exec("COMMIT", why)) return true;
    if (why && !ok) *why = lastError();
    exec("ROLLBACK");
    return false;
}

bool Journal::readSince(const std::string& device, int64_t afterId, size_t max,
                        std::vector<Event>& out, std::string* why) {
    // Two index ranges in id order, merged, rather than one query on both columns, which would
    // sort every row of the device.
    const std::string columns = std::string(kListColumns) + " FROM events WHERE ";
    Stmt own(m_db, columns + "device = ?1 AND id > ?2 ORDER BY id LIMIT ?3");
    Stmt sent(m_db, columns + "sender = ?1 AND device <> ?1 AND id > ?2 ORDER BY id LIMIT ?3");
    if (!own || !sent) {
        if (why) *why = lastError();
        return false;
    }
    const int64_t limit = int64_t(std::min<size_t>(max, INT64_MAX));
    own.bind(1, device).bind(2, afterId).bind(3, limit);
    sent.bind(1, device).bind(2, afterId).bind(3, limit);
    int a = own.step(), b = sent.step();
    size_t taken = 0;
    while ((a == SQLITE_ROW || b == SQLITE_ROW) && taken < max) {
        const bool fromOwn =
            b != SQLITE_ROW || (a == SQLITE_ROW && own.integer(0) < sent.integer(0));
        ReadListColumns(fromOwn ? own : sent, out.emplace_back());
        ++taken;
        if (fromOwn)
            a = own.step();
        else
            b = sent.step();
    }
    const bool ok = (a == SQLITE_ROW || a == SQLITE_DONE) && (b == SQLITE_ROW || b == SQLITE_DONE);
    if (!ok && why) *why = lastError();
    return ok;
}

bool Journal::read(int64_t id, Event& e) {
    Stmt s(m_db, std::string(kListColumns) +
                     ", sender, device, uptime, oid, bindings FROM events WHERE id = ?1");
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return false;
    ReadListColumns(s, e);
    e.sender = s.text(9);
    e.device = s.text(10);
    e.uptime = s.isNull(11) ? -1 : s.integer(11);
    e.oid = s.text(12);
    e.bindings = s.text(13);
    return true;
}

std::string Journal::bindings(int64_t id) {
    Stmt s(m_db, "SELECT bindings FROM events WHERE id = ?1");
    s.bind(1, id);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

int Journal::acknowledge(const std::vector<int64_t>& ids, const std::string& by, int64_t whenMs) {
    if (!exec("BEGIN IMMEDIATE")) return -1;
    const int64_t seq = Setting(m_db, "ack_seq", 0) + 1;
    Stmt s(m_db, "UPDATE events SET acked = ?1, acked_by = ?2, ack_seq = ?3 WHERE id = ?4 AND "
                 "acked IS NULL");
    int changed = 0;
    bool ok = bool(s);
    for (size_t i = 0; ok && i < ids.size(); ++i) {
        s.reset();
        s.bind(1, whenMs).bind(2, by).bind(3, seq).bind(4, ids[i]);
        ok = s.step() == SQLITE_DONE;
        changed += sqlite3_changes(m_db);
    }
    return endAcknowledging(ok, seq, changed);
}

int Journal::acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs) {
    if (!exec("BEGIN IMMEDIATE")) return -1;
    const int64_t seq = Setting(m_db, "ack_seq", 0) + 1;
    Stmt s(m_db, std::string("UPDATE events SET acked = ?2, acked_by = ?3, ack_seq = ?4 WHERE ") +
                     kMatch + " AND acked IS NULL");
    s.bind(1, device).bind(2, whenMs).bind(3, by).bind(4, seq);
    const bool ok = s.step() == SQLITE_DONE;
    return endAcknowledging(ok, seq, sqlite3_changes(m_db));
}

int Journal::endAcknowledging(bool ok, int64_t seq, int changed) {
    Stmt bump(m_db, "UPDATE settings SET value = ?1 WHERE name = 'ack_seq'");
    bump.bind(1, seq);
    if (ok && bump.step() == SQLITE_DONE && exec("COMMIT")) return changed;
    exec("ROLLBACK");
    return -1;
}

int64_t Journal::ackSeq() {
    return Setting(m_db, "ack_seq", 0);
}

bool Journal::acksSince(const std::string& device, int64_t& ackSeq, std::vector<Ack>& out) {
    const int64_t now = this->ackSeq();
    if (now <= ackSeq) return true;
    Stmt s(m_db,
           std::string(
               "SELECT id, acked, acked_by FROM events WHERE ack_seq > ?2 AND ack_seq <= ?3 AND ") +
               kMatch);
    s.bind(1, device).bind(2, ackSeq).bind(3, now);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out.push_back({s.integer(0), s.integer(1), s.text(2)});
    if (rc != SQLITE_DONE) return false;
    ackSeq = now;
    return true;
}

bool Journal::unacknowledged(const std::string& device, Unacked& out) {
    Stmt s(m_db, std::string("SELECT count(*), total(severity <= 2) FROM events WHERE ") + kMatch +
                     " AND acked IS NULL");
    s.bind(1, device);
    if (s.step() != SQLITE_ROW) return false;
    out.count = s.integer(0);
    out.serious = s.integer(1);
    return true;
}

int64_t Journal::dataVersion() {
    Stmt s(m_db, "PRAGMA data_version");
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

int64_t Journal::maxPerDevice() {
    return Setting(m_db, "max_per_device", kDefaultMaxPerDevice);
}

bool Journal::setMaxPerDevice(int64_t max) {
    Stmt s(m_db, "UPDATE settings SET value = ?1 WHERE name = 'max_per_device'");
    s.bind(1, std::max<int64_t>(1, max));
    return s.step() == SQLITE_DONE;
}

bool Journal::severityFor(const std::string& oid, Severity& out) {
    Stmt s(m_db, "SELECT severity FROM severities WHERE oid = ?1");
    s.bind(1, oid);
    if (s.step() != SQLITE_ROW) return false;
    out = SeverityOf(s.integer(0));
    return true;
}

bool Journal::setSeverityFor(const std::string& oid, Severity s) {
    Stmt st(m_db, "INSERT OR REPLACE INTO severities VALUES (?1, ?2)");
    st.bind(1, oid).bind(2, int64_t(s));
    return st.step() == SQLITE_DONE;
}

int64_t Journal::count(const std::string& device) {
    Stmt s(m_db, std::string("SELECT count(*) FROM events WHERE ") + kMatch);
    s.bind(1, device);
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

} // namespace events
