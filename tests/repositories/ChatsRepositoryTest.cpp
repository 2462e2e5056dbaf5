// The inbox cache against velkora-service's poll: conversations made and grown by what a poll brings,
// the unread arithmetic against the viewed and deleted marks, and the order of the list.
#include <algorithm>
#include <limits>
#include <map>
#include <random>

#include "RepositoriesFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

std::vector<int32_t> idsOf(const VelkoraChat& chat) {
    std::vector<int32_t> ids;
    for (const auto& m : chat.messages())
        ids.push_back(m->messageId());
    return ids;
}

std::vector<std::string> usersOf(const std::vector<VelkoraChatPtr>& chats) {
    std::vector<std::string> ids;
    for (const auto& c : chats)
        ids.push_back(*c->user()->userId());
    return ids;
}

} // namespace

class ChatsRepositoryTest : public RepositoriesTest {
protected:
    // The repository with the service's list: from here on every poll hands it the private messages.
    VelkoraChatsRepository& loaded() {
        auto& repo = VelkoraChatsRepository::instance();
        EXPECT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
        // The poll made on becoming the delegate.
        EXPECT_TRUE(waitForRequests("update", 2));
        return repo;
    }
};

TEST_F(ChatsRepositoryTest, TwoMessagesFromANewSenderMakeOneChatAndAnEmptyPollPostsOnlyNewUsers) {
    startNewUser();
    Posted posted(VelkoraChatsRepository::kNewMessagesNotification);
    auto& repo = loaded();
    // The poll made on becoming the delegate brought nothing.
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted.last(), Value(foundation::Dictionary{{"newUsers", 0}}));

    std::string other = svc.createUser(kApp);
    int64_t first = svc.sendMessage(kApp, other, me(), "one");
    int64_t second = svc.sendMessage(kApp, other, me(), "two");
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(posted.size(), 2u);
    const Value& info = posted.last();
    EXPECT_EQ(info["newUsers"], Value(1));
    EXPECT_EQ(info["messages"].size(), 2u);
    ASSERT_EQ(info["users"].size(), 1u);
    EXPECT_EQ(info["users"].at(0).asObject<VelkoraUserInternal>()->userId(), other);
    ASSERT_EQ(repo.chats().size(), 1u);
    const auto& chat = *repo.chats()[0];
    EXPECT_EQ(idsOf(chat), (std::vector<int32_t>{int32_t(second), int32_t(first)}));
    EXPECT_EQ(chat.numMessages(), 2);
    EXPECT_EQ(repo.userToChats().at(other).get(), &chat);
    EXPECT_EQ(repo.numNewMessageThreads(), 1);

    // A third message grows the same conversation and makes no new one.
    svc.sendMessage(kApp, other, me(), "three");
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(posted.last()["newUsers"], Value(0));
    EXPECT_EQ(repo.chats().size(), 1u);
    EXPECT_EQ(chat.numMessages(), 3);
}

TEST_F(ChatsRepositoryTest, UnreadIsAnIdDifferenceAndADeletedChatReturnsWithANewerMessageFromEitherSide) {
    startNewUser();
    auto& repo = loaded();
    Posted viewed(VelkoraChatsRepository::kMessagesViewedNotification);
    std::string other = svc.createUser(kApp);

    ASSERT_EQ(sendWithId(other, 10), 10);
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(repo.numNewMessageFromUser(other), 10);
    repo.setChatWasViewed(other);
    EXPECT_EQ(repo.numNewMessageFromUser(other), 0);
    EXPECT_FALSE(repo.isAnyNewMessage());
    ASSERT_EQ(viewed.size(), 1u);
    EXPECT_EQ(viewed.last()["user"], Value(other));

    ASSERT_EQ(sendWithId(other, 14), 14);
    ASSERT_TRUE(pollNow());
    // 14 - 10: ids, not a count of messages.
    EXPECT_EQ(repo.numNewMessageFromUser(other), 4);
    EXPECT_TRUE(repo.isNewMessageFromUser(other));
    EXPECT_EQ(repo.numNewMessageThreads(), 1);
    EXPECT_FALSE(repo.isAnyNewMessageExcept(other));

    // The marks are kept in the local user record.
    repo.setChatWasDeleted(other);
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    EXPECT_EQ(info->usersDeletedChangeNumbersMap()->at(other), 14);
    EXPECT_EQ(info->usersLastViewedChangeNumbersMap()->at(other), 10);
    EXPECT_EQ(viewed.size(), 1u); // deleting posts nothing
    EXPECT_TRUE(repo.getActiveChats().empty());
    EXPECT_EQ(repo.numNewMessageFromUser(other), 0);

    // A message the user writes brings the conversation back, even before the service numbers it, and
    // what was read stays read.
    auto mine = message(0, user(me()), user(other), loop().now());
    repo.addSentMessage(mine);
    ASSERT_EQ(repo.getActiveChats().size(), 1u);
    EXPECT_EQ(repo.userToChats().at(other)->messages().front(), mine);
    EXPECT_EQ(repo.numNewMessageFromUser(other), 0);
    EXPECT_FALSE(info->usersDeletedChangeNumbersMap()->count(other));
    EXPECT_EQ(info->usersLastViewedChangeNumbersMap()->at(other), 14);

    // Deleted again, a newer message from the other user brings it back, counted from the deletion.
    repo.setChatWasDeleted(other);
    EXPECT_TRUE(repo.getActiveChats().empty());
    ASSERT_GE(sendWithId(other, 16), 16);
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(repo.getActiveChats().size(), 1u);
    EXPECT_EQ(repo.getActiveChats()[0]->user()->userId(), other);
    EXPECT_GT(repo.numNewMessageFromUser(other), 0);

    // A list whose newest message is the user's own (written on another device) shows it too.
    repo.setChatWasDeleted(other);
    const int32_t hidden = info->usersDeletedChangeNumbersMap()->at(other);
    auto chat = std::make_shared<VelkoraChat>();
    chat->setUser(user(other));
    chat->mutableMessages().push_back(message(hidden + 5, user(me()), user(other), loop().now()));
    chat->mutableMessages().push_back(message(hidden, user(other), user(me()), loop().now() - 1));
    repo.gotChats({chat});
    EXPECT_EQ(repo.getActiveChats().size(), 1u);
    EXPECT_EQ(repo.numNewMessageFromUser(other), 0);
}

