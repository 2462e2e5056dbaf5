// Pictures posted by the clients: the profile photo and the pictures of private messages.
#include "Commands.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

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
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+' || c == '-' || c == ' ')
            v = 62; // a form decoder turns an unescaped "+" into a blank
        else if (c == '/' || c == '_')
            v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (c == '\r' || c == '\n')
            continue;
        else
            return std::nullopt;
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

namespace {
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool damaged = false;
};
[[noreturn]] void jpegFailed(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}
// Level -1 is libjpeg's warning about damaged data (a cut file, a bad marker): no picture either.
void jpegWarning(j_common_ptr info, int level) {
    if (level < 0) reinterpret_cast<JpegError*>(info->err)->damaged = true;
}
} // namespace

std::optional<std::pair<int, int>> jpegSize(const std::string& bytes) {
    if (bytes.size() < 4) return std::nullopt;
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFailed;
    error.manager.emit_message = jpegWarning;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    // The whole picture, not only its header: a cut file is no picture.
    jpeg_start_decompress(&info);
    // From libjpeg's own pool, which a jump out of a failed read frees with the rest.
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, row, 1);
    std::pair<int, int> size{static_cast<int>(info.output_width), static_cast<int>(info.output_height)};
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (error.damaged) return std::nullopt;
    return size;
}

void storeSmallImage(Database& db, int64_t imageId, const std::string& bytes) {
    db.run("CREATE TABLE IF NOT EXISTS image_small_copies (image_id INTEGER PRIMARY KEY, bytes BLOB NOT NULL)", {});
    db.run("INSERT OR REPLACE INTO image_small_copies(image_id, bytes) VALUES(?, ?)", {imageId, bytes});
}

std::optional<std::string> storedSmallImage(Database& db, int64_t imageId) {
    db.run("CREATE TABLE IF NOT EXISTS image_small_copies (image_id INTEGER PRIMARY KEY, bytes BLOB NOT NULL)", {});
    return db.scalarText("SELECT bytes FROM image_small_copies WHERE image_id = ?", {imageId});
}

} // namespace rows
} // namespace velkora::service
