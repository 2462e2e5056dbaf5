// The feed and like commands against velkora-service: their request texts and retry modes, what the
// replies hand to the caller, what other users see, the queue before the session starts, and missing ids.
#include "CommandTestSupport.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

VelkoraFeedMessagePtr feedItem(const std::string& message, int32_t replyTo = 0) {
    auto item = std::make_shared<VelkoraFeedMessage>();
    item->setMessage(message);
    item->setReplyTo(replyTo);
    item->setContentType(std::string("text/plain"));
    return item;
}

VelkoraLikeObjectPtr likeOf(const std::string& data, VelkoraLikeObject::Type type, OptionalText description = {}) {
    auto like = std::make_shared<VelkoraLikeObject>();
    like->setData(data);
    like->setType(type);
    like->setDescription(std::move(description));
    return like;
}

VelkoraLikeObjectPtr likeOfPost(int32_t originalId) {
    auto like = likeOf("ignored", VelkoraLikeObject::POST);
    auto item = std::make_shared<VelkoraFeedMessage>();
    item->setOriginalId(originalId);
    like->setFeedMessage(item);
    return like;
}

class FeedTest : public CommandTest {
protected:
    std::string head(const std::string& command) const {
        return "command=" + command + "&clientType=1&build=2.5.7&appId=A&userId=" + *agent().userId();
    }
    // The retry mode of the command's fetcher in the object just made.
    static int32_t retryModeOfLatest(VelkoraCommand command) {
        auto& working = agent().workingProtocolsWrappers();
        if (working.empty()) return -1;
        auto fetcher = working.back()->fetcher(command);
        return fetcher ? fetcher->retryMode() : -1;
    }
};

}  // namespace

TEST_F(FeedTest, PostingCarriesEveryFieldAsGivenAndTheItemReachesTheFeedAndOtherPolls) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    int64_t theirs = svc.postFeed(kApp, other, "original");
    Json before = otherPoll(other, "&wantFeed2=1&feedChangeNumber=" + std::to_string(theirs));
    ASSERT_TRUE(before["feed2"].empty()) << before;

    auto full = feedItem("Hi & all, 100%", static_cast<int32_t>(theirs));
    full->setDescImageUrl(std::string("https://x.example/y.png#a=1&b=2"));
    full->setDescText(std::string("Big news"));
    full->setDescSubText(std::string("sub+text"));
    full->setActionVerb(std::string("open"));
    full->setActionId(std::string("id #1"));
    struct Case {
        const char* what;
        VelkoraFeedMessagePtr item;
        std::string text;
    };
    const Case cases[] = {
        {"every field", full,
         "&message=Hi%20%26%20all,%20100%25&&replyTo=" + std::to_string(theirs) +
             "&contentType=text/plain&descImageUrl=https://x.example/y.png%23a%3D1%26b%3D2&descText=Big%20news"
             "&descSubText=sub%2Btext&actionVerb=open&actionId=id%20%231"},
        {"absent fields go out empty", feedItem("plain"),
         "&message=plain&&replyTo=0&contentType=text/plain&descImageUrl=&descText=&descSubText=&actionVerb=&actionId="},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        auto caller = answered([&](VelkoraCallback cb) { VelkoraServerApi::sendFeed(k.item, cb); });
        ASSERT_EQ(caller->answers.size(), 1u);
        EXPECT_TRUE(caller->answers[0].isNull());
        EXPECT_EQ(lastText("sendFeed2"), head("sendFeed2") + k.text);
    }

    // The posted items come in the user's own feed and in another user's poll, fields intact.
    auto feed = answered([](VelkoraCallback cb) { VelkoraServerApi::getFeed(cb); });
    const Value& answer = feed->answers.at(0);
    ASSERT_EQ(answer.size(), 2u);
    bool found = false;
    for (size_t i = 0; i < answer.at(0).size(); ++i) {
        auto item = answer.at(0).at(i).asObject<VelkoraFeedMessage>();
        ASSERT_TRUE(item);
        if (item->message() == std::optional<std::string>("Hi & all, 100%")) {
            found = true;
            EXPECT_EQ(item->replyTo(), theirs);
            EXPECT_EQ(item->descSubText(), std::optional<std::string>("sub+text"));
            EXPECT_EQ(item->actionId(), std::optional<std::string>("id #1"));
        }
    }
    EXPECT_TRUE(found);
    Json news = otherPoll(other, "&wantFeed2=1&feedChangeNumber=" + std::to_string(theirs));
    ASSERT_EQ(news["feed2"].size(), 2u) << news;
    EXPECT_EQ(news["feed2"][0]["message"], "Hi & all, 100%");
    EXPECT_EQ(news["feed2"][0]["descImageUrl"], "https://x.example/y.png#a=1&b=2");
    EXPECT_EQ(news["feed2"][0]["sender"]["userId"], *agent().userId());
    EXPECT_EQ(news["feed2"][1]["message"], "plain");
}

