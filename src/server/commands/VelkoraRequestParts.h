// Pieces every command's request text is made of, shared by the protocol object's command files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "server/VelkoraProtocolWrapper.h"
#include "server/utils/RequestText.h"

namespace velkora::request {

// An absent text goes out as nothing, never as "(null)".
inline std::string str(const std::optional<std::string>& s) { return s.value_or(""); }
inline std::string num(int64_t v) { return std::to_string(v); }
inline const char* flag(bool b) { return b ? "1" : "0"; }
// A free-text value, escaped; absent text goes out empty.
inline std::string escaped(const std::optional<std::string>& s) { return escapeRequestValue(s.value_or("")); }
inline bool missing(const std::optional<std::string>& s) { return !s || s->empty(); }

// The command's text up to its own parameters: "<endpoint>?command=NAME&clientType=1&build=2.5.7".
inline std::string head(const char* command) {
    return VelkoraProtocolWrapper::endpoint() + "?command=" + command + "&clientType=" +
           std::to_string(kVelkoraClientType) + "&build=" + kVelkoraBuild;
}

// The command's text without clientType and build: "<endpoint>?command=NAME".
inline std::string bareHead(const char* command) {
    return VelkoraProtocolWrapper::endpoint() + "?command=" + command;
}

inline bool idsMissing(const std::optional<std::string>& appId, const std::optional<std::string>& userId) {
    return missing(appId) || missing(userId);
}
// "&appId=A&userId=U"; both must be present.
inline std::string ids(const std::optional<std::string>& appId, const std::optional<std::string>& userId) {
    return "&appId=" + *appId + "&userId=" + *userId;
}

// What closes a form that carries a picture: the time it was made and a number drawn for it. A second
// send of the same picture is then a new request to the service, while the fetcher's re-send of this
// one (the same body) is the same request, answered from the service's record instead of stored twice.
std::string pictureFormTag();

// What getUserData and getOtherUserData append: the protocol level and the device.
std::string deviceParameters();

}  // namespace velkora::request

namespace velkora::commands {

// The objects as the array a caller is answered with.
template <class T>
foundation::Value objectsValue(const std::vector<std::shared_ptr<T>>& objects) {
    foundation::Array array;
    array.reserve(objects.size());
    for (const auto& o : objects) array.push_back(foundation::Value::object(o));
    return foundation::Value(std::move(array));
}

}  // namespace velkora::commands
