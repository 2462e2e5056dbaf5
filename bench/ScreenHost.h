// What a bench that shows a kit screen needs of a host: the container the screen was opened from, and
// pictures handed over by the host itself, a little later, as a host with its own cache does.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraImageFetcher.h"

namespace velkora::bench {

struct ScreenHost : VelkoraGeneralFeatureViewControllerDelegate {
    void didClickBack() override {}
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

// One plain square of `side` points for every picture asked for.
struct HostPictures : VelkoraImageFetcher {
    explicit HostPictures(double side = 256) {
        auto g = ui::GraphicsContext::bitmap({side, side}, 1.0, true);
        g->setFillColor(ui::Color::fromHex("#3B8FE0"));
        g->fillRect({0, 0, side, side});
        picture = g->makeImage();
    }
    bool fetchImage(const std::string&, const std::shared_ptr<VelkoraImageFetcherDelegate>& delegate) override {
        std::weak_ptr<VelkoraImageFetcherDelegate> weak = delegate;
        foundation::RunLoop::main().post([weak, image = picture] {
            if (auto d = weak.lock()) d->imageFetcherDidFinish(nullptr, image);
        });
        return true;
    }
    std::shared_ptr<ui::Image> picture;
};

} // namespace velkora::bench
