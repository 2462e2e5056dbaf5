// The device's social accounts as the accounts framework hands them out: an account store that asks
// the person for access to one type of account, then lists the accounts of that type.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace velkora::services {

// The account type of Twitter accounts (the value the Accounts module exports under its constant).
inline constexpr const char* kAccountTypeIdentifierTwitter = "com.velkora.device.account.twitter";

inline constexpr const char* kAccountsErrorDomain = "com.velkora.accounts";
inline constexpr int kAccountsErrorAccountTypeInvalid = 7;

class AccountType {
public:
    explicit AccountType(std::string identifier) : identifier_(std::move(identifier)) {}
    const std::string& identifier() const { return identifier_; }
    // Whether the person granted access to accounts of this type (the answer is remembered across stores).
    bool accessGranted() const;

private:
    std::string identifier_;
};

class Account {
public:
    Account(std::shared_ptr<AccountType> type, std::string identifier, std::string username, std::string token,
            std::string secret)
        : type_(std::move(type)), identifier_(std::move(identifier)), username_(std::move(username)),
          token_(std::move(token)), secret_(std::move(secret)) {}

    const std::shared_ptr<AccountType>& accountType() const { return type_; }
    // Stable across stores and runs: the service's own id of the account.
    const std::string& identifier() const { return identifier_; }
    const std::string& username() const { return username_; }
    std::string description() const { return "@" + username_; }

    // The credential that signs the account's requests; only the platform's signed requests read it.
    const std::string& credentialToken() const { return token_; }
    const std::string& credentialSecret() const { return secret_; }

private:
    std::shared_ptr<AccountType> type_;
    std::string identifier_, username_, token_, secret_;
};

class AccountStore : public std::enable_shared_from_this<AccountStore> {
public:
    using AccessCompletion = std::function<void(bool granted, const foundation::ErrorPtr& error)>;

    static std::shared_ptr<AccountStore> create();

    // Null for a type the device does not know.
    std::shared_ptr<AccountType> accountTypeWithAccountTypeIdentifier(const std::string& identifier);

    // Asks the person through the Twitter-accounts prompt (an earlier answer is remembered). The
    // completion runs exactly once, on a queue of the platform, never on the main thread.
    void requestAccessToAccountsWithType(const std::shared_ptr<AccountType>& type, AccessCompletion completion);

    // The accounts of the type, in the device's order; empty until access was granted.
    std::vector<std::shared_ptr<Account>> accountsWithAccountType(const std::shared_ptr<AccountType>& type) const;
    // Any account the store may list, by identifier; null when none.
    std::shared_ptr<Account> accountWithIdentifier(const std::string& identifier) const;

private:
    AccountStore() = default;
    std::shared_ptr<AccountType> twitterType_;
};

} // namespace velkora::services
