#include "qvsnmp/ber.h"

#include <algorithm>
#include <charconv>

namespace ber {

namespace {

// ---- encoding ----------------------------------------------------------------------------

void putLength(std::vector<uint8_t>& out, size_t len) {
    if (len < 0x80) {
        out.push_back(uint8_t(len));
        return;
    }
    uint8_t tmp[sizeof(size_t)];
    int n = 0;
    while (len > 0) {
        tmp[n++] = uint8_t(len & 0xFF);
        len >>= 8;
    }
    out.push_back(uint8_t(0x80 | n));
    while (n > 0)
        out.push_back(tmp[--n]);
}

// Writes tag and a placeholder; finish() patches the length once the content is known.
size_t open(std::vector<uint8_t>& out, uint8_t tag) {
    out.push_back(tag);
    out.push_back(0);
    return out.size();
}

void finish(std::vector<uint8_t>& out, size_t start) {
    size_t len = out.size() - start;
    if (len < 0x80) {
        out[start - 1] = uint8_t(len);
        return;
    }
    std::vector<uint8_t> lenBytes;
    putLength(lenBytes, len);
    out[start - 1] = lenBytes[0];
    out.insert(out.begin() + std::ptrdiff_t(start), lenBytes.begin() + 1, lenBytes.end());
}

// n octets more at the end of out, to be written.
uint8_t* grow(std::vector<uint8_t>& out, size_t n) {
    const size_t at = out.size();
    out.resize(at + n);
    return out.data() + at;
}

void putSigned(std::vector<uint8_t>& out, uint8_t tag, int64_t v) {
    // Minimal two's complement: the fewest octets that hold v with its sign.
    int n = 1;
    while (n < 8 && (v < -(int64_t(1) << (8 * n - 1)) || v >= (int64_t(1) << (8 * n - 1))))
        ++n;
    // A few octets: pushed one by one, cheaper than making room for them.
    out.push_back(tag);
    out.push_back(uint8_t(n));
    for (int i = n - 1; i >= 0; --i)
        out.push_back(uint8_t(uint64_t(v) >> (8 * i)));
}

void putUnsigned(std::vector<uint8_t>& out, uint8_t tag, uint64_t v) {
    uint8_t tmp[9];
    tmp[0] = 0;
    for (int i = 0; i < 8; ++i)
        tmp[1 + i] = uint8_t(v >> ((7 - i) * 8));
    int first = 0;
    while (first < 8 && tmp[first] == 0 && !(tmp[first + 1] & 0x80))
        ++first;
    out.push_back(tag);
    out.push_back(uint8_t(9 - first));
    for (int i = first; i < 9; ++i)
        out.push_back(tmp[i]);
}

void putBytes(std::vector<uint8_t>& out, uint8_t tag, std::string_view bytes) {
    out.push_back(tag);
    putLength(out, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

size_t subIdSize(uint32_t v) {
    return v < (1u << 7) ? 1 : v < (1u << 14) ? 2 : v < (1u << 21) ? 3 : v < (1u << 28) ? 4 : 5;
}

uint8_t* putSubId(uint8_t* p, uint32_t v) {
    for (size_t k = subIdSize(v) - 1; k > 0; --k)
        *p++ = uint8_t(((v >> (7 * k)) & 0x7F) | 0x80);
    *p++ = uint8_t(v & 0x7F);
    return p;
}

void putOid(std::vector<uint8_t>& out, const Oid& oid) {
    if (oid.size() < 2 || oid[0] > 2) {
        // Not a valid OID; encode as 0.0 so that the peer sees something harmless.
        uint8_t* p = grow(out, 3);
        p[0] = ObjectId;
        p[1] = 1;
        p[2] = 0;
        return;
    }
    const uint32_t first = oid[0] * 40 + oid[1];
    size_t len = subIdSize(first);
    for (size_t i = 2; i < oid.size(); ++i)
        len += subIdSize(oid[i]);
    out.push_back(ObjectId);
    putLength(out, len);
    uint8_t* p = putSubId(grow(out, len), first);
    for (size_t i = 2; i < oid.size(); ++i)
        p = putSubId(p, oid[i]);
}

void putValue(std::vector<uint8_t>& out, const Value& v) {
    switch (v.type) {
    case Integer:
    case Counter32:
    case Gauge32:
    case TimeTicks:
    case Counter64:
        if (!v.octets.empty()) // a number too large for its type, kept as it came
            putBytes(out, v.type, v.octets);
        else if (v.type == Integer)
            putSigned(out, Integer, v.integer);
        else
            putUnsigned(out, v.type, v.unsignedValue());
        break;
    case ObjectId:
        putOid(out, v.oid);
        break;
    case Null:
    case NoSuchObject:
    case NoSuchInstance:
    case EndOfMibView:
        out.push_back(v.type);
        out.push_back(0);
        break;
    default: // OCTET STRING, IpAddress, Opaque and types the codec does not know
        putBytes(out, v.type, v.octets);
        break;
    }
}

void putBinding(std::vector<uint8_t>& out, const VarBind& vb) {
    size_t b = open(out, Sequence);
    putOid(out, vb.oid);
    putValue(out, vb.value);
    finish(out, b);
}

// ---- decoding ----------------------------------------------------------------------------

// The content of an INTEGER or of an application integer type, when it does not fit what the
// type promises (more than 8 significant octets, a negative Counter): kept as it came, so that
// the binding and the rest of the message survive. Leading octets that only repeat the sign are
// dropped first, so a padded small number still reads as a number.
bool keepRaw(const Reader& r, Value& v, bool isSigned) {
    if (r.n == 0) throw Fail{"empty integer"};
    size_t first = 0;
    while (first + 1 < r.n && ((r.p[first] == 0x00 && !(r.p[first + 1] & 0x80)) ||
                               (isSigned && r.p[first] == 0xFF && (r.p[first + 1] & 0x80))))
        ++first;
    const size_t len = r.n - first;
    const bool fits = isSigned ? len <= 8 : (len <= 8 || (len == 9 && r.p[first] == 0x00));
    if (fits) {
        uint64_t u = (isSigned && (r.p[first] & 0x80)) ? ~uint64_t(0) : 0;
        for (size_t i = first; i < r.n; ++i)
            u = (u << 8) | r.p[i];
        v.integer = int64_t(u);
        return false;
    }
    v.octets.assign(reinterpret_cast<const char*>(r.p), r.n);
    return true;
}

int64_t readSigned(const Reader& r, size_t maxLen) {
    if (r.n == 0 || r.n > maxLen) throw Fail{"bad integer length"};
    int64_t v = (r.p[0] & 0x80) ? -1 : 0;
    for (size_t i = 0; i < r.n; ++i)
        v = int64_t((uint64_t(v) << 8) | r.p[i]);
    return v;
}

Oid readOidContent(const Reader& r) {
    if (r.n == 0) throw Fail{"empty object identifier"};
    // At most one arc an octet, and the first holds two: room for all of them at once, cut to
    // what was read at the end.
    Oid oid(std::min(r.n + 1, MaxOidLength + 1));
    size_t k = 0;
    size_t i = 0;
    while (i < r.n) {
        uint64_t v = r.p[i];
        if (v < 0x80) { // one octet, as nearly every arc is
            ++i;
        } else {
            if (v == 0x80) throw Fail{"non-minimal sub-identifier"};
            v = 0;
            int bytes = 0;
            while (true) {
                if (i >= r.n) throw Fail{"truncated sub-identifier"};
                uint8_t b = r.p[i++];
                v = (v << 7) | (b & 0x7F);
                if (++bytes > 5 || v > 0xFFFFFFFFull) throw Fail{"sub-identifier too large"};
                if (!(b & 0x80)) break;
            }
        }
        if (k == 0) {
            uint32_t a = v < 40 ? 0 : v < 80 ? 1 : 2;
            oid[k++] = a;
            oid[k++] = uint32_t(v - 40ull * a);
        } else {
            if (k == MaxOidLength) throw Fail{"object identifier too long"};
            oid[k++] = uint32_t(v);
        }
    }
    oid.resize(k);
    return oid;
}

Value readValue(Reader& parent) {
    uint8_t tag;
    Reader r = parent.element(tag);
    Value v;
    v.type = tag;
    switch (tag) {
    case Integer:
        keepRaw(r, v, true);
        break;
    case Counter32:
    case Gauge32:
    case TimeTicks:
    case Counter64:
        // Agents that write an unsigned value without its leading zero octet (FF FF FF FF for
        // 4294967295) are read as they mean it.
        keepRaw(r, v, false);
        break;
    case ObjectId:
        v.oid = readOidContent(r);
        break;
    case Null:
    case NoSuchObject:
    case NoSuchInstance:
    case EndOfMibView:
        if (r.n != 0) throw Fail{"null value with content"};
        break;
    default:
        // OCTET STRING, IpAddress of any length, Opaque, NsapAddress, and any type this codec
        // does not know: the octets as they came, under their own tag.
        if (tag & 0x20) throw Fail{"constructed value"};
        v.octets.assign(reinterpret_cast<const char*>(r.p), r.n);
        break;
    }
    return v;
}

} // namespace

uint8_t Reader::byte() {
    if (n == 0) throw Fail{"truncated"};
    --n;
    return *p++;
}

Reader Reader::element(uint8_t& tag) {
    if (n == 0) throw Fail{"truncated"};
    tag = p[0];
    if ((tag & 0x1F) == 0x1F) throw Fail{"multi-byte tag"};
    if (n == 1) throw Fail{"truncated"};
    size_t len = p[1];
    p += 2;
    n -= 2;
    if (len >= 0x80) {
        const size_t count = len & 0x7F;
        if (count == 0) throw Fail{"indefinite length"};
        if (count > 4) throw Fail{"length field too long"};
        if (count > n) throw Fail{"truncated"};
        len = 0;
        for (size_t i = 0; i < count; ++i)
            len = (len << 8) | p[i];
        p += count;
        n -= count;
    }
    if (len > n) throw Fail{"length beyond input"};
    Reader inner{p, len, depth + 1};
    if (inner.depth > MaxDepth) throw Fail{"nested too deep"};
    p += len;
    n -= len;
    return inner;
}

Reader Reader::expect(uint8_t want) {
    uint8_t tag;
    Reader r = element(tag);
    if (tag != want) throw Fail{"unexpected tag"};
    return r;
}

int32_t Reader::int32() {
    Reader r = expect(Integer);
    return int32_t(readSigned(r, 4));
}

std::string Reader::octets() {
    Reader r = expect(OctetString);
    return std::string(reinterpret_cast<const char*>(r.p), r.n);
}

Pdu Reader::pdu() {
    uint8_t tag;
    Reader pdu = element(tag);
    if (tag != GetRequest && tag != GetNextRequest && tag != Response && tag != SetRequest &&
        tag != GetBulkRequest && tag != Report)
        throw Fail{"unsupported PDU type"};
    Pdu m;
    m.type = tag;
    m.requestId = pdu.int32();
    m.errorStatus = pdu.int32();
    m.errorIndex = pdu.int32();
    Reader list = pdu.expect(Sequence);
    if (!pdu.atEnd()) throw Fail{"trailing bytes after bindings"};
    while (!list.atEnd()) {
        Reader vb = list.expect(Sequence);
        VarBind& b = m.bindings.emplace_back();
        Reader oid = vb.expect(ObjectId);
        b.oid = readOidContent(oid);
        b.value = readValue(vb);
        if (!vb.atEnd()) throw Fail{"trailing bytes in binding"};
    }
    return m;
}

void appendInteger(std::vector<uint8_t>& out, int64_t v) {
    putSigned(out, Integer, v);
}

void appendOctets(std::vector<uint8_t>& out, std::string_view bytes) {
    putBytes(out, OctetString, bytes);
}

void appendPdu(std::vector<uint8_t>& out, const Pdu& pdu) {
    size_t p = open(out, pdu.type);
    putSigned(out, Integer, pdu.requestId);
    putSigned(out, Integer, pdu.errorStatus);
    putSigned(out, Integer, pdu.errorIndex);
    size_t l = open(out, Sequence);
    for (const VarBind& vb : pdu.bindings)
        putBinding(out, vb);
    finish(out, l);
    finish(out, p);
}

size_t openElement(std::vector<uint8_t>& out, uint8_t tag) {
    return open(out, tag);
}

void closeElement(std::vector<uint8_t>& out, size_t start) {
    finish(out, start);
}

bool parseOid(std::string_view text, Oid& out) {
    out.clear();
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    if (text.empty()) return false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t dot = text.find('.', pos);
        std::string_view part =
            text.substr(pos, dot == std::string_view::npos ? text.npos : dot - pos);
        if (part.empty()) return false;
        uint32_t v = 0;
        auto res = std::from_chars(part.data(), part.data() + part.size(), v);
        if (res.ec != std::errc() || res.ptr != part.data() + part.size()) return false;
        out.push_back(v);
        if (out.size() > MaxOidLength) return false;
        if (dot == std::string_view::npos) break;
        pos = dot + 1;
    }
    // The first two arcs share one sub-identifier of 32 bits: 2.x only up to x = 2^32 - 81.
    if (out.size() < 2 || out[0] > 2 || (out[0] < 2 && out[1] >= 40) ||
        (out[0] == 2 && out[1] > 0xFFFFFFFFu - 80))
        return false;
    return true;
}

std::string oidToString(const Oid& oid) {
    std::string s;
    s.reserve(oid.size() * 4);
    char buf[12];
    for (size_t i = 0; i < oid.size(); ++i) {
        if (i) s.push_back('.');
        auto r = std::to_chars(buf, buf + sizeof buf, oid[i]);
        s.append(buf, r.ptr);
    }
    return s;
}

bool oidStartsWith(const Oid& a, const Oid& b) {
    return a.size() >= b.size() && std::equal(b.begin(), b.end(), a.begin());
}

size_t encodedSize(const VarBind& vb) {
    thread_local std::vector<uint8_t> scratch;
    scratch.clear();
    putBinding(scratch, vb);
    return scratch.size();
}

std::vector<uint8_t> encode(const Message& msg) {
    std::vector<uint8_t> out;
    out.reserve(64 + msg.community.size() + msg.pdu.bindings.size() * 32);
    size_t m = open(out, Sequence);
    putSigned(out, Integer, msg.version);
    putBytes(out, OctetString, msg.community);
    appendPdu(out, msg.pdu);
    finish(out, m);
    return out;
}

std::optional<Message> decode(const uint8_t* data, size_t size, std::string* why) {
    try {
        if (size > MaxMessage) throw Fail{"message too large"};
        Reader top{data, size, 0};
        Reader msg = top.expect(Sequence);
        if (!top.atEnd()) throw Fail{"trailing bytes after message"};
        Message m;
        m.version = msg.int32();
        if (m.version != V1 && m.version != V2c) throw Fail{"unsupported version"};
        m.community = msg.octets();
        m.pdu = msg.pdu();
        if (m.pdu.type == Report) throw Fail{"unsupported PDU type"};
        if (!msg.atEnd()) throw Fail{"trailing bytes after PDU"};
        return m;
    } catch (const Fail& f) {
        if (why) *why = f.why;
        return std::nullopt;
    }
}

const char* errorStatusName(int32_t status) {
    static const char* const names[] = {"noError",
                                        "tooBig",
                                        "noSuchName",
                                        "badValue",
                                        "readOnly",
                                        "genErr",
                                        "noAccess",
                                        "wrongType",
                                        "wrongLength",
                                        "wrongEncoding",
                                        "wrongValue",
                                        "noCreation",
                                        "inconsistentValue",
                                        "resourceUnavailable",
                                        "commitFailed",
                                        "undoFailed",
                                        "authorizationError",
                                        "notWritable",
                                        "inconsistentName"};
    if (status >= 0 && status < int32_t(sizeof names / sizeof names[0])) return names[status];
    return "unknownError";
}

} // namespace ber
