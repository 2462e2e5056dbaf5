// The rows of a chat-room topic: the strip under the comments that offers new or earlier ones, and the
// comment cells (text, sticker, image), each of which measures itself when it is filled.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/VelkoraChatRoomsComment.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"
#include "shell/VelkoraAttributedLabel.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

namespace ui {
class Button;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraCellBackgroundView;
class VelkoraLikeButton;

// The width a topic's rows are laid out for: the screen's, or the tablet's panel width.
float velkoraChatRoomsWidth(bool isOpenedAsFeature);
// The interface file of that name, with the tablet prefix on a tablet.
std::string velkoraChatRoomsInterface(const std::string& name);
// The classes of the chat-room interface files, known to the loader once.
void registerChatRoomsViewClasses();
// The small copy of a picture the service stores beside it: "_small" before the path's last ".".
std::string velkoraCommentSmallImageUrl(const std::string& url);

class VelkoraChatRoomsCommentsFooterDelegate {
public:
    virtual ~VelkoraChatRoomsCommentsFooterDelegate() = default;
    virtual void newCommentsClicked() = 0;
    virtual void loadEarlierCommentsClicked() = 0;
};

class VelkoraChatRoomsCommentsFooterView : public ui::View, public ui::InterfaceOwner {
public:
    VelkoraChatRoomsCommentsFooterView() = default;
    const char* className() const override { return "VelkoraChatRoomsCommentsFooterView"; }
    static std::shared_ptr<VelkoraChatRoomsCommentsFooterView>
    initFromNib(std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate> delegate, bool refresh, const std::string& label);

    void refreshCommentsClicked(ui::Control* sender);

