// The profile and user-list screens against velkora-service: a fresh kit and service per test, a session
// started for a new user whose data the kit holds, the kit's interface files and classes, the screens
// registered, and a host window with a navigation stack to push them on. Everything runs on the test clock.
#pragma once

#include "server/ServerClientFixture.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "support/ScreenFixture.h"

namespace velkora::testing {

// The text of a notice showing in any window, or "".
inline std::string toastShowing() {
    std::function<std::string(const ui::View&)> find = [&](const ui::View& v) -> std::string {
        if (auto* toast = dynamic_cast<const VelkoraDefaultNotificationPopupView*>(&v))
            if (toast->titleLabel() && !v.isHidden()) return toast->titleLabel()->text();
        for (const auto& s : v.subviews())
            if (auto t = find(*s); !t.empty()) return t;
        return "";
    };
    for (const auto& w : ui::Application::instance().windows())
        if (!w->isHidden())
            if (auto t = find(*w); !t.empty()) return t;
    return "";
}

class ProfilesTest : public ScreenFixture<ServerClientTest> {
protected:
    // A session for a new user, with a name so the user counts as signed in, and the kit holding that
    // user's data as the service answers it.
    void startSignedIn(const std::string& firstName = "Vera", const std::string& lastName = "Viewer") {
        startNewUser();
        me_ = *VelkoraServerClientAgent::instance().userId();
        loadMyData();
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        me->setFirstName(firstName);
        me->setLastName(lastName);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }

    std::string me_;
};

} // namespace velkora::testing
