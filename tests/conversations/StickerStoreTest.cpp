// The sticker store and pack screens with the purchase layer against velkora-service and its store: rows
// and prices, free adds, buying with receipts the service judges, purchases that survive failures and
// restarts, and restores.
#include "StickerFixture.h"
#include "conversations/VelkoraStickerPackViewController.h"
#include "conversations/VelkoraStickerStoreViewController.h"
#include "conversations/VelkoraStickersIAPHelper.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraResizeableButton.h"
#include "support/ScratchInterfaces.h"

namespace velkora::testing {
namespace {

using service::Fault;
constexpr const char* kCats = "com.velkora.demo.stickers.spacecats";
constexpr int32_t kFreePack = 1, kPaidPack = 2, kDoodles = 3;

class StoreScreenTest : public StickerTest {
protected:
    void SetUp() override {
        StickerTest::SetUp();
        VelkoraStickersIAPServerManager::resetForTests();
        VelkoraStickersIAPHelper::resetForTests();
        added_ = foundation::NotificationObserver(
            kVelkoraNotificationStickerPackAdded, nullptr,
            [this](const foundation::Notification& n) { addedIds_.push_back(n.userInfo["packId"].int32Or(0)); });
    }
    void TearDown() override {
        added_.reset();
        store_.reset();
        VelkoraStickersIAPServerManager::resetForTests();
        VelkoraStickersIAPHelper::resetForTests();
        StickerTest::TearDown();
    }

    void openStore() {
        store_ = VelkoraStickerStoreViewController::create();
        show(store_);
        settleScreen();
    }
    bool productsArrived() {
        return waitFor([] {
                   return VelkoraStickersIAPHelper::hasInstance() &&
                          VelkoraStickersIAPHelper::instance().didGetStoreData();
               }) &&
               settle();
    }
    std::shared_ptr<VelkoraStickerStoreCell> row(int i) {
        window_->layoutIfNeeded();
        return std::dynamic_pointer_cast<VelkoraStickerStoreCell>(
            store_->packTable()->cellForRowAtIndexPath(ui::IndexPath::of(i, 0)));
    }
    std::string buttonTitle(int i) { return row(i)->actionButton()->currentTitle(); }
    bool queueFinished() {
        for (const auto& t : services::PaymentQueue::defaultQueue().transactions())
            if (t->transactionState() != services::PaymentTransactionState::Purchasing) return false;
        return true;
    }
    // The device's store account's transactions the store still holds unfinished.
    std::vector<std::string> unfinishedInStore() {
        std::vector<std::string> ids;
        const std::string account = services::Device::instance().storeAccount().value_or("");
        for (const auto& r : svc.selectRows("SELECT transaction_id FROM store_transactions WHERE account = ? AND "
                                            "finished = 0",
                                            {account}))
            ids.push_back(r[0]);
        return ids;
    }
    // Buys the paid pack from its store row and waits until everything it started has ended.
    void buyFromRow() {
        ASSERT_TRUE(productsArrived());
        row(kPaidPack - 1)->actionClicked(nullptr);
    }
    int paidSends() { return static_cast<int>(count("addPaidStickerPack")); }

    std::shared_ptr<VelkoraStickerStoreViewController> store_;
    std::vector<int32_t> addedIds_;
    foundation::NotificationObserver added_;
};

} // namespace

TEST_F(StoreScreenTest, RowsComeFromTheServiceAndAFreeAddReachesTheRecordAndTheKeyboard) {
    // A fourth pack, shown being added in the picture.
    svc.addStickerPack(kDemo, R"({"title":"Ghosts","subtitle":"Boo, for free","icon":
        "{service}/pictures/stickers/smileys/icon.png","stickers":[{"url":"{service}/pictures/stickers/smileys/1.png"}]})");
    startWithUserData();
    VelkoraServerApi::pause(); // the screen's event stays here instead of riding on a poll
    openStore();
    bool viewed = false;
    for (const auto& e : VelkoraLogEventsManager::instance().takeLoggedEvents())
        viewed |= e.rfind("feature-viewed;stickerStore;", 0) == 0;
    EXPECT_TRUE(viewed);
    VelkoraServerApi::resume();
    ASSERT_EQ(store_->packs().size(), 4u);
    EXPECT_EQ(store_->packTable()->numberOfRowsInSection(0), 5);
    EXPECT_FALSE(store_->activityIndicator()->isAnimating());
    EXPECT_FALSE(row(4)->restoreProductsButton()->isHidden());
    EXPECT_EQ(row(4)->restoreProductsButton()->currentTitle(), "Restore Purchases");
    EXPECT_EQ(buttonTitle(0), "Free");
    ASSERT_TRUE(productsArrived());
    EXPECT_EQ(buttonTitle(1), "$0.99");
    EXPECT_TRUE(row(1)->actionButton()->isEnabled());
    // The paid pack's subtitle runs below its icon: the separator follows the subtitle.
    EXPECT_EQ(row(1)->endLineTopSpaceToSubtitleConstraint()->priority(), 800);
    EXPECT_EQ(row(0)->endLineTopSpaceToIconConstraint()->priority(), 800);
    EXPECT_GT(row(1)->endLineImageView()->frame().y(), row(1)->subtitleLabel()->frame().maxY() - 1);

