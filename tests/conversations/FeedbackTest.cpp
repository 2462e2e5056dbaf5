// The feedback menu and talk to us against velkora-service and the social stand-ins: which rows the served
// configuration shows, their heights, connecting by the row's network, rating and sharing; the message
// that reaches the owner's inbox with its kind and stars, the popups after it, and a send that fails.
#include "account/AccountFixture.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/TextView.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraLazyImageView.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

constexpr const char* kRateUrl = "https://apps.example/velkora-test/id284417350";
constexpr const char* kReviewPage = "https://store.example:9443/app/id284417350?action=write-review";

struct Closer : VelkoraFeedbackTalkToUsViewControllerDelegate {
    int closed = 0;
    void dismissTalkToUs() override { ++closed; }
};

struct PopoverContainer : RecordingContainer {
    bool isUsingPopover() override { return true; }
};

std::string feedbackConfiguration(bool rateUs, bool facebook, bool twitter) {
    auto flag = [](bool b) { return b ? "true" : "false"; };
    return std::string(
               R"({"appName":"Velkora Test","leadingColor":3381759,"enableTwitter":true,"enableFacebook":true,)") +
           R"("rateUrl":")" + kRateUrl + R"(","enableRateUs":)" + flag(rateUs) + R"(,"enableShareFacebook":)" +
           flag(facebook) + R"(,"enableShareTwitter":)" + flag(twitter) +
           R"(,"facebookInviteTitle":"Join me","facebookInviteLink":"https://demo.velkora.example/join",)"
           R"("facebookInviteDescription":"Play with me"})";
}

template <class T> void collect(ui::View& view, std::vector<std::shared_ptr<T>>& out) {
    for (const auto& sub : view.subviews()) {
        if (auto t = std::dynamic_pointer_cast<T>(sub)) out.push_back(t);
        collect(*sub, out);
    }
}
// Every view of a kind in every window, popups inside a screen's view included.
template <class T> std::vector<std::shared_ptr<T>> shownEverywhere() {
    std::vector<std::shared_ptr<T>> out;
    for (const auto& w : ui::Application::instance().windows())
        collect(*w, out);
    return out;
}

class FeedbackTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::Store, "https://store.example:9443");
    }
    void startWith(bool rateUs, bool facebook, bool twitter) {
        start(feedbackConfiguration(rateUs, facebook, twitter));
        loadMyData();
    }
    std::shared_ptr<VelkoraFeedbackViewController> openMenu() {
        auto menu = open<VelkoraFeedbackViewController>("feedback");
        if (menu) host->layoutIfNeeded();
        EXPECT_TRUE(menu && menu->optionsTable()) << "the interface file did not load";
        return menu && menu->optionsTable() ? menu : nullptr;
    }
    std::shared_ptr<VelkoraFeedbackViewCell> row(VelkoraFeedbackViewController& menu, int i) {
        host->layoutIfNeeded();
        return std::dynamic_pointer_cast<VelkoraFeedbackViewCell>(
            menu.optionsTable()->cellForRowAtIndexPath(ui::IndexPath::of(i, 0)));
    }
    std::shared_ptr<VelkoraFeedbackTalkToUsViewController> openTalkToUs() {
        auto screen = open<VelkoraFeedbackTalkToUsViewController>("talkToUs");
        EXPECT_TRUE(screen && screen->feedbackText()) << "the interface file did not load";
        return screen && screen->feedbackText() ? screen : nullptr;
    }
    static void type(VelkoraFeedbackTalkToUsViewController& screen, const std::string& text) {
        ASSERT_TRUE(screen.feedbackText()->becomeFirstResponder());
        ASSERT_TRUE(screen.feedbackText()->insertText(text));
    }
    static std::shared_ptr<VelkoraDefaultOKPopupView> onlyPopup() {
        auto shown = shownEverywhere<VelkoraDefaultOKPopupView>();
        EXPECT_EQ(shown.size(), 1u);
        return shown.size() == 1 ? shown[0] : nullptr;
    }
    static bool toastShowing() { return !shownEverywhere<VelkoraDefaultNotificationPopupView>().empty(); }
    static bool eventLogged(const std::string& prefix) {
        for (const auto& e : VelkoraLogEventsManager::instance().takeLoggedEvents())
            if (e.rfind(prefix, 0) == 0) return true;
        return false;
    }
    std::vector<service::Service::ReceivedMessage> inbox() const { return svc.messagesTo(kApp, "_OWNER"); }
};

} // namespace

