#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "SessionTestSupport.h"
#include "data/VelkoraStickerPack.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using velkora::foundation::Log;

namespace {

class UserInfoTest : public velkora::testing::SessionTest {
protected:
    VelkoraAgentInternal& agent() { return VelkoraAgentInternal::instance(); }
    void writeRecord(const VelkoraUserInfo& info, const std::string& name) {
        ASSERT_TRUE(foundation::KeyedArchiver::archiveRootObject(info, docPath(name)));
    }
};

TEST_F(UserInfoTest, FirstRunCreatesARecordWithTheAppIdAndSavesItUnderTheNewName) {
    Log::Capture log;
    agent().initUserInfo("A1");
    auto info = agent().getUserInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->appId(), "A1");
    EXPECT_FALSE(info->userId());
    EXPECT_FALSE(agent().velkoraUser());  // not built for a new record
    EXPECT_TRUE(log.contains("Velkora (W) - user file doesn't exist in new place. Looking in old place"));
    EXPECT_TRUE(log.contains("Velkora - Saving user file to new place"));
    EXPECT_TRUE(foundation::fileExists(docPath("persist_velkora_user_info.dat")));
    // once per process
    agent().initUserInfo("OTHER");
    EXPECT_EQ(agent().getUserInfo(), info);
}

TEST_F(UserInfoTest, OnlyTheOldFileIsReadThenWrittenUnderTheNewNameAndKept) {
    VelkoraUserInfo old;
    old.setAppId(std::string("A1"));
    old.setUserId(std::string("U9"));
    old.setDeviceId(std::string("D9"));
    old.setMessagesChangeNumber(12);
    writeRecord(old, "user_info.dat");
    {
        Log::Capture log;
        agent().initUserInfo("A1");
        EXPECT_TRUE(log.contains("Looking in old place"));
        EXPECT_TRUE(log.contains("Saving user file to new place"));
    }
    EXPECT_EQ(agent().getUserInfo()->messagesChangeNumber(), 12);
    ASSERT_TRUE(agent().velkoraUser());
    EXPECT_EQ(agent().velkoraUser()->userId(), "U9");
    EXPECT_TRUE(foundation::fileExists(docPath("user_info.dat")));
    EXPECT_TRUE(foundation::fileExists(docPath("persist_velkora_user_info.dat")));

    VelkoraAgentInternal::resetForTests();
    Log::Capture log;
    agent().initUserInfo("A1");
    EXPECT_FALSE(log.contains("Looking in old place"));
    EXPECT_EQ(agent().getUserInfo()->userId(), "U9");
}

