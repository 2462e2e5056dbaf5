// The confirmation dialog and the notice: their own windows above the host's, the answer before the
// close, taps outside, rotation, lifetimes through the window and the timer, and how they look.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "WidgetFixture.h"
#include "WidgetSnapshot.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/ViewController.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraDefaultOKPopupView.h"

using namespace velkora;

namespace {

class PopupTest : public velkora::testing::WidgetFixture {
protected:
    void SetUp() override {
        WidgetFixture::SetUp();
        host_ = ui::Window::createFullScreen();
        host_->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        auto heading = ui::Label::create({20, 40, 280, 30});
        heading->setText("Host application");
        heading->setFont(ui::Font::boldSystemFont(22));
        host_->addSubview(heading);
        host_->makeKeyAndVisible();
    }
    void TearDown() override {
        host_.reset();
        WidgetFixture::TearDown();
    }

    static std::shared_ptr<VelkoraDefaultOKPopupView> question() {
        auto popup = VelkoraDefaultOKPopupView::initFromNibCancel("Delete", "Cancel");
        popup->titleLabel()->setText("Delete conversation");
        popup->messageLable()->setText("The messages with Mary Ann will be gone from this device.");
        return popup;
    }
    // The centre of a view of the dialog, in its window (which covers the screen).
    static ui::Point centreOf(const ui::View& v) { return v.convertPointToView(v.bounds().center(), nullptr); }
    static void tap(const std::shared_ptr<ui::Window>& window, ui::Point p) { ui::TouchDriver(window).tap(p); }

    std::shared_ptr<ui::Window> host_;
};

// Records the answers, and what it saw of the dialog while answering.
struct Answers : VelkoraDefaultOKPopupViewDelegate {
    std::vector<std::string> heard;
    std::weak_ptr<VelkoraDefaultOKPopupView> asking;
    bool dialogWasShowingWhenAnswered = false;
    std::function<void()> onOk;
    void popupOkTapped() override {
        heard.push_back("ok");
        auto d = asking.lock();
        dialogWasShowingWhenAnswered = d && d->alertWindow() && !d->alertWindow()->isHidden();
        if (onOk) onOk();
    }
    void popupCancelTapped() override { heard.push_back("cancel"); }
};

TEST_F(PopupTest, TheDialogSitsInItsOwnAlertWindowAboveTheHostCentredOnTheView) {
    std::weak_ptr<VelkoraDefaultOKPopupView> weak;
    {
        auto popup = question();
        weak = popup;
        popup->showInView(host_.get());
    }
    auto popup = weak.lock();
    ASSERT_TRUE(popup) << "the window keeps the dialog alive";
    {
        auto windows = ui::Application::instance().windows();
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_EQ(windows.back(), popup->alertWindow());
    }
    EXPECT_EQ(popup->alertWindow()->windowLevel(), ui::WindowLevel::Alert);
    EXPECT_EQ(popup->alertWindow()->frame(), ui::Screen::main().bounds());
    EXPECT_GT(popup->alertWindow()->backgroundColor().a, 0.2) << "what is behind a question is shaded";
    EXPECT_TRUE(popup->alertWindow()->isKeyWindow());
    EXPECT_EQ(popup->frame(), (ui::Rect{20, 199, 280, 170}));
    EXPECT_EQ(popup->okButton()->titleForState(ui::ControlStateHighlighted), "Delete");
    EXPECT_EQ(popup->cancelButton()->titleForState(ui::ControlStateNormal), "Cancel");
    // A finger on the dialog reaches the dialog, not the host below it.
    ui::Window* hit = nullptr;
    ui::View* view = ui::Application::instance().hitTest(centreOf(*popup->titleLabel()), &hit);
    EXPECT_EQ(hit, popup->alertWindow().get());
    EXPECT_TRUE(view && view->isDescendantOfView(popup.get()));

    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfScreen(), "popup_phone_ok_cancel");
    popup->close();
    popup.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(ui::Application::instance().windows().size(), 1u);
    EXPECT_TRUE(host_->isKeyWindow());
}

