// Connecting an identity that another account holds: the question, OK moving the identity in the
// service, Cancel failing with null and putting back the identity held before.
#include <gtest/gtest.h>

#include "BuildPaths.h"
#include "ScreenReference.h"
#include "data/VelkoraUtils.h"
#include "social/VelkoraIdentityFields.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/ViewController.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraWidgetClasses.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

constexpr int64_t kHeldTwitterId = 900000077;

struct Asker {
    std::vector<Value> answers;
    std::vector<foundation::ErrorPtr> errors;
    void answered(const Value& v) { answers.push_back(v); }
    void failed(const foundation::ErrorPtr& e) { errors.push_back(e); }
};

class OverrideQuestionTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        registerVelkoraWidgetClasses();
        host_ = ui::Window::createFullScreen();
        host_->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        host_->setRootViewController(std::make_shared<ui::ViewController>());
        host_->makeKeyAndVisible();
        startNewUser();
        helper_ = VelkoraUserSignUpHelper::create();
        asker_ = std::make_shared<Asker>();
        other_ = svc.createUser(kApp, [] {
            service::UserFields f;
            f.firstName = "Other";
            f.twitterId = kHeldTwitterId;
            return f;
        }());
        // The device's user signs up by e-mail first.
        helper_->connectServerWithDetails(
            Value(foundation::Dictionary{{"name", Value("Mary Jones")},
                                         {"email", Value("mary@x.org")},
                                         {"password", Value(VelkoraUtils::md5String("secret1", true))}}),
            0, 1, false, false, callback());
        ASSERT_TRUE(waitFor([&] { return !asker_->answers.empty(); }) && settle());
        me_ = asker_->answers[0].textOr("");
        asker_->answers.clear();
        info().setTwitterId(11);
        info().setTwitterName(std::string("Earlier"));
        VelkoraAgentInternal::instance().saveUserInfo();
    }
    void TearDown() override {
        helper_.reset();
        host_.reset();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        ServerClientTest::TearDown();
    }
    VelkoraCallback callback() { return VelkoraCallback(asker_, &Asker::answered, &Asker::failed); }
    VelkoraUserInfo& info() { return *VelkoraAgentInternal::instance().userInfo(); }
    // Connects the held Twitter id as the connector would have stored it, and waits for the question.
    std::shared_ptr<VelkoraDefaultOKPopupView> askToConnect() {
        auto before = VelkoraIdentityFields::of(info());
        info().setTwitterId(kHeldTwitterId);
        info().setTwitterName(std::string("Tove Ek"));
        VelkoraIdentityFields::rememberReplaced(3, kHeldTwitterId, before);
        helper_->connectServerWithDetails(
            Value(foundation::Dictionary{{"id", Value(kHeldTwitterId)}, {"name", Value("Tove Ek")}}), 0, 3, false, true,
            callback());
        EXPECT_TRUE(waitFor([] { return ui::Application::instance().windows().size() > 1; }));
        settle();
        loop().advance(1);
        auto windows = ui::Application::instance().windows();
        for (const auto& w : windows)
            for (const auto& v : w->subviews())
                if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) return popup;
        return nullptr;
    }

    std::shared_ptr<ui::Window> host_;
    std::shared_ptr<VelkoraUserSignUpHelper> helper_;
    std::shared_ptr<Asker> asker_;
    std::string other_, me_;
};

TEST_F(OverrideQuestionTest, OkMovesTheIdentityToThisAccount) {
    auto popup = askToConnect();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->titleLabel()->text(), "Already connected");
    EXPECT_NE(popup->messageLable()->text().find("Tove E."), std::string::npos) << popup->messageLable()->text();
    EXPECT_TRUE(screenLooksLike("override_question.png"));
    EXPECT_TRUE(asker_->answers.empty() && asker_->errors.empty());

    popup->okTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return !asker_->answers.empty() || !asker_->errors.empty(); }) && settle());
    ASSERT_EQ(asker_->answers.size(), 1u);
    EXPECT_TRUE(asker_->answers[0].isNull());
    auto connects = svc.requestsFor("connectSocial");
    ASSERT_EQ(connects.size(), 2u);
    EXPECT_EQ(param(connects[1], "overrideOtherUser"), "1");
    EXPECT_EQ(svc.userColumn(kApp, me_, "twitter_id"), std::to_string(kHeldTwitterId));
    EXPECT_NE(svc.userColumn(kApp, other_, "twitter_id"), std::to_string(kHeldTwitterId));
    EXPECT_EQ(info().userInfoSource(), 2);
}

TEST_F(OverrideQuestionTest, CancelFailsWithNullAndPutsBackTheEarlierIdentity) {
    auto popup = askToConnect();
    ASSERT_TRUE(popup);
    popup->cancelTapped(nullptr);
    settle();
    ASSERT_EQ(asker_->errors.size(), 1u);
    EXPECT_EQ(asker_->errors[0], nullptr);
    EXPECT_TRUE(asker_->answers.empty());
    EXPECT_EQ(info().twitterId(), 11);
    EXPECT_EQ(info().twitterName(), std::string("Earlier"));
    EXPECT_EQ(info().emailId(), std::string("mary@x.org"));
    EXPECT_EQ(info().userInfoSource(), 3);
    EXPECT_EQ(svc.userColumn(kApp, other_, "twitter_id"), std::to_string(kHeldTwitterId));
}

} // namespace
