// What the profile and user-list screens share: texts of the strings table, the viewer's state, the
// placeholder-or-photo rule and the view classes their interface files name.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraUserInternal.h"

namespace velkora {

namespace ui {
class Image;
class ImageView;
} // namespace ui
class VelkoraLazyImageView;

namespace profiles {

// The text of a key of the strings table.
std::string text(const std::string& key);
// The text of a key with its "%@" replaced by `argument` (a text of the table is never a printf format).
std::string textWith(const std::string& key, const std::string& argument);

// A user's name as a row shows it: the name given, or "Guest" for someone who has none yet (an empty row
// would tell nobody who it is).
std::string nameOrGuest(const std::string& name);

// The signed-in user is absent or anonymous.
bool viewerIsAnonymous();
// The identity source of the local user record (0 none, 1 Facebook, 2 Twitter, 3 e-mail).
int32_t localUserInfoSource();
bool userHasPhoto(const VelkoraUserInternal& user);

// The bundle's placeholder picture of a user without a photo.
std::shared_ptr<ui::Image> placeholderPhoto();
// The placeholder, then the user's photo at the view's pixel size when there is one.
void showUserPhoto(VelkoraLazyImageView& view, const VelkoraUserPtr& user);

// The classes the people screens' interface files name, registered once with the loader.
void registerPeopleViewClasses();

} // namespace profiles
} // namespace velkora
