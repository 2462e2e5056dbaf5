// Draws the kit's images (icons, badges, bubbles, buttons, stars, placeholders) as VelImg_*.png into the
// folder given on the command line. Run by the build; the pictures are vector drawings, so they are the
// same on every machine and need no binary files in the repository.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/GraphicsContext.h"

using namespace velkora::ui;

namespace {

using Painter = std::function<void(GraphicsContext&, Size)>;

struct Entry {
    std::string name;
    Size size;
    Painter paint;
};

const Color kWhite = Color::whiteColor();
const Color kBlue = Color::fromHex("#3B8FE0");
const Color kGreen = Color::fromHex("#3DB24B");
const Color kRed = Color::fromHex("#D9453B");
const Color kOrange = Color::fromHex("#F29B30");
const Color kPurple = Color::fromHex("#8E5BD8");
const Color kTeal = Color::fromHex("#2FB3A8");
const Color kGrey = Color::fromHex("#8A8F99");
const Color kDark = Color::fromHex("#2B2F36");
const Color kGold = Color::fromHex("#F5C518");

Color darker(Color c, double f = 0.75) {
    return {c.r * f, c.g * f, c.b * f, c.a};
}

void roundedTile(GraphicsContext& g, Size s, Color c) {
    Rect r(1, 1, s.width - 2, s.height - 2);
    g.saveGState();
    g.beginPath();
    g.addRoundedRect(r, s.width * 0.22);
    g.clip();
    g.drawLinearGradient({c, darker(c)}, {0, 1}, {0, 0}, {0, s.height});
    g.restoreGState();
}

void person(GraphicsContext& g, Rect r, Color c) {
    g.setFillColor(c);
    double w = r.width();
    g.fillEllipseInRect({r.midX() - w * 0.2, r.minY() + r.height() * 0.1, w * 0.4, w * 0.4});
    g.beginPath();
    g.addArc({r.midX(), r.maxY()}, w * 0.4, M_PI, 2 * M_PI, true);
    g.closePath();
    g.fillPath();
}

void bubble(GraphicsContext& g, Rect r, Color c) {
    g.setFillColor(c);
    g.beginPath();
    g.addRoundedRect({r.x(), r.y(), r.width(), r.height() * 0.75}, r.height() * 0.2);
    g.fillPath();
    g.beginPath();
    g.moveTo({r.x() + r.width() * 0.2, r.y() + r.height() * 0.7});
    g.lineTo({r.x() + r.width() * 0.15, r.maxY()});
    g.lineTo({r.x() + r.width() * 0.45, r.y() + r.height() * 0.7});
    g.closePath();
    g.fillPath();
}

void star(GraphicsContext& g, Point c, double outer, double inner) {
    g.beginPath();
    for (int i = 0; i < 10; ++i) {
        double radius = i % 2 ? inner : outer, a = -M_PI / 2 + i * M_PI / 5;
        Point p{c.x + radius * std::cos(a), c.y + radius * std::sin(a)};
        if (i == 0)
            g.moveTo(p);
        else
            g.lineTo(p);
    }
    g.closePath();
}

// Two strokes meeting at `tip`, with round ends.
void chevron(GraphicsContext& g, Color color, Point from, Point tip, Point to) {
    g.setStrokeColor(color);
    g.setLineWidth(2.5);
    g.setLineCap(LineCap::Round);
    g.beginPath();
    g.moveTo(from);
    g.lineTo(tip);
    g.lineTo(to);
    g.strokePath();
}

// A star filled to `fraction` of its width, the rest outlined.
void ratingStar(GraphicsContext& g, Size s, double fraction, Color empty = Color::fromHex("#5A5F68")) {
    Point c{s.width / 2, s.height / 2 + s.height * 0.05};
    double outer = s.width * 0.48, inner = outer * 0.45;
    g.setFillColor(empty);
    star(g, c, outer, inner);
    g.fillPath();
    if (fraction > 0) {
        g.saveGState();
        g.clipToRect({0, 0, s.width * fraction, s.height});
        g.setFillColor(kGold);
        star(g, c, outer, inner);
        g.fillPath();
        g.restoreGState();
    }
}

void letter(GraphicsContext& g, Size s, const std::string& text, double size, Color c) {
    TextLayoutOptions o;
    o.alignment = TextAlignment::Center;
    Font f = Font::boldSystemFont(size);
    o.defaultFont = f;
    o.defaultColor = c;
    o.width = s.width;
    TextLayout layout(text, f, o);
    g.drawTextLayout(layout, {0, (s.height - layout.size().height) / 2});
}

// A menu icon: a coloured rounded tile with a white symbol.
Entry icon(const std::string& name, Color tint, std::function<void(GraphicsContext&, Rect)> symbol) {
    return {name, {30, 30}, [tint, symbol](GraphicsContext& g, Size s) {
                roundedTile(g, s, tint);
                symbol(g, Rect(7, 7, s.width - 14, s.height - 14));
            }};
}

Entry letterIcon(const std::string& name, Color tint, const std::string& text) {
    return {name, {30, 30}, [tint, text](GraphicsContext& g, Size s) {
                roundedTile(g, s, tint);
                letter(g, s, text, 17, kWhite);
            }};
}

// A big button face: rounded, glossy, stretchable from its centre line.
Entry button(const std::string& name, Color c) {
    return {name, {21, 44}, [c](GraphicsContext& g, Size s) {
                g.saveGState();
                g.beginPath();
                g.addRoundedRect({0.5, 0.5, s.width - 1, s.height - 1}, 8);
                g.clip();
                g.drawLinearGradient({c, darker(c, 0.8)}, {0, 1}, {0, 0}, {0, s.height});
                g.setFillColor(Color::white(1, 0.18));
                g.fillRect({0, 0, s.width, s.height / 2});
                g.restoreGState();
                g.setStrokeColor(darker(c, 0.6));
                g.setLineWidth(1);
                g.beginPath();
                g.addRoundedRect({0.5, 0.5, s.width - 1, s.height - 1}, 8);
                g.strokePath();
            }};
}

Entry badge(const std::string& name, Color c, Size size) {
    return {name, size, [c](GraphicsContext& g, Size s) {
                g.setFillColor(kWhite);
                g.beginPath();
                g.addRoundedRect({0, 0, s.width, s.height}, s.height / 2);
                g.fillPath();
                g.setFillColor(c);
                g.beginPath();
                g.addRoundedRect({1.5, 1.5, s.width - 3, s.height - 3}, (s.height - 3) / 2);
                g.fillPath();
            }};
}

// The chat screens stretch a bubble by caps of 25 above, 8 below and 20 on either side, so every curve lives
// inside those caps: the top corners in the upper 25, the lower corners and the tail in the lower 8, and the
// rows and columns between them are plain colour that stretches without a seam. A one-line bubble is shorter
// than both caps together and squeezes them alike, so the corners keep one radius and the text stays centred.
Entry chatBubble(const std::string& name, Color c, bool right) {
    return {name, {46, 36}, [c, right](GraphicsContext& g, Size s) {
                constexpr double kTail = 6, kRadius = 8;
                g.saveGState();
                if (right) {
                    g.translate(s.width, 0);
                    g.scaleBy(-1, 1);
                }
                g.setFillColor(c);
                g.beginPath();
                g.addRoundedRect({kTail, 0, s.width - kTail, s.height}, kRadius);
                g.fillPath();
                g.beginPath();
                g.moveTo({0, s.height});
                g.quadCurveTo({kTail - 1, s.height}, {kTail + 1, s.height - 7});
                g.lineTo({kTail + 8, s.height - 1});
                g.closePath();
                g.fillPath();
                g.restoreGState();
            }};
}

Entry ribbon(const std::string& name, Color c, int number) {
    return {name, {30, 40}, [c, number](GraphicsContext& g, Size s) {
                g.setFillColor(c);
                g.beginPath();
                g.moveTo({2, 0});
                g.lineTo({s.width - 2, 0});
                g.lineTo({s.width - 2, s.height});
                g.lineTo({s.width / 2, s.height - 8});
                g.lineTo({2, s.height});
                g.closePath();
                g.fillPath();
                letter(g, {s.width, s.height - 8}, std::to_string(number), 15, kWhite);
            }};
}

Entry placeholder(const std::string& name, Size size, double radius) {
    return {name, size, [radius](GraphicsContext& g, Size s) {
                g.saveGState();
                g.beginPath();
                g.addRoundedRect({0, 0, s.width, s.height}, radius);
                g.clip();
                g.setFillColor(Color::fromHex("#C9CDD3"));
                g.fillRect({0, 0, s.width, s.height});
                person(g, Rect(s.width * 0.15, s.height * 0.15, s.width * 0.7, s.height * 0.85),
                       Color::fromHex("#EEF0F2"));
                g.restoreGState();
            }};
}

std::vector<Entry> catalogue() {
    std::vector<Entry> e;
    e.push_back(icon("VelImg_ActivityIcon", kOrange, [](GraphicsContext& g, Rect r) {
        g.setStrokeColor(kWhite);
        g.setLineWidth(2);
        g.setLineJoin(LineJoin::Round);
        g.beginPath();
        g.moveTo({r.minX(), r.midY()});
        g.lineTo({r.minX() + r.width() * 0.3, r.midY()});
        g.lineTo({r.minX() + r.width() * 0.45, r.minY()});
        g.lineTo({r.minX() + r.width() * 0.6, r.maxY()});
        g.lineTo({r.minX() + r.width() * 0.72, r.midY()});
        g.lineTo({r.maxX(), r.midY()});
        g.strokePath();
    }));
    e.push_back(letterIcon("VelImg_AddIcons", kGreen, "+"));
    e.push_back(letterIcon("VelImg_AppsDealsIcon", kPurple, "$"));
    e.push_back(icon("VelImg_BlogIcon", kTeal, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        for (int i = 0; i < 4; ++i)
            g.fillRect({r.x(), r.y() + i * r.height() / 4 + 1, i == 3 ? r.width() * 0.6 : r.width(), 2});
    }));
    e.push_back(icon("VelImg_CommentIcon", kBlue, [](GraphicsContext& g, Rect r) { bubble(g, r, kWhite); }));
    e.push_back(icon("VelImg_CommentIconNew", kBlue, [](GraphicsContext& g, Rect r) {
        bubble(g, r, kWhite);
        g.setFillColor(kRed);
        g.fillEllipseInRect({r.maxX() - 5, r.minY() - 4, 9, 9});
    }));
    e.push_back(icon("VelImg_ContactsIcon", kTeal, [](GraphicsContext& g, Rect r) { person(g, r, kWhite); }));
    e.push_back(letterIcon("VelImg_FacebookIcon", Color::fromHex("#3B5998"), "f"));
    e.push_back(icon("VelImg_FeedbackIcon", kOrange, [](GraphicsContext& g, Rect r) {
        bubble(g, r, kWhite);
        g.setFillColor(kOrange);
        for (int i = 0; i < 3; ++i)
            g.fillEllipseInRect({r.x() + 3 + i * 4.5, r.y() + r.height() * 0.3, 2.5, 2.5});
    }));
    e.push_back(icon("VelImg_FindFriendsIcon", kGreen, [](GraphicsContext& g, Rect r) {
        person(g, {r.x() - 2, r.y() + 2, r.width() * 0.7, r.height() - 2}, kWhite);
        person(g, {r.x() + r.width() * 0.4, r.y(), r.width() * 0.7, r.height()}, Color::white(1, 0.8));
    }));
    e.push_back(icon("VelImg_FindInviteIcon", kGreen, [](GraphicsContext& g, Rect r) {
        person(g, {r.x() - 2, r.y(), r.width() * 0.8, r.height()}, kWhite);
        g.setFillColor(kWhite);
        g.fillRect({r.maxX() - 6, r.y() + 2, 6, 2});
        g.fillRect({r.maxX() - 4, r.y(), 2, 6});
    }));
    e.push_back(icon("VelImg_KeyboardIcon", kGrey, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                g.fillRect({r.x() + col * 4.2, r.y() + 2 + row * 4.5, 3, 3});
    }));
    e.push_back({"VelImg_KeyboardBg", {20, 44}, [](GraphicsContext& g, Size s) {
                     g.drawLinearGradient({Color::fromHex("#D5D8DD"), Color::fromHex("#B9BDC4")}, {0, 1}, {0, 0},
                                          {0, s.height});
                     g.setFillColor(Color::fromHex("#8E939B"));
                     g.fillRect({0, 0, s.width, 1});
                 }});
    e.push_back({"VelImg_LeaderboardDash", {30, 4}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::white(0.6));
                     for (double x = 0; x < s.width; x += 6)
                         g.fillRect({x, 1, 3, 2});
                 }});
    e.push_back(icon("VelImg_LeaderboardTabIcon", kGold, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        g.fillRect({r.x(), r.y() + r.height() * 0.5, 4, r.height() * 0.5});
        g.fillRect({r.x() + 6, r.y(), 4, r.height()});
        g.fillRect({r.x() + 12, r.y() + r.height() * 0.3, 4, r.height() * 0.7});
    }));
    e.push_back(icon("VelImg_MessagesIcon", kBlue, [](GraphicsContext& g, Rect r) {
        Rect env(r.x(), r.y() + 2, r.width(), r.height() - 4);
        g.setFillColor(kWhite);
        g.fillRect(env);
        g.setStrokeColor(kBlue);
        g.setLineWidth(1.5);
        g.beginPath();
        g.moveTo({env.minX(), env.minY()});
        g.lineTo({env.midX(), env.midY()});
        g.lineTo({env.maxX(), env.minY()});
        g.strokePath();
    }));
    // The radar's spot: opaque in the middle, soft at the rim; drawn over each user and then inverted, it
    // becomes a hole in the overlay's shade.
    e.push_back({"VelImg_NewFollowersShadeInvert", {20, 20}, [](GraphicsContext& g, Size s) {
                     g.drawRadialGradient({Color::black(), Color::black(), Color::black().withAlpha(0)}, {0, 0.6, 1},
                                          {s.width / 2, s.height / 2}, s.width / 2);
                 }});
    e.push_back({"VelImg_NonSelectedTabIcons", {40, 30}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::fromHex("#3A3F47"));
                     g.fillRect({0, 0, s.width, s.height});
                     g.setFillColor(Color::fromHex("#23272D"));
                     g.fillRect({0, s.height - 1, s.width, 1});
                 }});
    e.push_back({"VelImg_SelectedTabIcons", {40, 30}, [](GraphicsContext& g, Size s) {
                     g.drawLinearGradient({Color::fromHex("#4C535D"), Color::fromHex("#2E333A")}, {0, 1}, {0, 0},
                                          {0, s.height});
                     g.setFillColor(kBlue);
                     g.fillRect({0, s.height - 3, s.width, 3});
                 }});
    e.push_back(letterIcon("VelImg_QuizTabIcon", kPurple, "?"));
    e.push_back(icon("VelImg_RadarIcon", kGreen, [](GraphicsContext& g, Rect r) {
        g.setStrokeColor(kWhite);
        g.setLineWidth(1.5);
        for (double k : {0.25, 0.5, 0.75}) {
            g.beginPath();
            g.addArc({r.minX(), r.maxY()}, r.width() * k * 1.3, -M_PI / 2, 0, true);
            g.strokePath();
        }
        g.setFillColor(kWhite);
        g.fillEllipseInRect({r.minX() - 2, r.maxY() - 2, 4, 4});
    }));
    e.push_back(icon("VelImg_RateUsIcon", kGold, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        star(g, {r.midX(), r.midY() + 0.5}, r.width() * 0.55, r.width() * 0.24);
        g.fillPath();
    }));
    e.push_back(icon("VelImg_RecentIcons", kGrey, [](GraphicsContext& g, Rect r) {
        g.setStrokeColor(kWhite);
        g.setLineWidth(2);
        g.strokeEllipseInRect(r);
        g.setLineCap(LineCap::Round);
        g.beginPath();
        g.moveTo({r.midX(), r.minY() + 3});
        g.lineTo({r.midX(), r.midY()});
        g.lineTo({r.maxX() - 4, r.midY()});
        g.strokePath();
    }));
    // The profile's settings row: a cog with eight teeth and a hole through its hub.
    e.push_back(icon("VelImg_SettingsIcon", kGrey, [](GraphicsContext& g, Rect r) {
        const Point c{r.midX(), r.midY()};
        const double outer = r.width() * 0.5, body = r.width() * 0.36;
        auto at = [&c](double radius, double angle) {
            return Point{c.x + radius * std::cos(angle), c.y + radius * std::sin(angle)};
        };
        g.beginPath();
        constexpr int kTeeth = 8;
        for (int i = 0; i < kTeeth; ++i) {
            const double a = i * 2 * M_PI / kTeeth;
            if (i == 0)
                g.moveTo(at(body, a - 0.36));
            else
                g.lineTo(at(body, a - 0.36));
            g.lineTo(at(outer, a - 0.2));
            g.lineTo(at(outer, a + 0.2));
            g.lineTo(at(body, a + 0.36));
            g.addArc(c, body, a + 0.36, a + 2 * M_PI / kTeeth - 0.36, true);
        }
        g.closePath();
        g.addEllipseInRect({c.x - r.width() * 0.15, c.y - r.width() * 0.15, r.width() * 0.3, r.width() * 0.3});
        g.setFillColor(kWhite);
        g.fillPath(true);
    }));
    // The profile's "share my activity" row: the usual share mark, one dot passing to two.
    e.push_back(icon("VelImg_ShareActivityIcon", kPurple, [](GraphicsContext& g, Rect r) {
        const Point from{r.minX() + 2.5, r.midY()}, up{r.maxX() - 2.5, r.minY() + 2.5},
            down{r.maxX() - 2.5, r.maxY() - 2.5};
        g.setStrokeColor(kWhite);
        g.setLineWidth(1.5);
        g.strokeLine(from, up);
        g.strokeLine(from, down);
        g.setFillColor(kWhite);
        for (Point p : {from, up, down})
            g.fillEllipseInRect({p.x - 3, p.y - 3, 6, 6});
    }));
    e.push_back(icon("VelImg_SmileyIcon", kGold, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        g.fillEllipseInRect(r);
        g.setFillColor(kDark);
        g.fillEllipseInRect({r.x() + 4, r.y() + 4, 3, 3});
        g.fillEllipseInRect({r.maxX() - 7, r.y() + 4, 3, 3});
        g.setStrokeColor(kDark);
        g.setLineWidth(1.5);
        g.beginPath();
        g.addArc({r.midX(), r.midY()}, r.width() * 0.28, 0.2 * M_PI, 0.8 * M_PI, true);
        g.strokePath();
    }));
    e.push_back(icon("VelImg_SuggestionsIcon", kTeal, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        g.fillEllipseInRect({r.x() + 2, r.y(), r.width() - 4, r.height() - 5});
        g.fillRect({r.midX() - 3, r.maxY() - 5, 6, 5});
    }));
    e.push_back(letterIcon("VelImg_TwitterIcon", Color::fromHex("#1DA1F2"), "t"));
    // The e-mail identity's logo: a white envelope on a tile.
    e.push_back(icon("VelImg_EmailIcon", kOrange, [](GraphicsContext& g, Rect r) {
        Rect env(r.x(), r.y() + r.height() * 0.15, r.width(), r.height() * 0.7);
        g.setFillColor(kWhite);
        g.fillRect(env);
        g.setStrokeColor(kOrange);
        g.setLineWidth(1.5);
        g.beginPath();
        g.moveTo({env.minX() + 1, env.minY() + 1});
        g.lineTo({env.midX(), env.midY() + 1});
        g.lineTo({env.maxX() - 1, env.minY() + 1});
        g.strokePath();
    }));

    for (auto [name, fraction] : {std::pair{"VelImg_AppsDealStarEmpty", 0.0}, std::pair{"VelImg_AppsDealStarFull", 1.0},
                                  std::pair{"VelImg_AppsDealStarHalf", 0.5}, std::pair{"VelImg_bannerstaroff", 0.0},
                                  std::pair{"VelImg_bannerstaron", 1.0}, std::pair{"VelImg_bannerstaronhalf", 0.5}}) {
        double f = fraction;
        e.push_back({name, {14, 14}, [f](GraphicsContext& g, Size s) { ratingStar(g, s, f); }});
    }
    // The stars a person gives with feedback: large enough to tap, the empty ones light on the light form.
    for (auto [name, fraction] : {std::pair{"VelImg_FeedbackStarOff", 0.0}, std::pair{"VelImg_FeedbackStarOn", 1.0}}) {
        double f = fraction;
        e.push_back(
            {name, {30, 30}, [f](GraphicsContext& g, Size s) { ratingStar(g, s, f, Color::fromHex("#C9CDD3")); }});
    }

    e.push_back(badge("VelImg_DashboardBadge1", kRed, {21, 21}));
    e.push_back(badge("VelImg_DashboardBadge2", kBlue, {21, 21}));
    e.push_back(badge("VelImg_BadgeBg", kRed, {21, 21}));
    e.push_back(ribbon("VelImg_ribbonicon1", kGold, 1));
    e.push_back(ribbon("VelImg_ribbonicon2", Color::fromHex("#B8BEC7"), 2));
    e.push_back(ribbon("VelImg_ribbonicon3", Color::fromHex("#C77D3A"), 3));
    e.push_back(ribbon("VelImg_ribbonicon4", kBlue, 4));

    e.push_back(button("VelImg_GreenBigBtn", kGreen));
    e.push_back(button("VelImg_RedBigBtn", kRed));
    e.push_back(button("VelImg_BlueBtn", kBlue));
    e.push_back(button("VelImg_GrayBtn", kGrey));

    e.push_back(chatBubble("VelImg_BubbleLeft", Color::fromHex("#E5E7EB"), false));
    e.push_back(chatBubble("VelImg_BubbleRight", kBlue, true));
    e.push_back({"VelImg_CellBg", {40, 44}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::fromHex("#33383F"));
                     g.beginPath();
                     g.addRoundedRect({0, 0, s.width, s.height}, 6);
                     g.fillPath();
                     g.setFillColor(Color::white(1, 0.06));
                     g.fillRect({6, 1, s.width - 12, 1});
                 }});
    e.push_back({"VelImg_TextFieldBg", {21, 31}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(kWhite);
                     g.beginPath();
                     g.addRoundedRect({0.5, 0.5, s.width - 1, s.height - 1}, 5);
                     g.fillPath();
                     g.setStrokeColor(Color::fromHex("#B0B5BD"));
                     g.setLineWidth(1);
                     g.beginPath();
                     g.addRoundedRect({0.5, 0.5, s.width - 1, s.height - 1}, 5);
                     g.strokePath();
                 }});

    e.push_back(placeholder("VelImg_EmptyThumb", {60, 60}, 0));
    e.push_back(placeholder("VelImg_UserThumbMediumNon", {50, 50}, 25));
    e.push_back({"VelImg_AppsDealPreload", {57, 57}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::fromHex("#C9CDD3"));
                     g.beginPath();
                     g.addRoundedRect({0, 0, s.width, s.height}, 10);
                     g.fillPath();
                     g.setStrokeColor(Color::white(1, 0.9));
                     g.setLineWidth(3);
                     g.setLineCap(LineCap::Round);
                     g.beginPath();
                     g.addArc({s.width / 2, s.height / 2}, 12, 0, 1.5 * M_PI, true);
                     g.strokePath();
                 }});
    // The feed's controls: the heart outline to like, the filled heart of a liked thing, the comment count's
    // bubble, the play mark over a video's still and the share arrow.
    auto heart = [](GraphicsContext& g, Rect r) {
        double w = r.width(), h = r.height();
        g.beginPath();
        g.moveTo({r.midX(), r.maxY()});
        g.curveTo({r.minX() - w * 0.05, r.minY() + h * 0.55}, {r.minX() + w * 0.05, r.minY() - h * 0.1},
                  {r.midX(), r.minY() + h * 0.25});
        g.curveTo({r.maxX() - w * 0.05, r.minY() - h * 0.1}, {r.maxX() + w * 0.05, r.minY() + h * 0.55},
                  {r.midX(), r.maxY()});
        g.closePath();
    };
    e.push_back({"VelImg_LikeOn", {22, 20}, [heart](GraphicsContext& g, Size s) {
                     heart(g, {2, 2, s.width - 4, s.height - 4});
                     g.setStrokeColor(kGrey);
                     g.setLineWidth(1.8);
                     g.strokePath();
                 }});
    e.push_back({"VelImg_LikeOff", {22, 20}, [heart](GraphicsContext& g, Size s) {
                     heart(g, {2, 2, s.width - 4, s.height - 4});
                     g.setFillColor(kRed);
                     g.fillPath();
                 }});
    e.push_back({"VelImg_CommentBubble", {22, 20}, [](GraphicsContext& g, Size s) {
                     bubble(g, {2, 2, s.width - 4, s.height - 3}, kBlue);
                 }});
    e.push_back({"VelImg_PlayButton", {44, 44}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::white(0, 0.55));
                     g.fillEllipseInRect({1, 1, s.width - 2, s.height - 2});
                     g.setFillColor(kWhite);
                     g.beginPath();
                     g.moveTo({s.width * 0.38, s.height * 0.28});
                     g.lineTo({s.width * 0.74, s.height * 0.5});
                     g.lineTo({s.width * 0.38, s.height * 0.72});
                     g.closePath();
                     g.fillPath();
                 }});
    e.push_back({"VelImg_ShareButton", {22, 20}, [](GraphicsContext& g, Size s) {
                     g.setStrokeColor(kGrey);
                     g.setLineWidth(1.8);
                     g.setLineCap(LineCap::Round);
                     g.beginPath();
                     g.moveTo({4, s.height - 6});
                     g.lineTo({4, s.height - 3});
                     g.lineTo({s.width - 4, s.height - 3});
                     g.lineTo({s.width - 4, s.height - 6});
                     g.moveTo({s.width / 2, s.height - 7});
                     g.lineTo({s.width / 2, 3});
                     g.moveTo({s.width / 2 - 5, 8});
                     g.lineTo({s.width / 2, 3});
                     g.lineTo({s.width / 2 + 5, 8});
                     g.strokePath();
                 }});
    // Points up; the pull-to-refresh header turns it.
    e.push_back({"VelImg_RefreshArrow", {22, 44}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::fromHex("#C9CDD3"));
                     g.fillRect({s.width / 2 - 3, 14, 6, s.height - 16});
                     g.beginPath();
                     g.moveTo({s.width / 2, 1});
                     g.lineTo({s.width - 1, 17});
                     g.lineTo({1, 17});
                     g.closePath();
                     g.fillPath();
                 }});
    // The sidebar's: the profile header's arrow (points down; the header turns it), the activation
    // ribbon's bodies hanging from the screen's top edge, the swiping finger of the welcome hint, and
    // the demo application's own menu row.
    e.push_back({"VelImg_ProfileArrow", {20, 12}, [](GraphicsContext& g, Size s) {
                     chevron(g, kWhite, {3, 3}, {s.width / 2, s.height - 3}, {s.width - 3, 3});
                 }});
    // The pointer under the chosen kind of a form's tabs, on the light form.
    e.push_back({"VelImg_TabArrow", {16, 8}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(kGrey);
                     g.beginPath();
                     g.moveTo({0, 0});
                     g.lineTo({s.width / 2, s.height});
                     g.lineTo({s.width, 0});
                     g.closePath();
                     g.fillPath();
                 }});
    // A row's disclosure chevron on the light tables: grey, pointing to the screen the row opens.
    e.push_back({"VelImg_TableArrow", {12, 20}, [](GraphicsContext& g, Size s) {
                     chevron(g, kGrey, {3, 3}, {s.width - 3, s.height / 2}, {3, s.height - 3});
                 }});
    for (bool toLeft : {true, false}) {
        e.push_back(
            {toLeft ? "VelImg_RibbonToLeft" : "VelImg_RibbonToRight", {44, 60}, [toLeft](GraphicsContext& g, Size s) {
                 double fold = toLeft ? 0 : s.width - 6;
                 g.setFillColor(darker(kRed, 0.6));
                 g.fillRect({fold, 0, 6, 6});
                 g.setFillColor(kRed);
                 g.beginPath();
                 g.moveTo({toLeft ? 6.0 : 0.0, 0});
                 g.lineTo({toLeft ? s.width : s.width - 6, 0});
                 g.lineTo({toLeft ? s.width : s.width - 6, s.height});
                 g.lineTo({toLeft ? (s.width + 6) / 2 : (s.width - 6) / 2, s.height - 10});
                 g.lineTo({toLeft ? 6.0 : 0.0, s.height});
                 g.closePath();
                 g.fillPath();
             }});
    }
    for (bool left : {true, false}) {
        e.push_back({left ? "VelImg_SwipeLeft" : "VelImg_SwipeRight", {120, 90}, [left](GraphicsContext& g, Size s) {
                         g.setFillColor(Color::white(0, 0.55));
                         g.beginPath();
                         g.addRoundedRect({0, 0, s.width, s.height}, 14);
                         g.fillPath();
                         double tip = left ? 78 : 42;
                         // A hand seen from its back: the pointing finger up, the closed fist below it.
                         g.setFillColor(kWhite);
                         g.beginPath();
                         g.addRoundedRect({tip - 7, 22, 14, 40}, 7);
                         g.fillPath();
                         g.beginPath();
                         g.addRoundedRect({tip - 9, 50, 38, 30}, 11);
                         g.fillPath();
                         g.setStrokeColor(Color::white(0.55, 1));
                         g.setLineWidth(1.5);
                         g.beginPath();
                         for (double x : {tip + 7, tip + 16}) {
                             g.moveTo({x, 52});
                             g.lineTo({x, 62});
                         }
                         g.strokePath();
                         g.setStrokeColor(kWhite);
                         g.setLineWidth(3);
                         g.setLineCap(LineCap::Round);
                         double from = left ? 58 : 62, to = left ? 14 : 106, head = left ? 8 : -8;
                         g.beginPath();
                         g.moveTo({from, 10});
                         g.lineTo({to, 10});
                         g.moveTo({to + head, 4});
                         g.lineTo({to, 10});
                         g.lineTo({to + head, 16});
                         g.strokePath();
                     }});
    }
    // A magnifier on no tile: it sits inside a search field's left edge.
    e.push_back({"VelImg_SearchIcon", {30, 30}, [](GraphicsContext& g, Size) {
                     g.setStrokeColor(kGrey);
                     g.setLineWidth(2);
                     g.setLineCap(LineCap::Round);
                     g.strokeEllipseInRect({7, 7, 12, 12});
                     g.beginPath();
                     g.moveTo({17.5, 17.5});
                     g.lineTo({23, 23});
                     g.strokePath();
                 }});
    e.push_back(icon("VelImg_ShopIcon", kTeal, [](GraphicsContext& g, Rect r) {
        g.setFillColor(kWhite);
        g.fillRect({r.x() + 1, r.y() + r.height() * 0.35, r.width() - 2, r.height() * 0.65});
        g.setStrokeColor(kWhite);
        g.setLineWidth(2);
        g.beginPath();
        g.addArc({r.midX(), r.y() + r.height() * 0.35}, r.width() * 0.25, M_PI, 2 * M_PI, false);
        g.strokePath();
    }));
    // The leaderboard's separator above the rows around the user's own place: wide enough for a tablet's
    // row, shown from its left edge.
    e.push_back({"VelImg_LeaderboardDash", {1024, 10}, [](GraphicsContext& g, Size s) {
                     g.setFillColor(Color::fromHex("#F2F3F5"));
                     g.fillRect({0, 0, s.width, s.height});
                     g.setStrokeColor(kGrey);
                     g.setLineWidth(2);
                     g.setLineDash(0, {6, 5});
                     g.beginPath();
                     g.moveTo({4, s.height / 2});
                     g.lineTo({s.width, s.height / 2});
                     g.strokePath();
                 }});
    return e;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::path out(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    int failures = 0;
    for (const auto& entry : catalogue()) {
        auto ctx = GraphicsContext::bitmap(entry.size, 1.0);
        entry.paint(*ctx, entry.size);
        auto image = ctx->makeImage();
        if (!image || !image->writePng((out / (entry.name + ".png")).string())) {
            std::fprintf(stderr, "could not write %s\n", entry.name.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
