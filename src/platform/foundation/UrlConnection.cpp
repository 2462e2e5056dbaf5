#include "platform/foundation/UrlConnection.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

#include "platform/foundation/RunLoop.h"

namespace velkora::foundation {

namespace {

std::mutex g_caMutex;
std::string g_caFile;  // empty: libcurl's built-in default, the system bundle

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool hasHttpScheme(const std::string& url) {
    auto colon = url.find("://");
    if (colon == std::string::npos) return false;
    std::string_view scheme(url.data(), colon);
    return equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https");
}

int64_t errorCodeFor(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL: return kUrlErrorUnsupportedUrl;
    case CURLE_URL_MALFORMAT: return kUrlErrorBadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return kUrlErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT: return kUrlErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT: return kUrlErrorTimedOut;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE: return kUrlErrorNetworkConnectionLost;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR: return kUrlErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR: return kUrlErrorSecureConnectionFailed;
    case CURLE_TOO_MANY_REDIRECTS: return kUrlErrorTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY: return kUrlErrorBadServerResponse;
    default: return kUrlErrorUnknown;
    }
}

ErrorPtr makeTransportError(int64_t code, const std::string& description, const std::string& url, int curlCode) {
    Dictionary info;
    info.set("description", Value(description));
    info.set("url", Value(url));
    if (curlCode >= 0) info.set("curlCode", Value(curlCode));
    return makeError(kUrlConnectionErrorDomain, code, Value(std::move(info)));
}

}  // namespace

std::string urlScheme(std::string_view url) {
    size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0]))) return {};
    std::string scheme;
    for (char ch : url.substr(0, colon)) {
        auto c = static_cast<unsigned char>(ch);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
        scheme += static_cast<char>(std::tolower(c));
    }
    return scheme;
}

std::string resolveUrl(const std::string& base, const std::string& reference) {
    // Another application's address ("itms-apps://...") is taken as it stands: libcurl's parser knows
    // only the schemes it can fetch.
    std::string scheme = urlScheme(reference);
    if (!scheme.empty() && scheme != "http" && scheme != "https") return reference;
    CURLU* u = curl_url();
    if (!u) return {};
    std::string out;
    unsigned flags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE;
    bool ok = base.empty() || curl_url_set(u, CURLUPART_URL, base.c_str(), flags) == CURLUE_OK;
    if (ok && curl_url_set(u, CURLUPART_URL, reference.c_str(), flags) == CURLUE_OK) {
        char* text = nullptr;
        if (curl_url_get(u, CURLUPART_URL, &text, 0) == CURLUE_OK && text) out = text;
        curl_free(text);
    }
    curl_url_cleanup(u);
    return out;
}

std::string UrlResponse::header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (equalsIgnoringCase(k, name)) return v;
    return {};
}

// The process's one multi handle, polled by the main run loop. libcurl is told which sockets to watch
// and when to wake it; the loop's poll() waits on them. Delegates are never called from inside a libcurl
// callback: the callbacks only gather, and the gathered events are delivered once libcurl has returned,
// so a delegate may cancel or start connections freely.
struct UrlConnection::Impl final : IoSource {
    CURLM* multi = nullptr;
    std::map<curl_socket_t, int> sockets;  // socket -> CURL_POLL_* it waits for
    std::optional<std::chrono::steady_clock::time_point> timerDeadline;
    std::vector<std::shared_ptr<UrlConnection>> active;  // running connections keep themselves alive here
    std::vector<std::shared_ptr<UrlConnection>> waiting;  // background requests not yet handed to libcurl
    std::vector<std::shared_ptr<UrlConnection>> refused;  // ones libcurl would not take, failed at dispatch
    bool registered = false;

    static Impl& instance() {
        static Impl* impl = new Impl();  // never destroyed: the loop may poll during static destruction
        return *impl;
    }

