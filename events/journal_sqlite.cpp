// The journal in an SQLite file: talvex-eventd appends to it and the module reads and
// acknowledges in it. WAL mode, so that a reader never blocks the writer nor the writer a reader.
// The file's schema version is its user_version, and an older file is brought up to this
// version, step by step, by the first open that may write. The file is never followed through
// a link, and what is opened must be a regular file of this user (or, for a reader, of the
// folder's owner).
#include "events/journalbackend.h"
#include "events/journalsql.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace events {

namespace {

// The schema as the first version of the module made it (user_version 0): a file without a
// version is taken as that one and migrated from it.
const char* const kSchemaV1 = R"sql(
CREATE TABLE IF NOT EXISTS settings(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT OR IGNORE INTO settings VALUES ('ack_seq', 0);
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

// Version 2: the PDU's details (an inform is told from a trap by its type and request id, not
// by its content), the spool position, a bound on the whole journal, and the unacknowledged
// rows counted per address as they change, so that the lamp's check reads one row.
const char* const kToV2 = R"sql(
ALTER TABLE events ADD COLUMN inform INTEGER NOT NULL DEFAULT 0;
ALTER TABLE events ADD COLUMN request_id INTEGER;
ALTER TABLE events ADD COLUMN engine TEXT NOT NULL DEFAULT '';
ALTER TABLE events ADD COLUMN security TEXT NOT NULL DEFAULT '';
ALTER TABLE events ADD COLUMN transport TEXT NOT NULL DEFAULT '';
DROP INDEX IF EXISTS events_uptime;
-- The rows a device sent for another (snmpTrapAddress.0) are few; an index of all senders made
-- the page's read walk every row of the device.
DROP INDEX IF EXISTS events_sender;
CREATE INDEX events_relayed ON events(sender, id) WHERE sender <> device;
CREATE INDEX events_inform ON events(sender, request_id) WHERE inform;
INSERT OR REPLACE INTO settings VALUES ('rows', (SELECT count(*) FROM events));
CREATE TABLE spool(file TEXT NOT NULL, offset INTEGER NOT NULL);
INSERT INTO spool VALUES ('', 0);
DELETE FROM devices WHERE rows <= 0;
DROP TRIGGER events_counted;
DROP TRIGGER events_uncounted;
CREATE TRIGGER events_counted AFTER INSERT ON events BEGIN
    INSERT INTO devices VALUES (new.device, 1)
        ON CONFLICT(device) DO UPDATE SET rows = rows + 1;
    UPDATE settings SET value = value + 1 WHERE name = 'rows';
END;
CREATE TRIGGER events_uncounted AFTER DELETE ON events BEGIN
    UPDATE devices SET rows = rows - 1 WHERE device = old.device;
    DELETE FROM devices WHERE device = old.device AND rows <= 0;
    UPDATE settings SET value = value - 1 WHERE name = 'rows';
END;
-- Keyed by every address a row belongs to: its device, and its sender where that differs.
CREATE TABLE unacked(address TEXT PRIMARY KEY, count INTEGER NOT NULL, serious INTEGER NOT NULL);
INSERT INTO unacked
    SELECT address, count(*), total(severity <= 2) FROM
        (SELECT device AS address, severity FROM events WHERE acked IS NULL
         UNION ALL
         SELECT sender, severity FROM events WHERE acked IS NULL AND sender <> device)
    GROUP BY address;
CREATE TRIGGER unacked_added AFTER INSERT ON events WHEN new.acked IS NULL BEGIN
    INSERT INTO unacked VALUES (new.device, 1, new.severity <= 2)
        ON CONFLICT(address) DO UPDATE SET count = count + 1, serious = serious + (new.severity <= 2);
    INSERT INTO unacked SELECT new.sender, 1, new.severity <= 2 WHERE new.sender <> new.device
        ON CONFLICT(address) DO UPDATE SET count = count + 1, serious = serious + (new.severity <= 2);
END;
CREATE TRIGGER unacked_acked AFTER UPDATE OF acked ON events
        WHEN old.acked IS NULL AND new.acked IS NOT NULL BEGIN
    UPDATE unacked SET count = count - 1, serious = serious - (old.severity <= 2)
        WHERE address IN (old.device, old.sender);
    DELETE FROM unacked WHERE address IN (old.device, old.sender) AND count <= 0;
END;
CREATE TRIGGER unacked_dropped AFTER DELETE ON events WHEN old.acked IS NULL BEGIN
    UPDATE unacked SET count = count - 1, serious = serious - (old.severity <= 2)
        WHERE address IN (old.device, old.sender);
    DELETE FROM unacked WHERE address IN (old.device, old.sender) AND count <= 0;
END;
)sql";

// Each step brings a file of version i + 1 to i + 2.
const char* const kMigrations[] = {kToV2};
static_assert(std::size(kMigrations) == kSchemaVersion - 1);

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
    int step() { return m_rc = m_s ? sqlite3_step(m_s) : SQLITE_ERROR; }
    bool next() { return step() == SQLITE_ROW; }
    bool ok() const { return m_rc == SQLITE_ROW || m_rc == SQLITE_DONE; }
    bool run() { return step() == SQLITE_DONE; }
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
    int m_rc = SQLITE_OK;
};

