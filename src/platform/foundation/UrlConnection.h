// Asynchronous HTTP(S) requests on libcurl's multi interface, driven by the main run loop. One multi
// handle serves the whole process, so connections (and their TLS sessions) are kept alive and reused
// between requests to the same host. Server certificates are always verified against the configured CA
// file; there is no way to turn that off.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"

namespace velkora::foundation {

// Failures of the transport carry this domain; the codes follow the platform's URL error codes so log
// lines read the same as on a device.
inline constexpr const char* kUrlConnectionErrorDomain = "UrlConnectionErrorDomain";

enum UrlConnectionErrorCode : int64_t {
    kUrlErrorUnknown = -1,
    kUrlErrorCancelled = -999,
    kUrlErrorBadUrl = -1000,
    kUrlErrorTimedOut = -1001,
    kUrlErrorUnsupportedUrl = -1002,
    kUrlErrorCannotFindHost = -1003,
    kUrlErrorCannotConnectToHost = -1004,
    kUrlErrorNetworkConnectionLost = -1005,
    kUrlErrorTooManyRedirects = -1007,
    kUrlErrorBadServerResponse = -1011,
    kUrlErrorSecureConnectionFailed = -1200,
    kUrlErrorServerCertificateUntrusted = -1202,
    kUrlErrorNotConnectedToInternet = -1009,
};

struct UrlRequest {
    std::string url;
    std::string method = "GET";  // "GET" or "POST"
    std::vector<uint8_t> body;   // sent as a form (application/x-www-form-urlencoded) when the method is POST
    std::vector<std::pair<std::string, std::string>> headers;
    // Off: a redirect ends the request with its own status and Location header, so the caller decides
    // about the hop (an address of another application's scheme cannot be fetched at all).
    bool followRedirects = true;
    // A background request (a poll) is handed to the transport at the loop's next turn, after the
    // requests started with it, so the service meets the ones a user or a host waits for first.
    bool background = false;

    static UrlRequest get(std::string url) { return UrlRequest{std::move(url), "GET", {}, {}}; }
    static UrlRequest post(std::string url, std::vector<uint8_t> body) {
        return UrlRequest{std::move(url), "POST", std::move(body), {}};
    }
};

struct UrlResponse {
    long statusCode = 0;
    std::string url;  // the final address, after redirects
    std::vector<std::pair<std::string, std::string>> headers;

    // First header with that name, compared without regard to case; empty when absent.
    std::string header(std::string_view name) const;
};

// An address's scheme in lower case ("https", "itms-apps"); empty when the text has none.
std::string urlScheme(std::string_view url);
// A reference (absolute, or relative as links and Location headers give it) resolved against a base
// address; empty when neither makes an address.
std::string resolveUrl(const std::string& base, const std::string& reference);

class UrlConnection;

// The connection keeps its delegate alive while the request runs and lets go of it when the request
// ends or is cancelled. Calls arrive on the main run loop's thread: a response, then data chunks, then
// exactly one of finish or failure. After cancel() nothing more arrives.
class UrlConnectionDelegate {
public:
    virtual ~UrlConnectionDelegate() = default;
    virtual void connectionDidReceiveResponse(UrlConnection&, const UrlResponse&) {}
    virtual void connectionDidReceiveData(UrlConnection&, const uint8_t* /*data*/, size_t /*size*/) {}
    virtual void connectionDidFinishLoading(UrlConnection&) {}
    virtual void connectionDidFailWithError(UrlConnection&, const ErrorPtr&) {}
};

class UrlConnection : public std::enable_shared_from_this<UrlConnection> {
public:
    // A reply body past this size ends the request with kUrlErrorBadServerResponse: nothing the kit asks
    // for comes near it, and a body without end must not take the process's memory.
    static constexpr size_t kMaxReplyBytes = 32u * 1024 * 1024;

    // Starts the request at once (a background one at the loop's next turn). Answers null, with the reason in `whyNot` when given, when the request
    // cannot be made at all (an address that is not http or https, an unknown method).
    static std::shared_ptr<UrlConnection> start(UrlRequest request, std::shared_ptr<UrlConnectionDelegate> delegate,
                                                ErrorPtr* whyNot = nullptr);

    ~UrlConnection();
    UrlConnection(const UrlConnection&) = delete;
    UrlConnection& operator=(const UrlConnection&) = delete;

    // Stops the request; the delegate hears nothing more and is released. Safe from inside a callback.
    void cancel();
    bool isRunning() const { return running_; }
    const UrlRequest& request() const { return request_; }

    // The CA bundle every connection verifies servers against; empty means the system's bundle.
    static void setCaFile(std::string path);
    static std::string caFile();

    // Connections in flight (for tests and for the host's shutdown).
    static size_t activeCount();
    // Closes the kept-alive connections when no request runs (a host going to background, a test whose
    // server is about to stop); answers false, closing nothing, while requests are in flight.
    static bool closeIdleConnections();

    struct Impl;

private:
    UrlConnection(UrlRequest request, std::shared_ptr<UrlConnectionDelegate> delegate);
    friend struct Impl;

    UrlRequest request_;
    std::shared_ptr<UrlConnectionDelegate> delegate_;
    void* easy_ = nullptr;  // CURL*
    void* headerList_ = nullptr;  // curl_slist*
    bool running_ = false;
    bool responseDelivered_ = false;
    size_t received_ = 0;
    bool tooLarge_ = false;
    std::string pendingData_;
    UrlResponse response_;
    char errorBuffer_[256] = {};
};

}  // namespace velkora::foundation
