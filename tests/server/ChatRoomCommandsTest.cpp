// The chat-room commands against velkora-service: their request texts, what their replies hand to the
// caller and to the next poll, the queue before the session starts, and missing ids.
#include "CommandTestSupport.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraBase64.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

class ChatRoomTest : public CommandTest {
protected:
    std::string ids() const { return "&appId=A&userId=" + *agent().userId(); }
    static std::shared_ptr<ui::Image> picture(int size) { return ui::Image::create(size, size); }
};

} // namespace

TEST_F(ChatRoomTest, EachCommandSendsItsTextAndIsAcknowledged) {
    startNewUser();
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Rooms", "Talk"));
    std::string other = svc.createUser(kApp);
    int32_t theirs = static_cast<int32_t>(svc.addTopicComment(kApp, topic, other, "theirs"));
    std::string t = std::to_string(topic), c = std::to_string(theirs);

    struct Case {
        const char* what;
        const char* command;
        std::function<void(VelkoraCallback)> call;
        std::string text; // after "command=NAME&clientType=1&build=2.5.7" and the ids
    };
    const Case cases[] = {
        {"whole list", "getTopics", [](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopics(cb); },
         "&changeNumber=0"},
        {"clean read", "getTopic", [&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, true); },
         "&topicId=" + t + "&clean=1&protocolVersion=15"},
        {"plain read", "getTopic", [&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, false); },
         "&topicId=" + t + "&clean=0&protocolVersion=15"},
        {"earlier page", "getTopic",
         [&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopicEarliest(cb, topic, theirs); },
         "&topicId=" + t + "&offset=" + c + "&protocolVersion=15"},
        {"comment, reference not sent", "addComment",
         [&](VelkoraCallback cb) {
             VelkoraServerApi::postTopicComment(topic, 99, "a&b=c d/é#, ok?", "text/plain", cb);
         },
         "&topicId=" + t + "&text=a%26b%3Dc%20d/%C3%A9%23,%20ok%3F&contentType=text/plain"},
        {"comment like", "like", [&](VelkoraCallback cb) { VelkoraServerApi::likeTopicComment(topic, theirs, cb); },
         "&topicId=" + t + "&commentId=" + c + "&objectType=COMMENT"},
        {"comment unlike", "unlike",
         [&](VelkoraCallback cb) { VelkoraServerApi::unlikeTopicComment(topic, theirs, cb); },
         "&topicId=" + t + "&commentId=" + c},
        {"topic like", "like", [&](VelkoraCallback cb) { VelkoraServerApi::likeTopic(topic, cb); },
         "&topicId=" + t + "&objectType=TOPIC"},
        {"topic unlike", "unlike", [&](VelkoraCallback cb) { VelkoraServerApi::unlikeTopic(topic, cb); },
         "&topicId=" + t},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        auto caller = answered(k.call);
        ASSERT_EQ(caller->answers.size(), 1u);
        EXPECT_TRUE(caller->errors.empty());
        EXPECT_EQ(lastText(k.command),
                  std::string("command=") + k.command + "&clientType=1&build=2.5.7" + ids() + k.text);
    }
    // Acknowledgements hand the caller nothing.
    auto like = answered([&](VelkoraCallback cb) { VelkoraServerApi::likeTopic(topic, cb); });
    EXPECT_TRUE(like->answers.at(0).isNull());

    // The host object's room: client type and build last, free texts escaped, the type as it is.
    auto data = answered([](VelkoraCallback cb) {
        VelkoraServerApi::getChatRoomData("https://x.example/a b.png#q=1&r=2", "IMAGE", "Sun & sea", "50% off", cb);
    });
    EXPECT_EQ(lastText("getChatroomData"),
              "command=getChatroomData" + ids() +
                  "&object=https://x.example/a%20b.png%23q%3D1%26r%3D2&objectType=IMAGE&title=Sun%20%26%20sea"
                  "&text=50%25%20off&clientType=1&build=2.5.7");
    ASSERT_EQ(data->answers.size(), 1u);
    int32_t room = data->answers[0]["topicId"].int32Or(0);
    EXPECT_GT(room, 0);
    EXPECT_EQ(data->answers[0]["nComments"].int32Or(-1), 0);
    // The same object finds the same room.
    auto again = answered([](VelkoraCallback cb) {
        VelkoraServerApi::getChatRoomData("https://x.example/a b.png#q=1&r=2", "IMAGE", "Sun & sea", "50% off", cb);
    });
    EXPECT_EQ(again->answers.at(0)["topicId"].int32Or(0), room);
}

