// One topic: opening it (listed, while the list loads, bound to a host object), following it through
// the poll, the strips of new and earlier comments, paging, the rows of comments and ads, and the header.
#include <functional>

#include "ChatRoomsFixture.h"
#include "conversations/VelkoraChatRoomsTopicHeaderView.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/WebView.h"

namespace velkora::testing {
namespace {

class ChatRoomsTopicTest : public ChatRoomsTest {
protected:
    // A topic of two comments, "a" and "b", opened with the given ad slots.
    auto openTopicWithAdSlots(const std::string& slots) {
        configure(false, 20, 10, 3600);
        svc.setAppConfiguration(kApp, R"({"appName":"Test","maxMessagesPerUpdate":20,
            "adData":{"numAdsInTimeFrame":10,"timeFrame":3600},"topicAds":)" +
                                          slots + "}");
        const auto topicId = svc.addTopic(kApp, "Ads", "<p>x</p>");
        const auto other = otherUser("Otto", "Other");
        svc.addTopicComment(kApp, topicId, other, "a");
        svc.addTopicComment(kApp, topicId, other, "b");
        startSignedIn();
        loadTopics();
        return openTopic(topicId);
    }

    std::string stripText(const VelkoraChatRoomsTopicViewController& screen) {
        if (auto footer = screen.footerView())
            return footer->isRefresh() ? footer->refreshCommentsLabel()->text()
                                       : footer->loadEarlierCommentsLabel()->text();
        auto header = screen.topicHeader();
        if (!header || header->refreshCommentsView()->isHidden()) return {};
        return header->isRefresh() ? header->refreshCommentsLabel()->text()
                                   : header->loadEarlierCommentsLabel()->text();
    }
};

TEST_F(ChatRoomsTopicTest, OpeningFollowsTheTopicAndLeavingOrDestroyingStopsIt) {
    const auto topicId = svc.addTopic(kApp, "Room", "<p>Hello</p>");
    const auto other = otherUser("Otto", "Other");
    svc.addTopicComment(kApp, topicId, other, "First");
    startSignedIn();
    loadTopics();
    std::vector<int> entered, exited;
    foundation::NotificationObserver in("VelkoraEnteredTopic", nullptr, [&](const foundation::Notification& n) {
        entered.push_back(n.userInfo["id"].int32Or(0));
    });
    foundation::NotificationObserver out("VelkoraExitedTopic", nullptr, [&](const foundation::Notification& n) {
        exited.push_back(n.userInfo["id"].int32Or(0));
    });
    {
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 1));
        EXPECT_TRUE(agent().withinTopic());
        EXPECT_EQ(agent().topicId(), topicId);
        ASSERT_FALSE(entered.empty());
        EXPECT_EQ(svc.requestsFor("getTopic").size(), 1u);
        EXPECT_EQ(param(svc.requestsFor("getTopic")[0], "clean"), "0");
        // The poll carries the followed topic.
        poll();
        auto polls = svc.requestsFor("update");
        EXPECT_EQ(param(polls.back(), "topicId"), std::to_string(topicId));
        window_->setHidden(true);
        nav_.reset();
        window_.reset();
        std::weak_ptr<VelkoraChatRoomsTopicViewController> gone = screen;
        screen.reset();
        loop().advance(1);
        EXPECT_TRUE(gone.expired());
    }
    // Gone without its back action: the following ends all the same.
    ASSERT_EQ(exited.size(), 1u);
    EXPECT_EQ(exited[0], topicId);
    EXPECT_FALSE(agent().withinTopic());
}

