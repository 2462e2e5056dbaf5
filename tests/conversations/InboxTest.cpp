// The inbox against velkora-service: rows, badges and ages, live insertion from the poll, pull to refresh,
// deletion behind the confirmation, the sign-in invitation's states and what a tap opens.
#include "InboxFixture.h"
#include "conversations/VelkoraChatsHistoryViewController.h"
#include "conversations/VelkoraGeneralSystemMessageViewController.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/utils/VelkoraReachability.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraRefreshTableHeaderView.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

service::UserFields named(const std::string& first, const std::string& last) {
    service::UserFields f;
    f.firstName = first;
    f.lastName = last;
    return f;
}

class InboxScreenTest : public InboxTest {
protected:
    std::shared_ptr<VelkoraChatsHistoryViewController> openInbox() {
        auto inbox = VelkoraChatsHistoryViewController::initFromNib();
        show(inbox);
        settleScreen();
        return inbox;
    }
    static std::shared_ptr<VelkoraChatsHistoryTableCell> row(VelkoraChatsHistoryViewController& inbox, int i) {
        return std::dynamic_pointer_cast<VelkoraChatsHistoryTableCell>(
            inbox.chatsTable()->cellForRowAtIndexPath(ui::IndexPath::of(i, 0)));
    }
    static std::string nameOfRow(VelkoraChatsHistoryViewController& inbox, int i) {
        auto cell = row(inbox, i);
        return cell && cell->nameLabel() ? cell->nameLabel()->text() : "<none>";
    }
    static int rows(VelkoraChatsHistoryViewController& inbox) { return inbox.chatsTable()->numberOfRowsInSection(0); }
    // The confirmation on screen, if any.
    static std::shared_ptr<VelkoraDefaultOKPopupView> shownPopup() {
        for (auto& window : ui::Application::instance().windows())
            for (auto& view : window->subviews())
                if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(view)) return popup;
        return nullptr;
    }
    // Swipes a row open and waits for its report.
    void swipeOpen(VelkoraChatsHistoryViewController& inbox, int i) {
        auto cell = row(inbox, i);
        ASSERT_TRUE(cell);
        cell->handlePanEvents(nullptr);
        loop().advance(VelkoraChatsHistoryTableCell::kSwipeSeconds + 0.1);
        ASSERT_EQ(inbox.toDeleteCell(), cell.get());
    }
};

} // namespace

TEST_F(InboxScreenTest, RowsNewestFirstWithBadgesStickerNoticeAndOwnerOneAndASnapshot) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    auto bo = svc.createUser(kApp, named("Bo", "Berg"));
    svc.sendMessage(kApp, ann, me(), "Hello there");
    svc.sendMessage(kApp, ann, me(), "Are you around?");
    svc.sendMessage(kApp, bo, me(), "https://stickers.example/cat.png", "sticker");
    svc.sendSystemMessage(kApp, me(), "Welcome aboard", "text/html", "Welcome aboard", "<p>Hi</p>");
    svc.sendSystemMessage(kApp, me(), "Welcome aboard", "text/html", "Welcome aboard", "<p>Hi again</p>");
    auto& repo = loadedChats();
    repo.setChatWasViewed(bo);
    auto inbox = openInbox();

    ASSERT_EQ(rows(*inbox), 3);
    EXPECT_EQ(nameOfRow(*inbox, 0), "Welcome aboard");
    EXPECT_EQ(nameOfRow(*inbox, 1), "Bo B.");
    EXPECT_EQ(nameOfRow(*inbox, 2), "Ann A.");
    auto owner = row(*inbox, 0), sticker = row(*inbox, 1), unread = row(*inbox, 2);
    EXPECT_EQ(owner->badgeLabel()->text(), "1") << "the owner's badge reads 1 whatever the count";
    EXPECT_FALSE(owner->badgeView()->isHidden());
    EXPECT_FALSE(unread->badgeView()->isHidden());
    EXPECT_FALSE(unread->badgeLabel()->text().empty());
    EXPECT_EQ(unread->messageLabel()->text(), "Are you around?");
    EXPECT_EQ(sticker->messageLabel()->text(),
              foundation::Bundle::main().localizedString("velkora_text_notification_sticker_message"));
    EXPECT_TRUE(sticker->badgeView()->isHidden());
    EXPECT_EQ(sticker->messageLabelTrailingSpaceToBadgeConstraint()->constant(),
              sticker->origMessageLabelTrailingSpaceToBadge() - sticker->badgeView()->frame().width());
    EXPECT_GT(sticker->messageLabel()->frame().maxX(), unread->messageLabel()->frame().maxX())
        << "without a badge the text runs into its place";
    EXPECT_TRUE(inbox->isRefreshEnabled());
    EXPECT_FALSE(inbox->activityIndicator()->isAnimating());
    expectLooksLike("inbox_main");

    // The age turns from a relative time into a date at two days.
    const double now = agent().getServerTimeDiff(0.0);
    for (double age : {172799.0, 172800.0}) {
        auto chat = std::make_shared<VelkoraChat>(*repo.getActiveChats().back());
        auto m = std::make_shared<VelkoraMessageInternal>(*chat->messages().front());
        m->setTime(now - age);
        chat->setMessages({m});
        unread->updateData(chat, true);
        EXPECT_EQ(unread->timeLabel()->text(), age < 172800 ? VelkoraTimeIntervalDisplay::getLongDisplayString(age)
                                                            : VelkoraTimeIntervalDisplay::getJustDate(now - age))
            << age;
    }
}

