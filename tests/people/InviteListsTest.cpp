// The invite lists: the index sections and the search over full names, Twitter friends arriving in
// pages, contacts read off the main thread in the book's order, a refusal giving an empty list, and the
// invitations each source prepares (a wall post, an addressed tweet, an e-mail) that reach the outside
// stand-ins only when the person sends them.
#include "FriendsFixture.h"
#include "social/VelkoraContactsConnctor.h"
#include "social/VelkoraFBConnector.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "social/VelkoraTwitterConnector.h"
#include "platform/services/MailOutbox.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TextField.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

Value facebookPage(const std::vector<std::pair<std::string, std::string>>& friends) {
    foundation::Array data;
    for (const auto& [id, name] : friends)
        data.emplace_back(foundation::Dictionary{{"id", Value(id)}, {"name", Value(name)}});
    return Value(foundation::Dictionary{{"data", Value(std::move(data))}});
}

std::vector<std::string> namesOf(const std::vector<VelkoraSocialFriendPtr>& friends) {
    std::vector<std::string> names;
    for (const auto& f : friends)
        names.push_back(f->fullName());
    return names;
}

class InviteListsTest : public FriendsTest {
protected:
    // The invite list of a source, shown on the host's stack.
    std::shared_ptr<VelkoraInviteSocialNetworkViewController> openList(int32_t source) {
        auto screen = VelkoraInviteSocialNetworkViewController::create();
        screen->setFeatureTabDelegate(container);
        if (source == VelkoraInviteSocialNetworkViewController::kFacebook) screen->importFromFacebook();
        if (source == VelkoraInviteSocialNetworkViewController::kTwitter) screen->importFromTwitter();
        if (source == VelkoraInviteSocialNetworkViewController::kContacts) screen->importFromContacts();
        show(screen);
        EXPECT_TRUE(screen->friendsTable() && screen->searchText()) << "the interface file did not load";
        return screen->friendsTable() ? screen : nullptr;
    }
    std::shared_ptr<VelkoraInviteSocialFriendCell> rowOf(VelkoraInviteSocialNetworkViewController& screen,
                                                         const std::string& name) {
        auto& table = *screen.friendsTable();
        for (int s = 0; s < table.numberOfSections(); ++s)
            for (int r = 0; r < table.numberOfRowsInSection(s); ++r) {
                const auto path = ui::IndexPath::of(r, s);
                table.scrollToRowAtIndexPath(path, ui::TableViewScrollPosition::Middle, false);
                table.layoutIfNeeded();
                auto cell = std::dynamic_pointer_cast<VelkoraInviteSocialFriendCell>(table.cellForRowAtIndexPath(path));
                if (cell && cell->socialFriend() && cell->socialFriend()->fullName() == name) return cell;
            }
        return nullptr;
    }
    void type(VelkoraInviteSocialNetworkViewController& screen, const std::string& text) {
        screen.searchText()->setText(text);
        screen.filterChanged(screen.searchText().get());
    }
    static void useContacts(std::vector<services::Contact> contacts, services::PromptPolicy policy) {
        services::Device::instance().update([&](services::DeviceProfile& p) { p.contacts = std::move(contacts); });
        services::Device::instance().setPromptPolicy(services::Prompt::Contacts, policy);
    }
    // The Facebook session open for Dana, as after a log-in.
    void connectFacebook() {
        services::Device::instance().setPromptPolicy(services::Prompt::FacebookLogin, services::PromptPolicy::Grant);
        auto fb = VelkoraAgentInternal::instance().fbConnector();
        ASSERT_TRUE(fb);
        auto heard = std::make_shared<std::vector<Value>>();
        fb->connectWithDelegate(VelkoraConnectorTarget::make(heard, [heard](const Value& v) { heard->push_back(v); }));
        ASSERT_TRUE(waitAdvancing([&] { return !heard->empty(); }));
        drain();
    }
};

