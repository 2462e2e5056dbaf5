// Private messages and chats against velkora-service: what one user sends reaches the other's poll and
// chats, the request texts as the service logs them, the image message's form, the feedback form, the
// queue before the user is known, and errors reaching the caller.
#include "ServerClientFixture.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraBase64.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;
using service::Fault;

namespace {

class MessageCommandsTest : public ServerClientTest {
protected:
    std::string me() const { return VelkoraServerClientAgent::instance().userId().value_or(""); }
    static VelkoraUserPtr userOf(const std::string& id) {
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setAppId(std::string(kApp));
        u->setUserId(id);
        return u;
    }
    // A second user of the application, made in the service's database.
    std::string bea() {
        service::UserFields fields;
        fields.firstName = "Bea";
        return svc.createUser(kApp, fields);
    }
    // What a sign-in does to the server client: from now on it speaks for that user.
    static void actAs(const std::string& userId) {
        VelkoraServerApi::setUserId(userId);
        VelkoraServerApi::setDeviceId(userId);
    }
    // Runs the call and waits for its caller's answer or error.
    std::shared_ptr<Caller> ask(const std::function<void(VelkoraCallback)>& call) {
        auto caller = std::make_shared<Caller>();
        call(Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        settle();
        return caller;
    }
    // The request's query without its time stamp and tag.
    static std::string untagged(const service::RecordedRequest& r) { return r.query.substr(0, r.query.find("&ts=")); }
    static std::shared_ptr<ui::Image> picture(int width, int height) { return ui::Image::create(width, height); }
    // The value of a form field of a POST body.
    static std::string field(const std::string& body, const std::string& key) {
        service::RecordedRequest r;
        r.query = body;
        return param(r, key);
    }
};

template <class T> std::vector<std::shared_ptr<T>> objects(const Value& answer) {
    std::vector<std::shared_ptr<T>> out;
    if (auto* list = answer.asArray())
        for (const Value& v : *list)
            out.push_back(v.asObject<T>());
    return out;
}

} // namespace

TEST_F(MessageCommandsTest, SentMessageReachesTheRecipientsPollChatsAndChat) {
    startNewUser();
    const std::string a = me(), b = bea();
    const std::string text = "Hi Bea & co: 100% = \"yes\"+1 caf\xC3\xA9, ok? #2";
    auto sent = ask([&](VelkoraCallback c) { VelkoraServerApi::sendMessage(text, kApp, b, "text/plain", c); });
    ASSERT_EQ(sent->answers.size(), 1u) << (sent->errors.empty() ? ""
                                                                 : sent->errors[0]->domain + " " +
                                                                       std::to_string(sent->errors[0]->code));
    EXPECT_TRUE(sent->answers[0].isNull());
    EXPECT_EQ(
        untagged(svc.requestsFor("sendMessage").at(0)),
        "command=sendMessage&clientType=1&build=2.5.7&appId=A&userId=" + b +
            "&message=Hi%20Bea%20%26%20co:%20100%25%20%3D%20%22yes%22%2B1%20caf%C3%A9,%20ok%3F%20%232&senderAppId=A"
            "&senderUserId=" +
            a + "&contentType=text/plain&messageType=0&rating=0");

    // B's next poll brings it.
    actAs(b);
    std::vector<VelkoraMessagePtr> delivered;
    auto inbox = std::make_shared<VelkoraMessagesDelegate>();
    inbox->gotMessages = [&](const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
        if (messages) delivered.insert(delivered.end(), messages->begin(), messages->end());
    };
    VelkoraServerApi::setMessagesDelegate(inbox);
    ASSERT_TRUE(waitFor([&] { return !delivered.empty(); }));
    EXPECT_EQ(param(svc.requestsFor("update").back(), "userId"), b);
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0]->message(), text);
    ASSERT_TRUE(delivered[0]->sender());
    EXPECT_EQ(delivered[0]->sender()->userId(), a);
    settle();
    VelkoraServerApi::pause();

    // B's chats and the chat with A.
    auto chats = objects<VelkoraChat>(ask([](VelkoraCallback c) { VelkoraServerApi::getChats(c); })->answers.at(0));
    ASSERT_EQ(chats.size(), 1u);
    ASSERT_TRUE(chats[0] && chats[0]->user());
    EXPECT_EQ(chats[0]->user()->userId(), a);
    ASSERT_FALSE(chats[0]->messages().empty());
    EXPECT_EQ(chats[0]->messages()[0]->message(), text);

    auto chat =
        ask([&](VelkoraCallback c) { VelkoraServerApi::getChat(userOf(a), c); })->answers.at(0).asObject<VelkoraChat>();
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->user()->userId(), a);
    EXPECT_EQ(chat->numMessages(), 1);
    ASSERT_EQ(chat->messages().size(), 1u);
    EXPECT_EQ(chat->messages()[0]->message(), text);
    EXPECT_EQ(chat->messages()[0]->messageId(), delivered[0]->messageId());
}

