// The activation button and ribbon a host places in its own screens: the badge they show, their looks
// by type and direction, their layouts by orientation, and the tap that opens the sidebar.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "shell/VelkoraActivationRibonView.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

class ActivationTest : public SidebarFixture {
protected:
    void SetUp() override {
        SidebarFixture::SetUp();
        serve({{"feed", "F"}, {"inbox", "I"}, {"radar", "R"}});
        install();
    }
    // The menu's badges changed, as the repositories make them change.
    void badges(int32_t feed, int32_t inbox, int32_t radar) {
        panel().commands()[0]->setBadgeNumber(feed);
        panel().commands()[1]->setBadgeNumber(inbox);
        panel().commands()[2]->setBadgeNumber(radar);
        panel().sendBadgeNumberChangeNotificationForFeature(1);
    }
    static bool shown(const std::shared_ptr<ui::View>& v) { return v && !v->isHidden(); }
};

TEST_F(ActivationTest, TheButtonShowsTheTotalOfTheBadgesButTheRadars) {
    auto button = VelkoraActivationView::create();
    EXPECT_EQ(button->frame().size, button->portraitView()->frame().size);
    EXPECT_EQ(button->activationButton()->imageForState(ui::ControlStateNormal),
              ui::Image::named("VelImg_ribbonicon1"));
    struct Case {
        int32_t feed, inbox, radar;
        bool shown;
        const char* text;
    };
    for (auto c :
         {Case{0, 0, 7, false, ""}, Case{4, 6, 3, true, "10"}, Case{5, 6, 0, true, "10+"}, Case{1, 0, 0, true, "1"}}) {
        badges(c.feed, c.inbox, c.radar);
        EXPECT_EQ(shown(button->badgeLeftView()), c.shown) << c.feed << " " << c.inbox;
        if (c.shown) {
            EXPECT_EQ(button->badgeNumberLabel()->text(), c.text);
            // The whole count sits inside the oval, with room at its round ends.
            auto label = button->badgeNumberLabel();
            const double textWidth = ui::measureText(label->text(), *label->font(), 0, 1).width;
            EXPECT_GE(button->badgeLeftView()->frame().width(), textWidth + 8) << c.text;
            EXPECT_EQ(label->frame(), button->badgeLeftView()->bounds());
        }
    }
}

// A host's own interface file names the button and the ribbon: each is made and set up as in code, with
// its own layout inside and the place the file gives it.
TEST_F(ActivationTest, AHostsInterfaceFileMakesTheButtonAndTheRibbon) {
    struct HostBar : ui::InterfaceOwner {
        std::shared_ptr<ui::View> button, ribbon;
        void registerInterfaceBindings(ui::InterfaceBindings& b) override {
            b.outlet("button", button);
            b.outlet("ribbon", ribbon);
        }
    } bar;
    auto objects = ui::InterfaceLoader::instance().loadFromText(
        R"({"objects": [{"class": "View", "frame": [0, 0, 320, 60], "subviews": [
            {"class": "VelkoraActivationView", "frame": [10, 12, 50, 36], "outlets": ["button"]},
            {"class": "VelkoraActivationRibonView", "frame": [200, 0, 40, 60], "outlets": ["ribbon"]}]}]})",
        "HostBar.json", &bar);
    ASSERT_EQ(objects.size(), 1u);
    auto button = std::dynamic_pointer_cast<VelkoraActivationView>(bar.button);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->frame().origin, (ui::Point{10, 12}));
    ASSERT_TRUE(button->portraitView());
    EXPECT_EQ(button->portraitView()->superview(), button.get());
    auto ribbon = std::dynamic_pointer_cast<VelkoraActivationRibonView>(bar.ribbon);
    ASSERT_TRUE(ribbon);
    EXPECT_TRUE(ribbon->portraitView());
    button->activationButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(gestures->menuVisible()) << "its tap opens the sidebar";
}

TEST_F(ActivationTest, TheButtonFollowsTheOrientationAndItsTapOpensTheSidebar) {
    auto button = VelkoraActivationView::create();
    ASSERT_EQ(button->portraitView()->superview(), button.get());
    ui::Application::instance().setStatusBarOrientation(3);
    EXPECT_EQ(button->landscapeView()->superview(), button.get());
    EXPECT_EQ(button->portraitView()->superview(), nullptr);
    EXPECT_EQ(button->frame().size, button->landscapeView()->frame().size);
    ui::Application::instance().setStatusBarOrientation(1);
    EXPECT_EQ(button->portraitView()->superview(), button.get());

    Recorder posted{"VelkoraNotificationWasActivated"};
    button->activationButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(gestures->menuVisible());
    loop().advance(1);
    EXPECT_EQ(posted.count("VelkoraNotificationWasActivated"), 1u);
}

TEST_F(ActivationTest, TheRibbonsLookByTypeAndDirection) {
    struct Case {
        unsigned type;
        int direction;
        const char* icon;
    };
    for (auto c : {Case{0, 1, "VelImg_ribbonicon1"}, Case{3, 0, "VelImg_ribbonicon4"}, Case{9, 1, nullptr}}) {
        auto ribbon = VelkoraActivationRibonView::create();
        ribbon->setButtonType(c.type, c.direction);
        bool left = c.direction == 1;
        EXPECT_EQ(shown(ribbon->ribbonToLeftView()), left);
        EXPECT_EQ(shown(ribbon->ribbonToRightView()), !left);
        auto& icon = left ? ribbon->buttonLeftImageView() : ribbon->buttonRightImageView();
        EXPECT_TRUE(shown(icon));
        EXPECT_EQ(icon->image(), c.icon ? ui::Image::named(c.icon) : nullptr);
        EXPECT_FALSE(ribbon->activationButton()->imageForState(ui::ControlStateNormal));
        // Chosen sides show their badge even at a total of 0, until the next badge notification.
        EXPECT_TRUE(shown(left ? ribbon->badgeLeftView() : ribbon->badgeRightView()));
        badges(0, 0, 0);
        EXPECT_FALSE(shown(ribbon->badgeLeftView()));
        // The ribbon keeps its one layout whatever the orientation.
        ui::Application::instance().setStatusBarOrientation(4);
        EXPECT_EQ(ribbon->portraitView()->superview(), ribbon.get());
        ui::Application::instance().setStatusBarOrientation(1);
    }
}

TEST_F(ActivationTest, PicturesOfTheButtonAndBothRibbonsWithABadge) {
    badges(2, 1, 0);
    auto strip = ui::View::create({0, 0, 180, 70});
    strip->setBackgroundColor(ui::Color::fromHex("#F4F1EA"));
    auto button = VelkoraActivationView::create();
    button->setFrame({{10, 16}, button->frame().size});
    auto toLeft = VelkoraActivationRibonView::create();
    toLeft->setButtonType(0, 1);
    toLeft->setFrame({{70, 0}, toLeft->frame().size});
    auto toRight = VelkoraActivationRibonView::create();
    toRight->setButtonType(2, 0);
    toRight->setFrame({{125, 0}, toRight->frame().size});
    badges(2, 1, 0);
    for (auto& v : std::initializer_list<std::shared_ptr<ui::View>>{button, toLeft, toRight})
        strip->addSubview(v);
    expectMatchesReference(ui::Snapshot::imageOfView(*strip, 2), "activation_button_and_ribbons");
}

} // namespace
} // namespace velkora::testing
