// Sending from the chat against velkora-service: every send a row of its own at once, in order and once;
// texts arrive as typed; stickers and photos; and nothing lost to the network or a refusal: a parked
// send goes once, a lost one goes again after the next poll unless the service holds it already, a
// refused one waits for a tap, and the unsent survive leaving the chat and a restart.
#include <gtest/gtest.h>

#include "ChatFixture.h"

namespace velkora::testing {
namespace {

using service::Fault;

class ChatSendingTest : public OfflineChatTest {
protected:
    // The rows' marks: "" sent, "sending", "not sent".
    std::vector<std::string> marks(const VelkoraChatOneViewController& screen) const {
        std::vector<std::string> out;
        for (const auto& m : screen.dataSource()->allMessages())
            switch (screen.dataSource()->sendState(m.get())) {
            case VelkoraChatSendState::Sending:
                out.push_back("sending");
                break;
            case VelkoraChatSendState::NotSent:
                out.push_back("not sent");
                break;
            default:
                out.push_back("");
            }
        return out;
    }
    std::vector<std::string> received(const std::string& user) const {
        std::vector<std::string> out;
        for (const auto& m : svc.messagesTo(kDemo, user))
            out.push_back(m.text);
        return out;
    }
};

TEST_F(ChatSendingTest, TextsArriveAsTypedEachOnceAndInOrder) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    const std::vector<std::string> texts = {"&=?%#+", "two\nlines", "smile \xF0\x9F\x98\x80", "cafe\xCC\x81", "  "};
    for (const auto& t : texts)
        type(*screen, t);
    // Each send is its own row at once, marked until the service confirms it; the field is empty again.
    EXPECT_EQ(rows(*screen).size(), texts.size());
    EXPECT_EQ(marks(*screen), std::vector<std::string>(texts.size(), "sending"));
    EXPECT_EQ(screen->sendMessageText()->text(), "");
    type(*screen, "");
    ASSERT_TRUE(waitFor([&] { return received(olga).size() == texts.size(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(received(olga), texts);
    EXPECT_EQ(count("sendMessage"), texts.size());
    EXPECT_EQ(marks(*screen), std::vector<std::string>(texts.size(), ""));
    std::vector<std::string> mine;
    for (const auto& t : texts)
        mine.push_back("me:" + t);
    EXPECT_EQ(rows(*screen), mine);
    EXPECT_EQ(screen->dataSource()->totalNumberOfMessages(), static_cast<int>(texts.size()));
    EXPECT_FALSE(screen->activityIndicatorView()->isAnimating());
    // The same texts come back with the poll as the service's copies: no row twice.
    ASSERT_NO_FATAL_FAILURE(pollNow());
    EXPECT_EQ(rows(*screen), mine);
    // The inbox shows the last one at once.
    auto& chats = VelkoraChatsRepository::instance().userToChats();
    ASSERT_TRUE(chats.count(olga));
    EXPECT_EQ(chats.at(olga)->messages().front()->message(), std::optional<std::string>("  "));
}

TEST_F(ChatSendingTest, AStickerGoesAsStickerAndTheTypedTextStays) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    screen->sendMessageText()->setText("half typed");
    const std::string sticker = svc.baseUrl() + "/pictures/stickers/doodles/3.png";
    screen->stickerSelected(sticker);
    ASSERT_TRUE(waitFor([&] { return svc.messagesTo(kDemo, olga).size() == 1; }) && quiet());
    EXPECT_EQ(svc.selectRows("SELECT content_type, message FROM messages WHERE recipient_user_id = ?", {olga}),
              (std::vector<std::vector<std::string>>{{"sticker", sticker}}));
    EXPECT_EQ(screen->sendMessageText()->text(), "half typed");
    EXPECT_EQ(screen->keyboardType(), 0);
    auto cell = std::dynamic_pointer_cast<VelkoraStickerMessageTableCell>(
        screen->messagesTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0)));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->myStickerImageView()->image());
}

TEST_F(ChatSendingTest, OfflineASendWaitsParkedAndGoesOnceWhenTheNetworkReturns) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    networkGoes(false);
    svc.clearRequests();
    type(*screen, "while offline");
    loop().advance(2);
    EXPECT_EQ(marks(*screen), (std::vector<std::string>{"sending"}));
    EXPECT_EQ(count("sendMessage"), 0u);
    // The screen stays usable meanwhile.
    EXPECT_TRUE(screen->velkoraContentView()->isUserInteractionEnabled());
    networkGoes(true);
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{""}; }));
    ASSERT_TRUE(settle());
    ASSERT_NO_FATAL_FAILURE(pollNow());
    EXPECT_EQ(count("sendMessage"), 1u);
    EXPECT_EQ(received(olga), (std::vector<std::string>{"while offline"}));
}

