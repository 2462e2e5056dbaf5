// The chat screen against velkora-service: opening for a user the kit does not know yet, live messages
// from the poll, the one live-message slot shared by stacked chats, paging while the conversation
// changes, the composer's panes and the bar following the keyboard, back with typed text.
#include <gtest/gtest.h>

#include <algorithm>

#include "ChatFixture.h"

namespace velkora::testing {
namespace {

using service::Fault;

class ChatScreenTest : public ChatTest {};

size_t indexOf(const std::vector<service::RecordedRequest>& log, const std::string& command) {
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].command == command) return i;
    return log.size();
}

TEST_F(ChatScreenTest, AnUnknownUserIsAskedForBeforeTheChatAndBothSidesShowUnderTheirDay) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga", "Berg");
    svc.sendMessage(kDemo, olga, userId_, "hello there");
    svc.sendMessage(kDemo, userId_, olga, "hi Olga");
    svc.clearRequests();
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    const auto log = svc.requests();
    EXPECT_LT(indexOf(log, "getOtherUserData"), indexOf(log, "getChat"));
    EXPECT_LT(indexOf(log, "getChat"), log.size());
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"other:hello there", "me:hi Olga"}));
    EXPECT_FALSE(screen->velkoraContentView()->isHidden());
    EXPECT_FALSE(screen->activityIndicatorView()->isAnimating());
    ASSERT_EQ(screen->messagesTable()->numberOfSections(), 1);
    EXPECT_EQ(screen->dataSource()->getSectionDateString(0),
              foundation::DateFormatter("MMM,d yyyy").stringFromDate(loop().now()));
    EXPECT_EQ(screen->dataSource()->getSectionHeaderText(0),
              foundation::DateFormatter("MMM d, yyyy").stringFromDate(loop().now()));
    EXPECT_EQ(screen->nameTitleButton()->titleForState(ui::ControlStateNormal), std::optional<std::string>("Olga B."));
    // The last row ends at the table's bottom.
    const auto& table = *screen->messagesTable();
    EXPECT_EQ(table.contentOffset().y, table.maxContentOffset().y);
}

TEST_F(ChatScreenTest, AnIdNobodyHasKeepsTheContentHiddenAndAsksForNoChat) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    svc.clearRequests();
    auto screen = std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value("nobody-here")}})));
    ASSERT_TRUE(screen);
    show(screen);
    ASSERT_TRUE(waitForRequests("getOtherUserData", 1));
    settleScreen();
    EXPECT_TRUE(screen->velkoraContentView()->isHidden());
    EXPECT_EQ(count("getChat"), 0u);
}

TEST_F(ChatScreenTest, AFailedFirstLoadSaysSoAndLoadsAgainAfterTheNextPoll) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    svc.sendMessage(kDemo, olga, userId_, "are you there?");
    svc.addFault(Fault{"getChat", Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1});
    auto screen = std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(olga)}})));
    ASSERT_TRUE(screen);
    show(screen);
    ASSERT_TRUE(waitForRequests("getChat", 1));
    loop().advance(0.1);
    EXPECT_FALSE(screen->loaded());
    EXPECT_FALSE(screen->activityIndicatorView()->isAnimating());
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return screen->loaded(); }));
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"other:are you there?"}));
}

TEST_F(ChatScreenTest, LiveMessagesOfThisChatArriveMarkedViewedAndOthersAddNothing) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    const std::string pete = makeUser("Pete");
    svc.sendMessage(kDemo, olga, userId_, "first");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    int viewed = 0;
    foundation::NotificationObserver observer(VelkoraChatsRepository::kMessagesViewedNotification, nullptr,
                                              [&](const foundation::Notification&) { ++viewed; });
    svc.sendMessage(kDemo, pete, userId_, "from Pete");
    ASSERT_NO_FATAL_FAILURE(pollNow());
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"other:first"}));
    svc.sendMessage(kDemo, olga, userId_, "second");
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return rows(*screen).size() == 2; }));
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"other:first", "other:second"}));
    EXPECT_GE(viewed, 1);
    EXPECT_FALSE(VelkoraChatsRepository::instance().isNewMessageFromUser(olga));
    EXPECT_TRUE(VelkoraChatsRepository::instance().isNewMessageFromUser(pete));
    const auto& table = *screen->messagesTable();
    EXPECT_EQ(table.contentOffset().y, table.maxContentOffset().y);
}

