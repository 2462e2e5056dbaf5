// The label with tappable links: an attributed text drawn by the text layout, links drawn with their own
// attributes (and the one under the finger with the active ones), taps on a link reported to a delegate,
// and links found in the text off the main loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/AttributedString.h"
#include "platform/ui/DataDetector.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"

namespace velkora {

class VelkoraAttributedLabel;

// Attribute names the label reads while drawing; a client sets them, the label never does.
inline const std::string kVelkoraBackgroundFillColor = "VelkoraBackgroundFillColor";
inline const std::string kVelkoraBackgroundStrokeColor = "VelkoraBackgroundStrokeColor";
inline const std::string kVelkoraBackgroundLineWidth = "VelkoraBackgroundLineWidth";
inline const std::string kVelkoraBackgroundCornerRadius = "VelkoraBackgroundCornerRadius";
inline const std::string kVelkoraStrikeOutAttribute = "VelkoraStrikeOutAttribute";
// A run marked with it takes the label's text colour when drawn.
inline const std::string kVelkoraForegroundColorFromContext = "CTForegroundColorFromContext";
// 1 raises a run as superscript, -1 lowers it as subscript.
inline const std::string kVelkoraSuperscript = "NSSuperScript";

// Each method is optional: an empty function does not answer, and a tap then falls back to the generic
// text-checking-result method.
class VelkoraAttributedLabelDelegate {
public:
    virtual ~VelkoraAttributedLabelDelegate() = default;
    std::function<void(VelkoraAttributedLabel&, const std::string& url)> attributedLabelDidSelectLinkWithURL;
    std::function<void(VelkoraAttributedLabel&, const std::map<std::string, std::string>& components)>
        attributedLabelDidSelectLinkWithAddress;
    std::function<void(VelkoraAttributedLabel&, const std::string& phoneNumber)>
        attributedLabelDidSelectLinkWithPhoneNumber;
    std::function<void(VelkoraAttributedLabel&, double date)> attributedLabelDidSelectLinkWithDate;
    std::function<void(VelkoraAttributedLabel&, double date, const std::string& timeZone, double duration)>
        attributedLabelDidSelectLinkWithDateTimeZoneDuration;
    std::function<void(VelkoraAttributedLabel&, const ui::TextCheckingResult&)>
        attributedLabelDidSelectLinkWithTextCheckingResult;
};

// The label's font, colour and ten paragraph settings as attributes.
ui::Attributes attributesFromLabel(const VelkoraAttributedLabel& label);

class VelkoraAttributedLabel : public ui::Label {
public:
    VelkoraAttributedLabel() : VelkoraAttributedLabel(ui::Rect{}) {}
    explicit VelkoraAttributedLabel(const ui::Rect& frame);
    ~VelkoraAttributedLabel() override;
    static std::shared_ptr<VelkoraAttributedLabel> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraAttributedLabel>(frame);
    }
    const char* className() const override { return "VelkoraAttributedLabel"; }
    static void registerClass();

    using ConfigureBlock = std::function<ui::AttributedString(ui::AttributedString)>;

    void setText(const std::string& text);
    void setText(const ui::AttributedString& text);
    void setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(const std::string& text,
                                                                      const ConfigureBlock& block);
    void setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(const ui::AttributedString& text,
                                                                      const ConfigureBlock& block);
    const std::optional<ui::AttributedString>& attributedText() const { return attributedText_; }
    void setAttributedText(const std::optional<ui::AttributedString>& text);

    void setNeedsFramesetter();
    bool needsFramesetter() const;
    // The text as drawn: runs taking the context's colour get the label's text colour.
    ui::AttributedString renderedAttributedText() const;

    uint32_t dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(uint32_t types);
    const std::shared_ptr<ui::DataDetector>& dataDetector() const { return dataDetector_; }

    void addLinkWithTextCheckingResult(const ui::TextCheckingResult& result);
    void addLinkWithTextCheckingResult(const ui::TextCheckingResult& result, const ui::Attributes& attributes);
    // Attributes, when given, are laid over each link's range.
    void addLinksWithTextCheckingResults(const std::vector<ui::TextCheckingResult>& results,
                                         const std::optional<ui::Attributes>& attributes);
    void addLinkToURL(const std::string& url, ui::TextRange range);
    void addLinkToAddress(const std::map<std::string, std::string>& components, ui::TextRange range);
    void addLinkToPhoneNumber(const std::string& phoneNumber, ui::TextRange range);
    void addLinkToDate(double date, ui::TextRange range);
    void addLinkToDate(double date, const std::string& timeZone, double duration, ui::TextRange range);

    // The first link holding the index (an empty link holds none).
    std::optional<ui::TextCheckingResult> linkAtCharacterIndex(size_t index) const;
    std::optional<ui::TextCheckingResult> linkAtPoint(ui::Point p) const;
    // The UTF-16 index of the character under a point of the label, or ui::kTextNotFound.
    size_t characterIndexAtPoint(ui::Point p) const;

