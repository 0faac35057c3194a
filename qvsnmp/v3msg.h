// SNMPv3 messages (RFC 3412) with the user-based security model's parameters (RFC 3414):
// encoding with authentication and privacy, and decoding in two steps, so that an agent can
// find the user's keys from the security parameters before the digest is checked and the
// scoped PDU decrypted. No Qt: the simulated agent and the fuzz targets link it.
#pragma once

#include "qvsnmp/ber.h"
#include "qvsnmp/usm.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace v3 {

constexpr int32_t Version3 = 3;
constexpr int32_t UsmSecurityModel = 3;
enum Flags : uint8_t { FlagAuth = 0x01, FlagPriv = 0x02, FlagReportable = 0x04 };
// RFC 3414: the time window either side of the authoritative engine's time, in seconds.
constexpr int32_t TimeWindow = 150;

struct Message {
    int32_t msgId = 0;
    int32_t maxSize = int32_t(ber::MaxMessage);
    uint8_t flags = 0;
    // the USM security parameters
    std::string engineId;
    int32_t boots = 0;
    int32_t time = 0;
    std::string userName;
    // the scoped PDU
    std::string contextEngineId;
    std::string contextName;
    ber::Pdu pdu;
};

// Why a message could not be processed; each but Parse has the counter an agent reports.
enum class Error {
    None,
    Parse,
    UnsupportedSecLevel,
    NotInTimeWindow,
    UnknownUserName,
    UnknownEngineId,
    WrongDigest,
    DecryptionError,
    UnknownContext,
};

// The counter's OID (usmStats…, snmpUnknownContexts) an agent reports for error.
ber::Oid reportOid(Error error);
// The error a report's first binding names; Parse for an OID of no known counter.
Error reportError(const ber::Oid& oid);
// A reason a person can read: "authentication failed, check the passphrase".
std::string reason(Error error);

// Encodes msg. With FlagPriv the scoped PDU is encrypted with keys->privKey, with FlagAuth the
// message is signed with keys->authKey; keys may be null for neither. Empty, with *why, when
// the keys or the cipher are missing.
std::vector<uint8_t> encode(const Message& msg, const usm::Keys* keys, std::string* why = nullptr);

// A message whose header and security parameters have been read; the scoped PDU is still as
// it came (encrypted or not) until open().
struct Incoming {
    Message msg;
    std::string authParams;
    std::string privParams;
    size_t authOffset = 0;    // where authParams' octets lie in the message
    bool encrypted = false;   // msgData is an encrypted OCTET STRING
    std::string_view payload; // the scoped PDU's encoding, or the encrypted octets
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The SNMP version a message claims, or -1 when it does not start like an SNMP message.
int32_t messageVersion(const uint8_t* data, size_t size);

// Reads header and security parameters; the bytes must outlive the result. Nullopt (with
// *why) for anything malformed, a security model other than USM, or flags that ask privacy
// without authentication.
std::optional<Incoming> parse(const uint8_t* data, size_t size, std::string* why = nullptr);

// Checks the digest of an authenticated message with the keys of the user it names (None for
// a message without authentication). Check it before the time window, and both before open().
Error authenticate(const Incoming& in, const usm::Keys* keys);
// Decrypts with keys when the message is encrypted and decodes the scoped PDU into in.msg.
Error open(Incoming& in, const usm::Keys* keys);

// Whether boots and time of a message lie within the window of an engine at ourBoots and
// ourTime (RFC 3414 3.2.7 a, the agent's side).
bool inTimeWindow(int32_t boots, int32_t time, int32_t ourBoots, int32_t ourTime);

// A manager's notion of an agent's engine clock: the boots and the latest time authentic
// messages from it carried, and when (in the caller's seconds) that time came.
struct EngineClock {
    int32_t boots = 0;
    int32_t latest = 0;
    int64_t latestAt = 0;
    // The agent's time now, as the clock has it.
    int32_t timeAt(int64_t now) const;
};
// RFC 3414 3.2.7 b, the manager's side, for an authentic message of boots and time that came
// at now: a message later than any before moves the clock on; one with older boots, a time
// more than the window behind the clock, or any once the boots are exhausted is outside the
// time window (false), a replay or an agent that lost its count of boots.
bool timely(EngineClock& clock, int32_t boots, int32_t time, int64_t now);

} // namespace v3
