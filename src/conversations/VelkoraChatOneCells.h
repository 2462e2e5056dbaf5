// The rows of the one-to-one chat: a text, a sticker and a photo cell, each drawn on the signed-in user's
// side or the other user's with its time; the day header above each section and the load-earlier header
// at the top of the table.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/VelkoraMessageInternal.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Control;
class Image;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraChatOneTableCell;
class VelkoraResizeableButton;

class VelkoraChatOneTableCellDelegate {
public:
    virtual ~VelkoraChatOneTableCellDelegate() = default;
    virtual void otherProfileTapped(VelkoraChatOneTableCell& cell) = 0;
    // The full-size picture's address.
    virtual void imageClicked(const std::string& url) = 0;
    virtual bool isOpenedAsFeature() = 0;
    // A row that could not be sent was tapped: it goes again.
    virtual void unsentMessageTapped(const VelkoraMessagePtr& /*message*/) {}
};

class VelkoraChatOneTableHeaderViewDelegate {
public:
    virtual ~VelkoraChatOneTableHeaderViewDelegate() = default;
    virtual void loadMoreChatMessages() = 0;
};

// How a row the user wrote stands with the service.
enum class VelkoraChatSendState { Sent = 0, Sending, NotSent };

class VelkoraChatOneTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr uint32_t kScreenId = 13;

    VelkoraChatOneTableCell() = default;
    const char* className() const override { return "VelkoraChatOneTableCell"; }

    virtual void updateData(const VelkoraMessagePtr& message);
    // The row's height for a message of this kind with that text.
    virtual double getCellHeight(const std::string& text);
    // Rows the user wrote that the service has not confirmed carry a mark under their bubble.
    void setSendState(VelkoraChatSendState state);
    VelkoraChatSendState sendState() const { return sendState_; }

    std::shared_ptr<VelkoraChatOneTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraChatOneTableCellDelegate> d) { delegate_ = std::move(d); }
    const VelkoraMessagePtr& theMessage() const { return theMessage_; }
    // Whether the message is the signed-in user's: the sender is the server connection's user.
    static bool isMine(const VelkoraMessageInternal& message);
    const std::shared_ptr<ui::Label>& sendStateLabel() const { return sendStateLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    // The label placed under the side's time, made once.
    void placeSendStateLabel(ui::Label* timeLabel);
    void unsentTapped(ui::Control* sender);
    // Where the mark sits: below the time label of the side shown.
    virtual ui::Label* shownTimeLabel() const { return nullptr; }

    std::weak_ptr<VelkoraChatOneTableCellDelegate> delegate_;
    VelkoraMessagePtr theMessage_;
    VelkoraChatSendState sendState_ = VelkoraChatSendState::Sent;
    std::shared_ptr<ui::Label> sendStateLabel_;
    std::shared_ptr<ui::Control> unsentButton_;
};

class VelkoraMessageTableCell : public VelkoraChatOneTableCell {
public:
    static constexpr const char* kReuseIdentifier = "messagecell";
    static constexpr const char* kInterface = "VelkoraOneChatMessageCell";
    static constexpr double kMaxTextHeight = 1000.0;

    VelkoraMessageTableCell() = default;
    const char* className() const override { return "VelkoraMessageTableCell"; }
    static std::shared_ptr<VelkoraMessageTableCell> initFromNib();
    void myInit();

    static std::string displayedMessage(const VelkoraMessageInternal& message);
    // What is measured for a text: "123456" below 6 UTF-16 units, else the text between two "AA".
    static std::string measuredText(const std::string& text);
    ui::Size getMessageLabelSize(const std::string& text, double leading, double trailing) const;
    // The label's size with the me side's margins, and the row's height for a label of that size.
    ui::Size measureForRow(const std::string& text) const;
    double rowHeightFor(ui::Size labelSize) const;
    // A size measured before (with the me side's margins) that filling takes instead of measuring again,
    // where the side shown leaves the same width; cleared by filling.
    void setPresetLabelSize(std::optional<ui::Size> size) { presetLabelSize_ = size; }
    void updateData(const VelkoraMessagePtr& message) override;
    double getCellHeight(const std::string& text) override;
    void otherProfileTapped(ui::Control* sender);