TEST_F(ChatRoomTest, TopicListAlwaysAsksForEverythingAndSetsThePollsTopicsCursor) {
    startNewUser();
    svc.addTopic(kApp, "First");
    svc.addTopic(kApp, "Second");
    auto topics = std::make_shared<VelkoraMessagesDelegate>();
    topics->gotTopics = [](const std::vector<VelkoraChatRoomsTopicPtr>&) {};
    VelkoraServerApi::pause(); // only the polls asked for here
    VelkoraServerApi::setTopicsDelegate(topics);
    ASSERT_TRUE(waitForRequests("update", 2));
    agent().setLastTopicsChangeNumber(0);

    auto caller = answered([](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopics(cb); });
    const Value& answer = caller->answers.at(0);
    ASSERT_EQ(answer["topics"].size(), 2u);
    EXPECT_EQ(*answer["topics"].at(0).asObject<VelkoraChatRoomsTopic>()->title(), "First");
    int32_t changeNumber = answer["changeNumber"].int32Or(-1);
    EXPECT_GT(changeNumber, 0);
    EXPECT_EQ(agent().lastTopicsChangeNumber(), changeNumber);
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", 3));
    EXPECT_EQ(param(svc.requestsFor("update").back(), "topicsChangeNumber"), std::to_string(changeNumber));

    // The next read is the whole list again, whatever the cursor.
    svc.addTopic(kApp, "Third");
    auto next = answered([](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopics(cb); });
    EXPECT_EQ(next->answers.at(0)["topics"].size(), 3u);
    for (const auto& r : svc.requestsFor("getTopics"))
        EXPECT_EQ(param(r, "changeNumber"), "0");
    EXPECT_GT(agent().lastTopicsChangeNumber(), changeNumber);
}

TEST_F(ChatRoomTest, TopicReadsAnswerTopicAndAdsMoveTheTopicCursorAndPageOldestFirst) {
    startNewUser();
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Busy"));
    std::string other = svc.createUser(kApp);
    std::vector<int64_t> comments;
    for (int i = 0; i < 25; ++i)
        comments.push_back(svc.addTopicComment(kApp, topic, other, std::string("c").append(std::to_string(i))));

    auto read = answered([&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, true); });
    const Value& answer = read->answers.at(0);
    auto parsed = answer["topic"].asObject<VelkoraChatRoomsTopic>();
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->topicId(), topic);
    EXPECT_EQ(parsed->commentsNumber(), 25);
    ASSERT_TRUE(answer["ads"].isArray());
    EXPECT_EQ(answer["ads"].at(0)["type"].int32Or(-1), 0);
    EXPECT_EQ(agent().topicChangeNumber(), parsed->changeNumber());
    auto latest = parsed->getLatestTopicEvents();
    ASSERT_EQ(latest.size(), 20u);
    EXPECT_EQ(latest.front()->commentId(), comments[5]);

    // The page before the earliest comment shown: the five older ones, oldest first.
    auto page = answered([&](VelkoraCallback cb) {
        VelkoraServerApi::getChatRoomsTopicEarliest(cb, topic, static_cast<int32_t>(comments[5]));
    });
    const Value& earlier = page->answers.at(0);
    ASSERT_EQ(earlier.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        auto comment = earlier.at(i).asObject<VelkoraChatRoomsComment>();
        ASSERT_TRUE(comment);
        EXPECT_EQ(comment->commentId(), comments[i]);
        EXPECT_EQ(comment->topicId(), topic);
        EXPECT_EQ(*comment->text(), std::string("c").append(std::to_string(i)));
    }

    // A topic the service does not have: no topic, yet the ads still reach the caller; the page is nil.
    int32_t before = agent().topicChangeNumber();
    auto missingTopic = answered([](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, 9999, false); });
    const Value& none = missingTopic->answers.at(0);
    EXPECT_FALSE(none.get("topic"));
    ASSERT_TRUE(none.get("ads"));
    EXPECT_TRUE(none["ads"].isArray());
    EXPECT_EQ(agent().topicChangeNumber(), before);
    auto missingPage = answered([](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopicEarliest(cb, 9999, 5); });
    EXPECT_TRUE(missingPage->answers.at(0).isNull());
}