TEST_F(ChatRoomsTopicTest, TheSharePopupShadesTheWholeScreenUntilClosed) {
    const auto topicId = svc.addTopic(kApp, "Room", "<p>Hello</p>");
    startSignedIn();
    loadTopics();
    auto screen = openTopic(topicId);
    ASSERT_TRUE(topicShown(screen, 0));
    auto root = screen->view();
    auto centreOf = [&](const std::shared_ptr<ui::View>& v) {
        return v->convertRectToView(v->bounds(), root.get()).center();
    };
    const auto backAt = centreOf(screen->backButton());
    screen->shareClicked(nullptr);
    ASSERT_FALSE(screen->shareView()->isHidden());
    ASSERT_TRUE(screen->shareShade());
    EXPECT_FALSE(screen->shareShade()->isHidden());
    EXPECT_EQ(screen->shareShade()->frame(), root->bounds()) << "the bar is shaded too";
    EXPECT_FALSE(root->hitTest(backAt)->isDescendantOfView(screen->backButton().get()));
    EXPECT_TRUE(root->hitTest(centreOf(screen->shareView()))->isDescendantOfView(screen->shareView().get()));
    screen->shareCloseClicked(nullptr);
    EXPECT_TRUE(screen->shareView()->isHidden());
    EXPECT_TRUE(screen->shareShade()->isHidden());
    EXPECT_TRUE(root->hitTest(backAt)->isDescendantOfView(screen->backButton().get()));
}

TEST_F(ChatRoomsTopicTest, OpenedByIdWhileTheListLoadsFindsTheTopicOrStopsTheSpinner) {
    const auto topicId = svc.addTopic(kApp, "Room", "<p>Hello</p>");
    startSignedIn();
    for (int32_t wanted : {int32_t(topicId), int32_t(topicId + 1000)}) {
        VelkoraChatRoomsTopicsRepository::resetForTests();
        svc.addFault({"getTopics", service::Fault::Kind::Delay, "", 500, 1.0, 1});
        repository();
        auto screen =
            std::dynamic_pointer_cast<VelkoraChatRoomsTopicViewController>(VelkoraScreenRegistry::instance().makeScreen(
                "blogTopic", foundation::Dictionary{{VelkoraScreenArguments::kObject1, foundation::Value(wanted)}}));
        ASSERT_TRUE(screen);
        show(screen);
        EXPECT_TRUE(screen->activityIndicator()->isAnimating());
        ASSERT_TRUE(waitFor([&] { return repository().didFinishLoading(); }));
        ASSERT_TRUE(settle());
        loop().advance(0.5);
        if (wanted == topicId) {
            ASSERT_TRUE(repository().getTopicById(wanted)) << repository().topics().size();
            ASSERT_TRUE(topicShown(screen, 0));
            EXPECT_EQ(screen->topic()->topicId(), topicId);
        } else {
            EXPECT_FALSE(screen->topic());
            EXPECT_FALSE(screen->activityIndicator()->isAnimating());
        }
    }
}

TEST_F(ChatRoomsTopicTest, AnAdHocTopicIsAskedCleanOnceAndFoundLater) {
    startSignedIn();
    loadTopics();
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getChatRoomData("photo-17", "IMAGE", "A host photo", "", Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
    const int32_t topicId = caller->answers[0]["topicId"].int32Or(0);
    ASSERT_GT(topicId, 0);
    auto first = VelkoraChatRoomsTopicViewController::initFromNibWithTopicId(topicId, std::string("photo-17"));
    show(first);
    ASSERT_TRUE(topicShown(first, 0));
    ASSERT_TRUE(first->topic());
    EXPECT_TRUE(first->topic()->isObject());
    ASSERT_EQ(svc.requestsFor("getTopic").size(), 1u);
    EXPECT_EQ(param(svc.requestsFor("getTopic")[0], "clean"), "1");
    EXPECT_EQ(agent().topicId(), topicId);

    auto second = VelkoraChatRoomsTopicViewController::initFromNibWithTopicId(topicId, std::string("photo-17"));
    show(second);
    ASSERT_TRUE(topicShown(second, 0));
    ASSERT_EQ(svc.requestsFor("getTopic").size(), 2u);
    EXPECT_EQ(param(svc.requestsFor("getTopic")[1], "clean"), "0");
}

TEST_F(ChatRoomsTopicTest, OtherUsersCommentsAreAnnouncedUntilTappedOwnPostsShowAtOnce) {
    for (bool topNewest : {false, true}) {
        SCOPED_TRACE(topNewest);
        configure(topNewest);
        VelkoraChatRoomsTopicsRepository::resetForTests();
        const auto topicId = svc.addTopic(kApp, "Live room", "<p>Live</p>");
        const auto other = otherUser("Otto", "Other");
        if (me_.empty()) startSignedIn();
        loadTopics();
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 0));

        svc.addTopicComment(kApp, topicId, other, "One");
        poll();
        ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 1; }));
        EXPECT_EQ(stripText(*screen), "1 new comment");
        EXPECT_TRUE(screen->activeComments().empty());
        svc.addTopicComment(kApp, topicId, other, "Two");
        poll();
        ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 2; }));
        EXPECT_EQ(stripText(*screen), "2 new comments");

        screen->newCommentsClicked();
        EXPECT_EQ(screen->activeComments().size(), 2u);
        EXPECT_EQ(screen->newCommentsCount(), 0);
        EXPECT_EQ(stripText(*screen), "");

        screen->postCommentText()->setText("Mine");
        screen->postButtonClicked(nullptr);
        ASSERT_TRUE(waitAdvancing([&] { return screen->activeComments().size() == 3; }, 30));
        EXPECT_EQ(screen->newCommentsCount(), 0);
        EXPECT_EQ(stripText(*screen), "");
        const auto& newest = topNewest ? screen->activeComments().front() : screen->activeComments().back();
        EXPECT_EQ(newest->text(), std::optional<std::string>("Mine"));
    }
}

