// The seven feed cells over rows made in velkora-service: their sentences with UTF-16 ranges and links,
// the delegate operation of each link and button, the follow buttons, pictures, ages and row heights.
#include <gtest/gtest.h>

#include "SeededFeed.h"
#include "feed/VelkoraFeedSentence.h"
#include "feed/VelkoraLikeButton.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraImageFetcher.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

namespace velkora::testing {
namespace {

using Link = VelkoraFeedSentence::Link;

class FeedCellsTest_ : public SeededFeedTest {
protected:
    std::shared_ptr<VelkoraFeedCell> cellFor(int kind) {
        switch (kind) {
        case 1:
            return VelkoraFeedTableCell::initFromNib(delegate);
        case 2:
            return VelkoraFeedActivityCell::initFromNib(delegate);
        case 3:
            return VelkoraFeedLikeActivityCell::initFromNib(delegate);
        case 4:
            return VelkoraFeedLikeImageCell::initFromNib(delegate);
        case 5:
            return VelkoraFeedLikeTopicCell::initFromNib(delegate);
        case 6:
            return VelkoraFeedLikeTopicCommentCell::initFromNib(delegate);
        default:
            return VelkoraFeedLikeTopicImageCell::initFromNib(delegate);
        }
    }
    // The two rows that show a posted activity's block: a post (kind 2) and a like of it (kind 3).
    struct PostBlockRow {
        const char* name;
        std::shared_ptr<VelkoraFeedCell> cell;
        VelkoraActivityPtr item;
        VelkoraFeedMessagePtr shown;
    };
    std::vector<PostBlockRow> postBlockRows() {
        const auto liking = likes["post"];
        return {{"kind 2", cellFor(2), posts["activity"], posts["activity"]},
                {"kind 3", cellFor(3), liking, liking ? liking->feedMessage() : nullptr}};
    }
    // Taps every link of a label, in order, and returns what the delegate was told.
    std::vector<std::string> tapLinks(VelkoraAttributedLabel& label) {
        delegate->calls.clear();
        auto d = label.delegate();
        for (const auto& link : label.links())
            if (d && d->attributedLabelDidSelectLinkWithTextCheckingResult)
                d->attributedLabelDidSelectLinkWithTextCheckingResult(label, link);
        return delegate->calls;
    }
    static std::vector<Link> linksOf(const VelkoraAttributedLabel& label) {
        std::vector<Link> links;
        for (const auto& l : label.links())
            links.push_back({l.range, l.replacementString});
        return links;
    }
    static std::string textOf(const VelkoraAttributedLabel& label) {
        return label.attributedText() ? label.attributedText()->string() : std::string();
    }
};

TEST_F(FeedCellsTest_, SentencesOfEverySeededKindWithTheirRangesLinksAndOperations) {
    seed();
    const std::string l = std::string(kLikerFirst) + " L.";  // 8 UTF-16 units
    const std::string a = std::string(kAuthorFirst) + " R."; // 10 units: the accent is a character of its own
    const std::string likerLink = std::string(kApp) + "-" + liker, authorLink = std::string(kApp) + "-" + author;
    struct Case {
        const char* name;
        int kind;
        VelkoraActivityPtr item;
        std::string text;
        std::vector<Link> links;
        std::vector<std::string> operations;
    } cases[] = {
        {"followed",
         1,
         posts["type1"],
         l + " started following " + a,
         {{{0, 8}, likerLink}, {{27, 10}, authorLink}},
         {"profileTapped", "otherProfileTapped"}},
        {"joined",
         1,
         posts["type2"],
         a + " joined " + VelkoraAppSettings::appName().value_or(""),
         {{{0, 10}, authorLink}},
         {"profileTapped"}},
        {"commented",
         1,
         posts["type3"],
         l + " commented on Plain talk",
         {{{0, 8}, likerLink}, {{22, 10}, "Plain talk"}},
         {"profileTapped", "topicTapped"}},
        {"activity", 2, posts["activity"], a + " played a round of Capitals", {{{0, 10}, a}}, {"profileTapped"}},
        {"liked activity",
         3,
         likes["post"],
         likes["post"]->getPoster()->firstName().value_or("") == "Kim" ? "Kim B. liked an activity"
                                                                       : l + " liked an activity",
         {},
         {"profileTapped"}},
        {"image", 4, likes["image"], l + " liked the lake", {{{0, 8}, l}}, {"profileTapped"}},
        {"video", 4, likes["video"], l + " liked a video", {{{0, 8}, l}}, {"profileTapped"}},
        {"other", 4, likes["other"], l + " liked a thing", {{{0, 8}, l}}, {"profileTapped"}},
        {"topic", 5, likes["topicPhoto"], l + " liked a topic", {{{0, 8}, l}}, {"profileTapped"}},
        {"comment",
         6,
         likes["textComment"],
         l + " liked Ame\u0301lie's comment",
         {{{0, 8}, liker}, {{15, 7}, author}},
         {"profileTapped", "otherProfileTapped"}},
        {"image comment", 7, likes["imageComment"], l + " liked an image", {{{0, 8}, l}}, {"profileTapped"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.item) << c.name;
        auto cell = cellFor(c.kind);
        ASSERT_TRUE(cell) << c.name;
        cell->updateData(c.item);
        auto& label = *cell->attributedActivityLabel();
        EXPECT_EQ(textOf(label), c.text) << c.name;
        if (!c.links.empty()) {
            EXPECT_EQ(linksOf(label), c.links) << c.name;
        }
        EXPECT_EQ(tapLinks(label), c.operations) << c.name;
        EXPECT_EQ(cell->textFor(c.item).activity, c.text) << c.name << ": the measured text is the shown one";
    }

    // Kind 7's poster line links the image's author and the topic.
    auto cell = VelkoraFeedLikeTopicImageCell::initFromNib(delegate);
    cell->updateData(likes["imageComment"]);
    auto poster = std::dynamic_pointer_cast<VelkoraAttributedLabel>(cell->posterActivityLabel());
    ASSERT_TRUE(poster);
    EXPECT_EQ(textOf(*poster), a + " posted an image in Harbour days");
    EXPECT_EQ(linksOf(*poster), (std::vector<Link>{{{0, 10}, author}, {{30, 12}, "Harbour days"}}));
    EXPECT_EQ(tapLinks(*poster), (std::vector<std::string>{"posterProfileTapped", "topicTapped"}));
}

TEST_F(FeedCellsTest_, ButtonsAndTapsSendTheirOperations) {
    seed();
    struct Case {
        int kind;
        VelkoraActivityPtr item;
        std::function<ui::Control*(VelkoraFeedCell&)> control;
        std::string operation;
    } cases[] = {
        {2, posts["activity"], [](VelkoraFeedCell& c) { return c.actionButton().get(); }, "activityActionTapped"},
        {3, likes["post"], [](VelkoraFeedCell& c) { return c.actionButton().get(); }, "activityActionTapped"},
        {4, likes["video"], [](VelkoraFeedCell& c) { return c.playButton().get(); }, "playTapped"},
        {4, likes["image"], [](VelkoraFeedCell& c) { return c.shareButton().get(); }, "shareTapped"},
    };
    for (const auto& c : cases) {
        auto cell = cellFor(c.kind);
        cell->updateData(c.item);
        delegate->calls.clear();
        ASSERT_TRUE(c.control(*cell)) << c.operation;
        c.control(*cell)->tap();
        EXPECT_EQ(delegate->calls, std::vector<std::string>{c.operation});
    }
    // The comment button of a liked picture hands its tap to the cell, with the topic it was answered.
    auto cell = VelkoraFeedLikeImageCell::initFromNib(delegate);
    cell->updateData(likes["image"]);
    runThrough();
    ASSERT_TRUE(cell->commentButton()->commentButtonIsReady());
    delegate->calls.clear();
    cell->commentButton()->click();
    EXPECT_EQ(
        delegate->calls,
        std::vector<std::string>{"commentTapped:" + std::to_string(cell->commentButton()->topicId()) + ":" + picture});
    EXPECT_GT(cell->commentButton()->topicId(), 0);
}

TEST_F(FeedCellsTest_, FollowButtonsFollowTheUserAndTheMessageType) {
    seed();
    auto me = std::make_shared<VelkoraUserInternal>();
    me->setUserId(myUserId());
    me->setFirstName(std::string("Me"));
    VelkoraAgentInternal::instance().setVelkoraUser(me);
    auto self = std::make_shared<VelkoraUserInternal>();
    self->setUserId(myUserId());
    auto followed = posts["type1"]->otherUser();
    struct Case {
        const char* name;
        VelkoraFeedMessagePtr post;
        std::function<void()> prepare;
        bool buttons;
        std::string title;
        bool unfollow;
    } cases[] = {
        {"followed user", posts["type1"], [&] { followed->setIsFavorite(true); }, true, "Following Ame\u0301lie", true},
        {"unfollowed user", posts["type1"], [&] { followed->setIsFavorite(false); }, true, "Follow Ame\u0301lie",
         false},
        {"self", posts["type1"], [&] { posts["type1"]->setOtherUser(self); }, false, "", false},
        {"commented", posts["type3"], [] {}, false, "", false},
    };
    for (const auto& c : cases) {
        c.prepare();
        auto cell = VelkoraFeedTableCell::initFromNib(delegate);
        cell->updateData(c.post);
        EXPECT_EQ(!cell->actionView()->isHidden(), c.buttons) << c.name;
        EXPECT_EQ(cell->nameLabelTrailingSpaceToButtonsConstraint()->priority(), c.buttons ? 800 : 750) << c.name;
        EXPECT_EQ(cell->nameLabelTrailingSpaceToSuperviewConstraint()->priority(), c.buttons ? 750 : 800) << c.name;
        if (!c.buttons) continue;
        auto& shown = c.unfollow ? *cell->unfollowinButton() : *cell->actionButton();
        auto& hidden = c.unfollow ? *cell->actionButton() : *cell->unfollowinButton();
        EXPECT_FALSE(shown.isHidden()) << c.name;
        EXPECT_TRUE(hidden.isHidden()) << c.name;
        EXPECT_EQ(shown.titleForState(ui::ControlStateNormal), c.title) << c.name;
        EXPECT_EQ(shown.titleForState(ui::ControlStateHighlighted), c.title) << c.name;
        delegate->calls.clear();
        shown.tap();
        shown.tap();
        EXPECT_EQ(delegate->calls, std::vector<std::string>{c.unfollow ? "unfollowTapped" : "actionTapped"})
            << c.name << ": disabled from the tap";
        EXPECT_FALSE(shown.isEnabled());
        cell->updatePostTapped();
        EXPECT_TRUE(shown.isEnabled()) << c.name << ": composed again";
    }
}

TEST_F(FeedCellsTest_, CommentSentenceEdgesAndTheSmallImageRule) {
    seed();
    const std::string l = std::string(kLikerFirst) + " L.";
    auto like = likes["textComment"];
    // A format with no place for the author's name: only the liker is linked.
    auto plain = VelkoraFeedLikeTopicCommentCell::sentenceFor(*like, "liked a comment");
    EXPECT_EQ(plain.text, l + " liked a comment");
    EXPECT_EQ(plain.links, (std::vector<Link>{{{0, 8}, liker}}));
    // The liker wrote the comment: both links carry the liker and both open the liker's profile.
    like->chatRoomsComment()->setUser(like->getPoster());
    auto cell = VelkoraFeedLikeTopicCommentCell::initFromNib(delegate);
    cell->updateData(like);
    auto links = linksOf(*cell->attributedActivityLabel());
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].replacement, liker);
    EXPECT_EQ(tapLinks(*cell->attributedActivityLabel()), (std::vector<std::string>{"profileTapped", "profileTapped"}));