TEST_F(InboxScreenTest, PollInsertsNewChatsOnTopReloadsWhenTheListLeavesOneOutAndADeletedChatComesBack) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    svc.sendMessage(kApp, ann, me(), "first");
    loadedChats();
    auto inbox = openInbox();
    ASSERT_EQ(rows(*inbox), 1);

    auto cy = svc.createUser(kApp, named("Cy", "Cole"));
    svc.sendMessage(kApp, cy, me(), "new here");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    ASSERT_EQ(rows(*inbox), 2);
    EXPECT_EQ(nameOfRow(*inbox, 0), "Cy C.");
    EXPECT_TRUE(inbox->chatsTable()->lastUpdateError().empty());
    EXPECT_FALSE(logged("Invalid update"));

    // A new chat the active list leaves out (a deleted mark above its messages) reloads instead.
    auto dee = svc.createUser(kApp, named("Dee", "Dunn"));
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto marks = info->usersDeletedChangeNumbersMap().value_or(VelkoraUserInfo::ChangeNumbersMap{});
    marks[dee] = 1000000;
    info->setUsersDeletedChangeNumbersMap(marks);
    svc.sendMessage(kApp, dee, me(), "hidden");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    EXPECT_EQ(rows(*inbox), 2);
    EXPECT_FALSE(logged("Invalid update"));

    // Ann's chat deleted, then Ann writes again: back on top with a badge.
    VelkoraChatsRepository::instance().setChatWasDeleted(ann);
    inbox->handleNewChatsHistory(0);
    ASSERT_EQ(rows(*inbox), 1);
    svc.sendMessage(kApp, ann, me(), "me again");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    ASSERT_EQ(rows(*inbox), 2);
    EXPECT_EQ(nameOfRow(*inbox, 0), "Ann A.");
    EXPECT_FALSE(row(*inbox, 0)->badgeView()->isHidden());
    EXPECT_FALSE(logged("Invalid update"));
}

TEST_F(InboxScreenTest, AMessageInAnOlderChatMovesItsRowSoEveryRowOpensTheChatItShows) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    auto bo = svc.createUser(kApp, named("Bo", "Berg"));
    svc.sendMessage(kApp, ann, me(), "one");
    svc.sendMessage(kApp, bo, me(), "two");
    loadedChats();
    auto inbox = openInbox();
    ASSERT_EQ(nameOfRow(*inbox, 0), "Bo B.");
    svc.sendMessage(kApp, ann, me(), "three");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    EXPECT_EQ(nameOfRow(*inbox, 0), "Ann A.");
    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    auto chat = std::dynamic_pointer_cast<RecordedChatScreen>(top());
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->chatUser()->userId(), ann);
}

