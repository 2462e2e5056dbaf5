#include "social/VelkoraTwitterConnector.h"

#include <algorithm>
#include <charconv>

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Accounts.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "social/VelkoraIdentityFields.h"
#include "social/VelkoraPopups.h"
#include "social/VelkoraSocialDetails.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::optional<std::string> twitterServiceType() {
    return VelkoraDynamicFrameworkLoader::loadStringConstant("SLServiceTypeTwitter", "Social");
}

std::optional<std::string> twitterAccountType() {
    return VelkoraDynamicFrameworkLoader::loadStringConstant("ACAccountTypeIdentifierTwitter", "Accounts");
}

int64_t int64In(const Value& page, std::string_view key) {
    const Value* v = page.get(key);
    if (!v) return 0;
    auto text = v->toText();
    int64_t n = 0;
    if (!text || std::from_chars(text->data(), text->data() + text->size(), n).ec != std::errc()) return 0;
    return n;
}

// Runs on the main run loop while the connector lives.
void onMain(const std::weak_ptr<VelkoraTwitterConnector>& weak, std::function<void(VelkoraTwitterConnector&)> task) {
    foundation::RunLoop::main().post([weak, task = std::move(task)] {
        if (auto self = weak.lock()) task(*self);
    });
}

} // namespace

std::shared_ptr<VelkoraTwitterConnector> VelkoraTwitterConnector::create() {
    auto c = std::shared_ptr<VelkoraTwitterConnector>(new VelkoraTwitterConnector());
    c->friendIds_.reserve(kLookupPageSize);
    return c;
}

VelkoraTwitterConnector::~VelkoraTwitterConnector() {
    if (chooser_) chooser_->setDelegate({});
}

bool VelkoraTwitterConnector::isTwitterEnabled() {
    // Without the Social compose sheet nothing can be tweeted, whatever older classes exist.
    if (!VelkoraDynamicFrameworkLoader::loadClass("SLComposeViewController", "Social")) {
        Log::line("Velkora - No twitter integration");
        return false;
    }
    auto type = twitterServiceType();
    return type && ui::ComposeViewController::isAvailableForServiceType(*type);
}

bool VelkoraTwitterConnector::canTweet() {
    auto appData = VelkoraSessionRecords::current().getAppData();
    return appData && appData->enableTwitter() && isTwitterEnabled();
}

bool VelkoraTwitterConnector::isConnected() const {
    if (!canTweet()) return false;
    auto typeId = twitterAccountType();
    if (!typeId || !VelkoraDynamicFrameworkLoader::loadClass("ACAccountStore", "Accounts")) return false;
    auto store = services::AccountStore::create();
    auto type = store->accountTypeWithAccountTypeIdentifier(*typeId);
    return type && !store->accountsWithAccountType(type).empty();
}

void VelkoraTwitterConnector::removeDelegate(const void* object) {
    if (object && userDelegate_.target() == object) userDelegate_.clear();
}

void VelkoraTwitterConnector::withAccounts(std::shared_ptr<services::AccountStore> store, AccountsHandler handler) {
    auto typeId = twitterAccountType();
    std::shared_ptr<services::AccountType> type;
    if (store && typeId && VelkoraDynamicFrameworkLoader::loadClass("ACAccountStore", "Accounts"))
        type = store->accountTypeWithAccountTypeIdentifier(*typeId);
    if (!type) {
        handler(false, {});
        return;
    }
    std::weak_ptr<VelkoraTwitterConnector> weak = shared_from_this();
    store->requestAccessToAccountsWithType(
        type, [weak, store, type, handler = std::move(handler)](bool granted, const foundation::ErrorPtr&) {
            // The platform's queue only hands over: the main run loop reads the accounts and goes on.
            onMain(weak, [store, type, granted, handler](VelkoraTwitterConnector&) {
                handler(granted, granted ? store->accountsWithAccountType(type)
                                         : std::vector<std::shared_ptr<services::Account>>{});
            });
        });
}

void VelkoraTwitterConnector::getUserDetailsWithView(ui::View* view, VelkoraConnectorTarget target) {
    userDelegate_ = std::move(target);
    popupView_ = view ? view->weak_from_this() : std::weak_ptr<ui::Responder>();
    const uint64_t attempt = ++identification_;
    accountStore_ = services::AccountStore::create();
    withAccounts(accountStore_, [this, attempt](bool granted, std::vector<std::shared_ptr<services::Account>> found) {
        if (attempt != identification_) return;
        if (!granted) return identificationFailed(true);
        accounts_ = std::move(found);
        if (accounts_.empty()) return identificationFailed(true);
        if (accounts_.size() == 1) return getUserDetailsFromAccount(accounts_.front());
        chooser_ = ui::ActionSheet::create("", weak_from_this());
        for (const auto& account : accounts_)
            chooser_->addButtonWithTitle("@" + account->username());
        chooser_->setCancelButtonIndex(chooser_->addButtonWithTitle(localized("velkora_text_cancel_button")));
        auto view = std::dynamic_pointer_cast<ui::View>(popupView_.lock());
        chooser_->showInView(view.get());
    });
}