class SqliteJournal final : public JournalBackend {
public:
    ~SqliteJournal() override { close(); }

    bool open(const std::string& path, bool create, std::string* why) override;
    bool isOpen() const override { return m_db != nullptr; }
    void setBusyTimeout(int ms) override;

    bool appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                     std::string* why) override;
    bool spoolPosition(SpoolPosition& out, std::string* why) override;
    void checkpoint() override;

    bool readSince(const std::string& device, int64_t afterId, size_t max, std::vector<Event>& out,
                   std::string* why) override;
    bool read(int64_t id, Event& out) override;
    std::string bindings(int64_t id) override;

    int acknowledge(const std::vector<int64_t>& ids, const std::string& by,
                    int64_t whenMs) override;
    int acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs) override;
    bool acksSince(const std::string& device, int64_t& ackSeq,
                   std::vector<Journal::Ack>& out) override;
    int64_t ackSeq() override;
    bool unacknowledged(const std::string& device, Journal::Unacked& out) override;

    // Changes whenever another connection has written (SQLite's data_version).
    int64_t dataVersion() override;

    int64_t setting(const char* name, int64_t fallback) override;
    bool setBound(const char* name, int64_t max) override;
    bool severityFor(const std::string& oid, Severity& out) override;
    bool setSeverityFor(const std::string& oid, Severity s) override;

    int64_t count(const std::string& device) override;
    int64_t devices() override;

private:
    void close();
    bool exec(const char* sql, std::string* why = nullptr);
    bool openChecked(const std::string& path, bool create, std::string* why);
    bool migrate(int from, std::string* why);
    int64_t userVersion();
    // The end of an acknowledgement begun with BEGIN IMMEDIATE: when its updates went well (ok),
    // ack_seq moves on to seq and it commits, giving changed; otherwise it rolls back, giving -1.
    int endAcknowledging(bool ok, int64_t seq, int changed);
    std::string lastError() const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_severity = nullptr;
};

} // namespace

void SqliteJournal::close() {
    sqlite3_finalize(m_severity);
    m_severity = nullptr;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

std::string SqliteJournal::lastError() const {
    return m_db ? sqlite3_errmsg(m_db) : "no journal open";
}

bool SqliteJournal::exec(const char* sql, std::string* why) {
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
    if (why) *why = err ? err : lastError();
    sqlite3_free(err);
    return false;
}

bool SqliteJournal::openChecked(const std::string& path, bool create, std::string* why) {
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    // O_NONBLOCK: a FIFO put in the journal's place must not hold the opener.
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
        // A journal the talvex group reads and acknowledges in, whatever the writer's umask.
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660);
        if (fd >= 0)
            fchmod(fd, 0660);
        else if (errno == EEXIST)
            fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) {
        if (errno == ENOENT) return fail("there is no journal there");
        if (errno == ELOOP) return fail("it is a symbolic link, which is not followed");
        return fail(std::strerror(errno));
    }
    struct stat st {};
    const bool stated = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!stated) return fail(std::strerror(errno));
    // A FIFO or a device would block or never end.
    if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
    // The writer keeps its own file; a reader takes the file of the user who keeps the folder.
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    struct stat dir {};
    const bool folderOwner = !create && ::stat(folder.empty() ? "." : folder.c_str(), &dir) == 0 &&
                             dir.st_uid == st.st_uid;
    if (st.st_uid != ::geteuid() && !folderOwner)
        return fail("it belongs to user " + std::to_string(st.st_uid) +
                    ", neither this user nor the owner of its folder");
    if (::access(path.c_str(), R_OK) != 0)
        return fail(std::string("it cannot be read: ") + std::strerror(errno));
    int rc = sqlite3_open_v2(path.c_str(), &m_db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                             nullptr);
    if (rc != SQLITE_OK && !create) {
        // An operator outside the group that writes may still look.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &m_db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                             nullptr);
    }
    if (rc != SQLITE_OK) return fail(lastError());
    // The file SQLite opened by name is the one checked above.
    struct stat now {};
    if (::lstat(path.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)
        return fail("it was replaced while it was opened");
    return true;
}

