// The base of the seven feed cell kinds: creation from a layout file, the activity sentence with its
// emphasised names and links, measuring and fitting labels, the row height, the time text and the photos.
// Every part a kind may have is connected here by its name; a kind's layout connects the ones it has.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUserInternal.h"
#include "feed/VelkoraFeedCellMeasure.h"
#include "feed/VelkoraFeedSentence.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "shell/VelkoraAttributedLabel.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

class VelkoraLikeButton;
class VelkoraCommentButton;

using VelkoraActivityPtr = std::shared_ptr<VelkoraActivityModel>;

// A part connected from the layout: `name()` reads it.
#define VELKORA_CELL_PART(Type, name)                                                                                  \
public:                                                                                                                \
    const std::shared_ptr<Type>& name() const {                                                                        \
        return name##_;                                                                                                \
    }                                                                                                                  \
                                                                                                                       \
protected:                                                                                                             \
    std::shared_ptr<Type> name##_;

class VelkoraFeedCell : public ui::TableViewCell, public ui::InterfaceOwner, public VelkoraAttributedLabelDelegate {
public:
    // The screen id of the feed, which every style hook of the cells gets.
    static constexpr uint32_t kStyleScreen = 5;
    static constexpr const char* kUserPlaceholder = "VelImg_UserThumbMediumNon.png";

    VelkoraFeedCell();
    const char* className() const override { return "VelkoraFeedCell"; }

    // Puts back the layout's own sizes, so a measurement starts from them.
    virtual void reset();
    // The row height for the item, measured on this cell after `reset` (main thread).
    virtual float getHeight(const VelkoraActivityPtr& item);
    // Fills the cell for display.
    virtual void updateData(const VelkoraActivityPtr& item);
    // Redraws after the following state of the cell's users changed.
    virtual void updatePostTapped() {}
    // The size a label's text needs within the maximum size.
    static ui::Size getLabelRealSize(const ui::Label& label, ui::Size maxSize);

    // On the main thread: what the item's row height depends on, as plain values. Its height is then
    // velkoraFeedRowHeight(textFor(item), geometry()) on any thread.
    virtual VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const;
    const VelkoraFeedCellGeometry& geometry() const { return geometry_; }
    int kind() const { return geometry_.kind; }

    // The width rows are laid out for: the screen's, or the tablet's fixed width.
    static double widthAdjustedForInterfaceOrientation(bool isOpenedAsFeature);

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    VELKORA_CELL_PART(VelkoraLazyImageView, userPhotoImage)
    VELKORA_CELL_PART(ui::ImageView, userPhotoFrameImage)
    VELKORA_CELL_PART(ui::Label, timeLabel)
    VELKORA_CELL_PART(ui::View, dashLineView)
    VELKORA_CELL_PART(ui::View, activityBGView)
    VELKORA_CELL_PART(ui::View, buttonsView)
    VELKORA_CELL_PART(VelkoraLikeButton, likeButton)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityLabelHeightConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityLabelWidthConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityLabelLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityLabelTrailingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityViewLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, activityViewTrailingSpaceConstraint)
    // The poster's line of kinds 3 and 7.
    VELKORA_CELL_PART(ui::Label, posterActivityLabel)
    VELKORA_CELL_PART(ui::Label, posterTimeLabel)
    VELKORA_CELL_PART(VelkoraLazyImageView, posterUserPhotoImage)
    VELKORA_CELL_PART(ui::ImageView, posterUserPhotoFrameImage)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityLabelHeightConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityLabelWidthConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityLabelTrailingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityLabelLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityViewTrailingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, posterActivityViewLeadingSpaceConstraint)
    // The description block of kinds 2, 3, 5 and 6.
    VELKORA_CELL_PART(ui::View, descriptionView)
    VELKORA_CELL_PART(VelkoraLazyImageView, descImageView)
    VELKORA_CELL_PART(ui::Label, descriptionLabel)
    VELKORA_CELL_PART(ui::Label, subDescLabel)
    VELKORA_CELL_PART(ui::Label, commentLabel)
    VELKORA_CELL_PART(ui::Button, actionButton)
    VELKORA_CELL_PART(ui::LayoutConstraint, descriptionLabelLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, descriptionLabelTrailingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, descriptionViewHeightConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, descriptionImageLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, descriptionViewLeadingSpaceConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, subDescriptionLabelLeadingSpaceConstraint)
    // Kind 1.
    VELKORA_CELL_PART(ui::View, actionView)
    VELKORA_CELL_PART(ui::Button, unfollowinButton)
    VELKORA_CELL_PART(ui::LayoutConstraint, nameLabelTrailingSpaceToSuperviewConstraint)
    VELKORA_CELL_PART(ui::LayoutConstraint, nameLabelTrailingSpaceToButtonsConstraint)
    // Kind 4.
    VELKORA_CELL_PART(VelkoraLazyImageView, theImageView)
    VELKORA_CELL_PART(ui::LayoutConstraint, theImageHeightConstraint)
    VELKORA_CELL_PART(ui::Button, playButton)
    VELKORA_CELL_PART(VelkoraCommentButton, commentButton)
    VELKORA_CELL_PART(ui::Button, shareButton)
    // Kind 7.
    VELKORA_CELL_PART(VelkoraLazyImageView, topicImageView)

