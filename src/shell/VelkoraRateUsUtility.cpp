#include "shell/VelkoraRateUsUtility.h"

#include <limits>

#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"

namespace velkora {

namespace {
constexpr size_t kLeastIdDigits = 6;
} // namespace

int32_t VelkoraRateUsUtility::getAppIdFromUrl(const std::string& url) {
    const size_t at = url.find("/id");
    if (at == std::string::npos) {
        foundation::Log::line("Velkora - Unknown idRange. cannot find appId for %@", url);
        return 0;
    }
    size_t digits = 0;
    int64_t id = 0;
    bool tooLarge = false;
    for (size_t i = at + 3; i < url.size() && url[i] >= '0' && url[i] <= '9'; ++i, ++digits) {
        id = id * 10 + (url[i] - '0');
        if (id > std::numeric_limits<int32_t>::max()) {
            tooLarge = true;
            id = 0; // keeps counting the digits without overflowing
        }
    }
    if (digits < kLeastIdDigits) {
        foundation::Log::line("Velkora - id is too small. Cannot find appId for %@", url);
        return 0;
    }
    // A store id beyond 32 bits cannot be answered; cutting it would open another application's page.
    if (tooLarge) {
        foundation::Log::line("Velkora - id is too large. Cannot find appId for %@", url);
        return 0;
    }
    return static_cast<int32_t>(id);
}

std::string VelkoraRateUsUtility::reviewUrl(int32_t appId) {
    return services::OutsideEndpoints::url(services::OutsideEndpoints::Service::Store,
                                           foundation::format("app/id%d?action=write-review", appId));
}

void VelkoraRateUsUtility::rateApp(int32_t appId, ui::ViewController* /*viewController*/) {
    if (appId <= 0) return; // no store id is negative
    auto& application = ui::Application::instance();
    const std::string url = reviewUrl(appId);
    if (!application.canOpenURL(url)) {
        foundation::Log::line("Velkora - Accessing the iTunes App Store is not supported on the iOS simulator. Please "
                              "check on the device.");
        return;
    }
    application.openURL(url);
}

} // namespace velkora
