// The owner's system message screen (links, HTML, history, the owner's chat) and the new-message chooser
// (sections by feedback and radar, the more row, each person once, the filter, picking) against
// velkora-service.
#include "InboxFixture.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "conversations/VelkoraGeneralSystemMessageViewController.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"
#include "people/VelkoraInviteHeaderView.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/WebView.h"
#include "shell/VelkoraLazyImageView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

service::UserFields named(const std::string& first, const std::string& last) {
    service::UserFields f;
    f.firstName = first;
    f.lastName = last;
    return f;
}

VelkoraUserPtr person(const std::string& id, const std::string& first, const std::string& last = {}) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    u->setFirstName(first);
    u->setLastName(last);
    return u;
}

std::vector<std::string> idsOf(const std::vector<VelkoraUserPtr>& users) {
    std::vector<std::string> ids;
    for (const auto& u : users)
        ids.push_back(u->userId().value_or("?"));
    return ids;
}

} // namespace

TEST(SystemMessageLink, SchemeIsAddedOnlyWhenTheTextDoesNotStartWithHttp) {
    const std::pair<const char*, const char*> cases[] = {{"example.com/a", "http://example.com/a"},
                                                         {"https://example.com/b", "https://example.com/b"},
                                                         {"http://example.com/c", "http://example.com/c"},
                                                         {"httpbin.example", "httpbin.example"},
                                                         {"", "http://"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(VelkoraGeneralSystemMessageViewController::linkAddress(in), out) << in;
}

TEST_F(InboxTest, SystemMessageShowsHtmlMarksTheOwnersChatViewedAndStartsTheOwnersChat) {
    startUser();
    svc.sendSystemMessage(kApp, me(), "News of the week", "text/html", "News of the week",
                          "<h1>Hello</h1><p>Quizzes every Friday.</p>");
    auto& repo = loadedChats();
    ASSERT_GT(repo.numNewMessageFromUser("_OWNER"), 0);
    auto message = repo.getActiveChats().front()->messages().front();
    auto screen = VelkoraGeneralSystemMessageViewController::create(message);
    show(screen);
    ASSERT_TRUE(waitFor([&] { return !screen->linkWebView()->isLoading(); }));
    settleScreen();
    EXPECT_EQ(screen->messageTitle()->text(), "News of the week");
    EXPECT_FALSE(screen->linkWebView()->isOpaque());
    EXPECT_EQ(repo.numNewMessageFromUser("_OWNER"), 0) << "opening marks the owner's chat viewed";
    auto indicator = screen->view()->viewWithTag(VelkoraGeneralSystemMessageViewController::kActivityIndicatorTag);
    ASSERT_TRUE(indicator);
    EXPECT_TRUE(indicator->isHidden());
    expectLooksLike("system_message_html");

    screen->startChatClicked(nullptr);
    loop().advance(1);
    auto chat = std::dynamic_pointer_cast<RecordedChatScreen>(top());
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->chatUser()->userId(), std::optional<std::string>("_OWNER"));
}

TEST_F(InboxTest, SystemMessageLinkLoadsBackWalksThePageHistoryAndAFailingPageIsLogged) {
    startUser();
    svc.addWebPage("first", "First", "<p>First page</p>");
    svc.addWebPage("second", "Second", "<p>Second page</p>");
    auto message = std::make_shared<VelkoraMessageInternal>();
    message->setContentType(std::string("text/link"));
    message->setMessageName(std::string("Read this"));
    message->setExtraData(svc.baseUrl() + "/pages/first");
    message->setSender(VelkoraUsersRepository::instance().userWithId("_OWNER"));
    auto screen = VelkoraGeneralSystemMessageViewController::create(message);
    show(screen);
    auto& web = *screen->linkWebView();
    ASSERT_TRUE(waitFor([&] { return !web.isLoading(); }));
    EXPECT_EQ(web.request().url, svc.baseUrl() + "/pages/first");
    web.loadRequest(foundation::UrlRequest::get(svc.baseUrl() + "/pages/second"));
    ASSERT_TRUE(waitFor([&] { return !web.isLoading() && web.canGoBack(); }));
    screen->backTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return !web.isLoading() && !web.canGoBack(); }));
    EXPECT_EQ(container_->backs, 0) << "back first walks the page history";
    EXPECT_FALSE(logged("Velkora - Failed to load custom web view"));

    web.loadRequest(foundation::UrlRequest::get(svc.baseUrl() + "/pages/missing"));
    ASSERT_TRUE(waitFor([&] { return !web.isLoading(); }));
    EXPECT_TRUE(logged("Velkora - Failed to load custom web view"));
}

