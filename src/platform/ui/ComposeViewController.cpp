#include "platform/ui/ComposeViewController.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Accounts.h"
#include "platform/services/Device.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h"
#include "platform/ui/Utf16.h"

namespace velkora::ui {

namespace {

std::optional<services::TwitterAccount> sheetAccount() {
    auto accounts = services::Device::instance().twitterAccounts();
    if (accounts.empty()) return std::nullopt;
    return accounts.front();
}

} // namespace

bool ComposeViewController::isAvailableForServiceType(const std::string& serviceType) {
    return serviceType == services::kServiceTypeTwitter && sheetAccount().has_value();
}

std::shared_ptr<ComposeViewController>
ComposeViewController::composeViewControllerForServiceType(const std::string& serviceType) {
    if (!isAvailableForServiceType(serviceType)) return nullptr;
    return std::shared_ptr<ComposeViewController>(new ComposeViewController());
}

ComposeViewController::ComposeViewController() : ComposeSheetViewController("Twitter", "Post") {
    if (auto account = sheetAccount()) account_ = account->username;
}

std::string ComposeViewController::status() const {
    std::string out = text_;
    for (const auto& url : urls_)
        out += (out.empty() ? "" : " ") + url;
    return out;
}

int ComposeViewController::charactersLeft() const {
    return kMaximumLength - static_cast<int>(utf16::length(status()));
}

bool ComposeViewController::setInitialText(const std::string& text) {
    if (shown_) return false;
    std::string before = text_;
    text_ = text;
    if (charactersLeft() < 0) {
        text_ = before;
        return false;
    }
    refreshForm();
    return true;
}

bool ComposeViewController::addURL(const std::string& url) {
    if (shown_ || url.empty()) return false;
    urls_.push_back(url);
    if (charactersLeft() < 0) {
        urls_.pop_back();
        return false;
    }
    refreshForm();
    return true;
}

bool ComposeViewController::addImage(std::shared_ptr<Image> image) {
    if (shown_ || !image) return false;
    images_.push_back(std::move(image));
    return true;
}

void ComposeViewController::replaceText(const std::string& text) {
    text_ = text;
    problem_.clear();
    setActionEnabled(charactersLeft() >= 0 && !status().empty());
    refreshForm();
}

void ComposeViewController::viewDidAppear(bool animated) {
    ComposeSheetViewController::viewDidAppear(animated);
    shown_ = true;
}

std::vector<std::pair<std::string, std::string>> ComposeViewController::formFields() const {
    return {{"From:", "@" + account_}};
}

std::string ComposeViewController::formFootnote() const {
    std::string note = std::to_string(charactersLeft());
    if (!images_.empty()) note += "  ·  " + std::to_string(images_.size()) + " picture(s)";
    if (!problem_.empty()) note += "  ·  " + problem_;
    return note;
}

void ComposeViewController::cancelTapped() {
    finish(ComposeViewControllerResultCancelled);
}

void ComposeViewController::actionTapped() {
    if (finished_ || posting_) return;
    auto account = sheetAccount();
    if (!account) {
        postFailed("The device has no Twitter account.");
        return;
    }
    posting_ = true;
    setActionEnabled(false);
    auto store = services::AccountStore::create();
    auto type = store->accountTypeWithAccountTypeIdentifier(services::kAccountTypeIdentifierTwitter);
    auto request = services::SocialRequest::requestForServiceType(
        services::kServiceTypeTwitter, services::RequestMethodPOST,
        services::OutsideEndpoints::url(services::OutsideEndpoints::Service::TwitterApi, "1.1/statuses/update.json"),
        {{"status", status()}});
    // The sheet is the system's own: it posts as the account without asking for access.
    request->setAccount(std::make_shared<services::Account>(type, account->identifier, account->username,
                                                            account->token, account->secret));
    std::weak_ptr<ComposeViewController> weak = std::static_pointer_cast<ComposeViewController>(shared_from_this());
    request->performRequestWithHandler(
        [weak](const std::string& data, const foundation::UrlResponse& response, const foundation::ErrorPtr& error) {
            long status = response.statusCode;
            std::string why = error ? error->description() : "HTTP " + std::to_string(status) + " " + data;
            foundation::RunLoop::main().post([weak, status, why] {
                auto self = weak.lock();
                if (!self) return;
                self->posting_ = false;
                if (status == 200)
                    self->finish(ComposeViewControllerResultDone);
                else
                    self->postFailed(why);
            });
        });
}

void ComposeViewController::postFailed(const std::string& why) {
    foundation::Log::line("Velkora (W) - The tweet could not be sent: %@", why);
    problem_ = "Could not send";
    setActionEnabled(true);
    refreshForm();
}

void ComposeViewController::finish(int result) {
    if (finished_) return;
    finished_ = true;
    if (auto handler = completion_) handler(result);
}

} // namespace velkora::ui
