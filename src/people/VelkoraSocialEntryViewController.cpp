#include "people/VelkoraSocialEntryViewController.h"

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Log;
using foundation::Value;

namespace {

// Replaces the first marker with the name; the name's range, and how much longer the text became.
std::optional<ui::TextRange> replaceFirst(std::string& text, const std::string& marker, const std::string& name,
                                          long& growth) {
    const size_t at = text.find(marker);
    if (at == std::string::npos) return std::nullopt;
    const size_t location = ui::utf16::indexOfByte(text, at);
    text.replace(at, marker.size(), name);
    const size_t nameLength = ui::utf16::length(name);
    growth = static_cast<long>(nameLength) - static_cast<long>(ui::utf16::length(marker));
    return ui::TextRange{location, nameLength};
}

// Only a page the web screen can show becomes a link.
bool isWebAddress(const std::optional<std::string>& address) {
    return address && (address->rfind("https://", 0) == 0 || address->rfind("http://", 0) == 0);
}

} // namespace

VelkoraPrivacyLine VelkoraPrivacyLine::make(const std::string& line, const std::string& privacyName,
                                            const std::string& termsName) {
    VelkoraPrivacyLine result{line, std::nullopt, std::nullopt};
    long growth = 0;
    result.privacyRange = replaceFirst(result.text, "$PRIVACY$", privacyName, growth);
    result.termsRange = replaceFirst(result.text, "$TERMS$", termsName, growth);
    // A terms name put in ahead of the privacy name moves it: its range is one of the final text.
    if (result.privacyRange && result.termsRange && result.termsRange->location < result.privacyRange->location)
        result.privacyRange->location = static_cast<size_t>(static_cast<long>(result.privacyRange->location) + growth);
    return result;
}

VelkoraSocialEntryViewController::VelkoraSocialEntryViewController(const Twin& twin, std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)), twin_(twin) {
    attributedLabelDidSelectLinkWithTextCheckingResult =
        [this](VelkoraAttributedLabel&, const ui::TextCheckingResult& result) { linkTapped(result); };
}

VelkoraSocialEntryViewController::~VelkoraSocialEntryViewController() {
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
    auto& agent = VelkoraAgentInternal::instance();
    if (auto twitter = agent.twitterConnector()) twitter->removeDelegate(this);
    if (auto facebook = agent.fbConnector()) facebook->removeDelegate(this);
}

void VelkoraSocialEntryViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("makeTheMostLabel", makeTheMostLabel_);
    b.outlet("privacyLabel", privacyLabel_);
    b.outlet("facebookSocialLogo", facebookSocialLogo_);
    b.outlet("facebookConnectButton", facebookConnectButton_);
    b.outlet("facebookConnectLabel", facebookConnectLabel_);
    b.outlet("twitterSocialLogo", twitterSocialLogo_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("twitterConnectLabel", twitterConnectLabel_);
    b.outlet("emailConnectButton", emailConnectButton_);
    bindFooter(b, footerLabel_, twinButton_);
    b.action("facebookConnectClicked:", this, &VelkoraSocialEntryViewController::facebookConnectClicked);
    b.action("twitterConnectClicked:", this, &VelkoraSocialEntryViewController::twitterConnectClicked);
    b.action("emailConnectClicked:", this, &VelkoraSocialEntryViewController::emailConnectClicked);
}

