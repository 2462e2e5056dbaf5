// The style hooks the feed's controls and cells send while they are made, each with its screen, and the
// redraw a sign-in change brings.
#include <gtest/gtest.h>

#include <set>

#include "FeedCellsFixture.h"
#include "feed/VelkoraCommentButton.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "data/VelkoraUserInfo.h"
#include "session/VelkoraStyleSheetProtocol.h"

namespace velkora::testing {
namespace {

// A host style sheet that writes down each hook with the screen it came with.
class RecordingSheet : public VelkoraStyleSheetProtocol {
public:
    std::set<std::string> calls;
#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    void name(ui::View* element, uint32_t screen) override {                                                           \
        if (element) calls.insert(std::string(#name) + "@" + std::to_string(screen));                                  \
    }
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK
};

class StyleHooksTest : public FeedCellsTest {
protected:
    void TearDown() override {
        VelkoraStyleSheetCustomizer::resetForTests();
        FeedCellsTest::TearDown();
    }
};

TEST_F(StyleHooksTest, ControlsAndCellsSendTheirHooksWithTheirScreens) {
    auto sheet = std::make_shared<RecordingSheet>();
    VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(sheet);
    struct Case {
        const char* name;
        std::function<void()> make;
        std::set<std::string> expected;
    } cases[] = {
        {"like button",
         [] { VelkoraLikeButton::create(); },
         {"customizeLikeOnButton@0", "customizeLikeOffButton@0", "customizeDefaultButtonStyle@0"}},
        {"comment button",
         [] { VelkoraCommentButton::create(); },
         {"customizeChatroomHeaderCommentsButton@5", "customizeDefaultButtonStyle@5"}},
        {"kind 1",
         [] { VelkoraFeedTableCell::initFromNib({}); },
         {"customizeTableCellTitleLabel@5", "customizeTableCellTimeLabel@5", "customizeTableCellSeparatorView@5",
          "customizeTableCellSelectedBackgroundView@5", "customizeUserPhotoFrameImage@5",
          "customizeTableCellFollowButton@5", "customizeTableCellUnfollowButton@5", "customizeDefaultButtonStyle@5"}},
        {"kind 3",
         [] { VelkoraFeedLikeActivityCell::initFromNib({}); },
         {"customizeTableCellTitleLabel@5", "customizeTableCellDescriptionLabel@5", "customizeTableCellTimeLabel@5",
          "customizeTableCellSubDescLabel@5", "customizeTableCellSeparatorView@5",
          "customizeTableCellSelectedBackgroundView@5", "customizeUserPhotoFrameImage@5",
          "customizeActivityBackgroundView@5", "customizeTableCellCustomActionButton@5",
          "customizeDefaultButtonStyle@5", "customizeLikeOnButton@0", "customizeLikeOffButton@0",
          "customizeDefaultButtonStyle@0"}},
        {"kind 4",
         [] { VelkoraFeedLikeImageCell::initFromNib({}); },
         {"customizeTableCellTitleLabel@5", "customizeTableCellTimeLabel@5", "customizeTableCellSeparatorView@5",
          "customizeTableCellSelectedBackgroundView@5", "customizeUserPhotoFrameImage@5",
          "customizeActivityBackgroundView@5", "customizeChatroomHeaderCommentsButton@5",
          "customizeTableCellShareButton@5", "customizeDefaultButtonStyle@5", "customizeLikeOnButton@0",
          "customizeLikeOffButton@0", "customizeDefaultButtonStyle@0"}},
        {"kind 6",
         [] { VelkoraFeedLikeTopicCommentCell::initFromNib({}); },
         {"customizeTableCellTitleLabel@5", "customizeTableCellDescriptionLabel@5", "customizeTableCellTimeLabel@5",
          "customizeTableCellSubDescLabel@5", "customizeTableCellSeparatorView@5",
          "customizeTableCellSelectedBackgroundView@5", "customizeUserPhotoFrameImage@5",
          "customizeActivityBackgroundView@5", "customizeLikeOnButton@0", "customizeLikeOffButton@0",
          "customizeDefaultButtonStyle@0"}},
    };
    for (const auto& c : cases) {
        sheet->calls.clear();
        c.make();
        EXPECT_EQ(sheet->calls, c.expected) << c.name;
    }
}

TEST_F(StyleHooksTest, ASignInChangeRedrawsWithTheNewUsersLikes) {
    startReady();
    auto button = VelkoraLikeButton::create({0, 0, 64, 28});
    auto object = std::make_shared<VelkoraLikeObject>();
    object->setData(std::string("pic-signin"));
    object->setAppId(std::string(kApp));
    object->setNumLikes(3);
    button->updateLikeObject(object);
    EXPECT_FALSE(button->shownLiked());
    // Another account's record, which liked the picture, takes over.
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    info->setObjectsMeLiked(std::set<std::string>{likeKey("pic-signin")});
    EXPECT_TRUE(button->likeOnButton()->isHidden() == false) << "nothing redraws before the change is told";
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserSigninChanged");
    EXPECT_TRUE(button->likeOnButton()->isHidden());
    EXPECT_FALSE(button->likeOffButton()->isHidden());
}

} // namespace
} // namespace velkora::testing
