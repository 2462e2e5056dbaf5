// The device's Twitter accounts, signed requests to the service's Twitter and the tweet sheet.
#include <mutex>

#include "SocialFixture.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/services/Accounts.h"
#include "platform/services/SocialRequest.h"
#include "platform/ui/Button.h"
#include "platform/ui/ComposeViewController.h"

namespace velkora::testing {

namespace {

using services::AccountStore;
using services::Prompt;
using services::PromptPolicy;

struct Reply {
    std::string data;
    long status = 0;
    std::string remaining;
    bool onMain = true;
};

class TwitterTest : public SocialTest {
protected:
    std::shared_ptr<services::AccountType> twitterType(const std::shared_ptr<AccountStore>& store) {
        return store->accountTypeWithAccountTypeIdentifier(services::kAccountTypeIdentifierTwitter);
    }

    // Asks for access as the connector does; the answer with where it arrived.
    std::pair<bool, bool> requestAccess(const std::shared_ptr<AccountStore>& store) {
        std::mutex mutex;
        std::optional<std::pair<bool, bool>> answer;
        int calls = 0;
        store->requestAccessToAccountsWithType(twitterType(store), [&](bool granted, const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            ++calls;
            answer = {granted, loop().isLoopThread()};
        });
        EXPECT_TRUE(waitFor([&] {
            std::lock_guard lock(mutex);
            return answer.has_value();
        }));
        loop().advance(0.1);
        std::lock_guard lock(mutex);
        EXPECT_EQ(calls, 1);
        return answer.value_or(std::pair{false, true});
    }

    Reply perform(const std::shared_ptr<services::Account>& account, int method, const std::string& path,
                  services::SocialRequest::Parameters parameters) {
        auto request = services::SocialRequest::requestForServiceType(
            services::kServiceTypeTwitter, method,
            services::OutsideEndpoints::url(services::OutsideEndpoints::Service::TwitterApi, path),
            std::move(parameters));
        request->setAccount(account);
        std::mutex mutex;
        std::optional<Reply> reply;
        request->performRequestWithHandler([&](const std::string& data, const foundation::UrlResponse& response,
                                               const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            reply = Reply{data, response.statusCode, response.header("x-rate-limit-remaining"), loop().isLoopThread()};
        });
        EXPECT_TRUE(waitFor([&] {
            std::lock_guard lock(mutex);
            return reply.has_value();
        }));
        std::lock_guard lock(mutex);
        return reply.value_or(Reply{});
    }