TEST_F(MessageCommandsTest, MarkingReadAndDeletingChangeOnlyTheMarkingUsersSide) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string a = me(), b = bea();
    for (const char* text : {"first", "second", "third"})
        ASSERT_EQ(ask([&](VelkoraCallback c) {
                      VelkoraServerApi::sendMessage(std::string(text), kApp, b, "text/plain", c);
                  })->answers.size(),
                  1u);
    auto chatWith = [&](const std::string& other) {
        auto chat = ask([&](VelkoraCallback c) { VelkoraServerApi::getChat(userOf(other), c); })
                        ->answers.at(0)
                        .asObject<VelkoraChat>();
        std::vector<std::string> shown; // newest first, a "*" for each read one
        if (chat)
            for (auto& m : chat->messages())
                shown.push_back(m->message().value_or("") + (m->wasRead() ? "*" : ""));
        return std::make_pair(chat ? chat->messages() : std::vector<VelkoraMessagePtr>{}, shown);
    };
    actAs(b);
    auto [messages, shown] = chatWith(a);
    ASSERT_EQ(shown, (std::vector<std::string>{"third", "second", "first"}));
    const std::string third = std::to_string(messages[0]->messageId()),
                      first = std::to_string(messages[2]->messageId());

    // Neither answers anybody; the list goes as one value.
    VelkoraServerApi::markMessagesRead(third + "," + first);
    ASSERT_TRUE(waitForRequests("markMessages", 1));
    EXPECT_EQ(chatWith(a).second, (std::vector<std::string>{"third*", "second", "first*"}));
    VelkoraServerApi::deleteMessages(first);
    ASSERT_TRUE(waitForRequests("markMessages", 2));
    EXPECT_EQ(chatWith(a).second, (std::vector<std::string>{"third*", "second"}));
    // The writer still has all three.
    actAs(a);
    EXPECT_EQ(chatWith(b).second.size(), 3u);
}

