// The find, invite and radar screens against velkora-service over loopback HTTPS: the account screens'
// fixture (the service, the social stand-ins, Dana's device, a host window with a navigation stack), a
// configuration with the radar and the invitations, the friends repository emptied, and helpers to sign
// the user in and to make people of the service.
#pragma once

#include <string>
#include <vector>

#include "account/AccountFixture.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "server/utils/VelkoraLogEventsManager.h"

namespace velkora::testing {

class FriendsTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        VelkoraSNFriendsRepository::instance().setFacebookFriends({});
        VelkoraSNFriendsRepository::instance().setTwitterFriends({});
    }
    void TearDown() override {
        VelkoraSNFriendsRepository::instance().setFacebookFriends({});
        VelkoraSNFriendsRepository::instance().setTwitterFriends({});
        AccountTest::TearDown();
    }

    // The configuration of these tests: the radar and the invitations on, distances in `units` ("K" or
    // "M"), the e-mail invitation's subject and text, and `extra` members appended as they are.
    std::string friendsConfiguration(const std::string& units = "K", const std::string& extra = {}) {
        std::string json = configurationJson(false, svc.baseUrl());
        json.pop_back();
        json += R"(,"distanceUnits":")" + units + R"(","mailInviteSubject":"Join me on Velkora",)";
        json += R"("mailInviteText":"Come and play with me.",)";
        json += R"("features":[{"id":"invite","name":"Invite"},{"id":"radar","name":"Radar"}])";
        return json + extra + "}";
    }
    // The session's user gets a name, on the service too, so they count as signed in.
    void signIn(const std::string& first = "Vera", const std::string& last = "Viewer") {
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        ASSERT_TRUE(me);
        me->setFirstName(first);
        me->setLastName(last);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }
    std::string myId() const { return VelkoraServerClientAgent::instance().userId().value_or(""); }

    // A user as the service's replies hold them, for the repository's lists.
    static VelkoraUserPtr person(const std::string& id, const std::string& first, const std::string& last = {},
                                 int followers = 0) {
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setUserId(id);
        u->setAppId(std::string(kApp));
        u->setFirstName(first);
        u->setLastName(last);
        u->setNumFollowers(followers);
        return u;
    }
    // People of the service, made in one go; their ids in order.
    std::vector<VelkoraUserPtr> servicePeople(int n, const std::string& prefix) {
        std::vector<service::UserFields> fields;
        for (int i = 0; i < n; ++i) {
            service::UserFields f;
            f.firstName = prefix + (i < 10 ? "0" : "") + std::to_string(i);
            f.lastName = "Friend";
            fields.push_back(f);
        }
        std::vector<VelkoraUserPtr> out;
        const auto ids = svc.createUsers(kApp, fields);
        for (size_t i = 0; i < ids.size(); ++i)
            out.push_back(person(ids[i], fields[i].firstName, fields[i].lastName));
        return out;
    }
    // Logged and not yet sent, or sent with a poll since.
    bool eventLogged(const std::string& event) const { return eventsLogged(event) > 0; }
    size_t eventsLogged(const std::string& event) const {
        size_t n = 0;
        for (const auto& e : VelkoraLogEventsManager::instance().loggedEvents())
            n += e.rfind(event + ";", 0) == 0;
        std::string escaped;
        for (char c : event)
            escaped += c == ';' ? std::string("%3B") : std::string(1, c);
        for (const auto& r : svc.requests())
            for (const std::string& form : {event + ";", escaped + "%3B"})
                for (size_t at = r.query.find(form); at != std::string::npos; at = r.query.find(form, at + 1))
                    ++n;
        return n;
    }
    // The screens pushed onto the host's stack, by class name.
    std::vector<std::string> stack() const {
        std::vector<std::string> names;
        for (const auto& c : nav->viewControllers())
            names.emplace_back(c->className());
        return names;
    }
};

} // namespace velkora::testing
