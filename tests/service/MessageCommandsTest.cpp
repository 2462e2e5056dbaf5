// Private messages between two users, as the kit sends and reads them: what one sends, the other
// sees in the update poll and in the chats.
#include "AccountFixture.h"

namespace velkora::service::testing {
namespace {

class MessageCommands : public KitRequestTest {
protected:
    static std::string kv() { return "&clientType=1&build=2.5.7"; }

    Json send(const std::string& from, const std::string& to, const std::string& text,
              const std::string& contentType = "text/plain", int messageType = 0, int rating = 0) {
        return kit("command=sendMessage" + kv() + "&appId=" + app() + "&userId=" + to + "&message=" + esc(text) +
                   "&senderAppId=" + app() + "&senderUserId=" + from + "&contentType=" + contentType +
                   "&messageType=" + std::to_string(messageType) + "&rating=" + std::to_string(rating));
    }
    Json poll(const std::string& user, int64_t changeNumber) {
        return kit("command=update" + kv() + "&appId=" + app() + "&deviceId=d-" + user + "&userId=" + user +
                   "&wantMessages=1&changeNumber=" + std::to_string(changeNumber) +
                   "&wantFeed2=0&feedChangeNumber=0&wantLikes=0&likesChangeNumber=0&wantTopics=0&topicsChangeNumber=0"
                   "&wantTopic=0&topicChangeNumber=0&topicId=0&logs=&protocolVersion=15");
    }
    Json chats(const std::string& user) {
        return kit("command=getChats" + kv() + as(user) + "&protocolVersion=15")["chats"];
    }
    Json chat(const std::string& user, const std::string& other, std::optional<int> offset = {}) {
        std::string q = "command=getChat" + kv() + as(user) + "&otherAppId=" + app() + "&otherUserId=" + other;
        if (offset) q += "&offset=" + std::to_string(*offset);
        return kit(q + "&protocolVersion=15");
    }
    Json mark(const std::string& user, const std::string& ids, int deleted) {
        return kit("command=markMessages" + kv() + as(user) + "&messages=" + ids +
                   "&markDeleted=" + std::to_string(deleted));
    }
    static std::vector<std::string> texts(const Json& messages) {
        std::vector<std::string> out;
        for (const Json& m : messages)
            out.push_back(m["message"].is_string() ? m["message"].get<std::string>() : "");
        return out;
    }
};

TEST_F(MessageCommands, WhatOneSendsTheOtherReceives) {
    std::string a = newUser(), b = newUser();
    const std::string text = "a&b=c+d #1 100% ok; caf\xC3\xA9";
    EXPECT_EQ(send(a, b, text), Json::object());
    EXPECT_EQ(send(a, b, "1F600", "sticker"), Json::object());

    Json update = poll(b, 0);
    ASSERT_EQ(texts(update["messages"]), (std::vector<std::string>{text, "1F600"})) << update;
    EXPECT_EQ(update["messages"][0]["sender"]["userId"], a);
    EXPECT_EQ(update["messages"][1]["contentType"], "sticker");
    int64_t last = update["messages"][1]["changeNumber"];
    EXPECT_EQ(poll(b, last)["messages"], Json::array());
    EXPECT_EQ(poll(a, 0)["messages"], Json::array()) << "the sender's poll carries only what it receives";

    // Both see the chat, with the other as its user and the newest message first.
    for (const auto& [me, them] : {std::pair{b, a}, std::pair{a, b}}) {
        Json list = chats(me);
        ASSERT_EQ(list.size(), 1u) << list;
        EXPECT_EQ(list[0]["user"]["userId"], them);
        EXPECT_EQ(list[0]["numMessages"], 2);
        EXPECT_EQ(texts(list[0]["messages"]), std::vector<std::string>{"1F600"});
        Json one = chat(me, them)["chat"];
        EXPECT_EQ(texts(one["messages"]), (std::vector<std::string>{"1F600", text}));
        EXPECT_EQ(one["isSystem"], false);
    }
    EXPECT_EQ(chats(newUser()), Json::array());

    struct Case {
        const char* what;
        Json reply;
        const char* error;
    };
    const Case failures[] = {
        {"unknown recipient", send(a, "nobody", "hi"), "USER_NOT_FOUND"},
        {"unknown sender", send("nobody", b, "hi"), "USER_NOT_FOUND"},
        {"to oneself", send(a, a, "hi"), "BAD_REQUEST"},
        {"chat with nobody", chat(a, "nobody"), "USER_NOT_FOUND"},
        {"negative offset", chat(a, b, -1), "BAD_REQUEST"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(error(c.reply), c.error) << c.reply;
    }
}

TEST_F(MessageCommands, ChatPagesGoBackByOffset) {
    std::string a = newUser(), b = newUser();
    for (int i = 0; i < 25; ++i)
        send(i % 2 ? a : b, i % 2 ? b : a, std::string("m").append(std::to_string(i)));
    Json first = chat(a, b)["chat"];
    EXPECT_EQ(first["numMessages"], 25);
    ASSERT_EQ(first["messages"].size(), 20u);
    EXPECT_EQ(first["messages"][0]["message"], "m24");
    Json older = chat(a, b, 20)["chat"];
    EXPECT_EQ(texts(older["messages"]), (std::vector<std::string>{"m4", "m3", "m2", "m1", "m0"}));
    EXPECT_EQ(chat(a, b, 25)["chat"]["messages"], Json::array());
}

TEST_F(MessageCommands, ChatsListTheLatestConversationFirstAndOnlyThoseStillSeen) {
    std::string a = newUser(), b = newUser(), c = newUser(), d = newUser();
    send(b, a, "from b");
    send(a, c, "to c");
    send(d, a, "from d");
    send(a, b, "to b");
    auto others = [&](const std::string& user) {
        std::vector<std::string> ids;
        for (const auto& chat : chats(user))
            ids.push_back(chat["user"]["userId"]);
        return ids;
    };
    EXPECT_EQ(others(a), (std::vector<std::string>{b, d, c}));
    EXPECT_EQ(texts(chats(a)[0]["messages"]), std::vector<std::string>{"to b"});
    EXPECT_EQ(chats(a)[0]["numMessages"], 2);

    // What a deleted of the chat with c is gone from a's list only.
    const std::string toC = std::to_string(poll(c, 0)["messages"][0]["changeNumber"].get<int64_t>());
    EXPECT_EQ(mark(a, toC, 1), Json::object());
    EXPECT_EQ(others(a), (std::vector<std::string>{b, d}));
    EXPECT_EQ(others(c), std::vector<std::string>{a});
}

TEST_F(MessageCommands, ReadAndDeletedMarksAreTheMarkersOwn) {
    std::string a = newUser(), b = newUser();
    send(a, b, "one");
    send(a, b, "two");
    Json messages = poll(b, 0)["messages"];
    ASSERT_EQ(messages.size(), 2u);
    std::string one = std::to_string(messages[0]["changeNumber"].get<int64_t>());
    std::string two = std::to_string(messages[1]["changeNumber"].get<int64_t>());

    EXPECT_EQ(mark(a, one, 0), Json::object()) << "the sender cannot mark its own message read";
    EXPECT_EQ(chat(b, a)["chat"]["messages"][1]["wasRead"], false);
    EXPECT_EQ(mark(b, one + "," + two, 0), Json::object());
    EXPECT_EQ(chat(b, a)["chat"]["messages"][0]["wasRead"], true);
    EXPECT_EQ(chat(a, b)["chat"]["messages"][1]["wasRead"], true) << "the sender sees it read";

    EXPECT_EQ(mark(b, "[" + one + "]", 1), Json::object());
    EXPECT_EQ(texts(chat(b, a)["chat"]["messages"]), std::vector<std::string>{"two"});
    EXPECT_EQ(texts(chat(a, b)["chat"]["messages"]), (std::vector<std::string>{"two", "one"}));
    EXPECT_EQ(texts(poll(b, 0)["messages"]), std::vector<std::string>{"two"});
    EXPECT_EQ(mark(a, two, 1), Json::object());
    EXPECT_EQ(texts(chat(a, b)["chat"]["messages"]), std::vector<std::string>{"one"});
    EXPECT_EQ(chats(b)[0]["numMessages"], 1);
}

TEST_F(MessageCommands, FeedbackToTheOwnerIsASystemChat) {
    std::string a = newUser();
    EXPECT_EQ(send(a, "_OWNER", "Great app & more", "text/plain", 2, 5), Json::object());
    Json list = chats(a);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["user"]["userId"], "_OWNER");
    EXPECT_EQ(list[0]["isSystem"], true);
    EXPECT_EQ(list[0]["messages"][0]["messageType"], 2);
    EXPECT_EQ(list[0]["messages"][0]["message"], "Great app & more");
}

TEST_F(MessageCommands, FeedbackKindsAndStarsOutsideTheirRangesAreRefused) {
    std::string a = newUser();
    struct Case {
        int type, rating;
        bool accepted;
    } cases[] = {{0, 0, true},  {1, 0, true},   {2, 3, true},  {4, 5, true},  {3, 0, false},
                 {5, 1, false}, {-1, 0, false}, {4, 6, false}, {4, -1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.rating));
        Json reply = send(a, "_OWNER", "kind", "text/plain", c.type, c.rating);
        if (c.accepted)
            EXPECT_EQ(reply, Json::object());
        else
            EXPECT_EQ(reply["error"], "BAD_REQUEST");
    }
    EXPECT_EQ(service().messagesTo(app(), "_OWNER").size(), 4u);
}

TEST_F(MessageCommands, BlockedSendersAreNotDelivered) {
    std::string a = newUser(), b = newUser();
    kit("command=setUserRelation" + kv() + as(b) + "&otherAppId=" + app() + "&otherUserId=" + a +
        "&type=b&value=1&v=2");
    EXPECT_EQ(send(a, b, "let me in"), Json::object());
    EXPECT_EQ(poll(b, 0)["messages"], Json::array());
    EXPECT_EQ(chats(b), Json::array());
    EXPECT_EQ(texts(chat(a, b)["chat"]["messages"]), std::vector<std::string>{"let me in"});
}

TEST_F(MessageCommands, ImageMessageIsStoredAndDelivered) {
    std::string a = newUser(), b = newUser();
    const std::string image("\xFF\xD8\xFF\xFB\xEF\xBE\xFF\xD8 big \xFF\xD9\x00", 16),
        small("\xFF\xD8\xFF\xFB\xEF\xFF\xD9\x01", 8);
    auto body = [&](const std::string& imageText) {
        return "command=sendImageMessage&appId=" + app() + "&userId=" + b + "&senderAppId=" + app() +
               "&senderUserId=" + a + "&image=" + imageText + "&smallImage=" + kitBase64(small);
    };
    Json reply = post(body(kitBase64(image)));
    ASSERT_TRUE(reply["url"].is_string()) << reply;
    EXPECT_EQ(fetch(reply["url"]), image);

    Json m = poll(b, 0)["messages"];
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0]["contentType"], "image");
    EXPECT_EQ(m[0]["message"], reply["url"]);
    EXPECT_EQ(fetch(m[0]["extraData"]), small);

    // The standard alphabet, unescaped: the form decoder turns its "+" into blanks.
    std::string standard = "/9j/++++/9ggYmlnIP/ZAA==";
    Json plain = post(body(standard));
    ASSERT_TRUE(plain["url"].is_string()) << plain;
    EXPECT_EQ(fetch(plain["url"]), image);
    EXPECT_EQ(error(post(body("***"))), "BAD_REQUEST");
}

