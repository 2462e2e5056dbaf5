// The sticker commands of the kit against velkora-service's sticker store.
#include "StoreFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

constexpr const char* kPaidProduct = "com.velkora.demo.stickers.spacecats";
constexpr int32_t kFreePack = 1, kPaidPack = 2;

} // namespace

TEST_F(StoreTest, StickerReadsPutTheIdsBeforeTheClientTypeAndAnswerThePacks) {
    startDemoUser();
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getStickerStore(Caller::of(caller));
    VelkoraServerApi::getStickerPack(Caller::of(caller), kPaidPack);
    VelkoraServerApi::addStickerPack(Caller::of(caller), kFreePack);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 3; }));
    VelkoraServerApi::getStickerData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 4; }));

    const std::string ids = "&appId=" + std::string(kDemo) + "&userId=" + userId_;
    struct Case {
        const char* command;
        std::string text;
    } cases[] = {
        {"getStickerStore", "command=getStickerStore" + ids + "&clientType=1&build=2.5.7"},
        {"getStickerPack", "command=getStickerPack" + ids + "&packId=2&clientType=1&build=2.5.7"},
        {"addStickerPack", "command=addStickerPack" + ids + "&packId=1&clientType=1&build=2.5.7"},
        {"getStickerData", "command=getStickerData" + ids + "&clientType=1&build=2.5.7"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(count(c.command), 1u) << c.command;
        EXPECT_EQ(lastQuery(c.command), c.text);
    }

    // The answers come in the order the replies arrive; find each by its shape.
    std::vector<VelkoraStickerPackPtr> store, data;
    VelkoraStickerPackPtr pack;
    std::optional<int64_t> added;
    for (const Value& a : caller->answers) {
        if (a.isNumber())
            added = a.toInt64();
        else if (auto p = a.asObject<VelkoraStickerPack>())
            pack = p;
        else if (objectsOf<VelkoraStickerPack>(a).size() == 3)
            store = objectsOf<VelkoraStickerPack>(a);
        else
            data = objectsOf<VelkoraStickerPack>(a);
    }
    ASSERT_EQ(store.size(), 3u);
    EXPECT_EQ(store[0]->title(), std::string("Smileys"));
    EXPECT_FALSE(store[0]->productId()); // a free pack: null product
    EXPECT_EQ(store[1]->productId(), std::string(kPaidProduct));
    EXPECT_EQ(store[1]->stickers().size(), 3u);
    ASSERT_TRUE(pack);
    EXPECT_EQ(pack->packId(), kPaidPack);
    EXPECT_FALSE(pack->title()); // the pack read gives id, icon and stickers only
    EXPECT_TRUE(pack->icon());
    EXPECT_EQ(pack->stickers().size(), 3u);
    EXPECT_EQ(added, kFreePack);
    ASSERT_EQ(data.size(), 1u); // the user's packs: the free one just added
    EXPECT_EQ(data[0]->packId(), kFreePack);
    EXPECT_EQ(data[0]->stickers().size(), 4u);
}

