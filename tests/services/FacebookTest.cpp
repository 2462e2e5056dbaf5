// The Facebook library's session, graph requests and dialogs against the service's graph.
#include "SocialFixture.h"
#include "platform/services/facebook/Request.h"
#include "platform/ui/Window.h"

namespace velkora::testing {

namespace {

using namespace services::facebook;
using services::Prompt;

const std::vector<std::string> kReadPermissions = {"user_location", "user_birthday", "user_photos"};

class FacebookTest : public SocialTest {
protected:
    void SetUp() override {
        SocialTest::SetUp();
        // The host hands the URLs it is opened with to the library, as the kit's host forwarding does.
        ui::Application::instance().setOpenURLHandler([this](const std::string& url, const std::string&) {
            delivered_.push_back(url);
            return Session::activeSession()->handleOpenURL(url);
        });
    }

    // Logs in through the dialog, the prompt answered as given; the states the handler saw.
    std::vector<int> logIn(bool approve) {
        std::vector<int> states;
        bool opened = Session::openActiveSessionWithReadPermissions(
            kReadPermissions, true, [&](Session&, int state, const foundation::ErrorPtr& error) {
                states.push_back(state);
                lastError_ = error;
            });
        EXPECT_FALSE(opened);
        EXPECT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(Prompt::FacebookLogin); }));
        services::Device::instance().answerPrompt(Prompt::FacebookLogin, approve);
        EXPECT_TRUE(waitFor([&] { return !states.empty(); }));
        return states;
    }

    std::pair<foundation::Value, foundation::ErrorPtr> graph(const std::string& path) {
        std::optional<std::pair<foundation::Value, foundation::ErrorPtr>> answer;
        Request::requestForGraphPath(path)->startWithCompletionHandler(
            [&](const foundation::Value& result, const foundation::ErrorPtr& error) {
                answer = {result, error};
            });
        EXPECT_TRUE(waitFor([&] { return answer.has_value(); })) << path;
        return answer.value_or(std::pair<foundation::Value, foundation::ErrorPtr>{});
    }

    std::vector<std::string> delivered_;
    foundation::ErrorPtr lastError_;
};

} // namespace

TEST_F(FacebookTest, LogInRecordsTheDialogAndOpensFromTheReturnAddressThenFromTheCache) {
    EXPECT_EQ(logIn(true), std::vector<int>{SessionStateOpen});
    const auto& opened = ui::Application::instance().openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind(service().baseUrl() + "/graph/dialog/oauth?client_id=100000000000001&", 0), 0u)
        << opened[0];
    EXPECT_NE(opened[0].find("scope=user_location%2Cuser_birthday%2Cuser_photos"), std::string::npos);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].rfind("fb100000000000001://authorize#access_token=", 0), 0u);
    std::string token = Session::activeSession()->accessToken();
    EXPECT_FALSE(token.empty());
    EXPECT_EQ(foundation::UserDefaults::standard()
                  .objectForKey(kTokenInformationDefaultsKey)[kTokenInformationTokenKey]
                  .toText(),
              token);

    // The next run: a fresh session opens at once from the cached token, without dialog or prompt.
    Session::setActiveSession(nullptr);
    ui::Application::instance().clearOpenedURLs();
    std::vector<int> states;
    EXPECT_TRUE(Session::openActiveSessionWithReadPermissions(
        kReadPermissions, false, [&](Session&, int s, const auto&) { states.push_back(s); }));
    EXPECT_EQ(states, std::vector<int>{SessionStateOpen});
    EXPECT_EQ(Session::activeSession()->accessToken(), token);
    EXPECT_TRUE(ui::Application::instance().openedURLs().empty());

    auto [me, error] = graph("me");
    ASSERT_EQ(error, nullptr);
    EXPECT_TRUE(me["id"].isString());
    EXPECT_EQ(me["id"].toText(), kDanaOnFacebook);
    EXPECT_EQ(me["birthday"].toText(), "03/14/1991");

    // Closing and clearing forgets the token: the run after that cannot open without log-in.
    Session::activeSession()->closeAndClearTokenInformation();
    EXPECT_EQ(states.back(), SessionStateClosed);
    Session::setActiveSession(nullptr);
    EXPECT_FALSE(Session::openActiveSessionWithReadPermissions(kReadPermissions, false, nullptr));
}

TEST_F(FacebookTest, ARefusedOrImpossibleLogInFailsWith257) {
    struct Case {
        const char* what;
        bool approve;
        bool signedIn;
        std::string appId;
    } cases[] = {
        {"refused", false, true, kFacebookAppId},
        {"nobody signed in", true, false, kFacebookAppId},
        {"unknown application", true, true, "999"},
    };
    for (const Case& c : cases) {
        Session::setActiveSession(nullptr);
        Session::setDefaultAppID(c.appId);
        services::Device::instance().update([&](services::DeviceProfile& p) {
            if (!c.signedIn) p.facebookUser.reset();
        });
        EXPECT_EQ(logIn(c.approve), std::vector<int>{SessionStateClosedLoginFailed}) << c.what;
        ASSERT_NE(lastError_, nullptr) << c.what;
        EXPECT_EQ(lastError_->domain, kErrorDomain);
        EXPECT_FALSE(Session::activeSession()->isOpen());
        EXPECT_TRUE(foundation::UserDefaults::standard().objectForKey(kTokenInformationDefaultsKey).isNull());
        // A late or forged return address changes nothing once the log-in is over.
        EXPECT_FALSE(Session::activeSession()->handleOpenURL("fb" + c.appId + "://authorize#access_token=forged"));
    }
}

