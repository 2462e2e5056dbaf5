#include "platform/ui/MapView.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <unordered_set>

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
    return pointOfMercator(mercatorX(c.longitude), mercatorY(c.latitude));
}

Point MapView::pointOfMercator(double x, double y) const {
    Rect b = bounds();
    // The shorter way round the world.
    const double dx = wrapUnit(x - mercatorX(center_.longitude) + 0.5) - 0.5;
    const double dy = y - mercatorY(center_.latitude);
    return {b.midX() + dx * worldWidth_, b.midY() + dy * worldWidth_};
}

MapCoordinate MapView::convertPointToCoordinate(Point p) const {
    Rect b = bounds();
    double x = wrapUnit(mercatorX(center_.longitude) + (p.x - b.midX()) / worldWidth_);
    double y = std::clamp(mercatorY(center_.latitude) + (p.y - b.midY()) / worldWidth_, 0.0, 1.0);
    return {latitudeOfMercatorY(y), longitudeOfMercatorX(x)};
}

// ---- annotations

namespace {

// The grid's cells: the world cut in 2^14 columns and rows (some 2.4 km at the equator).
constexpr int kGridBits = 14;
constexpr uint32_t kGridSide = 1u << kGridBits;

uint32_t gridIndex(double unit) {
    return static_cast<uint32_t>(std::clamp(unit * kGridSide, 0.0, double(kGridSide - 1)));
}

uint64_t gridKey(uint32_t column, uint32_t row, uint32_t position) {
    return (uint64_t(column << kGridBits | row) << 32) | position;
}

size_t slotOf(const MapAnnotation* a, size_t mask) {
    return static_cast<size_t>((reinterpret_cast<uintptr_t>(a) >> 4) * 0x9E3779B97F4A7C15ull >> 20) & mask;
}

void fileSlot(std::vector<uint32_t>& slots, const MapAnnotation* a, uint32_t position) {
    const size_t mask = slots.size() - 1;
    size_t at = slotOf(a, mask);
    while (slots[at])
        at = (at + 1) & mask;
    slots[at] = position + 1;
}

// Whether `count` pins need more slots: at most seven tenths full, so probes stay short.
bool slotsFull(const std::vector<uint32_t>& slots, size_t count) {
    return count * 10 > slots.size() * 7;
}

// Slots for the first `count` pins with room for `room`.
void fileSlots(std::vector<uint32_t>& slots, const std::vector<std::shared_ptr<MapAnnotation>>& pins, size_t count,
               size_t room = 0) {
    slots.assign(std::max<size_t>(64, std::bit_ceil((std::max(count, room) + 1) * 10 / 7 + 1)), 0);
    for (uint32_t p = 0; p < count; ++p)
        fileSlot(slots, pins[p].get(), p);
}

} // namespace

std::optional<uint32_t> MapView::positionOf(const MapAnnotation* a) const {
    if (!a || slots_.empty()) return std::nullopt;
    const size_t mask = slots_.size() - 1;
    for (size_t at = slotOf(a, mask); slots_[at]; at = (at + 1) & mask)
        if (pins_[slots_[at] - 1].get() == a) return slots_[at] - 1;
    return std::nullopt;
}

std::vector<MapView::Shown>::iterator MapView::shownAt(uint32_t position) {
    auto it = std::lower_bound(shown_.begin(), shown_.end(), position,
                               [](const Shown& s, uint32_t p) { return s.position < p; });
    return it != shown_.end() && it->position == position ? it : shown_.end();
}

std::vector<MapView::Shown>::const_iterator MapView::shownAt(uint32_t position) const {
    return const_cast<MapView*>(this)->shownAt(position);
}

// Files the pin at `position` in the index.
void MapView::indexPin(uint32_t position) {
    if (slotsFull(slots_, position + 1))
        fileSlots(slots_, pins_, position + 1, 2 * (position + 1));
    else
        fileSlot(slots_, pins_[position].get(), position);
}