TEST_F(FeedbackTest, TheMenuShowsTheRowsTheConfigurationAsksForEachAsTallAsItsFile) {
    struct Case {
        bool rateUs, facebook, twitter;
        std::vector<int32_t> rows;
    } cases[] = {
        {false, false, false, {1}},     {true, false, false, {1, 2}},     {false, true, false, {1, 3}},
        {false, false, true, {1, 4}},   {true, true, false, {1, 2, 3}},   {true, false, true, {1, 2, 4}},
        {false, true, true, {1, 3, 4}}, {true, true, true, {1, 2, 3, 4}},
    };
    start(feedbackConfiguration(true, true, true));
    loadMyData();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rateUs << c.facebook << c.twitter);
        serveConfiguration(feedbackConfiguration(c.rateUs, c.facebook, c.twitter));
        auto menu = openMenu();
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu->supportedFeedbackTypes(), c.rows);
        EXPECT_EQ(menu->optionsTable()->numberOfRowsInSection(0), static_cast<int>(c.rows.size()));
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const ui::Rect r = menu->optionsTable()->rectForRowAtIndexPath(ui::IndexPath::of(static_cast<int>(i), 0));
            EXPECT_EQ(r.height(), 76) << "row " << i;
            EXPECT_EQ(r.y(), 76.0 * static_cast<double>(i)) << "rows follow each other without overlapping";
            EXPECT_EQ(row(*menu, static_cast<int>(i))->feedbackType(), c.rows[i]);
        }
    }
    auto menu = openMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(row(*menu, 0)->title()->text(), "Talk to Us");
    EXPECT_FALSE(row(*menu, 2)->fbConnectButton()->isHidden());
    EXPECT_FALSE(row(*menu, 3)->twitterConnectButton()->isHidden());
    EXPECT_TRUE(row(*menu, 1)->fbConnectButton()->isHidden());
    // Each title and description ends before the row's connect button, or before the arrow where no button
    // shows, and every title shows whole there, at most a quarter smaller than its font.
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        auto cell = row(*menu, i);
        cell->layoutIfNeeded();
        const ui::Button* button =
            !cell->fbConnectButton()->isHidden() ? cell->fbConnectButton().get() : cell->twitterConnectButton().get();
        const bool buttonShown = !button->isHidden();
        EXPECT_EQ(buttonShown, i >= 2);
        const double limit = buttonShown ? button->frame().minX() : cell->bounds().width() - 22;
        for (const ui::Label* label : {cell->title().get(), cell->description().get()}) {
            EXPECT_LE(label->frame().maxX(), limit);
            EXPECT_GE(label->frame().maxX(), limit - 10) << "the text takes the room there is";
        }
        const ui::Label& title = *cell->title();
        EXPECT_EQ(title.numberOfLines(), 1);
        const ui::Font smallest = title.font()->withSize(title.font()->pointSize() * title.minimumScaleFactor());
        EXPECT_TRUE(title.adjustsFontSizeToFitWidth());
        EXPECT_LE(ui::measureText(title.text(), smallest, 0, 1).width, title.frame().width()) << title.text();
    }
    drain();
    snapshot("feedback_menu");
}

