// Interface files come from the resources folder, which a host may replace: any bytes must load or be
// refused cleanly, a refused file must bind nothing, and a loaded tree must survive its layout pass.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/foundation/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/layout/LayoutConstraint.h"

namespace {

using namespace velkora::ui;

class Owner : public View, public InterfaceOwner {
public:
    void registerInterfaceBindings(InterfaceBindings& b) override {
        b.outlet("view", view);
        b.outlet("titleLabel", titleLabel);
        b.outlet("okButton", okButton);
        b.outlet("topConstraint", topConstraint);
        b.action("okTapped:", [this](Control*) { ++taps; });
    }
    bool anythingBound() const { return view || titleLabel || okButton || topConstraint; }
    std::shared_ptr<View> view;
    std::shared_ptr<Label> titleLabel;
    std::shared_ptr<Button> okButton;
    std::shared_ptr<LayoutConstraint> topConstraint;
    int taps = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet =
        (velkora::foundation::Log::setSink([](velkora::foundation::LogLevel, const std::string&) {}), true);
    (void)quiet;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto owner = std::make_shared<Owner>();
    auto objects = InterfaceLoader::instance().loadFromText(text, "Fuzz.json", owner.get());
    if (objects.empty()) {
        if (owner->anythingBound()) __builtin_trap(); // a refused file binds nothing
        return 0;
    }
    for (auto& o : objects) {
        if (!o) __builtin_trap();
        o->layoutIfNeeded();
        (void)systemLayoutSizeFittingSize(*o, LayoutFittingCompressedSize);
    }
    if (owner->okButton) owner->okButton->tap();
    return 0;
}