    row(0)->actionClicked(nullptr);
    EXPECT_EQ(buttonTitle(0), "");
    EXPECT_FALSE(row(0)->actionButton()->isEnabled());
    EXPECT_TRUE(row(0)->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return !addedIds_.empty(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(addedIds_, std::vector<int32_t>{kFreePack});
    EXPECT_EQ(buttonTitle(0), "Installed");
    EXPECT_FALSE(row(0)->actionButton()->isEnabled());
    EXPECT_TRUE(row(0)->actionButton()->isSelected());
    EXPECT_FALSE(row(0)->activityIndicator()->isAnimating());
    EXPECT_EQ(count("getStickerPack"), 0u) << "the store's pack carried its stickers";
    EXPECT_TRUE(record()->stickerPacksMap()->count(kFreePack));
    EXPECT_EQ(svc.userStickerPackIds(kDemo, userId_), std::vector<int64_t>{kFreePack});
    auto keyboard = VelkoraStickersKeyboardView::initFromNibWithVC(store_, {});
    EXPECT_EQ(tabIds(*keyboard), (std::vector<int32_t>{-1, kFreePack, -2}));
    // The picture shows a row being added too, marked as a purchase would mark it (nothing is asked).
    VelkoraStickerPackStatusManager::instance().addStickerPack(store_->packs()[3], false);
    store_->packTable()->reloadData();
    EXPECT_EQ(buttonTitle(3), "");
    EXPECT_TRUE(row(3)->activityIndicator()->isAnimating());
    EXPECT_EQ(buttonTitle(kDoodles - 1), "Free");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("store");
}

TEST_F(StoreScreenTest, AProductTheStoreLacksKeepsItsButtonSpinning) {
    svc.addStickerPack(kDemo, R"({"title":"Ghosts","subtitle":"Not for sale here","productId":"com.velkora.demo.ghosts",
        "icon":"{service}/pictures/stickers/smileys/icon.png","stickers":[{"url":"{service}/pictures/stickers/smileys/1.png"}]})");
    startWithUserData();
    openStore();
    ASSERT_EQ(store_->packs().size(), 4u);
    ASSERT_TRUE(productsArrived());
    EXPECT_TRUE(logged("Velkora (E) - VelkoraStickersIAPHelper: Found invalid product: com.velkora.demo.ghosts"));
    EXPECT_EQ(buttonTitle(3), "");
    EXPECT_FALSE(row(3)->actionButton()->isEnabled());
    EXPECT_TRUE(row(3)->activityIndicator()->isAnimating());
    row(3)->actionClicked(nullptr);
    EXPECT_EQ(VelkoraStickerPackStatusManager::instance().getStickerPackStatus(4), 1)
        << "nothing bought, nothing marked";
}

TEST_F(StoreScreenTest, ADroppedStoreListShowsTheToastAndTheRowsComeAfterTheNextPoll) {
    startWithUserData();
    svc.addFault({"getStickerStore", Fault::Kind::Drop, "", 500, 0, 6});
    store_ = VelkoraStickerStoreViewController::create();
    show(store_);
    ASSERT_TRUE(
        waitAdvancing([&] { return count("getStickerStore") >= 6 && !store_->activityIndicator()->isAnimating(); }));
    EXPECT_EQ(noticesShown(), 1u);
    EXPECT_EQ(store_->packTable()->numberOfRowsInSection(0), 1);
    svc.clearFaults();
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return store_->packs().size() == 3; }));
    settleScreen();
    EXPECT_EQ(store_->packTable()->numberOfRowsInSection(0), 4);
}

