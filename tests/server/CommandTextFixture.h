// What the command tests read back from the service: request texts without their tag, and the user a
// test builds field by field.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ServerClientFixture.h"

namespace velkora::testing {

// The request text without its time stamp and CRC.
inline std::string untagged(const service::RecordedRequest& r) { return r.query.substr(0, r.query.find("&ts=")); }

inline VelkoraUserPtr userWith(const std::function<void(VelkoraUserInternal&)>& fill) {
    auto u = std::make_shared<VelkoraUserInternal>();
    fill(*u);
    return u;
}

class CommandTextTest : public ServerClientTest {
protected:
    std::string me() { return *agent().userId(); }
    // The text of the latest request of the command, once it and everything in flight is done.
    std::string lastText(const std::string& command) {
        EXPECT_TRUE(waitForRequests(command, 1)) << command;
        auto all = svc.requestsFor(command);
        return all.empty() ? std::string() : untagged(all.back());
    }
};

}  // namespace velkora::testing
