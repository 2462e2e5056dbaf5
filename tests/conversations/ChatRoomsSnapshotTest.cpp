// The topic as people see it, on a phone and a tablet: the header with its content, own and others'
// comments of each kind, an ad row, and each strip.
#include "ChatRoomsFixture.h"
#include "platform/ui/TextLayout.h"

namespace velkora::testing {
namespace {

class ChatRoomsSnapshotTest : public ChatRoomsTest {
protected:
    // A topic with a text, a sticker and a picture from another user and a text of the user's own, and an
    // ad at row 2.
    std::shared_ptr<VelkoraChatRoomsTopicViewController> openFilledTopic(bool topNewest) {
        configure(topNewest, 20, 5, 3600);
        svc.setAppConfiguration(kApp, R"({"appName":"Test","adData":{"numAdsInTimeFrame":5,"timeFrame":3600},
            "topicAds":[{"type":0,"position":2}]})");
        const auto topicId = svc.addTopic(kApp, "Say hello and tell us where you are from",
                                          "<p>Leave a comment with your <b>city</b> and a sticker.</p>");
        const auto other = otherUser("Otto", "Other");
        startSignedIn();
        svc.addTopicComment(kApp, topicId, other, "Hello from Lisbon! The weather is lovely today 🌞", "text/plain",
                            7200);
        svc.addTopicComment(kApp, topicId, other, svc.baseUrl() + "/pictures/stickers/doodles/3.png", "sticker", 3600);
        svc.addTopicComment(kApp, topicId, other, svc.baseUrl() + "/pictures/rooms/sketch.png", "image", 600);
        svc.addTopicComment(kApp, topicId, me_, "Greetings from Oslo.", "text/plain", 60);
        loadTopics();
        auto screen = openTopic(topicId);
        EXPECT_TRUE(topicShown(screen, 4));
        EXPECT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 1; }));
        EXPECT_TRUE(picturesLoaded());
        loop().advance(1);
        window_->layoutIfNeeded();
        EXPECT_TRUE(picturesLoaded());
        return screen;
    }
    void addFromOther(int64_t topicId) {
        svc.addTopicComment(kApp, topicId, otherUser("Nia", "New"), "Just arrived!");
        poll();
    }
};

TEST_F(ChatRoomsSnapshotTest, PhoneTopicWithEveryKindOfRowThenTheNewCommentsFooter) {
    auto screen = openFilledTopic(false);
    // Each writer's picture fills its round frame and no more, whatever size the picture came in.
    int rows = 0;
    for (auto& cell : screen->commentsTableView()->visibleCells())
        if (auto row = std::dynamic_pointer_cast<VelkoraChatRoomsTopicTableCell>(cell)) {
            ++rows;
            EXPECT_EQ(row->userImageView()->frame(), row->userImageFrameView()->frame());
            // The comment has room for every line as drawn, its writer's bold name included.
            const auto& label = row->commentLabel();
            if (label && label->attributedText() && !label->isHidden()) {
                const double needed =
                    ui::measureText(*label->attributedText(), label->frame().width(), 0, label->lineBreakMode()).height;
                EXPECT_GE(label->frame().height() + 0.5, needed) << label->attributedText()->string();
            }
        }
    EXPECT_GE(rows, 2);
    expectLooksLike("topic_phone");
    addFromOther(screen->topic()->topicId());
    ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 1; }));
    // Oldest first, the offer of new comments ends the table.
    ASSERT_TRUE(screen->footerView());
    EXPECT_EQ(screen->commentsTableView()->tableFooterView(), screen->footerView());
    EXPECT_EQ(screen->footerView()->refreshCommentsLabel()->text(), "1 new comment");
}

TEST_F(ChatRoomsSnapshotTest, TabletTopicNewestFirstWithTheNewCommentsStrip) {
    becomeTablet();
    auto screen = openFilledTopic(true);
    addFromOther(screen->topic()->topicId());
    ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 1; }));
    window_->layoutIfNeeded();
    ASSERT_TRUE(picturesLoaded());
    // The suggested application's icon has come: its row shows it, not the spinner it waits behind.
    int adRows = 0;
    for (auto& cell : screen->commentsTableView()->visibleCells())
        if (auto ad = std::dynamic_pointer_cast<VelkoraChatRoomsTopicNativeAppAdCell>(cell)) {
            ++adRows;
            EXPECT_TRUE(ad->appIconImageView()->imageLoaded());
        }
    EXPECT_EQ(adRows, 1);
    expectLooksLike("topic_tablet_new_strip");
}

TEST_F(ChatRoomsSnapshotTest, PhoneTopicWithTheEarlierCommentsStrip) {
    configure(false, 3, 0, 0);
    svc.setAppConfiguration(kApp, R"({"appName":"Test","maxMessagesPerUpdate":3})");
    const auto topicId = svc.addTopic(kApp, "Paged room", "<p>Many comments.</p>");
    const auto other = otherUser("Otto", "Other");
    for (int i = 0; i < 5; ++i)
        svc.addTopicComment(kApp, topicId, other, "Comment number " + std::to_string(i + 1), "text/plain",
                            3600.0 * (5 - i));
    startSignedIn();
    loadTopics();
    auto screen = openTopic(topicId);
    ASSERT_TRUE(topicShown(screen, 3));
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("topic_phone_earlier_strip");
}

} // namespace
} // namespace velkora::testing
