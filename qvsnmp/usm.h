// The user-based security model's users and keys (RFC 3414, RFC 7860, RFC 3826).
//
// A user is configured with passphrases; what a message is signed and encrypted with are keys
// localised to one engine. The megabyte of hashing a passphrase takes is done once per
// passphrase for the whole process; localising it to an engine is one short digest, and
// whoever holds the keys decides how many engines it keeps them for.
#pragma once

#include "qvsnmp/crypto.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace usm {

enum class Level : uint8_t { NoAuthNoPriv, AuthNoPriv, AuthPriv };

// Names as net-snmp's tools take them: the security level "noAuthNoPriv", "authNoPriv",
// "authPriv" (also "noauth", "auth", "priv"), any case; the authentication protocol "MD5",
// "SHA" ("SHA1"), "SHA-224", "SHA-256", "SHA-384", "SHA-512" (with or without the dash); the
// privacy protocol "AES" ("AES128", "AES-128"), "AES-192", "AES-256" or "DES". False for
// anything else.
bool parseLevel(std::string_view text, Level& out);
bool parseAuth(std::string_view text, crypto::Auth& out);
bool parsePriv(std::string_view text, crypto::Priv& out);
const char* levelName(Level level);

struct User {
    std::string name;
    Level level = Level::NoAuthNoPriv;
    crypto::Auth auth = crypto::Auth::None;
    crypto::Priv priv = crypto::Priv::None;
    crypto::Secret authPassphrase;
    crypto::Secret privPassphrase;
    std::string context;

    // What is missing or wrong for the user's level ("authPriv needs a privacy passphrase"),
    // empty when the user can be used. RFC 3414 asks passphrases of at least 8 characters,
    // counted as UTF-8 characters, not octets.
    std::string check() const;
};

// A user's keys localised to one engine. The privacy key is localised with the user's
// authentication protocol and holds crypto::privKeyLength octets: DES's key and pre-IV, or the
// AES key, lengthened by crypto::extendKey where the digest is shorter than the key.
struct Keys {
    crypto::Auth auth = crypto::Auth::None;
    crypto::Priv priv = crypto::Priv::None;
    crypto::Secret authKey;
    crypto::Secret privKey;
};

// The user's keys for engineId. Null when the user has no authentication (noAuthNoPriv).
// Safe from any thread.
std::shared_ptr<const Keys> localizedKeys(const User& user, std::string_view engineId);

} // namespace usm
