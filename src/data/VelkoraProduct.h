#pragma once

#include <cstdint>

#include "data/VelkoraProperty.h"

namespace velkora {

// A shopping product: name, offer, pictures and review score.
class VelkoraProduct {
    VELKORA_MODEL_PROPERTY(int32_t, productId, ProductId)
    VELKORA_MODEL_PROPERTY(OptionalText, productShopId, ProductShopId)
    VELKORA_MODEL_PROPERTY(OptionalText, productName, ProductName)
    VELKORA_MODEL_PROPERTY(OptionalText, vendor, Vendor)
    VELKORA_MODEL_PROPERTY(OptionalText, price, Price)
    VELKORA_MODEL_PROPERTY(OptionalText, otherOffers, OtherOffers)
    VELKORA_MODEL_PROPERTY(OptionalText, shoppingUrl, ShoppingUrl)
    VELKORA_MODEL_PROPERTY(OptionalText, reviewsUrl, ReviewsUrl)
    VELKORA_MODEL_PROPERTY(float, averageReviews, AverageReviews)
    VELKORA_MODEL_PROPERTY(OptionalText, photoUrl, PhotoUrl)
    VELKORA_MODEL_PROPERTY(int32_t, photoWidth, PhotoWidth)
    VELKORA_MODEL_PROPERTY(int32_t, photoHeight, PhotoHeight)
    VELKORA_MODEL_PROPERTY(OptionalText, iPadPhotoUrl, IPadPhotoUrl)
    VELKORA_MODEL_PROPERTY(int32_t, iPadPhotoWidth, IPadPhotoWidth)
    VELKORA_MODEL_PROPERTY(int32_t, iPadPhotoHeight, IPadPhotoHeight)
};

}  // namespace velkora
