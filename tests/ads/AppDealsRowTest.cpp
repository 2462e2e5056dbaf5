// The sidebar's promoted-applications row: cards matched to deals by name, impressions per opening of
// the sidebar with the exchange's tracking calls, taps and stars.
#include "AdsFixture.h"
#include "ads/VelkoraPanelViewAppDealsCell.h"
#include "ads/VelkoraSuggestedAppDealsScrollView.h"
#include "shell/VelkoraLazyImageView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

VelkoraAppDealPtr deal(const std::string& name, int id = 0, float rating = 4, const std::string& tracking = {}) {
    auto d = std::make_shared<VelkoraAppDeal>();
    d->setName(name);
    d->setAppDealId(id);
    d->setRating(rating);
    d->setCategory(std::string("Games"));
    d->setDeveloper(std::string("Maker of ") + name);
    d->setUrl("https://apps.example/" + name);
    if (!tracking.empty()) d->setImpressionUrl(tracking);
    return d;
}

class AppDealsRowTest : public AdsTest {
protected:
    void SetUp() override {
        AdsTest::SetUp();
        row_ = VelkoraSuggestedAppDealsScrollView::create();
        row_->setFrame({0, 0, 250, 112});
    }
    std::vector<std::string> shownNames() const {
        std::vector<std::string> names;
        for (auto& card : row_->dealViews())
            if (!card->isHidden() && card->superview()) names.push_back(card->appDeal()->name().value_or(""));
        return names;
    }
    void openSidebar(double width) {
        foundation::NotificationCenter::defaultCenter().post(
            "VelkoraNotificationWasActivated", nullptr,
            foundation::Value(foundation::Dictionary{{"panelShowing", foundation::Value(true)},
                                                     {"panelWidth", foundation::Value(width)}}));
    }
    std::shared_ptr<VelkoraSuggestedAppDealsScrollView> row_;
};

TEST_F(AppDealsRowTest, CardsAreMatchedByNameReusedAndPacked) {
    double w = VelkoraSuggestedAppDealsScrollView::cardWidth();
    ASSERT_EQ(w, 100);
    row_->applyNewAppDeals({deal("A"), deal("B"), deal("C")});
    auto cards = row_->dealViews();
    row_->applyNewAppDeals({deal("A"), deal("C"), deal("D")});
    EXPECT_EQ(row_->dealViews(), cards); // no new card
    EXPECT_EQ(shownNames(), (std::vector<std::string>{"A", "D", "C"}));

    row_->clearAllAppDeals();
    row_->applyNewAppDeals({deal("A"), deal("B")});
    row_->applyNewAppDeals({deal("A"), deal("B"), deal("C")});
    ASSERT_EQ(row_->dealViews().size(), 3u);
    EXPECT_EQ(row_->dealViews()[2]->frame().origin.x, 2 * w);
    EXPECT_EQ(row_->contentSize().width, 3 * w);

    // A shorter list leaves no stale card shown, reported or tappable.
    row_->applyNewAppDeals({deal("A")});
    EXPECT_EQ(shownNames(), std::vector<std::string>{"A"});
    EXPECT_EQ(row_->contentSize().width, w);
    EXPECT_EQ(row_->dealViews()[0]->frame().origin.x, 0);
}

