// A map of the Earth in spherical Mercator: a plain ground with a degree grid, the annotations' views at
// their points and the device's own position. The region asked for is fitted to the view's aspect (the
// whole of it shows, one axis widened); the map keeps its centre and scale, so the region follows the
// view's size. Scrolling pans, pinching zooms; the delegate hears when a change begins at once and when
// it has settled (after the animation, on the run loop's clock).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/MapAnnotation.h"
#include "platform/ui/MapPointIndex.h"

namespace velkora::foundation {
class Timer;
}
namespace velkora::services {
class LocationManager;
}

namespace velkora::ui {

class MapView;
class PanGestureRecognizer;
enum class GestureRecognizerState;
class PinchGestureRecognizer;
class TapGestureRecognizer;

struct CoordinateSpan {
    double latitudeDelta = 0;
    double longitudeDelta = 0;
};

struct CoordinateRegion {
    MapCoordinate center;
    CoordinateSpan span;
};

// Every callback is optional; all run on the main thread.
class MapViewDelegate {
public:
    virtual ~MapViewDelegate() = default;
    // The view for an annotation, the device's own position (a MapUserLocation) included; null gives the
    // map's own: a red pin, or the blue dot.
    virtual std::shared_ptr<MapAnnotationView> mapViewViewForAnnotation(MapView& /*map*/,
                                                                        const std::shared_ptr<MapAnnotation>& /*a*/) {
        return nullptr;
    }
    virtual void mapViewDidSelectAnnotationView(MapView& /*map*/, MapAnnotationView& /*view*/) {}
    virtual void mapViewDidDeselectAnnotationView(MapView& /*map*/, MapAnnotationView& /*view*/) {}
    virtual void mapViewRegionWillChangeAnimated(MapView& /*map*/, bool /*animated*/) {}
    virtual void mapViewRegionDidChangeAnimated(MapView& /*map*/, bool /*animated*/) {}
    virtual void mapViewDidUpdateUserLocation(MapView& /*map*/, MapUserLocation& /*userLocation*/) {}
    virtual void mapViewDidFailToLocateUser(MapView& /*map*/, const foundation::ErrorPtr& /*error*/) {}
};

// Hands the map the annotations of a part of the world as it comes into sight, the way a table asks its
// data source for rows: the map keeps annotations and views only for what it is given, so a source of many
// points costs the map what shows. The source answers the same annotation for the same point while the
// map holds it (the map keeps a view by its annotation).
class MapPinSource {
public:
    virtual ~MapPinSource() = default;
    // Appends the annotations whose points lie in `rect` (within 0...1 each way), the later above.
    virtual void mapViewAnnotationsInRect(MapView& map, const MapRect& rect,
                                          std::vector<std::shared_ptr<MapAnnotation>>& out) = 0;
};

class MapView : public View {
public:
    // How long an animated region change takes.
    static constexpr double kAnimationDuration = 0.3;
    // The farthest and the closest the map zooms: the world is 512 points wide at zoom 0.
    static constexpr double kMinimumZoomLevel = 0;
    static constexpr double kMaximumZoomLevel = 28;
    // Mercator stops short of the poles.
    static constexpr double kMaximumLatitude = 85.0511287798;

    MapView() : MapView(Rect{}) {}
    explicit MapView(const Rect& frame);
    ~MapView() override;
    static std::shared_ptr<MapView> create(const Rect& frame = {}) { return std::make_shared<MapView>(frame); }
    const char* className() const override { return "MapView"; }

    std::shared_ptr<MapViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MapViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // The region shown, fitted to the view's bounds.
    CoordinateRegion region() const;
    // Shows at least the given region, centred on its centre. An impossible region (a centre off the Earth,
    // a negative or non-finite span) is dropped with a log line.
    void setRegion(const CoordinateRegion& region, bool animated);
    MapCoordinate centerCoordinate() const { return center_; }
    void setCenterCoordinate(const MapCoordinate& center, bool animated);
    // The region a region would become once fitted to this view.
    CoordinateRegion regionThatFits(const CoordinateRegion& region) const;
    // log2 of the world's width in points over 512.
    double zoomLevel() const;

    bool isZoomEnabled() const { return zoomEnabled_; }
    void setZoomEnabled(bool enabled);
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);

    // The device's own position, from a location manager of the map's own while it is shown.
    bool showsUserLocation() const { return showsUserLocation_; }
    void setShowsUserLocation(bool shows);
    const std::shared_ptr<MapUserLocation>& userLocation() const { return userLocation_; }
    bool isUserLocationVisible() const;

