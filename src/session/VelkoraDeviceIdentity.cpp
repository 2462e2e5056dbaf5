#include "session/VelkoraDeviceIdentity.h"

#include <cctype>

#include "platform/foundation/Digest.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/Uuid.h"
#include "platform/services/IdentifierManager.h"
#include "platform/ui/Application.h"

namespace velkora {

namespace {
std::string lowerCased(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
} // namespace

std::string VelkoraDeviceIdentity::sha1(std::string_view text) {
    return foundation::sha1Hex(text, false);
}

void VelkoraDeviceIdentity::initUUID() {
    auto manager = services::IdentifierManager::sharedManager();
    if (manager && ui::Device::current().compareSystemVersion("6.0") >= 0) {
        uuidSHA1_ = sha1(lowerCased(manager->advertisingIdentifier()));
        uuidKey_ = "hadid";
        return;
    }
    uuidKey_ = "hudid";
    auto& defaults = foundation::UserDefaults::standard();
    if (auto stored = defaults.stringForKey(kHudidDefaultsKey)) {
        uuidSHA1_ = *stored;
        return;
    }
    std::string uuid = foundation::uuidV4();
    if (uuid.empty()) {
        foundation::Log::line("Velkora - Failed creating UUID for app");
        uuidSHA1_.reset();
        return;
    }
    uuidSHA1_ = sha1(lowerCased(uuid));
    defaults.setObject(foundation::Value(*uuidSHA1_), kHudidDefaultsKey);
}

} // namespace velkora