    bool isRefresh() const { return isRefresh_; }
    const std::shared_ptr<ui::Label>& refreshCommentsLabel() const { return refreshCommentsLabel_; }
    const std::shared_ptr<ui::Label>& loadEarlierCommentsLabel() const { return loadEarlierCommentsLabel_; }
    const std::shared_ptr<ui::ImageView>& refreshImageView() const { return refreshImageView_; }
    void setDelegate(std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate> d) { delegate_ = std::move(d); }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    bool isRefresh_ = false;
    std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate> delegate_;
    std::shared_ptr<ui::View> topLevelSubview_;
    std::shared_ptr<ui::ImageView> refreshImageView_;
    std::shared_ptr<ui::Label> refreshCommentsLabel_;
    std::shared_ptr<ui::Label> loadEarlierCommentsLabel_;
};

class VelkoraChatRoomsTopicTableCell;

class VelkoraChatRoomsTopicTableCellDelegate {
public:
    virtual ~VelkoraChatRoomsTopicTableCellDelegate() = default;
    virtual void deleteComment(VelkoraChatRoomsTopicTableCell& cell) = 0;
    virtual void flagComment(VelkoraChatRoomsTopicTableCell& cell) = 0;
    virtual void openUserProfile(const VelkoraUserPtr& user) = 0;
    virtual void imageClicked(const std::string& url) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraChatRoomsTopicTableCell : public ui::TableViewCell,
                                       public ui::InterfaceOwner,
                                       public VelkoraAttributedLabelDelegate {
public:
    static constexpr uint32_t kScreenId = 22;
    static constexpr const char* kUserPlaceholder = "VelImg_UserThumbMediumNon.png";

    VelkoraChatRoomsTopicTableCell();
    ~VelkoraChatRoomsTopicTableCell() override;
    const char* className() const override { return "VelkoraChatRoomsTopicTableCell"; }

    virtual void myInit();
    // Fills the cell and answers the row's height: the bottom of the end mark.
    virtual double updateData(const VelkoraChatRoomsCommentPtr& comment);
    void setCommentTextForUser(const VelkoraUserPtr& user);

    void userImageClicked(ui::Control* sender);
    void deleteCommentClicked(ui::Control* sender);

    // Whether the comment is the signed-in user's own (the agent's user id).
    bool isOwnComment() const;

    bool showCommentText() const { return showCommentText_; }
    const VelkoraChatRoomsCommentPtr& comment() const { return comment_; }
    std::shared_ptr<VelkoraChatRoomsTopicTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraChatRoomsTopicTableCellDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<VelkoraAttributedLabel>& commentLabel() const { return commentLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    const std::shared_ptr<ui::ImageView>& userImageFrameView() const { return userImageFrameView_; }
    const std::shared_ptr<ui::Label>& timeLabel() const { return timeLabel_; }
    const std::shared_ptr<ui::Button>& deleteButton() const { return deleteButton_; }
    const std::shared_ptr<ui::View>& commentEndView() const { return commentEndView_; }
    const std::shared_ptr<ui::LayoutConstraint>& commentLabelHeightConstraint() const {
        return commentLabelHeightConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& commentLabelWidthConstraint() const {
        return commentLabelWidthConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    template <class T> static std::shared_ptr<T> loadCell(const std::string& nib) {
        registerChatRoomsViewClasses();
        auto cell = std::dynamic_pointer_cast<T>(
            ui::InterfaceLoader::instance().loadFirstObject(velkoraChatRoomsInterface(nib)));
        if (cell) cell->myInit();
        return cell;
    }
    void openWriter();
    // Points the row grows by beyond the label, against the interface file's layout (the picture's height).
    virtual double extraContentHeight() const { return 0; }

    // The interface file's layout, read once: rows are then measured without a layout pass, which the
    // table runs only for the rows it shows.
    struct Geometry {
        bool recorded = false;
        double endTop = 0, endHeight = 0, labelHeight = 0, photoFloor = 0;
    };
    void recordGeometry();
    double measuredHeight() const;
    Geometry geometry_;

    bool showCommentText_ = true;
    std::weak_ptr<VelkoraChatRoomsTopicTableCellDelegate> delegate_;
    VelkoraChatRoomsCommentPtr comment_;
    std::shared_ptr<ui::View> commentView_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::ImageView> userImageFrameView_;
    std::shared_ptr<VelkoraAttributedLabel> commentLabel_;
    std::shared_ptr<ui::LayoutConstraint> commentLabelHeightConstraint_, commentLabelWidthConstraint_,
        commentLabelTrailingSpaceConstraint_, commentLabelLeadingSpaceConstraint_, commentViewTrailingSpaceConstraint_,
        commentViewLeadingSpaceConstraint_;
    std::shared_ptr<ui::Label> timeLabel_;
    std::shared_ptr<ui::Button> deleteButton_;
    std::shared_ptr<VelkoraCellBackgroundView> commentBgView_;
    std::shared_ptr<ui::View> commentEndView_;
};

class VelkoraChatRoomsTopicCommentTableCell : public VelkoraChatRoomsTopicTableCell {
public:
    static constexpr const char* kReuseIdentifier = "velkorachatroomstopiccell";
    const char* className() const override { return "VelkoraChatRoomsTopicCommentTableCell"; }
    static std::shared_ptr<VelkoraChatRoomsTopicCommentTableCell> initFromNib();
    double updateData(const VelkoraChatRoomsCommentPtr& comment) override;
    const std::shared_ptr<VelkoraLikeButton>& likeButton() const { return likeButton_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<VelkoraLikeButton> likeButton_;
};

class VelkoraChatRoomsTopicStickerTableCell : public VelkoraChatRoomsTopicTableCell {
public:
    static constexpr const char* kReuseIdentifier = "velkorachatroomstopicstickercell";
    const char* className() const override { return "VelkoraChatRoomsTopicStickerTableCell"; }
    static std::shared_ptr<VelkoraChatRoomsTopicStickerTableCell> initFromNib();
    void myInit() override;
    double updateData(const VelkoraChatRoomsCommentPtr& comment) override;
    const std::shared_ptr<VelkoraLazyImageView>& stickerView() const { return stickerView_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<VelkoraLazyImageView> stickerView_;
};

class VelkoraChatRoomsTopicImageTableCell : public VelkoraChatRoomsTopicTableCell {
public:
    static constexpr const char* kReuseIdentifier = "velkorachatroomstopicimagecell";
    const char* className() const override { return "VelkoraChatRoomsTopicImageTableCell"; }
    static std::shared_ptr<VelkoraChatRoomsTopicImageTableCell> initFromNib();
    void myInit() override;
    double updateData(const VelkoraChatRoomsCommentPtr& comment) override;
    void imageClicked(ui::Control* sender);
    // The small copy's size decides the picture's: within the maximum, or scaled by its height first.
    void imageDidFinish(VelkoraLazyImageView& view);
    static ui::Size fittedImageSize(ui::Size image, double maxWidth, double maxHeight);

    const std::shared_ptr<VelkoraLazyImageView>& commentImageView() const { return commentImageView_; }
    const std::shared_ptr<ui::LayoutConstraint>& commentImageViewHeightConstraint() const {
        return commentImageViewHeightConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& commentImageViewWidthConstraint() const {
        return commentImageViewWidthConstraint_;
    }
    const std::shared_ptr<VelkoraLikeButton>& likeButton() const { return likeButton_; }
    double maxImageHeight() const { return maxImageHeight_; }
    double maxImageWidth() const { return maxImageWidth_; }
    // Told when the small copy has given the picture its size, so the owner can measure the row again.
    void setImageSized(std::function<void(int32_t commentId, double rowHeight)> f) { imageSized_ = std::move(f); }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    double extraContentHeight() const override;

private:
    std::shared_ptr<VelkoraLazyImageView> commentImageView_;
    std::shared_ptr<ui::LayoutConstraint> commentImageViewHeightConstraint_, commentImageViewWidthConstraint_;
    std::shared_ptr<VelkoraLikeButton> likeButton_;
    std::shared_ptr<VelkoraLazyImageDelegate> imageDelegate_;
    std::function<void(int32_t, double)> imageSized_;
    double maxImageHeight_ = 0;
    double maxImageWidth_ = 0;
};

} // namespace velkora
