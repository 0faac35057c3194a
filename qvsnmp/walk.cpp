#include "qvsnmp/walk.h"

#include <algorithm>
#include <compare>

namespace qvsnmp {

namespace {

// One binding position of a request, and what the answer brought for it.
struct Track {
    int record = 0;
    bool column = true;
    size_t prefix = 0;  // length of the record's OID: what follows is the row index
    size_t count = 0;   // usable answers, in repetition order
    size_t head = 0;    // the first not yet taken into a row
    bool ended = false; // after its usable answers the column has ended
};

bool insideColumn(const ber::Oid& oid, const ber::Oid& column) {
    return oid.size() > column.size() && ber::oidStartsWith(oid, column);
}

std::strong_ordering compareIndex(const ber::Oid& a, size_t pa, const ber::Oid& b, size_t pb) {
    return std::lexicographical_compare_three_way(a.begin() + std::ptrdiff_t(pa), a.end(),
                                                  b.begin() + std::ptrdiff_t(pb), b.end());
}

bool anyColumn(const std::vector<WalkRecord>& records) {
    return std::any_of(records.begin(), records.end(),
                       [](const WalkRecord& r) { return r.column; });
}

// The answer to binding position track in repetition (an answer holds its repetitions one after
// the other, n bindings each).
ber::VarBind& bindingAt(ber::Pdu& answer, size_t n, size_t track, size_t repetition) {
    return answer.bindings[repetition * n + track];
}

// Sets up a track for each binding position of request (trackOf: the track of each record, -1
// for a record not asked) and counts its usable answers: up to one past its column, which ends
// the column, or one whose OID does not increase, which stops the walk (returned).
WalkStop trackAnswers(const std::vector<WalkRecord>& records, const WalkRequest& request,
                      ber::Pdu& answer, size_t repetitions, std::vector<Track>& tracks,
                      std::vector<int>& trackOf) {
    const size_t n = request.records.size();
    const bool columns = anyColumn(records);
    WalkStop stop = WalkStop::None;
    tracks.assign(n, Track{});
    trackOf.assign(records.size(), -1);
    for (size_t j = 0; j < n; ++j) {
        Track& t = tracks[j];
        t.record = request.records[j];
        trackOf[size_t(t.record)] = int(j);
        const WalkRecord& rec = records[size_t(t.record)];
        t.column = !columns || rec.column;
        t.prefix = rec.oid.size();
        const ber::Oid* last = &request.oids[j];
        for (; t.count < repetitions; ++t.count) {
            const ber::VarBind& vb = bindingAt(answer, n, j, t.count);
            if (!vb.value.isException() && !(*last < vb.oid)) {
                stop = WalkStop::NotIncreasing;
                break;
            }
            if (t.column && leavesColumn(rec, vb)) {
                t.ended = true;
                break;
            }
            last = &vb.oid;
        }
    }
    return stop;
}

// Where the walk goes on after rows rows: a column from the last row's index (rowIndex), a
// column that has ended nowhere, a carried record from its last answer taken.
void writeCursor(const std::vector<WalkRecord>& records, const std::vector<Track>& tracks,
                 const std::vector<int>& trackOf, ber::Pdu& answer, int rows,
                 const std::vector<uint32_t>& rowIndex, WalkCursor& cursor) {
    // Written over the cursor out held: each OID keeps its storage.
    cursor.next.resize(records.size());
    cursor.ended.assign(records.size(), 0);
    for (size_t i = 0; i < records.size(); ++i) {
        const int j = trackOf[i];
        ber::Oid& next = cursor.next[i];
        if (j < 0) {
            next.clear();
            cursor.ended[i] = 1;
            continue;
        }
        const Track& t = tracks[size_t(j)];
        if (!t.column) {
            const size_t taken = std::min(size_t(rows - 1), t.count - 1);
            next = bindingAt(answer, tracks.size(), size_t(j), taken).oid;
        } else if (t.ended && t.head == t.count) {
            next.clear();
            cursor.ended[i] = 1;
        } else {
            next.reserve(records[i].oid.size() + rowIndex.size());
            next = records[i].oid;
            next.insert(next.end(), rowIndex.begin(), rowIndex.end());
        }
    }
}

} // namespace

bool leavesColumn(const WalkRecord& record, const ber::VarBind& binding) {
    return binding.value.isException() || !insideColumn(binding.oid, record.oid);
}

bool leavesTable(const std::vector<WalkRecord>& records,
                 const std::vector<ber::VarBind>& bindings) {
    if (bindings.empty()) return true;
    const bool columns = anyColumn(records);
    for (size_t i = 0; i < bindings.size() && i < records.size(); ++i)
        if ((!columns || records[i].column) && leavesColumn(records[i], bindings[i])) return true;
    return false;
}

WalkRequest nextWalkRequest(const std::vector<WalkRecord>& records, const WalkCursor& cursor) {
    WalkRequest request;
    nextWalkRequest(records, cursor, request);
    return request;
}

void nextWalkRequest(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                     WalkRequest& request) {
    const bool resume =
        cursor.next.size() == records.size() && cursor.ended.size() == records.size();
    request.records.clear();
    for (size_t i = 0; i < records.size(); ++i)
        if (!resume || !cursor.ended[i]) request.records.push_back(int(i));
    // Assigned, not rebuilt: each OID keeps the storage it had.
    request.oids.resize(request.records.size());
    for (size_t j = 0; j < request.records.size(); ++j) {
        const size_t i = size_t(request.records[j]);
        request.oids[j] = resume ? cursor.next[i] : records[i].oid;
    }
}

WalkRows takeWalkAnswer(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                        const WalkRequest& request, ber::Pdu& answer, bool bulk) {
    WalkRows out;
    takeWalkAnswer(records, cursor, request, answer, bulk, out);
    return out;
}

void takeWalkAnswer(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                    const WalkRequest& request, ber::Pdu& answer, bool bulk, WalkRows& out) {
    out.bindings.clear();
    out.holes.clear();
    out.rows = 0;
    out.ends = true;
    out.stop = WalkStop::None;
    const size_t n = request.records.size();
    if (answer.errorStatus != 0 || n == 0) return;
    if (answer.bindings.size() < n) {
        out.stop = WalkStop::Short;
        return;
    }
    const size_t repetitions = bulk ? answer.bindings.size() / n : 1;
    out.bindings.reserve(records.size() * repetitions);
    out.holes.reserve(records.size() * repetitions);
    auto entry = [&](size_t track, size_t repetition) -> ber::VarBind& {
        return bindingAt(answer, n, track, repetition);
    };
    const bool columns = anyColumn(records);
    // Kept between answers: a walk reads one answer a row, and these are the same size each time.
    thread_local std::vector<Track> tracks;
    thread_local std::vector<int> trackOf;
    out.stop = trackAnswers(records, request, answer, repetitions, tracks, trackOf);
    const bool resumed = cursor.ended.size() == records.size();
    auto endedBefore = [&](size_t record) { return resumed && cursor.ended[record]; };

    // Rows, smallest index first, for as long as every live column has answered far enough.
    thread_local std::vector<uint32_t> rowIndex; // the last row's index
    rowIndex.clear();
    for (;;) {
        const Track* least = nullptr;
        bool undecided = false;
        for (const Track& t : tracks) {
            if (!t.column) continue;
            if (t.head == t.count) {
                undecided = undecided || !t.ended;
                continue;
            }
            const ber::VarBind& vb = entry(size_t(&t - tracks.data()), t.head);
            if (!least || compareIndex(vb.oid, t.prefix,
                                       entry(size_t(least - tracks.data()), least->head).oid,
                                       least->prefix) < 0)
                least = &t;
        }
        if (undecided || !least || (!bulk && out.rows == 1)) break;
        const ber::Oid& smallest = entry(size_t(least - tracks.data()), least->head).oid;
        rowIndex.assign(smallest.begin() + std::ptrdiff_t(least->prefix), smallest.end());
        auto atRow = [&](const ber::Oid& oid, size_t prefix) {
            return oid.size() - prefix == rowIndex.size() &&
                   std::equal(rowIndex.begin(), rowIndex.end(),
                              oid.begin() + std::ptrdiff_t(prefix));
        };
        for (size_t i = 0; i < records.size(); ++i) {
            const int j = trackOf[i];
            Track* t = j < 0 ? nullptr : &tracks[size_t(j)];
            if (t && !t->column) {
                // carried as it came (a first answer that did not increase stops the walk after
                // this row)
                out.bindings.push_back(entry(
                    size_t(j), std::min(size_t(out.rows), std::max<size_t>(t->count, 1) - 1)));
                out.holes.push_back(0);
                continue;
            }
            if (t && t->head < t->count) {
                ber::VarBind& vb = entry(size_t(j), t->head);
                if (atRow(vb.oid, t->prefix)) {
                    out.bindings.push_back(std::move(vb));
                    out.holes.push_back(0);
                    continue;
                }
            }
            ber::VarBind hole;
            hole.oid.reserve(records[i].oid.size() + rowIndex.size());
            hole.oid = records[i].oid;
            hole.oid.insert(hole.oid.end(), rowIndex.begin(), rowIndex.end());
            out.bindings.push_back(std::move(hole));
            out.holes.push_back(1);
        }
        // Only now: the comparisons above read the heads of this row.
        for (size_t i = 0; i < records.size(); ++i)
            if (out.holes[out.holes.size() - records.size() + i] == 0 && trackOf[i] >= 0 &&
                tracks[size_t(trackOf[i])].column)
                ++tracks[size_t(trackOf[i])].head;
        ++out.rows;
    }

    bool live = false;
    for (size_t i = 0; i < records.size(); ++i) {
        const int j = trackOf[i];
        const bool column = !columns || records[i].column;
        const bool ended = j < 0 ? endedBefore(i)
                                 : tracks[size_t(j)].column && tracks[size_t(j)].ended &&
                                       tracks[size_t(j)].head == tracks[size_t(j)].count;
        live = live || (column && !ended);
    }
    out.ends = out.stop != WalkStop::None || !live || out.rows == 0;
    if (!out.ends) writeCursor(records, tracks, trackOf, answer, out.rows, rowIndex, out.cursor);
}

} // namespace qvsnmp
