#include <gtest/gtest.h>

#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/ViewController.h"

using namespace velkora::ui;

namespace {

TEST(ControlLabel, MeasuresWithTheTextLayoutAndShrinksToFitDownToItsMinimum) {
    if (!fonts::available()) GTEST_SKIP() << "DejaVu fonts not found";
    auto label = Label::create({0, 0, 60, 20});
    label->setText("A rather long title for a small label");
    Size one = label->sizeThatFits({60, 0});
    EXPECT_EQ(one, measureText(label->text(), *label->font(), 0, 1));
    EXPECT_GT(one.width, 60);
    label->setNumberOfLines(0);
    Size wrapped = label->sizeThatFits({60, 0});
    EXPECT_LE(wrapped.width, 60);
    EXPECT_GT(wrapped.height, one.height);
    label->setNumberOfLines(1);

    EXPECT_EQ(label->fittingFont().pointSize(), 17);  // not asked to shrink
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.5);
    EXPECT_EQ(label->fittingFont().pointSize(), 8.5);  // far too long: stops at half
    label->setText("Short");
    label->setFrame({0, 0, 200, 20});
    EXPECT_EQ(label->fittingFont().pointSize(), 17);
    label->setText("Sixteen chars!!!");
    label->setFrame({0, 0, measureText("Sixteen chars!!!", Font::systemFont(17), 0, 1).width * 0.8, 20});
    double size = label->fittingFont().pointSize();
    EXPECT_LT(size, 17);
    EXPECT_GE(size, 8.5);
    EXPECT_LE(measureText(label->text(), label->fittingFont(), 0, 1).width, label->bounds().width());

    // Highlighted text colour only while highlighted and only when there is one.
    label->setHighlighted(true);
    EXPECT_EQ(label->currentTextColor(), Color::black());
    label->setHighlightedTextColor(Color::whiteColor());
    EXPECT_EQ(label->currentTextColor(), Color::whiteColor());
    label->setFont(nullptr);
    EXPECT_EQ(label->font()->pointSize(), 17);
}

TEST(ControlLabel, TheResponderChainRunsThroughControllersToSuperviews) {
    auto parent = View::create();
    auto controller = ViewController::create();
    auto child = View::create();
    parent->addSubview(controller->view());
    controller->view()->addSubview(child);
    EXPECT_EQ(child->nextResponder(), controller->view().get());
    EXPECT_EQ(controller->view()->nextResponder(), controller.get());
    EXPECT_EQ(controller->nextResponder(), parent.get());
    // Plain views never become first responder.
    EXPECT_FALSE(child->becomeFirstResponder());
    EXPECT_EQ(Responder::currentFirstResponder(), nullptr);
}

}  // namespace