TEST_F(InviteListsTest, SectionsByFirstLetterSearchInsideNamesAndTheGlyphScrollsToTheTop) {
    start(friendsConfiguration());
    loadMyData();
    auto screen = openList(-1);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->friendsTable()->numberOfSections(), 0) << "nothing before the first list";
    screen->fbGotFriends(facebookPage({{"1", "zed"},
                                       {"2", "Amy"},
                                       {"3", "9lives"},
                                       {"4", ""},
                                       {"5", "Joanna Lind"},
                                       {"6", "ann"},
                                       {"7", "Émile"},
                                       {"8", "Zara"}}),
                         false);
    auto& table = *screen->friendsTable();
    ASSERT_EQ(table.numberOfSections(), 28);
    EXPECT_EQ(namesOf(screen->sortedUsers().section(26)), (std::vector<std::string>{"Zara", "zed"}));
    EXPECT_EQ(namesOf(screen->sortedUsers().section(1)), (std::vector<std::string>{"Amy", "ann"}));
    EXPECT_EQ(namesOf(screen->sortedUsers().section(27)), (std::vector<std::string>{"9lives", "Émile"}));
    size_t listed = 0;
    for (int s = 0; s < 28; ++s)
        listed += screen->sortedUsers().section(s).size();
    EXPECT_EQ(listed, 7u) << "the friend without a name is not listed";
    EXPECT_FALSE(screen->searchText()->isHidden());
    EXPECT_EQ(table.tableHeaderView(), screen->searchText());
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());

    const auto titles = screen->sectionIndexTitlesForTableView(table);
    ASSERT_EQ(titles.size(), 28u);
    EXPECT_EQ(titles[1], "A");
    EXPECT_EQ(titles[27], "#");
    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, "Z", 26), 26);
    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, "#", 27), 27);
    table.setContentOffset({0, 200});
    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, titles[0], 0), -1);
    EXPECT_EQ(table.contentOffset().y, 0);

    type(*screen, "ann");
    EXPECT_EQ(table.numberOfSections(), 1);
    EXPECT_EQ(namesOf(screen->filteredSortedUsers()), (std::vector<std::string>{"ann", "Joanna Lind"}));
    EXPECT_TRUE(screen->sectionIndexTitlesForTableView(table).empty());
    type(*screen, "EMILE");
    EXPECT_EQ(namesOf(screen->filteredSortedUsers()), std::vector<std::string>{"Émile"});
    type(*screen, "");
    EXPECT_EQ(table.numberOfSections(), 28);
}

// Each page is sorted on its own and merged into what came before: the order is that of sorting
// everyone at once, ties (names equal but for case) in arrival order, whatever page they came in.
TEST(InviteSections, PagesMergeIntoTheOrderOfOneSortTiesInArrivalOrder) {
    auto friends = [](std::vector<std::string> names) {
        std::vector<VelkoraSocialFriendPtr> made;
        for (auto& n : names) {
            auto f = std::make_shared<VelkoraFBUser>();
            f->setFbId(100 + static_cast<int64_t>(n.size()));
            f->setName(n);
            made.push_back(f);
        }
        return made;
    };
    auto listed = [](const VelkoraInviteSections& s) {
        std::vector<std::string> names;
        for (int i = 0; i < VelkoraInviteSections::kSectionCount; ++i)
            for (const auto& f : s.section(i))
                names.push_back(f->fullName());
        return names;
    };
    VelkoraInviteSections sections;
    sections.add(friends({"bob 2", "Ann", "carl", "ANN"}));
    sections.rebuildSorted();
    EXPECT_EQ(listed(sections), (std::vector<std::string>{"Ann", "ANN", "bob 2", "carl"}));
    sections.add(friends({"ann", "Bob 1", "Abe", "carl"}));
    sections.rebuildInOrder();
    EXPECT_EQ(listed(sections).front(), "Ann");
    sections.rebuildSorted();
    EXPECT_EQ(listed(sections),
              (std::vector<std::string>{"Abe", "Ann", "ANN", "ann", "Bob 1", "bob 2", "carl", "carl"}));
    sections.clear();
    sections.add(friends({"Zed", "Amy"}));
    sections.rebuildSorted();
    EXPECT_EQ(listed(sections), (std::vector<std::string>{"Amy", "Zed"}));
}

TEST_F(InviteListsTest, TwitterPagesOf100100And50RebuildThreeTimesInto250SortedFriends) {
    start(friendsConfiguration());
    loadMyData();
    svc.setTwitterPageSize(5000);
    svc.addTwitterUser(900000250, "many_friends", "Many Friends", "900000250-tok", "sEcR3t-many");
    svc.addTwitterFriends("many_friends", 250, 910000000);
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.twitterAccounts = {{"many_friends", "900000250", "900000250-tok", "sEcR3t-many"}};
    });
    info().setTwitterAccountIdentifier(std::string("900000250"));
    info().setTwitterId(900000250);
    auto screen = openList(VelkoraInviteSocialNetworkViewController::kTwitter);
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitAdvancing([&] { return screen->sortedUsers().received() == 250; }));
    drain();
    EXPECT_EQ(screen->rebuilds(), 3);
    EXPECT_EQ(screen->nameTitleLabel()->text(), "Twitter Friends");
    const auto& f = screen->sortedUsers().section(6);
    ASSERT_EQ(f.size(), 250u);
    for (size_t i = 1; i < f.size(); ++i)
        EXPECT_LE(VelkoraInviteSections::sortKey(f[i - 1]->fullName()),
                  VelkoraInviteSections::sortKey(f[i]->fullName()));
    EXPECT_TRUE(logged("Velkora - Got few friends from twitter: 50, total=250 has more No"));
}

