// The own-profile block as the sidebar and the settings screen see it: a view that draws the signed-in
// user's own settings and hands every tap to its delegate. The people screens make it; whoever shows it
// asks for one here, so the sidebar needs no people header.
#pragma once

#include <functional>
#include <memory>

namespace velkora {

namespace ui {
class View;
}
class VelkoraPanelProfileViewDelegate;
class VelkoraUserInternal;

class VelkoraPanelProfileViewFace {
public:
    virtual ~VelkoraPanelProfileViewFace() = default;
    virtual std::shared_ptr<ui::View> view() = 0;
    // Not retained: the block belongs to its delegate's screen.
    virtual void setDelegate(std::weak_ptr<VelkoraPanelProfileViewDelegate> delegate) = 0;
    // Redraws from the local user record and the application's configuration (the argument is not read).
    virtual void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) = 0;

    // The maker of blocks ("panelProfileView"): with or without the messages row. Null when no maker is
    // registered (the people screens are not part of this build).
    using Maker = std::function<std::shared_ptr<VelkoraPanelProfileViewFace>(bool withMessages)>;
    static void registerMaker(Maker maker);
    static std::shared_ptr<VelkoraPanelProfileViewFace> make(bool withMessages);
};

} // namespace velkora
