#include "platform/ui/MapView.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/PinchGestureRecognizer.h"

namespace velkora::ui {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The world's width in points at zoom 0; zoom 20 is then the radar's pixel space of 2^29 points.
constexpr double kTileWidth = 512;
// Annotation views this far outside the bounds still show, so pins whose point is just off the edge do not
// pop in and out.
constexpr double kVisibleMargin = 60;

double wrapUnit(double x) {
    x = std::fmod(x, 1.0);
    return x < 0 ? x + 1 : x;
}

void logDropped(const char* what, const MapCoordinate& c) {
    foundation::Log::line("Velkora (W) - Map %@ dropped: impossible coordinate latitude %@, longitude %@", what,
                          c.latitude, c.longitude);
}

} // namespace

// ---- projection

double MapView::mercatorX(double longitude) {
    return (longitude + 180) / 360;
}

double MapView::mercatorY(double latitude) {
    double lat = std::clamp(latitude, -kMaximumLatitude, kMaximumLatitude);
    double s = std::sin(lat * kPi / 180);
    return 0.5 - std::log((1 + s) / (1 - s)) / (4 * kPi);
}

double MapView::longitudeOfMercatorX(double x) {
    return x * 360 - 180;
}

double MapView::latitudeOfMercatorY(double y) {
    return (kPi / 2 - 2 * std::atan(std::exp((y - 0.5) * 2 * kPi))) * 180 / kPi;
}

// ---- helpers the map owns

class MapView::LocationDelegate : public services::LocationManagerDelegate {
public:
    explicit LocationDelegate(MapView* map) : map_(map) {}
    void locationManagerDidUpdateLocations(services::LocationManager&,
                                           const std::vector<services::LocationFix>& fixes) override {
        if (map_ && !fixes.empty()) map_->userLocationMoved({fixes.back().latitude, fixes.back().longitude});
    }
    void locationManagerDidFailWithError(services::LocationManager&, const foundation::ErrorPtr& error) override {
        if (!map_) return;
        if (auto d = map_->delegate()) d->mapViewDidFailToLocateUser(*map_, error);
    }
    MapView* map_;
};

class MapView::GestureDelegate : public GestureRecognizerDelegate {
public:
    // Panning and pinching move the map together.
    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer& a, GestureRecognizer& b) override {
        auto moves = [](GestureRecognizer& r) {
            return dynamic_cast<PanGestureRecognizer*>(&r) || dynamic_cast<PinchGestureRecognizer*>(&r);
        };
        return moves(a) && moves(b);
    }
};

// ---- the map

MapView::MapView(const Rect& frame) : View(frame), userLocation_(std::make_shared<MapUserLocation>()) {
    setClipsToBounds(true);
    setMultipleTouchEnabled(true);
    installGestures();
}

MapView::~MapView() {
    // The touch routing may still hold the recognisers for a moment; their actions point at this map.
    for (const auto& r :
         {std::static_pointer_cast<GestureRecognizer>(pan_), std::static_pointer_cast<GestureRecognizer>(pinch_),
          std::static_pointer_cast<GestureRecognizer>(tap_)})
        r->removeAllTargets();
    if (animation_) animation_->invalidate();
    if (locationDelegate_) locationDelegate_->map_ = nullptr;
    if (locationManager_) locationManager_->stopUpdatingLocation();
}

void MapView::installGestures() {
    gestureDelegate_ = std::make_shared<GestureDelegate>();
    pan_ = std::make_shared<PanGestureRecognizer>();
    pan_->addAction([this](GestureRecognizer&) { handlePan(); });
    pan_->setDelegate(gestureDelegate_);
    addGestureRecognizer(pan_);
    pinch_ = std::make_shared<PinchGestureRecognizer>();
    pinch_->addAction([this](GestureRecognizer&) { handlePinch(); });
    pinch_->setDelegate(gestureDelegate_);
    addGestureRecognizer(pinch_);
    tap_ = std::make_shared<TapGestureRecognizer>();
    tap_->setCancelsTouchesInView(false); // buttons inside annotation views still get their taps
    tap_->addAction([this](GestureRecognizer&) { handleTap(); });
    addGestureRecognizer(tap_);
}

double MapView::clampWorldWidth(double width) const {
    double lo = kTileWidth * std::exp2(kMinimumZoomLevel), hi = kTileWidth * std::exp2(kMaximumZoomLevel);
    if (!std::isfinite(width)) return hi;
    return std::clamp(width, lo, hi);
}

