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

namespace {

// Mixed, so paths that differ in one letter still get far-apart colours.
uint32_t mixedHash(std::string_view path) {
    uint32_t h = fnv1a(path);
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

struct Rgb {
    double r, g, b;
};

Rgb hsv(double hue, double saturation, double value) {
    const double c = value * saturation, x = c * (1 - std::fabs(std::fmod(hue / 60, 2) - 1)), m = value - c;
    const Rgb sectors[] = {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}};
    const Rgb s = sectors[static_cast<int>(hue / 60) % 6];
    return {s.r + m, s.g + m, s.b + m};
}

bool inEllipse(double x, double y, double cx, double cy, double rx, double ry) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
}

// A person's portrait: a head with hair, eyes and a smile over shoulders, on a soft background. Skin, hair,
// hair style, shirt and background come from the path's hash, so each seeded person has a face of their own.
class Portrait {
public:
    explicit Portrait(uint32_t h)
        : skin_(kSkins[h % std::size(kSkins)]), hair_(kHairs[(h >> 4) % std::size(kHairs)]),
          style_(static_cast<int>((h >> 8) % 4)), background_(hsv((h >> 12) % 360, 0.25, 0.93)),
          shirt_(hsv((h >> 20) % 360, 0.55, 0.7)) {}

    // The colour at (x, y), both from 0 to 1 across the picture.
    Rgb at(double x, double y) const {
        const bool longHair = style_ == 1;
        const bool bun = style_ == 2;
        Rgb c = background_;
        if (longHair && inEllipse(x, y, 0.5, 0.5, 0.29, 0.36) && y < 0.8) c = hair_;
        if (inEllipse(x, y, 0.5, 1.1, 0.42, 0.36)) c = shirt_;
        if (x > 0.43 && x < 0.57 && y > 0.6 && y < 0.8) c = shade(skin_, 0.88);
        if (inEllipse(x, y, 0.285, 0.47, 0.045, 0.06) || inEllipse(x, y, 0.715, 0.47, 0.045, 0.06)) c = skin_;
        if (bun && inEllipse(x, y, 0.5, 0.14, 0.11, 0.09)) c = hair_;
        if (inEllipse(x, y, 0.5, 0.45, 0.215, 0.265)) {
            c = skin_;
            if (inEllipse(x, y, 0.41, 0.46, 0.024, 0.03) || inEllipse(x, y, 0.59, 0.46, 0.024, 0.03))
                c = {0.16, 0.13, 0.12};
            if (inEllipse(x, y, 0.36, 0.55, 0.04, 0.025) || inEllipse(x, y, 0.64, 0.55, 0.04, 0.025))
                c = mix(skin_, {0.93, 0.5, 0.5}, 0.35);
            const double d = std::hypot(x - 0.5, y - 0.5);
            if (y > 0.55 && d > 0.085 && d < 0.108) c = {0.62, 0.2, 0.22};
        }
        // The hairline: a cap over the top of the head, lower at the sides for all but the shortest style.
        const double line = style_ == 3 ? 0.27 : 0.31 + 0.05 * std::fabs(x - 0.5) / 0.25;
        if (inEllipse(x, y, 0.5, 0.43, 0.235, 0.29) && y < line) c = hair_;
        return c;
    }

private:
    static constexpr Rgb kSkins[] = {
        {0.98, 0.86, 0.75}, {0.93, 0.76, 0.62}, {0.8, 0.6, 0.45}, {0.62, 0.43, 0.3}, {0.45, 0.3, 0.21}};
    static constexpr Rgb kHairs[] = {{0.12, 0.1, 0.09}, {0.3, 0.2, 0.13}, {0.5, 0.33, 0.19},
                                     {0.85, 0.7, 0.42}, {0.7, 0.3, 0.15}, {0.62, 0.62, 0.64}};

    static Rgb shade(Rgb c, double f) { return {c.r * f, c.g * f, c.b * f}; }
    static Rgb mix(Rgb a, Rgb b, double t) {
        return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
    }

    Rgb skin_, hair_;
    int style_;
    Rgb background_, shirt_;
};

// Each pixel averages 4 × 4 samples, so the shapes' edges are smooth.
std::string drawPortrait(const std::string& path, int size) {
    const Portrait portrait(mixedHash(path));
    constexpr int kSamples = 4;
    std::string rgba;
    rgba.reserve(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Rgb sum{0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgb c = portrait.at((x + (sx + 0.5) / kSamples) / size, (y + (sy + 0.5) / kSamples) / size);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            for (double v : {sum.r, sum.g, sum.b})
                rgba += static_cast<char>(static_cast<unsigned char>(std::lround(v / (kSamples * kSamples) * 255)));
            rgba += static_cast<char>(255);
        }
    }
    return outside::encodePng(static_cast<uint32_t>(size), static_cast<uint32_t>(size), rgba);
}

} // namespace

std::string seedPictureFor(const std::string& path) {
    // People's photos are portraits, large enough for a profile's header without blurring.
    if (path.rfind("people/", 0) == 0) return drawPortrait(path, 160);
    constexpr int size = 64;
    const uint32_t h = mixedHash(path);
    auto colour = [](double hue, double saturation, double value, unsigned char* rgb) {
        const Rgb c = hsv(hue, saturation, value);
        rgb[0] = static_cast<unsigned char>(c.r * 255);
        rgb[1] = static_cast<unsigned char>(c.g * 255);
        rgb[2] = static_cast<unsigned char>(c.b * 255);
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