// A reply lost on its way back: the command ran, the client heard nothing and sends the same request
// again, tag and all. The service answers it as it answered the first time and keeps one message.
TEST_F(MessageCommands, ARequestSentAgainWithItsTagRunsOnce) {
    std::string a = newUser(), b = newUser();
    const std::string query = "command=sendMessage" + kv() + "&appId=" + app() + "&userId=" + b +
                              "&message=once&senderAppId=" + app() + "&senderUserId=" + a +
                              "&contentType=text/plain&messageType=0&rating=0";
    service().addFault({"sendMessage", Fault::Kind::RunThenDrop, ""});
    double ts = nextTimestamp();
    EXPECT_EQ(kit(query, ts), "transport failure");
    EXPECT_EQ(texts(chat(b, a)["chat"]["messages"]), std::vector<std::string>{"once"}) << "it ran before the drop";

    EXPECT_EQ(kit(query, ts), Json::object());
    EXPECT_EQ(kit(query, ts), Json::object());
    EXPECT_EQ(texts(chat(b, a)["chat"]["messages"]), std::vector<std::string>{"once"});
    // The same words with a time stamp of their own are a new message; so is a tag another user sent.
    EXPECT_EQ(kit(query), Json::object());
    const std::string fromB = "command=sendMessage" + kv() + "&appId=" + app() + "&userId=" + a +
                              "&message=once&senderAppId=" + app() + "&senderUserId=" + b +
                              "&contentType=text/plain&messageType=0&rating=0";
    EXPECT_EQ(kit(fromB, ts), Json::object());
    EXPECT_EQ(texts(chat(b, a)["chat"]["messages"]), (std::vector<std::string>{"once", "once", "once"}));
}