void VelkoraSocialEntryViewController::viewDidLoad() {
    setStyleScreenIdentifier(twin_.styleScreenIdentifier);
    setTitleText(account::localized(twin_.titleKey));
    VelkoraGeneralFeatureViewController::viewDidLoad();

    const std::string appName = VelkoraAppSettings::appName().value_or("");
    if (makeTheMostLabel_) makeTheMostLabel_->setText(foundation::format(account::localized(twin_.headerKey), appName));
    if (footerLabel_) footerLabel_->setText(account::localized(twin_.footerKey));
    if (facebookConnectLabel_)
        facebookConnectLabel_->setText(account::localized("velkora_text_facebook_connect_title"));
    if (twitterConnectLabel_) twitterConnectLabel_->setText(account::localized("velkora_text_twitter_connect_title"));
    for (const auto& [button, key] :
         {std::pair{emailConnectButton_, twin_.emailButtonKey}, std::pair{twinButton_, twin_.twinButtonKey}}) {
        if (!button) continue;
        button->setTitle(account::localized(key), ui::ControlStateNormal);
        button->setTitle(account::localized(key), ui::ControlStateHighlighted);
    }

    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = styleScreenIdentifier();
    customizer.customizeFacebookConnectButton(facebookConnectButton_.get(), screen);
    customizer.customizeFacebookConnectLogo(facebookSocialLogo_.get(), screen);
    customizer.customizeTwitterConnectButton(twitterConnectButton_.get(), screen);
    customizer.customizeTwitterConnectLogo(twitterSocialLogo_.get(), screen);
    customizer.customizeEmailConnectButton(emailConnectButton_.get(), screen);
    customizeTwinButton();
    customizer.customizeLoginHeaderLabel(makeTheMostLabel_.get(), screen);
    customizer.customizeLoginFooterLabel(footerLabel_.get(), screen);

    setupPrivacyMessage();
}

void VelkoraSocialEntryViewController::setupPrivacyMessage() {
    if (!privacyLabel_) return;
    privacyLabel_->setDelegate(std::dynamic_pointer_cast<VelkoraAttributedLabelDelegate>(shared_from_this()));
    // The names get their look from the text itself.
    privacyLabel_->setLinkAttributes({});
    privacyLabel_->setActiveLinkAttributes({});

    const auto line = VelkoraPrivacyLine::make(account::localized(twin_.privacyKey),
                                               account::localized("velkora_text_privacy_policy_name"),
                                               account::localized("velkora_text_terms_of_use_name"));
    std::vector<ui::TextRange> names;
    for (const auto& range : {line.privacyRange, line.termsRange})
        if (range) names.push_back(*range);
    const ui::Color leading = VelkoraAppSettings::leadingColor();
    const double pointSize = privacyLabel_->font() ? privacyLabel_->font()->pointSize() : 17;
    const ui::Font bold = ui::Font::withName("DejaVu Sans Bold", pointSize);
    privacyLabel_->setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
        line.text, [&](ui::AttributedString text) {
            for (const auto& range : names) {
                text.addAttribute(ui::attr::ForegroundColor, leading, range);
                text.addAttribute(ui::attr::Font, bold, range);
            }
            return text;
        });

    auto appData = VelkoraAgentInternal::instance().appData();
    const std::optional<std::string> privacy = appData ? appData->privacyPolicy() : std::nullopt;
    const std::optional<std::string> terms = appData ? appData->termsOfUse() : std::nullopt;
    if (line.privacyRange && isWebAddress(privacy))
        privacyLabel_->addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement(*line.privacyRange, *privacy));
    if (line.termsRange && isWebAddress(terms))
        privacyLabel_->addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement(*line.termsRange, *terms));
}

void VelkoraSocialEntryViewController::linkTapped(const ui::TextCheckingResult& result) {
    auto appData = VelkoraAgentInternal::instance().appData();
    const bool isPrivacy = appData && appData->privacyPolicy() == result.replacementString;
    const std::string title =
        account::localized(isPrivacy ? "velkora_text_privacy_policy_name" : "velkora_text_terms_of_use_name");
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "webpage", Value(foundation::Dictionary{{"link", Value(result.replacementString)}, {"title", Value(title)}}));
    auto page = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen);
    if (!page) return;
    page->setTitleText(title);
    account::pushScreen(*this, page);
}

void VelkoraSocialEntryViewController::startAttempt() {
    attemptRunning_ = true;
    if (auto v = viewIfLoaded())
        activityIndicator_ = account::startIndicator(*v, ui::ActivityIndicatorViewStyle::White);
}

