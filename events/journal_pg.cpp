// The journal on a PostgreSQL server, through libpq: a NOC's one journal that several operators'
// modules share. The schema is the administrator's (share/talvex/postgresql/schema.sql, with its
// version in talvex_schema); triggers keep the same tallies SQLite's do, and notify the channel
// talvex_events whenever rows are added or acknowledged, which readers LISTEN on instead of
// polling. Acknowledgements take their sequence number under one advisory lock, so that numbers
// commit in order and a reader that has seen number n has seen every one below it.
#include "events/journalbackend.h"
#include "events/journalsql.h"
#include "events/trapinput.h"

#include <libpq-fe.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace events {

namespace {

// How long a connection attempt may take, in seconds, unless the connection string says.
constexpr const char* kConnectTimeoutS = "3";
// Rows a statement inserts: the schema's statement triggers move each tally once for them all.
constexpr size_t kRowsPerInsert = 500;
// The advisory lock acknowledgers take in turn (any number no other program of the database
// uses; "TALV").
constexpr int64_t kAckLock = 0x54414c56;

// Migrations of the server's schema, each from version i + 2 to i + 3: the server's schema
// began at the version the file had then.
constexpr std::array<const char*, kSchemaVersion - 2> kMigrations{};

// One statement with its parameters, run when first asked for a row.
class Query {
public:
    Query(PGconn* c, const std::string& sql) : m_c(c) {
        m_sql.reserve(sql.size());
        for (char ch : sql)
            m_sql += ch == '?' ? '$' : ch;
    }
    ~Query() { PQclear(m_r); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int i, const std::string& v) {
        slot(i) = v;
        return *this;
    }
    Query& bind(int i, int64_t v) { return bind(i, std::to_string(v)); }
    Query& bindNull(int i) {
        slot(i).reset();
        return *this;
    }
    // A statement to run again with other values.
    void reset() {
        PQclear(m_r);
        m_r = nullptr;
        m_row = -1;
    }
    // Runs the statement; whether it went well.
    bool run() {
        reset();
        std::vector<const char*> values;
        for (const std::optional<std::string>& v : m_values)
            values.push_back(v ? v->c_str() : nullptr);
        m_r = PQexecParams(m_c, m_sql.c_str(), int(values.size()), nullptr, values.data(), nullptr,
                           nullptr, 0);
        const ExecStatusType st = PQresultStatus(m_r);
        return st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
    }
    // The next row of the answer (running the statement first); false past the last, or when it
    // failed (ok() tells which).
    bool next() {
        if (!m_r && !run()) return false;
        return ++m_row < PQntuples(m_r);
    }
    bool ok() const {
        const ExecStatusType st = PQresultStatus(m_r);
        return m_r && (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK);
    }
    int64_t changed() const { return std::atoll(PQcmdTuples(m_r)); }

    int64_t integer(int c) const {
        const char* v = PQgetvalue(m_r, m_row, c);
        // A boolean reads as SQLite's 0 and 1.
        if (v[0] == 't' && !v[1]) return 1;
        return std::strtoll(v, nullptr, 10);
    }
    bool isNull(int c) const { return PQgetisnull(m_r, m_row, c) != 0; }
    std::string text(int c) const {
        return std::string(PQgetvalue(m_r, m_row, c), size_t(PQgetlength(m_r, m_row, c)));
    }

private:
    std::optional<std::string>& slot(int i) {
        if (m_values.size() < size_t(i)) m_values.resize(size_t(i));
        return m_values[size_t(i) - 1];
    }