// After pins left: the index is made again, and the grid and the views keep their order with the
// positions closed up.
void MapView::reindexPins() {
    // What a position becomes: the kept pins before it.
    std::vector<uint32_t> moved(pins_.size(), UINT32_MAX);
    uint32_t kept = 0;
    for (uint32_t p = 0; p < pins_.size(); ++p)
        if (pins_[p]) {
            moved[p] = kept;
            if (kept != p) pins_[kept] = std::move(pins_[p]);
            ++kept;
        }
    pins_.resize(kept);
    fileSlots(slots_, pins_, pins_.size());
    // The positions close up in their order, so the grid stays sorted.
    sortGrid();
    std::erase_if(grid_, [&](uint64_t& key) {
        const uint32_t to = moved[static_cast<uint32_t>(key)];
        key = (key & ~uint64_t(UINT32_MAX)) | to;
        return to == UINT32_MAX;
    });
    gridSorted_ = grid_.size();
    std::erase_if(shown_, [&](Shown& s) {
        s.position = moved[s.position];
        return s.position == UINT32_MAX;
    });
}

// By cell, in stable passes of eleven bits: a comparison sort was the dearest part of placing many pins.
// Within a cell the positions keep their order, ascending as they were added, so the keys end sorted whole.
void MapView::sortGrid() {
    if (gridSorted_ == grid_.size()) return;
    constexpr int kDigitBits = 11;
    constexpr uint64_t kDigits = 1u << kDigitBits;
    std::vector<uint64_t> other(grid_.size());
    for (int shift = 32; shift < 32 + 2 * kGridBits; shift += kDigitBits) {
        std::array<uint32_t, kDigits> start{};
        for (uint64_t key : grid_)
            ++start[(key >> shift) & (kDigits - 1)];
        uint32_t sum = 0;
        for (uint32_t& n : start)
            sum += std::exchange(n, sum);
        for (uint64_t key : grid_)
            other[start[(key >> shift) & (kDigits - 1)]++] = key;
        grid_.swap(other);
    }
    gridSorted_ = grid_.size();
}

void MapView::addAnnotation(const std::shared_ptr<MapAnnotation>& annotation) {
    if (!annotation || positionOf(annotation.get())) return;
    const MapCoordinate c = annotation->coordinate();
    if (!isValidCoordinate(c)) {
        logDropped("annotation", c);
        return;
    }
    pins_.push_back(annotation);
    const auto position = static_cast<uint32_t>(pins_.size() - 1);
    indexPin(position);
    // The projection is worked out once: for the grid, and whether the pin shows now.
    const double x = mercatorX(c.longitude), y = mercatorY(c.latitude);
    if (annotation != userLocation_) grid_.push_back(gridKey(gridIndex(x), gridIndex(y), position));
    if (bounds().insetBy(-kVisibleMargin, -kVisibleMargin).contains(pointOfMercator(x, y))) placeView(position);
}

void MapView::addAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations) {
    pins_.reserve(pins_.size() + annotations.size());
    grid_.reserve(grid_.size() + annotations.size());
    if (slotsFull(slots_, pins_.size() + annotations.size()))
        fileSlots(slots_, pins_, pins_.size(), pins_.size() + annotations.size());
    for (const auto& a : annotations)
        addAnnotation(a);
}

void MapView::removeAnnotation(const std::shared_ptr<MapAnnotation>& annotation) {
    removeAnnotations({annotation});
}

// In one pass over the pins, however many go: removing one at a time moves every pin after it.
void MapView::removeAnnotations(const std::vector<std::shared_ptr<MapAnnotation>>& annotations) {
    std::vector<std::shared_ptr<MapAnnotationView>> views;
    bool any = false;
    for (const auto& a : annotations) {
        const auto position = positionOf(a.get());
        if (!position || !pins_[*position]) continue;
        if (auto shown = shownAt(*position); shown != shown_.end()) views.push_back(std::move(shown->view));
        pins_[*position].reset(); // marks the pin as going
        std::erase(selected_, a);
        any = true;
    }
    if (!any) return;
    reindexPins();
    for (const auto& view : views)
        enqueue(view);
}