TEST_F(FeedbackTest, ConnectGoesByTheRowsNetworkAndASharePostsThroughTheFeedDialog) {
    startWith(true, true, true);
    std::vector<std::string> connected;
    foundation::NotificationObserver fbObserver("VelkoraFacebookConnectedNotification", nullptr,
                                                [&](const foundation::Notification&) { connected.push_back("fb"); });
    foundation::NotificationObserver twObserver("VelkoraTwitterConnectedNotification", nullptr,
                                                [&](const foundation::Notification&) { connected.push_back("tw"); });
    auto menu = openMenu();
    ASSERT_TRUE(menu);
    // The Facebook row not yet connected: its tap does nothing.
    menu->didSelectRowAtIndexPath(*menu->optionsTable(), ui::IndexPath::of(2, 0));
    EXPECT_FALSE(services::facebook::FeedDialogViewController::current());

    // A log-in the person declines brings no details: nothing is connected on the service.
    row(*menu, 2)->fbConnectButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, false);
    drain();
    EXPECT_EQ(count("signUp") + count("connectSocial") + count("login"), 0u);
    EXPECT_TRUE(connected.empty());
    EXPECT_FALSE(row(*menu, 2)->fbConnectButton()->isHidden());

    // A row title that names no network still connects the row's own network.
    auto facebookRow = row(*menu, 2);
    facebookRow->title()->setText("Partager");
    facebookRow->fbConnectButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    ASSERT_TRUE(waitAdvancing([&] { return !connected.empty(); }));
    drain();
    EXPECT_EQ(std::to_string(info().fbId()), kDanaOnFacebook);
    EXPECT_TRUE(row(*menu, 2)->fbConnectButton()->isHidden()) << "the table was reloaded";

    // Connected: the same row posts the invitation through the feed dialog. The poll waits, so the event
    // it would carry away stays to be read.
    VelkoraServerApi::pause();
    menu->didSelectRowAtIndexPath(*menu->optionsTable(), ui::IndexPath::of(2, 0));
    auto dialog = services::facebook::FeedDialogViewController::current();
    ASSERT_TRUE(dialog);
    dialog->tapAction();
    ASSERT_TRUE(waitFor([&] { return !svc.selectRows("SELECT id FROM graph_posts").empty(); }));
    drain();
    EXPECT_TRUE(eventLogged("feedback-shared;facebook;"));

    // Twitter by its row, whatever the title reads.
    auto twitterRow = row(*menu, 3);
    twitterRow->title()->setText("Gazouiller");
    twitterRow->twitterConnectButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitAdvancing([&] { return connected.size() == 2; }));
    drain();
    EXPECT_EQ(connected, (std::vector<std::string>{"fb", "tw"}));
    EXPECT_TRUE(row(*menu, 3)->twitterConnectButton()->isHidden());
    EXPECT_EQ(info().twitterAccountIdentifier(), kDanaTwitter.identifier);
}

TEST_F(FeedbackTest, RateUsOpensTheReviewPageOfTheServedAddress) {
    startWith(true, false, false);
    auto menu = openMenu();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->supportedFeedbackTypes(), (std::vector<int32_t>{1, 2}));
    VelkoraServerApi::pause(); // the event stays here instead of riding on a poll
    menu->didSelectRowAtIndexPath(*menu->optionsTable(), ui::IndexPath::of(1, 0));
    EXPECT_EQ(ui::Application::instance().openedURLs(), std::vector<std::string>{kReviewPage});
    EXPECT_EQ(menu->lastFeedbackType(), 2);
    EXPECT_TRUE(eventLogged("feature-viewed;rateus;"));
}