TEST_F(AppDealsRowTest, ImpressionsOncePerOpeningWithTrackingCalls) {
    data_->setAppDealsVendor(1);
    std::string tracking = svc.addPicture("track/row", "seen", "text/plain");
    row_->applyNewAppDeals({deal("Alpha", 0, 4, tracking), deal("Beta", 7), deal("Gamma", 8), deal("Delta", 9)});

    struct Case {
        const char* name;
        double offset, visible;
        std::vector<std::string> expected;
    } cases[] = {
        {"250 points at 0: cards 0, 1 and 2", 0, 250, {"VENDOR1_Alpha|1", "VENDOR1_7|1", "VENDOR1_8|1"}},
        {"a bounce below 0 counts as 0", -40, 250, {"VENDOR1_Alpha|1", "VENDOR1_7|1", "VENDOR1_8|1"}},
        {"past the end: the last card", 900, 250, {"VENDOR1_9|1"}},
    };
    size_t before = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        row_->setContentOffset({c.offset, 0});
        // The service takes a report identical to an earlier one, stamp included, as that one sent again.
        loop().advance(1);
        openSidebar(c.visible);
        auto sent = reports("adImpress", before + c.expected.size());
        std::vector<std::string> fresh(sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end());
        // Reports sent side by side may arrive in any order.
        auto expected = c.expected;
        std::sort(fresh.begin(), fresh.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(fresh, expected);
        before = sent.size();
        // Scrolling within one opening adds nothing.
        row_->sendEventForViewedDeals(c.visible);
        EXPECT_EQ(reports("adImpress").size(), before);
    }
    EXPECT_TRUE(waitFor([&] { return requestsTo("/pictures/track/row") == 2; }));

    // A failing tracking call logs its line.
    svc.addFault({"/pictures/track/row", service::Fault::Kind::HttpStatus, "", 500});
    row_->setContentOffset({0, 0});
    loop().advance(1);
    openSidebar(250);
    EXPECT_TRUE(waitFor([&] { return logged("Velkora - Failed sending impression to partners. Error: "); }));
}

TEST_F(AppDealsRowTest, TapReportsAndOpensAndStarsFollowTheRating) {
    data_->setAppDealsVendor(0);
    auto first = deal("Alpha", 5, 3.5f);
    row_->applyNewAppDeals({first});
    auto card = row_->dealViews().at(0);
    auto starNames = [&] {
        std::vector<std::string> names;
        for (auto& star : card->appRatingStars())
            for (const char* name :
                 {"VelImg_AppsDealStarFull.png", "VelImg_AppsDealStarHalf.png", "VelImg_AppsDealStarEmpty.png"})
                if (star->image() && star->image() == ui::Image::named(name)) names.push_back(name);
        return names;
    };
    EXPECT_EQ(starNames(), (std::vector<std::string>{"VelImg_AppsDealStarFull.png", "VelImg_AppsDealStarFull.png",
                                                     "VelImg_AppsDealStarFull.png", "VelImg_AppsDealStarHalf.png",
                                                     "VelImg_AppsDealStarEmpty.png"}));
    row_->applyNewAppDeals({deal("Alpha", 5, 2.0f)});
    EXPECT_EQ(starNames(), (std::vector<std::string>{"VelImg_AppsDealStarFull.png", "VelImg_AppsDealStarFull.png",
                                                     "VelImg_AppsDealStarEmpty.png", "VelImg_AppsDealStarEmpty.png",
                                                     "VelImg_AppsDealStarEmpty.png"}));
    card->dealTapped(nullptr);
    EXPECT_EQ(reports("adClick", 1), std::vector<std::string>{"VENDOR0_5|1"});
    EXPECT_EQ(ui::Application::instance().openedURLs(), std::vector<std::string>{"https://apps.example/Alpha"});
}

TEST_F(AppDealsRowTest, SidebarRowPicture) {
    threeDeals();
    auto cell = VelkoraPanelViewAppDealsCell::initFromNib();
    ASSERT_TRUE(cell);
    auto command = std::make_shared<VelkoraPanelCommand>();
    command->setTitle(std::string("More Apps"));
    command->setIcon(ui::Image::named("VelImg_AppsDealsIcon.png"));
    cell->updateData(command, true);
    auto& cards = cell->appDealsScrollView()->dealViews();
    ASSERT_EQ(cards.size(), 3u);
    for (auto& card : cards)
        ASSERT_TRUE(iconShown(*card->dealView()));
    window_ = ui::Window::createFullScreen();
    window_->setBackgroundColor(ui::Color::fromHex("#1E2126"));
    cell->setFrame({0, 40, 270, cell->frame().size.height});
    window_->addSubview(cell);
    window_->makeKeyAndVisible();
    window_->layoutIfNeeded();
    expectLooksLike("deals_row");
}

} // namespace
