// Every feature from every place a host or the kit opens it: the sidebar's menu, the host's stack with
// the kit's bar, the host's stack under the host's own bar, the kit's own stack presented over the host,
// and by name from another screen of the kit. Each row opens the feature, acts once where the feature
// has something to do, goes back, opens it again and closes it: each time the screen is the one on show
// and held once, and afterwards the host's window and stack are as they were.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "JourneyFixture.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "people/VelkoraUserSettingsViewController.h"

namespace velkora::testing {
namespace {

enum class Place { Sidebar, HostStackKitBar, HostStackHostBar, KitStack, ByName };

const char* placeName(Place p) {
    switch (p) {
    case Place::Sidebar:
        return "Sidebar";
    case Place::HostStackKitBar:
        return "HostStackKitBar";
    case Place::HostStackHostBar:
        return "HostStackHostBar";
    case Place::KitStack:
        return "KitStack";
    case Place::ByName:
        return "ByName";
    }
    return "?";
}

class Journeys;
using Opener = std::function<void(Journeys&, const VelkoraNavigation&, bool kitBar)>;
using SidebarOpener = std::function<void(VelkoraViewController&)>;
using Act = std::function<void(Journeys&, ui::ViewController& screen, int round)>;

enum class Leave { BackOrClose, AppButton, Cancel };

struct Feature {
    const char* name = nullptr;
    Opener open = nullptr;          // null: not a feature the host opens
    SidebarOpener inMenu = nullptr; // null: no row or header control of the menu opens it
    const char* byName = nullptr;   // null: not opened by name
    std::function<foundation::Value(Journeys&)> object1 = nullptr;
    Act act = nullptr;
    Leave leave = Leave::BackOrClose;
};

struct Row {
    const Feature* feature;
    Place place;
};

class Journeys : public JourneyTest, public ::testing::WithParamInterface<Row> {
public:
    using JourneyTest::kApp;
    using JourneyTest::loop;
    using JourneyTest::popup;
    using JourneyTest::settle;
    using JourneyTest::svc;
    using JourneyTest::waitFor;
    using JourneyTest::waitForRequests;
    std::string other_;
    int32_t topicId_ = 0;

    std::shared_ptr<ui::ViewController> screenAt(Place place) const {
        switch (place) {
        case Place::Sidebar:
            return sidebarNav() ? sidebarNav()->topViewController() : nullptr;
        case Place::KitStack:
            return topOf(presentedTop());
        default:
            return hostNav().topViewController();
        }
    }
    const ui::NavigationController* stackOf(Place place) const {
        if (place == Place::Sidebar) return sidebarNav().get();
        if (place == Place::KitStack) {
            auto nav = std::dynamic_pointer_cast<ui::NavigationController>(presentedTop());
            return nav.get();
        }
        return &hostNav();
    }

