// The own-profile block: rows by the application's sign-up kind and the record's identities, the bio
// and its height, the inbox badge, each control reaching its delegate, and pictures.
#include <set>

#include "ProfilesFixture.h"
#include "people/VelkoraPanelProfileView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraPanelProfileViewFace.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

struct Heard : VelkoraPanelProfileViewDelegate {
    std::vector<std::string> calls;
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>&) override { calls.push_back("update"); }
    void editAboutClicked() override { calls.push_back("editAbout"); }
    void fbConnectClickedInView(ui::View*) override { calls.push_back("fbConnect"); }
    void fbSignoutClickedInView(ui::View*) override { calls.push_back("fbSignout"); }
    void twConnectClickedInView(ui::View*) override { calls.push_back("twConnect"); }
    void twSignoutClickedInView(ui::View*) override { calls.push_back("twSignout"); }
    void emailSignoutClickedInView(ui::View*) override { calls.push_back("emailSignout"); }
    void settingsClicked() override { calls.push_back("settings"); }
    void messagesClicked(const std::string& title) override { calls.push_back("messages:" + title); }
    void privateModeSwitchedValue(bool on) override { calls.push_back(on ? "switch:on" : "switch:off"); }
};

class PanelProfileViewTest : public ProfilesTest {
protected:
    void SetUp() override {
        ProfilesTest::SetUp();
        VelkoraAgentInternal::instance().initUserInfo(kApp);
        appData_ = std::make_shared<VelkoraAppData>();
        VelkoraAgentInternal::instance().setAppData(appData_);
        me_ = std::make_shared<VelkoraUserInternal>();
        me_->setUserId(std::string("me"));
        me_->setFirstName(std::string("Vera"));
        VelkoraAgentInternal::instance().setVelkoraUser(me_);
    }
    VelkoraUserInfo& record() { return *VelkoraAgentInternal::instance().userInfo(); }
    // A block at the phone's width in a window, drawn for the current record.
    std::shared_ptr<VelkoraPanelProfileView> block(bool withMessages = true) {
        auto b = VelkoraPanelProfileView::initFromNibWithMessages(withMessages);
        EXPECT_TRUE(b);
        if (!b) return nullptr;
        b->setFrame({0, 0, 320, b->frame().height()});
        b->updateWithVelkoraUser(nullptr);
        window_ = ui::Window::createFullScreen();
        window_->setBackgroundColor(ui::Color::fromHex("#F2F3F5"));
        b->setFrame({0, 20, 320, b->frame().height()});
        window_->addSubview(b);
        window_->makeKeyAndVisible();
        window_->layoutIfNeeded();
        return b;
    }
    double measuredBio(const VelkoraPanelProfileView& b, const std::string& text) {
        return ui::measureText(text, *b.aboutLabel()->font(), 320 - 16 - 62, 0, b.aboutLabel()->lineBreakMode()).height;
    }
    std::shared_ptr<VelkoraAppData> appData_;
    std::shared_ptr<VelkoraUserInternal> me_;
};

TEST_F(PanelProfileViewTest, EmailSignUpShowsTheSettingsRowInsteadOfNetworksWhateverTheRecordHolds) {
    record().setFbId(1234);
    record().setTwitterId(99);
    appData_->setEmailSignUpEnabled(true);
    auto b = block();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->fbView()->superview(), nullptr);
    EXPECT_EQ(b->twView()->superview(), nullptr);
    EXPECT_FALSE(b->settingsView()->isHidden());
    EXPECT_NE(b->settingsView()->superview(), nullptr);
    expectLooksLike("panel_profile_email");
}

TEST_F(PanelProfileViewTest, EachRowLeadsWithAPictureOfItsOwn) {
    appData_->setEmailSignUpEnabled(true);
    auto b = block();
    ASSERT_TRUE(b);
    const struct {
        const char* row;
        ui::View* view;
    } rows[] = {
        {"settings", b->settingsView().get()},
        {"privacy", b->privacyView().get()},
        {"messages", b->messagesView().get()},
    };
    std::set<const ui::Image*> pictures;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        ASSERT_TRUE(r.view);
        const ui::ImageView* icon = nullptr;
        double textStart = r.view->bounds().width();
        for (const auto& sub : r.view->subviews()) {
            if (sub->isHidden()) continue;
            if (auto* v = dynamic_cast<const ui::ImageView*>(sub.get())) icon = v;
            if (dynamic_cast<const ui::Label*>(sub.get())) textStart = std::min(textStart, sub->frame().minX());
        }
        ASSERT_TRUE(icon) << "a row without a picture";
        ASSERT_TRUE(icon->image()) << "an empty picture frame";
        EXPECT_LE(icon->frame().maxX(), textStart) << "the picture stays left of the text";
        pictures.insert(icon->image().get());
    }
    EXPECT_EQ(pictures.size(), std::size(rows)) << "each row has a picture of its own";
}