TEST_F(MessageCommandsTest, RequestTextsAndRetryModes) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string a = me(), b = bea();
    const std::string sender = "&senderAppId=A&senderUserId=" + a, self = "&appId=A&userId=" + a;
    struct Case {
        const char* name;
        std::function<void(VelkoraCallback)> call;
        std::string command, text;
        int retryMode;
    };
    const std::string head = "&clientType=1&build=2.5.7";
    const Case cases[] = {
        {"short form: type and rating 0; a sticker",
         [&](VelkoraCallback c) { VelkoraServerApi::sendMessage(std::string("1F600"), kApp, b, "sticker", c); },
         "sendMessage",
         "command=sendMessage" + head + "&appId=A&userId=" + b + "&message=1F600" + sender +
             "&contentType=sticker&messageType=0&rating=0",
         1},
        {"no text and no content type go out empty, never as (null)",
         [&](VelkoraCallback c) { VelkoraServerApi::sendMessage(std::nullopt, kApp, b, 0, 0, std::nullopt, c); },
         "sendMessage",
         "command=sendMessage" + head + "&appId=A&userId=" + b + "&message=" + sender +
             "&contentType=&messageType=0&rating=0",
         1},
        {"a content type with reserved characters cannot add parameters",
         [&](VelkoraCallback c) { VelkoraServerApi::sendMessage(std::string("x"), kApp, b, "text/plain&rating=9", c); },
         "sendMessage",
         "command=sendMessage" + head + "&appId=A&userId=" + b + "&message=x" + sender +
             "&contentType=text/plain%26rating%3D9&messageType=0&rating=0",
         1},
        {"chats", [](VelkoraCallback c) { VelkoraServerApi::getChats(c); }, "getChats",
         "command=getChats" + head + self + "&protocolVersion=15", 1},
        {"one chat", [&](VelkoraCallback c) { VelkoraServerApi::getChat(userOf(b), c); }, "getChat",
         "command=getChat" + head + self + "&otherAppId=A&otherUserId=" + b + "&protocolVersion=15", 1},
        {"one chat from an offset", [&](VelkoraCallback c) { VelkoraServerApi::getChat(userOf(b), 20, c); }, "getChat",
         "command=getChat" + head + self + "&otherAppId=A&otherUserId=" + b + "&offset=20&protocolVersion=15", 1},
        {"delete", [](VelkoraCallback) { VelkoraServerApi::deleteMessages(std::string("4,7")); }, "markMessages",
         "command=markMessages" + head + self + "&messages=4,7&markDeleted=1", 0},
        {"mark read", [](VelkoraCallback) { VelkoraServerApi::markMessagesRead(std::string("5")); }, "markMessages",
         "command=markMessages" + head + self + "&messages=5&markDeleted=0", 0},
        {"mark read without ids", [](VelkoraCallback) { VelkoraServerApi::markMessagesRead(std::nullopt); },
         "markMessages", "command=markMessages" + head + self + "&messages=&markDeleted=0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearRequests();
        auto caller = std::make_shared<Caller>();
        c.call(Caller::of(caller));
        ASSERT_FALSE(agent().workingProtocolsWrappers().empty());
        auto& w = agent().workingProtocolsWrappers().back();
        ASSERT_TRUE(w->command());
        EXPECT_EQ(w->fetcher(*w->command())->retryMode(), c.retryMode);
        ASSERT_TRUE(waitForRequests(c.command, 1));
        auto r = svc.requestsFor(c.command).at(0);
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(untagged(r), c.text);
        EXPECT_NE(r.query.find("&crc="), std::string::npos);
        EXPECT_EQ(r.query.find("(null)"), std::string::npos);
    }
}

TEST_F(MessageCommandsTest, FeedbackFormReachesTheOwnerWithItsTypeAndRating) {
    startNewUser();
    VelkoraServerApi::pause();
    auto sent = ask([](VelkoraCallback c) {
        VelkoraServerApi::sendMessage(std::string("Lovely app, one wish: dark mode"), kApp, "_OWNER", 1, 5,
                                      "text/plain", c);
    });
    ASSERT_EQ(sent->answers.size(), 1u);
    auto r = svc.requestsFor("sendMessage").at(0);
    EXPECT_EQ(untagged(r), "command=sendMessage&clientType=1&build=2.5.7&appId=A&userId=_OWNER"
                           "&message=Lovely%20app,%20one%20wish:%20dark%20mode&senderAppId=A&senderUserId=" +
                               me() + "&contentType=text/plain&messageType=1&rating=5");

    // It shows as the system chat with the owner, with its message type.
    auto chats = objects<VelkoraChat>(ask([](VelkoraCallback c) { VelkoraServerApi::getChats(c); })->answers.at(0));
    ASSERT_EQ(chats.size(), 1u);
    EXPECT_EQ(chats[0]->user()->userId(), std::string("_OWNER"));
    EXPECT_TRUE(chats[0]->systemChat());
    ASSERT_EQ(chats[0]->messages().size(), 1u);
    EXPECT_EQ(chats[0]->messages()[0]->messageType(), 1);
}