TEST_F(InboxScreenTest, OpenedOfflineTheSpinnerTurnsUntilTheParkedListIsAnswered) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    svc.sendMessage(kApp, ann, me(), "hi");
    auto provider = std::make_shared<foundation::TestReachabilityProvider>();
    foundation::NetworkReachability::setProvider(provider);
    VelkoraReachabilityManager::resetForTests();
    provider->setReachable(false);
    loop().advance(0);
    auto& repo = VelkoraChatsRepository::instance();
    // Nothing settles while the list waits for the network.
    auto inbox = VelkoraChatsHistoryViewController::initFromNib();
    show(inbox);
    loop().advance(2);
    EXPECT_FALSE(repo.didFinishLoading());
    EXPECT_TRUE(inbox->activityIndicator()->isAnimating());
    for (const auto& v : {inbox->noMessagesView(), inbox->anonynousView(), inbox->signinView(), inbox->signupView()})
        EXPECT_TRUE(v->isHidden());
    EXPECT_TRUE(inbox->addMessageButton()->isHidden());

    provider->setReachable(true);
    loop().advance(0);
    EXPECT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    loop().advance(0.5);
    EXPECT_FALSE(inbox->activityIndicator()->isAnimating());
    EXPECT_EQ(rows(*inbox), 1);
    EXPECT_FALSE(inbox->addMessageButton()->isHidden());
    foundation::NetworkReachability::setProvider(nullptr);
    VelkoraReachabilityManager::resetForTests();
}

TEST_F(InboxScreenTest, PullToRefreshHasAHeaderOnlyWithChatsAndLoadsUntilThePollAnswers) {
    startUser();
    loadedChats();
    auto inbox = openInbox();
    EXPECT_FALSE(inbox->isRefreshEnabled());
    EXPECT_FALSE(inbox->chatsTable()->tableHeaderView());

    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    svc.sendMessage(kApp, ann, me(), "hi");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    ASSERT_TRUE(inbox->isRefreshEnabled());
    auto header = inbox->refreshTableHeaderView();
    ASSERT_TRUE(header);
    const double h = header->topLevelSubview()->frame().height();
    EXPECT_EQ(inbox->chatsTable()->tableHeaderView(), header->topLevelSubview());
    EXPECT_EQ(inbox->chatsTable()->contentInset().top, -h);

    auto pull = [&] {
        auto& table = *inbox->chatsTable();
        table.beginDragging();
        table.dragBy({0, table.contentOffset().y});
        ASSERT_EQ(table.contentOffset().y, 0);
        table.endDragging({0, 0});
    };
    size_t before = count("update");
    pull();
    EXPECT_TRUE(inbox->reloadingTable());
    EXPECT_TRUE(header->activityView()->isAnimating());
    ASSERT_TRUE(waitForRequests("update", before + 1));
    loop().advance(0.5);
    EXPECT_EQ(count("update"), before + 1);
    EXPECT_FALSE(inbox->reloadingTable());
    EXPECT_FALSE(header->activityView()->isAnimating());
    EXPECT_EQ(inbox->chatsTable()->contentOffset().y, h) << "the header settles hidden again";

    // A failing poll keeps it loading until the retry 15 s later answers.
    svc.addFault({"update", service::Fault::Kind::HttpStatus, "", 500, 0, 1});
    before = count("update");
    pull();
    ASSERT_TRUE(waitForRequests("update", before + 1));
    loop().advance(1);
    EXPECT_TRUE(inbox->reloadingTable());
    EXPECT_TRUE(header->activityView()->isAnimating());
    loop().advance(15);
    ASSERT_TRUE(waitForRequests("update", before + 2));
    loop().advance(0.5);
    EXPECT_FALSE(inbox->reloadingTable());
}

