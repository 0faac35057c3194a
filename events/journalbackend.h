// What each store of the journal does, behind Journal (journal.h): one implementation on
// SQLite's C library (a file), one on libpq (a PostgreSQL server). Journal's comments say what
// each call means; the differences between the two stores live in their own units.
#pragma once

#include "events/journal.h"

#include <memory>

namespace events {

class JournalBackend {
public:
    virtual ~JournalBackend() = default;

    virtual bool open(const std::string& target, bool create, std::string* why) = 0;
    virtual bool isOpen() const = 0;
    virtual void setBusyTimeout(int ms) = 0;

    virtual bool appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                             std::string* why) = 0;
    virtual bool spoolPosition(SpoolPosition& out, std::string* why) = 0;
    virtual void checkpoint() = 0;

    virtual bool readSince(const std::string& device, int64_t afterId, size_t max,
                           std::vector<Event>& out, std::string* why) = 0;
    virtual bool read(int64_t id, Event& out) = 0;
    virtual std::string bindings(int64_t id) = 0;

    virtual int acknowledge(const std::vector<int64_t>& ids, const std::string& by,
                            int64_t whenMs) = 0;
    virtual int acknowledgeAll(const std::string& device, const std::string& by,
                               int64_t whenMs) = 0;
    virtual bool acksSince(const std::string& device, int64_t& ackSeq,
                           std::vector<Journal::Ack>& out) = 0;
    virtual int64_t ackSeq() = 0;
    virtual bool unacknowledged(const std::string& device, Journal::Unacked& out) = 0;

    virtual int64_t dataVersion() = 0;
    virtual int changeDescriptor() const { return -1; }

    virtual int64_t setting(const char* name, int64_t fallback) = 0;
    virtual bool setBound(const char* name, int64_t max) = 0;
    virtual bool severityFor(const std::string& oid, Severity& out) = 0;
    virtual bool setSeverityFor(const std::string& oid, Severity s) = 0;

    virtual int64_t count(const std::string& device) = 0;
    virtual int64_t devices() = 0;
};

std::unique_ptr<JournalBackend> MakeSqliteJournal();
std::unique_ptr<JournalBackend> MakePostgresJournal();

} // namespace events