TEST_F(MessageCommandsTest, ImageMessageIsAFormPostAndAnswersItsAddress) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string a = me(), b = bea();
    auto uploaded = ask([&](VelkoraCallback c) {
        VelkoraServerApi::uploadImageMessage(c, picture(64, 48), picture(16, 12), std::string("OTHER-APP"), b);
    });
    ASSERT_EQ(uploaded->answers.size(), 1u) << (uploaded->errors.empty() ? "" : uploaded->errors[0]->domain);
    const std::string* url = uploaded->answers[0].asString();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->rfind(svc.baseUrl(), 0), 0u) << *url;

    auto r = svc.requestsFor("sendImageMessage").at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.query, ""); // the bare endpoint: no query, no time stamp, no tag
    // The recipient's app id the caller gave is not sent: the sender's goes as "appId".
    EXPECT_EQ(r.body.substr(0, r.body.find("&image=")),
              "command=sendImageMessage&appId=A&userId=" + b + "&senderAppId=A&senderUserId=" + a);
    EXPECT_EQ(r.body.find("clientType"), std::string::npos);
    struct Picture {
        const char* key;
        int width, height;
    };
    for (Picture p : {Picture{"image", 64, 48}, Picture{"smallImage", 16, 12}}) {
        SCOPED_TRACE(p.key);
        std::string encoded = field(r.body, p.key);
        // URL-safe Base64 on one line.
        EXPECT_EQ(encoded.find_first_of("+/\r\n"), std::string::npos);
        auto bytes = dataWithBase64EncodedString(encoded);
        ASSERT_TRUE(bytes);
        auto header = ui::Image::headerOfData(bytes->data(), bytes->size());
        ASSERT_TRUE(header);
        EXPECT_EQ(header->format, ui::ImageFormat::Jpeg);
        EXPECT_EQ(header->pixelWidth, p.width);
        EXPECT_EQ(header->pixelHeight, p.height);
    }

    // The recipient finds it in the chat as an image whose text is the address.
    actAs(b);
    auto chat =
        ask([&](VelkoraCallback c) { VelkoraServerApi::getChat(userOf(a), c); })->answers.at(0).asObject<VelkoraChat>();
    ASSERT_TRUE(chat);
    ASSERT_EQ(chat->messages().size(), 1u);
    EXPECT_EQ(chat->messages()[0]->contentType(), std::string("image"));
    EXPECT_EQ(chat->messages()[0]->message(), *url);
}