// A reload takes in only what a poll appended, yet a comment replaced, inserted or deleted in between is
// shown as the topic holds it.
TEST_F(ChatRoomsTopicTest, TheShownCommentsFollowEveryChangeOfTheTopic) {
    for (bool topNewest : {false, true}) {
        SCOPED_TRACE(topNewest);
        configure(topNewest);
        VelkoraChatRoomsTopicsRepository::resetForTests();
        const auto topicId = svc.addTopic(kApp, "Changing room", "<p>x</p>");
        const auto other = otherUser("Otto", "Other");
        for (int i = 0; i < 3; ++i)
            svc.addTopicComment(kApp, topicId, other, "c" + std::to_string(i));
        if (me_.empty()) startSignedIn();
        loadTopics();
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 3));
        auto topic = repository().getTopicById(int32_t(topicId));
        ASSERT_TRUE(topic);
        const int32_t top = topic->comments().back()->commentId();
        auto made = [&](int32_t id, const char* text) {
            auto c = std::make_shared<VelkoraChatRoomsComment>(*topic->comments().front());
            c->setCommentId(id);
            c->setText(std::string(text));
            return c;
        };
        const std::function<void()> changes[] = {
            [&] { topic->addComment(made(top + 10, "newer")); },
            [&] { topic->addComment(made(top + 11, "newer still")); },
            [&] { topic->addComment(made(top + 10, "newer, edited")); },
            [&] { topic->addComment(made(top + 5, "in between")); },
            [&] { topic->deleteComment(top + 11); },
            [&] { topic->addComment(made(top + 20, "after a delete")); },
        };
        for (const auto& change : changes) {
            change();
            screen->reloadActiveComments();
            std::vector<std::string> shown, held;
            for (const auto& c : screen->activeComments())
                shown.push_back(std::to_string(c->commentId()) + " " + c->text().value_or(""));
            for (const auto& c : topic->getComments(topNewest))
                held.push_back(std::to_string(c->commentId()) + " " + c->text().value_or(""));
            EXPECT_EQ(shown, held);
        }
        EXPECT_EQ(screen->activeComments().size(), 6u);
    }
}

TEST_F(ChatRoomsTopicTest, ANewCommentMeasuresOneCell) {
    const auto topicId = svc.addTopic(kApp, "Measured", "<p>x</p>");
    const auto other = otherUser("Otto", "Other");
    for (int i = 0; i < 12; ++i)
        svc.addTopicComment(kApp, topicId, other, "comment " + std::to_string(i));
    startSignedIn();
    loadTopics();
    auto screen = openTopic(topicId);
    ASSERT_TRUE(topicShown(screen, 12));
    // Opening measures the comments in view, not all twelve.
    const int before = screen->measuredCells();
    EXPECT_GE(before, static_cast<int>(screen->commentsTableView()->indexPathsForVisibleRows().size()));
    EXPECT_LT(before, 12);
    svc.addTopicComment(kApp, topicId, other, "one more");
    poll();
    ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 1; }));
    screen->newCommentsClicked();
    window_->layoutIfNeeded();
    EXPECT_EQ(screen->activeComments().size(), 13u);
    // The new comment is measured, and no comment twice, however many came into view on the way to it.
    EXPECT_GT(screen->measuredCells(), before);
    EXPECT_LE(screen->measuredCells(), 13);
}