    static foundation::Value json(const Reply& r) {
        return foundation::JsonSerialization::JSONObjectWithData(r.data,
                                                                 foundation::JsonSerialization::ReadingAllowFragments)
            .value_or(foundation::Value());
    }
};

} // namespace

TEST_F(TwitterTest, AccessListsTheDeviceAccountsOnlyOnceGrantedAndRemembersTheAnswer) {
    struct Case {
        const char* what;
        std::vector<services::TwitterAccount> accounts;
        bool allow;
        std::vector<std::string> listed;
    } cases[] = {
        {"no account", {}, true, {}},
        {"one account", {kDanaTwitter}, true, {"dana_velkora"}},
        {"three accounts", {kDanaTwitter, kDanaGames, kDanaWork}, true, {"dana_velkora", "dana_games", "dana_work"}},
        {"refused", {kDanaTwitter, kDanaGames}, false, {}},
    };
    for (const Case& c : cases) {
        services::Device::instance().resetForTests();
        services::Device::instance().update([&](services::DeviceProfile& p) { p.twitterAccounts = c.accounts; });
        auto store = AccountStore::create();
        EXPECT_TRUE(store->accountsWithAccountType(twitterType(store)).empty()) << c.what << ": listed before asking";

        // The prompt waits for the person's tap; the answer comes off the main thread.
        services::Device::instance().setPromptPolicy(Prompt::TwitterAccounts, PromptPolicy::Ask);
        std::mutex mutex;
        std::optional<std::pair<bool, bool>> answer;
        store->requestAccessToAccountsWithType(twitterType(store), [&](bool granted, const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            answer = {granted, loop().isLoopThread()};
        });
        ASSERT_TRUE(waitFor([&] {
            return services::Device::instance().promptAlert(Prompt::TwitterAccounts) != nullptr;
        })) << c.what;
        ASSERT_TRUE(services::Device::instance().answerPrompt(Prompt::TwitterAccounts, c.allow));
        ASSERT_TRUE(waitFor([&] {
            std::lock_guard lock(mutex);
            return answer.has_value();
        }));
        EXPECT_EQ(answer->first, c.allow) << c.what;
        EXPECT_FALSE(answer->second) << c.what << ": answered on the main thread";

        std::vector<std::string> listed;
        for (const auto& a : store->accountsWithAccountType(twitterType(store)))
            listed.push_back(a->username());
        EXPECT_EQ(listed, c.listed) << c.what;
        // A fresh store lists the same without asking again.
        auto fresh = AccountStore::create();
        EXPECT_EQ(fresh->accountsWithAccountType(twitterType(fresh)).size(), c.listed.size()) << c.what;
        EXPECT_EQ(requestAccess(fresh).first, c.allow) << c.what;
        EXPECT_FALSE(services::Device::instance().isPromptWaiting(Prompt::TwitterAccounts)) << c.what;
        if (!c.listed.empty()) {
            EXPECT_EQ(fresh->accountWithIdentifier(c.accounts.back().identifier)->username(), c.listed.back());
        }
    }
}

TEST_F(TwitterTest, SignedRequestsReachTheServiceAndAnswerOffTheMainThread) {
    services::Device::instance().setPromptPolicy(Prompt::TwitterAccounts, PromptPolicy::Grant);
    auto store = AccountStore::create();
    ASSERT_TRUE(requestAccess(store).first);
    auto account = store->accountsWithAccountType(twitterType(store)).at(0);

    Reply shown =
        perform(account, services::RequestMethodGET, "1.1/users/show.json", {{"screen_name", "dana_velkora"}});
    EXPECT_EQ(shown.status, 200);
    EXPECT_FALSE(shown.onMain);
    EXPECT_EQ(json(shown)["id"].toText(), "900000001");
    EXPECT_EQ(shown.remaining, "179");

    // Friend ids in pages of two, each cursor leading to the next.
    std::vector<std::string> ids;
    std::string cursor = "-1";
    int pages = 0;
    while (cursor != "0" && pages < 10) {
        Reply page = perform(account, services::RequestMethodGET, "1.1/friends/ids.json",
                             {{"screen_name", "dana_velkora"}, {"cursor", cursor}});
        ASSERT_EQ(page.status, 200);
        foundation::Value body = json(page);
        for (const auto& id : *body["ids"].asArray())
            ids.push_back(id.toText().value_or(""));
        cursor = body["next_cursor"].toText().value_or("0");
        ++pages;
    }
    EXPECT_EQ(pages, 4);
    ASSERT_EQ(ids.size(), 7u);

    Reply lookup =
        perform(account, services::RequestMethodGET, "1.1/users/lookup.json", {{"user_id", ids[0] + "," + ids[1]}});
    ASSERT_EQ(lookup.status, 200);
    foundation::Value users = json(lookup);
    ASSERT_TRUE(users.asArray() && users.asArray()->size() == 2);
    EXPECT_EQ(users.asArray()->at(0)["screen_name"].toText(), "mira_okafor");
    EXPECT_EQ(perform(account, services::RequestMethodGET, "1.1/users/lookup.json", {{"user_id", ""}}).status, 404);

    // An account whose secret is not the one Twitter knows signs nothing Twitter accepts.
    auto forged = std::make_shared<services::Account>(twitterType(store), kDanaTwitter.identifier,
                                                      kDanaTwitter.username, kDanaTwitter.token, "guessed");
    Reply refused =
        perform(forged, services::RequestMethodGET, "1.1/users/show.json", {{"screen_name", "dana_velkora"}});
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(service().requestsFor("/twitter/1.1/friends/ids.json").size(), 4u);
}

TEST_F(TwitterTest, TheTweetSheetExistsWithAnAccountAndPostsWhatItShows) {
    services::Device::instance().update([](services::DeviceProfile& p) { p.twitterAccounts.clear(); });
    EXPECT_FALSE(ui::ComposeViewController::isAvailableForServiceType(services::kServiceTypeTwitter));
    EXPECT_EQ(ui::ComposeViewController::composeViewControllerForServiceType(services::kServiceTypeTwitter), nullptr);
    services::Device::instance().update([](services::DeviceProfile& p) { p.twitterAccounts = {kDanaTwitter}; });
    EXPECT_EQ(ui::ComposeViewController::composeViewControllerForServiceType("com.example.other"), nullptr);

    struct Case {
        const char* what;
        bool post;
        int result;
        size_t tweets;
    } cases[] = {{"cancel", false, ui::ComposeViewControllerResultCancelled, 0},
                 {"post", true, ui::ComposeViewControllerResultDone, 1}};
    std::string text = "@mira_okafor Join me on Velkora Demo https://demo.velkora.example/join via @velkora";
    for (const Case& c : cases) {
        auto sheet = ui::ComposeViewController::composeViewControllerForServiceType(services::kServiceTypeTwitter);
        ASSERT_NE(sheet, nullptr);
        EXPECT_FALSE(sheet->setInitialText(std::string(141, 'x'))) << "a text over the limit is refused";
        ASSERT_TRUE(sheet->setInitialText(text));
        std::vector<int> results;
        sheet->setCompletionHandler([&](int r) { results.push_back(r); });
        sheet->view();
        EXPECT_EQ(sheet->shownBody(), text);
        c.post ? sheet->tapAction() : sheet->tapCancel();
        ASSERT_TRUE(waitFor([&] { return !results.empty(); })) << c.what;
        loop().advance(0.1);
        EXPECT_EQ(results, std::vector<int>{c.result}) << c.what;
        auto tweets = service().selectRows("SELECT text FROM tweets");
        ASSERT_EQ(tweets.size(), c.tweets) << c.what;
        if (c.tweets) {
            EXPECT_EQ(tweets[0][0], text);
        }
    }
}

TEST_F(TwitterTest, ARefusedTweetKeepsTheSheetOpenInsteadOfReportingDone) {
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.twitterAccounts = {{kDanaTwitter.username, kDanaTwitter.identifier, kDanaTwitter.token, "stale-secret"}};
    });
    auto sheet = ui::ComposeViewController::composeViewControllerForServiceType(services::kServiceTypeTwitter);
    ASSERT_TRUE(sheet->setInitialText("hello"));
    std::vector<int> results;
    sheet->setCompletionHandler([&](int r) { results.push_back(r); });
    sheet->tapAction();
    ASSERT_TRUE(waitFor([&] { return !sheet->isPosting(); }));
    loop().advance(0.1);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(sheet->actionButton()->isEnabled());
    EXPECT_TRUE(service().selectRows("SELECT text FROM tweets").empty());
    sheet->tapCancel();
    EXPECT_EQ(results, std::vector<int>{ui::ComposeViewControllerResultCancelled});
}

} // namespace velkora::testing