    const std::pair<std::string, std::string> small[] = {
        {"https://h.example/p/a.b.jpg", "https://h.example/p/a.b_small.jpg"},
        {"https://127.0.0.1:8443/images/42", "https://127.0.0.1:8443/images/42"},
        {"https://h.example/p/noext", "https://h.example/p/noext"},
        {"https://h.example", "https://h.example"},
        {"https://h.example/p/x.png?v=1.2", "https://h.example/p/x_small.png?v=1.2"},
    };
    for (const auto& [url, expected] : small)
        EXPECT_EQ(velkoraSmallImageUrl(url), expected) << url;
}

TEST_F(FeedCellsTest_, PicturesLoadByTypeAndAgesFollowTheServiceClock) {
    svc.setClockOffset(30);
    seed();
    ASSERT_TRUE(getUserDataWithinOneSecond()) << "the kit learns the service's clock";
    struct Case {
        const char* name;
        const char* like;
        bool loads;
        bool play;
    } cases[] = {{"image", "image", true, false}, {"video", "video", false, true}, {"other", "other", false, false}};
    for (const auto& c : cases) {
        svc.clearRequests();
        auto cell = VelkoraFeedLikeImageCell::initFromNib(delegate);
        cell->updateData(likes[c.like]);
        runThrough();
        if (c.loads) {
            EXPECT_TRUE(waitFor([&] { return count("/pictures/feed/lake.png") >= 1; })) << c.name;
            EXPECT_TRUE(waitFor([&] { return cell->theImageView()->imageLoaded(); })) << c.name;
        }
        EXPECT_EQ(!cell->playButton()->isHidden(), c.play) << c.name;
        EXPECT_FALSE(cell->shareButton()->isHidden()) << c.name;
        EXPECT_EQ(count("/pictures/feed/lake.png"), c.loads ? 1u : 0u) << c.name;
        if (std::string(c.like) == "other") {
            // Nothing to picture: no slot, rather than a stand-in.
            EXPECT_TRUE(cell->theImageView()->isHidden()) << c.name;
            EXPECT_EQ(cell->theImageHeightConstraint()->constant(), 0.0) << c.name;
        }
        if (std::string(c.like) == "video") {
            EXPECT_EQ(likes[c.like]->calculatedImageUrl().value_or("").find("/vi/abc123/hqdefault.jpg") !=
                          std::string::npos,
                      true);
        }
        // 500, 490 and 480 seconds before the service's clock, which runs 30 s ahead.
        EXPECT_EQ(cell->timeLabel()->text(),
                  VelkoraTimeIntervalDisplay::getLongDisplayString(agent().getServerTimeDiff(*likes[c.like]->time())))
            << c.name;
    }
    // A host fetcher that refuses sharing hides the share button only.
    struct Refusing : VelkoraImageFetcher {
        bool shouldEnableImageShare(const std::string&) override { return false; }
    };
    VelkoraAgentInternal::instance().setImageFetcher(std::make_shared<Refusing>());
    auto cell = VelkoraFeedLikeImageCell::initFromNib(delegate);
    cell->updateData(likes["other"]);
    EXPECT_TRUE(cell->shareButton()->isHidden());
    EXPECT_FALSE(cell->likeButton()->isHidden());
    VelkoraAgentInternal::instance().setImageFetcher(nullptr);

    // Kind 7 shows the comment's own age, hides it without one, and leaves the comment as it was.
    auto like = likes["imageComment"];
    const auto before = like->chatRoomsComment()->dateTime();
    ASSERT_TRUE(before);
    auto seven = VelkoraFeedLikeTopicImageCell::initFromNib(delegate);
    seven->updateData(like);
    EXPECT_EQ(like->chatRoomsComment()->dateTime(), before);
    EXPECT_FALSE(seven->posterTimeLabel()->isHidden());
    EXPECT_EQ(seven->posterTimeLabel()->text(),
              VelkoraTimeIntervalDisplay::getLongDisplayString(agent().getServerTimeDiff(*before)));
    runThrough();
    EXPECT_TRUE(waitFor([&] { return count("/pictures/rooms/boat_small.png") >= 1; }));
    EXPECT_EQ(count("/pictures/rooms/boat_small.png"), 1u);
    EXPECT_EQ(count("/pictures/rooms/boat.png"), 0u);
    like->chatRoomsComment()->setDateTime(std::nullopt);
    seven->updateData(like);
    EXPECT_TRUE(seven->posterTimeLabel()->isHidden());
}

// A row is reused for the next item: its picture view must not go on showing the row before's picture,
// neither while the next one loads (here it never comes) nor when the next item has none.
TEST_F(FeedCellsTest_, AReusedRowShowsNoneOfThePreviousRowsPictures) {
    seed();
    std::string missing = picture;
    missing.replace(missing.find("lake.png"), 8, "missing.png");
    auto postWith = [&](OptionalText image) {
        auto post = std::make_shared<VelkoraFeedMessage>(*posts["activity"]);
        post->setDescImageUrl(std::move(image));
        return post;
    };
    auto postLike = std::make_shared<VelkoraLikeObject>(*likes["post"]);
    postLike->setFeedMessage(postWith(missing));
    auto topicLike = std::make_shared<VelkoraLikeObject>(*likes["topicPhoto"]);
    auto topic = std::make_shared<VelkoraChatRoomsTopic>(*topicLike->chatRoomsTopic());
    topic->setPhotoUrl(missing);
    topicLike->setChatRoomsTopic(topic);
    auto imageLike = std::make_shared<VelkoraLikeObject>(*likes["imageComment"]);
    auto comment = std::make_shared<VelkoraChatRoomsComment>(*imageLike->chatRoomsComment());
    comment->setText(std::nullopt);
    imageLike->setChatRoomsComment(comment);
    struct Case {
        int kind;
        VelkoraActivityPtr first, next;
        std::function<VelkoraLazyImageView*(VelkoraFeedCell&)> view;
    } cases[] = {
        {2, posts["activity"], postWith(missing), [](VelkoraFeedCell& c) { return c.descImageView().get(); }},
        {3, likes["post"], postLike, [](VelkoraFeedCell& c) { return c.descImageView().get(); }},
        {5, likes["topicPhoto"], topicLike, [](VelkoraFeedCell& c) { return c.descImageView().get(); }},
        {7, likes["imageComment"], imageLike, [](VelkoraFeedCell& c) { return c.topicImageView().get(); }},
    };
    for (const auto& c : cases) {
        auto cell = cellFor(c.kind);
        cell->updateData(c.first);
        ASSERT_TRUE(waitFor([&] { return c.view(*cell)->image() != nullptr; })) << c.kind;
        cell->updateData(c.next);
        EXPECT_EQ(c.view(*cell)->image(), nullptr) << c.kind;
        runThrough();
        EXPECT_EQ(c.view(*cell)->image(), nullptr) << c.kind;
    }
}

TEST_F(FeedCellsTest_, HeightsGrowWithTheirLinesAndRepeat) {
    seed();
    const ui::Font font = ui::Font::systemFont(13);
    const auto six = ui::measureText("123456", font, 200, 0, ui::LineBreakMode::WordWrap);
    EXPECT_EQ(velkoraMeasureLabelText("12345", font, ui::LineBreakMode::WordWrap, 200), six);
    EXPECT_EQ(velkoraMeasureLabelText("\U0001F600\U0001F600a", font, ui::LineBreakMode::WordWrap, 200), six)
        << "five UTF-16 units measure as six digits";

    auto activity = VelkoraFeedActivityCell::initFromNib(delegate);
    auto post = posts["activity"];
    activity->reset();
    const float oneLine = activity->getHeight(post);
    const double oneLineLabel = activity->activityLabelHeightConstraint()->constant();
    const double w = velkoraLabelWidth(activity->textFor(post), activity->geometry().activity);
    EXPECT_LE(activity->activityLabelWidthConstraint()->constant(), w);
    activity->reset();
    EXPECT_EQ(activity->getHeight(post), oneLine) << "a repeat gives the same height";
    post->setMessage(std::string("played a very long round of Capitals of Europe and of the rest of the world too"));
    activity->reset();
    const float twoLines = activity->getHeight(post);
    EXPECT_GT(twoLines, oneLine);
    EXPECT_EQ(twoLines - oneLine, activity->activityLabelHeightConstraint()->constant() - oneLineLabel);
    EXPECT_LE(activity->activityLabelWidthConstraint()->constant(), w);

    // Kind 3 grows by both of its lines.
    auto liked = VelkoraFeedLikeActivityCell::initFromNib(delegate);
    liked->reset();
    const float base = liked->getHeight(likes["post"]);
    const double posterGrowth =
        liked->posterActivityLabelHeightConstraint()->constant() - liked->origPosterActivityLabelHeightConstant();
    const double activityGrowth =
        liked->activityLabelHeightConstraint()->constant() - liked->origActivityLabelHeightConstant();
    EXPECT_EQ(base, float(liked->geometry().separatorBottom + posterGrowth + activityGrowth));
    EXPECT_GT(posterGrowth, 0) << "the post's long message wraps";

    // Kind 5 with a photo is as tall as the photo, however long the title.
    auto topic = VelkoraFeedLikeTopicCell::initFromNib(delegate);
    auto like = likes["topicPhoto"];
    topic->reset();
    topic->getHeight(like);
    EXPECT_EQ(topic->descriptionViewHeightConstraint()->constant(), topic->descImageView()->frame().height());
    like->chatRoomsTopic()->setTitle(std::string(300, 'x'));
    topic->reset();
    topic->getHeight(like);
    EXPECT_EQ(topic->descriptionViewHeightConstraint()->constant(), topic->descImageView()->frame().height());

    // Kind 7's poster line stands five points above its text.
    auto seven = VelkoraFeedLikeTopicImageCell::initFromNib(delegate);
    seven->reset();
    seven->getHeight(likes["imageComment"]);
    const auto text = seven->textFor(likes["imageComment"]);
    const auto& g = seven->geometry().poster;
    EXPECT_EQ(seven->posterActivityLabelHeightConstraint()->constant(),
              velkoraMeasureLabelText(text.poster, g.font, g.lineBreakMode, velkoraLabelWidth(text, g)).height + 5);
}

TEST_F(FeedCellsTest_, APostBlockWithoutAPictureStartsItsTextsAtItsLeftEdge) {
    seed();
    for (const auto& c : postBlockRows()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.cell && c.shown && c.cell->descriptionLabel() && c.cell->subDescLabel());
        const OptionalText picture = c.shown->descImageUrl();
        c.cell->updateData(c.item);
        const ui::Rect besidePicture = c.cell->descriptionLabel()->frame();
        ASSERT_GT(besidePicture.x(), c.cell->descImageView()->frame().maxX() - 1) << "the text stands beside it";
        for (const OptionalText& none : {OptionalText(), OptionalText(std::string())}) {
            c.shown->setDescImageUrl(none);
            c.cell->updateData(c.item);
            EXPECT_TRUE(c.cell->descImageView()->isHidden());
            for (const auto& label : {c.cell->descriptionLabel(), c.cell->subDescLabel()}) {
                EXPECT_EQ(label->frame().x(), c.cell->descImageView()->frame().x());
                EXPECT_EQ(label->frame().maxX(), besidePicture.maxX()) << "the same right edge, wider";
            }
        }
        // A reused row given a post with a picture puts the texts back beside it.
        c.shown->setDescImageUrl(picture);
        c.cell->updateData(c.item);
        EXPECT_FALSE(c.cell->descImageView()->isHidden());
        EXPECT_EQ(c.cell->descriptionLabel()->frame(), besidePicture);
        EXPECT_EQ(c.cell->subDescLabel()->frame().x(), besidePicture.x());
    }
}

