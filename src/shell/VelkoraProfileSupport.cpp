#include "shell/VelkoraProfileSupport.h"

#include "shell/VelkoraUserListCell.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora::profiles {

std::string text(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}

std::string nameOrGuest(const std::string& name) {
    return name.empty() ? text("velkora_text_guest_name_label") : name;
}

std::string textWith(const std::string& key, const std::string& argument) {
    std::string format = text(key);
    auto at = format.find("%@");
    if (at != std::string::npos) format.replace(at, 2, argument);
    return format;
}

bool viewerIsAnonymous() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return !me || me->isAnonymous();
}

int32_t localUserInfoSource() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    return info ? info->userInfoSource() : 0;
}

bool userHasPhoto(const VelkoraUserInternal& user) {
    return user.hasPhoto(localUserInfoSource());
}

std::shared_ptr<ui::Image> placeholderPhoto() {
    return ui::Image::named("VelImg_UserThumbMediumNon.png");
}

void showUserPhoto(VelkoraLazyImageView& view, const VelkoraUserPtr& user) {
    view.setImage(placeholderPhoto());
    if (!user || !userHasPhoto(*user)) return;
    const ui::Size pixels = view.getSizeInPixels();
    if (auto url = user->getSizedPhotoUrl(static_cast<float>(pixels.width), static_cast<float>(pixels.height)))
        view.getImage(*url);
}

void registerPeopleViewClasses() {
    registerVelkoraWidgetClasses();
    VelkoraLazyImageView::registerClass();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("ScrollView")) loader.registerClass("ScrollView", [] { return ui::ScrollView::create(); });
    if (!loader.hasClass("TextField")) loader.registerClass("TextField", [] { return ui::TextField::create(); });
    if (!loader.hasClass("TextView")) loader.registerClass("TextView", [] { return ui::TextView::create(); });
    if (loader.hasClass("VelkoraUserListCell")) return;
    loader.registerClass("VelkoraUserListCell", [] { return std::make_shared<VelkoraUserListCell>(); });
    // The bio editor's file gives its text view a font: a size, or {"size": n, "bold": true}.
    loader.registerProperty("font", [](ui::View& view, const foundation::Value& value) {
        using Result = ui::InterfaceLoader::PropertyResult;
        auto* text = dynamic_cast<ui::TextView*>(&view);
        if (!text) return Result::NotApplicable;
        const foundation::Value& sizeValue = value.isDictionary() ? value["size"] : value;
        const double size = sizeValue.doubleOr(0);
        if (size <= 0 || size > 200) return Result::BadValue;
        const bool bold = value.isDictionary() && value["bold"].boolOr(false);
        text->setFont(bold ? ui::Font::boldSystemFont(size) : ui::Font::systemFont(size));
        return Result::Applied;
    });
}

} // namespace velkora::profiles
