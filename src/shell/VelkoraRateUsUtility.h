// Leading the user to rate the application: its store id read from the rating address, and the store's
// review page for that id.
#pragma once

#include <cstdint>
#include <string>

namespace velkora {

namespace ui {
class ViewController;
}

class VelkoraRateUsUtility {
public:
    // The digits after the first "/id" of the address, when there are 6 or more of them and they fit a
    // signed 32-bit id; otherwise 0, with a log line naming the address.
    static int32_t getAppIdFromUrl(const std::string& url);
    // Opens the store's review page of the application with that id; nothing for 0. Where the
    // application cannot open the store's addresses, only a log line says so.
    static void rateApp(int32_t appId, ui::ViewController* viewController);
    // The review page of an id on the store.
    static std::string reviewUrl(int32_t appId);
};

} // namespace velkora
