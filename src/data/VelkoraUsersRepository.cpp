#include "data/VelkoraUsersRepository.h"

namespace velkora {

VelkoraUsersRepository::VelkoraUsersRepository() {
    users_.reserve(5);
    nearbyUsers_.reserve(5);
}

VelkoraUsersRepository& VelkoraUsersRepository::instance() {
    static VelkoraUsersRepository repository;
    return repository;
}

VelkoraUserPtr VelkoraUsersRepository::userWithId(const std::string& userId) {
    auto& slot = users_[userId];
    if (!slot) slot = std::make_shared<VelkoraUserInternal>();
    return slot;
}

void VelkoraUsersRepository::reset() {
    users_.clear();
    nearbyUsers_.clear();
}

}  // namespace velkora
