// Whether a sticker pack is available, being added or added, for every screen that shows one, and the
// free add itself. What is under way lives in memory only; the user record's packs are what counts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"

namespace velkora {

// Announced with the pack once the service has added it: {"packId", "pack"}.
inline constexpr const char* kVelkoraNotificationStickerPackAdded = "VelkoraNotificationStickerPackAdded";
// A purchase or an add ended; {"failedTransactions": [pack ids]} names the packs that did not come.
inline constexpr const char* kVelkoraNotificationStickersProductUpdated = "VelkoraNotificationStickersProductUpdated";

class VelkoraStickerPackStatusObject {
public:
    int32_t status = 1;
    VelkoraStickerPackPtr pack;
};

class VelkoraStickerPackStatusManager {
public:
    static constexpr int32_t kAvailable = 1, kAdding = 2, kAdded = 3;

    static VelkoraStickerPackStatusManager& instance();
    // A fresh manager, as after a restart; for tests.
    static void resetForTests();

    // The pack of the user record, or null.
    VelkoraStickerPackPtr getStickerPack(int32_t packId) const;
    int32_t getStickerPackStatus(int32_t packId) const;
    // Marks the pack as being added (unless the user has it) and, for a free pack, asks the service.
    void addStickerPack(const VelkoraStickerPackPtr& pack, bool doAdd);
    // The service added the pack: announced at once when its stickers are known, else after fetching them.
    void addedStickerPack(int32_t packId);
    void gotStickerPack(const VelkoraStickerPackPtr& pack);
    void postNotificationForStatus(const VelkoraStickerPackStatusObject& status);
    void clearStickerPack(int32_t packId);

    const std::map<int32_t, std::shared_ptr<VelkoraStickerPackStatusObject>>& inProgressPacks() const {
        return inProgressPacks_;
    }

    // Shows the toast of a failure: the network's notice for a connection failure, else the failed
    // purchase's. Shared by the purchase layer and the store screens.
    static void showFailureToast(const foundation::ErrorPtr& error);
    static bool isConnectionFailure(const foundation::ErrorPtr& error);
    // A notice of the strings table's `key` over the key window.
    static void showNotice(const char* key);

    VelkoraStickerPackStatusManager() = default;

private:
    void requestStickerPack(int32_t packId);
    void freeAddFailed(int32_t packId, const foundation::ErrorPtr& error);
    void getStickerPackFailed(int32_t packId);

    std::map<int32_t, std::shared_ptr<VelkoraStickerPackStatusObject>> inProgressPacks_;
    // The life of the callbacks this manager hands to the server client.
    std::shared_ptr<int> callbackLife_ = std::make_shared<int>(0);
    // Pack ids whose fetch failed, asked again after the next good poll.
    std::map<int32_t, bool> packsToFetch_;
    foundation::NotificationObserver pollObserver_;
};

} // namespace velkora
