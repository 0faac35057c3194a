// The journal's queries, written once for both stores: SQLite takes them as they are, the
// PostgreSQL unit turns each ?N into $N. A query here uses only what both dialects read alike
// (RETURNING, ON CONFLICT, a quoted "offset"); what differs stays in its store's unit. The
// steps both stores take alike are written here once, over either store's statement Q:
// constructed from its connection and a query; bind(i, text or number), bindNull(i); reset()
// before it runs again; next() runs it (or steps on) and says whether a row is there; ok()
// whether it went well; run() runs one that gives no rows; integer(c), text(c), isNull(c).
#pragma once

#include "events/journal.h"
#include "events/trapinput.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace events::sql {

// A stored severity or ifIndex as the journal's readers take it: the journal may have been
// written by anyone allowed to, so a value out of range reads as the harmless one.
inline Severity SeverityOf(int64_t stored) {
    return stored >= 1 && stored <= 4 ? Severity(stored) : Severity::Information;
}
inline int IfIndexOf(int64_t stored) {
    return int(std::clamp<int64_t>(stored, 0, INT32_MAX));
}

// A row belongs to a device when the device is the agent it speaks for (snmpTrapAddress.0 when
// the agent named itself, else the sender) or when the device sent it.
inline constexpr const char* kMatch = "(device = ?1 OR (sender = ?1 AND sender <> device))";

// What a list shows of a row, as the first columns of a query: readSince reads these, read()
// these and the rest.
inline constexpr const char* kListColumns =
    "SELECT id, received, severity, ifindex, port, event, summary, acked, acked_by, sender";
inline constexpr const char* kReadColumns =
    ", device, uptime, oid, bindings, inform, request_id, engine, security, transport FROM events "
    "WHERE id = ?1";
inline constexpr int kListCount = 10;

// Row is either store's statement: integer(c), text(c) and isNull(c) of the current row.
template <class Row> void ReadListColumns(const Row& s, Event& e) {
    e.id = s.integer(0);
    e.receivedMs = s.integer(1);
    e.severity = SeverityOf(s.integer(2));
    e.ifIndex = IfIndexOf(s.integer(3));
    e.port = s.text(4);
    e.event = s.text(5);
    e.summary = s.text(6);
    e.ackedMs = s.integer(7);
    e.ackedBy = s.text(8);
    e.sender = s.text(9);
}

// The row of kListColumns + kReadColumns.
template <class Row> void ReadWholeRow(const Row& s, Event& e) {
    ReadListColumns(s, e);
    int c = kListCount;
    e.device = s.text(c++);
    e.uptime = s.isNull(c) ? -1 : s.integer(c);
    e.oid = s.text(++c);
    e.bindings = s.text(++c);
    e.inform = s.integer(++c) != 0;
    ++c;
    e.requestId = s.isNull(c) ? -1 : s.integer(c);
    e.engineId = s.text(++c);
    e.securityName = s.text(++c);
    e.transport = s.text(++c);
}

inline constexpr const char* kSameInform =
    "SELECT id FROM events WHERE sender = ?1 AND request_id = ?2 AND inform AND engine = ?3 AND "
    "received >= ?4 ORDER BY id DESC LIMIT 1";
// Rows go in up to a store's rowsPerInsert to a statement (each of kInsertColumns values): a
// server's statement triggers then move its tallies once for all of them, where SQLite's row
// triggers prefer one row to a statement. The ids come back in the order given.
inline constexpr const char* kInsert =
    "INSERT INTO events(received, sender, device, uptime, oid, severity, ifindex, port, event, "
    "summary, bindings, inform, request_id, engine, security, transport) VALUES ";
inline constexpr int kInsertColumns = 16;

inline std::string InsertOf(size_t rows) {
    std::string sql = kInsert;
    for (size_t r = 0; r < rows; ++r) {
        sql += r ? ", (" : "(";
        for (int c = 1; c <= kInsertColumns; ++c) {
            sql += '?' + std::to_string(r * kInsertColumns + size_t(c));
            sql += c < kInsertColumns ? ", " : ")";
        }
    }
    return sql + " RETURNING id";
}
inline constexpr const char* kSetSpool = "UPDATE spool SET file = ?1, \"offset\" = ?2";
inline constexpr const char* kSpool = "SELECT file, \"offset\" FROM spool";

