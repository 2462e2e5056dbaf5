// The one place every view of the kit offers its styleable elements: forwards each hook to the host's
// style sheet when one is set. Views call it while they are being made, so a style sheet set later
// restyles only the views made after it.
#pragma once

#include <memory>

#include "session/VelkoraStyleSheetProtocol.h"

namespace velkora {

class VelkoraStyleSheetCustomizer final : public VelkoraStyleSheetProtocol {
public:
    static VelkoraStyleSheetCustomizer& instance();

    std::shared_ptr<VelkoraStyleSheetProtocol> customStyleSheet() const { return customStyleSheet_; }
    void setCustomStyleSheet(std::shared_ptr<VelkoraStyleSheetProtocol> sheet) { customStyleSheet_ = std::move(sheet); }

    // Button hooks send customizeDefaultButtonStyle first, so a host can give every button one look and
    // then refine single kinds. A null element reaches nobody.
#define VELKORA_STYLE_HOOK(name, kind) void name(ui::View* element, uint32_t screen) override;
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK

    // Forgets the host's style sheet; for tests.
    static void resetForTests() {
        instance().customStyleSheet_.reset();
    }

private:
    VelkoraStyleSheetCustomizer() = default;

    std::shared_ptr<VelkoraStyleSheetProtocol> customStyleSheet_;
};

} // namespace velkora
