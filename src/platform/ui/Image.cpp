#include "platform/ui/Image.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileIO.h"

#include <cairo.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace velkora::ui {

struct Image::Pixels {
    cairo_surface_t* surface = nullptr;
    explicit Pixels(cairo_surface_t* s) : surface(s) {}
    ~Pixels() {
        if (surface) cairo_surface_destroy(surface);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;
};

namespace {

bool isPng(const uint8_t* b, size_t n) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return n >= 8 && std::memcmp(b, sig, 8) == 0;
}

bool isJpeg(const uint8_t* b, size_t n) {
    return n >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff;
}

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Pictures larger than this are refused rather than allocated: a header can claim anything.
constexpr int64_t kMaxPixels = int64_t(16384) * 16384;

bool sizeAcceptable(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= 32767 && h <= 32767 && w * h <= kMaxPixels;
}

std::optional<Image::Header> pngHeader(const uint8_t* b, size_t n) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    if (n < 24 || std::memcmp(b + 12, "IHDR", 4) != 0) return std::nullopt;
    uint32_t w = be32(b + 16), h = be32(b + 20);
    if (!sizeAcceptable(w, h)) return std::nullopt;
    return Image::Header{ImageFormat::Png, int(w), int(h)};
}

std::optional<Image::Header> jpegHeader(const uint8_t* b, size_t n) {
    size_t i = 2;
    while (i + 4 <= n) {
        if (b[i] != 0xff) return std::nullopt;
        uint8_t marker = b[i + 1];
        if (marker == 0xff) { // fill byte
            ++i;
            continue;
        }
        if (marker == 0xd8 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            i += 2;
            continue;
        }
        if (marker == 0xd9 || marker == 0xda) return std::nullopt; // image data before any frame header
        size_t length = (size_t(b[i + 2]) << 8) | b[i + 3];
        if (length < 2) return std::nullopt;
        bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            if (i + 9 > n || length < 7) return std::nullopt;
            int h = (b[i + 5] << 8) | b[i + 6];
            int w = (b[i + 7] << 8) | b[i + 8];
            if (!sizeAcceptable(w, h)) return std::nullopt;
            return Image::Header{ImageFormat::Jpeg, w, h};
        }
        i += 2 + length;
    }
    return std::nullopt;
}

struct ReadCursor {
    const uint8_t* bytes;
    size_t length;
    size_t offset = 0;
};

