// The classes and properties every interface file can use; screens register their own beside them.
#include <cmath>
#include <optional>

#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/MapView.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextView.h"
#include "platform/ui/View.h"
#include "platform/ui/WebView.h"

namespace velkora::ui {

using foundation::Value;
using Result = InterfaceLoader::PropertyResult;

namespace {

std::optional<double> number(const Value& v) {
    if (!v.isNumber()) return std::nullopt;
    auto d = v.toDouble();
    if (!d || !std::isfinite(*d)) return std::nullopt;
    return d;
}

std::optional<int> integer(const Value& v, int lo, int hi) {
    auto d = number(v);
    if (!d || *d != std::floor(*d) || *d < lo || *d > hi) return std::nullopt;
    return static_cast<int>(*d);
}

// "#RRGGBB", "#RRGGBBAA" or [r, g, b] / [r, g, b, a] with components in 0...1.
std::optional<Color> color(const Value& v) {
    if (const auto* s = v.asString()) {
        std::string h = *s;
        if (h.starts_with("#")) h.erase(0, 1);
        if (h.size() != 6 && h.size() != 8) return std::nullopt;
        for (char c : h)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        return Color::fromHex(h);
    }
    if (const auto* a = v.asArray(); a && (a->size() == 3 || a->size() == 4)) {
        double c[4] = {0, 0, 0, 1};
        for (size_t i = 0; i < a->size(); ++i) {
            auto d = number((*a)[i]);
            if (!d || *d < 0 || *d > 1) return std::nullopt;
            c[i] = *d;
        }
        return Color::rgba(c[0], c[1], c[2], c[3]);
    }
    return std::nullopt;
}

// A name, or a list of names with its raw value as index; -1 when it is neither.
int enumValue(const Value& v, std::initializer_list<const char*> names) {
    if (const auto* s = v.asString()) {
        int i = 0;
        for (const char* n : names) {
            if (*s == n) return i;
            ++i;
        }
        return -1;
    }
    auto n = integer(v, 0, static_cast<int>(names.size()) - 1);
    return n ? *n : -1;
}

// A size alone (the system font), or {"size": 14, "name": "Helvetica-Bold"}, or {"size": 14, "bold": true}.
std::shared_ptr<Font> font(const Value& v) {
    auto sized = [](const Value& s) -> std::optional<double> {
        auto d = number(s);
        if (!d || *d <= 0 || *d > 1000) return std::nullopt;
        return d;
    };
    if (auto size = sized(v)) return std::make_shared<Font>(Font::systemFont(*size));
    const auto* d = v.asDictionary();
    if (!d || !d->find("size")) return nullptr;
    auto size = sized(*d->find("size"));
    if (!size) return nullptr;
    if (const Value* name = d->find("name")) {
        if (!name->isString() || name->asString()->empty()) return nullptr;
        return std::make_shared<Font>(Font::withName(*name->asString(), *size));
    }
    bool bold = d->find("bold") && d->find("bold")->boolOr(false);
    bool italic = d->find("italic") && d->find("italic")->boolOr(false);
    if (bold && italic) return std::make_shared<Font>(Font::withName("Bold Italic", *size));
    if (bold) return std::make_shared<Font>(Font::boldSystemFont(*size));
    if (italic) return std::make_shared<Font>(Font::italicSystemFont(*size));
    return std::make_shared<Font>(Font::systemFont(*size));
}

// Null for an empty name; a missing image is only a warning, as the platform's files treat it.
std::shared_ptr<Image> image(const std::string& name) {
    if (name.empty()) return nullptr;
    auto img = Image::named(name);
    if (!img) foundation::Log::line("Velkora (W) - interface image %@ not found", name);
    return img;
}

// A value per control state: a plain value for the normal state, or {"normal": ..., "highlighted": ...}.
template <typename F> Result perState(const Value& v, F apply) {
    static const struct {
        const char* name;
        unsigned state;
    } states[] = {{"normal", ControlStateNormal},
                  {"highlighted", ControlStateHighlighted},
                  {"disabled", ControlStateDisabled},
                  {"selected", ControlStateSelected}};
    if (const auto* d = v.asDictionary()) {
        for (const auto& [key, value] : *d) {
            bool known = false;
            for (const auto& s : states)
                if (key == s.name) {
                    if (!apply(value, s.state)) return Result::BadValue;
                    known = true;
                }
            if (!known) return Result::BadValue;
        }
        return Result::Applied;
    }
    return apply(v, ControlStateNormal) ? Result::Applied : Result::BadValue;
}

template <typename T, typename F> InterfaceLoader::PropertySetter on(F apply) {
    return [apply](View& view, const Value& v) {
        auto* t = dynamic_cast<T*>(&view);
        if (!t) return Result::NotApplicable;
        return apply(*t, v) ? Result::Applied : Result::BadValue;
    };
}

template <typename T> InterfaceLoader::PropertySetter flag(void (T::*setter)(bool)) {
    return on<T>([setter](T& t, const Value& v) {
        if (!v.isBool()) return false;
        (t.*setter)(*v.asBool());
        return true;
    });
}

template <typename T> InterfaceLoader::PropertySetter colour(void (T::*setter)(Color)) {
    return on<T>([setter](T& t, const Value& v) {
        auto c = color(v);
        if (!c) return false;
        (t.*setter)(*c);
        return true;
    });
}

} // namespace

void InterfaceLoader::registerBuiltins() {
    registerClass<View>("View");
    registerClass<Control>("Control");
    registerClass<Label>("Label");
    registerClass("Button", [] { return Button::create(); });
    registerClass<ImageView>("ImageView");
    registerClass<Switch>("Switch");
    registerClass<PageControl>("PageControl");
    registerClass("ActivityIndicatorView", [] { return ActivityIndicatorView::create(); });
    registerClass<MapView>("MapView");
    registerClass("WebView", [] { return WebView::create(); });

    // Every view.
    registerProperty("hidden", flag<View>(&View::setHidden));
    registerProperty("clipsToBounds", flag<View>(&View::setClipsToBounds));
    registerProperty("userInteractionEnabled", flag<View>(&View::setUserInteractionEnabled));
    registerProperty("opaque", flag<View>(&View::setOpaque));
    registerProperty("multipleTouchEnabled", flag<View>(&View::setMultipleTouchEnabled));
    registerProperty("exclusiveTouch", flag<View>(&View::setExclusiveTouch));
    registerProperty("autoresizesSubviews", flag<View>(&View::setAutoresizesSubviews));
    registerProperty("backgroundColor", colour<View>(&View::setBackgroundColor));
    registerProperty("tintColor", colour<View>(&View::setTintColor));
    registerProperty("alpha", on<View>([](View& t, const Value& v) {
                         auto d = number(v);
                         if (!d || *d < 0 || *d > 1) return false;
                         t.setAlpha(*d);
                         return true;
                     }));
    registerProperty("tag", on<View>([](View& t, const Value& v) {
                         auto n = integer(v, -2147483647, 2147483647);
                         if (!n) return false;
                         t.setTag(*n);
                         return true;
                     }));
    registerProperty("contentMode", on<View>([](View& t, const Value& v) {
                         int m = enumValue(v, {"scaleToFill", "scaleAspectFit", "scaleAspectFill", "redraw", "center",
                                               "top", "bottom", "left", "right", "topLeft", "topRight", "bottomLeft",
                                               "bottomRight"});
                         if (m < 0) return false;
                         t.setContentMode(static_cast<ContentMode>(m));
                         return true;
                     }));
    registerProperty("cornerRadius", on<View>([](View& t, const Value& v) {
                         auto d = number(v);
                         if (!d || *d < 0) return false;
                         t.layer().setCornerRadius(*d);
                         return true;
                     }));
    registerProperty("borderWidth", on<View>([](View& t, const Value& v) {
                         auto d = number(v);
                         if (!d || *d < 0) return false;
                         t.layer().setBorderWidth(*d);
                         return true;
                     }));
    registerProperty("borderColor", on<View>([](View& t, const Value& v) {
                         auto c = color(v);
                         if (!c) return false;
                         t.layer().setBorderColor(*c);
                         return true;
                     }));

    // Text views: the text's own colour and font (a compose screen's text view reads its colour back).
    registerProperty("textColor", colour<TextView>(&TextView::setTextColor));
    registerProperty("font", on<TextView>([](TextView& t, const Value& v) {
                         auto f = font(v);
                         if (!f) return false;
                         t.setFont(*f);
                         return true;
                     }));

    // Labels.
    registerProperty("text", on<Label>([](Label& t, const Value& v) {
                         if (!v.isString()) return false;
                         t.setText(*v.asString());
                         return true;
                     }));
    registerProperty("textColor", colour<Label>(&Label::setTextColor));
    registerProperty("font", on<Label>([](Label& t, const Value& v) {
                         auto f = font(v);
                         if (!f) return false;
                         t.setFont(std::move(f));
                         return true;
                     }));
    registerProperty("highlightedTextColor", on<Label>([](Label& t, const Value& v) {
                         auto c = color(v);
                         if (!c) return false;
                         t.setHighlightedTextColor(*c);
                         return true;
                     }));
    registerProperty("textAlignment", on<Label>([](Label& t, const Value& v) {
                         int a = enumValue(v, {"left", "center", "right", "justified", "natural"});
                         if (a < 0) return false;
                         t.setTextAlignment(static_cast<TextAlignment>(a));
                         return true;
                     }));
    registerProperty(
        "lineBreakMode", on<Label>([](Label& t, const Value& v) {
            int m = enumValue(v, {"wordWrap", "charWrap", "clip", "truncateHead", "truncateTail", "truncateMiddle"});
            if (m < 0) return false;
            t.setLineBreakMode(static_cast<LineBreakMode>(m));
            return true;
        }));
    registerProperty("numberOfLines", on<Label>([](Label& t, const Value& v) {
                         auto n = integer(v, 0, 100000);
                         if (!n) return false;
                         t.setNumberOfLines(*n);
                         return true;
                     }));
    registerProperty("adjustsFontSizeToFitWidth", flag<Label>(&Label::setAdjustsFontSizeToFitWidth));
    registerProperty("minimumScaleFactor", on<Label>([](Label& t, const Value& v) {
                         auto d = number(v);
                         if (!d || *d < 0 || *d > 1) return false;
                         t.setMinimumScaleFactor(*d);
                         return true;
                     }));
    registerProperty("preferredMaxLayoutWidth", on<Label>([](Label& t, const Value& v) {
                         auto d = number(v);
                         if (!d || *d < 0) return false;
                         t.setPreferredMaxLayoutWidth(*d);
                         return true;
                     }));

    // Controls and buttons.
    registerProperty("enabled", flag<Control>(&Control::setEnabled));
    registerProperty("selected", flag<Control>(&Control::setSelected));
    registerProperty("title", on<Button>([](Button& t, const Value& v) {
                         return perState(v, [&](const Value& x, unsigned state) {
                                    if (!x.isString()) return false;
                                    t.setTitle(*x.asString(), state);
                                    return true;
                                }) == Result::Applied;
                     }));
    registerProperty("font", on<Button>([](Button& t, const Value& v) {
                         auto f = font(v);
                         if (!f || !t.titleLabel()) return false;
                         t.titleLabel()->setFont(std::move(f));
                         return true;
                     }));
    registerProperty("titleColor", on<Button>([](Button& t, const Value& v) {
                         return perState(v, [&](const Value& x, unsigned state) {
                                    auto c = color(x);
                                    if (!c) return false;
                                    t.setTitleColor(*c, state);
                                    return true;
                                }) == Result::Applied;
                     }));
    registerProperty("image", on<Button>([](Button& t, const Value& v) {
                         return perState(v, [&](const Value& x, unsigned state) {
                                    if (!x.isString()) return false;
                                    t.setImage(image(*x.asString()), state);
                                    return true;
                                }) == Result::Applied;
                     }));
    registerProperty("backgroundImage", on<Button>([](Button& t, const Value& v) {
                         return perState(v, [&](const Value& x, unsigned state) {
                                    if (!x.isString()) return false;
                                    t.setBackgroundImage(image(*x.asString()), state);
                                    return true;
                                }) == Result::Applied;
                     }));

    // Image views, switches, spinners.
    registerProperty("image", on<ImageView>([](ImageView& t, const Value& v) {
                         if (!v.isString()) return false;
                         t.setImage(image(*v.asString()));
                         return true;
                     }));
    registerProperty("highlightedImage", on<ImageView>([](ImageView& t, const Value& v) {
                         if (!v.isString()) return false;
                         t.setHighlightedImage(image(*v.asString()));
                         return true;
                     }));
    registerProperty("on", on<Switch>([](Switch& t, const Value& v) {
                         if (!v.isBool()) return false;
                         t.setOn(*v.asBool());
                         return true;
                     }));
    registerProperty("scalesPageToFit", flag<WebView>(&WebView::setScalesPageToFit));
    registerProperty("hidesWhenStopped", flag<ActivityIndicatorView>(&ActivityIndicatorView::setHidesWhenStopped));

    // Maps.
    registerProperty("zoomEnabled", flag<MapView>(&MapView::setZoomEnabled));
    registerProperty("scrollEnabled", flag<MapView>(&MapView::setScrollEnabled));
    registerProperty("showsUserLocation", flag<MapView>(&MapView::setShowsUserLocation));
}

} // namespace velkora::ui
