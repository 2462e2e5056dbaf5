// The top of a chat-room topic: title, comments count and like button, the topic's content by kind (an
// HTML text, a linked page or a video in the web view, or a picture), and the strip that offers new or
// earlier comments.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraChatRoomsTopic.h"
#include "feed/VelkoraLikeButton.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/View.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class ImageView;
class Label;
class LayoutConstraint;
class WebView;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraChatRoomsTopicHeaderViewDelegate {
public:
    virtual ~VelkoraChatRoomsTopicHeaderViewDelegate() = default;
    virtual void shareClicked(ui::Control* sender) = 0;
    virtual void commentsClicked(ui::Control* sender) = 0;
    virtual void topicOwnerClicked(ui::Control* sender) = 0;
    virtual void scrollToLastCommentClicked(ui::Control* sender) = 0;
    virtual void playVideoClicked(ui::Control* sender) = 0;
    virtual void newCommentsClicked() = 0;
    virtual void loadEarlierCommentsClicked() = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraChatRoomsTopicHeaderView : public ui::View, public ui::InterfaceOwner, public VelkoraLikeButtonDelegate {
public:
    static constexpr uint32_t kScreenId = 22;

    VelkoraChatRoomsTopicHeaderView() = default;
    ~VelkoraChatRoomsTopicHeaderView() override;
    const char* className() const override { return "VelkoraChatRoomsTopicHeaderView"; }
    static std::shared_ptr<VelkoraChatRoomsTopicHeaderView> initFromNib();

    // Fills the header; answers whether it can be shown at once (never: its content loads first).
    bool updateWithTopic(const VelkoraChatRoomsTopicPtr& topic);
    static std::string getVideoEmbeddedHtml(const std::string& address);
    static std::string getVideoImageUrl(const std::string& address);
    // The video id of a video-service address, or empty when it has none that is safe to use.
    static std::string videoIdOf(const std::string& address);
    void didFinishLoadingWithRefreshComments(bool newComments, bool earlierComments, const std::string& label);
    void resetViewFrame();

    void likeObject(const VelkoraLikeObjectPtr& likeObject, const OptionalText& data, bool newMode) override;

    void shareClicked(ui::Control* sender);
    void commentsClicked(ui::Control* sender);
    void scrollToLastCommentClicked(ui::Control* sender);
    void playClicked(ui::Control* sender);
    void refreshCommentsClicked(ui::Control* sender);

    bool isRefreshViewHidden() const { return isRefreshViewHidden_; }
    bool isRefresh() const { return isRefresh_; }
    std::shared_ptr<VelkoraChatRoomsTopicHeaderViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraChatRoomsTopicHeaderViewDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<ui::Label>& topicTitleLabel() const { return topicTitleLabel_; }
    const std::shared_ptr<VelkoraLikeButton>& topicTitleLikeButton() const { return topicTitleLikeButton_; }
    const std::shared_ptr<ui::Button>& topicTitleCommentsButton() const { return topicTitleCommentsButton_; }
    const std::shared_ptr<ui::WebView>& webView() const { return webView_; }
    const std::shared_ptr<ui::View>& dataView() const { return dataView_; }
    const std::shared_ptr<VelkoraLazyImageView>& dataImageView() const { return dataImageView_; }
    const std::shared_ptr<ui::Button>& dataPlayButton() const { return dataPlayButton_; }
    const std::shared_ptr<ui::View>& refreshCommentsView() const { return refreshCommentsView_; }
    const std::shared_ptr<ui::Label>& refreshCommentsLabel() const { return refreshCommentsLabel_; }
    const std::shared_ptr<ui::ImageView>& refreshImageView() const { return refreshImageView_; }
    const std::shared_ptr<ui::Label>& loadEarlierCommentsLabel() const { return loadEarlierCommentsLabel_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::LayoutConstraint>& titleLabelWidthConstraint() const {
        return titleLabelWidthConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& titleLableHeightConstraint() const {
        return titleLableHeightConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& webViewHeightConstraint() const { return webViewHeightConstraint_; }
    const std::shared_ptr<ui::LayoutConstraint>& topicFooterLineViewTopSpaceConstraint() const {
        return topicFooterLineViewTopSpaceConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    bool isRefreshViewHidden_ = false;
    bool isRefresh_ = false;
    std::weak_ptr<VelkoraChatRoomsTopicHeaderViewDelegate> delegate_;
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::Label> topicTitleLabel_;
    std::shared_ptr<ui::LayoutConstraint> titleLabelWidthConstraint_, titleLableHeightConstraint_,
        titleLabelLeadingSpaceConstraint_, titleLabelTrailingSpaceConstraint_;
    std::shared_ptr<ui::View> topicTitleButtonsView_;
    std::shared_ptr<VelkoraLikeButton> topicTitleLikeButton_;
    std::shared_ptr<ui::Button> topicTitleCommentsButton_;
    std::shared_ptr<ui::ImageView> topicTitleLineImageView_;
    std::shared_ptr<ui::WebView> webView_;
    std::shared_ptr<ui::LayoutConstraint> webViewHeightConstraint_;
    std::shared_ptr<ui::View> dataView_;
    std::shared_ptr<VelkoraLazyImageView> dataImageView_;
    std::shared_ptr<ui::Button> dataPlayButton_;
    std::shared_ptr<ui::LayoutConstraint> refreshCommentsViewTopSpaceToWebViewConstraint_,
        refreshCommentsViewTopSpaceToDataViewConstraint_;
    std::shared_ptr<ui::View> refreshCommentsView_;
    std::shared_ptr<ui::Label> refreshCommentsLabel_;
    std::shared_ptr<ui::ImageView> refreshImageView_;
    std::shared_ptr<ui::Label> loadEarlierCommentsLabel_;
    std::shared_ptr<ui::ImageView> topicFooterLineImageView_;
    std::shared_ptr<ui::LayoutConstraint> topicFooterLineViewTopSpaceConstraint_;
    std::shared_ptr<ui::Button> shareButton_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::Button> scrollButton_;
};

} // namespace velkora