bool SqliteJournal::open(const std::string& path, bool create, std::string* why) {
    close();
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        close();
        return false;
    };
    std::string err;
    if (!openChecked(path, create, &err)) return fail(err);
    sqlite3_extended_result_codes(m_db, 1);
    setBusyTimeout(2000);
    const int64_t have = userVersion();
    if (have < 0) return fail("it is not an event journal (" + lastError() + ")");
    if (have > kSchemaVersion)
        return fail("it is of a newer version (" + std::to_string(have) +
                    ") than this program knows (" + std::to_string(kSchemaVersion) + ")");
    // Anything else SQLite opens (an empty or foreign file) is no journal.
    const bool isJournal = [this] {
        Stmt probe(m_db, "SELECT id, received, sender, device, acked, ack_seq FROM events LIMIT 0");
        return probe && probe.step() == SQLITE_DONE;
    }();
    if (have == 0 && !isJournal) {
        if (!create) return fail(std::string("it is not an event journal (") + lastError() + ")");
        const bool empty = [this] {
            Stmt tables(m_db, "SELECT count(*) FROM sqlite_master");
            return tables.step() == SQLITE_ROW && tables.integer(0) == 0;
        }();
        if (!empty) return fail("it is not an event journal: it holds other tables");
        if (!exec("PRAGMA journal_mode=WAL", &err) || !exec(kSchemaV1, &err)) return fail(err);
    } else if (!isJournal) {
        return fail(std::string("it is not an event journal (") + lastError() + ")");
    }
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA temp_store=MEMORY");
    if (have < kSchemaVersion && !migrate(int(std::max<int64_t>(have, 1)), &err))
        return fail("it is of an older version (" + std::to_string(std::max<int64_t>(have, 1)) +
                    ") and could not be brought up to date: " + err);
    return true;
}

bool SqliteJournal::migrate(int from, std::string* why) {
    if (!exec("BEGIN IMMEDIATE", why)) return false;
    // Another opener may have migrated while this one waited for the lock.
    int at = int(std::max<int64_t>(userVersion(), 1));
    bool ok = at >= from;
    for (; ok && at < kSchemaVersion; ++at)
        ok = exec(kMigrations[at - 1], why);
    // The bounds a journal starts with, where an older one had none.
    Stmt bounds(m_db, "INSERT OR IGNORE INTO settings VALUES ('max_per_device', ?1), "
                      "('max_total', ?2)");
    bounds.bind(1, kDefaultMaxPerDevice).bind(2, kDefaultMaxTotal);
    ok = ok && bounds.step() == SQLITE_DONE;
    ok = ok && exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(), why);
    if (ok && exec("COMMIT", why)) return true;
    exec("ROLLBACK");
    return false;
}

int64_t SqliteJournal::userVersion() {
    Stmt s(m_db, "PRAGMA user_version");
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

void SqliteJournal::setBusyTimeout(int ms) {
    if (m_db) sqlite3_busy_timeout(m_db, ms);
}

bool SqliteJournal::appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                                std::string* why) {
    if (!exec("BEGIN IMMEDIATE", why)) return false;
    std::vector<std::string> touched;
    const bool ok =
        sql::AppendRows<Stmt>(m_db, 1, events, position, touched) && sql::Trim<Stmt>(m_db, touched);
    if (ok && exec("COMMIT", why)) return true;
    if (why && !ok) *why = lastError();
    exec("ROLLBACK");
    return false;
}

bool SqliteJournal::spoolPosition(SpoolPosition& out, std::string* why) {
    Stmt s(m_db, sql::kSpool);
    if (s.step() != SQLITE_ROW) {
        if (why) *why = lastError();
        return false;
    }
    out = {s.text(0), s.integer(1)};
    return true;
}