TEST_F(ChatsRepositoryTest, PollReordersByNewestMessageAndHandsTheMessagesOn) {
    startNewUser();
    auto& repo = loaded();
    auto a = user("a"), b = user("b"), c = user("c");
    auto chatOf = [&](const VelkoraUserPtr& u, int32_t id, double time) {
        auto chat = std::make_shared<VelkoraChat>();
        chat->setUser(u);
        chat->mutableMessages().push_back(message(id, u, user(me()), time));
        chat->setNumMessages(1);
        return chat;
    };
    // The list keeps the service's order until a poll is merged.
    repo.gotChats({chatOf(a, 1, 100), chatOf(b, 2, 300), chatOf(c, 3, 200)});
    EXPECT_EQ(usersOf(repo.chats()), (std::vector<std::string>{"a", "b", "c"}));

    auto screen = std::make_shared<VelkoraMessagesDelegate>();
    std::vector<std::optional<std::vector<VelkoraMessagePtr>>> handed;
    screen->gotMessages = [&](const auto& m) { handed.push_back(m); };
    repo.setMessagesDelegate(screen);
    ASSERT_TRUE(waitForRequests("update", 2)); // the poll made on becoming the delegate
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_FALSE(handed[0]);
    EXPECT_EQ(usersOf(repo.chats()), (std::vector<std::string>{"b", "c", "a"}));

    auto fresh = message(4, a, user(me()), 400);
    repo.gotMessages(std::vector<VelkoraMessagePtr>{fresh});
    EXPECT_EQ(usersOf(repo.chats()), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[1]->front(), fresh);

    // A message the user sends to someone new opens a conversation with one message.
    auto sent = message(5, user(me()), user("d"), 500);
    repo.addSentMessage(sent);
    EXPECT_EQ(usersOf(repo.chats()).front(), "d");
    EXPECT_EQ(repo.userToChats().at("d")->numMessages(), 1);
    // ...whose unread count is 0: only the other user's messages count.
    EXPECT_EQ(repo.numNewMessageFromUser("d"), 0);
}

TEST_F(ChatsRepositoryTest, ListTellsWhetherItHoldsAnythingNewerThanTheStoredMark) {
    startNewUser();
    loaded();
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    struct Case {
        int32_t stored;
        bool expected;
    } cases[] = {{7, false}, {6, true}, {8, false}};
    for (const Case& c : cases) {
        info->setMessagesChangeNumber(c.stored);
        Posted got(VelkoraChatsRepository::kGotChatsNotification);
        auto chat = std::make_shared<VelkoraChat>();
        chat->setUser(user("x"));
        chat->mutableMessages() = {message(7, user("x"), user(me()), 1), message(9, user(me()), user("x"), 2)};
        VelkoraChatsRepository::instance().gotChats({chat});
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got.last()["newMessages"], Value(c.expected)) << "stored " << c.stored;
        EXPECT_EQ(got.last()["users"].size(), 1u);
        // The highest id the other user wrote becomes the poll's cursor.
        EXPECT_EQ(agent().lastChangeNumber(), 7);
        EXPECT_TRUE(VelkoraChatsRepository::instance().didFinishLoading());
    }
    EXPECT_TRUE(settle());
}

