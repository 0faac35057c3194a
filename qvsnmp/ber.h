// BER encoding and decoding of SNMPv1/v2c messages.
//
// Plain C++ with no Qt, so that the simulated agent links it as well. Decoding works on a byte
// range, never reads past it, checks every length against what is left, refuses messages over
// MaxMessage bytes and structures nested deeper than MaxDepth, and rejects anything it cannot
// read exactly instead of guessing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ber {

enum Tag : uint8_t {
    Integer = 0x02,
    OctetString = 0x04,
    Null = 0x05,
    ObjectId = 0x06,
    Sequence = 0x30,
    IpAddress = 0x40,
    Counter32 = 0x41,
    Gauge32 = 0x42,
    TimeTicks = 0x43,
    Opaque = 0x44,
    Counter64 = 0x46,
    NoSuchObject = 0x80,
    NoSuchInstance = 0x81,
    EndOfMibView = 0x82,
    GetRequest = 0xA0,
    GetNextRequest = 0xA1,
    Response = 0xA2,
    SetRequest = 0xA3,
    // v2c only; non-repeaters and max-repetitions travel as error status and index
    GetBulkRequest = 0xA5,
    InformRequest = 0xA6,
    SNMPv2Trap = 0xA7,
    Report = 0xA8, // SNMPv3: the agent's answer to a message it could not process
};

enum Version : int32_t { V1 = 0, V2c = 1 };

// Error statuses of RFC 1157 and RFC 3416.
enum ErrorStatus : int32_t {
    NoError = 0,
    TooBig = 1,
    NoSuchName = 2,
    BadValue = 3,
    ReadOnly = 4,
    GenErr = 5,
    NoAccess = 6,
    WrongType = 7,
    WrongLength = 8,
    WrongEncoding = 9,
    WrongValue = 10,
    NoCreation = 11,
    InconsistentValue = 12,
    ResourceUnavailable = 13,
    CommitFailed = 14,
    UndoFailed = 15,
    AuthorizationError = 16,
    NotWritable = 17,
    InconsistentName = 18,
};

constexpr size_t MaxMessage = 65507; // largest UDP payload over IPv4
constexpr int MaxDepth = 8;          // message > PDU > bindings > binding > value, with room
constexpr size_t MaxOidLength = 128; // sub-identifiers, as RFC 2578 allows

using Oid = std::vector<uint32_t>;

// "1.3.6.1" or ".1.3.6.1"; false for anything else (empty parts, non-digits, overflow, more
// than MaxOidLength parts, fewer than two, first two arcs that do not fit one sub-identifier).
bool parseOid(std::string_view text, Oid& out);
std::string oidToString(const Oid& oid); // dotted, no leading dot
// a is b or lies below it
bool oidStartsWith(const Oid& a, const Oid& b);

// A binding's value. Integer types carry their number in integer, unless it does not fit what
// the type promises (more than 64 bits): then octets holds the content as it came. Every type
// without a number or OID, known or not (Opaque, NsapAddress, an IpAddress of the wrong length,
// anything new), carries its content in octets under its own tag.
struct Value {
    uint8_t type = Null;
    int64_t integer = 0; // Integer (signed), Counter32, Gauge32, TimeTicks, Counter64 (unsigned)
    std::string octets;  // OctetString, Opaque, IpAddress, unknown types; an oversized number
    Oid oid;             // ObjectId

    static Value null() { return {}; }
    static Value makeInteger(int32_t v) { return {Integer, v, {}, {}}; }
    static Value makeUnsigned(uint8_t t, uint64_t v) { return {t, int64_t(v), {}, {}}; }
    static Value makeOctets(std::string s, uint8_t t = OctetString) {
        return {t, 0, std::move(s), {}};
    }
    static Value makeOid(Oid o) { return {ObjectId, 0, {}, std::move(o)}; }
    static Value makeIp(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return {IpAddress, 0, std::string{char(a), char(b), char(c), char(d)}, {}};
    }
    static Value exception(uint8_t t) { return {t, 0, {}, {}}; }
    uint64_t unsignedValue() const { return uint64_t(integer); }
    bool isException() const {
        return type == NoSuchObject || type == NoSuchInstance || type == EndOfMibView;
    }
    // The value as a number for code that computes: a Counter32, Gauge32 or TimeTicks within 32
    // bits, a Counter64, a non-negative Integer; nullopt for anything else (an exception, text,
    // a number too large for its type).
    std::optional<uint64_t> number() const {
        if (!octets.empty()) return std::nullopt;
        switch (type) {
        case Integer:
            return integer >= 0 ? std::optional<uint64_t>(uint64_t(integer)) : std::nullopt;
        case Counter32:
        case Gauge32:
        case TimeTicks:
            return uint64_t(integer) <= 0xFFFFFFFFu ? std::optional<uint64_t>(uint64_t(integer))
                                                    : std::nullopt;
        case Counter64:
            return uint64_t(integer);
        default:
            return std::nullopt;
        }
    }
};

struct VarBind {
    Oid oid;
    Value value;
};

// In a GetBulkRequest, errorStatus carries non-repeaters and errorIndex max-repetitions.
struct Pdu {
    uint8_t type = GetRequest;
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<VarBind> bindings;
};

struct Message {
    int32_t version = V2c;
    std::string community;
    Pdu pdu;
};

std::vector<uint8_t> encode(const Message& msg);
// The octets one binding takes in an encoded message, so that an answer can be cut to a size.
size_t encodedSize(const VarBind& vb);

// nullopt on any malformed input; *why (when given) says what was wrong.
std::optional<Message> decode(const uint8_t* data, size_t size, std::string* why = nullptr);

const char* errorStatusName(int32_t status);

// ---- the pieces the SNMPv3 message layer wraps the same PDU in -----------------------------

void appendInteger(std::vector<uint8_t>& out, int64_t v);
void appendOctets(std::vector<uint8_t>& out, std::string_view bytes);
void appendPdu(std::vector<uint8_t>& out, const Pdu& pdu);
// A constructed element: its tag and a placeholder length, patched by closeElement.
size_t openElement(std::vector<uint8_t>& out, uint8_t tag);
void closeElement(std::vector<uint8_t>& out, size_t start);

// What a Reader throws on malformed input.
struct Fail {
    const char* why;
};

// A cursor over exactly the content of one element, by the rules decode() keeps.
struct Reader {
    const uint8_t* p;
    size_t n;
    int depth;

    bool atEnd() const { return n == 0; }
    uint8_t byte();
    // Reads a tag and length; returns a reader over exactly the content and skips it here.
    Reader element(uint8_t& tag);
    Reader expect(uint8_t want);
    int32_t int32();
    std::string octets();
    // A PDU of any request type, a Response or a Report, with nothing after its bindings.
    Pdu pdu();
};

} // namespace ber