TEST_F(ChatRoomsTopicTest, TheEarlierStripComesWithAFullPageAndPagingShowsEveryCommentOnce) {
    const auto small = svc.addTopic(kApp, "Nineteen", "<p>x</p>");
    const auto big = svc.addTopic(kApp, "Two thousand", "<p>x</p>");
    const auto other = otherUser("Otto", "Other");
    for (int i = 0; i < 19; ++i)
        svc.addTopicComment(kApp, small, other, std::string("c").append(std::to_string(i)));
    for (int i = 0; i < 2000; ++i)
        svc.addTopicComment(kApp, big, other, std::string("c").append(std::to_string(i)));
    startSignedIn();
    loadTopics();
    {
        auto screen = openTopic(small);
        ASSERT_TRUE(topicShown(screen, 19));
        EXPECT_EQ(stripText(*screen), "");
    }
    auto screen = openTopic(big);
    ASSERT_TRUE(topicShown(screen, 20));
    EXPECT_EQ(stripText(*screen), text("velkora_text_load_earlier_comments_button"));

    // Pages in while another user adds 150 comments between two polls and an unseen old one goes.
    const auto serviceIds = svc.topicCommentIds(kApp, big);
    svc.deleteTopicComment(kApp, big, serviceIds[1500]);
    for (int page = 0; page < 4; ++page) {
        const size_t before = screen->activeComments().size();
        screen->loadEarlierCommentsClicked();
        ASSERT_TRUE(waitFor([&] { return screen->activeComments().size() > before; }));
    }
    for (int i = 0; i < 150; ++i)
        svc.addTopicComment(kApp, big, other, "late " + std::to_string(i));
    poll();
    poll();
    ASSERT_TRUE(waitFor([&] { return screen->newCommentsCount() == 150; }));
    screen->newCommentsClicked();
    EXPECT_EQ(stripText(*screen), text("velkora_text_load_earlier_comments_button"));
    while (screen->earliestCommentId() > serviceIds.front()) {
        const int32_t before = screen->earliestCommentId();
        screen->loadEarlierCommentsClicked();
        ASSERT_TRUE(waitFor([&] { return screen->earliestCommentId() < before; }));
    }
    EXPECT_EQ(shownIds(*screen), svc.topicCommentIds(kApp, big));
}

TEST_F(ChatRoomsTopicTest, AdRowsSitAtTheirSlotsAndHideNoComment) {
    configure(false, 20, 10, 3600);
    const auto topicId = svc.addTopic(kApp, "Ads", "<p>x</p>");
    const auto other = otherUser("Otto", "Other");
    for (int i = 0; i < 6; ++i)
        svc.addTopicComment(kApp, topicId, other, std::string("c").append(std::to_string(i)));
    startSignedIn();
    loadTopics();
    auto screen = openTopic(topicId);
    ASSERT_TRUE(topicShown(screen, 6));
    ASSERT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 2; }));
    auto& table = *screen->commentsTableView();
    ASSERT_EQ(table.numberOfRowsInSection(0), 8);
    const std::vector<int> commentIndex = {0, 1, -1, 2, 3, -1, 4, 5};
    for (int row = 0; row < 8; ++row) {
        SCOPED_TRACE(row);
        if (commentIndex[row] < 0) {
            EXPECT_TRUE(screen->isAdRow(row));
            auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicNativeAppAdCell>(
                screen->cellForRowAtIndexPath(table, ui::IndexPath::of(row, 0)));
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->topicId(), topicId);
            EXPECT_EQ(cell->appNameLabel()->text(), "Puzzle Quest");
        } else {
            EXPECT_EQ(screen->commentForRow(row), screen->activeComments()[size_t(commentIndex[row])]);
        }
    }
    // Each served ad was counted and reported at once.
    EXPECT_EQ(VelkoraAgentInternal::instance().userInfo()->nAdsShownInPeriod(), 2);
    auto impressions = [&] {
        std::vector<std::string> logs;
        for (const auto& r : svc.requestsFor("reportEvent"))
            if (param(r, "type") == "adImpress") logs.push_back(param(r, "logs"));
        return logs;
    };
    ASSERT_TRUE(waitFor([&] { return impressions().size() >= 2; }) && settle());
    EXPECT_EQ(impressions(), (std::vector<std::string>{"VENDOR2_none%7C4", "VENDOR2_none%7C4"}));
    EXPECT_FALSE(svc.events(kApp).empty());
}

