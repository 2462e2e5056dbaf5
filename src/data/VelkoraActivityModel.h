#pragma once

#include <string>

#include "data/VelkoraUserInternal.h"

namespace velkora {

// One activity of the feed: a post or a like, listed side by side.
class VelkoraActivityModel {
public:
    virtual ~VelkoraActivityModel() = default;
    virtual VelkoraUserPtr getPoster() const = 0;
    virtual OptionalDate getActivityTime() const = 0;
    virtual bool isLike() const = 0;
    virtual std::string activityId() const = 0;
};

}  // namespace velkora
