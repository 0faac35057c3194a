#include "sim/rmon.h"

#include "sim/notify.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <random>
#include <set>

namespace sim {

namespace {

enum EntryStatus : int32_t { Valid = 1, CreateRequest = 2, UnderCreation = 3, Invalid = 4 };

const ber::Oid kIfIndex{1, 3, 6, 1, 2, 1, 2, 2, 1, 1};
const ber::Oid kStatsEntry{1, 3, 6, 1, 2, 1, 16, 1, 1, 1};
const ber::Oid kHistoryControlEntry{1, 3, 6, 1, 2, 1, 16, 2, 1, 1};
const ber::Oid kHistoryEntry{1, 3, 6, 1, 2, 1, 16, 2, 2, 1};
const ber::Oid kAlarmEntry{1, 3, 6, 1, 2, 1, 16, 3, 1, 1};
const ber::Oid kEventEntry{1, 3, 6, 1, 2, 1, 16, 9, 1, 1};

constexpr int32_t kMaxBuckets = 50; // what this probe grants at most

ber::Value counter(uint32_t v) {
    return ber::Value::makeUnsigned(ber::Counter32, v);
}

// The interface an ifIndex instance names (1.3.6.1.2.1.2.2.1.1.N gives N), 0 for any other OID.
int interfaceOf(const ber::Oid& source) {
    return source.size() == kIfIndex.size() + 1 && ber::oidStartsWith(source, kIfIndex) ? int(source.back()) : 0;
}

// What one interface carried, in the order of etherStatsTable's columns 3 to 19; the first
// eleven are etherHistoryTable's columns 4 to 14.
struct Traffic {
    std::array<uint32_t, 17> c{};
    uint32_t& at(uint32_t statsColumn) { return c[statsColumn - 3]; }
    uint32_t at(uint32_t statsColumn) const { return c[statsColumn - 3]; }
};

// Spreads octets and packets over the broadcast, error and frame-size counters the way a busy
// segment does; only a half-duplex (100M or slower) segment has collisions.
void addTraffic(Traffic& t, uint32_t octets, uint32_t pkts, bool halfDuplex, std::mt19937& rng) {
    if (pkts == 0)
        return;
    auto now_and_then = [&](uint32_t oneIn) { return rng() % oneIn == 0 ? 1u : 0u; };
    t.at(3) += now_and_then(29);
    t.at(4) += octets;
    t.at(5) += pkts;
    t.at(6) += pkts / 25;
    t.at(7) += pkts / 12;
    t.at(8) += now_and_then(7);
    t.at(9) += now_and_then(11);
    t.at(10) += now_and_then(13);
    t.at(11) += now_and_then(5);
    t.at(12) += now_and_then(17);
    if (halfDuplex)
        t.at(13) += pkts / 300 + now_and_then(3);
    const uint32_t share[6] = {30, 20, 10, 8, 7, 25}; // percent per frame size, 64 to 1518
    uint32_t left = pkts;
    for (uint32_t k = 0; k < 5; ++k) {
        const uint32_t n = uint32_t(uint64_t(pkts) * share[k] / 100);
        t.at(14 + k) += n;
        left -= n;
    }
    t.at(19) += left;
}

// The writers of the common kinds of column, for a row type with the field.
template <class Row> auto ownerWriter(std::string Row::*field) {
    return [field](Row& row, const ber::Value& v, bool commit) -> int32_t {
        if (v.type != ber::OctetString)
            return ber::WrongType;
        if (v.octets.size() > 127)
            return ber::WrongLength;
        if (commit)
            row.*field = v.octets;
        return ber::NoError;
    };
}

template <class Row> auto integerWriter(int32_t Row::*field, int32_t min, int32_t max) {
    return [field, min, max](Row& row, const ber::Value& v, bool commit) -> int32_t {
        if (v.type != ber::Integer)
            return ber::WrongType;
        if (v.integer < min || v.integer > max)
            return ber::WrongValue;
        if (commit)
            row.*field = int32_t(v.integer);
        return ber::NoError;
    };
}

// A data source is an ifIndex instance of an interface the chassis has.
template <class Row> auto sourceWriter(Chassis& chassis, ber::Oid Row::*field) {
    return [ch = &chassis, field](Row& row, const ber::Value& v, bool commit) -> int32_t {
        if (v.type != ber::ObjectId)
            return ber::WrongType;
        const int ifIndex = interfaceOf(v.oid);
        if (!ifIndex)
            return ber::WrongValue;
        const auto& ports = ch->ports();
        if (std::none_of(ports.begin(), ports.end(), [&](const Port& p) { return p.ifIndex == ifIndex; }))
            return ber::InconsistentValue;
        if (commit)
            row.*field = v.oid;
        return ber::NoError;
    };
}

// A table whose entries carry an EntryStatus column (RFC 2819): a set of createRequest on a
// missing entry's status creates it underCreation with the agent's defaults, the other
// writable columns of that entry may follow in the same set; valid puts it to work, invalid
// deletes it. Nodes look their row up at every call, so a row deleted halfway through a set
// leaves nothing dangling. Row has the fields index and status.
template <class Row> class EntryTable {
public:
    using Read = std::function<ber::Value(const Row&)>;
    using Write = std::function<int32_t(Row&, const ber::Value&, bool commit)>;
    struct Column {
        Column(uint32_t n, Read r, Write w = {}, bool fixed = false)
            : number(n), read(std::move(r)), write(std::move(w)), fixedWhileValid(fixed) {}
        uint32_t number;
        Read read;
        Write write;          // empty: read-only
        bool fixedWhileValid; // RFC 2819: "may not be modified if ... equal to valid(1)"
    };

    EntryTable(Mib& mib, ber::Oid entry, uint32_t statusColumn, std::vector<Column> columns)
        : m_mib(mib), m_entry(std::move(entry)), m_statusColumn(statusColumn), m_columns(std::move(columns)) {
        // A createRequest checked in a set that then failed creates nothing, not even later.
        m_mib.addSetEnd([this] { m_creating.clear(); });
    }

    // Lets sets create entries; make gives a new entry the agent's defaults.
    void allowCreation(std::function<Row(uint32_t index)> make) {
        m_make = std::move(make);
        m_mib.addCreatable(m_entry, [this](const ber::Oid& oid) { return prospective(oid); });
    }

    Row& add(Row row) {
        const uint32_t index = row.index;
        Row& stored = m_rows.insert_or_assign(index, std::move(row)).first->second;
        for (const Column& c : m_columns) {
            Writer write;
            if (c.write)
                write = [this, index, &c](const ber::Value& v, bool commit) { return writeColumn(index, c, v, commit); };
            m_mib.add(child(m_entry, {c.number, index}),
                      [this, index, &c] {
                          const Row* r = find(index);
                          return r ? c.read(*r) : ber::Value::exception(ber::NoSuchInstance);
                      },
                      std::move(write));
        }
        m_mib.add(
            child(m_entry, {m_statusColumn, index}),
            [this, index] {
                const Row* r = find(index);
                return r ? ber::Value::makeInteger(r->status) : ber::Value::exception(ber::NoSuchInstance);
            },
            [this, index](const ber::Value& v, bool commit) { return writeStatus(index, v, commit); });
        return stored;
    }

    void remove(uint32_t index) {
        if (!m_rows.erase(index))
            return;
        for (const Column& c : m_columns)
            m_mib.remove(child(m_entry, {c.number, index}));
        m_mib.remove(child(m_entry, {m_statusColumn, index}));
        if (onRemove)
            onRemove(index);
    }

    Row* find(uint32_t index) {
        auto it = m_rows.find(index);
        return it == m_rows.end() ? nullptr : &it->second;
    }
    std::map<uint32_t, Row>& rows() { return m_rows; }

    std::function<void(Row&)> onValid;
    std::function<void(uint32_t index)> onRemove;

private:
    Row& create(uint32_t index) {
        Row row = m_make(index);
        row.index = index;
        row.status = UnderCreation;
        m_creating.erase(index);
        return add(std::move(row));
    }

    // The node of a column of an entry that does not exist yet, for a set that creates it.
    std::optional<Node> prospective(const ber::Oid& oid) {
        if (oid.size() != m_entry.size() + 2)
            return std::nullopt;
        const uint32_t column = oid[m_entry.size()];
        const uint32_t index = oid.back();
        if (index < 1 || index > 65535 || find(index))
            return std::nullopt;
        Node node;
        node.read = [] { return ber::Value::exception(ber::NoSuchInstance); };
        if (column == m_statusColumn) {
            node.write = [this, index](const ber::Value& v, bool commit) { return writeStatus(index, v, commit); };
            return node;
        }
        auto c = std::find_if(m_columns.begin(), m_columns.end(), [&](const Column& k) { return k.number == column; });
        if (c == m_columns.end() || !c->write)
            return std::nullopt;
        const Column& col = *c;
        node.write = [this, index, &col](const ber::Value& v, bool commit) { return writeColumn(index, col, v, commit); };
        return node;
    }

    int32_t writeColumn(uint32_t index, const Column& c, const ber::Value& v, bool commit) {
        Row* row = find(index);
        if (!commit) {
            if (row)
                return c.fixedWhileValid && row->status == Valid ? ber::InconsistentValue : c.write(*row, v, false);
            if (!m_creating.count(index))
                return ber::NoCreation;
            Row scratch = m_make(index);
            return c.write(scratch, v, false);
        }
        return c.write(row ? *row : create(index), v, true);
    }

    int32_t writeStatus(uint32_t index, const ber::Value& v, bool commit) {
        if (v.type != ber::Integer)
            return ber::WrongType;
        if (v.integer < Valid || v.integer > Invalid)
            return ber::WrongValue;
        Row* row = find(index);
        if (!commit) {
            if (!row) {
                if (v.integer == CreateRequest && m_make) {
                    m_creating.insert(index);
                    return ber::NoError;
                }
                return v.integer == Invalid ? ber::NoError : ber::InconsistentValue;
            }
            // An existing entry cannot be created again.
            return v.integer == CreateRequest ? ber::InconsistentValue : ber::NoError;
        }
        switch (v.integer) {
        case CreateRequest:
            if (!row)
                create(index);
            break;
        case Valid:
            if (row && row->status != Valid) {
                row->status = Valid;
                if (onValid)
                    onValid(*row);
            }
            break;
        case UnderCreation:
            if (row)
                row->status = UnderCreation;
            break;
        case Invalid:
            remove(index);
            break;
        }
        return ber::NoError;
    }

    Mib& m_mib;
    ber::Oid m_entry;
    uint32_t m_statusColumn;
    std::vector<Column> m_columns; // never changes: nodes keep references to its elements
    std::map<uint32_t, Row> m_rows;
    std::function<Row(uint32_t)> m_make;
    std::set<uint32_t> m_creating; // createRequest checked in the set under way
};

struct Probe {
    uint32_t index = 0;
    int32_t status = Valid;
    ber::Oid source;
    std::string owner;
    Traffic counts;
};

struct Bucket {
    uint32_t start = 0; // sysUpTime at the start of the interval
    Traffic traffic;
    int32_t utilization = 0; // hundredths of a percent
};

struct HistoryControl {
    uint32_t index = 0;
    int32_t status = Valid;
    ber::Oid source;
    int32_t requested = kMaxBuckets;
    int32_t granted = kMaxBuckets;
    int32_t interval = 1800;
    std::string owner;
    std::map<uint32_t, Bucket> buckets{}; // by sample index
    uint32_t nextSample = 1;
    Bucket current{}; // the interval under way
    int32_t elapsed = 0;
};

struct Alarm {
    uint32_t index = 0;
    int32_t status = Valid;
    int32_t interval = 30;
    ber::Oid variable;
    int32_t sampleType = 2; // 1 absolute, 2 delta
    int32_t value = 0;
    int32_t startup = 3;    // 1 rising, 2 falling, 3 either
    int32_t rising = 0, falling = 0;
    int32_t risingEvent = 0, fallingEvent = 0;
    std::string owner;
    int32_t elapsed = 0;
    int64_t last = 0;
    bool sampled = false; // the startup setting governs the first sample only
    bool armRising = true, armFalling = true;
};

struct Event {
    uint32_t index = 0;
    int32_t status = Valid;
    std::string description;
    int32_t type = 1; // 1 none, 2 log, 3 trap, 4 log and trap
    std::string community;
    uint32_t lastTimeSent = 0;
    std::string owner;
};

} // namespace

struct Rmon::Impl {
    Impl(Chassis& chassis, Mib& mib, const RmonOptions& opt);
    void tick(uint32_t now);
    void takeSample(HistoryControl& h, uint32_t now);
    void publishBucket(uint32_t control, uint32_t sample);
    void dropBucket(uint32_t control, uint32_t sample);
    void sampleAlarm(Alarm& a, uint32_t now);
    void fire(int32_t event, uint32_t now, const Alarm& a, bool rising);
    const Port* port(const ber::Oid& source);