    const std::shared_ptr<ui::View>& meFullView() const { return meFullView_; }
    const std::shared_ptr<ui::View>& otherFullView() const { return otherFullView_; }
    const std::shared_ptr<ui::Label>& messageTextLabelMe() const { return messageTextLabelMe_; }
    const std::shared_ptr<ui::Label>& messageTextLabelOther() const { return messageTextLabelOther_; }
    const std::shared_ptr<ui::Label>& timeLabelMe() const { return timeLabelMe_; }
    const std::shared_ptr<ui::Label>& timeLabelOther() const { return timeLabelOther_; }
    const std::shared_ptr<ui::ImageView>& messageTextAreaImageMe() const { return messageTextAreaImageMe_; }
    const std::shared_ptr<ui::ImageView>& messageTextAreaImageOther() const { return messageTextAreaImageOther_; }
    double origCellMessageAreaYMargin() const { return origCellMessageAreaYMargin_; }
    // How many texts this process measured; the data source's height cache is checked against it.
    static uint64_t measurements();

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    ui::Label* shownTimeLabel() const override;

private:
    std::shared_ptr<ui::View> meFullView_, otherFullView_;
    std::shared_ptr<ui::Label> messageTextLabelMe_, messageTextLabelOther_, timeLabelMe_, timeLabelOther_;
    std::shared_ptr<ui::ImageView> messageTextAreaImageMe_, messageTextAreaImageOther_;
    std::shared_ptr<ui::LayoutConstraint> messageTextLabelMeWidthConstraint_, messageTextLabelMeHeightConstraint_,
        messageTextLabelMeLeadingSpaceConstraint_, messageTextLabelTrailingSpaceToSuperviewConstraint_,
        messageTextLabelOtherWidthConstraint_, messageTextLabelOtherHeightConstraint_,
        messageTextLabelOtherLeadingSpaceConstraint_, messageTextLabelOtherTrailingSpaceConstraint_,
        messageTextLabelOtherTopAllignmentConstraint_;
    double origCellMessageAreaYMargin_ = 0;
    std::optional<ui::Size> presetLabelSize_;
};

class VelkoraStickerMessageTableCell : public VelkoraChatOneTableCell {
public:
    static constexpr const char* kReuseIdentifier = "chatstickercell";
    static constexpr const char* kInterface = "VelkoraOneChatStickerCell";

    VelkoraStickerMessageTableCell() = default;
    const char* className() const override { return "VelkoraStickerMessageTableCell"; }
    static std::shared_ptr<VelkoraStickerMessageTableCell> initFromNib();
    void myInit();
    void updateData(const VelkoraMessagePtr& message) override;
    double getCellHeight(const std::string& text) override;

    const std::shared_ptr<ui::View>& myView() const { return myView_; }
    const std::shared_ptr<ui::View>& otherView() const { return otherView_; }
    const std::shared_ptr<VelkoraLazyImageView>& myStickerImageView() const { return myStickerImageView_; }
    const std::shared_ptr<VelkoraLazyImageView>& otherStickerImageView() const { return otherStickerImageView_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    ui::Label* shownTimeLabel() const override;

private:
    std::shared_ptr<ui::View> myView_, otherView_;
    std::shared_ptr<VelkoraLazyImageView> myStickerImageView_, otherStickerImageView_;
    std::shared_ptr<ui::Label> myTimeLabel_, otherTimeLabel_;
    double nibHeight_ = 0;
};

class VelkoraImageMessageTableCell : public VelkoraChatOneTableCell, public VelkoraLazyImageDelegate {
public:
    static constexpr const char* kReuseIdentifier = "chatimagecell";
    static constexpr const char* kInterface = "VelkoraOneChatImageCell";

    VelkoraImageMessageTableCell() = default;
    const char* className() const override { return "VelkoraImageMessageTableCell"; }
    static std::shared_ptr<VelkoraImageMessageTableCell> initFromNib();
    void myInit();

    // The small copy's address: "_small" before the last "." of the whole address.
    static std::string thumbnailUrl(const std::string& url);
    // The shown size of a picture of that size within the limits: the height rule first and alone.
    static ui::Size clampedSize(ui::Size picture, double maxWidth, double maxHeight);

