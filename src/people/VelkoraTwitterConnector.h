// The Twitter connector: the device's Twitter account identifies the user, finds friends and tweets.
#pragma once

#include <memory>

#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraUserInternal;

class VelkoraTwitterConnector {
public:
    // Copies the Twitter id of a users/show dictionary into the user and, unless justUid, the name,
    // place and picture.
    static void updateUserWithTwitterDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                             const foundation::Value& details, bool justUid);
};

} // namespace velkora
