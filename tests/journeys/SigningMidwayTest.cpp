// Signing in, signing up and signing out in the middle of a chat the host opened on its stack: the
// person leaves a draft, goes through the account screens from the chat's top panel (or signs out in
// the sidebar) and comes back to the chat with the draft still there; back then leaves the host as it
// was, and the kit works on for the new user.
#include <gtest/gtest.h>

#include <functional>

#include "JourneyFixture.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraEmailLoginViewController.h"
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

TEST_F(SigningMidway, SignInFromTheChatsTopPanel) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    service::UserFields walker = named("Walker", "Known");
    walker.email = "walker@example.com";
    // The service keeps the digest the kit sends.
    walker.password = VelkoraUtils::md5String("secret12", true);
    walker.signedUp = true;
    const std::string known = svc.createUser(kApp, walker);
    const std::string other = svc.createUser(kApp, named("Olga", "Tester"));
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));

    chatOnTop()->profileButtonClicked(nullptr);
    loop().advance(1);
    auto login = top<VelkoraLoginViewController>();
    ASSERT_TRUE(login) << "an anonymous person's profile button opens the log-in";
    login->emailConnectClicked(nullptr);
    loop().advance(1);
    auto form = top<VelkoraEmailLoginViewController>();
    ASSERT_TRUE(form);
    form->emailTextField()->setText("walker@example.com");
    form->passwordTextField()->setText("secret12");
    form->loginClicked(nullptr);
    ASSERT_TRUE(waitFor([&] { return myId() == known; }) && settle());
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
    // Signed in, the own profile is the profile now.
    EXPECT_EQ(ownProfileOpens(), "VelkoraUserProfileViewController");
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

TEST_F(SigningMidway, SignOutInTheSidebarWhileAChatIsOpen) {
    service::UserFields walker = named("Walker", "Known");
    walker.email = "walker@example.com";
    // The service keeps the digest the kit sends.
    walker.password = VelkoraUtils::md5String("secret12", true);
    walker.signedUp = true;
    const std::string known = svc.createUser(kApp, walker);
    serve(everyFeature());
    ASSERT_NO_FATAL_FAILURE(startAsExisting(known));
    makeHostWindow();
    ASSERT_NO_FATAL_FAILURE(addSidebar());
    const std::string other = svc.createUser(kApp, named("Olga", "Tester"));
    ASSERT_NO_FATAL_FAILURE(chatWithDraft(other));

    // The person slides the sidebar open over the chat, signs out in it, and closes it again.
    Velkora::openSidebar();
    loop().advance(1);
    sidebarVC()->signoutFromEmail();
    ASSERT_TRUE(waitForRequests("signOut", 1));
    ASSERT_TRUE(waitFor([&] { return !record().emailId() || record().emailId()->empty(); }) && settle());
    loop().advance(1);
    Velkora::closeSidebar();
    loop().advance(1);
    ASSERT_NO_FATAL_FAILURE(expectBackInTheChatWithTheDraft());
    // The chat opens again for whoever the device is now.
    Velkora::openChatWithUser(other, publicNav(), true);
    ASSERT_TRUE(settle());
    loop().advance(1);
    auto again = chatOnTop();
    ASSERT_TRUE(again);
    EXPECT_TRUE(waitFor([&] { return again->loaded(); }));
    expectOnShow(again);
}

} // namespace
} // namespace velkora::testing