void VelkoraSocialEntryViewController::stopIndicator() {
    attemptRunning_ = false;
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraSocialEntryViewController::facebookConnectClicked(ui::Control*) {
    // One attempt at a time: a second would start a second conversation and leave a spinner behind.
    if (attemptRunning_) return;
    auto facebook = VelkoraAgentInternal::instance().fbConnector();
    if (!facebook) {
        Log::line("Velkora (W) - facebookConnectClicked: no Facebook connector");
        return;
    }
    startAttempt();
    auto self = std::static_pointer_cast<VelkoraSocialEntryViewController>(shared_from_this());
    facebook->connectWithDelegate(
        VelkoraConnectorTarget::make(self, [this](const Value& details) { facebookConnected(details); }));
}

void VelkoraSocialEntryViewController::twitterConnectClicked(ui::Control*) {
    if (attemptRunning_) return;
    auto twitter = VelkoraAgentInternal::instance().twitterConnector();
    if (!twitter) {
        Log::line("Velkora (W) - twitterConnectClicked: no Twitter connector");
        return;
    }
    startAttempt();
    auto self = std::static_pointer_cast<VelkoraSocialEntryViewController>(shared_from_this());
    twitter->getUserDetailsWithView(
        viewIfLoaded().get(),
        VelkoraConnectorTarget::make(self, [this](const Value& details) { twitterGotUserDetails(details); }));
}

void VelkoraSocialEntryViewController::facebookConnected(const Value& details) {
    // Null details: the connector has told the user; the attempt only ends.
    if (details.isNull()) return stopIndicator();
    connect(details, 2);
}

void VelkoraSocialEntryViewController::twitterGotUserDetails(const Value& details) {
    if (details.isNull()) return stopIndicator();
    connect(details, 3);
}

void VelkoraSocialEntryViewController::connect(const Value& details, int32_t method) {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    auto self = std::static_pointer_cast<VelkoraSocialEntryViewController>(shared_from_this());
    VelkoraCallback callback = method == 3
                                   ? VelkoraCallback(self, &VelkoraSocialEntryViewController::twitterConnectedServer,
                                                     &VelkoraSocialEntryViewController::twitterServerConnectFailed)
                                   : VelkoraCallback(self, &VelkoraSocialEntryViewController::facebookConnectedServer,
                                                     &VelkoraSocialEntryViewController::facebookServerConnectFailed);
    userSignUpHelper_->connectServerWithDetails(details, twin_.connectType, method, false, true, std::move(callback));
}

void VelkoraSocialEntryViewController::facebookConnectedServer(const Value&) {
    attemptSucceeded();
}
void VelkoraSocialEntryViewController::twitterConnectedServer(const Value&) {
    attemptSucceeded();
}
void VelkoraSocialEntryViewController::facebookServerConnectFailed(const ErrorPtr& error) {
    attemptFailed(error);
}
void VelkoraSocialEntryViewController::twitterServerConnectFailed(const ErrorPtr& error) {
    attemptFailed(error);
}

void VelkoraSocialEntryViewController::attemptSucceeded() {
    stopIndicator();
    if (auto container = featureTabDelegate()) container->backToPanel();
}

void VelkoraSocialEntryViewController::attemptFailed(const ErrorPtr& error) {
    stopIndicator();
    // A declined override was the user's own answer; any other failure is told once.
    if (error) account::showOKPopup(twin_.failureTitleKey, twin_.failureMessageKey);
}

void VelkoraSocialEntryViewController::emailConnectClicked(ui::Control*) {
    if (attemptRunning_) return;
    account::pushScreen(*this, makeEmailScreen());
}

void VelkoraSocialEntryViewController::twinClicked(ui::Control*) {
    if (attemptRunning_) return;
    account::pushScreen(*this, makeTwinScreen());
}

} // namespace velkora