void VelkoraTwitterConnector::clickedButtonAtIndex(ui::ActionSheet& sheet, int index) {
    if (&sheet != chooser_.get()) return;
    chooser_.reset();
    if (index >= 0 && index < static_cast<int>(accounts_.size())) return getUserDetailsFromAccount(accounts_[index]);
    // Cancelled: the caller's spinner still needs its one answer.
    identificationFailed(false);
}

void VelkoraTwitterConnector::identificationFailed(bool showPopup) {
    auto target = userDelegate_;
    target.perform(Value());
    if (!showPopup) return;
    if (auto view = std::dynamic_pointer_cast<ui::View>(popupView_.lock())) showNoAccountsAlert(view.get());
}

void VelkoraTwitterConnector::showNoAccountsAlert(ui::View* view) {
    VelkoraPopups::Popup popup;
    popup.title = localized("velkora_text_twitter_connect_title");
    popup.message = localized("velkora_text_twitter_cant_connect_message");
    popup.okTitle = localized("velkora_text_ok_button");
    VelkoraPopups::show(view, popup);
}

void VelkoraTwitterConnector::getUserDetailsFromAccount(const std::shared_ptr<services::Account>& account) {
    const uint64_t attempt = identification_;
    signedGet(account, "/1.1/users/show.json", {{"screen_name", account->username()}},
              "Velkora - getUserDetails: Twitter response, HTTP response: %i", nullptr,
              [this, attempt, account](std::optional<Value> reply) {
                  if (attempt != identification_) return;
                  // An error object, a refusal or a drop would otherwise wipe the identity held.
                  if (!reply || !people::idIn(*reply)) return identificationFailed(true);
                  // The identifier after the identity: what the identity replaced includes the old one.
                  updateUserInfoWithTwitterLogin(*reply);
                  if (auto info = VelkoraSessionRecords::current().getUserInfo()) {
                      info->setTwitterAccountIdentifier(account->identifier());
                      VelkoraSessionRecords::current().saveUserInfo();
                  }
                  // A caller that went away meanwhile takes nothing: the record gets back what it held.
                  auto target = userDelegate_;
                  const bool asked = target.target() != nullptr;
                  if (!target.perform(*reply) && asked)
                      VelkoraIdentityFields::putBackReplaced(3, *people::idIn(*reply));
              });
}

void VelkoraTwitterConnector::updateUserInfoWithTwitterLogin(const Value& details) {
    auto& agent = VelkoraSessionRecords::current();
    auto info = agent.getUserInfo();
    auto id = people::idIn(details);
    if (!info || !id) return;
    VelkoraIdentityFields::rememberReplaced(3, *id, VelkoraIdentityFields::of(*info));
    info->setTwitterId(*id);
    info->setTwitterName(people::textIn(details, "name"));
    info->setTwitterPhoto(people::textIn(details, "profile_image_url"));
    info->setTwitterLocation(people::textIn(details, "location"));
    agent.saveUserInfo();
}

void VelkoraTwitterConnector::updateUserWithTwitterDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                                           const Value& details, bool justUid) {
    if (!user) return;
    user->setTwitterId(people::idIn(details).value_or(0));
    if (justUid) return;
    user->setFirstName(people::textIn(details, "name"));
    user->setLastName(std::string());
    user->setCity(people::textIn(details, "location"));
    user->setState(std::string());
    user->setUserPhotoUrl(people::textIn(details, "profile_image_url"));
}

