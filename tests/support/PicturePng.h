// A picture of one colour with a lighter disc, as PNG bytes, for the service to serve in tests.
#pragma once

#include <string>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace velkora::testing {

inline std::string picturePng(const std::string& hex, int size) {
    auto g = ui::GraphicsContext::bitmap({double(size), double(size)}, 1.0, true);
    g->setFillColor(ui::Color::fromHex(hex));
    g->fillRect({0, 0, double(size), double(size)});
    g->setFillColor(ui::Color::white(1, 0.5));
    g->fillEllipseInRect({size * 0.25, size * 0.25, size * 0.5, size * 0.5});
    auto bytes = g->makeImage()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

} // namespace velkora::testing