double MapView::zoomLevel() const {
    return std::log2(worldWidth_ / kTileWidth);
}

double MapView::fittedWorldWidth(const CoordinateRegion& region) const {
    Rect b = bounds();
    if (b.size.width <= 0 || b.size.height <= 0) return worldWidth_;
    double yc = mercatorY(region.center.latitude);
    double dx = std::min(region.span.longitudeDelta, 360.0) / 360;
    // The map stays centred on the region's centre, so the taller half decides.
    double north = yc - mercatorY(region.center.latitude + region.span.latitudeDelta / 2);
    double south = mercatorY(region.center.latitude - region.span.latitudeDelta / 2) - yc;
    double dy = 2 * std::max(north, south);
    double width = kTileWidth * std::exp2(kMaximumZoomLevel);
    if (dx > 0) width = std::min(width, b.size.width / dx);
    if (dy > 0) width = std::min(width, b.size.height / dy);
    return clampWorldWidth(width);
}

CoordinateRegion MapView::regionThatFits(const CoordinateRegion& region) const {
    double width = fittedWorldWidth(region);
    Rect b = bounds();
    double yc = mercatorY(region.center.latitude), half = b.size.height / 2 / width;
    return {
        region.center,
        {latitudeOfMercatorY(yc - half) - latitudeOfMercatorY(yc + half), std::min(360.0, b.size.width / width * 360)}};
}

CoordinateRegion MapView::region() const {
    Rect b = bounds();
    double yc = mercatorY(center_.latitude), half = b.size.height / 2 / worldWidth_;
    return {center_,
            {latitudeOfMercatorY(yc - half) - latitudeOfMercatorY(yc + half),
             std::min(360.0, b.size.width / worldWidth_ * 360)}};
}

void MapView::setRegion(const CoordinateRegion& region, bool animated) {
    const auto& s = region.span;
    if (!isValidCoordinate(region.center) || !std::isfinite(s.latitudeDelta) || !std::isfinite(s.longitudeDelta) ||
        s.latitudeDelta < 0 || s.longitudeDelta < 0) {
        logDropped("region", region.center);
        return;
    }
    changeTo(region.center, fittedWorldWidth(region), animated);
}

void MapView::setCenterCoordinate(const MapCoordinate& center, bool animated) {
    if (!isValidCoordinate(center)) {
        logDropped("centre", center);
        return;
    }
    changeTo(center, worldWidth_, animated);
}

void MapView::changeTo(MapCoordinate center, double worldWidth, bool animated) {
    center.latitude = std::clamp(center.latitude, -kMaximumLatitude, kMaximumLatitude);
    beginChange(animated);
    center_ = center;
    worldWidth_ = clampWorldWidth(worldWidth);
    placeAnnotationViews();
    setNeedsDisplay();
    endChange(animated);
}

void MapView::beginChange(bool animated) {
    // A change that interrupts an animation settles that one first, so every will-change has its did-change.
    if (animation_) finishAnimation();
    if (auto d = delegate()) d->mapViewRegionWillChangeAnimated(*this, animated);
}

void MapView::endChange(bool animated) {
    if (!animated) {
        if (auto d = delegate()) d->mapViewRegionDidChangeAnimated(*this, false);
        return;
    }
    std::weak_ptr<Responder> weak = weak_from_this();
    animation_ = foundation::RunLoop::main().schedule(kAnimationDuration, false, [weak](foundation::Timer&) {
        if (auto self = std::dynamic_pointer_cast<MapView>(weak.lock())) self->finishAnimation();
    });
}

void MapView::finishAnimation() {
    if (!animation_) return;
    animation_->invalidate();
    animation_.reset();
    if (auto d = delegate()) d->mapViewRegionDidChangeAnimated(*this, true);
}

void MapView::setZoomEnabled(bool enabled) {
    zoomEnabled_ = enabled;
    pinch_->setEnabled(enabled);
}

void MapView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

// ---- conversions

Point MapView::convertCoordinateToPoint(const MapCoordinate& c) const {
    Rect b = bounds();
    double dx = mercatorX(c.longitude) - mercatorX(center_.longitude);
    // The shorter way round the world.
    dx = wrapUnit(dx + 0.5) - 0.5;
    double dy = mercatorY(c.latitude) - mercatorY(center_.latitude);
    return {b.midX() + dx * worldWidth_, b.midY() + dy * worldWidth_};
}

