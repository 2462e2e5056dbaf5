// One HTTP request at a time for one client, with the kit's retry modes and the offline park.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/Value.h"

namespace velkora::ui {
class Image;
}

namespace velkora {

class VelkoraUrlFetcher;

inline constexpr const char* kUrlFetcherWrongResponseCodeDomain = "UrlFetcher wrong responseCode";

// The client's side. Only urlGotError must be answered; a client implements the finish callback of the
// result kind it asks for.
class VelkoraUrlFetcherDelegate {
public:
    virtual ~VelkoraUrlFetcherDelegate() = default;
    virtual void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) = 0;
    // The body as UTF-8 text; empty optional when the body is not valid UTF-8.
    virtual void urlDidFinishWithString(VelkoraUrlFetcher&, const std::optional<std::string>& /*text*/) {}
    // The body decoded as a picture; null when it does not decode.
    virtual void urlDidFinishWithImage(VelkoraUrlFetcher&, const std::shared_ptr<ui::Image>& /*image*/) {}
    virtual void urlDidFinishWithData(VelkoraUrlFetcher&, const std::vector<uint8_t>& /*data*/) {}
};

class VelkoraUrlFetcher : public std::enable_shared_from_this<VelkoraUrlFetcher> {
public:
    // initWithDelegate: the delegate is not kept alive by the fetcher. Retry mode 0.
    static std::shared_ptr<VelkoraUrlFetcher> create(std::weak_ptr<VelkoraUrlFetcherDelegate> delegate = {});
    ~VelkoraUrlFetcher();
    VelkoraUrlFetcher(const VelkoraUrlFetcher&) = delete;
    VelkoraUrlFetcher& operator=(const VelkoraUrlFetcher&) = delete;

    void getUrl(const std::string& url);
    void getImageUrl(const std::string& url);
    void getDataUrl(const std::string& url);
    void getUrlWithPostData(const std::string& url, std::vector<uint8_t> postData);
    void getUrlWithPostData(const std::string& url, const std::string& postData);

    // Stops the request and detaches the client; nothing is delivered afterwards.
    void cancel();
    // Sends the last request again (the retry timer and the offline park call it).
    void retry();

    std::shared_ptr<VelkoraUrlFetcherDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraUrlFetcherDelegate> d) { delegate_ = std::move(d); }
    // A background fetcher's requests (the poll's) leave the wire to the ones started with them.
    bool isBackground() const { return background_; }
    void setBackground(bool background) { background_ = background; }
    int32_t retryMode() const { return retryMode_; }
    void setRetryMode(int32_t mode) { retryMode_ = mode; }
    const foundation::Value& userData() const { return userData_; }
    void setUserData(foundation::Value v) { userData_ = std::move(v); }
    const std::vector<uint8_t>* responseData() const { return responseData_ ? &*responseData_ : nullptr; }
    const std::shared_ptr<foundation::UrlConnection>& connection() const { return connection_; }
    const std::optional<std::vector<uint8_t>>& httpBody() const { return httpBody_; }
    const std::string& requestUrl() const { return requestUrl_; }
    bool resultIsImage() const { return resultIsImage_; }
    bool resultIsData() const { return resultIsData_; }
    int32_t nRetries() const { return nRetries_; }
    const std::shared_ptr<foundation::Timer>& retryTimer() const { return retryTimer_; }

    // Whether the sidebar panel shows (the session's gesture handler answers it once it exists); a
    // request parked in retry mode 1 alerts the user only then. False until set.
    static void setMenuVisibleProvider(std::function<bool()> provider);
    // Shows the one-button system alert (title, message, button). Until the interface layer sets it, the
    // alert is only logged.
    static void setAlertPresenter(std::function<void(const std::string&, const std::string&, const std::string&)> presenter);

private:
    class ConnectionDelegate;
    friend class ConnectionDelegate;

    explicit VelkoraUrlFetcher(std::weak_ptr<VelkoraUrlFetcherDelegate> delegate) : delegate_(std::move(delegate)) {}

    // A request the client starts supersedes whatever the fetcher was doing; a re-send continues it.
    void start(const std::string& url, std::optional<std::vector<uint8_t>> body, bool fresh);
    void supersede();
    void handleNoInternetConnection();
    void clean();
    void reportLater(foundation::ErrorPtr error);

    void didReceiveResponse(foundation::UrlConnection& c, const foundation::UrlResponse& response);
    void didReceiveData(foundation::UrlConnection& c, const uint8_t* data, size_t size);
    void didFinishLoading(foundation::UrlConnection& c);
    void didFailWithError(foundation::UrlConnection& c, const foundation::ErrorPtr& error);

    std::weak_ptr<VelkoraUrlFetcherDelegate> delegate_;
    bool resultIsImage_ = false;
    bool resultIsData_ = false;
    std::optional<std::vector<uint8_t>> responseData_;
    foundation::Value userData_;
    std::shared_ptr<foundation::UrlConnection> connection_;
    std::optional<std::vector<uint8_t>> httpBody_;
    std::string requestUrl_;
    int32_t retryMode_ = 0;
    bool background_ = false;
    int32_t nRetries_ = 0;
    std::shared_ptr<foundation::Timer> retryTimer_;
    // Grows with every request and every cancel, so a report posted for an earlier one is dropped.
    uint64_t generation_ = 0;
};

}  // namespace velkora