void SqliteJournal::checkpoint() {
    if (m_db) sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

bool SqliteJournal::readSince(const std::string& device, int64_t afterId, size_t max,
                              std::vector<Event>& out, std::string* why) {
    const bool ok = sql::ReadSince<Stmt>(m_db, device, afterId, max, out);
    if (!ok && why) *why = lastError();
    return ok;
}

bool SqliteJournal::read(int64_t id, Event& e) {
    Stmt s(m_db, std::string(sql::kListColumns) + sql::kReadColumns);
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return false;
    sql::ReadWholeRow(s, e);
    return true;
}

std::string SqliteJournal::bindings(int64_t id) {
    Stmt s(m_db, sql::kBindings);
    s.bind(1, id);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

int SqliteJournal::acknowledge(const std::vector<int64_t>& ids, const std::string& by,
                               int64_t whenMs) {
    if (!exec("BEGIN IMMEDIATE")) return -1;
    const int64_t seq = setting("ack_seq", 0) + 1;
    Stmt s(m_db, sql::kAckOne);
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

int SqliteJournal::acknowledgeAll(const std::string& device, const std::string& by,
                                  int64_t whenMs) {
    if (!exec("BEGIN IMMEDIATE")) return -1;
    const int64_t seq = setting("ack_seq", 0) + 1;
    Stmt s(m_db, sql::kAckAll);
    s.bind(1, device).bind(2, whenMs).bind(3, by).bind(4, seq);
    const bool ok = s.step() == SQLITE_DONE;
    return endAcknowledging(ok, seq, sqlite3_changes(m_db));
}

int SqliteJournal::endAcknowledging(bool ok, int64_t seq, int changed) {
    Stmt bump(m_db, "UPDATE settings SET value = ?1 WHERE name = 'ack_seq'");
    bump.bind(1, seq);
    if (ok && bump.step() == SQLITE_DONE && exec("COMMIT")) return changed;
    exec("ROLLBACK");
    return -1;
}

int64_t SqliteJournal::ackSeq() {
    return setting("ack_seq", 0);
}

bool SqliteJournal::acksSince(const std::string& device, int64_t& ackSeq,
                              std::vector<Journal::Ack>& out) {
    const int64_t now = this->ackSeq();
    if (now <= ackSeq) return true;
    Stmt s(m_db, sql::kAcksSince);
    s.bind(1, device).bind(2, ackSeq).bind(3, now);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out.push_back({s.integer(0), s.integer(1), s.text(2)});
    if (rc != SQLITE_DONE) return false;
    ackSeq = now;
    return true;
}

bool SqliteJournal::unacknowledged(const std::string& device, Journal::Unacked& out) {
    Stmt s(m_db, sql::kUnacked);
    s.bind(1, device);
    const int rc = s.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return false;
    out.count = rc == SQLITE_ROW ? s.integer(0) : 0;
    out.serious = rc == SQLITE_ROW ? s.integer(1) : 0;
    return true;
}

int64_t SqliteJournal::dataVersion() {
    Stmt s(m_db, "PRAGMA data_version");
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

int64_t SqliteJournal::setting(const char* name, int64_t fallback) {
    return sql::Setting<Stmt>(m_db, name, fallback);
}

// A bound keeps one row at least.
bool SqliteJournal::setBound(const char* name, int64_t max) {
    Stmt s(m_db, sql::kSetBound);
    s.bind(1, std::max<int64_t>(1, max)).bind(2, std::string(name));
    return s.step() == SQLITE_DONE;
}

int64_t SqliteJournal::devices() {
    Stmt s(m_db, sql::kDevices);
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

bool SqliteJournal::severityFor(const std::string& oid, Severity& out) {
    // Asked once per notification the writer decodes: prepared once.
    if (!m_severity && m_db) sqlite3_prepare_v2(m_db, sql::kSeverity, -1, &m_severity, nullptr);
    if (!m_severity) return false;
    sqlite3_reset(m_severity);
    sqlite3_bind_text(m_severity, 1, oid.data(), int(oid.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(m_severity) == SQLITE_ROW;
    if (found) out = sql::SeverityOf(sqlite3_column_int64(m_severity, 0));
    sqlite3_reset(m_severity);
    return found;
}

bool SqliteJournal::setSeverityFor(const std::string& oid, Severity s) {
    Stmt st(m_db, sql::kSetSeverity);
    st.bind(1, oid).bind(2, int64_t(s));
    return st.step() == SQLITE_DONE;
}

int64_t SqliteJournal::count(const std::string& device) {
    Stmt s(m_db, sql::kCount);
    s.bind(1, device);
    return s.step() == SQLITE_ROW ? s.integer(0) : -1;
}

std::unique_ptr<JournalBackend> MakeSqliteJournal() {
    return std::make_unique<SqliteJournal>();
}

} // namespace events
