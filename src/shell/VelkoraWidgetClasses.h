// The kit's stretchable widgets as classes interface files can name.
#pragma once

namespace velkora {

// Registers "VelkoraResizeableButton", "VelkoraResizableView", "VelkoraCellBackgroundView",
// "VelkoraResizableTextField" and "VelkoraStretchableBadgeView" with the interface loader, and the text
// field's "background" image property. Cheap when they are registered already; everything that loads a
// file naming them calls it first, since the loader's reset forgets them.
void registerVelkoraWidgetClasses();

} // namespace velkora