TEST_F(ChatsRepositoryTest, MessageIsNewOnlyWhenAboveBothMarks) {
    startNewUser();
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    auto& repo = VelkoraChatsRepository::instance();
    // No marks at all: everything is new.
    EXPECT_TRUE(repo.isMessaegeNew("x", 1));
    info->setUsersLastViewedChangeNumbersMap(VelkoraUserInfo::ChangeNumbersMap{{"x", 10}});
    info->setUsersDeletedChangeNumbersMap(VelkoraUserInfo::ChangeNumbersMap{{"x", 14}});
    struct Case {
        int32_t id;
        bool isNew;
    } cases[] = {{9, false}, {10, false}, {14, false}, {15, true}};
    for (const Case& c : cases)
        EXPECT_EQ(repo.isMessaegeNew("x", c.id), c.isNew) << c.id;
    // A user without a conversation has nothing new and gets a mark of 0.
    EXPECT_EQ(repo.numNewMessageFromUser("nobody"), 0);
    repo.setChatWasViewed("nobody");
    EXPECT_EQ(info->usersLastViewedChangeNumbersMap()->at("nobody"), 0);
}

TEST_F(ChatsRepositoryTest, AsksForTheListWhenMadeAndTakesThePollsMessagesOnlyOnceItArrives) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    int64_t waiting = svc.sendMessage(kApp, other, me(), "waiting");
    Posted got(VelkoraChatsRepository::kGotChatsNotification);
    auto& repo = VelkoraChatsRepository::instance();
    EXPECT_FALSE(repo.didFinishLoading());
    EXPECT_FALSE(agent().messagesDelegate());
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getChats"), 1u);
    EXPECT_EQ(agent().messagesDelegate().get(), &repo);
    ASSERT_EQ(repo.chats().size(), 1u);
    EXPECT_EQ(repo.chats()[0]->user()->userId(), other);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.last()["newMessages"], Value(true));
    EXPECT_EQ(agent().lastChangeNumber(), waiting);
    // Polls before the list asked for no messages; the one made on becoming the delegate does.
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(param(svc.requestsFor("update")[0], "wantMessages"), "0");
    EXPECT_EQ(param(svc.requestsFor("update")[1], "wantMessages"), "1");
    EXPECT_EQ(param(svc.requestsFor("update")[1], "changeNumber"), std::to_string(waiting));
}

TEST_F(ChatsRepositoryTest, FailedListIsAskedForAgainFifteenSecondsLaterUntilItArrives) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    svc.sendMessage(kApp, other, me(), "waiting");
    svc.addFault(service::Fault{"getChats", service::Fault::Kind::ErrorCode, "SERVER_ERROR", 500, 0, 1});
    svc.addFault(service::Fault{"getChats", service::Fault::Kind::HttpStatus, "", 503, 0, 1});
    Posted got(VelkoraChatsRepository::kGotChatsNotification);
    auto& repo = VelkoraChatsRepository::instance();
    for (size_t failed = 1; failed <= 2; ++failed) {
        ASSERT_TRUE(waitForRequests("getChats", failed));
        // Until the list arrives the repository is empty and the poll brings no messages.
        EXPECT_FALSE(repo.didFinishLoading());
        EXPECT_TRUE(repo.chats().empty());
        EXPECT_FALSE(agent().messagesDelegate());
        loop().advance(VelkoraChatsRepository::kChatsRetryInterval - 0.5);
        EXPECT_TRUE(settle());
        EXPECT_EQ(count("getChats"), failed);
        loop().advance(0.5);
    }
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getChats"), 3u);
    ASSERT_EQ(repo.chats().size(), 1u);
    EXPECT_EQ(repo.chats()[0]->user()->userId(), other);
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(agent().messagesDelegate().get(), &repo);
    // Once loaded, nothing asks for the list again.
    loop().advance(VelkoraChatsRepository::kChatsRetryInterval * 2);
    EXPECT_TRUE(settle());
    EXPECT_EQ(count("getChats"), 3u);
}

TEST_F(ChatsRepositoryTest, ResetForgetsTheListAndLoadsItAgain) {
    startNewUser();
    auto& repo = loaded();
    std::string other = svc.createUser(kApp);
    svc.sendMessage(kApp, other, me(), "hello");
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(repo.chats().size(), 1u);
    repo.reset();
    EXPECT_TRUE(repo.chats().empty());
    EXPECT_TRUE(repo.userToChats().empty());
    EXPECT_FALSE(repo.didFinishLoading());
    EXPECT_EQ(agent().lastChangeNumber(), 0);
    EXPECT_FALSE(agent().messagesDelegate());
    // The list is asked for again and comes back with the conversation.
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getChats"), 2u);
    ASSERT_EQ(repo.chats().size(), 1u);
    EXPECT_EQ(repo.userToChats().count(other), 1u);
    EXPECT_EQ(agent().messagesDelegate().get(), &repo);
    EXPECT_TRUE(settle());
}

