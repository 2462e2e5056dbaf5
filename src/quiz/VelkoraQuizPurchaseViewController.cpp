#include "quiz/VelkoraQuizPurchaseViewController.h"

#include <algorithm>
#include <cstdio>

#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"
#include "platform/services/Product.h"
#include "platform/services/Store.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Value;

namespace {

constexpr const char* kSlotKeys[VelkoraQuizPurchaseViewController::kSlotCount] = {
    VelkoraQuizCoinKeys::kCoins100, VelkoraQuizCoinKeys::kCoins200, VelkoraQuizCoinKeys::kCoins500,
    VelkoraQuizCoinKeys::kCoins1000};

// The host's store id of a coin key; empty when the application data names none.
std::string storeIdOf(const std::string& key) {
    auto data = VelkoraAgentInternal::instance().appData();
    if (!data || !data->productIds()) return {};
    auto it = data->productIds()->find(key);
    return it == data->productIds()->end() ? std::string() : it->second;
}

double priceOf(const services::Product& product) {
    try {
        return std::stod(product.price());
    } catch (...) {
        return 0;
    }
}

bool transactionsName(const Value& list, const std::string& productId) {
    if (const auto* array = list.asArray())
        for (const Value& v : *array)
            if (auto t = v.asObject<services::PaymentTransaction>())
                if (t->payment() && t->payment()->productIdentifier() == productId) return true;
    return false;
}

} // namespace

VelkoraQuizPurchaseViewController::VelkoraQuizPurchaseViewController(std::string nibName, int32_t quizId,
                                                                     int32_t questionId)
    : VelkoraGeneralFeatureViewController(std::move(nibName)), quizId_(quizId), questionId_(questionId) {}

std::shared_ptr<VelkoraQuizPurchaseViewController> VelkoraQuizPurchaseViewController::create(int32_t quizId,
                                                                                             int32_t questionId) {
    quizhome::registerViewClasses();
    return std::shared_ptr<VelkoraQuizPurchaseViewController>(
        new VelkoraQuizPurchaseViewController(quizhome::interfaceName("VelkoraQuizPurchaseView"), quizId, questionId));
}

VelkoraQuizPurchaseViewController::~VelkoraQuizPurchaseViewController() = default;

void VelkoraQuizPurchaseViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::string n = std::to_string(slot + 1);
        b.outlet("product" + n + "View", productViews_[slot]);
        b.outlet("product" + n + "Button", productButtons_[slot]);
        b.outlet("product" + n + "TitleLabel", productTitleLabels_[slot]);
    }
    b.outlet("activityIndicator", activityIndicator_);
    b.action("purchaseOption1Clicked:", this, &VelkoraQuizPurchaseViewController::purchaseOption1Clicked);
    b.action("purchaseOption2Clicked:", this, &VelkoraQuizPurchaseViewController::purchaseOption2Clicked);
    b.action("purchaseOption3Clicked:", this, &VelkoraQuizPurchaseViewController::purchaseOption3Clicked);
    b.action("purchaseOption4Clicked:", this, &VelkoraQuizPurchaseViewController::purchaseOption4Clicked);
}

void VelkoraQuizPurchaseViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    button2productKey_.clear();
    if (updateAllProducts()) {
        dataObserver_ =
            foundation::NotificationObserver(kVelkoraNotificationQuizIAPDataGathered, nullptr,
                                             [this](const foundation::Notification& n) { productDetailsUpdated(n); });
        if (activityIndicator_) activityIndicator_->startAnimating();
    }
    for (const auto& button : productButtons_)
        VelkoraStyleSheetCustomizer::instance().customizeQuizStoreProductButton(button.get(), kScreenId);
    productObserver_ =
        foundation::NotificationObserver(kVelkoraNotificationQuizProductUpdated, nullptr,
                                         [this](const foundation::Notification& n) { quizProductUpdated(n); });
}

void VelkoraQuizPurchaseViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;quiz-store");
}

std::string VelkoraQuizPurchaseViewController::buttonKey(const ui::Button* button) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<const void*>(button));
    return text;
}

