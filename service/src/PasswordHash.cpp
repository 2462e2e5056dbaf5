#include "PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdint>
#include <vector>

#include "Database.h"
#include "velkora_service/QueryText.h"

namespace velkora::service {

namespace {

constexpr std::string_view kScheme = "scrypt";
// OWASP's scrypt settings for 32 MiB of memory: N = 2^15, r = 8, p = 3.
constexpr int kLog2N = 15;
constexpr int kR = 8;
constexpr int kP = 3;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

std::string hex(const unsigned char* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::optional<std::vector<unsigned char>> unhex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::vector<unsigned char> out;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = digit(text[i]), low = digit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return out;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool derive(std::string_view digest, const unsigned char* salt, size_t saltLength, int log2N, int r, int p,
            unsigned char* out, size_t outLength) {
    std::string secret = lowered(digest);
    uint64_t n = uint64_t(1) << log2N;
    // scrypt needs 128 * N * r bytes, and a little more for its p blocks.
    uint64_t maxMemory = 128 * n * uint64_t(r) + 128 * uint64_t(r) * uint64_t(p) + 1024 * 1024;
    return EVP_PBE_scrypt(secret.data(), secret.size(), salt, saltLength, n, uint64_t(r), uint64_t(p), maxMemory, out,
                          outLength) == 1;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

bool isHash(std::string_view stored) {
    return stored.substr(0, kScheme.size() + 1) == std::string(kScheme) + "$";
}

} // namespace

std::optional<std::string> hashPassword(std::string_view digest) {
    unsigned char salt[kSaltBytes];
    unsigned char hash[kHashBytes];
    if (RAND_bytes(salt, sizeof salt) != 1) return std::nullopt;
    if (!derive(digest, salt, sizeof salt, kLog2N, kR, kP, hash, sizeof hash)) return std::nullopt;
    return std::string(kScheme) + "$" + std::to_string(kLog2N) + "$" + std::to_string(kR) + "$" + std::to_string(kP) +
           "$" + hex(salt, sizeof salt) + "$" + hex(hash, sizeof hash);
}

bool passwordMatches(std::string_view stored, std::string_view digest) {
    std::vector<std::string_view> parts = split(stored, '$');
    if (parts.size() != 6 || parts[0] != kScheme || digest.empty()) return false;
    std::optional<int64_t> log2N = parseInteger(parts[1]), r = parseInteger(parts[2]), p = parseInteger(parts[3]);
    std::optional<std::vector<unsigned char>> salt = unhex(parts[4]), expected = unhex(parts[5]);
    // The parameters come from our own rows; bounds keep a damaged row from asking for absurd memory.
    if (!log2N || !r || !p || !salt || !expected || *log2N < 1 || *log2N > 20 || *r < 1 || *r > 32 || *p < 1 ||
        *p > 16 || expected->empty())
        return false;
    std::vector<unsigned char> actual(expected->size());
    if (!derive(digest, salt->data(), salt->size(), int(*log2N), int(*r), int(*p), actual.data(), actual.size()))
        return false;
    return CRYPTO_memcmp(actual.data(), expected->data(), actual.size()) == 0;
}

void hashStoredPasswords(Database& db) {
    std::vector<std::pair<int64_t, std::string>> plain;
    {
        Statement s = db.prepare("SELECT rowid, password FROM users WHERE password IS NOT NULL AND password != ''");
        while (s.step())
            if (!isHash(s.text(1))) plain.emplace_back(s.integer(0), s.text(1));
    }
    if (plain.empty()) return;
    Transaction tx(db);
    for (const auto& [rowid, digest] : plain) {
        std::optional<std::string> hashed = hashPassword(digest);
        if (!hashed) throw DatabaseError("cannot hash the stored passwords");
        db.run("UPDATE users SET password = ? WHERE rowid = ?", {*hashed, rowid});
    }
    tx.commit();
}

} // namespace velkora::service
