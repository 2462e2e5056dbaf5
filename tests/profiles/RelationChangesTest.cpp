// Changes of the relation to one user travel one at a time: they reach the service in the order asked,
// a repeat of the change on its way is dropped, and a failure leaves the true state for screens to draw.
#include "ProfilesFixture.h"
#include "data/VelkoraUsersRepository.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class RelationChangesTest : public ProfilesTest {
protected:
    void SetUp() override {
        ProfilesTest::SetUp();
        startSignedIn();
        otherId_ = svc.createUser(kApp, {});
        other_ = VelkoraUsersRepository::instance().userWithId(otherId_);
        other_->setUserId(otherId_);
        other_->setAppId(std::string(kApp));
        observer_ = foundation::NotificationObserver("VelkoraChangedFollowingNotification", nullptr,
                                                     [this](const foundation::Notification&) { ++told_; });
    }
    std::vector<std::string> commandsSent() const {
        std::vector<std::string> out;
        for (const auto& r : svc.requests())
            if (r.command == "favoriteAdd" || r.command == "favoriteRemove" || r.command == "setUserRelation")
                out.push_back(r.command +
                              (r.command == "setUserRelation" ? ":" + param(r, "type") + param(r, "value") : ""));
        return out;
    }
    std::string otherId_;
    VelkoraUserPtr other_;
    int told_ = 0;
    foundation::NotificationObserver observer_;
};

TEST_F(RelationChangesTest, FollowThenUnfollowArriveInOrderAndARepeatInFlightIsDropped) {
    svc.clearRequests();
    VelkoraServerApi::addFollowing(other_);
    VelkoraServerApi::addFollowing(other_);
    VelkoraServerApi::removeFollowing(other_);
    VelkoraServerApi::blockUser(other_, true);
    ASSERT_TRUE(waitFor([&] { return commandsSent().size() == 3 && told_ == 2; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(commandsSent(), (std::vector<std::string>{"favoriteAdd", "favoriteRemove", "setUserRelation:b1"}));
    const auto sent = svc.requests();
    EXPECT_FALSE(svc.isFollowing(kApp, me_, otherId_)) << "the service ends as the user last asked";
    EXPECT_FALSE(other_->isFavorite());
    EXPECT_EQ(svc.relation(kApp, me_, otherId_, "b"), std::optional<bool>(true));
}

TEST_F(RelationChangesTest, AFailedFollowTellsTheScreensAndChangesNothing) {
    const int followersBefore = other_->numFollowers();
    const int followingBefore = VelkoraAgentInternal::instance().velkoraUser()->numFollowing();
    for (auto kind : {service::Fault::Kind::ErrorCode, service::Fault::Kind::Drop, service::Fault::Kind::NotJson}) {
        SCOPED_TRACE(static_cast<int>(kind));
        svc.clearFaults();
        svc.addFault({"favoriteAdd", kind, "INTERNAL_ERROR", 500, 0, -1});
        told_ = 0;
        VelkoraServerApi::addFollowing(other_);
        ASSERT_TRUE(waitAdvancing([&] { return told_ == 1; }));
        ASSERT_TRUE(settle());
        EXPECT_FALSE(other_->isFavorite());
        EXPECT_EQ(other_->numFollowers(), followersBefore);
        EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->numFollowing(), followingBefore);
        EXPECT_FALSE(svc.isFollowing(kApp, me_, otherId_));
    }
    // Once the service answers again the same follow goes out: nothing is stuck.
    svc.clearFaults();
    VelkoraServerApi::addFollowing(other_);
    ASSERT_TRUE(waitFor([&] { return other_->isFavorite(); }));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, otherId_));
}

TEST_F(RelationChangesTest, AFailedBlockOrReportPutsTheFlagBack) {
    svc.addFault({"setUserRelation", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 2});
    other_->setIsBlockedByCurrentUser(true);
    VelkoraServerApi::blockUser(other_, true);
    other_->setIsReportedByCurrentUser(true);
    VelkoraServerApi::reportUser(other_, true);
    ASSERT_TRUE(waitFor([&] { return !other_->isBlockedByCurrentUser() && !other_->isReportedByCurrentUser(); }));
    EXPECT_TRUE(logged("Velkora (E) - setUserRelation for"));
    EXPECT_EQ(svc.relation(kApp, me_, otherId_, "b"), std::nullopt);
}

} // namespace