TEST_F(InboxScreenTest, DeletionAsksClosesOnATapElsewhereAndOkDeletesTheChatOfTheTappedRow) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    auto bo = svc.createUser(kApp, named("Bo", "Berg"));
    svc.sendMessage(kApp, ann, me(), "one");
    svc.sendMessage(kApp, bo, me(), "two");
    loadedChats();
    auto inbox = openInbox();
    ASSERT_EQ(rows(*inbox), 2);

    // A tap elsewhere closes the open row.
    swipeOpen(*inbox, 0);
    EXPECT_EQ(inbox->view()->gestureRecognizers().back(), inbox->gestureRecognizer());
    inbox->tappedWhileDelete();
    loop().advance(0.5);
    EXPECT_FALSE(row(*inbox, 0)->isDeleteRevealed());
    EXPECT_EQ(inbox->toDeleteCell(), nullptr);

    // Cancel keeps the chat.
    swipeOpen(*inbox, 0);
    inbox->deleteTapped(*row(*inbox, 0));
    ASSERT_TRUE(shownPopup());
    inbox->popupCancelTapped();
    loop().advance(0.5);
    EXPECT_EQ(rows(*inbox), 2);
    EXPECT_FALSE(row(*inbox, 0)->isDeleteRevealed());

    // A new chat arriving under the open question refills the row; OK still deletes Bo's chat.
    swipeOpen(*inbox, 0);
    inbox->deleteTapped(*row(*inbox, 0));
    EXPECT_EQ(inbox->toDeleteUserId(), bo);
    auto cy = svc.createUser(kApp, named("Cy", "Cole"));
    svc.sendMessage(kApp, cy, me(), "new");
    ASSERT_TRUE(pollNow());
    loop().advance(0.5);
    inbox->popupOkTapped();
    loop().advance(0.5);
    ASSERT_EQ(rows(*inbox), 2);
    EXPECT_EQ(nameOfRow(*inbox, 0), "Cy C.");
    EXPECT_EQ(nameOfRow(*inbox, 1), "Ann A.");
    auto marks = VelkoraAgentInternal::instance().userInfo()->usersDeletedChangeNumbersMap();
    ASSERT_TRUE(marks && marks->count(bo));
    EXPECT_GT(marks->at(bo), 0);

    // The last chats go, and the header with them.
    for (auto id : {ann, cy})
        VelkoraChatsRepository::instance().setChatWasDeleted(id);
    inbox->popupOkTapped();
    EXPECT_EQ(rows(*inbox), 0);
    EXPECT_FALSE(inbox->isRefreshEnabled());
    EXPECT_FALSE(inbox->chatsTable()->tableHeaderView());
}

TEST_F(InboxScreenTest, AnonymousBannerStatesChooseTheViewsAndTheTableTopConstraint) {
    struct Case {
        bool named, closed, email, chats;
        int raised; // index into the table-top constraints
        bool banner, noMessages, signin, signup, compose;
    };
    // Constraints: 0 super view, 1 anonymous view, 2 no-messages view, 3 old sign-in, 4 new sign-in.
    const Case cases[] = {
        {false, false, true, true, 4, true, false, false, true, false},
        {false, false, false, true, 3, true, false, true, false, false},
        {false, true, true, true, 0, false, false, false, false, false},
        {false, false, true, false, 1, true, false, false, true, false},
        {false, true, false, false, 0, false, false, false, false, false},
        {true, false, true, false, 2, false, true, false, false, true},
        {true, false, false, true, 0, false, false, false, false, true},
    };
    startUser(false);
    serveConfiguration(R"({"appName":"Test"})");
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    svc.sendMessage(kApp, ann, me(), "hi");
    loadedChats();
    auto inbox = openInbox();
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "named " << c.named << " closed " << c.closed << " email " << c.email << " chats " << c.chats);
        me->setFirstName(c.named ? std::optional<std::string>("Vera") : std::nullopt);
        VelkoraAgentInternal::instance().appData()->setEmailSignUpEnabled(c.email);
        if (c.chats)
            VelkoraAgentInternal::instance().userInfo()->setUsersDeletedChangeNumbersMap(std::nullopt);
        else
            VelkoraChatsRepository::instance().setChatWasDeleted(ann);
        inbox->handleNewChatsHistory(0);
        if (c.closed && !inbox->hideAnonymousView()) inbox->closeAnonymousMessage(nullptr);
        if (!c.closed && inbox->hideAnonymousView()) {
            // Closing lasts for the screen's life: a fresh screen for the open banner.
            inbox = openInbox();
        }
        inbox->updateViewOnAnonymous();
        inbox->chatsTable()->reloadData();
        inbox->view()->layoutIfNeeded();
        EXPECT_EQ(!inbox->anonynousView()->isHidden(), c.banner);
        EXPECT_EQ(!inbox->noMessagesView()->isHidden(), c.noMessages);
        if (c.banner) {
            EXPECT_EQ(!inbox->signinView()->isHidden(), c.signin);
            EXPECT_EQ(!inbox->signupView()->isHidden(), c.signup);
        }
        EXPECT_EQ(!inbox->addMessageButton()->isHidden(), c.compose);
        auto constraints = inbox->tableTopConstraints();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(constraints[i]->priority(), i == c.raised ? 750 : 500) << i;
    }
}

