// The stretchable widgets: caps by class, images from files, the badge's geometry, the pulse and font
// fitting, and a panel of them as a picture.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "BuildPaths.h"
#include "WidgetFixture.h"
#include "WidgetSnapshot.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextLayout.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "shell/VelkoraCellBackgroundView.h"
#include "shell/VelkoraMultiLineAutoSize.h"
#include "shell/VelkoraResizableTextField.h"
#include "shell/VelkoraResizableView.h"
#include "shell/VelkoraResizeableButton.h"
#include "shell/VelkoraStretchableBadgeView.h"
#include "shell/VelkoraWidgetClasses.h"

using namespace velkora;
using ui::EdgeInsets;
using ui::Image;

namespace {

class WidgetsTest : public velkora::testing::WidgetFixture {
protected:
    static std::shared_ptr<Image> blank(int w, int h) { return Image::create(w, h); }

    // The views a file builds, by the owner's outlets.
    struct Panel : ui::InterfaceOwner {
        std::shared_ptr<VelkoraResizeableButton> button;
        std::shared_ptr<VelkoraResizableView> plain, tagged;
        std::shared_ptr<VelkoraCellBackgroundView> cell;
        std::shared_ptr<VelkoraResizableTextField> field;
        std::shared_ptr<VelkoraStretchableBadgeView> badge;
        void registerInterfaceBindings(ui::InterfaceBindings& b) override {
            b.outlet("button", button);
            b.outlet("plain", plain);
            b.outlet("tagged", tagged);
            b.outlet("cell", cell);
            b.outlet("field", field);
            b.outlet("badge", badge);
        }
    };
};

const EdgeInsets kHalfCaps2131{16, 11, 16, 11}; // a 21 x 31 image: ceil of the halves

TEST_F(WidgetsTest, EveryImageIsReplacedByItsStretchableFormThroughTheBasePointer) {
    auto odd = blank(21, 31);
    auto button = VelkoraResizeableButton::create({0, 0, 100, 40});
    ui::Button& asButton = *button;
    asButton.setImage(odd, ui::ControlStateNormal);
    asButton.setBackgroundImage(odd, ui::ControlStateHighlighted);

    auto plain = VelkoraResizableView::create();
    auto tagged = VelkoraResizableView::create();
    tagged->setTag(VelkoraResizableView::kFixedCapsTag);
    auto cell = VelkoraCellBackgroundView::create();
    auto field = VelkoraResizableTextField::create();
    static_cast<ui::TextField&>(*field).setBackground(odd);

    struct Case {
        const char* what;
        ui::ImageView* view;
        EdgeInsets caps;
        ui::ImageResizingMode mode;
    } cases[] = {
        {"untagged view", plain.get(), kHalfCaps2131, ui::ImageResizingMode::Tile},
        {"view tagged 99999", tagged.get(), {20, 18, 20, 18}, ui::ImageResizingMode::Tile},
        {"cell background", cell.get(), {20, 17, 20, 17}, ui::ImageResizingMode::Stretch},
    };
    for (const auto& c : cases) {
        c.view->setImage(odd);
        ASSERT_TRUE(c.view->image()) << c.what;
        EXPECT_TRUE(c.view->image()->isResizable()) << c.what;
        EXPECT_EQ(c.view->image()->capInsets(), c.caps) << c.what;
        EXPECT_EQ(c.view->image()->resizingMode(), c.mode) << c.what;
    }
    for (const auto& image : {button->imageForState(ui::ControlStateNormal),
                              button->backgroundImageForState(ui::ControlStateHighlighted), field->background()}) {
        ASSERT_TRUE(image);
        EXPECT_EQ(image->capInsets(), kHalfCaps2131);
    }
    // Clearing stays possible.
    plain->setImage(nullptr);
    EXPECT_FALSE(plain->image());
}

TEST_F(WidgetsTest, ImagesFromAnInterfaceFileAreStretchedWhateverTheOrderOfItsProperties) {
    // The tag comes after the image, as a file may have it: the caps follow the tag all the same.
    Panel panel;
    auto top = ui::InterfaceLoader::instance().loadFromText(R"({"objects": [{"class": "View", "frame": [0, 0, 200, 200],
      "subviews": [
        {"class": "VelkoraResizeableButton", "outlet": "button", "frame": [0, 0, 120, 40],
         "properties": {"backgroundImage": {"normal": "VelImg_GreenBigBtn", "highlighted": "VelImg_RedBigBtn",
                                            "selected": "VelImg_BlueBtn", "disabled": "VelImg_GrayBtn"},
                        "image": "VelImg_TextFieldBg"}},
        {"class": "VelkoraResizableView", "outlet": "tagged", "properties": {"image": "VelImg_TextFieldBg", "tag": 99999}},
        {"class": "VelkoraCellBackgroundView", "outlet": "cell", "properties": {"image": "VelImg_CellBg"}},
        {"class": "VelkoraResizableTextField", "outlet": "field", "properties": {"background": "VelImg_TextFieldBg"}},
        {"class": "VelkoraStretchableBadgeView", "outlet": "badge", "frame": [100, 100, 60, 21]}
      ]}]})",
                                                            "Panel", &panel);
    ASSERT_EQ(top.size(), 1u);
    ASSERT_TRUE(panel.button && panel.tagged && panel.cell && panel.field && panel.badge);
    for (unsigned state :
         {ui::ControlStateNormal, ui::ControlStateHighlighted, ui::ControlStateSelected, ui::ControlStateDisabled}) {
        auto background = panel.button->backgroundImageForState(state);
        ASSERT_TRUE(background) << state;
        ui::Size s = background->size();
        EXPECT_EQ(background->capInsets(), (EdgeInsets{std::ceil(s.height / 2), std::ceil(s.width / 2),
                                                       std::ceil(s.height / 2), std::ceil(s.width / 2)}))
            << state;
    }
    EXPECT_EQ(panel.button->imageForState(ui::ControlStateNormal)->capInsets(), kHalfCaps2131);
    EXPECT_EQ(panel.tagged->image()->capInsets(), (EdgeInsets{20, 18, 20, 18}));
    EXPECT_EQ(panel.cell->image()->capInsets(), (EdgeInsets{20, 17, 20, 17}));
    EXPECT_EQ(panel.cell->image()->resizingMode(), ui::ImageResizingMode::Stretch);
    EXPECT_EQ(panel.field->background()->capInsets(), kHalfCaps2131);
    // A badge named by a file brings its own body from its own file.
    ASSERT_TRUE(panel.badge->topLevelView() && panel.badge->badgeLabel());
    EXPECT_EQ(panel.badge->topLevelView()->superview(), panel.badge.get());
    EXPECT_EQ(panel.badge->frame(), (ui::Rect{100, 100, 60, 21}));
    EXPECT_EQ(panel.badge->minWidth(), panel.badge->topLevelView()->frame().width());
    panel.badge->setText("3");
    EXPECT_EQ(panel.badge->frame().width(), panel.badge->minWidth());
    EXPECT_EQ(panel.badge->badgeLabel()->text(), "3");
}

