// Requests built the way the kit builds them: values escaped with the kit's escaping, queries tagged
// with the kit's time stamp and CRC, pictures in the kit's Base64; sent over loopback HTTPS.
#pragma once

#include <string>
#include <string_view>

#include "ServiceFixture.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraBase64.h"

namespace velkora::service::testing {

class KitRequestTest : public ServiceTest {
protected:
    // `query` is the request text after "?", without the tag; `ts` is the time stamp (the next one unless
    // given: a request sent again with the time stamp of an earlier one is a re-send of it).
    Json kit(const std::string& query, double ts = -1) {
        std::string full = tagRequestText(service().endpoint() + "?" + query, ts < 0 ? nextTimestamp() : ts);
        auto res = client()->Get(full.substr(service().baseUrl().size()).c_str());
        if (!res) return "transport failure";
        Json reply = Json::parse(res->body, nullptr, false);
        return reply.is_discarded() ? Json(res->body) : reply;
    }

    static std::string esc(std::string_view text) { return escapeRequestValue(text); }

    // "&appId=...&userId=..." of the demo application.
    static std::string as(const std::string& user) { return "&appId=" + app() + "&userId=" + user; }

    static std::string kitBase64(std::string_view bytes) { return *base64EncodedStringWithWrapWidth(bytes, 0); }

    // The bytes served at an address the service handed out, or nothing on a failure.
    std::optional<std::string> fetch(const std::string& url) {
        if (url.rfind(service().baseUrl(), 0) != 0) return std::nullopt;
        auto res = client()->Get(url.substr(service().baseUrl().size()).c_str());
        if (!res || res->status != 200) return std::nullopt;
        return res->body;
    }

    static std::string error(const Json& reply) {
        return reply.is_object() && reply.contains("error") && reply["error"].is_string()
                   ? reply["error"].get<std::string>()
                   : std::string();
    }

    // A located user of the demo application, made directly in the database.
    std::string userAt(const std::string& firstName, double longitude, double latitude) {
        UserFields f;
        f.firstName = firstName;
        f.longitude = longitude;
        f.latitude = latitude;
        f.located = true;
        return service().createUser(app(), f);
    }
};

} // namespace velkora::service::testing
