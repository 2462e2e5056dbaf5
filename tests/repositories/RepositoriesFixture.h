// A fresh kit, fresh repositories and a fresh velkora-service for each test, plus what the repository
// tests share: a recorder of notifications and small builders of model objects.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraQuizzesRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "server/ServerClientFixture.h"

namespace velkora::testing {

// Every notification of one name, in order.
class Posted {
public:
    explicit Posted(const std::string& name)
        : observer_(name, nullptr, [this](const foundation::Notification& n) { seen.push_back(n); }) {}
    std::vector<foundation::Notification> seen;
    const foundation::Value& last() const { return seen.back().userInfo; }
    size_t size() const { return seen.size(); }

private:
    foundation::NotificationObserver observer_;
};

class RepositoriesTest : public ServerClientTest {
protected:
    void SetUp() override {
        resetRepositories();
        ServerClientTest::SetUp();
    }
    void TearDown() override {
        ServerClientTest::TearDown();
        resetRepositories();
    }
    static void resetRepositories() {
        VelkoraChatsRepository::resetForTests();
        VelkoraFeedMessagesRepository::resetForTests();
        VelkoraChatRoomsTopicsRepository::resetForTests();
        VelkoraQuizzesRepository::resetForTests();
        VelkoraUsersRepository::instance().reset();
    }
    // The repository once its list has arrived and the poll made on becoming the poll's delegate is back.
    template <class Repository> Repository& loaded() {
        auto& repo = Repository::instance();
        EXPECT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
        EXPECT_TRUE(settle());
        return repo;
    }
    std::string me() const { return *VelkoraServerClientAgent::instance().userId(); }
    // Polls once now and waits until its reply has been handled.
    bool pollNow() {
        const size_t before = count("update");
        VelkoraServerApi::updateNow();
        return waitForRequests("update", before + 1);
    }
    // A message from the other user to the signed-in one whose id is exactly `id`: the service numbers
    // every message from one counter, so messages between two bystanders fill the gap.
    int64_t sendWithId(const std::string& from, int64_t id, const std::string& text = "hi") {
        if (bystanderA_.empty()) {
            bystanderA_ = svc.createUser(kApp);
            bystanderB_ = svc.createUser(kApp);
        }
        int64_t last = svc.sendMessage(kApp, bystanderA_, bystanderB_, "filler");
        while (last + 1 < id)
            last = svc.sendMessage(kApp, bystanderA_, bystanderB_, "filler");
        return svc.sendMessage(kApp, from, me(), text);
    }

    static VelkoraUserPtr user(const std::string& id) {
        auto u = VelkoraUsersRepository::instance().userWithId(id);
        u->setUserId(id);
        return u;
    }
    static VelkoraMessagePtr message(int32_t id, const VelkoraUserPtr& sender, const VelkoraUserPtr& otherUser,
                                     double time) {
        auto m = std::make_shared<VelkoraMessageInternal>();
        m->setMessageId(id);
        m->setSender(sender);
        m->setOtherUser(otherUser);
        m->setTime(time);
        return m;
    }
    static VelkoraFeedMessagePtr feedItem(int32_t id, int32_t resendId = 0) {
        auto f = std::make_shared<VelkoraFeedMessage>();
        f->setMessageId(id);
        f->setResendId(resendId ? resendId : id);
        return f;
    }
    static VelkoraLikeObjectPtr likeObject(int32_t objectId, int32_t changeNumber = 0) {
        auto l = std::make_shared<VelkoraLikeObject>();
        l->setObjectId(objectId);
        l->setChangeNumber(changeNumber);
        return l;
    }

private:
    std::string bystanderA_, bystanderB_;
};

} // namespace velkora::testing
