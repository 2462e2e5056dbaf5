// The host's own look for the kit, and its own picture loading.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velkora/Export.h"

namespace velkora {

// One element of a kit screen as a style sheet sees it: the host changes its colours, font or picture.
// Colours are 0xRRGGBBAA.
class VELKORA_EXPORT VelkoraStyledElement {
public:
    // The element's class, e.g. "Label", "Button", "ImageView".
    std::string kind() const;
    void setTextColor(std::uint32_t rgba);
    void setBackgroundColor(std::uint32_t rgba);
    void setFont(const std::string& family, double size, bool bold);
    // A picture of the host's resources by name; false when there is none or the element shows none.
    bool setImageNamed(const std::string& name);

    struct Impl;
    explicit VelkoraStyledElement(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

private:
    std::shared_ptr<Impl> impl_;
};

// The host's style sheet. The kit calls `style` for every element a screen styles, with the element's
// style hook name (e.g. "customizeScreenTitleLabel", "customizeBackButton") and the screen's id; a sheet changes the
// element or leaves it as it is.
class VELKORA_EXPORT VelkoraStyleSheet {
public:
    virtual ~VelkoraStyleSheet() = default;
    virtual void style(const std::string& hook, VelkoraStyledElement& element, std::uint32_t screen) = 0;
};

// The host's picture loading: a host that takes a request answers it once, with the picture's PNG or JPEG
// bytes, or with nothing when it failed; from any thread.
class VELKORA_EXPORT VelkoraCustomImageFetcher {
public:
    using Answer = std::function<void(std::optional<std::vector<std::uint8_t>> pictureBytes)>;
    virtual ~VelkoraCustomImageFetcher() = default;
    // True when the host takes the request and will call `answer`.
    virtual bool fetchImage(const std::string& url, Answer answer) = 0;
};

} // namespace velkora
