// The journal's queries, written once for both stores: SQLite takes them as they are, the
// PostgreSQL unit turns each ?N into $N. A query here uses only what both dialects read alike
// (RETURNING, ON CONFLICT, a quoted "offset"); what differs stays in its store's unit.
#pragma once

#include "events/journal.h"

#include <algorithm>
#include <climits>

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
inline constexpr const char* kInsert =
    "INSERT INTO events(received, sender, device, uptime, oid, severity, ifindex, port, event, "
    "summary, bindings, inform, request_id, engine, security, transport) VALUES (?1, ?2, ?3, ?4, "
    "?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16) RETURNING id";
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
inline constexpr const char* kAckAll = "UPDATE events SET acked = ?2, acked_by = ?3, ack_seq = ?4 "
                                       "WHERE (device = ?1 OR (sender = ?1 AND sender <> device)) "
                                       "AND acked IS NULL";
inline constexpr const char* kAcksSince =
    "SELECT id, acked, acked_by FROM events WHERE ack_seq > ?2 AND ack_seq <= ?3 AND (device = ?1 "
    "OR (sender = ?1 AND sender <> device))";
inline constexpr const char* kUnacked = "SELECT count, serious FROM unacked WHERE address = ?1";

inline constexpr const char* kSetting = "SELECT value FROM settings WHERE name = ?1";
inline constexpr const char* kSetBound = "UPDATE settings SET value = ?1 WHERE name = ?2";
inline constexpr const char* kSeverity = "SELECT severity FROM severities WHERE oid = ?1";
inline constexpr const char* kSetSeverity =
    "INSERT INTO severities VALUES (?1, ?2) ON CONFLICT (oid) DO UPDATE SET severity = "
    "excluded.severity";
inline constexpr const char* kCount = "SELECT count(*) FROM events WHERE (device = ?1 OR (sender "
                                      "= ?1 AND sender <> device))";
inline constexpr const char* kDevices = "SELECT count(*) FROM devices";

} // namespace events::sql