TEST_F(ChatRoomsTopicTest, AdsAtTheFirstRowsOverTwoCommentsKeepBothComments) {
    auto screen = openTopicWithAdSlots(
        R"([{"type":0,"position":0},{"type":0,"position":1},{"type":0,"position":2},{"type":0,"position":3}])");
    ASSERT_TRUE(topicShown(screen, 2));
    ASSERT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 4; }));
    auto& table = *screen->commentsTableView();
    const int rows = table.numberOfRowsInSection(0);
    std::vector<std::string> shown;
    for (int r = 0; r < rows; ++r)
        if (auto c = screen->commentForRow(r)) shown.push_back(c->text().value_or(""));
    EXPECT_EQ(shown, (std::vector<std::string>{"a", "b"}));
}

// A slot above the first row has no place in the table: no ad is taken for it and no row is added.
TEST_F(ChatRoomsTopicTest, AnAdSlotAtANegativePositionAddsNoRow) {
    auto screen = openTopicWithAdSlots(R"([{"type":0,"position":-1},{"type":0,"position":1}])");
    ASSERT_TRUE(topicShown(screen, 2));
    ASSERT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(screen->adRowsDict().size(), 1u);
    EXPECT_EQ(VelkoraAgentInternal::instance().userInfo()->nAdsShownInPeriod(), 1);
    auto& table = *screen->commentsTableView();
    ASSERT_EQ(table.numberOfRowsInSection(0), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(screen->isAdRow(r) || screen->commentForRow(r)) << "row " << r << " is blank";
}

// The cap: 2 ads per hour. Three slots pulled at first, none ten minutes later, more after the hour; the
// count outlives the run.
TEST_F(ChatRoomsTopicTest, AdsStayWithinTheCapAcrossRepliesAndRuns) {
    configure(false, 20, 2, 3600);
    const std::string slots = R"({"appName":"Test","adData":{"numAdsInTimeFrame":2,"timeFrame":3600},
        "topicAds":[{"type":0,"position":1},{"type":0,"position":2},{"type":0,"position":3},{"type":1,"position":4}]})";
    svc.setAppConfiguration(kApp, slots);
    const auto topicId = svc.addTopic(kApp, "Ads", "<p>x</p>");
    startSignedIn();
    loadTopics();
    auto shownInPeriod = [] { return VelkoraAgentInternal::instance().userInfo()->nAdsShownInPeriod(); };
    auto& buffer = VelkoraNativeAdsController::instance();
    size_t held = 0;
    {
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 0));
        // Every type-0 slot is served, the type-1 one never.
        ASSERT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 3 && buffer.adFetchers().empty(); }));
        EXPECT_EQ(shownInPeriod(), 3);
        EXPECT_FALSE(screen->adRowsDict().contains(4));
        held = buffer.ads().size();
    }
    // A restart keeps the count.
    VelkoraAgentInternal::instance().saveUserInfo();
    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initUserInfo(kApp);
    configure(false, 20, 2, 3600);
    svc.setAppConfiguration(kApp, slots);
    EXPECT_EQ(shownInPeriod(), 3);
    loop().advance(600);
    {
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 0));
        // Nothing pulled: the buffer neither served nor fetched.
        EXPECT_EQ(buffer.ads().size(), held);
        EXPECT_TRUE(buffer.adFetchers().empty());
        EXPECT_TRUE(screen->adRowsDict().empty());
    }
    loop().advance(3100);
    {
        auto screen = openTopic(topicId);
        ASSERT_TRUE(topicShown(screen, 0));
        ASSERT_TRUE(waitFor([&] { return screen->adRowsDict().size() == 3; }));
        EXPECT_EQ(shownInPeriod(), 3);
    }
}

