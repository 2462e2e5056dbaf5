// What a map shows at a place: the annotation (a coordinate and its texts) and the view that draws it.
// Views are made by the map's delegate, or by the map itself (a red pin, or the blue dot of the device's own
// position), and reused under their reuse identifier once their annotation leaves the map or the screen.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/View.h"

namespace velkora::ui {

// Degrees.
struct MapCoordinate {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const MapCoordinate&) const = default;
};

// Whether a coordinate names a place on Earth: finite, latitude within ±90, longitude within ±180.
bool isValidCoordinate(const MapCoordinate& c);

class MapAnnotation {
public:
    virtual ~MapAnnotation() = default;
    virtual MapCoordinate coordinate() const = 0;
    virtual std::string title() const { return {}; }
    virtual std::string subtitle() const { return {}; }
};

// An annotation that is just a place and a title.
class MapPointAnnotation : public MapAnnotation {
public:
    MapPointAnnotation() = default;
    explicit MapPointAnnotation(MapCoordinate c, std::string title = {}) : coordinate_(c), title_(std::move(title)) {}
    MapCoordinate coordinate() const override { return coordinate_; }
    void setCoordinate(MapCoordinate c) { coordinate_ = c; }
    std::string title() const override { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    std::string subtitle() const override { return subtitle_; }
    void setSubtitle(std::string s) { subtitle_ = std::move(s); }

private:
    MapCoordinate coordinate_;
    std::string title_, subtitle_;
};

// The device's own position on a map that shows it; its coordinate is (0, 0) until the first fix.
class MapUserLocation : public MapAnnotation {
public:
    MapCoordinate coordinate() const override { return location_.value_or(MapCoordinate{}); }
    std::string title() const override { return "Current Location"; }
    std::optional<MapCoordinate> location() const { return location_; }
    bool isUpdating() const { return updating_; }

private:
    friend class MapView;
    std::optional<MapCoordinate> location_;
    bool updating_ = false;
};

class MapAnnotationView : public View {
public:
    MapAnnotationView(std::shared_ptr<MapAnnotation> annotation, std::string reuseIdentifier);
    const char* className() const override { return "MapAnnotationView"; }

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    std::shared_ptr<MapAnnotation> annotation() const { return annotation_; }
    // Subclasses that follow their annotation override it and call this first.
    virtual void setAnnotation(std::shared_ptr<MapAnnotation> annotation);
    // The view's centre sits this far from the annotation's point.
    Point centerOffset() const { return centerOffset_; }
    void setCenterOffset(Point offset);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Called when the map takes the view out of its reuse queue.
    virtual void prepareForReuse() {}

private:
    friend class MapView;
    std::shared_ptr<MapAnnotation> annotation_;
    std::string reuseIdentifier_;
    Point centerOffset_;
    bool selected_ = false;
    bool enabled_ = true;
};

// The map's own pin: a red head on a needle whose tip is the annotation's point.
class MapPinAnnotationView : public MapAnnotationView {
public:
    static constexpr const char* kReuseIdentifier = "MapPinAnnotationView";
    MapPinAnnotationView(std::shared_ptr<MapAnnotation> annotation, std::string reuseIdentifier);
    const char* className() const override { return "MapPinAnnotationView"; }
    void drawRect(GraphicsContext& context, const Rect& rect) override;
    Color pinColor() const { return pinColor_; }
    void setPinColor(Color c);

private:
    Color pinColor_;
};

// The blue dot of the device's own position.
class MapUserLocationView : public MapAnnotationView {
public:
    static constexpr const char* kReuseIdentifier = "MapUserLocationView";
    explicit MapUserLocationView(std::shared_ptr<MapAnnotation> annotation);
    const char* className() const override { return "MapUserLocationView"; }
    void drawRect(GraphicsContext& context, const Rect& rect) override;
};

} // namespace velkora::ui