    Impl() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        makeMulti();
    }

    void makeMulti() {
        multi = curl_multi_init();
        curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Impl::socketCallback);
        curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Impl::timerCallback);
        curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
        curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 16L);
    }

    void ensureRegistered() {
        if (registered) return;
        registered = true;
        RunLoop::main().addSource(this);
    }

    static int socketCallback(CURL*, curl_socket_t s, int what, void* userp, void*) {
        auto* self = static_cast<Impl*>(userp);
        if (what == CURL_POLL_REMOVE)
            self->sockets.erase(s);
        else
            self->sockets[s] = what;
        return 0;
    }

    static int timerCallback(CURLM*, long timeoutMs, void* userp) {
        auto* self = static_cast<Impl*>(userp);
        if (timeoutMs < 0)
            self->timerDeadline.reset();
        else
            self->timerDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        return 0;
    }

    // The background requests started so far follow the others to the transport, once those are on
    // their way.
    void handOverWaiting() {
        auto ready = std::move(waiting);
        waiting.clear();
        for (auto& c : ready) {
            if (!c->running_) continue;
            if (curl_multi_add_handle(multi, static_cast<CURL*>(c->easy_)) != CURLM_OK) refused.push_back(c);
        }
    }

    int prepare(std::vector<pollfd>& fds) override {
        for (const auto& [s, what] : sockets) {
            short events = 0;
            if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= POLLIN;
            if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= POLLOUT;
            fds.push_back({s, events, 0});
        }
        if (!waiting.empty()) return 0;
        if (!timerDeadline) return -1;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*timerDeadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<int64_t>(0, left.count()));
    }

    void dispatch(const pollfd* fds, size_t count) override {
        int running = 0;
        bool acted = false;
        for (size_t i = 0; i < count; ++i) {
            if (!fds[i].revents) continue;
            int mask = 0;
            if (fds[i].revents & POLLIN) mask |= CURL_CSELECT_IN;
            if (fds[i].revents & POLLOUT) mask |= CURL_CSELECT_OUT;
            if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) mask |= CURL_CSELECT_ERR;
            curl_multi_socket_action(multi, fds[i].fd, mask, &running);
            acted = true;
        }
        if (timerDeadline && std::chrono::steady_clock::now() >= *timerDeadline) {
            timerDeadline.reset();
            curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &running);
            acted = true;
        }
        if (acted) deliver();
        if (!waiting.empty()) {
            // What the delegates just started goes out first, then the background requests behind it.
            curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &running);
            handOverWaiting();
            curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &running);
            deliver();
        }
        failRefused();
    }

    void failRefused() {
        auto failed = std::move(refused);
        refused.clear();
        for (auto& c : failed) {
            if (!c->running_) continue;
            auto delegate = c->delegate_;
            detach(*c);
            if (delegate)
                delegate->connectionDidFailWithError(
                    *c, makeTransportError(kUrlErrorUnknown, "libcurl refused the transfer", c->request_.url, -1));
        }
    }

    static size_t writeCallback(char* data, size_t size, size_t n, void* userp) {
        auto* c = static_cast<UrlConnection*>(userp);
        c->received_ += size * n;
        if (c->received_ > kMaxReplyBytes) {
            c->tooLarge_ = true;
            return 0; // libcurl ends the transfer with a write error
        }
        c->pendingData_.append(data, size * n);
        return size * n;
    }

    static size_t headerCallback(char* data, size_t size, size_t n, void* userp) {
        auto* c = static_cast<UrlConnection*>(userp);
        std::string_view line(data, size * n);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.starts_with("HTTP/")) {
            c->response_.headers.clear();  // a new response (after a redirect or a 100 Continue)
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            c->response_.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
        }
        return size * n;
    }

    void flush(const std::shared_ptr<UrlConnection>& c) {
        if (!c->running_) return;
        if (!c->responseDelivered_ && !c->pendingData_.empty()) deliverResponse(c);
        if (!c->running_ || c->pendingData_.empty()) return;
        std::string chunk;
        chunk.swap(c->pendingData_);
        auto delegate = c->delegate_;
        if (delegate)
            delegate->connectionDidReceiveData(*c, reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size());
    }

    void deliverResponse(const std::shared_ptr<UrlConnection>& c) {
        c->responseDelivered_ = true;
        long status = 0;
        char* effective = nullptr;
        curl_easy_getinfo(static_cast<CURL*>(c->easy_), CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(static_cast<CURL*>(c->easy_), CURLINFO_EFFECTIVE_URL, &effective);
        c->response_.statusCode = status;
        c->response_.url = effective ? effective : c->request_.url;
        auto delegate = c->delegate_;
        if (delegate) delegate->connectionDidReceiveResponse(*c, c->response_);
    }

    void deliver() {
        // Resolved to connections at once: a delegate called below may free a handle whose address a new
        // transfer then reuses.
        std::vector<std::pair<std::shared_ptr<UrlConnection>, CURLcode>> done;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            auto it = std::find_if(active.begin(), active.end(),
                                   [easy = msg->easy_handle](auto& c) { return c->easy_ == easy; });
            if (it != active.end()) done.emplace_back(*it, msg->data.result);
        }

        auto snapshot = active;
        for (auto& c : snapshot) flush(c);

        for (auto& [c, result] : done) {
            flush(c);
            if (!c->running_) continue;
            if (result == CURLE_OK && !c->responseDelivered_) deliverResponse(c);
            if (!c->running_) continue;
            std::string description = c->errorBuffer_[0] ? c->errorBuffer_ : curl_easy_strerror(result);
            int64_t code = errorCodeFor(result);
            if (result != CURLE_OK && (c->tooLarge_ || result == CURLE_FILESIZE_EXCEEDED)) {
                code = kUrlErrorBadServerResponse;
                description = "the reply is larger than " + std::to_string(kMaxReplyBytes) + " bytes";
            }
            auto delegate = c->delegate_;
            detach(*c);
            if (!delegate) continue;
            if (result == CURLE_OK)
                delegate->connectionDidFinishLoading(*c);
            else
                delegate->connectionDidFailWithError(*c,
                                                     makeTransportError(code, description, c->request_.url, result));
        }
    }

    // Ends the transfer and lets go of the delegate; the socket goes back to the pool when it is reusable.
    void detach(UrlConnection& c) {
        c.running_ = false;
        if (c.easy_) {
            curl_multi_remove_handle(multi, static_cast<CURL*>(c.easy_));
            curl_easy_cleanup(static_cast<CURL*>(c.easy_));
            c.easy_ = nullptr;
        }
        if (c.headerList_) {
            curl_slist_free_all(static_cast<curl_slist*>(c.headerList_));
            c.headerList_ = nullptr;
        }
        c.delegate_.reset();
        c.pendingData_.clear();
        std::erase_if(active, [&c](auto& p) { return p.get() == &c; });
        std::erase_if(waiting, [&c](auto& p) { return p.get() == &c; });
    }
};

