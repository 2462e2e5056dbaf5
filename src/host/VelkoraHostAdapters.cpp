#include "host/VelkoraHostAdapters.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"

namespace velkora {

struct VelkoraStyledElement::Impl {
    ui::View* view = nullptr;
};

namespace {

ui::Color colorOf(std::uint32_t rgba) {
    return ui::Color::rgba(((rgba >> 24) & 0xff) / 255.0, ((rgba >> 16) & 0xff) / 255.0, ((rgba >> 8) & 0xff) / 255.0,
                           (rgba & 0xff) / 255.0);
}

// Every hook of the kit reaches the host's one `style` call with the hook's name.
class StyleSheetAdapter final : public VelkoraStyleSheetProtocol {
public:
    explicit StyleSheetAdapter(std::shared_ptr<VelkoraStyleSheet> sheet) : sheet_(std::move(sheet)) {}
#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    void name(ui::View* element, uint32_t screen) override {                                                           \
        forward(#name, element, screen);                                                                               \
    }
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK

private:
    void forward(const char* hook, ui::View* element, uint32_t screen) {
        if (!element) return;
        auto impl = std::make_shared<VelkoraStyledElement::Impl>();
        impl->view = element;
        VelkoraStyledElement handle(impl);
        sheet_->style(hook, handle, screen);
        // The element lives only as long as the call: a handle kept by the host reaches nothing.
        impl->view = nullptr;
    }
    std::shared_ptr<VelkoraStyleSheet> sheet_;
};

// The host's answer as the kit's picture: decoded here, handed over on the main loop.
class ImageFetcherAdapter final : public VelkoraImageFetcher {
public:
    explicit ImageFetcherAdapter(std::shared_ptr<VelkoraCustomImageFetcher> fetcher) : fetcher_(std::move(fetcher)) {}
    bool fetchImage(const std::string& url, const std::shared_ptr<VelkoraImageFetcherDelegate>& delegate) override {
        std::weak_ptr<VelkoraImageFetcherDelegate> weak = delegate;
        return fetcher_->fetchImage(url, [weak, host = fetcher_.get()](std::optional<std::vector<std::uint8_t>> bytes) {
            foundation::RunLoop::main().post([weak, host, bytes = std::move(bytes)] {
                auto d = weak.lock();
                if (!d) return;
                auto image = bytes ? ui::Image::fromData(*bytes) : nullptr;
                if (image)
                    d->imageFetcherDidFinish(host, image);
                else
                    d->imageFetcherGotError(host, foundation::makeError("VelkoraImageFetcher", 0));
            });
        });
    }

private:
    std::shared_ptr<VelkoraCustomImageFetcher> fetcher_;
};

} // namespace

std::string VelkoraStyledElement::kind() const {
    return impl_->view ? impl_->view->className() : "";
}

void VelkoraStyledElement::setTextColor(std::uint32_t rgba) {
    if (auto* label = dynamic_cast<ui::Label*>(impl_->view))
        label->setTextColor(colorOf(rgba));
    else if (auto* button = dynamic_cast<ui::Button*>(impl_->view))
        button->setTitleColor(colorOf(rgba));
    else if (auto* text = dynamic_cast<ui::TextView*>(impl_->view))
        text->setTextColor(colorOf(rgba));
}

void VelkoraStyledElement::setBackgroundColor(std::uint32_t rgba) {
    if (impl_->view) impl_->view->setBackgroundColor(colorOf(rgba));
}

void VelkoraStyledElement::setFont(const std::string& family, double size, bool bold) {
    ui::Font font = family.empty() ? (bold ? ui::Font::boldSystemFont(size) : ui::Font::systemFont(size))
                                   : ui::Font::withName(family, size);
    if (auto* label = dynamic_cast<ui::Label*>(impl_->view))
        label->setFont(font);
    else if (auto* button = dynamic_cast<ui::Button*>(impl_->view); button && button->titleLabel())
        button->titleLabel()->setFont(font);
    else if (auto* text = dynamic_cast<ui::TextView*>(impl_->view))
        text->setFont(font);
}

bool VelkoraStyledElement::setImageNamed(const std::string& name) {
    auto image = ui::Image::named(name);
    if (!image) return false;
    if (auto* imageView = dynamic_cast<ui::ImageView*>(impl_->view)) {
        imageView->setImage(image);
        return true;
    }
    if (auto* button = dynamic_cast<ui::Button*>(impl_->view)) {
        button->setImage(image);
        return true;
    }
    return false;
}

namespace host {

std::shared_ptr<VelkoraStyleSheetProtocol> adaptStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& sheet) {
    return sheet ? std::make_shared<StyleSheetAdapter>(sheet) : nullptr;
}

std::shared_ptr<VelkoraImageFetcher> adaptImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& fetcher) {
    return fetcher ? std::make_shared<ImageFetcherAdapter>(fetcher) : nullptr;
}

} // namespace host
} // namespace velkora