MapCoordinate MapView::convertPointToCoordinate(Point p) const {
    Rect b = bounds();
    double x = wrapUnit(mercatorX(center_.longitude) + (p.x - b.midX()) / worldWidth_);
    double y = std::clamp(mercatorY(center_.latitude) + (p.y - b.midY()) / worldWidth_, 0.0, 1.0);
    return {latitudeOfMercatorY(y), longitudeOfMercatorX(x)};
}

// ---- annotations

MapView::Entry* MapView::entryFor(const MapAnnotation* a) {
    auto it = index_.find(a);
    return it == index_.end() ? nullptr : &entries_[it->second];
}

const MapView::Entry* MapView::entryFor(const MapAnnotation* a) const {
    auto it = index_.find(a);
    return it == index_.end() ? nullptr : &entries_[it->second];
}

void MapView::addAnnotation(const std::shared_ptr<MapAnnotation>& annotation) {
    if (!annotation || entryFor(annotation.get())) return;
    if (!isValidCoordinate(annotation->coordinate())) {
        logDropped("annotation", annotation->coordinate());
        return;
    }
    index_.emplace(annotation.get(), entries_.size());
    entries_.push_back({annotation, nullptr});
    placeView(entries_.size() - 1);
}

void MapView::addAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations) {
    entries_.reserve(entries_.size() + annotations.size());
    index_.reserve(index_.size() + annotations.size());
    for (const auto& a : annotations)
        addAnnotation(a);
}

void MapView::removeAnnotation(const std::shared_ptr<MapAnnotation>& annotation) {
    auto found = annotation ? index_.find(annotation.get()) : index_.end();
    if (found == index_.end()) return;
    const size_t at = found->second;
    index_.erase(found);
    auto view = std::move(entries_[at].view);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    for (size_t i = at; i < entries_.size(); ++i)
        index_[entries_[i].annotation.get()] = i;
    std::erase(selected_, annotation);
    if (view) enqueue(view);
}

// In one pass over the entries, however many go: removing one at a time moves every entry after it.
void MapView::removeAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations) {
    std::vector<std::shared_ptr<MapAnnotationView>> views;
    size_t first = entries_.size();
    for (const auto& a : annotations) {
        auto found = a ? index_.find(a.get()) : index_.end();
        if (found == index_.end()) continue;
        Entry& entry = entries_[found->second];
        first = std::min(first, found->second);
        if (entry.view) views.push_back(std::move(entry.view));
        entry.annotation.reset(); // marks the entry as going
        index_.erase(found);
        std::erase(selected_, a);
    }
    if (first == entries_.size()) return;
    auto kept = std::remove_if(entries_.begin() + static_cast<std::ptrdiff_t>(first), entries_.end(),
                               [](const Entry& e) { return !e.annotation; });
    entries_.erase(kept, entries_.end());
    for (size_t i = first; i < entries_.size(); ++i)
        index_[entries_[i].annotation.get()] = i;
    for (const auto& view : views)
        enqueue(view);
}

std::vector<std::shared_ptr<MapAnnotation>> MapView::annotations() const {
    std::vector<std::shared_ptr<MapAnnotation>> out;
    for (const auto& e : entries_)
        out.push_back(e.annotation);
    return out;
}

std::shared_ptr<MapAnnotationView> MapView::viewForAnnotation(const std::shared_ptr<MapAnnotation>& a) const {
    const Entry* e = entryFor(a.get());
    return e ? e->view : nullptr;
}

std::shared_ptr<MapAnnotationView> MapView::dequeueReusableAnnotationViewWithIdentifier(const std::string& id) {
    auto it = reusable_.find(id);
    if (it == reusable_.end() || it->second.empty()) return nullptr;
    auto view = std::move(it->second.back());
    it->second.pop_back();
    view->prepareForReuse();
    return view;
}

void MapView::enqueue(const std::shared_ptr<MapAnnotationView>& view) {
    view->removeFromSuperview();
    view->selected_ = false;
    if (!view->reuseIdentifier().empty()) reusable_[view->reuseIdentifier()].push_back(view);
}