TEST_F(PopupTest, TheDelegateHearsTheAnswerWhileTheDialogStillShowsAndMayAskAgain) {
    auto answers = std::make_shared<Answers>();
    std::weak_ptr<VelkoraDefaultOKPopupView> first, second;
    {
        auto popup = question();
        popup->setDelegate(answers);
        popup->showInView(host_.get());
        first = answers->asking = popup;
    }
    answers->onOk = [&] {
        auto next = VelkoraDefaultOKPopupView::initFromNib("OK");
        next->setDelegate(answers);
        next->titleLabel()->setText("Deleted");
        next->showInView(host_.get());
        second = next;
    };
    tap(first.lock()->alertWindow(), centreOf(*first.lock()->okButton()));
    EXPECT_EQ(answers->heard, std::vector<std::string>{"ok"});
    EXPECT_TRUE(answers->dialogWasShowingWhenAnswered);
    EXPECT_TRUE(first.expired());
    auto next = second.lock();
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->alertWindow()->isKeyWindow());
    EXPECT_FALSE(next->cancelButton());

    // Cancel of a two-button dialog; and no delegate at all only closes.
    answers->onOk = nullptr;
    auto asking = question();
    asking->setDelegate(answers);
    asking->showInView(host_.get());
    tap(asking->alertWindow(), centreOf(*asking->cancelButton()));
    EXPECT_EQ(answers->heard, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_FALSE(asking->alertWindow());
    asking.reset();

    std::weak_ptr<VelkoraDefaultOKPopupView> alone = next;
    next->setDelegate({});
    tap(next->alertWindow(), centreOf(*next->okButton()));
    next.reset();
    EXPECT_TRUE(alone.expired());
    EXPECT_EQ(answers->heard.size(), 2u);
}

TEST_F(PopupTest, ATapOutsideClosesSilentlyUnlessTouchesOutsideAreDisabled) {
    struct Case {
        bool disableTouchesOutside;
        ui::Point where;
        bool closes;
    } cases[] = {
        {false, {10, 20}, true},   // above and left of the dialog
        {false, {160, 500}, true}, // below it
        {false, {30, 220}, false}, // inside the body, off the buttons
        {true, {10, 20}, false},
    };
    for (const auto& c : cases) {
        auto answers = std::make_shared<Answers>();
        std::weak_ptr<VelkoraDefaultOKPopupView> weak;
        std::shared_ptr<ui::Window> window;
        {
            auto popup = question();
            popup->setDelegate(answers);
            popup->showInView(host_.get(), c.disableTouchesOutside);
            EXPECT_EQ(bool(popup->gestureHandler()), !c.disableTouchesOutside);
            weak = popup;
            window = popup->alertWindow();
        }
        tap(window, c.where);
        EXPECT_EQ(weak.expired(), c.closes) << c.where.x << "," << c.where.y;
        EXPECT_TRUE(answers->heard.empty());
        if (auto left = weak.lock()) left->close();
        EXPECT_TRUE(weak.expired());
    }
}

TEST_F(PopupTest, ARotationClosesTheDialogOrTurnsItWithTheStatusBar) {
    auto& app = ui::Application::instance();
    auto answers = std::make_shared<Answers>();
    std::weak_ptr<VelkoraDefaultOKPopupView> weak;
    {
        auto popup = question();
        popup->setDelegate(answers);
        popup->showInView(host_.get());
        weak = popup;
    }
    app.setStatusBarOrientation(ui::InterfaceOrientationLandscapeLeft);
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(answers->heard.empty());

    app.setStatusBarOrientation(ui::InterfaceOrientationPortrait);
    auto popup = question();
    popup->setCloseOnOrientationChange(false);
    popup->showInView(host_.get());
    const ui::Point centre = popup->center();
    struct Case {
        int orientation;
        double angle;
    } cases[] = {{ui::InterfaceOrientationLandscapeRight, M_PI / 2},
                 {ui::InterfaceOrientationPortraitUpsideDown, M_PI},
                 {ui::InterfaceOrientationLandscapeLeft, -M_PI / 2},
                 {ui::InterfaceOrientationPortrait, 0}};
    for (const auto& c : cases) {
        app.setStatusBarOrientation(c.orientation);
        ASSERT_TRUE(popup->alertWindow()) << c.orientation;
        const auto& t = popup->transform();
        EXPECT_NEAR(t.a, std::cos(c.angle), 1e-9) << c.orientation;
        EXPECT_NEAR(t.b, std::sin(c.angle), 1e-9) << c.orientation;
        EXPECT_EQ(popup->center(), centre) << c.orientation;
    }
    popup->close();
}

