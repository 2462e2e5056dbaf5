// What the promoted-application views share: their classes made known to the interface loader, the
// application data's settings, and the deal texts every view shows the same way.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraAppDeal.h"

namespace velkora {

class VelkoraAppData;
class VelkoraLazyImageView;

namespace ui {
class Label;
}

// The ads views' classes by the names interface files use (once; later calls do nothing).
void registerAdsClasses();

// The application data as it is now (settings are read on every use, never kept); null before any.
std::shared_ptr<VelkoraAppData> adsAppData();

// A deal names itself in reports by its id, or by its name when it is a deal of the ad exchange (id 0).
std::string dealIdText(const VelkoraAppDeal& deal);

// The localised free text, or the deal's price.
std::string dealPriceText(const VelkoraAppDeal& deal);

// The icon placeholder, then the deal's picture through the disk cache when it has one.
void showAppIcon(VelkoraLazyImageView& view, const OptionalText& icon);

// The name in the application's leading colour.
void showAppName(ui::Label& label, const OptionalText& name);

} // namespace velkora
