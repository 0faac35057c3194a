// The row rules of a walk over several columns at once, shared by get-next and GETBULK.
//
// Real tables have holes: a column the agent does not implement, a row that lacks one cell, a
// column that ends before the others. The columns of one walk therefore advance together by
// row index. Each answer's row is the smallest index any column returned that still lies inside
// its column; a column whose answer has that index gives the cell, any other column gives a
// hole for the row (a binding with no value) and is asked again from the row just taken, so the
// columns stay aligned. A column whose answer lies past it (or carries an exception) has ended
// and gives holes from then on; it is no longer asked. The walk ends when every column has
// ended, on an error status, on an answer with fewer bindings than asked, or on an OID that
// does not increase within its column (an agent that would make the walk loop).
//
// A record that is not a column (the proxy record, when the records mark their columns) is
// carried along: its binding is taken as it comes and never ends the walk.
//
// Plain C++ on the codec, no Qt.
#pragma once

#include "qvsnmp/ber.h"

#include <vector>

namespace qvsnmp {

enum class WalkStop { None, Short, NotIncreasing };

// What was decided of a get-next or GETBULK answer when it came.
struct WalkAnswer {
    bool answered = false; // an answer of a walk: ends holds
    bool ends = false;
    WalkStop stop = WalkStop::None;
    int bulkRows = 0; // of a GETBULK answer, the rows that belong to the walk
};

// One record of a walk: its OID and whether it is a table column.
struct WalkRecord {
    ber::Oid oid;
    bool column = true;
};

// Where a walk stands between two requests: per record, the OID the next request asks from,
// and whether its column has ended. Empty: the next request starts from the records.
struct WalkCursor {
    std::vector<ber::Oid> next;
    std::vector<char> ended;
    bool empty() const { return next.empty(); }
};

// The bindings one request carries: the columns that have not ended, in record order.
struct WalkRequest {
    std::vector<int> records; // the record of each binding
    std::vector<ber::Oid> oids;
};

// What an answer brought: rows * records.size() bindings in record order, holes marked.
struct WalkRows {
    std::vector<ber::VarBind> bindings;
    std::vector<char> holes;
    int rows = 0;
    bool ends = true;
    WalkStop stop = WalkStop::None;
    WalkCursor cursor; // where the walk goes on, when it does not end
};

// Whether a binding of a column's walk leaves the column: an exception, or an OID that does
// not lie inside it.
bool leavesColumn(const WalkRecord& record, const ber::VarBind& binding);
// Whether an answer of one binding per record, in record order, holds no row: no binding at
// all, or a column's binding leaves its column (when the records mark columns, only they count:
// the proxy record's binding may run off the end of the agent's view while the columns go on).
bool leavesTable(const std::vector<WalkRecord>& records, const std::vector<ber::VarBind>& bindings);

// The request for the next step of the walk over records from cursor (from the records when
// the cursor is empty or was made for another number of records).
WalkRequest nextWalkRequest(const std::vector<WalkRecord>& records, const WalkCursor& cursor);
// The same, into request, in the storage it has: a walk asks one request a row.
void nextWalkRequest(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                     WalkRequest& request);

// Reads the answer to request. A get-next answer gives at most one row; a GETBULK answer
// (bindings in repetitions of the request's bindings) as many rows as it decides, stopping
// before a row some column has not answered far enough to decide. The cells of the rows are
// moved out of answer (which is left as it came when no row was taken).
WalkRows takeWalkAnswer(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                        const WalkRequest& request, ber::Pdu& answer, bool bulk);
// The same into out, in the storage it has; out.cursor is written only when the walk goes on.
void takeWalkAnswer(const std::vector<WalkRecord>& records, const WalkCursor& cursor,
                    const WalkRequest& request, ber::Pdu& answer, bool bulk, WalkRows& out);

} // namespace qvsnmp