TEST_F(FeedTest, EachCommandSendsItsTextWithItsRetryMode) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    int64_t theirs = svc.postFeed(kApp, other, "theirs");
    int32_t topic = static_cast<int32_t>(svc.addTopic(kApp, "Room"));
    auto otherUser = std::make_shared<VelkoraUserInternal>();
    otherUser->setAppId(std::string(kApp));
    otherUser->setUserId(other);
    std::string f = std::to_string(theirs);

    struct Case {
        const char* command;
        VelkoraCommand fetcher;
        int32_t retryMode;
        std::function<void(VelkoraCallback)> call;
        std::string text;
    };
    const Case cases[] = {
        {"getFeed2", VelkoraCommand::GetFeed, 1, [](VelkoraCallback cb) { VelkoraServerApi::getFeed(cb); },
         "&test=0&wantLikes=1&protocolVersion=15"},
        {"getOneFeed2", VelkoraCommand::GetOneFeed, 1,
         [&](VelkoraCallback cb) { VelkoraServerApi::getOneFeed(cb, static_cast<int32_t>(theirs)); }, "&feedId=" + f},
        {"getOtherFeed2", VelkoraCommand::GetOtherFeed, 1,
         [&](VelkoraCallback cb) { VelkoraServerApi::getOtherFeed(cb, otherUser); },
         "&otherAppId=A&otherUserId=" + other + "&wantLikes=1&protocolVersion=15"},
        {"resendFeed2", VelkoraCommand::ResendFeed, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::resendFeed(static_cast<int32_t>(theirs), cb); }, "&feedId=" + f},
        {"getResenders2", VelkoraCommand::GetResenders, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::getResenders(static_cast<int32_t>(theirs), cb); },
         "&feedId=" + f},
        {"deleteResend2", VelkoraCommand::DeleteResend, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::deleteFeedResend(static_cast<int32_t>(theirs), cb); },
         "&feedId=" + f},
        {"sendCommentFeed", VelkoraCommand::SendCommentFeed, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::sendCommentFeed(topic, cb); }, "&topicId=" + std::to_string(topic)},
        {"getLikes", VelkoraCommand::GetLikes, 0,
         [](VelkoraCallback cb) { VelkoraServerApi::getLikes("a b&c=d", cb); }, "&object=a%20b%26c%3Dd"},
        {"like", VelkoraCommand::Like, 0,
         [](VelkoraCallback cb) {
             VelkoraServerApi::like(likeOf("https://x.example/p.png#s=1&t=2", VelkoraLikeObject::IMAGE, "A & B"), cb);
         },
         "&object=https://x.example/p.png%23s%3D1%26t%3D2&objectType=IMAGE&objectDesc=A%20%26%20B"},
        {"like", VelkoraCommand::Like, 0,
         [](VelkoraCallback cb) { VelkoraServerApi::like(likeOf("no desc", VelkoraLikeObject::OTHER), cb); },
         "&object=no%20desc&objectType=OTHER&objectDesc="},
        {"like", VelkoraCommand::Like, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::likeFeed(likeOfPost(static_cast<int32_t>(theirs)), cb); },
         "&object=" + f + "&objectType=POST&feedId=" + f},
        {"unlike", VelkoraCommand::Unlike, 0,
         [](VelkoraCallback cb) {
             VelkoraServerApi::unlike(likeOf("https://x.example/p.png#s=1&t=2", VelkoraLikeObject::IMAGE), cb);
         },
         "&object=https://x.example/p.png%23s%3D1%26t%3D2"},
        {"unlike", VelkoraCommand::Unlike, 0,
         [&](VelkoraCallback cb) { VelkoraServerApi::unlikeFeed(likeOfPost(static_cast<int32_t>(theirs)), cb); },
         "&object=" + f},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        auto caller = std::make_shared<Caller>();
        k.call(Caller::of(caller));
        EXPECT_EQ(retryModeOfLatest(k.fetcher), k.retryMode);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        ASSERT_TRUE(settle());
        EXPECT_EQ(lastText(k.command), head(k.command) + k.text);
    }

    // The test flag follows the session's test mode.
    VelkoraAgentInternal::instance().setTestMode(true);
    answered([](VelkoraCallback cb) { VelkoraServerApi::getFeed(cb); });
    EXPECT_EQ(param(svc.requestsFor("getFeed2").back(), "test"), "1");

    // Deleting one's own item.
    int64_t mine = svc.postFeed(kApp, *agent().userId(), "mine");
    auto deleted = answered([&](VelkoraCallback cb) { VelkoraServerApi::deleteFeed(static_cast<int32_t>(mine), cb); });
    EXPECT_EQ(lastText("deleteFeed2"), head("deleteFeed2") + "&feedId=" + std::to_string(mine));
    EXPECT_EQ(deleted->answers.size(), 1u);
}

