// The event journal: what talvex-eventd appends to and the module reads and acknowledges in.
// One interface over two stores, chosen by the target: a path is an SQLite file (the embedded
// default, journal_sqlite.cpp), a postgresql:// or postgres:// URI a PostgreSQL server that a
// NOC's operators share (journal_pg.cpp). Both keep the same schema with its version in the
// store, refuse a newer one, bring an older one up to date, and keep the same bounds.
//
// A row is one notification as received: when, from which address, the device's uptime, the
// notification's OID, severity, port, a one-line summary, every binding, and whether and by whom
// it was acknowledged. Each device keeps at most maxPerDevice() rows (the oldest go first); the
// bound and any severity an administrator prefers are kept in the file itself.
//
// Plain C++ on the sqlite3 and libpq C libraries; every value goes in through a bound parameter.
#pragma once

#include "events/spool.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace events {

class JournalBackend;

enum class Severity : int { Critical = 1, Major = 2, Minor = 3, Information = 4 };
// "critical", "major", "minor", "information"; for any other value "information".
const char* SeverityName(Severity s);
// The severity a name gives (as SeverityName writes it, any case); false when none.
bool ParseSeverity(const std::string& name, Severity& out);

struct Event {
    int64_t id = 0;
    int64_t receivedMs = 0; // milliseconds since the epoch, UTC
    std::string sender;     // the address the notification came from
    std::string device;     // the agent it speaks for: snmpTrapAddress.0 when given, else sender
    int64_t uptime = -1;    // sysUpTime.0 in hundredths of seconds; -1 when not given
    std::string oid;        // snmpTrapOID.0, numeric without a leading dot
    Severity severity = Severity::Information;
    int ifIndex = 0;      // 0: the bindings name no port
    std::string port;     // the port's ifDescr when the bindings carry it
    std::string event;    // the notification's name ("linkDown"), or its OID
    std::string summary;  // one line
    std::string bindings; // one "OID value" a line; left empty by reads of many rows
    int64_t ackedMs = 0;  // 0 while unacknowledged
    std::string ackedBy;
    // The PDU as received: an inform sent again carries the same request id (and, for SNMPv3,
    // engine) from the same sender.
    bool inform = false;
    int64_t requestId = -1;
    std::string engineId;
    std::string securityName; // the SNMPv3 user it came under; empty for a community
    std::string transport;
};

// Where the journal is: TALVEX_EVENTS when set, else kDefaultPath.
inline constexpr const char* kDefaultPath = "/var/lib/talvex/events.sqlite";
std::string JournalPath();
// Whether a journal target names a PostgreSQL server rather than a file.
bool IsServerTarget(const std::string& target);

// An address as text in one form for each family (inet_ntop's), so that "::0001" and "::1"
// meet; text that is no address comes back as it is.
std::string CanonicalAddress(const std::string& text);
bool IsAddress(const std::string& text);

inline constexpr int64_t kDefaultMaxPerDevice = 100000;
inline constexpr int64_t kDefaultMaxTotal = 1000000;
// The schema this program writes; a file of a later one is refused.
inline constexpr int kSchemaVersion = 2;
// How long after an inform a copy of it (same sender, request id, engine) is taken for one sent
// again: well beyond any sender's retries.
inline constexpr int64_t kResentWithinMs = 120000;

class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens the journal at target, a path or a server's URI. With create (the writer), a
    // missing file is made (mode 0660 whatever the caller's umask) with the schema; without it,
    // only an existing journal opens, and a server's is followed (changeDescriptor()). A file is
    // never followed through a link, and what is opened must be a regular file of this user
    // (or, for a reader, of the folder's owner). A server's schema is the administrator's; a URI
    // that carries a password is refused, and a connection attempt takes a few seconds at most.
    // An older schema is migrated when it can be written; a newer one is refused. False with
    // *why in words an operator reads.
    bool open(const std::string& target, bool create, std::string* why);
    // False once closed, and for a server also once its connection is lost.
    bool isOpen() const;
    void close();

    // How long a writer waits for a lock before a statement fails.
    void setBusyTimeout(int ms);

    // Appends the events (their ids set) and records the spool position after them, then drops
    // the oldest rows beyond the bounds, in one transaction. An inform whose sender, request id
    // and engine match one journaled within kResentWithinMs is that row (its id), not a new
    // one; traps are never merged. False with *why when the journal refused them (busy past
    // the timeout, full, read-only, the server gone); nothing was written then.
    bool appendBatch(std::vector<Event>& events, const SpoolPosition& position, std::string* why);
    bool append(Event& event, std::string* why);
    // The spool position the last batch committed (empty before any); false when it could not
    // be read, which is never taken for "from the start".
    bool spoolPosition(SpoolPosition& out, std::string* why = nullptr);
    // Has SQLite move the write-ahead log into the file; the writer does it when idle.
    void checkpoint();

    // The rows of the device with id above afterId, oldest first, at most max, with what a list
    // shows: time, sender, severity, port, event, summary, acknowledgement (device, uptime, OID
    // and bindings are left out; read() has them). False when the read failed.
    bool readSince(const std::string& device, int64_t afterId, size_t max, std::vector<Event>& out,
                   std::string* why = nullptr);
    // One row whole; false when it is gone.
    bool read(int64_t id, Event& out);
    // One row's bindings; empty when it is gone.
    std::string bindings(int64_t id);

    // Acknowledges the given rows (those not yet acknowledged) or every row of the device;
    // returns how many changed, -1 on failure.
    int acknowledge(const std::vector<int64_t>& ids, const std::string& by, int64_t whenMs);
    int acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs);
    // Acknowledgements made since ackSeq (by anyone), which is moved on past them.
    struct Ack {
        int64_t id;
        int64_t ackedMs;
        std::string by;
    };
    bool acksSince(const std::string& device, int64_t& ackSeq, std::vector<Ack>& out);
    int64_t ackSeq();

    // Unacknowledged rows of the device, and how many of them are major or critical.
    struct Unacked {
        int64_t count = 0;
        int64_t serious = 0;
    };
    bool unacknowledged(const std::string& device, Unacked& out);

    // Something changed since the last look when this differs from what it gave then: another
    // connection wrote to the file (SQLite's data_version), or the server notified the journal's
    // channel (what it sent meanwhile is taken). -1 when the journal is not open.
    int64_t dataVersion();
    // A descriptor that becomes readable when the server notifies, to wait on instead of
    // polling dataVersion(); -1 for a file, which has none.
    int changeDescriptor() const;

    int64_t maxPerDevice();
    bool setMaxPerDevice(int64_t max);
    int64_t maxTotal();
    bool setMaxTotal(int64_t max);
    // The administrator's severity for a notification OID, when he set one.
    bool severityFor(const std::string& oid, Severity& out);
    bool setSeverityFor(const std::string& oid, Severity s);

    int64_t count(const std::string& device);
    // Rows of the whole journal, and the devices it keeps rows for.
    int64_t total();
    int64_t devices();

private:
    std::unique_ptr<JournalBackend> m_store;
};

} // namespace events
