// Posting in a topic (text, stickers, photos), what a failed post leaves, the sign-in gate, deleting and
// flagging comments, the bar's panes and keyboard, leaving with text, and sharing by mail.
#include "ChatRoomsFixture.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "platform/services/Device.h"
#include "platform/services/MailOutbox.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"

namespace velkora::testing {
namespace {

std::shared_ptr<ui::Image> pictureOf(double width, double height) {
    auto context = ui::GraphicsContext::bitmap({width, height}, 1.0, true);
    context->setFillColor(ui::Color::fromHex("#3A7BD5"));
    context->fillRect({0, 0, width, height});
    context->setFillColor(ui::Color::fromHex("#FF9500"));
    context->fillRect({width / 4, height / 4, width / 2, height / 2});
    return context->makeImage();
}

class ChatRoomsPostingTest : public ChatRoomsTest {
protected:
    void SetUp() override {
        ChatRoomsTest::SetUp();
        topicId_ = svc.addTopic(kApp, "Room", "<p>Talk</p>");
        other_ = otherUser("Otto", "Other");
    }
    std::shared_ptr<VelkoraChatRoomsTopicViewController> openSignedIn(size_t comments = 0) {
        startSignedIn();
        loadTopics();
        auto screen = openTopic(topicId_);
        EXPECT_TRUE(topicShown(screen, comments));
        return screen;
    }
    std::vector<std::string> serviceTexts() {
        std::vector<std::string> texts;
        for (const auto& row : svc.selectRows("SELECT text FROM topic_comments WHERE topic_id = ? AND deleted = 0 "
                                              "ORDER BY id",
                                              {std::to_string(topicId_)}))
            texts.push_back(row[0]);
        return texts;
    }
    bool toastShown() {
        for (const auto& w : ui::Application::instance().windows())
            if (findToast(*w)) return true;
        return false;
    }
    static bool findToast(ui::View& v) {
        if (dynamic_cast<VelkoraDefaultNotificationPopupView*>(&v)) return true;
        for (const auto& s : v.subviews())
            if (findToast(*s)) return true;
        return false;
    }
    std::shared_ptr<VelkoraChatRoomsTopicTableCell> cellFor(VelkoraChatRoomsTopicViewController& screen,
                                                            int64_t commentId) {
        auto& table = *screen.commentsTableView();
        for (int r = 0; r < table.numberOfRowsInSection(0); ++r)
            if (auto c = screen.commentForRow(r); c && c->commentId() == commentId)
                return std::dynamic_pointer_cast<VelkoraChatRoomsTopicTableCell>(
                    screen.cellForRowAtIndexPath(table, ui::IndexPath::of(r, 0)));
        return nullptr;
    }