    PGconn* m_c;
    std::string m_sql;
    std::vector<std::optional<std::string>> m_values;
    PGresult* m_r = nullptr;
    int m_row = -1;
};

// libpq's messages run over lines (a hint indented by a tab on the next); an operator reads
// them within a sentence.
std::string Trimmed(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        const bool blank = *p == '\n' || *p == '\t' || *p == ' ';
        if (!blank)
            out += *p;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

class PgJournal final : public JournalBackend {
public:
    ~PgJournal() override { PQfinish(m_c); }

    bool open(const std::string& target, bool create, std::string* why) override;
    bool isOpen() const override { return m_c && PQstatus(m_c) == CONNECTION_OK; }
    void setBusyTimeout(int ms) override {
        exec(("SET lock_timeout = " + std::to_string(std::max(ms, 1))).c_str());
    }

    bool appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                     std::string* why) override;
    bool spoolPosition(SpoolPosition& out, std::string* why) override {
        Query s(m_c, sql::kSpool);
        if (!s.next()) return fail(why);
        out = {s.text(0), s.integer(1)};
        return true;
    }
    // The server keeps its own log.
    void checkpoint() override {}

    bool readSince(const std::string& device, int64_t afterId, size_t max, std::vector<Event>& out,
                   std::string* why) override;
    bool read(int64_t id, Event& e) override {
        Query s(m_c, std::string(sql::kListColumns) + sql::kReadColumns);
        s.bind(1, id);
        if (!s.next()) return false;
        sql::ReadWholeRow(s, e);
        return true;
    }
    std::string bindings(int64_t id) override {
        Query s(m_c, sql::kBindings);
        s.bind(1, id);
        return s.next() ? s.text(0) : std::string();
    }

    int acknowledge(const std::vector<int64_t>& ids, const std::string& by,
                    int64_t whenMs) override;
    int acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs) override;
    bool acksSince(const std::string& device, int64_t& ackSeq,
                   std::vector<Journal::Ack>& out) override;
    int64_t ackSeq() override {
        Query s(m_c, "SELECT coalesce(max(ack_seq), 0) FROM events WHERE ack_seq IS NOT NULL");
        return s.next() ? s.integer(0) : 0;
    }
    bool unacknowledged(const std::string& device, Journal::Unacked& out) override {
        Query s(m_c, sql::kUnacked);
        s.bind(1, device);
        const bool found = s.next();
        if (!s.ok()) return false;
        out.count = found ? s.integer(0) : 0;
        out.serious = found ? s.integer(1) : 0;
        return true;
    }

    // Moves on with each notification the server sent on the channel since the last look.
    int64_t dataVersion() override {
        if (!isOpen()) return -1;
        PQconsumeInput(m_c);
        while (PGnotify* n = PQnotifies(m_c)) {
            PQfreemem(n);
            ++m_changes;
        }
        return isOpen() ? m_changes : -1;
    }
    int changeDescriptor() const override { return m_listening && isOpen() ? PQsocket(m_c) : -1; }

    int64_t setting(const char* name, int64_t fallback) override {
        return sql::Setting<Query>(m_c, name, fallback);
    }
    bool setBound(const char* name, int64_t max) override {
        Query s(m_c, sql::kSetBound);
        s.bind(1, std::max<int64_t>(1, max)).bind(2, std::string(name));
        return s.run() && s.changed() == 1;
    }
    bool severityFor(const std::string& oid, Severity& out) override {
        Query s(m_c, sql::kSeverity);
        s.bind(1, oid);
        if (!s.next()) return false;
        out = sql::SeverityOf(s.integer(0));
        return true;
    }
    bool setSeverityFor(const std::string& oid, Severity sev) override {
        Query s(m_c, sql::kSetSeverity);
        s.bind(1, oid).bind(2, int64_t(sev));
        return s.run();
    }
    int64_t count(const std::string& device) override {
        Query s(m_c, sql::kCount);
        s.bind(1, device);
        return s.next() ? s.integer(0) : -1;
    }
    int64_t devices() override {
        Query s(m_c, sql::kDevices);
        return s.next() ? s.integer(0) : -1;
    }

private:
    bool exec(const char* statement, std::string* why = nullptr) {
        Query q(m_c, statement);
        return q.run() || fail(why);
    }
    bool fail(std::string* why) const {
        if (why) *why = Trimmed(m_c ? PQerrorMessage(m_c) : "no journal open");
        return false;
    }
    int endAcknowledging(bool ok, int changed) {
        if (ok && exec("COMMIT")) return changed;
        exec("ROLLBACK");
        return -1;
    }
    // Begins an acknowledgement: its number, taken in turn; 0 when it could not.
    int64_t beginAcknowledging() {
        if (!exec("BEGIN")) return 0;
        Query lock(m_c, "SELECT pg_advisory_xact_lock(?1)");
        lock.bind(1, kAckLock);
        Query seq(m_c, "SELECT nextval('ack_seq')");
        if (lock.run() && seq.next()) return seq.integer(0);
        exec("ROLLBACK");
        return 0;
    }

    PGconn* m_c = nullptr;
    bool m_listening = false;
    int64_t m_changes = 0;
};

