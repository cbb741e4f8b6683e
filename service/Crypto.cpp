#include "Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace PlenvoService {

namespace {
std::string ToHex(const unsigned char* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string Derive(std::string_view password, const std::string& salt, int iterations) {
    unsigned char key[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(), sizeof key,
                          key) != 1)
        throw std::runtime_error("password derivation failed");
    return ToHex(key, sizeof key);
}
} // namespace

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (RAND_bytes(buffer.data(), static_cast<int>(bytes)) != 1)
        throw std::runtime_error("no secure random source");
    return ToHex(buffer.data(), bytes);
}

std::string Sha256Hex(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("digest failed");
    return ToHex(digest, size);
}

PasswordRecord HashPassword(std::string_view password, int iterations) {
    PasswordRecord record;
    record.algorithm = "pbkdf2-sha256";
    record.iterations = iterations;
    record.salt = RandomHex(16);
    record.hash = Derive(password, record.salt, iterations);
    return record;
}

bool VerifyPassword(std::string_view password, const PasswordRecord& record) {
    if (record.algorithm != "pbkdf2-sha256" || record.iterations <= 0)
        return false;
    std::string derived = Derive(password, record.salt, record.iterations);
    return derived.size() == record.hash.size() &&
           CRYPTO_memcmp(derived.data(), record.hash.data(), derived.size()) == 0;
}

} // namespace PlenvoService
