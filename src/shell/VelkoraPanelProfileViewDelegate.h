// Whoever carries out what the signed-in user's own settings ask for: the sidebar panel or the own
// profile for the profile block, and the opener of the settings screen. The block and the settings
// screen decide nothing themselves; connecting and signing out belong here.
#pragma once

#include <memory>
#include <string>

namespace velkora {

namespace ui {
class View;
}
class VelkoraUserInternal;

class VelkoraPanelProfileViewDelegate {
public:
    virtual ~VelkoraPanelProfileViewDelegate() = default;
    virtual void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) = 0;
    virtual void editAboutClicked() = 0;
    virtual void fbConnectClickedInView(ui::View* view) = 0;
    virtual void fbSignoutClickedInView(ui::View* view) = 0;
    virtual void twConnectClickedInView(ui::View* view) = 0;
    virtual void twSignoutClickedInView(ui::View* view) = 0;
    virtual void emailSignoutClickedInView(ui::View* view) = 0;
    virtual void settingsClicked() = 0;
    virtual void messagesClicked(const std::string& title) = 0;
    virtual void privateModeSwitchedValue(bool on) = 0;
};

} // namespace velkora
