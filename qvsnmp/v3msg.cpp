#include "qvsnmp/v3msg.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <random>

namespace v3 {

namespace {

// Salts differ for every encrypted message of the process; starting from a random point, they
// are unlikely to repeat those of an earlier run with the same keys and boots.
uint64_t nextSalt() {
    static std::atomic<uint64_t> counter{[] {
        uint64_t v = 0;
        if (!crypto::randomBytes(reinterpret_cast<uint8_t*>(&v), sizeof v)) {
            std::random_device rd;
            v = (uint64_t(rd()) << 32) | rd();
        }
        return v;
    }()};
    return counter.fetch_add(1);
}

void putBE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The IV of RFC 3826 (AES, whatever its key length: boots, time, salt) or RFC 3414 8.1.1.1 (DES:
// pre-IV xor salt).
void makeIv(const usm::Keys& keys, int32_t boots, int32_t time, const uint8_t* salt, uint8_t* iv) {
    if (keys.priv != crypto::Priv::DES) {
        putBE32(iv, uint32_t(boots));
        putBE32(iv + 4, uint32_t(time));
        std::memcpy(iv + 8, salt, 8);
    } else {
        for (int i = 0; i < 8; ++i)
            iv[i] = keys.privKey.data()[8 + i] ^ salt[i];
    }
}

bool privKeyFits(const usm::Keys& keys) {
    return keys.priv != crypto::Priv::None &&
           keys.privKey.size() >= crypto::privKeyLength(keys.priv);
}

constexpr uint32_t kUsmStats[] = {1, 3, 6, 1, 6, 3, 15, 1, 1};

} // namespace

ber::Oid reportOid(Error error) {
    ber::Oid oid(std::begin(kUsmStats), std::end(kUsmStats));
    switch (error) {
    case Error::UnsupportedSecLevel:
        oid.push_back(1);
        break;
    case Error::NotInTimeWindow:
        oid.push_back(2);
        break;
    case Error::UnknownUserName:
        oid.push_back(3);
        break;
    case Error::UnknownEngineId:
        oid.push_back(4);
        break;
    case Error::WrongDigest:
        oid.push_back(5);
        break;
    case Error::DecryptionError:
        oid.push_back(6);
        break;
    case Error::UnknownContext:
        return {1, 3, 6, 1, 6, 3, 12, 1, 5, 0};
    case Error::None:
    case Error::Parse:
        return {};
    }
    oid.push_back(0);
    return oid;
}

Error reportError(const ber::Oid& oid) {
    for (Error e : {Error::UnsupportedSecLevel, Error::NotInTimeWindow, Error::UnknownUserName,
                    Error::UnknownEngineId, Error::WrongDigest, Error::DecryptionError,
                    Error::UnknownContext})
        if (oid == reportOid(e)) return e;
    return Error::Parse;
}

std::string reason(Error error) {
    switch (error) {
    case Error::None:
        return {};
    case Error::Parse:
        return "the agent's message could not be read";
    case Error::UnsupportedSecLevel:
        return "unsupported security level for this user";
    case Error::NotInTimeWindow:
        return "not in time window: the agent's clock moved";
    case Error::UnknownUserName:
        return "unknown user name";
    case Error::UnknownEngineId:
        return "unknown engine id";
    case Error::WrongDigest:
        return "authentication failed, check the passphrase";
    case Error::DecryptionError:
        return "decryption error, check the privacy passphrase";
    case Error::UnknownContext:
        return "unknown context";
    }
    return {};
}

std::vector<uint8_t> encode(const Message& msg, const usm::Keys* keys, std::string* why) {
    auto fail = [&](const char* text) {
        if (why) *why = text;
        return std::vector<uint8_t>{};
    };
    const bool auth = msg.flags & FlagAuth;
    const bool priv = msg.flags & FlagPriv;
    if ((auth || priv) && (!keys || keys->auth == crypto::Auth::None || keys->authKey.empty()))
        return fail("no authentication key");
    if (priv && (!auth || !privKeyFits(*keys))) return fail("no privacy key");

    std::vector<uint8_t> scoped;
    scoped.reserve(64 + msg.pdu.bindings.size() * 32);
    const size_t s = ber::openElement(scoped, ber::Sequence);
    ber::appendOctets(scoped, msg.contextEngineId);
    ber::appendOctets(scoped, msg.contextName);
    ber::appendPdu(scoped, msg.pdu);
    ber::closeElement(scoped, s);

    std::string privParams;
    std::vector<uint8_t> msgData;
    if (priv) {
        uint8_t salt[8];
        const uint64_t counter = nextSalt();
        if (keys->priv == crypto::Priv::DES) {
            putBE32(salt, uint32_t(msg.boots));
            putBE32(salt + 4, uint32_t(counter));
            scoped.resize((scoped.size() + 7) / 8 * 8, 0); // DES-CBC pads to its block
        } else {
            putBE32(salt, uint32_t(counter >> 32));
            putBE32(salt + 4, uint32_t(counter));
        }
        uint8_t iv[16];
        makeIv(*keys, msg.boots, msg.time, salt, iv);
        std::vector<uint8_t> sealed(scoped.size());
        if (!crypto::encrypt(keys->priv, keys->privKey.data(), iv, scoped.data(), scoped.size(),
                             sealed.data()))
            return fail(keys->priv == crypto::Priv::DES && !crypto::desAvailable()
                            ? "DES is not available in the installed OpenSSL"
                            : "encryption failed");
        ber::appendOctets(msgData, {reinterpret_cast<const char*>(sealed.data()), sealed.size()});
        privParams.assign(reinterpret_cast<const char*>(salt), sizeof salt);
    } else {
        msgData = std::move(scoped);
    }

    const size_t macLen = auth ? crypto::macLength(keys->auth) : 0;
    std::vector<uint8_t> sec;
    const size_t q = ber::openElement(sec, ber::Sequence);
    ber::appendOctets(sec, msg.engineId);
    ber::appendInteger(sec, msg.boots);
    ber::appendInteger(sec, msg.time);
    ber::appendOctets(sec, msg.userName);
    ber::appendOctets(sec, std::string(macLen, '\0'));
    ber::appendOctets(sec, privParams);
    ber::closeElement(sec, q);

    std::vector<uint8_t> out;
    out.reserve(sec.size() + msgData.size() + 32);
    const size_t m = ber::openElement(out, ber::Sequence);
    ber::appendInteger(out, Version3);
    const size_t g = ber::openElement(out, ber::Sequence);
    ber::appendInteger(out, msg.msgId);
    ber::appendInteger(out, msg.maxSize);
    ber::appendOctets(out, std::string(1, char(msg.flags)));
    ber::appendInteger(out, UsmSecurityModel);
    ber::closeElement(out, g);
    ber::appendOctets(out, {reinterpret_cast<const char*>(sec.data()), sec.size()});
    out.insert(out.end(), msgData.begin(), msgData.end());
    ber::closeElement(out, m);

    if (auth) {
        // The authentication parameters are followed only by the privacy parameters (of fewer
        // than 128 octets, so with a length of one octet) and the message data.
        const size_t offset = out.size() - msgData.size() - (2 + privParams.size()) - macLen;
        uint8_t mac[crypto::MaxDigest];
        if (!crypto::hmac(keys->auth, keys->authKey, out.data(), out.size(), mac))
            return fail("authentication failed in the crypto library");
        std::memcpy(out.data() + offset, mac, macLen);
    }
    return out;
}

int32_t messageVersion(const uint8_t* data, size_t size) {
    try {
        ber::Reader top{data, size, 0};
        ber::Reader msg = top.expect(ber::Sequence);
        return msg.int32();
    } catch (const ber::Fail&) {
        return -1;
    }
}

std::optional<Incoming> parse(const uint8_t* data, size_t size, std::string* why) {
    try {
        if (size > ber::MaxMessage) throw ber::Fail{"message too large"};
        Incoming in;
        in.data = data;
        in.size = size;
        ber::Reader top{data, size, 0};
        ber::Reader msg = top.expect(ber::Sequence);
        if (!top.atEnd()) throw ber::Fail{"trailing bytes after message"};
        if (msg.int32() != Version3) throw ber::Fail{"not an SNMPv3 message"};
        ber::Reader global = msg.expect(ber::Sequence);
        in.msg.msgId = global.int32();
        in.msg.maxSize = global.int32();
        const std::string flags = global.octets();
        const int32_t model = global.int32();
        if (!global.atEnd()) throw ber::Fail{"trailing bytes in the header"};
        if (in.msg.msgId < 0 || in.msg.maxSize < 484)
            throw ber::Fail{"message id or maximum size out of range"};
        if (flags.size() != 1) throw ber::Fail{"flags are not one octet"};
        in.msg.flags = uint8_t(flags[0]);
        if ((in.msg.flags & FlagPriv) && !(in.msg.flags & FlagAuth))
            throw ber::Fail{"privacy without authentication"};
        if (model != UsmSecurityModel) throw ber::Fail{"security model is not USM"};

        ber::Reader secOctets = msg.expect(ber::OctetString);
        ber::Reader sec = secOctets.expect(ber::Sequence);
        if (!secOctets.atEnd()) throw ber::Fail{"trailing bytes after the security parameters"};
        in.msg.engineId = sec.octets();
        in.msg.boots = sec.int32();
        in.msg.time = sec.int32();
        in.msg.userName = sec.octets();
        ber::Reader authParams = sec.expect(ber::OctetString);
        in.authOffset = size_t(authParams.p - data);
        in.authParams.assign(reinterpret_cast<const char*>(authParams.p), authParams.n);
        in.privParams = sec.octets();
        if (!sec.atEnd()) throw ber::Fail{"trailing bytes in the security parameters"};
        if (in.msg.engineId.size() > 32 || in.msg.userName.size() > 32 || in.msg.boots < 0 ||
            in.msg.time < 0)
            throw ber::Fail{"security parameters out of range"};

        const uint8_t* start = msg.p;
        uint8_t tag;
        ber::Reader payload = msg.element(tag);
        if (!msg.atEnd()) throw ber::Fail{"trailing bytes after the scoped PDU"};
        in.encrypted = tag == ber::OctetString;
        if (in.encrypted != bool(in.msg.flags & FlagPriv) ||
            (tag != ber::OctetString && tag != ber::Sequence))
            throw ber::Fail{"scoped PDU does not match the privacy flag"};
        if (in.encrypted)
            in.payload = {reinterpret_cast<const char*>(payload.p), payload.n};
        else
            in.payload = {reinterpret_cast<const char*>(start), size_t(msg.p - start)};
        return in;
    } catch (const ber::Fail& f) {
        if (why) *why = f.why;
        return std::nullopt;
    }
}

Error authenticate(const Incoming& in, const usm::Keys* keys) {
    if (!(in.msg.flags & FlagAuth)) return Error::None;
    if (!keys || keys->auth == crypto::Auth::None || keys->authKey.empty())
        return Error::UnsupportedSecLevel;
    const size_t macLen = crypto::macLength(keys->auth);
    if (in.authParams.size() != macLen || in.authOffset + macLen > in.size)
        return Error::WrongDigest;
    std::vector<uint8_t> copy(in.data, in.data + in.size);
    std::memset(copy.data() + in.authOffset, 0, macLen);
    uint8_t mac[crypto::MaxDigest];
    if (!crypto::hmac(keys->auth, keys->authKey, copy.data(), copy.size(), mac) ||
        !crypto::sameBytes(mac, in.authParams.data(), macLen))
        return Error::WrongDigest;
    return Error::None;
}

Error open(Incoming& in, const usm::Keys* keys) {
    const bool priv = in.msg.flags & FlagPriv;
    std::vector<uint8_t> plain;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(in.payload.data());
    size_t n = in.payload.size();
    if (priv) {
        if (!keys || keys->priv == crypto::Priv::None || !privKeyFits(*keys))
            return Error::UnsupportedSecLevel;
        if (in.privParams.size() != 8 || (keys->priv == crypto::Priv::DES && n % 8 != 0))
            return Error::DecryptionError;
        uint8_t iv[16];
        makeIv(*keys, in.msg.boots, in.msg.time,
               reinterpret_cast<const uint8_t*>(in.privParams.data()), iv);
        plain.resize(n);
        if (!crypto::decrypt(keys->priv, keys->privKey.data(), iv, p, n, plain.data()))
            return Error::DecryptionError;
        p = plain.data();
    }
    try {
        ber::Reader top{p, n, 0};
        ber::Reader scoped = top.expect(ber::Sequence);
        // DES pads the scoped PDU to its block; what follows it is padding.
        if (!priv && !top.atEnd()) throw ber::Fail{"trailing bytes after the scoped PDU"};
        in.msg.contextEngineId = scoped.octets();
        in.msg.contextName = scoped.octets();
        in.msg.pdu = scoped.pdu();
        if (!scoped.atEnd()) throw ber::Fail{"trailing bytes after the PDU"};
    } catch (const ber::Fail&) {
        return priv ? Error::DecryptionError : Error::Parse;
    }
    return Error::None;
}

bool inTimeWindow(int32_t boots, int32_t time, int32_t ourBoots, int32_t ourTime) {
    return ourBoots != INT32_MAX && boots == ourBoots && time >= ourTime - TimeWindow &&
           time <= ourTime + TimeWindow;
}

int32_t EngineClock::timeAt(int64_t now) const {
    return int32_t(std::clamp<int64_t>(int64_t(latest) + now - latestAt, 0, INT32_MAX));
}

bool timely(EngineClock& clock, int32_t boots, int32_t time, int64_t now) {
    if (boots > clock.boots || (boots == clock.boots && time > clock.latest))
        clock = {boots, time, now};
    return clock.boots != INT32_MAX && boots == clock.boots &&
           int64_t(time) >= int64_t(clock.timeAt(now)) - TimeWindow;
}

} // namespace v3
