#pragma once

#include <cstdint>

#include "data/VelkoraProperty.h"

namespace velkora {

// A shopping product: name, offer, pictures and review score.
class VelkoraProduct {
    VELKORA_PROPERTY(int32_t, productId, ProductId)
    VELKORA_PROPERTY(OptionalText, productShopId, ProductShopId)
    VELKORA_PROPERTY(OptionalText, productName, ProductName)
    VELKORA_PROPERTY(OptionalText, vendor, Vendor)
    VELKORA_PROPERTY(OptionalText, price, Price)
    VELKORA_PROPERTY(OptionalText, otherOffers, OtherOffers)
    VELKORA_PROPERTY(OptionalText, shoppingUrl, ShoppingUrl)
    VELKORA_PROPERTY(OptionalText, reviewsUrl, ReviewsUrl)
    VELKORA_PROPERTY(float, averageReviews, AverageReviews)
    VELKORA_PROPERTY(OptionalText, photoUrl, PhotoUrl)
    VELKORA_PROPERTY(int32_t, photoWidth, PhotoWidth)
    VELKORA_PROPERTY(int32_t, photoHeight, PhotoHeight)
    VELKORA_PROPERTY(OptionalText, iPadPhotoUrl, IPadPhotoUrl)
    VELKORA_PROPERTY(int32_t, iPadPhotoWidth, IPadPhotoWidth)
    VELKORA_PROPERTY(int32_t, iPadPhotoHeight, IPadPhotoHeight)
};

}  // namespace velkora