std::shared_ptr<MapAnnotationView> MapView::makeView(const std::shared_ptr<MapAnnotation>& annotation) {
    std::shared_ptr<MapAnnotationView> view;
    if (auto d = delegate()) view = d->mapViewViewForAnnotation(*this, annotation);
    if (!view) {
        if (annotation == userLocation_) {
            view = dequeueReusableAnnotationViewWithIdentifier(MapUserLocationView::kReuseIdentifier);
            if (!view) view = std::make_shared<MapUserLocationView>(annotation);
        } else {
            view = dequeueReusableAnnotationViewWithIdentifier(MapPinAnnotationView::kReuseIdentifier);
            if (!view)
                view = std::make_shared<MapPinAnnotationView>(annotation, MapPinAnnotationView::kReuseIdentifier);
        }
    }
    if (view->annotation() != annotation) view->setAnnotation(annotation);
    view->selected_ = std::find(selected_.begin(), selected_.end(), annotation) != selected_.end();
    return view;
}

// By index: the delegate asked for a view may add annotations, and the entries move when they grow.
void MapView::placeView(size_t at) {
    Point p = convertCoordinateToPoint(entries_[at].annotation->coordinate());
    Rect visible = bounds().insetBy(-kVisibleMargin, -kVisibleMargin);
    if (!visible.contains(p)) {
        if (entries_[at].view) enqueue(std::exchange(entries_[at].view, nullptr));
        return;
    }
    if (!entries_[at].view) {
        auto view = makeView(std::shared_ptr(entries_[at].annotation)); // a copy: the entries may move
        entries_[at].view = view;
        addSubview(view);
    }
    const auto& view = entries_[at].view;
    Point offset = view->centerOffset();
    view->setCenter({p.x + offset.x, p.y + offset.y});
}

void MapView::placeAnnotationViews() {
    for (size_t i = 0; i < entries_.size(); ++i)
        placeView(i);
}

void MapView::layoutSubviews() {
    View::layoutSubviews();
    placeAnnotationViews();
}

void MapView::boundsSizeDidChange(Size /*oldSize*/) {
    placeAnnotationViews();
    setNeedsDisplay();
}

// ---- selection

std::vector<std::shared_ptr<MapAnnotation>> MapView::selectedAnnotations() const {
    return selected_;
}

void MapView::selectAnnotation(const std::shared_ptr<MapAnnotation>& annotation, bool animated) {
    if (!annotation || !entryFor(annotation.get())) return;
    if (std::find(selected_.begin(), selected_.end(), annotation) != selected_.end()) return;
    for (auto other : std::vector(selected_))
        deselectAnnotation(other, animated);
    selected_.push_back(annotation);
    auto view = viewForAnnotation(annotation);
    if (!view) return;
    view->setSelected(true, animated);
    if (auto d = delegate()) d->mapViewDidSelectAnnotationView(*this, *view);
}

void MapView::deselectAnnotation(const std::shared_ptr<MapAnnotation>& annotation, bool animated) {
    auto it = std::find(selected_.begin(), selected_.end(), annotation);
    if (it == selected_.end()) return;
    selected_.erase(it);
    auto view = viewForAnnotation(annotation);
    if (!view) return;
    view->setSelected(false, animated);
    if (auto d = delegate()) d->mapViewDidDeselectAnnotationView(*this, *view);
}

// ---- the device's own position

void MapView::setShowsUserLocation(bool shows) {
    if (shows == showsUserLocation_) return;
    showsUserLocation_ = shows;
    if (shows) {
        locationDelegate_ = std::make_shared<LocationDelegate>(this);
        locationManager_ = services::LocationManager::create();
        locationManager_->setDelegate(locationDelegate_);
        userLocation_->updating_ = true;
        locationManager_->startUpdatingLocation();
        return;
    }
    locationDelegate_->map_ = nullptr;
    locationManager_->stopUpdatingLocation();
    locationManager_.reset();
    locationDelegate_.reset();
    userLocation_->updating_ = false;
    userLocation_->location_.reset();
    removeAnnotation(userLocation_);
}

void MapView::userLocationMoved(MapCoordinate at) {
    if (!showsUserLocation_) return;
    userLocation_->location_ = at;
    if (auto found = index_.find(userLocation_.get()); found != index_.end())
        placeView(found->second);
    else
        addAnnotation(userLocation_);
    if (auto d = delegate()) d->mapViewDidUpdateUserLocation(*this, *userLocation_);
}

bool MapView::isUserLocationVisible() const {
    if (!showsUserLocation_ || !userLocation_->location_) return false;
    return bounds().contains(convertCoordinateToPoint(*userLocation_->location_));
}

