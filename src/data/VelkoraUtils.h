#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/VelkoraProperty.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"

namespace velkora {

// Reads and writes the service's dates: "yyyy-MM-dd HH:mm:ss" in the process's time zone.
class VelkoraInputDateFormatter {
public:
    // Unset when the text is not a whole, valid date of that form.
    OptionalDate dateFromString(std::string_view text) const;
    std::string stringFromDate(foundation::Date date) const;
};

// What the screen-size helpers need to know of the device and its current state.
struct VelkoraScreenState {
    bool isTablet = false;
    bool showsInPopover = false;       // the kit's screens are shown in a popover
    int statusBarOrientation = 1;      // 1 and 2 are portrait; every other value counts as landscape
    float screenWidth = 320;           // the main screen's bounds: the width is the short side
    float screenHeight = 480;
};

// Helpers shared by the session, the parsers and the screens.
class VelkoraUtils {
public:
    // The file of that name in the application's documents folder.
    static std::string dataFilePath(const std::string& fileName);
    static bool isFileExist(const std::string& path);
    // One formatter for the process, made on first use.
    static const VelkoraInputDateFormatter& getInputDateFormatter();
    // MD5 of the text's bytes up to its first zero byte, as 32 hexadecimal digits.
    static std::string md5String(std::string_view text, bool upperCase);
    // The whole text is an e-mail address of the sign-up forms' form.
    static bool isValidEmail(std::string_view text);
    // The number as a price in the given locale ("en_US", "de_DE", ...).
    static std::string displayNumberAsCurrency(double number, std::string_view localeIdentifier);
    // The number with the grouping separators of the current locale (or of the one given).
    static std::string displayNumberAsDecimal(double number, std::string_view localeIdentifier = {});

    // On a tablet without the popover, NO asks for the fixed width and YES for the screen's.
    static float widthAdjustedForInterfaceOrientation(bool flag, const VelkoraScreenState& screen);
    static float heightAdjustedForInterfaceOrientation(const VelkoraScreenState& screen);

    // Pictures for upload. Sizes are in points; a null image gives null.
    // The largest centred square of the image, drawn into a square of the given side.
    static ui::ImagePtr scaleAndCropImage(const ui::ImagePtr& image, float side);
    // The part of the image inside the rectangle, on an opaque background, at the given pixel scale.
    static ui::ImagePtr imageByCropping(const ui::ImagePtr& image, const ui::Rect& rect, double scale = 1.0);
    // The image redrawn upright at its own size, opaque, at scale 1.
    static ui::ImagePtr fixImageOrientation(const ui::ImagePtr& image);
    // The image shrunk so that its longer side equals `side`; a smaller image is returned itself.
    static ui::ImagePtr scaleImage(const ui::ImagePtr& image, float side);
};

}  // namespace velkora
