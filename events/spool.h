// The spool between snmptrapd and talvex-eventd. A few lines of Perl inside snmptrapd
// (talvex-spool.pl) append one record per notification to DIR/spool; talvex-eventd reads the
// records from its committed position and, once the file has grown past a bound and all of it
// is in the journal, renames it to DIR/spool.old under the writer's lock, finishes that file and
// deletes it. The writer notices the rename on its next record and starts a new file.
//
// The file: "talvex-spool 1 ID\n", then records "@LENGTH\n" followed by LENGTH bytes: header
// lines "name value" (type TRAP|INFORM, request, version, transport, security, engine,
// received), an empty line, then one "OID value" line per binding as a traphandle program reads
// them. The ID names the file, so that a position committed in the journal is never applied to
// another file. Everything read here comes from the network through snmptrapd: every length is
// bounded, and bytes that are no record are skipped and counted.
#pragma once

#include "events/trapinput.h"

#include <cstdint>
#include <string>
#include <vector>

namespace events {

inline constexpr size_t kMaxRecord = 1u << 20;      // bytes of one record's body
inline constexpr int64_t kRotateBytes = 16ll << 20; // a consumed spool larger is set aside

// Where talvex-eventd has got to: which file and how far into it.
struct SpoolPosition {
    std::string file; // the file's ID; empty before any
    int64_t offset = 0;
    bool operator==(const SpoolPosition&) const = default;
};

struct SpoolRecord {
    PduType type = PduType::Trap;
    int64_t requestId = -1;
    std::string version; // 0, 1 (v2c) or 3, as snmptrapd numbers them
    std::string transport;
    std::string securityName;
    std::string engineId; // hex; SNMPv3 only
    int64_t receivedMs = 0;
    std::string bindings; // the "OID value" lines
};

// The record as the handler input it stands for: the transport line, then the bindings, with
// the PDU's own details beside them.
HandlerInput InputOf(const SpoolRecord& record);

// One record as the Perl hand-over writes it (for tests and tools that play snmptrapd).
std::string FormatRecord(const SpoolRecord& record);
// The first line of a spool file with id.
std::string SpoolFileHeader(const std::string& id);

class SpoolReader {
public:
    // A consumed spool is set aside once past rotateBytes.
    explicit SpoolReader(std::string dir, int64_t rotateBytes = kRotateBytes)
        : m_dir(std::move(dir)), m_rotateBytes(rotateBytes) {}
    ~SpoolReader();
    SpoolReader(const SpoolReader&) = delete;
    SpoolReader& operator=(const SpoolReader&) = delete;

    // Up to max records after from, and the position after them in next. next differs from
    // from also when only bytes that are no record were passed, or when the reader moved on to
    // the next file. False with *why when the spool cannot be read (it is not a regular file of
    // this user or root, ...); the position is kept then.
    bool read(const SpoolPosition& from, size_t max, std::vector<SpoolRecord>& out,
              SpoolPosition& next, std::string* why);
    // Says that the journal holds everything up to at: a finished old file is deleted, and a
    // current one past the rotation bound that is read to its end is set aside.
    void committed(const SpoolPosition& at);
    // Bytes skipped since the last call because they were no record.
    uint64_t takeSkipped();

private:
    struct File {
        int fd = -1;
        std::string id;
        int64_t dataStart = 0; // after the header line
        uint64_t dev = 0, ino = 0;
    };
    bool openFile(const std::string& path, File& f, std::string* why);
    void closeFile(File& f);
    // Records of f from offset; returns the offset after the last whole one.
    int64_t readRecords(File& f, int64_t offset, size_t max, std::vector<SpoolRecord>& out,
                        bool& atEnd);

    std::string m_dir;
    int64_t m_rotateBytes;
    File m_current, m_old;
    bool m_oldLocked = false;
    uint64_t m_skipped = 0;
};

} // namespace events
