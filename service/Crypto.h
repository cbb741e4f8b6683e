#pragma once

#include <string>
#include <string_view>

namespace PlenvoService {

// Hex text of n bytes from the system's secure random source.
std::string RandomHex(size_t bytes);

// Lower-case hex SHA-256 of the data.
std::string Sha256Hex(std::string_view data);

// A stored password: algorithm, work factor, salt and derived key, so that old rows keep
// verifying after the work factor is raised.
struct PasswordRecord {
    std::string algorithm; // "pbkdf2-sha256"
    int iterations = 0;
    std::string salt; // hex
    std::string hash; // hex
};

PasswordRecord HashPassword(std::string_view password, int iterations);
bool VerifyPassword(std::string_view password, const PasswordRecord& record);

} // namespace PlenvoService
