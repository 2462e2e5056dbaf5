// Pictures posted by the clients: the profile photo and the pictures of private messages.
#include "Commands.h"

namespace velkora::service {
namespace rows {

std::optional<std::string> decodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    uint32_t buffer = 0;
    int bits = 0;
    size_t padding = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+' || c == '-' || c == ' ') v = 62; // a form decoder turns an unescaped "+" into a blank
        else if (c == '/' || c == '_') v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (c == '\r' || c == '\n') continue;
        else return std::nullopt;
        if (padding) return std::nullopt; // data after the padding
        buffer = (buffer << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    // A lone trailing character carries less than a byte: the text was cut.
    if (bits >= 6 || padding > 2 || out.empty()) return std::nullopt;
    return out;
}

std::string storeImage(CommandContext& ctx, const std::string& appId, const std::string& userId,
                       const std::string& bytes) {
    Statement s = ctx.db().prepare("INSERT INTO images(app_id, user_id, bytes, time) VALUES(?, ?, ?, ?)");
    s.bindAll({appId, userId, bytes, ctx.now()});
    s.step();
    return ctx.baseUrl() + kImagePath + std::to_string(ctx.db().lastInsertId()) + ".jpg";
}

std::optional<std::string> storedImage(Database& db, int64_t id) {
    return db.scalarText("SELECT bytes FROM images WHERE id = ?", {id});
}

} // namespace rows
} // namespace velkora::service