bool VelkoraQuizPurchaseViewController::updateView(ui::View* panel, ui::Button* button, ui::Label* label,
                                                   const std::string& productKey) {
    auto product = VelkoraQuizIAPServerManager::instance().productByKey(productKey);
    if (!product) {
        if (panel) panel->setHidden(true);
        return true;
    }
    if (panel) panel->setHidden(false);
    button2productKey_[buttonKey(button)] = productKey;
    if (button)
        button->setTitle(
            VelkoraUtils::displayNumberAsCurrency(priceOf(*product), product->priceLocale().localeIdentifier),
            ui::ControlStateNormal);
    if (label) label->setText(product->localizedTitle());
    return false;
}

bool VelkoraQuizPurchaseViewController::updateAllProducts() {
    bool none = true;
    for (int slot = 0; slot < kSlotCount; ++slot)
        none = updateView(productViews_[slot].get(), productButtons_[slot].get(), productTitleLabels_[slot].get(),
                          kSlotKeys[slot]) &&
               none;
    return none;
}

void VelkoraQuizPurchaseViewController::productDetailsUpdated(const foundation::Notification&) {
    if (updateAllProducts()) return; // still nothing to offer: keep waiting
    if (activityIndicator_) activityIndicator_->stopAnimating();
    dataObserver_.reset();
}

void VelkoraQuizPurchaseViewController::purchaseOption1Clicked(ui::Control*) {
    buyProductByButton(productButtons_[0].get());
}
void VelkoraQuizPurchaseViewController::purchaseOption2Clicked(ui::Control*) {
    buyProductByButton(productButtons_[1].get());
}
void VelkoraQuizPurchaseViewController::purchaseOption3Clicked(ui::Control*) {
    buyProductByButton(productButtons_[2].get());
}
void VelkoraQuizPurchaseViewController::purchaseOption4Clicked(ui::Control*) {
    buyProductByButton(productButtons_[3].get());
}

void VelkoraQuizPurchaseViewController::buyProductByButton(ui::Button* button) {
    auto it = button2productKey_.find(buttonKey(button));
    if (it == button2productKey_.end()) return;
    const std::string key = it->second;
    if (!VelkoraQuizIAPServerManager::instance().buyProductByKey(key, view().get(), quizId_, questionId_)) return;
    VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz;store-product-clicked;%@", key));
    purchaseInProgress_ = storeIdOf(key);
    if (velkoraContentView()) velkoraContentView()->setUserInteractionEnabled(false);
}

// Only the purchase this screen started closes it: a transaction left from an earlier run that settles
// while the store is open is the purchase layer's business. A list names the transactions it is about;
// an answer of the service names none, and this screen's purchase has settled once the queue holds no
// unfinished transaction of its product.
void VelkoraQuizPurchaseViewController::quizProductUpdated(const foundation::Notification& notification) {
    if (purchaseInProgress_.empty()) return;
    const Value& info = notification.userInfo;
    const bool failed = transactionsName(info["failedTransactions"], purchaseInProgress_);
    bool waiting = transactionsName(info["pendingTransactions"], purchaseInProgress_);
    if (!failed && !waiting) {
        if (info["failedTransactions"].asArray() || info["pendingTransactions"].asArray()) return;
        // The service may also have asked for the purchase again after the next poll: that one waits.
        const auto& later = VelkoraQuizIAPServerManager::instance().waitingTransactions();
        for (const auto& t : services::PaymentQueue::defaultQueue().transactions()) {
            const auto state = t->transactionState();
            if (!t->payment() || t->payment()->productIdentifier() != purchaseInProgress_ ||
                (state != services::PaymentTransactionState::Purchasing &&
                 state != services::PaymentTransactionState::Purchased))
                continue;
            if (std::find(later.begin(), later.end(), t) == later.end()) return; // still on its way
            waiting = true;
        }
    }
    purchaseInProgress_.clear();
    if (velkoraContentView()) velkoraContentView()->setUserInteractionEnabled(true);
    // A delivery that waits for the network is in the purchase layer's hands; the store stays usable.
    if (waiting) return;
    backTapped(nullptr);
}

} // namespace velkora
