// The sidebar against velkora-service over loopback HTTPS: badges and banners from a message a seeded
// user writes, the header's photo as the service serves it, the account actions and their failures, and
// the promoted applications asked for after the sidebar closes.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "ads/VelkoraAdsScreens.h"
#include "ads/VelkoraPanelViewAppDealsCell.h"
#include "conversations/VelkoraChatScreens.h"
#include "session/VelkoraChatsRepository.h"
#include "shell/ShellServiceFixture.h"
#include "shell/VelkoraActivationView.h"
#include "shell/VelkoraChatPartnerScreen.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/VelkoraPanelViewCell.h"
#include "shell/VelkoraWidgetClasses.h"
#include "shell/WidgetSnapshot.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraHost.h"

namespace velkora::testing {
namespace {

class SidebarServiceTest : public SidebarFixture {
protected:
    void SetUp() override {
        SidebarFixture::SetUp();
        // The configuration the kit starts with; each test starts it, as a new user or as one it names.
        serve(rows());
        signin = std::make_unique<Recorder>(std::initializer_list<const char*>{
            "VelkoraUserSigninChanged", "VelkoraBadgeNumberChangedNotification", "VelkoraNotificationWasActivated"});
    }
    void TearDown() override {
        signin.reset();
        SidebarFixture::TearDown();
    }
    static std::vector<Row> rows() {
        return {{"feed", "Activity", false, "VelImg_feed"},
                {"inbox", "Messages", false, "VelImg_inbox"},
                {"apps", "More Apps", false, "VelImg_apps"}};
    }
    std::unique_ptr<Recorder> signin;
};

TEST_F(SidebarServiceTest, AMessageFromASeededUserSetsTheInboxBadgeAndShowsTheBanner) {
    serve(rows(), {{"actionOnIncomingMessage", 1}});
    install();
    // The inbox's list first; the message then comes with a poll.
    ASSERT_TRUE(waitFor([] { return VelkoraChatsRepository::instance().didFinishLoading(); }) && settle());
    auto button = VelkoraActivationView::create();
    service::UserFields dana;
    dana.firstName = "Dana";
    dana.lastName = "Whitfield";
    auto other = svc.createUser(kApp, dana);
    svc.sendMessage(kApp, other, myId(), "See you at eight?");
    VelkoraServerApi::updateNow();
    auto& inbox = *panel().commands()[1];
    ASSERT_TRUE(waitFor([&] { return inbox.badgeNumber() == 1; }));
    ASSERT_TRUE(settle());
    auto cell = std::dynamic_pointer_cast<VelkoraPanelViewCell>(
        panel().cellForRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(1, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->badgeLabel()->text(), "1");
    EXPECT_EQ(cell->badgeImage()->image(), ui::Image::named("VelImg_DashboardBadge2.png"));
    EXPECT_EQ(cell->badgeLabel()->textColor(), ui::Color::black());
    EXPECT_TRUE(cell->badgeLabel()->font()->isBold());
    auto inboxPosted = std::count_if(signin->seen.begin(), signin->seen.end(), [](auto& n) {
        return n.name == "VelkoraBadgeNumberChangedNotification" && n.userInfo["tabId"].int32Or(-1) == 1 &&
               n.userInfo["tabName"].textOr("") == "inbox";
    });
    EXPECT_GE(inboxPosted, 1);
    EXPECT_FALSE(button->badgeLeftView()->isHidden());
    EXPECT_EQ(button->badgeNumberLabel()->text(), "1");

    // The banner names the sender and the message.
    std::shared_ptr<VelkoraMessageNotificationView> banner;
    for (auto& w : ui::Application::instance().windows())
        for (auto& v : w->subviews())
            if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v)) banner = b;
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->nameLabel()->text(), "Dana W.");
    EXPECT_EQ(banner->messageLabel()->text(), "See you at eight?");

