#include "platform/ui/Snapshot.h"

#include <cairo.h>

#include <cmath>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {

Font labelFont(const Label& label) { return label.font() ? *label.font() : Font::systemFont(17); }

// A one-line label that shrinks to fit: the font goes down with the width the text needs, not below the
// smallest scale (or the smallest size, when no scale is set).
Font fittedFont(const Label& label, double width) {
    Font font = labelFont(label);
    if (!label.adjustsFontSizeToFitWidth() || label.numberOfLines() != 1 || width <= 0) return font;
    TextLayoutOptions o;
    o.defaultFont = font;
    double needed = TextLayout(label.text(), font, o).size().width;
    if (needed <= width) return font;
    double smallest = label.minimumScaleFactor() > 0 ? font.pointSize() * label.minimumScaleFactor()
                                                     : std::max(1.0, label.minimumFontSize());
    return font.withSize(std::max(smallest, std::floor(font.pointSize() * width / needed * 2) / 2));
}

TextLayoutOptions labelOptions(const Label& label, double width) {
    TextLayoutOptions o;
    o.width = label.numberOfLines() == 1 && width <= 0 ? 0 : width;
    o.numberOfLines = label.numberOfLines();
    o.lineBreakMode = label.lineBreakMode();
    o.alignment = label.textAlignment();
    o.defaultFont = labelFont(label);
    o.defaultColor = label.currentTextColor();
    return o;
}

// Where a picture goes inside a view's bounds for its content mode.
Rect imageRect(ContentMode mode, const Rect& b, Size s) {
    if (s.width <= 0 || s.height <= 0) return b;
    switch (mode) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw: return b;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
        double fx = b.width() / s.width, fy = b.height() / s.height;
        double f = mode == ContentMode::ScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
        Size d{s.width * f, s.height * f};
        return {b.midX() - d.width / 2, b.midY() - d.height / 2, d.width, d.height};
    }
    default: break;
    }
    double x = b.midX() - s.width / 2, y = b.midY() - s.height / 2;
    switch (mode) {
    case ContentMode::Top: y = b.minY(); break;
    case ContentMode::Bottom: y = b.maxY() - s.height; break;
    case ContentMode::Left: x = b.minX(); break;
    case ContentMode::Right: x = b.maxX() - s.width; break;
    case ContentMode::TopLeft: x = b.minX(), y = b.minY(); break;
    case ContentMode::TopRight: x = b.maxX() - s.width, y = b.minY(); break;
    case ContentMode::BottomLeft: x = b.minX(), y = b.maxY() - s.height; break;
    case ContentMode::BottomRight: x = b.maxX() - s.width, y = b.maxY() - s.height; break;
    default: break;
    }
    return {x, y, s.width, s.height};
}

void addShape(GraphicsContext& g, const Rect& r, double radius) {
    g.beginPath();
    if (radius > 0) g.addRoundedRect(r, radius);
    else g.addRect(r);
}

void drawView(View& view, GraphicsContext& g, bool root, const std::function<bool(View&)>* skip = nullptr) {
    // The view asked for shows even when hidden (a window not yet on screen); its hidden subviews do not.
    if ((view.isHidden() && !root) || view.alpha() < 0.01) return;
    if (skip && (*skip)(view)) return;
    g.saveGState();
    if (!root) {
        // Into the view's own coordinates: its centre in the superview, its transform, its bounds.
        Point c = view.center();
        Rect b = view.bounds();
        g.translate(c.x, c.y);
        if (!view.transform().isIdentity()) g.concat(view.transform());
        g.translate(-b.width() / 2 - b.x(), -b.height() / 2 - b.y());
    }
    bool group = view.alpha() < 1;
    if (group) cairo_push_group(g.cairo());
    const Layer& layer = view.layer();
    Rect bounds = view.bounds();
    double radius = layer.cornerRadius();
    if (layer.shadowOpacity() > 0 && !view.backgroundColor().isClear()) {
        g.saveGState();
        Size off = layer.shadowOffset();
        g.setShadow({off.width, off.height}, layer.shadowRadius() * 2, layer.shadowColor().withAlpha(layer.shadowOpacity()));
        g.setFillColor(view.backgroundColor());
        addShape(g, bounds, radius);
        g.fillPath();
        g.restoreGState();
    } else if (!view.backgroundColor().isClear()) {
        g.setFillColor(view.backgroundColor());
        addShape(g, bounds, radius);
        g.fillPath();
    }
    g.saveGState();
    if (view.clipsToBounds()) {
        addShape(g, bounds, radius);
        g.clip();
    }
    Snapshot::drawContent(view, g);
    for (auto& sub : view.subviews()) drawView(*sub, g, false, skip);
    g.restoreGState();
    if (layer.borderWidth() > 0) {
        double w = layer.borderWidth();
        g.setStrokeColor(layer.borderColor());
        g.setLineWidth(w);
        addShape(g, bounds.insetBy(w / 2, w / 2), std::max(0.0, radius - w / 2));
        g.strokePath();
    }
    if (group) {
        cairo_pop_group_to_source(g.cairo());
        cairo_paint_with_alpha(g.cairo(), view.alpha());
    }
    g.restoreGState();
}

