#include "conversations/VelkoraStickerScreens.h"

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "conversations/VelkoraStickerStoreViewController.h"
#include "conversations/VelkoraStickersIAPHelper.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextView.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

namespace {

// Talk to us opened by the host or by name answers to the session object, which closes this very screen
// (not whichever feature it opened last) from the stack it is on.
class SessionTalkToUsDelegate : public VelkoraFeedbackTalkToUsViewControllerDelegate {
public:
    std::weak_ptr<ui::ViewController> screen;
    void dismissTalkToUs() override {
        if (auto s = screen.lock()) VelkoraAgentInternal::instance().closeFeatureScreen(s);
    }
};

} // namespace

void registerStickerViewClasses() {
    registerVelkoraWidgetClasses();
    VelkoraLazyImageView::registerClass();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("ScrollView")) loader.registerClass("ScrollView", [] { return ui::ScrollView::create(); });
    if (!loader.hasClass("TextView")) loader.registerClass("TextView", [] { return ui::TextView::create(); });
    if (!loader.hasClass("CollectionView"))
        loader.registerClass("CollectionView", [] { return ui::CollectionView::create(); });
    if (!loader.hasClass("VelkoraFeedbackViewCell"))
        loader.registerClass("VelkoraFeedbackViewCell", [] { return std::make_shared<VelkoraFeedbackViewCell>(); });
    if (!loader.hasClass("VelkoraStickerStoreCell"))
        loader.registerClass("VelkoraStickerStoreCell", [] { return std::make_shared<VelkoraStickerStoreCell>(); });
}

void registerStickerScreens() {
    registerStickerViewClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("stickerStore", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraStickerStoreViewController::create();
    });
    registry.registerScreen("feedback", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraFeedbackViewController::create();
    });
    registry.registerScreen("talkToUs", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        auto delegate = std::make_shared<SessionTalkToUsDelegate>();
        auto screen = VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(delegate);
        delegate->screen = screen;
        screen->keepDelegate(delegate);
        return screen;
    });
    registry.addUserDataDuty("stickerPurchases", [] { VelkoraStickersIAPServerManager::startWithUserData(); });
}

} // namespace velkora
