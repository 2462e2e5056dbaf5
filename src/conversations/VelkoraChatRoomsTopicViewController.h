// One chat-room topic: the header with its content, the comments (text, stickers, pictures) with native
// ads among them, new comments followed live through the poll, older ones paged in, and the bar that
// posts text, stickers and photos; own comments are deleted and others' flagged from their rows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversations/VelkoraChatRoomsTopicCells.h"
#include "conversations/VelkoraChatRoomsTopicHeaderView.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/WebView.h"
#include "session/VelkoraKitObjects.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Image;
class ImageView;
class Label;
class LayoutConstraint;
class TextField;
} // namespace ui
class VelkoraResizeableButton;

class VelkoraChatRoomsTopicViewController : public VelkoraGeneralFeatureViewController,
                                            public ui::TableViewDataSource,
                                            public ui::TableViewDelegate,
                                            public ui::GestureRecognizerDelegate,
                                            public ui::WebViewDelegate,
                                            public VelkoraDefaultOKPopupViewDelegate,
                                            public VelkoraChatRoomsCommentsFooterDelegate,
                                            public VelkoraChatRoomsTopicHeaderViewDelegate,
                                            public ui::MailComposeViewControllerDelegate,
                                            public VelkoraSigninToFollowPopupHelperDelegate,
                                            public VelkoraChatRoomsTopicTableCellDelegate,
                                            public VelkoraEnhancedKeyboardDelegate,
                                            public ui::ActionSheetDelegate {
public:
    static constexpr uint32_t kScreenId = 22;
    static constexpr const char* kEnteredTopicNotification = "VelkoraEnteredTopic";
    static constexpr const char* kExitedTopicNotification = "VelkoraExitedTopic";

    // The comment a delete or flag acts on, kept apart from the row that offered it (rows are reused).
    struct PendingComment {
        int32_t commentId = 0;
        int32_t topicId = 0;
        VelkoraUserPtr author;
    };

    static std::shared_ptr<VelkoraChatRoomsTopicViewController> initFromNibWithTopicId(int32_t topicId);
    static std::shared_ptr<VelkoraChatRoomsTopicViewController>
    initFromNibWithTopicId(int32_t topicId, const std::optional<std::string>& objectId);
    // A caller that holds the topic already (the list, the feed).
    static std::shared_ptr<VelkoraChatRoomsTopicViewController> initWithTopic(const VelkoraChatRoomsTopicPtr& topic);
    ~VelkoraChatRoomsTopicViewController() override;
    const char* className() const override { return "VelkoraChatRoomsTopicViewController"; }

    void setTopic(const VelkoraChatRoomsTopicPtr& topic) { topic_ = topic; }
    const VelkoraChatRoomsTopicPtr& topic() const { return topic_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void backTapped(ui::Control* sender) override;
    void performBack(ui::Control* sender);

    void initTopic();
    void gotTopic(const foundation::Value& reply);
    void gotTopicFailed(const foundation::ErrorPtr& error);
    void gotOldComments(const foundation::Value& comments);
    void gotNewComments(const foundation::Notification& n);
    void topicsUpdated(const foundation::Notification& n);
    void reloadActiveComments();
    void showLoadEarlierMessagesIfNeeded();
    void scrollToNewestComment();
    void unHideCommentsTable();
    void processAds(const foundation::Value& ads);

    // Header and footer.
    void shareClicked(ui::Control* sender) override;
    void commentsClicked(ui::Control* sender) override;
    void topicOwnerClicked(ui::Control* sender) override;
    void scrollToLastCommentClicked(ui::Control* sender) override;
    void playVideoClicked(ui::Control* sender) override;
    void newCommentsClicked() override;
    void loadEarlierCommentsClicked() override;
    bool isOpenedAsFeature() override;

    // Comment rows.
    void deleteComment(VelkoraChatRoomsTopicTableCell& cell) override;
    void flagComment(VelkoraChatRoomsTopicTableCell& cell) override;
    void openUserProfile(const VelkoraUserPtr& user) override;
    void imageClicked(const std::string& url) override;

    // The header's content.
    void webViewDidFinishLoad(ui::WebView& webView) override;
    void webViewDidFailLoadWithError(ui::WebView& webView, const foundation::ErrorPtr& error) override;
    void headerImageDidFinish();

    // The bar.
    void postButtonClicked(ui::Control* sender);
    void keyboardSwitchClicked(ui::Control* sender);
    void photoUploadClicked(ui::Control* sender);
    void openStickersKeyboard();
    void resetKeyboard();
    void stickerSelected(const std::string& url) override;
    void imageSelected(const std::shared_ptr<ui::Image>& image) override;
    void openStickersStore() override;
    void startPosting();
    void performCommentPost();
    void keyboardWillShow(const foundation::Notification& n);
    void keyboardWillHide(const foundation::Notification& n);
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    void handleTouchesWhenKeyboardIsVisble(ui::GestureRecognizer& recognizer);

    // Sign-in gate.
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;

    // Confirmations.
    void clickedButtonAtIndex(ui::ActionSheet& sheet, int index) override;
    void popupOkTapped() override;
    void popupCancelTapped() override;

    // Sharing.
    void shareEmailClicked(ui::Control* sender);
    void shareCloseClicked(ui::Control* sender);
    void shareFacebookClicked(ui::Control* sender);
    void shareTwitterClicked(ui::Control* sender);
    void mailComposeControllerDidFinish(ui::MailComposeViewController& controller, int result,
                                        const foundation::ErrorPtr& error) override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;

    // The comment a row shows, or null for an ad row or a row beyond the comments.
    VelkoraChatRoomsCommentPtr commentForRow(int row) const;
    bool isAdRow(int row) const;

    int32_t topicId() const { return topicId_; }
    const std::optional<std::string>& objectId() const { return objectId_; }
    bool askedForComments() const { return askedForComments_; }
    bool alreadyGotTopic() const { return alreadyGotTopic_; }
    const std::vector<VelkoraChatRoomsCommentPtr>& activeComments() const { return activeComments_; }
    int32_t earliestCommentId() const { return earliestCommentId_; }
    int32_t newCommentsCount() const { return newCommentsCount_; }
    const std::map<int32_t, std::shared_ptr<VelkoraNativeAd>>& adRowsDict() const { return adRowsDict_; }
    int32_t keyboardType() const { return keyboardType_; }
    const std::optional<PendingComment>& pendingDelete() const { return pendingDelete_; }
    const std::optional<PendingComment>& pendingFlag() const { return pendingFlag_; }
    bool pendingBack() const { return pendingBack_; }
    // Measures done by filling a cell, for tests that count them.
    int measuredCells() const { return measuredCells_; }
    const std::shared_ptr<VelkoraChatRoomsTopicHeaderView>& topicHeader() const { return topicHeader_; }
    const std::shared_ptr<VelkoraChatRoomsCommentsFooterView>& footerView() const { return footerView_; }
    const std::shared_ptr<ui::TableView>& commentsTableView() const { return commentsTableView_; }
    const std::shared_ptr<ui::View>& postCommentView() const { return postCommentView_; }
    const std::shared_ptr<ui::LayoutConstraint>& postCommentViewBottomSpaceConstraint() const {
        return postCommentViewBottomSpaceConstraint_;
    }
    const std::shared_ptr<ui::TextField>& postCommentText() const { return postCommentText_; }
    const std::shared_ptr<VelkoraResizeableButton>& postButton() const { return postButton_; }
    const std::shared_ptr<ui::Button>& uploadPhotoButton() const { return uploadPhotoButton_; }
    const std::shared_ptr<ui::Button>& keyboardSwitchButton() const { return keyboardSwitchButton_; }
    const std::shared_ptr<ui::View>& shareView() const { return shareView_; }
    const std::shared_ptr<ui::View>& shareShade() const { return shareShade_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::ActionSheet>& actionSheet() const { return actionSheet_; }
    const std::shared_ptr<VelkoraDefaultOKPopupView>& confirmPopup() const { return confirmPopup_; }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }
    const std::shared_ptr<ui::WebView>& videoWebView() const { return videoWebView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraChatRoomsTopicViewController();
    std::shared_ptr<VelkoraChatRoomsTopicViewController> self();
    void askForTopic(bool clean);
    void postEntered();
    void postExited();
    void showTableWithHeader();
    void setHeaderAgain();
    int countedAdRows() const;
    std::shared_ptr<VelkoraChatRoomsTopicTableCell> createCommentCell(ui::TableView& table,
                                                                      const VelkoraChatRoomsCommentPtr& c);
    void confirm(const std::string& title, const std::string& message);
    void commentPosted(const std::string& text, const std::string& contentType);
    void commentPostFailed(const std::string& text);
    void imageUploaded(const foundation::Value& url);
    void imageUploadFailed(const foundation::ErrorPtr& error);
    void commentDeleted(const PendingComment& comment);
    void imageRowSized(int32_t commentId, double height);
    void applyBarOffset(double offset, double duration);
    void rebuildPaneForOrientation();
    double rowWidth() const;

    int32_t topicId_ = 0;
    VelkoraChatRoomsTopicPtr topic_;
    std::optional<std::string> objectId_;
    bool lastAskClean_ = false;
    std::weak_ptr<ui::ViewController> mailPresenter_;
    bool askedForComments_ = false;
    bool alreadyGotTopic_ = false;
    std::vector<VelkoraChatRoomsCommentPtr> activeComments_;
    // What `activeComments_` was last taken from: while the topic only grew at its end since, the
    // comments after the first `count` are all that is new.
    struct Shown {
        std::weak_ptr<VelkoraChatRoomsTopic> topic;
        uint64_t rewrites = 0;
        bool topNewest = false;
        size_t count = 0;
    } shown_;
    int32_t earliestCommentId_ = 0;
    int32_t newCommentsCount_ = 0;
    bool updateInitiatedBySelf_ = false;
    bool updateDueToPost_ = false;
    // Row heights by comment id and the width they were measured for.
    std::map<std::pair<int32_t, int>, double> commentToHeightMap_;
    std::shared_ptr<VelkoraChatRoomsCommentsFooterView> footerView_;
    std::map<int32_t, std::shared_ptr<VelkoraNativeAd>> adRowsDict_;
    bool entered_ = false;
    bool exited_ = false;
    int measuredCells_ = 0;

    // Posting.
    int32_t keyboardType_ = 0;
    std::string postedCommentContentType_;
    std::string postedUrl_;
    std::shared_ptr<ui::Image> uploadedImage_;
    // A photo whose upload failed goes once more after the next good poll.
    std::shared_ptr<ui::Image> photoToResend_;
    bool shouldReturnToStickersKeyboard_ = false;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
    bool pendingBack_ = false;
    std::optional<PendingComment> pendingDelete_, pendingFlag_;
    std::shared_ptr<ui::ActionSheet> actionSheet_;
    std::shared_ptr<VelkoraDefaultOKPopupView> confirmPopup_;
    std::shared_ptr<ui::MailComposeViewController> mailComposer_;
    ui::Rect origViewFrame_;
    std::shared_ptr<ui::TapGestureRecognizer> keyboardTap_;
    std::shared_ptr<ui::WebView> videoWebView_;
    std::shared_ptr<VelkoraLazyImageDelegate> headerImageDelegate_;
    std::shared_ptr<VelkoraChatRoomsTopicTableCell> measuringCells_[3];
    std::shared_ptr<VelkoraNativeAdRow> measuringAdCell_;

    // Outlets.
    std::shared_ptr<VelkoraChatRoomsTopicHeaderView> topicHeader_;
    std::shared_ptr<ui::TableView> commentsTableView_;
    std::shared_ptr<ui::View> postCommentView_;
    std::shared_ptr<ui::LayoutConstraint> postCommentViewBottomSpaceConstraint_;
    std::shared_ptr<VelkoraResizeableButton> postButton_;
    std::shared_ptr<ui::TextField> postCommentText_;
    std::shared_ptr<ui::Button> keyboardSwitchButton_;
    std::shared_ptr<ui::View> shareView_;
    std::shared_ptr<ui::View> shareShade_; // dims the screen behind the share popup
    std::shared_ptr<ui::Label> shareTitleLabel_;
    std::shared_ptr<VelkoraResizeableButton> shareCloseButton_;
    std::shared_ptr<ui::Button> uploadPhotoButton_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::ImageView> postBackgroundImageView_;

    foundation::NotificationObserver newCommentsObserver_, gotTopicsObserver_, keyboardShowObserver_,
        keyboardHideObserver_, orientationObserver_, resetUserObserver_, retryObserver_, resendObserver_;
};

} // namespace velkora
