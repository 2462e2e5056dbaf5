// The own profile: invitations for an anonymous user, details and the block for a signed-in one, one
// block per layout pass, connecting announced once, signing out versus disconnecting, and the switch kept.
#include "ProfilesFixture.h"
#include "people/VelkoraPanelProfileView.h"
#include "people/VelkoraUserProfileViewController.h"
#include "platform/foundation/FileIO.h"
#include "platform/ui/Label.h"
#include "platform/ui/Switch.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class OwnProfileTest : public ProfilesTest {
protected:
    std::shared_ptr<VelkoraUserProfileViewController> open() {
        auto screen = std::dynamic_pointer_cast<VelkoraUserProfileViewController>(
            VelkoraScreenRegistry::instance().makeScreen("myprofile"));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        show(screen);
        settleScreen();
        EXPECT_TRUE(screen->nameLabel()) << "the interface file did not load";
        return screen->nameLabel() ? screen : nullptr;
    }
    void emailSignUp(bool on) {
        auto data = VelkoraAgentInternal::instance().appData();
        if (!data) {
            data = std::make_shared<VelkoraAppData>();
            VelkoraAgentInternal::instance().setAppData(data);
        }
        data->setEmailSignUpEnabled(on);
        data->setAppName(std::string("Velkora Demo"));
    }
    VelkoraUserInfo& record() { return *VelkoraAgentInternal::instance().userInfo(); }
    int signinChanges_ = 0;
    foundation::Value lastChange_;
    foundation::NotificationObserver signinObserver_{"VelkoraUserSigninChanged", nullptr,
                                                     [this](const foundation::Notification& n) {
                                                         ++signinChanges_;
                                                         lastChange_ = n.userInfo;
                                                     }};
};

TEST_F(OwnProfileTest, AnAnonymousUserIsInvitedByTheApplicationsSignUpKind) {
    startNewUser();
    loadMyData();
    for (bool email : {false, true}) {
        SCOPED_TRACE(email);
        emailSignUp(email);
        auto screen = open();
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->anonymousView()->isHidden(), email);
        EXPECT_EQ(screen->signUpAnonymousView()->isHidden(), !email);
        EXPECT_TRUE(screen->userDetailsView()->isHidden());
        const auto& invitation = email ? screen->signUpAnonymousInvitationLabel() : screen->anonymousInvitationLabel();
        EXPECT_NE(invitation->text().find("ake the most of Velkora Demo"), std::string::npos) << invitation->text();
        expectLooksLike(email ? "own_profile_invitation_email" : "own_profile_invitation_networks");
    }
}

TEST_F(OwnProfileTest, ASignedInUserSeesDetailsAndOneBlockPerLayoutPass) {
    startSignedIn();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    me->setCity(std::string("Lisbon"));
    me->setCustomString1(std::string("Designer by day, quiz hunter by night."));
    me->setNumFollowers(12);
    auto screen = open();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->userDetailsView()->isHidden());
    EXPECT_TRUE(screen->anonymousView()->isHidden());
    EXPECT_EQ(screen->nameLabel()->text(), "Vera V.");
    EXPECT_EQ(screen->numFollowersLabel()->text(), "12");
    ASSERT_TRUE(screen->profileView());
    expectLooksLike("own_profile");

    const int built = screen->blocksBuilt();
    for (int pass = 1; pass <= 2; ++pass) {
        screen->view()->setNeedsLayout();
        screen->view()->layoutIfNeeded();
        EXPECT_EQ(screen->blocksBuilt(), built + pass) << "one block per pass, and building it asks for no other";
    }

    // Without a city the place label goes for good.
    me->setCity(std::string());
    screen->updateWithVelkoraUser(me);
    EXPECT_EQ(screen->locationLabel()->superview(), nullptr);
    me->setCity(std::string("Porto"));
    screen->updateWithVelkoraUser(me);
    EXPECT_EQ(screen->locationLabel()->superview(), nullptr);
}