cairo_status_t readFromCursor(void* closure, unsigned char* data, unsigned int length) {
    auto* c = static_cast<ReadCursor*>(closure);
    if (c->length - c->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, c->bytes + c->offset, length);
    c->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decodePng(const uint8_t* b, size_t n) {
    ReadCursor cursor{b, n};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readFromCursor, &cursor);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    if (cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32) return s;
    // Opaque and grey pictures come in other formats; everything downstream expects ARGB32.
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(argb);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return argb;
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Kept free of objects with destructors: a decoding error jumps out of libjpeg straight back here.
cairo_surface_t* decodeJpegInto(jpeg_decompress_struct* cinfo, JpegError* err, const uint8_t* b, size_t n,
                                cairo_surface_t** out) {
    cinfo->err = jpeg_std_error(&err->mgr);
    err->mgr.error_exit = jpegErrorExit;
    err->mgr.emit_message = jpegSilence;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(cinfo);
        if (*out) {
            cairo_surface_destroy(*out);
            *out = nullptr;
        }
        return nullptr;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, b, static_cast<unsigned long>(n));
    jpeg_read_header(cinfo, TRUE);
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(cinfo);
    if (!sizeAcceptable(cinfo->output_width, cinfo->output_height)) {
        jpeg_destroy_decompress(cinfo);
        return nullptr;
    }
    *out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(cinfo->output_width), int(cinfo->output_height));
    if (cairo_surface_status(*out) != CAIRO_STATUS_SUCCESS) {
        jpeg_destroy_decompress(cinfo);
        cairo_surface_destroy(*out);
        *out = nullptr;
        return nullptr;
    }
    cairo_surface_flush(*out);
    unsigned char* base = cairo_image_surface_get_data(*out);
    int stride = cairo_image_surface_get_stride(*out);
    while (cinfo->output_scanline < cinfo->output_height) {
        unsigned char* row = base + size_t(cinfo->output_scanline) * size_t(stride);
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(cinfo, rows, 1);
        if (cmyk) {
            // Adobe writes CMYK inverted; four bytes per pixel in both layouts, so convert in place.
            auto* px = reinterpret_cast<uint32_t*>(row);
            for (unsigned x = 0; x < cinfo->output_width; ++x) {
                const unsigned char* p = row + x * 4;
                unsigned c = p[0], m = p[1], y = p[2], k = p[3];
                unsigned r = c * k / 255, g = m * k / 255, bl = y * k / 255;
                px[x] = 0xff000000u | (r << 16) | (g << 8) | bl;
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    cairo_surface_mark_dirty(*out);
    return *out;
}

cairo_surface_t* decodeJpeg(const uint8_t* b, size_t n) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cairo_surface_t* out = nullptr;
    return decodeJpegInto(&cinfo, &err, b, n, &out);
}

struct JpegEncodeState {
    jpeg_compress_struct cinfo;
    JpegError err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

bool encodeJpeg(JpegEncodeState* st, const uint8_t* pixels, int width, int height, int stride, int quality,
                std::vector<uint8_t>* rowBuffer) {
    st->cinfo.err = jpeg_std_error(&st->err.mgr);
    st->err.mgr.error_exit = jpegErrorExit;
    st->err.mgr.emit_message = jpegSilence;
    if (setjmp(st->err.jump)) {
        jpeg_destroy_compress(&st->cinfo);
        return false;
    }
    jpeg_create_compress(&st->cinfo);
    jpeg_mem_dest(&st->cinfo, &st->buffer, &st->size);
    st->cinfo.image_width = static_cast<JDIMENSION>(width);
    st->cinfo.image_height = static_cast<JDIMENSION>(height);
    st->cinfo.input_components = 3;
    st->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&st->cinfo);
    jpeg_set_quality(&st->cinfo, quality, TRUE);
    jpeg_start_compress(&st->cinfo, TRUE);
    unsigned char* row = rowBuffer->data();
    while (st->cinfo.next_scanline < st->cinfo.image_height) {
        const auto* src = reinterpret_cast<const uint32_t*>(pixels + size_t(st->cinfo.next_scanline) * size_t(stride));
        for (int x = 0; x < width; ++x) {
            uint32_t p = src[x];
            row[x * 3] = static_cast<unsigned char>((p >> 16) & 0xff);
            row[x * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xff);
            row[x * 3 + 2] = static_cast<unsigned char>(p & 0xff);
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&st->cinfo, rows, 1);
    }
    jpeg_finish_compress(&st->cinfo);
    jpeg_destroy_compress(&st->cinfo);
    return true;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
    if (data.empty()) return false;
    return foundation::writeFileAtomically(path,
                                           std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// The bundle's images folder, wherever the host, the environment or the install put the resources.
std::vector<std::string> defaultSearchPaths() {
    std::vector<std::string> paths;
    std::string resources = foundation::Bundle::main().resourcesPath();
    if (!resources.empty()) paths.push_back(resources + "/Velkora.bundle/images/dark2");
    return paths;
}

struct NamedRegistry {
    std::mutex mutex;
    std::optional<std::vector<std::string>> customPaths;
    // By the file that was read, so a change of the resources folder finds the new files.
    std::map<std::string, std::shared_ptr<Image>> cache;
    // By the name asked for, under the folders it was found in: a cell asks for the same few names on every
    // row it lays out, and looking at the file system each time cost more than the row's text.
    std::vector<std::string> namedUnder;
    std::map<std::string, std::shared_ptr<Image>, std::less<>> byName;
};

NamedRegistry& registry() {
    static NamedRegistry r;
    return r;
}

} // namespace

Image::Image(std::shared_ptr<Pixels> pixels, double scale)
    : pixels_(std::move(pixels)), scale_(scale > 0 ? scale : 1.0) {}

Image::~Image() = default;

std::shared_ptr<Image> Image::adoptSurface(cairo_surface_t* surface, double scale) {
    if (!surface) return nullptr;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::shared_ptr<Image>(new Image(std::make_shared<Pixels>(surface), scale));
}

std::shared_ptr<Image> Image::create(int pixelWidth, int pixelHeight, double scale) {
    if (!sizeAcceptable(pixelWidth, pixelHeight)) return nullptr;
    return adoptSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight), scale);
}

std::shared_ptr<Image> Image::fromData(const uint8_t* bytes, size_t length, double scale) {
    if (!bytes || length == 0) return nullptr;
    cairo_surface_t* s = nullptr;
    if (isPng(bytes, length)) {
        if (!pngHeader(bytes, length)) return nullptr;
        s = decodePng(bytes, length);
    } else if (isJpeg(bytes, length)) {
        s = decodeJpeg(bytes, length);
    }
    return adoptSurface(s, scale);
}

std::shared_ptr<Image> Image::fromData(const std::vector<uint8_t>& bytes, double scale) {
    return fromData(bytes.data(), bytes.size(), scale);
}

std::shared_ptr<Image> Image::fromData(std::string_view bytes, double scale) {
    return fromData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), scale);
}

