#include "conversations/VelkoraChatScreens.h"

#include "conversations/VelkoraChatOneViewController.h"
#include "conversations/VelkoraChatOutbox.h"
#include "conversations/VelkoraFullScreenImageViewController.h"
#include "session/VelkoraScreenRegistry.h"

namespace velkora {

namespace {

// Object 1 of the arguments, also from a dictionary that names only it (as other screens push features).
const foundation::Value& objectOf(const foundation::Value& arguments) {
    if (arguments.isDictionary() && arguments.asDictionary()->contains(VelkoraScreenArguments::kObject1))
        return arguments[VelkoraScreenArguments::kObject1];
    return VelkoraScreenArguments::object1(arguments);
}

} // namespace

void registerChatScreens() {
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("chat", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        const foundation::Value& object = objectOf(arguments);
        if (auto user = object.asObject<VelkoraUserInternal>()) {
            if (user->userId() && user->appId()) return VelkoraChatOneViewController::create(user);
            if (user->userId()) return VelkoraChatOneViewController::initFromNibWithUserId(*user->userId());
            return nullptr;
        }
        auto id = object.toText();
        if (!id || id->empty()) return nullptr;
        return VelkoraChatOneViewController::initFromNibWithUserId(*id);
    });
    registry.registerScreen("fullScreenImage",
                            [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
                                auto url = objectOf(arguments).toText();
                                if (!url || url->empty()) return nullptr;
                                return VelkoraFullScreenImageViewController::initFromNibWithImageUrl(*url);
                            });
    // Unsent messages go out on the network's return with no chat on screen, so the box starts with the
    // session.
    registry.addUserDataDuty("VelkoraChatOutbox", [] { VelkoraChatOutbox::instance().start(); });
}

} // namespace velkora
