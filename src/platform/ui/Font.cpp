#include "platform/ui/Font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VELKORA_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKORA_LEAK_CHECKED 1
#endif
#endif

#ifdef VELKORA_LEAK_CHECKED
// Fontconfig and Pango keep process-wide caches (patterns, charsets, language sets) in ways the leak
// checker cannot trace; they are freed by nobody and grow by nothing, so they are not reported.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\nleak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\nleak:libfreetype.so\n";
}
#endif

namespace velkora::ui {

namespace {

std::mutex& configMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& extraFolders() {
    static std::vector<std::string> folders;
    return folders;
}

const char* const kFontFiles[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                  "DejaVuSans-BoldOblique.ttf"};

// A font of pictures in one size (outline false) is scaled by the size asked for over its own.
const char* const kScaleBitmapFonts = R"(<?xml version="1.0"?>
<fontconfig>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <edit name="pixelsizefixupfactor" mode="assign">
      <divide><name target="pattern">pixelsize</name><name target="font">pixelsize</name></divide>
    </edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <test name="pixelsizefixupfactor" compare="not_eq"><double>1.0</double></test>
    <edit name="matrix" mode="assign">
      <times>
        <name>matrix</name>
        <matrix><name>pixelsizefixupfactor</name><double>0</double><double>0</double><name>pixelsizefixupfactor</name></matrix>
      </times>
    </edit>
    <edit name="size" mode="assign"><divide><name>size</name><name>pixelsizefixupfactor</name></divide></edit>
  </match>
</fontconfig>
)";

// Only the four DejaVu Sans files (and the emoji font), no system configuration, no substitution rules:
// the same glyphs and metrics wherever the kit runs.
FcConfig* privateConfig() {
    static FcConfig* config = [] {
        std::lock_guard lock(configMutex());
        std::vector<std::string> folders = extraFolders();
        if (const char* env = std::getenv("VELKORA_FONT_DIR")) folders.emplace_back(env);
        folders.insert(folders.end(), {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu",
                                       "/usr/share/fonts/TTF", "/usr/local/share/fonts/dejavu"});
        FcConfig* c = FcConfigCreate();
        int added = 0;
        for (const auto& folder : folders) {
            for (const char* file : kFontFiles) {
                std::error_code ec;
                std::string path = folder + "/" + file;
                if (std::filesystem::exists(path, ec) &&
                    FcConfigAppFontAddFile(c, reinterpret_cast<const FcChar8*>(path.c_str())))
                    ++added;
            }
            if (added > 0) break;
        }
        if (added == 0) {
            FcConfigDestroy(c);
            return static_cast<FcConfig*>(nullptr);
        }
        // People write emoji in names, titles and messages; DejaVu has none of the colour ones, so Pango
        // takes them from this font when it is installed (boxes with the code point otherwise).
        for (const char* emoji :
             {"/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf", "/usr/share/fonts/noto/NotoColorEmoji.ttf"}) {
            std::error_code ec;
            if (std::filesystem::exists(emoji, ec) &&
                FcConfigAppFontAddFile(c, reinterpret_cast<const FcChar8*>(emoji))) {
                // Its pictures come in one size; this scales them to the text's size.
                FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kScaleBitmapFonts), FcFalse);
                break;
            }
        }
        return c;
    }();
    return config;
}

cairo_font_options_t* fixedFontOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        // No hinting of outlines or metrics: widths are the font's own, independent of the machine.
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_DEFAULT);
        return o;
    }();
    return options;
}

struct ThreadFonts {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    ThreadFonts() {
        FcConfig* config = privateConfig();
        if (!config) return;
        map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        if (!map) return;
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72.0);
        context = pango_font_map_create_context(map);
        pango_cairo_context_set_font_options(context, fixedFontOptions());
        pango_cairo_context_set_resolution(context, 72.0);
        pango_context_set_round_glyph_positions(context, FALSE);
        pango_context_set_language(context, pango_language_from_string("en"));
    }
    ~ThreadFonts() {
        if (context) g_object_unref(context);
        if (map) g_object_unref(map);
    }
    ThreadFonts(const ThreadFonts&) = delete;
    ThreadFonts& operator=(const ThreadFonts&) = delete;
};

bool containsWord(std::string name, const char* word) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return name.find(word) != std::string::npos;
}