bool PgJournal::open(const std::string& target, bool create, std::string* why) {
    auto refuse = [&](const std::string& text) {
        if (why) *why = text;
        PQfinish(m_c);
        m_c = nullptr;
        return false;
    };
    // A password given on a command line or in the environment's TALVEX_EVENTS is seen by
    // anyone who lists processes; libpq takes it from ~/.pgpass or PGPASSFILE instead.
    char* err = nullptr;
    PQconninfoOption* options = PQconninfoParse(target.c_str(), &err);
    if (!options) {
        const std::string text = Trimmed(err);
        PQfreemem(err);
        return refuse("the connection string is not understood: " + text);
    }
    bool password = false;
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        password = password || (std::strcmp(o->keyword, "password") == 0 && o->val && *o->val);
    PQconninfoFree(options);
    if (password)
        return refuse("the connection string carries a password, which is refused: put it in "
                      "~/.pgpass (or the file PGPASSFILE names) instead");
    // Keywords before dbname are defaults the connection string may override.
    const char* const keys[] = {"connect_timeout", "client_encoding", "fallback_application_name",
                                "dbname", nullptr};
    const char* const values[] = {kConnectTimeoutS, "UTF8", create ? "talvex-eventd" : "talvex",
                                  target.c_str(), nullptr};
    PQfinish(m_c);
    m_c = PQconnectdbParams(keys, values, 1);
    m_listening = false;
    m_changes = 0;
    if (PQstatus(m_c) != CONNECTION_OK)
        return refuse("the database server cannot be reached: " + Trimmed(PQerrorMessage(m_c)));
    int64_t have = -1;
    {
        Query v(m_c, "SELECT version FROM talvex_schema");
        if (v.next()) have = v.integer(0);
    }
    if (have < 0)
        return refuse("the database holds no event journal (" + Trimmed(PQerrorMessage(m_c)) +
                      "); share/talvex/postgresql/schema.sql makes one");
    if (have > kSchemaVersion)
        return refuse("it is of a newer version (" + std::to_string(have) +
                      ") than this program knows (" + std::to_string(kSchemaVersion) + ")");
    if (have < kSchemaVersion) {
        // Steps as the file's: in one transaction, the version moved with them.
        bool ok = exec("BEGIN");
        for (int64_t at = have; ok && at < kSchemaVersion; ++at)
            ok = at >= 2 && exec(kMigrations[at - 2]);
        Query set(m_c, "UPDATE talvex_schema SET version = ?1");
        set.bind(1, int64_t(kSchemaVersion));
        if (!(ok && set.run() && exec("COMMIT"))) {
            const std::string text = Trimmed(PQerrorMessage(m_c));
            exec("ROLLBACK");
            return refuse("it is of an older version (" + std::to_string(have) +
                          ") and could not be brought up to date: " + text);
        }
    }
    // The writer hears nothing; a reader follows the channel the triggers notify.
    if (!create) {
        if (!exec("LISTEN talvex_events", why)) return refuse(why ? *why : std::string());
        m_listening = true;
    }
    return true;
}

bool PgJournal::appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                            std::string* why) {
    if (!exec("BEGIN", why)) return false;
    std::vector<std::string> touched;
    const bool ok = sql::AppendRows<Query>(m_c, kRowsPerInsert, events, position, touched) &&
                    sql::Trim<Query>(m_c, touched);
    if (ok && exec("COMMIT", why)) return true;
    if (!ok) fail(why);
    exec("ROLLBACK");
    return false;
}

bool PgJournal::readSince(const std::string& device, int64_t afterId, size_t max,
                          std::vector<Event>& out, std::string* why) {
    return sql::ReadSince<Query>(m_c, device, afterId, max, out) || fail(why);
}

int PgJournal::acknowledge(const std::vector<int64_t>& ids, const std::string& by, int64_t whenMs) {
    const int64_t seq = beginAcknowledging();
    if (!seq) return -1;
    Query s(m_c, sql::kAckOne);
    int changed = 0;
    bool ok = true;
    for (size_t i = 0; ok && i < ids.size(); ++i) {
        s.bind(1, whenMs).bind(2, SanitizeText(by)).bind(3, seq).bind(4, ids[i]);
        ok = s.run();
        changed += int(s.changed());
    }
    return endAcknowledging(ok, changed);
}

int PgJournal::acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs) {
    const int64_t seq = beginAcknowledging();
    if (!seq) return -1;
    Query s(m_c, sql::kAckAll);
    s.bind(1, device).bind(2, whenMs).bind(3, SanitizeText(by)).bind(4, seq);
    const bool ok = s.run();
    return endAcknowledging(ok, ok ? int(s.changed()) : 0);
}

bool PgJournal::acksSince(const std::string& device, int64_t& seq, std::vector<Journal::Ack>& out) {
    const int64_t now = ackSeq();
    if (now <= seq) return true;
    Query s(m_c, sql::kAcksSince);
    s.bind(1, device).bind(2, seq).bind(3, now);
    while (s.next())
        out.push_back({s.integer(0), s.integer(1), s.text(2)});
    if (!s.ok()) return false;
    seq = now;
    return true;
}

} // namespace

std::unique_ptr<JournalBackend> MakePostgresJournal() {
    return std::make_unique<PgJournal>();
}

} // namespace events
