#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/foundation/Utf8.h"
#include "server/utils/VelkoraReachability.h"

namespace velkora {

using foundation::isValidUtf8;
using foundation::ErrorPtr;
using foundation::Log;
using foundation::UrlConnection;

namespace {

constexpr int32_t kMaxRetries = 5;
constexpr double kRetryDelaySeconds = 1.0;

struct Hooks {
    std::mutex mutex;
    std::function<bool()> menuVisible;
    std::function<void(const std::string&, const std::string&, const std::string&)> alert;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

// The strings table's text, or "" when the table lacks the key.
std::string localizedOrEmpty(const std::string& key) {
    std::string text = foundation::Bundle::main().localizedString(key, "VelkoraLocalizable");
    return text == key ? std::string() : text;
}

}  // namespace

// The connection keeps this alive while it runs, and this keeps the fetcher alive: a client may let go of
// a busy fetcher and the request still ends properly.
class VelkoraUrlFetcher::ConnectionDelegate final : public foundation::UrlConnectionDelegate {
public:
    explicit ConnectionDelegate(std::shared_ptr<VelkoraUrlFetcher> f) : fetcher_(std::move(f)) {}
    void connectionDidReceiveResponse(UrlConnection& c, const foundation::UrlResponse& r) override {
        fetcher_->didReceiveResponse(c, r);
    }
    void connectionDidReceiveData(UrlConnection& c, const uint8_t* data, size_t size) override {
        fetcher_->didReceiveData(c, data, size);
    }
    void connectionDidFinishLoading(UrlConnection& c) override { fetcher_->didFinishLoading(c); }
    void connectionDidFailWithError(UrlConnection& c, const ErrorPtr& e) override { fetcher_->didFailWithError(c, e); }

private:
    std::shared_ptr<VelkoraUrlFetcher> fetcher_;
};

std::shared_ptr<VelkoraUrlFetcher> VelkoraUrlFetcher::create(std::weak_ptr<VelkoraUrlFetcherDelegate> delegate) {
    return std::shared_ptr<VelkoraUrlFetcher>(new VelkoraUrlFetcher(std::move(delegate)));
}

VelkoraUrlFetcher::~VelkoraUrlFetcher() {
    if (auto* manager = VelkoraReachabilityManager::existingInstance()) manager->unregisterNewUrlFetcher(this);
    if (connection_) connection_->cancel();
    if (retryTimer_) retryTimer_->invalidate();
}

void VelkoraUrlFetcher::setMenuVisibleProvider(std::function<bool()> provider) {
    std::lock_guard lock(hooks().mutex);
    hooks().menuVisible = std::move(provider);
}

void VelkoraUrlFetcher::setAlertPresenter(
    std::function<void(const std::string&, const std::string&, const std::string&)> presenter) {
    std::lock_guard lock(hooks().mutex);
    hooks().alert = std::move(presenter);
}

void VelkoraUrlFetcher::getUrl(const std::string& url) { start(url, std::nullopt, true); }

void VelkoraUrlFetcher::getImageUrl(const std::string& url) {
    resultIsImage_ = true;
    getUrl(url);
}

void VelkoraUrlFetcher::getDataUrl(const std::string& url) {
    resultIsData_ = true;
    getUrl(url);
}

void VelkoraUrlFetcher::getUrlWithPostData(const std::string& url, std::vector<uint8_t> postData) {
    start(url, std::move(postData), true);
}

void VelkoraUrlFetcher::getUrlWithPostData(const std::string& url, const std::string& postData) {
    getUrlWithPostData(url, std::vector<uint8_t>(postData.begin(), postData.end()));
}

void VelkoraUrlFetcher::supersede() {
    // What the fetcher was doing for an earlier request ends here: its connection, a pending re-send and
    // a place in the park would otherwise send the new request twice or deliver the old one's reply.
    if (connection_) {
        connection_->cancel();
        connection_.reset();
    }
    if (retryTimer_) {
        retryTimer_->invalidate();
        retryTimer_.reset();
    }
    if (auto* manager = VelkoraReachabilityManager::existingInstance()) manager->unregisterNewUrlFetcher(this);
    nRetries_ = 0;
}

void VelkoraUrlFetcher::start(const std::string& url, std::optional<std::vector<uint8_t>> body, bool fresh) {
    auto self = shared_from_this();
    if (fresh) supersede();
    ++generation_;
    requestUrl_ = url;
    // A GET carries no body: one left over from an earlier POST would turn its re-send into a POST.
    httpBody_ = std::move(body);

    if (VelkoraReachabilityManager::instance().isInternetUnreachable()) {
        handleNoInternetConnection();
        return;
    }

    if (connection_) {
        connection_->cancel();
        connection_.reset();
    }
    responseData_.reset();
    ErrorPtr whyNot;
    auto request = httpBody_ ? foundation::UrlRequest::post(url, *httpBody_) : foundation::UrlRequest::get(url);
    request.background = background_;
    auto connection = UrlConnection::start(std::move(request), std::make_shared<ConnectionDelegate>(self), &whyNot);
    if (!connection) {
        if (httpBody_)
            Log::line("Velkora - URLFetcher: Connection failed !");
        else
            Log::line("Velkora - ------------URLFetcher: Connection failed !------");
        // The client is still told: otherwise it would wait for an answer that never comes.
        clean();
        reportLater(whyNot ? whyNot : foundation::makeError(foundation::kUrlConnectionErrorDomain, foundation::kUrlErrorBadUrl));
        return;
    }
    connection_ = std::move(connection);
}

void VelkoraUrlFetcher::retry() {
    ++nRetries_;
    start(requestUrl_, httpBody_, false);
}

void VelkoraUrlFetcher::handleNoInternetConnection() {
    auto& manager = VelkoraReachabilityManager::instance();
    switch (retryMode_) {
    case 0:
        manager.registerNewUrlFetcher(shared_from_this());
        Log::line("Velkora - No internet connection... waiting for internet connection");
        break;
    case 1: {
        manager.registerNewUrlFetcher(shared_from_this());
        Log::line("Velkora - No internet connection... alerting on request");
        std::function<bool()> menuVisible;
        std::function<void(const std::string&, const std::string&, const std::string&)> alert;
        {
            std::lock_guard lock(hooks().mutex);
            menuVisible = hooks().menuVisible;
            alert = hooks().alert;
        }
        if (menuVisible && menuVisible() && alert)
            alert(localizedOrEmpty("velkora_text_error_title"), localizedOrEmpty("velkora_text_no_network_message"),
                  localizedOrEmpty("velkora_text_ok_button"));
        break;
    }
    case 2:
        Log::line("Velkora - No internet connection... giving up on request");
        // Giving up is said to the client, so it does not wait for ever.
        clean();
        reportLater(foundation::makeError(foundation::kUrlConnectionErrorDomain, foundation::kUrlErrorNotConnectedToInternet));
        break;
    default: break;
    }
}

void VelkoraUrlFetcher::clean() {
    responseData_.reset();
    connection_.reset();
    if (retryTimer_) {
        retryTimer_->invalidate();
        retryTimer_.reset();
    }
    nRetries_ = 0;
    if (auto* manager = VelkoraReachabilityManager::existingInstance()) manager->unregisterNewUrlFetcher(this);
}

void VelkoraUrlFetcher::reportLater(ErrorPtr error) {
    foundation::RunLoop::main().post([self = shared_from_this(), generation = generation_, error = std::move(error)] {
        if (self->generation_ != generation) return;
        if (auto d = self->delegate_.lock()) d->urlGotError(*self, error);
    });
}

void VelkoraUrlFetcher::cancel() {
    ++generation_;
    supersede();
    responseData_.reset();
    delegate_.reset();
}

void VelkoraUrlFetcher::didReceiveResponse(UrlConnection& c, const foundation::UrlResponse& response) {
    if (&c != connection_.get()) return;
    responseData_ = std::vector<uint8_t>();  // each attempt starts empty
    if (response.statusCode == 200) return;
    Log::line("Velkora - Url Fetcher: http rc was %d. Cancelling the connection", response.statusCode);
    auto self = shared_from_this();
    c.cancel();
    // Cleaned before the client hears it, so neither the retry count nor a partial body reaches the
    // client's next request (which it may start from inside the callback).
    clean();
    auto error = foundation::makeError(kUrlFetcherWrongResponseCodeDomain, response.statusCode);
    if (auto d = delegate_.lock()) d->urlGotError(*self, error);
}

void VelkoraUrlFetcher::didReceiveData(UrlConnection& c, const uint8_t* data, size_t size) {
    if (&c != connection_.get()) return;
    if (!responseData_) responseData_ = std::vector<uint8_t>();
    responseData_->insert(responseData_->end(), data, data + size);
}

void VelkoraUrlFetcher::didFinishLoading(UrlConnection& c) {
    if (&c != connection_.get()) return;
    auto self = shared_from_this();
    std::vector<uint8_t> body = responseData_ ? std::move(*responseData_) : std::vector<uint8_t>();
    clean();
    auto d = delegate_.lock();
    if (!d) return;
    if (resultIsData_) {
        d->urlDidFinishWithData(*self, body);
    } else if (resultIsImage_) {
        d->urlDidFinishWithImage(*self, ui::Image::fromData(body));
    } else if (isValidUtf8(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()))) {
        d->urlDidFinishWithString(*self, std::string(body.begin(), body.end()));
    } else {
        d->urlDidFinishWithString(*self, std::nullopt);
    }
}

void VelkoraUrlFetcher::didFailWithError(UrlConnection& c, const ErrorPtr& error) {
    if (&c != connection_.get()) return;
    auto self = shared_from_this();
    connection_.reset();
    responseData_.reset();  // a partial body never reaches the next attempt
    if (retryMode_ == 0 && nRetries_ < kMaxRetries) {
        Log::line("Velkora - URLFetcher: Connection Failed %@ %d. Retrying", error->domain, error->code);
        if (retryTimer_) retryTimer_->invalidate();
        retryTimer_ = foundation::RunLoop::main().schedule(kRetryDelaySeconds, false, [self](foundation::Timer&) {
            self->retryTimer_.reset();  // the timer holds the fetcher; let go of the timer in turn
            self->retry();
        });
        return;
    }
    // The alerting mode tells the caller at once, but not before the same request went once more: when
    // the reply was lost after the service acted on it, the service answers the copy from its record of
    // the first, so the caller hears how it went instead of an error that invites a second send.
    if (retryMode_ == 1 && nRetries_ == 0) {
        Log::line("Velkora - URLFetcher: Connection Failed %@ %d. Retrying", error->domain, error->code);
        retry();
        return;
    }
    Log::line("Velkora - URLFetcher: Connection Failed %@ %d", error->domain, error->code);
    clean();
    if (auto d = delegate_.lock()) d->urlGotError(*self, error);
}

}  // namespace velkora