TEST(NewMessageChooserFilter, MatchesFirstOrLastNameIgnoringCaseAndAccentsLiterallyAndEachPersonOnce) {
    const std::vector<VelkoraUserPtr> friends = {person("u1", "Ánne", "Lee"), person("u2", "Tom", "Bran"),
                                                 person("u3", "NAN"), person("u4", "Zed", "%@ [cd] .*")};
    const std::vector<VelkoraUserPtr> nearby = {person("u2", "Tom", "Bran"), person("u5", "Olga")};
    using F = VelkoraNewMessageChooserViewController;
    EXPECT_EQ(idsOf(F::filterUsers(friends, nearby, "an")), (std::vector<std::string>{"u3", "u2", "u1"}))
        << "sorted by full name, a friend who is also nearby once";
    for (const char* literal : {"%@", "[cd]", ".*"})
        EXPECT_EQ(idsOf(F::filterUsers(friends, nearby, literal)), (std::vector<std::string>{"u4"})) << literal;
    EXPECT_TRUE(F::filterUsers(friends, nearby, "xyz").empty());
    EXPECT_TRUE(F::filterUsers(friends, nearby, "Tom Bran").empty()) << "first or last name, not the full name";
}

class ChooserTest : public InboxTest {
protected:
    // Friends of the signed-in user: `following` the user follows, `followers` follow the user.
    std::vector<std::string> makeFriends(int following, int followers, int mutual = 0) {
        std::vector<std::string> ids;
        auto make = [&](const std::string& first, bool iFollow, bool followsMe) {
            auto id = svc.createUser(kApp, named(first, "Friend"));
            if (iFollow) svc.follow(kApp, me(), id);
            if (followsMe) svc.follow(kApp, id, me());
            ids.push_back(id);
        };
        const char* names[] = {"Ada", "Ben", "Cas", "Dora", "Eli", "Fay", "Gus", "Hal", "Ivy"};
        int n = 0;
        for (int i = 0; i < following; ++i)
            make(names[n++], true, false);
        for (int i = 0; i < followers; ++i)
            make(names[n++], false, true);
        for (int i = 0; i < mutual; ++i)
            make(names[n++], true, true);
        return ids;
    }
    std::shared_ptr<VelkoraNewMessageChooserViewController> openChooser() {
        auto chooser = VelkoraNewMessageChooserViewController::create();
        show(chooser);
        settleScreen();
        return chooser;
    }
    static std::shared_ptr<VelkoraNewMessageChooserCell> cellAt(VelkoraNewMessageChooserViewController& c, int row,
                                                                int section) {
        return std::dynamic_pointer_cast<VelkoraNewMessageChooserCell>(
            c.recipientsTable()->cellForRowAtIndexPath(ui::IndexPath::of(row, section)));
    }
};

TEST_F(ChooserTest, SectionsFollowFeedbackAndRadar) {
    startUser();
    const struct {
        const char* features;
        int sections, friends, nearby;
    } cases[] = {{R"([{"id":"feedback"},{"id":"radar"}])", 3, 1, 2},
                 {R"([{"id":"feedback"}])", 2, 1, -1},
                 {R"([{"id":"radar"}])", 2, 0, 1},
                 {"[]", 1, 0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.features);
        serveConfiguration(std::string(R"({"appName":"Test","features":)") + c.features + "}");
        auto chooser = openChooser();
        EXPECT_LE(chooser->titleLabel()->frame().maxX(), chooser->cancelButton()->frame().minX())
            << "the title ends before the panel's cancel button";
        EXPECT_EQ(chooser->recipientsTable()->numberOfSections(), c.sections);
        EXPECT_EQ(chooser->friendsSectionIndex(), c.friends);
        EXPECT_EQ(chooser->nearbySectionIndex(), c.nearby);
        EXPECT_EQ(chooser->recipientsTable()->headerViewForSection(c.friends), chooser->friendsHeaderView());
        if (c.friends == 1) {
            auto talkToUs = std::dynamic_pointer_cast<VelkoraFeedbackViewCell>(
                chooser->recipientsTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0)));
            ASSERT_TRUE(talkToUs);
            // This application has no icon of its own: the kit's feedback icon stands in, not an empty square.
            EXPECT_EQ(talkToUs->optionIcon()->image(), ui::Image::named("VelImg_FeedbackIcon.png"));
            EXPECT_EQ(talkToUs->optionBacground()->backgroundColor(), ui::Color::clear());
            EXPECT_TRUE(chooser->talkToUsIndexPath());
            chooser->recipientsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
            loop().advance(1);
            // The navigation stack presents for the screens it holds.
            auto talk =
                std::dynamic_pointer_cast<VelkoraFeedbackTalkToUsViewController>(nav_->presentedViewController());
            ASSERT_TRUE(talk);
            EXPECT_EQ(talk->modalPresentationStyle(), ui::ModalPresentationStyle::FullScreen);
            chooser->dismissTalkToUs();
            loop().advance(1);
            EXPECT_FALSE(nav_->presentedViewController());
        } else {
            EXPECT_FALSE(chooser->talkToUsIndexPath()) << "no talk-to-us row, nothing to scroll to";
        }
    }
}

