// What the log-in and sign-up screens share: the header with the application's name, the Facebook and
// Twitter rows that connect on the screen, the e-mail button, the footer's button to the twin screen and
// the privacy line whose two names open the served pages.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Utf16.h"
#include "shell/VelkoraAttributedLabel.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class Button;
class ImageView;
class Label;
} // namespace ui
class VelkoraUserSignUpHelper;

// The privacy line's text with its two names in place, and where the names ended up.
struct VelkoraPrivacyLine {
    std::string text;
    std::optional<ui::TextRange> privacyRange;
    std::optional<ui::TextRange> termsRange;

    // Replaces the first "$PRIVACY$", then the first "$TERMS$"; both ranges are ranges of the final text.
    static VelkoraPrivacyLine make(const std::string& line, const std::string& privacyName,
                                   const std::string& termsName);
};

class VelkoraSocialEntryViewController : public VelkoraGeneralFeatureViewController,
                                         public VelkoraAttributedLabelDelegate {
public:
    // Where the twins differ.
    struct Twin {
        const char* nibName;
        uint32_t styleScreenIdentifier;
        const char* titleKey;
        const char* headerKey;
        const char* footerKey;
        const char* emailButtonKey;
        const char* twinButtonKey;
        const char* privacyKey;
        int32_t connectType;
        // The popup of a failed conversation with the service.
        const char* failureTitleKey;
        const char* failureMessageKey;
    };

    ~VelkoraSocialEntryViewController() override;

    void viewDidLoad() override;
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    void facebookConnectClicked(ui::Control* sender);
    void twitterConnectClicked(ui::Control* sender);
    void emailConnectClicked(ui::Control* sender);
    // The footer's button: the twin screen.
    void twinClicked(ui::Control* sender);

    // Answers of the connectors (null: nothing usable; the connector has said so).
    void facebookConnected(const foundation::Value& details);
    void twitterGotUserDetails(const foundation::Value& details);
    // Answers of the connect helper.
    void facebookConnectedServer(const foundation::Value& userId);
    void twitterConnectedServer(const foundation::Value& userId);
    void facebookServerConnectFailed(const foundation::ErrorPtr& error);
    void twitterServerConnectFailed(const foundation::ErrorPtr& error);

    void setupPrivacyMessage();
    void linkTapped(const ui::TextCheckingResult& result);

    // Whether a Facebook or Twitter attempt is running; the buttons do nothing meanwhile.
    bool isAttemptRunning() const { return attemptRunning_; }
    const Twin& twin() const { return twin_; }

    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<VelkoraUserSignUpHelper>& userSignUpHelper() const { return userSignUpHelper_; }
    const std::shared_ptr<ui::Label>& makeTheMostLabel() const { return makeTheMostLabel_; }
    const std::shared_ptr<VelkoraAttributedLabel>& privacyLabel() const { return privacyLabel_; }
    const std::shared_ptr<ui::ImageView>& facebookSocialLogo() const { return facebookSocialLogo_; }
    const std::shared_ptr<ui::Button>& facebookConnectButton() const { return facebookConnectButton_; }
    const std::shared_ptr<ui::Label>& facebookConnectLabel() const { return facebookConnectLabel_; }
    const std::shared_ptr<ui::ImageView>& twitterSocialLogo() const { return twitterSocialLogo_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    const std::shared_ptr<ui::Label>& twitterConnectLabel() const { return twitterConnectLabel_; }
    const std::shared_ptr<ui::Button>& emailConnectButton() const { return emailConnectButton_; }

protected:
    VelkoraSocialEntryViewController(const Twin& twin, std::string nibName);
    // The footer's label and the twin button, as each screen's file names them.
    const std::shared_ptr<ui::Label>& footerLabel() const { return footerLabel_; }
    const std::shared_ptr<ui::Button>& twinButton() const { return twinButton_; }
    virtual void bindFooter(ui::InterfaceBindings& bindings, std::shared_ptr<ui::Label>& footer,
                            std::shared_ptr<ui::Button>& twin) = 0;
    virtual void customizeTwinButton() = 0;
    virtual std::shared_ptr<VelkoraGeneralFeatureViewController> makeEmailScreen() const = 0;
    virtual std::shared_ptr<VelkoraGeneralFeatureViewController> makeTwinScreen() const = 0;

private:
    void startAttempt();
    void connect(const foundation::Value& details, int32_t method);
    void attemptSucceeded();
    void attemptFailed(const foundation::ErrorPtr& error);
    void stopIndicator();

    Twin twin_;
    bool attemptRunning_ = false;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    std::shared_ptr<ui::Label> makeTheMostLabel_;
    std::shared_ptr<VelkoraAttributedLabel> privacyLabel_;
    std::shared_ptr<ui::ImageView> facebookSocialLogo_;
    std::shared_ptr<ui::Button> facebookConnectButton_;
    std::shared_ptr<ui::Label> facebookConnectLabel_;
    std::shared_ptr<ui::ImageView> twitterSocialLogo_;
    std::shared_ptr<ui::Button> twitterConnectButton_;
    std::shared_ptr<ui::Label> twitterConnectLabel_;
    std::shared_ptr<ui::Button> emailConnectButton_;
    std::shared_ptr<ui::Label> footerLabel_;
    std::shared_ptr<ui::Button> twinButton_;
};

} // namespace velkora
