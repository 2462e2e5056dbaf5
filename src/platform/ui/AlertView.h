// The alert: title, message and buttons by index (the cancel button first), shown above everything.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/DialogView.h"
#include "platform/ui/TextField.h"

namespace velkora::ui {

class AlertView;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void clickedButtonAtIndex(AlertView& /*alert*/, int /*index*/) {}
    virtual void willPresentAlertView(AlertView& /*alert*/) {}
    virtual void didPresentAlertView(AlertView& /*alert*/) {}
    virtual void willDismissWithButtonIndex(AlertView& /*alert*/, int /*index*/) {}
    virtual void didDismissWithButtonIndex(AlertView& /*alert*/, int /*index*/) {}
};

enum class AlertViewStyle { Default = 0, SecureTextInput, PlainTextInput, LoginAndPasswordInput };

class AlertView : public DialogView {
public:
    AlertView() = default;
    // The cancel button, when there is one, is index 0; the other buttons follow in order.
    AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
              std::optional<std::string> cancelButtonTitle, const std::vector<std::string>& otherButtonTitles);
    static std::shared_ptr<AlertView> create(std::string title, std::string message,
                                             std::weak_ptr<AlertViewDelegate> delegate = {},
                                             std::optional<std::string> cancelButtonTitle = std::nullopt,
                                             const std::vector<std::string>& otherButtonTitles = {}) {
        return std::make_shared<AlertView>(std::move(title), std::move(message), std::move(delegate),
                                           std::move(cancelButtonTitle), otherButtonTitles);
    }
    const char* className() const override { return "AlertView"; }

    const std::string& message() const { return message_; }
    void setMessage(std::string m);
    int firstOtherButtonIndex() const;
    AlertViewStyle alertViewStyle() const { return style_; }
    void setAlertViewStyle(AlertViewStyle s);
    // The text inputs of the input styles (index 0, and 1 for the password of the login style).
    std::shared_ptr<TextField> textFieldAtIndex(int index) const;
    void setDelegate(std::weak_ptr<AlertViewDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<AlertViewDelegate> delegate() const { return delegate_.lock(); }

    void show();
    std::string dumpText() const override { return title(); }

protected:
    void clicked(int index) override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;
    void willPresent() override;
    void didPresent() override;

private:
    std::string message_;
    std::weak_ptr<AlertViewDelegate> delegate_;
    AlertViewStyle style_ = AlertViewStyle::Default;
    std::vector<std::shared_ptr<TextField>> textFields_;
};

}  // namespace velkora::ui