TEST_F(StoreScreenTest, ABoughtPackIsRecordedOnceGrantedAndItsTransactionFinished) {
    startWithUserData();
    openStore();
    buyFromRow();
    EXPECT_EQ(buttonTitle(1), "");
    EXPECT_TRUE(row(1)->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return !addedIds_.empty(); }));
    ASSERT_TRUE(settle());
    settleScreen();
    EXPECT_EQ(paidSends(), 1);
    const auto sent = svc.requestsFor("addPaidStickerPack").front();
    EXPECT_NE(sent.body.find("&productId=com.velkora.demo.stickers.spacecats&receipt="), std::string::npos);
    ASSERT_EQ(svc.purchases(kDemo).size(), 1u);
    EXPECT_EQ(svc.purchases(kDemo)[0].userId, userId_);
    EXPECT_EQ(svc.userStickerPackIds(kDemo, userId_), std::vector<int64_t>{kPaidPack});
    EXPECT_EQ(addedIds_, std::vector<int32_t>{kPaidPack});
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
    EXPECT_EQ(buttonTitle(1), "Installed");
    EXPECT_TRUE(record()->stickerPacksMap()->count(kPaidPack));
    auto keyboard = VelkoraStickersKeyboardView::initFromNibWithVC(store_, {});
    EXPECT_EQ(tabIds(*keyboard), (std::vector<int32_t>{-1, kPaidPack, -2})) << "the bought pack has its tab";
}

TEST_F(StoreScreenTest, ACancelledDeclinedOrUnreachablePurchaseGrantsNothingAndReturnsToThePrice) {
    struct Case {
        const char* name;
        std::function<void(service::Service&)> arrange;
        bool toast;
        bool signedButRefused;
    } cases[] = {
        {"cancelled",
         [](service::Service&) {
             services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Refuse);
         },
         false, false},
        {"declined", [](service::Service& s) { s.setStoreOutcome(kCats, service::StoreOutcome::Decline); }, true,
         false},
        {"store unreachable",
         [](service::Service& s) {
             s.addFault({"/store/purchase", Fault::Kind::Drop, "", 500, 0, -1});
         },
         true, false},
        {"unsigned receipt",
         [](service::Service& s) { s.setStoreOutcome(kCats, service::StoreOutcome::UnsignedReceipt); }, true, true},
    };
    startWithUserData();
    openStore();
    ASSERT_TRUE(productsArrived());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        svc.clearFaults();
        svc.setStoreOutcome(kCats, service::StoreOutcome::Approve);
        loop().advance(5); // earlier notices close
        c.arrange(svc);
        auto pack = VelkoraStickerPackViewController::create(store_->packs()[1]);
        pack->setFeatureTabDelegate(container_);
        nav_->pushViewController(pack, false);
        window_->layoutIfNeeded();
        const size_t updatesBefore = count("addPaidStickerPack");
        const size_t noticesBefore = noticesShown();
        bool updated = false;
        foundation::NotificationObserver o(kVelkoraNotificationStickersProductUpdated, nullptr,
                                           [&](const foundation::Notification&) { updated = true; });
        pack->actionClicked(nullptr);
        EXPECT_EQ(pack->actionButton()->currentTitle(), "");
        ASSERT_TRUE(waitAdvancing([&] { return updated; }, 30));
        ASSERT_TRUE(settle());
        EXPECT_EQ(count("addPaidStickerPack") - updatesBefore, c.signedButRefused ? 1u : 0u);
        EXPECT_TRUE(svc.userStickerPackIds(kDemo, userId_).empty());
        EXPECT_TRUE(addedIds_.empty());
        EXPECT_EQ(pack->actionButton()->currentTitle(), "$0.99");
        EXPECT_EQ(noticesShown() - noticesBefore, c.toast ? 1u : 0u);
        EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
        nav_->popViewController(false);
        window_->layoutIfNeeded();
        EXPECT_EQ(buttonTitle(1), "$0.99");
    }
    EXPECT_TRUE(svc.purchases(kDemo).empty());
}

