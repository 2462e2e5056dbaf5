#include "platform/services/Accounts.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/services/Device.h"

namespace velkora::services {

bool AccountType::accessGranted() const {
    return identifier_ == kAccountTypeIdentifierTwitter &&
           Device::instance().authorizationStatus(Prompt::TwitterAccounts) == AuthorizationStatus::Authorized;
}

std::shared_ptr<AccountStore> AccountStore::create() {
    return std::shared_ptr<AccountStore>(new AccountStore());
}

std::shared_ptr<AccountType> AccountStore::accountTypeWithAccountTypeIdentifier(const std::string& identifier) {
    if (identifier != kAccountTypeIdentifierTwitter) return nullptr;
    if (!twitterType_) twitterType_ = std::make_shared<AccountType>(identifier);
    return twitterType_;
}

void AccountStore::requestAccessToAccountsWithType(const std::shared_ptr<AccountType>& type,
                                                   AccessCompletion completion) {
    if (!completion) return;
    if (!type || type->identifier() != kAccountTypeIdentifierTwitter) {
        // No prompt for a type the device lacks; still answered off the main thread, as every answer is.
        auto error = foundation::makeError(kAccountsErrorDomain, kAccountsErrorAccountTypeInvalid);
        foundation::DispatchQueue::global().async(
            [completion = std::move(completion), error] { completion(false, error); });
        return;
    }
    Device::instance().ask(Prompt::TwitterAccounts,
                           [completion = std::move(completion)](bool granted) { completion(granted, nullptr); });
}

std::vector<std::shared_ptr<Account>>
AccountStore::accountsWithAccountType(const std::shared_ptr<AccountType>& type) const {
    std::vector<std::shared_ptr<Account>> out;
    if (!type || !type->accessGranted()) return out;
    for (const TwitterAccount& a : Device::instance().twitterAccounts())
        out.push_back(std::make_shared<Account>(type, a.identifier, a.username, a.token, a.secret));
    return out;
}

std::shared_ptr<Account> AccountStore::accountWithIdentifier(const std::string& identifier) const {
    auto type = twitterType_ ? twitterType_ : std::make_shared<AccountType>(kAccountTypeIdentifierTwitter);
    for (const auto& account : accountsWithAccountType(type))
        if (account->identifier() == identifier) return account;
    return nullptr;
}

} // namespace velkora::services
