// The incoming-message banner: what it shows, where and how it comes and goes, and when the sidebar
// decides to show one.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraMessageInternal.h"
#include "shell/VelkoraChatPartnerScreen.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

std::shared_ptr<VelkoraMessageInternal> message(const std::shared_ptr<VelkoraUserInternal>& from,
                                                const std::string& text, const std::string& type = "text/plain") {
    auto m = std::make_shared<VelkoraMessageInternal>();
    m->setSender(from);
    m->setMessage(text);
    m->setContentType(type);
    return m;
}

// The one-to-one chat on top of the sidebar's stack.
class ChatScreen : public VelkoraGeneralFeatureViewController, public VelkoraChatPartnerScreen {
public:
    std::shared_ptr<VelkoraUserInternal> partner;
    std::shared_ptr<VelkoraUserInternal> chatUser() const override { return partner; }
};

class BannerTest : public SidebarFixture {
protected:
    static std::vector<std::shared_ptr<VelkoraMessageNotificationView>> banners() {
        std::vector<std::shared_ptr<VelkoraMessageNotificationView>> found;
        for (auto& w : ui::Application::instance().windows())
            if (!w->isHidden() && w->windowLevel() == ui::WindowLevel::StatusBar)
                for (auto& v : w->subviews())
                    if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v)) found.push_back(b);
        return found;
    }
    static void closeAll() {
        for (auto& b : banners())
            b->closeNotificationTapped(nullptr);
    }
    static void announce(const std::vector<std::shared_ptr<VelkoraMessageInternal>>& messages) {
        foundation::Array list, senders;
        for (auto& m : messages) {
            list.push_back(foundation::Value::object(m));
            bool known = std::any_of(senders.begin(), senders.end(), [&](auto& s) {
                return s.template asObject<VelkoraUserInternal>() == m->sender();
            });
            if (!known) senders.push_back(foundation::Value::object(m->sender()));
        }
        foundation::NotificationCenter::defaultCenter().post(
            "VelkoraNewMessagesNotification", &VelkoraChatsRepository::instance(),
            foundation::Value(foundation::Dictionary{{"newUsers", foundation::Value(0)},
                                                     {"messages", foundation::Value(std::move(list))},
                                                     {"users", foundation::Value(std::move(senders))}}));
    }
};

TEST_F(BannerTest, ItShowsTheSenderAndALineByContentType) {
    start();
    auto dana = user("u1", "Dana", "Whitfield");
    struct Case {
        const char* type;
        const char* text;
        const char* line;
    };
    for (auto c : {Case{"text/plain", "See you at eight?", "See you at eight?"},
                   Case{"sticker", "https://x/s.png", "Sent you a sticker"},
                   Case{"image", "https://x/p.jpg", "Sent you a picture"}}) {
        auto banner = VelkoraMessageNotificationView::initFromNib(message(dana, c.text, c.type));
        ASSERT_TRUE(banner);
        EXPECT_EQ(banner->nameLabel()->text(), "Dana W.");
        EXPECT_EQ(banner->messageLabel()->text(), c.line);
        // Without a photo the placeholder stays.
        EXPECT_EQ(banner->userImageView()->image(), ui::Image::named("VelImg_UserThumbMediumNon.png"));
        banner->showInView(nullptr);
        banner->closeNotificationTapped(nullptr);
    }
}

TEST_F(BannerTest, ItSlidesInAboveTheStatusBarAndStaysUntilClosedOrTapped) {
    serve({}, {{"actionOnIncomingMessage", 1}});
    install();
    Recorder posted{"VelkoraNotificationWasActivated"};
    std::string longText(2000, 'w');
    announce(
        {message(user("u1", "Dana", "Whitfield"), "See you at eight?"), message(user("u2", "Ari", "Kem"), longText)});
    auto shown = banners();
    ASSERT_EQ(shown.size(), 2u);
    auto first = shown[0];
    EXPECT_DOUBLE_EQ(first->frame().origin.y, 0);
    auto running = ui::Animator::running();
    ASSERT_FALSE(running.empty());
    EXPECT_DOUBLE_EQ(running.back().duration, 0.2);
    EXPECT_EQ(first->window()->windowLevel(), ui::WindowLevel::StatusBar);
    // The screen under the banner does not show through it.
    EXPECT_EQ(first->topLevelView()->backgroundColor().a, 1.0);
    // A very long message stays on its one line.
    EXPECT_EQ(shown[1]->messageLabel()->numberOfLines(), 1);
    EXPECT_LE(shown[1]->messageLabel()->frame().size.height, 21);
    shown[1]->closeNotificationTapped(nullptr);
    loop().advance(60);
    ASSERT_EQ(banners().size(), 1u);
    expectMatchesReference(screenshot(), "banner_phone");

    // Close: gone, the sidebar stays shut.
    std::weak_ptr<VelkoraMessageNotificationView> weak = first;
    shown.clear();
    first.reset();
    banners()[0]->closeNotificationTapped(nullptr);
    EXPECT_TRUE(banners().empty());
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(gestures->menuVisible());

    // A tap on the message opens the sidebar and takes the banner away.
    announce({message(user("u1", "Dana", "Whitfield"), "Still on?")});
    ASSERT_EQ(banners().size(), 1u);
    banners()[0]->messageTapped(nullptr);
    EXPECT_TRUE(banners().empty());
    EXPECT_TRUE(gestures->menuVisible());
    loop().advance(1);
    EXPECT_EQ(posted.count("VelkoraNotificationWasActivated"), 1u);
}

TEST_F(BannerTest, TheSidebarDecidesWhenABannerIsNoUse) {
    install();
    auto dana = user("u1", "Dana", "Whitfield");
    struct Case {
        const char* what;
        int action;
        std::vector<std::shared_ptr<VelkoraMessageInternal>> batch;
        size_t banners;
    };
    std::vector<Case> cases{
        {"setting 0", 0, {message(dana, "hi")}, 0},
        {"setting 2", 2, {message(dana, "hi")}, 0},
        {"a welcome sender alone", 1, {message(user("welcome_bot", "Team", ""), "hi")}, 0},
        {"a test sender alone", 1, {message(user("test42", "Tess", ""), "hi")}, 0},
        {"setting 1", 1, {message(dana, "hi")}, 1},
        {"a welcome sender among others", 1, {message(user("welcome_bot", "Team", ""), "hi"), message(dana, "yo")}, 2},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        serve({}, {{"actionOnIncomingMessage", c.action}});
        announce(c.batch);
        EXPECT_EQ(banners().size(), c.banners);
        closeAll();
    }

    // The chat on top: its partner's messages bring none; a batch with another sender brings all.
    serve({}, {{"actionOnIncomingMessage", 1}});
    auto chat = std::make_shared<ChatScreen>();
    chat->partner = dana;
    sidebar->openFeatureScreenWithGestureAnimation(chat, false);
    loop().advance(1);
    announce({message(dana, "hi")});
    EXPECT_TRUE(banners().empty());
    announce({message(dana, "hi"), message(user("u2", "Ari", "Kem"), "hey")});
    EXPECT_EQ(banners().size(), 2u);
    closeAll();
    // The chats' list brings no banner: it names no messages.
    foundation::NotificationCenter::defaultCenter().post(
        "VelkoraMessagesGotChats", &VelkoraChatsRepository::instance(),
        foundation::Value(foundation::Dictionary{{"newMessages", foundation::Value(true)}}));
    EXPECT_TRUE(banners().empty());
}

} // namespace
} // namespace velkora::testing