    // Annotations with an impossible coordinate are dropped with a log line; one already held stays once.
    void addAnnotation(const std::shared_ptr<MapAnnotation>& annotation);
    void addAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations);
    void removeAnnotation(const std::shared_ptr<MapAnnotation>& annotation);
    void removeAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations);
    // In the order they were added; the device's own position among them while it is shown; then what the
    // pin source has in the whole world.
    std::vector<std::shared_ptr<MapAnnotation>> annotations() const;
    // Annotations the map does not hold: asked for as the map moves. The annotations added above show too.
    std::shared_ptr<MapPinSource> pinSource() const { return pinSource_.lock(); }
    void setPinSource(std::weak_ptr<MapPinSource> source);
    // Asks the pin source again: its annotations changed.
    void reloadPins();
    // The view showing an annotation; null while it is off the screen.
    std::shared_ptr<MapAnnotationView> viewForAnnotation(const std::shared_ptr<MapAnnotation>& annotation) const;
    std::shared_ptr<MapAnnotationView> dequeueReusableAnnotationViewWithIdentifier(const std::string& identifier);

    std::vector<std::shared_ptr<MapAnnotation>> selectedAnnotations() const;
    void selectAnnotation(const std::shared_ptr<MapAnnotation>& annotation, bool animated);
    void deselectAnnotation(const std::shared_ptr<MapAnnotation>& annotation, bool animated);

    // Between the map's coordinates and the view's points.
    Point convertCoordinateToPoint(const MapCoordinate& coordinate) const;
    MapCoordinate convertPointToCoordinate(Point point) const;

    // The recognisers that move the map, for tests and for callers that coordinate with them.
    const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return pan_; }
    const std::shared_ptr<PinchGestureRecognizer>& pinchGestureRecognizer() const { return pinch_; }

    void layoutSubviews() override;
    void drawRect(GraphicsContext& context, const Rect& rect) override;
    void boundsSizeDidChange(Size oldSize) override;

    // The spherical Mercator projection of the whole world onto 0...1 (x east, y south).
    static double mercatorX(double longitude);
    static double mercatorY(double latitude);
    static double longitudeOfMercatorX(double x);
    static double latitudeOfMercatorY(double y);

private:
    class LocationDelegate;
    class GestureDelegate;
    struct Shown {
        uint32_t position; // in pins_
        std::shared_ptr<MapAnnotationView> view;
    };
    struct SourceShown {
        std::shared_ptr<MapAnnotation> annotation;
        std::shared_ptr<MapAnnotationView> view;
    };

    void installGestures();
    // Moves the map; the delegate hears will-change at once and did-change when the change settles.
    void changeTo(MapCoordinate center, double worldWidth, bool animated);
    void beginChange(bool animated);
    void endChange(bool animated);
    void finishAnimation();
    double fittedWorldWidth(const CoordinateRegion& region) const;
    double clampWorldWidth(double width) const;
    void placeAnnotationViews();
    void placeSourcePins();
    // An annotation the map holds or shows from its pin source.
    bool isPin(const std::shared_ptr<MapAnnotation>& annotation) const;
    const SourceShown* sourceShownFor(const MapAnnotation* annotation) const;
    // Gives the pin at `position` a view when it shows, and places the view; true when it shows.
    bool placeView(uint32_t position);
    void enqueue(const std::shared_ptr<MapAnnotationView>& view);
    std::shared_ptr<MapAnnotationView> makeView(const std::shared_ptr<MapAnnotation>& annotation);
    // A point of the world in 0...1 (mercatorX, mercatorY) in the view's points.
    Point pointOfMercator(double x, double y) const;
    std::optional<uint32_t> positionOf(const MapAnnotation* annotation) const;
    std::vector<Shown>::iterator shownAt(uint32_t position);
    std::vector<Shown>::const_iterator shownAt(uint32_t position) const;
    void indexPin(uint32_t position);
    void reindexPins();
    void sortGrid();
    // The positions of the pins whose grid cells meet the visible rectangle.
    std::vector<uint32_t> pinsNearSight();
    void userLocationMoved(MapCoordinate at);
    void handlePan();
    void handlePinch();
    void followGesture(GestureRecognizerState state, const std::function<void()>& begin,
                       const std::function<void()>& apply);
    void handleTap();

    std::weak_ptr<MapViewDelegate> delegate_;
    MapCoordinate center_;
    double worldWidth_ = 512; // points
    bool zoomEnabled_ = true;
    bool scrollEnabled_ = true;
    bool showsUserLocation_ = false;

    // The pins in the order they were added. Only the pins in sight have views (shown_, by position);
    // the others are found through a grid of the world in cells, so a moving map reads the pins near the
    // screen and not every pin. A pin's cell is taken from its coordinate when it is added: the map
    // follows a pin that moves while it shows, and the device's own position wherever it goes.
    std::vector<std::shared_ptr<MapAnnotation>> pins_;
    // Open addressing over the pins' positions, by annotation: each slot is a position + 1, 0 when empty.
    std::vector<uint32_t> slots_;
    // (cell << 32 | position), sorted up to gridSorted_; pins added since wait in the tail.
    std::vector<uint64_t> grid_;
    size_t gridSorted_ = 0;
    std::vector<Shown> shown_; // by position
    std::weak_ptr<MapPinSource> pinSource_;
    std::vector<SourceShown> sourceShown_; // the pin source's annotations in sight, in the order given
    bool placingSourcePins_ = false;
    bool sourcePinsAskedAgain_ = false;
    std::map<std::string, std::vector<std::shared_ptr<MapAnnotationView>>> reusable_;
    std::vector<std::shared_ptr<MapAnnotation>> selected_;
    std::shared_ptr<MapUserLocation> userLocation_;
    std::shared_ptr<services::LocationManager> locationManager_;
    std::shared_ptr<LocationDelegate> locationDelegate_;

    std::shared_ptr<foundation::Timer> animation_; // an animated change waiting to settle
    int gestureChanges_ = 0;                       // recognisers moving the map right now
    MapCoordinate gestureCenter_;
    double gestureWidth_ = 0;
    std::shared_ptr<PanGestureRecognizer> pan_;
    std::shared_ptr<PinchGestureRecognizer> pinch_;
    std::shared_ptr<TapGestureRecognizer> tap_;
    std::shared_ptr<GestureDelegate> gestureDelegate_;
};

} // namespace velkora::ui