TEST_F(FeedCellsTest_, ALikedObjectWithoutAPictureGivesUpItsSlot) {
    seed();
    auto cell = VelkoraFeedLikeImageCell::initFromNib(delegate);
    ASSERT_TRUE(cell && cell->theImageHeightConstraint());
    const double slot = cell->theImageHeightConstraint()->constant();
    ASSERT_GT(slot, 0);
    cell->reset();
    const float withPicture = cell->getHeight(likes["image"]);
    const struct {
        const char* like;
        bool picture;
    } cases[] = {{"image", true}, {"video", true}, {"other", false}, {"image", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.like);
        const auto like = likes[c.like];
        cell->reset();
        const float height = cell->getHeight(like);
        EXPECT_FLOAT_EQ(height, c.picture ? withPicture : withPicture - static_cast<float>(slot));
        cell->updateData(like);
        cell->setFrame({0, 0, 320, height});
        cell->layoutIfNeeded();
        EXPECT_EQ(cell->theImageView()->isHidden(), !c.picture);
        EXPECT_EQ(cell->theImageHeightConstraint()->constant(), c.picture ? slot : 0.0);
        // The buttons follow the time, with the picture between them or not, and the row ends under them.
        const double gap = cell->buttonsView()->frame().y() - cell->timeLabel()->frame().maxY();
        EXPECT_NEAR(gap, c.picture ? slot + 8.0 : 8.0, 0.5);
        EXPECT_LE(cell->buttonsView()->frame().maxY(), height);
    }
}

