// The topic list: the spinner until the first list, new topics on top, ages on the service's clock,
// the mark of unseen comments and what a tap on a row does.
#include "ChatRoomsFixture.h"
#include "platform/ui/ImageView.h"
#include "shell/VelkoraTimeIntervalDisplay.h"
#include "support/ScratchInterfaces.h"

namespace velkora::testing {
namespace {

class ChatRoomsListTest : public ChatRoomsTest {
protected:
    std::vector<std::string> rowTitles(VelkoraChatRoomsViewController& list) {
        std::vector<std::string> titles;
        for (const auto& t : list.activeTopics())
            titles.push_back(t->title().value_or(""));
        return titles;
    }
    std::shared_ptr<VelkoraChatRoomsTableCell> cellAt(VelkoraChatRoomsViewController& list, int row) {
        return std::dynamic_pointer_cast<VelkoraChatRoomsTableCell>(
            list.topicsTable()->cellForRowAtIndexPath(ui::IndexPath::of(row, 0)));
    }
};

TEST_F(ChatRoomsListTest, SpinsUntilTheListThenTakesNewTopicsOnTopAndReloadsOnRemovals) {
    svc.addTopic(kApp, "Oldest room", "<p>one</p>");
    const auto second = svc.addTopic(kApp, "Second room", "<p>two</p>");
    startSignedIn();
    svc.addFault({"getTopics", service::Fault::Kind::Delay, "", 500, 2.0, 1});
    auto list = VelkoraChatRoomsViewController::initFromNib(true);
    show(list);
    EXPECT_TRUE(list->activityIndicator()->isAnimating());
    EXPECT_TRUE(list->activeTopics().empty());

    ASSERT_TRUE(waitFor([&] { return list->activeTopics().size() == 2; }));
    EXPECT_FALSE(list->activityIndicator()->isAnimating());
    EXPECT_EQ(list->topicsTable()->numberOfRowsInSection(0), 2);

    loop().advance(2);
    svc.addTopic(kApp, "Third room");
    loop().advance(2);
    svc.addTopic(kApp, "Fourth room");
    poll();
    ASSERT_TRUE(waitFor([&] { return list->activeTopics().size() == 4; }));
    EXPECT_EQ(rowTitles(*list)[0], "Fourth room");
    EXPECT_EQ(rowTitles(*list)[1], "Third room");
    EXPECT_EQ(list->topicsTable()->numberOfRowsInSection(0), 4);
    EXPECT_TRUE(list->topicsTable()->lastUpdateError().empty()) << list->topicsTable()->lastUpdateError();

    // One topic comes as another goes: the rows follow the list without a failed update.
    loop().advance(2);
    svc.addTopic(kApp, "Fifth room");
    svc.removeTopic(kApp, second);
    poll();
    ASSERT_TRUE(waitFor([&] { return rowTitles(*list).front() == "Fifth room"; }));
    EXPECT_EQ(rowTitles(*list), (std::vector<std::string>{"Fifth room", "Fourth room", "Third room", "Oldest room"}));
    EXPECT_EQ(list->topicsTable()->numberOfRowsInSection(0), 4);
    EXPECT_TRUE(list->topicsTable()->lastUpdateError().empty()) << list->topicsTable()->lastUpdateError();
}

// Without the row's interface file no row can be drawn: the rows take no room, and no height is negative.
TEST_F(ChatRoomsListTest, WithoutTheRowsInterfaceFileRowsTakeNoRoom) {
    svc.addTopic(kApp, "Only room", "<p>one</p>");
    startSignedIn();
    ScratchInterfaces files({"VelkoraChatRoomsCell"});
    auto list = VelkoraChatRoomsViewController::initFromNib(true);
    show(list);
    ASSERT_TRUE(waitFor([&] { return list->activeTopics().size() == 1; }));
    EXPECT_EQ(list->heightForRowAtIndexPath(*list->topicsTable(), ui::IndexPath::of(0, 0)), 0);
}

TEST_F(ChatRoomsListTest, AgesAreRelativeBelowTwoDaysAndADateAbove) {
    startSignedIn();
    // The service's now, as the kit reckons it.
    const double now = VelkoraServerClientAgent::instance().getServerTimeDiff(0);
    const std::string recent = VelkoraChatRoomsTableCell::getLastCommentTimeString(now - 47 * 3600);
    const std::string old = VelkoraChatRoomsTableCell::getLastCommentTimeString(now - 49 * 3600);
    EXPECT_EQ(recent, VelkoraTimeIntervalDisplay::getLongDisplayString(47 * 3600));
    EXPECT_EQ(old, VelkoraTimeIntervalDisplay::getJustDate(
                       VelkoraServerClientAgent::instance().getDateWithServerDiff(now - 49 * 3600)));
    EXPECT_NE(old.find(','), std::string::npos) << old; // "MMM dd, yyyy"
    EXPECT_EQ(VelkoraChatRoomsTableCell::getLastCommentTimeString(std::nullopt), "");
}

TEST_F(ChatRoomsListTest, TappingAMarkedTopicClearsMarkAndFlagAndOpensTheTopic) {
    const auto topicId = svc.addTopic(kApp, "Busy room", "<p>Talk</p>");
    const auto other = otherUser("Otto", "Other");
    startSignedIn();
    loadTopics();
    auto list = VelkoraChatRoomsViewController::initFromNib(true);
    show(list);
    loop().advance(2);
    svc.addTopicComment(kApp, topicId, other, "Anyone here?");
    poll();
    ASSERT_TRUE(waitFor([&] { return repository().isTopicCommentsFlagOn(int32_t(topicId)); }));
    list->topicsTable()->reloadData();
    window_->layoutIfNeeded();
    auto cell = cellAt(*list, 0);
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->newCommentsMark());

    ASSERT_TRUE(list->topicsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0)));
    EXPECT_FALSE(cell->newCommentsMark());
    EXPECT_FALSE(repository().isTopicCommentsFlagOn(int32_t(topicId)));
    loop().advance(1);
    auto topic = std::dynamic_pointer_cast<VelkoraChatRoomsTopicViewController>(nav_->topViewController());
    ASSERT_TRUE(topic);
    EXPECT_EQ(topic->topic()->topicId(), topicId);
}

TEST_F(ChatRoomsListTest, ListLooksRight) {
    const auto plain = svc.addTopic(kApp, "Say hello and tell us where you are from, in as many words as you like");
    svc.addTopic(kApp, "Photo of the week", "<p>x</p>", svc.baseUrl() + "/pictures/topics/week.png");
    const auto other = otherUser("Otto", "Other");
    startSignedIn();
    loadTopics();
    auto list = VelkoraChatRoomsViewController::initFromNib(true);
    show(list);
    loop().advance(2);
    svc.addTopicComment(kApp, plain, other, "First!");
    poll();
    ASSERT_TRUE(waitFor([&] { return repository().isTopicCommentsFlagOn(int32_t(plain)); }));
    list->topicsTable()->reloadData();
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("rooms_list");
}

} // namespace
} // namespace velkora::testing
