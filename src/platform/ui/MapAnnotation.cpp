#include "platform/ui/MapAnnotation.h"

#include <cmath>

#include "platform/ui/GraphicsContext.h"

namespace velkora::ui {

bool isValidCoordinate(const MapCoordinate& c) {
    return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::fabs(c.latitude) <= 90 &&
           std::fabs(c.longitude) <= 180;
}

MapAnnotationView::MapAnnotationView(std::shared_ptr<MapAnnotation> annotation, std::string reuseIdentifier)
    : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)) {}

void MapAnnotationView::setAnnotation(std::shared_ptr<MapAnnotation> annotation) {
    annotation_ = std::move(annotation);
    setNeedsDisplay();
}

void MapAnnotationView::setCenterOffset(Point offset) {
    Point was = centerOffset_;
    centerOffset_ = offset;
    // Keeps the annotation's point where it was.
    Point c = center();
    setCenter({c.x - was.x + offset.x, c.y - was.y + offset.y});
}

void MapAnnotationView::setSelected(bool selected, bool /*animated*/) {
    selected_ = selected;
    setNeedsDisplay();
}

namespace {
constexpr double kPinWidth = 20, kPinHeight = 36, kPinHeadRadius = 7;
constexpr double kDotSize = 24;
} // namespace

MapPinAnnotationView::MapPinAnnotationView(std::shared_ptr<MapAnnotation> annotation, std::string reuseIdentifier)
    : MapAnnotationView(std::move(annotation), std::move(reuseIdentifier)), pinColor_(Color::fromHex("#D93A2B")) {
    setFrame({0, 0, kPinWidth, kPinHeight});
    // The needle's tip, at the bottom middle, marks the place.
    setCenterOffset({0, -kPinHeight / 2});
}

void MapPinAnnotationView::setPinColor(Color c) {
    pinColor_ = c;
    setNeedsDisplay();
}

void MapPinAnnotationView::drawRect(GraphicsContext& context, const Rect& /*rect*/) {
    double mid = kPinWidth / 2;
    context.setStrokeColor(Color::fromHex("#55585E"));
    context.setLineWidth(2);
    context.strokeLine({mid, kPinHeadRadius * 2}, {mid, kPinHeight});
    Rect head{mid - kPinHeadRadius, 1, kPinHeadRadius * 2, kPinHeadRadius * 2};
    context.setFillColor(isSelected() ? Color::fromHex("#F2A33A") : pinColor_);
    context.fillEllipseInRect(head);
    context.setStrokeColor(Color::rgba(0, 0, 0, 0.35));
    context.setLineWidth(1);
    context.strokeEllipseInRect(head);
    context.setFillColor(Color::rgba(1, 1, 1, 0.6));
    context.fillEllipseInRect({mid - 3.5, 4, 3, 3});
}

MapUserLocationView::MapUserLocationView(std::shared_ptr<MapAnnotation> annotation)
    : MapAnnotationView(std::move(annotation), kReuseIdentifier) {
    setFrame({0, 0, kDotSize, kDotSize});
}

void MapUserLocationView::drawRect(GraphicsContext& context, const Rect& /*rect*/) {
    context.setFillColor(Color::rgba(0.18, 0.49, 0.96, 0.18));
    context.fillEllipseInRect({0, 0, kDotSize, kDotSize});
    context.setFillColor(Color::whiteColor());
    context.fillEllipseInRect({3, 3, kDotSize - 6, kDotSize - 6});
    context.setFillColor(Color::fromHex("#2F7CF6"));
    context.fillEllipseInRect({6, 6, kDotSize - 12, kDotSize - 12});
}

} // namespace velkora::ui
