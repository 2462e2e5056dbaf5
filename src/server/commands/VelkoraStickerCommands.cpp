// The sticker store: packs free and paid.
#include "platform/foundation/Log.h"
#include "platform/services/Product.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/commands/VelkoraStoreCommandParts.h"
#include "server/utils/RequestText.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;

std::string request::clientTail() { return "&clientType=" + num(kVelkoraClientType) + "&build=" + kVelkoraBuild; }

bool request::idsMissing(const std::optional<std::string>& appId, const std::optional<std::string>& userId,
                         const char* line) {
    if (!missing(appId) && !missing(userId)) return false;
    Log::line(line);
    return true;
}

namespace {

void readGetStickerStore(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotStickerStore(w, parseStickerPacks(reply["stickerPacks"], true));
}

void readGetStickerPack(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotStickerPack(w, parseStickerPack(reply["stickerPack"]));
}

void readGetStickerData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotStickerData(w, parseStickerPacks(reply["stickerPacks"], false));
}

void readAddStickerPack(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.addedStickerPack(w, reply["id"].int32Or(0));
}

void readAddPaidStickerPack(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::optional<std::string> productId;
    if (const std::string* text = reply["productId"].asString()) productId = *text;
    d.addedPaidStickerPack(w, reply["success"].boolOr(false), reply["retry"].boolOr(false), productId,
                           reply["packId"].int32Or(0));
}

const commands::Branch kBranches[] = {
    {VelkoraCommand::GetStickerStore, readGetStickerStore},
    {VelkoraCommand::GetStickerPack, readGetStickerPack},
    {VelkoraCommand::GetStickerData, readGetStickerData},
    {VelkoraCommand::AddStickerPack, readAddStickerPack},
    {VelkoraCommand::AddPaidStickerPack, readAddPaidStickerPack},
};

void replayGetStickerStore(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getStickerStore(r.delegate);
}
void replayGetStickerPack(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getStickerPack(r.delegate, r.topicId);
}
void replayGetStickerData(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getStickerData(r.delegate);
}
void replayAddStickerPack(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.addStickerPack(r.delegate, r.topicId);
}
void replayAddPaidStickerPack(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.addPaidStickerPack(r.delegate, r.quizId, r.product, r.paymentReceipt);
}

}  // namespace

std::span<const commands::Branch> commands::stickerBranches() { return kBranches; }

void commands::addStickerReplays(Replays& table) {
    table[VelkoraPendingType::kGetStickerStore] = replayGetStickerStore;
    table[VelkoraPendingType::kGetStickerPack] = replayGetStickerPack;
    table[VelkoraPendingType::kGetStickerData] = replayGetStickerData;
    table[VelkoraPendingType::kAddStickerPack] = replayAddStickerPack;
    table[VelkoraPendingType::kAddPaidStickerPack] = replayAddPaidStickerPack;
}

// ---- requests ----

void VelkoraProtocolWrapper::sendForm(VelkoraCommand command, const std::string& body) {
    command_ = command;
    fetcherFor(command)->getUrlWithPostData(endpoint(), body);
}

bool VelkoraProtocolWrapper::getStickerStore(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId, "Velkora - getStickerStore: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetStickerStore, bareHead("getStickerStore") + "&appId=" + *appId + "&userId=" + *userId +
                                              clientTail());
    return true;
}

bool VelkoraProtocolWrapper::getStickerPack(const OptString& appId, const OptString& userId, int32_t packId) {
    if (idsMissing(appId, userId, "Velkora - getStickerPack: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetStickerPack, bareHead("getStickerPack") + "&appId=" + *appId + "&userId=" + *userId +
                                             "&packId=" + num(packId) + clientTail());
    return true;
}

bool VelkoraProtocolWrapper::addStickerPack(const OptString& appId, const OptString& userId, int32_t packId) {
    if (idsMissing(appId, userId, "Velkora - addStickerPack: AppId or UserId not set")) return false;
    send(VelkoraCommand::AddStickerPack, bareHead("addStickerPack") + "&appId=" + *appId + "&userId=" + *userId +
                                             "&packId=" + num(packId) + clientTail());
    return true;
}

bool VelkoraProtocolWrapper::getStickerData(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId, "Velkora - getStickerData: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetStickerData, bareHead("getStickerData") + "&appId=" + *appId + "&userId=" + *userId +
                                             clientTail());
    return true;
}

