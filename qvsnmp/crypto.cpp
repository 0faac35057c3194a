#include "qvsnmp/crypto.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace crypto {

// ---- Secret --------------------------------------------------------------------------------

Secret::Secret(std::string_view bytes) : Secret(ofSize(bytes.size())) {
    if (!bytes.empty()) std::memcpy(m_data, bytes.data(), bytes.size());
}

Secret Secret::ofSize(size_t size) {
    Secret s;
    if (size == 0) return s;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t mapped = (size + page - 1) / page * page;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_DONTDUMP
    madvise(p, mapped, MADV_DONTDUMP);
#endif
    (void)mlock(p, mapped); // best effort: a locked page never reaches the swap
    s.m_data = static_cast<uint8_t*>(p);
    s.m_size = size;
    s.m_mapped = mapped;
    return s;
}

Secret::Secret(Secret&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)) {}

Secret& Secret::operator=(Secret other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_mapped, other.m_mapped);
    return *this;
}

Secret::~Secret() {
    if (!m_data) return;
    OPENSSL_cleanse(m_data, m_mapped);
    munlock(m_data, m_mapped);
    munmap(m_data, m_mapped);
}

// ---- digests -------------------------------------------------------------------------------

namespace {

const EVP_MD* digest(Auth auth) {
    switch (auth) {
    case Auth::MD5:
        return EVP_md5();
    case Auth::SHA1:
        return EVP_sha1();
    case Auth::SHA224:
        return EVP_sha224();
    case Auth::SHA256:
        return EVP_sha256();
    case Auth::SHA384:
        return EVP_sha384();
    case Auth::SHA512:
        return EVP_sha512();
    case Auth::None:
        break;
    }
    return nullptr;
}

struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

struct Des {
    EVP_CIPHER* cipher = nullptr;
    std::string why;
};

const Des& des() {
    static const Des d = [] {
        Des r;
        ERR_set_mark();
        r.cipher = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
        if (!r.cipher) {
            // Loading a provider by hand stops the default one from loading by itself.
            OSSL_PROVIDER_load(nullptr, "default");
            if (OSSL_PROVIDER_load(nullptr, "legacy"))
                r.cipher = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
        }
        ERR_pop_to_mark();
        if (!r.cipher)
            r.why = "DES is not available: the installed OpenSSL offers DES-CBC only in its legacy "
                    "provider, which could not be loaded; use AES";
        return r;
    }();
    return d;
}

bool crypt(Priv priv, bool enc, const uint8_t* key, const uint8_t* iv, const uint8_t* in,
           size_t size, uint8_t* out) {
    const EVP_CIPHER* cipher = nullptr;
    if (priv == Priv::AES128)
        cipher = EVP_aes_128_cfb128();
    else if (priv == Priv::AES192)
        cipher = EVP_aes_192_cfb128();
    else if (priv == Priv::AES256)
        cipher = EVP_aes_256_cfb128();
    else if (priv == Priv::DES && size % 8 == 0)
        cipher = des().cipher;
    if (!cipher || size > size_t(INT32_MAX)) return false;
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    int n = 0, tail = 0;
    return ctx && EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key, iv, enc ? 1 : 0) == 1 &&
           EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
           EVP_CipherUpdate(ctx.get(), out, &n, in, int(size)) == 1 &&
           EVP_CipherFinal_ex(ctx.get(), out + n, &tail) == 1 && size_t(n + tail) == size;
}

} // namespace

size_t digestLength(Auth auth) {
    const EVP_MD* md = digest(auth);
    return md ? size_t(EVP_MD_get_size(md)) : 0;
}

size_t macLength(Auth auth) {
    switch (auth) {
    case Auth::MD5:
    case Auth::SHA1:
        return 12;
    case Auth::SHA224:
        return 16;
    case Auth::SHA256:
        return 24;
    case Auth::SHA384:
        return 32;
    case Auth::SHA512:
        return 48;
    case Auth::None:
        break;
    }
    return 0;
}

const char* authName(Auth auth) {
    static const char* const names[] = {"none",    "MD5",     "SHA",    "SHA-224",
                                        "SHA-256", "SHA-384", "SHA-512"};
    return names[size_t(auth)];
}

const char* privName(Priv priv) {
    static const char* const names[] = {"none", "DES", "AES", "AES-192", "AES-256"};
    return names[size_t(priv)];
}

size_t privKeyLength(Priv priv) {
    static const size_t lengths[] = {0, 16, 16, 24, 32};
    return lengths[size_t(priv)];
}

Secret passwordToKey(Auth auth, std::string_view passphrase) {
    const EVP_MD* md = digest(auth);
    if (!md || passphrase.empty()) return {};
    constexpr size_t kTotal = 1048576;
    Secret block = Secret::ofSize(64);
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return {};
    size_t index = 0;
    for (size_t done = 0; done < kTotal; done += 64) {
        for (size_t i = 0; i < 64; ++i)
            block.data()[i] = uint8_t(passphrase[index++ % passphrase.size()]);
        EVP_DigestUpdate(ctx.get(), block.data(), 64);
    }
    Secret ku = Secret::ofSize(digestLength(auth));
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), ku.data(), &len) != 1) return {};
    return ku;
}

Secret localizeKey(Auth auth, const Secret& ku, std::string_view engineId) {
    const EVP_MD* md = digest(auth);
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!md || ku.empty() || !ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return {};
    EVP_DigestUpdate(ctx.get(), ku.data(), ku.size());
    EVP_DigestUpdate(ctx.get(), engineId.data(), engineId.size());
    EVP_DigestUpdate(ctx.get(), ku.data(), ku.size());
    Secret kul = Secret::ofSize(digestLength(auth));
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(ctx.get(), kul.data(), &len) != 1) return {};
    return kul;
}

Secret extendKey(Auth auth, const Secret& kul, size_t length) {
    const EVP_MD* md = digest(auth);
    if (!md || kul.empty()) return {};
    Secret out = Secret::ofSize(length);
    size_t done = std::min(length, kul.size());
    std::memcpy(out.data(), kul.data(), done);
    Secret block = kul;
    while (done < length) {
        Secret next = Secret::ofSize(digestLength(auth));
        unsigned int len = 0;
        if (EVP_Digest(block.data(), block.size(), next.data(), &len, md, nullptr) != 1) return {};
        const size_t n = std::min(length - done, next.size());
        std::memcpy(out.data() + done, next.data(), n);
        done += n;
        block = std::move(next);
    }
    return out;
}

bool hmac(Auth auth, const Secret& key, const uint8_t* data, size_t size, uint8_t* out) {
    const EVP_MD* md = digest(auth);
    unsigned int len = 0;
    return md && !key.empty() &&
           HMAC(md, key.data(), int(key.size()), data, size, out, &len) != nullptr;
}

bool desAvailable(std::string* why) {
    const Des& d = des();
    if (!d.cipher && why) *why = d.why;
    return d.cipher != nullptr;
}

bool encrypt(Priv priv, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
             uint8_t* out) {
    return crypt(priv, true, key, iv, in, size, out);
}

bool decrypt(Priv priv, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
             uint8_t* out) {
    return crypt(priv, false, key, iv, in, size, out);
}

bool sameBytes(const void* a, const void* b, size_t size) {
    return CRYPTO_memcmp(a, b, size) == 0;
}

bool randomBytes(uint8_t* out, size_t size) {
    return size <= size_t(INT32_MAX) && RAND_bytes(out, int(size)) == 1;
}

} // namespace crypto
