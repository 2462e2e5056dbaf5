// The short texts under which users appear everywhere: a name with the last-name initial, the full and
// short names, the displayed first and last names, name and age, gender, distance and place. A null user
// gives "" (and no gender).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velkora {

class VelkoraUserInternal;

class VelkoraUserDetailsDisplayer {
public:
    using OptString = std::optional<std::string>;

    // A limit above 0 cuts a longer text to its first limit - 3 UTF-16 units and "..."; a cut never
    // splits a character, so the result may come out shorter than the limit.
    static std::string nameWithInitial(const VelkoraUserInternal* user, int32_t limit = 0);
    static std::string nameFull(const VelkoraUserInternal* user, int32_t limit = 0);
    static std::string nameShort(const VelkoraUserInternal* user);
    static std::string firstName(const VelkoraUserInternal* user);
    static std::string lastName(const VelkoraUserInternal* user);
    static std::string nameAndAge(const VelkoraUserInternal* user);
    static std::string age(const VelkoraUserInternal* user);
    static OptString gender(const VelkoraUserInternal* user);
    static std::string distance(const VelkoraUserInternal* user);
    static std::string locationString(const VelkoraUserInternal* user);

    // The name forms for records that are not users of the service (social-network friends).
    static std::string firstNameLastNameInitialString(const OptString& first, const OptString& last, int32_t limit);
    static std::string firstNameLastNameString(const OptString& first, const OptString& last, int32_t limit);
    static std::string firstNameOrLastNameString(const OptString& first, const OptString& last);

    VelkoraUserDetailsDisplayer() = delete;
};

} // namespace velkora
