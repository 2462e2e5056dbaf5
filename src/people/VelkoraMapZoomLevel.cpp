#include "people/VelkoraMapZoomLevel.h"

#include <cmath>
#include <numbers>

namespace velkora::mapzoom {

namespace {
constexpr double kPi = std::numbers::pi;
} // namespace

double longitudeToPixelSpaceX(double longitude) {
    return std::round(kMercatorOffset + kMercatorRadius * longitude * kPi / 180.0);
}

double latitudeToPixelSpaceY(double latitude) {
    // Single precision, as the maps of the original did: the pixel rows they give are the ones people saw.
    const float s = std::sin(static_cast<float>(latitude * kPi / 180.0));
    const float l = std::log((1.0f + s) / (1.0f - s));
    return std::round(kMercatorOffset - kMercatorRadius * static_cast<double>(l) / 2.0);
}

double pixelSpaceXToLongitude(double pixelX) {
    return (std::round(pixelX) - kMercatorOffset) / kMercatorRadius * 180.0 / kPi;
}

double pixelSpaceYToLatitude(double pixelY) {
    return (kPi / 2.0 - 2.0 * std::atan(std::exp((std::round(pixelY) - kMercatorOffset) / kMercatorRadius))) * 180.0 /
           kPi;
}

ui::CoordinateSpan coordinateSpanWithMapView(const ui::MapView& map, const ui::MapCoordinate& center,
                                             unsigned zoomLevel) {
    const double centerPixelX = longitudeToPixelSpaceX(center.longitude);
    const double centerPixelY = latitudeToPixelSpaceY(center.latitude);
    const double scale = std::pow(2.0, 20.0 - static_cast<double>(zoomLevel));
    const auto size = map.bounds().size;
    const double width = size.width * scale;
    const double height = size.height * scale;
    const double left = centerPixelX - width / 2;
    const double top = centerPixelY - height / 2;
    ui::CoordinateSpan span;
    span.longitudeDelta = pixelSpaceXToLongitude(left + width) - pixelSpaceXToLongitude(left);
    span.latitudeDelta = -(pixelSpaceYToLatitude(top + height) - pixelSpaceYToLatitude(top));
    return span;
}

void setCenterCoordinate(ui::MapView& map, const ui::MapCoordinate& center, unsigned zoomLevel, bool animated) {
    if (zoomLevel > kMaximumZoom) zoomLevel = kMaximumZoom;
    map.setRegion({center, coordinateSpanWithMapView(map, center, zoomLevel)}, animated);
}

double getZoomLevel(const ui::MapView& map) {
    const auto region = map.region();
    const double left = region.center.longitude - region.span.longitudeDelta / 2;
    const double right = region.center.longitude + region.span.longitudeDelta / 2;
    const double d = std::abs(std::trunc(longitudeToPixelSpaceX(right) - longitudeToPixelSpaceX(left)));
    if (d <= 0 || map.bounds().size.width <= 0) return 0;
    return 20.0 + std::log2(map.bounds().size.width / d);
}

} // namespace velkora::mapzoom