    const std::optional<ui::TextCheckingResult>& activeLink() const { return activeLink_; }
    void setActiveLink(const std::optional<ui::TextCheckingResult>& link);
    void setHighlighted(bool highlighted);
    void setTextColor(ui::Color color);

    ui::Rect textRectForBounds(const ui::Rect& bounds, int numberOfLines) const override;
    void drawTextInRect(ui::GraphicsContext& context, const ui::Rect& rect) override;
    ui::Size sizeThatFits(ui::Size size) const override;

    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event* event) override;
    void touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event* event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event* event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event* event) override;

    std::shared_ptr<VelkoraAttributedLabelDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraAttributedLabelDelegate> d) { delegate_ = std::move(d); }
    const std::vector<ui::TextCheckingResult>& links() const { return links_; }
    const ui::Attributes& linkAttributes() const { return linkAttributes_; }
    void setLinkAttributes(ui::Attributes a) { linkAttributes_ = std::move(a); }
    const ui::Attributes& activeLinkAttributes() const { return activeLinkAttributes_; }
    void setActiveLinkAttributes(ui::Attributes a) { activeLinkAttributes_ = std::move(a); }
    const std::optional<ui::AttributedString>& inactiveAttributedText() const { return inactiveAttributedText_; }
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double r) { shadowRadius_ = r; }
    double leading() const { return leading_; }
    void setLeading(double l) { leading_ = l; }
    double lineHeightMultiple() const { return lineHeightMultiple_; }
    void setLineHeightMultiple(double m) { lineHeightMultiple_ = m; }
    double firstLineIndent() const { return firstLineIndent_; }
    void setFirstLineIndent(double i) { firstLineIndent_ = i; }
    int verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(int a) { verticalAlignment_ = a; }
    const std::optional<std::string>& truncationTokenString() const { return truncationTokenString_; }
    void setTruncationTokenString(std::optional<std::string> t) { truncationTokenString_ = std::move(t); }
    ui::EdgeInsets textInsets() const { return textInsets_; }
    void setTextInsets(ui::EdgeInsets i) { textInsets_ = i; }

    // The shrinking factor of a multi-line label that wraps by words: π ÷ e.
    static constexpr double kMultiLineShrinkFactor = 1.1557273497909217;

private:
    // What a layout was made for; a layout is reused only on the thread that made it.
    struct LayoutKey {
        double width = 0;
        int lines = 0;
        int mode = 0;
        bool highlighted = false;
        friend bool operator==(const LayoutKey&, const LayoutKey&) = default;
    };
    ui::TextLayoutOptions layoutOptions(double width, int lines) const;
    // Holds the label's mutex: the rendered text and the sizes measured from it.
    ui::Size measuredSize(double width, int lines) const;
    std::shared_ptr<ui::TextLayout> layoutFor(const ui::AttributedString& text, double width, int lines,
                                              bool highlighted) const;
    std::shared_ptr<ui::TextLayout> shownLayout(const ui::Rect& textRect, bool highlighted) const;
    ui::AttributedString highlightedText() const;
    void drawBackground(ui::GraphicsContext& g, const ui::TextLayout& layout, const ui::AttributedString& text,
                        ui::Point origin) const;
    void drawStrike(ui::GraphicsContext& g, const ui::TextLayout& layout, const ui::AttributedString& text,
                    ui::Point origin) const;
    void reportLink(const ui::TextCheckingResult& link);
    void detectLinks();

    mutable std::mutex mutex_;
    mutable bool needsFramesetter_ = true;
    std::optional<ui::AttributedString> attributedText_;
    std::optional<ui::AttributedString> inactiveAttributedText_;
    mutable std::optional<ui::AttributedString> renderedAttributedText_;
    mutable std::map<std::pair<double, int>, ui::Size> measuredSizes_;
    struct CachedLayout {
        LayoutKey key;
        std::thread::id thread;
        std::shared_ptr<ui::TextLayout> layout;
    };
    mutable std::vector<CachedLayout> layouts_;
    mutable std::optional<ui::AttributedString> highlightedText_;
    std::weak_ptr<VelkoraAttributedLabelDelegate> delegate_;
    uint32_t dataDetectorTypes_ = 0;
    std::shared_ptr<ui::DataDetector> dataDetector_;
    std::vector<ui::TextCheckingResult> links_;
    ui::Attributes linkAttributes_;
    ui::Attributes activeLinkAttributes_;
    double shadowRadius_ = 0;
    double leading_ = 0;
    double lineHeightMultiple_ = 0;
    double firstLineIndent_ = 0;
    int verticalAlignment_ = 0;
    std::optional<std::string> truncationTokenString_;
    std::optional<ui::TextCheckingResult> activeLink_;
    ui::EdgeInsets textInsets_;
    // Moves with every text set, so links found for an earlier text are dropped.
    uint64_t textGeneration_ = 0;
};

} // namespace velkora
