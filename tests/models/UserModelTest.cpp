#include <gtest/gtest.h>

#include "ModelsTestSupport.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

namespace {

class UserModelTest : public ::testing::Test {
protected:
    void SetUp() override { VelkoraUsersRepository::instance().reset(); }
};

}  // namespace

TEST_F(UserModelTest, NullOrMissingUserIdLogsTheEntryAndGivesNothing) {
    foundation::Log::Capture log;
    EXPECT_EQ(parseUser(json(R"({"userId": null, "firstName": "Ann"})")), nullptr);
    EXPECT_TRUE(log.contains("Velkora - parse user failed. uId is nil. "));
    EXPECT_TRUE(log.contains("Ann"));
    EXPECT_EQ(parseUser(json(R"({"firstName": "Ann"})")), nullptr);
    // An id of the wrong type is no id.
    EXPECT_EQ(parseUser(json(R"({"userId": 17})")), nullptr);
    EXPECT_EQ(parseUser(json(R"("u1")")), nullptr);
    EXPECT_EQ(log.count("uId is nil"), 4u);
    EXPECT_TRUE(VelkoraUsersRepository::instance().users().empty());
}

TEST_F(UserModelTest, EveryFieldIsReadFromItsKey) {
    auto u = parseUser(json(R"({
        "userId": "u1", "appId": "A", "firstName": "Ann", "lastName": "Lee", "photoUrl": "http://p/1.jpg",
        "email": "a@b.co", "city": "Oslo", "state": "S", "country": "NO", "zipcode": "0150",
        "followers": 3, "following": "4", "feeds": 5, "customString1": "bio", "customString2": "c2",
        "customString3": "c3", "facebookId": 12345678901234, "twitterId": "987",
        "customFloat1": 1.5, "customFloat3": "2.25", "age": 31, "gender": "f", "data": "d",
        "location": {"longitude": 10.75, "latitude": 59.91, "distance": 1200},
        "isBlocked": true, "isReported": 1, "isFavorite": false, "score": 40, "coins": 7,
        "stickerPackIds": [1, "2", "x", 3]})"));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->userId(), "u1");
    EXPECT_EQ(u->appId(), "A");
    EXPECT_EQ(u->firstName(), "Ann");
    EXPECT_EQ(u->lastName(), "Lee");
    EXPECT_EQ(u->userPhotoUrl(), "http://p/1.jpg");
    EXPECT_EQ(u->email(), "a@b.co");
    EXPECT_EQ(u->city(), "Oslo");
    EXPECT_EQ(u->state(), "S");
    EXPECT_EQ(u->country(), "NO");
    EXPECT_EQ(u->zipcode(), "0150");
    EXPECT_EQ(u->numFollowers(), 3);
    EXPECT_EQ(u->numFollowing(), 4);
    EXPECT_EQ(u->numFeeds(), 5);
    EXPECT_EQ(u->customString1(), "bio");
    EXPECT_EQ(u->customString3(), "c3");
    EXPECT_EQ(u->facebookId(), 12345678901234);
    EXPECT_EQ(u->twitterId(), 987);
    EXPECT_TRUE(u->isCustomFloat1Set());
    EXPECT_DOUBLE_EQ(u->customFloat1(), 1.5);
    EXPECT_FALSE(u->isCustomFloat2Set());
    EXPECT_TRUE(u->isCustomFloat3Set());
    EXPECT_DOUBLE_EQ(u->customFloat3(), 2.25);
    EXPECT_TRUE(u->isAgeSet());
    EXPECT_EQ(u->age(), 31);
    EXPECT_EQ(u->gender(), "f");
    EXPECT_EQ(u->data(), "d");
    ASSERT_NE(u->location(), nullptr);
    EXPECT_DOUBLE_EQ(u->location()->longitude(), 10.75);
    EXPECT_DOUBLE_EQ(u->location()->latitude(), 59.91);
    EXPECT_DOUBLE_EQ(u->location()->distance(), 1200);
    EXPECT_TRUE(u->isBlockedByCurrentUser());
    EXPECT_TRUE(u->isReportedByCurrentUser());
    EXPECT_TRUE(u->isFavorite());
    EXPECT_EQ(u->score(), 40);
    EXPECT_EQ(u->coins(), 7);
    EXPECT_EQ(u->stickerPackIds(), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(UserModelTest, OneIdIsOneObjectUpdatedInPlace) {
    auto first = parseUser(json(R"({"userId": "u1", "firstName": "Ann", "lastName": "Lee", "score": 25,
                                    "coins": 9, "isFavorite": true, "age": 30, "location": {"longitude": 1}})"));
    auto second = parseUser(json(R"({"userId": "u1", "firstName": "Anna", "score": 10, "coins": 12})"));
    ASSERT_EQ(first, second);
    EXPECT_EQ(first->firstName(), "Anna");
    EXPECT_EQ(first->lastName(), std::nullopt);  // a name key missing from a reply clears the name
    EXPECT_EQ(first->score(), 25);               // scores and coins only grow
    EXPECT_EQ(first->coins(), 12);
    EXPECT_TRUE(first->isFavorite());            // absent: the follow mark stays
    EXPECT_TRUE(first->isAgeSet());              // absent: the age stays
    EXPECT_EQ(first->age(), 30);
    ASSERT_NE(first->location(), nullptr);       // absent: the location stays
    EXPECT_DOUBLE_EQ(first->location()->longitude(), 1);
    EXPECT_EQ(VelkoraUsersRepository::instance().userWithId("u1"), first);
}

TEST_F(UserModelTest, ReferenceEntriesOnlyPointAtKnownUsers) {
    auto known = parseUser(json(R"({"userId": "u1", "firstName": "Ann"})"));
    auto ref = parseUser(json(R"({"userId": "u1", "isIdentifier": true, "firstName": "Other"})"));
    EXPECT_EQ(ref, known);
    EXPECT_EQ(known->firstName(), "Ann");
    // Not seen before: parsed like any other entry.
    auto fresh = parseUser(json(R"({"userId": "u2", "isIdentifier": true, "firstName": "Bo"})"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->userId(), "u2");
    EXPECT_EQ(fresh->firstName(), "Bo");
}

TEST_F(UserModelTest, WrongJsonTypesReadAsAbsent) {
    auto u = parseUser(json(R"({"userId": "u1", "firstName": 12, "lastName": ["x"], "followers": {"a": 1},
                               "facebookId": [1], "age": null, "customFloat1": "abc", "location": "here",
                               "isFavorite": null, "score": "lots", "stickerPackIds": "1,2"})"));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->firstName(), std::nullopt);
    EXPECT_EQ(u->lastName(), std::nullopt);
    EXPECT_EQ(u->numFollowers(), 0);
    EXPECT_EQ(u->facebookId(), 0);
    EXPECT_FALSE(u->isAgeSet());
    EXPECT_FALSE(u->isCustomFloat1Set());
    EXPECT_EQ(u->location(), nullptr);
    EXPECT_FALSE(u->isFavorite());
    EXPECT_EQ(u->score(), 0);
    EXPECT_TRUE(u->stickerPackIds().empty());
}

TEST_F(UserModelTest, NewUserFromTheMapHasNoIdUntilParsed) {
    auto& repo = VelkoraUsersRepository::instance();
    auto u = repo.userWithId("u9");
    EXPECT_EQ(u->userId(), std::nullopt);
    EXPECT_EQ(repo.userWithId("u9"), u);
    repo.reset();
    EXPECT_NE(repo.userWithId("u9"), u);
}

TEST_F(UserModelTest, SizedPhotoAddresses) {
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph,
                                        std::string("https://graph.facebook.com"));
    struct Case {
        const char* photo;
        int64_t facebookId;
        float w, h;
        const char* expected;
    } cases[] = {
        {"https://pbs.twimg.com/profile_images/1/me_normal.jpg", 0, 50, 50,
         "https://pbs.twimg.com/profile_images/1/me.jpg"},
        {"https://pbs.twimg.com/a_normal/b_normal.png", 42, 50, 50, "https://pbs.twimg.com/a/b.png"},
        {"https://scontent.xx.fbcdn.net/v/p.jpg", 1234, 100.9f, 80.2f,
         "https://graph.facebook.com/1234/picture?width=100&height=80"},
        {"https://scontent.xx.fbcdn.net/v/p.jpg", 1234, 0, 80, "https://graph.facebook.com/1234/picture"},
        {"https://scontent.xx.fbcdn.net/v/p.jpg", 2147483647, 100, 80, "https://scontent.xx.fbcdn.net/v/p.jpg"},
        {"https://scontent.xx.fbcdn.net/v/p.jpg", 0, 100, 80, "https://scontent.xx.fbcdn.net/v/p.jpg"},
        {"https://example.com/fbcdn.net/p.jpg", 1234, 100, 80, "https://example.com/fbcdn.net/p.jpg"},
        {"https://cdn.example.com/me_normal.jpg", 0, 50, 50, "https://cdn.example.com/me_normal.jpg"},
    };
    for (const auto& c : cases) {
        VelkoraUserInternal u;
        u.setUserPhotoUrl(std::string(c.photo));
        u.setFacebookId(c.facebookId);
        EXPECT_EQ(u.getSizedPhotoUrl(c.w, c.h), c.expected) << c.photo << " " << c.facebookId;
    }
    VelkoraUserInternal none;
    EXPECT_EQ(none.getSizedPhotoUrl(10, 10), std::nullopt);
    services::OutsideEndpoints::reset();
}

TEST_F(UserModelTest, QueriesOfAUser) {
    VelkoraUserInternal u;
    EXPECT_TRUE(u.isAnonymous());
    u.setFirstName(std::string(" \n\t"));
    u.setLastName(std::string("\r\n "));
    EXPECT_TRUE(u.isAnonymous());
    EXPECT_FALSE(u.hasPhoto(1));
    u.setLastName(std::string(" Lee"));
    EXPECT_FALSE(u.isAnonymous());
    EXPECT_FALSE(u.hasPhoto(0));
    u.setFacebookId(5);
    EXPECT_TRUE(u.hasPhoto(1));
    EXPECT_FALSE(u.hasPhoto(2));
    u.setUserPhotoUrl(std::string("http://p"));
    EXPECT_TRUE(u.hasPhoto(2));
    EXPECT_FALSE(u.isKnownGender());
    u.setGender(std::string("m"));
    EXPECT_TRUE(u.isKnownGender());
    u.setUserId(std::string("test-7"));
    EXPECT_TRUE(u.isTestUser());
    EXPECT_FALSE(u.isAppOwner());
    u.setUserId(std::string("_OWNER"));
    EXPECT_TRUE(u.isAppOwner());
    EXPECT_EQ(u.description(), "First Name= \n\t lastName= Lee");
}

TEST_F(UserModelTest, EqualityIsByUserId) {
    auto a = std::make_shared<VelkoraUserInternal>();
    auto b = std::make_shared<VelkoraUserInternal>();
    EXPECT_FALSE(a->isEqual(b));  // no ids: only the same object is equal
    EXPECT_TRUE(a->isEqual(a));
    EXPECT_FALSE(a->isEqual(nullptr));
    a->setUserId(std::string("u1"));
    b->setUserId(std::string("u1"));
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
}

TEST_F(UserModelTest, SettersMarkValuesAndCopiesKeepTheMarks) {
    VelkoraUserInternal u;
    u.setIsAgeSet(true);
    EXPECT_EQ(u.age(), 0);
    u.setIsAgeSet(false);
    u.setCustomFloat2(4.5);
    EXPECT_TRUE(u.isCustomFloat2Set());
    u.setUserId(std::string("u1"));
    auto loc = std::make_shared<VelkoraLocation>();
    loc->setLatitude(3);
    u.setLocation(loc);
    u.setStickerPackIds({4, 5});
    auto c = u.copy();
    EXPECT_FALSE(c->isAgeSet());
    EXPECT_TRUE(c->isCustomFloat2Set());
    EXPECT_DOUBLE_EQ(c->customFloat2(), 4.5);
    EXPECT_EQ(c->userId(), "u1");
    ASSERT_NE(c->location(), nullptr);
    EXPECT_NE(c->location(), loc);  // a copy of the location, not the same record
    EXPECT_DOUBLE_EQ(c->location()->latitude(), 3);
    EXPECT_EQ(c->stickerPackIds(), (std::vector<int32_t>{4, 5}));
}

namespace {
struct FakeUserInfo {
    int userInfoSource_ = 0;
    int userInfoSource() const { return userInfoSource_; }
    OptionalText fbFirstName() const { return "FbF"; }
    OptionalText fbLastName() const { return "FbL"; }
    OptionalText fbPhoto() const { return "fbphoto"; }
    OptionalText fbLocation() const { return "FbCity"; }
    OptionalText twitterName() const { return "Tw"; }
    OptionalText twitterPhoto() const { return "twphoto"; }
    OptionalText twitterLocation() const { return "TwCity"; }
    OptionalText emailName() const { return "Em"; }
    OptionalText emailPhoto() const { return "emphoto"; }
    OptionalText emailId() const { return "e@x.io"; }
};
}  // namespace

TEST_F(UserModelTest, FillingFromTheLocalIdentity) {
    struct Row {
        int source;
        const char *first, *last, *photo, *city, *email;
    } rows[] = {
        {1, "FbF", "FbL", "fbphoto", "FbCity", "keep@x.io"},
        {2, "Tw", "", "twphoto", "TwCity", "keep@x.io"},
        {3, "Em", "", "emphoto", "", "e@x.io"},
        {0, "", "", "", "", ""},
    };
    for (const auto& r : rows) {
        VelkoraUserInternal u;
        u.setEmail(std::string("keep@x.io"));
        u.updateWithUserInfoSource(FakeUserInfo{r.source});
        EXPECT_EQ(u.firstName(), r.first) << r.source;
        EXPECT_EQ(u.lastName(), r.last) << r.source;
        EXPECT_EQ(u.userPhotoUrl(), r.photo) << r.source;
        EXPECT_EQ(u.city(), r.city) << r.source;
        EXPECT_EQ(u.email(), r.email) << r.source;
    }
}

TEST_F(UserModelTest, UserListsLeaveOutWhatCannotBeParsed) {
    foundation::Log::Capture log;
    auto users = parseUsers(json(R"([{"userId": "a"}, {"userId": null}, 7, {"userId": "b"}])"));
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0]->userId(), "a");
    EXPECT_EQ(users[1]->userId(), "b");
    EXPECT_TRUE(parseUsers(json(R"({"userId": "a"})")).empty());
}
