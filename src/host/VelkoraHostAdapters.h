// The host's style sheet and picture loading, as the kit's own interfaces call them.
#pragma once

#include <memory>

#include "shell/VelkoraImageFetcher.h"
#include "session/VelkoraStyleSheetProtocol.h"
#include "velkora/VelkoraStyleSheet.h"

namespace velkora::host {

// Null for null.
std::shared_ptr<VelkoraStyleSheetProtocol> adaptStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& sheet);
std::shared_ptr<VelkoraImageFetcher> adaptImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& fetcher);

} // namespace velkora::host
