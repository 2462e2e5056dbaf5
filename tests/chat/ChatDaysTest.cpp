// The chat's table without the network: filing by day in the device's zone, admission of the live stream,
// the order of older pages, the rows' measurement and its cache, the photo cell's and the viewer's sizes.
#include <gtest/gtest.h>

#include <ctime>

#include "ChatFixture.h"
#include "platform/ui/Utf16.h"

namespace velkora::testing {
namespace {

class ChatDaysTest : public ChatTest {
protected:
    void SetUp() override {
        ChatTest::SetUp();
        VelkoraServerApi::setUserId(std::string("me-1"));
        me_ = VelkoraUsersRepository::instance().userWithId("me-1");
        VelkoraAgentInternal::instance().setVelkoraUser(me_);
        other_ = VelkoraUsersRepository::instance().userWithId("other-1");
        third_ = VelkoraUsersRepository::instance().userWithId("third-1");
        for (auto* u : {&me_, &other_, &third_})
            (*u)->setUserId((*u) == me_ ? "me-1" : (*u) == other_ ? "other-1" : "third-1");
        freshSource();
    }
    void freshSource() {
        source_ = std::make_shared<VelkoraChatOneDataSource>();
        auto chat = std::make_shared<VelkoraChat>();
        chat->setUser(other_);
        source_->gotChat(chat);
    }
    void TearDown() override {
        agent().setTimeDifference(0);
        ChatTest::TearDown();
    }
    VelkoraMessagePtr message(int32_t id, const VelkoraUserPtr& from, const VelkoraUserPtr& to, const std::string& text,
                              std::optional<double> time, const std::string& type = "text/plain") {
        auto m = std::make_shared<VelkoraMessageInternal>();
        m->setMessageId(id);
        m->setSender(from);
        m->setOtherUser(to);
        m->setMessage(text);
        m->setContentType(type);
        if (time) m->setTime(*time);
        return m;
    }
    std::vector<std::string> sections() const {
        std::vector<std::string> out;
        for (int s = 0; s < static_cast<int>(source_->sectionsToDates().size()); ++s)
            out.push_back(source_->getSectionDateString(s));
        return out;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : source_->allMessages())
            out.push_back(m->message().value_or(""));
        return out;
    }