TEST_F(ChatRoomTest, PostedCommentsAndPicturesReachTheNextReadAndOtherUsersPolls) {
    startNewUser();
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Pictures"));
    std::string other = svc.createUser(kApp);
    Json before = otherPoll(other, "&wantTopic=1&topicChangeNumber=0&topicId=" + std::to_string(topic));
    int cursor = before["topic"]["topic"]["changeNumber"];

    auto text = answered(
        [&](VelkoraCallback cb) { VelkoraServerApi::postTopicComment(topic, 1, "hi & bye", "text/plain", cb); });
    ASSERT_EQ(text->answers.size(), 1u);
    auto big = picture(8), small = picture(4);
    auto upload = answered([&](VelkoraCallback cb) { VelkoraServerApi::uploadTopicImage(topic, big, small, cb); });
    ASSERT_EQ(upload->answers.size(), 1u);
    std::string url = upload->answers[0].textOr("");
    EXPECT_NE(url.find("/images/"), std::string::npos) << url;

    // The picture went as a form to the bare address, each picture JPEG then URL-safe Base64 without breaks.
    auto post = svc.requestsFor("addImageComment").at(0);
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.query, "");
    std::string head = "command=addImageComment&clientType=1&build=2.5.7" + ids() +
                       "&topicId=" + std::to_string(topic) +
                       "&image=" + *base64EncodedStringWithWrapWidth(big->jpegData(1.0), 0) +
                       "&smallImage=" + *base64EncodedStringWithWrapWidth(small->jpegData(1.0), 0);
    EXPECT_EQ(post.body.substr(0, head.size() + 4), head + "&ts=");
    EXPECT_NE(post.body.find("&sendId=", head.size()), std::string::npos);

    auto read = answered([&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, false); });
    auto events = read->answers.at(0)["topic"].asObject<VelkoraChatRoomsTopic>()->getLatestTopicEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(*events[0]->text(), "hi & bye");
    EXPECT_EQ(*events[0]->contentType(), "text/plain");
    EXPECT_EQ(*events[1]->text(), url);
    EXPECT_EQ(*events[1]->contentType(), "image");

    Json news = otherPoll(other, "&wantTopic=1&topicChangeNumber=" + std::to_string(cursor) +
                                     "&topicId=" + std::to_string(topic));
    const Json& got = news["topic"]["topic"]["comments"];
    ASSERT_EQ(got.size(), 2u) << news;
    EXPECT_EQ(got[0]["text"], "hi & bye");
    EXPECT_EQ(got[0]["user"]["userId"], *agent().userId());
    EXPECT_EQ(got[1]["text"], url);

    // Deleting takes the comment out of the next read.
    auto del =
        answered([&](VelkoraCallback cb) { VelkoraServerApi::deleteTopicComment(topic, events[0]->commentId(), cb); });
    EXPECT_EQ(lastText("deleteComment"), "command=deleteComment&clientType=1&build=2.5.7" + ids() +
                                             "&topicId=" + std::to_string(topic) +
                                             "&commentId=" + std::to_string(events[0]->commentId()));
    auto after = answered([&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, false); });
    EXPECT_EQ(after->answers.at(0)["topic"].asObject<VelkoraChatRoomsTopic>()->commentsNumber(), 1);
}

