// Promoted applications against velkora-service: a session for a new user of the test application, its
// banner and ad settings as the kit holds them, promotions added on the service and fetched the kit's
// way, and a host window to show over. Reports are read back on the service.
#pragma once

#include <algorithm>

#include "data/VelkoraAppDealsRepository.h"
#include "platform/ui/Label.h"
#include "profiles/ProfilesFixture.h"
#include "data/VelkoraAppData.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora::testing {

struct BannerSetup {
    int vendor = 0, location = 1;
    double interval = 60, change = 5, delay = 12;
};

class AdsTest : public ProfilesTest {
protected:
    void SetUp() override {
        ProfilesTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(startNewUser());
        VelkoraAgentInternal::instance().initUserInfo(kApp);
        data_ = std::make_shared<VelkoraAppData>();
        data_->setLeadingColor(0x3399FF);
        VelkoraAgentInternal::instance().setAppData(data_);
        VelkoraAppDealsRepository::instance().setAppDeals({});
    }
    void TearDown() override {
        VelkoraAppDealsRepository::instance().setAppDeals({});
        ProfilesTest::TearDown();
    }

    void useBanner(const BannerSetup& s) {
        data_->setAppBannerVendor(s.vendor);
        data_->setAppBannerLocation(s.location);
        data_->setAppBannerInterval(float(s.interval));
        data_->setAppBannerChangeInterval(float(s.change));
        data_->setAppBannerDelay(float(s.delay));
    }

    // A seeded picture of the service, as the deals' icons.
    std::string picture(const std::string& name) const { return svc.baseUrl() + "/pictures/deals/" + name + ".png"; }

    // Adds promotions to the test application and fetches them into the repository, as start-up does.
    std::vector<VelkoraAppDealPtr> fetchDeals(const std::vector<std::string>& jsons) {
        for (const auto& json : jsons)
            svc.addAppDeal(kApp, json);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppDeals(Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        std::vector<VelkoraAppDealPtr> deals;
        const auto* list = caller->answers.empty() ? nullptr : caller->answers[0].asArray();
        for (size_t i = 0; list && i < list->size(); ++i) {
            if (auto d = (*list)[i].asObject<VelkoraAppDeal>()) deals.push_back(d);
        }
        VelkoraAppDealsRepository::instance().setAppDeals(deals);
        return deals;
    }
    // Three promotions: the first two described, the third with category and developer only, 3.5 stars.
    std::vector<VelkoraAppDealPtr> threeDeals() {
        return fetchDeals({
            R"({"name":"Starboard Sailing","icon":")" + picture("starboard") +
                R"(","category":"Sports","developer":"Tidewater Games","url":"https://apps.example/starboard",
                "price":"Free","isFree":true,"rating":4.5,"description":"Race the tides around twelve islands."})",
            R"({"name":"Pixel Garden","icon":")" + picture("pixelgarden") +
                R"(","category":"Simulation","developer":"Small Plot Studio","url":"https://apps.example/pixel-garden",
                "price":"$0.99","isFree":false,"rating":4.0,"description":"Grow a tiny garden one pixel at a time."})",
            R"({"name":"Comet Courier","icon":")" + picture("cometcourier") +
                R"(","category":"Arcade","developer":"Orbit Lane","url":"https://apps.example/comet-courier",
                "price":"$1.99","isFree":false,"rating":3.5})",
        });
    }

    // The host's screen the banner shows over.
    void showHostWindow() {
        window_ = ui::Window::createFullScreen();
        window_->setBackgroundColor(ui::Color::fromHex("#E9ECF1"));
        auto title = std::make_shared<ui::Label>(ui::Rect{20, 240, 280, 40});
        title->setText("Host application");
        title->setTextAlignment(ui::TextAlignment::Center);
        window_->addSubview(title);
        window_->makeKeyAndVisible();
        window_->layoutIfNeeded();
    }

    // The reports of one event type the service received, waiting until `n` have arrived.
    std::vector<std::string> reports(const std::string& type, size_t n = 0) {
        auto of = [&] {
            std::vector<std::string> out;
            for (const auto& line : svc.events(kApp))
                if (line.rfind(type + "|", 0) == 0) out.push_back(line.substr(type.size() + 1));
            return out;
        };
        if (n > 0) {
            waitFor([&] { return of().size() >= n; });
        }
        settle();
        return of();
    }
    // Until the icon view shows the picture of its address: each deal shown puts the placeholder back first.
    bool iconShown(const VelkoraLazyImageView& view) {
        return waitFor([&] { return view.image() && view.image() != ui::Image::named("VelImg_AppsDealPreload.png"); });
    }
    size_t requestsTo(const std::string& path) const { return svc.requestsFor(path).size(); }

    // Compares the whole screen with the reference in tests/ads/data.
    void expectScreenLooksLike(const std::string& name) {
        auto picture = ui::Snapshot::imageOfScreen();
        ASSERT_TRUE(picture);
        const std::string reference = std::string(VELKORA_TEST_DATA_DIR) + "/" + name + ".png";
        if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
            ASSERT_TRUE(picture->writePng(reference));
        }
        auto expected = ui::Image::fromFile(reference);
        ASSERT_TRUE(expected) << "missing reference " << reference;
        EXPECT_TRUE(looksLike(*picture, *expected))
            << name << " differs in " << shareOfPixelsDiffering(*picture, *expected, 48) << " of its pixels";
    }

    std::shared_ptr<VelkoraAppData> data_;
};

} // namespace velkora::testing
