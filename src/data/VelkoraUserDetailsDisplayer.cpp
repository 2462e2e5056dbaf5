#include "data/VelkoraUserDetailsDisplayer.h"

#include <charconv>
#include <cmath>

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/TextBreaks.h"
#include "platform/ui/Utf16.h"
#include "data/VelkoraAppSettings.h"

namespace velkora {

namespace {

using OptString = VelkoraUserDetailsDisplayer::OptString;

std::string textOf(const OptString& s) {
    return s.value_or(std::string());
}

// Blanks and tabs only: a line break inside a name is the host's data and stays.
std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::string beforeFirstSpace(const std::string& s) {
    return s.substr(0, s.find(' '));
}

std::string withInitial(const std::string& first, const std::string& rest) {
    return first + " " + foundation::firstComposedCharacter(rest) + ".";
}

std::string limited(std::string text, int32_t limit) {
    if (limit <= 0 || ui::utf16::length(text) <= static_cast<size_t>(limit)) return text;
    // A limit too small to hold any of the text holds as much of the ellipsis as fits.
    if (limit < 3) return std::string(static_cast<size_t>(limit), '.');
    size_t cut = ui::utf16::byteOffset(text, static_cast<size_t>(limit) - 3);
    cut = foundation::composedCharacterStart(text, cut);
    return text.substr(0, cut) + "...";
}

// printf's "%.Nf" with a period as decimal mark whatever the process's locale.
std::string fixed(float value, int decimals) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return {};
    return std::string(buffer, result.ptr);
}

} // namespace

std::string VelkoraUserDetailsDisplayer::firstNameLastNameInitialString(const OptString& first, const OptString& last,
                                                                        int32_t limit) {
    std::string f = trimmed(textOf(first)), l = trimmed(textOf(last));
    std::string text;
    if (!l.empty() && !f.empty()) {
        text = withInitial(f, l);
    } else if (!l.empty()) {
        text = l;
    } else if (!f.empty()) {
        size_t space = f.find(' ');
        text = space == std::string::npos ? f : withInitial(f.substr(0, space), f.substr(space + 1));
    }
    return limited(std::move(text), limit);
}

std::string VelkoraUserDetailsDisplayer::firstNameLastNameString(const OptString& first, const OptString& last,
                                                                 int32_t limit) {
    std::string f = textOf(first), l = textOf(last);
    if (f.empty() && l.empty()) return {};
    std::string text = !f.empty() && !l.empty() ? f + " " + l : (!l.empty() ? l : f);
    return limited(std::move(text), limit);
}

std::string VelkoraUserDetailsDisplayer::firstNameOrLastNameString(const OptString& first, const OptString& last) {
    std::string f = textOf(first);
    if (!f.empty()) return beforeFirstSpace(f);
    return textOf(last);
}

std::string VelkoraUserDetailsDisplayer::nameWithInitial(const VelkoraUserInternal* user, int32_t limit) {
    return user ? firstNameLastNameInitialString(user->firstName(), user->lastName(), limit) : std::string();
}

std::string VelkoraUserDetailsDisplayer::nameFull(const VelkoraUserInternal* user, int32_t limit) {
    return user ? firstNameLastNameString(user->firstName(), user->lastName(), limit) : std::string();
}

std::string VelkoraUserDetailsDisplayer::nameShort(const VelkoraUserInternal* user) {
    return user ? firstNameOrLastNameString(user->firstName(), user->lastName()) : std::string();
}

std::string VelkoraUserDetailsDisplayer::firstName(const VelkoraUserInternal* user) {
    if (!user) return {};
    std::string f = textOf(user->firstName());
    if (f.empty()) return {};
    return textOf(user->lastName()).empty() ? beforeFirstSpace(f) : f;
}

std::string VelkoraUserDetailsDisplayer::lastName(const VelkoraUserInternal* user) {
    if (!user) return {};
    std::string l = textOf(user->lastName());
    if (!l.empty()) return l;
    std::string f = textOf(user->firstName());
    size_t space = f.find(' ');
    return space == std::string::npos ? std::string() : f.substr(space + 1);
}

std::string VelkoraUserDetailsDisplayer::nameAndAge(const VelkoraUserInternal* user) {
    if (!user || !user->firstName()) return {};
    if (VelkoraAppSettings::displayAge() && user->age() > 0)
        return *user->firstName() + ", " + std::to_string(user->age());
    return *user->firstName();
}

std::string VelkoraUserDetailsDisplayer::age(const VelkoraUserInternal* user) {
    return user && user->age() > 0 ? std::to_string(user->age()) : std::string();
}

OptString VelkoraUserDetailsDisplayer::gender(const VelkoraUserInternal* user) {
    if (!user || !user->gender()) return std::nullopt;
    return foundation::capitalizedString(*user->gender());
}

std::string VelkoraUserDetailsDisplayer::distance(const VelkoraUserInternal* user) {
    if (!user || !user->location() || !(user->location()->distance() > 0)) return {};
    float v = VelkoraAppSettings::distanceInUnits(static_cast<float>(user->location()->distance()));
    std::string unit = VelkoraAppSettings::distanceUnits();
    // Whole units from ten up; one decimal below.
    return fixed(v, v < 10.0f ? 1 : 0) + " " + unit;
}

std::string VelkoraUserDetailsDisplayer::locationString(const VelkoraUserInternal* user) {
    if (!user) return {};
    const OptString& city = user->city();
    std::string state = textOf(user->state());
    if (city && !state.empty()) return *city + ", " + state;
    if (!state.empty()) return state;
    return textOf(city);
}

} // namespace velkora