TEST_F(ChatScreenTest, AChatBackOnTopTakesTheLiveMessagesAgainAndCatchesUp) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    const std::string pete = makeUser("Pete");
    auto a = openChat(olga);
    ASSERT_TRUE(a);
    // Chat A, then (as from a profile) chat B on top of it, then back to A.
    auto b = std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(pete)}})));
    b->setFeatureTabDelegate(container_);
    nav_->pushViewController(b, false);
    ASSERT_TRUE(waitFor([&] { return b->loaded(); }));
    EXPECT_TRUE(b->isMessagesDelegate());
    svc.sendMessage(kDemo, olga, userId_, "while B was on top");
    ASSERT_NO_FATAL_FAILURE(pollNow());
    nav_->popViewController(false);
    b.reset();
    loop().advance(0.5);
    EXPECT_TRUE(a->isMessagesDelegate());
    svc.sendMessage(kDemo, olga, userId_, "after");
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return rows(*a).size() == 2; }));
    EXPECT_EQ(rows(*a), (std::vector<std::string>{"other:while B was on top", "other:after"}));
}

TEST_F(ChatScreenTest, PagingWhileTheConversationChangesEndsWithTheServicesRows) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    const double start = loop().now() - 45 * 600;
    std::vector<int64_t> ids;
    for (int i = 0; i < 45; ++i)
        ids.push_back(svc.sendMessageAt(kDemo, i % 3 ? olga : userId_, i % 3 ? userId_ : olga,
                                        "message " + std::to_string(i), start + i * 600));
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    EXPECT_EQ(rows(*screen).size(), 20u);
    ASSERT_TRUE(screen->tableHeaderView());
    // Meanwhile Olga writes twice and an old message goes from this user's side.
    svc.sendMessage(kDemo, olga, userId_, "new one");
    svc.sendMessage(kDemo, olga, userId_, "new two");
    svc.deleteMessageFor(kDemo, userId_, ids[3]);
    for (int tap = 0; tap < 6 && rows(*screen).size() < 46; ++tap) {
        screen->loadMoreChatMessages();
        ASSERT_TRUE(settle());
    }
    // Olga's two new ones come with the poll.
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return rows(*screen).size() == 46; }));
    std::vector<std::string> expected;
    for (const auto& s : stored(userId_, olga))
        expected.push_back((s.rfind(userId_ + ":", 0) == 0 ? "me:" : "other:") + s.substr(s.find(':') + 1));
    const auto shown = rows(*screen);
    EXPECT_EQ(shown, expected) << ::testing::PrintToString(std::vector<std::string>(shown.begin() + 30, shown.end()))
                               << " against "
                               << ::testing::PrintToString(
                                      std::vector<std::string>(expected.begin() + 30, expected.end()));
    // Nothing older: a page that brings nothing leaves the header.
    screen->loadMoreChatMessages();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(screen->tableHeaderView());
    EXPECT_EQ(rows(*screen), expected);
}

TEST_F(ChatScreenTest, PanesSwitchAsTheButtonsSayAndTheBarFollowsTheKeyboard) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    auto screen = openChat(makeUser("Olga"));
    ASSERT_TRUE(screen);
    auto& field = *screen->sendMessageText();
    using VC = VelkoraChatOneViewController;
    struct Step {
        const char* what;
        std::function<void(VC&)> act;
        int pane;
        bool photoSelected;
        const char* inputClass;
    } steps[] = {
        {"switch to stickers", [](VC& s) { s.keyboardSwitchClicked(nullptr); }, 1, false,
         "VelkoraStickersKeyboardView"},
        {"switch back", [](VC& s) { s.keyboardSwitchClicked(nullptr); }, 0, false, nullptr},
        {"open the photo pane", [](VC& s) { s.photoUploadClicked(nullptr); }, 2, true,
         "VelkoraUploadImageKeyboardView"},
        {"stickers from the photo pane", [](VC& s) { s.keyboardSwitchClicked(nullptr); }, 1, false,
         "VelkoraStickersKeyboardView"},
        {"photo pane again", [](VC& s) { s.photoUploadClicked(nullptr); }, 2, true, "VelkoraUploadImageKeyboardView"},
        {"photo button closes it", [](VC& s) { s.photoUploadClicked(nullptr); }, 0, false, nullptr},
        {"a tap outside", [](VC& s) { s.resetKeyboard(); }, 0, false, nullptr},
    };
    field.setText("draft");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(*screen);
        loop().advance(0.5);
        EXPECT_EQ(screen->keyboardType(), step.pane);
        EXPECT_EQ(screen->uploadPhotoButton()->isSelected(), step.photoSelected);
        if (step.inputClass) {
            ASSERT_TRUE(field.inputView());
            EXPECT_STREQ(field.inputView()->className(), step.inputClass);
            // The bar stands on the pane.
            EXPECT_EQ(screen->sendMessageBottomSpaceConstraint()->constant(), field.inputView()->frame().height());
        } else {
            EXPECT_FALSE(field.inputView());
        }
        EXPECT_EQ(field.text(), "draft");
    }
    EXPECT_EQ(screen->sendMessageBottomSpaceConstraint()->constant(), 0);
    // The system keyboard: its height upright, its width lying down.
    field.becomeFirstResponder();
    loop().advance(0.5);
    EXPECT_EQ(screen->sendMessageBottomSpaceConstraint()->constant(), ui::Keyboard::instance().frame().height());
    field.resignFirstResponder();
    loop().advance(0.5);
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationLandscapeRight);
    field.becomeFirstResponder();
    loop().advance(0.5);
    EXPECT_EQ(screen->sendMessageBottomSpaceConstraint()->constant(), ui::Keyboard::instance().frame().width());
    field.resignFirstResponder();
    loop().advance(0.5);
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
    // In a popover the bar stays, yet a tap outside still closes the keyboard and keeps the text.
    container_->popover = true;
    field.becomeFirstResponder();
    loop().advance(0.5);
    EXPECT_EQ(screen->sendMessageBottomSpaceConstraint()->constant(), 0);
    size_t taps = 0;
    for (const auto& r : screen->view()->gestureRecognizers())
        if (dynamic_cast<ui::TapGestureRecognizer*>(r.get())) ++taps;
    EXPECT_EQ(taps, 1u);
    screen->handleTouchesWhenKeyboardIsVisble(*screen->view()->gestureRecognizers().back());
    loop().advance(0.5);
    EXPECT_FALSE(field.isFirstResponder());
    EXPECT_EQ(field.text(), "draft");
    EXPECT_TRUE(screen->view()->gestureRecognizers().empty());
}

