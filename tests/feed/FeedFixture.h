// The feed screen against velkora-service: a signed-in user who follows people who posted and liked one
// thing of every kind (and an anonymous user whose post and follow the feed leaves out), the screen opened
// by the registry in a host window, and waits for the list, its queue and its pictures.
#pragma once

#include <map>
#include <set>

#include "data/VelkoraAppData.h"
#include "feed/VelkoraFeedViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/TableView.h"
#include "profiles/ProfilesFixture.h"
#include "server/utils/VelkoraCachedImageFetcher.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "shell/VelkoraLazyImageView.h"
#include "support/PicturePng.h"

namespace velkora::testing {

class FeedScreenTest : public ProfilesTest {
protected:
    using Screen = VelkoraFeedViewController;

    void SetUp() override {
        ProfilesTest::SetUp();
        VelkoraFeedMessagesRepository::resetForTests();
    }
    void TearDown() override {
        if (screen_ && screen_->serialQueue()) screen_->serialQueue()->waitUntilIdle();
        screen_.reset();
        // A picture still being written to the disk cache when the process exits would race the exit's
        // clean-up of the writer's bookkeeping.
        VelkoraCachedImageFetcher::queue().waitUntilIdle();
        ProfilesTest::TearDown();
        VelkoraFeedMessagesRepository::resetForTests();
    }

    std::string user(const std::string& first, const std::string& last, const std::string& photo = {}) {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        f.photoUrl = photo;
        return svc.createUser(kApp, f);
    }

    // One item of each kind by users the signed-in user follows, a minute apart, the newest last; and an
    // anonymous user's post and a follow of that user.
    void seedEveryKind() {
        liker = user("Zoe", "Lund", svc.addPicture("users/lund.png", picturePng("#5A7BC0", 64), "image/png"));
        author = user("Amelie", "Roux", svc.addPicture("users/roux.png", picturePng("#C0607A", 64), "image/png"));
        anonymous = user("", "");
        for (const auto& u : {liker, author, anonymous})
            svc.follow(kApp, me_, u);
        picture = svc.addPicture("feed/lake.png", picturePng("#3B8FE0", 96), "image/png");
        const std::string commentPicture = svc.addPicture("rooms/boat.png", picturePng("#2FB3A8", 96), "image/png");
        svc.addPicture("rooms/boat_small.png", picturePng("#2FB3A8", 64), "image/png");
        const std::string topicPhoto = svc.addPicture("rooms/harbour.png", picturePng("#F29B30", 64), "image/png");
        topicWithPhoto = svc.addTopic(kApp, "Harbour days", "", topicPhoto);
        topicPlain = svc.addTopic(kApp, "Plain talk");

        service::Service::FeedItemFields f;
        f.messageType = 1;
        f.otherUserId = author;
        f.secondsAgo = 900;
        svc.addFeedItem(kApp, liker, f);
        f = {};
        f.message = "played a round of Capitals";
        f.actionVerb = "Play";
        f.actionId = "quiz-7";
        f.descText = "Capitals of Europe";
        f.descSubText = "12 points";
        f.secondsAgo = 840;
        activity = svc.addFeedItem(kApp, author, f);
        svc.likeFeed(kApp, liker, activity);
        f = {};
        f.message = "Anyone out there?";
        f.secondsAgo = 830;
        svc.addFeedItem(kApp, anonymous, f);
        f = {};
        f.messageType = 1;
        f.otherUserId = anonymous;
        f.secondsAgo = 820;
        svc.addFeedItem(kApp, author, f);
        svc.likeObject(kApp, liker, "IMAGE", picture, "the lake", 600);
        svc.likeTopic(kApp, liker, topicWithPhoto, 480);
        const int64_t textComment = svc.addTopicComment(kApp, topicPlain, author, "Nice harbour!");
        svc.likeTopicComment(kApp, liker, topicPlain, textComment, 360);
        const int64_t imageComment = svc.addTopicComment(kApp, topicWithPhoto, author, commentPicture, "image");
        svc.likeTopicComment(kApp, liker, topicWithPhoto, imageComment, 240);
    }

    // The repository's feed and the likes of the polls that follow it.
    void loadRepository(size_t likes) {
        VelkoraFeedMessagesRepository::instance();
        ASSERT_TRUE(waitAdvancing(
            [&] {
                return VelkoraFeedMessagesRepository::instance().didFinishLoading() &&
                       VelkoraFeedMessagesRepository::instance().likeObjects().size() >= likes;
            },
            120));
        ASSERT_TRUE(settle());
    }

