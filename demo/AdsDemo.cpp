// Promoted applications over the host's screen: the banner at the top and at the bottom, the ad
// network's full-screen interstitial, the sidebar's row of deal cards and a native ad as a chat-room row.
#include <memory>
#include <string>

#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "ads/VelkoraAppBannerView.h"
#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"
#include "ads/VelkoraNativeAdsController.h"
#include "ads/VelkoraPanelViewAppDealsCell.h"
#include "data/VelkoraAppDealsRepository.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "shell/VelkoraLazyImageView.h"

namespace {

using namespace velkora;

std::shared_ptr<ui::Window> hostWindow() {
    auto window = ui::Window::createFullScreen();
    window->setBackgroundColor(ui::Color::fromHex("#E9ECF1"));
    auto title = std::make_shared<ui::Label>(ui::Rect{20, 240, 280, 40});
    title->setText("Host application");
    title->setTextAlignment(ui::TextAlignment::Center);
    window->addSubview(title);
    window->makeKeyAndVisible();
    return window;
}

bool waitForIcon(demo::Demo& demo, const std::shared_ptr<VelkoraLazyImageView>& icon) {
    // Each deal shown puts the placeholder back before its own picture arrives.
    auto placeholder = ui::Image::named("VelImg_AppsDealPreload.png");
    return icon && demo.loop().runUntil([&] { return icon->image() && icon->image() != placeholder; }, 20);
}

} // namespace

VELKORA_DEMO_STEP(promotedApplications, 930, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto data = VelkoraAgentInternal::instance().appData();
    if (!data) {
        data = std::make_shared<VelkoraAppData>();
        VelkoraAgentInternal::instance().setAppData(data);
    }
    bool answered = false;
    auto waiter = std::make_shared<int>(0);
    VelkoraServerApi::getAppDeals(VelkoraCallback::make(waiter, [&](const foundation::Value& answer) {
        std::vector<VelkoraAppDealPtr> deals;
        if (auto* list = answer.asArray())
            for (const auto& v : *list)
                if (auto d = v.asObject<VelkoraAppDeal>()) deals.push_back(d);
        VelkoraAppDealsRepository::instance().setAppDeals(deals);
        answered = true;
    }));
    auto& loop = demo.loop();
    loop.runUntil([&] { return answered; }, 20);
    if (VelkoraAppDealsRepository::instance().appDeals().empty()) {
        demo.say("no promoted applications came from the service");
        return false;
    }
    bool shown = true;
    auto window = hostWindow();
    data->setAppBannerVendor(0);
    data->setAppBannerDelay(0);
    data->setAppBannerChangeInterval(0);
    for (int location : {1, 2}) {
        data->setAppBannerLocation(location);
        auto banner = VelkoraAppBannerView::initFromNib();
        if (!banner) return false;
        banner->showNow();
        loop.advance(0.3);
        shown &= waitForIcon(demo, banner->appImageView());
        demo.say(location == 1 ? "A promoted application's banner at the top"
                               : "A banner at the bottom, with category and developer");
        shown &= demo.writeScreenPng(location == 1 ? "ads_banner_top" : "ads_banner_bottom");
        banner->closeBannerTapped(nullptr);
    }

    demo.say("The ad network's interstitial over the whole screen");
    data->setAppBannerVendor(2);
    data->setAppBannerLocation(4);
    data->setAppBannerDelay(8);
    if (auto full = VelkoraAppBannerView::initFromNib()) {
        full->showNow();
        shown &= loop.runUntil([&] { return full->alertWindow() != nullptr; }, 20);
        loop.advance(0.1);
        shown &= demo.writeScreenPng("ads_interstitial");
        full->closeBannerTapped(nullptr);
    }
    data->setAppBannerVendor(0);
    data->setAppBannerLocation(0);

    demo.say("The sidebar's row of promoted applications");
    if (auto cell = VelkoraPanelViewAppDealsCell::initFromNib()) {
        auto command = std::make_shared<VelkoraPanelCommand>();
        command->setTitle(std::string("More Apps"));
        command->setIcon(ui::Image::named("VelImg_AppsDealsIcon.png"));
        cell->updateData(command, true);
        for (auto& card : cell->appDealsScrollView()->dealViews())
            shown &= waitForIcon(demo, card->dealView());
        // The row as the sidebar's menu shows it: the menu's width and colour, a margin above and below.
        const double height = cell->frame().size.height;
        auto panel = ui::View::create({0, 0, 270, height + 24});
        panel->setBackgroundColor(ui::Color::fromHex("#1E2126"));
        cell->setFrame({0, 12, 270, height});
        panel->addSubview(cell);
        panel->layoutIfNeeded();
        shown &= demo.writePng(*panel, "ads_deals_row");
    }

    demo.say("A native ad built from the network's banner and the store lookup, as a chat-room row");
    VelkoraAgentInternal::instance().appData()->setNAdsPerPeriod(3);
    VelkoraAgentInternal::instance().appData()->setAdsPeriodSecs(600);
    VelkoraNativeAdPtr ad;
    VelkoraNativeAdsController::instance().pullNativeAd([&](const VelkoraNativeAdPtr& a) { ad = a; });
    loop.runUntil([&] { return ad != nullptr; }, 20);
    auto cell = ad ? VelkoraChatRoomsTopicNativeAppAdCell::initFromNib() : nullptr;
    if (!cell) {
        demo.say("no native ad arrived");
        return false;
    }
    cell->updateData(ad, 1);
    shown &= waitForIcon(demo, cell->appIconImageView());
    auto room = ui::Window::createFullScreen();
    room->setBackgroundColor(ui::Color::fromHex("#1E2126"));
    cell->setFrame({0, 60, 320, cell->getHeight()});
    room->addSubview(cell);
    room->makeKeyAndVisible();
    shown &= demo.writePng(*room, "ads_native_row");
    window->setHidden(true);
    return shown;
}