TEST_F(InboxScreenTest, BannerButtonsPushLogInAndSignUpAndComposeMovesToTheNavigationBar) {
    startUser(false);
    loadedChats();
    auto inbox = openInbox();
    ASSERT_FALSE(inbox->anonynousView()->isHidden());
    inbox->loginClicked(nullptr);
    loop().advance(1);
    auto login = std::dynamic_pointer_cast<NamedScreen>(top());
    ASSERT_TRUE(login);
    EXPECT_EQ(login->name, "login");
    nav_->popViewController(false);
    inbox->signUpClicked(nullptr);
    loop().advance(1);
    auto signup = std::dynamic_pointer_cast<NamedScreen>(top());
    ASSERT_TRUE(signup);
    EXPECT_EQ(signup->name, "signup");
    nav_->popViewController(false);

    auto me = VelkoraAgentInternal::instance().velkoraUser();
    me->setFirstName(std::string("Vera"));
    container_->topPanelHidden = true;
    inbox->updateViewOnAnonymous();
    auto item = inbox->navigationItem().rightBarButtonItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(item->customView(), inbox->addMessageButton());
    inbox->addMessageTapped(nullptr);
    loop().advance(1);
    EXPECT_TRUE(std::dynamic_pointer_cast<VelkoraNewMessageChooserViewController>(top()));
}

TEST_F(InboxScreenTest, TapsOpenTheChatOrTheSystemMessageScreenWithTheOldestMessage) {
    startUser();
    auto ann = svc.createUser(kApp, named("Ann", "Alder"));
    svc.sendMessage(kApp, ann, me(), "hi");
    svc.sendSystemMessage(kApp, me(), "Read this", "text/link", "Read this", "example.com/first");
    svc.sendSystemMessage(kApp, me(), "Read this too", "text/link", "Read this too", "example.com/second");
    loadedChats();
    auto inbox = openInbox();
    ASSERT_EQ(rows(*inbox), 2);
    // The list carries the newest message; the whole chat comes with a poll of it.
    auto owner = VelkoraChatsRepository::instance().getActiveChats().front();
    ASSERT_TRUE(owner->systemChat());
    auto older = std::make_shared<VelkoraMessageInternal>(*owner->messages().front());
    older->setExtraData(std::string("example.com/first"));
    older->setMessageName(std::string("Read this"));
    owner->mutableMessages().push_back(older);
    owner->setNumMessages(2);

    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    auto system = std::dynamic_pointer_cast<VelkoraGeneralSystemMessageViewController>(top());
    ASSERT_TRUE(system);
    EXPECT_EQ(system->message()->extraData(), std::optional<std::string>("example.com/first"));
    EXPECT_TRUE(logged("Velkora - too many messages in system message chat: Team, 2"));
    nav_->popViewController(false);

    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(1, 0));
    loop().advance(1);
    auto chat = std::dynamic_pointer_cast<RecordedChatScreen>(top());
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->chatUser()->userId(), ann);
    nav_->popViewController(false);

    // A plain-text system message opens the chat; a system chat without messages opens nothing.
    owner->messages().front()->setContentType(std::string("text/plain"));
    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    ASSERT_TRUE(std::dynamic_pointer_cast<RecordedChatScreen>(top()));
    nav_->popViewController(false);
    owner->mutableMessages().clear();
    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    EXPECT_EQ(top(), inbox);
}

TEST_F(InboxScreenTest, TheOwnersBadgeIsGoneOnReturnFromItsSystemMessage) {
    startUser();
    svc.sendSystemMessage(kApp, me(), "News", "text/html", "News", "<p>Quiz night</p>");
    loadedChats();
    auto inbox = openInbox();
    ASSERT_EQ(rows(*inbox), 1);
    ASSERT_FALSE(row(*inbox, 0)->badgeView()->isHidden());
    inbox->chatsTable()->tapRowAtIndexPath(ui::IndexPath::of(0, 0));
    loop().advance(1);
    ASSERT_TRUE(std::dynamic_pointer_cast<VelkoraGeneralSystemMessageViewController>(top()));
    nav_->popViewController(true);
    loop().advance(1);
    ASSERT_EQ(top(), inbox);
    EXPECT_TRUE(row(*inbox, 0)->badgeView()->isHidden());
}
