#include "qvsnmp/usm.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

namespace usm {

namespace {

// Upper case without dashes, so that "sha-256", "SHA256" and "Sha-256" are one name.
std::string folded(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != '-') s.push_back(char(std::toupper(uint8_t(c))));
    return s;
}

struct KuEntry {
    crypto::Auth auth;
    crypto::Secret passphrase;
    crypto::Secret ku;
};

std::mutex g_kuMutex;
std::vector<KuEntry> g_ku;

// Ku of a passphrase, hashed once however many engines it is localised for. Only passphrases
// the operator gave reach it, so it stays as small as their number.
const crypto::Secret& ku(crypto::Auth auth, const crypto::Secret& passphrase) {
    for (const KuEntry& e : g_ku)
        if (e.auth == auth && e.passphrase == passphrase) return e.ku;
    g_ku.push_back({auth, passphrase, crypto::passwordToKey(auth, passphrase.view())});
    return g_ku.back().ku;
}

// Characters of UTF-8 text; an octet that starts no well-formed sequence counts as one.
size_t characters(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const uint8_t lead = uint8_t(text[i]);
        const size_t tail = (lead & 0xe0) == 0xc0   ? 1
                            : (lead & 0xf0) == 0xe0 ? 2
                            : (lead & 0xf8) == 0xf0 ? 3
                                                    : 0;
        size_t k = 1;
        while (k <= tail && i + k < text.size() && (uint8_t(text[i + k]) & 0xc0) == 0x80)
            ++k;
        i += k == tail + 1 ? k : 1;
    }
    return count;
}

} // namespace

bool parseLevel(std::string_view text, Level& out) {
    const std::string s = folded(text);
    if (s == "NOAUTHNOPRIV" || s == "NOAUTH")
        out = Level::NoAuthNoPriv;
    else if (s == "AUTHNOPRIV" || s == "AUTH")
        out = Level::AuthNoPriv;
    else if (s == "AUTHPRIV" || s == "PRIV")
        out = Level::AuthPriv;
    else
        return false;
    return true;
}

bool parseAuth(std::string_view text, crypto::Auth& out) {
    static const struct {
        const char* name;
        crypto::Auth auth;
    } names[] = {{"MD5", crypto::Auth::MD5},       {"SHA", crypto::Auth::SHA1},
                 {"SHA1", crypto::Auth::SHA1},     {"SHA224", crypto::Auth::SHA224},
                 {"SHA256", crypto::Auth::SHA256}, {"SHA384", crypto::Auth::SHA384},
                 {"SHA512", crypto::Auth::SHA512}};
    const std::string s = folded(text);
    for (const auto& n : names)
        if (s == n.name) {
            out = n.auth;
            return true;
        }
    return false;
}

bool parsePriv(std::string_view text, crypto::Priv& out) {
    const std::string s = folded(text);
    if (s == "AES" || s == "AES128")
        out = crypto::Priv::AES128;
    else if (s == "AES192")
        out = crypto::Priv::AES192;
    else if (s == "AES256")
        out = crypto::Priv::AES256;
    else if (s == "DES")
        out = crypto::Priv::DES;
    else
        return false;
    return true;
}

const char* levelName(Level level) {
    static const char* const names[] = {"noAuthNoPriv", "authNoPriv", "authPriv"};
    return names[size_t(level)];
}

std::string User::check() const {
    if (name.empty()) return "no security name (user)";
    if (name.size() > 32) return "a security name has at most 32 characters";
    if (level == Level::NoAuthNoPriv) return {};
    const std::string lvl = levelName(level);
    if (auth == crypto::Auth::None) return lvl + " needs an authentication protocol";
    if (characters(authPassphrase.view()) < 8)
        return "the authentication passphrase must have at least 8 characters";
    if (level == Level::AuthNoPriv) return {};
    if (priv == crypto::Priv::None) return lvl + " needs a privacy protocol";
    if (characters(privPassphrase.view()) < 8)
        return "the privacy passphrase must have at least 8 characters";
    std::string why;
    if (priv == crypto::Priv::DES && !crypto::desAvailable(&why)) return why;
    return {};
}

std::shared_ptr<const Keys> localizedKeys(const User& user, std::string_view engineId) {
    if (user.level == Level::NoAuthNoPriv || user.auth == crypto::Auth::None) return nullptr;
    const crypto::Priv priv = user.level == Level::AuthPriv ? user.priv : crypto::Priv::None;
    auto keys = std::make_shared<Keys>();
    keys->auth = user.auth;
    keys->priv = priv;
    std::lock_guard lock(g_kuMutex);
    keys->authKey = crypto::localizeKey(user.auth, ku(user.auth, user.authPassphrase), engineId);
    if (priv != crypto::Priv::None)
        keys->privKey = crypto::extendKey(
            user.auth, crypto::localizeKey(user.auth, ku(user.auth, user.privPassphrase), engineId),
            crypto::privKeyLength(priv));
    return keys;
}

} // namespace usm