TEST_F(UserInfoTest, EveryFieldRoundTrips) {
    VelkoraUserInfo r;
    r.setUserId(std::string("U1"));
    r.setDeviceId(std::string("D1"));
    r.setMessagesChangeNumber(1);
    r.setFeedChangeNumber(2);
    r.setLikesChangeNumber(3);
    r.setWelcomePopupWasDisplayed(true);
    r.setUsersLastViewedChangeNumbersMap(VelkoraUserInfo::ChangeNumbersMap{{"U2", 10}, {"U3", 14}});
    r.setUsersDeletedChangeNumbersMap(VelkoraUserInfo::ChangeNumbersMap{{"U2", 14}});
    r.setDeviceToken(std::string("dG9rZW4="));
    r.setIsPrivateMode(true);
    r.setFindYourFriendsWasDisplayed(true);
    r.setAppId(std::string("A1"));
    r.setLastViewedFeedMessageNumber(70);
    r.setLastViewedLikeNumber(71);
    r.setLastTimeVisitedShopping(1700000000.25);
    r.setTwitterId(4000000000LL);
    r.setTwitterName(std::string("tw name"));
    r.setTwitterPhoto(std::string("http://tw/p.png"));
    r.setTwitterLocation(std::string("Paris"));
    r.setTwitterAccountIdentifier(std::string("acct-1"));
    r.setFbId(5000000000LL);
    r.setFbFirstName(std::string("Ann"));
    r.setFbLastName(std::string("Lee"));
    r.setFbLocation(std::string("Rome"));
    r.setFbPhoto(std::string("http://fb/p.png"));
    r.setEmailId(std::string("a+b@x.org"));
    r.setEmailName(std::string("Ann E"));
    r.setEmailPhoto(std::string("http://e/p.png"));
    r.setUserInfoSource(2);
    r.setDontShowRadarOverlayView(true);
    r.setObjectsMeLiked(std::set<std::string>{"POST-A1,7", "COMMENT-A1,9"});
    r.setJoinedFeedSent(true);
    r.setMigratedTo220(true);
    r.setPlayQuizOnMute(true);
    auto recent = std::make_shared<VelkoraStickerPack>();
    recent->setPackId(-1);
    recent->setTitle(std::string("Recent"));
    auto sticker = std::make_shared<VelkoraSticker>();
    sticker->setStickerId(5);
    sticker->setUrl(std::string("http://s/5.png"));
    recent->mutableStickers().push_back(sticker);
    r.setStickerPacksMap(VelkoraUserInfo::StickerPacksMap{{-1, recent}});
    r.setNAdsShownInPeriod(4);
    r.setLastAdsPeriodResetTime(1700000100.5);
    r.setIsAppDealsDisabled(true);
    writeRecord(r, "persist_velkora_user_info.dat");

    agent().initUserInfo("A1");
    auto b = agent().getUserInfo();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->userId(), r.userId());
    EXPECT_EQ(b->deviceId(), r.deviceId());
    EXPECT_EQ(b->messagesChangeNumber(), 1);
    EXPECT_EQ(b->feedChangeNumber(), 2);
    EXPECT_EQ(b->likesChangeNumber(), 3);
    EXPECT_TRUE(b->welcomePopupWasDisplayed());
    EXPECT_EQ(b->usersLastViewedChangeNumbersMap(), r.usersLastViewedChangeNumbersMap());
    EXPECT_EQ(b->usersDeletedChangeNumbersMap(), r.usersDeletedChangeNumbersMap());
    EXPECT_EQ(b->deviceToken(), r.deviceToken());
    EXPECT_TRUE(b->isPrivateMode());
    EXPECT_TRUE(b->findYourFriendsWasDisplayed());
    EXPECT_EQ(b->appId(), "A1");
    EXPECT_EQ(b->lastViewedFeedMessageNumber(), 70);
    EXPECT_EQ(b->lastViewedLikeNumber(), 71);
    EXPECT_EQ(b->lastTimeVisitedShopping(), 1700000000.25);
    EXPECT_EQ(b->twitterId(), 4000000000LL);
    EXPECT_EQ(b->twitterName(), r.twitterName());
    EXPECT_EQ(b->twitterPhoto(), r.twitterPhoto());
    EXPECT_EQ(b->twitterLocation(), r.twitterLocation());
    EXPECT_EQ(b->twitterAccountIdentifier(), r.twitterAccountIdentifier());
    EXPECT_EQ(b->fbId(), 5000000000LL);
    EXPECT_EQ(b->fbFirstName(), r.fbFirstName());
    EXPECT_EQ(b->fbLastName(), r.fbLastName());
    EXPECT_EQ(b->fbLocation(), r.fbLocation());
    EXPECT_EQ(b->fbPhoto(), r.fbPhoto());
    EXPECT_EQ(b->emailId(), r.emailId());
    EXPECT_EQ(b->emailName(), r.emailName());
    EXPECT_EQ(b->emailPhoto(), r.emailPhoto());
    EXPECT_EQ(b->userInfoSource(), 2);
    EXPECT_TRUE(b->dontShowRadarOverlayView());
    EXPECT_EQ(b->objectsMeLiked(), r.objectsMeLiked());
    EXPECT_TRUE(b->joinedFeedSent());
    EXPECT_TRUE(b->migratedTo220());
    EXPECT_TRUE(b->playQuizOnMute());
    ASSERT_TRUE(b->stickerPacksMap());
    ASSERT_EQ(b->stickerPacksMap()->count(-1), 1u);
    auto pack = b->stickerPacksMap()->at(-1);
    EXPECT_EQ(pack->packId(), -1);
    EXPECT_EQ(pack->title(), "Recent");
    ASSERT_EQ(pack->stickers().size(), 1u);
    EXPECT_EQ(pack->stickers()[0]->stickerId(), 5);
    EXPECT_EQ(pack->stickers()[0]->url(), "http://s/5.png");
    EXPECT_EQ(b->nAdsShownInPeriod(), 4);
    EXPECT_EQ(b->lastAdsPeriodResetTime(), 1700000100.5);
    EXPECT_FALSE(b->isAppDealsDisabled());  // never archived
}