TEST_F(StoreTest, PaidPackPostsTheProductAndReceiptAndTheServiceJudgesTheReceipt) {
    startDemoUser();
    const std::string head = "command=addPaidStickerPack&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                             "&clientType=1&build=2.5.7&packId=";
    const std::string good = receiptFor(kPaidProduct, "T-1");
    struct Case {
        const char* name;
        int32_t packId;
        std::shared_ptr<services::Product> product;
        std::optional<std::string> receipt;
        std::string bodyTail;
        bool success, shouldRetry;
        bool hasProductId;
    } cases[] = {
        // Not bought yet: nothing to check, the caller may send it again with the receipt.
        {"no receipt", kPaidPack, product(kPaidProduct), std::nullopt,
         "2&price=0.99&currency=USD&productId=com.velkora.demo.stickers.spacecats", false, true, true},
        {"receipt of another product", kPaidPack, nullptr, receiptFor("com.other", "T-2"),
         "2&receipt=" + receiptFor("com.other", "T-2"), false, false, true},
        {"signed receipt", kPaidPack, product(kPaidProduct, "1.49"), good,
         "2&price=1.49&currency=USD&productId=com.velkora.demo.stickers.spacecats&receipt=" + good, true, false, true},
        // A free pack has no product: the answer still names the pack.
        {"free pack", kFreePack, nullptr, std::nullopt, "1", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto caller = std::make_shared<Caller>();
        svc.clearRequests();
        VelkoraServerApi::addPaidStickerPack(Caller::of(caller), c.packId, c.product, c.receipt);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        auto posted = svc.requestsFor("addPaidStickerPack");
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].method, "POST");
        EXPECT_EQ(posted[0].query, ""); // no time stamp or tag on a form
        EXPECT_EQ(posted[0].body, head + c.bodyTail);
        const Value& answer = caller->answers[0];
        EXPECT_EQ(answer["success"].toBool(), c.success);
        EXPECT_EQ(answer["shouldRetry"].toBool(), c.shouldRetry);
        EXPECT_EQ(answer.get("productId") != nullptr, c.hasProductId);
        if (c.hasProductId) {
            EXPECT_EQ(answer["productId"].textOr(""), kPaidProduct);
        }
        EXPECT_EQ(answer["packId"].toInt64(), c.packId);
    }
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getStickerData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    auto packs = objectsOf<VelkoraStickerPack>(caller->answers[0]);
    ASSERT_EQ(packs.size(), 2u);
    EXPECT_EQ(packs[0]->packId(), kPaidPack);
}

TEST_F(StoreTest, StickerCommandsMadeBeforeTheSessionAreReplayedWithTheirValues) {
    auto caller = std::make_shared<Caller>();
    const std::string receipt = receiptFor(kPaidProduct, "T-queued");
    VelkoraServerApi::addStickerPack(Caller::of(caller), kFreePack);
    VelkoraServerApi::addPaidStickerPack(Caller::of(caller), kPaidPack, product(kPaidProduct), receipt);
    VelkoraServerApi::getStickerPack(Caller::of(caller), kFreePack);
    ASSERT_EQ(agent().pendingRequests().size(), 3u);
    EXPECT_EQ(agent().pendingRequests()[1]->type, VelkoraPendingType::kAddPaidStickerPack);
    EXPECT_EQ(agent().pendingRequests()[1]->quizId, kPaidPack);
    startDemoUser();
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 3; }));
    EXPECT_EQ(param(svc.requestsFor("addStickerPack").at(0), "packId"), "1");
    EXPECT_EQ(param(svc.requestsFor("getStickerPack").at(0), "packId"), "1");
    EXPECT_NE(svc.requestsFor("addPaidStickerPack")
                  .at(0)
                  .body.find("&packId=2&price=0.99&currency=USD&productId=" + std::string(kPaidProduct) +
                             "&receipt=" + receipt),
              std::string::npos);
    bool paidAdded = false;
    for (const Value& a : caller->answers)
        if (a.isDictionary()) paidAdded = a["success"].toBool().value_or(false);
    EXPECT_TRUE(paidAdded);
}

TEST_F(StoreTest, StickerCommandsWithoutAUserLogAndSendNothing) {
    agent().setAppId(std::string(kDemo));
    auto w = VelkoraProtocolWrapper::create(&agent());
    struct Case {
        std::function<bool()> call;
        const char* line;
    } cases[] = {
        {[&] { return w->getStickerStore(std::string(kDemo), std::nullopt); },
         "Velkora - getStickerStore: AppId or UserId not set"},
        {[&] { return w->getStickerPack(std::nullopt, std::string("u"), 1); },
         "Velkora - getStickerPack: AppId or UserId not set"},
        {[&] { return w->addStickerPack(std::string(kDemo), std::string(""), 1); },
         "Velkora - addStickerPack: AppId or UserId not set"},
        {[&] { return w->addPaidStickerPack(std::string(kDemo), std::nullopt, 1, nullptr, std::nullopt); },
         "Velkora - addPaidStickerPack: AppId or UserId not set"},
        {[&] { return w->getStickerData(std::nullopt, std::nullopt); },
         "Velkora - getStickerData: AppId or UserId not set"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.call());
        EXPECT_TRUE(logged(c.line)) << c.line;
    }
    EXPECT_FALSE(w->command());
    EXPECT_TRUE(svc.requests().empty());
}
