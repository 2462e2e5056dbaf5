// Users, chat rooms, topics and quizzes as the host reaches them, against the service.
#include "HostFixture.h"

#include "velkora/VKChatRoomTopic.h"
#include "velkora/VKQuiz.h"
#include "velkora/VelkoraChatRoom.h"
#include "velkora/VelkoraUser.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

// What one completion was called with, and how often.
struct Answer {
    int calls = 0;
    bool succeeded = false;
    std::shared_ptr<VelkoraUser> user;
    VelkoraUser::Completion completion() {
        return [this](std::shared_ptr<VelkoraUser> u, bool ok) {
            ++calls;
            succeeded = ok;
            user = std::move(u);
        };
    }
};

} // namespace

TEST_F(HostTest, UsersByIdAnswerOnceWhateverTheServiceKnows) {
    startAndComplete();
    std::string mary = svc.createUser(kApp, named("Mary", "Ann"));
    struct Case {
        std::string id;
        bool succeeds;
        size_t requests;
    };
    const Case cases[] = {{"", false, 0}, {mary, true, 1}, {"no-such-user", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("id '" + c.id + "'");
        svc.clearRequests();
        Answer answer;
        VelkoraUser::getUserByVelkoraId(c.id, answer.completion());
        waitFor([&] { return answer.calls > 0; });
        settle();
        EXPECT_EQ(answer.calls, 1);
        EXPECT_EQ(answer.succeeded, c.succeeds);
        EXPECT_EQ(count("getOtherUserData"), c.requests);
        if (c.succeeds) {
            ASSERT_TRUE(answer.user);
            EXPECT_EQ(answer.user->firstName(), "Mary");
            EXPECT_EQ(answer.user->userId(), mary);
            EXPECT_FALSE(answer.user->isCurrent());
        } else {
            EXPECT_FALSE(answer.user);
        }
    }
    // Known now: answered at once, without the service.
    svc.clearRequests();
    Answer again;
    VelkoraUser::getUserByVelkoraId(mary, again.completion());
    EXPECT_EQ(again.calls, 1);
    EXPECT_TRUE(again.succeeded);
    EXPECT_EQ(count("getOtherUserData"), 0u);
}

TEST_F(HostTest, EmailSignUpThenLogInAnswerOnceTheUsersDataIsBack) {
    startAndComplete();
    auto userData = listen(kVelkoraUserDataReceived);
    Answer signUp;
    VelkoraUser::signUpWithEmail("ann@example.org", "Ann Lee", "secret", signUp.completion());
    ASSERT_TRUE(waitFor([&] { return signUp.calls > 0; }));
    EXPECT_EQ(signUp.calls, 1);
    EXPECT_TRUE(signUp.succeeded);
    EXPECT_FALSE(userData->infos.empty()) << "answered after the user's data came back";
    ASSERT_TRUE(VelkoraUser::currentUser());
    EXPECT_TRUE(VelkoraUser::currentUser()->isAuthenticated());

    // Signed in: a log-in is refused at once and sends nothing.
    svc.clearRequests();
    Answer refused;
    VelkoraUser::loginWithEmail("ann@example.org", "secret", refused.completion());
    EXPECT_EQ(refused.calls, 1);
    EXPECT_FALSE(refused.succeeded);
    EXPECT_TRUE(logged("Velkora (W) - User is already logged in"));
    settle();
    EXPECT_EQ(count("login"), 0u);

    Answer out;
    VelkoraUser::logout(out.completion());
    ASSERT_TRUE(waitFor([&] { return out.calls > 0; }));
    EXPECT_TRUE(out.succeeded);
    EXPECT_FALSE(VelkoraUser::currentUser()->isAuthenticated());

    userData->infos.clear();
    Answer login;
    VelkoraUser::loginWithEmail("ann@example.org", "secret", login.completion());
    ASSERT_TRUE(waitFor([&] { return login.calls > 0; }));
    settle();
    EXPECT_EQ(login.calls, 1);
    EXPECT_TRUE(login.succeeded);
    EXPECT_FALSE(userData->infos.empty());
    EXPECT_EQ(count("login"), 1u);
    EXPECT_TRUE(VelkoraUser::currentUser()->isAuthenticated());

    // The service refuses the new password: the host hears NO, after the service answered.
    svc.addFault(Fault{"changePassword", Fault::Kind::ErrorCode, "WRONG_PASSWORD"});
    Answer change;
    VelkoraUser::changePassword("better", change.completion());
    EXPECT_EQ(change.calls, 0) << "waits for the service";
    ASSERT_TRUE(waitFor([&] { return change.calls > 0; }));
    EXPECT_FALSE(change.succeeded);
    EXPECT_EQ(count("changePassword"), 1u);
}

TEST_F(HostTest, ChatRoomsByTopicAndTheirOlderComments) {
    startAndComplete();
    Answer unused;
    int calls = 0;
    bool ok = true;
    VelkoraChatRoom::getChatRoomByTopicId(-1, [&](std::shared_ptr<VelkoraChatRoom> room, bool succeeded) {
        ++calls;
        ok = succeeded || room;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(ok);

    std::string mary = svc.createUser(kApp, named("Mary"));
    auto topicId = static_cast<int>(svc.addTopic(kApp, "Weekend plans", "Who is in?"));
    std::vector<int64_t> comments;
    for (int i = 0; i < 30; ++i)
        comments.push_back(svc.addTopicComment(kApp, topicId, mary, "comment " + std::to_string(i)));
    std::shared_ptr<VelkoraChatRoom> room;
    VelkoraChatRoom::getChatRoomByTopicId(topicId, [&](std::shared_ptr<VelkoraChatRoom> r, bool succeeded) {
        EXPECT_TRUE(succeeded);
        room = std::move(r);
    });
    ASSERT_TRUE(waitFor([&] { return room != nullptr; }));
    EXPECT_EQ(room->title(), "Weekend plans");
    EXPECT_EQ(VKChatRoomTopic::getTitle(topicId), "Weekend plans");
    auto held = room->getComments();
    ASSERT_FALSE(held.empty());
    int earliest = held.back()->commentId();
    ASSERT_GT(earliest, static_cast<int>(comments.front())) << "the first reply does not hold every comment";

    int answers = 0;
    std::vector<std::shared_ptr<VelkoraChatRoomComment>> older;
    room->getPreviousComments(earliest, [&](std::shared_ptr<VelkoraChatRoom>, auto list, bool succeeded) {
        ++answers;
        EXPECT_TRUE(succeeded);
        older = std::move(list);
    });
    ASSERT_TRUE(waitFor([&] { return answers > 0; }));
    settle();
    EXPECT_EQ(answers, 1);
    ASSERT_FALSE(older.empty());
    for (const auto& c : older)
        EXPECT_LT(c->commentId(), earliest);
    EXPECT_GT(room->getComments().size(), held.size()) << "the older comments joined the room";
}

TEST_F(HostTest, UnknownTopicsAndQuizzesAndPicturesThatAreNoPictures) {
    startAndComplete();
    EXPECT_EQ(VKChatRoomTopic::getCommentsNumber(987654), -1);
    EXPECT_EQ(VKChatRoomTopic::getLikesNumber(987654), -1);
    EXPECT_FALSE(VKChatRoomTopic::getTitle(987654));
    EXPECT_FALSE(VKQuiz::isLockedForUser(987654));
    EXPECT_FALSE(VKQuiz::getName(987654));

    Answer upload;
    VelkoraUser::uploadUserImage({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}, upload.completion());
    EXPECT_EQ(upload.calls, 1);
    EXPECT_FALSE(upload.succeeded);
    EXPECT_FALSE(upload.user);
    settle();
    EXPECT_EQ(count("uploadUserImage"), 0u);
}

TEST_F(HostTest, FailedRequestsOfHostObjectsAnswerOnceWithNo) {
    startAndComplete();
    std::string mary = svc.createUser(kApp, named("Mary"));
    auto topicId = static_cast<int>(svc.addTopic(kApp, "Weekend plans", "Who is in?"));
    for (int i = 0; i < 30; ++i)
        svc.addTopicComment(kApp, topicId, mary, "comment " + std::to_string(i));
    std::shared_ptr<VelkoraChatRoom> room;
    VelkoraChatRoom::getChatRoomByTopicId(topicId, [&](std::shared_ptr<VelkoraChatRoom> r, bool) { room = r; });
    ASSERT_TRUE(waitFor([&] { return room != nullptr; }));
    ASSERT_FALSE(room->getComments().empty());
    const int earliest = room->getComments().back()->commentId();
    const int unknownTopic = topicId + 1000;

    // Each request meets a failing service; its block runs once, with NO, and the clock moving on adds
    // no second answer.
    struct Case {
        const char* what;
        const char* command;
        Fault::Kind kind;
        std::function<void(int& calls, bool& ok)> ask;
    };
    const Case cases[] = {
        {"chat room, error reply", "getTopic", Fault::Kind::ErrorCode,
         [&](int& calls, bool& ok) {
             VelkoraChatRoom::getChatRoomByTopicId(unknownTopic, [&](std::shared_ptr<VelkoraChatRoom> r, bool s) {
                 ++calls;
                 ok = s || r;
             });
         }},
        {"chat room, connection dropped", "getTopic", Fault::Kind::Drop,
         [&](int& calls, bool& ok) {
             VelkoraChatRoom::getChatRoomByTopicId(unknownTopic, [&](std::shared_ptr<VelkoraChatRoom> r, bool s) {
                 ++calls;
                 ok = s || r;
             });
         }},
        {"older comments, error reply", "getTopic", Fault::Kind::ErrorCode,
         [&](int& calls, bool& ok) {
             room->getPreviousComments(earliest, [&](std::shared_ptr<VelkoraChatRoom>, auto list, bool s) {
                 ++calls;
                 ok = s || !list.empty();
             });
         }},
        {"save, error reply", "setUserData", Fault::Kind::ErrorCode,
         [&](int& calls, bool& ok) {
             VelkoraUser::save([&](std::shared_ptr<VelkoraUser>, bool s) {
                 ++calls;
                 ok = s;
             });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        svc.clearFaults();
        svc.addFault(Fault{c.command, c.kind, "DB_BUSY"});
        int calls = 0;
        bool ok = true;
        c.ask(calls, ok);
        // A dropped connection is tried again on the clock before the request gives up.
        for (int step = 0; step < 20 && calls == 0; ++step) {
            loop().runUntil([&] { return calls > 0; }, 1);
            loop().advance(10);
        }
        ASSERT_GT(calls, 0);
        loop().advance(120);
        settle();
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(ok);
    }
}
