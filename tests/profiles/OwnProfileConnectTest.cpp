// The own profile connecting through the session's connectors against the service and the social stand-ins
// (Dana's Facebook user and Twitter account on the device): each network announced once while the screen
// lives, Twitter missing from the device explained, and the bio editor presented from the block.
#include "account/AccountFixture.h"
#include "people/VelkoraEditAboutViewController.h"
#include "people/VelkoraPanelProfileView.h"
#include "people/VelkoraUserProfileViewController.h"
#include "platform/ui/TextView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class OwnProfileConnectTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        signinObserver_ = foundation::NotificationObserver(
            "VelkoraUserSigninChanged", nullptr, [this](const foundation::Notification& n) {
                announced_.push_back(n.userInfo["socialService"].textOr("") + ":" +
                                     std::to_string(n.userInfo["loginState"].int64Or(-1)));
            });
    }
    void TearDown() override {
        signinObserver_ = {};
        AccountTest::TearDown();
    }
    std::shared_ptr<VelkoraUserProfileViewController> openProfile() {
        auto screen = open<VelkoraUserProfileViewController>("myprofile");
        if (screen) host->layoutIfNeeded();
        EXPECT_TRUE(screen && screen->nameLabel()) << "the interface file did not load";
        return screen && screen->nameLabel() ? screen : nullptr;
    }
    std::vector<std::string> announced_;
    foundation::NotificationObserver signinObserver_;
};

TEST_F(OwnProfileConnectTest, EachNetworkConnectedIsAnnouncedOnceWhileTheScreenLives) {
    start(configurationJson(false, svc.baseUrl()));
    loadMyData();
    auto screen = openProfile();
    ASSERT_TRUE(screen);
    ASSERT_FALSE(screen->anonymousView()->isHidden());

    // Facebook from the invitation: the device's user approves.
    tap(screen->facebookConnectButton());
    EXPECT_TRUE(screen->isSpinning());
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    ASSERT_TRUE(waitAdvancing([&] { return !announced_.empty() && !screen->isSpinning(); }));
    drain();
    EXPECT_EQ(announced_, std::vector<std::string>{"Facebook:1"});
    EXPECT_EQ(std::to_string(info().fbId()), kDanaOnFacebook);

    // Twitter from the block, which the signed-in user now sees.
    host->layoutIfNeeded();
    ASSERT_TRUE(screen->profileView());
    ASSERT_FALSE(screen->profileView()->twConnectButton()->isHidden());
    tap(screen->profileView()->twConnectButton());
    ASSERT_TRUE(waitAdvancing([&] { return announced_.size() == 2 && !screen->isSpinning(); }));
    drain();
    EXPECT_EQ(announced_, (std::vector<std::string>{"Facebook:1", "Twitter:1"}));
    EXPECT_EQ(info().twitterAccountIdentifier(), kDanaTwitter.identifier);

    // Connected again while the screen lives: redrawn, not announced.
    foundation::NotificationCenter::defaultCenter().post("VelkoraFacebookConnectedNotification");
    foundation::NotificationCenter::defaultCenter().post("VelkoraTwitterConnectedNotification");
    EXPECT_EQ(announced_.size(), 2u);
    EXPECT_TRUE(shownMessages().empty());
}

TEST_F(OwnProfileConnectTest, TwitterMissingFromTheDeviceIsExplainedInsteadOfConnecting) {
    services::Device::instance().update([](services::DeviceProfile& p) { p.twitterAccounts.clear(); });
    start(configurationJson(false, svc.baseUrl()));
    loadMyData();
    auto screen = openProfile();
    ASSERT_TRUE(screen);
    svc.clearRequests();
    tap(screen->twitterConnectButton());
    drain();
    EXPECT_EQ(shownMessages(), std::vector<std::string>{"Connect with Twitter / We could not connect to Twitter. "
                                                        "Check the Twitter account in the device's settings, then "
                                                        "try again."});
    EXPECT_FALSE(screen->isSpinning());
    EXPECT_TRUE(announced_.empty());
    EXPECT_EQ(svc.requests().size(), 0u);
}

// The host pushed the profile over a screen of its own: closing the bio editor takes the editor away and
// nothing else, the host's stack stays as it was.
TEST_F(OwnProfileConnectTest, TheBioEditorIsPresentedFromTheBlockAndItsCloseLeavesTheStackAsItWas) {
    start(configurationJson(false, svc.baseUrl()));
    loadMyData();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    ASSERT_TRUE(me);
    me->setFirstName(std::string("Vera"));
    auto screen = openProfile();
    ASSERT_TRUE(screen && screen->profileView());
    auto hostScreen = ui::ViewController::create();
    nav->setViewControllers({hostScreen, screen}, false);
    host->layoutIfNeeded();

    tap(screen->profileView()->editAboutButton());
    auto editor = std::dynamic_pointer_cast<VelkoraEditAboutViewController>(nav->presentedViewController());
    ASSERT_TRUE(editor) << "presented over the navigation controller";
    loop().advance(1);
    ASSERT_TRUE(editor->aboutTextView());
    ASSERT_TRUE(editor->aboutTextView()->becomeFirstResponder());
    ASSERT_TRUE(editor->aboutTextView()->insertText("Tiles and tides"));
    editor->doneTapped(nullptr);
    loop().advance(1);
    drain();
    EXPECT_FALSE(nav->presentedViewController());
    EXPECT_EQ(nav->viewControllers(), (std::vector<ui::ViewControllerPtr>{hostScreen, screen}));
    EXPECT_EQ(svc.userColumn(kApp, info().userId().value_or(""), "custom_string1"), "Tiles and tides");
    EXPECT_EQ(screen->profileView()->aboutLabel()->text(), "Tiles and tides") << "the block redraws the bio";
}

} // namespace
