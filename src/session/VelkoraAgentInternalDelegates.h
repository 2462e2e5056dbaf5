// The session object as the delegate of fetchers, popups and feature screens. Those hold their delegates
// weakly, so the session object answers through this small shared object; its life is the session
// object's, and callbacks made with it are never called once a test has replaced the session object.
#pragma once

#include <set>

#include "server/utils/VelkoraCachedImageFetcher.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeatureScreenFace.h"
#include "social/VelkoraUsersFetcher.h"

namespace velkora {

struct VelkoraAgentInternal::Delegates final : VelkoraUsersFetcherDelegate,
                                               VelkoraGeneralFeatureViewControllerDelegate,
                                               VelkoraCachedImageFetcherDelegate {
    explicit Delegates(VelkoraAgentInternal& owner) : owner(owner) {}

    void handleNewData(VelkoraUsersFetcher& fetcher) override;
    void didClickBack() override { owner.didClickBack(); }
    void didClose() override { owner.didClose(); }
    void backToPanel() override { owner.backToPanel(); }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return owner.isTopPanelHidden(); }
    bool isOpenedAsFeature() override { return true; }
    void cachedImageDidFinish(VelkoraCachedImageFetcher& fetcher, const std::shared_ptr<ui::Image>& image,
                              bool cacheHit) override;
    void cachedImageGotError(VelkoraCachedImageFetcher& fetcher, const foundation::ErrorPtr& error) override;

    VelkoraAgentInternal& owner;
    // Sticker pictures on their way.
    std::set<std::shared_ptr<VelkoraCachedImageFetcher>> cachedImageFetchersMap;
};

} // namespace velkora
