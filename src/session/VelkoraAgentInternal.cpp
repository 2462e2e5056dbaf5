#include "session/VelkoraAgentInternal.h"

#include "social/VelkoraSocialConnectors.h"

#include "platform/foundation/RunLoop.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/TabBarController.h"
#include "session/VelkoraAgentInternalDelegates.h"
#include "session/VelkoraDeviceIdentity.h"
#include "session/VelkoraKitObjects.h"

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraBase64.h"

namespace velkora {

using foundation::Log;

namespace {

std::recursive_mutex& instanceLock() {
    static std::recursive_mutex m;
    return m;
}

// The session object lives for the life of the process: it is not destroyed at exit, when the server
// client and the repositories its members call on their way out may already be gone.
std::unique_ptr<VelkoraAgentInternal>& instanceSlot() {
    static auto* slot = new std::unique_ptr<VelkoraAgentInternal>();
    return *slot;
}

std::string dataFilePath(const char* name) {
    return foundation::Paths::documents() + "/" + name;
}

} // namespace

void VelkoraAgentInternal::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& deviceToken) {
    VelkoraServerApi::setDeviceToken(VelkoraBase64::encode(std::span<const uint8_t>(deviceToken)));
}

void VelkoraAgentInternal::didFailToRegisterForRemoteNotificationsWithError(const foundation::ErrorPtr& error) {
    Log::line("Velkora - Failed registrating for push notification: %@",
              error ? error->userInfo.description() : std::string("(null)"));
}

VelkoraAgentInternal::VelkoraAgentInternal() : delegates_(std::make_shared<Delegates>(*this)) {
    pendingRequests_.reserve(2);
}

VelkoraAgentInternal::~VelkoraAgentInternal() {
    // The fetchers and the screens leave the connectors when they go: they must go while the connectors
    // are still here.
    facebookFetcher_.reset();
    twitterFetcher_.reset();
    currentPresentedFeatureVC_.reset();
    popover_.reset();
    // A menu and the stack of the kit's own it was shown in hold each other: both go with the session.
    for (auto* menu : {&velkoraVC_, &menuVC_})
        if (*menu) {
            (*menu)->setVelkoraNavController(nullptr);
            menu->reset();
        }
    gesturesHandler_.reset();
    appBannerView_.reset();
    // Timers hold the object by address: none may fire for a session object that is gone.
    for (auto* timer : {&startTimer_, &appDataRetry_, &userDataRetry_, &entryBannerTimer_})
        if (*timer) (*timer)->invalidate();
}

namespace {
// The rooms below the session find it through its records' face; it is made on first use from there too.
[[maybe_unused]] const bool g_recordsProvided =
    (VelkoraSessionRecords::setProvider([]() -> VelkoraSessionRecords& { return VelkoraAgentInternal::instance(); }),
     true);
[[maybe_unused]] const bool g_connectorsProvided =
    (VelkoraSocialConnectors::setSource({[] { return VelkoraAgentInternal::instance().fbConnector(); },
                                         [] { return VelkoraAgentInternal::instance().twitterConnector(); }}),
     true);
} // namespace

VelkoraAgentInternal& VelkoraAgentInternal::instance() {
    std::lock_guard lock(instanceLock());
    auto& slot = instanceSlot();
    if (!slot) slot.reset(new VelkoraAgentInternal());
    return *slot;
}

void VelkoraAgentInternal::resetForTests() {
    // A record still being written belongs to the kit being let go: it lands before the next one reads.
    foundation::waitForBackgroundWrites();
    std::lock_guard lock(instanceLock());
    instanceSlot().reset(new VelkoraAgentInternal());
    resetStartFlagForTests();
}

std::shared_ptr<VelkoraAppData> VelkoraAgentInternal::appDataOfInstance() {
    return instance().getAppData();
}

void VelkoraAgentInternal::initUserInfo(const std::string& appId) {
    if (userInfo_) return;
    VelkoraUserInfo::registerForArchiving();
    std::string path = dataFilePath(kUserInfoFile);
    const bool currentExists = foundation::fileExists(path);
    if (!currentExists) {
        Log::line("Velkora (W) - user file doesn't exist in new place. Looking in old place");
        path = dataFilePath(kOldUserInfoFile);
    }
    foundation::ErrorPtr error;
    auto record =
        std::dynamic_pointer_cast<VelkoraUserInfo>(foundation::KeyedUnarchiver::unarchiveObjectWithFile(path, &error));
    bool damaged = false;
    if (error) {
        // A damaged archive must not leave the kit without a record: it is replaced by a fresh one,
        // and the damaged file is overwritten by the next save.
        Log::line("Velkora - Failed to get user...%@ %@", "ArchiveDamaged", error);
        damaged = true;
    }
    userInfo_ = record;
    if (!userInfo_) {
        userInfo_ = std::make_shared<VelkoraUserInfo>();
        userInfo_->setAppId(appId);
    } else {
        if (!userInfo_->appId()) {
            Log::line("Velkora (W) - userInfo.appId is nil, which means a user with old version");
            userInfo_->setAppId(appId);
            saveUserInfo();
        }
        createVelkoraUserFromUserData();
    }
    if (!currentExists) {
        Log::line("Velkora - Saving user file to new place");
        saveUserInfo();
    } else if (damaged) {
        saveUserInfo();
    }
}

