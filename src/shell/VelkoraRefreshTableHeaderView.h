// The header above a pull-to-refresh list: an arrow that turns over when the list is pulled far enough,
// a status line and a spinner while the list reloads. It only shows states; the list decides them.
#pragma once

#include <memory>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora {

class VelkoraRefreshTableHeaderView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraRefreshTableHeaderView";
    static constexpr double kFlipSeconds = 0.18;
    // Statuses of the status line.
    enum Status { ReleaseToRefresh = 0, PullDownToRefresh = 1, Loading = 2 };

    static std::shared_ptr<VelkoraRefreshTableHeaderView> initFromNib();
    VelkoraRefreshTableHeaderView() = default;
    const char* className() const override { return "VelkoraRefreshTableHeaderView"; }

    void postInit();
    void loadNib();
    // Turns the arrow over (0.18 s when animated, at once otherwise) and flips isFlipped.
    void flipImageAnimated(bool animated);
    // 0, 1 or 2; any other value leaves the line as it is.
    void setStatus(int status);
    // On: spinner running, arrow hidden, status 2. Off: spinner stopped, arrow shown, the line untouched.
    void toggleActivityView(bool on);

    const std::shared_ptr<ui::View>& topLevelSubview() const { return topLevelSubview_; }
    const std::shared_ptr<ui::Label>& statusLabel() const { return statusLabel_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }
    const std::shared_ptr<ui::ImageView>& refreshImage() const { return refreshImage_; }
    bool isFlipped() const { return isFlipped_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void turnArrowTo(double angle);

    std::shared_ptr<ui::View> topLevelSubview_;
    std::shared_ptr<ui::Label> statusLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> activityView_;
    std::shared_ptr<ui::ImageView> refreshImage_;
    bool isFlipped_ = false;
};

} // namespace velkora
