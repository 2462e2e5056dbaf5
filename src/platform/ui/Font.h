// Fonts: DejaVu Sans in regular, bold, italic and bold italic, loaded through a fontconfig configuration
// of the kit's own (not the machine's), so every measurement is the same on every machine.
#pragma once

#include <string>

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

namespace velkora::ui {

class Font {
public:
    Font() = default;
    Font(std::string name, double pointSize);

    static Font systemFont(double size);
    static Font boldSystemFont(double size);
    static Font italicSystemFont(double size);
    // Any name maps onto DejaVu Sans; "Bold", "Italic" or "Oblique" in the name pick the style.
    static Font withName(const std::string& name, double size) { return Font(name, size); }

    const std::string& fontName() const { return name_; }
    std::string familyName() const { return "DejaVu Sans"; }
    double pointSize() const { return pointSize_; }
    bool isBold() const { return bold_; }
    bool isItalic() const { return italic_; }
    Font withSize(double size) const;

    // Metrics in points, as the platform gives them: the descender is negative.
    double ascender() const;
    double descender() const;
    double lineHeight() const;
    double leading() const { return 0; }
    double capHeight() const;
    double xHeight() const;
    double underlineThickness() const;
    double underlinePosition() const;

    friend bool operator==(const Font& a, const Font& b) {
        return a.pointSize_ == b.pointSize_ && a.bold_ == b.bold_ && a.italic_ == b.italic_;
    }

    // For the text layout: a new description the caller frees with pango_font_description_free.
    PangoFontDescription* newPangoDescription() const;

private:
    std::string name_ = "DejaVuSans";
    double pointSize_ = 17;
    bool bold_ = false;
    bool italic_ = false;
};

namespace fonts {
// The Pango context of the calling thread, on the kit's private font map (one per thread, since Pango
// objects are not shared between threads). Never null once the fonts load.
PangoContext* threadContext();
// False when the DejaVu files were not found; text then measures as empty.
bool available();
// Extra folders to look for the DejaVu files in, before the usual places (for installs elsewhere).
void addFontFolder(const std::string& folder);
}  // namespace fonts

}  // namespace velkora::ui