TEST_F(MessageCommands, APictureFormSentAgainIsStoredOnce) {
    std::string a = newUser(), b = newUser();
    // As the kit closes the form: its time and the number drawn for this send.
    auto form = [&](const char* sendId) {
        return "command=sendImageMessage&appId=" + app() + "&userId=" + b + "&senderAppId=" + app() +
               "&senderUserId=" + a + "&image=" + kitBase64("\xFF\xD8\xFF one \xFF\xD9") +
               "&ts=1700000000.250000&sendId=" + sendId;
    };
    service().addFault({"sendImageMessage", Fault::Kind::RunThenDrop, ""});
    EXPECT_EQ(post(form("00000000000000a1")), "transport failure");
    Json again = post(form("00000000000000a1"));
    ASSERT_TRUE(again["url"].is_string()) << again;
    Json messages = poll(b, 0)["messages"];
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["message"], again["url"]) << "the answer names the picture the first request stored";
    // The same picture sent again on purpose is a second message.
    Json second = post(form("00000000000000b2"));
    ASSERT_TRUE(second["url"].is_string()) << second;
    EXPECT_NE(second["url"], again["url"]);
    EXPECT_EQ(poll(b, 0)["messages"].size(), 2u);
}

// Forms well past the 8 KB a plain form reader accepts: photo-sized pictures reach the commands and are
// served back whole.
TEST_F(MessageCommands, PhotoSizedPicturesArriveWhole) {
    std::string a = newUser(), b = newUser();
    std::string photo(200 * 1024, '\0');
    uint32_t state = 2463534242u;
    for (char& c : photo) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        c = static_cast<char>(state);
    }
    photo.replace(0, 3, "\xFF\xD8\xFF");
    struct Case {
        const char* what;
        std::string body;
    } cases[] = {
        {"image message", "command=sendImageMessage&appId=" + app() + "&userId=" + b + "&senderAppId=" + app() +
                              "&senderUserId=" + a + "&image=" + kitBase64(photo)},
        {"profile photo",
         "command=savePhoto&appId=" + app() + "&deviceId=dev-photo&clientType=1&build=2.5.7&image=" + kitBase64(photo)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Json reply = post(c.body);
        ASSERT_TRUE(reply["url"].is_string()) << reply;
        std::optional<std::string> served = fetch(reply["url"]);
        ASSERT_TRUE(served);
        EXPECT_TRUE(*served == photo) << served->size() << " bytes served";
    }
}