TEST_F(StoreScreenTest, APurchaseIsNeverLostWhateverHappensToItsReceipt) {
    struct Case {
        const char* name;
        Fault fault;
        bool needsPoll;
    } cases[] = {
        {"dropped before running", {"addPaidStickerPack", Fault::Kind::Drop, "", 500, 0, 6}, true},
        {"dropped after running", {"addPaidStickerPack", Fault::Kind::RunThenDrop, "", 500, 0, 1}, false},
        {"HTTP 500", {"addPaidStickerPack", Fault::Kind::HttpStatus, "", 500, 0, 1}, true},
        {"asked to retry",
         {"addPaidStickerPack", Fault::Kind::Answer,
          R"({"success":false,"retry":true,"productId":"com.velkora.demo.stickers.spacecats","packId":2})", 500, 0, 1},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case is a user of its own with a store account of its own.
        const std::string account = std::string("buyer-") + std::to_string(&c - cases) + "@store.example";
        services::Device::instance().update([&](services::DeviceProfile& p) { p.storeAccount = account; });
        VelkoraServerClientAgent::resetForTests();
        VelkoraAgentInternal::resetForTests();
        VelkoraStickerPackStatusManager::resetForTests();
        VelkoraStickersIAPServerManager::resetForTests();
        VelkoraStickersIAPHelper::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        addedIds_.clear();
        capture_.reset();
        capture_ = std::make_unique<foundation::Log::Capture>();
        startWithUserData();
        // A new user's record: none of the packs an earlier case's user got.
        record()->setStickerPacksMap(VelkoraUserInfo::StickerPacksMap{});
        openStore();
        const size_t purchasesBefore = svc.purchases(kDemo).size();
        svc.addFault(c.fault);
        buyFromRow();
        // Either the receipt went through, or it waits, unfinished, for the service to answer a poll again.
        ASSERT_TRUE(waitAdvancing(
            [&] {
                return !addedIds_.empty() || logged("Velkora (W) - Stickers IAP: the service did not take") ||
                       logged("failed validation of receipt");
            },
            30));
        ASSERT_TRUE(settle());
        if (c.needsPoll) {
            EXPECT_TRUE(addedIds_.empty());
            EXPECT_EQ(unfinishedInStore().size(), 1u);
        }
        VelkoraServerApi::updateNow();
        ASSERT_TRUE(waitAdvancing([&] { return !addedIds_.empty(); }, 60));
        ASSERT_TRUE(settle());
        EXPECT_EQ(addedIds_, std::vector<int32_t>{kPaidPack});
        EXPECT_EQ(svc.purchases(kDemo).size(), purchasesBefore + 1) << "one purchase recorded, however often sent";
        EXPECT_EQ(svc.userStickerPackIds(kDemo, userId_), std::vector<int64_t>{kPaidPack});
        EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
        svc.clearFaults();
    }
}

TEST_F(StoreScreenTest, AnUnfinishedPurchaseIsGrantedAfterARestartWithoutOpeningTheStore) {
    startWithUserData();
    openStore();
    svc.addFault({"addPaidStickerPack", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1});
    buyFromRow();
    ASSERT_TRUE(waitFor([&] { return count("addPaidStickerPack") == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(addedIds_.empty());
    ASSERT_EQ(unfinishedInStore().size(), 1u);

    // A restart: the kit's singletons and the device's queue start over; the record and the service stay.
    nav_.reset();
    window_.reset();
    store_.reset();
    VelkoraStickerPackStatusManager::resetForTests();
    VelkoraStickersIAPServerManager::resetForTests();
    VelkoraStickersIAPHelper::resetForTests();
    services::PaymentQueue::defaultQueue().resetForTests();
    svc.clearRequests();
    VelkoraScreenRegistry::instance().runUserDataDuties();
    ASSERT_TRUE(waitAdvancing([&] { return !addedIds_.empty(); }, 30));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("getStickerStore"), 1u);
    EXPECT_EQ(count("addPaidStickerPack"), 1u);
    EXPECT_EQ(addedIds_, std::vector<int32_t>{kPaidPack});
    EXPECT_EQ(svc.userStickerPackIds(kDemo, userId_), std::vector<int64_t>{kPaidPack});
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
}

TEST_F(StoreScreenTest, RestoresBringOwnedPacksBackAndRefuseOthersPurchases) {
    startWithUserData();
    openStore();
    buyFromRow();
    ASSERT_TRUE(waitFor([&] { return !addedIds_.empty(); }));
    ASSERT_TRUE(settle());

    // A fresh record: the owned pack comes back through the restore.
    record()->setStickerPacksMap(VelkoraUserInfo::StickerPacksMap{});
    VelkoraStickerPackStatusManager::resetForTests();
    addedIds_.clear();
    row(3)->restoreClicked(nullptr);
    EXPECT_TRUE(store_->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return !addedIds_.empty() && !store_->activityIndicator()->isAnimating(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("addStickerPack"), 1u);
    EXPECT_TRUE(record()->stickerPacksMap()->count(kPaidPack));
    EXPECT_EQ(buttonTitle(1), "Installed");

    // Restored again while the record has it: finished here, nothing asked.
    bool emptyList = false;
    foundation::NotificationObserver o(kVelkoraNotificationStickersProductUpdated, nullptr,
                                       [&](const foundation::Notification& n) {
                                           const auto* l = n.userInfo["failedTransactions"].asArray();
                                           emptyList = l && l->empty();
                                       });
    row(3)->restoreClicked(nullptr);
    ASSERT_TRUE(waitFor([&] { return emptyList && !store_->activityIndicator()->isAnimating(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("addStickerPack"), 1u);
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
}

TEST_F(StoreScreenTest, SomeoneElsesPurchaseIsRefusedAndNothingToRestoreStopsTheIndicator) {
    svc.signStoreReceipt(kCats, "T-other", "other@store.example");
    services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = "other@store.example"; });
    startWithUserData();
    openStore();
    ASSERT_TRUE(productsArrived());
    row(3)->restoreClicked(nullptr);
    ASSERT_TRUE(waitFor([&] { return count("addStickerPack") == 1 && !store_->activityIndicator()->isAnimating(); }));
    ASSERT_TRUE(settle());
    settleScreen();
    EXPECT_TRUE(svc.userStickerPackIds(kDemo, userId_).empty());
    EXPECT_EQ(buttonTitle(1), "$0.99");
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));

    services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = "nobody@store.example"; });
    row(3)->restoreClicked(nullptr);
    EXPECT_TRUE(store_->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return !store_->activityIndicator()->isAnimating(); }));
    EXPECT_EQ(count("addStickerPack"), 1u);
}

