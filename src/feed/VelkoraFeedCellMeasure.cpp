#include "feed/VelkoraFeedCellMeasure.h"

#include <algorithm>

#include "platform/ui/Utf16.h"

namespace velkora {

namespace {
constexpr double kMaxLabelHeight = 1000;
constexpr size_t kShortestMeasuredText = 6;
} // namespace

ui::Size velkoraMeasureLabelText(const std::string& text, const ui::Font& font, ui::LineBreakMode mode, double width) {
    const std::string measured = ui::utf16::length(text) < kShortestMeasuredText ? std::string("123456") : text + "A";
    ui::Size size = ui::measureText(measured, font, std::max(0.0, width), 0, mode);
    size.height = std::min(size.height, kMaxLabelHeight);
    size.width = std::min(size.width, std::max(0.0, width));
    return size;
}

ui::Size velkoraMeasureLabelText(const ui::AttributedString& text, ui::LineBreakMode mode, double width) {
    ui::Size size = ui::measureText(text, std::max(0.0, width), 0, mode);
    size.height = std::min(size.height, kMaxLabelHeight);
    size.width = std::min(size.width, std::max(0.0, width));
    return size;
}

double velkoraLabelWidth(const VelkoraFeedCellText& text, const VelkoraFeedLabelGeometry& label) {
    return text.widthBase - label.horizontalInsets;
}

double velkoraDescriptionLabelLeading(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& g) {
    // Without a photo the title moves into the photo's place.
    return text.hasTopicPhoto ? g.origDescriptionLabelLeading : -g.photoWidth;
}

double velkoraDescriptionWidth(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& g) {
    return text.widthBase - velkoraDescriptionLabelLeading(text, g) - g.photoWidth - g.descriptionFixedInsets;
}

double velkoraDescriptionViewHeight(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& g) {
    if (text.hasTopicPhoto) return g.photoHeight;
    if (g.kind == 6) return g.descriptionLabelFrameHeight + g.commentLabelFrameHeight;
    return velkoraMeasureLabelText(text.description, g.description.font, g.description.lineBreakMode,
                                   velkoraDescriptionWidth(text, g))
        .height;
}

double velkoraFeedRowHeight(const VelkoraFeedCellText& text, const VelkoraFeedCellGeometry& g) {
    if (g.kind == 1) return g.separatorBottom;
    auto growth = [&](const std::string& sentence, const VelkoraFeedLabelGeometry& label) {
        ui::Size s = velkoraMeasureLabelText(sentence, label.font, label.lineBreakMode, velkoraLabelWidth(text, label));
        return s.height + label.extraHeight - label.origHeight;
    };
    double height = growth(text.activity, g.activity) + g.separatorBottom;
    if (g.kind == 3 || g.kind == 7) height += growth(text.poster, g.poster);
    if (g.kind == 5 || g.kind == 6) height += velkoraDescriptionViewHeight(text, g) - g.origDescriptionViewHeight;
    if ((g.kind == 2 || g.kind == 3) && !text.hasPostBlock) height -= g.postBlockHeight;
    if (g.kind == 4 && !text.hasPicture) height -= g.pictureHeight;
    return height;
}

} // namespace velkora