TEST_F(UserInfoTest, DecodeFixesAndTheCurrentUserBuiltFromTheRecord) {
    VelkoraUserInfo r;
    r.setUserId(std::string("U1"));
    r.setDeviceId(std::string(""));  // older records had none
    r.setFbId(1234);
    r.setFbFirstName(std::string("Ann"));
    r.setFbLastName(std::string("Lee"));
    r.setFbPhoto(std::string("http://ignored"));
    r.setFbLocation(std::string("Rome"));
    r.setUserInfoSource(1);
    writeRecord(r, "persist_velkora_user_info.dat");
    Log::Capture log;
    agent().initUserInfo("A7");
    auto info = agent().getUserInfo();
    EXPECT_EQ(info->deviceId(), "U1");
    EXPECT_EQ(info->appId(), "A7");
    EXPECT_TRUE(log.contains("Velkora (W) - userInfo.appId is nil, which means a user with old version"));
    auto user = agent().velkoraUser();
    ASSERT_TRUE(user);
    EXPECT_EQ(user->facebookId(), 1234);
    EXPECT_EQ(user->firstName(), "Ann");
    EXPECT_EQ(user->lastName(), "Lee");
    EXPECT_EQ(user->city(), "Rome");
    EXPECT_EQ(user->userPhotoUrl(), std::string(VelkoraUserInternal::kFacebookPhotoMarker));
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph,
                                        std::string("https://graph.facebook.com"));
    EXPECT_EQ(user->getSizedPhotoUrl(50, 60), "https://graph.facebook.com/1234/picture?width=50&height=60");
    services::OutsideEndpoints::reset();
}

TEST_F(UserInfoTest, ConnectionPredicatesAndSourcePriority) {
    struct Case {
        int64_t fb, tw;
        const char* email;
        bool onlyFb, onlyTw, onlyEmail;
        int source;
    } cases[] = {
        {0, 0, nullptr, true, true, true, 0},
        {5, 0, nullptr, true, false, false, 1},
        {5, 7, nullptr, false, false, false, 2},
        {0, 0, "a@b.cd", false, false, true, 3},
        {5, 0, "a@b.cd", false, false, false, 1},
    };
    for (const auto& c : cases) {
        VelkoraUserInfo r;
        r.setFbId(c.fb);
        r.setTwitterId(c.tw);
        if (c.email) r.setEmailId(std::string(c.email));
        EXPECT_EQ(r.isOnlyFacebookConnected(), c.onlyFb);
        EXPECT_EQ(r.isOnlyTwitterConnected(), c.onlyTw);
        EXPECT_EQ(r.isOnlyEmailConnected(), c.onlyEmail);
        r.resetUserInfoSource();
        EXPECT_EQ(r.userInfoSource(), c.source);
    }
}

TEST_F(UserInfoTest, ADamagedArchiveIsLoggedAndReplacedByAFreshRecord) {
    for (const char* damage : {"", "{\"archive\":\"velkora.keyed-archive\",\"version\":1,\"root\":{\"cla", "\x01\x02garbage"}) {
        VelkoraAgentInternal::resetForTests();
        ASSERT_TRUE(foundation::writeFileAtomically(docPath("persist_velkora_user_info.dat"), damage));
        Log::Capture log;
        agent().initUserInfo("A1");
        ASSERT_TRUE(agent().getUserInfo());
        EXPECT_EQ(agent().getUserInfo()->appId(), "A1");
        EXPECT_TRUE(log.contains("Velkora - Failed to get user..."));
        // The damaged file was replaced by the fresh record.
        VelkoraAgentInternal::resetForTests();
        agent().initUserInfo("A1");
        EXPECT_EQ(agent().getUserInfo()->appId(), "A1");
    }
}

