#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "ModelsTestSupport.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

namespace {

class MessageParsersTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        VelkoraUsersRepository::instance().reset();
    }
};

}  // namespace

TEST_F(MessageParsersTest, PrivateMessagesByContentType) {
    foundation::Log::Capture log;
    auto messages = parseMessages(json(R"([
        {"sender": {"userId": "s"}, "message": "hi", "contentType": "text/plain", "changeNumber": 11, "id": 99},
        {"sender": {"userId": "s"}, "message": "clip", "contentType": "video", "changeNumber": 12},
        {"sender": {"userId": "s"}, "message": "null type", "contentType": null, "changeNumber": 13},
        {"sender": {"userId": "s"}, "message": "no type", "changeNumber": 14},
        {"sender": {"userId": "s"}, "contentType": "sticker", "changeNumber": 15},
        {"sender": {"userId": "s"}, "contentType": "image", "changeNumber": 16},
        {"sender": {"userId": "s"}, "contentType": "text/html", "changeNumber": 17},
        {"sender": {"userId": "s"}, "contentType": "text/link", "changeNumber": 18},
        {"sender": {"userId": "s"}, "contentType": 5, "changeNumber": 19}
    ])"));
    std::vector<int32_t> ids;
    for (const auto& m : messages) ids.push_back(m->messageId());
    EXPECT_EQ(ids, (std::vector<int32_t>{11, 13, 15, 16, 17, 18}));
    EXPECT_EQ(messages[0]->contentType(), "text/plain");
    EXPECT_EQ(messages[1]->contentType(), "text/plain");
    EXPECT_EQ(messages[1]->message(), "null type");
    EXPECT_TRUE(log.lines().empty());  // dropped content types are dropped silently
}

TEST_F(MessageParsersTest, PrivateMessageFieldsAndMissingSender) {
    foundation::Log::Capture log;
    auto messages = parseMessages(json(R"([
        {"message": "orphan", "contentType": "text/plain", "changeNumber": 1},
        {"sender": {"userId": "s", "firstName": "Sam"}, "otherUser": {"userId": "o"}, "message": "m",
         "contentType": "text/plain", "changeNumber": "21", "wasRead": true, "isSystem": 1,
         "messageName": "welcome", "extraData": "extra", "time": "2024-03-05 07:08:09", "messageType": 2},
        {"sender": {"userId": "s2"}, "contentType": "image", "time": ""},
        {"sender": {"userId": "s2"}, "contentType": "image", "time": "yesterday"},
        "not a message"
    ])"));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(log.contains("Velkora - parse user failed. uId is nil."));
    EXPECT_TRUE(log.contains("Velkora - parse message failed. sender is nil."));
    const auto& m = messages[0];
    EXPECT_EQ(m->sender()->firstName(), "Sam");
    EXPECT_EQ(m->otherUser()->userId(), "o");
    EXPECT_EQ(m->messageId(), 21);
    EXPECT_TRUE(m->wasRead());
    EXPECT_TRUE(m->isSystem());
    EXPECT_EQ(m->messageName(), "welcome");
    EXPECT_EQ(m->extraData(), "extra");
    EXPECT_EQ(m->getPlainText(), "extra");
    EXPECT_EQ(m->time(), 1709622489.0);
    EXPECT_EQ(m->messageType(), 2);
    EXPECT_EQ(messages[1]->time(), std::nullopt);
    EXPECT_EQ(messages[2]->time(), std::nullopt);
    EXPECT_EQ(messages[1]->otherUser(), nullptr);
}

TEST_F(MessageParsersTest, PlainTextOfSystemMessages) {
    VelkoraMessageInternal m;
    m.setMessage(std::string("text"));
    m.setExtraData(std::string("extra"));
    m.setContentType(std::string("image"));
    m.setIsSystem(true);
    EXPECT_EQ(m.getPlainText(), "text");
    m.setContentType(std::string("text/plain"));
    EXPECT_EQ(m.getPlainText(), "extra");
    m.setIsSystem(false);
    EXPECT_EQ(m.getPlainText(), "text");
}