TEST_F(FeedbackTest, TalkToUsFromTheMenuIsModalAndClosesThroughTheMenu) {
    startWith(false, false, false);
    for (bool popover : {false, true}) {
        SCOPED_TRACE(popover ? "in a popover" : "full screen");
        if (popover) container = std::make_shared<PopoverContainer>();
        auto menu = openMenu();
        ASSERT_TRUE(menu);
        menu->didSelectRowAtIndexPath(*menu->optionsTable(), ui::IndexPath::of(0, 0));
        loop().advance(1);
        // A screen in a navigation stack presents from the stack.
        auto talk = std::dynamic_pointer_cast<VelkoraFeedbackTalkToUsViewController>(nav->presentedViewController());
        ASSERT_TRUE(talk);
        ASSERT_TRUE(talk->feedbackText()) << "the interface file did not load";
        EXPECT_EQ(talk->modalPresentationStyle(),
                  popover ? ui::ModalPresentationStyle::CurrentContext : ui::ModalPresentationStyle::FullScreen);
        EXPECT_EQ(talk->isModalInPopover(), popover);
        talk->updateNumStars(4);
        type(*talk, "Nice menu");
        talk->sendTapped(nullptr);
        ASSERT_TRUE(waitFor([&] { return !talk->isSending(); }));
        drain();
        auto popup = onlyPopup();
        ASSERT_TRUE(popup);
        popup->okTapped(nullptr);
        loop().advance(1);
        EXPECT_FALSE(nav->presentedViewController()) << "the menu took it away";
    }
    EXPECT_EQ(inbox().size(), 2u);
}

TEST_F(FeedbackTest, ABugReportReachesTheOwnersInboxWithItsKindAndStars) {
    startWith(true, false, false);
    auto screen = openTalkToUs();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->requestMode(), 4);
    EXPECT_EQ(screen->stars(), 5);
    EXPECT_EQ(screen->userVersions()->text(), "iOS " + ui::Device::current().systemVersion());

    // The untouched placeholder is never sent.
    screen->sendTapped(nullptr);
    EXPECT_FALSE(screen->isSending());
    EXPECT_EQ(count("sendMessage"), 0u);

    screen->bugModeTapped(nullptr);
    EXPECT_EQ(screen->feedbackText()->text(), "What went wrong? What did you do just before?")
        << "the mode's placeholder";
    EXPECT_TRUE(screen->rateUsView()->isHidden());
    screen->updateNumStars(3);
    const std::string text = "&=?%#+\nit crashed \xF0\x9F\x98\xAC";
    type(*screen, text);
    // Put away and begun again: what was typed stays.
    screen->feedbackText()->resignFirstResponder();
    screen->requestModeTapped(nullptr);
    screen->bugModeTapped(nullptr);
    ASSERT_TRUE(screen->feedbackText()->becomeFirstResponder());
    EXPECT_EQ(screen->userText(), text);
    // The title and the application's name keep clear of the Cancel button beside them.
    for (const auto& label : {screen->titleLabel(), screen->appNameLabel()})
        EXPECT_GE(label->frame().minX(), screen->cancelFeedbackButton()->frame().maxX() + 8);
    drain();
    snapshot("talk_to_us");

    screen->sendTapped(nullptr);
    EXPECT_TRUE(screen->isSending());
    EXPECT_TRUE(screen->cancelFeedbackButton()->isEnabled()) << "Cancel stays usable while it sends";
    ASSERT_TRUE(waitFor([&] { return !screen->isSending(); }));
    drain();
    auto got = inbox();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, text);
    EXPECT_EQ(got[0].type, 2);
    EXPECT_EQ(got[0].rating, 3);
    EXPECT_EQ(got[0].sender, *VelkoraServerClientAgent::instance().userId());
    auto popup = onlyPopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->titleLabel()->text(), "Thank You!");
    EXPECT_EQ(popup->messageLable()->text(), "Your message was sent. We read every one of them.");
}