TEST_F(MessageCommands, MessagePicturesAreJpegWithTheSmallCopyBesideThem) {
    std::string a = newUser(), b = newUser();
    const std::string jpeg("\xFF\xD8\xFF\xE0 whole \xFF\xD9", 13), small("\xFF\xD8\xFF\xE0 small \xFF\xD9", 13);
    auto body = [&](const std::string& image, const std::string& smallImage) {
        std::string b64small = smallImage.empty() ? std::string() : kitBase64(smallImage);
        return "command=sendImageMessage&appId=" + app() + "&userId=" + b + "&senderAppId=" + app() +
               "&senderUserId=" + a + "&image=" + kitBase64(image) + "&smallImage=" + b64small;
    };
    EXPECT_EQ(error(post(body("\x89PNG\r\n\x1A\n not a jpeg", ""))), "BAD_REQUEST");
    EXPECT_EQ(error(post(body(jpeg, "GIF89a"))), "BAD_REQUEST");
    Json withSmall = post(body(jpeg, small));
    ASSERT_TRUE(withSmall["url"].is_string()) << withSmall;
    const std::string url = withSmall["url"];
    ASSERT_EQ(url.substr(url.size() - 4), ".jpg");
    EXPECT_EQ(fetch(url), jpeg);
    EXPECT_EQ(fetch(url.substr(0, url.size() - 4) + "_small.jpg"), small);
    Json alone = post(body(jpeg, ""));
    ASSERT_TRUE(alone["url"].is_string()) << alone;
    const std::string lone = alone["url"];
    EXPECT_EQ(fetch(lone), jpeg);
    EXPECT_EQ(fetch(lone.substr(0, lone.size() - 4) + "_small.jpg"), std::nullopt);
}