void drawSwitch(const Switch& s, GraphicsContext& g, const Rect& b) {
    double h = b.height(), r = h / 2;
    g.setFillColor(s.isOn() ? s.onTintColor() : Color::whiteColor());
    addShape(g, b, r);
    g.fillPath();
    if (!s.isOn()) {
        g.setStrokeColor(Color::white(0.85));
        g.setLineWidth(1.5);
        addShape(g, b.insetBy(0.75, 0.75), r - 0.75);
        g.strokePath();
    }
    double d = h - 4;
    Rect knob(s.isOn() ? b.maxX() - 2 - d : b.minX() + 2, b.minY() + 2, d, d);
    g.saveGState();
    g.setShadow({0, 1}, 3, Color::black().withAlpha(0.3));
    g.setFillColor(Color::whiteColor());
    g.fillEllipseInRect(knob);
    g.restoreGState();
}

void drawPageControl(const PageControl& p, GraphicsContext& g, const Rect& b) {
    if (!p.showsDots()) return;
    const double dot = 7, spacing = 16;
    int n = p.numberOfPages();
    double x = b.midX() - (n - 1) * spacing / 2;
    for (int i = 0; i < n; ++i) {
        g.setFillColor(i == p.currentPage() ? p.currentPageIndicatorTintColor() : p.pageIndicatorTintColor());
        g.fillEllipseInRect({x + i * spacing - dot / 2, b.midY() - dot / 2, dot, dot});
    }
}

// The background picture over the whole field, then the text (or the grey placeholder) on one line in
// the text rectangle, centred vertically; secure text shows as dots.
// The text as the person sees it while an input method composes: the composition at the caret.
std::string withMarkedText(const std::string& text, size_t caret, const std::string& marked) {
    if (marked.empty()) return text;
    std::string shown = text;
    shown.insert(utf16::byteOffset(shown, caret), marked);
    return shown;
}

void drawTextField(const TextField& f, GraphicsContext& g, const Rect& b) {
    if (const auto& bg = f.background()) g.drawImage(*bg, bg->isResizable() ? b : imageRect(f.contentMode(), b, bg->size()));
    const bool placeholder = f.text().empty() && f.markedText().empty();
    std::string shown = placeholder ? f.placeholder() : withMarkedText(f.text(), f.caretPosition(), f.markedText());
    if (shown.empty()) return;
    if (!placeholder && f.isSecureTextEntry()) {
        size_t n = utf16::length(shown);
        shown.clear();
        for (size_t i = 0; i < n; ++i) shown += "\u2022";
    }
    Rect r = f.textRectForBounds(b);
    TextLayoutOptions o;
    o.width = r.width();
    o.numberOfLines = 1;
    o.lineBreakMode = LineBreakMode::TruncateTail;
    o.alignment = f.textAlignment();
    o.defaultFont = f.font();
    o.defaultColor = placeholder ? Color::rgba(0.7, 0.7, 0.72) : f.textColor();
    TextLayout layout(shown, f.font(), o);
    g.drawTextLayout(layout, {r.x(), r.y() + std::floor((r.height() - layout.size().height) / 2)});
}

// The text wrapped at the width inside the insets, from the top, scrolled with the view's offset.
void drawTextView(const TextView& t, GraphicsContext& g, const Rect& b) {
    if (t.text().empty() && t.markedText().empty()) return;
    const EdgeInsets in = t.textContainerInset();
    TextLayoutOptions o;
    o.width = std::max(1.0, b.width() - in.left - in.right);
    o.numberOfLines = 0;
    o.lineBreakMode = LineBreakMode::WordWrap;
    o.alignment = t.textAlignment();
    o.defaultFont = t.font();
    o.defaultColor = t.textColor();
    TextLayout layout(withMarkedText(t.text(), t.selectedRange().location, t.markedText()), t.font(), o);
    g.drawTextLayout(layout, {b.x() + in.left, b.y() + in.top});
}

// Twelve spokes fading round the circle, as the spinner looks at rest.
void drawSpinner(const ActivityIndicatorView& a, GraphicsContext& g, const Rect& b) {
    double r = std::min(b.width(), b.height()) / 2;
    g.saveGState();
    g.translate(b.midX(), b.midY());
    g.setLineWidth(std::max(1.5, r * 0.18));
    g.setLineCap(LineCap::Round);
    for (int i = 0; i < 12; ++i) {
        double angle = -M_PI / 2 + i * M_PI / 6;
        g.setStrokeColor(a.color().withAlpha(a.color().a * (1 - i / 14.0)));
        g.strokeLine({std::cos(angle) * r * 0.5, std::sin(angle) * r * 0.5}, {std::cos(angle) * r * 0.9, std::sin(angle) * r * 0.9});
    }
    g.restoreGState();
}

}  // namespace

