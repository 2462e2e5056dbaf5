#include "platform/services/facebook/Request.h"

#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h"
#include "platform/services/facebook/Session.h"

namespace velkora::services::facebook {

namespace {

class Collector : public foundation::UrlConnectionDelegate {
public:
    explicit Collector(Request::Handler handler) : handler_(std::move(handler)) {}
    void connectionDidReceiveResponse(foundation::UrlConnection&, const foundation::UrlResponse& r) override {
        status_ = r.statusCode;
    }
    void connectionDidReceiveData(foundation::UrlConnection&, const uint8_t* data, size_t size) override {
        body_.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(foundation::UrlConnection&) override {
        foundation::Value parsed = foundation::JsonSerialization::JSONObjectWithData(
                                       body_, foundation::JsonSerialization::ReadingAllowFragments)
                                       .value_or(foundation::Value());
        if (status_ == 200 && !parsed.isNull()) {
            finish(parsed, nullptr);
            return;
        }
        foundation::Dictionary info{{kErrorHTTPStatusCodeKey, static_cast<long long>(status_)}};
        if (!parsed.isNull()) info.set(kErrorParsedJSONKey, parsed);
        finish(nullptr, foundation::makeError(kErrorDomain, kErrorHttpError, info));
    }
    void connectionDidFailWithError(foundation::UrlConnection&, const foundation::ErrorPtr& error) override {
        fail(error);
    }
    void fail(const foundation::ErrorPtr& error) {
        finish(nullptr, foundation::makeError(kErrorDomain, kErrorHttpError, {}, error));
    }

private:
    void finish(const foundation::Value& result, const foundation::ErrorPtr& error) {
        if (auto handler = std::move(handler_)) handler(result, error);
        handler_ = nullptr;
    }
    Request::Handler handler_;
    long status_ = 0;
    std::string body_;
};

} // namespace

std::shared_ptr<Request> Request::create(std::shared_ptr<Session> session, std::string graphPath, Parameters parameters,
                                         std::string httpMethod) {
    return std::shared_ptr<Request>(
        new Request(std::move(session), std::move(graphPath), std::move(parameters), std::move(httpMethod)));
}

std::shared_ptr<Request> Request::requestForMe() {
    return create(Session::activeSession(), "me");
}

std::shared_ptr<Request> Request::requestForGraphPath(std::string graphPath) {
    return create(Session::activeSession(), std::move(graphPath));
}

std::string Request::url() const {
    std::string address = OutsideEndpoints::url(OutsideEndpoints::Service::FacebookGraph, graphPath_);
    Parameters sent = parameters_;
    if (session_ && !session_->accessToken().empty()) sent.emplace_back("access_token", session_->accessToken());
    if (sent.empty()) return address;
    address += address.find('?') == std::string::npos ? '?' : '&';
    address += oauthFormText(sent);
    return address;
}

void Request::startWithCompletionHandler(Handler handler) {
    auto collector = std::make_shared<Collector>(std::move(handler));
    foundation::UrlRequest request = foundation::UrlRequest::get(url());
    if (method_ == "POST") {
        std::string address = url();
        size_t question = address.find('?');
        std::string form = question == std::string::npos ? "" : address.substr(question + 1);
        request =
            foundation::UrlRequest::post(address.substr(0, question), std::vector<uint8_t>(form.begin(), form.end()));
    }
    foundation::ErrorPtr whyNot;
    if (!foundation::UrlConnection::start(std::move(request), collector, &whyNot)) collector->fail(whyNot);
}

} // namespace velkora::services::facebook
