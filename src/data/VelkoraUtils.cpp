#include "data/VelkoraUtils.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "platform/foundation/Digest.h"
#include "platform/foundation/NumberFormatter.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/GraphicsContext.h"

namespace velkora {

namespace {

// Reads one run of digits (at least one) into `out`; false when there is none or it is too long.
bool readNumber(std::string_view text, size_t& pos, int maxDigits, int& out) {
    size_t start = pos;
    out = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (static_cast<int>(pos - start) == maxDigits) return false;
        out = out * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

bool expect(std::string_view text, size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool isPortrait(int orientation) { return orientation == 1 || orientation == 2; }

}  // namespace

OptionalDate VelkoraInputDateFormatter::dateFromString(std::string_view text) const {
    size_t pos = 0;
    int year, month, day, hour, minute, second;
    if (!readNumber(text, pos, 4, year) || !expect(text, pos, '-') || !readNumber(text, pos, 2, month) ||
        !expect(text, pos, '-') || !readNumber(text, pos, 2, day) || !expect(text, pos, ' ') ||
        !readNumber(text, pos, 2, hour) || !expect(text, pos, ':') || !readNumber(text, pos, 2, minute) ||
        !expect(text, pos, ':') || !readNumber(text, pos, 2, second) || pos != text.size()) {
        return std::nullopt;
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && !(year == 1969 || year == 1970)) return std::nullopt;
    return static_cast<foundation::Date>(t);
}

std::string VelkoraInputDateFormatter::stringFromDate(foundation::Date date) const {
    std::time_t t = static_cast<std::time_t>(date);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return std::string(buf, n);
}

std::string VelkoraUtils::dataFilePath(const std::string& fileName) {
    return (std::filesystem::path(foundation::Paths::documents()) / fileName).string();
}

std::string VelkoraUtils::md5String(std::string_view text, bool upperCase) {
    return foundation::md5Hex(text.substr(0, text.find('\0')), upperCase);
}

bool VelkoraUtils::isFileExist(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

const VelkoraInputDateFormatter& VelkoraUtils::getInputDateFormatter() {
    static const VelkoraInputDateFormatter formatter;
    return formatter;
}

// The whole text must read as [A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,4}. The local part holds no
// "@", so the first "@" splits it; the top-level part holds no ".", so it follows the domain's last ".".
bool VelkoraUtils::isValidEmail(std::string_view text) {
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    auto alnum = [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); };
    size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0) return false;
    for (char c : text.substr(0, at)) {
        if (!alnum(c) && c != '.' && c != '_' && c != '%' && c != '+' && c != '-') return false;
    }
    std::string_view domain = text.substr(at + 1);
    for (char c : domain) {
        if (!alnum(c) && c != '.' && c != '-') return false;
    }
    size_t dot = domain.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string_view top = domain.substr(dot + 1);
    if (top.size() < 2 || top.size() > 4) return false;
    return std::all_of(top.begin(), top.end(), alpha);
}

std::string VelkoraUtils::displayNumberAsCurrency(double number, std::string_view localeIdentifier) {
    return foundation::NumberFormatter::format(number, foundation::NumberFormatter::Style::Currency, localeIdentifier);
}

std::string VelkoraUtils::displayNumberAsDecimal(double number, std::string_view localeIdentifier) {
    return foundation::NumberFormatter::format(number, foundation::NumberFormatter::Style::Decimal, localeIdentifier);
}

float VelkoraUtils::widthAdjustedForInterfaceOrientation(bool flag, const VelkoraScreenState& screen) {
    if (screen.isTablet && screen.showsInPopover) return 320.0f;
    if (screen.isTablet && !flag) return 450.0f;
    return isPortrait(screen.statusBarOrientation) ? screen.screenWidth : screen.screenHeight;
}

float VelkoraUtils::heightAdjustedForInterfaceOrientation(const VelkoraScreenState& screen) {
    if (screen.isTablet && screen.showsInPopover) return 460.0f;
    return isPortrait(screen.statusBarOrientation) ? screen.screenHeight : screen.screenWidth;
}

namespace {

// Draws the image into a new bitmap of `size` points at `scale`, filling `rect`.
ui::ImagePtr redraw(const ui::Image& image, ui::Size size, double scale, bool opaque, const ui::Rect& rect) {
    auto context = ui::GraphicsContext::bitmap(size, scale, opaque);
    if (!context) return nullptr;
    context->drawImage(image, rect);
    return context->makeImage();
}

}  // namespace

ui::ImagePtr VelkoraUtils::scaleAndCropImage(const ui::ImagePtr& image, float side) {
    if (!image) return nullptr;
    const double w = image->size().width;
    const double h = image->size().height;
    ui::Rect square = w >= h ? ui::Rect(w / 2 - h / 2, 0, h, h) : ui::Rect(0, h / 2 - w / 2, w, w);
    ui::ImagePtr cropped = imageByCropping(image, square);
    if (!cropped) return nullptr;
    return redraw(*cropped, {side, side}, 1.0, false, ui::Rect(0, 0, side, side));
}

ui::ImagePtr VelkoraUtils::imageByCropping(const ui::ImagePtr& image, const ui::Rect& rect, double scale) {
    if (!image) return nullptr;
    return redraw(*image, rect.size, scale, true, ui::Rect({-rect.origin.x, -rect.origin.y}, image->size()));
}

ui::ImagePtr VelkoraUtils::fixImageOrientation(const ui::ImagePtr& image) {
    if (!image) return nullptr;
    return redraw(*image, image->size(), 1.0, true, ui::Rect({0, 0}, image->size()));
}

ui::ImagePtr VelkoraUtils::scaleImage(const ui::ImagePtr& image, float side) {
    if (!image) return nullptr;
    const double w = image->size().width;
    const double h = image->size().height;
    const double ratio = side / (w >= h ? w : h);
    if (ratio > 1.0) return image;
    ui::Size scaled{w * ratio, h * ratio};
    return redraw(*image, scaled, 1.0, true, ui::Rect({0, 0}, scaled));
}

}  // namespace velkora