Size measureLabel(const Label& label, Size bounds) {
    if (label.text().empty()) return {0, 0};
    return TextLayout(label.text(), labelFont(label), labelOptions(label, bounds.width)).sizeThatFits();
}

void drawLabel(const Label& label, GraphicsContext& g) {
    if (label.text().empty()) return;
    Rect b = label.bounds();
    TextLayoutOptions o = labelOptions(label, b.width());
    Font font = fittedFont(label, b.width());
    o.defaultFont = font;
    auto layout = std::make_unique<TextLayout>(label.text(), font, o);
    // Without a line limit, only the lines that fit in the bounds are shown (at least one).
    if (o.numberOfLines == 0 && layout->size().height > b.height() + 0.5) {
        int fit = 0;
        for (const auto& line : layout->lines())
            if (line.frame.maxY() <= b.height() + 0.5) ++fit;
        o.numberOfLines = std::max(1, fit);
        layout = std::make_unique<TextLayout>(label.text(), font, o);
    }
    // Centred vertically, as labels show their text.
    double y = b.y() + std::floor((b.height() - layout->size().height) / 2);
    g.saveGState();
    if (label.lineBreakMode() == LineBreakMode::Clip) g.clipToRect(b);
    if (label.shadowColor() && !label.isHighlighted())
        g.setShadow(label.shadowOffset(), 0, *label.shadowColor());
    g.drawTextLayout(*layout, {b.x(), y});
    g.restoreGState();
}

void Snapshot::drawContent(View& view, GraphicsContext& g) {
    Rect b = view.bounds();
    if (auto* label = dynamic_cast<Label*>(&view)) {
        label->drawTextInRect(g, b);
    } else if (auto* imageView = dynamic_cast<ImageView*>(&view)) {
        if (auto& image = imageView->currentImage()) {
            Size s = image->size();
            g.drawImage(*image, image->isResizable() ? b : imageRect(view.contentMode(), b, s));
        }
    } else if (auto* button = dynamic_cast<Button*>(&view)) {
        if (auto bg = button->currentBackgroundImage()) g.drawImage(*bg, b);
    } else if (auto* toggle = dynamic_cast<Switch*>(&view)) {
        drawSwitch(*toggle, g, b);
    } else if (auto* pages = dynamic_cast<PageControl*>(&view)) {
        drawPageControl(*pages, g, b);
    } else if (auto* spinner = dynamic_cast<ActivityIndicatorView*>(&view)) {
        drawSpinner(*spinner, g, b);
    } else if (auto* field = dynamic_cast<TextField*>(&view)) {
        drawTextField(*field, g, b);
    } else if (auto* text = dynamic_cast<TextView*>(&view)) {
        drawTextView(*text, g, b);
    }
    view.drawRect(g, b);
}

void Snapshot::drawTree(View& view, GraphicsContext& g) { drawView(view, g, true); }

std::shared_ptr<Image> Snapshot::imageOfView(View& view, double scale) {
    auto keep = view.sharedView();
    view.layoutIfNeeded();
    Rect b = view.bounds();
    auto ctx = GraphicsContext::bitmap(b.size, scale);
    if (!ctx) return nullptr;
    ctx->translate(-b.x(), -b.y());
    drawView(view, *ctx, true);
    return ctx->makeImage();
}

void drawScreenInto(GraphicsContext& g, const std::function<bool(View&)>& skip) {
    Rect s = Screen::main().bounds();
    g.setFillColor(Color::black());
    g.fillRect(s);
    for (auto& window : Application::instance().windows()) {
        if (window->isHidden()) continue;
        window->layoutIfNeeded();
        g.saveGState();
        g.translate(-s.x(), -s.y());
        drawView(*window, g, false, skip ? &skip : nullptr);
        g.restoreGState();
    }
}

std::shared_ptr<Image> Snapshot::imageOfScreen(double scale) {
    auto ctx = GraphicsContext::bitmap(Screen::main().bounds().size, scale, true);
    if (!ctx) return nullptr;
    drawScreenInto(*ctx, {});
    return ctx->makeImage();
}

bool Snapshot::writePng(View& view, const std::string& path, double scale) {
    auto image = imageOfView(view, scale);
    return image && image->writePng(path);
}

bool Snapshot::writeScreenPng(const std::string& path, double scale) {
    auto image = imageOfScreen(scale);
    return image && image->writePng(path);
}

}  // namespace velkora::ui