    int64_t topicId_ = 0;
    std::string other_;
};

TEST_F(ChatRoomsPostingTest, TextsArriveIdenticalAndAnEmptyFieldSendsNothing) {
    auto screen = openSignedIn();
    screen->postButtonClicked(nullptr);
    loop().advance(1);
    EXPECT_EQ(count("addComment"), 0u);
    const std::vector<std::string> texts = {"&=?%#+", "two\nlines", "party 🎉", "cafe\u0301"};
    for (const auto& t : texts) {
        screen->postCommentText()->setText(t);
        screen->postButtonClicked(nullptr);
        EXPECT_EQ(screen->postCommentText()->text(), "");
        // Stored, and its answer taken in: the next text is typed once the screen is done with this one.
        ASSERT_TRUE(waitAdvancing(
            [&] {
                return serviceTexts().size() == size_t(&t - &texts[0] + 1) &&
                       VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty();
            },
            30));
    }
    EXPECT_EQ(serviceTexts(), texts);
    ASSERT_TRUE(waitAdvancing([&] { return screen->activeComments().size() == texts.size(); }, 30));
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(screen->activeComments()[i]->text(), std::optional<std::string>(texts[i]));
}

TEST_F(ChatRoomsPostingTest, TheFeedItemFollowsOnlyOutsidePrivateMode) {
    auto screen = openSignedIn();
    auto info = VelkoraAgentInternal::instance().userInfo();
    info->setIsPrivateMode(true);
    screen->postCommentText()->setText("quiet");
    screen->postButtonClicked(nullptr);
    ASSERT_TRUE(waitAdvancing([&] { return screen->activeComments().size() == 1; }, 30));
    EXPECT_EQ(count("sendCommentFeed"), 0u);
    info->setIsPrivateMode(false);
    screen->postCommentText()->setText("loud");
    screen->postButtonClicked(nullptr);
    ASSERT_TRUE(waitAdvancing([&] { return count("sendCommentFeed") == 1; }, 30));
    const auto feed = svc.requestsFor("sendCommentFeed");
    EXPECT_EQ(param(feed[0], "topicId"), std::to_string(topicId_));
    // The feed item follows the comment's answer.
    EXPECT_GE(feed[0].time, svc.requestsFor("addComment").back().time);
}

TEST_F(ChatRoomsPostingTest, AnAnonymousUsersStickerGoesAfterSignIn) {
    startSignedIn("", "");
    loadTopics();
    auto screen = openTopic(topicId_);
    ASSERT_TRUE(topicShown(screen, 0));
    const std::string sticker = svc.baseUrl() + "/pictures/stickers/doodles/1.png";
    screen->stickerSelected(sticker);
    loop().advance(1);
    EXPECT_TRUE(screen->signinHelper());
    EXPECT_EQ(screen->keyboardType(), 0);
    EXPECT_EQ(count("addComment"), 0u);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    me->setFirstName("Now");
    me->setLastName("Known");
    screen->didSignin();
    ASSERT_TRUE(waitAdvancing([&] { return serviceTexts().size() == 1; }, 30));
    EXPECT_EQ(serviceTexts()[0], sticker);
    const auto posted = svc.requestsFor("addComment");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(param(posted[0], "contentType"), "sticker");
}

TEST_F(ChatRoomsPostingTest, APhotoFromThePaneArrivesScaledWithItsSmallCopyWhichTheRowShows) {
    auto screen = openSignedIn();
    auto pane = VelkoraUploadImageKeyboardView::initFromNibWithVC(screen, screen);
    ASSERT_TRUE(pane);
    ASSERT_TRUE(pane->pictureTaken(pictureOf(1600, 1200)));
    ASSERT_TRUE(waitAdvancing([&] { return serviceTexts().size() == 1; }, 30));
    const std::string url = serviceTexts()[0];
    const auto id = std::stoll(url.substr(url.rfind('/') + 1));
    auto stored = svc.selectRows("SELECT bytes FROM images WHERE id = ?", {std::to_string(id)});
    ASSERT_EQ(stored.size(), 1u);
    auto full = ui::Image::fromData(std::string_view(stored[0][0]));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->size().width, 800);
    EXPECT_EQ(full->size().height, 600);
    auto smallRows = svc.selectRows("SELECT bytes FROM image_small_copies WHERE image_id = ?", {std::to_string(id)});
    ASSERT_EQ(smallRows.size(), 1u);
    auto small = ui::Image::fromData(std::string_view(smallRows[0][0]));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size().width, 200);
    EXPECT_EQ(small->size().height, 150);

    ASSERT_TRUE(waitAdvancing([&] { return screen->activeComments().size() == 1; }, 30));
    window_->layoutIfNeeded();
    ASSERT_TRUE(picturesLoaded());
    auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicImageTableCell>(
        cellFor(*screen, screen->activeComments()[0]->commentId()));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(waitFor([&] { return cell->commentImageView()->image() != nullptr; }));
    EXPECT_EQ(cell->commentImageView()->image()->size().width, 200);
}

TEST_F(ChatRoomsPostingTest, AFailedTextComesBackWithTheToast) {
    auto screen = openSignedIn();
    struct Case {
        service::Fault fault;
    };
    const std::vector<service::Fault> faults = {
        {"addComment", service::Fault::Kind::Drop, "", 500, 0, 10},
        {"addComment", service::Fault::Kind::HttpStatus, "", 500, 0, 10},
        {"addComment", service::Fault::Kind::ErrorCode, "TOPIC_NOT_FOUND", 500, 0, 10},
    };
    for (const auto& f : faults) {
        svc.clearFaults();
        svc.addFault(f);
        screen->postCommentText()->setText("keep me");
        screen->postButtonClicked(nullptr);
        EXPECT_EQ(screen->postCommentText()->text(), "");
        ASSERT_TRUE(waitAdvancing([&] { return screen->postCommentText()->text() == "keep me"; }, 60));
        EXPECT_TRUE(toastShown());
        loop().advance(10);
    }
    svc.clearFaults();
    EXPECT_TRUE(serviceTexts().empty());
}