    std::vector<EntryTable<Probe>::Column> statsColumns();
    std::vector<EntryTable<HistoryControl>::Column> historyColumns();
    std::vector<EntryTable<Alarm>::Column> alarmColumns();
    std::vector<EntryTable<Event>::Column> eventColumns();

    Chassis& chassis;
    Mib& mib;
    RmonOptions opt;
    std::mt19937 rng{2819};
    EntryTable<Probe> stats{mib, kStatsEntry, 21, statsColumns()};
    EntryTable<HistoryControl> history{mib, kHistoryControlEntry, 7, historyColumns()};
    EntryTable<Alarm> alarms{mib, kAlarmEntry, 12, alarmColumns()};
    EntryTable<Event> events{mib, kEventEntry, 7, eventColumns()};
    std::map<int, std::pair<uint32_t, uint32_t>> seen; // ifIndex: octets and packets at the last tick
};

std::vector<EntryTable<Probe>::Column> Rmon::Impl::statsColumns() {
    std::vector<EntryTable<Probe>::Column> c;
    c.push_back({1, [](const Probe& p) { return ber::Value::makeInteger(int32_t(p.index)); }});
    c.push_back({2, [](const Probe& p) { return ber::Value::makeOid(p.source); }, sourceWriter(chassis, &Probe::source), true});
    for (uint32_t k = 3; k <= 19; ++k)
        c.push_back({k, [k](const Probe& p) { return counter(p.counts.at(k)); }});
    c.push_back({20, [](const Probe& p) { return ber::Value::makeOctets(p.owner); }, ownerWriter(&Probe::owner)});
    return c;
}

std::vector<EntryTable<HistoryControl>::Column> Rmon::Impl::historyColumns() {
    using H = HistoryControl;
    std::vector<EntryTable<H>::Column> c;
    c.push_back({1, [](const H& h) { return ber::Value::makeInteger(int32_t(h.index)); }});
    c.push_back({2, [](const H& h) { return ber::Value::makeOid(h.source); }, sourceWriter(chassis, &H::source), true});
    // The probe grants what it can hold, at once, and lets the oldest samples go.
    c.push_back({3, [](const H& h) { return ber::Value::makeInteger(h.requested); },
                 [this](H& h, const ber::Value& v, bool commit) -> int32_t {
                     if (int32_t err = integerWriter(&H::requested, 1, 65535)(h, v, commit))
                         return err;
                     if (commit) {
                         h.granted = std::min(h.requested, kMaxBuckets);
                         while (int32_t(h.buckets.size()) > h.granted) {
                             const uint32_t oldest = h.buckets.begin()->first;
                             h.buckets.erase(h.buckets.begin());
                             dropBucket(h.index, oldest);
                         }
                     }
                     return ber::NoError;
                 }});
    c.push_back({4, [](const H& h) { return ber::Value::makeInteger(h.granted); }});
    c.push_back({5, [](const H& h) { return ber::Value::makeInteger(h.interval); }, integerWriter(&H::interval, 1, 3600), true});
    c.push_back({6, [](const H& h) { return ber::Value::makeOctets(h.owner); }, ownerWriter(&H::owner)});
    return c;
}

std::vector<EntryTable<Alarm>::Column> Rmon::Impl::alarmColumns() {
    auto integer = [](int32_t Alarm::*f) { return [f](const Alarm& a) { return ber::Value::makeInteger(a.*f); }; };
    return {
        {1, [](const Alarm& a) { return ber::Value::makeInteger(int32_t(a.index)); }},
        {2, integer(&Alarm::interval)},
        {3, [](const Alarm& a) { return ber::Value::makeOid(a.variable); }},
        {4, integer(&Alarm::sampleType)},
        {5, integer(&Alarm::value)},
        {6, integer(&Alarm::startup)},
        {7, integer(&Alarm::rising)},
        {8, integer(&Alarm::falling)},
        {9, integer(&Alarm::risingEvent)},
        {10, integer(&Alarm::fallingEvent)},
        {11, [](const Alarm& a) { return ber::Value::makeOctets(a.owner); }, ownerWriter(&Alarm::owner)},
    };
}

std::vector<EntryTable<Event>::Column> Rmon::Impl::eventColumns() {
    return {
        {1, [](const Event& e) { return ber::Value::makeInteger(int32_t(e.index)); }},
        {2, [](const Event& e) { return ber::Value::makeOctets(e.description); }},
        {3, [](const Event& e) { return ber::Value::makeInteger(e.type); }},
        {4, [](const Event& e) { return ber::Value::makeOctets(e.community); }},
        {5, [](const Event& e) { return ber::Value::makeUnsigned(ber::TimeTicks, e.lastTimeSent); }},
        {6, [](const Event& e) { return ber::Value::makeOctets(e.owner); }, ownerWriter(&Event::owner)},
    };
}

Rmon::Impl::Impl(Chassis& c, Mib& m, const RmonOptions& o) : chassis(c), mib(m), opt(o) {
    std::vector<const Port*> front; // the media slot/port interfaces with a link at start
    for (const Port& p : chassis.ports()) {
        seen[p.ifIndex] = {p.inOctets + p.outOctets, p.inPkts + p.outPkts};
        if (p.descr.find('/') != std::string::npos && p.oper == 1)
            front.push_back(&p);
    }
    if (front.empty())
        for (const Port& p : chassis.ports())
            front.push_back(&p);
    auto source = [](const Port& p) { return child(kIfIndex, {uint32_t(p.ifIndex)}); };
    const ber::Oid firstPort = source(*front.front());

    // Probes spread over the front panel, with what they counted before this agent's clock
    // started.
    stats.allowCreation([firstPort](uint32_t) { return Probe{0, UnderCreation, firstPort, "", {}}; });
    const size_t n = size_t(std::max(0, opt.probes));
    for (size_t i = 0; i < n && !front.empty(); ++i) {
        const Port& p = *front[n <= front.size() ? i * front.size() / n : i % front.size()];
        Probe probe{uint32_t(i + 1), Valid, source(p), "monitor", {}};
        const uint32_t seconds = 600 + rng() % 3000;
        const uint32_t octets = p.speed / 8 / 400 * seconds;
        addTraffic(probe.counts, octets, octets / 700 + seconds, p.speed <= 100000000u, rng);
        stats.add(std::move(probe));
    }

    history.allowCreation([firstPort](uint32_t) {
        HistoryControl h;
        h.status = UnderCreation;
        h.source = firstPort;
        return h;
    });
    history.onValid = [this](HistoryControl& h) {
        h.current = Bucket{chassis.uptime(), {}, 0};
        h.elapsed = 0;
    };
    history.onRemove = [this](uint32_t control) {
        for (uint32_t col = 1; col <= 15; ++col)
            mib.removeBelow(child(kHistoryEntry, {col, control}));
    };
    // Entry 1 holds the buckets the probe had when this agent's clock started: their interval
    // starts cannot lie before it, so they read 0.
    HistoryControl& first = history.add(HistoryControl{1, Valid, firstPort, 50, 50, 30, "monitor"});
    for (uint32_t s = 0; s < 8; ++s) {
        Traffic t;
        const uint32_t octets = 2000000 + rng() % 9000000;
        addTraffic(t, octets, octets / 600, true, rng);
        first.buckets[first.nextSample] = Bucket{0, t, int32_t(uint64_t(octets) * 8 * 10000 / (30ull * 100000000))};
        publishBucket(first.index, first.nextSample++);
    }
    history.add(HistoryControl{2, Valid, source(*front[front.size() / 2]), 20, 20, 1800, "monitor"});
    for (auto& [index, h] : history.rows())
        history.onValid(h);

    // Every event type and startup alarm the module tells apart.
    const char* kinds[] = {"none", "log", "trap", "log and trap"};
    for (int32_t type = 1; type <= 4; ++type)
        events.add(Event{uint32_t(type), Valid, std::string("Threshold crossed: ") + kinds[type - 1], type,
                         type >= 3 ? "public" : "", 0, "monitor"});
    const ber::Oid pkts = child(kStatsEntry, {5, 1});
    const ber::Oid crc = child(kStatsEntry, {8, 2});
    const ber::Oid inOctets{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, uint32_t(front.front()->ifIndex)};
    alarms.add(Alarm{1, Valid, 30, pkts, 2, 0, 1, 20000, 2000, 2, 1, "monitor"});
    alarms.add(Alarm{2, Valid, 60, crc, 1, 0, 2, 500, 50, 3, 4, "monitor"});
    alarms.add(Alarm{3, Valid, 10, inOctets, 2, 0, 3, 5000000, 500000, 4, 4, "monitor"});
    for (auto& [index, a] : alarms.rows())
        sampleAlarm(a, 0);

    chassis.onTick([this](uint32_t now) { tick(now); });
}

const Port* Rmon::Impl::port(const ber::Oid& source) {
    const int ifIndex = interfaceOf(source);
    for (const Port& p : chassis.ports())
        if (p.ifIndex == ifIndex)
            return &p;
    return nullptr;
}

void Rmon::Impl::publishBucket(uint32_t control, uint32_t sample) {
    auto bucket = [this, control, sample]() -> const Bucket* {
        HistoryControl* h = history.find(control);
        if (!h)
            return nullptr;
        auto it = h->buckets.find(sample);
        return it == h->buckets.end() ? nullptr : &it->second;
    };
    auto add = [&](uint32_t column, std::function<ber::Value(const Bucket&)> read) {
        mib.add(child(kHistoryEntry, {column, control, sample}), [bucket, read] {
            const Bucket* b = bucket();
            return b ? read(*b) : ber::Value::exception(ber::NoSuchInstance);
        });
    };
    add(1, [control](const Bucket&) { return ber::Value::makeInteger(int32_t(control)); });
    add(2, [sample](const Bucket&) { return ber::Value::makeInteger(int32_t(sample)); });
    add(3, [](const Bucket& b) { return ber::Value::makeUnsigned(ber::TimeTicks, b.start); });
    for (uint32_t k = 3; k <= 13; ++k)
        add(k + 1, [k](const Bucket& b) { return counter(b.traffic.at(k)); });
    add(15, [](const Bucket& b) { return ber::Value::makeInteger(b.utilization); });
}

void Rmon::Impl::dropBucket(uint32_t control, uint32_t sample) {
    for (uint32_t col = 1; col <= 15; ++col)
        mib.remove(child(kHistoryEntry, {col, control, sample}));
}

void Rmon::Impl::takeSample(HistoryControl& h, uint32_t now) {
    // Bits on the wire, preamble and gap included, against what the link carries meanwhile.
    const Port* p = port(h.source);
    const uint64_t capacity = uint64_t(h.interval) * (p ? p->speed : 0);
    const uint64_t bits = uint64_t(h.current.traffic.at(4)) * 8 + uint64_t(h.current.traffic.at(5)) * 160;
    h.current.utilization = capacity ? int32_t(std::min<uint64_t>(10000, bits * 10000 / capacity)) : 0;
    h.buckets[h.nextSample] = h.current;
    publishBucket(h.index, h.nextSample++);
    while (int32_t(h.buckets.size()) > h.granted) {
        const uint32_t oldest = h.buckets.begin()->first;
        h.buckets.erase(h.buckets.begin());
        dropBucket(h.index, oldest);
    }
    h.current = Bucket{now, {}, 0};
    h.elapsed = 0;
}

void Rmon::Impl::fire(int32_t event, uint32_t now, const Alarm& a, bool rising) {
    Event* e = events.find(uint32_t(event));
    if (!e || e->status != Valid) return;
    e->lastTimeSent = now;
    // Types 3 (snmp-trap) and 4 (log-and-trap) send one.
    if (Notifier* n = CurrentNotifier(); n && (e->type == 3 || e->type == 4))
        n->alarmCrossed(rising, a.index, a.variable, a.sampleType, a.value,
                        rising ? a.rising : a.falling);
}

void Rmon::Impl::sampleAlarm(Alarm& a, uint32_t now) {
    const Node* node = mib.find(a.variable);
    if (!node)
        return;
    const ber::Value v = node->read();
    if (v.isException() || !v.octets.empty() || v.type == ber::ObjectId)
        return;
    const int64_t raw = v.integer;
    const int64_t sampled = a.sampleType == 1 ? raw : raw - a.last;
    a.last = raw;
    a.value = int32_t(std::clamp<int64_t>(sampled, INT32_MIN, INT32_MAX));
    if (now == 0)
        return; // the reading at start only sets the base of a delta
    if (!a.sampled) {
        // RFC 2819: the first sample raises the startup alarm it allows, and no other; then
        // each threshold is armed until its own crossing, and rearmed by the other's.
        a.sampled = true;
        a.armRising = a.armFalling = true;
        if (a.startup != 2 && a.value >= a.rising) {
            fire(a.risingEvent, now, a, true);
            a.armRising = false;
        } else if (a.startup != 1 && a.value <= a.falling) {
            fire(a.fallingEvent, now, a, false);
            a.armFalling = false;
        }
        return;
    }
    if (a.value >= a.rising && a.armRising) {
        fire(a.risingEvent, now, a, true);
        a.armRising = false;
        a.armFalling = true;
    } else if (a.value <= a.falling && a.armFalling) {
        fire(a.fallingEvent, now, a, false);
        a.armFalling = false;
        a.armRising = true;
    }
}

void Rmon::Impl::tick(uint32_t now) {
    mib.settle();
    if (!opt.live)
        return;
    std::map<int, std::pair<uint32_t, uint32_t>> delta;
    for (const Port& p : chassis.ports()) {
        auto& last = seen[p.ifIndex];
        const std::pair<uint32_t, uint32_t> nowSeen{p.inOctets + p.outOctets, p.inPkts + p.outPkts};
        delta[p.ifIndex] = {nowSeen.first - last.first, nowSeen.second - last.second};
        last = nowSeen;
    }
    auto follow = [&](const ber::Oid& source, Traffic& t) {
        const Port* p = port(source);
        if (p)
            addTraffic(t, delta[p->ifIndex].first, delta[p->ifIndex].second, p->speed <= 100000000u, rng);
    };
    for (auto& [index, probe] : stats.rows())
        if (probe.status == Valid)
            follow(probe.source, probe.counts);
    for (auto& [index, h] : history.rows()) {
        if (h.status != Valid)
            continue;
        follow(h.source, h.current.traffic);
        if (++h.elapsed >= h.interval)
            takeSample(h, now);
    }
    for (auto& [index, a] : alarms.rows())
        if (a.status == Valid && ++a.elapsed >= a.interval) {
            a.elapsed = 0;
            sampleAlarm(a, now);
        }
}

Rmon::Rmon(Chassis& chassis, Mib& mib, const RmonOptions& opt) : d(std::make_unique<Impl>(chassis, mib, opt)) {}

Rmon::~Rmon() = default;

} // namespace sim