TEST_F(ChatRoomTest, LikesOfTopicsAndCommentsCountOnTheService) {
    startNewUser();
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Likeable"));
    int32_t comment = static_cast<int32_t>(svc.addTopicComment(kApp, topic, svc.createUser(kApp), "like me"));
    auto read = [&] {
        auto r = answered([&](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, topic, false); });
        return r->answers.at(0)["topic"].asObject<VelkoraChatRoomsTopic>();
    };
    answered([&](VelkoraCallback cb) { VelkoraServerApi::likeTopic(topic, cb); });
    answered([&](VelkoraCallback cb) { VelkoraServerApi::likeTopicComment(topic, comment, cb); });
    auto liked = read();
    EXPECT_EQ(liked->likesNumber(), 1);
    EXPECT_EQ(liked->getLatestTopicEvents().at(0)->likesNumber(), 1);
    answered([&](VelkoraCallback cb) { VelkoraServerApi::unlikeTopic(topic, cb); });
    answered([&](VelkoraCallback cb) { VelkoraServerApi::unlikeTopicComment(topic, comment, cb); });
    auto unliked = read();
    EXPECT_EQ(unliked->likesNumber(), 0);
    EXPECT_EQ(unliked->getLatestTopicEvents().at(0)->likesNumber(), 0);
}

TEST_F(ChatRoomTest, BeforeTheSessionStartsCommandsQueueButDeletingGoesOutAtOnce) {
    // Ids held by the agent, but no session yet.
    std::string held = svc.createUser(kApp);
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Early"));
    int32_t mine = static_cast<int32_t>(svc.addTopicComment(kApp, topic, held, "mine"));
    int32_t kept = static_cast<int32_t>(svc.addTopicComment(kApp, topic, held, "kept"));
    agent().setAppId(std::string(kApp));
    agent().setUserId(held);

    auto deleter = std::make_shared<Caller>();
    VelkoraServerApi::deleteTopicComment(topic, mine, Caller::of(deleter));
    ASSERT_TRUE(waitFor([&] { return deleter->answers.size() == 1; }));
    EXPECT_EQ(lastText("deleteComment"), "command=deleteComment&clientType=1&build=2.5.7&appId=A&userId=" + held +
                                             "&topicId=" + std::to_string(topic) +
                                             "&commentId=" + std::to_string(mine));

    auto callers = std::vector<std::shared_ptr<Caller>>(6);
    for (auto& c : callers)
        c = std::make_shared<Caller>();
    VelkoraServerApi::postTopicComment(topic, 42, "queued", "text/plain", Caller::of(callers[0]));
    VelkoraServerApi::likeTopicComment(topic, kept, Caller::of(callers[1]));
    VelkoraServerApi::unlikeTopic(topic, Caller::of(callers[2]));
    VelkoraServerApi::getChatRoomsTopic(Caller::of(callers[3]), topic, true);
    VelkoraServerApi::getChatRoomsTopicEarliest(Caller::of(callers[4]), topic, 77);
    VelkoraServerApi::getChatRoomData("obj", "HTML", "Title", "Data", Caller::of(callers[5]));
    auto& queued = agent().pendingRequests();
    ASSERT_EQ(queued.size(), 6u);
    EXPECT_EQ(queued[0]->type, VelkoraPendingType::kPostTopicComment);
    EXPECT_EQ(queued[0]->commentRef, 42);
    EXPECT_EQ(*queued[0]->commentText, "queued");
    EXPECT_EQ(queued[1]->type, VelkoraPendingType::kLikeTopicComment);
    EXPECT_EQ(queued[1]->commentRef, kept);
    EXPECT_EQ(queued[2]->type, VelkoraPendingType::kUnlikeTopic);
    EXPECT_EQ(queued[3]->type, VelkoraPendingType::kGetChatRoomsTopic);
    EXPECT_TRUE(queued[3]->isClean);
    EXPECT_EQ(queued[4]->type, VelkoraPendingType::kGetChatRoomsTopicEarliest);
    EXPECT_EQ(queued[4]->commentRef, 77);
    EXPECT_EQ(queued[5]->type, VelkoraPendingType::kGetChatRoomData);
    EXPECT_EQ(*queued[5]->objectTitle, "Title");
    EXPECT_EQ(count("addComment") + count("like") + count("unlike") + count("getTopic") + count("getChatroomData"), 0u);

    // The session starts as a new user: each queued command goes out as itself and answers its caller.
    VelkoraAppSettings::instance().setAppId(std::string(kApp));
    VelkoraServerApi::startSession(std::string(kApp), nullptr);
    ASSERT_TRUE(waitFor([&] {
        for (auto& c : callers)
            if (c->answers.empty()) return false;
        return true;
    })) <<
        [&] {
            std::string unanswered;
            for (size_t i = 0; i < callers.size(); ++i)
                if (callers[i]->answers.empty())
                    unanswered += " " + std::to_string(i) +
                                  (callers[i]->errors.empty() ? "" : ":" + callers[i]->errors[0]->domain);
            return unanswered;
        }();
    ASSERT_TRUE(settle());
    std::string now = *agent().userId();
    EXPECT_EQ(lastText("addComment"), "command=addComment&clientType=1&build=2.5.7&appId=A&userId=" + now +
                                          "&topicId=" + std::to_string(topic) + "&text=queued&contentType=text/plain");
    EXPECT_EQ(param(svc.requestsFor("like").at(0), "commentId"), std::to_string(kept));
    EXPECT_EQ(param(svc.requestsFor("unlike").at(0), "commentId"), "<absent>");
    // The two topic reads go out together, each on its own connection: they may arrive in either order.
    auto reads = svc.requestsFor("getTopic");
    ASSERT_EQ(reads.size(), 2u);
    size_t clean = param(reads[0], "clean") == "1" ? 0 : 1;
    EXPECT_EQ(param(reads[clean], "clean"), "1");
    EXPECT_EQ(param(reads[1 - clean], "offset"), "77");
    EXPECT_EQ(param(svc.requestsFor("getChatroomData").at(0), "title"), "Title");
}