std::vector<std::shared_ptr<MapAnnotation>> MapView::annotations() const {
    auto all = pins_;
    if (auto source = pinSource()) source->mapViewAnnotationsInRect(const_cast<MapView&>(*this), MapRect::world(), all);
    return all;
}

std::shared_ptr<MapAnnotationView> MapView::viewForAnnotation(const std::shared_ptr<MapAnnotation>& a) const {
    if (const auto position = positionOf(a.get())) {
        auto shown = shownAt(*position);
        return shown == shown_.end() ? nullptr : shown->view;
    }
    const SourceShown* shown = sourceShownFor(a.get());
    return shown ? shown->view : nullptr;
}

const MapView::SourceShown* MapView::sourceShownFor(const MapAnnotation* a) const {
    if (!a) return nullptr;
    for (const SourceShown& s : sourceShown_)
        if (s.annotation.get() == a) return &s;
    return nullptr;
}

bool MapView::isPin(const std::shared_ptr<MapAnnotation>& a) const {
    return a && (positionOf(a.get()) || sourceShownFor(a.get()));
}

void MapView::setPinSource(std::weak_ptr<MapPinSource> source) {
    pinSource_ = std::move(source);
    reloadPins();
}

void MapView::reloadPins() {
    placeSourcePins();
}

// The source is asked for what the screen shows, a margin around it included; views are kept for the
// annotations given again and go back to the queue for those not.
void MapView::placeSourcePins() {
    if (placingSourcePins_) {
        // Asked again by a delegate while views are made: once this pass ends.
        sourcePinsAskedAgain_ = true;
        return;
    }
    placingSourcePins_ = true;
    for (int pass = 0; pass < 4; ++pass) {
        sourcePinsAskedAgain_ = false;
        std::vector<std::shared_ptr<MapAnnotation>> given;
        const Rect b = bounds(), visible = b.insetBy(-kVisibleMargin, -kVisibleMargin);
        if (auto source = pinSource(); source && b.size.width > 0 && b.size.height > 0) {
            const double cx = mercatorX(center_.longitude), cy = mercatorY(center_.latitude);
            const double west = cx + (visible.minX() - b.midX()) / worldWidth_;
            const double north = std::max(0.0, cy + (visible.minY() - b.midY()) / worldWidth_);
            const double width = std::min(1.0, visible.size.width / worldWidth_);
            const double south = std::min(1.0, cy + (visible.maxY() - b.midY()) / worldWidth_);
            // Across the date line the rectangle comes in two.
            const double from = wrapUnit(west);
            const double first = std::min(width, 1 - from);
            source->mapViewAnnotationsInRect(*this, {from, north, first, south - north}, given);
            if (first < width) source->mapViewAnnotationsInRect(*this, {0, north, width - first, south - north}, given);
        }
        std::vector<SourceShown> before = std::move(sourceShown_), now;
        sourceShown_.clear();
        std::unordered_map<const MapAnnotation*, size_t> shownBefore;
        for (size_t i = 0; i < before.size(); ++i)
            shownBefore.emplace(before[i].annotation.get(), i);
        std::unordered_set<const MapAnnotation*> taken;
        now.reserve(given.size());
        for (const auto& a : given) {
            if (!a || !isValidCoordinate(a->coordinate())) continue;
            const Point p = convertCoordinateToPoint(a->coordinate());
            if (!visible.contains(p) || !taken.insert(a.get()).second) continue;
            const auto kept = shownBefore.find(a.get());
            std::shared_ptr<MapAnnotationView> view;
            if (kept != shownBefore.end() && before[kept->second].view) {
                view = std::move(before[kept->second].view);
            } else {
                view = makeView(a);
                addSubview(view);
            }
            const Point offset = view->centerOffset();
            view->setCenter({p.x + offset.x, p.y + offset.y});
            now.push_back({a, std::move(view)});
        }
        sourceShown_ = std::move(now);
        for (const SourceShown& s : before)
            if (s.view) {
                // A queued view does not keep the source's annotation alive.
                s.view->annotation_.reset();
                enqueue(s.view);
            }
        if (!sourcePinsAskedAgain_) break;
    }
    placingSourcePins_ = false;
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

// By position, looked up again after the view is made: the delegate asked for a view may add or remove
// pins, and the lists move when they change.
bool MapView::placeView(uint32_t position) {
    auto annotation = pins_[position]; // a copy: the pins may move
    const Point p = convertCoordinateToPoint(annotation->coordinate());
    const bool shows = bounds().insetBy(-kVisibleMargin, -kVisibleMargin).contains(p);
    auto shown = shownAt(position);
    if (!shows) {
        if (shown != shown_.end()) {
            auto view = std::move(shown->view);
            shown_.erase(shown);
            enqueue(view);
        }
        return false;
    }
    std::shared_ptr<MapAnnotationView> view;
    if (shown != shown_.end()) {
        view = shown->view;
    } else {
        view = makeView(annotation);
        const auto at = positionOf(annotation.get());
        if (!at) return false; // the delegate took the pin away while its view was made
        position = *at;
        auto before = std::lower_bound(shown_.begin(), shown_.end(), position,
                                       [](const Shown& s, uint32_t q) { return s.position < q; });
        if (before != shown_.end() && before->position == position) {
            view = before->view; // a nested placement gave it one already
        } else {
            shown_.insert(before, {position, view});
            addSubview(view);
        }
    }
    const Point offset = view->centerOffset();
    view->setCenter({p.x + offset.x, p.y + offset.y});
    return true;
}

std::vector<uint32_t> MapView::pinsNearSight() {
    sortGrid();
    std::vector<uint32_t> near;
    const Rect b = bounds(), visible = b.insetBy(-kVisibleMargin, -kVisibleMargin);
    // The visible rectangle in the world's units, a cell wider each way against rounding.
    const double cell = 1.0 / kGridSide, cx = mercatorX(center_.longitude), cy = mercatorY(center_.latitude);
    const double west = cx + (visible.minX() - b.midX()) / worldWidth_ - cell;
    const double east = cx + (visible.maxX() - b.midX()) / worldWidth_ + cell;
    const double north = cy + (visible.minY() - b.midY()) / worldWidth_ - cell;
    const double south = cy + (visible.maxY() - b.midY()) / worldWidth_ + cell;
    const uint32_t top = gridIndex(north), bottom = gridIndex(south);
    // Columns round the world: across the date line the numbers wrap.
    const auto first = static_cast<int64_t>(std::floor(west * kGridSide));
    const int64_t last = east - west >= 1 ? first + kGridSide - 1 : static_cast<int64_t>(std::floor(east * kGridSide));
    for (int64_t c = first; c <= last; ++c) {
        const auto column = static_cast<uint32_t>(((c % kGridSide) + kGridSide) % kGridSide);
        auto from = std::lower_bound(grid_.begin(), grid_.end(), gridKey(column, top, 0));
        auto to = std::upper_bound(from, grid_.end(), gridKey(column, bottom, UINT32_MAX));
        for (auto it = from; it != to; ++it)
            near.push_back(static_cast<uint32_t>(*it));
    }
    return near;
}

void MapView::placeAnnotationViews() {
    // The views in sight first (those that left go back to the queue), then the pins near the screen
    // without one, in the order they were added: the later a pin came, the higher its view.
    std::vector<uint32_t> positions;
    positions.reserve(shown_.size());
    for (const Shown& s : shown_)
        positions.push_back(s.position);
    for (uint32_t position : positions)
        placeView(position);
    auto near = pinsNearSight();
    if (auto me = positionOf(userLocation_.get())) near.push_back(*me);
    std::sort(near.begin(), near.end());
    // Positions are taken from the front: a delegate adding pins while a view is made only appends.
    for (uint32_t position : near)
        if (position < pins_.size() && pins_[position] && shownAt(position) == shown_.end()) placeView(position);
    placeSourcePins();
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
    if (!isPin(annotation)) return;
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
    if (auto position = positionOf(userLocation_.get()))
        placeView(*position);
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
        if (auto a = view->annotation(); isPin(a)) {
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
