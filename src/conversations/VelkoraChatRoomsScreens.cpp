#include "conversations/VelkoraChatRoomsScreens.h"

#include "conversations/VelkoraChatRoomsTopicCells.h"
#include "conversations/VelkoraChatRoomsTopicViewController.h"
#include "conversations/VelkoraChatRoomsViewController.h"
#include "session/VelkoraScreenRegistry.h"

namespace velkora {

void registerChatRoomsScreens() {
    registerChatRoomsViewClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("blog", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraChatRoomsViewController::initFromNib(true);
    });
    registry.registerScreen("blogTopic", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        // A dictionary of arguments names its objects whether or not it says how the screen is shown.
        const bool named =
            arguments.isDictionary() && arguments.asDictionary()->contains(VelkoraScreenArguments::kObject1);
        const foundation::Value& object1 =
            named ? arguments[VelkoraScreenArguments::kObject1] : VelkoraScreenArguments::object1(arguments);
        const foundation::Value& object2 = VelkoraScreenArguments::object2(arguments);
        int32_t topicId = object1.int32Or(0);
        if (topicId == 0)
            if (auto t = object1.toText()) topicId = static_cast<int32_t>(std::strtol(t->c_str(), nullptr, 10));
        std::optional<std::string> objectId;
        if (auto o = object2.toText(); o && !o->empty()) objectId = *o;
        return VelkoraChatRoomsTopicViewController::initFromNibWithTopicId(topicId, objectId);
    });
}

} // namespace velkora