TEST_F(OwnProfileTest, ConnectingIsAnnouncedOncePerNetworkAndTheSwitchIsKept) {
    startSignedIn();
    auto screen = open();
    ASSERT_TRUE(screen);
    record().setFbId(4242);
    for (int i = 0; i < 2; ++i)
        foundation::NotificationCenter::defaultCenter().post("VelkoraFacebookConnectedNotification");
    EXPECT_EQ(signinChanges_, 1);
    EXPECT_EQ(lastChange_["socialService"].textOr(""), "Facebook");
    EXPECT_EQ(lastChange_["loginState"].int64Or(-1), 1);
    EXPECT_EQ(lastChange_["accountIdentifier"].int64Or(0), 4242);
    foundation::NotificationCenter::defaultCenter().post("VelkoraTwitterConnectedNotification");
    EXPECT_EQ(signinChanges_, 2);

    auto& toggle = *screen->profileView()->privateModeSwitch();
    toggle.setOn(false);
    toggle.sendActionsForControlEvents(ui::ControlEventValueChanged);
    EXPECT_TRUE(record().isPrivateMode());
    // Read back from the archive: the switch was saved, not only set.
    VelkoraAgentInternal::instance().initUserInfo(kApp);
    EXPECT_TRUE(record().isPrivateMode());
}

TEST_F(OwnProfileTest, SignOutOfTheOnlyIdentityEndsTheAccountElseOnlyDisconnects) {
    startSignedIn();
    struct Case {
        const char* what;
        int source;
        int64_t fb, tw;
        int origin; // 1 Facebook, 2 Twitter, 3 e-mail
        const char* command;
        const char* method;
    } cases[] = {
        {"Facebook as the sole identity", 1, 77, 0, 1, "signOut", ""},
        {"Facebook beside Twitter", 1, 77, 88, 1, "disconnectSocial", "2"},
        {"Facebook while signed in with Twitter", 2, 77, 88, 1, "disconnectSocial", "2"},
        {"e-mail", 3, 0, 0, 3, "signOut", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto screen = open();
        ASSERT_TRUE(screen);
        record().setUserInfoSource(c.source);
        record().setFbId(c.fb);
        record().setTwitterId(c.tw);
        record().setEmailId(c.source == 3 ? std::optional<std::string>("vera@example.org") : std::nullopt);
        svc.clearRequests();
        signinChanges_ = 0;
        if (c.origin == 3)
            screen->emailSignoutClickedInView(screen->view().get());
        else
            screen->fbSignoutClickedInView(screen->view().get());
        ASSERT_TRUE(screen->signoutPopup());
        EXPECT_NE(screen->signoutPopup()->messageLable()->text().find(c.origin == 3 ? "Email" : "Facebook"),
                  std::string::npos);
        screen->popupOkTapped();
        ASSERT_TRUE(waitFor([&] { return count(c.command) == 1; })) << c.command;
        ASSERT_TRUE(waitFor([&] { return signinChanges_ == 1; }));
        settleScreen();
        if (*c.method) {
            EXPECT_EQ(param(svc.requestsFor(c.command)[0], "method"), c.method);
        }
        EXPECT_EQ(lastChange_["loginState"].int64Or(-1), 0);
        EXPECT_EQ(record().fbId(), 0);
        EXPECT_EQ(lastChange_["userId"].textOr(""), record().userId().value_or("?"))
            << "the id of the record as it is after the change";
        EXPECT_FALSE(screen->isSpinning());
        if (std::string(c.command) == "signOut") {
            EXPECT_GE(container_->backToPanels, 1);
        }
    }
}

TEST_F(OwnProfileTest, AFailedSignOutKeepsTheRecord) {
    startSignedIn();
    auto screen = open();
    ASSERT_TRUE(screen);
    record().setUserInfoSource(1);
    record().setFbId(77);
    svc.addFault({"signOut", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR"});
    screen->fbSignoutClickedInView(screen->view().get());
    screen->popupOkTapped();
    ASSERT_TRUE(waitFor([&] { return !screen->isSpinning(); }));
    settleScreen();
    EXPECT_EQ(record().fbId(), 77);
    EXPECT_EQ(signinChanges_, 0);
}

} // namespace