std::shared_ptr<Image> Image::fromFile(const std::string& path) {
    std::vector<uint8_t> data;
    if (!readWholeFile(path, data)) return nullptr;
    // "name@2x.png" holds a picture of twice the points' resolution.
    double scale = 1.0;
    auto dot = path.rfind('.');
    std::string stem = path.substr(0, dot == std::string::npos ? path.size() : dot);
    if (stem.ends_with("@2x"))
        scale = 2.0;
    else if (stem.ends_with("@3x"))
        scale = 3.0;
    return fromData(data, scale);
}

std::optional<Image::Header> Image::headerOfData(const uint8_t* bytes, size_t length) {
    if (!bytes) return std::nullopt;
    if (isPng(bytes, length)) return pngHeader(bytes, length);
    if (isJpeg(bytes, length)) return jpegHeader(bytes, length);
    return std::nullopt;
}

std::optional<Image::Header> Image::headerOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // The frame header of a JPEG may follow large metadata blocks; read more only when needed.
    std::vector<uint8_t> head(64 * 1024);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    auto h = headerOfData(head.data(), head.size());
    if (h || !isJpeg(head.data(), head.size()) || head.size() < 64 * 1024) return h;
    std::vector<uint8_t> all;
    if (!readWholeFile(path, all)) return std::nullopt;
    return headerOfData(all.data(), all.size());
}

std::shared_ptr<Image> Image::named(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos) return nullptr;
    auto& r = registry();
    const std::vector<std::string> folders = imageSearchPaths();
    {
        std::lock_guard lock(r.mutex);
        if (r.namedUnder != folders) {
            r.byName.clear();
            r.namedUnder = folders;
        }
        if (auto it = r.byName.find(name); it != r.byName.end()) return it->second;
    }
    auto remembered = [&](std::shared_ptr<Image> image) {
        std::lock_guard lock(r.mutex);
        if (r.namedUnder == folders) r.byName.emplace(name, image);
        return image;
    };
    for (const auto& folder : folders) {
        std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
        std::vector<std::string> candidates{base + name};
        if (!name.ends_with(".png")) candidates.push_back(base + name + ".png");
        for (const auto& path : candidates) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(path, ec)) continue;
            std::shared_ptr<Image> read;
            {
                std::lock_guard lock(r.mutex);
                if (auto it = r.cache.find(path); it != r.cache.end()) read = it->second;
            }
            if (read) return remembered(std::move(read));
            auto image = fromFile(path);
            if (!image) continue;
            std::shared_ptr<Image> kept;
            {
                std::lock_guard lock(r.mutex);
                kept = r.cache.emplace(path, image).first->second;
            }
            return remembered(std::move(kept));
        }
    }
    return nullptr;
}

void Image::setImageSearchPaths(std::vector<std::string> folders) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.customPaths = std::move(folders);
    r.cache.clear();
    r.byName.clear();
}

void Image::resetImageSearchPaths() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.customPaths.reset();
    r.cache.clear();
    r.byName.clear();
}

std::vector<std::string> Image::imageSearchPaths() {
    auto& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (r.customPaths) return *r.customPaths;
    }
    return defaultSearchPaths();
}

void Image::clearNamedCache() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.cache.clear();
}

cairo_surface_t* Image::cairoSurface() const {
    return pixels_->surface;
}

int Image::pixelWidth() const {
    return cairo_image_surface_get_width(pixels_->surface);
}
int Image::pixelHeight() const {
    return cairo_image_surface_get_height(pixels_->surface);
}
Size Image::size() const {
    return {pixelWidth() / scale_, pixelHeight() / scale_};
}
int Image::stride() const {
    return cairo_image_surface_get_stride(pixels_->surface);
}

const uint8_t* Image::bytes() const {
    cairo_surface_flush(pixels_->surface);
    return cairo_image_surface_get_data(pixels_->surface);
}

uint8_t* Image::mutableBytes() {
    cairo_surface_flush(pixels_->surface);
    cairo_surface_mark_dirty(pixels_->surface);
    return cairo_image_surface_get_data(pixels_->surface);
}

uint32_t Image::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return 0;
    const uint8_t* row = bytes() + size_t(y) * size_t(stride());
    uint32_t v;
    std::memcpy(&v, row + size_t(x) * 4, 4);
    return v;
}

void Image::setPixelAt(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return;
    uint8_t* row = mutableBytes() + size_t(y) * size_t(stride());
    std::memcpy(row + size_t(x) * 4, &argb, 4);
}

Color Image::colorAt(int x, int y) const {
    uint32_t p = pixelAt(x, y);
    double a = ((p >> 24) & 0xff) / 255.0;
    if (a <= 0) return Color::clear();
    auto ch = [&](int shift) { return std::min(1.0, ((p >> shift) & 0xff) / 255.0 / a); };
    return {ch(16), ch(8), ch(0), a};
}