TEST_F(MessageCommandsTest, ImageMessageWithoutItsPartsSendsNothing) {
    startNewUser();
    VelkoraServerApi::pause();
    struct Case {
        const char* name;
        std::shared_ptr<ui::Image> image;
        std::optional<std::string> to;
    };
    const Case cases[] = {{"no image", nullptr, std::string("_OWNER")},
                          {"no recipient", picture(4, 4), std::nullopt},
                          {"an empty recipient", picture(4, 4), std::string()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        capture_->clear();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::uploadImageMessage(Caller::of(caller), c.image, picture(2, 2), kApp, c.to);
        EXPECT_TRUE(logged("Velkora - uploadImageMessage: AppId, UserId, OtherUserId or Image not set"));
        EXPECT_TRUE(agent().workingProtocolsWrappers().empty());
        settle();
        EXPECT_TRUE(caller->answers.empty() && caller->errors.empty());
    }
    EXPECT_EQ(count("sendImageMessage"), 0u);
}

TEST_F(MessageCommandsTest, CommandsMadeBeforeTheUserIsKnownWaitAndReplayWithTheirFields) {
    auto chats = std::make_shared<Caller>(), message = std::make_shared<Caller>(), page = std::make_shared<Caller>(),
         image = std::make_shared<Caller>(), chat = std::make_shared<Caller>();
    auto owner = userOf("_OWNER");
    VelkoraServerApi::getChats(Caller::of(chats));
    VelkoraServerApi::sendMessage(std::string("early"), kApp, "_OWNER", 2, 4, "text/plain", Caller::of(message));
    VelkoraServerApi::getChat(owner, 20, Caller::of(page));
    VelkoraServerApi::uploadImageMessage(Caller::of(image), picture(8, 8), picture(2, 2), std::string("A"), "_OWNER");
    VelkoraServerApi::getChat(owner, Caller::of(chat));
    // Two that never wait: sent at once, and dropped for want of a user id.
    VelkoraServerApi::deleteMessages(std::string("1"));
    VelkoraServerApi::markMessagesRead(std::string("1"));
    EXPECT_TRUE(logged("Velkora - deleteMessages: AppId or UserId not set"));
    EXPECT_TRUE(logged("Velkora - markMessagesRead: AppId or UserId not set"));

    auto& queued = agent().pendingRequests();
    ASSERT_EQ(queued.size(), 5u);
    std::vector<int> types;
    for (auto& r : queued)
        types.push_back(r->type);
    EXPECT_EQ(types, (std::vector<int>{19, 6, 18, 69, 17}));
    EXPECT_EQ(queued[1]->message, std::string("early"));
    EXPECT_EQ(queued[1]->toUserId, std::string("_OWNER"));
    EXPECT_EQ(queued[1]->messageType, 2);
    EXPECT_EQ(queued[1]->rating, 4);
    EXPECT_EQ(queued[1]->contentType, std::string("text/plain"));
    EXPECT_EQ(queued[2]->user, owner);
    EXPECT_EQ(queued[2]->messagesOffset, 20);
    EXPECT_TRUE(queued[3]->image && queued[3]->smallImage);
    EXPECT_TRUE(queued[3]->delegate.hasErrorSelector());
    EXPECT_EQ(queued[3]->toAppId, std::string("A"));
    EXPECT_EQ(queued[4]->user, owner);

    startNewUser();
    ASSERT_TRUE(waitFor([&] {
        for (auto& c : {chats, message, page, image, chat})
            if (c->answers.empty() && c->errors.empty()) return false;
        return true;
    }));
    for (auto& c : {chats, message, page, image, chat})
        EXPECT_TRUE(c->errors.empty());
    EXPECT_TRUE(chats->answers.at(0).isArray());
    EXPECT_TRUE(message->answers.at(0).isNull());
    EXPECT_TRUE(page->answers.at(0).isArray()); // the paged read answers the page's messages
    EXPECT_TRUE(image->answers.at(0).isString());
    EXPECT_TRUE(chat->answers.at(0).asObject<VelkoraChat>());
    EXPECT_EQ(param(svc.requestsFor("sendMessage").at(0), "rating"), "4");
    EXPECT_EQ(param(svc.requestsFor("sendMessage").at(0), "messageType"), "2");
    std::vector<std::string> offsets;
    for (auto& r : svc.requestsFor("getChat"))
        offsets.push_back(param(r, "offset"));
    std::sort(offsets.begin(), offsets.end());
    EXPECT_EQ(offsets, (std::vector<std::string>{"20", "<absent>"}));
    EXPECT_EQ(count("markMessages"), 0u);
}

TEST_F(MessageCommandsTest, ErrorRepliesReachTheCallerWithTheServersDomain) {
    startNewUser();
    VelkoraServerApi::pause();
    struct Case {
        const char* name;
        std::optional<Fault> fault;
        std::function<void(VelkoraCallback)> call;
        std::string domain;
    };
    auto fault = [](const char* command, Fault::Kind kind, const char* value) {
        Fault f;
        f.command = command;
        f.kind = kind;
        f.value = value;
        return f;
    };
    const Case cases[] = {
        {"message to an unknown user", std::nullopt,
         [](VelkoraCallback c) {
             VelkoraServerApi::sendMessage(std::string("hello"), kApp, "nobody", "text/plain", c);
         },
         "USER_NOT_FOUND"},
        {"chat with an unknown user", std::nullopt,
         [](VelkoraCallback c) { VelkoraServerApi::getChat(userOf("nobody"), c); }, "USER_NOT_FOUND"},
        {"image to an unknown user", std::nullopt,
         [](VelkoraCallback c) { VelkoraServerApi::uploadImageMessage(c, picture(4, 4), nullptr, kApp, "nobody"); },
         "USER_NOT_FOUND"},
        {"chats refused", fault("getChats", Fault::Kind::ErrorCode, "SERVICE_BUSY"),
         [](VelkoraCallback c) { VelkoraServerApi::getChats(c); }, "SERVICE_BUSY"},
        {"paged chat with a null error", fault("getChat", Fault::Kind::ErrorNull, ""),
         [](VelkoraCallback c) { VelkoraServerApi::getChat(userOf("_OWNER"), 20, c); }, "INTERNAL_ERROR"},
        {"message answered with no JSON", fault("sendMessage", Fault::Kind::NotJson, ""),
         [](VelkoraCallback c) { VelkoraServerApi::sendMessage(std::string("hi"), kApp, "_OWNER", "text/plain", c); },
         "Internal error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        if (c.fault) svc.addFault(*c.fault);
        auto caller = ask(c.call);
        EXPECT_TRUE(caller->answers.empty());
        ASSERT_EQ(caller->errors.size(), 1u);
        EXPECT_EQ(caller->errors[0]->domain, c.domain);
    }
}

TEST_F(MessageCommandsTest, ChatRepliesSkipChatsWithoutAUserAndAChatWithoutOneFails) {
    startNewUser();
    VelkoraServerApi::pause();
    auto scripted = [&](const char* command, const char* body) {
        svc.clearFaults();
        Fault f;
        f.command = command;
        f.kind = Fault::Kind::NotJson; // answered as it stands: here a JSON body of our own
        f.value = body;
        svc.addFault(f);
    };
    // A chat without a user is left out; the others keep the reply's order.
    scripted("getChats", R"({"chats":[{"user":{"userId":"u-2"},"messages":[]},{"messages":[],"numMessages":3},)"
                         R"({"user":{"userId":"u-3"},"numMessages":1,"isSystem":true}]})");
    auto chats = objects<VelkoraChat>(ask([](VelkoraCallback c) { VelkoraServerApi::getChats(c); })->answers.at(0));
    ASSERT_EQ(chats.size(), 2u);
    EXPECT_EQ(chats[0]->user()->userId(), std::string("u-2"));
    EXPECT_EQ(chats[1]->user()->userId(), std::string("u-3"));
    EXPECT_TRUE(chats[1]->systemChat());

    // No "chats" at all: an empty list.
    scripted("getChats", "{}");
    auto none = ask([](VelkoraCallback c) { VelkoraServerApi::getChats(c); });
    ASSERT_EQ(none->answers.size(), 1u);
    ASSERT_TRUE(none->answers[0].isArray());
    EXPECT_TRUE(none->answers[0].asArray()->empty());

    // One chat without a user cannot be read: the error function hears it, in both forms.
    for (std::optional<int32_t> offset : {std::optional<int32_t>(), std::optional<int32_t>(20)}) {
        scripted("getChat", R"({"chat":{"messages":[{"message":"x","changeNumber":1}]}})");
        auto caller = std::make_shared<Caller>();
        if (offset)
            VelkoraServerApi::getChat(userOf("u-2"), *offset, Caller::of(caller));
        else
            VelkoraServerApi::getChat(userOf("u-2"), Caller::of(caller));
        ASSERT_TRUE(waitForRequests("getChat", offset ? 2 : 1));
        EXPECT_TRUE(caller->answers.empty());
        ASSERT_EQ(caller->errors.size(), 1u);
        EXPECT_EQ(caller->errors[0]->domain, "Internal error");
    }

    // The paged form hands on the messages only.
    scripted(
        "getChat",
        R"({"chat":{"user":{"userId":"u-2"},"messages":[{"message":"older","changeNumber":4,"contentType":"text/plain",)"
        R"("sender":{"userId":"u-2"}}]}})");
    auto page = ask([](VelkoraCallback c) { VelkoraServerApi::getChat(userOf("u-2"), 20, c); });
    auto messages = objects<VelkoraMessageInternal>(page->answers.at(0));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->message(), std::string("older"));
}
