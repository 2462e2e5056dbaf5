// One row of the sidebar menu: the feature it opens, its title, icon and badge, and what its tap calls.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Image.h"

namespace velkora {

class VelkoraPanelViewDelegate;

class VelkoraPanelCommand {
public:
    // The delegate's operation a tap performs, with the row's title (or a custom row's command id).
    using Selector = void (VelkoraPanelViewDelegate::*)(const std::string& argument);

    int32_t featureId() const { return featureId_; }
    void setFeatureId(int32_t id) { featureId_ = id; }
    const std::optional<std::string>& commandId() const { return commandId_; }
    void setCommandId(std::optional<std::string> id) { commandId_ = std::move(id); }
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const std::shared_ptr<ui::Image>& icon() const { return icon_; }
    void setIcon(std::shared_ptr<ui::Image> icon) { icon_ = std::move(icon); }
    // Not retained: the menu's delegate owns the menu.
    std::shared_ptr<VelkoraPanelViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraPanelViewDelegate> delegate) { delegate_ = std::move(delegate); }
    Selector selector() const { return selector_; }
    void setSelector(Selector selector) { selector_ = selector; }
    int32_t badgeNumber() const { return badgeNumber_; }
    void setBadgeNumber(int32_t n) { badgeNumber_ = n; }
    bool useBadge2() const { return useBadge2_; }
    void setUseBadge2(bool use) { useBadge2_ = use; }
    bool isCustom() const { return isCustom_; }
    void setIsCustom(bool custom) { isCustom_ = custom; }

private:
    int32_t featureId_ = 0;
    std::optional<std::string> commandId_;
    std::optional<std::string> title_;
    std::shared_ptr<ui::Image> icon_;
    std::weak_ptr<VelkoraPanelViewDelegate> delegate_;
    Selector selector_ = nullptr;
    int32_t badgeNumber_ = 0;
    bool useBadge2_ = false;
    bool isCustom_ = false;
};

} // namespace velkora