TEST_F(InviteListsTest, ContactsComeOffTheMainThreadInBookOrder) {
    start(friendsConfiguration());
    loadMyData();
    auto photo = ui::Image::named("VelImg_FindFriendsIcon.png");
    ASSERT_TRUE(photo);
    const auto png = photo->pngData();
    useContacts(
        {{"Mia", "Sorensen", {"mia@velkora.example", "mia.s@work.example"}, std::string(png.begin(), png.end())},
         {"Omar", "Haddad", {"omar@velkora.example"}, {}},
         {"Blank", "Address", {"  "}, {}},
         {"", "", {"anon@velkora.example"}, {}},
         {"Ada", "Zeller", {"ada@velkora.example"}, {}}},
        services::PromptPolicy::Grant);
    auto screen = openList(VelkoraInviteSocialNetworkViewController::kContacts);
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitAdvancing([&] { return screen->hasList(); }));
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());
    EXPECT_EQ(screen->nameTitleLabel()->text(), "Invite Contacts");
    EXPECT_FALSE(logged("called on the main thread"));
    // Book order within each letter, no sorting; the blank address is nobody to invite.
    EXPECT_EQ(namesOf(screen->sortedUsers().section(13)), std::vector<std::string>{"Mia Sorensen"});
    EXPECT_EQ(namesOf(screen->sortedUsers().section(1)),
              (std::vector<std::string>{"anon@velkora.example", "Ada Zeller"}));
    EXPECT_EQ(screen->sortedUsers().received(), 4u);
    auto mia = rowOf(*screen, "Mia Sorensen");
    ASSERT_TRUE(mia);
    EXPECT_EQ(mia->emailLabel()->text(), "mia@velkora.example");
    EXPECT_TRUE(mia->userPhoto()->image());
    EXPECT_FALSE(mia->contactInviteButton()->isHidden());
    drain();
    snapshot("invite_contacts");
}

TEST_F(InviteListsTest, ARefusedAddressBookGivesAnEmptyListWithoutSpinnerOrSearch) {
    start(friendsConfiguration());
    loadMyData();
    useContacts({{"Mia", "Sorensen", {"mia@velkora.example"}, {}}}, services::PromptPolicy::Refuse);
    auto refused = openList(VelkoraInviteSocialNetworkViewController::kContacts);
    ASSERT_TRUE(refused);
    ASSERT_TRUE(waitAdvancing([&] { return refused->hasList(); }));
    EXPECT_FALSE(refused->activityIndicator()->isAnimating());
    EXPECT_TRUE(refused->searchText()->isHidden());
    EXPECT_EQ(refused->sortedUsers().received(), 0u);
    EXPECT_EQ(refused->friendsTable()->numberOfRowsInSection(13), 0);
}

TEST_F(InviteListsTest, AnEmailInvitationGoesOutOnlyWhenSentAndWithoutAnAccountNothingShows) {
    start(friendsConfiguration());
    loadMyData();
    useContacts({{"Omar", "Haddad", {"omar@velkora.example"}, {}}}, services::PromptPolicy::Grant);
    services::Device::instance().update(
        [](services::DeviceProfile& p) { p.mailAccount = "dana@mail.velkora.example"; });
    auto screen = openList(VelkoraInviteSocialNetworkViewController::kContacts);
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitAdvancing([&] { return screen->hasList(); }));
    auto omar = rowOf(*screen, "Omar Haddad");
    ASSERT_TRUE(omar);

    // Cancelled: nothing goes and nothing is logged.
    tap(omar->contactInviteButton());
    auto sheet = std::dynamic_pointer_cast<ui::MailComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(sheet) << "without a sidebar the screen presents the sheet";
    sheet->tapCancel();
    loop().advance(1);
    EXPECT_FALSE(nav->presentedViewController());
    EXPECT_TRUE(services::MailOutbox::instance().sent().empty());
    EXPECT_FALSE(eventLogged("invite-sent;email"));

    // Sent: the outbox holds the invitation to Omar alone.
    tap(omar->contactInviteButton());
    sheet = std::dynamic_pointer_cast<ui::MailComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(sheet);
    sheet->tapAction();
    loop().advance(1);
    auto sent = services::MailOutbox::instance().sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].toRecipients, std::vector<std::string>{"omar@velkora.example"});
    EXPECT_EQ(sent[0].subject, "Join me on Velkora");
    EXPECT_EQ(sent[0].body, "Come and play with me.");
    EXPECT_EQ(eventsLogged("invite-sent;email"), 1u);
    EXPECT_FALSE(nav->presentedViewController());

    // No mail account: the line, and no sheet.
    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount.reset(); });
    tap(omar->contactInviteButton());
    EXPECT_FALSE(nav->presentedViewController());
    EXPECT_TRUE(logged("Velkora - MFMailComposeViewController - cannot send email from device"));
}