std::shared_ptr<Image> Image::scaledTo(Size size) const {
    int w = int(std::lround(size.width * scale_)), h = int(std::lround(size.height * scale_));
    if (w <= 0 || h <= 0) return nullptr;
    auto out = create(w, h, scale_);
    if (!out) return nullptr;
    cairo_t* cr = cairo_create(out->cairoSurface());
    cairo_scale(cr, double(w) / pixelWidth(), double(h) / pixelHeight());
    cairo_set_source_surface(cr, pixels_->surface, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    // Pad, so the edges do not fade into transparency when the picture is scaled.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(out->cairoSurface());
    return out;
}

std::shared_ptr<Image> Image::croppedTo(const Rect& pixelRect) const {
    Rect whole(0, 0, pixelWidth(), pixelHeight());
    Rect r = Rect(std::floor(pixelRect.minX()), std::floor(pixelRect.minY()),
                  std::ceil(pixelRect.maxX()) - std::floor(pixelRect.minX()),
                  std::ceil(pixelRect.maxY()) - std::floor(pixelRect.minY()))
                 .intersection(whole);
    if (r.isEmpty()) return nullptr;
    int x0 = int(r.x()), y0 = int(r.y()), w = int(r.width()), h = int(r.height());
    auto out = create(w, h, scale_);
    if (!out) return nullptr;
    const uint8_t* src = bytes();
    uint8_t* dst = out->mutableBytes();
    for (int y = 0; y < h; ++y)
        std::memcpy(dst + size_t(y) * size_t(out->stride()), src + size_t(y + y0) * size_t(stride()) + size_t(x0) * 4,
                    size_t(w) * 4);
    return out;
}

std::shared_ptr<Image> Image::copy() const {
    auto out = create(pixelWidth(), pixelHeight(), scale_);
    if (!out) return nullptr;
    std::memcpy(out->mutableBytes(), bytes(), size_t(stride()) * size_t(pixelHeight()));
    out->capInsets_ = capInsets_;
    out->resizingMode_ = resizingMode_;
    out->resizable_ = resizable_;
    return out;
}

std::vector<uint8_t> Image::jpegData(double quality) const {
    int q = int(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
    q = std::max(q, 1);
    auto st = std::make_unique<JpegEncodeState>();
    std::vector<uint8_t> row(size_t(pixelWidth()) * 3);
    std::vector<uint8_t> out;
    if (encodeJpeg(st.get(), bytes(), pixelWidth(), pixelHeight(), stride(), q, &row) && st->buffer)
        out.assign(st->buffer, st->buffer + st->size);
    if (st->buffer) free(st->buffer);
    return out;
}

std::vector<uint8_t> Image::pngData() const {
    std::vector<uint8_t> out;
    cairo_surface_flush(pixels_->surface);
    if (cairo_surface_write_to_png_stream(pixels_->surface, appendToVector, &out) != CAIRO_STATUS_SUCCESS) return {};
    return out;
}

bool Image::writePng(const std::string& path) const {
    return writeWholeFile(path, pngData());
}

bool Image::writeJpeg(const std::string& path, double quality) const {
    return writeWholeFile(path, jpegData(quality));
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(const EdgeInsets& insets, ImageResizingMode mode) const {
    auto out = std::shared_ptr<Image>(new Image(pixels_, scale_));
    out->capInsets_ = insets;
    out->resizingMode_ = mode;
    out->resizable_ = true;
    return out;
}

std::shared_ptr<Image> Image::stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const {
    Size s = size();
    double left = std::max(0, leftCapWidth), top = std::max(0, topCapHeight);
    // A zero cap means the picture does not stretch along that axis in the old form; it then scales whole.
    EdgeInsets insets{top, left, top > 0 ? std::max(0.0, s.height - top - 1) : 0,
                      left > 0 ? std::max(0.0, s.width - left - 1) : 0};
    return resizableImageWithCapInsets(insets, ImageResizingMode::Stretch);
}

std::shared_ptr<Image> Image::halfCapStretchable() const {
    Size s = size();
    double v = std::ceil(s.height * 0.5), h = std::ceil(s.width * 0.5);
    return resizableImageWithCapInsets({v, h, v, h});
}

int Image::maxChannelDifference(const Image& other) const {
    if (pixelWidth() != other.pixelWidth() || pixelHeight() != other.pixelHeight()) return -1;
    int worst = 0;
    for (int y = 0; y < pixelHeight(); ++y) {
        const auto* a = reinterpret_cast<const uint8_t*>(bytes() + size_t(y) * size_t(stride()));
        const auto* b = reinterpret_cast<const uint8_t*>(other.bytes() + size_t(y) * size_t(other.stride()));
        for (int i = 0; i < pixelWidth() * 4; ++i)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    }
    return worst;
}

} // namespace velkora::ui