inline constexpr const char* kDeviceRows = "SELECT rows FROM devices WHERE device = ?1";
inline constexpr const char* kDropOfDevice =
    "DELETE FROM events WHERE id IN (SELECT id FROM events WHERE device = ?1 ORDER BY id LIMIT ?2)";
inline constexpr const char* kDropOldest =
    "DELETE FROM events WHERE id IN (SELECT id FROM events ORDER BY id LIMIT ?1)";

// Two index ranges in id order, merged by the reader, rather than one query on both columns,
// which would sort every row of the device.
inline constexpr const char* kOwnSince = " FROM events WHERE device = ?1 AND id > ?2 ORDER BY id "
                                         "LIMIT ?3";
inline constexpr const char* kSentSince =
    " FROM events WHERE sender = ?1 AND sender <> device AND id > ?2 ORDER BY id LIMIT ?3";
inline constexpr const char* kBindings = "SELECT bindings FROM events WHERE id = ?1";

inline constexpr const char* kAckOne = "UPDATE events SET acked = ?1, acked_by = ?2, ack_seq = ?3 "
                                       "WHERE id = ?4 AND acked IS NULL";
inline const std::string kAckAll =
    std::string("UPDATE events SET acked = ?2, acked_by = ?3, ack_seq = ?4 WHERE ") + kMatch +
    " AND acked IS NULL";
inline const std::string kAcksSince =
    std::string(
        "SELECT id, acked, acked_by FROM events WHERE ack_seq > ?2 AND ack_seq <= ?3 AND ") +
    kMatch;
inline constexpr const char* kUnacked = "SELECT count, serious FROM unacked WHERE address = ?1";

inline constexpr const char* kSetting = "SELECT value FROM settings WHERE name = ?1";
inline constexpr const char* kSetBound = "UPDATE settings SET value = ?1 WHERE name = ?2";
inline constexpr const char* kSeverity = "SELECT severity FROM severities WHERE oid = ?1";
inline constexpr const char* kSetSeverity =
    "INSERT INTO severities VALUES (?1, ?2) ON CONFLICT (oid) DO UPDATE SET severity = "
    "excluded.severity";
inline const std::string kCount = std::string("SELECT count(*) FROM events WHERE ") + kMatch;
inline constexpr const char* kDevices = "SELECT count(*) FROM devices";

template <class Q, class Db> int64_t Setting(Db* db, const char* name, int64_t fallback) {
    Q s(db, kSetting);
    s.bind(1, std::string(name));
    return s.next() ? s.integer(0) : fallback;
}

// Inserts the rows by ins, a statement of InsertOf(rows.size()); their ids set in the order given
// (the stores number rows as they insert them).
template <class Q> bool InsertRows(Q& ins, const std::vector<Event*>& rows) {
    ins.reset();
    // The server takes only valid UTF-8 without NULs, which no reader minds.
    auto clean = [](const std::string& text) { return SanitizeText(text); };
    int at = 0;
    for (const Event* e : rows) {
        ins.bind(at + 1, e->receivedMs)
            .bind(at + 2, clean(e->sender))
            .bind(at + 3, clean(e->device));
        if (e->uptime >= 0)
            ins.bind(at + 4, e->uptime);
        else
            ins.bindNull(at + 4);
        ins.bind(at + 5, clean(e->oid)).bind(at + 6, int64_t(e->severity));
        ins.bind(at + 7, int64_t(e->ifIndex)).bind(at + 8, clean(e->port));
        ins.bind(at + 9, clean(e->event)).bind(at + 10, clean(e->summary));
        ins.bind(at + 11, clean(e->bindings)).bind(at + 12, int64_t(e->inform));
        if (e->requestId >= 0)
            ins.bind(at + 13, e->requestId);
        else
            ins.bindNull(at + 13);
        ins.bind(at + 14, clean(e->engineId)).bind(at + 15, clean(e->securityName));
        ins.bind(at + 16, clean(e->transport));
        at += kInsertColumns;
    }
    std::vector<int64_t> ids;
    while (ins.next())
        ids.push_back(ins.integer(0));
    if (!ins.ok() || ids.size() != rows.size()) return false;
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i]->id = ids[i];
    return true;
}

