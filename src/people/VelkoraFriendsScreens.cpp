#include "people/VelkoraFriendsScreens.h"

#include "people/VelkoraFindFriendsSelctionViewController.h"
#include "people/VelkoraFindFriendsViewController.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "people/VelkoraRadarListView.h"
#include "people/VelkoraRadarMapViewController.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

namespace friends {

void registerFriendsViewClasses() {
    profiles::registerPeopleViewClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.hasClass("VelkoraInviteViewCell")) return;
    loader.registerClass("VelkoraInviteViewCell", [] { return std::make_shared<VelkoraInviteViewCell>(); });
    loader.registerClass("VelkoraFindFriendsCell", [] { return std::make_shared<VelkoraFindFriendsCell>(); });
    loader.registerClass("VelkoraInviteSocialFriendCell",
                         [] { return std::make_shared<VelkoraInviteSocialFriendCell>(); });
    loader.registerClass("VelkoraRadarListView", [] { return std::make_shared<VelkoraRadarListView>(); });
}

} // namespace friends

namespace {

// The row's title from the sidebar, or the tab bar's.
template <class Screen>
std::shared_ptr<ui::ViewController> titled(std::shared_ptr<Screen> screen, const foundation::Value& arguments,
                                           const char* key) {
    std::string title;
    if (const auto* d = arguments.asDictionary())
        if (const foundation::Value* t = d->find(VelkoraScreenArguments::kTitle)) title = t->textOr("");
    screen->setTitleText(title.empty() ? profiles::text(key) : title);
    return screen;
}

} // namespace

void registerFriendsScreens() {
    friends::registerFriendsViewClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("invite", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        return titled(VelkoraInviteSelectionViewController::create(), arguments,
                      "velkora_text_find_and_invite_friends_tab_title");
    });
    registry.registerScreen("radar", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        return titled(VelkoraRadarMapViewController::initFromNib(), arguments, "velkora_text_radar_tab_title");
    });
    // The chooser of the network in which to find friends; the radar opens it.
    registry.registerScreen("findFriendsNetworks",
                            [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
                                return titled(VelkoraFindFriendsSelctionViewController::create(), arguments,
                                              "velkora_text_find_friends_title");
                            });
}

} // namespace velkora