// ---- gestures

// Pan and pinch share one region change: the first recogniser to begin opens it, the last to end closes it.
void MapView::followGesture(GestureRecognizerState state, const std::function<void()>& begin,
                            const std::function<void()>& apply) {
    using S = GestureRecognizerState;
    switch (state) {
    case S::Began:
        begin();
        if (gestureChanges_++ == 0) beginChange(false);
        [[fallthrough]];
    case S::Changed:
        apply();
        placeAnnotationViews();
        setNeedsDisplay();
        break;
    case S::Ended:
    case S::Cancelled:
        if (--gestureChanges_ == 0) endChange(false);
        break;
    default:
        break;
    }
}

void MapView::handlePan() {
    followGesture(
        pan_->state(), [&] { gestureCenter_ = center_; },
        [&] {
            Point t = pan_->translationInView(this);
            double x = wrapUnit(mercatorX(gestureCenter_.longitude) - t.x / worldWidth_);
            double y = std::clamp(mercatorY(gestureCenter_.latitude) - t.y / worldWidth_, 0.0, 1.0);
            center_ = {std::clamp(latitudeOfMercatorY(y), -kMaximumLatitude, kMaximumLatitude),
                       longitudeOfMercatorX(x)};
        });
}

void MapView::handlePinch() {
    followGesture(
        pinch_->state(), [&] { gestureWidth_ = worldWidth_; },
        [&] { worldWidth_ = clampWorldWidth(gestureWidth_ * pinch_->scale()); });
}

void MapView::handleTap() {
    if (tap_->state() != GestureRecognizerState::Ended) return;
    Point p = tap_->locationInView(this);
    // The topmost view under the finger.
    for (auto it = subviews().rbegin(); it != subviews().rend(); ++it) {
        auto view = std::dynamic_pointer_cast<MapAnnotationView>(*it);
        if (!view || view->isHidden() || !view->isEnabled() || !view->frame().contains(p)) continue;
        if (auto a = view->annotation(); a && entryFor(a.get())) {
            selectAnnotation(a, true);
            return;
        }
    }
    for (auto a : std::vector(selected_))
        deselectAnnotation(a, true);
}

// ---- drawing

void MapView::drawRect(GraphicsContext& context, const Rect& /*rect*/) {
    Rect b = bounds();
    context.setFillColor(Color::fromHex("#EDEAE2"));
    context.fillRect(b);

    // Grid lines at least this far apart, at a round number of degrees.
    constexpr double kMinimumGap = 40;
    static const double kSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 45, 90};
    double want = kMinimumGap * 360 / worldWidth_, step = 90;
    for (double s : kSteps)
        if (s >= want) {
            step = s;
            break;
        }
    Color grid = Color::fromHex("#D3CDBE"), axis = Color::fromHex("#B3A991");
    context.setLineWidth(1);
    auto line = [&](double degrees, Point a, Point c) {
        context.setStrokeColor(std::fabs(degrees) < step / 2 ? axis : grid);
        context.strokeLine(a, c);
    };
    // Meridians, in unwrapped longitudes so a view across the date line still gets them all.
    double cx = mercatorX(center_.longitude);
    double west = longitudeOfMercatorX(cx - b.size.width / 2 / worldWidth_);
    double east = longitudeOfMercatorX(cx + b.size.width / 2 / worldWidth_);
    for (double lon = std::ceil(west / step) * step; lon <= east; lon += step) {
        double x = std::round(b.midX() + (mercatorX(lon) - cx) * worldWidth_) + 0.5;
        double wrapped = std::remainder(lon, 360.0);
        line(wrapped, {x, b.minY()}, {x, b.maxY()});
    }
    double cy = mercatorY(center_.latitude);
    double north = std::min(kMaximumLatitude, latitudeOfMercatorY(std::max(0.0, cy - b.size.height / 2 / worldWidth_)));
    double south =
        std::max(-kMaximumLatitude, latitudeOfMercatorY(std::min(1.0, cy + b.size.height / 2 / worldWidth_)));
    for (double lat = std::ceil(south / step) * step; lat <= north; lat += step) {
        double y = std::round(b.midY() + (mercatorY(lat) - cy) * worldWidth_) + 0.5;
        line(lat, {b.minX(), y}, {b.maxX(), y});
    }
}

} // namespace velkora::ui
