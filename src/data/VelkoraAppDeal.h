#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"

namespace velkora {

// One promoted application. A deal of the outside ad exchange has id 0 and an impression address.
class VelkoraAppDeal {
    VELKORA_MODEL_PROPERTY(bool, isFree, IsFree)
    VELKORA_MODEL_PROPERTY(int32_t, appDealId, AppDealId)
    VELKORA_MODEL_PROPERTY(OptionalText, name, Name)
    VELKORA_MODEL_PROPERTY(OptionalText, icon, Icon)
    VELKORA_MODEL_PROPERTY(OptionalText, category, Category)
    VELKORA_MODEL_PROPERTY(OptionalText, developer, Developer)
    VELKORA_MODEL_PROPERTY(OptionalText, description, Description)
    VELKORA_MODEL_PROPERTY(OptionalText, url, Url)
    VELKORA_MODEL_PROPERTY(OptionalText, impressionUrl, ImpressionUrl)
    VELKORA_MODEL_PROPERTY(OptionalText, price, Price)
    VELKORA_MODEL_PROPERTY(OptionalText, downloads, Downloads)
    // 0 to 5; 0 or less means no rating.
    VELKORA_MODEL_PROPERTY(float, rating, Rating)
};

using VelkoraAppDealPtr = std::shared_ptr<VelkoraAppDeal>;

}  // namespace velkora