    void open(const Feature& f, Place place) {
        switch (place) {
        case Place::Sidebar:
            f.inMenu(*sidebarVC());
            break;
        case Place::HostStackKitBar:
            f.open(*this, publicNav(), true);
            break;
        case Place::HostStackHostBar:
            f.open(*this, publicNav(), false);
            break;
        case Place::KitStack:
            f.open(*this, nullptr, true);
            break;
        case Place::ByName: {
            // As a screen of the kit opens another: made by name, pushed on its own stack, answering to
            // its container.
            auto from = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(hostNav().topViewController());
            ASSERT_TRUE(from);
            foundation::Dictionary arguments;
            if (f.object1) arguments.set(VelkoraScreenArguments::kObject1, f.object1(*this));
            auto screen = VelkoraScreenRegistry::instance().makeScreen(f.byName, foundation::Value(arguments));
            ASSERT_TRUE(screen) << f.byName;
            if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
                feature->setFeatureTabDelegate(from->featureTabDelegate());
            ASSERT_TRUE(from->navigationController());
            from->navigationController()->pushViewController(screen, true);
            break;
        }
        }
        ASSERT_TRUE(settle());
        loop().advance(1);
    }
};

void leave(const Feature& f, ui::ViewController& screen, Place place, int round) {
    if (f.leave == Leave::AppButton) {
        if (auto menu = dynamic_cast<VelkoraViewController*>(&screen)) menu->appButtonClicked(nullptr);
        return;
    }
    if (f.leave == Leave::Cancel) {
        if (auto talk = dynamic_cast<VelkoraFeedbackTalkToUsViewController*>(&screen)) talk->cancelTapped(nullptr);
        return;
    }
    auto* feature = dynamic_cast<VelkoraGeneralFeatureViewController*>(&screen);
    ASSERT_TRUE(feature) << screen.className();
    // The first time back, the second time the close that leaves the kit (the sidebar's stays a back: its
    // close only slides the host over the screen).
    if (round == 0 || place == Place::Sidebar)
        feature->backTapped(nullptr);
    else
        feature->appTapped(nullptr);
}

TEST_P(Journeys, OpenActLeaveAndOpenAgain) {
    const Feature& f = *GetParam().feature;
    const Place place = GetParam().place;
    ASSERT_NO_FATAL_FAILURE(startHost());
    other_ = svc.createUser(kApp, named("Olga", "Tester"));
    topicId_ = static_cast<int32_t>(svc.addTopic(kApp, "Trails", "Where to walk"));

    size_t baseDepth = 1;
    std::string baseClass;
    if (place == Place::ByName) {
        Velkora::openLeaderboardWithNavigationController(publicNav(), true);
        ASSERT_TRUE(settle());
        loop().advance(1);
        ASSERT_EQ(hostNav().viewControllers().size(), 2u);
        baseDepth = 2;
        baseClass = hostNav().topViewController()->className();
    }

    std::string firstClass;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first opening" : "opened again");
        ASSERT_NO_FATAL_FAILURE(open(f, place));
        auto screen = screenAt(place);
        ASSERT_TRUE(screen);
        ASSERT_NO_FATAL_FAILURE(expectOnShow(screen, place != Place::Sidebar));
        if (round == 0) firstClass = screen->className();
        EXPECT_EQ(firstClass, screen->className()) << "the same feature opens the same screen";
        // On top, and once.
        const ui::NavigationController* stack = stackOf(place);
        ASSERT_TRUE(stack);
        EXPECT_EQ(stack->topViewController(), screen);
        EXPECT_EQ(countOf(*stack, screen->className()), 1u + (baseClass == screen->className() ? 1u : 0u));
        EXPECT_EQ(presentationDepth(), place == Place::KitStack ? 1u : 0u);
        if (place == Place::HostStackKitBar || place == Place::HostStackHostBar || place == Place::ByName) {
            EXPECT_EQ(hostNav().viewControllers().size(), baseDepth + 1);
        }

        bool leftByItself = false;
        if (f.act) {
            f.act(*this, *screen, round);
            if (HasFatalFailure()) return;
            ASSERT_TRUE(settle());
            loop().advance(1);
            leftByItself = screenAt(place) != screen || !screen->viewIfLoaded() || !screen->viewIfLoaded()->window();
        }
        if (!leftByItself) {
            ASSERT_NO_FATAL_FAILURE(leave(f, *screen, place, round));
        }
        ASSERT_TRUE(settle());
        loop().advance(1);

        // Back where it was opened from, the host's window as it was.
        if (place == Place::Sidebar) {
            ASSERT_TRUE(sidebarNav());
            EXPECT_EQ(sidebarNav()->viewControllers().size(), 1u) << "back to the menu";
            EXPECT_EQ(sidebarNav()->view()->superview(), &hostWindow()) << "the sidebar stays beneath the host";
            Velkora::closeSidebar();
            loop().advance(1);
            expectHostAsItWas(1);
        } else if (place == Place::ByName && (round == 0 || f.leave != Leave::BackOrClose)) {
            // A back, or a screen's own cancel: the screen it was opened from is on show again.
            expectHostAsItWas(baseDepth);
            EXPECT_EQ(hostNav().topViewController()->className(), baseClass);
        } else {
            expectHostAsItWas(1);
        }
        // The sidebar the host added is still the session's, in its own stack beneath the host.
        EXPECT_EQ(agent().velkoraVC(), sidebarVC());
        ASSERT_TRUE(sidebarNav());
        EXPECT_EQ(sidebarNav()->view()->superview(), &hostWindow());
    }
}

// ---- what a person does once in a feature

void sendInChat(Journeys& t, ui::ViewController& screen, int) {
    auto* chat = dynamic_cast<VelkoraChatOneViewController*>(&screen);
    ASSERT_TRUE(chat);
    ASSERT_TRUE(t.waitFor([&] { return chat->loaded(); }));
    chat->sendMessageText()->setText("See you at the trail");
    chat->sendMessageButtonTapped(nullptr);
    ASSERT_TRUE(t.waitFor([&] { return t.svc.messagesTo(Journeys::kApp, t.other_).size() == 1; }));
}

// Reopened, the conversation holds the message once.
void chatHoldsTheSendOnce(Journeys& t, ui::ViewController& screen) {
    auto* chat = dynamic_cast<VelkoraChatOneViewController*>(&screen);
    ASSERT_TRUE(chat);
    ASSERT_TRUE(t.waitFor([&] { return chat->loaded(); }) && t.settle());
    ASSERT_TRUE(chat->dataSource());
    int n = 0;
    for (const auto& m : chat->dataSource()->allMessages())
        if (m->message() == std::optional<std::string>("See you at the trail")) ++n;
    EXPECT_EQ(n, 1);
}

void sendFeedback(Journeys& t, ui::ViewController& screen, int round) {
    if (round != 0) return;
    auto* talk = dynamic_cast<VelkoraFeedbackTalkToUsViewController*>(&screen);
    ASSERT_TRUE(talk && talk->feedbackText());
    // Typed, then a cancel that the person takes back: the text is still there.
    talk->textViewShouldBeginEditing(*talk->feedbackText());
    talk->feedbackText()->setText("The map is lovely");
    talk->cancelTapped(nullptr);
    EXPECT_TRUE(talk->popupIsConfirmCancel());
    auto confirm = Journeys::popup();
    ASSERT_TRUE(confirm) << "a cancel over typed text asks first";
    confirm->cancelTapped(nullptr);
    t.loop().advance(1);
    EXPECT_EQ(talk->userText(), "The map is lovely");
    talk->updateNumStars(4);
    talk->sendTapped(nullptr);
    ASSERT_TRUE(t.waitFor([&] { return !talk->isSending(); }) && t.settle());
    EXPECT_EQ(t.svc.messagesTo(Journeys::kApp, "_OWNER").size(), 1u);
    // The thank-you popup's close closes the screen.
    auto thanks = Journeys::popup();
    ASSERT_TRUE(thanks);
    thanks->okTapped(nullptr);
}

void saveName(Journeys& t, ui::ViewController& screen, int round) {
    if (round != 0) return;
    auto* settings = dynamic_cast<VelkoraUserSettingsViewController*>(&screen);
    ASSERT_TRUE(settings && settings->userNameTextField());
    EXPECT_TRUE(settings->delegate()) << "its sign-outs and connects would do nothing";
    settings->userNameTextField()->setText("Nora Newname");
    settings->updateClicked(nullptr);
    ASSERT_TRUE(t.waitForRequests("setUserData", 1));
}

template <auto Method> SidebarOpener row(const char* title) {
    return [title](VelkoraViewController& s) { (s.*Method)(title); };
}
template <auto Method> SidebarOpener control() {
    return [](VelkoraViewController& s) { (s.*Method)(nullptr); };
}
Opener host(void (*call)(const VelkoraNavigation&, bool)) {
    return [call](Journeys&, const VelkoraNavigation& nav, bool kitBar) { call(nav, kitBar); };
}
foundation::Value me(Journeys&) {
    return foundation::Value::object(VelkoraAgentInternal::instance().velkoraUser());
}

const Feature kFeatures[] = {
    {"Activity", host(&Velkora::openActivityWithNavigationController),
     row<&VelkoraViewController::feedClicked>("Activity"), "feed"},
    {"Inbox", host(&Velkora::openInboxWithNavigationController), row<&VelkoraViewController::chatClicked>("Inbox"),
     "inbox"},
    {"ChatRooms", host(&Velkora::openChatRoomsWithNavigationController),
     row<&VelkoraViewController::chatRoomsClicked>("Chat Rooms"), "blog"},
    {"FindFriends", host(&Velkora::openFindInviteFriendsWithNavigationController),
     row<&VelkoraViewController::inviteClicked>("Friends"), "invite"},
    {"Radar", host(&Velkora::openRadarWithNavigationController), row<&VelkoraViewController::radarClicked>("Nearby"),
     "radar"},
    {"Feedback", host(&Velkora::openFeedbackWithNavigationController),
     row<&VelkoraViewController::feedbackClicked>("Feedback"), "feedback"},
    {"Leaderboard", host(&Velkora::openLeaderboardWithNavigationController),
     row<&VelkoraViewController::leaderboardClicked>("Leaderboard"), "leaderboard"},
    {"Quiz", host(&Velkora::openQuizWithNavigationController), row<&VelkoraViewController::quizClicked>("Quiz"),
     "quiz"},
    {"Login", host(&Velkora::openLoginWithNavigationController), control<&VelkoraViewController::loginClicked>(),
     "login"},
    {"Signup", host(&Velkora::openSignupWithNavigationController), control<&VelkoraViewController::signUpClicked>(),
     "signup"},
    {"MyProfile", host(&Velkora::openMyProfileWithNavigationController), nullptr, nullptr},
    {"Profile",
     [](Journeys& t, const VelkoraNavigation& nav, bool kitBar) { Velkora::openProfileForUser(t.other_, nav, kitBar); },
     nullptr, "profile", [](Journeys& t) { return foundation::Value(t.other_); }},
    {"Chat",
     [](Journeys& t, const VelkoraNavigation& nav, bool kitBar) { Velkora::openChatWithUser(t.other_, nav, kitBar); },
     nullptr, "chat", [](Journeys& t) { return foundation::Value(t.other_); },
     [](Journeys& t, ui::ViewController& s, int round) {
         if (round == 0)
             sendInChat(t, s, round);
         else
             chatHoldsTheSendOnce(t, s);
     }},
    {"ChatRoomTopic",
     [](Journeys& t, const VelkoraNavigation& nav, bool kitBar) {
         Velkora::openChatRoomWithTopicId(t.topicId_, nav, kitBar);
     },
     nullptr, "blogTopic", [](Journeys& t) { return foundation::Value(t.topicId_); }},
    {"Menu", host(&Velkora::openMenuWithNavigationController), nullptr, nullptr, nullptr, nullptr, Leave::AppButton},
    {"StickerStore", host(&Velkora::openStickerStoreWithNavigationController), nullptr, "stickerStore"},
    {"TalkToUs", host(&Velkora::openTalkToUsWithNavigationController), nullptr, "talkToUs", nullptr, sendFeedback,
     Leave::Cancel},
    {"Followers", host(&Velkora::openMyFollowersWithNavigationController),
     control<&VelkoraViewController::followersClicked>(), "userfollowers", me},
    {"Following", host(&Velkora::openMyFollowingWithNavigationController),
     control<&VelkoraViewController::followingClicked>(), "userfollowing", me},
    {"Posts", host(&Velkora::openMyPostsWithNavigationController), control<&VelkoraViewController::postsClicked>(),
     "userPosts", me},
    {"Settings", nullptr, [](VelkoraViewController& s) { s.settingsClicked(); }, "settings", nullptr, saveName},
};

std::vector<Row> rows() {
    std::vector<Row> out;
    for (const auto& f : kFeatures)
        for (Place p :
             {Place::Sidebar, Place::HostStackKitBar, Place::HostStackHostBar, Place::KitStack, Place::ByName}) {
            if (p == Place::Sidebar && !f.inMenu) continue;
            if (p == Place::ByName && !f.byName) continue;
            if (p != Place::Sidebar && p != Place::ByName && !f.open) continue;
            out.push_back({&f, p});
        }
    return out;
}

INSTANTIATE_TEST_SUITE_P(FeaturesByPlace, Journeys, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.feature->name) + "_" + placeName(info.param.place);
                         });

} // namespace
} // namespace velkora::testing