UrlConnection::UrlConnection(UrlRequest request, std::shared_ptr<UrlConnectionDelegate> delegate)
    : request_(std::move(request)), delegate_(std::move(delegate)) {}

UrlConnection::~UrlConnection() {
    if (easy_) curl_easy_cleanup(static_cast<CURL*>(easy_));
    if (headerList_) curl_slist_free_all(static_cast<curl_slist*>(headerList_));
}

std::shared_ptr<UrlConnection> UrlConnection::start(UrlRequest request, std::shared_ptr<UrlConnectionDelegate> delegate,
                                                    ErrorPtr* whyNot) {
    auto refuse = [&](int64_t code, const std::string& why) -> std::shared_ptr<UrlConnection> {
        if (whyNot) *whyNot = makeTransportError(code, why, request.url, -1);
        return nullptr;
    };
    if (!hasHttpScheme(request.url)) return refuse(kUrlErrorUnsupportedUrl, "only http and https addresses are supported");
    if (request.url.find_first_of(std::string_view("\0\r\n ", 4)) != std::string::npos)
        return refuse(kUrlErrorBadUrl, "the address holds a space or a control character");
    bool isPost = request.method == "POST";
    if (!isPost && request.method != "GET") return refuse(kUrlErrorUnsupportedUrl, "unsupported method " + request.method);

    Impl& impl = Impl::instance();
    CURL* easy = curl_easy_init();
    if (!easy) return refuse(kUrlErrorUnknown, "libcurl could not make a handle");

    auto c = std::shared_ptr<UrlConnection>(new UrlConnection(std::move(request), std::move(delegate)));
    c->easy_ = easy;
    const UrlRequest& r = c->request_;
    curl_easy_setopt(easy, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, c.get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, c->errorBuffer_);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A transfer ended while its host name is still being looked up leaves the look-up to finish on its
    // own thread; otherwise ending it (a cancelled picture, say) holds the main loop until the name server
    // answers or gives up, seconds later.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A request made over https stays on https: a redirect to plain http would hand the request and its
    // reply to anyone on the way.
    std::string_view scheme(r.url.data(), r.url.find("://"));
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, equalsIgnoringCase(scheme, "https") ? "https" : "http,https");
    // A reply that announces its size is refused before its body comes when that size is too large.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, r.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    // Never relaxed: a server whose certificate does not chain to the configured CA is refused.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    std::string ca = caFile();
    if (!ca.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, ca.c_str());
    // The platform's default: give up after a minute of silence rather than hang.
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 60L);
    // Servers commonly close an idle keep-alive connection after five seconds; a request written into one
    // just as it closes is lost with no reply to tell whether it ran. Idle connections are not reused past
    // two seconds, so a request never races the server's close.
    curl_easy_setopt(easy, CURLOPT_MAXAGE_CONN, 2L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::writeCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, c.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::headerCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, c.get());

    curl_slist* headers = nullptr;
    for (const auto& [k, v] : r.headers) headers = curl_slist_append(headers, (k + ": " + v).c_str());
    if (isPost) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.empty() ? "" : reinterpret_cast<const char*>(r.body.data()));
        // A round trip for "100 Continue" would only slow every larger form down.
        headers = curl_slist_append(headers, "Expect:");
    }
    c->headerList_ = headers;
    if (headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    if (r.background) {
        impl.waiting.push_back(c);
    } else if (curl_multi_add_handle(impl.multi, easy) != CURLM_OK) {
        c->delegate_.reset();
        return refuse(kUrlErrorUnknown, "libcurl refused the transfer");
    }
    c->running_ = true;
    impl.active.push_back(c);
    impl.ensureRegistered();
    RunLoop::main().wakeUp();
    return c;
}

void UrlConnection::cancel() {
    if (!running_) {
        delegate_.reset();
        return;
    }
    auto keep = shared_from_this();  // detach drops the pool's reference
    Impl::instance().detach(*this);
}

void UrlConnection::setCaFile(std::string path) {
    std::lock_guard lock(g_caMutex);
    g_caFile = std::move(path);
}

std::string UrlConnection::caFile() {
    std::lock_guard lock(g_caMutex);
    return g_caFile;
}

size_t UrlConnection::activeCount() { return Impl::instance().active.size(); }

bool UrlConnection::closeIdleConnections() {
    Impl& impl = Impl::instance();
    if (!impl.active.empty()) return false;
    // The pool lives in the multi handle: a new handle starts with none.
    curl_multi_cleanup(impl.multi);
    impl.sockets.clear();
    impl.timerDeadline.reset();
    impl.makeMulti();
    return true;
}

}  // namespace velkora::foundation
