// The comment rows and the strip below them: the picture's size rule, the small copy's address, the label
// and its measure, a row's height against its laid-out end, and where a strip's tap goes.
#include "ChatRoomsFixture.h"
#include "feed/VelkoraFeedCellMeasure.h"
#include "platform/ui/layout/LayoutConstraint.h"

namespace velkora::testing {
namespace {

TEST(ChatRoomsImageSize, HeightFirstThenWidthWithinTheMaximum) {
    struct Case {
        ui::Size image, max, shown;
    };
    const std::vector<Case> cases = {
        {{400, 100}, {200, 200}, {200, 50}},
        {{100, 400}, {200, 200}, {50, 200}},
        {{500, 400}, {200, 300}, {375, 300}},
        {{150, 120}, {200, 200}, {150, 120}},
    };
    for (const auto& c : cases) {
        const ui::Size s = VelkoraChatRoomsTopicImageTableCell::fittedImageSize(c.image, c.max.width, c.max.height);
        EXPECT_DOUBLE_EQ(s.width, c.shown.width) << c.image.width << "x" << c.image.height;
        EXPECT_DOUBLE_EQ(s.height, c.shown.height) << c.image.width << "x" << c.image.height;
    }
}

TEST(ChatRoomsSmallCopy, SmallGoesBeforeTheLastDot) {
    EXPECT_EQ(velkoraCommentSmallImageUrl("https://h.example/images/12.jpg"), "https://h.example/images/12_small.jpg");
    EXPECT_EQ(velkoraCommentSmallImageUrl("https://h.example/im.ages/12"), "https://h.example/im_small.ages/12");
    EXPECT_EQ(velkoraCommentSmallImageUrl("https://127.0.0.1:8443/images/12"), "https://127.0.0.1:8443/images/12");
    EXPECT_EQ(velkoraCommentSmallImageUrl("no-dot-at-all"), "no-dot-at-all");
}

class ChatRoomsCellsTest : public ChatRoomsTest {
protected:
    VelkoraChatRoomsCommentPtr comment(const std::string& type, const std::string& text, const std::string& first,
                                       const std::string& userId = "u-1") {
        auto c = std::make_shared<VelkoraChatRoomsComment>();
        c->setCommentId(++next_);
        c->setContentType(type);
        c->setText(text);
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setUserId(userId);
        u->setFirstName(first);
        c->setUser(u);
        return c;
    }
    int32_t next_ = 0;
};

TEST_F(ChatRoomsCellsTest, ARowsHeightIsWhereItsLaidOutEndIs) {
    registerKitScreens();
    const std::string longText(700, 'w');
    std::vector<std::pair<std::shared_ptr<VelkoraChatRoomsTopicTableCell>, VelkoraChatRoomsCommentPtr>> rows = {
        {VelkoraChatRoomsTopicCommentTableCell::initFromNib(), comment("text/plain", "Hi", "Al")},
        {VelkoraChatRoomsTopicCommentTableCell::initFromNib(),
         comment("text/plain", "short words 🎉 " + longText, "Bea")},
        {VelkoraChatRoomsTopicStickerTableCell::initFromNib(), comment("sticker", "https://h.example/s.png", "Cy")},
        {VelkoraChatRoomsTopicImageTableCell::initFromNib(), comment("image", "https://h.example/p.jpg", "Dee Dee")},
    };
    for (auto& [cell, c] : rows) {
        ASSERT_TRUE(cell);
        SCOPED_TRACE(*c->text());
        cell->setFrame(ui::Rect(0, 0, 320, cell->frame().height()));
        const double h = cell->updateData(c);
        cell->layoutIfNeeded();
        EXPECT_NEAR(h, cell->commentEndView()->frame().maxY(), 0.5);
        if (auto image = std::dynamic_pointer_cast<VelkoraChatRoomsTopicImageTableCell>(cell))
            image->commentImageView()->cancelPreviousCalls();
    }
}

TEST_F(ChatRoomsCellsTest, ShortLabelsMeasureAsSixDigitsAndOnlyTheNameIsALink) {
    registerKitScreens();
    auto cell = VelkoraChatRoomsTopicStickerTableCell::initFromNib();
    ASSERT_TRUE(cell);
    cell->updateData(comment("sticker", "https://h.example/s.png", "Al"));
    const auto& label = *cell->commentLabel();
    EXPECT_EQ(label.text(), "Al");
    const ui::Font font = *label.font();
    const double expected = ui::measureText("123456", font, 1000, 0, ui::LineBreakMode::WordWrap).height;
    EXPECT_NEAR(cell->commentLabelHeightConstraint()->constant(), std::min(expected, 1000.0) + 5, 0.01);
    cell->stickerView()->cancelPreviousCalls();

    auto text = VelkoraChatRoomsTopicCommentTableCell::initFromNib();
    text->updateData(comment("text/plain", "hello there", "Bea", "u-77"));
    EXPECT_EQ(text->commentLabel()->text(), "Bea hello there");
    ASSERT_EQ(text->commentLabel()->links().size(), 1u);
    EXPECT_EQ(text->commentLabel()->links()[0].replacementString, "u-77");
    EXPECT_EQ(text->commentLabel()->links()[0].range.location, 0u);
    EXPECT_EQ(text->commentLabel()->links()[0].range.length, 3u);

    // A comment without a writer offers no button.
    auto orphan = comment("text/plain", "who wrote this", "X");
    orphan->setUser(nullptr);
    text->updateData(orphan);
    EXPECT_TRUE(text->deleteButton()->isHidden());
}

struct FooterListener : VelkoraChatRoomsCommentsFooterDelegate {
    int fresh = 0, earlier = 0;
    void newCommentsClicked() override { ++fresh; }
    void loadEarlierCommentsClicked() override { ++earlier; }
};

TEST_F(ChatRoomsCellsTest, AFooterTapGoesWhereItsKindSays) {
    registerKitScreens();
    auto listener = std::make_shared<FooterListener>();
    VelkoraChatRoomsCommentsFooterView::initFromNib(listener, true, "2 new comments")->refreshCommentsClicked(nullptr);
    VelkoraChatRoomsCommentsFooterView::initFromNib(listener, false, "Earlier")->refreshCommentsClicked(nullptr);
    VelkoraChatRoomsCommentsFooterView::initFromNib({}, true, "nobody")->refreshCommentsClicked(nullptr);
    EXPECT_EQ(listener->fresh, 1);
    EXPECT_EQ(listener->earlier, 1);
}

} // namespace
} // namespace velkora::testing
