// What the command tests share: the texts the service logged, a caller waited on until answered, and
// another user's poll asked straight from the service.
#pragma once

#include <nlohmann/json.hpp>

#include "ServerClientFixture.h"
#include "server/utils/RequestText.h"

namespace velkora::testing {

class CommandTest : public ServerClientTest {
protected:
    using Json = nlohmann::json;

    static std::string withoutTag(const std::string& query) { return query.substr(0, query.find("&ts=")); }
    // The last request of a command, without its time stamp and tag.
    std::string lastText(const std::string& command) const {
        auto all = svc.requestsFor(command);
        return all.empty() ? "<none>" : withoutTag(all.back().query);
    }
    // What another user's update poll answers, asked straight from the service.
    Json otherPoll(const std::string& user, const std::string& parameters) {
        std::string text = tagRequestText(svc.endpoint() + "?command=update&clientType=1&build=2.5.7&appId=" + kApp +
                                          "&deviceId=d&userId=" + user + parameters + "&logs=&protocolVersion=15");
        auto reply = svc.answer("GET", "/VelkoraServer2/api" + text.substr(svc.endpoint().size()));
        return Json::parse(reply.body, nullptr, false);
    }
    // Makes the call with a fresh caller and waits until it is answered or fails.
    std::shared_ptr<Caller> answered(const std::function<void(VelkoraCallback)>& call) {
        auto caller = std::make_shared<Caller>();
        call(Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        EXPECT_TRUE(settle());
        return caller;
    }
};

}  // namespace velkora::testing