// The events (their ids set) and the spool position after them, inside the caller's
// transaction; the devices they touched gathered. An inform sent again is the row it was: the
// rows before it go in first, so that a copy within the batch is found too.
template <class Q, class Db>
bool AppendRows(Db* db, size_t rowsPerInsert, std::vector<Event>& events,
                const SpoolPosition& position, std::vector<std::string>& touched) {
    Q same(db, kSameInform);
    Q pos(db, kSetSpool);
    Q full(db, InsertOf(rowsPerInsert));
    std::vector<Event*> pending;
    auto flush = [&] {
        bool ok = true;
        if (pending.size() == rowsPerInsert) {
            ok = InsertRows(full, pending);
        } else if (!pending.empty()) {
            Q rest(db, InsertOf(pending.size()));
            ok = InsertRows(rest, pending);
        }
        pending.clear();
        return ok;
    };
    for (Event& e : events) {
        if (e.inform && e.requestId >= 0) {
            if (!flush()) return false;
            same.reset();
            same.bind(1, SanitizeText(e.sender)).bind(2, e.requestId);
            same.bind(3, SanitizeText(e.engineId)).bind(4, e.receivedMs - kResentWithinMs);
            if (same.next()) {
                e.id = same.integer(0);
                continue;
            }
            if (!same.ok()) return false;
        }
        pending.push_back(&e);
        if (std::find(touched.begin(), touched.end(), e.device) == touched.end())
            touched.push_back(e.device);
        if (pending.size() == rowsPerInsert && !flush()) return false;
    }
    if (!flush()) return false;
    pos.bind(1, position.file).bind(2, position.offset);
    return pos.run();
}

// Drops the oldest rows beyond the bounds: of each device touched, then of the whole journal,
// so that a flood of made-up sender addresses fills no disk.
template <class Q, class Db> bool Trim(Db* db, const std::vector<std::string>& touched) {
    const int64_t perDevice =
        std::max<int64_t>(1, Setting<Q>(db, "max_per_device", kDefaultMaxPerDevice));
    Q rows(db, kDeviceRows);
    Q drop(db, kDropOfDevice);
    for (const std::string& device : touched) {
        rows.reset();
        rows.bind(1, device);
        const int64_t n = rows.next() ? rows.integer(0) : 0;
        if (!rows.ok()) return false;
        if (n <= perDevice) continue;
        drop.reset();
        drop.bind(1, device).bind(2, n - perDevice);
        if (!drop.run()) return false;
    }
    const int64_t total = Setting<Q>(db, "rows", 0);
    const int64_t max = std::max<int64_t>(1, Setting<Q>(db, "max_total", kDefaultMaxTotal));
    if (total <= max) return true;
    Q oldest(db, kDropOldest);
    oldest.bind(1, total - max);
    return oldest.run();
}

// The device's rows above afterId, oldest first, at most max: its own and those it sent for
// another, two index ranges merged.
template <class Q, class Db>
bool ReadSince(Db* db, const std::string& device, int64_t afterId, size_t max,
               std::vector<Event>& out) {
    Q own(db, std::string(kListColumns) + kOwnSince);
    Q sent(db, std::string(kListColumns) + kSentSince);
    const int64_t limit = int64_t(std::min<size_t>(max, INT64_MAX));
    own.bind(1, device).bind(2, afterId).bind(3, limit);
    sent.bind(1, device).bind(2, afterId).bind(3, limit);
    bool a = own.next(), b = sent.next();
    for (size_t taken = 0; (a || b) && taken < max; ++taken) {
        const bool fromOwn = !b || (a && own.integer(0) < sent.integer(0));
        ReadListColumns(fromOwn ? own : sent, out.emplace_back());
        if (fromOwn)
            a = own.next();
        else
            b = sent.next();
    }
    return own.ok() && sent.ok();
}

} // namespace events::sql
