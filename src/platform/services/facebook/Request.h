// A request to the Facebook graph with the session's token. The answer comes on the main run loop:
// the reply read as JSON, or an error (code 5 of the library's domain for an HTTP failure, with the
// graph's own error object and status in its user info).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora::services::facebook {

class Session;

// User-info keys of a graph failure.
inline constexpr const char* kErrorParsedJSONKey = "com.facebook.sdk:ParsedJSONResponseKey";
inline constexpr const char* kErrorHTTPStatusCodeKey = "com.facebook.sdk:HTTPStatusCode";

class Request : public std::enable_shared_from_this<Request> {
public:
    using Parameters = std::vector<std::pair<std::string, std::string>>;
    using Handler = std::function<void(const foundation::Value& result, const foundation::ErrorPtr& error)>;

    // `graphPath` may carry its own query ("me/friends?limit=5000&offset=0").
    static std::shared_ptr<Request> create(std::shared_ptr<Session> session, std::string graphPath,
                                           Parameters parameters = {}, std::string httpMethod = "GET");
    // "me" with the active session.
    static std::shared_ptr<Request> requestForMe();
    static std::shared_ptr<Request> requestForGraphPath(std::string graphPath);

    const std::string& graphPath() const { return graphPath_; }
    // The whole address, token included.
    std::string url() const;

    // The handler runs once, on the main run loop.
    void startWithCompletionHandler(Handler handler);

private:
    Request(std::shared_ptr<Session> session, std::string graphPath, Parameters parameters, std::string method)
        : session_(std::move(session)), graphPath_(std::move(graphPath)), parameters_(std::move(parameters)),
          method_(std::move(method)) {}
    std::shared_ptr<Session> session_;
    std::string graphPath_;
    Parameters parameters_;
    std::string method_;
};

} // namespace velkora::services::facebook
