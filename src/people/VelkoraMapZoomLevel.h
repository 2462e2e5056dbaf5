// Zoom levels of a map in the Mercator pixel space of zoom 20: the level a map shows, and a region for a
// centre and a level.
#pragma once

#include "platform/ui/MapView.h"

namespace velkora::mapzoom {

inline constexpr double kMercatorOffset = 268435456;
inline constexpr double kMercatorRadius = 85445659.44705395;
inline constexpr unsigned kMaximumZoom = 28;

double longitudeToPixelSpaceX(double longitude);
double latitudeToPixelSpaceY(double latitude);
double pixelSpaceXToLongitude(double pixelX);
double pixelSpaceYToLatitude(double pixelY);

ui::CoordinateSpan coordinateSpanWithMapView(const ui::MapView& map, const ui::MapCoordinate& center,
                                             unsigned zoomLevel);
// Limits the level to 28 and shows the centre at it.
void setCenterCoordinate(ui::MapView& map, const ui::MapCoordinate& center, unsigned zoomLevel, bool animated);
// The level the map shows, read from its region's longitudes; 0 when the span is below one pixel.
double getZoomLevel(const ui::MapView& map);

} // namespace velkora::mapzoom
