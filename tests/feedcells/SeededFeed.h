// Every kind of feed row made in velkora-service and read back as the kit reads it: feed items from the
// feed reply, likes from the update poll. A recording delegate stands in for the feed's table controller.
#pragma once

#include <map>

#include "FeedCellsFixture.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedCellDelegates.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "platform/ui/GraphicsContext.h"
#include "server/VelkoraMessagesDelegate.h"
#include "support/PicturePng.h"

namespace velkora::testing {

struct RecordingCellDelegate : VelkoraFeedTableCellDelegate,
                               VelkoraFeedActivityCellDelegate,
                               VelkoraFeedLikeActivityCellDelegate,
                               VelkoraFeedLikeImageCellDelegate,
                               VelkoraFeedLikeTopicCellDelegate,
                               VelkoraFeedLikeTopicCommentCellDelegate,
                               VelkoraFeedLikeTopicImageCellDelegate {
    std::vector<std::string> calls;
    bool openedAsFeature = false;

    void profileTapped(VelkoraFeedTableCell&) override { calls.push_back("profileTapped"); }
    void otherProfileTapped(VelkoraFeedTableCell&) override { calls.push_back("otherProfileTapped"); }
    void topicTapped(VelkoraFeedTableCell&) override { calls.push_back("topicTapped"); }
    void actionTapped(VelkoraFeedTableCell&) override { calls.push_back("actionTapped"); }
    void unfollowTapped(VelkoraFeedTableCell&) override { calls.push_back("unfollowTapped"); }
    void profileTapped(VelkoraFeedActivityCell&) override { calls.push_back("profileTapped"); }
    void activityActionTapped(VelkoraFeedActivityCell&) override { calls.push_back("activityActionTapped"); }
    void profileTapped(VelkoraFeedLikeActivityCell&) override { calls.push_back("profileTapped"); }
    void posterProfileTapped(VelkoraFeedLikeActivityCell&) override { calls.push_back("posterProfileTapped"); }
    void activityActionTapped(VelkoraFeedLikeActivityCell&) override { calls.push_back("activityActionTapped"); }
    void profileTapped(VelkoraFeedLikeImageCell&) override { calls.push_back("profileTapped"); }
    void shareTapped(VelkoraFeedLikeImageCell&) override { calls.push_back("shareTapped"); }
    void playTapped(VelkoraFeedLikeImageCell&) override { calls.push_back("playTapped"); }
    void commentTapped(VelkoraFeedLikeImageCell&, int32_t topicId, const std::string& objectId) override {
        calls.push_back("commentTapped:" + std::to_string(topicId) + ":" + objectId);
    }
    void profileTapped(VelkoraFeedLikeTopicCell&) override { calls.push_back("profileTapped"); }
    void topicTapped(VelkoraFeedLikeTopicCell&) override { calls.push_back("topicTapped"); }
    void profileTapped(VelkoraFeedLikeTopicCommentCell&) override { calls.push_back("profileTapped"); }
    void otherProfileTapped(VelkoraFeedLikeTopicCommentCell&) override { calls.push_back("otherProfileTapped"); }
    void topicTapped(VelkoraFeedLikeTopicCommentCell&) override { calls.push_back("topicTapped"); }
    void profileTapped(VelkoraFeedLikeTopicImageCell&) override { calls.push_back("profileTapped"); }
    void posterProfileTapped(VelkoraFeedLikeTopicImageCell&) override { calls.push_back("posterProfileTapped"); }
    void topicTapped(VelkoraFeedLikeTopicImageCell&) override { calls.push_back("topicTapped"); }
    void topicImageTapped(VelkoraFeedLikeTopicImageCell&) override { calls.push_back("topicImageTapped"); }
    bool isOpenedAsFeature() override { return openedAsFeature; }
};

class SeededFeedTest : public FeedCellsTest {
protected:
    // The names carry a character outside the basic plane and a combining accent, so UTF-16 ranges show.
    static constexpr const char* kLikerFirst = "Zo\u00eb\U0001F600";
    static constexpr const char* kAuthorFirst = "Ame\u0301lie";

    void SetUp() override {
        FeedCellsTest::SetUp();
        delegate = std::make_shared<RecordingCellDelegate>();
    }

    std::string user(const std::string& first, const std::string& last, const std::string& photo = {}) {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        f.photoUrl = photo;
        return svc.createUser(kApp, f);
    }

