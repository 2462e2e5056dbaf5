#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/VelkoraUserInternal.h"

namespace velkora {

// The identity map of users: every parsed user passes through `userWithId`, so one id is one object for
// the life of the process (until `reset`, on sign-out).
class VelkoraUsersRepository {
public:
    static VelkoraUsersRepository& instance();

    // The user stored under the id; a new empty user (not even its id set) is stored and returned when
    // there is none.
    VelkoraUserPtr userWithId(const std::string& userId);
    void reset();

    const std::unordered_map<std::string, VelkoraUserPtr>& users() const { return users_; }
    void setUsers(std::unordered_map<std::string, VelkoraUserPtr> users) { users_ = std::move(users); }
    const std::vector<VelkoraUserPtr>& nearbyUsers() const { return nearbyUsers_; }
    void setNearbyUsers(std::vector<VelkoraUserPtr> users) { nearbyUsers_ = std::move(users); }

private:
    VelkoraUsersRepository();
    std::unordered_map<std::string, VelkoraUserPtr> users_;
    std::vector<VelkoraUserPtr> nearbyUsers_;
};

}  // namespace velkora
