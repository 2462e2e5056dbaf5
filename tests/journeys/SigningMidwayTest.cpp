// Signing in, signing up and signing out in the middle of a chat the host opened on its stack: the
// person leaves a draft, logs in or signs up through the account screens from the chat's top panel (or
// signs out from the sidebar's settings) and comes back to the chat with the draft still there; back then leaves the
// host as it was, and the kit works on for the new user.
#include <gtest/gtest.h>

#include <functional>

#include "JourneyFixture.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraEmailLoginViewController.h"
#include "people/VelkoraEmailSignUpViewController.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/ui/GraphicsContext.h"

namespace velkora::testing {
namespace {

class SigningMidway : public JourneyTest {
protected:
    std::shared_ptr<VelkoraChatOneViewController> chatOnTop() const {
        return std::dynamic_pointer_cast<VelkoraChatOneViewController>(hostNav().topViewController());
    }
    template <class T> std::shared_ptr<T> top() const {
        return std::dynamic_pointer_cast<T>(hostNav().topViewController());
    }
    // The chat with another user on the host's stack, a draft typed and not sent.
    void chatWithDraft(const std::string& other) {
        Velkora::openChatWithUser(other, publicNav(), true);
        ASSERT_TRUE(settle());
        loop().advance(1);
        auto chat = chatOnTop();
        ASSERT_TRUE(chat);
        ASSERT_TRUE(waitFor([&] { return chat->loaded(); }));
        chat->sendMessageText()->setText("half a thought");
    }
    // The screen the host's "my profile" opens now.
    std::string ownProfileOpens() {
        Velkora::openMyProfileWithNavigationController(publicNav(), true);
        EXPECT_TRUE(settle());
        loop().advance(1);
        return hostNav().topViewController()->className();
    }
    void expectBackInTheChatWithTheDraft() {
        auto chat = chatOnTop();
        ASSERT_TRUE(chat) << "the chat is not on top again";
        expectOnShow(chat);
        EXPECT_EQ(chat->sendMessageText()->text(), "half a thought");
        EXPECT_EQ(hostNav().viewControllers().size(), 2u);
        // Leaving asks first while the draft is there; the field emptied, back leaves the host as it was.
        chat->sendMessageText()->setText("");
        chat->backTapped(nullptr);
        ASSERT_TRUE(settle());
        loop().advance(1);
        expectHostAsItWas(1);
    }
};

TEST_F(SigningMidway, SignInAndOutWhileAChatIsOpen) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    // An account with an e-mail and a password, made as the kit makes one, and this device signed out of
    // it again.
    std::string known;
    {
        auto helper = VelkoraUserSignUpHelper::create();
        auto heard = std::make_shared<Caller>();
        helper->connectServerWithDetails(
            foundation::Value(
                foundation::Dictionary{{"name", foundation::Value("Walker Known")},
                                       {"email", foundation::Value("walker@example.com")},
                                       {"password", foundation::Value(VelkoraUtils::md5String("walk1234", true))}}),
            0, 1, false, false, Caller::of(heard));
        ASSERT_TRUE(waitFor([&] { return !heard->answers.empty(); }) && settle());
        known = heard->answers[0].textOr("");
        ASSERT_FALSE(known.empty());
        helper->userSignedOut(3);
        ASSERT_TRUE(waitFor([&] { return agent().velkoraUser() && agent().velkoraUser()->userId() != known; }) &&
                    settle());
        loop().advance(1);
    }
    const std::string device = myId();
    const std::string other = svc.createUser(kApp, named("Olga", "Tester"));
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));

    // Logged in through the account screens from the chat's top panel: the chat comes back with its
    // draft, and the kit goes on as the known user.
    chatOnTop()->profileButtonClicked(nullptr);
    loop().advance(1);
    auto login = top<VelkoraLoginViewController>();
    ASSERT_TRUE(login);
    login->emailConnectClicked(nullptr);
    loop().advance(1);
    auto form = top<VelkoraEmailLoginViewController>();
    ASSERT_TRUE(form);
    form->emailTextField()->setText("walker@example.com");
    form->passwordTextField()->setText("walk1234");
    form->loginClicked(nullptr);
    ASSERT_TRUE(waitFor([&] { return agent().velkoraUser() && agent().velkoraUser()->userId() == known; }) && settle());
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
    EXPECT_EQ(ownProfileOpens(), "VelkoraUserProfileViewController");
    hostNav().popToRootViewController(false);

    // Signed out in the middle of the next chat, from the sidebar's settings: back to the device's own
    // user, the sidebar back at its menu, and the chat with its draft where it was.
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));
    sidebarVC()->settingsClicked();
    loop().advance(1);
    auto settings = std::dynamic_pointer_cast<VelkoraUserSettingsViewController>(sidebarNav()->topViewController());
    ASSERT_TRUE(settings);
    settings->emailSignOutClicked(nullptr);
    auto confirm = popup();
    ASSERT_TRUE(confirm) << "signing out asks first";
    confirm->okTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return agent().velkoraUser() && agent().velkoraUser()->userId() != known; }) && settle());
    loop().advance(1);
    EXPECT_EQ(myId(), device);
    if (sidebarNav()->topViewController() == settings) {
        settings->backTapped(nullptr);
        loop().advance(1);
    }
    EXPECT_EQ(sidebarNav()->viewControllers().size(), 1u);
    Velkora::closeSidebar();
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
    EXPECT_EQ(ownProfileOpens(), "VelkoraLoginViewController");
}

TEST_F(SigningMidway, SignUpFromTheChatsTopPanel) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    const std::string other = svc.createUser(kApp, named("Olga", "Tester"));
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));

    chatOnTop()->profileButtonClicked(nullptr);
    loop().advance(1);
    auto login = top<VelkoraLoginViewController>();
    ASSERT_TRUE(login);
    login->signUpClicked(nullptr);
    loop().advance(1);
    auto signup = top<VelkoraSignUpViewController>();
    ASSERT_TRUE(signup);
    signup->emailConnectClicked(nullptr);
    loop().advance(1);
    auto form = top<VelkoraEmailSignUpViewController>();
    ASSERT_TRUE(form);
    // The sign-up wants a picture of the person first.
    auto image = ui::Image::create(64, 64);
    auto g = ui::GraphicsContext::forImage(image);
    g->setFillColor(ui::Color::fromHex("#2050C0"));
    g->fillRect({0, 0, 64, 64});
    ASSERT_TRUE(form->pictureTaken(image));
    ASSERT_TRUE(waitFor([&] { return form->uploadedImageUrl().has_value(); }) && settle());
    form->nameTextField()->setText("Nina New");
    form->emailTextField()->setText("nina@example.com");
    form->passwordTextField()->setText("secret12");
    form->doneClicked(nullptr);
    auto signedUp = [&] {
        return svc.selectRows("SELECT user_id FROM users WHERE email = ?", {"nina@example.com"}).size() == 1u;
    };
    ASSERT_TRUE(waitFor(signedUp) && settle());
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
}

} // namespace
} // namespace velkora::testing