    VelkoraUserPtr me_, other_, third_;
    std::shared_ptr<VelkoraChatOneDataSource> source_;
};

TEST_F(ChatDaysTest, MessagesAreFiledUnderTheDayTheBubbleShows) {
    struct Case {
        const char* what;
        double serverAhead; // seconds the service's clock runs ahead of the device's
        std::vector<double> deviceTimes;
        std::vector<std::string> sections;
    } cases[] = {
        {"a minute either side of midnight",
         0,
         {berlin(2024, 3, 14, 23, 59, 30), berlin(2024, 3, 15, 0, 0, 30)},
         {"Mar,14 2024", "Mar,15 2024"}},
        {"the service 9 h ahead",
         9 * 3600,
         {berlin(2024, 3, 14, 23, 59, 30), berlin(2024, 3, 15, 0, 0, 30)},
         {"Mar,14 2024", "Mar,15 2024"}},
        {"the clock change skips 02:00", 0, {berlin(2024, 3, 31, 1, 30), berlin(2024, 3, 31, 3, 30)}, {"Mar,31 2024"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshSource();
        agent().setTimeDifference(c.serverAhead);
        std::vector<VelkoraMessagePtr> batch;
        int32_t id = 100;
        // Newest first, as the service sends them.
        for (auto it = c.deviceTimes.rbegin(); it != c.deviceTimes.rend(); ++it)
            batch.push_back(message(id--, other_, me_, "at " + std::to_string(*it), *it + c.serverAhead));
        EXPECT_EQ(source_->gotMessages(batch), static_cast<int>(c.deviceTimes.size()));
        EXPECT_EQ(sections(), c.sections);
    }
    // The day of the clock change begins at its own midnight.
    EXPECT_EQ(source_->dateWithoutTime(berlin(2024, 3, 31, 3, 30)), berlin(2024, 3, 31, 0, 0));
}

// The first load files a whole chat at once: it must agree with filing the same messages one by one,
// across clock changes, midnights and a message out of order.
TEST_F(ChatDaysTest, TheFirstLoadFilesAsOneByOneFilingDoes) {
    const std::vector<double> oldestFirst = {
        berlin(2024, 3, 30, 23, 59, 59), berlin(2024, 3, 31, 0, 0, 0), berlin(2024, 3, 31, 1, 59),
        berlin(2024, 3, 31, 3, 0),       berlin(2024, 3, 31, 23, 59),  berlin(2024, 4, 1, 0, 0, 1),
        berlin(2024, 10, 27, 0, 30),     berlin(2024, 10, 27, 23, 59), berlin(2024, 10, 28, 0, 0, 0),
        berlin(2024, 10, 28, 0, 0, 0),   berlin(2024, 10, 28, 9, 0),   berlin(2024, 10, 26, 12, 0),
        berlin(2024, 10, 28, 10, 0),
    };
    std::vector<VelkoraMessagePtr> newestFirst;
    for (size_t i = 0; i < oldestFirst.size(); ++i)
        newestFirst.insert(newestFirst.begin(), message(static_cast<int32_t>(i + 1), i % 2 ? me_ : other_,
                                                        i % 2 ? other_ : me_, "m" + std::to_string(i), oldestFirst[i]));
    for (const char* zone : {"Europe/Berlin", "America/New_York"}) {
        SCOPED_TRACE(zone);
        ASSERT_TRUE(foundation::DateFormatter::setCurrentTimeZoneIdentifier(zone));
        freshSource();
        source_->gotMessages(newestFirst);
        const auto oneByOne = std::pair{sections(), texts()};
        source_ = std::make_shared<VelkoraChatOneDataSource>();
        auto chat = std::make_shared<VelkoraChat>();
        chat->setUser(other_);
        chat->setMessages(newestFirst);
        source_->gotChat(chat);
        EXPECT_EQ(sections(), oneByOne.first);
        EXPECT_EQ(texts(), oneByOne.second);
        // Each under the midnight the calendar gives its own time.
        for (int s = 0; s < static_cast<int>(source_->sectionsToDates().size()); ++s)
            for (int r = 0; r < source_->numberOfRowsInSection(*ui::TableView::create(), s); ++r) {
                const auto m = source_->getMessageFromIndexPath(ui::IndexPath::of(r, s));
                EXPECT_EQ(source_->dateWithoutTime(*m->time()), source_->sectionsToDates()[size_t(s)]) << *m->message();
            }
        if (std::string(zone) == "Europe/Berlin") {
            EXPECT_EQ(sections(), (std::vector<std::string>{"Mar,30 2024", "Mar,31 2024", "Apr,1 2024", "Oct,26 2024",
                                                            "Oct,27 2024", "Oct,28 2024"}));
        }
        // Every message is held once: none is taken again.
        EXPECT_EQ(source_->gotMessages(newestFirst), 0);
    }
    foundation::DateFormatter::setCurrentTimeZoneIdentifier("Europe/Berlin");
}

TEST_F(ChatDaysTest, AMessageWithoutATimeShowsUnderToday) {
    EXPECT_EQ(source_->gotMessages({message(7, other_, me_, "no time", std::nullopt)}), 1);
    EXPECT_EQ(sections(),
              (std::vector<std::string>{foundation::DateFormatter("MMM,d yyyy").stringFromDate(loop().now())}));
    EXPECT_EQ(texts(), (std::vector<std::string>{"no time"}));
}

TEST_F(ChatDaysTest, AnOlderPageOnAShownDayGoesBeforeItsNewerRows) {
    const double day = berlin(2024, 5, 2, 12, 0);
    source_->gotMessages({message(51, me_, other_, "noon reply", day + 60), message(50, other_, me_, "noon", day)});
    // The same second twice: the id keeps the order they were stored in.
    source_->gotMessages({message(12, other_, me_, "morning b", day - 3 * 3600),
                          message(11, other_, me_, "morning a", day - 3 * 3600),
                          message(10, me_, other_, "yesterday", day - 86400)});
    source_->resort();
    EXPECT_EQ(sections(), (std::vector<std::string>{"May,1 2024", "May,2 2024"}));
    EXPECT_EQ(texts(), (std::vector<std::string>{"yesterday", "morning a", "morning b", "noon", "noon reply"}));
    EXPECT_EQ(source_->totalNumberOfMessages(), 5);
}

TEST_F(ChatDaysTest, OnlyThisConversationIsAdmittedAndEachMessageOnce) {
    const double t = berlin(2024, 5, 2, 12, 0);
    const int admitted = source_->gotMessages({
        message(5, third_, me_, "from a third user", t),
        message(4, me_, third_, "mine to a third user", t),
        message(3, me_, other_, "mine to this user", t),
        message(2, other_, me_, "from this user", t),
        message(2, other_, me_, "from this user", t),
    });
    EXPECT_EQ(admitted, 2);
    EXPECT_EQ(texts(), (std::vector<std::string>{"from this user", "mine to this user"}));
    // Sent from here and confirmed without an id: the service's copy from the poll is that row.
    auto sent = message(0, me_, other_, "sent here", t + 5);
    source_->addMessageToDateMessages(sent);
    EXPECT_EQ(source_->gotMessages({message(9, me_, other_, "sent here", t + 5)}), 0);
    EXPECT_EQ(sent->messageId(), 9);
    EXPECT_EQ(texts().size(), 3u);
}

TEST_F(ChatDaysTest, IndexPathsOutOfRangeHoldNoMessage) {
    source_->gotMessages({message(2, other_, me_, "one", berlin(2024, 5, 2, 12, 0))});
    EXPECT_TRUE(source_->getMessageFromIndexPath(ui::IndexPath::of(0, 0)));
    for (auto ip :
         {ui::IndexPath::of(1, 0), ui::IndexPath::of(0, 1), ui::IndexPath::of(-1, 0), ui::IndexPath::of(0, -1)})
        EXPECT_FALSE(source_->getMessageFromIndexPath(ip));
}

TEST_F(ChatDaysTest, TextsAreMeasuredPaddedAndRowsFollowTheirHeight) {
    auto cell = VelkoraMessageTableCell::initFromNib();
    ASSERT_TRUE(cell);
    const std::string accents = "e\xCC\x81\xCC\x81"
                                "e";                                              // 4 UTF-16 units
    const std::string emoji = "\xF0\x9F\x98\x80\xF0\x9F\x98\x81\xF0\x9F\x98\x82"; // 6 UTF-16 units
    struct Case {
        std::string text;
        size_t units;
        std::string measured;
    } cases[] = {
        {"hi", 2, "123456"},
        {accents, 4, "123456"},
        {emoji, 6, "AA" + emoji + "AA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.measured);
        EXPECT_EQ(ui::utf16::length(c.text), c.units);
        EXPECT_EQ(VelkoraMessageTableCell::measuredText(c.text), c.measured);
        EXPECT_EQ(cell->getCellHeight(c.text), cell->getCellHeight(c.measured == "123456" ? "12345" : c.text));
    }
    // A long text wraps: its row grows by the lines it takes, in whole points.
    const double one = cell->getCellHeight("hi");
    const double many = cell->getCellHeight(std::string(400, 'w'));
    EXPECT_GT(many, one * 3);
    EXPECT_EQ(many, std::ceil(many));
}

TEST_F(ChatDaysTest, OneNewMessageMeasuresOneText) {
    auto table = ui::TableView::create({0, 0, 320, 480});
    source_->setMessagesTable(table);
    table->setDataSource(std::weak_ptr<ui::TableViewDataSource>(source_));
    struct Heights : ui::TableViewDelegate {
        std::shared_ptr<VelkoraChatOneDataSource> source;
        double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override {
            return source->getCellHeight(source->getMessageFromIndexPath(ip));
        }
    };
    auto heights = std::make_shared<Heights>();
    heights->source = source_;
    table->setDelegate(std::weak_ptr<ui::TableViewDelegate>(heights));
    std::vector<VelkoraMessagePtr> batch;
    for (int i = 40; i > 0; --i)
        batch.push_back(message(i, i % 2 ? other_ : me_, i % 2 ? me_ : other_, "text number " + std::to_string(i),
                                berlin(2024, 5, 2, 12, 0) + i));
    source_->gotMessages(batch);
    table->reloadData();
    const uint64_t before = VelkoraMessageTableCell::measurements();
    source_->gotMessages({message(41, other_, me_, "one more", berlin(2024, 5, 2, 12, 0) + 41)});
    table->reloadData();
    table->setContentOffset({0, table->maxContentOffset().y});
    table->layoutIfNeeded();
    // The new row's text once; the visible rows' cells fill their labels from the cache's sizes.
    EXPECT_EQ(VelkoraMessageTableCell::measurements() - before, 1u);
    EXPECT_EQ(source_->cachedHeights(), 41u);
}

TEST_F(ChatDaysTest, PhotoCellsShowTheSmallCopyClampedByHeightFirst) {
    EXPECT_EQ(VelkoraImageMessageTableCell::thumbnailUrl("https://h/images/img.jpg"), "https://h/images/img_small.jpg");
    EXPECT_EQ(VelkoraImageMessageTableCell::thumbnailUrl("https://host.example/pic"), "https://host_small.example/pic");
    EXPECT_EQ(VelkoraImageMessageTableCell::thumbnailUrl("nodots"), "nodots");
    auto cell = VelkoraImageMessageTableCell::initFromNib();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->maxImageWidth(), 200);
    EXPECT_EQ(cell->maxImageHeight(), 150);
    struct Case {
        ui::Size picture, shown;
    } cases[] = {
        {{1000, 400}, {375, 150}},
        {{300, 100}, {200, 200.0 / 3}},
        {{100, 80}, {100, 80}},
    };
    for (const Case& c : cases) {
        const ui::Size s =
            VelkoraImageMessageTableCell::clampedSize(c.picture, cell->maxImageWidth(), cell->maxImageHeight());
        EXPECT_DOUBLE_EQ(s.width, c.shown.width) << c.picture.width << "x" << c.picture.height;
        EXPECT_DOUBLE_EQ(s.height, c.shown.height) << c.picture.width << "x" << c.picture.height;
    }
    // The bubble takes the picture's size and the margins the interface file gives it.
    cell->updateData(message(3, me_, other_, "", 1.0e9, "image"));
    cell->showLocalPicture(picture(100, 80));
    EXPECT_EQ(cell->myImageBgViewWidthConstraint()->constant(), 100 + cell->imageHorizontalMargin());
    EXPECT_FALSE(cell->myImageBgView()->isHidden());
}

TEST_F(ChatDaysTest, TheViewerFitsWithoutEnlarging) {
    struct Case {
        ui::Size picture, area, shown;
    } cases[] = {
        {{2000, 1000}, {320, 400}, {320, 160}},
        {{500, 1500}, {320, 400}, {500 * 400.0 / 1500, 400}},
        {{100, 100}, {320, 400}, {100, 100}},
        {{0, 0}, {320, 400}, {0, 0}},
    };
    for (const Case& c : cases) {
        const ui::Size s = VelkoraFullScreenImageViewController::fittedSize(c.picture, c.area);
        EXPECT_NEAR(s.width, c.shown.width, 1e-9) << c.picture.width << "x" << c.picture.height;
        EXPECT_NEAR(s.height, c.shown.height, 1e-9) << c.picture.width << "x" << c.picture.height;
    }
}

} // namespace
} // namespace velkora::testing
