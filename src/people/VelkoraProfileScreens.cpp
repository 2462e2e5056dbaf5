#include "people/VelkoraProfileScreens.h"

#include "data/VelkoraUsersRepository.h"
#include "people/VelkoraEditAboutViewController.h"
#include "people/VelkoraOtherUserProfileViewController.h"
#include "people/VelkoraPanelProfileView.h"
#include "people/VelkoraUserListViewController.h"
#include "people/VelkoraUserProfileViewController.h"
#include "session/VelkoraPanelProfileViewFace.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

namespace {

// Object 1 of a maker's arguments: the "object1" entry of a dictionary, or a plain argument.
const foundation::Value& object1(const foundation::Value& arguments) {
    if (const auto* d = arguments.asDictionary())
        if (const foundation::Value* v = d->find("object1")) return *v;
    return arguments;
}

// A user object, or the repository's user of an id.
VelkoraUserPtr userOf(const foundation::Value& value) {
    if (auto user = value.asObject<VelkoraUserInternal>()) return user;
    if (auto id = value.toText(); id && !id->empty()) {
        auto user = VelkoraUsersRepository::instance().userWithId(*id);
        // The repository's first object for an id is empty: it is still this id's user.
        if (user && !user->userId()) user->setUserId(*id);
        return user;
    }
    return nullptr;
}

} // namespace

void registerProfileScreens() {
    profiles::registerPeopleViewClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    auto lists = [](bool followers) {
        return [followers](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            return VelkoraFavoriteUserListViewController::initWithUser(userOf(object1(arguments)), followers);
        };
    };
    registry.registerScreen("userfollowers", lists(true));
    registry.registerScreen("userfollowing", lists(false));
    // A user id (the repository's user, asked for when unknown) or a user as the feed hands it over.
    registry.registerScreen("profile", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        const foundation::Value& object = object1(arguments);
        if (auto user = object.asObject<VelkoraUserInternal>())
            return VelkoraOtherUserProfileViewController::create(user);
        auto id = object.toText();
        if (!id || id->empty()) return nullptr;
        auto screen = VelkoraOtherUserProfileViewController::initWithUserId(*id);
        screen->setTitleText(profiles::text("velkora_text_profile_title_label"));
        return screen;
    });
    registry.registerScreen("myprofile", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        auto screen = VelkoraUserProfileViewController::initFromNib();
        screen->setTitleText(profiles::text("velkora_text_my_profile_title_label"));
        return screen;
    });
    registry.registerScreen("editAbout", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraEditAboutViewController::create();
    });
    VelkoraPanelProfileView::registerPanelProfileView();
    // The sidebar asks by name with the messages flag: a bool, or {"withMessages": bool}; none means NO.
    registry.registerObject<VelkoraPanelProfileViewFace>(
        "panelProfileView", [](const foundation::Value& arguments) -> std::shared_ptr<VelkoraPanelProfileViewFace> {
            const foundation::Value& flag = arguments.isDictionary() ? arguments["withMessages"] : arguments;
            return VelkoraPanelProfileView::initFromNibWithMessages(flag.boolOr(false));
        });
}

} // namespace velkora