TEST_F(ChatRoomsPostingTest, AFailedUploadGoesOnceAfterTheNextPoll) {
    auto screen = openSignedIn();
    svc.addFault({"addImageComment", service::Fault::Kind::HttpStatus, "", 500, 0, 1});
    screen->imageSelected(pictureOf(400, 300));
    ASSERT_TRUE(waitAdvancing(
        [&] { return count("addImageComment") == 1 && !screen->activityIndicator()->isAnimating(); }, 30));
    EXPECT_TRUE(serviceTexts().empty());
    poll();
    ASSERT_TRUE(waitAdvancing([&] { return serviceTexts().size() == 1; }, 30));
    poll();
    poll();
    EXPECT_EQ(count("addImageComment"), 2u);
    EXPECT_EQ(serviceTexts().size(), 1u);
}

// The failed photo's wait for a poll ends with the poll that sends it: a screen closed afterwards leaves
// nothing behind that later polls reach.
TEST_F(ChatRoomsPostingTest, AClosedScreenIsForgottenByLaterPollsOnceItsFailedPhotoWent) {
    std::weak_ptr<VelkoraChatRoomsTopicViewController> gone;
    {
        auto screen = openSignedIn();
        svc.addFault({"addImageComment", service::Fault::Kind::HttpStatus, "", 500, 0, 1});
        screen->imageSelected(pictureOf(400, 300));
        ASSERT_TRUE(waitAdvancing(
            [&] { return count("addImageComment") == 1 && !screen->activityIndicator()->isAnimating(); }, 30));
        poll();
        ASSERT_TRUE(waitAdvancing([&] { return serviceTexts().size() == 1; }, 30));
        gone = screen;
        nav_->setViewControllers({std::make_shared<ui::ViewController>()}, false);
    }
    loop().advance(1);
    ASSERT_TRUE(gone.expired()) << "the closed screen is still held";
    poll();
    poll();
    EXPECT_EQ(count("addImageComment"), 2u);
    EXPECT_EQ(serviceTexts().size(), 1u);
}

TEST_F(ChatRoomsPostingTest, DeletingAndFlaggingActOnTheChosenComment) {
    startSignedIn();
    const auto mine = svc.addTopicComment(kApp, topicId_, me_, "mine");
    const auto theirs = svc.addTopicComment(kApp, topicId_, other_, "theirs");
    const auto alsoMine = svc.addTopicComment(kApp, topicId_, me_, "also mine");
    loadTopics();
    auto screen = openTopic(topicId_);
    ASSERT_TRUE(topicShown(screen, 3));
    auto own = cellFor(*screen, mine);
    auto others = cellFor(*screen, theirs);
    ASSERT_TRUE(own && others);
    EXPECT_FALSE(own->deleteButton()->isHidden());
    EXPECT_TRUE(own->isOwnComment());
    EXPECT_FALSE(others->isOwnComment());

    // Flag, then cancel: nothing is sent, nothing stays pending.
    others->deleteCommentClicked(nullptr);
    ASSERT_TRUE(screen->pendingFlag());
    screen->clickedButtonAtIndex(*screen->actionSheet(), screen->actionSheet()->firstOtherButtonIndex());
    screen->popupCancelTapped();
    EXPECT_FALSE(screen->pendingFlag());
    loop().advance(1);
    EXPECT_EQ(count("setUserRelation"), 0u);

    // Flag and confirm: the writer is reported.
    others->deleteCommentClicked(nullptr);
    screen->clickedButtonAtIndex(*screen->actionSheet(), screen->actionSheet()->firstOtherButtonIndex());
    screen->popupOkTapped();
    ASSERT_TRUE(waitForRequests("setUserRelation", 1));
    EXPECT_EQ(svc.relation(kApp, me_, other_, "r"), std::optional<bool>(true));

    // A reload between the sheet and OK reuses the row for another comment: the chosen one still goes.
    own->deleteCommentClicked(nullptr);
    screen->clickedButtonAtIndex(*screen->actionSheet(), screen->actionSheet()->firstOtherButtonIndex());
    own->updateData(screen->activeComments()[2]);
    screen->commentsTableView()->reloadData();
    screen->popupOkTapped();
    ASSERT_TRUE(waitFor([&] { return screen->activeComments().size() == 2; }));
    EXPECT_EQ(shownIds(*screen), (std::vector<int64_t>{theirs, alsoMine}));
    EXPECT_EQ(svc.topicCommentIds(kApp, topicId_), (std::vector<int64_t>{theirs, alsoMine}));
    EXPECT_EQ(repository().getTopicById(int32_t(topicId_))->getComments(false).size(), 2u);
}