namespace {

// The user record is saved at every start and the configuration whenever it changes, each flushed to disk:
// on the writer's thread, so the main loop never waits for the disk. Whatever reads the file in this
// process waits for the write to land. A failure is logged on the main loop with `failureLine`.
bool saveInBackground(const foundation::Codable& root, const std::string& path, const char* failureLine) {
    std::string text = foundation::KeyedArchiver::archivedText(root);
    if (text.empty()) {
        Log::line(failureLine,
                  foundation::makeError(foundation::kKeyedArchiveErrorDomain, 1,
                                        foundation::Dictionary{{"reason", "could not write the archive"}}));
        return false;
    }
    foundation::writeFileAtomicallyInBackground(
        path, std::move(text), [failureLine](const foundation::ErrorPtr& error) {
            if (error) foundation::RunLoop::main().post([failureLine, error] { Log::line(failureLine, error); });
        });
    return true;
}

} // namespace

bool VelkoraAgentInternal::saveUserInfo() {
    if (!userInfo_) return false;
    return saveInBackground(*userInfo_, dataFilePath(kUserInfoFile), "Velkora (E) - Failed to save user info: %@");
}

void VelkoraAgentInternal::createVelkoraUserFromUserData() {
    if (!userInfo_ || velkoraUser_) return;
    auto user = std::make_shared<VelkoraUserInternal>();
    velkoraUser_ = user;
    user->setAppId(userInfo_->appId());
    user->setUserId(userInfo_->userId());
    user->setFacebookId(userInfo_->fbId());
    user->setTwitterId(userInfo_->twitterId());
    user->setEmail(userInfo_->emailId());
    switch (userInfo_->userInfoSource()) {
    case 3:
        user->setFirstName(userInfo_->emailName());
        user->setUserPhotoUrl(userInfo_->emailPhoto());
        break;
    case 2:
        user->setFirstName(userInfo_->twitterName());
        user->setUserPhotoUrl(userInfo_->twitterPhoto());
        user->setCity(userInfo_->twitterLocation());
        break;
    case 1:
        user->setFirstName(userInfo_->fbFirstName());
        user->setLastName(userInfo_->fbLastName());
        user->setUserPhotoUrl(std::string(VelkoraUserInternal::kFacebookPhotoMarker));
        user->setCity(userInfo_->fbLocation());
        break;
    default:
        break;
    }
}

void VelkoraAgentInternal::resetUserInfoWithUserId(const std::optional<std::string>& userId) {
    if (!userInfo_) return;
    userInfo_->setUserId(userId ? userId : userInfo_->deviceId());
    saveUserInfo();
    VelkoraUsersRepository::instance().reset();
    if (onUserReset_)
        onUserReset_(userInfo_->userId());
    else
        askUpdatedUserData(userInfo_->userId());
    foundation::NotificationCenter::defaultCenter().post("VelkoraDidResetUser");
}

void VelkoraAgentInternal::initAppData(const std::string& appId) {
    if (appData_) return;
    VelkoraAppData::registerForArchiving();
    VelkoraAppSettings::instance().setAppId(appId);
    std::string path = dataFilePath(kAppDataFile);
    const bool currentExists = foundation::fileExists(path);
    if (!currentExists) {
        Log::line("Velkora (W) - app file doesn't exist in new place. Looking in old place");
        path = dataFilePath(kOldAppDataFile);
    }
    foundation::ErrorPtr error;
    appData_ =
        std::dynamic_pointer_cast<VelkoraAppData>(foundation::KeyedUnarchiver::unarchiveObjectWithFile(path, &error));
    if (error) Log::line("Velkora (E) - Velkora - Failed to get app data...%@ %@", "ArchiveDamaged", error);
    if (!appData_) appData_ = std::make_shared<VelkoraAppData>();
    if (!currentExists) {
        Log::line("Velkora - Saving app file in new place");
        saveAppData();
    }
}

bool VelkoraAgentInternal::saveAppData() {
    if (!appData_) return false;
    appData_->setBuildVersion(std::string(VelkoraAppData::kBuildVersion));
    return saveInBackground(*appData_, dataFilePath(kAppDataFile), "Velkora (E) - Failed to save app data: %@");
}

} // namespace velkora
