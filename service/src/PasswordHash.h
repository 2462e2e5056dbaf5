// Passwords at rest: the kit sends a digest of the password, which is as good as the password to anyone
// who reads it, so the service keeps only a salted scrypt hash of that digest.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkora::service {

class Database;

// "scrypt$<log2 N>$<r>$<p>$<salt hex>$<hash hex>"; nothing when OpenSSL fails.
std::optional<std::string> hashPassword(std::string_view digest);
// Whether `digest` is the one `stored` was made from, compared in constant time. Digests arrive in
// hexadecimal and the case of their digits carries nothing.
bool passwordMatches(std::string_view stored, std::string_view digest);
// Databases written before passwords were hashed keep the digests as sent: hash those in place.
void hashStoredPasswords(Database& db);

} // namespace velkora::service
