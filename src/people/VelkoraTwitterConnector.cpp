#include "people/VelkoraTwitterConnector.h"

#include "data/VelkoraUserInternal.h"
#include "people/VelkoraSocialDetails.h"

namespace velkora {

void VelkoraTwitterConnector::updateUserWithTwitterDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                                           const foundation::Value& details, bool justUid) {
    if (!user) return;
    user->setTwitterId(people::idIn(details).value_or(0));
    if (justUid) return;
    user->setFirstName(people::textIn(details, "name"));
    user->setLastName(std::string());
    user->setCity(people::textIn(details, "location"));
    user->setState(std::string());
    user->setUserPhotoUrl(people::textIn(details, "profile_image_url"));
}

} // namespace velkora
