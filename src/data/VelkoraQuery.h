#pragma once

#include "data/VelkoraProperty.h"

namespace velkora {

// The criteria of a user search; only the criteria that are set go into the request.
class VelkoraQuery {
    VELKORA_MODEL_PROPERTY(OptionalText, appId, AppId)
    VELKORA_MODEL_PROPERTY(OptionalText, userId, UserId)
    VELKORA_MODEL_PROPERTY(OptionalText, firstName, FirstName)
    VELKORA_MODEL_PROPERTY(OptionalText, lastName, LastName)
    VELKORA_MODEL_PROPERTY(OptionalText, email, Email)
    VELKORA_MODEL_PROPERTY(OptionalText, city, City)
    VELKORA_MODEL_PROPERTY(OptionalText, state, State)
    VELKORA_MODEL_PROPERTY(OptionalText, country, Country)
    VELKORA_MODEL_PROPERTY(OptionalText, zipcode, Zipcode)
    VELKORA_MODEL_PROPERTY(OptionalText, customString1, CustomString1)
    VELKORA_MODEL_PROPERTY(OptionalText, customString2, CustomString2)
    VELKORA_MODEL_PROPERTY(OptionalText, customString3, CustomString3)
    VELKORA_MODEL_PROPERTY(OptionalText, customFloat1, CustomFloat1)
    VELKORA_MODEL_PROPERTY(OptionalText, customFloat2, CustomFloat2)
    VELKORA_MODEL_PROPERTY(OptionalText, customFloat3, CustomFloat3)
    VELKORA_MODEL_PROPERTY(OptionalText, age, Age)
    VELKORA_MODEL_PROPERTY(OptionalText, gender, Gender)
};

}  // namespace velkora