    // A poll that brings nothing leaves the badge alone.
    size_t posts = signin->count("VelkoraBadgeNumberChangedNotification");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 3));
    EXPECT_EQ(inbox.badgeNumber(), 1);
    EXPECT_EQ(signin->count("VelkoraBadgeNumberChangedNotification"), posts);
}

TEST_F(SidebarServiceTest, TheHeaderShowsThePhotoTheServiceServes) {
    auto bytes = ui::Image::named("VelImg_ContactsIcon")->pngData();
    auto url = svc.addPicture("dana.png", std::string(bytes.begin(), bytes.end()), "image/png");
    auto dana = named("Dana", "Whitfield", "Lisbon");
    dana.photoUrl = url;
    startAs(dana);
    install();
    ASSERT_TRUE(
        waitFor([&] { return panel().userImage()->image() != ui::Image::named("VelImg_UserThumbMediumNon.png"); }));
    EXPECT_GE(count("/pictures/dana.png"), 1u);
    sidebar->openPanel();
    loop().advance(1);
    expectMatchesReference(screenshot(), "header_named_photo");

    // An anonymous user gets the invitation with the two buttons.
    serve(rows(), {{"emailSignUpEnabled", true}});
    panel().updateWithVelkoraUser(user("anon", "", ""));
    loop().advance(1);
    expectMatchesReference(screenshot(), "header_anonymous_signup");
}

TEST_F(SidebarServiceTest, SigningOutOfTheEmailAccountAsksFirstAndStartsOverAsTheDevice) {
    start();
    record().setEmailId(std::string("dana@example.com"));
    record().setUserInfoSource(3);
    record().setFbId(44);
    std::string before = myId();
    install();
    sidebar->openPanel();
    loop().advance(1);

    // Cancel sends nothing.
    sidebar->emailSignoutClickedInView(panel().sharedView().get());
    ASSERT_TRUE(popup());
    popup()->cancelTapped(nullptr);
    EXPECT_FALSE(popup());
    EXPECT_FALSE(sidebar->activityIndicator() && sidebar->activityIndicator()->isAnimating());
    loop().advance(1);
    EXPECT_EQ(count("signOut"), 0u);

    sidebar->emailSignoutClickedInView(panel().sharedView().get());
    auto shown = popup();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->titleLabel()->text(), "Sign Out");
    EXPECT_EQ(shown->messageLable()->text(), "Do you want to sign out of Email?");
    expectMatchesReference(screenshot(), "signout_confirmation");
    shown->okTapped(nullptr);
    EXPECT_TRUE(sidebar->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return signin->count("VelkoraUserSigninChanged") == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("signOut"), 1u);
    auto* changed = signin->last("VelkoraUserSigninChanged");
    EXPECT_EQ(changed->userInfo["socialService"].textOr(""), "Email");
    EXPECT_EQ(changed->userInfo["loginState"].int32Or(-1), 0);
    EXPECT_FALSE(changed->userInfo.get("accountIdentifier"));
    EXPECT_EQ(changed->userInfo["userId"].textOr(""), *record().deviceId());
    // Back to the menu.
    loop().advance(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_DOUBLE_EQ(hostOffset(), 270);
    // Identities cleared, and saved: the record read back from its file says so.
    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initUserInfo(kApp);
    EXPECT_EQ(record().emailId().value_or(""), "");
    EXPECT_EQ(record().fbId(), 0);
    EXPECT_EQ(record().userInfoSource(), 0);
}

