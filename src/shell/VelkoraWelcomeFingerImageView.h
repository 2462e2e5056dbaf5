// The first-run hint's drawing: a finger swiping the way that opens the sidebar, over the whole screen
// until it is tapped, the user swipes, or its time is up.
#pragma once

#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/View.h"

namespace velkora {

class VelkoraWelcomeFingerImageView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraWelcomeFingerImageView";
    static constexpr const char* kLandscapeInterface = "VelkoraWelcomeFingerImageViewLandscape";

    static std::shared_ptr<VelkoraWelcomeFingerImageView> initFromNibAsLandscape(bool landscape);
    VelkoraWelcomeFingerImageView() = default;
    ~VelkoraWelcomeFingerImageView() override;
    const char* className() const override { return "VelkoraWelcomeFingerImageView"; }

    // Over the key window for that many seconds.
    void showWithTimeout(double seconds);
    void handleTapEvents(ui::GestureRecognizer& recognizer);
    void closeNotification();
    void updateOrientation();

    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<ui::ImageView>& swipeLeftImageView() const { return swipeLeftImageView_; }
    const std::shared_ptr<ui::ImageView>& swipeRightImageView() const { return swipeRightImageView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> swipeLeftImageView_;
    std::shared_ptr<ui::ImageView> swipeRightImageView_;
    std::weak_ptr<ui::GestureRecognizer> panRecognizer_;
    uint64_t panTarget_ = 0;
    std::shared_ptr<foundation::Timer> timer_;
};

} // namespace velkora
