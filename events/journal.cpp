#include "events/journal.h"

#include "events/journalbackend.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdlib>

namespace events {

namespace {

const char* const kSeverityNames[] = {"critical", "major", "minor", "information"};

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

bool IsServerTarget(const std::string& target) {
    return target.starts_with("postgresql://") || target.starts_with("postgres://");
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

Journal::Journal() = default;
Journal::~Journal() = default;

bool Journal::open(const std::string& target, bool create, std::string* why) {
    m_store = IsServerTarget(target) ? MakePostgresJournal() : MakeSqliteJournal();
    if (m_store->open(target, create, why)) return true;
    m_store.reset();
    return false;
}

bool Journal::isOpen() const {
    return m_store && m_store->isOpen();
}

void Journal::close() {
    m_store.reset();
}

// Every call below on a journal that is not open fails as a refused statement would.

void Journal::setBusyTimeout(int ms) {
    if (m_store) m_store->setBusyTimeout(ms);
}

bool Journal::appendBatch(std::vector<Event>& events, const SpoolPosition& position,
                          std::string* why) {
    if (isOpen()) return m_store->appendBatch(events, position, why);
    if (why) *why = "no journal open";
    return false;
}

bool Journal::append(Event& e, std::string* why) {
    SpoolPosition at;
    if (!spoolPosition(at, why)) return false;
    std::vector<Event> one{std::move(e)};
    const bool ok = appendBatch(one, at, why);
    e = std::move(one[0]);
    return ok;
}

bool Journal::spoolPosition(SpoolPosition& out, std::string* why) {
    if (isOpen()) return m_store->spoolPosition(out, why);
    if (why) *why = "no journal open";
    return false;
}

void Journal::checkpoint() {
    if (isOpen()) m_store->checkpoint();
}

bool Journal::readSince(const std::string& device, int64_t afterId, size_t max,
                        std::vector<Event>& out, std::string* why) {
    if (isOpen()) return m_store->readSince(device, afterId, max, out, why);
    if (why) *why = "no journal open";
    return false;
}

bool Journal::read(int64_t id, Event& out) {
    return isOpen() && m_store->read(id, out);
}

std::string Journal::bindings(int64_t id) {
    return isOpen() ? m_store->bindings(id) : std::string();
}

int Journal::acknowledge(const std::vector<int64_t>& ids, const std::string& by, int64_t whenMs) {
    return isOpen() ? m_store->acknowledge(ids, by, whenMs) : -1;
}

int Journal::acknowledgeAll(const std::string& device, const std::string& by, int64_t whenMs) {
    return isOpen() ? m_store->acknowledgeAll(device, by, whenMs) : -1;
}

bool Journal::acksSince(const std::string& device, int64_t& ackSeq, std::vector<Ack>& out) {
    return isOpen() && m_store->acksSince(device, ackSeq, out);
}

int64_t Journal::ackSeq() {
    return isOpen() ? m_store->ackSeq() : 0;
}

bool Journal::unacknowledged(const std::string& device, Unacked& out) {
    return isOpen() && m_store->unacknowledged(device, out);
}

int64_t Journal::dataVersion() {
    return isOpen() ? m_store->dataVersion() : -1;
}

int Journal::changeDescriptor() const {
    return isOpen() ? m_store->changeDescriptor() : -1;
}

int64_t Journal::maxPerDevice() {
    return isOpen() ? m_store->setting("max_per_device", kDefaultMaxPerDevice)
                    : kDefaultMaxPerDevice;
}

bool Journal::setMaxPerDevice(int64_t max) {
    return isOpen() && m_store->setBound("max_per_device", max);
}

int64_t Journal::maxTotal() {
    return isOpen() ? m_store->setting("max_total", kDefaultMaxTotal) : kDefaultMaxTotal;
}

bool Journal::setMaxTotal(int64_t max) {
    return isOpen() && m_store->setBound("max_total", max);
}

bool Journal::severityFor(const std::string& oid, Severity& out) {
    return isOpen() && m_store->severityFor(oid, out);
}

bool Journal::setSeverityFor(const std::string& oid, Severity s) {
    return isOpen() && m_store->setSeverityFor(oid, s);
}

int64_t Journal::count(const std::string& device) {
    return isOpen() ? m_store->count(device) : -1;
}

int64_t Journal::total() {
    return isOpen() ? m_store->setting("rows", -1) : -1;
}

int64_t Journal::devices() {
    return isOpen() ? m_store->devices() : -1;
}

} // namespace events