TEST_F(ChatRoomsTopicTest, NoAdsWithTheCapSettingAtZero) {
    configure(false, 20, 0, 3600);
    const auto topicId = svc.addTopic(kApp, "Ads", "<p>x</p>");
    startSignedIn();
    loadTopics();
    auto screen = openTopic(topicId);
    ASSERT_TRUE(topicShown(screen, 0));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(screen->adRowsDict().empty());
    EXPECT_TRUE(svc.requestsFor("/adnet/ad").empty());
}

TEST_F(ChatRoomsTopicTest, HeaderShowsEachKindAndAnUnknownVideoAddressOnlyAsText) {
    const std::string base = svc.baseUrl();
    struct Case {
        std::string kind, text;
        bool web;
    };
    const std::vector<Case> cases = {
        {"text/html", "<p>Hello <b>there</b></p>", true},
        {"link", base + "/pages/terms", true},
        {"image", base + "/pictures/topics/week.png", false},
        {"video", "https://www.youtube.com/watch?v=welcome&t=3", true},
        {"image", base + "/missing/lost.png", false},
    };
    std::vector<int64_t> ids;
    for (const auto& c : cases)
        ids.push_back(svc.addTopic(kApp, "Kind " + c.kind, c.text, {}, c.kind));
    const auto other = otherUser("Otto", "Other");
    for (auto id : ids)
        svc.addTopicComment(kApp, id, other, "Seen");
    startSignedIn();
    loadTopics();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].text);
        auto screen = openTopic(ids[i]);
        // A broken picture or page still lets the comments show.
        ASSERT_TRUE(topicShown(screen, 1));
        auto header = screen->topicHeader();
        EXPECT_EQ(!header->webView()->isHidden(), cases[i].web);
        EXPECT_EQ(!header->dataView()->isHidden(), !cases[i].web);
    }
    const std::string page = VelkoraChatRoomsTopicHeaderView::getVideoEmbeddedHtml("http://example.com/<b>x</b>");
    EXPECT_EQ(page.find("<b>x"), std::string::npos);
    EXPECT_NE(page.find("Movie 'http://example.com/&lt;b&gt;x&lt;/b&gt;' is unavailable"), std::string::npos);
    EXPECT_EQ(VelkoraChatRoomsTopicHeaderView::videoIdOf("https://youtube.com/watch?v=abc-_9&x=1"), "abc-_9");
    EXPECT_EQ(VelkoraChatRoomsTopicHeaderView::videoIdOf("https://youtube.com/watch?v=a\"onload=x"), "");
    EXPECT_EQ(VelkoraChatRoomsTopicHeaderView::videoIdOf("https://youtube.com/watch"), "");
}

TEST_F(ChatRoomsTopicTest, AFailedTopicStopsTheSpinnerAndIsAskedAgainAfterTheNextPoll) {
    const auto topicId = svc.addTopic(kApp, "Room", "<p>x</p>");
    const auto other = otherUser("Otto", "Other");
    svc.addTopicComment(kApp, topicId, other, "Hi");
    startSignedIn();
    loadTopics();
    svc.addFault({"getTopic", service::Fault::Kind::HttpStatus, "", 500, 0, 1});
    auto screen = openTopic(topicId);
    ASSERT_TRUE(waitAdvancing([&] { return !screen->activityIndicator()->isAnimating() && count("getTopic") >= 1; }));
    EXPECT_TRUE(screen->activeComments().empty());
    poll();
    ASSERT_TRUE(topicShown(screen, 1));
    EXPECT_EQ(count("getTopic"), 2u);
}

} // namespace
} // namespace velkora::testing
