// Coin purchases against velkora-service's demo application and its store: a fresh kit, service user,
// store account and payment queue per test, the application's data as the service gives it, a host
// window for the spinner and the notices, all on the test clock.
#pragma once

#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "server/StoreFixture.h"
#include "server/VelkoraServerEndpoint.h"
#include "data/VelkoraAppData.h"
#include "support/ScreenFixture.h"

namespace velkora::testing {

class QuizPurchaseTest : public ScreenFixture<StoreTest> {
protected:
    static constexpr const char* kPack100 = "com.velkora.demo.coins100";
    static constexpr const char* kPack500 = "com.velkora.demo.coins500";

    void SetUp() override {
        ScreenFixture<StoreTest>::SetUp();
        VelkoraServerEndpoint::handOverServiceHost();
        useStoreAccount("buyer@store.example");
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        restartStore();
        updates_ = foundation::NotificationObserver(
            kVelkoraNotificationQuizProductUpdated, nullptr,
            [this](const foundation::Notification& n) { updates_seen_.push_back(n.userInfo); });
    }
    void TearDown() override {
        updates_.reset();
        loop().advance(5);
        host_.reset();
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        ScreenFixture<StoreTest>::TearDown();
    }

    static void useStoreAccount(const std::string& account) {
        services::Device::instance().update([&](services::DeviceProfile& p) { p.storeAccount = account; });
    }
    // As after a restart of the application: the purchase layer and the device's queue start over.
    static void restartStore() {
        VelkoraQuizIAPServerManager::resetForTests();
        VelkoraQuizIAPHelper::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
    }
    static VelkoraQuizIAPServerManager& manager() { return VelkoraQuizIAPServerManager::instance(); }
    static VelkoraQuizIAPHelper& helper() { return VelkoraQuizIAPHelper::instance(); }

    // A new user of the demo application whose own data and application data the kit holds.
    void startBuyer() {
        VelkoraAgentInternal::instance().initUserInfo(kDemo);
        startDemoUser();
        loadMyData();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_FALSE(caller->answers.empty());
        appData_ = caller->answers[0].asObject<VelkoraAppData>();
        ASSERT_TRUE(appData_);
        VelkoraAgentInternal::instance().setAppData(appData_);
        host_ = ui::Window::createFullScreen();
        host_->makeKeyAndVisible();
    }
    // What the session does when the application data arrives.
    void appDataArrived() {
        auto products =
            VelkoraScreenRegistry::instance().makeObject<VelkoraQuizProducts>("VelkoraQuizIAPServerManager");
        ASSERT_TRUE(products);
        products->initProducts();
    }
    bool productsArrived() {
        return waitAdvancing([] { return VelkoraQuizIAPHelper::hasInstance() && helper().didGetStoreData(); }, 30) &&
               settle();
    }
    bool buy(const char* key, int32_t quizId = -1, int32_t questionId = -1) {
        return manager().buyProductByKey(key, host_.get(), quizId, questionId);
    }
    // Until the manager has told the screens about `n` outcomes in all.
    bool outcomes(size_t n, int seconds = 60) {
        return waitAdvancing([&] { return updates_seen_.size() >= n; }, seconds) && settle();
    }
    bool spinning() const { return manager().activityIndicator() && manager().activityIndicator()->isAnimating(); }
    int serviceCoins() { return std::stoi(svc.userColumn(kDemo, userId_, "coins")); }
    int localCoins() { return VelkoraAgentInternal::instance().velkoraUser()->coins(); }
    size_t deliveries() const { return count("updateQuizProduct"); }
    // The device's store account's transactions the store holds unfinished.
    std::vector<std::string> unfinishedInStore() {
        std::vector<std::string> ids;
        const std::string account = services::Device::instance().storeAccount().value_or("");
        for (const auto& r : svc.selectRows(
                 "SELECT transaction_id FROM store_transactions WHERE account = ? AND finished = 0", {account}))
            ids.push_back(r[0]);
        return ids;
    }
    bool queueSettled() {
        return waitFor([] {
            for (const auto& t : services::PaymentQueue::defaultQueue().transactions())
                if (t->transactionState() == services::PaymentTransactionState::Purchasing) return false;
            return true;
        });
    }
    // The request recorded by the service for a notice the kit logged (notices close on the clock).
    size_t noticesLogged(const std::string& key) const {
        const std::string text = "Velkora (W) - QUIZ IAP: " + foundation::Bundle::main().localizedString(key);
        size_t n = 0;
        for (const auto& line : capture_->lines())
            n += line.find(text) != std::string::npos;
        return n;
    }

    std::shared_ptr<VelkoraAppData> appData_;
    std::shared_ptr<ui::Window> host_;
    std::vector<foundation::Value> updates_seen_;
    foundation::NotificationObserver updates_;
};

} // namespace velkora::testing
