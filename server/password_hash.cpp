#include "server/password_hash.h"

#include <sodium.h>

#include <stdexcept>
#include <string>

namespace centeremp::server {

namespace {

// libsodium's costs for a sign-in that a person waits for: 64 MiB and a few passes, well under
// a second. A verified sign-in is remembered, so a server pays this once per operator, not per
// request.
constexpr unsigned long long passes = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t memory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void initialiseSodium() {
    static const int ready = sodium_init();
    if (ready < 0) throw std::runtime_error("libsodium could not be initialised");
}

// A hash of a password nobody has, verified against when the real hash is missing or malformed.
const std::string& decoyHash() {
    static const std::string decoy = [] {
        unsigned char random[32];
        randombytes_buf(random, sizeof random);
        std::string text(crypto_pwhash_STRBYTES, '\0');
        if (crypto_pwhash_str(text.data(), reinterpret_cast<const char*>(random), sizeof random, passes, memory) != 0)
            throw std::runtime_error("cannot hash a password: out of memory");
        text.resize(std::char_traits<char>::length(text.c_str()));
        return text;
    }();
    return decoy;
}

}  // namespace

QByteArray hashPassword(QByteArrayView password) {
    initialiseSodium();
    char text[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(text, password.data(), std::size_t(password.size()), passes, memory) != 0)
        throw std::runtime_error("cannot hash a password: out of memory");
    return QByteArray(text);
}

bool verifyPassword(QByteArrayView hash, QByteArrayView password) {
    initialiseSodium();
    const std::string stored(hash.data(), std::size_t(hash.size()));
    const bool wellFormed = !stored.empty() && stored.size() < crypto_pwhash_STRBYTES &&
                            stored.rfind(crypto_pwhash_argon2id_STRPREFIX, 0) == 0;
    const std::string& against = wellFormed ? stored : decoyHash();
    const bool matches = crypto_pwhash_str_verify(against.c_str(), password.data(), std::size_t(password.size())) == 0;
    return wellFormed && matches;
}

}  // namespace centeremp::server