void VelkoraTwitterConnector::signedGet(const std::shared_ptr<services::Account>& account, const std::string& path,
                                        std::vector<std::pair<std::string, std::string>> parameters,
                                        const char* statusLine, const char* limitLine,
                                        std::function<void(std::optional<Value>)> handler) {
    auto serviceType = twitterServiceType();
    std::shared_ptr<services::SocialRequest> request;
    if (serviceType && VelkoraDynamicFrameworkLoader::loadClass("SLRequest", "Social"))
        request = services::SocialRequest::requestForServiceType(
            *serviceType, services::RequestMethodGET,
            services::OutsideEndpoints::url(services::OutsideEndpoints::Service::TwitterApi, path),
            std::move(parameters));
    if (!request) {
        handler(std::nullopt);
        return;
    }
    request->setAccount(account);
    std::weak_ptr<VelkoraTwitterConnector> weak = shared_from_this();
    request->performRequestWithHandler(
        [weak, statusLine, limitLine, handler = std::move(handler)](
            const std::string& data, const foundation::UrlResponse& response, const foundation::ErrorPtr&) {
            const long status = response.statusCode;
            const std::string remaining = response.header("x-rate-limit-remaining");
            onMain(weak, [=](VelkoraTwitterConnector&) {
                Log::line(statusLine, status);
                int64_t left = 0;
                std::from_chars(remaining.data(), remaining.data() + remaining.size(), left);
                if (limitLine && left == 0) Log::line(limitLine);
                std::optional<Value> parsed;
                if (status == 200 && !data.empty())
                    parsed = foundation::JsonSerialization::JSONObjectWithData(
                        data, foundation::JsonSerialization::ReadingAllowFragments);
                handler(std::move(parsed));
            });
        });
}

void VelkoraTwitterConnector::withRecordedAccount(std::function<void(std::shared_ptr<services::Account>)> handler) {
    withAccounts(services::AccountStore::create(),
                 [handler = std::move(handler)](bool granted, std::vector<std::shared_ptr<services::Account>> found) {
                     auto info = VelkoraSessionRecords::current().getUserInfo();
                     const auto wanted = info ? info->twitterAccountIdentifier() : std::nullopt;
                     std::shared_ptr<services::Account> account;
                     if (granted && wanted)
                         for (const auto& a : found)
                             if (a->identifier() == *wanted) account = a;
                     handler(account);
                 });
}

void VelkoraTwitterConnector::pagingFailed(uint64_t paging) {
    if (paging != paging_) return;
    ++paging_;
    auto target = userDelegate_;
    target.performPage(Value(), false);
}

void VelkoraTwitterConnector::getUserFriendsIdsWithDelegate(VelkoraConnectorTarget target) {
    userDelegate_ = std::move(target);
    getUserFriendsWithCursor(-1, false, ++paging_);
}

void VelkoraTwitterConnector::getUserFriendsObjectsWithDelegate(VelkoraConnectorTarget target) {
    userDelegate_ = std::move(target);
    friendIds_.clear();
    currentPage_ = 0;
    getUserFriendsWithCursor(-1, true, ++paging_);
}

void VelkoraTwitterConnector::getUserFriendsWithCursor(int64_t cursor, bool objectsMode, uint64_t paging) {
    friendsRequestCursor_ = cursor;
    withRecordedAccount([this, cursor, objectsMode, paging](std::shared_ptr<services::Account> account) {
        if (paging != paging_) return;
        if (!account) return pagingFailed(paging);
        signedGet(account, "/1.1/friends/ids.json",
                  {{"screen_name", account->username()}, {"cursor", foundation::format("%lld", cursor)}},
                  "Velkora - getUserFriends: Twitter response, HTTP response: %i",
                  "Velkora - Reached Twitter API limitation for friend ids API",
                  [this, objectsMode, paging](std::optional<Value> page) {
                      if (paging != paging_) return;
                      const Value* ids = page ? page->get("ids") : nullptr;
                      if (!ids || !ids->isArray()) return pagingFailed(paging);
                      if (objectsMode)
                          handleGetFriendIdsResponse(*page, paging);
                      else
                          handleGetFriendsResponse(*page, paging);
                  });
    });
}

void VelkoraTwitterConnector::handleGetFriendsResponse(const Value& page, uint64_t paging) {
    const int64_t next = int64In(page, "next_cursor");
    auto target = userDelegate_;
    target.performPage(page, next > 0);
    // Nobody left to hear the next page: asking for it would only spend the account's rate window.
    if (next > 0 && paging == paging_ && userDelegate_.isWaiting()) getUserFriendsWithCursor(next, false, paging);
}

void VelkoraTwitterConnector::handleGetFriendIdsResponse(const Value& page, uint64_t paging) {
    if (const auto* ids = page["ids"].asArray()) friendIds_.insert(friendIds_.end(), ids->begin(), ids->end());
    const int64_t next = int64In(page, "next_cursor");
    if (!userDelegate_.isWaiting()) return;
    if (next > 0)
        getUserFriendsWithCursor(next, true, paging);
    else
        getUserFriendsUsingLookup(paging);
}