TEST_F(ChatScreenTest, BackAsksFirstWhileTheFieldHoldsAnyText) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    auto screen = openChat(makeUser("Olga"));
    ASSERT_TRUE(screen);
    screen->sendMessageText()->setText("  ");
    screen->backTapped(nullptr);
    EXPECT_EQ(container_->backs, 0);
    screen->popupCancelTapped();
    EXPECT_EQ(screen->sendMessageText()->text(), "  ");
    EXPECT_EQ(container_->backs, 0);
    screen->backTapped(nullptr);
    screen->popupOkTapped();
    EXPECT_EQ(container_->backs, 1);
    screen->sendMessageText()->setText("");
    screen->backTapped(nullptr);
    EXPECT_EQ(container_->backs, 2);
}

TEST_F(ChatScreenTest, APhotoTapOpensTheFullPictureWhichFitsTheViewer) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    screen->imageSelected(picture(800, 400));
    ASSERT_TRUE(quiet());
    ASSERT_EQ(rows(*screen).size(), 1u);
    const std::string url = screen->dataSource()->allMessages().back()->message().value_or("");
    ASSERT_NE(url.find("/images/"), std::string::npos);
    // The service holds the photo whole and serves its small copy, which the row shows.
    auto cell = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(
        screen->messagesTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0)));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(cell->myImageView()->image());
    EXPECT_EQ(cell->myImageView()->image()->size(), (ui::Size{200, 100}));
    EXPECT_EQ(cell->myImageViewWidthConstraint()->constant(), 200);
    EXPECT_EQ(cell->myImageViewHeightConstraint()->constant(), 100);
    cell->imageClicked(nullptr);
    loop().advance(1);
    auto viewer = std::dynamic_pointer_cast<VelkoraFullScreenImageViewController>(nav_->topViewController());
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->imageUrl(), url);
    ASSERT_TRUE(waitFor([&] { return viewer->origImageWidth() > 0; }));
    EXPECT_EQ(viewer->origImageWidth(), 800);
    EXPECT_EQ(viewer->origImageHeight(), 400);
    window_->layoutIfNeeded();
    const ui::Size area = viewer->velkoraContentView()->bounds().size;
    EXPECT_EQ(viewer->imageSize(), VelkoraFullScreenImageViewController::fittedSize({800, 400}, area));
    // Lying down the area changes and the picture is fitted again.
    ui::Screen::main().setBounds({0, 0, 568, 320});
    window_->setFrame({0, 0, 568, 320});
    window_->layoutIfNeeded();
    EXPECT_EQ(viewer->imageSize(), VelkoraFullScreenImageViewController::fittedSize(
                                       {800, 400}, viewer->velkoraContentView()->bounds().size));
}

TEST_F(ChatScreenTest, APictureThatNeverLoadsLeavesTheViewerEmpty) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    auto viewer = VelkoraFullScreenImageViewController::initFromNibWithImageUrl(svc.baseUrl() + "/images/999999.jpg");
    show(viewer);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(viewer->imageSize(), (ui::Size{0, 0}));
    EXPECT_EQ(viewer->styleScreenIdentifier(), 19u);
}

} // namespace
} // namespace velkora::testing