TEST_F(PanelProfileViewTest, NetworkRowsShowTheConnectedNameOrTheConnectInvitation) {
    record().setFbId(1234);
    record().setFbFirstName(std::string("Vera"));
    record().setFbLastName(std::string("Viewer"));
    record().setIsPrivateMode(true);
    me_->setCustomString1(std::string("Designer by day, quiz hunter by night."));
    auto b = block();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->settingsView()->superview(), nullptr);
    EXPECT_EQ(b->fbNameLabel()->text(), "Vera Viewer");
    EXPECT_FALSE(b->fbSignoutButton()->isHidden());
    EXPECT_TRUE(b->fbConnectButton()->isHidden());
    EXPECT_TRUE(b->twNameLabel()->isHidden());
    EXPECT_FALSE(b->twConnectButton()->isHidden());
    EXPECT_FALSE(b->privateModeSwitch()->isOn()) << "the switch shares activity: off in private mode";
    EXPECT_EQ(b->fbSignoutButton()->titleForState(ui::ControlStateNormal), "Sign Out");
    expectLooksLike("panel_profile_networks");
}

TEST_F(PanelProfileViewTest, TheBioIsMeasuredWithALetterAtEachEndAndNeverBelowTheFilesHeight) {
    auto b = block();
    ASSERT_TRUE(b);
    const double minimum = b->minAboutLabelHeight();
    ASSERT_GT(minimum, 0);
    // No bio: the placeholder in dark grey at the file's height.
    EXPECT_EQ(b->aboutLabel()->text(), "Tell people something about yourself");
    EXPECT_EQ(b->aboutLabel()->textColor(), ui::Color::white(1.0 / 3.0));
    EXPECT_EQ(b->aboutLabelHeightConstraint()->constant(), std::max(minimum, measuredBio(*b, "AA") + 1));

    const std::string spaces = "     ";
    const std::string longBio(300, 'w');
    const std::string words =
        "A bio long enough to wrap onto several lines of the block, so the label grows to fit it.";
    for (const std::string& bio : {spaces, words, longBio}) {
        me_->setCustomString1(bio);
        b->updateAboutText();
        EXPECT_EQ(b->aboutLabel()->text(), bio) << "shown as it is, blanks too";
        EXPECT_EQ(b->aboutLabel()->textColor(), b->origAboutTextViewColor());
        EXPECT_EQ(b->aboutLabelHeightConstraint()->constant(), std::max(minimum, measuredBio(*b, "A" + bio + "A") + 1));
    }
    EXPECT_GT(b->aboutLabelHeightConstraint()->constant(), minimum) << "a long bio grows the label";
    // The editor's closed notification redraws the bio.
    me_->setCustomString1(std::string("New"));
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserAboutPopupClosedNotification");
    EXPECT_EQ(b->aboutLabel()->text(), "New");
}

TEST_F(PanelProfileViewTest, OnlyTheInboxBadgeNotificationChangesTheBadge) {
    auto b = block();
    ASSERT_TRUE(b);
    b->messagesBadgeNumberLabel()->setText("7");
    b->messagesBadgeView()->setHidden(false);
    auto post = [](int tab) {
        foundation::NotificationCenter::defaultCenter().post(
            "VelkoraBadgeNumberChangedNotification", nullptr,
            foundation::Value(foundation::Dictionary{{"tabId", foundation::Value(static_cast<long long>(tab))}}));
    };
    post(2);
    post(0);
    EXPECT_EQ(b->messagesBadgeNumberLabel()->text(), "7");
    EXPECT_FALSE(b->messagesBadgeView()->isHidden());
    post(1);
    EXPECT_EQ(b->messagesBadgeNumberLabel()->text(), "0");
    EXPECT_TRUE(b->messagesBadgeView()->isHidden());
}

TEST_F(PanelProfileViewTest, EachControlReachesItsDelegateAndNobodyOnceTheDelegateIsGone) {
    record().setTwitterId(99);
    auto b = block();
    ASSERT_TRUE(b);
    auto heard = std::make_shared<Heard>();
    b->setDelegate(heard);
    const struct {
        ui::Control* control;
        unsigned event;
        const char* call;
    } cases[] = {
        {b->editAboutButton().get(), ui::ControlEventTouchUpInside, "editAbout"},
        {b->fbConnectButton().get(), ui::ControlEventTouchUpInside, "fbConnect"},
        {b->twSignoutButton().get(), ui::ControlEventTouchUpInside, "twSignout"},
        {b->messagesButton().get(), ui::ControlEventTouchUpInside, "messages:Messages"},
        {b->privateModeSwitch().get(), ui::ControlEventValueChanged, "switch:on"},
    };
    for (const auto& c : cases) {
        heard->calls.clear();
        c.control->sendActionsForControlEvents(c.event);
        EXPECT_EQ(heard->calls, std::vector<std::string>{c.call});
    }
    appData_->setEmailSignUpEnabled(true);
    b->updateWithVelkoraUser(nullptr);
    heard->calls.clear();
    b->settingsButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(heard->calls, std::vector<std::string>{"settings"});
    heard.reset();
    b->editAboutButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside); // nobody to tell
}

TEST_F(PanelProfileViewTest, TheSidebarGetsABlockWithoutTheMessagesRowByName) {
    auto face = VelkoraPanelProfileViewFace::make(false);
    ASSERT_TRUE(face);
    auto b = std::dynamic_pointer_cast<VelkoraPanelProfileView>(face);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->messagesView()->superview(), nullptr);
    EXPECT_EQ(face->view().get(), b.get());
    auto named = VelkoraScreenRegistry::instance().makeObject<VelkoraPanelProfileViewFace>("panelProfileView",
                                                                                           foundation::Value(false));
    ASSERT_TRUE(named);
    EXPECT_EQ(std::dynamic_pointer_cast<VelkoraPanelProfileView>(named)->messagesView()->superview(), nullptr);
}

} // namespace