    // Every kind at its own time, the newest last.
    void seed() {
        startReady();
        liker = user(kLikerFirst, "Lund");
        author = user(kAuthorFirst, "Roux", svc.addPicture("users/roux.png", picturePng("#C0607A", 64), "image/png"));
        third = user("Kim", "Berg");
        svc.follow(kApp, myUserId(), liker);
        svc.follow(kApp, myUserId(), author);
        picture = svc.addPicture("feed/lake.png", picturePng("#3B8FE0", 96), "image/png");
        commentPicture = svc.addPicture("rooms/boat.png", picturePng("#2FB3A8", 96), "image/png");
        svc.addPicture("rooms/boat_small.png", picturePng("#2FB3A8", 64), "image/png");
        topicPhoto = svc.addPicture("rooms/harbour.png", picturePng("#F29B30", 64), "image/png");
        topicWithPhoto = svc.addTopic(kApp, "Harbour days", "", topicPhoto);
        topicPlain = svc.addTopic(kApp, "Plain talk");

        service::Service::FeedItemFields f;
        f.messageType = 1;
        f.otherUserId = author;
        f.secondsAgo = 900;
        svc.addFeedItem(kApp, liker, f);
        f = {};
        f.messageType = 2;
        f.secondsAgo = 800;
        svc.addFeedItem(kApp, author, f);
        f = {};
        f.messageType = 3;
        f.topicId = topicPlain;
        f.secondsAgo = 700;
        svc.addFeedItem(kApp, liker, f);
        f = {};
        f.message = "played a round of Capitals";
        f.actionVerb = "Play";
        f.actionId = "quiz-7";
        f.descText = "Capitals of Europe";
        f.descSubText = "12 points";
        f.descImageUrl = picture;
        f.secondsAgo = 600;
        activity = svc.addFeedItem(kApp, author, f);
        svc.likeFeed(kApp, liker, activity);
        svc.likeFeed(kApp, third, activity);

        svc.likeObject(kApp, liker, "IMAGE", picture, "the lake", 500);
        svc.likeObject(kApp, liker, "VIDEO", "https://www.youtube.com/watch?v=abc123&t=10", "a video", 490);
        svc.likeObject(kApp, liker, "OTHER", "other-thing", "a thing", 480);
        svc.likeTopic(kApp, liker, topicWithPhoto, 400);
        svc.likeTopic(kApp, third, topicPlain, 390);
        textComment = svc.addTopicComment(kApp, topicPlain, author, "Nice harbour!");
        svc.likeTopicComment(kApp, liker, topicPlain, textComment, 300);
        imageComment = svc.addTopicComment(kApp, topicWithPhoto, author, commentPicture, "image");
        svc.likeTopicComment(kApp, liker, topicWithPhoto, imageComment, 200);
        load();
    }

    void load() {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getFeed(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
        const auto& messages = caller->answers[0].at(0);
        for (size_t i = 0; i < messages.size(); ++i) {
            auto m = messages.at(i).asObject<VelkoraFeedMessage>();
            if (m->messageType() == 0)
                posts["activity"] = m;
            else
                posts["type" + std::to_string(m->messageType())] = m;
        }
        auto feed = std::make_shared<VelkoraMessagesDelegate>();
        std::vector<VelkoraLikeObjectPtr> polled;
        feed->gotMessages = [](const std::optional<std::vector<VelkoraMessagePtr>>&) {};
        feed->gotLikes = [&](const std::vector<VelkoraLikeObjectPtr>& l) {
            polled.insert(polled.end(), l.begin(), l.end());
        };
        VelkoraServerApi::setFeedDelegate(feed);
        for (int i = 0; i < 20 && polled.size() < 8; ++i) {
            loop().advance(20);
            waitFor([&] { return polled.size() >= 8; });
        }
        for (const auto& l : polled) {
            switch (l->type()) {
            case VelkoraLikeObject::POST:
                likes["post"] = l;
                break;
            case VelkoraLikeObject::IMAGE:
                likes["image"] = l;
                break;
            case VelkoraLikeObject::VIDEO:
                likes["video"] = l;
                break;
            case VelkoraLikeObject::OTHER:
                likes["other"] = l;
                break;
            case VelkoraLikeObject::TOPIC:
                likes[l->chatRoomsTopic() && l->chatRoomsTopic()->hasPhoto() ? "topicPhoto" : "topicPlain"] = l;
                break;
            case VelkoraLikeObject::COMMENT:
                likes[l->chatRoomsComment() && l->chatRoomsComment()->contentType() == "image" ? "imageComment"
                                                                                               : "textComment"] = l;
                break;
            default:
                break;
            }
        }
        VelkoraServerApi::setFeedDelegate({});
        ASSERT_TRUE(settle());
    }

    std::shared_ptr<RecordingCellDelegate> delegate;
    std::string liker, author, third, picture, commentPicture, topicPhoto;
    int64_t topicWithPhoto = 0, topicPlain = 0, activity = 0, textComment = 0, imageComment = 0;
    std::map<std::string, VelkoraFeedMessagePtr> posts;
    std::map<std::string, VelkoraLikeObjectPtr> likes;
};

} // namespace velkora::testing