TEST_F(ChooserTest, FiveRowsAtMostWithTheMoreRowUntilExpandedAndAMutualFriendOnce) {
    startUser();
    serveConfiguration(R"({"appName":"Test","features":[]})");
    // Three friends show as they are; five show four and the more row; seven too, until expanded. One
    // of them both follows and is followed: listed once.
    const char* names[] = {"Ada", "Ben", "Cas", "Dora", "Eli", "Fay", "Gus"};
    int made = 0;
    for (const int friends : {3, 5, 7}) {
        SCOPED_TRACE(friends);
        for (; made < friends; ++made) {
            auto id = svc.createUser(kApp, named(names[made], "Friend"));
            if (made % 2 == 0 || made == 1) svc.follow(kApp, me(), id);
            if (made % 2 == 1) svc.follow(kApp, id, me());
        }
        auto chooser = openChooser();
        ASSERT_EQ(chooser->friendsList().size(), size_t(friends));
        const bool more = friends >= 5;
        EXPECT_EQ(chooser->recipientsTable()->numberOfRowsInSection(0), more ? 5 : friends);
        for (int r = 0; r < (more ? 4 : friends); ++r)
            EXPECT_FALSE(cellAt(*chooser, r, 0)->showMoreButton()) << r;
        if (!more) continue;
        ASSERT_TRUE(cellAt(*chooser, 4, 0)->showMoreButton());
        chooser->recipientsTable()->tapRowAtIndexPath(ui::IndexPath::of(4, 0));
        loop().advance(1);
        EXPECT_TRUE(chooser->showAllFriends());
        EXPECT_EQ(chooser->recipientsTable()->numberOfRowsInSection(0), friends);
    }
}

TEST_F(ChooserTest, PickOpensTheChatWithTheWholeUserAndNoProfileRequest) {
    startUser();
    serveConfiguration(R"({"appName":"Test","features":[]})");
    makeFriends(2, 1);
    auto chooser = openChooser();
    ASSERT_EQ(chooser->friendsList().size(), 3u);
    const size_t profiles = count("getOtherUserData");
    auto first = cellAt(*chooser, 0, 0);
    ASSERT_TRUE(first && first->user());
    EXPECT_EQ(first->title()->text(), "Ada F.");
    chooser->recipientsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    auto chat = std::dynamic_pointer_cast<RecordedChatScreen>(top());
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->chatUser(), first->user());
    EXPECT_EQ(chat->chatUser()->firstName(), std::optional<std::string>("Ada"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("getOtherUserData"), profiles);
}

TEST_F(ChooserTest, FilterShowsOneSectionWithoutHeaderAndASnapshot) {
    startUser();
    serveConfiguration(R"({"appName":"Test","features":[{"id":"feedback"}]})");
    makeFriends(2, 2, 1);
    auto chooser = openChooser();
    expectLooksLike("chooser_sections");
    chooser->filterText()->setText("a");
    chooser->filterChanged(chooser->filterText().get());
    EXPECT_EQ(chooser->recipientsTable()->numberOfSections(), 1);
    EXPECT_FALSE(chooser->recipientsTable()->headerViewForSection(0));
    EXPECT_EQ(chooser->recipientsTable()->numberOfRowsInSection(0), 3); // Ada, Cas, Dora
    chooser->filterText()->setText("qqq");
    chooser->filterChanged(chooser->filterText().get());
    EXPECT_EQ(chooser->recipientsTable()->numberOfSections(), 1);
    EXPECT_EQ(chooser->recipientsTable()->numberOfRowsInSection(0), 0);
    chooser->filterText()->setText("");
    chooser->filterChanged(chooser->filterText().get());
    EXPECT_EQ(chooser->recipientsTable()->numberOfSections(), 2);
}

TEST_F(ChooserTest, WhileTheKeyboardShowsATapOnARowOnlyClosesIt) {
    startUser();
    serveConfiguration(R"({"appName":"Test","features":[]})");
    makeFriends(1, 0);
    auto chooser = openChooser();
    ASSERT_EQ(chooser->friendsList().size(), 1u);
    auto& table = *chooser->recipientsTable();
    const ui::Rect rowRect = table.convertRectToView(table.rectForRowAtIndexPath(ui::IndexPath::of(0, 0)), nullptr);
    const ui::Point center{rowRect.midX(), rowRect.midY()};
    ui::TouchDriver touches(window_);

    ASSERT_TRUE(chooser->filterText()->becomeFirstResponder());
    foundation::NotificationCenter::defaultCenter().post(ui::kKeyboardWillShowNotification);
    touches.tap(center);
    touches.wait(1);
    EXPECT_FALSE(chooser->filterText()->isFirstResponder()) << "the tap closed the keyboard";
    EXPECT_EQ(top(), chooser) << "and did nothing else";

    foundation::NotificationCenter::defaultCenter().post(ui::kKeyboardWillHideNotification);
    for (const auto& r : chooser->view()->gestureRecognizers())
        EXPECT_FALSE(std::dynamic_pointer_cast<ui::TapGestureRecognizer>(r));
}