void VelkoraTwitterConnector::getUserFriendsUsingLookup(uint64_t paging) {
    withRecordedAccount([this, paging](std::shared_ptr<services::Account> account) {
        if (paging != paging_) return;
        if (!account) return pagingFailed(paging);
        const size_t from = static_cast<size_t>(currentPage_) * kLookupPageSize;
        std::string joined;
        for (size_t i = from; i < std::min(friendIds_.size(), from + kLookupPageSize); ++i) {
            if (!joined.empty()) joined += ",";
            joined += friendIds_[i].textOr("");
        }
        signedGet(account, "/1.1/users/lookup.json", {{"user_id", joined}},
                  "Velkora - getUserFriendsUsingLookupWithDelegate: Twitter response, HTTP response: %i",
                  "Velkora - Reached Twitter API limitation for users lookup API",
                  [this, paging](std::optional<Value> reply) {
                      if (paging != paging_) return;
                      // An empty page of ids is answered by an empty list or by Twitter's "no user" error.
                      const bool none = friendIds_.size() <= static_cast<size_t>(currentPage_) * kLookupPageSize;
                      if (none && !(reply && reply->isArray())) reply = Value(foundation::Array{});
                      if (!reply || !reply->isArray()) return pagingFailed(paging);
                      handleGetFriendsUsingLookupResponse(*reply, paging);
                  });
    });
}

void VelkoraTwitterConnector::handleGetFriendsUsingLookupResponse(const Value& reply, uint64_t paging) {
    const int64_t n = static_cast<int64_t>(friendIds_.size());
    const bool hasMore = n - int64_t(kLookupPageSize) * (currentPage_ + 1) > 0;
    auto target = userDelegate_;
    target.performPage(Value(foundation::Dictionary{{"users", reply}}), hasMore);
    if (hasMore && paging == paging_ && userDelegate_.isWaiting()) {
        ++currentPage_;
        getUserFriendsUsingLookup(paging);
    }
}

std::vector<std::shared_ptr<VelkoraTwitterUser>>
VelkoraTwitterConnector::retrieveFriendsTwitterUsers(const Value& page) {
    std::vector<std::shared_ptr<VelkoraTwitterUser>> out;
    const auto* users = page["users"].asArray();
    if (!users) return out;
    for (const auto& u : *users) {
        auto user = std::make_shared<VelkoraTwitterUser>();
        user->setTwitterId(people::idIn(u).value_or(0));
        user->setName(people::textIn(u, "screen_name"));
        user->setPhoto(people::textIn(u, "profile_image_url"));
        out.push_back(std::move(user));
    }
    return out;
}

std::string VelkoraTwitterConnector::tweetText(const std::optional<std::string>& description,
                                               const std::optional<std::string>& link,
                                               const std::optional<std::string>& target,
                                               const std::optional<std::string>& appAccount) {
    auto piece = [](const std::optional<std::string>& v, const char* fmt) {
        return v && !v->empty() ? foundation::format(fmt, *v) : std::string();
    };
    return foundation::format("%@%@%@%@", piece(target, "@%@"), piece(description, " %@"), piece(link, " %@"),
                              piece(appAccount, " via @%@"));
}

void VelkoraTwitterConnector::sendTweet(ui::ViewController* presenter, const std::optional<std::string>& description,
                                        const std::optional<std::string>& link,
                                        const std::optional<std::string>& target,
                                        std::function<void(bool)> completion) {
    auto serviceType = twitterServiceType();
    std::shared_ptr<ui::ComposeViewController> sheet;
    if (serviceType && VelkoraDynamicFrameworkLoader::loadClass("SLComposeViewController", "Social"))
        sheet = ui::ComposeViewController::composeViewControllerForServiceType(*serviceType);
    if (!sheet || !presenter) {
        if (completion) completion(false);
        return;
    }
    std::weak_ptr<ui::Responder> weakPresenter = presenter->weak_from_this();
    sheet->setCompletionHandler([completion, weakPresenter](int result) {
        if (completion) completion(result == ui::ComposeViewControllerResultDone);
        if (auto p = std::dynamic_pointer_cast<ui::ViewController>(weakPresenter.lock()))
            p->dismissViewController(true);
    });
    sheet->setInitialText(tweetText(description, link, target, VelkoraAppSettings::twitterAppAccount()));
    presenter->presentViewController(sheet, true);
}

void VelkoraTwitterConnector::sendInvitationTweet(ui::ViewController* presenter, std::function<void(bool)> completion) {
    sendTweet(presenter, VelkoraAppSettings::twitterInviteDescription(), VelkoraAppSettings::twitterInviteLink(),
              std::nullopt, std::move(completion));
}

void VelkoraTwitterConnector::sendInvitationTweet(ui::ViewController* presenter, const std::string& friendName,
                                                  std::function<void(bool)> completion) {
    sendTweet(presenter, VelkoraAppSettings::twitterInviteDescription(), VelkoraAppSettings::twitterInviteLink(),
              friendName, std::move(completion));
}

} // namespace velkora
