// Images: decoded bitmaps (premultiplied ARGB32, the layout Cairo draws from), PNG and JPEG in and out,
// scaling, cropping, stretchable images with cap insets, and images by name from the kit's bundle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace velkora::ui {

enum class ImageResizingMode { Tile = 0, Stretch = 1 };

enum class ImageFormat { Unknown, Png, Jpeg };

class Image {
public:
    // Decodes PNG or JPEG bytes; null for anything else, for a damaged file, or for an empty one.
    static std::shared_ptr<Image> fromData(const uint8_t* bytes, size_t length, double scale = 1.0);
    static std::shared_ptr<Image> fromData(const std::vector<uint8_t>& bytes, double scale = 1.0);
    static std::shared_ptr<Image> fromData(std::string_view bytes, double scale = 1.0);
    static std::shared_ptr<Image> fromFile(const std::string& path);
    // A transparent image of whole pixels.
    static std::shared_ptr<Image> create(int pixelWidth, int pixelHeight, double scale = 1.0);
    // Takes over a Cairo image surface of format ARGB32 (one reference is adopted).
    static std::shared_ptr<Image> adoptSurface(cairo_surface_t* surface, double scale = 1.0);

    // The kit's images: the name as given, then the name with ".png", in the images folder. Loaded images
    // are kept, so asking twice gives the same object. Null when neither file decodes.
    static std::shared_ptr<Image> named(const std::string& name);
    // The folders searched by named(), in order. By default the images folder of the bundle's resources
    // (foundation::Bundle) and the one the build generates the kit's images into.
    static void setImageSearchPaths(std::vector<std::string> folders);
    static void resetImageSearchPaths();
    static std::vector<std::string> imageSearchPaths();
    static void clearNamedCache();

    // Reads only the header: pixel size and format, without decoding the picture.
    struct Header {
        ImageFormat format = ImageFormat::Unknown;
        int pixelWidth = 0;
        int pixelHeight = 0;
    };
    static std::optional<Header> headerOfData(const uint8_t* bytes, size_t length);
    static std::optional<Header> headerOfFile(const std::string& path);

    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // In points: pixels divided by the scale.
    Size size() const;
    double scale() const { return scale_; }
    int pixelWidth() const;
    int pixelHeight() const;

    // Premultiplied ARGB32, native endian, rows `stride()` bytes apart.
    const uint8_t* bytes() const;
    uint8_t* mutableBytes();
    int stride() const;
    // A pixel as 0xAARRGGBB, premultiplied; 0 outside the picture.
    uint32_t pixelAt(int x, int y) const;
    void setPixelAt(int x, int y, uint32_t argbPremultiplied);
    // A pixel with the premultiplication undone.
    Color colorAt(int x, int y) const;

    // A copy drawn at a new size in points (same scale); null for an empty size.
    std::shared_ptr<Image> scaledTo(Size size) const;
    // The part inside `rect` (in pixels), clipped to the picture; null when nothing is left.
    std::shared_ptr<Image> croppedTo(const Rect& pixelRect) const;
    // A copy of the pixels (cap insets are kept).
    std::shared_ptr<Image> copy() const;

    // JPEG at quality 0...1 (transparent parts come out black, as the pixels are premultiplied).
    std::vector<uint8_t> jpegData(double quality) const;
    std::vector<uint8_t> pngData() const;
    bool writePng(const std::string& path) const;
    bool writeJpeg(const std::string& path, double quality) const;

    // Stretchable images share the pixels; only the caps and the mode differ.
    std::shared_ptr<Image> resizableImageWithCapInsets(const EdgeInsets& insets,
                                                       ImageResizingMode mode = ImageResizingMode::Tile) const;
    // The older form: the right cap is width - left - 1, the bottom cap height - top - 1.
    std::shared_ptr<Image> stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const;
    // Caps of half the size, rounded up, on every side: only the middle line and column stretch.
    std::shared_ptr<Image> halfCapStretchable() const;
    EdgeInsets capInsets() const { return capInsets_; }
    ImageResizingMode resizingMode() const { return resizingMode_; }
    bool isResizable() const { return resizable_; }

    // The bitmap behind the image, for drawing; owned by the image.
    cairo_surface_t* cairoSurface() const;

    // Compares pixels: the largest difference of any channel of any pixel; -1 when the sizes differ.
    int maxChannelDifference(const Image& other) const;

private:
    struct Pixels;
    Image(std::shared_ptr<Pixels> pixels, double scale);
    std::shared_ptr<Pixels> pixels_;
    double scale_ = 1.0;
    EdgeInsets capInsets_;
    ImageResizingMode resizingMode_ = ImageResizingMode::Tile;
    bool resizable_ = false;
};

using ImagePtr = std::shared_ptr<Image>;

}  // namespace velkora::ui
