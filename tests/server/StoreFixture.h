// The kit against velkora-service's demo application, which has sticker packs, quizzes and promoted
// applications: a session for a new user of it, and direct requests to the service as another user.
#pragma once

#include <velkora_service/StoreReceipt.h>

#include "ServerClientFixture.h"
#include "session/VelkoraSharedRepository.h"
#include "platform/services/Product.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraBase64.h"

namespace velkora::testing {

class StoreTest : public ServerClientTest {
protected:
    static constexpr const char* kDemo = service::Service::kDemoAppId;

    void startDemoUser() {
        VelkoraAppSettings::instance().setAppId(std::string(kDemo));
        VelkoraServerApi::startSession(std::string(kDemo), nullptr);
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        ASSERT_TRUE(waitForRequests("update", 1));
        userId_ = *agent().userId();
    }

    // The request text up to its time stamp.
    static std::string untagged(const service::RecordedRequest& r) { return r.query.substr(0, r.query.find("&ts=")); }
    std::string lastQuery(const std::string& command) const { return untagged(svc.requestsFor(command).back()); }

    // A GET of the service's API, tagged as the kit tags it, answered without the network.
    std::string serviceGet(const std::string& query) {
        std::string tagged = tagRequestText(svc.endpoint() + "?" + query, 1.0e9);
        return svc.answer("GET", tagged.substr(svc.baseUrl().size())).body;
    }

    // A receipt of the stand-in store for a purchase it recorded, as the purchase manager sends it.
    std::string receiptFor(const std::string& productId, const std::string& transactionId) {
        return *base64EncodedString(svc.signStoreReceipt(productId, transactionId));
    }
    static std::shared_ptr<services::Product> product(const std::string& id, const std::string& price = "0.99") {
        return std::make_shared<services::Product>(id, price, services::PriceLocale{"en_US", "USD"});
    }

    std::string userId_;
};

// The model objects of an answer that is an array of them: the kit's own reading of a reply's list.
using ::velkora::objectsOf;

}  // namespace velkora::testing
