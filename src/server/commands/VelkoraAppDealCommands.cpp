// Promoted applications, from the service or from the outside ad exchange.
#include "platform/foundation/Log.h"
#include "server/VelkoraAdExchangeEndpoint.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/commands/VelkoraStoreCommandParts.h"
#include "server/utils/RequestText.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraAppData.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;

namespace {

void readGetApps(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::vector<VelkoraAppDealPtr> deals;
    if (const foundation::Array* apps = reply["apps"].asArray())
        for (const Value& e : *apps)
            if (auto deal = parseAppDeal(e)) deals.push_back(std::move(deal));
    d.gotAppDeals(w, deals);
}

void readExchangeAds(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    // The exchange's own refusal takes the error path; a refusal without a reason still lists its deals.
    if (!reply["validResponse"].boolOr(false)) {
        if (const std::string* message = reply["errorMessage"].asString()) {
            d.urlGotError(w, foundation::makeError(*message, 0));
            return;
        }
    }
    std::vector<VelkoraAppDealPtr> deals;
    if (const foundation::Array* ads = reply["adsDetails"].asArray())
        for (const Value& e : *ads)
            if (auto deal = parseExchangeAppDeal(e)) deals.push_back(std::move(deal));
    d.gotAppDeals(w, deals);
}

const commands::Branch kBranches[] = {
    {VelkoraCommand::GetApps, readGetApps},
    {VelkoraCommand::GetExchangeAds, readExchangeAds},
};

void replayGetAppDeals(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.getAppDeals(r.delegate); }

// The exchange's optional parts, in its order: age, gender, test mode.
std::string audienceParameters() {
    auto& session = VelkoraSessionRecords::current();
    std::string text;
    if (auto user = session.velkoraUser()) {
        if (user->isAgeSet()) text += "&age=" + num(user->age());
        if (user->gender()) text += "&gender=" + escapeRequestValue(*user->gender());
    }
    if (session.testMode()) text += "&testMode=true";
    return text;
}

}  // namespace

std::span<const commands::Branch> commands::appDealBranches() { return kBranches; }

void commands::addAppDealReplays(Replays& table) { table[VelkoraPendingType::kGetAppDeals] = replayGetAppDeals; }

bool VelkoraProtocolWrapper::getAppDeals(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId, "Velkora - getAppDeals: AppId or UserId not set")) return false;
    auto appData = VelkoraSessionRecords::current().getAppData();
    int32_t vendor = appData ? appData->appDealsVendor() : 0;
    switch (vendor) {
    case 0:
    case 3:
        send(VelkoraCommand::GetApps, head("getApps") + "&appId=" + *appId + "&userId=" + *userId +
                                          "&vendor=" + num(vendor));
        return true;
    case 1:
        // Over HTTPS whatever the configuration says: the request carries the user's age and gender.
        send(VelkoraCommand::GetExchangeAds,
             VelkoraAdExchangeEndpoint::url() + "?publisherId=" + VelkoraAdExchangeEndpoint::kPublisherId +
                 "&productId=" + VelkoraAdExchangeEndpoint::kProductId + "&os=ios&type=VELKORA_TOOLBAR" +
                 "&subPublisherId=" + *appId + "&subProductId=" + *appId + "&adsNumber=10" + audienceParameters());
        return true;
    default:
        Log::line("Velkora - getAppDeals: Unknown vendor (%d). Doing nothing", vendor);
        return false;
    }
}

void VelkoraServerClientAgent::getAppDeals(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetAppDeals, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getAppDeals(appId_, userId_); });
}

void VelkoraServerClientAgent::gotAppDeals(VelkoraProtocolWrapper& w, const std::vector<VelkoraAppDealPtr>& deals) {
    performUserSelector(w, commands::objectsValue(deals));
}

void VelkoraServerApi::getAppDeals(VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().getAppDeals(std::move(caller));
}

}  // namespace velkora
