#include "shell/VelkoraAttributedLabel.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Touch.h"

namespace velkora {

namespace {

const bool kRegistered = (VelkoraAttributedLabel::registerClass(), true);

bool truncates(ui::LineBreakMode m) {
    return m == ui::LineBreakMode::TruncateHead || m == ui::LineBreakMode::TruncateTail ||
           m == ui::LineBreakMode::TruncateMiddle;
}

ui::TextAlignment paragraphAlignment(ui::TextAlignment a) {
    switch (a) {
    case ui::TextAlignment::Left:
    case ui::TextAlignment::Center:
    case ui::TextAlignment::Right:
        return a;
    default:
        return ui::TextAlignment::Natural;
    }
}

template <typename T> std::optional<T> runValue(const ui::Attributes& a, const std::string& name) {
    if (auto* v = ui::attributeAs<T>(a, name)) return *v;
    return std::nullopt;
}

} // namespace

ui::Attributes attributesFromLabel(const VelkoraAttributedLabel& label) {
    const ui::Font& font = *label.font();
    ui::ParagraphStyle style;
    style.alignment = paragraphAlignment(label.textAlignment());
    style.lineBreakMode = label.numberOfLines() == 1 ? label.lineBreakMode() : ui::LineBreakMode::WordWrap;
    style.lineSpacing = label.leading();
    style.lineSpacingAdjustment = std::ceil(font.lineHeight() - font.ascender() + font.descender());
    style.lineHeightMultiple = label.lineHeightMultiple();
    ui::EdgeInsets insets = label.textInsets();
    style.firstLineHeadIndent = insets.left + label.firstLineIndent();
    style.paragraphSpacingBefore = insets.top;
    style.paragraphSpacing = insets.bottom;
    style.headIndent = insets.left;
    // Measured from the trailing edge: a positive tail indent would count from the leading edge and
    // squeeze every line into the inset's width.
    style.tailIndent = -insets.right;
    return {{ui::attr::Font, font}, {ui::attr::ForegroundColor, label.textColor()}, {ui::attr::ParagraphStyle, style}};
}

VelkoraAttributedLabel::VelkoraAttributedLabel(const ui::Rect& frame) : ui::Label(frame) {
    (void)kRegistered;
    setUserInteractionEnabled(true);
    setMultipleTouchEnabled(false);
    ui::ParagraphStyle byCharacter;
    byCharacter.lineBreakMode = ui::LineBreakMode::CharWrap;
    linkAttributes_ = {{ui::attr::ForegroundColor, ui::Color::rgba(0, 0, 1)},
                       {ui::attr::Underline, 1.0},
                       {ui::attr::ParagraphStyle, byCharacter}};
    activeLinkAttributes_ = {{ui::attr::ForegroundColor, ui::Color::rgba(1, 0, 0)}, {ui::attr::Underline, 0.0}};
}

VelkoraAttributedLabel::~VelkoraAttributedLabel() = default;

void VelkoraAttributedLabel::registerClass() {
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraAttributedLabel"))
        loader.registerClass<VelkoraAttributedLabel>("VelkoraAttributedLabel");
}

// ---- Text

void VelkoraAttributedLabel::setText(const std::string& text) {
    setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(text, nullptr);
}

void VelkoraAttributedLabel::setText(const ui::AttributedString& text) {
    ++textGeneration_;
    setAttributedText(text);
    activeLink_.reset();
    inactiveAttributedText_.reset();
    links_.clear();
    if (dataDetectorTypes_ != 0 && dataDetector_) detectLinks();
    ui::Label::setText(text.string());
}

void VelkoraAttributedLabel::setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(const std::string& text,
                                                                                          const ConfigureBlock& block) {
    setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(ui::AttributedString(text), block);
}

void VelkoraAttributedLabel::setTextAfterInheritingLabelAttributesAndConfiguringWithBlock(
    const ui::AttributedString& text, const ConfigureBlock& block) {
    ui::AttributedString inherited = text;
    inherited.addAttributes(attributesFromLabel(*this), {0, inherited.length()});
    setText(block ? block(std::move(inherited)) : inherited);
}

void VelkoraAttributedLabel::setAttributedText(const std::optional<ui::AttributedString>& text) {
    if (text == attributedText_) return;
    attributedText_ = text;
    setNeedsFramesetter();
    setNeedsDisplay();
}

void VelkoraAttributedLabel::setNeedsFramesetter() {
    std::lock_guard lock(mutex_);
    renderedAttributedText_.reset();
    highlightedText_.reset();
    measuredSizes_.clear();
    layouts_.clear();
    needsFramesetter_ = true;
}

bool VelkoraAttributedLabel::needsFramesetter() const {
    std::lock_guard lock(mutex_);
    return needsFramesetter_;
}

ui::AttributedString VelkoraAttributedLabel::renderedAttributedText() const {
    std::lock_guard lock(mutex_);
    if (!renderedAttributedText_) {
        ui::AttributedString rendered = attributedText_.value_or(ui::AttributedString());
        std::vector<ui::TextRange> fromContext;
        for (const auto& run : rendered.runs())
            if (auto v = runValue<bool>(run.attributes, kVelkoraForegroundColorFromContext); v && *v)
                fromContext.push_back(run.range);
        for (auto range : fromContext) {
            rendered.addAttribute(ui::attr::ForegroundColor, textColor(), range);
            rendered.removeAttribute(kVelkoraForegroundColorFromContext, range);
        }
        renderedAttributedText_ = std::move(rendered);
        needsFramesetter_ = false;
    }
    return *renderedAttributedText_;
}

void VelkoraAttributedLabel::setTextColor(ui::Color color) {
    bool changed = !(color == textColor());
    ui::Label::setTextColor(color);
    if (changed) {
        setNeedsFramesetter();
        setNeedsDisplay();
    }
}

void VelkoraAttributedLabel::setHighlighted(bool highlighted) {
    ui::Label::setHighlighted(highlighted);
    setNeedsDisplay();
}

// ---- Links

void VelkoraAttributedLabel::setDataDetectorTypes(uint32_t types) {
    dataDetectorTypes_ = types;
    dataDetector_ = types ? std::make_shared<ui::DataDetector>(ui::checkingTypesForDetectorTypes(types)) : nullptr;
}

void VelkoraAttributedLabel::detectLinks() {
    // The search runs on a background queue and posts what it found: the main loop never waits for it,
    // and the matches apply only while the label still shows the text they were found in.
    std::weak_ptr<VelkoraAttributedLabel> label = sharedAs<VelkoraAttributedLabel>();
    auto detector = dataDetector_;
    std::string text = attributedText_ ? attributedText_->string() : std::string();
    uint64_t generation = textGeneration_;
    foundation::DispatchQueue::global().async([label, detector, text, generation] {
        auto matches = detector->matches(text);
        if (matches.empty()) return;
        foundation::RunLoop::main().post([label, matches = std::move(matches), generation] {
            auto l = label.lock();
            if (!l || l->textGeneration_ != generation) return;
            l->addLinksWithTextCheckingResults(matches, l->linkAttributes_);
        });
    });
}

void VelkoraAttributedLabel::addLinkWithTextCheckingResult(const ui::TextCheckingResult& result) {
    addLinkWithTextCheckingResult(result, linkAttributes_);
}

void VelkoraAttributedLabel::addLinkWithTextCheckingResult(const ui::TextCheckingResult& result,
                                                           const ui::Attributes& attributes) {
    addLinksWithTextCheckingResults({result}, attributes);
}

void VelkoraAttributedLabel::addLinksWithTextCheckingResults(const std::vector<ui::TextCheckingResult>& results,
                                                             const std::optional<ui::Attributes>& attributes) {
    links_.insert(links_.end(), results.begin(), results.end());
    if (attributes && !attributes->empty() && attributedText_) {
        ui::AttributedString text = *attributedText_;
        for (const auto& r : results)
            text.addAttributes(*attributes, r.range);
        setAttributedText(text);
        setNeedsDisplay();
    }
}

void VelkoraAttributedLabel::addLinkToURL(const std::string& url, ui::TextRange range) {
    addLinkWithTextCheckingResult(ui::TextCheckingResult::link(range, url));
}

void VelkoraAttributedLabel::addLinkToAddress(const std::map<std::string, std::string>& components,
                                              ui::TextRange range) {
    addLinkWithTextCheckingResult(ui::TextCheckingResult::address(range, components));
}

void VelkoraAttributedLabel::addLinkToPhoneNumber(const std::string& phoneNumber, ui::TextRange range) {
    addLinkWithTextCheckingResult(ui::TextCheckingResult::phoneNumberResult(range, phoneNumber));
}

void VelkoraAttributedLabel::addLinkToDate(double date, ui::TextRange range) {
    addLinkWithTextCheckingResult(ui::TextCheckingResult::dateResult(range, date));
}

void VelkoraAttributedLabel::addLinkToDate(double date, const std::string& timeZone, double duration,
                                           ui::TextRange range) {
    addLinkWithTextCheckingResult(ui::TextCheckingResult::dateResult(range, date, timeZone, duration));
}

std::optional<ui::TextCheckingResult> VelkoraAttributedLabel::linkAtCharacterIndex(size_t index) const {
    for (const auto& link : links_)
        if (link.range.contains(index)) return link;
    return std::nullopt;
}

std::optional<ui::TextCheckingResult> VelkoraAttributedLabel::linkAtPoint(ui::Point p) const {
    return linkAtCharacterIndex(characterIndexAtPoint(p));
}

void VelkoraAttributedLabel::setActiveLink(const std::optional<ui::TextCheckingResult>& link) {
    activeLink_ = link;
    if (link && !activeLinkAttributes_.empty()) {
        if (!inactiveAttributedText_) inactiveAttributedText_ = attributedText_;
        if (inactiveAttributedText_) {
            ui::AttributedString active = *inactiveAttributedText_;
            active.addAttributes(activeLinkAttributes_, link->range);
            setAttributedText(active);
        }
        setNeedsDisplay();
    } else if (inactiveAttributedText_) {
        setAttributedText(inactiveAttributedText_);
        inactiveAttributedText_.reset();
        setNeedsDisplay();
    }
}

// ---- Layout

ui::TextLayoutOptions VelkoraAttributedLabel::layoutOptions(double width, int lines) const {
    ui::TextLayoutOptions o;
    o.width = width;
    o.numberOfLines = lines;
    // Only the last line shown is cut: as the label says for one line, at the tail for more.
    ui::LineBreakMode mode = lineBreakMode();
    o.lineBreakMode = truncates(mode) && lines != 1 ? ui::LineBreakMode::TruncateTail : mode;
    if (!truncates(mode) && lines != 1) o.lineBreakMode = ui::LineBreakMode::WordWrap;
    o.truncationToken = truncationTokenString_.value_or("\u2026");
    o.defaultFont = *font();
    o.defaultColor = textColor();
    return o;
}

ui::Size VelkoraAttributedLabel::measuredSize(double width, int lines) const {
    ui::AttributedString text = renderedAttributedText();
    std::lock_guard lock(mutex_);
    auto key = std::make_pair(width, lines);
    if (auto it = measuredSizes_.find(key); it != measuredSizes_.end()) return it->second;
    ui::Size size = ui::TextLayout(text, layoutOptions(width, lines)).sizeThatFits();
    measuredSizes_[key] = size;
    return size;
}

std::shared_ptr<ui::TextLayout> VelkoraAttributedLabel::layoutFor(const ui::AttributedString& text, double width,
                                                                  int lines, bool highlighted) const {
    LayoutKey key{width, lines, int(lineBreakMode()), highlighted};
    std::lock_guard lock(mutex_);
    auto thread = std::this_thread::get_id();
    for (const auto& cached : layouts_)
        if (cached.key == key && cached.thread == thread) return cached.layout;
    auto layout = std::make_shared<ui::TextLayout>(text, layoutOptions(width, lines));
    if (layouts_.size() >= 4) layouts_.erase(layouts_.begin());
    layouts_.push_back({key, thread, layout});
    return layout;
}

ui::Rect VelkoraAttributedLabel::textRectForBounds(const ui::Rect& bounds, int numberOfLines) const {
    if (!attributedText_) return ui::Label::textRectForBounds(bounds, numberOfLines);
    ui::Rect rect = bounds;
    rect.size.height = std::max(rect.height(), font()->pointSize() * 2);
    double textHeight = measuredSize(rect.width(), numberOfLines).height;
    if (textHeight < rect.height()) {
        double offset = verticalAlignment_ == 0   ? std::floor((bounds.height() - textHeight) * 0.5)
                        : verticalAlignment_ == 2 ? bounds.height() - textHeight
                                                  : 0;
        rect.origin.y += offset;
    }
    return rect;
}

ui::Size VelkoraAttributedLabel::sizeThatFits(ui::Size size) const {
    if (!attributedText_) return ui::Label::sizeThatFits(size);
    int lines = numberOfLines();
    ui::Size fitted = measuredSize(lines == 1 ? 0 : size.width, lines);
    return {std::ceil(fitted.width), std::ceil(fitted.height)};
}

// The layout of the lines that show in the text rectangle: at most the label's lines, and without a
// limit only those that fit its height.
std::shared_ptr<ui::TextLayout> VelkoraAttributedLabel::shownLayout(const ui::Rect& textRect, bool highlighted) const {
    ui::AttributedString text = highlighted ? highlightedText() : renderedAttributedText();
    int lines = numberOfLines();
    auto layout = layoutFor(text, textRect.width(), lines, highlighted);
    if (lines == 0 && layout->size().height > textRect.height() + 0.5) {
        int fit = 0;
        for (const auto& line : layout->lines())
            if (line.frame.maxY() <= textRect.height() + 0.5) ++fit;
        layout = layoutFor(text, textRect.width(), std::max(1, fit), highlighted);
    }
    return layout;
}

size_t VelkoraAttributedLabel::characterIndexAtPoint(ui::Point p) const {
    if (!attributedText_ || !bounds().contains(p)) return ui::kTextNotFound;
    ui::Rect textRect = textRectForBounds(bounds(), numberOfLines());
    if (!textRect.contains(p)) return ui::kTextNotFound;
    auto layout = shownLayout(textRect, false);
    return layout->characterIndexAtPoint({p.x - textRect.x(), p.y - textRect.y()});
}

// ---- Drawing

ui::AttributedString VelkoraAttributedLabel::highlightedText() const {
    ui::AttributedString text = renderedAttributedText();
    std::lock_guard lock(mutex_);
    if (!highlightedText_) {
        text.addAttribute(ui::attr::ForegroundColor, highlightedTextColor().value_or(textColor()), {0, text.length()});
        highlightedText_ = std::move(text);
    }
    return *highlightedText_;
}

void VelkoraAttributedLabel::drawTextInRect(ui::GraphicsContext& g, const ui::Rect& rect) {
    if (!attributedText_) {
        ui::Label::drawTextInRect(g, rect);
        return;
    }
    // Shrinking to fit draws a copy at a smaller size; the label's own text stays as it was.
    std::optional<ui::AttributedString> kept;
    if (adjustsFontSizeToFitWidth() && numberOfLines() > 0) {
        double textWidth = sizeThatFits({0, 0}).width;
        if (numberOfLines() > 1 && lineBreakMode() == ui::LineBreakMode::WordWrap) textWidth *= kMultiLineShrinkFactor;
        double available = frame().width() * numberOfLines();
        if (textWidth > 0 && textWidth > available) {
            kept = attributedText_;
            ui::AttributedString shrunk = *attributedText_;
            std::vector<std::pair<ui::TextRange, ui::Font>> fonts;
            for (const auto& run : shrunk.runs()) {
                ui::Font f = runValue<ui::Font>(run.attributes, ui::attr::Font).value_or(*font());
                fonts.emplace_back(run.range, f.withSize(std::max(std::floor(f.pointSize() * available / textWidth),
                                                                  minimumFontSize())));
            }
            for (const auto& [range, f] : fonts)
                shrunk.addAttribute(ui::attr::Font, f, range);
            attributedText_ = std::move(shrunk);
            setNeedsFramesetter();
        }
    }

    ui::Rect textRect = textRectForBounds(rect, numberOfLines());
    g.saveGState();
    if (shadowColor() && !isHighlighted()) g.setShadow(shadowOffset(), shadowRadius_, *shadowColor());
    bool highlighted = highlightedTextColor() && isHighlighted();
    ui::AttributedString text = highlighted ? highlightedText() : renderedAttributedText();
    auto layout = shownLayout(textRect, highlighted);
    drawBackground(g, *layout, text, textRect.origin);
    g.drawTextLayout(*layout, textRect.origin);
    drawStrike(g, *layout, text, textRect.origin);
    g.restoreGState();

    if (kept) {
        attributedText_ = std::move(kept);
        setNeedsFramesetter();
    }
}

void VelkoraAttributedLabel::drawBackground(ui::GraphicsContext& g, const ui::TextLayout& layout,
                                            const ui::AttributedString& text, ui::Point origin) const {
    for (const auto& run : text.runs()) {
        auto fill = runValue<ui::Color>(run.attributes, kVelkoraBackgroundFillColor);
        auto stroke = runValue<ui::Color>(run.attributes, kVelkoraBackgroundStrokeColor);
        if (!fill && !stroke) continue;
        double lineWidth = runValue<double>(run.attributes, kVelkoraBackgroundLineWidth).value_or(0);
        double radius = runValue<double>(run.attributes, kVelkoraBackgroundCornerRadius).value_or(0);
        for (ui::Rect box : layout.rectsForRange(run.range)) {
            box = {origin.x + box.x() - 1 + lineWidth, origin.y + box.y() - 3 + lineWidth,
                   box.width() + 2 - 2 * lineWidth, box.height() + 6 - 2 * lineWidth};
            g.saveGState();
            g.setLineJoin(ui::LineJoin::Round);
            if (fill) {
                g.setFillColor(*fill);
                g.beginPath();
                g.addRoundedRect(box, radius);
                g.fillPath();
            }
            if (stroke) {
                g.setStrokeColor(*stroke);
                g.setLineWidth(lineWidth);
                g.beginPath();
                g.addRoundedRect(box, radius);
                g.strokePath();
            }
            g.restoreGState();
        }
    }
}

void VelkoraAttributedLabel::drawStrike(ui::GraphicsContext& g, const ui::TextLayout& layout,
                                        const ui::AttributedString& text, ui::Point origin) const {
    for (const auto& run : text.runs()) {
        auto strike = runValue<bool>(run.attributes, kVelkoraStrikeOutAttribute);
        if (!strike || !*strike) continue;
        ui::Font runFont = runValue<ui::Font>(run.attributes, ui::attr::Font).value_or(*font());
        double shift = 0;
        if (auto sup = runValue<double>(run.attributes, kVelkoraSuperscript)) {
            if (*sup == 1) shift = -0.47 * runFont.ascender();
            if (*sup == -1) shift = 0.25 * runFont.ascender();
        }
        g.saveGState();
        g.setStrokeColor(runValue<ui::Color>(run.attributes, ui::attr::ForegroundColor).value_or(ui::Color::black()));
        g.setLineWidth(font()->underlineThickness());
        for (const ui::Rect& box : layout.rectsForRange(run.range)) {
            double y = std::round(origin.y + box.midY() + shift);
            g.strokeLine({origin.x + box.minX(), y}, {origin.x + box.maxX(), y});
        }
        g.restoreGState();
    }
}

// ---- Touches

void VelkoraAttributedLabel::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event* event) {
    auto link = touches.empty() ? std::nullopt : linkAtPoint(touches.front()->locationInView(this));
    if (!link) {
        ui::Label::touchesBegan(touches, event);
        return;
    }
    setActiveLink(link);
}