TEST_F(WidgetsTest, TheBadgeWidensWithItsTextWithinItsWidthAndStaysCentred) {
    auto badge = VelkoraStretchableBadgeView::create({100, 10, 80, 21});
    ASSERT_TRUE(badge->topLevelView() && badge->badgeLabel() && badge->badgeImageView());
    const double minWidth = badge->minWidth();
    EXPECT_EQ(minWidth, badge->topLevelView()->frame().width());
    const double centre = badge->frame().midX();
    const ui::Font font = *badge->badgeLabel()->font();

    struct Case {
        const char* text;
        double width; // 0: the text's own width plus 10
    } cases[] = {
        {"7", minWidth}, // shorter than the least width less the margins
        {"128", 0},
        {"a badge text far too long for any badge", 0}, // cut to the width it had
    };
    for (const auto& c : cases) {
        auto fresh = VelkoraStretchableBadgeView::create({100, 10, 80, 21});
        fresh->setText(c.text);
        double textWidth = ui::measureText(c.text, font, 70, 1, ui::LineBreakMode::TruncateTail).width;
        double want = c.width ? c.width : textWidth + 10;
        EXPECT_DOUBLE_EQ(fresh->frame().width(), want) << c.text;
        EXPECT_LE(fresh->frame().width(), 80) << c.text;
        EXPECT_DOUBLE_EQ(fresh->frame().midX(), centre) << c.text;
        EXPECT_DOUBLE_EQ(fresh->frame().height(), 21) << c.text;
        EXPECT_DOUBLE_EQ(fresh->badgeImageView()->frame().width(), want) << c.text;
        EXPECT_EQ(fresh->badgeImageView()->image()->capInsets(), (EdgeInsets{11, 11, 11, 11})) << c.text;
        EXPECT_DOUBLE_EQ(fresh->badgeLabel()->frame().x(), 5) << c.text;
        EXPECT_EQ(fresh->badgeLabel()->text(), c.text);
    }
    // Once narrow, it stays within that width: the text is measured inside the badge as it is.
    badge->setText("7");
    badge->setText("128");
    EXPECT_DOUBLE_EQ(badge->frame().width(), minWidth);
    EXPECT_DOUBLE_EQ(badge->frame().midX(), centre);
}

