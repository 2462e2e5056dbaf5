// A request to a social network's REST interface signed with one of the device's accounts: the
// parameters go out as the query (GET) or the form body (POST), the Authorization header carries the
// account's token and an HMAC-SHA1 signature, keyed with the account's secret, over the method, the
// address and every parameter. The answer comes on a queue of the platform, never on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/UrlConnection.h"

namespace velkora::services {

class Account;

// The Twitter service type of the compose sheet and of signed requests (as the Social module exports it).
inline constexpr const char* kServiceTypeTwitter = "com.velkora.device.social.twitter";

enum RequestMethod : int { RequestMethodGET = 0, RequestMethodPOST = 1, RequestMethodDELETE = 2 };

class SocialRequest : public std::enable_shared_from_this<SocialRequest> {
public:
    using Parameters = std::vector<std::pair<std::string, std::string>>;
    // Data (empty when the transport failed), the response (status 0 then), and the transport's error.
    using Handler = std::function<void(const std::string& data, const foundation::UrlResponse& response,
                                       const foundation::ErrorPtr& error)>;

    // Null for a service type other than Twitter's.
    static std::shared_ptr<SocialRequest> requestForServiceType(const std::string& serviceType, int method,
                                                                std::string url, Parameters parameters);

    const std::shared_ptr<Account>& account() const { return account_; }
    void setAccount(std::shared_ptr<Account> account) { account_ = std::move(account); }
    const std::string& url() const { return url_; }
    int requestMethod() const { return method_; }
    const Parameters& parameters() const { return parameters_; }

    // Sends the request; may be called from any thread. The handler runs once, on the platform's
    // social queue. Without an account the request goes out unsigned (the network refuses it).
    void performRequestWithHandler(Handler handler);

    // The signed request as it goes out, at the given time and with the given nonce.
    foundation::UrlRequest preparedUrlRequest(int64_t timestamp, const std::string& nonce) const;

private:
    SocialRequest(int method, std::string url, Parameters parameters)
        : method_(method), url_(std::move(url)), parameters_(std::move(parameters)) {}
    int method_;
    std::string url_;
    Parameters parameters_;
    std::shared_ptr<Account> account_;
};

// OAuth's percent escaping: everything but letters, digits and "-._~".
std::string oauthPercentEncode(const std::string& text);

// Pairs as a form body or query: each escaped key "=" escaped value, joined by "&", in the given order.
std::string oauthFormText(const std::vector<std::pair<std::string, std::string>>& pairs);

// The Authorization header value for one request: oauth_token, oauth_nonce, oauth_timestamp,
// oauth_signature_method "HMAC-SHA1", oauth_version "1.0" and oauth_signature, the Base64 HMAC-SHA1
// keyed with "&" + the escaped secret over METHOD&escaped(url)&escaped(sorted escaped pairs).
std::string oauthAuthorization(const std::string& method, const std::string& url,
                               const SocialRequest::Parameters& parameters, const std::string& token,
                               const std::string& secret, int64_t timestamp, const std::string& nonce);

} // namespace velkora::services