TEST_F(UserInfoTest, AFailedWriteIsLoggedAndThePreviousFileStays) {
    agent().initUserInfo("A1");
    agent().getUserInfo()->setUserId(std::string("U1"));
    ASSERT_TRUE(agent().saveUserInfo());
    auto before = foundation::readFile(docPath("persist_velkora_user_info.dat"));
    ASSERT_TRUE(before);
    // Make the folder unwritable (as root, a read-only folder does not stop us: replace it by a file path).
    foundation::Paths::setDocuments(root_ + "/not-a-folder/Documents");
    ASSERT_TRUE(foundation::writeFileAtomically(root_ + "/not-a-folder", "x"));
    agent().getUserInfo()->setUserId(std::string("U2"));
    Log::Capture log;
    agent().saveUserInfo();
    // The record is written on the writer's thread; its failure is told on the main loop.
    foundation::waitForBackgroundWrites();
    foundation::RunLoop::main().runOnce(0);
    EXPECT_TRUE(log.contains("Velkora (E) - Failed to save user info: "));
    EXPECT_EQ(foundation::readFile(root_ + "/Documents/persist_velkora_user_info.dat"), before);
}

TEST_F(UserInfoTest, ResetTakesTheDeviceIdSavesEmptiesUsersAndPostsLast) {
    agent().initUserInfo("A1");
    auto info = agent().getUserInfo();
    info->setDeviceId(std::string("D1"));
    info->setUserId(std::string("U1"));
    std::vector<std::string> order;
    agent().setUserResetHandler([&](const std::optional<std::string>& id) {
        // The record is already saved with the new id when the server client hears of it.
        auto saved = std::dynamic_pointer_cast<VelkoraUserInfo>(
            foundation::KeyedUnarchiver::unarchiveObjectWithFile(docPath("persist_velkora_user_info.dat")));
        order.push_back("server:" + id.value_or("") + ":saved=" + (saved ? saved->userId().value_or("") : "none"));
    });
    foundation::NotificationObserver observer("VelkoraDidResetUser", nullptr,
                                              [&](const foundation::Notification&) { order.push_back("posted"); });
    agent().resetUserInfoWithUserId(std::nullopt);
    EXPECT_EQ(info->userId(), "D1");
    EXPECT_EQ(order, (std::vector<std::string>{"server:D1:saved=D1", "posted"}));
}

TEST_F(UserInfoTest, AKilledSaveLeavesTheOldRecordOrTheNewOneWhole) {
    agent().initUserInfo("A1");
    agent().getUserInfo()->setUserId(std::string("OLD"));
    ASSERT_TRUE(agent().saveUserInfo());
    for (int attempt = 0; attempt < 5; ++attempt) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        // A fork copies only the forking thread: the writer must not be mid-way through the allocator.
        foundation::waitForBackgroundWrites();
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            auto info = VelkoraAgentInternal::instance().getUserInfo();
            std::set<std::string> liked;
            for (int i = 0; i < 20000; ++i) liked.insert("POST-A1," + std::to_string(i));
            info->setObjectsMeLiked(liked);
            for (int i = 0;; ++i) {
                info->setUserId(std::string(i % 2 ? "NEW1" : "NEW2"));
                VelkoraAgentInternal::instance().saveUserInfo();
                // From the first whole save on, the child only ever saves; killing it lands mid-write.
                if (i == attempt) [[maybe_unused]] auto n = write(ready[1], "x", 1);
            }
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        foundation::ErrorPtr error;
        auto back = std::dynamic_pointer_cast<VelkoraUserInfo>(
            foundation::KeyedUnarchiver::unarchiveObjectWithFile(docPath("persist_velkora_user_info.dat"), &error));
        ASSERT_TRUE(back) << (error ? error->description() : "");
        std::string id = back->userId().value_or("");
        EXPECT_TRUE(id == "OLD" || id == "NEW1" || id == "NEW2") << id;
        if (id != "OLD") {
            ASSERT_TRUE(back->objectsMeLiked());
            EXPECT_EQ(back->objectsMeLiked()->size(), 20000u);
        }
    }
}

}  // namespace
