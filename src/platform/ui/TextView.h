// The multi-line text view: editable text in a scroll view, its selection, and its delegate.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"

namespace velkora::ui {

class TextView;

class TextViewDelegate : public ScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(TextView& /*view*/) { return true; }
    virtual void textViewDidBeginEditing(TextView& /*view*/) {}
    virtual bool textViewShouldEndEditing(TextView& /*view*/) { return true; }
    virtual void textViewDidEndEditing(TextView& /*view*/) {}
    // The range is in UTF-16 units of the current text.
    virtual bool shouldChangeTextInRange(TextView& /*view*/, TextRange /*range*/, const std::string& /*text*/) { return true; }
    virtual void textViewDidChange(TextView& /*view*/) {}
    virtual void textViewDidChangeSelection(TextView& /*view*/) {}
};

class TextView : public ScrollView {
public:
    TextView() : TextView(Rect{}) {}
    explicit TextView(const Rect& frame);
    static std::shared_ptr<TextView> create(const Rect& frame = {}) { return std::make_shared<TextView>(frame); }
    const char* className() const override { return "TextView"; }

    const std::string& text() const { return text_; }
    // From code: no delegate question; the selection moves to the end.
    void setText(std::string text);
    const Font& font() const { return font_; }
    void setFont(const Font& f);
    Color textColor() const { return textColor_; }
    void setTextColor(Color c);
    TextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(TextAlignment a);
    bool isEditable() const { return editable_; }
    void setEditable(bool e);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool s) { selectable_ = s; }
    // UTF-16 units; kept inside the text.
    TextRange selectedRange() const { return selectedRange_; }
    void setSelectedRange(TextRange range);
    EdgeInsets textContainerInset() const { return textContainerInset_; }
    void setTextContainerInset(EdgeInsets i);
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

    // Also the scroll view's delegate.
    void setDelegate(std::weak_ptr<TextViewDelegate> d);
    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    bool isEditing() const { return editing_; }

    bool canBecomeFirstResponder() const override { return editable_ || selectable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // Typing, as the keyboard delivers it, over the selection: the delegate may refuse; a change tells
    // the delegate that the text changed. Only while editing an editable view.
    bool insertText(const std::string& text);
    // Takes the selection, or the whole character before the caret (a letter with its accents, an emoji
    // sequence).
    bool deleteBackward();
    // What an input method is composing at the selection: shown, not yet part of the text. Ends with
    // editing.
    const std::string& markedText() const { return markedText_; }
    void setMarkedText(std::string text);
    bool replaceRange(TextRange range, const std::string& text);
    void scrollRangeToVisible(TextRange range);

    // The height the text needs at the view's width, insets included.
    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    std::string dumpText() const override { return text_; }

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    void updateContentSize();

    std::string text_;
    Font font_ = Font::systemFont(17);
    Color textColor_ = Color::black();
    TextAlignment textAlignment_ = TextAlignment::Left;
    bool editable_ = true;
    bool selectable_ = true;
    TextRange selectedRange_;
    EdgeInsets textContainerInset_{8, 0, 8, 0};
    ViewPtr inputView_, inputAccessoryView_;
    TextInputTraits traits_;
    std::weak_ptr<TextViewDelegate> delegate_;
    bool editing_ = false;
    std::string markedText_;
};

}  // namespace velkora::ui
