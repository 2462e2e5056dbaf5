// The Facebook connector: log-in through the Facebook library, the user's "me", friends, wall posts and
// invitations.
#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraUserInternal;

class VelkoraFBConnector {
public:
    // Fills a user model from a "me" dictionary; the age counts from the birthday to the run loop's now.
    static void updateUserWithFBDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                        const foundation::Value& details, bool justUid);
    // Whole years of 365 days from a "MM/dd/yyyy" birthday (midnight UTC) to now; none when the text is
    // not such a date.
    static std::optional<int32_t> ageFromBirthday(const std::string& birthday, foundation::Date now);
};

} // namespace velkora