    // The application's configuration as the kit holds it.
    static void configure(bool emailSignUp) {
        auto data = std::make_shared<VelkoraAppData>();
        data->setAppName(std::string("Harbour"));
        data->setEmailSignUpEnabled(emailSignUp);
        data->setMailInviteSubject(std::string("Look at this"));
        data->setAutoPostFollow(true);
        VelkoraAgentInternal::instance().setAppData(data);
    }
    // A signed-in user's feed of every kind, shown.
    std::shared_ptr<Screen> openEveryKind() {
        configure(false);
        startSignedIn();
        seedEveryKind();
        loadRepository(5);
        auto screen = openFeature("feed");
        EXPECT_TRUE(screen && listSettled(screen));
        return screen;
    }

    std::shared_ptr<Screen> openFeature(const std::string& name, foundation::Value arguments = {}) {
        auto screen = std::dynamic_pointer_cast<Screen>(VelkoraScreenRegistry::instance().makeScreen(name, arguments));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        screen_ = screen;
        show(screen);
        EXPECT_TRUE(screen->feedTable()) << "the interface file did not load";
        return screen->feedTable() ? screen : nullptr;
    }

    // Until the screen's queue has nothing left and the lists it built are shown.
    bool listSettled(const std::shared_ptr<Screen>& screen) {
        for (int i = 0; i < 50; ++i) {
            if (screen->serialQueue()) screen->serialQueue()->waitUntilIdle();
            loop().runUntil([] { return false; }, 0.01);
            if (screen->listIsCurrent() && screen->tableController()->isWired()) {
                if (window_) window_->layoutIfNeeded();
                return true;
            }
        }
        return false;
    }

    // Every picture asked for has come (or failed for good).
    static bool noPictureLoading(ui::View& view) {
        if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&view))
            if (lazy->isLoading()) return false;
        for (const auto& sub : view.subviews())
            if (!noPictureLoading(*sub)) return false;
        return true;
    }
    bool picturesLoaded() {
        bool done = waitAdvancing(
            [] {
                if (foundation::UrlConnection::activeCount() != 0) return false;
                for (const auto& w : ui::Application::instance().windows())
                    if (!noPictureLoading(*w)) return false;
                return true;
            },
            30);
        loop().advance(0.5);
        if (window_) window_->layoutIfNeeded();
        return done;
    }

    // What a full rebuild from the repository lists.
    static std::vector<VelkoraActivityPtr> rebuiltFromRepository() {
        const auto& repository = VelkoraFeedMessagesRepository::instance();
        std::vector<VelkoraActivityPtr> posts(repository.feedMessages().begin(), repository.feedMessages().end());
        std::vector<VelkoraActivityPtr> likes;
        for (const auto& [id, like] : repository.likeObjects())
            likes.push_back(like);
        return getSortedActivities(posts, likes);
    }

    // The height keys of the rows in view.
    static std::set<std::string> keysInView(const std::shared_ptr<Screen>& screen) {
        std::set<std::string> keys;
        for (const auto& ip : screen->feedTable()->indexPathsForVisibleRows())
            keys.insert(screen->tableController()->heightKeyFor(*screen->getMessagesAndLikes().at(size_t(ip.row))));
        return keys;
    }

    // Rows are measured as they come into view: each row in view stands at the height of the state it
    // shows, and no height is kept for a row that went or for a state a refreshed row left.
    static void expectHeightsOfShownRowsOnly(const std::shared_ptr<Screen>& screen) {
        auto controller = screen->tableController();
        auto table = screen->feedTable();
        const auto& rows = screen->getMessagesAndLikes();
        for (const auto& ip : table->indexPathsForVisibleRows()) {
            auto height = controller->heights()->find(controller->heightKeyFor(*rows.at(size_t(ip.row))));
            ASSERT_TRUE(height) << "row " << ip.row << " is in view";
            EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath(ip).height(), double(*height)) << "row " << ip.row;
        }
        size_t listedWithHeight = 0;
        for (const auto& item : rows)
            listedWithHeight += controller->heights()->find(controller->heightKeyFor(*item)) ? 1 : 0;
        EXPECT_EQ(controller->heights()->size(), listedWithHeight) << "heights of rows gone or refreshed are dropped";
    }

    // The listed items' activity ids, in order.
    template <class Items> static std::vector<std::string> ids(const Items& items) {
        std::vector<std::string> out;
        for (const auto& i : items)
            out.push_back(i->activityId());
        return out;
    }

    std::shared_ptr<Screen> screen_;
    std::string liker, author, anonymous, picture;
    int64_t topicWithPhoto = 0, topicPlain = 0, activity = 0;
};

} // namespace velkora::testing