struct Metrics {
    double ascent = 0, descent = 0, underlineThickness = 0, underlinePosition = 0, capHeight = 0, xHeight = 0;
};

Metrics metricsOf(const Font& font) {
    // Metrics scale linearly without hinting; measure once per style at a reference size.
    static std::mutex mutex;
    static std::map<std::pair<bool, bool>, Metrics> perStyle;
    constexpr double kReference = 100.0;
    auto key = std::make_pair(font.isBold(), font.isItalic());
    Metrics m;
    bool found = false;
    {
        std::lock_guard lock(mutex);
        auto it = perStyle.find(key);
        if (it != perStyle.end()) {
            m = it->second;
            found = true;
        }
    }
    if (!found) {
        PangoContext* ctx = fonts::threadContext();
        if (!ctx) return {};
        PangoFontDescription* desc = font.withSize(kReference).newPangoDescription();
        PangoFontMetrics* pm = pango_context_get_metrics(ctx, desc, nullptr);
        m.ascent = pango_font_metrics_get_ascent(pm) / double(PANGO_SCALE);
        m.descent = pango_font_metrics_get_descent(pm) / double(PANGO_SCALE);
        m.underlineThickness = pango_font_metrics_get_underline_thickness(pm) / double(PANGO_SCALE);
        m.underlinePosition = pango_font_metrics_get_underline_position(pm) / double(PANGO_SCALE);
        pango_font_metrics_unref(pm);
        // Cap and x heights from the ink of "H" and "x".
        PangoLayout* layout = pango_layout_new(ctx);
        pango_layout_set_font_description(layout, desc);
        PangoRectangle ink;
        pango_layout_set_text(layout, "H", -1);
        pango_layout_get_extents(layout, &ink, nullptr);
        int baseline = pango_layout_get_baseline(layout);
        m.capHeight = (baseline - ink.y) / double(PANGO_SCALE);
        pango_layout_set_text(layout, "x", -1);
        pango_layout_get_extents(layout, &ink, nullptr);
        m.xHeight = (baseline - ink.y) / double(PANGO_SCALE);
        g_object_unref(layout);
        pango_font_description_free(desc);
        std::lock_guard lock(mutex);
        perStyle[key] = m;
    }
    double f = font.pointSize() / kReference;
    return {m.ascent * f,    m.descent * f, m.underlineThickness * f, m.underlinePosition * f,
            m.capHeight * f, m.xHeight * f};
}

} // namespace

Font::Font(std::string name, double pointSize)
    : name_(std::move(name)), pointSize_(pointSize > 0 ? pointSize : 17),
      bold_(containsWord(name_, "bold") || containsWord(name_, "heavy") || containsWord(name_, "black")),
      italic_(containsWord(name_, "italic") || containsWord(name_, "oblique")) {}

Font Font::systemFont(double size) {
    return Font("DejaVuSans", size);
}
Font Font::boldSystemFont(double size) {
    return Font("DejaVuSans-Bold", size);
}
Font Font::italicSystemFont(double size) {
    return Font("DejaVuSans-Oblique", size);
}

Font Font::withSize(double size) const {
    Font f = *this;
    f.pointSize_ = size > 0 ? size : pointSize_;
    return f;
}

double Font::ascender() const {
    return metricsOf(*this).ascent;
}
double Font::descender() const {
    return -metricsOf(*this).descent;
}
double Font::lineHeight() const {
    auto m = metricsOf(*this);
    return m.ascent + m.descent;
}
double Font::capHeight() const {
    return metricsOf(*this).capHeight;
}
double Font::xHeight() const {
    return metricsOf(*this).xHeight;
}
double Font::underlineThickness() const {
    return metricsOf(*this).underlineThickness;
}
double Font::underlinePosition() const {
    return metricsOf(*this).underlinePosition;
}

PangoFontDescription* Font::newPangoDescription() const {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, "DejaVu Sans");
    pango_font_description_set_weight(d, bold_ ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, italic_ ? PANGO_STYLE_OBLIQUE : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, pointSize_ * PANGO_SCALE);
    return d;
}

namespace fonts {

PangoContext* threadContext() {
    thread_local ThreadFonts fonts;
    return fonts.context;
}

bool available() {
    return privateConfig() != nullptr;
}

void addFontFolder(const std::string& folder) {
    std::lock_guard lock(configMutex());
    extraFolders().push_back(folder);
}

} // namespace fonts

} // namespace velkora::ui
