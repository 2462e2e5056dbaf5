#include "feed/VelkoraFeedScreens.h"

#include "data/VelkoraUsersRepository.h"
#include "feed/VelkoraFeedViewController.h"
#include "feed/VelkoraSuggestedUserViewController.h"
#include "session/VelkoraScreenRegistry.h"

namespace velkora {

namespace {

VelkoraUserPtr userOf(const foundation::Value& value) {
    if (auto user = value.asObject<VelkoraUserInternal>()) return user;
    if (auto id = value.toText(); id && !id->empty()) {
        auto user = VelkoraUsersRepository::instance().userWithId(*id);
        if (user && !user->userId()) user->setUserId(*id);
        return user;
    }
    return nullptr;
}

} // namespace

void registerFeedScreens() {
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("feed", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraFeedViewController::initFromNib(false);
    });
    registry.registerScreen("userPosts", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        // {"object1": …} as the profiles and tests pass it, the session's arguments, or the user itself.
        const foundation::Value* object = &VelkoraScreenArguments::object1(arguments);
        if (const auto* d = object->asDictionary())
            if (const foundation::Value* v = d->find(VelkoraScreenArguments::kObject1)) object = v;
        auto user = userOf(*object);
        if (!user) return nullptr;
        auto screen = VelkoraFeedViewController::initFromNib(false);
        screen->setOneUser(user);
        return screen;
    });
    registry.registerScreen("suggestedUsers", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraSuggestedUserViewController::initFromNib();
    });
}

} // namespace velkora