TEST_F(MessageCommands, ChatPagesFollowTheApplicationsPageSize) {
    std::string a = newUser(), b = newUser();
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(send(a, b, std::string("m").append(std::to_string(i))), Json::object());
    EXPECT_EQ(chat(b, a)["chat"]["messages"].size(), 7u) << "twenty when the application names no page size";
    service().setAppConfiguration(app(), R"({"appName":"Velkora Demo","maxMessagesPerUpdate":5})");
    EXPECT_EQ(texts(chat(b, a)["chat"]["messages"]), (std::vector<std::string>{"m6", "m5", "m4", "m3", "m2"}));
    EXPECT_EQ(texts(chat(b, a, 4)["chat"]["messages"]), (std::vector<std::string>{"m2", "m1", "m0"}));
}

TEST_F(MessageCommands, WelcomeMessagesReachNewUsersOnlyWhereTheServiceIsToldTo) {
    EXPECT_EQ(poll(newUser(), 0)["messages"], Json::array());
    ServiceOptions options;
    options.welcomeNewUsers = true;
    Service welcoming(options);
    ASSERT_TRUE(welcoming.start());
    // The command the kit sends makes the user and delivers the seed's messages over three days.
    auto reply = welcoming.answer(
        "GET", tagRequestText(welcoming.endpoint() + "?command=createUser&clientType=1&build=2.5.7&appId=" + app() +
                                  "&clientVersion=15&test=0",
                              nextTimestamp())
                   .substr(welcoming.baseUrl().size()));
    Json made = Json::parse(reply.body);
    const std::string fresh = made.value("userId", "");
    ASSERT_FALSE(fresh.empty()) << reply.body;
    auto rows = welcoming.selectRows("SELECT sender_user_id, time FROM messages WHERE recipient_user_id = ? AND "
                                     "is_system = 0 ORDER BY change_number",
                                     {fresh});
    ASSERT_GE(rows.size(), 3u);
    EXPECT_GT(std::stod(rows.back()[1]) - std::stod(rows.front()[1]), 86400.0);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(std::stod(rows[i - 1][1]), std::stod(rows[i][1])) << "numbered in the order of their times";
}

} // namespace
} // namespace velkora::service::testing