TEST_F(FacebookTest, OnceTheUserHasAPasswordOnlyThatPasswordLogsIn) {
    struct Case {
        const char* what;
        const char* password;
        bool opens;
    } cases[] = {
        {"first log-in sets it", "dana's own", true},
        {"wrong", "a guess", false},
        {"missing", "", false},
        {"right again", "dana's own", true},
    };
    for (const Case& c : cases) {
        Session::setActiveSession(nullptr);
        foundation::UserDefaults::standard().removeObjectForKey(kTokenInformationDefaultsKey);
        services::Device::instance().update([&](services::DeviceProfile& p) { p.facebookUser->password = c.password; });
        EXPECT_EQ(logIn(true), std::vector<int>{c.opens ? SessionStateOpen : SessionStateClosedLoginFailed}) << c.what;
        EXPECT_EQ(Session::activeSession()->isOpen(), c.opens) << c.what;
    }
    EXPECT_EQ(service().selectRows("SELECT token FROM graph_tokens").size(), 2u);
}

TEST_F(FacebookTest, FriendPagesEndEmptyAndAnExpiredTokenGets190) {
    ASSERT_EQ(logIn(true), std::vector<int>{SessionStateOpen});
    std::vector<size_t> sizes;
    for (int offset = 0; offset <= 10; offset += 5) {
        auto [page, error] = graph("me/friends?limit=5&offset=" + std::to_string(offset));
        ASSERT_EQ(error, nullptr);
        sizes.push_back(page["data"].asArray() ? page["data"].asArray()->size() : 99);
        if (offset == 0) {
            EXPECT_TRUE(page["data"].asArray()->at(0)["id"].isString());
        }
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{5, 1, 0}));

    service().setClockOffset(61 * 24 * 3600);
    auto [result, error] = graph("me");
    EXPECT_TRUE(result.isNull());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code, kErrorHttpError);
    EXPECT_EQ(error->userInfo[kErrorHTTPStatusCodeKey].toText(), "400");
    EXPECT_EQ(error->userInfo[kErrorParsedJSONKey]["error"]["code"].toText(), "190");
}

TEST_F(FacebookTest, TheFeedDialogPostsCancelsOrCloses) {
    ASSERT_EQ(logIn(true), std::vector<int>{SessionStateOpen});
    FeedDialogViewController::Parameters invitation = {{"to", "100009000000014"},
                                                       {"name", "Join me on Velkora Demo"},
                                                       {"link", "https://demo.velkora.example/join"},
                                                       {"description", "Chat, play quizzes and follow friends."},
                                                       {"picture", "https://demo.velkora.example/images/invite.png"}};
    struct Case {
        const char* what;
        std::function<void(FeedDialogViewController&)> act;
        int result;
        bool withPostId;
        size_t posts;
    } cases[] = {
        {"share", [](FeedDialogViewController& d) { d.tapAction(); }, WebDialogResultDialogCompleted, true, 1},
        {"cancel", [](FeedDialogViewController& d) { d.tapCancel(); }, WebDialogResultDialogCompleted, false, 1},
        {"close", [](FeedDialogViewController& d) { d.close(); }, WebDialogResultDialogNotCompleted, false, 1},
    };
    for (const Case& c : cases) {
        std::optional<std::pair<int, std::string>> answer;
        WebDialogs::presentFeedDialogModallyWithSession(nullptr, invitation,
                                                        [&](int r, const std::string& url, const auto&) {
                                                            answer = {r, url};
                                                        });
        auto dialog = FeedDialogViewController::current();
        ASSERT_NE(dialog, nullptr) << c.what;
        EXPECT_TRUE(dialog->view()->window() != nullptr && dialog->view()->window()->isKeyWindow()) << c.what;
        c.act(*dialog);
        ASSERT_TRUE(waitFor([&] { return answer.has_value(); })) << c.what;
        EXPECT_EQ(answer->first, c.result) << c.what;
        EXPECT_EQ(answer->second.find("post_id=100009000000014_") != std::string::npos, c.withPostId) << c.what;
        EXPECT_EQ(service().selectRows("SELECT to_id FROM graph_posts").size(), c.posts) << c.what;
    }

    WebDialogs::setAvailable(false);
    bool called = false;
    WebDialogs::presentFeedDialogModallyWithSession(nullptr, invitation,
                                                    [&](int, const auto&, const auto&) { called = true; });
    EXPECT_FALSE(called);
    EXPECT_EQ(FeedDialogViewController::current(), nullptr);
}

TEST_F(FacebookTest, TheNativeShareDialogNeedsTheApplicationAndItsUser) {
    ASSERT_EQ(logIn(true), std::vector<int>{SessionStateOpen});
    std::vector<int> results;
    ASSERT_TRUE(NativeDialogs::presentShareDialogModallyFrom(nullptr, "Northern lights tonight", nullptr,
                                                             "https://demo.velkora.example/feed/1",
                                                             [&](int r, const auto&) { results.push_back(r); }));
    FeedDialogViewController::current()->tapAction();
    ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
    EXPECT_EQ(results, std::vector<int>{NativeDialogResultSucceeded});
    auto rows = service().selectRows("SELECT fields FROM graph_posts");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0][0].find("Northern lights tonight"), std::string::npos);

    NativeDialogs::setAvailable(false);
    EXPECT_FALSE(NativeDialogs::presentShareDialogModallyFrom(nullptr, "x", nullptr, "", nullptr));
    NativeDialogs::setAvailable(true);
    services::Device::instance().update([](services::DeviceProfile& p) { p.facebookUser.reset(); });
    EXPECT_FALSE(NativeDialogs::canPresentShareDialogWithSession(nullptr));
}

} // namespace velkora::testing