public:
    // The activity sentence's label: `attributedNameLabel` in kind 1, `attributedActivityLabel` in the others.
    const std::shared_ptr<VelkoraAttributedLabel>& attributedNameLabel() const { return activityLabel_; }
    const std::shared_ptr<VelkoraAttributedLabel>& attributedActivityLabel() const { return activityLabel_; }
    double origActivityLabelHeightConstant() const { return geometry_.activity.origHeight; }
    double origPosterActivityLabelHeightConstant() const { return geometry_.poster.origHeight; }
    double origDescriptionViewHeightConstant() const { return geometry_.origDescriptionViewHeight; }
    double origDescriptionLabelLeadingSpaceConstant() const { return geometry_.origDescriptionLabelLeading; }
    // A picture at an address: a reused row's view is emptied first, so the row before's picture shows
    // neither while the new one loads nor when the row has none (no address, or an empty one).
    static void showPicture(VelkoraLazyImageView* view, const OptionalText& url);

protected:
    enum class Action { Profile, PosterProfile, Topic, TopicImage, Follow, Unfollow, Share, Play };

    // Loads the kind's layout ("iPad_" first on a tablet); null (logged) when it does not make that class.
    template <class Cell> static std::shared_ptr<Cell> loadCell(const std::string& layoutName, int kind);
    void didLoad(int kind);
    // The kind's own style hooks and creation extras.
    virtual void styleKindParts() {}
    virtual bool isOpenedAsFeature() const { return false; }
    // The delegate's answer; no delegate: not opened as a feature.
    template <class Delegate> static bool openedAsFeature(const std::weak_ptr<Delegate>& delegate) {
        auto d = delegate.lock();
        return d && d->isOpenedAsFeature();
    }
    virtual void performAction(Action) {}
    virtual void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) {
        (void)label;
        (void)link;
    }

    // Sets the sentence with its emphasis and links on a label; the label reports taps to this cell.
    void setSentence(VelkoraAttributedLabel& label, const VelkoraFeedSentence& sentence);
    // Sets the constraints that take an item's values: label sizes and the topic block.
    void applyText(const VelkoraFeedCellText& text);
    // The placeholder, then the user's photo at the view's size.
    static void showPhoto(VelkoraLazyImageView* view, const VelkoraUserPtr& user);
    // The age of a time on the server's clock; "" without a time.
    static std::string ageText(const OptionalDate& time);
    // What every like row shows alike: the like button bound to the like, the liker's sentence and photo,
    // and the like's age.
    void fillLikeRow(const VelkoraLikeObjectPtr& like, const VelkoraFeedSentence& sentence);
    // The action button and the description block of a posted activity (kinds 2 and 3).
    void showPostBlock(const VelkoraFeedMessage* post);
    // Whether a posted activity shows its description block: only with a description text.
    static bool hasPostBlock(const VelkoraFeedMessage* post);
    static void setShown(ui::View* view, bool shown) {
        if (view) view->setHidden(!shown);
    }

    std::shared_ptr<VelkoraAttributedLabel> activityLabel_;
    VelkoraFeedCellGeometry geometry_;

private:
    void recordGeometry();
    // Where the description block's texts stand beside its picture (kinds 2 and 3): a block without a
    // picture starts them at its left edge instead.
    double postTextLeft_ = 0, postTextRight_ = 0;
};

template <class Cell> std::shared_ptr<Cell> VelkoraFeedCell::loadCell(const std::string& layoutName, int kind) {
    const bool pad = ui::Device::current().isPad();
    auto view = ui::InterfaceLoader::instance().loadFirstObject((pad ? "iPad_" : "") + layoutName);
    auto cell = std::dynamic_pointer_cast<Cell>(view);
    if (!cell) {
        foundation::Log::line("Velkora (E) - the layout %@ does not make its cell", layoutName);
        return nullptr;
    }
    cell->didLoad(kind);
    return cell;
}

} // namespace velkora