TEST_F(InviteListsTest, AWallPostToAFriendBeyond32BitsIsStoredOnlyWhenPosted) {
    start(friendsConfiguration());
    loadMyData();
    connectFacebook();
    auto screen = openList(-1);
    ASSERT_TRUE(screen);
    screen->fbGotFriends(facebookPage({{"100009000000011", "Mira Okafor"}}), false);
    auto mira = rowOf(*screen, "Mira Okafor");
    ASSERT_TRUE(mira);
    EXPECT_FALSE(mira->fbInviteButton()->isHidden());
    EXPECT_TRUE(mira->twitterInviteButton()->isHidden());
    using Dialog = services::facebook::FeedDialogViewController;

    tap(mira->fbInviteButton());
    ASSERT_TRUE(Dialog::current());
    Dialog::current()->tapCancel();
    drain();
    EXPECT_TRUE(svc.selectRows("SELECT id FROM graph_posts").empty());
    EXPECT_FALSE(eventLogged("invite-sent;facebook"));

    tap(mira->fbInviteButton());
    auto dialog = Dialog::current();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->parameters()[0], (std::pair<std::string, std::string>("to", "100009000000011")));
    dialog->tapAction();
    ASSERT_TRUE(waitAdvancing([&] { return eventLogged("invite-sent;facebook"); }));
    auto posts = svc.selectRows("SELECT to_id FROM graph_posts");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0][0], "100009000000011");
}

TEST_F(InviteListsTest, AnAddressedTweetReachesTwitterOnlyWhenPosted) {
    start(friendsConfiguration(R"(K)", R"(,"twitterInviteDescription":"Play with me","twitterInviteLink":"L")"));
    loadMyData();
    auto screen = openList(-1);
    ASSERT_TRUE(screen);
    foundation::Array users;
    users.emplace_back(foundation::Dictionary{{"id", Value(910000007)}, {"screen_name", Value("mira_okafor")}});
    screen->importFromTwitter();
    screen->twitterGotFriends(Value(foundation::Dictionary{{"users", Value(std::move(users))}}), false);
    auto mira = rowOf(*screen, "mira_okafor");
    ASSERT_TRUE(mira);
    EXPECT_FALSE(mira->twitterInviteButton()->isHidden());

    tap(mira->twitterInviteButton());
    auto sheet = std::dynamic_pointer_cast<ui::ComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->text().rfind("@mira_okafor Play with me L", 0), 0u) << sheet->text();
    sheet->tapCancel();
    drain();
    EXPECT_TRUE(svc.selectRows("SELECT text FROM tweets").empty());
    EXPECT_FALSE(eventLogged("invite-sent;twitter"));

    tap(mira->twitterInviteButton());
    sheet = std::dynamic_pointer_cast<ui::ComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(sheet);
    sheet->tapAction();
    ASSERT_TRUE(waitAdvancing([&] { return eventLogged("invite-sent;twitter"); }));
    auto tweets = svc.selectRows("SELECT text FROM tweets");
    ASSERT_EQ(tweets.size(), 1u);
    EXPECT_EQ(tweets[0][0].rfind("@mira_okafor", 0), 0u);
}

// A container that is a screen too, as the e-mail sender's parent is.
class ParentScreen : public ui::ViewController, public VelkoraGeneralFeatureViewControllerDelegate {
public:
    int backs = 0;
    void didClickBack() override { ++backs; }
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

TEST_F(InviteListsTest, TheEmailSenderEndsInGoingBackWhateverThePersonDid) {
    start(friendsConfiguration());
    loadMyData();
    services::Device::instance().update(
        [](services::DeviceProfile& p) { p.mailAccount = "dana@mail.velkora.example"; });
    auto parent = std::make_shared<ParentScreen>();
    nav->setViewControllers({parent}, false);
    parent->view();
    auto sender = VelkoraInviteByEmailSender::create(parent);
    ASSERT_TRUE(sender->sendEmail());
    auto sheet = std::dynamic_pointer_cast<ui::MailComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->message().toRecipients.empty());
    EXPECT_EQ(sheet->message().subject, "Join me on Velkora");
    sheet->tapCancel();
    loop().advance(1);
    EXPECT_EQ(parent->backs, 1);
    EXPECT_FALSE(nav->presentedViewController());

    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount.reset(); });
    EXPECT_FALSE(VelkoraInviteByEmailSender::create(parent)->sendEmail());
    EXPECT_TRUE(logged("Velkora - MFMailComposeViewController - cannot send email from device"));
}

} // namespace
