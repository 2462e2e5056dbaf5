#include "Pictures.h"

#include <cmath>

#include "Commands.h"
#include "OutsideRoutes.h"

namespace velkora::service {

namespace {

uint32_t fnv1a(std::string_view text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

void collectMarkedPaths(const nlohmann::json& node, std::vector<std::string>& out) {
    if (node.is_string()) {
        const std::string& s = node.get_ref<const std::string&>();
        std::string prefix = std::string(kServiceAddressMark) + kPicturesPrefix + "/";
        if (s.rfind(prefix, 0) == 0) out.push_back(s.substr(prefix.size()));
    } else if (node.is_structured()) {
        for (const auto& child : node)
            collectMarkedPaths(child, out);
    }
}

LocalReply notFound() {
    return {404, "404 Not Found\n", "text/plain", false, {}};
}

LocalReply servePicture(OutsideRequest& r) {
    if (r.method != "GET") return notFound();
    auto find = [&](const std::string& path) -> std::optional<LocalReply> {
        Statement s = r.db.prepare("SELECT bytes, content_type FROM pictures WHERE path = ?");
        s.bindAll({path});
        if (!s.step()) return std::nullopt;
        return LocalReply{200, s.text(0), s.text(1), false, {}};
    };
    if (auto found = find(r.path)) return *found;
    // A seeded picture is its own small copy ("<name>_small.<ext>"), as the clients' uploads are.
    const auto small = r.path.rfind("_small.");
    if (small != std::string::npos && r.path.find('/', small) == std::string::npos)
        if (auto found = find(r.path.substr(0, small) + r.path.substr(small + 6))) return *found;
    return notFound();
}

LocalReply serveUploadedImage(OutsideRequest& r) {
    constexpr std::string_view kJpg = ".jpg";
    if (r.method != "GET" || r.path.size() <= kJpg.size() || r.path.size() > 24 + kJpg.size() ||
        r.path.compare(r.path.size() - kJpg.size(), kJpg.size(), kJpg) != 0)
        return notFound();
    std::string_view stem = std::string_view(r.path).substr(0, r.path.size() - kJpg.size());
    constexpr std::string_view kSmall = "_small";
    const bool small = stem.size() > kSmall.size() && stem.substr(stem.size() - kSmall.size()) == kSmall;
    if (small) stem.remove_suffix(kSmall.size());
    auto id = parseInteger(stem);
    std::optional<std::string> bytes;
    if (id && small) {
        // A message picture's small copy is a picture of its own; a seeded or posted one is kept beside it.
        if (auto smallId = r.db.scalarInteger("SELECT small_id FROM image_smalls WHERE image_id = ?", {*id}))
            bytes = rows::storedImage(r.db, *smallId);
        else
            bytes = rows::storedSmallImage(r.db, *id);
    }
    // A small copy that was never posted is not found, so the client keeps its placeholder.
    if (id && !small) bytes = rows::storedImage(r.db, *id);
    if (!bytes) return notFound();
    return {200, *bytes, "image/jpeg", false, {}};
}

} // namespace

OutsideRoute picturesRoute() {
    return {kPicturesPrefix, createPictureTable, servePicture, {}};
}

OutsideRoute uploadedImagesRoute() {
    std::string prefix = rows::kImagePath;
    prefix.pop_back(); // without its closing slash
    return {prefix, [](Database&) {}, serveUploadedImage, {}};
}

std::string seedPictureFor(const std::string& path, int size) {
    // Mixed, so paths that differ in one letter still get far-apart colours.
    uint32_t h = fnv1a(path);
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    auto colour = [](double hue, double saturation, double value, unsigned char* rgb) {
        double c = value * saturation, x = c * (1 - std::fabs(std::fmod(hue / 60, 2) - 1)), m = value - c;
        double r = 0, g = 0, b = 0;
        int sector = static_cast<int>(hue / 60) % 6;
        if (sector == 0)
            r = c, g = x;
        else if (sector == 1)
            r = x, g = c;
        else if (sector == 2)
            g = c, b = x;
        else if (sector == 3)
            g = x, b = c;
        else if (sector == 4)
            r = x, b = c;
        else
            r = c, b = x;
        rgb[0] = static_cast<unsigned char>((r + m) * 255);
        rgb[1] = static_cast<unsigned char>((g + m) * 255);
        rgb[2] = static_cast<unsigned char>((b + m) * 255);
    };
    double hue = h % 360;
    unsigned char back[3], front[3];
    colour(hue, 0.45, 0.9, back);
    colour(std::fmod(hue + 120 + (h >> 9) % 120, 360), 0.7, 0.75, front);
    int shape = static_cast<int>((h >> 20) % 4);
    std::string rgba;
    rgba.reserve(static_cast<size_t>(size) * size * 4);
    double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            bool inside = shape == 0   ? std::hypot(x - c, y - c) < size * 0.3                          // a disc
                          : shape == 1 ? x + y < size                                                   // a half
                          : shape == 2 ? std::abs(x - c) < size * 0.15 || std::abs(y - c) < size * 0.15 // a cross
                                       : (x / (size / 4)) % 2 == 0;                                     // stripes
            const unsigned char* rgb = inside ? front : back;
            rgba.append(reinterpret_cast<const char*>(rgb), 3);
            rgba += static_cast<char>(255);
        }
    }
    return outside::encodePng(static_cast<uint32_t>(size), static_cast<uint32_t>(size), rgba);
}

void createPictureTable(Database& db) {
    db.exec("CREATE TABLE IF NOT EXISTS pictures(path TEXT PRIMARY KEY, bytes BLOB NOT NULL, "
            "content_type TEXT NOT NULL)");
}

void storePicture(Database& db, const std::string& path, const std::string& bytes, const std::string& contentType) {
    db.run("INSERT OR REPLACE INTO pictures(path, bytes, content_type) VALUES(?, ?, ?)", {path, bytes, contentType});
}

void seedPictures(Database& db, const nlohmann::json& seed) {
    createPictureTable(db);
    std::vector<std::string> paths;
    collectMarkedPaths(seed, paths);
    for (const auto& path : paths)
        storePicture(db, path, seedPictureFor(path), "image/png");
}

std::string expandServiceAddresses(std::string text, const std::string& baseUrl) {
    for (size_t at = text.find(kServiceAddressMark); at != std::string::npos;
         at = text.find(kServiceAddressMark, at + baseUrl.size()))
        text.replace(at, kServiceAddressMark.size(), baseUrl);
    return text;
}

} // namespace velkora::service
