// The one-line text field: text and placeholder, left and right views, input view, first responder,
// editing through its delegate, and the return key.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Utf16.h"

namespace velkora::ui {

class Image;
class TextField;

// The platform's values.
enum class TextBorderStyle { None = 0, Line, Bezel, RoundedRect };
enum class TextFieldViewMode { Never = 0, WhileEditing, UnlessEditing, Always };
enum class ReturnKeyType { Default = 0, Go, Google, Join, Next, Route, Search, Send, Yahoo, Done, EmergencyCall };
enum class KeyboardType { Default = 0, ASCIICapable, NumbersAndPunctuation, URL, NumberPad, PhonePad, NamePhonePad, EmailAddress, DecimalPad, Twitter };
enum class TextAutocapitalizationType { None = 0, Words, Sentences, AllCharacters };
enum class TextAutocorrectionType { Default = 0, No, Yes };

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& /*field*/) { return true; }
    virtual void textFieldDidBeginEditing(TextField& /*field*/) {}
    virtual bool textFieldShouldEndEditing(TextField& /*field*/) { return true; }
    virtual void textFieldDidEndEditing(TextField& /*field*/) {}
    // The range is in UTF-16 units of the current text.
    virtual bool shouldChangeCharactersInRange(TextField& /*field*/, TextRange /*range*/, const std::string& /*replacement*/) {
        return true;
    }
    virtual bool textFieldShouldClear(TextField& /*field*/) { return true; }
    virtual bool textFieldShouldReturn(TextField& /*field*/) { return true; }
};

// Text input traits shared by the text field and the text view.
struct TextInputTraits {
    ReturnKeyType returnKeyType = ReturnKeyType::Default;
    KeyboardType keyboardType = KeyboardType::Default;
    TextAutocapitalizationType autocapitalizationType = TextAutocapitalizationType::Sentences;
    TextAutocorrectionType autocorrectionType = TextAutocorrectionType::Default;
    bool secureTextEntry = false;
    bool enablesReturnKeyAutomatically = false;
};

// A UTF-16 range kept inside the text.
TextRange clampedTextRange(const std::string& text, TextRange range);
// Replaces the characters of a range (clamped, whole characters) by the replacement.
void replaceTextRange(std::string& text, TextRange range, const std::string& replacement);

class TextField : public Control {
public:
    TextField() : TextField(Rect{}) {}
    explicit TextField(const Rect& frame);
    static std::shared_ptr<TextField> create(const Rect& frame = {}) { return std::make_shared<TextField>(frame); }
    const char* className() const override { return "TextField"; }

    const std::string& text() const { return text_; }
    // From code: no delegate question and no event.
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string p);
    const Font& font() const { return font_; }
    void setFont(const Font& f);
    Color textColor() const { return textColor_; }
    void setTextColor(Color c);
    TextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(TextAlignment a);
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle s);
    const std::shared_ptr<Image>& background() const { return background_; }
    // Virtual, as the image view's setter, for fields that rework the image they receive.
    virtual void setBackground(std::shared_ptr<Image> image);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool a) { adjustsFontSizeToFitWidth_ = a; }
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double s) { minimumFontSize_ = s; }
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool c) { clearsOnBeginEditing_ = c; }

    const ViewPtr& leftView() const { return leftView_; }
    void setLeftView(ViewPtr v);
    TextFieldViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(TextFieldViewMode m);
    const ViewPtr& rightView() const { return rightView_; }
    void setRightView(ViewPtr v);
    TextFieldViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(TextFieldViewMode m);
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode m) { clearButtonMode_ = m; }
    // The view shown instead of the keyboard, and the bar above it.
    // Whatever the keyboard machinery asks of a text input.
    bool isTextInput() const override { return true; }
    std::shared_ptr<View> inputView() const override { return inputView_; }
    void setInputView(ViewPtr v) { inputView_ = std::move(v); }
    const ViewPtr& inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(ViewPtr v) { inputAccessoryView_ = std::move(v); }

    TextInputTraits& traits() { return traits_; }
    ReturnKeyType returnKeyType() const { return traits_.returnKeyType; }
    void setReturnKeyType(ReturnKeyType t) { traits_.returnKeyType = t; }
    KeyboardType keyboardType() const { return traits_.keyboardType; }
    void setKeyboardType(KeyboardType t) { traits_.keyboardType = t; }
    bool isSecureTextEntry() const { return traits_.secureTextEntry; }
    void setSecureTextEntry(bool s);

    void setDelegate(std::weak_ptr<TextFieldDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    bool isEditing() const { return editing_; }

    bool canBecomeFirstResponder() const override;
    // Ask the delegate first: it may refuse.
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // Typing, as the keyboard delivers it, at the end of the text: the delegate may refuse the change;
    // a change sends editing-changed. Only while editing.
    bool insertText(const std::string& text);
    // Takes the whole character before the caret (a letter with its accents, an emoji sequence).
    bool deleteBackward();
    bool replaceRange(TextRange range, const std::string& replacement);
    // Where typing goes, in UTF-16 units: the end of the text until the caret is moved (setting the text
    // puts it back at the end).
    size_t caretPosition() const;
    void setCaretPosition(size_t position);
    // What an input method is composing at the caret: shown, not yet part of the text. Ends with editing.
    const std::string& markedText() const { return markedText_; }
    void setMarkedText(std::string text);
    // The clear button.
    bool clearText();
    // The return key: asks the delegate, then sends editing-did-end-on-exit. Answers the delegate's answer.
    bool pressReturn();

    // Whether the side views show now, by their modes.
    bool isLeftViewShown() const;
    bool isRightViewShown() const;
    Rect textRectForBounds(const Rect& bounds) const;
    Rect leftViewRectForBounds(const Rect& bounds) const;
    Rect rightViewRectForBounds(const Rect& bounds) const;
    void layoutSubviews() override;
    Size sizeThatFits(Size size) const override;
    std::string dumpText() const override;

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    static bool modeShows(TextFieldViewMode mode, bool editing);

    std::string text_;
    std::string placeholder_;
    Font font_ = Font::systemFont(17);
    Color textColor_ = Color::black();
    TextAlignment textAlignment_ = TextAlignment::Left;
    TextBorderStyle borderStyle_ = TextBorderStyle::None;
    std::shared_ptr<Image> background_;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumFontSize_ = 0;
    bool clearsOnBeginEditing_ = false;
    ViewPtr leftView_, rightView_, inputView_, inputAccessoryView_;
    TextFieldViewMode leftViewMode_ = TextFieldViewMode::Never;
    TextFieldViewMode rightViewMode_ = TextFieldViewMode::Never;
    TextFieldViewMode clearButtonMode_ = TextFieldViewMode::Never;
    TextInputTraits traits_;
    std::weak_ptr<TextFieldDelegate> delegate_;
    bool editing_ = false;
    std::optional<size_t> caret_; // unset: at the end
    std::string markedText_;
};

}  // namespace velkora::ui