TEST_F(FeedCellsTest_, ATextOnlyPostGivesUpTheDescriptionBlock) {
    seed();
    for (const auto& c : postBlockRows()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.cell && c.shown);
        const OptionalText description = c.shown->descText();
        c.cell->reset();
        const float withBlock = c.cell->getHeight(c.item);
        const double block = c.cell->descriptionViewHeightConstraint()->constant();
        ASSERT_GT(block, 0);
        for (const OptionalText& none : {OptionalText(), OptionalText(std::string())}) {
            c.shown->setDescText(none);
            c.cell->reset();
            const float textOnly = c.cell->getHeight(c.item);
            EXPECT_FLOAT_EQ(textOnly, withBlock - static_cast<float>(block));
            c.cell->updateData(c.item);
            c.cell->setFrame({0, 0, 320, textOnly});
            c.cell->layoutIfNeeded();
            // The like button sits under the post's text, and the row ends under it: no empty block between.
            EXPECT_TRUE(c.cell->descriptionView()->isHidden());
            const double buttonsTop = c.cell->buttonsView()->frame().y();
            EXPECT_LE(buttonsTop - c.cell->descriptionView()->frame().y(), 8.0);
            EXPECT_LE(c.cell->buttonsView()->frame().maxY(), textOnly);
        }
        // The same cell given a post with a description shows the block again.
        c.shown->setDescText(description);
        c.cell->reset();
        EXPECT_EQ(c.cell->getHeight(c.item), withBlock);
        c.cell->updateData(c.item);
        EXPECT_FALSE(c.cell->descriptionView()->isHidden());
        EXPECT_EQ(c.cell->descriptionViewHeightConstraint()->constant(), block);
    }
}

} // namespace
} // namespace velkora::testing