    void updateData(const VelkoraMessagePtr& message) override;
    // A photo still on its way to the service shows from the device.
    void showLocalPicture(const std::shared_ptr<ui::Image>& picture);
    double getCellHeight(const std::string& text) override;
    void imageDidFinishLoading(VelkoraLazyImageView& view);
    void imageClicked(ui::Control* sender);
    void otherImageClicked(ui::Control* sender);

    double maxImageHeight() const { return maxImageHeight_; }
    double maxImageWidth() const { return maxImageWidth_; }
    double imageVerticalMargin() const { return imageVerticalMargin_; }
    double imageHorizontalMargin() const { return imageHorizontalMargin_; }
    const std::shared_ptr<ui::View>& myView() const { return myView_; }
    const std::shared_ptr<ui::View>& otherView() const { return otherView_; }
    const std::shared_ptr<VelkoraLazyImageView>& myImageView() const { return myImageView_; }
    const std::shared_ptr<VelkoraLazyImageView>& otherImageView() const { return otherImageView_; }
    const std::shared_ptr<ui::ImageView>& myImageBgView() const { return myImageBgView_; }
    const std::shared_ptr<ui::ImageView>& otherImageBgView() const { return otherImageBgView_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& myAIV() const { return myAIV_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& otherAIV() const { return otherAIV_; }
    const std::shared_ptr<ui::LayoutConstraint>& myImageViewWidthConstraint() const {
        return myImageViewWidthConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& myImageViewHeightConstraint() const {
        return myImageViewHeightConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& myImageBgViewWidthConstraint() const {
        return myImageBgViewWidthConstraint_;
    }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    ui::Label* shownTimeLabel() const override;

private:
    void fit(bool me, ui::Size picture);

    std::shared_ptr<ui::View> myView_, otherView_;
    std::shared_ptr<ui::ImageView> myImageBgView_, otherImageBgView_;
    std::shared_ptr<VelkoraLazyImageView> myImageView_, otherImageView_;
    std::shared_ptr<ui::Label> myTimeLabel_, otherTimeLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> myAIV_, otherAIV_;
    std::shared_ptr<ui::LayoutConstraint> myImageBgViewHeightConstraint_, myImageBgViewWidthConstraint_,
        myImageViewHeightConstraint_, myImageViewWidthConstraint_, otherImageBgViewHeightConstraint_,
        otherImageBgViewWidthConstraint_, otherImageViewHeightConstraint_, otherImageViewWidthConstraint_;
    double maxImageHeight_ = 0, maxImageWidth_ = 0, imageVerticalMargin_ = 0, imageHorizontalMargin_ = 0;
    double nibHeight_ = 0;
};

// The day header: the day's text over a line.
class VelkoraChatOneHeaderView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraOneChatHeaderView";
    VelkoraChatOneHeaderView() = default;
    const char* className() const override { return "VelkoraChatOneHeaderView"; }
    static std::shared_ptr<VelkoraChatOneHeaderView> initFromNib();

    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<ui::Label>& headerLabel() const { return headerLabel_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> backgroundView_, headerLineView_;
    std::shared_ptr<ui::Label> headerLabel_;
};

// The load-earlier header at the top of the table.
class VelkoraChatOneTableHeaderView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraOneChatTableHeaderView";
    VelkoraChatOneTableHeaderView() = default;
    const char* className() const override { return "VelkoraChatOneTableHeaderView"; }
    static std::shared_ptr<VelkoraChatOneTableHeaderView> initFromNib();

    void loadEarlierMessagesTapped(ui::Control* sender);
    void setDelegate(std::weak_ptr<VelkoraChatOneTableHeaderViewDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<VelkoraResizeableButton>& loadEarlierButton() const { return loadEarlierButton_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::weak_ptr<VelkoraChatOneTableHeaderViewDelegate> delegate_;
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> backgroundView_;
    std::shared_ptr<VelkoraResizeableButton> loadEarlierButton_;
};

// The width a text row's label is measured in before its margins: the screen's for the orientation, the
// menu's on a tablet or in a popover.
double chatRowWidth(bool openedAsFeature);

// The classes of the chat's interface files, known to the loader once.
void registerChatViewClasses();

} // namespace velkora