TEST_F(ChatRoomTest, MissingIdsOrPicturesSendNothing) {
    startNewUser();
    agent().setUserId(std::nullopt);
    auto small = picture(2);
    struct Case {
        std::function<void(VelkoraCallback)> call;
        const char* line;
    };
    const Case cases[] = {
        {[](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopics(cb); },
         "Velkora - getChatRoomsTopics: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getChatRoomsTopic(cb, 1, true); },
         "Velkora - getChatRoomsTopic: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::postTopicComment(1, 0, "x", "text/plain", cb); },
         "Velkora - postTopicComment: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getChatRoomData("o", "HTML", "t", "d", cb); },
         "Velkora - getChatRoomData: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::likeTopicComment(1, 2, cb); },
         "Velkora - likeTopicComment: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::unlikeTopicComment(1, 2, cb); },
         "Velkora - unlikeTopicComment: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::deleteTopicComment(1, 2, cb); },
         "Velkora - deleteTopicComment: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::likeTopic(1, cb); },
         "Velkora - likeTopic: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::unlikeTopic(1, cb); },
         "Velkora - unlikeTopic: AppId or UserId not set"},
        {[&](VelkoraCallback cb) { VelkoraServerApi::uploadTopicImage(1, small, small, cb); },
         "Velkora - uploadTopicImage: AppId, UserId, Image or Small Image not set"},
    };
    auto caller = std::make_shared<Caller>();
    for (const Case& k : cases) {
        k.call(Caller::of(caller));
        EXPECT_TRUE(logged(k.line)) << k.line;
    }
    EXPECT_TRUE(agent().workingProtocolsWrappers().empty());

    // With the ids back, a missing picture is refused the same way.
    agent().setUserId(svc.createUser(kApp));
    VelkoraServerApi::uploadTopicImage(1, nullptr, small, Caller::of(caller));
    EXPECT_TRUE(agent().workingProtocolsWrappers().empty());
    for (const char* command : {"getTopics", "getTopic", "addComment", "getChatroomData", "like", "unlike",
                                "deleteComment", "addImageComment"})
        EXPECT_EQ(count(command), 0u) << command;
    EXPECT_TRUE(caller->answers.empty() && caller->errors.empty());
}