TEST_F(PopupTest, WithoutAViewOrABodyTheDialogStillShowsAndCloses) {
    foundation::Log::Capture capture;
    auto centred = VelkoraDefaultOKPopupView::initFromNib("OK");
    centred->showInView(nullptr);
    EXPECT_EQ(centred->frame(), (ui::Rect{20, 199, 280, 170}));
    EXPECT_TRUE(capture.contains("Velkora (W) - Popup shown without a view; centred on the screen"));
    centred->close();
    centred->close();                 // twice does no harm
    centred->showInView(host_.get()); // nor does showing a closed one
    EXPECT_FALSE(centred->alertWindow());

    std::weak_ptr<VelkoraDefaultOKPopupView> weak;
    {
        auto bodiless = VelkoraDefaultOKPopupView::initWithCustomNib("VelkoraNoSuchPopupView", "OK", "Cancel");
        EXPECT_FALSE(bodiless->toplevelView());
        EXPECT_TRUE(bodiless->frame().isEmpty());
        bodiless->showInView(host_.get());
        weak = bodiless;
        // Every touch is outside a dialog without a body.
        tap(bodiless->alertWindow(), {160, 284});
    }
    EXPECT_TRUE(weak.expired());
}

TEST_F(PopupTest, TheNoticeIsGoneExactlyTwoSecondsAfterItShows) {
    std::weak_ptr<VelkoraDefaultNotificationPopupView> weak;
    {
        auto toast = VelkoraDefaultNotificationPopupView::initFromNib("Mary Ann was blocked");
        EXPECT_EQ(toast->titleLabel()->text(), "Mary Ann was blocked");
        weak = toast;
        loop().advance(5); // made but not shown: nothing runs out
        toast->showInView(host_.get());
    }
    auto toast = weak.lock();
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->alertWindow()->windowLevel(), ui::WindowLevel::Alert);
    EXPECT_EQ(toast->alertWindow()->backgroundColor().a, 0) << "a passing notice leaves the screen unshaded";
    EXPECT_TRUE(toast->alertWindow()->isKeyWindow());
    EXPECT_EQ(toast->frame(), (ui::Rect{40, 258, 240, 52}));
    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfScreen(), "popup_toast");
    toast.reset();

    loop().advance(1.999);
    ASSERT_FALSE(weak.expired());
    EXPECT_FALSE(weak.lock()->alertWindow()->isHidden());
    loop().advance(0.001);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(ui::Application::instance().windows().size(), 1u);
}

TEST_F(PopupTest, ALongTitleShrinksToShowWholeInEveryDialogsFile) {
    // An application's name makes the welcome title long; the dialog's width is fixed.
    const std::string title = "Welcome to Velkora Demo Deluxe";
    for (bool tablet : {false, true}) {
        if (tablet) becomeTablet();
        for (const char* file :
             {"VelkoraOKPopupView", "VelkoraOKCancelPopupView", "VelkoraSignInPopup", "VelkoraSignUpPopup"}) {
            SCOPED_TRACE(std::string(file) + (tablet ? " on a tablet" : ""));
            auto popup = VelkoraDefaultOKPopupView::initWithCustomNib(file, "OK", "Cancel");
            ASSERT_TRUE(popup->titleLabel());
            const ui::Label& label = *popup->titleLabel();
            popup->titleLabel()->setText(title);
            const ui::Font font = label.fittingFont();
            EXPECT_LE(ui::measureText(title, font, 0, 1).width, label.bounds().width());
            EXPECT_GE(font.pointSize(), label.font()->pointSize() * 0.7) << "still a title, not small print";
            popup->close();
        }
    }
}

TEST_F(PopupTest, TabletsGetTheLargerDialogs) {
    becomeTablet();
    host_ = ui::Window::createFullScreen();
    host_->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    host_->makeKeyAndVisible();
    auto popup = VelkoraDefaultOKPopupView::initFromNib("OK");
    popup->titleLabel()->setText("Feedback sent");
    popup->messageLable()->setText("Thank you! We read every message.");
    popup->showInView(host_.get());
    EXPECT_EQ(popup->frame(), (ui::Rect{174, 392, 420, 240}));
    EXPECT_FALSE(popup->cancelButton());
    velkora::testing::expectMatchesReference(ui::Snapshot::imageOfScreen(0.5), "popup_tablet_ok");
    popup->close();

    auto toast = VelkoraDefaultNotificationPopupView::initFromNib("Report sent");
    EXPECT_EQ(toast->frame().size, (ui::Size{360, 76}));
    toast->showInView(host_.get());
    loop().advance(2);
    EXPECT_FALSE(toast->alertWindow());
}

} // namespace