TEST_F(ChatRoomsPostingTest, BackWithTextAsksFirst) {
    auto screen = openSignedIn();
    auto second = VelkoraChatRoomsTopicViewController::initWithTopic(screen->topic());
    second->setFeatureTabDelegate(container_);
    nav_->pushViewController(second, false);
    loop().advance(1);
    ASSERT_TRUE(topicShown(second, 0));
    second->postCommentText()->setText("draft");
    second->backTapped(second->backButton().get());
    EXPECT_TRUE(second->pendingBack());
    ASSERT_TRUE(second->confirmPopup());
    second->popupCancelTapped();
    EXPECT_EQ(second->postCommentText()->text(), "draft");
    EXPECT_EQ(container_->backs, 0);
    second->backTapped(second->backButton().get());
    second->popupOkTapped();
    EXPECT_FALSE(agent().withinTopic());
}

TEST_F(ChatRoomsPostingTest, TheBarFollowsKeyboardAndPanes) {
    auto screen = openSignedIn();
    auto field = screen->postCommentText();
    auto bottom = screen->postCommentViewBottomSpaceConstraint();
    ASSERT_TRUE(field && bottom);
    ASSERT_TRUE(field->becomeFirstResponder());
    loop().advance(1);
    EXPECT_EQ(bottom->constant(), -216);

    // Smiley twice: stickers, then the system keyboard again with the smiley back.
    screen->keyboardSwitchClicked(nullptr);
    EXPECT_EQ(screen->keyboardType(), 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<VelkoraStickersKeyboardView>(field->inputView()));
    screen->keyboardSwitchClicked(nullptr);
    EXPECT_EQ(screen->keyboardType(), 0);
    EXPECT_FALSE(field->inputView());

    // The photo pane, then the store and back: the sticker keyboard opens again.
    screen->photoUploadClicked(nullptr);
    EXPECT_EQ(screen->keyboardType(), 2);
    EXPECT_TRUE(screen->uploadPhotoButton()->isSelected());
    loop().advance(1);
    EXPECT_EQ(bottom->constant(), -field->inputView()->frame().height());
    screen->openStickersStore();
    loop().advance(1);
    EXPECT_NE(nav_->topViewController(), screen);
    nav_->popViewController(false);
    loop().advance(1);
    EXPECT_EQ(screen->keyboardType(), 1);

    // In landscape the keyboard's width moves the bar.
    screen->resetKeyboard();
    loop().advance(1);
    EXPECT_EQ(bottom->constant(), 0);
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationLandscapeLeft);
    ASSERT_TRUE(field->becomeFirstResponder());
    loop().advance(1);
    EXPECT_EQ(bottom->constant(), -162);
    screen->resetKeyboard();
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
    loop().advance(1);

    // In a popover the bar stays, and only the tap recognizer comes.
    container_->popover = true;
    const size_t recognizers = screen->view()->gestureRecognizers().size();
    ASSERT_TRUE(field->becomeFirstResponder());
    loop().advance(1);
    EXPECT_EQ(bottom->constant(), 0);
    EXPECT_EQ(screen->view()->gestureRecognizers().size(), recognizers + 1);
    screen->resetKeyboard();
    loop().advance(1);
    EXPECT_EQ(screen->view()->gestureRecognizers().size(), recognizers);
}

TEST_F(ChatRoomsPostingTest, SharingByMailLandsInTheOutboxAndWithoutAnAccountNothingOpens) {
    auto screen = openSignedIn();
    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount.reset(); });
    screen->shareEmailClicked(nullptr);
    loop().advance(1);
    EXPECT_FALSE(nav_->presentedViewController());
    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount = "me@mail.example"; });
    screen->shareEmailClicked(nullptr);
    loop().advance(1);
    auto composer = std::dynamic_pointer_cast<ui::MailComposeViewController>(nav_->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->message().body, "Room");
    composer->setToRecipients({"friend@mail.example"});
    composer->tapAction();
    loop().advance(1);
    EXPECT_FALSE(nav_->presentedViewController());
    ASSERT_FALSE(services::MailOutbox::instance().sent().empty());
    bool logged = false;
    for (const auto& e : VelkoraLogEventsManager::instance().loggedEvents())
        if (e.rfind("blog-shared;email;" + std::to_string(topicId_), 0) == 0) logged = true;
    EXPECT_TRUE(logged);
}

} // namespace
} // namespace velkora::testing
