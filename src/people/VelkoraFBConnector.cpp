#include "people/VelkoraFBConnector.h"

#include <charconv>
#include <cmath>

#include "data/VelkoraUserInternal.h"
#include "people/VelkoraSocialDetails.h"
#include "platform/foundation/Log.h"

namespace velkora {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool readNumber(std::string_view text, int& out) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<int32_t> VelkoraFBConnector::ageFromBirthday(const std::string& birthday, foundation::Date now) {
    if (birthday.size() != 10 || birthday[2] != '/' || birthday[5] != '/') return std::nullopt;
    int month = 0, day = 0, year = 0;
    std::string_view b(birthday);
    if (!readNumber(b.substr(0, 2), month) || !readNumber(b.substr(3, 2), day) || !readNumber(b.substr(6, 4), year))
        return std::nullopt;
    static constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1]) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    if (!std::isfinite(now)) return std::nullopt;
    const double born = static_cast<double>(daysFromCivil(year, month, day)) * 86400.0;
    const double days = std::trunc((now - born) / 86400.0);
    return static_cast<int32_t>(std::trunc(days / 365.0));
}

void VelkoraFBConnector::updateUserWithFBDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                                 const foundation::Value& details, bool justUid) {
    if (!user) {
        foundation::Log::line("Velkora - --- updateUserWithFBDetails. User is null!!!");
        return;
    }
    user->setFacebookId(people::idIn(details).value_or(0));
    if (justUid) return;
    user->setFirstName(people::textIn(details, "first_name"));
    user->setLastName(people::textIn(details, "last_name"));
    user->setGender(people::textIn(details, "gender"));
    user->setUserPhotoUrl(std::string(VelkoraUserInternal::kFacebookPhotoMarker));
    if (auto birthday = people::textIn(details, "birthday")) {
        if (auto age = ageFromBirthday(*birthday, foundation::RunLoop::main().now())) user->setAge(*age);
    }
    const auto* location = details.get("location");
    user->setCity(location ? people::textIn(*location, "name") : std::nullopt);
    user->setState(std::string());
}

} // namespace velkora
