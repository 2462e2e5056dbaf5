// A feature screen as the session sees it. The session opens feature screens by name through the screen
// registry and never names their classes; what it needs of one it asks through this face, which the shell's
// feature screens answer.
#pragma once

#include <memory>
#include <string>

namespace velkora {

// Whatever contains a feature screen: the sidebar for screens opened from its menu, the session object
// for screens the host opens itself. A screen never decides by itself where it is.
class VelkoraGeneralFeatureViewControllerDelegate {
public:
    virtual ~VelkoraGeneralFeatureViewControllerDelegate() = default;
    // Back from a screen with at most one controller below it on its stack.
    virtual void didClickBack() = 0;
    // Leave the kit for the host.
    virtual void didClose() = 0;
    // Back to the sidebar's menu.
    virtual void backToPanel() = 0;
    virtual bool isUsingPopover() = 0;
    // The container shows its own navigation bar, so the top panel goes.
    virtual bool isTopPanelHidden() = 0;
    // The host opened the screen directly, not through the sidebar.
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFeatureScreenFace {
public:
    // The container, held weakly: it owns the stack that owns the screen. Set before the view loads.
    virtual void setFeatureTabDelegate(std::weak_ptr<VelkoraGeneralFeatureViewControllerDelegate> d) = 0;
    virtual const std::string& titleText() const = 0;
    virtual void setTitleText(std::string t) = 0;
    // Whether promoted applications may pop in over the screen.
    virtual bool velkoraShouldPopinAds() const = 0;

protected:
    ~VelkoraFeatureScreenFace() = default;
};

} // namespace velkora