TEST_F(MessageParsersTest, FeedItems) {
    foundation::Log::Capture log;
    auto items = parseFeedMessages(json(R"([
        {"sender": {"userId": "p"}, "id": 42, "changeNumber": 7, "contentType": "sticker", "message": "m",
         "url": "http://l", "resenders": [{"userId": "r1"}, {"userId": null}, {"userId": "r2"}],
         "replyToUser": {"userId": "q"}, "replyTo": 3, "resends": 2, "originalId": 40,
         "time": "2024-03-05 07:08:09", "resendTime": "2024-03-06 00:00:00", "messageType": 3,
         "descImageUrl": "di", "descText": "dt", "descSubText": "ds", "actionVerb": "Play", "actionId": "a1",
         "numLikes": 5, "otherUser": {"userId": "o"}, "topicId": 8, "topicTitle": "Cats"},
        {"sender": {"userId": "p"}, "id": 43, "contentType": null},
        {"sender": {"userId": "p"}, "id": 44, "contentType": "image"},
        {"id": 45, "contentType": "image"}
    ])"));
    ASSERT_EQ(items.size(), 3u);
    const auto& f = items[0];
    EXPECT_EQ(f->messageId(), 42);
    EXPECT_EQ(f->resendId(), 42);
    EXPECT_EQ(f->contentType(), "text/plain");
    EXPECT_EQ(log.count("Velkora - Unknown contentType. Using default! "), 1u);
    EXPECT_EQ(log.count("Velkora - parse feed message failed. sender is nil."), 1u);
    EXPECT_EQ(f->externalLink(), "http://l");
    ASSERT_EQ(f->resenders().size(), 2u);
    EXPECT_EQ(f->resenders()[1]->userId(), "r2");
    EXPECT_TRUE(f->isUserResender(VelkoraUsersRepository::instance().userWithId("r1")));
    EXPECT_FALSE(f->isUserResender(VelkoraUsersRepository::instance().userWithId("q")));
    EXPECT_EQ(f->replyToUser()->userId(), "q");
    EXPECT_EQ(f->replyTo(), 3);
    EXPECT_EQ(f->resends(), 2);
    EXPECT_EQ(f->originalId(), 40);
    EXPECT_EQ(f->time(), 1709622489.0);
    EXPECT_EQ(f->resendTime(), 1709683200.0);
    EXPECT_EQ(f->messageType(), 3);
    EXPECT_EQ(f->descImageUrl(), "di");
    EXPECT_EQ(f->descText(), "dt");
    EXPECT_EQ(f->descSubText(), "ds");
    EXPECT_EQ(f->actionVerb(), "Play");
    EXPECT_EQ(f->actionId(), "a1");
    EXPECT_EQ(f->numLikes(), 5);
    EXPECT_EQ(f->otherUser()->userId(), "o");
    EXPECT_EQ(f->topicId(), 8);
    EXPECT_EQ(f->topicTitle(), "Cats");
    EXPECT_EQ(f->activityId(), "feed-message-42");
    EXPECT_FALSE(f->isLike());
    EXPECT_EQ(f->getPoster()->userId(), "p");
    EXPECT_EQ(items[1]->contentType(), "text/plain");
    EXPECT_EQ(items[2]->contentType(), "image");
    EXPECT_TRUE(items[1]->resenders().empty());
}

TEST_F(MessageParsersTest, OneFeedItemIsAlwaysAnItem) {
    foundation::Log::Capture log;
    auto f = parseOneFeedMessage(json("[]"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->sender(), nullptr);
    EXPECT_EQ(f->contentType(), "text/plain");
}

TEST_F(MessageParsersTest, Chats) {
    foundation::Log::Capture log;
    auto chat = parseChat(json(R"({"user": {"userId": "o"}, "isSystem": true, "messages": [
        {"sender": {"userId": "o"}, "contentType": "text/plain", "changeNumber": 3},
        {"sender": {"userId": "me"}, "contentType": "text/plain", "changeNumber": 2}]})"));
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(chat->user()->userId(), "o");
    EXPECT_TRUE(chat->systemChat());
    EXPECT_EQ(chat->numMessages(), 0);
    ASSERT_EQ(chat->messages().size(), 2u);
    EXPECT_EQ(chat->messages()[0]->messageId(), 3);  // newest first, as sent

    EXPECT_EQ(parseChat(json(R"({"numMessages": 12, "user": {"userId": "o"}})"))->numMessages(), 12);
    EXPECT_EQ(parseChat(json(R"({"user": {"userId": null}, "messages": []})")), nullptr);
    EXPECT_TRUE(log.contains("Velkora - empty user in chat...ignoring chat"));
    EXPECT_EQ(parseChat(json(R"({"user": "o"})")), nullptr);
    EXPECT_EQ(parseChat(json("null")), nullptr);
}

TEST_F(MessageParsersTest, ServerDateFormat) {
    const auto& f = VelkoraUtils::getInputDateFormatter();
    EXPECT_EQ(&f, &VelkoraUtils::getInputDateFormatter());
    EXPECT_EQ(f.dateFromString("1970-01-01 00:00:00"), 0.0);
    EXPECT_EQ(f.dateFromString("2024-02-29 23:59:59"), 1709251199.0);
    EXPECT_EQ(f.stringFromDate(1709251199.0), "2024-02-29 23:59:59");
    for (const char* bad : {"", "2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01", "2024-01-01 24:00:00",
                            "2024-01-01 00:00:00 ", "2024/01/01 00:00:00", "20240-01-01 00:00:00"}) {
        EXPECT_EQ(f.dateFromString(bad), std::nullopt) << bad;
    }
    setenv("TZ", "Europe/Oslo", 1);
    tzset();
    EXPECT_EQ(f.dateFromString("2024-07-01 12:00:00"), 1719828000.0);  // read in the process's zone
}