// The price is the store's decimal text and the currency its code, both sent as they are; the product
// identifier is escaped, which leaves a store identifier as it is; the receipt comes already encoded.
std::string request::purchaseParameters(const std::shared_ptr<services::Product>& product,
                                        const std::optional<std::string>& receipt) {
    std::string text;
    if (product)
        text += "&price=" + product->price() + "&currency=" + product->priceLocale().currencyCode +
                "&productId=" + escapeRequestValue(product->productIdentifier());
    if (receipt) text += "&receipt=" + *receipt;
    return text;
}

bool VelkoraProtocolWrapper::addPaidStickerPack(const OptString& appId, const OptString& userId, int32_t packId,
                                                const std::shared_ptr<services::Product>& product,
                                                const OptString& paymentReceipt) {
    if (idsMissing(appId, userId, "Velkora - addPaidStickerPack: AppId or UserId not set")) return false;
    sendForm(VelkoraCommand::AddPaidStickerPack, "command=addPaidStickerPack&appId=" + *appId + "&userId=" + *userId +
                                                     clientTail() + "&packId=" + num(packId) +
                                                     purchaseParameters(product, paymentReceipt));
    return true;
}

// ---- agent ----

void VelkoraServerClientAgent::getStickerStore(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetStickerStore, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getStickerStore(appId_, userId_); });
}

void VelkoraServerClientAgent::getStickerPack(VelkoraCallback caller, int32_t packId) {
    sendOrQueue(VelkoraPendingType::kGetStickerPack, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.topicId = packId; },
                [&](VelkoraProtocolWrapper& w) { return w.getStickerPack(appId_, userId_, packId); });
}

void VelkoraServerClientAgent::addStickerPack(VelkoraCallback caller, int32_t packId) {
    sendOrQueue(VelkoraPendingType::kAddStickerPack, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.topicId = packId; },
                [&](VelkoraProtocolWrapper& w) { return w.addStickerPack(appId_, userId_, packId); });
}

void VelkoraServerClientAgent::addPaidStickerPack(VelkoraCallback caller, int32_t packId,
                                                  std::shared_ptr<services::Product> product,
                                                  const OptString& paymentReceipt) {
    sendOrQueue(VelkoraPendingType::kAddPaidStickerPack, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = packId;
                    r.product = std::move(product);
                    r.paymentReceipt = paymentReceipt;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.addPaidStickerPack(appId_, userId_, packId, product, paymentReceipt);
                });
}

void VelkoraServerClientAgent::getStickerData(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetStickerData, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getStickerData(appId_, userId_); });
}

void VelkoraServerClientAgent::gotStickerStore(VelkoraProtocolWrapper& w, const std::vector<VelkoraStickerPackPtr>& store) {
    performUserSelector(w, commands::objectsValue(store));
}

void VelkoraServerClientAgent::gotStickerPack(VelkoraProtocolWrapper& w, const VelkoraStickerPackPtr& pack) {
    performUserSelector(w, Value::object(pack));
}

void VelkoraServerClientAgent::gotStickerData(VelkoraProtocolWrapper& w, const std::vector<VelkoraStickerPackPtr>& data) {
    performUserSelector(w, commands::objectsValue(data));
}

void VelkoraServerClientAgent::addedStickerPack(VelkoraProtocolWrapper& w, int32_t packId) {
    performUserSelector(w, Value(packId));
}

// Every value the reply gave reaches the caller: a reply without a product id still names the pack.
void VelkoraServerClientAgent::addedPaidStickerPack(VelkoraProtocolWrapper& w, bool success, bool shouldRetry,
                                                    const std::optional<std::string>& productId, int32_t packId) {
    foundation::Dictionary answer{{"success", Value(success)}, {"shouldRetry", Value(shouldRetry)}};
    if (productId) answer.set("productId", Value(*productId));
    answer.set("packId", Value(packId));
    performUserSelector(w, Value(std::move(answer)));
}

// ---- facade ----

void VelkoraServerApi::getStickerStore(VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().getStickerStore(std::move(caller));
}
void VelkoraServerApi::getStickerPack(VelkoraCallback caller, int32_t packId) {
    VelkoraServerClientAgent::instance().getStickerPack(std::move(caller), packId);
}
void VelkoraServerApi::addStickerPack(VelkoraCallback caller, int32_t packId) {
    VelkoraServerClientAgent::instance().addStickerPack(std::move(caller), packId);
}
void VelkoraServerApi::addPaidStickerPack(VelkoraCallback caller, int32_t packId,
                                          std::shared_ptr<services::Product> product, const OptString& paymentReceipt) {
    VelkoraServerClientAgent::instance().addPaidStickerPack(std::move(caller), packId, std::move(product),
                                                            paymentReceipt);
}
void VelkoraServerApi::getStickerData(VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().getStickerData(std::move(caller));
}

}  // namespace velkora
