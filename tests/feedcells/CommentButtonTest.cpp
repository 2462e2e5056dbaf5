// The comment button against velkora-service: what it asks for, when it shows, where a tap goes, and
// answers that arrive after a rebinding.
#include <gtest/gtest.h>

#include "FeedCellsFixture.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraCommentButton.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace velkora::testing {
namespace {

using service::Fault;

struct RecordingCommentDelegate : VelkoraCommentButtonDelegate {
    std::vector<std::pair<int32_t, std::string>> clicks;
    void commentButtonClicked(int32_t topicId, const std::string& objectId) override {
        clicks.emplace_back(topicId, objectId);
    }
};

class CommentButtonTest : public FeedCellsTest {
protected:
    static std::string title(const VelkoraCommentButton& b) {
        return b.commentButton()->titleForState(ui::ControlStateNormal).value_or("<none>");
    }
    // The topic screens made, with the arguments they were made with.
    std::vector<foundation::Value> opened;
    void registerTopicScreen() {
        VelkoraScreenRegistry::instance().registerScreen("blogTopic", [this](const foundation::Value& arguments) {
            opened.push_back(arguments);
            return std::make_shared<ui::ViewController>();
        });
    }
    static VelkoraLikeObjectPtr like(int32_t type, const std::string& data) {
        auto l = std::make_shared<VelkoraLikeObject>();
        l->setType(type);
        l->setData(data);
        l->setDescription(std::string("Liked ") + data);
        return l;
    }
};

TEST_F(CommentButtonTest, AsksForTheTopicShowsItsCountAndOpensIt) {
    auto button = VelkoraCommentButton::create({0, 0, 64, 28});
    EXPECT_TRUE(button->commentButton()->isHidden());
    button->updateHtmlCommentObject("html-1", std::string("Page"), std::string("<p>Hi & bye</p>"));
    EXPECT_TRUE(button->commentButton()->isHidden());
    startReady();
    foundation::NotificationCenter::defaultCenter().post("VelkoraIsReady");
    ASSERT_TRUE(waitForRequests("getChatroomData", 1));
    EXPECT_EQ(count("getChatroomData"), 1u) << "one observer of readiness";
    auto asked = svc.requestsFor("getChatroomData")[0];
    EXPECT_EQ(param(asked, "object"), "html-1");
    EXPECT_EQ(param(asked, "objectType"), "HTML");
    EXPECT_EQ(param(asked, "text"), "%3Cp%3EHi%20%26%20bye%3C/p%3E");
    EXPECT_TRUE(button->commentButtonIsReady());
    EXPECT_FALSE(button->commentButton()->isHidden());
    EXPECT_EQ(title(*button), "") << "no comments yet";
    int32_t topic = button->topicId();
    EXPECT_GT(topic, 0);

    svc.addTopicComment(kApp, topic, svc.createUser(kApp), "first");
    loop().advance(1); // the service answers a repeated request text from its first answer
    button->refresh();
    EXPECT_FALSE(button->commentButton()->isHidden()) << "a refresh keeps what is shown";
    ASSERT_TRUE(waitForRequests("getChatroomData", 2));
    EXPECT_EQ(title(*button), "1");

    // The refreshed count stays when a later refresh fails; an error on a fresh control keeps it hidden.
    svc.addFault(Fault{"getChatroomData", Fault::Kind::ErrorCode, "SERVICE_DOWN"});
    button->refresh();
    runThrough();
    EXPECT_EQ(title(*button), "1");
    EXPECT_FALSE(button->commentButton()->isHidden());
    svc.addFault(Fault{"getChatroomData", Fault::Kind::ErrorCode, "SERVICE_DOWN"});
    auto failing = VelkoraCommentButton::create({0, 0, 64, 28});
    failing->updateImageCommentObject("img-9", std::string("Nine"));
    runThrough();
    EXPECT_TRUE(failing->commentButton()->isHidden());

    // A tap opens the topic feature with the topic and the object, on the host's navigation controller.
    registerTopicScreen();
    auto nav = ui::NavigationController::create(std::make_shared<ui::ViewController>());
    button->setNavController(nav);
    button->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(VelkoraScreenArguments::object1(opened[0]).int32Or(0), topic);
    EXPECT_EQ(VelkoraScreenArguments::object2(opened[0]).textOr(""), "html-1");
    EXPECT_EQ(VelkoraScreenArguments::openedAs(opened[0]), VelkoraScreenArguments::kOpenedInNavigation);
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    // Without one it is shown modally, in a stack of the kit's own over the host's screen.
    auto window = ui::Window::createFullScreen();
    auto host = std::make_shared<ui::ViewController>();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    button->setNavController({});
    button->click();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(VelkoraScreenArguments::openedAs(opened[1]), VelkoraScreenArguments::kOpenedModally);
    EXPECT_TRUE(host->presentedViewController());
}

TEST_F(CommentButtonTest, ATapWithoutTheTopicScreenLogsThatItIsNotPartOfThisBuild) {
    startReady();
    auto button = VelkoraCommentButton::create({0, 0, 64, 28});
    button->updateImageCommentObject("img-1", std::string("One"));
    runThrough();
    button->click();
    EXPECT_TRUE(logged("is not part of this build"));
}

TEST_F(CommentButtonTest, BoundFromALikeTheTapGoesToTheDelegateOrNowhere) {
    startReady();
    registerTopicScreen();
    struct Case {
        int32_t type;
        std::string expectedType; // "" when nothing is asked
    } cases[] = {
        {VelkoraLikeObject::IMAGE, "IMAGE"}, {VelkoraLikeObject::VIDEO, "VIDEO"}, {VelkoraLikeObject::POST, ""},
        {VelkoraLikeObject::TOPIC, ""},      {VelkoraLikeObject::COMMENT, ""},
    };
    for (const auto& c : cases) {
        svc.clearRequests();
        auto button = VelkoraCommentButton::create({0, 0, 64, 28});
        auto delegate = std::make_shared<RecordingCommentDelegate>();
        const std::string data = "liked-" + std::to_string(c.type);
        button->updateCommentObjectWithLikeObject(like(c.type, data));
        runThrough();
        if (c.expectedType.empty()) {
            EXPECT_EQ(count("getChatroomData"), 0u) << c.type;
            EXPECT_TRUE(button->commentButton()->isHidden()) << c.type;
        } else {
            ASSERT_EQ(count("getChatroomData"), 1u) << c.type;
            auto asked = svc.requestsFor("getChatroomData")[0];
            EXPECT_EQ(param(asked, "objectType"), c.expectedType);
            EXPECT_EQ(param(asked, "object"), data);
            EXPECT_EQ(param(asked, "title"), "Liked%20" + data);
        }
        button->click();
        EXPECT_TRUE(opened.empty()) << "bound from a like, a tap without a delegate does nothing";
        button->setDelegate(delegate);
        button->click();
        ASSERT_EQ(delegate->clicks.size(), 1u);
        EXPECT_EQ(delegate->clicks[0].first, button->topicId());
        EXPECT_EQ(delegate->clicks[0].second, data);
    }
}

// A feed row is reused for another like: what the control learnt of the image it showed before must not
// come with it, whatever the new like's type.
TEST_F(CommentButtonTest, ARebindingForgetsThePreviousObjectsTopic) {
    startReady();
    const int32_t types[] = {VelkoraLikeObject::NONE,  VelkoraLikeObject::OTHER,   VelkoraLikeObject::POST,
                             VelkoraLikeObject::TOPIC, VelkoraLikeObject::COMMENT, VelkoraLikeObject::IMAGE};
    for (int32_t type : types) {
        auto button = VelkoraCommentButton::create({0, 0, 64, 28});
        auto delegate = std::make_shared<RecordingCommentDelegate>();
        button->setDelegate(delegate);
        button->updateCommentObjectWithLikeObject(like(VelkoraLikeObject::IMAGE, "first-image"));
        runThrough();
        ASSERT_TRUE(button->commentButtonIsReady());
        ASSERT_GT(button->topicId(), 0);

        // The next like's answer (if it asks) is held back: the control is seen between the two.
        svc.addFault(Fault{"getChatroomData", Fault::Kind::Delay, "", 500, 0.3});
        button->updateCommentObjectWithLikeObject(like(type, "next-" + std::to_string(type)));
        EXPECT_FALSE(button->commentButtonIsReady()) << type;
        EXPECT_TRUE(button->commentButton()->isHidden()) << type;
        EXPECT_EQ(button->topicId(), 0) << type;
        button->click();
        ASSERT_EQ(delegate->clicks.size(), 1u) << type;
        EXPECT_EQ(delegate->clicks[0], std::make_pair(0, "next-" + std::to_string(type))) << type;
        runThrough();
        svc.clearFaults();
    }
}

TEST_F(CommentButtonTest, ATopicAnswerForAnEarlierBindingIsIgnored) {
    startReady();
    int64_t laterTopic = 0;
    {
        // The later object's topic first, so the two topics differ.
        auto probe = VelkoraCommentButton::create({0, 0, 64, 28});
        probe->updateImageCommentObject("later", std::string("Later"));
        runThrough();
        laterTopic = probe->topicId();
        svc.addTopicComment(kApp, laterTopic, svc.createUser(kApp), "c1");
        svc.addTopicComment(kApp, laterTopic, svc.createUser(kApp), "c2");
    }
    loop().advance(1); // the service answers a repeated request text from its first answer
    auto button = VelkoraCommentButton::create({0, 0, 64, 28});
    svc.addFault(Fault{"getChatroomData", Fault::Kind::Delay, "", 500, 0.3});
    button->updateImageCommentObject("earlier", std::string("Earlier"));
    button->updateImageCommentObject("later", std::string("Later"));
    runThrough();
    EXPECT_EQ(count("getChatroomData"), 3u);
    EXPECT_EQ(button->topicId(), laterTopic);
    EXPECT_EQ(title(*button), "2");
}

} // namespace
} // namespace velkora::testing
