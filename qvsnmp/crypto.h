// The cryptography SNMPv3's user-based security model needs, on OpenSSL's libcrypto: digests,
// HMAC, AES (128, 192 and 256-bit keys) in CFB mode and DES in CBC mode. No Qt, so that the
// simulated agent links it.
//
// DES-CBC lives in OpenSSL 3's legacy provider; desAvailable() loads it on first use and says
// why when it cannot, and the DES calls then fail rather than fall back to anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace crypto {

enum class Auth : uint8_t { None, MD5, SHA1, SHA224, SHA256, SHA384, SHA512 };
enum class Priv : uint8_t { None, DES, AES128, AES192, AES256 };

// Bytes of a passphrase or a key. Kept in pages of their own that are left out of core dumps
// and locked in memory where the platform allows, and wiped before they are given back.
class Secret {
public:
    Secret() = default;
    explicit Secret(std::string_view bytes);
    Secret(const Secret& other) : Secret(other.view()) {}
    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret other) noexcept;
    ~Secret();

    const uint8_t* data() const { return m_data; }
    uint8_t* data() { return m_data; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {reinterpret_cast<const char*>(m_data), m_size}; }
    // A secret of size octets, zeroed.
    static Secret ofSize(size_t size);
    friend bool operator==(const Secret& a, const Secret& b) { return a.view() == b.view(); }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_mapped = 0;
};

// The full digest and the truncated HMAC that travels in a message (RFC 3414, RFC 7860).
size_t digestLength(Auth auth);
size_t macLength(Auth auth);
const char* authName(Auth auth); // "MD5", "SHA", "SHA-224" ... as net-snmp's tools write them
const char* privName(Priv priv); // "DES", "AES", "AES-192", "AES-256"
// The octets of localised key a privacy protocol takes: DES its key and its pre-IV, AES its key.
size_t privKeyLength(Priv priv);

// RFC 3414 A.2: Ku, the digest of a megabyte of the passphrase repeated.
Secret passwordToKey(Auth auth, std::string_view passphrase);
// RFC 3414 A.2: Kul = H(Ku | engineID | Ku).
Secret localizeKey(Auth auth, const Secret& ku, std::string_view engineId);
// A localised key lengthened to length octets by hashing, as AES-192 and AES-256 need it under
// a shorter digest: Kul | H(Kul) | H(H(Kul)) ..., cut to length (the default of net-snmp and of
// the devices that follow it). A key already long enough is cut only.
Secret extendKey(Auth auth, const Secret& kul, size_t length);

constexpr size_t MaxDigest = 64; // SHA-512

// HMAC over data with key; writes digestLength(auth) octets to out.
bool hmac(Auth auth, const Secret& key, const uint8_t* data, size_t size, uint8_t* out);

// Whether DES-CBC can be used; *why (when given) says why not.
bool desAvailable(std::string* why = nullptr);

// AES-CFB128 (key 16, 24 or 32, iv 16 octets) keeps the length; DES-CBC (key 8, iv 8) needs a
// length that is a multiple of 8. False when the cipher is unavailable or the sizes do not fit.
bool encrypt(Priv priv, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
             uint8_t* out);
bool decrypt(Priv priv, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
             uint8_t* out);

// Compares in constant time, so that a forged digest learns nothing from how long it took.
bool sameBytes(const void* a, const void* b, size_t size);

// Octets from the system's random source.
bool randomBytes(uint8_t* out, size_t size);

} // namespace crypto
