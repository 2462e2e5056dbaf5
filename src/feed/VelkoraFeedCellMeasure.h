// Row heights of the feed cells from plain values, so they can be measured on the feed's serial queue
// while the main thread updates the models: what one item's row says, copied on the main thread, and
// the measuring cell's layout, recorded when it was made.
#pragma once

#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/TextLayout.h"

namespace velkora {

// The texts and flags one row's height depends on.
struct VelkoraFeedCellText {
    int kind = 0;
    // The width the row is laid out for (the screen's, or the tablet's fixed width).
    double widthBase = 320;
    std::string activity;    // the activity sentence (kinds 2 to 7)
    std::string poster;      // the second sentence (kinds 3 and 7)
    std::string description; // the topic's title (kind 5)
    bool hasTopicPhoto = false;
    // A posted activity's description block (kinds 2 and 3); a text-only post has none.
    bool hasPostBlock = true;
    // A liked host object's picture (kind 4): an object that is neither a picture nor a video has none.
    bool hasPicture = true;
};

// How one measured label sits in its layout.
struct VelkoraFeedLabelGeometry {
    ui::Font font;
    ui::LineBreakMode lineBreakMode = ui::LineBreakMode::WordWrap;
    double origHeight = 0;
    // What the label's width budget loses to leading and trailing spaces, itself and its containers'.
    double horizontalInsets = 0;
    // Points added to the measured height (kind 7's poster line).
    double extraHeight = 0;
};

struct VelkoraFeedCellGeometry {
    int kind = 0;
    double separatorBottom = 0;
    VelkoraFeedLabelGeometry activity;
    VelkoraFeedLabelGeometry poster;
    // The topic block of kinds 5 and 6.
    VelkoraFeedLabelGeometry description;
    double origDescriptionViewHeight = 0;
    double origDescriptionLabelLeading = 0;
    double descriptionFixedInsets = 0; // image leading + activity view leading + label trailing + view trailing
    double photoWidth = 0;
    double photoHeight = 0;
    double descriptionLabelFrameHeight = 0;
    double commentLabelFrameHeight = 0;
    // The description block of kinds 2 and 3, given up by a post without one.
    double postBlockHeight = 0;
    // Kind 4's picture, given up by an object without one.
    double pictureHeight = 0;
};

// The size a label's text needs within (width, 1000): a text under six UTF-16 units measures as "123456",
// a longer one with one more "A".
ui::Size velkoraMeasureLabelText(const std::string& text, const ui::Font& font, ui::LineBreakMode mode, double width);
// The same for a text as drawn, with its own fonts (a bold name, say), held to the same bounds.
ui::Size velkoraMeasureLabelText(const ui::AttributedString& text, ui::LineBreakMode mode, double width);
// The width budget of a label for a row of that width.
double velkoraLabelWidth(const VelkoraFeedCellText& text, const VelkoraFeedLabelGeometry& label);
// The topic block's height and the title's width budget (kinds 5 and 6).
double velkoraDescriptionViewHeight(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& geometry);
double velkoraDescriptionLabelLeading(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& geometry);
double velkoraDescriptionWidth(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& geometry);
// The row height: touches no view, model or style sheet, so any thread may call it.
double velkoraFeedRowHeight(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& geometry);

} // namespace velkora