TEST_F(SidebarServiceTest, SigningOutOfFacebookWithAnEmailIdentityOnlyDisconnectsFacebook) {
    auto dana = named("Dana", "Whitfield");
    dana.facebookId = 44;
    startAs(dana);
    record().setEmailId(std::string("dana@example.com"));
    record().setFbId(44);
    record().setUserInfoSource(1);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    ASSERT_EQ(me->facebookId(), 44);
    std::string before = myId();
    install();
    sidebar->fbSignoutClickedInView(nullptr);
    ASSERT_TRUE(popup());
    popup()->okTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return signin->count("VelkoraUserSigninChanged") == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("signOut"), 0u);
    auto requests = svc.requestsFor("disconnectSocial");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(param(requests[0], "method"), "2");
    EXPECT_EQ(myId(), before);
    EXPECT_EQ(record().fbId(), 0);
    EXPECT_EQ(me->facebookId(), 0);
    auto* changed = signin->last("VelkoraUserSigninChanged");
    EXPECT_EQ(changed->userInfo["socialService"].textOr(""), "Facebook");
    EXPECT_EQ(changed->userInfo["loginState"].int32Or(-1), 0);
}

TEST_F(SidebarServiceTest, AFailedSignOutOnlyStopsTheSpinner) {
    install();
    for (auto kind : {service::Fault::Kind::ErrorCode, service::Fault::Kind::Drop}) {
        SCOPED_TRACE(int(kind));
        record().setEmailId(std::string("dana@example.com"));
        record().setUserInfoSource(3);
        std::string before = myId();
        service::Fault fault;
        fault.command = "signOut";
        fault.kind = kind;
        fault.value = "INTERNAL_ERROR";
        fault.times = -1;
        svc.addFault(fault);
        sidebar->emailSignoutClickedInView(panel().sharedView().get());
        ASSERT_TRUE(popup());
        popup()->okTapped(nullptr);
        // A dropped connection is tried again on the clock before the failure comes.
        auto stopped = [&] { return !sidebar->activityIndicator()->isAnimating(); };
        for (int i = 0; i < 40 && !stopped(); ++i) {
            loop().runUntil(stopped, 0.5);
            if (!stopped()) loop().advance(2);
        }
        ASSERT_TRUE(stopped());
        ASSERT_TRUE(settle());
        EXPECT_EQ(myId(), before);
        EXPECT_EQ(record().emailId().value_or(""), "dana@example.com");
        EXPECT_EQ(signin->count("VelkoraUserSigninChanged"), 0u);
        svc.clearFaults();
    }
}

TEST_F(SidebarServiceTest, ClosingTwiceWithinAMinuteAsksForThePromotedApplicationsOnce) {
    svc.addAppDeal(kApp, R"({"name":"Puzzle Port","appStoreId":"123"})");
    install();
    for (int i = 0; i < 2; ++i) {
        sidebar->openPanel();
        loop().advance(1);
        sidebar->closePanel();
        loop().advance(1);
        ASSERT_TRUE(waitFor([&] { return count("getApps") >= 1; }) && settle());
        loop().advance(10);
    }
    EXPECT_EQ(count("getApps"), 1u);
    loop().advance(60);
    sidebar->openPanel();
    loop().advance(1);
    sidebar->closePanel();
    loop().advance(1);
    ASSERT_TRUE(waitFor([&] { return count("getApps") >= 2; }) && settle());
}

