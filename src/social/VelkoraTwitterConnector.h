// The Twitter connector: the device's Twitter account identifies the user, pages the friends and tweets.
// The platform answers on its own queues; every answer is posted to the main run loop at once, so the
// targets, the record and the paging state are only touched there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/ActionSheet.h"
#include "social/VelkoraConnectorTarget.h"
#include "social/VelkoraSocialNetworkUser.h"

namespace velkora {

class VelkoraUserInternal;
namespace ui {
class View;
class Responder;
class ViewController;
} // namespace ui
namespace services {
class Account;
class AccountStore;
} // namespace services

class VelkoraTwitterUser : public VelkoraSocialNetworkUser {
public:
    std::optional<std::string> getPhoto(int, int) const override { return photo_; }
    std::string fullName() const override { return name_.value_or(""); }

    const std::optional<std::string>& photo() const { return photo_; }
    void setPhoto(std::optional<std::string> v) { photo_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    int64_t twitterId() const { return twitterId_; }
    void setTwitterId(int64_t v) { twitterId_ = v; }

private:
    std::optional<std::string> photo_;
    std::optional<std::string> name_;
    int64_t twitterId_ = 0;
};

class VelkoraTwitterConnector : public ui::ActionSheetDelegate,
                                public std::enable_shared_from_this<VelkoraTwitterConnector> {
public:
    static constexpr int kLookupPageSize = 100;

    static std::shared_ptr<VelkoraTwitterConnector> create();
    ~VelkoraTwitterConnector() override;

    // The application allows Twitter and the platform can tweet.
    static bool canTweet();
    // The platform's compose sheet exists and can tweet.
    static bool isTwitterEnabled();
    // canTweet and the device lists a Twitter account (nobody is asked for access).
    bool isConnected() const;

    // Identifies the user: the target gets the users/show dictionary, or null once when there is no
    // usable account (the no-accounts popup shows in the view unless the person cancelled the chooser).
    void getUserDetailsWithView(ui::View* view, VelkoraConnectorTarget target);
    // Fills the Twitter values of the record from a users/show dictionary holding "id", in one save.
    void updateUserInfoWithTwitterLogin(const foundation::Value& details);
    static void updateUserWithTwitterDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                             const foundation::Value& details, bool justUid);
    void removeDelegate(const void* object);

    // Friend-id pages, one target call per page; a failure ends with one null page.
    void getUserFriendsIdsWithDelegate(VelkoraConnectorTarget target);
    // Friend user objects, 100 per target call; a failure ends with one null page.
    void getUserFriendsObjectsWithDelegate(VelkoraConnectorTarget target);
    static std::vector<std::shared_ptr<VelkoraTwitterUser>> retrieveFriendsTwitterUsers(const foundation::Value& page);

    // Shows the compose sheet with "@target description link via @account"; the completion hears YES only
    // when the person posted.
    void sendTweet(ui::ViewController* presenter, const std::optional<std::string>& description,
                   const std::optional<std::string>& link, const std::optional<std::string>& target,
                   std::function<void(bool)> completion);
    void sendInvitationTweet(ui::ViewController* presenter, std::function<void(bool)> completion);
    void sendInvitationTweet(ui::ViewController* presenter, const std::string& friendName,
                             std::function<void(bool)> completion);
    // The text of a tweet, each piece empty when missing.
    static std::string tweetText(const std::optional<std::string>& description, const std::optional<std::string>& link,
                                 const std::optional<std::string>& target,
                                 const std::optional<std::string>& appAccount);

    void showNoAccountsAlert(ui::View* view);
    void clickedButtonAtIndex(ui::ActionSheet& sheet, int index) override;

    const VelkoraConnectorTarget& userDelegate() const { return userDelegate_; }
    int64_t friendsRequestCursor() const { return friendsRequestCursor_; }
    const std::vector<foundation::Value>& friendIds() const { return friendIds_; }
    int32_t currentPage() const { return currentPage_; }
    const std::vector<std::shared_ptr<services::Account>>& accounts() const { return accounts_; }
    const std::shared_ptr<ui::ActionSheet>& chooser() const { return chooser_; }

private:
    VelkoraTwitterConnector() = default;
    using AccountsHandler = std::function<void(bool granted, std::vector<std::shared_ptr<services::Account>>)>;
    // Asks for access on a fresh store; the handler runs on the main run loop.
    void withAccounts(std::shared_ptr<services::AccountStore> store, AccountsHandler handler);
    void identificationFailed(bool showPopup);
    void getUserDetailsFromAccount(const std::shared_ptr<services::Account>& account);
    // Signs a GET with the account and hands the reply (parsed when it is JSON and the status 200; null
    // otherwise) to the handler on the main run loop.
    void signedGet(const std::shared_ptr<services::Account>& account, const std::string& path,
                   std::vector<std::pair<std::string, std::string>> parameters, const char* statusLine,
                   const char* limitLine, std::function<void(std::optional<foundation::Value>)> handler);
    // The account the record names, on the main run loop; null when refused or gone.
    void withRecordedAccount(std::function<void(std::shared_ptr<services::Account>)> handler);
    void getUserFriendsWithCursor(int64_t cursor, bool objectsMode, uint64_t paging);
    void handleGetFriendsResponse(const foundation::Value& page, uint64_t paging);
    void handleGetFriendIdsResponse(const foundation::Value& page, uint64_t paging);
    void getUserFriendsUsingLookup(uint64_t paging);
    void handleGetFriendsUsingLookupResponse(const foundation::Value& reply, uint64_t paging);
    // Ends a paging with one null page.
    void pagingFailed(uint64_t paging);

    VelkoraConnectorTarget userDelegate_;
    int64_t friendsRequestCursor_ = 0;
    std::vector<std::shared_ptr<services::Account>> accounts_;
    std::shared_ptr<services::AccountStore> accountStore_;
    std::vector<foundation::Value> friendIds_;
    int32_t currentPage_ = 0;
    // Replies of an earlier paging or identification are dropped once a new one started.
    uint64_t paging_ = 0;
    uint64_t identification_ = 0;
    std::weak_ptr<ui::Responder> popupView_;
    std::shared_ptr<ui::ActionSheet> chooser_;
};

} // namespace velkora
