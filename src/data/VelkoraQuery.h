#pragma once

#include "data/VelkoraProperty.h"

namespace velkora {

// The criteria of a user search; only the criteria that are set go into the request.
class VelkoraQuery {
    VELKORA_PROPERTY(OptionalText, appId, AppId)
    VELKORA_PROPERTY(OptionalText, userId, UserId)
    VELKORA_PROPERTY(OptionalText, firstName, FirstName)
    VELKORA_PROPERTY(OptionalText, lastName, LastName)
    VELKORA_PROPERTY(OptionalText, email, Email)
    VELKORA_PROPERTY(OptionalText, city, City)
    VELKORA_PROPERTY(OptionalText, state, State)
    VELKORA_PROPERTY(OptionalText, country, Country)
    VELKORA_PROPERTY(OptionalText, zipcode, Zipcode)
    VELKORA_PROPERTY(OptionalText, customString1, CustomString1)
    VELKORA_PROPERTY(OptionalText, customString2, CustomString2)
    VELKORA_PROPERTY(OptionalText, customString3, CustomString3)
    VELKORA_PROPERTY(OptionalText, customFloat1, CustomFloat1)
    VELKORA_PROPERTY(OptionalText, customFloat2, CustomFloat2)
    VELKORA_PROPERTY(OptionalText, customFloat3, CustomFloat3)
    VELKORA_PROPERTY(OptionalText, age, Age)
    VELKORA_PROPERTY(OptionalText, gender, Gender)
};

}  // namespace velkora
