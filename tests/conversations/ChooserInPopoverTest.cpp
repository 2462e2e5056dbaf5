// The new-message chooser shown in the menu's popover: its talk-to-us screen keeps the popover open.
#include <gtest/gtest.h>

#include "InboxFixture.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"

namespace velkora::testing {
namespace {

struct PopoverContainer : InboxContainer {
    bool isUsingPopover() override { return true; }
};

TEST_F(InboxTest, TalkToUsFromTheChooserInAPopoverStaysModalInThePopover) {
    startUser();
    serveConfiguration(R"({"appName":"Test","features":[{"id":"feedback"}]})");
    container_ = std::make_shared<PopoverContainer>();
    auto chooser = VelkoraNewMessageChooserViewController::create();
    show(chooser);
    ASSERT_TRUE(settle());
    chooser->recipientsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    auto talk = std::dynamic_pointer_cast<VelkoraFeedbackTalkToUsViewController>(nav_->presentedViewController());
    ASSERT_TRUE(talk);
    EXPECT_EQ(talk->modalPresentationStyle(), ui::ModalPresentationStyle::CurrentContext);
    EXPECT_TRUE(talk->isModalInPopover()) << "a tap beside the popover would close it over the text";
    chooser->dismissTalkToUs();
    loop().advance(1);
}

} // namespace
} // namespace velkora::testing