TEST_F(StoreScreenTest, ThePackScreenFillsItsGridFromThePackAndShowsItsState) {
    startWithUserData();
    openStore();
    auto doodles = store_->packs()[kDoodles - 1];
    doodles->mutableStickers().clear(); // a store entry without stickers: empty until the pack answers
    auto pack = VelkoraStickerPackViewController::create(doodles);
    pack->setFeatureTabDelegate(container_);
    nav_->pushViewController(pack, false);
    window_->layoutIfNeeded();
    EXPECT_EQ(pack->stickersView()->numberOfItemsInSection(0), 0);
    EXPECT_TRUE(pack->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return count("getStickerPack") == 1; }) && settle());
    settleScreen();
    EXPECT_EQ(pack->stickersView()->numberOfItemsInSection(0), 13);
    EXPECT_FALSE(pack->activityIndicator()->isAnimating());
    EXPECT_EQ(pack->actionButton()->currentTitle(), "Free");
    ASSERT_TRUE(picturesLoaded());
    // The header and the grid reach the screen's right edge.
    window_->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(pack->stickersView()->frame().size.width, window_->bounds().size.width);
    EXPECT_DOUBLE_EQ(pack->actionButton()->superview()->frame().size.width, window_->bounds().size.width);
    expectLooksLike("pack_screen");

    pack->actionClicked(nullptr);
    ASSERT_TRUE(waitFor([&] { return !addedIds_.empty(); }) && settle());
    EXPECT_EQ(pack->actionButton()->currentTitle(), "Installed");
    EXPECT_TRUE(pack->actionButton()->isSelected());
    EXPECT_FALSE(pack->actionButton()->isEnabled());

    // The long subtitle of the paid pack moves the header's bottom under the subtitle.
    auto cats = VelkoraStickerPackViewController::create(store_->packs()[kPaidPack - 1]);
    cats->setFeatureTabDelegate(container_);
    svc.addFault({"getStickerPack", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1});
    nav_->pushViewController(cats, false);
    window_->layoutIfNeeded();
    ASSERT_TRUE(waitFor([&] { return !cats->activityIndicator()->isAnimating(); }));
    EXPECT_EQ(noticesShown(), 1u);
    EXPECT_EQ(cats->headerViewBottonSpaceToSubtitleConstraint()->priority(), 800);
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return count("getStickerPack") == 3; }) && settle());
}

// Without the row's interface file no row can be drawn: the rows take no room, and no height is negative.
TEST_F(StoreScreenTest, WithoutTheRowsInterfaceFileRowsTakeNoRoom) {
    ScratchInterfaces files({"VelkoraStickerStoreCell"});
    openStore();
    ASSERT_TRUE(store_->packTable());
    EXPECT_EQ(store_->heightForRowAtIndexPath(*store_->packTable(), ui::IndexPath::of(0, 0)), 0);
}

} // namespace velkora::testing