void VelkoraAttributedLabel::touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event* event) {
    if (!activeLink_) {
        ui::Label::touchesMoved(touches, event);
        return;
    }
    auto link = touches.empty() ? std::nullopt : linkAtPoint(touches.front()->locationInView(this));
    if (link != activeLink_) setActiveLink(std::nullopt);
}

void VelkoraAttributedLabel::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event* event) {
    if (!activeLink_) {
        ui::Label::touchesEnded(touches, event);
        return;
    }
    ui::TextCheckingResult link = *activeLink_;
    setActiveLink(std::nullopt);
    reportLink(link);
}

void VelkoraAttributedLabel::touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event* event) {
    if (!activeLink_) {
        ui::Label::touchesCancelled(touches, event);
        return;
    }
    setActiveLink(std::nullopt);
}

void VelkoraAttributedLabel::reportLink(const ui::TextCheckingResult& link) {
    auto d = delegate();
    if (!d) return;
    using Type = ui::TextCheckingType;
    switch (link.resultType) {
    case Type::Link:
        if (d->attributedLabelDidSelectLinkWithURL) return d->attributedLabelDidSelectLinkWithURL(*this, link.url);
        break;
    case Type::Address:
        if (d->attributedLabelDidSelectLinkWithAddress)
            return d->attributedLabelDidSelectLinkWithAddress(*this, link.addressComponents);
        break;
    case Type::PhoneNumber:
        if (d->attributedLabelDidSelectLinkWithPhoneNumber)
            return d->attributedLabelDidSelectLinkWithPhoneNumber(*this, link.phoneNumber);
        break;
    case Type::Date:
        if (!link.timeZone.empty()) {
            if (d->attributedLabelDidSelectLinkWithDateTimeZoneDuration)
                return d->attributedLabelDidSelectLinkWithDateTimeZoneDuration(*this, link.date, link.timeZone,
                                                                               link.duration);
        } else if (d->attributedLabelDidSelectLinkWithDate) {
            return d->attributedLabelDidSelectLinkWithDate(*this, link.date);
        }
        break;
    default:
        break;
    }
    if (d->attributedLabelDidSelectLinkWithTextCheckingResult)
        d->attributedLabelDidSelectLinkWithTextCheckingResult(*this, link);
}

} // namespace velkora
