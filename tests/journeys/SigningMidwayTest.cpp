// Signing in, signing up and signing out in the middle of a chat the host opened on its stack: the
// person leaves a draft, signs up through the account screens from the chat's top panel (or is signed in
// or out meanwhile) and comes back to the chat with the draft still there; back then leaves the host as
// it was, and the kit works on for the new user.
#include <gtest/gtest.h>

#include <functional>

#include "JourneyFixture.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "people/VelkoraEmailSignUpViewController.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
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
    service::UserFields walker = named("Walker", "Known");
    walker.email = "walker@example.com";
    walker.signedUp = true;
    const std::string known = svc.createUser(kApp, walker);
    const std::string device = myId();
    const std::string other = svc.createUser(kApp, named("Olga", "Tester"));
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));

    // Signed in elsewhere (as the account screens do once the service says yes): the chat stays, with
    // its draft, and the kit goes on as the known user.
    agent().resetUserInfoWithUserId(known);
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserSigninChanged");
    ASSERT_TRUE(waitFor([&] { return agent().velkoraUser() && agent().velkoraUser()->userId() == known; }) && settle());
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
    EXPECT_EQ(ownProfileOpens(), "VelkoraUserProfileViewController");
    hostNav().popToRootViewController(false);

    // Signed out again in the middle of the next chat: back to the device's own user.
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));
    agent().resetUserInfoWithUserId(std::nullopt);
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserSigninChanged");
    ASSERT_TRUE(waitFor([&] { return agent().velkoraUser() && agent().velkoraUser()->userId() == device; }) &&
                settle());
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