// Random loads, polls and sent messages, with tied and missing times and messages older than the list,
// checked after each step against the plain rule: newest first message first, of equal times the one
// touched last, and the service's order for ties until the list is first re-sorted.
TEST_F(ChatsRepositoryTest, OrderAfterAnySequenceOfMergesIsTheSortedOrderOfTheTouches) {
    startNewUser();
    auto& repo = loaded();
    std::mt19937 random(11);
    const std::vector<std::optional<double>> times{std::nullopt, 100.0, 200.0, 200.0, 300.0, 400.0, 500.0};
    auto anyTime = [&] { return times[random() % times.size()]; };
    auto dated = [](const std::optional<double>& t) { return t ? *t : -std::numeric_limits<double>::infinity(); };
    int32_t nextId = 1;

    for (int round = 0; round < 20; ++round) {
        // The model: the users in list order, the time of each one's newest message, and whether the
        // list waits to be re-sorted.
        std::vector<std::string> order;
        std::map<std::string, std::optional<double>> newest;
        bool stale = false;
        std::vector<VelkoraChatPtr> list;
        const int listed = static_cast<int>(random() % 12);
        for (int i = 0; i < listed; ++i) {
            std::string id = "r" + std::to_string(round) + "u" + std::to_string(i);
            auto chat = std::make_shared<VelkoraChat>();
            chat->setUser(user(id));
            auto m = message(nextId++, chat->user(), user(me()), 0);
            m->setTime(anyTime());
            chat->mutableMessages().push_back(m);
            list.push_back(chat);
            order.push_back(id);
            newest[id] = m->time();
        }
        repo.gotChats(list);
        for (int step = 0; step < 40; ++step) {
            const int kind = static_cast<int>(random() % 4);
            std::vector<VelkoraMessagePtr> poll;
            const int count = kind == 3 ? 0 : static_cast<int>(random() % 4) + 1;
            for (int i = 0; i < count; ++i) {
                std::string id = std::string("r")
                                     .append(std::to_string(round))
                                     .append("u")
                                     .append(std::to_string(random() % (listed + 4)));
                auto m =
                    kind == 2 ? message(nextId++, user(me()), user(id), 0) : message(nextId++, user(id), user(me()), 0);
                m->setTime(anyTime());
                order.erase(std::remove(order.begin(), order.end(), id), order.end());
                order.insert(order.begin(), id);
                newest[id] = m->time();
                if (kind == 2)
                    repo.addSentMessage(m);
                else
                    poll.push_back(m);
            }
            stale = true;
            if (kind != 2) repo.gotMessages(poll);
            if (random() % 3 == 0) continue; // several merges before the next read
            if (stale)
                std::stable_sort(order.begin(), order.end(),
                                 [&](const auto& a, const auto& b) { return dated(newest[a]) > dated(newest[b]); });
            stale = false;
            ASSERT_EQ(usersOf(repo.chats()), order) << "round " << round << " step " << step;
            ASSERT_EQ(repo.userToChats().size(), order.size());
        }
    }
}

// Polls that nobody reads between: the list still comes out in order after thousands of them.
TEST_F(ChatsRepositoryTest, ManyPollsWithoutAReadKeepTheOrder) {
    startNewUser();
    auto& repo = loaded();
    repo.gotChats(std::vector<VelkoraChatPtr>{});
    const std::vector<std::string> users{"a", "b", "c", "d", "e"};
    int32_t id = 1;
    for (int i = 0; i < 3000; ++i) {
        // "c" ends newest; the others' last messages are in the order of their ids.
        const std::string& who = i == 2999 ? users[2] : users[(i * 7) % users.size()];
        repo.gotMessages(std::vector<VelkoraMessagePtr>{message(id, user(who), user(me()), 1000.0 + id)});
        ++id;
    }
    const std::vector<std::string> listed = usersOf(repo.chats());
    ASSERT_EQ(listed.size(), users.size());
    EXPECT_EQ(listed.front(), "c");
    for (size_t i = 1; i < repo.chats().size(); ++i)
        EXPECT_GT(*repo.chats()[i - 1]->messages().front()->time(), *repo.chats()[i]->messages().front()->time());
    EXPECT_EQ(repo.userToChats().at("c")->numMessages(), 601); // every fifth message, and the last
}