TEST_F(WidgetsTest, PulsesRunForeverUnderOneKeyAndNeedTheAnimationFramework) {
    auto button = VelkoraResizeableButton::create({0, 0, 60, 60});
    auto& layer = button->imageView()->layer();
    button->stopPulse(); // nothing to stop
    EXPECT_TRUE(layer.animationKeys().empty());

    button->startPulseWithDuration(0.8f, 1.0f, 1.2f);
    button->startPulseWithDuration(0.5f, 0.9f, 1.1f);
    ASSERT_EQ(layer.animationKeys(), std::vector<std::string>{"pulsingButton"});
    const auto* group = layer.animationForKey("pulsingButton");
    ASSERT_TRUE(group);
    EXPECT_DOUBLE_EQ(group->duration, 0.5);
    EXPECT_TRUE(group->autoreverses);
    EXPECT_EQ(group->repeatCount, std::numeric_limits<double>::infinity());
    ASSERT_EQ(group->animations.size(), 2u);
    EXPECT_EQ(group->animations[0].keyPath, "transform.scale.x");
    EXPECT_EQ(group->animations[1].keyPath, "transform.scale.y");
    for (const auto& member : group->animations) {
        EXPECT_NEAR(*member.fromValue.toDouble(), 0.9, 1e-6);
        EXPECT_NEAR(*member.toValue.toDouble(), 1.1, 1e-6);
    }
    // Still there long after: it repeats for ever.
    foundation::RunLoop::main().advance(3600);
    EXPECT_TRUE(layer.animationForKey("pulsingButton"));
    button->stopPulse();
    EXPECT_FALSE(layer.animationForKey("pulsingButton"));

    // A device without the framework: no pulse, and no crash.
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate("/nonexistent/%@/lib%@.so");
    foundation::Log::Capture capture;
    button->startPulseWithDuration(0.5f, 0.9f, 1.1f);
    EXPECT_TRUE(layer.animationKeys().empty());
}

TEST_F(WidgetsTest, FontFittingStepsDownAPointAtATimeToTheFirstSizeThatFits) {
    const std::string text = "A message long enough to need several lines in a narrow label";
    auto heightAt = [&](double size, double width) {
        return ui::measureText(text, ui::Font::systemFont(size), width, 0, ui::LineBreakMode::WordWrap).height;
    };
    struct Case {
        const char* what;
        double width, height, factor;
        double want; // 0: the largest whole step from 20 whose text fits
    } cases[] = {
        {"fits as it is", 600, 200, 0.5, 20},
        {"fits after shrinking", 140, heightAt(13, 140), 0.5, 0},
        {"never fits: the smallest size tried", 40, 10, 0.5, 10},
        {"no minimum: stops at one point", 10, 1, 0, 1},
    };
    for (const auto& c : cases) {
        auto label = ui::Label::create({0, 0, c.width, c.height});
        label->setNumberOfLines(0);
        label->setText(text);
        label->setFont(ui::Font::systemFont(20));
        label->setMinimumScaleFactor(c.factor);
        adjustFontSizeToFit(*label);
        double want = c.want;
        if (!want)
            for (want = 20; heightAt(want, c.width) > c.height; want -= 1) {
            }
        EXPECT_DOUBLE_EQ(label->font()->pointSize(), want) << c.what;
    }
}

TEST_F(WidgetsTest, APanelOfWidgetsLooksLikeItsReference) {
    auto panel = ui::View::create({0, 0, 240, 200});
    panel->setBackgroundColor(ui::Color::whiteColor());

    auto cell = VelkoraCellBackgroundView::create({0, 0, 240, 60});
    cell->setImage(Image::named("VelImg_CellBg"));
    panel->addSubview(cell);

    auto wide = VelkoraResizeableButton::create({10, 70, 150, 40});
    wide->setBackgroundImage(Image::named("VelImg_GreenBigBtn"));
    wide->setTitle("Connect");
    wide->setTitleColor(ui::Color::whiteColor());
    panel->addSubview(wide);

    auto narrow = VelkoraResizeableButton::create({170, 70, 60, 40});
    narrow->setBackgroundImage(Image::named("VelImg_RedBigBtn"));
    narrow->setTitle("No");
    narrow->setTitleColor(ui::Color::whiteColor());
    panel->addSubview(narrow);

    auto field = VelkoraResizableTextField::create({10, 120, 220, 31});
    field->setBackground(Image::named("VelImg_TextFieldBg"));
    field->setPlaceholder("Write a message");
    field->setLeftView(ui::View::create({0, 0, 8, 31}));
    field->setLeftViewMode(ui::TextFieldViewMode::Always);
    panel->addSubview(field);

    double x = 10;
    for (const char* text : {"7", "128", "99+ new"}) {
        auto badge = VelkoraStretchableBadgeView::create({x, 165, 70, 21});
        badge->setText(text);
        panel->addSubview(badge);
        x += 75;
    }
    auto shot = ui::Snapshot::imageOfView(*panel, 2.0);
    // The green face spans the wide button and keeps its round ends.
    for (double x : {14.0, 85.0, 156.0}) {
        ui::Color face = shot->colorAt(int(2 * x), 2 * 104);
        EXPECT_GT(face.g, face.r + 0.2) << x;
    }
    velkora::testing::expectMatchesReference(shot, "widget_panel");
}

} // namespace
