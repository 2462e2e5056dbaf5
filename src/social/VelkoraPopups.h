// The rooms below the screens speak to the person through the shell's popups: a message with OK, or a
// question answered OK or Cancel. The shell says how they are drawn; until it has, nothing is shown and a
// question is never answered.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velkora {

namespace ui {
class View;
}
class VelkoraDefaultOKPopupView;

class VelkoraPopups {
public:
    struct Popup {
        std::string title;
        std::string message;
        std::string okTitle;
        // Empty for a message with OK alone.
        std::string cancelTitle;
        // The message wraps onto as many lines as it needs.
        bool messageWraps = false;
        // While it shows, touches outside the popup reach nothing else.
        bool holdsTouches = false;
    };
    // Called with true for OK, false for Cancel.
    using Answer = std::function<void(bool ok)>;
    using Presenter = std::shared_ptr<VelkoraDefaultOKPopupView> (*)(ui::View* host, const Popup& popup, Answer answer);

    static void setPresenter(Presenter presenter);
    // Shows the popup over `host` and gives it back; null when no presenter was set or there is no host.
    static std::shared_ptr<VelkoraDefaultOKPopupView> show(ui::View* host, const Popup& popup, Answer answer = {});

    VelkoraPopups() = delete;
};

} // namespace velkora