TEST_F(FeedTest, ReadsHandTheCallerItemsLikesAndUsers) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    int64_t post = svc.postFeed(kApp, other, "worth a like");
    svc.follow(kApp, *agent().userId(), other);
    auto otherUser = std::make_shared<VelkoraUserInternal>();
    otherUser->setAppId(std::string(kApp));
    otherUser->setUserId(other);

    answered([&](VelkoraCallback cb) { VelkoraServerApi::likeFeed(likeOfPost(static_cast<int32_t>(post)), cb); });
    answered([&](VelkoraCallback cb) { VelkoraServerApi::resendFeed(static_cast<int32_t>(post), cb); });

    auto theirs = answered([&](VelkoraCallback cb) { VelkoraServerApi::getOtherFeed(cb, otherUser); });
    const Value& pair = theirs->answers.at(0);
    ASSERT_EQ(pair.size(), 2u);
    ASSERT_EQ(pair.at(0).size(), 1u);
    EXPECT_EQ(pair.at(0).at(0).asObject<VelkoraFeedMessage>()->message(), std::optional<std::string>("worth a like"));
    ASSERT_EQ(pair.at(1).size(), 1u);
    auto like = pair.at(1).at(0).asObject<VelkoraLikeObject>();
    ASSERT_TRUE(like);
    EXPECT_EQ(like->numLikes(), 1);
    EXPECT_TRUE(like->storedIsLike());
    EXPECT_EQ(like->appId(), std::optional<std::string>(kApp));
    ASSERT_TRUE(like->feedMessage());
    EXPECT_EQ(like->feedMessage()->messageId(), post);

    auto one = answered([&](VelkoraCallback cb) { VelkoraServerApi::getOneFeed(cb, static_cast<int32_t>(post)); });
    EXPECT_EQ(one->answers.at(0).asObject<VelkoraFeedMessage>()->message(), std::optional<std::string>("worth a like"));
    auto resenders = answered([&](VelkoraCallback cb) { VelkoraServerApi::getResenders(static_cast<int32_t>(post), cb); });
    ASSERT_EQ(resenders->answers.at(0).size(), 1u);
    EXPECT_EQ(resenders->answers.at(0).at(0).asObject<VelkoraUserInternal>()->userId(), agent().userId());
}

