#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

VelkoraStyleSheetCustomizer& VelkoraStyleSheetCustomizer::instance() {
    // Made once, thread-safely, on first use.
    static VelkoraStyleSheetCustomizer customizer;
    return customizer;
}

namespace {

constexpr bool isButtonHook(const char* kind) {
    return kind[0] == 'B';
}

} // namespace

// The style sheet is held by a local copy while it runs, so a hook that swaps the style sheet does not
// destroy the object it is running in.
#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    void VelkoraStyleSheetCustomizer::name(ui::View* element, uint32_t screen) {                                       \
        if (!element) return;                                                                                          \
        if constexpr (isButtonHook(#kind)) customizeDefaultButtonStyle(element, screen);                               \
        if (auto sheet = customStyleSheet_) sheet->name(element, screen);                                              \
    }
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK

} // namespace velkora