TEST_F(ChatSendingTest, LostSendsGoAgainAfterThePollUnlessTheServiceHoldsThem) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    struct Case {
        const char* what;
        Fault::Kind kind;
        size_t resent; // sendMessage requests after the row showed as not sent
        int times;     // a lost connection is tried once more at once: only a second loss shows
    } cases[] = {
        {"dropped before it ran", Fault::Kind::Drop, 1, 2},
        {"ran, then the reply was lost", Fault::Kind::RunThenDrop, 0, 2},
        {"a server fault", Fault::Kind::HttpStatus, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string olga = makeUser(std::string("Olga ") + c.what);
        auto screen = openChat(olga);
        ASSERT_TRUE(screen);
        svc.addFault(Fault{"sendMessage", c.kind, "", 503, 0, c.times});
        const std::string text = std::string("lost: ") + c.what;
        type(*screen, text);
        ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{"not sent"}; }));
        EXPECT_EQ(rows(*screen), (std::vector<std::string>{"me:" + text}));
        ASSERT_TRUE(settle());
        const size_t before = count("sendMessage");
        ASSERT_NO_FATAL_FAILURE(pollNow());
        ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{""}; }));
        ASSERT_TRUE(settle());
        EXPECT_EQ(count("sendMessage") - before, c.resent) << [&] {
            std::string log;
            for (const auto& r : svc.requests())
                log += r.command + " " + r.query.substr(0, 160) + "\n";
            return log;
        }();
        EXPECT_EQ(received(olga), (std::vector<std::string>{text}));
        EXPECT_EQ(rows(*screen), (std::vector<std::string>{"me:" + text}));
        nav_.reset();
        window_.reset();
        screen_.reset();
    }
}

TEST_F(ChatSendingTest, ARefusedSendWaitsForATapOnItsRow) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    svc.addFault(Fault{"sendMessage", Fault::Kind::HttpStatus, "", 414, 0, 1});
    type(*screen, "too long for the address");
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{"not sent"}; }));
    ASSERT_NO_FATAL_FAILURE(pollNow());
    loop().advance(5);
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("sendMessage"), 1u);
    EXPECT_EQ(marks(*screen), (std::vector<std::string>{"not sent"}));
    screen->didSelectRowAtIndexPath(*screen->messagesTable(), ui::IndexPath::of(0, 0));
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{""}; }));
    EXPECT_EQ(count("sendMessage"), 2u);
    EXPECT_EQ(received(olga), (std::vector<std::string>{"too long for the address"}));
}

TEST_F(ChatSendingTest, AnUnsentRowSurvivesLeavingTheChatAndARestart) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    svc.addFault(Fault{"sendMessage", Fault::Kind::ErrorCode, "BAD_REQUEST", 500, 0, 1});
    type(*screen, "keep me");
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{"not sent"}; }));
    // Away and back: the row is there again.
    nav_.reset();
    window_.reset();
    screen.reset();
    screen_.reset();
    screen = openChat(olga);
    ASSERT_TRUE(screen);
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"me:keep me"}));
    EXPECT_EQ(marks(*screen), (std::vector<std::string>{"not sent"}));
    // A restart reads the box from the documents folder.
    nav_.reset();
    window_.reset();
    screen.reset();
    screen_.reset();
    VelkoraChatOutbox::resetForTests();
    screen = openChat(olga);
    ASSERT_TRUE(screen);
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{"me:keep me"}));
    screen->didSelectRowAtIndexPath(*screen->messagesTable(), ui::IndexPath::of(0, 0));
    ASSERT_TRUE(waitFor([&] { return received(olga).size() == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(received(olga), (std::vector<std::string>{"keep me"}));
    EXPECT_EQ(VelkoraChatOutbox::instance().size(), 0u);
}

TEST_F(ChatSendingTest, ALostMessageGoesOnTheNetworksReturnWithNoChatOnScreen) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    // Twice: a lost connection is tried once more at once.
    svc.addFault(Fault{"sendMessage", Fault::Kind::Drop, "", 500, 0, 2});
    type(*screen, "on its own");
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{"not sent"}; }));
    nav_.reset();
    window_.reset();
    screen.reset();
    screen_.reset();
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return received(olga).size() == 1; }));
    EXPECT_EQ(received(olga), (std::vector<std::string>{"on its own"}));
}

TEST_F(ChatSendingTest, APhotoGoesWholeWithItsSmallCopyAndAFailedUploadIsKeptAndSentOnce) {
    ASSERT_NO_FATAL_FAILURE(startChatting());
    const std::string olga = makeUser("Olga");
    auto screen = openChat(olga);
    ASSERT_TRUE(screen);
    svc.addFault(Fault{"sendImageMessage", Fault::Kind::HttpStatus, "", 500, 0, 1});
    screen->imageSelected(picture(800, 400));
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{"not sent"}; }));
    // The row keeps the photo and the screen stays usable.
    EXPECT_TRUE(screen->velkoraContentView()->isUserInteractionEnabled());
    auto cell = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(
        screen->messagesTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0)));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(cell->myImageView()->image());
    EXPECT_EQ(cell->myImageView()->image()->size(), (ui::Size{200, 100}));
    ASSERT_NO_FATAL_FAILURE(pollNow());
    ASSERT_TRUE(waitFor([&] { return marks(*screen) == std::vector<std::string>{""}; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("sendImageMessage"), 2u);
    const auto stored =
        svc.selectRows("SELECT content_type, extra_data FROM messages WHERE recipient_user_id = ?", {olga});
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "image");
    EXPECT_FALSE(stored[0][1].empty()) << "the small copy went with it";
    const std::string url = screen->dataSource()->allMessages().front()->message().value_or("");
    EXPECT_NE(url.find("/images/"), std::string::npos);
}

} // namespace
} // namespace velkora::testing