TEST_F(FeedTest, LikeAndUnlikeChangeTheObjectThatGetLikesAnswers) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    const std::string picture = "https://x.example/pic 1.png?size=2&x=y";
    auto read = [&] {
        auto caller = answered([&](VelkoraCallback cb) { VelkoraServerApi::getLikes(picture, cb); });
        return caller->answers.at(0).asObject<VelkoraLikeObject>();
    };
    struct Step {
        const char* what;
        std::function<void(VelkoraCallback)> call;
        int32_t numLikes;
        bool mine;
    };
    const Step steps[] = {
        {"liked", [&](VelkoraCallback cb) { VelkoraServerApi::like(likeOf(picture, VelkoraLikeObject::IMAGE, "Pic"), cb); },
         1, true},
        {"liked twice counts once",
         [&](VelkoraCallback cb) { VelkoraServerApi::like(likeOf(picture, VelkoraLikeObject::IMAGE, "Pic"), cb); }, 1,
         true},
        {"unliked", [&](VelkoraCallback cb) { VelkoraServerApi::unlike(likeOf(picture, VelkoraLikeObject::IMAGE), cb); },
         0, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        auto ack = answered(s.call);
        ASSERT_EQ(ack->answers.size(), 1u);
        EXPECT_TRUE(ack->answers[0].isNull());
        auto object = read();
        ASSERT_TRUE(object);
        EXPECT_EQ(object->numLikes(), s.numLikes);
        EXPECT_EQ(object->storedIsLike(), s.mine);
        EXPECT_EQ(object->data(), std::optional<std::string>(picture));
        EXPECT_EQ(object->type(), VelkoraLikeObject::IMAGE);
        EXPECT_EQ(object->users().size(), static_cast<size_t>(s.numLikes));
    }
}

TEST_F(FeedTest, JoinedItemIsPostedOnlyWhenTheApplicationAsksAndTheUserIsNotPrivate) {
    startNewUser();
    struct Case {
        bool autoPost, privateMode;
        size_t sent;
    };
    const Case cases[] = {{false, false, 0}, {true, true, 0}, {true, false, 1}};
    auto appData = std::make_shared<VelkoraAppData>();
    VelkoraAgentInternal::instance().setAppData(appData);
    auto userInfo = VelkoraAgentInternal::instance().userInfo();
    ASSERT_TRUE(userInfo);
    for (const Case& k : cases) {
        appData->setAutoPostJoined(k.autoPost);
        userInfo->setIsPrivateMode(k.privateMode);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::sendJoinedFeed(Caller::of(caller));
        if (k.sent) {
            ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
            EXPECT_EQ(lastText("sendJoinedFeed"), head("sendJoinedFeed"));
        }
        EXPECT_TRUE(settle());
        EXPECT_EQ(count("sendJoinedFeed"), k.sent);
    }
}

TEST_F(FeedTest, CommandsMadeBeforeTheSessionStartsAreQueuedAndAnswerAfterIt) {
    std::string other = svc.createUser(kApp);
    int64_t post = svc.postFeed(kApp, other, "early");
    auto otherUser = std::make_shared<VelkoraUserInternal>();
    otherUser->setAppId(std::string(kApp));
    otherUser->setUserId(other);
    auto callers = std::vector<std::shared_ptr<Caller>>(5);
    for (auto& c : callers) c = std::make_shared<Caller>();
    VelkoraServerApi::getFeed(Caller::of(callers[0]));
    VelkoraServerApi::getOtherFeed(Caller::of(callers[1]), otherUser);
    VelkoraServerApi::likeFeed(likeOfPost(static_cast<int32_t>(post)), Caller::of(callers[2]));
    VelkoraServerApi::getLikes("thing", Caller::of(callers[3]));
    VelkoraServerApi::sendFeed(feedItem("queued post"), Caller::of(callers[4]));
    auto& queued = agent().pendingRequests();
    ASSERT_EQ(queued.size(), 5u);
    EXPECT_EQ(queued[0]->type, VelkoraPendingType::kGetFeed);
    EXPECT_EQ(queued[1]->type, VelkoraPendingType::kGetOtherFeed);
    EXPECT_EQ(queued[1]->user, otherUser);
    EXPECT_EQ(queued[2]->type, VelkoraPendingType::kLikeFeed);
    EXPECT_EQ(queued[3]->type, VelkoraPendingType::kGetLikes);
    EXPECT_EQ(queued[3]->message, std::optional<std::string>("thing"));
    EXPECT_EQ(queued[4]->type, VelkoraPendingType::kSendFeed);

    startNewUser();
    ASSERT_TRUE(waitFor([&] {
        for (auto& c : callers)
            if (c->answers.empty()) return false;
        return true;
    }));
    EXPECT_EQ(callers[1]->answers[0].at(0).size(), 1u);
    EXPECT_EQ(param(svc.requestsFor("like").at(0), "feedId"), std::to_string(post));
    EXPECT_EQ(param(svc.requestsFor("sendFeed2").at(0), "message"), "queued%20post");
}

