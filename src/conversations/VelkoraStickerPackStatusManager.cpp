#include "conversations/VelkoraStickerPackStatusManager.h"

#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Store.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraStoreProductsHelper.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::mutex gMutex;
std::unique_ptr<VelkoraStickerPackStatusManager> gInstance;

} // namespace

VelkoraStickerPackStatusManager& VelkoraStickerPackStatusManager::instance() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gInstance) gInstance = std::make_unique<VelkoraStickerPackStatusManager>();
    return *gInstance;
}

void VelkoraStickerPackStatusManager::resetForTests() {
    std::lock_guard<std::mutex> lock(gMutex);
    gInstance.reset();
}

VelkoraStickerPackPtr VelkoraStickerPackStatusManager::getStickerPack(int32_t packId) const {
    auto info = VelkoraAgentInternal::instance().userInfo();
    if (!info || !info->stickerPacksMap()) return nullptr;
    const auto& map = *info->stickerPacksMap();
    auto it = map.find(packId);
    return it == map.end() ? nullptr : it->second;
}

int32_t VelkoraStickerPackStatusManager::getStickerPackStatus(int32_t packId) const {
    if (getStickerPack(packId)) return kAdded;
    auto it = inProgressPacks_.find(packId);
    return it == inProgressPacks_.end() ? kAvailable : it->second->status;
}

void VelkoraStickerPackStatusManager::addStickerPack(const VelkoraStickerPackPtr& pack, bool doAdd) {
    if (!pack || getStickerPack(pack->packId())) return;
    auto entry = std::make_shared<VelkoraStickerPackStatusObject>();
    entry->status = kAdding;
    entry->pack = pack;
    inProgressPacks_[pack->packId()] = entry;
    if (!doAdd) return;
    const int32_t packId = pack->packId();
    VelkoraServerApi::addStickerPack(VelkoraCallback::make(
                                         callbackLife_, [this](const Value& id) { addedStickerPack(id.int32Or(0)); },
                                         [this, packId](const foundation::ErrorPtr& e) { freeAddFailed(packId, e); }),
                                     packId);
}

// The pack goes back to available, and whoever shows it hears which one failed.
void VelkoraStickerPackStatusManager::freeAddFailed(int32_t packId, const foundation::ErrorPtr& error) {
    Log::line("Velkora (W) - Adding sticker pack %d failed: %@", packId, error ? error->description() : "");
    clearStickerPack(packId);
    showFailureToast(error);
    foundation::Array failed{Value(packId)};
    foundation::NotificationCenter::defaultCenter().post(kVelkoraNotificationStickersProductUpdated, this,
                                                         Value(foundation::Dictionary{{"failedTransactions", failed}}));
}

void VelkoraStickerPackStatusManager::addedStickerPack(int32_t packId) {
    auto it = inProgressPacks_.find(packId);
    if (it != inProgressPacks_.end()) {
        it->second->status = kAdded;
        if (it->second->pack && !it->second->pack->stickers().empty()) {
            postNotificationForStatus(*it->second);
            return;
        }
    }
    requestStickerPack(packId);
}

void VelkoraStickerPackStatusManager::requestStickerPack(int32_t packId) {
    VelkoraServerApi::getStickerPack(VelkoraCallback::make(
                                         callbackLife_,
                                         [this](const Value& v) {
                                             if (auto pack = v.asObject<VelkoraStickerPack>()) gotStickerPack(pack);
                                         },
                                         [this, packId](const foundation::ErrorPtr&) { getStickerPackFailed(packId); }),
                                     packId);
}

// The service has the pack; only its stickers did not come. Asked again once the service answers polls.
void VelkoraStickerPackStatusManager::getStickerPackFailed(int32_t packId) {
    packsToFetch_[packId] = true;
    if (pollObserver_) return;
    pollObserver_ = foundation::NotificationObserver(VelkoraServerClientAgent::kUpdatePollAnsweredNotification, nullptr,
                                                     [this](const foundation::Notification&) {
                                                         auto ids = std::move(packsToFetch_);
                                                         packsToFetch_.clear();
                                                         pollObserver_.reset();
                                                         for (const auto& [id, unused] : ids)
                                                             requestStickerPack(id);
                                                     });
}

void VelkoraStickerPackStatusManager::gotStickerPack(const VelkoraStickerPackPtr& pack) {
    if (!pack) return;
    auto& entry = inProgressPacks_[pack->packId()];
    if (!entry) {
        entry = std::make_shared<VelkoraStickerPackStatusObject>();
        entry->status = kAdded;
    }
    entry->pack = pack;
    postNotificationForStatus(*entry);
}

void VelkoraStickerPackStatusManager::postNotificationForStatus(const VelkoraStickerPackStatusObject& status) {
    if (!status.pack) return;
    foundation::Dictionary info{{"packId", Value(status.pack->packId())}, {"pack", Value::object(status.pack)}};
    foundation::NotificationCenter::defaultCenter().post(kVelkoraNotificationStickerPackAdded, this,
                                                         Value(std::move(info)));
}

void VelkoraStickerPackStatusManager::clearStickerPack(int32_t packId) {
    inProgressPacks_.erase(packId);
}

bool VelkoraStickerPackStatusManager::isConnectionFailure(const foundation::ErrorPtr& error) {
    return VelkoraStoreProductsHelper::isConnectionFailure(error);
}

void VelkoraStickerPackStatusManager::showFailureToast(const foundation::ErrorPtr& error) {
    if (error && error->domain == services::kStoreErrorDomain && error->code == services::kStoreErrorPaymentCancelled)
        return; // the person said no: nothing went wrong
    const char* key =
        isConnectionFailure(error) ? "velkora_text_no_network_message" : "velkora_text_purchase_failed_message";
    showNotice(key);
}

void VelkoraStickerPackStatusManager::showNotice(const char* key) {
    const std::string message = foundation::Bundle::main().localizedString(key);
    // The notice closes itself after a moment; the log keeps what the person was told.
    Log::line("Velkora (W) - Stickers: %@", message);
    ui::View* view = ui::Application::instance().keyWindow();
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(message);
    if (toast) toast->showInView(view);
}

} // namespace velkora