TEST_F(FeedbackTest, FiveStarFeedbackOffersRatingAndFourStarsOnlyThanks) {
    startWith(true, false, false);
    struct Case {
        int stars;
        bool rateUs;
    } cases[] = {{5, true}, {4, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stars);
        auto closer = std::make_shared<Closer>();
        auto screen = VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(closer);
        show(screen);
        ASSERT_TRUE(screen->feedbackText());
        screen->updateNumStars(c.stars);
        type(*screen, "Lovely app");
        screen->sendTapped(nullptr);
        ASSERT_TRUE(waitFor([&] { return !screen->isSending(); }));
        drain();
        auto popup = onlyPopup();
        ASSERT_TRUE(popup);
        EXPECT_EQ(screen->popupOKIsRateUs(), c.rateUs);
        EXPECT_EQ(popup->messageLable()->text(), c.rateUs ? "Five stars, thank you! Would you rate us in the store too?"
                                                          : "Your message was sent. We read every one of them.");
        if (c.rateUs) snapshot("talk_to_us_rate_popup");
        const size_t opened = ui::Application::instance().openedURLs().size();
        popup->okTapped(nullptr);
        loop().advance(1);
        EXPECT_EQ(closer->closed, 1);
        const auto& urls = ui::Application::instance().openedURLs();
        ASSERT_EQ(urls.size(), opened + (c.rateUs ? 1 : 0));
        if (c.rateUs) {
            EXPECT_EQ(urls.back(), kReviewPage);
        }
    }
    auto got = inbox();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, 4);
    EXPECT_EQ(got[0].rating + got[1].rating, 9);
}

TEST_F(FeedbackTest, AFailedSendGivesTheScreenBackWithItsText) {
    startWith(false, false, false);
    struct Case {
        const char* name;
        Fault fault;
    } cases[] = {
        {"dropped", {"sendMessage", Fault::Kind::Drop, "", 500, 0, 6}},
        {"refused", {"sendMessage", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1}},
    };
    auto screen = openTalkToUs();
    ASSERT_TRUE(screen);
    type(*screen, "Please add dark mode");
    screen->requestModeTapped(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        svc.addFault(c.fault);
        loop().advance(5); // an earlier toast closes
        screen->sendTapped(nullptr);
        ASSERT_TRUE(screen->isSending());
        ASSERT_TRUE(waitAdvancing([&] { return !screen->isSending(); }));
        drain();
        EXPECT_TRUE(toastShowing());
        EXPECT_TRUE(screen->sendFeedbackButton()->isEnabled());
        EXPECT_EQ(screen->userText(), "Please add dark mode");
        EXPECT_TRUE(inbox().empty());
        EXPECT_TRUE(shownEverywhere<VelkoraDefaultOKPopupView>().empty());
    }
    svc.clearFaults();
    screen->sendTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return !screen->isSending(); }));
    drain();
    ASSERT_EQ(inbox().size(), 1u);
    EXPECT_EQ(inbox()[0].type, 1);
}

TEST_F(FeedbackTest, CancelWithTextAsksAndWithoutTextLeaves) {
    startWith(false, false, false);
    auto closer = std::make_shared<Closer>();
    auto screen = VelkoraFeedbackTalkToUsViewController::initFromNibWithDelegate(closer);
    show(screen);
    ASSERT_TRUE(screen->feedbackText());
    type(*screen, "Half a thought");
    screen->cancelTapped(nullptr);
    auto ask = onlyPopup();
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->titleLabel()->text(), "Discard Message?");
    EXPECT_TRUE(screen->popupIsConfirmCancel());
    ask->cancelTapped(nullptr);
    loop().advance(1);
    EXPECT_EQ(closer->closed, 0) << "back to writing";
    EXPECT_EQ(screen->userText(), "Half a thought");
    screen->cancelTapped(nullptr);
    ask = onlyPopup();
    ASSERT_TRUE(ask);
    ask->okTapped(nullptr);
    loop().advance(1);
    EXPECT_EQ(closer->closed, 1);
}

TEST_F(FeedbackTest, TalkToUsOnATablet) {
    startWith(false, false, false);
    useTablet();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    ASSERT_TRUE(me);
    me->setFirstName(std::string("Dana"));
    me->setLastName(std::string("Whitfield"));
    auto screen = openTalkToUs();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->userDetailsView()->isHidden());
    EXPECT_EQ(screen->userName()->text(), "Dana Whitfield");
    EXPECT_TRUE(screen->userPhoto()->image()) << "a user without a photo shows a silhouette, not an empty tile";
    screen->updateNumStars(4);
    drain();
    snapshot("talk_to_us_tablet");
}