TEST_F(SidebarServiceTest, ThePrivateModeSwitchIsSavedAtOnce) {
    install();
    sidebar->privateModeSwitchedValue(false);
    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initUserInfo(kApp);
    EXPECT_TRUE(record().isPrivateMode());
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(SidebarServiceTest, TheMenuFollowsTheFeatureListTheServiceSends) {
    // The kit asks for the configuration again as it does on the return from background.
    serve({{"inbox", "Mail", false, "VelImg_inbox"},
           {"login", "Login", false, "VelImg_login"},
           {"shop", "Store", true, "ShopIcon"},
           {"feed", "News", false, "VelImg_feed"}});
    install();
    EXPECT_EQ(rowIds(), (std::vector<std::string>{"inbox", "shop", "feed"}));
    EXPECT_EQ(panel().inboxCommandIdx(), 0);
    EXPECT_EQ(panel().feedCommandIdx(), 2);
    EXPECT_EQ(panel().commands()[1]->title(), "Store");
    EXPECT_TRUE(panel().commands()[1]->icon());
    EXPECT_TRUE(logged("Velkora - Unknown internal feature: login, Login"));
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

// The one-to-one chat on top of the sidebar's stack answers its partner: the partner's messages bring no
// banner, another user's do.
TEST_F(SidebarServiceTest, NoBannerFromThePartnerOfTheChatOnTop) {
    serve(rows(), {{"actionOnIncomingMessage", 1}});
    install();
    ASSERT_TRUE(waitFor([] { return VelkoraChatsRepository::instance().didFinishLoading(); }) && settle());
    registerChatScreens();
    std::string dana = svc.createUser(kApp, named("Dana", "Whitfield"));
    std::string ari = svc.createUser(kApp, named("Ari", "Kem"));
    auto chat = VelkoraScreenRegistry::instance().makeScreen("chat", foundation::Value(dana));
    ASSERT_TRUE(dynamic_cast<VelkoraChatPartnerScreen*>(chat.get()));
    sidebar->openFeatureScreenWithGestureAnimation(chat, false);
    loop().advance(1);
    ASSERT_TRUE(settle());
    ASSERT_EQ(nav->topViewController(), chat);

    Recorder arrived{"VelkoraNewMessagesNotification"};
    // A poll's announcement of a message from the sender.
    auto announced = [&](const std::string& sender) {
        for (auto& n : arrived.seen)
            if (const auto* users = n.userInfo["users"].asArray())
                for (auto& u : *users)
                    if (auto user = u.asObject<VelkoraUserInternal>(); user && user->userId() == sender) return true;
        return false;
    };
    auto banners = [] {
        std::vector<std::string> names;
        for (auto& w : ui::Application::instance().windows())
            for (auto& v : w->subviews())
                if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v))
                    names.push_back(b->nameLabel()->text());
        return names;
    };
    svc.sendMessage(kApp, dana, myId(), "Are you in the chat?");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return announced(dana); }) && settle());
    EXPECT_TRUE(banners().empty());

    svc.sendMessage(kApp, ari, myId(), "Lunch?");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return announced(ari); }) && settle());
    EXPECT_EQ(banners(), std::vector<std::string>{"Ari K."});
}

// With the ads in the build, the promoted applications the service gives after the sidebar closes take
// their one row, drawn by the ads' own cell at its own height.
TEST_F(SidebarServiceTest, ThePromotedApplicationsTakeTheirRowDrawnByTheAdsCell) {
    registerAdsScreens();
    svc.addAppDeal(kApp, R"({"name":"Puzzle Port","appStoreId":"123"})");
    svc.addAppDeal(kApp, R"({"name":"Tide Tables","appStoreId":"456"})");
    install();
    EXPECT_EQ(rowIds(), (std::vector<std::string>{"feed", "inbox"}));
    sidebar->openPanel();
    loop().advance(1);
    sidebar->closePanel();
    loop().advance(1);
    ASSERT_TRUE(waitFor([&] { return rowIds().size() == 3; }) && settle());
    EXPECT_EQ(rowIds(), (std::vector<std::string>{"feed", "inbox", "apps"}));
    auto& table = *panel().commandsTable();
    auto cell = std::dynamic_pointer_cast<VelkoraPanelViewAppDealsCell>(
        panel().cellForRowAtIndexPath(table, ui::IndexPath::of(2, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->theCommand(), panel().commands()[2]);
    EXPECT_GT(panel().heightForRowAtIndexPath(table, ui::IndexPath::of(2, 0)),
              panel().heightForRowAtIndexPath(table, ui::IndexPath::of(0, 0)));
    EXPECT_FALSE(panel().willSelectRowAtIndexPath(table, ui::IndexPath::of(2, 0)));
    EXPECT_FALSE(logged("appDealsRow is not part of this build"));
}

} // namespace
} // namespace velkora::testing