TEST_F(FeedTest, MissingIdsSendNothing) {
    startNewUser();
    agent().setUserId(std::nullopt);
    auto like = likeOf("x", VelkoraLikeObject::OTHER);
    auto post = likeOfPost(3);
    auto appData = std::make_shared<VelkoraAppData>();
    appData->setAutoPostJoined(true);
    VelkoraAgentInternal::instance().setAppData(appData);
    struct Case {
        std::function<void(VelkoraCallback)> call;
        const char* line;
    };
    const Case cases[] = {
        {[](VelkoraCallback cb) { VelkoraServerApi::sendFeed(feedItem("x"), cb); },
         "Velkora - sendFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::resendFeed(1, cb); }, "Velkora - resendFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::deleteFeed(1, cb); }, "Velkora - deleteFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::deleteFeedResend(1, cb); },
         "Velkora - deleteResend: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getResenders(1, cb); },
         "Velkora - getResenders: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::sendCommentFeed(1, cb); },
         "Velkora - sendCommentFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getFeed(cb); }, "Velkora - getFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getOneFeed(cb, 1); }, "Velkora - getOneFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getOtherFeed(cb, nullptr); },
         "Velkora - getOtherFeed: AppId or UserId not set"},
        {[](VelkoraCallback cb) { VelkoraServerApi::getLikes("x", cb); }, "Velkora - getLikes: AppId or UserId not set"},
        {[&](VelkoraCallback cb) { VelkoraServerApi::like(like, cb); }, "Velkora - like: AppId or UserId not set"},
        {[&](VelkoraCallback cb) { VelkoraServerApi::likeFeed(post, cb); }, "Velkora - likeFeed: AppId or UserId not set"},
        {[&](VelkoraCallback cb) { VelkoraServerApi::unlike(like, cb); }, "Velkora - unlike: AppId or UserId not set"},
    };
    auto caller = std::make_shared<Caller>();
    for (const Case& k : cases) {
        k.call(Caller::of(caller));
        EXPECT_TRUE(logged(k.line)) << k.line;
        EXPECT_TRUE(agent().workingProtocolsWrappers().empty()) << k.line;
    }
    for (const char* command : {"sendFeed2", "resendFeed2", "deleteFeed2", "deleteResend2", "getResenders2",
                                "sendCommentFeed", "getFeed2", "getOneFeed2", "getOtherFeed2", "getLikes", "like"})
        EXPECT_EQ(count(command), 0u) << command;
}

TEST_F(FeedTest, LikeObjectsOfThePollCarryTheApplicationsIdLikeThoseOfTheFeedReads) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    svc.likeFeed(kApp, other, svc.postFeed(kApp, other, "liked"));
    auto feed = std::make_shared<VelkoraMessagesDelegate>();
    std::vector<VelkoraLikeObjectPtr> polled;
    feed->gotMessages = [](const std::optional<std::vector<VelkoraMessagePtr>>&) {};
    feed->gotLikes = [&](const std::vector<VelkoraLikeObjectPtr>& likes) { polled = likes; };
    VelkoraServerApi::setFeedDelegate(feed);
    ASSERT_TRUE(waitFor([&] { return !polled.empty(); }));
    EXPECT_EQ(polled[0]->appId(), std::optional<std::string>(kApp));
    EXPECT_EQ(polled[0]->numLikes(), 1);
}
