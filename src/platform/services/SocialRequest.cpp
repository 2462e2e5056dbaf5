#include "platform/services/SocialRequest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <random>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Accounts.h"

namespace velkora::services {

namespace {

std::shared_ptr<foundation::DispatchQueue> socialQueue() {
    static std::shared_ptr<foundation::DispatchQueue> queue = foundation::DispatchQueue::create("social.requests");
    return queue;
}

std::string base64(const unsigned char* data, size_t size) {
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
    out.resize(static_cast<size_t>(std::max(n, 0)));
    return out;
}

std::string newNonce() {
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string nonce;
    for (int i = 0; i < 32; ++i)
        nonce += digits[random() % (sizeof digits - 1)];
    return nonce;
}

// Collects the answer and hands it to the handler on the social queue.
class Collector : public foundation::UrlConnectionDelegate {
public:
    explicit Collector(SocialRequest::Handler handler) : handler_(std::move(handler)) {}
    void connectionDidReceiveResponse(foundation::UrlConnection&, const foundation::UrlResponse& r) override {
        response_ = r;
    }
    void connectionDidReceiveData(foundation::UrlConnection&, const uint8_t* data, size_t size) override {
        data_.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(foundation::UrlConnection&) override { deliver(nullptr); }
    void connectionDidFailWithError(foundation::UrlConnection&, const foundation::ErrorPtr& error) override {
        data_.clear();
        response_ = {};
        deliver(error);
    }
    void deliver(const foundation::ErrorPtr& error) {
        if (!handler_) return;
        socialQueue()->async([handler = std::move(handler_), data = std::move(data_), response = response_, error] {
            handler(data, response, error);
        });
        handler_ = nullptr;
    }

private:
    SocialRequest::Handler handler_;
    std::string data_;
    foundation::UrlResponse response_;
};

const char* methodName(int method) {
    return method == RequestMethodPOST ? "POST" : method == RequestMethodDELETE ? "DELETE" : "GET";
}

} // namespace

std::string oauthPercentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string oauthFormText(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs) {
        if (!text.empty()) text += '&';
        text += oauthPercentEncode(key);
        text += '=';
        text += oauthPercentEncode(value);
    }
    return text;
}

std::string oauthAuthorization(const std::string& method, const std::string& url,
                               const SocialRequest::Parameters& parameters, const std::string& token,
                               const std::string& secret, int64_t timestamp, const std::string& nonce) {
    SocialRequest::Parameters oauth = {{"oauth_nonce", nonce},
                                       {"oauth_signature_method", "HMAC-SHA1"},
                                       {"oauth_timestamp", std::to_string(timestamp)},
                                       {"oauth_token", token},
                                       {"oauth_version", "1.0"}};
    std::vector<std::pair<std::string, std::string>> all;
    for (const SocialRequest::Parameters* list : {&parameters, static_cast<const SocialRequest::Parameters*>(&oauth)})
        for (const auto& [k, v] : *list)
            all.emplace_back(oauthPercentEncode(k), oauthPercentEncode(v));
    std::sort(all.begin(), all.end());
    std::string joined;
    for (const auto& [k, v] : all)
        joined += (joined.empty() ? "" : "&") + k + "=" + v;
    std::string base = method + "&" + oauthPercentEncode(url) + "&" + oauthPercentEncode(joined);
    std::string key = "&" + oauthPercentEncode(secret);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(base.data()),
         base.size(), digest, &length);
    oauth.emplace_back("oauth_signature", base64(digest, length));
    std::sort(oauth.begin(), oauth.end());
    std::string header = "OAuth ";
    for (size_t i = 0; i < oauth.size(); ++i)
        header += (i ? ", " : "") + oauth[i].first + "=\"" + oauthPercentEncode(oauth[i].second) + "\"";
    return header;
}

std::shared_ptr<SocialRequest> SocialRequest::requestForServiceType(const std::string& serviceType, int method,
                                                                    std::string url, Parameters parameters) {
    if (serviceType != kServiceTypeTwitter) return nullptr;
    return std::shared_ptr<SocialRequest>(new SocialRequest(method, std::move(url), std::move(parameters)));
}

foundation::UrlRequest SocialRequest::preparedUrlRequest(int64_t timestamp, const std::string& nonce) const {
    foundation::UrlRequest request;
    std::string form = oauthFormText(parameters_);
    // The signature covers the address without its query: parameters travel separately and are signed.
    std::string base = url_.substr(0, url_.find('?'));
    if (method_ == RequestMethodPOST) {
        request = foundation::UrlRequest::post(base, std::vector<uint8_t>(form.begin(), form.end()));
    } else {
        request = foundation::UrlRequest::get(form.empty() ? base : base + "?" + form);
        request.method = methodName(method_);
    }
    if (account_)
        request.headers.emplace_back(
            "Authorization", oauthAuthorization(methodName(method_), base, parameters_, account_->credentialToken(),
                                                account_->credentialSecret(), timestamp, nonce));
    return request;
}

void SocialRequest::performRequestWithHandler(Handler handler) {
    auto self = shared_from_this();
    auto start = [self, handler = std::move(handler)]() mutable {
        auto request = self->preparedUrlRequest(static_cast<int64_t>(foundation::RunLoop::main().now()), newNonce());
        auto collector = std::make_shared<Collector>(std::move(handler));
        foundation::ErrorPtr whyNot;
        if (!foundation::UrlConnection::start(std::move(request), collector, &whyNot)) collector->deliver(whyNot);
    };
    if (foundation::RunLoop::main().isLoopThread())
        start();
    else
        foundation::RunLoop::main().post(std::move(start));
}

} // namespace velkora::services
